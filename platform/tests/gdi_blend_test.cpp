// AlphaBlend: constant and per-pixel alpha onto 16-, 24- and 32-bit targets, with stretching.
#include "gdi_test_support.h"

#include <algorithm>
#include <cmath>

using namespace gdi_test;

namespace {

TEST(GdiAlphaBlend, ConstantAlphaMixesEveryChannel) {
  Surface src(1, 1, 24), dst(1, 1, 24);
  src.setRaw(0, 0, 0xC86400); // r 200 g 100 b 0
  dst.setRaw(0, 0, 0x0032FF); // r 0 g 50 b 255
  ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(128, 0)));
  // round((s * 128 + d * 127) / 255): r 100, g 75, b 127
  EXPECT_EQ(dst.raw(0, 0), 0x644B7Fu);

  // On 32 bits the alpha channel is blended as an opaque source; the source's own alpha is
  // ignored without AC_SRC_ALPHA.
  Surface s32(1, 1, 32), d32(1, 1, 32);
  s32.setRaw(0, 0, 0x00FF0000);
  d32.setRaw(0, 0, 0x00000000);
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, 1, 1, blend(128, 0)));
  EXPECT_EQ(d32.raw(0, 0), 0x80800000u);
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, 1, 1, blend(255, 0)));
  EXPECT_EQ(d32.raw(0, 0), 0xFFFF0000u);
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, 1, 1, blend(0, 0)));
  EXPECT_EQ(d32.raw(0, 0), 0xFFFF0000u);

  // A black 2x2 surface stretched over a 5-6-5 picture darkens it (the background darkening).
  Surface black(2, 2, 16), picture(6, 6, 16);
  black.fillRaw(0);
  picture.fillRaw(0xFFFF);
  ASSERT_TRUE(AlphaBlend(picture.dc, 0, 0, 6, 6, black.dc, 0, 0, 2, 2, blend(63, 0)));
  // white 255 * 192 / 255 = 192: red and blue 24 of 31, green 48 of 63
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(picture.raw(x, y), (24u << 11) | (48u << 5) | 24u);
}

