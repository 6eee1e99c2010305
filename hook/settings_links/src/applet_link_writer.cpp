#include <settings_links/applet_link_writer.h>
#include <settings_links/registry_key.h>
#include <settings_links/settings_folders.h>

using settings_links::RegistryKey;

void AppletLinkWriter::write(const AppletCollection &collection) {
  for (const auto &[key, applet] : collection.entries()) {
    if (key.empty() || applet.name.empty())
      continue;
    const RegistryKey item =
        RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsFolders::itemKeyPath(applet.group, key));
    if (!item)
      continue;
    const auto name = item.readString(u"Name");
    if (!name || name->find(u".cpl") != std::u16string::npos)
      item.writeString(u"Name", applet.name);
    if (!item.readString(u"Icon"))
      item.writeString(u"Icon", applet.icon);
    if (!item.readString(u"target"))
      item.writeString(u"target", applet.target);
  }
}
