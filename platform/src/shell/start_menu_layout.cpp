#include "start_menu_layout.h"

#include "taskbar_geometry.h"

#include <algorithm>

namespace ce::shell {

StartMenuLayout::StartMenuLayout(int screenWidth, int screenHeight, int taskbarHeight, int rows)
    : top_(std::max(taskbarHeight, 0)), rows_(std::max(rows, 0)) {
  screenWidth = std::max(screenWidth, 1);
  // Sizes follow the screen's short side: a turned screen keeps its rows a finger high.
  const int shortSide = std::min(screenWidth, std::max(screenHeight, 1));
  rowHeight_ = TaskbarGeometry::scaled(60, shortSide);
  padding_ = TaskbarGeometry::scaled(4, shortSide);
  iconSide_ = TaskbarGeometry::scaled(32, shortSide);
  textHeight_ = TaskbarGeometry::scaled(22, shortSide);
  dragThreshold_ = TaskbarGeometry::scaled(8, shortSide);
  width_ = std::max(1, screenWidth * 13 / 20);
  const long long wanted = 2LL * padding_ + static_cast<long long>(std::max(rows_, 1)) * rowHeight_;
  const int room = std::max(screenHeight - top_, 2 * padding_ + 1);
  height_ = static_cast<int>(std::min<long long>(wanted, room));
}

RECT StartMenuLayout::window() const { return RECT{0, top_, width_, top_ + height_}; }

int StartMenuLayout::maxScroll() const {
  const long long content = static_cast<long long>(rows_) * rowHeight_;
  return static_cast<int>(std::max<long long>(0, content - std::max(viewHeight(), 0)));
}

int StartMenuLayout::clampScroll(int scroll) const { return std::clamp(scroll, 0, maxScroll()); }

RECT StartMenuLayout::row(int index, int scroll) const {
  const int top = padding_ + index * rowHeight_ - scroll;
  return RECT{0, top, width_, top + rowHeight_};
}

int StartMenuLayout::rowAt(POINT client, int scroll) const {
  if (client.x < 0 || client.x >= width_ || client.y < padding_ ||
      client.y >= padding_ + viewHeight())
    return -1;
  const long long index = (static_cast<long long>(client.y) - padding_ + scroll) / rowHeight_;
  return index >= 0 && index < rows_ ? static_cast<int>(index) : -1;
}

int StartMenuLayout::scrollToShow(int index, int scroll) const {
  const int top = index * rowHeight_;
  if (top < scroll)
    scroll = top;
  else if (top + rowHeight_ > scroll + viewHeight())
    scroll = top + rowHeight_ - viewHeight();
  return clampScroll(scroll);
}

} // namespace ce::shell
