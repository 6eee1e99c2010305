// The window manager's requests and events, declared for the codec (protocol/message_codec.h).
//
// A window request travels after the calling thread's id (CallerThread). Its answer ends with
// the messages the operation sent to the caller's own thread (HandedBack), which the caller
// runs before its call returns; a failed answer holds only those. PostMessage and SendMessage
// hand nothing back (kHandsBack false): their answers are the post's status and the receiver's
// answer. windowing/window_call.h and WindowService do all of this once for every request.
#pragma once

#include "../protocol/message_codec.h"
#include "../protocol/thread_messages.h"
#include "window_protocol.h"

namespace ce::windowing {

namespace wire = protocol::wire;

inline constexpr std::size_t kMaxClassNameUnits = 256;
inline constexpr std::size_t kMaxTitleUnits = 4096;
// Most rectangles a region answer may hold.
inline constexpr std::uint32_t kMaxRegionRects = 1u << 16;

struct CallerThread {
  DWORD thread = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&CallerThread::thread)}; }
};

// A message sent to the caller's thread by the operation it asked for.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  protocol::MessageData data;
  static constexpr auto fields() {
    using S = SentMessage;
    return std::tuple{wire::field(&S::hwnd), wire::field(&S::message), wire::field(&S::wParam),
                      wire::field(&S::lParam), wire::field(&S::data)};
  }
};

struct HandedBack {
  std::vector<SentMessage> messages;
  static constexpr auto fields() {
    return std::tuple{wire::list(&HandedBack::messages, wire::kAsManyAsFit)};
  }
};

// Whether a window request's answers end with HandedBack.
template <class Request> constexpr bool handsBack() {
  if constexpr (requires { Request::kHandsBack; })
    return Request::kHandsBack;
  else
    return true;
}

// Answers of one handle.
struct WindowReply {
  HWND hwnd = nullptr;
  static constexpr auto fields() { return std::tuple{wire::field(&WindowReply::hwnd)}; }
};

// Requests about one window, with nothing more.
template <WindowRequest Kind, class ReplyType = protocol::Empty> struct OneWindowRequest {
  static constexpr WindowRequest kType = Kind;
  using Reply = ReplyType;
  HWND hwnd = nullptr;
  static constexpr auto fields() { return std::tuple{wire::field(&OneWindowRequest::hwnd)}; }
};

// Requests with no fields.
template <WindowRequest Kind, class ReplyType = protocol::Empty> struct PlainWindowRequest {
  static constexpr WindowRequest kType = Kind;
  using Reply = ReplyType;
  static constexpr auto fields() { return std::tuple{}; }
};

struct RegisterClassRequest {
  static constexpr WindowRequest kType = WindowRequest::RegisterClass;
  std::u16string className;
  UINT style = 0;
  static constexpr auto fields() {
    using S = RegisterClassRequest;
    return std::tuple{wire::name(&S::className, kMaxClassNameUnits), wire::field(&S::style)};
  }
  struct Reply {
    std::uint32_t atom = 0; // 0: the class exists already
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::atom)}; }
  };
};

struct UnregisterClassRequest {
  static constexpr WindowRequest kType = WindowRequest::UnregisterClass;
  std::u16string className;
  static constexpr auto fields() {
    return std::tuple{wire::name(&UnregisterClassRequest::className, kMaxClassNameUnits)};
  }
};

struct CreateWindowRequest {
  static constexpr WindowRequest kType = WindowRequest::CreateWindow;
  std::u16string className;
  std::u16string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  HWND parent = nullptr;
  std::int32_t id = 0;
  static constexpr auto fields() {
    using S = CreateWindowRequest;
    return std::tuple{wire::name(&S::className, kMaxClassNameUnits),
                      wire::text(&S::title, kMaxTitleUnits),
                      wire::field(&S::style),
                      wire::field(&S::exStyle),
                      wire::field(&S::x),
                      wire::field(&S::y),
                      wire::field(&S::width),
                      wire::field(&S::height),
                      wire::field(&S::parent),
                      wire::field(&S::id)};
  }
  using Reply = WindowReply;
};

