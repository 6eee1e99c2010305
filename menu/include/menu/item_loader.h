// The item loader thread: after the grid of a folder has been shown from the registry, it walks
// the folder's directory and keeps the metadata tree in step with the files. A file without a
// complete key (`name`, `icon` and `target`) is read again: a new item gets the next free slot
// (FolderView::nextSlot, then one more for each new item) and its `name`, `target` and
// `ItemPosition` are written. Each such item goes to the UI
// thread as thread message WM_USER with wParam ItemFound and lParam a LoadedItem the UI thread
// adopts; the end of a walk is WM_USER with wParam WalkDone and lParam 0.
//
// Requests reach the thread as thread message WM_USER with wParam 1 and a heap LoadRequest in
// lParam. A request made, or an abort, while a walk runs stops that walk before its next file.
#pragma once

#include <menu/menu_folders.h>

#include <ce/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct LoadRequest {
  std::u16string folder;     // the menu folder, relative to the root folder
  MenuFolders folders;       // the folders as the settings pass found them
  std::size_t firstSlot = 0; // the slot the first new item gets (FolderView::nextSlot)
  std::uint64_t serial = 0;
};

class ItemLoader {
public:
  static constexpr UINT RequestMessage = 0x400; // WM_USER, wParam 1
  static constexpr WPARAM RequestCode = 1;
  // Codes of the messages to the UI thread (WM_USER): above the toolkit's event codes, so that
  // they reach the application's event handler with the record as parameter.
  static constexpr WPARAM ItemFound = 1100;
  static constexpr WPARAM WalkDone = 1101;

  // Starts the thread; returns once its message queue exists. `uiThread` receives the
  // messages; `walking`, when given, is set while a walk runs (the toolkit's no-placeholder
  // flag).
  explicit ItemLoader(DWORD uiThread, std::atomic<bool> *walking = nullptr);
  // Posts WM_QUIT (wParam 1) and waits for the thread to end.
  ~ItemLoader();
  ItemLoader(const ItemLoader &) = delete;
  ItemLoader &operator=(const ItemLoader &) = delete;

  // Asks for a walk of `folder`; stops a walk that runs. False when the request could not be
  // posted.
  bool requestFolder(std::u16string_view folder, const MenuFolders &folders, std::size_t firstSlot);
  // Stops the walk that runs (the display is about to show another folder).
  void abort();

  DWORD threadId() const { return threadId_; }
  // The serial of the last request or abort; a request with another serial is not walked.
  std::uint64_t latestSerial() const { return latest_.load(); }
  bool running() const { return thread_ != nullptr; }

private:
  static DWORD threadMain(LPVOID self);
  void walk(const LoadRequest &request);
  bool stale(const LoadRequest &request) const { return request.serial != latest_.load(); }
  void post(WPARAM code, LPARAM parameter) const;

  DWORD uiThread_;
  std::atomic<bool> ownWalking_{false};
  std::atomic<bool> *walking_;
  std::atomic<std::uint64_t> latest_{0};
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  DWORD threadId_ = 0;
};
