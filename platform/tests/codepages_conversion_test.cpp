#include <ce/codepages.h>
#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/errors.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string toWide(UINT page, const std::string &bytes, DWORD flags = 0) {
  const int needed =
      MultiByteToWideChar(page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (needed <= 0)
    return u"<failed>";
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  const int written = MultiByteToWideChar(page, flags, bytes.data(), static_cast<int>(bytes.size()),
                                          out.data(), needed);
  EXPECT_EQ(written, needed);
  return out;
}

std::string toBytes(UINT page, const std::u16string &text, BOOL *usedDefault = nullptr,
                    const char *defaultChar = nullptr, DWORD flags = 0) {
  const int needed = WideCharToMultiByte(page, flags, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, defaultChar, usedDefault);
  if (needed <= 0)
    return "<failed>";
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(page, flags, text.data(), static_cast<int>(text.size()),
                                          out.data(), needed, defaultChar, usedDefault);
  EXPECT_EQ(written, needed);
  return out;
}

// A device root of its own with the given language in its profile; the previous root comes back
// afterwards so that other tests see the default profile.
class DeviceLanguage {
public:
  explicit DeviceLanguage(LANGID language) {
    root_ = std::filesystem::temp_directory_path() /
            ("codepages-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_);
    ce::DeviceProfile profile;
    profile.language = language;
    EXPECT_TRUE(profile.save(root_ / "device.conf"));
    previous_ = ce::DeviceRoot::path();
    ce::DeviceRoot::use(root_);
  }
  ~DeviceLanguage() {
    ce::DeviceRoot::use(previous_);
    std::filesystem::remove_all(root_);
  }

private:
  static inline int counter = 0;
  std::filesystem::path root_, previous_;
};

TEST(CodePages, KnownCharactersOfEveryDevicePage) {
  struct Pair {
    UINT page;
    unsigned char byte;
    char16_t unit;
  };
  const Pair pairs[] = {
      {1252, 0x80, 0x20AC}, {1252, 0xE9, 0x00E9}, {1252, 0x9F, 0x0178}, {1250, 0xA3, 0x0141},
      {1250, 0xB9, 0x0105}, {1250, 0x8A, 0x0160}, {1251, 0xC0, 0x0410}, {1251, 0xFF, 0x044F},
      {1251, 0xA8, 0x0401}, {1253, 0xC1, 0x0391}, {1253, 0xF9, 0x03C9}, {1253, 0xA2, 0x0386},
      {1256, 0xC7, 0x0627}, {1256, 0x81, 0x067E}, {1256, 0xFF, 0x06D2},
  };
  for (const auto &p : pairs) {
    SCOPED_TRACE(testing::Message() << "page " << p.page << " byte " << int(p.byte));
    EXPECT_EQ(toWide(p.page, std::string(1, char(p.byte))), std::u16string(1, p.unit));
    BOOL used = TRUE;
    EXPECT_EQ(toBytes(p.page, std::u16string(1, p.unit), &used), std::string(1, char(p.byte)));
    EXPECT_FALSE(used);
  }
}

TEST(CodePages, EveryByteRoundTripsIncludingUndefinedOnes) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all.push_back(char(b));
  for (UINT page : {1250u, 1251u, 1252u, 1253u, 1256u}) {
    SCOPED_TRACE(page);
    const auto wide = toWide(page, all);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(wide.substr(0, 127), toWide(CP_UTF8, all.substr(0, 127))); // ASCII is ASCII
    BOOL used = TRUE;
    EXPECT_EQ(toBytes(page, wide, &used), all);
    EXPECT_FALSE(used);
  }
  // Bytes the page leaves undefined get the device's code points, not a replacement character.
  EXPECT_EQ(toWide(1252, "\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(toWide(1250, "\x81\x98"), u"\u0081\u0098");
  EXPECT_EQ(toWide(1251, "\x98"), u"\u0098");
  EXPECT_EQ(toWide(1253, "\xAA\xD2\xFF\x81"), u"\uF8F9\uF8FA\uF8FB\u0081");
}

TEST(CodePages, LengthAndBufferRules) {
  WCHAR wide[8];
  // -1: zero-terminated, terminator counted.
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
  // An explicit length converts exactly that many bytes, embedded zeros included.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\0b", 3, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"a\0b", 3));
  // Too small: 0, ERROR_INSUFFICIENT_BUFFER, the buffer untouched.
  std::fill(std::begin(wide), std::end(wide), u'#');
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(wide[0], u'#');

  char bytes[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", -1, bytes, 4, nullptr, nullptr), 4);
  EXPECT_STREQ(bytes, "\xE2\x82\xAC");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", -1, bytes, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

  // Bad arguments and unknown pages or flags.
  auto failsWith = [](int result, DWORD error) { return result == 0 && GetLastError() == error; };
  EXPECT_TRUE(
      failsWith(MultiByteToWideChar(1252, 0, nullptr, 3, wide, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(1252, 0, "a", 0, wide, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(1252, 0, "a", -2, wide, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(1252, 0, "a", 1, nullptr, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(1252, 0, "a", 1, wide, -1), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(437, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(MultiByteToWideChar(1254, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(
      failsWith(MultiByteToWideChar(CP_UTF8, 0x10000, "a", 1, wide, 8), ERROR_INVALID_FLAGS));
  EXPECT_TRUE(failsWith(WideCharToMultiByte(1252, 0, nullptr, 1, bytes, 8, nullptr, nullptr),
                        ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(WideCharToMultiByte(1252, 0, u"a", 1, bytes, -3, nullptr, nullptr),
                        ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(failsWith(
      WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, u"a", 1, bytes, 8, nullptr, nullptr),
      ERROR_INVALID_FLAGS));
}

TEST(CodePages, UnmappableCharactersUseTheDefaultCharacter) {
  BOOL used = FALSE;
  // Cyrillic in the Western page: '?' each, and the caller learns about it.
  EXPECT_EQ(toBytes(1252, u"a\u0416b\u0436", &used), "a?b?");
  EXPECT_TRUE(used);
  EXPECT_EQ(toBytes(1252, u"x\u0100", &used, "*"), "x*"); // no look-alike 'A'
  EXPECT_TRUE(used);
  // A character outside the BMP is one character: one substitute for the pair.
  EXPECT_EQ(toBytes(1251, u"\U0001F600\u0410", &used), "?\xC0");
  EXPECT_TRUE(used);
  // A lone surrogate in a single-byte page is unmappable too.
  EXPECT_EQ(toBytes(1250, std::u16string(1, char16_t(0xDC00)), &used), "?");
  // Without usedDefaultChar the substitution still happens.
  EXPECT_EQ(toBytes(1253, u"\u0416"), "?");
}

TEST(CodePages, Utf8ReplacesOrRefusesIllFormedInput) {
  EXPECT_EQ(toWide(CP_UTF8, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"A\u00e9\u20ac\U0001F600");
  // One U+FFFD per maximal ill-formed subsequence; the byte that broke a sequence starts anew.
  EXPECT_EQ(toWide(CP_UTF8, "a\xF0\x9F\x98"
                            "b"),
            u"a\uFFFDb");
  EXPECT_EQ(toWide(CP_UTF8, "\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");           // overlong
  EXPECT_EQ(toWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");           // encoded surrogate
  EXPECT_EQ(toWide(CP_UTF8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // > U+10FFFF
  EXPECT_EQ(toWide(CP_UTF8, "\xC0\xAF\xFF"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(toWide(CP_UTF8, "\xC3"
                            "A"),
            u"\uFFFDA");

  WCHAR wide[8];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xC3", 3, wide, 8), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok\xC3\xA9", 4, wide, 8), 3);

  // Lone surrogates: U+FFFD, or a failure when the caller asks for one.
  const std::u16string lone = {u'a', char16_t(0xD800), u'b'};
  EXPECT_EQ(toBytes(CP_UTF8, lone), "a\xEF\xBF\xBD"
                                    "b");
  char bytes[8];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 3, bytes, 8, nullptr,
                                nullptr),
            0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
  // The default character makes no sense for UTF-8.
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(CodePages, AnsiPageFollowsTheDeviceLanguage) {
  struct Case {
    LANGID language;
    UINT page;
  };
  const Case cases[] = {{0x0409, 1252}, {0x040C, 1252}, {0x0407, 1252}, {0x0410, 1252},
                        {0x0C0A, 1252}, {0x0415, 1250}, {0x0418, 1250}, {0x0405, 1250},
                        {0x040E, 1250}, {0x0419, 1251}, {0x0422, 1251}, {0x0402, 1251},
                        {0x0408, 1253}, {0x0401, 1256}, {0x0C01, 1256}, {0x0411, 1252}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.language);
    DeviceLanguage device(c.language);
    EXPECT_EQ(GetACP(), c.page);
    // CP_ACP converts with that page.
    EXPECT_EQ(toWide(CP_ACP, "\xC1"), toWide(c.page, "\xC1"));
    EXPECT_EQ(toBytes(CP_ACP, toWide(c.page, "\xC1")), "\xC1");
  }
  EXPECT_EQ(GetACP(), 1252u); // back on the default profile
}

TEST(CodePages, ConcurrentFirstUseGivesTheSameTables) {
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &mismatches] {
      const UINT pages[] = {1250, 1251, 1252, 1253, 1256};
      for (int round = 0; round < 50; ++round) {
        const UINT page = pages[(t + round) % 5];
        WCHAR unit = 0;
        if (MultiByteToWideChar(page, 0, "\xC1", 1, &unit, 1) != 1)
          ++mismatches;
        char back = 0;
        if (WideCharToMultiByte(page, 0, &unit, 1, &back, 1, nullptr, nullptr) != 1 ||
            back != '\xC1')
          ++mismatches;
      }
    });
  }
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
