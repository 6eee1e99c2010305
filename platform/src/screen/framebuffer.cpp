#include "framebuffer.h"

#include <atomic>
#include <cstring>
#include <new>

namespace ce {

// Lives at the start of the shared block; every field is read by other processes.
struct Framebuffer::Header {
  static constexpr std::uint32_t kMagic = 0x35363542; // "B565"
  std::atomic<std::uint32_t> magic;
  std::atomic<std::uint32_t> width;
  std::atomic<std::uint32_t> height;
  std::atomic<std::uint32_t> generation;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free,
              "the header is shared between processes");

namespace {

bool sideInRange(std::int64_t side) { return side >= 1 && side <= Framebuffer::kMaximumSide; }

std::size_t blockSize(int width, int height) {
  return Framebuffer::kPixelOffset + std::size_t(width) * std::size_t(height) * 2;
}

} // namespace

Framebuffer::Framebuffer(std::unique_ptr<SharedMemory> memory, bool owner, int width, int height)
    : memory_(std::move(memory)), owner_(owner), width_(width), height_(height) {}

Framebuffer::Header* Framebuffer::header() const {
  return std::launder(reinterpret_cast<Header*>(memory_->data()));
}

std::unique_ptr<Framebuffer> Framebuffer::create(int width, int height, std::string* error) {
  if (!sideInRange(width) || !sideInRange(height)) {
    if (error) *error = "screen size out of range";
    return nullptr;
  }
  auto memory = SharedMemory::create(blockSize(width, height), "ce-framebuffer", error);
  if (!memory) return nullptr;
  auto* header = new (memory->data()) Header{};
  header->width.store(std::uint32_t(width));
  header->height.store(std::uint32_t(height));
  header->generation.store(0);
  header->magic.store(Header::kMagic, std::memory_order_release);
  return std::unique_ptr<Framebuffer>(new Framebuffer(std::move(memory), true, width, height));
}

std::unique_ptr<Framebuffer> Framebuffer::attach(int fd, std::string* error) {
  auto memory = SharedMemory::attach(fd, kPixelOffset + 2, error);
  if (!memory) return nullptr;
  auto* header = std::launder(reinterpret_cast<Header*>(memory->data()));
  const std::uint32_t width = header->width.load();
  const std::uint32_t height = header->height.load();
  if (header->magic.load(std::memory_order_acquire) != Header::kMagic || !sideInRange(width) ||
      !sideInRange(height) || blockSize(int(width), int(height)) > memory->size()) {
    if (error) *error = "not a framebuffer";
    return nullptr;
  }
  return std::unique_ptr<Framebuffer>(
      new Framebuffer(std::move(memory), false, int(width), int(height)));
}

void Framebuffer::refresh() const {
  if (owner_) return;
  const std::uint32_t width = header()->width.load(std::memory_order_acquire);
  const std::uint32_t height = header()->height.load(std::memory_order_acquire);
  if (!sideInRange(width) || !sideInRange(height) ||
      blockSize(int(width), int(height)) > memory_->size())
    return;
  std::lock_guard<std::mutex> lock(refreshMutex_);
  width_ = int(width);
  height_ = int(height);
}

int Framebuffer::width() const {
  refresh();
  std::lock_guard<std::mutex> lock(refreshMutex_);
  return width_;
}

int Framebuffer::height() const {
  refresh();
  std::lock_guard<std::mutex> lock(refreshMutex_);
  return height_;
}

std::uint32_t Framebuffer::generation() const {
  return header()->generation.load(std::memory_order_acquire);
}

PixelMemory Framebuffer::pixels() const {
  refresh();
  std::lock_guard<std::mutex> lock(refreshMutex_);
  PixelMemory memory;
  memory.bits = memory_->data() + kPixelOffset;
  memory.width = width_;
  memory.height = height_;
  memory.stride = std::ptrdiff_t(width_) * 2;
  memory.format = FramebufferFormat::Rgb565;
  return memory;
}

std::uint16_t* Framebuffer::row(int y) const {
  const PixelMemory memory = pixels();
  return reinterpret_cast<std::uint16_t*>(static_cast<std::byte*>(memory.bits) +
                                          std::ptrdiff_t(y) * memory.stride);
}

bool Framebuffer::rotate() {
  if (!owner_) return false;
  std::unique_lock<std::shared_mutex> writer(mutex_);
  std::lock_guard<std::mutex> lock(refreshMutex_);
  std::swap(width_, height_);
  std::memset(memory_->data() + kPixelOffset, 0, std::size_t(width_) * std::size_t(height_) * 2);
  header()->width.store(std::uint32_t(width_), std::memory_order_release);
  header()->height.store(std::uint32_t(height_), std::memory_order_release);
  header()->generation.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

} // namespace ce
