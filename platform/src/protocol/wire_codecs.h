// How each kind of field is written to a message and read from one: integers, flags, window
// handles, strings, names, byte blobs, descriptors, lists, optional values and nested records.
//
// A codec carries its field's limits. Reading refuses a value that breaks them, and so does
// writing (the writer is marked unwritable): nothing leaves a process that its receiver would
// refuse. Every codec knows the fewest bytes its field takes (kMinBytes), so that a list's count
// is checked against what is left before anything is reserved for it.
//
// The wire forms: integers as 4 or 8 bytes in host order; a flag as u32 0 or 1 (anything else
// is refused); a handle as u64; a string as u32 count of UTF-16 units, then the units; a blob as
// u32 byte count, then the bytes; a list as u32 count, then the elements; an optional value as
// a flag, then the value (its default when absent, so the field keeps its size); a record as
// its fields in order. Descriptors take no payload bytes: they ride along with the packet, in
// the order the fields declare them.
#pragma once

#include "descriptor.h"
#include "message_reader.h"
#include "message_writer.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace ce::protocol {

// A payload being read, with the descriptors that came with it, taken in order.
class FieldReader {
public:
  FieldReader(std::span<const std::uint8_t> payload, std::span<UniqueFd> descriptors)
      : bytes_(payload), descriptors_(descriptors) {}

  MessageReader &bytes() { return bytes_; }
  // Takes the next descriptor; false when none is left.
  bool descriptor(UniqueFd &out) {
    if (nextDescriptor_ >= descriptors_.size())
      return false;
    out = std::move(descriptors_[nextDescriptor_++]);
    return true;
  }
  // Every byte and every descriptor was taken.
  bool complete() const { return bytes_.complete() && nextDescriptor_ == descriptors_.size(); }

private:
  MessageReader bytes_;
  std::span<UniqueFd> descriptors_;
  std::size_t nextDescriptor_ = 0;
};

namespace wire {

// Declared types list their fields in a static fields() (see field_list.h); types that cannot
// (RECT, POINT, SIZE) get theirs from a specialisation of WireLayout.
template <class T> struct WireLayout;

template <class T>
concept Declared = requires {
  T::fields();
}
|| requires { WireLayout<T>::fields(); };

template <Declared T> constexpr auto fieldsOf() {
  if constexpr (requires { T::fields(); })
    return T::fields();
  else
    return WireLayout<T>::fields();
}

// Defined in field_list.h, over a type's field list.
template <Declared T> void writeFields(MessageWriter &writer, const T &value);
template <Declared T> bool readFields(FieldReader &reader, T &value);
template <Declared T> std::size_t sizeOfFields(const T &value);
template <Declared T> constexpr std::size_t minBytesOfFields();
template <Declared T> constexpr bool fieldsCarryDescriptors();

// An integer of 4 or 8 bytes within [min, max].
template <class T> struct Number {
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                    (sizeof(T) == 4 || sizeof(T) == 8),
                "a number on the wire has 4 or 8 bytes");
  static constexpr std::size_t kMinBytes = sizeof(T);
  static constexpr bool kDescriptors = false;
  T min = std::numeric_limits<T>::lowest();
  T max = std::numeric_limits<T>::max();

  void write(MessageWriter &writer, T value) const {
    if (value < min || value > max) {
      writer.refuse();
      return;
    }
    if constexpr (sizeof(T) == 4 && std::is_signed_v<T>)
      writer.i32(static_cast<std::int32_t>(value));
    else if constexpr (sizeof(T) == 4)
      writer.u32(static_cast<std::uint32_t>(value));
    else if constexpr (std::is_signed_v<T>)
      writer.i64(static_cast<std::int64_t>(value));
    else
      writer.u64(static_cast<std::uint64_t>(value));
  }
  bool read(FieldReader &reader, T &value) const {
    bool ok = false;
    if constexpr (sizeof(T) == 4 && std::is_signed_v<T>) {
      std::int32_t wire = 0;
      ok = reader.bytes().i32(wire);
      value = static_cast<T>(wire);
    } else if constexpr (sizeof(T) == 4) {
      std::uint32_t wire = 0;
      ok = reader.bytes().u32(wire);
      value = static_cast<T>(wire);
    } else if constexpr (std::is_signed_v<T>) {
      std::int64_t wire = 0;
      ok = reader.bytes().i64(wire);
      value = static_cast<T>(wire);
    } else {
      std::uint64_t wire = 0;
      ok = reader.bytes().u64(wire);
      value = static_cast<T>(wire);
    }
    return ok && value >= min && value <= max;
  }
  std::size_t size(T) const { return sizeof(T); }
};

// A yes or no: u32 0 or 1.
struct Flag {
  static constexpr std::size_t kMinBytes = 4;
  static constexpr bool kDescriptors = false;
  void write(MessageWriter &writer, bool value) const { writer.u32(value ? 1 : 0); }
  bool read(FieldReader &reader, bool &value) const {
    std::uint32_t wire = 0;
    if (!reader.bytes().u32(wire) || wire > 1)
      return false;
    value = wire != 0;
    return true;
  }
  std::size_t size(bool) const { return 4; }
};

// A handle (HWND and the like) as the u64 of its value.
template <class H> struct Handle {
  static_assert(std::is_pointer_v<H>);
  static constexpr std::size_t kMinBytes = 8;
  static constexpr bool kDescriptors = false;
  void write(MessageWriter &writer, H value) const {
    writer.u64(reinterpret_cast<std::uintptr_t>(value));
  }
  bool read(FieldReader &reader, H &value) const {
    std::uint64_t wire = 0;
    const bool ok = reader.bytes().u64(wire);
    value = reinterpret_cast<H>(static_cast<std::uintptr_t>(wire));
    return ok;
  }
  std::size_t size(H) const { return 8; }
};

