// File mappings: private ones in this process, named ones through the device host.
#include "file_mapping.h"
#include "host_connection.h"

#include "../protocol/named_object_messages.h"

#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/mappings.h>

#include <map>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace ce {

void FileMapping::onHandleClosed() {
  if (hostId_ == 0)
    return;
  HostConnection::instance().notify(protocol::CloseMappingNotice{hostId_});
}

namespace {

constexpr std::uint64_t kMaxSize = 256ull * 1024 * 1024;
constexpr std::uint64_t kGranularity = 64 * 1024;

struct View {
  std::size_t length;
  std::shared_ptr<FileMapping> mapping; // keeps the memory's descriptor while mapped
};

struct ViewTable {
  std::mutex mutex;
  std::map<std::uintptr_t, View> views;
};

ViewTable &views() {
  static auto *table = new ViewTable;
  return *table;
}

} // namespace
} // namespace ce

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, LPCWSTR name) {
  using namespace ce;
  if (file != INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
  if (size == 0 || size > kMaxSize || (protect != PAGE_READWRITE && protect != PAGE_READONLY)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!name || !*name) {
    protocol::UniqueFd memory(::memfd_create("ce-mapping", MFD_CLOEXEC));
    if (!memory || ::ftruncate(memory.get(), static_cast<off_t>(size)) != 0) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    HANDLE handle =
        HandleTable::instance().add(std::make_shared<FileMapping>(std::move(memory), size, 0));
    SetLastError(ERROR_SUCCESS);
    return handle;
  }
  const std::u16string text(name);
  if (text.size() > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  auto opened = HostConnection::instance().request(protocol::CreateMappingRequest{text, size});
  if (!opened)
    return nullptr;
  HANDLE handle = HandleTable::instance().add(
      std::make_shared<FileMapping>(opened->memory.take(), opened->size, opened->id));
  SetLastError(opened->existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

LPVOID MapViewOfFile(HANDLE handle, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  using namespace ce;
  auto mapping = HandleTable::instance().getAs<FileMapping>(handle);
  if (!mapping) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
  if (offset % kGranularity != 0 || offset >= mapping->size() || bytes > mapping->size() - offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::size_t length = bytes ? bytes : static_cast<std::size_t>(mapping->size() - offset);
  int protection = PROT_READ;
  if (access & FILE_MAP_WRITE) // FILE_MAP_ALL_ACCESS includes it
    protection |= PROT_WRITE;
  void *base = ::mmap(nullptr, length, protection, MAP_SHARED, mapping->descriptor(),
                      static_cast<off_t>(offset));
  if (base == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto &table = views();
  std::lock_guard lock(table.mutex);
  table.views[reinterpret_cast<std::uintptr_t>(base)] = View{length, std::move(mapping)};
  return base;
}

BOOL UnmapViewOfFile(LPCVOID base) {
  using namespace ce;
  auto &table = views();
  View view;
  {
    std::lock_guard lock(table.mutex);
    auto it = table.views.find(reinterpret_cast<std::uintptr_t>(base));
    if (it == table.views.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    view = std::move(it->second);
    table.views.erase(it);
  }
  ::munmap(const_cast<void *>(base), view.length);
  return TRUE;
}
