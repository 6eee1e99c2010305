// The input panel: its geometry, and on a booted device SipShowIM, SipGetInfo and the keys
// typing into a child program's focused edit without taking the foreground.
#include "controls_fixture.h"

#include "../src/controls/input_panel_layout.h"

#include <ce/core/utf.h>

namespace {

using ce::InputPanelLayout;
using ce::TaskbarKind;
using controlstest::ControlsDevice;

bool contains(const RECT &outer, const RECT &inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(InputPanelLayout, ThePanelAndTheDesktopFollowTheScreenAndTheTaskbar) {
  EXPECT_EQ(InputPanelLayout::panelHeight(480, 640), 160);
  EXPECT_EQ(InputPanelLayout::panelHeight(640, 480), 160);
  EXPECT_EQ(InputPanelLayout::panelHeight(240, 320), 80);
  const RECT panel = InputPanelLayout::panelRect(640, 480);
  EXPECT_EQ(panel.left, 0);
  EXPECT_EQ(panel.right, 640);
  EXPECT_EQ(panel.top, 320);
  EXPECT_EQ(panel.bottom, 480);

  EXPECT_EQ(InputPanelLayout::taskbarHeight(TaskbarKind::Wm65, 480, 640), 36);
  EXPECT_EQ(InputPanelLayout::taskbarHeight(TaskbarKind::Classic, 480, 640), 52);
  // Turned, the taskbar is as high as the taskbar itself is: its height follows the width.
  EXPECT_EQ(InputPanelLayout::taskbarHeight(TaskbarKind::Classic, 320, 240), 35);
  EXPECT_EQ(InputPanelLayout::taskbarHeight(TaskbarKind::Wm65, 640, 480), 48);
  const RECT open = InputPanelLayout::visibleDesktop(TaskbarKind::Wm65, 480, 640, false);
  EXPECT_EQ(open.top, 36);
  EXPECT_EQ(open.bottom, 640);
  const RECT shrunk = InputPanelLayout::visibleDesktop(TaskbarKind::Wm65, 480, 640, true);
  EXPECT_EQ(shrunk.bottom, 480);
  EXPECT_EQ(shrunk.right, 480);
  // A screen too small for both leaves an empty desktop, never an inverted one.
  const RECT tiny = InputPanelLayout::visibleDesktop(TaskbarKind::Classic, 40, 30, true);
  EXPECT_LE(tiny.top, tiny.bottom);
}

TEST(InputPanelLayout, KeysTileThePanelWithoutOverlapping) {
  for (const auto &[w, h] :
       {std::pair{480, 160}, std::pair{640, 160}, std::pair{240, 80}, std::pair{7, 5}}) {
    const InputPanelLayout layout(w, h);
    const RECT panel{0, 0, w, h};
    ASSERT_EQ(layout.keys().size(), 10u + 10u + 9u + 8u + 2u);
    for (std::size_t i = 0; i < layout.keys().size(); ++i) {
      const RECT &a = layout.keys()[i].rect;
      EXPECT_TRUE(contains(panel, a)) << w << "x" << h << " key " << i;
      for (std::size_t j = i + 1; j < layout.keys().size(); ++j) {
        const RECT &b = layout.keys()[j].rect;
        const bool apart =
            a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
        EXPECT_TRUE(apart) << w << "x" << h << " keys " << i << " and " << j;
      }
    }
  }
  // Every letter, every digit, space, backspace and Enter; a key is found by its middle.
  const InputPanelLayout layout(480, 160);
  for (BYTE key : {BYTE('A'), BYTE('Z'), BYTE('0'), BYTE('9'), BYTE(VK_SPACE), BYTE(VK_BACK),
                   BYTE(VK_RETURN)}) {
    const auto *k = layout.find(key);
    ASSERT_NE(k, nullptr) << int(key);
    const POINT middle{(k->rect.left + k->rect.right) / 2, (k->rect.top + k->rect.bottom) / 2};
    EXPECT_EQ(layout.keyAt(middle), k);
  }
  EXPECT_EQ(layout.find('Q')->label, u"q");
  EXPECT_EQ(layout.keyAt(POINT{-1, 10}), nullptr);
  EXPECT_EQ(layout.keyAt(POINT{10, 160}), nullptr);
}

TEST(InputPanelFunctions, BadRecordsAreRefused) {
  EXPECT_FALSE(SipGetInfo(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SIPINFO info{};
  info.cbSize = 12;
  EXPECT_FALSE(SipGetInfo(&info));
  EXPECT_FALSE(SipSetInfo(&info));
  EXPECT_FALSE(SHSipInfo(0x1234, 0, &info, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class InputPanelEndToEnd : public ControlsDevice {
protected:
  static SIPINFO info() {
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    EXPECT_TRUE(SipGetInfo(&sip)) << GetLastError();
    return sip;
  }
  // Taps the middle of the panel key that presses `key`.
  void tapKey(BYTE key) {
    const SIPINFO sip = info();
    const InputPanelLayout layout(sip.rcSipRect.right - sip.rcSipRect.left,
                                  sip.rcSipRect.bottom - sip.rcSipRect.top);
    const auto *k = layout.find(key);
    ASSERT_NE(k, nullptr);
    tool({"tap", std::to_string(sip.rcSipRect.left + (k->rect.left + k->rect.right) / 2),
          std::to_string(sip.rcSipRect.top + (k->rect.top + k->rect.bottom) / 2)});
  }
};

TEST_F(InputPanelEndToEnd, ThePanelShowsShrinksTheDesktopAndTypesIntoTheFocusedEdit) {
  start("single");
  EXPECT_EQ(SipStatus(), SIP_STATUS_AVAILABLE);
  const HWND panel = FindWindowW(u"SipWndClass", nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(IsWindowVisible(panel));
  const SIPINFO before = info();
  EXPECT_EQ(before.fdwFlags & SIPF_ON, 0u);
  EXPECT_EQ(before.rcVisibleDesktop.top, 36);
  EXPECT_EQ(before.rcVisibleDesktop.bottom, 640);

  ASSERT_TRUE(SipShowIM(SIPF_ON));
  EXPECT_TRUE(IsWindowVisible(panel));
  const SIPINFO shown = info();
  EXPECT_NE(shown.fdwFlags & SIPF_ON, 0u);
  EXPECT_EQ(shown.rcSipRect.left, 0);
  EXPECT_EQ(shown.rcSipRect.right, 480);
  EXPECT_EQ(shown.rcSipRect.bottom, 640);
  EXPECT_EQ(shown.rcSipRect.top, 480);
  EXPECT_EQ(shown.rcVisibleDesktop.bottom, shown.rcSipRect.top);
  EXPECT_LT(shown.rcVisibleDesktop.bottom, before.rcVisibleDesktop.bottom);
  EXPECT_EQ(GetForegroundWindow(), frame_) << "showing the panel took the foreground";
  // It lies above the program's window.
  EXPECT_EQ(GetWindow(panel, GW_HWNDFIRST), panel);

  // Taps on keys type into the edit that has the focus; the foreground stays where it was.
  tapKey('H');
  tapKey('I');
  EXPECT_TRUE(titleBecomes(u"hi"));
  tapKey(VK_SPACE);
  tapKey('7');
  EXPECT_TRUE(titleBecomes(u"hi 7"));
  tapKey(VK_BACK);
  EXPECT_TRUE(titleBecomes(u"hi "));
  EXPECT_EQ(GetForegroundWindow(), frame_);

  // Turning the device keeps the panel at the bottom, across the new width.
  tool({"rotate"});
  EXPECT_TRUE(hosttest::eventually(
      [&] {
        RECT r{};
        GetWindowRect(panel, &r);
        return r.left == 0 && r.right == 640 && r.bottom == 480 && r.top == 320;
      },
      10000));
  EXPECT_TRUE(IsWindowVisible(panel));
  tapKey('Q');
  EXPECT_TRUE(titleBecomes(u"hi q"));

  // SHSipInfo hides it as a program does: read, clear the flags, write back.
  SIPINFO sip{};
  sip.cbSize = SIPINFO_DEVICE_SIZE;
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  sip.fdwFlags = 0;
  ASSERT_TRUE(SHSipInfo(SPI_SETSIPINFO, 0, &sip, 0));
  EXPECT_FALSE(IsWindowVisible(panel));
  EXPECT_EQ(info().rcVisibleDesktop.bottom, 480);
}

} // namespace