// A string of at most maxUnits UTF-16 units.
struct Text {
  static constexpr std::size_t kMinBytes = 4;
  static constexpr bool kDescriptors = false;
  std::size_t maxUnits = kMaxStringUnits;

  void write(MessageWriter &writer, const std::u16string &value) const {
    if (value.size() > maxUnits)
      writer.refuse();
    else
      writer.string(value);
  }
  bool read(FieldReader &reader, std::u16string &value) const {
    return reader.bytes().string(value, maxUnits);
  }
  std::size_t size(const std::u16string &value) const { return 4 + 2 * value.size(); }
};

// A string that names something: 1..maxUnits units, no NUL, no unpaired surrogate.
struct Name {
  static constexpr std::size_t kMinBytes = 4;
  static constexpr bool kDescriptors = false;
  std::size_t maxUnits = kMaxStringUnits;

  void write(MessageWriter &writer, const std::u16string &value) const {
    if (!MessageReader::isName(value, maxUnits))
      writer.refuse();
    else
      writer.string(value);
  }
  bool read(FieldReader &reader, std::u16string &value) const {
    return reader.bytes().name(value, maxUnits);
  }
  std::size_t size(const std::u16string &value) const { return 4 + 2 * value.size(); }
};

// At most maxBytes bytes.
struct Bytes {
  static constexpr std::size_t kMinBytes = 4;
  static constexpr bool kDescriptors = false;
  std::size_t maxBytes = kMaxPayloadSize;

  void write(MessageWriter &writer, const std::vector<std::uint8_t> &value) const {
    if (value.size() > maxBytes)
      writer.refuse();
    else
      writer.blob(value);
  }
  bool read(FieldReader &reader, std::vector<std::uint8_t> &value) const {
    return reader.bytes().blob(value, maxBytes);
  }
  std::size_t size(const std::vector<std::uint8_t> &value) const { return 4 + value.size(); }
};

// One descriptor; a message without it is refused, and so is an empty one to send.
struct Fd {
  static constexpr std::size_t kMinBytes = 0;
  static constexpr bool kDescriptors = true;
  void write(MessageWriter &writer, const Descriptor &value) const {
    if (!value)
      writer.refuse();
    else
      writer.descriptor(value.get());
  }
  bool read(FieldReader &reader, Descriptor &value) const {
    UniqueFd fd;
    if (!reader.descriptor(fd))
      return false;
    value = Descriptor(std::move(fd));
    return true;
  }
  std::size_t size(const Descriptor &) const { return 0; }
};

// A declared type's fields, in order.
template <Declared T> struct Record {
  static constexpr std::size_t kMinBytes = minBytesOfFields<T>();
  static constexpr bool kDescriptors = fieldsCarryDescriptors<T>();
  void write(MessageWriter &writer, const T &value) const { writeFields(writer, value); }
  bool read(FieldReader &reader, T &value) const { return readFields(reader, value); }
  std::size_t size(const T &value) const { return sizeOfFields(value); }
};

// At most maxCount elements, each through `element`.
template <class Codec> struct List {
  static constexpr std::size_t kMinBytes = 4;
  static constexpr bool kDescriptors = Codec::kDescriptors;
  std::uint32_t maxCount = std::numeric_limits<std::uint32_t>::max();
  Codec element{};

  template <class E> void write(MessageWriter &writer, const std::vector<E> &value) const {
    if (value.size() > maxCount) {
      writer.refuse();
      return;
    }
    writer.u32(static_cast<std::uint32_t>(value.size()));
    for (const E &item : value) {
      if (writer.overflowed())
        return;
      element.write(writer, item);
    }
  }
  template <class E> bool read(FieldReader &reader, std::vector<E> &value) const {
    std::uint32_t count = 0;
    if (!reader.bytes().u32(count) || count > maxCount)
      return false;
    // Each element takes its fewest bytes at least: a count that the rest cannot hold is
    // refused before anything is reserved for it.
    if constexpr (Codec::kMinBytes > 0)
      if (count > reader.bytes().remaining() / Codec::kMinBytes)
        return false;
    value.clear();
    value.resize(count);
    for (E &item : value)
      if (!element.read(reader, item))
        return false;
    return true;
  }
  template <class E> std::size_t size(const std::vector<E> &value) const {
    std::size_t total = 4;
    for (const E &item : value)
      total += element.size(item);
    return total;
  }
};

// A flag, then the value: the element's default when the flag is 0.
template <class Codec> struct Optional {
  static constexpr std::size_t kMinBytes = 4 + Codec::kMinBytes;
  static constexpr bool kDescriptors = Codec::kDescriptors;
  Codec element{};

  template <class E> void write(MessageWriter &writer, const std::optional<E> &value) const {
    Flag{}.write(writer, value.has_value());
    element.write(writer, value ? *value : E{});
  }
  template <class E> bool read(FieldReader &reader, std::optional<E> &value) const {
    bool present = false;
    E item{};
    if (!Flag{}.read(reader, present) || !element.read(reader, item))
      return false;
    value = present ? std::optional<E>(std::move(item)) : std::nullopt;
    return true;
  }
  template <class E> std::size_t size(const std::optional<E> &value) const {
    return 4 + element.size(value ? *value : E{});
  }
};

} // namespace wire
} // namespace ce::protocol
