// GetRegionData: a region as its header and its rectangles.
#include "gdi/gdi_lookup.h"

#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/windows_api.h>

#include <algorithm>
#include <cstring>

using namespace ce;

DWORD GetRegionData(HRGN handle, DWORD size, LPRGNDATA data) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  if (!region)
    return 0;
  // The region's rectangles never overlap; they are listed top to bottom, then left to right.
  std::vector<RECT> rects = region->rects();
  std::sort(rects.begin(), rects.end(), [](const RECT &a, const RECT &b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  const std::size_t rectBytes = rects.size() * sizeof(RECT);
  const std::size_t needed = sizeof(RGNDATAHEADER) + rectBytes;
  if (needed > 0xFFFFFFFFu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!data)
    return static_cast<DWORD>(needed);
  if (size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  RGNDATAHEADER header{};
  header.dwSize = sizeof(RGNDATAHEADER);
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rects.size());
  header.nRgnSize = static_cast<DWORD>(rectBytes);
  header.rcBound = region->box();
  auto *bytes = reinterpret_cast<std::uint8_t *>(data);
  std::memcpy(bytes, &header, sizeof header);
  if (!rects.empty())
    std::memcpy(bytes + sizeof header, rects.data(), rectBytes);
  return size;
}
