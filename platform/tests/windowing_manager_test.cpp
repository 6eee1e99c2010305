// The host's window manager as a plain state machine: requests in, events out.
#include "../src/windowing/window_manager.h"

#include <ce/errors.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using ce::host::RectangleSet;
using ce::host::WindowEvent;
using ce::host::WindowManager;
using Kind = WindowEvent::Kind;

constexpr WindowManager::Caller kShell{10, 100};
constexpr WindowManager::Caller kApp{20, 200};
constexpr WindowManager::Caller kOther{30, 300};

struct Seen {
  Kind kind;
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Seen &) const = default;
};

std::vector<Seen> sent(const std::vector<WindowEvent> &events) {
  std::vector<Seen> out;
  for (const auto &e : events)
    if (e.kind == Kind::Send)
      out.push_back(Seen{e.kind, e.hwnd, e.message, e.wParam, e.lParam});
  return out;
}

std::vector<UINT> messagesTo(const std::vector<WindowEvent> &events, HWND hwnd) {
  std::vector<UINT> out;
  for (const auto &e : events)
    if (e.hwnd == hwnd && e.kind == Kind::Send)
      out.push_back(e.message);
  return out;
}

bool has(const std::vector<WindowEvent> &events, Kind kind, HWND hwnd) {
  return std::any_of(events.begin(), events.end(),
                     [&](const WindowEvent &e) { return e.kind == kind && e.hwnd == hwnd; });
}

RECT rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }
bool sameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
LPARAM asParam(HWND h) { return reinterpret_cast<LPARAM>(h); }
WPARAM asWParam(HWND h) { return reinterpret_cast<WPARAM>(h); }

class WindowingManager : public ::testing::Test {
protected:
  WindowManager wm{480, 640};

  // The window's update region in client coordinates.
  RectangleSet pending(HWND hwnd) {
    RectangleSet set;
    const auto paint = wm.updateRegion(hwnd);
    for (const RECT &r : paint->rects)
      set.add(r);
    return set;
  }

  void SetUp() override {
    for (auto c : {kShell, kApp, kOther})
      ASSERT_NE(wm.registerClass(c, u"Frame", 0), 0);
  }

  HWND make(WindowManager::Caller c, RECT r, DWORD style = WS_VISIBLE, HWND parent = nullptr,
            const std::u16string &title = u"", DWORD exStyle = 0) {
    WindowManager::Creation creation;
    creation.className = u"Frame";
    creation.title = title;
    creation.style = style;
    creation.exStyle = exStyle;
    creation.x = r.left;
    creation.y = r.top;
    creation.width = r.right - r.left;
    creation.height = r.bottom - r.top;
    creation.parent = parent;
    HWND h = wm.createWindow(c, creation);
    EXPECT_NE(h, nullptr) << wm.lastError();
    return h;
  }
};

TEST(WindowingRectangleSet, SubtractAddAndIntersectKeepExactPixels) {
  RectangleSet set(rect(0, 0, 100, 100));
  set.subtract(rect(25, 25, 75, 75)); // a hole in the middle
  EXPECT_EQ(set.area(), 10000 - 2500);
  EXPECT_FALSE(set.contains(POINT{50, 50}));
  EXPECT_TRUE(set.contains(POINT{10, 50}));
  EXPECT_FALSE(set.contains(POINT{100, 0})); // right edge is exclusive

  set.add(rect(50, 50, 150, 150));                           // overlaps the ring and the hole
  EXPECT_EQ(set.area(), 7500 + 10000 - (50 * 50 - 25 * 25)); // less the overlap with the ring
  for (size_t i = 0; i < set.rects().size(); ++i)
    for (size_t j = i + 1; j < set.rects().size(); ++j)
      EXPECT_TRUE(
          RectangleSet::isEmpty(RectangleSet::intersection(set.rects()[i], set.rects()[j])));

  set.intersect(rect(0, 0, 60, 60));
  EXPECT_EQ(set.area(), 3600 - 35 * 35 + 10 * 10);
  EXPECT_TRUE(sameRect(set.bounds(), rect(0, 0, 60, 60)));

  RectangleSet other(rect(0, 0, 60, 60));
  other.subtract(rect(25, 25, 60, 60));
  other.add(rect(50, 50, 60, 60));
  EXPECT_TRUE(set.samePixels(other));
  set.subtract(rect(-1000, -1000, 1000, 1000));
  EXPECT_TRUE(set.empty());
  EXPECT_TRUE(sameRect(set.bounds(), rect(0, 0, 0, 0)));
}

TEST_F(WindowingManager, ClassesArePerProcessAndNamesIgnoreCase) {
  EXPECT_EQ(wm.registerClass(kApp, u"FRAME", 0), 0);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_NE(wm.registerClass(kApp, u"Vireta", 0), 0);

  WindowManager::Creation c;
  c.className = u"vireta";
  EXPECT_EQ(wm.createWindow(kOther, c), nullptr); // another process's class
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
  HWND h = wm.createWindow(kApp, c);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(*wm.className(h), u"Vireta"); // the name as registered
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(h) & 1, 0u);

  ASSERT_TRUE(wm.destroyWindow(kApp, h));
  EXPECT_TRUE(wm.unregisterClass(kApp, u"VIRETA"));
  EXPECT_FALSE(wm.unregisterClass(kApp, u"VIRETA"));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(WindowingManager, CreationGeometryDefaultsAndTree) {
  wm.setWorkArea(rect(0, 36, 480, 640));
  WindowManager::Creation c;
  c.className = u"Frame";
  HWND top = wm.createWindow(kApp, c); // every coordinate CW_USEDEFAULT
  ASSERT_NE(top, nullptr);
  EXPECT_TRUE(sameRect(*wm.windowRect(top), rect(0, 36, 480, 640)));
  EXPECT_TRUE(sameRect(*wm.clientRect(top), rect(0, 0, 480, 604)));
  EXPECT_FALSE(wm.isVisible(top));

  HWND child = make(kApp, rect(10, 20, 110, 70), WS_CHILD | WS_VISIBLE, top);
  EXPECT_TRUE(sameRect(*wm.windowRect(child), rect(10, 56, 110, 106)));
  EXPECT_FALSE(wm.isVisible(child)); // its parent is hidden
  EXPECT_EQ(wm.getWindow(top, GW_CHILD), child);
  EXPECT_EQ(wm.getWindow(child, GW_OWNER), nullptr);

  WindowManager::Creation orphan;
  orphan.className = u"Frame";
  orphan.style = WS_CHILD;
  EXPECT_EQ(wm.createWindow(kApp, orphan), nullptr);
  orphan.parent = reinterpret_cast<HWND>(0x7777000);
  EXPECT_EQ(wm.createWindow(kApp, orphan), nullptr);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

  // A top-level window given a child as parent is owned by the child's top-level window.
  HWND dialog = make(kApp, rect(0, 0, 10, 10), 0, child);
  EXPECT_EQ(wm.getWindow(dialog, GW_OWNER), top);
  EXPECT_EQ(wm.getWindow(wm.desktop(), GW_CHILD), dialog); // newest on top
  EXPECT_EQ(wm.getWindow(dialog, GW_HWNDNEXT), top);
  EXPECT_EQ(wm.getWindow(top, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(wm.getWindow(top, GW_HWNDFIRST), dialog);
  EXPECT_EQ(wm.getWindow(top, GW_HWNDPREV), dialog);
  EXPECT_EQ(wm.getWindow(reinterpret_cast<HWND>(0x1234), GW_CHILD), nullptr);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{dialog, top}));
}

