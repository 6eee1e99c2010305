// What this process writes it reads back at once, although it keeps what it read and takes its
// own changes into what it keeps rather than reading everything again. The oracle: a commit by
// another process (ce_registry_writer) makes this process read the database afresh, and what it
// then reads must be exactly what it read before from what it kept.
#include "registry_test_root.h"
#include "registry_writer_process.h"

#include <atomic>
#include <thread>
#include <tuple>

using namespace registry_test;
using V = std::vector<std::u16string>;

namespace {

using RegistryOwnChanges = RegistryTest;

std::int64_t ticks(const FILETIME &time) {
  return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Everything the API tells about a key: its values with their types and bytes, its subkeys
// with their times of last write, and what RegQueryInfoKeyW reports.
struct KeyView {
  std::vector<std::tuple<std::u16string, DWORD, std::vector<BYTE>>> values;
  std::vector<std::pair<std::u16string, std::int64_t>> subkeys;
  DWORD subKeyCount = 0, maxSubKeyLength = 0, valueCount = 0, maxValueNameLength = 0,
        maxValueLength = 0;
  std::int64_t lastWrite = 0;
  bool operator==(const KeyView &) const = default;
};

KeyView view(HKEY key) {
  KeyView out;
  FILETIME written{};
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &out.subKeyCount, &out.maxSubKeyLength,
                             nullptr, &out.valueCount, &out.maxValueNameLength, &out.maxValueLength,
                             nullptr, &written),
            ERROR_SUCCESS);
  out.lastWrite = ticks(written);
  for (DWORD i = 0;; ++i) {
    char16_t name[300];
    DWORD length = 300;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
      break;
    out.subkeys.emplace_back(std::u16string(name, length), ticks(written));
  }
  for (const auto &name : valueNames(key)) {
    DWORD type = 0;
    auto data = readBytes(key, name.c_str(), nullptr, &type);
    out.values.emplace_back(name, type, std::move(data));
  }
  return out;
}

// The time of last write of a key as its parent lists it.
std::int64_t listedWrite(HKEY parent, const std::u16string &name) {
  FILETIME written{};
  for (DWORD i = 0;; ++i) {
    char16_t found[300];
    DWORD length = 300;
    if (RegEnumKeyExW(parent, i, found, &length, nullptr, nullptr, nullptr, &written) !=
        ERROR_SUCCESS)
      return -1;
    if (std::u16string(found, length) == name)
      return ticks(written);
  }
}

