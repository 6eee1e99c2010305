// The process-wide state of the display: the main window and its application object, the
// DirectDraw object, the three display surfaces and the rectangles and flags of the drawing
// passes. Held by GlobalInformations; guarded by its display critical section (surfaces) and
// invalidation critical section (the dirty-rectangle queue).
#pragma once

#include <toolkit/surface/surface.h>

#include <atomic>

class DirectDrawWarp;

struct DisplayState {
  std::atomic<DirectDrawWarp *> mainApplication{nullptr}; // not owned
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  // The window whose DC the primary surface borrows to paint: the main window, or the modal
  // window shown over it (null: the main window).
  HWND paintWindow = nullptr;
  HWND dcOwner = nullptr; // the window the primary's DC is borrowed from now
  IDirectDraw *directDraw = nullptr;
  Surface *primary = nullptr;
  Surface *backBuffer = nullptr;     // the frame being composed
  Surface *backgroundSave = nullptr; // the clean background the back buffer is restored from

  std::atomic<bool> active{false};
  std::atomic<bool> paintingAllowed{true};
  std::atomic<bool> redrawPending{true};
  // Set by the program: closing asks it first (it hears thread message 0x400 with 0x12).
  std::atomic<bool> closingNeedsConfirmation{false};
  // Set when the application is ending (a dialog that made its own main window).
  std::atomic<bool> applicationClosing{false};
  // Set by the program when the main window must keep the taskbar.
  std::atomic<bool> fullScreenUnwanted{false};

  RECT client{}; // the main window's client rectangle
  RECT dirty{};  // the area composed and copied in the current pass
  RECT view{};   // the client rectangle at the last layout; its top is what lies above drawing

  // The configured background colour (a colour reference) that plain backgrounds are filled with.
  COLORREF backgroundColor = RGB(0, 0, 0);
};
