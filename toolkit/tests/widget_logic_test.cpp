// The widgets' rules that need no drawing: the item frame table and its states, the icon label
// cut, the edit field's scroll steps, launch commands worked out from targets, the run
// animation's path, dirty-rectangle clipping and the font sizes.
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/edit_scroll.h>
#include <toolkit/widget/item_frames.h>
#include <toolkit/widget/launch_command.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/run_animation.h>
#include <toolkit/widget/widget_fonts.h>

#include <gtest/gtest.h>

namespace {

struct FrameCase {
  int kind;
  int state;
  bool thirdState;
  int frame;
};

TEST(ItemFrames, EveryKindAndStateShowsItsFrame) {
  const FrameCase cases[] = {
      // Check box: the state is the frame of the six-frame strip, 6 and 7 the third-state strip.
      {ItemCheckBox, 0, false, 0},
      {ItemCheckBox, 1, false, 1},
      {ItemCheckBox, 2, false, 2},
      {ItemCheckBox, 3, false, 3},
      {ItemCheckBox, 4, false, 4},
      {ItemCheckBox, 5, false, 5},
      {ItemCheckBox, 6, true, 0},
      {ItemCheckBox, 7, true, 1},
      // Switch: 0-3 as they are, 4 and 5 the disabled frame 6.
      {ItemSwitch, 0, false, 0},
      {ItemSwitch, 1, false, 1},
      {ItemSwitch, 2, false, 2},
      {ItemSwitch, 3, false, 3},
      {ItemSwitch, 4, false, 6},
      {ItemSwitch, 5, false, 6},
      {ItemSwitch, 6, true, 0},
      {ItemSwitch, 7, true, 1},
  };
  for (const FrameCase &c : cases) {
    const ItemFrame frame = itemFrame(c.kind, c.state);
    EXPECT_EQ(frame.thirdState, c.thirdState) << c.kind << "/" << c.state;
    EXPECT_EQ(frame.frame, c.frame) << c.kind << "/" << c.state;
  }
  // Buttons of the three kinds: up, pressed, disabled; no third state.
  for (int kind : {ItemButton, ItemLargeMessageButton, ItemSmallMessageButton}) {
    const int expected[] = {0, 0, 2, 2, 1, 1, 0, 0};
    for (int state = 0; state < 8; ++state) {
      EXPECT_FALSE(itemFrame(kind, state).thirdState);
      EXPECT_EQ(itemFrame(kind, state).frame, expected[state]) << kind << "/" << state;
    }
  }
  // Out-of-range states never reach outside a strip.
  EXPECT_EQ(itemFrame(ItemCheckBox, 9).frame, 0);
  EXPECT_EQ(itemFrame(ItemSwitch, -1).frame, 0);
}

TEST(ItemFrames, StripsAndColourPairsFollowTheKind) {
  EXPECT_EQ(itemStrip(ItemCheckBox).role, SkinImage::CheckBox);
  EXPECT_EQ(itemStrip(ItemCheckBox).frames, 6);
  EXPECT_EQ(itemStrip(ItemSwitch).frames, 7);
  EXPECT_EQ(itemStrip(ItemButton).role, SkinImage::NormalButton);
  EXPECT_EQ(itemStrip(ItemLargeMessageButton).role, SkinImage::MessageBoxLargeButton);
  EXPECT_EQ(itemStrip(ItemSmallMessageButton).role, SkinImage::MessageBoxSmallButton);
  EXPECT_EQ(itemThirdStateStrip(ItemCheckBox).role, SkinImage::CheckBoxThirdState);
  EXPECT_EQ(itemThirdStateStrip(ItemSwitch).role, SkinImage::SwitchThirdState);
  EXPECT_FALSE(hasThirdStateStrip(ItemButton));

  // Disabled colours only for disabled buttons; pressed for 2, 3 and 7; normal otherwise.
  EXPECT_EQ(itemColors(ItemButton, 4), ItemColors::Disabled);
  EXPECT_EQ(itemColors(ItemSmallMessageButton, 5), ItemColors::Disabled);
  EXPECT_EQ(itemColors(ItemCheckBox, 4), ItemColors::Normal);
  for (int state : {2, 3, 7})
    EXPECT_EQ(itemColors(ItemSwitch, state), ItemColors::Pressed) << state;
  for (int state : {0, 1, 6})
    EXPECT_EQ(itemColors(ItemButton, state), ItemColors::Normal) << state;
}

TEST(ItemFrames, PressesAndTapsMoveBetweenStates) {
  EXPECT_EQ(pressedState(0), 2);
  EXPECT_EQ(pressedState(1), 3);
  EXPECT_EQ(pressedState(6), 7);
  EXPECT_EQ(pressedState(4), 4);
  for (int state : {0, 1, 4, 5, 6})
    EXPECT_EQ(releasedState(pressedState(state)), state) << state;
  EXPECT_EQ(releasedState(7), 6);
  EXPECT_EQ(releasedState(5), 5);

  // A tap on a pressed check box or switch turns it over; the third state becomes checked.
  EXPECT_EQ(tappedState(ItemCheckBox, 2), 1);
  EXPECT_EQ(tappedState(ItemCheckBox, 3), 0);
  EXPECT_EQ(tappedState(ItemSwitch, 7), 1);
  EXPECT_EQ(tappedState(ItemSwitch, 0), 1);
  // Buttons come back up; disabled items never change.
  EXPECT_EQ(tappedState(ItemButton, 2), 0);
  EXPECT_EQ(tappedState(ItemButton, 3), 1);
  EXPECT_EQ(tappedState(ItemCheckBox, 5), 5);
  EXPECT_EQ(tappedState(ItemButton, 4), 4);
}

TEST(IconLabel, NamesLongerThanTwentyTwoCharactersAreCut) {
  const std::u16string twentyTwo = u"abcdefghijklmnopqrstuv";
  ASSERT_EQ(twentyTwo.size(), 22u);
  EXPECT_EQ(MyIcon::labelText(twentyTwo), twentyTwo);
  EXPECT_EQ(MyIcon::labelText(twentyTwo + u"w"), u"abcdefghijklmnopqrst...");
  EXPECT_EQ(MyIcon::labelText(u""), u"");
  // A character outside the basic plane is never cut in half.
  std::u16string pair = u"abcdefghijklmnopqrs\U0001F600xyz";
  ASSERT_EQ(pair.size(), 24u);
  EXPECT_EQ(MyIcon::labelText(pair), u"abcdefghijklmnopqrs...");
}

TEST(EditScroll, AFieldBelowThePanelMovesUpByAQuarterThenAllAtOnce) {
  EditScrollPlace place;
  place.top = 500;
  place.bottom = 564;
  place.limit = 480;
  place.upper = 64;
  place.sinceTap = 0;
  EXPECT_EQ(editScrollStep(place), -22); // truncate(84 / 4 + 1)
  place.sinceTap = 200;
  EXPECT_EQ(editScrollStep(place), -22) << "200 ms is still within the easing";
  place.sinceTap = 201;
  EXPECT_EQ(editScrollStep(place), -84);
  place.eased = false;
  place.sinceTap = 0;
  EXPECT_EQ(editScrollStep(place), -84) << "no section to follow: at once";

  // One pixel over still moves; in place or above the limit nothing moves.
  place.eased = true;
  place.bottom = 481;
  EXPECT_EQ(editScrollStep(place), -1);
  place.bottom = 480;
  EXPECT_EQ(editScrollStep(place), 0);
  // A top above 51 is never moved up, however low the bottom.
  place.top = 50;
  place.bottom = 700;
  EXPECT_EQ(editScrollStep(place), 0);
  place.top = 51;
  EXPECT_LT(editScrollStep(place), 0);
}

TEST(EditScroll, AFieldUnderTheTitleMovesDownWithoutPassingThePanel) {
  EditScrollPlace place;
  place.top = 20;
  place.bottom = 84;
  place.limit = 480;
  place.upper = 64;
  place.sinceTap = 500;
  EXPECT_EQ(editScrollStep(place), 44);
  place.sinceTap = 10;
  EXPECT_EQ(editScrollStep(place), 12); // truncate(44 / 4 + 1)
  // With little room below, it stops at the panel's top.
  place.sinceTap = 500;
  place.limit = 100;
  EXPECT_EQ(editScrollStep(place), 16);
  // Converges: applying the steps reaches the place and stays.
  place.limit = 480;
  place.sinceTap = 0;
  for (int frame = 0; frame < 100; ++frame) {
    const int step = editScrollStep(place);
    if (step == 0)
      break;
    place.top += step;
    place.bottom += step;
  }
  EXPECT_EQ(place.top, 64);
  EXPECT_EQ(editScrollStep(place), 0);
}

TEST(LaunchCommand, TargetsSplitAtTheClosingQuoteOrAfterTheProgram) {
  EXPECT_EQ(LaunchCommand::fromTarget(u"\"\\Program Files\\My App\\app.exe\" -open x"),
            (LaunchCommand{u"\\Program Files\\My App\\app.exe", u"-open x"}));
  EXPECT_EQ(LaunchCommand::fromTarget(u"\\windows\\ctlpnl.exe \\Windows\\system.cpl,2"),
            (LaunchCommand{u"\\windows\\ctlpnl.exe", u"\\Windows\\system.cpl,2"}));
  EXPECT_EQ(LaunchCommand::fromTarget(u"\\Windows\\TOOL.EXE"),
            (LaunchCommand{u"\\Windows\\TOOL.EXE", u""}));
  EXPECT_EQ(LaunchCommand::fromTarget(u"  \\My Documents\\notes.txt  "),
            (LaunchCommand{u"\\My Documents\\notes.txt", u""}));
  EXPECT_EQ(LaunchCommand::fromTarget(u"\"\\no end.exe -x"),
            (LaunchCommand{u"\\no end.exe -x", u""}));
  EXPECT_EQ(LaunchCommand::fromTarget(u""), (LaunchCommand{}));
}

TEST(RunAnimation, ZoomsTowardsTheMiddleInFiveFrames) {
  // An 80-pixel picture at (40, 100) on a 480 x 640 screen: dx = 20 - 200 * 0.2 = -20,
  // dy = 20 - 220 * 0.2 = -24.
  const auto frames = RunAnimation::frames(RECT{40, 100, 120, 180}, 480, 640);
  ASSERT_EQ(frames.size(), 5u);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const LONG step = static_cast<LONG>(i);
    EXPECT_EQ(frames[i].left, 40 + 20 * step) << i;
    EXPECT_EQ(frames[i].top, 100 + 24 * step) << i;
    EXPECT_EQ(frames[i].right - frames[i].left, 80 + 40 * step) << i;
    EXPECT_EQ(frames[i].bottom - frames[i].top, 80 + 40 * step) << i;
  }
  // Truncation towards zero of fractional steps: dx = 20 - (240 - 3) * 0.2 = -27.4.
  const auto fractional = RunAnimation::frames(RECT{3, 0, 13, 10}, 480, 640);
  EXPECT_EQ(fractional[1].left, 30);
  EXPECT_EQ(fractional[2].left, 57);
}

