#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/widget/widget_fonts.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <string>

namespace {

// The attributes every widget font shares, beyond the screen font's.
constexpr BYTE FontCharacterSet = 1; // default character set
constexpr BYTE FontOutputPrecision = 6;
constexpr BYTE FontQuality = 5;
constexpr BYTE FontPitchAndFamily = 0x12;

struct FontSet {
  std::array<HFONT, 4> fonts{};
  std::array<std::u16string, 4> faces;
  bool made = false;
  bool shutdownStepAdded = false;
};

std::mutex fontsMutex;
FontSet fontSet;

std::size_t slotOf(FontChoice choice) { return static_cast<std::size_t>(choice); }

// The screen's font and vertical density, from a context compatible with the screen.
LOGFONTW screenTemplate(int &dotsPerInch) {
  LOGFONTW font{};
  HDC dc = CreateCompatibleDC(nullptr);
  dotsPerInch = 96;
  if (dc) {
    if (const int density = GetDeviceCaps(dc, LOGPIXELSY); density > 0)
      dotsPerInch = density;
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
    DeleteDC(dc);
  }
  return font;
}

HFONT makeFont(std::u16string_view face, int points, bool italic) {
  int dotsPerInch = 96;
  LOGFONTW font = screenTemplate(dotsPerInch);
  const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
  std::memcpy(font.lfFaceName, face.data(), length * sizeof(char16_t));
  font.lfHeight = WidgetFonts::heightFor(points, dotsPerInch);
  font.lfWidth = 0;
  font.lfItalic = italic ? 1 : 0;
  font.lfCharSet = FontCharacterSet;
  font.lfOutPrecision = FontOutputPrecision;
  font.lfQuality = FontQuality;
  font.lfPitchAndFamily = FontPitchAndFamily;
  return CreateFontIndirectW(&font);
}

void makeAllLocked() {
  if (fontSet.made)
    return;
  fontSet.made = true;
  const struct {
    FontChoice choice;
    int points;
    bool italic;
  } table[] = {{FontChoice::Large, WidgetFonts::LargePoints, false},
               {FontChoice::Normal, WidgetFonts::NormalPoints, false},
               {FontChoice::Italic, WidgetFonts::ItalicPoints, true},
               {FontChoice::Small, WidgetFonts::SmallPoints, false}};
  for (const auto &entry : table) {
    fontSet.fonts[slotOf(entry.choice)] =
        makeFont(WidgetFonts::DefaultFace, entry.points, entry.italic);
    fontSet.faces[slotOf(entry.choice)] = WidgetFonts::DefaultFace;
  }
  if (!fontSet.shutdownStepAdded) {
    fontSet.shutdownStepAdded = true;
    ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &WidgetFonts::release);
  }
}

} // namespace

HFONT WidgetFonts::font(FontChoice choice) {
  std::lock_guard guard(fontsMutex);
  makeAllLocked();
  return fontSet.fonts[slotOf(choice)];
}

FontChoice WidgetFonts::choiceFor(int which) {
  switch (which) {
  case 1:
    return FontChoice::Large;
  case 2:
    return FontChoice::Italic;
  case 3:
    return FontChoice::Small;
  default:
    return FontChoice::Normal;
  }
}

bool WidgetFonts::changeFont(std::u16string_view face, int points, int which) {
  const FontChoice choice = choiceFor(which);
  const bool italic = choice == FontChoice::Italic;
  std::u16string used(face.substr(0, LF_FACESIZE - 1));
  HFONT made = used.empty() ? nullptr : makeFont(used, points, italic);
  if (!made) {
    used = DefaultFace;
    made = makeFont(used, points, italic);
  }
  if (!made)
    return false;
  std::lock_guard guard(fontsMutex);
  makeAllLocked();
  HFONT &slot = fontSet.fonts[slotOf(choice)];
  if (slot)
    DeleteObject(slot);
  slot = made;
  fontSet.faces[slotOf(choice)] = used;
  return true;
}

std::u16string WidgetFonts::faceOf(FontChoice choice) {
  std::lock_guard guard(fontsMutex);
  makeAllLocked();
  return fontSet.faces[slotOf(choice)];
}

void WidgetFonts::release() {
  std::lock_guard guard(fontsMutex);
  for (HFONT &font : fontSet.fonts) {
    if (font)
      DeleteObject(font);
    font = nullptr;
  }
  fontSet.made = false;
  fontSet.shutdownStepAdded = false;
}
