// GDI: device contexts, bitmaps, raster operations, brushes, regions, fonts and text.
//
// Names, signatures, structure layouts and constant values are the platform's. Where the
// platform's behaviour is unknown or unsafe, this implementation chooses as documented here:
//
// Handles. DCs and GDI objects share one handle table, separate from kernel HANDLEs. A stale,
// random or wrong-kind handle fails (FALSE / NULL / 0 / CLR_INVALID, with ERROR_INVALID_HANDLE);
// handle values are never reused. Stock objects are never deleted (DeleteObject returns TRUE).
// A bitmap selected into a DC cannot be deleted (FALSE, ERROR_BUSY) nor selected into a
// second DC (NULL, ERROR_BUSY). A font or brush selected into a DC can be deleted; the DC keeps
// using its own copy until something else is selected.
//
// Sizes. Width and height of a bitmap must be 1..16384 and its pixel memory at most 256 MiB;
// anything else fails with ERROR_INVALID_PARAMETER (ERROR_NOT_ENOUGH_MEMORY when memory runs
// out). New bitmaps are zero-filled.
//
// Pixel formats. 1 bit (monochrome, or a 2-colour DIB palette), 4 and 8 bits (DIB sections with
// a palette), 16 bits 5-6-5 (CreateBitmap, CreateCompatibleBitmap — like the display — and DIB
// sections with BI_BITFIELDS masks F800/07E0/001F), 16 bits 5-5-5 (DIB sections with BI_RGB or
// masks 7C00/03E0/001F), 24 bits B,G,R and 32 bits B,G,R,A. Widening repeats the top bits
// (5-bit v -> (v<<3)|(v>>2), 6-bit v -> (v<<2)|(v>>4)); narrowing truncates; so a colour read
// from a pixel and written back gives the same pixel. COLORREF values ignore their high byte.
// Writing into a paletted bitmap picks the nearest palette entry.
//
// Bitmaps as sources of AlphaBlend and TransparentBlt use their own colours (a monochrome
// bitmap is black and white there).
//
// The alpha byte of 32-bit targets. Copies from a 32-bit source (SRCCOPY, StretchBlt) keep the
// source's alpha; anything else that sets a pixel completely (copies from sources without alpha,
// FillRect, PATCOPY, BLACKNESS, WHITENESS, SetPixel, opaque text backgrounds) writes alpha 255,
// so that a 32-bit surface filled or drawn with GDI is opaque for a later per-pixel AlphaBlend.
// Raster operations that combine with the destination (SRCAND, SRCPAINT, SRCINVERT, ...) act on
// the colour channels only and keep the destination's alpha. Blends (AlphaBlend, antialiased
// text) compute the alpha channel as premultiplied "source over": a glyph pixel of coverage c
// gives alpha c + a·(255 − c)/255, so text drawn onto a transparent 32-bit surface is a correct
// premultiplied picture of the text.
//
// Raster operations. Every ternary raster code is supported, with the DC's brush as pattern.
// Sources are converted to the destination's format first; monochrome sources map 0 bits to
// the destination DC's text colour and 1 bits to its background colour; colour sources written
// into monochrome targets give 1 where the pixel equals the source DC's background colour.
// Source and destination may be the same bitmap and may overlap: the result is that of copying
// the source rectangle first (a move). Source pixels outside the source bitmap leave the
// destination unchanged. StretchBlt and AlphaBlend scale with nearest-neighbour sampling at
// pixel centres; in StretchBlt a negative width or height (of source or destination) mirrors
// that axis, the rectangle then reaching from x + width to x. BitBlt with a zero or negative
// size draws nothing and succeeds; AlphaBlend and TransparentBlt refuse negative sizes
// (ERROR_INVALID_PARAMETER). Coordinates are limited to +-2^27.
//
// AlphaBlend. With AlphaFormat 0 every channel becomes (s·A + d·(255 − A)) / 255, rounded, for
// the constant alpha A; the source's own alpha byte is ignored (treated as 255). With
// AC_SRC_ALPHA the source must be 32 bits, premultiplied: s' = s·A/255 and a' = a·A/255
// (rounded) and every channel becomes s' + d·(255 − a')/255 (rounded, at most 255). 16-bit
// destinations are widened, blended and truncated.
//
// Clipping. Drawing is clipped to the target, to the DC's visible region (window DCs; see
// <ce/core/framebuffer_dc.h>) and to the clip region set with SelectClipRgn, IntersectClipRect
// and ExcludeClipRect. Clip regions are given in logical coordinates.
//
// Fonts. CreateFontIndirectW always succeeds for a valid LOGFONTW: the face is resolved when
// the font is first used, in this order: a font file \Windows\*.ttf (or one added with
// AddFontResourceW) whose family name, full name or file name equals the face name (ignoring
// case), then the host's fonts through fontconfig (family name), then a sans face. GetTextFaceW
// tells which family was found. lfHeight < 0 is the character (em) height in pixels, > 0 the
// cell height (ascent + descent), 0 the default of 9 points at the device's dots per inch;
// characters are at most 1024 pixels high. lfWidth > 0 stretches to that average width;
// escapement and orientation are ignored (text is horizontal).
// Weights of 600 and more draw bold (synthesised when the face is not bold); italic is
// synthesised when the face is upright. NONANTIALIASED_QUALITY draws with coverage 0 or 255;
// every other quality, ClearType ones included, draws with grey antialiasing. Characters the
// face lacks are taken from the sans face. Surrogate pairs are one character; a lone surrogate
// draws as U+FFFD. Advances are whole pixels; there is no kerning.
//
// Text. DrawTextW lays out lines at '\n', "\r\n" and '\r' (unless DT_SINGLELINE, where they are
// invisible); DT_WORDBREAK breaks at spaces and drops the spaces at a break, a word wider than
// the rectangle is not broken; DT_VCENTER and DT_BOTTOM apply to DT_SINGLELINE only.
// DT_END_ELLIPSIS ends with "..." every line too wide for the rectangle and, with
// DT_WORDBREAK, the last line that fits the rectangle's height when more text follows.
// DT_CALCRECT keeps left and top and sets right and bottom to the text's extent; an empty
// text is one empty line. Without DT_NOPREFIX, "&x" draws x underlined and "&&" draws "&".
// The line height is tmHeight (+ tmExternalLeading with DT_EXTERNALLEADING). The return value is
// the text's height, or with DT_VCENTER / DT_BOTTOM the offset from the rectangle's top to the
// text's bottom.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

