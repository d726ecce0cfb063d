#pragma once
// The subcommands of the vellumtrace executable. Each lives in its own file src/app/cmd_*.cpp and
// registers itself with VT_REGISTER_COMMAND; the executable is built from every such file.
// A command takes the arguments after its own name and returns the process exit code. It prints
// its failures to stderr; an exception that escapes it is printed by main and exits 1.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::app {

struct Command {
  std::string_view name;
  std::string_view usage;    // e.g. "install [--app-dir DIR] [--cache-dir DIR]"
  std::string_view summary;  // one line for --help
  int order;                 // position in --help, smallest first
  std::function<int(const std::vector<std::string>&)> run;
};

// Every registered subcommand, in --help order.
const std::vector<Command>& Commands();

struct CommandRegistrar {
  explicit CommandRegistrar(Command command);
};

// Exit codes shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace vt::app

#define VT_COMMAND_CONCAT2(a, b) a##b
#define VT_COMMAND_CONCAT(a, b) VT_COMMAND_CONCAT2(a, b)
// VT_REGISTER_COMMAND({"install", "install [--app-dir DIR]", "creates the program folder", 20, fn});
#define VT_REGISTER_COMMAND(...) \
  static const ::vt::app::CommandRegistrar VT_COMMAND_CONCAT(vt_command_, __LINE__)(__VA_ARGS__)
