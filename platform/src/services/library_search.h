// Finds the file a LoadLibraryW name stands for.
#pragma once

#include <ce/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ce {

struct LibraryLocation {
  std::filesystem::path hostPath; // inside fs/, every link followed
  std::u16string devicePath;      // the file's own device path, with the case it has on disk
};

class LibrarySearch {
public:
  // A name with a separator is a device path; a bare file name is looked for in \Windows, then
  // in the running program's folder. A last component without a '.' gets ".dll". Missing files
  // and folders give ERROR_MOD_NOT_FOUND; a path that leaves fs/ or holds refused characters
  // keeps the resolver's error (ERROR_ACCESS_DENIED, ERROR_INVALID_NAME, ...).
  static std::optional<LibraryLocation> find(std::u16string_view name, DWORD *error);

  // The running program's folder as a device path, when the program lies inside fs/.
  static std::optional<std::u16string> programFolder();

  // The last component of a device path.
  static std::u16string_view fileName(std::u16string_view devicePath);
};

} // namespace ce
