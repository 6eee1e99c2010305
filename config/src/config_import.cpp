#include <config/config_import.h>

#include <ce/codepages.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t MaxLine = std::size_t{64} * 1024;
constexpr std::size_t MaxBinary = 259;
constexpr std::size_t MaxText = 259;
constexpr std::size_t KeyPathStart = 20; // just after "[HKEY_LOCAL_MACHINE\"
constexpr std::u16string_view StartMenuTree = u"security\\shell\\startinfo\\start";

// Reads the next line (without its line feed) into `line`; false at the end of the stream.
// `tooLong` tells that the line went past MaxLine (its rest is skipped).
bool readRawLine(std::istream &in, std::string &line, bool &tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf *buffer = in.rdbuf();
  if (!buffer)
    return false;
  bool any = false;
  for (;;) {
    const auto c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return any;
    }
    any = true;
    if (c == '\n')
      return true;
    if (line.size() < MaxLine) {
      line.push_back(static_cast<char>(c));
    } else {
      tooLong = true;
    }
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t more;
    std::uint32_t cp;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      cp = lead & 0x07;
    } else {
      return false;
    }
    if (bytes.size() - i - 1 < more)
      return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c & 0xC0) != 0x80)
        return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += more + 1;
  }
  return true;
}

std::u16string decodeLine(std::string_view bytes) {
  if (isValidUtf8(bytes))
    return ce::toUtf16(bytes);
  const int length = static_cast<int>(bytes.size()); // at most MaxLine
  std::u16string wide(bytes.size(), u'\0');
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), length);
  if (units > 0) {
    wide.resize(static_cast<std::size_t>(units));
    return wide;
  }
  // No code page takes the line: keep each byte as one unit rather than dropping the line.
  for (std::size_t i = 0; i < bytes.size(); ++i)
    wide[i] = static_cast<unsigned char>(bytes[i]);
  return wide;
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  return -1;
}

// A hexadecimal number as the C library reads one: leading blanks, an optional "0x", digits up
// to the first other character; 0 when there are none; too large a number gives 0xFFFFFFFF.
std::uint32_t parseHex(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;
  if (i + 2 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
      hexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hexDigit(text[i]);
    if (digit < 0)
      break;
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu)
      value = 0x100000000u; // saturate, keep scanning
  }
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

// Cuts `text` to `limit` units without splitting a surrogate pair.
std::u16string_view cutText(std::u16string_view text, std::size_t limit) {
  if (text.size() <= limit)
    return text;
  std::size_t size = limit;
  if (size > 0 && text[size - 1] >= 0xD800 && text[size - 1] <= 0xDBFF)
    --size;
  return text.substr(0, size);
}

class Importer {
public:
  explicit Importer(const StartMenuQuestion &ask) : ask_(ask) {}
  ~Importer() { closeKey(); }

  // False when the key could not be created: the import ends.
  bool openSection(std::u16string_view path) {
    closeKey();
    const std::u16string lowered = ce::asciiLower(path);
    startMenu_ = lowered.find(StartMenuTree) != std::u16string::npos;
    accepted_ = !startMenu_ || (ask_ && ask_(LoadStartMenuQuestion, LoadStartMenuTitle));
    DWORD disposition = 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, lowered.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
      return false;
    }
    key_ = key;
    return true;
  }

  // False when the line named a key that could not be created.
  bool apply(std::u16string_view line) {
    if (line.find(u"[HKEY_LOCAL_MACHINE") != std::u16string_view::npos) {
      closeKey();
      const auto close = line.find(u']');
      if (close == std::u16string_view::npos || close <= KeyPathStart)
        return true;
      return openSection(line.substr(KeyPathStart, close - KeyPathStart));
    }
    if (key_ && accepted_)
      applyValue(line);
    return true;
  }

private:
  void closeKey() {
    if (key_)
      RegCloseKey(key_);
    key_ = nullptr;
    accepted_ = false;
    startMenu_ = false;
  }

  void applyValue(std::u16string_view line) {
    const auto p = line.find(u"\"=");
    if (p == std::u16string_view::npos)
      return;
    const std::u16string name = ce::asciiLower(p >= 1 ? line.substr(1, p - 1) : u"");

    if (line.find(u"=dword:") != std::u16string_view::npos &&
        (!startMenu_ || name == u"itemposition")) {
      const std::uint32_t value = parseHex(line.substr(line.rfind(u':') + 1));
      RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                     sizeof value);
    }

    if (!startMenu_ && line.find(u"=hex:") != std::u16string_view::npos) {
      std::u16string_view rest = line.substr(line.rfind(u':') + 1);
      std::vector<BYTE> bytes;
      for (auto comma = rest.find(u','); comma != std::u16string_view::npos;
           comma = rest.find(u',')) {
        if (bytes.size() < MaxBinary) {
          bytes.push_back(static_cast<BYTE>(parseHex(rest.substr(0, comma)) & 0xFF));
        }
        rest.remove_prefix(comma + 1);
      }
      const BYTE none = 0;
      RegSetValueExW(key_, name.c_str(), 0, REG_BINARY, bytes.empty() ? &none : bytes.data(),
                     static_cast<DWORD>(bytes.size()));
    }

    if (line.find(u"\"=\"") != std::u16string_view::npos && (!startMenu_ || name == u"name")) {
      const std::size_t start = p + 3;
      const std::size_t end = line.size() - 1; // the closing quote is left out
      const std::u16string_view text =
          cutText(start < end ? line.substr(start, end - start) : u"", MaxText);
      const char16_t none = 0;
      RegSetValueExW(key_, name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE *>(text.empty() ? &none : text.data()),
                     static_cast<DWORD>(text.size() * sizeof(char16_t)));
    }
  }

  const StartMenuQuestion &ask_;
  HKEY key_ = nullptr;
  bool accepted_ = false;
  bool startMenu_ = false;
};

} // namespace

bool importConfig(std::istream &in, std::u16string_view startPath, const StartMenuQuestion &ask) {
  Importer importer(ask);
  if (!startPath.empty() && !importer.openSection(startPath))
    return false;
  std::string raw;
  bool tooLong = false;
  while (readRawLine(in, raw, tooLong)) {
    if (tooLong)
      continue;
    if (!raw.empty() && raw.back() == '\r')
      raw.pop_back();
    if (!importer.apply(decodeLine(raw)))
      return false;
  }
  return true;
}
