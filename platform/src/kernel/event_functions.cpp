// Event functions.
#include "kernel/event.h"

#include "client/host_connection.h"
#include "client/shared_event.h"
#include "protocol/named_object_messages.h"

#include <ce/core/device_root.h>

#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/kernel.h>

namespace {

// A named event of the device, held by the host. Null with *reached false when no host runs for
// the device (the caller then makes a process-wide event); null with the last error set when the
// host refused.
HANDLE createDeviceEvent(const std::u16string &name, bool manualReset, bool initialState,
                         bool *reached) {
  *reached = false;
  if (ce::DeviceRoot::path().empty())
    return nullptr;
  auto opened = ce::HostConnection::instance().request(
      ce::protocol::CreateEventRequest{name, manualReset != FALSE, initialState != FALSE});
  const DWORD error = GetLastError();
  *reached = opened || (error != ERROR_BROKEN_PIPE && error != ERROR_TIMEOUT);
  if (!opened)
    return nullptr;
  auto event = std::make_shared<ce::SharedEvent>(opened->memory.get(), opened->id);
  if (!event->valid()) {
    event->onHandleClosed();
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE handle = ce::HandleTable::instance().add(std::move(event));
  SetLastError(opened->existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

} // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  std::shared_ptr<ce::Event> event;
  bool existed = false;
  if (name && *name) {
    const std::u16string text(name);
    if (text.size() > MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return nullptr;
    }
    bool reached = false;
    HANDLE shared = createDeviceEvent(text, manualReset != FALSE, initialState != FALSE, &reached);
    if (shared || reached)
      return shared;
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
  if (auto shared = ce::HandleTable::instance().getAs<ce::SharedEvent>(handle)) {
    switch (function) {
    case EVENT_SET:
      shared->set();
      return TRUE;
    case EVENT_RESET:
      shared->reset();
      return TRUE;
    case EVENT_PULSE:
      shared->pulse();
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
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
