// The screen and input requests (0x03xx): the framebuffer, overlays, the wait mark,
// screenshots, input played by the device tool and its window listing.
#pragma once

#include "../screen/input_event.h"
#include "../screen/overlay.h"
#include "../screen/stylus_gesture.h"
#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

namespace wire {
template <> struct WireLayout<OverlayPlacement> {
  static constexpr auto fields() {
    using S = OverlayPlacement;
    return std::tuple{field(&S::source),      field(&S::destination), field(&S::visible),
                      field(&S::colourKeyed), field(&S::keyLow),      field(&S::keyHigh)};
  }
};
} // namespace wire

// The framebuffer every process maps.
struct GetFramebufferRequest {
  static constexpr MessageType kType = MessageType::GetFramebuffer;
  static constexpr auto fields() { return std::tuple{}; }
  struct Reply {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Descriptor memory;
    static constexpr auto fields() {
      return std::tuple{wire::field(&Reply::width), wire::field(&Reply::height),
                        wire::field(&Reply::memory)};
    }
  };
};

// An overlay over pixels the process shares as a memfd sealed against shrinking.
struct AddOverlayRequest {
  static constexpr MessageType kType = MessageType::AddOverlay;
  static constexpr std::uint32_t kMaxSide = 4096;
  static constexpr std::uint32_t kMaxStride = 4 * kMaxSide * 4;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  std::uint32_t format = 0; // 0 RGB565, 1 BGRA premultiplied
  Descriptor pixels;
  static constexpr auto fields() {
    using S = AddOverlayRequest;
    return std::tuple{wire::bounded(&S::width, 1, kMaxSide), wire::bounded(&S::height, 1, kMaxSide),
                      wire::bounded(&S::stride, 0, kMaxStride), wire::bounded(&S::format, 0, 1),
                      wire::field(&S::pixels)};
  }
  struct Reply {
    std::uint32_t id = 0;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::id)}; }
  };
};

// Only the overlay's own process may place, move or remove it.
struct PlaceOverlayRequest {
  static constexpr MessageType kType = MessageType::PlaceOverlay;
  std::uint32_t id = 0;
  OverlayPlacement placement;
  static constexpr auto fields() {
    return std::tuple{wire::field(&PlaceOverlayRequest::id),
                      wire::field(&PlaceOverlayRequest::placement)};
  }
};

struct MoveOverlayRequest {
  static constexpr MessageType kType = MessageType::MoveOverlay;
  std::uint32_t id = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  static constexpr auto fields() {
    using S = MoveOverlayRequest;
    return std::tuple{wire::field(&S::id), wire::field(&S::x), wire::field(&S::y)};
  }
};

struct RemoveOverlayRequest {
  static constexpr MessageType kType = MessageType::RemoveOverlay;
  std::uint32_t id = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&RemoveOverlayRequest::id)}; }
};

// Writes the composed screen as PNG to an absolute host path.
struct ScreenshotRequest {
  static constexpr MessageType kType = MessageType::Screenshot;
  static constexpr std::size_t kMaxPathUnits = 4096;
  std::u16string path;
  bool window = false; // what the presenter window shows, not the framebuffer
  static constexpr auto fields() {
    using S = ScreenshotRequest;
    return std::tuple{wire::name(&S::path, kMaxPathUnits), wire::field(&S::window)};
  }
};

// One event of a gesture, at its time from the gesture's start. Only what a user can do with
// the stylus, the keys and the device itself (closing the window is not).
struct PlayedInput {
  static constexpr std::int32_t kCoordinateLimit = 32768;
  std::uint32_t atMs = 0;
  std::uint32_t kind = 0; // InputKind
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint32_t key = 0;
  std::uint32_t character = 0;
  static constexpr auto fields() {
    using S = PlayedInput;
    return std::tuple{wire::bounded(&S::atMs, 0, StylusGesture::kMaximumDuration),
                      wire::bounded(&S::kind, 0, static_cast<std::uint32_t>(InputKind::Rotate)),
                      wire::bounded(&S::x, -kCoordinateLimit, kCoordinateLimit),
                      wire::bounded(&S::y, -kCoordinateLimit, kCoordinateLimit),
                      wire::bounded(&S::key, 0, 0xFF),
                      wire::bounded(&S::character, 0, 0xFFFF)};
  }
};

// The host hands the events to the input sink at their times (which never go back), writes one
// byte to `done` after the last and closes it.
struct PlayInputRequest {
  static constexpr MessageType kType = MessageType::PlayInput;
  static constexpr std::uint32_t kMaxEvents = 4096;
  std::vector<PlayedInput> events;
  Descriptor done; // the write end of a pipe
  static constexpr auto fields() {
    return std::tuple{wire::list(&PlayInputRequest::events, kMaxEvents),
                      wire::field(&PlayInputRequest::done)};
  }
};

// One window as the inspection verbs list it.
struct ListedWindow {
  HWND handle = nullptr;
  std::u16string className;
  std::u16string title;
  DWORD pid = 0;
  RECT rect{}; // screen coordinates, exclusive right and bottom
  bool visible = false;
  bool foreground = false;
  static constexpr auto fields() {
    using S = ListedWindow;
    return std::tuple{wire::field(&S::handle),    wire::text(&S::className),
                      wire::text(&S::title),      wire::field(&S::pid),
                      wire::field(&S::rect),      wire::field(&S::visible),
                      wire::field(&S::foreground)};
  }
};

struct ListWindowsRequest {
  static constexpr MessageType kType = MessageType::ListWindows;
  static constexpr auto fields() { return std::tuple{}; }
  struct Reply {
    std::vector<ListedWindow> windows; // top-level windows in Z order, each before its children
    static constexpr auto fields() {
      return std::tuple{wire::list(&Reply::windows, wire::kAsManyAsFit)};
    }
  };
};

} // namespace ce::protocol
