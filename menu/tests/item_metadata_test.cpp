#include "menu_device.h"

#include <menu/folder_listing.h>
#include <menu/item_indexes.h>
#include <menu/item_metadata_reader.h>
#include <menu/item_target.h>
#include <menu/shortcut_file.h>
#include <toolkit/registry/registry_key.h>

namespace {

class ItemMetadataTest : public MenuDevice {
protected:
  void SetUp() override {
    MenuDevice::SetUp();
    put("Windows/Start Menu/Settings/icon.lnk", "1#x");
    program("Windows/calc.exe");
    folders_ = folders();
  }
  void TearDown() override {
    ItemMetadataReader::setWriteBack(true);
    MenuDevice::TearDown();
  }
  ItemMetadata read(std::u16string_view path) const {
    return ItemMetadataReader(folders_).read(path);
  }

  static constexpr std::u16string_view CalcLink = u"\\Windows\\Start Menu\\Programs\\Calc.lnk";
  MenuFolders folders_;
};

TEST_F(ItemMetadataTest, ACompleteKeyGivesItsStoredSlot) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", u"Calculator", u"\\Windows\\calc.exe", u"\\icons\\calc.png", 3);
  const auto calc = read(CalcLink);
  EXPECT_EQ(calc.position, 3);
  EXPECT_EQ(calc.name, u"Calculator");
  EXPECT_EQ(calc.icon, u"\\icons\\calc.png");
  EXPECT_EQ(calc.target, u"\\Windows\\calc.exe");
  EXPECT_FALSE(calc.folder);
  EXPECT_TRUE(calc.isShown());
}

TEST_F(ItemMetadataTest, WhatIsMissingIsDerivedFromTheFileAndWrittenBack) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe -x");
  const auto calc = read(CalcLink);
  EXPECT_EQ(calc.position, ItemMetadata::NoSlot);
  EXPECT_EQ(calc.name, u"Calc");
  EXPECT_EQ(calc.target, u"\\Windows\\calc.exe -x");
  // No key yet: nothing to write into.
  EXPECT_FALSE(has(key(u"calc.lnk"), u"name"));

  setDword(key(u"calc.lnk"), u"ItemPosition", 2);
  EXPECT_EQ(read(CalcLink).position, 2);
  EXPECT_EQ(text(key(u"calc.lnk"), u"name"), u"Calc");
  EXPECT_EQ(text(key(u"calc.lnk"), u"target"), u"\\Windows\\calc.exe -x");
}

TEST_F(ItemMetadataTest, NamesThatLookLikeFileNamesAreDerivedAgain) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  for (const std::u16string stored : {u"", u"calc.LNK", u"cplmain.cpl,5"}) {
    item(u"calc.lnk", stored, u"\\Windows\\calc.exe", u"\\icons\\calc.png", 0);
    EXPECT_EQ(read(CalcLink).name, u"Calc") << stored.size();
  }
  // A name the user gave stays.
  item(u"calc.lnk", u"Sums", u"\\Windows\\calc.exe", u"", 0);
  EXPECT_EQ(read(CalcLink).name, u"Sums");
  EXPECT_EQ(text(key(u"calc.lnk"), u"name"), u"Sums");
}

TEST_F(ItemMetadataTest, AFolderListingAnswersForTheFilesOfItsDirectory) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", u"Calculator", u"\\Windows\\calc.exe", u"\\icons\\calc.png", 3);
  const auto listing = FolderListing::read(u"\\windows\\start menu\\programs\\");
  ASSERT_TRUE(listing.known());
  EXPECT_TRUE(listing.attributesOf(u"CALC.LNK").has_value()) << "names compare without case";
  EXPECT_FALSE(listing.attributesOf(u"Other.lnk").has_value());
  const ItemMetadataReader reader(folders_);
  EXPECT_EQ(reader.read(CalcLink, &listing).position, 3);

  // The listing is what tells: a file gone after it was taken still counts, a new listing
  // knows it is gone.
  remove("Windows/Start Menu/Programs/Calc.lnk");
  EXPECT_EQ(reader.read(CalcLink, &listing).position, 3);
  const auto fresh = FolderListing::read(u"\\windows\\start menu\\programs");
  ASSERT_TRUE(fresh.known());
  EXPECT_EQ(reader.read(CalcLink, &fresh).position, ItemMetadata::Dead);

  // A directory that is not there holds nothing.
  const auto missing = FolderListing::read(u"\\windows\\start menu\\programs\\gone");
  EXPECT_TRUE(missing.known());
  EXPECT_EQ(missing.size(), 0u);
}

