// The host's window service: owns the window manager, answers the window requests of device
// processes, routes what the manager emits to the owner threads (posted and sent messages through
// the thread message router, WM_PAINT due/not due as PaintState events), forgets a process's
// windows when it ends, and turns input into stylus and key messages.
//
// Input: a stylus press goes to the window under the point, which keeps the stylus until it is
// lifted (moves and the lift go to it, in its client coordinates, even outside it). While a
// window holds the capture (SetCapture), every stylus message goes to it instead, wherever the
// point lies; once the capture is released, the rest of a press goes to the window that got its
// WM_LBUTTONDOWN, as before. Keys go to the shell's taskbar, whether it shows or hides behind a
// full-screen window (it hands them on to the focus window); without a taskbar, to the focus
// window of the foreground window's thread (or to the foreground window itself). GetFocus() answers
// the calling thread's focus window, or for a thread without one that same device-wide focus
// window. A key press is WM_KEYDOWN, a release WM_KEYUP, a typed character WM_CHAR. Input to a
// window of a process that has gone is dropped.
//
// Everything here, deliverInput included, runs on the host's loop thread.
//
// Chosen behaviours:
// - Sent messages that the manager emits (WM_ACTIVATE, WM_SETFOCUS, ...) are notifications: the
//   host never waits for their result. WM_WINDOWPOSCHANGED's record travels packed, so its
//   receiver gets a pointer to a copy of it, in every process.
// - SendMessageW of a message with data (WM_SETTEXT, WM_GETTEXT, WM_COPYDATA, TB_SETBUTTONINFO)
//   to a window of another process comes with the data packed; the host checks that the
//   receiver can rebuild it before passing it on (ERROR_INVALID_PARAMETER otherwise). Such a
//   message with a bare pointer, sent or posted, only goes to windows of the sender's process.
// - The wait cursor is kept per process: SetCursor(IDC_WAIT) puts it up for the calling process,
//   SetCursor(NULL) or any other cursor takes it down, and a process that ends drops it. Each
//   change goes to the wait-cursor hook (the screen's wait mark). Tools own no cursor and are
//   refused. SHFullScreen's flags are recorded per window (a show flag wins over its hide flag
//   given with it): the taskbar and Start icon flags are passed on to the shell's taskbar, which
//   hides itself or its Start icon while such a window is in front; the input panel button flags
//   to the window's soft-key bars, now and when a bar is made for it later.
// - keybd_event from a device process is input like a key of the device. A key that the shell
//   has no use for (neither a key of the keyboard or the phone's buttons nor the Windows key:
//   0x85 and the like) is also written to the host's log with its code, down or up, the time
//   (GetTickCount) and the calling process, 50 lines a second at most (the next line says how
//   many were left out). KEYEVENTF_SILENT is accepted and changes nothing else; flags other than
//   KEYEVENTF_KEYUP are ignored.
#pragma once

#include "../src/screen/input_sink.h"
#include "../src/windowing/message_marshaller.h"
#include "../src/windowing/window_manager.h"
#include "../src/windowing/window_messages.h"
#include "host_server.h"
#include "thread_message_router.h"
#include "window_listing.h"
#include "window_state_publisher.h"

#include <chrono>
#include <functional>
#include <map>
#include <set>

namespace ce::host {

// Runs on the host's loop thread: requests, process exits, input (handed over to the loop by
// LoopThreadInputSink) and listings all touch the window manager from there only.
class WindowService : public ProcessObserver, public InputSink, public WindowListing {
public:
  // Told on the loop thread when a process puts the wait cursor up or takes it down (not when
  // it ends: whoever keeps per-process state hears of that as a ProcessObserver).
  using WaitCursorHook = std::function<void(DWORD process, bool on)>;

  WindowService(HostServer &server, ThreadMessageRouter &router, int screenWidth, int screenHeight);

  void onProcessExit(DWORD pid) override;
  void deliverInput(const ce::InputEvent &event) override;
  std::vector<WindowLine> listWindows() override;

  WindowManager &manager() { return manager_; }
  // Some process has the wait cursor up.
  bool waitCursor() const { return !waitCursor_.empty(); }
  void setWaitCursorHook(WaitCursorHook hook) { waitCursorHook_ = std::move(hook); }

private:
  // One request as its handler sees it: the request and who asks (process 0 for tools).
  struct Call {
    HostRequest &request;
    WindowManager::Caller caller;
  };
  template <class Request> using Answer = protocol::Answer<protocol::ReplyOf<Request>>;
  // Answers a declared window request: reads the caller's thread and the request, and answers
  // with what the handler gives followed by the messages handed back to the caller's thread.
  template <class Request, class Result>
  void on(Result (WindowService::*handler)(Call &, const Request &));
  // The messages for the caller's thread, as its answer carries them.
  static windowing::HandedBack handBack(const std::vector<WindowEvent> &events);
  // Routes the manager's events; the messages sent to `caller`'s thread are returned instead.
  std::vector<WindowEvent> route(WindowManager::Caller caller);
  void postInput(DWORD process, DWORD thread, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                 POINT point);
  // Where key input goes: the shell's taskbar while it shows, else focusWindow().
  HWND keyTarget() const;
  // The focus window of the foreground window's thread, or the foreground window itself.
  HWND focusWindow() const;
  // The host's own taskbar window, or null.
  HWND shellTaskbar() const;
  // Whether the shell acts on this key (the keyboard's keys, the phone's buttons, the Windows
  // key).
  static bool shellHandlesKey(std::uint8_t key);
  // Writes a keybd_event of a key the shell has no use for to the log, kKeyTracesPerSecond at
  // most each second.
  void traceKey(std::uint8_t key, bool up, bool silent, DWORD process);
  // Tells a soft-key bar of the host whether its input panel button shows.
  void tellBar(const WindowRecord &bar, bool sipButtonShown);
  void tellNewBarOfItsOwner(HWND created);
  // WM_WINDOWPOSCHANGED's record, packed for its receiver; nothing for other events.
  static std::optional<PackedMessage> packedRecord(const WindowEvent &event);
  // The caller is a device process and the thread it names is one of its own.
  bool fromOwnThread(WindowManager::Caller caller) const;

