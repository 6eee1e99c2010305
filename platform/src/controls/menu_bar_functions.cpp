// SHCreateMenuBar and SHFindMenuBar: the client side of the host's soft-key bars.
#include "menu_bar.h"
#include "menu_bar_request.h"
#include "menu_bar_server.h"
#include "menu_table.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/menubar.h>
#include <ce/windows_api.h>

#include <chrono>
#include <thread>

namespace {

// The host starts its bar server as it boots; a program started at once may ask before the
// server's window is there.
constexpr int kServerWaitMs = 5000;

HWND findServer() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServerWaitMs);
  for (;;) {
    if (const HWND server = FindWindowW(ce::MenuBarServer::kServerClass, nullptr))
      return server;
    if (GetLastError() == ERROR_BROKEN_PIPE || std::chrono::steady_clock::now() >= deadline)
      return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

} // namespace

BOOL SHCreateMenuBar(SHMENUBARINFO *info) {
  if (!info || (info->cbSize != SHMENUBARINFO_DEVICE_SIZE && info->cbSize != sizeof(SHMENUBARINFO))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hwndMB = nullptr;
  if (!info->hwndParent || !IsWindow(info->hwndParent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  ce::MenuBarRequest request;
  request.owner = info->hwndParent;
  request.flags = info->dwFlags;
  request.colour = info->clrBk;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    if (!(info->dwFlags & SHCMBF_HMENU)) {
      SetLastError(ERROR_NOT_SUPPORTED); // menus from resources
      return FALSE;
    }
    const HMENU menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(info->nToolBarId));
    auto tree = ce::MenuTable::instance().snapshot(menu);
    if (!tree) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
    request.menu = std::move(*tree);
  }
  const auto bytes = request.encode();
  if (bytes.size() > ce::MenuBarRequest::kMaxBytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const HWND server = findServer();
  if (!server) {
    SetLastError(ERROR_BROKEN_PIPE);
    return FALSE;
  }
  COPYDATASTRUCT data{};
  data.dwData = ce::MenuBarRequest::kCopyDataTag;
  data.cbData = static_cast<DWORD>(bytes.size());
  data.lpData = const_cast<std::uint8_t *>(bytes.data());
  SetLastError(ERROR_SUCCESS);
  const LRESULT answer = SendMessageW(server, WM_COPYDATA,
                                      reinterpret_cast<WPARAM>(info->hwndParent),
                                      reinterpret_cast<LPARAM>(&data));
  if (answer <= 0) {
    const DWORD sendError = GetLastError();
    SetLastError(answer < 0 ? static_cast<DWORD>(-answer)
                            : sendError ? sendError : ERROR_BROKEN_PIPE);
    return FALSE;
  }
  info->hwndMB = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(answer));
  return TRUE;
}

HWND SHFindMenuBar(HWND owner) {
  if (!owner)
    return nullptr;
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto *s = reinterpret_cast<Search *>(lParam);
        WCHAR name[32] = {};
        if (GetWindow(hwnd, GW_OWNER) == s->owner && GetClassNameW(hwnd, name, 32) &&
            std::u16string_view(name) == ce::MenuBar::kFrameClass) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}
