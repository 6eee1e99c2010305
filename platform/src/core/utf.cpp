#include <ce/core/utf.h>

#include "codepages/utf8_conversion.h"

namespace ce {

// One UTF-8 implementation serves the host boundary and the CP_UTF8 code page; the lenient
// mode replaces each ill-formed sequence with U+FFFD.
std::string toUtf8(std::u16string_view text) {
  std::string out;
  encodeUtf8(text, false, out);
  return out;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out;
  decodeUtf8(text, false, out);
  return out;
}

std::size_t wideLength(const char16_t* text) {
  if (!text) return 0;
  std::size_t n = 0;
  while (text[n]) ++n;
  return n;
}

char16_t asciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

std::u16string asciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = asciiLower(c);
  return out;
}

char16_t foldCase(char16_t c) {
  if (c < 0x80) return asciiLower(c);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs capitals and small letters on even/odd code points, except in
    // the 0x139-0x148 and 0x179-0x17E runs where the capital is odd.
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddCapitals) return (c & 1) ? char16_t(c + 1) : c;
    return (c & 1) ? c : char16_t(c + 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
  return c;
}

std::u16string foldCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = foldCase(c);
  return out;
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  return true;
}

} // namespace ce
