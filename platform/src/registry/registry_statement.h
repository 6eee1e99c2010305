// One use of a prepared statement: binds parameters, steps through rows, and resets the
// statement when it goes out of scope so that the connection can reuse it.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace ce {

class RegistryStatement {
public:
  explicit RegistryStatement(sqlite3_stmt *statement) : statement_(statement) {}
  ~RegistryStatement();
  RegistryStatement(const RegistryStatement &) = delete;
  RegistryStatement &operator=(const RegistryStatement &) = delete;

  // Parameters are numbered from 1, as in the SQL text (?1, ?2, ...). Text and bytes are not
  // copied: they must stay in place until this use of the statement ends.
  RegistryStatement &bind(int index, std::int64_t value);
  // Text is stored as little-endian UTF-16 bytes so that every name comes back exactly as
  // given, lone surrogates included. An empty text binds an empty blob, never NULL.
  RegistryStatement &bind(int index, std::u16string_view text);
  RegistryStatement &bind(int index, std::span<const BYTE> bytes);

  // True when a row is ready, false when the statement is done; throws RegistrySqlError.
  bool step();
  // Runs a statement that returns no rows of interest.
  void run();

  bool isNull(int column) const;
  std::int64_t integer(int column) const;
  std::u16string text(int column) const;
  std::vector<BYTE> bytes(int column) const;
  // The column's bytes where SQLite holds them: valid until the next step or the end of this use.
  std::span<const BYTE> blob(int column) const;

private:
  sqlite3_stmt *statement_;
};

} // namespace ce
