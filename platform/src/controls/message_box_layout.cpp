#include "message_box_layout.h"

#include "menu_style.h"

#include <algorithm>

namespace ce {

MessageBoxMetrics MessageBoxMetrics::atScale(int scale) {
  MessageBoxMetrics m;
  const auto px = [scale](int units) { return MenuStyle::pixels(units, scale); };
  m.margin = px(m.margin);
  m.caption = px(m.caption);
  m.captionFont = px(m.captionFont);
  m.textFont = px(m.textFont);
  m.padding = px(m.padding);
  m.icon = px(m.icon);
  m.buttonHeight = px(m.buttonHeight);
  m.buttonWidth = px(m.buttonWidth);
  m.buttonGap = px(m.buttonGap);
  m.border = px(m.border);
  return m;
}

std::optional<MessageBoxButtons> MessageBoxButtons::forType(UINT type) {
  MessageBoxButtons b;
  switch (type & MB_TYPEMASK) {
  case MB_OK:
    b.answers = {IDOK};
    b.escapeAnswer = IDOK;
    break;
  case MB_OKCANCEL:
    b.answers = {IDOK, IDCANCEL};
    b.escapeAnswer = IDCANCEL;
    break;
  case MB_ABORTRETRYIGNORE:
    b.answers = {IDABORT, IDRETRY, IDIGNORE};
    break;
  case MB_YESNOCANCEL:
    b.answers = {IDYES, IDNO, IDCANCEL};
    b.escapeAnswer = IDCANCEL;
    break;
  case MB_YESNO:
    b.answers = {IDYES, IDNO};
    break;
  case MB_RETRYCANCEL:
    b.answers = {IDRETRY, IDCANCEL};
    b.escapeAnswer = IDCANCEL;
    break;
  default:
    return std::nullopt;
  }
  const int wanted = static_cast<int>((type & MB_DEFMASK) >> 8);
  b.defaultIndex = wanted < static_cast<int>(b.answers.size()) ? wanted : 0;
  return b;
}

const WCHAR *MessageBoxButtons::label(int answer) {
  switch (answer) {
  case IDOK:
    return u"OK";
  case IDCANCEL:
    return u"Cancel";
  case IDABORT:
    return u"Abort";
  case IDRETRY:
    return u"Retry";
  case IDIGNORE:
    return u"Ignore";
  case IDYES:
    return u"Yes";
  case IDNO:
    return u"No";
  default:
    return u"";
  }
}

int MessageBoxLayout::boxWidth(SIZE screen, const MessageBoxMetrics &m) {
  return std::max(static_cast<int>(screen.cx) - 2 * m.margin, 4 * m.padding);
}

RECT MessageBoxLayout::textColumn(int boxWidth, bool icon, const MessageBoxMetrics &m) {
  RECT r{m.padding, 0, boxWidth - m.padding, 0};
  if (icon)
    r.left += m.icon + m.padding;
  r.right = std::max(r.right, r.left + 1);
  return r;
}

SIZE MessageBoxLayout::boxSize(int boxWidth, int textHeight, bool icon, int screenHeight,
                               const MessageBoxMetrics &m) {
  const int body = std::max(textHeight, icon ? m.icon : 0) + 2 * m.padding;
  const int height = m.caption + body + m.buttonHeight + m.padding + m.border;
  return SIZE{boxWidth, std::min(height, std::max(screenHeight, m.caption + m.buttonHeight))};
}

RECT MessageBoxLayout::place(SIZE box, SIZE screen) {
  const int left = std::max(0, static_cast<int>(screen.cx - box.cx) / 2);
  const int top = std::max(0, static_cast<int>(screen.cy - box.cy) / 2);
  return RECT{left, top, left + box.cx, top + box.cy};
}

RECT MessageBoxLayout::captionRect(SIZE box, const MessageBoxMetrics &m) {
  return RECT{0, 0, box.cx, m.caption};
}

RECT MessageBoxLayout::bodyRect(SIZE box, const MessageBoxMetrics &m) {
  const int bottom = box.cy - m.border - m.padding - m.buttonHeight;
  return RECT{0, m.caption, box.cx, std::max(static_cast<int>(m.caption), bottom)};
}

RECT MessageBoxLayout::iconRect(SIZE box, const MessageBoxMetrics &m) {
  const RECT body = bodyRect(box, m);
  const int top = (body.top + body.bottom - m.icon) / 2;
  return RECT{m.padding, top, m.padding + m.icon, top + m.icon};
}

std::vector<RECT> MessageBoxLayout::buttonRects(SIZE box, int count, const MessageBoxMetrics &m) {
  std::vector<RECT> rects;
  if (count <= 0)
    return rects;
  const int room = static_cast<int>(box.cx) - 2 * m.padding - (count - 1) * m.buttonGap;
  const int width = std::max(1, std::min(m.buttonWidth, room / count));
  const int total = count * width + (count - 1) * m.buttonGap;
  int left = (static_cast<int>(box.cx) - total) / 2;
  const int bottom = static_cast<int>(box.cy) - m.border - m.padding;
  for (int i = 0; i < count; ++i) {
    rects.push_back(RECT{left, bottom - m.buttonHeight, left + width, bottom});
    left += width + m.buttonGap;
  }
  return rects;
}

} // namespace ce
