// Windows: classes, window procedures, styles, geometry, painting and the records that window
// messages carry.
//
// Chosen behaviours where the device's own are not known:
// - Windows have no non-client area: the client rectangle is the window rectangle moved to 0, 0.
// - Every window clips its siblings and children, as on the device: a window's visible region is
//   its rectangle within its parents, less the visible windows above it and its visible children.
// - Window handles are even numbers, so that the lowest bit is free for SetForegroundWindow's
//   "window with its owned windows" form; a handle is never reused while the device runs.
#pragma once

#include <ce/commctrl.h> // the soft-key bars' TB_SETBUTTONINFO travels with window messages
#include <ce/messages.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);

// Window styles.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u

#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_NOACTIVATE 0x08000000u

// Class styles.
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_NOCLOSE 0x0200u

#define CW_USEDEFAULT (((int)(0x80000000u)))

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3

// SetWindowPos.
#define HWND_TOP (((HWND)(0)))
#define HWND_BOTTOM (((HWND)(1)))
#define HWND_TOPMOST (((HWND)(-1)))
#define HWND_NOTOPMOST (((HWND)(-2)))
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOOWNERZORDER 0x0200u

// GetWindow.
#define GW_HWNDFIRST 0u
#define GW_HWNDLAST 1u
#define GW_HWNDNEXT 2u
#define GW_HWNDPREV 3u
#define GW_OWNER 4u
#define GW_CHILD 5u

// Get/SetWindowLongW.
#define GWL_WNDPROC (-4)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)
#define DWL_MSGRESULT 0
#define DWL_USER 8
// The names the pointer-sized forms (Get/SetWindowLongPtrW) use for the same indexes.
#ifndef GWLP_WNDPROC
#define GWLP_WNDPROC GWL_WNDPROC
#define GWLP_USERDATA GWL_USERDATA
#define GWLP_ID GWL_ID
#endif

// WM_ACTIVATE states.
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// WM_SIZE kinds.
#define SIZE_RESTORED 0

// The WM_SETTINGCHANGE code that tells windows the screen changed (rotation).
#define SETTINGCHANGE_RESET 0x3002u

// GetSystemMetrics.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

// Virtual keys.
#define VK_BACK 0x08u
#define VK_TAB 0x09u
#define VK_RETURN 0x0Du
#define VK_SHIFT 0x10u
#define VK_CONTROL 0x11u
#define VK_ESCAPE 0x1Bu
#define VK_SPACE 0x20u
#define VK_LEFT 0x25u
#define VK_UP 0x26u
#define VK_RIGHT 0x27u
#define VK_DOWN 0x28u
#define VK_DELETE 0x2Eu
#define VK_LWIN 0x5Bu

#define WM_COPYDATA 0x004Au

typedef struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
} WNDCLASSW;
typedef WNDCLASSW *LPWNDCLASSW;

typedef struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTW;
typedef CREATESTRUCTW *LPCREATESTRUCTW;

typedef struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
} WINDOWPOS;
typedef WINDOWPOS *LPWINDOWPOS;

typedef struct COPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  PVOID lpData;
} COPYDATASTRUCT;
typedef COPYDATASTRUCT *PCOPYDATASTRUCT;

typedef struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT;
typedef PAINTSTRUCT *LPPAINTSTRUCT;

// GetRegionData's record: the header, then nCount rectangles.
#define RDH_RECTANGLES 1
typedef struct RGNDATAHEADER {
  DWORD dwSize;
  DWORD iType;
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
} RGNDATAHEADER;
typedef struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
} RGNDATA;
typedef RGNDATA *LPRGNDATA;

