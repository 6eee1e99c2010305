#include <ce/core/printable_text.h>

namespace ce {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

void appendByte(std::string &out, unsigned char byte) {
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0xF];
}

void appendUnit(std::string &out, char32_t code) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4)
    out += kDigits[(code >> shift) & 0xF];
}

// Length of the well-formed UTF-8 sequence at `text` (0 when it is not one) and its code point.
std::size_t decode(std::string_view text, char32_t &code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length)
    return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (overlong || surrogate || code > 0x10FFFF)
    return 0;
  return length;
}

bool isHidden(char32_t code) {
  return (code >= 0x80 && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

} // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.front());
    if (byte < 0x80) {
      if (byte == '\n')
        out += "\\n";
      else if (byte == '\r')
        out += "\\r";
      else if (byte == '\t')
        out += "\\t";
      else if (byte < 0x20 || byte == 0x7F)
        appendByte(out, byte);
      else
        out += static_cast<char>(byte);
      text.remove_prefix(1);
      continue;
    }
    char32_t code = 0;
    const std::size_t length = decode(text, code);
    if (length == 0) {
      appendByte(out, byte);
      text.remove_prefix(1);
    } else {
      if (isHidden(code))
        appendUnit(out, code);
      else
        out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

} // namespace ce
