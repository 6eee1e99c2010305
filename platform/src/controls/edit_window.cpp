#include "controls/edit_window.h"

#include "controls/input_panel_companion.h"
#include "controls/system_class_registry.h"

#include <ce/errors.h>
#include <ce/input.h>
#include <ce/kernel.h>
#include <ce/sip.h>

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <unordered_map>

namespace ce {

namespace {

const SystemClassRegistrar kEditClass(u"EDIT", &EditWindow::procedure, CS_DBLCLKS);
static_assert(EditText::kDefaultLimit == EDIT_DEFAULT_LIMIT);

constexpr std::size_t kTitleUnits = 4096; // what the host keeps of a title
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kGreyText = RGB(128, 128, 128);
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kReadOnlyBackground = RGB(224, 224, 224);
constexpr COLORREF kHighlight = RGB(0, 0, 128);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr WPARAM kLeftButton = 0x0001; // MK_LBUTTON

// The edits of this process. A shared pointer keeps an edit alive while its procedure runs, even
// when a notification's handler destroys the window.
class EditTable {
public:
  static EditTable &instance() {
    static auto *table = new EditTable;
    return *table;
  }
  void add(HWND hwnd, std::shared_ptr<EditWindow> edit) {
    std::lock_guard lock(mutex_);
    edits_[hwnd] = std::move(edit);
  }
  std::shared_ptr<EditWindow> find(HWND hwnd) const {
    std::lock_guard lock(mutex_);
    const auto it = edits_.find(hwnd);
    return it == edits_.end() ? nullptr : it->second;
  }
  void remove(HWND hwnd) {
    std::shared_ptr<EditWindow> last;
    std::lock_guard lock(mutex_);
    const auto it = edits_.find(hwnd);
    if (it != edits_.end()) {
      last = std::move(it->second);
      edits_.erase(it);
    }
  }

private:
  mutable std::mutex mutex_;
  std::unordered_map<HWND, std::shared_ptr<EditWindow>> edits_;
};

HBRUSH solid(COLORREF colour) { return CreateSolidBrush(colour); }

void fill(HDC dc, const RECT &rect, COLORREF colour) {
  HBRUSH brush = solid(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

int signedLow(LPARAM value) { return static_cast<short>(value & 0xFFFF); }
int signedHigh(LPARAM value) { return static_cast<short>((value >> 16) & 0xFFFF); }

// EM_SETSEL and friends take ints; a WPARAM of -1 arrives as all ones.
long long asInt(WPARAM value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

} // namespace

LRESULT EditWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    if (!create)
      return -1;
    EditTable::instance().add(hwnd, std::make_shared<EditWindow>(hwnd, *create));
    return 0;
  }
  const std::shared_ptr<EditWindow> edit = EditTable::instance().find(hwnd);
  if (!edit)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_DESTROY) {
    // A focused edit that goes takes the input panel it put up with it.
    if (edit->panelShown_)
      SipShowIM(SIPF_OFF);
    EditTable::instance().remove(hwnd);
    return 0;
  }
  return edit->handle(message, wParam, lParam);
}

EditWindow::EditWindow(HWND hwnd, const CREATESTRUCTW &create)
    : hwnd_(hwnd), notify_(create.hwndParent),
      id_(static_cast<int>(reinterpret_cast<std::intptr_t>(create.hMenu))),
      style_(static_cast<DWORD>(create.style)),
      text_((static_cast<DWORD>(create.style) & ES_MULTILINE) != 0) {
  if (style_ & ES_PASSWORD)
    passwordChar_ = u'*';
  measureDc_ = CreateCompatibleDC(nullptr);
  const int dpi = std::max(GetDeviceCaps(measureDc_, LOGPIXELSY), 96);
  caretWidth_ = std::max(1, dpi / 96);
  margin_ = std::max(1, 2 * dpi / 96);
  GetClientRect(hwnd_, &client_);
  measureFont();
  text_.setText(create.lpszName ? std::u16string_view(create.lpszName) : std::u16string_view());
  relayout();
  if (password())
    followTitle(); // the title given at creation must not show the password
}

EditWindow::~EditWindow() {
  if (measureDc_)
    DeleteDC(measureDc_);
}

LRESULT EditWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1; // the paint covers everything
  case WM_SIZE:
    client_ = RECT{0, 0, signedLow(lParam), signedHigh(lParam)};
    relayout();
    view_.clamp(layout_->lineCount(), visibleLines(), layout_->width(), caretWidth_,
                textArea().right - textArea().left);
    revealCaret();
    invalidate();
    return 0;
  case WM_ENABLE:
    invalidate();
    return 0;
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    onFocus(message == WM_SETFOCUS, reinterpret_cast<HWND>(wParam));
    return 0;
  case WM_CHAR:
    onChar(static_cast<char16_t>(wParam));
    return 0;
  case WM_KEYDOWN:
    onKeyDown(wParam);
    return 0;
  case WM_KEYUP:
    if (wParam == VK_SHIFT)
      shiftDown_ = false;
    return 0;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
  case WM_MOUSEMOVE:
  case WM_LBUTTONUP:
    onStylus(message, wParam, lParam);
    return 0;
  case WM_SETTEXT:
    onSetText(reinterpret_cast<LPCWSTR>(lParam));
    return TRUE;
  case WM_GETTEXT:
    return onGetText(wParam, reinterpret_cast<LPWSTR>(lParam));
  case WM_GETTEXTLENGTH:
    return static_cast<LRESULT>(text_.size());
  case WM_SETFONT:
    onSetFont(reinterpret_cast<HFONT>(wParam), lParam != 0);
    return 0;
  case WM_GETFONT:
    return reinterpret_cast<LRESULT>(font_);
  case WM_CLEAR:
    if (!readOnly() && text_.hasSelection()) {
      text_.deleteForward();
      changed(true);
    }
    return 0;
  case WM_CUT:
  case WM_COPY:
  case WM_PASTE:
  case WM_UNDO:
  case EM_UNDO:
  case EM_CANUNDO:
  case EM_EMPTYUNDOBUFFER:
    return 0;

