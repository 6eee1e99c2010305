// One soft-key bar in the host: the "MenuBar" frame window owned by the client's window, the
// "ToolbarWindow32" child that draws the keys and takes the taps, and the keys themselves. It
// lives on the bar server's thread; every member runs there. Both windows are bound to it
// (WindowBinding); it tells its maker once both have gone, and stays while its own code runs
// (a tap on a key may end with the owner, and so the bar, gone).
#pragma once

#include "menu_bar_request.h"
#include "menu_tree.h"
#include "stylus_press.h"

#include <ce/menubar.h>
#include <ce/windows_api.h>

#include <functional>
#include <memory>
#include <vector>

namespace ce {

class MenuBar : public std::enable_shared_from_this<MenuBar> {
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

  // Registers the frame's and the keys' window classes in this process.
  static bool registerClasses();

  // `gone` is called once both windows have gone.
  using Gone = std::function<void(const MenuBar &bar)>;
  MenuBar(MenuBarRequest request, Gone gone);
  ~MenuBar();
  MenuBar(const MenuBar &) = delete;
  MenuBar &operator=(const MenuBar &) = delete;

  // Makes the windows; false with the last error set. Call on a bar owned by a shared_ptr.
  bool create();
  HWND frame() const { return frame_; }
  HWND toolbar() const { return toolbar_; }
  HWND owner() const { return owner_; }

  // The windows' messages (WindowBinding).
  LRESULT frameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT toolbarMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  void layout();
  void follow();
  void paint();
  int keyAt(POINT client) const;
  void tapped(int key);
  bool sipButtonShown() const { return !(flags_ & SHCMBF_HIDESIPBUTTON) && !sipButtonHidden_; }
  void paintSipButton(HDC dc, int scale, bool down);
  void redraw();
  // A window of the bar has gone: tells the maker once both have.
  void windowGone();

  HWND owner_;
  DWORD flags_;
  COLORREF colour_;
  std::vector<Key> keys_;
  Gone gone_;
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
