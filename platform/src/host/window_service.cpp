#include "window_service.h"

#include "../windowing/key_message_flags.h"
#include "../windowing/message_data_field.h"
#include "../windowing/window_protocol.h"

#include <ce/errors.h>
#include <ce/input.h>
#include <ce/kernel.h>

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

} // namespace

WindowService::WindowService(HostServer &server, ThreadMessageRouter &router, int screenWidth,
                             int screenHeight)
    : server_(server), router_(router), manager_(screenWidth, screenHeight) {
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
  server.addObserver(this);
}

void WindowService::on(std::uint32_t type, Handler handler) {
  server_.registerHandler(static_cast<protocol::MessageType>(type), [this, handler](HostRequest &r) {
    auto reader = r.reader();
    std::uint32_t thread = 0;
    MessageWriter out;
    // Only device processes own windows; tools may only look.
    const Caller caller{r.peer().isTool() ? 0 : r.peer().pid(), thread};
    const DWORD status = reader.u32(thread)
                             ? (this->*handler)(r, Caller{caller.process, thread}, reader, out)
                             : DWORD(ERROR_INVALID_PARAMETER);
    if (status == kDeferred) {
      route(Caller{});
      return;
    }
    // Messages sent to the caller's own thread travel back with the answer, so that the caller
    // runs them before its call returns (WM_DESTROY, WM_ACTIVATE of its own windows).
    MessageWriter failed;
    MessageWriter &payload = status == ERROR_SUCCESS ? out : failed;
    const auto handedBack = route(Caller{caller.process, thread});
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
  });
}

