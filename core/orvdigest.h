// MD5 message digests (RFC 1321) of texts and bytes. The engine stores and
// compares digests in place of its signature and passwords, so which bytes
// are digested (UTF-16LE or ANSI) is part of every file format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVStream;

class TORVDigest : public TORVBaseObject {
 public:
  static constexpr int32_t DigestSize = 16;

  // The digest bytes are all zero until a value is digested.
  TORVDigest();

  // Digest of the text's UTF-16LE code units (no terminator, no count).
  void SetAsString(const TORVString& Value);
  void SetAsUnicodeString(const TORVString& Value) { SetAsString(Value); }
  // Digest of the bytes as stored, without any code-page conversion.
  void SetAsAnsiString(const TORVAnsiString& Value);
  void SetAsBytes(const TORVBytes& Value);

  // 32 upper-case hexadecimal digits, two per digest byte, first byte first.
  TORVString GetAsString() const;
  TORVString GetAsUnicodeString() const { return GetAsString(); }
  TORVAnsiString GetAsAnsiString() const;

  void Assign(const TORVDigest& FromObject);
  bool Compare(const TORVDigest& ObjectToCompare) const;

  // The 16 raw digest bytes, no prefix. Load from a stream with fewer bytes
  // left keeps the bytes that did not come.
  void Save(TORVStream& Stream) const;
  void Load(TORVStream& Stream);

  // Read takes 16 bytes from Buffer into the digest; Write copies the
  // digest's 16 bytes to Buffer.
  void Read(const uint8_t* Buffer);
  void Write(uint8_t* Buffer) const;

 private:
  void Init();
  void Update(const uint8_t* Input, std::size_t Length);
  void Final();
  void Transform(const uint8_t* Block);
  static void Encode(uint8_t* Output, const uint32_t* Input, std::size_t Length);
  static void Decode(uint32_t* Output, const uint8_t* Input, std::size_t Length);
  void Clear();

  std::array<uint8_t, DigestSize> FData{};
  std::array<uint32_t, 4> FState{};
  // Message length in bits, low word first.
  std::array<uint32_t, 2> FCount{};
  std::array<uint8_t, 64> FBuffer{};
};

}  // namespace orv
