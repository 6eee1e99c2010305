// Control-panel applets: the messages of a ".cpl" library's exported CPlApplet function and the
// records it fills in.
//
// A control-panel library exports
//     LONG CPlApplet(HWND parent, UINT message, LPARAM lParam1, LPARAM lParam2);
// and is driven in this order: CPL_INIT (nonzero = ready), CPL_GETCOUNT (number of applets),
// then per applet CPL_NEWINQUIRE or CPL_INQUIRE (and CPL_IDNAME), CPL_DBLCLK to open one,
// CPL_STOP for each applet, CPL_EXIT once before the library is unloaded.
//
// Choices made where the device's behaviour is not known:
// - NEWCPLINFOW keeps the device's field order. On the device the record is 468 bytes; on a
//   64-bit host its applet data and icon handle are 8 bytes wide and the record is
//   sizeof(NEWCPLINFOW) (480 bytes). Callers pass a whole NEWCPLINFOW (zeroed or not); applets
//   fill every field, dwSize included, and never write beyond it.
// - The icon handle in NEWCPLINFOW belongs to the applet library and stays valid until
//   CPL_EXIT; callers copy or draw it and never destroy it.
// - A message for an applet index the library does not have returns nonzero and leaves the
//   record untouched.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

// Messages.
#define CPL_INIT 1u
#define CPL_GETCOUNT 2u
#define CPL_INQUIRE 3u
#define CPL_SELECT 4u
#define CPL_DBLCLK 5u
#define CPL_STOP 6u
#define CPL_EXIT 7u
#define CPL_NEWINQUIRE 8u
#define CPL_STARTWPARMS 9u
// lParam1 = applet index, lParam2 = a WCHAR buffer of CPL_IDNAME_LENGTH + 1 characters that
// receives the applet's identifier name; 0 = success.
#define CPL_IDNAME 100u
#define CPL_IDNAME_LENGTH 32

// CPLINFO::idName / idInfo value telling the caller to ask CPL_NEWINQUIRE for the texts.
#define CPL_DYNAMIC_RES 0

// Lengths of the text fields of NEWCPLINFOW, terminating zero included.
#define CPL_NAME_LENGTH 32
#define CPL_INFO_LENGTH 64
#define CPL_HELPFILE_LENGTH 128

// CPL_INQUIRE's record: resource ids of the applet's icon, name and description.
typedef struct CPLINFO {
  int idIcon;
  int idName;
  int idInfo;
  LONG_PTR lData;
} CPLINFO;
typedef CPLINFO *LPCPLINFO;

// CPL_NEWINQUIRE's record.
typedef struct NEWCPLINFOW {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHelpContext;
  LONG_PTR lData;
  HICON hIcon;
  WCHAR szName[CPL_NAME_LENGTH];
  WCHAR szInfo[CPL_INFO_LENGTH];
  WCHAR szHelpFile[CPL_HELPFILE_LENGTH];
} NEWCPLINFOW;
typedef NEWCPLINFOW *LPNEWCPLINFOW;
typedef NEWCPLINFOW NEWCPLINFO;
typedef LPNEWCPLINFOW LPNEWCPLINFO;
CE_STATIC_ASSERT(sizeof(void *) != 4 || sizeof(NEWCPLINFOW) == 468, "the device's record");

// The exported entry point's type; its export name is "CPlApplet".
typedef LONG (*APPLET_PROC)(HWND parent, UINT message, LPARAM lParam1, LPARAM lParam2);

CE_EXTERN_C_END
