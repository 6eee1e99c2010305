// SHRecognizeGesture: follows the calling thread's stylus messages without taking them until the
// press is held or has ended (see <ce/gesture.h>).
#include "controls/gesture_recognizer.h"

#include "kernel/thread_message_queue.h"
#include "windowing/window_call.h"
#include "windowing/window_client.h"

#include <ce/errors.h>
#include <ce/gesture.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

namespace {

constexpr DWORD kPollMs = 5;

bool sizeAccepted(DWORD size) { return size == SHRGINFO_DEVICE_SIZE || size == sizeof(SHRGINFO); }

// The window's parent (a child window) or owner (a top-level window), from the host.
HWND parentOf(HWND hwnd) {
  const auto window = ce::windowRequest(ce::windowing::QueryWindowRequest{hwnd});
  if (!window)
    return nullptr;
  return (window->style & WS_CHILD) ? window->parent : window->owner;
}

// The WM_NOTIFY of a recognised hold, to a window of this process only: the record it points to
// lives in this process's memory.
void notifyHold(const SHRGINFO &info) {
  const HWND target =
      (info.dwFlags & SHRG_NOTIFYPARENT) ? parentOf(info.hwndClient) : info.hwndClient;
  if (!target || !ce::WindowClient::instance().threadOf(target))
    return;
  RECT rect{};
  GetWindowRect(info.hwndClient, &rect);
  NMRGINFO notice{};
  notice.hdr.hwndFrom = info.hwndClient;
  notice.hdr.idFrom = static_cast<UINT_PTR>(GetWindowLongW(info.hwndClient, GWL_ID));
  notice.hdr.code = GN_CONTEXTMENU;
  notice.ptAction = POINT{rect.left + info.ptDown.x, rect.top + info.ptDown.y};
  SendMessageW(target, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

} // namespace

DWORD SHRecognizeGesture(SHRGINFO *info) {
  if (!info || !sizeAccepted(info->cbSize)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto owner = ce::WindowClient::instance().threadOf(info->hwndClient);
  const auto queue = ce::ThreadMessageQueue::current();
  if (!owner || *owner != GetCurrentThreadId() || !queue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD hold = (info->dwFlags & SHRG_LONGDELAY) ? 2 * GESTURE_HOLD_MS : GESTURE_HOLD_MS;
  // The hold counts from the press's arrival (the message being handled), so a caller that was
  // slow to get here is judged by when the stylus moved, not by when it asked.
  const DWORD now = GetTickCount();
  const DWORD pressed = queue->lastMessageTime();
  const DWORD start = now - pressed < 2 * hold ? pressed : now;
  const ce::GestureRecognizer recognizer(info->hwndClient, info->ptDown, start, hold,
                                         GESTURE_TOLERANCE);
  const ce::ThreadMessageQueue::Filter stylus{nullptr, WM_MOUSEFIRST, WM_MOUSELAST};
  for (;;) {
    switch (recognizer.judge(queue->pendingInput(stylus), GetTickCount())) {
    case ce::GestureRecognizer::Outcome::Ended:
      return 0;
    case ce::GestureRecognizer::Outcome::Held:
      if (!(info->dwFlags & SHRG_RETURNCMD))
        notifyHold(*info);
      return GN_CONTEXTMENU;
    case ce::GestureRecognizer::Outcome::Waiting:
      Sleep(kPollMs);
      break;
    }
  }
}
