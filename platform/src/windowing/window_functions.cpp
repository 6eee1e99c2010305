// The window functions of a device process: window classes and procedures live here, the
// window table in the host (WindowCall).
#include "../controls/system_class_registry.h"
#include "../kernel/thread_message_queue.h"
#include "window_call.h"
#include "window_client.h"
#include "window_procedure_table.h"
#include "window_state_view.h"

#include <ce/core/device_profile.h>
#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/kernel.h>
#include <ce/sip.h>
#include <ce/windows_api.h>

#include <algorithm>
#include <atomic>
#include <string>

using ce::WindowCall;
using ce::WindowClient;
using ce::windowing::WindowRequest;

namespace {

std::uint64_t handleValue(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }
HWND toHwnd(std::uint64_t value) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

// A class or window name given as an atom (a value below 0x10000) or as a string.
bool isAtom(LPCWSTR name) { return reinterpret_cast<ULONG_PTR>(name) < 0x10000; }

using WindowInfo = ce::WindowStateView::Window;

// Asks the host, for a process that keeps no view of the windows.
std::optional<WindowInfo> askHost(HWND hwnd) {
  WindowCall call(WindowRequest::QueryWindow);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return std::nullopt;
  auto &a = call.answer();
  WindowInfo w;
  std::uint64_t parent = 0, owner = 0;
  std::uint32_t visible = 0, enabled = 0;
  std::int32_t id = 0, clientX = 0, clientY = 0;
  a.u32(w.process);
  a.u32(w.thread);
  a.u64(parent);
  a.u64(owner);
  a.u32(w.style);
  a.u32(w.exStyle);
  a.i32(id);
  a.u32(visible);
  a.u32(enabled);
  a.i32(w.rect.left);
  a.i32(w.rect.top);
  a.i32(w.rect.right);
  a.i32(w.rect.bottom);
  a.i32(clientX); // the window's top-left corner: windows have no frame
  a.i32(clientY);
  a.string(w.className);
  a.string(w.title);
  call.finish();
  if (!a.ok()) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  w.parent = toHwnd(parent);
  w.owner = toHwnd(owner);
  w.id = id;
  w.visible = visible != 0;
  w.enabled = enabled != 0;
  return w;
}

// The window as this process's view holds it (the host when it keeps none); nullopt with
// ERROR_INVALID_WINDOW_HANDLE for a window that does not exist. Class and title only when
// `withText`.
std::optional<WindowInfo> query(HWND hwnd, bool withText = false) {
  if (!hwnd) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  }
  auto &view = ce::WindowStateView::instance();
  switch (view.current()) {
  case ce::WindowStateView::Status::Current:
    if (auto w = view.window(hwnd, withText))
      return w;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  case ce::WindowStateView::Status::Unreachable:
    return std::nullopt;
  case ce::WindowStateView::Status::NotKept:
    break;
  }
  return askHost(hwnd);
}

struct DeviceState {
  HWND foreground = nullptr;
  HWND active = nullptr;
  HWND focus = nullptr;
  HWND desktop = nullptr;
  int width = 0;
  int height = 0;
};

std::optional<DeviceState> deviceState() {
  WindowCall call(WindowRequest::State);
  if (!call.send())
    return std::nullopt;
  std::uint64_t fg = 0, active = 0, focus = 0, desktop = 0;
  DeviceState s;
  auto &a = call.answer();
  a.u64(fg);
  a.u64(active);
  a.u64(focus);
  a.u64(desktop);
  a.i32(s.width);
  a.i32(s.height);
  call.finish();
  s.foreground = toHwnd(fg);
  s.active = toHwnd(active);
  s.focus = toHwnd(focus);
  s.desktop = toHwnd(desktop);
  return s;
}

