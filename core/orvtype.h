// Basic value types shared by every engine folder.
#pragma once

#include <bitset>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orv {

// Text in memory is UTF-16: lengths and positions count code units.
using TORVString = std::u16string;
// Bytes in an ANSI code page; never assumed to be UTF-8.
using TORVAnsiString = std::string;

using TORVBytes = std::vector<uint8_t>;
using TORVWords = std::vector<uint16_t>;
using TORVLongWords = std::vector<uint32_t>;

// A set of the ordinals of an unscoped enumeration (or of small integers).
template <typename T, std::size_t N = 256>
class TORVSet {
 public:
  constexpr TORVSet() = default;
  TORVSet(std::initializer_list<T> items) {
    for (T item : items) Include(item);
  }

  bool Contains(T item) const { return FBits.test(Index(item)); }
  void Include(T item) { FBits.set(Index(item)); }
  void Exclude(T item) { FBits.reset(Index(item)); }
  bool Empty() const { return FBits.none(); }
  std::size_t Count() const { return FBits.count(); }

  TORVSet operator+(const TORVSet& other) const { return TORVSet(FBits | other.FBits); }
  TORVSet operator-(const TORVSet& other) const { return TORVSet(FBits & ~other.FBits); }
  TORVSet operator*(const TORVSet& other) const { return TORVSet(FBits & other.FBits); }
  TORVSet& operator+=(const TORVSet& other) { FBits |= other.FBits; return *this; }
  TORVSet& operator-=(const TORVSet& other) { FBits &= ~other.FBits; return *this; }
  bool operator==(const TORVSet& other) const = default;

 private:
  explicit TORVSet(const std::bitset<N>& bits) : FBits(bits) {}
  static std::size_t Index(T item) { return static_cast<std::size_t>(item); }
  std::bitset<N> FBits;
};

// The engine's fixed-point decimal (Currency): a signed 64-bit count of
// ten-thousandths. Arithmetic on it stays exact; rounding is the caller's.
class TORVCurrency {
 public:
  static constexpr int64_t Scale = 10000;

  constexpr TORVCurrency() = default;
  static constexpr TORVCurrency FromScaled(int64_t scaled) {
    TORVCurrency c;
    c.FScaled = scaled;
    return c;
  }
  static constexpr TORVCurrency FromInt(int64_t whole) { return FromScaled(whole * Scale); }

  constexpr int64_t Scaled() const { return FScaled; }
  constexpr auto operator<=>(const TORVCurrency&) const = default;

 private:
  int64_t FScaled = 0;
};

}  // namespace orv
