#include "sync_command.h"

#include "argument_parser.h"

#include "../../host/device_sync.h"

#include <ce/host/device_barrier.h>

#include <charconv>

namespace ce::tool {

std::string SyncCommand::usage(std::string_view) {
  return "usage: device --device DIR sync [TIMEOUT-MS]\n"
         "\n"
         "Waits until the device has settled: every input played before it has been handled by\n"
         "the program it went to, and every window that needs painting since has been painted.\n"
         "Gives up after TIMEOUT-MS milliseconds (default 10000, 1 to 3600000) with exit 3 and\n"
         "says what is still pending.\n";
}

Outcome SyncCommand::run(std::string_view, std::span<const std::string> args,
                         const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed =
      context.parse(ArgumentParser("device sync").optionalPositional("TIMEOUT-MS"), args, &stop);
  if (!parsed)
    return stop;
  std::uint32_t timeoutMs = kDefaultTimeoutMs;
  if (!parsed->positionals.empty()) {
    const std::string &text = parsed->positionals[0];
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), timeoutMs);
    if (ec != std::errc() || end != text.data() + text.size() || timeoutMs < 1 ||
        timeoutMs > host::DeviceSync::kMaxTimeoutMs)
      return Outcome::refused("device sync: TIMEOUT-MS is a whole number from 1 to 3600000");
  }
  if (auto outcome = context.useRunningDevice("sync"); !outcome.ok())
    return outcome;
  const DeviceBarrier barrier = DeviceBarrier::wait(timeoutMs);
  switch (barrier.outcome) {
  case DeviceBarrier::Outcome::Settled:
    return Outcome::success();
  case DeviceBarrier::Outcome::TimedOut:
    return Outcome::failed("device sync: the device did not settle within " +
                           std::to_string(timeoutMs) + " ms; still pending:\n" + barrier.pending);
  case DeviceBarrier::Outcome::Refused:
    return Outcome::failed("device sync: the host refused the request");
  case DeviceBarrier::Outcome::Unreachable:
    break;
  }
  return ToolContext::hostFailed("sync");
}

} // namespace ce::tool
