// Objects behind kernel HANDLEs (files, threads, events, find searches, ...).
#pragma once

#include <ce/export.h>

#include <ce/types.h>

CE_EXPORT_BEGIN

namespace ce {

class KernelObject {
public:
  virtual ~KernelObject() = default;
  // Waits until the object is signalled; WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED. Objects that
  // cannot be waited on keep this default, which fails with ERROR_INVALID_HANDLE.
  virtual DWORD wait(DWORD milliseconds);
  // Called when CloseHandle releases the handle (the object may live on in other references).
  virtual void onHandleClosed() {}
};

} // namespace ce
CE_EXPORT_END
