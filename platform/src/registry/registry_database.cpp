#include "registry/registry_database.h"

#include "registry/registry_fork_generation.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>

#include <chrono>
#include <map>
#include <new>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace ce {

namespace {

using Mode = RegistryConnection::Mode;

constexpr std::int64_t schemaVersion = 1;
// Idle connections kept per database; more are opened while more threads work at once.
constexpr std::size_t maxIdleConnections = 8;

constexpr const char *schemaSql = R"sql(
CREATE TABLE registry_keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  root INTEGER NOT NULL,
  name BLOB NOT NULL,
  folded_path BLOB NOT NULL,
  written INTEGER NOT NULL,
  UNIQUE(root, folded_path));
CREATE INDEX registry_keys_by_parent ON registry_keys(parent);
CREATE TABLE registry_values(
  id INTEGER PRIMARY KEY,
  key_id INTEGER NOT NULL,
  name BLOB NOT NULL,
  folded_name BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key_id, folded_name));
CREATE INDEX registry_values_by_key ON registry_values(key_id);
)sql";

// The moment of a change as FILETIME ticks: 100 ns units since 1601-01-01 UTC.
std::int64_t now() {
  using namespace std::chrono;
  constexpr std::int64_t unixEpochInTicks = 116444736000000000LL;
  const auto sinceUnix = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
  return unixEpochInTicks + sinceUnix.count() / 100;
}

std::u16string foldedName(std::u16string_view name) {
  std::u16string folded;
  RegistryPath::appendFolded(folded, name);
  return folded;
}

// Every open database of this process by file, and the one the device root last resolved to,
// which is kept open between calls even when no handle refers to it.
struct OpenDatabases {
  std::mutex mutex;
  std::map<std::filesystem::path, std::weak_ptr<RegistryDatabase>> byFile;
  std::shared_ptr<RegistryDatabase> lastCurrent;
  std::string lastRoot;
};

OpenDatabases &openDatabases() {
  static auto *databases = new OpenDatabases; // lives until exit; other threads may still call
  return *databases;
}

// True when the key row still exists.
bool keyExists(RegistryConnection &c, std::int64_t id) {
  auto s = c.statement("SELECT 1 FROM registry_keys WHERE id = ?1");
  return s.bind(1, id).step();
}

// The id of the key at the folded path, 0 when there is none.
std::int64_t findKey(RegistryConnection &c, std::int64_t root, std::u16string_view folded) {
  auto s = c.statement("SELECT id FROM registry_keys WHERE root = ?1 AND folded_path = ?2");
  s.bind(1, root).bind(2, folded);
  return s.step() ? s.integer(0) : 0;
}

void touchKey(RegistryConnection &c, std::int64_t id, std::int64_t when) {
  auto s = c.statement("UPDATE registry_keys SET written = ?2 WHERE id = ?1");
  s.bind(1, id).bind(2, when).run();
}

// A key whose values or time of last write change, as its parent lists it among its subkeys.
void noteKeyChanged(RegistryChangeCounter::Changes &changed, std::int64_t id, std::int64_t parent) {
  changed.emplace_back(RegistryChangeCounter::Change::Key, id);
  if (parent != 0)
    changed.emplace_back(RegistryChangeCounter::Change::Subkeys, parent);
}

std::int64_t parentOf(RegistryConnection &c, std::int64_t id) {
  auto s = c.statement("SELECT parent FROM registry_keys WHERE id = ?1");
  return s.bind(1, id).step() ? s.integer(0) : 0;
}

// Touches a key whose values change, telling its parent; false when the key does not exist.
// (A separate query costs less than RETURNING, which builds a table for its rows.)
bool touchValueKey(RegistryConnection &c, std::int64_t id, std::int64_t when,
                   std::int64_t &parent) {
  touchKey(c, id, when);
  if (c.changes() == 0)
    return false;
  parent = parentOf(c, id);
  return true;
}

} // namespace

