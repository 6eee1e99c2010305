// The host's UI-thread runner on a booted device, from the test process: a thread that makes its
// windows under a device identity, says they are up (or why not), runs their messages until it
// is stopped whatever WM_QUIT anyone posts, and is joined; one stuck in a call is left behind
// with a line in the log.
#include "host_test_device.h"

#include <ce/host/host_ui_thread.h>
#include "../src/windowing/window_binding.h"

#include <ce/windows.h>

#include <atomic>
#include <future>
#include <mutex>
#include <stdexcept>

using namespace hosttest;

namespace {

constexpr UINT kWhichThread = WM_USER + 1;
constexpr UINT kWhichProcess = WM_USER + 2;
constexpr char16_t kProbeClass[] = u"UiThreadProbe";

// What the thread tells the test: its log lines and what happened on it.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> lines;
  std::vector<HWND> quitsPosted;
  std::atomic<DWORD> openedOn{0};
  std::atomic<int> opened{-1}; // 1 up, 0 not
  std::atomic<DWORD> destroyedOn{0};
  std::atomic<bool> inStart{false};
  std::atomic<bool> contentGone{false};

  bool logged(const std::string &text) {
    std::lock_guard lock(mutex);
    for (const auto &line : lines)
      if (line.find(text) != std::string::npos)
        return true;
    return false;
  }
};

// A window that answers kWhichThread and kWhichProcess with the thread that runs it and the
// device process that thread belongs to.
class ProbeWindows : public ce::HostUiThread::Content {
public:
  ProbeWindows(std::shared_ptr<Journal> journal, std::string failure,
               std::shared_future<void> holdStart)
      : journal_(std::move(journal)), failure_(std::move(failure)),
        holdStart_(std::move(holdStart)) {}
  ~ProbeWindows() override {
    if (hwnd_)
      DestroyWindow(hwnd_);
    journal_->destroyedOn = GetCurrentThreadId();
    journal_->contentGone = true;
  }
  std::string open() override {
    if (!failure_.empty())
      return failure_;
    if (!Binding::registerClass(kProbeClass))
      return "no class";
    hwnd_ =
        Binding::create(*this, 0, kProbeClass, u"probe", WS_VISIBLE, RECT{0, 60, 50, 110}, nullptr);
    return hwnd_ ? "" : "no window";
  }
  void started() override {
    journal_->inStart = true;
    if (holdStart_.valid())
      holdStart_.wait(); // stuck until the test lets it go
  }
  void quitPostedTo(HWND hwnd) override {
    std::lock_guard lock(journal_->mutex);
    journal_->quitsPosted.push_back(hwnd);
  }
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWhichThread)
      return static_cast<LRESULT>(GetCurrentThreadId());
    if (message == kWhichProcess)
      return static_cast<LRESULT>(GetCurrentProcessId());
    if (message == WM_DESTROY)
      hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

private:
  using Binding = ce::WindowBinding<&ProbeWindows::windowMessage>;
  std::shared_ptr<Journal> journal_;
  std::string failure_;
  std::shared_future<void> holdStart_;
  HWND hwnd_ = nullptr;
};

// A runner named "probe" whose content fails with `failure` (none when empty) and whose start
// waits for `holdStart` when given.
ce::HostUiThread makeThread(const std::shared_ptr<Journal> &journal, std::string failure = {},
                            std::shared_future<void> holdStart = {}) {
  ce::HostUiThread::Options options;
  options.name = "probe";
  options.identity = ce::ProcessIdentity::shell();
  options.log = [journal](const std::string &line) {
    std::lock_guard lock(journal->mutex);
    journal->lines.push_back(line);
  };
  options.opened = [journal](bool up) {
    journal->openedOn = GetCurrentThreadId();
    journal->opened = up ? 1 : 0;
  };
  return ce::HostUiThread(std::move(options), [journal, failure, holdStart] {
    return std::make_unique<ProbeWindows>(journal, failure, holdStart);
  });
}

class HostUiThreadTest : public ::testing::Test {
protected:
  void TearDown() override { UnregisterClassW(kProbeClass, nullptr); } // the next host is new

  HostDevice device;
  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
};

} // namespace

