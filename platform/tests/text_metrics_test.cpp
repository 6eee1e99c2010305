// Font metrics, extents, face matching and font creation limits.
#include "text_test_support.h"

#include <thread>
#include <vector>

// The device's file API may not be linked into this build; device font tests need it.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) __attribute__((weak));

using namespace gdi_test;

namespace {

TEST(TextMetrics, HeightsFollowTheLogicalFont) {
  TempDevice device("screen=480x800\ndpi=192\n");
  Surface s(4, 4, 16);
  TEXTMETRICW tm{};
  {
    SelectedFont f(s.dc, -24);
    ASSERT_TRUE(GetTextMetricsW(s.dc, &tm));
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 24); // negative: the character height
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
  }
  {
    SelectedFont f(s.dc, 30);
    ASSERT_TRUE(GetTextMetricsW(s.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 30); // positive: the cell height
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 30);
  }
  {
    SelectedFont f(s.dc, 0); // default: 9 points at 192 dots per inch
    ASSERT_TRUE(GetTextMetricsW(s.dc, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 24);
  }
  // Absurd heights are limited, not fatal.
  for (int h : {INT_MIN, -100000, 100000}) {
    SelectedFont f(s.dc, h);
    ASSERT_TRUE(GetTextMetricsW(s.dc, &tm)) << h;
    EXPECT_LE(tm.tmHeight, 4096);
    RECT r{0, 0, 4, 4};
    EXPECT_GT(DrawTextW(s.dc, u"W", 1, &r, DT_SINGLELINE), 0);
  }
  // The stock font works without selecting anything.
  EXPECT_TRUE(GetTextMetricsW(s.dc, &tm));
  EXPECT_FALSE(GetTextMetricsW(s.dc, nullptr));
}

TEST(TextMetrics, ExtentsGrowWithTextAndSize) {
  Surface s(4, 4, 16);
  SelectedFont f(s.dc, -20);
  const int w = textWidth(s.dc, u"W"), ww = textWidth(s.dc, u"WW"), i = textWidth(s.dc, u"i");
  EXPECT_GT(w, 0);
  EXPECT_EQ(ww, 2 * w); // whole-pixel advances, no kerning
  EXPECT_LT(i, w);
  EXPECT_EQ(textWidth(s.dc, u"Wi"), w + i);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(s.dc, u"", 0, &size));
  EXPECT_EQ(size.cx, 0);
  TEXTMETRICW tm{};
  GetTextMetricsW(s.dc, &tm);
  EXPECT_EQ(size.cy, tm.tmHeight);
  {
    SelectedFont big(s.dc, -40);
    EXPECT_GT(textWidth(s.dc, u"W"), w);
  }
  {
    SelectedFont bold(s.dc, -20, u"", FW_BOLD);
    EXPECT_GT(textWidth(s.dc, u"WWWWWWWWWW"), 10 * w);
  }

  int fit = -1, extents[6] = {};
  ASSERT_TRUE(GetTextExtentExPointW(s.dc, u"WiWiWi", 6, w + i + w, &fit, extents, &size));
  EXPECT_EQ(fit, 3);
  EXPECT_EQ(extents[0], w);
  EXPECT_EQ(extents[1], w + i);
  EXPECT_EQ(extents[5], size.cx);

  EXPECT_FALSE(GetTextExtentPoint32W(s.dc, u"abc", -1, &size));
  EXPECT_FALSE(GetTextExtentPoint32W(s.dc, nullptr, 3, &size));
  EXPECT_FALSE(GetTextExtentPoint32W(s.dc, u"abc", 3, nullptr));
}

TEST(TextMetrics, SurrogatePairsAreOneCharacter) {
  Surface s(4, 4, 16);
  SelectedFont f(s.dc, -20);
  // A supplementary-plane letter measures like one character, never like two halves.
  const std::u16string pair = u"\U0001D400";
  ASSERT_EQ(pair.size(), 2u);
  int extents[2] = {};
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(s.dc, pair.c_str(), 2, 1000, nullptr, extents, &size));
  EXPECT_EQ(extents[0], extents[1]);
  EXPECT_EQ(extents[1], size.cx);
  // A lone surrogate is the replacement character.
  const std::u16string lone(1, char16_t(0xD800));
  EXPECT_EQ(textWidth(s.dc, lone), textWidth(s.dc, u"\uFFFD"));
  EXPECT_EQ(textWidth(s.dc, lone + u"A"), textWidth(s.dc, u"\uFFFDA"));
}

TEST(TextFonts, FaceNamesResolveToHostFamiliesThenSans) {
  Surface s(4, 4, 16);
  {
    SelectedFont f(s.dc, -16, u"DejaVu Serif");
    EXPECT_EQ(f.face(), u"DejaVu Serif");
  }
  {
    SelectedFont f(s.dc, -16, u"dejavu sans mono"); // any case
    EXPECT_EQ(f.face(), u"DejaVu Sans Mono");
  }
  {
    SelectedFont f(s.dc, -16, u"HelveticaNeue LT 35 Thin");
    EXPECT_EQ(f.face(), u"DejaVu Sans");
  }
  // A face name that fills all 32 characters without a terminator is cut, not overrun.
  LOGFONTW lf{};
  lf.lfHeight = -16;
  for (auto& c : lf.lfFaceName) c = u'X';
  HFONT font = CreateFontIndirectW(&lf);
  ASSERT_NE(font, nullptr);
  LOGFONTW back{};
  GetObjectW(font, sizeof back, &back);
  EXPECT_EQ(back.lfFaceName[LF_FACESIZE - 1], 0);
  HGDIOBJ old = SelectObject(s.dc, font);
  WCHAR name[64];
  EXPECT_GT(GetTextFaceW(s.dc, 64, name), 0);
  SelectObject(s.dc, old);
  DeleteObject(font);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

TEST(TextFonts, DeviceFontsInWindowsComeFirst) {
  if (!FindFirstFileW) GTEST_SKIP() << "the device file API is not part of this build";
  TempDevice device;
  std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
                             device.root() / "fs" / "Windows" / "Tahoma.ttf");
  Surface s(4, 4, 16);
  SelectedFont f(s.dc, -16, u"Tahoma");
  EXPECT_EQ(f.face(), u"DejaVu Sans Mono"); // matched by the file's name
  SelectedFont g(s.dc, -16, u"DejaVu Sans Mono");
  EXPECT_EQ(g.face(), u"DejaVu Sans Mono");
  EXPECT_EQ(AddFontResourceW(u"\\Windows\\Tahoma.ttf"), 1);
  EXPECT_TRUE(RemoveFontResourceW(u"\\Windows\\Tahoma.ttf"));
  EXPECT_FALSE(RemoveFontResourceW(u"\\Windows\\Tahoma.ttf"));
  EXPECT_EQ(AddFontResourceW(u"\\Windows\\missing.ttf"), 0);
}

TEST(TextFonts, ThreadsDrawTextAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &failures] {
      Surface s(120, 40, 16);
      for (int i = 0; i < 30; ++i) {
        SelectedFont f(s.dc, -(10 + t * 3 + i % 5), i % 2 ? u"DejaVu Serif" : u"");
        RECT r{0, 0, 120, 40};
        if (DrawTextW(s.dc, u"Ελληνικά Кириллица", -1, &r, DT_WORDBREAK) <= 0) ++failures;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

} // namespace
