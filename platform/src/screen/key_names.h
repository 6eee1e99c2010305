// Names of the device's keys as the `device key` verb takes them: LWIN, ENTER, ESC, LEFT,
// RIGHT, UP, DOWN, BACK, SPACE, TAB, a letter, a digit, or a code 0xNN (1 .. 0xFE). Names are
// matched without regard to case; RETURN, ESCAPE and BACKSPACE are accepted as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ce {

class KeyNames {
public:
  static std::optional<std::uint8_t> parse(std::string_view name);
  // The name parse() takes for `key` ("ENTER", "A", "0x70").
  static std::string name(std::uint8_t key);
  // The character a press of `key` types (what WM_CHAR carries), or 0 when it types none.
  // Letters type lower case unless `shift` is down.
  static char16_t character(std::uint8_t key, bool shift);
};

} // namespace ce
