// One popup menu being tracked on the calling thread: its levels (the menu and the submenus
// opened from it, each a topmost window of class "MenuPopup" that never takes the foreground),
// the modal message loop, the stylus and the keys.
//
// The stylus: a press outside every level cancels; a press on an item highlights it (an item
// with a submenu opens the submenu beside it); lifting the stylus on an item that can be chosen
// chooses it. A lift only chooses after a press inside a level, or after the stylus has been
// dragged across the popup (press and hold, slide onto an item, lift): the lift of the press
// that opened the menu chooses nothing. Stylus messages are taken for every window of the thread
// by their screen point, so the thread's own windows cannot be tapped while the menu is up.
// While the menu is up the stylus is captured for it, so that a tap on any other window reaches
// the menu and cancels it; another window taking the capture cancels the menu too.
//
// Keys that reach the thread go to the menu: up and down move the highlight over the items that
// are not separators, right opens a submenu, left and ESC close a level (ESC on the first level
// cancels), ENTER chooses or opens.
//
// Every other message is dispatched as usual. WM_QUIT cancels and is posted again; the owner's
// end destroys the popup windows (they are owned by it) and cancels.
#pragma once

#include "menu_tree.h"
#include "popup_layout.h"

#include <ce/windows_api.h>

#include <optional>
#include <vector>

namespace ce {

class PopupTracker {
public:
  PopupTracker(const MenuTree &menu, HWND owner);
  ~PopupTracker();
  PopupTracker(const PopupTracker &) = delete;
  PopupTracker &operator=(const PopupTracker &) = delete;

  // Shows the menu placed at `point` by `flags` and runs the loop. The chosen command id, 0
  // when cancelled; nothing, with the last error set, when the menu could not be shown (ERROR_BUSY
  // when this thread already tracks a menu).
  std::optional<UINT> run(POINT point, UINT flags, const RECT *exclude);

  // The popup windows' messages (WindowBinding).
  LRESULT popupMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  void paint(HWND hwnd);
  void windowDestroyed(HWND hwnd);
  void captureLost();
  struct Level {
    const MenuTree *menu = nullptr;
    PopupGeometry geometry;
    RECT rect{}; // screen
    HWND hwnd = nullptr;
    int highlight = -1;
    int openedFrom = -1; // the item of the level above that opened this one
  };

  bool openLevel(const MenuTree &menu, const RECT &rect, int openedFrom);
  void closeLevelsAfter(std::size_t level);
  SIZE sizeOf(const MenuTree &menu, PopupGeometry &geometry) const;
  // The level and item under a screen point; level -1 when outside every level.
  std::pair<int, int> hit(POINT screen) const;
  void setHighlight(std::size_t level, int item, bool openSubmenu);
  void moveHighlight(int step);
  void openSubmenu(std::size_t level, int item, bool highlightFirst);
  RECT itemOnScreen(const Level &level, int item) const;
  void redraw(const Level &level) const;

  void stylus(const MSG &msg);
  void key(WPARAM key);
  void choose(UINT id);
  void cancel();

  MenuTree menu_;
  HWND owner_ = nullptr;
  PopupMetrics metrics_;
  SIZE screen_{};
  HFONT font_ = nullptr;
  HDC measure_ = nullptr;
  std::vector<Level> levels_;
  bool done_ = false;
  bool ownerGone_ = false;
  bool capturing_ = false;
  UINT chosen_ = 0;
  bool pressed_ = false;   // a press inside a level is under way
  bool armed_ = false;     // the next lift may choose
  std::optional<POINT> dragStart_;
};

} // namespace ce
