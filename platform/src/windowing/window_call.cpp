#include "window_call.h"

#include "message_marshaller.h"
#include "window_client.h"

namespace ce {

WindowCall::WindowCall() {
  WindowClient::instance(); // its handlers must be in place before the host can answer
}

WindowCall::~WindowCall() { finish(); }

void WindowCall::finish() {
  if (finished_)
    return;
  finished_ = true;
  const DWORD error = GetLastError();
  struct Handed {
    HWND hwnd;
    std::unique_ptr<UnpackedMessage> message; // its data rebuilt here, when it has any
  };
  std::vector<Handed> messages;
  for (windowing::SentMessage &sent : handedBack_.messages) {
    auto unpacked = sent.data.packed
                        ? MessageMarshaller::unpack(PackedMessage{
                              sent.message, sent.wParam, sent.lParam, std::move(sent.data.bytes)})
                        : MessageMarshaller::numbers(sent.message, sent.wParam, sent.lParam);
    if (unpacked)
      messages.push_back({sent.hwnd, std::move(unpacked)});
  }
  handedBack_.messages.clear();
  for (const Handed &h : messages)
    WindowClient::instance().dispatch(h.hwnd, h.message->message(), h.message->wParam(),
                                      h.message->lParam());
  SetLastError(error);
}

} // namespace ce
