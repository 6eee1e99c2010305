// Registry speed, each read beside the same lookups as prepared SQLite statements in one run:
// - a menu folder of 1,000 items read as the menu reads it (open the item's key, query name,
//   Icon, target, ItemPosition, hidden and falseLink, close), beside 7,000 prepared lookups of
//   the same data on an indexed table, each its own transaction or all in one; the side-by-side
//   benchmark alternates them and reports the ratios; the folder read right after a commit of
//   this process and after one of another process; and the folder's item keys listed in order;
// - a hot open of a seven-level key with one value query, beside a prepared key lookup and a
//   prepared value lookup;
// - a query on a key held open;
// - committed writes: one value in one process, an item key with its six values, and committed
//   writes per second with four writer processes on one device.
//
// Writer processes are this program started again through /proc/self/exe with
// CE_REGISTRY_BENCH_WRITER set; a static initializer runs their loop and exits before main.
#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int reportFd = 3;
constexpr const char16_t *sevenLevels =
    u"Security\\Shell\\StartInfo\\Start\\Programs\\Games\\Solitaire";
constexpr const char16_t *startTree = u"Security\\Shell\\StartInfo\\Start\\";
constexpr int folderItems = 1000;
constexpr DWORD textRoom = 510; // the menu's buffers for name, icon and target

std::filesystem::path makeRoot() {
  std::string pattern = "/tmp/ce-registry-bench-XXXXXX";
  if (!mkdtemp(pattern.data()))
    return {};
  return pattern;
}

std::u16string number(int n) {
  std::u16string digits = ce::toUtf16(std::to_string(n));
  return std::u16string(4 - std::min<std::size_t>(4, digits.size()), u'0') + digits;
}

// One menu item as stored: three texts and three numbers.
struct Item {
  std::u16string keyPath; // below HKEY_LOCAL_MACHINE
  std::u16string name, icon, target;
  DWORD position = 0;
};

std::vector<Item> folderOfItems() {
  std::vector<Item> items;
  for (int i = 0; i < folderItems; ++i) {
    const std::u16string n = number(i);
    items.push_back({startTree + (u"programs\\item" + n + u".lnk"), u"Item " + n,
                     u"\\Program Files\\Vireta\\resources\\item" + n + u".png",
                     u"\\Program Files\\App" + n + u"\\app" + n + u".exe", static_cast<DWORD>(i)});
  }
  return items;
}

const BYTE *bytesOf(const std::u16string &text) {
  return reinterpret_cast<const BYTE *>(text.data());
}
DWORD sizeOf(const std::u16string &text) { return static_cast<DWORD>(text.size() * 2); }

void writeItem(const Item &item) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, item.keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  const DWORD zero = 0;
  RegSetValueExW(key, u"name", 0, REG_SZ, bytesOf(item.name), sizeOf(item.name));
  RegSetValueExW(key, u"Icon", 0, REG_SZ, bytesOf(item.icon), sizeOf(item.icon));
  RegSetValueExW(key, u"target", 0, REG_SZ, bytesOf(item.target), sizeOf(item.target));
  RegSetValueExW(key, u"ItemPosition", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&item.position),
                 4);
  RegSetValueExW(key, u"hidden", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&zero), 4);
  RegSetValueExW(key, u"falseLink", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&zero), 4);
  RegCloseKey(key);
}

// What the menu keeps of an item it reads.
struct ItemRead {
  BYTE name[textRoom], icon[textRoom], target[textRoom];
  DWORD position = 0, hidden = 0, falseLink = 0;
};

