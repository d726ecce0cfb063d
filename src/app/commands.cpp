#include "commands.h"

namespace vt::app {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
  };
  return commands;
}

}  // namespace vt::app
