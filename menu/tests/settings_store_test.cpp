#include "menu_device.h"

#include <menu/settings_store.h>

#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;

// The screen side of the settings pass as the toolkit does it: a background image is set when
// its file can be opened, and only then.
class RecordingScreen : public SettingsScreen {
public:
  struct Background {
    std::u16string path;
    ScreenOrientation orientation;
    int brightness;
    bool replace;
    bool accepted;
  };

  void setItemFont(std::u16string_view face, int pointSize) override {
    font = face;
    fontSize = pointSize;
  }
  void setBackgroundColor(COLORREF color) override { colors.push_back(color); }
  bool setBackgroundImage(std::u16string_view path, ScreenOrientation orientation, int brightness,
                          bool replace) override {
    const std::u16string file(path);
    const bool accepted = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    backgrounds.push_back({file, orientation, brightness, replace, accepted});
    return accepted;
  }

  std::u16string font;
  int fontSize = 0;
  std::vector<COLORREF> colors;
  std::vector<Background> backgrounds;
};

class SettingsStoreTest : public MenuDevice {
protected:
  SettingsEnvironment portrait480() {
    SettingsEnvironment environment;
    environment.screenWidth = 480;
    environment.screenHeight = 640;
    environment.baseDirectory = u"\\Program Files\\Vireta\\";
    return environment;
  }
  MenuSettings load(const SettingsEnvironment &environment) {
    MenuSettings settings;
    SettingsStore::load(settings, environment, &screen);
    return settings;
  }

  RecordingScreen screen;
};

TEST_F(SettingsStoreTest, EmptyKeyGivesTheDefaults) {
  put("Program Files/Vireta/resources/background.png", "png");
  const auto settings = load(portrait480());

  EXPECT_EQ(settings.nbIconPerLine, 4);
  EXPECT_EQ(settings.widthIcon, 80);
  EXPECT_EQ(settings.startFolderId, 2);
  EXPECT_EQ(settings.folders.root, u"\\windows\\start menu\\programs\\");
  EXPECT_TRUE(settings.showRunAnimations);
  EXPECT_TRUE(settings.showStartAnimations);
  EXPECT_TRUE(settings.showQuickLinks);
  EXPECT_TRUE(settings.newAnim);
  EXPECT_EQ(settings.textColor, 0x00FFFFFFu);
  EXPECT_EQ(screen.font, u"Tahoma");
  EXPECT_EQ(screen.fontSize, 7);
  EXPECT_DOUBLE_EQ(settings.rowFactor, 1.4);
  EXPECT_EQ(settings.nbIconLoadedMax, 100);
  EXPECT_TRUE(settings.backgroundIsImage());
  EXPECT_EQ(settings.backDark, 192);
  EXPECT_TRUE(screen.colors.empty());
  EXPECT_TRUE(settings.highRes);
  EXPECT_TRUE(settings.cacheIcon);
  EXPECT_TRUE(settings.shouldPrintName);
  EXPECT_EQ(settings.textSize, 7);
  EXPECT_EQ(settings.textFont, u"Tahoma");
  EXPECT_FALSE(settings.colorBackground.has_value());
  // Every label under its registry name, in the order they are read, with its English text.
  const std::vector<std::pair<std::u16string_view, std::u16string_view>> english{
      {u"LANG_LOCK", u"Lock"},
      {u"LANG_RESTOR", u"Un-hide icons"},
      {u"LANG_REMOVE_GAP", u"Remove gaps"},
      {u"LANG_SORT_ALPHA", u"Sort alphabetically"},
      {u"LANG_QUIT", u"Quit"},
      {u"LANG_BACK", u"Back"},
      {u"LANG_PROGRAMS", u"Programs:"},
      {u"LANG_OPTION", u"Options"},
      {u"LANG_HIDE", u"Hide this icon"},
      {u"LANG_MOVE", u"Move this icon"},
      {u"LANG_CHANGE_IMG", u"Change image"},
      {u"LANG_RENAME", u"Rename this icon"},
      {u"EXPLAIN_RENAME", u"Enter the new name of icon:"},
      {u"EXPLAIN_CHANGE_IMG", u"Enter the new path to the icon's image:"},
      {u"EXPLAIN_MOVE", u"New position of icon (1 is top left)"},
      {u"LANG_ADD", u"Add new link"},
      {u"LANG_MENU", u"Menu"},
      {u"LANG_REMOVE", u"Remove"},
      {u"LANG_NEW_NAME", u"New name"},
      {u"LANG_SET_POSITION", u"Set the new position"},
      {u"LANG_FORCE_CLOSE", u"Force to close"},
      {u"LANG_ALWAYS_HIDE", u"Always hide"}};
  ASSERT_EQ(english.size(), MenuLabels::Count);
  for (std::size_t i = 0; i < MenuLabels::Count; ++i) {
    const auto label = MenuLabels::labelAt(i);
    EXPECT_EQ(MenuLabels::keyOf(label), english[i].first) << i;
    EXPECT_EQ(settings.labels[label], english[i].second) << ce::toUtf8(english[i].first);
  }
}

