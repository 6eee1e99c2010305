#include <toolkit/text/line_buffer.h>
#include <toolkit/text/text_file_reader.h>

#include <ce/files.h>

#include <cstring>

TextFileReader::TextFileReader(const char16_t *path, HANDLE file, int bufferSize)
    : path_(path), file_(file),
      bufferSize_(bufferSize == 0  ? DefaultBufferSize
                  : bufferSize < 0 ? 1
                                   : static_cast<std::size_t>(bufferSize)),
      buffer_(std::make_unique<std::uint8_t[]>(bufferSize_)) {}

TextFileReader::~TextFileReader() = default;

std::int32_t TextFileReader::readChar() { return EndOfFile; }

std::int32_t TextFileReader::readLine(TextLine &line, UINT) {
  line = TextLine{};
  return EndOfFile;
}

bool TextFileReader::refill(bool &failed) {
  failed = false;
  if (endOfFile_ || !file_)
    return false;
  DWORD count = 0;
  if (!ReadFile(file_, buffer_.get(), static_cast<DWORD>(bufferSize_), &count, nullptr)) {
    failed = true;
    return false;
  }
  if (count == 0) {
    endOfFile_ = true;
    return false;
  }
  position_ = 0;
  valid_ = count;
  return true;
}

std::int32_t TextFileReader::readByte() {
  if (position_ == valid_) {
    bool failed;
    if (!refill(failed))
      return failed ? ReadError : EndOfFile;
  }
  return buffer_[position_++];
}

std::int32_t TextFileReader::readByteSkippingReturns() {
  std::int32_t c;
  do {
    c = readByte();
  } while (c == '\r');
  return c;
}

std::int32_t TextFileReader::readUnit(bool bigEndian) {
  const std::int32_t first = readByte();
  if (first < 0)
    return first;
  const std::int32_t second = readByte();
  if (second == ReadError)
    return ReadError;
  if (second == EndOfFile)
    return 0xFFFD;
  return bigEndian ? (first << 8 | second) : (second << 8 | first);
}

bool TextFileReader::gatherByteLine(LineBuffer &line) {
  line.clear();
  bool gathered = false;
  bool ended = false;
  while (!ended) {
    if (position_ == valid_) {
      bool failed;
      if (!refill(failed))
        break;
    }
    const std::uint8_t *start = buffer_.get() + position_;
    const std::size_t available = valid_ - position_;
    const void *feed = std::memchr(start, '\n', available);
    const std::size_t take =
        feed ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(feed) - start)
             : available;
    line.append(start, take);
    position_ += take;
    gathered = true;
    if (feed) {
      ++position_; // the line feed is consumed, not stored
      ended = true;
    }
  }
  if (ended && line.size() > 0 && line.data()[line.size() - 1] == '\r') {
    line.truncate(line.size() - 1);
  }
  return gathered;
}

bool TextFileReader::gatherUnitLine(LineBuffer &line, bool bigEndian) {
  line.clear();
  bool gathered = false;
  bool ended = false;
  for (;;) {
    const std::int32_t unit = readUnit(bigEndian);
    if (unit < 0)
      break;
    gathered = true;
    if (unit == '\n') {
      ended = true;
      break;
    }
    line.appendUnit(static_cast<char16_t>(unit));
  }
  if (ended && line.size() >= 2 && line.units()[line.size() / 2 - 1] == u'\r') {
    line.truncate(line.size() - 2);
  }
  return gathered;
}
