// Starting and raising the menu program, run from this process on a booted device with the
// placeholder menu installed by hand.
#include "launcher.h"
#include "service_state.h"

#include <service_testing/service_device.h>

#include <thread>

using servicetest::eventually;
using servicetest::ServiceDevice;

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";

class Launcher : public ::testing::Test {
protected:
  void SetUp() override {
    device_ =
        std::make_unique<ServiceDevice>(servicetest::DeviceOptions{"wm65", "480x640", "", false});
    std::filesystem::create_directories(device_->hostPath("Program Files/Vireta"));
    std::filesystem::copy_file(VIRETA_PLACEHOLDER,
                               device_->hostPath("Program Files/Vireta/Vireta.exe"));
    std::filesystem::copy_file(KEY_WITNESS_PROGRAM, device_->hostPath("Windows/key_witness.exe"));
    servicetest::writeString(Settings, u"SourcesDirectory",
                             u"\\Program Files\\Vireta\\resources\\VGA\\");
    device_->boot();
    state().shared = SharedGlobalValues::createOrOpen();
    ASSERT_TRUE(state().shared);
    setUserDirectory(u"\\Program Files\\Vireta");
  }
  void TearDown() override {
    state().workers.stopAll(5000);
    state().shared.release();
    device_.reset();
  }
  static ServiceState &state() { return ServiceState::instance(); }
  static void setUserDirectory(std::u16string_view text) {
    GlobalValues &record = *state().record();
    std::fill(std::begin(record.userDirectory), std::end(record.userDirectory), u'\0');
    std::copy(text.begin(), text.end(), record.userDirectory);
  }

  std::unique_ptr<ServiceDevice> device_;
};

} // namespace

TEST_F(Launcher, ARelativeNameIsStartedFromTheSystemsDirectory) {
  launchProgram(u"Vireta.exe", u"", 0);
  EXPECT_EQ(state().record()->userDirectoryText(), u"\\Program Files\\Vireta\\");
  EXPECT_TRUE(device_->waitVisibleInFront("Vireta"));
  EXPECT_EQ(device_->startsOf("\\Program Files\\Vireta\\Vireta.exe"), 1);

  setUserDirectory(u"\\Elsewhere");
  launchProgram(u"\\Windows\\key_witness.exe", u"", 0);
  EXPECT_TRUE(eventually([&] { return device_->startsOf("\\Windows\\key_witness.exe") == 1; }));
  EXPECT_EQ(state().record()->userDirectoryText(), u"\\Elsewhere") << "a full path is used as is";
}

TEST_F(Launcher, OnlyAnErrorNumberReplacesTheLog) {
  device_->writeDeviceFile("Program Files/Vireta/Debug.txt", "earlier text");
  launchProgram(u"\\Windows\\key_witness.exe", u"", 0);
  EXPECT_EQ(device_->readDeviceFile("Program Files/Vireta/Debug.txt"), "earlier text");
  launchProgram(u"\\Windows\\key_witness.exe", u"", 1);
  EXPECT_EQ(device_->readDeviceFile("Program Files/Vireta/Debug.txt"), " Error num 1\n");
  launchProgram(u"\\Windows\\key_witness.exe", u"", 12);
  EXPECT_EQ(device_->readDeviceFile("Program Files/Vireta/Debug.txt"), " Error num 12\n");
}

TEST_F(Launcher, AFailedStartIsToldInAMessageBox) {
  std::thread starter([] { launchProgram(u"Missing.exe", u"", 0); });
  HWND box = nullptr;
  EXPECT_TRUE(eventually([&] { return (box = FindWindowW(u"Dialog", u"Hook error")) != nullptr; }));
  char16_t text[256] = {};
  GetWindowTextW(box, text, 256);
  EXPECT_EQ(std::u16string(text), u"Hook error");
  PostMessageW(box, WM_CLOSE, 0, 0);
  starter.join();
  EXPECT_FALSE(FindWindowW(u"Dialog", u"Hook error"));
}

TEST_F(Launcher, ThePlatformsMenuIsClosedForTheMenuAndNoted) {
  // Closed: nothing posted, nothing noted.
  RunMyStartMenu(nullptr);
  EXPECT_TRUE(device_->waitVisibleInFront("Vireta"));
  EXPECT_FALSE(servicetest::readNumber(Settings, u"HideWM").has_value());
  PostMessageW(FindWindowW(u"Vireta", nullptr), 0x420, 1, 0);
  ASSERT_TRUE(device_->waitGone("Vireta"));

  // Open: closed, noted, and the menu comes to the front.
  device_->tap(20, 10);
  ASSERT_TRUE(eventually([&] { return device_->window("MSSTARTMENU").has_value(); }));
  RunMyStartMenu(nullptr);
  EXPECT_TRUE(device_->waitGone("MSSTARTMENU"));
  EXPECT_TRUE(device_->waitVisibleInFront("Vireta"));
  EXPECT_EQ(servicetest::readNumber(Settings, u"HideWM"), 1u);
}

TEST_F(Launcher, WithoutTheRecordNamesAreFoundWhereTheSettingsSay) {
  state().shared.release();
  EXPECT_EQ(resolveProgramPath(u"Ostrel.exe"), u"\\Program Files\\Vireta\\Ostrel.exe");
  servicetest::writeString(Settings, u"SourcesDirectory",
                           u"\\Storage Card\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(resolveProgramPath(u"Ostrel.exe"), u"\\Storage Card\\Vireta\\Ostrel.exe");
  servicetest::deleteValue(Settings, u"SourcesDirectory");
  EXPECT_EQ(resolveProgramPath(u"Ostrel.exe"), u"\\Program Files\\Vireta\\Ostrel.exe");
  EXPECT_EQ(resolveProgramPath(u"\\Windows\\Ostrel.exe"), u"\\Windows\\Ostrel.exe");
}

TEST_F(Launcher, ARaiseForARequestThatANewerOneFollowedLeavesTheMenuAlone) {
  launchProgram(u"Vireta.exe", u"", 0);
  ASSERT_TRUE(device_->waitVisibleInFront("Vireta"));
  PostMessageW(FindWindowW(u"Vireta", nullptr), WM_QUIT, 0, 0);
  ASSERT_TRUE(device_->waitHidden("Vireta"));

  state().latestRequest = 2;
  bringMenuForward(reinterpret_cast<LPVOID>(1));
  EXPECT_FALSE(device_->window("Vireta")->visible) << "request 1 was superseded";
  bringMenuForward(reinterpret_cast<LPVOID>(2));
  EXPECT_TRUE(device_->waitVisibleInFront("Vireta"));
}
