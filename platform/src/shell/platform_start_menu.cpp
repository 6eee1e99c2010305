#include "platform_start_menu.h"

#include "program_launcher.h"
#include "shell_messages.h"

#include "../windowing/window_binding.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <algorithm>
#include <cstdlib>

namespace ce::shell {
namespace {

constexpr COLORREF kBackground = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kText = RGB(0x1C, 0x24, 0x2E);
constexpr COLORREF kHighlight = RGB(0xCC, 0xE4, 0xFF);
constexpr COLORREF kBackRow = RGB(0xE8, 0xEC, 0xF2);
constexpr COLORREF kBackText = RGB(0x1A, 0x5F, 0xB4);
constexpr COLORREF kSeparator = RGB(0xE2, 0xE6, 0xEA);
constexpr COLORREF kBorder = RGB(0x5A, 0x6A, 0x7C);
constexpr COLORREF kChevron = RGB(0x8A, 0x96, 0xA3);
constexpr COLORREF kScrollMark = RGB(0xA8, 0xB4, 0xC0);
constexpr WPARAM kLeftButton = 0x0001; // MK_LBUTTON

void fill(HDC dc, const RECT &r, COLORREF colour) {
  const HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

POINT pointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

using Binding = WindowBinding<&PlatformStartMenu::windowMessage>;

} // namespace

PlatformStartMenu::PlatformStartMenu(ShellLog log) : log_(std::move(log)) {}

PlatformStartMenu::~PlatformStartMenu() {
  close();
  deleteFonts();
}

bool PlatformStartMenu::registerClass() {
  if (!registered_)
    registered_ = Binding::registerClass(kStartMenuClass);
  return registered_;
}

int PlatformStartMenu::rowCount() const {
  return static_cast<int>(entries_.size()) + (hasBackRow() ? 1 : 0);
}

bool PlatformStartMenu::hasBackRow() const { return !equalsIgnoreCase(folder_, root_); }

void PlatformStartMenu::open(int taskbarHeight) {
  if (hwnd_ || !registerClass())
    return;
  WCHAR programs[MAX_PATH] = {};
  root_ = SHGetSpecialFolderPath(nullptr, programs, CSIDL_PROGRAMS, FALSE)
              ? std::u16string(programs)
              : std::u16string(u"\\Windows\\Start Menu\\Programs");
  folder_ = root_;
  entries_ = ProgramFolder::list(root_);
  scroll_ = 0;
  selected_ = pressed_ = -1;
  dragging_ = false;
  taskbarHeight_ = taskbarHeight;
  layout_ = StartMenuLayout(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            taskbarHeight_, rowCount());
  // Created visible, it comes to the front and takes the foreground.
  const HWND created = Binding::create(*this, WS_EX_TOPMOST, kStartMenuClass, u"Start",
                                       WS_POPUP | WS_VISIBLE, layout_.window(), nullptr);
  if (!created) {
    hwnd_ = nullptr;
    if (log_)
      log_("start menu: cannot open (error " + std::to_string(GetLastError()) + ")");
    return;
  }
  lastHwnd_ = created;
  UpdateWindow(created);
}

void PlatformStartMenu::close() {
  if (!hwnd_ || closing_)
    return;
  closing_ = true;
  DestroyWindow(hwnd_);
  closing_ = false;
  hwnd_ = nullptr;
  deleteFonts();
}

void PlatformStartMenu::toggle(int taskbarHeight) {
  if (hwnd_)
    close();
  else
    open(taskbarHeight);
}

bool PlatformStartMenu::handleQuit(HWND hwnd) {
  if (!hwnd || (hwnd != hwnd_ && hwnd != lastHwnd_))
    return false;
  close();
  return true;
}

LRESULT PlatformStartMenu::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only the open menu's window counts; one that is closing or closed has nothing left to do.
  if (message == WM_CREATE)
    hwnd_ = hwnd;
  if (hwnd != hwnd_)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
  case WM_CREATE:
    createFonts();
    return 0;
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1; // the paint covers everything
  case WM_ACTIVATE:
    // Another window took the foreground: the menu goes (after this notification is handled).
    if (LOWORD(wParam) == WA_INACTIVE)
      PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return 0;
  case WM_CLOSE:
    close();
    return 0;
  case WM_DESTROY:
    // Posted by another process (the window still exists): close for real. The destruction
    // itself comes while close() runs, or when the window was destroyed behind the menu's back.
    if (!closing_ && IsWindow(hwnd_)) {
      close();
      return 0;
    }
    deleteFonts();
    hwnd_ = nullptr;
    return 0;
  case WM_SETTINGCHANGE:
    close(); // the screen turned: the menu no longer fits it
    return 0;
  case WM_LBUTTONDOWN: {
    pressPoint_ = pointOf(lParam);
    scrollAtPress_ = scroll_;
    dragging_ = false;
    pressed_ = layout_.rowAt(pressPoint_, scroll_);
    InvalidateRect(hwnd_, nullptr, FALSE);
    return 0;
  }
  case WM_MOUSEMOVE: {
    if (!(wParam & kLeftButton))
      return 0;
    const POINT at = pointOf(lParam);
    const int dy = at.y - pressPoint_.y;
    if (!dragging_ && std::abs(dy) > layout_.dragThreshold()) {
      dragging_ = true;
      pressed_ = -1;
      InvalidateRect(hwnd_, nullptr, FALSE);
    }
    if (dragging_) {
      const int scroll = layout_.clampScroll(scrollAtPress_ - dy);
      if (scroll != scroll_) {
        scroll_ = scroll;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
    }
    return 0;
  }
  case WM_LBUTTONUP: {
    const int row = pressed_;
    const bool tapped = !dragging_ && row >= 0 && layout_.rowAt(pointOf(lParam), scroll_) == row;
    pressed_ = -1;
    dragging_ = false;
    if (tapped)
      activateRow(row);
    else if (hwnd_)
      InvalidateRect(hwnd_, nullptr, FALSE);
    return 0;
  }
  case WM_KEYDOWN:
    switch (wParam) {
    case VK_UP:
      select(std::max(selected_ - 1, 0));
      return 0;
    case VK_DOWN:
      select(std::min(selected_ + 1, rowCount() - 1));
      return 0;
    case VK_RETURN:
      if (selected_ >= 0)
        activateRow(selected_);
      return 0;
    case VK_LEFT:
    case VK_BACK:
      goBack();
      return 0;
    case VK_ESCAPE:
      close();
      return 0;
    default:
      return 0;
    }
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void PlatformStartMenu::showFolder(const std::u16string &folder) {
  folder_ = folder;
  entries_ = ProgramFolder::list(folder_);
  scroll_ = 0;
  selected_ = pressed_ = -1;
  placeWindow();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void PlatformStartMenu::placeWindow() {
  layout_ = StartMenuLayout(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            taskbarHeight_, rowCount());
  const RECT r = layout_.window();
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlatformStartMenu::goBack() {
  if (hasBackRow())
    showFolder(ProgramFolder::parentOf(folder_));
}

void PlatformStartMenu::select(int row) {
  if (row < 0 || row >= rowCount())
    return;
  selected_ = row;
  scroll_ = layout_.scrollToShow(row, scroll_);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void PlatformStartMenu::activateRow(int row) {
  const bool back = hasBackRow();
  if (back && row == 0) {
    goBack();
    return;
  }
  const std::size_t index = static_cast<std::size_t>(row - (back ? 1 : 0));
  if (index >= entries_.size())
    return;
  const ProgramEntry entry = entries_[index];
  if (entry.folder) {
    showFolder(entry.path);
    return;
  }
  const DWORD result = ProgramLauncher::start(entry.path);
  if (log_)
    log_(result == ERROR_SUCCESS ? "start menu: started " + toUtf8(entry.path)
                                 : "start menu: cannot start " + toUtf8(entry.path) + " (error " +
                                       std::to_string(result) + ")");
  close();
}

void PlatformStartMenu::createFonts() {
  deleteFonts();
  LOGFONTW font{};
  font.lfHeight = -layout_.textHeight();
  font.lfWeight = FW_NORMAL;
  font_ = CreateFontIndirectW(&font);
  font.lfWeight = FW_BOLD;
  backFont_ = CreateFontIndirectW(&font);
  font.lfHeight = -layout_.textHeight() * 8 / 5;
  font.lfWeight = FW_NORMAL;
  chevronFont_ = CreateFontIndirectW(&font);
}

void PlatformStartMenu::deleteFonts() {
  if (font_)
    DeleteObject(font_);
  if (backFont_)
    DeleteObject(backFont_);
  if (chevronFont_)
    DeleteObject(chevronFont_);
  font_ = backFont_ = chevronFont_ = nullptr;
}

void PlatformStartMenu::paintRow(HDC dc, int row, const RECT &area) {
  const int pad = layout_.padding();
  const bool back = hasBackRow() && row == 0;
  if (back)
    fill(dc, area, kBackRow);
  else if (row == pressed_ || row == selected_)
    fill(dc, area, kHighlight);
  const RECT separator{area.left + 2 * pad, area.bottom - 1, area.right - 2 * pad, area.bottom};
  fill(dc, separator, kSeparator);

  const int side = layout_.iconSide();
  RECT text{area.left + 3 * pad + side + 2 * pad, area.top, area.right - 2 * pad, area.bottom};
  SetBkMode(dc, TRANSPARENT);
  if (back) {
    // A chevron where the icons stand, then the folder's name.
    SetTextColor(dc, kBackText);
    SelectObject(dc, chevronFont_);
    RECT mark{area.left + 3 * pad, area.top, area.left + 3 * pad + side, area.bottom};
    DrawTextW(dc, u"\u2039", 1, &mark, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, backFont_);
    const std::u16string name = ProgramFolder::lastComponent(folder_);
    DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    return;
  }
  const ProgramEntry &entry = entries_[static_cast<std::size_t>(row - (hasBackRow() ? 1 : 0))];
  if (HICON icon = icons_.iconFor(entry))
    DrawIconEx(dc, area.left + 3 * pad, area.top + (layout_.rowHeight() - side) / 2, icon, side,
               side, 0, nullptr, DI_NORMAL);
  SelectObject(dc, font_);
  SetTextColor(dc, kText);
  if (entry.folder) {
    SelectObject(dc, chevronFont_);
    SetTextColor(dc, kChevron);
    DrawTextW(dc, u"\u203A", 1, &text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    SIZE extent{};
    GetTextExtentPoint32W(dc, u"\u203A", 1, &extent);
    text.right -= extent.cx + 2 * pad;
    SelectObject(dc, font_);
    SetTextColor(dc, kText);
  }
  DrawTextW(dc, entry.name.c_str(), static_cast<int>(entry.name.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void PlatformStartMenu::paint() {
  PAINTSTRUCT ps{};
  const HDC screen = BeginPaint(hwnd_, &ps);
  if (!screen) {
    EndPaint(hwnd_, &ps);
    return;
  }
  const int width = layout_.width(), height = layout_.height();
  // Drawn off screen and copied in one piece, so a repaint does not flicker.
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(SYSTEM_FONT));
  const RECT all{0, 0, width, height};
  fill(dc, all, kBackground);

  const int pad = layout_.padding();
  // Rows are clipped to the list's band, inside the padding.
  IntersectClipRect(dc, 0, pad, width, pad + layout_.viewHeight());
  for (int row = 0; row < rowCount(); ++row) {
    const RECT area = layout_.row(row, scroll_);
    if (area.bottom <= pad || area.top >= pad + layout_.viewHeight())
      continue;
    paintRow(dc, row, area);
  }
  SelectClipRgn(dc, nullptr);
  if (layout_.maxScroll() > 0) {
    // Where the view lies in the list.
    const int track = layout_.viewHeight();
    const int content = track + layout_.maxScroll();
    const int markHeight = std::max(track * track / content, 2 * pad);
    const int markTop = pad + (track - markHeight) * scroll_ / layout_.maxScroll();
    fill(dc, RECT{width - pad - 2, markTop, width - 2, markTop + markHeight}, kScrollMark);
  }
  fill(dc, RECT{0, 0, width, 1}, kBorder);
  fill(dc, RECT{0, height - 1, width, height}, kBorder);
  fill(dc, RECT{0, 0, 1, height}, kBorder);
  fill(dc, RECT{width - 1, 0, width, height}, kBorder);

  BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd_, &ps);
}

} // namespace ce::shell
