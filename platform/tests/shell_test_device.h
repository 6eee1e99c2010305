// A demo device for the shell tests: `device create --demo` in a fresh temporary folder (with the
// taskbar design and screen asked for), booted with the real device tool, shut down and removed
// at the end. The test process works on the root (ce::DeviceRoot::use) and joins the device on its
// first host call, so it can look at windows and post to them like any other device process.
#pragma once

#include "device_tool_runner.h"

#include "../src/client/host_connection.h"

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>
#include <ce/imaging.h>
#include <ce/testing/eventually.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace shelltest {

namespace fs = std::filesystem;

// One line of `device windows`.
struct WindowLine {
  std::string handle;
  std::string className;
  std::string title;
  long pid = 0;
  RECT rect{};
  bool visible = false;
  bool foreground = false;
};

inline bool sameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::string describe(const RECT &r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// Polls `condition` for up to `ms` milliseconds.
inline bool eventually(const std::function<bool()> &condition, int ms = 5000) {
  return ce::testing::eventually(condition, ms, 10);
}

// How the device is made: its taskbar design and screen, and whether it boots at once.
struct ShellDeviceOptions {
  std::string taskbar = "wm65";
  std::string screen = "480x640";
  bool boot = true;
};

class ShellDevice {
public:
  using Options = ShellDeviceOptions;

  explicit ShellDevice(const Options &options = Options{}) {
    char pattern[] = "/tmp/ce-shell-XXXXXX";
    temp_ = ::mkdtemp(pattern);
    root = temp_ / "device";
    const auto made = devtooltest::runTool({"--device", root.string(), "create", "--demo",
                                            "--taskbar", options.taskbar, "--screen",
                                            options.screen});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    ce::DeviceRoot::use(root);
    ce::DeviceProfile::reload();
    if (options.boot)
      boot();
  }
  ~ShellDevice() {
    ce::HostConnection::instance().leave();
    devtooltest::runTool({"--device", root.string(), "shutdown"});
    std::error_code error;
    fs::remove_all(temp_, error);
  }
  ShellDevice(const ShellDevice &) = delete;
  ShellDevice &operator=(const ShellDevice &) = delete;

  void boot() const {
    const auto booted = tool({"boot"});
    EXPECT_EQ(booted.exitCode, 0) << booted.err;
  }

  devtooltest::ToolRun tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--device", root.string()});
    return devtooltest::runTool(args);
  }

  // Runs a verb that must succeed.
  void run(std::vector<std::string> args) const {
    const auto result = tool(args);
    EXPECT_EQ(result.exitCode, 0) << args.front() << ": " << result.err;
  }

  std::vector<WindowLine> windows() const {
    std::vector<WindowLine> lines;
    std::istringstream in(tool({"windows"}).out);
    for (std::string text; std::getline(in, text);) {
      WindowLine line;
      const auto open = text.find(" \"");
      const auto close = text.rfind("\" ");
      if (open == std::string::npos || close == std::string::npos || close < open)
        continue;
      std::istringstream head(text.substr(0, open));
      head >> line.handle >> line.className;
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

  // `device wait-window CLASS SECONDS`.
  bool waitWindow(const std::string &className, int seconds = 10) const {
    return tool({"wait-window", className, std::to_string(seconds)}).exitCode == 0;
  }

  bool waitGone(const std::string &className, int ms = 5000) const {
    return eventually([&] { return !window(className); }, ms);
  }

  std::string hostLog() const {
    std::ifstream in(root / "run" / "host.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  bool logHas(const std::string &text, int ms = 5000) const {
    return eventually([&] { return hostLog().find(text) != std::string::npos; }, ms);
  }

  // Process list lines of `device ps` ("pid path").
  std::string processes() const { return tool({"ps"}).out; }

  // Writes a device file (a path relative to fs/, '/' separated).
  void writeDeviceFile(const std::string &relative, const std::string &bytes) const {
    const fs::path target = root / "fs" / relative;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << bytes;
  }

  // A screenshot through the verb, as 0x00RRGGBB per pixel, top row first (empty on failure).
  std::vector<std::uint32_t> screenshot(int *width = nullptr) const {
    const fs::path file = temp_ / "shot.png";
    if (tool({"screenshot", file.string()}).exitCode != 0)
      return {};
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    CoInitializeEx(nullptr, 0);
    IImagingFactory *factory = nullptr;
    if (CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                         reinterpret_cast<void **>(&factory)) != S_OK)
      return {};
    IImage *image = nullptr;
    factory->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()), BufferDisposalFlagNone,
                                   &image);
    IBitmapImage *bitmap = nullptr;
    if (image)
      factory->CreateBitmapFromImage(image, 0, 0, PixelFormat32bppARGB, InterpolationHintDefault,
                                     &bitmap);
    std::vector<std::uint32_t> pixels;
    SIZE size{};
    BitmapData data{};
    if (bitmap && bitmap->GetSize(&size) == S_OK &&
        bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data) == S_OK) {
      for (UINT y = 0; y < data.Height; ++y) {
        const auto *row = reinterpret_cast<const std::uint32_t *>(
            static_cast<const std::uint8_t *>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        for (UINT x = 0; x < data.Width; ++x)
          pixels.push_back(row[x] & 0xFFFFFF);
      }
      bitmap->UnlockBits(&data);
      if (width)
        *width = static_cast<int>(size.cx);
    }
    if (bitmap)
      bitmap->Release();
    if (image)
      image->Release();
    factory->Release();
    return pixels;
  }

  fs::path root;

private:
  fs::path temp_;
};

} // namespace shelltest