TEST_F(RegistryOwnChanges, ValuesWrittenHereAreReadBackAsTheDatabaseHoldsThem) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  HKEY folder = createKey(HKEY_LOCAL_MACHINE, u"Menu\\Folder");
  HKEY item = createKey(folder, u"Item.lnk");
  ASSERT_EQ(setDword(item, u"ItemPosition", 1), ERROR_SUCCESS);
  ASSERT_EQ(setString(item, u"Name", u"First"), ERROR_SUCCESS);
  ASSERT_EQ(setString(item, u"Icon", u"\\Windows\\a.png"), ERROR_SUCCESS);
  // Everything read once, so that it is kept.
  const KeyView itemBefore = view(item), folderBefore = view(folder);
  ASSERT_EQ(itemBefore.values.size(), 3u);

  // Through another handle with other letter case, through the same handle, new values last,
  // a value deleted, a type changed, a value too large to keep.
  HKEY other = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"MENU\\folder\\item.LNK", 0, 0, &other), 0);
  ASSERT_EQ(setDword(other, u"itemposition", 7), ERROR_SUCCESS);
  ASSERT_EQ(setString(item, u"Target", u"\\Windows\\calc.exe"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(item, u"NAME"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(item, u"Name"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(setDword(item, u"icon", 9), ERROR_SUCCESS);
  const std::vector<BYTE> large(100000, 0x5A);
  ASSERT_EQ(RegSetValueExW(item, u"Picture", 0, REG_BINARY, large.data(),
                           static_cast<DWORD>(large.size())),
            ERROR_SUCCESS);

  EXPECT_EQ(readDword(item, u"ItemPosition"), 7u);
  EXPECT_EQ(readDword(other, u"ICON"), 9u);
  EXPECT_EQ(readBytes(other, u"picture"), large);
  EXPECT_EQ(valueNames(item), (V{u"ItemPosition", u"Icon", u"Target", u"Picture"}));
  const KeyView itemAfter = view(item), folderAfter = view(folder);
  EXPECT_EQ(itemAfter.maxValueLength, large.size());
  EXPECT_GE(itemAfter.lastWrite, itemBefore.lastWrite);
  // The folder lists its item with the item's own time of last write; its own did not move.
  EXPECT_EQ(listedWrite(folder, u"Item.lnk"), itemAfter.lastWrite);
  EXPECT_EQ(folderAfter.lastWrite, folderBefore.lastWrite);

  // Read afresh after another process's commit elsewhere: the same, to the last byte and tick.
  ASSERT_EQ(writer.run("dword Elsewhere x 1"), 0);
  EXPECT_EQ(view(item), itemAfter);
  EXPECT_EQ(view(folder), folderAfter);
  for (HKEY h : {other, item, folder})
    RegCloseKey(h);
}

TEST_F(RegistryOwnChanges, KeysMadeHereAreFoundAndListedAtOnce) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  HKEY folder = createKey(HKEY_LOCAL_MACHINE, u"Menu\\Folder");
  HKEY first = createKey(folder, u"First.lnk");
  RegCloseKey(first);
  // Read and kept: the listing, and paths known to be missing.
  EXPECT_EQ(subkeyNames(folder), V{u"First.lnk"});
  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExW(folder, u"Games\\Cards", 0, 0, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Menu\\Folder\\Games", 0, 0, &missing),
            ERROR_FILE_NOT_FOUND);
  const KeyView folderBefore = view(folder);

  DWORD disposition = 0;
  HKEY cards = createKey(folder, u"Games\\Cards", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  HKEY again = createKey(HKEY_LOCAL_MACHINE, u"menu\\folder\\GAMES\\cards", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  ASSERT_EQ(setDword(again, u"n", 1), ERROR_SUCCESS);
  EXPECT_EQ(readDword(cards, u"N"), 1u);
  HKEY games = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Menu\\Folder\\Games", 0, 0, &games), 0);
  EXPECT_EQ(subkeyNames(games), V{u"Cards"});
  EXPECT_EQ(subkeyNames(folder), (V{u"First.lnk", u"Games"}));
  const KeyView folderAfter = view(folder), gamesAfter = view(games);
  EXPECT_EQ(folderAfter.subKeyCount, 2u);
  EXPECT_GE(folderAfter.lastWrite, folderBefore.lastWrite);
  EXPECT_EQ(listedWrite(folder, u"Games"), gamesAfter.lastWrite);
  HKEY menu = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Menu", 0, 0, &menu), 0);
  EXPECT_EQ(listedWrite(menu, u"Folder"), folderAfter.lastWrite);
  const KeyView menuAfter = view(menu);

  ASSERT_EQ(writer.run("dword Elsewhere x 1"), 0);
  EXPECT_EQ(view(folder), folderAfter);
  EXPECT_EQ(view(games), gamesAfter);
  EXPECT_EQ(view(menu), menuAfter);
  for (HKEY h : {menu, games, again, cards, folder})
    RegCloseKey(h);
}

// A commit by another process between what this process kept and its own write: both changes
// are read, never the kept state with only this process's change on top.
TEST_F(RegistryOwnChanges, ACommitElsewhereBeforeAWriteHereIsNotLost) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Shared");
  ASSERT_EQ(setDword(key, u"mine", 1), ERROR_SUCCESS);
  for (DWORD round = 2; round < 6; ++round) {
    EXPECT_EQ(readDword(key, u"mine"), round - 1);
    ASSERT_EQ(writer.run("dword Shared theirs " + std::to_string(round)), 0);
    ASSERT_EQ(setDword(key, u"mine", round), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, u"theirs"), round);
    EXPECT_EQ(readDword(key, u"mine"), round);
    ASSERT_EQ(writer.run("create Shared\\Sub" + std::to_string(round)), 0);
    HKEY own = createKey(key, (u"Own" + ce::toUtf16(std::to_string(round))).c_str());
    RegCloseKey(own);
    EXPECT_EQ(subkeyNames(key).size(), 2 * (round - 1));
  }
  RegCloseKey(key);
}

// One thread writes rising numbers while others read the same value and another process
// commits elsewhere: no reader ever reads a number older than one it read before, and the last
// number written is what everyone reads in the end.
TEST_F(RegistryOwnChanges, ReadersBesideAWritingThreadNeverGoBack) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Counter");
  ASSERT_EQ(setDword(key, u"n", 0), ERROR_SUCCESS);
  constexpr DWORD last = 300;
  std::atomic<bool> writing{true};
  std::atomic<unsigned> wentBack{0}, failed{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      DWORD seen = 0;
      while (writing) {
        DWORD value = 0, size = 4;
        if (RegQueryValueExW(key, u"n", nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                             &size) != ERROR_SUCCESS)
          ++failed;
        else if (value < seen)
          ++wentBack;
        seen = std::max(seen, value);
      }
    });
  }
  std::thread counter([&] {
    for (DWORD n = 1; n <= last; ++n)
      failed += setDword(key, u"n", n) != ERROR_SUCCESS;
  });
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(writer.run("dword Elsewhere x " + std::to_string(i)), 0);
  counter.join();
  writing = false;
  for (auto &reader : readers)
    reader.join();
  EXPECT_EQ(wentBack, 0u);
  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(readDword(key, u"n"), last);
  RegCloseKey(key);
}

} // namespace
