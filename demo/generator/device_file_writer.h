// Whole-file reads and writes of device files through the platform's file API, plus the one
// host-side step the platform has no call for: marking an installed program executable.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ce::demo {

class DeviceFileWriter {
public:
  // Creates or replaces the device file with `bytes`; ERROR_SUCCESS or the platform's code.
  static DWORD write(const std::u16string &devicePath, const std::vector<std::uint8_t> &bytes);
  static DWORD write(const std::u16string &devicePath, const std::string &text);
  static DWORD read(const std::u16string &devicePath, std::vector<std::uint8_t> &bytes);
  // Creates the folder and any missing parents; an existing folder is fine.
  static DWORD createFolder(const std::u16string &devicePath);
  // Gives the device file the host's execute permission, which device programs and libraries
  // need to be started or loaded.
  static DWORD makeExecutable(const std::u16string &devicePath);
  // Reads a file of the host (the build's payload); false when it cannot be read.
  static bool readHost(const std::filesystem::path &file, std::vector<std::uint8_t> &bytes);
};

} // namespace ce::demo
