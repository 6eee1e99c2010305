#include <ce/testing/temp_device.h>

#include <config/label_table.h>
#include <config/language_selection.h>

namespace {

using Names = std::vector<std::u16string>;

class LanguageSelectionTest : public TempDevice {
protected:
  void language(const std::string &path, const std::string &saveText) {
    put(path, "<?xml?>\n<ViretaCfg>\n<translation src=\"LANG_SAVE\" local=\"" + saveText +
                  "\">\n</ViretaCfg>\n");
  }
  LanguageSelection startUp() {
    HKEY key = createKey(u"SOFTWARE\\Tolmar_Vireta");
    auto selection = LanguageSelection::atStartUp(key, u"\\Program Files\\Vireta\\", labels_);
    RegCloseKey(key);
    return selection;
  }
  LabelTable labels_;
};

TEST_F(LanguageSelectionTest, WithoutLangFileUsesEnglishFromTheDefaultDirectory) {
  language("Program Files/Vireta/resources/lang/lang.english.txt", "Save it");
  language("Program Files/Vireta/resources/lang/lang.german.txt", "Speichern");
  const auto selection = startUp();
  EXPECT_EQ(selection.directory(), u"\\Program Files\\Vireta\\resources\\lang\\");
  EXPECT_EQ(selection.currentFileName(), u"");
  EXPECT_EQ(selection.files(), (Names{u"lang.english.txt", u"lang.german.txt"}));
  EXPECT_EQ(selection.currentIndex(), -1);
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Save it");
  // Save leaves langFile alone unless the user picks a language.
  EXPECT_FALSE(query(u"SOFTWARE\\Tolmar_Vireta", u"langFile"));
}

TEST_F(LanguageSelectionTest, LangFileOnAStorageCardPicksThatDirectory) {
  language("Program Files/Vireta/resources/lang/lang.english.txt", "Save it");
  language("Storage Card/Lang/lang.german.txt", "Speichern");
  language("Storage Card/Lang/lang.Zulu.txt", "Londoloza");
  language("Storage Card/Lang/german.txt", "partial");
  put("Storage Card/Lang/readme.md", "not a language");
  std::filesystem::create_directories(root_ / "fs/Storage Card/Lang/old.txt");
  setString(u"SOFTWARE\\Tolmar_Vireta", u"langFile", u"\\Storage Card\\Lang\\lang.german.txt");

  auto selection = startUp();
  EXPECT_EQ(selection.directory(), u"\\Storage Card\\Lang\\");
  EXPECT_EQ(selection.currentFileName(), u"lang.german.txt");
  // Sorted by code units: capitals before small letters; folders are no language files.
  EXPECT_EQ(selection.files(), (Names{u"german.txt", u"lang.Zulu.txt", u"lang.german.txt"}));
  // Both "german.txt" and "lang.german.txt" occur in the current name: the last one wins.
  EXPECT_EQ(selection.currentIndex(), 2);
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Speichern");

  EXPECT_TRUE(selection.choose(1, labels_));
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Londoloza");
  EXPECT_EQ(selection.currentIndex(), 1);
  EXPECT_EQ(selection.pathOf(1), u"\\Storage Card\\Lang\\lang.Zulu.txt");
  EXPECT_FALSE(selection.choose(3, labels_));
  EXPECT_FALSE(selection.choose(-1, labels_));
  EXPECT_EQ(selection.pathOf(3), u"");
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Londoloza");
}

TEST_F(LanguageSelectionTest, UnusableLangFileCountsAsAbsent) {
  language("Program Files/Vireta/resources/lang/lang.english.txt", "Save it");
  language("Other/german.txt", "Speichern");
  // No "lang." to split at.
  setString(u"SOFTWARE\\Tolmar_Vireta", u"langFile", u"\\Other\\german.txt");
  auto selection = startUp();
  EXPECT_EQ(selection.directory(), u"\\Program Files\\Vireta\\resources\\lang\\");
  EXPECT_EQ(selection.currentIndex(), -1);
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Save it");

  // Longer than the 259 characters a string value may hold.
  setString(u"SOFTWARE\\Tolmar_Vireta", u"langFile",
            u"\\" + std::u16string(300, u'd') + u"\\lang.german.txt");
  selection = startUp();
  EXPECT_EQ(selection.currentFileName(), u"");
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Save it");

  // A named file that is missing leaves English but still lists its directory.
  setString(u"SOFTWARE\\Tolmar_Vireta", u"langFile", u"\\Other\\lang.gone.txt");
  selection = startUp();
  EXPECT_EQ(selection.directory(), u"\\Other\\");
  EXPECT_EQ(selection.files(), Names{u"german.txt"});
  EXPECT_EQ(selection.currentIndex(), -1);
}

TEST_F(LanguageSelectionTest, EmptyDirectoryGivesNoList) {
  auto selection = startUp();
  EXPECT_TRUE(selection.files().empty());
  EXPECT_EQ(selection.currentIndex(), -1);
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Save");
  EXPECT_EQ(LanguageSelection::preselection({u"a.txt", u"b.txt"}, u""), -1);
  EXPECT_EQ(LanguageSelection::preselection({u"a.txt", u"xa.txt"}, u"lang.xa.txt"), 1);
}

} // namespace
