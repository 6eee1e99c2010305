// The count of commits made to one registry database, shared by every process of the device
// through a small file mapped beside the database (<database>-changes). One memory read tells a
// process whether what it read from the database may be out of date; asking SQLite takes a
// transaction.
//
// The count works as a sequence lock across processes:
// - A writer that holds the database's write lock makes the count odd before its commit
//   (announce) and even again after it (settle). Announcements come from the lock holder only,
//   so they never interleave; a settle that finds a later announcement leaves the count to that
//   later writer, whose own settle covers both commits.
// - A reader notes the count before it begins a read transaction and keeps what it read only
//   when the count was even. Whatever commits after that note moves the count (an announcement
//   precedes every commit), so an unchanged count proves that nothing kept is out of date.
// - A writer that dies between its two steps leaves the count odd: readers then read from the
//   database itself until the next writer settles, which only costs speed.
//
// Beside the count, the file keeps a journal of what the latest commits changed: a ring of
// entries (the commit's announced count, what changed, which key), appended by the holder of
// the write lock between its announcement and its commit. A reader whose count moved looks up
// the commits since the count it noted and forgets only what they changed, rather than
// everything, as long as the ring still holds them all.
//
// The file belongs to the database as its log and shared index do: removing it while processes
// use the database is outside what this defends against.
#pragma once

#include <ce/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace ce {

class RegistryChangeCounter {
public:
  // One writer's announcement, and what its settle found.
  struct Commit {
    std::uint64_t mark = 0;   // the odd count announced; 0 before any announcement
    bool fromSettled = false; // the count was even (mark - 1) when it was announced
    bool alone = false;       // set by settle: the count went from mark - 1 to mark + 1 with
                              // this writer's commit alone in between
    std::uint64_t before() const { return mark - 1; }
    std::uint64_t after() const { return mark + 1; }
  };

  // What a commit changed, as far as a reader's cache is concerned.
  enum class Change : std::uint8_t {
    Key,         // the key's values or its time of last write (and so its parent's list)
    Subkeys,     // the list of the key's subkeys (names and times of last write)
    AbsentPaths, // keys were made: paths known to be absent may now exist
    Everything,  // keys were deleted
  };
  using Changes = std::vector<std::pair<Change, std::int64_t>>; // what, and which key

  // Entries the journal holds; older ones are overwritten.
  static constexpr std::size_t journalEntries = 2048;

  RegistryChangeCounter() = default;
  ~RegistryChangeCounter();
  RegistryChangeCounter(const RegistryChangeCounter &) = delete;
  RegistryChangeCounter &operator=(const RegistryChangeCounter &) = delete;

  // The file that holds the count of this database file.
  static std::filesystem::path fileFor(const std::filesystem::path &databaseFile);

  // Maps the count of the database (creating its file with the database file's permissions);
  // does nothing once mapped. A platform error code when the file cannot be had.
  LONG open(const std::filesystem::path &databaseFile);
  bool isOpen() const { return word_.load(std::memory_order_acquire) != nullptr; }

  // The count when no commit is in flight; nothing while one is, or when the count is not open.
  std::optional<std::uint64_t> settled() const;

  // Called by the holder of the database's write lock before it commits; the count must be
  // open.
  Commit announce();
  // Called after the commit, or after its failure, with what announce returned.
  void settle(Commit &commit);

  // Called by the holder of the write lock after announce and before the commit: notes what the
  // commit changes.
  void journal(const Commit &commit, const Changes &changes);
  // The changes of every commit announced after the count `since`, appended to out; false when
  // the journal no longer holds them all, in which case everything must be taken as changed.
  // (Commits announced later may be included; taking more as changed is always safe.)
  bool changesSince(std::uint64_t since, Changes &out) const;

  // Called by writers between their commit and its settle when set; null in normal use. Tests
  // set it in a child process to end that process at the worst moment for the others.
  static std::atomic<void (*)()> betweenCommitAndSettle;

private:
  // The mapped file: the count, the number of journal entries ever appended, then the ring of
  // entries, two words each (the commit's announced count; the key id shifted left by two with
  // the kind of change in the low bits).
  std::atomic<std::uint64_t *> word_{nullptr};
  std::mutex openMutex_;
};

} // namespace ce
