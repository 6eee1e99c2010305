// The device root this process works on: a host folder with fs/, registry.db, device.conf, run/.
#pragma once

#include <ce/export.h>

#include <filesystem>

CE_EXPORT_BEGIN

namespace ce {

class DeviceRoot {
public:
  // The folder set by use(), else the environment variable CE_DEVICE, else empty.
  static std::filesystem::path path();
  // Tools and tests pick a root explicitly; later calls to path() return it.
  static void use(const std::filesystem::path& root);

  static std::filesystem::path fileSystem() { return path() / "fs"; }
  static std::filesystem::path registryDatabase() { return path() / "registry.db"; }
  static std::filesystem::path profileFile() { return path() / "device.conf"; }
  static std::filesystem::path runDirectory() { return path() / "run"; }
};

} // namespace ce
CE_EXPORT_END
