#include "message_box_dialog.h"

#include "menu_style.h"

#include "../windowing/window_binding.h"

#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/kernel.h>

namespace ce {

namespace {

using Binding = WindowBinding<&MessageBoxDialog::windowMessage>;

POINT clientPoint(LPARAM lParam) {
  return POINT{static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF)};
}

bool isStylus(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE ||
         message == WM_LBUTTONDBLCLK;
}

bool isKey(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool inside(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void drawCentred(HDC dc, const WCHAR *text, RECT rect, COLORREF colour) {
  SetTextColor(dc, colour);
  DrawTextW(dc, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

} // namespace

MessageBoxDialog::MessageBoxDialog(HWND owner, std::u16string text, std::u16string caption,
                                   UINT type, MessageBoxButtons buttons)
    : owner_(owner), text_(std::move(text)), caption_(std::move(caption)), type_(type),
      buttons_(std::move(buttons)), focus_(buttons_.defaultIndex) {}

MessageBoxDialog::~MessageBoxDialog() {
  if (hwnd_) {
    const HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(hwnd);
  }
  for (HFONT font : {textFont_, captionFont_, iconFont_})
    if (font)
      DeleteObject(font);
}

bool MessageBoxDialog::create() {
  if (!Binding::registerClass(kClassName))
    return false;
  screen_ = SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int scale = MenuStyle::scaleFor(screen_.cx, screen_.cy);
  metrics_ = MessageBoxMetrics::atScale(scale);
  textFont_ = MenuStyle::createFont(metrics_.textFont);
  captionFont_ = MenuStyle::createFont(metrics_.captionFont, true);
  iconFont_ = MenuStyle::createFont(metrics_.icon * 2 / 3, true);

  // The text's height as it will be drawn: wrapped in its column.
  const bool icon = (type_ & MB_ICONMASK) != 0;
  const int width = MessageBoxLayout::boxWidth(screen_, metrics_);
  RECT column = MessageBoxLayout::textColumn(width, icon, metrics_);
  int textHeight = metrics_.textFont;
  if (HDC measure = CreateCompatibleDC(nullptr)) {
    HGDIOBJ previous = SelectObject(measure, textFont_);
    RECT calc{0, 0, column.right - column.left, 0};
    if (DrawTextW(measure, text_.c_str(), static_cast<int>(text_.size()), &calc,
                  DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX) > 0)
      textHeight = calc.bottom - calc.top;
    SelectObject(measure, previous);
    DeleteDC(measure);
  }
  size_ = MessageBoxLayout::boxSize(width, textHeight, icon, screen_.cy, metrics_);
  const RECT rect = MessageBoxLayout::place(size_, screen_);
  const DWORD exStyle = WS_EX_DLGMODALFRAME | ((type_ & MB_TOPMOST) || !owner_ ? WS_EX_TOPMOST : 0);
  hwnd_ = Binding::create(*this, exStyle, kClassName, caption_.c_str(), WS_POPUP,
                          RECT{rect.left, rect.top, rect.left + size_.cx, rect.top + size_.cy},
                          owner_);
  return hwnd_ != nullptr;
}

int MessageBoxDialog::run() {
  if (!create())
    return 0;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  // The owner takes no input while the box is up, when it is this process's to disable.
  DWORD ownerProcess = 0;
  if (owner_ && GetWindowThreadProcessId(owner_, &ownerProcess) &&
      ownerProcess == GetCurrentProcessId())
    ownerDisabled_ = !EnableWindow(owner_, FALSE);

  bool quit = false;
  int quitCode = 0;
  while (!done_) {
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      answer_ = 0;
      break;
    }
    if (got < 0) {
      answer_ = 0;
      break;
    }
    if (msg.hwnd != hwnd_ || !hwnd_) {
      // The thread's other windows take no input while the box is up; keys are the box's.
      if (isStylus(msg.message))
        continue;
      if (isKey(msg.message)) {
        if (hwnd_)
          handle(msg.message, msg.wParam, msg.lParam);
        continue;
      }
    }
    DispatchMessageW(&msg);
  }

  if (ownerDisabled_)
    EnableWindow(owner_, TRUE);
  if (hwnd_) {
    const HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(hwnd);
  }
  if (owner_ && IsWindow(owner_))
    SetForegroundWindow(owner_);
  if (quit) {
    PostQuitMessage(quitCode);
    SetLastError(ERROR_CANCELLED);
  }
  return answer_;
}

LRESULT MessageBoxDialog::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd != hwnd_) {
    // A box being made, or whose loop has ended: only its destruction is left to come.
    if (message == WM_CLOSE)
      return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return handle(message, wParam, lParam);
}

int MessageBoxDialog::buttonAt(POINT client) const {
  const auto rects = MessageBoxLayout::buttonRects(size_, static_cast<int>(buttons_.answers.size()),
                                                   metrics_);
  for (std::size_t i = 0; i < rects.size(); ++i)
    if (inside(rects[i], client))
      return static_cast<int>(i);
  return -1;
}

void MessageBoxDialog::answer(int id) {
  answer_ = id;
  done_ = true;
}

void MessageBoxDialog::redraw() {
  if (hwnd_)
    InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT MessageBoxDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const int count = static_cast<int>(buttons_.answers.size());
  switch (message) {
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    press_.begin(buttonAt(clientPoint(lParam)));
    if (press_.shownPressed() >= 0)
      focus_ = press_.shownPressed();
    redraw();
    return 0;
  case WM_MOUSEMOVE:
    if (press_.move(buttonAt(clientPoint(lParam))))
      redraw();
    return 0;
  case WM_LBUTTONUP:
    if (const int button = press_.end(buttonAt(clientPoint(lParam))); button >= 0)
      answer(buttons_.answers[static_cast<std::size_t>(button)]);
    redraw();
    return 0;
  case WM_KEYDOWN:
    switch (wParam) {
    case VK_RETURN:
    case VK_SPACE:
      answer(buttons_.answers[static_cast<std::size_t>(focus_)]);
      return 0;
    case VK_ESCAPE:
      if (buttons_.escapeAnswer)
        answer(buttons_.escapeAnswer);
      return 0;
    case VK_LEFT:
    case VK_UP:
      focus_ = (focus_ + count - 1) % count;
      redraw();
      return 0;
    case VK_RIGHT:
    case VK_DOWN:
    case VK_TAB:
      focus_ = (focus_ + 1) % count;
      redraw();
      return 0;
    default:
      return 0;
    }
  case WM_KEYUP:
  case WM_CHAR:
    return 0;
  case WM_CLOSE:
    if (buttons_.escapeAnswer)
      answer(buttons_.escapeAnswer);
    return 0;
  case WM_DESTROY:
    if (IsWindow(hwnd_))
      return 0; // only posted: the box stays until it is answered
    // Destroyed by someone else: the owner went and took the box along.
    hwnd_ = nullptr;
    if (!done_) {
      answer(buttons_.escapeAnswer);
      PostMessageW(nullptr, WM_NULL, 0, 0); // wakes the loop
    }
    return 0;
  default:
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void MessageBoxDialog::paintIcon(HDC dc, const RECT &box) {
  const UINT icon = type_ & MB_ICONMASK;
  const WCHAR *glyph = u"";
  COLORREF glyphColour = MenuStyle::kCaptionText;
  switch (icon) {
  case MB_ICONHAND:
    MenuStyle::disc(dc, box, RGB(0xD0, 0x20, 0x20));
    glyph = u"X";
    break;
  case MB_ICONQUESTION:
    MenuStyle::disc(dc, box, RGB(0x1C, 0x5C, 0xB8));
    glyph = u"?";
    break;
  case MB_ICONEXCLAMATION: {
    MenuStyle::triangle(dc, box, RGB(0xF0, 0xB4, 0x00));
    glyph = u"!";
    glyphColour = RGB(0x00, 0x00, 0x00);
    break;
  }
  case MB_ICONASTERISK:
    MenuStyle::disc(dc, box, RGB(0x1C, 0x5C, 0xB8));
    glyph = u"i";
    break;
  default:
    // Other values in the icon bits draw a plain information mark.
    MenuStyle::disc(dc, box, RGB(0x1C, 0x5C, 0xB8));
    glyph = u"i";
    break;
  }
  HGDIOBJ previous = SelectObject(dc, iconFont_);
  RECT glyphBox = box;
  if (icon == MB_ICONEXCLAMATION)
    glyphBox.top += (box.bottom - box.top) / 4; // the triangle's weight lies low
  drawCentred(dc, glyph, glyphBox, glyphColour);
  SelectObject(dc, previous);
}

void MessageBoxDialog::paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) {
    EndPaint(hwnd_, &ps);
    return;
  }
  const MessageBoxMetrics &m = metrics_;
  const RECT all{0, 0, size_.cx, size_.cy};
  MenuStyle::fill(dc, all, MenuStyle::kFace);
  SetBkMode(dc, TRANSPARENT);

  // Caption bar.
  const RECT caption = MessageBoxLayout::captionRect(size_, m);
  MenuStyle::fill(dc, caption, MenuStyle::kCaption);
  HGDIOBJ previous = SelectObject(dc, captionFont_);
  SetTextColor(dc, MenuStyle::kCaptionText);
  RECT captionText{caption.left + m.padding, caption.top, caption.right - m.padding,
                   caption.bottom};
  DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &captionText,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

  // Icon and text, the text centred in its column and in the body's height.
  const bool icon = (type_ & MB_ICONMASK) != 0;
  if (icon)
    paintIcon(dc, MessageBoxLayout::iconRect(size_, m));
  SelectObject(dc, textFont_);
  const RECT body = MessageBoxLayout::bodyRect(size_, m);
  const RECT column = MessageBoxLayout::textColumn(size_.cx, icon, m);
  RECT measure{column.left, 0, column.right, 0};
  DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &measure,
            DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
  const int textHeight = measure.bottom - measure.top;
  const int top = std::max(static_cast<int>(body.top) + m.padding / 2,
                           static_cast<int>(body.top + body.bottom - textHeight) / 2);
  RECT text{column.left, top, column.right, body.bottom};
  SetTextColor(dc, MenuStyle::kText);
  DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &text,
            DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);

  // Buttons: the focused one with a heavier frame, the pressed one filled.
  const auto rects =
      MessageBoxLayout::buttonRects(size_, static_cast<int>(buttons_.answers.size()), m);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const bool down = static_cast<int>(i) == press_.shownPressed();
    MenuStyle::fill(dc, rects[i], down ? MenuStyle::kHighlight : MenuStyle::kButtonFace);
    MenuStyle::frame(dc, rects[i], static_cast<int>(i) == focus_ ? 2 * m.border : m.border,
                     MenuStyle::kBorder);
    drawCentred(dc, MessageBoxButtons::label(buttons_.answers[i]), rects[i],
                down ? MenuStyle::kHighlightText : MenuStyle::kText);
  }
  MenuStyle::frame(dc, all, m.border, MenuStyle::kBorder);
  SelectObject(dc, previous);
  EndPaint(hwnd_, &ps);
}

} // namespace ce
