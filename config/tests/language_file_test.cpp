#include <ce/testing/temp_device.h>

#include <config/label_table.h>
#include <config/language_file.h>

#include <set>
#include <string>

namespace {

using namespace std::string_literals;

class LanguageFileTest : public TempDevice {
protected:
  // Loads a file with the given body between a prologue and the element's opening and
  // closing lines.
  bool loadBody(const std::string &body) {
    put("lang.test.txt", "<?xml version=\"1.0\"?>\n<ViretaCfg>\n" + body + "</ViretaCfg>\n");
    return labels_.load(u"\\lang.test.txt");
  }
  LabelTable labels_;
};

TEST(LabelTable, HoldsTheFixedKeysWithTheirEnglishTexts) {
  LabelTable labels;
  EXPECT_EQ(LabelTable::defaults().size(), 49u);
  std::set<std::u16string_view> keys;
  for (const auto &entry : LabelTable::defaults()) {
    EXPECT_TRUE(keys.insert(entry.key).second) << ce::toUtf8(entry.key);
    EXPECT_EQ(labels.get(entry.key), entry.text);
  }
  EXPECT_EQ(labels.get(u"EXPLAIN_MOVE"), u"New position of icon (1 is top right):");
  EXPECT_EQ(labels.get(u"LANG_NB_ICON_MAX"), u"Max icon loaded (to use less memory) ?");
  EXPECT_EQ(labels.get(u"LANG_OPTIONS"), u"Options");
  for (auto key : LabelTable::savedKeys())
    EXPECT_TRUE(labels.contains(key));
  EXPECT_EQ(LabelTable::savedKeys().size(), 20u);

  // Keys are matched exactly; an unknown key is neither stored nor found.
  EXPECT_FALSE(labels.set(u"lang_save", u"x"));
  EXPECT_FALSE(labels.set(u"LANG_SAVE ", u"x"));
  EXPECT_FALSE(labels.set(u"LANG_PROGRAM", u"x"));
  EXPECT_EQ(labels.get(u"LANG_PROGRAM"), u"");
  EXPECT_EQ(labels.get(u"LANG_SAVE"), u"Save");
  EXPECT_TRUE(labels.set(u"LANG_SAVE", u"Speichern"));
  EXPECT_EQ(labels.get(u"LANG_SAVE"), u"Speichern");
  labels.resetToDefaults();
  EXPECT_EQ(labels.get(u"LANG_SAVE"), u"Save");
}

TEST_F(LanguageFileTest, CutsKeyAndTextOutOfTranslationLines) {
  EXPECT_TRUE(loadBody("  <translation src=\"LANG_SAVE\" local=\"Enregistrer\"></translation>\n"
                       "<translation src=\"LANG_CANCEL\" local=\"Annuler\"/>\n"
                       "<translation src=\"LANG_SAVE_TYPO\" local=\"lost\">\n"
                       "<translation src=\"LANG_QUIT\" local=\"Quitter\"><translation "
                       "src=\"LANG_BACK\" local=\"Retour\">\n"
                       "<translation src=\"LANG_LOCK\" local=\" a &amp; b \">\n"
                       "<translation local=\"no key\">\n"
                       "<translation src=\"LANG_MENU\" local='single'>\n"
                       "<translation src=\"LANG_HIDE\"local=\"glued\">\n"));
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Enregistrer");
  // Without `">` the text runs to the end of the line, quote and slash included.
  EXPECT_EQ(labels_.get(u"LANG_CANCEL"), u"Annuler\"/>");
  // Only the first element of a line counts.
  EXPECT_EQ(labels_.get(u"LANG_QUIT"), u"Quitter");
  EXPECT_EQ(labels_.get(u"LANG_BACK"), u"Back");
  // Texts are literal: spaces kept, nothing unescaped.
  EXPECT_EQ(labels_.get(u"LANG_LOCK"), u" a &amp; b ");
  // The text always starts one character after `local=`, whatever that character is.
  EXPECT_EQ(labels_.get(u"LANG_MENU"), u"single'>");
  // Lines lacking one of the markers are skipped.
  EXPECT_EQ(labels_.get(u"LANG_HIDE"), u"Hide this icon");

  const auto t = LanguageFile::parseTranslation(u"<translation src=\"\" local=\"\">");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->key, u"");
  EXPECT_EQ(t->text, u"");
  EXPECT_FALSE(LanguageFile::parseTranslation(u"src=\" local=\"x\">"));
  EXPECT_FALSE(LanguageFile::parseTranslation(u"\" local=\"x\"> src=\"K"));
  const auto tail = LanguageFile::parseTranslation(u"src=\"K\" local=");
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->text, u"");
}

