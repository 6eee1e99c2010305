// Deleting a registry key with everything below it.
#pragma once

#include <ce/registry.h>

#include <string_view>

namespace RegistryTree {

// Deletes `path` below `parent` with all its descendants: the platform's delete first; when that
// fails, each subkey (depth first, by the same rule) and then the key once more. True when the
// key is gone (or was never there).
bool deleteKeyTree(HKEY parent, std::u16string_view path);

} // namespace RegistryTree
