// Fonts, text colours and modes, metrics, DrawTextW and ExtTextOutW.
#include "fonts/font_library.h"
#include "fonts/text_layout.h"
#include "fonts/text_renderer.h"
#include "gdi/blitter.h"
#include "gdi/gdi_lookup.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/gdi.h>

#include <algorithm>
#include <cstring>

using namespace ce;

namespace {

// The DC's realised face; null with an error when there is none.
std::shared_ptr<FontFace> faceOf(DeviceContext& dc) {
  auto face = dc.font ? dc.font->face() : nullptr;
  if (!face) SetLastError(ERROR_NOT_SUPPORTED); // no font at all can be opened on this host
  return face;
}

TextLayout::Advance advanceOf(FontFace& face) {
  return [&face](char32_t c) { return face.advance(c); };
}

// Text and length from the caller; false (ERROR_INVALID_PARAMETER) for a null text with a
// length or a negative length other than -1 where -1 is allowed.
bool textArgument(LPCWSTR text, int count, bool terminatedAllowed, std::u16string_view* out) {
  if (count == -1 && terminatedAllowed) {
    *out = text ? std::u16string_view(text, wideLength(text)) : std::u16string_view();
    return true;
  }
  if (count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *out = std::u16string_view(text ? text : u"", static_cast<std::size_t>(count));
  return true;
}

RECT toDevice(const DeviceContext& dc, const RECT& r) {
  return RECT{clampCoordinate(static_cast<long long>(r.left) + dc.origin.x),
              clampCoordinate(static_cast<long long>(r.top) + dc.origin.y),
              clampCoordinate(static_cast<long long>(r.right) + dc.origin.x),
              clampCoordinate(static_cast<long long>(r.bottom) + dc.origin.y)};
}

} // namespace

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiLock lock(GdiObjectTable::instance().mutex());
  return static_cast<HFONT>(GdiObjectTable::instance().add(std::make_shared<Font>(*font)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outputPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
  LOGFONTW f{};
  f.lfHeight = height;
  f.lfWidth = width;
  f.lfEscapement = escapement;
  f.lfOrientation = orientation;
  f.lfWeight = weight;
  f.lfItalic = static_cast<BYTE>(italic);
  f.lfUnderline = static_cast<BYTE>(underline);
  f.lfStrikeOut = static_cast<BYTE>(strikeOut);
  f.lfCharSet = static_cast<BYTE>(charSet);
  f.lfOutPrecision = static_cast<BYTE>(outputPrecision);
  f.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  f.lfQuality = static_cast<BYTE>(quality);
  f.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName)
    for (int i = 0; i < LF_FACESIZE - 1 && faceName[i]; ++i) f.lfFaceName[i] = faceName[i];
  return CreateFontIndirectW(&f);
}

int AddFontResourceW(LPCWSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  GdiLock lock(GdiObjectTable::instance().mutex());
  const int added = FontLibrary::instance().addResource(fileName);
  if (added == 0) SetLastError(ERROR_FILE_NOT_FOUND);
  return added;
}

BOOL RemoveFontResourceW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (!FontLibrary::instance().removeResource(fileName)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

int GetTextFaceW(HDC handle, int count, LPWSTR faceName) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return 0;
  auto face = faceOf(*dc);
  if (!face) return 0;
  const std::u16string family = face->family();
  if (!faceName) return static_cast<int>(family.size()) + 1;
  if (count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t n = std::min(family.size(), static_cast<std::size_t>(count - 1));
  std::memcpy(faceName, family.data(), n * sizeof(char16_t));
  faceName[n] = 0;
  return static_cast<int>(n) + 1;
}

COLORREF SetTextColor(HDC handle, COLORREF color) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->textColor;
  dc->textColor = color & 0xFFFFFF;
  return previous;
}

COLORREF GetTextColor(HDC handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  return dc ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC handle, COLORREF color) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->bkColor;
  dc->bkColor = color & 0xFFFFFF;
  return previous;
}

COLORREF GetBkColor(HDC handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  return dc ? dc->bkColor : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

int GetBkMode(HDC handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  return dc ? dc->bkMode : 0;
}

UINT SetTextAlign(HDC handle, UINT align) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return GDI_ERROR;
  const UINT previous = dc->textAlign;
  dc->textAlign = align & (TA_UPDATECP | TA_CENTER | TA_BASELINE);
  return previous;
}

UINT GetTextAlign(HDC handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  return dc ? dc->textAlign : GDI_ERROR;
}

BOOL GetTextMetricsW(HDC handle, LPTEXTMETRICW metrics) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return FALSE;
  if (!metrics) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto face = faceOf(*dc);
  if (!face) return FALSE;
  *metrics = face->metrics();
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC handle, LPCWSTR text, int count, LPSIZE size) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return FALSE;
  std::u16string_view view;
  if (!size || !textArgument(text, count, false, &view)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto face = faceOf(*dc);
  if (!face) return FALSE;
  const TextLine line = TextLayout::run(view, advanceOf(*face));
  size->cx = line.width;
  size->cy = face->metrics().tmHeight;
  return TRUE;
}

BOOL GetTextExtentExPointW(HDC handle, LPCWSTR text, int count, int maxExtent, int* fit,
                           int* extents, LPSIZE size) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return FALSE;
  std::u16string_view view;
  if (!textArgument(text, count, false, &view)) return FALSE;
  auto face = faceOf(*dc);
  if (!face) return FALSE;
  const TextLine line = TextLayout::run(view, advanceOf(*face));
  int fitting = 0;
  std::size_t unit = 0;
  bool stillFits = true;
  for (const auto& c : line.chars) {
    const int end = c.x + c.advance;
    stillFits = stillFits && end <= maxExtent;
    for (int k = 0; k < c.units; ++k, ++unit) {
      if (extents) extents[unit] = end;
      if (stillFits) ++fitting;
    }
  }
  if (fit) *fit = fitting;
  if (size) {
    size->cx = line.width;
    size->cy = face->metrics().tmHeight;
  }
  return TRUE;
}

