// The device's window manager, as a state machine inside the host: the window table, classes,
// z-order, foreground, focus and activation, visible and update regions and the screen's size.
// (Timers live in their owner thread's queue; registered messages are named objects.) It runs
// no window procedure and blocks on nothing: whatever a window's owner must hear comes out as
// WindowEvents (takeEvents), which the host routes to the owner threads.
//
// Every operation sets lastError(): ERROR_SUCCESS, or the code the platform function reports.
//
// Chosen behaviours:
// - Only the process that owns a window may destroy it or change its text or styles
//   (ERROR_ACCESS_DENIED otherwise); anyone may query it, post to it, invalidate it
//   or bring it to the foreground. The process of a top-level window's owner may destroy it as
//   well. Any device process may show, hide, move, resize and reorder another process's
//   top-level window, as on the device (a service raises a program's window); a child window
//   only its own process. Tools (process 0) change nothing.
// - A process owns at most kMaxWindowsPerProcess windows and kMaxClassesPerProcess classes at a
//   time; creating or registering more fails with ERROR_NOT_ENOUGH_QUOTA and changes nothing.
// - A change is shown by looking only at the windows whose rectangles meet the area it touched
//   (the changed windows' places before and after), so one change costs in proportion to the
//   windows there, not to every window of the device.
// - WM_DESTROY goes out after the window has left the table (parent first, then its children and
//   owned windows); a process that ends gets none for its own windows.
// - Showing a top-level window (SW_SHOW, SW_SHOWNORMAL, SW_RESTORE, SW_SHOWMAXIMIZED) activates
//   it unless it has WS_EX_NOACTIVATE; hiding, disabling or destroying the foreground window
//   passes the foreground to the topmost visible, enabled top-level window that may be
//   activated, or to none.
// - Activation order: WM_ACTIVATE(WA_INACTIVE, new) to the old foreground window, WM_ACTIVATE
//   (WA_ACTIVE, old) to the new one, then WM_KILLFOCUS to the old focus and WM_SETFOCUS to the
//   new one (the new foreground window, unless its thread's focus already lies within it).
// - SetFocus may name a window of another thread: its top-level window is activated first.
//   SetForegroundWindow accepts hidden windows (a caller may show the window right after).
// - Update regions are kept within the window's visible region; when a window is shown, moved,
//   resized, raised or uncovered, what became visible is added to its update region. A window
//   whose position on the screen or size changed gets its whole visible region (the screen is
//   one framebuffer: nothing follows a window when it moves).
// - Rotation swaps the screen's width and height, makes the top-level windows that covered the
//   whole screen cover it again (WM_SIZE), and tells every top-level window with
//   WM_WINDOWPOSCHANGED then WM_SETTINGCHANGE(SETTINGCHANGE_RESET).
// - Stylus capture is one window for the whole device. Only a thread may set it on one of its
//   own windows or release it from one of them (ERROR_ACCESS_DENIED otherwise). The window that
//   loses it to another window or to ReleaseCapture gets WM_CAPTURECHANGED (lParam = the new
//   capture window or null); a capture window that is destroyed, or whose thread or process
//   ends, simply lets it go.
#pragma once

#include "window_class_table.h"
#include "window_event.h"
#include "window_record.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ce::host {

class WindowManager {
public:
  static constexpr std::size_t kMaxWindowsPerProcess = 1000;
  static constexpr std::size_t kMaxClassesPerProcess = 200;

  // The process and thread a request comes from.
  struct Caller {
    DWORD process = 0;
    DWORD thread = 0;
  };

  struct Creation {
    std::u16string className;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    HWND parent = nullptr; // the parent of a WS_CHILD window, else the owner
    LONG id = 0;
  };

  struct Hit {
    HWND hwnd = nullptr;
    DWORD process = 0;
    DWORD thread = 0;
    POINT client{}; // the point in the window's client coordinates
  };

  struct Paint {
    std::vector<RECT> rects; // client coordinates
    RECT bounds{};
  };

  WindowManager(int screenWidth, int screenHeight);

  DWORD lastError() const { return lastError_; }
  std::vector<WindowEvent> takeEvents();
  // The windows whose record may have changed since the last call: made, destroyed, or with a
  // new title, styles, id, place, owner, visibility or enabled state (z-order and update regions
  // do not count). Each appears once; a window may appear that ends up as it was.
  std::vector<HWND> takeChangedWindows();

