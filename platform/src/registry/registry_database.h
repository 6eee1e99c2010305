// A device's registry database (SQLite, <device root>/registry.db), shared by every process of
// the device. Each write is one transaction on a connection taken from a small per-database pool,
// so threads of one process run side by side; writes take the write lock up front and wait for
// other processes, and nothing committed is lost when a process dies. Every commit is announced
// on the database's change count (RegistryChangeCounter), by which reads, which go through a
// RegistryReader, know whether what they kept is still the database's state.
//
// Storage: a table of keys (id, parent, root, name, case-folded path below the root, last write
// time) and a table of values (key, name, case-folded name, type, bytes). Names are kept as
// given; lookups go through the folded forms, so names compare without regard to case. Row ids
// grow with creation, which makes creation order the enumeration order.
#pragma once

#include "registry/registry_change_counter.h"
#include "registry/registry_connection.h"
#include "registry/registry_key_info.h"
#include "registry/registry_key_ref.h"
#include "registry/registry_path.h"
#include "registry/registry_reader.h"
#include "registry/registry_value.h"

#include <ce/types.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ce {

class RegistryDatabase {
public:
  // The database of the current device root. A root that is not set, or a root folder that does
  // not exist, gives ERROR_PATH_NOT_FOUND: the registry never creates the device root itself. A
  // root without registry.db gets a new, empty database on first use. When registry.db was
  // replaced or removed since it was opened, the file now there is opened (or created) instead.
  static LONG current(std::shared_ptr<RegistryDatabase> &out);
  // The database in the given file; connections are shared per file within the process.
  static LONG atPath(const std::filesystem::path &file, std::shared_ptr<RegistryDatabase> &out);

  // Row ids of the four roots.
  static constexpr std::int64_t classesRoot = 1;
  static constexpr std::int64_t currentUser = 2;
  static constexpr std::int64_t localMachine = 3;
  static constexpr std::int64_t users = 4;
  static RegistryKeyRef rootKey(std::int64_t rootId) { return {rootId, rootId, {}}; }

  ~RegistryDatabase();
  RegistryDatabase(const RegistryDatabase &) = delete;
  RegistryDatabase &operator=(const RegistryDatabase &) = delete;

  const std::filesystem::path &file() const { return file_; }

  // Every operation answers ERROR_KEY_DELETED when `from`/`key` no longer exists.
  LONG openKey(const RegistryKeyRef &from, const RegistryPath &path, RegistryKeyRef &out);
  // Creates the missing keys of the path, outermost first; `created` tells whether the last one
  // was new.
  LONG createKey(const RegistryKeyRef &from, const RegistryPath &path, RegistryKeyRef &out,
                 bool &created);
  // Deletes the key at path with all its descendants and their values.
  LONG deleteKey(const RegistryKeyRef &from, const RegistryPath &path);

  // Reads go through the reader, which keeps what it read while the database does not change.
  LONG queryValue(const RegistryKeyRef &key, std::u16string_view name, RegistryValueSink &sink);
  LONG setValue(const RegistryKeyRef &key, std::u16string_view name, DWORD type,
                std::span<const BYTE> data);
  LONG deleteValue(const RegistryKeyRef &key, std::u16string_view name);

  // The index-th subkey or value in creation order; ERROR_NO_MORE_ITEMS past the end.
  LONG enumKey(const RegistryKeyRef &key, DWORD index, std::u16string &name,
               std::int64_t &lastWrite);
  LONG enumValue(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                 RegistryValueSink &sink);
  LONG queryInfo(const RegistryKeyRef &key, RegistryKeyInfo &out);
  // Moves committed transactions into the database file and syncs it to storage.
  LONG flush(const RegistryKeyRef &key);

  // Memory the process keeps of what it read from this database.
  std::size_t cacheUsed() { return reader_.cacheUsed(); }

private:
  explicit RegistryDatabase(std::filesystem::path file);

  // Opens the first connection, creates the schema when the file is new, and notes the file's
  // identity on disk.
  LONG initialize();
  bool stillOnDisk() const;

  LONG acquire(std::unique_ptr<RegistryConnection> &out);
  void release(std::unique_ptr<RegistryConnection> connection);
  template <class Body> LONG run(RegistryConnection::Mode mode, Body &&body);
  // Runs body as a write transaction announced on the change count; commit tells what the
  // count showed of it. Fails when the count cannot be had: a commit that other processes could
  // not see coming would leave what they kept out of date.
  template <class Body> LONG write(Body &&body, RegistryChangeCounter::Commit *commit = nullptr);

  const std::filesystem::path file_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::mutex poolMutex_;
  std::vector<std::unique_ptr<RegistryConnection>> idle_;
  RegistryChangeCounter changes_;
  RegistryReader reader_;
  // The process the idle connections belong to. A child made by fork() must not use or close
  // its parent's connections; it drops them unclosed and opens its own.
  std::uint64_t forkGeneration_;
};

} // namespace ce
