// Plays arbitrary bytes as editing operations on an edit's text model (typing, deleting,
// selecting, limits, whole texts with stray line breaks and surrogates) and lays every result
// out, checking that the caret and the lines always stay inside the text and on boundaries.
#include "../src/controls/edit_layout.h"
#include "../src/controls/edit_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr char16_t kAlphabet[] = {u'a', u' ', u'\r', u'\n', 0xD83D, 0xDE00, u'W', u'\t'};

void measure(std::u16string_view text, std::vector<int> &extents) {
  extents.resize(text.size());
  int x = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    extents[i] = x += (text[i] == u'W' ? 13 : 7);
}

void check(bool condition) {
  if (!condition)
    std::abort();
}

void checkLayout(const ce::EditText &text, int wrap) {
  const ce::EditLayout layout(text.text(), text.multiLine(), wrap, &measure);
  check(layout.lineCount() >= 1);
  std::size_t previous = 0;
  for (std::size_t i = 0; i < layout.lineCount(); ++i) {
    const auto &line = layout.lines()[i];
    check(line.start >= previous && line.start <= line.end && line.end <= text.size());
    previous = line.start;
    const std::size_t at = layout.positionAt(i, 1000000);
    check(at >= line.start && at <= line.end);
    check(layout.positionAt(i, -5) == line.start);
    const std::size_t end = layout.lineEnd(i);
    check(end >= line.start && end <= line.end);
    check(layout.widthOf(i) >= 0);
  }
  check(layout.lineOf(text.caret()) < layout.lineCount());
  check(layout.xOf(text.caret()) >= 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  ce::EditText text((data[0] & 1) != 0);
  const int wrap = (data[0] >> 1) * 3;
  std::size_t i = 1;
  const auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  const auto units = [&] {
    std::u16string s;
    for (int n = next() % 12; n > 0; --n)
      s.push_back(kAlphabet[next() % 8]);
    return s;
  };
  while (i < size) {
    switch (next() % 7) {
    case 0:
      text.replaceSelection(units());
      break;
    case 1:
      text.deleteBackward();
      break;
    case 2:
      text.deleteForward();
      break;
    case 3:
      text.select(static_cast<std::int8_t>(next()), static_cast<std::int8_t>(next()));
      break;
    case 4:
      text.moveCaret(next(), (next() & 1) != 0);
      break;
    case 5:
      text.setLimit(next());
      break;
    default:
      text.setText(units());
      break;
    }
    check(text.caret() <= text.size() && text.anchor() <= text.size());
    check(text.isBoundary(text.caret()) && text.isBoundary(text.anchor()));
    checkLayout(text, wrap);
  }
  return 0;
}
