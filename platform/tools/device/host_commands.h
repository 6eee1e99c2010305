// device boot, shutdown and status: start the device's host, end it with every device process,
// and tell whether it runs.
#pragma once

#include "command.h"

namespace ce::tool {

class HostCommands : public Command {
public:
  // What the host may take, beyond the answer limit, to end its programs before it answers a
  // shutdown (it gives them 2 s, then kills them).
  static constexpr int kShutdownGraceMs = 3000;

  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  Outcome boot(std::span<const std::string> args, const ToolContext &context);
  Outcome shutdown(std::span<const std::string> args, const ToolContext &context);
  Outcome status(std::span<const std::string> args, const ToolContext &context);
};

} // namespace ce::tool
