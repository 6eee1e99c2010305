// The device's screen inside the host: it owns the Screen (the framebuffer memfd sized from the
// device profile, the overlays, the wait mark), answers the screen requests of device processes,
// runs the presenters and routes input from the presenters and the input verbs.
//
// - Every process maps the same framebuffer (GetFramebuffer hands out its memfd).
// - Overlays are made, placed, moved and removed by id; only the process that made an overlay
//   may change it, and its overlays go when it ends.
// - The wait mark shows while any process has the wait cursor up (the window service tells of
//   SetCursor); a process that ends drops its ask.
// - Input: stylus and key events go to the InputSink; Rotate rotates the screen and then calls
//   the rotation hook; PowerOff (the presenter window closed) shuts the device down. Input
//   arrives on the presenter's thread and on the input player's thread, never on the loop
//   thread; events are handed over one at a time, in order.
// - Presenters: the headless one (screenshots) always; the SDL window when the host was booted
//   with one. A window that cannot open makes the boot fail (ready() says why).
#pragma once

#include "../src/protocol/screen_messages.h"
#include "../src/screen/input_sink.h"
#include "../src/screen/screen.h"
#include "../src/screen/sdl_presenter.h"
#include "host_options.h"
#include "host_server.h"
#include "input_player.h"
#include "window_listing.h"

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace ce::host {

class ScreenService : public ProcessObserver {
public:
  // Most events one PlayInput request may carry.
  static constexpr std::uint32_t kMaximumInputEvents = protocol::PlayInputRequest::kMaxEvents;
  using RotationHook = std::function<void(int width, int height)>;

  ScreenService(HostServer &server, const HostOptions &options);
  ~ScreenService() override;
  ScreenService(const ScreenService &) = delete;
  ScreenService &operator=(const ScreenService &) = delete;

  // False, with the reason, when the screen or the requested window could not be made.
  bool ready(std::string *why) const;

  // Where stylus and key input goes from now on (null: it is dropped). Waits for a delivery in
  // progress to end, so a sink that unsets itself before it goes is never called afterwards.
  void setInputSink(InputSink *sink);
  // Called after each rotation with the new size (on the thread that delivered the Rotate).
  void setRotationHook(RotationHook hook);
  // Answers ListWindows; without one the device has no windows to list.
  void setWindowListing(WindowListing *listing) { listing_ = listing; }

  std::shared_ptr<Screen> screen() const { return screen_; }
  // Routes one input event as described above; callable from any thread but the loop's.
  void input(const InputEvent &event);
  // Runs `then` (on the input player's thread) once the input queued so far by the input verbs
  // has been routed.
  void afterQueuedInput(std::function<void()> then) { player_->afterQueued(std::move(then)); }

  void onProcessExit(DWORD pid) override;
  // Puts the wait mark up or takes it down for a process (the window service's SetCursor comes
  // this way). Loop thread only.
  void setWaitMark(DWORD pid, bool on);

private:
  protocol::Answer<protocol::GetFramebufferRequest::Reply> getFramebuffer();
  protocol::Answer<protocol::AddOverlayRequest::Reply>
  addOverlay(HostRequest &request, protocol::AddOverlayRequest &overlay);
  DWORD placeOverlay(HostRequest &request, const protocol::PlaceOverlayRequest &place);
  DWORD moveOverlay(HostRequest &request, const protocol::MoveOverlayRequest &move);
  DWORD removeOverlay(HostRequest &request, const protocol::RemoveOverlayRequest &remove);
  DWORD screenshot(const protocol::ScreenshotRequest &screenshot);
  DWORD playInput(protocol::PlayInputRequest &play);
  protocol::Answer<protocol::ListWindowsRequest::Reply> listWindows();
  // ERROR_SUCCESS when the overlay exists and belongs to the requester.
  DWORD ownership(HostRequest &request, std::uint32_t id);

  HostServer &server_;
  HostOptions options_;
  std::string error_;
  std::shared_ptr<Screen> screen_;
  std::set<DWORD> waiting_; // processes with the wait mark up
  WindowListing *listing_ = nullptr;

  std::mutex inputMutex_; // one delivery at a time; guards sink_ and rotationHook_
  InputSink *sink_ = nullptr;
  RotationHook rotationHook_;

  std::unique_ptr<InputPlayer> player_;
  std::unique_ptr<SdlPresenter> presenter_;
};

} // namespace ce::host
