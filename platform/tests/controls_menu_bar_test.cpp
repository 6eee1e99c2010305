// The parts of the soft-key bars that need no device: the keys made from a menu, what
// TB_SETBUTTONINFO does to them, the bar's size, the request's byte form, and the window
// manager's rule that lets an owner's process destroy the bar the host made for it.
#include "../src/controls/menu_bar.h"
#include "../src/controls/menu_bar_request.h"
#include "../src/windowing/window_manager.h"

#include <ce/errors.h>
#include <ce/menubar.h>
#include <ce/menus.h>

#include <gtest/gtest.h>

namespace {

using Key = ce::MenuBar::Key;

ce::MenuTree barMenu() {
  ce::MenuTree menu;
  menu.popup = false;
  auto popup = std::make_shared<ce::MenuTree>();
  popup->items.push_back({MF_STRING, 1014, u"Restore", nullptr});
  menu.items.push_back({MF_STRING, 1001, u"Lock", nullptr});
  menu.items.push_back({MF_POPUP, 0, u"Menu", popup});
  menu.items.push_back({MF_STRING, 1002, u"Never shown", nullptr});
  return menu;
}

TEST(MenuBarKeys, TheMenusFirstTwoItemsBecomeKeys) {
  const auto keys = ce::MenuBar::keysOf(barMenu());
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].id, 1001);
  EXPECT_EQ(keys[0].text, u"Lock");
  EXPECT_EQ(keys[0].popup, nullptr);
  EXPECT_TRUE(keys[0].enabled);
  ASSERT_NE(keys[1].popup, nullptr);
  EXPECT_EQ(keys[1].popup->items.at(0).id, 1014u);

  // A grayed item is a key that cannot be tapped; a popup item without a submenu opens an empty
  // menu; a separator makes an empty key; an empty menu makes no key.
  ce::MenuTree odd;
  odd.items.push_back({MF_POPUP | MF_GRAYED, 0, u"Gone", nullptr});
  odd.items.push_back({MF_SEPARATOR, 0, u"", nullptr});
  const auto oddKeys = ce::MenuBar::keysOf(odd);
  ASSERT_EQ(oddKeys.size(), 2u);
  EXPECT_FALSE(oddKeys[0].enabled);
  ASSERT_NE(oddKeys[0].popup, nullptr);
  EXPECT_TRUE(oddKeys[0].popup->items.empty());
  EXPECT_FALSE(oddKeys[1].enabled);
  EXPECT_TRUE(ce::MenuBar::keysOf(ce::MenuTree{}).empty());
}

TEST(MenuBarKeys, SetButtonInfoChangesTheKeyWithThatId) {
  auto keys = ce::MenuBar::keysOf(barMenu());
  WCHAR back[] = u"Back";
  TBBUTTONINFO info{};
  info.cbSize = TBBUTTONINFO_DEVICE_SIZE;
  info.dwMask = TBIF_COMMAND | TBIF_TEXT;
  info.idCommand = 1003;
  info.pszText = back;
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1001, &info));
  EXPECT_EQ(keys[0].id, 1003);
  EXPECT_EQ(keys[0].text, u"Back");
  EXPECT_FALSE(ce::MenuBar::setButtonInfo(keys, 1001, &info)) << "the old id is gone";

  // Only the fields the mask names change; a null text empties the label.
  info.dwMask = TBIF_TEXT;
  info.pszText = nullptr;
  info.idCommand = 7;
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1003, &info));
  EXPECT_EQ(keys[0].id, 1003);
  EXPECT_EQ(keys[0].text, u"");
  info.dwMask = TBIF_STATE;
  info.fsState = 0;
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1003, &info));
  EXPECT_FALSE(keys[0].enabled);
  info.fsState = TBSTATE_ENABLED;
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1003, &info));
  EXPECT_TRUE(keys[0].enabled);

  // By index; records of a wrong size and null records are refused.
  info.dwMask = TBIF_BYINDEX | TBIF_COMMAND;
  info.idCommand = 55;
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1, &info));
  EXPECT_EQ(keys[1].id, 55);
  EXPECT_NE(keys[1].popup, nullptr) << "a popup key stays one";
  EXPECT_FALSE(ce::MenuBar::setButtonInfo(keys, 2, &info));
  const auto before = keys;
  info.cbSize = 20;
  EXPECT_FALSE(ce::MenuBar::setButtonInfo(keys, 0, &info));
  EXPECT_FALSE(ce::MenuBar::setButtonInfo(keys, 1003, nullptr));
  EXPECT_EQ(keys, before);

  // A label is cut at the menu text limit.
  std::u16string huge(kMaxMenuTextUnits * 2, u'x');
  info.cbSize = sizeof info;
  info.dwMask = TBIF_TEXT;
  info.pszText = huge.data();
  EXPECT_TRUE(ce::MenuBar::setButtonInfo(keys, 1003, &info));
  EXPECT_EQ(keys[0].text.size(), static_cast<std::size_t>(kMaxMenuTextUnits));
}

