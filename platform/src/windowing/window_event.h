// What the window manager asks the host to deliver: each event names the process and thread that
// owns the target window, so that the host can route it to that thread's queue.
//
// Send events are notifications handled in the sent lane of the owner thread (before its posted
// messages, inside GetMessageW/PeekMessageW); the window manager never waits for their result.
// Events for the thread whose request caused them may be handed back with the answer and run by
// that thread at once, in the order given.
#pragma once

#include <ce/windows_api.h>

#include <cstdint>
#include <optional>

namespace ce::host {

struct WindowEvent {
  enum class Kind {
    Post,       // a posted window message
    Send,       // a sent window message
    Invalidate, // the window's update region became non-empty: WM_PAINT is due
    Validate,   // the window's update region became empty: no WM_PAINT any more
  };

  Kind kind = Kind::Post;
  DWORD process = 0;
  DWORD thread = 0;
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  // The record lParam points to at the receiver (WM_WINDOWPOSCHANGED).
  std::optional<WINDOWPOS> windowPos;
};

} // namespace ce::host
