#include <menu/screen/slide_animation.h>

#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>

#include <ce/kernel.h>

#include <algorithm>
#include <cmath>

namespace {

void copy(Surface *target, int left, int top, int right, int bottom, Surface *source,
          int sourceLeft) {
  if (right <= left || bottom <= top)
    return;
  const RECT to{left, top, right, bottom};
  const RECT from{sourceLeft, top, sourceLeft + (right - left), bottom};
  Blt(target, &to, source, &from, BltWait, nullptr);
}

} // namespace

double SlideAnimation::acceleration(int width) {
  return (width - Duration) / (Duration * Duration);
}

int SlideAnimation::offsetAt(int width, double time, int previous) {
  const double distance = std::trunc(acceleration(width) * time * time * 0.5 + time);
  const double atLeast = static_cast<double>(previous) + 1;
  return static_cast<int>(std::clamp(std::max(distance, atLeast), 0.0, double(std::max(width, 0))));
}

double SlideAnimation::nextTime(double time, DWORD spentMs) {
  return time + static_cast<double>(std::max<DWORD>(FrameMs, spentMs));
}

std::vector<int> SlideAnimation::nominalOffsets(int width) {
  std::vector<int> offsets;
  int offset = 0;
  for (double time = FirstTime; offset < width; time = nextTime(time, FrameMs)) {
    offset = offsetAt(width, time, offset);
    offsets.push_back(offset);
  }
  return offsets;
}

void SlideAnimation::drawFrame(Surface *target, Surface *oldPicture, Surface *newPicture,
                               const RECT &area, int offset, bool backward) {
  if (!target || !oldPicture || !newPicture)
    return;
  const int width = area.right - area.left;
  offset = std::clamp(offset, 0, width);
  const int left = area.left, right = area.right, top = area.top, bottom = area.bottom;
  // The incoming picture first: the screen is read while it is drawn (the display has no
  // frames of its own), and between the two copies it then shows the old picture where it was
  // a frame ago beside the new one where it is now, never a strip of the previous frame.
  if (!backward) {
    copy(target, right - offset, top, right, bottom, newPicture, left);
    copy(target, left, top, right - offset, bottom, oldPicture, left + offset);
  } else {
    copy(target, left, top, left + offset, bottom, newPicture, right - offset);
    copy(target, left + offset, top, right, bottom, oldPicture, left);
  }
}

int SlideAnimation::play(Surface *oldPicture, Surface *newPicture, const RECT &area,
                         bool backward) {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global || !oldPicture || !newPicture)
    return 0;
  const int width = area.right - area.left;
  int frames = 0;
  int offset = 0;
  for (double time = FirstTime; offset < width;) {
    const DWORD start = GetTickCount();
    offset = offsetAt(width, time, offset);
    {
      CriticalSectionLock lock(global->displaySection());
      beginPaint();
      drawFrame(global->display().primary, oldPicture, newPicture, area, offset, backward);
      endPaint();
    }
    ++frames;
    const DWORD spent = GetTickCount() - start;
    if (offset < width && spent < FrameMs)
      Sleep(FrameMs - spent);
    time = nextTime(time, spent);
  }
  return frames;
}
