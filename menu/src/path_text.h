// Text rules for the device paths and targets of the menu's items.
#pragma once

#include <ce/core/utf.h>

#include <string>
#include <string_view>

namespace pathtext {

// Lower case as the device compares file and registry names.
inline std::u16string lower(std::u16string_view text) { return ce::foldCase(text); }

inline bool contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

inline bool containsIgnoreCase(std::u16string_view text, std::u16string_view part) {
  return lower(text).find(lower(part)) != std::u16string::npos;
}

// The last component of a path.
inline std::u16string_view fileNameOf(std::u16string_view path) {
  while (!path.empty() && path.back() == u'\\')
    path.remove_suffix(1);
  const auto slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

// Removes every occurrence of `part` (compared without regard to case).
inline std::u16string withoutIgnoreCase(std::u16string_view text, std::u16string_view part) {
  std::u16string result(text);
  if (part.empty())
    return result;
  for (auto at = lower(result).find(lower(part)); at != std::u16string::npos;
       at = lower(result).find(lower(part), at)) {
    result.erase(at, part.size());
  }
  return result;
}

} // namespace pathtext
