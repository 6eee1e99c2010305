// Sizes and places of popup menus: the rows of one menu level and where a level goes on the
// screen. Pure arithmetic over a text measurer, so that it is testable without a screen.
//
// Rows are big enough for a finger: 26 units high (52 pixels on a 480-wide screen), separators
// 7 units. A level is as wide as its widest text plus room for a check mark column (when any of
// its items is checked), a submenu arrow (when any item opens one) and the text after a tab;
// never narrower than 80 units nor wider than the screen.
//
// Placement at a point follows TPM_LEFTALIGN / CENTERALIGN / RIGHTALIGN and TOPALIGN /
// VCENTERALIGN / BOTTOMALIGN; a popup that would leave the screen is flipped to the other side of
// the point when it fits there, otherwise shifted inside; one taller or wider than the screen
// starts at its top or left edge. A rectangle to keep clear of (TPMPARAMS) moves the popup
// beside it (TPM_VERTICAL: above or below it) when the first place overlaps it and the other side
// has room. A submenu opens beside its item: to the right of its parent, or to the left when the
// right has no room, shifted up to stay on the screen.
#pragma once

#include "menu_tree.h"

#include <functional>
#include <string>
#include <vector>

namespace ce {

struct PopupMetrics {
  int row = 26;
  int separator = 7;
  int border = 1;
  int padding = 8;     // left and right of the text
  int checkColumn = 14;
  int arrowColumn = 12;
  int tabGap = 16;     // between a text and its text after a tab
  int minWidth = 80;
  int fontHeight = 12; // the characters' height
  int dragSlop = 6;    // how far the stylus moves before a drag chooses on lifting

  // The units above in pixels at `scale` (MenuStyle::scaleFor).
  static PopupMetrics atScale(int scale);
};

struct PopupGeometry {
  SIZE size{};
  std::vector<RECT> rows; // one per item, client coordinates
  bool checkColumn = false;
  bool arrowColumn = false;
};

class PopupLayout {
public:
  using TextWidth = std::function<int(std::u16string_view)>;

  static PopupGeometry measure(const MenuTree &menu, const PopupMetrics &metrics,
                               const TextWidth &textWidth, int screenWidth);
  // The item under a client point, or -1.
  static int itemAt(const PopupGeometry &geometry, POINT client);

  static RECT placeAtPoint(POINT point, SIZE size, UINT flags, SIZE screen,
                           const RECT *exclude = nullptr);
  static RECT placeBeside(const RECT &parent, const RECT &itemOnScreen, SIZE size, SIZE screen,
                          int overlap);

  // A menu text: the part before the first tab and the part after it.
  static std::u16string_view label(std::u16string_view text);
  static std::u16string_view accelerator(std::u16string_view text);
};

} // namespace ce
