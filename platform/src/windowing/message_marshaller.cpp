#include "windowing/message_marshaller.h"

#include <ce/core/utf.h>

#include <algorithm>
#include <cstring>

namespace ce {
namespace {

// Appends fixed-size values and counted strings to a byte vector.
struct Writer {
  std::vector<std::uint8_t> &out;
  template <class T> void put(T value) {
    const auto *p = reinterpret_cast<const std::uint8_t *>(&value);
    out.insert(out.end(), p, p + sizeof value);
  }
  void bytes(const void *data, std::size_t size) {
    const auto *p = static_cast<const std::uint8_t *>(data);
    out.insert(out.end(), p, p + size);
  }
  // A flag, then the count and the units when the string is there.
  void string(const char16_t *text) {
    put<std::uint8_t>(text ? 1 : 0);
    if (!text)
      return;
    const std::size_t n = wideLength(text);
    put<std::uint32_t>(static_cast<std::uint32_t>(n));
    bytes(text, n * sizeof(char16_t));
  }
};

// Reads what Writer wrote; every read checks what is left, and a failed read sticks.
struct Reader {
  std::span<const std::uint8_t> in;
  bool ok = true;
  template <class T> T get() {
    T value{};
    if (!ok || in.size() < sizeof value) {
      ok = false;
      return value;
    }
    std::memcpy(&value, in.data(), sizeof value);
    in = in.subspan(sizeof value);
    return value;
  }
  bool bytes(std::vector<std::uint8_t> &out, std::size_t size) {
    if (!ok || in.size() < size)
      return ok = false;
    out.assign(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(size));
    in = in.subspan(size);
    return true;
  }
  // False for a missing string; `ok` tells a malformed one.
  bool string(std::u16string &out) {
    const auto present = get<std::uint8_t>();
    if (!ok || present > 1)
      return ok = false;
    if (!present)
      return false;
    const auto n = get<std::uint32_t>();
    if (!ok || n > MessageMarshaller::kMaxTextUnits || in.size() < std::size_t{n} * 2)
      return ok = false;
    out.resize(n);
    std::memcpy(out.data(), in.data(), std::size_t{n} * 2);
    in = in.subspan(std::size_t{n} * 2);
    // An embedded zero ends the string there, as the receiver would read it.
    out.resize(std::char_traits<char16_t>::length(out.c_str()));
    return true;
  }
  bool done() const { return ok && in.empty(); }
};

bool isAtom(const char16_t *name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

bool textWithinLimit(const char16_t *text) {
  return !text || wideLength(text) <= MessageMarshaller::kMaxTextUnits;
}

} // namespace

bool MessageMarshaller::carriesData(UINT message) {
  switch (message) {
  case WM_SETTEXT:
  case WM_SETTINGCHANGE:
  case WM_GETTEXT:
  case WM_COPYDATA:
  case WM_CREATE:
  case WM_WINDOWPOSCHANGED:
  case TB_SETBUTTONINFO:
    return true;
  default:
    return false;
  }
}

std::optional<PackedMessage> MessageMarshaller::pack(UINT message, WPARAM wParam, LPARAM lParam) {
  PackedMessage packed{message, wParam, lParam, {}};
  if (!carriesData(message))
    return packed;
  packed.lParam = lParam ? 1 : 0;
  Writer w{packed.data};
  switch (message) {
  case WM_SETTEXT:
  case WM_SETTINGCHANGE: {
    const auto *text = reinterpret_cast<const char16_t *>(lParam);
    if (!textWithinLimit(text))
      return std::nullopt;
    w.string(text);
    break;
  }
  case WM_GETTEXT:
    break; // the buffer is the receiver's to fill
  case WM_COPYDATA: {
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    if (!cds || cds->cbData > kMaxCopyDataBytes || (cds->cbData && !cds->lpData))
      return std::nullopt;
    w.put<std::uint64_t>(cds->dwData);
    w.put<std::uint32_t>(cds->cbData);
    w.bytes(cds->lpData, cds->cbData);
    break;
  }
  case WM_CREATE: {
    const auto *cs = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    if (!cs || !textWithinLimit(cs->lpszName) ||
        (!isAtom(cs->lpszClass) && !textWithinLimit(cs->lpszClass)))
      return std::nullopt;
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(cs->lpCreateParams));
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(cs->hInstance));
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(cs->hMenu));
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(cs->hwndParent));
    w.put<std::int32_t>(cs->cy);
    w.put<std::int32_t>(cs->cx);
    w.put<std::int32_t>(cs->y);
    w.put<std::int32_t>(cs->x);
    w.put<std::int32_t>(cs->style);
    w.put<std::uint32_t>(cs->dwExStyle);
    w.string(cs->lpszName);
    if (isAtom(cs->lpszClass)) {
      w.put<std::uint8_t>(2);
      w.put<std::uint16_t>(
          static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(cs->lpszClass)));
    } else {
      w.string(cs->lpszClass);
    }
    break;
  }
  case WM_WINDOWPOSCHANGED: {
    const auto *wp = reinterpret_cast<const WINDOWPOS *>(lParam);
    if (!wp)
      return std::nullopt;
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(wp->hwnd));
    w.put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(wp->hwndInsertAfter));
    w.put<std::int32_t>(wp->x);
    w.put<std::int32_t>(wp->y);
    w.put<std::int32_t>(wp->cx);
    w.put<std::int32_t>(wp->cy);
    w.put<std::uint32_t>(wp->flags);
    break;
  }
  case TB_SETBUTTONINFO: {
    const auto *bi = reinterpret_cast<const TBBUTTONINFOW *>(lParam);
    if (!bi || (bi->cbSize != TBBUTTONINFO_DEVICE_SIZE && bi->cbSize != sizeof(TBBUTTONINFOW)))
      return std::nullopt;
    const char16_t *text = (bi->dwMask & TBIF_TEXT) ? bi->pszText : nullptr;
    if (!textWithinLimit(text))
      return std::nullopt;
    w.put<std::uint32_t>(bi->dwMask);
    w.put<std::int32_t>(bi->idCommand);
    w.put<std::int32_t>(bi->iImage);
    w.put<std::uint8_t>(bi->fsState);
    w.put<std::uint8_t>(bi->fsStyle);
    w.put<std::uint16_t>(bi->cx);
    w.put<std::uint64_t>(bi->lParam);
    w.put<std::int32_t>(bi->cchText);
    w.string(text);
    break;
  }
  }
  return packed;
}

