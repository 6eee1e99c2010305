// What another process commits is what the next read in this process returns, although this
// process keeps what it read: values, new keys and deleted keys, through handles opened before
// the change and through new ones. The other process is a real one (ce_registry_writer) that
// answers each command once its change is committed.
#include "registry_test_root.h"
#include "registry_writer_process.h"

#include <atomic>
#include <thread>

using namespace registry_test;
using V = std::vector<std::u16string>;

namespace {

using RegistryVisibility = RegistryTest;

constexpr const char16_t *folderPath = u"Security\\Shell\\StartInfo\\Start\\programs";
constexpr const char16_t *itemPath = u"Security\\Shell\\StartInfo\\Start\\programs\\item.lnk";
const std::string itemWord = "Security\\Shell\\StartInfo\\Start\\programs\\item.lnk";

HKEY openKey(HKEY parent, const char16_t *path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(parent, path, 0, KEY_READ, &key), ERROR_SUCCESS);
  return key;
}

// Opens the item afresh, reads the value and closes the key again, as the menu does.
DWORD dwordThroughNewHandle(const char16_t *name) {
  HKEY key = openKey(HKEY_LOCAL_MACHINE, itemPath);
  const DWORD value = readDword(key, name);
  RegCloseKey(key);
  return value;
}

std::u16string text(const std::vector<BYTE> &bytes) {
  return std::u16string(reinterpret_cast<const char16_t *>(bytes.data()), bytes.size() / 2);
}

LONG openError(HKEY parent, const char16_t *path) {
  HKEY key = nullptr;
  const LONG error = RegOpenKeyExW(parent, path, 0, KEY_READ, &key);
  if (key)
    RegCloseKey(key);
  return error;
}

