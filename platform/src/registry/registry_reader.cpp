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

bool keyExists(RegistryConnection &c, std::int64_t id) {
  return c.statement("SELECT 1 FROM registry_keys WHERE id = ?1").bind(1, id).step();
}

// Reads what the key holds (its subkeys too when asked) into out, whose written is set already.
void readContents(RegistryConnection &c, std::int64_t id, bool withSubkeys,
                  RegistryCachedKey &out) {
  out.values.clear();
  {
    auto s =
        c.statement("SELECT name, type, data FROM registry_values WHERE key_id = ?1 ORDER BY id");
    s.bind(1, id);
    while (s.step()) {
      auto &value = out.values.emplace_back();
      value.name = s.text(0);
      value.type = static_cast<DWORD>(s.integer(1));
      const auto data = s.blob(2);
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

RegistryReader::RegistryReader(std::filesystem::path file, const RegistryChangeCounter &changes,
                               std::size_t cacheBudget)
    : file_(std::move(file)), changes_(changes), forkGeneration_(RegistryForkGeneration::current()),
      cache_(cacheBudget) {}

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

std::size_t RegistryReader::cacheUsed() {
  std::lock_guard lock(mutex_);
  return cache_.used();
}

LONG RegistryReader::connect() {
  if (const auto generation = RegistryForkGeneration::current(); generation != forkGeneration_) {
    (void)connection_.release(); // the parent's; deliberately left open
    forkGeneration_ = generation;
    cache_.restart(RegistryCache::noVersion);
  }
  // Versions of the two kinds are not comparable; the count, once had, stays.
  if (!byCount_ && changes_.isOpen()) {
    byCount_ = true;
    cache_.restart(RegistryCache::noVersion);
  }
  if (connection_)
    return ERROR_SUCCESS;
  return RegistryConnection::open(file_, connection_);
}

LONG RegistryReader::checkCurrent(bool &usable) {
  if (byCount_) {
    const auto count = changes_.settled();
    usable = count.has_value();
    if (usable)
      catchUp(static_cast<std::int64_t>(*count));
    return ERROR_SUCCESS;
  }
  std::int64_t version = RegistryCache::noVersion;
  const LONG error = readAtState(version, [] { return ERROR_SUCCESS; });
  if (error != ERROR_SUCCESS)
    return error;
  adopt(version);
  usable = true;
  return ERROR_SUCCESS;
}

// The data version query begins the read transaction, and its statement stays active until body
// returns, so every statement of body reads the same state. (A statement left active holds the
// read transaction as BEGIN would, at no extra cost.) The change count is noted before that
// state is taken: a commit after the note moves the count, so the state holds every commit the
// noted count stands for.
template <class Body> LONG RegistryReader::readAtState(std::int64_t &version, Body &&body) {
  std::optional<std::uint64_t> count;
  if (byCount_)
    count = changes_.settled();
  return connection_->transaction(Mode::Single, [&]() -> LONG {
    auto pin = connection_->statement("PRAGMA data_version");
    const std::int64_t dataVersion = pin.step() ? pin.integer(0) : RegistryCache::noVersion;
    if (!byCount_)
      version = dataVersion;
    else
      version = count ? static_cast<std::int64_t>(*count) : RegistryCache::noVersion;
    return body();
  });
}

void RegistryReader::catchUp(std::int64_t version) {
  if (cache_.holds(version))
    return;
  const std::int64_t held = cache_.version();
  journal_.clear();
  if (!byCount_ || held == RegistryCache::noVersion || version < held ||
      !changes_.changesSince(static_cast<std::uint64_t>(held), journal_)) {
    cache_.restart(version);
    return;
  }
  using Change = RegistryChangeCounter::Change;
  for (const auto &[change, id] : journal_) {
    switch (change) {
    case Change::Key:
      cache_.forgetKey(id);
      break;
    case Change::Subkeys:
      forgetSubkeys(id);
      break;
    case Change::AbsentPaths:
      cache_.forgetAbsentPaths();
      break;
    case Change::Everything:
      cache_.restart(version);
      return;
    }
  }
  cache_.retag(version);
}

void RegistryReader::adopt(std::int64_t version) {
  if (version != RegistryCache::noVersion)
    catchUp(version);
}

RegistryCachedKey &RegistryReader::keep(std::int64_t id, RegistryCachedKey key,
                                        std::int64_t version) {
  if (version == RegistryCache::noVersion) {
    scratch_ = std::move(key);
    return scratch_;
  }
  adopt(version);
  return cache_.noteKey(id, std::move(key));
}

RegistryCachedKey *RegistryReader::held(std::int64_t id, bool withSubkeys) {
  RegistryCachedKey *key = cache_.findKey(id);
  return key && (key->subkeysRead || !withSubkeys) ? key : nullptr;
}

LONG RegistryReader::cachedKey(std::int64_t id, bool withSubkeys, RegistryCachedKey *&out) {
  if (const LONG error = connect(); error != ERROR_SUCCESS)
    return error;
  // What is kept is used once the database shows no commit since; what is not is read at once,
  // in a transaction that also tells the state it read.
  if (RegistryCachedKey *key = held(id, withSubkeys)) {
    bool usable = false;
    const std::int64_t version = cache_.version();
    if (const LONG error = checkCurrent(usable); error != ERROR_SUCCESS)
      return error;
    // Bringing the cache up to date may have dropped the key.
    if (usable && cache_.version() != version)
      key = held(id, withSubkeys);
    if (usable && key) {
      out = key;
      return ERROR_SUCCESS;
    }
  }
  RegistryCachedKey key;
  bool exists = false;
  std::int64_t version = RegistryCache::noVersion;
  const LONG error = readAtState(version, [&]() -> LONG {
    exists = readKey(*connection_, id, withSubkeys, key);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS)
    return error;
  if (!exists) {
    adopt(version);
    return ERROR_KEY_DELETED;
  }
  out = &keep(id, std::move(key), version);
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
  if (const std::int64_t *known = heldPath(from, foldedPath)) {
    bool usable = false;
    const std::int64_t version = cache_.version();
    if (const LONG error = checkCurrent(usable); error != ERROR_SUCCESS)
      return error;
    // Bringing the cache up to date may have dropped the path or its parent.
    if (usable && cache_.version() != version)
      known = heldPath(from, foldedPath);
    if (usable && known) {
      id = *known;
      return id != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
  }
  // One transaction checks (or reads) the parent, finds the key and reads it, so all agree.
  const bool parentHeld = isRoot(from) || cache_.findKey(from.id);
  std::int64_t version = RegistryCache::noVersion, found = 0;
  bool parentExists = false;
  RegistryCachedKey parent, key;
  const LONG error = readAtState(version, [&]() -> LONG {
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
  id = found;
  if (version == RegistryCache::noVersion) // read while a commit was in flight: not kept
    return found != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  if (!parentHeld)
    cache_.noteKey(from.id, std::move(parent));
  cache_.notePath(from.root, foldedPath, found);
  if (found != 0 && !cache_.findKey(found))
    cache_.noteKey(found, std::move(key));
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

bool RegistryReader::followsOwnCommit(const RegistryChangeCounter::Commit &commit) const {
  return byCount_ && commit.alone && cache_.holds(static_cast<std::int64_t>(commit.before()));
}

void RegistryReader::forgetSubkeys(std::int64_t id) {
  if (id == 0)
    return;
  cache_.changeKey(id, [](RegistryCachedKey &key) {
    key.subkeys.clear();
    key.subkeysRead = false;
  });
}

void RegistryReader::tookOwnChange(const RegistryChangeCounter::Commit &commit,
                                   const KeysCreated &change) {
  std::lock_guard lock(mutex_);
  if (!followsOwnCommit(commit))
    return;
  for (const auto &[path, id] : change.paths)
    cache_.notePath(change.root, path, id);
  if (change.touched != 0) {
    cache_.forgetKey(change.touched);
    forgetSubkeys(change.touchedParent);
  }
  cache_.retag(static_cast<std::int64_t>(commit.after()));
}

void RegistryReader::tookOwnChange(const RegistryChangeCounter::Commit &commit,
                                   const ValueChange &change) {
  std::lock_guard lock(mutex_);
  if (!followsOwnCommit(commit))
    return;
  cache_.changeKey(change.id, [&](RegistryCachedKey &key) {
    key.written = change.written;
    RegistryCachedValue *value = key.value(change.name);
    if (!change.type) {
      if (value)
        key.values.erase(key.values.begin() + (value - key.values.data()));
      return;
    }
    // A new value comes last in creation order; an existing one keeps its place and its name.
    if (!value) {
      value = &key.values.emplace_back();
      value->name = change.name;
    }
    value->type = *change.type;
    value->size = static_cast<DWORD>(change.data.size());
    value->held = change.data.size() <= largestHeldValue;
    if (value->held)
      value->data.assign(change.data.begin(), change.data.end());
    else
      value->data = {};
  });
  // The parent lists the key's time of last write among its subkeys.
  forgetSubkeys(change.parent);
  cache_.retag(static_cast<std::int64_t>(commit.after()));
}

} // namespace ce
