// Pixel encodings that GDI bitmaps and framebuffers use, and colour conversion between them.
//
// Colours inside the raster code are 0xAARRGGBB words (the memory order of a 32-bit B,G,R,A
// pixel). Widening repeats the top bits, narrowing truncates, so unpack(pack(c)) is stable.
#pragma once

#include <ce/types.h>

#include <cstdint>

namespace ce {

enum class PixelFormat { Indexed1, Indexed4, Indexed8, Rgb565, Rgb555, Bgr24, Bgra32 };

constexpr int bitsPerPixel(PixelFormat format) {
  switch (format) {
  case PixelFormat::Indexed1: return 1;
  case PixelFormat::Indexed4: return 4;
  case PixelFormat::Indexed8: return 8;
  case PixelFormat::Rgb565:
  case PixelFormat::Rgb555: return 16;
  case PixelFormat::Bgr24: return 24;
  case PixelFormat::Bgra32: return 32;
  }
  return 0;
}

constexpr bool isIndexed(PixelFormat format) {
  return format == PixelFormat::Indexed1 || format == PixelFormat::Indexed4 ||
         format == PixelFormat::Indexed8;
}

constexpr std::uint32_t kOpaque = 0xFF000000u;

constexpr std::uint32_t expand5(std::uint32_t v) { return (v << 3) | (v >> 2); }
constexpr std::uint32_t expand6(std::uint32_t v) { return (v << 2) | (v >> 4); }

constexpr std::uint16_t packRgb565(std::uint32_t argb) {
  return static_cast<std::uint16_t>(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) |
                                    ((argb >> 3) & 0x001F));
}
constexpr std::uint32_t unpackRgb565(std::uint32_t p) {
  return kOpaque | (expand5((p >> 11) & 31) << 16) | (expand6((p >> 5) & 63) << 8) |
         expand5(p & 31);
}
constexpr std::uint16_t packRgb555(std::uint32_t argb) {
  return static_cast<std::uint16_t>(((argb >> 9) & 0x7C00) | ((argb >> 6) & 0x03E0) |
                                    ((argb >> 3) & 0x001F));
}
constexpr std::uint32_t unpackRgb555(std::uint32_t p) {
  return kOpaque | (expand5((p >> 10) & 31) << 16) | (expand5((p >> 5) & 31) << 8) |
         expand5(p & 31);
}

// COLORREF 0x00BBGGRR (high byte ignored) to an opaque 0xAARRGGBB colour and back.
constexpr std::uint32_t argbFromColorRef(COLORREF c) {
  return kOpaque | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF colorRefFromArgb(std::uint32_t argb) {
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

// Exact round(x / 255) for 0 <= x <= 65535.
constexpr std::uint32_t div255(std::uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

} // namespace ce
