// The language file chosen by the device's primary language.
#include <installer/install_language.h>

#include <gtest/gtest.h>

TEST(InstallLanguage, EachListedLanguageHasItsFileAndAnyOtherGetsEnglish) {
  EXPECT_EQ(languageFileFor(0x0401), u"lang.arabic.txt");
  EXPECT_EQ(languageFileFor(0x0407), u"lang.german.txt");
  EXPECT_EQ(languageFileFor(0x0408), u"lang.greek.txt");
  EXPECT_EQ(languageFileFor(0x0C0A), u"lang.spanish.txt");
  EXPECT_EQ(languageFileFor(0x040C), u"lang.fran\u00e7ais.txt");
  EXPECT_EQ(languageFileFor(0x0410), u"lang.italiano.txt");
  EXPECT_EQ(languageFileFor(0x0415), u"lang.polish.txt");
  EXPECT_EQ(languageFileFor(0x0418), u"lang.romana.txt");
  EXPECT_EQ(languageFileFor(0x0419), u"lang.russian.txt");
  EXPECT_EQ(languageFileFor(0x0409), u"lang.english.txt");
  EXPECT_EQ(languageFileFor(0x0416), u"lang.english.txt") << "Portuguese";
  EXPECT_EQ(languageFileFor(0x0411), u"lang.english.txt") << "Japanese";
  EXPECT_EQ(languageFileFor(0), u"lang.english.txt");
}

TEST(InstallLanguage, OnlyThePrimaryLanguageCounts) {
  EXPECT_EQ(languageFileFor(0x080C), u"lang.fran\u00e7ais.txt") << "French (Belgium)";
  EXPECT_EQ(languageFileFor(0x0C07), u"lang.german.txt") << "German (Austria)";
  EXPECT_EQ(languageFileFor(0x0816), u"lang.english.txt") << "Portuguese (Portugal)";
  // Bits above the low 8 do not make another language.
  EXPECT_EQ(languageFileFor(0xFF0C), u"lang.fran\u00e7ais.txt");
}
