// The per-process gesture tracker: turns stylus positions into taps, swipes and kinetic scrolls.
//
// A tap moves less than 31 pixels from the press. A swipe needs more than 150 pixels sideways
// while the stylus stays within 100 pixels of the press vertically; going 100 pixels up or down
// cancels swipes for the rest of the gesture. A release soon after a fast vertical move starts a
// fling that slows down linearly and moves at most 120 pixels a frame.
//
// Every operation takes the state's own critical section. The forms with a `now` argument take
// the time (a tick count in milliseconds) from the caller; the others read GetTickCount.
#pragma once

#include <ce/kernel.h>
#include <ce/types.h>

#include <array>
#include <atomic>

class Element;

class TouchState {
public:
  static constexpr int TapTolerance = 31;      // a move this far is no tap
  static constexpr int SwipeDistance = 150;    // a swipe goes further than this sideways
  static constexpr int SwipeDrift = 100;       // vertical drift that cancels swipes
  static constexpr int FlingIdleLimit = 500;   // ms between the last move and the release
  static constexpr double VelocityLimit = 500; // pixels per 100 ms
  static constexpr double FrameLimit = 120;    // pixels per frame

  // The process's touch state, created on first need.
  static TouchState *process();
  // The process's touch state if there is one.
  static TouchState *existing();
  static void destroyProcessState();

  TouchState();
  ~TouchState();
  TouchState(const TouchState &) = delete;
  TouchState &operator=(const TouchState &) = delete;

  void touchDown(int x, int y) { touchDown(x, y, GetTickCount()); }
  void touchMove(int x, int y) { touchMove(x, y, GetTickCount()); }
  void touchUp(int x, int y) { touchUp(x, y, GetTickCount()); }
  void touchDown(int x, int y, DWORD now);
  void touchMove(int x, int y, DWORD now);
  void touchUp(int x, int y, DWORD now);

  // The vertical distance to scroll this frame: the fling's or the finger's.
  int getScrollDelta() { return getScrollDelta(GetTickCount()); }
  int getScrollDelta(DWORD now);

  Element *setTouchTarget(Element *target);
  Element *touchTarget() const { return target_.load(); }
  void stopFling();
  // The press point the first time after a press, the current point afterwards.
  POINT takeGesturePoint();

  // After a press-and-hold was recognised at `point`: the gesture restarts there as a hold (not
  // a tap), and any fling stops.
  void holdAt(POINT point) { holdAt(point, GetTickCount()); }
  void holdAt(POINT point, DWORD now);
  // Asks the platform's press-and-hold recogniser about the press at `point` (main window
  // coordinates), unless a recognition is running already. On a hold the gesture restarts there
  // as a hold and the screen is queued for redrawing. True when a hold was recognised.
  bool recognizeHold(POINT point);
  // Clears a recorded tap once a consumer has acted on it; true when there was one.
  bool consumeTap();
  // Puts the gesture back to idle with `target` as the touch target (dialogs, slides).
  void reset(Element *target);
  // Makes the horizontal motion since the last call (at least `minimumMs` apart) consumed and
  // returns it; 0 when too soon.
  int takeHorizontalDelta(DWORD now, DWORD minimumMs);

  CRITICAL_SECTION &section() { return section_; }

  // The gesture as it stands (each read alone; hold the section for a consistent picture).
  POINT downPoint() const { return down_; }
  POINT currentPoint() const { return current_; }
  bool isPressed() const { return pressed_.load(); }
  bool isTapCandidate() const { return tapCandidate_.load(); }
  bool tapRecorded() const { return tapRecorded_.load(); }
  bool holdRecognised() const { return holdRecognised_.load(); }
  void clearHold() { holdRecognised_.store(false); }
  bool swipeRight() const { return swipeRight_.load(); }
  bool swipeLeft() const { return swipeLeft_.load(); }
  // Clears a swipe flag and marks the gesture as beyond the swipe tolerance.
  void consumeSwipe();
  bool movedBeyondTolerance() const { return movedBeyondTolerance_.load(); }
  bool flingRunning() const { return flingRunning_.load(); }
  bool changed() const { return changed_.load(); }
  double lastVerticalVelocity() const;
  int sampleCount() const { return sampleCount_; }

private:
  void stopFlingLocked();

  CRITICAL_SECTION section_{};
  POINT previous_{}, down_{}, current_{}, downCopy_{};
  std::atomic<bool> holdRecognised_{false}, tapRecorded_{false}, pressed_{false},
      tapCandidate_{false}, doubleTap_{false}, changed_{false}, gesturePointTaken_{false},
      swipeRight_{false}, swipeLeft_{false};
  double decelerationDivisor_ = 10.0;
  DWORD lastEventTime_ = 0, firstTapTime_ = 0;
  DWORD flingStart_ = 0, flingStartCopy_ = 0;
  std::array<double, 3> horizontalSamples_{};
  std::array<double, 3> verticalSamples_{};
  int sampleCount_ = 0;
  std::atomic<Element *> target_{nullptr};
  int lastConsumedY_ = 0;
  int lastConsumedX_ = 0;
  DWORD lastConsumedTime_ = 0;
  std::atomic<bool> movedBeyondTolerance_{false};
  std::atomic<bool> flingRunning_{false};
};
