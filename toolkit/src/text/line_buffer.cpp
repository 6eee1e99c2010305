#include <toolkit/text/line_buffer.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {
constexpr std::uint8_t Magic[4] = {'B', 'D', 'S', 'G'};
// Room kept after the content for the widest terminator.
constexpr std::size_t TerminatorRoom = 2;
} // namespace

LineBuffer::LineBuffer() {
  words_ = std::make_unique<std::uint32_t[]>((HeaderSize + Step) / 4);
  setHeader(Step, 0);
}

std::uint32_t LineBuffer::capacity() const {
  std::uint32_t value;
  std::memcpy(&value, block() + 4, sizeof value);
  return value;
}

std::uint32_t LineBuffer::usedLength() const {
  std::uint32_t value;
  std::memcpy(&value, block() + 8, sizeof value);
  return value;
}

void LineBuffer::setHeader(std::uint32_t capacity, std::uint32_t used) {
  std::memcpy(mutableBlock(), Magic, sizeof Magic);
  std::memcpy(mutableBlock() + 4, &capacity, sizeof capacity);
  std::memcpy(mutableBlock() + 8, &used, sizeof used);
}

void LineBuffer::reserve(std::size_t textBytes) {
  const std::size_t current = capacity();
  if (textBytes <= current)
    return;
  constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - Step;
  if (textBytes > limit)
    throw std::bad_alloc();
  std::size_t wanted = std::max(textBytes, std::min(current * 2, limit));
  wanted = (wanted + Step - 1) / Step * Step;
  auto grown = std::make_unique<std::uint32_t[]>((HeaderSize + wanted) / 4);
  std::memcpy(grown.get(), words_.get(), HeaderSize + size_);
  words_ = std::move(grown);
  setHeader(static_cast<std::uint32_t>(wanted), usedLength());
}

void LineBuffer::clear() {
  size_ = 0;
  setHeader(capacity(), 0);
}

void LineBuffer::append(const void *source, std::size_t count) {
  if (count == 0)
    return;
  reserve(size_ + count + TerminatorRoom);
  std::memcpy(data() + size_, source, count);
  size_ += count;
}

void LineBuffer::truncate(std::size_t count) { size_ = std::min(size_, count); }

void LineBuffer::resize(std::size_t count) {
  reserve(count + TerminatorRoom);
  size_ = count;
}

void LineBuffer::terminate(std::size_t zeroBytes) {
  zeroBytes = std::min(zeroBytes, TerminatorRoom);
  reserve(size_ + TerminatorRoom);
  std::memset(data() + size_, 0, zeroBytes);
  setHeader(capacity(), static_cast<std::uint32_t>(size_ + zeroBytes));
}
