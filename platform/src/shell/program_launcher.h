// Starts a shortcut or program of the device the way a tap in the shell does: ShellExecuteEx with
// the verb "open" and SW_SHOWNORMAL.
#pragma once

#include <ce/types.h>

#include <string>

namespace ce::shell {

class ProgramLauncher {
public:
  // ERROR_SUCCESS once started, else the reason ShellExecuteEx gave.
  static DWORD start(const std::u16string &path);
};

} // namespace ce::shell
