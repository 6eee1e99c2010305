// DCs over pixel memory owned elsewhere: the device host gives window DCs that draw straight
// into the screen's shared framebuffer, clipped to the window's visible region.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <cstddef>
#include <vector>

CE_EXPORT_BEGIN

namespace ce {

// Pixel layouts a framebuffer DC can target.
enum class FramebufferFormat { Rgb565, Rgb555, Bgr24, Bgra32 };

// A block of pixel memory: `bits` points at the top row; `stride` is the distance in bytes
// from one row to the next (negative for memory that stores the bottom row first).
struct PixelMemory {
  void* bits = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  FramebufferFormat format = FramebufferFormat::Rgb565;
};

// A DC drawing into `memory`, which must stay valid until the DC is deleted (DeleteDC) or
// retargeted. Logical (0, 0) is `origin` in the memory; drawing is clipped to the memory, to
// `visible` (rectangles in memory coordinates, right and bottom exclusive, need not be
// disjoint) and to any clip region the DC's user sets. Bitmaps cannot be selected into it.
// Returns NULL (ERROR_INVALID_PARAMETER) when the memory description is unusable.
HDC createFramebufferDC(const PixelMemory& memory, POINT origin, std::vector<RECT> visible);
// The host updates a window DC when the window moves, is covered or uncovered, or the screen
// rotates. False (ERROR_INVALID_HANDLE) when `dc` is not a framebuffer DC.
bool setFramebufferOrigin(HDC dc, POINT origin);
bool setFramebufferVisibleRegion(HDC dc, std::vector<RECT> visible);
bool retargetFramebuffer(HDC dc, const PixelMemory& memory);

} // namespace ce
CE_EXPORT_END
