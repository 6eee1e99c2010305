#include "message_reader.h"

#include <cstring>

namespace ce::protocol {

bool MessageReader::raw(void *out, std::size_t size) {
  if (failed_ || rest_.size() < size)
    return fail();
  std::memcpy(out, rest_.data(), size);
  rest_ = rest_.subspan(size);
  return true;
}

bool MessageReader::string(std::u16string &text, std::size_t maxUnits) {
  std::uint32_t units = 0;
  if (!u32(units))
    return false;
  // Compare in 64 bits so that a huge count cannot wrap the byte size.
  if (units > maxUnits || static_cast<std::uint64_t>(units) * 2 > rest_.size())
    return fail();
  text.resize(units);
  if (units != 0)
    std::memcpy(text.data(), rest_.data(), units * sizeof(char16_t));
  rest_ = rest_.subspan(units * sizeof(char16_t));
  return true;
}

bool MessageReader::name(std::u16string &text, std::size_t maxUnits) {
  if (!string(text, maxUnits))
    return false;
  return isName(text, maxUnits) || fail();
}

bool MessageReader::isName(std::u16string_view text, std::size_t maxUnits) {
  if (text.empty() || text.size() > maxUnits)
    return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == 0)
      return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
        return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

bool MessageReader::blob(std::vector<std::uint8_t> &bytes, std::size_t maxBytes) {
  std::uint32_t size = 0;
  if (!u32(size))
    return false;
  if (size > maxBytes || size > rest_.size())
    return fail();
  bytes.assign(rest_.begin(), rest_.begin() + size);
  rest_ = rest_.subspan(size);
  return true;
}

} // namespace ce::protocol
