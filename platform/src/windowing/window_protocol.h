// The window manager's requests and events on the host socket (range 0x02xx). Their fields,
// the caller's thread in front of every request and the messages handed back after every
// answer are declared in window_messages.h (WindowState's in window_state.h).
#pragma once

#include "../protocol/message_type.h"

#include <cstdint>

namespace ce::windowing {

enum class WindowRequest : std::uint32_t {
  RegisterClass = 0x0201,
  CreateWindow = 0x0202,
  DestroyWindow = 0x0203,
  QueryWindow = 0x0204,
  GetWindow = 0x0205,
  FindWindow = 0x0206,
  EnumWindows = 0x0207,
  SetText = 0x0208,
  SetWindowLong = 0x0209,
  ShowWindow = 0x020A,
  SetWindowPos = 0x020B,
  EnableWindow = 0x020C,
  State = 0x020D,
  SetForeground = 0x020E,
  SetActive = 0x020F,
  SetFocus = 0x0210,
  Invalidate = 0x0211,
  Validate = 0x0212,
  UpdateRegion = 0x0213,
  BeginPaint = 0x0214,
  VisibleRegion = 0x0215,
  PostMessage = 0x0216, // answered once the host has queued it for the window's process
  SendMessage = 0x0217,
  KeyboardEvent = 0x0218,
  SetCursor = 0x0219,
  FullScreen = 0x021A,
  SetCapture = 0x021B,
  ReleaseCapture = 0x021C,
  GetCapture = 0x021D,
  UnregisterClass = 0x021E,
  WorkArea = 0x021F,
  WatchWindows = 0x0220, // the window table comes first in WindowState events, then changes
  ThreadEnded = 0x0221,  // notice: a thread of the caller's process ended, its windows go
};

enum class WindowEventType : std::uint32_t {
  PaintState = 0x0280,
  Input = 0x0281,
  WindowState = 0x0282,
};

inline constexpr std::uint32_t operator+(WindowRequest request) {
  return static_cast<std::uint32_t>(request);
}
inline constexpr std::uint32_t operator+(WindowEventType event) {
  return static_cast<std::uint32_t>(event);
}

} // namespace ce::windowing
