// A composed picture of the screen: 8-bit B, G, R triples, top row first, rows packed. The
// headless presenter writes it to PNG; the window presenter streams it into its texture.
#pragma once

#include <ce/core/framebuffer_dc.h>

#include <cstdint>
#include <vector>

namespace ce {

struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;

  std::ptrdiff_t stride() const { return std::ptrdiff_t(width) * 3; }
  void resize(int w, int h) {
    width = w;
    height = h;
    bgr.resize(std::size_t(w) * std::size_t(h) * 3);
  }
  const std::uint8_t* pixel(int x, int y) const { return bgr.data() + y * stride() + x * 3; }
  PixelMemory view() {
    return PixelMemory{bgr.data(), width, height, stride(), FramebufferFormat::Bgr24};
  }
};

} // namespace ce
