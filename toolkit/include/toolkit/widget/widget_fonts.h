// The four fonts every widget writes with, made once per process from the screen's font:
// "Tahoma", large 10 points, normal 9, italic 9 and small 7, with a character height of
// -(points x vertical dots per inch / 72), truncated.
//
// Thread-safe: icon tiles and their labels may be made on the item loader thread.
#pragma once

#include <ce/windows.h>

#include <string_view>

enum class FontChoice : int { Normal = 0, Large = 1, Italic = 2, Small = 3 };

class WidgetFonts {
public:
  static constexpr int LargePoints = 10;
  static constexpr int NormalPoints = 9;
  static constexpr int ItalicPoints = 9;
  static constexpr int SmallPoints = 7;
  static constexpr const char16_t *DefaultFace = u"Tahoma";

  // The font, made (with the other three) on first need; null when the platform refuses it.
  static HFONT font(FontChoice choice);

  // The character height for a size in points at a vertical density.
  static LONG heightFor(int points, int dotsPerInch) { return -(points * dotsPerInch / 72); }

  // The font a `which` value of the font-change operation replaces: 1 large, 2 italic, 3 small,
  // anything else normal.
  static FontChoice choiceFor(int which);

  // Replaces one font by the face (cut to 31 characters) at `points`, keeping the others. When the
  // face cannot be made "Tahoma" is tried; when that fails too nothing changes (false).
  static bool changeFont(std::u16string_view face, int points, int which);

  // The face a font was made with.
  static std::u16string faceOf(FontChoice choice);

  // Deletes the four fonts (toolkit shutdown); the next use makes them again.
  static void release();
};
