// A package's setup library, loaded into the device tool's process for `device install` and
// `device uninstall`, and its four entry points (<ce/setup.h>).
//
// The library is loaded with LoadLibraryW from a device path, as the device's own installer
// does: the platform functions it calls then work on the device like those of any device
// program. Entry points it does not export are skipped with the answer "continue"/"done".
#pragma once

#include <ce/setup.h>
#include <ce/types.h>

#include <memory>
#include <string>
#include <vector>

namespace ce::tool {

class SetupLibrary {
public:
  // Loads the library at `devicePath`; null with *error (the platform's error code) when it
  // cannot be loaded.
  static std::unique_ptr<SetupLibrary> load(const std::u16string &devicePath, DWORD *error);
  ~SetupLibrary(); // FreeLibrary
  SetupLibrary(const SetupLibrary &) = delete;
  SetupLibrary &operator=(const SetupLibrary &) = delete;

  int installInit(bool previouslyInstalled, const std::u16string &installDirectory) const;
  int installExit(const std::u16string &installDirectory, WORD failedDirectories,
                  WORD failedFiles, WORD failedShortcuts) const;
  int uninstallInit(const std::u16string &installDirectory) const;
  int uninstallExit() const;

  // The names of the four entry points that the library does not export.
  std::vector<std::string> missingEntryPoints() const;

private:
  explicit SetupLibrary(HMODULE module);

  HMODULE module_;
  pfnINSTALL_INIT installInit_ = nullptr;
  pfnINSTALL_EXIT installExit_ = nullptr;
  pfnUNINSTALL_INIT uninstallInit_ = nullptr;
  pfnUNINSTALL_EXIT uninstallExit_ = nullptr;
};

} // namespace ce::tool