TEST_F(WindowingManager, FindWindowMatchesTopLevelClassAndTitleIgnoringCase) {
  ASSERT_NE(wm.registerClass(kApp, u"HHTaskBar", 0), 0);
  WindowManager::Creation c;
  c.className = u"HHTaskBar";
  c.title = u"Taskbar";
  HWND bar = wm.createWindow(kApp, c); // hidden windows are found too
  HWND frame = make(kApp, rect(0, 0, 50, 50), WS_VISIBLE, nullptr, u"Vireta");
  make(kApp, rect(0, 0, 5, 5), WS_CHILD | WS_VISIBLE, frame, u"Inner");

  const std::u16string taskbar = u"hhtaskbar", title = u"VIRETA", inner = u"Inner",
                       frameClass = u"Frame";
  EXPECT_EQ(wm.findWindow(&taskbar, nullptr), bar);
  EXPECT_EQ(wm.findWindow(nullptr, &title), frame);
  EXPECT_EQ(wm.findWindow(&frameClass, &title), frame);
  EXPECT_EQ(wm.findWindow(&taskbar, &title), nullptr);
  EXPECT_EQ(wm.findWindow(nullptr, &inner), nullptr); // children are not searched
  EXPECT_EQ(wm.findWindow(nullptr, nullptr), frame);  // the topmost window
}

TEST_F(WindowingManager, ActivationSendsDeactivateThenActivateThenFocusMoves) {
  HWND shell = make(kShell, rect(0, 0, 480, 640));
  EXPECT_EQ(wm.foreground(), shell);
  auto first = wm.takeEvents();
  EXPECT_EQ(messagesTo(first, shell), (std::vector<UINT>{WM_ACTIVATE, WM_SETFOCUS}));

  HWND app = make(kApp, rect(0, 0, 480, 640), 0);
  wm.takeEvents();
  EXPECT_FALSE(wm.showWindow(kApp, app, SW_SHOW));
  const auto events = wm.takeEvents();
  const auto order = sent(events);
  const std::vector<Seen> expected{
      {Kind::Send, app, WM_SHOWWINDOW, TRUE, 0},
      {Kind::Send, shell, WM_ACTIVATE, WA_INACTIVE, asParam(app)},
      {Kind::Send, app, WM_ACTIVATE, WA_ACTIVE, asParam(shell)},
      {Kind::Send, shell, WM_KILLFOCUS, asWParam(app), 0},
      {Kind::Send, app, WM_SETFOCUS, 0, 0},
  };
  EXPECT_EQ(order, expected);
  // Each event names the thread that owns its window.
  for (const auto &e : events)
    EXPECT_EQ(e.thread, e.hwnd == app ? kApp.thread : kShell.thread);
  EXPECT_EQ(wm.foreground(), app);
  EXPECT_EQ(wm.focus(kApp.thread), app);
  EXPECT_EQ(wm.focus(kShell.thread), nullptr);

  // Bringing the shell back reverses it; the app thread's focus goes.
  EXPECT_TRUE(wm.setForeground(kApp, shell));
  EXPECT_EQ(sent(wm.takeEvents()), (std::vector<Seen>{
                                       {Kind::Send, app, WM_ACTIVATE, WA_INACTIVE, asParam(shell)},
                                       {Kind::Send, shell, WM_ACTIVATE, WA_ACTIVE, asParam(app)},
                                       {Kind::Send, app, WM_KILLFOCUS, asWParam(shell), 0},
                                       {Kind::Send, shell, WM_SETFOCUS, 0, 0},
                                   }));
  // Already in front: nothing is sent.
  EXPECT_TRUE(wm.setForeground(kApp, shell));
  EXPECT_TRUE(sent(wm.takeEvents()).empty());
  EXPECT_FALSE(wm.setForeground(kApp, reinterpret_cast<HWND>(0x999990)));
}

