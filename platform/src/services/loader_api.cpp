// LoadLibraryW and its companions over the process's library table.
#include "files/path_argument.h"
#include "services/library_loader.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/loader.h>

#include <cstring>
#include <string>

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  HMODULE module = ce::LibraryLoader::instance().load(ce::pathArgument(fileName), &error);
  if (!module)
    SetLastError(error);
  return module;
}

BOOL FreeLibrary(HMODULE module) {
  DWORD error = ERROR_SUCCESS;
  if (!ce::LibraryLoader::instance().free(module, &error)) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  // A value below 64 Ki is an ordinal, as on the device; device libraries export names only.
  if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
    SetLastError(procName ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Export names are short; a missing terminator reads no further than this.
  constexpr std::size_t longestName = 1024;
  std::u16string_view name(procName, 0);
  while (name.size() <= longestName && procName[name.size()] != 0)
    name = std::u16string_view(procName, name.size() + 1);
  DWORD error = ERROR_SUCCESS;
  void *address = name.size() > longestName
                      ? nullptr
                      : ce::LibraryLoader::instance().procAddress(module, ce::toUtf8(name), &error);
  if (!address) {
    SetLastError(name.size() > longestName ? ERROR_PROC_NOT_FOUND : error);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
    SetLastError(procName ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  constexpr std::size_t longestName = 1024;
  const std::size_t length = ::strnlen(procName, longestName + 1);
  DWORD error = ERROR_SUCCESS;
  void *address = length > longestName ? nullptr
                                       : ce::LibraryLoader::instance().procAddress(
                                             module, std::string_view(procName, length), &error);
  if (!address) {
    SetLastError(length > longestName ? ERROR_PROC_NOT_FOUND : error);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  if (!moduleName)
    return ce::LibraryLoader::programModule();
  HMODULE module = ce::LibraryLoader::instance().find(ce::pathArgument(moduleName));
  if (!module)
    SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}
