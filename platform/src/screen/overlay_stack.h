// The overlays of the screen, kept by the host and read by the presenters. Safe to use from
// several threads: the presenters compose from a snapshot taken under the lock.
#pragma once

#include "overlay.h"

#include <mutex>
#include <optional>
#include <vector>

namespace ce {

class OverlayStack {
public:
  // Adds a hidden overlay above every existing one. Returns its id (never 0), or 0 when the
  // pixel description does not fit its memory.
  std::uint32_t add(OverlayPixels pixels, std::uint32_t owner);
  // Replaces the placement. False when the id is unknown or the placement is unsound: an empty
  // or reversed rectangle, a source outside the pixels, or coordinates beyond +-32768.
  bool place(std::uint32_t id, const OverlayPlacement& placement);
  // Moves the destination's top-left corner, keeping its size.
  bool move(std::uint32_t id, LONG x, LONG y);
  bool remove(std::uint32_t id);
  // Removes what a process that ended had left behind; returns how many.
  std::size_t removeOwnedBy(std::uint32_t owner);

  std::optional<Overlay> find(std::uint32_t id) const;
  // The visible overlays, lowest first.
  std::vector<Overlay> visibleInOrder() const;
  // Changes whenever what the screen shows of the overlays changes.
  std::uint64_t version() const;

private:
  mutable std::mutex mutex_;
  std::vector<Overlay> overlays_;
  std::uint32_t nextId_ = 1;
  std::uint64_t nextZ_ = 1;
  std::uint64_t version_ = 0;
};

} // namespace ce