// Window procedures. CallWindowProcW calls `procedure` (null fails with 0). TranslateMessage
// adds WM_CHAR for a WM_KEYDOWN of a key that types a character. DispatchMessageW calls the
// procedure of the message's window in this process (a WM_TIMER with a callback calls the
// callback instead) and returns its result; a message for a window of no procedure here gives 0.
LRESULT CallWindowProcW(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageW(const MSG *msg);

#ifndef ERROR_CANNOT_FIND_WND_CLASS
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#endif

// Cursors (LoadCursorW gives the platform's cursors by id).
#define IDC_ARROW (((LPCWSTR)(((ULONG_PTR)(32512)))))
#define IDC_WAIT (((LPCWSTR)(((ULONG_PTR)(32514)))))

// SystemParametersInfoW.
#define SPI_GETWORKAREA 48u

// SHFullScreen.
#define SHFS_SHOWTASKBAR 0x0001u
#define SHFS_HIDETASKBAR 0x0002u
#define SHFS_SHOWSIPBUTTON 0x0004u
#define SHFS_HIDESIPBUTTON 0x0008u
#define SHFS_SHOWSTARTICON 0x0010u
#define SHFS_HIDESTARTICON 0x0020u

// Windows of the device. The host keeps the window table; procedures, user data and classes
// live in the process that registered them. A process without a running host gets failures
// with ERROR_BROKEN_PIPE.
//
// Chosen behaviours:
// - SendMessageW to a window of the calling thread calls its procedure directly; to any other
//   thread it waits until the owner thread handles it in GetMessageW/PeekMessageW, and fails
//   (0, ERROR_BROKEN_PIPE) when the owner ends first.
// - IsWindow, GetWindowRect, GetClientRect, IsWindowVisible, IsWindowEnabled,
//   GetWindowThreadProcessId, GetClassNameW, GetWindowLongW (styles, id), another process's
//   window title, GetForegroundWindow, GetDesktopWindow and the screen's size answer from this
//   process's own copy of the window table, which the host keeps current: no call goes to the
//   host. A change this process makes (CreateWindowExW, SetWindowPos, ShowWindow, DestroyWindow,
//   SetWindowTextW, ...) is seen by all its threads once the call returns. A change another
//   process makes is seen once the host's notice of it has arrived, which is before any message
//   the host hands this process after the change (WM_WINDOWPOSCHANGED, WM_SIZE, WM_ACTIVATE, a
//   message posted or sent after it); a query that no such message prompted may see the window
//   as it was a moment before.
// - PostMessageW to a window of another process returns once the host has queued the message
//   for that process, never waiting for the receiver: a receiver that hangs, is stopped or is
//   dying does not hold the poster. It fails at once with ERROR_INVALID_WINDOW_HANDLE when the
//   host knows no such window, and with ERROR_NOT_ENOUGH_QUOTA when the receiver has left
//   thousands of the host's messages unread. A window destroyed after the host queued the
//   message loses it, as the messages already in its queue are lost. Whatever one thread posts
//   and sends to one process arrives in that order: a message sent after a post finds the post
//   in the receiver's queue.
// - Messages whose lParam points to data cross into another process with SendMessageW only:
//   WM_SETTEXT (the string), WM_GETTEXT (the receiver fills a buffer of its own, and what it
//   wrote comes back into the sender's buffer, never beyond wParam characters with the
//   terminating zero; the result is the number of characters copied), WM_COPYDATA (dwData,
//   cbData and the bytes; the receiver's lpData points to a copy valid during the call) and
//   TB_SETBUTTONINFO (the record and its text, see <ce/commctrl.h>). A message carries at most
//   64 Ki characters of text or 128 KiB of WM_COPYDATA bytes; more, or a record that cannot be
//   read (a null COPYDATASTRUCT, a wrong cbSize), fails with ERROR_INVALID_PARAMETER. Posting
//   such a message with a non-null lParam to another process (PostMessageW,
//   PostThreadMessageW) fails with ERROR_INVALID_PARAMETER: the data cannot wait in a queue.
//   Within one process the pointer passes as it is.
// - Timers run in the owner thread's queue; SetTimer works for windows of the calling process.
// - GetDC and BeginPaint give DCs over the framebuffer of this process's display, clipped to the
//   window's visible region (BeginPaint also to the update region); without a display they
//   give NULL, and BeginPaint still validates.
// - Another process's top-level windows answer ShowWindow, SetWindowPos, MoveWindow,
//   SetForegroundWindow (the handle with its lowest bit set also raises the window's owned
//   windows above it) and UpdateWindow (the owner thread is sent WM_PAINT when anything is due,
//   and the call returns once it has painted) as the process's own windows do. SetWindowTextW
//   sends WM_SETTEXT to the window in whichever process it lives and returns its result. A child
//   window changes place or visibility only by its own process (ERROR_ACCESS_DENIED); styles,
//   timers and DestroyWindow stay with the window's process.
// - A process may own at most 1000 windows and register at most 200 classes at a time; beyond
//   that CreateWindowExW and RegisterClassW fail with ERROR_NOT_ENOUGH_QUOTA. UnregisterClassW
//   frees the name for a new RegisterClassW; it fails with ERROR_CLASS_HAS_WINDOWS while a window
//   of the process has the class, and with ERROR_CLASS_DOES_NOT_EXIST for a class the process did
//   not register.
// - Top-level windows made with CW_USEDEFAULT take the work area: the screen below the taskbar,
//   whose height follows the screen's width (36 pixels per 480 for the 6.5-style bar, 52 for the
//   classic one). It does not change while a full-screen window hides the taskbar; a rotation
//   gives the new one, and windows that covered the old work area are made to cover the new.
//   SystemParametersInfoW(SPI_GETWORKAREA) writes it to the RECT at `param`; SPI_GETSIPINFO and
//   SPI_SETSIPINFO are SHSipInfo's; other actions fail with ERROR_INVALID_PARAMETER.
// - SHFullScreen records for the window what it asks until it asks otherwise (a show flag given
//   with its hide flag wins): while the window is the foreground window, SHFS_HIDETASKBAR hides
//   the taskbar, so that a window at 0, 0 as large as the screen covers all of it, and
//   SHFS_HIDESTARTICON hides the taskbar's Start icon (a tap there opens nothing; the Windows
//   key still works). SHFS_HIDESIPBUTTON hides the input panel button of the window's soft-key
//   bars, those it has and those made later. The SHOW flags undo them. Only the window's process
//   may call it (ERROR_ACCESS_DENIED).
// - keybd_event is input like a key of the device: it reaches the taskbar's procedure, which
//   hands it on to the focus window (the Windows key it keeps). A key that the shell has no use
//   for (none of the keyboard's keys, the phone's buttons or the Windows key: 0x85 and the like)
//   is also written to the host's log, "keys: keybd_event 0x85 down at <GetTickCount> ms from
//   process <id>", with " (silent)" for KEYEVENTF_SILENT, which is otherwise accepted and ignored;
//   50 such lines a second at most, then one that says how many were left out.
ATOM RegisterClassW(const WNDCLASSW *wndClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND hwnd);
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ShowWindow(HWND hwnd, int command);
BOOL UpdateWindow(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
HWND GetWindow(HWND hwnd, UINT command);
HWND GetDesktopWindow(void);
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL EnumWindows(WNDENUMPROC callback, LPARAM lParam);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int size);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int size);
int GetWindowTextLengthW(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsWindowEnabled(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
// GWL_WNDPROC and GWL_USERDATA hold pointers here: the Ptr forms carry them whole; the LONG
// forms refuse (ERROR_INVALID_PARAMETER) a procedure address that does not fit in a LONG.
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
HWND GetForegroundWindow(void);
BOOL SetForegroundWindow(HWND hwnd);
HWND SetFocus(HWND hwnd);
// The calling thread's focus window; for a thread without one, the device's focus window (that
// of the foreground window's thread, or the foreground window), where key input goes.
HWND GetFocus(void);
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow(void);
int GetSystemMetrics(int index);
BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID param, UINT winIni);
BOOL SHFullScreen(HWND hwnd, DWORD state);
void keybd_event(BYTE key, BYTE scan, DWORD flags, ULONG_PTR extraInfo);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);

