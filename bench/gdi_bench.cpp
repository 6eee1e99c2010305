// GDI speed: full-screen blits beside memcpy of the same bytes, per-pixel alpha blending,
// stretching and text.
#include <ce/windows.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 480, kHeight = 800;

struct Surface {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
  void* bits = nullptr;
  Surface(int w, int h, int bpp) {
    struct {
      BITMAPINFOHEADER header;
      DWORD masks[3];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = -h;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.header.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                              nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    previous = SelectObject(dc, bitmap);
    auto* bytes = static_cast<unsigned char*>(bits);
    for (std::size_t i = 0; i < std::size_t(w) * h * (bpp / 8); ++i) bytes[i] = static_cast<unsigned char>(i * 31);
  }
  ~Surface() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

void MemcpyFullScreen565(benchmark::State& state) {
  std::vector<unsigned char> a(kWidth * kHeight * 2, 1), b(kWidth * kHeight * 2, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()));
}
BENCHMARK(MemcpyFullScreen565);

void BitBltFullScreen565(benchmark::State& state) {
  Surface src(kWidth, kHeight, 16), dst(kWidth, kHeight, 16);
  for (auto _ : state) {
    BitBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 2);
}
BENCHMARK(BitBltFullScreen565);

void BitBltScrollInPlace565(benchmark::State& state) {
  Surface s(kWidth, kHeight, 16);
  int d = 7;
  for (auto _ : state) {
    BitBlt(s.dc, 0, 0, kWidth, kHeight - 7, s.dc, 0, 7, SRCCOPY); // content moves up
    benchmark::ClobberMemory();
    d = -d;
  }
  state.SetBytesProcessed(state.iterations() * kWidth * (kHeight - 7) * 2);
}
BENCHMARK(BitBltScrollInPlace565);

void MemcpyIcon96Pargb(benchmark::State& state) {
  std::vector<unsigned char> a(96 * 96 * 4, 1), b(96 * 96 * 4, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()));
}
BENCHMARK(MemcpyIcon96Pargb);

void AlphaBlendIcon96PargbOnto565(benchmark::State& state) {
  Surface icon(96, 96, 32), screen(kWidth, kHeight, 16);
  // A realistic icon: transparent border, opaque middle, antialiased ring.
  auto* p = static_cast<std::uint32_t*>(icon.bits);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) {
      const int dx = x - 48, dy = y - 48, r2 = dx * dx + dy * dy;
      std::uint32_t a = r2 < 40 * 40 ? 255 : (r2 < 46 * 46 ? 128 : 0);
      const std::uint32_t c = (a * 200 / 255);
      p[y * 96 + x] = (a << 24) | (c << 16) | ((a * 90 / 255) << 8) | (a * 30 / 255);
    }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  for (auto _ : state) {
    AlphaBlend(screen.dc, 100, 100, 96, 96, icon.dc, 0, 0, 96, 96, blend);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 96 * 96 * 4);
}
BENCHMARK(AlphaBlendIcon96PargbOnto565);

void StretchBlt2x565(benchmark::State& state) {
  Surface src(kWidth / 2, kHeight / 2, 16), dst(kWidth, kHeight, 16);
  for (auto _ : state) {
    StretchBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, kWidth / 2, kHeight / 2, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 2);
}
BENCHMARK(StretchBlt2x565);

void DrawText20CharLabel(benchmark::State& state) {
  Surface s(300, 60, 16);
  HFONT font = CreateFontW(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                           ANTIALIASED_QUALITY, 0, u"Tahoma");
  HGDIOBJ old = SelectObject(s.dc, font);
  SetBkMode(s.dc, TRANSPARENT);
  RECT r{0, 0, 300, 60};
  for (auto _ : state) {
    benchmark::DoNotOptimize(DrawTextW(s.dc, u"Settings and Options", 20, &r,
                                       DT_CENTER | DT_VCENTER | DT_SINGLELINE));
  }
  SelectObject(s.dc, old);
  DeleteObject(font);
}
BENCHMARK(DrawText20CharLabel);

} // namespace

BENCHMARK_MAIN();
