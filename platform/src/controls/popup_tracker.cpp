#include "popup_tracker.h"

#include "menu_style.h"
#include "popup_window.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <cstdlib>

namespace ce {

namespace {

thread_local bool tracking = false;

bool isStylus(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE ||
         message == WM_LBUTTONDBLCLK;
}

bool isKey(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool inside(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

} // namespace

PopupTracker::PopupTracker(const MenuTree &menu, HWND owner) : menu_(menu), owner_(owner) {}

PopupTracker::~PopupTracker() {
  closeLevelsAfter(0);
  if (!levels_.empty()) {
    const HWND hwnd = levels_.front().hwnd;
    levels_.clear();
    if (hwnd)
      DestroyWindow(hwnd);
  }
  if (measure_)
    DeleteDC(measure_);
  if (font_)
    DeleteObject(font_);
}

SIZE PopupTracker::sizeOf(const MenuTree &menu, PopupGeometry &geometry) const {
  const auto width = [this](std::u16string_view text) {
    SIZE size{};
    if (text.empty() || !measure_)
      return 0;
    // Measured as drawn: "&&" is one ampersand and a single "&" marks the next letter.
    std::u16string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'&' && i + 1 < text.size())
        ++i;
      shown.push_back(text[i]);
    }
    GetTextExtentPoint32W(measure_, shown.c_str(), static_cast<int>(shown.size()), &size);
    return static_cast<int>(size.cx);
  };
  geometry = PopupLayout::measure(menu, metrics_, width, screen_.cx);
  return geometry.size;
}

std::optional<UINT> PopupTracker::run(POINT point, UINT flags, const RECT *exclude) {
  if (tracking) {
    SetLastError(ERROR_BUSY);
    return std::nullopt;
  }
  screen_ = SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  metrics_ = PopupMetrics::atScale(MenuStyle::scaleFor(screen_.cx, screen_.cy));
  font_ = MenuStyle::createFont(metrics_.fontHeight);
  measure_ = CreateCompatibleDC(nullptr);
  if (measure_ && font_)
    SelectObject(measure_, font_);

  PopupGeometry geometry;
  const SIZE size = sizeOf(menu_, geometry);
  const RECT rect = PopupLayout::placeAtPoint(point, size, flags, screen_, exclude);
  if (!openLevel(menu_, rect, -1))
    return std::nullopt;
  tracking = true;
  // Every stylus message comes to the menu, so that a tap on any other window cancels it.
  capturing_ = true;
  SetCapture(levels_.front().hwnd);
  SetLastError(ERROR_SUCCESS);

  while (!done_) {
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      cancel();
      PostQuitMessage(static_cast<int>(msg.wParam)); // for the caller's own loop
      break;
    }
    if (got < 0) {
      cancel();
      break;
    }
    if (isStylus(msg.message)) {
      stylus(msg);
    } else if (isKey(msg.message)) {
      if (msg.message == WM_KEYDOWN)
        key(msg.wParam);
    } else {
      DispatchMessageW(&msg);
    }
  }
  tracking = false;
  capturing_ = false;
  if (!levels_.empty() && levels_.front().hwnd && GetCapture() == levels_.front().hwnd)
    ReleaseCapture();
  return ownerGone_ ? 0 : chosen_;
}

bool PopupTracker::openLevel(const MenuTree &menu, const RECT &rect, int openedFrom) {
  Level level;
  level.menu = &menu;
  sizeOf(menu, level.geometry);
  level.rect = rect;
  level.openedFrom = openedFrom;
  levels_.push_back(level);
  const HWND hwnd = PopupWindow::create(owner_, rect, *this);
  if (!hwnd) {
    levels_.pop_back();
    return false;
  }
  levels_.back().hwnd = hwnd;
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  return true;
}

void PopupTracker::closeLevelsAfter(std::size_t level) {
  while (levels_.size() > level + 1) {
    const HWND hwnd = levels_.back().hwnd;
    levels_.pop_back(); // first, so that its WM_DESTROY is not taken for the owner's end
    if (hwnd)
      DestroyWindow(hwnd);
  }
}

