// device install and device uninstall on a device that is not booted, with packages made by the
// tests: what is copied, recorded and removed, what is refused, and partial failures.
#include "device_tool_runner.h"

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <algorithm>
#include <set>
#include <unistd.h>

namespace {

using devtooltest::readFile;
using devtooltest::ToolRun;
using devtooltest::writeFile;
namespace fs = std::filesystem;

std::u16string readText(const std::u16string &key, const char16_t *name, DWORD *type = nullptr) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return u"(no key)";
  std::u16string data(4096, u'\0');
  DWORD size = DWORD(data.size() * sizeof(char16_t)), kind = 0;
  const LONG status =
      RegQueryValueExW(handle, name, nullptr, &kind, reinterpret_cast<BYTE *>(data.data()), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS)
    return u"(no value)";
  if (type)
    *type = kind;
  data.resize(size / sizeof(char16_t));
  while (!data.empty() && data.back() == u'\0')
    data.pop_back();
  return data;
}

// A REG_MULTI_SZ value as its strings.
std::vector<std::u16string> readList(const std::u16string &key, const char16_t *name) {
  DWORD type = 0;
  const std::u16string data = readText(key, name, &type);
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ)) << ce::toUtf8(name);
  std::vector<std::u16string> list;
  std::size_t start = 0;
  while (start <= data.size()) {
    const std::size_t end = std::min(data.find(u'\0', start), data.size());
    if (end > start)
      list.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return list;
}

