// This process's view of the device's windows, kept current by the host's WindowState notices,
// so that IsWindow, GetWindowRect, GetClientRect, IsWindowVisible, IsWindowEnabled,
// GetWindowThreadProcessId, GetClassNameW, the styles, GetForegroundWindow, GetDesktopWindow
// and the screen's size answer without a trip to the host.
//
// The view follows the process's connection: on the first query on a connection it asks the
// host for the window table (WatchWindows), and the host tells it of every change from then
// on. What it shows:
// - once a call of this process that changes a window has returned (CreateWindowExW,
//   SetWindowPos, ShowWindow, SetWindowTextW, DestroyWindow, ...), every thread of the process
//   sees the change: the host tells the view before it answers the call;
// - a change made by another process is seen once its notice has arrived. It arrives before
//   any message that the host hands this process after the change (WM_WINDOWPOSCHANGED,
//   WM_SIZE, WM_ACTIVATE, a message posted or sent after it), so a window procedure that hears
//   of a change finds it here; a query that no such message prompted may see the window as it
//   was a moment before, as on a busy device.
// A tool, or a process whose host cannot be reached, keeps no view: its queries go to the host.
//
// Watchers: a window of this process may be posted a message whenever the windows change, so
// that it follows them without a timer (the taskbar follows the foreground window and its
// title; a soft-key bar follows its owner).
#pragma once

#include "window_state.h"

#include <ce/windows_api.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace ce {

class WindowStateView {
public:
  // A window as the query functions answer for it.
  struct Window {
    DWORD process = 0;
    DWORD thread = 0;
    HWND parent = nullptr;
    HWND owner = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG id = 0;
    bool visible = false; // the window and every ancestor (IsWindowVisible)
    bool enabled = false;
    RECT rect{};              // on the screen
    std::u16string className; // class and title only when asked for
    std::u16string title;
  };

  enum class Status {
    Current,     // the view answers
    NotKept,     // this process keeps no view (a tool): ask the host
    Unreachable, // no host (the last error says why)
  };

  // What a watcher is told of, as bits of its message's lParam.
  enum Change : LPARAM {
    kMade = 0x01,
    kDestroyed = 0x02,
    kRetitled = 0x04,
    kShownOrHidden = 0x08, // its own visibility
    kPlaced = 0x10,        // its rectangle
    kOtherwise = 0x20,     // styles, id, owner, parent, enabled state
    kForeground = 0x40,    // the foreground window (wParam null)
    kScreen = 0x80,        // the screen's size or the desktop (wParam null)
  };

  static WindowStateView &instance();

  // Makes the view follow the current connection, asking the host for the table when it does
  // not yet.
  Status current();
  // The window as the view holds it; nullopt for a window it does not know. After current().
  std::optional<Window> window(HWND hwnd, bool withText) const;
  HWND foreground() const;
  HWND desktop() const;
  SIZE screen() const;

  // Posts `message` to `listener`, a window of this process, whenever a notice brings changes
  // in `interest` (Change bits) to `watched` (to any window when null): wParam is the window
  // that changed (null when more than one did, or for kForeground and kScreen), lParam the
  // changes. At most one message per notice. Makes the view follow the connection, as
  // current() does. Returns the watch's id for unwatch().
  int watch(HWND listener, UINT message, HWND watched, LPARAM interest);
  void unwatch(int id);

  // Takes a WindowState notice that came on connection `connection` (on the reader thread); a
  // payload that is not a whole notice is dropped.
  void take(WindowStateNotice notice, std::uint64_t connection);
  void take(std::span<const std::uint8_t> payload, std::uint64_t connection);

private:
  struct Watch {
    int id;
    HWND listener;
    UINT message;
    HWND watched;
    LPARAM interest;
  };
  struct Post {
    HWND listener;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  WindowStateView();
  static LPARAM changesBetween(const WindowState *before, const WindowState *after);
  // The posts the watchers get for these changes (under the lock).
  std::vector<Post> postsFor(const std::vector<std::pair<HWND, LPARAM>> &changes) const;

  mutable std::shared_mutex mutex_;
  std::uint64_t connection_ = 0; // the connection the view follows
  bool whole_ = false;           // it has taken the whole table on that connection
  std::unordered_map<HWND, WindowState> windows_;
  HWND foreground_ = nullptr;
  HWND desktop_ = nullptr;
  SIZE screen_{};
  std::vector<Watch> watches_;
  int nextWatch_ = 1;
  std::mutex asking_; // one request for the table at a time
};

} // namespace ce