  // Screen.
  SIZE screenSize() const { return SIZE{screen_.right, screen_.bottom}; }
  // The rectangle CW_USEDEFAULT gives top-level windows (the screen less the taskbar).
  void setWorkArea(const RECT &area);
  // How the work area follows the screen's size: given, it sets the work area now and after
  // every rotation; without it a rotation keeps the work area's insets from the screen's edges.
  using WorkAreaRule = std::function<RECT(SIZE screen)>;
  void setWorkAreaRule(WorkAreaRule rule);
  // The process and thread that paint the desktop (the area no window covers) and take the
  // stylus there; none by default.
  void setDesktopOwner(Caller owner);
  RECT workArea() const { return workArea_; }
  void rotate();

  // Classes.
  ATOM registerClass(Caller caller, std::u16string_view name, UINT style);
  // Fails with ERROR_CLASS_HAS_WINDOWS while a window of the caller's process has the class.
  bool unregisterClass(Caller caller, std::u16string_view name);

  // Lifetime.
  HWND createWindow(Caller caller, const Creation &creation);
  bool destroyWindow(Caller caller, HWND hwnd);
  // Everything of the process goes, its windows without WM_DESTROY to it.
  void processExited(DWORD process);
  // A thread's windows go with it, as on the device.
  void threadExited(DWORD process, DWORD thread);

  // Queries.
  HWND desktop() const { return desktop_; }
  bool isWindow(HWND hwnd) const;
  const WindowRecord *find(HWND hwnd) const;
  // IsWindowVisible: the window and every ancestor visible.
  bool isVisible(HWND hwnd) const;
  bool isEnabled(HWND hwnd) const;
  std::optional<RECT> windowRect(HWND hwnd) const; // screen coordinates
  std::optional<RECT> clientRect(HWND hwnd) const; // 0, 0, width, height
  // The screen position of the window's client origin.
  std::optional<POINT> clientOrigin(HWND hwnd) const;
  HWND getWindow(HWND hwnd, UINT command) const;
  std::vector<HWND> topLevelWindows() const; // EnumWindows order: topmost first
  // Top-level windows only; a null class or title matches any; both compare without regard to
  // case.
  HWND findWindow(const std::u16string *className, const std::u16string *title) const;
  std::optional<std::u16string> className(HWND hwnd) const;
  std::optional<std::u16string> text(HWND hwnd) const;
  // GetWindowLongW for GWL_STYLE, GWL_EXSTYLE and GWL_ID.
  std::optional<LONG> windowLong(HWND hwnd, int index) const;
  // The window's visible region in screen coordinates (empty when hidden or covered).
  RectangleSet visibleRegion(HWND hwnd) const;
  std::optional<Hit> windowAt(POINT screenPoint) const;

  // Changes.
  bool setText(Caller caller, HWND hwnd, std::u16string_view text);
  // SetWindowLongW for GWL_STYLE, GWL_EXSTYLE and GWL_ID; returns the previous value.
  std::optional<LONG> setWindowLong(Caller caller, HWND hwnd, int index, LONG value);
  // Returns whether the window was visible before.
  bool showWindow(Caller caller, HWND hwnd, int command);
  bool setWindowPos(Caller caller, HWND hwnd, HWND insertAfter, int x, int y, int width, int height,
                    UINT flags);
  bool moveWindow(Caller caller, HWND hwnd, int x, int y, int width, int height);
  // Returns whether the window was disabled before.
  bool enableWindow(Caller caller, HWND hwnd, bool enable);

  // Foreground, activation, focus.
  HWND foreground() const { return foreground_; }
  // Owned windows always stay in front of their owner; a handle with its lowest bit set (the
  // device's form for "with its owned windows") is accepted and means the same.
  bool setForeground(Caller caller, HWND hwnd);
  // Returns the thread's previous active window.
  HWND setActive(Caller caller, HWND hwnd);
  HWND activeWindow(DWORD thread) const;
  HWND focus(DWORD thread) const;
  // Returns the caller thread's previous focus; null hwnd removes the focus.
  HWND setFocus(Caller caller, HWND hwnd);

  // Stylus capture. setCapture returns the previous capture window; a null window releases.
  HWND capture() const { return capture_; }
  HWND setCapture(Caller caller, HWND hwnd);
  bool releaseCapture(Caller caller);

