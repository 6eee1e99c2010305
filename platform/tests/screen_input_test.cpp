// Input mapping: key names, key presses and typed text, stylus gestures, and the window
// presenter's translation of mouse and keyboard events.
#include "../src/screen/key_names.h"
#include "../src/screen/key_script.h"
#include "../src/screen/sdl_input_translator.h"
#include "../src/screen/stylus_gesture.h"

#include <ce/input.h>

#include <gtest/gtest.h>

using ce::InputEvent;
using ce::InputKind;

namespace {
// A key press whose character follows as its own event carries that character as well.
InputEvent typingKeyDown(std::uint8_t key, char16_t typed) {
  InputEvent down = InputEvent::keyEvent(InputKind::KeyDown, key);
  down.character = typed;
  return down;
}
} // namespace

TEST(ScreenInput, KeyNamesParseNamesLettersDigitsAndCodes) {
  EXPECT_EQ(ce::KeyNames::parse("LWIN"), VK_LWIN);
  EXPECT_EQ(ce::KeyNames::parse("enter"), VK_RETURN);
  EXPECT_EQ(ce::KeyNames::parse("Esc"), VK_ESCAPE);
  EXPECT_EQ(ce::KeyNames::parse("BACK"), VK_BACK);
  EXPECT_EQ(ce::KeyNames::parse("DOWN"), VK_DOWN);
  EXPECT_EQ(ce::KeyNames::parse("q"), 'Q');
  EXPECT_EQ(ce::KeyNames::parse("7"), '7');
  EXPECT_EQ(ce::KeyNames::parse("0x70"), VK_F1);
  EXPECT_EQ(ce::KeyNames::parse("0X5b"), VK_LWIN);
  EXPECT_EQ(ce::KeyNames::parse("0x1"), 1);
  for (const char* bad : {"", "0x", "0x00", "0xFF", "0x1FF", "0xG1", "AB", "!", "LWIN ", "é"})
    EXPECT_FALSE(ce::KeyNames::parse(bad)) << bad;
  // Names round-trip.
  for (int key = 1; key <= 0xFE; ++key)
    EXPECT_EQ(ce::KeyNames::parse(ce::KeyNames::name(std::uint8_t(key))), key);
}

TEST(ScreenInput, KeyPressesCarryTheCharacterTheyType) {
  const auto both = ce::KeyScript::press(VK_RETURN, ce::KeyDirection::DownAndUp);
  ASSERT_EQ(both.size(), 3u);
  EXPECT_EQ(both[0], typingKeyDown(VK_RETURN, u'\r'));
  EXPECT_EQ(both[1], InputEvent::typed(u'\r'));
  EXPECT_EQ(both[2], InputEvent::keyEvent(InputKind::KeyUp, VK_RETURN));
  const auto down = ce::KeyScript::press(VK_LWIN, ce::KeyDirection::Down);
  ASSERT_EQ(down.size(), 1u) << "the Windows key types nothing";
  const auto up = ce::KeyScript::press('A', ce::KeyDirection::Up);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].kind, InputKind::KeyUp);
}

TEST(ScreenInput, TypedTextBecomesKeysAndCharacters) {
  const auto events = ce::KeyScript::type(u"aB\r\n\u00E9\U0001F600");
  std::vector<InputEvent> expected = {
      typingKeyDown('A', u'a'),                          InputEvent::typed(u'a'),
      InputEvent::keyEvent(InputKind::KeyUp, 'A'),       InputEvent::keyEvent(InputKind::KeyDown, VK_SHIFT),
      typingKeyDown('B', u'B'),                          InputEvent::typed(u'B'),
      InputEvent::keyEvent(InputKind::KeyUp, 'B'),       InputEvent::keyEvent(InputKind::KeyUp, VK_SHIFT),
      typingKeyDown(VK_RETURN, u'\r'),                   InputEvent::typed(u'\r'),
      InputEvent::keyEvent(InputKind::KeyUp, VK_RETURN), InputEvent::typed(u'\u00E9'),
      InputEvent::typed(char16_t(0xD83D)),               InputEvent::typed(char16_t(0xDE00)),
  };
  EXPECT_EQ(events, expected);
  EXPECT_TRUE(ce::KeyScript::type(std::u16string(ce::KeyScript::kMaximumText + 1, u'x')).empty());
  EXPECT_EQ(ce::KeyScript::type(std::u16string(ce::KeyScript::kMaximumText, u'x')).size(),
            3 * ce::KeyScript::kMaximumText);
}

