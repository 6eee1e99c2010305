// The text of an edit window with its caret, selection and limit, apart from any drawing.
//
// Positions are UTF-16 unit offsets. A position is a boundary unless it lies inside "\r\n" or
// inside a surrogate pair; the caret and both selection ends are always boundaries, and
// deleting one character deletes a whole "\r\n" or surrogate pair.
//
// The limit applies to what the user types and to replaceSelection; setText ignores it (a text
// longer than the limit stays whole; typing into it is refused until it is shorter).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ce {

class EditText {
public:
  static constexpr std::size_t kDefaultLimit = 30000;
  // The limit that EM_LIMITTEXT with 0 sets.
  static constexpr std::size_t kLargestLimit = 0x7FFFFFFE;

  explicit EditText(bool multiLine);

  bool multiLine() const { return multiLine_; }
  const std::u16string &text() const { return text_; }
  std::size_t size() const { return text_.size(); }

  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  std::size_t selectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
  std::size_t selectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
  bool hasSelection() const { return caret_ != anchor_; }

  std::size_t limit() const { return limit_; }
  // 0 sets kLargestLimit.
  void setLimit(std::size_t limit);

  // Set by every change of the text, cleared by setText and setModified(false).
  bool modified() const { return modified_; }
  void setModified(bool modified) { modified_ = modified; }

  // Replaces the whole text; the caret goes to its start, without selection.
  void setText(std::u16string_view text);

  // Replaces the selection (or inserts at the caret) with `text`, cut to what the limit leaves
  // room for (never inside "\r\n" or a surrogate pair); a single-line text takes `text` up to
  // its first line break. The caret ends after the insertion. Returns the units inserted, and
  // sets *cut when the limit cut something off.
  std::size_t replaceSelection(std::u16string_view text, bool *cut = nullptr);
  // Whether typing `text` would fit within the limit once the selection is replaced.
  bool fits(std::u16string_view text) const;
  // The selection, or else the character before the caret (backspace) or after it (delete).
  // Returns whether anything was deleted.
  bool deleteBackward();
  bool deleteForward();

  // EM_SETSEL: start -1 removes the selection, keeping the caret; otherwise the anchor goes to
  // `start` and the caret to `end`, a negative value meaning the end of the text, each clamped
  // to the text and moved back to a boundary.
  void select(long long start, long long end);
  // Moves the caret to `position` (clamped, moved back to a boundary); with `extend` the anchor
  // stays, otherwise it follows.
  void moveCaret(std::size_t position, bool extend);

  bool isBoundary(std::size_t position) const;
  // The boundary before / after `position` (0 and size() at the ends).
  std::size_t previousBoundary(std::size_t position) const;
  std::size_t nextBoundary(std::size_t position) const;

private:
  std::size_t clampToBoundary(std::size_t position) const;
  // `text` cut to at most `room` units at a boundary of its own.
  static std::u16string_view cutToRoom(std::u16string_view text, std::size_t room);

  bool multiLine_;
  std::u16string text_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  std::size_t limit_ = kDefaultLimit;
  bool modified_ = false;
};

} // namespace ce
