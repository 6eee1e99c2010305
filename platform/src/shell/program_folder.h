// What a folder of the Start menu tree (or the StartUp folder) holds for the shell: its
// sub-folders and the shortcuts (.lnk) and programs (.exe) in it, named as the menu shows them.
//
// Order: sub-folders first, then the shortcuts and programs, each group by name without regard
// to case. Hidden entries and other kinds of files are left out. A name is the file name without
// its ".lnk" or ".exe" (".LNK" too); a file named only ".lnk" is none of them. A folder
// holds at most kMaxEntries entries here, the rest is not listed.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace ce::shell {

struct ProgramEntry {
  std::u16string name; // what the menu shows
  std::u16string path; // the device path
  bool folder = false;
};

class ProgramFolder {
public:
  static constexpr std::size_t kMaxEntries = 1000;

  // The entries of the device folder `path`. A folder that is missing or cannot be read lists
  // nothing, with *error (when given) set to the reason; an empty folder lists nothing with
  // *error ERROR_SUCCESS.
  static std::vector<ProgramEntry> list(std::u16string_view path, DWORD *error = nullptr);

  // Whether a file of this name is a shortcut or a program (by its extension).
  static bool isLaunchable(std::u16string_view fileName);
  // The name the menu shows for a file.
  static std::u16string displayName(std::u16string_view fileName);
  // The last component of a device path ("Games" for "\Windows\Start Menu\Programs\Games").
  static std::u16string lastComponent(std::u16string_view path);
  // The folder that holds `path` ("\Windows" for "\Windows\StartUp"; "\" for "\Windows").
  static std::u16string parentOf(std::u16string_view path);
};

} // namespace ce::shell
