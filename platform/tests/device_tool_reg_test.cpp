#include "device_tool_runner.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/registry.h>

namespace {

using devtooltest::ToolRun;
namespace fs = std::filesystem;

class DeviceToolReg : public devtooltest::DeviceToolTest {
protected:
  void SetUp() override {
    DeviceToolTest::SetUp();
    createDevice();
  }
  ToolRun add(std::initializer_list<std::string> rest) const {
    std::vector<std::string> args{"reg", "add"};
    args.insert(args.end(), rest.begin(), rest.end());
    return device(args);
  }
  std::string query(const std::string &key) const {
    const ToolRun run = device({"reg", "query", key});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
  }
};

TEST_F(DeviceToolReg, EveryTypeRoundTripsInTheQueryFormat) {
  const std::string key = "HKLM\\Software\\Test";
  ASSERT_EQ(add({key, "/v", "text", "/d", "hello world"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "path", "/t", "REG_EXPAND_SZ", "/d", "%windir%\\x"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "dec", "/t", "REG_DWORD", "/d", "4294967295"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "hex", "/t", "reg_dword", "/d", "0xABcd"}).exitCode, 0);
  ASSERT_EQ(
      add({key, "/v", "list", "/t", "REG_MULTI_SZ", "/d", "one\\0two\\0\u00e9t\u00e9"}).exitCode,
      0);
  ASSERT_EQ(add({key, "/v", "blob", "/t", "REG_BINARY", "/d", "00ff10Ab"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "none", "/t", "REG_NONE", "/d", "0102"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "empty", "/t", "REG_BINARY"}).exitCode, 0);
  ASSERT_EQ(add({key, "/ve", "/d", "default"}).exitCode, 0);
  ASSERT_EQ(add({key + "\\Child\\Grandchild"}).exitCode, 0);
  ASSERT_EQ(add({key + "\\Second"}).exitCode, 0);

  EXPECT_EQ(query(key), "HKEY_LOCAL_MACHINE\\Software\\Test\n"
                        "    text    REG_SZ    hello world\n"
                        "    path    REG_EXPAND_SZ    %windir%\\x\n"
                        "    dec    REG_DWORD    0xffffffff\n"
                        "    hex    REG_DWORD    0xabcd\n"
                        "    list    REG_MULTI_SZ    one\\0two\\0\u00e9t\u00e9\n"
                        "    blob    REG_BINARY    00FF10AB\n"
                        "    none    REG_NONE    0102\n"
                        "    empty    REG_BINARY    \n"
                        "    (Default)    REG_SZ    default\n"
                        "HKEY_LOCAL_MACHINE\\Software\\Test\\Child\n"
                        "HKEY_LOCAL_MACHINE\\Software\\Test\\Second\n");

  // Long root names and trailing backslashes name the same key; /v picks one value.
  ToolRun run = device({"reg", "query", "HKEY_LOCAL_MACHINE\\Software\\Test\\", "/v", "HEX"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "HKEY_LOCAL_MACHINE\\Software\\Test\n    HEX    REG_DWORD    0xabcd\n");
  run = device({"reg", "query", key, "/ve"});
  EXPECT_EQ(run.out, "HKEY_LOCAL_MACHINE\\Software\\Test\n    (Default)    REG_SZ    default\n");
}

TEST_F(DeviceToolReg, StoredBytesAndWhatQueryMakesOfThem) {
  ASSERT_EQ(add({"HKCU\\Text", "/v", "sz", "/d", "abc"}).exitCode, 0);
  ASSERT_EQ(add({"HKCU\\Text", "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b\\0"}).exitCode, 0);
  ASSERT_EQ(add({"HKCU\\Text", "/v", "nolist", "/t", "REG_MULTI_SZ"}).exitCode, 0);

  // Read back and write through the platform API, as a device program would.
  ce::DeviceRoot::use(root());
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Text", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  auto bytesOf = [&](const char16_t *name) {
    BYTE data[64] = {};
    DWORD size = sizeof data, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, data, &size), ERROR_SUCCESS);
    return std::vector<BYTE>(data, data + size);
  };
  EXPECT_EQ(bytesOf(u"sz"), (std::vector<BYTE>{'a', 0, 'b', 0, 'c', 0, 0, 0}));
  EXPECT_EQ(bytesOf(u"multi"), (std::vector<BYTE>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesOf(u"nolist"), (std::vector<BYTE>{0, 0, 0, 0}));

  // Data the way the system itself writes it: text without its zero, text with a zero inside,
  // a list without its closing zeros, a number of the wrong size, an odd byte count.
  const BYTE bare[] = {'x', 0, 'y', 0};
  const BYTE inner[] = {'x', 0, 0, 0, 'y', 0};
  const BYTE open[] = {'p', 0, 0, 0, 'q', 0};
  const BYTE shortNumber[] = {1, 2};
  const BYTE odd[] = {'z', 0, 'w'};
  ASSERT_EQ(RegSetValueExW(key, u"bare", 0, REG_SZ, bare, sizeof bare), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"inner", 0, REG_EXPAND_SZ, inner, sizeof inner), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"open", 0, REG_MULTI_SZ, open, sizeof open), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"short", 0, REG_DWORD, shortNumber, sizeof shortNumber),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"odd", 0, REG_SZ, odd, sizeof odd), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"big", 0, REG_DWORD_BIG_ENDIAN, shortNumber, 2), ERROR_SUCCESS);
  RegCloseKey(key);

  EXPECT_EQ(query("HKCU\\Text"), "HKEY_CURRENT_USER\\Text\n"
                                 "    sz    REG_SZ    abc\n"
                                 "    multi    REG_MULTI_SZ    a\\0b\n"
                                 "    nolist    REG_MULTI_SZ    \n"
                                 "    bare    REG_SZ    xy\n"
                                 "    inner    REG_EXPAND_SZ    x\n"
                                 "    open    REG_MULTI_SZ    p\\0q\n"
                                 "    short    REG_DWORD    0102\n"
                                 "    odd    REG_SZ    z\n"
                                 "    big    REG_DWORD_BIG_ENDIAN    0102\n");

  // Unicode names and data survive the terminal's UTF-8.
  ASSERT_EQ(add({"HKCR\\\u0416\u00e9", "/v", "\u03a9", "/d", "\U0001F600"}).exitCode, 0);
  EXPECT_EQ(query("HKCR\\\u0416\u00e9"),
            "HKEY_CLASSES_ROOT\\\u0416\u00e9\n    \u03a9    REG_SZ    \U0001F600\n");
}