  case EM_GETSEL:
    return onGetSelection(wParam, lParam);
  case EM_SETSEL:
    text_.select(asInt(wParam), asInt(static_cast<WPARAM>(lParam)));
    goalX_ = -1;
    moved();
    return 0;
  case EM_REPLACESEL:
    onReplaceSelection(reinterpret_cast<LPCWSTR>(lParam));
    return 0;
  case EM_LIMITTEXT:
    text_.setLimit(static_cast<std::size_t>(wParam));
    return 0;
  case EM_GETLIMITTEXT:
    return static_cast<LRESULT>(text_.limit());
  case EM_GETLINECOUNT:
    return static_cast<LRESULT>(layout_->lineCount());
  case EM_LINEINDEX: {
    const long long line = asInt(wParam);
    const std::size_t index = line < 0 ? layout_->lineOf(text_.caret()) : std::size_t(line);
    return index < layout_->lineCount() ? static_cast<LRESULT>(layout_->lines()[index].start) : -1;
  }
  case EM_LINELENGTH: {
    const long long at = asInt(wParam);
    const std::size_t position = at < 0 ? text_.caret() : std::size_t(at);
    if (position > text_.size())
      return 0;
    const auto &line = layout_->lines()[layout_->lineOf(position)];
    return static_cast<LRESULT>(line.end - line.start);
  }
  case EM_LINEFROMCHAR: {
    const long long at = asInt(wParam);
    const std::size_t position = at < 0 ? text_.selectionStart() : std::size_t(at);
    return static_cast<LRESULT>(layout_->lineOf(std::min(position, text_.size())));
  }
  case EM_GETLINE:
    return onGetLine(wParam, lParam);
  case EM_GETFIRSTVISIBLELINE:
    if (multiLine())
      return static_cast<LRESULT>(view_.firstLine());
    return static_cast<LRESULT>(layout_->positionAt(0, view_.scrollX()));
  case EM_SCROLLCARET:
    revealCaret();
    invalidate();
    return TRUE;
  case EM_GETMODIFY:
    return text_.modified() ? TRUE : FALSE;
  case EM_SETMODIFY:
    text_.setModified(wParam != 0);
    return 0;
  case EM_SETREADONLY:
    style_ = wParam ? (style_ | ES_READONLY) : (style_ & ~ES_READONLY);
    SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style_));
    invalidate();
    return TRUE;
  case EM_SETPASSWORDCHAR:
    if (multiLine())
      return 0;
    passwordChar_ = static_cast<char16_t>(wParam);
    style_ = passwordChar_ ? (style_ | ES_PASSWORD) : (style_ & ~ES_PASSWORD);
    SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style_));
    relayout();
    followTitle();
    invalidate();
    return 0;
  case EM_GETPASSWORDCHAR:
    return password() ? passwordChar_ : 0;
  case EM_GETRECT:
    if (lParam)
      *reinterpret_cast<RECT *>(lParam) = textArea();
    return 0;
  case EM_POSFROMCHAR:
    return onPosFromChar(wParam);
  case EM_CHARFROMPOS:
    return onCharFromPos(lParam);
  default:
    return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------------------------
