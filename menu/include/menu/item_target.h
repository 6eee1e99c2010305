// An item's `target`: a program path, optionally followed by its arguments. The program path is
// the part in double quotes when the target starts with one, else everything up to and
// including the first ".exe" (in any case), else the whole target.
#pragma once

#include <ce/types.h>

#include <optional>
#include <string>
#include <string_view>

struct ItemTarget {
  std::u16string program;
  std::u16string arguments;

  static ItemTarget split(std::u16string_view target);
  // The key of the target index: the program path in lower case.
  static std::u16string indexKeyOf(std::u16string_view target);
  // Whether the program (a file or a folder) exists. A path without a leading "\" is looked for
  // at the root and then in "\windows\", as the platform starts it.
  static bool programExists(std::u16string_view program);
  // The attributes of the program (a file or a folder) where it is found, as programExists
  // looks for it; nothing when it does not exist.
  static std::optional<DWORD> programAttributes(std::u16string_view program);
};
