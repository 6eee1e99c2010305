#include "controls/edit_layout.h"

#include <algorithm>

namespace ce {

namespace {

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

} // namespace

EditLayout::EditLayout(std::u16string_view text, bool multiLine, int wrapWidth,
                       const Measure &measure)
    : text_(text) {
  if (!multiLine) {
    addParagraph(0, text_.size(), 0, measure);
    return;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text_.size(); ++i) {
    if (i < text_.size() && text_[i] != u'\r' && text_[i] != u'\n')
      continue;
    addParagraph(start, i, wrapWidth, measure);
    if (i == text_.size())
      break;
    if (text_[i] == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n')
      ++i;
    start = i + 1;
  }
}

void EditLayout::addLine(std::size_t start, std::size_t end, bool wrapped,
                         const std::vector<int> &extents, std::size_t extentsStart) {
  lines_.push_back(Line{start, end, wrapped});
  std::vector<int> own;
  own.reserve(end - start);
  const int base = start > extentsStart ? extents[start - extentsStart - 1] : 0;
  for (std::size_t i = start; i < end; ++i)
    own.push_back(extents[i - extentsStart] - base);
  extents_.push_back(std::move(own));
}

void EditLayout::addParagraph(std::size_t start, std::size_t end, int wrapWidth,
                              const Measure &measure) {
  std::vector<int> extents;
  if (end > start)
    measure(std::u16string_view(text_).substr(start, end - start), extents);
  extents.resize(end - start, extents.empty() ? 0 : extents.back());
  const auto widthOfRun = [&](std::size_t from, std::size_t to) { // units [from, to)
    if (to <= from)
      return 0;
    const int before = from > start ? extents[from - start - 1] : 0;
    return extents[to - start - 1] - before;
  };
  if (wrapWidth <= 0 || widthOfRun(start, end) <= wrapWidth) {
    addLine(start, end, false, extents, start);
    return;
  }
  std::size_t s = start;
  while (s < end) {
    std::size_t e = s;
    while (e < end && widthOfRun(s, e + 1) <= wrapWidth)
      ++e;
    if (e == end) {
      addLine(s, end, false, extents, start);
      return;
    }
    if (text_[e] == u' ') {
      // Spaces at the edge hang beyond it; the next line starts with the next word.
      std::size_t f = e;
      while (f < end && text_[f] == u' ')
        ++f;
      addLine(s, f, f < end, extents, start);
      s = f;
      continue;
    }
    std::size_t space = e;
    while (space > s && text_[space - 1] != u' ')
      --space;
    if (space > s) {
      addLine(s, space, true, extents, start);
      s = space;
      continue;
    }
    // One word wider than the line: break between characters, at least one per line.
    if (e > s && isLowSurrogate(text_[e]))
      --e;
    if (e == s)
      e = std::min(end, s + (s + 1 < end && isLowSurrogate(text_[s + 1]) ? 2 : 1));
    addLine(s, e, e < end, extents, start);
    s = e;
  }
}

std::size_t EditLayout::lineOf(std::size_t position) const {
  const auto after =
      std::upper_bound(lines_.begin(), lines_.end(), position,
                       [](std::size_t p, const Line &line) { return p < line.start; });
  return after == lines_.begin() ? 0 : static_cast<std::size_t>(after - lines_.begin()) - 1;
}

int EditLayout::xOf(std::size_t position) const {
  const std::size_t line = lineOf(position);
  const Line &l = lines_[line];
  if (position <= l.start)
    return 0;
  const std::size_t k = std::min(position, l.end) - l.start;
  return k == 0 ? 0 : extents_[line][k - 1];
}

int EditLayout::widthOf(std::size_t line) const {
  if (line >= lines_.size() || extents_[line].empty())
    return 0;
  return extents_[line].back();
}

int EditLayout::width() const {
  int widest = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i)
    widest = std::max(widest, widthOf(i));
  return widest;
}

std::size_t EditLayout::positionAt(std::size_t line, int x) const {
  if (lines_.empty())
    return 0;
  line = std::min(line, lines_.size() - 1);
  const Line &l = lines_[line];
  const auto &ext = extents_[line];
  for (std::size_t i = 0; i < ext.size(); ++i) {
    const int left = i == 0 ? 0 : ext[i - 1];
    if (x < left + (ext[i] - left + 1) / 2)
      return l.start + i;
  }
  return l.wrapped ? l.end - 1 : l.end;
}

std::size_t EditLayout::lineEnd(std::size_t line) const {
  if (line >= lines_.size())
    return text_.size();
  const Line &l = lines_[line];
  if (!l.wrapped)
    return l.end;
  std::size_t e = l.end;
  while (e > l.start && text_[e - 1] == u' ')
    --e;
  if (e == l.end || e == l.start)
    e = l.end - 1; // the last position that still shows on this line
  return e;
}

} // namespace ce
