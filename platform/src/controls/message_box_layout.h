// What a message box shows and where: its buttons for an MB_* type, the default and the ESC
// answers, and the rectangles of the caption, icon, text and buttons. Pure arithmetic over the
// text's measured height, so that tests can find a box's buttons from its window rectangle.
//
// The box is as wide as the screen less a margin on each side, centred on the screen; the
// caption bar runs along its top, the icon sits left of the text, the text (wrapped, centred,
// line breaks kept) fills the rest of the middle, and the buttons share one row along the
// bottom, centred, each kButtonWidth units wide unless they need to shrink to fit.
#pragma once

#include <ce/menus.h>
#include <ce/windows_api.h>

#include <optional>
#include <vector>

namespace ce {

struct MessageBoxMetrics {
  int margin = 10;
  int caption = 24;
  int captionFont = 11;
  int textFont = 11;
  int padding = 10;
  int icon = 28;
  int buttonHeight = 30;
  int buttonWidth = 60;
  int buttonGap = 8;
  int border = 1;

  static MessageBoxMetrics atScale(int scale);
};

struct MessageBoxButtons {
  std::vector<int> answers; // IDOK, IDCANCEL, ... in their order on screen
  int defaultIndex = 0;     // MB_DEFBUTTONn, the first when n is beyond the buttons
  int escapeAnswer = 0;     // IDCANCEL when there is a Cancel button, IDOK for MB_OK, else 0

  // Nothing for an unknown type.
  static std::optional<MessageBoxButtons> forType(UINT type);
  static const WCHAR *label(int answer);
};

class MessageBoxLayout {
public:
  static int boxWidth(SIZE screen, const MessageBoxMetrics &m);
  // The text's left and right edges in box coordinates (its top and bottom come from the box).
  static RECT textColumn(int boxWidth, bool icon, const MessageBoxMetrics &m);
  // The box's size for a text `textHeight` pixels high, at most the screen's height.
  static SIZE boxSize(int boxWidth, int textHeight, bool icon, int screenHeight,
                      const MessageBoxMetrics &m);
  static RECT place(SIZE box, SIZE screen);
  static RECT captionRect(SIZE box, const MessageBoxMetrics &m);
  // The middle part between caption and buttons, where icon and text go.
  static RECT bodyRect(SIZE box, const MessageBoxMetrics &m);
  static RECT iconRect(SIZE box, const MessageBoxMetrics &m);
  static std::vector<RECT> buttonRects(SIZE box, int count, const MessageBoxMetrics &m);
};

} // namespace ce
