#include "window_procedures.h"

#include "service_state.h"
#include "taskbar_shape.h"
#include "windows_key_rule.h"

#include <hook/system_names.h>

#include <ce/messages.h>

namespace {

constexpr WPARAM StartCommand = 0x47A;
constexpr LPARAM OffTheBar = static_cast<LPARAM>(-1);
constexpr int MaxSiblings = 20;

// Counts a procedure as running while it is inside the library's code.
class ProcedureScope {
public:
  ProcedureScope() { ServiceState::instance().proceduresRunning.fetch_add(1); }
  ~ProcedureScope() { ServiceState::instance().proceduresRunning.fetch_sub(1); }
  ProcedureScope(const ProcedureScope &) = delete;
  ProcedureScope &operator=(const ProcedureScope &) = delete;
};

LRESULT passOn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return ServiceState::instance().hookTable.callOldProc(hwnd, message, wParam, lParam);
}

// The Windows-key rule; true when it decided the message (its answer in `result`).
bool windowsKey(GlobalValues &record, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                LRESULT &result) {
  const auto outcome = WindowsKeyRule::apply(record, message, wParam);
  if (!outcome.applies)
    return false;
  if (outcome.startRequest)
    postStartRequest();
  result = outcome.swallow ? 0 : passOn(hwnd, message, wParam, lParam);
  return true;
}

BOOL CALLBACK hookBarsOf(HWND window, LPARAM) {
  hookBottomMenuBars(window);
  return TRUE;
}

} // namespace

void postStartRequest() {
  if (GlobalValues *record = ServiceState::instance().record())
    PostThreadMessageW(GlobalValues::load(record->hookThreadId), WM_USER, 1, 0);
}

LRESULT taskbarProc65(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ProcedureScope scope;
  GlobalValues *record = ServiceState::instance().record();
  if (record) {
    if (message == WM_COMMAND && wParam == StartCommand) {
      postStartRequest();
      return 1;
    }
    LRESULT result = 0;
    if (windowsKey(*record, hwnd, message, wParam, lParam, result))
      return result;
  }
  return passOn(hwnd, message, wParam, lParam);
}

LRESULT taskbarProcClassic(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ProcedureScope scope;
  GlobalValues *record = ServiceState::instance().record();
  if (record) {
    if (message == WM_LBUTTONDOWN &&
        TaskbarShape::inClassicStartArea(lParam, GlobalValues::load(record->taskbarRight))) {
      GlobalValues::store(record->startPressed, 1);
      postStartRequest();
      // The bar sees the press away from its Start area, so it does not open its own menu.
      passOn(hwnd, WM_LBUTTONDOWN, wParam, OffTheBar);
      return 0;
    }
    if (message == WM_LBUTTONUP && GlobalValues::exchange(record->startPressed, 0) != 0) {
      passOn(hwnd, WM_LBUTTONUP, wParam, OffTheBar);
      return 0;
    }
    LRESULT result = 0;
    if (windowsKey(*record, hwnd, message, wParam, lParam, result))
      return result;
  }
  return passOn(hwnd, message, wParam, lParam);
}

LRESULT menuBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ProcedureScope scope;
  GlobalValues *record = ServiceState::instance().record();
  if (!record)
    return passOn(hwnd, message, wParam, lParam);
  const LONG right = GlobalValues::load(record->taskbarRight);
  if (message == WM_LBUTTONDOWN && TaskbarShape::inMenuBarStartArea(lParam, right))
    GlobalValues::store(record->startPressed, 1);
  if (message == WM_LBUTTONUP && GlobalValues::exchange(record->startPressed, 0) != 0 &&
      TaskbarShape::inMenuBarStartArea(lParam, right)) {
    postStartRequest();
    // The bar's left key must not fire: the stylus leaves it before it is lifted.
    passOn(hwnd, WM_MOUSEMOVE, 1, OffTheBar);
    return passOn(hwnd, WM_LBUTTONUP, wParam, OffTheBar);
  }
  return passOn(hwnd, message, wParam, lParam);
}

int hookBottomMenuBars(HWND window) {
  ServiceState &state = ServiceState::instance();
  GlobalValues *record = state.record();
  if (!record)
    return 0;
  const HWND child = GetWindow(window, GW_CHILD);
  if (!child || child == window)
    return 0;
  HWND sibling = GetWindow(child, GW_HWNDFIRST);
  const RECT taskbar = record->taskbarRect();
  int hooked = 0;
  for (int visited = 0; sibling && visited < MaxSiblings; ++visited) {
    char16_t className[81] = {};
    GetClassNameW(sibling, className, 80);
    if (std::u16string_view(className) != MenuBarClass) {
      hooked += hookBottomMenuBars(sibling);
    } else if (!state.hookTable.contains(sibling)) {
      RECT bar{};
      if (GetWindowRect(sibling, &bar) && bar.right - bar.left >= taskbar.right - taskbar.left &&
          bar.bottom == GetSystemMetrics(SM_CYSCREEN) &&
          state.hookTable.hookWindow(sibling, &menuBarProc))
        ++hooked;
    }
    sibling = GetWindow(sibling, GW_HWNDNEXT);
  }
  return hooked;
}

DWORD rescanMenuBars(LPVOID) {
  ServiceState &state = ServiceState::instance();
  if (!state.workers.pause(500))
    return 0;
  EnumWindows(&hookBarsOf, 0);
  state.hookTable.pruneHookTable();
  if (GlobalValues *record = state.record())
    GlobalValues::store(record->hookedWindowCount, state.hookTable.hookedCount());
  return 0;
}