// Reads every item as the menu does; false when a call failed.
bool readFolderFromRegistry(const std::vector<std::u16string> &paths, ItemRead &out) {
  for (const auto &path : paths) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return false;
    DWORD type = 0, size = textRoom;
    LONG failed = RegQueryValueExW(key, u"name", nullptr, &type, out.name, &size);
    size = textRoom;
    failed |= RegQueryValueExW(key, u"Icon", nullptr, &type, out.icon, &size);
    size = textRoom;
    failed |= RegQueryValueExW(key, u"target", nullptr, &type, out.target, &size);
    size = 4;
    failed |= RegQueryValueExW(key, u"ItemPosition", nullptr, &type,
                               reinterpret_cast<BYTE *>(&out.position), &size);
    size = 4;
    failed |= RegQueryValueExW(key, u"hidden", nullptr, &type,
                               reinterpret_cast<BYTE *>(&out.hidden), &size);
    size = 4;
    failed |= RegQueryValueExW(key, u"falseLink", nullptr, &type,
                               reinterpret_cast<BYTE *>(&out.falseLink), &size);
    RegCloseKey(key);
    if (failed)
      return false;
    benchmark::DoNotOptimize(out);
  }
  return true;
}

// The same data in a plain SQLite database (WAL, as the registry) with an indexed table of keys
// and one of values, read through prepared statements: the speed of SQLite itself. Paths and
// names are stored and looked up in lower case, so no folding is done here.
class SqliteBaseline {
public:
  explicit SqliteBaseline(const std::filesystem::path &file) {
    sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db_,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, path BLOB UNIQUE);"
                 "CREATE TABLE IF NOT EXISTS vals(key_id INTEGER, name BLOB, type INTEGER, "
                 "data BLOB, PRIMARY KEY(key_id, name));",
                 nullptr, nullptr, nullptr);
    sqlite3_prepare_v3(db_, "SELECT id FROM keys WHERE path = ?1", -1, SQLITE_PREPARE_PERSISTENT,
                       &findKey_, nullptr);
    sqlite3_prepare_v3(db_, "SELECT type, data FROM vals WHERE key_id = ?1 AND name = ?2", -1,
                       SQLITE_PREPARE_PERSISTENT, &findValue_, nullptr);
  }
  ~SqliteBaseline() {
    sqlite3_finalize(findKey_);
    sqlite3_finalize(findValue_);
    sqlite3_close_v2(db_);
  }
  SqliteBaseline(const SqliteBaseline &) = delete;
  SqliteBaseline &operator=(const SqliteBaseline &) = delete;

  void store(const std::vector<Item> &items) {
    sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *addKey = nullptr, *addValue = nullptr;
    sqlite3_prepare_v2(db_, "INSERT INTO keys(path) VALUES (?1)", -1, &addKey, nullptr);
    sqlite3_prepare_v2(db_, "INSERT INTO vals VALUES (?1, ?2, ?3, ?4)", -1, &addValue, nullptr);
    const DWORD zero = 0;
    for (const auto &item : items) {
      const std::u16string path = ce::foldCase(item.keyPath);
      sqlite3_bind_blob(addKey, 1, path.data(), static_cast<int>(path.size() * 2),
                        SQLITE_TRANSIENT);
      sqlite3_step(addKey);
      sqlite3_reset(addKey);
      const sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
      const auto add = [&](std::u16string_view name, DWORD type, const void *data, int size) {
        sqlite3_bind_int64(addValue, 1, id);
        sqlite3_bind_blob(addValue, 2, name.data(), static_cast<int>(name.size() * 2),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(addValue, 3, type);
        sqlite3_bind_blob(addValue, 4, data, size, SQLITE_TRANSIENT);
        sqlite3_step(addValue);
        sqlite3_reset(addValue);
      };
      add(u"name", REG_SZ, item.name.data(), static_cast<int>(sizeOf(item.name)));
      add(u"icon", REG_SZ, item.icon.data(), static_cast<int>(sizeOf(item.icon)));
      add(u"target", REG_SZ, item.target.data(), static_cast<int>(sizeOf(item.target)));
      add(u"itemposition", REG_DWORD, &item.position, 4);
      add(u"hidden", REG_DWORD, &zero, 4);
      add(u"falselink", REG_DWORD, &zero, 4);
    }
    sqlite3_finalize(addKey);
    sqlite3_finalize(addValue);
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }

  // The key's id, 0 when there is none.
  sqlite3_int64 key(std::u16string_view foldedPath) {
    sqlite3_bind_blob(findKey_, 1, foldedPath.data(), static_cast<int>(foldedPath.size() * 2),
                      SQLITE_STATIC);
    const sqlite3_int64 id =
        sqlite3_step(findKey_) == SQLITE_ROW ? sqlite3_column_int64(findKey_, 0) : 0;
    sqlite3_reset(findKey_);
    return id;
  }

  // Copies the value into data as RegQueryValueExW does; false when missing or too large.
  bool value(sqlite3_int64 key, std::u16string_view foldedName, BYTE *data, DWORD room) {
    sqlite3_bind_int64(findValue_, 1, key);
    sqlite3_bind_blob(findValue_, 2, foldedName.data(), static_cast<int>(foldedName.size() * 2),
                      SQLITE_STATIC);
    bool found = false;
    if (sqlite3_step(findValue_) == SQLITE_ROW) {
      const auto size = static_cast<DWORD>(sqlite3_column_bytes(findValue_, 1));
      found = size <= room;
      if (found)
        std::memcpy(data, sqlite3_column_blob(findValue_, 1), size);
    }
    sqlite3_reset(findValue_);
    return found;
  }

  void exec(const char *sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

private:
  sqlite3 *db_ = nullptr;
  sqlite3_stmt *findKey_ = nullptr;
  sqlite3_stmt *findValue_ = nullptr;
};

bool readItemsFromSqlite(SqliteBaseline &sqlite, const std::vector<std::u16string> &foldedPaths,
                         ItemRead &out) {
  for (const auto &path : foldedPaths) {
    const sqlite3_int64 key = sqlite.key(path);
    const bool found =
        key != 0 && sqlite.value(key, u"name", out.name, textRoom) &&
        sqlite.value(key, u"icon", out.icon, textRoom) &&
        sqlite.value(key, u"target", out.target, textRoom) &&
        sqlite.value(key, u"itemposition", reinterpret_cast<BYTE *>(&out.position), 4) &&
        sqlite.value(key, u"hidden", reinterpret_cast<BYTE *>(&out.hidden), 4) &&
        sqlite.value(key, u"falselink", reinterpret_cast<BYTE *>(&out.falseLink), 4);
    if (!found)
      return false;
    benchmark::DoNotOptimize(out);
  }
  return true;
}

// Each lookup is its own transaction, as each registry call is; with oneTransaction the whole
// folder is read inside one, which spares SQLite its locking per lookup.
bool readFolderFromSqlite(SqliteBaseline &sqlite, const std::vector<std::u16string> &foldedPaths,
                          ItemRead &out, bool oneTransaction = false) {
  if (oneTransaction)
    sqlite.exec("BEGIN");
  const bool done = readItemsFromSqlite(sqlite, foldedPaths, out);
  if (oneTransaction)
    sqlite.exec("COMMIT");
  return done;
}

// A device whose registry holds one menu folder of items, and the same data in a plain SQLite
// database beside it. Made once for the benchmarks that read it.
struct MenuFolder {
  MenuFolder() : root(makeRoot()) {
    ce::DeviceRoot::use(root);
    const auto items = folderOfItems();
    for (const auto &item : items) {
      writeItem(item);
      paths.push_back(item.keyPath);
      foldedPaths.push_back(ce::foldCase(item.keyPath));
    }
    sqlite = std::make_unique<SqliteBaseline>(root / "baseline.db");
    sqlite->store(items);
  }
  ~MenuFolder() {
    sqlite.reset();
    std::filesystem::remove_all(root);
  }
  MenuFolder(const MenuFolder &) = delete;
  MenuFolder &operator=(const MenuFolder &) = delete;

  std::filesystem::path root;
  std::vector<std::u16string> paths, foldedPaths;
  std::unique_ptr<SqliteBaseline> sqlite;
};

MenuFolder &menuFolder() {
  static MenuFolder folder;
  ce::DeviceRoot::use(folder.root);
  return folder;
}

void BM_MenuFolderFromRegistry(benchmark::State &state) {
  MenuFolder &folder = menuFolder();
  ItemRead read;
  for (auto _ : state) {
    if (!readFolderFromRegistry(folder.paths, read)) {
      state.SkipWithError("a registry read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * folderItems);
}
BENCHMARK(BM_MenuFolderFromRegistry)->Unit(benchmark::kMillisecond);

pid_t spawnWriter(int id, const std::filesystem::path &root, double seconds, int &output);

// The folder read right after this process committed a value elsewhere, as the menu reads it
// after its loader wrote a position: the process's cache takes its own change, so what it kept
// stays valid.
void BM_MenuFolderFromRegistryAfterOwnCommit(benchmark::State &state) {
  MenuFolder &folder = menuFolder();
  ItemRead read;
  HKEY other = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Bench\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &other, nullptr);
  DWORD counter = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ++counter;
    RegSetValueExW(other, u"counter", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&counter), 4);
    state.ResumeTiming();
    if (!readFolderFromRegistry(folder.paths, read)) {
      state.SkipWithError("a registry read failed");
      break;
    }
  }
  RegCloseKey(other);
  state.SetItemsProcessed(state.iterations() * folderItems);
}
BENCHMARK(BM_MenuFolderFromRegistryAfterOwnCommit)->Unit(benchmark::kMillisecond);

// The folder read right after another process committed a value elsewhere: nothing this
// process kept is known to be valid any more, so every key is read from the database again.
void BM_MenuFolderFromRegistryAfterCommitElsewhere(benchmark::State &state) {
  MenuFolder &folder = menuFolder();
  ItemRead read;
  for (auto _ : state) {
    state.PauseTiming();
    int output = -1;
    const pid_t writer = spawnWriter(0, folder.root, 0, output);
    std::uint64_t writes = 0;
    const bool committed =
        writer > 0 && ::read(output, &writes, sizeof writes) == sizeof writes && writes > 0;
    int status = 0;
    if (writer > 0)
      waitpid(writer, &status, 0);
    ::close(output);
    state.ResumeTiming();
    if (!committed) {
      state.SkipWithError("the writer did not commit");
      break;
    }
    if (!readFolderFromRegistry(folder.paths, read)) {
      state.SkipWithError("a registry read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * folderItems);
}
BENCHMARK(BM_MenuFolderFromRegistryAfterCommitElsewhere)->Unit(benchmark::kMillisecond);

// The menu listing a folder: count its item keys, then take each name in creation order.
void BM_EnumerateMenuFolder(benchmark::State &state) {
  menuFolder();
  const std::u16string folderPath = std::u16string(startTree) + u"programs";
  for (auto _ : state) {
    HKEY folder = nullptr;
    DWORD count = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, folderPath.c_str(), 0, KEY_READ, &folder) != 0 ||
        RegQueryInfoKeyW(folder, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != 0 ||
        count != folderItems) {
      state.SkipWithError("the folder key could not be read");
      break;
    }
    for (DWORD i = 0; i < count; ++i) {
      char16_t name[256];
      DWORD length = 256;
      RegEnumKeyExW(folder, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      benchmark::DoNotOptimize(name);
    }
    RegCloseKey(folder);
  }
  state.SetItemsProcessed(state.iterations() * folderItems);
}
BENCHMARK(BM_EnumerateMenuFolder)->Unit(benchmark::kMillisecond);

void menuFolderFromSqlite(benchmark::State &state, bool oneTransaction) {
  MenuFolder &folder = menuFolder();
  ItemRead read;
  for (auto _ : state) {
    if (!readFolderFromSqlite(*folder.sqlite, folder.foldedPaths, read, oneTransaction)) {
      state.SkipWithError("a SQLite lookup failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * folderItems);
}
void BM_MenuFolderFromSqlite(benchmark::State &state) { menuFolderFromSqlite(state, false); }
BENCHMARK(BM_MenuFolderFromSqlite)->Unit(benchmark::kMillisecond);
void BM_MenuFolderFromSqliteOneTransaction(benchmark::State &state) {
  menuFolderFromSqlite(state, true);
}
BENCHMARK(BM_MenuFolderFromSqliteOneTransaction)->Unit(benchmark::kMillisecond);

// The three readings of the folder in turn, so that a busy machine slows them alike; the time is
// that of all three. Counters: milliseconds per folder each way, and the registry's time as a
// multiple of SQLite's with a transaction per lookup (ratio) and with one for the whole folder
// (ratio_one_transaction).
void BM_MenuFolderSideBySide(benchmark::State &state) {
  MenuFolder &folder = menuFolder();
  ItemRead read;
  using Clock = std::chrono::steady_clock;
  Clock::duration registry{}, sqlite{}, sqliteOneTransaction{};
  for (auto _ : state) {
    const auto start = Clock::now();
    bool done = readFolderFromRegistry(folder.paths, read);
    const auto afterRegistry = Clock::now();
    done &= readFolderFromSqlite(*folder.sqlite, folder.foldedPaths, read);
    const auto afterSqlite = Clock::now();
    done &= readFolderFromSqlite(*folder.sqlite, folder.foldedPaths, read, true);
    const auto end = Clock::now();
    if (!done) {
      state.SkipWithError("a read failed");
      break;
    }
    registry += afterRegistry - start;
    sqlite += afterSqlite - afterRegistry;
    sqliteOneTransaction += end - afterSqlite;
  }
  const double runs = static_cast<double>(state.iterations());
  const auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / runs;
  };
  state.counters["registry_ms"] = ms(registry);
  state.counters["sqlite_ms"] = ms(sqlite);
  state.counters["sqlite_one_transaction_ms"] = ms(sqliteOneTransaction);
  state.counters["ratio"] = ms(registry) / ms(sqlite);
  state.counters["ratio_one_transaction"] = ms(registry) / ms(sqliteOneTransaction);
}
BENCHMARK(BM_MenuFolderSideBySide)->Unit(benchmark::kMillisecond);

// Writer process: commits values on its own key until its time is up (one at least), then
// reports the count.
[[noreturn]] void runWriter(const char *id) {
  const double seconds = std::atof(std::getenv("CE_REGISTRY_BENCH_SECONDS"));
  HKEY key = nullptr;
  const std::u16string path = u"Bench\\Writer" + ce::toUtf16(id);
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    _exit(1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::uint64_t writes = 0;
  do {
    const DWORD value = static_cast<DWORD>(writes);
    const std::u16string name = u"v" + ce::toUtf16(std::to_string(writes % 256));
    if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                       4) != ERROR_SUCCESS)
      _exit(1);
    ++writes;
  } while (std::chrono::steady_clock::now() < end);
  _exit(::write(reportFd, &writes, sizeof writes) == sizeof writes ? 0 : 1);
}

const bool writerRan = [] {
  if (const char *id = std::getenv("CE_REGISTRY_BENCH_WRITER"))
    runWriter(id);
  return false;
}();

pid_t spawnWriter(int id, const std::filesystem::path &root, double seconds, int &output) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::strncmp(*e, "CE_DEVICE=", 10) != 0)
      env.emplace_back(*e);
  env.push_back("CE_DEVICE=" + root.string());
  env.push_back("CE_REGISTRY_BENCH_WRITER=" + std::to_string(id));
  env.push_back("CE_REGISTRY_BENCH_SECONDS=" + std::to_string(seconds));
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], reportFd);
  char exe[] = "/proc/self/exe";
  char *argv[] = {exe, nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, exe, &actions, nullptr, argv, envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  output = fds[0];
  return pid;
}

// A device with the seven-level key holding ItemPosition, and the same in plain SQLite.
struct SevenLevelKey {
  SevenLevelKey() : root(makeRoot()), sqlite(root / "baseline.db") {
    ce::DeviceRoot::use(root);
    Item item{sevenLevels, u"Solitaire", u"\\icons\\solitaire.png", u"\\Windows\\solitaire.exe", 7};
    writeItem(item);
    sqlite.store({item});
  }
  ~SevenLevelKey() { std::filesystem::remove_all(root); }
  std::filesystem::path root;
  SqliteBaseline sqlite;
};

void BM_OpenSevenLevelKeyAndQuery(benchmark::State &state) {
  SevenLevelKey device;
  for (auto _ : state) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sevenLevels, 0, KEY_READ, &open) != ERROR_SUCCESS) {
      state.SkipWithError("open failed");
      break;
    }
    DWORD value = 0, size = 4;
    RegQueryValueExW(open, u"itemposition", nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                     &size);
    benchmark::DoNotOptimize(value);
    RegCloseKey(open);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenSevenLevelKeyAndQuery);

