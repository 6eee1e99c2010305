// Turns the window presenter's SDL events into device input: the mouse is the stylus (left
// button), the keyboard the device's keys (arrows, Enter, Escape, Backspace, Space, Tab, letters,
// digits), F1 the Windows key, F2 turns the device, closing the window powers it off.
#pragma once

#include "input_event.h"

#include <SDL2/SDL.h>

#include <vector>

namespace ce {

class SdlInputTranslator {
public:
  // Window pixels are `zoom` screen pixels wide; stylus positions are clamped to the screen.
  void setGeometry(int screenWidth, int screenHeight, int zoom);

  std::vector<InputEvent> translate(const SDL_Event& event);

  // The virtual key of an SDL key, 0 for keys the device does not have (F1 included: it is
  // handled as the Windows key by translate()).
  static std::uint8_t virtualKey(SDL_Keycode key);

private:
  InputEvent stylusAt(InputKind kind, int windowX, int windowY) const;

  int width_ = 1;
  int height_ = 1;
  int zoom_ = 1;
  bool stylusDown_ = false;
  bool poweredOff_ = false; // closing sends both a window event and SDL_QUIT: report once
};

} // namespace ce
