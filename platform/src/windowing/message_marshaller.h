// Messages whose lParam points to data cannot cross into another process as they are: the
// sender packs the data it points to, the receiver rebuilds it in its own memory and calls the
// window procedure with a pointer to that, and for messages that fill a buffer (WM_GETTEXT) the
// receiver's result travels back and is copied into the sender's buffer.
//
// Messages with data: WM_SETTEXT and WM_SETTINGCHANGE (a string or null), WM_GETTEXT (a buffer
// of wParam characters), WM_COPYDATA (COPYDATASTRUCT and its bytes), WM_CREATE (CREATESTRUCTW
// with its name and class strings; lpCreateParams, handles and the instance travel as numbers),
// WM_WINDOWPOSCHANGED (WINDOWPOS) and TB_SETBUTTONINFO (TBBUTTONINFOW with its text). Every other
// message passes wParam and lParam as numbers, as on the device.
//
// The packed form is checked in full when it is unpacked: a truncated or oversized record is
// refused, never read beyond its end.
#pragma once

#include <ce/commctrl.h>
#include <ce/windows_api.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ce {

struct PackedMessage {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0; // for messages with data: 0 when lParam was null, 1 otherwise
  std::vector<std::uint8_t> data;
};

// A message rebuilt in the receiver's memory. lParam() points into this object, which must
// outlive the window procedure's call; it cannot be copied or moved.
class UnpackedMessage {
public:
  UnpackedMessage() = default;
  UnpackedMessage(const UnpackedMessage &) = delete;
  UnpackedMessage &operator=(const UnpackedMessage &) = delete;

  UINT message() const { return message_; }
  WPARAM wParam() const { return wParam_; }
  LPARAM lParam() const { return lParam_; }
  // What travels back to the sender once the procedure has returned `result`.
  std::vector<std::uint8_t> reply(LRESULT result) const;

private:
  friend class MessageMarshaller;
  UINT message_ = 0;
  WPARAM wParam_ = 0;
  LPARAM lParam_ = 0;
  std::u16string text_;          // WM_SETTEXT, WM_SETTINGCHANGE, TB_SETBUTTONINFO; WM_CREATE's name
  std::u16string text2_;         // WM_CREATE's class name
  std::vector<char16_t> buffer_; // WM_GETTEXT
  std::vector<std::uint8_t> bytes_; // WM_COPYDATA
  COPYDATASTRUCT copyData_{};
  CREATESTRUCTW create_{};
  WINDOWPOS windowPos_{};
  TBBUTTONINFOW button_{};
};

class MessageMarshaller {
public:
  // Limits on what one message may carry: a packed message and its reply must each fit in one
  // packet on the host socket, with room to spare. WM_GETTEXT brings back at most kMaxTextUnits
  // characters, however large the sender's buffer.
  static constexpr std::size_t kMaxTextUnits = 64u * 1024;
  static constexpr std::size_t kMaxCopyDataBytes = 128u * 1024;

  static bool carriesData(UINT message);
  // Packs a message in the sender's process. Null for data that cannot be read (a null
  // COPYDATASTRUCT, a TBBUTTONINFOW of a wrong size, text or data beyond the limits).
  static std::optional<PackedMessage> pack(UINT message, WPARAM wParam, LPARAM lParam);
  // Rebuilds a packed message in the receiver's process; null when the packed form is malformed.
  static std::unique_ptr<UnpackedMessage> unpack(const PackedMessage &packed);
  // A message that came as numbers only, kept as it is.
  static std::unique_ptr<UnpackedMessage> numbers(UINT message, WPARAM wParam, LPARAM lParam);
  // Copies the receiver's reply into the sender's memory (WM_GETTEXT's buffer) and returns the
  // result the sender sees. A malformed reply leaves the buffer holding an empty string.
  static LRESULT applyReply(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result,
                            std::span<const std::uint8_t> reply);
};

} // namespace ce