TEST(DirtyClip, CutsDestinationAndSourceInProportion) {
  // 1:1, cut on every side.
  auto copy = clipCopy(RECT{10, 10, 50, 30}, RECT{0, 0, 40, 20}, RECT{20, 15, 45, 100});
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->destination.left, 20);
  EXPECT_EQ(copy->destination.top, 15);
  EXPECT_EQ(copy->destination.right, 45);
  EXPECT_EQ(copy->destination.bottom, 30);
  EXPECT_EQ(copy->source.left, 10);
  EXPECT_EQ(copy->source.top, 5);
  EXPECT_EQ(copy->source.right, 35);
  EXPECT_EQ(copy->source.bottom, 20);
  EXPECT_EQ(copy->clipLeft, 10);
  EXPECT_EQ(copy->clipTop, 5);
  // Stretched twice as wide: the source is cut by half the amount.
  copy = clipCopy(RECT{0, 0, 100, 10}, RECT{0, 0, 50, 10}, RECT{40, 0, 100, 10});
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->source.left, 20);
  EXPECT_EQ(copy->source.right, 50);
  // Apart, touching, or empty: nothing.
  EXPECT_FALSE(clipCopy(RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, RECT{10, 0, 20, 10}));
  EXPECT_FALSE(clipCopy(RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, RECT{}));
  EXPECT_FALSE(clipCopy(RECT{0, 0, 0, 10}, RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}));
  EXPECT_TRUE(rectanglesMeet(RECT{0, 0, 10, 10}, RECT{9, 9, 20, 20}));
  EXPECT_FALSE(rectanglesMeet(RECT{0, 0, 10, 10}, RECT{10, 10, 20, 20}));
}

