// Runs the built device tool as a child process in a fresh temporary folder and captures what it
// prints, for the device_tool_* tests.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace devtooltest {

struct ToolRun {
  int exitCode = -1; // -1 when the tool ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

inline std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct ToolOptions {
  std::optional<std::string> ceDevice;  // CE_DEVICE for the tool (removed otherwise)
  std::filesystem::path cwd;            // the tool's working folder, when given
  std::vector<std::string> environment; // more NAME=value entries
  int killAfterMs = 0;                  // kills a tool still running after this long (0: never)
  std::filesystem::path program;        // another program to run instead of the device tool
};

// Runs `device` with `args`; standard input is /dev/null, so the tool never finds a terminal to
// ask questions on. A tool killed for running too long reports signal SIGKILL.
inline ToolRun runToolWith(const std::vector<std::string> &args, const ToolOptions &options) {
  const std::string program =
      options.program.empty() ? CE_BINARY_DIR "/bin/device" : options.program.string();
  const std::optional<std::string> &ceDevice = options.ceDevice;
  const std::filesystem::path &cwd = options.cwd;
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::string(*e).rfind("CE_DEVICE=", 0) != 0)
      env.emplace_back(*e);
  if (ceDevice)
    env.push_back("CE_DEVICE=" + *ceDevice);
  env.insert(env.end(), options.environment.begin(), options.environment.end());

  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char *> envp;
  for (auto &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int outPipe[2], errPipe[2];
  EXPECT_EQ(pipe(outPipe), 0);
  EXPECT_EQ(pipe(errPipe), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  if (!cwd.empty())
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  ToolRun run;
  EXPECT_EQ(spawned, 0) << "cannot start " << program;
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return run;
  }
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string *sinks[2] = {&run.out, &run.err};
  int open = 2;
  const auto started = std::chrono::steady_clock::now();
  bool killed = false;
  while (open > 0) {
    int wait = -1;
    if (options.killAfterMs > 0 && !killed) {
      const auto left = options.killAfterMs - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - started)
                                                  .count();
      if (left <= 0) {
        kill(pid, SIGKILL);
        killed = true;
      } else {
        wait = static_cast<int>(left);
      }
    }
    const int ready = poll(fds, 2, wait);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    if (ready == 0)
      continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status))
    run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    run.signal = WTERMSIG(status);
  return run;
}

// Runs `device` with `args` in the folder `cwd` (when given). CE_DEVICE is removed from its
// environment unless `ceDevice` is given.
inline ToolRun runTool(const std::vector<std::string> &args,
                       std::optional<std::string> ceDevice = std::nullopt,
                       const std::filesystem::path &cwd = {}) {
  ToolOptions options;
  options.ceDevice = std::move(ceDevice);
  options.cwd = cwd;
  return runToolWith(args, options);
}

// Each test gets its own temporary folder; the device root is `root()` inside it.
class DeviceToolTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "device_tool_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    temp_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(temp_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(temp_, ec);
  }

  const std::filesystem::path &temp() const { return temp_; }
  std::filesystem::path root() const { return temp_ / "dev"; }
  std::filesystem::path fsPath() const { return root() / "fs"; }

  // `device --device ROOT args...`
  ToolRun device(std::initializer_list<std::string> args) const {
    std::vector<std::string> all{"--device", root().string()};
    all.insert(all.end(), args.begin(), args.end());
    return runTool(all);
  }
  ToolRun device(const std::vector<std::string> &args) const {
    std::vector<std::string> all{"--device", root().string()};
    all.insert(all.end(), args.begin(), args.end());
    return runTool(all);
  }

  void createDevice(std::initializer_list<std::string> options = {}) const {
    std::vector<std::string> args{"create"};
    args.insert(args.end(), options.begin(), options.end());
    const ToolRun run = device(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }

private:
  std::filesystem::path temp_;
};

} // namespace devtooltest
