#include "window_service.h"

#include "../kernel/process_identity.h"
#include "../shell/shell_messages.h"
#include "../shell/taskbar_geometry.h"
#include "../windowing/key_message_flags.h"
#include "../windowing/message_data_field.h"
#include "../windowing/window_protocol.h"

#include <ce/core/device_profile.h>
#include <ce/core/utf.h>

#include <ce/errors.h>
#include <ce/input.h>
#include <ce/kernel.h>

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace ce::host {

using protocol::MessageReader;
using protocol::MessageWriter;
using windowing::WindowEventType;
using windowing::WindowRequest;
using Caller = WindowManager::Caller;

namespace {

constexpr std::size_t kMaxNameUnits = 256;
constexpr std::size_t kMaxTitleUnits = 4096;
// A handler's answer that says it answers later itself.
constexpr DWORD kDeferred = 0xFFFFFFFFu;

HWND toHwnd(std::uint64_t value) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}
std::uint64_t fromHwnd(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

bool readRect(MessageReader &reader, RECT &rect) {
  std::int32_t l = 0, t = 0, r = 0, b = 0;
  const bool ok = reader.i32(l) && reader.i32(t) && reader.i32(r) && reader.i32(b);
  rect = RECT{l, t, r, b};
  return ok;
}

void writeRect(MessageWriter &writer, const RECT &rect) {
  writer.i32(rect.left).i32(rect.top).i32(rect.right).i32(rect.bottom);
}

void writeRects(MessageWriter &writer, const std::vector<RECT> &rects) {
  writer.u32(static_cast<std::uint32_t>(rects.size()));
  for (const RECT &r : rects)
    writeRect(writer, r);
}

// Request fields that are not plain integers: strings within a limit (a Name also refuses NULs
// and bad surrogates), and a message's data field.
struct Text {
  std::u16string &value;
  std::size_t maxUnits;
};
struct Name {
  std::u16string &value;
  std::size_t maxUnits;
};
struct MessageData {
  bool packed = false;
  std::vector<std::uint8_t> bytes;
};

bool readField(MessageReader &reader, std::uint32_t &value) { return reader.u32(value); }
bool readField(MessageReader &reader, std::int32_t &value) { return reader.i32(value); }
bool readField(MessageReader &reader, std::uint64_t &value) { return reader.u64(value); }
bool readField(MessageReader &reader, std::int64_t &value) { return reader.i64(value); }
// u32 given, then a rectangle that counts only when given.
bool readField(MessageReader &reader, std::optional<RECT> &rect) {
  std::uint32_t given = 0;
  RECT value{};
  const bool ok = reader.u32(given) && readRect(reader, value);
  rect = given ? std::optional<RECT>(value) : std::nullopt;
  return ok;
}
bool readField(MessageReader &reader, HWND &hwnd) {
  std::uint64_t value = 0;
  const bool ok = reader.u64(value);
  hwnd = toHwnd(value);
  return ok;
}
bool readField(MessageReader &reader, Text text) {
  return reader.string(text.value, text.maxUnits);
}
bool readField(MessageReader &reader, Name name) { return reader.name(name.value, name.maxUnits); }
bool readField(MessageReader &reader, MessageData &data) {
  return windowing::readMessageData(reader, data.packed, data.bytes);
}

// Reads a request's fields in order; false when one is missing or malformed, or bytes are left.
template <class... Fields> bool readAll(MessageReader &reader, Fields &&...fields) {
  return (readField(reader, fields) && ...) && reader.complete();
}

} // namespace

WindowService::WindowService(HostServer &server, ThreadMessageRouter &router, int screenWidth,
                             int screenHeight)
    : server_(server), router_(router), manager_(screenWidth, screenHeight), publisher_(server) {
  // CW_USEDEFAULT gives the screen below the taskbar, whose height follows the screen's width.
  manager_.setWorkAreaRule([taskbar = DeviceProfile::current().taskbar](SIZE screen) {
    return RECT{0, shell::TaskbarGeometry(taskbar, screen.cx).height(), screen.cx, screen.cy};
  });
  on(+WindowRequest::RegisterClass, &WindowService::registerClass);
  on(+WindowRequest::CreateWindow, &WindowService::createWindow);
  on(+WindowRequest::DestroyWindow, &WindowService::destroyWindow);
  on(+WindowRequest::QueryWindow, &WindowService::queryWindow);
  on(+WindowRequest::GetWindow, &WindowService::getWindow);
  on(+WindowRequest::FindWindow, &WindowService::findWindow);
  on(+WindowRequest::EnumWindows, &WindowService::enumWindows);
  on(+WindowRequest::SetText, &WindowService::setText);
  on(+WindowRequest::SetWindowLong, &WindowService::setWindowLong);
  on(+WindowRequest::ShowWindow, &WindowService::showWindow);
  on(+WindowRequest::SetWindowPos, &WindowService::setWindowPos);
  on(+WindowRequest::EnableWindow, &WindowService::enableWindow);
  on(+WindowRequest::State, &WindowService::state);
  on(+WindowRequest::SetForeground, &WindowService::setForeground);
  on(+WindowRequest::SetActive, &WindowService::setActive);
  on(+WindowRequest::SetFocus, &WindowService::setFocus);
  on(+WindowRequest::Invalidate, &WindowService::invalidate);
  on(+WindowRequest::Validate, &WindowService::validate);
  on(+WindowRequest::UpdateRegion, &WindowService::updateRegion);
  on(+WindowRequest::BeginPaint, &WindowService::beginPaint);
  on(+WindowRequest::VisibleRegion, &WindowService::visibleRegion);
  on(+WindowRequest::PostMessage, &WindowService::postMessage);
  on(+WindowRequest::SendMessage, &WindowService::sendMessage);
  on(+WindowRequest::KeyboardEvent, &WindowService::keyboardEvent);
  on(+WindowRequest::SetCursor, &WindowService::setCursor);
  on(+WindowRequest::FullScreen, &WindowService::fullScreen);
  on(+WindowRequest::SetCapture, &WindowService::setCapture);
  on(+WindowRequest::ReleaseCapture, &WindowService::releaseCapture);
  on(+WindowRequest::GetCapture, &WindowService::getCapture);
  on(+WindowRequest::UnregisterClass, &WindowService::unregisterClass);
  on(+WindowRequest::WorkArea, &WindowService::workArea);
  on(+WindowRequest::WatchWindows, &WindowService::watchWindows);
  on(+WindowRequest::ThreadEnded, &WindowService::threadEnded);
  server.addObserver(this);
}

void WindowService::on(std::uint32_t type, Handler handler) {
  server_.registerHandler(static_cast<protocol::MessageType>(type),
                          [this, handler](HostRequest &r) { handle(r, handler); });
}

void WindowService::handle(HostRequest &r, Handler handler) {
  auto reader = r.reader();
  MessageWriter out;
  std::uint32_t thread = 0;
  const bool hasThread = reader.u32(thread);
  // Only device processes own windows; tools may only look.
  Call call{r, Caller{r.peer().isTool() ? 0 : r.peer().pid(), thread}, reader, out};
  const DWORD status = hasThread ? (this->*handler)(call) : DWORD(ERROR_INVALID_PARAMETER);
  if (status == kDeferred) {
    route(Caller{});
    return;
  }
  // Messages sent to the caller's own thread travel back with the answer, so that the caller
  // runs them before its call returns (WM_DESTROY, WM_ACTIVATE of its own windows).
  MessageWriter failed;
  MessageWriter &payload = status == ERROR_SUCCESS ? out : failed;
  const auto handedBack = route(call.caller);
  payload.u32(static_cast<std::uint32_t>(handedBack.size()));
  for (const WindowEvent &event : handedBack) {
    const auto packed = packedRecord(event);
    payload.u64(fromHwnd(event.hwnd))
        .u32(event.message)
        .u64(event.wParam)
        .i64(packed ? packed->lParam : event.lParam);
    windowing::writeMessageData(payload, packed ? &packed->data : nullptr);
  }
  r.reply(status, payload);
}

std::vector<WindowEvent> WindowService::route(Caller caller) {
  // The processes' views first: whoever gets a message about a change finds the change there.
  publisher_.publish(manager_);
  std::vector<WindowEvent> handedBack;
  for (const WindowEvent &event : manager_.takeEvents()) {
    if (event.kind == WindowEvent::Kind::Send && caller.process != 0 &&
        event.process == caller.process && event.thread == caller.thread) {
      handedBack.push_back(event);
      continue;
    }
    switch (event.kind) {
    case WindowEvent::Kind::Post:
      router_.post(event.process, event.thread, fromHwnd(event.hwnd), event.message, event.wParam,
                   event.lParam);
      break;
    case WindowEvent::Kind::Send: {
      const auto packed = packedRecord(event);
      router_.send(event.process, event.thread, fromHwnd(event.hwnd), event.message, event.wParam,
                   packed ? packed->lParam : event.lParam, 0, 0, 0,
                   packed ? &packed->data : nullptr);
      break;
    }
    case WindowEvent::Kind::Invalidate:
    case WindowEvent::Kind::Validate: {
      PeerConnection *peer = server_.peerOfProcess(event.process);
      if (!peer)
        break;
      MessageWriter writer;
      writer.u32(event.thread)
          .u64(fromHwnd(event.hwnd))
          .u32(event.kind == WindowEvent::Kind::Invalidate ? 1 : 0);
      protocol::Message message;
      if (writer.finish(+WindowEventType::PaintState, 0, 0, message))
        server_.send(*peer, std::move(message));
      break;
    }
    }
  }
  return handedBack;
}

std::optional<PackedMessage> WindowService::packedRecord(const WindowEvent &event) {
  if (!event.windowPos)
    return std::nullopt;
  return MessageMarshaller::pack(event.message, event.wParam,
                                 reinterpret_cast<LPARAM>(&*event.windowPos));
}

void WindowService::onProcessExit(DWORD pid) {
  manager_.processExited(pid);
  waitCursor_.erase(pid);
  forgetGoneWindows();
  route(Caller{});
}

void WindowService::forgetGoneWindows() {
  if (pressed_ && !manager_.isWindow(pressed_))
    pressed_ = nullptr;
  for (auto it = fullScreen_.begin(); it != fullScreen_.end();)
    it = manager_.isWindow(it->first) ? std::next(it) : fullScreen_.erase(it);
}

DWORD WindowService::threadEnded(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  if (call.caller.process == 0)
    return ERROR_ACCESS_DENIED;
  manager_.threadExited(call.caller.process, call.caller.thread);
  forgetGoneWindows();
  return ERROR_SUCCESS;
}

DWORD WindowService::registerClass(Call &call) {
  std::u16string name;
  std::uint32_t style = 0;
  if (!readAll(call.reader, Name{name, kMaxNameUnits}, style) || call.caller.process == 0)
    return ERROR_INVALID_PARAMETER;
  call.out.u32(manager_.registerClass(call.caller, name, style));
  return manager_.lastError();
}

DWORD WindowService::unregisterClass(Call &call) {
  std::u16string name;
  if (!readAll(call.reader, Name{name, kMaxNameUnits}) || call.caller.process == 0)
    return ERROR_INVALID_PARAMETER;
  manager_.unregisterClass(call.caller, name);
  return manager_.lastError();
}

DWORD WindowService::workArea(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  writeRect(call.out, manager_.workArea());
  return ERROR_SUCCESS;
}

DWORD WindowService::createWindow(Call &call) {
  WindowManager::Creation c;
  std::uint32_t style = 0, exStyle = 0;
  std::int32_t x = 0, y = 0, w = 0, h = 0, id = 0;
  if (!readAll(call.reader, Name{c.className, kMaxNameUnits}, Text{c.title, kMaxTitleUnits}, style,
               exStyle, x, y, w, h, c.parent, id) ||
      !fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  c.style = style;
  c.exStyle = exStyle;
  c.x = x;
  c.y = y;
  c.width = w;
  c.height = h;
  c.id = id;
  const HWND created = manager_.createWindow(call.caller, c);
  call.out.u64(fromHwnd(created));
  const DWORD status = manager_.lastError();
  if (created)
    tellNewBarOfItsOwner(created);
  return status;
}

DWORD WindowService::destroyWindow(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  manager_.destroyWindow(call.caller, hwnd);
  if (pressed_ && !manager_.isWindow(pressed_))
    pressed_ = nullptr;
  return manager_.lastError();
}

DWORD WindowService::queryWindow(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  const RECT rect = manager_.windowRect(hwnd).value_or(RECT{});
  const POINT origin = manager_.clientOrigin(hwnd).value_or(POINT{});
  call.out
      .u32(ProcessIdentity::deviceProcessOf(w->process, w->thread)) // shell32.exe, ...
      .u32(w->thread)
      .u64(fromHwnd(w->parent))
      .u64(fromHwnd(w->owner))
      .u32(w->style)
      .u32(w->exStyle)
      .i32(w->id)
      .u32(manager_.isVisible(hwnd) ? 1 : 0)
      .u32(manager_.isEnabled(hwnd) ? 1 : 0);
  writeRect(call.out, rect);
  call.out.i32(origin.x).i32(origin.y).string(w->className).string(w->title);
  return ERROR_SUCCESS;
}

DWORD WindowService::getWindow(Call &call) {
  HWND hwnd = nullptr;
  std::uint32_t command = 0;
  if (!readAll(call.reader, hwnd, command))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(fromHwnd(manager_.getWindow(hwnd, command)));
  return manager_.lastError();
}

DWORD WindowService::findWindow(Call &call) {
  std::uint32_t hasClass = 0, hasTitle = 0;
  std::u16string className, title;
  if (!readAll(call.reader, hasClass, Text{className, kMaxTitleUnits}, hasTitle,
               Text{title, kMaxTitleUnits}))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(
      fromHwnd(manager_.findWindow(hasClass ? &className : nullptr, hasTitle ? &title : nullptr)));
  return ERROR_SUCCESS;
}

DWORD WindowService::enumWindows(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  const auto windows = manager_.topLevelWindows();
  call.out.u32(static_cast<std::uint32_t>(windows.size()));
  for (HWND hwnd : windows)
    call.out.u64(fromHwnd(hwnd));
  return ERROR_SUCCESS;
}

DWORD WindowService::setText(Call &call) {
  HWND hwnd = nullptr;
  std::u16string text;
  if (!readAll(call.reader, hwnd, Text{text, kMaxTitleUnits}))
    return ERROR_INVALID_PARAMETER;
  manager_.setText(call.caller, hwnd, text);
  return manager_.lastError();
}

DWORD WindowService::setWindowLong(Call &call) {
  HWND hwnd = nullptr;
  std::int32_t index = 0, value = 0;
  if (!readAll(call.reader, hwnd, index, value))
    return ERROR_INVALID_PARAMETER;
  call.out.i32(manager_.setWindowLong(call.caller, hwnd, index, value).value_or(0));
  return manager_.lastError();
}

DWORD WindowService::showWindow(Call &call) {
  HWND hwnd = nullptr;
  std::int32_t command = 0;
  if (!readAll(call.reader, hwnd, command))
    return ERROR_INVALID_PARAMETER;
  call.out.u32(manager_.showWindow(call.caller, hwnd, command) ? 1 : 0);
  return manager_.lastError();
}

DWORD WindowService::setWindowPos(Call &call) {
  HWND hwnd = nullptr, after = nullptr;
  std::int32_t x = 0, y = 0, cx = 0, cy = 0;
  std::uint32_t flags = 0;
  if (!readAll(call.reader, hwnd, after, x, y, cx, cy, flags))
    return ERROR_INVALID_PARAMETER;
  manager_.setWindowPos(call.caller, hwnd, after, x, y, cx, cy, flags);
  return manager_.lastError();
}

DWORD WindowService::enableWindow(Call &call) {
  HWND hwnd = nullptr;
  std::uint32_t enable = 0;
  if (!readAll(call.reader, hwnd, enable))
    return ERROR_INVALID_PARAMETER;
  call.out.u32(manager_.enableWindow(call.caller, hwnd, enable != 0) ? 1 : 0);
  return manager_.lastError();
}

DWORD WindowService::state(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  const SIZE size = manager_.screenSize();
  const HWND ownFocus = manager_.focus(call.caller.thread);
  call.out.u64(fromHwnd(manager_.foreground()))
      .u64(fromHwnd(manager_.activeWindow(call.caller.thread)))
      .u64(fromHwnd(ownFocus ? ownFocus : focusWindow()))
      .u64(fromHwnd(manager_.desktop()))
      .i32(size.cx)
      .i32(size.cy);
  return ERROR_SUCCESS;
}

DWORD WindowService::setForeground(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  manager_.setForeground(call.caller, hwnd);
  return manager_.lastError();
}

DWORD WindowService::setActive(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd) || !fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(fromHwnd(manager_.setActive(call.caller, hwnd)));
  return manager_.lastError();
}

DWORD WindowService::setFocus(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd) || !fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(fromHwnd(manager_.setFocus(call.caller, hwnd)));
  return manager_.lastError();
}

