// Several threads and several processes on one registry, and a writer killed mid-run.
//
// Child processes are this test program started again through /proc/self/exe with
// CE_REGISTRY_CHILD set: a static initializer below runs the child's part and exits before any
// test runs, so the child never inherits an open database from the parent.
#include "registry_test_root.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using namespace registry_test;

namespace {

constexpr int reportFd = 3; // the child's end of the pipe to its parent

std::u16string indexed(const char16_t *prefix, unsigned n) {
  return prefix + ce::toUtf16(std::to_string(n));
}

unsigned envNumber(const char *name) {
  const char *text = std::getenv(name);
  return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 0;
}

void report(const void *data, std::size_t size) {
  const char *bytes = static_cast<const char *>(data);
  while (size > 0) {
    const ssize_t n = ::write(reportFd, bytes, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      _exit(3);
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::vector<BYTE> patternFor(unsigned j) {
  std::vector<BYTE> data(64);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<BYTE>(j * 31 + i);
  return data;
}

// Child "writer": its own values, a value on a key all writers share, and a race with the other
// writers to create the same keys. Reports how many of those keys it created; exits 1 on any
// failed call.
int runWriter() {
  const unsigned id = envNumber("CE_REGISTRY_CHILD_ID");
  const unsigned count = envNumber("CE_REGISTRY_CHILD_COUNT");
  HKEY own = nullptr, shared = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, indexed(u"Software\\Shared\\Writer", id).c_str(), 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &own, nullptr) ||
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &shared, nullptr))
    return 1;
  unsigned created = 0;
  for (unsigned j = 0; j < count; ++j) {
    if (setDword(own, indexed(u"v", j).c_str(), j * 10 + id))
      return 1;
    if (setDword(shared, indexed(u"last", id).c_str(), j))
      return 1;
    HKEY race = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, indexed(u"Software\\Shared\\Race\\K", j).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &race, &disposition))
      return 1;
    created += disposition == REG_CREATED_NEW_KEY;
    if (setDword(race, indexed(u"by", id).c_str(), j))
      return 1;
    RegCloseKey(race);
  }
  report(&created, sizeof created);
  return 0;
}

// Child "endless": writes values until it is killed, reporting each index once its write has
// been committed.
int runEndless() {
  const unsigned first = envNumber("CE_REGISTRY_CHILD_ID");
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Crash", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr))
    return 1;
  for (unsigned j = first;; ++j) {
    const auto data = patternFor(j);
    if (RegSetValueExW(key, indexed(u"v", j).c_str(), 0, REG_BINARY, data.data(),
                       static_cast<DWORD>(data.size())))
      return 1;
    if (j % 8 == 0) {
      HKEY sub = nullptr;
      if (RegCreateKeyExW(key, indexed(u"Sub", j).c_str(), 0, nullptr, 0, 0, nullptr, &sub,
                          nullptr))
        return 1;
      RegCloseKey(sub);
    }
    report(&j, sizeof j);
  }
}

const bool childRan = [] {
  const char *role = std::getenv("CE_REGISTRY_CHILD");
  if (!role)
    return false;
  int code = 2;
  if (std::strcmp(role, "writer") == 0)
    code = runWriter();
  if (std::strcmp(role, "endless") == 0)
    code = runEndless();
  _exit(code);
}();

struct Child {
  pid_t pid = -1;
  int output = -1; // read end of the child's report pipe
};

Child spawnChild(const char *role, const std::filesystem::path &root,
                 std::map<std::string, std::string> extra = {}) {
  extra["CE_REGISTRY_CHILD"] = role;
  extra["CE_DEVICE"] = root.string();
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string entry(*e);
    if (!extra.count(entry.substr(0, entry.find('='))))
      env.push_back(entry);
  }
  for (const auto &[name, value] : extra)
    env.push_back(name + "=" + value);
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], reportFd);
  char exe[] = "/proc/self/exe";
  char *argv[] = {exe, nullptr};
  Child child;
  if (posix_spawn(&child.pid, exe, &actions, nullptr, argv, envp.data()) != 0)
    child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  child.output = pipeFds[0];
  return child;
}

