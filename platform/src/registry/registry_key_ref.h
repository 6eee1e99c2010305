// Which key an open handle stands for, inside one registry database.
#pragma once

#include <cstdint>
#include <string>

namespace ce {

struct RegistryKeyRef {
  // Row id of the key. Ids are never reused, so a key deleted and created again under the same
  // path gets a new id and handles to the old one keep failing with ERROR_KEY_DELETED.
  std::int64_t id = 0;
  // Row id of the key's root (1 to 4, see RegistryDatabase::rootKey).
  std::int64_t root = 0;
  // The case-folded path below the root; empty for the root itself.
  std::u16string foldedPath;
};

} // namespace ce
