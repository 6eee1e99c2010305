#include "screen_service.h"

#include "../screen/local_display.h"

#include <ce/core/device_profile.h>
#include <ce/core/png_writer.h>
#include <ce/core/utf.h>
#include <ce/errors.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace ce::host {
namespace {

using protocol::MessageType;

constexpr std::int32_t kCoordinateLimit = 32768;
constexpr std::size_t kMaximumPathUnits = 4096;

bool readRect(protocol::MessageReader &reader, RECT &rect) {
  std::int32_t v[4] = {};
  for (auto &value : v)
    reader.i32(value);
  rect = RECT{v[0], v[1], v[2], v[3]};
  return reader.ok();
}

bool inRange(std::int32_t value) { return value >= -kCoordinateLimit && value <= kCoordinateLimit; }

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
  Display::setCurrent(std::make_shared<LocalDisplay>(screen_, static_cast<std::uint32_t>(::getpid())));
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

  server_.registerHandler(MessageType::GetFramebuffer, [this](HostRequest &r) { getFramebuffer(r); });
  server_.registerHandler(MessageType::AddOverlay, [this](HostRequest &r) { addOverlay(r); });
  server_.registerHandler(MessageType::PlaceOverlay, [this](HostRequest &r) { placeOverlay(r); });
  server_.registerHandler(MessageType::MoveOverlay, [this](HostRequest &r) { moveOverlay(r); });
  server_.registerHandler(MessageType::RemoveOverlay, [this](HostRequest &r) { removeOverlay(r); });
  server_.registerHandler(MessageType::Screenshot, [this](HostRequest &r) { screenshot(r); });
  server_.registerHandler(MessageType::PlayInput, [this](HostRequest &r) { playInput(r); });
  server_.registerHandler(MessageType::ListWindows, [this](HostRequest &r) { listWindows(r); });
  server_.acceptDescriptors(MessageType::AddOverlay);
  server_.acceptDescriptors(MessageType::PlayInput);
  server_.addObserver(this);
}

