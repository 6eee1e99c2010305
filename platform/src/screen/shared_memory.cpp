#include "shared_memory.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce {
namespace {

constexpr std::size_t kMaximumSize = std::size_t{1} << 30;

void fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
}

std::byte* mapShared(int fd, std::size_t size) {
  void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return address == MAP_FAILED ? nullptr : static_cast<std::byte*>(address);
}

} // namespace

std::unique_ptr<SharedMemory> SharedMemory::create(std::size_t size, const char* name,
                                                   std::string* error) {
  if (size == 0 || size > kMaximumSize) {
    if (error) *error = "shared memory size out of range";
    return nullptr;
  }
  const int fd = ::memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) {
    fail(error, "memfd_create");
    return nullptr;
  }
  // The size never changes once handed out: a peer that shrank it would make our mapping fault.
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0 ||
      ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
    fail(error, "sizing shared memory");
    ::close(fd);
    return nullptr;
  }
  std::byte* data = mapShared(fd, size);
  if (!data) {
    fail(error, "mmap");
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SharedMemory>(new SharedMemory(fd, data, size));
}

std::unique_ptr<SharedMemory> SharedMemory::attach(int fd, std::size_t minimumSize,
                                                   std::string* error) {
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    if (error) *error = "not a shared memory descriptor";
    return nullptr;
  }
  const auto size = static_cast<std::size_t>(status.st_size);
  if (size == 0 || size < minimumSize || size > kMaximumSize) {
    if (error) *error = "shared memory of the wrong size";
    return nullptr;
  }
  // A block we did not create could still be shrunk by its owner; insist on the seal.
  const int seals = ::fcntl(fd, F_GET_SEALS);
  if (seals < 0 || !(seals & F_SEAL_SHRINK)) {
    if (error) *error = "shared memory is not sealed against shrinking";
    return nullptr;
  }
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) {
    fail(error, "dup");
    return nullptr;
  }
  std::byte* data = mapShared(own, size);
  if (!data) {
    fail(error, "mmap");
    ::close(own);
    return nullptr;
  }
  return std::unique_ptr<SharedMemory>(new SharedMemory(own, data, size));
}

SharedMemory::~SharedMemory() {
  ::munmap(data_, size_);
  ::close(fd_);
}

} // namespace ce
