// DirectDraw: the display object, the primary surface over the shared screen, off-screen
// surfaces and overlays shown above the screen.
//
// Choices made where the device's behaviour is not known or not safe:
// - The screen is one 16-bit 5-6-5 framebuffer. The primary surface is that framebuffer; its DC
//   (GetDC) covers the whole screen without clipping to any window, so the last writer wins.
//   After the device rotates, the primary's next GetDC, Lock or GetSurfaceDesc sees the new size.
// - DDSURFACEDESC is 108 bytes on every host: the field that follows dwAlphaBitDepth holds the
//   surface pointer (8 bytes on a 64-bit host, where it takes the place of dwReserved), so
//   every other field keeps its offset. dwSize must be sizeof(DDSURFACEDESC).
// - SetCooperativeLevel accepts DDSCL_NORMAL (0, the device's normal level; the value 8 that
//   other platforms give it is taken as normal too), or DDSCL_FULLSCREEN with DDSCL_EXCLUSIVE; any
//   other level fails with DDERR_INVALIDPARAMS. It must come before CreateSurface
//   (DDERR_NOCOOPERATIVELEVELSET). One primary surface exists per
//   display object at a time (DDERR_PRIMARYSURFACEALREADYEXISTS).
// - Off-screen surfaces (DDSCAPS_OFFSCREENPLAIN, or no caps with height and width) are 16-bit
//   5-6-5 unless DDSD_PIXELFORMAT asks for 24 (B,G,R) or 32 bits (B,G,R,A). Overlay surfaces
//   (DDSCAPS_OVERLAY) are 16-bit 5-6-5, or 32-bit B,G,R,A with premultiplied alpha. Sides are
//   1 .. 4096 pixels; new surfaces are zero-filled.
// - An overlay starts hidden. UpdateOverlay places the whole source rectangle (NULL: the whole
//   surface) onto the destination rectangle of the primary (stretching with the nearest pixel
//   when the sizes differ); parts outside the screen are not shown. DDOVER_SHOW shows it,
//   DDOVER_HIDE hides it, neither keeps the visibility. DDOVER_KEYSRC makes pixels within the
//   surface's source overlay colour key (SetColorKey DDCKEY_SRCOVERLAY) transparent;
//   DDOVER_KEYSRCOVERRIDE takes the key from the DDOVERLAYFX. Destination keys are not
//   supported (DDERR_UNSUPPORTED). Overlays created later lie above earlier ones.
// - Blt supports DDBLT_COLORFILL (dwFillColor is a pixel value of the destination's format) and
//   copies from another surface (stretched when the rectangles differ, converting formats);
//   colour-keyed blits are not supported (DDERR_UNSUPPORTED).
// - A surface with its DC out or locked cannot give a second DC or lock (DDERR_DCALREADYCREATED,
//   DDERR_SURFACEBUSY); ReleaseDC takes only the DC it gave.
// - A display object needs a screen: without one (no device host reachable),
//   DirectDrawCreate fails with DDERR_GENERIC.
#pragma once

#include <ce/errors.h>
#include <ce/imaging.h>
#include <ce/types.h>

// ---- Result codes ---------------------------------------------------------------------------

#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u + (code)))
#define DD_OK S_OK
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_INCOMPATIBLEPRIMARY MAKE_DDHRESULT(95)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOALPHAHW MAKE_DDHRESULT(180)
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(260)
#define DDERR_NOSTRETCHHW MAKE_DDHRESULT(310)
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_NOBLTHW MAKE_DDHRESULT(575)
#define DDERR_OVERLAYNOTVISIBLE MAKE_DDHRESULT(577)
#define DDERR_NOTAOVERLAYSURFACE MAKE_DDHRESULT(580)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)

// ---- Records --------------------------------------------------------------------------------

typedef struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue; // inclusive range of pixel values
} DDCOLORKEY;
typedef DDCOLORKEY *LPDDCOLORKEY;

typedef struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
} DDPIXELFORMAT;
typedef DDPIXELFORMAT *LPDDPIXELFORMAT;

typedef struct DDSCAPS {
  DWORD dwCaps;
} DDSCAPS;
typedef DDSCAPS *LPDDSCAPS;

#pragma pack(push, 4)
typedef struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwRefreshRate;
  DWORD dwAlphaBitDepth;
  LPVOID lpSurface;
#if UINTPTR_MAX == 0xFFFFFFFFu
  DWORD dwReserved;
#endif
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
} DDSURFACEDESC;
#pragma pack(pop)
typedef DDSURFACEDESC *LPDDSURFACEDESC;
CE_STATIC_ASSERT(sizeof(DDSURFACEDESC) == 108, "the toolkit fills a 108-byte description");

