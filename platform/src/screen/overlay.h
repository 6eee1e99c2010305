// One overlay: a small layer of pixels that the presenters put above the framebuffer (the
// toolkit's scroll bar). Its pixels live in shared memory so that the process drawing them and
// the host composing them see the same bytes.
#pragma once

#include "shared_memory.h"

#include <ce/types.h>

#include <cstdint>
#include <memory>

namespace ce {

enum class OverlayFormat {
  Rgb565,          // opaque, optionally with a colour key
  Premultiplied32, // B, G, R, A with colours premultiplied by alpha
};

struct OverlayPixels {
  std::shared_ptr<SharedMemory> memory; // pixels start at offset 0, top row first
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  OverlayFormat format = OverlayFormat::Rgb565;

  int bytesPerPixel() const { return format == OverlayFormat::Rgb565 ? 2 : 4; }
  // The description fits its memory: sizes in range, rows long enough, every row inside.
  bool sound() const;
};

// Where and how an overlay shows. Rectangles have exclusive right and bottom edges.
struct OverlayPlacement {
  RECT source{};      // within the overlay's pixels
  RECT destination{}; // on the screen; stretched from `source` when the sizes differ
  bool visible = false;
  bool colourKeyed = false; // Rgb565 only: pixels in [keyLow, keyHigh] are transparent
  std::uint32_t keyLow = 0;
  std::uint32_t keyHigh = 0;
};

struct Overlay {
  std::uint32_t id = 0;
  std::uint32_t owner = 0; // the process that made it, so its death removes it
  std::uint64_t z = 0;     // larger lies above
  OverlayPixels pixels;
  OverlayPlacement placement;
};

} // namespace ce
