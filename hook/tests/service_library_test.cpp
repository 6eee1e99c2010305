// The service library loaded by a program (this test), as the registration program and the
// setup library load it: its exports, its attach rules and its stop from another process.
#include <service_testing/service_device.h>

#include <hook/shared_global_values.h>

#include <cstring>
#include <filesystem>

using servicetest::eventually;
using servicetest::ServiceDevice;

namespace {

constexpr char16_t Settings[] = u"SOFTWARE\\Tolmar_Vireta";

using Entry0 = DWORD (*)();
using InitEntry = DWORD (*)(DWORD);
using DeinitEntry = BOOL (*)(DWORD);
using IoControlEntry = BOOL (*)(DWORD, DWORD, BYTE *, DWORD, BYTE *, DWORD, DWORD *);

template <class F> F entry(HMODULE module, const char16_t *name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

int threadsOfThisProcess() {
  int count = 0;
  for ([[maybe_unused]] const auto &task : std::filesystem::directory_iterator("/proc/self/task"))
    ++count;
  return count;
}

void copyLibraryInto(const std::filesystem::path &root) {
  std::filesystem::create_directories(root / "fs" / "Windows");
  std::filesystem::copy_file(BREVIN_LIBRARY, root / "fs" / "Windows" / "Brevin.dll",
                             std::filesystem::copy_options::overwrite_existing);
}

// The service library loaded into the test process on a booted device without the package.
class LoadedLibrary : public ::testing::Test {
protected:
  void SetUp() override {
    device_ =
        std::make_unique<ServiceDevice>(servicetest::DeviceOptions{"wm65", "480x640", "", false});
    copyLibraryInto(device_->root);
    // The system's directory as an installation leaves it (the settings links save icons there).
    std::filesystem::create_directories(device_->root / "fs" / "Program Files" / "Vireta" /
                                        "resources");
    servicetest::writeString(Settings, u"SourcesDirectory",
                             u"\\Program Files\\Vireta\\resources\\");
    device_->boot();
    module_ = LoadLibraryW(u"\\Windows\\Brevin.dll");
    ASSERT_TRUE(module_) << GetLastError();
    shared_ = SharedGlobalValues::openExisting();
    ASSERT_TRUE(shared_) << "the library made the shared record at its load";
  }
  void TearDown() override {
    shared_.release();
    if (module_)
      FreeLibrary(module_);
    device_.reset();
  }
  GlobalValues &record() { return *shared_.record(); }

  std::unique_ptr<ServiceDevice> device_;
  HMODULE module_ = nullptr;
  SharedGlobalValues shared_;
};

} // namespace

TEST_F(LoadedLibrary, ItsLoadFillsTheRecordFromTheSettings) {
  EXPECT_NE(record().moduleHandle, 0u);
  EXPECT_EQ(record().userDirectoryText(), u"\\Program Files\\Vireta\\");
  EXPECT_EQ(record().hookWinKey, 1);
  EXPECT_EQ(record().serviceStarted, 0);
  EXPECT_EQ(record().hookThreadId, 0u);
}

TEST_F(LoadedLibrary, InitTwiceStartsOneHookThreadAndAStopEndsIt) {
  const auto init = entry<InitEntry>(module_, u"SMC_Init");
  const auto deinit = entry<DeinitEntry>(module_, u"SMC_Deinit");
  const auto unRegister = entry<Entry0>(module_, u"UnRegister");
  ASSERT_TRUE(init && deinit && unRegister);
  const int threadsBefore = threadsOfThisProcess();

  EXPECT_EQ(init(0), 1u);
  const DWORD hookThread = record().hookThreadId;
  EXPECT_NE(hookThread, 0u);
  EXPECT_EQ(record().serviceStarted, 1);
  // The thread found the taskbar and noted what it is.
  ASSERT_TRUE(eventually(
      [] { return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value(); }));
  EXPECT_EQ(record().deviceWinVersion, 1);
  // The settings-links thread the hook thread started ends once its work is done.
  EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() == threadsBefore + 1; }));

  EXPECT_EQ(init(0), 1u);
  EXPECT_EQ(record().hookThreadId, hookThread);
  EXPECT_EQ(threadsOfThisProcess(), threadsBefore + 1);

  EXPECT_EQ(unRegister(), 1u) << "the hook thread ended";
  EXPECT_EQ(record().serviceStarted, 0);
  EXPECT_EQ(record().hookThreadId, 0u);
  EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() == threadsBefore; }));

  EXPECT_EQ(unRegister(), 0u) << "nothing left to stop";
  EXPECT_EQ(deinit(0), TRUE) << "the host's stop answers 1 whatever UnRegister said";
}

