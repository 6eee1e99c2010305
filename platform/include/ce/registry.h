// The device registry: one SQLite database per device (<device root>/registry.db), shared by
// every process of the device. Each call is one transaction; a committed change survives the
// death of any process.
//
// Behaviour where the device's own is unknown or unsound, chosen here:
// - Handles. The predefined roots stand for the registry of the current device root at each
//   call; closing one succeeds and does nothing. Any other handle keeps working on the database
//   it was opened on, also after the process switches to another device root. A handle to a key
//   that was deleted (by any process, also when a key of the same path was created again) fails
//   every call with ERROR_KEY_DELETED; only RegCloseKey succeeds on it. An unknown or closed
//   handle gives ERROR_INVALID_HANDLE. Handle values are not reused soon after closing.
// - Device root. A root that is not set, or whose folder does not exist, gives
//   ERROR_PATH_NOT_FOUND; the registry never creates the root folder. A root without registry.db
//   gets a new, empty registry on first use. A registry.db that is not a registry gives
//   ERROR_BADDB and is left untouched.
// - Paths. Components are separated by "\", and a run of backslashes counts as one: "a\\b" is
//   "a\b". Callers join key paths from parts that each may bring a backslash (the start-menu
//   tree "Security\Shell\StartInfo\Start\" + a relative path that may begin with "\"), and
//   the joined path names the key they meant rather than failing or making a key with an empty
//   name (no key has one). Backslashes at either end are ignored. A null or empty subkey, or one
//   of backslashes only, means the key itself (RegOpenKeyExW, RegCreateKeyExW with ""). A
//   component longer than 255 characters gives ERROR_BADKEY. Key and value names compare
//   without regard to case and keep the case they were created with.
// - Reads. A process keeps what it read and reuses it only while the database shows no commit
//   since, so a read always sees every change committed before it began, by any process. Every
//   commit is announced in a small file beside the database (registry.db-changes, created with
//   the database's permissions), which tells each process in one memory read whether it may
//   reuse what it kept. A write fails (ERROR_ACCESS_DENIED, ERROR_TOO_MANY_OPEN_FILES, ...) when
//   that file cannot be created or mapped, since other processes could then miss its commit;
//   reads do without it.
// - Access rights, options, class, security attributes and reserved arguments are ignored: every
//   handle may read and write, as on the device. All keys are non-volatile.
// - Null pointers where a result must go give ERROR_INVALID_PARAMETER (RegCreateKeyExW also
//   refuses a null subkey; use "" for the key itself).
// - Enumeration lists subkeys and values in creation order; overwriting a value keeps its place.
//   Name lengths are in characters without the terminating zero. When a name does not fit, the
//   result is ERROR_MORE_DATA and the length is set to the name's length (the buffer needs one
//   more character); when data does not fit, ERROR_MORE_DATA and *dataSize is the size needed.
// - RegDeleteKeyW deletes the key with all its descendants. A subkey that names no key ("" or
//   "\") gives ERROR_INVALID_PARAMETER rather than deleting the key the handle stands for.
// - Values hold the bytes given, whatever their type: a REG_SZ written without its terminating
//   zero is read back without it.
// - When other processes keep the database locked for more than 30 seconds the call fails with
//   ERROR_BUSY and changes nothing. RegFlushKey syncs every committed change to storage (commits
//   alone are safe against a crashed process, not against a power cut).
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define HKEY_CLASSES_ROOT (((HKEY)(((ULONG_PTR)(0x80000000u)))))
#define HKEY_CURRENT_USER (((HKEY)(((ULONG_PTR)(0x80000001u)))))
#define HKEY_LOCAL_MACHINE (((HKEY)(((ULONG_PTR)(0x80000002u)))))
#define HKEY_USERS (((HKEY)(((ULONG_PTR)(0x80000003u)))))

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u

#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u
#define REG_OPTION_NON_VOLATILE 0u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classLength, LPFILETIME lastWrite);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                   LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                      LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                      LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptor, LPFILETIME lastWrite);
LONG RegFlushKey(HKEY key);

CE_EXTERN_C_END