TEST(GdiAlphaBlend, PremultipliedSourceOverEveryDepth) {
  Surface src(1, 1, 32);
  src.setRaw(0, 0, 0x80643200); // alpha 128, r 100 g 50 b 0 premultiplied

  Surface d32(1, 1, 32);
  d32.setRaw(0, 0, 0xFF0000FF);
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
  // s + d * (255 - 128) / 255: r 100, g 50, b 127, a 255
  EXPECT_EQ(d32.raw(0, 0), 0xFF64327Fu);

  d32.setRaw(0, 0, 0xFF0000FF);
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(128, AC_SRC_ALPHA)));
  // the source is first scaled by 128/255: a 64, r 50, g 25; then b = 255 * 191 / 255
  EXPECT_EQ(d32.raw(0, 0), 0xFF3219BFu);

  d32.setRaw(0, 0, 0x00000000); // transparent target: the result is the source itself
  ASSERT_TRUE(AlphaBlend(d32.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
  EXPECT_EQ(d32.raw(0, 0), 0x80643200u);

  Surface d24(1, 1, 24);
  d24.setRaw(0, 0, 0x0000FF);
  ASSERT_TRUE(AlphaBlend(d24.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
  EXPECT_EQ(d24.raw(0, 0), 0x64327Fu);

  // 16 bits: widened (blue 31 -> 255), blended, truncated: r 100>>3, g 50>>2, b 127>>3.
  Surface d565(1, 1, 16), d555(1, 1, 15);
  d565.setRaw(0, 0, 0x001F);
  d555.setRaw(0, 0, 0x001F);
  ASSERT_TRUE(AlphaBlend(d565.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
  ASSERT_TRUE(AlphaBlend(d555.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
  EXPECT_EQ(d565.raw(0, 0), (12u << 11) | (12u << 5) | 15u);
  EXPECT_EQ(d555.raw(0, 0), (12u << 10) | (6u << 5) | 15u);
}

TEST(GdiAlphaBlend, TransparentAndOpaquePixelsAndStretching) {
  Surface icon(2, 1, 32), screen(6, 3, 16);
  icon.setRaw(0, 0, 0x00000000); // nothing
  icon.setRaw(1, 0, 0xFFFF0000); // opaque red
  screen.fillRaw(0x07E0);
  // 2x1 stretched to 6x3: the left half keeps the screen, the right half becomes red.
  ASSERT_TRUE(AlphaBlend(screen.dc, 0, 0, 6, 3, icon.dc, 0, 0, 2, 1, blend(255, AC_SRC_ALPHA)));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(screen.raw(x, y), x < 3 ? 0x07E0u : 0xF800u) << x;

  // Premultiplied colour with alpha 0 adds light (the formula, not a special case).
  icon.setRaw(0, 0, 0x00100000);
  Surface d32(1, 1, 32);
  d32.setRaw(0, 0, 0xFF200000);
  AlphaBlend(d32.dc, 0, 0, 1, 1, icon.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA));
  EXPECT_EQ(d32.raw(0, 0), 0xFF300000u);
  // Channels never wrap past 255 with a source that is not properly premultiplied.
  icon.setRaw(0, 0, 0x10FF0000);
  d32.setRaw(0, 0, 0xFFFF0000);
  AlphaBlend(d32.dc, 0, 0, 1, 1, icon.dc, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA));
  EXPECT_EQ(d32.raw(0, 0), 0xFFFF0000u);
}

// The blend written out with floating point, independent of the implementation.
std::uint32_t referenceBlend(std::uint32_t s, std::uint32_t d, unsigned alpha) {
  auto scale = [](double v, double by) { return static_cast<unsigned>(std::lround(v * by / 255.0)); };
  const unsigned sa = scale(s >> 24, alpha);
  unsigned out = 0;
  for (int shift : {0, 8, 16}) {
    const unsigned sc = scale((s >> shift) & 0xFF, alpha);
    const unsigned dc = (d >> shift) & 0xFF;
    out |= std::min(255u, sc + scale(dc, 255 - sa)) << shift;
  }
  return out;
}

TEST(GdiAlphaBlend, WideRowsMatchTheFormulaForEveryPixel) {
  std::mt19937 rng(1234);
  for (unsigned alpha : {255u, 77u}) {
    Surface src(67, 3, 32), dst(67, 3, 16), expected(67, 3, 16);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 67; ++x) {
        const unsigned a = (x % 5 == 0) ? 0 : (x % 5 == 1 ? 255 : rng() % 256);
        const unsigned r = a ? rng() % (a + 1) : 0, g = a ? rng() % (a + 1) : 0, b = a ? rng() % (a + 1) : 0;
        src.setRaw(x, y, (a << 24) | (r << 16) | (g << 8) | b);
        dst.setRaw(x, y, rng() & 0xFFFF);
        // expected in 5-6-5: widen the destination, blend, truncate
        const std::uint32_t d = dst.raw(x, y);
        const unsigned dr = ((d >> 11) << 3) | (d >> 13), dg = (((d >> 5) & 63) << 2) | (((d >> 5) & 63) >> 4),
                       db = ((d & 31) << 3) | ((d & 31) >> 2);
        const std::uint32_t o = referenceBlend(src.raw(x, y), (dr << 16) | (dg << 8) | db, alpha);
        expected.setRaw(x, y, (((o >> 16) & 0xFF) >> 3) << 11 | (((o >> 8) & 0xFF) >> 2) << 5 | ((o & 0xFF) >> 3));
      }
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 67, 3, src.dc, 0, 0, 67, 3, blend(static_cast<BYTE>(alpha), AC_SRC_ALPHA)));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 67; ++x) ASSERT_EQ(dst.raw(x, y), expected.raw(x, y)) << x << "," << y << " alpha " << alpha;
  }
}

TEST(GdiAlphaBlend, RefusesWhatItCannotDo) {
  Surface src16(2, 2, 16), dst(2, 2, 16);
  SetLastError(0);
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src16.dc, 0, 0, 2, 2, blend(255, AC_SRC_ALPHA)));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  BLENDFUNCTION bad = blend(255, 0);
  bad.BlendOp = 1;
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src16.dc, 0, 0, 2, 2, bad));
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, -2, 2, src16.dc, 0, 0, 2, 2, blend(255, 0)));
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, 2, 2, blend(255, 0)));
  EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 0, 2, src16.dc, 0, 0, 2, 2, blend(255, 0)));
  // One bitmap as source and destination blends from the pixels as they were.
  Surface s(4, 1, 32);
  for (int x = 0; x < 4; ++x) s.setRaw(x, 0, 0xFF000000u | std::uint32_t(x * 0x10));
  ASSERT_TRUE(AlphaBlend(s.dc, 1, 0, 3, 1, s.dc, 0, 0, 3, 1, blend(255, AC_SRC_ALPHA)));
  EXPECT_EQ(s.raw(1, 0), 0xFF000000u);
  EXPECT_EQ(s.raw(3, 0), 0xFF000020u);
}

} // namespace
