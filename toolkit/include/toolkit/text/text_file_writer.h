// The pending output of a text file opened for writing.
#pragma once

#include <ce/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes are kept until the buffer is full or flush() is called; closeTextFile flushes them.
// The handle stays owned by the caller.
class TextFileWriter {
public:
  explicit TextFileWriter(HANDLE file, std::size_t bufferSize = 4096);
  TextFileWriter(const TextFileWriter &) = delete;
  TextFileWriter &operator=(const TextFileWriter &) = delete;

  // False when a full buffer could not be written out; the bytes stay pending.
  bool write(const void *data, std::size_t size);
  // Writes out every pending byte; false (bytes kept) when the file refuses them.
  bool flush();
  std::size_t pending() const { return pending_.size(); }

private:
  HANDLE file_;
  std::size_t bufferSize_;
  std::vector<std::uint8_t> pending_;
};
