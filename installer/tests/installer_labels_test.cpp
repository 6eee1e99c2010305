// The menu texts copied at installation: defaults, the language file over them, what is written.
#include <installer/installer_labels.h>

#include <config/label_table.h>

#include <ce/testing/temp_device.h>

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";

std::string languageFile(const std::string &lines) {
  return "<?xml version=\"1.0\"?>\n<ViretaCfg>\n" + lines + "</ViretaCfg>\n";
}

class InstallerLabelsTest : public TempDevice {};

} // namespace

TEST_F(InstallerLabelsTest, ThirtyEightEnglishDefaultsWithRestoreForUnhiding) {
  const InstallerLabels labels;
  EXPECT_EQ(labels.size(), 38u);
  EXPECT_EQ(labels.get(u"LANG_RESTOR"), u"Restore");
  EXPECT_EQ(labels.get(u"LANG_QUIT"), u"Quit");
  EXPECT_EQ(labels.get(u"LANG_PROGRAMS"), u"Programs:");
  EXPECT_EQ(labels.get(u"LANG_MENU"), u"") << "no default";
  EXPECT_EQ(labels.get(u"LANG_PROGRAM"), u"");
}

TEST_F(InstallerLabelsTest, TheFileGoesOverTheDefaultsAndKeepsEveryKeyItNames) {
  put("lang/lang.test.txt",
      languageFile("<translation src=\"LANG_QUIT\" local=\"Quitter\"></translation>\n"
                   "<translation src=\"LANG_MENU\" local=\"Menu du jour\"></translation>\n"
                   "<translation src=\"LANG_PROGRAM\" local=\"Programme\"></translation>\n"
                   "<translation src=\"NOT_A_LABEL\" local=\"kept\"></translation>\n"));
  InstallerLabels labels;
  EXPECT_TRUE(labels.load(u"\\lang\\lang.test.txt"));
  EXPECT_EQ(labels.get(u"LANG_QUIT"), u"Quitter");
  EXPECT_EQ(labels.get(u"LANG_RESTOR"), u"Restore") << "a file without it leaves the default";
  EXPECT_EQ(labels.get(u"NOT_A_LABEL"), u"kept");
  EXPECT_EQ(labels.size(), 41u);

  labels.writeTo(RegistryKey::create(HKEY_LOCAL_MACHINE, Settings));
  // Written in the fixed order, only the texts that are not empty (LANG_SET_POSITION,
  // LANG_NEW_NAME and LANG_REMOVE have none here), as strings without terminating zero.
  const std::vector<std::u16string> expected{
      u"LANG_LOCK",    u"EXPLAIN_CHANGE_IMG", u"EXPLAIN_RENAME", u"LANG_CHANGE_IMG",
      u"LANG_RENAME",  u"LANG_MOVE",          u"LANG_HIDE",      u"LANG_OPTIONS",
      u"LANG_BACK",    u"LANG_QUIT",          u"LANG_RESTOR",    u"LANG_ADD",
      u"LANG_PROGRAM", u"LANG_MENU",          u"LANG_OPTION",    u"LANG_PROGRAMS"};
  EXPECT_EQ(valueNames(Settings), expected);
  const auto quit = query(Settings, u"LANG_QUIT");
  ASSERT_TRUE(quit);
  EXPECT_EQ(quit->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(quit->data.size(), 14u);
  EXPECT_EQ(quit->text(), u"Quitter");
  EXPECT_FALSE(query(Settings, u"NOT_A_LABEL")) << "only the menu's texts are written";
}

TEST_F(InstallerLabelsTest, AnUnreadableFileLeavesTheDefaults) {
  InstallerLabels labels;
  EXPECT_FALSE(labels.load(u"\\missing.txt"));
  EXPECT_EQ(labels.get(u"LANG_QUIT"), u"Quit");
  EXPECT_EQ(labels.size(), 38u);
}
