#include "overlay.h"

namespace ce {

bool OverlayPixels::sound() const {
  constexpr int kMaximumSide = 4096;
  if (!memory || width < 1 || height < 1 || width > kMaximumSide || height > kMaximumSide)
    return false;
  const std::ptrdiff_t rowBytes = std::ptrdiff_t(width) * bytesPerPixel();
  if (stride < rowBytes || stride % bytesPerPixel() != 0) return false;
  const auto needed = std::size_t(stride) * std::size_t(height - 1) + std::size_t(rowBytes);
  return needed <= memory->size();
}

} // namespace ce
