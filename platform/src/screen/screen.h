// The device's screen as the host keeps it: the shared framebuffer, the overlays above it and
// the wait cursor flag. Presenters compose from it; the host rotates it.
#pragma once

#include "framebuffer.h"
#include "overlay_stack.h"
#include "screen_image.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

namespace ce {

class Screen {
public:
  static std::unique_ptr<Screen> create(int width, int height, std::string* error = nullptr);

  Framebuffer& framebuffer() { return *framebuffer_; }
  const Framebuffer& framebuffer() const { return *framebuffer_; }
  OverlayStack& overlays() { return overlays_; }
  const OverlayStack& overlays() const { return overlays_; }

  // Set while some program has the wait cursor up.
  void setWaitCursor(bool on) { waitCursor_.store(on); }
  bool waitCursor() const { return waitCursor_.load(); }

  // Swaps width and height (the owners of windows redraw afterwards).
  void rotate() { framebuffer_->rotate(); }

  // What the screen shows now.
  void compose(ScreenImage& image) const;
  // Writes the composed screen as a PNG at a host path; false with a message on failure.
  bool saveScreenshot(const std::filesystem::path& file, std::string* error = nullptr) const;

private:
  explicit Screen(std::unique_ptr<Framebuffer> framebuffer)
      : framebuffer_(std::move(framebuffer)) {}

  std::unique_ptr<Framebuffer> framebuffer_;
  OverlayStack overlays_;
  std::atomic<bool> waitCursor_{false};
};

} // namespace ce