TEST(MenuBarKeys, TheBarSpansTheScreensWidthAtAHeightProportionalToIt) {
  EXPECT_EQ(ce::MenuBar::height(SIZE{480, 640}), 52);
  EXPECT_EQ(ce::MenuBar::height(SIZE{640, 480}), 52) << "the short side sets the scale";
  EXPECT_EQ(ce::MenuBar::height(SIZE{240, 320}), 26);
  const auto keys = ce::MenuBar::keyRects(SIZE{480, 52}, false);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].left, 0);
  EXPECT_EQ(keys[0].right, keys[1].left);
  EXPECT_EQ(keys[1].right, 480);
  EXPECT_EQ(keys[1].bottom, 52);
  // The input panel button, a square in the middle, takes its place between the keys.
  for (const SIZE bar : {SIZE{480, 52}, SIZE{240, 26}, SIZE{60, 26}}) {
    const RECT button = ce::MenuBar::sipButtonRect(bar);
    const auto beside = ce::MenuBar::keyRects(bar, true);
    EXPECT_EQ(button.left - 0, bar.cx - button.right) << "centred at " << bar.cx;
    EXPECT_LE(button.right - button.left, bar.cy);
    EXPECT_GT(button.right - button.left, 0);
    EXPECT_EQ(beside[0].right, button.left);
    EXPECT_EQ(beside[1].left, button.right);
    EXPECT_EQ(beside[1].right, bar.cx);
    EXPECT_GT(beside[0].right, beside[0].left) << "a narrow bar keeps room for its keys";
  }
}

TEST(MenuBarRequest, WritesAndReadsBackAndRefusesBadBytes) {
  ce::MenuBarRequest request;
  request.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10008));
  request.flags = SHCMBF_HMENU | SHCMBF_COLORBK;
  request.colour = RGB(1, 2, 3);
  request.menu = barMenu();
  const auto bytes = request.encode();
  const auto back = ce::MenuBarRequest::decode(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->owner, request.owner);
  EXPECT_EQ(back->flags, request.flags);
  EXPECT_EQ(back->colour, request.colour);
  EXPECT_EQ(back->menu, request.menu);

  for (std::size_t cut = 0; cut < bytes.size(); cut += 3)
    EXPECT_FALSE(ce::MenuBarRequest::decode(std::span(bytes.data(), cut))) << cut;
  auto unknownFlag = bytes;
  unknownFlag[12] = 0x40;
  EXPECT_FALSE(ce::MenuBarRequest::decode(unknownFlag));
  auto noOwner = bytes;
  std::fill(noOwner.begin() + 4, noOwner.begin() + 12, 0);
  EXPECT_FALSE(ce::MenuBarRequest::decode(noOwner));
  std::vector<std::uint8_t> huge(ce::MenuBarRequest::kMaxBytes + 1, 0);
  std::copy(bytes.begin(), bytes.end(), huge.begin());
  EXPECT_FALSE(ce::MenuBarRequest::decode(huge));
}

// The host makes bars for other processes' windows; the owner's process may destroy them, a
// stranger may not.
TEST(MenuBarOwnership, AnOwnersProcessMayDestroyTheWindowsItOwns) {
  using WM = ce::host::WindowManager;
  WM wm(480, 640);
  const WM::Caller host{1, 10}, app{2, 20}, stranger{3, 30};
  ASSERT_NE(wm.registerClass(host, u"MenuBar", 0), 0);
  ASSERT_NE(wm.registerClass(app, u"App", 0), 0);
  WM::Creation window;
  window.className = u"App";
  const HWND owner = wm.createWindow(app, window);
  WM::Creation bar;
  bar.className = u"MenuBar";
  bar.parent = owner; // a top-level window's "parent" is its owner
  const HWND first = wm.createWindow(host, bar);
  const HWND second = wm.createWindow(host, bar);
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(wm.destroyWindow(stranger, first));
  EXPECT_EQ(wm.lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(wm.destroyWindow(host, owner)) << "owning a window gives no right over its owner";
  EXPECT_TRUE(wm.destroyWindow(app, first));
  EXPECT_FALSE(wm.isWindow(first));
  EXPECT_TRUE(wm.destroyWindow(host, second));
  EXPECT_TRUE(wm.isWindow(owner));
}

} // namespace
