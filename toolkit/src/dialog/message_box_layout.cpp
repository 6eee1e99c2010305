#include <toolkit/dialog/message_box_layout.h>

#include <algorithm>

namespace {

// The spare height of the box: 2/3 of its picture.
int spare(const MessageBoxMeasures &measures) { return measures.imageHeight * 2 / 3; }

RECT at(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

} // namespace

int MessageBoxLayout::boxHeight(const MessageBoxMeasures &measures) {
  int height =
      spare(measures) + measures.buttonHeight + measures.titleHeight + measures.textHeight + 10;
  if (measures.hasField)
    height += measures.fieldHeight + 10;
  return height;
}

MessageBoxLayout MessageBoxLayout::place(MessageBoxMeasures measures, const RECT &client,
                                         int viewTop, int lowest) {
  const int clientWidth = client.right - client.left;
  const int clientHeight = client.bottom - client.top;
  lowest = std::clamp<int>(lowest, viewTop, client.bottom);

  // A message longer than the room there is gets cut, never the buttons.
  const int withoutText = boxHeight(measures) - measures.textHeight;
  measures.textHeight = std::max(
      0, std::min(measures.textHeight, static_cast<int>(client.bottom) - viewTop - withoutText));
  const int height = boxHeight(measures);

  MessageBoxLayout layout;
  const int left = client.left + (clientWidth - measures.imageWidth) / 2;
  int top = viewTop + (clientHeight - height - 10) / 2;
  top = std::max(std::min(top, lowest - height), viewTop);
  layout.box = at(left, top, measures.imageWidth, height);

  const int padding = spare(measures);
  const int aboveTitle = padding * 5 / 16;
  const int belowTitle = padding / 8;
  const int belowText = padding / 4 + 10;
  const int textLeft = left + margin(measures.imageWidth);
  const int width = textWidth(measures.imageWidth);

  int y = top + aboveTitle;
  layout.title = at(textLeft, y, width, measures.titleHeight);
  y += measures.titleHeight + belowTitle;
  layout.text = at(textLeft, y, width, measures.textHeight);
  y += measures.textHeight;
  if (measures.hasField) {
    y += belowText / 2 + 5;
    layout.field = at(left + (measures.imageWidth - measures.fieldWidth) / 2, y,
                      measures.fieldWidth, measures.fieldHeight);
    y += measures.fieldHeight + 10 + (belowText - belowText / 2 - 5);
  } else {
    y += belowText;
  }

  layout.buttonCount = std::clamp(measures.buttonCount, 0, 2);
  if (layout.buttonCount == 1) {
    layout.buttons[0] = at(left + (measures.imageWidth - measures.buttonWidth) / 2, y,
                           measures.buttonWidth, measures.buttonHeight);
  } else if (layout.buttonCount == 2) {
    const int gap = std::max(0, (measures.imageWidth - 2 * measures.buttonWidth) / 3);
    layout.buttons[0] = at(left + gap, y, measures.buttonWidth, measures.buttonHeight);
    layout.buttons[1] =
        at(left + 2 * gap + measures.buttonWidth, y, measures.buttonWidth, measures.buttonHeight);
  }
  return layout;
}
