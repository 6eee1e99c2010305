#include "controls/input_panel_layout.h"

#include "shell/taskbar_geometry.h"

#include <ce/input.h>
#include <ce/sip.h>

#include <algorithm>

namespace ce {

namespace {

constexpr int kUnits = 10; // key units per row
constexpr int kRows = 5;

int shorterSide(int width, int height) { return std::max(1, std::min(width, height)); }

// `base` pixels at a shorter side of 480, rounded.
int scaled(int base, int width, int height) {
  return (base * shorterSide(width, height) + 240) / 480;
}

struct KeyPlace {
  double from; // units
  double to;
  BYTE key;
  const char16_t *label;
};

} // namespace

int InputPanelLayout::panelHeight(int screenWidth, int screenHeight) {
  return std::max(kRows, scaled(SIP_HEIGHT_480, screenWidth, screenHeight));
}

int InputPanelLayout::taskbarHeight(TaskbarKind kind, int screenWidth, int) {
  // The taskbar's own geometry: its height follows the screen's width, in either orientation.
  return shell::TaskbarGeometry(kind, screenWidth).height();
}

RECT InputPanelLayout::panelRect(int screenWidth, int screenHeight) {
  return RECT{0, screenHeight - panelHeight(screenWidth, screenHeight), screenWidth, screenHeight};
}

RECT InputPanelLayout::visibleDesktop(TaskbarKind kind, int screenWidth, int screenHeight,
                                      bool panelShown) {
  const int top = std::min(screenHeight, taskbarHeight(kind, screenWidth, screenHeight));
  const int bottom = panelShown ? panelRect(screenWidth, screenHeight).top : screenHeight;
  return RECT{0, top, screenWidth, std::max(top, bottom)};
}

InputPanelLayout::InputPanelLayout(int width, int height) {
  static const std::vector<std::vector<KeyPlace>> rows = [] {
    std::vector<std::vector<KeyPlace>> r(kRows);
    static const char16_t *const digits[] = {u"1", u"2", u"3", u"4", u"5",
                                             u"6", u"7", u"8", u"9", u"0"};
    for (int i = 0; i < 10; ++i)
      r[0].push_back({double(i), double(i + 1), BYTE(i == 9 ? '0' : '1' + i), digits[i]});
    static const char16_t *const letters[] = {u"q", u"w", u"e", u"r", u"t", u"y", u"u", u"i", u"o",
                                              u"p", u"a", u"s", u"d", u"f", u"g", u"h", u"j", u"k",
                                              u"l", u"z", u"x", u"c", u"v", u"b", u"n", u"m"};
    const auto key = [](const char16_t *label) { return BYTE(label[0] - u'a' + 'A'); };
    for (int i = 0; i < 10; ++i)
      r[1].push_back({double(i), double(i + 1), key(letters[i]), letters[i]});
    for (int i = 0; i < 9; ++i)
      r[2].push_back({i + 0.5, i + 1.5, key(letters[10 + i]), letters[10 + i]});
    for (int i = 0; i < 7; ++i)
      r[3].push_back({i + 0.5, i + 1.5, key(letters[19 + i]), letters[19 + i]});
    r[3].push_back({7.5, 10.0, BYTE(VK_BACK), u"\u2190"});
    r[4].push_back({0.0, 7.5, BYTE(VK_SPACE), u"space"});
    r[4].push_back({7.5, 10.0, BYTE(VK_RETURN), u"\u21B5"});
    return r;
  }();
  width = std::max(width, 0);
  height = std::max(height, 0);
  for (int row = 0; row < kRows; ++row) {
    const LONG top = height * row / kRows;
    const LONG bottom = height * (row + 1) / kRows;
    for (const KeyPlace &place : rows[static_cast<std::size_t>(row)]) {
      const auto x = [width](double units) {
        return static_cast<LONG>(units * width / kUnits + 0.5);
      };
      keys_.push_back(Key{RECT{x(place.from), top, x(place.to), bottom}, place.key, place.label});
    }
  }
}

const InputPanelLayout::Key *InputPanelLayout::keyAt(POINT point) const {
  for (const Key &k : keys_)
    if (point.x >= k.rect.left && point.x < k.rect.right && point.y >= k.rect.top &&
        point.y < k.rect.bottom)
      return &k;
  return nullptr;
}

const InputPanelLayout::Key *InputPanelLayout::find(BYTE key) const {
  for (const Key &k : keys_)
    if (k.key == key)
      return &k;
  return nullptr;
}

} // namespace ce
