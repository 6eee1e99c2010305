#include "sdl_presenter.h"

#include "sdl_input_translator.h"

#include <chrono>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace ce {
namespace {

// Everything SDL made for the window, destroyed in reverse order.
struct WindowParts {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;

  ~WindowParts() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
  }

  // A texture of the image's size, and the window at the image's size times the zoom.
  bool fit(int width, int height, int zoom) {
    if (texture && textureWidth == width && textureHeight == height) return true;
    if (texture) SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                                width, height);
    if (!texture) return false;
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    textureWidth = width;
    textureHeight = height;
    SDL_SetWindowSize(window, width * zoom, height * zoom);
    SDL_RenderSetLogicalSize(renderer, 0, 0);
    return true;
  }
};

} // namespace

std::unique_ptr<SdlPresenter> SdlPresenter::start(std::shared_ptr<Screen> screen, int zoom,
                                                  InputHandler handler, std::string* error) {
  if (!screen || zoom < 1 || zoom > kMaximumZoom) {
    if (error) *error = "zoom must be 1 to " + std::to_string(kMaximumZoom);
    return nullptr;
  }
  std::unique_ptr<SdlPresenter> presenter(new SdlPresenter(std::move(screen), zoom, std::move(handler)));
  presenter->thread_ = std::thread([p = presenter.get()] { p->run(); });
  std::unique_lock<std::mutex> lock(presenter->mutex_);
  presenter->changed_.wait(lock, [&] { return presenter->started_; });
  if (!presenter->running_) {
    if (error) *error = presenter->startError_;
    lock.unlock();
    presenter->thread_.join();
    return nullptr;
  }
  return presenter;
}

SdlPresenter::~SdlPresenter() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
}

bool SdlPresenter::readWindow(ScreenImage& window, std::string* error) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!running_) {
    if (error) *error = "the presenter has stopped";
    return false;
  }
  const std::uint64_t ticket = ++readRequests_;
  changed_.wait(lock, [&] { return readsDone_ >= ticket || !running_; });
  if (readsDone_ < ticket || !readOk_) {
    if (error) *error = readsDone_ < ticket ? "the presenter has stopped" : readError_;
    return false;
  }
  window = readImage_;
  return true;
}

void SdlPresenter::run() {
  const auto finishStart = [this](bool ok, std::string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = true;
    running_ = ok;
    startError_ = std::move(message);
    changed_.notify_all();
  };
  // The device window needs neither the desktop's screen-saver inhibition nor its input
  // methods (keys are mapped to the device's own), both of which talk to the session bus.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
#if defined(__SANITIZE_ADDRESS__)
  // The session-bus library that SDL loads keeps memory for the life of the process, allocated
  // on this thread at start-up and while events are pumped; it is not ours to free, so the
  // leak checker ignores this thread's allocations (it does only SDL work and composition).
  __lsan::ScopedDisabler systemLibraries;
#endif
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    finishStart(false, std::string("cannot open a window: ") + SDL_GetError());
    return;
  }
  {
    WindowParts parts;
    ScreenImage image;
    screen_->compose(image);
    parts.window = SDL_CreateWindow("Device", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                    image.width * zoom_, image.height * zoom_, SDL_WINDOW_SHOWN);
    // The software renderer draws exactly the pixels we give it, scaled by whole pixels.
    if (parts.window)
      parts.renderer = SDL_CreateRenderer(parts.window, -1, SDL_RENDERER_SOFTWARE);
    if (!parts.renderer || !parts.fit(image.width, image.height, zoom_)) {
      const std::string message = std::string("cannot open a window: ") + SDL_GetError();
      finishStart(false, message);
    } else {
      SDL_StopTextInput();
      finishStart(true, {});
      SdlInputTranslator translator;
      SDL_DisplayMode mode{};
      const int rate =
          SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
      const auto interval = std::chrono::microseconds(1000000 / rate);
      auto nextFrame = std::chrono::steady_clock::now();
      while (!stopping_.load()) {
        translator.setGeometry(image.width, image.height, zoom_);
        SDL_Event event;
        while (SDL_PollEvent(&event))
          for (const InputEvent& input : translator.translate(event))
            if (handler_) handler_(input);

        screen_->compose(image);
        bool drawn = parts.fit(image.width, image.height, zoom_) &&
                     SDL_UpdateTexture(parts.texture, nullptr, image.bgr.data(),
                                       int(image.stride())) == 0 &&
                     SDL_RenderClear(parts.renderer) == 0 &&
                     SDL_RenderCopy(parts.renderer, parts.texture, nullptr, nullptr) == 0;

        // Read-back requests are served from the frame just drawn, before it is presented.
        std::uint64_t pending = 0;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          pending = readRequests_;
          if (pending > readsDone_) {
            readOk_ = false;
            if (!drawn) {
              readError_ = std::string("drawing failed: ") + SDL_GetError();
            } else {
              readImage_.resize(image.width * zoom_, image.height * zoom_);
              if (SDL_RenderReadPixels(parts.renderer, nullptr, SDL_PIXELFORMAT_BGR24,
                                       readImage_.bgr.data(), int(readImage_.stride())) == 0)
                readOk_ = true;
              else
                readError_ = std::string("reading the window failed: ") + SDL_GetError();
            }
            readsDone_ = pending;
            changed_.notify_all();
          }
        }
        if (drawn) {
          SDL_RenderPresent(parts.renderer);
          frames_.fetch_add(1);
        }
        nextFrame += interval;
        const auto now = std::chrono::steady_clock::now();
        if (nextFrame < now) nextFrame = now;
        std::this_thread::sleep_until(nextFrame);
      }
    }
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_Quit();
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  changed_.notify_all();
}

} // namespace ce
