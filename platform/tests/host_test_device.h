// A booted device for the host tests: a fresh device root in its own temporary folder, made and
// booted with the real device tool, shut down and removed at the end. The test process itself
// works on the root (ce::DeviceRoot::use) and joins the device on its first host call.
#pragma once

#include "device_tool_runner.h"

#include "../src/client/host_connection.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/testing/eventually.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

namespace hosttest {

namespace fs = std::filesystem;

inline const fs::path kPeerProgram = CE_BINARY_DIR "/bin/ce_test_peer";

class HostDevice {
public:
  explicit HostDevice(bool boot = true) {
    char pattern[] = "/tmp/ce-host-XXXXXX";
    root = ::mkdtemp(pattern);
    auto made = devtooltest::runTool({"--device", root.string(), "create"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    if (boot) {
      auto booted = devtooltest::runTool({"--device", root.string(), "boot"});
      EXPECT_EQ(booted.exitCode, 0) << booted.err;
    }
    ce::DeviceRoot::use(root);
  }
  ~HostDevice() {
    ce::HostConnection::instance().leave();
    devtooltest::runTool({"--device", root.string(), "shutdown"});
    std::error_code error;
    fs::remove_all(root, error);
  }

  devtooltest::ToolRun tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--device", root.string()});
    return devtooltest::runTool(args);
  }

  // Copies the peer program into the device as `devicePath` (relative to fs/, '/' separated).
  fs::path install(const std::string &devicePath) const {
    const fs::path target = root / "fs" / devicePath;
    fs::create_directories(target.parent_path());
    fs::copy_file(kPeerProgram, target, fs::copy_options::overwrite_existing);
    return target;
  }

  // Starts a program from outside the host (as a developer would), with CE_DEVICE set.
  pid_t startOutside(const fs::path &program, const std::vector<std::string> &args) const {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
      const std::string entry(*e);
      if (entry.rfind("CE_", 0) != 0)
        env.push_back(entry);
    }
    env.push_back("CE_DEVICE=" + root.string());
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (auto &e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    return pid;
  }

  fs::path root;
};

// Polls `condition` for up to `ms` milliseconds.
inline bool eventually(const std::function<bool()> &condition, int ms = 5000) {
  return ce::testing::eventually(condition, ms);
}

// Waits for a child of the test and returns its exit status (-1 on a signal).
inline int waitExit(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid)
    return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace hosttest
