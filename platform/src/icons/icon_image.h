// The pixels of one icon before it becomes an HICON.
#pragma once

#include <ce/imaging.h>

#include <cstdint>
#include <vector>

namespace ce {

struct IconImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<ARGB> pixels;       // top-down; not premultiplied
  std::vector<std::uint8_t> mask; // one per pixel, 1 = transparent
  bool hasAlpha = false;          // pixels carry their own alpha

  // Largest icon accepted from files and callers.
  static constexpr UINT kMaxSide = 1024;
};

} // namespace ce
