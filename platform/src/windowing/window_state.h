// A window as the host tells every process of it, and the notice that carries such windows to
// a process (windowing::WindowEventType::WindowState).
//
// A notice: u32 flags, u64 foreground, u64 desktop, i32 screen width, i32 screen height,
// u32 n, n x window, u32 m, m x u64 removed window. A window: u64 hwnd, u32 device process,
// u32 thread, u64 parent, u64 owner, u32 style, u32 exStyle, i32 id, u32 visible, u32 enabled,
// i32 x4 rectangle (in its parent's client area), string class, string title.
#pragma once

#include "../protocol/message_reader.h"
#include "../protocol/message_writer.h"

#include <ce/windows_api.h>

#include <cstdint>
#include <optional>
#include <span>
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
};

struct WindowStateNotice {
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

  void write(protocol::MessageWriter &writer) const;
  // nullopt for a payload that is not a whole, well-formed notice.
  static std::optional<WindowStateNotice> read(std::span<const std::uint8_t> payload);
  // The bytes of a notice without windows, and those one window adds.
  static constexpr std::size_t kFixedBytes = 4 + 8 + 8 + 4 + 4 + 4 + 4;
  static std::size_t bytesOf(const WindowState &window);
};

} // namespace ce