// The foreground window, the desktop and the screen's size: from the view when it answers.
std::optional<DeviceState> viewedState() {
  auto &view = ce::WindowStateView::instance();
  switch (view.current()) {
  case ce::WindowStateView::Status::Current: {
    const SIZE screen = view.screen();
    return DeviceState{
        view.foreground(),          nullptr, nullptr, view.desktop(), static_cast<int>(screen.cx),
        static_cast<int>(screen.cy)};
  }
  case ce::WindowStateView::Status::Unreachable:
    return std::nullopt;
  case ce::WindowStateView::Status::NotKept:
    break;
  }
  return deviceState();
}

// Sends a call whose answer is one handle; null when it fails.
HWND handleAnswer(WindowCall &call) {
  if (!call.send())
    return nullptr;
  std::uint64_t value = 0;
  call.answer().u64(value);
  call.finish();
  return toHwnd(value);
}

// Calls that take one handle and answer with one.
HWND handleCall(WindowRequest request, HWND hwnd) {
  WindowCall call(request);
  call.args().u64(handleValue(hwnd));
  return handleAnswer(call);
}

// Copies `text` into a caller's buffer of `size` units, cut to fit, always terminated.
int copyOut(const std::u16string &text, LPWSTR buffer, int size) {
  if (!buffer || size <= 0)
    return 0;
  const int n = std::min<int>(static_cast<int>(text.size()), size - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

// The title the host keeps for the window (what DefWindowProcW's WM_SETTEXT stores).
BOOL setHostTitle(HWND hwnd, LPCWSTR text) {
  WindowCall call(WindowRequest::SetText);
  call.args().u64(handleValue(hwnd)).string(text ? text : u"");
  return call.send() ? TRUE : FALSE;
}

std::atomic<bool> waitCursorShown{false};
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(32512));
const HCURSOR kWaitCursor = reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(32514));

} // namespace

