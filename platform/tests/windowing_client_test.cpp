// The client side of windows that needs no host: message marshalling for cross-process sends,
// the procedure table, and dispatching and translating messages.
#include "../src/windowing/message_marshaller.h"
#include "../src/windowing/window_procedure_table.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using ce::MessageMarshaller;
using ce::PackedMessage;

// Packs on the "sender" side and unpacks on the "receiver" side.
std::unique_ptr<ce::UnpackedMessage> roundTrip(UINT message, WPARAM wParam, LPARAM lParam) {
  const auto packed = MessageMarshaller::pack(message, wParam, lParam);
  if (!packed)
    return nullptr;
  return MessageMarshaller::unpack(*packed);
}

template <class T> LPARAM param(const T *p) { return reinterpret_cast<LPARAM>(p); }

TEST(WindowingMarshal, TextTravelsBothWaysWithinTheSendersBuffer) {
  auto set = roundTrip(WM_SETTEXT, 0, param(u"Ostrel \u00e9t\u00e9"));
  ASSERT_TRUE(set);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(set->lParam())),
            u"Ostrel \u00e9t\u00e9");
  auto none = roundTrip(WM_SETTEXT, 0, 0);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->lParam(), 0);

  // WM_GETTEXT: the receiver fills its own buffer of wParam units, the reply fills the sender's.
  char16_t senderBuffer[6];
  std::fill(std::begin(senderBuffer), std::end(senderBuffer), u'#');
  auto get = roundTrip(WM_GETTEXT, 5, param(senderBuffer));
  ASSERT_TRUE(get);
  ASSERT_EQ(get->wParam(), 5u);
  auto *receiverBuffer = reinterpret_cast<char16_t *>(get->lParam());
  std::memcpy(receiverBuffer, u"Hell", 5 * sizeof(char16_t)); // what a procedure writes
  const auto reply = get->reply(4);
  EXPECT_EQ(MessageMarshaller::applyReply(WM_GETTEXT, 5, param(senderBuffer), 4, reply), 4);
  EXPECT_EQ(std::u16string(senderBuffer), u"Hell");
  EXPECT_EQ(senderBuffer[5], u'#');

  // A procedure that writes its whole buffer without a terminator, or a reply that claims more
  // than the sender holds, still ends within the sender's buffer.
  auto careless = roundTrip(WM_GETTEXT, 3, param(senderBuffer));
  auto *raw = reinterpret_cast<char16_t *>(careless->lParam());
  raw[0] = raw[1] = raw[2] = u'x';
  EXPECT_EQ(
      MessageMarshaller::applyReply(WM_GETTEXT, 3, param(senderBuffer), 99, careless->reply(99)),
      2);
  EXPECT_EQ(std::u16string(senderBuffer), u"xx");
  std::vector<std::uint8_t> lying{200, 0, 0, 0, 'a', 0};
  EXPECT_EQ(MessageMarshaller::applyReply(WM_GETTEXT, 5, param(senderBuffer), 200, lying), 0);
  EXPECT_EQ(senderBuffer[0], u'\0');

  // A hostile buffer size is capped rather than allocated.
  auto huge = roundTrip(WM_GETTEXT, WPARAM(1) << 60, param(senderBuffer));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->wParam(), MessageMarshaller::kMaxTextUnits);
}

