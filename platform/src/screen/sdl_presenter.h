// The window presenter: an SDL2 window showing the composed screen, scaled by a whole zoom
// factor with the nearest pixel, refreshed at the display's rate. Its mouse and keyboard become
// device input, handed to the host through a callback on the presenter's thread.
//
// All SDL work happens on the presenter's own thread; the SDL video subsystem is started when
// the presenter starts and shut down when it stops, so one presenter runs at a time.
#pragma once

#include "input_event.h"
#include "screen.h"
#include "screen_image.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ce {

class SdlPresenter {
public:
  using InputHandler = std::function<void(const InputEvent&)>;
  static constexpr int kMaximumZoom = 8;

  // Opens the window (zoom 1 .. kMaximumZoom). Null with a message when there is no display
  // or SDL cannot start.
  static std::unique_ptr<SdlPresenter> start(std::shared_ptr<Screen> screen, int zoom,
                                             InputHandler handler, std::string* error = nullptr);
  ~SdlPresenter();
  SdlPresenter(const SdlPresenter&) = delete;
  SdlPresenter& operator=(const SdlPresenter&) = delete;

  // Waits for a frame composed after this call and reads the window's pixels back (window
  // size: the screen's times the zoom). False when the presenter has stopped or reading fails.
  bool readWindow(ScreenImage& window, std::string* error = nullptr);
  // Frames shown so far.
  std::uint64_t framesShown() const { return frames_.load(); }
  int zoom() const { return zoom_; }

private:
  SdlPresenter(std::shared_ptr<Screen> screen, int zoom, InputHandler handler)
      : screen_(std::move(screen)), zoom_(zoom), handler_(std::move(handler)) {}
  void run();

  std::shared_ptr<Screen> screen_;
  int zoom_;
  InputHandler handler_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> frames_{0};

  // Start-up hand-shake and read-back requests, guarded by mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false;
  bool running_ = false;
  std::string startError_;
  std::uint64_t readRequests_ = 0;
  std::uint64_t readsDone_ = 0;
  bool readOk_ = false;
  std::string readError_;
  ScreenImage readImage_;
};

} // namespace ce
