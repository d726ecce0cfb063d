// vellumtrace install [--app-dir DIR] [--cache-dir DIR]: creates or repairs the program folder.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "storage/install.h"

namespace {

int RunInstall(const std::vector<std::string>& args) {
  std::string app_dir, cache_dir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* flag, std::string& out) {
      std::string f = flag;
      if (a == f && i + 1 < args.size()) {
        out = args[++i];
        return true;
      }
      if (a.rfind(f + "=", 0) == 0) {
        out = a.substr(f.size() + 1);
        return true;
      }
      return false;
    };
    if (value("--app-dir", app_dir) || value("--cache-dir", cache_dir)) continue;
    std::fprintf(stderr,
                 "vellumtrace install: unexpected argument '%s'.\n"
                 "Usage: vellumtrace install [--app-dir DIR] [--cache-dir DIR]\n",
                 a.c_str());
    return vt::app::kExitUsage;
  }
  vt::storage::InstallResult r = vt::storage::InstallAndWriteSettings(app_dir, cache_dir);
  for (const auto& line : r.actions) std::printf("%s\n", line.c_str());
  if (r.actions.empty() && r.problems.empty())
    std::printf("Everything was in place: program folder %s, image cache %s\n", r.app_dir.c_str(),
                r.cache_dir.c_str());
  std::fflush(stdout);
  for (const auto& line : r.problems)
    std::fprintf(stderr, "vellumtrace install: %s\n", line.c_str());
  return r.problems.empty() ? vt::app::kExitOk : vt::app::kExitFailure;
}

}  // namespace

VT_REGISTER_COMMAND({"install", "install [--app-dir DIR] [--cache-dir DIR]",
                     "create or repair the program folder, its database and settings", 20,
                     RunInstall});
