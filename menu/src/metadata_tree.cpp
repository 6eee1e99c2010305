#include <menu/metadata_tree.h>

#include <ce/core/utf.h>

bool MetadataTree::isFolderIcon(std::u16string_view path) {
  while (!path.empty()) {
    const auto separator = path.find(u'\\');
    const auto component = path.substr(0, separator);
    if (ce::equalsIgnoreCase(component, FolderIconFile))
      return true;
    if (separator == std::u16string_view::npos)
      break;
    path.remove_prefix(separator + 1);
  }
  return false;
}
