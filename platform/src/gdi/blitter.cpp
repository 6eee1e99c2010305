#include "gdi/blitter.h"

#include "gdi/region.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ce {

namespace {

inline std::uint32_t ropBits(std::uint8_t index, std::uint32_t p, std::uint32_t s,
                             std::uint32_t d) {
  switch (index) {
  case 0x00: return 0;
  case 0xFF: return ~0u;
  case 0xCC: return s;
  case 0x33: return ~s;
  case 0x88: return s & d;
  case 0xEE: return s | d;
  case 0x66: return s ^ d;
  case 0x44: return s & ~d;
  case 0x11: return ~(s | d);
  case 0xC0: return p & s;
  case 0xBB: return ~s | d;
  case 0xF0: return p;
  case 0xFB: return p | ~s | d;
  case 0x5A: return p ^ d;
  case 0x55: return ~d;
  case 0xAA: return d;
  default: break;
  }
  // Bit i of the code is the result for pattern bit (i & 4), source bit (i & 2), dest bit (i & 1).
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i)
    if ((index >> i) & 1)
      r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

constexpr bool ropUsesDest(std::uint8_t index) { return ((index >> 1) & 0x55) != (index & 0x55); }
constexpr bool ropUsesSource(std::uint8_t index) { return ((index >> 2) & 0x33) != (index & 0x33); }

inline std::uint32_t blendConstant(std::uint32_t s, std::uint32_t d, std::uint32_t alpha) {
  const std::uint32_t inv = 255 - alpha;
  const std::uint32_t r = div255(((s >> 16) & 0xFF) * alpha + ((d >> 16) & 0xFF) * inv);
  const std::uint32_t g = div255(((s >> 8) & 0xFF) * alpha + ((d >> 8) & 0xFF) * inv);
  const std::uint32_t b = div255((s & 0xFF) * alpha + (d & 0xFF) * inv);
  const std::uint32_t a = div255(255 * alpha + (d >> 24) * inv);
  return (a << 24) | (r << 16) | (g << 8) | b;
}

inline std::uint32_t blendPremultiplied(std::uint32_t s, std::uint32_t d, std::uint32_t alpha) {
  std::uint32_t sa = s >> 24, sr = (s >> 16) & 0xFF, sg = (s >> 8) & 0xFF, sb = s & 0xFF;
  if (alpha != 255) {
    sa = div255(sa * alpha);
    sr = div255(sr * alpha);
    sg = div255(sg * alpha);
    sb = div255(sb * alpha);
  }
  const std::uint32_t inv = 255 - sa;
  const std::uint32_t r = std::min<std::uint32_t>(255, sr + div255(((d >> 16) & 0xFF) * inv));
  const std::uint32_t g = std::min<std::uint32_t>(255, sg + div255(((d >> 8) & 0xFF) * inv));
  const std::uint32_t b = std::min<std::uint32_t>(255, sb + div255((d & 0xFF) * inv));
  const std::uint32_t a = std::min<std::uint32_t>(255, sa + div255((d >> 24) * inv));
  return (a << 24) | (r << 16) | (g << 8) | b;
}

inline std::uint32_t blendCoverage(std::uint32_t color, std::uint32_t d, std::uint32_t c) {
  const std::uint32_t inv = 255 - c;
  const std::uint32_t r = div255(((color >> 16) & 0xFF) * c + ((d >> 16) & 0xFF) * inv);
  const std::uint32_t g = div255(((color >> 8) & 0xFF) * c + ((d >> 8) & 0xFF) * inv);
  const std::uint32_t b = div255((color & 0xFF) * c + (d & 0xFF) * inv);
  const std::uint32_t a = c + div255((d >> 24) * inv);
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Premultiplied 32-bit pixels over a 5-6-5 row, with the exact arithmetic of
// blendPremultiplied (the hot path for icons and text pictures on the screen).
void blendRowOnto565(const std::uint32_t* s, std::uint16_t* d, int count, std::uint32_t alpha) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i mask8 = _mm_set1_epi32(0xFF);
  const __m128i c255 = _mm_set1_epi16(255);
  const __m128i c128 = _mm_set1_epi16(128);
  const __m128i constant = _mm_set1_epi16(static_cast<short>(alpha));
  auto div255 = [&](__m128i x) {
    x = _mm_add_epi16(x, c128);
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
  };
  // One channel of eight source pixels, as 16-bit lanes.
  auto channel = [&](__m128i lo, __m128i hi, int shift) {
    return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(lo, shift), mask8),
                           _mm_and_si128(_mm_srli_epi32(hi, shift), mask8));
  };
  for (; i + 8 <= count; i += 8) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(lo, hi), _mm_setzero_si128())) == 0xFFFF)
      continue; // eight transparent pixels
    __m128i sa = channel(lo, hi, 24), sr = channel(lo, hi, 16), sg = channel(lo, hi, 8),
            sb = channel(lo, hi, 0);
    if (alpha != 255) {
      sa = div255(_mm_mullo_epi16(sa, constant));
      sr = div255(_mm_mullo_epi16(sr, constant));
      sg = div255(_mm_mullo_epi16(sg, constant));
      sb = div255(_mm_mullo_epi16(sb, constant));
    }
    const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i r5 = _mm_srli_epi16(dp, 11);
    const __m128i g6 = _mm_and_si128(_mm_srli_epi16(dp, 5), _mm_set1_epi16(63));
    const __m128i b5 = _mm_and_si128(dp, _mm_set1_epi16(31));
    const __m128i dr = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
    const __m128i dg = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
    const __m128i db = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
    const __m128i inv = _mm_sub_epi16(c255, sa);
    const __m128i r = _mm_min_epi16(c255, _mm_add_epi16(sr, div255(_mm_mullo_epi16(dr, inv))));
    const __m128i g = _mm_min_epi16(c255, _mm_add_epi16(sg, div255(_mm_mullo_epi16(dg, inv))));
    const __m128i b = _mm_min_epi16(c255, _mm_add_epi16(sb, div255(_mm_mullo_epi16(db, inv))));
    const __m128i out = _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), 11), _mm_slli_epi16(_mm_srli_epi16(g, 2), 5)),
        _mm_srli_epi16(b, 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
  }