TEST_F(WindowingManager, FocusWithinTheActiveWindowAndAcrossThreads) {
  HWND app = make(kApp, rect(0, 0, 200, 200));
  HWND edit = make(kApp, rect(10, 10, 50, 30), WS_CHILD | WS_VISIBLE, app);
  wm.takeEvents();
  EXPECT_EQ(wm.setFocus(kApp, edit), app);
  EXPECT_EQ(sent(wm.takeEvents()), (std::vector<Seen>{
                                       {Kind::Send, app, WM_KILLFOCUS, asWParam(edit), 0},
                                       {Kind::Send, edit, WM_SETFOCUS, asWParam(app), 0},
                                   }));
  // Re-activating the window keeps the focus on the child.
  HWND other = make(kOther, rect(0, 0, 100, 100));
  EXPECT_EQ(wm.focus(kApp.thread), nullptr);
  wm.takeEvents();
  // SetFocus from another process brings the window's top level forward first.
  wm.setFocus(kShell, edit);
  const auto events = sent(wm.takeEvents());
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], (Seen{Kind::Send, other, WM_ACTIVATE, WA_INACTIVE, asParam(app)}));
  EXPECT_EQ(events[1], (Seen{Kind::Send, app, WM_ACTIVATE, WA_ACTIVE, asParam(other)}));
  EXPECT_EQ(wm.foreground(), app);
  EXPECT_EQ(wm.focus(kApp.thread), edit);

  // Disabling the focus window takes the focus away; a disabled window cannot take it.
  wm.takeEvents();
  EXPECT_FALSE(wm.enableWindow(kApp, edit, false));
  EXPECT_EQ(wm.focus(kApp.thread), nullptr);
  EXPECT_EQ(messagesTo(wm.takeEvents(), edit), (std::vector<UINT>{WM_ENABLE, WM_KILLFOCUS}));
  EXPECT_EQ(wm.setFocus(kApp, edit), nullptr);
  EXPECT_TRUE(wm.enableWindow(kApp, edit, true)); // it was disabled
}

TEST_F(WindowingManager, OwnedWindowsStayInFrontOfTheirOwner) {
  HWND owner = make(kApp, rect(0, 0, 100, 100));
  HWND dialog = make(kApp, rect(10, 10, 50, 50), WS_VISIBLE, owner);
  HWND popup = make(kApp, rect(20, 20, 60, 60), WS_VISIBLE, dialog); // owned by the dialog
  HWND cover = make(kOther, rect(0, 0, 480, 640));
  ASSERT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, popup, dialog, owner}));

  // Brought forward by another process, plain or with the low bit, the owner takes its owned
  // windows along.
  EXPECT_TRUE(wm.setForeground(kShell, owner));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{popup, dialog, owner, cover}));
  EXPECT_EQ(wm.foreground(), owner);
  EXPECT_TRUE(wm.setForeground(kOther, cover));
  const HWND withOwned = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(owner) | 1);
  EXPECT_TRUE(wm.setForeground(kShell, withOwned));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{popup, dialog, owner, cover}));

  // Shown or raised by its own program.
  EXPECT_TRUE(wm.setForeground(kOther, cover));
  wm.showWindow(kApp, owner, SW_SHOW);
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{popup, dialog, owner, cover}));
  EXPECT_TRUE(wm.setWindowPos(kOther, cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(wm.setWindowPos(kApp, owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{popup, dialog, owner, cover}));

  // Sent to the bottom, the owner takes them down with it; an owned window sent to the bottom
  // or behind its owner stops in front of its owner, with its own owned window in front of it.
  EXPECT_TRUE(wm.setWindowPos(kApp, owner, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, popup, dialog, owner}));
  EXPECT_TRUE(wm.setWindowPos(kApp, popup, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, popup, dialog, owner}));
  EXPECT_TRUE(wm.setWindowPos(kApp, dialog, owner, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, popup, dialog, owner}));
  EXPECT_TRUE(wm.setWindowPos(kApp, dialog, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, popup, dialog, owner}));
}

TEST_F(WindowingManager, AnOwnedWindowUncoveredByItsOwnersMoveIsRepainted) {
  HWND owner = make(kApp, rect(0, 0, 480, 640));
  HWND bar = make(kApp, rect(0, 588, 480, 640), WS_VISIBLE, owner);
  HWND cover = make(kOther, rect(0, 0, 480, 640));
  ASSERT_EQ(wm.topLevelWindows(), (std::vector<HWND>{cover, bar, owner}));
  wm.validate(bar, nullptr);
  EXPECT_TRUE(pending(bar).empty());
  // Raised with its owner, the bar comes out from under the cover and paints all of itself.
  EXPECT_TRUE(wm.setForeground(kShell, owner));
  EXPECT_TRUE(pending(bar).samePixels(RectangleSet(rect(0, 0, 480, 52))));
}

TEST_F(WindowingManager, TopmostWindowsStayAboveOthers) {
  HWND bar =
      make(kShell, rect(0, 0, 480, 36), WS_VISIBLE, nullptr, u"", WS_EX_TOPMOST | WS_EX_NOACTIVATE);
  HWND app = make(kApp, rect(0, 0, 480, 640));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{bar, app}));
  EXPECT_EQ(wm.foreground(), app); // the bar never takes the foreground by itself
  HWND later = make(kOther, rect(0, 0, 10, 10));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{bar, later, app}));
  EXPECT_TRUE(wm.setWindowPos(kApp, app, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{app, bar, later}));
  EXPECT_TRUE(wm.setWindowPos(kApp, app, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{bar, later, app}));
}

TEST_F(WindowingManager, HidingOrDestroyingTheForegroundPassesItOn) {
  HWND bar = make(kShell, rect(0, 0, 480, 36), WS_VISIBLE, nullptr, u"", WS_EX_NOACTIVATE);
  HWND under = make(kOther, rect(0, 0, 480, 640));
  HWND app = make(kApp, rect(0, 0, 480, 640));
  HWND child = make(kApp, rect(0, 0, 10, 10), WS_CHILD | WS_VISIBLE, app);
  HWND owned = make(kOther, rect(0, 0, 10, 10), 0, app); // another process's window owned by app
  EXPECT_EQ(wm.showWindow(kApp, app, SW_HIDE), true);
  EXPECT_EQ(wm.foreground(), under);
  EXPECT_TRUE(wm.showWindow(kApp, app, SW_SHOW) == false);
  EXPECT_EQ(wm.foreground(), app);
  wm.takeEvents();

  EXPECT_FALSE(wm.destroyWindow(kOther, app));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(wm.destroyWindow(kApp, app));
  EXPECT_FALSE(wm.isWindow(app));
  EXPECT_FALSE(wm.isWindow(child));
  EXPECT_FALSE(wm.isWindow(owned));
  const auto events = sent(wm.takeEvents());
  // WM_DESTROY parent first, then the rest; then the next window is activated.
  std::vector<Seen> destroys;
  for (const auto &s : events)
    if (s.message == WM_DESTROY)
      destroys.push_back(s);
  EXPECT_EQ(destroys, (std::vector<Seen>{{Kind::Send, app, WM_DESTROY, 0, 0},
                                         {Kind::Send, child, WM_DESTROY, 0, 0},
                                         {Kind::Send, owned, WM_DESTROY, 0, 0}}));
  EXPECT_EQ(wm.foreground(), under);
  EXPECT_NE(
      std::find(events.begin(), events.end(), Seen{Kind::Send, under, WM_ACTIVATE, WA_ACTIVE, 0}),
      events.end());
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{under, bar}));

  // With nothing left that may be activated, nobody has the foreground.
  wm.showWindow(kOther, under, SW_HIDE);
  EXPECT_EQ(wm.foreground(), nullptr);
  EXPECT_EQ(wm.focus(kOther.thread), nullptr);
  (void)bar;
}

