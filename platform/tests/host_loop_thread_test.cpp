// Platform calls made on the host's own loop thread: those that need the host's answer fail at
// once with ERROR_POSSIBLE_DEADLOCK and the log names them, instead of waiting for the loop that
// is busy running them; the loop goes on serving, and other threads' calls are answered.
#include "in_process_host.h"

#include "../host/named_object_service.h"
#include "../host/process_service.h"
#include "../host/thread_message_router.h"
#include "../host/window_service.h"
#include "../src/client/host_connection.h"

#include <ce/errors.h>
#include <ce/messages.h>
#include <ce/windows_api.h>

#include <future>
#include <thread>

namespace {

// A device whose host runs on a thread of this process, with the services that answer window
// and message-number requests.
class HostLoopThread : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(host_.open("/tmp/ce-loop-XXXXXX"));
    ce::host::HostServer &server = *host_.server;
    processes_ = std::make_unique<ce::host::ProcessService>(server, host_.root);
    objects_ = std::make_unique<ce::host::NamedObjectService>(server);
    router_ = std::make_unique<ce::host::ThreadMessageRouter>(server);
    windows_ = std::make_unique<ce::host::WindowService>(server, *router_, 480, 640);
    host_.run();
  }
  void TearDown() override {
    ce::HostConnection::instance().disconnect();
    host_.stop();
    windows_.reset();
    router_.reset();
    objects_.reset();
    processes_.reset();
  }

  // Runs `work` on the loop thread and waits (up to a generous deadline) for it to return; a
  // default result when it does not.
  template <typename Work> auto onLoop(Work work) {
    using Result = decltype(work());
    auto done = std::make_shared<std::promise<Result>>();
    auto result = done->get_future();
    host_.server->runOnLoop([done, work] { done->set_value(work()); });
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      ADD_FAILURE() << "the call on the loop thread waited for the loop";
      return Result{};
    }
    return result.get();
  }

  std::string log() const { return devtooltest::readFile(host_.root / "run" / "host.log"); }

  InProcessHost host_; // declared first: it goes last
  std::unique_ptr<ce::host::ProcessService> processes_;
  std::unique_ptr<ce::host::NamedObjectService> objects_;
  std::unique_ptr<ce::host::ThreadMessageRouter> router_;
  std::unique_ptr<ce::host::WindowService> windows_;
};

struct Outcome {
  std::uintptr_t value = 0;
  DWORD error = 0;
};

} // namespace

TEST_F(HostLoopThread, CallsThatNeedTheHostFailAtOnceAndAreLogged) {
  // Before this process has a connection: even connecting would wait for the loop.
  const Outcome number = onLoop([] {
    SetLastError(0);
    const UINT message = RegisterWindowMessageW(u"LoopThreadTest");
    return Outcome{message, GetLastError()};
  });
  EXPECT_EQ(number.value, 0u);
  EXPECT_EQ(number.error, static_cast<DWORD>(ERROR_POSSIBLE_DEADLOCK));

  // Another thread's call is answered, and connects this process.
  const UINT registered = RegisterWindowMessageW(u"LoopThreadTest");
  EXPECT_GE(registered, 0xC000u);

  // With the connection open, the loop thread's calls are still refused.
  const Outcome found = onLoop([] {
    SetLastError(0);
    const HWND window = FindWindowW(u"NoSuchClass", nullptr);
    return Outcome{reinterpret_cast<std::uintptr_t>(window), GetLastError()};
  });
  EXPECT_EQ(found.value, 0u);
  EXPECT_EQ(found.error, static_cast<DWORD>(ERROR_POSSIBLE_DEADLOCK));
  const Outcome posted = onLoop([] {
    SetLastError(0);
    const BOOL done = PostMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 1, 2);
    return Outcome{static_cast<std::uintptr_t>(done), GetLastError()};
  });
  EXPECT_EQ(posted.value, 0u);
  EXPECT_EQ(posted.error, static_cast<DWORD>(ERROR_POSSIBLE_DEADLOCK));

  const std::string lines = log();
  EXPECT_NE(lines.find("refused RegisterMessage (0x0150) on the host's loop thread"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("refused FindWindow (0x0206) on the host's loop thread"), std::string::npos)
      << lines;
  EXPECT_NE(lines.find("refused PostMessage (0x0216) on the host's loop thread"), std::string::npos)
      << lines;

  // The loop goes on serving, and the same name still has the same number.
  EXPECT_EQ(RegisterWindowMessageW(u"LoopThreadTest"), registered);
  // A thread that the loop starts is not the loop: its call waits for the loop and is answered.
  auto helperAnswer = std::make_shared<std::promise<UINT>>();
  auto fromHelper = helperAnswer->get_future();
  onLoop([helperAnswer] {
    std::thread([helperAnswer] {
      helperAnswer->set_value(RegisterWindowMessageW(u"LoopThreadTest"));
    }).detach();
    return true;
  });
  ASSERT_EQ(fromHelper.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_EQ(fromHelper.get(), registered);
  EXPECT_EQ(log().find("refused RegisterMessage", lines.find("refused PostMessage")),
            std::string::npos)
      << "only the loop thread's own calls are refused";
}
