#include "screen_service.h"

#include "../src/screen/local_display.h"

#include <ce/core/device_profile.h>
#include <ce/core/png_writer.h>
#include <ce/core/utf.h>
#include <ce/errors.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace ce::host {
namespace {

using namespace protocol;

} // namespace

ScreenService::ScreenService(HostServer &server, const HostOptions &options)
    : server_(server), options_(options) {
  const DeviceProfile profile = DeviceProfile::current();
  screen_ = Screen::create(profile.screenWidth, profile.screenHeight, &error_);
  if (!screen_) {
    error_ = "cannot make the screen: " + error_;
    server_.log().line(error_);
    return;
  }
  // Device code running inside the host draws straight into the screen.
  useDisplay(
      std::make_shared<LocalDisplay>(screen_, static_cast<std::uint32_t>(::getpid())));
  player_ = std::make_unique<InputPlayer>([this](const InputEvent &event) { input(event); });
  if (options_.window) {
    std::string why;
    presenter_ = SdlPresenter::start(
        screen_, options_.zoom, [this](const InputEvent &event) { input(event); }, &why);
    if (!presenter_) {
      error_ = "cannot open the screen's window: " + why;
      server_.log().line(error_);
      return;
    }
    server_.log().line("screen window open, zoom " + std::to_string(options_.zoom));
  }
  server_.log().line("screen " + std::to_string(screen_->framebuffer().width()) + "x" +
                     std::to_string(screen_->framebuffer().height()));

  server_.on<GetFramebufferRequest>(
      [this](HostRequest &, GetFramebufferRequest &) { return getFramebuffer(); });
  server_.on<AddOverlayRequest>(
      [this](HostRequest &r, AddOverlayRequest &overlay) { return addOverlay(r, overlay); });
  server_.on<PlaceOverlayRequest>(
      [this](HostRequest &r, PlaceOverlayRequest &place) { return placeOverlay(r, place); });
  server_.on<MoveOverlayRequest>(
      [this](HostRequest &r, MoveOverlayRequest &move) { return moveOverlay(r, move); });
  server_.on<RemoveOverlayRequest>(
      [this](HostRequest &r, RemoveOverlayRequest &remove) { return removeOverlay(r, remove); });
  server_.on<ScreenshotRequest>(
      [this](HostRequest &, ScreenshotRequest &request) { return screenshot(request); });
  server_.on<PlayInputRequest>(
      [this](HostRequest &, PlayInputRequest &play) { return playInput(play); });
  server_.on<ListWindowsRequest>(
      [this](HostRequest &, ListWindowsRequest &) { return listWindows(); });
  server_.addObserver(this);
}

ScreenService::~ScreenService() {
  // Input threads first: nothing may reach the sink or the screen while they go.
  presenter_.reset();
  player_.reset();
  useDisplay(nullptr);
}

bool ScreenService::ready(std::string *why) const {
  if (error_.empty())
    return true;
  if (why)
    *why = error_;
  return false;
}

void ScreenService::setInputSink(InputSink *sink) {
  std::lock_guard<std::mutex> lock(inputMutex_);
  sink_ = sink;
}

void ScreenService::setRotationHook(RotationHook hook) {
  std::lock_guard<std::mutex> lock(inputMutex_);
  rotationHook_ = std::move(hook);
}

void ScreenService::input(const InputEvent &event) {
  std::lock_guard<std::mutex> lock(inputMutex_);
  switch (event.kind) {
  case InputKind::Rotate:
    screen_->rotate();
    if (rotationHook_)
      rotationHook_(screen_->framebuffer().width(), screen_->framebuffer().height());
    return;
  case InputKind::PowerOff:
    server_.log().line("the screen's window was closed: shutting down");
    server_.stop();
    return;
  default:
    if (sink_)
      sink_->deliverInput(event);
    return;
  }
}

void ScreenService::onProcessExit(DWORD pid) {
  screen_->overlays().removeOwnedBy(pid);
  if (waiting_.erase(pid) != 0)
    screen_->setWaitCursor(!waiting_.empty());
}

Answer<GetFramebufferRequest::Reply> ScreenService::getFramebuffer() {
  const Framebuffer &framebuffer = screen_->framebuffer();
  return GetFramebufferRequest::Reply{static_cast<std::uint32_t>(framebuffer.width()),
                                      static_cast<std::uint32_t>(framebuffer.height()),
                                      Descriptor::borrow(framebuffer.fd())};
}

