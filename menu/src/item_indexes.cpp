#include <menu/item_indexes.h>

#include <menu/item_target.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>

#include "path_text.h"

void ItemIndexes::scan(std::u16string_view keyPath) {
  std::u16string parent(keyPath);
  if (!parent.empty() && parent.back() != u'\\')
    parent += u'\\';
  const auto names = RegistryKey::open(HKEY_LOCAL_MACHINE, parent).subkeyNames();
  for (const auto &subkey : names) {
    const auto path = parent + subkey + u"\\";
    if (MetadataTree::isFolderIcon(path))
      continue;
    scan(path);
    const auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, path);
    if (key.hasValue(MetadataTree::FalseLink))
      continue;
    const auto target = key.readText(MetadataTree::Target, RegistryKey::DisplayTextBytes);
    if (target && !target->empty())
      targets_[ItemTarget::indexKeyOf(*target)] = path;
    const auto name = key.readText(MetadataTree::Name, RegistryKey::DisplayTextBytes);
    if (name && !name->empty())
      names_[pathtext::lower(*name)] = path;
  }
}

std::optional<std::u16string> ItemIndexes::findByTarget(std::u16string_view target) const {
  const auto found = targets_.find(ItemTarget::indexKeyOf(target));
  if (found == targets_.end())
    return std::nullopt;
  return found->second;
}

std::optional<std::u16string> ItemIndexes::findByName(std::u16string_view name) const {
  const auto found = names_.find(pathtext::lower(name));
  if (found == names_.end())
    return std::nullopt;
  return found->second;
}