DWORD WindowService::invalidate(Call &call) {
  HWND hwnd = nullptr;
  std::optional<RECT> rect;
  if (!readAll(call.reader, hwnd, rect))
    return ERROR_INVALID_PARAMETER;
  manager_.invalidate(hwnd, rect ? &*rect : nullptr);
  return manager_.lastError();
}

DWORD WindowService::validate(Call &call) {
  HWND hwnd = nullptr;
  std::optional<RECT> rect;
  if (!readAll(call.reader, hwnd, rect))
    return ERROR_INVALID_PARAMETER;
  manager_.validate(hwnd, rect ? &*rect : nullptr);
  return manager_.lastError();
}

DWORD WindowService::updateRegion(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  const auto paint = manager_.updateRegion(hwnd);
  if (!paint)
    return ERROR_INVALID_WINDOW_HANDLE;
  writeRect(call.out, paint->bounds);
  writeRects(call.out, paint->rects);
  return ERROR_SUCCESS;
}

DWORD WindowService::beginPaint(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  const auto paint = manager_.beginPaint(call.caller, hwnd);
  if (!paint)
    return manager_.lastError();
  const POINT origin = manager_.clientOrigin(hwnd).value_or(POINT{});
  writeRect(call.out, paint->bounds);
  writeRects(call.out, paint->rects);
  call.out.i32(origin.x).i32(origin.y);
  writeRects(call.out, manager_.visibleRegion(hwnd).rects());
  return ERROR_SUCCESS;
}

