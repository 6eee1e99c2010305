#include "gdi/pixel_view.h"

#include <algorithm>
#include <cstring>

namespace ce {

bool PixelView::sameEncoding(const PixelView& other) const {
  if (format != other.format) return false;
  if (!isIndexed(format)) return true;
  if (palette == other.palette && paletteSize == other.paletteSize) return true;
  return paletteSize == other.paletteSize &&
         std::equal(palette, palette + paletteSize, other.palette);
}

const std::uint8_t* PixelView::firstByte() const {
  return stride >= 0 ? top : top + static_cast<std::ptrdiff_t>(height - 1) * stride;
}

const std::uint8_t* PixelView::endByte() const {
  const std::uint8_t* last = stride >= 0 ? top + static_cast<std::ptrdiff_t>(height - 1) * stride
                                         : top;
  return last + rowBytes();
}

bool PixelView::overlaps(const PixelView& other) const {
  return firstByte() < other.endByte() && other.firstByte() < endByte();
}

namespace {

inline std::uint32_t paletteAt(const PixelView& v, std::uint32_t index) {
  return index < static_cast<std::uint32_t>(v.paletteSize) ? (v.palette[index] | kOpaque) : kOpaque;
}

inline std::uint32_t readOne(const PixelView& v, const std::uint8_t* row, int x) {
  switch (v.format) {
  case PixelFormat::Indexed1:
    return paletteAt(v, (row[x >> 3] >> (7 - (x & 7))) & 1);
  case PixelFormat::Indexed4:
    return paletteAt(v, (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
  case PixelFormat::Indexed8:
    return paletteAt(v, row[x]);
  case PixelFormat::Rgb565: {
    std::uint16_t p;
    std::memcpy(&p, row + 2 * x, 2);
    return unpackRgb565(p);
  }
  case PixelFormat::Rgb555: {
    std::uint16_t p;
    std::memcpy(&p, row + 2 * x, 2);
    return unpackRgb555(p);
  }
  case PixelFormat::Bgr24: {
    const std::uint8_t* p = row + 3 * x;
    return kOpaque | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
  }
  case PixelFormat::Bgra32: {
    std::uint32_t p;
    std::memcpy(&p, row + 4 * x, 4);
    return p;
  }
  }
  return kOpaque;
}

inline void writeEncoded(const PixelView& v, std::uint8_t* row, int x, std::uint32_t e) {
  switch (v.format) {
  case PixelFormat::Indexed1: {
    const int shift = 7 - (x & 7);
    row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(1 << shift)) | ((e & 1) << shift));
    break;
  }
  case PixelFormat::Indexed4: {
    const int shift = (x & 1) ? 0 : 4;
    row[x >> 1] =
        static_cast<std::uint8_t>((row[x >> 1] & ~(15 << shift)) | ((e & 15) << shift));
    break;
  }
  case PixelFormat::Indexed8: row[x] = static_cast<std::uint8_t>(e); break;
  case PixelFormat::Rgb565:
  case PixelFormat::Rgb555: {
    const auto p = static_cast<std::uint16_t>(e);
    std::memcpy(row + 2 * x, &p, 2);
    break;
  }
  case PixelFormat::Bgr24: {
    std::uint8_t* p = row + 3 * x;
    p[0] = static_cast<std::uint8_t>(e);
    p[1] = static_cast<std::uint8_t>(e >> 8);
    p[2] = static_cast<std::uint8_t>(e >> 16);
    break;
  }
  case PixelFormat::Bgra32: std::memcpy(row + 4 * x, &e, 4); break;
  }
}

} // namespace

std::uint32_t PixelView::nearestIndex(std::uint32_t argb) const {
  if (paletteSize <= 0) return 0;
  const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  std::uint32_t best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < paletteSize; ++i) {
    const std::uint32_t c = palette[i];
    const int dr = r - int((c >> 16) & 0xFF), dg = g - int((c >> 8) & 0xFF), db = b - int(c & 0xFF);
    const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<std::uint32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

std::uint32_t PixelView::encode(std::uint32_t argb) const {
  switch (format) {
  case PixelFormat::Indexed1:
  case PixelFormat::Indexed4:
  case PixelFormat::Indexed8: return nearestIndex(argb);
  case PixelFormat::Rgb565: return packRgb565(argb);
  case PixelFormat::Rgb555: return packRgb555(argb);
  case PixelFormat::Bgr24: return argb & 0xFFFFFF;
  case PixelFormat::Bgra32: return argb;
  }
  return 0;
}

std::uint32_t PixelView::representable(std::uint32_t argb) const {
  switch (format) {
  case PixelFormat::Indexed1:
  case PixelFormat::Indexed4:
  case PixelFormat::Indexed8: return paletteAt(*this, nearestIndex(argb));
  case PixelFormat::Rgb565: return unpackRgb565(packRgb565(argb));
  case PixelFormat::Rgb555: return unpackRgb555(packRgb555(argb));
  case PixelFormat::Bgr24: return argb | kOpaque;
  case PixelFormat::Bgra32: return argb;
  }
  return argb;
}

void PixelView::readRow(int x, int y, int count, std::uint32_t* out) const {
  const std::uint8_t* r = row(y);
  switch (format) {
  case PixelFormat::Rgb565: {
    const std::uint8_t* p = r + 2 * x;
    for (int i = 0; i < count; ++i) {
      std::uint16_t v;
      std::memcpy(&v, p + 2 * i, 2);
      out[i] = unpackRgb565(v);
    }
    return;
  }
  case PixelFormat::Bgra32: std::memcpy(out, r + 4 * x, static_cast<std::size_t>(count) * 4); return;
  default:
    for (int i = 0; i < count; ++i) out[i] = readOne(*this, r, x + i);
  }
}

void PixelView::readRowMapped(const int* xs, int y, int count, std::uint32_t* out) const {
  const std::uint8_t* r = row(y);
  for (int i = 0; i < count; ++i) out[i] = readOne(*this, r, xs[i]);
}

void PixelView::writeRow(int x, int y, int count, const std::uint32_t* in) const {
  std::uint8_t* r = row(y);
  switch (format) {
  case PixelFormat::Rgb565: {
    std::uint8_t* p = r + 2 * x;
    for (int i = 0; i < count; ++i) {
      const std::uint16_t v = packRgb565(in[i]);
      std::memcpy(p + 2 * i, &v, 2);
    }
    return;
  }
  case PixelFormat::Bgra32: std::memcpy(r + 4 * x, in, static_cast<std::size_t>(count) * 4); return;
  case PixelFormat::Indexed1:
  case PixelFormat::Indexed4:
  case PixelFormat::Indexed8: {
    // Runs of one colour are common (masks, fills); remember the last lookup.
    std::uint32_t lastColor = ~in[0], lastIndex = 0;
    for (int i = 0; i < count; ++i) {
      if (in[i] != lastColor) {
        lastColor = in[i];
        lastIndex = nearestIndex(in[i]);
      }
      writeEncoded(*this, r, x + i, lastIndex);
    }
    return;
  }
  default:
    for (int i = 0; i < count; ++i) writeEncoded(*this, r, x + i, encode(in[i]));
  }
}

std::uint32_t PixelView::pixel(int x, int y) const { return readOne(*this, row(y), x); }

void PixelView::setPixel(int x, int y, std::uint32_t argb) const {
  writeEncoded(*this, row(y), x, encode(argb));
}

void PixelView::fillRow(int x, int y, int count, std::uint32_t encoded) const {
  std::uint8_t* r = row(y);
  switch (format) {
  case PixelFormat::Rgb565:
  case PixelFormat::Rgb555: {
    auto* p = reinterpret_cast<std::uint16_t*>(r) + x;
    if ((reinterpret_cast<std::uintptr_t>(p) & 1) == 0) {
      std::fill(p, p + count, static_cast<std::uint16_t>(encoded));
      return;
    }
    break;
  }
  case PixelFormat::Bgra32: {
    auto* p = reinterpret_cast<std::uint32_t*>(r) + x;
    if ((reinterpret_cast<std::uintptr_t>(p) & 3) == 0) {
      std::fill(p, p + count, encoded);
      return;
    }
    break;
  }
  case PixelFormat::Indexed8: std::memset(r + x, static_cast<int>(encoded), count); return;
  default: break;
  }
  for (int i = 0; i < count; ++i) writeEncoded(*this, r, x + i, encoded);
}

} // namespace ce
