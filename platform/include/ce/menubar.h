// Soft-key bars: the bar along the bottom of the screen whose two keys belong to a window.
//
// SHCreateMenuBar hands the bar's menu to the device host, which makes and runs the bar: a
// top-level window of class "MenuBar" owned by `hwndParent`, the full width of the screen and 26
// units high (52 pixels on a 480-wide screen; see the platform's size unit) at its bottom edge,
// filled by a child window of class "ToolbarWindow32" that draws the keys and takes the taps.
// hwndMB receives the "MenuBar" window. Both windows belong to the host process, so that a
// service library loaded by the services host may subclass the "ToolbarWindow32" window.
//
// The keys come from the menu's first two items (later items are not shown): a command item is a
// key that posts WM_COMMAND(id, 0) to the owner window when it is tapped (the stylus lifted on
// the key it went down on); a popup item is a key that opens its submenu above itself when
// tapped, and the chosen item is posted to the owner as WM_COMMAND(id, 0). Grayed items are keys
// that cannot be tapped. The bar takes a copy of the menu: the caller may destroy its menu at
// once.
//
// TB_SETBUTTONINFO sent to either window, from any process (wParam = the key's command id, or
// its index with TBIF_BYINDEX; lParam = a TBBUTTONINFO of cbSize 32 or sizeof(TBBUTTONINFO)),
// changes the key: TBIF_COMMAND its id, TBIF_TEXT its label, TBIF_STATE whether it can be
// tapped (TBSTATE_ENABLED); the bar is repainted. It answers TRUE, or FALSE when no key has that
// id or the record is not readable.
//
// The bar goes with its owner window (and so with the owner's process), and shows while its
// owner is visible. The owner's process may destroy it (DestroyWindow or WM_CLOSE); the screen's
// rotation moves it to the new bottom edge.
//
// Chosen behaviours:
// - The bar is 26 units high in either orientation (the unit follows the screen's short side),
//   so turning the device does not make it taller.
// - A key's menu is driven by the stylus only: keys go to the owner's process, not to the host
//   that runs the menu.
// - Only menus given as handles (SHCMBF_HMENU, nToolBarId = the HMENU) and empty bars
//   (SHCMBF_EMPTYBAR) can be made: menus from resources fail with ERROR_NOT_SUPPORTED.
// - SHCMBF_COLORBK paints the bar in clrBk; SHCMBF_HIDDEN is accepted and has no effect (the bar
//   follows its owner's visibility).
// - The input panel's button sits in the middle of the bar, a square as high as the bar between
//   the two keys (which share what is left): a tap shows the input panel, or hides it when it
//   shows. SHCMBF_HIDESIPBUTTON makes a bar without it, and so does the owner's
//   SHFullScreen(SHFS_HIDESIPBUTTON) until it asks SHFS_SHOWSIPBUTTON; without the button the
//   keys are the bar's two halves.
// - cbSize may be the device's record size (36) or sizeof(SHMENUBARINFO).
// - Failures: ERROR_INVALID_PARAMETER (no record, a wrong cbSize), ERROR_INVALID_WINDOW_HANDLE
//   (no owner window), ERROR_INVALID_MENU_HANDLE, ERROR_NOT_SUPPORTED, ERROR_BROKEN_PIPE (no
//   running device host or its bar server did not answer).
#pragma once

#include <ce/types.h>
#include <ce/windows_api.h>

CE_EXTERN_C_BEGIN

#define SHCMBF_EMPTYBAR 0x0001u
#define SHCMBF_HIDDEN 0x0002u
#define SHCMBF_HIDESIPBUTTON 0x0004u
#define SHCMBF_COLORBK 0x0008u
#define SHCMBF_HMENU 0x0010u

#ifndef TBSTATE_ENABLED
#define TBSTATE_ENABLED 0x04u
#endif
#ifndef TBIF_BYINDEX
#define TBIF_BYINDEX 0x80000000u
#endif

typedef struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;
  COLORREF clrBk;
} SHMENUBARINFO;
typedef SHMENUBARINFO *PSHMENUBARINFO;

// The record's size on the device, which callers may put in cbSize.
#define SHMENUBARINFO_DEVICE_SIZE 36u

BOOL SHCreateMenuBar(SHMENUBARINFO *info);
// The bar made for `owner`, or NULL.
HWND SHFindMenuBar(HWND owner);

CE_EXTERN_C_END
