// Feeds arbitrary coordinates, extents, raster codes, blend functions and clip rectangles to
// the raster operations between surfaces of every pixel format.
#include <ce/windows.h>

#include <cstdint>
#include <cstring>

namespace {

template <class T> T take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  const std::size_t n = size < sizeof(T) ? size : sizeof(T);
  if (n > 0) std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

HDC surface(int bits, bool topDown) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
  } info{};
  info.h.biSize = sizeof(BITMAPINFOHEADER);
  info.h.biWidth = 23;
  info.h.biHeight = topDown ? -17 : 17;
  info.h.biPlanes = 1;
  info.h.biBitCount = static_cast<WORD>(bits == 15 ? 16 : bits);
  for (int i = 0; i < 256; ++i) info.colors[i] = RGBQUAD{BYTE(i * 7), BYTE(i * 3), BYTE(i), 0};
  void* memory = nullptr;
  HBITMAP b = bits == 1 ? CreateBitmap(23, 17, 1, 1, nullptr)
                        : CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                                           DIB_RGB_COLORS, &memory, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, b);
  return dc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static HDC surfaces[8] = {surface(1, true),   surface(4, false), surface(8, true),
                            surface(15, false), surface(24, true), surface(32, false),
                            surface(32, true),  surface(24, false)};
  while (size > 0) {
    const auto op = take<std::uint8_t>(data, size);
    HDC dst = surfaces[op & 7];
    HDC src = surfaces[(op >> 3) & 7];
    const int x = take<std::int32_t>(data, size), y = take<std::int16_t>(data, size);
    const int w = take<std::int16_t>(data, size), h = take<std::int16_t>(data, size);
    const int sx = take<std::int16_t>(data, size), sy = take<std::int32_t>(data, size);
    const int sw = take<std::int16_t>(data, size), sh = take<std::int16_t>(data, size);
    const auto code = take<std::uint32_t>(data, size);
    switch (op >> 6) {
    case 0: BitBlt(dst, x, y, w, h, src, sx, sy, code); break;
    case 1: StretchBlt(dst, x, y, w, h, src, sx, sy, sw, sh, code); break;
    case 2: {
      BLENDFUNCTION b{0, 0, static_cast<BYTE>(code), static_cast<BYTE>((code >> 8) & 1)};
      AlphaBlend(dst, x, y, w, h, src, sx, sy, sw, sh, b);
      TransparentBlt(dst, x, y, w, h, src, sx, sy, sw, sh, code);
      break;
    }
    default: {
      HRGN r = CreateRectRgn(x, y, w, h);
      HRGN s = CreateRectRgn(sx, sy, sw, sh);
      CombineRgn(r, r, s, static_cast<int>(code % 6));
      OffsetRgn(r, sx, sy);
      if (code & 0x100) SelectClipRgn(dst, r);
      if (code & 0x200) IntersectClipRect(dst, x, y, w, h);
      if (code & 0x400) ExcludeClipRect(dst, sx, sy, sw, sh);
      if (code & 0x800) SelectClipRgn(dst, nullptr);
      RECT rect{x, y, w, h};
      HBRUSH brush = CreateSolidBrush(code);
      FillRect(dst, &rect, brush);
      SelectObject(dst, brush);
      PatBlt(dst, x, y, w, h, code & 0x00FF0000);
      SelectObject(dst, GetStockObject(WHITE_BRUSH));
      DeleteObject(brush);
      SetPixel(dst, x, y, code);
      GetPixel(dst, sx, sy);
      DeleteObject(r);
      DeleteObject(s);
    }
    }
  }
  return 0;
}
