#include "core/orvstream.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "core/orvdigest.h"
#include "base/orverror.h"
#include "platform/orvplatformcodepage.h"

namespace orv {

// Typed values are copied byte for byte; the stored layout is little-endian.
static_assert(std::endian::native == std::endian::little, "the stream layout assumes a little-endian host");

namespace {

constexpr int64_t TransferBufferSize = 65536;
constexpr int64_t MaxStreamSize = std::numeric_limits<int32_t>::max();

// Stream misuse is a plain engine exception without an error code: the
// readers of persisted records check what they read and report corruption
// with their own codes before a stream could refuse it.
[[noreturn]] void RaiseStreamError(const char16_t* Message) { throw EORVBaseException(Message); }

[[noreturn]] void RaiseNotOwned() {
  RaiseStreamError(u"Cannot reallocate memory stream when stream does not own memory");
}

int32_t PrefixSize(bool WordSized) { return WordSized ? 2 : 4; }

}  // namespace

// --- TORVStream ---

uint32_t TORVStream::CalculateCRC32(int32_t Count) {
  const int64_t Saved = GetPosition();
  uint32_t Result = 0xFFFFFFFFu;
  try {
    Seek(0, orBeginning);
    int64_t Remaining = Count == 0 ? GetSize() : Count;
    std::vector<uint8_t> Buffer(static_cast<std::size_t>(std::clamp<int64_t>(Remaining, 0, TransferBufferSize)));
    while (Remaining > 0) {
      const int32_t Got = Read(Buffer.data(), static_cast<int32_t>(std::min(Remaining, TransferBufferSize)));
      if (Got <= 0) break;
      Result = UpdateCRC32(Result, Buffer.data(), static_cast<std::size_t>(Got));
      Remaining -= Got;
    }
  } catch (...) {
    SetPosition(Saved);
    throw;
  }
  SetPosition(Saved);
  return Result;
}

namespace {

// A 4-byte value through any stream: 0 unless all 4 bytes came.
template <typename T>
int32_t ReadWord32(TORVStream& Stream, T& Value) {
  uint8_t Bytes[sizeof(T)];
  const int32_t Got = Stream.Read(Bytes, sizeof(T));
  Value = 0;
  if (Got == static_cast<int32_t>(sizeof(T))) std::memcpy(&Value, Bytes, sizeof(T));
  return Got;
}

template <typename T>
int32_t WriteWord32(TORVStream& Stream, T Value) {
  uint8_t Bytes[sizeof(T)];
  std::memcpy(Bytes, &Value, sizeof(T));
  return Stream.Write(Bytes, sizeof(T));
}

}  // namespace

int32_t TORVStream::ReadInteger(int32_t& Value) { return ReadWord32(*this, Value); }

int32_t TORVStream::ReadLongWord(uint32_t& Value) { return ReadWord32(*this, Value); }

int32_t TORVStream::WriteInteger(int32_t Value) { return WriteWord32(*this, Value); }

int32_t TORVStream::WriteTORVLongWord(uint32_t Value) { return WriteWord32(*this, Value); }

int64_t TORVStream::CopyFrom(TORVStream& Stream, int64_t Count) {
  if (Count == 0) {
    Stream.SetPosition(0);
    Count = Stream.GetSize();
  }
  if (Count <= 0) return 0;
  std::vector<uint8_t> Buffer(static_cast<std::size_t>(std::min(Count, TransferBufferSize)));
  const auto BufferSize = static_cast<int64_t>(Buffer.size());
  int64_t Copied = 0;
  while (Copied < Count) {
    const int32_t Got = Stream.Read(Buffer.data(), static_cast<int32_t>(std::min(BufferSize, Count - Copied)));
    if (Got <= 0) break;
    Copied += Write(Buffer.data(), Got);
  }
  return Copied;
}

// --- TORVMemoryStream ---

TORVMemoryStream::TORVMemoryStream(int32_t CharacterSetToUse)
    : FCharacterSet(CharacterSetToUse) {}

TORVMemoryStream::~TORVMemoryStream() {
  if (FOwnsMemory) std::free(FMemory);
}

void TORVMemoryStream::SetBlockSize(int32_t Value) {
  if (Value < 1) RaiseStreamError(u"Invalid memory stream block size");
  FBlockSize = Value;
}

int32_t TORVMemoryStream::GetAvailable() const {
  if (FPosition < 0 || FPosition >= FSize) return 0;
  return FSize - FPosition;
}

void TORVMemoryStream::SetCapacity(int32_t Value) {
  if (!FOwnsMemory) RaiseNotOwned();
  if (Value < 0) RaiseStreamError(u"Invalid memory stream size");
  if (static_cast<int64_t>(Value) + FBlockSize > MaxStreamSize) RaiseStreamError(u"Memory stream too large");
  const int32_t Rounded = BlockOffset(Value, FBlockSize);
  if (Rounded == 0) {
    std::free(FMemory);
    FMemory = nullptr;
    FCapacity = 0;
    FSize = 0;
  } else if (Rounded > FCapacity) {
    auto* Grown = static_cast<uint8_t*>(std::realloc(FMemory, static_cast<std::size_t>(Rounded)));
    if (Grown == nullptr) throw std::bad_alloc();
    std::memset(Grown + FCapacity, 0, static_cast<std::size_t>(Rounded - FCapacity));
    FMemory = Grown;
    FCapacity = Rounded;
  } else if (Rounded < FCapacity && FShrinkAllowed) {
    auto* Shrunk = static_cast<uint8_t*>(std::realloc(FMemory, static_cast<std::size_t>(Rounded)));
    if (Shrunk == nullptr) throw std::bad_alloc();
    FMemory = Shrunk;
    FCapacity = Rounded;
    if (FSize > Value) FSize = Value;
  }
}

void TORVMemoryStream::SetPosition(int64_t Value) {
  FPosition = static_cast<int32_t>(std::clamp<int64_t>(Value, 0, FSize));
}

void TORVMemoryStream::SetSize(int64_t Value) {
  if (Value != FSize) {
    if (!FOwnsMemory) RaiseNotOwned();
    if (Value < 0 || Value > MaxStreamSize) RaiseStreamError(u"Invalid memory stream size");
    SetCapacity(static_cast<int32_t>(Value));
    FSize = static_cast<int32_t>(Value);
  }
  if (FPosition > FSize) FPosition = FSize;
}

uint32_t TORVMemoryStream::CalculateCRC32(int32_t Count) {
  const int32_t Length = Count == 0 ? FSize : std::clamp(Count, 0, FSize);
  return UpdateCRC32(0xFFFFFFFFu, FMemory, static_cast<std::size_t>(Length));
}

int64_t TORVMemoryStream::Seek(int64_t Offset, TORVStreamOrigin Origin) {
  int64_t Base = 0;
  if (Origin == orCurrent) {
    Base = FPosition;
  } else if (Origin == orEnd) {
    Base = FSize;
  }
  const int64_t Target = Base + Offset;
  if (Target < std::numeric_limits<int32_t>::min() || Target > MaxStreamSize) {
    RaiseStreamError(u"Invalid memory stream position");
  }
  FPosition = static_cast<int32_t>(Target);
  return FPosition;
}

int32_t TORVMemoryStream::Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) {
  const int32_t Available = std::min(Count, GetAvailable());
  if (Available <= 0) return 0;
  if (Offset < 0 || static_cast<int64_t>(Offset) + Available > static_cast<int64_t>(Buffer.size())) {
    RaiseStreamError(u"Stream read outside the target buffer");
  }
  return Read(Buffer.data() + Offset, Available);
}

