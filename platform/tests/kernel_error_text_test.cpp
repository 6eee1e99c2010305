#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/kernel.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr DWORD systemFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The text as a caller reporting the last error gets it (flags 0x1300), or "" on failure.
std::u16string systemText(DWORD code) {
  LPWSTR text = nullptr;
  const DWORD length =
      FormatMessageW(systemFlags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length == 0)
    return u"";
  std::u16string result(text, length);
  EXPECT_EQ(text[length], u'\0');
  EXPECT_EQ(LocalFree(text), nullptr);
  return result;
}

TEST(KernelErrorTexts, EveryDeclaredErrorCodeHasAnEnglishText) {
  // Read the codes from the public header itself, so that a code added there without a text
  // is caught here.
  // __FILE__ may be relative to the build folder, where the compiler ran (not where tests run).
  const auto header =
      (std::filesystem::path(CE_BINARY_DIR) / __FILE__).parent_path().parent_path() /
      "include/ce/errors.h";
  std::ifstream in(header);
  ASSERT_TRUE(in) << header;
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  const std::regex define(R"(#define\s+(ERROR_\w+|NO_ERROR)\s+(\d+)L)");
  int codes = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), define), end; it != end; ++it) {
    const auto code = static_cast<DWORD>(std::stoul((*it)[2]));
    const auto message = systemText(code);
    EXPECT_GE(message.size(), 4u) << (*it)[1] << " has no text";
    EXPECT_TRUE(message.ends_with(u".\r\n")) << (*it)[1];
    ++codes;
  }
  EXPECT_GT(codes, 40);
  EXPECT_EQ(systemText(ERROR_FILE_NOT_FOUND), u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(systemText(ERROR_ACCESS_DENIED), u"Access is denied.\r\n");
  // A failure HRESULT that wraps an error code reads as that error.
  EXPECT_EQ(systemText(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))),
            u"Access is denied.\r\n");
  EXPECT_EQ(systemText(static_cast<DWORD>(E_FAIL)), u"Unspecified error\r\n");
}

TEST(KernelErrorTexts, UnknownCodesAndBufferRules) {
  LPWSTR text = nullptr;
  SetLastError(0);
  EXPECT_EQ(
      FormatMessageW(systemFlags, nullptr, 0xDEAD, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr),
      0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(text, nullptr);

  // A caller's buffer: the text and its terminator must fit.
  const std::u16string expected = u"Access is denied.\r\n";
  WCHAR buffer[64];
  const DWORD fromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  EXPECT_EQ(FormatMessageW(fromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 64, nullptr),
            expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
  SetLastError(0);
  const auto exact = static_cast<DWORD>(expected.size());
  EXPECT_EQ(FormatMessageW(fromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, exact, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(FormatMessageW(fromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, exact + 1, nullptr),
            exact);

  // A text with inserts needs FORMAT_MESSAGE_IGNORE_INSERTS, there being no arguments to use.
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_MR_MID_NOT_FOUND, 0, buffer,
                           64, nullptr),
            0u);
  EXPECT_NE(systemText(ERROR_MR_MID_NOT_FOUND).find(u"%1"), std::u16string::npos);
  // Other sources are not supported.
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"x", 0, 0, buffer, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

TEST(KernelLocalMemory, AllocatesZeroFilledBlocksAndRefusesForeignPointers) {
  auto *block = static_cast<unsigned char *>(LocalAlloc(LPTR, 256));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(block[i], 0);
  block[255] = 1;
  EXPECT_EQ(LocalFree(block), nullptr);
  // Freed twice, or never ours: returned unchanged, nothing freed.
  SetLastError(0);
  EXPECT_EQ(LocalFree(block), block);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  int onStack = 0;
  EXPECT_EQ(LocalFree(&onStack), &onStack);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(LocalFree(empty), nullptr);
}

TEST(KernelLanguage, DefaultLanguageComesFromTheDeviceProfile) {
  const auto root =
      std::filesystem::temp_directory_path() / ("kernel-language-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root);
  ce::DeviceProfile profile;
  profile.language = 0x0419;
  ASSERT_TRUE(profile.save(root / "device.conf"));
  const auto previous = ce::DeviceRoot::path();
  ce::DeviceRoot::use(root);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0419);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0419);
  EXPECT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), 0x19);
  ce::DeviceRoot::use(previous);
  std::filesystem::remove_all(root);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
}

} // namespace
