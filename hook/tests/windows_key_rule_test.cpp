// The hardware Windows key on the hooked taskbar, message by message.
#include "windows_key_rule.h"

#include <ce/messages.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr WPARAM KeyA = 0x41;

struct Step {
  UINT message;
  WPARAM key;
};

class WindowsKeyRuleTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::memset(&record_, 0, sizeof record_);
    record_.hookWinKey = 1;
  }
  WindowsKeyRule::Outcome press(UINT message, WPARAM key) {
    return WindowsKeyRule::apply(record_, message, key);
  }
  GlobalValues record_{};
};

} // namespace

TEST_F(WindowsKeyRuleTest, TheKeyAloneAsksForTheMenuOnItsRelease) {
  const auto down = press(WM_KEYDOWN, VK_LWIN);
  EXPECT_TRUE(down.applies && down.swallow);
  EXPECT_FALSE(down.startRequest);
  EXPECT_EQ(record_.winKeyDown, 1);
  const auto up = press(WM_KEYUP, VK_LWIN);
  EXPECT_TRUE(up.applies && up.swallow && up.startRequest);
  EXPECT_EQ(record_.winKeyDown, 0);
  EXPECT_EQ(record_.winKeyUsed, 0);
}

TEST_F(WindowsKeyRuleTest, AsAModifierItAsksForNothingAndTheOtherKeyGoesOn) {
  press(WM_KEYDOWN, VK_LWIN);
  const auto otherDown = press(WM_KEYDOWN, KeyA);
  EXPECT_TRUE(otherDown.applies);
  EXPECT_FALSE(otherDown.swallow);
  EXPECT_EQ(record_.winKeyUsed, 1);
  const auto otherUp = press(WM_KEYUP, KeyA);
  EXPECT_TRUE(otherUp.applies);
  EXPECT_FALSE(otherUp.swallow);
  const auto up = press(WM_KEYUP, VK_LWIN);
  EXPECT_TRUE(up.swallow);
  EXPECT_FALSE(up.startRequest);
  // The next press alone asks again: the modifier use was forgotten.
  press(WM_KEYDOWN, VK_LWIN);
  EXPECT_TRUE(press(WM_KEYUP, VK_LWIN).startRequest);
}

TEST_F(WindowsKeyRuleTest, AHeldKeyRepeatingStaysOneRequest) {
  press(WM_KEYDOWN, VK_LWIN);
  press(WM_KEYDOWN, VK_LWIN);
  press(WM_KEYDOWN, VK_LWIN);
  EXPECT_TRUE(press(WM_KEYUP, VK_LWIN).startRequest);
  EXPECT_EQ(record_.winKeyDown, 0);
}

TEST_F(WindowsKeyRuleTest, OtherKeysAndMessagesAreNotItsBusiness) {
  EXPECT_FALSE(press(WM_KEYDOWN, KeyA).applies);
  EXPECT_FALSE(press(WM_KEYUP, KeyA).applies);
  EXPECT_FALSE(press(WM_CHAR, VK_LWIN).applies);
  EXPECT_FALSE(press(WM_LBUTTONDOWN, VK_LWIN).applies);
  EXPECT_EQ(record_.winKeyUsed, 0);
}

TEST_F(WindowsKeyRuleTest, WithTheKeyUnhookedEveryMessagePassesUnchanged) {
  record_.hookWinKey = 0;
  for (const Step step : {Step{WM_KEYDOWN, VK_LWIN}, Step{WM_KEYDOWN, KeyA}, Step{WM_KEYUP, KeyA},
                          Step{WM_KEYUP, VK_LWIN}}) {
    const auto outcome = press(step.message, step.key);
    EXPECT_FALSE(outcome.applies);
    EXPECT_FALSE(outcome.startRequest);
  }
  EXPECT_EQ(record_.winKeyDown, 0);
  // Any non-zero byte counts as set.
  record_.hookWinKey = 7;
  EXPECT_TRUE(press(WM_KEYDOWN, VK_LWIN).swallow);
}
