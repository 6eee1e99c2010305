#include <toolkit/global/critical_section_lock.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/image/image_loader.h>

namespace {

// How long start() waits for a new thread to take messages.
constexpr DWORD ThreadStartTimeout = 10000;

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

IconCacheEntry entryOf(const IconTile &tile) {
  return {tile.itemPath(), tile.displayPath(), tile.target(), tile.isFolder()};
}

// A folder tile shown with the common folder picture (or with none of its own yet).
bool showsFolderPicture(const IconTile &tile, const IconCache &cache) {
  if (!tile.isFolder())
    return false;
  const std::u16string icon = tile.iconPath();
  return icon.empty() || icon == cache.folderImagePath();
}

// Sets the no-placeholder flag for a scope and restores it.
class NoPlaceholderScope {
public:
  NoPlaceholderScope() : previous_(setNoImagePlaceholder(true)) {}
  ~NoPlaceholderScope() { setNoImagePlaceholder(previous_); }
  NoPlaceholderScope(const NoPlaceholderScope &) = delete;
  NoPlaceholderScope &operator=(const NoPlaceholderScope &) = delete;

private:
  bool previous_;
};

} // namespace

IconLoader &IconLoader::process() {
  static IconLoader *const loader = new IconLoader();
  return *loader;
}

IconLoader::IconLoader(IconLoaderSettings settings) : settings_(std::move(settings)) {}

IconLoader::~IconLoader() {
  std::lock_guard guard(threadMutex_);
  if (!thread_)
    return;
  if (running_.load())
    PostThreadMessageW(threadId_.load(), WM_CLOSE, 0, 0);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

void IconLoader::configure(IconLoaderSettings settings) {
  std::lock_guard guard(settingsMutex_);
  settings_ = std::move(settings);
}

IconLoaderSettings IconLoader::settings() const {
  std::lock_guard guard(settingsMutex_);
  return settings_;
}

void IconLoader::addTile(IconTile &tile) {
  tiles_.add(&tile);
  start();
}

void IconLoader::removeTile(IconTile &tile) { tiles_.remove(&tile); }

void IconLoader::prepareTile(IconTile &tile) {
  addTile(tile);
  const IconLoaderSettings current = settings();
  {
    NoPlaceholderScope noPlaceholder;
    CriticalSectionLock lock(pictureSection());
    const std::u16string icon = tile.iconPath();
    if (!icon.empty() && fileExists(icon))
      return;
    const IconCache cache(current.baseDirectory);
    if (current.cacheIcons)
      tile.setIconPath(cache.cacheItemIcon(entryOf(tile)));
    if (showsFolderPicture(tile, cache))
      tile.useSharedFolderPicture();
    if (!tile.pictureMissing() || !current.cacheIcons)
      return;
  }
  requestPicture(tile, LoadWithinLimit);
}

bool IconLoader::requestPicture(IconTile &tile, Request kind) {
  return post(RequestMessage, kind, reinterpret_cast<LPARAM>(&tile));
}

bool IconLoader::discardWaitingRequests() { return post(RequestMessage, DiscardWaiting, 0); }

bool IconLoader::cancelBacklog() { return post(CancelMessage, 0, 0); }

bool IconLoader::stop() {
  if (!running_.load())
    return false;
  return PostThreadMessageW(threadId_.load(), WM_CLOSE, 0, 0) != FALSE;
}

bool IconLoader::waitUntilStopped(DWORD milliseconds) {
  std::lock_guard guard(threadMutex_);
  if (!thread_)
    return true;
  return WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0;
}

bool IconLoader::post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!start())
    return false;
  return PostThreadMessageW(threadId_.load(), message, wParam, lParam) != FALSE;
}

bool IconLoader::start() {
  std::lock_guard guard(threadMutex_);
  if (running_.load())
    return true;
  if (thread_) {
    // The previous thread has left its loop; let it finish before a new one starts.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready)
    return false;
  struct Start {
    IconLoader *loader;
    HANDLE ready;
  };
  auto *parameters = new Start{this, ready};
  running_.store(true);
  DWORD id = 0;
  thread_ = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        const Start start = *static_cast<Start *>(parameter);
        delete static_cast<Start *>(parameter);
        start.loader->run(start.ready);
        return 0;
      },
      parameters, 0, &id);
  if (!thread_) {
    delete parameters;
    running_.store(false);
    CloseHandle(ready);
    return false;
  }
  SetThreadPriority(thread_, THREAD_PRIORITY_ABOVE_NORMAL);
  const bool started = WaitForSingleObject(ready, ThreadStartTimeout) == WAIT_OBJECT_0;
  CloseHandle(ready);
  return started;
}

void IconLoader::run(HANDLE ready) {
  MSG message{};
  // The queue must exist before anyone posts to this thread.
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  threadId_.store(GetCurrentThreadId());
  SetEvent(ready);
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0 || message.message == WM_CLOSE || message.message == WM_QUIT)
      break;
    if (message.message == CancelMessage) {
      busy_.store(false);
      continue;
    }
    if (message.message == RequestMessage && !handleRequest(message.wParam, message.lParam))
      break;
  }
  busy_.store(false);
  running_.store(false);
}

bool IconLoader::handleRequest(WPARAM kind, LPARAM tile) {
  switch (kind) {
  case DiscardWaiting: {
    const bool goOn = discard(RequestMessage);
    busy_.store(false);
    return goOn;
  }
  case LoadWithinLimit:
    if (tiles_.loadedCount() > settings().maxLoadedIcons) {
      busy_.store(waiting(RequestMessage));
      return true;
    }
    [[fallthrough]];
  case LoadAlways:
    if (waiting(CancelMessage)) {
      const bool goOn = discard(RequestMessage) && discard(CancelMessage);
      busy_.store(false);
      return goOn;
    }
    busy_.store(true);
    loadPicture(reinterpret_cast<IconTile *>(tile));
    busy_.store(waiting(RequestMessage));
    return true;
  default:
    return true;
  }
}

bool IconLoader::waiting(UINT message) {
  MSG peeked{};
  return PeekMessageW(&peeked, nullptr, message, message, PM_NOREMOVE) != FALSE;
}

bool IconLoader::discard(UINT message) {
  MSG removed{};
  while (PeekMessageW(&removed, nullptr, message, message, PM_REMOVE)) {
    // A quit passes every filter; it still ends the thread.
    if (removed.message == WM_QUIT || removed.message == WM_CLOSE)
      return false;
  }
  return true;
}

bool IconLoader::loadPicture(IconTile *tile) {
  CriticalSectionLock lock(pictureSection());
  // Only the pointer's value is looked at until the tile is known to be alive.
  if (!tiles_.contains(tile) || !tile->pictureMissing())
    return false;
  const IconLoaderSettings current = settings();
  const IconCache cache(current.baseDirectory);
  std::u16string path = tile->iconPath();
  if (path.empty() || !fileExists(path)) {
    if (current.cacheIcons)
      path = cache.cacheItemIcon(entryOf(*tile));
    else
      path = tile->isFolder() ? cache.folderImagePath() : cache.noIconImagePath();
    tile->setIconPath(path);
  }
  if (showsFolderPicture(*tile, cache) && tile->useSharedFolderPicture()) {
    tile->redraw();
    return true;
  }
  Surface *picture = loadImage(path, tile->pictureWidth());
  if (!picture)
    return false;
  tile->setPicture(picture);
  tiles_.markLoaded(tile);
  tile->redraw();
  return true;
}