int32_t TORVMemoryStream::Read(uint8_t* Buffer, int32_t Count) {
  const int32_t Available = std::min(Count, GetAvailable());
  if (Available <= 0) return 0;
  std::memmove(Buffer, FMemory + FPosition, static_cast<std::size_t>(Available));
  FPosition += Available;
  return Available;
}

int32_t TORVMemoryStream::Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) {
  if (Count <= 0) return 0;
  if (Offset < 0 || static_cast<int64_t>(Offset) + Count > static_cast<int64_t>(Buffer.size())) {
    RaiseStreamError(u"Stream write outside the source buffer");
  }
  return Write(Buffer.data() + Offset, Count);
}

int32_t TORVMemoryStream::Write(const uint8_t* Buffer, int32_t Count) {
  if (Count <= 0 || Buffer == nullptr || FPosition < 0) return 0;
  Grow(static_cast<int64_t>(FPosition) + Count);
  std::memmove(FMemory + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition += Count;
  return Count;
}

void TORVMemoryStream::Grow(int64_t NewEnd) {
  if (FPosition < 0 || NewEnd <= FSize) return;
  // Most writes land inside the block already allocated: no need to go
  // through the size and capacity checks for them.
  if (FOwnsMemory && NewEnd <= FCapacity) {
    FSize = static_cast<int32_t>(NewEnd);
    return;
  }
  SetSize(NewEnd);
}

bool TORVMemoryStream::ReadFixed(void* Value, int32_t Width) {
  if (GetAvailable() < Width) {
    std::memset(Value, 0, static_cast<std::size_t>(Width));
    return false;
  }
  std::memcpy(Value, FMemory + FPosition, static_cast<std::size_t>(Width));
  FPosition += Width;
  return true;
}

template <typename T>
T TORVMemoryStream::ReadValue() {
  T Value;
  ReadFixed(&Value, sizeof(T));
  return Value;
}

void TORVMemoryStream::WriteFixed(const void* Value, int32_t Width) {
  Write(static_cast<const uint8_t*>(Value), Width);
}

int32_t TORVMemoryStream::ReadInteger(int32_t& Value) { return ReadFixed(&Value, 4) ? 4 : 0; }

int32_t TORVMemoryStream::ReadLongWord(uint32_t& Value) { return ReadFixed(&Value, 4) ? 4 : 0; }

int32_t TORVMemoryStream::ReadInteger() { return ReadValue<int32_t>(); }

uint32_t TORVMemoryStream::ReadLongWord() { return ReadValue<uint32_t>(); }

int32_t TORVMemoryStream::WriteInteger(int32_t Value) { return Write(reinterpret_cast<const uint8_t*>(&Value), 4); }

int32_t TORVMemoryStream::WriteTORVLongWord(uint32_t Value) {
  return Write(reinterpret_cast<const uint8_t*>(&Value), 4);
}

void TORVMemoryStream::WriteByte(uint8_t Value) { WriteFixed(&Value, 1); }

uint8_t TORVMemoryStream::ReadByte() { return ReadValue<uint8_t>(); }

void TORVMemoryStream::WriteBoolean(bool Value) { WriteByte(Value ? 1 : 0); }

bool TORVMemoryStream::ReadBoolean() { return ReadByte() != 0; }

void TORVMemoryStream::WriteSmallInt(int16_t Value) { WriteFixed(&Value, 2); }

int16_t TORVMemoryStream::ReadSmallInt() { return ReadValue<int16_t>(); }

void TORVMemoryStream::WriteWord(uint16_t Value) { WriteFixed(&Value, 2); }

uint16_t TORVMemoryStream::ReadWord() { return ReadValue<uint16_t>(); }

void TORVMemoryStream::WriteLargeInt(int64_t Value) { WriteFixed(&Value, 8); }

int64_t TORVMemoryStream::ReadLargeInt() { return ReadValue<int64_t>(); }

void TORVMemoryStream::WriteDouble(double Value) { WriteFixed(&Value, 8); }

double TORVMemoryStream::ReadDouble() { return ReadValue<double>(); }

void TORVMemoryStream::WriteCurrency(TORVCurrency Value) { WriteLargeInt(Value.Scaled()); }

TORVCurrency TORVMemoryStream::ReadCurrency() { return TORVCurrency::FromScaled(ReadLargeInt()); }

void TORVMemoryStream::WriteChar(char16_t Value) {
  if (FCharacterSet == CharacterSetAnsi) {
    WriteByte(static_cast<uint8_t>(Value & 0xFF));
  } else if (FCharacterSet == CharacterSetUnicode) {
    WriteWord(static_cast<uint16_t>(Value));
  }
}

char16_t TORVMemoryStream::ReadChar() {
  if (FCharacterSet == CharacterSetAnsi) return static_cast<char16_t>(ReadByte());
  if (FCharacterSet == CharacterSetUnicode) return static_cast<char16_t>(ReadWord());
  return 0;
}

// --- counted runs ---

void TORVMemoryStream::WriteCount(int64_t Count, bool WordSized) {
  if (WordSized) {
    if (Count > std::numeric_limits<uint16_t>::max()) RaiseStreamError(u"Value too long for a word-sized count");
    WriteWord(static_cast<uint16_t>(Count));
  } else {
    if (Count > MaxStreamSize) RaiseStreamError(u"Value too long for a stream");
    WriteInteger(static_cast<int32_t>(Count));
  }
}

int32_t TORVMemoryStream::ReadCount(bool WordSized) {
  const int32_t Count = WordSized ? ReadWord() : ReadInteger();
  return std::max(Count, 0);
}

void TORVMemoryStream::WriteByteRun(const uint8_t* Data, int64_t Count, bool WordSized) {
  // Checked before anything is written, so a refused value leaves no prefix.
  if (WordSized && Count > std::numeric_limits<uint16_t>::max()) {
    RaiseStreamError(u"Value too long for a word-sized count");
  }
  Grow(static_cast<int64_t>(FPosition) + PrefixSize(WordSized) + Count);
  WriteCount(Count, WordSized);
  Write(Data, static_cast<int32_t>(Count));
}

void TORVMemoryStream::WriteUnits(const char16_t* Units, int64_t Count, bool WordSized) {
  if (WordSized && Count > std::numeric_limits<uint16_t>::max()) {
    RaiseStreamError(u"Value too long for a word-sized count");
  }
  if (Count * 2 > MaxStreamSize) RaiseStreamError(u"Value too long for a stream");
  Grow(static_cast<int64_t>(FPosition) + PrefixSize(WordSized) + Count * 2);
  WriteCount(Count, WordSized);
  Write(reinterpret_cast<const uint8_t*>(Units), static_cast<int32_t>(Count * 2));
}

template <typename TContainer>
void TORVMemoryStream::ReadRun(TContainer& Value, int64_t Bytes) {
  const int32_t Count = static_cast<int32_t>(std::clamp<int64_t>(Bytes, 0, GetAvailable()));
  Value.resize(static_cast<std::size_t>(Count));
  if (Count > 0) Read(reinterpret_cast<uint8_t*>(Value.data()), Count);
}

void TORVMemoryStream::ReadUnits(TORVString& Value, int64_t Units) {
  // Only whole code units are taken from a short stream.
  const int64_t Taken = std::min<int64_t>(std::max<int64_t>(Units, 0), GetAvailable() / 2);
  Value.resize(static_cast<std::size_t>(Taken));
  if (Taken > 0) Read(reinterpret_cast<uint8_t*>(Value.data()), static_cast<int32_t>(Taken * 2));
}

namespace {

// Count 0 means the whole value; a Count beyond the value is cut to it.
int64_t RunLength(int32_t Count, std::size_t Length) {
  const auto Total = static_cast<int64_t>(Length);
  return Count <= 0 ? Total : std::min<int64_t>(Count, Total);
}

}  // namespace

void TORVMemoryStream::WriteBytes(const TORVBytes& Value, int32_t Count, bool WordSized) {
  WriteByteRun(Value.data(), RunLength(Count, Value.size()), WordSized);
}

void TORVMemoryStream::ReadBytes(TORVBytes& Value, bool WordSized) { ReadRun(Value, ReadCount(WordSized)); }

void TORVMemoryStream::WriteFixedBytes(const TORVBytes& Value, int32_t Count) {
  if (Count <= 0 || FPosition < 0) return;
  Grow(static_cast<int64_t>(FPosition) + Count);
  const int32_t Copied = static_cast<int32_t>(std::min<int64_t>(Count, static_cast<int64_t>(Value.size())));
  if (Copied > 0) std::memcpy(FMemory + FPosition, Value.data(), static_cast<std::size_t>(Copied));
  std::memset(FMemory + FPosition + Copied, 0, static_cast<std::size_t>(Count - Copied));
  FPosition += Count;
}

void TORVMemoryStream::ReadFixedBytes(TORVBytes& Value, int32_t Count) { ReadRun(Value, Count); }

void TORVMemoryStream::WriteUnicodeString(const TORVString& Value, int32_t Count, bool WordSized, int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    WriteUnits(Value.data(), RunLength(Count, Value.size()), WordSized);
  } else if (FCharacterSet == CharacterSetAnsi) {
    const TORVAnsiString Bytes = MapStringToAnsi(Value, CodePage);
    WriteByteRun(reinterpret_cast<const uint8_t*>(Bytes.data()), RunLength(Count, Bytes.size()), WordSized);
  }
}

