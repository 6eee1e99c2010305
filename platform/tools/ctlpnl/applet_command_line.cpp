#include "applet_command_line.h"

#include <ce/core/utf.h>

#include <limits>

namespace ce::ctlpnl {
namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && isSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

// An optionally signed run of decimal digits; values beyond the range of long long saturate.
std::optional<long long> number(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  if (text.empty())
    return std::nullopt;
  long long value = 0;
  constexpr long long limit = std::numeric_limits<long long>::max() / 10 - 9;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9')
      return std::nullopt;
    value = value > limit ? std::numeric_limits<long long>::max() : value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

bool endsWithCpl(std::u16string_view text) {
  return text.size() >= 4 && ce::equalsIgnoreCase(text.substr(text.size() - 4), u".cpl");
}

} // namespace

std::optional<AppletCommandLine> AppletCommandLine::parse(std::u16string_view given,
                                                          std::string *error) {
  std::u16string unquoted;
  for (char16_t c : given)
    if (c != u'"')
      unquoted += c;
  std::u16string_view text = trim(unquoted);

  AppletCommandLine result;
  std::u16string_view file = text;
  if (const auto comma = text.rfind(u','); comma != std::u16string_view::npos) {
    const std::u16string_view tail = trim(text.substr(comma + 1));
    if (tail.empty()) {
      file = trim(text.substr(0, comma));
    } else if (const auto index = number(tail)) {
      file = trim(text.substr(0, comma));
      result.index_ = *index;
    }
  } else if (const auto space = text.find_last_of(u" \t"); space != std::u16string_view::npos) {
    const std::u16string_view head = trim(text.substr(0, space));
    if (const auto index = number(text.substr(space + 1)); index && endsWithCpl(head)) {
      file = head;
      result.index_ = *index;
    }
  }
  if (file.empty()) {
    *error = "no control-panel library named (give \"file\" or \"file,index\")";
    return std::nullopt;
  }
  result.library_ = (file.front() == u'\\' || file.front() == u'/')
                        ? std::u16string(file)
                        : u"\\Windows\\" + std::u16string(file);
  return result;
}

} // namespace ce::ctlpnl
