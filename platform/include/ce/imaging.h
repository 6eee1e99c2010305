// The imaging factory: decoders, bitmaps, resampling, encoders (reference-counted interfaces).
//
// Objects are plain C++ classes with AddRef/Release/QueryInterface; there is no component
// registry. A thread calls CoInitializeEx before CoCreateInstance(CLSID_ImagingFactory); the
// factory and every object it hands out may then be used from any thread.
//
// Choices made where the device's behaviour is not known:
// - CreateImageFromFile reads and decodes the whole file at once, so a corrupt, truncated or
//   hostile file fails there (E_FAIL, or E_OUTOFMEMORY beyond 64 Mpixel) and not later.
//   A missing file gives HRESULT_FROM_WIN32 of the file error; an unknown format
//   IMGERR_CODECNOTFOUND.
// - Rectangles given to IImage::Draw, including the source rectangle, are in pixels.
// - Interpolation hints: 0 picks the nearest source pixel; 1, 2 and 4 interpolate bilinearly;
//   3 averages every source pixel that a destination pixel covers (for shrinking).
//   Resampling works on premultiplied colours, so transparent pixels never bleed colour.
// - The PNG encoder writes its file when TerminateEncoder is called after a complete frame;
//   a failed or incomplete encoding leaves an existing file untouched.
// - ImageCodecInfo keeps the device's field order (class id at byte 0, format id at byte 16);
//   on a 64-bit host its pointers make a record 104 bytes instead of 76.
#pragma once

#include <ce/errors.h>
#include <ce/types.h>

// In C only the component functions, the records and the result codes are there; the
// interfaces, the enumerations and the identifiers are C++ (IUnknown and the interfaces are
// opaque types in C).

// ---- Component basics -----------------------------------------------------------------------

typedef struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
typedef const IID &REFIID;
typedef const CLSID &REFCLSID;
typedef const GUID &REFGUID;

constexpr bool operator==(const GUID &a, const GUID &b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i])
      return false;
  return true;
}
inline BOOL IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
#else
typedef const IID *REFIID;
typedef const CLSID *REFCLSID;
typedef const GUID *REFGUID;
#endif

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_ALL 0x17u
#define CO_E_NOTINITIALIZED ((HRESULT)(0x800401F0))
#define REGDB_E_CLASSNOTREG ((HRESULT)(0x80040154))
#define CLASS_E_NOAGGREGATION ((HRESULT)(0x80040110))
#ifndef E_PENDING
#define E_PENDING ((HRESULT)(0x8000000A))
#endif

#ifdef __cplusplus
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void **object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default; // objects are destroyed by Release, never through a base pointer
};
#else
typedef struct IUnknown IUnknown;
#endif

CE_EXTERN_C_BEGIN
// Per-thread initialisation: S_OK the first time on a thread, S_FALSE when already done.
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize(void);
// Only CLSID_ImagingFactory is known; CO_E_NOTINITIALIZED before CoInitializeEx on the thread.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid,
                         LPVOID *object);
LPVOID CoTaskMemAlloc(SIZE_T bytes);
void CoTaskMemFree(LPVOID memory);
CE_EXTERN_C_END

// ---- Result codes ---------------------------------------------------------------------------

#define IMGERR_OBJECTBUSY ((HRESULT)(0x887B0001))
#define IMGERR_NOPALETTE ((HRESULT)(0x887B0002))
#define IMGERR_BADLOCK ((HRESULT)(0x887B0003))
#define IMGERR_BADUNLOCK ((HRESULT)(0x887B0004))
#define IMGERR_NOCONVERSION ((HRESULT)(0x887B0005))
#define IMGERR_CODECNOTFOUND ((HRESULT)(0x887B0006))
#define IMGERR_NOFRAME ((HRESULT)(0x887B0007))
#define IMGERR_ABORT ((HRESULT)(0x887B0008))
#define IMGERR_FAILLOADCODEC ((HRESULT)(0x887B0009))
#define IMGERR_PROPERTYNOTFOUND ((HRESULT)(0x887B000A))
#define IMGERR_PROPERTYNOTSUPPORTED ((HRESULT)(0x887B000B))

