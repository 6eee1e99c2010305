// Reads one registry database for this process, keeping what it read so that reading it again
// costs one SQLite statement rather than one per key and one per value.
//
// Every read first asks SQLite for the database's data version (PRAGMA data_version) on the
// reader's own connection. That connection never writes, so the version moves with every commit
// of any other connection, in this process or another, and a read after a commit always sees it:
// when the version moved, everything kept is dropped and read again. A key that is read is read
// whole in one transaction (its values, and its subkeys once they are enumerated), so the
// queries that follow its opening find their values at hand.
//
// Calls are serialised on one mutex; each holds it for one statement when what it needs is
// kept, for one read transaction when not.
#pragma once

#include "registry/registry_cache.h"
#include "registry/registry_connection.h"
#include "registry/registry_key_info.h"
#include "registry/registry_key_ref.h"
#include "registry/registry_value.h"

#include <ce/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace ce {

class RegistryReader {
public:
  explicit RegistryReader(std::filesystem::path file);
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

private:
  // The methods below are called with mutex_ held.
  // Opens the connection when there is none, or when the one there is belongs to the parent of
  // this forked process.
  LONG connect();
  // Asks the database for its data version (one statement) and drops what is kept when it
  // moved.
  LONG validate();
  // Notes that a read transaction saw version: what is kept was read at another one goes.
  void adopt(std::int64_t version);
  // The key as kept (with its subkeys when asked), or null; not validated.
  RegistryCachedKey *held(std::int64_t id, bool withSubkeys);
  // The kept id for a path below from, when from is kept too; not validated.
  const std::int64_t *heldPath(const RegistryKeyRef &from, std::u16string_view foldedPath);
  // The key, validated, read whole (with its subkeys when asked) unless kept so already.
  LONG cachedKey(std::int64_t id, bool withSubkeys, RegistryCachedKey *&out);

  const std::filesystem::path file_;
  std::mutex mutex_;
  std::unique_ptr<RegistryConnection> connection_;
  std::uint64_t forkGeneration_;
  RegistryCache cache_;
};

} // namespace ce
