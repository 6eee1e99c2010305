#include "tool_context.h"

#include "../../src/client/host_connection.h"
#include "../../src/host/host_daemon.h"

#include <ce/core/device_root.h>

namespace ce::tool {

Outcome ToolContext::rootPath(std::filesystem::path *path) const {
  if (!root_ || root_->empty())
    return Outcome::refused("no device chosen: give --device DIR or set CE_DEVICE");
  std::error_code ec;
  auto absolute = std::filesystem::absolute(*root_, ec);
  if (ec)
    return Outcome::refused("cannot use device folder " + root_->string() + ": " + ec.message());
  *path = absolute.lexically_normal();
  return Outcome::success();
}

Outcome ToolContext::useExistingDevice() const {
  std::filesystem::path root;
  if (auto outcome = rootPath(&root); !outcome.ok())
    return outcome;
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec))
    return Outcome::notFound("no device at " + root.string());
  if (!std::filesystem::is_regular_file(root / "device.conf", ec))
    return Outcome::notFound(root.string() +
                             " is not a device root (no device.conf); make one with "
                             "'device create'");
  DeviceRoot::use(root);
  return Outcome::success();
}

Outcome ToolContext::useRunningDevice(std::string_view verb, bool stoppedIsNotFound) const {
  if (auto outcome = useExistingDevice(); !outcome.ok())
    return outcome;
  if (!host::HostDaemon::isRunning(DeviceRoot::path())) {
    std::string message = "device " + std::string(verb) + ": the device is not running";
    return stoppedIsNotFound ? Outcome::notFound(std::move(message))
                             : Outcome::failed(std::move(message));
  }
  HostConnection::instance().actAsTool();
  return Outcome::success();
}

std::optional<ArgumentParser::Parsed>
ToolContext::parse(const ArgumentParser &parser, std::span<const std::string> args, Outcome *stop) {
  bool help = false;
  std::string error;
  auto parsed = parser.parse(args, &help, &error);
  if (help) {
    *stop = Outcome::usageRequested();
    return std::nullopt;
  }
  if (!parsed)
    *stop = Outcome::refused(error);
  return parsed;
}

} // namespace ce::tool
