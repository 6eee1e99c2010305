// A device for the service's end-to-end tests: `device create` in a fresh temporary folder,
// driven with the real device tool (boot, install, tap, keys, windows, processes), shut down
// and removed at the end. The test process works on the same root and joins the booted device
// on its first host call, so it can read the registry, look at windows and post messages like
// any device process.
#pragma once

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/testing/device_sync.h>
#include <ce/testing/eventually.h>
#include <ce/windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace servicetest {

namespace fs = std::filesystem;

// Polls `condition` every 10 ms for up to `ms` milliseconds.
inline bool eventually(const std::function<bool()> &condition, int ms = 10000) {
  return ce::testing::eventually(condition, ms, 10);
}

inline std::string readHostFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A run of the device tool as a child process.
class ToolProcess {
public:
  explicit ToolProcess(const std::vector<std::string> &args) {
    const std::string program = CE_BINARY_DIR "/bin/device";
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
      if (std::string(*e).rfind("CE_DEVICE=", 0) != 0)
        env.emplace_back(*e);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (auto &e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    int outPipe[2];
    if (pipe(outPipe) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    out_ = outPipe[0];
  }
  ~ToolProcess() { wait(); }
  ToolProcess(const ToolProcess &) = delete;
  ToolProcess &operator=(const ToolProcess &) = delete;

  // Waits for the end (reading what it prints); its exit code, -1 when it did not exit.
  int wait() {
    if (out_ >= 0) {
      char buffer[4096];
      for (ssize_t n; (n = read(out_, buffer, sizeof buffer)) > 0;)
        output_.append(buffer, static_cast<std::size_t>(n));
      close(out_);
      out_ = -1;
    }
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
    }
    return exitCode_;
  }
  const std::string &output() const { return output_; }

private:
  pid_t pid_ = -1;
  int out_ = -1;
  int exitCode_ = -1;
  std::string output_;
};

struct ToolResult {
  int exitCode = -1;
  std::string output;
};

// One line of `device windows`.
struct WindowLine {
  HWND handle = nullptr;
  std::string className;
  std::string title;
  long pid = 0;
  RECT rect{};
  bool visible = false;
  bool foreground = false;
};

struct DeviceOptions {
  std::string taskbar = "wm65";
  std::string screen = "480x640";
  std::string language; // hexadecimal id, default English
  bool demo = true;
};

class ServiceDevice {
public:
  explicit ServiceDevice(const DeviceOptions &options = DeviceOptions{}) {
    char pattern[] = "/tmp/ce-service-XXXXXX";
    temp_ = ::mkdtemp(pattern);
    root = temp_ / "device";
    std::vector<std::string> args{"create", "--taskbar", options.taskbar, "--screen",
                                  options.screen};
    if (options.demo)
      args.push_back("--demo");
    if (!options.language.empty()) {
      args.push_back("--lang");
      args.push_back(options.language);
    }
    const auto made = tool(args);
    EXPECT_EQ(made.exitCode, 0) << made.output;
    ce::DeviceRoot::use(root);
    ce::DeviceProfile::reload();
  }
  ~ServiceDevice() {
    shutdown();
    std::error_code error;
    fs::remove_all(temp_, error);
  }
  ServiceDevice(const ServiceDevice &) = delete;
  ServiceDevice &operator=(const ServiceDevice &) = delete;