TEST_F(LoadedLibrary, ControlCodesSucceedAndChangeNothing) {
  const auto init = entry<InitEntry>(module_, u"SMC_Init");
  const auto ioControl = entry<IoControlEntry>(module_, u"SMC_IOControl");
  ASSERT_TRUE(init && ioControl);
  ASSERT_EQ(init(0), 1u);
  ASSERT_TRUE(eventually(
      [] { return servicetest::readNumber(Settings, u"DeviceWinVersion").has_value(); }));
  GlobalValues before;
  std::memcpy(&before, &record(), sizeof before);
  BYTE in[16] = {1, 2, 3}, out[16] = {};
  DWORD returned = 0;
  // Codes of the platform's service start, stop, refresh and a made-up one.
  for (const DWORD code : {0x0101000Cu, 0x01010010u, 0x0101002Cu, 0u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ioControl(1, code, in, sizeof in, out, sizeof out, &returned), TRUE);
  }
  EXPECT_EQ(std::memcmp(&before, &record(), sizeof before), 0);
  EXPECT_EQ(record().serviceStarted, 1) << "no control code stops the service";
  // The stream entry points do nothing and answer 0.
  for (const char16_t *name : {u"SMC_Open", u"SMC_Read", u"SMC_Write", u"SMC_Seek"})
    EXPECT_TRUE(GetProcAddressW(module_, name)) << ce::toUtf8(name);
  EXPECT_EQ(entry<Entry0>(module_, u"UnRegister")(), 1u);
}

TEST_F(LoadedLibrary, AStopWithoutAThreadToEndReturnsAndSaysSo) {
  const auto unRegister = entry<Entry0>(module_, u"UnRegister");
  ASSERT_TRUE(unRegister);
  // Stopped: 0 at once, nothing posted.
  EXPECT_EQ(unRegister(), 0u);
  // Marked as started, without any thread behind the id: the stop ends within its bound and
  // does not claim that a hook thread ended.
  record().serviceStarted = 1;
  record().hookThreadId = 0x7FFFFFF0u;
  EXPECT_EQ(unRegister(), 0u);
  EXPECT_EQ(record().serviceStarted, 0);
  // Marked as started without any id at all.
  record().serviceStarted = 1;
  record().hookThreadId = 0;
  EXPECT_EQ(unRegister(), 0u);
}

TEST(ServiceLibraryLoad, AnExistingStoppedRecordIsFilledAgain) {
  ServiceDevice device(servicetest::DeviceOptions{"wm65", "480x640", "", false});
  copyLibraryInto(device.root);
  device.boot();
  servicetest::writeString(Settings, u"SourcesDirectory",
                           u"\\Storage Card\\Vireta\\resources\\VGA\\");
  servicetest::writeNumber(Settings, u"hookWinKey", 0);
  auto earlier = SharedGlobalValues::createOrOpen();
  ASSERT_TRUE(earlier);
  std::memset(earlier.record(), 0x5A, sizeof(GlobalValues));
  earlier.record()->serviceStarted = 0;

  const HMODULE module = LoadLibraryW(u"\\Windows\\Brevin.dll");
  ASSERT_TRUE(module);
  const GlobalValues &record = *earlier.record();
  EXPECT_EQ(record.userDirectoryText(), u"\\Storage Card\\Vireta\\");
  EXPECT_EQ(record.hookWinKey, 0);
  EXPECT_EQ(record.winKeyDown, 0);
  EXPECT_EQ(record.hookThreadId, 0u);
  EXPECT_EQ(record.taskbarRight, 0);
  FreeLibrary(module);
}

