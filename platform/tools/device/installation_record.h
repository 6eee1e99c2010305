// What the device remembers of an installed package: the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Apps\<name>, written by `device install` and read and deleted by
// `device uninstall`.
//
// Values:
//   Instl        REG_DWORD     1: the package is installed
//   InstlDir     REG_SZ        the installation directory
//   IsvFile      REG_SZ        the device copy of the package's setup library (when it has one),
//                              which uninstall loads again
//   Files        REG_MULTI_SZ  every installed file, as a device path
//   Directories  REG_MULTI_SZ  the directories the installation created, deepest first; uninstall
//                              removes those that are empty by then
// Strings are written with their terminating zero.
#pragma once

#include <ce/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce::tool {

class InstallationRecord {
public:
  static std::u16string keyPath(std::u16string_view name);
  static bool exists(std::u16string_view name);
  // The record of `name`; nothing with *error = ERROR_FILE_NOT_FOUND when there is none, or
  // the registry's error.
  static std::optional<InstallationRecord> read(std::u16string_view name, DWORD *error);
  // Deletes the record of `name`.
  static DWORD remove(std::u16string_view name);

  // Writes this record over an earlier one (an IsvFile it has no more is deleted).
  DWORD write() const;

  std::u16string name;
  std::u16string directory;
  std::u16string setupLibrary;
  std::vector<std::u16string> files;
  std::vector<std::u16string> directories;
};

} // namespace ce::tool