  ToolResult tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--device", root.string()});
    ToolProcess process(args);
    ToolResult result;
    result.exitCode = process.wait();
    result.output = process.output();
    return result;
  }
  // Starts a verb and returns at once; the caller waits for it.
  std::unique_ptr<ToolProcess> startTool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--device", root.string()});
    return std::make_unique<ToolProcess>(args);
  }
  // Runs a verb that must succeed.
  void run(const std::vector<std::string> &args) const {
    const auto result = tool(args);
    EXPECT_EQ(result.exitCode, 0) << args.front() << ": " << result.output;
  }

  void boot() const { run({"boot"}); }
  // Ends the device; the test process's connection to it is closed too.
  void shutdown() const;
  void reboot() const {
    shutdown();
    boot();
  }
  // Installs the system's package (exit code of the tool).
  ToolResult install(const std::vector<std::string> &extra = {}) const {
    std::vector<std::string> args{"install"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(VIRETA_PACKAGE_DIR);
    return tool(args);
  }
  ToolResult uninstall() const { return tool({"uninstall", "Vireta"}); }

  void tap(int x, int y) const { run({"tap", std::to_string(x), std::to_string(y)}); }
  // Waits until the device has handled the input played so far and painted what it changed
  // (the test's own thread is left out); a failure says what is still pending.
  static ::testing::AssertionResult sync(std::uint32_t timeoutMs = 10000) {
    return ce::testing::syncDevice(timeoutMs);
  }
  void key(const std::string &name, const std::string &direction = {}) const {
    if (direction.empty())
      run({"key", name});
    else
      run({"key", name, direction});
  }

  std::vector<WindowLine> windows() const {
    std::vector<WindowLine> lines;
    std::istringstream in(tool({"windows"}).output);
    for (std::string text; std::getline(in, text);) {
      WindowLine line;
      const auto open = text.find(" \"");
      const auto close = text.rfind("\" ");
      if (open == std::string::npos || close == std::string::npos || close < open)
        continue;
      std::istringstream head(text.substr(0, open));
      std::string handle;
      head >> handle >> line.className;
      line.handle = reinterpret_cast<HWND>(std::strtoull(handle.c_str(), nullptr, 0));
      line.title = text.substr(open + 2, close - open - 2);
      std::istringstream tail(text.substr(close + 2));
      std::string rect, state, front;
      tail >> line.pid >> rect >> state >> front;
      std::sscanf(rect.c_str(), "%d,%d,%d,%d", &line.rect.left, &line.rect.top, &line.rect.right,
                  &line.rect.bottom);
      line.visible = state == "visible";
      line.foreground = front == "foreground";
      lines.push_back(line);
    }
    return lines;
  }
  std::optional<WindowLine> window(const std::string &className) const {
    for (const auto &line : windows())
      if (line.className == className)
        return line;
    return std::nullopt;
  }
  bool waitVisibleInFront(const std::string &className, int ms = 15000) const {
    return eventually(
        [&] {
          const auto line = window(className);
          return line && line->visible && line->foreground;
        },
        ms);
  }
  bool waitHidden(const std::string &className, int ms = 10000) const {
    return eventually(
        [&] {
          const auto line = window(className);
          return line && !line->visible;
        },
        ms);
  }
  // Hidden or gone: a menu told to leave the screen before it became resident ends instead of
  // hiding, and either way it has left the screen.
  bool waitOffScreen(const std::string &className, int ms = 10000) const {
    return eventually(
        [&] {
          const auto line = window(className);
          return !line || !line->visible;
        },
        ms);
  }
  bool waitGone(const std::string &className, int ms = 10000) const {
    return eventually([&] { return !window(className); }, ms);
  }

  // `device ps`: process id and device path per line.
  std::vector<std::pair<long, std::string>> processes() const {
    std::vector<std::pair<long, std::string>> list;
    std::istringstream in(tool({"ps"}).output);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      long pid = 0;
      std::string path;
      if (fields >> pid && std::getline(fields >> std::ws, path))
        list.emplace_back(pid, path);
    }
    return list;
  }
  int processCount(const std::string &fileName) const {
    int count = 0;
    for (const auto &[pid, path] : processes())
      if (path.size() >= fileName.size() &&
          path.compare(path.size() - fileName.size(), fileName.size(), fileName) == 0)
        ++count;
    return count;
  }

  std::string hostLog() const { return readHostFile(root / "run" / "host.log"); }
  // How many times the host started a program whose path ends in `fileName`.
  int startsOf(const std::string &fileName) const {
    const std::string log = hostLog();
    int count = 0;
    for (std::size_t at = 0; (at = log.find("started ", at)) != std::string::npos; ++at) {
      const auto end = log.find(" as process", at);
      const auto lineEnd = log.find('\n', at);
      if (end != std::string::npos && end < lineEnd && end >= fileName.size() &&
          log.compare(end - fileName.size(), fileName.size(), fileName) == 0)
        ++count;
    }
    return count;
  }

  // A device file as a host path ("Windows/Brevin.dll").
  fs::path hostPath(const std::string &relative) const { return root / "fs" / relative; }
  void writeDeviceFile(const std::string &relative, const std::string &bytes) const {
    fs::create_directories(hostPath(relative).parent_path());
    std::ofstream(hostPath(relative), std::ios::binary) << bytes;
  }
  std::string readDeviceFile(const std::string &relative) const {
    return readHostFile(hostPath(relative));
  }

  fs::path root;

private:
  fs::path temp_;
};

// Registry helpers on the device the test process uses.
std::optional<DWORD> readNumber(std::u16string_view key, std::u16string_view name,
                                HKEY root = HKEY_LOCAL_MACHINE);
std::optional<std::u16string> readString(std::u16string_view key, std::u16string_view name,
                                         HKEY root = HKEY_LOCAL_MACHINE);
bool keyExists(std::u16string_view key, HKEY root = HKEY_LOCAL_MACHINE);
void writeNumber(std::u16string_view key, std::u16string_view name, DWORD value,
                 HKEY root = HKEY_LOCAL_MACHINE);
void writeString(std::u16string_view key, std::u16string_view name, std::u16string_view text,
                 HKEY root = HKEY_LOCAL_MACHINE);
void deleteValue(std::u16string_view key, std::u16string_view name, HKEY root = HKEY_LOCAL_MACHINE);

// Everything in the registry of the device, one line per key and per value (type and bytes),
// sorted.
std::vector<std::string> registryListing();
// Every file and folder under fs/, with each file's size and contents digest.
std::vector<std::string> fileListing(const fs::path &fileSystem);

// Whether the services host has "SMC0:" loaded (asked from the test process).
bool serviceLoaded();

// Waits until a started program ends: starts `path` with `arguments` through ShellExecuteEx
// from the test process and waits up to `ms` for its end. False when it could not be started or
// did not end.
bool runToEnd(std::u16string_view path, std::u16string_view arguments, int ms = 20000);

} // namespace servicetest
