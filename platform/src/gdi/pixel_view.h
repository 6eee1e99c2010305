// A view of pixel memory in one format, with row-wise conversion to and from 0xAARRGGBB.
#pragma once

#include "gdi/pixel_format.h"

#include <cstddef>
#include <cstdint>

namespace ce {

struct PixelView {
  std::uint8_t* top = nullptr; // first byte of the top row
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0; // bytes from one row to the next below it (negative: bottom-up)
  PixelFormat format = PixelFormat::Rgb565;
  const std::uint32_t* palette = nullptr; // 0xAARRGGBB entries, for indexed formats
  int paletteSize = 0;

  bool valid() const { return top != nullptr && width > 0 && height > 0; }
  std::uint8_t* row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
  // Bytes a row's pixels occupy (without padding).
  std::size_t rowBytes() const {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel(format)) + 7) /
           8;
  }
  bool hasAlpha() const { return format == PixelFormat::Bgra32; }
  // True when both views read the same pixels the same way (same format and palette).
  bool sameEncoding(const PixelView& other) const;
  // The lowest and highest byte the view covers, for overlap tests.
  const std::uint8_t* firstByte() const;
  const std::uint8_t* endByte() const;
  bool overlaps(const PixelView& other) const;

  // Reads `count` pixels of row y from column x (all inside the view).
  void readRow(int x, int y, int count, std::uint32_t* out) const;
  // Reads the pixels at columns xs[0..count) of row y.
  void readRowMapped(const int* xs, int y, int count, std::uint32_t* out) const;
  // Writes `count` pixels to row y from column x; alpha is dropped where the format has none.
  void writeRow(int x, int y, int count, const std::uint32_t* in) const;

  std::uint32_t pixel(int x, int y) const;
  void setPixel(int x, int y, std::uint32_t argb) const;

  // The colour a pixel written with `argb` reads back as (after narrowing or palette lookup).
  std::uint32_t representable(std::uint32_t argb) const;
  // The encoded value for `argb` (palette index for indexed formats), for fills.
  std::uint32_t encode(std::uint32_t argb) const;
  // Fills `count` pixels of row y from x with an encoded value.
  void fillRow(int x, int y, int count, std::uint32_t encoded) const;

private:
  std::uint32_t nearestIndex(std::uint32_t argb) const;
};

} // namespace ce
