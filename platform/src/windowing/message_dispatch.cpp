// CallWindowProcW, TranslateMessage and DispatchMessageW over this process's procedure table.
#include "kernel/thread_message_queue.h"
#include "windowing/key_message_flags.h"
#include "windowing/window_procedure_table.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

namespace {

// The character a key types, or 0. The keyboard has no shift state of its own, so letters type
// small letters; capitals and symbols come as WM_CHAR directly (typed text).
char16_t characterOf(WPARAM key) {
  if (key >= 'A' && key <= 'Z')
    return static_cast<char16_t>(key - 'A' + 'a');
  if (key >= '0' && key <= '9')
    return static_cast<char16_t>(key);
  if (key >= 0x60 && key <= 0x69) // the number pad
    return static_cast<char16_t>(u'0' + (key - 0x60));
  switch (key) {
  case VK_SPACE:
    return u' ';
  case VK_RETURN:
    return u'\r';
  case VK_BACK:
    return u'\b';
  case VK_TAB:
    return u'\t';
  case VK_ESCAPE:
    return 0x1B;
  default:
    return 0;
  }
}

} // namespace

LRESULT CallWindowProcW(WNDPROC procedure, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!procedure) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return procedure(hwnd, message, wParam, lParam);
}

BOOL TranslateMessage(const MSG *msg) {
  if (!msg || msg->message != WM_KEYDOWN)
    return FALSE;
  if (msg->lParam & ce::kKeyCharacterFollows)
    return FALSE; // the typing input delivers this key's character itself
  const char16_t c = characterOf(msg->wParam);
  if (!c)
    return FALSE;
  auto queue = ce::ThreadMessageQueue::current();
  if (!queue)
    return FALSE;
  return queue->post(msg->hwnd, WM_CHAR, c, msg->lParam) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG *msg) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A timer with a callback calls it instead of the window procedure.
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd)
    return 0;
  const auto procedure = ce::WindowProcedureTable::instance().procedure(msg->hwnd);
  if (!procedure || !*procedure) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return (*procedure)(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
