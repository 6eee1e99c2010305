// Turns key presses and typed text into input events, the way the device's keyboard driver
// and TranslateMessage would produce them: a key that types a character is followed by its
// Character event.
#pragma once

#include "input_event.h"

#include <string_view>
#include <vector>

namespace ce {

enum class KeyDirection { DownAndUp, Down, Up };

class KeyScript {
public:
  static constexpr std::size_t kMaximumText = 4096; // UTF-16 units per type() call

  static std::vector<InputEvent> press(std::uint8_t key, KeyDirection direction);
  // Letters, digits, space, tab, Enter ('\r', '\n' or "\r\n") and backspace become presses of
  // their keys (capitals inside a press of VK_SHIFT); every other character, surrogate pairs
  // included, becomes Character events alone, one per UTF-16 unit. Text longer than
  // kMaximumText units yields nothing.
  static std::vector<InputEvent> type(std::u16string_view text);
};

} // namespace ce
