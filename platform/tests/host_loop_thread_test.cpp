// Platform calls made on the host's own loop thread: those that need the host's answer fail at
// once with ERROR_POSSIBLE_DEADLOCK and the log names them, instead of waiting for the loop that
// is busy running them; the loop goes on serving, and other threads' calls are answered.
#include "device_tool_runner.h"

#include "../host/host_log.h"
#include "../host/host_server.h"
#include "../host/named_object_service.h"
#include "../host/process_service.h"
#include "../host/thread_message_router.h"
#include "../host/window_service.h"
#include "../src/client/host_connection.h"
#include "../src/protocol/packet_socket.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/messages.h>
#include <ce/windows_api.h>

#include <future>
#include <sys/file.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

// A device whose host runs on a thread of this process, with the services that answer window
// and message-number requests.
class HostLoopThread : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/ce-loop-XXXXXX";
    root_ = ::mkdtemp(pattern);
    ASSERT_EQ(devtooltest::runTool({"--device", root_.string(), "create"}).exitCode, 0);
    ce::DeviceRoot::use(root_);
    fs::create_directories(root_ / "run");
    lock_ = ::open((root_ / "run" / "host.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock_, LOCK_EX | LOCK_NB), 0);
    auto listener = ce::protocol::PacketSocket::listenAt(root_ / "run" / "host.sock");
    ASSERT_TRUE(listener);
    log_ = std::make_unique<ce::host::HostLog>(root_ / "run" / "host.log");
    server_ = std::make_unique<ce::host::HostServer>(std::move(listener), *log_);
    processes_ = std::make_unique<ce::host::ProcessService>(*server_, root_);
    objects_ = std::make_unique<ce::host::NamedObjectService>(*server_);
    router_ = std::make_unique<ce::host::ThreadMessageRouter>(*server_);
    windows_ = std::make_unique<ce::host::WindowService>(*server_, *router_, 480, 640);
    loop_ = std::thread([this] { server_->run(); });
  }
  void TearDown() override {
    ce::HostConnection::instance().disconnect();
    if (server_)
      server_->stop();
    if (loop_.joinable())
      loop_.join();
    windows_.reset();
    router_.reset();
    objects_.reset();
    processes_.reset();
    server_.reset();
    log_.reset();
    if (lock_ >= 0)
      ::close(lock_);
    std::error_code error;
    fs::remove_all(root_, error);
  }

  // Runs `work` on the loop thread and waits (up to a generous deadline) for it to return; a
  // default result when it does not.
  template <typename Work> auto onLoop(Work work) {
    using Result = decltype(work());
    auto done = std::make_shared<std::promise<Result>>();
    auto result = done->get_future();
    server_->runOnLoop([done, work] { done->set_value(work()); });
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      ADD_FAILURE() << "the call on the loop thread waited for the loop";
      return Result{};
    }
    return result.get();
  }

  std::string log() const { return devtooltest::readFile(root_ / "run" / "host.log"); }

  fs::path root_;
  int lock_ = -1;
  std::unique_ptr<ce::host::HostLog> log_;
  std::unique_ptr<ce::host::HostServer> server_;
  std::unique_ptr<ce::host::ProcessService> processes_;
  std::unique_ptr<ce::host::NamedObjectService> objects_;
  std::unique_ptr<ce::host::ThreadMessageRouter> router_;
  std::unique_ptr<ce::host::WindowService> windows_;
  std::thread loop_;
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
