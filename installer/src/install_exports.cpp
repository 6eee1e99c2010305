// install.dll: the setup-library entry points that the package installer calls.
#include <installer/system_setup.h>

#include <ce/loader.h>
#include <ce/setup.h>

namespace {

SystemSetup setup;
HINSTANCE moduleHandle = nullptr;

} // namespace

extern "C" {

BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    moduleHandle = module;
  return TRUE;
}

int Install_Init(HWND parent, BOOL, BOOL, LPCWSTR installDirectory) {
  return setup.installInit(parent, installDirectory ? installDirectory : u"");
}

int Install_Exit(HWND parent, LPCWSTR installDirectory, WORD, WORD, WORD, WORD, WORD) {
  return setup.installExit(parent, installDirectory ? installDirectory : u"");
}

int Uninstall_Init(HWND parent, LPCWSTR installDirectory) {
  return setup.uninstallInit(parent, installDirectory ? installDirectory : u"");
}

int Uninstall_Exit(HWND parent) { return setup.uninstallExit(parent); }

} // extern "C"