// Stylus capture. The device has one capture window at a time. While a window holds it, every
// stylus message (WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP) goes to it, in its client
// coordinates, wherever the point lies (negative or beyond its size included). Without a
// capture, a press goes to the window under the point, which keeps the stylus until it is lifted.
// - SetCapture takes a window of the calling thread (ERROR_ACCESS_DENIED for another thread's,
//   ERROR_INVALID_WINDOW_HANDLE for no window) and returns the previous capture window, whichever
//   thread held it; SetCapture(NULL) is ReleaseCapture.
// - ReleaseCapture lets go of a capture held by a window of the calling thread (TRUE also when
//   no window holds it); another thread's capture stays (FALSE, ERROR_ACCESS_DENIED).
// - The window that loses the capture to another window or to ReleaseCapture gets
//   WM_CAPTURECHANGED (lParam = the new capture window, or NULL). A capture window that is
//   destroyed, or whose thread or process ends, gives up the capture without it.
// - GetCapture answers the device's capture window from any process, or NULL.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture(void);
HWND GetCapture(void);

// Messages to windows.
UINT RegisterWindowMessageW(LPCWSTR name);
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC callback);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Painting.
BOOL InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT *rect);
HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *paint);
// Puts the window's update region (client coordinates) into `region`; returns its kind
// (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR (0).
int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase);
// Writes the region into `data`: an RGNDATAHEADER (dwSize 32, iType RDH_RECTANGLES, nCount
// rectangles, nRgnSize their bytes, rcBound their bounding box, all zero when empty), then the
// rectangles, which never overlap, top to bottom and left to right. With a null `data` it
// returns the bytes needed; otherwise `size` on success, and 0 with ERROR_INSUFFICIENT_BUFFER
// when `size` is too small (nothing written) or ERROR_INVALID_HANDLE for no region.
DWORD GetRegionData(HRGN region, DWORD size, LPRGNDATA data);
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

CE_EXTERN_C_END
