#include <service_control/registry_tree.h>

#include <ce/errors.h>

#include <string>
#include <vector>

namespace RegistryTree {

bool deleteKeyTree(HKEY parent, std::u16string_view path) {
  std::u16string key(path);
  const LONG first = RegDeleteKeyW(parent, key.c_str());
  if (first == ERROR_SUCCESS || first == ERROR_FILE_NOT_FOUND)
    return true;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(parent, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  std::vector<std::u16string> children;
  for (DWORD index = 0;; ++index) {
    char16_t name[261] = {};
    DWORD length = 261;
    if (RegEnumKeyExW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    children.emplace_back(name, length);
  }
  RegCloseKey(handle);
  if (key.size() > 1 && key.back() != u'\\')
    key += u'\\';
  for (const auto &child : children) {
    if (!deleteKeyTree(parent, key + child))
      break;
  }
  const LONG last = RegDeleteKeyW(parent, key.c_str());
  return last == ERROR_SUCCESS || last == ERROR_FILE_NOT_FOUND;
}

} // namespace RegistryTree