void TORVMemoryStream::WriteAnsiString(const TORVAnsiString& Value, int32_t Count, bool WordSized,
                                       int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    const TORVString Units = MapStringToUnicode(Value, CodePage);
    WriteUnits(Units.data(), RunLength(Count, Units.size()), WordSized);
  } else if (FCharacterSet == CharacterSetAnsi) {
    WriteByteRun(reinterpret_cast<const uint8_t*>(Value.data()), RunLength(Count, Value.size()), WordSized);
  }
}

void TORVMemoryStream::ReadUnicodeString(TORVString& Value, bool WordSized, int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    ReadUnits(Value, ReadCount(WordSized));
  } else if (FCharacterSet == CharacterSetAnsi) {
    TORVAnsiString Bytes;
    ReadRun(Bytes, ReadCount(WordSized));
    Value = MapStringToUnicode(Bytes, CodePage);
  }
}

void TORVMemoryStream::ReadAnsiString(TORVAnsiString& Value, bool WordSized, int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    TORVString Units;
    ReadUnits(Units, ReadCount(WordSized));
    Value = MapStringToAnsi(Units, CodePage);
  } else if (FCharacterSet == CharacterSetAnsi) {
    ReadRun(Value, ReadCount(WordSized));
  }
}

void TORVMemoryStream::WriteFixedUnicodeString(const TORVString& Value, int32_t Count, int32_t CodePage) {
  if (Count <= 0 || FPosition < 0) return;
  if (FCharacterSet == CharacterSetUnicode) {
    const int64_t Bytes = static_cast<int64_t>(Count) * 2;
    if (Bytes > MaxStreamSize) RaiseStreamError(u"Value too long for a stream");
    Grow(FPosition + Bytes);
    const std::size_t Copied = std::min(static_cast<std::size_t>(Count), Value.size());
    uint8_t* Target = FMemory + FPosition;
    std::memcpy(Target, Value.data(), Copied * 2);
    for (std::size_t I = Copied * 2; I < static_cast<std::size_t>(Bytes); I += 2) {
      Target[I] = ' ';
      Target[I + 1] = 0;
    }
    FPosition += static_cast<int32_t>(Bytes);
  } else if (FCharacterSet == CharacterSetAnsi) {
    WriteFixedAnsiString(MapStringToAnsi(Value, CodePage), Count, CodePage);
  }
}

