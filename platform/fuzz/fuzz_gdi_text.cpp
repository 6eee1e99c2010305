// Feeds arbitrary UTF-16 text, DrawTextW flags, rectangles, font attributes and character
// advances to the text layout and renderer.
#include <ce/windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

template <class T> T take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  const std::size_t n = size < sizeof(T) ? size : sizeof(T);
  if (n > 0) std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static HDC dc = [] {
    HDC d = CreateCompatibleDC(nullptr);
    SelectObject(d, CreateBitmap(96, 64, 1, 32, nullptr));
    return d;
  }();
  const auto format = take<std::uint32_t>(data, size);
  RECT rect;
  rect.left = take<std::int16_t>(data, size);
  rect.top = take<std::int16_t>(data, size);
  rect.right = rect.left + take<std::int16_t>(data, size);
  rect.bottom = rect.top + take<std::int16_t>(data, size);
  const auto height = take<std::int8_t>(data, size);
  const auto flags = take<std::uint8_t>(data, size);
  std::vector<char16_t> text(size / 2 + 1, 0);
  if (size >= 2) std::memcpy(text.data(), data, size / 2 * 2);
  const int count = static_cast<int>(size / 2);

  HFONT font =
      CreateFontW(height, (flags & 1) ? height / 2 : 0, 0, 0, (flags & 2) ? FW_BOLD : FW_NORMAL,
                  flags & 4, flags & 8, flags & 16, DEFAULT_CHARSET, 0, 0,
                  (flags & 32) ? NONANTIALIASED_QUALITY : ANTIALIASED_QUALITY, 0,
                  (flags & 64) ? u"DejaVu Serif" : u"Tahoma");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, (flags & 128) ? OPAQUE : TRANSPARENT);

  RECT calc = rect;
  const int measured = DrawTextW(dc, text.data(), count, &calc, format | DT_CALCRECT);
  if (measured < 0) std::abort();
  RECT drawn = rect;
  DrawTextW(dc, text.data(), count, &drawn, format & ~static_cast<UINT>(DT_CALCRECT));
  DrawTextW(dc, text.data(), -1, &drawn, format | DT_NOCLIP);

  std::vector<int> advances(static_cast<std::size_t>(count) + 1);
  for (int i = 0; i < count; ++i)
    advances[static_cast<std::size_t>(i)] =
        static_cast<std::int8_t>(text[static_cast<std::size_t>(i)]);
  SetTextAlign(dc, format & 0x1F);
  ExtTextOutW(dc, rect.left, rect.top, format & (ETO_OPAQUE | ETO_CLIPPED), &rect, text.data(),
              static_cast<UINT>(count), (flags & 1) ? advances.data() : nullptr);
  int fit = 0;
  SIZE extent{};
  std::vector<int> extents(static_cast<std::size_t>(count) + 1);
  GetTextExtentExPointW(dc, text.data(), count, rect.right, &fit, extents.data(), &extent);
  if (fit < 0 || fit > count) std::abort();

  SelectObject(dc, old);
  DeleteObject(font);
  return 0;
}