DWORD WindowService::visibleRegion(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  const auto origin = manager_.clientOrigin(hwnd);
  if (!origin)
    return ERROR_INVALID_WINDOW_HANDLE;
  call.out.i32(origin->x).i32(origin->y);
  writeRects(call.out, manager_.visibleRegion(hwnd).rects());
  return ERROR_SUCCESS;
}

DWORD WindowService::postMessage(Call &call) {
  HWND hwnd = nullptr;
  std::uint64_t wParam = 0;
  std::uint32_t message = 0;
  std::int64_t lParam = 0;
  if (!readAll(call.reader, hwnd, message, wParam, lParam))
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  if (!ThreadMessageRouter::passesAsNumbers(call.request.peer().pid(), w->process, message, lParam))
    return ERROR_INVALID_PARAMETER;
  return router_.post(w->process, w->thread, fromHwnd(w->handle), message, wParam, lParam);
}

DWORD WindowService::sendMessage(Call &call) {
  HWND hwnd = nullptr;
  std::uint64_t wParam = 0;
  std::uint32_t message = 0;
  std::int64_t lParam = 0;
  MessageData data;
  if (!readAll(call.reader, hwnd, message, wParam, lParam, data))
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  // Packed data must be what the receiver can rebuild; a bare pointer only stays in its process.
  if (data.packed
          ? !MessageMarshaller::carriesData(message) ||
                !MessageMarshaller::unpack(PackedMessage{message, static_cast<WPARAM>(wParam),
                                                         static_cast<LPARAM>(lParam), data.bytes})
          : !ThreadMessageRouter::passesAsNumbers(call.request.peer().pid(), w->process, message,
                                                  lParam))
    return ERROR_INVALID_PARAMETER;
  HostRequest &r = call.request;
  r.defer();
  router_.send(w->process, w->thread, fromHwnd(w->handle), message, wParam, lParam, r.peer().id(),
               r.message().header.type, r.message().header.requestId,
               data.packed ? &data.bytes : nullptr);
  return kDeferred;
}

