// device install: installs a package folder on the device.
//
// Steps, in order; nothing on the device changes before step 3:
//  1. The manifest is read and every path checked: the sources must be regular files inside the
//     package folder (links leading out of it are refused), the destinations device paths that
//     stay on the device. A refusal ends the run with exit 2.
//  2. "Previously installed" is whether HKLM\SOFTWARE\Apps\<name> exists.
//  3. The setup library, when the package has one, is copied into the device (see
//     PackageFiles::stagedSetupLibrary) and loaded into this process with LoadLibraryW, and
//     Install_Init is called. An answer of 1 (cancel) removes the staged copy again and ends the
//     run with exit 1: no file copied, nothing recorded.
//  4. The installation directory and the folders of every destination are made, and the files
//     copied, one line per file on the terminal.
//  5. Install_Exit gets the counts of folders, files and shortcuts (.lnk destinations) that
//     failed. An answer of 1 undoes the copy (the files and folders made are removed) and nothing
//     is recorded.
//  6. The setup library is unloaded and kept as PackageFiles::keptSetupLibrary, and the
//     installation recorded (InstallationRecord). A reinstallation keeps, in the record, the
//     files and folders of the earlier one that the new one does not name, so that uninstall
//     still removes them.
// Exit 0 when everything was installed; 1 when cancelled or when some folders or files failed
// (what did install is recorded); 3 when the registry cannot be written.
#pragma once

#include "outcome.h"
#include "setup_library.h"

#include "../../src/packages/package_manifest.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace ce::tool {

class PackageInstaller {
public:
  PackageInstaller(std::filesystem::path package, PackageManifest manifest, std::ostream &out);

  // Installs into `directory` (a device path), or the manifest's directory when none is given.
  Outcome install(const std::optional<std::u16string> &directory);

private:
  struct Copy {
    std::filesystem::path source;
    std::u16string destination;
    bool shortcut = false;
  };

  // Step 1: fills installDirectory_, copies_ and setupSource_.
  Outcome plan(const std::optional<std::u16string> &directory);
  std::optional<std::filesystem::path> packageFile(const std::string &relative,
                                                   std::string *error) const;
  // Step 3, up to the load: null with *outcome when it failed (the stage is cleaned up).
  std::unique_ptr<SetupLibrary> stageSetupLibrary(Outcome *outcome);
  void dropStagedSetupLibrary();
  // Step 6: moves the staged library to its kept place; the device path it is kept at.
  std::u16string keepSetupLibrary();

  std::filesystem::path package_;
  PackageManifest manifest_;
  std::ostream &out_;

  std::u16string installDirectory_;
  std::vector<Copy> copies_;
  std::optional<std::filesystem::path> setupSource_;
};

} // namespace ce::tool
