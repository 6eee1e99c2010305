// The file work of `device install` and `device uninstall` on the device's file system: making
// folders, copying package files in, removing them again, and where a package's setup library
// is kept.
#pragma once

#include <ce/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ce::tool {

class PackageFiles {
public:
  // Where the device keeps the setup library of the installed package `name`, so that
  // uninstall can load it again.
  static std::u16string keptSetupLibrary(std::u16string_view name);
  // Where install puts the package's setup library while Install_Init decides; it moves to
  // keptSetupLibrary() once the installation is done and is deleted when it is not.
  static std::u16string stagedSetupLibrary(std::u16string_view name);
  // Whether `devicePath` is one of the two places above for `name`: only those copies are ever
  // deleted, whatever a record names.
  static bool isKeptSetupLibrary(std::u16string_view name, std::u16string_view devicePath);

  // The folders that lead to `devicePath` (a normalized device path), outermost first;
  // "\A\B\c.txt" gives "\A" and "\A\B".
  static std::vector<std::u16string> parentFolders(std::u16string_view devicePath);
  // Makes `folder` and the folders above it that are missing. Each folder made is appended to
  // *created. ERROR_SUCCESS, or the error of the first folder that could not be made.
  static DWORD makeFolders(std::u16string_view folder, std::vector<std::u16string> *created);

  // Copies the host file `source` to the device path `destination`, replacing what is there.
  // The new file is written beside the destination and renamed over it when complete, so a
  // failed copy leaves the old file, and a program running from the old file keeps running.
  // The destination's execute permission follows the source's. On failure *reason says why.
  static bool copyIn(const std::filesystem::path &source, const std::u16string &destination,
                     std::string *reason);

  // Deletes a device file; a file that is already gone counts as deleted.
  static bool removeFile(const std::u16string &devicePath, std::string *reason);
  // Removes each folder of `folders` that is empty (deepest ones should come first); the ones
  // that still hold something stay.
  static void removeEmptyFolders(const std::vector<std::u16string> &folders);

  // Orders folders deepest first, so that removing them in order empties parents before them.
  static void sortDeepestFirst(std::vector<std::u16string> &folders);

  // "error 5 (Access is denied.)" for a platform error code.
  static std::string errorText(DWORD error);
};

} // namespace ce::tool