TEST(WindowingMarshal, RecordsKeepTheirFieldsAndData) {
  const char bytes[] = "configuration";
  COPYDATASTRUCT cds{42, sizeof bytes, const_cast<char *>(bytes)};
  auto copy = roundTrip(WM_COPYDATA, 0, param(&cds));
  ASSERT_TRUE(copy);
  const auto *got = reinterpret_cast<const COPYDATASTRUCT *>(copy->lParam());
  EXPECT_EQ(got->dwData, 42u);
  ASSERT_EQ(got->cbData, sizeof bytes);
  EXPECT_EQ(std::memcmp(got->lpData, bytes, sizeof bytes), 0);
  EXPECT_NE(got->lpData, static_cast<const void *>(bytes));
  EXPECT_FALSE(MessageMarshaller::pack(WM_COPYDATA, 0, 0)); // nothing to read

  int marker = 0;
  CREATESTRUCTW cs{&marker,
                   nullptr,
                   reinterpret_cast<HMENU>(7),
                   reinterpret_cast<HWND>(0x10008),
                   480,
                   640,
                   36,
                   0,
                   LONG(WS_POPUP | WS_VISIBLE),
                   u"Vireta",
                   u"Vireta",
                   WS_EX_TOPMOST};
  auto create = roundTrip(WM_CREATE, 0, param(&cs));
  ASSERT_TRUE(create);
  const auto *c = reinterpret_cast<const CREATESTRUCTW *>(create->lParam());
  EXPECT_EQ(c->lpCreateParams, &marker); // a number, meaningful in the creator's process
  EXPECT_EQ(c->hMenu, reinterpret_cast<HMENU>(7));
  EXPECT_EQ(c->cy, 480);
  EXPECT_EQ(c->x, 0);
  EXPECT_EQ(c->y, 36);
  EXPECT_EQ(DWORD(c->style), WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(std::u16string(c->lpszName), u"Vireta");
  EXPECT_EQ(std::u16string(c->lpszClass), u"Vireta");
  cs.lpszClass = reinterpret_cast<LPCWSTR>(std::uintptr_t{0xC001}); // a class atom
  cs.lpszName = nullptr;
  auto atom = roundTrip(WM_CREATE, 0, param(&cs));
  ASSERT_TRUE(atom);
  const auto *a = reinterpret_cast<const CREATESTRUCTW *>(atom->lParam());
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a->lpszClass), 0xC001u);
  EXPECT_EQ(a->lpszName, nullptr);

  WINDOWPOS pos{reinterpret_cast<HWND>(0x1000C), nullptr, 0, 0, 640, 480, SWP_NOZORDER};
  auto moved = roundTrip(WM_WINDOWPOSCHANGED, 0, param(&pos));
  ASSERT_TRUE(moved);
  const auto *p = reinterpret_cast<const WINDOWPOS *>(moved->lParam());
  EXPECT_EQ(p->hwnd, pos.hwnd);
  EXPECT_EQ(p->cx, 640);
  EXPECT_EQ(p->flags, UINT(SWP_NOZORDER));
}

TEST(WindowingMarshal, ButtonInfoTakesTheDeviceSizeAndCarriesTextOnlyWhenAsked) {
  char16_t label[] = u"Back";
  TBBUTTONINFO info{};
  info.cbSize = TBBUTTONINFO_DEVICE_SIZE;
  info.dwMask = TBIF_COMMAND | TBIF_TEXT;
  info.idCommand = 1003;
  info.pszText = label;
  auto set = roundTrip(TB_SETBUTTONINFO, 1001, param(&info));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->wParam(), 1001u);
  const auto *b = reinterpret_cast<const TBBUTTONINFO *>(set->lParam());
  EXPECT_EQ(b->dwMask, DWORD(0x22));
  EXPECT_EQ(b->idCommand, 1003);
  EXPECT_EQ(std::u16string(b->pszText), u"Back");

  info.cbSize = sizeof(TBBUTTONINFO);
  info.dwMask = TBIF_COMMAND; // the text pointer is not read
  info.pszText = reinterpret_cast<LPWSTR>(std::uintptr_t{0xDEAD0});
  auto noText = roundTrip(TB_SETBUTTONINFO, 1001, param(&info));
  ASSERT_TRUE(noText);
  EXPECT_EQ(reinterpret_cast<const TBBUTTONINFO *>(noText->lParam())->pszText, nullptr);
  info.cbSize = 20;
  EXPECT_FALSE(MessageMarshaller::pack(TB_SETBUTTONINFO, 1001, param(&info)));
}

TEST(WindowingMarshal, MalformedPackedFormsAreRefused) {
  auto packed = *MessageMarshaller::pack(WM_SETTEXT, 0, param(u"abc"));
  PackedMessage truncated = packed;
  truncated.data.pop_back();
  EXPECT_FALSE(MessageMarshaller::unpack(truncated));
  PackedMessage trailing = packed;
  trailing.data.push_back(0);
  EXPECT_FALSE(MessageMarshaller::unpack(trailing));
  PackedMessage badFlag = packed;
  badFlag.lParam = 2;
  EXPECT_FALSE(MessageMarshaller::unpack(badFlag));
  PackedMessage hugeCount = packed;
  hugeCount.data[1] = hugeCount.data[2] = hugeCount.data[3] = hugeCount.data[4] = 0xFF;
  EXPECT_FALSE(MessageMarshaller::unpack(hugeCount));
  PackedMessage plainWithData{WM_USER + 5, 1, 2, {1}};
  EXPECT_FALSE(MessageMarshaller::unpack(plainWithData));

  const auto plain = roundTrip(WM_USER + 5, 11, -22);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->wParam(), 11u);
  EXPECT_EQ(plain->lParam(), -22);

  COPYDATASTRUCT cds{1, 8, const_cast<char *>("12345678")};
  auto copy = *MessageMarshaller::pack(WM_COPYDATA, 0, param(&cds));
  copy.data[8] = 200; // claims more bytes than follow
  EXPECT_FALSE(MessageMarshaller::unpack(copy));
}

