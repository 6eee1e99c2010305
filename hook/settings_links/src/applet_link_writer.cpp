#include <settings_links/applet_link_writer.h>
#include <toolkit/registry/registry_key.h>
#include <settings_links/settings_folders.h>


void AppletLinkWriter::write(const AppletCollection &collection) {
  for (const auto &[key, applet] : collection.entries()) {
    if (key.empty() || applet.name.empty())
      continue;
    const RegistryKey item =
        RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsFolders::itemKeyPath(applet.group, key));
    if (!item)
      continue;
    const auto name = item.readText(u"Name");
    if (!name || name->find(u".cpl") != std::u16string::npos)
      item.writeText(u"Name", applet.name);
    if (!item.readText(u"Icon"))
      item.writeText(u"Icon", applet.icon);
    if (!item.readText(u"target"))
      item.writeText(u"target", applet.target);
  }
}