TEST_F(DeviceToolReg, BadDataAndBadKeysAreRefusedAndNothingIsWritten) {
  const std::string key = "HKLM\\Software\\Refused";
  const std::vector<std::vector<std::string>> bad = {
      {key, "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"},
      {key, "/v", "n", "/t", "REG_DWORD", "/d", "0x100000000"},
      {key, "/v", "n", "/t", "REG_DWORD", "/d", "-1"},
      {key, "/v", "n", "/t", "REG_DWORD", "/d", "12abc"},
      {key, "/v", "n", "/t", "REG_DWORD", "/d", "0x"},
      {key, "/v", "n", "/t", "REG_DWORD", "/d", ""},
      {key, "/v", "n", "/t", "REG_DWORD"},
      {key, "/v", "n", "/t", "REG_BINARY", "/d", "abc"},
      {key, "/v", "n", "/t", "REG_BINARY", "/d", "zz"},
      {key, "/v", "n", "/t", "REG_NONE", "/d", "0x00"},
      {key, "/v", "n", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"},
      {key, "/v", "n", "/t", "REG_MULTI_SZ", "/d", "\\0a"},
      {key, "/v", "n", "/t", "REG_QWORD", "/d", "1"},
      {key, "/v", "n", "/d", "bad \xff utf-8"},
      {key, "/v", "n", "/ve"},
      {key, "/d", "data without a name"},
      {key, "/v"},
      {key, "/v", "a", "/v", "b"},
      {"HKXX\\Software\\Refused"},
      {"Software\\Refused"},
      {"HKLM\\Software\\\\Refused"},
  };
  for (const auto &args : bad) {
    std::vector<std::string> all{"reg", "add"};
    all.insert(all.end(), args.begin(), args.end());
    const ToolRun run = device(all);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(device({"reg", "query", key}).exitCode, 1);
  EXPECT_EQ(query("HKLM"), "HKEY_LOCAL_MACHINE\nHKEY_LOCAL_MACHINE\\System\n");
}

TEST_F(DeviceToolReg, OverwriteAndDeleteNeedForceWithoutATerminal) {
  const std::string key = "HKLM\\Software\\Keep";
  ASSERT_EQ(add({key, "/v", "v", "/d", "first"}).exitCode, 0);
  ASSERT_EQ(add({key + "\\Sub\\Deeper", "/v", "x", "/t", "REG_DWORD", "/d", "7"}).exitCode, 0);

  ToolRun run = add({key, "/v", "v", "/d", "second"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("/f"), std::string::npos);
  EXPECT_EQ(device({"reg", "delete", key, "/v", "v"}).exitCode, 2);
  EXPECT_EQ(device({"reg", "delete", key}).exitCode, 2);
  EXPECT_EQ(query(key), "HKEY_LOCAL_MACHINE\\Software\\Keep\n    v    REG_SZ    first\n"
                        "HKEY_LOCAL_MACHINE\\Software\\Keep\\Sub\n");

  ASSERT_EQ(add({key, "/v", "v", "/d", "second", "/f"}).exitCode, 0);
  ASSERT_EQ(add({key, "/v", "v", "/t", "REG_DWORD", "/d", "3", "/F"}).exitCode, 0);
  EXPECT_EQ(device({"reg", "query", key, "/v", "v"}).out,
            "HKEY_LOCAL_MACHINE\\Software\\Keep\n    v    REG_DWORD    0x3\n");
  // Adding a key that exists changes nothing and succeeds.
  EXPECT_EQ(add({key}).exitCode, 0);

  EXPECT_EQ(device({"reg", "delete", key, "/v", "V", "/f"}).exitCode, 0);
  EXPECT_EQ(query(key),
            "HKEY_LOCAL_MACHINE\\Software\\Keep\nHKEY_LOCAL_MACHINE\\Software\\Keep\\Sub\n");
  EXPECT_EQ(device({"reg", "delete", "hklm\\software\\keep", "/f"}).exitCode, 0);
  EXPECT_EQ(device({"reg", "query", key + "\\Sub\\Deeper"}).exitCode, 1);
  EXPECT_EQ(device({"reg", "query", key}).exitCode, 1);
  // The root itself is never deleted.
  EXPECT_EQ(device({"reg", "delete", "HKLM", "/f"}).exitCode, 2);
  EXPECT_EQ(device({"reg", "query", "HKLM\\System\\Versions", "/v", "AKU"}).exitCode, 0);
}

TEST_F(DeviceToolReg, MissingKeysAndValuesExitOne) {
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"reg", "query", "HKLM\\Nowhere"},
           {"reg", "query", "HKLM\\System\\Versions", "/v", "Missing"},
           {"reg", "query", "HKLM\\System\\Versions", "/ve"},
           {"reg", "delete", "HKLM\\Nowhere", "/f"},
           {"reg", "delete", "HKLM\\System\\Versions", "/v", "Missing", "/f"},
       }) {
    const ToolRun run = device(args);
    EXPECT_EQ(run.exitCode, 1) << ::testing::PrintToString(args);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("not found"), std::string::npos) << run.err;
  }
}

