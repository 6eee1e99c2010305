#include "registry_key_path.h"

#include "command_line_text.h"

#include <ce/core/utf.h>

#include <algorithm>

namespace ce::tool {
namespace {

struct RootName {
  const char *shortName;
  const char *longName;
  HKEY key;
};

bool sameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return upper(x) == upper(y);
  });
}

} // namespace

std::optional<RegistryKeyPath> RegistryKeyPath::parse(std::string_view text, std::string *error) {
  const RootName roots[] = {
      {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKU", "HKEY_USERS", HKEY_USERS},
  };
  const auto slash = text.find('\\');
  const std::string_view rootText = text.substr(0, slash);
  std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash);

  RegistryKeyPath path;
  for (const auto &root : roots) {
    if (sameLetters(rootText, root.shortName) || sameLetters(rootText, root.longName)) {
      path.root_ = root.key;
      path.rootName_ = root.longName;
    }
  }
  if (!path.root_) {
    *error = "key '" + std::string(text) +
             "' must begin with HKLM\\, HKCU\\, HKCR\\, HKU\\ or a long root name";
    return std::nullopt;
  }
  while (!rest.empty() && rest.front() == '\\')
    rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == '\\')
    rest.remove_suffix(1);
  if (rest.find("\\\\") != std::string_view::npos) {
    *error = "key '" + std::string(text) + "' has an empty name between two backslashes";
    return std::nullopt;
  }
  auto subKey = CommandLineText::toDevice(rest);
  if (!subKey) {
    *error = "key '" + std::string(text) + "' is not valid UTF-8";
    return std::nullopt;
  }
  path.subKey_ = std::move(*subKey);
  return path;
}

std::string RegistryKeyPath::display() const {
  return isRoot() ? std::string(rootName_) : std::string(rootName_) + "\\" + toUtf8(subKey_);
}

RegistryKeyPath RegistryKeyPath::child(std::u16string_view name) const {
  RegistryKeyPath path = *this;
  if (!path.subKey_.empty())
    path.subKey_ += u'\\';
  path.subKey_ += name;
  return path;
}

} // namespace ce::tool
