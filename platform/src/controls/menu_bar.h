// One soft-key bar in the host: the "MenuBar" frame window owned by the client's window, the
// "ToolbarWindow32" child that draws the keys and takes the taps, and the keys themselves. It
// lives on the bar server's thread; every member runs there.
#pragma once

#include "menu_bar_request.h"
#include "menu_tree.h"
#include "stylus_press.h"

#include <ce/menubar.h>
#include <ce/windows_api.h>

#include <memory>
#include <vector>

namespace ce {

class MenuBar {
public:
  static constexpr const WCHAR *kFrameClass = u"MenuBar";
  static constexpr const WCHAR *kToolbarClass = u"ToolbarWindow32";
  static constexpr int kHeightUnits = 26;
  static constexpr int kFontUnits = 12;

  struct Key {
    int id = 0;
    std::u16string text;
    bool enabled = true;
    std::shared_ptr<const MenuTree> popup; // a key that opens a menu

    bool operator==(const Key &other) const = default;
  };

  // The bar's height on a screen of this size.
  static int height(SIZE screen);
  // The keys' rectangles in a bar of this size: the left and right halves, less the input panel
  // button between them when the bar shows it.
  static std::vector<RECT> keyRects(SIZE bar, bool withSipButton);
  // The input panel button: a square as high as the bar, in its middle.
  static RECT sipButtonRect(SIZE bar);
  // What a tap on the input panel button reports instead of a key's index.
  static constexpr int kSipButton = 100;
  // The keys for a bar's menu: its first two items.
  static std::vector<Key> keysOf(const MenuTree &menu);
  // Applies TB_SETBUTTONINFO to `keys`; false when no key has that id (or index) or the record
  // is not one the bar reads.
  static bool setButtonInfo(std::vector<Key> &keys, WPARAM which, const TBBUTTONINFO *info);

  explicit MenuBar(MenuBarRequest request);
  ~MenuBar();
  MenuBar(const MenuBar &) = delete;
  MenuBar &operator=(const MenuBar &) = delete;

  // Makes the windows; false with the last error set.
  bool create();
  HWND frame() const { return frame_; }
  HWND toolbar() const { return toolbar_; }
  HWND owner() const { return owner_; }

  LRESULT frameMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT toolbarMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
  void layout();
  void follow();
  void paint();
  int keyAt(POINT client) const;
  void tapped(int key);
  bool sipButtonShown() const { return !(flags_ & SHCMBF_HIDESIPBUTTON) && !sipButtonHidden_; }
  void paintSipButton(HDC dc, int scale, bool down);
  void redraw();

  HWND owner_;
  DWORD flags_;
  COLORREF colour_;
  std::vector<Key> keys_;
  HWND frame_ = nullptr;
  HWND toolbar_ = nullptr;
  HFONT font_ = nullptr;
  SIZE screen_{};
  SIZE size_{};
  StylusPress press_;            // on the keys
  int open_ = -1;                // the key whose menu is open
  bool shown_ = false;           // the frame shows (it follows the owner)
  int ownerWatch_ = 0;           // the view of the windows tells the bar of its owner
  bool sipButtonHidden_ = false; // the owner hid the input panel button (SHFullScreen)
};

} // namespace ce