TEST_F(SettingsStoreTest, StoredValuesReplaceTheDefaultsAndReloadKeepsWhatIsMissing) {
  setDword(Settings, u"widthIcon", 100);
  setDword(Settings, u"nbIconPerLine", 3);
  setDword(Settings, u"ShowRunAnimations", 0);
  setDword(Settings, u"showQuickLinks", 7);
  setDword(Settings, u"HighRes", 0);
  setDword(Settings, u"cacheIcon", 0);
  setDword(Settings, u"ShouldPrintName", 0);
  setDword(Settings, u"textColor", 0x000000FF);
  setDword(Settings, u"textSize", 10);
  setString(Settings, u"textFont", u"Segoe");
  setDword(Settings, u"nbIconLoadedMax", 30);
  setDword(Settings, u"colorBackground", 0x00102030);
  setDword(Settings, u"NewAnim", 0);
  setString(Settings, u"LANG_QUIT", u"Beenden");

  auto settings = load(portrait480());
  EXPECT_EQ(settings.widthIcon, 100);
  EXPECT_EQ(settings.nbIconPerLine, 3);
  EXPECT_FALSE(settings.showRunAnimations);
  EXPECT_TRUE(settings.showQuickLinks);
  EXPECT_FALSE(settings.highRes);
  EXPECT_FALSE(settings.cacheIcon);
  EXPECT_FALSE(settings.shouldPrintName);
  EXPECT_EQ(settings.textColor, 0x000000FFu);
  EXPECT_DOUBLE_EQ(settings.rowFactor, 2.0);
  EXPECT_EQ(screen.font, u"Segoe");
  EXPECT_EQ(screen.fontSize, 10);
  EXPECT_EQ(settings.nbIconLoadedMax, 30);
  ASSERT_EQ(screen.colors.size(), 1u);
  EXPECT_EQ(screen.colors[0], 0x00102030u);
  EXPECT_FALSE(settings.newAnim);
  EXPECT_EQ(settings.labels[Label::Quit], u"Beenden");

  // A reload: values that went missing fall back to their default, or keep what they held.
  for (const auto *name : {u"widthIcon", u"ShowRunAnimations", u"HighRes", u"cacheIcon",
                           u"ShouldPrintName", u"textColor", u"textSize", u"textFont",
                           u"nbIconLoadedMax", u"colorBackground", u"LANG_QUIT"}) {
    HKEY settingsKey = createKey(Settings);
    RegDeleteValueW(settingsKey, name);
    RegCloseKey(settingsKey);
  }
  SettingsStore::load(settings, portrait480(), &screen);
  EXPECT_EQ(settings.widthIcon, 80);
  EXPECT_TRUE(settings.showRunAnimations);
  EXPECT_FALSE(settings.highRes);
  EXPECT_FALSE(settings.cacheIcon);
  EXPECT_FALSE(settings.shouldPrintName);
  EXPECT_EQ(settings.textColor, 0x000000FFu);
  EXPECT_DOUBLE_EQ(settings.rowFactor, 1.4);
  EXPECT_EQ(screen.font, u"Tahoma");
  EXPECT_EQ(settings.nbIconLoadedMax, 30);
  EXPECT_FALSE(settings.colorBackground.has_value());
  EXPECT_EQ(screen.colors.size(), 1u);
  EXPECT_EQ(settings.labels[Label::Quit], u"Quit");
}

