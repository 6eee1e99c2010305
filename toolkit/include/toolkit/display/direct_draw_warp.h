// The application's full-screen window: it opens the display, keeps the three display surfaces
// (the primary over the window, the back buffer where frames are composed and the background
// save they are restored from), the list of sections with the current one, the background image
// and the queue of dirty rectangles, and runs the UI thread's message loop.
//
// Every pixel is composed in the back buffer and copied to the window; only dirty rectangles
// are restored, composed and copied, except on a full redraw.
#pragma once

#include <toolkit/display/dirty_rectangle_queue.h>
#include <toolkit/surface/surface.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class ChildWindow;
class Section;
class TouchState;

// The stylus gesture message that ends a gesture with wParam 2.
inline constexpr UINT GestureMessage = 0x119;
// The edit control's message that the message loops hand back to it.
inline constexpr UINT EditExitMessage = 0x212;

class DirectDrawWarp {
public:
  // Timers of the main window.
  static constexpr UINT_PTR FlingTimer = 1;
  static constexpr UINT_PTR AnimationTimer = 2;
  static constexpr UINT_PTR SnapshotTimer = 3;
  // Fling frames are drawn at most this often, so that a fling's distance follows its speed
  // and not how fast a frame can be drawn.
  static constexpr DWORD FlingFrameMs = 16;

  // Registers the window class (named `className`, also the window's title), creates the window
  // (in snapshot mode topmost over the whole screen, taking the screen behind it as background),
  // opens the display and makes the back buffer and background save, and posts the start
  // notification (thread message 0x400 with 0) to the calling thread. When the window or the
  // display cannot be made the object stays unusable (isUsable() false).
  DirectDrawWarp(HINSTANCE instance, std::u16string className, bool snapshotMode,
                 HMENU menu = nullptr);
  virtual ~DirectDrawWarp();
  DirectDrawWarp(const DirectDrawWarp &) = delete;
  DirectDrawWarp &operator=(const DirectDrawWarp &) = delete;

  bool isUsable() const { return usable_; }
  HWND window() const { return window_; }
  bool isSnapshotMode() const { return snapshotMode_; }
  TouchState *touchState() const { return touchState_; }

  // Sections (owned). The current one is drawn and gets the touch input.
  void addSection(Section *section);
  const std::vector<Section *> &sections() const { return sections_; }
  Section *currentSection() const;
  int currentSectionIndex() const { return currentSection_; }
  // Makes a section current and the touch target (-1: none).
  void setCurrentSection(int index);

  // Sets the background image of one orientation at a brightness of 0-255 (255 leaves it as it
  // is, 0 makes it black). The path is kept for that orientation unless one is kept already and
  // `force` is false. Only an image for the current orientation is drawn into the background.
  // E_FAIL when the image cannot be loaded.
  HRESULT setBackgroundImg(const std::u16string &path, bool landscape, int brightness, bool force);
  // Fills the background with a colour (a colour reference) and redraws.
  void setBackgroundColor(COLORREF color);
  const std::u16string &backgroundPath(bool landscape) const {
    return landscape ? landscapeBackground_ : portraitBackground_;
  }
  BYTE backgroundDarkening() const { return darkening_; }
  bool backgroundImageSet() const { return backgroundImageSet_; }

  // The first full drawing: the background (made grey in snapshot mode), the current section,
  // copied to the window. Nothing is drawn before it.
  void createBackground();
  bool isReady() const { return ready_.load(); }
  int snapshotFade() const { return snapshotFade_; }

  // Draws a frame and the queued dirty rectangles; returns the distance the frame scrolled.
  int draw(bool full);
  // One composing pass under the display critical section; returns the distance scrolled.
  int drawFrame(bool full);
  // Composes the current section into the back buffer and copies it to the window; returns the
  // distance the touch target moved.
  int UpdateFrame();

  // Queues a rectangle for redrawing; the first rectangle of an empty queue posts 0x410 to the
  // window once.
  void queueDirty(const RECT &area, bool fullRedraw);
  // Draws the rectangles queued when it starts, each moved by the scroll of the last pass.
  void drainDirty(int scroll);
  std::vector<DirtyRectangle> queuedDirty() const;

  ChildWindow *modalChild() const { return modalChild_.load(); }
  void setModalChild(ChildWindow *child) { modalChild_.store(child); }

  // A window kept above the drawing area (its height is left out of the client rectangle).
  void setBarWindow(HWND bar);
  HWND barWindow() const { return barWindow_; }

  // Hides the taskbar and the input-panel button and makes the window cover the screen.
  void makeFullScreen();
  // Re-reads the screen's orientation; on a change, remakes the display surfaces at the new size.
  void orientationCheck();

  // While a fling runs and no message waits: draws the next fling frame when it is due (else
  // waits a millisecond); stops a fling whose frame moved nothing.
  void flingFrame();

  // The UI thread's message loop; returns when the application is to end. The window is
  // destroyed when it returns.
  void run();

  // One step of the application's own animation on timer 2 (called with -1).
  void setAnimationStep(std::function<void(int)> step) { animationStep_ = std::move(step); }
  // The edit control's window and what it does when the loops see EditExitMessage for it.
  static void setEditWindow(HWND window, std::function<void()> onExit);
  // Hands EditExitMessage for the edit window to its handler; true when it was that message.
  static bool handleEditMessage(const MSG &msg);

  LRESULT wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  static LRESULT windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool openDisplay();
  void makeBackgroundSurfaces();
  void releaseDisplay();
  void greySnapshot();
  void onStylus(UINT message, int x, int y);
  void onPaint();
  LRESULT onActivate(WPARAM wParam);
  void onTimer(UINT_PTR id);
  LRESULT onClose();
  void hideInputPanel();
  // Dispatches a thread message of the UI loop; false when it ends the loop.
  void handleThreadMessage(const MSG &msg);

  bool snapshotMode_ = false;
  std::u16string className_;
  TouchState *touchState_ = nullptr;
  std::u16string portraitBackground_;
  std::u16string landscapeBackground_;
  std::vector<Section *> sections_;
  int currentSection_ = -1;
  int snapshotFade_ = 0;
  DirtyRectangleQueue dirtyQueue_;
  std::atomic<bool> ready_{false};
  bool backgroundImageSet_ = false;
  std::atomic<bool> settingBackground_{false};
  HWND barWindow_ = nullptr;
  BYTE darkening_ = 0;
  RECT barRect_{};
  std::atomic<ChildWindow *> modalChild_{nullptr};

  HWND window_ = nullptr;
  bool usable_ = false;
  std::function<void(int)> animationStep_;
  DWORD lastFlingFrame_ = 0;
};