DWORD WindowService::keyboardEvent(Call &call) {
  std::uint32_t key = 0, flags = 0;
  if (!readAll(call.reader, key, flags) || key == 0 || key > 0xFF)
    return ERROR_INVALID_PARAMETER;
  const bool up = (flags & KEYEVENTF_KEYUP) != 0;
  // A key that no part of the shell acts on leaves a trace, so that whoever synthesises it can
  // be followed.
  if (!shellHandlesKey(static_cast<std::uint8_t>(key)))
    traceKey(static_cast<std::uint8_t>(key), up, (flags & KEYEVENTF_SILENT) != 0,
             call.caller.process);
  deliverInput(InputEvent::keyEvent(up ? InputKind::KeyUp : InputKind::KeyDown,
                                    static_cast<std::uint8_t>(key)));
  return ERROR_SUCCESS;
}

void WindowService::traceKey(std::uint8_t key, bool up, bool silent, DWORD process) {
  // A program that synthesises keys in a loop must not fill the host's disk: a second holds at
  // most kKeyTracesPerSecond lines, and the next second says how many were left out.
  const auto now = std::chrono::steady_clock::now();
  if (now - keyTraceSecond_ >= std::chrono::seconds(1)) {
    if (keyTracesLeftOut_ > 0)
      server_.log().line("keys: " + std::to_string(keyTracesLeftOut_) +
                         " keybd_event lines left out");
    keyTraceSecond_ = now;
    keyTraces_ = 0;
    keyTracesLeftOut_ = 0;
  }
  if (keyTraces_ >= kKeyTracesPerSecond) {
    ++keyTracesLeftOut_;
    return;
  }
  ++keyTraces_;
  char line[160];
  std::snprintf(line, sizeof line, "keys: keybd_event 0x%02X %s at %u ms from process %u%s",
                static_cast<unsigned>(key), up ? "up" : "down",
                static_cast<unsigned>(GetTickCount()), static_cast<unsigned>(process),
                silent ? " (silent)" : "");
  server_.log().line(line);
}