void TORVMemoryStream::WriteFixedAnsiString(const TORVAnsiString& Value, int32_t Count, int32_t CodePage) {
  if (Count <= 0 || FPosition < 0) return;
  if (FCharacterSet == CharacterSetUnicode) {
    WriteFixedUnicodeString(MapStringToUnicode(Value, CodePage), Count, CodePage);
  } else if (FCharacterSet == CharacterSetAnsi) {
    Grow(static_cast<int64_t>(FPosition) + Count);
    const std::size_t Copied = std::min(static_cast<std::size_t>(Count), Value.size());
    std::memcpy(FMemory + FPosition, Value.data(), Copied);
    std::memset(FMemory + FPosition + Copied, ' ', static_cast<std::size_t>(Count) - Copied);
    FPosition += Count;
  }
}

void TORVMemoryStream::ReadFixedUnicodeString(TORVString& Value, int32_t Count, int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    ReadUnits(Value, Count);
  } else if (FCharacterSet == CharacterSetAnsi) {
    TORVAnsiString Bytes;
    ReadRun(Bytes, Count);
    Value = MapStringToUnicode(Bytes, CodePage);
  }
}

void TORVMemoryStream::ReadFixedAnsiString(TORVAnsiString& Value, int32_t Count, int32_t CodePage) {
  if (FCharacterSet == CharacterSetUnicode) {
    TORVString Units;
    ReadUnits(Units, Count);
    Value = MapStringToAnsi(Units, CodePage);
  } else if (FCharacterSet == CharacterSetAnsi) {
    ReadRun(Value, Count);
  }
}