// A key name part longer than 255 characters is bad input like any other (exit 2), whatever the
// action; and what the registry holds reaches the terminal one line per value, whatever it holds.
TEST_F(DeviceToolReg, OverlongNamesAreRefusedAndControlCharactersAreShownEscaped) {
  const std::string overlong = "HKLM\\Software\\" + std::string(256, 'k');
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"reg", "add", overlong, "/f"},
           {"reg", "add", overlong, "/v", "n", "/d", "x", "/f"},
           {"reg", "query", overlong},
           {"reg", "delete", overlong, "/f"},
       }) {
    const ToolRun run = device(args);
    EXPECT_EQ(run.exitCode, 2) << args[1] << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(add({"HKLM\\Software\\" + std::string(255, 'k'), "/f"}).exitCode, 0);

  const std::string key = "HKCU\\Shown";
  ASSERT_EQ(add({key, "/v", "two\nlines", "/d", "fake\n    line\x1b[2J\u202e"}).exitCode, 0);
  EXPECT_EQ(query(key), "HKEY_CURRENT_USER\\Shown\n"
                        "    two\\nlines    REG_SZ    fake\\n    line\\x1b[2J\\u202e\n");
  // Stored as given: only the display escapes.
  ce::DeviceRoot::use(root());
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Shown", 0, KEY_READ, &handle), ERROR_SUCCESS);
  WCHAR data[64] = {};
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExW(handle, u"two\nlines", nullptr, nullptr,
                             reinterpret_cast<BYTE *>(data), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(data), u"fake\n    line\x1b[2J\u202e");
  RegCloseKey(handle);
}

} // namespace