TEST_F(ItemMetadataTest, ADerivedNameThatIsStoredAlreadyIsNotWrittenAgain) {
  // A folder named as its directory: its name is derived at every reading, and is the same.
  std::filesystem::create_directories(root_ / "fs/Windows/Start Menu/Programs/Games");
  item(u"Games", u"Games", u"\\Windows\\Start Menu\\Programs\\Games", u"\\i.png", 1);
  const auto keyPath = key(u"Games");
  const auto lastWritten = [&] {
    const auto opened = RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath);
    FILETIME written{};
    RegQueryInfoKeyW(opened.handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, &written);
    return (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  };
  const auto before = lastWritten();
  ASSERT_NE(before, 0u);
  const auto games = read(u"\\Windows\\Start Menu\\Programs\\Games");
  EXPECT_EQ(games.name, u"Games");
  EXPECT_TRUE(games.folder);
  EXPECT_EQ(lastWritten(), before);
}

TEST_F(ItemMetadataTest, WriteBackCanBeSwitchedOff) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  setDword(key(u"calc.lnk"), u"ItemPosition", 1);
  ItemMetadataReader::setWriteBack(false);
  EXPECT_EQ(read(CalcLink).name, u"Calc");
  EXPECT_FALSE(has(key(u"calc.lnk"), u"name"));
  EXPECT_FALSE(has(key(u"calc.lnk"), u"target"));
}

TEST_F(ItemMetadataTest, PositionCodesForHiddenFalseAndDeadItems) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", u"Calculator", u"\\Windows\\calc.exe", u"\\icons\\calc.png", 4);
  setDword(key(u"calc.lnk"), u"hidden", 1);
  EXPECT_EQ(read(CalcLink).position, ItemMetadata::Hidden);
  EXPECT_EQ(position(u"calc.lnk"), 4); // it keeps its slot

  setDword(key(u"calc.lnk"), u"falseLink", 1);
  const auto marked = read(CalcLink);
  EXPECT_EQ(marked.position, ItemMetadata::FalseLink);
  EXPECT_TRUE(marked.name.empty());
  EXPECT_FALSE(marked.isShown());
}

TEST_F(ItemMetadataTest, AnItemIsDeadWhenItsFileOrItsProgramIsGone) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", u"Calculator", u"\\Windows\\calc.exe", u"", 0);
  remove("Windows/calc.exe");
  EXPECT_EQ(read(CalcLink).position, ItemMetadata::Dead);

  program("Windows/calc.exe");
  remove("Windows/Start Menu/Programs/Calc.lnk");
  EXPECT_EQ(read(CalcLink).position, ItemMetadata::Dead);

  // A shortcut to nowhere, and a file that is no shortcut at all.
  programsShortcut("Gone.lnk", "\\Program Files\\Gone\\gone.exe");
  EXPECT_EQ(read(u"\\Windows\\Start Menu\\Programs\\Gone.lnk").position, ItemMetadata::Dead);
  put("Windows/Start Menu/Programs/Broken.lnk", "not a shortcut");
  EXPECT_EQ(read(u"\\Windows\\Start Menu\\Programs\\Broken.lnk").position, ItemMetadata::Dead);
}