bool keyExists(const std::u16string &key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

class InstallerPackage : public devtooltest::DeviceToolTest {
protected:
  void SetUp() override {
    DeviceToolTest::SetUp();
    createDevice();
    ce::DeviceRoot::use(root());
  }

  fs::path package(const std::string &name = "pkg") const { return temp() / name; }

  // Writes a package file (making its folders).
  void put(const std::string &relative, const std::string &bytes,
           const std::string &packageName = "pkg") const {
    const fs::path path = package(packageName) / relative;
    fs::create_directories(path.parent_path());
    writeFile(path, bytes);
  }

  ToolRun install(const std::vector<std::string> &extra = {},
                  const std::string &packageName = "pkg") const {
    std::vector<std::string> args{"install"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(package(packageName).string());
    return device(args);
  }

  ToolRun uninstall(const std::string &name) const { return device({"uninstall", name}); }

  // Every path below fs/, to see that a refused run changed nothing.
  std::set<std::string> tree() const {
    std::set<std::string> paths;
    for (const auto &entry : fs::recursive_directory_iterator(fsPath()))
      paths.insert(entry.path().lexically_relative(fsPath()).string());
    return paths;
  }

  bool onDevice(const std::string &relative) const {
    return fs::exists(fs::symlink_status(fsPath() / relative));
  }
};

TEST_F(InstallerPackage, InstallCopiesAndRecordsThenUninstallRemovesOnlyWhatItMade) {
  put("manifest.txt", "name=Tool Box\n"
                      "directory=\\Program Files\\Tool Box\n"
                      "file=bin/tool.exe -> %INSTALLDIR%\\bin\\tool.exe\n"
                      "file=data/a.txt -> %INSTALLDIR%\\data\\deep\\a.txt\n"
                      "file=tool.lnk -> \\Windows\\Start Menu\\Programs\\Tool.lnk\n"
                      "file=top.txt -> \\top.txt\n");
  put("bin/tool.exe", "\x7F" "ELF program");
  fs::permissions(package() / "bin/tool.exe", fs::perms::owner_exec, fs::perm_options::add);
  put("data/a.txt", "alpha");
  put("tool.lnk", "28#\"\\Program Files\\Tool Box\\bin\\tool.exe\"");
  put("top.txt", "top");

  const ToolRun run = install();
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[1/4] \\Program Files\\Tool Box\\bin\\tool.exe\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("[4/4] \\top.txt\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("installed Tool Box: 4 files"), std::string::npos) << run.out;
  // No setup library: nothing needs the host, so nothing is said about it.
  EXPECT_EQ(run.out.find("not booted"), std::string::npos) << run.out;

  EXPECT_EQ(readFile(fsPath() / "Program Files/Tool Box/data/deep/a.txt"), "alpha");
  EXPECT_EQ(readFile(fsPath() / "top.txt"), "top");
  EXPECT_TRUE(onDevice("Windows/Start Menu/Programs/Tool.lnk"));
  // The execute permission follows the package's file: the host can start the program.
  EXPECT_EQ(::access((fsPath() / "Program Files/Tool Box/bin/tool.exe").c_str(), X_OK), 0);
  EXPECT_NE(::access((fsPath() / "top.txt").c_str(), X_OK), 0);

  const std::u16string key = u"SOFTWARE\\Apps\\Tool Box";
  DWORD type = 0;
  EXPECT_EQ(readText(key, u"InstlDir", &type), u"\\Program Files\\Tool Box");
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(readText(key, u"IsvFile"), u"(no value)");
  EXPECT_EQ(readList(key, u"Files"),
            (std::vector<std::u16string>{u"\\Program Files\\Tool Box\\bin\\tool.exe",
                                         u"\\Program Files\\Tool Box\\data\\deep\\a.txt",
                                         u"\\Windows\\Start Menu\\Programs\\Tool.lnk",
                                         u"\\top.txt"}));
  // Only the folders the installation made, deepest first; \Windows\Start Menu\Programs was
  // there before.
  EXPECT_EQ(readList(key, u"Directories"),
            (std::vector<std::u16string>{u"\\Program Files\\Tool Box\\data\\deep",
                                         u"\\Program Files\\Tool Box\\bin",
                                         u"\\Program Files\\Tool Box\\data",
                                         u"\\Program Files\\Tool Box"}));
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
  DWORD installed = 0, size = sizeof installed;
  EXPECT_EQ(RegQueryValueExW(handle, u"Instl", nullptr, &type,
                             reinterpret_cast<BYTE *>(&installed), &size),
            ERROR_SUCCESS);
  RegCloseKey(handle);
  EXPECT_EQ(installed, 1u);

  // Something of the user's in a folder of the package keeps that folder and its parents.
  writeFile(fsPath() / "Program Files/Tool Box/data/mine.txt", "mine");
  const ToolRun removed = uninstall("Tool Box");
  ASSERT_EQ(removed.exitCode, 0) << removed.out << removed.err;
  EXPECT_NE(removed.out.find("removed Tool Box: 4 files"), std::string::npos) << removed.out;
  for (const char *gone : {"Program Files/Tool Box/bin", "Program Files/Tool Box/data/deep",
                           "Windows/Start Menu/Programs/Tool.lnk", "top.txt"})
    EXPECT_FALSE(onDevice(gone)) << gone;
  EXPECT_EQ(readFile(fsPath() / "Program Files/Tool Box/data/mine.txt"), "mine");
  EXPECT_TRUE(onDevice("Windows/Start Menu/Programs"));
  EXPECT_FALSE(keyExists(key));

  const ToolRun again = uninstall("Tool Box");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("no package named 'Tool Box' is installed"), std::string::npos)
      << again.err;
  EXPECT_EQ(uninstall("bad\\name").exitCode, 2);
  EXPECT_EQ(device({"uninstall"}).exitCode, 2);
}

TEST_F(InstallerPackage, RefusedPackagesChangeNothingOnTheDevice) {
  const std::string head = "name=P\ndirectory=\\Program Files\\P\n";
  put("a.txt", "a");
  writeFile(temp() / "secret.txt", "host secret");
  const auto before = tree();
  struct Case {
    std::string manifest;
    std::vector<std::string> options;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {head + "flie=a.txt -> \\a.txt\n", {}, "unknown key"},
      {head + "file=missing.txt -> \\a.txt\n", {}, "missing.txt is not in the package"},
      {head + "file=sub -> \\a.txt\n", {}, "sub is not a file"},
      {head + "file=link.txt -> \\a.txt\n", {}, "leads out of the package folder"},
      {head + "setup=setup.dll\nfile=a.txt -> \\a.txt\n", {}, "setup.dll is not in the package"},
      {head + "file=a.txt -> %INSTALLDIR%\\..\\..\\a.txt\n",
       {"--directory", "\\Top"},
       "climbs above the device's root"},
      {head + "file=a.txt -> \\a.txt\n", {"--directory", "\\..\\x"}, "climbs above"},
      {head + "file=a.txt -> \\a.txt\nfile=a.txt -> %INSTALLDIR%\\a.txt\n",
       {"--directory", "\\"},
       "a second file goes to"},
  };
  fs::create_directories(package() / "sub");
  fs::create_symlink(temp() / "secret.txt", package() / "link.txt");
  for (const auto &c : cases) {
    writeFile(package() / "manifest.txt", c.manifest);
    const ToolRun run = install(c.options);
    EXPECT_EQ(run.exitCode, 2) << c.manifest << run.out << run.err;
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.manifest << run.err;
    EXPECT_EQ(tree(), before) << c.manifest;
    EXPECT_FALSE(keyExists(u"SOFTWARE\\Apps\\P")) << c.manifest;
  }
  // A folder without a manifest, a file instead of a folder, a missing folder, no folder.
  fs::remove(package() / "manifest.txt");
  EXPECT_EQ(install().exitCode, 2);
  EXPECT_EQ(device({"install", (temp() / "secret.txt").string()}).exitCode, 2);
  EXPECT_EQ(device({"install", (temp() / "nowhere").string()}).exitCode, 2);
  EXPECT_EQ(device({"install"}).exitCode, 2);
  EXPECT_EQ(tree(), before);
}

TEST_F(InstallerPackage, SetupLibraryWithoutEntryPointsIsKeptAndOneThatDoesNotLoadStopsAll) {
  put("manifest.txt", "name=P\ndirectory=\\Program Files\\P\nsetup=setup.dll\n"
                      "file=a.txt -> %INSTALLDIR%\\a.txt\n");
  put("a.txt", "a");
  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / "plain.dll", package() / "setup.dll");

  ToolRun run = install();
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("note: the device is not booted"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("does not export Install_Init Install_Exit Uninstall_Init "
                         "Uninstall_Exit; those steps are skipped"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(readText(u"SOFTWARE\\Apps\\P", u"IsvFile"), u"\\Windows\\AppMgr\\P.dll");
  EXPECT_TRUE(onDevice("Windows/AppMgr/P.dll"));
  EXPECT_FALSE(onDevice("Windows/AppMgr/Install")); // the stage is cleared away

  // A new version without a setup library: the kept one goes with the record's IsvFile.
  writeFile(package() / "manifest.txt",
            "name=P\ndirectory=\\Program Files\\P\nfile=a.txt -> %INSTALLDIR%\\a.txt\n");
  run = install();
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(readText(u"SOFTWARE\\Apps\\P", u"IsvFile"), u"(no value)");
  EXPECT_EQ(readText(u"SOFTWARE\\Apps\\P", u"InstlDir"), u"\\Program Files\\P");
  EXPECT_FALSE(onDevice("Windows/AppMgr/P.dll"));
  run = uninstall("P");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_FALSE(onDevice("Program Files/P"));

  writeFile(package() / "manifest.txt", "name=P\ndirectory=\\Program Files\\P\nsetup=setup.dll\n"
                                        "file=a.txt -> %INSTALLDIR%\\a.txt\n");

  // A setup library that is no library: nothing is installed and nothing is left behind.
  put("setup.dll", "not a library");
  const auto before = tree();
  run = install();
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.err.find("cannot load the setup library setup.dll: error"), std::string::npos)
      << run.err;
  EXPECT_FALSE(onDevice("Program Files/P"));
  EXPECT_FALSE(onDevice("Windows/AppMgr/Install/P.dll"));
  EXPECT_FALSE(keyExists(u"SOFTWARE\\Apps\\P"));
  // \Windows\AppMgr itself stays once made; nothing else differs.
  auto after = tree();
  after.insert("Windows/AppMgr");
  auto expected = before;
  expected.insert("Windows/AppMgr");
  EXPECT_EQ(after, expected);
}

TEST_F(InstallerPackage, FilesThatCannotBeCopiedOrRemovedAreCountedAndNotLost) {
  put("manifest.txt", "name=P\ndirectory=\\Program Files\\P\n"
                      "file=a.txt -> %INSTALLDIR%\\a.txt\n"
                      "file=b.txt -> %INSTALLDIR%\\blocked\n"
                      "file=c.txt -> %INSTALLDIR%\\sub\\c.txt\n");
  put("a.txt", "a");
  put("b.txt", "b");
  put("c.txt", "c");
  fs::create_directories(fsPath() / "Program Files/P/blocked");

  ToolRun run = install();
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("[2/3] \\Program Files\\P\\blocked -- failed: a folder of that name is "
                         "in the way"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("with failures: 0 folders and 1 file could not be made"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(readList(u"SOFTWARE\\Apps\\P", u"Files"),
            (std::vector<std::u16string>{u"\\Program Files\\P\\a.txt",
                                         u"\\Program Files\\P\\sub\\c.txt"}));

  // A file the device cannot delete stays in the record, so that a later uninstall finishes.
  if (::geteuid() != 0) {
    fs::permissions(fsPath() / "Program Files/P/sub", fs::perms::owner_write,
                    fs::perm_options::remove);
    run = uninstall("P");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("\\Program Files\\P\\sub\\c.txt -- cannot remove"), std::string::npos)
        << run.out;
    EXPECT_EQ(readList(u"SOFTWARE\\Apps\\P", u"Files"),
              (std::vector<std::u16string>{u"\\Program Files\\P\\sub\\c.txt"}));
    EXPECT_FALSE(onDevice("Program Files/P/a.txt"));
    fs::permissions(fsPath() / "Program Files/P/sub", fs::perms::owner_write,
                    fs::perm_options::add);
  }
  run = uninstall("P");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_FALSE(onDevice("Program Files/P/sub"));
  EXPECT_TRUE(onDevice("Program Files/P/blocked")); // the user's folder, not the package's
  EXPECT_FALSE(keyExists(u"SOFTWARE\\Apps\\P"));
}

TEST_F(InstallerPackage, ReinstallKeepsTheEarlierVersionsFilesInTheRecord) {
  put("manifest.txt", "name=P\ndirectory=\\Program Files\\P\n"
                      "file=a.txt -> %INSTALLDIR%\\a.txt\nfile=b.txt -> %INSTALLDIR%\\old\\b.txt\n",
      "v1");
  put("a.txt", "a1", "v1");
  put("b.txt", "b1", "v1");
  put("manifest.txt", "name=P\ndirectory=\\Program Files\\P\n"
                      "file=a.txt -> %INSTALLDIR%\\a.txt\nfile=c.txt -> %INSTALLDIR%\\c.txt\n",
      "v2");
  put("a.txt", "a2", "v2");
  put("c.txt", "c2", "v2");

  ASSERT_EQ(install({}, "v1").exitCode, 0);
  const ToolRun run = install({}, "v2");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("(installed before)"), std::string::npos) << run.out;
  EXPECT_EQ(readFile(fsPath() / "Program Files/P/a.txt"), "a2");
  EXPECT_EQ(readList(u"SOFTWARE\\Apps\\P", u"Files"),
            (std::vector<std::u16string>{u"\\Program Files\\P\\a.txt",
                                         u"\\Program Files\\P\\c.txt",
                                         u"\\Program Files\\P\\old\\b.txt"}));
  ASSERT_EQ(uninstall("P").exitCode, 0);
  EXPECT_FALSE(onDevice("Program Files/P"));
}

} // namespace
