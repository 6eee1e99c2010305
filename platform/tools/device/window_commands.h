// device windows and wait-window: the running device's windows as its window manager keeps
// them, and waiting for a program's window to show.
#pragma once

#include "command.h"

namespace ce::tool {

class WindowCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  Outcome windows(std::span<const std::string> args, const ToolContext &context);
  Outcome waitWindow(std::span<const std::string> args, const ToolContext &context);
};

} // namespace ce::tool
