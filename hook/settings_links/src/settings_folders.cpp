#include <settings_links/applet_record.h>
#include <toolkit/registry/registry_key.h>
#include <settings_links/settings_folders.h>


namespace {

struct FolderKey {
  std::u16string_view folder; // below SettingsKey
  std::u16string_view name;
  bool nameWithTerminator; // the "Personal" name has always been stored with its zero
  std::u16string_view target;
};

constexpr FolderKey Folders[] = {
    {u"", u"Settings", false, u"\\Settings\\"},
    {u"Personal", u"Personal", true, u"\\Settings\\Personal\\"},
    {u"System", u"System", false, u"\\Settings\\System\\"},
    {u"Connections", u"Connections", false, u"\\Settings\\Connections\\"},
};

} // namespace

std::u16string_view SettingsFolders::groupFolder(int group) {
  switch (group) {
  case AppletRecord::Personal:
    return u"Personal\\";
  case AppletRecord::System:
    return u"System\\";
  case AppletRecord::Connections:
    return u"Connections\\";
  default:
    return u"";
  }
}

std::u16string SettingsFolders::itemKeyPath(int group, std::u16string_view appletKey) {
  return std::u16string(SettingsKey) + std::u16string(groupFolder(group)) +
         std::u16string(appletKey);
}

void SettingsFolders::write(const std::u16string &userDirectory) {
  const std::u16string folderPicture = userDirectory + u"resources\\dossier.png";
  for (const FolderKey &folder : Folders) {
    const RegistryKey key = RegistryKey::create(
        HKEY_LOCAL_MACHINE, std::u16string(SettingsKey) + std::u16string(folder.folder));
    if (!key)
      continue;
    if (!key.readText(u"Name"))
      key.writeText(u"Name", folder.name, folder.nameWithTerminator);
    if (!key.readText(u"Icon"))
      key.writeText(u"Icon", folderPicture);
    key.writeText(u"target", folder.target);
  }
}
