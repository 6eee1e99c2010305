#include "taskbar.h"

#include "shell_messages.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include "../windowing/window_binding.h"
#include "../windowing/window_state_view.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace ce::shell {
namespace {

constexpr UINT_PTR kClockTimer = 1;
constexpr int kMaxTitle = 256;

struct Palette {
  COLORREF top, bottom, startTop, startBottom, pressed, line;
};
constexpr Palette kWm65Palette{RGB(0x3A, 0x3E, 0x44), RGB(0x12, 0x14, 0x17), RGB(0x4A, 0x50, 0x58),
                               RGB(0x22, 0x26, 0x2B), RGB(0x1E, 0x6F, 0xC8), RGB(0x5C, 0x63, 0x6B)};
constexpr Palette kClassicPalette{RGB(0x3B, 0x72, 0xCE), RGB(0x12, 0x3A, 0x8A),
                                  RGB(0x4A, 0x82, 0xDE), RGB(0x1A, 0x48, 0x9C),
                                  RGB(0x0E, 0x2C, 0x6E), RGB(0x7F, 0xA8, 0xE8)};
constexpr COLORREF kText = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kFlagLight = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kFlagWarm = RGB(0xFF, 0xB3, 0x00);
constexpr COLORREF kPole = RGB(0xD8, 0xDC, 0xE0);

void fill(HDC dc, const RECT &r, COLORREF colour) {
  const HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

COLORREF mix(COLORREF a, COLORREF b, int step, int steps) {
  const auto channel = [&](int shift) {
    const int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    return static_cast<COLORREF>((x + (y - x) * step / std::max(steps, 1)) & 0xFF) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

void gradient(HDC dc, const RECT &r, COLORREF top, COLORREF bottom) {
  const int rows = r.bottom - r.top;
  for (int y = 0; y < rows; ++y)
    fill(dc, RECT{r.left, r.top + y, r.right, r.top + y + 1}, mix(top, bottom, y, rows - 1));
}

// A flag on a pole in `box`: a 3 by 2 checked cloth at the top of the pole.
void drawFlag(HDC dc, const RECT &box) {
  const int side = std::min(box.right - box.left, box.bottom - box.top);
  const int pole = std::max(1, side / 9);
  const int left = box.left, top = box.top + (box.bottom - box.top - side) / 2;
  fill(dc, RECT{left, top, left + pole, top + side}, kPole);
  const int clothLeft = left + pole, clothWidth = side - pole, clothHeight = side * 3 / 5;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 3; ++column) {
      const RECT cell{clothLeft + clothWidth * column / 3, top + clothHeight * row / 2,
                      clothLeft + clothWidth * (column + 1) / 3, top + clothHeight * (row + 1) / 2};
      fill(dc, cell, (row + column) % 2 == 0 ? kFlagWarm : kFlagLight);
    }
}

// Milliseconds until the clock's minute turns, and a little more so that it has turned.
UINT msToNextMinute() {
  const auto now = std::chrono::system_clock::now();
  const auto intoMinute =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 60000;
  return static_cast<UINT>(60000 - intoMinute.count() + 20);
}

std::u16string clockText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour % 24, local.tm_min % 60);
  return toUtf16(text);
}

HFONT makeFont(int height, int weight) {
  LOGFONTW font{};
  font.lfHeight = -std::max(height, 1);
  font.lfWeight = weight;
  return CreateFontIndirectW(&font);
}

using Binding = WindowBinding<&Taskbar::windowMessage>;

} // namespace

Taskbar::Taskbar(TaskbarKind kind, PlatformStartMenu &menu, ShellLog log)
    : kind_(kind), geometry_(kind, GetSystemMetrics(SM_CXSCREEN)), menu_(menu), log_(log),
      layoutFile_(std::move(log)) {}

Taskbar::~Taskbar() {
  if (hwnd_)
    DestroyWindow(hwnd_);
  deleteFonts();
}

bool Taskbar::create() {
  if (!Binding::registerClass(kTaskbarClass)) {
    if (log_)
      log_("taskbar: cannot register its class (error " + std::to_string(GetLastError()) + ")");
    return false;
  }
  geometry_ = TaskbarGeometry(kind_, GetSystemMetrics(SM_CXSCREEN));
  clock_ = clockText();
  if (!Binding::create(*this, WS_EX_TOPMOST | WS_EX_NOACTIVATE, kTaskbarClass, u"",
                       WS_POPUP | WS_VISIBLE, RECT{0, 0, geometry_.width(), geometry_.height()},
                       nullptr)) {
    if (log_)
      log_("taskbar: cannot create its window (error " + std::to_string(GetLastError()) + ")");
    return false;
  }
  // The foreground window and the titles come as the view of the windows changes; the clock
  // turns once a minute.
  windowsWatch_ = WindowStateView::instance().watch(
      hwnd_, kTaskbarWindowsMessage, nullptr,
      WindowStateView::kForeground | WindowStateView::kRetitled | WindowStateView::kDestroyed);
  SetTimer(hwnd_, kClockTimer, msToNextMinute(), nullptr);
  refresh();
  UpdateWindow(hwnd_);
  if (kind_ == TaskbarKind::Wm65)
    layoutFile_.menuAllowed(); // written now when it is missing
  return true;
}

