#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/run_animation.h>

namespace {

struct Zoom {
  double x, y, width, height, dx, dy;

  Zoom(const RECT &start, int screenWidth, int screenHeight)
      : x(start.left), y(start.top), width(start.right - start.left),
        height(start.bottom - start.top), dx(20 - (screenWidth * 0.5 - start.left) * 0.2),
        dy(20 - (screenHeight * 0.5 - start.top) * 0.2) {}

  RECT rect() const {
    const LONG left = static_cast<LONG>(x), top = static_cast<LONG>(y);
    return RECT{left, top, left + static_cast<LONG>(width), top + static_cast<LONG>(height)};
  }
  void next() {
    x = static_cast<double>(static_cast<LONG>(x - dx));
    y = static_cast<double>(static_cast<LONG>(y - dy));
    width += RunAnimation::Growth;
    height += RunAnimation::Growth;
  }
};

} // namespace

std::vector<RECT> RunAnimation::frames(const RECT &start, int screenWidth, int screenHeight) {
  std::vector<RECT> shown;
  Zoom zoom(start, screenWidth, screenHeight);
  for (DWORD elapsed = FirstElapsedMs; elapsed < LengthMs; elapsed += FrameMs) {
    shown.push_back(zoom.rect());
    zoom.next();
  }
  return shown;
}

int RunAnimation::play(Surface *picture, const RECT &start) {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global || !picture || !global->display().primary)
    return 0;
  DisplayState &display = global->display();
  Zoom zoom(start, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  int drawn = 0;
  for (DWORD elapsed = FirstElapsedMs; elapsed < LengthMs;) {
    const DWORD frameStart = GetTickCount();
    {
      CriticalSectionLock lock(global->displaySection());
      beginPaint();
      const RECT to = zoom.rect();
      if (FAILED(Blt(display.primary, &to, picture, nullptr, BltWait, nullptr)))
        reportDDError(E_FAIL, u"runAnimation Blt");
      endPaint();
    }
    ++drawn;
    zoom.next();
    const DWORD took = GetTickCount() - frameStart;
    if (took < FrameMs) {
      Sleep(FrameMs - took);
      elapsed += FrameMs;
    } else {
      elapsed += took;
    }
  }
  CriticalSectionLock lock(global->displaySection());
  beginPaint();
  if (display.backBuffer)
    Blt(display.primary, &display.client, display.backBuffer, &display.client, BltWait, nullptr);
  endPaint();
  return drawn;
}