// --- operations inside the buffer ---

void TORVMemoryStream::CheckRange(int64_t Offset, int64_t Count) const {
  if (Offset < 0 || Count < 0 || Offset + Count > FCapacity) {
    RaiseStreamError(u"Memory stream operation outside the buffer");
  }
}

void TORVMemoryStream::Clear(int32_t Count) {
  if (Count == 0) Count = GetAvailable();
  CheckRange(FPosition, Count);
  if (Count == 0) return;
  std::memset(FMemory + FPosition, 0, static_cast<std::size_t>(Count));
  FPosition += Count;
}

void TORVMemoryStream::MoveTo(TORVMemoryStream& Destination, int32_t Count) {
  if (Count == 0) Count = GetAvailable();
  CheckRange(FPosition, Count);
  Destination.CheckRange(Destination.FPosition, Count);
  if (Count == 0) return;
  std::memmove(Destination.FMemory + Destination.FPosition, FMemory + FPosition, static_cast<std::size_t>(Count));
}

void TORVMemoryStream::InsertSpace(int32_t Count, int32_t UsedSize) {
  const int64_t Length = static_cast<int64_t>(UsedSize) - FPosition;
  if (Count <= 0 || Length <= 0) return;
  CheckRange(FPosition, Length + Count);
  std::memmove(FMemory + FPosition + Count, FMemory + FPosition, static_cast<std::size_t>(Length));
}

