// The press-and-hold recogniser: SHRecognizeGesture, called by a window procedure right after
// WM_LBUTTONDOWN, answers whether the stylus stays down and still long enough to ask for a
// context menu.
//
// Behaviour: the call follows the stylus messages in the calling thread's queue without taking
// them. The stylus is held once it has stayed down for GESTURE_HOLD_MS with every move within
// GESTURE_TOLERANCE pixels of ptDown (either axis); SHRG_LONGDELAY doubles the time. The time
// counts from the arrival of the message being handled (the press), so a caller that was slow to
// get here is judged by what the stylus did. It has ended first when a WM_LBUTTONUP (or a new
// press) or a move farther away arrived before the time was up; the messages stay queued for
// the caller either way. Messages sent to the thread meanwhile are handled; posted messages
// wait. No animation is drawn.
//
// Result: with SHRG_RETURNCMD, GN_CONTEXTMENU when held, 0 otherwise. Without it, a hold sends
// WM_NOTIFY with an NMRGINFO (code GN_CONTEXTMENU, ptAction in screen coordinates) to
// hwndClient's parent (SHRG_NOTIFYPARENT, or hwndClient itself without it) and answers
// GN_CONTEXTMENU; the notice is only sent to a window of the calling process (the record lives
// in its memory), otherwise it is left out. A null record, a cbSize other than
// SHRGINFO_DEVICE_SIZE or sizeof(SHRGINFO), or a window that is not one of the calling thread's
// gives 0 with ERROR_INVALID_PARAMETER.
#pragma once

#include <ce/messages.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define SHRG_RETURNCMD 0x00000001u
#define SHRG_NOTIFYPARENT 0x00000002u
#define SHRG_LONGDELAY 0x00000008u
#define SHRG_NOANIMATION 0x00000010u

#define GN_CONTEXTMENU 1000u

#define GESTURE_HOLD_MS 500u
#define GESTURE_TOLERANCE 5

typedef struct SHRGINFO {
  DWORD cbSize;
  HWND hwndClient;
  POINT ptDown; // client coordinates of hwndClient
  DWORD dwFlags;
} SHRGINFO;
typedef SHRGINFO *PSHRGINFO;
// The record's size on the device, which callers may put in cbSize.
#define SHRGINFO_DEVICE_SIZE 20u

typedef struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
} NMHDR;
typedef NMHDR *LPNMHDR;

typedef struct NMRGINFO {
  NMHDR hdr;
  POINT ptAction;
  DWORD dwItemSpec;
} NMRGINFO;
typedef NMRGINFO *PNMRGINFO;

DWORD SHRecognizeGesture(SHRGINFO *info);

CE_EXTERN_C_END
