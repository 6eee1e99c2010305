// Basic platform types, as the device's code sees them.
//
// The platform API has C linkage, as on the device: every public header declares its functions
// inside CE_EXTERN_C_BEGIN / CE_EXTERN_C_END (which also export them, <ce/export.h>) and compiles as C11 as well as C++ (a program
// written in C includes <ce/windows.h> and links against the platform; a program may look a
// function up by its plain name with GetProcAddress). What only C++ can express (COM interfaces,
// operators) sits outside the C part of a header, behind __cplusplus.
#pragma once

#include <ce/export.h>

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
#define CE_EXTERN_C_BEGIN extern "C" { CE_EXPORT_BEGIN
#define CE_EXTERN_C_END CE_EXPORT_END }
#define CE_STATIC_ASSERT(condition, message) static_assert(condition, message)
#define CE_NORETURN [[noreturn]]
#else
#include <stddef.h>
#include <stdint.h>
#include <uchar.h>
#define CE_EXTERN_C_BEGIN CE_EXPORT_BEGIN
#define CE_EXTERN_C_END CE_EXPORT_END
#define CE_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#define CE_NORETURN _Noreturn
#endif

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef char16_t WCHAR;
typedef char16_t TCHAR;
typedef WORD LANGID;
typedef DWORD LCID;
typedef WORD ATOM;
typedef DWORD COLORREF;
typedef int32_t HRESULT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD REGSAM;

typedef void *PVOID;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef DWORD *PDWORD;
typedef LONG *LPLONG;
typedef BOOL *LPBOOL;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef WCHAR *LPTSTR;
typedef const WCHAR *LPCTSTR;

typedef void *HANDLE;
typedef HANDLE *PHANDLE;
typedef HANDLE *LPHANDLE;

#define CE_DECLARE_HANDLE(name)                                                                    \
  typedef struct name##__ {                                                                        \
    int unused;                                                                                    \
  } * name
CE_DECLARE_HANDLE(HKEY);
CE_DECLARE_HANDLE(HWND);
CE_DECLARE_HANDLE(HINSTANCE);
CE_DECLARE_HANDLE(HDC);
CE_DECLARE_HANDLE(HMENU);
CE_DECLARE_HANDLE(HICON);
CE_DECLARE_HANDLE(HCURSOR);
CE_DECLARE_HANDLE(HBRUSH);
CE_DECLARE_HANDLE(HFONT);
CE_DECLARE_HANDLE(HBITMAP);
CE_DECLARE_HANDLE(HPEN);
CE_DECLARE_HANDLE(HRGN);
CE_DECLARE_HANDLE(HGDIOBJ_);
#undef CE_DECLARE_HANDLE
typedef void *HGDIOBJ;
typedef HINSTANCE HMODULE;
typedef void *HLOCAL;
typedef HKEY *PHKEY;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (((HANDLE)(((LONG_PTR)(-1)))))

#define MAKEWORD(a, b) ((WORD)((((BYTE)(a))) | (((WORD)(((BYTE)(b)))) << 8)))
#define MAKELONG(a, b) ((LONG)((((WORD)(a))) | (((DWORD)(((WORD)(b)))) << 16)))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define RGB(r, g, b)                                                                               \
  ((COLORREF)(((BYTE)(r)) | (((WORD)((BYTE)(g))) << 8) | (((DWORD)((BYTE)(b))) << 16)))
#define GetRValue(rgb) LOBYTE(rgb)
#define GetGValue(rgb) LOBYTE(((WORD)(rgb)) >> 8)
#define GetBValue(rgb) LOBYTE((rgb) >> 16)

typedef struct POINT {
  LONG x;
  LONG y;
} POINT;
typedef POINT *LPPOINT;

typedef struct SIZE {
  LONG cx;
  LONG cy;
} SIZE;
typedef SIZE *LPSIZE;

typedef struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT;
typedef RECT *LPRECT;
typedef const RECT *LPCRECT;

typedef struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME;
typedef FILETIME *LPFILETIME;

typedef struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

#define WINAPI
#define CALLBACK
#define APIENTRY
