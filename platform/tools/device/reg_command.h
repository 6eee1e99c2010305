// device reg query|add|delete: reads and writes the device registry in the style of the
// platform's registry tool.
#pragma once

#include "command.h"

namespace ce::tool {

class RegCommand : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  Outcome query(std::span<const std::string> args, const ToolContext &context);
  Outcome add(std::span<const std::string> args, const ToolContext &context);
  Outcome remove(std::span<const std::string> args, const ToolContext &context);
};

} // namespace ce::tool
