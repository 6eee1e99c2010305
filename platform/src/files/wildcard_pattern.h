// A find pattern: '*' matches any run of units, '?' exactly one; letters match without regard
// to case. "*.*" matches every name, with or without a dot, as the device's finds do.
#pragma once

#include <string>
#include <string_view>

namespace ce {

class WildcardPattern {
public:
  explicit WildcardPattern(std::u16string_view pattern);

  bool matches(std::u16string_view name) const;
  bool hasWildcards() const { return wildcards_; }

private:
  std::u16string folded_;
  bool wildcards_ = false;
};

} // namespace ce
