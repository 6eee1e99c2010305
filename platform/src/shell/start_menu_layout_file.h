// The platform Start menu's layout file on a device with the 6.5-style taskbar,
// \Windows\StartMenu.cpr. The shell writes it when it is missing (at boot and whenever Start is
// asked for) and reads one thing from it: a file of exactly four zero bytes switches the
// platform's menu off, so that a program that takes Start over can keep it closed. Anything else
// in the file leaves the menu on and is left as it is; deleting the file turns the menu back on
// (it is written again the next time). Devices with the classic taskbar keep no layout file.
#pragma once

#include "shell_log.h"

#include <ce/types.h>

#include <string>

namespace ce::shell {

class StartMenuLayoutFile {
public:
  static constexpr char16_t kPath[] = u"\\Windows\\StartMenu.cpr";

  explicit StartMenuLayoutFile(ShellLog log);

  // Writes the file when it is missing (logged); false when the file switches the menu off.
  bool menuAllowed();

  // What the shell writes: a description of the menu it shows.
  static std::string defaultContent();

private:
  ShellLog log_;
};

} // namespace ce::shell