// ---------------------------------------------------------------------------------------------
// Structures

#define LF_FACESIZE 32

typedef struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP;
typedef BITMAP *PBITMAP;
typedef BITMAP *LPBITMAP;

typedef struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;
typedef BITMAPINFOHEADER *PBITMAPINFOHEADER;
typedef BITMAPINFOHEADER *LPBITMAPINFOHEADER;

typedef struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO;
typedef BITMAPINFO *PBITMAPINFO;
typedef BITMAPINFO *LPBITMAPINFO;

#pragma pack(push, 2)
typedef struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
} DIBSECTION;
typedef DIBSECTION *PDIBSECTION;
typedef DIBSECTION *LPDIBSECTION;

typedef struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
} BLENDFUNCTION;
typedef BLENDFUNCTION *PBLENDFUNCTION;

typedef struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
} LOGBRUSH;
typedef LOGBRUSH *LPLOGBRUSH;

typedef struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW;
typedef LOGFONTW *PLOGFONTW;
typedef LOGFONTW *LPLOGFONTW;
typedef LOGFONTW LOGFONT;

typedef struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
} TEXTMETRICW;
typedef TEXTMETRICW *PTEXTMETRICW;
typedef TEXTMETRICW *LPTEXTMETRICW;
typedef TEXTMETRICW TEXTMETRIC;

// ---------------------------------------------------------------------------------------------
// Constants

#define CLR_INVALID 0xFFFFFFFFu
#define GDI_ERROR 0xFFFFFFFFu
#define HGDI_ERROR (((HGDIOBJ)(((LONG_PTR)(-1)))))

