// The gesture tracker with explicit times: tap and swipe thresholds, the fling's start, decay,
// frame cap and end.
#include <toolkit/touch/touch_state.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A gesture from (x0, y0) along the given moves, 10 ms apart, released at the last point.
struct Gesture {
  TouchState touch;
  DWORD now = 1000;

  void press(int x, int y) { touch.touchDown(x, y, now); }
  void move(int x, int y) {
    now += 10;
    touch.touchMove(x, y, now);
  }
  void lift(int x, int y, DWORD idle = 0) {
    now += idle;
    touch.touchUp(x, y, now);
  }
};

TEST(TouchStateTest, ThirtyPixelsIsStillATapThirtyOneIsNot) {
  for (const auto &[dx, dy, tap] : {std::tuple{30, 0, true},
                                    {0, -30, true},
                                    {31, 0, false},
                                    {0, 31, false},
                                    {-31, 5, false},
                                    {30, 30, true}}) {
    Gesture g;
    g.press(200, 300);
    g.move(200 + dx, 300 + dy);
    g.lift(200 + dx, 300 + dy, 600);
    EXPECT_EQ(g.touch.tapRecorded(), tap) << dx << "," << dy;
    EXPECT_FALSE(g.touch.isTapCandidate());
    EXPECT_EQ(g.touch.consumeTap(), tap);
    EXPECT_FALSE(g.touch.consumeTap()) << "a tap is consumed once";
  }
  // A moved-away finger that comes back is no tap any more.
  Gesture back;
  back.press(100, 100);
  back.move(140, 100);
  back.move(100, 100);
  back.lift(100, 100);
  EXPECT_FALSE(back.touch.tapRecorded());
}

TEST(TouchStateTest, SwipesNeedMoreThanOneHundredFiftyPixelsSideways) {
  Gesture exactly;
  exactly.press(100, 300);
  exactly.move(250, 300);
  EXPECT_FALSE(exactly.touch.swipeRight());
  exactly.move(251, 300);
  EXPECT_TRUE(exactly.touch.swipeRight());
  EXPECT_FALSE(exactly.touch.swipeLeft());

  Gesture left;
  left.press(400, 300);
  left.move(250, 399);
  EXPECT_FALSE(left.touch.swipeLeft());
  left.move(249, 399);
  EXPECT_TRUE(left.touch.swipeLeft());

  // Consuming a swipe ends swipe detection for the gesture.
  left.touch.consumeSwipe();
  left.move(40, 300);
  EXPECT_FALSE(left.touch.swipeLeft());
}

TEST(TouchStateTest, AHundredPixelsUpOrDownCancelsSwipesForTheWholeGesture) {
  Gesture g;
  g.press(100, 300);
  g.move(300, 300);
  EXPECT_TRUE(g.touch.swipeRight());
  g.move(300, 400);
  EXPECT_FALSE(g.touch.swipeRight());
  EXPECT_TRUE(g.touch.movedBeyondTolerance());
  g.move(320, 300); // back within the drift: still cancelled
  EXPECT_FALSE(g.touch.swipeRight());

  Gesture upwards;
  upwards.press(100, 300);
  upwards.move(100, 201);
  upwards.move(300, 201);
  EXPECT_TRUE(upwards.touch.swipeRight()) << "99 pixels of drift keep swipes";
  upwards.move(300, 200);
  EXPECT_FALSE(upwards.touch.swipeRight());

  // A new press starts detecting again.
  g.press(100, 300);
  g.move(260, 300);
  EXPECT_TRUE(g.touch.swipeRight());
}

TEST(TouchStateTest, MovesWithinAMillisecondAreIgnored) {
  TouchState touch;
  touch.touchDown(0, 0, 500);
  touch.touchMove(0, 80, 500);
  EXPECT_EQ(touch.currentPoint().y, 0);
  EXPECT_TRUE(touch.isTapCandidate());
  touch.touchMove(0, 80, 501);
  EXPECT_EQ(touch.currentPoint().y, 80);
}

