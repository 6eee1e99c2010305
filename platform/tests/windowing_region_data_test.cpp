// GetRegionData over regions made with the region calls and over a window's update region on a
// booted device.
#include "host_test_device.h"

#include <ce/gdi.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct RegionData {
  RGNDATAHEADER header{};
  std::vector<RECT> rects;
};

// Asks for the size, then for the data; fails the test when either call fails.
RegionData regionData(HRGN region) {
  RegionData out;
  const DWORD needed = GetRegionData(region, 0, nullptr);
  EXPECT_GE(needed, sizeof(RGNDATAHEADER));
  std::vector<std::uint8_t> buffer(needed + 16, 0xAB);
  EXPECT_EQ(GetRegionData(region, needed, reinterpret_cast<LPRGNDATA>(buffer.data())), needed);
  std::memcpy(&out.header, buffer.data(), sizeof out.header);
  EXPECT_EQ(out.header.nCount * sizeof(RECT) + sizeof(RGNDATAHEADER), needed);
  out.rects.resize(out.header.nCount);
  if (!out.rects.empty())
    std::memcpy(out.rects.data(), buffer.data() + sizeof(RGNDATAHEADER),
                out.rects.size() * sizeof(RECT));
  EXPECT_EQ(buffer[needed], 0xAB); // nothing beyond what it asked for
  return out;
}

bool operator==(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

long long area(const std::vector<RECT> &rects) {
  long long total = 0;
  for (const RECT &r : rects)
    total += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
  return total;
}

TEST(WindowingRegionData, HeaderRectanglesAndBufferSizes) {
  HRGN a = CreateRectRgn(50, 60, 70, 90);
  HRGN b = CreateRectRgn(10, 10, 30, 30);
  HRGN both = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(CombineRgn(both, a, b, RGN_OR), COMPLEXREGION);

  const RegionData data = regionData(both);
  EXPECT_EQ(data.header.dwSize, sizeof(RGNDATAHEADER));
  EXPECT_EQ(data.header.iType, static_cast<DWORD>(RDH_RECTANGLES));
  EXPECT_EQ(data.header.nRgnSize, 2 * sizeof(RECT));
  EXPECT_TRUE(data.header.rcBound == (RECT{10, 10, 70, 90}));
  ASSERT_EQ(data.rects.size(), 2u);
  EXPECT_TRUE(data.rects[0] == (RECT{10, 10, 30, 30})); // top first
  EXPECT_TRUE(data.rects[1] == (RECT{50, 60, 70, 90}));

  // Too small by one byte: nothing written.
  const DWORD needed = GetRegionData(both, 0, nullptr);
  std::vector<std::uint8_t> small(needed, 0xCD);
  SetLastError(0);
  EXPECT_EQ(GetRegionData(both, needed - 1, reinterpret_cast<LPRGNDATA>(small.data())), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small, std::vector<std::uint8_t>(needed, 0xCD));

  // An empty region is the header alone; a dead handle is refused.
  HRGN empty = CreateRectRgn(5, 5, 5, 5);
  const RegionData none = regionData(empty);
  EXPECT_EQ(none.header.nCount, 0u);
  EXPECT_TRUE(none.header.rcBound == (RECT{0, 0, 0, 0}));
  for (HRGN r : {a, b, both, empty})
    DeleteObject(r);
  SetLastError(0);
  EXPECT_EQ(GetRegionData(both, 0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WindowingRegionData, ListsTheUpdateRegionOfAWindow) {
  hosttest::HostDevice device;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DefWindowProcW;
  wc.lpszClassName = u"RegionWindow";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, u"RegionWindow", u"", WS_VISIBLE, 100, 200, 120, 120, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(ValidateRect(hwnd, nullptr));
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetUpdateRgn(hwnd, update, FALSE), NULLREGION);
  EXPECT_EQ(regionData(update).header.nCount, 0u);

  // Two overlapping rectangles come back as disjoint ones covering exactly their union.
  const RECT first{10, 10, 30, 30}, second{20, 20, 40, 40};
  InvalidateRect(hwnd, &first, FALSE);
  InvalidateRect(hwnd, &second, FALSE);
  EXPECT_EQ(GetUpdateRgn(hwnd, update, FALSE), COMPLEXREGION);
  const RegionData data = regionData(update);
  EXPECT_TRUE(data.header.rcBound == (RECT{10, 10, 40, 40}));
  EXPECT_EQ(area(data.rects), 400 + 400 - 100);
  for (std::size_t i = 0; i < data.rects.size(); ++i)
    for (std::size_t j = i + 1; j < data.rects.size(); ++j) {
      const RECT &a = data.rects[i], &b = data.rects[j];
      EXPECT_TRUE(a.right <= b.left || b.right <= a.left || a.bottom <= b.top ||
                  b.bottom <= a.top);
    }
  // Pieces that fill a rectangle make a simple region.
  ValidateRect(hwnd, nullptr);
  const RECT left{0, 0, 10, 20}, right{10, 0, 30, 20};
  InvalidateRect(hwnd, &left, FALSE);
  InvalidateRect(hwnd, &right, FALSE);
  EXPECT_EQ(GetUpdateRgn(hwnd, update, FALSE), SIMPLEREGION);
  EXPECT_EQ(area(regionData(update).rects), 600);

  DeleteObject(update);
  DestroyWindow(hwnd);
  UnregisterClassW(u"RegionWindow", nullptr);
}

} // namespace
