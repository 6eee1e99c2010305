// What a process asks of the host's bar server when it makes a soft-key bar: the owner window,
// the SHCMBF_* flags, the background colour and the menu. It travels as the bytes of a
// WM_COPYDATA (dwData = kCopyDataTag) sent to the server's window: the magic "MBR1", u64 owner,
// u32 flags, u32 colour, then the menu in MenuCodec's form to the end.
//
// The server reads bytes from any process: decode checks every field and refuses anything
// malformed or larger than kMaxBytes.
#pragma once

#include "menu_tree.h"

#include <ce/windows_api.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ce {

struct MenuBarRequest {
  static constexpr ULONG_PTR kCopyDataTag = 0x4D424152; // "MBAR"
  static constexpr std::size_t kMaxBytes = 1u << 20;

  HWND owner = nullptr;
  DWORD flags = 0;
  COLORREF colour = 0;
  MenuTree menu;

  std::vector<std::uint8_t> encode() const;
  static std::optional<MenuBarRequest> decode(std::span<const std::uint8_t> bytes);
};

} // namespace ce