ATOM RegisterClassW(const WNDCLASSW *wndClass) {
  if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName ||
      isAtom(wndClass->lpszClassName) || !*wndClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string name(wndClass->lpszClassName);
  if (WindowClient::instance().findClass(name)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowCall call(WindowRequest::RegisterClass);
  call.args().string(name).u32(wndClass->style);
  if (!call.send())
    return 0;
  std::uint32_t atom = 0;
  call.answer().u32(atom);
  call.finish();
  if (atom == 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowClient::instance().addClass({name, wndClass->lpfnWndProc, wndClass->hbrBackground});
  return static_cast<ATOM>(atom);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  if (!className || isAtom(className)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!WindowClient::instance().findClass(className)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  WindowCall call(WindowRequest::UnregisterClass);
  call.args().string(className);
  // A host that has gone took the class with it: only its refusal keeps the class here.
  if (!call.send() && GetLastError() != ERROR_BROKEN_PIPE)
    return FALSE;
  WindowClient::instance().removeClass(className);
  return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  if (!className || isAtom(className)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto info = WindowClient::instance().findClass(className);
  // A built-in class ("EDIT", ...) is registered in the process on its first use.
  if (!info && ce::SystemClassRegistry::instance().registerIfKnown(className))
    info = WindowClient::instance().findClass(className);
  if (!info) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  // The creating thread owns the window: its queue must exist for the window's messages.
  if (!ce::ThreadMessageQueue::current()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::u16string title = windowName ? std::u16string(windowName) : std::u16string();
  WindowCall call(WindowRequest::CreateWindow);
  call.args()
      .string(info->name)
      .string(title)
      .u32(style)
      .u32(exStyle)
      .i32(x)
      .i32(y)
      .i32(width)
      .i32(height)
      .u64(handleValue(parent))
      .i32(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(menu)));
  if (!call.send())
    return nullptr;
  std::uint64_t value = 0;
  call.answer().u64(value);
  const HWND hwnd = toHwnd(value);
  if (!hwnd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ce::WindowProcedureTable::instance().add(hwnd, info->procedure);
  WindowClient::instance().addWindow(hwnd, GetCurrentThreadId(), info->background);

  CREATESTRUCTW create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cx = width;
  create.cy = height;
  create.x = x;
  create.y = y;
  create.style = static_cast<LONG>(style);
  create.lpszName = title.c_str();
  create.lpszClass = info->name.c_str();
  create.dwExStyle = exStyle;
  if (info->procedure(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    call.finish();
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  call.finish();
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  WindowCall call(WindowRequest::DestroyWindow);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return FALSE;
  call.finish(); // runs WM_DESTROY for this thread's windows
  WindowClient::instance().removeWindow(hwnd);
  return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CLOSE:
    DestroyWindow(hwnd);
    return 0;
  case WM_PAINT: {
    PAINTSTRUCT paint{};
    BeginPaint(hwnd, &paint);
    EndPaint(hwnd, &paint);
    return 0;
  }
  case WM_ERASEBKGND: {
    const HBRUSH brush = WindowClient::instance().backgroundOf(hwnd);
    RECT client{};
    if (!brush || !wParam || !GetClientRect(hwnd, &client))
      return 0;
    FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
    return 1;
  }
  case WM_SETTEXT:
    return setHostTitle(hwnd, reinterpret_cast<LPCWSTR>(lParam));
  case WM_GETTEXT: {
    const auto w = query(hwnd, true);
    return w ? copyOut(w->title, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam)) : 0;
  }
  case WM_GETTEXTLENGTH: {
    const auto w = query(hwnd, true);
    return w ? static_cast<LRESULT>(w->title.size()) : 0;
  }
  default:
    return 0;
  }
}

BOOL ShowWindow(HWND hwnd, int command) {
  WindowCall call(WindowRequest::ShowWindow);
  call.args().u64(handleValue(hwnd)).i32(command);
  if (!call.send())
    return FALSE;
  std::uint32_t wasVisible = 0;
  call.answer().u32(wasVisible);
  call.finish();
  return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  const bool own = WindowClient::instance().threadOf(hwnd).has_value();
  // Paints now when anything is due, as the device does, without waiting for the queue: here,
  // or in the window's own process, which is sent WM_PAINT.
  WindowCall call(WindowRequest::UpdateRegion);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return FALSE;
  RECT bounds{};
  std::uint32_t count = 0;
  auto &a = call.answer();
  a.i32(bounds.left);
  a.i32(bounds.top);
  a.i32(bounds.right);
  a.i32(bounds.bottom);
  a.u32(count);
  for (std::uint32_t i = 0; i < count * 4 && a.ok(); ++i) {
    std::int32_t ignored = 0;
    a.i32(ignored);
  }
  call.finish();
  if (count > 0 && own)
    WindowClient::instance().dispatch(hwnd, WM_PAINT, 0, 0);
  else if (count > 0)
    SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  WindowCall call(WindowRequest::SetWindowPos);
  call.args()
      .u64(handleValue(hwnd))
      .u64(reinterpret_cast<std::uintptr_t>(insertAfter))
      .i32(x)
      .i32(y)
      .i32(cx)
      .i32(cy)
      .u32(flags);
  return call.send() ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  const auto w = query(hwnd);
  if (!w || !rect) {
    if (w)
      SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  const auto w = query(hwnd);
  if (!w || !rect) {
    if (w)
      SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

HWND GetWindow(HWND hwnd, UINT command) {
  WindowCall call(WindowRequest::GetWindow);
  call.args().u64(handleValue(hwnd)).u32(command);
  return handleAnswer(call);
}

HWND GetDesktopWindow() {
  const auto s = viewedState();
  return s ? s->desktop : nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if ((className && isAtom(className)) || (windowName && isAtom(windowName))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  WindowCall call(WindowRequest::FindWindow);
  call.args()
      .u32(className ? 1 : 0)
      .string(className ? className : u"")
      .u32(windowName ? 1 : 0)
      .string(windowName ? windowName : u"");
  if (!call.send())
    return nullptr;
  std::uint64_t value = 0;
  call.answer().u64(value);
  call.finish();
  if (!value)
    SetLastError(ERROR_FILE_NOT_FOUND);
  return toHwnd(value);
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM lParam) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<HWND> windows;
  {
    WindowCall call(WindowRequest::EnumWindows);
    if (!call.send())
      return FALSE;
    std::uint32_t count = 0;
    auto &a = call.answer();
    a.u32(count);
    for (std::uint32_t i = 0; i < count && a.ok(); ++i) {
      std::uint64_t value = 0;
      if (a.u64(value))
        windows.push_back(toHwnd(value));
    }
  }
  // The callback runs on a copy of the list: it may create or destroy windows meanwhile.
  for (HWND hwnd : windows)
    if (!callback(hwnd, lParam))
      break;
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int size) {
  const auto w = query(hwnd, true);
  if (!w)
    return 0;
  if (!buffer || size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return copyOut(w->className, buffer, size);
}

// For a window of this process the window answers itself (WM_GETTEXT, WM_GETTEXTLENGTH,
// WM_SETTEXT), so a control that keeps its own text (an edit) is asked; for other windows the
// host's title is read or written.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int size) {
  if (WindowClient::instance().threadOf(hwnd)) {
    if (!buffer || size <= 0)
      return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(size),
                                         reinterpret_cast<LPARAM>(buffer)));
  }
  const auto w = query(hwnd, true);
  if (!w)
    return 0;
  return copyOut(w->title, buffer, size);
}

int GetWindowTextLengthW(HWND hwnd) {
  if (WindowClient::instance().threadOf(hwnd))
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
  const auto w = query(hwnd, true);
  return w ? static_cast<int>(w->title.size()) : 0;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  // The window's own procedure hears of it, in whichever process it lives.
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE
                                                                                        : FALSE;
}

BOOL IsWindow(HWND hwnd) { return hwnd && query(hwnd) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND hwnd) {
  const auto w = query(hwnd);
  return w && w->visible ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  const auto w = query(hwnd);
  return w && w->enabled ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  WindowCall call(WindowRequest::EnableWindow);
  call.args().u64(handleValue(hwnd)).u32(enable ? 1 : 0);
  if (!call.send())
    return FALSE;
  std::uint32_t wasDisabled = 0;
  call.answer().u32(wasDisabled);
  call.finish();
  return wasDisabled ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  const auto w = query(hwnd);
  if (!w)
    return 0;
  if (processId)
    *processId = w->process;
  return w->thread;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  auto &procedures = ce::WindowProcedureTable::instance();
  switch (index) {
  case GWL_WNDPROC:
  case GWL_USERDATA: {
    // Both live in the owning process; a window of another process has none here.
    if (!procedures.contains(hwnd)) {
      SetLastError(IsWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (index == GWL_USERDATA)
      return procedures.userData(hwnd).value_or(0);
    return reinterpret_cast<LONG_PTR>(procedures.procedure(hwnd).value_or(nullptr));
  }
  case GWL_STYLE:
  case GWL_EXSTYLE:
  case GWL_ID: {
    const auto w = query(hwnd);
    if (!w)
      return 0;
    return index == GWL_STYLE     ? static_cast<LONG>(w->style)
           : index == GWL_EXSTYLE ? static_cast<LONG>(w->exStyle)
                                  : w->id;
  }
  default:
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  auto &procedures = ce::WindowProcedureTable::instance();
  switch (index) {
  case GWL_USERDATA: {
    const auto previous = procedures.setUserData(hwnd, value);
    if (!previous) {
      SetLastError(IsWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return *previous;
  }
  case GWL_WNDPROC: {
    if (!value) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const auto previous = procedures.setProcedure(hwnd, reinterpret_cast<WNDPROC>(value));
    if (!previous) {
      SetLastError(IsWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    return reinterpret_cast<LONG_PTR>(*previous);
  }
  default: {
    WindowCall call(WindowRequest::SetWindowLong);
    call.args().u64(handleValue(hwnd)).i32(index).i32(static_cast<std::int32_t>(value));
    if (!call.send())
      return 0;
    std::int32_t previous = 0;
    call.answer().i32(previous);
    call.finish();
    SetLastError(ERROR_SUCCESS);
    return previous;
  }
  }
}

LONG GetWindowLongW(HWND hwnd, int index) {
  if (index == GWL_WNDPROC) {
    const LONG_PTR procedure = GetWindowLongPtrW(hwnd, index);
    if (procedure != static_cast<LONG>(procedure)) {
      SetLastError(ERROR_INVALID_PARAMETER); // the address does not fit
      return 0;
    }
  }
  return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  if (index == GWL_WNDPROC) {
    SetLastError(ERROR_INVALID_PARAMETER); // a LONG cannot hold a procedure's address
    return 0;
  }
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

HWND GetForegroundWindow() {
  const auto s = viewedState();
  return s ? s->foreground : nullptr;
}

BOOL SetForegroundWindow(HWND hwnd) {
  WindowCall call(WindowRequest::SetForeground);
  call.args().u64(handleValue(hwnd));
  return call.send() ? TRUE : FALSE;
}

HWND SetFocus(HWND hwnd) { return handleCall(WindowRequest::SetFocus, hwnd); }

HWND GetFocus() {
  const auto s = deviceState();
  return s ? s->focus : nullptr;
}

HWND SetActiveWindow(HWND hwnd) { return handleCall(WindowRequest::SetActive, hwnd); }

HWND GetActiveWindow() {
  const auto s = deviceState();
  return s ? s->active : nullptr;
}

int GetSystemMetrics(int index) {
  if (index != SM_CXSCREEN && index != SM_CYSCREEN)
    return 0;
  // The host knows the current size (rotation swaps it); without one, the device profile does.
  if (const auto s = viewedState())
    return index == SM_CXSCREEN ? s->width : s->height;
  const auto profile = ce::DeviceProfile::current();
  return index == SM_CXSCREEN ? profile.screenWidth : profile.screenHeight;
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID param, UINT winIni) {
  switch (action) {
  case SPI_GETWORKAREA: {
    if (!param) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    WindowCall call(WindowRequest::WorkArea);
    if (!call.send())
      return FALSE;
    RECT area{};
    auto &a = call.answer();
    a.i32(area.left);
    a.i32(area.top);
    a.i32(area.right);
    a.i32(area.bottom);
    call.finish();
    *static_cast<RECT *>(param) = area;
    return TRUE;
  }
  case SPI_GETSIPINFO:
  case SPI_SETSIPINFO:
    return SHSipInfo(action, uiParam, param, winIni);
  default:
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  WindowCall call(WindowRequest::FullScreen);
  call.args().u64(handleValue(hwnd)).u32(state);
  return call.send() ? TRUE : FALSE;
}

void keybd_event(BYTE key, BYTE, DWORD flags, ULONG_PTR) {
  WindowCall call(WindowRequest::KeyboardEvent);
  call.args().u32(key).u32(flags);
  call.send();
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  if (name == IDC_WAIT)
    return kWaitCursor;
  if (name == IDC_ARROW)
    return kArrowCursor;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const bool wait = cursor == kWaitCursor;
  const bool was = waitCursorShown.exchange(wait);
  if (was != wait) {
    WindowCall call(WindowRequest::SetCursor);
    call.args().u32(wait ? 1 : 0);
    call.send();
  }
  return was ? kWaitCursor : kArrowCursor;
}

HWND SetCapture(HWND hwnd) { return handleCall(WindowRequest::SetCapture, hwnd); }

BOOL ReleaseCapture() {
  WindowCall call(WindowRequest::ReleaseCapture);
  return call.send() ? TRUE : FALSE;
}

HWND GetCapture() {
  WindowCall call(WindowRequest::GetCapture);
  return handleAnswer(call);
}