LONG RegistryDatabase::current(std::shared_ptr<RegistryDatabase> &out) {
  const auto root = DeviceRoot::path();
  if (root.empty())
    return ERROR_PATH_NOT_FOUND;
  auto &databases = openDatabases();
  {
    // The common case: the same root as last time, and its file still in place.
    std::shared_ptr<RegistryDatabase> last;
    {
      std::lock_guard lock(databases.mutex);
      if (databases.lastRoot == root.native())
        last = databases.lastCurrent;
    }
    if (last && last->stillOnDisk()) {
      out = std::move(last);
      return ERROR_SUCCESS;
    }
  }
  const LONG error = atPath(root / "registry.db", out);
  if (error == ERROR_SUCCESS) {
    std::shared_ptr<RegistryDatabase> previous;
    {
      std::lock_guard lock(databases.mutex);
      previous = std::exchange(databases.lastCurrent, out);
      databases.lastRoot = root.native();
    }
    // previous may close its connections here, outside the lock.
  }
  return error;
}

LONG RegistryDatabase::atPath(const std::filesystem::path &file,
                              std::shared_ptr<RegistryDatabase> &out) {
  try {
    const auto key = file.lexically_normal();
    auto &databases = openDatabases();
    std::lock_guard lock(databases.mutex);
    auto it = databases.byFile.find(key);
    if (it != databases.byFile.end()) {
      if (auto existing = it->second.lock(); existing && existing->stillOnDisk()) {
        out = std::move(existing);
        return ERROR_SUCCESS;
      }
    }
    std::error_code ec;
    if (key.parent_path().empty() || !std::filesystem::is_directory(key.parent_path(), ec))
      return ERROR_PATH_NOT_FOUND;

    std::shared_ptr<RegistryDatabase> database(new RegistryDatabase(key));
    if (const LONG error = database->initialize(); error != ERROR_SUCCESS)
      return error;
    // Forget databases that nobody uses any more.
    std::erase_if(databases.byFile, [](const auto &entry) { return entry.second.expired(); });
    databases.byFile[key] = database;
    out = std::move(database);
    return ERROR_SUCCESS;
  } catch (const std::bad_alloc &) {
    return ERROR_OUTOFMEMORY;
  } catch (const std::filesystem::filesystem_error &) {
    return ERROR_PATH_NOT_FOUND;
  }
}

RegistryDatabase::RegistryDatabase(std::filesystem::path file)
    : file_(std::move(file)), reader_(file_, changes_),
      forkGeneration_(RegistryForkGeneration::current()) {}

RegistryDatabase::~RegistryDatabase() {
  if (RegistryForkGeneration::current() != forkGeneration_) {
    for (auto &connection : idle_)
      (void)connection.release();
    return;
  }
  // Closing the last connection to a database normally removes its log and shared index by
  // name. When our file is no longer the one at that name, those names are another database's.
  if (!stillOnDisk()) {
    for (auto &connection : idle_)
      connection->keepFilesOnClose();
    reader_.keepFilesOnClose();
  }
}

