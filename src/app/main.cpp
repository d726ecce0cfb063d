// vellumtrace: the research band's executable. It dispatches to one subcommand.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"

#ifndef VT_VERSION
#define VT_VERSION "0.0.0"
#endif

namespace {

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "Vellumtrace %s: a research band for the web.\n"
               "It dissects the pages you browse, keeps snippets of them and finds every page you "
               "visited again.\n\n"
               "Usage: vellumtrace <command> [options]\n\nCommands:\n",
               VT_VERSION);
  for (const auto& c : vt::app::Commands()) {
    std::fprintf(out, "  %-44.*s %.*s\n", static_cast<int>(c.usage.size()), c.usage.data(),
                 static_cast<int>(c.summary.size()), c.summary.data());
  }
  std::fprintf(out,
               "  %-44s %s\n  %-44s %s\n\n"
               "Settings live in $VELLUMTRACE_HOME (default ~/.config/vellumtrace/).\n",
               "--help", "show this help", "--version", "show the version");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(stderr);
    return vt::app::kExitUsage;
  }
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(stdout);
    return vt::app::kExitOk;
  }
  if (name == "--version" || name == "-V") {
    std::printf("vellumtrace %s\n", VT_VERSION);
    return vt::app::kExitOk;
  }
  for (const auto& c : vt::app::Commands()) {
    if (c.name == name) {
      try {
        return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
      } catch (const std::exception& e) {
        std::fprintf(stderr, "vellumtrace %s: %s\n", name.c_str(), e.what());
        return vt::app::kExitFailure;
      }
    }
  }
  std::fprintf(stderr,
               "vellumtrace: unknown command '%s'.\nRun 'vellumtrace --help' to see the commands.\n",
               name.c_str());
  return vt::app::kExitUsage;
}
