// What the presenters and the input verbs produce: a stream of small records that the host
// routes to the window manager (stylus and keys) or handles itself (rotate, power off).
#pragma once

#include <cstdint>

namespace ce {

enum class InputKind : std::uint8_t {
  StylusDown, // x, y in screen pixels
  StylusMove,
  StylusUp,
  KeyDown, // key: a virtual-key code
  KeyUp,
  Character, // character: one UTF-16 unit, queued as WM_CHAR after the key that typed it
  Rotate,    // the device is turned: swap the screen's width and height
  PowerOff,  // the presenter's window was closed: shut the device down
};

struct InputEvent {
  InputKind kind = InputKind::StylusMove;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint8_t key = 0;
  char16_t character = 0;

  static InputEvent stylus(InputKind kind, std::int32_t x, std::int32_t y) {
    InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    return e;
  }
  static InputEvent keyEvent(InputKind kind, std::uint8_t key) {
    InputEvent e;
    e.kind = kind;
    e.key = key;
    return e;
  }
  static InputEvent typed(char16_t character) {
    InputEvent e;
    e.kind = InputKind::Character;
    e.character = character;
    return e;
  }
  static InputEvent request(InputKind kind) {
    InputEvent e;
    e.kind = kind;
    return e;
  }
  bool operator==(const InputEvent&) const = default;
};

} // namespace ce
