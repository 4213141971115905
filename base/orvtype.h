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

// UTF-16 surrogate arithmetic, kept in one place for every folder.
constexpr bool IsHighSurrogate(char32_t Unit) { return Unit >= 0xD800 && Unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t Unit) { return Unit >= 0xDC00 && Unit <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t Unit) { return Unit >= 0xD800 && Unit <= 0xDFFF; }
// The code point of a high and low surrogate pair.
constexpr char32_t SurrogatePairCodePoint(char32_t High, char32_t Low) {
  return 0x10000 + ((High - 0xD800) << 10) + (Low - 0xDC00);
}
// The two units of a code point above U+FFFF.
constexpr char16_t HighSurrogateOf(char32_t CodePoint) {
  return static_cast<char16_t>(0xD800 + ((CodePoint - 0x10000) >> 10));
}
constexpr char16_t LowSurrogateOf(char32_t CodePoint) {
  return static_cast<char16_t>(0xDC00 + ((CodePoint - 0x10000) & 0x3FF));
}
// Bytes in an ANSI code page; never assumed to be UTF-8.
using TORVAnsiString = std::string;

// The character sets that configurations, tables and streams are made for
// (persisted as these numbers): one byte per character in the ANSI code
// page, or two (UTF-16LE) under Unicode.
constexpr int32_t CharacterSetAnsi = 0;
constexpr int32_t CharacterSetUnicode = 1;

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
  // Ordinal i as bit value 2^i, as a set is stored (sets of up to 64 members).
  uint64_t ToBits() const requires(N <= 64) { return FBits.to_ullong(); }

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
