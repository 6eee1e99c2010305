#include "device_tool_runner.h"

namespace {

using devtooltest::readFile;
using devtooltest::ToolRun;
using devtooltest::writeFile;
namespace fs = std::filesystem;

class DeviceToolFiles : public devtooltest::DeviceToolTest {
protected:
  void SetUp() override {
    DeviceToolTest::SetUp();
    createDevice();
  }
  std::string ls(const std::string &pattern) const {
    const ToolRun run = device({"ls", pattern});
    EXPECT_EQ(run.exitCode, 0) << pattern << ": " << run.err;
    return run.out;
  }
};

std::string everyByte(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7919 + i / 256) & 0xFF);
  return bytes;
}

TEST_F(DeviceToolFiles, PushAndPullCarryBinaryContentBothWays) {
  // Larger than one copy chunk, with every byte value, zeros and line ends included.
  const std::string content = everyByte(200 * 1024 + 17);
  writeFile(temp() / "blob.bin", content);
  ASSERT_EQ(device({"push", (temp() / "blob.bin").string(), "\\My Documents\\blob.bin"}).exitCode,
            0);
  EXPECT_EQ(readFile(fsPath() / "My Documents" / "blob.bin"), content);

  ToolRun run = device({"pull", "\\my documents\\BLOB.BIN", (temp() / "back.bin").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(temp() / "back.bin"), content);

  // Into an existing folder under the file's own name, on both sides; replacing what is there.
  writeFile(temp() / "small.txt", "one");
  ASSERT_EQ(device({"push", (temp() / "small.txt").string(), "/Temp"}).exitCode, 0);
  writeFile(temp() / "small.txt", "two");
  ASSERT_EQ(device({"push", (temp() / "small.txt").string(), "\\Temp\\"}).exitCode, 0);
  EXPECT_EQ(readFile(fsPath() / "Temp" / "small.txt"), "two");
  fs::create_directory(temp() / "out");
  ASSERT_EQ(device({"pull", "\\Temp\\small.txt", (temp() / "out").string()}).exitCode, 0);
  EXPECT_EQ(readFile(temp() / "out" / "small.txt"), "two");
  // Empty files too.
  writeFile(temp() / "empty", "");
  ASSERT_EQ(device({"push", (temp() / "empty").string(), "empty"}).exitCode, 0);
  EXPECT_TRUE(fs::exists(fsPath() / "empty"));
  EXPECT_EQ(fs::file_size(fsPath() / "empty"), 0u);
}

TEST_F(DeviceToolFiles, CopiesThatCannotBeMadeSayWhy) {
  writeFile(temp() / "f", "x");
  // Missing things exit 1.
  EXPECT_EQ(device({"push", (temp() / "nothing").string(), "\\Temp\\x"}).exitCode, 1);
  EXPECT_EQ(device({"push", (temp() / "f").string(), "\\No Folder\\x"}).exitCode, 1);
  EXPECT_EQ(device({"pull", "\\Temp\\missing", (temp() / "g").string()}).exitCode, 1);
  EXPECT_FALSE(fs::exists(temp() / "g"));
  // Folders where files are expected are refused.
  EXPECT_EQ(device({"push", temp().string(), "\\Temp\\x"}).exitCode, 2);
  EXPECT_EQ(device({"pull", "\\Windows", (temp() / "g").string()}).exitCode, 2);
  fs::create_directories(fsPath() / "Temp" / "f");
  EXPECT_EQ(device({"push", (temp() / "f").string(), "\\Temp"}).exitCode, 2);
  // A pull that fails leaves no partial or temporary file on the host.
  fs::create_directory(temp() / "clean");
  EXPECT_EQ(device({"pull", "\\Temp\\missing", (temp() / "clean" / "x").string()}).exitCode, 1);
  EXPECT_TRUE(fs::is_empty(temp() / "clean"));
}

TEST_F(DeviceToolFiles, ListingIsSortedWithFoldersMarked) {
  writeFile(fsPath() / "Temp" / "b.txt", "");
  writeFile(fsPath() / "Temp" / "A.txt", "");
  writeFile(fsPath() / "Temp" / "c.lnk", "");
  fs::create_directory(fsPath() / "Temp" / "Zeta");
  fs::create_directory(fsPath() / "Temp" / "alpha");

  EXPECT_EQ(ls("\\Temp"), "A.txt\nalpha\\\nb.txt\nc.lnk\nZeta\\\n");
  EXPECT_EQ(ls("/temp/"), ls("\\Temp"));
  EXPECT_EQ(ls("\\Temp\\*.TXT"), "A.txt\nb.txt\n");
  EXPECT_EQ(ls("\\Temp\\?.lnk"), "c.lnk\n");
  EXPECT_EQ(ls("\\temp\\B.TXT"), "b.txt\n");
  EXPECT_EQ(ls("\\"), "My Documents\\\nProgram Files\\\nTemp\\\nWindows\\\n");
  ToolRun run = device({"ls"});
  EXPECT_EQ(run.out, "My Documents\\\nProgram Files\\\nTemp\\\nWindows\\\n");
  EXPECT_EQ(ls("\\Windows\\Start Menu"), "Programs\\\n");
  EXPECT_EQ(ls("\\Windows\\Start Menu\\Programs"), ""); // empty folder: nothing, success

  EXPECT_EQ(device({"ls", "\\Nowhere"}).exitCode, 1);
  EXPECT_EQ(device({"ls", "\\Temp\\*.none"}).exitCode, 1);
  EXPECT_EQ(device({"ls", "\\Temp", "\\Windows"}).exitCode, 2);
}

// Names are the device's data: whatever a name holds, ls shows it on one line and sends nothing
// a terminal would act on.
TEST_F(DeviceToolFiles, ListingEscapesControlCharactersInNames) {
  writeFile(fsPath() / "Temp" / "a\nfake", "");
  writeFile(fsPath() / "Temp" / "b\x1b[2Jc", "");
  writeFile(fsPath() / "Temp" / "d\u202ee", "");
  EXPECT_EQ(ls("\\Temp"), "a\\nfake\nb\\x1b[2Jc\nd\\u202ee\n");
}

TEST_F(DeviceToolFiles, RemoveFilesFoldersAndTrees) {
  writeFile(fsPath() / "Temp" / "a.txt", "a");
  fs::create_directories(fsPath() / "Temp" / "tree" / "deep" / "deeper");
  writeFile(fsPath() / "Temp" / "tree" / "deep" / "f", "f");
  fs::create_directory(fsPath() / "Temp" / "hollow");

  EXPECT_EQ(device({"rm", "\\TEMP\\A.TXT"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(fsPath() / "Temp" / "a.txt"));
  EXPECT_EQ(device({"rm", "\\Temp\\a.txt"}).exitCode, 1);
  EXPECT_EQ(device({"rm", "\\Temp\\hollow"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(fsPath() / "Temp" / "hollow"));

  ToolRun run = device({"rm", "\\Temp\\tree"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("-r"), std::string::npos);
  EXPECT_TRUE(fs::exists(fsPath() / "Temp" / "tree" / "deep" / "f"));
  EXPECT_EQ(device({"rm", "-r", "\\Temp\\tree"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(fsPath() / "Temp" / "tree"));
  EXPECT_TRUE(fs::exists(fsPath() / "Temp"));

  // The root is never removed, however it is spelt.
  for (const char *rootPath : {"\\", "/", "\\Temp\\..", ".", "\\\\"}) {
    EXPECT_EQ(device({"rm", "-r", rootPath}).exitCode, 2) << rootPath;
    EXPECT_TRUE(fs::exists(fsPath() / "Windows" / "StartUp"));
  }
}

TEST_F(DeviceToolFiles, PathsLeavingTheDeviceReadAndWriteNothing) {
  // Something outside the device to steal or clobber.
  const fs::path outside = temp() / "outside";
  fs::create_directory(outside);
  writeFile(outside / "secret", "secret");
  writeFile(temp() / "payload", "payload");
  fs::create_directory_symlink(outside, fsPath() / "Temp" / "link");

  const std::string climb = "..\\..\\outside\\secret";
  const std::string viaLink = "\\Temp\\link\\secret";
  for (const std::string &path : {climb, viaLink, std::string("\\..\\..\\outside\\new")}) {
    const std::string pulled = (temp() / "pulled").string();
    EXPECT_EQ(device({"pull", path, pulled}).exitCode, 2) << path;
    EXPECT_FALSE(fs::exists(pulled)) << path;
    EXPECT_EQ(device({"push", (temp() / "payload").string(), path}).exitCode, 2) << path;
    EXPECT_EQ(device({"rm", path}).exitCode, 2) << path;
    EXPECT_EQ(device({"rm", "-r", path}).exitCode, 2) << path;
    EXPECT_EQ(device({"ls", path}).exitCode, 2) << path;
  }
  EXPECT_EQ(device({"ls", "\\Temp\\link"}).exitCode, 2);
  EXPECT_EQ(device({"ls", "\\Temp\\link\\*"}).exitCode, 2);
  EXPECT_EQ(device({"push", (temp() / "payload").string(), "\\Temp\\link"}).exitCode, 2);
  EXPECT_EQ(device({"ls", "..\\..\\..\\..\\..\\..\\..\\..\\etc\\passwd"}).exitCode, 2);
  EXPECT_EQ(
      device({"pull", "..\\..\\..\\..\\..\\..\\..\\..\\etc\\passwd", (temp() / "passwd").string()})
          .exitCode,
      2);
  EXPECT_FALSE(fs::exists(temp() / "passwd"));

  // Removing a tree that holds links to the outside removes the links, not what they point to.
  fs::create_directories(fsPath() / "Temp" / "tree" / "sub");
  fs::create_directory_symlink(outside, fsPath() / "Temp" / "tree" / "sub" / "folder");
  fs::create_symlink(outside / "secret", fsPath() / "Temp" / "tree" / "file");
  EXPECT_EQ(device({"rm", "-r", "\\Temp\\tree"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(fsPath() / "Temp" / "tree")));

  // A link itself is removed by rm, wherever it points: outside, to a folder, or nowhere.
  fs::create_symlink(outside / "secret", fsPath() / "Temp" / "out-file");
  fs::create_directory_symlink(fsPath() / "Windows", fsPath() / "Temp" / "in-folder");
  fs::create_symlink(fsPath() / "Temp" / "gone", fsPath() / "Temp" / "dangling");
  for (const char *link : {"out-file", "link", "in-folder", "dangling"}) {
    const ToolRun removed = device({"rm", std::string("\\Temp\\") + link});
    EXPECT_EQ(removed.exitCode, 0) << link << ": " << removed.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(fsPath() / "Temp" / link))) << link;
  }
  EXPECT_TRUE(fs::exists(fsPath() / "Windows" / "StartUp"));

  EXPECT_EQ(readFile(outside / "secret"), "secret");
  EXPECT_FALSE(fs::exists(outside / "new"));
  EXPECT_FALSE(fs::exists(outside / "payload"));
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
}

} // namespace
