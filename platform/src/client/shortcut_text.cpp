#include "shortcut_text.h"

#include <ce/core/utf.h>

namespace ce {
namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && isSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool validUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t extra = c < 0x80         ? 0
                        : (c >> 5) == 6  ? 1
                        : (c >> 4) == 14 ? 2
                        : (c >> 3) == 30 ? 3
                                         : 9;
    if (extra == 9 || i + extra >= bytes.size())
      return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2)
        return false;
    i += extra + 1;
  }
  return true;
}

} // namespace

std::optional<ShortcutText::Command> ShortcutText::parse(std::u16string_view text) {
  text = trim(text);
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9')
    ++digits;
  if (digits == 0 || digits > 9 || digits >= text.size() || text[digits] != u'#')
    return std::nullopt;
  std::u16string_view command = text.substr(digits + 1);
  if (const auto icon = command.find(u'?'); icon != std::u16string_view::npos)
    command = command.substr(0, icon);
  command = trim(command);
  Command out;
  if (!command.empty() && command.front() == u'"') {
    const auto close = command.find(u'"', 1);
    if (close == std::u16string_view::npos)
      return std::nullopt;
    out.target = trim(command.substr(1, close - 1));
    out.arguments = trim(command.substr(close + 1));
  } else {
    std::size_t end = command.size();
    for (std::size_t i = 0; i + 4 <= command.size(); ++i) {
      if (command[i] == u'.' && lower(command[i + 1]) == u'e' && lower(command[i + 2]) == u'x' &&
          lower(command[i + 3]) == u'e' && (i + 4 == command.size() || isSpace(command[i + 4]))) {
        end = i + 4;
        break;
      }
    }
    out.target = command.substr(0, end);
    out.arguments = trim(command.substr(end));
  }
  if (out.target.empty())
    return std::nullopt;
  return out;
}

std::u16string ShortcutText::decode(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    bytes.remove_prefix(3);
  if (validUtf8(bytes))
    return ce::toUtf16(std::string(bytes));
  std::u16string text;
  for (char c : bytes)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return text;
}

} // namespace ce
