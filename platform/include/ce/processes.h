// Processes of the device: starting programs, their handles, their paths, and enumerating them.
//
// ShellExecuteEx opens a device file with the verb "open" (a null verb means the same): an
// executable (an ELF program in fs/) is started with lpParameters as its command line; a shortcut
// (.lnk, the device's text "N#target arguments", the target possibly in double quotes) starts its
// target with the shortcut's arguments followed by lpParameters; a control-panel applet (.cpl) is
// opened by "\Windows\ctlpnl.exe" with the applet's path as its command line. A file name without
// a leading '\' is looked for at the root, then in \Windows. A missing file fails with
// ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND when its folder is missing), another kind of file
// with ERROR_BAD_FORMAT, and any failure sets hInstApp to a value of 32 or less. Starting needs a
// running host for the device (ERROR_BROKEN_PIPE otherwise).
//
// The record: on the device it is 60 bytes, and callers fill cbSize with 60. On a 64-bit host our
// record is larger (its pointers are 8 bytes); cbSize may be 60 or sizeof(SHELLEXECUTEINFO), any
// other value fails with ERROR_INVALID_PARAMETER. With SEE_MASK_NOCLOSEPROCESS hProcess receives a
// handle to the new process (close it with CloseHandle).
//
// Process handles (OpenProcess, hProcess) can be waited on with WaitForSingleObject (signalled
// when the process ends), passed to GetExitCodeProcess (STILL_ACTIVE while it runs),
// TerminateProcess and GetModuleFileNameW. Only device processes can be opened; the host's own
// process cannot be terminated (ERROR_ACCESS_DENIED). A process that ended by a signal without
// TerminateProcess has the exit code 128 + the signal number.
//
// GetModuleFileNameW: a null module gives the program's own device path
// ("\Program Files\Vireta\Vireta.exe"; a program outside fs/ gets its host path); a process handle
// gives that process's; a module of this process (a loaded library) its device path. The result
// is truncated to the buffer (with its terminating zero) and then the function returns the
// buffer's size with ERROR_INSUFFICIENT_BUFFER.
//
// Toolhelp: CreateToolhelp32Snapshot with TH32CS_SNAPPROCESS lists the device's processes;
// szExeFile holds the executable's file name ("Vireta.exe"). The entry's dwSize must be at least
// sizeof(PROCESSENTRY32W). The end of the list is ERROR_NO_MORE_FILES.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_FLAG_NO_UI 0x00000400u

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

typedef struct SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
} SHELLEXECUTEINFO;
typedef SHELLEXECUTEINFO *LPSHELLEXECUTEINFO;
typedef SHELLEXECUTEINFO SHELLEXECUTEINFOW;
// The size of the record on the device.
#define SHELLEXECUTEINFO_DEVICE_SIZE 60u

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info);
static inline BOOL ShellExecuteExW(LPSHELLEXECUTEINFO info) { return ShellExecuteEx(info); }

#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define SYNCHRONIZE 0x00100000u
#define PROCESS_ALL_ACCESS 0x001F0FFFu

HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// The id of the process a process handle names; 0 with ERROR_INVALID_HANDLE for any other value.
DWORD GetProcessId(HANDLE process);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

#define TH32CS_SNAPPROCESS 0x00000002u

typedef struct PROCESSENTRY32W {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];
  DWORD th32MemoryBase;
  DWORD th32AccessKey;
} PROCESSENTRY32W;
typedef PROCESSENTRY32W PROCESSENTRY32;
typedef PROCESSENTRY32W *LPPROCESSENTRY32W;

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL CloseToolhelp32Snapshot(HANDLE snapshot);
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);
static inline BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32W entry) {
  return Process32FirstW(snapshot, entry);
}
static inline BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32W entry) {
  return Process32NextW(snapshot, entry);
}

CE_EXTERN_C_END