// Typing and keys

void EditWindow::onChar(char16_t c) {
  if (readOnly())
    return;
  if (c == u'\b') {
    if (text_.deleteBackward())
      changed(true);
    return;
  }
  if (c == u'\r' || c == u'\n') {
    if (multiLine())
      type(u"\r\n");
    return;
  }
  if (c == u'\t') {
    if (multiLine())
      type(u"\t");
    return;
  }
  if (c < 0x20 || c == 0x7F)
    return; // other control characters type nothing
  if ((style_ & ES_NUMBER) && (c < u'0' || c > u'9'))
    return;
  if (style_ & ES_UPPERCASE)
    c = static_cast<char16_t>(std::towupper(c));
  else if (style_ & ES_LOWERCASE)
    c = static_cast<char16_t>(std::towlower(c));
  type(std::u16string_view(&c, 1));
}

void EditWindow::type(std::u16string_view text) {
  if (!text_.fits(text)) {
    notifyParent(EN_MAXTEXT);
    return;
  }
  const EditText before = text_;
  text_.replaceSelection(text);
  relayout();
  if (!fitsWindow()) {
    text_ = before;
    relayout();
    notifyParent(EN_MAXTEXT);
    return;
  }
  changed(true, true);
}

bool EditWindow::fitsWindow() const {
  const RECT area = textArea();
  if (!multiLine())
    return (style_ & ES_AUTOHSCROLL) || layout_->width() + caretWidth_ <= area.right - area.left;
  return (style_ & ES_AUTOVSCROLL) || layout_->lineCount() <= visibleLines();
}

void EditWindow::onKeyDown(WPARAM key) {
  const std::size_t caret = text_.caret();
  switch (key) {
  case VK_SHIFT:
    shiftDown_ = true;
    return;
  case VK_LEFT:
  case VK_RIGHT: {
    const bool left = key == VK_LEFT;
    goalX_ = -1;
    if (text_.hasSelection() && !shiftDown_)
      moveCaretTo(left ? text_.selectionStart() : text_.selectionEnd(), false);
    else
      moveCaretTo(left ? text_.previousBoundary(caret) : text_.nextBoundary(caret), shiftDown_);
    return;
  }
  case VK_UP:
  case VK_DOWN: {
    const bool up = key == VK_UP;
    if (!multiLine()) {
      goalX_ = -1;
      moveCaretTo(up ? text_.previousBoundary(caret) : text_.nextBoundary(caret), shiftDown_);
      return;
    }
    const std::size_t line = layout_->lineOf(caret);
    if ((up && line == 0) || (!up && line + 1 >= layout_->lineCount()))
      return;
    if (goalX_ < 0)
      goalX_ = layout_->xOf(caret);
    const int goal = goalX_;
    moveCaretTo(layout_->positionAt(up ? line - 1 : line + 1, goal), shiftDown_);
    goalX_ = goal;
    return;
  }
  case VK_HOME:
  case VK_END: {
    goalX_ = -1;
    const std::size_t line = layout_->lineOf(caret);
    if (key == VK_HOME)
      moveCaretTo(multiLine() ? layout_->lines()[line].start : 0, shiftDown_);
    else
      moveCaretTo(multiLine() ? layout_->lineEnd(line) : text_.size(), shiftDown_);
    return;
  }
  case VK_DELETE:
    if (!readOnly() && text_.deleteForward())
      changed(true);
    return;
  default:
    return;
  }
}

