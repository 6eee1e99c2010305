// The Settings folder of the menu and its three group folders, as item keys of the metadata
// tree below HKEY_LOCAL_MACHINE "Security\Shell\StartInfo\Start\Settings\", and where an
// applet's item key lies among them.
#pragma once

#include <string>
#include <string_view>

class SettingsFolders {
public:
  static constexpr std::u16string_view MetadataRoot = u"Security\\Shell\\StartInfo\\Start\\";
  static constexpr std::u16string_view SettingsKey =
      u"Security\\Shell\\StartInfo\\Start\\Settings\\";

  // "Personal\", "System\", "Connections\" for the three groups; "" for any other group.
  static std::u16string_view groupFolder(int group);
  // SettingsKey + group folder + applet key.
  static std::u16string itemKeyPath(int group, std::u16string_view appletKey);

  // Writes the four folder keys: `Name` and `Icon` (userDirectory + "resources\dossier.png")
  // where they are missing, `target` ("\Settings\", "\Settings\Personal\", ...) always.
  static void write(const std::u16string &userDirectory);
};
