#include "controls/input_panel_window.h"

#include "controls/input_panel_protocol.h"
#include "windowing/window_binding.h"

#include <ce/gdi.h>
#include <ce/input.h>
#include <ce/kernel.h>
#include <ce/menubar.h>
#include <ce/sip.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace ce {

namespace {

constexpr COLORREF kPanel = RGB(176, 182, 192);
constexpr COLORREF kKeyFace = RGB(248, 248, 248);
constexpr COLORREF kKeyEdge = RGB(96, 100, 110);
constexpr COLORREF kPressedFace = RGB(40, 60, 110);
constexpr COLORREF kLabel = RGB(0, 0, 0);
constexpr COLORREF kPressedLabel = RGB(255, 255, 255);
constexpr WPARAM kLeftButton = 0x0001; // MK_LBUTTON
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintDelayMs = 250;

using Binding = WindowBinding<&InputPanelWindow::windowMessage>;

void fill(HDC dc, const RECT &rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

POINT pointOf(LPARAM lParam) {
  return POINT{static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF)};
}

BOOL CALLBACK collect(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND> *>(list)->push_back(hwnd);
  return TRUE;
}

} // namespace

InputPanelWindow::InputPanelWindow() : layout_(0, 0) {}

InputPanelWindow::~InputPanelWindow() {
  if (hwnd_)
    DestroyWindow(hwnd_);
}

std::string InputPanelWindow::open() {
  if (!Binding::registerClass(input_panel::kClassName))
    return "cannot register its window class (error " + std::to_string(GetLastError()) + ")";
  const RECT rect =
      InputPanelLayout::panelRect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (!Binding::create(*this, WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                       input_panel::kClassName, u"Input Panel", WS_POPUP, rect, nullptr))
    return "cannot make its window (error " + std::to_string(GetLastError()) + ")";
  return {};
}

LRESULT InputPanelWindow::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE: {
    hwnd_ = hwnd;
    const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    layout_ = InputPanelLayout(create->cx, create->cy);
    return 0;
  }
  case WM_DESTROY:
    if (!IsWindow(hwnd))
      hwnd_ = nullptr; // gone for real, not only posted
    return 0;
  case input_panel::kShowMessage:
    show(wParam != 0);
    return 1;
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_SIZE:
    layout_ = InputPanelLayout(static_cast<short>(lParam & 0xFFFF),
                               static_cast<short>((lParam >> 16) & 0xFFFF));
    pressed_.reset();
    InvalidateRect(hwnd_, nullptr, FALSE);
    return 0;
  case WM_SETTINGCHANGE:
    if (wParam == SETTINGCHANGE_RESET) {
      place(shown_); // the screen turned: back to its bottom, at its width
      // Windows of other processes repaint for the turn at the same time; one that began before
      // the panel moved drew with its old clipping, over the panel's new place. Paint once more
      // after they are done.
      SetTimer(hwnd_, kRepaintTimer, kRepaintDelayMs, nullptr);
    }
    return 0;
  case WM_TIMER:
    if (wParam == kRepaintTimer) {
      KillTimer(hwnd_, kRepaintTimer);
      InvalidateRect(hwnd_, nullptr, FALSE);
    }
    return 0;
  case WM_LBUTTONDOWN:
  case WM_MOUSEMOVE: {
    if (message == WM_MOUSEMOVE && !(wParam & kLeftButton))
      return 0;
    const auto *key = layout_.keyAt(pointOf(lParam));
    press(key ? std::optional<std::size_t>(static_cast<std::size_t>(key - layout_.keys().data()))
              : std::nullopt);
    return 0;
  }
  case WM_LBUTTONUP: {
    const auto *key = layout_.keyAt(pointOf(lParam));
    const bool typed =
        key && pressed_ && static_cast<std::size_t>(key - layout_.keys().data()) == *pressed_;
    press(std::nullopt);
    if (typed) {
      keybd_event(key->key, 0, 0, 0);
      keybd_event(key->key, 0, KEYEVENTF_KEYUP, 0);
    }
    return 0;
  }
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void InputPanelWindow::show(bool shown) {
  if (shown == shown_)
    return;
  shown_ = shown;
  place(shown);
  tellTopLevelWindows();
}

void InputPanelWindow::place(bool shown) {
  RECT rect =
      InputPanelLayout::panelRect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  // Shown for a window with a soft-key bar, the panel docks just above the bar, so that the bar's
  // keys and its input panel button stay within reach.
  RECT bar{};
  const HWND barWindow = shown ? SHFindMenuBar(GetForegroundWindow()) : nullptr;
  if (barWindow && IsWindowVisible(barWindow) && GetWindowRect(barWindow, &bar) &&
      bar.top > rect.top && bar.top < rect.bottom) {
    const LONG lift = rect.bottom - bar.top;
    rect.top -= lift;
    rect.bottom -= lift;
  }
  SetWindowPos(hwnd_, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void InputPanelWindow::tellTopLevelWindows() const {
  std::vector<HWND> windows;
  EnumWindows(&collect, reinterpret_cast<LPARAM>(&windows));
  for (HWND hwnd : windows)
    if (hwnd != hwnd_ && IsWindowVisible(hwnd))
      PostMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
}

void InputPanelWindow::press(std::optional<std::size_t> key) {
  if (key == pressed_)
    return;
  for (const auto &changed : {pressed_, key})
    if (changed)
      InvalidateRect(hwnd_, &layout_.keys()[*changed].rect, FALSE);
  pressed_ = key;
}

void InputPanelWindow::paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) {
    EndPaint(hwnd_, &ps);
    return;
  }
  RECT client{};
  GetClientRect(hwnd_, &client);
  fill(dc, client, kPanel);
  fill(dc, RECT{0, 0, client.right, 1}, kKeyEdge);
  const int rowHeight = std::max<LONG>(client.bottom / 5, 1);
  const int gap = std::max(1, rowHeight / 16);
  LOGFONTW font{};
  font.lfHeight = -std::max(6, rowHeight * 9 / 20);
  font.lfWeight = FW_NORMAL;
  std::copy_n(u"Tahoma", 7, font.lfFaceName);
  HFONT labelFont = CreateFontIndirectW(&font);
  HGDIOBJ oldFont = SelectObject(dc, labelFont);
  SetBkMode(dc, TRANSPARENT);
  for (std::size_t i = 0; i < layout_.keys().size(); ++i) {
    const auto &key = layout_.keys()[i];
    const bool pressed = pressed_ && *pressed_ == i;
    RECT face{key.rect.left + gap, key.rect.top + gap, key.rect.right - gap, key.rect.bottom - gap};
    if (face.right <= face.left || face.bottom <= face.top)
      continue;
    fill(dc, face, kKeyEdge);
    RECT inner{face.left + 1, face.top + 1, face.right - 1, face.bottom - 1};
    fill(dc, inner, pressed ? kPressedFace : kKeyFace);
    SetTextColor(dc, pressed ? kPressedLabel : kLabel);
    DrawTextW(dc, key.label.c_str(), static_cast<int>(key.label.size()), &inner,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  DeleteObject(labelFont);
  EndPaint(hwnd_, &ps);
}

} // namespace ce
