#include "window_commands.h"

#include "argument_parser.h"

#include "../../src/client/host_connection.h"
#include "../../host/window_listing.h"

#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/errors.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>
#include <thread>

namespace ce::tool {
namespace {

constexpr int kDefaultWaitSeconds = 10;
constexpr int kMaximumWaitSeconds = 3600;

// Asks the host for the window list; the failure when it cannot be had.
std::optional<Outcome> listWindows(std::string_view verb, std::vector<host::WindowLine> &lines) {
  auto listed = HostConnection::instance().request(protocol::ListWindowsRequest{});
  if (!listed && ToolContext::unreachable(listed.error()))
    return ToolContext::hostFailed(verb);
  const std::string who = "device " + std::string(verb) + ": ";
  if (!listed && listed.error() == static_cast<DWORD>(ERROR_INVALID_DATA))
    return Outcome::failed(who + "the host's window list does not parse");
  if (!listed)
    return Outcome::failed(who + "the host refused the window list (error " +
                           std::to_string(listed.error()) + ")");
  lines = std::move(listed->windows);
  return std::nullopt;
}

std::string describe(const host::WindowLine &line) {
  char handle[32];
  std::snprintf(handle, sizeof handle, "0x%08llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(line.handle)));
  std::string text = std::string(handle) + " " + toUtf8(line.className) + " \"" +
                     toUtf8(line.title) + "\" " + std::to_string(line.pid) + " " +
                     std::to_string(line.rect.left) + "," + std::to_string(line.rect.top) + "," +
                     std::to_string(line.rect.right) + "," + std::to_string(line.rect.bottom) +
                     (line.visible ? " visible" : " hidden");
  if (line.foreground)
    text += " foreground";
  return printable(text);
}

} // namespace

std::string WindowCommands::usage(std::string_view verb) {
  if (verb == "windows")
    return "usage: device --device DIR windows\n"
           "\n"
           "Lists the running device's windows, one a line: handle, class, \"title\", owner\n"
           "process id, rectangle as left,top,right,bottom, visible or hidden, and foreground\n"
           "on the foreground window's line.\n";
  return "usage: device --device DIR wait-window CLASS [SECONDS]\n"
         "\n"
         "Waits until a visible window of the class CLASS exists (exit 0), or SECONDS have\n"
         "passed (default 10, at most 3600; exit 1).\n";
}

Outcome WindowCommands::run(std::string_view verb, std::span<const std::string> args,
                            const ToolContext &context) {
  return verb == "windows" ? windows(args, context) : waitWindow(args, context);
}

Outcome WindowCommands::windows(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(ArgumentParser("device windows"), args, &stop);
  if (!parsed)
    return stop;
  if (auto outcome = context.useRunningDevice("windows"); !outcome.ok())
    return outcome;
  std::vector<host::WindowLine> lines;
  if (auto failure = listWindows("windows", lines))
    return *failure;
  for (const auto &line : lines)
    context.out() << describe(line) << "\n";
  return Outcome::success();
}

Outcome WindowCommands::waitWindow(std::span<const std::string> args, const ToolContext &context) {
  Outcome stop = Outcome::success();
  auto parsed = context.parse(
      ArgumentParser("device wait-window").positional("CLASS").optionalPositional("SECONDS"), args,
      &stop);
  if (!parsed)
    return stop;
  int seconds = kDefaultWaitSeconds;
  if (parsed->positionals.size() > 1) {
    const std::string &text = parsed->positionals[1];
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds < 0 ||
        seconds > kMaximumWaitSeconds)
      return Outcome::refused("device wait-window: SECONDS is a whole number from 0 to 3600");
  }
  const std::u16string wanted = toUtf16(parsed->positionals[0]);
  if (auto outcome = context.useRunningDevice("wait-window"); !outcome.ok())
    return outcome;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::vector<host::WindowLine> lines;
  for (;;) {
    if (auto failure = listWindows("wait-window", lines))
      return *failure;
    for (const auto &line : lines)
      if (line.visible && equalsIgnoreCase(line.className, wanted)) {
        context.out() << describe(line) << "\n";
        return Outcome::success();
      }
    if (std::chrono::steady_clock::now() >= deadline)
      return Outcome::notFound("device wait-window: no visible window of the class '" +
                               parsed->positionals[0] + "' within " + std::to_string(seconds) +
                               (seconds == 1 ? " second" : " seconds"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

} // namespace ce::tool
