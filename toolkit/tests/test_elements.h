// Elements for the toolkit tests: a box of one colour that records its taps and holds.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/touch/touch_state.h>

#include <functional>
#include <string>
#include <vector>

namespace toolkit_test {

class Box : public Element {
public:
  Box(int identifier, int x, int y, int width, int height, COLORREF color = RGB(255, 0, 0),
      int tag = 0, bool noScale = true)
      : Element(identifier, x, y, tag, noScale), color_(color) {
    resize(0, width, height);
  }
  void paint(Surface *target, int x, int y) override {
    screenRect = RECT{x + bounds.left, y + bounds.top, x + bounds.right, y + bounds.bottom};
    if (!target)
      return;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = pressed ? RGB(0, 0, 255) : color_;
    Blt(target, &screenRect, nullptr, nullptr, BltColorFill, &fx);
  }
  Element *getElementAt(int x, int y) override {
    if (x > screenRect.left && x < screenRect.right && y > screenRect.top &&
        y < screenRect.bottom) {
      pressed = true;
      return this;
    }
    return nullptr;
  }
  int onClick(bool hold) override {
    clicks.push_back(hold);
    return Element::onClick(hold);
  }
  void release() override {
    ++releases;
    Element::release();
  }

  std::vector<bool> clicks;
  int releases = 0;

private:
  COLORREF color_;
};

// A box that asks the platform's press-and-hold recogniser when it is hit, as icon tiles do.
class HoldBox : public Box {
public:
  using Box::Box;
  Element *getElementAt(int x, int y) override {
    Element *hit = Box::getElementAt(x, y);
    if (hit && touchState)
      held = touchState->recognizeHold(POINT{x, y}) || held;
    return hit;
  }
  bool held = false;
};

// The application's event sink, recording what it hears.
class RecordingHandler : public EventHandler {
public:
  struct Event {
    Element *sender;
    int code;
    LPARAM parameter;
  };
  void onStart(UINT message, LPARAM parameter) override {
    starts.push_back({nullptr, static_cast<int>(message), parameter});
  }
  void onEvent(Element *sender, int code, LPARAM parameter) override {
    events.push_back({sender, code, parameter});
    if (hook)
      hook(code);
  }
  std::vector<Event> starts;
  std::vector<Event> events;
  std::function<void(int)> hook;
};

} // namespace toolkit_test