TEST_F(ItemMetadataTest, ProgramsAndFoldersStandForThemselves) {
  program("Windows/Start Menu/Programs/Tool.exe");
  const auto tool = read(u"\\Windows\\Start Menu\\Programs\\Tool.exe");
  EXPECT_EQ(tool.position, ItemMetadata::NoSlot);
  EXPECT_EQ(tool.name, u"Tool.exe");
  EXPECT_EQ(tool.target, u"\\Windows\\Start Menu\\Programs\\Tool.exe");

  std::filesystem::create_directories(root_ / "fs/Windows/Start Menu/Programs/Games");
  const auto games = read(u"\\Windows\\Start Menu\\Programs\\Games");
  EXPECT_EQ(games.position, ItemMetadata::NoSlot);
  EXPECT_EQ(games.name, u"Games");
  EXPECT_TRUE(games.folder);
}

TEST_F(ItemMetadataTest, SettingsAppletsAreStartedByTheControlPanelHost) {
  // Entries of the Settings tree have no files behind them.
  setDword(key(u"Settings\\Personal\\owner.cpl"), u"ItemPosition", 0);
  const auto owner = read(u"\\Windows\\Start Menu\\Programs\\Settings\\Personal\\owner.cpl");
  EXPECT_EQ(owner.position, 0);
  EXPECT_EQ(owner.name, u"owner");
  EXPECT_EQ(owner.target, u"\\windows\\ctlpnl.exe owner.cpl");
  EXPECT_EQ(text(key(u"settings\\personal\\owner.cpl"), u"target"),
            u"\\windows\\ctlpnl.exe owner.cpl");

  // A stored target of the Settings tree is not looked for on the device.
  item(u"Settings\\System\\cplmain.cpl,5", u"cplmain.cpl,5", u"\\Windows\\ctlpnl.exe cplmain.cpl,5",
       u"\\icons\\x.png", 1);
  const auto applet = read(u"\\Windows\\Start Menu\\Settings\\System\\cplmain.cpl,5");
  EXPECT_EQ(applet.position, 1);
  EXPECT_EQ(applet.name, u"cplmain,5");
  EXPECT_EQ(applet.target, u"\\Windows\\ctlpnl.exe cplmain.cpl,5");

  // A group folder of the Settings tree is a folder of the menu.
  setString(key(u"Settings"), u"target", u"\\Settings\\");
  EXPECT_TRUE(read(u"\\Windows\\Start Menu\\Programs\\Settings").folder);
}

TEST_F(ItemMetadataTest, AnUnresolvedMoveClaimStandsAtItsSlot) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", u"Calculator", u"\\Windows\\calc.exe", u"\\i.png", ~3);
  EXPECT_EQ(read(CalcLink).position, 3);
}

TEST_F(ItemMetadataTest, ValuesLongerThanTheDisplayBufferCountAsMissing) {
  programsShortcut("Calc.lnk", "\\Windows\\calc.exe");
  item(u"calc.lnk", std::u16string(254, u'n'), u"\\Windows\\calc.exe", u"\\i.png", 0);
  EXPECT_EQ(read(CalcLink).name, std::u16string(254, u'n'));
  setString(key(u"calc.lnk"), u"name", std::u16string(255, u'n'));
  EXPECT_EQ(read(CalcLink).name, u"Calc");
}

TEST_F(ItemMetadataTest, TargetsSplitIntoProgramAndArguments) {
  const auto plain = ItemTarget::split(u"  \\Windows\\poutlook.EXE mail ");
  EXPECT_EQ(plain.program, u"\\Windows\\poutlook.EXE");
  EXPECT_EQ(plain.arguments, u"mail");
  const auto quoted = ItemTarget::split(u"\"\\Program Files\\My App\\app.exe\" -a \"b c\"");
  EXPECT_EQ(quoted.program, u"\\Program Files\\My App\\app.exe");
  EXPECT_EQ(quoted.arguments, u"-a \"b c\"");
  EXPECT_EQ(ItemTarget::split(u"\"unclosed").program, u"unclosed");
  EXPECT_EQ(ItemTarget::split(u"\\My Documents\\notes.txt").program, u"\\My Documents\\notes.txt");
  EXPECT_EQ(ItemTarget::split(u"").program, u"");
  EXPECT_EQ(ItemTarget::indexKeyOf(u"\\Windows\\POutlook.exe mail"), u"\\windows\\poutlook.exe");

  EXPECT_TRUE(ItemTarget::programExists(u"\\windows\\CALC.exe"));
  EXPECT_TRUE(ItemTarget::programExists(u"calc.exe")); // looked for in \windows
  EXPECT_FALSE(ItemTarget::programExists(u"nothing.exe"));
  EXPECT_FALSE(ItemTarget::programExists(u""));
}

