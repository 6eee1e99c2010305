#include "process_commands.h"

#include "../../src/client/host_connection.h"
#include "../../src/protocol/process_messages.h"

#include <ce/core/handle_table.h>
#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/processes.h>

#include <ostream>

namespace ce::tool {

std::string ProcessCommands::usage(std::string_view verb) {
  if (verb == "ps")
    return "usage: device --device DIR ps\n"
           "\n"
           "Lists the running device's processes, one a line: process id and device path.\n";
  return "usage: device --device DIR run DEVPATH [ARGS...]\n"
         "\n"
         "Starts a device program, shortcut (.lnk) or control-panel applet (.cpl) the way the\n"
         "device's shell does, with ARGS joined by spaces as its command line. Prints the new\n"
         "process id. Exit 1 when it cannot be started.\n";
}

Outcome ProcessCommands::run(std::string_view verb, std::span<const std::string> args,
                             const ToolContext &context) {
  for (const auto &arg : args)
    if (arg == "--help" || arg == "-h")
      return Outcome::usageRequested();
  if (verb == "ps" && !args.empty())
    return Outcome::refused("device ps: takes no arguments");
  if (verb == "run" && args.empty())
    return Outcome::refused("device run: give the device path of what to start");
  if (auto outcome = context.useRunningDevice(verb); !outcome.ok())
    return outcome;
  auto &connection = HostConnection::instance();

  if (verb == "ps") {
    const auto listed = connection.request(protocol::ListProcessesRequest{});
    if (!listed && ToolContext::unreachable(listed.error()))
      return ToolContext::hostFailed(verb);
    if (!listed)
      return Outcome::failed("device ps: the host refused the list (error " +
                             std::to_string(listed.error()) + ")");
    for (const protocol::ProcessEntry &process : listed->processes)
      context.out() << process.pid << ' ' << printable(ce::toUtf8(process.devicePath)) << '\n';
    return Outcome::success();
  }

  const std::u16string file = ce::toUtf16(args[0]);
  std::string joined;
  for (std::size_t i = 1; i < args.size(); ++i)
    joined += (i > 1 ? " " : "") + args[i];
  const std::u16string parameters = ce::toUtf16(joined);
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteEx(&info)) {
    if (GetLastError() == static_cast<DWORD>(ERROR_TIMEOUT) ||
        GetLastError() == static_cast<DWORD>(ERROR_BROKEN_PIPE))
      return ToolContext::hostFailed(verb);
    return Outcome::notFound("device run: cannot start " + args[0] + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
  if (const DWORD pid = GetProcessId(info.hProcess))
    context.out() << pid << '\n';
  CloseHandle(info.hProcess);
  return Outcome::success();
}

} // namespace ce::tool
