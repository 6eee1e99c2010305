#include "screen_commands.h"

#include "argument_parser.h"

#include "../../src/client/host_connection.h"
#include "../../src/protocol/screen_messages.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <filesystem>
#include <ostream>

namespace ce::tool {

std::string ScreenCommands::usage(std::string_view) {
  return "usage: device --device DIR screenshot [--window] FILE.png\n"
         "\n"
         "Writes the running device's screen, exactly as it shows, to a PNG file.\n"
         "\n"
         "  --window   what the screen's desktop window shows (scaled by its zoom)\n";
}

Outcome ScreenCommands::run(std::string_view, std::span<const std::string> args,
                            const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(
      ArgumentParser("device screenshot").flag("--window").positional("FILE"), args, &stop);
  if (!parsed)
    return stop;
  // The host writes the file and runs in another folder: give it the full path.
  std::error_code failure;
  const std::filesystem::path file = std::filesystem::absolute(parsed->positionals[0], failure);
  if (failure || parsed->positionals[0].empty())
    return Outcome::refused("device screenshot: cannot use '" + parsed->positionals[0] + "'");
  if (auto outcome = context.useRunningDevice("screenshot"); !outcome.ok())
    return outcome;
  auto &connection = HostConnection::instance();
  const auto written = connection.request(
      protocol::ScreenshotRequest{toUtf16(file.string()), parsed->has("--window")});
  if (!written && ToolContext::unreachable(written.error()))
    return ToolContext::hostFailed("screenshot");
  if (written.error() == static_cast<DWORD>(ERROR_NOT_SUPPORTED))
    return Outcome::failed("device screenshot: the device has no window (boot it with --window)");
  if (!written)
    return Outcome::failed("device screenshot: cannot write " + file.string() +
                           " (the host's log says why)");
  context.out() << file.string() << "\n";
  return Outcome::success();
}

} // namespace ce::tool
