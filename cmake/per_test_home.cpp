// Linked into every test executable. ctest runs each test in its own process with
// --gtest_filter=<Suite.Name>, and tests of one executable may run side by side; pointing the
// private folders at a sub-folder named after the test keeps them from deleting or rewriting each
// other's registry hives, databases and caches. Runs before main, so every later read of these
// variables sees the per-test folders.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string FilterArgument() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string flag = "--gtest_filter=";
  for (size_t at = 0; at < all.size();) {
    const size_t end = all.find('\0', at);
    const std::string arg = all.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (arg.rfind(flag, 0) == 0) return arg.substr(flag.size());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

// Only plain test names qualify: a pattern stands for several tests sharing one process.
bool IsSingleTest(const std::string& name) {
  if (name.empty() || name.find_first_of("*?:-") != std::string::npos) return false;
  return name.find('.') != std::string::npos;
}

const bool kApplied = [] {
  const std::string test = FilterArgument();
  if (!IsSingleTest(test)) return false;
  std::string folder;
  for (char c : test) folder += (c == '/' ? '_' : c);
  for (const char* name :
       {"VELLUMTRACE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string path = value;
    // VELLUMTRACE_HOME=<base>/config becomes <base>/<test>/config, and likewise for the others.
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) continue;
    path = path.substr(0, slash) + "/" + folder + path.substr(slash);
    ::setenv(name, path.c_str(), 1);
  }
  return true;
}();

}  // namespace
