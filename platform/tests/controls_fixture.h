// A booted device running the controls test program (programs/controls_program.cc): its frame
// in front, its edit focused, its hold pad below. The test thread hears the program's reports and
// drives the device with the real device tool.
#pragma once

#include "host_test_device.h"

#include <ce/core/utf.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>

#include <string>

namespace controlstest {

constexpr UINT kReady = WM_USER + 200;
constexpr UINT kGesture = WM_USER + 201;
constexpr UINT kPadUp = WM_USER + 202;
constexpr UINT kSynced = WM_USER + 203;
constexpr UINT kChanged = WM_USER + 204;
constexpr UINT kSync = WM_USER + 210;
constexpr UINT kFocusEdit = WM_USER + 211;

// The program's windows on a 480x640 screen.
constexpr RECT kFrame{0, 100, 480, 500};
constexpr RECT kEdit{10, 110, 470, 170};
constexpr POINT kPadCentre{240, 420};

inline const std::filesystem::path kControlsProgram = CE_BINARY_DIR "/bin/ce_test_controls";

class ControlsDevice : public ::testing::Test {
protected:
  // Starts the program with a "single" or "multi" edit and waits until it is ready.
  void start(const std::string &kind) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    GetForegroundWindow(); // joins the device, so the program can post to this thread
    child_ = device_.startOutside(kControlsProgram, {std::to_string(GetCurrentThreadId()), kind});
    MSG ready{};
    ASSERT_TRUE(waitFor(kReady, &ready)) << "the controls program did not start";
    edit_ = reinterpret_cast<HWND>(ready.wParam);
    pad_ = reinterpret_cast<HWND>(ready.lParam);
    frame_ = FindWindowW(u"ControlsFrame", nullptr);
    ASSERT_NE(frame_, nullptr);
    ASSERT_TRUE(hosttest::eventually([&] { return GetForegroundWindow() == frame_; }, 10000));
  }

  void TearDown() override {
    if (child_ > 0 && IsWindow(frame_)) {
      PostMessageW(frame_, WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child_), 7);
    }
  }

  // Pumps this thread's queue until `message` arrives (returned in *out); others are kept.
  bool waitFor(UINT message, MSG *out = nullptr, int ms = 10000) {
    const auto got = pump_.waitFor(message, ms);
    if (got && out)
      *out = *got;
    return got.has_value();
  }

  // Waits until the program has handled everything queued for it so far.
  void sync() {
    ASSERT_TRUE(PostMessageW(frame_, kSync, 0, 0));
    ASSERT_TRUE(waitFor(kSynced));
  }

  devtooltest::ToolRun tool(const std::vector<std::string> &args) {
    auto run = device_.tool(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  }

  // The edit's text as the device's window table shows it (another process's GetWindowTextW).
  std::u16string editTitle() const {
    WCHAR buffer[512] = {};
    GetWindowTextW(edit_, buffer, 512);
    return buffer;
  }
  ::testing::AssertionResult titleBecomes(const std::u16string &expected) const {
    if (hosttest::eventually([&] { return editTitle() == expected; }, 10000))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the edit shows \"" << ce::toUtf8(editTitle())
                                         << "\", not \"" << ce::toUtf8(expected) << "\"";
  }

  ce::testing::MessagePump pump_;
  hosttest::HostDevice device_;
  pid_t child_ = 0;
  HWND frame_ = nullptr;
  HWND edit_ = nullptr;
  HWND pad_ = nullptr;
};

} // namespace controlstest
