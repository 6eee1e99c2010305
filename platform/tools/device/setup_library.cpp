#include "setup_library.h"

#include <ce/errors.h>
#include <ce/loader.h>

namespace ce::tool {
namespace {

template <class Function> Function entryPoint(HMODULE module, const char16_t *name) {
  return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddressW(module, name)));
}

} // namespace

std::unique_ptr<SetupLibrary> SetupLibrary::load(const std::u16string &devicePath, DWORD *error) {
  HMODULE module = LoadLibraryW(devicePath.c_str());
  if (!module) {
    *error = GetLastError();
    return nullptr;
  }
  return std::unique_ptr<SetupLibrary>(new SetupLibrary(module));
}

SetupLibrary::SetupLibrary(HMODULE module)
    : module_(module), installInit_(entryPoint<pfnINSTALL_INIT>(module, u"Install_Init")),
      installExit_(entryPoint<pfnINSTALL_EXIT>(module, u"Install_Exit")),
      uninstallInit_(entryPoint<pfnUNINSTALL_INIT>(module, u"Uninstall_Init")),
      uninstallExit_(entryPoint<pfnUNINSTALL_EXIT>(module, u"Uninstall_Exit")) {}

SetupLibrary::~SetupLibrary() { FreeLibrary(module_); }

// The parent window is null: the installer owns no window (see <ce/setup.h>).
int SetupLibrary::installInit(bool previouslyInstalled,
                              const std::u16string &installDirectory) const {
  return installInit_ ? installInit_(nullptr, TRUE, previouslyInstalled ? TRUE : FALSE,
                                     installDirectory.c_str())
                      : codeINSTALL_INIT_CONTINUE;
}

int SetupLibrary::installExit(const std::u16string &installDirectory, WORD failedDirectories,
                              WORD failedFiles, WORD failedShortcuts) const {
  // The installer writes no registry keys or values of the package's own, so none can fail.
  return installExit_ ? installExit_(nullptr, installDirectory.c_str(), failedDirectories,
                                     failedFiles, 0, 0, failedShortcuts)
                      : codeINSTALL_EXIT_DONE;
}

int SetupLibrary::uninstallInit(const std::u16string &installDirectory) const {
  return uninstallInit_ ? uninstallInit_(nullptr, installDirectory.c_str())
                        : codeUNINSTALL_INIT_CONTINUE;
}

int SetupLibrary::uninstallExit() const {
  return uninstallExit_ ? uninstallExit_(nullptr) : codeUNINSTALL_EXIT_DONE;
}

std::vector<std::string> SetupLibrary::missingEntryPoints() const {
  std::vector<std::string> missing;
  if (!installInit_)
    missing.push_back("Install_Init");
  if (!installExit_)
    missing.push_back("Install_Exit");
  if (!uninstallInit_)
    missing.push_back("Uninstall_Init");
  if (!uninstallExit_)
    missing.push_back("Uninstall_Exit");
  return missing;
}

} // namespace ce::tool
