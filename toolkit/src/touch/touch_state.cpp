#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/touch/touch_state.h>

#include <ce/windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex processMutex;
TouchState *processState = nullptr;
std::atomic<bool> recognising{false};

} // namespace

TouchState *TouchState::process() {
  std::lock_guard guard(processMutex);
  if (!processState)
    processState = new TouchState;
  return processState;
}

TouchState *TouchState::existing() {
  std::lock_guard guard(processMutex);
  return processState;
}

void TouchState::destroyProcessState() {
  std::lock_guard guard(processMutex);
  delete processState;
  processState = nullptr;
}

TouchState::TouchState() { InitializeCriticalSection(&section_); }

TouchState::~TouchState() { DeleteCriticalSection(&section_); }

void TouchState::touchDown(int x, int y, DWORD now) {
  CriticalSectionLock lock(section_);
  if (!tapRecorded_.load())
    firstTapTime_ = now;
  lastEventTime_ = now;
  holdRecognised_ = false;
  swipeRight_ = false;
  swipeLeft_ = false;
  doubleTap_ = false;
  gesturePointTaken_ = false;
  tapCandidate_ = true;
  pressed_ = true;
  changed_ = true;
  down_ = current_ = previous_ = downCopy_ = POINT{x, y};
  // The motion of the new gesture counts from the press, not from where the last one ended.
  lastConsumedX_ = x;
  lastConsumedY_ = y;
  movedBeyondTolerance_ = false;
  stopFlingLocked();
  horizontalSamples_[0] = verticalSamples_[0] = 0;
  sampleCount_ = 0;
}

void TouchState::touchMove(int x, int y, DWORD now) {
  CriticalSectionLock lock(section_);
  const DWORD elapsed = now - lastEventTime_;
  if (elapsed < 1)
    return;
  const int dx = down_.x - x, dy = down_.y - y;
  if (std::abs(dx) >= TapTolerance || std::abs(dy) >= TapTolerance)
    tapCandidate_ = false;
  changed_ = true;
  stopFlingLocked();
  if (!movedBeyondTolerance_.load() && std::abs(dy) < SwipeDrift) {
    if (dx < -SwipeDistance)
      swipeRight_ = true;
    else if (dx >= SwipeDistance + 1)
      swipeLeft_ = true;
  } else {
    movedBeyondTolerance_ = true;
    swipeRight_ = false;
    swipeLeft_ = false;
  }
  previous_ = current_;
  current_ = POINT{x, y};
  lastEventTime_ = now;
  const std::size_t slot = static_cast<std::size_t>(sampleCount_ % 3);
  horizontalSamples_[slot] = (x - previous_.x) / static_cast<double>(elapsed) * 100;
  verticalSamples_[slot] = std::clamp((y - previous_.y) / static_cast<double>(elapsed) * 100,
                                      -VelocityLimit, VelocityLimit);
  ++sampleCount_;
}

void TouchState::touchUp(int, int, DWORD now) {
  CriticalSectionLock lock(section_);
  changed_ = true;
  pressed_ = false;
  const DWORD idle = now - lastEventTime_;
  if (tapCandidate_.load()) {
    firstTapTime_ = now;
    tapRecorded_ = true;
    tapCandidate_ = false;
  }
  if (sampleCount_ == 0) {
    sampleCount_ = 1;
    return;
  }
  double last = verticalSamples_[static_cast<std::size_t>((sampleCount_ - 1) % 3)];
  double before =
      sampleCount_ > 1 ? verticalSamples_[static_cast<std::size_t>((sampleCount_ - 2) % 3)] : last;
  if (last == 0)
    last = before;
  if (before == 0)
    before = last;
  const double velocity = (3 * last + before) / 4;
  verticalSamples_.fill(velocity);
  if (std::abs(std::trunc(velocity)) > 2 && idle < FlingIdleLimit) {
    flingRunning_ = true;
    flingStart_ = flingStartCopy_ = now;
  }
}

