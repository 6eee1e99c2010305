#include "menu_bar_request.h"

#include "../protocol/message_reader.h"
#include "menu_codec.h"

#include <ce/menubar.h>

namespace ce {

namespace {

constexpr std::uint32_t kMagic = 0x3152424D; // "MBR1"
constexpr DWORD kKnownFlags =
    SHCMBF_EMPTYBAR | SHCMBF_HIDDEN | SHCMBF_HIDESIPBUTTON | SHCMBF_COLORBK | SHCMBF_HMENU;

void put(std::vector<std::uint8_t> &out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<std::uint8_t> MenuBarRequest::encode() const {
  std::vector<std::uint8_t> out;
  put(out, kMagic, 4);
  put(out, reinterpret_cast<std::uintptr_t>(owner), 8);
  put(out, flags, 4);
  put(out, colour, 4);
  const auto menuBytes = MenuCodec::encode(menu);
  out.insert(out.end(), menuBytes.begin(), menuBytes.end());
  return out;
}

std::optional<MenuBarRequest> MenuBarRequest::decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxBytes)
    return std::nullopt;
  protocol::MessageReader in(bytes);
  std::uint32_t magic = 0, flags = 0, colour = 0;
  std::uint64_t owner = 0;
  if (!in.u32(magic) || !in.u64(owner) || !in.u32(flags) || !in.u32(colour) || magic != kMagic ||
      (flags & ~kKnownFlags) || owner == 0)
    return std::nullopt;
  constexpr std::size_t kHeader = 20;
  auto menu = MenuCodec::decode(bytes.subspan(kHeader));
  if (!menu)
    return std::nullopt;
  MenuBarRequest request;
  request.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
  request.flags = flags;
  request.colour = colour;
  request.menu = std::move(*menu);
  return request;
}

} // namespace ce