bool WindowService::shellHandlesKey(std::uint8_t key) {
  // The keyboard's keys and the phone's buttons (which share their codes); everything else is
  // an extra key the shell has no use for.
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= VK_F1 && key <= VK_F4))
    return true;
  switch (key) {
  case VK_BACK:
  case VK_TAB:
  case VK_RETURN:
  case VK_SHIFT:
  case VK_CONTROL:
  case VK_MENU:
  case VK_ESCAPE:
  case VK_SPACE:
  case VK_PRIOR:
  case VK_NEXT:
  case VK_END:
  case VK_HOME:
  case VK_LEFT:
  case VK_UP:
  case VK_RIGHT:
  case VK_DOWN:
  case VK_DELETE:
  case VK_LWIN:
    return true;
  default:
    return false;
  }
}

DWORD WindowService::setCursor(Call &call) {
  std::uint32_t wait = 0;
  if (!readAll(call.reader, wait))
    return ERROR_INVALID_PARAMETER;
  const DWORD process = call.caller.process;
  if (process == 0)
    return ERROR_ACCESS_DENIED;
  const bool changed =
      wait != 0 ? waitCursor_.insert(process).second : waitCursor_.erase(process) != 0;
  if (changed && waitCursorHook_)
    waitCursorHook_(process, wait != 0);
  return ERROR_SUCCESS;
}

