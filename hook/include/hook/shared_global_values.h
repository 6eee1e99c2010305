// A process's handle and view of the shared record "globalValuesMapVireta".
//
// How each program opens it:
// - the service library creates or opens it at load and keeps a writable view until unload
//   (createOrOpen);
// - the options program opens it only when it already exists, to write `hookWinKey` or to show
//   it (openExisting: no view, and the handle closed, when the block was new);
// - the menu program only asks whether it exists (serviceLoaded), without mapping it.
#pragma once

#include <hook/global_values.h>

#include <ce/types.h>

class SharedGlobalValues {
public:
  SharedGlobalValues() = default;
  ~SharedGlobalValues() { release(); }
  SharedGlobalValues(SharedGlobalValues &&other) noexcept;
  SharedGlobalValues &operator=(SharedGlobalValues &&other) noexcept;
  SharedGlobalValues(const SharedGlobalValues &) = delete;
  SharedGlobalValues &operator=(const SharedGlobalValues &) = delete;

  enum class Failure { None, Create, Map };

  // Creates or opens the block (588 bytes) and maps it for writing.
  static SharedGlobalValues createOrOpen();
  // Maps the block only when it already exists; otherwise the result holds no view.
  static SharedGlobalValues openExisting();
  // Whether the block exists, that is whether the service is loaded somewhere on the device.
  // Opens it with a size of 32 bytes and closes the handle at once.
  static bool serviceLoaded();

  GlobalValues *record() const { return record_; }
  explicit operator bool() const { return record_ != nullptr; }
  // The block was there before this process opened it.
  bool existed() const { return existed_; }
  Failure failure() const { return failure_; }
  DWORD error() const { return error_; }

  // Unmaps the view and closes the handle.
  void release();

private:
  HANDLE mapping_ = nullptr;
  GlobalValues *record_ = nullptr;
  bool existed_ = false;
  Failure failure_ = Failure::None;
  DWORD error_ = 0;
};
