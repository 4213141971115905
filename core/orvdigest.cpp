#include "core/orvdigest.h"

#include <bit>
#include <cstring>

#include "core/orvstream.h"

namespace orv {

namespace {

constexpr std::array<uint8_t, 64> Padding = {0x80};

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
inline uint32_t RotL(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline void FF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
  a = b + RotL(a + F(b, c, d) + x + t, s);
}
inline void GG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
  a = b + RotL(a + G(b, c, d) + x + t, s);
}
inline void HH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
  a = b + RotL(a + H(b, c, d) + x + t, s);
}
inline void II(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) {
  a = b + RotL(a + I(b, c, d) + x + t, s);
}

}  // namespace

TORVDigest::TORVDigest() { Init(); }

void TORVDigest::Init() {
  FState = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  FCount = {0, 0};
  FBuffer.fill(0);
  FData.fill(0);
}

void TORVDigest::Update(const uint8_t* Input, std::size_t Length) {
  std::size_t index = (FCount[0] >> 3) & 0x3F;
  // The bit count is kept modulo 2^64, as the algorithm defines it.
  const uint64_t bits = ((static_cast<uint64_t>(FCount[1]) << 32) | FCount[0]) + (static_cast<uint64_t>(Length) << 3);
  FCount[0] = static_cast<uint32_t>(bits);
  FCount[1] = static_cast<uint32_t>(bits >> 32);
  const std::size_t partLength = 64 - index;
  std::size_t i = 0;
  if (Length >= partLength) {
    std::memcpy(FBuffer.data() + index, Input, partLength);
    Transform(FBuffer.data());
    for (i = partLength; i + 63 < Length; i += 64) Transform(Input + i);
    index = 0;
  }
  if (Length > i) std::memcpy(FBuffer.data() + index, Input + i, Length - i);
}

void TORVDigest::Final() {
  uint8_t bits[8];
  Encode(bits, FCount.data(), 8);
  const std::size_t index = (FCount[0] >> 3) & 0x3F;
  const std::size_t padLength = index < 56 ? 56 - index : 120 - index;
  Update(Padding.data(), padLength);
  Update(bits, 8);
  Encode(FData.data(), FState.data(), DigestSize);
  Clear();
}

void TORVDigest::Clear() {
  FState.fill(0);
  FCount.fill(0);
  FBuffer.fill(0);
}

void TORVDigest::Encode(uint8_t* Output, const uint32_t* Input, std::size_t Length) {
  for (std::size_t i = 0, j = 0; j < Length; ++i, j += 4) {
    Output[j] = static_cast<uint8_t>(Input[i]);
    Output[j + 1] = static_cast<uint8_t>(Input[i] >> 8);
    Output[j + 2] = static_cast<uint8_t>(Input[i] >> 16);
    Output[j + 3] = static_cast<uint8_t>(Input[i] >> 24);
  }
}

void TORVDigest::Decode(uint32_t* Output, const uint8_t* Input, std::size_t Length) {
  for (std::size_t i = 0, j = 0; j < Length; ++i, j += 4) {
    Output[i] = static_cast<uint32_t>(Input[j]) | (static_cast<uint32_t>(Input[j + 1]) << 8) |
                (static_cast<uint32_t>(Input[j + 2]) << 16) | (static_cast<uint32_t>(Input[j + 3]) << 24);
  }
}