LONG RegistryDatabase::initialize() {
  std::int64_t version = 0;
  const auto readVersion = [&](RegistryConnection &c) -> LONG {
    auto s = c.statement("PRAGMA user_version");
    version = s.step() ? s.integer(0) : 0;
    return ERROR_SUCCESS;
  };
  LONG error = run(Mode::Single, readVersion);
  if (error == ERROR_SUCCESS && version == 0) {
    // A new file: the first process to take the write lock creates the schema, the others find
    // it done.
    error = run(Mode::Write, [&](RegistryConnection &c) -> LONG {
      readVersion(c);
      if (version != 0)
        return ERROR_SUCCESS;
      c.executeScript(schemaSql);
      const std::int64_t when = now();
      const std::pair<std::int64_t, std::u16string_view> roots[] = {
          {classesRoot, u"HKEY_CLASSES_ROOT"},
          {currentUser, u"HKEY_CURRENT_USER"},
          {localMachine, u"HKEY_LOCAL_MACHINE"},
          {users, u"HKEY_USERS"},
      };
      for (const auto &[id, name] : roots) {
        auto s = c.statement("INSERT INTO registry_keys(id, parent, root, name, folded_path, "
                             "written) VALUES (?1, 0, ?1, ?2, x'', ?3)");
        s.bind(1, id).bind(2, name).bind(3, when).run();
      }
      c.executeScript("PRAGMA user_version = 1");
      version = schemaVersion;
      return ERROR_SUCCESS;
    });
  }
  if (error != ERROR_SUCCESS)
    return error;
  // A database written by a newer schema is left alone rather than misread.
  if (version != schemaVersion)
    return ERROR_BADDB;

  struct stat info {};
  if (::stat(file_.c_str(), &info) != 0)
    return ERROR_CANTOPEN;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  // Reads do without the change count when it cannot be had; writes try again and need it.
  // (The schema above needs no announcement: no process reads a database before it exists.)
  (void)changes_.open(file_);
  return ERROR_SUCCESS;
}

