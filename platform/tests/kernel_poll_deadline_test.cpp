// The time left of a polling wait, at its edges: no deadline, one already passed, the last
// fraction of a millisecond, and the largest limit.
#include "../src/kernel/poll_deadline.h"

#include <gtest/gtest.h>

#include <climits>

using ce::PollDeadline;
using namespace std::chrono_literals;

TEST(PollDeadline, TimeoutsFromNoDeadlineToPassedRoundUpAndStopExactlyAtTheEnd) {
  const auto start = PollDeadline::Clock::now();
  EXPECT_EQ(PollDeadline::never().pollTimeout(start + 1000h), -1);
  EXPECT_FALSE(PollDeadline::never().limited());
  EXPECT_EQ(PollDeadline::forLimit(0).pollTimeout(start), -1) << "0 waits for ever";
  EXPECT_EQ(PollDeadline::forLimit(-1).pollTimeout(start), -1);

  EXPECT_FALSE(PollDeadline::in(0, start).pollTimeout(start)) << "nothing left at once";
  EXPECT_FALSE(PollDeadline::in(-5, start).pollTimeout(start));

  const auto ten = PollDeadline::in(10, start);
  EXPECT_TRUE(ten.limited());
  EXPECT_EQ(ten.pollTimeout(start), 10);
  EXPECT_EQ(ten.pollTimeout(start + 1us), 10) << "a part of a millisecond counts as one";
  EXPECT_EQ(ten.pollTimeout(start + 9ms), 1);
  EXPECT_EQ(ten.pollTimeout(start + 9ms + 999us), 1);
  EXPECT_FALSE(ten.pollTimeout(start + 10ms)) << "a poll that timed out at the end is the last";
  EXPECT_FALSE(ten.pollTimeout(start + 1h));

  EXPECT_EQ(PollDeadline::in(INT_MAX, start).pollTimeout(start), INT_MAX);
  EXPECT_GT(PollDeadline::forLimit(INT_MAX).pollTimeout().value_or(0), INT_MAX - 1000);
}
