// DCs, bitmaps and GDI handles: creation limits, selection rules, queries, validation.
#include "gdi_test_support.h"

#include <climits>
#include <thread>
#include <vector>

using namespace gdi_test;

namespace {

TEST(GdiHandles, StaleAndRandomHandlesFailCleanly) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_TRUE(DeleteObject(bitmap));
  ASSERT_TRUE(DeleteDC(dc));

  const auto random = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x12345678));
  for (HDC bad : {dc, random, static_cast<HDC>(nullptr)}) {
    SetLastError(0);
    EXPECT_FALSE(BitBlt(bad, 0, 0, 1, 1, nullptr, 0, 0, BLACKNESS));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SelectObject(bad, GetStockObject(BLACK_BRUSH)), nullptr);
    EXPECT_FALSE(DeleteDC(bad));
    EXPECT_EQ(GetDeviceCaps(bad, BITSPIXEL), 0);
    EXPECT_EQ(SetTextColor(bad, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(bad, 0, 0), CLR_INVALID);
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(FillRect(bad, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_EQ(DrawTextW(bad, u"x", 1, &r, 0), 0);
  }
  SetLastError(0);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  BITMAP info;
  EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), 0);

  // Handles of one kind are not accepted as another.
  HDC live = CreateCompatibleDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_FALSE(DeleteObject(live));             // a DC is not an object
  EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(brush))); // an object is not a DC
  EXPECT_EQ(SelectObject(live, live), nullptr);
  RECT r{0, 0, 1, 1};
  EXPECT_EQ(FillRect(live, &r, reinterpret_cast<HBRUSH>(live)), 0);
  EXPECT_EQ(GetObjectType(live), DWORD(OBJ_MEMDC));
  EXPECT_EQ(GetObjectType(brush), DWORD(OBJ_BRUSH));
  EXPECT_EQ(GetObjectType(random), 0u);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteDC(live));
}

TEST(GdiBitmaps, AbsurdSizesAndFormatsAreRefused) {
  struct Case {
    int w, h;
  };
  for (const Case c : {Case{0, 10}, Case{10, 0}, Case{-1, 10}, Case{10, -5}, Case{16385, 1},
                       Case{1, 16385}, Case{INT_MAX, INT_MAX}, Case{INT_MIN, 1}}) {
    SetLastError(0);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, c.w, c.h), nullptr) << c.w << "x" << c.h;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateBitmap(c.w, c.h, 1, 32, nullptr), nullptr);
  }
  // Within the side limit but too much memory in total (1 GiB).
  EXPECT_EQ(CreateBitmap(16384, 16384, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(4, 4, 2, 16, nullptr), nullptr); // planes
  EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr);  // no palette for a DDB
  EXPECT_EQ(CreateBitmap(4, 4, 1, 0, nullptr), nullptr);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 8;
  info.bmiHeader.biHeight = 8;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biCompression = BI_BITFIELDS;
  void* bits = reinterpret_cast<void*>(1);
  struct {
    BITMAPINFOHEADER h;
    DWORD masks[3];
  } odd{info.bmiHeader, {0x001F, 0x07E0, 0xF800}}; // blue on top: not a layout the display has
  EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&odd), DIB_RGB_COLORS, &bits,
                             nullptr, 0),
            nullptr);
  EXPECT_EQ(bits, nullptr);
  info.bmiHeader.biCompression = BI_RLE8;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biHeight = INT_MIN;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biHeight = 8;
  info.bmiHeader.biSize = 12;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(GdiBitmaps, SelectedBitmapCannotBeDeletedOrSharedUntilReleased) {
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(first);
  HBITMAP bitmap = CreateBitmap(8, 8, 1, 16, nullptr);
  HGDIOBJ stock = SelectObject(first, bitmap);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(GetCurrentObject(first, OBJ_BITMAP), bitmap);

  SetLastError(0);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  EXPECT_EQ(SelectObject(first, bitmap), bitmap); // selecting it again where it is changes nothing

  // The stock 1x1 bitmap can sit in every DC at once.
  EXPECT_EQ(SelectObject(second, stock), stock);
  EXPECT_EQ(SelectObject(first, stock), bitmap);
  EXPECT_NE(SelectObject(second, bitmap), nullptr);
  EXPECT_TRUE(DeleteDC(second)); // deleting the DC frees the bitmap again
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(first));

  // Brushes and fonts may be deleted while selected; the DC keeps drawing with them.
  Surface s(4, 4, 16);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  SelectObject(s.dc, red);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_TRUE(PatBlt(s.dc, 0, 0, 4, 4, PATCOPY));
  EXPECT_EQ(s.raw(3, 3), 0xF800u);
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock objects stay
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), DWORD(OBJ_BRUSH));
}

