#include <toolkit/icon/icon_reference.h>

#include <ce/core/utf.h>

#include <climits>

namespace {

int parseDecimal(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+'))
    negative = text[at++] == u'-';
  long long value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1)
      value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative)
    return static_cast<int>(-value);
  return static_cast<int>(value > INT_MAX ? INT_MAX : value);
}

} // namespace

std::optional<IconReference> IconReference::parse(std::u16string_view text) {
  const std::size_t comma = text.find(u',');
  if (comma == std::u16string_view::npos)
    return std::nullopt;
  IconReference reference;
  reference.file = std::u16string(text.substr(0, comma));
  reference.index = parseDecimal(text.substr(comma + 1));
  if (ce::foldCase(reference.file).find(u"ceshell") != std::u16string::npos)
    reference.file = std::u16string(ShellIconLibrary);
  return reference;
}

std::u16string IconReference::highResolutionVariant(std::u16string_view file) {
  const std::size_t slash = file.find_last_of(u"\\/");
  const std::size_t nameStart = slash == std::u16string_view::npos ? 0 : slash + 1;
  const std::size_t dot = file.rfind(u'.');
  if (dot == std::u16string_view::npos || dot < nameStart)
    return {};
  std::u16string variant(file);
  variant.insert(dot, u".192");
  return variant;
}
