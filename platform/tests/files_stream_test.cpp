// C++ streams over device files.
#include "files_fixture.h"

#include <ce/core/device_stream.h>

#include <iterator>

namespace {

using Streams = ce::testing::DeviceFiles;

std::string allBytes() {
  std::string bytes;
  for (int round = 0; round < 40; ++round)
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes; // 10240 bytes: crosses the stream buffer several times
}

TEST_F(Streams, BinaryBytesRoundTripUnchanged) {
  const std::string bytes = allBytes() + "\r\n\n\r\x1a";
  {
    auto out = ce::openDeviceOutput(u"\\Data\\..\\blob.bin");
    EXPECT_FALSE(out); // the folder is missing
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  }
  auto out = ce::openDeviceOutput(u"\\blob.bin");
  ASSERT_TRUE(out);
  out->write(bytes.data(), 100);        // through the buffer
  out->write(bytes.data() + 100, 5000); // straight through
  for (std::size_t i = 5100; i < bytes.size(); ++i) out->put(bytes[i]);
  out->flush();
  EXPECT_TRUE(out->good());
  out.reset();
  EXPECT_EQ(hostRead("blob.bin"), bytes);

  auto in = ce::openDeviceInput(u"\\BLOB.BIN");
  ASSERT_TRUE(in);
  const std::string back{std::istreambuf_iterator<char>(*in), {}};
  EXPECT_EQ(back, bytes);
}

TEST_F(Streams, AppendKeepsWhatWasThereAndTruncateDoesNot) {
  hostWrite("log.txt", "one\n");
  *ce::openDeviceOutput(u"\\log.txt", true) << "two\n";
  *ce::openDeviceOutput(u"\\LOG.TXT", true) << "three\n";
  EXPECT_EQ(hostRead("log.txt"), "one\ntwo\nthree\n");
  *ce::openDeviceOutput(u"\\log.txt") << "new";
  EXPECT_EQ(hostRead("log.txt"), "new");
  *ce::openDeviceOutput(u"\\fresh.txt", true) << "x";
  EXPECT_EQ(hostRead("fresh.txt"), "x");
}

TEST_F(Streams, LinesAndSeeksWorkOnInput) {
  hostWrite("cfg.reg",
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\x\\]\n\"a\"=dword:4");
  auto in = ce::openDeviceInput(u"\\cfg.reg");
  ASSERT_TRUE(in);
  std::string line;
  std::getline(*in, line);
  EXPECT_EQ(line, "Windows Registry Editor Version 5.00");
  EXPECT_EQ(in->tellg(), std::streampos(37));
  std::getline(*in, line);
  std::getline(*in, line);
  EXPECT_EQ(line, "[HKEY_LOCAL_MACHINE\\x\\]");
  in->seekg(8, std::ios::beg);
  std::getline(*in, line);
  EXPECT_EQ(line, "Registry Editor Version 5.00");
  in->seekg(-5, std::ios::end);
  std::getline(*in, line);
  EXPECT_EQ(line, "ord:4");
  EXPECT_TRUE(in->eof());
}

TEST_F(Streams, FailuresGiveNoStreamAndAnErrorCode) {
  EXPECT_FALSE(ce::openDeviceInput(u"\\missing"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(ce::openDeviceInput(u"\\..\\device.conf"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ce::openDeviceOutput(std::u16string(u"\\a\0b", 4)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_FALSE(hostExists("a"));
  std::filesystem::create_directories(fs_ / "dir");
  EXPECT_FALSE(ce::openDeviceOutput(u"\\dir"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // An open stream holds its file as a handle does: closing it releases the file.
  auto out = ce::openDeviceOutput(u"\\held.txt");
  ASSERT_TRUE(out);
  EXPECT_FALSE(DeleteFileW(u"\\held.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  out.reset();
  EXPECT_TRUE(DeleteFileW(u"\\held.txt"));
}

} // namespace
