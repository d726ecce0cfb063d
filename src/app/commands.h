#pragma once
// The subcommands of the vellumtrace executable. Each takes the arguments after its own name and
// returns the process exit code; none throws (failures are printed to stderr).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::app {

struct Command {
  std::string_view name;
  std::string_view usage;    // e.g. "install [--app-dir DIR] [--cache-dir DIR]"
  std::string_view summary;  // one line for --help
  std::function<int(const std::vector<std::string>&)> run;
};

// Every subcommand, in the order --help lists them.
const std::vector<Command>& Commands();

// Exit codes shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace vt::app