Answer<AddOverlayRequest::Reply> ScreenService::addOverlay(HostRequest &request,
                                                           AddOverlayRequest &overlay) {
  // Overlays live as long as their process; a tool has no process life to end them.
  if (request.peer().isTool())
    return ERROR_ACCESS_DENIED;
  OverlayPixels pixels;
  pixels.width = static_cast<int>(overlay.width);
  pixels.height = static_cast<int>(overlay.height);
  pixels.stride = static_cast<std::ptrdiff_t>(overlay.stride);
  pixels.format = overlay.format == 0 ? OverlayFormat::Rgb565 : OverlayFormat::Premultiplied32;
  // attach() insists on a memfd sealed against shrinking, so the composer never faults on it.
  pixels.memory = SharedMemory::attach(overlay.pixels.get(),
                                       static_cast<std::size_t>(overlay.stride) * overlay.height);
  if (!pixels.memory || !pixels.sound())
    return ERROR_INVALID_PARAMETER;
  const std::uint32_t id = screen_->overlays().add(pixels, request.peer().pid());
  if (id == 0)
    return ERROR_INVALID_PARAMETER;
  return AddOverlayRequest::Reply{id};
}

DWORD ScreenService::ownership(HostRequest &request, std::uint32_t id) {
  const auto overlay = screen_->overlays().find(id);
  if (!overlay)
    return ERROR_INVALID_HANDLE;
  return overlay->owner == request.peer().pid() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD ScreenService::placeOverlay(HostRequest &request, const PlaceOverlayRequest &place) {
  if (const DWORD owned = ownership(request, place.id); owned != ERROR_SUCCESS)
    return owned;
  return screen_->overlays().place(place.id, place.placement) ? ERROR_SUCCESS
                                                              : ERROR_INVALID_PARAMETER;
}

DWORD ScreenService::moveOverlay(HostRequest &request, const MoveOverlayRequest &move) {
  if (const DWORD owned = ownership(request, move.id); owned != ERROR_SUCCESS)
    return owned;
  return screen_->overlays().move(move.id, move.x, move.y) ? ERROR_SUCCESS
                                                           : ERROR_INVALID_PARAMETER;
}

DWORD ScreenService::removeOverlay(HostRequest &request, const RemoveOverlayRequest &remove) {
  if (const DWORD owned = ownership(request, remove.id); owned != ERROR_SUCCESS)
    return owned;
  screen_->overlays().remove(remove.id);
  return ERROR_SUCCESS;
}

void ScreenService::setWaitMark(DWORD pid, bool on) {
  if (on)
    waiting_.insert(pid);
  else
    waiting_.erase(pid);
  screen_->setWaitCursor(!waiting_.empty());
}

DWORD ScreenService::screenshot(const ScreenshotRequest &request) {
  if (request.path.front() != u'/')
    return ERROR_INVALID_PARAMETER;
  const std::filesystem::path file(toUtf8(request.path));
  std::string error;
  bool written = false;
  if (request.window) {
    if (!presenter_)
      return ERROR_NOT_SUPPORTED;
    ScreenImage image;
    written = presenter_->readWindow(image, &error) && writePng(image.view(), file, &error);
  } else {
    written = screen_->saveScreenshot(file, &error);
  }
  if (!written) {
    server_.log().line("screenshot to " + file.string() + " failed: " + error);
    return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

DWORD ScreenService::playInput(PlayInputRequest &play) {
  std::vector<TimedInput> events;
  events.reserve(play.events.size());
  std::uint32_t last = 0;
  for (const PlayedInput &played : play.events) {
    // Times never go back.
    if (played.atMs < last)
      return ERROR_INVALID_PARAMETER;
    last = played.atMs;
    InputEvent event;
    event.kind = static_cast<InputKind>(played.kind);
    event.x = played.x;
    event.y = played.y;
    event.key = static_cast<std::uint8_t>(played.key);
    event.character = static_cast<char16_t>(played.character);
    events.push_back(TimedInput{played.atMs, event});
  }
  UniqueFd done = play.done.take();
  struct stat info {};
  if (::fstat(done.get(), &info) != 0 || !S_ISFIFO(info.st_mode))
    return ERROR_INVALID_PARAMETER;
  player_->play(std::move(events), std::move(done));
  return ERROR_SUCCESS;
}

Answer<ListWindowsRequest::Reply> ScreenService::listWindows() {
  ListWindowsRequest::Reply reply;
  if (listing_)
    reply.windows = listing_->listWindows();
  if (encodedSize(reply) > kMaxPayloadSize)
    return ERROR_INSUFFICIENT_BUFFER;
  return reply;
}

} // namespace ce::host