  Answer<windowing::RegisterClassRequest> registerClass(Call &,
                                                        const windowing::RegisterClassRequest &);
  DWORD unregisterClass(Call &, const windowing::UnregisterClassRequest &);
  Answer<windowing::WorkAreaRequest> workArea(Call &, const windowing::WorkAreaRequest &);
  Answer<windowing::CreateWindowRequest> createWindow(Call &,
                                                      const windowing::CreateWindowRequest &);
  DWORD destroyWindow(Call &, const windowing::DestroyWindowRequest &);
  Answer<windowing::QueryWindowRequest> queryWindow(Call &, const windowing::QueryWindowRequest &);
  Answer<windowing::GetWindowRequest> getWindow(Call &, const windowing::GetWindowRequest &);
  Answer<windowing::FindWindowRequest> findWindow(Call &, const windowing::FindWindowRequest &);
  Answer<windowing::EnumWindowsRequest> enumWindows(Call &, const windowing::EnumWindowsRequest &);
  DWORD setText(Call &, const windowing::SetTextRequest &);
  Answer<windowing::SetWindowLongRequest> setWindowLong(Call &,
                                                        const windowing::SetWindowLongRequest &);
  Answer<windowing::ShowWindowRequest> showWindow(Call &, const windowing::ShowWindowRequest &);
  DWORD setWindowPos(Call &, const windowing::SetWindowPosRequest &);
  Answer<windowing::EnableWindowRequest> enableWindow(Call &,
                                                      const windowing::EnableWindowRequest &);
  Answer<windowing::StateRequest> state(Call &, const windowing::StateRequest &);
  DWORD setForeground(Call &, const windowing::SetForegroundRequest &);
  Answer<windowing::SetActiveRequest> setActive(Call &, const windowing::SetActiveRequest &);
  Answer<windowing::SetFocusRequest> setFocus(Call &, const windowing::SetFocusRequest &);
  DWORD invalidate(Call &, const windowing::InvalidateRequest &);
  DWORD validate(Call &, const windowing::ValidateRequest &);
  Answer<windowing::UpdateRegionRequest> updateRegion(Call &,
                                                      const windowing::UpdateRegionRequest &);
  Answer<windowing::BeginPaintRequest> beginPaint(Call &, const windowing::BeginPaintRequest &);
  Answer<windowing::VisibleRegionRequest> visibleRegion(Call &,
                                                        const windowing::VisibleRegionRequest &);
  DWORD postMessage(Call &, const windowing::PostMessageRequest &);
  Answer<windowing::SendMessageRequest> sendMessage(Call &, const windowing::SendMessageRequest &);
  DWORD keyboardEvent(Call &, const windowing::KeyboardEventRequest &);
  DWORD setCursor(Call &, const windowing::SetCursorRequest &);
  DWORD fullScreen(Call &, const windowing::FullScreenRequest &);
  Answer<windowing::SetCaptureRequest> setCapture(Call &, const windowing::SetCaptureRequest &);
  DWORD releaseCapture(Call &, const windowing::ReleaseCaptureRequest &);
  Answer<windowing::GetCaptureRequest> getCapture(Call &, const windowing::GetCaptureRequest &);
  DWORD watchWindows(Call &, const windowing::WatchWindowsRequest &);
  DWORD threadEnded(Call &, const windowing::ThreadEndedNotice &);
  // Drops what the service keeps for windows that have gone.
  void forgetGoneWindows();

  HostServer &server_;
  ThreadMessageRouter &router_;
  WindowManager manager_;
  WindowStatePublisher publisher_;
  HWND pressed_ = nullptr;     // the window that got the stylus press, until it is lifted
  std::set<DWORD> waitCursor_; // processes with the wait cursor up
  WaitCursorHook waitCursorHook_;
  std::map<HWND, DWORD> fullScreen_; // the SHFS_HIDE* flags in force for each window
  static constexpr unsigned kKeyTracesPerSecond = 50;
  std::chrono::steady_clock::time_point keyTraceSecond_{};
  unsigned keyTraces_ = 0;
  unsigned keyTracesLeftOut_ = 0;
};

} // namespace ce::host
