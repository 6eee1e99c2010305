#include "menu_bar.h"

#include "menu_style.h"
#include "popup_tracker.h"

#include "../shell/shell_messages.h"
#include "../windowing/window_binding.h"
#include "../windowing/window_state_view.h"

#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/kernel.h>
#include <ce/menubar.h>
#include <ce/menus.h>
#include <ce/sip.h>

#include <algorithm>

namespace ce {

namespace {

POINT clientPoint(LPARAM lParam) {
  return POINT{static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF)};
}

bool inside(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

SIZE screenSize() { return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

using FrameBinding = WindowBinding<&MenuBar::frameMessage>;
using ToolbarBinding = WindowBinding<&MenuBar::toolbarMessage>;

} // namespace

bool MenuBar::registerClasses() {
  return FrameBinding::registerClass(kFrameClass) && ToolbarBinding::registerClass(kToolbarClass);
}

int MenuBar::height(SIZE screen) {
  return MenuStyle::pixels(kHeightUnits, MenuStyle::scaleFor(screen.cx, screen.cy));
}

std::vector<RECT> MenuBar::keyRects(SIZE bar, bool withSipButton) {
  const int middle = static_cast<int>(bar.cx) / 2;
  if (!withSipButton)
    return {RECT{0, 0, middle, bar.cy}, RECT{middle, 0, bar.cx, bar.cy}};
  const RECT button = sipButtonRect(bar);
  return {RECT{0, 0, button.left, bar.cy}, RECT{button.right, 0, bar.cx, bar.cy}};
}

RECT MenuBar::sipButtonRect(SIZE bar) {
  const LONG side = std::min(bar.cy, bar.cx / 3);
  const LONG left = (bar.cx - side) / 2;
  return RECT{left, 0, left + side, bar.cy};
}

std::vector<MenuBar::Key> MenuBar::keysOf(const MenuTree &menu) {
  std::vector<Key> keys;
  for (const auto &item : menu.items) {
    if (keys.size() == 2)
      break;
    Key key;
    if (!item.isSeparator()) {
      key.id = static_cast<int>(item.id);
      key.text = item.text;
      key.enabled = item.isEnabled();
      if (item.isPopup())
        key.popup = item.submenu ? item.submenu : std::make_shared<MenuTree>();
    } else {
      key.enabled = false; // a separator makes an empty key
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

bool MenuBar::setButtonInfo(std::vector<Key> &keys, WPARAM which, const TBBUTTONINFO *info) {
  if (!info || (info->cbSize != TBBUTTONINFO_DEVICE_SIZE && info->cbSize != sizeof(TBBUTTONINFO)))
    return false;
  Key *key = nullptr;
  if (info->dwMask & TBIF_BYINDEX) {
    if (which < keys.size())
      key = &keys[which];
  } else {
    for (Key &k : keys)
      if (k.id == static_cast<int>(which)) {
        key = &k;
        break;
      }
  }
  if (!key)
    return false;
  if (info->dwMask & TBIF_COMMAND)
    key->id = info->idCommand;
  if (info->dwMask & TBIF_TEXT) {
    key->text.clear();
    if (info->pszText)
      for (const WCHAR *c = info->pszText; *c && key->text.size() < kMaxMenuTextUnits; ++c)
        key->text.push_back(*c);
  }
  if (info->dwMask & TBIF_STATE)
    key->enabled = (info->fsState & TBSTATE_ENABLED) != 0;
  return true;
}

MenuBar::MenuBar(MenuBarRequest request, Gone gone)
    : owner_(request.owner), flags_(request.flags), colour_(request.colour),
      keys_(keysOf(request.menu)), gone_(std::move(gone)) {}

MenuBar::~MenuBar() {
  // The windows are gone by now (or the host is); only the font is left.
  if (font_)
    DeleteObject(font_);
}

void MenuBar::windowGone() {
  if (!frame_ && !toolbar_ && gone_)
    std::exchange(gone_, nullptr)(*this);
}

bool MenuBar::create() {
  screen_ = screenSize();
  size_ = SIZE{screen_.cx, height(screen_)};
  font_ = MenuStyle::createFont(
      MenuStyle::pixels(kFontUnits, MenuStyle::scaleFor(screen_.cx, screen_.cy)), true);
  // Never activated: tapping a key must leave the owner window in front.
  frame_ =
      FrameBinding::create(*this, WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kFrameClass, u"", WS_POPUP,
                           RECT{0, screen_.cy - size_.cy, size_.cx, screen_.cy}, owner_);
  if (!frame_)
    return false;
  toolbar_ = ToolbarBinding::create(*this, 0, kToolbarClass, u"", WS_CHILD | WS_VISIBLE,
                                    RECT{0, 0, size_.cx, size_.cy}, frame_);
  if (!toolbar_) {
    const DWORD error = GetLastError();
    DestroyWindow(frame_);
    frame_ = nullptr;
    SetLastError(error);
    return false;
  }
  // The bar follows its owner as the view of the windows tells of it: watched before it is
  // first looked at, so that no change falls between.
  ownerWatch_ = WindowStateView::instance().watch(frame_, shell::kMenuBarOwnerMessage, owner_,
                                                  WindowStateView::kShownOrHidden |
                                                      WindowStateView::kDestroyed);
  shown_ = IsWindowVisible(owner_) != FALSE;
  if (shown_)
    ShowWindow(frame_, SW_SHOWNA);
  return true;
}

void MenuBar::layout() {
  screen_ = screenSize();
  size_ = SIZE{screen_.cx, height(screen_)};
  SetWindowPos(frame_, nullptr, 0, screen_.cy - size_.cy, size_.cx, size_.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(toolbar_, nullptr, 0, 0, size_.cx, size_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  redraw();
}

void MenuBar::follow() {
  // The bar goes with its owner and shows while the owner does. (The window manager destroys
  // owned windows with their owner; this covers an owner that is gone without that.)
  if (!IsWindow(owner_)) {
    DestroyWindow(frame_);
    return;
  }
  const bool ownerVisible = IsWindowVisible(owner_) != FALSE;
  if (ownerVisible != shown_) {
    shown_ = ownerVisible;
    ShowWindow(frame_, ownerVisible ? SW_SHOWNA : SW_HIDE);
  }
}

void MenuBar::redraw() {
  if (toolbar_)
    InvalidateRect(toolbar_, nullptr, FALSE);
}

int MenuBar::keyAt(POINT client) const {
  if (sipButtonShown() && inside(sipButtonRect(size_), client))
    return kSipButton;
  const auto rects = keyRects(size_, sipButtonShown());
  for (std::size_t i = 0; i < keys_.size() && i < rects.size(); ++i)
    if (inside(rects[i], client))
      return static_cast<int>(i);
  return -1;
}

void MenuBar::tapped(int index) {
  if (index == kSipButton) {
    // The button shows the input panel, or hides it when it shows.
    SIPINFO info{};
    info.cbSize = sizeof info;
    const bool on = SipGetInfo(&info) && (info.fdwFlags & SIPF_ON);
    SipShowIM(on ? SIPF_OFF : SIPF_ON);
    return;
  }
  const Key key = keys_[static_cast<std::size_t>(index)]; // a copy: a relabel may come meanwhile
  if (!key.enabled)
    return;
  if (!key.popup) {
    PostMessageW(owner_, WM_COMMAND, static_cast<WPARAM>(static_cast<UINT>(key.id)), 0);
    return;
  }
  // The key's menu opens above it, at the screen's edge on its side.
  RECT bar{};
  GetWindowRect(frame_, &bar);
  const bool left = index == 0;
  const POINT at{left ? bar.left : bar.right, bar.top};
  open_ = index;
  redraw();
  PopupTracker tracker(*key.popup, owner_);
  const auto chosen =
      tracker.run(at, (left ? TPM_LEFTALIGN : TPM_RIGHTALIGN) | TPM_BOTTOMALIGN, nullptr);
  open_ = -1;
  redraw();
  if (chosen && *chosen)
    PostMessageW(owner_, WM_COMMAND, static_cast<WPARAM>(*chosen), 0);
}

void MenuBar::paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(toolbar_, &ps);
  if (!dc) {
    EndPaint(toolbar_, &ps);
    return;
  }
  const int scale = MenuStyle::scaleFor(screen_.cx, screen_.cy);
  const RECT all{0, 0, size_.cx, size_.cy};
  const COLORREF face = (flags_ & SHCMBF_COLORBK) ? colour_ : MenuStyle::kBarFace;
  MenuStyle::fill(dc, all, face);
  const int line = MenuStyle::pixels(1, scale);
  MenuStyle::fill(dc, RECT{0, 0, size_.cx, line}, MenuStyle::kBarLine);
  const auto rects = keyRects(size_, sipButtonShown());
  // The divider between the keys, a little shorter than the bar, or the input panel button.
  const int inset = size_.cy / 4;
  if (sipButtonShown()) {
    paintSipButton(dc, scale, press_.shownPressed() == kSipButton);
  } else {
    const int divider = rects[0].right - line / 2;
    MenuStyle::fill(dc, RECT{divider, inset, divider + line, size_.cy - inset},
                    MenuStyle::kBarLine);
  }
  HGDIOBJ previous = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  for (std::size_t i = 0; i < keys_.size() && i < rects.size(); ++i) {
    const Key &key = keys_[i];
    const bool down = static_cast<int>(i) == press_.shownPressed() || static_cast<int>(i) == open_;
    if (down)
      MenuStyle::fill(dc, RECT{rects[i].left, line, rects[i].right, rects[i].bottom},
                      MenuStyle::kBarPressed);
    SetTextColor(dc, key.enabled ? MenuStyle::kBarText : MenuStyle::kBarGrayText);
    RECT text = rects[i];
    text.left += MenuStyle::pixels(6, scale);
    text.right -= MenuStyle::pixels(6, scale);
    DrawTextW(dc, key.text.c_str(), static_cast<int>(key.text.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  SelectObject(dc, previous);
  EndPaint(toolbar_, &ps);
}

void MenuBar::paintSipButton(HDC dc, int scale, bool down) {
  const RECT button = sipButtonRect(size_);
  const int line = MenuStyle::pixels(1, scale);
  if (down)
    MenuStyle::fill(dc, RECT{button.left, line, button.right, button.bottom},
                    MenuStyle::kBarPressed);
  // A keyboard: an outline with two rows of keys and a space bar.
  const LONG width = button.right - button.left, height = button.bottom - button.top;
  const RECT board{button.left + width / 6, button.top + height * 3 / 10, button.right - width / 6,
                   button.bottom - height * 3 / 10};
  const COLORREF ink = MenuStyle::kBarText;
  MenuStyle::fill(dc, RECT{board.left, board.top, board.right, board.top + line}, ink);
  MenuStyle::fill(dc, RECT{board.left, board.bottom - line, board.right, board.bottom}, ink);
  MenuStyle::fill(dc, RECT{board.left, board.top, board.left + line, board.bottom}, ink);
  MenuStyle::fill(dc, RECT{board.right - line, board.top, board.right, board.bottom}, ink);
  const LONG rows = 3, columns = 5;
  const LONG cellW = (board.right - board.left) / (columns + 1);
  const LONG cellH = (board.bottom - board.top) / (rows + 1);
  const LONG key = std::max<LONG>(line, std::min(cellW, cellH) / 2);
  for (LONG row = 0; row < rows - 1; ++row)
    for (LONG column = 0; column < columns; ++column) {
      const LONG x = board.left + cellW * (column + 1) - key / 2;
      const LONG y = board.top + cellH * (row + 1) - key / 2;
      MenuStyle::fill(dc, RECT{x, y, x + key, y + key}, ink);
    }
  const LONG spaceY = board.top + cellH * rows - key / 2;
  MenuStyle::fill(dc,
                  RECT{board.left + cellW * 2 - key / 2, spaceY, board.right - cellW * 2 + key / 2,
                       spaceY + key},
                  ink);
}

LRESULT MenuBar::frameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE:
    frame_ = hwnd;
    return 0;
  case shell::kMenuBarSipButtonMessage:
    if (sipButtonHidden_ != (wParam == 0)) {
      sipButtonHidden_ = wParam == 0;
      redraw();
    }
    return 0;
  case shell::kMenuBarOwnerMessage:
    follow();
    return 0;
  case WM_SETTINGCHANGE:
  case WM_WINDOWPOSCHANGED: {
    // The screen turned (the window manager tells top-level windows): along the new bottom.
    const SIZE screen = screenSize();
    if (screen.cx != screen_.cx || screen.cy != screen_.cy)
      layout();
    return 0;
  }
  case WM_CLOSE:
    DestroyWindow(frame_);
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_DESTROY:
    if (hwnd != frame_ || IsWindow(hwnd))
      return 0; // only posted: the bar goes with its owner or when closed
    WindowStateView::instance().unwatch(ownerWatch_);
    ownerWatch_ = 0;
    frame_ = nullptr;
    windowGone();
    return 0;
  default:
    // Tool bar messages sent to the bar's window are the keys' business.
    if (message >= WM_USER && message < WM_USER + 0x400 && toolbar_)
      return SendMessageW(toolbar_, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT MenuBar::toolbarMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE:
    toolbar_ = hwnd;
    return 0;
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK: {
    const int key = keyAt(clientPoint(lParam));
    press_.begin(
        key == kSipButton || (key >= 0 && keys_[static_cast<std::size_t>(key)].enabled) ? key : -1);
    redraw();
    return 0;
  }
  case WM_MOUSEMOVE:
    if (press_.move(keyAt(clientPoint(lParam))))
      redraw();
    return 0;
  case WM_LBUTTONUP: {
    const int key = press_.end(keyAt(clientPoint(lParam)));
    redraw();
    if (key >= 0)
      tapped(key);
    return 0;
  }
  case TB_SETBUTTONINFO: {
    const bool changed =
        setButtonInfo(keys_, wParam, reinterpret_cast<const TBBUTTONINFO *>(lParam));
    if (changed)
      redraw();
    return changed ? TRUE : FALSE;
  }
  case WM_DESTROY:
    if (hwnd != toolbar_ || IsWindow(hwnd))
      return 0;
    toolbar_ = nullptr;
    windowGone();
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace ce
