// device sync: waits until the running device has settled (every input queued before it
// handled, every resulting paint done), for scripts and tests that must not guess how long
// that takes.
#pragma once

#include "command.h"

namespace ce::tool {

class SyncCommand : public Command {
public:
  static constexpr std::uint32_t kDefaultTimeoutMs = 10000;

  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);
};

} // namespace ce::tool
