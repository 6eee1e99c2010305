// The window manager's requests and events on the host socket (range 0x02xx). Every request
// starts with the calling thread's id (u32); handles travel as u64, rectangles as four i32.
// Every answer except SendMessage's ends with the messages sent to the caller's own thread by
// the operation: u32 n, n x (u64 hwnd, u32 message, u64 wParam, i64 lParam, data), which the
// caller runs before its call returns. A failed answer holds only those. "data" is a message's
// data field (message_data_field.h): u32 packed, blob.
#pragma once

#include "../protocol/message_type.h"

#include <cstdint>

namespace ce::windowing {

enum class WindowRequest : std::uint32_t {
  RegisterClass = 0x0201,   // string name, u32 style -> u32 atom
  CreateWindow = 0x0202,    // string class, string title, u32 style, u32 exStyle, i32 x, y, w, h,
                            // u64 parent, i32 id -> u64 hwnd
  DestroyWindow = 0x0203,   // u64 hwnd
  QueryWindow = 0x0204,     // u64 hwnd -> u32 pid, u32 tid, u64 parent, u64 owner, u32 style,
                            // u32 exStyle, i32 id, u32 visible, u32 enabled, rect window,
                            // i32 client x, y, string class, string title
  GetWindow = 0x0205,       // u64 hwnd, u32 command -> u64 hwnd
  FindWindow = 0x0206,      // u32 hasClass, string class, u32 hasTitle, string title -> u64 hwnd
  EnumWindows = 0x0207,     // -> u32 n, n x u64 hwnd
  SetText = 0x0208,         // u64 hwnd, string text
  SetWindowLong = 0x0209,   // u64 hwnd, i32 index, i32 value -> i32 previous
  ShowWindow = 0x020A,      // u64 hwnd, i32 command -> u32 was visible
  SetWindowPos = 0x020B,    // u64 hwnd, u64 after, i32 x, y, cx, cy, u32 flags
  EnableWindow = 0x020C,    // u64 hwnd, u32 enable -> u32 was disabled
  State = 0x020D,           // -> u64 foreground, u64 active, u64 focus, u64 desktop, i32 w, h
  SetForeground = 0x020E,   // u64 hwnd
  SetActive = 0x020F,       // u64 hwnd -> u64 previous
  SetFocus = 0x0210,        // u64 hwnd -> u64 previous
  Invalidate = 0x0211,      // u64 hwnd, u32 hasRect, rect
  Validate = 0x0212,        // u64 hwnd, u32 hasRect, rect
  UpdateRegion = 0x0213,    // u64 hwnd -> rect bounds, u32 n, n x rect (client coordinates)
  BeginPaint = 0x0214,      // u64 hwnd -> like UpdateRegion, then the window's visible region
  VisibleRegion = 0x0215,   // u64 hwnd -> i32 client x, y, u32 n, n x rect (screen coordinates)
  PostMessage = 0x0216,     // u64 hwnd, u32 message, u64 wParam, i64 lParam (answered once
                            // the host has queued it for the window's process)
  SendMessage = 0x0217,     // same, data -> i64 result, blob reply (WM_GETTEXT's text)
  KeyboardEvent = 0x0218,   // u32 key, u32 flags
  SetCursor = 0x0219,       // u32 wait
  FullScreen = 0x021A,      // u64 hwnd, u32 flags
  SetCapture = 0x021B,      // u64 hwnd (0 releases) -> u64 previous capture window
  ReleaseCapture = 0x021C,  // -> nothing
  GetCapture = 0x021D,      // -> u64 capture window
  UnregisterClass = 0x021E, // string name
  WorkArea = 0x021F,        // -> rect work area (screen coordinates)
  WatchWindows = 0x0220,    // -> nothing; the window table comes first in WindowState events,
                            // and every change to it after them
  ThreadEnded = 0x0221,     // (notice, no reply; the thread id is the thread that ended) its
                            // windows go, with no WM_DESTROY to that thread
};

enum class WindowEventType : std::uint32_t {
  PaintState = 0x0280,  // u32 tid, u64 hwnd, u32 needs paint
  Input = 0x0281,       // u32 tid, u64 hwnd, u32 message, u64 wParam, i64 lParam, i32 x, y
  WindowState = 0x0282, // see window_state.h
};

inline constexpr std::uint32_t operator+(WindowRequest request) {
  return static_cast<std::uint32_t>(request);
}
inline constexpr std::uint32_t operator+(WindowEventType event) {
  return static_cast<std::uint32_t>(event);
}
inline protocol::MessageType messageType(WindowRequest request) {
  return static_cast<protocol::MessageType>(request);
}

} // namespace ce::windowing
