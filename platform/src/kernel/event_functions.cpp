// Event functions.
#include "kernel/event.h"

#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/kernel.h>

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  std::shared_ptr<ce::Event> event;
  bool existed = false;
  if (name && *name) {
    const std::u16string text(name);
    if (text.size() > MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return nullptr;
    }
    event = ce::Event::openOrCreate(text, manualReset != FALSE, initialState != FALSE, &existed);
  } else {
    event = std::make_shared<ce::Event>(manualReset != FALSE, initialState != FALSE);
  }
  HANDLE handle = ce::HandleTable::instance().add(std::move(event));
  // Callers tell a new object from an existing one by the last error, so success clears it.
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL EventModify(HANDLE handle, DWORD function) {
  auto event = ce::HandleTable::instance().getAs<ce::Event>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  switch (function) {
  case EVENT_SET:
    event->set();
    return TRUE;
  case EVENT_RESET:
    event->reset();
    return TRUE;
  case EVENT_PULSE:
    event->pulse();
    return TRUE;
  default:
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
}
