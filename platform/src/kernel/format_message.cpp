// FormatMessageW for the platform's own error texts.
#include "kernel/system_error_text.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <algorithm>
#include <string>

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                     void *) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) ||
      (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE))) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char16_t *found = ce::systemErrorText(messageId);
  if (!found) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  const std::u16string text = std::u16string(found) + u"\r\n";
  // Inserts (%1...) can only be left as they are; without FORMAT_MESSAGE_IGNORE_INSERTS there
  // is nothing to fill them from.
  if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && text.find(u'%') != std::u16string::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto length = static_cast<DWORD>(text.size());
  LPWSTR target = buffer;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    // `size` is then the least number of characters to allocate.
    const DWORD units = std::max(size, length + 1);
    target = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, units * sizeof(WCHAR)));
    if (!target)
      return 0;
    *reinterpret_cast<LPWSTR *>(buffer) = target;
  } else if (size < length + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), target);
  target[length] = u'\0';
  return length;
}
