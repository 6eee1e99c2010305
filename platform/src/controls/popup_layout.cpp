#include "popup_layout.h"

#include "menu_style.h"

#include <algorithm>

namespace ce {

namespace {

bool overlaps(const RECT &a, const RECT &b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT at(int left, int top, SIZE size) { return RECT{left, top, left + size.cx, top + size.cy}; }

// One axis: the start of a span of `length` placed at `point` by `align` (0 start, 1 centre, 2
// end), flipped or shifted to stay within [0, limit).
int placeAxis(int point, int length, int align, int limit) {
  int start = align == 0 ? point : align == 1 ? point - length / 2 : point - length;
  if (length >= limit)
    return 0;
  if (start + length > limit) {
    const int flipped = point - length;
    start = align == 0 && flipped >= 0 ? flipped : limit - length;
  }
  if (start < 0) {
    const int flipped = point;
    start = align == 2 && flipped + length <= limit ? flipped : 0;
  }
  return start;
}

} // namespace

PopupMetrics PopupMetrics::atScale(int scale) {
  PopupMetrics m;
  const auto px = [scale](int units) { return MenuStyle::pixels(units, scale); };
  m.row = px(m.row);
  m.separator = px(m.separator);
  m.border = px(m.border);
  m.padding = px(m.padding);
  m.checkColumn = px(m.checkColumn);
  m.arrowColumn = px(m.arrowColumn);
  m.tabGap = px(m.tabGap);
  m.minWidth = px(m.minWidth);
  m.fontHeight = px(m.fontHeight);
  m.dragSlop = px(m.dragSlop);
  return m;
}

std::u16string_view PopupLayout::label(std::u16string_view text) {
  return text.substr(0, text.find(u'\t'));
}

std::u16string_view PopupLayout::accelerator(std::u16string_view text) {
  const auto tab = text.find(u'\t');
  return tab == std::u16string_view::npos ? std::u16string_view() : text.substr(tab + 1);
}

PopupGeometry PopupLayout::measure(const MenuTree &menu, const PopupMetrics &m,
                                   const TextWidth &textWidth, int screenWidth) {
  PopupGeometry g;
  int labels = 0, accelerators = 0;
  for (const auto &item : menu.items) {
    if (item.isSeparator())
      continue;
    labels = std::max(labels, textWidth(label(item.text)));
    accelerators = std::max(accelerators, textWidth(accelerator(item.text)));
    g.checkColumn = g.checkColumn || (item.flags & MF_CHECKED);
    g.arrowColumn = g.arrowColumn || item.isPopup();
  }
  int width = 2 * m.border + 2 * m.padding + labels;
  if (accelerators > 0)
    width += m.tabGap + accelerators;
  if (g.checkColumn)
    width += m.checkColumn;
  if (g.arrowColumn)
    width += m.arrowColumn;
  width = std::max(width, m.minWidth);
  if (screenWidth > 0)
    width = std::min(width, screenWidth);

  int y = m.border;
  for (const auto &item : menu.items) {
    const int height = item.isSeparator() ? m.separator : m.row;
    g.rows.push_back(RECT{m.border, y, width - m.border, y + height});
    y += height;
  }
  if (menu.items.empty())
    y += m.row / 2; // an empty menu still shows as a small box
  g.size = SIZE{width, y + m.border};
  return g;
}

int PopupLayout::itemAt(const PopupGeometry &g, POINT p) {
  for (std::size_t i = 0; i < g.rows.size(); ++i) {
    const RECT &r = g.rows[i];
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
      return static_cast<int>(i);
  }
  return -1;
}

RECT PopupLayout::placeAtPoint(POINT point, SIZE size, UINT flags, SIZE screen,
                               const RECT *exclude) {
  const int hAlign = (flags & TPM_RIGHTALIGN) ? 2 : (flags & TPM_CENTERALIGN) ? 1 : 0;
  const int vAlign = (flags & TPM_BOTTOMALIGN) ? 2 : (flags & TPM_VCENTERALIGN) ? 1 : 0;
  RECT r = at(placeAxis(point.x, size.cx, hAlign, screen.cx),
              placeAxis(point.y, size.cy, vAlign, screen.cy), size);
  if (!exclude || !overlaps(r, *exclude))
    return r;
  // Beside the rectangle to keep clear of, on whichever side has room.
  const RECT &e = *exclude;
  if (flags & TPM_VERTICAL) {
    if (e.bottom + size.cy <= screen.cy)
      return at(r.left, e.bottom, size);
    if (e.top - size.cy >= 0)
      return at(r.left, e.top - size.cy, size);
  } else {
    if (e.right + size.cx <= screen.cx)
      return at(e.right, r.top, size);
    if (e.left - size.cx >= 0)
      return at(e.left - size.cx, r.top, size);
  }
  return r;
}

RECT PopupLayout::placeBeside(const RECT &parent, const RECT &item, SIZE size, SIZE screen,
                              int overlap) {
  int left = parent.right - overlap;
  if (left + size.cx > screen.cx)
    left = parent.left + overlap - size.cx >= 0 ? parent.left + overlap - size.cx
                                                : std::max(0, static_cast<int>(screen.cx - size.cx));
  int top = item.top - overlap;
  if (top + size.cy > screen.cy)
    top = screen.cy - size.cy;
  top = std::max(0, top);
  return at(left, top, size);
}

} // namespace ce
