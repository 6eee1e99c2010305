#include "window_state_view.h"

#include "../client/host_connection.h"
#include "../gdi/region.h"
#include "../kernel/thread_message_queue.h"
#include "window_call.h"
#include "window_client.h"
#include "window_protocol.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <pthread.h>

namespace ce {
namespace {

WindowStateView *g_view = nullptr;

// Windows of the device nest a few levels deep; a chain longer than this comes from a table
// that is not whole or not sane, and ends the walk.
constexpr int kMaxDepth = 256;

} // namespace

WindowStateView &WindowStateView::instance() {
  static const bool made = [] {
    g_view = new WindowStateView; // lives until exit: the reader thread may use it
    // A child made by fork starts without a view (another thread may have held its lock).
    ::pthread_atfork(nullptr, nullptr, [] { g_view = new WindowStateView; });
    return true;
  }();
  (void)made;
  return *g_view;
}

WindowStateView::WindowStateView() {
  HostConnection::instance().onEvent<WindowStateNotice>([](WindowStateNotice &notice) {
    WindowStateView::instance().take(std::move(notice), HostConnection::eventConnectionSerial());
  });
}

WindowStateView::Status WindowStateView::current() {
  auto &connection = HostConnection::instance();
  if (connection.isTool())
    return Status::NotKept;
  const auto following = [&] {
    const std::uint64_t serial = connection.connectionSerial();
    std::shared_lock lock(mutex_);
    return serial != 0 && serial == connection_ && whole_;
  };
  if (following())
    return Status::Current;
  std::lock_guard asking(asking_);
  if (following())
    return Status::Current;
  // The table comes in notices before the answer, on the connection the request goes on.
  const auto watched = windowRequest(windowing::WatchWindowsRequest{});
  if (!watched)
    return watched.error() == ERROR_BROKEN_PIPE || watched.error() == ERROR_TIMEOUT
               ? Status::Unreachable
               : Status::NotKept;
  // A connection that broke and came back meanwhile: the next query asks again.
  return following() ? Status::Current : Status::NotKept;
}

std::optional<WindowStateView::Window> WindowStateView::window(HWND hwnd, bool withText) const {
  std::shared_lock lock(mutex_);
  const auto it = windows_.find(hwnd);
  if (it == windows_.end())
    return std::nullopt;
  const WindowState &s = it->second;
  Window w;
  w.process = s.process;
  w.thread = s.thread;
  w.parent = s.parent;
  w.owner = s.owner;
  w.style = s.style;
  w.exStyle = s.exStyle;
  w.id = s.id;
  w.enabled = s.enabled;
  w.rect = s.rect;
  w.visible = s.visible;
  // Visible only with every ancestor; placed within each ancestor but the desktop.
  const WindowState *cur = &s;
  for (int depth = 0; depth < kMaxDepth && cur->parent; ++depth) {
    const auto parent = windows_.find(cur->parent);
    if (parent == windows_.end())
      break;
    cur = &parent->second;
    w.visible = w.visible && cur->visible;
    if (cur->handle == desktop_)
      break;
    // Saturating: the notices come from outside this process and may carry any coordinates.
    w.rect.left = clampCoordinate(static_cast<long long>(w.rect.left) + cur->rect.left);
    w.rect.right = clampCoordinate(static_cast<long long>(w.rect.right) + cur->rect.left);
    w.rect.top = clampCoordinate(static_cast<long long>(w.rect.top) + cur->rect.top);
    w.rect.bottom = clampCoordinate(static_cast<long long>(w.rect.bottom) + cur->rect.top);
  }
  if (withText) {
    w.className = s.className;
    w.title = s.title;
  }
  return w;
}

HWND WindowStateView::foreground() const {
  std::shared_lock lock(mutex_);
  return foreground_;
}

HWND WindowStateView::desktop() const {
  std::shared_lock lock(mutex_);
  return desktop_;
}

SIZE WindowStateView::screen() const {
  std::shared_lock lock(mutex_);
  return screen_;
}

int WindowStateView::watch(HWND listener, UINT message, HWND watched, LPARAM interest) {
  int id = 0;
  {
    std::unique_lock lock(mutex_);
    id = nextWatch_++;
    watches_.push_back(Watch{id, listener, message, watched, interest});
  }
  current(); // no notices come before the view follows the connection
  return id;
}

void WindowStateView::unwatch(int id) {
  std::unique_lock lock(mutex_);
  std::erase_if(watches_, [id](const Watch &w) { return w.id == id; });
}

LPARAM WindowStateView::changesBetween(const WindowState *before, const WindowState *after) {
  if (!before)
    return after ? LPARAM{kMade} : LPARAM{0};
  if (!after)
    return kDestroyed;
  LPARAM changes = 0;
  if (before->title != after->title)
    changes |= kRetitled;
  if (before->visible != after->visible)
    changes |= kShownOrHidden;
  if (before->rect.left != after->rect.left || before->rect.top != after->rect.top ||
      before->rect.right != after->rect.right || before->rect.bottom != after->rect.bottom)
    changes |= kPlaced;
  if (before->style != after->style || before->exStyle != after->exStyle ||
      before->id != after->id || before->owner != after->owner || before->parent != after->parent ||
      before->enabled != after->enabled || before->process != after->process ||
      before->thread != after->thread)
    changes |= kOtherwise;
  return changes;
}

std::vector<WindowStateView::Post>
WindowStateView::postsFor(const std::vector<std::pair<HWND, LPARAM>> &changes) const {
  std::vector<Post> posts;
  for (const Watch &watch : watches_) {
    LPARAM seen = 0;
    HWND which = nullptr;
    int windows = 0;
    for (const auto &[hwnd, bits] : changes) {
      const LPARAM wanted = bits & watch.interest;
      const bool general = hwnd == nullptr; // the foreground, the screen
      if (!wanted || (!general && watch.watched && watch.watched != hwnd))
        continue;
      seen |= wanted;
      if (!general) {
        which = hwnd;
        ++windows;
      }
    }
    if (seen)
      posts.push_back(Post{watch.listener, watch.message,
                           windows == 1 ? reinterpret_cast<WPARAM>(which) : 0, seen});
  }
  return posts;
}

void WindowStateView::take(std::span<const std::uint8_t> payload, std::uint64_t connection) {
  WindowStateNotice notice;
  if (protocol::decode(payload, notice))
    take(std::move(notice), connection);
}

void WindowStateView::take(WindowStateNotice notice, std::uint64_t connection) {
  std::vector<Post> posts;
  {
    std::unique_lock lock(mutex_);
    const bool startsOver = (notice.flags & WindowStateNotice::kStartsOver) != 0;
    if (startsOver) {
      windows_.clear();
      connection_ = connection;
      whole_ = false;
    } else if (connection != connection_) {
      return; // from a connection the view no longer follows
    }
    std::vector<std::pair<HWND, LPARAM>> changes;
    const bool tell = whole_ && !watches_.empty();
    for (WindowState &state : notice.windows) {
      auto [at, fresh] = windows_.try_emplace(state.handle);
      if (tell)
        changes.emplace_back(state.handle, changesBetween(fresh ? nullptr : &at->second, &state));
      at->second = std::move(state);
    }
    for (HWND gone : notice.removed)
      if (windows_.erase(gone) && tell)
        changes.emplace_back(gone, kDestroyed);
    if (tell && notice.foreground != foreground_)
      changes.emplace_back(nullptr, kForeground);
    if (tell && (notice.desktop != desktop_ || notice.screen.cx != screen_.cx ||
                 notice.screen.cy != screen_.cy))
      changes.emplace_back(nullptr, kScreen);
    foreground_ = notice.foreground;
    desktop_ = notice.desktop;
    screen_ = notice.screen;
    // A view taken whole again (after the connection came back) may differ in anything.
    if (!whole_ && (notice.flags & WindowStateNotice::kWhole) && !watches_.empty())
      changes.emplace_back(nullptr, ~LPARAM{0});
    if (notice.flags & WindowStateNotice::kWhole)
      whole_ = true;
    posts = postsFor(changes);
  }
  // Posted after the lock is let go: the listener's thread may be querying the view.
  for (const Post &post : posts)
    if (const auto thread = WindowClient::instance().threadOf(post.listener))
      if (auto queue = ThreadMessageQueue::find(*thread))
        queue->post(post.listener, post.message, post.wParam, post.lParam);
}

} // namespace ce
