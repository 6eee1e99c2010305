// The input verbs against a host running in this process with a recording input sink: every
// verb's events reach the sink in order, timed gestures are played out before the verb returns,
// rotation turns the screen and calls the hook, and bad arguments are refused.
#include "in_process_host.h"

#include "../host/process_service.h"
#include "../host/screen_service.h"
#include "../src/screen/key_script.h"

#include <chrono>
#include <thread>

namespace {

class RecordingSink : public ce::host::InputSink {
public:
  void deliverInput(const ce::InputEvent &event) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  std::vector<ce::InputEvent> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(events_, {});
  }

private:
  std::mutex mutex_;
  std::vector<ce::InputEvent> events_;
};

std::vector<ce::InputEvent> eventsOf(const std::vector<ce::TimedInput> &timed) {
  std::vector<ce::InputEvent> events;
  for (const auto &t : timed)
    events.push_back(t.event);
  return events;
}

// A device whose host runs on a thread of this process (holding the root's lock as a booted
// host does), so that the test can see what reaches the input sink.
class DeviceInput : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(host_.open("/tmp/ce-input-XXXXXX"));
    processes_ = std::make_unique<ce::host::ProcessService>(*host_.server, host_.root);
    screen_ = std::make_unique<ce::host::ScreenService>(*host_.server, ce::host::HostOptions{});
    ASSERT_TRUE(screen_->ready(nullptr));
    screen_->setInputSink(&sink_);
    screen_->setRotationHook([this](int w, int h) { rotations_.push_back({w, h}); });
    host_.run();
  }
  void TearDown() override {
    host_.stop();
    screen_.reset();
    processes_.reset();
  }
  devtooltest::ToolRun tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--device", host_.root.string()});
    return devtooltest::runTool(args);
  }

  InProcessHost host_; // declared first: it goes last
  RecordingSink sink_;
  std::vector<std::pair<int, int>> rotations_;
  std::unique_ptr<ce::host::ProcessService> processes_;
  std::unique_ptr<ce::host::ScreenService> screen_;
};

} // namespace

TEST_F(DeviceInput, VerbsReachTheSinkInOrder) {
  ASSERT_EQ(tool({"tap", "12", "34"}).exitCode, 0);
  EXPECT_EQ(sink_.take(), eventsOf(ce::StylusGesture::tap(12, 34)));

  ASSERT_EQ(tool({"key", "ENTER"}).exitCode, 0);
  ASSERT_EQ(tool({"key", "a", "down"}).exitCode, 0);
  ASSERT_EQ(tool({"key", "0x41", "up"}).exitCode, 0);
  auto expected = ce::KeyScript::press(0x0D, ce::KeyDirection::DownAndUp);
  for (auto e : ce::KeyScript::press('A', ce::KeyDirection::Down))
    expected.push_back(e);
  for (auto e : ce::KeyScript::press('A', ce::KeyDirection::Up))
    expected.push_back(e);
  EXPECT_EQ(sink_.take(), expected);

  ASSERT_EQ(tool({"type", "Hi there, \xC3\xA9!"}).exitCode, 0);
  EXPECT_EQ(sink_.take(), ce::KeyScript::type(u"Hi there, \u00e9!"));

  // Text longer than one request carries still arrives whole and in order.
  const std::string longText(3000, 'Q');
  ASSERT_EQ(tool({"type", longText}).exitCode, 0);
  EXPECT_EQ(sink_.take(), ce::KeyScript::type(std::u16string(3000, u'Q')));
}

TEST_F(DeviceInput, TimedGesturesArePlayedOutBeforeTheVerbReturns) {
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(tool({"hold", "5", "6", "300"}).exitCode, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(sink_.take(), eventsOf(*ce::StylusGesture::hold(5, 6, 300)));

  ASSERT_EQ(tool({"drag", "0", "0", "100", "50", "200", "4"}).exitCode, 0);
  const auto drag = sink_.take();
  EXPECT_EQ(drag, eventsOf(*ce::StylusGesture::drag(0, 0, 100, 50, 200, 4)));
  ASSERT_FALSE(drag.empty());
  EXPECT_EQ(drag.back(), ce::InputEvent::stylus(ce::InputKind::StylusUp, 100, 50));
}

TEST_F(DeviceInput, RotateTurnsTheScreenAndTellsTheHook) {
  ASSERT_EQ(tool({"rotate"}).exitCode, 0);
  EXPECT_EQ(screen_->screen()->framebuffer().width(), 640);
  EXPECT_EQ(screen_->screen()->framebuffer().height(), 480);
  ASSERT_EQ(tool({"rotate"}).exitCode, 0);
  EXPECT_EQ(rotations_, (std::vector<std::pair<int, int>>{{640, 480}, {480, 640}}));
  EXPECT_TRUE(sink_.take().empty()) << "rotation is the host's, not the windows'";
}

TEST_F(DeviceInput, BadArgumentsAreRefusedAndNothingIsDelivered) {
  for (const auto &args : std::vector<std::vector<std::string>>{
           {"tap", "1"},
           {"tap", "x", "2"},
           {"tap", "1", "99999"},
           {"hold", "1", "2", "60001"},
           {"drag", "0", "0", "1", "1", "100", "0"},
           {"drag", "0", "0", "1", "1", "100", "1001"},
           {"key", "NOSUCHKEY"},
           {"key", "A", "sideways"},
           {"type", std::string(4097, 'a')},
           {"rotate", "extra"},
       }) {
    const auto run = tool(args);
    EXPECT_EQ(run.exitCode, 2) << args[0] << ": " << run.err;
  }
  EXPECT_TRUE(sink_.take().empty());
}

TEST_F(DeviceInput, WindowVerbsWithoutAWindowManagerListNothing) {
  const auto list = tool({"windows"});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_TRUE(list.out.empty());
  const auto start = std::chrono::steady_clock::now();
  const auto wait = tool({"wait-window", "Dialog", "1"});
  EXPECT_EQ(wait.exitCode, 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}
