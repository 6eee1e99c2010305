#include "registry/registry_connection.h"

#include <ce/errors.h>

#include <new>
#include <sqlite3.h>
#include <thread>

namespace ce {

namespace {
// How long one statement waits for another process's lock before SQLite gives up on it.
constexpr int busyTimeoutMs = 5000;

void check(int rc) {
  if (rc != SQLITE_OK)
    throw RegistrySqlError{rc & 0xFF};
}
} // namespace

RegistryConnection::RegistryConnection(const std::filesystem::path &file) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw RegistrySqlError{rc & 0xFF};
  }
  try {
    check(sqlite3_busy_timeout(db_, busyTimeoutMs));
    // A new database gets pages of 2 KiB: a commit writes every page it changed to the log, so
    // smaller pages cut the bytes (and checksums) of each write, while keys of the usual path
    // lengths still fit their index pages whole. An existing database keeps its page size.
    execute("PRAGMA page_size=2048");
    // WAL lets readers run beside one writer and keeps every committed transaction across a
    // crash of any process. NORMAL syncs at checkpoints (and on RegFlushKey), not at each
    // commit: a killed process loses nothing; only a power cut may lose the latest commits.
    execute("PRAGMA journal_mode=WAL");
    execute("PRAGMA synchronous=NORMAL");
  } catch (...) {
    // Statements prepared before the failure would keep the connection open.
    close();
    throw;
  }
}

LONG RegistryConnection::open(const std::filesystem::path &file,
                              std::unique_ptr<RegistryConnection> &out) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    try {
      out = std::make_unique<RegistryConnection>(file);
      return ERROR_SUCCESS;
    } catch (const RegistrySqlError &e) {
      if (e.code != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline)
        return errorFor(e.code);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } catch (const std::bad_alloc &) {
      return ERROR_OUTOFMEMORY;
    }
  }
}

RegistryConnection::~RegistryConnection() { close(); }

void RegistryConnection::close() noexcept {
  for (auto &entry : statements_)
    sqlite3_finalize(entry.second);
  statements_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

RegistryStatement RegistryConnection::statement(const char *sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    sqlite3_stmt *prepared = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(prepared);
      throw RegistrySqlError{rc & 0xFF};
    }
    it = statements_.emplace(sql, prepared).first;
  }
  return RegistryStatement(it->second);
}

void RegistryConnection::execute(const char *sql) { statement(sql).run(); }

void RegistryConnection::executeScript(const char *sql) {
  check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

std::int64_t RegistryConnection::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int RegistryConnection::changes() const { return sqlite3_changes(db_); }

void RegistryConnection::keepFilesOnClose() {
  int keep = 1;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
}

void RegistryConnection::begin(Mode mode) {
  if (mode == Mode::Read)
    execute("BEGIN DEFERRED");
  if (mode == Mode::Write)
    execute("BEGIN IMMEDIATE");
}

void RegistryConnection::finish(Mode mode, bool commit) {
  if (mode == Mode::Single)
    return;
  // A read has nothing to keep; rolling it back and committing it are the same.
  execute(commit || mode == Mode::Read ? "COMMIT" : "ROLLBACK");
}

void RegistryConnection::abandon(Mode mode) noexcept {
  if (mode == Mode::Single || sqlite3_get_autocommit(db_))
    return;
  // ROLLBACK can only fail when SQLite already rolled back; either way no transaction stays.
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool RegistryConnection::retryable(int sqliteCode,
                                   std::chrono::steady_clock::time_point &deadline) {
  if (sqliteCode != SQLITE_BUSY)
    return false;
  const auto now = std::chrono::steady_clock::now();
  if (deadline == std::chrono::steady_clock::time_point{})
    deadline = now + std::chrono::seconds(30);
  if (now >= deadline)
    return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return true;
}

LONG RegistryConnection::errorFor(int sqliteCode) {
  switch (sqliteCode & 0xFF) {
  case SQLITE_OK:
    return ERROR_SUCCESS;
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return ERROR_BUSY;
  case SQLITE_NOMEM:
    return ERROR_OUTOFMEMORY;
  case SQLITE_READONLY:
  case SQLITE_PERM:
  case SQLITE_AUTH:
    return ERROR_ACCESS_DENIED;
  case SQLITE_FULL:
    return ERROR_DISK_FULL;
  case SQLITE_CANTOPEN:
    return ERROR_CANTOPEN;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
  case SQLITE_SCHEMA:
    return ERROR_BADDB;
  case SQLITE_TOOBIG:
  case SQLITE_RANGE:
  case SQLITE_MISMATCH:
    return ERROR_INVALID_PARAMETER;
  default:
    return ERROR_REGISTRY_IO_FAILED;
  }
}

} // namespace ce
