// Where the input panel and its keys are, and what is left of the screen for programs, as plain
// geometry for a screen size: the panel's window, its client side and SipGetInfo all use it.
//
// The panel is SIP_HEIGHT_480 pixels high per 480 pixels of the screen's shorter side and spans
// the screen's width at its bottom. Its keys lie in five rows of ten units each: the digits,
// "qwertyuiop", "asdfghjkl" (offset by half a key), "zxcvbnm" with a wide backspace, and a space
// bar beside Enter.
#pragma once

#include <ce/core/device_profile.h>
#include <ce/types.h>

#include <string>
#include <vector>

namespace ce {

class InputPanelLayout {
public:
  struct Key {
    RECT rect; // in the panel's client coordinates
    BYTE key;  // the virtual key it presses
    std::u16string label;
  };

  static int panelHeight(int screenWidth, int screenHeight);
  static int taskbarHeight(TaskbarKind kind, int screenWidth, int screenHeight);
  // The panel's window on the screen.
  static RECT panelRect(int screenWidth, int screenHeight);
  // The screen below the taskbar, less the panel while it shows.
  static RECT visibleDesktop(TaskbarKind kind, int screenWidth, int screenHeight, bool panelShown);

  // The keys of a panel of this client size.
  InputPanelLayout(int width, int height);
  const std::vector<Key> &keys() const { return keys_; }
  // The key under a point of the panel's client area, or null.
  const Key *keyAt(POINT point) const;
  // The key that presses `key`, or null.
  const Key *find(BYTE key) const;

private:
  std::vector<Key> keys_;
};

} // namespace ce