// Reads until `size` bytes arrived; false at end of the pipe.
bool readExactly(int fd, void *data, std::size_t size) {
  char *bytes = static_cast<char *>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, bytes, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int waitExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

using RegistryConcurrency = RegistryTest;

TEST_F(RegistryConcurrency, ProcessesWritingAtOnceLoseNothing) {
  ASSERT_FALSE(childRan);
  constexpr unsigned writers = 4, count = 150;
  std::vector<Child> children;
  for (unsigned i = 0; i < writers; ++i) {
    children.push_back(spawnChild("writer", root,
                                  {{"CE_REGISTRY_CHILD_ID", std::to_string(i)},
                                   {"CE_REGISTRY_CHILD_COUNT", std::to_string(count)}}));
    ASSERT_GT(children.back().pid, 0);
  }
  // Read alongside the writers: every read either succeeds or finds the key not there yet.
  std::atomic<bool> writing{true};
  std::thread reader([&] {
    while (writing) {
      HKEY race = nullptr;
      const LONG error =
          RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Shared\\Race", 0, KEY_READ, &race);
      EXPECT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << error;
      if (error != ERROR_SUCCESS)
        continue;
      const auto names = subkeyNames(race);
      for (std::size_t j = 0; j < names.size(); ++j)
        EXPECT_EQ(names[j], indexed(u"K", static_cast<unsigned>(j)));
      RegCloseKey(race);
    }
  });
  unsigned createdTotal = 0;
  for (auto &child : children) {
    unsigned created = 0;
    EXPECT_TRUE(readExactly(child.output, &created, sizeof created));
    createdTotal += created;
    const int status = waitExit(child.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(child.output);
  }
  writing = false;
  reader.join();

  // Each race key was created by exactly one writer, in order, with every writer's value.
  EXPECT_EQ(createdTotal, count);
  HKEY race = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Shared\\Race", 0, KEY_READ, &race), 0);
  const auto names = subkeyNames(race);
  ASSERT_EQ(names.size(), count);
  for (unsigned j = 0; j < count; ++j) {
    EXPECT_EQ(names[j], indexed(u"K", j));
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(race, names[j].c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(k).size(), writers);
    RegCloseKey(k);
  }
  RegCloseKey(race);
  HKEY shared = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Shared", 0, KEY_READ, &shared), 0);
  for (unsigned i = 0; i < writers; ++i) {
    EXPECT_EQ(readDword(shared, indexed(u"last", i).c_str()), count - 1);
    HKEY own = nullptr;
    ASSERT_EQ(RegOpenKeyExW(shared, indexed(u"Writer", i).c_str(), 0, KEY_READ, &own), 0);
    const auto values = valueNames(own);
    ASSERT_EQ(values.size(), count);
    for (unsigned j = 0; j < count; ++j) {
      EXPECT_EQ(values[j], indexed(u"v", j));
      EXPECT_EQ(readDword(own, values[j].c_str()), j * 10 + i);
    }
    RegCloseKey(own);
  }
  RegCloseKey(shared);
}

TEST_F(RegistryConcurrency, WriterKilledMidRunLeavesEveryCommittedValue) {
  std::set<unsigned> committed;
  unsigned next = 0;
  for (int round = 0; round < 8; ++round) {
    Child child = spawnChild("endless", root, {{"CE_REGISTRY_CHILD_ID", std::to_string(next)}});
    ASSERT_GT(child.pid, 0);
    unsigned j = 0;
    for (unsigned seen = 0; seen < 50 && readExactly(child.output, &j, sizeof j); ++seen)
      committed.insert(j);
    ::kill(child.pid, SIGKILL);
    const int status = waitExit(child.pid);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
    while (readExactly(child.output, &j, sizeof j))
      committed.insert(j); // reported before death
    ::close(child.output);
    next = *committed.rbegin() + 1;
  }
  ASSERT_GE(committed.size(), 300u);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Crash", 0, KEY_READ, &key), 0);
  for (unsigned j : committed) {
    LONG error = -1;
    EXPECT_EQ(readBytes(key, indexed(u"v", j).c_str(), &error), patternFor(j)) << j;
    EXPECT_EQ(error, ERROR_SUCCESS);
    if (j % 8 == 0) {
      HKEY sub = nullptr;
      EXPECT_EQ(RegOpenKeyExW(key, indexed(u"Sub", j).c_str(), 0, 0, &sub), ERROR_SUCCESS) << j;
      RegCloseKey(sub);
    }
  }
  // The database goes on taking writes after the crashes.
  EXPECT_EQ(setDword(key, u"after", 1), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u"after"), 1u);
  RegCloseKey(key);
}

TEST_F(RegistryConcurrency, ThreadsShareTheRegistrySafely) {
  constexpr unsigned threads = 8, count = 60;
  std::atomic<unsigned> created{0};
  std::atomic<unsigned> failures{0};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      HKEY own = createKey(HKEY_CURRENT_USER, indexed(u"Threads\\T", t).c_str());
      for (unsigned j = 0; j < count; ++j) {
        failures += setDword(own, indexed(u"v", j).c_str(), t * 1000 + j) != ERROR_SUCCESS;
        failures += readDword(own, indexed(u"v", j).c_str()) != t * 1000 + j;
        HKEY race = nullptr;
        DWORD disposition = 0;
        failures += RegCreateKeyExW(HKEY_CURRENT_USER, indexed(u"Threads\\Race\\K", j).c_str(), 0,
                                    nullptr, 0, 0, nullptr, &race, &disposition) != 0;
        created += disposition == REG_CREATED_NEW_KEY;
        failures += RegCloseKey(race) != ERROR_SUCCESS;
      }
      RegCloseKey(own);
    });
  }
  for (auto &w : workers)
    w.join();
  EXPECT_EQ(failures, 0u);
  EXPECT_EQ(created, count);
  HKEY threadsKey = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Threads", 0, KEY_READ, &threadsKey), 0);
  EXPECT_EQ(subkeyNames(threadsKey).size(), threads + 1);
  RegCloseKey(threadsKey);
}

} // namespace

namespace {

TEST_F(RegistryConcurrency, ForkedChildOpensItsOwnConnections) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Forked");
  ASSERT_EQ(setDword(key, u"parent", 1), ERROR_SUCCESS);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The parent's connections are left alone; the child works through new ones.
    const bool ok = setDword(key, u"child", 2) == ERROR_SUCCESS &&
                    setDword(HKEY_LOCAL_MACHINE, u"childRoot", 3) == ERROR_SUCCESS &&
                    readDword(key, u"parent") == 1;
    _exit(ok ? 0 : 1);
  }
  const int status = waitExit(pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readDword(key, u"child"), 2u);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, u"childRoot"), 3u);
  ASSERT_EQ(setDword(key, u"parentAgain", 4), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(key).size(), 3u);
  RegCloseKey(key);
}

} // namespace