void BM_SevenLevelLookupSqlite(benchmark::State &state) {
  SevenLevelKey device;
  const std::u16string folded = ce::foldCase(sevenLevels);
  for (auto _ : state) {
    DWORD value = 0;
    const sqlite3_int64 key = device.sqlite.key(folded);
    if (key == 0 ||
        !device.sqlite.value(key, u"itemposition", reinterpret_cast<BYTE *>(&value), 4)) {
      state.SkipWithError("lookup failed");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SevenLevelLookupSqlite);

void BM_QueryOnOpenKey(benchmark::State &state) {
  SevenLevelKey device;
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, sevenLevels, 0, KEY_READ, &key);
  BYTE buffer[textRoom];
  for (auto _ : state) {
    DWORD size = sizeof buffer;
    RegQueryValueExW(key, u"target", nullptr, nullptr, buffer, &size);
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
  RegCloseKey(key);
}
BENCHMARK(BM_QueryOnOpenKey);

void BM_CommittedWriteOneProcess(benchmark::State &state) {
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  DWORD value = 0;
  for (auto _ : state) {
    ++value;
    RegSetValueExW(key, u"counter", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
  }
  state.SetItemsProcessed(state.iterations());
  RegCloseKey(key);
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_CommittedWriteOneProcess);

// The menu's loader writing a new item: create its key, commit six values, close it.
void BM_WriteNewItem(benchmark::State &state) {
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  int n = 0;
  for (auto _ : state) {
    const std::u16string id = ce::toUtf16(std::to_string(n++));
    writeItem({startTree + (u"programs\\item" + id + u".lnk"), u"Item " + id,
               u"\\icons\\item" + id + u".png", u"\\Program Files\\app.exe",
               static_cast<DWORD>(n)});
  }
  state.SetItemsProcessed(state.iterations());
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_WriteNewItem);

void BM_CommittedWritesFourProcesses(benchmark::State &state) {
  constexpr int writers = 4;
  constexpr double seconds = 2.0;
  const auto root = makeRoot();
  ce::DeviceRoot::use(root);
  // Create the database before the writers start, as a booted device has it.
  RegFlushKey(HKEY_LOCAL_MACHINE);
  std::uint64_t total = 0;
  double elapsed = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    pid_t pids[writers];
    int outputs[writers];
    for (int i = 0; i < writers; ++i)
      pids[i] = spawnWriter(i, root, seconds, outputs[i]);
    for (int i = 0; i < writers; ++i) {
      std::uint64_t writes = 0;
      if (pids[i] < 0 || ::read(outputs[i], &writes, sizeof writes) != sizeof writes)
        state.SkipWithError("a writer failed");
      total += writes;
      int status = 0;
      if (pids[i] > 0)
        waitpid(pids[i], &status, 0);
      ::close(outputs[i]);
    }
    elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  state.counters["writes_per_second"] = static_cast<double>(total) / (seconds * state.iterations());
  state.counters["wall_seconds"] = elapsed;
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_CommittedWritesFourProcesses)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
