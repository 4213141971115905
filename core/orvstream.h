// Byte streams. TORVMemoryStream's typed reads and writes are the byte
// layout of every persisted record and every message body: little-endian
// numbers, and strings as a count followed by UTF-16LE units (Unicode
// character set) or code-page bytes (ANSI character set), no terminator.
#pragma once

#include <cstdint>
#include <memory>

#include "core/orvcipher.h"
#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVDigest;

enum TORVStreamOrigin : uint8_t { orBeginning, orCurrent, orEnd };

class TORVStream : public TORVBaseObject {
 public:
  virtual int64_t GetPosition() const = 0;
  virtual void SetPosition(int64_t Value) = 0;
  virtual int64_t GetSize() const = 0;
  virtual void SetSize(int64_t Value) = 0;
  // CRC-32 register (reflected standard table, initial 0xFFFFFFFF, no final
  // inversion) of the first Count bytes, 0 meaning all, whatever the
  // position; the position is kept, also when a read raises.
  virtual uint32_t CalculateCRC32(int32_t Count);
  virtual int64_t Seek(int64_t Offset, TORVStreamOrigin Origin) = 0;
  // Reads at most Count bytes into Buffer at Offset; returns the bytes read.
  virtual int32_t Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) = 0;
  virtual int32_t Read(uint8_t* Buffer, int32_t Count) = 0;
  // Value is the little-endian value of the next 4 bytes, or 0 when fewer
  // came; returns the bytes read.
  virtual int32_t ReadInteger(int32_t& Value);
  virtual int32_t ReadLongWord(uint32_t& Value);
  virtual int32_t Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) = 0;
  virtual int32_t Write(const uint8_t* Buffer, int32_t Count) = 0;
  virtual int32_t WriteInteger(int32_t Value);
  virtual int32_t WriteTORVLongWord(uint32_t Value);
  // Copies Count bytes from Stream's position (0: all of Stream from its
  // start) through one transfer buffer of at most 64 KB; stops early when
  // Stream runs dry and returns the bytes copied.
  virtual int64_t CopyFrom(TORVStream& Stream, int64_t Count);
};

// A growable stream over one contiguous buffer. Its character set says how
// strings and characters are encoded: 0 ANSI, 1 Unicode (UTF-16LE); any other
// value (the engine uses -1 for scratch streams) turns every string and
// character operation into a no-op.
class TORVMemoryStream : public TORVStream {
 public:
  explicit TORVMemoryStream(int32_t CharacterSetToUse);
  ~TORVMemoryStream() override;

  int32_t GetCharacterSet() const { return FCharacterSet; }
  uint8_t* GetMemory() const { return FMemory; }
  int32_t GetBlockSize() const { return FBlockSize; }
  // The growth step in bytes; at least 1.
  void SetBlockSize(int32_t Value);
  bool GetShrinkAllowed() const { return FShrinkAllowed; }
  void SetShrinkAllowed(bool Value) { FShrinkAllowed = Value; }
  int32_t GetCapacity() const { return FCapacity; }
  void SetCapacity(int32_t Value);
  // Bytes from the position to the end; 0 when the position lies beyond it.
  int32_t GetAvailable() const;

