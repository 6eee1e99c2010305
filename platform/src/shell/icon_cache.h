// The small icons the platform Start menu draws beside its entries, extracted once per path and
// kept for the shell's life: a folder gets the folder icon of \Windows\shellres.dll, a program
// its own icon, a shortcut the icon its text names after a '?' ("file,index") or else its
// target's, and anything without one the program icon of shellres.dll. An entry without any
// icon (no shellres.dll on the device) gets none and the menu draws none.
#pragma once

#include "program_folder.h"

#include <ce/icons.h>

#include <map>
#include <string>

namespace ce::shell {

class IconCache {
public:
  IconCache() = default;
  ~IconCache();
  IconCache(const IconCache &) = delete;
  IconCache &operator=(const IconCache &) = delete;

  HICON iconFor(const ProgramEntry &entry);

private:
  HICON extract(const std::u16string &file, int index);
  // The file and index a shortcut's icon comes from.
  static bool shortcutIcon(const std::u16string &shortcut, std::u16string &file, int &index);

  std::map<std::u16string, HICON> icons_;    // by entry path
  std::map<std::u16string, HICON> extracted_; // by "file,index"
};

} // namespace ce::shell
