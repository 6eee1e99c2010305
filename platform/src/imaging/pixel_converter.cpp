#include "imaging/pixel_converter.h"

#include <cstring>

namespace ce {
namespace {

inline ARGB pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}
inline std::uint32_t expand5(std::uint32_t v) { return (v << 3) | (v >> 2); }
inline std::uint32_t expand6(std::uint32_t v) { return (v << 2) | (v >> 4); }

} // namespace

bool PixelConverter::isSupported(PixelFormatID format) {
  switch (format) {
  case PixelFormat1bppIndexed:
  case PixelFormat4bppIndexed:
  case PixelFormat8bppIndexed:
  case PixelFormat16bppRGB555:
  case PixelFormat16bppRGB565:
  case PixelFormat16bppARGB1555:
  case PixelFormat24bppRGB:
  case PixelFormat32bppRGB:
  case PixelFormat32bppARGB:
  case PixelFormat32bppPARGB:
    return true;
  default:
    return false;
  }
}

std::uint64_t PixelConverter::strideFor(PixelFormatID format, std::uint64_t width) {
  return (width * GetPixelFormatSize(format) + 31) / 32 * 4;
}

std::vector<ARGB> PixelConverter::defaultPalette(PixelFormatID format) {
  std::vector<ARGB> palette;
  if (format == PixelFormat1bppIndexed) {
    palette = {0xFF000000u, 0xFFFFFFFFu};
  } else if (format == PixelFormat4bppIndexed) {
    palette = {0xFF000000u, 0xFF800000u, 0xFF008000u, 0xFF808000u, 0xFF000080u, 0xFF800080u,
               0xFF008080u, 0xFF808080u, 0xFFC0C0C0u, 0xFFFF0000u, 0xFF00FF00u, 0xFFFFFF00u,
               0xFF0000FFu, 0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu};
  } else if (format == PixelFormat8bppIndexed) {
    for (std::uint32_t r = 0; r < 6; ++r)
      for (std::uint32_t g = 0; g < 6; ++g)
        for (std::uint32_t b = 0; b < 6; ++b)
          palette.push_back(pack(255, r * 51, g * 51, b * 51));
    // 40 greys between the cube's own levels fill the rest.
    for (std::uint32_t i = 0; i < 40; ++i) {
      const std::uint32_t v = (i + 1) * 255 / 41;
      palette.push_back(pack(255, v, v, v));
    }
  }
  return palette;
}

PixelConverter::PixelConverter(PixelFormatID format, const std::vector<ARGB> *palette)
    : format_(format), palette_(palette) {}

ARGB PixelConverter::premultiply(ARGB c) {
  const std::uint32_t a = c >> 24;
  if (a == 255)
    return c;
  if (a == 0)
    return 0;
  auto mul = [a](std::uint32_t v) { return (v * a + 127) / 255; };
  return pack(a, mul((c >> 16) & 255), mul((c >> 8) & 255), mul(c & 255));
}

ARGB PixelConverter::unpremultiply(ARGB c) {
  const std::uint32_t a = c >> 24;
  if (a == 255)
    return c;
  if (a == 0)
    return 0;
  auto div = [a](std::uint32_t v) {
    const std::uint32_t r = (v * 255 + a / 2) / a;
    return r > 255 ? 255u : r;
  };
  return pack(a, div((c >> 16) & 255), div((c >> 8) & 255), div(c & 255));
}