// Bitmap compression and colour table usage.
#define BI_RGB 0u
#define BI_RLE8 1u
#define BI_RLE4 2u
#define BI_BITFIELDS 3u
#define BI_JPEG 4u
#define BI_PNG 5u
#define BI_ALPHABITFIELDS 6u
#define DIB_RGB_COLORS 0u
#define DIB_PAL_COLORS 1u

// Ternary raster operations.
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define SRCERASE 0x00440328u
#define NOTSRCCOPY 0x00330008u
#define NOTSRCERASE 0x001100A6u
#define MERGECOPY 0x00C000CAu
#define MERGEPAINT 0x00BB0226u
#define PATCOPY 0x00F00021u
#define PATPAINT 0x00FB0A09u
#define PATINVERT 0x005A0049u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// AlphaBlend.
#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Object types (GetObjectType, GetCurrentObject).
#define OBJ_PEN 1u
#define OBJ_BRUSH 2u
#define OBJ_DC 3u
#define OBJ_METADC 4u
#define OBJ_PAL 5u
#define OBJ_FONT 6u
#define OBJ_BITMAP 7u
#define OBJ_REGION 8u
#define OBJ_METAFILE 9u
#define OBJ_MEMDC 10u

// Brush styles.
#define BS_SOLID 0u
#define BS_NULL 1u
#define BS_HOLLOW BS_NULL

// Device capabilities.
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMBRUSHES 16
#define NUMPENS 18
#define NUMFONTS 22
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define DT_RASDISPLAY 1
#define RC_BITBLT 0x0001
#define RC_BITMAP64 0x0008
#define RC_DI_BITMAP 0x0080
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800

// Region results and combination modes.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

// Text alignment (ExtTextOutW).
#define TA_NOUPDATECP 0u
#define TA_UPDATECP 1u
#define TA_LEFT 0u
#define TA_RIGHT 2u
#define TA_CENTER 6u
#define TA_TOP 0u
#define TA_BOTTOM 8u
#define TA_BASELINE 24u

// ExtTextOutW options.
#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u

// DrawTextW format flags.
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_TABSTOP 0x00000080u
#define DT_NOCLIP 0x00000100u
#define DT_EXTERNALLEADING 0x00000200u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_INTERNAL 0x00001000u
#define DT_EDITCONTROL 0x00002000u
#define DT_PATH_ELLIPSIS 0x00004000u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_MODIFYSTRING 0x00010000u
#define DT_RTLREADING 0x00020000u
#define DT_WORD_ELLIPSIS 0x00040000u
#define DT_HIDEPREFIX 0x00100000u
#define DT_PREFIXONLY 0x00200000u

// LOGFONTW fields.
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_REGULAR 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define EASTEUROPE_CHARSET 238
#define RUSSIAN_CHARSET 204
#define GREEK_CHARSET 161
#define TURKISH_CHARSET 162
#define BALTIC_CHARSET 186
#define OEM_CHARSET 255
#define OUT_DEFAULT_PRECIS 0
#define OUT_STRING_PRECIS 1
#define OUT_CHARACTER_PRECIS 2
#define OUT_STROKE_PRECIS 3
#define OUT_TT_PRECIS 4
#define OUT_DEVICE_PRECIS 5
#define OUT_RASTER_PRECIS 6
#define OUT_TT_ONLY_PRECIS 7
#define OUT_OUTLINE_PRECIS 8
#define CLIP_DEFAULT_PRECIS 0
#define CLIP_CHARACTER_PRECIS 1
#define CLIP_STROKE_PRECIS 2
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define CLEARTYPE_COMPAT_QUALITY 6
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04
#define TMPF_DEVICE 0x08

// ---------------------------------------------------------------------------------------------
// Device contexts and objects

// A memory DC. `reference` may be NULL (the display) or any DC. The DC starts with a 1x1
// monochrome stock bitmap, the white brush and the system font selected, black text on an
// opaque white background.
HDC CreateCompatibleDC(HDC reference);
// Deletes a DC made by CreateCompatibleDC; what it had selected becomes free again.
BOOL DeleteDC(HDC dc);