TEST_F(SettingsStoreTest, ValuesAreReadWhateverTheirStoredType) {
  // A number stored as two bytes of text still reads as a number; eight bytes do not fit.
  setValue(Settings, u"nbIconPerLine", REG_SZ, u"5", 2);
  setBinary(Settings, u"widthIcon", {1, 0, 0, 0, 0, 0, 0, 0});
  // A label stored as a number reads as its two characters.
  setDword(Settings, u"LANG_BACK", 0x00690048); // "Hi"
  const auto settings = load(portrait480());
  EXPECT_EQ(settings.nbIconPerLine, u'5');
  EXPECT_EQ(settings.widthIcon, 80);
  EXPECT_EQ(settings.labels[Label::Back], u"Hi");
}

TEST_F(SettingsStoreTest, ALabelMustFitIn259Characters) {
  const std::u16string longest(259, u'x');
  setString(Settings, u"LANG_MENU", longest);
  setString(Settings, u"LANG_HIDE", std::u16string(260, u'y'));
  // The same 259 characters with their terminating zero fill the buffer exactly.
  const std::u16string terminated = longest + u'\0';
  setValue(Settings, u"LANG_MOVE", REG_SZ, terminated.data(), terminated.size() * 2);
  // Text after a zero is not part of the label.
  const std::u16string embedded = u"Op\0tions"s;
  setValue(Settings, u"LANG_OPTION", REG_SZ, embedded.data(), embedded.size() * 2);

  const auto settings = load(portrait480());
  EXPECT_EQ(settings.labels[Label::Menu], longest);
  EXPECT_EQ(settings.labels[Label::Hide], u"Hide this icon");
  EXPECT_EQ(settings.labels[Label::Move], longest);
  EXPECT_EQ(settings.labels[Label::Option], u"Op");
}

TEST_F(SettingsStoreTest, FirstStartStoresTheScreenSizedPicturesAndTheSecondReplacesWithThem) {
  put("windows/stwater_480_640.jpg", "jpg");
  put("windows/stwater_640_480.jpg", "jpg");
  load(portrait480());
  ASSERT_EQ(screen.backgrounds.size(), 2u);
  EXPECT_EQ(screen.backgrounds[0].path, u"\\windows\\stwater_480_640.jpg");
  EXPECT_EQ(screen.backgrounds[0].orientation, ScreenOrientation::Portrait);
  EXPECT_EQ(screen.backgrounds[0].brightness, 192);
  EXPECT_FALSE(screen.backgrounds[0].replace);
  EXPECT_EQ(screen.backgrounds[1].path, u"\\windows\\stwater_640_480.jpg");
  EXPECT_EQ(screen.backgrounds[1].orientation, ScreenOrientation::Landscape);
  EXPECT_FALSE(screen.backgrounds[1].replace);
  EXPECT_EQ(text(Settings, u"BackImage"), u"\\windows\\stwater_480_640.jpg");
  EXPECT_EQ(text(Settings, u"BackImageLand"), u"\\windows\\stwater_640_480.jpg");
  // Written as the system writes texts: no terminating zero.
  EXPECT_EQ(query(Settings, u"BackImage")->data.size(), 28u * 2);
  EXPECT_EQ(query(Settings, u"BackImage")->type, REG_SZ);

  screen.backgrounds.clear();
  load(portrait480());
  ASSERT_EQ(screen.backgrounds.size(), 2u);
  EXPECT_EQ(screen.backgrounds[0].path, u"\\windows\\stwater_480_640.jpg");
  EXPECT_TRUE(screen.backgrounds[0].replace);
  EXPECT_TRUE(screen.backgrounds[0].accepted);
  EXPECT_EQ(screen.backgrounds[1].path, u"\\windows\\stwater_640_480.jpg");
  EXPECT_TRUE(screen.backgrounds[1].replace);
}

