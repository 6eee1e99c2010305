// device push|pull|ls|rm: copies files in and out of the device's file system, lists and removes
// them, through the same file API that device programs use, so that the device's path rules
// (no escape from fs/, names matched without regard to case) hold for the tool as well.
#pragma once

#include "command.h"

namespace ce::tool {

class FileCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  Outcome push(std::span<const std::string> args, const ToolContext &context);
  Outcome pull(std::span<const std::string> args, const ToolContext &context);
  Outcome list(std::span<const std::string> args, const ToolContext &context);
  Outcome remove(std::span<const std::string> args, const ToolContext &context);
};

} // namespace ce::tool
