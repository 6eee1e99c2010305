#include <ce/core/device_profile.h>
#include <ce/core/utf.h>

#include <gtest/gtest.h>

namespace {

TEST(Utf, RoundTripsAcrossPlanesAndReplacesBrokenInput) {
  const std::u16string text = u"A\u00e9\u0416\u20ac\U0001F600";
  EXPECT_EQ(ce::toUtf16(ce::toUtf8(text)), text);
  EXPECT_EQ(ce::toUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  // A lone surrogate and bad UTF-8 become U+FFFD, nothing is dropped without trace.
  EXPECT_EQ(ce::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(ce::toUtf16("a\xC3"), u"a\uFFFD");
  // An overlong form is no valid prefix: each of its bytes is one ill-formed sequence.
  EXPECT_EQ(ce::toUtf16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ce::toUtf16("\xFF" "b"), u"\uFFFDb");
}

TEST(Utf, CaseFoldingCoversTheDeviceLanguages) {
  EXPECT_TRUE(ce::equalsIgnoreCase(u"SOFTWARE\\Tolmar", u"software\\tOLMAR"));
  EXPECT_TRUE(ce::equalsIgnoreCase(u"LANG.FRAN\u00c7AIS.TXT", u"lang.fran\u00e7ais.txt"));
  EXPECT_TRUE(ce::equalsIgnoreCase(u"\u0416\u0401", u"\u0436\u0451"));   // Cyrillic
  EXPECT_TRUE(ce::equalsIgnoreCase(u"\u0391\u0386", u"\u03b1\u03ac"));   // Greek
  EXPECT_TRUE(ce::equalsIgnoreCase(u"\u0141\u0104", u"\u0142\u0105"));   // Polish
  EXPECT_FALSE(ce::equalsIgnoreCase(u"abc", u"abd"));
  EXPECT_EQ(ce::asciiLower(u"ItemPosition\u00c9"), u"itemposition\u00c9");
}

TEST(DeviceProfile, ParsesSerializesAndDerivesDpi) {
  auto p = ce::DeviceProfile::parse("screen=240x320\ntaskbar=classic\nlanguage=0x040c\n");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->screenWidth, 240);
  EXPECT_EQ(p->screenHeight, 320);
  EXPECT_EQ(p->dpi, 96);
  EXPECT_EQ(p->taskbar, ce::TaskbarKind::Classic);
  EXPECT_EQ(p->language, 0x040c);
  auto again = ce::DeviceProfile::parse(p->serialize());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->serialize(), p->serialize());
  EXPECT_EQ(ce::DeviceProfile::dpiForScreen(480, 800), 192);
  EXPECT_EQ(ce::DeviceProfile::dpiForScreen(800, 360), 144);
}

TEST(DeviceProfile, RefusesBadValuesWithALineNumber) {
  std::string error;
  EXPECT_FALSE(ce::DeviceProfile::parse("# c\nscreen=480y640\n", &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(ce::DeviceProfile::parse("taskbar=round\n", &error));
  EXPECT_FALSE(ce::DeviceProfile::parse("language=zz\n", &error));
  EXPECT_FALSE(ce::DeviceProfile::parse("screen=99999999999999999999x1\n", &error));
  EXPECT_FALSE(ce::DeviceProfile::parse("no equals sign\n", &error));
  EXPECT_TRUE(ce::DeviceProfile::parse("future=ignored\n"));
}

} // namespace
