// Memory shared between processes: file mappings backed by memory ("paging-file backed").
//
// CreateFileMappingW takes INVALID_HANDLE_VALUE as its file (a real file fails with
// ERROR_NOT_SUPPORTED). Without a name the mapping is private to the process. With a name it is
// device-wide, held by the device host: creating a name that exists opens the existing mapping
// and sets ERROR_ALREADY_EXISTS (the size asked for is then ignored: the existing size stays and a
// smaller request is fine); a new one clears the last error. The mapping disappears with the last
// handle in the device, the handles of processes that ended included; views mapped before stay
// readable and writable until unmapped. A named mapping needs a running host for the device
// (ERROR_BROKEN_PIPE otherwise). Sizes run from 1 byte to 256 MiB.
//
// MapViewOfFile maps `bytes` (0: the rest of the mapping) from an offset that is a multiple of
// the allocation granularity (64 KiB); FILE_MAP_WRITE or FILE_MAP_ALL_ACCESS map it writable,
// FILE_MAP_READ read-only. UnmapViewOfFile takes the address MapViewOfFile returned.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define FILE_MAP_COPY 0x0001u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID baseAddress);

CE_EXTERN_C_END
