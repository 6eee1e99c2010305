#include "registry/registry_reader.h"

#include "registry/registry_fork_generation.h"
#include "registry/registry_path.h"

#include <ce/errors.h>

#include <algorithm>

namespace ce {

namespace {

using Mode = RegistryConnection::Mode;

// Values up to this size are kept; a larger one is read from the database each time.
constexpr std::size_t largestHeldValue = 4096;

bool isRoot(const RegistryKeyRef &key) { return key.id == key.root; }

// Runs body inside one read transaction, begun by the data version query: its statement stays
// active until body returns, so every statement of body reads the same state, that of version.
// (A statement left active holds the read transaction as BEGIN would, at no extra cost.)
template <class Body>
LONG readAtVersion(RegistryConnection &c, std::int64_t &version, Body &&body) {
  return c.transaction(Mode::Single, [&]() -> LONG {
    auto pin = c.statement("PRAGMA data_version");
    version = pin.step() ? pin.integer(0) : RegistryCache::noVersion;
    return body();
  });
}

bool keyExists(RegistryConnection &c, std::int64_t id) {
  return c.statement("SELECT 1 FROM registry_keys WHERE id = ?1").bind(1, id).step();
}

// Reads what the key holds (its subkeys too when asked) into out, whose written is set already.
void readContents(RegistryConnection &c, std::int64_t id, bool withSubkeys,
                  RegistryCachedKey &out) {
  out.values.clear();
  {
    auto s = c.statement(
        "SELECT name, folded_name, type, data FROM registry_values WHERE key_id = ?1 ORDER BY id");
    s.bind(1, id);
    while (s.step()) {
      auto &value = out.values.emplace_back();
      value.name = s.text(0);
      value.folded = s.text(1);
      value.type = static_cast<DWORD>(s.integer(2));
      const auto data = s.blob(3);
      value.size = static_cast<DWORD>(data.size());
      value.held = data.size() <= largestHeldValue;
      if (value.held)
        value.data.assign(data.begin(), data.end());
    }
  }
  out.subkeys.clear();
  out.subkeysRead = withSubkeys;
  if (withSubkeys) {
    auto s = c.statement("SELECT name, written FROM registry_keys WHERE parent = ?1 ORDER BY id");
    s.bind(1, id);
    while (s.step())
      out.subkeys.push_back({s.text(0), s.integer(1)});
  }
}

// Reads the key whole; false when it does not exist.
bool readKey(RegistryConnection &c, std::int64_t id, bool withSubkeys, RegistryCachedKey &out) {
  {
    auto s = c.statement("SELECT written FROM registry_keys WHERE id = ?1");
    if (!s.bind(1, id).step())
      return false;
    out.written = s.integer(0);
  }
  readContents(c, id, withSubkeys, out);
  return true;
}

} // namespace

RegistryReader::RegistryReader(std::filesystem::path file)
    : file_(std::move(file)), forkGeneration_(RegistryForkGeneration::current()) {}

RegistryReader::~RegistryReader() {
  // A connection opened before a fork is the parent's: left open.
  if (forkGeneration_ != RegistryForkGeneration::current())
    (void)connection_.release();
}

void RegistryReader::keepFilesOnClose() {
  std::lock_guard lock(mutex_);
  if (connection_ && forkGeneration_ == RegistryForkGeneration::current())
    connection_->keepFilesOnClose();
}

LONG RegistryReader::connect() {
  if (const auto generation = RegistryForkGeneration::current(); generation != forkGeneration_) {
    (void)connection_.release(); // the parent's; deliberately left open
    forkGeneration_ = generation;
    cache_.restart(RegistryCache::noVersion);
  }
  if (connection_)
    return ERROR_SUCCESS;
  return RegistryConnection::open(file_, connection_);
}

LONG RegistryReader::validate() {
  std::int64_t version = RegistryCache::noVersion;
  const LONG error = readAtVersion(*connection_, version, [] { return ERROR_SUCCESS; });
  if (error == ERROR_SUCCESS)
    adopt(version);
  return error;
}

void RegistryReader::adopt(std::int64_t version) {
  if (!cache_.holds(version))
    cache_.restart(version);
}

RegistryCachedKey *RegistryReader::held(std::int64_t id, bool withSubkeys) {
  RegistryCachedKey *key = cache_.findKey(id);
  return key && (key->subkeysRead || !withSubkeys) ? key : nullptr;
}

LONG RegistryReader::cachedKey(std::int64_t id, bool withSubkeys, RegistryCachedKey *&out) {
  if (const LONG error = connect(); error != ERROR_SUCCESS)
    return error;
  // What is kept is used once the database shows no commit since; what is not is read at once,
  // in a transaction that also tells the version.
  if (held(id, withSubkeys)) {
    if (const LONG error = validate(); error != ERROR_SUCCESS)
      return error;
    if ((out = held(id, withSubkeys)))
      return ERROR_SUCCESS;
  }
  RegistryCachedKey key;
  bool exists = false;
  std::int64_t version = RegistryCache::noVersion;
  const LONG error = readAtVersion(*connection_, version, [&]() -> LONG {
    exists = readKey(*connection_, id, withSubkeys, key);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS)
    return error;
  adopt(version);
  if (!exists)
    return ERROR_KEY_DELETED;
  out = &cache_.noteKey(id, std::move(key));
  return ERROR_SUCCESS;
}

const std::int64_t *RegistryReader::heldPath(const RegistryKeyRef &from,
                                             std::u16string_view foldedPath) {
  if (!isRoot(from) && !cache_.findKey(from.id))
    return nullptr;
  return cache_.findPath(from.root, foldedPath);
}

LONG RegistryReader::openKey(const RegistryKeyRef &from, std::u16string_view foldedPath,
                             std::int64_t &id) {
  std::lock_guard lock(mutex_);
  if (const LONG error = connect(); error != ERROR_SUCCESS)
    return error;
  if (heldPath(from, foldedPath)) {
    if (const LONG error = validate(); error != ERROR_SUCCESS)
      return error;
    if (const std::int64_t *known = heldPath(from, foldedPath)) {
      id = *known;
      return id != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
  }
  // One transaction checks (or reads) the parent, finds the key and reads it, so all agree.
  const bool parentHeld = isRoot(from) || cache_.findKey(from.id);
  std::int64_t version = RegistryCache::noVersion, found = 0;
  bool parentExists = false;
  RegistryCachedKey parent, key;
  const LONG error = readAtVersion(*connection_, version, [&]() -> LONG {
    if (isRoot(from))
      parentExists = true;
    else if (parentHeld)
      parentExists = keyExists(*connection_, from.id);
    else
      parentExists = readKey(*connection_, from.id, false, parent);
    found = 0;
    if (!parentExists)
      return ERROR_SUCCESS;
    auto s = connection_->statement(
        "SELECT id, written FROM registry_keys WHERE root = ?1 AND folded_path = ?2");
    s.bind(1, from.root).bind(2, foldedPath);
    if (!s.step())
      return ERROR_SUCCESS;
    found = s.integer(0);
    key.written = s.integer(1);
    readContents(*connection_, found, false, key);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS)
    return error;
  adopt(version);
  if (!parentExists)
    return ERROR_KEY_DELETED;
  if (!parentHeld)
    cache_.noteKey(from.id, std::move(parent));
  cache_.notePath(from.root, foldedPath, found);
  if (found != 0 && !cache_.findKey(found))
    cache_.noteKey(found, std::move(key));
  id = found;
  return found != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegistryReader::queryValue(const RegistryKeyRef &key, std::u16string_view name,
                                RegistryValueSink &sink) {
  std::lock_guard lock(mutex_);
  RegistryCachedKey *cached = nullptr;
  if (const LONG error = cachedKey(key.id, false, cached); error != ERROR_SUCCESS)
    return error;
  const RegistryCachedValue *value = cached->value(name);
  if (!value)
    return ERROR_FILE_NOT_FOUND;
  if (value->held) {
    sink.take(value->type, value->data);
    return ERROR_SUCCESS;
  }
  // Too large to keep: read it now, straight into the sink.
  std::u16string folded;
  RegistryPath::appendFolded(folded, name);
  return connection_->transaction(Mode::Single, [&]() -> LONG {
    auto s = connection_->statement(
        "SELECT v.type, v.data FROM registry_keys k LEFT JOIN registry_values v "
        "ON v.key_id = k.id AND v.folded_name = ?2 WHERE k.id = ?1");
    s.bind(1, key.id).bind(2, folded);
    if (!s.step())
      return ERROR_KEY_DELETED;
    if (s.isNull(0))
      return ERROR_FILE_NOT_FOUND;
    sink.take(static_cast<DWORD>(s.integer(0)), s.blob(1));
    return ERROR_SUCCESS;
  });
}

LONG RegistryReader::enumKey(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                             std::int64_t &written) {
  std::lock_guard lock(mutex_);
  RegistryCachedKey *cached = nullptr;
  if (const LONG error = cachedKey(key.id, true, cached); error != ERROR_SUCCESS)
    return error;
  if (index >= cached->subkeys.size())
    return ERROR_NO_MORE_ITEMS;
  name = cached->subkeys[index].name;
  written = cached->subkeys[index].written;
  return ERROR_SUCCESS;
}

LONG RegistryReader::enumValue(const RegistryKeyRef &key, DWORD index, std::u16string &name,
                               RegistryValueSink &sink) {
  std::lock_guard lock(mutex_);
  RegistryCachedKey *cached = nullptr;
  if (const LONG error = cachedKey(key.id, false, cached); error != ERROR_SUCCESS)
    return error;
  if (index >= cached->values.size())
    return ERROR_NO_MORE_ITEMS;
  const RegistryCachedValue &value = cached->values[index];
  if (value.held) {
    name = value.name;
    sink.take(value.type, value.data);
    return ERROR_SUCCESS;
  }
  // Too large to keep: read the index-th value now.
  return connection_->transaction(Mode::Read, [&]() -> LONG {
    if (!keyExists(*connection_, key.id))
      return ERROR_KEY_DELETED;
    auto s = connection_->statement("SELECT name, type, data FROM registry_values "
                                    "WHERE key_id = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    s.bind(1, key.id).bind(2, std::int64_t{index});
    if (!s.step())
      return ERROR_NO_MORE_ITEMS;
    name = s.text(0);
    sink.take(static_cast<DWORD>(s.integer(1)), s.blob(2));
    return ERROR_SUCCESS;
  });
}

LONG RegistryReader::queryInfo(const RegistryKeyRef &key, RegistryKeyInfo &out) {
  std::lock_guard lock(mutex_);
  RegistryCachedKey *cached = nullptr;
  if (const LONG error = cachedKey(key.id, true, cached); error != ERROR_SUCCESS)
    return error;
  out = RegistryKeyInfo{};
  out.lastWrite = cached->written;
  out.subKeys = static_cast<DWORD>(cached->subkeys.size());
  for (const auto &subkey : cached->subkeys)
    out.maxSubKeyLength = std::max(out.maxSubKeyLength, static_cast<DWORD>(subkey.name.size()));
  out.values = static_cast<DWORD>(cached->values.size());
  for (const auto &value : cached->values) {
    out.maxValueNameLength =
        std::max(out.maxValueNameLength, static_cast<DWORD>(value.name.size()));
    out.maxValueLength = std::max(out.maxValueLength, value.size);
  }
  return ERROR_SUCCESS;
}

LONG RegistryReader::checkKey(const RegistryKeyRef &key) {
  std::lock_guard lock(mutex_);
  RegistryCachedKey *cached = nullptr;
  return cachedKey(key.id, false, cached);
}

} // namespace ce