typedef struct DDBLTFX {
  DWORD dwSize;
  DWORD dwROP;
  DWORD dwFillColor;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
} DDBLTFX;
typedef DDBLTFX *LPDDBLTFX;
CE_STATIC_ASSERT(sizeof(DDBLTFX) == 28, "the device's record");

typedef struct DDOVERLAYFX {
  DWORD dwSize;
  DWORD dwAlphaConstBitDepth;
  DWORD dwAlphaConst;
  DDCOLORKEY dckDestColorkey;
  DDCOLORKEY dckSrcColorkey;
} DDOVERLAYFX;
typedef DDOVERLAYFX *LPDDOVERLAYFX;

// ---- Flags ----------------------------------------------------------------------------------

#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKDESTOVERLAY 0x00002000u
#define DDSD_CKDESTBLT 0x00004000u
#define DDSD_CKSRCOVERLAY 0x00008000u
#define DDSD_CKSRCBLT 0x00010000u

#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_OVERLAY 0x00000080u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_VIDEOMEMORY 0x00004000u

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_RGB 0x00000040u
#define DDPF_ALPHAPREMULT 0x00008000u

#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_NORMAL 0x00000000u
#define DDSCL_EXCLUSIVE 0x00000010u

#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_KEYDEST 0x00002000u
#define DDBLT_KEYDESTOVERRIDE 0x00004000u
#define DDBLT_KEYSRC 0x00008000u
#define DDBLT_KEYSRCOVERRIDE 0x00010000u
#define DDBLT_WAIT 0x01000000u

#define DDCKEY_COLORSPACE 0x00000001u
#define DDCKEY_DESTBLT 0x00000002u
#define DDCKEY_DESTOVERLAY 0x00000004u
#define DDCKEY_SRCBLT 0x00000008u
#define DDCKEY_SRCOVERLAY 0x00000010u

#define DDOVER_HIDE 0x00000200u
#define DDOVER_KEYDEST 0x00000400u
#define DDOVER_KEYDESTOVERRIDE 0x00000800u
#define DDOVER_KEYSRC 0x00001000u
#define DDOVER_KEYSRCOVERRIDE 0x00002000u
#define DDOVER_SHOW 0x00004000u

#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u

// ---- Interfaces (C++; opaque types in C) -------------------------------------------------------

#ifdef __cplusplus
struct IDirectDrawSurface;
typedef IDirectDrawSurface *LPDIRECTDRAWSURFACE;

struct IDirectDrawSurface : IUnknown {
  // A DC drawing into the surface (for the primary: the whole screen, unclipped).
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  // destRect / sourceRect NULL mean the whole surface. flags: DDBLT_COLORFILL, DDBLT_WAIT.
  virtual HRESULT Blt(LPRECT destRect, IDirectDrawSurface* source, LPRECT sourceRect, DWORD flags,
                      LPDDBLTFX effects) = 0;
  // Fills dwFlags, dwWidth, dwHeight, lPitch, ddpfPixelFormat and ddsCaps.
  virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
  // rect NULL locks the whole surface; desc receives the description and lpSurface (the
  // rectangle's top-left pixel).
  virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Unlock(LPRECT rect) = 0;
  virtual HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  // Overlays only (DDERR_NOTAOVERLAYSURFACE otherwise). `dest` must be the primary surface.
  virtual HRESULT UpdateOverlay(LPRECT sourceRect, IDirectDrawSurface* dest, LPRECT destRect,
                                DWORD flags, LPDDOVERLAYFX effects) = 0;
  // Moves a placed overlay's destination rectangle so that its top-left is (x, y).
  virtual HRESULT SetOverlayPosition(LONG x, LONG y) = 0;
  virtual HRESULT GetOverlayPosition(LONG* x, LONG* y) = 0;

protected:
  ~IDirectDrawSurface() = default;
};

struct IDirectDraw : IUnknown {
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                IUnknown* outer) = 0;
  // The screen's current size and format (16-bit 5-6-5).
  virtual HRESULT GetDisplayMode(LPDDSURFACEDESC desc) = 0;

protected:
  ~IDirectDraw() = default;
};
typedef IDirectDraw *LPDIRECTDRAW;
#else
typedef struct IDirectDrawSurface IDirectDrawSurface;
typedef IDirectDrawSurface *LPDIRECTDRAWSURFACE;
typedef struct IDirectDraw IDirectDraw;
typedef IDirectDraw *LPDIRECTDRAW;
#endif

CE_EXTERN_C_BEGIN
// guid must be NULL (the one display); outer must be NULL.
HRESULT DirectDrawCreate(GUID* guid, LPDIRECTDRAW* directDraw, IUnknown* outer);
CE_EXTERN_C_END