TEST_F(ItemMetadataTest, ShortcutTextsInTheirForms) {
  EXPECT_EQ(ShortcutFile::commandOf(u"22#\\Windows\\calc.exe"), u"\\Windows\\calc.exe");
  EXPECT_EQ(ShortcutFile::commandOf(u" 5#\"\\a b\\c.exe\" -x\r\n"), u"\"\\a b\\c.exe\" -x");
  EXPECT_EQ(ShortcutFile::commandOf(u"23#\\Windows\\app.exe?\\Windows\\ceshell.dll,-5"),
            u"\\Windows\\app.exe");
  EXPECT_EQ(ShortcutFile::commandOf(u"99#:MSCONTACTS"), u":MSCONTACTS"); // a count that is off
  for (const auto *bad : {u"", u"#\\a.exe", u"12", u"12#", u"12# ?icon", u"x2#\\a.exe"})
    EXPECT_FALSE(ShortcutFile::commandOf(bad).has_value());

  put("utf16.lnk", std::string("\xFF\xFE"
                               "1\0#\0\\\0a\0.\0e\0x\0e\0",
                               18));
  EXPECT_EQ(ShortcutFile::readCommand(u"\\utf16.lnk"), u"\\a.exe");
  put("lines.lnk", "\r\n\r\n18#\\Windows\\calc.exe\r\nignored");
  EXPECT_EQ(ShortcutFile::readCommand(u"\\lines.lnk"), u"\\Windows\\calc.exe");
  EXPECT_FALSE(ShortcutFile::readCommand(u"\\missing.lnk").has_value());
  put("huge.lnk", "5#\\" + std::string(5000, 'a'));
  EXPECT_FALSE(ShortcutFile::readCommand(u"\\huge.lnk").has_value());
}

TEST_F(ItemMetadataTest, IndexesCoverTheWholeTreeByProgramAndName) {
  item(u"calc.lnk", u"Calculator", u"\\Windows\\Calc.exe", u"", 0);
  item(u"Office\\Mail.lnk", u"Mail", u"\\Windows\\poutlook.exe mail", u"", 0);
  item(u"Office\\icon.lnk", u"Folder icon", u"\\Windows\\folder.exe", u"", 0);
  item(u"Old.lnk", u"Old", u"\\Windows\\old.exe", u"", 0);
  setDword(key(u"Old.lnk"), u"falseLink", 1);
  item(u"Settings\\Personal\\owner.cpl", u"Owner", u"\\windows\\ctlpnl.exe owner.cpl", u"", 0);

  ItemIndexes indexes;
  indexes.scan(Start);
  EXPECT_EQ(indexes.findByTarget(u"\\windows\\calc.exe"), key(u"calc.lnk\\"));
  EXPECT_EQ(indexes.findByTarget(u"\\WINDOWS\\POUTLOOK.EXE"), key(u"Office\\Mail.lnk\\"));
  EXPECT_EQ(indexes.findByName(u"mail"), key(u"Office\\Mail.lnk\\"));
  EXPECT_EQ(indexes.findByName(u"calculator"), key(u"calc.lnk\\"));
  EXPECT_EQ(indexes.findByTarget(u"\\windows\\ctlpnl.exe"),
            key(u"Settings\\Personal\\owner.cpl\\"));
  EXPECT_FALSE(indexes.findByTarget(u"\\windows\\folder.exe").has_value());
  EXPECT_FALSE(indexes.findByTarget(u"\\windows\\old.exe").has_value());
  EXPECT_FALSE(indexes.findByName(u"folder icon").has_value());
  EXPECT_EQ(indexes.targets().size(), 3u);
}

} // namespace
