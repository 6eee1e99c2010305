// device ps and device run: list the device's processes, start a device program.
#pragma once

#include "command.h"

namespace ce::tool {

class ProcessCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);
};

} // namespace ce::tool