std::unique_ptr<UnpackedMessage> MessageMarshaller::unpack(const PackedMessage &packed) {
  auto out = std::make_unique<UnpackedMessage>();
  out->message_ = packed.message;
  out->wParam_ = packed.wParam;
  out->lParam_ = packed.lParam;
  if (!carriesData(packed.message))
    return packed.data.empty() ? std::move(out) : nullptr;
  if (packed.lParam != 0 && packed.lParam != 1)
    return nullptr;
  Reader r{packed.data};
  UnpackedMessage &m = *out;
  switch (packed.message) {
  case WM_SETTEXT:
  case WM_SETTINGCHANGE:
    m.lParam_ = r.string(m.text_) ? reinterpret_cast<LPARAM>(m.text_.c_str()) : 0;
    break;
  case WM_GETTEXT: {
    // The receiver fills a buffer of wParam units, at most the limit.
    const std::size_t units = std::min<WPARAM>(packed.wParam, kMaxTextUnits);
    m.wParam_ = units;
    m.buffer_.assign(units + 1, u'\0'); // one more, so the text always ends within it
    m.lParam_ = packed.lParam ? reinterpret_cast<LPARAM>(m.buffer_.data()) : 0;
    break;
  }
  case WM_COPYDATA: {
    m.copyData_.dwData = static_cast<ULONG_PTR>(r.get<std::uint64_t>());
    const auto size = r.get<std::uint32_t>();
    if (!r.ok || size > kMaxCopyDataBytes || !r.bytes(m.bytes_, size))
      return nullptr;
    m.copyData_.cbData = size;
    m.copyData_.lpData = m.bytes_.empty() ? nullptr : m.bytes_.data();
    m.lParam_ = reinterpret_cast<LPARAM>(&m.copyData_);
    break;
  }
  case WM_CREATE: {
    CREATESTRUCTW &cs = m.create_;
    cs.lpCreateParams =
        reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    cs.hInstance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    cs.hwndParent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    cs.cy = r.get<std::int32_t>();
    cs.cx = r.get<std::int32_t>();
    cs.y = r.get<std::int32_t>();
    cs.x = r.get<std::int32_t>();
    cs.style = r.get<std::int32_t>();
    cs.dwExStyle = r.get<std::uint32_t>();
    cs.lpszName = r.string(m.text_) ? m.text_.c_str() : nullptr;
    if (!r.ok)
      return nullptr;
    // The class: a string as above, or the flag 2 followed by an atom.
    if (!r.in.empty() && r.in.front() == 2) {
      r.get<std::uint8_t>();
      cs.lpszClass = reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(r.get<std::uint16_t>()));
    } else {
      cs.lpszClass = r.string(m.text2_) ? m.text2_.c_str() : nullptr;
    }
    m.lParam_ = reinterpret_cast<LPARAM>(&cs);
    break;
  }
  case WM_WINDOWPOSCHANGED: {
    WINDOWPOS &wp = m.windowPos_;
    wp.hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    wp.hwndInsertAfter =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(r.get<std::uint64_t>()));
    wp.x = r.get<std::int32_t>();
    wp.y = r.get<std::int32_t>();
    wp.cx = r.get<std::int32_t>();
    wp.cy = r.get<std::int32_t>();
    wp.flags = r.get<std::uint32_t>();
    m.lParam_ = reinterpret_cast<LPARAM>(&wp);
    break;
  }
  case TB_SETBUTTONINFO: {
    TBBUTTONINFOW &bi = m.button_;
    bi.cbSize = sizeof(TBBUTTONINFOW);
    bi.dwMask = r.get<std::uint32_t>();
    bi.idCommand = r.get<std::int32_t>();
    bi.iImage = r.get<std::int32_t>();
    bi.fsState = r.get<std::uint8_t>();
    bi.fsStyle = r.get<std::uint8_t>();
    bi.cx = r.get<std::uint16_t>();
    bi.lParam = static_cast<DWORD_PTR>(r.get<std::uint64_t>());
    bi.cchText = r.get<std::int32_t>();
    bi.pszText = r.string(m.text_) ? m.text_.data() : nullptr;
    m.lParam_ = reinterpret_cast<LPARAM>(&bi);
    break;
  }
  }
  if (!r.done())
    return nullptr;
  if (!packed.lParam)
    m.lParam_ = 0; // a null pointer stays null
  return out;
}

