#include "commands.h"

#include <algorithm>

namespace vt::app {
namespace {

std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

}  // namespace

CommandRegistrar::CommandRegistrar(Command command) {
  auto& t = Table();
  auto at = std::upper_bound(t.begin(), t.end(), command.order,
                             [](int order, const Command& c) { return order < c.order; });
  t.insert(at, std::move(command));
}

const std::vector<Command>& Commands() { return Table(); }

}  // namespace vt::app