TEST_F(WindowingManager, VisibleRegionsClipToParentsSiblingsAboveAndChildren) {
  HWND back = make(kApp, rect(0, 0, 200, 200));
  HWND front = make(kOther, rect(100, 100, 300, 300));
  HWND child = make(kApp, rect(150, 150, 250, 250), WS_CHILD | WS_VISIBLE, back); // sticks out
  HWND inner = make(kApp, rect(0, 0, 20, 20), WS_CHILD | WS_VISIBLE, back);

  RectangleSet expectBack(rect(0, 0, 200, 200));
  expectBack.subtract(rect(100, 100, 200, 200));
  expectBack.subtract(rect(0, 0, 20, 20));
  EXPECT_TRUE(wm.visibleRegion(back).samePixels(expectBack));
  EXPECT_TRUE(wm.visibleRegion(child).empty()); // inside the front window's area entirely
  EXPECT_TRUE(wm.visibleRegion(front).samePixels(RectangleSet(rect(100, 100, 300, 300))));
  EXPECT_TRUE(wm.visibleRegion(inner).samePixels(RectangleSet(rect(0, 0, 20, 20))));

  wm.showWindow(kOther, front, SW_HIDE);
  EXPECT_TRUE(wm.visibleRegion(child).samePixels(RectangleSet(rect(150, 150, 200, 200))));
  EXPECT_TRUE(wm.visibleRegion(front).empty());

  // Off-screen parts are never visible.
  wm.moveWindow(kApp, back, 400, 600, 200, 200);
  RectangleSet corner(rect(400, 600, 480, 640));
  corner.subtract(rect(400, 600, 420, 620)); // less the inner child
  EXPECT_TRUE(wm.visibleRegion(back).samePixels(corner));
  EXPECT_EQ(wm.clientOrigin(inner)->x, 400);
  EXPECT_EQ(wm.clientOrigin(inner)->y, 600);
}

TEST_F(WindowingManager, UpdateRegionsFollowWhatBecomesVisible) {
  HWND back = make(kApp, rect(0, 0, 200, 200));
  auto created = wm.takeEvents();
  EXPECT_TRUE(has(created, Kind::Invalidate, back));
  ASSERT_TRUE(wm.beginPaint(kApp, back));
  EXPECT_TRUE(has(wm.takeEvents(), Kind::Validate, back));
  EXPECT_TRUE(pending(back).empty());

  // A window on top takes nothing from the one below until it moves away.
  HWND front = make(kOther, rect(50, 50, 150, 150));
  auto opened = wm.takeEvents();
  EXPECT_FALSE(has(opened, Kind::Invalidate, back));
  EXPECT_TRUE(has(opened, Kind::Invalidate, front));
  const auto frontPaint = wm.beginPaint(kOther, front);
  ASSERT_TRUE(frontPaint);
  EXPECT_TRUE(sameRect(frontPaint->bounds, rect(0, 0, 100, 100)));

  EXPECT_TRUE(wm.moveWindow(kOther, front, 100, 50, 100, 100));
  auto moved = wm.takeEvents();
  EXPECT_TRUE(has(moved, Kind::Invalidate, back));
  EXPECT_TRUE(pending(back).samePixels(RectangleSet(rect(50, 50, 100, 150))));
  // The moved window repaints all of itself: the framebuffer does not move its pixels.
  EXPECT_TRUE(pending(front).samePixels(RectangleSet(rect(0, 0, 100, 100))));

  // Invalidation stays within the visible part; validation of all of it ends WM_PAINT.
  wm.validate(back, nullptr);
  wm.takeEvents();
  RECT all = rect(0, 0, 200, 200);
  wm.invalidate(back, &all);
  EXPECT_TRUE(pending(back).samePixels(wm.visibleRegion(back)));
  RECT part = rect(0, 0, 200, 100);
  wm.validate(back, &part);
  EXPECT_FALSE(has(wm.takeEvents(), Kind::Validate, back));
  RECT rest = rect(0, 100, 200, 200);
  wm.validate(back, &rest);
  EXPECT_TRUE(has(wm.takeEvents(), Kind::Validate, back));

  // A hidden window gets nothing; covering a pending update region trims it.
  wm.invalidate(back, nullptr);
  wm.setWindowPos(kOther, front, HWND_TOP, 0, 0, 200, 200, SWP_NOACTIVATE);
  EXPECT_TRUE(pending(back).empty());
  EXPECT_TRUE(has(wm.takeEvents(), Kind::Validate, back));
  EXPECT_FALSE(wm.beginPaint(kApp, front));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(WindowingManager, ProcessExitRemovesEverythingItOwnedWithoutTellingIt) {
  HWND keep = make(kShell, rect(0, 0, 480, 640));
  HWND app = make(kApp, rect(0, 0, 480, 640));
  HWND appChild = make(kApp, rect(0, 0, 10, 10), WS_CHILD | WS_VISIBLE, app);
  HWND ownedElsewhere = make(kOther, rect(0, 0, 10, 10), WS_VISIBLE, app);
  HWND foreignChild = make(kOther, rect(0, 0, 10, 10), WS_CHILD | WS_VISIBLE, keep);
  (void)foreignChild;
  wm.setForeground(kApp, app);
  wm.takeEvents();

  wm.processExited(kApp.process);
  EXPECT_FALSE(wm.isWindow(app));
  EXPECT_FALSE(wm.isWindow(appChild));
  EXPECT_FALSE(wm.isWindow(ownedElsewhere));
  EXPECT_TRUE(wm.isWindow(foreignChild));
  const auto events = wm.takeEvents();
  for (const auto &e : events)
    EXPECT_NE(e.process, kApp.process) << "event for the dead process: " << e.message;
  EXPECT_EQ(messagesTo(events, ownedElsewhere), (std::vector<UINT>{WM_DESTROY}));
  EXPECT_EQ(wm.foreground(), keep);
  EXPECT_TRUE(has(events, Kind::Invalidate, keep)); // it is uncovered
  // The class name is free again for a process reusing the id.
  EXPECT_NE(wm.registerClass(kApp, u"Frame", 0), 0);
}

TEST_F(WindowingManager, RotationSwapsTheScreenAndTellsTopLevelWindows) {
  wm.setWorkArea(rect(0, 36, 480, 640));
  HWND full = make(kApp, rect(0, 0, 480, 640));
  WindowManager::Creation c;
  c.className = u"Frame";
  c.style = WS_VISIBLE;
  HWND work = wm.createWindow(kOther, c);
  HWND small = make(kShell, rect(10, 10, 50, 50), 0);
  HWND child = make(kApp, rect(0, 0, 10, 10), WS_CHILD | WS_VISIBLE, full);
  wm.takeEvents();

  wm.rotate();
  EXPECT_EQ(wm.screenSize().cx, 640);
  EXPECT_EQ(wm.screenSize().cy, 480);
  EXPECT_TRUE(sameRect(*wm.windowRect(full), rect(0, 0, 640, 480)));
  EXPECT_TRUE(sameRect(*wm.windowRect(work), rect(0, 36, 640, 480)));
  EXPECT_TRUE(sameRect(*wm.windowRect(small), rect(10, 10, 50, 50)));
  const auto events = wm.takeEvents();
  EXPECT_EQ(messagesTo(events, full),
            (std::vector<UINT>{WM_SIZE, WM_WINDOWPOSCHANGED, WM_SETTINGCHANGE}));
  EXPECT_EQ(messagesTo(events, small), (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_SETTINGCHANGE}));
  EXPECT_TRUE(messagesTo(events, child).empty());
  for (const auto &e : events)
    if (e.message == WM_WINDOWPOSCHANGED) {
      ASSERT_TRUE(e.windowPos);
      EXPECT_EQ(e.windowPos->hwnd, e.hwnd);
    } else if (e.message == WM_SETTINGCHANGE) {
      EXPECT_EQ(e.wParam, WPARAM(SETTINGCHANGE_RESET));
    }
  // Everything visible repaints.
  EXPECT_TRUE(has(events, Kind::Invalidate, work));
  EXPECT_TRUE(has(events, Kind::Invalidate, child));
}

