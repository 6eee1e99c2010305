// Special folders and the shell's silent recursive delete.
#include "files_fixture.h"

namespace {

using Shell = ce::testing::DeviceFiles;
namespace fs = std::filesystem;

int deleteSilently(const std::u16string& list) {
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = list.c_str(); // the string's own terminator ends the list after the last zero
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  return SHFileOperationW(&op);
}

TEST_F(Shell, SpecialFoldersHaveFixedPathsAndAreCreatedOnRequest) {
  WCHAR path[MAX_PATH];
  const std::pair<int, std::u16string> folders[] = {
      {CSIDL_PROGRAMS, u"\\Windows\\Start Menu\\Programs"},
      {CSIDL_STARTMENU, u"\\Windows\\Start Menu"},
      {CSIDL_STARTUP, u"\\Windows\\StartUp"},
      {CSIDL_PROGRAM_FILES, u"\\Program Files"},
      {CSIDL_WINDOWS, u"\\Windows"}};
  for (const auto& [id, expected] : folders) {
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, id, FALSE)) << id;
    EXPECT_EQ(std::u16string(path), expected);
  }
  EXPECT_FALSE(hostExists("Windows"));
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, TRUE));
  EXPECT_TRUE(fs::is_directory(fs_ / "Windows/Start Menu/Programs"));
  // An existing folder in another case is used, not doubled.
  fs::create_directories(fs_ / "windows/startup");
  fs::remove_all(fs_ / "Windows");
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, TRUE));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\StartUp");
  EXPECT_FALSE(hostExists("Windows"));

  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7777, FALSE));
  EXPECT_EQ(path[0], 0);
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_WINDOWS, FALSE));
  // A file where the folder should be is reported, not papered over.
  hostWrite("Program Files", "file");
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, TRUE));
}

TEST_F(Shell, DeleteRemovesEveryListedTreeAndKeepsGoingAfterAMiss) {
  hostWrite("Program Files/Vireta/Vireta.exe", "elf");
  hostWrite("Program Files/Vireta/resources/VGA/back.png", "png");
  hostWrite("Program Files/Vireta/resources/lang/lang.english.txt", "en");
  hostWrite("Program Files/Other/keep.exe", "keep");
  hostWrite("Windows/Brevin.dll", "dll");
  fs::permissions(fs_ / "Program Files/Vireta/Vireta.exe", fs::perms::owner_read);
  const std::u16string list = std::u16string(u"\\program files\\vireta\\") + u'\0' + u"\\missing" +
                              u'\0' + u"\\Windows\\brevin.dll" + u'\0';
  EXPECT_EQ(deleteSilently(list), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(hostExists("Program Files/Vireta"));
  EXPECT_FALSE(hostExists("Windows/Brevin.dll"));
  EXPECT_EQ(hostRead("Program Files/Other/keep.exe"), "keep");
  EXPECT_EQ(deleteSilently(std::u16string(u"\\Program Files\\Other") + u'\0'), 0);
  EXPECT_TRUE(fs::is_directory(fs_ / "Program Files"));
}

TEST_F(Shell, DeleteRemovesLinksWithoutFollowingThem) {
  hostWrite("tree/a.txt", "a");
  fs::create_directories(root_ / "host-dir");
  std::ofstream(root_ / "host-dir/precious") << "p";
  hostWrite("inside/precious", "p");
  fs::create_directory_symlink(root_ / "host-dir", fs_ / "tree/out-link");
  fs::create_directory_symlink("../inside", fs_ / "tree/in-link");
  fs::create_symlink("/nowhere", fs_ / "tree/dangling");
  EXPECT_EQ(deleteSilently(std::u16string(u"\\tree") + u'\0'), 0);
  EXPECT_FALSE(hostExists("tree"));
  EXPECT_TRUE(fs::exists(root_ / "host-dir/precious"));
  EXPECT_TRUE(hostExists("inside/precious"));
  // A link named directly is removed as a link too.
  fs::create_directory_symlink(root_ / "host-dir", fs_ / "top-link");
  EXPECT_EQ(deleteSilently(std::u16string(u"\\top-link") + u'\0'), 0);
  EXPECT_FALSE(hostExists("top-link"));
  EXPECT_TRUE(fs::exists(root_ / "host-dir/precious"));
}

TEST_F(Shell, DeleteMatchesWildcardsAndRefusesTheRootAndEscapes) {
  hostWrite("d/a.tmp", "");
  hostWrite("d/b.TMP", "");
  hostWrite("d/keep.txt", "");
  EXPECT_EQ(deleteSilently(std::u16string(u"\\d\\*.tmp") + u'\0'), 0);
  EXPECT_FALSE(hostExists("d/a.tmp"));
  EXPECT_FALSE(hostExists("d/b.TMP"));
  EXPECT_TRUE(hostExists("d/keep.txt"));

  EXPECT_EQ(deleteSilently(std::u16string(u"\\") + u'\0'), ERROR_ACCESS_DENIED);
  EXPECT_EQ(deleteSilently(std::u16string(u"\\..") + u'\0'), ERROR_ACCESS_DENIED);
  EXPECT_EQ(deleteSilently(std::u16string(u"\\d\\..\\..\\fs") + u'\0'), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(hostExists("d/keep.txt"));

  // Open files without delete sharing stay, and so does their folder.
  HANDLE h = CreateFileW(u"\\d\\keep.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  hostWrite("d/other.txt", "");
  EXPECT_EQ(deleteSilently(std::u16string(u"\\d") + u'\0'), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(hostExists("d/keep.txt"));
  EXPECT_FALSE(hostExists("d/other.txt"));
  CloseHandle(h);
  EXPECT_EQ(deleteSilently(std::u16string(u"\\d") + u'\0'), 0);

  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_COPY;
  op.pFrom = u"\\x\0";
  EXPECT_NE(SHFileOperationW(&op), 0);
  EXPECT_NE(SHFileOperationW(nullptr), 0);
}

} // namespace
