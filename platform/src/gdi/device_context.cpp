#include "gdi/device_context.h"

namespace ce {

PixelFormat pixelFormatOf(FramebufferFormat format) {
  switch (format) {
  case FramebufferFormat::Rgb565: return PixelFormat::Rgb565;
  case FramebufferFormat::Rgb555: return PixelFormat::Rgb555;
  case FramebufferFormat::Bgr24: return PixelFormat::Bgr24;
  case FramebufferFormat::Bgra32: return PixelFormat::Bgra32;
  }
  return PixelFormat::Rgb565;
}

PixelView DeviceContext::pixels() const {
  if (target == Target::Memory) return bitmap ? bitmap->view() : PixelView{};
  PixelView v;
  v.top = static_cast<std::uint8_t*>(framebuffer.bits);
  v.width = framebuffer.width;
  v.height = framebuffer.height;
  v.stride = framebuffer.stride;
  v.format = pixelFormatOf(framebuffer.format);
  return v;
}

bool DeviceContext::monochrome() const {
  return target == Target::Memory && bitmap && bitmap->layout().monochrome;
}

std::vector<RECT> DeviceContext::deviceClip() const {
  const PixelView v = pixels();
  if (!v.valid()) return {};
  const RECT bounds{0, 0, v.width, v.height};
  Region area(bounds);
  if (target == Target::Framebuffer) area = area.intersected(Region::fromRects(visible));
  if (clip) {
    Region c = *clip;
    c.offset(origin.x, origin.y);
    area = area.intersected(c);
  }
  return area.rects();
}

} // namespace ce