TEST_F(SettingsStoreTest, WithoutDevicePicturesTheInstalledOneIsStored) {
  put("Program Files/Vireta/resources/background.png", "png");
  load(portrait480());
  const std::u16string installed = u"\\Program Files\\Vireta\\resources\\background.png";
  EXPECT_EQ(text(Settings, u"BackImage"), installed);
  EXPECT_EQ(text(Settings, u"BackImageLand"), installed);

  screen.backgrounds.clear();
  load(portrait480());
  ASSERT_EQ(screen.backgrounds.size(), 2u);
  EXPECT_TRUE(screen.backgrounds[0].replace);
  EXPECT_TRUE(screen.backgrounds[1].replace);
}

TEST_F(SettingsStoreTest, AChosenPictureIsKeptWithoutReplaceAndAMissingOneFallsBack) {
  put("My Documents/beach.jpg", "jpg");
  put("windows/stwater_480_640.jpg", "jpg");
  setString(Settings, u"BackImage", u"\\My Documents\\beach.jpg");
  setString(Settings, u"BackImageLand", u"\\My Documents\\gone.jpg");
  setDword(Settings, u"BackDark", 255);
  load(portrait480());

  ASSERT_EQ(screen.backgrounds.size(), 3u);
  EXPECT_EQ(screen.backgrounds[0].path, u"\\My Documents\\beach.jpg");
  EXPECT_FALSE(screen.backgrounds[0].replace);
  EXPECT_EQ(screen.backgrounds[0].brightness, 255);
  EXPECT_FALSE(screen.backgrounds[1].accepted); // the stored landscape picture is gone
  // No landscape picture of the device's size: the installed one, even though it is missing
  // too (the screen then keeps its colour).
  EXPECT_EQ(screen.backgrounds[2].path, u"\\Program Files\\Vireta\\resources\\background.png");
  EXPECT_EQ(text(Settings, u"BackImage"), u"\\My Documents\\beach.jpg");
  EXPECT_EQ(text(Settings, u"BackImageLand"),
            u"\\Program Files\\Vireta\\resources\\background.png");
}

TEST_F(SettingsStoreTest, BrightnessRunsFromBlackToUnchanged) {
  MenuSettings settings;
  for (const auto &[stored, brightness, overlay] :
       {std::tuple{0, 0, 255}, {192, 192, 63}, {255, 255, 0}, {300, 255, 0}, {-5, 0, 255}}) {
    setDword(Settings, u"BackDark", static_cast<DWORD>(stored));
    SettingsStore::load(settings, portrait480(), &screen);
    EXPECT_EQ(settings.backDark, brightness) << stored;
    EXPECT_EQ(settings.backgroundOverlayOpacity(), overlay) << stored;
    EXPECT_EQ(screen.backgrounds.back().brightness, brightness) << stored;
  }
}

TEST_F(SettingsStoreTest, BackgroundOtherThanOneMeansColourOnly) {
  put("windows/stwater_480_640.jpg", "jpg");
  setDword(Settings, u"hasBackgroundImage", 2);
  setDword(Settings, u"colorBackground", 0x00336699);
  const auto settings = load(portrait480());
  EXPECT_FALSE(settings.backgroundIsImage());
  EXPECT_TRUE(screen.backgrounds.empty());
  EXPECT_FALSE(has(Settings, u"BackImage"));
  EXPECT_FALSE(has(Settings, u"BackImageLand"));
  ASSERT_EQ(screen.colors.size(), 1u);
}

