// Off-screen surfaces and the raster operations that every widget draws with.
//
// A Surface is a memory bitmap selected into its own memory DC, or, for the primary surface,
// the main window's DC borrowed between beginPaint and endPaint. Depth is 16 bits per pixel
// unless created otherwise; 32 means the pixels carry premultiplied per-pixel alpha.
#pragma once

#include <ce/windows.h>

struct Surface {
  IDirectDrawSurface *displaySurface = nullptr; // the DirectDraw primary only
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  int bitsPerPixel = 16;
  int width = 0;
  int height = 0;

  bool isPrimary() const { return displaySurface != nullptr; }
};

// The flags callers give Blt: wait until done, optionally with the colour-fill bit.
inline constexpr DWORD BltWait = DDBLT_WAIT;
inline constexpr DWORD BltColorFill = DDBLT_WAIT | DDBLT_COLORFILL;

// A description of a width x height memory surface of 16, 24 or 32 bits per pixel.
DDSURFACEDESC describeSurface(int width, int height, int bitsPerPixel = 16);

// Creates a memory surface from a description: height, width and the pixel format's bit count
// (32 and 24 as given, anything else 16). A null description or result pointer gives
// E_INVALIDARG. When the DC or the bitmap cannot be made the failure is reported, the call still
// succeeds and the surface has no DC or bitmap.
HRESULT createSurf(const DDSURFACEDESC *description, Surface **surface);

// A surface holding a copy of the given pixels: rows of `stride` bytes, top row first, 16 bits
// (5-6-5), 24 bits (B,G,R) or 32 bits (B,G,R,A premultiplied). Null on failure.
Surface *createSurfFromPixels(int width, int height, int bitsPerPixel, const void *pixels,
                              int stride);

// Releases a surface and sets the pointer to null; null pointers do nothing. The primary's DC
// goes back to its display surface and the display surface is released.
void deleteSurf(Surface **surface);

// Copies, stretches or fills. Rectangles are left, top, right, bottom (right and bottom
// exclusive); a null destination rectangle is the whole destination, a null source rectangle
// the whole source. With BltColorFill the destination rectangle is filled with
// effects->dwFillColor (a colour reference). Without effects a 32-bit source is blended with its
// own alpha; anything else is a plain stretched copy. Returns 0, or E_INVALIDARG when there is
// nothing to draw or the drawing fails.
HRESULT Blt(Surface *destination, const RECT *destinationRect, Surface *source,
            const RECT *sourceRect, DWORD flags, const DDBLTFX *effects);

// Blends the source onto the destination with a constant alpha (0-255), ignoring the source's
// own alpha.
HRESULT alphaBlt(Surface *destination, const RECT *destinationRect, Surface *source,
                 const RECT *sourceRect, BYTE alpha);

// The paint bracket: borrows the main window's DC for the primary surface, and gives it back.
void beginPaint();
void endPaint();
