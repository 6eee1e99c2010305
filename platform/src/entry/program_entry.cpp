// main() of every device program: joins the device and calls WinMain.
#include "../client/host_connection.h"
#include "../protocol/process_messages.h"

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/entry.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

extern "C" char __executable_start;

namespace {

// The arguments after the program's name, joined as the device would show them.
std::string joinArguments(int argc, char **argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!line.empty())
      line.push_back(' ');
    if (argument.find_first_of(" \t\"") == std::string::npos && !argument.empty()) {
      line += argument;
      continue;
    }
    line.push_back('"');
    for (char c : argument) {
      if (c == '"')
        line.push_back('\\');
      line.push_back(c);
    }
    line.push_back('"');
  }
  return line;
}

// A program the host started dies with the host: the kernel kills it when its parent (the host)
// ends. A host already gone by now (the program was reparented) ends it at once.
void endWithStartingHost() {
  const char *given = std::getenv("CE_HOST_PID");
  if (!given)
    return;
  const long host = std::strtol(given, nullptr, 10);
  ::unsetenv("CE_HOST_PID");
  if (host <= 0)
    return;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != static_cast<pid_t>(host))
    ::raise(SIGKILL);
}

} // namespace

int main(int argc, char **argv) {
  endWithStartingHost();
  ce::HostConnection::instance().endProcessWithHost();
  std::string commandLine;
  int show = 1; // SW_SHOWNORMAL
  if (const char *given = std::getenv("CE_COMMAND_LINE")) {
    commandLine = given;
    if (const char *showText = std::getenv("CE_SHOW_COMMAND"))
      show = std::atoi(showText);
    // Programs this one starts get their own command line, not ours.
    ::unsetenv("CE_COMMAND_LINE");
    ::unsetenv("CE_SHOW_COMMAND");
  } else {
    commandLine = joinArguments(argc, argv);
  }
  if (!ce::DeviceRoot::path().empty())
    ce::HostConnection::instance().connect(); // a device without a running host still runs it

  std::u16string wide = ce::toUtf16(commandLine);
  const int result =
      WinMain(reinterpret_cast<HINSTANCE>(&__executable_start), nullptr, wide.data(), show);
  if (ce::HostConnection::instance().isConnected()) {
    ce::HostConnection::instance().notify(
        ce::protocol::ProcessExitingNotice{static_cast<DWORD>(result)});
  }
  return result;
}
