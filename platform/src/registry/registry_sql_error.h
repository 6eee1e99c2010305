// A failed SQLite call inside the registry. Thrown only between the registry's own classes and
// always caught before it reaches the platform API, where it becomes an error code.
#pragma once

namespace ce {

struct RegistrySqlError {
  int code; // the primary SQLite result code (SQLITE_BUSY, SQLITE_CORRUPT, ...)
};

} // namespace ce
