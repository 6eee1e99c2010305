// A device whose host runs inside the test process: the root made with the device tool, the
// host lock taken and the socket listened at as the host program does, a log and a server. The
// test adds the services it needs to `server`, then run() starts the loop on a thread of its
// own; stop() ends it, so that a fixture can let its services go while the server still stands.
#pragma once

#include "device_tool_runner.h"

#include "../host/host_log.h"
#include "../host/host_server.h"
#include "../src/protocol/packet_socket.h"

#include <ce/core/device_root.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

struct InProcessHost {
  std::filesystem::path root;
  int lock = -1;
  std::unique_ptr<ce::host::HostLog> log;
  std::unique_ptr<ce::host::HostServer> server;
  std::thread loop;

  // Makes the root (`pattern` as for mkdtemp) and the server; false, with the failure reported,
  // when a step fails.
  bool open(std::string pattern) {
    if (!::mkdtemp(pattern.data())) {
      ADD_FAILURE() << "no temporary folder";
      return false;
    }
    root = pattern;
    const auto made = devtooltest::runTool({"--device", root.string(), "create"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    ce::DeviceRoot::use(root);
    std::filesystem::create_directories(root / "run");
    lock = ::open((root / "run" / "host.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    auto listener = ce::protocol::PacketSocket::listenAt(root / "run" / "host.sock");
    EXPECT_TRUE(listener);
    if (made.exitCode != 0 || lock < 0 || !listener)
      return false;
    log = std::make_unique<ce::host::HostLog>(root / "run" / "host.log");
    server = std::make_unique<ce::host::HostServer>(std::move(listener), *log);
    return true;
  }
  void run() {
    loop = std::thread([this] { server->run(); });
  }
  void stop() {
    if (server)
      server->stop();
    if (loop.joinable())
      loop.join();
  }
  ~InProcessHost() {
    stop();
    server.reset();
    log.reset();
    if (lock >= 0)
      ::close(lock);
    std::error_code error;
    if (!root.empty())
      std::filesystem::remove_all(root, error);
  }
};
