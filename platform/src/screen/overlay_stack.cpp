#include "overlay_stack.h"

#include <algorithm>

namespace ce {
namespace {

constexpr LONG kCoordinateLimit = 32768;

bool sound(const RECT& r) {
  const auto inLimit = [](LONG v) { return v >= -kCoordinateLimit && v <= kCoordinateLimit; };
  return inLimit(r.left) && inLimit(r.top) && inLimit(r.right) && inLimit(r.bottom) &&
         r.left < r.right && r.top < r.bottom;
}

} // namespace

std::uint32_t OverlayStack::add(OverlayPixels pixels, std::uint32_t owner) {
  if (!pixels.sound()) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  Overlay overlay;
  overlay.id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;
  overlay.owner = owner;
  overlay.z = nextZ_++;
  overlay.placement.source = RECT{0, 0, pixels.width, pixels.height};
  overlay.pixels = std::move(pixels);
  overlays_.push_back(std::move(overlay));
  return overlays_.back().id;
}

bool OverlayStack::place(std::uint32_t id, const OverlayPlacement& placement) {
  if (!sound(placement.source) || !sound(placement.destination)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& overlay : overlays_) {
    if (overlay.id != id) continue;
    const RECT& s = placement.source;
    if (s.left < 0 || s.top < 0 || s.right > overlay.pixels.width ||
        s.bottom > overlay.pixels.height)
      return false;
    overlay.placement = placement;
    if (overlay.pixels.format != OverlayFormat::Rgb565) overlay.placement.colourKeyed = false;
    ++version_;
    return true;
  }
  return false;
}

bool OverlayStack::move(std::uint32_t id, LONG x, LONG y) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& overlay : overlays_) {
    if (overlay.id != id) continue;
    RECT moved = overlay.placement.destination;
    moved.right = x + (moved.right - moved.left);
    moved.bottom = y + (moved.bottom - moved.top);
    moved.left = x;
    moved.top = y;
    if (!sound(moved)) return false;
    overlay.placement.destination = moved;
    ++version_;
    return true;
  }
  return false;
}

bool OverlayStack::remove(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = std::find_if(overlays_.begin(), overlays_.end(),
                               [id](const Overlay& o) { return o.id == id; });
  if (it == overlays_.end()) return false;
  overlays_.erase(it);
  ++version_;
  return true;
}

std::size_t OverlayStack::removeOwnedBy(std::uint32_t owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto removed = std::erase_if(overlays_, [owner](const Overlay& o) { return o.owner == owner; });
  if (removed) ++version_;
  return removed;
}

std::optional<Overlay> OverlayStack::find(std::uint32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& overlay : overlays_)
    if (overlay.id == id) return overlay;
  return std::nullopt;
}

std::vector<Overlay> OverlayStack::visibleInOrder() const {
  std::vector<Overlay> visible;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& overlay : overlays_)
      if (overlay.placement.visible) visible.push_back(overlay);
  }
  std::sort(visible.begin(), visible.end(),
            [](const Overlay& a, const Overlay& b) { return a.z < b.z; });
  return visible;
}

std::uint64_t OverlayStack::version() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return version_;
}

} // namespace ce
