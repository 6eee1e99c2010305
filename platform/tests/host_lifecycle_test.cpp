// Booting, status and shutdown of a device's host through the device tool.
#include "host_test_device.h"

#include "../src/protocol/process_messages.h"

#include <ce/host/host_lock.h>
#include <ce/messages.h>
#include <ce/windows_api.h>

using namespace hosttest;

TEST(HostLifecycle, BootStatusShutdown) {
  HostDevice device(false);
  auto status = device.tool({"status"});
  EXPECT_EQ(status.exitCode, 1);
  EXPECT_EQ(status.out, "not running\n");

  auto boot = device.tool({"boot"});
  ASSERT_EQ(boot.exitCode, 0) << boot.err;
  EXPECT_EQ(boot.out, "the device is running\n");
  auto again = device.tool({"boot", "--window", "--zoom", "2"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, "the device is already running\n");

  status = device.tool({"status"});
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_EQ(status.out.rfind("running, host process ", 0), 0u) << status.out;
  const auto socket = device.root / "run" / "host.sock";
  EXPECT_EQ(fs::status(socket).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  auto down = device.tool({"shutdown"});
  EXPECT_EQ(down.exitCode, 0) << down.err;
  EXPECT_EQ(device.tool({"status"}).exitCode, 1);
  EXPECT_FALSE(fs::exists(socket));
  const std::string log = devtooltest::readFile(device.root / "run" / "host.log");
  EXPECT_NE(log.find("host ready"), std::string::npos);
  EXPECT_NE(log.find("host stopped"), std::string::npos);
  EXPECT_EQ(device.tool({"shutdown"}).exitCode, 0) << "shutting down a stopped device is fine";
}

TEST(HostLifecycle, BadBootOptionsAreRefused) {
  HostDevice device(false);
  EXPECT_EQ(device.tool({"boot", "--zoom", "0"}).exitCode, 2);
  EXPECT_EQ(device.tool({"boot", "--zoom", "x"}).exitCode, 2);
  EXPECT_EQ(device.tool({"status"}).exitCode, 1);
}

TEST(HostLifecycle, ShutdownEndsDeviceProcesses) {
  HostDevice device;
  const pid_t waiting = device.startOutside(kPeerProgram, {"wait"});
  // The host's own process is listed too once its shell threads have joined: wait for this one.
  ASSERT_TRUE(eventually([&] {
    return ("\n" + device.tool({"ps"}).out).find("\n" + std::to_string(waiting) + " ") !=
           std::string::npos;
  }));
  EXPECT_EQ(device.tool({"shutdown"}).exitCode, 0);
  EXPECT_EQ(waitExit(waiting), -1) << "the waiting program was ended by a signal";
}

TEST(HostLifecycle, CallsFailCleanlyWhenTheHostDies) {
  HostDevice device;
  auto &connection = ce::HostConnection::instance();
  ASSERT_TRUE(connection.connect());
  ASSERT_EQ(::kill(static_cast<pid_t>(connection.hostPid()), SIGKILL), 0);
  ASSERT_TRUE(eventually([&] { return !connection.isConnected(); }));
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageW(0x7FFFFFF0, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(connection.request(ce::protocol::PingRequest{}));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  // A killed host leaves its socket file behind; the next boot takes the root over.
  EXPECT_EQ(device.tool({"boot"}).exitCode, 0);
  EXPECT_TRUE(connection.request(ce::protocol::PingRequest{}));
}

TEST(HostLifecycle, TerminatingTheHostEndsItsPrograms) {
  HostDevice device;
  const pid_t waiting = device.startOutside(kPeerProgram, {"wait"});
  // The host's own process is listed too once its shell threads have joined: wait for this one.
  ASSERT_TRUE(eventually([&] {
    return ("\n" + device.tool({"ps"}).out).find("\n" + std::to_string(waiting) + " ") !=
           std::string::npos;
  }));
  const std::string status = device.tool({"status"}).out;
  const pid_t host = std::stoi(status.substr(std::string("running, host process ").size()));
  ASSERT_EQ(::kill(host, SIGTERM), 0);
  EXPECT_EQ(waitExit(waiting), -1);
  EXPECT_TRUE(ce::HostLock::waitUntilReleased(device.root, 5000));
  EXPECT_EQ(device.tool({"boot"}).exitCode, 0) << "a new host takes the root over";
}

TEST(HostLifecycle, AProcessThatLeftIsNoLongerTheDevicesOnceLeaveReturns) {
  HostDevice device;
  const std::string self = "\n" + std::to_string(::getpid()) + " ";
  ASSERT_NE(FindWindowW(u"HHTaskBar", nullptr), nullptr) << "the test process joined the device";
  ASSERT_NE(("\n" + device.tool({"ps"}).out).find(self), std::string::npos);

  // At once, with no wait: a shutdown asked for now would no longer signal this process.
  EXPECT_TRUE(ce::HostConnection::instance().leave());
  EXPECT_EQ(("\n" + device.tool({"ps"}).out).find(self), std::string::npos);
  EXPECT_TRUE(ce::HostConnection::instance().leave()) << "leaving twice is fine";

  // The next call joins again.
  EXPECT_NE(FindWindowW(u"HHTaskBar", nullptr), nullptr);
  EXPECT_NE(("\n" + device.tool({"ps"}).out).find(self), std::string::npos);
}
