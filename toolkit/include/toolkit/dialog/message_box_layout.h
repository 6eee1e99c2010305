// Where the parts of a message box go: the box as wide as its picture, the title on one line, the
// message below it, the text field of an input box, and the buttons at the bottom.
//
// The box is 2/3 of the picture's height, plus the buttons, the title and the message, plus 10
// pixels (and the field and 10 more for an input box). The spare 2/3 of the picture's height is
// spread as margins above the title, between the title and the message, below the message and
// under the buttons. The box is centred across the client width, and placed at the view's top plus
// half of the height left over (less 10). A message too long for the screen is cut so that the
// buttons always show; an input box keeps clear of where the input panel appears.
#pragma once

#include <ce/types.h>

#include <array>

struct MessageBoxMeasures {
  int imageWidth = 0;
  int imageHeight = 0;
  int titleHeight = 0;
  int textHeight = 0;
  int buttonCount = 0; // 0, 1 or 2
  int buttonWidth = 0;
  int buttonHeight = 0;
  bool hasField = false;
  int fieldWidth = 0;
  int fieldHeight = 0;
};

struct MessageBoxLayout {
  RECT box{};
  RECT title{};
  RECT text{};
  RECT field{};
  std::array<RECT, 2> buttons{};
  int buttonCount = 0;

  // The side margins of the texts: 1/50 of the picture's width.
  static int margin(int imageWidth) { return imageWidth / 50; }
  // The width the title and the message are measured in.
  static int textWidth(int imageWidth) { return imageWidth - 2 * margin(imageWidth); }
  // The box's height for these measures.
  static int boxHeight(const MessageBoxMeasures &measures);

  // Places the box in `client` (the main window's client rectangle) below `viewTop`. A box that
  // would reach below `lowest` (the input panel's top for an input box, else the client's bottom)
  // moves up as far as the view's top; a message that still does not fit is cut.
  static MessageBoxLayout place(MessageBoxMeasures measures, const RECT &client, int viewTop,
                                int lowest);
};