TEST(WidgetFonts, SizesAndChoices) {
  // -(points x dots per inch / 72), truncated.
  EXPECT_EQ(WidgetFonts::heightFor(9, 96), -12);
  EXPECT_EQ(WidgetFonts::heightFor(7, 96), -9);
  EXPECT_EQ(WidgetFonts::heightFor(10, 192), -26);
  EXPECT_EQ(WidgetFonts::heightFor(7, 131), -12);
  EXPECT_EQ(WidgetFonts::choiceFor(1), FontChoice::Large);
  EXPECT_EQ(WidgetFonts::choiceFor(2), FontChoice::Italic);
  EXPECT_EQ(WidgetFonts::choiceFor(3), FontChoice::Small);
  EXPECT_EQ(WidgetFonts::choiceFor(0), FontChoice::Normal);
  EXPECT_EQ(WidgetFonts::choiceFor(7), FontChoice::Normal);
}

TEST(LabelTheme, StylesPickTheirColours) {
  EXPECT_EQ(MyLabel::themeColor(1), 0xC4C4C4u);
  EXPECT_EQ(MyLabel::themeColor(2), 0x808080u);
  EXPECT_EQ(MyLabel::themeColor(3), 0xC4C4C4u);
  EXPECT_EQ(MyLabel::themeColor(0), 0x050505u);
  EXPECT_EQ(MyLabel::themeColor(4), 0x050505u);
  EXPECT_EQ(MyLabel::themeColor(-1), 0x050505u);
}

} // namespace
