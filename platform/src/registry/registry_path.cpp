#include "registry/registry_path.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

namespace ce {

LONG RegistryPath::parse(const WCHAR *text, RegistryPath &out) {
  out.components_.clear();
  const std::u16string_view path(text ? text : u"");
  std::size_t start = 0;
  while (start < path.size()) {
    if (path[start] == u'\\') {
      ++start;
      continue;
    }
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos)
      end = path.size();
    if (end - start > maxComponentLength) {
      out.components_.clear();
      return ERROR_BADKEY;
    }
    out.components_.push_back(path.substr(start, end - start));
    start = end;
  }
  return ERROR_SUCCESS;
}

std::u16string RegistryPath::foldedBelow(std::u16string_view parentFolded) const {
  std::size_t size = parentFolded.size();
  for (const auto name : components_)
    size += name.size() + 1;
  std::u16string path;
  path.reserve(size);
  path.append(parentFolded);
  for (const auto name : components_)
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