DWORD WindowService::fullScreen(Call &call) {
  HWND hwnd = nullptr;
  std::uint32_t flags = 0;
  if (!readAll(call.reader, hwnd, flags))
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  if (w->process != call.caller.process)
    return ERROR_ACCESS_DENIED;
  std::erase_if(fullScreen_, [&](const auto &entry) { return !manager_.isWindow(entry.first); });
  // What the window asks stays until it asks otherwise; a show wins over a hide given with it.
  DWORD &hidden = fullScreen_[w->handle];
  const auto apply = [&](DWORD show, DWORD hide) {
    if (flags & hide)
      hidden |= hide;
    if (flags & show)
      hidden &= ~hide;
  };
  apply(SHFS_SHOWTASKBAR, SHFS_HIDETASKBAR);
  apply(SHFS_SHOWSIPBUTTON, SHFS_HIDESIPBUTTON);
  apply(SHFS_SHOWSTARTICON, SHFS_HIDESTARTICON);
  // The taskbar hides itself and its Start icon for the windows that ask, while they are in
  // front.
  constexpr DWORD kTaskbarFlags =
      SHFS_HIDETASKBAR | SHFS_SHOWTASKBAR | SHFS_HIDESTARTICON | SHFS_SHOWSTARTICON;
  if (flags & kTaskbarFlags)
    if (const HWND taskbar = shellTaskbar())
      if (const WindowRecord *bar = manager_.find(taskbar))
        router_.post(bar->process, bar->thread, fromHwnd(taskbar), shell::kTaskbarFullScreenMessage,
                     fromHwnd(w->handle), flags & kTaskbarFlags);
  // The input panel's button lives on the window's soft-key bars.
  if (flags & (SHFS_HIDESIPBUTTON | SHFS_SHOWSIPBUTTON))
    for (HWND top : manager_.topLevelWindows())
      if (const WindowRecord *bar = manager_.find(top); bar && bar->owner == w->handle)
        tellBar(*bar, (hidden & SHFS_HIDESIPBUTTON) == 0);
  return ERROR_SUCCESS;
}