TEST_F(WindowingManager, WindowAtPointFindsTopmostEnabledWindowInClientCoordinates) {
  HWND back = make(kApp, rect(0, 0, 480, 640));
  HWND button = make(kApp, rect(100, 100, 200, 150), WS_CHILD | WS_VISIBLE, back);
  HWND frozen = make(kApp, rect(300, 300, 400, 400), WS_CHILD | WS_VISIBLE | WS_DISABLED, back);
  HWND dialog = make(kOther, rect(0, 500, 480, 640));

  auto hit = wm.windowAt(POINT{150, 120});
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->hwnd, button);
  EXPECT_EQ(hit->client.x, 50);
  EXPECT_EQ(hit->client.y, 20);
  EXPECT_EQ(hit->thread, kApp.thread);

  hit = wm.windowAt(POINT{350, 350}); // a disabled child leaves the press to its parent
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->hwnd, back);
  (void)frozen;

  hit = wm.windowAt(POINT{10, 510});
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->hwnd, dialog);
  EXPECT_EQ(hit->client.y, 10);

  wm.enableWindow(kApp, dialog, false); // a disabled top-level window swallows it
  EXPECT_FALSE(wm.windowAt(POINT{10, 510}));
  EXPECT_FALSE(wm.windowAt(POINT{-1, 10}));
  EXPECT_FALSE(wm.windowAt(POINT{480, 10}));

  wm.showWindow(kOther, dialog, SW_HIDE);
  wm.showWindow(kApp, back, SW_HIDE);
  EXPECT_FALSE(wm.windowAt(POINT{10, 10})); // the desktop has no owner
  wm.setDesktopOwner(kShell);
  hit = wm.windowAt(POINT{10, 10});
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->hwnd, wm.desktop());
}

TEST_F(WindowingManager, OnlyTheOwnerChangesAWindowAndStylesMirrorState) {
  HWND app = make(kApp, rect(0, 0, 100, 100), WS_VISIBLE, nullptr, u"Title");
  HWND inner = make(kApp, rect(5, 5, 50, 50), WS_CHILD | WS_VISIBLE, app);
  EXPECT_FALSE(wm.setText(kOther, app, u"Hijack"));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
  // Another process places and shows a top-level window, never a child, and a tool nothing.
  EXPECT_FALSE(wm.moveWindow(kOther, inner, 1, 1, 5, 5));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(wm.showWindow(kOther, inner, SW_HIDE));
  EXPECT_TRUE(wm.isVisible(inner));
  const WindowManager::Caller tool{0, 0};
  EXPECT_FALSE(wm.moveWindow(tool, app, 5, 5, 5, 5));
  EXPECT_FALSE(wm.showWindow(tool, app, SW_HIDE));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(wm.moveWindow(kOther, app, 5, 6, 70, 80));
  EXPECT_TRUE(sameRect(*wm.windowRect(app), rect(5, 6, 75, 86)));
  EXPECT_TRUE(wm.showWindow(kOther, app, SW_HIDE));
  EXPECT_FALSE(wm.isVisible(app));
  EXPECT_FALSE(wm.showWindow(kOther, app, SW_SHOW));
  EXPECT_TRUE(wm.isVisible(app));
  EXPECT_EQ(wm.foreground(), app);
  EXPECT_FALSE(wm.setWindowLong(kOther, app, GWL_STYLE, 0));
  EXPECT_FALSE(wm.destroyWindow(kOther, app));
  EXPECT_TRUE(wm.setText(kApp, app, u"New"));
  EXPECT_EQ(*wm.text(app), u"New");

  EXPECT_TRUE(*wm.windowLong(app, GWL_STYLE) & WS_VISIBLE);
  const auto previous = wm.setWindowLong(kApp, app, GWL_STYLE, LONG(WS_POPUP | WS_DISABLED));
  ASSERT_TRUE(previous);
  EXPECT_EQ(DWORD(*previous), DWORD(WS_VISIBLE));
  EXPECT_FALSE(wm.isVisible(app));
  EXPECT_FALSE(wm.isEnabled(app));
  EXPECT_EQ(wm.foreground(), nullptr);
  EXPECT_FALSE(wm.setWindowLong(kApp, app, 1234, 0));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(wm.destroyWindow(kApp, wm.desktop()));
}