int DrawTextW(HDC handle, LPCWSTR text, int count, LPRECT rect, UINT format) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return 0;
  std::u16string_view view;
  if (!rect || !textArgument(text, count, true, &view)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto face = faceOf(*dc);
  if (!face) return 0;
  const TEXTMETRICW& tm = face->metrics();

  TextLayout::Box box;
  int tabChars = 8;
  if (format & DT_TABSTOP) { // bits 8-15 then hold the tab stop in characters
    tabChars = static_cast<int>((format >> 8) & 0xFF);
    format &= ~0xFF00u;
    if (tabChars == 0) tabChars = 8;
  }
  box.format = format;
  box.width = static_cast<int>(std::clamp<long long>(static_cast<long long>(rect->right) - rect->left,
                                                     -TextLayout::kMaxPosition, TextLayout::kMaxPosition));
  box.height = static_cast<int>(std::clamp<long long>(static_cast<long long>(rect->bottom) - rect->top,
                                                      -TextLayout::kMaxPosition, TextLayout::kMaxPosition));
  box.lineHeight = std::max<int>(1, tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0));
  box.tabWidth = std::max<int>(1, tabChars * tm.tmAveCharWidth);
  const std::vector<TextLine> lines = TextLayout::lines(view, box, advanceOf(*face));
  const bool single = (format & DT_SINGLELINE) != 0;
  const int count_ = static_cast<int>(std::min<std::size_t>(lines.size(), TextLayout::kMaxPosition / box.lineHeight));
  const int total = count_ * box.lineHeight;
  int widest = 0;
  for (const auto& l : lines) widest = std::max(widest, l.width);

  if (format & DT_CALCRECT) {
    rect->right = clampCoordinate(static_cast<long long>(rect->left) + widest);
    rect->bottom = clampCoordinate(static_cast<long long>(rect->top) + total);
    return total;
  }

  // Lines are placed in logical coordinates, then moved to the target's.
  long long top = rect->top;
  if (single && (format & DT_VCENTER)) top = rect->top + (box.height - total) / 2;
  else if (single && (format & DT_BOTTOM)) top = static_cast<long long>(rect->bottom) - total;
  const RECT deviceRect = toDevice(*dc, *rect);
  Blitter blitter(dc->pixels(), dc->deviceClip());
  if (!(format & DT_NOCLIP)) blitter.restrictTo(deviceRect);
  TextRenderer renderer(*face, blitter, argbFromColorRef(dc->textColor));
  const int deviceLeft = deviceRect.left;
  int y = clampCoordinate(top + dc->origin.y);
  for (int i = 0; i < count_; ++i) {
    const TextLine& line = lines[static_cast<std::size_t>(i)];
    int x = deviceLeft;
    if (format & DT_CENTER) x = deviceLeft + (box.width - line.width) / 2;
    else if (format & DT_RIGHT) x = deviceRect.right - line.width;
    if (dc->bkMode == OPAQUE && line.width > 0)
      blitter.fill(RECT{x, y, x + line.width, y + box.lineHeight}, argbFromColorRef(dc->bkColor));
    renderer.draw(line, x, y + tm.tmAscent);
    y += box.lineHeight;
  }
  if (single && (format & (DT_VCENTER | DT_BOTTOM)))
    return static_cast<int>(std::clamp<long long>(top + total - rect->top, 0, TextLayout::kMaxPosition));
  return total;
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* advances) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return FALSE;
  if (count > static_cast<UINT>(TextLayout::kMaxPosition) || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto face = faceOf(*dc);
  if (!face) return FALSE;
  const TEXTMETRICW& tm = face->metrics();
  Blitter blitter(dc->pixels(), dc->deviceClip());
  if (rect && (options & ETO_OPAQUE))
    blitter.fill(toDevice(*dc, *rect), argbFromColorRef(dc->bkColor));
  if (rect && (options & ETO_CLIPPED)) blitter.restrictTo(toDevice(*dc, *rect));
  if (count == 0) return TRUE;

  const TextLine line =
      TextLayout::run(std::u16string_view(text, count), advanceOf(*face), advances);
  long long left = static_cast<long long>(x) + dc->origin.x;
  if ((dc->textAlign & TA_CENTER) == TA_CENTER) left -= line.width / 2;
  else if (dc->textAlign & TA_RIGHT) left -= line.width;
  long long baseline = static_cast<long long>(y) + dc->origin.y;
  if ((dc->textAlign & TA_BASELINE) == TA_BASELINE) {
  } else if (dc->textAlign & TA_BOTTOM) {
    baseline -= tm.tmDescent;
  } else {
    baseline += tm.tmAscent;
  }
  const int lx = clampCoordinate(left), base = clampCoordinate(baseline);
  if (dc->bkMode == OPAQUE && !(rect && (options & ETO_OPAQUE)) && line.width > 0)
    blitter.fill(RECT{lx, base - tm.tmAscent, lx + line.width, base + tm.tmDescent},
                 argbFromColorRef(dc->bkColor));
  TextRenderer(*face, blitter, argbFromColorRef(dc->textColor)).draw(line, lx, base);
  return TRUE;
}
