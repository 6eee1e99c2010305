#include "registry/registry_path.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

namespace ce {

LONG RegistryPath::parse(const WCHAR *text, RegistryPath &out) {
  out.components_.clear();
  std::u16string_view rest(text ? text : u"");
  if (!rest.empty() && rest.front() == u'\\')
    rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == u'\\')
    rest.remove_suffix(1);
  if (rest.empty())
    return ERROR_SUCCESS;

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

std::u16string RegistryPath::foldedChild(std::u16string_view parentFolded,
                                         std::u16string_view name) {
  std::u16string path;
  path.reserve(parentFolded.size() + 1 + name.size());
  path.append(parentFolded);
  if (!parentFolded.empty())
    path.push_back(u'\\');
  for (char16_t c : name)
    path.push_back(foldCase(c));
  return path;
}

} // namespace ce
