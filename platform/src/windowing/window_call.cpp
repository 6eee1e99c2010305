#include "window_call.h"

#include "window_client.h"

#include <ce/errors.h>
#include <ce/kernel.h>

namespace ce {

WindowCall::WindowCall(windowing::WindowRequest request) : request_(request) {
  WindowClient::instance(); // its handlers must be in place before the host can answer
  args_.u32(GetCurrentThreadId());
}

WindowCall::~WindowCall() { finish(); }

bool WindowCall::send(bool handleSent) {
  if (!HostConnection::instance().call(windowing::messageType(request_), args_, reply_,
                                       handleSent))
    return false;
  reader_.emplace(reply_.message.payload);
  finished_ = false;
  if (reply_.status != ERROR_SUCCESS) {
    finish();
    SetLastError(reply_.status);
    return false;
  }
  return true;
}

void WindowCall::finish() {
  if (finished_)
    return;
  finished_ = true;
  const DWORD error = GetLastError();
  std::uint32_t count = 0;
  if (!reader_->u32(count))
    return;
  struct Handed {
    std::uint64_t hwnd, wParam;
    std::uint32_t message;
    std::int64_t lParam;
  };
  std::vector<Handed> messages;
  for (std::uint32_t i = 0; i < count; ++i) {
    Handed h{};
    if (!reader_->u64(h.hwnd) || !reader_->u32(h.message) || !reader_->u64(h.wParam) ||
        !reader_->i64(h.lParam))
      return;
    messages.push_back(h);
  }
  for (const Handed &h : messages)
    WindowClient::instance().dispatch(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h.hwnd)),
                                      h.message, static_cast<WPARAM>(h.wParam),
                                      static_cast<LPARAM>(h.lParam));
  SetLastError(error);
}

} // namespace ce
