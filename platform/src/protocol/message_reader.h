// Reads the payload of a message from outside, checking every size against what is left. The
// first read that does not fit (or a string over its limit, or one holding a NUL where a name
// is expected) marks the reader failed; every later read fails too, so a handler reads all its
// fields and checks ok() once, then complete() to refuse trailing bytes.
#pragma once

#include "message_header.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ce::protocol {

class MessageReader {
public:
  explicit MessageReader(std::span<const std::uint8_t> payload) : rest_(payload) {}

  bool u32(std::uint32_t &value) { return raw(&value, sizeof value); }
  bool i32(std::int32_t &value) { return raw(&value, sizeof value); }
  bool u64(std::uint64_t &value) { return raw(&value, sizeof value); }
  bool i64(std::int64_t &value) { return raw(&value, sizeof value); }
  // A string of at most maxUnits code units.
  bool string(std::u16string &text, std::size_t maxUnits = kMaxStringUnits);
  // A string that names something: no NUL inside, no unpaired surrogate, 1..maxUnits units.
  bool name(std::u16string &text, std::size_t maxUnits);
  bool blob(std::vector<std::uint8_t> &bytes, std::size_t maxBytes = kMaxPayloadSize);
  // Whether `text` may name something: 1..maxUnits units, no NUL, no unpaired surrogate.
  static bool isName(std::u16string_view text, std::size_t maxUnits);

  bool ok() const { return !failed_; }
  // Every field was read and nothing is left over.
  bool complete() const { return !failed_ && rest_.empty(); }
  std::size_t remaining() const { return rest_.size(); }

private:
  bool raw(void *out, std::size_t size);
  bool fail() {
    failed_ = true;
    return false;
  }

  std::span<const std::uint8_t> rest_;
  bool failed_ = false;
};

} // namespace ce::protocol
