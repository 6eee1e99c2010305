// The device file system: device paths (\Windows\...) resolved inside the device root's fs/.
//
// Paths resolve as <ce/core/device_path.h> describes: '\' or '/', no current directory,
// components matched without regard to case, nothing outside fs/ (ERROR_ACCESS_DENIED).
//
// Behaviour worth knowing where the device leaves room:
// - Share modes are enforced between the open handles of this process (CreateFileW, CopyFileW,
//   DeleteFileW, MoveFileW, SHFileOperationW and the device streams all honour them). Opens by
//   other processes of the device are not seen; the device host arbitrates those.
// - A file whose host mode lacks the owner's write bit is read-only: opening it for writing,
//   truncating, deleting or copying over it fails with ERROR_ACCESS_DENIED, even for a host
//   user who could write it. FILE_ATTRIBUTE_READONLY in CreateFileW's flags makes a new file
//   read-only once created (the creating handle may still write).
// - Only regular files and folders are device files; other host entries (FIFOs, sockets,
//   devices) cannot be opened (ERROR_ACCESS_DENIED).
// - A symbolic link inside fs/ acts as what it points to, except that DeleteFileW, MoveFileW
//   and SHFileOperationW act on the link itself; RemoveDirectoryW refuses a link
//   (ERROR_DIRECTORY).
// - Nothing is ever replaced by accident: MoveFileW never overwrites (ERROR_ALREADY_EXISTS,
//   checked atomically), and CopyFileW writes a temporary file beside the destination and puts
//   it in place in one step, so a failed copy leaves the old destination whole. Copying over a
//   file that is open refuses with ERROR_SHARING_VIOLATION, since its handles would keep the old
//   bytes.
// - Overlapped I/O is not supported: a non-null `overlapped` fails with
//   ERROR_INVALID_PARAMETER.
#pragma once

#include <ce/errors.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

// Codes of this area that other areas do not use.
#ifndef ERROR_NOT_SAME_DEVICE
#define ERROR_NOT_SAME_DEVICE 17L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

typedef struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW *LPWIN32_FIND_DATAW;

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD creationDisposition, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL FlushFileBuffers(HANDLE file);
BOOL SetEndOfFile(HANDLE file);
BOOL DeleteFileW(LPCWSTR fileName);
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR pathName);
// INVALID_FILE_ATTRIBUTES (ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND) when missing; else
// FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_ARCHIVE for files (the attribute the
// device gives every file it writes), plus FILE_ATTRIBUTE_READONLY when the host mode lacks the
// owner's write bit.
DWORD GetFileAttributesW(LPCWSTR fileName);
// A search lists the folder once, at FindFirstFileW, sorted without regard to case; changes made
// while it runs do not show. A link that leads outside fs/ (or nowhere) is listed with its own
// attributes, never its target's. Host names that are not valid UTF-8, or longer than a
// record holds, are not listed, as the device cannot name them.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);

// Special folders.
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_STARTUP 0x0007
#define CSIDL_STARTMENU 0x000b
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_FLAG_CREATE 0x8000
// Writes the folder's device path (no trailing backslash) into `path`, a MAX_PATH buffer. With
// `create` (or CSIDL_FLAG_CREATE in `folder`) the folder and its parents are made as needed;
// without it the path is returned whether or not the folder exists. CSIDL_PERSONAL (0x05) gives
// "\My Documents". Unknown ids fail with ERROR_INVALID_PARAMETER.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

// Shell file operations: only FO_DELETE is provided.
#define FO_MOVE 0x0001u
#define FO_COPY 0x0002u
#define FO_DELETE 0x0003u
#define FO_RENAME 0x0004u
#define FOF_SILENT 0x0004u
#define FOF_NOCONFIRMATION 0x0010u
#define FOF_ALLOWUNDO 0x0040u
#define FOF_NOERRORUI 0x0400u

typedef struct SHFILEOPSTRUCTW {
  HWND hwnd;
  UINT wFunc;
  LPCWSTR pFrom; // double-zero-terminated list of paths
  LPCWSTR pTo;
  WORD fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCWSTR lpszProgressTitle;
} SHFILEOPSTRUCTW;
typedef SHFILEOPSTRUCTW *LPSHFILEOPSTRUCTW;
// FO_DELETE removes every path of the double-zero-terminated pFrom list with everything below
// it, silently, whatever fFlags say (nothing is ever asked or shown). A last component with '*'
// or '?' removes every match. Links are removed, never followed. Read-only files are removed
// too; files open without FILE_SHARE_DELETE stay (and so does their folder). The root "\" is
// never removed. Every path is tried; the result is 0, or the Win32 code of the first failure
// (ERROR_FILE_NOT_FOUND for a path that was not there). Other operations return
// ERROR_NOT_SUPPORTED.
int SHFileOperationW(LPSHFILEOPSTRUCTW operation);

CE_EXTERN_C_END
