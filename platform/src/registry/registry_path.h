// A subkey path as the registry functions take it: components separated by backslashes.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace ce {

class RegistryPath {
public:
  // Longest key name the device accepts, in characters.
  static constexpr std::size_t maxComponentLength = 255;

  // Splits text into components. A null or empty text, or a lone backslash, is the empty path
  // (the key itself). One leading and one trailing backslash are allowed and ignored. An empty
  // component ("a\\b", "\\a", "\\") or one longer than maxComponentLength makes the path
  // malformed: the result is ERROR_BADKEY and out is left empty.
  static LONG parse(const WCHAR *text, RegistryPath &out);

  bool empty() const { return components_.empty(); }
  const std::vector<std::u16string> &components() const { return components_; }

  // The case-folded form of a key path below a root, used to find a key whatever the case of
  // its letters: the parent's folded path, then a backslash and the folded name of each
  // component.
  std::u16string foldedBelow(std::u16string_view parentFolded) const;
  static void appendFolded(std::u16string &path, std::u16string_view name);

private:
  std::vector<std::u16string> components_;
};

} // namespace ce
