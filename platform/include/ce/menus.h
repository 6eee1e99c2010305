// Menus, popup menus and the message box.
//
// Menus (HMENU) are objects of the process that made them: a handle means nothing in another
// process. A handle that is not a live menu of this process fails with
// ERROR_INVALID_MENU_HANDLE; handle values are never reused while the process runs and always
// fit in 32 bits (so that a menu can be carried in a UINT field, as SHMENUBARINFO does).
//
// Chosen behaviours where the device's own are not known:
// - AppendMenuW takes MF_STRING (text), MF_SEPARATOR and MF_POPUP (uIDNewItem is the submenu's
//   handle), each with MF_GRAYED, MF_DISABLED and MF_CHECKED. Bitmaps and owner-drawn items are
//   refused (ERROR_NOT_SUPPORTED). A submenu that would make a menu its own descendant is refused
//   (ERROR_INVALID_PARAMETER). A text is kept up to kMaxMenuTextUnits units.
// - DestroyMenu destroys the menu's submenus with it. A submenu destroyed on its own leaves its
//   item in the parent, which then opens nothing.
// - A menu holds at most kMaxMenuItems items (ERROR_NOT_ENOUGH_MEMORY beyond).
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#ifndef ERROR_INVALID_MENU_HANDLE
#define ERROR_INVALID_MENU_HANDLE 1401L
#endif

// Menu item flags.
#define MF_STRING 0x00000000u
#define MF_ENABLED 0x00000000u
#define MF_UNCHECKED 0x00000000u
#define MF_BYCOMMAND 0x00000000u
#define MF_GRAYED 0x00000001u
#define MF_DISABLED 0x00000002u
#define MF_BITMAP 0x00000004u
#define MF_CHECKED 0x00000008u
#define MF_POPUP 0x00000010u
#define MF_OWNERDRAW 0x00000100u
#define MF_BYPOSITION 0x00000400u
#define MF_SEPARATOR 0x00000800u

// TrackPopupMenuEx flags.
#define TPM_LEFTBUTTON 0x0000u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_HORIZONTAL 0x0000u
#define TPM_VERTICAL 0x0040u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u

typedef struct TPMPARAMS {
  UINT cbSize;
  RECT rcExclude; // screen rectangle the popup keeps clear of, when it can
} TPMPARAMS;
typedef TPMPARAMS *LPTPMPARAMS;

HMENU CreateMenu(void);
HMENU CreatePopupMenu(void);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem);
// Returns the item's previous state (MF_GRAYED | MF_DISABLED bits), or (UINT)-1 when the menu or
// the item does not exist. `item` is a command id, or a position with MF_BYPOSITION; by command
// the submenus are searched too.
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
// Returns MF_CHECKED or MF_UNCHECKED as it was, or (DWORD)-1 when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// -1 for an invalid menu.
int GetMenuItemCount(HMENU menu);
// The command id of the item at `position`; (UINT)-1 for a submenu, a separator's 0, or -1 when
// there is no such item.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);

// Shows `menu` at x, y (screen coordinates, placed by the TPM_*ALIGN flags and kept on the
// screen, flipped to the other side of the point when it does not fit) and tracks it until an
// item is chosen or the tracking is cancelled (ESC, a tap outside the menu, WM_QUIT, the owner
// window's end). The calling thread runs the menu's message loop meanwhile: its other windows
// keep painting and handling what is sent to them, but stylus and key input goes to the menu.
// Keys: up and down move, right opens a submenu, left closes one, ENTER chooses, ESC closes
// a level.
// Without TPM_RETURNCMD the chosen id is posted to `owner` as WM_COMMAND(id, 0) and the result is
// TRUE; with it the result is the chosen id, or 0 when nothing was chosen. Grayed and disabled
// items cannot be chosen. The popup never takes the foreground: the owner stays active.
// Only one menu is tracked per thread at a time (a second call fails with ERROR_BUSY).
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);

// MessageBoxW types.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

// Answers.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// A modal box drawn by the platform: a top-level window titled `caption` ("Error" when null),
// the text wrapped and centred (line breaks kept), an icon for the MB_ICON* style and one button
// per answer of the type. It runs its own message loop on the calling thread, which needs no
// window of its own, and returns the answer: the tapped button, ENTER for the default button
// (MB_DEFBUTTONn; the first when n is beyond the buttons), ESC or WM_CLOSE for IDCANCEL where
// there is a Cancel button, IDOK for a box with only OK; boxes without either ignore both. A
// window `owner` of the calling process is disabled while the box shows and enabled and
// activated again after. Returns 0 with the last error set when the box cannot be made (an
// unknown type: ERROR_INVALID_PARAMETER; no host: ERROR_BROKEN_PIPE), or when a WM_QUIT reached
// the loop first (it is posted again for the caller's own loop).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

CE_EXTERN_C_END

#ifdef __cplusplus
// Limits of the platform's own menus.
constexpr int kMaxMenuItems = 1024;
constexpr int kMaxMenuTextUnits = 1024;
#endif