// Procedures for the dispatch tests.
std::vector<UINT> seenByBase;
LRESULT baseProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  seenByBase.push_back(message);
  return static_cast<LRESULT>(wParam) + 1;
}
WNDPROC savedProc = nullptr;
LRESULT subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER)
    return 1000; // swallowed
  return CallWindowProcW(savedProc, hwnd, message, wParam, lParam) * 10;
}
UINT_PTR timerFired = 0;
void timerCallback(HWND, UINT, UINT_PTR id, DWORD) { timerFired = id; }

TEST(WindowingDispatch, ProceduresSubclassingUserDataAndTimerCallbacks) {
  auto &table = ce::WindowProcedureTable::instance();
  const HWND hwnd = reinterpret_cast<HWND>(0x7000);
  table.add(hwnd, baseProc);
  seenByBase.clear();

  MSG msg{hwnd, WM_COMMAND, 4, 0, 0, {}};
  EXPECT_EQ(DispatchMessageW(&msg), 5);

  savedProc = *table.setProcedure(hwnd, subclassProc);
  EXPECT_EQ(savedProc, &baseProc);
  EXPECT_EQ(DispatchMessageW(&msg), 50);
  msg.message = WM_USER;
  EXPECT_EQ(DispatchMessageW(&msg), 1000);
  EXPECT_EQ(seenByBase, (std::vector<UINT>{WM_COMMAND, WM_COMMAND}));

  EXPECT_EQ(*table.setUserData(hwnd, 0x1234), 0);
  EXPECT_EQ(*table.userData(hwnd), 0x1234);
  const HWND foreign = reinterpret_cast<HWND>(0x7004); // not a window of this process
  EXPECT_FALSE(table.setProcedure(foreign, subclassProc));
  EXPECT_FALSE(table.userData(foreign));
  MSG lost{foreign, WM_COMMAND, 0, 0, 0, {}};
  EXPECT_EQ(DispatchMessageW(&lost), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

  MSG timer{hwnd, WM_TIMER, 9, reinterpret_cast<LPARAM>(&timerCallback), 0, {}};
  seenByBase.clear();
  EXPECT_EQ(DispatchMessageW(&timer), 0);
  EXPECT_EQ(timerFired, 9u);
  EXPECT_TRUE(seenByBase.empty());

  table.remove(hwnd);
  EXPECT_FALSE(table.contains(hwnd));
  EXPECT_EQ(CallWindowProcW(nullptr, hwnd, WM_NULL, 0, 0), 0);
}

TEST(WindowingDispatch, TranslateMessageAddsCharactersForTypingKeys) {
  std::thread([] {
    const HWND hwnd = reinterpret_cast<HWND>(0x7100);
    MSG msg{hwnd, WM_KEYDOWN, 'Q', 0x10001, 0, {}};
    EXPECT_TRUE(TranslateMessage(&msg));
    msg.wParam = '7';
    EXPECT_TRUE(TranslateMessage(&msg));
    msg.wParam = VK_LEFT;
    EXPECT_FALSE(TranslateMessage(&msg));
    msg.message = WM_KEYUP;
    msg.wParam = 'Q';
    EXPECT_FALSE(TranslateMessage(&msg));

    MSG got{};
    ASSERT_TRUE(PeekMessageW(&got, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(got.message, WM_CHAR);
    EXPECT_EQ(got.wParam, WPARAM(u'q'));
    EXPECT_EQ(got.lParam, 0x10001);
    EXPECT_EQ(got.hwnd, hwnd);
    ASSERT_TRUE(PeekMessageW(&got, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(got.wParam, WPARAM(u'7'));
    EXPECT_FALSE(PeekMessageW(&got, nullptr, 0, 0, PM_REMOVE));
  }).join();
}

} // namespace
