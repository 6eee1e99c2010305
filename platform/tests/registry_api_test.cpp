#include "registry_test_root.h"

#include <cstring>
#include <fstream>

using namespace registry_test;
using V = std::vector<std::u16string>;

namespace {

using RegistryKeys = RegistryTest;
using RegistryValues = RegistryTest;
using RegistryHandles = RegistryTest;

TEST_F(RegistryKeys, CreateMakesMissingParentsInPathOrderAndReportsDisposition) {
  DWORD disposition = 0;
  HKEY deep = createKey(HKEY_LOCAL_MACHINE, u"Software\\Tolmar_Vireta\\QuickLinks", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY again =
      createKey(HKEY_LOCAL_MACHINE, u"\\SOFTWARE\\tolmar_vireta\\quicklinks\\", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  // A new leaf under existing parents is new; an existing parent is reported as existing.
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Software\\Other", &disposition));
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Software", &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software", 0, KEY_READ, &software), ERROR_SUCCESS);
  EXPECT_EQ(subkeyNames(software), (V{u"Tolmar_Vireta", u"Other"}));
  EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), (V{u"Software"}));

  // Both handles reach the same key.
  ASSERT_EQ(setDword(deep, u"n", 7), ERROR_SUCCESS);
  EXPECT_EQ(readDword(again, u"N"), 7u);
  // An empty or null subkey opens the key itself; creating "" also opens it.
  HKEY same = nullptr, same2 = nullptr, same3 = nullptr;
  ASSERT_EQ(RegOpenKeyExW(deep, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(deep, u"", 0, KEY_READ, &same2), ERROR_SUCCESS);
  same3 = createKey(deep, u"", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  for (HKEY k : {same, same2, same3})
    EXPECT_EQ(readDword(k, u"n"), 7u);
  for (HKEY k : {deep, again, software, same, same2, same3})
    EXPECT_EQ(RegCloseKey(k), 0);
}

TEST_F(RegistryKeys, MissingKeysAndMalformedPathsAreRefusedWithoutSideEffects) {
  HKEY key = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Nope\\Deeper", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  const std::u16string longest(255, u'k'), tooLong(256, u'k');
  for (const std::u16string &bad : {tooLong, u"a\\\\" + tooLong + u"\\b"}) {
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, bad.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
        ERROR_BADKEY);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, bad.c_str(), 0, 0, &key), ERROR_BADKEY);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, bad.c_str()), ERROR_BADKEY);
  }
  EXPECT_TRUE(subkeyNames(HKEY_CURRENT_USER).empty());
  RegCloseKey(createKey(HKEY_CURRENT_USER, longest.c_str()));
  EXPECT_EQ(subkeyNames(HKEY_CURRENT_USER), V{longest});
}

// Callers join key paths from parts that may each bring a backslash ("start\\" + "\\settings\\"):
// a run of backslashes is one separator, so the joined path names the key they meant.
TEST_F(RegistryKeys, PathsJoinedWithDoubledBackslashesNameTheKeyMeant) {
  const std::u16string start = u"Security\\Shell\\StartInfo\\Start\\";
  DWORD disposition = 0;
  HKEY joined = createKey(HKEY_LOCAL_MACHINE, (start + u"\\settings\\personal\\owner.lnk").c_str(),
                          &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(setDword(joined, u"ItemPosition", 4), ERROR_SUCCESS);
  for (const std::u16string &path : {start + u"settings\\personal\\owner.lnk",
                                     u"\\\\" + start + u"settings\\\\\\personal\\owner.lnk\\\\"}) {
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_EQ(readDword(same, u"ItemPosition"), 4u);
    RegCloseKey(same);
  }
  // No key with an empty name was made on the way.
  HKEY startKey = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, start.c_str(), 0, KEY_READ, &startKey), 0);
  EXPECT_EQ(subkeyNames(startKey), V{u"settings"});

  // Backslashes only: the key itself, which RegDeleteKeyW refuses to delete.
  HKEY itself = nullptr;
  ASSERT_EQ(RegOpenKeyExW(joined, u"\\\\", 0, KEY_READ, &itself), ERROR_SUCCESS);
  EXPECT_EQ(readDword(itself, u"itemposition"), 4u);
  RegCloseKey(itself);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"\\\\"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(subkeyNames(HKEY_LOCAL_MACHINE), V{u"Security"});

  // Deleting through a joined path deletes the key meant.
  EXPECT_EQ(RegDeleteKeyW(startKey, u"settings\\\\personal"), ERROR_SUCCESS);
  LONG error = 0;
  readBytes(joined, u"ItemPosition", &error);
  EXPECT_EQ(error, ERROR_KEY_DELETED);
  EXPECT_EQ(subkeyNames(startKey), V{u"settings"});
  RegCloseKey(startKey);
  RegCloseKey(joined);
}

