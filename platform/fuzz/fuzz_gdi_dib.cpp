// Feeds arbitrary BITMAPINFO headers, colour tables and pixel bits (as a picture decoder would
// pass them on) to CreateDIBSection, SetDIBits and GetDIBits, then draws the result.
#include <ce/windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Screen {
  HDC dc;
  HBITMAP bitmap;
  Screen() {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, 64, 48);
    SelectObject(dc, bitmap);
  }
};

std::size_t stride(long width, int bits) {
  return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Screen screen;
  // The header and its colour table are read from a zero-padded copy, as a decoder would hand
  // over a complete record.
  std::vector<std::uint8_t> header(2048, 0);
  if (size > 0) std::memcpy(header.data(), data, std::min(size, header.size()));
  auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
  const BITMAPINFOHEADER h = info->bmiHeader;
  const long long pixels = static_cast<long long>(h.biWidth) *
                           (h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight);
  if (pixels > (1 << 20) || pixels < 0) return 0; // keep each run small
  const std::uint8_t* bits = data + std::min<std::size_t>(size, 1024);
  const std::size_t bitsSize = size - std::min<std::size_t>(size, 1024);

  void* memory = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (dib) {
    DIBSECTION section{};
    if (GetObjectW(dib, sizeof section, &section) != sizeof section || !memory) std::abort();
    const std::size_t total = static_cast<std::size_t>(section.dsBmih.biSizeImage);
    if (bitsSize > 0) std::memcpy(memory, bits, std::min(total, bitsSize));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(size), AC_SRC_ALPHA};
    StretchBlt(screen.dc, -3, -2, 70, 50, dc, 0, 0, section.dsBm.bmWidth, section.dsBm.bmHeight,
               SRCCOPY);
    AlphaBlend(screen.dc, 0, 0, 64, 48, dc, 1, 1, section.dsBm.bmWidth, section.dsBm.bmHeight,
               blend);
    BitBlt(dc, 1, 1, section.dsBm.bmWidth, section.dsBm.bmHeight, dc, 0, 0, SRCINVERT);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
  }
  // The same header describing caller memory, for SetDIBits and GetDIBits.
  if (h.biWidth > 0 && h.biHeight != 0 &&
      (h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 16 ||
       h.biBitCount == 24 || h.biBitCount == 32)) {
    const long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    const std::size_t need = stride(h.biWidth, h.biBitCount) * static_cast<std::size_t>(rows);
    if (need <= bitsSize) {
      SetDIBits(screen.dc, screen.bitmap, 0, static_cast<UINT>(rows), bits, info, DIB_RGB_COLORS);
      std::vector<std::uint8_t> out(need + 16);
      GetDIBits(screen.dc, screen.bitmap, 0, static_cast<UINT>(rows), out.data(), info,
                DIB_RGB_COLORS);
    }
  }
  return 0;
}