void TORVMemoryStream::MoveSpace(int32_t Count, int32_t MovePos) {
  if (Count <= 0) return;
  CheckRange(FPosition, Count);
  CheckRange(MovePos, Count);
  std::memmove(FMemory + MovePos, FMemory + FPosition, static_cast<std::size_t>(Count));
}

void TORVMemoryStream::DeleteSpace(int32_t Count, int32_t UsedSize) {
  if (Count <= 0) return;
  const int64_t Length = static_cast<int64_t>(UsedSize) - FPosition - Count;
  if (Length < 0) RaiseStreamError(u"Memory stream operation outside the buffer");
  CheckRange(FPosition, static_cast<int64_t>(Count) + Length);
  std::memmove(FMemory + FPosition, FMemory + FPosition + Count, static_cast<std::size_t>(Length));
  std::memset(FMemory + UsedSize - Count, 0, static_cast<std::size_t>(Count));
}

int32_t TORVMemoryStream::CopyToStream(TORVStream& Stream, int32_t Count) {
  if (Count == 0) Count = GetAvailable();
  CheckRange(FPosition, Count);
  if (Count == 0) return 0;
  const int32_t Written = Stream.Write(FMemory + FPosition, Count);
  FPosition += Written;
  return Written;
}

int32_t TORVMemoryStream::SaveToStream(TORVStream& Stream, int32_t Count) {
  if (Count == 0) Count = FSize;
  CheckRange(0, Count);
  if (Count == 0) return 0;
  return Stream.Write(FMemory, Count);
}

