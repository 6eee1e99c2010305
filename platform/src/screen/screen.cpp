#include "screen.h"

#include "screen_composer.h"

#include <ce/core/png_writer.h>

namespace ce {

std::unique_ptr<Screen> Screen::create(int width, int height, std::string* error) {
  auto framebuffer = Framebuffer::create(width, height, error);
  if (!framebuffer) return nullptr;
  return std::unique_ptr<Screen>(new Screen(std::move(framebuffer)));
}

void Screen::compose(ScreenImage& image) const {
  ScreenComposer::compose(*framebuffer_, overlays_.visibleInOrder(), waitCursor(), image);
}

bool Screen::saveScreenshot(const std::filesystem::path& file, std::string* error) const {
  ScreenImage image;
  compose(image);
  return writePng(image.view(), file, error);
}

} // namespace ce