using DestroyWindowRequest = OneWindowRequest<WindowRequest::DestroyWindow>;

// A window, for processes that keep no view of the windows (tools).
struct QueryWindowReply {
  DWORD process = 0; // the device process
  DWORD thread = 0;
  HWND parent = nullptr;
  HWND owner = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::int32_t id = 0;
  bool visible = false; // with every ancestor
  bool enabled = false;
  RECT rect{};          // screen coordinates
  POINT clientOrigin{}; // windows have no frame: the rectangle's top-left corner
  std::u16string className;
  std::u16string title;
  static constexpr auto fields() {
    using S = QueryWindowReply;
    return std::tuple{
        wire::field(&S::process), wire::field(&S::thread),       wire::field(&S::parent),
        wire::field(&S::owner),   wire::field(&S::style),        wire::field(&S::exStyle),
        wire::field(&S::id),      wire::field(&S::visible),      wire::field(&S::enabled),
        wire::field(&S::rect),    wire::field(&S::clientOrigin), wire::text(&S::className),
        wire::text(&S::title)};
  }
};
using QueryWindowRequest = OneWindowRequest<WindowRequest::QueryWindow, QueryWindowReply>;

struct GetWindowRequest {
  static constexpr WindowRequest kType = WindowRequest::GetWindow;
  HWND hwnd = nullptr;
  UINT command = 0;
  static constexpr auto fields() {
    return std::tuple{wire::field(&GetWindowRequest::hwnd),
                      wire::field(&GetWindowRequest::command)};
  }
  using Reply = WindowReply;
};

// A class and a title to match, each only when given.
struct FindWindowRequest {
  static constexpr WindowRequest kType = WindowRequest::FindWindow;
  std::optional<std::u16string> className;
  std::optional<std::u16string> title;
  static constexpr auto fields() {
    using S = FindWindowRequest;
    return std::tuple{wire::optional(&S::className, wire::Text{kMaxTitleUnits}),
                      wire::optional(&S::title, wire::Text{kMaxTitleUnits})};
  }
  using Reply = WindowReply;
};

struct EnumWindowsReply {
  std::vector<HWND> windows; // top-level, in Z order
  static constexpr auto fields() {
    return std::tuple{wire::list(&EnumWindowsReply::windows, wire::kAsManyAsFit)};
  }
};
using EnumWindowsRequest = PlainWindowRequest<WindowRequest::EnumWindows, EnumWindowsReply>;

// The title the host keeps for the window.
struct SetTextRequest {
  static constexpr WindowRequest kType = WindowRequest::SetText;
  HWND hwnd = nullptr;
  std::u16string text;
  static constexpr auto fields() {
    return std::tuple{wire::field(&SetTextRequest::hwnd),
                      wire::text(&SetTextRequest::text, kMaxTitleUnits)};
  }
};

// Styles and the id; procedures and user data stay in the owning process.
struct SetWindowLongRequest {
  static constexpr WindowRequest kType = WindowRequest::SetWindowLong;
  HWND hwnd = nullptr;
  std::int32_t index = 0;
  std::int32_t value = 0;
  static constexpr auto fields() {
    using S = SetWindowLongRequest;
    return std::tuple{wire::field(&S::hwnd), wire::field(&S::index), wire::field(&S::value)};
  }
  struct Reply {
    std::int32_t previous = 0;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::previous)}; }
  };
};

struct ShowWindowRequest {
  static constexpr WindowRequest kType = WindowRequest::ShowWindow;
  HWND hwnd = nullptr;
  std::int32_t command = 0;
  static constexpr auto fields() {
    return std::tuple{wire::field(&ShowWindowRequest::hwnd),
                      wire::field(&ShowWindowRequest::command)};
  }
  struct Reply {
    bool wasVisible = false;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::wasVisible)}; }
  };
};

