// The lines of an edit's text as they are shown: a single-line edit shows one line; a multi-line
// edit breaks at "\r\n", "\n" and "\r" and, given a wrap width, wraps at spaces (a word wider
// than the width breaks between characters, never inside a surrogate pair).
//
// Widths come from a measuring function, so the layout works with any font (and with fixed
// advances in tests): it gives, for a run of text, the advance from the run's start to the end
// of each unit.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

class EditLayout {
public:
  // Fills `extents` with text.size() values: extents[i] is the width of text[0..i].
  using Measure = std::function<void(std::u16string_view text, std::vector<int> &extents)>;

  struct Line {
    std::size_t start = 0; // first unit
    std::size_t end = 0;   // one past the last unit shown (line breaks are not shown)
    bool wrapped = false;  // the line ends where the next one begins, without a break
  };

  // wrapWidth <= 0 wraps nothing.
  EditLayout(std::u16string_view text, bool multiLine, int wrapWidth, const Measure &measure);

  const std::vector<Line> &lines() const { return lines_; }
  std::size_t lineCount() const { return lines_.size(); }
  // The line that shows `position`: at a wrap, the position belongs to the line it begins.
  std::size_t lineOf(std::size_t position) const;
  // The x of `position` on its line, from the line's start.
  int xOf(std::size_t position) const;
  // The width of a line.
  int widthOf(std::size_t line) const;
  // The position on `line` nearest to `x` (the line's end when x lies beyond it; before a
  // wrap, the last position before the next line begins).
  std::size_t positionAt(std::size_t line, int x) const;
  // Where End goes on `line`: its end, or for a wrapped line the end of its last word.
  std::size_t lineEnd(std::size_t line) const;
  // The widest line.
  int width() const;

private:
  // Lays out text_[start, end) (no line breaks inside) as one or more lines.
  void addParagraph(std::size_t start, std::size_t end, int wrapWidth, const Measure &measure);
  void addLine(std::size_t start, std::size_t end, bool wrapped, const std::vector<int> &extents,
               std::size_t extentsStart);

  std::u16string text_;
  std::vector<Line> lines_;
  std::vector<std::vector<int>> extents_; // per line: the width up to the end of each unit
};

} // namespace ce