bool RegistryDatabase::stillOnDisk() const {
  struct stat info {};
  return ::stat(file_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

LONG RegistryDatabase::acquire(std::unique_ptr<RegistryConnection> &out) {
  {
    std::lock_guard lock(poolMutex_);
    if (const auto generation = RegistryForkGeneration::current(); generation != forkGeneration_) {
      for (auto &connection : idle_)
        (void)connection.release(); // the parent's; deliberately left open
      idle_.clear();
      forkGeneration_ = generation;
    }
    if (!idle_.empty()) {
      out = std::move(idle_.back());
      idle_.pop_back();
      return ERROR_SUCCESS;
    }
  }
  return RegistryConnection::open(file_, out);
}

void RegistryDatabase::release(std::unique_ptr<RegistryConnection> connection) {
  std::lock_guard lock(poolMutex_);
  if (idle_.size() < maxIdleConnections)
    idle_.push_back(std::move(connection));
}

template <class Body> LONG RegistryDatabase::run(Mode mode, Body &&body) {
  std::unique_ptr<RegistryConnection> connection;
  if (const LONG error = acquire(connection); error != ERROR_SUCCESS)
    return error;
  LONG result;
  try {
    result = connection->transaction(mode, [&] { return body(*connection); });
  } catch (const std::bad_alloc &) {
    result = ERROR_OUTOFMEMORY;
  }
  release(std::move(connection));
  return result;
}

template <class Body>
LONG RegistryDatabase::write(Body &&body, RegistryChangeCounter::Commit *commit) {
  if (const LONG error = changes_.open(file_); error != ERROR_SUCCESS)
    return error;
  RegistryChangeCounter::Commit announced;
  // Every announcement is settled, also when the commit failed or an exception leaves.
  struct Settle {
    RegistryChangeCounter &changes;
    RegistryChangeCounter::Commit &announced;
    ~Settle() { changes.settle(announced); }
  } settle{changes_, announced};
  RegistryChangeCounter::Changes changed;
  const LONG result = run(Mode::Write, [&](RegistryConnection &c) -> LONG {
    // A body that runs again does so after an earlier attempt failed to commit.
    changes_.settle(announced);
    announced = {};
    changed.clear();
    const LONG bodyResult = body(c, changed);
    // Announced and journaled while the write lock is held, before the commit makes the change
    // visible.
    if (bodyResult == ERROR_SUCCESS) {
      announced = changes_.announce();
      changes_.journal(announced, changed);
    }
    return bodyResult;
  });
  if (announced.mark != 0)
    if (auto hook = RegistryChangeCounter::betweenCommitAndSettle.load())
      hook();
  changes_.settle(announced);
  if (commit)
    *commit = announced;
  announced = {};
  return result;
}

LONG RegistryDatabase::openKey(const RegistryKeyRef &from, const RegistryPath &path,
                               RegistryKeyRef &out) {
  std::u16string folded = path.foldedBelow(from.foldedPath);
  std::int64_t id = 0;
  if (const LONG error = reader_.openKey(from, folded, id); error != ERROR_SUCCESS)
    return error;
  out = RegistryKeyRef{id, from.root, std::move(folded)};
  return ERROR_SUCCESS;
}

LONG RegistryDatabase::createKey(const RegistryKeyRef &from, const RegistryPath &path,
                                 RegistryKeyRef &out, bool &created) {
  std::vector<std::u16string> prefixes;
  std::u16string folded = from.foldedPath;
  for (const auto &name : path.components()) {
    RegistryPath::appendFolded(folded, name);
    prefixes.push_back(folded);
  }
  created = false;
  // Most calls open a key that exists; they find it without taking the write lock.
  if (const LONG error = openKey(from, path, out); error != ERROR_FILE_NOT_FOUND)
    return error;
  std::int64_t id = 0;
  RegistryReader::KeysCreated change{from.root, {}, 0, 0};
  RegistryChangeCounter::Commit commit;
  const LONG error = write(
      [&](RegistryConnection &c, RegistryChangeCounter::Changes &changed) -> LONG {
        created = false;
        change = {from.root, {}, 0, 0};
        if (!keyExists(c, from.id))
          return ERROR_KEY_DELETED;
        id = path.empty() ? from.id : findKey(c, from.root, prefixes.back());
        if (id != 0)
          return ERROR_SUCCESS;
        // Outermost first, so that enumeration lists the new keys in the order of the path.
        const std::int64_t when = now();
        std::int64_t grandparent = 0, parent = from.id;
        for (std::size_t i = 0; i < prefixes.size(); ++i) {
          std::int64_t child = findKey(c, from.root, prefixes[i]);
          if (child == 0) {
            auto s =
                c.statement("INSERT INTO registry_keys(parent, root, name, folded_path, written) "
                            "VALUES (?1, ?2, ?3, ?4, ?5)");
            s.bind(1, parent).bind(2, from.root).bind(3, path.components()[i]);
            s.bind(4, prefixes[i]).bind(5, when).run();
            child = c.lastInsertId();
            touchKey(c, parent, when);
            created = i + 1 == prefixes.size();
            // The one key that existed before and changed: the parent of the first new key.
            if (change.touched == 0) {
              change.touched = parent;
              change.touchedParent = parent == from.id ? parentOf(c, from.id) : grandparent;
            }
          }
          change.paths.emplace_back(prefixes[i], child);
          grandparent = parent;
          parent = child;
        }
        id = parent;
        noteKeyChanged(changed, change.touched, change.touchedParent);
        changed.emplace_back(RegistryChangeCounter::Change::AbsentPaths, 0);
        return ERROR_SUCCESS;
      },
      &commit);
  if (error != ERROR_SUCCESS)
    return error;
  reader_.tookOwnChange(commit, change);
  out = RegistryKeyRef{id, from.root, std::move(folded)};
  return ERROR_SUCCESS;
}

LONG RegistryDatabase::deleteKey(const RegistryKeyRef &from, const RegistryPath &path) {
  std::u16string folded = path.foldedBelow(from.foldedPath);
  return write([&](RegistryConnection &c, RegistryChangeCounter::Changes &changed) -> LONG {
    if (!keyExists(c, from.id))
      return ERROR_KEY_DELETED;
    std::int64_t target = 0, parent = 0;
    {
      auto s =
          c.statement("SELECT id, parent FROM registry_keys WHERE root = ?1 AND folded_path = ?2");
      s.bind(1, from.root).bind(2, folded);
      if (!s.step())
        return ERROR_FILE_NOT_FOUND;
      target = s.integer(0);
      parent = s.integer(1);
    }
    c.statement("WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM "
                "registry_keys k JOIN doomed ON k.parent = doomed.id) "
                "DELETE FROM registry_values WHERE key_id IN (SELECT id FROM doomed)")
        .bind(1, target)
        .run();
    c.statement("WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM "
                "registry_keys k JOIN doomed ON k.parent = doomed.id) "
                "DELETE FROM registry_keys WHERE id IN (SELECT id FROM doomed)")
        .bind(1, target)
        .run();
    touchKey(c, parent, now());
    changed.emplace_back(RegistryChangeCounter::Change::Everything, 0);
    return ERROR_SUCCESS;
  });
}

LONG RegistryDatabase::queryValue(const RegistryKeyRef &key, std::u16string_view name,
                                  RegistryValueSink &sink) {
  return reader_.queryValue(key, name, sink);
}

LONG RegistryDatabase::setValue(const RegistryKeyRef &key, std::u16string_view name, DWORD type,
                                std::span<const BYTE> data) {
  const std::u16string folded = foldedName(name);
  RegistryReader::ValueChange change{key.id, 0, 0, name, type, data};
  RegistryChangeCounter::Commit commit;
  const LONG error = write(
      [&](RegistryConnection &c, RegistryChangeCounter::Changes &changed) -> LONG {
        change.written = now();
        if (!touchValueKey(c, key.id, change.written, change.parent))
          return ERROR_KEY_DELETED;
        // An existing value keeps its place in the enumeration and the case of its name.
        auto s = c.statement("INSERT INTO registry_values(key_id, name, folded_name, type, data) "
                             "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT(key_id, folded_name) DO "
                             "UPDATE SET type = excluded.type, data = excluded.data");
        s.bind(1, key.id).bind(2, name).bind(3, folded).bind(4, std::int64_t{type}).bind(5, data);
        s.run();
        noteKeyChanged(changed, key.id, change.parent);
        return ERROR_SUCCESS;
      },
      &commit);
  if (error == ERROR_SUCCESS)
    reader_.tookOwnChange(commit, change);
  return error;
}

LONG RegistryDatabase::deleteValue(const RegistryKeyRef &key, std::u16string_view name) {
  const std::u16string folded = foldedName(name);
  RegistryReader::ValueChange change{key.id, 0, 0, name, std::nullopt, {}};
  RegistryChangeCounter::Commit commit;
  const LONG error = write(
      [&](RegistryConnection &c, RegistryChangeCounter::Changes &changed) -> LONG {
        change.written = now();
        if (!touchValueKey(c, key.id, change.written, change.parent))
          return ERROR_KEY_DELETED;
        auto s = c.statement("DELETE FROM registry_values WHERE key_id = ?1 AND folded_name = ?2");
        s.bind(1, key.id).bind(2, folded).run();
        noteKeyChanged(changed, key.id, change.parent);
        return c.changes() == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
      },
      &commit);
  if (error == ERROR_SUCCESS)
    reader_.tookOwnChange(commit, change);
  return error;
}

LONG RegistryDatabase::enumKey(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                               std::int64_t &lastWrite) {
  return reader_.enumKey(key, index, name, lastWrite);
}

LONG RegistryDatabase::enumValue(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                                 RegistryValueSink &sink) {
  return reader_.enumValue(key, index, name, sink);
}

LONG RegistryDatabase::queryInfo(const RegistryKeyRef &key, RegistryKeyInfo &out) {
  return reader_.queryInfo(key, out);
}

LONG RegistryDatabase::flush(const RegistryKeyRef &key) {
  if (const LONG error = reader_.checkKey(key); error != ERROR_SUCCESS)
    return error;
  // A passive checkpoint syncs the log and copies what no reader still needs into the file;
  // it never waits for other processes.
  return run(Mode::Single, [](RegistryConnection &c) -> LONG {
    c.execute("PRAGMA wal_checkpoint(PASSIVE)");
    return ERROR_SUCCESS;
  });
}

} // namespace ce