// A 16-bit 5-6-5 bitmap, the display's format, whatever DC is given (NULL included).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// planes must be 1; bitsPerPixel 1, 16 (5-6-5), 24 or 32. `bits`, when given, holds rows of
// the platform's bitmap layout: top-down, each row padded to an even number of bytes.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// Bits per pixel 1, 4, 8 (palette from bmiColors, biClrUsed entries or all), 16, 24 or 32;
// a negative biHeight is top-down. `bits` receives the pixel memory (rows padded to 4 bytes),
// valid until the bitmap is deleted. `dc` is used only with DIB_PAL_COLORS, which is not
// supported (ERROR_INVALID_PARAMETER); `section` must be NULL.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int object);

// Selects a bitmap, brush, font or region (a copy of the region becomes the clip region, and
// the result is the region type cast to HGDIOBJ). Returns the previous object of that kind, or
// NULL on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Fills BITMAP or DIBSECTION (bitmaps; DIBSECTION only for DIB sections and when `size` allows),
// LOGFONTW (fonts) or LOGBRUSH (brushes). With a null buffer, returns the size needed.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
DWORD GetObjectType(HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT objectType);
// Answers for the display, from the device profile: BITSPIXEL 16, HORZRES and VERTRES the
// screen size, LOGPIXELSX and LOGPIXELSY its dots per inch.
int GetDeviceCaps(HDC dc, int index);

// Pixels in logical coordinates; CLR_INVALID outside the target or its clip region.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);

// Copies rows `start` .. `start + lines` (counted from the bottom for a bottom-up request) of a
// bitmap into `bits` in the format `info` asks for (1, 4, 8 with the colour table filled in,
// 16, 24, 32; BI_RGB or BI_BITFIELDS). With null `bits`, fills in info's header (size, bit
// count, image size) for the bitmap and returns its height. Returns the number of rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
              UINT usage);
// Copies rows from `bits` (described by `info`) into a bitmap that is not selected in a DC
// other than `dc`; returns the number of rows copied.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);

// ---------------------------------------------------------------------------------------------
// Raster operations

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION blend);
// Copies the source except the pixels equal to `transparent` (compared in the source's format).
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, UINT transparent);
// Returns nonzero on success. A NULL_BRUSH fills nothing and succeeds.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---------------------------------------------------------------------------------------------
// Regions and clipping

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// dest = source1 (op) source2; dest may be one of the sources. Returns the region type or ERROR.
int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
int GetRgnBox(HRGN region, LPRECT rect);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);

// NULL region removes the DC's clip region.
int SelectClipRgn(HDC dc, HRGN region);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// The bounding box of what can be drawn (target, visible region and clip region).
int GetClipBox(HDC dc, LPRECT rect);
// Copies the DC's clip region into `region`: 1 when there is one, 0 when there is none, -1 on
// failure.
int GetClipRgn(HDC dc, HRGN region);

// ---------------------------------------------------------------------------------------------
// Fonts and text

HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName);
// Makes a font file (a device path, or a host path when no device file matches) available to
// font matching; returns the number of faces added (0 on failure). RemoveFontResourceW undoes
// one AddFontResourceW.
int AddFontResourceW(LPCWSTR fileName);
BOOL RemoveFontResourceW(LPCWSTR fileName);
// The family name of the face the DC's font resolved to; returns the characters copied (with
// the terminating zero), or with a null buffer the length needed.
int GetTextFaceW(HDC dc, int count, LPWSTR faceName);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);
// `count` < 0 is not allowed (ERROR_INVALID_PARAMETER); cy is tmHeight.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size);
// How many characters fit in `maxExtent` (when `fit` is given) and the extent after each one.
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* extents,
                           LPSIZE size);
// `count` -1 means zero-terminated. Returns the height drawn (see the notes above), 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
// One line at (x, y) aligned by SetTextAlign; `advances` (optional) gives each character's
// advance in pixels (for a surrogate pair, the first unit's entry counts).
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* advances);

CE_EXTERN_C_END
