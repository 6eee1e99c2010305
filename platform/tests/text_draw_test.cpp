// DrawTextW and ExtTextOutW: placement, wrapping, ellipses, prefixes, scripts, antialiasing.
#include "text_test_support.h"

#include <ce/core/utf.h>

using namespace gdi_test;

namespace {

constexpr std::uint32_t kWhite565 = 0xFFFF;

// A white 5-6-5 surface with black text drawn transparently.
struct Page : Surface {
  explicit Page(int w = 300, int h = 120) : Surface(w, h, 16) {
    fillRaw(kWhite565);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
  }
};

TEST(TextDraw, InkLandsInsideTheCalculatedRectangle) {
  Page page;
  SelectedFont f(page.dc, -20);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  const std::u16string text = u"Hello, Wörld & gyp";
  RECT calc{10, 12, 10, 12};
  const int height = DrawTextW(page.dc, text.c_str(), -1, &calc, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
  EXPECT_EQ(height, tm.tmHeight);
  EXPECT_EQ(calc.left, 10);
  EXPECT_EQ(calc.top, 12);
  EXPECT_EQ(calc.right - calc.left, textWidth(page.dc, text));
  EXPECT_EQ(calc.bottom - calc.top, tm.tmHeight);
  EXPECT_FALSE(hasInk(ink(page, kWhite565))); // measuring draws nothing

  RECT draw = calc;
  EXPECT_EQ(DrawTextW(page.dc, text.c_str(), -1, &draw, DT_NOPREFIX | DT_SINGLELINE | DT_NOCLIP),
            tm.tmHeight);
  const RECT box = ink(page, kWhite565);
  ASSERT_TRUE(hasInk(box));
  EXPECT_GE(box.left, calc.left);
  EXPECT_GE(box.top, calc.top);
  EXPECT_LE(box.right, calc.right);
  EXPECT_LE(box.bottom, calc.bottom);
  EXPECT_GT(box.bottom, calc.top + tm.tmAscent); // descenders of "gyp" go below the baseline
}

TEST(TextDraw, WordBreakWrapsAtSpacesAndKeepsLongWordsWhole) {
  Page page(300, 200);
  SelectedFont f(page.dc, -16);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  const int width = textWidth(page.dc, u"one two") + 2;
  RECT calc{0, 0, width, 1};
  const int h = DrawTextW(page.dc, u"one two three four five", -1, &calc, DT_CALCRECT | DT_WORDBREAK);
  // "one two" / "three four"? only when it fits; every line is at most the width.
  const int lines = h / tm.tmHeight;
  EXPECT_EQ(h % tm.tmHeight, 0);
  EXPECT_GE(lines, 3);
  EXPECT_LE(calc.right, width);
  EXPECT_EQ(calc.bottom, h);

  // Explicit line breaks in every style count as one each.
  RECT r{0, 0, 300, 1};
  EXPECT_EQ(DrawTextW(page.dc, u"a\nb\r\nc\rd", -1, &r, DT_CALCRECT), 4 * tm.tmHeight);
  EXPECT_EQ(DrawTextW(page.dc, u"a\nb\r\nc\rd", -1, &r, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
  // A word wider than the rectangle is not broken; the calculated width grows to hold it.
  r = RECT{0, 0, 10, 1};
  EXPECT_EQ(DrawTextW(page.dc, u"unbreakable", -1, &r, DT_CALCRECT | DT_WORDBREAK), tm.tmHeight);
  EXPECT_EQ(r.right, textWidth(page.dc, u"unbreakable"));
  // Spaces at a break do not count towards a line's width.
  r = RECT{0, 0, textWidth(page.dc, u"aaa"), 1};
  EXPECT_EQ(DrawTextW(page.dc, u"aaa     bbb", -1, &r, DT_CALCRECT | DT_WORDBREAK), 2 * tm.tmHeight);
  EXPECT_EQ(r.right, textWidth(page.dc, u"aaa"));
  // An empty text is one empty line.
  r = RECT{5, 5, 50, 50};
  EXPECT_EQ(DrawTextW(page.dc, u"", 0, &r, DT_CALCRECT), tm.tmHeight);
  EXPECT_EQ(r.right, 5);

  // Drawn wrapped text stays within the rectangle's width.
  RECT area{20, 10, 20 + width, 200};
  DrawTextW(page.dc, u"one two three four five", -1, &area, DT_WORDBREAK);
  const RECT box = ink(page, kWhite565);
  EXPECT_GE(box.left, 20);
  EXPECT_LE(box.right, 20 + width);
  EXPECT_GT(box.bottom - box.top, 2 * tm.tmHeight);
}

TEST(TextDraw, AlignmentCentresAndPushesToEdges) {
  Page page(200, 100);
  SelectedFont f(page.dc, -20);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  RECT r{0, 0, 200, 100};
  const int offset = DrawTextW(page.dc, u"HHHH", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT box = ink(page, kWhite565);
  ASSERT_TRUE(hasInk(box));
  EXPECT_NEAR((box.left + box.right) / 2.0, 100.0, 2.0);
  const int top = (100 - tm.tmHeight) / 2;
  EXPECT_EQ(offset, top + tm.tmHeight); // from the rectangle's top to the text's bottom
  EXPECT_GE(box.top, top);
  EXPECT_LE(box.bottom, top + tm.tmAscent); // capitals sit on the baseline
  EXPECT_NEAR((box.top + box.bottom) / 2.0, 50.0, tm.tmHeight / 3.0);

  page.fillRaw(kWhite565);
  EXPECT_EQ(DrawTextW(page.dc, u"HHHH", -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE), 100);
  box = ink(page, kWhite565);
  EXPECT_LE(box.right, 200);
  EXPECT_GE(box.right, 196);
  EXPECT_LE(box.bottom, 100);
  EXPECT_GE(box.top, 100 - tm.tmHeight);

  // Multi-line text is not moved vertically.
  page.fillRaw(kWhite565);
  EXPECT_EQ(DrawTextW(page.dc, u"HH\nHH", -1, &r, DT_VCENTER), 2 * tm.tmHeight);
  box = ink(page, kWhite565);
  EXPECT_LT(box.top, tm.tmHeight);
}

TEST(TextDraw, EndEllipsisShortensLinesToTheRectangle) {
  Page page(400, 100);
  SelectedFont f(page.dc, -16);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  const std::u16string longText = u"A rather long caption that cannot fit";
  RECT r{0, 0, 100, 40};
  DrawTextW(page.dc, longText.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_LE(r.right, 100);
  EXPECT_GT(r.right, 60);

  // Without clipping the ink still ends inside: the text was shortened, not cut.
  r = RECT{0, 0, 100, 40};
  DrawTextW(page.dc, longText.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
  RECT box = ink(page, kWhite565);
  EXPECT_LE(box.right, 100);
  page.fillRaw(kWhite565);
  DrawTextW(page.dc, longText.c_str(), -1, &r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(ink(page, kWhite565).right, 100);
  // Text that fits is left alone.
  r = RECT{0, 0, 400, 40};
  DrawTextW(page.dc, u"Short", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_EQ(r.right, textWidth(page.dc, u"Short"));

  // Wrapped text keeps the lines that fit the height and ends the last one with "...".
  page.fillRaw(kWhite565);
  r = RECT{0, 0, 120, 2 * tm.tmHeight};
  DrawTextW(page.dc, u"one two three four five six seven eight nine", -1, &r,
            DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOCLIP);
  box = ink(page, kWhite565);
  EXPECT_LE(box.bottom, 2 * tm.tmHeight);
  EXPECT_LE(box.right, 120);
}

TEST(TextDraw, PrefixCharactersUnderlineAndEscape) {
  Page page(200, 60);
  SelectedFont f(page.dc, -20);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  auto calcWidth = [&](const char16_t* text, UINT flags) {
    RECT r{0, 0, 0, 0};
    DrawTextW(page.dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | flags);
    return r.right;
  };
  EXPECT_EQ(calcWidth(u"&File", 0), textWidth(page.dc, u"File"));
  EXPECT_EQ(calcWidth(u"&File", DT_NOPREFIX), textWidth(page.dc, u"&File"));
  EXPECT_EQ(calcWidth(u"A&&B", 0), textWidth(page.dc, u"A&B"));
  EXPECT_EQ(calcWidth(u"AB&", 0), textWidth(page.dc, u"AB"));

  // The marked letter is underlined below the baseline; "o" has no descender of its own.
  RECT r{0, 0, 200, 60};
  auto inkBelowBaseline = [&] {
    const RECT box = ink(page, kWhite565);
    return hasInk(box) && box.bottom > tm.tmAscent + 1;
  };
  DrawTextW(page.dc, u"&oo", -1, &r, DT_SINGLELINE);
  EXPECT_TRUE(inkBelowBaseline());
  const RECT underlined = ink(page, kWhite565);
  page.fillRaw(kWhite565);
  DrawTextW(page.dc, u"&oo", -1, &r, DT_SINGLELINE | DT_HIDEPREFIX);
  EXPECT_FALSE(inkBelowBaseline());
  page.fillRaw(kWhite565);
  DrawTextW(page.dc, u"o&o", -1, &r, DT_SINGLELINE);
  EXPECT_GT(ink(page, kWhite565).bottom, tm.tmAscent + 1);
  EXPECT_LE(underlined.right, textWidth(page.dc, u"oo"));
}

TEST(TextDraw, GreekCyrillicAndLatinAllRender) {
  for (const char16_t* text : {u"Αλφάβητο", u"Привет мир", u"Ünïcödé ŁŻŚ", u"ΩЖ"}) {
    Page page(300, 60);
    SelectedFont f(page.dc, -20, u"HelveticaNeue LT 35 Thin", 300);
    RECT r{0, 0, 300, 60};
    EXPECT_GT(DrawTextW(page.dc, text, -1, &r, DT_SINGLELINE), 0);
    const RECT box = ink(page, kWhite565);
    ASSERT_TRUE(hasInk(box)) << ce::toUtf8(text);
    EXPECT_GT(box.right - box.left, 20);
  }
}

TEST(TextDraw, AntialiasingOnEveryDepthAndMonochromeWhenAsked) {
  auto greys = [](const Surface& s, std::uint32_t black, std::uint32_t white) {
    int count = 0;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x)
        if (s.raw(x, y) != black && s.raw(x, y) != white) ++count;
    return count;
  };
  for (BYTE quality : {BYTE(ANTIALIASED_QUALITY), BYTE(CLEARTYPE_QUALITY), BYTE(NONANTIALIASED_QUALITY)}) {
    for (int depth : {16, 24, 32}) {
      Surface s(120, 40, depth);
      const std::uint32_t white = depth == 16 ? 0xFFFF : (depth == 24 ? 0xFFFFFF : 0xFFFFFFFF);
      const std::uint32_t black = depth == 32 ? 0xFF000000 : 0;
      s.fillRaw(white);
      SetBkMode(s.dc, TRANSPARENT);
      SelectedFont f(s.dc, -18, u"", FW_NORMAL, quality);
      RECT r{0, 0, 120, 40};
      DrawTextW(s.dc, u"Sample", -1, &r, DT_SINGLELINE);
      if (quality == NONANTIALIASED_QUALITY)
        EXPECT_EQ(greys(s, black, white), 0) << depth;
      else
        EXPECT_GT(greys(s, black, white), 10) << depth;
      if (depth == 32)
        for (int y = 0; y < s.height; ++y)
          for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = s.raw(x, y);
            ASSERT_EQ(p >> 24, 0xFFu); // opaque stays opaque
            ASSERT_TRUE(((p >> 16) & 0xFF) == (p & 0xFF)); // grey, no colour fringes
          }
    }
  }
}

TEST(TextDraw, TextOnATransparentSurfaceIsPremultiplied) {
  Surface s(100, 30, 32);
  s.fillRaw(0);
  SetBkMode(s.dc, TRANSPARENT);
  SetTextColor(s.dc, RGB(255, 128, 0));
  SelectedFont f(s.dc, -20);
  RECT r{0, 0, 100, 30};
  DrawTextW(s.dc, u"Mw", -1, &r, DT_SINGLELINE);
  int partial = 0, full = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      const std::uint32_t p = s.raw(x, y), a = p >> 24;
      ASSERT_LE((p >> 16) & 0xFF, a);
      ASSERT_LE((p >> 8) & 0xFF, a);
      if (a == 255) {
        ++full;
        ASSERT_EQ(p, 0xFFFF8000u);
      } else if (a > 0) {
        ++partial;
      } else {
        ASSERT_EQ(p, 0u);
      }
    }
  EXPECT_GT(full, 10);
  EXPECT_GT(partial, 10);
}

TEST(TextDraw, OpaqueBackgroundsAndExtTextOut) {
  Surface s(200, 60, 16);
  s.fillRaw(0);
  SelectedFont f(s.dc, -20);
  TEXTMETRICW tm{};
  GetTextMetricsW(s.dc, &tm);
  SetBkColor(s.dc, RGB(255, 0, 0));
  SetTextColor(s.dc, RGB(255, 255, 255));
  EXPECT_EQ(GetBkMode(s.dc), OPAQUE);
  // ETO_OPAQUE fills the rectangle even without text.
  RECT r{10, 10, 30, 20};
  ASSERT_TRUE(ExtTextOutW(s.dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr));
  EXPECT_EQ(s.raw(10, 10), 0xF800u);
  EXPECT_EQ(s.raw(29, 19), 0xF800u);
  EXPECT_EQ(s.raw(30, 19), 0u);
  // An opaque mode fills the text's cell.
  s.fillRaw(0);
  ASSERT_TRUE(ExtTextOutW(s.dc, 5, 5, 0, nullptr, u"ab", 2, nullptr));
  EXPECT_EQ(s.raw(5, 5), 0xF800u);
  EXPECT_EQ(s.raw(5 + textWidth(s.dc, u"ab") - 1, 5 + tm.tmHeight - 1), 0xF800u);
  EXPECT_EQ(s.raw(5 + textWidth(s.dc, u"ab"), 5), 0u);
  // Baseline alignment and clipping to the rectangle.
  s.fillRaw(0);
  SetBkMode(s.dc, TRANSPARENT);
  SetTextAlign(s.dc, TA_BASELINE | TA_CENTER);
  RECT clip{0, 0, 100, 60};
  ASSERT_TRUE(ExtTextOutW(s.dc, 100, 40, ETO_CLIPPED, &clip, u"HHHH", 4, nullptr));
  RECT box = ink(s, 0);
  EXPECT_LE(box.right, 100);
  EXPECT_LE(box.bottom, 40);
  EXPECT_GE(box.bottom, 38);
  EXPECT_EQ(GetTextAlign(s.dc), UINT(TA_BASELINE | TA_CENTER));
  // Caller advances place each character.
  s.fillRaw(0);
  SetTextAlign(s.dc, TA_LEFT | TA_TOP);
  const int advances[3] = {50, 50, 50};
  ASSERT_TRUE(ExtTextOutW(s.dc, 0, 0, 0, nullptr, u"III", 3, advances));
  box = ink(s, 0);
  EXPECT_GT(box.right, 100);
  // DrawTextW with an opaque mode fills each line's extent.
  s.fillRaw(0);
  SetBkMode(s.dc, OPAQUE);
  RECT line{0, 0, 200, 60};
  DrawTextW(s.dc, u"x", -1, &line, DT_SINGLELINE);
  EXPECT_EQ(s.raw(0, 0), 0xF800u);
  EXPECT_EQ(s.raw(textWidth(s.dc, u"x") + 1, 0), 0u);
}

TEST(TextDraw, BadArgumentsFailWithoutDrawing) {
  Page page(50, 20);
  RECT r{0, 0, 50, 20};
  SetLastError(0);
  EXPECT_EQ(DrawTextW(page.dc, u"x", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(DrawTextW(page.dc, u"x", -5, &r, 0), 0);
  EXPECT_EQ(DrawTextW(page.dc, nullptr, 3, &r, 0), 0);
  EXPECT_FALSE(ExtTextOutW(page.dc, 0, 0, 0, nullptr, nullptr, 3, nullptr));
  EXPECT_EQ(SetBkMode(page.dc, 7), 0);
  EXPECT_EQ(GetTextFaceW(page.dc, 0, nullptr), int(std::u16string(u"DejaVu Sans").size() + 1));
  EXPECT_FALSE(hasInk(ink(page, kWhite565)));
  // Control characters and tabs draw nothing visible without expansion.
  EXPECT_GT(DrawTextW(page.dc, u"\t\x01\x7f", -1, &r, DT_SINGLELINE), 0);
  EXPECT_FALSE(hasInk(ink(page, kWhite565)));
  RECT tabs{0, 0, 0, 0};
  DrawTextW(page.dc, u"a\tb", -1, &tabs, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
  TEXTMETRICW tm{};
  GetTextMetricsW(page.dc, &tm);
  EXPECT_EQ(tabs.right, 8 * tm.tmAveCharWidth + textWidth(page.dc, u"b"));
}

} // namespace