void TORVDigest::Transform(const uint8_t* Block) {
  uint32_t a = FState[0];
  uint32_t b = FState[1];
  uint32_t c = FState[2];
  uint32_t d = FState[3];
  uint32_t x[16];
  Decode(x, Block, 64);

  // Round 1.
  FF(a, b, c, d, x[0], 7, 0xD76AA478);
  FF(d, a, b, c, x[1], 12, 0xE8C7B756);
  FF(c, d, a, b, x[2], 17, 0x242070DB);
  FF(b, c, d, a, x[3], 22, 0xC1BDCEEE);
  FF(a, b, c, d, x[4], 7, 0xF57C0FAF);
  FF(d, a, b, c, x[5], 12, 0x4787C62A);
  FF(c, d, a, b, x[6], 17, 0xA8304613);
  FF(b, c, d, a, x[7], 22, 0xFD469501);
  FF(a, b, c, d, x[8], 7, 0x698098D8);
  FF(d, a, b, c, x[9], 12, 0x8B44F7AF);
  FF(c, d, a, b, x[10], 17, 0xFFFF5BB1);
  FF(b, c, d, a, x[11], 22, 0x895CD7BE);
  FF(a, b, c, d, x[12], 7, 0x6B901122);
  FF(d, a, b, c, x[13], 12, 0xFD987193);
  FF(c, d, a, b, x[14], 17, 0xA679438E);
  FF(b, c, d, a, x[15], 22, 0x49B40821);
  // Round 2.
  GG(a, b, c, d, x[1], 5, 0xF61E2562);
  GG(d, a, b, c, x[6], 9, 0xC040B340);
  GG(c, d, a, b, x[11], 14, 0x265E5A51);
  GG(b, c, d, a, x[0], 20, 0xE9B6C7AA);
  GG(a, b, c, d, x[5], 5, 0xD62F105D);
  GG(d, a, b, c, x[10], 9, 0x02441453);
  GG(c, d, a, b, x[15], 14, 0xD8A1E681);
  GG(b, c, d, a, x[4], 20, 0xE7D3FBC8);
  GG(a, b, c, d, x[9], 5, 0x21E1CDE6);
  GG(d, a, b, c, x[14], 9, 0xC33707D6);
  GG(c, d, a, b, x[3], 14, 0xF4D50D87);
  GG(b, c, d, a, x[8], 20, 0x455A14ED);
  GG(a, b, c, d, x[13], 5, 0xA9E3E905);
  GG(d, a, b, c, x[2], 9, 0xFCEFA3F8);
  GG(c, d, a, b, x[7], 14, 0x676F02D9);
  GG(b, c, d, a, x[12], 20, 0x8D2A4C8A);
  // Round 3.
  HH(a, b, c, d, x[5], 4, 0xFFFA3942);
  HH(d, a, b, c, x[8], 11, 0x8771F681);
  HH(c, d, a, b, x[11], 16, 0x6D9D6122);
  HH(b, c, d, a, x[14], 23, 0xFDE5380C);
  HH(a, b, c, d, x[1], 4, 0xA4BEEA44);
  HH(d, a, b, c, x[4], 11, 0x4BDECFA9);
  HH(c, d, a, b, x[7], 16, 0xF6BB4B60);
  HH(b, c, d, a, x[10], 23, 0xBEBFBC70);
  HH(a, b, c, d, x[13], 4, 0x289B7EC6);
  HH(d, a, b, c, x[0], 11, 0xEAA127FA);
  HH(c, d, a, b, x[3], 16, 0xD4EF3085);
  HH(b, c, d, a, x[6], 23, 0x04881D05);
  HH(a, b, c, d, x[9], 4, 0xD9D4D039);
  HH(d, a, b, c, x[12], 11, 0xE6DB99E5);
  HH(c, d, a, b, x[15], 16, 0x1FA27CF8);
  HH(b, c, d, a, x[2], 23, 0xC4AC5665);
  // Round 4.
  II(a, b, c, d, x[0], 6, 0xF4292244);
  II(d, a, b, c, x[7], 10, 0x432AFF97);
  II(c, d, a, b, x[14], 15, 0xAB9423A7);
  II(b, c, d, a, x[5], 21, 0xFC93A039);
  II(a, b, c, d, x[12], 6, 0x655B59C3);
  II(d, a, b, c, x[3], 10, 0x8F0CCC92);
  II(c, d, a, b, x[10], 15, 0xFFEFF47D);
  II(b, c, d, a, x[1], 21, 0x85845DD1);
  II(a, b, c, d, x[8], 6, 0x6FA87E4F);
  II(d, a, b, c, x[15], 10, 0xFE2CE6E0);
  II(c, d, a, b, x[6], 15, 0xA3014314);
  II(b, c, d, a, x[13], 21, 0x4E0811A1);
  II(a, b, c, d, x[4], 6, 0xF7537E82);
  II(d, a, b, c, x[11], 10, 0xBD3AF235);
  II(c, d, a, b, x[2], 15, 0x2AD7D2BB);
  II(b, c, d, a, x[9], 21, 0xEB86D391);

  FState[0] += a;
  FState[1] += b;
  FState[2] += c;
  FState[3] += d;
}

void TORVDigest::SetAsString(const TORVString& Value) {
  // On a little-endian host the text's own units are its UTF-16LE bytes.
  static_assert(std::endian::native == std::endian::little, "a text is digested as UTF-16LE bytes");
  Init();
  Update(reinterpret_cast<const uint8_t*>(Value.data()), Value.size() * sizeof(char16_t));
  Final();
}

void TORVDigest::SetAsAnsiString(const TORVAnsiString& Value) {
  Init();
  Update(reinterpret_cast<const uint8_t*>(Value.data()), Value.size());
  Final();
}

void TORVDigest::SetAsBytes(const TORVBytes& Value) {
  Init();
  Update(Value.data(), Value.size());
  Final();
}

TORVString TORVDigest::GetAsString() const {
  const TORVAnsiString text = GetAsAnsiString();
  return TORVString(text.begin(), text.end());
}

TORVAnsiString TORVDigest::GetAsAnsiString() const {
  static constexpr char Digits[] = "0123456789ABCDEF";
  TORVAnsiString text;
  text.reserve(DigestSize * 2);
  for (uint8_t b : FData) {
    text += Digits[b >> 4];
    text += Digits[b & 0x0F];
  }
  return text;
}

void TORVDigest::Assign(const TORVDigest& FromObject) { FData = FromObject.FData; }

bool TORVDigest::Compare(const TORVDigest& ObjectToCompare) const { return FData == ObjectToCompare.FData; }

void TORVDigest::Save(TORVStream& Stream) const { Stream.Write(FData.data(), DigestSize); }

void TORVDigest::Load(TORVStream& Stream) { Stream.Read(FData.data(), DigestSize); }

void TORVDigest::Read(const uint8_t* Buffer) { std::memcpy(FData.data(), Buffer, DigestSize); }

void TORVDigest::Write(uint8_t* Buffer) const { std::memcpy(Buffer, FData.data(), DigestSize); }

}  // namespace orv
