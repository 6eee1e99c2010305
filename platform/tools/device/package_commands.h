// device install and device uninstall: the cabinet installer's stand-in. The work itself is
// PackageInstaller's and PackageUninstaller's; this class parses the arguments and connects
// the tool to the device.
//
// The setup library runs in this tool's process. With the device booted, the tool joins it as a
// device process (it shows in `device ps` while it runs), so the library's window, message and
// service calls reach the device. Without a running host the registry and file calls still work
// on the device root, but window and service calls fail (ERROR_BROKEN_PIPE); the tool says so on
// the terminal before it loads the library.
#pragma once

#include "command.h"

namespace ce::tool {

class PackageCommands : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  Outcome install(std::span<const std::string> args, const ToolContext &context);
  Outcome uninstall(std::span<const std::string> args, const ToolContext &context);
  // Joins the running device as a process, or says on the terminal that it is not booted.
  static void joinDevice(const ToolContext &context);
};

} // namespace ce::tool