TEST_F(RegistryVisibility, ValuesCommittedByAnotherProcessAreReadAtOnce) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  ASSERT_EQ(writer.run("dword " + itemWord + " ItemPosition 0"), 0);
  HKEY before = openKey(HKEY_LOCAL_MACHINE, itemPath);
  for (DWORD round = 1; round <= 20; ++round) {
    // Read (so that it is kept) through the old handle and a new one, then changed elsewhere.
    EXPECT_EQ(readDword(before, u"ItemPosition"), round - 1);
    EXPECT_EQ(dwordThroughNewHandle(u"itemposition"), round - 1);
    ASSERT_EQ(writer.run("dword " + itemWord + " ItemPosition " + std::to_string(round)), 0);
    EXPECT_EQ(readDword(before, u"ItemPosition"), round);
    EXPECT_EQ(dwordThroughNewHandle(u"ITEMPOSITION"), round);
  }

  // A value read as missing appears; one read as present disappears.
  LONG error = 0;
  readBytes(before, u"hidden", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(writer.run("dword " + itemWord + " hidden 1"), 0);
  EXPECT_EQ(readDword(before, u"hidden"), 1u);
  ASSERT_EQ(writer.run("unset " + itemWord + " hidden"), 0);
  readBytes(before, u"hidden", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

  // New bytes, a new length and a new type.
  DWORD type = 0;
  ASSERT_EQ(writer.run("text " + itemWord + " name Solitaire"), 0);
  EXPECT_EQ(text(readBytes(before, u"name", nullptr, &type)), u"Solitaire");
  ASSERT_EQ(writer.run("text " + itemWord + " name Cards"), 0);
  EXPECT_EQ(text(readBytes(before, u"name", nullptr, &type)), u"Cards");
  EXPECT_EQ(type, REG_SZ);
  ASSERT_EQ(writer.run("dword " + itemWord + " name 5"), 0);
  EXPECT_EQ(readDword(before, u"name"), 5u);
  readBytes(before, u"name", nullptr, &type);
  EXPECT_EQ(type, REG_DWORD);

  // Enumeration and the key's counts follow too; a value keeps its place when overwritten.
  EXPECT_EQ(valueNames(before), (V{u"ItemPosition", u"name"}));
  ASSERT_EQ(writer.run("dword " + itemWord + " falseLink 1"), 0);
  EXPECT_EQ(valueNames(before), (V{u"ItemPosition", u"name", u"falseLink"}));
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(before, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 3u);

  // A value too large to be kept whole is read from the database, and changes like the others.
  ASSERT_EQ(writer.run("bytes " + itemWord + " Icon 100000 7"), 0);
  EXPECT_EQ(readBytes(before, u"icon"), std::vector<BYTE>(100000, 7));
  ASSERT_EQ(writer.run("bytes " + itemWord + " Icon 100000 9"), 0);
  EXPECT_EQ(readBytes(before, u"icon"), std::vector<BYTE>(100000, 9));
  BYTE small[16];
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(before, u"Icon", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 100000u);
  EXPECT_EQ(RegCloseKey(before), ERROR_SUCCESS);
}

TEST_F(RegistryVisibility, KeysCreatedAndDeletedByAnotherProcessAreSeenAtOnce) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  HKEY folder = createKey(HKEY_LOCAL_MACHINE, folderPath);
  EXPECT_TRUE(subkeyNames(folder).empty());
  // Missing, as read through a root and through a handle.
  EXPECT_EQ(openError(HKEY_LOCAL_MACHINE, itemPath), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(openError(folder, u"item.lnk"), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(writer.run("dword " + itemWord + " ItemPosition 3"), 0);
  HKEY item = openKey(HKEY_LOCAL_MACHINE, itemPath);
  HKEY sameItem = openKey(folder, u"ITEM.LNK");
  EXPECT_EQ(readDword(item, u"ItemPosition"), 3u);
  EXPECT_EQ(readDword(sameItem, u"ItemPosition"), 3u);
  EXPECT_EQ(subkeyNames(folder), V{u"item.lnk"});

  // Keys created elsewhere are listed in the order they were created.
  const std::string folderWord = "Security\\Shell\\StartInfo\\Start\\programs";
  for (const char *name : {"b.lnk", "a.lnk", "c.lnk"})
    ASSERT_EQ(writer.run("create " + folderWord + "\\" + name), 0);
  EXPECT_EQ(subkeyNames(folder), (V{u"item.lnk", u"b.lnk", u"a.lnk", u"c.lnk"}));
  DWORD subKeys = 0;
  ASSERT_EQ(RegQueryInfoKeyW(folder, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 4u);

  // Deleted elsewhere: the handles opened before fail, the path is gone.
  ASSERT_EQ(writer.run("delete " + itemWord), 0);
  for (HKEY h : {item, sameItem}) {
    DWORD value = 0, size = 4, nameLength = 8;
    char16_t name[8];
    EXPECT_EQ(RegQueryValueExW(h, u"ItemPosition", nullptr, nullptr,
                               reinterpret_cast<BYTE *>(&value), &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueW(h, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(openError(h, u""), ERROR_KEY_DELETED);
  }
  EXPECT_EQ(openError(HKEY_LOCAL_MACHINE, itemPath), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(openError(folder, u"item.lnk"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(subkeyNames(folder), (V{u"b.lnk", u"a.lnk", u"c.lnk"}));

  // Made again under the same path: a new key, which the old handles do not reach.
  ASSERT_EQ(writer.run("dword " + itemWord + " ItemPosition 4"), 0);
  EXPECT_EQ(dwordThroughNewHandle(u"ItemPosition"), 4u);
  LONG error = 0;
  readBytes(item, u"ItemPosition", &error);
  EXPECT_EQ(error, ERROR_KEY_DELETED);

  // The folder itself deleted elsewhere.
  ASSERT_EQ(writer.run("delete " + folderWord), 0);
  EXPECT_EQ(openError(folder, u"b.lnk"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyExW(folder, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  char16_t name[16];
  DWORD nameLength = 16;
  EXPECT_EQ(RegEnumKeyExW(folder, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  for (HKEY h : {item, sameItem, folder})
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
}

// What another process changes is forgotten here and read again, and nothing else: after many
// changes elsewhere (more than the change journal holds, too), every key reads as it does once
// everything is read afresh (forced by a deletion elsewhere, after which nothing kept is used).
TEST_F(RegistryVisibility, KeysKeptBesideChangesElsewhereReadAsTheDatabaseHoldsThem) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  constexpr int items = 8;
  const auto itemWordOf = [](int i) { return "Menu\\Folder\\Item" + std::to_string(i); };
  for (int i = 0; i < items; ++i)
    ASSERT_EQ(writer.run("dword " + itemWordOf(i) + " ItemPosition " + std::to_string(i)), 0);
  HKEY folder = openKey(HKEY_LOCAL_MACHINE, u"Menu\\Folder");
  std::vector<HKEY> keys;
  for (int i = 0; i < items; ++i)
    keys.push_back(openKey(folder, (u"Item" + ce::toUtf16(std::to_string(i))).c_str()));
  // The folder's subkeys with the times of last write it lists for them, then each item's
  // values.
  const auto snapshot = [&] {
    std::vector<std::pair<std::vector<std::u16string>, std::vector<DWORD>>> all;
    std::vector<DWORD> times;
    for (DWORD i = 0;; ++i) {
      char16_t name[64];
      DWORD length = 64;
      FILETIME written{};
      if (RegEnumKeyExW(folder, i, name, &length, nullptr, nullptr, nullptr, &written) != 0)
        break;
      times.push_back(written.dwLowDateTime);
      times.push_back(written.dwHighDateTime);
    }
    all.emplace_back(subkeyNames(folder), times);
    for (HKEY key : keys) {
      std::vector<DWORD> numbers;
      for (const auto &name : valueNames(key))
        numbers.push_back(readDword(key, name.c_str()));
      all.emplace_back(valueNames(key), numbers);
    }
    return all;
  };
  snapshot(); // everything kept

  // A few changes, then more than the journal holds.
  ASSERT_EQ(writer.run("dword " + itemWordOf(2) + " hidden 1"), 0);
  ASSERT_EQ(writer.run("create Menu\\Folder\\New"), 0);
  ASSERT_EQ(writer.run("unset " + itemWordOf(3) + " ItemPosition"), 0);
  EXPECT_EQ(readDword(keys[2], u"hidden"), 1u);
  EXPECT_EQ(valueNames(keys[3]).size(), 0u);
  EXPECT_EQ(subkeyNames(folder).size(), static_cast<std::size_t>(items + 1));
  EXPECT_EQ(readDword(keys[5], u"ItemPosition"), 5u);
  for (int n = 0; n < 2100; ++n)
    ASSERT_EQ(writer.run("dword " + itemWordOf(n % 2) + " n " + std::to_string(n)), 0);
  EXPECT_EQ(readDword(keys[1], u"n"), 2099u);
  snapshot(); // kept again, then changed in part
  ASSERT_EQ(writer.run("dword " + itemWordOf(6) + " ItemPosition 60"), 0);
  ASSERT_EQ(writer.run("unset " + itemWordOf(2) + " hidden"), 0);
  const auto kept = snapshot();
  EXPECT_EQ(readDword(keys[6], u"ItemPosition"), 60u);

  ASSERT_EQ(writer.run("create Elsewhere"), 0);
  ASSERT_EQ(writer.run("delete Elsewhere"), 0);
  EXPECT_EQ(snapshot(), kept);
  RegCloseKey(folder);
  for (HKEY key : keys)
    RegCloseKey(key);
}

// Threads of this process read while the other process commits rising numbers: each commit is
// seen by the first read after it, and no thread ever reads a number older than one it read
// before.
TEST_F(RegistryVisibility, ReadersNeverGoBackToAnOlderValue) {
  RegistryWriterProcess writer(root);
  ASSERT_TRUE(writer.running());
  ASSERT_EQ(writer.run("dword " + itemWord + " ItemPosition 0"), 0);
  HKEY shared = openKey(HKEY_LOCAL_MACHINE, itemPath);
  std::atomic<bool> writing{true};
  std::atomic<unsigned> wentBack{0}, failed{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&, t] {
      DWORD last = 0;
      while (writing) {
        DWORD value = 0, size = 4;
        HKEY key = shared;
        if (t == 0 && RegOpenKeyExW(HKEY_LOCAL_MACHINE, itemPath, 0, KEY_READ, &key) != 0) {
          ++failed;
          continue;
        }
        if (RegQueryValueExW(key, u"ItemPosition", nullptr, nullptr,
                             reinterpret_cast<BYTE *>(&value), &size) != ERROR_SUCCESS)
          ++failed;
        else if (value < last)
          ++wentBack;
        last = std::max(last, value);
        if (key != shared)
          RegCloseKey(key);
      }
    });
  }
  // No assertion may leave the loop while the readers run.
  for (DWORD n = 1; n <= 200; ++n) {
    const long written = writer.run("dword " + itemWord + " ItemPosition " + std::to_string(n));
    EXPECT_EQ(written, 0);
    const DWORD read = readDword(shared, u"ItemPosition");
    EXPECT_EQ(read, n);
    if (written != 0 || read != n)
      break;
  }
  writing = false;
  for (auto &reader : readers)
    reader.join();
  EXPECT_EQ(wentBack, 0u);
  EXPECT_EQ(failed, 0u);
  RegCloseKey(shared);
}

} // namespace