#endif
  for (; i < count; ++i) {
    const std::uint32_t p = s[i];
    if (p == 0) continue;
    if (alpha == 255 && (p >> 24) == 255) {
      d[i] = packRgb565(p);
      continue;
    }
    d[i] = packRgb565(blendPremultiplied(p, unpackRgb565(d[i]), alpha));
  }
}

} // namespace

Blitter::Blitter(const PixelView& target, std::vector<RECT> clip)
    : target_(target), clip_(std::move(clip)) {
  const RECT bounds{0, 0, target_.width, target_.height};
  std::vector<RECT> kept;
  for (const auto& r : clip_) {
    const RECT c = rectIntersection(r, bounds);
    if (!rectEmpty(c)) kept.push_back(c);
  }
  clip_.swap(kept);
  if (!target_.valid()) clip_.clear();
}

void Blitter::restrictTo(const RECT& rect) {
  std::vector<RECT> kept;
  for (const auto& r : clip_) {
    const RECT c = rectIntersection(r, rect);
    if (!rectEmpty(c)) kept.push_back(c);
  }
  clip_.swap(kept);
}

template <class Fn> void Blitter::forEachClipped(const RECT& rect, Fn&& fn) {
  for (const auto& c : clip_) {
    const RECT sub = rectIntersection(rect, c);
    if (!rectEmpty(sub)) fn(sub);
  }
}

void Blitter::fill(const RECT& rect, std::uint32_t color) {
  const std::uint32_t encoded = target_.encode(color | kOpaque);
  forEachClipped(rect, [&](const RECT& sub) {
    for (int y = sub.top; y < sub.bottom; ++y)
      target_.fillRow(sub.left, y, sub.right - sub.left, encoded);
  });
}

