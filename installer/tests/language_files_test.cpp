// The language files the package carries: every label key, in each language, read by the
// options program's own reader.
#include <installer/install_language.h>

#include <config/label_table.h>
#include <config/language_file.h>

#include <ce/core/utf.h>
#include <ce/testing/temp_device.h>

#include <filesystem>
#include <map>
#include <set>

namespace {

class PackagedLanguages : public TempDevice {
protected:
  // The file's translations, read from a copy on the device.
  std::map<std::u16string, std::u16string> read(const std::string &name) {
    std::filesystem::create_directories(root_ / "fs" / "lang");
    std::filesystem::copy_file(std::filesystem::path(LANGUAGE_DIR) / name,
                               root_ / "fs" / "lang" / name,
                               std::filesystem::copy_options::overwrite_existing);
    std::map<std::u16string, std::u16string> texts;
    const std::u16string path = u"\\lang\\" + ce::toUtf16(name);
    EXPECT_TRUE(LanguageFile::read(path, [&](std::u16string_view key, std::u16string_view text) {
      EXPECT_TRUE(texts.emplace(std::u16string(key), std::u16string(text)).second)
          << name << ": " << ce::toUtf8(key) << " twice";
    })) << name;
    return texts;
  }
};

const std::vector<std::string> &names() {
  static const std::vector<std::string> list{"lang.english.txt",
                                             "lang.fran\xc3\xa7"
                                             "ais.txt",
                                             "lang.german.txt",
                                             "lang.greek.txt",
                                             "lang.italiano.txt",
                                             "lang.polish.txt",
                                             "lang.romana.txt",
                                             "lang.russian.txt",
                                             "lang.spanish.txt",
                                             "lang.arabic.txt"};
  return list;
}

} // namespace

TEST_F(PackagedLanguages, EveryFileGivesEveryLabelAText) {
  for (const auto &name : names()) {
    const auto texts = read(name);
    for (const auto &label : LabelTable::defaults()) {
      const auto found = texts.find(std::u16string(label.key));
      ASSERT_NE(found, texts.end()) << name << " lacks " << ce::toUtf8(label.key);
      EXPECT_FALSE(found->second.empty()) << name << ": " << ce::toUtf8(label.key);
    }
    EXPECT_EQ(texts.size(), LabelTable::defaults().size()) << name << " names unknown keys";
  }
}

TEST_F(PackagedLanguages, TheInstallersChoicesAreAllThere) {
  std::set<std::string> present(names().begin(), names().end());
  for (LANGID language : {0x01, 0x07, 0x08, 0x0A, 0x0C, 0x10, 0x15, 0x18, 0x19, 0x09})
    EXPECT_TRUE(present.count(ce::toUtf8(languageFileFor(language)))) << language;
  for (const auto &entry : std::filesystem::directory_iterator(LANGUAGE_DIR))
    EXPECT_TRUE(present.count(entry.path().filename().string())) << entry.path();
}

TEST_F(PackagedLanguages, EachLanguageIsTranslatedWithItsOwnCharacters) {
  const auto english = read("lang.english.txt");
  const std::map<std::string, std::pair<std::u16string, std::u16string>> samples{
      {"lang.fran\xc3\xa7"
       "ais.txt",
       {u"LANG_SAVE", u"Enregistrer"}},
      {"lang.german.txt", {u"LANG_BACK", u"Zur\u00fcck"}},
      {"lang.greek.txt",
       {u"LANG_SAVE", u"\u0391\u03c0\u03bf\u03b8\u03ae\u03ba\u03b5\u03c5\u03c3\u03b7"}},
      {"lang.italiano.txt", {u"LANG_CANCEL", u"Annulla"}},
      {"lang.polish.txt", {u"LANG_CHOOSE", u"Wybierz j\u0119zyk"}},
      {"lang.romana.txt", {u"LANG_BACK", u"\u00cenapoi"}},
      {"lang.russian.txt",
       {u"LANG_SAVE", u"\u0421\u043e\u0445\u0440\u0430\u043d\u0438\u0442\u044c"}},
      {"lang.spanish.txt", {u"LANG_BACK", u"Atr\u00e1s"}},
      {"lang.arabic.txt", {u"LANG_SAVE", u"\u062d\u0641\u0638"}},
  };
  for (const auto &[name, sample] : samples) {
    const auto texts = read(name);
    EXPECT_EQ(texts.at(sample.first), sample.second) << name;
    int same = 0;
    for (const auto &[key, text] : texts)
      same += english.at(key) == text ? 1 : 0;
    EXPECT_LT(same, 8) << name << " keeps too many English texts";
  }
}
