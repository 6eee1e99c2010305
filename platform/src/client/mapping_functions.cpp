// File mappings: private ones in this process, named ones through the device host.
#include "file_mapping.h"
#include "host_connection.h"

#include "../protocol/message_reader.h"

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
  protocol::MessageWriter payload;
  payload.u32(hostId_);
  HostConnection::instance().notify(protocol::MessageType::CloseMapping, payload);
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
  protocol::MessageWriter payload;
  payload.string(text).u64(size);
  HostConnection::Reply reply;
  if (!HostConnection::instance().call(protocol::MessageType::CreateMapping, payload, reply))
    return nullptr;
  if (reply.status != ERROR_SUCCESS) {
    SetLastError(reply.status);
    return nullptr;
  }
  protocol::MessageReader reader(reply.message.payload);
  std::uint32_t id = 0, existed = 0;
  std::uint64_t actual = 0;
  if (!reader.u32(id) || !reader.u32(existed) || !reader.u64(actual) ||
      reply.message.descriptors.size() != 1) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  HANDLE handle = HandleTable::instance().add(
      std::make_shared<FileMapping>(std::move(reply.message.descriptors[0]), actual, id));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
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
