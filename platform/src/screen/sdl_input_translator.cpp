#include "sdl_input_translator.h"

#include "key_names.h"

#include <ce/input.h>

#include <algorithm>

namespace ce {

void SdlInputTranslator::setGeometry(int screenWidth, int screenHeight, int zoom) {
  width_ = std::max(1, screenWidth);
  height_ = std::max(1, screenHeight);
  zoom_ = std::max(1, zoom);
}

InputEvent SdlInputTranslator::stylusAt(InputKind kind, int windowX, int windowY) const {
  const int x = std::clamp(windowX / zoom_, 0, width_ - 1);
  const int y = std::clamp(windowY / zoom_, 0, height_ - 1);
  return InputEvent::stylus(kind, x, y);
}

std::uint8_t SdlInputTranslator::virtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return std::uint8_t('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return std::uint8_t('0' + (key - SDLK_0));
  switch (key) {
  case SDLK_LEFT: return VK_LEFT;
  case SDLK_RIGHT: return VK_RIGHT;
  case SDLK_UP: return VK_UP;
  case SDLK_DOWN: return VK_DOWN;
  case SDLK_RETURN:
  case SDLK_KP_ENTER: return VK_RETURN;
  case SDLK_ESCAPE: return VK_ESCAPE;
  case SDLK_BACKSPACE: return VK_BACK;
  case SDLK_SPACE: return VK_SPACE;
  case SDLK_TAB: return VK_TAB;
  case SDLK_LSHIFT:
  case SDLK_RSHIFT: return VK_SHIFT;
  default: return 0;
  }
}

std::vector<InputEvent> SdlInputTranslator::translate(const SDL_Event& event) {
  std::vector<InputEvent> events;
  switch (event.type) {
  case SDL_MOUSEBUTTONDOWN:
    if (event.button.button == SDL_BUTTON_LEFT && !stylusDown_) {
      stylusDown_ = true;
      events.push_back(stylusAt(InputKind::StylusDown, event.button.x, event.button.y));
    }
    break;
  case SDL_MOUSEMOTION:
    if (stylusDown_) events.push_back(stylusAt(InputKind::StylusMove, event.motion.x, event.motion.y));
    break;
  case SDL_MOUSEBUTTONUP:
    if (event.button.button == SDL_BUTTON_LEFT && stylusDown_) {
      stylusDown_ = false;
      events.push_back(stylusAt(InputKind::StylusUp, event.button.x, event.button.y));
    }
    break;
  case SDL_KEYDOWN:
  case SDL_KEYUP: {
    const bool down = event.type == SDL_KEYDOWN;
    const SDL_Keycode key = event.key.keysym.sym;
    if (key == SDLK_F2) {
      if (down && !event.key.repeat) events.push_back(InputEvent::request(InputKind::Rotate));
      break;
    }
    const std::uint8_t vk = key == SDLK_F1 ? std::uint8_t(VK_LWIN) : virtualKey(key);
    if (!vk) break;
    events.push_back(InputEvent::keyEvent(down ? InputKind::KeyDown : InputKind::KeyUp, vk));
    // The character the key types follows its key-down, as TranslateMessage would make it.
    if (down) {
      const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
      if (const char16_t c = KeyNames::character(vk, shift)) events.push_back(InputEvent::typed(c));
    }
    break;
  }
  case SDL_WINDOWEVENT:
    if (event.window.event == SDL_WINDOWEVENT_CLOSE && !poweredOff_) {
      poweredOff_ = true;
      events.push_back(InputEvent::request(InputKind::PowerOff));
    }
    break;
  case SDL_QUIT:
    if (!poweredOff_) {
      poweredOff_ = true;
      events.push_back(InputEvent::request(InputKind::PowerOff));
    }
    break;
  default: break;
  }
  return events;
}

} // namespace ce