ScreenService::~ScreenService() {
  // Input threads first: nothing may reach the sink or the screen while they go.
  presenter_.reset();
  player_.reset();
  Display::setCurrent(nullptr);
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

void ScreenService::getFramebuffer(HostRequest &request) {
  if (!request.reader().complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const Framebuffer &framebuffer = screen_->framebuffer();
  protocol::MessageWriter writer;
  writer.u32(static_cast<std::uint32_t>(framebuffer.width()))
      .u32(static_cast<std::uint32_t>(framebuffer.height()))
      .descriptor(framebuffer.fd());
  request.reply(ERROR_SUCCESS, writer);
}

void ScreenService::addOverlay(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t width = 0, height = 0, stride = 0, format = 0;
  reader.u32(width);
  reader.u32(height);
  reader.u32(stride);
  reader.u32(format);
  auto &fds = request.message().descriptors;
  if (!reader.complete() || fds.size() != 1 || format > 1 || width == 0 || height == 0 ||
      width > 4096 || height > 4096 || stride > 4 * 4096 * 4) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  // Overlays live as long as their process; a tool has no process life to end them.
  if (request.peer().isTool()) {
    request.reply(ERROR_ACCESS_DENIED);
    return;
  }
  OverlayPixels pixels;
  pixels.width = static_cast<int>(width);
  pixels.height = static_cast<int>(height);
  pixels.stride = static_cast<std::ptrdiff_t>(stride);
  pixels.format = format == 0 ? OverlayFormat::Rgb565 : OverlayFormat::Premultiplied32;
  // attach() insists on a memfd sealed against shrinking, so the composer never faults on it.
  pixels.memory = SharedMemory::attach(fds[0].get(), static_cast<std::size_t>(stride) * height);
  if (!pixels.memory || !pixels.sound()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const std::uint32_t id = screen_->overlays().add(pixels, request.peer().pid());
  if (id == 0) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  protocol::MessageWriter writer;
  writer.u32(id);
  request.reply(ERROR_SUCCESS, writer);
}

bool ScreenService::ownsOverlay(HostRequest &request, std::uint32_t id) {
  const auto overlay = screen_->overlays().find(id);
  if (!overlay) {
    request.reply(ERROR_INVALID_HANDLE);
    return false;
  }
  if (overlay->owner != request.peer().pid()) {
    request.reply(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

void ScreenService::placeOverlay(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t id = 0, visible = 0, keyed = 0;
  OverlayPlacement placement;
  reader.u32(id);
  readRect(reader, placement.source);
  readRect(reader, placement.destination);
  reader.u32(visible);
  reader.u32(keyed);
  reader.u32(placement.keyLow);
  reader.u32(placement.keyHigh);
  if (!reader.complete() || visible > 1 || keyed > 1) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  placement.visible = visible != 0;
  placement.colourKeyed = keyed != 0;
  if (!ownsOverlay(request, id))
    return;
  request.reply(screen_->overlays().place(id, placement) ? ERROR_SUCCESS
                                                         : ERROR_INVALID_PARAMETER);
}

void ScreenService::moveOverlay(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t id = 0;
  std::int32_t x = 0, y = 0;
  reader.u32(id);
  reader.i32(x);
  reader.i32(y);
  if (!reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (!ownsOverlay(request, id))
    return;
  request.reply(screen_->overlays().move(id, x, y) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
}

void ScreenService::removeOverlay(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t id = 0;
  reader.u32(id);
  if (!reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (!ownsOverlay(request, id))
    return;
  screen_->overlays().remove(id);
  request.reply(ERROR_SUCCESS);
}

void ScreenService::setWaitMark(DWORD pid, bool on) {
  if (on)
    waiting_.insert(pid);
  else
    waiting_.erase(pid);
  screen_->setWaitCursor(!waiting_.empty());
}

void ScreenService::screenshot(HostRequest &request) {
  auto reader = request.reader();
  std::u16string path;
  std::uint32_t window = 0;
  reader.name(path, kMaximumPathUnits);
  reader.u32(window);
  if (!reader.complete() || window > 1 || path.empty() || path.front() != u'/') {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const std::filesystem::path file(toUtf8(path));
  std::string error;
  bool written = false;
  if (window) {
    if (!presenter_) {
      request.reply(ERROR_NOT_SUPPORTED);
      return;
    }
    ScreenImage image;
    written = presenter_->readWindow(image, &error) && writePng(image.view(), file, &error);
  } else {
    written = screen_->saveScreenshot(file, &error);
  }
  if (!written) {
    server_.log().line("screenshot to " + file.string() + " failed: " + error);
    request.reply(ERROR_WRITE_FAULT);
    return;
  }
  request.reply(ERROR_SUCCESS);
}

void ScreenService::playInput(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t count = 0;
  reader.u32(count);
  auto &fds = request.message().descriptors;
  if (!reader.ok() || count > kMaximumInputEvents || fds.size() != 1) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  std::vector<TimedInput> events;
  events.reserve(count);
  std::uint32_t last = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t at = 0, kind = 0, key = 0, character = 0;
    std::int32_t x = 0, y = 0;
    reader.u32(at);
    reader.u32(kind);
    reader.i32(x);
    reader.i32(y);
    reader.u32(key);
    reader.u32(character);
    // Times never go back and stay within a gesture's longest; only what a user can do with
    // the stylus, the keys and the device itself is accepted (closing the window is not).
    if (!reader.ok() || at < last || at > StylusGesture::kMaximumDuration ||
        kind > static_cast<std::uint32_t>(InputKind::Rotate) || !inRange(x) || !inRange(y) ||
        key > 0xFF || character > 0xFFFF) {
      request.reply(ERROR_INVALID_PARAMETER);
      return;
    }
    last = at;
    InputEvent event;
    event.kind = static_cast<InputKind>(kind);
    event.x = x;
    event.y = y;
    event.key = static_cast<std::uint8_t>(key);
    event.character = static_cast<char16_t>(character);
    events.push_back(TimedInput{at, event});
  }
  struct stat info{};
  if (!reader.complete() || ::fstat(fds[0].get(), &info) != 0 || !S_ISFIFO(info.st_mode)) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  player_->play(std::move(events), std::move(fds[0]));
  request.reply(ERROR_SUCCESS);
}

void ScreenService::listWindows(HostRequest &request) {
  if (!request.reader().complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  std::vector<WindowLine> lines;
  if (listing_)
    lines = listing_->listWindows();
  protocol::MessageWriter writer;
  writer.u32(static_cast<std::uint32_t>(lines.size()));
  for (const WindowLine &line : lines) {
    writer.u64(line.handle).string(line.className).string(line.title).u32(line.pid);
    writer.i32(line.rect.left).i32(line.rect.top).i32(line.rect.right).i32(line.rect.bottom);
    writer.u32(line.visible ? 1 : 0).u32(line.foreground ? 1 : 0);
  }
  if (writer.overflowed()) {
    request.reply(ERROR_INSUFFICIENT_BUFFER);
    return;
  }
  request.reply(ERROR_SUCCESS, writer);
}

} // namespace ce::host
