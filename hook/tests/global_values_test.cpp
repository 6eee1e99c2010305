// The shared record: its text helpers and how a fresh record is filled from the settings key.
#include "global_values_initialiser.h"

#include <service_control/system_directory.h>

#include <ce/testing/temp_device.h>

#include <cstring>

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";

std::u16string repeated(std::size_t count) {
  std::u16string text = u"\\";
  while (text.size() < count)
    text += static_cast<char16_t>(u'a' + text.size() % 26);
  return text;
}

class GlobalValuesInit : public TempDevice {
protected:
  GlobalValues initialised() {
    GlobalValues record;
    std::memset(&record, 0xAB, sizeof record); // whatever an earlier run left
    GlobalValuesInitialiser::initialise(record, 0x1234);
    return record;
  }
};

} // namespace

TEST(GlobalValuesRecord, TheDirectoryTakesAFinalSeparatorOnceAndWithinItsRoom) {
  GlobalValues record{};
  std::memset(&record, 0, sizeof record);
  record.appendDirectorySeparator();
  EXPECT_EQ(record.userDirectoryText(), u"") << "an empty directory stays empty";
  std::u16string text = u"\\Program Files\\Vireta";
  std::copy(text.begin(), text.end(), record.userDirectory);
  record.appendDirectorySeparator();
  record.appendDirectorySeparator();
  EXPECT_EQ(record.userDirectoryText(), u"\\Program Files\\Vireta\\");

  // 258 characters (the most the record keeps) take the separator; 259 leave no room for its
  // terminating zero.
  std::memset(record.userDirectory, 0, sizeof record.userDirectory);
  text = repeated(258);
  std::copy(text.begin(), text.end(), record.userDirectory);
  record.appendDirectorySeparator();
  EXPECT_EQ(record.userDirectoryText(), text + u"\\");
  text = repeated(259);
  std::copy(text.begin(), text.end(), record.userDirectory);
  record.appendDirectorySeparator();
  EXPECT_EQ(record.userDirectoryText(), text);
}

TEST(GlobalValuesRecord, TheTaskbarRectangleIsFourWordsAtOffsetForty) {
  GlobalValues record{};
  std::memset(&record, 0, sizeof record);
  record.setTaskbarRect(RECT{1, 2, 480, 36});
  std::int32_t words[4];
  std::memcpy(words, reinterpret_cast<const char *>(&record) + 40, sizeof words);
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 2);
  EXPECT_EQ(words[2], 480);
  EXPECT_EQ(words[3], 36);
  const RECT back = record.taskbarRect();
  EXPECT_EQ(back.right, 480);
  EXPECT_EQ(back.bottom, 36);
}

TEST_F(GlobalValuesInit, WithoutTheSettingsKeyTheRecordIsZeroButItsModule) {
  const GlobalValues record = initialised();
  EXPECT_EQ(record.moduleHandle, 0x1234u);
  EXPECT_EQ(record.hookWinKey, 0);
  EXPECT_EQ(record.userDirectoryText(), u"");
  GlobalValues zero;
  std::memset(&zero, 0, sizeof zero);
  zero.moduleHandle = 0x1234;
  EXPECT_EQ(std::memcmp(&record, &zero, sizeof zero), 0);
}

TEST_F(GlobalValuesInit, TheDirectoryIsCutBeforeResources) {
  setString(Settings, u"SourcesDirectory", u"\\Storage Card\\Vireta\\resources\\");
  EXPECT_EQ(initialised().userDirectoryText(), u"\\Storage Card\\Vireta\\");
  setString(Settings, u"SourcesDirectory", u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(initialised().userDirectoryText(), u"\\Program Files\\Vireta\\");
  setString(Settings, u"SourcesDirectory", u"\\Program Files\\Vireta\\");
  EXPECT_EQ(initialised().userDirectoryText(), u"\\Program Files\\Vireta\\");
  setString(Settings, u"SourcesDirectory", u"\\Apps\\Resources\\");
  EXPECT_EQ(initialised().userDirectoryText(), u"\\Apps\\Resources\\") << "case-sensitive";
}

TEST_F(GlobalValuesInit, ALongDirectoryKeepsItsFirst258Characters) {
  const std::u16string text = repeated(259);
  setString(Settings, u"SourcesDirectory", text);
  const GlobalValues record = initialised();
  EXPECT_EQ(record.userDirectoryText(), text.substr(0, 258));
  EXPECT_EQ(record.userDirectory[258], u'\0');
  EXPECT_EQ(record.userDirectory[259], u'\0');
}

TEST_F(GlobalValuesInit, ADirectoryTooLongToReadFallsBackToTheInstallationFolder) {
  setString(Settings, u"SourcesDirectory", repeated(261));
  put("Program Files/Vireta/Vireta.exe", "");
  EXPECT_EQ(initialised().userDirectoryText(), u"\\Program Files\\Vireta\\");
}

TEST_F(GlobalValuesInit, WithoutDirectoryOrFolderTheProgramsOwnFolderIsUsed) {
  setDword(Settings, u"hookWinKey", 1);
  // This test program lies outside the device, so its folder has no device form: empty.
  EXPECT_EQ(initialised().userDirectoryText(), SystemDirectory::programDirectory());
  EXPECT_EQ(initialised().userDirectoryText(), u"");
}

TEST_F(GlobalValuesInit, TheWindowsKeyIsHookedUnlessTheSettingReadsZero) {
  setString(Settings, u"SourcesDirectory", u"\\Program Files\\Vireta\\");
  EXPECT_EQ(initialised().hookWinKey, 1) << "missing";
  setDword(Settings, u"hookWinKey", 0);
  EXPECT_EQ(initialised().hookWinKey, 0);
  setDword(Settings, u"hookWinKey", 7);
  EXPECT_EQ(initialised().hookWinKey, 1);
  setBinary(Settings, u"hookWinKey", {0, 0, 0, 0, 0, 0});
  EXPECT_EQ(initialised().hookWinKey, 1) << "unreadable as a number";
}
