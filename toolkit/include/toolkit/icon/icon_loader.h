// The icon loader: one thread per process, at above-normal priority, that fetches the pictures
// of icon tiles while the UI thread draws. Tiles ask for their picture with thread messages:
//
//   0x400 (WM_USER), wParam 1, lParam the tile: load within the limit (dropped while more than
//                    maxLoadedIcons pictures are loaded; the busy flag then tells whether more
//                    requests wait)
//   0x400, wParam 2, lParam the tile: load whatever the limit
//   0x400, wParam 3: discard every request still waiting
//   0x402: before the next load, every waiting 0x400 and 0x402 is discarded instead (the user
//          moved to another screen)
//   16 (WM_CLOSE) or 18 (WM_QUIT): the thread ends
//
// A load happens only for a tile that is still registered and still without picture, inside
// pictureSection(): the tile's picture file is made when needed (the icon cache, or the folder
// or no-icon picture), loaded at the tile's width and handed to the tile, which is redrawn.
#pragma once

#include <toolkit/icon/icon_cache.h>
#include <toolkit/icon/icon_tile.h>
#include <toolkit/icon/icon_tile_registry.h>

#include <ce/windows.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

struct IconLoaderSettings {
  std::u16string baseDirectory;     // the installation directory (GlobalInformations)
  bool cacheIcons = true;           // the setting `cacheIcon`
  std::size_t maxLoadedIcons = 100; // the setting `nbIconLoadedMax`
};

class IconLoader {
public:
  static constexpr UINT RequestMessage = WM_USER;    // 0x400
  static constexpr UINT CancelMessage = WM_USER + 2; // 0x402
  enum Request : WPARAM { LoadWithinLimit = 1, LoadAlways = 2, DiscardWaiting = 3 };

  // The process's loader (made on first use, never destroyed: worker threads are not joined).
  static IconLoader &process();

  explicit IconLoader(IconLoaderSettings settings = {});
  // Ends the thread and waits for it (a loader made for a test or a benchmark).
  ~IconLoader();
  IconLoader(const IconLoader &) = delete;
  IconLoader &operator=(const IconLoader &) = delete;

  void configure(IconLoaderSettings settings);
  IconLoaderSettings settings() const;

  // Guards the registry and every tile's picture; tiles draw their picture inside it.
  CRITICAL_SECTION &pictureSection() { return tiles_.section(); }
  IconTileRegistry &tiles() { return tiles_; }

  // Registers a tile (its constructor); the first registration starts the thread.
  void addTile(IconTile &tile);
  // Unregisters a tile (its destructor); waits for a load of the tile that is under way.
  void removeTile(IconTile &tile);

  // What a new tile does: registers; when its picture file exists, nothing more (the tile asks
  // with LoadAlways when it is first drawn without picture). Otherwise, with caching on, its
  // icon is cached now and becomes its picture file; a folder without its own icon may take the
  // shared folder picture; and a tile still without picture asks with LoadWithinLimit. Missing
  // image files give no placeholder meanwhile.
  void prepareTile(IconTile &tile);

  // Posts a request to the thread (starting it when it does not run). False when it cannot be
  // posted.
  bool requestPicture(IconTile &tile, Request kind);
  bool discardWaitingRequests();
  bool cancelBacklog();
  // Asks the thread to end (WM_CLOSE); false when it does not run.
  bool stop();
  // Waits up to `milliseconds` for the thread to end; true when it does not run.
  bool waitUntilStopped(DWORD milliseconds);
  // Starts the thread when it does not run and waits until it takes messages.
  bool start();

  // One load, on the calling thread: see above. True when the tile got a picture (its own or
  // the shared folder picture). `tile` may be any pointer: nothing is done for one that is not
  // registered.
  bool loadPicture(IconTile *tile);

  bool running() const { return running_.load(); }
  // Set while a load runs and while more requests wait after one.
  bool busy() const { return busy_.load(); }
  DWORD threadId() const { return threadId_.load(); }
  std::size_t loadedCount() { return tiles_.loadedCount(); }

private:
  static DWORD threadProcedure(LPVOID loader);
  void run(HANDLE ready);
  // False when the thread must end.
  bool handleRequest(WPARAM kind, LPARAM tile);
  static bool waiting(UINT message);
  // Removes every waiting `message`; false when a quit came out of the queue meanwhile.
  static bool discard(UINT message);
  bool post(UINT message, WPARAM wParam, LPARAM lParam);

  mutable std::mutex settingsMutex_;
  IconLoaderSettings settings_;
  IconTileRegistry tiles_;
  std::mutex threadMutex_;
  HANDLE thread_ = nullptr;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> busy_{false};
};