LRESULT PopupTracker::popupMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    paint(hwnd);
    return 0;
  case WM_ERASEBKGND:
    return 1; // painting covers the whole window
  case WM_CAPTURECHANGED:
    captureLost();
    return 0;
  case WM_DESTROY:
    if (!IsWindow(hwnd)) // gone, not only posted
      windowDestroyed(hwnd);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void PopupTracker::windowDestroyed(HWND hwnd) {
  for (const Level &level : levels_)
    if (level.hwnd == hwnd) {
      // Destroyed by someone else: the owner went, and its owned windows with it.
      ownerGone_ = true;
      done_ = true;
      for (Level &l : levels_)
        if (l.hwnd == hwnd)
          l.hwnd = nullptr;
      PostMessageW(nullptr, WM_NULL, 0, 0); // wakes the loop, which waits for posted messages
      return;
    }
}

void PopupTracker::captureLost() {
  // Another window took the stylus: the menu gives way, as to a tap elsewhere.
  if (capturing_ && !done_) {
    cancel();
    PostMessageW(nullptr, WM_NULL, 0, 0);
  }
}

std::pair<int, int> PopupTracker::hit(POINT screen) const {
  for (std::size_t i = levels_.size(); i-- > 0;) {
    const Level &level = levels_[i];
    if (!inside(level.rect, screen))
      continue;
    const POINT client{screen.x - level.rect.left, screen.y - level.rect.top};
    return {static_cast<int>(i), PopupLayout::itemAt(level.geometry, client)};
  }
  return {-1, -1};
}

RECT PopupTracker::itemOnScreen(const Level &level, int item) const {
  RECT r = level.geometry.rows[static_cast<std::size_t>(item)];
  r.left += level.rect.left;
  r.right += level.rect.left;
  r.top += level.rect.top;
  r.bottom += level.rect.top;
  return r;
}

void PopupTracker::redraw(const Level &level) const {
  if (level.hwnd)
    InvalidateRect(level.hwnd, nullptr, FALSE);
}

void PopupTracker::openSubmenu(std::size_t level, int item, bool highlightFirst) {
  const MenuTree::Item &entry = levels_[level].menu->items[static_cast<std::size_t>(item)];
  if (!entry.isPopup() || !entry.isEnabled() || !entry.submenu)
    return;
  if (levels_.size() > level + 1 && levels_[level + 1].openedFrom == item)
    return; // already open
  closeLevelsAfter(level);
  PopupGeometry geometry;
  const SIZE size = sizeOf(*entry.submenu, geometry);
  const RECT rect = PopupLayout::placeBeside(levels_[level].rect,
                                             itemOnScreen(levels_[level], item), size, screen_,
                                             metrics_.border);
  if (!openLevel(*entry.submenu, rect, item))
    return;
  if (highlightFirst)
    moveHighlight(+1);
}

void PopupTracker::setHighlight(std::size_t level, int item, bool openSub) {
  Level &l = levels_[level];
  if (item >= 0 && l.menu->items[static_cast<std::size_t>(item)].isSeparator())
    item = -1;
  const bool keepSubmenu = levels_.size() > level + 1 && levels_[level + 1].openedFrom == item;
  if (!keepSubmenu)
    closeLevelsAfter(level);
  if (l.highlight != item) {
    l.highlight = item;
    redraw(l);
  }
  if (item >= 0 && openSub)
    openSubmenu(level, item, false);
}

void PopupTracker::moveHighlight(int step) {
  Level &l = levels_.back();
  const int count = static_cast<int>(l.menu->items.size());
  int item = l.highlight;
  for (int tries = 0; tries < count; ++tries) {
    item = item < 0 ? (step > 0 ? 0 : count - 1) : (item + step + count) % count;
    if (!l.menu->items[static_cast<std::size_t>(item)].isSeparator()) {
      setHighlight(levels_.size() - 1, item, false);
      return;
    }
  }
}

void PopupTracker::stylus(const MSG &msg) {
  const POINT p = msg.pt;
  const auto [level, item] = hit(p);
  switch (msg.message) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    if (level < 0) {
      cancel(); // a tap elsewhere
      return;
    }
    pressed_ = true;
    armed_ = true;
    dragStart_ = p;
    setHighlight(static_cast<std::size_t>(level), item, true);
    return;
  case WM_MOUSEMOVE:
    if (!dragStart_)
      dragStart_ = p; // a press from before the menu showed
    else if (std::abs(p.x - dragStart_->x) > metrics_.dragSlop ||
             std::abs(p.y - dragStart_->y) > metrics_.dragSlop)
      armed_ = true;
    if (level >= 0) {
      setHighlight(static_cast<std::size_t>(level), item, true);
    } else {
      Level &deepest = levels_.back();
      if (deepest.highlight >= 0) {
        deepest.highlight = -1;
        redraw(deepest);
      }
    }
    return;
  case WM_LBUTTONUP:
    if (armed_ && level >= 0 && item >= 0) {
      const MenuTree::Item &entry =
          levels_[static_cast<std::size_t>(level)].menu->items[static_cast<std::size_t>(item)];
      if (entry.isChoosable())
        choose(entry.id);
    }
    pressed_ = false;
    armed_ = false;
    dragStart_.reset();
    return;
  default:
    return;
  }
}

