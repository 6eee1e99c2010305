#include "window_service.h"

#include <ce/host/process_identity.h>
#include "../src/shell/shell_messages.h"
#include "../src/shell/taskbar_geometry.h"
#include "../src/windowing/key_message_flags.h"
#include "../src/windowing/window_messages.h"

#include <ce/core/device_profile.h>
#include <ce/core/utf.h>

#include <ce/errors.h>
#include <ce/input.h>
#include <ce/kernel.h>

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace ce::host {

using namespace windowing;
using Caller = WindowManager::Caller;

namespace {

std::uint64_t fromHwnd(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

} // namespace

WindowService::WindowService(HostServer &server, ThreadMessageRouter &router, int screenWidth,
                             int screenHeight)
    : server_(server), router_(router), manager_(screenWidth, screenHeight), publisher_(server) {
  // CW_USEDEFAULT gives the screen below the taskbar, whose height follows the screen's width.
  manager_.setWorkAreaRule([taskbar = DeviceProfile::current().taskbar](SIZE screen) {
    return RECT{0, shell::TaskbarGeometry(taskbar, screen.cx).height(), screen.cx, screen.cy};
  });
  on(&WindowService::registerClass);
  on(&WindowService::createWindow);
  on(&WindowService::destroyWindow);
  on(&WindowService::queryWindow);
  on(&WindowService::getWindow);
  on(&WindowService::findWindow);
  on(&WindowService::enumWindows);
  on(&WindowService::setText);
  on(&WindowService::setWindowLong);
  on(&WindowService::showWindow);
  on(&WindowService::setWindowPos);
  on(&WindowService::enableWindow);
  on(&WindowService::state);
  on(&WindowService::setForeground);
  on(&WindowService::setActive);
  on(&WindowService::setFocus);
  on(&WindowService::invalidate);
  on(&WindowService::validate);
  on(&WindowService::updateRegion);
  on(&WindowService::beginPaint);
  on(&WindowService::visibleRegion);
  on(&WindowService::postMessage);
  on(&WindowService::sendMessage);
  on(&WindowService::keyboardEvent);
  on(&WindowService::setCursor);
  on(&WindowService::fullScreen);
  on(&WindowService::setCapture);
  on(&WindowService::releaseCapture);
  on(&WindowService::getCapture);
  on(&WindowService::unregisterClass);
  on(&WindowService::workArea);
  on(&WindowService::watchWindows);
  on(&WindowService::threadEnded);
  server.addObserver(this);
}

template <class Request, class Result>
void WindowService::on(Result (WindowService::*handler)(Call &, const Request &)) {
  server_.registerHandler(
      static_cast<protocol::MessageType>(protocol::typeOf<Request>()),
      [this, handler](HostRequest &r) {
        CallerThread thread;
        Request request;
        const bool read = protocol::decode(r.message(), thread, request);
        // Only device processes own windows; tools may only look.
        Call call{r, Caller{r.peer().isTool() ? 0 : r.peer().pid(), thread.thread}};
        using Answer = protocol::Answer<protocol::ReplyOf<Request>>;
        const Answer answer =
            read ? Answer((this->*handler)(call, request)) : Answer(ERROR_INVALID_PARAMETER);
        if (answer.deferred() || !handsBack<Request>()) {
          // Whatever the operation sent the caller's thread goes out as any other message.
          route(Caller{});
          r.answer(answer);
          return;
        }
        // Messages sent to the caller's own thread travel back with the answer, so that the
        // caller runs them before its call returns (WM_DESTROY, WM_ACTIVATE of its own windows).
        const HandedBack handedBack = handBack(route(call.caller));
        if (const auto *reply = answer.reply())
          r.reply(ERROR_SUCCESS, *reply, handedBack);
        else
          r.reply(answer.status(), handedBack);
      });
}

HandedBack WindowService::handBack(const std::vector<WindowEvent> &events) {
  HandedBack handedBack;
  for (const WindowEvent &event : events) {
    auto packed = packedRecord(event);
    handedBack.messages.push_back(
        {event.hwnd, event.message, event.wParam, packed ? packed->lParam : event.lParam,
         packed ? protocol::MessageData{true, std::move(packed->data)} : protocol::MessageData{}});
  }
  return handedBack;
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
      router_.post(event.process,
                   {event.thread, event.hwnd, event.message, event.wParam, event.lParam});
      break;
    case WindowEvent::Kind::Send: {
      const auto packed = packedRecord(event);
      router_.send(event.process,
                   {event.thread, event.hwnd, event.message, event.wParam,
                    packed ? packed->lParam : event.lParam},
                   packed ? protocol::MessageData{true, packed->data} : protocol::MessageData{},
                   {});
      break;
    }
    case WindowEvent::Kind::Invalidate:
    case WindowEvent::Kind::Validate: {
      if (PeerConnection *peer = server_.peerOfProcess(event.process))
        server_.sendEvent(*peer, PaintStateEvent{event.thread, event.hwnd,
                                                 event.kind == WindowEvent::Kind::Invalidate});
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

DWORD WindowService::threadEnded(Call &call, const ThreadEndedNotice &) {
  if (call.caller.process == 0)
    return ERROR_ACCESS_DENIED;
  manager_.threadExited(call.caller.process, call.caller.thread);
  forgetGoneWindows();
  return ERROR_SUCCESS;
}

WindowService::Answer<RegisterClassRequest>
WindowService::registerClass(Call &call, const RegisterClassRequest &request) {
  if (call.caller.process == 0)
    return ERROR_INVALID_PARAMETER;
  const ATOM atom = manager_.registerClass(call.caller, request.className, request.style);
  return {manager_.lastError(), {atom}};
}

DWORD WindowService::unregisterClass(Call &call, const UnregisterClassRequest &request) {
  if (call.caller.process == 0)
    return ERROR_INVALID_PARAMETER;
  manager_.unregisterClass(call.caller, request.className);
  return manager_.lastError();
}

WindowService::Answer<WorkAreaRequest> WindowService::workArea(Call &, const WorkAreaRequest &) {
  return WorkAreaReply{manager_.workArea()};
}

WindowService::Answer<CreateWindowRequest>
WindowService::createWindow(Call &call, const CreateWindowRequest &request) {
  if (!fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  const HWND created = manager_.createWindow(
      call.caller, WindowManager::Creation{request.className, request.title, request.style,
                                           request.exStyle, request.x, request.y, request.width,
                                           request.height, request.parent, request.id});
  const DWORD status = manager_.lastError();
  if (created)
    tellNewBarOfItsOwner(created);
  return {status, {created}};
}

DWORD WindowService::destroyWindow(Call &call, const DestroyWindowRequest &request) {
  manager_.destroyWindow(call.caller, request.hwnd);
  if (pressed_ && !manager_.isWindow(pressed_))
    pressed_ = nullptr;
  return manager_.lastError();
}

WindowService::Answer<QueryWindowRequest>
WindowService::queryWindow(Call &, const QueryWindowRequest &request) {
  const HWND hwnd = request.hwnd;
  const WindowRecord *w = manager_.find(hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  return QueryWindowReply{ProcessIdentity::deviceProcessOf(w->process, w->thread), // shell32.exe
                          w->thread,
                          w->parent,
                          w->owner,
                          w->style,
                          w->exStyle,
                          w->id,
                          manager_.isVisible(hwnd),
                          manager_.isEnabled(hwnd),
                          manager_.windowRect(hwnd).value_or(RECT{}),
                          manager_.clientOrigin(hwnd).value_or(POINT{}),
                          w->className,
                          w->title};
}

WindowService::Answer<GetWindowRequest> WindowService::getWindow(Call &,
                                                                 const GetWindowRequest &request) {
  const HWND found = manager_.getWindow(request.hwnd, request.command);
  return {manager_.lastError(), {found}};
}

WindowService::Answer<FindWindowRequest>
WindowService::findWindow(Call &, const FindWindowRequest &request) {
  return WindowReply{manager_.findWindow(request.className ? &*request.className : nullptr,
                                         request.title ? &*request.title : nullptr)};
}

WindowService::Answer<EnumWindowsRequest> WindowService::enumWindows(Call &,
                                                                     const EnumWindowsRequest &) {
  return EnumWindowsReply{manager_.topLevelWindows()};
}

DWORD WindowService::setText(Call &call, const SetTextRequest &request) {
  manager_.setText(call.caller, request.hwnd, request.text);
  return manager_.lastError();
}

WindowService::Answer<SetWindowLongRequest>
WindowService::setWindowLong(Call &call, const SetWindowLongRequest &request) {
  const LONG previous =
      manager_.setWindowLong(call.caller, request.hwnd, request.index, request.value).value_or(0);
  return {manager_.lastError(), {previous}};
}

WindowService::Answer<ShowWindowRequest>
WindowService::showWindow(Call &call, const ShowWindowRequest &request) {
  const bool wasVisible = manager_.showWindow(call.caller, request.hwnd, request.command);
  return {manager_.lastError(), {wasVisible}};
}

DWORD WindowService::setWindowPos(Call &call, const SetWindowPosRequest &request) {
  manager_.setWindowPos(call.caller, request.hwnd, request.insertAfter, request.x, request.y,
                        request.cx, request.cy, request.flags);
  return manager_.lastError();
}

WindowService::Answer<EnableWindowRequest>
WindowService::enableWindow(Call &call, const EnableWindowRequest &request) {
  const bool wasDisabled = manager_.enableWindow(call.caller, request.hwnd, request.enable);
  return {manager_.lastError(), {wasDisabled}};
}

WindowService::Answer<StateRequest> WindowService::state(Call &call, const StateRequest &) {
  const HWND ownFocus = manager_.focus(call.caller.thread);
  return StateReply{manager_.foreground(), manager_.activeWindow(call.caller.thread),
                    ownFocus ? ownFocus : focusWindow(), manager_.desktop(), manager_.screenSize()};
}

DWORD WindowService::setForeground(Call &call, const SetForegroundRequest &request) {
  manager_.setForeground(call.caller, request.hwnd);
  return manager_.lastError();
}

WindowService::Answer<SetActiveRequest> WindowService::setActive(Call &call,
                                                                 const SetActiveRequest &request) {
  if (!fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  const HWND previous = manager_.setActive(call.caller, request.hwnd);
  return {manager_.lastError(), {previous}};
}

WindowService::Answer<SetFocusRequest> WindowService::setFocus(Call &call,
                                                               const SetFocusRequest &request) {
  if (!fromOwnThread(call.caller))
    return ERROR_INVALID_PARAMETER;
  const HWND previous = manager_.setFocus(call.caller, request.hwnd);
  return {manager_.lastError(), {previous}};
}

DWORD WindowService::invalidate(Call &, const InvalidateRequest &request) {
  manager_.invalidate(request.hwnd, request.rect ? &*request.rect : nullptr);
  return manager_.lastError();
}

DWORD WindowService::validate(Call &, const ValidateRequest &request) {
  manager_.validate(request.hwnd, request.rect ? &*request.rect : nullptr);
  return manager_.lastError();
}

WindowService::Answer<UpdateRegionRequest>
WindowService::updateRegion(Call &, const UpdateRegionRequest &request) {
  const auto paint = manager_.updateRegion(request.hwnd);
  if (!paint)
    return ERROR_INVALID_WINDOW_HANDLE;
  return UpdateRegionReply{paint->bounds, paint->rects};
}

WindowService::Answer<BeginPaintRequest>
WindowService::beginPaint(Call &call, const BeginPaintRequest &request) {
  const auto paint = manager_.beginPaint(call.caller, request.hwnd);
  if (!paint)
    return manager_.lastError();
  return BeginPaintReply{{paint->bounds, paint->rects},
                         {manager_.clientOrigin(request.hwnd).value_or(POINT{}),
                          manager_.visibleRegion(request.hwnd).rects()}};
}

WindowService::Answer<VisibleRegionRequest>
WindowService::visibleRegion(Call &, const VisibleRegionRequest &request) {
  const auto origin = manager_.clientOrigin(request.hwnd);
  if (!origin)
    return ERROR_INVALID_WINDOW_HANDLE;
  return VisibleRegionReply{*origin, manager_.visibleRegion(request.hwnd).rects()};
}

DWORD WindowService::postMessage(Call &call, const PostMessageRequest &request) {
  const WindowRecord *w = manager_.find(request.hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  if (!ThreadMessageRouter::passesAsNumbers(call.request.peer().pid(), w->process, request.message,
                                            request.lParam))
    return ERROR_INVALID_PARAMETER;
  return router_.post(w->process,
                      {w->thread, w->handle, request.message, request.wParam, request.lParam});
}

WindowService::Answer<SendMessageRequest>
WindowService::sendMessage(Call &call, const SendMessageRequest &request) {
  const WindowRecord *w = manager_.find(request.hwnd);
  if (!w)
    return ERROR_INVALID_WINDOW_HANDLE;
  // Packed data must be what the receiver can rebuild; a bare pointer only stays in its process.
  if (request.data.packed
          ? !MessageMarshaller::carriesData(request.message) ||
                !MessageMarshaller::unpack(PackedMessage{request.message, request.wParam,
                                                         request.lParam, request.data.bytes})
          : !ThreadMessageRouter::passesAsNumbers(call.request.peer().pid(), w->process,
                                                  request.message, request.lParam))
    return ERROR_INVALID_PARAMETER;
  router_.send(w->process, {w->thread, w->handle, request.message, request.wParam, request.lParam},
               request.data, call.request.defer<SendMessageRequest>());
  return protocol::Deferred{};
}

DWORD WindowService::keyboardEvent(Call &call, const KeyboardEventRequest &request) {
  const auto key = static_cast<std::uint8_t>(request.key);
  const bool up = (request.flags & KEYEVENTF_KEYUP) != 0;
  // A key that no part of the shell acts on leaves a trace, so that whoever synthesises it can
  // be followed.
  if (!shellHandlesKey(key))
    traceKey(key, up, (request.flags & KEYEVENTF_SILENT) != 0, call.caller.process);
  deliverInput(InputEvent::keyEvent(up ? InputKind::KeyUp : InputKind::KeyDown, key));
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

DWORD WindowService::setCursor(Call &call, const SetCursorRequest &request) {
  const DWORD process = call.caller.process;
  if (process == 0)
    return ERROR_ACCESS_DENIED;
  const bool changed =
      request.wait ? waitCursor_.insert(process).second : waitCursor_.erase(process) != 0;
  if (changed && waitCursorHook_)
    waitCursorHook_(process, request.wait);
  return ERROR_SUCCESS;
}

DWORD WindowService::fullScreen(Call &call, const FullScreenRequest &request) {
  const DWORD flags = request.flags;
  const WindowRecord *w = manager_.find(request.hwnd);
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
        router_.post(bar->process, {bar->thread, taskbar, shell::kTaskbarFullScreenMessage,
                                    fromHwnd(w->handle), flags & kTaskbarFlags});
  // The input panel's button lives on the window's soft-key bars.
  if (flags & (SHFS_HIDESIPBUTTON | SHFS_SHOWSIPBUTTON))
    for (HWND top : manager_.topLevelWindows())
      if (const WindowRecord *bar = manager_.find(top); bar && bar->owner == w->handle)
        tellBar(*bar, (hidden & SHFS_HIDESIPBUTTON) == 0);
  return ERROR_SUCCESS;
}

DWORD WindowService::watchWindows(Call &call, const WatchWindowsRequest &) {
  // A post connection is told nothing; the process's own connection is.
  if (call.request.peer().isPostConnection())
    return ERROR_INVALID_PARAMETER;
  publisher_.subscribe(call.request.peer(), manager_);
  return ERROR_SUCCESS;
}

WindowService::Answer<SetCaptureRequest>
WindowService::setCapture(Call &call, const SetCaptureRequest &request) {
  const HWND previous = manager_.setCapture(call.caller, request.hwnd);
  return {manager_.lastError(), {previous}};
}

DWORD WindowService::releaseCapture(Call &call, const ReleaseCaptureRequest &) {
  manager_.releaseCapture(call.caller);
  return manager_.lastError();
}

WindowService::Answer<GetCaptureRequest> WindowService::getCapture(Call &,
                                                                   const GetCaptureRequest &) {
  return WindowReply{manager_.capture()};
}

void WindowService::tellBar(const WindowRecord &bar, bool sipButtonShown) {
  if (bar.process != static_cast<DWORD>(::getpid()) ||
      !equalsIgnoreCase(bar.className, shell::kMenuBarClass))
    return;
  router_.post(bar.process, {bar.thread, bar.handle, shell::kMenuBarSipButtonMessage,
                             sipButtonShown ? 1u : 0u, 0});
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
  if (PeerConnection *peer = server_.peerOfProcess(process))
    server_.sendEvent(*peer, InputMessageEvent{{thread, hwnd, message, wParam, lParam}, point});
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
    line.handle = hwnd;
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
