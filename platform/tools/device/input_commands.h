// device tap, hold, drag, key, type and rotate: stylus gestures, key presses and typed text
// handed to the running device as input. Each returns once the host has handed the last of its
// events to the device (for a gesture: after it has been played out at its pace).
#pragma once

#include "command.h"

#include "../../src/screen/stylus_gesture.h"

#include <vector>

namespace ce::tool {

class InputCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

  // Sends the events to the host of the current device and waits until they are handed over.
  static Outcome play(std::string_view verb, const std::vector<TimedInput> &events);

private:
  Outcome tap(std::span<const std::string> args, const ToolContext &context);
  Outcome hold(std::span<const std::string> args, const ToolContext &context);
  Outcome drag(std::span<const std::string> args, const ToolContext &context);
  Outcome key(std::span<const std::string> args, const ToolContext &context);
  Outcome type(std::span<const std::string> args, const ToolContext &context);
  Outcome rotate(std::span<const std::string> args, const ToolContext &context);
};

} // namespace ce::tool
