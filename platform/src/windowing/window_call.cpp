#include "window_call.h"

#include "message_data_field.h"
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
    HWND hwnd;
    std::unique_ptr<UnpackedMessage> message; // its data rebuilt here, when it has any
  };
  std::vector<Handed> messages;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t hwnd = 0, wParam = 0;
    std::uint32_t message = 0;
    std::int64_t lParam = 0;
    bool packed = false;
    std::vector<std::uint8_t> data;
    if (!reader_->u64(hwnd) || !reader_->u32(message) || !reader_->u64(wParam) ||
        !reader_->i64(lParam) || !windowing::readMessageData(*reader_, packed, data))
      return;
    auto unpacked = packed ? MessageMarshaller::unpack(PackedMessage{
                                 message, static_cast<WPARAM>(wParam),
                                 static_cast<LPARAM>(lParam), std::move(data)})
                           : MessageMarshaller::numbers(message, static_cast<WPARAM>(wParam),
                                                        static_cast<LPARAM>(lParam));
    if (unpacked)
      messages.push_back({reinterpret_cast<HWND>(static_cast<std::uintptr_t>(hwnd)),
                          std::move(unpacked)});
  }
  for (const Handed &h : messages)
    WindowClient::instance().dispatch(h.hwnd, h.message->message(), h.message->wParam(),
                                      h.message->lParam());
  SetLastError(error);
}

} // namespace ce
