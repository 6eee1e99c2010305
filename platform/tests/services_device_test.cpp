// The services host of a booted device: services shared by every process, boot loading by
// Order, shutdown stopping the newest first and surviving a _Deinit that never returns, and
// requests that do not make sense.
#include "host_test_device.h"

#include "../src/protocol/message_reader.h"

#include <ce/host/host_lock.h>
#include <ce/kernel.h>
#include <ce/registry.h>
#include <ce/services.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace hosttest;

namespace {

const fs::path kServicesPeer = CE_BINARY_DIR "/bin/ce_services_peer";

void installLibrary(const HostDevice &device, const std::string &library) {
  const fs::path target = device.root / "fs" / "Windows" / (library + ".dll");
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / (library + ".dll"), target,
                fs::copy_options::overwrite_existing);
}

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string &text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);)
    result.push_back(line);
  return result;
}

std::vector<std::string> journal(const HostDevice &device) {
  return lines(readFile(device.root / "journal.txt"));
}

bool journalHas(const HostDevice &device, const std::string &line) {
  const auto all = journal(device);
  return std::find(all.begin(), all.end(), line) != all.end();
}

// HKEY_LOCAL_MACHINE\Services\<key> as a setup program writes it.
void registerKey(const std::u16string &key, const std::u16string &dll, const std::u16string &prefix,
                 std::vector<std::pair<const char16_t *, DWORD>> numbers = {}) {
  HKEY handle = nullptr;
  const std::u16string path = u"Services\\" + key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  for (auto [name, text] : {std::pair{u"Dll", &dll}, std::pair{u"Prefix", &prefix}})
    RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text->data()),
                   static_cast<DWORD>((text->size() + 1) * 2));
  for (auto [name, value] : numbers)
    RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
  RegCloseKey(handle);
}

// Starts the services peer as another device process and returns what it wrote.
pid_t startPeer(const HostDevice &device, std::vector<std::string> args, const fs::path &out) {
  args.push_back(out.string());
  return device.startOutside(kServicesPeer, args);
}
std::string runPeer(const HostDevice &device, std::vector<std::string> args) {
  static int runs = 0;
  const fs::path out = device.root / ("peer-" + std::to_string(++runs) + ".txt");
  EXPECT_EQ(waitExit(startPeer(device, std::move(args), out)), 0);
  return readFile(out);
}

// Sends what no declaration would let through; the host's answer.
DWORD callHost(ce::protocol::MessageType type, ce::protocol::MessageWriter &payload) {
  ce::protocol::Message request, answer;
  EXPECT_TRUE(payload.finish(+type, 0, 0, request));
  EXPECT_TRUE(ce::HostConnection::instance().call(request, answer));
  return answer.header.status;
}

} // namespace

