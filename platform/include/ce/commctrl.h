// Common controls: the tool bar buttons of the soft-key bars.
//
// TBBUTTONINFOW.cbSize: the record is 48 bytes here (64-bit pointers) and 32 bytes on the
// device (32-bit pointers). Callers written for the device put 32 in cbSize; both 32 and
// sizeof(TBBUTTONINFOW) are accepted, and either way the fields are read from this structure's
// own layout, since the caller was compiled against it. Any other cbSize is refused. The record
// crosses into another process with SendMessageW (the text when TBIF_TEXT is set); the receiver
// sees cbSize = sizeof(TBBUTTONINFOW).
#pragma once

#include <ce/messages.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define TB_SETBUTTONINFO (WM_USER + 64) // wParam = command id, lParam = TBBUTTONINFOW*

#define TBIF_IMAGE 0x00000001u
#define TBIF_TEXT 0x00000002u
#define TBIF_STATE 0x00000004u
#define TBIF_STYLE 0x00000008u
#define TBIF_LPARAM 0x00000010u
#define TBIF_COMMAND 0x00000020u
#define TBIF_SIZE 0x00000040u

typedef struct TBBUTTONINFOW {
  UINT cbSize;
  DWORD dwMask;
  int idCommand;
  int iImage;
  BYTE fsState;
  BYTE fsStyle;
  WORD cx;
  DWORD_PTR lParam;
  LPWSTR pszText;
  int cchText;
} TBBUTTONINFOW;
typedef TBBUTTONINFOW *LPTBBUTTONINFOW;
typedef TBBUTTONINFOW TBBUTTONINFO;
typedef TBBUTTONINFOW *LPTBBUTTONINFO;

// The record's size on the device, which callers may put in cbSize.
#define TBBUTTONINFO_DEVICE_SIZE 32u

CE_EXTERN_C_END
