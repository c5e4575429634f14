// Flags<E>: a set of the bits of one enum class, so that a set of value kinds cannot be passed
// where a set of product types is expected. An enum takes part by declaring, beside itself,
//   constexpr bool IsFlagEnum(E) { return true; }
// which also gives its enumerators the operators | & ~ that make sets of them.
#pragma once

#include <concepts>
#include <iosfwd>
#include <type_traits>

namespace tessaly {

template <typename E>
concept FlagEnum = std::is_enum_v<E> && requires(E e) {
  { IsFlagEnum(e) } -> std::same_as<bool>;
};

template <typename E>
requires std::is_enum_v<E>
class Flags {
 public:
  using Bits = std::underlying_type_t<E>;

  constexpr Flags() = default;
  constexpr Flags(E bit) : bits_(static_cast<Bits>(bit)) {}  // a bit is a set of one
  // The set with these bits, as the registry or the settings store them.
  static constexpr Flags FromBits(Bits bits) {
    Flags flags;
    flags.bits_ = bits;
    return flags;
  }

  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr explicit operator bool() const { return bits_ != 0; }
  // True when the set has any bit of `other`.
  constexpr bool HasAny(Flags other) const { return (bits_ & other.bits_) != 0; }
  // True when the set has every bit of `other`.
  constexpr bool HasAll(Flags other) const { return (bits_ & other.bits_) == other.bits_; }

  friend constexpr Flags operator|(Flags a, Flags b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr Flags operator&(Flags a, Flags b) { return FromBits(a.bits_ & b.bits_); }
  constexpr Flags operator~() const { return FromBits(static_cast<Bits>(~bits_)); }
  constexpr Flags& operator|=(Flags other) { return *this = *this | other; }
  constexpr Flags& operator&=(Flags other) { return *this = *this & other; }
  friend constexpr bool operator==(Flags a, Flags b) { return a.bits_ == b.bits_; }

 private:
  Bits bits_ = 0;
};

template <FlagEnum E>
constexpr Flags<E> operator|(E a, E b) {
  return Flags<E>(a) | b;
}
template <FlagEnum E>
constexpr Flags<E> operator&(E a, E b) {
  return Flags<E>(a) & b;
}
template <FlagEnum E>
constexpr Flags<E> operator~(E a) {
  return ~Flags<E>(a);
}

// How a test prints a set whose check failed: its bits as a number.
template <typename E>
void PrintTo(const Flags<E>& flags, std::ostream* os) {
  *os << flags.ToBits();
}

}  // namespace tessaly