TEST(ServicesDevice, AServiceRegisteredByOneProcessServesEveryOtherAndOutlivesItsHandles) {
  HostDevice device;
  installLibrary(device, "journal_a");
  EXPECT_EQ(runPeer(device, {"register", "JNA", "0", "journal_a.dll", "5"}), "ok\n");
  // The library runs in the host: its journal, not a second copy in the registering process.
  EXPECT_EQ(journal(device), (std::vector<std::string>{"journal_a attach", "journal_a init 5"}));

  // The registering process has ended and its handle with it; the service is still there.
  WCHAR dll[MAX_PATH];
  DWORD size = sizeof dll;
  WCHAR name[] = u"jna0";
  HANDLE service = GetServiceHandle(name, dll, &size);
  ASSERT_NE(service, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(dll), u"journal_a.dll");
  EXPECT_EQ(runPeer(device, {"lookup", "JNA0:"}), "ok journal_a.dll\n");
  EXPECT_EQ(runPeer(device, {"register", "JNA", "0", "journal_a.dll", "6"}), "error 2404\n");

  // A buffer too small: the size needed and no handle.
  DWORD small = 4;
  EXPECT_EQ(GetServiceHandle(name, dll, &small), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small, 28u);

  // Another process stops it; this process's handle then reaches nothing.
  EXPECT_EQ(runPeer(device, {"deregister", "JNA0:"}), "ok\n");
  EXPECT_TRUE(journalHas(device, "journal_a deinit 105"));
  EXPECT_TRUE(journalHas(device, "journal_a detach"));
  EXPECT_FALSE(DeregisterService(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(service));
  EXPECT_EQ(GetServiceHandle(name, nullptr, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

  // Failures come back with their codes.
  EXPECT_EQ(RegisterService(u"JNA", 0, u"missing.dll", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(RegisterService(u"TOOLONG", 0, u"journal_a.dll", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ActivateService(u"NoSuchKey", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ServicesDevice, ActivationFromTwoProcessesAtOnceLoadsTheServiceOnce) {
  HostDevice device;
  installLibrary(device, "journal_b");
  // Boot loading reads HKLM\Services as the host starts: the key written below must not be
  // among what it finds, or the host loads the service before either process asks.
  ASSERT_TRUE(hosttest::eventually([&] {
    return readFile(device.root / "run" / "host.log").find("loaded at boot") != std::string::npos;
  }));
  registerKey(u"Journal", u"journal_b.dll", u"JNB", {{u"Index", 3}, {u"Context", 1}});
  const fs::path first = device.root / "first.txt", second = device.root / "second.txt";
  const pid_t a = startPeer(device, {"activate", "Journal"}, first);
  const pid_t b = startPeer(device, {"activate", "Journal"}, second);
  EXPECT_EQ(waitExit(a), 0);
  EXPECT_EQ(waitExit(b), 0);
  std::vector<std::string> results{readFile(first), readFile(second)};
  std::sort(results.begin(), results.end());
  EXPECT_EQ(results, (std::vector<std::string>{"error 2404\n", "ok\n"}));
  EXPECT_EQ(journal(device), (std::vector<std::string>{"journal_b attach", "journal_b init 1"}));

  EXPECT_EQ(ActivateService(u"Journal", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_IN_USE));
  WCHAR name[] = u"JNB3:";
  HANDLE service = GetServiceHandle(name, nullptr, nullptr);
  ASSERT_NE(service, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeregisterService(service));
  EXPECT_TRUE(CloseHandle(service));
  // Free again: this process may load it now.
  service = ActivateService(u"Journal", 0);
  ASSERT_NE(service, nullptr);
  EXPECT_TRUE(DeregisterService(service));
}

TEST(ServicesDevice, BootLoadsByOrderAndShutdownStopsTheNewestFirst) {
  HostDevice device(false);
  for (const char *library : {"journal_a", "journal_b", "journal_c", "journal_d"})
    installLibrary(device, library);
  // Created out of order; journal_c's _Init looks up JNA0:, which loads before it.
  registerKey(u"Third", u"journal_c.dll", u"JNC", {{u"Order", 30}});
  registerKey(u"Unordered", u"\\Windows\\journal_d.dll", u"JND");
  registerKey(u"First", u"journal_a.dll", u"JNA", {{u"Order", 10}, {u"Context", 1}});
  registerKey(u"Held", u"journal_b.dll", u"JNB", {{u"Order", 1}, {u"Flags", DEVFLAGS_NOLOAD}});
  registerKey(u"Broken", u"missing.dll", u"MIS", {{u"Order", 2}});
  auto booted = device.tool({"boot"});
  ASSERT_EQ(booted.exitCode, 0) << booted.err;

  // A process that asks right after boot already sees every boot service.
  EXPECT_EQ(runPeer(device, {"lookup", "JND0:"}), "ok \\Windows\\journal_d.dll\n");
  EXPECT_EQ(journal(device),
            (std::vector<std::string>{"journal_a attach", "journal_a init 1", "journal_c attach",
                                      "journal_c init 0", "journal_c query found",
                                      "journal_d attach", "journal_d init 0"}));
  EXPECT_EQ(runPeer(device, {"lookup", "JNB0:"}), "error 1060\n");
  const std::string log = readFile(device.root / "run" / "host.log");
  EXPECT_NE(log.find("boot: service key \"First\" loaded as JNA0:"), std::string::npos) << log;
  EXPECT_NE(log.find("boot: service key \"Broken\" failed: error 126"), std::string::npos) << log;
  EXPECT_NE(log.find("services: 3 loaded at boot"), std::string::npos) << log;

  fs::remove(device.root / "journal.txt");
  ce::HostConnection::instance().leave();
  ASSERT_EQ(device.tool({"shutdown"}).exitCode, 0);
  EXPECT_EQ(journal(device), (std::vector<std::string>{
                                 "journal_d deinit 100", "journal_d detach", "journal_c deinit 100",
                                 "journal_c detach", "journal_a deinit 101", "journal_a detach"}));
}

TEST(ServicesDevice, AServiceThatNeverStopsDoesNotHoldUpShutdown) {
  HostDevice device(false);
  installLibrary(device, "journal_a");
  installLibrary(device, "hang_deinit");
  registerKey(u"Good", u"journal_a.dll", u"JNA", {{u"Order", 1}});
  registerKey(u"Stuck", u"hang_deinit.dll", u"HNG", {{u"Order", 2}});
  ASSERT_EQ(device.tool({"boot"}).exitCode, 0);
  EXPECT_EQ(runPeer(device, {"lookup", "HNG0:"}), "ok hang_deinit.dll\n");

  ce::HostConnection::instance().leave();
  const auto started = std::chrono::steady_clock::now();
  const auto ended = device.tool({"shutdown"});
  EXPECT_EQ(ended.exitCode, 0) << ended.err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(9));
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
  // The stuck one was asked first; the older one still got its turn.
  const auto lines = journal(device);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "journal_a deinit 100");
  EXPECT_EQ(lines.back(), "journal_a detach");
  EXPECT_TRUE(journalHas(device, "hang_deinit deinit 100"));
  const std::string log = readFile(device.root / "run" / "host.log");
  EXPECT_NE(log.find("service HNG0:: _Deinit did not return within"), std::string::npos) << log;
}

// A service's thread may outlive the service: its library stays mapped, so the thread runs on
// after deregistration instead of taking the host down, and the library can be loaded again.
TEST(ServicesDevice, ALibraryOutlivesItsServiceWhileItsThreadsRun) {
  HostDevice device;
  installLibrary(device, "lingering");
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"lingering go");
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, u"lingering done");
  ASSERT_NE(go, nullptr);
  ASSERT_NE(done, nullptr);
  HANDLE service = RegisterService(u"LNG", 0, u"lingering.dll", 1);
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(DeregisterService(service));
  EXPECT_TRUE(journalHas(device, "lingering detach"));

  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(journalHas(device, "lingering thread ran"));
  EXPECT_EQ(device.tool({"status"}).exitCode, 0) << "the host lives on";

  // Loaded again: a fresh image, attached and started again under a new handle.
  ResetEvent(done);
  HANDLE again = RegisterService(u"LNG", 0, u"lingering.dll", 2);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(journalHas(device, "lingering init 2"));
  const auto lines = journal(device);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "lingering attach"), 2);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "lingering fresh image"), 2);
  EXPECT_TRUE(DeregisterService(again));
  CloseHandle(service);
  CloseHandle(again);
  CloseHandle(go);
  CloseHandle(done);
}

TEST(ServicesDevice, RequestsThatMakeNoSenseAreRefused) {
  HostDevice device;
  using ce::protocol::MessageType;
  ce::protocol::MessageWriter truncated;
  truncated.string(u"JNA").u32(0);
  EXPECT_EQ(callHost(MessageType::RegisterService, truncated),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ce::protocol::MessageWriter withNul;
  withNul.string(std::u16string(u"Key\0Other", 9));
  EXPECT_EQ(callHost(MessageType::ActivateService, withNul),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ce::protocol::MessageWriter unknown;
  unknown.u64(12345);
  EXPECT_EQ(callHost(MessageType::DeregisterService, unknown),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ce::protocol::MessageWriter empty;
  EXPECT_EQ(callHost(MessageType::GetServiceHandle, empty),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // The retired answers-ready notice (0x0405) is no request any more.
  ce::protocol::MessageWriter nothing;
  EXPECT_EQ(callHost(static_cast<MessageType>(0x0405), nothing),
            static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  ce::protocol::MessageWriter ping;
  EXPECT_EQ(callHost(MessageType::Ping, ping), static_cast<DWORD>(ERROR_SUCCESS));
}
