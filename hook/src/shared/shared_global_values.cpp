#include <hook/shared_global_values.h>

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/mappings.h>

#include <utility>

namespace {

HANDLE createMapping(DWORD size) {
  return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                            GlobalValuesMapName);
}

} // namespace

SharedGlobalValues::SharedGlobalValues(SharedGlobalValues &&other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      record_(std::exchange(other.record_, nullptr)), existed_(other.existed_),
      failure_(other.failure_), error_(other.error_) {}

SharedGlobalValues &SharedGlobalValues::operator=(SharedGlobalValues &&other) noexcept {
  if (this != &other) {
    release();
    mapping_ = std::exchange(other.mapping_, nullptr);
    record_ = std::exchange(other.record_, nullptr);
    existed_ = other.existed_;
    failure_ = other.failure_;
    error_ = other.error_;
  }
  return *this;
}

SharedGlobalValues SharedGlobalValues::createOrOpen() {
  SharedGlobalValues shared;
  shared.mapping_ = createMapping(GlobalValuesSize);
  if (!shared.mapping_) {
    shared.failure_ = Failure::Create;
    shared.error_ = GetLastError();
    return shared;
  }
  shared.existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
  shared.record_ = static_cast<GlobalValues *>(
      MapViewOfFile(shared.mapping_, FILE_MAP_WRITE, 0, 0, GlobalValuesSize));
  if (!shared.record_) {
    shared.failure_ = Failure::Map;
    shared.error_ = GetLastError();
    CloseHandle(shared.mapping_);
    shared.mapping_ = nullptr;
  }
  return shared;
}

SharedGlobalValues SharedGlobalValues::openExisting() {
  SharedGlobalValues shared = createOrOpen();
  if (shared.record_ && !shared.existed_)
    shared.release(); // a block made just now holds nothing; it goes with our handle
  return shared;
}

bool SharedGlobalValues::serviceLoaded() {
  const HANDLE mapping = createMapping(32);
  if (!mapping)
    return false;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  CloseHandle(mapping);
  return existed;
}

void SharedGlobalValues::release() {
  if (record_)
    UnmapViewOfFile(record_);
  record_ = nullptr;
  if (mapping_)
    CloseHandle(mapping_);
  mapping_ = nullptr;
}
