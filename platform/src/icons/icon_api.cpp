// The icon functions of the platform API.
#include "icons/icon_extractor.h"
#include "icons/icon_table.h"

#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/icons.h>

#include <cstring>
#include <new>

namespace {

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// A bitmap's pixels as 32-bit B,G,R,A, top-down.
bool readPixels(HBITMAP bitmap, LONG &width, LONG &height, WORD &bitsPixel,
                std::vector<ARGB> &pixels) {
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info))
    return false;
  width = info.bmWidth;
  height = info.bmHeight;
  bitsPixel = info.bmBitsPixel;
  if (width <= 0 || height <= 0 || width > LONG(ce::IconImage::kMaxSide) ||
      height > 2 * LONG(ce::IconImage::kMaxSide))
    return false;
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = width;
  request.bmiHeader.biHeight = -height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  pixels.assign(std::size_t(width) * std::size_t(height), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  const int rows = GetDIBits(dc, bitmap, 0, UINT(height), pixels.data(), &request, DIB_RGB_COLORS);
  DeleteDC(dc);
  return rows == height;
}

HICON publish(ce::IconImage image) {
  auto icon = ce::Icon::create(std::move(image));
  if (!icon) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return ce::IconTable::instance().add(std::move(icon));
}

} // namespace

HICON CreateIconIndirect(PICONINFO iconInfo) {
  if (!iconInfo || !iconInfo->hbmMask) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LONG mw = 0, mh = 0;
  WORD maskBits = 0;
  std::vector<ARGB> mask;
  if (!readPixels(iconInfo->hbmMask, mw, mh, maskBits, mask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ce::IconImage image;
  image.width = UINT(mw);
  if (iconInfo->hbmColor) {
    LONG cw = 0, ch = 0;
    WORD colourBits = 0;
    if (!readPixels(iconInfo->hbmColor, cw, ch, colourBits, image.pixels) || cw != mw || ch != mh ||
        ch > LONG(ce::IconImage::kMaxSide)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    image.height = UINT(ch);
    // A 32-bit colour bitmap with any alpha carries its own transparency.
    if (colourBits == 32)
      for (ARGB p : image.pixels)
        if (p >> 24) {
          image.hasAlpha = true;
          break;
        }
  } else {
    // A monochrome icon: the mask's upper half is the AND mask, the lower half the XOR image.
    if (mh % 2) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    image.height = UINT(mh / 2);
    image.pixels.assign(mask.begin() + std::ptrdiff_t(image.width * image.height), mask.end());
  }
  image.mask.resize(std::size_t(image.width) * image.height);
  for (std::size_t i = 0; i < image.mask.size(); ++i) {
    image.mask[i] = (mask[i] & 0x00FFFFFFu) != 0;
    if (!image.hasAlpha)
      image.pixels[i] =
          image.mask[i] ? image.pixels[i] & 0x00FFFFFFu : image.pixels[i] | 0xFF000000u;
  }
  return publish(std::move(image));
}

BOOL GetIconInfo(HICON icon, PICONINFO iconInfo) {
  if (!iconInfo)
    return fail(ERROR_INVALID_PARAMETER);
  auto found = ce::IconTable::instance().get(icon);
  if (!found)
    return fail(ERROR_INVALID_HANDLE);
  HBITMAP mask = found->newMaskBitmap();
  HBITMAP colour = found->newColourBitmap();
  if (!mask || !colour) {
    if (mask)
      DeleteObject(mask);
    if (colour)
      DeleteObject(colour);
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  iconInfo->fIcon = TRUE;
  iconInfo->xHotspot = found->image().width / 2;
  iconInfo->yHotspot = found->image().height / 2;
  iconInfo->hbmMask = mask;
  iconInfo->hbmColor = colour;
  return TRUE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH brush,
                UINT flags) {
  auto found = ce::IconTable::instance().get(icon);
  if (!found)
    return fail(ERROR_INVALID_HANDLE);
  if (!dc || !(flags & DI_NORMAL) || width < 0 || height < 0)
    return fail(ERROR_INVALID_PARAMETER);
  if (width == 0)
    width = int(found->image().width);
  if (height == 0)
    height = int(found->image().height);
  return found->draw(dc, x, y, width, height, brush, flags);
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

BOOL DestroyIcon(HICON icon) {
  if (!ce::IconTable::instance().remove(icon))
    return fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

UINT ExtractIconExW(LPCWSTR file, int index, HICON *largeIcons, HICON *smallIcons, UINT icons) {
  if (!file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ce::IconExtractor extractor;
  const DWORD error = extractor.load(file);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  if (index == -1 && !largeIcons && !smallIcons)
    return extractor.count();
  if (!largeIcons && !smallIcons)
    return 0;
  // A resource id names one icon; positions run on for `icons` icons.
  const UINT wanted = index < 0 ? (icons ? 1 : 0) : icons;
  UINT extracted = 0;
  for (UINT k = 0; k < wanted; ++k) {
    const int at = index < 0 ? index : index + int(k);
    bool any = false;
    for (auto [out, side] : {std::pair{largeIcons, ce::IconExtractor::largeSide()},
                             std::pair{smallIcons, ce::IconExtractor::smallSide()}}) {
      if (!out)
        continue;
      out[k] = nullptr;
      ce::IconImage image;
      if (extractor.extract(at, side, image))
        out[k] = publish(std::move(image));
      any = any || out[k];
    }
    if (any)
      ++extracted;
  }
  if (!extracted)
    SetLastError(ERROR_FILE_NOT_FOUND);
  return extracted;
}
