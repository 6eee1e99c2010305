#include "key_names.h"

#include <ce/input.h>

#include <cctype>
#include <charconv>

namespace ce {
namespace {

struct NamedKey {
  const char* name;
  std::uint8_t key;
};

// The first entry for a key is its canonical name.
constexpr NamedKey kNamedKeys[] = {
    {"LWIN", VK_LWIN},   {"ENTER", VK_RETURN},  {"RETURN", VK_RETURN}, {"ESC", VK_ESCAPE},
    {"ESCAPE", VK_ESCAPE}, {"LEFT", VK_LEFT},   {"RIGHT", VK_RIGHT},   {"UP", VK_UP},
    {"DOWN", VK_DOWN},   {"BACK", VK_BACK},     {"BACKSPACE", VK_BACK}, {"SPACE", VK_SPACE},
    {"TAB", VK_TAB},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i]))
      return false;
  return true;
}

} // namespace

std::optional<std::uint8_t> KeyNames::parse(std::string_view name) {
  for (const auto& entry : kNamedKeys)
    if (equalsIgnoringCase(name, entry.name)) return entry.key;
  if (name.size() == 1) {
    const unsigned char c = static_cast<unsigned char>(name[0]);
    if (std::isalpha(c)) return static_cast<std::uint8_t>(std::toupper(c));
    if (std::isdigit(c)) return static_cast<std::uint8_t>(c);
    return std::nullopt;
  }
  if (name.size() >= 3 && name.size() <= 4 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    unsigned value = 0;
    const char* first = name.data() + 2;
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, value, 16);
    if (ec == std::errc() && end == last && value >= 1 && value <= 0xFE)
      return static_cast<std::uint8_t>(value);
  }
  return std::nullopt;
}

std::string KeyNames::name(std::uint8_t key) {
  for (const auto& entry : kNamedKeys)
    if (entry.key == key) return entry.name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("0x") + kHex[key >> 4] + kHex[key & 15];
}

char16_t KeyNames::character(std::uint8_t key, bool shift) {
  if (key >= 'A' && key <= 'Z') return shift ? char16_t(key) : char16_t(key - 'A' + 'a');
  if (key >= '0' && key <= '9') return char16_t(key);
  switch (key) {
  case VK_RETURN: return u'\r';
  case VK_BACK: return u'\b';
  case VK_ESCAPE: return 0x1B;
  case VK_SPACE: return u' ';
  case VK_TAB: return u'\t';
  default: return 0;
  }
}

} // namespace ce
