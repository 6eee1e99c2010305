// Keeps every process that asked (WindowRequest::WatchWindows) told of the window table, so
// that it answers IsWindow, GetWindowRect, IsWindowVisible and the like by itself.
//
// A process that asks gets every window in WindowState notices (the first starts its view
// over, the last says it is whole) before its request is answered. From then on, publish() -
// which the window service calls after every request, before it answers and before it hands
// out the messages the request caused - sends every watcher what changed: the windows the
// manager marked whose state differs from what was sent, the windows that went, and the
// foreground, desktop and screen size when they changed. So a process's own change is in its
// view when its call returns, and another process's change reaches it before any message the
// host sends it after that change.
//
// Runs on the host's loop thread. A watcher whose connection has gone is forgotten; with no
// watcher left, nothing is kept.
#pragma once

#include "../src/windowing/window_manager.h"
#include "../src/windowing/window_state.h"
#include "host_server.h"

#include <map>
#include <vector>

namespace ce::host {

class WindowStatePublisher {
public:
  // A notice stays below this many bytes (a window with the longest names fits many times).
  static constexpr std::size_t kNoticeBytes = 128 * 1024;

  explicit WindowStatePublisher(HostServer &server) : server_(server) {}

  void subscribe(PeerConnection &peer, const WindowManager &manager);
  void publish(WindowManager &manager);
  std::size_t watchers() const { return watchers_.size(); }

  // The window as every process is told of it.
  static WindowState stateOf(const WindowRecord &record);

private:
  void forgetGoneWatchers();
  void rebuild(const WindowManager &manager);
  // The notices that carry `windows` and `removed`, each within kNoticeBytes; one at least.
  std::vector<WindowStateNotice> split(std::uint32_t flags, std::vector<WindowState> windows,
                                       std::vector<HWND> removed) const;
  static std::vector<protocol::Message> encode(const std::vector<WindowStateNotice> &notices);
  void sendTo(std::uint64_t peerId, const std::vector<protocol::Message> &messages);

  HostServer &server_;
  std::vector<std::uint64_t> watchers_; // peer ids
  std::map<HWND, WindowState> sent_;    // what every watcher holds
  HWND foreground_ = nullptr;
  HWND desktop_ = nullptr;
  SIZE screen_{};
};

} // namespace ce::host
