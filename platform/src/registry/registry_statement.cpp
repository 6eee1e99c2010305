#include "registry/registry_statement.h"

#include "registry/registry_sql_error.h"

#include <bit>
#include <cstring>
#include <sqlite3.h>

namespace ce {

// Names are kept as the host's char16_t bytes; every host we build for is little-endian, and the
// database format says little-endian, so a copy is the whole encoding.
static_assert(std::endian::native == std::endian::little);

RegistryStatement::~RegistryStatement() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

static void check(int rc) {
  if (rc != SQLITE_OK)
    throw RegistrySqlError{rc & 0xFF};
}

RegistryStatement &RegistryStatement::bind(int index, std::int64_t value) {
  check(sqlite3_bind_int64(statement_, index, value));
  return *this;
}

RegistryStatement &RegistryStatement::bind(int index, std::u16string_view text) {
  return bind(index, std::span<const BYTE>(reinterpret_cast<const BYTE *>(text.data()),
                                           text.size() * sizeof(char16_t)));
}

RegistryStatement &RegistryStatement::bind(int index, std::span<const BYTE> bytes) {
  // A null pointer would bind SQL NULL; a zero-length blob keeps "empty" distinct from "absent".
  if (bytes.empty())
    check(sqlite3_bind_zeroblob(statement_, index, 0));
  else
    check(sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_STATIC));
  return *this;
}

bool RegistryStatement::step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW)
    return true;
  if (rc == SQLITE_DONE)
    return false;
  throw RegistrySqlError{rc & 0xFF};
}

void RegistryStatement::run() {
  while (step()) {
  }
}

bool RegistryStatement::isNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t RegistryStatement::integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::u16string RegistryStatement::text(int column) const {
  const void *data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (!data && size > 0)
    throw RegistrySqlError{SQLITE_NOMEM};
  std::u16string out(static_cast<std::size_t>(size) / sizeof(char16_t), u'\0');
  if (data && !out.empty())
    std::memcpy(out.data(), data, out.size() * sizeof(char16_t));
  return out;
}

std::vector<BYTE> RegistryStatement::bytes(int column) const {
  const auto data = blob(column);
  return std::vector<BYTE>(data.begin(), data.end());
}

std::span<const BYTE> RegistryStatement::blob(int column) const {
  const void *data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (!data && size > 0)
    throw RegistrySqlError{SQLITE_NOMEM};
  if (!data)
    return {};
  return {static_cast<const BYTE *>(data), static_cast<std::size_t>(size)};
}

} // namespace ce
