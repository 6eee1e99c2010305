// The device's screen: one 16-bit 5-6-5 framebuffer in shared memory. The host creates it and
// hands its descriptor to every device process, which maps the same pixels and draws into them
// directly (window DCs, the DirectDraw primary); the presenters read them.
//
// The block starts with a small header (the current width, height and a generation counter
// that rotation advances) so that a process holding a mapping can follow the screen's size;
// the pixels start at kPixelOffset. Rotation swaps width and height, which keeps the pixel
// count, and clears the screen: the windows' owners redraw it for the new size.
#pragma once

#include "shared_memory.h"

#include <ce/core/framebuffer_dc.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

namespace ce {

class Framebuffer {
public:
  static constexpr int kMaximumSide = 4096;
  static constexpr std::size_t kPixelOffset = 4096;

  // A black screen of width x height pixels (1 .. kMaximumSide each).
  static std::unique_ptr<Framebuffer> create(int width, int height, std::string* error = nullptr);
  // Maps a framebuffer created by another process. Its header must be sound (known magic, a
  // size whose pixels fit the block); a descriptor of anything else is refused.
  static std::unique_ptr<Framebuffer> attach(int fd, std::string* error = nullptr);

  // The current size. For an attached framebuffer it follows the creator's rotations; a header
  // that a peer damaged is ignored and the last sound size kept.
  int width() const;
  int height() const;
  std::uint32_t generation() const;

  // The pixels as GDI's framebuffer DCs and the composer see them (top row first).
  PixelMemory pixels() const;
  std::uint16_t* row(int y) const;

  // Swaps width and height, clears the pixels and advances the generation. Creator only;
  // false for an attached framebuffer.
  bool rotate();

  // Readers that walk the pixels hold this, so that a rotation does not change the size under
  // them. (Other processes write without it: the last writer wins, as on the device.)
  std::shared_lock<std::shared_mutex> lockForReading() const {
    return std::shared_lock<std::shared_mutex>(mutex_);
  }

  int fd() const { return memory_->fd(); }

private:
  struct Header;
  Framebuffer(std::unique_ptr<SharedMemory> memory, bool owner, int width, int height);
  Header* header() const;
  void refresh() const;

  std::unique_ptr<SharedMemory> memory_;
  bool owner_;
  mutable std::shared_mutex mutex_;
  mutable std::mutex refreshMutex_;
  mutable int width_;
  mutable int height_;
};

} // namespace ce
