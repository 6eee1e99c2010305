// Where a program finds its skin images and icons: the resource directory (with a trailing
// backslash) and the installation directory above it.
#pragma once

#include <string>
#include <string_view>

struct ResourceLocation {
  std::u16string resourceDirectory; // ends with a backslash
  std::u16string baseDirectory;     // the part before "resources", or the whole directory
};

class ResourceDirectory {
public:
  // In this order: the program key's `SourcesDirectory`; else the module's own directory +
  // "resources\VGA\" when it exists (then stored as `SourcesDirectory`); else
  // "\Program Files\<name>\resources\VGA\" when "\Program Files\<name>" exists; else "\Windows\".
  // Neither of the last two is stored. A missing trailing backslash is added in memory only.
  static ResourceLocation locate(std::u16string_view applicationName,
                                 std::u16string_view modulePath);

  // The part of a resource directory before the first "resources" (case-sensitive); the whole
  // directory when it holds no such word.
  static std::u16string baseOf(std::u16string_view resourceDirectory);

  // Whether a device path names an existing folder.
  static bool isDirectory(std::u16string_view path);
};