TEST_F(HostUiThreadTest, MakesItsWindowsUnderItsIdentityRunsThemAndEndsOnlyWhenStopped) {
  auto thread = makeThread(journal);
  EXPECT_EQ(thread.threadId(), 0u) << "no thread before start";
  thread.start();
  std::string why;
  ASSERT_EQ(thread.waitUntilOpen(10000, &why), ce::HostUiThread::Opening::Up) << why;
  const DWORD uiThread = thread.threadId();
  ASSERT_NE(uiThread, 0u);
  EXPECT_EQ(journal->opened.load(), 1);
  EXPECT_EQ(journal->openedOn.load(), uiThread);

  const HWND probe = FindWindowW(kProbeClass, nullptr);
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(GetWindowThreadProcessId(probe, nullptr), uiThread);
  EXPECT_EQ(SendMessageW(probe, kWhichThread, 0, 0), static_cast<LRESULT>(uiThread));
  EXPECT_EQ(SendMessageW(probe, kWhichProcess, 0, 0),
            static_cast<LRESULT>(ce::ProcessIdentity::kShellProcessId))
      << "the thread runs as the identity it was given";

  // WM_QUIT, to its window or to the thread, ends nothing; the content hears of the first.
  ASSERT_TRUE(PostMessageW(probe, WM_QUIT, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(uiThread, WM_QUIT, 0, 0));
  ASSERT_TRUE(eventually([&] {
    std::lock_guard lock(journal->mutex);
    return journal->quitsPosted.size() == 1 && journal->quitsPosted[0] == probe;
  }));
  EXPECT_EQ(SendMessageW(probe, kWhichThread, 0, 0), static_cast<LRESULT>(uiThread));

  EXPECT_TRUE(thread.stop());
  EXPECT_TRUE(journal->contentGone.load());
  EXPECT_EQ(journal->destroyedOn.load(), uiThread) << "the content goes on its own thread";
  EXPECT_FALSE(IsWindow(probe));
  EXPECT_TRUE(thread.stop()) << "stopping again is harmless";
  EXPECT_FALSE(journal->logged("left behind"));
}

TEST_F(HostUiThreadTest, AFailureToStartIsReportedAndLogged) {
  auto failing = makeThread(journal, "the probe has no window today");
  failing.start();
  std::string why;
  EXPECT_EQ(failing.waitUntilOpen(10000, &why), ce::HostUiThread::Opening::Failed);
  EXPECT_EQ(why, "the probe has no window today");
  EXPECT_EQ(journal->opened.load(), 0);
  EXPECT_TRUE(journal->logged("probe: could not start: the probe has no window today"));
  EXPECT_TRUE(eventually([&] { return journal->contentGone.load(); })) << "the thread ended";
  EXPECT_TRUE(failing.stop());

  // A content that cannot even be made counts the same.
  auto journal2 = std::make_shared<Journal>();
  ce::HostUiThread::Options options;
  options.name = "broken";
  options.log = [journal2](const std::string &line) {
    std::lock_guard lock(journal2->mutex);
    journal2->lines.push_back(line);
  };
  ce::HostUiThread broken(std::move(options), []() -> std::unique_ptr<ce::HostUiThread::Content> {
    throw std::runtime_error("out of probes");
  });
  broken.start();
  EXPECT_EQ(broken.waitUntilOpen(10000, &why), ce::HostUiThread::Opening::Failed);
  EXPECT_EQ(why, "out of probes");
  EXPECT_TRUE(journal2->logged("broken: could not start: out of probes"));
  EXPECT_TRUE(broken.stop());
}

TEST_F(HostUiThreadTest, AThreadThatDoesNotEndInTimeIsLeftBehindWithALogLine) {
  std::promise<void> release;
  auto thread = makeThread(journal, {}, release.get_future().share());
  thread.start();
  ASSERT_EQ(thread.waitUntilOpen(10000), ce::HostUiThread::Opening::Up);
  ASSERT_TRUE(eventually([&] { return journal->inStart.load(); }));
  EXPECT_FALSE(thread.stop(100)) << "stuck in its start";
  EXPECT_TRUE(journal->logged("probe: the thread did not end within 100 ms; left behind"));
  EXPECT_FALSE(journal->contentGone.load());
  // Let go, it ends on its own, dispatching nothing more.
  release.set_value();
  EXPECT_TRUE(eventually([&] { return journal->contentGone.load(); }));
  EXPECT_FALSE(IsWindow(FindWindowW(kProbeClass, nullptr)));
}
