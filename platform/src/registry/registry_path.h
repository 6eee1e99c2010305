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

  // Splits text into components, which stay views into text: the path is used while text lives.
  // Any run of backslashes separates two components, and backslashes at either end are ignored,
  // so that a path joined from parts that each bring their own backslash ("start\" + "\games")
  // names the key the caller meant. A null or empty text, or one of backslashes only, is the
  // empty path (the key itself). A component longer than maxComponentLength makes the path
  // malformed: the result is ERROR_BADKEY and out is left empty.
  static LONG parse(const WCHAR *text, RegistryPath &out);

  bool empty() const { return components_.empty(); }
  const std::vector<std::u16string_view> &components() const { return components_; }

  // The case-folded form of a key path below a root, used to find a key whatever the case of
  // its letters: the parent's folded path, then a backslash and the folded name of each
  // component.
  std::u16string foldedBelow(std::u16string_view parentFolded) const;
  static void appendFolded(std::u16string &path, std::u16string_view name);

private:
  std::vector<std::u16string_view> components_;
};

} // namespace ce
