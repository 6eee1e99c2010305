// Where the platform Start menu and its rows are: a window at the left of the screen just under
// the taskbar, about two thirds of the screen wide, with rows of one finger's height (60 pixels
// on a screen whose short side is 480, scaled with that side). The window is as tall as
// its rows and never taller than the screen below the taskbar; rows that do not fit are reached
// by scrolling, `scroll` pixels down from the first.
#pragma once

#include <ce/types.h>

namespace ce::shell {

class StartMenuLayout {
public:
  StartMenuLayout() = default;
  StartMenuLayout(int screenWidth, int screenHeight, int taskbarHeight, int rows);

  RECT window() const; // screen coordinates
  int width() const { return width_; }
  int height() const { return height_; }
  int rowHeight() const { return rowHeight_; }
  int padding() const { return padding_; }
  int rows() const { return rows_; }
  // Pixels of the list that the window shows, and how far it can scroll.
  int viewHeight() const { return height_ - 2 * padding_; }
  int maxScroll() const;
  int clampScroll(int scroll) const;
  // Row `index` in client coordinates with the list scrolled by `scroll`.
  RECT row(int index, int scroll) const;
  // The row under a client point, or -1.
  int rowAt(POINT client, int scroll) const;
  // The scroll that brings row `index` fully into view, starting from `scroll`.
  int scrollToShow(int index, int scroll) const;
  int iconSide() const { return iconSide_; }
  int textHeight() const { return textHeight_; }
  // How far the stylus moves before a press becomes a drag that scrolls.
  int dragThreshold() const { return dragThreshold_; }

private:
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  int rowHeight_ = 1;
  int padding_ = 0;
  int rows_ = 0;
  int iconSide_ = 0;
  int textHeight_ = 0;
  int dragThreshold_ = 1;
};

} // namespace ce::shell
