#include "controls/edit_text.h"

#include <algorithm>

namespace ce {

namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// A unit pair that must not be split: "\r\n" or a surrogate pair.
bool joined(char16_t first, char16_t second) {
  return (first == u'\r' && second == u'\n') || (isHighSurrogate(first) && isLowSurrogate(second));
}

} // namespace

EditText::EditText(bool multiLine) : multiLine_(multiLine) {}

void EditText::setLimit(std::size_t limit) { limit_ = limit == 0 ? kLargestLimit : limit; }

void EditText::setText(std::u16string_view text) {
  text_.assign(text);
  caret_ = anchor_ = 0;
  modified_ = false;
}

bool EditText::isBoundary(std::size_t position) const {
  if (position == 0 || position >= text_.size())
    return position <= text_.size();
  return !joined(text_[position - 1], text_[position]);
}

std::size_t EditText::clampToBoundary(std::size_t position) const {
  position = std::min(position, text_.size());
  while (!isBoundary(position))
    --position;
  return position;
}

std::size_t EditText::previousBoundary(std::size_t position) const {
  position = clampToBoundary(position);
  if (position == 0)
    return 0;
  --position;
  while (!isBoundary(position))
    --position;
  return position;
}

std::size_t EditText::nextBoundary(std::size_t position) const {
  position = clampToBoundary(position);
  if (position >= text_.size())
    return text_.size();
  ++position;
  while (!isBoundary(position))
    ++position;
  return position;
}

std::u16string_view EditText::cutToRoom(std::u16string_view text, std::size_t room) {
  if (text.size() <= room)
    return text;
  std::size_t n = room;
  while (n > 0 && joined(text[n - 1], text[n]))
    --n;
  return text.substr(0, n);
}

bool EditText::fits(std::u16string_view text) const {
  const std::size_t kept = text_.size() - (selectionEnd() - selectionStart());
  return kept <= limit_ && text.size() <= limit_ - kept;
}

std::size_t EditText::replaceSelection(std::u16string_view text, bool *cut) {
  if (!multiLine_) {
    const auto lineEnd = std::find_if(text.begin(), text.end(), isLineBreak);
    text = text.substr(0, static_cast<std::size_t>(lineEnd - text.begin()));
  }
  const std::size_t start = selectionStart();
  const std::size_t end = selectionEnd();
  const std::size_t kept = text_.size() - (end - start);
  const std::size_t room = kept >= limit_ ? 0 : limit_ - kept;
  const std::u16string_view inserted = cutToRoom(text, room);
  if (cut)
    *cut = inserted.size() < text.size();
  if (inserted.empty() && start == end)
    return 0;
  text_.replace(start, end - start, inserted);
  caret_ = anchor_ = start + inserted.size();
  // An insertion may join what was apart (a "\r" typed before "\n"): the caret stays at a
  // boundary.
  caret_ = anchor_ = clampToBoundary(caret_);
  modified_ = true;
  return inserted.size();
}

bool EditText::deleteBackward() {
  if (!hasSelection()) {
    if (caret_ == 0)
      return false;
    anchor_ = previousBoundary(caret_);
  }
  replaceSelection(u"");
  return true;
}

bool EditText::deleteForward() {
  if (!hasSelection()) {
    if (caret_ >= text_.size())
      return false;
    anchor_ = nextBoundary(caret_);
  }
  replaceSelection(u"");
  return true;
}

void EditText::select(long long start, long long end) {
  if (start == -1) {
    anchor_ = caret_;
    return;
  }
  const auto toPosition = [this](long long value) {
    return value < 0 ? text_.size() : clampToBoundary(static_cast<std::size_t>(value));
  };
  anchor_ = toPosition(start);
  caret_ = toPosition(end);
}

void EditText::moveCaret(std::size_t position, bool extend) {
  caret_ = clampToBoundary(position);
  if (!extend)
    anchor_ = caret_;
}

} // namespace ce
