// Directory searches: patterns, order, record contents and the end of a search.
#include "files_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <vector>

namespace {

using Find = ce::testing::DeviceFiles;
namespace fs = std::filesystem;

std::vector<std::u16string> findAll(const char16_t* pattern, DWORD* error = nullptr) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do names.emplace_back(data.cFileName);
  while (FindNextFileW(find, &data));
  if (error) *error = GetLastError();
  FindClose(find);
  return names;
}

TEST_F(Find, PatternsMatchWithoutRegardToCaseAndNeverListDots) {
  hostWrite("Menu/Calc.lnk", "");
  hostWrite("Menu/notes.LNK", "");
  hostWrite("Menu/readme", "");
  hostWrite("Menu/a.lnk.bak", "");
  fs::create_directories(fs_ / "Menu/Games");
  DWORD error = 0;
  EXPECT_EQ(
      findAll(u"\\menu\\*", &error),
      (std::vector<std::u16string>{u"a.lnk.bak", u"Calc.lnk", u"Games", u"notes.LNK", u"readme"}));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(findAll(u"\\MENU\\*.lnk"), (std::vector<std::u16string>{u"Calc.lnk", u"notes.LNK"}));
  EXPECT_EQ(findAll(u"\\Menu\\*.*").size(), 5u); // names without a dot included
  EXPECT_EQ(findAll(u"\\Menu\\?????"), (std::vector<std::u16string>{u"Games"}));
  EXPECT_EQ(findAll(u"\\Menu\\c*K"), (std::vector<std::u16string>{u"Calc.lnk"}));
  EXPECT_EQ(findAll(u"\\Menu\\*lnk*"),
            (std::vector<std::u16string>{u"a.lnk.bak", u"Calc.lnk", u"notes.LNK"}));
  // A name without wildcards finds that entry, under its real case.
  EXPECT_EQ(findAll(u"/menu/CALC.LNK"), (std::vector<std::u16string>{u"Calc.lnk"}));
  EXPECT_EQ(findAll(u"\\MENU"), (std::vector<std::u16string>{u"Menu"}));
  EXPECT_EQ(findAll(u"*"), (std::vector<std::u16string>{u"Menu"})); // the root, no separator
}

TEST_F(Find, FailuresTellMissingMatchesFromMissingFolders) {
  hostWrite("Menu/a.txt", "");
  DWORD error = 0;
  EXPECT_TRUE(findAll(u"\\Menu\\*.exe", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(findAll(u"\\Nowhere\\*", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(findAll(u"\\Menu\\a.txt\\*", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(findAll(u"\\Menu\\.", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(findAll(u"\\Menu\\", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(findAll(u"\\Menu\\a|b", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
  // An empty folder has nothing to list.
  fs::create_directories(fs_ / "Empty");
  EXPECT_TRUE(findAll(u"\\Empty\\*", &error).empty());
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FindClose(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  // A file handle is not a search.
  HANDLE file = CreateFileW(u"\\Menu\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(FindClose(file));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Find, RecordsCarrySizesTimesAndAttributes) {
  hostWrite("d/data.bin", std::string(70000, 'x'));
  hostWrite("d/ro.txt", "r");
  fs::permissions(fs_ / "d/ro.txt", fs::perms::owner_read);
  fs::create_directories(fs_ / "d/sub");
  struct timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 500}};
  ::utimensat(AT_FDCWD, (fs_ / "d/data.bin").c_str(), times, 0);

  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\d\\data.bin", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  // 2001-09-09 01:46:40 UTC plus 500 ns, in 100 ns units since 1601.
  const std::uint64_t written = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written, (1'000'000'000ull + 11'644'473'600ull) * 10'000'000ull + 5);
  EXPECT_NE(data.ftCreationTime.dwHighDateTime, 0u);

  find = FindFirstFileW(u"\\d\\ro.txt", &data);
  FindClose(find);
  EXPECT_EQ(data.dwFileAttributes,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  find = FindFirstFileW(u"\\d\\sub", &data);
  FindClose(find);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(data.nFileSizeLow, 0u);
}

TEST_F(Find, LinksShowTheirTargetOnlyInsideAndUnnameableHostEntriesAreSkipped) {
  hostWrite("d/real.txt", "12345");
  std::ofstream(root_ / "secret.txt") << std::string(999, 's');
  fs::create_symlink("real.txt", fs_ / "d/inside");
  fs::create_symlink(root_ / "secret.txt", fs_ / "d/outside");
  std::ofstream(fs_ / "d" /
                "bad\xff"
                "name")
      << "x"; // not UTF-8: cannot be named
  std::set<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\d\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    names.insert(data.cFileName);
    if (std::u16string_view(data.cFileName) == u"inside") {
      EXPECT_EQ(data.nFileSizeLow, 5u);
    }
    if (std::u16string_view(data.cFileName) == u"outside") {
      EXPECT_NE(data.nFileSizeLow, 999u) << "the size of a host file leaked through a link";
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  EXPECT_EQ(names, (std::set<std::u16string>{u"inside", u"outside", u"real.txt"}));
}

TEST_F(Find, ASearchIsASnapshot) {
  hostWrite("d/1", "");
  hostWrite("d/2", "");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\d\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  // Deleting while enumerating (what a recursive delete does) neither skips nor repeats.
  EXPECT_TRUE(DeleteFileW(u"\\d\\1"));
  hostWrite("d/3", "");
  std::vector<std::u16string> names{data.cFileName};
  while (FindNextFileW(find, &data)) names.emplace_back(data.cFileName);
  EXPECT_TRUE(FindClose(find));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"1", u"2"}));
  EXPECT_FALSE(FindNextFileW(find, &data)); // closed
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