TEST_F(RegistryKeys, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Security\\Shell\\StartInfo\\Start\\\u00c9T\u00c9");
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"SECURITY\\shell\\startinfo\\START\\\u00e9t\u00e9"));
  HKEY start = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"security\\Shell\\STARTINFO\\start", 0, 0, &start),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeyNames(start), V{u"\u00c9T\u00c9"});

  ASSERT_EQ(setDword(key, u"ItemPosition", 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"ITEMPOSITION", 2), ERROR_SUCCESS); // overwrites, keeps the old case
  ASSERT_EQ(setDword(key, u"\u0416", 3), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u"itemposition"), 2u);
  EXPECT_EQ(readDword(key, u"\u0436"), 3u);
  EXPECT_EQ(valueNames(key), (V{u"ItemPosition", u"\u0416"}));
  EXPECT_EQ(RegDeleteValueW(key, u"ITEMposition"), ERROR_SUCCESS);
  EXPECT_EQ(valueNames(key), V{u"\u0416"});
  RegCloseKey(key);
  RegCloseKey(start);
}

TEST_F(RegistryKeys, RootsAreSeparateTrees) {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
  for (DWORD i = 0; i < 4; ++i) {
    HKEY key = createKey(roots[i], u"Same");
    ASSERT_EQ(setDword(key, u"root", i), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  for (DWORD i = 0; i < 4; ++i) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(roots[i], u"Same", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, u"root"), i);
    RegCloseKey(key);
  }
  // Values may sit on a root itself.
  ASSERT_EQ(setDword(HKEY_USERS, u"top", 9), ERROR_SUCCESS);
  EXPECT_EQ(readDword(HKEY_USERS, u"top"), 9u);
}

