// Readers that hand out the characters or lines of an open text file as UTF-16.
#pragma once

#include <ce/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

class LineBuffer;

// One line handed out by readLine: a pointer into the reader's line buffer, valid until the
// next read or the reader's destruction, zero-terminated. `text` is set for wide lines;
// `bytes` instead for the ANSI reader in raw-bytes mode. `length` counts units (or bytes)
// before the terminator, so a line holding a zero is still handed out whole.
struct TextLine {
  const char16_t *text = nullptr;
  const char *bytes = nullptr;
  std::size_t length = 0;

  std::u16string_view view() const { return text ? std::u16string_view(text, length) : u""; }
  std::string_view byteView() const { return bytes ? std::string_view(bytes, length) : ""; }
};

// The abstract reader: buffered byte reading from the file handle. The base class alone is
// the reader of an empty file and reports end of file for every read.
class TextFileReader {
public:
  static constexpr std::int32_t EndOfFile = -1;
  static constexpr std::int32_t ReadError = -2;
  static constexpr std::size_t DefaultBufferSize = 4096;

  // `bufferSize`: 0 reads blocks of 4096 bytes, a negative size reads byte by byte (no
  // read-ahead), a positive size reads blocks of that many bytes. The path and the handle
  // stay owned by the caller.
  TextFileReader(const char16_t *path, HANDLE file, int bufferSize);
  TextFileReader(const TextFileReader &) = delete;
  TextFileReader &operator=(const TextFileReader &) = delete;
  virtual ~TextFileReader();

  // The next character: a code point (a 16-bit unit for the UTF-16 readers), EndOfFile or
  // ReadError. Carriage returns are skipped.
  virtual std::int32_t readChar();
  // The next line without its line feed (and without a carriage return directly before it):
  // 0 when a line was read, EndOfFile when no byte of a line could be read (end of file, or a
  // read error before the first byte). A read error in the middle of a line ends that line.
  // `codePage` is the code page of ANSI text; the other readers ignore it.
  virtual std::int32_t readLine(TextLine &line, UINT codePage);

  const char16_t *path() const { return path_; }
  std::size_t bufferSize() const { return bufferSize_; }

protected:
  // The next byte (0-255), EndOfFile or ReadError.
  std::int32_t readByte();
  // The next byte that is not a carriage return.
  std::int32_t readByteSkippingReturns();
  // The next 16-bit unit in the given byte order. A single byte left at the end of the file
  // is not a whole unit and reads as U+FFFD.
  std::int32_t readUnit(bool bigEndian);
  // Gathers the bytes of the next line into `line` (content only, no terminator): true when a
  // line was read. Drops the line feed and a carriage return directly before it.
  bool gatherByteLine(LineBuffer &line);
  // The same for 16-bit units.
  bool gatherUnitLine(LineBuffer &line, bool bigEndian);

private:
  // Reads the next block; false at end of file or on a read error (`failed` tells which).
  bool refill(bool &failed);

  const char16_t *path_;
  HANDLE file_;
  std::size_t bufferSize_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t position_ = 0;
  std::size_t valid_ = 0;
  bool endOfFile_ = false;
};
