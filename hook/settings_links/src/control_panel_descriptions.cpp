#include <settings_links/control_panel_descriptions.h>

#include <ce/core/utf.h>

#include <algorithm>


void ControlPanelDescriptions::readInto(AppletCollection &collection) {
  readKey(std::u16string(RootKey), 0, collection);
}

void ControlPanelDescriptions::readKey(const std::u16string &path, int depth,
                                       AppletCollection &collection) {
  const RegistryKey key = RegistryKey::open(HKEY_LOCAL_MACHINE, path);
  if (!key)
    return;
  if (const auto description = read(key))
    collection.addDescription(appletKeyFor(path), *description);
  if (depth >= MaxDepth)
    return;
  for (const std::u16string &name : key.subkeyNames())
    readKey(path + name + u"\\", depth + 1, collection);
}

std::optional<AppletRecord> ControlPanelDescriptions::read(const RegistryKey &key) {
  const auto hide = key.readNumber(u"Hide");
  const auto group = key.readNumber(u"Group");
  const auto name = key.readText(u"Name");
  const auto file = key.readText(u"File");
  if (!hide && !group && !name && !file)
    return std::nullopt;
  AppletRecord description;
  description.hide = hide && *hide == 1;
  description.group = group ? static_cast<int>(*group) : AppletRecord::System;
  description.name = name.value_or(u"");
  description.target = file.value_or(u"");
  const auto commandLine = key.readText(u"CmdLine");
  if (commandLine && !commandLine->empty() && !description.target.empty())
    description.target += u" " + *commandLine;
  return description;
}

std::u16string ControlPanelDescriptions::appletKeyFor(std::u16string_view keyPath) {
  // Whatever follows "ControlPanel\" (13 characters).
  std::u16string_view below;
  if (keyPath.size() > RootKey.size())
    below = keyPath.substr(RootKey.size());
  while (!below.empty() && below.back() == u'\\')
    below.remove_suffix(1);
  std::u16string key(below);
  if (const std::size_t slash = key.rfind(u'\\'); slash != std::u16string::npos)
    key.replace(slash, 1, u".cpl,");
  const bool digitsOnly = !key.empty() && std::all_of(key.begin(), key.end(), [](char16_t c) {
    return c >= u'0' && c <= u'?';
  });
  if (digitsOnly)
    key.insert(0, u"mycpl.cpl,");
  return ce::foldCase(key);
}
