#include <toolkit/text/ansi_text_file_reader.h>
#include <toolkit/text/text_file.h>

#include <ce/codepages.h>
#include <ce/errors.h>

#include <climits>

ANSI_TextFileReader::ANSI_TextFileReader(const char16_t *path, HANDLE handle, int bufferSize,
                                         const TextFile *file)
    : TextFileReader(path, handle, bufferSize), file_(file) {}

std::int32_t ANSI_TextFileReader::readChar() { return readByteSkippingReturns(); }

namespace {

// Converts `count` bytes into `wide`; false when the code page cannot convert them.
bool convert(UINT codePage, const char *bytes, std::size_t count, LineBuffer &wide) {
  if (count > static_cast<std::size_t>(INT_MAX))
    return false;
  const int length = static_cast<int>(count);
  // One unit per byte is enough for the single- and double-byte code pages of the device.
  wide.resize(count * 2);
  int units = MultiByteToWideChar(codePage, 0, bytes, length, wide.units(), length);
  if (units <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    units = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (units <= 0)
      return false;
    wide.resize(static_cast<std::size_t>(units) * 2);
    units = MultiByteToWideChar(codePage, 0, bytes, length, wide.units(), units);
  }
  if (units <= 0)
    return false;
  wide.resize(static_cast<std::size_t>(units) * 2);
  return true;
}

} // namespace

std::int32_t ANSI_TextFileReader::readLine(TextLine &line, UINT codePage) {
  line = TextLine{};
  if (!gatherByteLine(bytes_))
    return EndOfFile;
  bytes_.terminate(1);
  if (file_ && file_->rawBytes) {
    line.bytes = bytes_.bytes();
    line.length = bytes_.size();
    return 0;
  }
  wide_.clear();
  if (bytes_.size() > 0 && !convert(codePage, bytes_.bytes(), bytes_.size(), wide_) &&
      !convert(CP_ACP, bytes_.bytes(), bytes_.size(), wide_)) {
    // Not even the device's own code page converts the line: hand its bytes out one unit each
    // rather than losing the line.
    wide_.clear();
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
      wide_.appendUnit(static_cast<unsigned char>(bytes_.bytes()[i]));
    }
  }
  wide_.terminate(2);
  line.text = wide_.units();
  line.length = wide_.size() / 2;
  return 0;
}
