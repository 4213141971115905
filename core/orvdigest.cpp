#include "core/orvdigest.h"

#include <bit>
#include <cstring>

#include "core/orvliteral.h"
#include "core/orvstream.h"

namespace orv {

namespace {

constexpr std::array<uint8_t, 64> Padding = {0x80};

inline uint32_t F(uint32_t X, uint32_t Y, uint32_t Z) { return (X & Y) | (~X & Z); }
inline uint32_t G(uint32_t X, uint32_t Y, uint32_t Z) { return (X & Z) | (Y & ~Z); }
inline uint32_t H(uint32_t X, uint32_t Y, uint32_t Z) { return X ^ Y ^ Z; }
inline uint32_t I(uint32_t X, uint32_t Y, uint32_t Z) { return Y ^ (X | ~Z); }
inline uint32_t RotL(uint32_t X, int N) { return (X << N) | (X >> (32 - N)); }

inline void FF(uint32_t& A, uint32_t B, uint32_t C, uint32_t D, uint32_t X, int S, uint32_t T) {
  A = B + RotL(A + F(B, C, D) + X + T, S);
}
inline void GG(uint32_t& A, uint32_t B, uint32_t C, uint32_t D, uint32_t X, int S, uint32_t T) {
  A = B + RotL(A + G(B, C, D) + X + T, S);
}
inline void HH(uint32_t& A, uint32_t B, uint32_t C, uint32_t D, uint32_t X, int S, uint32_t T) {
  A = B + RotL(A + H(B, C, D) + X + T, S);
}
inline void II(uint32_t& A, uint32_t B, uint32_t C, uint32_t D, uint32_t X, int S, uint32_t T) {
  A = B + RotL(A + I(B, C, D) + X + T, S);
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
  std::size_t Index = (FCount[0] >> 3) & 0x3F;
  // The bit count is kept modulo 2^64, as the algorithm defines it.
  const uint64_t Bits = ((static_cast<uint64_t>(FCount[1]) << 32) | FCount[0]) + (static_cast<uint64_t>(Length) << 3);
  FCount[0] = static_cast<uint32_t>(Bits);
  FCount[1] = static_cast<uint32_t>(Bits >> 32);
  const std::size_t PartLength = 64 - Index;
  std::size_t I = 0;
  if (Length >= PartLength) {
    std::memcpy(FBuffer.data() + Index, Input, PartLength);
    Transform(FBuffer.data());
    for (I = PartLength; I + 63 < Length; I += 64) Transform(Input + I);
    Index = 0;
  }
  if (Length > I) std::memcpy(FBuffer.data() + Index, Input + I, Length - I);
}

void TORVDigest::Final() {
  uint8_t Bits[8];
  Encode(Bits, FCount.data(), 8);
  const std::size_t Index = (FCount[0] >> 3) & 0x3F;
  const std::size_t PadLength = Index < 56 ? 56 - Index : 120 - Index;
  Update(Padding.data(), PadLength);
  Update(Bits, 8);
  Encode(FData.data(), FState.data(), DigestSize);
  Clear();
}

void TORVDigest::Clear() {
  FState.fill(0);
  FCount.fill(0);
  FBuffer.fill(0);
}

void TORVDigest::Encode(uint8_t* Output, const uint32_t* Input, std::size_t Length) {
  for (std::size_t I = 0, J = 0; J < Length; ++I, J += 4) {
    Output[J] = static_cast<uint8_t>(Input[I]);
    Output[J + 1] = static_cast<uint8_t>(Input[I] >> 8);
    Output[J + 2] = static_cast<uint8_t>(Input[I] >> 16);
    Output[J + 3] = static_cast<uint8_t>(Input[I] >> 24);
  }
}

void TORVDigest::Decode(uint32_t* Output, const uint8_t* Input, std::size_t Length) {
  for (std::size_t I = 0, J = 0; J < Length; ++I, J += 4) {
    Output[I] = static_cast<uint32_t>(Input[J]) | (static_cast<uint32_t>(Input[J + 1]) << 8) |
                (static_cast<uint32_t>(Input[J + 2]) << 16) | (static_cast<uint32_t>(Input[J + 3]) << 24);
  }
}

void TORVDigest::Transform(const uint8_t* Block) {
  uint32_t A = FState[0];
  uint32_t B = FState[1];
  uint32_t C = FState[2];
  uint32_t D = FState[3];
  uint32_t X[16];
  Decode(X, Block, 64);

  // Round 1.
  FF(A, B, C, D, X[0], 7, 0xD76AA478);
  FF(D, A, B, C, X[1], 12, 0xE8C7B756);
  FF(C, D, A, B, X[2], 17, 0x242070DB);
  FF(B, C, D, A, X[3], 22, 0xC1BDCEEE);
  FF(A, B, C, D, X[4], 7, 0xF57C0FAF);
  FF(D, A, B, C, X[5], 12, 0x4787C62A);
  FF(C, D, A, B, X[6], 17, 0xA8304613);
  FF(B, C, D, A, X[7], 22, 0xFD469501);
  FF(A, B, C, D, X[8], 7, 0x698098D8);
  FF(D, A, B, C, X[9], 12, 0x8B44F7AF);
  FF(C, D, A, B, X[10], 17, 0xFFFF5BB1);
  FF(B, C, D, A, X[11], 22, 0x895CD7BE);
  FF(A, B, C, D, X[12], 7, 0x6B901122);
  FF(D, A, B, C, X[13], 12, 0xFD987193);
  FF(C, D, A, B, X[14], 17, 0xA679438E);
  FF(B, C, D, A, X[15], 22, 0x49B40821);
  // Round 2.
  GG(A, B, C, D, X[1], 5, 0xF61E2562);
  GG(D, A, B, C, X[6], 9, 0xC040B340);
  GG(C, D, A, B, X[11], 14, 0x265E5A51);
  GG(B, C, D, A, X[0], 20, 0xE9B6C7AA);
  GG(A, B, C, D, X[5], 5, 0xD62F105D);
  GG(D, A, B, C, X[10], 9, 0x02441453);
  GG(C, D, A, B, X[15], 14, 0xD8A1E681);
  GG(B, C, D, A, X[4], 20, 0xE7D3FBC8);
  GG(A, B, C, D, X[9], 5, 0x21E1CDE6);
  GG(D, A, B, C, X[14], 9, 0xC33707D6);
  GG(C, D, A, B, X[3], 14, 0xF4D50D87);
  GG(B, C, D, A, X[8], 20, 0x455A14ED);
  GG(A, B, C, D, X[13], 5, 0xA9E3E905);
  GG(D, A, B, C, X[2], 9, 0xFCEFA3F8);
  GG(C, D, A, B, X[7], 14, 0x676F02D9);
  GG(B, C, D, A, X[12], 20, 0x8D2A4C8A);
  // Round 3.
  HH(A, B, C, D, X[5], 4, 0xFFFA3942);
  HH(D, A, B, C, X[8], 11, 0x8771F681);
  HH(C, D, A, B, X[11], 16, 0x6D9D6122);
  HH(B, C, D, A, X[14], 23, 0xFDE5380C);
  HH(A, B, C, D, X[1], 4, 0xA4BEEA44);
  HH(D, A, B, C, X[4], 11, 0x4BDECFA9);
  HH(C, D, A, B, X[7], 16, 0xF6BB4B60);
  HH(B, C, D, A, X[10], 23, 0xBEBFBC70);
  HH(A, B, C, D, X[13], 4, 0x289B7EC6);
  HH(D, A, B, C, X[0], 11, 0xEAA127FA);
  HH(C, D, A, B, X[3], 16, 0xD4EF3085);
  HH(B, C, D, A, X[6], 23, 0x04881D05);
  HH(A, B, C, D, X[9], 4, 0xD9D4D039);
  HH(D, A, B, C, X[12], 11, 0xE6DB99E5);
  HH(C, D, A, B, X[15], 16, 0x1FA27CF8);
  HH(B, C, D, A, X[2], 23, 0xC4AC5665);
  // Round 4.
  II(A, B, C, D, X[0], 6, 0xF4292244);
  II(D, A, B, C, X[7], 10, 0x432AFF97);
  II(C, D, A, B, X[14], 15, 0xAB9423A7);
  II(B, C, D, A, X[5], 21, 0xFC93A039);
  II(A, B, C, D, X[12], 6, 0x655B59C3);
  II(D, A, B, C, X[3], 10, 0x8F0CCC92);
  II(C, D, A, B, X[10], 15, 0xFFEFF47D);
  II(B, C, D, A, X[1], 21, 0x85845DD1);
  II(A, B, C, D, X[8], 6, 0x6FA87E4F);
  II(D, A, B, C, X[15], 10, 0xFE2CE6E0);
  II(C, D, A, B, X[6], 15, 0xA3014314);
  II(B, C, D, A, X[13], 21, 0x4E0811A1);
  II(A, B, C, D, X[4], 6, 0xF7537E82);
  II(D, A, B, C, X[11], 10, 0xBD3AF235);
  II(C, D, A, B, X[2], 15, 0x2AD7D2BB);
  II(B, C, D, A, X[9], 21, 0xEB86D391);

  FState[0] += A;
  FState[1] += B;
  FState[2] += C;
  FState[3] += D;
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
  TORVString Text;
  Text.reserve(DigestSize * 2);
  for (uint8_t B : FData) Text += ByteToHexString(B);
  return Text;
}

TORVAnsiString TORVDigest::GetAsAnsiString() const {
  // Hexadecimal digits are the same bytes in every code page.
  const TORVString Text = GetAsString();
  return TORVAnsiString(Text.begin(), Text.end());
}

void TORVDigest::Assign(const TORVDigest& FromObject) { FData = FromObject.FData; }

bool TORVDigest::Compare(const TORVDigest& ObjectToCompare) const { return FData == ObjectToCompare.FData; }

void TORVDigest::Save(TORVStream& Stream) const { Stream.Write(FData.data(), DigestSize); }

void TORVDigest::Load(TORVStream& Stream) { Stream.Read(FData.data(), DigestSize); }

void TORVDigest::Read(const uint8_t* Buffer) { std::memcpy(FData.data(), Buffer, DigestSize); }

void TORVDigest::Write(uint8_t* Buffer) const { std::memcpy(Buffer, FData.data(), DigestSize); }

}  // namespace orv
