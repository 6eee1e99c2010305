// What the settings pass asks of the screen, done with the toolkit: the item-name font is the
// widgets' small font, the background colour and images are the main window's.
#pragma once

#include <menu/settings_screen.h>

class DirectDrawWarp;

class ToolkitSettingsScreen : public SettingsScreen {
public:
  explicit ToolkitSettingsScreen(DirectDrawWarp &window) : window_(window) {}

  void setItemFont(std::u16string_view face, int pointSize) override;
  void setBackgroundColor(COLORREF color) override;
  // An image file that cannot be opened fails (no placeholder picture is made for it).
  bool setBackgroundImage(std::u16string_view path, ScreenOrientation orientation, int brightness,
                          bool replace) override;

private:
  DirectDrawWarp &window_;
};
