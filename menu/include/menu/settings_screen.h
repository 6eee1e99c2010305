// What the settings pass asks of the screen: the item-name font, the fill colour and the two
// background images. The menu's screen implements it with the toolkit.
#pragma once

#include <ce/types.h>

#include <string_view>

enum class ScreenOrientation { Portrait, Landscape };

class SettingsScreen {
public:
  virtual ~SettingsScreen() = default;

  // Makes the item-name font from a face name and a point size (the toolkit falls back to
  // "Tahoma" when the face cannot be made, and keeps the old font when neither can).
  virtual void setItemFont(std::u16string_view face, int pointSize) = 0;
  virtual void setBackgroundColor(COLORREF color) = 0;
  // Sets the background image of one orientation, darkened to `brightness` (0-255). `replace`
  // says whether a path already set for that orientation is replaced. True when the image could
  // be opened and set; a file that cannot be opened must fail, not give a placeholder.
  virtual bool setBackgroundImage(std::u16string_view path, ScreenOrientation orientation,
                                  int brightness, bool replace) = 0;
};
