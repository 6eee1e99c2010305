// Kernel basics: threads, events, critical sections, waits, time, handles, error texts.
//
// Threads: CreateThread starts a detached host thread; its handle is signalled when it ends, and
// closing the handle never stops it. Thread ids are the host's thread ids, unique across the
// device while the thread lives. CREATE_SUSPENDED is refused with ERROR_NOT_SUPPORTED (the
// platform has no ResumeThread); the stack size only ever enlarges the host's default stack.
// Priorities are recorded per thread (THREAD_PRIORITY_TIME_CRITICAL to THREAD_PRIORITY_IDLE)
// without changing host scheduling. GetCurrentThread and GetCurrentProcess return pseudo handles
// that every thread function accepts; they need no closing (CloseHandle refuses them harmlessly).
//
// Events: a name makes the event device-wide when a host runs for the device (same name, same
// event, in every process, and ERROR_ALREADY_EXISTS; its state lives in memory shared by the
// processes holding it, so waits and sets work across processes); without a running host a named
// event is shared within this process only. Names longer than MAX_PATH fail with
// ERROR_FILENAME_EXCED_RANGE.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#define THREAD_PRIORITY_TIME_CRITICAL 0
#define THREAD_PRIORITY_HIGHEST 1
#define THREAD_PRIORITY_ABOVE_NORMAL 2
#define THREAD_PRIORITY_NORMAL 3
#define THREAD_PRIORITY_BELOW_NORMAL 4
#define THREAD_PRIORITY_LOWEST 5
#define THREAD_PRIORITY_ABOVE_IDLE 6
#define THREAD_PRIORITY_IDLE 7

#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF
#define STILL_ACTIVE 259u

#define CREATE_SUSPENDED 0x00000004u

#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);

BOOL CloseHandle(HANDLE handle);

HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, DWORD stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
HANDLE GetCurrentThread(void);
DWORD GetCurrentThreadId(void);
HANDLE GetCurrentProcess(void);
DWORD GetCurrentProcessId(void);
CE_NORETURN void ExitThread(DWORD exitCode);

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                    LPCWSTR name);
BOOL EventModify(HANDLE event, DWORD function);
static inline BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
static inline BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }
static inline BOOL PulseEvent(HANDLE event) { return EventModify(event, EVENT_PULSE); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Critical sections are recursive, as on the device. The record holds a pointer to the
// platform's lock; InitializeCriticalSection creates it and DeleteCriticalSection frees it. A
// zero-filled record works without initialisation (the lock is created on first entry), and
// LeaveCriticalSection by a thread that does not own the section does nothing.
typedef struct CRITICAL_SECTION {
  void *lock;
  DWORD ownerThread;
  DWORD recursionCount;
} CRITICAL_SECTION;
typedef CRITICAL_SECTION *LPCRITICAL_SECTION;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

void Sleep(DWORD milliseconds);
DWORD GetTickCount(void);

// Error texts.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((WORD)((((WORD)(s)) << 10) | ((WORD)(p))))
#define PRIMARYLANGID(lgid) ((WORD)(((WORD)(lgid)) & 0x3ff))
#define SUBLANGID(lgid) ((WORD)(((WORD)(lgid)) >> 10))
// With FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` is really an LPWSTR* that receives a LocalAlloc
// block, as on the device. Only FORMAT_MESSAGE_FROM_SYSTEM is supported (other sources fail with
// ERROR_NOT_SUPPORTED): the platform's English text for the code, ending in "\r\n", whatever the
// language asked for; HRESULTs of the form 0x8007xxxx give the text of error xxxx. An unknown
// code fails with ERROR_MR_MID_NOT_FOUND. The result counts characters without the terminator.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, void *arguments);
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
// LocalAlloc gives fixed blocks. LocalFree returns null on success; a pointer that is not a live
// LocalAlloc block is returned unchanged with ERROR_INVALID_HANDLE and nothing is freed.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

// Both answer the language of the device profile.
LANGID GetSystemDefaultLangID(void);
LANGID GetUserDefaultLangID(void);

CE_EXTERN_C_END
