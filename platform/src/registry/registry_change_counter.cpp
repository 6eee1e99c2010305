#include "registry/registry_change_counter.h"

#include <ce/errors.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce {

namespace {

// Words of the mapped file: the count, the journal's head, then the ring.
constexpr std::size_t countWord = 0;
constexpr std::size_t headWord = 1;
constexpr std::size_t ringWord = 2;
constexpr std::size_t countSize =
    (ringWord + 2 * RegistryChangeCounter::journalEntries) * sizeof(std::uint64_t);
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

std::atomic_ref<std::uint64_t> at(std::uint64_t *words, std::size_t index) {
  return std::atomic_ref<std::uint64_t>(words[index]);
}

std::atomic_ref<std::uint64_t> count(std::uint64_t *words) { return at(words, countWord); }

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
  // A new file is empty: it grows to hold the count and the journal, which start at zero.
  // Growing never changes what another process wrote, so processes that create it at once
  // agree.
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

void RegistryChangeCounter::journal(const Commit &commit, const Changes &changes) {
  std::uint64_t *words = word_.load(std::memory_order_acquire);
  auto head = at(words, headWord);
  std::uint64_t next = head.load(std::memory_order_acquire);
  for (const auto &[change, id] : changes) {
    const std::size_t slot = ringWord + 2 * (next % journalEntries);
    // A reader that sees the slot change also sees the head that tells it the slot is taken
    // (the sequence lock's writer side).
    std::atomic_thread_fence(std::memory_order_release);
    at(words, slot).store(commit.mark, std::memory_order_relaxed);
    at(words, slot + 1)
        .store((static_cast<std::uint64_t>(id) << 2) | static_cast<std::uint64_t>(change),
               std::memory_order_relaxed);
    // Published entry by entry: a reader never takes an entry the head does not cover yet.
    head.store(++next, std::memory_order_release);
  }
}

bool RegistryChangeCounter::changesSince(std::uint64_t since, Changes &out) const {
  std::uint64_t *words = word_.load(std::memory_order_acquire);
  if (!words)
    return false;
  const std::uint64_t head = at(words, headWord).load(std::memory_order_acquire);
  const std::size_t first = out.size();
  std::uint64_t position = head;
  bool reachedSince = false;
  while (position > 0 && head - position < journalEntries - 1) {
    const std::size_t slot = ringWord + 2 * ((position - 1) % journalEntries);
    const std::uint64_t mark = at(words, slot).load(std::memory_order_relaxed);
    if (mark <= since) {
      reachedSince = true;
      break;
    }
    const std::uint64_t entry = at(words, slot + 1).load(std::memory_order_relaxed);
    out.emplace_back(static_cast<Change>(entry & 3), static_cast<std::int64_t>(entry >> 2));
    --position;
  }
  // Every commit since is there when the walk met an older one, or began at the first entry
  // ever written; and what was read is whole when no writer has since come round the ring to
  // the entries read (the slot after the head is the next to be overwritten).
  std::atomic_thread_fence(std::memory_order_acquire);
  const std::uint64_t headAfter = at(words, headWord).load(std::memory_order_relaxed);
  const std::uint64_t lowestRead = reachedSince ? position - 1 : position;
  const bool whole = headAfter - lowestRead < journalEntries;
  if ((reachedSince || position == 0) && whole)
    return true;
  out.resize(first);
  return false;
}

} // namespace ce
