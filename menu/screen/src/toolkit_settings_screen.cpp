#include <menu/screen/toolkit_settings_screen.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/widget/widget_fonts.h>

#include <string>

namespace {

// The font the icon tiles write their names with.
constexpr int ItemNameFont = static_cast<int>(FontChoice::Small);

} // namespace

void ToolkitSettingsScreen::setItemFont(std::u16string_view face, int pointSize) {
  WidgetFonts::changeFont(face, pointSize, ItemNameFont);
}

void ToolkitSettingsScreen::setBackgroundColor(COLORREF color) {
  window_.setBackgroundColor(color);
}

bool ToolkitSettingsScreen::setBackgroundImage(std::u16string_view path,
                                               ScreenOrientation orientation, int brightness,
                                               bool replace) {
  const bool previous = setNoImagePlaceholder(true);
  const HRESULT result = window_.setBackgroundImg(
      std::u16string(path), orientation == ScreenOrientation::Landscape, brightness, replace);
  setNoImagePlaceholder(previous);
  return SUCCEEDED(result);
}
