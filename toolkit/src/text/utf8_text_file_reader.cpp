#include <toolkit/text/utf8_text_file_reader.h>

#include <algorithm>

namespace {

constexpr std::int32_t Replacement = 0xFFFD;
constexpr std::int32_t Highest = 0x10FFFF;

// Number of continuation bytes after `lead` and the payload bits of the lead; -1 continuation
// bytes for a byte that cannot start a sequence.
int continuationCount(std::int32_t lead, std::int32_t &bits) {
  if (lead < 0x80) {
    bits = lead;
    return 0;
  }
  if (lead >= 0xC0 && lead <= 0xDF) {
    bits = lead & 31;
    return 1;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    bits = lead & 15;
    return 2;
  }
  if (lead >= 0xF0 && lead <= 0xF7) {
    bits = lead & 7;
    return 3;
  }
  return -1;
}

} // namespace

UTF8_TextFileReader::UTF8_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize)
    : TextFileReader(path, handle, bufferSize) {}

std::int32_t UTF8_TextFileReader::readChar() {
  const std::int32_t lead = readByteSkippingReturns();
  if (lead < 0)
    return lead;
  std::int32_t cp;
  const int more = continuationCount(lead, cp);
  if (more < 0)
    return Replacement;
  for (int i = 0; i < more; ++i) {
    const std::int32_t c = readByteSkippingReturns();
    if (c < 0)
      return c;
    cp = cp << 6 | (c & 63);
  }
  return std::min(cp, Highest);
}

std::int32_t UTF8_TextFileReader::readLine(TextLine &line, UINT) {
  line = TextLine{};
  if (!gatherByteLine(bytes_))
    return EndOfFile;
  const auto *in = bytes_.data();
  const std::size_t count = bytes_.size();
  wide_.clear();
  // Never more units than bytes: one unit per byte at most, two units only for four bytes.
  wide_.resize(count * 2);
  char16_t *out = wide_.units();
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < count) {
    std::int32_t cp;
    const int more = continuationCount(in[i++], cp);
    if (more < 0) {
      cp = Replacement;
    } else if (count - i < static_cast<std::size_t>(more)) {
      cp = Replacement;
      i = count;
    } else {
      for (int k = 0; k < more; ++k)
        cp = cp << 6 | (in[i++] & 63);
    }
    if (cp >= 0x10000) {
      cp = std::min(cp, Highest);
      out[units++] = static_cast<char16_t>((cp >> 10) + 0xD7C0);
      out[units++] = static_cast<char16_t>((cp & 0x3FF) + 0xDC00);
    } else {
      out[units++] = static_cast<char16_t>(cp);
    }
  }
  wide_.resize(units * 2);
  wide_.terminate(2);
  line.text = wide_.units();
  line.length = units;
  return 0;
}
