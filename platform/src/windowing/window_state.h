// A window as the host tells every process of it, and the event that carries such windows to
// a process (windowing::WindowEventType::WindowState), declared for the codec.
#pragma once

#include "../protocol/message_codec.h"
#include "window_protocol.h"

#include <ce/windows_api.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ce {

struct WindowState {
  static constexpr std::size_t kMaxClassUnits = 256;
  static constexpr std::size_t kMaxTitleUnits = 4096;

  HWND handle = nullptr;
  DWORD process = 0; // the device process (GetWindowThreadProcessId)
  DWORD thread = 0;
  HWND parent = nullptr; // the desktop for top-level windows; null for the desktop itself
  HWND owner = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG id = 0;
  bool visible = false; // its own flag: IsWindowVisible asks its ancestors too
  bool enabled = true;
  RECT rect{}; // in its parent's client area; the desktop's is the screen
  std::u16string className;
  std::u16string title;

  bool operator==(const WindowState &other) const;
  static constexpr auto fields() {
    namespace wire = protocol::wire;
    using S = WindowState;
    return std::tuple{wire::field(&S::handle),
                      wire::field(&S::process),
                      wire::field(&S::thread),
                      wire::field(&S::parent),
                      wire::field(&S::owner),
                      wire::field(&S::style),
                      wire::field(&S::exStyle),
                      wire::field(&S::id),
                      wire::field(&S::visible),
                      wire::field(&S::enabled),
                      wire::field(&S::rect),
                      wire::text(&S::className, kMaxClassUnits),
                      wire::text(&S::title, kMaxTitleUnits)};
  }
  bool wellFormed() const { return handle != nullptr; }
};

struct WindowStateNotice {
  static constexpr windowing::WindowEventType kType = windowing::WindowEventType::WindowState;
  // The receiver forgets every window it knew before taking this notice's.
  static constexpr std::uint32_t kStartsOver = 1;
  // With this notice the receiver knows every window of the device.
  static constexpr std::uint32_t kWhole = 2;

  std::uint32_t flags = 0;
  HWND foreground = nullptr;
  HWND desktop = nullptr;
  SIZE screen{};
  std::vector<WindowState> windows; // new or changed
  std::vector<HWND> removed;

  static constexpr auto fields() {
    namespace wire = protocol::wire;
    using S = WindowStateNotice;
    return std::tuple{wire::bounded(&S::flags, 0, kStartsOver | kWhole),
                      wire::field(&S::foreground),
                      wire::field(&S::desktop),
                      wire::field(&S::screen),
                      wire::list(&S::windows, wire::kAsManyAsFit),
                      wire::list(&S::removed, wire::kAsManyAsFit)};
  }
};

} // namespace ce
