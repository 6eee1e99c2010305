// One SQLite connection to a device's registry database, with its prepared statements. A
// connection is used by one thread at a time (RegistryDatabase hands them out).
#pragma once

#include "registry/registry_sql_error.h"
#include "registry/registry_statement.h"

#include <ce/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <unordered_map>

struct sqlite3;

namespace ce {

class RegistryConnection {
public:
  enum class Mode {
    Single, // one statement, which SQLite runs as its own transaction
    Read,   // BEGIN DEFERRED: several reads that see one consistent state
    Write,  // BEGIN IMMEDIATE: takes the write lock first, so the commit cannot deadlock
  };

  // Opens the file (creating it when missing) in WAL mode with a busy timeout. Throws
  // RegistrySqlError when SQLite refuses.
  explicit RegistryConnection(const std::filesystem::path &file);
  // The same, waiting out another process that is switching a new file to WAL; a platform
  // error code when SQLite refuses.
  static LONG open(const std::filesystem::path &file, std::unique_ptr<RegistryConnection> &out);
  ~RegistryConnection();
  RegistryConnection(const RegistryConnection &) = delete;
  RegistryConnection &operator=(const RegistryConnection &) = delete;

  // A use of the statement for this SQL text; prepared once per connection. The text must be a
  // string literal (it is cached by address).
  RegistryStatement statement(const char *sql);
  void execute(const char *sql);
  // Runs several statements at once, without caching them (schema creation).
  void executeScript(const char *sql);
  std::int64_t lastInsertId() const;
  int changes() const;

  // Runs body (returning a platform error code) as one transaction: committed when it returns
  // ERROR_SUCCESS, rolled back otherwise. When another process holds the database busy beyond
  // the busy timeout, the whole body runs again until a deadline passes, so a write is either
  // committed or reported as failed, never dropped. Body must be safe to run again.
  template <class Body> LONG transaction(Mode mode, Body &&body);

  // Makes closing this connection leave the files beside the database (its log and shared
  // index) alone. Used when the database file was replaced or removed: those names may then
  // belong to another database, and removing them would lose its changes.
  void keepFilesOnClose();

  // The platform error code for a SQLite result code.
  static LONG errorFor(int sqliteCode);

private:
  // Finalizes every prepared statement, then closes the connection.
  void close() noexcept;
  void begin(Mode mode);
  void finish(Mode mode, bool commit);
  void abandon(Mode mode) noexcept;
  // True when the failure is worth another attempt (and waits a moment before it).
  // The deadline is set at the first failure, so calls that succeed never read the clock.
  static bool retryable(int sqliteCode, std::chrono::steady_clock::time_point &deadline);

  sqlite3 *db_ = nullptr;
  std::unordered_map<const char *, struct sqlite3_stmt *> statements_;
};

template <class Body> LONG RegistryConnection::transaction(Mode mode, Body &&body) {
  std::chrono::steady_clock::time_point deadline{};
  for (;;) {
    try {
      begin(mode);
      const LONG result = body();
      finish(mode, result == 0);
      return result;
    } catch (const RegistrySqlError &e) {
      abandon(mode);
      if (!retryable(e.code, deadline))
        return errorFor(e.code);
    } catch (...) {
      abandon(mode);
      throw;
    }
  }
}

} // namespace ce