struct SetWindowPosRequest {
  static constexpr WindowRequest kType = WindowRequest::SetWindowPos;
  HWND hwnd = nullptr;
  HWND insertAfter = nullptr;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  UINT flags = 0;
  static constexpr auto fields() {
    using S = SetWindowPosRequest;
    return std::tuple{wire::field(&S::hwnd), wire::field(&S::insertAfter), wire::field(&S::x),
                      wire::field(&S::y),    wire::field(&S::cx),          wire::field(&S::cy),
                      wire::field(&S::flags)};
  }
};

struct EnableWindowRequest {
  static constexpr WindowRequest kType = WindowRequest::EnableWindow;
  HWND hwnd = nullptr;
  bool enable = false;
  static constexpr auto fields() {
    return std::tuple{wire::field(&EnableWindowRequest::hwnd),
                      wire::field(&EnableWindowRequest::enable)};
  }
  struct Reply {
    bool wasDisabled = false;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::wasDisabled)}; }
  };
};

// The device's windows as the calling thread sees them.
struct StateReply {
  HWND foreground = nullptr;
  HWND active = nullptr; // of the calling thread
  HWND focus = nullptr;  // the calling thread's, or the device's
  HWND desktop = nullptr;
  SIZE screen{};
  static constexpr auto fields() {
    using S = StateReply;
    return std::tuple{wire::field(&S::foreground), wire::field(&S::active), wire::field(&S::focus),
                      wire::field(&S::desktop), wire::field(&S::screen)};
  }
};
using StateRequest = PlainWindowRequest<WindowRequest::State, StateReply>;

using SetForegroundRequest = OneWindowRequest<WindowRequest::SetForeground>;

// Answer the previous active and focus window.
using SetActiveRequest = OneWindowRequest<WindowRequest::SetActive, WindowReply>;
using SetFocusRequest = OneWindowRequest<WindowRequest::SetFocus, WindowReply>;

// Adds to or takes from the window's update region: a rectangle, or the whole window.
template <WindowRequest Kind> struct RegionChangeRequest {
  static constexpr WindowRequest kType = Kind;
  HWND hwnd = nullptr;
  std::optional<RECT> rect; // client coordinates
  static constexpr auto fields() {
    return std::tuple{wire::field(&RegionChangeRequest::hwnd),
                      wire::field(&RegionChangeRequest::rect)};
  }
};
using InvalidateRequest = RegionChangeRequest<WindowRequest::Invalidate>;
using ValidateRequest = RegionChangeRequest<WindowRequest::Validate>;

// The update region, in client coordinates.
struct UpdateRegionReply {
  RECT bounds{};
  std::vector<RECT> rects;
  static constexpr auto fields() {
    return std::tuple{wire::field(&UpdateRegionReply::bounds),
                      wire::list(&UpdateRegionReply::rects, kMaxRegionRects)};
  }
};

using UpdateRegionRequest = OneWindowRequest<WindowRequest::UpdateRegion, UpdateRegionReply>;

// Where a window may draw: its client origin and visible region, in screen coordinates.
struct VisibleRegionReply {
  POINT clientOrigin{};
  std::vector<RECT> visible;
  static constexpr auto fields() {
    return std::tuple{wire::field(&VisibleRegionReply::clientOrigin),
                      wire::list(&VisibleRegionReply::visible, kMaxRegionRects)};
  }
};
using VisibleRegionRequest = OneWindowRequest<WindowRequest::VisibleRegion, VisibleRegionReply>;

// Takes the update region (it is empty afterwards), with the region to draw in.
struct BeginPaintReply {
  UpdateRegionReply update;
  VisibleRegionReply drawable;
  static constexpr auto fields() {
    return std::tuple{wire::field(&BeginPaintReply::update),
                      wire::field(&BeginPaintReply::drawable)};
  }
};
using BeginPaintRequest = OneWindowRequest<WindowRequest::BeginPaint, BeginPaintReply>;

