// The host as a program of its own: its command line, how `device boot` starts it (detached, and
// what it says when the program cannot start), and the program run by hand in the foreground.
#include "host_test_device.h"

#include "../host/host_command_line.h"

#include <ce/host/host_lock.h>

#include <fstream>
#include <sstream>

using namespace hosttest;

namespace {

const fs::path kHostProgram = CE_BINARY_DIR "/bin/device-host";

std::optional<ce::host::HostCommandLine> parse(std::vector<std::string> args, std::string *error) {
  return ce::host::HostCommandLine::parse(args, error);
}

// Fields of /proc/PID/stat after the command name: state, ppid, pgrp, session, tty_nr, ...
std::vector<std::string> statFields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream rest(text.substr(text.rfind(')') + 1));
  std::vector<std::string> fields;
  for (std::string field; rest >> field;)
    fields.push_back(field);
  return fields;
}

pid_t hostPid(const HostDevice &device) {
  const std::string status = device.tool({"status"}).out;
  const std::string prefix = "running, host process ";
  return status.rfind(prefix, 0) == 0 ? static_cast<pid_t>(std::stol(status.substr(prefix.size())))
                                      : 0;
}

devtooltest::ToolRun bootWith(const HostDevice &device, const fs::path &hostProgram) {
  devtooltest::ToolOptions options;
  options.environment = {"CE_DEVICE_HOST=" + hostProgram.string()};
  options.killAfterMs = 30000;
  return devtooltest::runToolWith({"--device", device.root.string(), "boot"}, options);
}

} // namespace

TEST(HostProgram, CommandLine) {
  std::string error;
  auto line = parse({"/dev/root"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->root, "/dev/root");
  EXPECT_FALSE(line->options.window);
  EXPECT_EQ(line->options.zoom, 1);
  EXPECT_EQ(line->readyFd, -1);

  line = parse({"--ready-fd", "3", "--window", "--zoom", "8", "--", "--odd root"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->root, "--odd root") << "a root after -- may look like an option";
  EXPECT_TRUE(line->options.window);
  EXPECT_EQ(line->options.zoom, 8);
  EXPECT_EQ(line->readyFd, 3);

  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{}, "no device root given"},
      {{"--window"}, "no device root given"},
      {{"a", "b"}, "more than one device root given"},
      {{""}, "the device root is an empty path"},
      {{"--zoom", "0", "r"}, "--zoom takes a whole number from 1 to 8"},
      {{"--zoom", "9", "r"}, "--zoom takes a whole number from 1 to 8"},
      {{"--zoom", "2x", "r"}, "--zoom takes a whole number from 1 to 8"},
      {{"--ready-fd", "-1", "r"}, "--ready-fd takes a file descriptor number"},
      {{"--ready-fd", "99999999999", "r"}, "--ready-fd takes a file descriptor number"},
      {{"r", "--zoom"}, "--zoom needs a value"},
      {{"--detach", "r"}, "unknown option --detach"},
  };
  for (const auto &[args, message] : bad) {
    error.clear();
    EXPECT_FALSE(parse(args, &error));
    EXPECT_EQ(error, message);
  }
}

TEST(HostProgram, BootStartsTheProgramDetachedFromTheTool) {
  HostDevice device;
  const pid_t host = hostPid(device);
  ASSERT_GT(host, 0);
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(host) + "/exe"),
            fs::canonical(kHostProgram));
  const auto fields = statFields(host);
  ASSERT_GE(fields.size(), 5u);
  EXPECT_NE(std::stol(fields[1]), ::getpid()) << "nobody's child";
  EXPECT_NE(std::stol(fields[3]), ::getsid(0)) << "a session of its own";
  EXPECT_EQ(fields[4], "0") << "no controlling terminal";
  // The standard descriptors lead nowhere: none of the tool's pipes is held open.
  for (int fd = 0; fd <= 2; ++fd)
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(host) + "/fd/" + std::to_string(fd)),
              "/dev/null");
}

TEST(HostProgram, AHostProgramThatDoesNotStartIsReported) {
  HostDevice device(false);
  const fs::path missing = device.root / "no-such-host";
  auto boot = bootWith(device, missing);
  EXPECT_EQ(boot.exitCode, 3);
  EXPECT_EQ(boot.err, "device boot: cannot start the host program " + missing.string() +
                          ": No such file or directory\n");

  // A program that ends without a word on the pipe.
  const fs::path quitter = device.root / "quitter";
  devtooltest::writeFile(quitter, "#!/bin/sh\nexit 0\n");
  fs::permissions(quitter, fs::perms::owner_all);
  boot = bootWith(device, quitter);
  EXPECT_EQ(boot.exitCode, 3);
  EXPECT_EQ(boot.err, "device boot: the host ended before it was ready\n");

  // A file that cannot be run at all.
  const fs::path notAProgram = device.root / "not-a-program";
  devtooltest::writeFile(notAProgram, "\x7f"
                                      "ELF but not really");
  fs::permissions(notAProgram, fs::perms::owner_all);
  boot = bootWith(device, notAProgram);
  EXPECT_EQ(boot.exitCode, 3);
  EXPECT_EQ(boot.err, "device boot: cannot start the host program " + notAProgram.string() +
                          ": Exec format error\n");
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
  EXPECT_EQ(device.tool({"boot"}).exitCode, 0) << "the real program still boots the device";
}

TEST(HostProgram, RunByHandItServesInTheForegroundUntilTerminated) {
  HostDevice device(false);
  devtooltest::ToolOptions options;
  options.program = kHostProgram;
  options.killAfterMs = 30000;
  auto run = devtooltest::runToolWith({}, options);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("no device root given"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("usage: device-host"), std::string::npos) << run.err;

  const pid_t host = device.startOutside(kHostProgram, {device.root.string()});
  ASSERT_TRUE(eventually(
      [&] {
        return devtooltest::readFile(device.root / "run" / "host.log").find("host ready") !=
               std::string::npos;
      },
      20000));
  EXPECT_EQ(device.tool({"status"}).exitCode, 0);
  run = devtooltest::runToolWith({device.root.string()}, options);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "device-host: another host runs for " + device.root.string() + "\n");

  ASSERT_EQ(::kill(host, SIGTERM), 0);
  EXPECT_EQ(waitExit(host), 0);
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
  EXPECT_NE(devtooltest::readFile(device.root / "run" / "host.log").find("host stopped"),
            std::string::npos);

  // A damaged device is refused on the standard error when there is no pipe to answer on.
  std::ofstream(device.root / "device.conf", std::ios::app) << "screen=wide\n";
  run = devtooltest::runToolWith({device.root.string()}, options);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err.rfind("device-host: device.conf line ", 0), 0u) << run.err;
  EXPECT_FALSE(ce::HostLock::isHeld(device.root));
}