DWORD WindowService::watchWindows(Call &call) {
  // A post connection is told nothing; the process's own connection is.
  if (!readAll(call.reader) || call.request.peer().isPostConnection())
    return ERROR_INVALID_PARAMETER;
  publisher_.subscribe(call.request.peer(), manager_);
  return ERROR_SUCCESS;
}

DWORD WindowService::setCapture(Call &call) {
  HWND hwnd = nullptr;
  if (!readAll(call.reader, hwnd))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(fromHwnd(manager_.setCapture(call.caller, hwnd)));
  return manager_.lastError();
}

DWORD WindowService::releaseCapture(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  manager_.releaseCapture(call.caller);
  return manager_.lastError();
}

DWORD WindowService::getCapture(Call &call) {
  if (!readAll(call.reader))
    return ERROR_INVALID_PARAMETER;
  call.out.u64(fromHwnd(manager_.capture()));
  return ERROR_SUCCESS;
}

void WindowService::tellBar(const WindowRecord &bar, bool sipButtonShown) {
  if (bar.process != static_cast<DWORD>(::getpid()) ||
      !equalsIgnoreCase(bar.className, shell::kMenuBarClass))
    return;
  router_.post(bar.process, bar.thread, fromHwnd(bar.handle), shell::kMenuBarSipButtonMessage,
               sipButtonShown ? 1 : 0, 0);
}

void WindowService::tellNewBarOfItsOwner(HWND created) {
  // A bar made after its owner hid the input panel's button starts without it.
  const WindowRecord *bar = manager_.find(created);
  if (!bar || !bar->owner)
    return;
  const auto asked = fullScreen_.find(bar->owner);
  if (asked != fullScreen_.end() && (asked->second & SHFS_HIDESIPBUTTON))
    tellBar(*bar, false);
}

bool WindowService::fromOwnThread(Caller caller) const {
  return caller.process != 0 && router_.ownerOfThread(caller.thread) == caller.process;
}

HWND WindowService::shellTaskbar() const {
  // The host's own taskbar; a device program's window of that class is not the shell's.
  for (HWND hwnd : manager_.topLevelWindows()) {
    const WindowRecord *w = manager_.find(hwnd);
    if (w && w->process == static_cast<DWORD>(::getpid()) &&
        equalsIgnoreCase(w->className, shell::kTaskbarClass))
      return hwnd;
  }
  return nullptr;
}

HWND WindowService::keyTarget() const {
  // Hardware keys go to the taskbar, shown or hidden behind a full-screen window; its procedure
  // hands them to the focus window.
  if (const HWND taskbar = shellTaskbar())
    return taskbar;
  return focusWindow();
}

HWND WindowService::focusWindow() const {
  const HWND foreground = manager_.foreground();
  if (!foreground)
    return nullptr;
  const WindowRecord *w = manager_.find(foreground);
  if (!w)
    return nullptr;
  const HWND focus = manager_.focus(w->thread);
  return focus ? focus : foreground;
}