BlitSource Blitter::detachedSource(const BlitSource& source,
                                   std::vector<std::uint8_t>& storage) const {
  BlitSource copy = source;
  const int y0 = std::max(0, source.y.sourceStart);
  const int y1 = std::min(source.view.height, source.y.sourceStart + source.y.sourceLength);
  if (y1 <= y0) return copy; // nothing inside the source: every row is skipped anyway
  const std::size_t rowBytes = source.view.rowBytes();
  storage.resize(rowBytes * static_cast<std::size_t>(y1 - y0));
  for (int y = y0; y < y1; ++y)
    std::memcpy(storage.data() + rowBytes * static_cast<std::size_t>(y - y0), source.view.row(y),
                rowBytes);
  copy.view.top = storage.data();
  copy.view.stride = static_cast<std::ptrdiff_t>(rowBytes);
  copy.view.height = y1 - y0;
  copy.y.sourceStart -= y0;
  return copy;
}

bool Blitter::mapColumns(const RECT& sub, const BlitSource& source, std::vector<int>& xs,
                         int* first, int* last) const {
  const int width = sub.right - sub.left;
  xs.resize(static_cast<std::size_t>(width));
  int a = -1, b = -1;
  for (int i = 0; i < width; ++i) {
    const int sx = source.x.sourceFor(sub.left + i);
    xs[static_cast<std::size_t>(i)] = sx;
    if (sx >= 0 && sx < source.view.width) {
      if (a < 0) a = i;
      b = i + 1;
    }
  }
  if (a < 0) return false;
  *first = sub.left + a;
  *last = sub.left + b;
  return true;
}

bool Blitter::fastCopy(const RECT& dest, const BlitSource& source) {
  const PixelView& src = source.view;
  const int bytesPerPixel = bitsPerPixel(target_.format) / 8;
  const int dx = source.x.sourceStart - source.x.destStart;
  const int dy = source.y.sourceStart - source.y.destStart;
  const RECT sourceInDest{-dx, -dy, src.width - dx, src.height - dy};
  const bool sameMemory = src.overlaps(target_);
  forEachClipped(rectIntersection(dest, sourceInDest), [&](const RECT& sub) {
    const std::size_t bytes = static_cast<std::size_t>(sub.right - sub.left) * bytesPerPixel;
    const std::ptrdiff_t xOffsetD = static_cast<std::ptrdiff_t>(sub.left) * bytesPerPixel;
    const std::ptrdiff_t xOffsetS = static_cast<std::ptrdiff_t>(sub.left + dx) * bytesPerPixel;
    bool backwards = false;
    if (sameMemory) {
      // Copy rows in the order that never overwrites a source row before it is read.
      const std::uint8_t* d0 = target_.row(sub.top) + xOffsetD;
      const std::uint8_t* s0 = src.row(sub.top + dy) + xOffsetS;
      backwards = (d0 > s0) == (target_.stride > 0);
      if (d0 == s0) return;
    }
    const int rows = sub.bottom - sub.top;
    for (int k = 0; k < rows; ++k) {
      const int y = backwards ? sub.bottom - 1 - k : sub.top + k;
      std::memmove(target_.row(y) + xOffsetD, src.row(y + dy) + xOffsetS, bytes);
    }
  });
  return true;
}