// Answered once the host has queued the message for the window's process.
struct PostMessageRequest {
  static constexpr WindowRequest kType = WindowRequest::PostMessage;
  static constexpr bool kHandsBack = false;
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  static constexpr auto fields() {
    using S = PostMessageRequest;
    return std::tuple{wire::field(&S::hwnd), wire::field(&S::message), wire::field(&S::wParam),
                      wire::field(&S::lParam)};
  }
};

// Answered once the window's thread has handled the message.
struct SendMessageRequest {
  static constexpr WindowRequest kType = WindowRequest::SendMessage;
  static constexpr bool kHandsBack = false;
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  protocol::MessageData data;
  static constexpr auto fields() {
    using S = SendMessageRequest;
    return std::tuple{wire::field(&S::hwnd), wire::field(&S::message), wire::field(&S::wParam),
                      wire::field(&S::lParam), wire::field(&S::data)};
  }
  using Reply = protocol::SentMessageReply;
};

// keybd_event: a key of the device.
struct KeyboardEventRequest {
  static constexpr WindowRequest kType = WindowRequest::KeyboardEvent;
  std::uint32_t key = 0;
  DWORD flags = 0;
  static constexpr auto fields() {
    return std::tuple{wire::bounded(&KeyboardEventRequest::key, 1, 0xFF),
                      wire::field(&KeyboardEventRequest::flags)};
  }
};

// The wait cursor, up or down, for the calling process.
struct SetCursorRequest {
  static constexpr WindowRequest kType = WindowRequest::SetCursor;
  bool wait = false;
  static constexpr auto fields() { return std::tuple{wire::field(&SetCursorRequest::wait)}; }
};

// SHFullScreen's flags for a window of the calling process.
struct FullScreenRequest {
  static constexpr WindowRequest kType = WindowRequest::FullScreen;
  HWND hwnd = nullptr;
  DWORD flags = 0;
  static constexpr auto fields() {
    return std::tuple{wire::field(&FullScreenRequest::hwnd),
                      wire::field(&FullScreenRequest::flags)};
  }
};

// Null releases the capture; answers the previous capture window.
using SetCaptureRequest = OneWindowRequest<WindowRequest::SetCapture, WindowReply>;
using ReleaseCaptureRequest = PlainWindowRequest<WindowRequest::ReleaseCapture>;
using GetCaptureRequest = PlainWindowRequest<WindowRequest::GetCapture, WindowReply>;

struct WorkAreaReply {
  RECT area{}; // screen coordinates
  static constexpr auto fields() { return std::tuple{wire::field(&WorkAreaReply::area)}; }
};
using WorkAreaRequest = PlainWindowRequest<WindowRequest::WorkArea, WorkAreaReply>;

// The window table comes first in WindowState events, and every change to it after them.
using WatchWindowsRequest = PlainWindowRequest<WindowRequest::WatchWindows>;

// A thread of the process has ended (notice; its id goes as the caller's thread): its windows
// go, with no WM_DESTROY to that thread.
using ThreadEndedNotice = PlainWindowRequest<WindowRequest::ThreadEnded>;

// Event: a window of the thread needs painting, or not any more.
struct PaintStateEvent {
  static constexpr WindowEventType kType = WindowEventType::PaintState;
  DWORD thread = 0;
  HWND hwnd = nullptr;
  bool needsPaint = false;
  static constexpr auto fields() {
    using S = PaintStateEvent;
    return std::tuple{wire::field(&S::thread), wire::field(&S::hwnd), wire::field(&S::needsPaint)};
  }
};

// Event: a stylus or key message for the thread's input lane.
struct InputMessageEvent {
  static constexpr WindowEventType kType = WindowEventType::Input;
  protocol::ThreadMessage message;
  POINT point{}; // screen coordinates
  static constexpr auto fields() {
    return std::tuple{wire::field(&InputMessageEvent::message),
                      wire::field(&InputMessageEvent::point)};
  }
};

} // namespace ce::windowing
