// vellumtrace dissect PAGE [--json]: loads a page (a file or an address) with its frames, parses
// it in a page session without a band, and prints the filter tree and the final status text.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "core/dissect.h"

namespace vt::app {
namespace {

int Dissect(const std::vector<std::string>& args) {
  std::string page;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (page.empty() && !a.empty() && a[0] != '-') {
      page = a;
    } else {
      std::fprintf(stderr,
                   "vellumtrace dissect: unexpected argument '%s'.\n"
                   "Usage: vellumtrace dissect PAGE [--json]\n",
                   a.c_str());
      return kExitUsage;
    }
  }
  if (page.empty()) {
    std::fprintf(stderr, "Usage: vellumtrace dissect PAGE [--json]\n");
    return kExitUsage;
  }
  vt::DissectResult result = vt::DissectPage(page);
  if (!result.loaded) {
    std::fprintf(stderr, "vellumtrace dissect: %s\n", result.error.c_str());
    return kExitFailure;
  }
  const std::string out = json ? vt::DissectJson(result) : vt::DissectText(result);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

}  // namespace

VT_REGISTER_COMMAND({"dissect", "dissect PAGE [--json]",
                     "prints the frames, tables, images and links of a page (a file or address)",
                     40, Dissect});

}  // namespace vt::app