TEST_F(WindowingManager, SetWindowPosOrdersSiblingsAndReportsTheChange) {
  HWND a = make(kApp, rect(0, 0, 100, 100));
  HWND b = make(kApp, rect(0, 0, 100, 100));
  HWND c = make(kApp, rect(0, 0, 100, 100));
  ASSERT_EQ(wm.topLevelWindows(), (std::vector<HWND>{c, b, a}));
  wm.takeEvents();
  EXPECT_TRUE(wm.setWindowPos(kApp, c, a, 5, 6, 50, 60, SWP_NOACTIVATE));
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{b, a, c}));
  EXPECT_TRUE(wm.setWindowPos(kApp, c, c, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE)); // after itself
  EXPECT_EQ(wm.topLevelWindows(), (std::vector<HWND>{b, a, c}));
  EXPECT_FALSE(wm.setWindowPos(kApp, c, reinterpret_cast<HWND>(0x55550), 0, 0, 0, 0, 0));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

  const auto events = wm.takeEvents();
  EXPECT_EQ(messagesTo(events, c),
            (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE, WM_WINDOWPOSCHANGED}));
  const auto first = std::find_if(events.begin(), events.end(), [&](const WindowEvent &e) {
    return e.hwnd == c && e.message == WM_WINDOWPOSCHANGED;
  });
  ASSERT_TRUE(first->windowPos);
  EXPECT_EQ(first->windowPos->x, 5);
  EXPECT_EQ(first->windowPos->cy, 60);
  EXPECT_EQ(wm.foreground(), c); // SWP_NOACTIVATE kept the foreground where it was

  // SetActiveWindow from the foreground thread brings its window forward.
  EXPECT_EQ(wm.setActive(kApp, a), c);
  EXPECT_EQ(wm.foreground(), a);
  EXPECT_EQ(wm.topLevelWindows().front(), a);
  EXPECT_EQ(wm.setActive(kOther, a), nullptr); // not the caller's window
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(WindowingManager, ThreadExitDestroysItsWindowsOnly) {
  const WindowManager::Caller worker{kApp.process, 201};
  HWND main = make(kApp, rect(0, 0, 100, 100));
  HWND side = make(worker, rect(0, 0, 50, 50));
  wm.takeEvents();
  wm.threadExited(worker.process, worker.thread);
  EXPECT_TRUE(wm.isWindow(main));
  EXPECT_FALSE(wm.isWindow(side));
  for (const auto &e : wm.takeEvents())
    EXPECT_NE(e.thread, worker.thread);
  EXPECT_EQ(wm.foreground(), main);
}

// The capture passes between threads with WM_CAPTURECHANGED to the loser, SetCapture(NULL)
// releases like ReleaseCapture, and a thread's end takes its capture silently.
TEST_F(WindowingManager, CaptureChangesHandsAndEndsWithItsThread) {
  const WindowManager::Caller worker{kApp.process, 201};
  HWND main = make(kApp, rect(0, 0, 100, 100));
  HWND side = make(worker, rect(0, 0, 50, 50));
  wm.takeEvents();
  EXPECT_EQ(wm.setCapture(kApp, side), nullptr);
  EXPECT_EQ(wm.lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(wm.setCapture(kApp, main), nullptr);
  EXPECT_EQ(wm.setCapture(kApp, main), main); // again: nobody is told
  EXPECT_TRUE(wm.takeEvents().empty());
  EXPECT_EQ(wm.setCapture(worker, side), main);
  EXPECT_EQ(sent(wm.takeEvents()),
            (std::vector<Seen>{{Kind::Send, main, WM_CAPTURECHANGED, 0, asParam(side)}}));
  EXPECT_EQ(wm.setCapture(worker, nullptr), side);
  EXPECT_EQ(sent(wm.takeEvents()),
            (std::vector<Seen>{{Kind::Send, side, WM_CAPTURECHANGED, 0, 0}}));
  EXPECT_EQ(wm.capture(), nullptr);

  wm.setCapture(worker, side);
  wm.threadExited(worker.process, worker.thread);
  EXPECT_EQ(wm.capture(), nullptr);
  EXPECT_EQ(messagesTo(wm.takeEvents(), side), std::vector<UINT>{});
  EXPECT_TRUE(wm.releaseCapture(kApp));
}

// A process owns a bounded number of windows and classes; what it frees it may use again, and
// other processes are not held back by it.
TEST_F(WindowingManager, WindowsAndClassesPerProcessAreCapped) {
  std::vector<HWND> made;
  WindowManager::Creation c;
  c.className = u"Frame";
  for (std::size_t i = 0; i < WindowManager::kMaxWindowsPerProcess; ++i) {
    made.push_back(wm.createWindow(kApp, c));
    ASSERT_NE(made.back(), nullptr) << i;
  }
  EXPECT_EQ(wm.createWindow(kApp, c), nullptr);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_NOT_ENOUGH_QUOTA));
  c.style = WS_CHILD;
  c.parent = made.front();
  EXPECT_EQ(wm.createWindow(kApp, c), nullptr) << "children count too";
  c.style = 0;
  c.parent = nullptr;
  EXPECT_NE(wm.createWindow(kOther, c), nullptr);
  EXPECT_TRUE(wm.destroyWindow(kApp, made.back()));
  made.pop_back();
  EXPECT_NE(wm.createWindow(kApp, c), nullptr);
  EXPECT_EQ(wm.createWindow(kApp, c), nullptr);
  wm.processExited(kApp.process);
  ASSERT_NE(wm.registerClass(kApp, u"Frame", 0), 0);
  EXPECT_NE(wm.createWindow(kApp, c), nullptr);

  // Classes: the cap counts the names a process holds, Frame among them.
  std::size_t registered = 1;
  for (; registered < WindowManager::kMaxClassesPerProcess; ++registered)
    ASSERT_NE(wm.registerClass(kApp,
                               u"Class" + std::u16string(1, char16_t(u'A' + registered % 26)) +
                                   std::u16string(1, char16_t(u'a' + registered / 26)),
                               0),
              0)
        << registered;
  EXPECT_EQ(wm.registerClass(kApp, u"OneTooMany", 0), 0);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_NOT_ENOUGH_QUOTA));
  EXPECT_EQ(wm.registerClass(kApp, u"Frame", 0), 0);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS)) << "a name it holds is no new one";
  EXPECT_NE(wm.registerClass(kOther, u"OneTooMany", 0), 0);
}