  // Painting. A null rectangle means the whole client area; InvalidateRect with a null window
  // invalidates every window.
  bool invalidate(HWND hwnd, const RECT *rect);
  bool validate(HWND hwnd, const RECT *rect);
  std::optional<Paint> updateRegion(HWND hwnd) const;
  // BeginPaint: the update region, which is then validated.
  std::optional<Paint> beginPaint(Caller caller, HWND hwnd);

private:
  struct Snapshot {
    POINT origin;
    SIZE size;
    RectangleSet visible;
  };
  // The visible windows that meet `area`, as they were before a change within it.
  struct Snapshots {
    RECT area;
    std::map<HWND, Snapshot> windows;
  };

  WindowRecord *record(HWND hwnd);
  const WindowRecord *record(HWND hwnd) const;
  WindowRecord *ownedBy(Caller caller, HWND hwnd);
  // The window if the caller may show, move or reorder it: its own, or another process's
  // top-level window.
  WindowRecord *placeableBy(Caller caller, HWND hwnd);
  bool fail(DWORD error) const;
  bool succeed() const;
  // Notes that the window's record changed (takeChangedWindows).
  void changed(HWND hwnd) { changed_.insert(hwnd); }
  static HWND stripLowBit(HWND hwnd);

  HWND topLevelOf(HWND hwnd) const;
  bool isTopLevel(const WindowRecord &w) const { return w.parent == desktop_; }
  bool canActivate(const WindowRecord &w) const;
  void emit(WindowEvent::Kind kind, const WindowRecord &target, UINT message, WPARAM wParam,
            LPARAM lParam);
  void send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // Z-order.
  void unlink(WindowRecord &w);
  void insertAt(WindowRecord &w, HWND insertAfter);
  // Raises the window; a top-level window takes its owned windows along above it.
  void raise(WindowRecord &w);
  void raiseAlone(WindowRecord &w);
  // The top-level windows owned by `owner` (directly or through others), front to back.
  std::vector<HWND> ownedInOrder(HWND owner) const;
  // Puts back the rule that owned windows lie in front of their owner after `w` moved.
  void keepAboveOwner(WindowRecord &w);

  // Regions.
  Snapshots snapshot(const RECT &area) const;
  // The visible windows whose rectangles (within their parents') meet `area`, parents first.
  std::vector<HWND> visibleMeeting(const RECT &area) const;
  // Where the window and its owned windows lie on the screen (descendants show only within
  // their window): what a change of its place in the z-order can uncover or cover.
  RECT extentWithOwned(const WindowRecord &w) const;
  void exposeChanges(const Snapshots &before);
  void addUpdate(WindowRecord &w, const RectangleSet &clientRegion);
  void setUpdateEmpty(WindowRecord &w);

  // Activation.
  void activate(HWND hwnd);
  void changeFocus(DWORD thread, HWND hwnd);
  void passForegroundOn(HWND leaving);
  HWND nextActivatable(HWND excluding) const;

  // Destruction. `roots` with their descendants and owned windows, each once, every window
  // before its children and owned windows.
  std::vector<HWND> withDependents(const std::vector<HWND> &roots) const;
  // WM_DESTROY goes to none of `silentProcess`'s windows (or only not to `silentThread`'s when
  // that is not 0).
  void destroyAll(const std::vector<HWND> &doomed, DWORD silentProcess, DWORD silentThread);
  // Keeps the desktop's topmost windows in front of the others after `moved` changed its place
  // or its WS_EX_TOPMOST.
  void keepBands(WindowRecord &parent, HWND moved);
  RECT screenRect(const WindowRecord &w) const;

  std::map<HWND, WindowRecord> windows_;
  std::map<DWORD, std::size_t> windowCounts_; // by process
  WorkAreaRule workAreaRule_;
  HWND desktop_;
  std::uintptr_t nextHandle_;
  RECT screen_;
  RECT workArea_;
  HWND foreground_ = nullptr;
  HWND capture_ = nullptr;
  std::map<DWORD, HWND> active_; // by thread
  std::map<DWORD, HWND> focus_;  // by thread
  WindowClassTable classes_;
  std::vector<WindowEvent> events_;
  std::set<HWND> changed_;
  mutable DWORD lastError_ = 0;
};

} // namespace ce::host