void Blitter::rasterOperation(const RECT& dest, const BlitSource* sourceIn, std::uint8_t ropIndex,
                              std::uint32_t pattern) {
  if (clip_.empty() || rectEmpty(dest)) return;
  const bool usesSource = ropUsesSource(ropIndex) && sourceIn;
  const bool usesDest = ropUsesDest(ropIndex);
  if (!usesSource && !usesDest) { // BLACKNESS, WHITENESS or the pattern alone
    fill(dest, ropBits(ropIndex, pattern, 0, 0) | kOpaque);
    return;
  }

  BlitSource source;
  std::vector<std::uint8_t> storage;
  const bool copyOnly = ropIndex == 0xCC;
  if (usesSource) {
    source = *sourceIn;
    const bool sameEncoding = source.view.sameEncoding(target_) && !source.toMonochrome &&
                              bitsPerPixel(target_.format) >= 8;
    const bool identity = source.x.identity() && source.y.identity();
    if (copyOnly && sameEncoding && identity && (clip_.size() == 1 || !source.view.overlaps(target_))) {
      fastCopy(dest, source);
      return;
    }
    if (source.view.overlaps(target_)) source = detachedSource(*sourceIn, storage);
    if (copyOnly && sameEncoding && identity) {
      fastCopy(dest, source);
      return;
    }
  }

  const bool sourceAlpha = usesSource && source.view.hasAlpha();
  forEachClipped(dest, [&](const RECT& sub) {
    int x0 = sub.left, x1 = sub.right;
    const int* xs = nullptr;
    if (usesSource) {
      if (!mapColumns(sub, source, xs_, &x0, &x1)) return;
      xs = xs_.data() + (x0 - sub.left);
    }
    const int width = x1 - x0;
    rowS_.resize(static_cast<std::size_t>(width));
    rowD_.resize(static_cast<std::size_t>(width));
    const int bpp = bitsPerPixel(target_.format);
    const bool stretchCopy = usesSource && copyOnly && source.view.sameEncoding(target_) &&
                             !source.toMonochrome && (bpp == 16 || bpp == 32);
    int previousSy = -1, previousY = -1;
    for (int y = sub.top; y < sub.bottom; ++y) {
      int sy = 0;
      if (usesSource) {
        sy = source.y.sourceFor(y);
        if (sy < 0 || sy >= source.view.height) continue;
      }
      if (stretchCopy) {
        std::uint8_t* drow = target_.row(y);
        if (sy == previousSy) { // same source row as the row just written
          std::memcpy(drow + static_cast<std::ptrdiff_t>(x0) * (bpp / 8),
                      target_.row(previousY) + static_cast<std::ptrdiff_t>(x0) * (bpp / 8),
                      static_cast<std::size_t>(width) * (bpp / 8));
        } else if (bpp == 16) {
          const auto* s = reinterpret_cast<const std::uint16_t*>(source.view.row(sy));
          auto* d = reinterpret_cast<std::uint16_t*>(drow) + x0;
          for (int i = 0; i < width; ++i) d[i] = s[xs[i]];
        } else {
          const auto* s = reinterpret_cast<const std::uint32_t*>(source.view.row(sy));
          auto* d = reinterpret_cast<std::uint32_t*>(drow) + x0;
          for (int i = 0; i < width; ++i) d[i] = s[xs[i]];
        }
        previousSy = sy;
        previousY = y;
        continue;
      }
      if (usesSource) {
        source.view.readRowMapped(xs, sy, width, rowS_.data());
        if (source.toMonochrome)
          for (auto& s : rowS_)
            s = ((s & 0xFFFFFF) == (source.monochromeKey & 0xFFFFFF)) ? 0xFFFFFFFFu : kOpaque;
      }
      if (usesDest) target_.readRow(x0, y, width, rowD_.data());
      for (int i = 0; i < width; ++i) {
        const std::uint32_t s = usesSource ? rowS_[static_cast<std::size_t>(i)] : 0;
        const std::uint32_t d = usesDest ? rowD_[static_cast<std::size_t>(i)] : 0;
        std::uint32_t alpha;
        if (usesDest) alpha = d & 0xFF000000u;
        else if (copyOnly && sourceAlpha) alpha = s & 0xFF000000u;
        else alpha = kOpaque;
        rowD_[static_cast<std::size_t>(i)] = (ropBits(ropIndex, pattern, s, d) & 0xFFFFFF) | alpha;
      }
      target_.writeRow(x0, y, width, rowD_.data());
    }
  });
}

