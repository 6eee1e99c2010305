// The setup library's registry and directory steps on a device root without a host.
#include <installer/system_setup.h>

#include <toolkit/registry/registry_key.h>
#include <service_control/registry_tree.h>

#include <ce/testing/temp_device.h>

namespace {

constexpr char16_t StartInfo[] = u"Security\\Shell\\StartInfo\\Start";

class SystemSetupSteps : public TempDevice {};

} // namespace

TEST(SystemSetupDirectory, OnlyTheProgramFilesFolderAtTheStartIsAccepted) {
  EXPECT_TRUE(SystemSetup::isProgramFilesDirectory(u"\\Program Files\\Vireta", u"\\Program Files"));
  EXPECT_TRUE(SystemSetup::isProgramFilesDirectory(u"\\Program Files", u"\\Program Files"));
  EXPECT_TRUE(
      SystemSetup::isProgramFilesDirectory(u"x\\Program Files\\Vireta", u"\\Program Files"));
  // A "Program Files" folder on a storage card: found at character 13.
  EXPECT_FALSE(SystemSetup::isProgramFilesDirectory(u"\\Storage Card\\Program Files\\Vireta",
                                                    u"\\Program Files"));
  EXPECT_FALSE(SystemSetup::isProgramFilesDirectory(u"\\Storage Card\\Vireta", u"\\Program Files"));
  EXPECT_FALSE(SystemSetup::isProgramFilesDirectory(u"", u"\\Program Files"));
  EXPECT_FALSE(SystemSetup::isProgramFilesDirectory(u"\\Program Files\\Vireta", u""));
}

TEST_F(SystemSetupSteps, IconsIntoTheSystemsResourcesAreRemovedWhateverTheirCase) {
  setString(StartInfo, u"Icon", u"\\Program Files\\Vireta\\resources\\root.png");
  setString(std::u16string(StartInfo) + u"\\Games", u"Icon",
            u"\\PROGRAM FILES\\VIRETA\\RESOURCES\\dossier.png");
  setString(std::u16string(StartInfo) + u"\\Games\\solitaire.lnk", u"Icon",
            u"\\Storage Card\\vireta\\Resources\\cards.png");
  setString(std::u16string(StartInfo) + u"\\Games\\solitaire.lnk", u"name", u"Cards");
  setString(std::u16string(StartInfo) + u"\\calc.lnk", u"Icon", u"\\Windows\\calc.png");
  setString(std::u16string(StartInfo) + u"\\notes.lnk", u"Icon", u"\\Vireta\\notes.png");

  const RegistryKey startInfo =
      RegistryKey::open(HKEY_LOCAL_MACHINE, u"security\\shell\\startinfo\\");
  SystemSetup::cleanIconPaths(startInfo.handle(), u"start\\");

  EXPECT_FALSE(query(StartInfo, u"Icon"));
  EXPECT_FALSE(query(std::u16string(StartInfo) + u"\\Games", u"Icon"));
  EXPECT_FALSE(query(std::u16string(StartInfo) + u"\\Games\\solitaire.lnk", u"Icon"));
  EXPECT_EQ(query(std::u16string(StartInfo) + u"\\Games\\solitaire.lnk", u"name")->text(),
            u"Cards");
  EXPECT_EQ(query(std::u16string(StartInfo) + u"\\calc.lnk", u"Icon")->text(),
            u"\\Windows\\calc.png");
  EXPECT_EQ(query(std::u16string(StartInfo) + u"\\notes.lnk", u"Icon")->text(),
            u"\\Vireta\\notes.png");
}

TEST_F(SystemSetupSteps, ItemMetadataGoesAndOnlyTheUsersOwnPicturesStay) {
  const std::u16string start(StartInfo);
  setString(start + u"\\Games", u"name", u"Games");
  setDword(start + u"\\Games\\solitaire.lnk", u"ItemPosition", 3);
  setDword(start + u"\\Games\\solitaire.lnk", u"hidden", 1);
  setString(start + u"\\Games\\solitaire.lnk", u"target", u"\\Windows\\solitaire.exe");
  setDword(start + u"\\gone.lnk", u"falseLink", 1);
  setString(start + u"\\calc.lnk", u"Icon", u"\\My Documents\\calc.png");
  setDword(start + u"\\calc.lnk", u"ItemPosition", 0);
  setDword(start + u"\\calc.lnk", u"Other", 7); // not the system's: kept

  const RegistryKey startInfo =
      RegistryKey::open(HKEY_LOCAL_MACHINE, u"security\\shell\\startinfo\\");
  EXPECT_FALSE(SystemSetup::removeItemMetadata(startInfo.handle(), u"start\\"));

  EXPECT_FALSE(RegistryKey::open(HKEY_LOCAL_MACHINE, start + u"\\Games"));
  EXPECT_FALSE(RegistryKey::open(HKEY_LOCAL_MACHINE, start + u"\\gone.lnk"));
  EXPECT_EQ(query(start + u"\\calc.lnk", u"Icon")->text(), u"\\My Documents\\calc.png");
  EXPECT_EQ(query(start + u"\\calc.lnk", u"Other")->number(), 7u);
  EXPECT_FALSE(query(start + u"\\calc.lnk", u"ItemPosition"));

  RegistryKey::open(HKEY_LOCAL_MACHINE, start + u"\\calc.lnk", KEY_ALL_ACCESS).deleteValue(u"Icon");
  RegistryKey::open(HKEY_LOCAL_MACHINE, start + u"\\calc.lnk", KEY_ALL_ACCESS).deleteValue(u"Other");
  EXPECT_TRUE(SystemSetup::removeItemMetadata(startInfo.handle(), u"start\\"));
  EXPECT_FALSE(RegistryKey::open(HKEY_LOCAL_MACHINE, start));
}

TEST_F(SystemSetupSteps, AKeyGoesWithEverythingBelowIt) {
  setDword(u"Services\\Vireta", u"Index", 0);
  setDword(u"Services\\Vireta\\Deeper\\Deepest", u"x", 1);
  setDword(u"Services\\Other", u"Index", 0);
  const RegistryKey services = RegistryKey::create(HKEY_LOCAL_MACHINE, u"Services");
  EXPECT_TRUE(RegistryTree::deleteKeyTree(services.handle(), u"Vireta"));
  EXPECT_FALSE(static_cast<bool>(RegistryKey::open(HKEY_LOCAL_MACHINE, u"Services\\Vireta")));
  EXPECT_TRUE(static_cast<bool>(RegistryKey::open(HKEY_LOCAL_MACHINE, u"Services\\Other")));
  EXPECT_TRUE(RegistryTree::deleteKeyTree(services.handle(), u"Vireta")) << "already gone";
}

TEST_F(SystemSetupSteps, TheFontIsInstalledOnlyWhereNoneIsAndTakenBackOnlyIfOurs) {
  put("Program Files/Vireta/resources/VGA/tahoma.ttf", "our font");
  std::filesystem::create_directories(root_ / "fs" / "Windows");
  SystemSetup::installFont(u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(hostRead("Windows/tahoma.ttf"), "our font");
  SystemSetup::removeFont();
  EXPECT_FALSE(hostExists("Windows/tahoma.ttf"));

  RegistryTree::deleteKeyTree(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tolmar_Vireta");
  put("Windows/tahoma.ttf", "the device's font");
  SystemSetup::installFont(u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(hostRead("Windows/tahoma.ttf"), "the device's font");
  SystemSetup::removeFont();
  EXPECT_EQ(hostRead("Windows/tahoma.ttf"), "the device's font");
}
