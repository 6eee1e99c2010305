// \Windows\ctlpnl.exe, the control-panel host: `ctlpnl "file"` or `ctlpnl "file,index"` opens
// one applet of a control-panel library (see AppletHost and AppletCommandLine).
#include "applet_command_line.h"
#include "applet_host.h"

#include <ce/entry.h>

#include <cstdio>
#include <string>

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  std::string error;
  const auto applet =
      ce::ctlpnl::AppletCommandLine::parse(commandLine ? commandLine : u"", &error);
  if (!applet) {
    std::fprintf(stderr, "ctlpnl: %s\n", error.c_str());
    return ce::ctlpnl::AppletHost::kBadCommandLine;
  }
  ce::ctlpnl::AppletHost host(instance);
  return host.run(*applet);
}
