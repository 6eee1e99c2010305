#include <toolkit/image/real_alpha.h>
#include <toolkit/surface/drawing_reports.h>

#include <cstring>
#include <vector>

std::array<std::uint32_t, 255> realAlphaTable(COLORREF color) {
  const std::uint32_t red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
  std::array<std::uint32_t, 255> table{};
  for (std::uint32_t i = 0; i < table.size(); ++i)
    table[i] = i << 24 | (red * i / 255) << 16 | (green * i / 255) << 8 | blue * i / 255;
  return table;
}

std::uint32_t realAlphaPixel(std::uint16_t pixel555, const std::array<std::uint32_t, 255> &table) {
  if (pixel555 == 0)
    return 0;
  const unsigned level = ((pixel555 >> 10 & 0x1F) + (pixel555 >> 5 & 0x1F) + (pixel555 & 0x1F)) / 3;
  return table[level * 8];
}

HRESULT computeRealAlpha(Surface *surface, COLORREF color) {
  if (!surface || !surface->bitmap || !surface->dc || surface->width <= 0 || surface->height <= 0)
    return E_INVALIDARG;
  if (surface->bitsPerPixel > 16)
    return S_OK;
  const int width = surface->width, height = surface->height;

  // The text's pixels as 5-5-5 (a 16-bit request without masks).
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = width;
  request.bmiHeader.biHeight = -height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 16;
  request.bmiHeader.biCompression = BI_RGB;
  const std::size_t rowUnits = (static_cast<std::size_t>(width) + 1) & ~std::size_t(1);
  std::vector<std::uint16_t> text(rowUnits * static_cast<std::size_t>(height));
  if (GetDIBits(surface->dc, surface->bitmap, 0, static_cast<UINT>(height), text.data(), &request,
                DIB_RGB_COLORS) != height) {
    reportLastError(u"computeRealAlpha: GetDIBits");
    return E_FAIL;
  }

  BITMAPINFO layout{};
  layout.bmiHeader = request.bmiHeader;
  layout.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &layout, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!picture) {
    reportLastError(u"computeRealAlpha: CreateCompatibleDC(NULL);");
    return E_FAIL;
  }
  const auto table = realAlphaTable(color);
  auto *out = static_cast<std::uint32_t *>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
          static_cast<std::size_t>(x)] =
          realAlphaPixel(text[static_cast<std::size_t>(y) * rowUnits + static_cast<std::size_t>(x)],
                         table);

  SelectObject(surface->dc, picture);
  DeleteObject(surface->bitmap);
  surface->bitmap = picture;
  surface->bitsPerPixel = 32;
  return S_OK;
}
