#include "files/wildcard_pattern.h"

#include <ce/core/utf.h>

namespace ce {

WildcardPattern::WildcardPattern(std::u16string_view pattern) : folded_(foldCase(pattern)) {
  wildcards_ = folded_.find_first_of(u"*?") != std::u16string::npos;
  if (folded_ == u"*.*") folded_.resize(1); // keep only the leading star
}

bool WildcardPattern::matches(std::u16string_view name) const {
  const std::u16string text = foldCase(name);
  // Greedy matching with one backtrack point: linear in practice, never exponential.
  std::size_t p = 0, t = 0;
  std::size_t starP = std::u16string::npos, starT = 0;
  while (t < text.size()) {
    if (p < folded_.size() && (folded_[p] == u'?' || folded_[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < folded_.size() && folded_[p] == u'*') {
      starP = p++;
      starT = t;
    } else if (starP != std::u16string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < folded_.size() && folded_[p] == u'*') ++p;
  return p == folded_.size();
}

} // namespace ce
