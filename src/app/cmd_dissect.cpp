// vellumtrace dissect PAGE [--json] [--timeout SECONDS]: loads a page (a file or an address) with
// its frames, parses it in a page session without a band, and prints the filter tree and the
// final status text. A page that does not load is reported on stderr with exit status 1.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "core/dissect.h"

namespace vt::app {
namespace {

constexpr const char* kUsage = "Usage: vellumtrace dissect PAGE [--json] [--timeout SECONDS]\n";
constexpr int kMaxTimeoutSeconds = 24 * 3600;

// A whole number of seconds from 1 to a day, or 0.
int ParseSeconds(const std::string& text) {
  if (text.empty() || text.size() > 5) return 0;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value <= kMaxTimeoutSeconds ? value : 0;
}

int Dissect(const std::vector<std::string>& args) {
  std::string page;
  bool json = false;
  int timeout_seconds = 60;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--timeout") {
      timeout_seconds = i + 1 < args.size() ? ParseSeconds(args[++i]) : 0;
      if (timeout_seconds == 0) {
        std::fprintf(stderr,
                     "vellumtrace dissect: --timeout wants a whole number of seconds from 1 to "
                     "%d.\n%s",
                     kMaxTimeoutSeconds, kUsage);
        return kExitUsage;
      }
    } else if (page.empty() && !a.empty() && a[0] != '-') {
      page = a;
    } else {
      std::fprintf(stderr, "vellumtrace dissect: unexpected argument '%s'.\n%s", a.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (page.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return kExitUsage;
  }
  vt::DissectResult result = vt::DissectPage(page, timeout_seconds * 1000);
  if (!result.loaded) {
    std::fprintf(stderr, "vellumtrace dissect: %s\n", result.error.c_str());
    return kExitFailure;
  }
  const std::string out = json ? vt::DissectJson(result) : vt::DissectText(result);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

}  // namespace

VT_REGISTER_COMMAND({"dissect", "dissect PAGE [--json] [--timeout SECONDS]",
                     "prints the frames, tables, images and links of a page (a file or address)",
                     40, Dissect});

}  // namespace vt::app
