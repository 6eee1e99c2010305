// Whole runs on demo devices: the applets of the three demo libraries become item keys of the
// Settings group folders, with their names, their icons saved as PNG files and their targets;
// values already in the item keys stay; a second run saves beside an existing icon; a device
// without applet libraries gets no Settings folders; an unusable directory shows its error box
// and the run goes on.
#include "settings_links_device.h"

#include "demo_catalog.h"

#include <settings_links/settings_folders.h>
#include <settings_links/settings_links.h>

#include <ce/core/utf.h>

#include <fstream>
#include <sstream>

namespace settings_links_test {
namespace {

const std::u16string Settings = u"Security\\Shell\\StartInfo\\Start\\Settings\\";
const std::u16string Resources = u"\\Program Files\\Vireta\\resources\\";

std::u16string decimal(int value) { return ce::toUtf16(std::to_string(value)); }

std::u16string appletKey(const ce::demo::SampleApplet &applet) {
  return SettingsFolders::itemKeyPath(static_cast<int>(applet.group),
                                      std::u16string(applet.library) + u"," +
                                          decimal(applet.index));
}

class SettingsLinksTest : public DemoDevice {
protected:
  std::u16string text(const std::u16string &key, std::u16string_view name) {
    const auto value = query(key, name);
    return value ? value->text() : u"<missing>";
  }
  bool pngOfWidth(const std::u16string &devicePath, UINT width) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IImagingFactory *factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IImagingFactory, reinterpret_cast<void **>(&factory))))
      return false;
    IImage *image = nullptr;
    ImageInfo info{};
    const bool decoded = SUCCEEDED(factory->CreateImageFromFile(devicePath.c_str(), &image)) &&
                         SUCCEEDED(image->GetImageInfo(&info));
    if (image)
      image->Release();
    factory->Release();
    return decoded && info.Width == width && info.RawDataFormat == ImageFormatPNG;
  }
};

TEST_F(SettingsLinksTest, EveryDemoAppletBecomesAnItemOfItsGroupFolder) {
  generateSettingsLinks(u"\\Program Files\\Vireta");

  struct Folder {
    std::u16string key, name, target;
    std::size_t nameBytes;
  } folders[] = {
      {Settings, u"Settings", u"\\Settings\\", 16},
      {Settings + u"Personal", u"Personal", u"\\Settings\\Personal\\", 18},
      {Settings + u"System", u"System", u"\\Settings\\System\\", 12},
      {Settings + u"Connections", u"Connections", u"\\Settings\\Connections\\", 22},
  };
  for (const Folder &folder : folders) {
    SCOPED_TRACE(ce::toUtf8(folder.key));
    const auto name = query(folder.key, u"Name");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->data.size(), folder.nameBytes);
    EXPECT_EQ(std::u16string(name->text().c_str()), folder.name);
    EXPECT_EQ(text(folder.key, u"Icon"), Resources + u"dossier.png");
    EXPECT_EQ(text(folder.key, u"target"), folder.target);
  }

  std::size_t applets = 0;
  for (const auto &applet : ce::demo::sampleApplets()) {
    const std::u16string key = appletKey(applet);
    SCOPED_TRACE(ce::toUtf8(key));
    ++applets;
    EXPECT_EQ(text(key, u"Name"), applet.name);
    EXPECT_EQ(text(key, u"target"), u"\\Windows\\ctlpnl.exe " + std::u16string(applet.library) +
                                        u"," + decimal(applet.index));
    const std::u16string icon = Resources + std::u16string(applet.name) + u".png";
    EXPECT_EQ(text(key, u"Icon"), icon);
    EXPECT_TRUE(pngOfWidth(icon, 64));
    EXPECT_FALSE(query(key, u"falseLink"));
  }
  EXPECT_EQ(applets, 11u);
  // Nothing else in the group folders: descriptions filed under an identifier name ended up
  // under their applet's key.
  EXPECT_EQ(subkeys(Settings + u"Personal").size() + subkeys(Settings + u"System").size() +
                subkeys(Settings + u"Connections").size(),
            applets);
  EXPECT_EQ(subkeys(Settings).size(), 3u);

  // Each library was driven through its whole protocol and let go.
  std::ifstream log(root_ / "fs/Temp/demo_applets.log");
  std::stringstream lines;
  lines << log.rdbuf();
  for (const auto &library : ce::demo::appletLibraries()) {
    const std::string name = ce::toUtf8(library);
    const std::string all = lines.str();
    const auto init = all.find(name + " CPL_INIT"), exit = all.find(name + " CPL_EXIT");
    EXPECT_NE(init, std::string::npos) << name;
    EXPECT_NE(exit, std::string::npos) << name;
    EXPECT_NE(all.find(name + " CPL_STOP 0"), std::string::npos) << name;
    EXPECT_LT(init, exit) << name;
  }
}

