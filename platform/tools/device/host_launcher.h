// Starts the device-host program for a device root, the way `device boot` does: detached (its
// own session, no terminal, nobody's child, none of the tool's descriptors), and returns once the
// host has answered on its ready pipe (BootAnswer) or ended without answering.
//
// The program is device-host beside this tool's own executable; CE_DEVICE_HOST names another one
// (a test of a host that fails to start, a host built elsewhere).
#pragma once

#include "../../host/host_options.h"

#include <filesystem>
#include <string>

namespace ce::tool {

class HostLauncher {
public:
  enum class BootResult { Started, AlreadyRunning, Refused, Failed };

  // The host program this tool starts.
  static std::filesystem::path program();

  // Starts the host of `root` unless one holds its lock. Refused (with the reason in *message)
  // when the device's profile or registry is damaged; Failed with the reason when the host
  // could not start.
  static BootResult boot(const std::filesystem::path &root, const host::HostOptions &options,
                         std::string *message);
};

} // namespace ce::tool
