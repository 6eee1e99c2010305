// The edit's text model, its line layout and its scrolling, without a window: what the keys,
// the limit and the lines do to the text and the caret.
#include "../src/controls/edit_layout.h"
#include "../src/controls/edit_text.h"
#include "../src/controls/edit_viewport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ce::EditLayout;
using ce::EditText;
using ce::EditViewport;

// Every unit 10 pixels wide, except the second half of a surrogate pair (the pair is one
// character of 10 pixels).
void tenPixels(std::u16string_view text, std::vector<int> &extents) {
  extents.resize(text.size());
  int x = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] >= 0xDC00 && text[i] <= 0xDFFF))
      x += 10;
    extents[i] = x;
  }
}

EditLayout layOut(std::u16string_view text, bool multiLine = true, int wrap = 0) {
  return EditLayout(text, multiLine, wrap, &tenPixels);
}

std::vector<std::u16string> linesOf(std::u16string_view text, const EditLayout &layout) {
  std::vector<std::u16string> lines;
  for (const auto &line : layout.lines())
    lines.emplace_back(text.substr(line.start, line.end - line.start));
  return lines;
}

const std::u16string kPair = u"\U0001F600"; // one character, two units

TEST(EditText, TypingReplacesTheSelectionAndKeysDeleteWholeCharacters) {
  EditText text(true);
  text.replaceSelection(u"Hello world");
  EXPECT_EQ(text.caret(), 11u);
  text.select(6, 11);
  EXPECT_EQ(text.replaceSelection(u"there"), 5u);
  EXPECT_EQ(text.text(), u"Hello there");
  EXPECT_FALSE(text.hasSelection());

  // Backspace and delete take a line break or a surrogate pair as one character.
  text.setText(u"a\r\nb" + kPair + u"c");
  text.moveCaret(3, false);
  EXPECT_TRUE(text.deleteBackward());
  EXPECT_EQ(text.text(), u"ab" + kPair + u"c");
  EXPECT_EQ(text.caret(), 1u);
  text.moveCaret(2, false);
  EXPECT_TRUE(text.deleteForward());
  EXPECT_EQ(text.text(), u"abc");
  text.moveCaret(0, false);
  EXPECT_FALSE(text.deleteBackward());
  text.moveCaret(3, false);
  EXPECT_FALSE(text.deleteForward());

  // A selection goes whole with either key, whichever way it was made.
  text.select(3, 1);
  EXPECT_EQ(text.selectionStart(), 1u);
  EXPECT_EQ(text.caret(), 1u);
  EXPECT_TRUE(text.deleteForward());
  EXPECT_EQ(text.text(), u"a");
  EXPECT_TRUE(text.modified());
}

TEST(EditText, TheCaretNeverStandsInsideALineBreakOrASurrogatePair) {
  EditText text(true);
  text.setText(u"x\r\n" + kPair);
  EXPECT_EQ(text.nextBoundary(1), 3u);
  EXPECT_EQ(text.nextBoundary(3), 5u);
  EXPECT_EQ(text.previousBoundary(5), 3u);
  EXPECT_EQ(text.previousBoundary(3), 1u);
  text.moveCaret(2, false);
  EXPECT_EQ(text.caret(), 1u);
  text.moveCaret(4, false);
  EXPECT_EQ(text.caret(), 3u);
  text.moveCaret(99, false);
  EXPECT_EQ(text.caret(), 5u);

  // EM_SETSEL: -1 keeps the caret and drops the selection; a negative end is the text's end;
  // positions past the end or inside a pair move back.
  text.select(0, -1);
  EXPECT_EQ(text.selectionStart(), 0u);
  EXPECT_EQ(text.selectionEnd(), 5u);
  text.select(-1, 0);
  EXPECT_FALSE(text.hasSelection());
  EXPECT_EQ(text.caret(), 5u);
  text.select(2, 4);
  EXPECT_EQ(text.anchor(), 1u);
  EXPECT_EQ(text.caret(), 3u);

  // Typing "\r" before "\n" joins them into one break; the caret stays outside it.
  text.setText(u"a\nb");
  text.moveCaret(1, false);
  text.replaceSelection(u"\r");
  EXPECT_EQ(text.text(), u"a\r\nb");
  EXPECT_TRUE(text.isBoundary(text.caret()));
}

TEST(EditText, TheLimitRefusesTypingAndCutsInsertionsAtACharacter) {
  EditText text(false);
  EXPECT_EQ(text.limit(), EditText::kDefaultLimit);
  text.setLimit(5);
  text.replaceSelection(u"abcd");
  EXPECT_TRUE(text.fits(u"e"));
  EXPECT_FALSE(text.fits(u"ef"));
  bool cut = false;
  EXPECT_EQ(text.replaceSelection(u"e" + kPair, &cut), 1u); // half a pair never goes in
  EXPECT_TRUE(cut);
  EXPECT_EQ(text.text(), u"abcde");
  EXPECT_FALSE(text.fits(u"x"));
  // Replacing a selection makes room.
  text.select(0, 2);
  EXPECT_TRUE(text.fits(u"xy"));
  EXPECT_FALSE(text.fits(u"xyz"));

  // A multi-line text does not cut a line break in half.
  EditText lines(true);
  lines.setLimit(3);
  EXPECT_EQ(lines.replaceSelection(u"ab\r\ncd", &cut), 2u);
  EXPECT_EQ(lines.text(), u"ab");

  // The program's own text is not limited; a text already over the limit takes no typing, but
  // deleting works.
  text.setText(u"0123456789");
  EXPECT_EQ(text.size(), 10u);
  EXPECT_FALSE(text.modified());
  text.moveCaret(10, false);
  EXPECT_EQ(text.replaceSelection(u"x"), 0u);
  EXPECT_TRUE(text.deleteBackward());
  EXPECT_EQ(text.text(), u"012345678");

  text.setLimit(0);
  EXPECT_EQ(text.limit(), EditText::kLargestLimit);
}

