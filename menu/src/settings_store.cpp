#include <menu/settings_store.h>

#include <menu/folder_discovery.h>
#include <toolkit/registry/registry_key.h>

#include <ce/files.h>

#include <string>

namespace {

constexpr std::u16string_view FolderToOpen = u"folderToOpen";
constexpr int DefaultTextSize = 7;

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string decimal(int value) {
  const auto text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

void readLabels(const RegistryKey &key, MenuLabels &labels) {
  for (std::size_t i = 0; i < MenuLabels::Count; ++i) {
    const auto label = MenuLabels::labelAt(i);
    const auto text = key.readText(MenuLabels::keyOf(label), RegistryKey::SettingsTextBytes);
    labels.set(label, text ? *text : std::u16string(MenuLabels::englishOf(label)));
  }
}

bool readSwitch(const RegistryKey &key, std::u16string_view name, bool whenMissing) {
  const auto value = key.readNumber(name);
  return value ? *value != 0 : whenMissing;
}

int readInt(const RegistryKey &key, std::u16string_view name, int whenMissing) {
  return key.readInt(name).value_or(whenMissing);
}

void readNumbers(const RegistryKey &key, MenuSettings &settings) {
  settings.widthIcon = readInt(key, u"widthIcon", 80);
  settings.nbIconPerLine = readInt(key, u"nbIconPerLine", 4);
  settings.startFolderId = readInt(key, u"startFolderId", 2);

  settings.showRunAnimations = readSwitch(key, u"ShowRunAnimations", true);
  settings.showStartAnimations = readSwitch(key, u"ShowStartAnimations", true);
  settings.showQuickLinks = readSwitch(key, u"showQuickLinks", true);
  settings.highRes = readSwitch(key, u"HighRes", settings.highRes);
  settings.cacheIcon = readSwitch(key, u"cacheIcon", settings.cacheIcon);
  settings.shouldPrintName = readSwitch(key, u"ShouldPrintName", settings.shouldPrintName);
}

void readText(const RegistryKey &key, MenuSettings &settings, SettingsScreen *screen) {
  settings.textColor = key.readNumber(u"textColor").value_or(settings.textColor);
  settings.textSize = readInt(key, u"textSize", DefaultTextSize);
  if (settings.textSize < 1)
    settings.textSize = DefaultTextSize; // a size of 0 or less would lay every row on the first
  settings.textFont = key.readText(u"textFont", RegistryKey::SettingsTextBytes).value_or(u"Tahoma");
  settings.rowFactor = settings.textSize * 0.2;
  if (screen)
    screen->setItemFont(settings.textFont, settings.textSize);
}

void readScreen(const RegistryKey &key, MenuSettings &settings, SettingsScreen *screen) {
  settings.nbIconLoadedMax = readInt(key, u"nbIconLoadedMax", settings.nbIconLoadedMax);
  settings.hasBackgroundImage = readInt(key, u"hasBackgroundImage", 1);
  settings.colorBackground = key.readNumber(u"colorBackground");
  if (settings.colorBackground && screen)
    screen->setBackgroundColor(*settings.colorBackground);
  settings.newAnim = readSwitch(key, u"NewAnim", true);
}

// One orientation of the background: the stored path first, then the screen-sized picture of
// the device, then the installed one. The fallback is stored so that the next start finds it.
struct BackgroundSlot {
  std::u16string_view valueName;
  ScreenOrientation orientation;
  std::u16string candidate;
  std::u16string *stored;
};

void setBackground(const RegistryKey &key, const BackgroundSlot &slot,
                   const std::u16string &installed, int brightness, SettingsScreen *screen) {
  const auto path = key.readText(slot.valueName, RegistryKey::SettingsTextBytes);
  if (path)
    *slot.stored = *path;
  if (!screen)
    return; // nothing can be tried, so nothing is replaced
  if (path) {
    const bool replace = *path == slot.candidate || *path == installed;
    if (screen->setBackgroundImage(*path, slot.orientation, brightness, replace))
      return;
  }
  const auto &fallback = fileExists(slot.candidate) ? slot.candidate : installed;
  screen->setBackgroundImage(fallback, slot.orientation, brightness, false);
  key.writeText(slot.valueName, fallback);
  *slot.stored = fallback;
}

void readBackgrounds(const RegistryKey &key, MenuSettings &settings,
                     const SettingsEnvironment &environment, SettingsScreen *screen) {
  if (!settings.backgroundIsImage())
    return;
  const auto installed = SettingsStore::installedCandidate(environment);
  const int backDark = readInt(key, u"BackDark", 192);
  settings.backDark = backDark < 0 ? 0 : backDark > 255 ? 255 : backDark;
  setBackground(key,
                {u"BackImage", ScreenOrientation::Portrait,
                 SettingsStore::portraitCandidate(environment), &settings.backImage},
                installed, settings.backDark, screen);
  setBackground(key,
                {u"BackImageLand", ScreenOrientation::Landscape,
                 SettingsStore::landscapeCandidate(environment), &settings.backImageLand},
                installed, settings.backDark, screen);
}

} // namespace

void SettingsStore::load(MenuSettings &settings, const SettingsEnvironment &environment,
                         SettingsScreen *screen) {
  {
    const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, KeyPath);
    readLabels(key, settings.labels);
    readNumbers(key, settings);
    readText(key, settings, screen);
    readScreen(key, settings, screen);
    readBackgrounds(key, settings, environment, screen);
  }
  settings.folders = FolderDiscovery::discover(settings.startFolderId);
}

int SettingsStore::readIconsPerLine(bool landscape) {
  const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, KeyPath);
  return readInt(key, u"nbIconPerLine", 4) + (landscape ? 1 : 0);
}

std::u16string SettingsStore::portraitCandidate(const SettingsEnvironment &environment) {
  return u"\\windows\\stwater_" + decimal(environment.screenWidth) + u"_" +
         decimal(environment.screenHeight) + u".jpg";
}

std::u16string SettingsStore::landscapeCandidate(const SettingsEnvironment &environment) {
  return u"\\windows\\stwater_" + decimal(environment.screenHeight) + u"_" +
         decimal(environment.screenWidth) + u".jpg";
}

std::u16string SettingsStore::installedCandidate(const SettingsEnvironment &environment) {
  return environment.baseDirectory + u"resources\\background.png";
}

bool SettingsStore::storeFolderToOpen(std::u16string_view folder) {
  if (folder.empty())
    return false;
  return RegistryKey::create(HKEY_LOCAL_MACHINE, KeyPath)
      .writeData(FolderToOpen, REG_NONE, folder.data(), folder.size() * sizeof(char16_t));
}

std::optional<std::u16string> SettingsStore::takeFolderToOpen() {
  const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, KeyPath);
  if (!key.hasValue(FolderToOpen))
    return std::nullopt;
  auto folder = key.readText(FolderToOpen, RegistryKey::SettingsTextBytes);
  key.deleteValue(FolderToOpen);
  return folder;
}

bool SettingsStore::hasFolderToOpen() {
  return RegistryKey::create(HKEY_LOCAL_MACHINE, KeyPath).hasValue(FolderToOpen);
}
