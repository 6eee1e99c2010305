// device screenshot: writes what the running device's screen shows (framebuffer, overlays and
// the wait mark) as a PNG file on the host; with --window, what its presenter window shows.
#pragma once

#include "command.h"

namespace ce::tool {

class ScreenCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);
};

} // namespace ce::tool
