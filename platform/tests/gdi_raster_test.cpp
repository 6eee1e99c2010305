// Exact pixel results of conversions, raster operations, overlapping copies, stretching, fills
// and clipping.
#include "gdi_test_support.h"

#include <vector>

using namespace gdi_test;

namespace {

TEST(GdiConversions, EveryColourRoundTripsThroughWiderFormats) {
  Surface s565(256, 256, 16), s555(256, 128, 15);
  for (int v = 0; v < 65536; ++v) s565.setRaw(v % 256, v / 256, static_cast<std::uint32_t>(v));
  for (int v = 0; v < 32768; ++v) s555.setRaw(v % 256, v / 256, static_cast<std::uint32_t>(v));
  for (int depth : {24, 32}) {
    Surface wide(256, 256, depth), back565(256, 256, 16), back555(256, 128, 15);
    ASSERT_TRUE(BitBlt(wide.dc, 0, 0, 256, 256, s565.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(back565.dc, 0, 0, 256, 256, wide.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(back565.bits, s565.bits, 256 * 256 * 2), 0) << depth;
    ASSERT_TRUE(BitBlt(wide.dc, 0, 0, 256, 128, s555.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(back555.dc, 0, 0, 256, 128, wide.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(back555.bits, s555.bits, 256 * 128 * 2), 0) << depth;
  }
}

TEST(GdiConversions, WideningRepeatsTopBitsAndNarrowingTruncates) {
  Surface a565(1, 1, 16), a555(1, 1, 15), a24(1, 1, 24), a32(1, 1, 32);
  // 5-6-5 0x8410 is r 16, g 32, b 16.
  a565.setRaw(0, 0, 0x8410);
  BitBlt(a24.dc, 0, 0, 1, 1, a565.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a24.raw(0, 0), 0x848284u); // b (16<<3)|(16>>2) = 132, g (32<<2)|(32>>4) = 130
  BitBlt(a32.dc, 0, 0, 1, 1, a565.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a32.raw(0, 0), 0xFF848284u); // opaque
  BitBlt(a555.dc, 0, 0, 1, 1, a565.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a555.raw(0, 0), 0x4210u); // green 130 >> 3 = 16

  // 5-5-5 green 16 widens to 132, narrows to 6 bits as 33.
  a555.setRaw(0, 0, 0x4210);
  BitBlt(a565.dc, 0, 0, 1, 1, a555.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a565.raw(0, 0), 0x8430u);

  // 24-bit R 0x12 G 0x34 B 0x56.
  a24.setRaw(0, 0, 0x123456);
  BitBlt(a565.dc, 0, 0, 1, 1, a24.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a565.raw(0, 0), 0x11AAu);
  BitBlt(a555.dc, 0, 0, 1, 1, a24.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a555.raw(0, 0), 0x08CAu);
  EXPECT_EQ(GetPixel(a565.dc, 0, 0), RGB(0x10, 0x34, 0x52));

  // 32-bit to 32-bit keeps alpha; to 24 drops it; 24 back to 32 is opaque.
  Surface b32(1, 1, 32);
  a32.setRaw(0, 0, 0x80123456);
  BitBlt(b32.dc, 0, 0, 1, 1, a32.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(b32.raw(0, 0), 0x80123456u);
  BitBlt(a24.dc, 0, 0, 1, 1, a32.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(a24.raw(0, 0), 0x123456u);
  BitBlt(b32.dc, 0, 0, 1, 1, a24.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(b32.raw(0, 0), 0xFF123456u);
  EXPECT_EQ(SetPixel(a565.dc, 0, 0, RGB(0x12, 0x34, 0x56)), RGB(0x10, 0x34, 0x52));
}

TEST(GdiConversions, MonochromeUsesTextAndBackgroundColours) {
  // A 1-bit mask: bits 1,0,1,0,0,0,0,1.
  const std::uint8_t maskBits[2] = {0xA1, 0};
  HBITMAP mask = CreateBitmap(8, 1, 1, 1, maskBits);
  HDC maskDC = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(maskDC, mask);
  Surface colour(8, 1, 16);
  // Into colour: 0 bits take the destination's text colour, 1 bits its background colour.
  SetTextColor(colour.dc, RGB(255, 0, 0));
  SetBkColor(colour.dc, RGB(0, 0, 255));
  BitBlt(colour.dc, 0, 0, 8, 1, maskDC, 0, 0, SRCCOPY);
  const std::uint32_t expect[8] = {0x001F, 0xF800, 0x001F, 0xF800, 0xF800, 0xF800, 0xF800, 0x001F};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(colour.raw(x, 0), expect[x]) << x;

  // Into monochrome: pixels of the source DC's background colour become 1 (white).
  colour.fillRaw(0x07E0);
  colour.setRaw(2, 0, 0xF800);
  colour.setRaw(5, 0, 0xF800);
  SetBkColor(colour.dc, RGB(255, 0, 0));
  BitBlt(maskDC, 0, 0, 8, 1, colour.dc, 0, 0, SRCCOPY);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(GetPixel(maskDC, x, 0), (x == 2 || x == 5) ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x;
  SelectObject(maskDC, old);
  DeleteObject(mask);
  DeleteDC(maskDC);
}

TEST(GdiRasterOps, IconMaskOperationsCombineBitsExactly) {
  Surface src(1, 1, 16), dst(1, 1, 16);
  src.setRaw(0, 0, 0xF0F0);
  struct Case {
    DWORD rop;
    std::uint32_t expected;
  };
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  SelectObject(dst.dc, red);
  for (const Case c : {Case{SRCCOPY, 0xF0F0}, Case{SRCAND, 0xF000}, Case{SRCPAINT, 0xFFF0},
                       Case{SRCINVERT, 0x0FF0}, Case{NOTSRCCOPY, 0x0F0F}, Case{DSTINVERT, 0x00FF},
                       Case{BLACKNESS, 0x0000}, Case{WHITENESS, 0xFFFF}, Case{SRCERASE, 0xF0F0 & ~0xFF00u},
                       Case{PATINVERT, 0xF800 ^ 0xFF00}, Case{MERGECOPY, 0xF800 & 0xF0F0},
                       Case{PATCOPY, 0xF800}, Case{0x00AA0029 /* D */, 0xFF00}}) {
    dst.setRaw(0, 0, 0xFF00);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, c.rop));
    EXPECT_EQ(dst.raw(0, 0), c.expected) << std::hex << c.rop;
  }
  SelectObject(dst.dc, GetStockObject(NULL_BRUSH));
  dst.setRaw(0, 0, 0x1234);
  EXPECT_TRUE(PatBlt(dst.dc, 0, 0, 1, 1, PATCOPY)); // a null brush paints nothing
  EXPECT_EQ(dst.raw(0, 0), 0x1234u);
  EXPECT_FALSE(PatBlt(dst.dc, 0, 0, 1, 1, SRCCOPY)); // PatBlt has no source
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, BLACKNESS));
  EXPECT_EQ(dst.raw(0, 0), 0u);
  DeleteObject(red);

  // On 32 bits, combining operations keep the destination's alpha, copies set it.
  Surface s32(1, 1, 32), d32(1, 1, 32);
  s32.setRaw(0, 0, 0x200F0F0F);
  d32.setRaw(0, 0, 0x40FF00FF);
  BitBlt(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, SRCAND);
  EXPECT_EQ(d32.raw(0, 0), 0x400F000Fu);
  BitBlt(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, SRCINVERT);
  EXPECT_EQ(d32.raw(0, 0), 0x40000F00u);
  BitBlt(d32.dc, 0, 0, 1, 1, s32.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(d32.raw(0, 0), 0x200F0F0Fu);
  BitBlt(d32.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(d32.raw(0, 0), 0xFFF71C84u); // from 5-6-5 0xF0F0: opaque
  BitBlt(d32.dc, 0, 0, 1, 1, nullptr, 0, 0, BLACKNESS);
  EXPECT_EQ(d32.raw(0, 0), 0xFF000000u);
}

// Fills a surface with distinct values and returns a copy of its pixels.
std::vector<std::uint32_t> pattern(Surface& s) {
  std::vector<std::uint32_t> p;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t v = static_cast<std::uint32_t>((x * 7 + y * 131 + 1) & 0xFFFF) |
                              (s.bpp == 32 ? 0xFF000000u : 0);
      s.setRaw(x, y, s.bpp == 24 ? (v * 0x101) & 0xFFFFFF : v);
      p.push_back(s.raw(x, y));
    }
  return p;
}

TEST(GdiRasterOps, OverlappingCopiesInOneBitmapMoveTheContent) {
  for (int depth : {16, 24, 32}) {
    for (int dx = -3; dx <= 3; dx += 3)
      for (int dy = -5; dy <= 5; dy += 5) {
        for (bool splitClip : {false, true}) {
          Surface s(24, 20, depth, dy != 0); // bottom-up memory too
          const auto before = pattern(s);
          if (splitClip) { // two clip rectangles force a copy of the source first
            HRGN a = CreateRectRgn(0, 0, 24, 10), b = CreateRectRgn(0, 10, 12, 20);
            CombineRgn(a, a, b, RGN_OR);
            SelectClipRgn(s.dc, a);
            DeleteObject(a);
            DeleteObject(b);
          }
          ASSERT_TRUE(BitBlt(s.dc, 4 + dx, 4 + dy, 16, 12, s.dc, 4, 4, SRCCOPY));
          for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 24; ++x) {
              const bool inDest = x >= 4 + dx && x < 20 + dx && y >= 4 + dy && y < 16 + dy;
              const bool clipped = splitClip && y >= 10 && x >= 12;
              const std::uint32_t expected =
                  inDest && !clipped ? before[std::size_t((y - dy) * 24 + (x - dx))]
                                     : before[std::size_t(y * 24 + x)];
              ASSERT_EQ(s.raw(x, y), expected)
                  << "depth " << depth << " move " << dx << "," << dy << " at " << x << "," << y;
            }
        }
      }
  }
}

TEST(GdiStretch, NearestNeighbourAtPixelCentresWithMirroring) {
  Surface src(2, 2, 16), dst(4, 4, 16);
  src.setRaw(0, 0, 1);
  src.setRaw(1, 0, 2);
  src.setRaw(0, 1, 3);
  src.setRaw(1, 1, 4);
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.raw(x, y), std::uint32_t(1 + x / 2 + 2 * (y / 2)));

  Surface row(4, 1, 16), half(2, 1, 16), mirror(4, 1, 16);
  for (int x = 0; x < 4; ++x) row.setRaw(x, 0, std::uint32_t(10 + x));
  StretchBlt(half.dc, 0, 0, 2, 1, row.dc, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(half.raw(0, 0), 11u); // centres of pixels 0-1 and 2-3 fall on 1 and 3
  EXPECT_EQ(half.raw(1, 0), 13u);
  // A negative extent mirrors; the rectangle reaches from x + width to x.
  StretchBlt(mirror.dc, 4, 0, -4, 1, row.dc, 0, 0, 4, 1, SRCCOPY);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(mirror.raw(x, 0), std::uint32_t(13 - x));
  StretchBlt(mirror.dc, 0, 0, 4, 1, row.dc, 4, 0, -4, 1, SRCCOPY);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(mirror.raw(x, 0), std::uint32_t(13 - x));
  StretchBlt(mirror.dc, 4, 0, -4, 1, row.dc, 4, 0, -4, 1, SRCCOPY); // both: no mirror
  for (int x = 0; x < 4; ++x) EXPECT_EQ(mirror.raw(x, 0), std::uint32_t(10 + x));

  // Across formats: 5-6-5 stretched 2x into 32 bits.
  Surface wide(4, 4, 32);
  src.setRaw(1, 1, 0xF800);
  StretchBlt(wide.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(wide.raw(3, 3), 0xFFFF0000u);
  EXPECT_EQ(wide.raw(2, 2), 0xFFFF0000u);
  // A source rectangle reaching outside the source leaves those destination pixels alone.
  dst.fillRaw(0x7777);
  StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 1, 1, 2, 2, SRCCOPY);
  EXPECT_EQ(dst.raw(0, 0), 0xF800u);
  EXPECT_EQ(dst.raw(1, 1), 0xF800u);
  EXPECT_EQ(dst.raw(2, 0), 0x7777u);
  EXPECT_EQ(dst.raw(0, 2), 0x7777u);
}

TEST(GdiFill, SolidBrushesAndStockBrushesFillExactly) {
  Surface s(6, 4, 16), w(2, 2, 32);
  s.fillRaw(0x1111);
  HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
  RECT r{1, 1, 4, 3};
  ASSERT_TRUE(FillRect(s.dc, &r, brush));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(s.raw(x, y), (x >= 1 && x < 4 && y >= 1 && y < 3) ? 0x11AAu : 0x1111u);
  RECT all{-10, -10, 100, 100};
  EXPECT_TRUE(FillRect(s.dc, &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
  EXPECT_EQ(s.raw(0, 0), 0x1111u);
  RECT inverted{4, 3, 1, 1};
  EXPECT_TRUE(FillRect(s.dc, &inverted, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
  EXPECT_EQ(s.raw(2, 2), 0x11AAu);
  EXPECT_TRUE(FillRect(s.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
  EXPECT_EQ(s.raw(5, 3), 0xFFFFu);
  EXPECT_EQ(FillRect(s.dc, nullptr, brush), 0);
  // 32-bit fills are opaque.
  EXPECT_TRUE(FillRect(w.dc, &all, brush));
  EXPECT_EQ(w.raw(1, 1), 0xFF123456u);
  DeleteObject(brush);
}

TEST(GdiClip, ClipRegionsLimitEveryDrawingCall) {
  Surface s(10, 10, 16), src(10, 10, 16);
  src.fillRaw(0xAAAA);
  RECT box;
  EXPECT_EQ(GetClipBox(s.dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 10);

  EXPECT_EQ(IntersectClipRect(s.dc, 2, 2, 8, 8), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(s.dc, 4, 4, 6, 6), COMPLEXREGION);
  EXPECT_EQ(GetClipBox(s.dc, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.bottom, 8);
  RECT all{0, 0, 10, 10};
  FillRect(s.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto inside = [](int x, int y) {
    return x >= 2 && x < 8 && y >= 2 && y < 8 && !(x >= 4 && x < 6 && y >= 4 && y < 6);
  };
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(s.raw(x, y), inside(x, y) ? 0xFFFFu : 0u) << x << "," << y;
  BitBlt(s.dc, 0, 0, 10, 10, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(s.raw(3, 3), 0xAAAAu);
  EXPECT_EQ(s.raw(5, 5), 0u);
  EXPECT_EQ(SetPixel(s.dc, 5, 5, RGB(255, 255, 255)), CLR_INVALID);
  EXPECT_EQ(GetPixel(s.dc, 0, 0), CLR_INVALID);
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(s.dc, saved), 1);
  EXPECT_FALSE(PtInRegion(saved, 5, 5));
  EXPECT_TRUE(PtInRegion(saved, 2, 2));

  // A selected region replaces the clip; NULL removes it.
  HRGN region = CreateRectRgn(0, 0, 3, 3);
  HRGN other = CreateRectRgn(7, 7, 10, 10);
  EXPECT_EQ(CombineRgn(region, region, other, RGN_OR), COMPLEXREGION);
  EXPECT_EQ(SelectClipRgn(s.dc, region), COMPLEXREGION);
  s.fillRaw(0);
  FillRect(s.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(s.raw(0, 0), 0xFFFFu);
  EXPECT_EQ(s.raw(9, 9), 0xFFFFu);
  EXPECT_EQ(s.raw(5, 5), 0u);
  EXPECT_EQ(SelectObject(s.dc, other), reinterpret_cast<HGDIOBJ>(SIMPLEREGION));
  EXPECT_EQ(SelectClipRgn(s.dc, nullptr), SIMPLEREGION);
  EXPECT_EQ(GetClipRgn(s.dc, saved), 0);
  // Drawing off the bitmap's edges is cut at them.
  EXPECT_TRUE(BitBlt(s.dc, -5, -5, 10, 10, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(s.raw(4, 4), 0xAAAAu);
  EXPECT_EQ(s.raw(5, 5), 0u);
  EXPECT_TRUE(BitBlt(s.dc, 2000000000, 2000000000, 2000000000, 2000000000, src.dc, -2000000000,
                     0, SRCCOPY));
  for (HRGN r : {region, other, saved}) DeleteObject(r);
}

TEST(GdiRegions, CombineOffsetAndCompare) {
  HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), r = CreateRectRgn(0, 0, 0, 0);
  RECT box;
  EXPECT_EQ(CombineRgn(r, a, b, RGN_AND), SIMPLEREGION);
  GetRgnBox(r, &box);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(CombineRgn(r, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(r, 7, 7));
  EXPECT_TRUE(PtInRegion(r, 2, 7));
  EXPECT_EQ(CombineRgn(r, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(r, 12, 12));
  EXPECT_FALSE(PtInRegion(r, 6, 6));
  // Two halves that make a rectangle are a simple region equal to it.
  HRGN left = CreateRectRgn(0, 0, 5, 10), right = CreateRectRgn(5, 0, 10, 10);
  EXPECT_EQ(CombineRgn(r, left, right, RGN_OR), SIMPLEREGION);
  EXPECT_TRUE(EqualRgn(r, a));
  EXPECT_EQ(OffsetRgn(r, 3, -2), SIMPLEREGION);
  GetRgnBox(r, &box);
  EXPECT_EQ(box.top, -2);
  EXPECT_EQ(box.right, 13);
  EXPECT_EQ(OffsetRgn(r, 2000000000, 0), ERROR); // would overflow
  EXPECT_EQ(CombineRgn(r, a, b, 42), ERROR);
  EXPECT_EQ(CombineRgn(r, a, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_EQ(CombineRgn(r, a, nullptr, RGN_OR), ERROR);
  RECT probe{9, 9, 20, 20};
  EXPECT_TRUE(RectInRegion(a, &probe));
  SetRectRgn(r, 0, 0, 0, 0);
  EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
  for (HRGN h : {a, b, r, left, right}) DeleteObject(h);
}

TEST(GdiTransparentBlt, SkipsTheKeyColour) {
  Surface src(3, 1, 16), dst(3, 1, 32);
  src.setRaw(0, 0, 0xF81F);
  src.setRaw(1, 0, 0x07E0);
  src.setRaw(2, 0, 0xF81F);
  dst.fillRaw(0x11223344);
  ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1, RGB(255, 0, 255)));
  EXPECT_EQ(dst.raw(0, 0), 0x11223344u);
  EXPECT_EQ(dst.raw(1, 0), 0xFF00FF00u);
  EXPECT_EQ(dst.raw(2, 0), 0x11223344u);
}

} // namespace
