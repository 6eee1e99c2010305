// Reads one registry database for this process, keeping what it read so that reading it again
// costs a lookup in memory rather than SQLite statements.
//
// Before what is kept is used, the reader makes sure that no process committed anything since
// it was read. With the database's change count (RegistryChangeCounter) that is one memory
// read: the count noted before the read transaction that filled the cache must still be the
// count; when it moved, the count's journal tells what the commits since changed, and only that
// is forgotten. Without it, the reader asks SQLite for the database's data version (PRAGMA
// data_version) on its own connection, which never writes, so the version moves with every
// commit of any other connection. Either way a read after a commit always sees it. While a
// commit is in flight (the count is odd), reads go to the database and what they read is not
// kept. A key that is read is read whole in one transaction (its values, and its subkeys once
// they are enumerated), so the queries that follow its opening find their values at hand.
//
// When this process changes a value and the change count shows that no other commit came
// between, the cache takes the change instead of starting afresh.
//
// Calls are serialised on one mutex; each holds it for a lookup in memory when what it needs is
// kept, for one read transaction when not.
#pragma once

#include "registry/registry_cache.h"
#include "registry/registry_change_counter.h"
#include "registry/registry_connection.h"
#include "registry/registry_key_info.h"
#include "registry/registry_key_ref.h"
#include "registry/registry_value.h"

#include <ce/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ce {

class RegistryReader {
public:
  RegistryReader(std::filesystem::path file, const RegistryChangeCounter &changes,
                 std::size_t cacheBudget = RegistryCache::defaultBudget);
  ~RegistryReader();
  RegistryReader(const RegistryReader &) = delete;
  RegistryReader &operator=(const RegistryReader &) = delete;

  // Makes closing the reader's connection leave the files beside the database alone (see
  // RegistryConnection::keepFilesOnClose).
  void keepFilesOnClose();

  // Every call answers ERROR_KEY_DELETED when from/key no longer exists.
  // The id of the key at the folded path below from's root (from's own folded path included).
  LONG openKey(const RegistryKeyRef &from, std::u16string_view foldedPath, std::int64_t &id);
  // Hands the value of that name, whatever the case of its letters, to sink.
  LONG queryValue(const RegistryKeyRef &key, std::u16string_view name, RegistryValueSink &sink);
  // The index-th subkey or value in creation order; ERROR_NO_MORE_ITEMS past the end.
  LONG enumKey(const RegistryKeyRef &key, DWORD index, std::u16string &name, std::int64_t &written);
  LONG enumValue(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                 RegistryValueSink &sink);
  LONG queryInfo(const RegistryKeyRef &key, RegistryKeyInfo &out);
  // ERROR_SUCCESS when the key exists, ERROR_KEY_DELETED when not.
  LONG checkKey(const RegistryKeyRef &key);

  // A change this process committed to the values of key id (whose parent is `parent`, 0 for a
  // root), at the moment `written`, alone between two states of the change count: when the
  // cache holds the state before, it takes the change and holds the state after. A value set
  // has its type and bytes; a value deleted has none.
  struct ValueChange {
    std::int64_t id = 0;
    std::int64_t parent = 0;
    std::int64_t written = 0;
    std::u16string_view name;
    std::optional<DWORD> type;
    std::span<const BYTE> data;
  };
  void tookOwnChange(const RegistryChangeCounter::Commit &commit, const ValueChange &change);
  // Keys this process made (or found made) along a path below root, each prefix of the path
  // with its key's id. The one key that existed before and changed is `touched` (0 when nothing
  // was made), whose parent is touchedParent.
  struct KeysCreated {
    std::int64_t root = 0;
    std::vector<std::pair<std::u16string, std::int64_t>> paths;
    std::int64_t touched = 0;
    std::int64_t touchedParent = 0;
  };
  void tookOwnChange(const RegistryChangeCounter::Commit &commit, const KeysCreated &change);

  // Memory the cache takes now, as counted against its budget.
  std::size_t cacheUsed();

private:
  // The methods below are called with mutex_ held.
  // Opens the connection when there is none, or when the one there is belongs to the parent of
  // this forked process; starts the cache afresh when the change count became available.
  LONG connect();
  // Whether what is kept shows the database as it is now (see above). Without the change count
  // this asks SQLite and drops what is kept when the version moved.
  LONG checkCurrent(bool &usable);
  // Runs body in one read transaction and tells the state it read: the change count noted
  // before the transaction began (noVersion while a commit was in flight), or SQLite's data
  // version.
  template <class Body> LONG readAtState(std::int64_t &version, Body &&body);
  // Brings what is kept to the state of version (a later one than it holds): with the change
  // count, by forgetting what the journal says the commits in between changed, or everything
  // when it cannot say; without it, by forgetting everything.
  void catchUp(std::int64_t version);
  // Notes that a read transaction saw version (noVersion: a state that is not known).
  void adopt(std::int64_t version);
  // Where a key read at version goes: into the cache, or, when the state it was read at is not
  // known, into scratch_, valid until the next call.
  RegistryCachedKey &keep(std::int64_t id, RegistryCachedKey key, std::int64_t version);
  // The key as kept (with its subkeys when asked), or null; not validated.
  RegistryCachedKey *held(std::int64_t id, bool withSubkeys);
  // The kept id for a path below from, when from is kept too; not validated.
  const std::int64_t *heldPath(const RegistryKeyRef &from, std::u16string_view foldedPath);
  // The key, validated, read whole (with its subkeys when asked) unless kept so already.
  LONG cachedKey(std::int64_t id, bool withSubkeys, RegistryCachedKey *&out);
  // True when what is kept shows the state just before this process's commit, which was the
  // only one between that state and the one after it.
  bool followsOwnCommit(const RegistryChangeCounter::Commit &commit) const;
  // Drops the list of the key's subkeys, when the key is kept (0: none).
  void forgetSubkeys(std::int64_t id);

  const std::filesystem::path file_;
  const RegistryChangeCounter &changes_;
  std::mutex mutex_;
  std::unique_ptr<RegistryConnection> connection_;
  std::uint64_t forkGeneration_;
  RegistryCache cache_;
  // True once the cache's versions are change counts rather than data versions.
  bool byCount_ = false;
  RegistryCachedKey scratch_;
  RegistryChangeCounter::Changes journal_; // reused by catchUp
};

} // namespace ce