void WindowService::postInput(DWORD process, DWORD thread, HWND hwnd, UINT message, WPARAM wParam,
                              LPARAM lParam, POINT point) {
  PeerConnection *peer = server_.peerOfProcess(process);
  if (!peer)
    return;
  MessageWriter writer;
  writer.u32(thread)
      .u64(fromHwnd(hwnd))
      .u32(message)
      .u64(wParam)
      .i64(lParam)
      .i32(point.x)
      .i32(point.y);
  protocol::Message packet;
  if (writer.finish(+WindowEventType::Input, 0, 0, packet))
    server_.send(*peer, std::move(packet));
}

void WindowService::deliverInput(const InputEvent &event) {
  switch (event.kind) {
  case InputKind::StylusDown:
  case InputKind::StylusMove:
  case InputKind::StylusUp: {
    const POINT screen{event.x, event.y};
    const bool down = event.kind == InputKind::StylusDown;
    HWND target = manager_.capture();
    if (!target && down) {
      const auto hit = manager_.windowAt(screen);
      target = hit ? hit->hwnd : nullptr;
    } else if (!target) {
      target = pressed_; // without a press, moves go nowhere: the stylus hovers over nothing
    }
    if (down || event.kind == InputKind::StylusUp)
      pressed_ = down ? target : nullptr;
    const WindowRecord *w = target ? manager_.find(target) : nullptr;
    const auto origin = target ? manager_.clientOrigin(target) : std::nullopt;
    if (!w || !origin) {
      if (target == pressed_)
        pressed_ = nullptr;
      return;
    }
    const POINT client{screen.x - origin->x, screen.y - origin->y};
    const UINT message = event.kind == InputKind::StylusDown ? WM_LBUTTONDOWN
                         : event.kind == InputKind::StylusUp ? WM_LBUTTONUP
                                                             : WM_MOUSEMOVE;
    const WPARAM buttons = event.kind == InputKind::StylusUp ? 0 : 1; // MK_LBUTTON
    const LPARAM lParam = static_cast<LPARAM>(
        (static_cast<std::uint32_t>(client.y & 0xFFFF) << 16) | (client.x & 0xFFFF));
    postInput(w->process, w->thread, target, message, buttons, lParam, screen);
    return;
  }
  case InputKind::KeyDown:
  case InputKind::KeyUp:
  case InputKind::Character: {
    const HWND target = keyTarget();
    const WindowRecord *w = target ? manager_.find(target) : nullptr;
    if (!w)
      return;
    const UINT message = event.kind == InputKind::KeyDown ? WM_KEYDOWN
                         : event.kind == InputKind::KeyUp ? WM_KEYUP
                                                          : WM_CHAR;
    const WPARAM wParam = event.kind == InputKind::Character ? event.character : event.key;
    LPARAM lParam = event.kind == InputKind::KeyUp ? static_cast<LPARAM>(0xC0000001u) : 1;
    if (event.kind == InputKind::KeyDown && event.character != 0)
      lParam |= kKeyCharacterFollows; // its WM_CHAR comes as its own input message

    postInput(w->process, w->thread, target, message, wParam, lParam, POINT{0, 0});
    return;
  }
  case InputKind::Rotate:
    manager_.rotate();
    route(Caller{});
    return;
  case InputKind::PowerOff:
    server_.stop();
    return;
  }
}

} // namespace ce::host

namespace ce::host {

std::vector<WindowLine> WindowService::listWindows() {
  std::vector<WindowLine> lines;
  // Top-level windows in Z order, each followed by its descendants.
  const auto addTree = [&](auto &&self, HWND hwnd) -> void {
    const WindowRecord *record = manager_.find(hwnd);
    if (!record)
      return;
    WindowLine line;
    line.handle = reinterpret_cast<std::uintptr_t>(hwnd);
    line.className = record->className;
    line.title = record->title;
    line.pid = ProcessIdentity::deviceProcessOf(record->process, record->thread);
    if (auto rect = manager_.windowRect(hwnd))
      line.rect = *rect;
    line.visible = manager_.isVisible(hwnd);
    line.foreground = manager_.foreground() == hwnd;
    lines.push_back(std::move(line));
    for (HWND child : record->children)
      self(self, child);
  };
  for (HWND top : manager_.topLevelWindows())
    addTree(addTree, top);
  return lines;
}

} // namespace ce::host
