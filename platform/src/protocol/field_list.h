// How a message type declares its fields: a static fields() that lists them in wire order, each
// a member pointer with the codec that carries it (wire_codecs.h) and the codec's limits.
//
//   struct StartProcessRequest {
//     static constexpr MessageType kType = MessageType::StartProcess;
//     std::u16string devicePath;
//     std::u16string arguments;
//     DWORD show = 0;
//     static constexpr auto fields() {
//       using S = StartProcessRequest;
//       return std::tuple{wire::name(&S::devicePath, MAX_PATH), wire::text(&S::arguments),
//                         wire::field(&S::show)};
//     }
//   };
//
// wire::field() picks the codec from the member's type: integers of 4 or 8 bytes, bool (a flag),
// handles, descriptors, std::optional of those, and declared records (RECT, POINT and SIZE
// included). Strings, blobs and lists say their limits: wire::text(), wire::name(),
// wire::blob(), wire::list(). wire::bounded() gives an integer a range.
//
// A declared type may also have `bool wellFormed() const`, checked before it is written and once
// its fields are read, for what no single field can tell (a handle that must not be null, data
// that needs its flag).
#pragma once

#include "wire_codecs.h"

#include <ce/types.h>

namespace ce::protocol::wire {

template <class Owner, class Member, class Codec> struct Field {
  Member Owner::*member;
  Codec codec;
};

template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};

template <class> inline constexpr bool kNoDefaultCodec = false;

// The codec a member of type M gets without saying more.
template <class M> constexpr auto defaultCodec() {
  if constexpr (std::is_same_v<M, bool>)
    return Flag{};
  else if constexpr (std::is_integral_v<M>)
    return Number<M>{};
  else if constexpr (std::is_pointer_v<M>)
    return Handle<M>{};
  else if constexpr (std::is_same_v<M, Descriptor>)
    return Fd{};
  else if constexpr (IsOptional<M>::value)
    return Optional<decltype(defaultCodec<typename M::value_type>())>{};
  else if constexpr (Declared<M>)
    return Record<M>{};
  else
    static_assert(kNoDefaultCodec<M>,
                  "strings, blobs and lists say their limits: wire::text, name, blob or list");
}

template <class Owner, class Member> constexpr auto field(Member Owner::*member) {
  using Codec = decltype(defaultCodec<Member>());
  return Field<Owner, Member, Codec>{member, Codec{}};
}

// An integer within [min, max].
template <class Owner, class Member>
constexpr auto bounded(Member Owner::*member, std::type_identity_t<Member> min,
                       std::type_identity_t<Member> max) {
  return Field<Owner, Member, Number<Member>>{member, Number<Member>{min, max}};
}

template <class Owner>
constexpr auto text(std::u16string Owner::*member, std::size_t maxUnits = kMaxStringUnits) {
  return Field<Owner, std::u16string, Text>{member, Text{maxUnits}};
}

template <class Owner> constexpr auto name(std::u16string Owner::*member, std::size_t maxUnits) {
  return Field<Owner, std::u16string, Name>{member, Name{maxUnits}};
}

template <class Owner>
constexpr auto blob(std::vector<std::uint8_t> Owner::*member,
                    std::size_t maxBytes = kMaxPayloadSize) {
  return Field<Owner, std::vector<std::uint8_t>, Bytes>{member, Bytes{maxBytes}};
}

// A list limited only by the packet that holds it.
inline constexpr std::uint32_t kAsManyAsFit = std::numeric_limits<std::uint32_t>::max();

// At most maxCount elements, each with its type's own codec, or with `element`.
template <class Owner, class E>
constexpr auto list(std::vector<E> Owner::*member, std::uint32_t maxCount) {
  using Codec = decltype(defaultCodec<E>());
  return Field<Owner, std::vector<E>, List<Codec>>{member, List<Codec>{maxCount, Codec{}}};
}
template <class Owner, class E, class Codec>
constexpr auto list(std::vector<E> Owner::*member, std::uint32_t maxCount, Codec element) {
  return Field<Owner, std::vector<E>, List<Codec>>{member, List<Codec>{maxCount, element}};
}

template <class Owner, class E, class Codec>
constexpr auto optional(std::optional<E> Owner::*member, Codec element) {
  return Field<Owner, std::optional<E>, Optional<Codec>>{member, Optional<Codec>{element}};
}

template <> struct WireLayout<RECT> {
  static constexpr auto fields() {
    return std::tuple{field(&RECT::left), field(&RECT::top), field(&RECT::right),
                      field(&RECT::bottom)};
  }
};
template <> struct WireLayout<POINT> {
  static constexpr auto fields() { return std::tuple{field(&POINT::x), field(&POINT::y)}; }
};
template <> struct WireLayout<SIZE> {
  static constexpr auto fields() { return std::tuple{field(&SIZE::cx), field(&SIZE::cy)}; }
};

template <Declared T> void writeFields(MessageWriter &writer, const T &value) {
  if constexpr (requires { value.wellFormed(); })
    if (!value.wellFormed())
      writer.refuse();
  std::apply([&](const auto &...f) { (f.codec.write(writer, value.*(f.member)), ...); },
             fieldsOf<T>());
}

template <Declared T> bool readFields(FieldReader &reader, T &value) {
  const bool read =
      std::apply([&](const auto &...f) { return (f.codec.read(reader, value.*(f.member)) && ...); },
                 fieldsOf<T>());
  if constexpr (requires { value.wellFormed(); })
    return read && value.wellFormed();
  else
    return read;
}

template <Declared T> std::size_t sizeOfFields(const T &value) {
  return std::apply(
      [&](const auto &...f) { return (std::size_t{0} + ... + f.codec.size(value.*(f.member))); },
      fieldsOf<T>());
}

template <Declared T> constexpr std::size_t minBytesOfFields() {
  return std::apply(
      [](const auto &...f) {
        return (std::size_t{0} + ... + std::remove_cvref_t<decltype(f.codec)>::kMinBytes);
      },
      fieldsOf<T>());
}

template <Declared T> constexpr bool fieldsCarryDescriptors() {
  return std::apply(
      [](const auto &...f) {
        return (false || ... || std::remove_cvref_t<decltype(f.codec)>::kDescriptors);
      },
      fieldsOf<T>());
}

} // namespace ce::protocol::wire