TEST(GdiBitmaps, DescribeThemselvesLikeThePlatform) {
  HBITMAP ddb = CreateBitmap(3, 2, 1, 16, nullptr);
  BITMAP b{};
  ASSERT_EQ(GetObjectW(ddb, sizeof b, &b), int(sizeof(BITMAP)));
  EXPECT_EQ(b.bmWidth, 3);
  EXPECT_EQ(b.bmHeight, 2);
  EXPECT_EQ(b.bmWidthBytes, 6); // rows of device-dependent bitmaps are padded to 2 bytes
  EXPECT_EQ(b.bmBitsPixel, 16);
  EXPECT_EQ(b.bmBits, nullptr);
  DIBSECTION notADib{};
  EXPECT_EQ(GetObjectW(ddb, sizeof notADib, &notADib), int(sizeof(BITMAP)));
  EXPECT_EQ(GetObjectW(ddb, 4, &b), 0); // too small a buffer
  DeleteObject(ddb);

  Surface s(3, 5, 16, false);
  DIBSECTION d{};
  EXPECT_EQ(GetObjectW(s.bitmap, 0, nullptr), int(sizeof(DIBSECTION)));
  ASSERT_EQ(GetObjectW(s.bitmap, sizeof d, &d), int(sizeof(DIBSECTION)));
  EXPECT_EQ(d.dsBm.bmWidthBytes, 8); // DIB rows are padded to 4 bytes
  EXPECT_EQ(d.dsBm.bmBits, s.bits);
  EXPECT_EQ(d.dsBmih.biHeight, 5); // bottom-up
  EXPECT_EQ(d.dsBmih.biCompression, DWORD(BI_BITFIELDS));
  EXPECT_EQ(d.dsBitfields[0], 0xF800u);
  EXPECT_EQ(d.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(d.dsBmih.biSizeImage, 40u);

  // Bottom-up memory keeps the top row last.
  SetPixel(s.dc, 0, 0, RGB(255, 255, 255));
  std::uint16_t last;
  std::memcpy(&last, s.bits + 4 * 8, 2);
  EXPECT_EQ(last, 0xFFFF);

  LOGFONTW font{};
  HGDIOBJ system = GetCurrentObject(s.dc, OBJ_FONT);
  EXPECT_EQ(system, GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(GetObjectW(system, sizeof font, &font), int(sizeof font));
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
  LOGBRUSH lb{};
  EXPECT_EQ(GetObjectW(GetStockObject(BLACK_BRUSH), sizeof lb, &lb), int(sizeof lb));
  EXPECT_EQ(lb.lbColor, 0u);
  EXPECT_EQ(GetObjectW(GetStockObject(NULL_BRUSH), sizeof lb, &lb), int(sizeof lb));
  EXPECT_EQ(lb.lbStyle, UINT(BS_NULL));
  EXPECT_EQ(GetStockObject(99), nullptr);
}

TEST(GdiDeviceCaps, AnswerFromTheDeviceProfile) {
  TempDevice device("screen=240x320\n");
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 240);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 320);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  {
    TempDevice big("screen=480x800\ndpi=192\n");
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 192);
  }
  DeleteDC(dc);
}

TEST(GdiBitmaps, DibBitsRoundTripThroughGetAndSetDIBits) {
  Surface s(5, 3, 16);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) s.setRaw(x, y, static_cast<std::uint32_t>(0x0841 * (x + 5 * y)));

  // Read the 5-6-5 bitmap as bottom-up 24-bit rows.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  EXPECT_EQ(GetDIBits(s.dc, s.bitmap, 0, 3, nullptr, &info, DIB_RGB_COLORS), 3);
  EXPECT_EQ(info.bmiHeader.biWidth, 5);
  EXPECT_EQ(info.bmiHeader.biBitCount, 16);
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> rows(16 * 3, 0xEE);
  EXPECT_EQ(GetDIBits(s.dc, s.bitmap, 0, 3, rows.data(), &info, DIB_RGB_COLORS), 3);
  // Bottom row first: pixel (1, 2) is 0x0841 * 11 = 0x5ACB -> r 11, g 22, b 11.
  const std::uint8_t* p = rows.data() + 3;
  EXPECT_EQ(p[0], (11 << 3) | (11 >> 2));
  EXPECT_EQ(p[1], (22 << 2) | (22 >> 4));
  EXPECT_EQ(p[2], (11 << 3) | (11 >> 2));
  EXPECT_EQ(rows[15], 0xEE); // padding untouched

  // Write them back into a fresh 5-6-5 bitmap: the same pixels come out.
  HBITMAP copy = CreateBitmap(5, 3, 1, 16, nullptr);
  EXPECT_EQ(SetDIBits(s.dc, copy, 0, 3, rows.data(), &info, DIB_RGB_COLORS), 3);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, copy);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(GetPixel(dc, x, y), GetPixel(s.dc, x, y));
  // Only part of the lines: the top row of a bottom-up DIB is its last scan line.
  std::fill(rows.begin(), rows.end(), 0);
  EXPECT_EQ(SetDIBits(nullptr, copy, 2, 1, rows.data(), &info, DIB_RGB_COLORS), 0); // selected elsewhere
  SelectObject(dc, old);
  EXPECT_EQ(SetDIBits(nullptr, copy, 2, 1, rows.data(), &info, DIB_RGB_COLORS), 1);
  SelectObject(dc, copy);
  EXPECT_EQ(GetPixel(dc, 1, 0), 0u);
  EXPECT_NE(GetPixel(dc, 1, 1), 0u);
  SelectObject(dc, old);
  DeleteObject(copy);
  DeleteDC(dc);
}

TEST(GdiThreads, ManyThreadsCreateDrawAndDeleteAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 200; ++i) {
        Surface a(16, 16, 32), b(16, 16, 16);
        HBRUSH brush = CreateSolidBrush(RGB(t * 40, i % 256, 7));
        RECT r{0, 0, 16, 16};
        if (!FillRect(a.dc, &r, brush)) ++failures;
        if (!BitBlt(b.dc, 0, 0, 16, 16, a.dc, 0, 0, SRCCOPY)) ++failures;
        if (GetPixel(b.dc, 5, 5) != through565(RGB(t * 40, i % 256, 7))) ++failures;
        DeleteObject(brush);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

} // namespace
