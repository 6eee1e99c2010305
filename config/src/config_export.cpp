#include <config/config_export.h>

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace {

constexpr DWORD NameRoom = 260; // characters
constexpr DWORD DataRoom = 520; // bytes

void writeHex(std::ostream &out, std::uint32_t value) {
  char digits[8];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
  out.write(digits, end - digits);
}

void writeValue(std::ostream &out, std::u16string_view name, DWORD type, const BYTE *data,
                DWORD size, bool withBinary) {
  switch (type) {
  case REG_SZ: {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
    if (const auto zero = text.find(u'\0'); zero != std::u16string::npos)
      text.resize(zero);
    out << '"' << ce::toUtf8(name) << "\"=\"" << ce::toUtf8(text) << "\"\n";
    break;
  }
  case REG_DWORD: {
    std::uint32_t value = 0;
    std::memcpy(&value, data, std::min<DWORD>(size, sizeof value));
    out << '"' << ce::toUtf8(name) << "\"=dword:";
    writeHex(out, value);
    out << '\n';
    break;
  }
  case REG_BINARY:
    if (!withBinary)
      break;
    out << '"' << ce::toUtf8(name) << "\"=hex:";
    for (DWORD i = 0; i < size; ++i) {
      writeHex(out, data[i]);
      out << ',';
    }
    out << "00\n";
    break;
  default:
    break;
  }
}

} // namespace

bool exportKey(HKEY root, std::ostream &out, std::u16string_view path, bool withBinary) {
  out << "\n[HKEY_LOCAL_MACHINE\\" << ce::toUtf8(path) << "]\n";
  const std::u16string keyPath(path);
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return static_cast<bool>(out);
  }

  for (DWORD index = 0;; ++index) {
    char16_t name[NameRoom];
    BYTE data[DataRoom];
    DWORD nameLength = NameRoom;
    DWORD size = DataRoom;
    DWORD type = REG_NONE;
    const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size);
    if (result == ERROR_MORE_DATA)
      continue; // too large to carry: leave this one out
    if (result != ERROR_SUCCESS)
      break;
    writeValue(out, std::u16string_view(name, std::min(nameLength, NameRoom)), type, data,
               std::min(size, DataRoom), withBinary);
  }

  for (DWORD index = 0;; ++index) {
    char16_t name[NameRoom];
    DWORD nameLength = NameRoom;
    const LONG result =
        RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result != ERROR_SUCCESS)
      break;
    std::u16string child = keyPath;
    if (!child.empty() && child.back() != u'\\')
      child += u'\\';
    child.append(name, std::min(nameLength, NameRoom));
    child += u'\\';
    exportKey(root, out, child, false);
  }
  RegCloseKey(key);
  return static_cast<bool>(out);
}
