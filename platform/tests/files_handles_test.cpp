#include "files_fixture.h"

#include <cstring>
#include <thread>
#include <vector>

namespace {

using Handles = ce::testing::DeviceFiles;

HANDLE openFile(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string readAll(HANDLE file) {
  std::string data;
  char buffer[7]; // small on purpose: several reads per file
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
  return data;
}

TEST_F(Handles, DispositionsCreateOpenAndTruncateWithTheirCodes) {
  HANDLE h = openFile(u"\\a.txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "hello", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  CloseHandle(h);
  EXPECT_EQ(hostRead("a.txt"), "hello");

  EXPECT_EQ(openFile(u"\\a.txt", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  h = openFile(u"\\A.TXT", GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(readAll(h), "hello");
  CloseHandle(h);

  h = openFile(u"\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);

  hostWrite("t.bin", "123456");
  h = openFile(u"t.bin", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);
  EXPECT_EQ(openFile(u"t.bin", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  h = openFile(u"\\new.txt", GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
  h = openFile(u"\\new2.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
}

TEST_F(Handles, MissingFilesFoldersAndDirectoriesFailWithTheirCodes) {
  std::filesystem::create_directories(fs_ / "Windows");
  EXPECT_EQ(openFile(u"\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(openFile(u"\\nodir\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(openFile(u"\\nodir\\x.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  for (DWORD disposition : {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS}) {
    EXPECT_EQ(openFile(u"\\windows", GENERIC_READ, 0, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << disposition;
  }
  EXPECT_EQ(openFile(u"\\", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(openFile(nullptr, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(openFile(u"\\x", GENERIC_READ, 0, 9), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Handles, ReadWriteSeekAndSizeWorkOnBinaryData) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  HANDLE h = openFile(u"\\bin.dat", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(h, bytes.data(), 256, &done, nullptr));
  EXPECT_EQ(GetFileSize(h, nullptr), 256u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_EQ(readAll(h), bytes);
  // At the end a read succeeds with zero bytes.
  char c = 0;
  ASSERT_TRUE(ReadFile(h, &c, 1, &done, nullptr));
  EXPECT_EQ(done, 0u);

  EXPECT_EQ(SetFilePointer(h, -6, nullptr, FILE_END), 250u);
  ASSERT_TRUE(ReadFile(h, &c, 1, &done, nullptr));
  EXPECT_EQ(static_cast<unsigned char>(c), 250u);
  EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_CURRENT), 240u);
  EXPECT_EQ(SetFilePointer(h, -1000, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 240u); // unchanged by the failure

  // Writing past the end fills the gap with zeros; SetEndOfFile cuts at the position.
  EXPECT_EQ(SetFilePointer(h, 300, nullptr, FILE_BEGIN), 300u);
  ASSERT_TRUE(WriteFile(h, "z", 1, &done, nullptr));
  EXPECT_EQ(GetFileSize(h, nullptr), 301u);
  EXPECT_EQ(SetFilePointer(h, 100, nullptr, FILE_BEGIN), 100u);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
  EXPECT_EQ(hostRead("bin.dat"), bytes.substr(0, 100));
}

TEST_F(Handles, LargeOffsetsUseTheHighPart) {
  HANDLE h = openFile(u"\\big", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(high, 1);
  // Without a high part a position beyond 32 bits cannot be reported: refused, not moved.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 16u);
  EXPECT_EQ(high, 1);
  // 0xFFFFFFFF is a valid low part: success shows in GetLastError.
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  high = 0;
  EXPECT_EQ(SetFilePointer(h, static_cast<LONG>(0xFFFFFFFFu), &high, FILE_BEGIN), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
}

TEST_F(Handles, AccessRightsAndBadHandlesAreChecked) {
  hostWrite("r.txt", "abc");
  HANDLE h = openFile(u"\\r.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done = 7;
  EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(SetEndOfFile(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ReadFile(h, nullptr, 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(hostRead("r.txt"), "abc");

  h = openFile(u"\\w.txt", GENERIC_WRITE, 0, CREATE_NEW);
  char c;
  EXPECT_FALSE(ReadFile(h, &c, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);

  // A closed handle, a find handle and garbage are not files.
  EXPECT_FALSE(ReadFile(h, &c, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FlushFileBuffers(find));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FindClose(find));
}

TEST_F(Handles, ReadOnlyFilesRefuseWriting) {
  hostWrite("ro.txt", "keep");
  std::filesystem::permissions(fs_ / "ro.txt", std::filesystem::perms::owner_read);
  EXPECT_EQ(openFile(u"\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(openFile(u"\\ro.txt", GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = openFile(u"\\ro.txt", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(hostRead("ro.txt"), "keep");

  // A file created read-only can still be written through the handle that created it.
  h = CreateFileW(u"\\made-ro.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY,
                  nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD done;
  EXPECT_TRUE(WriteFile(h, "x", 1, &done, nullptr));
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\made-ro.txt") & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(Handles, ShareModesAreEnforcedBetweenOpenHandles) {
  hostWrite("s.txt", "data");
  HANDLE reader = openFile(u"\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  // A second reader is fine; a writer is not, as the first handle shares reading only.
  HANDLE second = openFile(u"\\S.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(openFile(u"\\s.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // A reader that does not share reading conflicts with the readers already there.
  EXPECT_EQ(openFile(u"\\s.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // A refused CREATE_ALWAYS must not have truncated the file.
  EXPECT_EQ(openFile(u"\\s.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(hostRead("s.txt"), "data");
  CloseHandle(reader);
  CloseHandle(second);

  HANDLE writer =
      openFile(u"\\s.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  HANDLE other = openFile(u"\\s.txt", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  // Each handle has its own position.
  DWORD done;
  ASSERT_TRUE(WriteFile(writer, "XY", 2, &done, nullptr));
  char buffer[4] = {};
  ASSERT_TRUE(ReadFile(other, buffer, 4, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "XYta");
  CloseHandle(writer);
  CloseHandle(other);
  // Once every handle is closed, an exclusive open works again.
  HANDLE exclusive = openFile(u"\\s.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
  CloseHandle(exclusive);
}

TEST_F(Handles, ThreadsSharingAHandleWriteWholeRecords) {
  HANDLE h = openFile(u"\\log", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  constexpr int perThread = 200;
  std::vector<std::thread> threads;
  for (char tag : {'a', 'b', 'c', 'd'}) {
    threads.emplace_back([h, tag] {
      const std::string record(16, tag);
      for (int i = 0; i < perThread; ++i) {
        DWORD done;
        WriteFile(h, record.data(), 16, &done, nullptr);
      }
    });
  }
  for (auto& t : threads) t.join();
  CloseHandle(h);
  const std::string data = hostRead("log");
  ASSERT_EQ(data.size(), 4u * perThread * 16);
  for (std::size_t i = 0; i < data.size(); i += 16)
    EXPECT_EQ(data.substr(i, 16), std::string(16, data[i])) << "record torn at " << i;
}

} // namespace
