// The test thread's own message queue, pumped without sleeping: a wait blocks until something is
// added to the queue, the pump is woken from another thread, or the deadline passes (conditions
// that nothing announces are asked again every kRecheckMs).
//
// What the pump takes: a message the wait accepts is handed back; other window messages are
// translated and dispatched, as a program's loop does (the test's own windows paint and answer),
// or, for a pump made to keep them, kept like thread messages (WM_PAINT is always dispatched: a
// window to paint would otherwise come back for ever); other thread messages (reports of the
// programs a test drives) are kept, in order, and the next wait looks at them first.
//
// The thread watches the device rather than being part of it: the device barrier leaves it out
// except while one of the pump's calls runs (then it waits for what the thread holds).
#pragma once

#include <ce/messages.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

namespace ce::testing {

class MessagePump {
public:
  static constexpr int kRecheckMs = 10;
  enum class WindowMessages { Dispatch, Keep };

  // Makes the calling thread's queue (the pump belongs to that thread) and makes it a watcher.
  explicit MessagePump(WindowMessages windowMessages = WindowMessages::Dispatch);
  ~MessagePump();
  MessagePump(const MessagePump &) = delete;
  MessagePump &operator=(const MessagePump &) = delete;

  // The first message `accept` takes, kept ones first; nothing after `ms` milliseconds.
  std::optional<MSG> waitFor(const std::function<bool(const MSG &)> &accept, int ms = 10000);
  // The first message with this number (a report, typically).
  std::optional<MSG> waitFor(UINT message, int ms = 10000);
  // Pumps until `condition` holds; false when it still does not after `ms` milliseconds.
  bool until(const std::function<bool()> &condition, int ms = 10000);
  // The device barrier, waited for on a helper thread while this thread pumps: for input that
  // this thread's own windows handle.
  ::testing::AssertionResult sync(std::uint32_t timeoutMs = 10000);
  // Takes what waits now (keeping thread messages, dispatching window messages); never blocks.
  void dispatchWaiting();

  // Thread messages taken and not yet waited for, oldest first.
  std::deque<MSG> &kept() { return kept_; }
  // From any thread: a wait in progress asks its condition again.
  void wake();

private:
  // Takes what waits; the first accepted message, if any.
  std::optional<MSG> take(const std::function<bool(const MSG &)> &accept);
  // Blocks until the queue or the pump is woken, or `ms` milliseconds (at most kRecheckMs).
  void block(int ms);
  // The thread counts for the barrier while a call of the pump runs.
  class Pumping;

  WindowMessages windowMessages_;
  int wakeFd_ = -1;
  std::deque<MSG> kept_;
};

} // namespace ce::testing