TEST(ServiceLibraryLoad, AStopFromAnotherProcessEndsTheServicesHookThread) {
  ServiceDevice device;
  device.boot();
  ASSERT_EQ(device.install().exitCode, 0);
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); }));
  device.tap(20, 10);
  ASSERT_TRUE(device.waitVisibleInFront("Vireta"));
  auto shared = SharedGlobalValues::openExisting();
  ASSERT_TRUE(shared);
  GlobalValues before;
  std::memcpy(&before, shared.record(), sizeof before);
  ASSERT_EQ(before.serviceStarted, 1);

  const HMODULE module = LoadLibraryW(u"\\Windows\\Brevin.dll");
  ASSERT_TRUE(module);
  EXPECT_EQ(std::memcmp(&before, shared.record(), sizeof before), 0)
      << "a load while the service runs leaves the record as it is";
  const auto unRegister = entry<Entry0>(module, u"UnRegister");
  ASSERT_TRUE(unRegister);
  EXPECT_EQ(unRegister(), 1u) << "the host's hook thread ended, and this process learnt it";
  EXPECT_EQ(shared.record()->hookThreadId, 0u);
  FreeLibrary(module);

  // The hook thread told the menu to end and gave the taskbar its own procedure back.
  EXPECT_TRUE(device.waitGone("Vireta"));
  device.tap(20, 10);
  EXPECT_TRUE(eventually([&] { return device.window("MSSTARTMENU").has_value(); }));
}

TEST(ServiceLibraryAttach, WithoutSharedMemoryTheLoadFailsAndTheErrorIsLogged) {
  // A device root without a running host: the named block cannot be made.
  char pattern[] = "/tmp/ce-service-nohost-XXXXXX";
  const std::filesystem::path root = ::mkdtemp(pattern);
  ce::DeviceRoot::use(root);
  copyLibraryInto(root);
  std::filesystem::create_directories(root / "fs" / "Program Files" / "Vireta");
  servicetest::writeString(Settings, u"SourcesDirectory",
                           u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\Brevin.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(servicetest::readHostFile(root / "fs" / "Program Files" / "Vireta" / "Debug.txt"),
            " Error num 1\n");
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

TEST(ServiceLibraryLoad, InTheServicesHostWithoutDirectoryTheHostsFolderIsTheSystemsDirectory) {
  ServiceDevice device(servicetest::DeviceOptions{"wm65", "480x640", "", false});
  copyLibraryInto(device.root);
  servicetest::writeString(u"Services\\Vireta", u"Dll", u"\\Windows\\Brevin.dll");
  servicetest::writeString(u"Services\\Vireta", u"Prefix", u"SMC");
  servicetest::writeNumber(u"Services\\Vireta", u"Index", 0);
  servicetest::writeNumber(Settings, u"hookWinKey", 1);
  device.boot();
  ASSERT_TRUE(eventually([] { return servicetest::serviceLoaded(); })) << device.hostLog();
  const auto shared = SharedGlobalValues::openExisting();
  ASSERT_TRUE(shared);
  // No `SourcesDirectory` and no installation folder: the services host's own folder.
  EXPECT_EQ(shared.record()->userDirectoryText(), u"\\Windows\\");
  EXPECT_EQ(shared.record()->serviceStarted, 1);
}

TEST_F(LoadedLibrary, TheMenusExistenceTestFindsTheRecordWithItsSmallerSize) {
  EXPECT_TRUE(SharedGlobalValues::serviceLoaded());
}

TEST(SharedRecordRules, WithoutTheServiceOpeningLeavesNoRecordBehind) {
  ServiceDevice device(servicetest::DeviceOptions{"wm65", "480x640", "", false});
  device.boot();
  EXPECT_FALSE(SharedGlobalValues::serviceLoaded());
  EXPECT_FALSE(SharedGlobalValues::openExisting()) << "the options program maps only a service's";
  EXPECT_FALSE(SharedGlobalValues::serviceLoaded()) << "neither test left a block of its own";
  auto made = SharedGlobalValues::createOrOpen();
  ASSERT_TRUE(made);
  EXPECT_FALSE(made.existed());
  EXPECT_TRUE(SharedGlobalValues::createOrOpen().existed());
  made.release();
  EXPECT_FALSE(SharedGlobalValues::serviceLoaded()) << "the block went with its last handle";
}