TEST_F(WindowingManager, AClassWithWindowsStaysAndAFreedNameCanBeRegisteredAgain) {
  HWND frame = make(kApp, rect(0, 0, 10, 10));
  EXPECT_FALSE(wm.unregisterClass(kApp, u"frame"));
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_HAS_WINDOWS));
  EXPECT_TRUE(wm.unregisterClass(kOther, u"Frame")) << "another process's windows are not its";
  ASSERT_TRUE(wm.destroyWindow(kApp, frame));
  EXPECT_TRUE(wm.unregisterClass(kApp, u"Frame"));
  WindowManager::Creation c;
  c.className = u"Frame";
  EXPECT_EQ(wm.createWindow(kApp, c), nullptr);
  EXPECT_EQ(wm.lastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
  EXPECT_NE(wm.registerClass(kApp, u"Frame", 0), 0);
  EXPECT_NE(wm.createWindow(kApp, c), nullptr);
}

// The work area follows its rule: CW_USEDEFAULT windows take it, and after a rotation the rule's
// new area, windows that covered the old one included.
TEST_F(WindowingManager, TheWorkAreaFollowsItsRuleThroughRotation) {
  wm.setWorkAreaRule([](SIZE screen) { return RECT{0, screen.cx / 10, screen.cx, screen.cy}; });
  EXPECT_TRUE(sameRect(wm.workArea(), rect(0, 48, 480, 640)));
  WindowManager::Creation c;
  c.className = u"Frame";
  c.style = WS_VISIBLE;
  HWND app = wm.createWindow(kApp, c);
  EXPECT_TRUE(sameRect(*wm.windowRect(app), rect(0, 48, 480, 640)));
  wm.takeEvents();
  wm.rotate();
  EXPECT_TRUE(sameRect(wm.workArea(), rect(0, 64, 640, 480)));
  EXPECT_TRUE(sameRect(*wm.windowRect(app), rect(0, 64, 640, 480)));
  const auto told = messagesTo(wm.takeEvents(), app);
  EXPECT_NE(std::find(told.begin(), told.end(), UINT(WM_SIZE)), told.end());
  // A rule that leaves nothing gives the whole screen.
  wm.setWorkAreaRule([](SIZE) { return RECT{0, 0, 0, 0}; });
  EXPECT_TRUE(sameRect(wm.workArea(), rect(0, 0, 640, 480)));
}

