#include "tool_context.h"

#include "../../src/client/host_connection.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/host/host_lock.h>

#include <charconv>
#include <cstdlib>

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

Outcome ToolContext::useRunningDevice(std::string_view verb) const {
  if (auto outcome = useExistingDevice(); !outcome.ok())
    return outcome;
  if (!HostLock::isHeld(DeviceRoot::path()))
    return Outcome::failed("device " + std::string(verb) +
                           ": the device is not running (start it with 'device boot')");
  HostConnection::instance().actAsTool();
  return Outcome::success();
}

int ToolContext::answerLimitMs() {
  const char *given = std::getenv("CE_HOST_TIMEOUT_MS");
  if (!given)
    return kDefaultAnswerLimitMs;
  int value = 0;
  const std::string_view text(given);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 3600000)
    return kDefaultAnswerLimitMs;
  return value;
}

Outcome ToolContext::hostFailed(std::string_view verb) {
  const std::string who = "device " + std::string(verb) + ": ";
  if (GetLastError() == static_cast<DWORD>(ERROR_TIMEOUT)) {
    const int ms = HostConnection::instance().answerLimit();
    return Outcome::failed(
        who + "the host did not answer within " +
        (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms"));
  }
  return Outcome::failed(who + "the host does not answer (it has gone away)");
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
