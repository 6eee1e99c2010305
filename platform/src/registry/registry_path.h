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

  // Splits text into components. A null or empty text is the empty path (the key itself). One
  // leading and one trailing backslash are allowed and ignored. An empty component ("a\\b",
  // "\\\\a") or one longer than maxComponentLength makes the path malformed: the result is
  // ERROR_BADKEY and out is left empty.
  static LONG parse(const WCHAR *text, RegistryPath &out);

  bool empty() const { return components_.empty(); }
  const std::vector<std::u16string> &components() const { return components_; }

  // The case-folded form of a key path below a root, used to find a key whatever the case of
  // its letters: parent's folded path, a backslash, the folded name.
  static std::u16string foldedChild(std::u16string_view parentFolded, std::u16string_view name);

private:
  std::vector<std::u16string> components_;
};

} // namespace ce
