#include "registry_value_text.h"

#include "command_line_text.h"

#include <ce/core/utf.h>
#include <ce/registry.h>

#include <algorithm>
#include <cstdio>

namespace ce::tool {
namespace {

struct TypeName {
  DWORD type;
  const char *name;
  bool writable;
};

const TypeName kTypes[] = {
    {REG_NONE, "REG_NONE", true},           {REG_SZ, "REG_SZ", true},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ", true}, {REG_BINARY, "REG_BINARY", true},
    {REG_DWORD, "REG_DWORD", true},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN", false},
    {REG_LINK, "REG_LINK", false},          {REG_MULTI_SZ, "REG_MULTI_SZ", true},
};

std::u16string unitsOf(std::span<const BYTE> data) {
  std::u16string units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return units;
}

std::vector<BYTE> bytesOf(std::u16string_view units) {
  std::vector<BYTE> bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return bytes;
}

std::string hexDigits(std::span<const BYTE> data) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(data.size() * 2);
  for (BYTE b : data) {
    text += digits[b >> 4];
    text += digits[b & 0xF];
  }
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::optional<std::vector<BYTE>> parseDword(std::string_view text, std::string *error) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = hex ? text.substr(2) : text;
  unsigned long long value = 0;
  bool valid = !digits.empty();
  for (char c : digits) {
    const int digit = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) {
      valid = false;
      break;
    }
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) {
      *error = "REG_DWORD data '" + std::string(text) + "' does not fit 32 bits";
      return std::nullopt;
    }
  }
  if (!valid) {
    *error = "REG_DWORD data '" + std::string(text) + "' is not a decimal or 0x hex number";
    return std::nullopt;
  }
  const auto number = static_cast<DWORD>(value);
  return std::vector<BYTE>{static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                           static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
}

std::optional<std::vector<BYTE>> parseHex(DWORD type, std::string_view text, std::string *error) {
  std::vector<BYTE> bytes;
  if (text.size() % 2 != 0) {
    *error = RegistryValueText::typeName(type) + " data needs an even count of hex digits";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = hexValue(text[i]);
    const int low = hexValue(text[i + 1]);
    if (high < 0 || low < 0) {
      *error =
          RegistryValueText::typeName(type) + " data '" + std::string(text) + "' is not hex digits";
      return std::nullopt;
    }
    bytes.push_back(static_cast<BYTE>(high * 16 + low));
  }
  return bytes;
}

std::optional<std::vector<BYTE>> parseMultiString(std::string_view text, std::string *error) {
  std::u16string units;
  if (!text.empty()) {
    std::string_view rest = text;
    if (rest.size() >= 2 && rest.substr(rest.size() - 2) == "\\0")
      rest.remove_suffix(2);
    while (true) {
      const auto separator = rest.find("\\0");
      const std::string_view entry = rest.substr(0, separator);
      // An empty entry would end the list early and lose the entries after it.
      if (entry.empty()) {
        *error = "REG_MULTI_SZ data '" + std::string(text) + "' has an empty entry";
        return std::nullopt;
      }
      const auto converted = CommandLineText::toDevice(entry);
      if (!converted) {
        *error = "REG_MULTI_SZ data is not valid UTF-8";
        return std::nullopt;
      }
      units += *converted;
      units += u'\0';
      if (separator == std::string_view::npos)
        break;
      rest.remove_prefix(separator + 2);
    }
  } else {
    units += u'\0';
  }
  units += u'\0';
  return bytesOf(units);
}

} // namespace

std::string RegistryValueText::typeName(DWORD type) {
  for (const auto &entry : kTypes)
    if (entry.type == type)
      return entry.name;
  char number[16];
  std::snprintf(number, sizeof number, "0x%X", static_cast<unsigned>(type));
  return number;
}

std::optional<DWORD> RegistryValueText::writableType(std::string_view name) {
  for (const auto &entry : kTypes) {
    const std::string_view known = entry.name;
    const bool same =
        std::equal(known.begin(), known.end(), name.begin(), name.end(),
                   [](char a, char b) { return a == (b >= 'a' && b <= 'z' ? b - 32 : b); });
    if (same && entry.writable)
      return entry.type;
  }
  return std::nullopt;
}

std::string RegistryValueText::format(DWORD type, std::span<const BYTE> data) {
  switch (type) {
  case REG_DWORD: {
    if (data.size() != 4)
      return hexDigits(data);
    const DWORD value = static_cast<DWORD>(data[0]) | (static_cast<DWORD>(data[1]) << 8) |
                        (static_cast<DWORD>(data[2]) << 16) | (static_cast<DWORD>(data[3]) << 24);
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
  }
  case REG_SZ:
  case REG_EXPAND_SZ: {
    const std::u16string units = unitsOf(data);
    return toUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
  }
  case REG_MULTI_SZ: {
    const std::u16string units = unitsOf(data);
    std::string text;
    std::size_t start = 0;
    while (start < units.size()) {
      const auto end = std::min(units.find(u'\0', start), units.size());
      if (end == start)
        break; // the empty entry that closes the list
      if (start != 0)
        text += "\\0";
      text += toUtf8(std::u16string_view(units).substr(start, end - start));
      start = end + 1;
    }
    return text;
  }
  default:
    return hexDigits(data);
  }
}

std::optional<std::vector<BYTE>> RegistryValueText::parse(DWORD type, std::string_view text,
                                                          std::string *error) {
  switch (type) {
  case REG_DWORD:
    return parseDword(text, error);
  case REG_BINARY:
  case REG_NONE:
    return parseHex(type, text, error);
  case REG_SZ:
  case REG_EXPAND_SZ: {
    auto units = CommandLineText::toDevice(text);
    if (!units) {
      *error = typeName(type) + " data is not valid UTF-8";
      return std::nullopt;
    }
    *units += u'\0';
    return bytesOf(*units);
  }
  case REG_MULTI_SZ:
    return parseMultiString(text, error);
  default:
    *error = "values of type " + typeName(type) + " cannot be written";
    return std::nullopt;
  }
}

} // namespace ce::tool