void PopupTracker::key(WPARAM key) {
  Level &deepest = levels_.back();
  switch (key) {
  case VK_UP:
    moveHighlight(-1);
    return;
  case VK_DOWN:
    moveHighlight(+1);
    return;
  case VK_RIGHT:
    if (deepest.highlight >= 0)
      openSubmenu(levels_.size() - 1, deepest.highlight, true);
    return;
  case VK_LEFT:
    if (levels_.size() > 1)
      closeLevelsAfter(levels_.size() - 2);
    return;
  case VK_ESCAPE:
    if (levels_.size() > 1)
      closeLevelsAfter(levels_.size() - 2);
    else
      cancel();
    return;
  case VK_RETURN: {
    if (deepest.highlight < 0)
      return;
    const MenuTree::Item &entry = deepest.menu->items[static_cast<std::size_t>(deepest.highlight)];
    if (entry.isChoosable())
      choose(entry.id);
    else if (entry.isPopup())
      openSubmenu(levels_.size() - 1, deepest.highlight, true);
    return;
  }
  default:
    return;
  }
}

void PopupTracker::choose(UINT id) {
  chosen_ = id;
  done_ = true;
}

void PopupTracker::cancel() {
  chosen_ = 0;
  done_ = true;
}

void PopupTracker::paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  const Level *level = nullptr;
  for (const Level &l : levels_)
    if (l.hwnd == hwnd)
      level = &l;
  if (!dc || !level) {
    EndPaint(hwnd, &ps);
    return;
  }
  const PopupMetrics &m = metrics_;
  const RECT all{0, 0, level->rect.right - level->rect.left, level->rect.bottom - level->rect.top};
  MenuStyle::fill(dc, all, MenuStyle::kFace);
  MenuStyle::frame(dc, all, m.border, MenuStyle::kBorder);
  HGDIOBJ previousFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  const PopupGeometry &g = level->geometry;
  for (std::size_t i = 0; i < level->menu->items.size(); ++i) {
    const MenuTree::Item &item = level->menu->items[i];
    const RECT &row = g.rows[i];
    if (item.isSeparator()) {
      const int middle = (row.top + row.bottom) / 2;
      const int thickness = std::max(1, m.border);
      MenuStyle::fill(dc, RECT{row.left + m.padding / 2, middle, row.right - m.padding / 2,
                               middle + thickness},
                      MenuStyle::kSeparator);
      continue;
    }
    const bool highlighted = static_cast<int>(i) == level->highlight;
    if (highlighted)
      MenuStyle::fill(dc, row, MenuStyle::kHighlight);
    const COLORREF colour = !item.isEnabled() ? MenuStyle::kGrayText
                            : highlighted     ? MenuStyle::kHighlightText
                                              : MenuStyle::kText;
    int left = row.left + m.padding;
    if (g.checkColumn) {
      if (item.flags & MF_CHECKED) {
        const int box = m.checkColumn - m.padding / 4;
        const int top = (row.top + row.bottom - box) / 2;
        MenuStyle::checkMark(dc, RECT{left - m.padding / 2, top, left - m.padding / 2 + box, top + box},
                             colour);
      }
      left += m.checkColumn;
    }
    int right = row.right - m.padding;
    if (g.arrowColumn) {
      if (item.isPopup()) {
        const int h = m.arrowColumn;
        const int top = (row.top + row.bottom - h) / 2;
        MenuStyle::arrowRight(dc, RECT{right - h / 2, top, right, top + h}, colour);
      }
      right -= m.arrowColumn;
    }
    SetTextColor(dc, colour);
    const auto label = PopupLayout::label(item.text);
    RECT textRect{left, row.top, right, row.bottom};
    DrawTextW(dc, label.data(), static_cast<int>(label.size()), &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    const auto accelerator = PopupLayout::accelerator(item.text);
    if (!accelerator.empty())
      DrawTextW(dc, accelerator.data(), static_cast<int>(accelerator.size()), &textRect,
                DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, previousFont);
  EndPaint(hwnd, &ps);
}

} // namespace ce