void EditWindow::moveCaretTo(std::size_t position, bool extend) {
  text_.moveCaret(position, extend);
  moved();
}

void EditWindow::moved() {
  revealCaret();
  invalidate();
}

void EditWindow::onReplaceSelection(LPCWSTR text) {
  bool cut = false;
  text_.replaceSelection(text ? std::u16string_view(text) : std::u16string_view(), &cut);
  changed(true);
  if (cut)
    notifyParent(EN_MAXTEXT);
}

void EditWindow::changed(bool notify, bool laidOut) {
  if (!laidOut)
    relayout();
  goalX_ = -1;
  followTitle();
  view_.clamp(layout_->lineCount(), visibleLines(), layout_->width(), caretWidth_,
              textArea().right - textArea().left);
  revealCaret();
  if (notify)
    notifyParent(EN_UPDATE);
  invalidate();
  UpdateWindow(hwnd_);
  if (notify)
    notifyParent(EN_CHANGE);
}

// ---------------------------------------------------------------------------------------------
// Stylus and focus

void EditWindow::onStylus(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = signedLow(lParam), y = signedHigh(lParam);
  switch (message) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    if (GetFocus() != hwnd_)
      SetFocus(hwnd_);
    tracking_ = true;
    goalX_ = -1;
    moveCaretTo(positionAt(x, y), shiftDown_);
    return;
  case WM_MOUSEMOVE:
    if (!tracking_ || !(wParam & kLeftButton))
      return;
    if (const std::size_t position = positionAt(x, y); position != text_.caret())
      moveCaretTo(position, true);
    return;
  default: // WM_LBUTTONUP
    tracking_ = false;
    return;
  }
}

std::size_t EditWindow::positionAt(int x, int y) const {
  const RECT area = textArea();
  const int row = y < area.top ? -1 : (y - area.top) / std::max(lineHeight_, 1);
  const long long line = static_cast<long long>(view_.firstLine()) + row;
  const std::size_t clamped = static_cast<std::size_t>(
      std::clamp<long long>(line, 0, static_cast<long long>(layout_->lineCount()) - 1));
  return layout_->positionAt(clamped, x - area.left + view_.scrollX());
}

void EditWindow::onFocus(bool focused, HWND other) {
  focused_ = focused;
  if (!focused) {
    tracking_ = false;
    shiftDown_ = false;
  }
  invalidate();
  panelGoesWithFocus(focused, other);
  notifyParent(focused ? EN_SETFOCUS : EN_KILLFOCUS);
}

bool EditWindow::panelFollows() const { return InputPanelCompanion::presentIn(notify_); }

void EditWindow::panelGoesWithFocus(bool focused, HWND other) {
  if (focused) {
    if (panelFollows() && SipShowIM(SIPF_ON))
      panelShown_ = true;
    return;
  }
  if (!panelShown_)
    return;
  panelShown_ = false;
  // Focus passing to another edit of this process that the panel follows keeps it up.
  const std::shared_ptr<EditWindow> next = other ? EditTable::instance().find(other) : nullptr;
  if (!next || !next->panelFollows())
    SipShowIM(SIPF_OFF);
}

// ---------------------------------------------------------------------------------------------
// Text and queries

void EditWindow::onSetText(LPCWSTR text) {
  text_.setText(text ? std::u16string_view(text) : std::u16string_view());
  view_.reset();
  // A multi-line edit tells nothing of a text set by the program, as on the device.
  changed(!multiLine());
}

