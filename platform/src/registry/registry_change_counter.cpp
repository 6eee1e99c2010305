#include "registry/registry_change_counter.h"

#include <ce/errors.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce {

namespace {

constexpr std::size_t countSize = sizeof(std::uint64_t);
static_assert(std::atomic_ref<std::uint64_t>::is_always_lock_free,
              "the count is shared with other processes through memory");

LONG errorFor(int error) {
  switch (error) {
  case EACCES:
  case EPERM:
  case EROFS:
  case ELOOP: // a link in place of the file is refused
    return ERROR_ACCESS_DENIED;
  case EMFILE:
  case ENFILE:
    return ERROR_TOO_MANY_OPEN_FILES;
  case ENOMEM:
    return ERROR_OUTOFMEMORY;
  case ENOSPC:
  case EDQUOT:
    return ERROR_DISK_FULL;
  default:
    return ERROR_CANTOPEN;
  }
}

std::atomic_ref<std::uint64_t> count(std::uint64_t *word) {
  return std::atomic_ref<std::uint64_t>(*word);
}

} // namespace

std::atomic<void (*)()> RegistryChangeCounter::betweenCommitAndSettle{nullptr};

RegistryChangeCounter::~RegistryChangeCounter() {
  if (std::uint64_t *word = word_.load())
    ::munmap(word, countSize);
}

std::filesystem::path RegistryChangeCounter::fileFor(const std::filesystem::path &databaseFile) {
  std::filesystem::path file = databaseFile;
  file += "-changes";
  return file;
}

LONG RegistryChangeCounter::open(const std::filesystem::path &databaseFile) {
  if (isOpen())
    return ERROR_SUCCESS;
  std::lock_guard lock(openMutex_);
  if (isOpen())
    return ERROR_SUCCESS;
  // The same permissions as the database, as SQLite gives its own files beside it.
  mode_t mode = 0644;
  if (struct stat database{}; ::stat(databaseFile.c_str(), &database) == 0)
    mode = database.st_mode & 0666;
  const int fd =
      ::open(fileFor(databaseFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0)
    return errorFor(errno);
  struct stat info {};
  int error = 0;
  if (::fstat(fd, &info) != 0)
    error = errno;
  else if (!S_ISREG(info.st_mode))
    error = EACCES;
  // A new file is empty: it grows to hold the count, which starts at zero. Growing never
  // changes what another process wrote, so processes that create it at once agree.
  else if (info.st_size < static_cast<off_t>(countSize) &&
           ::ftruncate(fd, static_cast<off_t>(countSize)) != 0)
    error = errno;
  void *mapped = MAP_FAILED;
  if (error == 0) {
    mapped = ::mmap(nullptr, countSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
      error = errno;
  }
  ::close(fd);
  if (error != 0)
    return errorFor(error);
  word_.store(static_cast<std::uint64_t *>(mapped), std::memory_order_release);
  return ERROR_SUCCESS;
}

std::optional<std::uint64_t> RegistryChangeCounter::settled() const {
  std::uint64_t *word = word_.load(std::memory_order_acquire);
  if (!word)
    return std::nullopt;
  const std::uint64_t value = count(word).load();
  if (value & 1)
    return std::nullopt;
  return value;
}

RegistryChangeCounter::Commit RegistryChangeCounter::announce() {
  auto value = count(word_.load(std::memory_order_acquire));
  std::uint64_t seen = value.load();
  std::uint64_t mark = 0;
  do {
    // The next odd count: after an even one, or past a writer that announced and never settled.
    mark = (seen & 1) ? seen + 2 : seen + 1;
  } while (!value.compare_exchange_weak(seen, mark));
  Commit commit;
  commit.mark = mark;
  commit.fromSettled = (seen & 1) == 0;
  return commit;
}

void RegistryChangeCounter::settle(Commit &commit) {
  if (commit.mark == 0)
    return;
  std::uint64_t expected = commit.mark;
  const bool settled = count(word_.load(std::memory_order_acquire))
                           .compare_exchange_strong(expected, commit.mark + 1);
  commit.alone = settled && commit.fromSettled;
}

} // namespace ce