TEST(ScreenInput, StylusGesturesAreTimedAndInterpolated) {
  const auto tap = ce::StylusGesture::tap(10, 20);
  ASSERT_EQ(tap.size(), 2u);
  EXPECT_EQ(tap[0].event.kind, InputKind::StylusDown);
  EXPECT_EQ(tap[1].event, InputEvent::stylus(InputKind::StylusUp, 10, 20));

  const auto hold = ce::StylusGesture::hold(5, 6, ce::StylusGesture::kDefaultHold);
  ASSERT_TRUE(hold);
  EXPECT_EQ((*hold)[1].atMilliseconds, 1000u);
  EXPECT_FALSE(ce::StylusGesture::hold(5, 6, 60001));

  const auto drag = ce::StylusGesture::drag(0, 100, 30, 0, 300, 3);
  ASSERT_TRUE(drag);
  const std::vector<ce::TimedInput> expected = {
      {0, InputEvent::stylus(InputKind::StylusDown, 0, 100)},
      {100, InputEvent::stylus(InputKind::StylusMove, 10, 67)},
      {200, InputEvent::stylus(InputKind::StylusMove, 20, 34)},
      {300, InputEvent::stylus(InputKind::StylusMove, 30, 0)},
      {300, InputEvent::stylus(InputKind::StylusUp, 30, 0)},
  };
  EXPECT_EQ(*drag, expected);
  EXPECT_FALSE(ce::StylusGesture::drag(0, 0, 1, 1, 100, 0));
  EXPECT_FALSE(ce::StylusGesture::drag(0, 0, 1, 1, 100, 1001));
  // Far-apart points and many steps do not overflow.
  const auto wide = ce::StylusGesture::drag(-2000000000, 0, 2000000000, 0, 60000, 1000);
  ASSERT_TRUE(wide);
  EXPECT_EQ((*wide)[500].event.x, 0);
}

namespace {

SDL_Event mouse(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
  SDL_Event event{};
  event.type = type;
  if (type == SDL_MOUSEMOTION) {
    event.motion.x = x;
    event.motion.y = y;
  } else {
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
  }
  return event;
}

SDL_Event key(Uint32 type, SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0) {
  SDL_Event event{};
  event.type = type;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  event.key.repeat = repeat;
  return event;
}

} // namespace

TEST(ScreenInput, WindowMouseIsTheStylusScaledByZoom) {
  ce::SdlInputTranslator translator;
  translator.setGeometry(480, 800, 2);
  EXPECT_TRUE(translator.translate(mouse(SDL_MOUSEMOTION, 10, 10)).empty()) << "hovering";
  EXPECT_TRUE(translator.translate(mouse(SDL_MOUSEBUTTONDOWN, 10, 10, SDL_BUTTON_RIGHT)).empty());
  auto down = translator.translate(mouse(SDL_MOUSEBUTTONDOWN, 101, 203));
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0], InputEvent::stylus(InputKind::StylusDown, 50, 101));
  // Dragged out of the window: clamped to the screen.
  auto move = translator.translate(mouse(SDL_MOUSEMOTION, 5000, -40));
  ASSERT_EQ(move.size(), 1u);
  EXPECT_EQ(move[0], InputEvent::stylus(InputKind::StylusMove, 479, 0));
  auto up = translator.translate(mouse(SDL_MOUSEBUTTONUP, 0, 1599));
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0], InputEvent::stylus(InputKind::StylusUp, 0, 799));
  EXPECT_TRUE(translator.translate(mouse(SDL_MOUSEBUTTONUP, 0, 0)).empty()) << "already up";
}

TEST(ScreenInput, WindowKeysBecomeDeviceKeysAndRequests) {
  ce::SdlInputTranslator translator;
  auto f1 = translator.translate(key(SDL_KEYDOWN, SDLK_F1));
  ASSERT_EQ(f1.size(), 1u);
  EXPECT_EQ(f1[0], InputEvent::keyEvent(InputKind::KeyDown, VK_LWIN));
  auto letter = translator.translate(key(SDL_KEYDOWN, SDLK_g, KMOD_LSHIFT));
  ASSERT_EQ(letter.size(), 2u);
  EXPECT_EQ(letter[0], InputEvent::keyEvent(InputKind::KeyDown, 'G'));
  EXPECT_EQ(letter[1], InputEvent::typed(u'G'));
  auto back = translator.translate(key(SDL_KEYDOWN, SDLK_BACKSPACE));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1], InputEvent::typed(u'\b'));
  auto release = translator.translate(key(SDL_KEYUP, SDLK_LEFT));
  ASSERT_EQ(release.size(), 1u);
  EXPECT_EQ(release[0], InputEvent::keyEvent(InputKind::KeyUp, VK_LEFT));
  EXPECT_TRUE(translator.translate(key(SDL_KEYDOWN, SDLK_F5)).empty());

  auto rotate = translator.translate(key(SDL_KEYDOWN, SDLK_F2));
  ASSERT_EQ(rotate.size(), 1u);
  EXPECT_EQ(rotate[0].kind, InputKind::Rotate);
  EXPECT_TRUE(translator.translate(key(SDL_KEYDOWN, SDLK_F2, 0, 1)).empty()) << "held F2";
  EXPECT_TRUE(translator.translate(key(SDL_KEYUP, SDLK_F2)).empty());

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  auto first = translator.translate(close);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].kind, InputKind::PowerOff);
  EXPECT_TRUE(translator.translate(quit).empty()) << "one close, one power-off";
}