LRESULT EditWindow::onGetText(WPARAM size, LPWSTR buffer) const {
  if (!buffer || size == 0)
    return 0;
  const std::size_t n = std::min<std::size_t>(text_.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(text_.text().data(), n, buffer);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT EditWindow::onGetSelection(WPARAM wParam, LPARAM lParam) const {
  const auto start = static_cast<DWORD>(text_.selectionStart());
  const auto end = static_cast<DWORD>(text_.selectionEnd());
  if (wParam)
    *reinterpret_cast<DWORD *>(wParam) = start;
  if (lParam)
    *reinterpret_cast<DWORD *>(lParam) = end;
  if (start > 0xFFFF || end > 0xFFFF)
    return -1;
  return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(start, end)));
}

LRESULT EditWindow::onGetLine(WPARAM line, LPARAM buffer) const {
  // The buffer's first WORD holds its size in characters; the line is copied without a
  // terminating zero.
  if (!buffer || line >= layout_->lineCount())
    return 0;
  auto *out = reinterpret_cast<WCHAR *>(buffer);
  const WORD room = *reinterpret_cast<const WORD *>(buffer);
  const auto &l = layout_->lines()[line];
  const std::size_t n = std::min<std::size_t>(l.end - l.start, room);
  std::copy_n(text_.text().data() + l.start, n, out);
  return static_cast<LRESULT>(n);
}

LRESULT EditWindow::onPosFromChar(WPARAM index) const {
  if (index > text_.size())
    return -1;
  const RECT area = textArea();
  const std::size_t line = layout_->lineOf(index);
  const int x = area.left + layout_->xOf(index) - view_.scrollX();
  const int y =
      area.top + (static_cast<int>(line) - static_cast<int>(view_.firstLine())) * lineHeight_;
  return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(x, y)));
}

LRESULT EditWindow::onCharFromPos(LPARAM point) const {
  const std::size_t position = positionAt(signedLow(point), signedHigh(point));
  const std::size_t line = layout_->lineOf(position);
  return static_cast<LRESULT>(static_cast<DWORD>(
      MAKELONG(std::min<std::size_t>(position, 0xFFFF), std::min<std::size_t>(line, 0xFFFF))));
}

void EditWindow::onSetFont(HFONT font, bool redraw) {
  font_ = font;
  measureFont();
  relayout();
  view_.clamp(layout_->lineCount(), visibleLines(), layout_->width(), caretWidth_,
              textArea().right - textArea().left);
  revealCaret();
  if (redraw)
    invalidate();
}

// ---------------------------------------------------------------------------------------------
// Layout

std::u16string EditWindow::shownText() const {
  if (password())
    return std::u16string(text_.size(), passwordChar_);
  return text_.text();
}

void EditWindow::measureFont() {
  if (!measureDc_)
    return;
  SelectObject(measureDc_, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  lineHeight_ = GetTextMetricsW(measureDc_, &metrics) ? std::max<LONG>(metrics.tmHeight, 1) : 16;
}

void EditWindow::relayout() {
  const RECT area = textArea();
  const int wrap =
      multiLine() && !(style_ & ES_AUTOHSCROLL) ? std::max<int>(area.right - area.left, 1) : 0;
  HDC dc = measureDc_;
  const EditLayout::Measure measure = [dc](std::u16string_view run, std::vector<int> &extents) {
    extents.assign(run.size(), 0);
    SIZE size{};
    if (!dc || run.empty() ||
        !GetTextExtentExPointW(dc, run.data(), static_cast<int>(run.size()), 0, nullptr,
                               extents.data(), &size))
      std::fill(extents.begin(), extents.end(), 0);
  };
  layout_.emplace(shownText(), multiLine(), wrap, measure);
}

RECT EditWindow::textArea() const {
  const RECT client = client_;
  const int border = (style_ & WS_BORDER) ? 1 : 0;
  RECT area{client.left + border + margin_, client.top + border + margin_ / 2,
            client.right - border - margin_, client.bottom - border - margin_ / 2};
  area.right = std::max(area.right, area.left);
  area.bottom = std::max(area.bottom, area.top);
  return area;
}

std::size_t EditWindow::visibleLines() const {
  const RECT area = textArea();
  return std::max<std::size_t>(1, static_cast<std::size_t>((area.bottom - area.top) / lineHeight_));
}

void EditWindow::revealCaret() {
  const RECT area = textArea();
  const std::size_t caret = text_.caret();
  view_.reveal(layout_->lineOf(caret), layout_->xOf(caret), caretWidth_, area.right - area.left,
               multiLine() ? visibleLines() : 1, scrollsHorizontally());
}

void EditWindow::followTitle() {
  std::u16string title = shownText();
  if (title.size() > kTitleUnits) {
    std::size_t n = kTitleUnits;
    if (title[n - 1] >= 0xD800 && title[n - 1] <= 0xDBFF)
      --n; // never half a surrogate pair
    title.resize(n);
  }
  DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
}

void EditWindow::notifyParent(UINT code) {
  if (!notify_)
    return;
  SendMessageW(notify_, WM_COMMAND,
               static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(id_ & 0xFFFF, code))),
               reinterpret_cast<LPARAM>(hwnd_));
}

