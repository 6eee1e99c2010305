// Device path resolution: case rules and the containment boundary of fs/.
#include "files_fixture.h"

#include <ce/core/device_path.h>

#include <sys/stat.h>

namespace {

using Paths = ce::testing::DeviceFiles;
namespace fs = std::filesystem;

DWORD openError(const char16_t* path, DWORD access = GENERIC_READ,
                DWORD disposition = OPEN_EXISTING) {
  HANDLE h = CreateFileW(path, access, 0, nullptr, disposition, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return ERROR_SUCCESS;
  }
  return GetLastError();
}

TEST_F(Paths, ComponentsMatchWithoutRegardToCaseAndNewNamesKeepTheirs) {
  hostWrite("Windows/Start Menu/Programs/Calc.lnk", "x");
  auto resolved = ce::DevicePath::toHost(u"\\WINDOWS\\start menu\\PROGRAMS\\calc.LNK", nullptr);
  ASSERT_TRUE(resolved);
  EXPECT_EQ(*resolved, fs_ / "Windows/Start Menu/Programs/Calc.lnk");
  // Forward slashes and a missing leading separator mean the same path.
  EXPECT_EQ(ce::DevicePath::toHost(u"windows/start menu//programs/calc.lnk", nullptr), resolved);

  HANDLE h = CreateFileW(u"\\windows\\START MENU\\New Item.LNK", GENERIC_WRITE, 0, nullptr,
                         CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(hostExists("Windows/Start Menu/New Item.LNK"));
  EXPECT_FALSE(hostExists("windows"));
  EXPECT_TRUE(CreateDirectoryW(u"\\windows\\Fonts", nullptr));
  EXPECT_TRUE(hostExists("Windows/Fonts"));
  EXPECT_FALSE(CreateDirectoryW(u"\\WINDOWS", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  // Letters beyond ASCII fold too.
  hostWrite("lang.Fran\xC3\xA7"
            "ais.txt",
            "fr");
  EXPECT_EQ(openError(u"\\LANG.FRAN\u00c7AIS.TXT"), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(Paths, AnExactMatchWinsAndCaseTwinsResolveStably) {
  hostWrite("abc", "lower");
  hostWrite("ABC", "upper");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\abc", nullptr), fs_ / "abc");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\ABC", nullptr), fs_ / "ABC");
  // No exact match: the bytewise first of the twins, every time.
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\Abc", nullptr), fs_ / "ABC");
}

TEST_F(Paths, DotDotStaysInsideTheRoot) {
  hostWrite("Windows/a.txt", "a");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\Windows\\..\\Windows\\.\\a.txt", nullptr),
            fs_ / "Windows/a.txt");
  for (const char16_t* escape :
       {u"..", u"\\..", u"\\..\\fs\\Windows", u"\\Windows\\..\\..", u"..\\..\\..\\etc\\passwd",
        u"/Windows/../../fs/Windows/a.txt", u"\\Windows\\..\\Windows\\..\\..\\x"}) {
    EXPECT_EQ(openError(escape), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << ce::toUtf8(escape);
    EXPECT_EQ(GetFileAttributesW(escape), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  EXPECT_FALSE(CreateDirectoryW(u"\\..\\escaped", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(fs::exists(root_ / "escaped"));
}

TEST_F(Paths, HostPathsAndDriveLettersNeverReachTheHost) {
  // An absolute host path is just a device path below fs/.
  EXPECT_EQ(openError(u"/etc/passwd"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(openError((u"\\" + ce::toUtf16(root_.string()) + u"/device.conf").c_str()),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  fs::create_directories(fs_ / "tmp");
  EXPECT_EQ(openError(u"/tmp/made", GENERIC_WRITE, CREATE_NEW), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(hostExists("tmp/made"));
  EXPECT_EQ(openError(u"C:\\Windows\\x"), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(Paths, LinksLeadingOutsideAreRefusedEverywhere) {
  std::ofstream(root_ / "outside.txt") << "secret";
  fs::create_directories(fs_ / "in");
  fs::create_symlink("/etc", fs_ / "etc-link");
  fs::create_symlink(root_ / "outside.txt", fs_ / "file-link");
  fs::create_symlink("../../outside.txt", fs_ / "in" / "up-link");
  fs::create_symlink("etc-link", fs_ / "link-to-link");
  fs::create_symlink(root_ / "not-there", fs_ / "dangling-out");
  fs::create_symlink("..", fs_ / "parent-link");

  for (const char16_t* path :
       {u"\\etc-link\\passwd", u"\\file-link", u"\\in\\up-link", u"\\link-to-link\\passwd",
        u"\\parent-link\\outside.txt", u"\\ETC-LINK\\hostname"}) {
    EXPECT_EQ(openError(path), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << ce::toUtf8(path);
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  // Creating through a dangling link would write outside.
  EXPECT_EQ(openError(u"\\dangling-out", GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(fs::exists(root_ / "not-there"));
  EXPECT_FALSE(CreateDirectoryW(u"\\etc-link\\new", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(CopyFileW(u"\\file-link", u"\\copy.txt", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  hostWrite("mine.txt", "mine");
  EXPECT_FALSE(CopyFileW(u"\\mine.txt", u"\\parent-link\\planted.txt", FALSE));
  EXPECT_FALSE(MoveFileW(u"\\mine.txt", u"\\parent-link\\planted.txt"));
  EXPECT_FALSE(fs::exists(root_ / "planted.txt"));
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(u"\\etc-link\\*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // The link itself may be removed; what it points to stays untouched.
  EXPECT_TRUE(DeleteFileW(u"\\file-link"));
  EXPECT_TRUE(fs::exists(root_ / "outside.txt"));
  EXPECT_TRUE(DeleteFileW(u"\\etc-link"));
  EXPECT_TRUE(fs::exists("/etc"));
}

TEST_F(Paths, LinksInsideAreFollowedAndLoopsEnd) {
  hostWrite("Program Files/App/app.exe", "elf");
  fs::create_symlink("Program Files/App", fs_ / "rel");
  fs::create_symlink(fs_ / "Program Files", fs_ / "abs");
  fs::create_symlink("rel", fs_ / "chain");
  fs::create_symlink("loop-b", fs_ / "loop-a");
  fs::create_symlink("loop-a", fs_ / "loop-b");
  fs::create_symlink(".", fs_ / "self");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\REL\\APP.EXE", nullptr), fs_ / "Program Files/App/app.exe");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\abs\\app\\app.exe", nullptr),
            fs_ / "Program Files/App/app.exe");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\chain\\..\\App\\app.exe", nullptr),
            fs_ / "Program Files/App/app.exe");
  EXPECT_EQ(*ce::DevicePath::toHost(u"\\self\\self\\rel", nullptr), fs_ / "Program Files/App");
  EXPECT_EQ(openError(u"\\loop-a"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\rel"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

// Attributes are those of the entry the path ends at: through "." and "..", through a link to
// a read-only file, and of a link kept as itself.
TEST_F(Paths, AttributesComeFromTheEntryThePathEndsAt) {
  hostWrite("Shared/Locked/inner.txt", "x");
  hostWrite("Shared/ro.txt", "x");
  fs::permissions(fs_ / "Shared/ro.txt", fs::perms::owner_read, fs::perm_options::replace);
  fs::permissions(fs_ / "Shared/Locked", fs::perms::owner_read | fs::perms::owner_exec,
                  fs::perm_options::replace);
  fs::create_symlink("ro.txt", fs_ / "Shared/to-ro");
  constexpr DWORD directory = FILE_ATTRIBUTE_DIRECTORY;
  constexpr DWORD locked = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  EXPECT_EQ(GetFileAttributesW(u"\\shared\\LOCKED"), locked);
  EXPECT_EQ(GetFileAttributesW(u"\\shared\\locked\\."), locked);
  EXPECT_EQ(GetFileAttributesW(u"\\shared\\locked\\.."), directory);
  EXPECT_EQ(GetFileAttributesW(u"\\shared\\locked\\..\\locked\\"), locked);
  EXPECT_EQ(GetFileAttributesW(u"\\Shared\\To-Ro"),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesW(u"\\"), directory);
  const auto kept =
      ce::DevicePath::resolve(u"\\shared\\to-ro", nullptr, ce::DevicePath::LastLink::Keep);
  ASSERT_TRUE(kept && kept->isLink);
  EXPECT_TRUE(S_ISLNK(kept->hostMode));
  fs::permissions(fs_ / "Shared/Locked", fs::perms::owner_all, fs::perm_options::replace);
}

TEST_F(Paths, BadNamesAndLengthsAreRefused) {
  for (const char16_t* bad :
       {u"\\a\x01"
        "b",
        u"\\tab\there", u"\\a<b", u"\\a>b", u"\\a|b", u"\\a\"b", u"\\a:b", u"\\a*b", u"\\a?b"}) {
    EXPECT_EQ(openError(bad, GENERIC_WRITE, CREATE_ALWAYS), static_cast<DWORD>(ERROR_INVALID_NAME))
        << ce::toUtf8(bad);
  }
  const std::u16string loneSurrogate = u"\\a" + std::u16string(1, char16_t(0xD800));
  EXPECT_EQ(openError(loneSurrogate.c_str(), GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_INVALID_NAME));
  DWORD error = 0;
  EXPECT_FALSE(ce::DevicePath::resolve(std::u16string(u"\\a\0b", 4), &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));

  const std::u16string tooLong = u"\\" + std::u16string(MAX_PATH, u'a');
  EXPECT_EQ(openError(tooLong.c_str(), GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  // 256 units fit a device path but not a host name; 100 CJK units are 300 bytes of UTF-8.
  const std::u16string longName = u"\\" + std::u16string(256, u'b');
  EXPECT_EQ(openError(longName.c_str(), GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  const std::u16string wideName = u"\\" + std::u16string(100, u'\u6587');
  EXPECT_EQ(openError(wideName.c_str(), GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  const std::u16string longest = u"\\" + std::u16string(MAX_PATH - 2, u'c').replace(100, 1, u"\\");
  EXPECT_FALSE(ce::DevicePath::resolve(longest, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND)); // fits; the folder is missing
  // An unterminated argument is read no further than a bounded scan and refused.
  std::vector<char16_t> unterminated(8 * MAX_PATH, u'x');
  EXPECT_EQ(openError(unterminated.data()), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(openError(u""), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Paths, HostPathsMapBackToDevicePaths) {
  hostWrite("Program Files/Vireta/Vireta.exe", "elf");
  DWORD error = 0;
  EXPECT_EQ(ce::DevicePath::toDevice(root_ / "fs/Program Files/Vireta/Vireta.exe", &error),
            u"\\Program Files\\Vireta\\Vireta.exe");
  EXPECT_EQ(ce::DevicePath::toDevice(root_ / "fs", &error), u"\\");
  EXPECT_EQ(ce::DevicePath::toDevice(root_ / "fs/", &error), u"\\");
  EXPECT_EQ(ce::DevicePath::toDevice(root_ / "fs/Program Files/../new.txt", &error), u"\\new.txt");
  EXPECT_FALSE(ce::DevicePath::toDevice(root_ / "device.conf", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ce::DevicePath::toDevice(root_ / "fs/../fs-other/x", &error));
  fs::create_symlink("/etc", fs_ / "etc-link");
  EXPECT_FALSE(ce::DevicePath::toDevice(fs_ / "etc-link/passwd", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Paths, NoDeviceRootMeansNoFiles) {
  ce::DeviceRoot::use(root_ / "missing-device");
  EXPECT_EQ(openError(u"\\a", GENERIC_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ce::DeviceRoot::use({});
  DWORD error = 0;
  EXPECT_FALSE(ce::DevicePath::toDevice("fs/x", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

} // namespace
