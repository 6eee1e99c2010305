// A registry key as written on the command line: a root (HKLM\, HKEY_LOCAL_MACHINE\, ...) and a
// path below it.
#pragma once

#include <ce/registry.h>

#include <optional>
#include <string>
#include <string_view>

namespace ce::tool {

class RegistryKeyPath {
public:
  // Accepts the short root names HKLM, HKCU, HKCR, HKU and the long ones, in any case, alone or
  // followed by "\" and a path. Surrounding backslashes are dropped; an empty component in the
  // middle ("a\\b") is refused, as is any other root. On failure *error names the problem.
  static std::optional<RegistryKeyPath> parse(std::string_view text, std::string *error);

  HKEY root() const { return root_; }
  // The path below the root, without leading or trailing backslash; empty for the root itself.
  const std::u16string &subKey() const { return subKey_; }
  bool isRoot() const { return subKey_.empty(); }
  // The full path with the long root name, as the registry tool prints it.
  std::string display() const;
  // The subkey `name` of this key.
  RegistryKeyPath child(std::u16string_view name) const;

private:
  HKEY root_ = nullptr;
  const char *rootName_ = "";
  std::u16string subKey_;
};

} // namespace ce::tool
