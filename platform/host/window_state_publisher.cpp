#include "window_state_publisher.h"

#include <ce/host/process_identity.h>

#include <algorithm>

namespace ce::host {

WindowState WindowStatePublisher::stateOf(const WindowRecord &r) {
  WindowState s;
  s.handle = r.handle;
  s.process = ProcessIdentity::deviceProcessOf(r.process, r.thread); // shell32.exe, ...
  s.thread = r.thread;
  s.parent = r.parent;
  s.owner = r.owner;
  s.style = r.style;
  s.exStyle = r.exStyle;
  s.id = r.id;
  s.visible = r.visible;
  s.enabled = r.enabled;
  s.rect = r.rect;
  s.className = r.className;
  s.title = r.title;
  return s;
}

void WindowStatePublisher::forgetGoneWatchers() {
  std::erase_if(watchers_, [this](std::uint64_t id) { return server_.peer(id) == nullptr; });
  if (watchers_.empty())
    sent_.clear();
}

void WindowStatePublisher::rebuild(const WindowManager &manager) {
  sent_.clear();
  const auto add = [&](auto &&self, HWND hwnd) -> void {
    const WindowRecord *w = manager.find(hwnd);
    if (!w)
      return;
    sent_[hwnd] = stateOf(*w);
    for (HWND child : w->children)
      self(self, child);
  };
  add(add, manager.desktop());
  foreground_ = manager.foreground();
  desktop_ = manager.desktop();
  screen_ = manager.screenSize();
}

std::vector<WindowStateNotice> WindowStatePublisher::split(std::uint32_t flags,
                                                           std::vector<WindowState> windows,
                                                           std::vector<HWND> removed) const {
  std::vector<WindowStateNotice> notices(1);
  const std::size_t emptyNotice = protocol::encodedSize(WindowStateNotice{});
  std::size_t bytes = emptyNotice;
  for (WindowState &w : windows) {
    const std::size_t more = protocol::encodedSize(w);
    if (bytes + more > kNoticeBytes && !notices.back().windows.empty()) {
      notices.emplace_back();
      bytes = emptyNotice;
    }
    bytes += more;
    notices.back().windows.push_back(std::move(w));
  }
  for (HWND h : removed) {
    if (bytes + 8 > kNoticeBytes) {
      notices.emplace_back();
      bytes = emptyNotice;
    }
    bytes += 8;
    notices.back().removed.push_back(h);
  }
  for (WindowStateNotice &n : notices) {
    n.foreground = foreground_;
    n.desktop = desktop_;
    n.screen = screen_;
  }
  // The first notice starts the receiver over; only the last makes its view whole.
  notices.front().flags |= flags & WindowStateNotice::kStartsOver;
  notices.back().flags |= flags & WindowStateNotice::kWhole;
  return notices;
}

std::vector<protocol::Message>
WindowStatePublisher::encode(const std::vector<WindowStateNotice> &notices) {
  std::vector<protocol::Message> messages;
  for (const WindowStateNotice &notice : notices) {
    protocol::Message message;
    if (protocol::encode(message, protocol::typeOf<WindowStateNotice>(), 0, 0, notice))
      messages.push_back(std::move(message));
  }
  return messages;
}

void WindowStatePublisher::sendTo(std::uint64_t peerId,
                                  const std::vector<protocol::Message> &messages) {
  for (const protocol::Message &message : messages) {
    PeerConnection *peer = server_.peer(peerId); // a send drops a peer that does not read
    if (!peer)
      return;
    protocol::Message copy;
    copy.header = message.header;
    copy.payload = message.payload;
    server_.send(*peer, std::move(copy));
  }
}

void WindowStatePublisher::subscribe(PeerConnection &peer, const WindowManager &manager) {
  forgetGoneWatchers();
  // Without watchers nothing was kept: the table is read afresh. With some, what they hold is
  // what the newcomer gets too; changes not yet published go to all of them together.
  if (watchers_.empty())
    rebuild(manager);
  std::vector<WindowState> all;
  all.reserve(sent_.size());
  for (const auto &[hwnd, state] : sent_)
    all.push_back(state);
  sendTo(peer.id(), encode(split(WindowStateNotice::kStartsOver | WindowStateNotice::kWhole,
                                 std::move(all), {})));
  if (std::find(watchers_.begin(), watchers_.end(), peer.id()) == watchers_.end())
    watchers_.push_back(peer.id());
}

void WindowStatePublisher::publish(WindowManager &manager) {
  const std::vector<HWND> marked = manager.takeChangedWindows();
  forgetGoneWatchers();
  if (watchers_.empty())
    return;
  std::vector<WindowState> changed;
  std::vector<HWND> removed;
  for (HWND hwnd : marked) {
    if (const WindowRecord *w = manager.find(hwnd)) {
      WindowState now = stateOf(*w);
      auto [at, fresh] = sent_.try_emplace(hwnd, now);
      if (!fresh && at->second == now)
        continue;
      at->second = now;
      changed.push_back(std::move(now));
    } else if (sent_.erase(hwnd)) {
      removed.push_back(hwnd);
    }
  }
  const SIZE screen = manager.screenSize();
  const bool general = foreground_ != manager.foreground() || desktop_ != manager.desktop() ||
                       screen_.cx != screen.cx || screen_.cy != screen.cy;
  if (changed.empty() && removed.empty() && !general)
    return;
  foreground_ = manager.foreground();
  desktop_ = manager.desktop();
  screen_ = screen;
  const auto messages = encode(split(0, std::move(changed), std::move(removed)));
  for (std::uint64_t id : std::vector<std::uint64_t>(watchers_))
    sendTo(id, messages);
}

} // namespace ce::host