TEST(EditText, ASingleLineTextTakesInsertionsUpToTheirFirstLineBreak) {
  EditText text(false);
  EXPECT_EQ(text.replaceSelection(u"one\r\ntwo"), 3u);
  EXPECT_EQ(text.text(), u"one");
  EXPECT_EQ(text.replaceSelection(u"\nx"), 0u);
  EXPECT_EQ(text.text(), u"one");
}

TEST(EditLayout, LinesBreakAtEveryKindOfLineBreak) {
  const std::u16string text = u"one\r\ntwo\nthree\r\r\n";
  const auto layout = layOut(text);
  EXPECT_EQ(linesOf(text, layout),
            (std::vector<std::u16string>{u"one", u"two", u"three", u"", u""}));
  EXPECT_EQ(layout.lineOf(3), 0u);
  EXPECT_EQ(layout.lineOf(5), 1u);
  EXPECT_EQ(layout.lineOf(text.size()), 4u);
  EXPECT_EQ(layout.xOf(7), 20);
  EXPECT_EQ(layout.width(), 50);

  // A single-line edit shows everything on one line.
  const auto single = layOut(u"a\r\nb", false);
  EXPECT_EQ(single.lineCount(), 1u);
  EXPECT_EQ(single.lines()[0].end, 4u);

  // An empty text is one empty line.
  const auto empty = layOut(u"");
  ASSERT_EQ(empty.lineCount(), 1u);
  EXPECT_EQ(empty.positionAt(0, 500), 0u);
}

TEST(EditLayout, WrapsAtSpacesAndBreaksWordsWiderThanTheLine) {
  // 60 pixels: six characters per line.
  const std::u16string text = u"ab cd efgh  ij abcdefghijk";
  const auto layout = layOut(text, true, 60);
  EXPECT_EQ(linesOf(text, layout),
            (std::vector<std::u16string>{u"ab cd ", u"efgh  ", u"ij ", u"abcdef", u"ghijk"}));
  for (std::size_t i = 0; i + 1 < layout.lineCount(); ++i)
    EXPECT_TRUE(layout.lines()[i].wrapped) << i;
  EXPECT_FALSE(layout.lines().back().wrapped);

  // Where a wrapped line ends the next begins: the position belongs to the next line.
  EXPECT_EQ(layout.lineOf(6), 1u);
  EXPECT_EQ(layout.xOf(6), 0);
  // End stops after the last word of a wrapped line; positions past a line stay on it.
  EXPECT_EQ(layout.lineEnd(0), 5u);
  EXPECT_EQ(layout.lineEnd(3), 20u);
  EXPECT_EQ(layout.positionAt(0, 1000), 5u);
  EXPECT_EQ(layout.positionAt(4, 1000), text.size());
  // The nearest position to a point: halfway through a character is the position after it.
  EXPECT_EQ(layout.positionAt(1, 14), 7u);
  EXPECT_EQ(layout.positionAt(1, 15), 8u);
  EXPECT_EQ(layout.positionAt(1, -20), 6u);

  // A surrogate pair at the edge moves to the next line whole.
  const std::u16string emoji = u"abcde" + kPair + u"f";
  const auto pairs = layOut(emoji, true, 55);
  ASSERT_GE(pairs.lineCount(), 2u);
  EXPECT_EQ(pairs.lines()[0].end, 5u);
  EXPECT_EQ(pairs.lines()[1].start, 5u);

  // Even a line too narrow for one character shows one per line.
  const auto narrow = layOut(u"abc", true, 3);
  EXPECT_EQ(narrow.lineCount(), 3u);
}

TEST(EditViewport, ScrollsOnlyAsFarAsTheCaretNeeds) {
  EditViewport view;
  // 100 pixels wide: nothing moves while the caret is inside.
  view.reveal(0, 80, 2, 100, 1, true);
  EXPECT_EQ(view.scrollX(), 0);
  // Past the right edge: a quarter of the view beyond the caret.
  view.reveal(0, 120, 2, 100, 1, true);
  EXPECT_EQ(view.scrollX(), 47);
  EXPECT_LE(120 + 2, view.scrollX() + 100);
  // Back past the left edge.
  view.reveal(0, 30, 2, 100, 1, true);
  EXPECT_EQ(view.scrollX(), 5);
  view.reveal(0, 0, 2, 100, 1, true);
  EXPECT_EQ(view.scrollX(), 0);

  // Lines: the caret's line comes into view at the nearest edge.
  view.reveal(7, 0, 2, 100, 3, false);
  EXPECT_EQ(view.firstLine(), 5u);
  view.reveal(6, 0, 2, 100, 3, false);
  EXPECT_EQ(view.firstLine(), 5u);
  view.reveal(2, 0, 2, 100, 3, false);
  EXPECT_EQ(view.firstLine(), 2u);

  // After the text shrank, no empty room stays in view.
  view.reveal(9, 300, 2, 100, 3, true);
  view.clamp(4, 3, 150, 2, 100);
  EXPECT_EQ(view.firstLine(), 1u);
  EXPECT_EQ(view.scrollX(), 52);
  view.clamp(1, 3, 40, 2, 100);
  EXPECT_EQ(view.firstLine(), 0u);
  EXPECT_EQ(view.scrollX(), 0);
}

} // namespace
