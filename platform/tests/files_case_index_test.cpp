// Names found in another case through the per-directory index, which a process keeps while a
// directory stays unchanged: every change another process makes (a name created in another
// case, a rename, a deletion, a case twin, a directory replaced) is seen by the next lookup. And
// the real path of fs/, kept per root, follows a root that now leads elsewhere.
#include "files_fixture.h"

#include "../src/files/directory_case_index.h"

#include <ce/core/device_path.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

namespace {

namespace fs = std::filesystem;
using CaseIndex = ce::testing::DeviceFiles;
using ce::DirectoryCaseIndex;

// Waits until the directory's last change lies settleTime in the past, so that an index made
// from now on is kept; false after a deadline.
bool waitUntilSettled(const fs::path &directory) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  const auto settle = std::chrono::nanoseconds(DirectoryCaseIndex::settleTime).count();
  while (std::chrono::steady_clock::now() < deadline) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0)
      return false;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto nanoseconds = [](const timespec &t) {
      return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    const auto last = std::max(nanoseconds(info.st_ctim), nanoseconds(info.st_mtim));
    if (nanoseconds(now) >= last + settle)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Runs the change in another process and waits for it to end.
bool inAnotherProcess(const std::function<void()> &change) {
  const pid_t pid = fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    change();
    _exit(0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Lookup {
  const char16_t *devicePath;
  fs::path expected; // below fs/; empty when the last component must be missing
};

TEST_F(CaseIndex, ChangesByAnotherProcessAreSeenByTheNextLookup) {
  hostWrite("Created/keep.txt", "");
  hostWrite("Renamed/Old.txt", "");
  hostWrite("Deleted/Gone.txt", "");
  hostWrite("Twins/TWIN.txt", "");
  hostWrite("Outer/Sub/file.txt", "");
  hostWrite("Remade/Sub/one.txt", "");
  const fs::path folders[] = {
      fs_,           fs_ / "Created",   fs_ / "Renamed", fs_ / "Deleted",   fs_ / "Twins",
      fs_ / "Outer", fs_ / "Outer/Sub", fs_ / "Remade",  fs_ / "Remade/Sub"};
  for (const auto &folder : folders)
    ASSERT_TRUE(waitUntilSettled(folder)) << folder;

  const auto check = [&](const std::vector<Lookup> &lookups) {
    for (const auto &[devicePath, expected] : lookups) {
      DWORD error = 0;
      const auto found = ce::DevicePath::resolve(devicePath, &error);
      ASSERT_TRUE(found) << ce::toUtf8(devicePath) << " " << error;
      EXPECT_EQ(found->exists, !expected.empty()) << ce::toUtf8(devicePath);
      if (!expected.empty()) {
        EXPECT_EQ(found->hostPath, fs_ / expected) << ce::toUtf8(devicePath);
      }
    }
  };
  check({{u"\\created\\NEWNAME.TXT", {}},
         {u"\\renamed\\old.TXT", "Renamed/Old.txt"},
         {u"\\renamed\\renamed.txt", {}},
         {u"\\deleted\\GONE.TXT", "Deleted/Gone.txt"},
         {u"\\twins\\twin.txt", "Twins/TWIN.txt"},
         {u"\\outer\\SUB\\File.Txt", "Outer/Sub/file.txt"},
         {u"\\REMADE\\sub\\ONE.TXT", "Remade/Sub/one.txt"}});
  // The lookups above made indexes of these directories, and they are kept.
  for (const auto &folder : folders)
    EXPECT_TRUE(DirectoryCaseIndex::instance().keeps(folder.string())) << folder;

  ASSERT_TRUE(inAnotherProcess([&] {
    std::ofstream(fs_ / "Created/NewName.txt") << "";
    fs::rename(fs_ / "Renamed/Old.txt", fs_ / "Renamed/Renamed.TXT");
    fs::remove(fs_ / "Deleted/Gone.txt");
    std::ofstream(fs_ / "Twins/TWIN.TXT") << ""; // sorts before TWIN.txt
    fs::rename(fs_ / "Outer/Sub", fs_ / "Outer/Former");
    fs::create_directory(fs_ / "Outer/Sub");
    std::ofstream(fs_ / "Outer/Sub/FILE.txt") << "";
    fs::remove_all(fs_ / "Remade/Sub");
    fs::create_directory(fs_ / "Remade/Sub");
    std::ofstream(fs_ / "Remade/Sub/One.Txt") << "";
  }));

  check({{u"\\created\\NEWNAME.TXT", "Created/NewName.txt"},
         {u"\\renamed\\old.TXT", {}},
         {u"\\renamed\\renamed.txt", "Renamed/Renamed.TXT"},
         {u"\\deleted\\GONE.TXT", {}},
         {u"\\twins\\twin.txt", "Twins/TWIN.TXT"},
         {u"\\outer\\SUB\\File.Txt", "Outer/Sub/FILE.txt"},
         {u"\\outer\\former\\FILE.TXT", "Outer/Former/file.txt"},
         {u"\\REMADE\\sub\\ONE.TXT", "Remade/Sub/One.Txt"}});
  // A folder on the way that is gone fails as a missing path, not as a missing name.
  fs::remove_all(fs_ / "Remade");
  DWORD error = 0;
  EXPECT_FALSE(ce::DevicePath::resolve(u"\\remade\\sub\\one.txt", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(CaseIndex, ARecentlyChangedDirectoryIsReadAtEveryLookup) {
  hostWrite("Fresh/a.txt", "");
  EXPECT_TRUE(ce::DevicePath::resolve(u"\\FRESH\\A.TXT", nullptr)->exists);
  EXPECT_FALSE(DirectoryCaseIndex::instance().keeps((fs_ / "Fresh").string()));
  ASSERT_TRUE(inAnotherProcess([&] { std::ofstream(fs_ / "Fresh/B.txt") << ""; }));
  const auto found = ce::DevicePath::resolve(u"\\fresh\\b.TXT", nullptr);
  ASSERT_TRUE(found && found->exists);
  EXPECT_EQ(found->hostPath, fs_ / "Fresh/B.txt");
}

TEST(CaseIndexNames, FoldedNamesMatchTheDevicesCaseRules) {
  EXPECT_EQ(DirectoryCaseIndex::foldedName("Start Menu.LNK"), "start menu.lnk");
  EXPECT_EQ(DirectoryCaseIndex::foldedName("Fran\xC3\x87"
                                           "AIS"),
            "fran\xC3\xA7"
            "ais");
  EXPECT_EQ(DirectoryCaseIndex::foldedName("\xD0\x9C\xD0\x95\xD0\x9D\xD0\xAE"),
            "\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x8E"); // МЕНЮ -> меню
  EXPECT_EQ(DirectoryCaseIndex::foldedName("a_b-9"), "a_b-9");
}

TEST_F(CaseIndex, TheRootsRealPathFollowsALinkThatNowLeadsElsewhere) {
  const fs::path first = root_ / "first", second = root_ / "second", link = root_ / "device";
  for (const auto &device : {first, second})
    fs::create_directories(device / "fs/Windows");
  std::ofstream(first / "fs/Windows/one.txt") << "1";
  std::ofstream(second / "fs/Windows/two.txt") << "2";
  fs::create_directory_symlink(first, link);
  ce::DeviceRoot::use(link);
  EXPECT_EQ(ce::DevicePath::fileSystemRoot(nullptr), fs::canonical(first / "fs"));
  EXPECT_TRUE(ce::DevicePath::resolve(u"\\windows\\ONE.txt", nullptr)->exists);
  EXPECT_FALSE(ce::DevicePath::resolve(u"\\windows\\TWO.txt", nullptr)->exists);

  fs::remove(link);
  fs::create_directory_symlink(second, link);
  EXPECT_EQ(ce::DevicePath::fileSystemRoot(nullptr), fs::canonical(second / "fs"));
  const auto two = ce::DevicePath::resolve(u"\\windows\\TWO.txt", nullptr);
  ASSERT_TRUE(two && two->exists);
  EXPECT_EQ(two->hostPath, fs::canonical(second / "fs/Windows/two.txt"));
  EXPECT_EQ(GetFileAttributesW(u"\\windows\\one.txt"), INVALID_FILE_ATTRIBUTES);

  // fs/ removed: no root; made again: found again.
  fs::remove_all(second / "fs");
  DWORD error = 0;
  EXPECT_FALSE(ce::DevicePath::resolve(u"\\windows", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  fs::create_directories(second / "fs/Windows");
  EXPECT_NE(GetFileAttributesW(u"\\WINDOWS"), INVALID_FILE_ATTRIBUTES);
}

} // namespace