LRESULT Taskbar::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = static_cast<short>(LOWORD(lParam));
  switch (message) {
  case WM_CREATE:
    hwnd_ = hwnd;
    createFonts();
    return 0;
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_TIMER:
    if (wParam == kClockTimer) {
      SetTimer(hwnd_, kClockTimer, msToNextMinute(), nullptr);
      refresh();
    }
    return 0;
  case kTaskbarWindowsMessage:
    refresh();
    return 0;
  case WM_LBUTTONDOWN:
    if (startIconHidden_)
      return 0; // no Start button to press
    if (kind_ == TaskbarKind::Classic) {
      if (geometry_.inStartArea(x))
        toggleMenu();
    } else {
      startPressed_ = geometry_.inStartArea(x);
      if (startPressed_)
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    return 0;
  case WM_LBUTTONUP:
    if (kind_ == TaskbarKind::Wm65 && startPressed_) {
      startPressed_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      if (geometry_.inStartArea(x))
        SendMessageW(hwnd_, WM_COMMAND, kStartCommand, 0);
    }
    return 0;
  case WM_COMMAND:
    if (LOWORD(wParam) == kStartCommand) {
      toggleMenu();
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  case WM_KEYDOWN:
  case WM_KEYUP:
  case WM_CHAR:
  case WM_SYSKEYDOWN:
  case WM_SYSKEYUP:
    keyMessage(message, wParam, lParam);
    return 0;
  case WM_SETTINGCHANGE:
  case WM_WINDOWPOSCHANGED:
  case WM_SIZE:
    fitToScreen();
    return 0;
  case kTaskbarFullScreenMessage: {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (lParam & SHFS_HIDETASKBAR)
      hidingWindows_.insert(window);
    if (lParam & SHFS_SHOWTASKBAR)
      hidingWindows_.erase(window);
    if (lParam & SHFS_HIDESTARTICON)
      startHidingWindows_.insert(window);
    if (lParam & SHFS_SHOWSTARTICON)
      startHidingWindows_.erase(window);
    refresh();
    return 0;
  }
  case WM_CLOSE:
    return 0; // the shell's bar stays for the device's life
  case WM_DESTROY:
    if (IsWindow(hwnd))
      return 0; // only posted by someone: the bar stays
    KillTimer(hwnd_, kClockTimer);
    WindowStateView::instance().unwatch(windowsWatch_);
    windowsWatch_ = 0;
    deleteFonts();
    hwnd_ = nullptr;
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void Taskbar::toggleMenu() {
  if (menu_.isOpen()) {
    menu_.close();
    return;
  }
  if (kind_ == TaskbarKind::Wm65 && !layoutFile_.menuAllowed()) {
    if (log_)
      log_("start menu: switched off by " + toUtf8(StartMenuLayoutFile::kPath) +
           " (4 zero bytes): Start opens nothing");
    return;
  }
  menu_.open(geometry_.height());
}

void Taskbar::keyMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  if (wParam == VK_LWIN && (down || up)) {
    if (down) {
      if (!windowsKeyDown_)
        windowsKeyUsed_ = false;
      windowsKeyDown_ = true;
    } else {
      const bool alone = windowsKeyDown_ && !windowsKeyUsed_;
      windowsKeyDown_ = windowsKeyUsed_ = false;
      if (alone)
        toggleMenu();
    }
    return;
  }
  if (down && windowsKeyDown_)
    windowsKeyUsed_ = true;
  const HWND focus = GetFocus();
  if (focus && focus != hwnd_)
    PostMessageW(focus, message, wParam, lParam);
}

void Taskbar::fitToScreen() {
  if (!hwnd_)
    return;
  const TaskbarGeometry wanted(kind_, GetSystemMetrics(SM_CXSCREEN));
  RECT now{};
  if (GetWindowRect(hwnd_, &now) && now.left == 0 && now.top == 0 && now.right == wanted.width() &&
      now.bottom == wanted.height() && wanted.height() == geometry_.height())
    return;
  geometry_ = wanted;
  createFonts();
  SetWindowPos(hwnd_, nullptr, 0, 0, wanted.width(), wanted.height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
  if (log_)
    log_("taskbar: " + std::to_string(wanted.width()) + "x" + std::to_string(wanted.height()));
}

void Taskbar::refresh() {
  if (!hwnd_)
    return;
  const HWND foreground = GetForegroundWindow();
  for (auto *windows : {&hidingWindows_, &startHidingWindows_})
    if (!windows->empty())
      std::erase_if(*windows, [](HWND w) { return !IsWindow(w); });
  const bool hide = foreground && hidingWindows_.count(foreground) != 0;
  const bool hideStart = foreground && startHidingWindows_.count(foreground) != 0;
  if (hideStart != startIconHidden_) {
    startIconHidden_ = hideStart;
    startPressed_ = false;
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  if (hide != hiddenForFullScreen_) {
    hiddenForFullScreen_ = hide;
    ShowWindow(hwnd_, hide ? SW_HIDE : SW_SHOWNA);
    if (log_)
      log_(hide ? "taskbar: hidden for a full-screen window" : "taskbar: shown again");
  }
  std::u16string title;
  if (foreground) {
    WCHAR text[kMaxTitle] = {};
    const int length = GetWindowTextW(foreground, text, kMaxTitle);
    title.assign(text, static_cast<std::size_t>(std::max(length, 0)));
  }
  std::u16string clock = clockText();
  if (title != title_) {
    // The bar's own text is what it shows, for whoever asks it (GetWindowTextW, a window list).
    SetWindowTextW(hwnd_, title.c_str());
  }
  if (title != title_ || clock != clock_) {
    title_ = std::move(title);
    clock_ = std::move(clock);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void Taskbar::createFonts() {
  deleteFonts();
  const int h = geometry_.height();
  titleFont_ = makeFont(h * 42 / 100, FW_BOLD);
  clockFont_ = makeFont(h * 42 / 100, FW_NORMAL);
  startFont_ = makeFont(kind_ == TaskbarKind::Classic ? h * 42 / 100 : h * 32 / 100, FW_BOLD);
}

void Taskbar::deleteFonts() {
  for (HFONT *font : {&titleFont_, &clockFont_, &startFont_}) {
    if (*font)
      DeleteObject(*font);
    *font = nullptr;
  }
}

void Taskbar::paint() {
  PAINTSTRUCT ps{};
  const HDC screen = BeginPaint(hwnd_, &ps);
  if (!screen) {
    EndPaint(hwnd_, &ps);
    return;
  }
  const int width = geometry_.width(), height = geometry_.height();
  const Palette &palette = kind_ == TaskbarKind::Classic ? kClassicPalette : kWm65Palette;
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  gradient(dc, RECT{0, 0, width, height}, palette.top, palette.bottom);

  // Start area: a flag and "Start", unless the window in front hid them.
  const int pad = TaskbarGeometry::scaled(4, width);
  const int startWidth = geometry_.startAreaWidth();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kText);
  if (!startIconHidden_) {
    const RECT start{0, 0, startWidth, height};
    if (startPressed_)
      fill(dc, start, palette.pressed);
    else
      gradient(dc, start, palette.startTop, palette.startBottom);
    fill(dc, RECT{startWidth - 1, height / 6, startWidth, height - height / 6}, palette.line);
    const int flagSide = height / 2;
    const int flagLeft = kind_ == TaskbarKind::Classic ? 2 * pad : pad;
    drawFlag(dc,
             RECT{flagLeft, (height - flagSide) / 2, flagLeft + flagSide, (height + flagSide) / 2});
    SelectObject(dc, startFont_);
    RECT startText{flagLeft + flagSide + pad / 2 + 1, 0, startWidth - 1, height};
    DrawTextW(dc, u"Start", 5, &startText, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  }

  // The clock at the right, the title between.
  SelectObject(dc, clockFont_);
  SIZE clockSize{};
  GetTextExtentPoint32W(dc, u"88:88", 5, &clockSize);
  RECT clock{width - 3 * pad - clockSize.cx, 0, width - 2 * pad, height};
  DrawTextW(dc, clock_.c_str(), static_cast<int>(clock_.size()), &clock,
            DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  SelectObject(dc, titleFont_);
  RECT title{startWidth + 2 * pad, 0, clock.left - 2 * pad, height};
  DrawTextW(dc, title_.c_str(), static_cast<int>(title_.size()), &title,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
  fill(dc, RECT{0, height - 1, width, height}, palette.line);

  BitBlt(screen, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd_, &ps);
}

} // namespace ce::shell
