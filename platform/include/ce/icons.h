// Icons: HICON objects, drawing, and extraction from .ico files, PE resources and sidecars.
//
// An HICON holds a colour bitmap and a 1 bpp mask (1 = transparent), or a 32-bit colour bitmap
// with per-pixel alpha (its mask then marks the fully transparent pixels). Choices made where
// the device's behaviour is not known:
// - Handles are never reused; a destroyed or made-up HICON fails with ERROR_INVALID_HANDLE.
// - GetIconInfo returns new bitmaps that the caller deletes: a 1 bpp mask, and a 32-bit DIB
//   section (alpha icons, alpha not premultiplied) or a 24-bit one (mask icons).
// - DrawIconEx with size 0 draws at the icon's own size (DI_DEFAULTSIZE included). DI_MASK
//   copies the mask, DI_IMAGE copies the colour bitmap, DI_NORMAL combines them (AND then XOR),
//   or blends alpha icons with their per-pixel alpha. A flicker-free brush fills an off-screen
//   copy of the cell first and the cell is then copied in one piece.
// - ExtractIconExW reads .ico files (BMP and PNG entries), the icon groups of PE files (PE32 and
//   PE32+; positions count every icon group in resource order, a negative index names a group
//   by its resource id), and, for our ELF programs, the icon file "<file>.ico" beside them.
//   Of each icon it picks the entry closest to the large size (SM_CXICON: 32 pixels at 96 dots
//   per inch, scaled with the device's dpi) and to the small size (half of it), ties going to
//   the larger entry and then to more colours; the icon keeps that entry's own size. It returns
//   the number of icons extracted (0 on failure, with the last error set), or with index -1 and
//   both outputs null the number of icons the file holds.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

typedef struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
} ICONINFO;
typedef ICONINFO *PICONINFO;

#define DI_MASK 0x0001u
#define DI_IMAGE 0x0002u
#define DI_NORMAL 0x0003u
#define DI_COMPAT 0x0004u
#define DI_DEFAULTSIZE 0x0008u

// Resource types of icons in PE files.
#define RT_ICON_ID 3
#define RT_GROUP_ICON_ID 14

// Copies the caller's bitmaps (which stay the caller's). hbmMask is required; without
// hbmColor the mask is twice as tall: the AND rows above the XOR rows.
HICON CreateIconIndirect(PICONINFO iconInfo);
BOOL GetIconInfo(HICON icon, PICONINFO iconInfo);
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH flickerFreeBrush, UINT flags);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
BOOL DestroyIcon(HICON icon);
UINT ExtractIconExW(LPCWSTR file, int index, HICON *largeIcons, HICON *smallIcons, UINT icons);

CE_EXTERN_C_END