// What a change exposes is found by looking only where it happened; checked against the
// visible regions of every window before and after, over many random changes: each window's
// update region afterwards is exactly what became visible (all it shows when it moved).
TEST_F(WindowingManager, EveryChangeExposesExactlyWhatBecameVisible) {
  std::uint32_t seed = 12345;
  const auto next = [&](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  std::vector<HWND> windows;
  const auto pick = [&] { return windows[next(std::uint32_t(windows.size()))]; };
  const auto all = [&] {
    std::vector<HWND> list{wm.desktop()};
    list.insert(list.end(), windows.begin(), windows.end());
    return list;
  };
  struct Seen {
    RECT rect;
    RectangleSet visible;
  };
  for (int step = 0; step < 600; ++step) {
    std::erase_if(windows, [&](HWND h) { return !wm.isWindow(h); });
    for (HWND h : all())
      wm.validate(h, nullptr);
    std::map<HWND, Seen> before;
    for (HWND h : all())
      before[h] = Seen{*wm.windowRect(h), wm.visibleRegion(h)};
    const LONG x = LONG(next(400)), y = LONG(next(560)), w = LONG(next(200)), h = LONG(next(200));
    const WindowManager::Caller who = next(2) ? kApp : kOther;
    switch (windows.size() < 4 ? 0 : next(7)) {
    case 0: { // a new window, shown or not, top-level or a child
      const bool child = !windows.empty() && next(3) == 0;
      HWND parent = child ? pick() : nullptr;
      const auto *p = parent ? wm.find(parent) : nullptr;
      const WindowManager::Caller owner = p ? WindowManager::Caller{p->process, p->thread} : who;
      windows.push_back(make(owner, rect(x, y, x + w, y + h),
                             (next(4) ? WS_VISIBLE : 0) | (child ? WS_CHILD : 0), parent));
      break;
    }
    case 1: {
      HWND t = pick();
      const auto *r = wm.find(t);
      wm.setWindowPos(WindowManager::Caller{r->process, r->thread}, t, HWND_TOP, x, y, w, h,
                      next(2) ? SWP_NOZORDER : 0);
      break;
    }
    case 2: {
      HWND t = pick();
      const auto *r = wm.find(t);
      wm.showWindow(WindowManager::Caller{r->process, r->thread}, t, next(2) ? SW_HIDE : SW_SHOWNA);
      break;
    }
    case 3:
      wm.setForeground(who,
                       reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(pick()) | next(2)));
      break;
    case 4: {
      HWND t = pick();
      const auto *r = wm.find(t);
      wm.destroyWindow(WindowManager::Caller{r->process, r->thread}, t);
      break;
    }
    case 5: {
      HWND t = pick();
      const auto *r = wm.find(t);
      wm.setWindowLong(WindowManager::Caller{r->process, r->thread}, t, GWL_EXSTYLE,
                       next(2) ? LONG(WS_EX_TOPMOST) : 0);
      break;
    }
    default:
      wm.setWindowPos(kShell, pick(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      break;
    }
    wm.takeEvents();
    for (HWND h : all()) {
      if (!wm.isWindow(h))
        continue;
      const RECT now = *wm.windowRect(h);
      RectangleSet exposed = wm.visibleRegion(h);
      const auto was = before.find(h);
      if (was != before.end() && sameRect(was->second.rect, now))
        exposed.subtract(was->second.visible);
      exposed.offset(-now.left, -now.top);
      ASSERT_TRUE(pending(h).samePixels(exposed)) << "step " << step << " window " << h;
    }
  }
}

// Every record that an operation changes is among the changed windows the manager reports
// (the host tells every process of them), whatever the operation and however it reaches the
// record: through a parent, an owner, a rotation or a process's end.
TEST_F(WindowingManager, EveryChangedRecordIsReported) {
  struct Fields {
    std::u16string title;
    DWORD style, exStyle;
    LONG id;
    RECT rect;
    HWND parent, owner;
    bool visible, enabled;
    DWORD process, thread;
    bool operator==(const Fields &o) const {
      return title == o.title && style == o.style && exStyle == o.exStyle && id == o.id &&
             sameRect(rect, o.rect) && parent == o.parent && owner == o.owner &&
             visible == o.visible && enabled == o.enabled && process == o.process &&
             thread == o.thread;
    }
  };
  const auto table = [&](const std::vector<HWND> &handles) {
    std::map<HWND, Fields> out;
    for (HWND h : handles)
      if (const auto *w = wm.find(h))
        out[h] = Fields{w->title, w->style,   w->exStyle, w->id,      w->rect,  w->parent,
                        w->owner, w->visible, w->enabled, w->process, w->thread};
    return out;
  };
  std::uint32_t seed = 777;
  const auto next = [&](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  std::vector<HWND> windows;
  const auto pick = [&] { return windows[next(std::uint32_t(windows.size()))]; };
  const auto ownerOf = [&](HWND h) {
    const auto *r = wm.find(h);
    return WindowManager::Caller{r->process, r->thread};
  };
  wm.takeChangedWindows();
  for (int step = 0; step < 800; ++step) {
    std::erase_if(windows, [&](HWND h) { return !wm.isWindow(h); });
    std::vector<HWND> handles{wm.desktop()};
    handles.insert(handles.end(), windows.begin(), windows.end());
    const auto before = table(handles);
    const LONG x = LONG(next(400)), y = LONG(next(560)), w = LONG(next(200)), h = LONG(next(200));
    const WindowManager::Caller who = next(2) ? kApp : kOther;
    switch (windows.size() < 4 ? 0 : next(12)) {
    case 0: { // top-level, owned or child
      const int kind = windows.empty() ? 0 : int(next(3));
      HWND parent = kind == 0 ? nullptr : pick();
      const WindowManager::Caller owner = kind == 2 ? ownerOf(parent) : who;
      windows.push_back(make(owner, rect(x, y, x + w, y + h),
                             (next(4) ? WS_VISIBLE : 0) | (kind == 2 ? WS_CHILD : 0), parent,
                             u"w" + std::u16string(1, char16_t(u'a' + next(26)))));
      break;
    }
    case 1:
      wm.setWindowPos(ownerOf(windows.back()), pick(), next(2) ? HWND_TOPMOST : HWND_NOTOPMOST, x,
                      y, w, h, next(2) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
      break;
    case 2: {
      HWND t = pick();
      wm.showWindow(ownerOf(t), t, next(2) ? SW_HIDE : SW_SHOW);
      break;
    }
    case 3:
      wm.setForeground(who, pick());
      break;
    case 4: {
      HWND t = pick();
      wm.destroyWindow(ownerOf(t), t);
      break;
    }
    case 5: {
      HWND t = pick();
      const int index = std::array{GWL_STYLE, GWL_EXSTYLE, GWL_ID}[next(3)];
      wm.setWindowLong(ownerOf(t), t, index, LONG(next(2) ? WS_VISIBLE | WS_DISABLED : 0));
      break;
    }
    case 6: {
      HWND t = pick();
      wm.setText(ownerOf(t), t, next(2) ? u"renamed" : u"");
      break;
    }
    case 7: {
      HWND t = pick();
      wm.enableWindow(ownerOf(t), t, next(2) != 0);
      break;
    }
    case 8:
      if (next(8) == 0)
        wm.rotate();
      break;
    case 9:
      if (next(6) == 0) {
        wm.processExited(who.process);
        wm.registerClass(who, u"Frame", 0); // the process comes back
      }
      break;
    case 10:
      wm.setDesktopOwner(next(2) ? kShell : WindowManager::Caller{});
      break;
    default: {
      HWND t = pick();
      wm.setWindowPos(ownerOf(t), t, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      break;
    }
    }
    wm.takeEvents();
    const auto reported = wm.takeChangedWindows();
    const std::set<HWND> changed(reported.begin(), reported.end());
    EXPECT_EQ(changed.size(), reported.size()) << "step " << step << ": a window twice";
    std::vector<HWND> now{wm.desktop()};
    now.insert(now.end(), windows.begin(), windows.end());
    const auto after = table(now);
    for (const auto &[handle, fields] : after) {
      const auto was = before.find(handle);
      const bool differs = was == before.end() || !(was->second == fields);
      ASSERT_TRUE(!differs || changed.count(handle)) << "step " << step << ": window " << handle;
    }
    for (const auto &[handle, fields] : before)
      ASSERT_TRUE(after.count(handle) || changed.count(handle))
          << "step " << step << ": gone " << handle;
  }
}

} // namespace
