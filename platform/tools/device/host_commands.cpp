#include "host_commands.h"

#include "argument_parser.h"
#include "host_launcher.h"

#include "../../src/client/host_connection.h"
#include "../../src/protocol/process_messages.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/host/host_lock.h>
#include <ce/kernel.h>

#include <charconv>
#include <ostream>

namespace ce::tool {

std::string HostCommands::usage(std::string_view verb) {
  if (verb == "boot")
    return "usage: device --device DIR boot [--window] [--zoom N]\n"
           "\n"
           "Starts the device's host in the background and returns once it accepts programs.\n"
           "A device that is already running is left as it is (exit 0). A device whose\n"
           "device.conf has a line that does not parse, or whose registry.db is damaged, is\n"
           "refused (exit 2) with the line or the damage named.\n"
           "\n"
           "  --window   show the screen in a desktop window as well\n"
           "  --zoom N   pixels of the window per device pixel, 1 to 8 (default 1)\n";
  if (verb == "shutdown")
    return "usage: device --device DIR shutdown\n"
           "\n"
           "Ends every program of the device, then its host. A device that is not running is\n"
           "left as it is (exit 0). A host that does not answer (stopped, hung) is killed, and\n"
           "its programs end with it (exit 3, saying so).\n";
  return "usage: device --device DIR status\n"
         "\n"
         "Says whether the device's host runs: exit 0 when it runs, 1 when it does not, 3 when\n"
         "it holds the device but does not answer.\n";
}

Outcome HostCommands::run(std::string_view verb, std::span<const std::string> args,
                          const ToolContext &context) {
  if (verb == "boot")
    return boot(args, context);
  if (verb == "shutdown")
    return shutdown(args, context);
  return status(args, context);
}

Outcome HostCommands::boot(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed =
      context.parse(ArgumentParser("device boot").flag("--window").option("--zoom"), args, &stop);
  if (!parsed)
    return stop;
  host::HostOptions options;
  options.window = parsed->has("--window");
  if (auto zoom = parsed->value("--zoom")) {
    int value = 0;
    const auto [end, ec] = std::from_chars(zoom->data(), zoom->data() + zoom->size(), value);
    if (ec != std::errc() || end != zoom->data() + zoom->size() || value < 1 || value > 8)
      return Outcome::refused("device boot: --zoom takes a whole number from 1 to 8");
    options.zoom = value;
  }
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;
  const auto root = DeviceRoot::path();
  std::string message;
  switch (HostLauncher::boot(root, options, &message)) {
  case HostLauncher::BootResult::Started:
    context.out() << "the device is running\n";
    return Outcome::success();
  case HostLauncher::BootResult::AlreadyRunning:
    context.out() << "the device is already running\n";
    return Outcome::success();
  case HostLauncher::BootResult::Refused:
    return Outcome::refused(message);
  case HostLauncher::BootResult::Failed:
    break;
  }
  return Outcome::failed("device boot: " + message);
}

Outcome HostCommands::shutdown(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device shutdown"), args, &stop);
  if (!parsed)
    return stop;
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;
  const auto root = DeviceRoot::path();
  if (!HostLock::isHeld(root)) {
    context.out() << "the device is not running\n";
    return Outcome::success();
  }
  auto &connection = HostConnection::instance();
  connection.actAsTool();
  // The host answers once its programs have ended, which may take it kShutdownGraceMs; a host
  // that goes away before answering has shut down all the same (the lock tells).
  const int limit = connection.answerLimit();
  connection.setAnswerLimit(limit + kShutdownGraceMs);
  const DWORD error = connection.request(protocol::ShutdownRequest{}).error();
  connection.setAnswerLimit(limit);
  if (error == static_cast<DWORD>(ERROR_TIMEOUT) && HostLock::isHeld(root)) {
    // A host that does not answer is stopped or hung: it is killed, and its programs end with it.
    const Outcome silent = ToolContext::hostFailed("shutdown");
    if (!HostLock::killHolder(root, kShutdownGraceMs))
      return Outcome::failed(silent.message() + ", and it could not be ended");
    return Outcome::failed(silent.message() + "; it was killed");
  }
  if (!HostLock::waitUntilReleased(root, 10000))
    return Outcome::failed("device shutdown: the host did not stop within 10 seconds");
  context.out() << "the device is shut down\n";
  return Outcome::success();
}

Outcome HostCommands::status(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device status"), args, &stop);
  if (!parsed)
    return stop;
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;
  if (!HostLock::isHeld(DeviceRoot::path())) {
    context.out() << "not running\n";
    return Outcome::notFound("");
  }
  auto &connection = HostConnection::instance();
  connection.actAsTool();
  const auto listed = connection.request(protocol::ListProcessesRequest{});
  if (!listed && ToolContext::unreachable(listed.error()))
    return ToolContext::hostFailed("status");
  if (!listed)
    return Outcome::failed("device status: the host refused the process list (error " +
                           std::to_string(listed.error()) + ")");
  const std::size_t count = listed->processes.size();
  context.out() << "running, host process " << connection.hostPid() << ", " << count
                << (count == 1 ? " process" : " processes") << "\n";
  return Outcome::success();
}

} // namespace ce::tool
