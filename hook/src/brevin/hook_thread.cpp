#include "hook_thread.h"

#include "launcher.h"
#include "service_state.h"
#include "taskbar_shape.h"
#include "window_procedures.h"

#include <toolkit/registry/registry_key.h>
#include <settings_links/settings_links.h>

#include <hook/system_names.h>

#include <ce/messages.h>
#include <ce/windows_api.h>

#include <optional>

namespace {

constexpr DWORD TaskbarRetryMs = 2000;
constexpr DWORD MessageRetryMs = 1000;
constexpr DWORD WaitSliceMs = 100;

bool isStop(UINT message) { return message == WM_QUIT || message == WM_CLOSE; }

// A stop waiting in the queue (taken from it), or a stop of every worker.
bool stopAsked() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, WM_CLOSE, WM_QUIT, PM_REMOVE)) {
    if (isStop(msg.message))
      return true;
  }
  return ServiceState::instance().workers.stopping();
}

// Waits `ms`, watching for a stop; false when one came.
bool waitOrStop(DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += WaitSliceMs) {
    if (stopAsked() || !ServiceState::instance().workers.pause(WaitSliceMs))
      return false;
  }
  return !stopAsked();
}

struct Taskbar {
  HWND window = nullptr;
  RECT rect{};
  bool narrow = false;
};

// The taskbar once it exists and has a height to tell its design by.
std::optional<Taskbar> waitForTaskbar() {
  for (;;) {
    if (stopAsked())
      return std::nullopt;
    Taskbar taskbar;
    taskbar.window = FindWindowW(TaskbarClass, nullptr);
    if (taskbar.window && GetWindowRect(taskbar.window, &taskbar.rect)) {
      if (const auto narrow = TaskbarShape::isNarrow(taskbar.rect)) {
        taskbar.narrow = *narrow;
        return taskbar;
      }
    }
    if (!waitOrStop(TaskbarRetryMs))
      return std::nullopt;
  }
}

bool hookNarrowTaskbar(GlobalValues &record, HWND taskbar) {
  UINT message = 0;
  while ((message = RegisterWindowMessageW(u"SHWMActivateStart")) == 0) {
    if (!waitOrStop(MessageRetryMs))
      return false;
  }
  GlobalValues::store(record.activateStartMessage, message);
  ServiceState::instance().hookTable.hookWindow(taskbar, &taskbarProc65);
  return true;
}

DWORD hookClassicTaskbar(HWND taskbar) {
  std::optional<std::u16string> aku;
  if (const RegistryKey versions = RegistryKey::create(HKEY_LOCAL_MACHINE, u"System\\Versions"))
    aku = versions.readText(u"AKU", 64);
  ServiceState::instance().hookTable.hookWindow(taskbar, &taskbarProcClassic);
  InvalidateRect(taskbar, nullptr, FALSE);
  return TaskbarShape::startFolderForAku(aku);
}

void noteWhatWasFound(DWORD folderId, bool narrow) {
  if (const RegistryKey settings = RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey)) {
    settings.writeNumber(u"startFolderId", folderId);
    settings.writeNumber(u"DeviceWinVersion", narrow ? 1 : 0);
  }
}

// Builds the Settings folders of the menu from the control-panel applets, once per start of the
// hook thread; a worker, so that the library stays loaded while it runs.
DWORD settingsLinksThread(LPVOID) {
  if (GlobalValues *record = ServiceState::instance().record())
    generateSettingsLinks(record->userDirectoryText());
  return 0;
}

void startOrToggleMenu() {
  ServiceState &state = ServiceState::instance();
  WorkerThreads &workers = state.workers;
  // The workers learn which request they serve, so that a late one never undoes a newer one.
  const auto request = reinterpret_cast<LPVOID>(++state.latestRequest);
  const HWND menu = FindWindowW(MenuWindowClass, nullptr);
  if (!menu)
    workers.start(&RunMyStartMenu, request);
  else if (GetForegroundWindow() == menu && IsWindowVisible(menu))
    PostMessageW(menu, WM_QUIT, 0, 0); // in front: the menu leaves the screen

  else
    workers.start(&bringMenuForward, request);
}

void raiseMenuFor(std::uintptr_t request) {
  if (ServiceState::instance().latestRequest.load() != request)
    return; // a newer request has decided
  if (const HWND menu = FindWindowW(MenuWindowClass, nullptr))
    raiseMenu(menu);
}

void serveRequests() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got < 0 || isStop(msg.message))
      return;
    if (msg.hwnd) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    if (msg.message != WM_USER)
      continue;
    if (msg.wParam == StartRequest)
      startOrToggleMenu();
    else if (msg.wParam == RaiseRequest)
      raiseMenuFor(static_cast<std::uintptr_t>(msg.lParam));
    else if (msg.wParam == RescanRequest)
      ServiceState::instance().workers.start(&rescanMenuBars);
  }
}

void shutDown(GlobalValues &record) {
  HookTable &table = ServiceState::instance().hookTable;
  for (int slot = table.count() - 1; slot >= 0; --slot)
    table.unhookWindow(slot);
  if (const HWND menu = FindWindowW(MenuWindowClass, nullptr))
    PostMessageW(menu, MenuEndMessage, 1, 0);
  GlobalValues::store(record.hookThreadId, 0);
}

} // namespace

DWORD hookThreadMain(LPVOID) {
  GlobalValues *record = ServiceState::instance().record();
  if (!record)
    return 0;
  // The thread's queue exists before anyone posts to it.
  MSG msg{};
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  GlobalValues::store(record->hookThreadId, GetCurrentThreadId());

  if (const auto taskbar = waitForTaskbar()) {
    record->setTaskbarRect(taskbar->rect);
    GlobalValues::store(record->deviceWinVersion, taskbar->narrow ? 1 : 0);
    DWORD folderId = TaskbarShape::ProgramsFolder;
    bool hooked = true;
    if (taskbar->narrow)
      hooked = hookNarrowTaskbar(*record, taskbar->window);
    else
      folderId = hookClassicTaskbar(taskbar->window);
    if (hooked) {
      noteWhatWasFound(folderId, taskbar->narrow);
      ServiceState::instance().workers.start(&settingsLinksThread);
      serveRequests();
    }
  }
  shutDown(*record);
  return 0;
}
