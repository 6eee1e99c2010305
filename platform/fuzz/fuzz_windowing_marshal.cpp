// Feeds arbitrary packed messages to the receiving side of the message marshaller: whatever it
// accepts must give records whose strings end within their storage, and whatever reply bytes
// come back must never write beyond the sender's buffer.
#include "../src/windowing/message_marshaller.h"

#include <ce/core/utf.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const UINT kMessages[] = {WM_SETTEXT, WM_SETTINGCHANGE,    WM_GETTEXT,       WM_COPYDATA,
                          WM_CREATE,  WM_WINDOWPOSCHANGED, TB_SETBUTTONINFO, WM_USER};

void touch(const char16_t *text) {
  if (text && reinterpret_cast<std::uintptr_t>(text) >= 0x10000)
    (void)ce::wideLength(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 4)
    return 0;
  ce::PackedMessage packed;
  packed.message = kMessages[data[0] % (sizeof kMessages / sizeof kMessages[0])];
  packed.lParam = data[1] % 3; // 2 is malformed for data messages
  packed.wParam = static_cast<WPARAM>(data[2]) << (data[3] % 48);
  packed.data.assign(data + 4, data + size);

  if (auto m = ce::MessageMarshaller::unpack(packed)) {
    const LPARAM l = m->lParam();
    switch (m->message()) {
    case WM_SETTEXT:
    case WM_SETTINGCHANGE:
      touch(reinterpret_cast<const char16_t *>(l));
      break;
    case WM_GETTEXT:
      if (l && m->wParam() > 0) {
        // Fill the receiver's buffer completely, as a careless procedure might.
        auto *buffer = reinterpret_cast<char16_t *>(l);
        for (WPARAM i = 0; i < m->wParam() && i < 4096; ++i)
          buffer[i] = u'x';
      }
      break;
    case WM_COPYDATA: {
      const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(l);
      if (cds && cds->cbData)
        (void)std::memchr(cds->lpData, 0, cds->cbData);
      break;
    }
    case WM_CREATE: {
      const auto *cs = reinterpret_cast<const CREATESTRUCTW *>(l);
      if (cs) {
        touch(cs->lpszName);
        touch(cs->lpszClass);
      }
      break;
    }
    case TB_SETBUTTONINFO: {
      const auto *bi = reinterpret_cast<const TBBUTTONINFO *>(l);
      if (bi)
        touch(bi->pszText);
      break;
    }
    default:
      break;
    }
    const auto reply = m->reply(0);
    // The sender's buffer is exactly as large as it said; a guard word after it must survive.
    std::vector<char16_t> sender(17, u'#');
    ce::MessageMarshaller::applyReply(WM_GETTEXT, 16, reinterpret_cast<LPARAM>(sender.data()), 0,
                                      reply);
    if (sender[16] != u'#')
      std::abort();
  }
  // Arbitrary reply bytes on the sending side.
  std::vector<char16_t> sender(9, u'#');
  const LRESULT n =
      ce::MessageMarshaller::applyReply(WM_GETTEXT, 8, reinterpret_cast<LPARAM>(sender.data()), 0,
                                        std::span<const std::uint8_t>(data + 4, size - 4));
  if (sender[8] != u'#' || n < 0 || n > 7)
    std::abort();
  return 0;
}