void EditWindow::invalidate() { InvalidateRect(hwnd_, nullptr, FALSE); }

// ---------------------------------------------------------------------------------------------
// Painting

void EditWindow::paint() {
  PAINTSTRUCT ps{};
  HDC target = BeginPaint(hwnd_, &ps);
  const RECT client = client_;
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (!target || width <= 0 || height <= 0) {
    EndPaint(hwnd_, &ps);
    return;
  }
  // Drawn off screen first, so the text never flickers through an empty field.
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(SYSTEM_FONT));

  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  fill(dc, client, readOnly() || !enabled ? kReadOnlyBackground : kBackground);
  if (style_ & WS_BORDER) {
    fill(dc, RECT{0, 0, width, 1}, kText);
    fill(dc, RECT{0, height - 1, width, height}, kText);
    fill(dc, RECT{0, 0, 1, height}, kText);
    fill(dc, RECT{width - 1, 0, width, height}, kText);
  }

  const RECT area = textArea();
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  const std::u16string shown = shownText();
  const bool showSelection = text_.hasSelection() && (focused_ || (style_ & ES_NOHIDESEL));
  const std::size_t selStart = text_.selectionStart(), selEnd = text_.selectionEnd();
  const COLORREF textColour = enabled ? kText : kGreyText;
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP);

  const std::size_t first = multiLine() ? view_.firstLine() : 0;
  const std::size_t last = std::min(layout_->lineCount(), first + visibleLines() + 1);
  for (std::size_t i = first; i < last; ++i) {
    const auto &line = layout_->lines()[i];
    if (line.end > shown.size())
      break; // never drawn from lines of another text
    const int y = area.top + static_cast<int>(i - first) * lineHeight_;
    const int x0 = area.left - view_.scrollX();
    // The line in up to three runs: before, inside and after the selection.
    std::size_t runStart = line.start;
    while (runStart < line.end) {
      std::size_t runEnd = line.end;
      bool selected = false;
      if (showSelection) {
        if (runStart < selStart)
          runEnd = std::min(runEnd, selStart);
        else if (runStart < selEnd) {
          runEnd = std::min(runEnd, selEnd);
          selected = true;
        }
      }
      const int left = x0 + layout_->xOf(runStart);
      const int right = runEnd == line.end && line.wrapped
                            ? x0 + layout_->widthOf(i)
                            : x0 + (runEnd == line.start ? 0 : layout_->xOf(runEnd));
      if (selected) {
        fill(dc, RECT{left, y, std::max(right, left), y + lineHeight_}, kHighlight);
        SetTextColor(dc, kHighlightText);
      } else {
        SetTextColor(dc, textColour);
      }
      ExtTextOutW(dc, left, y, 0, nullptr, shown.data() + runStart,
                  static_cast<UINT>(runEnd - runStart), nullptr);
      runStart = runEnd;
    }
  }

  if (focused_) {
    const std::size_t caret = text_.caret();
    const std::size_t line = layout_->lineOf(caret);
    if (line >= first && line < last) {
      const int x = area.left - view_.scrollX() + layout_->xOf(caret);
      const int y = area.top + static_cast<int>(line - first) * lineHeight_;
      fill(dc, RECT{x, y, x + caretWidth_, y + lineHeight_}, textColour);
    }
  }

  BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd_, &ps);
}

} // namespace ce
