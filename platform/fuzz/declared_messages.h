// Every message of the host socket as the codec sees it, each with a sample value: requests
// (window requests after their caller's thread), replies (window replies with the messages
// handed back), notices and events. The decoding fuzz target and the codec's tests go through
// all of them; a new declaration belongs here too.
#pragma once

#include "../src/protocol/named_object_messages.h"
#include "../src/protocol/process_messages.h"
#include "../src/protocol/screen_messages.h"
#include "../src/protocol/services_messages.h"
#include "../src/protocol/sync_messages.h"
#include "../src/protocol/thread_messages.h"
#include "../src/windowing/window_messages.h"
#include "../src/windowing/window_state.h"

#include <ce/errors.h>
#include <ce/windows.h>

#include <tuple>

namespace declared {

using namespace ce;
using namespace ce::protocol;
using namespace ce::windowing;

// One message: its type, whether it is the answer to that type, and its parts in order.
template <class... Parts> struct Sample {
  std::uint32_t type = 0;
  bool reply = false;
  std::tuple<Parts...> parts;
};

template <class T> Sample<T> message(T value) { return {typeOf<T>(), false, {std::move(value)}}; }

template <class Request> Sample<ReplyOf<Request>> replyTo(ReplyOf<Request> reply) {
  return {typeOf<Request>(), true, {std::move(reply)}};
}

inline HWND window(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

inline HandedBack handedBackSample() {
  return HandedBack{{{window(0x10008), WM_ACTIVATE, 1, 0, {}},
                     {window(0x10008), WM_SETTEXT, 0, 1, {true, {'t', 0, 0, 0}}}}};
}

template <class Request> Sample<CallerThread, Request> windowRequest(Request request) {
  return {typeOf<Request>(), false, {CallerThread{77}, std::move(request)}};
}

template <class Request> auto windowReply(ReplyOf<Request> reply) {
  if constexpr (handsBack<Request>())
    return Sample<ReplyOf<Request>, HandedBack>{
        typeOf<Request>(), true, {std::move(reply), handedBackSample()}};
  else
    return Sample<ReplyOf<Request>>{typeOf<Request>(), true, {std::move(reply)}};
}

// `fd` is the descriptor the samples that carry one borrow.
inline auto samples(int fd) {
  const ThreadMessage posted{42, window(0x10004), WM_USER + 1, 7, -9};
  WindowState frame;
  frame.handle = window(0x10008);
  frame.parent = window(0x10000);
  frame.process = 1001;
  frame.thread = 1002;
  frame.rect = RECT{0, 36, 480, 640};
  frame.className = u"Frame";
  frame.title = u"Vue";
  OverlayPlacement placement;
  placement.source = RECT{0, 0, 8, 100};
  placement.destination = RECT{470, 40, 478, 140};
  placement.visible = true;
  return std::make_tuple(
      // Processes.
      message(HelloRequest{kHelloTool, u"/usr/bin/device"}),
      replyTo<HelloRequest>({4242, u"\\Windows\\x.exe"}), message(PingRequest{}),
      message(ShutdownRequest{}),
      message(StartProcessRequest{u"\\Program Files\\App\\app.exe", u"-a", SW_SHOWNORMAL}),
      replyTo<StartProcessRequest>({5150}), message(ListProcessesRequest{}),
      replyTo<ListProcessesRequest>({{{1, 0, 5, u"\\Windows\\gwes.exe"}, {7, 1, 9, u"\\a.exe"}}}),
      message(QueryProcessRequest{7}),
      replyTo<QueryProcessRequest>({true, STILL_ACTIVE, u"\\a.exe", 7}),
      message(TerminateProcessRequest{7, 3}), message(ProcessExitingNotice{0}),
      // Named objects.
      message(CreateMappingRequest{u"globalValuesMap", 588}),
      replyTo<CreateMappingRequest>({3, true, 588, Descriptor::borrow(fd)}),
      message(CloseMappingNotice{3}), message(CreateEventRequest{u"ready", true, false}),
      replyTo<CreateEventRequest>({4, false, 64, Descriptor::borrow(fd)}),
      message(CloseEventNotice{4}), message(RegisterMessageRequest{u"TaskbarCreated"}),
      replyTo<RegisterMessageRequest>({0xC001}),
      // Thread messages.
      message(PostToThreadRequest{posted}),
      message(SendResultNotice{9, ERROR_SUCCESS, 5, {'h', 0, 'i', 0}}),
      message(DeliverPostEvent{posted}), message(DeliverSendEvent{9, posted, {true, {1, 2, 3}}}),
      // The device barrier.
      message(SyncRequest{5000, 1002}), replyTo<SyncRequest>({false, 3, u"thread 8 paints"}),
      message(SyncProbeEvent{11, 1002}),
      message(SyncMarkedNotice{11, 40, {{1002, 1, 0, 2}, {1003, 0, 4, 0}}}),
      message(SyncReachedNotice{11, 1003, 41}),
      // Screen and input.
      message(GetFramebufferRequest{}),
      replyTo<GetFramebufferRequest>({480, 640, Descriptor::borrow(fd)}),
      message(AddOverlayRequest{8, 100, 16, 0, Descriptor::borrow(fd)}),
      replyTo<AddOverlayRequest>({2}), message(PlaceOverlayRequest{2, placement}),
      message(MoveOverlayRequest{2, -4, 12}), message(RemoveOverlayRequest{2}),
      message(ScreenshotRequest{u"/tmp/shot.png", true}),
      message(PlayInputRequest{{{0, 0, 100, 200, 0, 0}, {120, 2, 100, 200, 0, 0}},
                               Descriptor::borrow(fd)}),
      message(ListWindowsRequest{}),
      replyTo<ListWindowsRequest>(
          {{{window(0x10008), u"Frame", u"Vue", 1001, RECT{0, 36, 480, 640}, true, true}}}),
      // Services.
      message(RegisterServiceRequest{u"SMC", 0, u"\\Windows\\Brevin.dll", 5}),
      replyTo<RegisterServiceRequest>({1}), message(ActivateServiceRequest{u"Services\\Brevin"}),
      replyTo<ActivateServiceRequest>({1}), message(DeregisterServiceRequest{1}),
      message(GetServiceHandleRequest{u"SMC0:"}),
      replyTo<GetServiceHandleRequest>({1, u"\\Windows\\Brevin.dll"}),
      // Windows.
      windowRequest(RegisterClassRequest{u"Frame", CS_HREDRAW}),
      windowReply<RegisterClassRequest>({0xC100}), windowRequest(UnregisterClassRequest{u"Frame"}),
      windowReply<UnregisterClassRequest>({}),
      windowRequest(CreateWindowRequest{u"Frame", u"Vue", WS_VISIBLE, 0, CW_USEDEFAULT, 0, 480, 604,
                                        nullptr, 0}),
      windowReply<CreateWindowRequest>({window(0x10008)}),
      windowRequest(DestroyWindowRequest{window(0x10008)}),
      windowRequest(QueryWindowRequest{window(0x10008)}),
      windowReply<QueryWindowRequest>({1001, 1002, window(0x10000), nullptr, WS_VISIBLE, 0, 0, true,
                                       true, RECT{0, 36, 480, 640}, POINT{0, 36}, u"Frame",
                                       u"Vue"}),
      windowRequest(GetWindowRequest{window(0x10008), GW_CHILD}),
      windowReply<GetWindowRequest>({window(0x1000C)}),
      windowRequest(FindWindowRequest{u"HHTaskBar", std::nullopt}),
      windowReply<FindWindowRequest>({window(0x10004)}), windowRequest(EnumWindowsRequest{}),
      windowReply<EnumWindowsRequest>({{window(0x10004), window(0x10008)}}),
      windowRequest(SetTextRequest{window(0x10008), u"Vue"}),
      windowRequest(SetWindowLongRequest{window(0x10008), GWL_STYLE, WS_VISIBLE}),
      windowReply<SetWindowLongRequest>({0}),
      windowRequest(ShowWindowRequest{window(0x10008), SW_HIDE}),
      windowReply<ShowWindowRequest>({true}),
      windowRequest(SetWindowPosRequest{window(0x10008), HWND_TOP, 0, 36, 480, 604, SWP_NOZORDER}),
      windowRequest(EnableWindowRequest{window(0x10008), false}),
      windowReply<EnableWindowRequest>({false}), windowRequest(StateRequest{}),
      windowReply<StateRequest>(
          {window(0x10008), window(0x10008), window(0x1000C), window(0x10000), SIZE{480, 640}}),
      windowRequest(SetForegroundRequest{window(0x10008)}),
      windowRequest(SetActiveRequest{window(0x10008)}),
      windowReply<SetActiveRequest>({window(0x10004)}),
      windowRequest(SetFocusRequest{window(0x1000C)}), windowReply<SetFocusRequest>({nullptr}),
      windowRequest(InvalidateRequest{window(0x10008), RECT{0, 0, 10, 10}}),
      windowRequest(ValidateRequest{window(0x10008), std::nullopt}),
      windowRequest(UpdateRegionRequest{window(0x10008)}),
      windowReply<UpdateRegionRequest>({RECT{0, 0, 10, 10}, {RECT{0, 0, 10, 10}}}),
      windowRequest(BeginPaintRequest{window(0x10008)}),
      windowReply<BeginPaintRequest>(
          {{RECT{0, 0, 10, 10}, {RECT{0, 0, 10, 10}}}, {POINT{0, 36}, {RECT{0, 36, 480, 640}}}}),
      windowRequest(VisibleRegionRequest{window(0x10008)}),
      windowReply<VisibleRegionRequest>({POINT{0, 36}, {RECT{0, 36, 480, 640}}}),
      windowRequest(PostMessageRequest{window(0x10008), WM_USER, 1, 2}),
      windowReply<PostMessageRequest>({}),
      windowRequest(SendMessageRequest{window(0x10008), WM_GETTEXT, 16, 1, {true, {}}}),
      windowReply<SendMessageRequest>({3, {'V', 0, 'u', 0, 'e', 0}}),
      windowRequest(KeyboardEventRequest{VK_RETURN, KEYEVENTF_KEYUP}),
      windowRequest(SetCursorRequest{true}),
      windowRequest(FullScreenRequest{window(0x10008), SHFS_HIDETASKBAR}),
      windowRequest(SetCaptureRequest{window(0x10008)}), windowReply<SetCaptureRequest>({nullptr}),
      windowRequest(ReleaseCaptureRequest{}), windowRequest(GetCaptureRequest{}),
      windowReply<GetCaptureRequest>({window(0x10008)}), windowRequest(WorkAreaRequest{}),
      windowReply<WorkAreaRequest>({RECT{0, 36, 480, 640}}), windowRequest(WatchWindowsRequest{}),
      windowRequest(ThreadEndedNotice{}), message(PaintStateEvent{1002, window(0x10008), true}),
      message(
          InputMessageEvent{{1002, window(0x10008), WM_LBUTTONDOWN, 1, 0x00140010}, POINT{16, 56}}),
      message(WindowStateNotice{WindowStateNotice::kStartsOver | WindowStateNotice::kWhole,
                                window(0x10008),
                                window(0x10000),
                                SIZE{480, 640},
                                {frame},
                                {window(0x10004)}}));
}

} // namespace declared