int TouchState::getScrollDelta(DWORD now) {
  CriticalSectionLock lock(section_);
  const DWORD frame = now - lastConsumedTime_ + 1;
  int distance = 0;
  if (flingRunning_.load()) {
    const double velocity = lastVerticalVelocity();
    double elapsed = static_cast<double>(now - flingStart_);
    if (velocity < 0)
      elapsed = -elapsed;
    const double step = std::clamp((velocity - elapsed / decelerationDivisor_) * 0.01 * frame,
                                   -FrameLimit, FrameLimit);
    if (std::abs(step) < 0.1 || (step > 0) != (velocity > 0)) {
      stopFlingLocked();
      return 0;
    }
    // Whole pixels away from zero, so that a slowing fling never steps backwards.
    distance = static_cast<int>(
        std::clamp(std::trunc(step) + (step > 0 ? 1 : -1), -FrameLimit, FrameLimit));
  } else {
    distance = current_.y - lastConsumedY_;
  }
  if (distance != 0) {
    lastConsumedTime_ = now;
    lastConsumedY_ = current_.y;
  }
  return distance;
}

Element *TouchState::setTouchTarget(Element *target) { return target_.exchange(target); }

void TouchState::stopFling() {
  CriticalSectionLock lock(section_);
  stopFlingLocked();
}

void TouchState::stopFlingLocked() {
  if (!flingRunning_.exchange(false))
    return;
  if (GlobalInformations *global = GlobalInformations::getInstance())
    if (HWND window = global->display().mainWindow)
      KillTimer(window, 1);
}

POINT TouchState::takeGesturePoint() {
  CriticalSectionLock lock(section_);
  if (!gesturePointTaken_.exchange(true))
    return down_;
  return current_;
}

void TouchState::holdAt(POINT point, DWORD now) {
  CriticalSectionLock lock(section_);
  down_ = current_ = previous_ = downCopy_ = point;
  lastConsumedX_ = point.x;
  lastConsumedY_ = point.y;
  lastEventTime_ = now;
  gesturePointTaken_ = false;
  // The release that ends a hold is no tap.
  tapCandidate_ = false;
  holdRecognised_ = true;
  stopFlingLocked();
}

bool TouchState::recognizeHold(POINT point) {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global || !global->display().mainWindow || recognising.exchange(true))
    return false;
  SHRGINFO request{};
  request.cbSize = SHRGINFO_DEVICE_SIZE;
  request.hwndClient = global->display().mainWindow;
  request.ptDown = point;
  request.dwFlags = SHRG_RETURNCMD;
  const bool held = SHRecognizeGesture(&request) == GN_CONTEXTMENU;
  if (held) {
    holdAt(point);
    DisplayState &display = global->display();
    display.redrawPending = false;
    if (DirectDrawWarp *application = global->mainApplication())
      application->queueDirty(display.client, false);
  }
  recognising = false;
  return held;
}

bool TouchState::consumeTap() { return tapRecorded_.exchange(false); }

void TouchState::reset(Element *target) {
  CriticalSectionLock lock(section_);
  target_ = target;
  pressed_ = false;
  tapCandidate_ = false;
  tapRecorded_ = false;
  holdRecognised_ = false;
  swipeRight_ = false;
  swipeLeft_ = false;
  gesturePointTaken_ = false;
  changed_ = false;
  stopFlingLocked();
}

int TouchState::takeHorizontalDelta(DWORD now, DWORD minimumMs) {
  CriticalSectionLock lock(section_);
  if (now - lastConsumedTime_ < minimumMs)
    return 0;
  const int dx = current_.x - lastConsumedX_;
  lastConsumedX_ = current_.x;
  return dx;
}

void TouchState::consumeSwipe() {
  swipeRight_ = false;
  swipeLeft_ = false;
  movedBeyondTolerance_ = true;
}

double TouchState::lastVerticalVelocity() const {
  if (sampleCount_ == 0)
    return 0;
  return verticalSamples_[static_cast<std::size_t>((sampleCount_ - 1) % 3)];
}
