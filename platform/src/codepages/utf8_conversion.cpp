#include "codepages/utf8_conversion.h"

namespace ce {
namespace {

constexpr char16_t replacement = 0xFFFD;

// The range the second byte of a sequence must fall in, by lead byte. Narrower ranges after
// E0, ED, F0 and F4 rule out overlong forms, surrogates and code points above U+10FFFF.
bool secondByteFits(unsigned char lead, unsigned char second) {
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0)
    low = 0xA0;
  else if (lead == 0xED)
    high = 0x9F;
  else if (lead == 0xF0)
    low = 0x90;
  else if (lead == 0xF4)
    high = 0x8F;
  return second >= low && second <= high;
}

void appendCodePoint(char32_t cp, std::u16string &out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

} // namespace

bool decodeUtf8(std::string_view in, bool strict, std::u16string &out) {
  const std::size_t n = in.size();
  std::size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(in[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
      length = 2, cp = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
      length = 3, cp = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
      length = 4, cp = lead & 0x07;
    std::size_t taken = 1;
    if (length != 0) {
      for (; taken < length && i + taken < n; ++taken) {
        const auto byte = static_cast<unsigned char>(in[i + taken]);
        const bool fits = taken == 1 ? secondByteFits(lead, byte) : (byte & 0xC0) == 0x80;
        if (!fits)
          break;
        cp = (cp << 6) | (byte & 0x3F);
      }
    }
    if (length == 0 || taken < length) {
      if (strict)
        return false;
      out.push_back(replacement);
      i += taken; // the offending byte starts the next sequence
      continue;
    }
    appendCodePoint(cp, out);
    i += length;
  }
  return true;
}

bool encodeUtf8(std::u16string_view in, bool strict, std::string &out) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (strict)
        return false;
      cp = replacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

} // namespace ce
