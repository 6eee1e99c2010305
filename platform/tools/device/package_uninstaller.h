// device uninstall: removes an installed package from the device.
//
// Steps, in order:
//  1. The record HKLM\SOFTWARE\Apps\<name> is read; without one the run ends with exit 1.
//  2. The setup library kept at installation (the record's IsvFile) is loaded into this process
//     and Uninstall_Init is called; an answer of 1 (cancel) ends the run with exit 1 and nothing
//     removed. A kept library that cannot be loaded any more is reported and the removal goes on
//     without it, so that a damaged installation can still be removed.
//  3. The recorded files are deleted (files already gone count as deleted), one line per file,
//     then the recorded folders that are empty by now.
//  4. Uninstall_Exit is called and the library unloaded.
//  5. The record and the kept setup library are deleted. When some files could not be deleted,
//     the record stays with just those files (so that a later uninstall can finish) and the
//     run ends with exit 1.
#pragma once

#include "outcome.h"

#include <ostream>
#include <string>

namespace ce::tool {

class PackageUninstaller {
public:
  explicit PackageUninstaller(std::ostream &out) : out_(out) {}

  Outcome uninstall(const std::u16string &name);

private:
  std::ostream &out_;
};

} // namespace ce::tool
