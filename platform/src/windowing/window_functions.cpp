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
using ce::windowRequest;
using namespace ce::windowing;

namespace {

// A class or window name given as an atom (a value below 0x10000) or as a string.
bool isAtom(LPCWSTR name) { return reinterpret_cast<ULONG_PTR>(name) < 0x10000; }

using WindowInfo = ce::WindowStateView::Window;

// Asks the host, for a process that keeps no view of the windows.
std::optional<WindowInfo> askHost(HWND hwnd) {
  auto answer = windowRequest(QueryWindowRequest{hwnd});
  if (!answer)
    return std::nullopt;
  WindowInfo w;
  w.process = answer->process;
  w.thread = answer->thread;
  w.parent = answer->parent;
  w.owner = answer->owner;
  w.style = answer->style;
  w.exStyle = answer->exStyle;
  w.id = answer->id;
  w.visible = answer->visible;
  w.enabled = answer->enabled;
  w.rect = answer->rect;
  w.className = std::move(answer->className);
  w.title = std::move(answer->title);
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
  const auto answer = windowRequest(StateRequest{});
  if (!answer)
    return std::nullopt;
  return DeviceState{answer->foreground, answer->active,    answer->focus,
                     answer->desktop,    answer->screen.cx, answer->screen.cy};
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

// A request whose answer is one handle; null when it fails.
template <class Request> HWND handleAnswer(const Request &request) {
  const auto answer = windowRequest(request);
  return answer ? answer->hwnd : nullptr;
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
  return windowRequest(SetTextRequest{hwnd, text ? text : u""}) ? TRUE : FALSE;
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
  const auto registered = windowRequest(RegisterClassRequest{name, wndClass->style});
  if (!registered)
    return 0;
  const std::uint32_t atom = registered->atom;
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
  // A host that has gone took the class with it: only its refusal keeps the class here.
  const auto unregistered = windowRequest(UnregisterClassRequest{className});
  if (!unregistered && unregistered.error() != ERROR_BROKEN_PIPE)
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
  WindowCall call;
  const auto created = call.send(
      CreateWindowRequest{info->name, title, style, exStyle, x, y, width, height, parent,
                          static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(menu))});
  if (!created)
    return nullptr;
  const HWND hwnd = created->hwnd;
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
  // The handed-back messages run WM_DESTROY for this thread's windows before it returns.
  if (!windowRequest(DestroyWindowRequest{hwnd}))
    return FALSE;
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
  const auto shown = windowRequest(ShowWindowRequest{hwnd, command});
  return shown && shown->wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  const bool own = WindowClient::instance().threadOf(hwnd).has_value();
  // Paints now when anything is due, as the device does, without waiting for the queue: here,
  // or in the window's own process, which is sent WM_PAINT.
  const auto update = windowRequest(UpdateRegionRequest{hwnd});
  if (!update)
    return FALSE;
  const bool due = !update->rects.empty();
  if (due && own)
    WindowClient::instance().dispatch(hwnd, WM_PAINT, 0, 0);
  else if (due)
    SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return windowRequest(SetWindowPosRequest{hwnd, insertAfter, x, y, cx, cy, flags}) ? TRUE : FALSE;
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

HWND GetWindow(HWND hwnd, UINT command) { return handleAnswer(GetWindowRequest{hwnd, command}); }

HWND GetDesktopWindow() {
  const auto s = viewedState();
  return s ? s->desktop : nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if ((className && isAtom(className)) || (windowName && isAtom(windowName))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  FindWindowRequest request;
  if (className)
    request.className = className;
  if (windowName)
    request.title = windowName;
  const auto found = windowRequest(request);
  if (!found)
    return nullptr;
  if (!found->hwnd)
    SetLastError(ERROR_FILE_NOT_FOUND);
  return found->hwnd;
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM lParam) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto listed = windowRequest(EnumWindowsRequest{});
  if (!listed)
    return FALSE;
  const std::vector<HWND> windows = std::move(listed->windows);
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
  const auto enabled = windowRequest(EnableWindowRequest{hwnd, enable != FALSE});
  return enabled && enabled->wasDisabled ? TRUE : FALSE;
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
    const auto set =
        windowRequest(SetWindowLongRequest{hwnd, index, static_cast<std::int32_t>(value)});
    if (!set)
      return 0;
    SetLastError(ERROR_SUCCESS);
    return set->previous;
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
  return windowRequest(SetForegroundRequest{hwnd}) ? TRUE : FALSE;
}

HWND SetFocus(HWND hwnd) { return handleAnswer(SetFocusRequest{hwnd}); }

HWND GetFocus() {
  const auto s = deviceState();
  return s ? s->focus : nullptr;
}

HWND SetActiveWindow(HWND hwnd) { return handleAnswer(SetActiveRequest{hwnd}); }

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
    const auto work = windowRequest(WorkAreaRequest{});
    if (!work)
      return FALSE;
    *static_cast<RECT *>(param) = work->area;
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
  return windowRequest(FullScreenRequest{hwnd, state}) ? TRUE : FALSE;
}

void keybd_event(BYTE key, BYTE, DWORD flags, ULONG_PTR) {
  windowRequest(KeyboardEventRequest{key, flags});
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
    windowRequest(SetCursorRequest{wait});
  }
  return was ? kWaitCursor : kArrowCursor;
}

HWND SetCapture(HWND hwnd) { return handleAnswer(SetCaptureRequest{hwnd}); }

BOOL ReleaseCapture() { return windowRequest(ReleaseCaptureRequest{}) ? TRUE : FALSE; }

HWND GetCapture() { return handleAnswer(GetCaptureRequest{}); }