void PixelConverter::toArgb(const std::uint8_t *row, UINT x, UINT count, ARGB *out) const {
  auto fromPalette = [this](std::uint32_t index) -> ARGB {
    return palette_ && index < palette_->size() ? (*palette_)[index] : 0xFF000000u;
  };
  for (UINT i = 0; i < count; ++i) {
    const UINT px = x + i;
    switch (format_) {
    case PixelFormat1bppIndexed:
      out[i] = fromPalette((row[px >> 3] >> (7 - (px & 7))) & 1);
      break;
    case PixelFormat4bppIndexed:
      out[i] = fromPalette((px & 1) ? row[px >> 1] & 15 : row[px >> 1] >> 4);
      break;
    case PixelFormat8bppIndexed:
      out[i] = fromPalette(row[px]);
      break;
    case PixelFormat16bppRGB555:
    case PixelFormat16bppARGB1555: {
      const std::uint32_t v = row[px * 2] | (std::uint32_t(row[px * 2 + 1]) << 8);
      const std::uint32_t a = format_ == PixelFormat16bppRGB555 || (v & 0x8000) ? 255 : 0;
      out[i] = pack(a, expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
      break;
    }
    case PixelFormat16bppRGB565: {
      const std::uint32_t v = row[px * 2] | (std::uint32_t(row[px * 2 + 1]) << 8);
      out[i] = pack(255, expand5(v >> 11), expand6((v >> 5) & 63), expand5(v & 31));
      break;
    }
    case PixelFormat24bppRGB:
      out[i] = pack(255, row[px * 3 + 2], row[px * 3 + 1], row[px * 3]);
      break;
    case PixelFormat32bppRGB:
      out[i] = pack(255, row[px * 4 + 2], row[px * 4 + 1], row[px * 4]);
      break;
    case PixelFormat32bppARGB:
      std::memcpy(&out[i], row + px * 4, 4);
      break;
    case PixelFormat32bppPARGB: {
      ARGB c;
      std::memcpy(&c, row + px * 4, 4);
      out[i] = unpremultiply(c);
      break;
    }
    default:
      out[i] = 0;
    }
  }
}

std::uint8_t PixelConverter::nearestIndex(ARGB colour) {
  if (!palette_ || palette_->empty())
    return 0;
  auto cached = nearestCache_.find(colour);
  if (cached != nearestCache_.end())
    return cached->second;
  std::uint8_t best = 0;
  std::uint64_t bestDistance = ~0ull;
  const std::size_t count = palette_->size() > 256 ? 256 : palette_->size();
  for (std::size_t i = 0; i < count; ++i) {
    const ARGB p = (*palette_)[i];
    std::uint64_t d = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const int delta = int((colour >> shift) & 255) - int((p >> shift) & 255);
      d += std::uint64_t(delta * delta);
    }
    if (d < bestDistance) {
      bestDistance = d;
      best = std::uint8_t(i);
      if (d == 0)
        break;
    }
  }
  nearestCache_.emplace(colour, best);
  return best;
}

void PixelConverter::fromArgb(const ARGB *in, UINT count, std::uint8_t *row, UINT x) {
  for (UINT i = 0; i < count; ++i) {
    const UINT px = x + i;
    const ARGB c = in[i];
    const std::uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    switch (format_) {
    case PixelFormat1bppIndexed: {
      const std::uint8_t bit = std::uint8_t(0x80 >> (px & 7));
      if (nearestIndex(c) & 1)
        row[px >> 3] |= bit;
      else
        row[px >> 3] &= std::uint8_t(~bit);
      break;
    }
    case PixelFormat4bppIndexed: {
      const std::uint8_t v = nearestIndex(c) & 15;
      std::uint8_t &byte = row[px >> 1];
      byte = (px & 1) ? std::uint8_t((byte & 0xF0) | v) : std::uint8_t((byte & 0x0F) | (v << 4));
      break;
    }
    case PixelFormat8bppIndexed:
      row[px] = nearestIndex(c);
      break;
    case PixelFormat16bppRGB555:
    case PixelFormat16bppARGB1555: {
      std::uint32_t v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      if (format_ == PixelFormat16bppARGB1555 && a >= 128)
        v |= 0x8000;
      row[px * 2] = std::uint8_t(v);
      row[px * 2 + 1] = std::uint8_t(v >> 8);
      break;
    }
    case PixelFormat16bppRGB565: {
      const std::uint32_t v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      row[px * 2] = std::uint8_t(v);
      row[px * 2 + 1] = std::uint8_t(v >> 8);
      break;
    }
    case PixelFormat24bppRGB:
      row[px * 3] = std::uint8_t(b);
      row[px * 3 + 1] = std::uint8_t(g);
      row[px * 3 + 2] = std::uint8_t(r);
      break;
    case PixelFormat32bppRGB: {
      const ARGB opaque = c | 0xFF000000u;
      std::memcpy(row + px * 4, &opaque, 4);
      break;
    }
    case PixelFormat32bppARGB:
      std::memcpy(row + px * 4, &c, 4);
      break;
    case PixelFormat32bppPARGB: {
      const ARGB p = premultiply(c);
      std::memcpy(row + px * 4, &p, 4);
      break;
    }
    default:
      break;
    }
  }
}

} // namespace ce