std::vector<WindowEvent> WindowService::route(Caller caller) {
  std::vector<WindowEvent> handedBack;
  for (const WindowEvent &event : manager_.takeEvents()) {
    if (event.kind == WindowEvent::Kind::Send && caller.process != 0 &&
        event.process == caller.process && event.thread == caller.thread) {
      handedBack.push_back(event);
      continue;
    }
    switch (event.kind) {
    case WindowEvent::Kind::Post:
    case WindowEvent::Kind::Send: {
      const auto packed = packedRecord(event);
      router_.deliver(event.process, event.thread, event.kind == WindowEvent::Kind::Send,
                      fromHwnd(event.hwnd), event.message, event.wParam,
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
    case WindowEvent::Kind::Timer:
      // Timers run in their owner's own queue.
      break;
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
  if (pressed_) {
    const WindowRecord *holder = manager_.find(pressed_);
    if (!holder || holder->process == pid)
      pressed_ = nullptr;
  }
  manager_.processExited(pid);
  waitCursor_.erase(pid);
  for (auto it = fullScreen_.begin(); it != fullScreen_.end();)
    it = manager_.isWindow(it->first) ? std::next(it) : fullScreen_.erase(it);
  route(Caller{});
}

DWORD WindowService::registerClass([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::u16string name;
  std::uint32_t style = 0;
  if (!reader.name(name, kMaxNameUnits) || !reader.u32(style) || !reader.complete() ||
      caller.process == 0)
    return ERROR_INVALID_PARAMETER;
  out.u32(manager_.registerClass(caller, name, style));
  return manager_.lastError();
}

DWORD WindowService::createWindow([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  WindowManager::Creation c;
  std::uint32_t style = 0, exStyle = 0;
  std::int32_t x = 0, y = 0, w = 0, h = 0, id = 0;
  std::uint64_t parent = 0;
  if (!reader.name(c.className, kMaxNameUnits) || !reader.string(c.title, kMaxTitleUnits) ||
      !reader.u32(style) || !reader.u32(exStyle) || !reader.i32(x) || !reader.i32(y) ||
      !reader.i32(w) || !reader.i32(h) || !reader.u64(parent) || !reader.i32(id) ||
      !reader.complete() || caller.process == 0 ||
      router_.ownerOfThread(caller.thread) != caller.process)
    return ERROR_INVALID_PARAMETER;
  c.style = style;
  c.exStyle = exStyle;
  c.x = x;
  c.y = y;
  c.width = w;
  c.height = h;
  c.parent = toHwnd(parent);
  c.id = id;
  out.u64(fromHwnd(manager_.createWindow(caller, c)));
  return manager_.lastError();
}

DWORD WindowService::destroyWindow([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.destroyWindow(caller, toHwnd(hwnd));
  if (pressed_ && !manager_.isWindow(pressed_))
    pressed_ = nullptr;
  return manager_.lastError();
}

DWORD WindowService::queryWindow([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t value = 0;
  if (!reader.u64(value) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const HWND hwnd = toHwnd(value);
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return (ERROR_INVALID_WINDOW_HANDLE);
  const RECT rect = manager_.windowRect(hwnd).value_or(RECT{});
  const POINT origin = manager_.clientOrigin(hwnd).value_or(POINT{});
  out.u32(w->process)
      .u32(w->thread)
      .u64(fromHwnd(w->parent))
      .u64(fromHwnd(w->owner))
      .u32(w->style)
      .u32(w->exStyle)
      .i32(w->id)
      .u32(manager_.isVisible(hwnd) ? 1 : 0)
      .u32(manager_.isEnabled(hwnd) ? 1 : 0);
  writeRect(out, rect);
  out.i32(origin.x).i32(origin.y).string(w->className).string(w->title);
  return ERROR_SUCCESS;
}

DWORD WindowService::getWindow([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::uint32_t command = 0;
  if (!reader.u64(hwnd) || !reader.u32(command) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.getWindow(toHwnd(hwnd), command)));
  return manager_.lastError();
}

DWORD WindowService::findWindow([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint32_t hasClass = 0, hasTitle = 0;
  std::u16string className, title;
  if (!reader.u32(hasClass) || !reader.string(className, kMaxTitleUnits) || !reader.u32(hasTitle) ||
      !reader.string(title, kMaxTitleUnits) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.findWindow(hasClass ? &className : nullptr, hasTitle ? &title : nullptr)));
  return ERROR_SUCCESS;
}

DWORD WindowService::enumWindows([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  if (!reader.complete())
    return ERROR_INVALID_PARAMETER;
  const auto windows = manager_.topLevelWindows();
  out.u32(static_cast<std::uint32_t>(windows.size()));
  for (HWND hwnd : windows)
    out.u64(fromHwnd(hwnd));
  return ERROR_SUCCESS;
}

DWORD WindowService::setText([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::u16string text;
  if (!reader.u64(hwnd) || !reader.string(text, kMaxTitleUnits) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.setText(caller, toHwnd(hwnd), text);
  return manager_.lastError();
}

DWORD WindowService::setWindowLong([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::int32_t index = 0, value = 0;
  if (!reader.u64(hwnd) || !reader.i32(index) || !reader.i32(value) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.i32(manager_.setWindowLong(caller, toHwnd(hwnd), index, value).value_or(0));
  return manager_.lastError();
}

DWORD WindowService::showWindow([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::int32_t command = 0;
  if (!reader.u64(hwnd) || !reader.i32(command) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u32(manager_.showWindow(caller, toHwnd(hwnd), command) ? 1 : 0);
  return manager_.lastError();
}

DWORD WindowService::setWindowPos([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0, after = 0;
  std::int32_t x = 0, y = 0, cx = 0, cy = 0;
  std::uint32_t flags = 0;
  if (!reader.u64(hwnd) || !reader.u64(after) || !reader.i32(x) || !reader.i32(y) ||
      !reader.i32(cx) || !reader.i32(cy) || !reader.u32(flags) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.setWindowPos(caller, toHwnd(hwnd), toHwnd(after), x, y, cx, cy, flags);
  return manager_.lastError();
}

DWORD WindowService::enableWindow([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::uint32_t enable = 0;
  if (!reader.u64(hwnd) || !reader.u32(enable) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u32(manager_.enableWindow(caller, toHwnd(hwnd), enable != 0) ? 1 : 0);
  return manager_.lastError();
}

DWORD WindowService::state([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  if (!reader.complete())
    return ERROR_INVALID_PARAMETER;
  const SIZE size = manager_.screenSize();
  out.u64(fromHwnd(manager_.foreground()))
      .u64(fromHwnd(manager_.activeWindow(caller.thread)))
      .u64(fromHwnd(manager_.focus(caller.thread)))
      .u64(fromHwnd(manager_.desktop()))
      .i32(size.cx)
      .i32(size.cy);
  return ERROR_SUCCESS;
}

DWORD WindowService::setForeground([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.setForeground(caller, toHwnd(hwnd));
  return manager_.lastError();
}

DWORD WindowService::setActive([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete() ||
      router_.ownerOfThread(caller.thread) != caller.process)
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.setActive(caller, toHwnd(hwnd))));
  return manager_.lastError();
}

DWORD WindowService::setFocus([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete() ||
      router_.ownerOfThread(caller.thread) != caller.process)
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.setFocus(caller, toHwnd(hwnd))));
  return manager_.lastError();
}

DWORD WindowService::invalidate([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::uint32_t hasRect = 0;
  RECT rect{};
  if (!reader.u64(hwnd) || !reader.u32(hasRect) || !readRect(reader, rect) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.invalidate(toHwnd(hwnd), hasRect ? &rect : nullptr);
  return manager_.lastError();
}

DWORD WindowService::validate([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  std::uint32_t hasRect = 0;
  RECT rect{};
  if (!reader.u64(hwnd) || !reader.u32(hasRect) || !readRect(reader, rect) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.validate(toHwnd(hwnd), hasRect ? &rect : nullptr);
  return manager_.lastError();
}

DWORD WindowService::updateRegion([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const auto paint = manager_.updateRegion(toHwnd(hwnd));
  if (!paint)
    return manager_.lastError();
  writeRect(out, paint->bounds);
  writeRects(out, paint->rects);
  return ERROR_SUCCESS;
}

DWORD WindowService::beginPaint([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t value = 0;
  if (!reader.u64(value) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const HWND hwnd = toHwnd(value);
  const auto paint = manager_.beginPaint(caller, hwnd);
  if (!paint)
    return manager_.lastError();
  const POINT origin = manager_.clientOrigin(hwnd).value_or(POINT{});
  writeRect(out, paint->bounds);
  writeRects(out, paint->rects);
  out.i32(origin.x).i32(origin.y);
  writeRects(out, manager_.visibleRegion(hwnd).rects());
  return ERROR_SUCCESS;
}

DWORD WindowService::visibleRegion([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t value = 0;
  if (!reader.u64(value) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const HWND hwnd = toHwnd(value);
  const auto origin = manager_.clientOrigin(hwnd);
  if (!origin)
    return (ERROR_INVALID_WINDOW_HANDLE);
  out.i32(origin->x).i32(origin->y);
  writeRects(out, manager_.visibleRegion(hwnd).rects());
  return ERROR_SUCCESS;
}

DWORD WindowService::postMessage([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0, wParam = 0;
  std::uint32_t message = 0;
  std::int64_t lParam = 0;
  if (!reader.u64(hwnd) || !reader.u32(message) || !reader.u64(wParam) || !reader.i64(lParam) ||
      !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(toHwnd(hwnd));
  if (!w)
    return (ERROR_INVALID_WINDOW_HANDLE);
  if (!ThreadMessageRouter::passesAsNumbers(r.peer().pid(), w->process, message, lParam))
    return ERROR_INVALID_PARAMETER;
  r.defer();
  router_.deliver(w->process, w->thread, false, hwnd, message, wParam, lParam, r.peer().id(),
                  r.message().header.type, r.message().header.requestId);
  return kDeferred;
}

DWORD WindowService::sendMessage([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t hwnd = 0, wParam = 0;
  std::uint32_t message = 0;
  std::int64_t lParam = 0;
  bool packed = false;
  std::vector<std::uint8_t> data;
  if (!reader.u64(hwnd) || !reader.u32(message) || !reader.u64(wParam) || !reader.i64(lParam) ||
      !windowing::readMessageData(reader, packed, data) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(toHwnd(hwnd));
  if (!w)
    return (ERROR_INVALID_WINDOW_HANDLE);
  // Packed data must be what the receiver can rebuild; a bare pointer only stays in its process.
  if (packed ? !MessageMarshaller::carriesData(message) ||
                   !MessageMarshaller::unpack(PackedMessage{message, static_cast<WPARAM>(wParam),
                                                            static_cast<LPARAM>(lParam), data})
             : !ThreadMessageRouter::passesAsNumbers(r.peer().pid(), w->process, message, lParam))
    return ERROR_INVALID_PARAMETER;
  r.defer();
  router_.deliver(w->process, w->thread, true, hwnd, message, wParam, lParam, r.peer().id(),
                  r.message().header.type, r.message().header.requestId,
                  packed ? &data : nullptr);
  return kDeferred;
}

DWORD WindowService::keyboardEvent([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint32_t key = 0, flags = 0;
  if (!reader.u32(key) || !reader.u32(flags) || !reader.complete() || key == 0 || key > 0xFF)
    return ERROR_INVALID_PARAMETER;
  deliverInput(InputEvent::keyEvent((flags & KEYEVENTF_KEYUP) ? InputKind::KeyUp : InputKind::KeyDown,
                                    static_cast<std::uint8_t>(key)));
  return ERROR_SUCCESS;
}

DWORD WindowService::setCursor([[maybe_unused]] HostRequest &r, Caller caller,
                               MessageReader &reader, [[maybe_unused]] MessageWriter &out) {
  std::uint32_t wait = 0;
  if (!reader.u32(wait) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  if (caller.process == 0)
    return ERROR_ACCESS_DENIED;
  const bool changed = wait != 0 ? waitCursor_.insert(caller.process).second
                                 : waitCursor_.erase(caller.process) != 0;
  if (changed && waitCursorHook_)
    waitCursorHook_(caller.process, wait != 0);
  return ERROR_SUCCESS;
}

DWORD WindowService::fullScreen([[maybe_unused]] HostRequest &r, Caller caller, MessageReader &reader,
                                [[maybe_unused]] MessageWriter &out) {
  std::uint64_t value = 0;
  std::uint32_t flags = 0;
  if (!reader.u64(value) || !reader.u32(flags) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  const WindowRecord *w = manager_.find(toHwnd(value));
  if (!w)
    return (ERROR_INVALID_WINDOW_HANDLE);
  if (w->process != caller.process)
    return (ERROR_ACCESS_DENIED);
  fullScreen_[w->handle] = flags;
  return ERROR_SUCCESS;
}

DWORD WindowService::setCapture([[maybe_unused]] HostRequest &r, Caller caller,
                                 MessageReader &reader, MessageWriter &out) {
  std::uint64_t hwnd = 0;
  if (!reader.u64(hwnd) || !reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.setCapture(caller, toHwnd(hwnd))));
  return manager_.lastError();
}

DWORD WindowService::releaseCapture([[maybe_unused]] HostRequest &r, Caller caller,
                                     MessageReader &reader, [[maybe_unused]] MessageWriter &out) {
  if (!reader.complete())
    return ERROR_INVALID_PARAMETER;
  manager_.releaseCapture(caller);
  return manager_.lastError();
}

DWORD WindowService::getCapture([[maybe_unused]] HostRequest &r, Caller, MessageReader &reader,
                                 MessageWriter &out) {
  if (!reader.complete())
    return ERROR_INVALID_PARAMETER;
  out.u64(fromHwnd(manager_.capture()));
  return ERROR_SUCCESS;
}

HWND WindowService::keyTarget() const {
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
  writer.u32(thread).u64(fromHwnd(hwnd)).u32(message).u64(wParam).i64(lParam).i32(point.x).i32(
      point.y);
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
    if (!record) return;
    WindowLine line;
    line.handle = reinterpret_cast<std::uintptr_t>(hwnd);
    line.className = record->className;
    line.title = record->title;
    line.pid = record->process;
    if (auto rect = manager_.windowRect(hwnd)) line.rect = *rect;
    line.visible = manager_.isVisible(hwnd);
    line.foreground = manager_.foreground() == hwnd;
    lines.push_back(std::move(line));
    for (HWND child : record->children) self(self, child);
  };
  for (HWND top : manager_.topLevelWindows()) addTree(addTree, top);
  return lines;
}

} // namespace ce::host
