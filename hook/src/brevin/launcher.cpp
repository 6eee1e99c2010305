#include "launcher.h"

#include "hook_thread.h"
#include "service_state.h"

#include <toolkit/registry/registry_key.h>
#include <service_control/system_directory.h>

#include <hook/system_names.h>

#include <ce/files.h>
#include <ce/menus.h>
#include <ce/messages.h>
#include <ce/processes.h>
#include <ce/windows_api.h>

#include <string>

namespace {

constexpr int MenuWaits = 40;
constexpr DWORD MenuWaitMs = 250;
constexpr DWORD GraceMs = 1000;

// The log of the attach failure: " Error num N" and a line feed, in single bytes, replacing
// the file.
void writeErrorLog(int errorNumber) {
  const std::u16string path = SystemDirectory::forService() + u"Debug.txt";
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  const std::string text = " Error num " + std::to_string(errorNumber) + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

} // namespace

std::u16string resolveProgramPath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'\\')
    return std::u16string(path);
  if (GlobalValues *record = ServiceState::instance().record()) {
    record->appendDirectorySeparator();
    return record->userDirectoryText() + std::u16string(path);
  }
  return SystemDirectory::forService() + std::u16string(path);
}

void launchProgram(std::u16string_view path, std::u16string_view arguments, int errorNumber) {
  if (errorNumber != 0)
    writeErrorLog(errorNumber);
  const std::u16string file = resolveProgramPath(path);
  const std::u16string parameters(arguments);
  SHELLEXECUTEINFO info{};
  info.cbSize = SHELLEXECUTEINFO_DEVICE_SIZE;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteEx(&info))
    return;
  const std::u16string text = u"Can't start " + file + u" !\nPlease report this problem.";
  MessageBoxW(nullptr, text.c_str(), u"Hook error", MB_OK);
}

void raiseMenu(HWND menu) {
  // The lowest bit asks for the window together with the windows it owns.
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(menu) | 1));
  ShowWindow(menu, SW_SHOW);
  UpdateWindow(menu);
  SetFocus(menu);
}

DWORD bringMenuForward(LPVOID request) {
  ServiceState &state = ServiceState::instance();
  WorkerThreads &workers = state.workers;
  const auto serial = reinterpret_cast<std::uintptr_t>(request);
  const auto superseded = [&] { return serial != 0 && state.latestRequest.load() != serial; };
  HWND menu = FindWindowW(MenuWindowClass, nullptr);
  for (int waits = 0; !menu && waits < MenuWaits; ++waits) {
    if (!workers.pause(MenuWaitMs))
      return 0;
    menu = FindWindowW(MenuWindowClass, nullptr);
  }
  if (menu && !superseded()) {
    const GlobalValues *record = state.record();
    const DWORD hookThread = record ? GlobalValues::load(record->hookThreadId) : 0;
    if (serial == 0 || hookThread == 0 ||
        !PostThreadMessageW(hookThread, WM_USER, RaiseRequest, static_cast<LPARAM>(serial)))
      raiseMenu(menu);
  }
  workers.pause(GraceMs);
  return 0;
}

extern "C" DWORD RunMyStartMenu(LPVOID request) {
  if (const HWND platformMenu = FindWindowW(PlatformStartMenuClass, nullptr)) {
    PostMessageW(platformMenu, WM_CLOSE, 0, 0);
    PostMessageW(platformMenu, WM_QUIT, 0, 0);
    PostMessageW(platformMenu, WM_DESTROY, 0, 0);
    if (const RegistryKey settings = RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey))
      settings.writeNumber(u"HideWM", 1);
  }
  launchProgram(u"Vireta.exe", u"", 0);
  bringMenuForward(request);
  return 0;
}