TEST_F(LanguageFileTest, EveryLoadStartsFromEnglish) {
  EXPECT_TRUE(loadBody("<translation src=\"LANG_SAVE\" local=\"Guardar\">\n"
                       "<translation src=\"LANG_QUIT\" local=\"Salir\">\n"));
  EXPECT_EQ(labels_.get(u"LANG_QUIT"), u"Salir");
  EXPECT_TRUE(loadBody("<translation src=\"LANG_SAVE\" local=\"Sichern\">\n"));
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Sichern");
  EXPECT_EQ(labels_.get(u"LANG_QUIT"), u"Quit");
  // A missing file leaves English too, and says so.
  EXPECT_FALSE(labels_.load(u"\\lang.none.txt"));
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Save");
  put("empty.txt", "");
  EXPECT_FALSE(labels_.load(u"\\empty.txt"));
}

TEST_F(LanguageFileTest, FollowsPrologueOpeningAndClosingLines) {
  const std::string entry = "<translation src=\"LANG_SAVE\" local=\"X\">";
  struct Case {
    std::string file;
    std::u16string save;
  };
  const Case cases[] = {
      // Lines before the prologue are skipped, entries included.
      {"junk\n" + entry + "\n<?xml?>\n<ViretaCfg>\n" +
           "<translation src=\"LANG_SAVE\" local=\"X2\">\n</ViretaCfg>\n",
       u"X2"},
      // No prologue, or no opening line: nothing applies.
      {"<ViretaCfg>\n" + entry + "\n</ViretaCfg>\n", u"Save"},
      {"<?xml?>\n" + entry + "\n</ViretaCfg>\n", u"Save"},
      // An entry on the opening line counts, unless that line also closes the element.
      {"<?xml?>\n<ViretaCfg>" + entry + "\n", u"X"},
      {"<?xml?>\n<ViretaCfg>" + entry + "</ViretaCfg>\n", u"Save"},
      // The closing line ends reading; an entry sharing it is applied first.
      {"<?xml?>\n<ViretaCfg>\n</ViretaCfg>\n" + entry + "\n", u"Save"},
      {"<?xml?>\n<ViretaCfg>\n" + entry + "</ViretaCfg>\n" +
           "<translation src=\"LANG_SAVE\" local=\"after\">\n",
       u"X"},
      // Without a closing line the file is read to its end.
      {"<?xml?><ViretaCfg>\n\n<!-- note -->\n" + entry, u"X"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.file);
    put("case.txt", c.file);
    EXPECT_TRUE(labels_.load(u"\\case.txt"));
    EXPECT_EQ(labels_.get(u"LANG_SAVE"), c.save);
  }
}

TEST_F(LanguageFileTest, ReadsEveryEncodingTheReadersKnow) {
  const std::u16string text = u"<?xml?>\r\n<ViretaCfg>\r\n"
                              u"<translation src=\"LANG_SAVE\" local=\"\u0421\u043e\u0445\">\r\n"
                              u"</ViretaCfg>\r\n";
  std::string le = "\xFF\xFE";
  std::string be = "\xFE\xFF";
  for (char16_t c : text) {
    le += static_cast<char>(c & 0xFF), le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
  }
  put("le.txt", le);
  put("be.txt", be);
  put("utf8.txt", "\xEF\xBB\xBF" + ce::toUtf8(text));
  for (auto path : {u"\\le.txt", u"\\be.txt", u"\\utf8.txt"}) {
    SCOPED_TRACE(ce::toUtf8(path));
    EXPECT_TRUE(labels_.load(path));
    EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"\u0421\u043e\u0445");
  }
  // ANSI files are read in the device's code page (Western by default).
  EXPECT_TRUE(loadBody("<translation src=\"LANG_SAVE\" local=\"Sauvegard\xE9\">\n"));
  EXPECT_EQ(labels_.get(u"LANG_SAVE"), u"Sauvegard\u00E9");
}

TEST_F(LanguageFileTest, SavedLabelsAreWrittenWithoutTerminator) {
  EXPECT_TRUE(loadBody("<translation src=\"LANG_LOCK\" local=\"Verrouiller\">\n"));
  HKEY key = createKey(u"SOFTWARE\\Tolmar_Vireta");
  EXPECT_TRUE(labels_.writeSavedLabels(key));
  RegCloseKey(key);
  const auto lock = query(u"SOFTWARE\\Tolmar_Vireta", u"LANG_LOCK");
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock->type, REG_SZ);
  EXPECT_EQ(lock->data.size(), 22u);
  EXPECT_EQ(lock->text(), u"Verrouiller");
  EXPECT_EQ(query(u"SOFTWARE\\Tolmar_Vireta", u"LANG_SORT_ALPHA")->text(), u"Sort alphabetically");
  // Only the saved labels go to the menu program's key.
  EXPECT_FALSE(query(u"SOFTWARE\\Tolmar_Vireta", u"LANG_SAVE"));
  EXPECT_FALSE(query(u"SOFTWARE\\Tolmar_Vireta", u"EXPLAIN_MOVE"));
  EXPECT_EQ(valueNames(u"SOFTWARE\\Tolmar_Vireta").size(), 20u);
}

} // namespace
