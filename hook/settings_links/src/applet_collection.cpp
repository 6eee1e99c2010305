#include <settings_links/applet_collection.h>

void AppletCollection::addDescription(const std::u16string &key, const AppletRecord &description) {
  const auto [found, added] = entries_.emplace(key, description);
  if (added)
    return;
  AppletRecord &existing = found->second;
  if (existing.group == AppletRecord::System)
    existing.group = description.group;
  if (existing.target.empty())
    existing.target = description.target;
  if (existing.name.empty())
    existing.name = description.name;
  if (existing.icon.empty())
    existing.icon = description.icon;
  if (!existing.hide)
    existing.hide = description.hide;
}

AppletRecord *AppletCollection::find(const std::u16string &key) {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

AppletRecord &AppletCollection::obtain(const std::u16string &key, const AppletRecord &record) {
  return entries_.emplace(key, record).first->second;
}

bool AppletCollection::move(const std::u16string &from, const std::u16string &to) {
  if (from == to || entries_.count(to) != 0)
    return false;
  auto node = entries_.extract(from);
  if (node.empty())
    return false;
  node.key() = to;
  entries_.insert(std::move(node));
  return true;
}