int32_t TORVMemoryStream::CopyFromStream(TORVStream& Stream, int32_t Count) {
  if (Count == 0) {
    const int64_t Left = std::max<int64_t>(Stream.GetSize() - Stream.GetPosition(), 0);
    Count = static_cast<int32_t>(std::min<int64_t>(Left, GetAvailable()));
  }
  CheckRange(FPosition, Count);
  if (Count == 0) return 0;
  const int32_t Got = Stream.Read(FMemory + FPosition, Count);
  FPosition += Got;
  return Got;
}

int32_t TORVMemoryStream::LoadFromStream(TORVStream& Stream, int32_t Count) {
  if (Count == 0) {
    Stream.SetPosition(0);
    const int64_t Size = Stream.GetSize();
    if (Size > MaxStreamSize) RaiseStreamError(u"Memory stream too large");
    Count = static_cast<int32_t>(Size);
  }
  if (Count < 0) RaiseStreamError(u"Memory stream operation outside the buffer");
  if (FSize < Count) SetSize(Count);
  if (Count == 0) return 0;
  return Stream.Read(FMemory, Count);
}

void TORVMemoryStream::SetMemory(uint8_t* Value, int32_t ValueSize) {
  if (ValueSize < 0 || (Value == nullptr && ValueSize != 0)) RaiseStreamError(u"Invalid memory stream size");
  if (FOwnsMemory) std::free(FMemory);
  FMemory = Value;
  FOwnsMemory = false;
  FCapacity = ValueSize;
  FSize = ValueSize;
  FPosition = 0;
}

// --- encipherment ---

void TORVMemoryStream::InitEncryption(const TORVDigest& PasswordDigest) {
  TORVBytes Key(TORVDigest::DigestSize);
  PasswordDigest.Write(Key.data());
  Cipher().Init(Key, TORVDigest::DigestSize, TORVBytes());
}

TORVBlowfish& TORVMemoryStream::Cipher() {
  // Most streams never encipher; the cipher's tables are made on first use.
  if (!FBlowfish) FBlowfish = std::make_unique<TORVBlowfish>();
  return *FBlowfish;
}

template <typename TStep>
void TORVMemoryStream::Encipher(int32_t Count, TStep Step) {
  if (Count == 0) Count = GetAvailable();
  if (Count < 0) RaiseStreamError(u"Memory stream operation outside the buffer");
  const int32_t Blocks = Count / TORVBlowfish::BlockSize;
  CheckRange(FPosition, static_cast<int64_t>(Blocks) * TORVBlowfish::BlockSize);
  TORVBlowfish& Engine = Cipher();
  try {
    for (int32_t I = 0; I < Blocks; ++I) {
      Step(Engine, FMemory, FPosition);
      FPosition += TORVBlowfish::BlockSize;
    }
  } catch (...) {
    Engine.Reset();
    throw;
  }
  Engine.Reset();
}

void TORVMemoryStream::Encrypt(int32_t Count) {
  Encipher(Count, [](TORVBlowfish& Cipher, uint8_t* Memory, int32_t Offset) { Cipher.Encrypt(Memory, Offset); });
}

void TORVMemoryStream::Decrypt(int32_t Count) {
  Encipher(Count, [](TORVBlowfish& Cipher, uint8_t* Memory, int32_t Offset) { Cipher.Decrypt(Memory, Offset); });
}

}  // namespace orv
