// Device libraries: loading, entry points and unloading.
//
// A device library (.dll, .cpl) is an ELF shared object inside the device's fs/, built for the
// host's machine. LoadLibraryW resolves the name as a device path (<ce/core/device_path.h>); a
// bare file name without any separator ("Brevin.dll") is looked for in \Windows, then in the
// folder of the calling program (when the program itself lies inside fs/). A name whose last
// component has no extension gets ".dll".
//
// Behaviour where the device leaves room, chosen here:
// - The file is checked before the host loader sees it: a missing file, a folder or a file that
//   is not ELF at all gives ERROR_MOD_NOT_FOUND; an ELF file that is not a shared object for this
//   machine, is truncated, or that the host loader refuses gives ERROR_BAD_FORMAT. A hostile file
//   never crashes the caller before its own code runs.
// - Every library is loaded with all its symbols bound at once and kept private to its module.
//   The same file (by identity, whatever name or link leads to it) loaded again returns the same
//   HMODULE and counts one more reference; DllMain is not called again.
// - DllMain (exported as the C name "DllMain", optional) gets DLL_PROCESS_ATTACH after the first
//   load and DLL_PROCESS_DETACH before the last FreeLibrary unloads the module.
// - Unloading never unmaps the library's code: after the last FreeLibrary (and so after
//   DeregisterService, or when the control panel lets an applet go) the module leaves the table
//   and its handle is refused, but its image stays mapped until the process ends, because a
//   thread it started, a window procedure it installed or a callback it handed out may still run
//   its code, and the loader cannot prove that none does. Loading the file again later (or a new
//   file at the same path) makes a new module on a fresh image, loaded from a private copy of
//   the file as it is then: fresh static data, DllMain's DLL_PROCESS_ATTACH again. A FALSE answer
//   to the attach unloads the library and fails with ERROR_DLL_INIT_FAILED; so does an exception
//   leaving DllMain. Thread attach and detach notifications are not sent, and libraries still
//   loaded when the process ends get no detach call (their process's resources go with it).
// - Loading, unloading and the DllMain calls are serialised by one process-wide lock that the
//   loading thread may take again: DllMain may load and free other libraries, but must not wait
//   for another thread that loads or frees one.
// - HMODULE values are unique within the process and never reused, so a stale handle is refused
//   (ERROR_INVALID_HANDLE) rather than reaching a library loaded later.
// - GetProcAddressW finds only names the module itself defines, never those of libraries it
//   depends on; ordinals are not supported (ERROR_PROC_NOT_FOUND).
// - The device's system libraries "coredll.dll" and "aygshell.dll" (by file name, or as
//   \Windows\coredll.dll) are the platform library itself: GetModuleHandleW and LoadLibraryW
//   give their module at once (FreeLibrary on it does nothing), GetProcAddress finds every
//   platform function there by its plain name, as device programs look up optional calls, and
//   GetModuleFileNameW gives their device paths.
// - GetModuleHandleW(NULL) answers the program's own module, which is never unloaded;
//   FreeLibrary on it succeeds and does nothing. With a name, it finds a loaded library by its
//   full device path or by its file name, without regard to case, and adds no reference.
#pragma once

#include <ce/errors.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

#ifndef ERROR_DLL_INIT_FAILED
#define ERROR_DLL_INIT_FAILED 1114L
#endif

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

typedef INT_PTR (*FARPROC)();
// The optional entry point every device library may export as "DllMain".
typedef BOOL (*DLLMAIN_FUNCTION)(HINSTANCE module, DWORD reason, LPVOID reserved);

HMODULE LoadLibraryW(LPCWSTR fileName);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
// The same lookup with a narrow (ASCII) name, as "GetProcAddress(module, \"ShowWindow\")".
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
static inline FARPROC GetProcAddressA(HMODULE module, LPCSTR procName) {
  return GetProcAddress(module, procName);
}
HMODULE GetModuleHandleW(LPCWSTR moduleName);

CE_EXTERN_C_END
