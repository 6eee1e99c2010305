// The input panel: an on-screen keyboard that the device host draws at the bottom of the screen
// and that types into the focus window as the hardware keys do.
//
// Chosen behaviours:
// - The panel spans the screen's width at its bottom, SIP_HEIGHT_480 pixels high per 480 pixels
//   of the screen's shorter side (160 at 480, 80 at 240); rotation keeps it there. Shown while
//   the foreground window has a soft-key bar, it sits just above the bar instead, so that the
//   bar's keys and its input panel button stay within reach. It lies above
//   every other window, never takes the foreground or the focus, and types lower-case letters,
//   digits, space, backspace and Enter.
// - The visible desktop (rcVisibleDesktop) is the work area (SPI_GETWORKAREA: the screen below
//   the taskbar, in either orientation, whether or not the taskbar is shown), less the panel
//   while it shows.
// - "SIPPREF" (<ce/controls.h>): when an "EDIT" whose parent or owner holds a SIPPREF child gets
//   the focus, the panel shows; when the focus leaves it for anything but another such edit of
//   the same process, or the edit goes, the panel hides (if that edit's focus showed it).
// - SipSetInfo applies SIPF_ON only (shows or hides the panel); the panel's place is its own.
//   SipGetInfo fills fdwFlags (SIPF_ON while shown, SIPF_DOCKED always), both rectangles and
//   dwImDataSize 0; it leaves pvImData alone. Both accept cbSize SIPINFO_DEVICE_SIZE or
//   sizeof(SIPINFO); anything else fails with ERROR_INVALID_PARAMETER.
// - Showing or hiding the panel posts WM_SETTINGCHANGE (SPI_SETSIPINFO) to the top-level windows.
// - Without a running host the calls fail with ERROR_BROKEN_PIPE. A host without a panel
//   window answers SipGetInfo (the panel off) and SipStatus (unavailable); SipShowIM and
//   SipSetInfo then fail with ERROR_FILE_NOT_FOUND.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define SIPF_OFF 0x00000000u
#define SIPF_ON 0x00000001u
#define SIPF_DOCKED 0x00000002u
#define SIPF_LOCKED 0x00000004u
#define SIPF_DISABLECOMPLETION 0x00000008u

#define SIP_STATUS_UNAVAILABLE 0u
#define SIP_STATUS_AVAILABLE 1u

#define SPI_SETSIPINFO 224u
#define SPI_GETSIPINFO 225u

#define SIP_HEIGHT_480 160

typedef struct SIPINFO {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;
  RECT rcSipRect;
  DWORD dwImDataSize;
  void *pvImData;
} SIPINFO;
typedef SIPINFO *PSIPINFO;
// The record's size on the device, which callers may put in cbSize.
#define SIPINFO_DEVICE_SIZE 48u

// SIPF_ON shows the panel, SIPF_OFF hides it; other flags are ignored. Returns once the panel has
// changed.
BOOL SipShowIM(DWORD flags);
BOOL SipGetInfo(SIPINFO *info);
BOOL SipSetInfo(SIPINFO *info);
// Whether the device has an input panel.
DWORD SipStatus(void);
// SPI_GETSIPINFO is SipGetInfo, SPI_SETSIPINFO is SipSetInfo, on the SIPINFO at `param`; other
// actions fail with ERROR_INVALID_PARAMETER.
BOOL SHSipInfo(UINT action, UINT uiParam, PVOID param, UINT winIni);

CE_EXTERN_C_END
