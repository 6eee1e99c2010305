#include <settings_links/link_marks.h>
#include <toolkit/registry/registry_key.h>

#include <ce/core/utf.h>

#include <map>
#include <vector>


namespace {

constexpr std::u16string_view SystemFolderMark = u"Vireta\\";

bool iconInSystemFolder(const std::u16string &icon) {
  return icon.find(SystemFolderMark) != std::u16string::npos;
}

std::u16string comparableTarget(const std::u16string &target) {
  return ce::foldCase(!target.empty() && target.front() == u'\\' ? target
                                                                 : u"\\Windows\\" + target);
}

// Keys filed under a text, in filing order, the texts in the order they were first seen.
class FilingTable {
public:
  void file(const std::u16string &text, const std::u16string &key) {
    auto [found, added] = index_.emplace(text, groups_.size());
    if (added)
      groups_.emplace_back();
    groups_[found->second].push_back(key);
  }
  const std::vector<std::vector<std::u16string>> &groups() const { return groups_; }

private:
  std::map<std::u16string, std::size_t> index_;
  std::vector<std::vector<std::u16string>> groups_;
};

void markFalseLink(const std::u16string &keyPath) {
  RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath).writeNumber(u"falseLink", 1);
}

} // namespace

void LinkMarks::clear(const std::u16string &keyPath) { clearBelow(keyPath, 0); }

void LinkMarks::clearBelow(const std::u16string &keyPath, int depth) {
  const RegistryKey key = RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath);
  if (!key)
    return;
  key.deleteValue(u"falseLink");
  if (depth >= MaxDepth)
    return;
  for (const std::u16string &name : key.subkeyNames())
    clearBelow(keyPath + name + u"\\", depth + 1);
}

void LinkMarks::hideDuplicates(const std::u16string &keyPath) { hideDuplicatesBelow(keyPath, 0); }

void LinkMarks::hideDuplicatesBelow(const std::u16string &keyPath, int depth) {
  const std::vector<std::u16string> subkeys =
      RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath).subkeyNames();
  FilingTable byTarget, byName;
  for (const std::u16string &name : subkeys) {
    const std::u16string path = keyPath + name + u"\\";
    const RegistryKey entry = RegistryKey::open(HKEY_LOCAL_MACHINE, path);
    if (!entry || entry.hasValue(u"falseLink"))
      continue;
    if (const auto target = entry.readText(u"target")) {
      const std::u16string comparable = comparableTarget(*target);
      if (comparable.find(u".exe") != std::u16string::npos)
        byTarget.file(comparable, path);
    }
    if (const auto shown = entry.readText(u"name"))
      byName.file(ce::foldCase(*shown), path);
  }

  for (const auto &keys : byTarget.groups()) {
    if (keys.size() < 2)
      continue;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const auto icon = RegistryKey::open(HKEY_LOCAL_MACHINE, keys[i]).readText(u"Icon");
      if (icon && !iconInSystemFolder(*icon))
        kept = i;
    }
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (i != kept)
        markFalseLink(keys[i]);
  }

  for (const auto &keys : byName.groups()) {
    if (keys.size() < 2)
      continue;
    int counter = 0;
    for (const std::u16string &path : keys) {
      const RegistryKey entry = RegistryKey::open(HKEY_LOCAL_MACHINE, path);
      const auto icon = entry.readText(u"Icon");
      if (!entry || entry.hasValue(u"falseLink") || !icon)
        continue;
      if (iconInSystemFolder(*icon)) {
        entry.writeNumber(u"falseLink", 1);
        continue;
      }
      if (counter > 0)
        entry.writeText(u"Name", entry.readText(u"name").value_or(u"") + u"(" +
                                       ce::toUtf16(std::to_string(counter)) + u")");
      ++counter;
    }
  }

  if (depth >= MaxDepth)
    return;
  for (const std::u16string &name : subkeys)
    hideDuplicatesBelow(keyPath + name + u"\\", depth + 1);
}
