#include "key_script.h"

#include "key_names.h"

#include <ce/input.h>

namespace ce {
namespace {

// A key press whose character follows as its own event; the press carries the character too, so
// the receiver knows not to derive a second one from the key.
InputEvent keyDownTyping(std::uint8_t key, char16_t typed) {
  InputEvent down = InputEvent::keyEvent(InputKind::KeyDown, key);
  down.character = typed;
  return down;
}

void pressInto(std::vector<InputEvent>& events, std::uint8_t key, char16_t typed) {
  events.push_back(keyDownTyping(key, typed));
  if (typed) events.push_back(InputEvent::typed(typed));
  events.push_back(InputEvent::keyEvent(InputKind::KeyUp, key));
}

} // namespace

std::vector<InputEvent> KeyScript::press(std::uint8_t key, KeyDirection direction) {
  std::vector<InputEvent> events;
  if (direction != KeyDirection::Up) {
    const char16_t typed = KeyNames::character(key, false);
    events.push_back(keyDownTyping(key, typed));
    if (typed) events.push_back(InputEvent::typed(typed));
  }
  if (direction != KeyDirection::Down) events.push_back(InputEvent::keyEvent(InputKind::KeyUp, key));
  return events;
}

std::vector<InputEvent> KeyScript::type(std::u16string_view text) {
  std::vector<InputEvent> events;
  if (text.size() > kMaximumText) return events;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= u'a' && c <= u'z') {
      pressInto(events, std::uint8_t(c - u'a' + 'A'), c);
    } else if (c >= u'A' && c <= u'Z') {
      events.push_back(InputEvent::keyEvent(InputKind::KeyDown, VK_SHIFT));
      pressInto(events, std::uint8_t(c), c);
      events.push_back(InputEvent::keyEvent(InputKind::KeyUp, VK_SHIFT));
    } else if (c >= u'0' && c <= u'9') {
      pressInto(events, std::uint8_t(c), c);
    } else if (c == u' ') {
      pressInto(events, VK_SPACE, c);
    } else if (c == u'\t') {
      pressInto(events, VK_TAB, c);
    } else if (c == u'\b') {
      pressInto(events, VK_BACK, c);
    } else if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      pressInto(events, VK_RETURN, u'\r');
    } else {
      events.push_back(InputEvent::typed(c));
    }
  }
  return events;
}

} // namespace ce