TEST(TouchStateTest, AFlingStartsOnlyWhenFastAndRecent) {
  // 60 pixels per 10 ms = 600 per 100 ms, clamped to 500.
  Gesture fast;
  fast.press(100, 500);
  fast.move(100, 440);
  fast.move(100, 380);
  fast.lift(100, 380, 499);
  EXPECT_TRUE(fast.touch.flingRunning());
  EXPECT_DOUBLE_EQ(fast.touch.lastVerticalVelocity(), -500);

  Gesture late;
  late.press(100, 500);
  late.move(100, 440);
  late.lift(100, 440, 500);
  EXPECT_FALSE(late.touch.flingRunning());

  // Velocities that truncate to 2 never fling: 0.29 px/ms = 2.9 per 100 ms.
  TouchState slow;
  slow.touchDown(0, 0, 0);
  slow.touchMove(0, 29, 1000);
  slow.touchUp(0, 29, 1000);
  EXPECT_FALSE(slow.flingRunning());
  TouchState barely;
  barely.touchDown(0, 0, 0);
  barely.touchMove(0, 30, 1000);
  barely.touchUp(0, 30, 1000);
  EXPECT_TRUE(barely.flingRunning()) << "3 per 100 ms flings";

  // The release velocity weighs the last sample three times the one before it.
  Gesture mixed;
  mixed.press(0, 0);
  mixed.move(0, 20); // 200
  mixed.move(0, 60); // 400
  mixed.lift(0, 60);
  EXPECT_DOUBLE_EQ(mixed.touch.lastVerticalVelocity(), (3 * 400 + 200) / 4.0);
}

TEST(TouchStateTest, AFlingSlowsByOneEveryTenMillisecondsAndEnds) {
  TouchState touch;
  touch.touchDown(0, 0, 0);
  touch.touchMove(0, 10, 10); // 100 pixels per 100 ms
  touch.touchUp(0, 10, 10);
  ASSERT_TRUE(touch.flingRunning());
  // 10 ms after the release: (100 - 1) * 0.01 * 21 ms since the last consumed motion.
  EXPECT_EQ(touch.getScrollDelta(20), 21);
  // Then 10 ms frames: (100 - 2) * 0.01 * 11.
  EXPECT_EQ(touch.getScrollDelta(30), 11);
  int previous = 11;
  DWORD now = 30;
  while (touch.flingRunning()) {
    now += 10;
    const int step = touch.getScrollDelta(now);
    if (step == 0)
      break;
    EXPECT_GE(step, 1) << "a slowing fling never steps backwards";
    EXPECT_LE(step, previous);
    previous = step;
  }
  EXPECT_FALSE(touch.flingRunning());
  // The speed reaches 0 one second after the release; the last frame moved a pixel.
  EXPECT_EQ(now, 1010u);
  EXPECT_EQ(previous, 1);
}

TEST(TouchStateTest, NoFrameMovesMoreThanOneHundredTwentyPixels) {
  for (int direction : {1, -1}) {
    TouchState touch;
    touch.touchDown(0, 500, 0);
    touch.touchMove(0, 500 + direction * 100, 10); // clamped to 500 per 100 ms
    touch.touchUp(0, 500 + direction * 100, 10);
    ASSERT_TRUE(touch.flingRunning());
    touch.getScrollDelta(10);
    // A long frame would move (500 - 1) * 0.01 * 1000 pixels.
    const int step = touch.getScrollDelta(1010);
    EXPECT_EQ(step, direction * 120);
    // Further on, an upward fling keeps moving up until it ends.
    DWORD now = 1010;
    while (touch.flingRunning()) {
      now += 16;
      const int next = touch.getScrollDelta(now);
      if (next != 0) {
        EXPECT_EQ(next > 0 ? 1 : -1, direction);
      }
    }
    EXPECT_LT(now, 1010u + 6000u);
  }
}

TEST(TouchStateTest, WithoutAFlingTheDeltaFollowsTheFingerFromThePress) {
  TouchState touch;
  touch.touchDown(50, 300, 0);
  touch.touchMove(50, 280, 5);
  EXPECT_EQ(touch.getScrollDelta(6), -20);
  EXPECT_EQ(touch.getScrollDelta(7), 0);
  touch.touchMove(50, 290, 10);
  EXPECT_EQ(touch.getScrollDelta(11), 10);
  touch.touchUp(50, 290, 2000);
  // A new press elsewhere does not jump by the distance between the gestures.
  touch.touchDown(50, 100, 3000);
  EXPECT_EQ(touch.getScrollDelta(3001), 0);
}

TEST(TouchStateTest, GesturePointIsThePressOnceThenTheCurrentPoint) {
  TouchState touch;
  touch.touchDown(10, 20, 0);
  touch.touchMove(15, 25, 5);
  EXPECT_EQ(touch.takeGesturePoint().x, 10);
  EXPECT_EQ(touch.takeGesturePoint().x, 15);

  // A hold restarts the gesture at its point: no tap when the stylus is lifted.
  touch.holdAt(POINT{40, 60}, 10);
  EXPECT_TRUE(touch.holdRecognised());
  EXPECT_EQ(touch.takeGesturePoint().y, 60);
  touch.touchUp(40, 60, 20);
  EXPECT_FALSE(touch.tapRecorded());

  touch.reset(nullptr);
  EXPECT_FALSE(touch.holdRecognised());
  EXPECT_FALSE(touch.isPressed());
}

} // namespace
