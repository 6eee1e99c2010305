#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/touch/touch_state.h>

#include <algorithm>

Element::Element(int identifier, int x, int y, int tag, bool noScale)
    : identifier_(identifier), tag_(tag) {
  if (!noScale)
    if (GlobalInformations *global = GlobalInformations::getInstance()) {
      x = static_cast<int>(x * global->scale());
      y = static_cast<int>(y * global->scale());
    }
  bounds = RECT{x, y, x, y};
  touchState = TouchState::process();
  ElementRegistry::add(this);
}

Element::~Element() {
  ElementRegistry::remove(this);
  if (Element *container = owner) {
    owner = nullptr;
    container->remove(this);
  }
}

void Element::invalidate() {
  if (screenRect.right == 0 && screenRect.bottom == 0)
    return;
  GlobalInformations *global = GlobalInformations::getInstance();
  DirectDrawWarp *application = global ? global->mainApplication() : nullptr;
  if (!application)
    return;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT area = screenRect;
  area.right = std::min<LONG>(area.left + width(), screenWidth);
  area.left = std::max<LONG>(area.left, 0);
  area.bottom = std::min<LONG>(area.top + height(), screenHeight);
  area.top = std::max<LONG>(area.top, global->display().client.top);
  if (area.right > area.left && area.bottom > area.top)
    application->queueDirty(area, true);
}

int Element::onClick(bool hold) {
  dispatchEvent(this, hold ? EventHold : EventTap, 0);
  return 0;
}

void Element::add(Element *) {
  GlobalInformations *global = GlobalInformations::getInstance();
  MessageBoxW(global ? global->display().mainWindow : nullptr,
              u"You try to add an element to another element witch can not contain other "
              u"component !",
              u"Error : Element.add virtual !", MB_ICONEXCLAMATION);
}

void Element::resize(int, int newWidth, int newHeight) {
  bounds.right = bounds.left + newWidth;
  bounds.bottom = bounds.top + newHeight;
}