std::unique_ptr<UnpackedMessage> MessageMarshaller::numbers(UINT message, WPARAM wParam,
                                                            LPARAM lParam) {
  auto out = std::make_unique<UnpackedMessage>();
  out->message_ = message;
  out->wParam_ = wParam;
  out->lParam_ = lParam;
  return out;
}

std::vector<std::uint8_t> UnpackedMessage::reply(LRESULT) const {
  std::vector<std::uint8_t> out;
  if (message_ != WM_GETTEXT || buffer_.empty())
    return out;
  // Whatever the procedure returned, only the text within the buffer travels back.
  const std::size_t limit = buffer_.size() - 1;
  const auto end =
      std::find(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(limit), u'\0');
  const auto n = static_cast<std::uint32_t>(end - buffer_.begin());
  Writer w{out};
  w.put<std::uint32_t>(n);
  w.bytes(buffer_.data(), std::size_t{n} * 2);
  return out;
}

LRESULT MessageMarshaller::applyReply(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result,
                                      std::span<const std::uint8_t> reply) {
  if (message != WM_GETTEXT)
    return result;
  auto *buffer = reinterpret_cast<char16_t *>(lParam);
  if (!buffer || wParam == 0)
    return 0;
  buffer[0] = u'\0';
  Reader r{reply};
  const auto n = r.get<std::uint32_t>();
  if (!r.ok || r.in.size() != std::size_t{n} * 2)
    return 0;
  // Never more than the sender's buffer holds, with its terminating zero.
  const std::size_t copied = std::min<std::size_t>(n, wParam - 1);
  std::memcpy(buffer, r.in.data(), copied * 2);
  buffer[copied] = u'\0';
  const std::size_t length = std::char_traits<char16_t>::length(buffer);
  return static_cast<LRESULT>(length);
}

} // namespace ce
