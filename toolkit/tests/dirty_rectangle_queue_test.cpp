// Merging of the dirty-rectangle queue and the grey of snapshot backgrounds.
#include <toolkit/display/dirty_rectangle_queue.h>
#include <toolkit/display/snapshot_grey.h>

#include <gtest/gtest.h>

namespace {

TEST(DirtyRectangleQueueTest, CoveredRectanglesMergeAway) {
  DirtyRectangleQueue queue;
  EXPECT_TRUE(queue.add({0, 0, 100, 100}, false)) << "the first rectangle asks for a drain";
  EXPECT_FALSE(queue.add({10, 10, 20, 20}, false));
  EXPECT_EQ(queue.size(), 1u) << "a rectangle inside a queued one changes nothing";
  EXPECT_FALSE(queue.add({200, 0, 300, 50}, false));
  EXPECT_FALSE(queue.add({150, 0, 160, 10}, false));
  EXPECT_EQ(queue.size(), 3u);

  // Covering two queued rectangles leaves one entry for them.
  EXPECT_FALSE(queue.add({0, 0, 200, 200}, false));
  ASSERT_EQ(queue.size(), 2u);
  EXPECT_EQ(queue.entries()[0].area.left, 200);
  EXPECT_EQ(queue.entries()[1].area.right, 200);

  DirtyRectangle front;
  ASSERT_TRUE(queue.takeFront(front));
  EXPECT_EQ(front.area.left, 200);
  ASSERT_TRUE(queue.takeFront(front));
  EXPECT_FALSE(queue.takeFront(front));
  EXPECT_TRUE(queue.add({1, 1, 2, 2}, false)) << "empty again: the next one asks again";
}

TEST(DirtyRectangleQueueTest, AMergeKeepsAFullRedraw) {
  DirtyRectangleQueue queue;
  queue.add({0, 0, 480, 640}, false);
  queue.add({0, 0, 480, 640}, true);
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_TRUE(queue.entries()[0].fullRedraw);

  DirtyRectangleQueue other;
  other.add({10, 10, 20, 20}, true);
  other.add({0, 0, 50, 50}, false);
  ASSERT_EQ(other.size(), 1u);
  EXPECT_TRUE(other.entries()[0].fullRedraw);
}

TEST(SnapshotGreyTest, GreenAndBlueMakeADarkGrey) {
  EXPECT_EQ(snapshotGrey(0xFFFF), 0x318C);
  EXPECT_EQ(snapshotGrey(0x7C00), 0x0000) << "red is ignored";
  EXPECT_EQ(snapshotGrey(0x001F), 6 * 0x421);
  EXPECT_EQ(snapshotGrey(0x03E0), 6 * 0x421);
  for (unsigned pixel = 0; pixel <= 0xFFFF; ++pixel) {
    const unsigned grey = snapshotGrey(static_cast<std::uint16_t>(pixel));
    const unsigned level = grey & 31;
    ASSERT_EQ(grey, level * 0x421u);
    ASSERT_LE(level, 12u);
    ASSERT_EQ(level, (((pixel >> 5) & 31) + (pixel & 31)) / 5);
  }
}

} // namespace
