// The base of the toolkit's full-screen modal windows: a window of class "ChildWindowSense"
// over the main window, drawn on the main window's surfaces, run by its own modal loop.
#pragma once

#include <toolkit/surface/surface.h>

#include <string>

class Element;
class TouchState;

class ChildWindow {
public:
  static constexpr const char16_t *ClassName = u"ChildWindowSense";

  // Registers the class once and creates the window (the main window as parent); makes the
  // display surfaces when the process has none; resets the touch state with no target.
  explicit ChildWindow(std::u16string title);
  // Restores the saved background onto the screen, clears the modal handler and the main
  // window's modal child, destroys the window; then ends the application when it is closing,
  // else queues the view for a full redraw.
  virtual ~ChildWindow();
  ChildWindow(const ChildWindow &) = delete;
  ChildWindow &operator=(const ChildWindow &) = delete;

  // Draws the window onto the primary surface; returns the distance scrolled (usually 0).
  virtual int paint(Surface *primary, bool full) = 0;
  // Events from elements shown in the window; forwarded to the main handler by default.
  virtual void onEvent(Element *sender, int code, LPARAM parameter);
  virtual LRESULT wndProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Saves the background, fills it with the background colour, and brings the window up full
  // screen as the modal handler.
  virtual void show();

  // Runs the modal loop until 0x12 or 0x400/0x500 arrives for this window. On a thread other
  // than the main window's it waits for the GlobalInformations event instead.
  void doModal();

  HWND window() const { return window_; }
  const std::u16string &title() const { return title_; }

protected:
  std::u16string title_;
  TouchState *touchState_ = nullptr;
  HWND window_ = nullptr;

private:
  static LRESULT windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
