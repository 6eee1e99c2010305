#include "window_state.h"

namespace ce {
namespace {

using protocol::MessageReader;
using protocol::MessageWriter;

constexpr std::size_t kWindowFixedBytes = 8 + 4 + 4 + 8 + 8 + 4 + 4 + 4 + 4 + 4 + 16;

std::uint64_t fromHwnd(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }
HWND toHwnd(std::uint64_t value) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

bool readHwnd(MessageReader &reader, HWND &hwnd) {
  std::uint64_t value = 0;
  const bool ok = reader.u64(value);
  hwnd = toHwnd(value);
  return ok;
}

bool readFlag(MessageReader &reader, bool &flag) {
  std::uint32_t value = 0;
  if (!reader.u32(value) || value > 1)
    return false;
  flag = value != 0;
  return true;
}

bool readWindow(MessageReader &reader, WindowState &w) {
  std::uint32_t style = 0, exStyle = 0;
  std::int32_t id = 0;
  const bool ok = readHwnd(reader, w.handle) && reader.u32(w.process) && reader.u32(w.thread) &&
                  readHwnd(reader, w.parent) && readHwnd(reader, w.owner) && reader.u32(style) &&
                  reader.u32(exStyle) && reader.i32(id) && readFlag(reader, w.visible) &&
                  readFlag(reader, w.enabled) && reader.i32(w.rect.left) &&
                  reader.i32(w.rect.top) && reader.i32(w.rect.right) && reader.i32(w.rect.bottom) &&
                  reader.string(w.className, WindowState::kMaxClassUnits) &&
                  reader.string(w.title, WindowState::kMaxTitleUnits);
  w.style = style;
  w.exStyle = exStyle;
  w.id = id;
  return ok && w.handle != nullptr;
}

} // namespace

bool WindowState::operator==(const WindowState &o) const {
  return handle == o.handle && process == o.process && thread == o.thread && parent == o.parent &&
         owner == o.owner && style == o.style && exStyle == o.exStyle && id == o.id &&
         visible == o.visible && enabled == o.enabled && rect.left == o.rect.left &&
         rect.top == o.rect.top && rect.right == o.rect.right && rect.bottom == o.rect.bottom &&
         className == o.className && title == o.title;
}

std::size_t WindowStateNotice::bytesOf(const WindowState &w) {
  return kWindowFixedBytes + 8 + 2 * (w.className.size() + w.title.size());
}

void WindowStateNotice::write(MessageWriter &writer) const {
  writer.u32(flags)
      .u64(fromHwnd(foreground))
      .u64(fromHwnd(desktop))
      .i32(screen.cx)
      .i32(screen.cy)
      .u32(static_cast<std::uint32_t>(windows.size()));
  for (const WindowState &w : windows)
    writer.u64(fromHwnd(w.handle))
        .u32(w.process)
        .u32(w.thread)
        .u64(fromHwnd(w.parent))
        .u64(fromHwnd(w.owner))
        .u32(w.style)
        .u32(w.exStyle)
        .i32(w.id)
        .u32(w.visible ? 1 : 0)
        .u32(w.enabled ? 1 : 0)
        .i32(w.rect.left)
        .i32(w.rect.top)
        .i32(w.rect.right)
        .i32(w.rect.bottom)
        .string(w.className)
        .string(w.title);
  writer.u32(static_cast<std::uint32_t>(removed.size()));
  for (HWND h : removed)
    writer.u64(fromHwnd(h));
}

std::optional<WindowStateNotice> WindowStateNotice::read(std::span<const std::uint8_t> payload) {
  MessageReader reader(payload);
  WindowStateNotice notice;
  std::uint32_t count = 0;
  if (!reader.u32(notice.flags) || notice.flags > (kStartsOver | kWhole) ||
      !readHwnd(reader, notice.foreground) || !readHwnd(reader, notice.desktop) ||
      !reader.i32(notice.screen.cx) || !reader.i32(notice.screen.cy) || !reader.u32(count))
    return std::nullopt;
  // Each window takes at least its fixed bytes: a count larger than the payload could hold is
  // refused before anything is reserved for it.
  if (count > reader.remaining() / kWindowFixedBytes)
    return std::nullopt;
  notice.windows.resize(count);
  for (WindowState &w : notice.windows)
    if (!readWindow(reader, w))
      return std::nullopt;
  if (!reader.u32(count) || count > reader.remaining() / 8)
    return std::nullopt;
  notice.removed.resize(count);
  for (HWND &h : notice.removed)
    if (!readHwnd(reader, h))
      return std::nullopt;
  if (!reader.complete())
    return std::nullopt;
  return notice;
}

} // namespace ce
