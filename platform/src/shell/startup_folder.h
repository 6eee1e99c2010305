// The StartUp folder at boot: every shortcut and program in it (CSIDL_STARTUP,
// \Windows\StartUp) is started once, in name order, each with one log line saying whether it
// started. Sub-folders and other files are not run.
#pragma once

#include "shell_log.h"

#include <cstddef>

namespace ce::shell {

class StartupFolder {
public:
  // Returns how many entries started.
  static std::size_t runAll(const ShellLog &log);
};

} // namespace ce::shell
