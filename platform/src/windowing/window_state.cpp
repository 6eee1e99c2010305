#include "window_state.h"

namespace ce {
bool WindowState::operator==(const WindowState &o) const {
  return handle == o.handle && process == o.process && thread == o.thread && parent == o.parent &&
         owner == o.owner && style == o.style && exStyle == o.exStyle && id == o.id &&
         visible == o.visible && enabled == o.enabled && rect.left == o.rect.left &&
         rect.top == o.rect.top && rect.right == o.rect.right && rect.bottom == o.rect.bottom &&
         className == o.className && title == o.title;
}

} // namespace ce
