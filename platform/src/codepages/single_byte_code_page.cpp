#include "codepages/single_byte_code_page.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <string>

namespace ce {
namespace {

// Code points the device gives to bytes that a page leaves undefined. The control range keeps
// its own value (0x81 -> U+0081); 1253 maps three bytes into the private-use area.
char16_t undefinedByte(UINT page, unsigned char byte) {
  if (page == 1253) {
    if (byte == 0xAA)
      return 0xF8F9;
    if (byte == 0xD2)
      return 0xF8FA;
    if (byte == 0xFF)
      return 0xF8FB;
  }
  return byte;
}

class IconvDescriptor {
public:
  IconvDescriptor(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
  ~IconvDescriptor() {
    if (ok())
      iconv_close(cd_);
  }
  IconvDescriptor(const IconvDescriptor &) = delete;
  IconvDescriptor &operator=(const IconvDescriptor &) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts one byte; the UTF-16 unit, or nothing when the page does not define the byte.
  bool convert(unsigned char byte, char16_t &unit) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
    char in = static_cast<char>(byte);
    char out[8];
    char *inPtr = &in;
    char *outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
      return false;
    if (sizeof out - outLeft != 2)
      return false; // one byte must give exactly one unit
    unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
    return true;
  }

private:
  iconv_t cd_;
};

} // namespace

bool SingleByteCodePage::load() {
  const std::string name = "CP" + std::to_string(number_);
  IconvDescriptor iconv("UTF-16LE", name.c_str());
  if (!iconv.ok())
    return false;
  for (unsigned value = 0; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    char16_t unit = 0;
    toWide_[byte] = iconv.convert(byte, unit) ? unit : undefinedByte(number_, byte);
  }
  for (unsigned value = 0; value < 256; ++value)
    byUnit_.emplace_back(toWide_[value], static_cast<unsigned char>(value));
  // Stable, so that a unit two bytes share (none of the device pages has one) maps to the first.
  std::stable_sort(byUnit_.begin(), byUnit_.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  return true;
}

int SingleByteCodePage::toByte(char16_t unit) const {
  if (unit < 0x80 && toWide_[unit] == unit)
    return unit; // ASCII, the common case
  const auto it = std::lower_bound(byUnit_.begin(), byUnit_.end(), unit,
                                   [](const auto &entry, char16_t u) { return entry.first < u; });
  return it != byUnit_.end() && it->first == unit ? it->second : -1;
}

const SingleByteCodePage *SingleByteCodePage::find(UINT codePage) {
  static constexpr UINT numbers[] = {1250, 1251, 1252, 1253, 1256};
  static std::once_flag loaded[std::size(numbers)];
  // Pages live until the process ends: detached threads may convert text during exit.
  static SingleByteCodePage *pages[std::size(numbers)] = {};
  for (std::size_t i = 0; i < std::size(numbers); ++i) {
    if (numbers[i] != codePage)
      continue;
    std::call_once(loaded[i], [i] {
      auto *page = new SingleByteCodePage(numbers[i]);
      if (page->load())
        pages[i] = page;
      else
        delete page;
    });
    return pages[i];
  }
  return nullptr;
}

} // namespace ce
