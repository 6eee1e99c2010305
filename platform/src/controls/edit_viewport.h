// Which part of its laid-out text an edit shows: the first line (multi-line edits) and the
// horizontal offset in pixels. It scrolls only as far as needed to keep the caret in view,
// horizontally by a quarter of the view at a time so that typing does not scroll on every key.
#pragma once

#include <cstddef>

namespace ce {

class EditViewport {
public:
  std::size_t firstLine() const { return firstLine_; }
  int scrollX() const { return scrollX_; }

  // Brings the caret (the left edge of a caret `caretWidth` wide at `x` on `line`) into a view
  // of `viewWidth` pixels and `visibleLines` lines; with `horizontal` false the view stays at
  // the left edge.
  void reveal(std::size_t line, int x, int caretWidth, int viewWidth, std::size_t visibleLines,
              bool horizontal);
  // After the text or the view changed: no empty room scrolled into view beyond the widest line
  // or below the last line.
  void clamp(std::size_t lineCount, std::size_t visibleLines, int textWidth, int caretWidth,
             int viewWidth);
  void reset();

private:
  std::size_t firstLine_ = 0;
  int scrollX_ = 0;
};

} // namespace ce
