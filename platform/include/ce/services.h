// The services host: device libraries loaded as services and named "<PREFIX><index>:".
//
// A service is a device library (<ce/loader.h>) that exports "<PREFIX>_Init" and, optionally,
// "<PREFIX>_Deinit", with the prefix exactly as registered:
//   DWORD <PREFIX>_Init(DWORD context);   // 0 refuses; any other value is the instance value
//   BOOL <PREFIX>_Deinit(DWORD instance); // gets what _Init returned; its answer is not used
// Other exports (_Open, _IOControl, ...) are the service's own business; the host calls none.
//
// Registration key HKEY_LOCAL_MACHINE\Services\<name>, read by ActivateService and at boot:
//   Dll     REG_SZ    library, as LoadLibraryW takes it ("Brevin.dll", "\Windows\Brevin.dll")
//   Prefix  REG_SZ    three letters or digits
//   Index   REG_DWORD 0 to 9, default 0
//   Context REG_DWORD passed to _Init, default 0
//   Flags   REG_DWORD DEVFLAGS_NOLOAD keeps the service from loading at boot; default 0
//   Order   REG_DWORD boot loads services by rising Order (a missing Order comes last), equal
//                     orders in the keys' creation order
// Strings may be stored with or without a terminating zero. Other values (DisplayName, Keep)
// are the registering program's own; a service always stays loaded until it is deregistered.
//
// Where services run: on a booted device, in the device host, shared by every process: a service
// registered by one process is found, used and deregistered by any other, and stays loaded when
// the registering process ends. The host loads the services of HKEY_LOCAL_MACHINE\Services at
// boot (their _Init may call these functions too) and deregisters every service, the last loaded
// first, at shutdown. Only when no device host runs for the device root does a process keep
// services of its own, loaded into itself and seen by no other process.
//
// Results, where the device leaves room:
// - RegisterService and ActivateService return a new handle, or NULL with the reason in
//   GetLastError: ERROR_INVALID_PARAMETER for a bad prefix, index or null argument;
//   ERROR_DEVICE_IN_USE (2404) when a service of that name is loaded or being loaded;
//   LoadLibraryW's codes for the library; ERROR_PROC_NOT_FOUND when it lacks <PREFIX>_Init;
//   ERROR_DLL_INIT_FAILED when _Init answers 0 (the library is unloaded again).
//   ActivateService also fails with ERROR_FILE_NOT_FOUND when the key is missing and
//   ERROR_INVALID_DATA when its values do not describe a service (no Dll or Prefix, a number of
//   the wrong type). Its client information is reserved and not used.
// - GetServiceHandle("SMC0:", NULL, NULL) returns a new handle to the loaded service of that
//   name (the colon may be left out; case does not matter), or INVALID_HANDLE_VALUE with
//   ERROR_SERVICE_DOES_NOT_EXIST. With a buffer it also copies the Dll name as registered, zero
//   terminated; *dllNameSize is in bytes, and a buffer too small fails with
//   ERROR_INSUFFICIENT_BUFFER, *dllNameSize set to the size needed and no handle made.
// - Service handles are kernel handles of the calling process: CloseHandle releases one
//   without touching the service. DeregisterService calls _Deinit and unloads the library (its code
//   stays mapped while the host runs, for threads of it that may still run: <ce/loader.h>); a
//   handle to a service that is gone fails with ERROR_INVALID_HANDLE. Each service gets an
//   identity of its own that is never reused while the host runs, so an old handle never
//   reaches a service loaded later under the same name.
// - _Init and _Deinit run without any lock of the host held: they may start threads and call
//   the services host themselves.
#pragma once

#include <ce/errors.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define DEVFLAGS_NONE 0x00000000u
#define DEVFLAGS_LOADLIBRARY 0x00000002u // accepted; every service library is loaded in full
#define DEVFLAGS_NOLOAD 0x00000004u      // not loaded at boot; ActivateService still loads it

typedef DWORD (*SERVICE_INIT_FUNCTION)(DWORD context);
typedef BOOL (*SERVICE_DEINIT_FUNCTION)(DWORD instance);

HANDLE RegisterService(LPCWSTR prefix, DWORD index, LPCWSTR dllName, DWORD context);
HANDLE ActivateService(LPCWSTR keyName, DWORD clientInfo);
BOOL DeregisterService(HANDLE service);
HANDLE GetServiceHandle(LPWSTR prefix, LPWSTR dllName, LPDWORD dllNameSize);

CE_EXTERN_C_END
