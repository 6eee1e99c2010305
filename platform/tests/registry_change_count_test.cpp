// The change count that tells every process of a device whether what it read from the registry
// is still current: its protocol between writers (two mappings of one file behave as two
// processes do), the file it lives in, and a real writer killed between its commit and the
// count's settle.
#include "registry_test_root.h"
#include "registry_writer_process.h"

#include "../src/registry/registry_change_counter.h"

#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace registry_test;
using ce::RegistryChangeCounter;

namespace {

using RegistryChangeCount = RegistryTest;

TEST_F(RegistryChangeCount, WritersMakeTheCountOddAroundEachCommitAndNeverEvenTooEarly) {
  const auto database = root / "registry.db";
  RegistryChangeCounter first, second;
  ASSERT_EQ(first.open(database), ERROR_SUCCESS);
  ASSERT_EQ(second.open(database), ERROR_SUCCESS);
  EXPECT_EQ(second.settled(), 0u);

  // One writer: odd while its commit is in flight, even after, alone in between.
  auto commit = first.announce();
  EXPECT_EQ(commit.mark, 1u);
  EXPECT_FALSE(second.settled());
  first.settle(commit);
  EXPECT_TRUE(commit.alone);
  EXPECT_EQ(commit.before(), 0u);
  EXPECT_EQ(second.settled(), commit.after());

  // A second writer announces before the first settles: the first settle must not make the
  // count even while the second commit may still land; the second settle covers both.
  auto early = first.announce();
  auto late = second.announce();
  EXPECT_GT(late.mark, early.mark);
  EXPECT_FALSE(late.fromSettled);
  first.settle(early);
  EXPECT_FALSE(early.alone);
  EXPECT_FALSE(first.settled());
  second.settle(late);
  EXPECT_FALSE(late.alone); // the first commit lies between the state before and after
  ASSERT_TRUE(first.settled());
  EXPECT_EQ(*first.settled(), late.after());

  // A writer that never settles (it died) leaves the count odd until the next writer settles.
  const auto dead = first.announce();
  EXPECT_FALSE(second.settled());
  auto next = second.announce();
  EXPECT_GT(next.mark, dead.mark);
  second.settle(next);
  EXPECT_FALSE(next.alone);
  EXPECT_EQ(first.settled(), next.after());
}

TEST_F(RegistryChangeCount, TheJournalTellsWhatChangedSinceACountWhileItHoldsIt) {
  using Change = RegistryChangeCounter::Change;
  using Changes = RegistryChangeCounter::Changes;
  const auto database = root / "registry.db";
  RegistryChangeCounter writer, reader;
  ASSERT_EQ(writer.open(database), ERROR_SUCCESS);
  ASSERT_EQ(reader.open(database), ERROR_SUCCESS);
  Changes changes;
  EXPECT_TRUE(reader.changesSince(0, changes));
  EXPECT_TRUE(changes.empty());

  const auto commit = [&](const Changes &what) {
    auto announced = writer.announce();
    writer.journal(announced, what);
    writer.settle(announced);
    return announced.after();
  };
  const auto first = commit({{Change::Key, 5}, {Change::Subkeys, 2}});
  const auto second = commit({{Change::AbsentPaths, 0}});
  const auto third = commit({{Change::Key, (std::int64_t{1} << 40) + 3}});
  ASSERT_TRUE(reader.changesSince(first, changes));
  EXPECT_EQ(changes,
            (Changes{{Change::Key, (std::int64_t{1} << 40) + 3}, {Change::AbsentPaths, 0}}));
  changes.clear();
  ASSERT_TRUE(reader.changesSince(0, changes));
  EXPECT_EQ(changes.size(), 4u);
  changes.clear();
  EXPECT_TRUE(reader.changesSince(third, changes));
  EXPECT_TRUE(changes.empty());
  EXPECT_LT(second, third);

  // More commits than the ring holds: what came after `third` can no longer be told whole.
  for (std::size_t n = 0; n < RegistryChangeCounter::journalEntries; ++n)
    commit({{Change::Key, static_cast<std::int64_t>(n)}});
  changes = {{Change::Everything, 0}};
  EXPECT_FALSE(reader.changesSince(third, changes));
  EXPECT_EQ(changes, (Changes{{Change::Everything, 0}})); // what was there before is kept
  const auto recent = commit({{Change::Subkeys, 9}});
  changes.clear();
  ASSERT_TRUE(reader.changesSince(recent - 2, changes));
  EXPECT_EQ(changes, (Changes{{Change::Subkeys, 9}}));
}

TEST_F(RegistryChangeCount, TheFileTakesTheDatabasesPermissionsAndALinkInItsPlaceIsRefused) {
  const auto database = root / "registry.db";
  std::ofstream(database) << "";
  ASSERT_EQ(::chmod(database.c_str(), 0600), 0);
  {
    RegistryChangeCounter counter;
    ASSERT_EQ(counter.open(database), ERROR_SUCCESS);
  }
  struct stat info {};
  ASSERT_EQ(::stat(RegistryChangeCounter::fileFor(database).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Room for the count, the journal's head and its ring.
  EXPECT_GE(info.st_size, static_cast<off_t>(16 * (RegistryChangeCounter::journalEntries + 1)));

  // Another database whose count's name is a link to a file of the host: refused, the file
  // left as it was.
  const auto other = root / "other.db";
  const auto victim = root / "victim";
  std::ofstream(victim) << "keep";
  std::filesystem::create_symlink(victim, RegistryChangeCounter::fileFor(other));
  RegistryChangeCounter counter;
  EXPECT_EQ(counter.open(other), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(counter.isOpen());
  EXPECT_FALSE(counter.settled());
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

// A writer killed after its commit and before its settle: this process, which keeps what it
// read, reads the committed value at once and keeps reading the database's state until another
// writer settles the count, after which it keeps what it reads again and still follows changes.
TEST_F(RegistryChangeCount, AWriterKilledBetweenCommitAndSettleLeavesNoStaleRead) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Software\\Killed");
  ASSERT_EQ(setDword(key, u"v", 1), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u"v"), 1u);
  EXPECT_EQ(valueNames(key), std::vector<std::u16string>{u"v"});

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    RegistryChangeCounter::betweenCommitAndSettle = [] { ::raise(SIGKILL); };
    setDword(key, u"v", 2);
    setDword(key, u"w", 3); // never reached
    _exit(0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  RegistryChangeCounter count;
  ASSERT_EQ(count.open(root / "registry.db"), ERROR_SUCCESS);
  EXPECT_FALSE(count.settled()) << "the writer settled before it died";

  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(readDword(key, u"v"), 2u);
    EXPECT_EQ(valueNames(key), std::vector<std::u16string>{u"v"});
  }

  // Another process writes: the count is even again, and what is read is kept and followed.
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  ASSERT_EQ(writer.run("dword Software\\Killed v 4"), 0);
  EXPECT_TRUE(count.settled());
  EXPECT_EQ(readDword(key, u"v"), 4u);
  EXPECT_EQ(readDword(key, u"v"), 4u);
  ASSERT_EQ(writer.run("dword Software\\Killed w 5"), 0);
  EXPECT_EQ(readDword(key, u"w"), 5u);
  EXPECT_EQ(valueNames(key), (std::vector<std::u16string>{u"v", u"w"}));
  RegCloseKey(key);
}

// Where the count cannot be had, reads ask SQLite for its data version instead and still see
// every commit of another process; writes, which could not announce their commits, are refused
// until the count can be had.
TEST_F(RegistryChangeCount, WithoutTheCountReadsFallBackAndWritesWaitForIt) {
  const auto countFile = RegistryChangeCounter::fileFor(root / "registry.db");
  std::filesystem::create_symlink(root / "elsewhere", countFile);
  EXPECT_EQ(setDword(HKEY_LOCAL_MACHINE, u"v", 1), ERROR_ACCESS_DENIED);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fallback", 0, 0, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fallback", 0, nullptr, 0, 0, nullptr,
                            &key, nullptr),
            ERROR_ACCESS_DENIED);

  std::filesystem::remove(countFile);
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  ASSERT_EQ(writer.run("create Software\\Fallback"), 0);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fallback", 0, 0, &key), 0);
  for (int n = 1; n <= 3; ++n) {
    ASSERT_EQ(writer.run("dword Software\\Fallback v " + std::to_string(n)), 0);
    EXPECT_EQ(readDword(key, u"v"), static_cast<DWORD>(n));
    EXPECT_EQ(readDword(key, u"v"), static_cast<DWORD>(n));
  }
  // The count is there now: this process writes, and reads follow both processes.
  ASSERT_EQ(setDword(key, u"w", 4), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u"w"), 4u);
  ASSERT_EQ(writer.run("dword Software\\Fallback v 5"), 0);
  EXPECT_EQ(readDword(key, u"v"), 5u);
  EXPECT_EQ(valueNames(key), (std::vector<std::u16string>{u"v", u"w"}));
  RegCloseKey(key);
}

} // namespace
