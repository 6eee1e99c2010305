// The application's event sink, and the dispatch of element events to it or to the open modal
// window.
//
// Event codes: 1 tap, 2 value changed, 3 press-and-hold, 4 swipe right, 5 swipe left. Threads
// other than the UI thread post them as thread message 0x400 (wParam = code, lParam = element).
#pragma once

#include <ce/windows.h>

class Element;
class ChildWindow;

enum EventCode : int {
  EventTap = 1,
  EventValueChanged = 2,
  EventHold = 3,
  EventSwipeRight = 4,
  EventSwipeLeft = 5,
};

// Thread message 0x400 parameters with a meaning of their own.
inline constexpr UINT ToolkitMessage = WM_USER;      // 0x400
inline constexpr UINT DirtyQueueMessage = 0x410;     // drain the dirty rectangles
inline constexpr UINT EndApplicationMessage = 0x420; // end without confirmation
inline constexpr WPARAM StartParameter = 0;          // start the application
inline constexpr WPARAM EndModalParameter = 0x500;   // end a modal loop
inline constexpr WPARAM RefillParameter = 0x501;     // a modal window fills itself again

class EventHandler {
public:
  EventHandler();
  // Called once when the UI thread receives the start notification.
  virtual void onStart(UINT message, LPARAM parameter) = 0;
  // Destroys the main window object, then shuts the toolkit down.
  virtual ~EventHandler();
  virtual void onEvent(Element *sender, int code, LPARAM parameter) = 0;

  static EventHandler *mainHandler();
  static void setMainHandler(EventHandler *handler);
  static ChildWindow *modalHandler();
  static void setModalHandler(ChildWindow *window);
};

// Sends an event to the modal window when one is shown, else to the main handler.
void dispatchEvent(Element *sender, int code, LPARAM parameter);