TEST_F(SettingsLinksTest, WhatTheUserChangedStaysAndOnlyAppletKeyNamesAreReplaced) {
  const std::u16string clock = Settings + u"System\\system.cpl,0";
  const std::u16string power = Settings + u"System\\system.cpl,1";
  setString(clock, u"Name", u"system.cpl,0");
  setString(power, u"Name", u"My Power");
  setString(power, u"Icon", u"\\My Documents\\power.png");
  setString(power, u"target", u"\\Windows\\power.exe");
  setString(Settings + u"Personal", u"Name", u"Mine");
  setString(Settings + u"Personal", u"target", u"\\elsewhere\\");

  generateSettingsLinks(u"\\Program Files\\Vireta\\");

  EXPECT_EQ(text(clock, u"Name"), u"Clock & Alarms");
  EXPECT_EQ(text(power, u"Name"), u"My Power");
  EXPECT_EQ(text(power, u"Icon"), u"\\My Documents\\power.png");
  EXPECT_EQ(text(power, u"target"), u"\\Windows\\power.exe");
  // The applet's icon was not saved: its item names one already.
  EXPECT_FALSE(hostExists("Program Files/Vireta/resources/Power.png"));
  EXPECT_EQ(text(Settings + u"Personal", u"Name"), u"Mine");
  EXPECT_EQ(text(Settings + u"Personal", u"target"), u"\\Settings\\Personal\\");
}

TEST_F(SettingsLinksTest, ASecondRunSavesAnIconBesideTheOneAlreadyThere) {
  generateSettingsLinks(u"\\Program Files\\Vireta\\");
  const std::u16string owner = Settings + u"Personal\\personal.cpl,0";
  const std::u16string today = Settings + u"Personal\\personal.cpl,1";
  EXPECT_EQ(text(owner, u"Icon"), Resources + u"Owner Information.png");
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, owner.c_str()), ERROR_SUCCESS);

  generateSettingsLinks(u"\\Program Files\\Vireta\\");
  EXPECT_EQ(text(owner, u"Icon"), Resources + u"Owner Information1.png");
  EXPECT_TRUE(hostExists("Program Files/Vireta/resources/Owner Information.png"));
  EXPECT_TRUE(hostExists("Program Files/Vireta/resources/Owner Information1.png"));
  EXPECT_EQ(text(today, u"Icon"), Resources + u"Today.png");
  EXPECT_FALSE(hostExists("Program Files/Vireta/resources/Today1.png"));
}

TEST_F(SettingsLinksTest, WithoutAppletLibrariesOnlyTheMarksAreWorkedOutAgain) {
  for (const auto &library : ce::demo::appletLibraries())
    std::filesystem::remove(root_ / "fs/Windows" / ce::toUtf8(library));
  const std::u16string tools = u"Security\\Shell\\StartInfo\\Start\\Tools\\";
  setString(tools + u"Calculator.lnk", u"target", u"\\Windows\\calc.exe");
  setString(tools + u"Calc.lnk", u"target", u"\\Windows\\calc.exe");
  setDword(tools + u"Notes.lnk", u"falseLink", 1);

  generateSettingsLinks(u"\\Program Files\\Vireta\\");

  EXPECT_FALSE(keyExists(Settings));
  EXPECT_FALSE(query(tools + u"Notes.lnk", u"falseLink"));
  // Neither has an icon: the first is kept.
  EXPECT_FALSE(query(tools + u"Calculator.lnk", u"falseLink"));
  EXPECT_TRUE(query(tools + u"Calc.lnk", u"falseLink"));
}

TEST_F(SettingsLinksTest, AnUnusableDirectoryShowsTheErrorBoxAndTheRunGoesOn) {
  boot();
  EXPECT_EQ(sharedMemoryErrorText(), u"Error with shared memory! Please contact " +
                                         std::u16string(SupportAddress) +
                                         u" for more informations...");
  std::thread run([] { generateSettingsLinks(u"\\Storage Card\\Vireta\\"); });
  HWND box = nullptr;
  const bool shown = eventually([&] {
    box = FindWindowW(nullptr, SharedMemoryErrorCaption);
    return box != nullptr && IsWindowVisible(box);
  });
  if (shown)
    PostMessageW(box, WM_CLOSE, 0, 0);
  run.join();
  ASSERT_TRUE(shown);

  // No icon could be saved; the links are there all the same, with an empty picture.
  const std::u16string owner = Settings + u"Personal\\personal.cpl,0";
  EXPECT_EQ(text(owner, u"Name"), u"Owner Information");
  EXPECT_EQ(text(owner, u"Icon"), u"");
  EXPECT_EQ(text(Settings, u"Icon"), u"\\Storage Card\\Vireta\\resources\\dossier.png");
}

} // namespace
} // namespace settings_links_test