TEST_F(RegistryKeys, DeleteRemovesTheWholeSubtreeAndNothingElse) {
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Services\\Vireta\\A\\B"));
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Services\\Vireta\\C"));
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Services\\ViretaX"));
  HKEY b = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services\\Vireta\\A\\B", 0, 0, &b), 0);
  ASSERT_EQ(setDword(b, u"v", 1), ERROR_SUCCESS);
  RegCloseKey(b);

  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"services\\VIRETA\\"), ERROR_SUCCESS);
  HKEY services = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services", 0, 0, &services), ERROR_SUCCESS);
  EXPECT_EQ(subkeyNames(services), V{u"ViretaX"});
  EXPECT_EQ(RegDeleteKeyW(services, u"Vireta"), ERROR_FILE_NOT_FOUND);
  // Re-creating the path finds nothing of the old subtree.
  HKEY reborn = createKey(HKEY_LOCAL_MACHINE, u"Services\\Vireta\\A\\B");
  LONG error = 0;
  readBytes(reborn, u"v", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  // A subkey naming nothing never deletes the key itself or a root.
  EXPECT_EQ(RegDeleteKeyW(services, u""), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(services, u"\\"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(services, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(subkeyNames(services), (V{u"ViretaX", u"Vireta"}));
  RegCloseKey(reborn);
  RegCloseKey(services);
}

TEST_F(RegistryValues, QueryAnswersSizesTypesAndMoreData) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tolmar_Vireta");
  ASSERT_EQ(setString(key, u"BackImage", u"\\Windows\\bg.png"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"BackImage", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 30u);
  // Too small: ERROR_MORE_DATA, the size needed, the type, and the buffer untouched.
  BYTE buffer[64];
  std::memset(buffer, 0xAB, sizeof buffer);
  size = 29;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"BackImage", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 30u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(buffer[0], 0xAB);
  size = 30;
  EXPECT_EQ(RegQueryValueExW(key, u"BackImage", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(buffer, u"\\Windows\\bg.png", 30), 0);
  EXPECT_EQ(buffer[30], 0xAB); // no terminating zero appended
  // Only the type; data without a size is refused.
  EXPECT_EQ(RegQueryValueExW(key, u"BackImage", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"BackImage", nullptr, &type, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);

  // The default value answers to a null and to an empty name.
  ASSERT_EQ(setDword(key, nullptr, 5), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u""), 5u);
  ASSERT_EQ(setDword(key, u"", 6), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, nullptr), 6u);
  EXPECT_EQ(valueNames(key), (V{u"BackImage", u""}));
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u""), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryValues, BytesComeBackExactlyAsGivenWhateverTheType) {
  HKEY key = createKey(HKEY_CURRENT_USER, u"Bytes");
  const BYTE oddString[] = {'a', 0, 'b'}; // REG_SZ of odd length, no zero
  const BYTE shortDword[] = {1, 2};       // REG_DWORD of two bytes
  const BYTE multi[] = {'x', 0, 0, 0, 'y', 0, 0, 0, 0, 0};
  std::vector<BYTE> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<BYTE>(i * 7);
  struct Case {
    const char16_t *name;
    DWORD type;
    std::vector<BYTE> data;
  } cases[] = {
      {u"odd", REG_SZ, {std::begin(oddString), std::end(oddString)}},
      {u"short", REG_DWORD, {std::begin(shortDword), std::end(shortDword)}},
      {u"multi", REG_MULTI_SZ, {std::begin(multi), std::end(multi)}},
      {u"expand", REG_EXPAND_SZ, {'%', 0}},
      {u"none", REG_NONE, {}},
      {u"binary", REG_BINARY, big},
  };
  for (const auto &c : cases)
    ASSERT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.data.empty() ? nullptr : c.data.data(),
                             static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
  for (const auto &c : cases) {
    LONG error = -1;
    DWORD type = 0;
    EXPECT_EQ(readBytes(key, c.name, &error, &type), c.data) << ce::toUtf8(c.name);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
  }
  // Overwriting changes type and bytes in place.
  ASSERT_EQ(setDword(key, u"odd", 42), ERROR_SUCCESS);
  EXPECT_EQ(readDword(key, u"odd"), 42u);
  EXPECT_EQ(valueNames(key).front(), u"odd");
  EXPECT_EQ(RegSetValueExW(key, u"bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryValues, EnumerationFollowsCreationOrderAndReportsWhatDoesNotFit) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Enum");
  for (const char16_t *name : {u"zeta", u"Alpha", u"mid"}) {
    RegCloseKey(createKey(key, name));
    ASSERT_EQ(setString(key, name, name), ERROR_SUCCESS);
  }
  ASSERT_EQ(setString(key, u"ZETA", u"longer text"), ERROR_SUCCESS); // keeps its place
  ASSERT_EQ(RegDeleteValueW(key, u"alpha"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key, u"Alpha", u"back"), ERROR_SUCCESS); // goes to the end
  EXPECT_EQ(valueNames(key), (V{u"zeta", u"mid", u"Alpha"}));
  EXPECT_EQ(subkeyNames(key), (V{u"zeta", u"Alpha", u"mid"}));

  char16_t name[16];
  DWORD length = 5; // "Alpha" needs 6 with its zero
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);
  length = 6;
  FILETIME written{};
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, nullptr, nullptr, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::u16string(name), u"Alpha");
  EXPECT_NE(written.dwHighDateTime, 0u);
  length = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);

  // Values: data too small gives ERROR_MORE_DATA and the size; a null buffer asks the size.
  BYTE data[8];
  DWORD type = 0, size = sizeof data;
  length = 16;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(type, REG_SZ);
  length = 16;
  size = 0;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"mid");
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(size, 6u);
  length = 3;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  length = 16;
  size = sizeof data;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(data, u"mid", 6), 0);
  EXPECT_EQ(RegEnumValueW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, data, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

// More data than a process keeps of what it read (several megabytes): reading all of it twice
// over, values come back exactly, whether kept, dropped to make room, or read again.
TEST_F(RegistryValues, MoreValuesThanAProcessKeepsReadBackExactly) {
  constexpr unsigned keys = 520, valuesPerKey = 4;
  const auto pattern = [](unsigned k, unsigned v) {
    std::vector<BYTE> data(4096);
    for (std::size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<BYTE>(k * 7 + v * 13 + i);
    return data;
  };
  for (unsigned k = 0; k < keys; ++k) {
    HKEY key = createKey(HKEY_CURRENT_USER, (u"Big\\K" + ce::toUtf16(std::to_string(k))).c_str());
    for (unsigned v = 0; v < valuesPerKey; ++v) {
      const auto data = pattern(k, v);
      ASSERT_EQ(RegSetValueExW(key, (u"v" + ce::toUtf16(std::to_string(v))).c_str(), 0, REG_BINARY,
                               data.data(), static_cast<DWORD>(data.size())),
                ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (unsigned k = 0; k < keys; ++k) {
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                              (u"big\\k" + ce::toUtf16(std::to_string(k))).c_str(), 0, KEY_READ,
                              &key),
                ERROR_SUCCESS);
      for (unsigned v = 0; v < valuesPerKey; ++v)
        ASSERT_EQ(readBytes(key, (u"V" + ce::toUtf16(std::to_string(v))).c_str()), pattern(k, v))
            << k << " " << v;
      RegCloseKey(key);
    }
  }
}

TEST_F(RegistryValues, QueryInfoCountsAndMeasures) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"Info");
  DWORD subKeys = 9, maxSub = 9, values = 9, maxName = 9, maxData = 9;
  FILETIME before{};
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values,
                             &maxName, &maxData, nullptr, &before),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys + maxSub + values + maxName + maxData, 0u);
  RegCloseKey(createKey(key, u"a"));
  RegCloseKey(createKey(key, u"Longest\\Below")); // only direct subkeys count
  ASSERT_EQ(setString(key, u"shortname", u"0123456789"), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, u"a-much-longer-name", 1), ERROR_SUCCESS);
  FILETIME after{};
  char16_t keyClass[4] = {u'x'};
  DWORD classLength = 4;
  ASSERT_EQ(RegQueryInfoKeyW(key, keyClass, &classLength, nullptr, &subKeys, &maxSub, nullptr,
                             &values, &maxName, &maxData, nullptr, &after),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSub, 7u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 18u);
  EXPECT_EQ(maxData, 20u);
  EXPECT_EQ(classLength, 0u);
  EXPECT_EQ(keyClass[0], u'\0');
  const auto ticks = [](FILETIME t) {
    return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  EXPECT_GE(ticks(after), ticks(before));
  EXPECT_GT(ticks(before), 116444736000000000ull); // after 1970
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryHandles, DeletedKeyFailsEveryCallEvenAfterItsPathIsCreatedAgain) {
  HKEY leaf = createKey(HKEY_LOCAL_MACHINE, u"Doomed\\Leaf");
  HKEY doomed = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Doomed", 0, 0, &doomed), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Doomed"), ERROR_SUCCESS);
  RegCloseKey(createKey(HKEY_LOCAL_MACHINE, u"Doomed\\Leaf"));

  for (HKEY h : {leaf, doomed}) {
    HKEY out = nullptr;
    DWORD size = 4, count = 0, length = 8;
    BYTE data[4];
    char16_t name[8];
    EXPECT_EQ(setDword(h, u"v", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExW(h, u"v", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueW(h, u"v"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExW(h, u"", 0, 0, &out), ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExW(h, u"Leaf", 0, 0, &out), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExW(h, u"New", 0, nullptr, 0, 0, nullptr, &out, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(h, u"Leaf"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExW(h, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueW(h, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegFlushKey(h), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  }
  // Nothing leaked into the new key of the same path.
  HKEY fresh = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Doomed\\Leaf", 0, 0, &fresh), ERROR_SUCCESS);
  EXPECT_TRUE(valueNames(fresh).empty());
  EXPECT_TRUE(subkeyNames(fresh).empty());
  RegCloseKey(fresh);
}

TEST_F(RegistryHandles, InvalidHandlesAndNullArgumentsAreRefused) {
  HKEY key = createKey(HKEY_LOCAL_MACHINE, u"H");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(setDword(key, u"v", 1), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  const HKEY bogus[] = {nullptr, reinterpret_cast<HKEY>(0x12345678),
                        reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000004u)),
                        reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)};
  for (HKEY h : bogus) {
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExW(h, u"x", 0, 0, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
  }
  // Closing a root is harmless; the root stays usable.
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(setDword(HKEY_LOCAL_MACHINE, u"still", 1), ERROR_SUCCESS);

  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"H", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"H", 0, nullptr, 0, 0, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  HKEY out = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, 0, nullptr, &out, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(out, nullptr);
}

TEST_F(RegistryHandles, DeviceRootRulesAndHandlesStayWithTheirDatabase) {
  HKEY first = createKey(HKEY_LOCAL_MACHINE, u"Where");
  ASSERT_EQ(setDword(first, u"root", 1), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(root / "registry.db"));

  const auto second = makeTempRoot();
  ce::DeviceRoot::use(second);
  EXPECT_EQ(setDword(first, u"later", 2), ERROR_SUCCESS); // still the first device's key
  HKEY other = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Where", 0, 0, &other), ERROR_FILE_NOT_FOUND);

  // A root folder that does not exist is not created; an unset root fails the same way.
  ce::DeviceRoot::use(second / "missing");
  EXPECT_EQ(setDword(HKEY_LOCAL_MACHINE, u"x", 1), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(second / "missing"));
  ce::DeviceRoot::use("");
  EXPECT_EQ(setDword(HKEY_LOCAL_MACHINE, u"x", 1), ERROR_PATH_NOT_FOUND);

  ce::DeviceRoot::use(root);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Where", 0, 0, &other), ERROR_SUCCESS);
  EXPECT_EQ(readDword(other, u"later"), 2u);
  RegCloseKey(other);
  RegCloseKey(first);
  std::filesystem::remove_all(second);
}

TEST_F(RegistryHandles, ReplacedDatabaseFileIsFollowedAndAForeignFileLeftAlone) {
  ASSERT_EQ(setDword(HKEY_LOCAL_MACHINE, u"old", 1), ERROR_SUCCESS);
  // A new device written in place of the old one: the next call sees the new registry.
  for (const char *name : {"registry.db", "registry.db-wal", "registry.db-shm"})
    std::filesystem::remove(root / name);
  LONG error = 0;
  readBytes(HKEY_LOCAL_MACHINE, u"old", &error);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

  for (const char *name : {"registry.db", "registry.db-wal", "registry.db-shm"})
    std::filesystem::remove(root / name);
  const std::string garbage(8192, 'G');
  std::ofstream(root / "registry.db", std::ios::binary) << garbage;
  EXPECT_EQ(setDword(HKEY_LOCAL_MACHINE, u"x", 1), ERROR_BADDB);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"x", 0, 0, &key), ERROR_BADDB);
  std::ifstream in(root / "registry.db", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
}

} // namespace
