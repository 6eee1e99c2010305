#include "registry/registry_path.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

namespace ce {

LONG RegistryPath::parse(const WCHAR *text, RegistryPath &out) {
  out.components_.clear();
  std::u16string_view rest(text ? text : u"");
  if (rest.empty() || rest == u"\\")
    return ERROR_SUCCESS;
  if (rest.front() == u'\\')
    rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == u'\\')
    rest.remove_suffix(1);

  std::vector<std::u16string> components;
  for (;;) {
    const auto cut = rest.find(u'\\');
    const auto part = rest.substr(0, cut);
    if (part.empty() || part.size() > maxComponentLength)
      return ERROR_BADKEY;
    components.emplace_back(part);
    if (cut == std::u16string_view::npos)
      break;
    rest.remove_prefix(cut + 1);
  }
  out.components_ = std::move(components);
  return ERROR_SUCCESS;
}

std::u16string RegistryPath::foldedBelow(std::u16string_view parentFolded) const {
  std::size_t size = parentFolded.size();
  for (const auto &name : components_)
    size += name.size() + 1;
  std::u16string path;
  path.reserve(size);
  path.append(parentFolded);
  for (const auto &name : components_)
    appendFolded(path, name);
  return path;
}

void RegistryPath::appendFolded(std::u16string &path, std::u16string_view name) {
  if (!path.empty())
    path.push_back(u'\\');
  for (char16_t c : name)
    path.push_back(foldCase(c));
}

} // namespace ce