  int64_t GetPosition() const override { return FPosition; }
  // Clamped to 0 .. Size.
  void SetPosition(int64_t Value) override;
  int64_t GetSize() const override { return FSize; }
  void SetSize(int64_t Value) override;
  uint32_t CalculateCRC32(int32_t Count) override;
  // Not clamped: a position beyond the end or before the start reads
  // nothing, and writing before the start writes nothing.
  int64_t Seek(int64_t Offset, TORVStreamOrigin Origin) override;
  using TORVStream::Read;
  int32_t Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) override;
  int32_t Read(uint8_t* Buffer, int32_t Count) override;
  using TORVStream::Write;
  int32_t Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) override;
  int32_t Write(const uint8_t* Buffer, int32_t Count) override;

  // Typed values. Reads need the whole value: with fewer bytes left they
  // give 0 (false, character 0) and keep the position.
  int32_t ReadInteger(int32_t& Value) override;
  int32_t ReadLongWord(uint32_t& Value) override;
  virtual int32_t ReadInteger();
  virtual uint32_t ReadLongWord();
  int32_t WriteInteger(int32_t Value) override;
  int32_t WriteTORVLongWord(uint32_t Value) override;
  void WriteByte(uint8_t Value);
  uint8_t ReadByte();
  void WriteBoolean(bool Value);
  bool ReadBoolean();
  void WriteSmallInt(int16_t Value);
  int16_t ReadSmallInt();
  void WriteWord(uint16_t Value);
  uint16_t ReadWord();
  void WriteLargeInt(int64_t Value);
  int64_t ReadLargeInt();
  void WriteDouble(double Value);
  double ReadDouble();
  void WriteCurrency(TORVCurrency Value);
  TORVCurrency ReadCurrency();
  // ANSI set: the low byte of the code, not mapped through a code page;
  // Unicode set: one UTF-16 unit.
  void WriteChar(char16_t Value);
  char16_t ReadChar();

  // Byte arrays: a count (Word when WordSized, else Integer) and the bytes.
  // Count 0 writes the whole array; a larger Count is cut to its length.
  void WriteBytes(const TORVBytes& Value, int32_t Count, bool WordSized);
  void ReadBytes(TORVBytes& Value, bool WordSized);
  // Exactly Count bytes: a shorter array is padded with zeros, a longer one cut.
  void WriteFixedBytes(const TORVBytes& Value, int32_t Count);
  void ReadFixedBytes(TORVBytes& Value, int32_t Count);

  // Length-prefixed strings. CodePage is a Windows code page, 0 meaning the
  // engine's ANSI code page. Count 0 writes the whole value; otherwise the
  // count of units (Unicode set) or bytes (ANSI set) to write, cut to what
  // the value has. A count too large for a Word prefix raises.
  void WriteString(const TORVString& Value, int32_t Count = 0, bool WordSized = false, int32_t CodePage = 0) {
    WriteUnicodeString(Value, Count, WordSized, CodePage);
  }
  void WriteUnicodeString(const TORVString& Value, int32_t Count = 0, bool WordSized = false, int32_t CodePage = 0);
  void WriteAnsiString(const TORVAnsiString& Value, int32_t Count = 0, bool WordSized = false, int32_t CodePage = 0);
  // A short stream gives a shorter value; other character sets leave Value
  // and the position untouched.
  void ReadString(TORVString& Value, bool WordSized = false, int32_t CodePage = 0) {
    ReadUnicodeString(Value, WordSized, CodePage);
  }
  void ReadUnicodeString(TORVString& Value, bool WordSized = false, int32_t CodePage = 0);
  void ReadAnsiString(TORVAnsiString& Value, bool WordSized = false, int32_t CodePage = 0);

  // Fixed strings of exactly Count characters (2 x Count bytes in the
  // Unicode set, Count bytes in the ANSI set), padded with spaces or cut.
  // Reading returns the padding too.
  void WriteFixedString(const TORVString& Value, int32_t Count, int32_t CodePage = 0) {
    WriteFixedUnicodeString(Value, Count, CodePage);
  }
  void WriteFixedUnicodeString(const TORVString& Value, int32_t Count, int32_t CodePage = 0);
  void WriteFixedAnsiString(const TORVAnsiString& Value, int32_t Count, int32_t CodePage = 0);
  void ReadFixedString(TORVString& Value, int32_t Count, int32_t CodePage = 0) {
    ReadFixedUnicodeString(Value, Count, CodePage);
  }
  void ReadFixedUnicodeString(TORVString& Value, int32_t Count, int32_t CodePage = 0);
  void ReadFixedAnsiString(TORVAnsiString& Value, int32_t Count, int32_t CodePage = 0);

  // Operations inside the allocated buffer that never grow the stream; a
  // range outside the buffer raises instead of touching other memory.
  void Truncate() { SetSize(0); }
  // Zeroes Count bytes (0: Available) from the position and advances.
  void Clear(int32_t Count);
  // Copies Count bytes (0: Available) from this position to Destination's
  // position; neither position nor size changes.
  void MoveTo(TORVMemoryStream& Destination, int32_t Count);
  // Moves the bytes from the position up to UsedSize up by Count; the gap
  // keeps its old bytes.
  void InsertSpace(int32_t Count, int32_t UsedSize);
  // Moves Count bytes from the position to the offset MovePos.
  void MoveSpace(int32_t Count, int32_t MovePos);
  // Moves the bytes from position + Count up to UsedSize down to the
  // position and zeroes the last Count bytes before UsedSize.
  void DeleteSpace(int32_t Count, int32_t UsedSize);

  // Writes Count bytes (0: Available) from the position into Stream and
  // advances by the bytes written, which it returns.
  int32_t CopyToStream(TORVStream& Stream, int32_t Count);
  // Writes the first Count bytes (0: Size) into Stream; keeps the position.
  int32_t SaveToStream(TORVStream& Stream, int32_t Count);
  // Reads Count bytes (0: the smaller of what Stream has left and
  // Available) from Stream at this position and advances; never grows.
  int32_t CopyFromStream(TORVStream& Stream, int32_t Count);
  // Reads Count bytes (0: all of Stream from its start) into the start of
  // the buffer, growing Size to Count when smaller; keeps the position.
  int32_t LoadFromStream(TORVStream& Stream, int32_t Count);

  // Frees the own buffer and serves ValueSize bytes at Value, which the
  // caller keeps alive and frees; the stream can no longer grow.
  void SetMemory(uint8_t* Value, int32_t ValueSize);

  // Keys the stream's cipher with the digest's 16 bytes and a zero vector.
  void InitEncryption(const TORVDigest& PasswordDigest);
  // En/deciphers Count bytes (0: Available) in place from the position in
  // 8-byte CBC blocks. A tail under 8 bytes stays plain and the position
  // stops at its first byte. Each call is its own chain from the zero vector.
  void Encrypt(int32_t Count);
  void Decrypt(int32_t Count);

 private:
  void Grow(int64_t NewEnd);
  void CheckRange(int64_t Offset, int64_t Count) const;
  bool ReadFixed(void* Value, int32_t Width);
  template <typename T>
  T ReadValue();
  void WriteFixed(const void* Value, int32_t Width);
  void WriteCount(int64_t Count, bool WordSized);
  int32_t ReadCount(bool WordSized);
  void WriteUnits(const char16_t* Units, int64_t Count, bool WordSized);
  void WriteByteRun(const uint8_t* Data, int64_t Count, bool WordSized);
  void ReadUnits(TORVString& Value, int64_t Units);
  template <typename TContainer>
  void ReadRun(TContainer& Value, int64_t Bytes);
  TORVBlowfish& Cipher();
  template <typename TStep>
  void Encipher(int32_t Count, TStep Step);

  int32_t FCharacterSet;
  uint8_t* FMemory = nullptr;
  bool FOwnsMemory = true;
  int32_t FBlockSize = 8;
  int32_t FSize = 0;
  int32_t FPosition = 0;
  int32_t FCapacity = 0;
  bool FShrinkAllowed = false;
  std::unique_ptr<TORVBlowfish> FBlowfish;  // made on first use
};

// Empties a memory stream when a scope ends, also by an exception.
class TORVStreamEmptier {
 public:
  explicit TORVStreamEmptier(TORVMemoryStream& Stream) : FStream(Stream) {}
  ~TORVStreamEmptier() { FStream.SetSize(0); }
  TORVStreamEmptier(const TORVStreamEmptier&) = delete;
  TORVStreamEmptier& operator=(const TORVStreamEmptier&) = delete;

 private:
  TORVMemoryStream& FStream;
};

}  // namespace orv