TEST_F(SettingsStoreTest, SmallScreenPictureNamesFollowTheOrientationAtStart) {
  SettingsEnvironment environment;
  environment.screenWidth = 240;
  environment.screenHeight = 320;
  environment.scale = 0.5;
  EXPECT_EQ(SettingsStore::portraitCandidate(environment), u"\\windows\\stwater_240_320.jpg");
  EXPECT_EQ(SettingsStore::landscapeCandidate(environment), u"\\windows\\stwater_320_240.jpg");
  environment.screenWidth = 320;
  environment.screenHeight = 240;
  environment.landscape = true;
  EXPECT_EQ(SettingsStore::portraitCandidate(environment), u"\\windows\\stwater_320_240.jpg");
  EXPECT_EQ(SettingsStore::landscapeCandidate(environment), u"\\windows\\stwater_240_320.jpg");

  put("windows/stwater_320_240.jpg", "jpg");
  put("windows/stwater_240_320.jpg", "jpg");
  load(environment);
  EXPECT_EQ(text(Settings, u"BackImage"), u"\\windows\\stwater_320_240.jpg");
  EXPECT_EQ(text(Settings, u"BackImageLand"), u"\\windows\\stwater_240_320.jpg");
}

TEST_F(SettingsStoreTest, WithoutAScreenTheBackgroundValuesAreOnlyRead) {
  setString(Settings, u"BackImage", u"\\My Documents\\beach.jpg");
  MenuSettings settings;
  SettingsStore::load(settings, portrait480(), nullptr);
  EXPECT_EQ(settings.backImage, u"\\My Documents\\beach.jpg");
  EXPECT_EQ(text(Settings, u"BackImage"), u"\\My Documents\\beach.jpg");
  EXPECT_FALSE(has(Settings, u"BackImageLand"));
}

TEST_F(SettingsStoreTest, IconsPerLineReadAgainGainsOneInLandscape) {
  EXPECT_EQ(SettingsStore::readIconsPerLine(false), 4);
  EXPECT_EQ(SettingsStore::readIconsPerLine(true), 5);
  setDword(Settings, u"nbIconPerLine", 3);
  EXPECT_EQ(SettingsStore::readIconsPerLine(false), 3);
  EXPECT_EQ(SettingsStore::readIconsPerLine(true), 4);
}

TEST_F(SettingsStoreTest, FolderToOpenIsHandedOverOnce) {
  EXPECT_FALSE(SettingsStore::storeFolderToOpen(u""));
  EXPECT_FALSE(SettingsStore::hasFolderToOpen());
  EXPECT_FALSE(SettingsStore::takeFolderToOpen().has_value());

  ASSERT_TRUE(SettingsStore::storeFolderToOpen(u"Games\\Puzzles"));
  const auto stored = query(Settings, u"folderToOpen");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, REG_NONE);
  EXPECT_EQ(stored->data.size(), 13u * 2); // no terminating zero
  EXPECT_EQ(SettingsStore::takeFolderToOpen(), u"Games\\Puzzles");
  EXPECT_FALSE(has(Settings, u"folderToOpen"));
  EXPECT_FALSE(SettingsStore::takeFolderToOpen().has_value());

  // A hand-over too long to be used is dropped all the same.
  ASSERT_TRUE(SettingsStore::storeFolderToOpen(std::u16string(300, u'a')));
  EXPECT_FALSE(SettingsStore::takeFolderToOpen().has_value());
  EXPECT_FALSE(has(Settings, u"folderToOpen"));
}

TEST_F(SettingsStoreTest, ATextSizeBelowOneIsTakenAsMissing) {
  setDword(Settings, u"textSize", 0);
  const auto settings = load(portrait480());
  EXPECT_EQ(settings.textSize, 7);
  EXPECT_DOUBLE_EQ(settings.rowFactor, 1.4);
}

} // namespace
