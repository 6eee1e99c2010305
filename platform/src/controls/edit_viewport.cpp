#include "controls/edit_viewport.h"

#include <algorithm>

namespace ce {

void EditViewport::reveal(std::size_t line, int x, int caretWidth, int viewWidth,
                          std::size_t visibleLines, bool horizontal) {
  visibleLines = std::max<std::size_t>(visibleLines, 1);
  if (line < firstLine_)
    firstLine_ = line;
  else if (line >= firstLine_ + visibleLines)
    firstLine_ = line - visibleLines + 1;
  if (!horizontal) {
    scrollX_ = 0;
    return;
  }
  viewWidth = std::max(viewWidth, caretWidth + 1);
  const int step = std::max(viewWidth / 4, 1);
  if (x < scrollX_)
    scrollX_ = std::max(0, x - step);
  else if (x + caretWidth > scrollX_ + viewWidth)
    scrollX_ = std::max(0, x + caretWidth - viewWidth + step);
}

void EditViewport::clamp(std::size_t lineCount, std::size_t visibleLines, int textWidth,
                         int caretWidth, int viewWidth) {
  visibleLines = std::max<std::size_t>(visibleLines, 1);
  const std::size_t lastFirst = lineCount > visibleLines ? lineCount - visibleLines : 0;
  firstLine_ = std::min(firstLine_, lastFirst);
  scrollX_ = std::clamp(scrollX_, 0, std::max(0, textWidth + caretWidth - viewWidth));
}

void EditViewport::reset() {
  firstLine_ = 0;
  scrollX_ = 0;
}

} // namespace ce