#ifdef __cplusplus
// ---- Identifiers ----------------------------------------------------------------------------

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr CLSID CLSID_ImagingFactory = {
    0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImagingFactory = {
    0x327ABDA7, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImage = {
    0x327ABDA9, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IBitmapImage = {
    0x327ABDAA, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageEncoder = {
    0x327ABDAC, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageSink = {
    0x327ABDAD, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// Raw data formats (ImageInfo::RawDataFormat, ImageCodecInfo::FormatID).
inline constexpr GUID ImageFormatUndefined = {
    0xB96B3CA9, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatMemoryBMP = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatBMP = {
    0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatJPEG = {
    0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatPNG = {
    0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatGIF = {
    0xB96B3CB0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatIcon = {
    0xB96B3CB5, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// Class id of the PNG encoder (ImageCodecInfo::Clsid of the installed PNG encoder).
inline constexpr CLSID CLSID_PngEncoder = {
    0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

#endif // __cplusplus

// ---- Pixel formats --------------------------------------------------------------------------

typedef UINT PixelFormatID;
typedef UINT PixelFormat;
typedef DWORD ARGB; // 0xAARRGGBB, stored little-endian as B, G, R, A

#define PixelFormatIndexed 0x00010000u
#define PixelFormatGDI 0x00020000u
#define PixelFormatAlpha 0x00040000u
#define PixelFormatPAlpha 0x00080000u
#define PixelFormatExtended 0x00100000u
#define PixelFormatCanonical 0x00200000u
#define PixelFormatUndefined 0u
#define PixelFormatDontCare 0u
#define PixelFormat1bppIndexed 0x00030101u
#define PixelFormat4bppIndexed 0x00030402u
#define PixelFormat8bppIndexed 0x00030803u
#define PixelFormat16bppRGB555 0x00021005u
#define PixelFormat16bppRGB565 0x00021006u
#define PixelFormat16bppARGB1555 0x00061007u
#define PixelFormat24bppRGB 0x00021808u
#define PixelFormat32bppRGB 0x00022009u
#define PixelFormat32bppARGB 0x0026200Au
#define PixelFormat32bppPARGB 0x000E200Bu
#define GetPixelFormatSize(format) (((format) >> 8) & 0xFFu)
#define IsIndexedPixelFormat(format) (((format)&PixelFormatIndexed) != 0)
#define IsAlphaPixelFormat(format) (((format)&PixelFormatAlpha) != 0)
#define IsCanonicalPixelFormat(format) (((format)&PixelFormatCanonical) != 0)

#define PaletteFlagsHasAlpha 0x0001u
#define PaletteFlagsGrayScale 0x0002u
#define PaletteFlagsHalftone 0x0004u

typedef struct ColorPalette {
  UINT Flags;
  UINT Count;
  ARGB Entries[1]; // Count entries
} ColorPalette;

// ---- Records --------------------------------------------------------------------------------

#ifdef __cplusplus
enum InterpolationHint : UINT {
  InterpolationHintDefault = 0,         // nearest source pixel
  InterpolationHintNearestNeighbor = 1, // bilinear (see the header comment)
  InterpolationHintBilinear = 2,
  InterpolationHintAveraging = 3,
  InterpolationHintBicubic = 4, // bilinear
};

enum ImageLockMode : UINT {
  ImageLockModeRead = 0x0001,
  ImageLockModeWrite = 0x0002,
  ImageLockModeUserInputBuf = 0x0004,
};

enum ImageFlags : UINT {
  ImageFlagsNone = 0,
  ImageFlagsScalable = 0x0001,
  ImageFlagsHasAlpha = 0x0002,
  ImageFlagsHasTranslucent = 0x0004,
  ImageFlagsPartiallyScalable = 0x0008,
  ImageFlagsColorSpaceRGB = 0x0010,
  ImageFlagsColorSpaceGRAY = 0x0040,
  ImageFlagsHasRealDPI = 0x1000,
  ImageFlagsHasRealPixelSize = 0x2000,
  ImageFlagsReadOnly = 0x00010000,
};

enum SinkFlags : UINT {
  SinkFlagsHasAlpha = 0x0002,
  SinkFlagsTopDown = 0x00010000,
  SinkFlagsBottomUp = 0x00020000,
  SinkFlagsFullWidth = 0x00040000,
  SinkFlagsMultipass = 0x00080000,
};

enum BufferDisposalFlag : UINT {
  BufferDisposalFlagNone = 0,
  BufferDisposalFlagGlobalFree = 1,
  BufferDisposalFlagCoTaskMemFree = 2,
  BufferDisposalFlagUnmapView = 3,
};
#endif // __cplusplus

typedef struct ImageInfo {
  GUID RawDataFormat;
  PixelFormatID PixelFormat;
  UINT Width;
  UINT Height;
  UINT TileWidth;
  UINT TileHeight;
  double Xdpi;
  double Ydpi;
  UINT Flags;
} ImageInfo;

// Top-down pixel rows: row y starts at Scan0 + y * Stride (Stride may be negative for buffers
// given to CreateBitmapFromBuffer).
typedef struct BitmapData {
  UINT Width;
  UINT Height;
  LONG Stride;
  PixelFormatID PixelFormat;
  void *Scan0;
  UINT_PTR Reserved;
} BitmapData;

typedef struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR *CodecName;
  const WCHAR *DllName;
  const WCHAR *FormatDescription;
  const WCHAR *FilenameExtension;
  const WCHAR *MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE *SigPattern;
  const BYTE *SigMask;
} ImageCodecInfo;
CE_STATIC_ASSERT(sizeof(void *) != 4 || sizeof(ImageCodecInfo) == 76, "the device's record");

#define ImageCodecFlagsEncoder 0x00000001u
#define ImageCodecFlagsDecoder 0x00000002u
#define ImageCodecFlagsSupportBitmap 0x00000004u
#define ImageCodecFlagsBuiltin 0x00010000u

// ---- Interfaces -----------------------------------------------------------------------------

#ifdef __cplusplus
struct IImageSink;

struct IImage : IUnknown {
  // Size in 0.01 mm, from the pixel size and resolution.
  virtual HRESULT GetPhysicalDimension(SIZE *size) = 0;
  virtual HRESULT GetImageInfo(ImageInfo *info) = 0;
  virtual HRESULT SetImageFlags(UINT flags) = 0;
  // Draws srcRect (null: the whole image) of the image stretched over dstRect of the DC, with the
  // image's own alpha when it has one.
  virtual HRESULT Draw(HDC dc, const RECT *dstRect, const RECT *srcRect) = 0;
  // Begins the sink, hands it all pixels in the format it asks for, and ends it.
  virtual HRESULT PushIntoSink(IImageSink *sink) = 0;
  virtual HRESULT GetThumbnail(UINT width, UINT height, IImage **thumbnail) = 0;

protected:
  ~IImage() = default;
};

struct IBitmapImage : IUnknown {
  virtual HRESULT GetSize(SIZE *size) = 0;
  virtual HRESULT GetPixelFormatID(PixelFormatID *format) = 0;
  // Locks rect (null: all) for ImageLockMode flags, converting to `format` (0: the bitmap's own).
  // One lock at a time (IMGERR_OBJECTBUSY); write locks store their pixels back on UnlockBits.
  virtual HRESULT LockBits(const RECT *rect, UINT flags, PixelFormatID format,
                           BitmapData *lockedData) = 0;
  virtual HRESULT UnlockBits(const BitmapData *lockedData) = 0;
  virtual HRESULT GetPalette(ColorPalette **palette) = 0; // CoTaskMemFree the result
  virtual HRESULT SetPalette(const ColorPalette *palette) = 0;

protected:
  ~IBitmapImage() = default;
};

struct IImageSink : IUnknown {
  // The sink may change info->PixelFormat to the format it wants the pixels in.
  virtual HRESULT BeginSink(ImageInfo *info, RECT *subarea) = 0;
  virtual HRESULT EndSink(HRESULT status) = 0;
  virtual HRESULT SetPalette(const ColorPalette *palette) = 0;
  virtual HRESULT GetPixelDataBuffer(const RECT *rect, PixelFormatID format, BOOL lastPass,
                                     BitmapData *data) = 0;
  virtual HRESULT ReleasePixelDataBuffer(const BitmapData *data) = 0;
  virtual HRESULT PushPixelData(const RECT *rect, const BitmapData *data, BOOL lastPass) = 0;

protected:
  ~IImageSink() = default;
};

struct IImageEncoder : IUnknown {
  virtual HRESULT TerminateEncoder() = 0;
  virtual HRESULT GetEncodeSink(IImageSink **sink) = 0;

protected:
  ~IImageEncoder() = default;
};

struct IImagingFactory : IUnknown {
  virtual HRESULT CreateImageFromFile(const WCHAR *fileName, IImage **image) = 0;
  // Decodes a copy of the bytes; the disposal flag says how to free `buffer` afterwards.
  virtual HRESULT CreateImageFromBuffer(const void *buffer, UINT size, BufferDisposalFlag disposal,
                                        IImage **image) = 0;
  virtual HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format,
                                  IBitmapImage **bitmap) = 0;
  // Width or height 0 keeps the image's own; format 0 keeps the image's own.
  virtual HRESULT CreateBitmapFromImage(IImage *image, UINT width, UINT height,
                                        PixelFormatID format, InterpolationHint hints,
                                        IBitmapImage **bitmap) = 0;
  // Wraps the caller's pixels without copying; they must outlive the bitmap.
  virtual HRESULT CreateBitmapFromBuffer(BitmapData *data, IBitmapImage **bitmap) = 0;
  // Arrays in one CoTaskMemAlloc block that the caller frees with CoTaskMemFree.
  virtual HRESULT GetInstalledDecoders(UINT *count, ImageCodecInfo **decoders) = 0;
  virtual HRESULT GetInstalledEncoders(UINT *count, ImageCodecInfo **encoders) = 0;
  virtual HRESULT CreateImageEncoderToFile(const CLSID *clsid, const WCHAR *fileName,
                                           IImageEncoder **encoder) = 0;

protected:
  ~IImagingFactory() = default;
};
#else
typedef struct IImage IImage;
typedef struct IBitmapImage IBitmapImage;
typedef struct IImageSink IImageSink;
typedef struct IImageEncoder IImageEncoder;
typedef struct IImagingFactory IImagingFactory;
#endif // __cplusplus