void Blitter::alphaBlend(const RECT& dest, const BlitSource& sourceIn, std::uint8_t constantAlpha,
                         bool perPixelAlpha) {
  if (clip_.empty() || rectEmpty(dest)) return;
  std::vector<std::uint8_t> storage;
  const BlitSource source =
      sourceIn.view.overlaps(target_) ? detachedSource(sourceIn, storage) : sourceIn;
  const std::uint32_t alpha = constantAlpha;
  const bool fast565 = perPixelAlpha && source.view.format == PixelFormat::Bgra32 &&
                       target_.format == PixelFormat::Rgb565;
  forEachClipped(dest, [&](const RECT& sub) {
    int x0, x1;
    if (!mapColumns(sub, source, xs_, &x0, &x1)) return;
    const int* xs = xs_.data() + (x0 - sub.left);
    const int width = x1 - x0;
    rowS_.resize(static_cast<std::size_t>(width));
    rowD_.resize(static_cast<std::size_t>(width));
    for (int y = sub.top; y < sub.bottom; ++y) {
      const int sy = source.y.sourceFor(y);
      if (sy < 0 || sy >= source.view.height) continue;
      if (fast565 && source.x.identity()) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(source.view.row(sy)) + xs[0];
        blendRowOnto565(s, reinterpret_cast<std::uint16_t*>(target_.row(y)) + x0, width, alpha);
        continue;
      }
      if (fast565) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(source.view.row(sy));
        auto* d = reinterpret_cast<std::uint16_t*>(target_.row(y)) + x0;
        for (int i = 0; i < width; ++i) {
          const std::uint32_t p = s[xs[i]];
          if (p == 0) continue; // fully transparent
          if (alpha == 255 && (p >> 24) == 255) {
            d[i] = packRgb565(p);
            continue;
          }
          d[i] = packRgb565(blendPremultiplied(p, unpackRgb565(d[i]), alpha));
        }
        continue;
      }
      source.view.readRowMapped(xs, sy, width, rowS_.data());
      target_.readRow(x0, y, width, rowD_.data());
      if (perPixelAlpha) {
        for (int i = 0; i < width; ++i)
          rowD_[std::size_t(i)] = blendPremultiplied(rowS_[std::size_t(i)], rowD_[std::size_t(i)], alpha);
      } else {
        for (int i = 0; i < width; ++i)
          rowD_[std::size_t(i)] = blendConstant(rowS_[std::size_t(i)], rowD_[std::size_t(i)], alpha);
      }
      target_.writeRow(x0, y, width, rowD_.data());
    }
  });
}

void Blitter::transparentCopy(const RECT& dest, const BlitSource& sourceIn, std::uint32_t key) {
  if (clip_.empty() || rectEmpty(dest)) return;
  std::vector<std::uint8_t> storage;
  const BlitSource source =
      sourceIn.view.overlaps(target_) ? detachedSource(sourceIn, storage) : sourceIn;
  const bool sourceAlpha = source.view.hasAlpha();
  key &= 0xFFFFFF;
  forEachClipped(dest, [&](const RECT& sub) {
    int x0, x1;
    if (!mapColumns(sub, source, xs_, &x0, &x1)) return;
    const int* xs = xs_.data() + (x0 - sub.left);
    const int width = x1 - x0;
    rowS_.resize(static_cast<std::size_t>(width));
    rowD_.resize(static_cast<std::size_t>(width));
    for (int y = sub.top; y < sub.bottom; ++y) {
      const int sy = source.y.sourceFor(y);
      if (sy < 0 || sy >= source.view.height) continue;
      source.view.readRowMapped(xs, sy, width, rowS_.data());
      target_.readRow(x0, y, width, rowD_.data());
      for (int i = 0; i < width; ++i) {
        const std::uint32_t s = rowS_[std::size_t(i)];
        if ((s & 0xFFFFFF) != key) rowD_[std::size_t(i)] = sourceAlpha ? s : (s | kOpaque);
      }
      target_.writeRow(x0, y, width, rowD_.data());
    }
  });
}

void Blitter::coverage(int x, int y, int width, int height, const std::uint8_t* mask, int pitch,
                       std::uint32_t color) {
  if (clip_.empty() || width <= 0 || height <= 0) return;
  const RECT area{x, y, x + width, y + height};
  forEachClipped(area, [&](const RECT& sub) {
    const int w = sub.right - sub.left;
    rowD_.resize(static_cast<std::size_t>(w));
    for (int row = sub.top; row < sub.bottom; ++row) {
      const std::uint8_t* m = mask + static_cast<std::ptrdiff_t>(row - y) * pitch + (sub.left - x);
      bool any = false;
      for (int i = 0; i < w && !any; ++i) any = m[i] != 0;
      if (!any) continue;
      target_.readRow(sub.left, row, w, rowD_.data());
      for (int i = 0; i < w; ++i) {
        const std::uint32_t c = m[i];
        if (c == 0) continue;
        rowD_[std::size_t(i)] =
            c == 255 ? ((color & 0xFFFFFF) | kOpaque) : blendCoverage(color, rowD_[std::size_t(i)], c);
      }
      target_.writeRow(sub.left, row, w, rowD_.data());
    }
  });
}

} // namespace ce
