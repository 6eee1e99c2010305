#include "fonts/text_layout.h"

#include <ce/gdi.h>

#include <algorithm>

namespace ce {

namespace {

struct Unit {
  char32_t codePoint;
  int units;
  bool underline;
};

// Decodes one character at text[i]; a lone surrogate becomes U+FFFD.
char32_t decodeAt(std::u16string_view text, std::size_t i, int* units) {
  const char16_t c = text[i];
  *units = 1;
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
      text[i + 1] <= 0xDFFF) {
    *units = 2;
    return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
  }
  if (c >= 0xD800 && c <= 0xDFFF) return 0xFFFD;
  return c;
}

bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

int clampPosition(long long v) { return static_cast<int>(std::min<long long>(v, TextLayout::kMaxPosition)); }

// Splits into paragraphs, resolving prefix characters.
std::vector<std::vector<Unit>> paragraphs(std::u16string_view text, UINT format) {
  std::vector<std::vector<Unit>> result(1);
  const bool prefixes = !(format & DT_NOPREFIX);
  const bool showUnderline = !(format & DT_HIDEPREFIX);
  const bool single = (format & DT_SINGLELINE) != 0;
  bool underlineNext = false;
  for (std::size_t i = 0; i < text.size();) {
    int units = 1;
    const char32_t c = decodeAt(text, i, &units);
    if (prefixes && c == U'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        result.back().push_back(Unit{U'&', 2, underlineNext && showUnderline});
        underlineNext = false;
        i += 2;
        continue;
      }
      underlineNext = true; // a lone '&' at the end marks nothing and is dropped
      ++i;
      continue;
    }
    if (c == U'\r' || c == U'\n') {
      if (!single) {
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        result.emplace_back();
      }
      underlineNext = false;
      ++i;
      continue;
    }
    result.back().push_back(Unit{c, units, underlineNext && showUnderline});
    underlineNext = false;
    i += static_cast<std::size_t>(units);
  }
  return result;
}

TextLine place(const std::vector<Unit>& units, std::size_t from, std::size_t to,
               const TextLayout::Box& box, const TextLayout::Advance& advance) {
  TextLine line;
  const bool expandTabs = (box.format & DT_EXPANDTABS) != 0;
  const bool visible = !(box.format & DT_PREFIXONLY);
  long long x = 0;
  for (std::size_t i = from; i < to; ++i) {
    const Unit& u = units[i];
    int a = 0;
    if (u.codePoint == U'\t' && expandTabs)
      a = box.tabWidth > 0 ? box.tabWidth - static_cast<int>(x % box.tabWidth) : 0;
    else
      a = std::max(0, advance(u.codePoint));
    line.chars.push_back(PlacedChar{u.codePoint, clampPosition(x), a, u.units, u.underline, visible});
    x = clampPosition(x + a);
  }
  line.width = clampPosition(x);
  return line;
}

// Drops trailing spaces from a wrapped line's width and characters.
void trimTrailingSpaces(TextLine& line) {
  while (!line.chars.empty() && isSpace(line.chars.back().codePoint)) line.chars.pop_back();
  line.width = line.chars.empty() ? 0 : line.chars.back().x + line.chars.back().advance;
}

void ellipsize(TextLine& line, int width, const TextLayout::Advance& advance) {
  const int dot = std::max(0, advance(U'.'));
  const int room = width - 3 * dot;
  std::size_t keep = 0;
  while (keep < line.chars.size() && line.chars[keep].x + line.chars[keep].advance <= room) ++keep;
  line.chars.resize(keep);
  trimTrailingSpaces(line);
  int x = line.width;
  for (int i = 0; i < 3; ++i) {
    line.chars.push_back(PlacedChar{U'.', x, dot, 0, false, true});
    x += dot;
  }
  line.width = x;
}

} // namespace

std::vector<TextLine> TextLayout::lines(std::u16string_view text, const Box& box,
                                        const Advance& advance) {
  const UINT format = box.format;
  const bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
  std::vector<TextLine> result;
  for (const auto& units : paragraphs(text, format)) {
    if (!wrap) {
      result.push_back(place(units, 0, units.size(), box, advance));
      continue;
    }
    std::size_t start = 0;
    do {
      // Grow the line until a character that is not a space would cross the right edge, then
      // break at the last space run before it (a single word that is too wide stays whole).
      std::size_t breakAt = 0; // index of the first space of the last space run, 0 when none
      std::size_t end = units.size();
      long long x = 0;
      const bool expandTabs = (format & DT_EXPANDTABS) != 0;
      for (std::size_t i = start; i < units.size(); ++i) {
        const char32_t c = units[i].codePoint;
        int a = 0;
        if (c == U'\t' && expandTabs)
          a = box.tabWidth > 0 ? box.tabWidth - static_cast<int>(x % box.tabWidth) : 0;
        else
          a = std::max(0, advance(c));
        if (isSpace(c)) {
          if (i > start && !isSpace(units[i - 1].codePoint)) breakAt = i;
        } else if (x + a > box.width && breakAt > start) {
          end = breakAt;
          break;
        }
        x = clampPosition(x + a);
      }
      TextLine line = place(units, start, end, box, advance);
      if (end < units.size()) trimTrailingSpaces(line);
      result.push_back(std::move(line));
      start = end;
      if (start < units.size()) {
        while (start < units.size() && isSpace(units[start].codePoint)) ++start;
        if (start == units.size()) break; // only spaces were left: they hang off the last line
      }
    } while (start < units.size());
  }

  if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
    bool forceLast = false;
    if (wrap && !(format & DT_CALCRECT) && box.lineHeight > 0) {
      const std::size_t fit = static_cast<std::size_t>(std::max(1, box.height / box.lineHeight));
      if (result.size() > fit) {
        result.resize(fit);
        forceLast = true;
      }
    }
    for (std::size_t i = 0; i < result.size(); ++i)
      if (result[i].width > box.width || (forceLast && i + 1 == result.size()))
        ellipsize(result[i], box.width, advance);
  }
  return result;
}

TextLine TextLayout::run(std::u16string_view text, const Advance& advance, const int* advances) {
  TextLine line;
  long long x = 0;
  for (std::size_t i = 0; i < text.size();) {
    int units = 1;
    const char32_t c = decodeAt(text, i, &units);
    int a = advances ? advances[i] : advance(c);
    a = std::clamp(a, -kMaxPosition, kMaxPosition);
    line.chars.push_back(PlacedChar{c, clampPosition(x), a, units, false, true});
    x = std::max<long long>(-kMaxPosition, clampPosition(x + a));
    i += static_cast<std::size_t>(units);
  }
  line.width = clampPosition(std::max<long long>(0, x));
  return line;
}

} // namespace ce
