// A growable counted buffer holding one line of text for the text file readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The block starts with a 12-byte header: the four bytes "BDSG", the capacity of the text area
// in bytes and the used length in bytes including the terminating zero (both 32-bit, host byte
// order). The text follows the header; readers hand out pointers to it. The capacity is always
// a multiple of 1024 and at least 1024; growing reallocates the whole block to a larger multiple
// of 1024 (at least double the old capacity, so a very long line costs linear time, not
// quadratic).
class LineBuffer {
public:
  static constexpr std::size_t HeaderSize = 12;
  static constexpr std::uint32_t Step = 1024;

  LineBuffer();
  LineBuffer(const LineBuffer &) = delete;
  LineBuffer &operator=(const LineBuffer &) = delete;

  // Content bytes gathered so far, without the terminating zero.
  std::size_t size() const { return size_; }
  void clear();
  void append(const void *data, std::size_t count);
  void appendUnit(char16_t unit) { append(&unit, sizeof unit); }
  // Drops content bytes beyond `count`.
  void truncate(std::size_t count);
  // Makes room for `count` content bytes plus a terminator and sets the size to `count`; the
  // bytes beyond the old size are unspecified until written through data().
  void resize(std::size_t count);
  // Writes a zero terminator of `zeroBytes` bytes (1 for byte text, 2 for wide text) after the
  // content and records the used length.
  void terminate(std::size_t zeroBytes);

  std::uint8_t *data() { return mutableBlock() + HeaderSize; }
  const std::uint8_t *data() const { return block() + HeaderSize; }
  const char *bytes() const { return reinterpret_cast<const char *>(data()); }
  char16_t *units() { return reinterpret_cast<char16_t *>(data()); }
  const char16_t *units() const { return reinterpret_cast<const char16_t *>(data()); }

  // The header fields as stored in the block.
  const std::uint8_t *block() const { return reinterpret_cast<const std::uint8_t *>(words_.get()); }
  std::uint32_t capacity() const;
  std::uint32_t usedLength() const;

private:
  std::uint8_t *mutableBlock() { return reinterpret_cast<std::uint8_t *>(words_.get()); }
  void reserve(std::size_t textBytes);
  void setHeader(std::uint32_t capacity, std::uint32_t used);

  // 32-bit words keep the text (at offset 12) aligned for 16-bit units.
  std::unique_ptr<std::uint32_t[]> words_;
  std::size_t size_ = 0;
};
