// Operations by name: attributes, folders, delete, move and copy.
#include "files_fixture.h"

#include <sys/stat.h>

namespace {

using Operations = ce::testing::DeviceFiles;
namespace fs = std::filesystem;

DWORD lastError() { return GetLastError(); }

TEST_F(Operations, AttributesReportFoldersFilesAndReadOnly) {
  hostWrite("Windows/a.txt", "a");
  hostWrite("ro.txt", "r");
  fs::permissions(fs_ / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\windows\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\WINDOWS\\A.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesW(u"\\ro.txt"),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\none\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\a.txt\\"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Operations, FoldersAreCreatedAndRemovedWithTheirCodes) {
  EXPECT_TRUE(CreateDirectoryW(u"\\Program Files", nullptr));
  EXPECT_TRUE(CreateDirectoryW(u"\\program files\\Vireta\\", nullptr));
  EXPECT_TRUE(hostExists("Program Files/Vireta"));
  EXPECT_FALSE(CreateDirectoryW(u"\\Program Files\\Vireta", nullptr));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"\\", nullptr));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"\\Missing\\Child", nullptr));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  hostWrite("file", "");
  EXPECT_FALSE(CreateDirectoryW(u"\\file", nullptr));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  hostWrite("Program Files/Vireta/x.txt", "");
  EXPECT_FALSE(RemoveDirectoryW(u"\\Program Files\\Vireta"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(RemoveDirectoryW(u"\\Program Files\\Vireta\\x.txt"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_FALSE(RemoveDirectoryW(u"\\Nothing"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(RemoveDirectoryW(u"\\"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(fs::exists(fs_));
  EXPECT_TRUE(DeleteFileW(u"\\Program Files\\Vireta\\x.txt"));
  EXPECT_TRUE(RemoveDirectoryW(u"\\PROGRAM FILES\\vireta"));
  EXPECT_FALSE(hostExists("Program Files/Vireta"));
  // A link to a folder is not itself a folder: the link is never emptied through it.
  hostWrite("target/keep.txt", "k");
  fs::create_directory_symlink("target", fs_ / "dirlink");
  EXPECT_FALSE(RemoveDirectoryW(u"\\dirlink"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_TRUE(hostExists("target/keep.txt"));
}

TEST_F(Operations, DeleteRefusesFoldersReadOnlyAndOpenFiles) {
  hostWrite("a.txt", "a");
  fs::create_directories(fs_ / "dir");
  EXPECT_FALSE(DeleteFileW(u"\\dir"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DeleteFileW(u"\\missing"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(u"\\nodir\\missing"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  HANDLE h =
      CreateFileW(u"\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(DeleteFileW(u"\\A.txt"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  h = CreateFileW(u"\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(DeleteFileW(u"\\a.txt"));
  CloseHandle(h);
  EXPECT_FALSE(hostExists("a.txt"));

  hostWrite("ro.txt", "r");
  fs::permissions(fs_ / "ro.txt", fs::perms::owner_read);
  EXPECT_FALSE(DeleteFileW(u"\\ro.txt"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(hostExists("ro.txt"));
}

TEST_F(Operations, MoveRenamesFilesAndFoldersButNeverReplaces) {
  hostWrite("Start Menu/Calc.lnk", "calc");
  hostWrite("Start Menu/Programs/Notes.lnk", "notes");
  EXPECT_TRUE(MoveFileW(u"\\start menu\\calc.lnk", u"\\Start Menu\\Programs\\Calc.lnk"));
  EXPECT_EQ(hostRead("Start Menu/Programs/Calc.lnk"), "calc");
  EXPECT_FALSE(hostExists("Start Menu/Calc.lnk"));

  EXPECT_FALSE(
      MoveFileW(u"\\Start Menu\\Programs\\Calc.lnk", u"\\Start Menu\\Programs\\NOTES.lnk"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(hostRead("Start Menu/Programs/Notes.lnk"), "notes");
  EXPECT_FALSE(MoveFileW(u"\\missing", u"\\x"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(MoveFileW(u"\\Start Menu\\Programs\\Calc.lnk", u"\\nodir\\x"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  // A rename that changes only the case.
  EXPECT_TRUE(MoveFileW(u"\\Start Menu\\Programs\\Calc.lnk", u"\\Start Menu\\Programs\\CALC.LNK"));
  EXPECT_TRUE(hostExists("Start Menu/Programs/CALC.LNK"));
  EXPECT_FALSE(hostExists("Start Menu/Programs/Calc.lnk"));

  // Folders move with their contents, but not into themselves.
  EXPECT_TRUE(MoveFileW(u"\\Start Menu\\Programs", u"\\Start Menu\\Apps"));
  EXPECT_EQ(hostRead("Start Menu/Apps/Notes.lnk"), "notes");
  EXPECT_FALSE(MoveFileW(u"\\Start Menu", u"\\Start Menu\\Apps\\Inner"));
  EXPECT_TRUE(hostExists("Start Menu/Apps/Notes.lnk"));
  EXPECT_FALSE(MoveFileW(u"\\", u"\\elsewhere"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // An open file moves only when its handles allow deleting.
  HANDLE h = CreateFileW(u"\\Start Menu\\Apps\\Notes.lnk", GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(MoveFileW(u"\\Start Menu\\Apps\\Notes.lnk", u"\\n.lnk"));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  EXPECT_TRUE(MoveFileW(u"\\Start Menu\\Apps\\Notes.lnk", u"\\n.lnk"));
}

TEST_F(Operations, CopyHonoursFailIfExistsAndKeepsTheOldFileOnFailure) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7));
  hostWrite("src.bin", bytes);
  EXPECT_TRUE(CopyFileW(u"\\SRC.BIN", u"\\Copy.bin", TRUE));
  EXPECT_EQ(hostRead("Copy.bin"), bytes);
  hostWrite("old.bin", "old");
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\OLD.bin", TRUE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(hostRead("old.bin"), "old");
  EXPECT_TRUE(CopyFileW(u"\\src.bin", u"\\OLD.bin", FALSE));
  EXPECT_EQ(hostRead("old.bin"), bytes);
  EXPECT_FALSE(hostExists("OLD.bin"));

  EXPECT_FALSE(CopyFileW(u"\\none", u"\\x", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  fs::create_directories(fs_ / "dir");
  EXPECT_FALSE(CopyFileW(u"\\dir", u"\\x", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\dir", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\nodir\\x", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\src.bin", FALSE));

  // Read-only and open destinations are refused and left intact.
  hostWrite("ro.bin", "ro");
  fs::permissions(fs_ / "ro.bin", fs::perms::owner_read);
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\ro.bin", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(hostRead("ro.bin"), "ro");
  HANDLE h = CreateFileW(u"\\old.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(CopyFileW(u"\\ro.bin", u"\\old.bin", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  // A source held open for writing without shared reading cannot be copied.
  h = CreateFileW(u"\\src.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(CopyFileW(u"\\src.bin", u"\\third.bin", FALSE));
  EXPECT_EQ(lastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);

  // The copy keeps the read-only state and write time; nothing temporary is left behind.
  EXPECT_TRUE(CopyFileW(u"\\ro.bin", u"\\ro-copy.bin", FALSE));
  EXPECT_EQ(GetFileAttributesW(u"\\ro-copy.bin") & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(fs::last_write_time(fs_ / "ro.bin"), fs::last_write_time(fs_ / "ro-copy.bin"));
  for (const auto& entry : fs::directory_iterator(fs_))
    EXPECT_EQ(entry.path().filename().string().find(".ce-copy"), std::string::npos);
}

} // namespace
