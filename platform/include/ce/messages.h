// Messages and per-thread message queues.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

typedef struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG;
typedef MSG *LPMSG;

#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_ENABLE 0x000Au
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_ERASEBKGND 0x0014u
#define WM_SHOWWINDOW 0x0018u
#define WM_SETTINGCHANGE 0x001Au
#define WM_WINDOWPOSCHANGED 0x0047u
#define WM_NOTIFY 0x004Eu
#define WM_KEYFIRST 0x0100u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_KEYLAST 0x0108u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_TIMER 0x0113u
#define WM_HSCROLL 0x0114u
#define WM_VSCROLL 0x0115u
#define WM_INITMENUPOPUP 0x0117u
#define WM_CTLCOLOREDIT 0x0133u
#define WM_CTLCOLORSTATIC 0x0138u
#define WM_MOUSEFIRST 0x0200u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_MOUSELAST 0x0209u
#define WM_CAPTURECHANGED 0x0215u
#define WM_HOTKEY 0x0312u
#define WM_USER 0x0400u
#define WM_APP 0x8000u

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// Thread message queues. Every thread gets a queue on first use; PeekMessageW creates it.
// GetMessageW returns 0 on WM_QUIT, -1 on failure, nonzero otherwise.
//
// PostThreadMessageW reaches the threads that have created their queue: those of this process
// directly, those of other processes of the device through its host. A thread of this process
// without a queue, an id that is no live thread of a device process (a thread that has ended,
// a thread outside the device) or no running host fails with ERROR_INVALID_PARAMETER. For
// another process the call returns once the host has queued the message for that process,
// without waiting for the receiver (it may hang or die meanwhile); the receiving process then
// puts it into the thread's queue, or drops it when that thread has no queue (it has not made
// one yet, or it ended meanwhile): a post across processes cannot learn that without waiting
// for the receiver. A receiver that has left thousands of the host's messages unread takes no
// more (ERROR_NOT_ENOUGH_QUOTA). What one thread posts and sends to one process arrives in that
// order. MSG.time is the tick count at which the message enters the queue.
//
// Messages are taken in this order: messages sent from other threads (handled inside
// GetMessageW/PeekMessageW), posted messages in posting order, input, WM_QUIT from
// PostQuitMessage (once nothing else passes the filter; it passes every filter), then WM_PAINT
// and WM_TIMER. Filters: a null window takes every message of the thread, the window value -1
// thread messages only, another window that window's messages; the range [min, max] with 0, 0
// meaning all.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage);
void PostQuitMessage(int exitCode);

CE_EXTERN_C_END
