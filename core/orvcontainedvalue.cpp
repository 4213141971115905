#include "core/orvcontainedvalue.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "platform/orvplatformcodepage.h"

namespace orv {

template class TORVImageValue<TORVValue, TORVContainedValue>;

namespace {

constexpr int32_t kCountSize = 4;

}  // namespace

TORVContainedValue::TORVContainedValue(int32_t CharacterSetToUse) : TORVContainedValue(CharacterSetToUse, false) {}

TORVContainedValue::TORVContainedValue(int32_t CharacterSetToUse, bool UseDefinedLength)
    : TORVImageValue(CharacterSetToUse),
      FUseDefinedLength(UseDefinedLength),
      FRawStream(std::make_unique<TORVMemoryStream>(CharacterSetToUse)) {}

TORVContainedValue::~TORVContainedValue() = default;

// ---------------------------------------------------------------------------
// Type description

// After a change of type or subtype the stream holds the new type's image
// size (plus the count of a VarChar or VarByte), unless the defined length
// of a text or bytes value changed too, which SetLength then applies.
void TORVContainedValue::ResizeForType(int32_t OldLength) {
  if (FLength != OldLength && (FDataType == dtCharacter || FDataType == dtBytes)) {
    SetLength(FLength);
    return;
  }
  int32_t Size = GetSizeForDataType(FCharacterSet, FDataType, FLength);
  if (FDataType == dtLargeObject) Size = 0;
  if (IsVarying()) Size += kCountSize;
  FRawStream->SetSize(Size);
}

void TORVContainedValue::SetDataType(int32_t Value) {
  if (Value == FDataType) return;
  const int32_t OldLength = FLength;
  int32_t Size = static_cast<int32_t>(FRawStream->GetSize());
  AssignDataType(FCharacterSet, Value, FDataType, FSubType, FLength, Size, FScale, FCollation);
  UpdateCodePage();
  ResizeForType(OldLength);
}

void TORVContainedValue::SetSubType(int32_t Value) {
  if (Value == FSubType) return;
  const int32_t OldLength = FLength;
  int32_t Size = static_cast<int32_t>(FRawStream->GetSize());
  AssignSubType(FCharacterSet, FDataType, Value, FSubType, FLength, Size, FScale, FCollation);
  UpdateCodePage();
  ResizeForType(OldLength);
}

void TORVContainedValue::SetScale(int32_t Value) {
  if (Value == FScale) return;
  AssignScale(FDataType, FSubType, Value, FScale);
}

void TORVContainedValue::SetCollation(int32_t Value) {
  if (Value == FCollation) return;
  AssignCollation(FDataType, FSubType, Value, FCollation);
  UpdateCodePage();
}

void TORVContainedValue::SetLength(int32_t Value) {
  int32_t Size = static_cast<int32_t>(FRawStream->GetSize());
  AssignLength(FCharacterSet, FDataType, FSubType, Value, FLength, Size, false);
  // Room for the count and the defined length; the contents of a large
  // object are its value and are not padded out to the defined length.
  if (FDataType != dtLargeObject && FRawStream->GetSize() < Size) FRawStream->SetSize(Size);
}

int32_t TORVContainedValue::GetSize() { return static_cast<int32_t>(FRawStream->GetSize()); }

void TORVContainedValue::SetSize(int32_t Value) { FRawStream->SetSize(Value); }

int32_t TORVContainedValue::GetLength() {
  if (IsFixedText() || IsFixedBinary()) return FLength;
  if (IsVarying()) return ReadCount();
  if (FDataType == dtLargeObject) {
    const int32_t Size = static_cast<int32_t>(FRawStream->GetSize());
    return FSubType == stClob ? Size / UnitSize() : Size;
  }
  return 0;
}

int32_t TORVContainedValue::GetMemorySize() {
  return TORVValue::GetMemorySize() - static_cast<int32_t>(sizeof(TORVValue)) +
         static_cast<int32_t>(sizeof(TORVContainedValue)) + FRawStream->GetCapacity();
}

// ---------------------------------------------------------------------------
// Image helpers

int32_t TORVContainedValue::UnitSize() const { return FCharacterSet == CharacterSetUnicode ? 2 : 1; }

bool TORVContainedValue::IsVarying() const {
  return (FDataType == dtCharacter && FSubType == stVarChar) || (FDataType == dtBytes && FSubType == stVarByte);
}

bool TORVContainedValue::IsFixedText() const {
  return FDataType == dtCharacter && (FSubType == stChar || FSubType == stGUID);
}

bool TORVContainedValue::IsFixedBinary() const {
  return FDataType == dtBytes && (FSubType == stByte || FSubType == stGUID);
}

// The count of a VarChar or VarByte image, never more than the stream holds.
int32_t TORVContainedValue::ReadCount() const {
  const int64_t Size = FRawStream->GetSize();
  if (Size < kCountSize) return 0;
  int32_t Count = 0;
  std::memcpy(&Count, FRawStream->GetMemory(), kCountSize);
  const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
  const int64_t Room = (Size - kCountSize) / Unit;
  return static_cast<int32_t>(std::clamp<int64_t>(Count, 0, Room));
}

// The characters of a text value or the bytes of a bytes value, as stored.
void TORVContainedValue::ImageRun(const uint8_t*& Data, int32_t& ByteCount) const {
  const uint8_t* Memory = FRawStream->GetMemory();
  const int32_t Size = static_cast<int32_t>(FRawStream->GetSize());
  Data = Memory;
  if (IsVarying()) {
    const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
    ByteCount = ReadCount() * Unit;
    Data = ByteCount > 0 ? Memory + kCountSize : Memory;
  } else if (IsFixedText()) {
    ByteCount = std::min(Size, FLength * UnitSize());
  } else if (IsFixedBinary()) {
    ByteCount = std::min(Size, FLength);
  } else {
    ByteCount = Size;
  }
  if (Data == nullptr) ByteCount = 0;
}

void TORVContainedValue::EncodeText(std::u16string_view Text, TORVBytes& Bytes) const {
  if (FCharacterSet == CharacterSetUnicode) {
    Bytes.resize(Text.size() * 2);
    if (!Text.empty()) std::memcpy(Bytes.data(), Text.data(), Bytes.size());
    return;
  }
  const TORVAnsiString Ansi = MapStringToAnsi(Text, FCodePage);
  Bytes.assign(Ansi.begin(), Ansi.end());
}

// The image made ByteCount bytes long, for the caller to fill; resizing
// keeps the stream's position (which readers of a large object rely on) as
// far as the new size allows.
uint8_t* TORVContainedValue::ResizeImage(int32_t ByteCount) {
  FRawStream->SetSize(ByteCount);
  return FRawStream->GetMemory();
}

// Replaces the whole image.
void TORVContainedValue::WriteImage(const uint8_t* Data, int32_t ByteCount) {
  uint8_t* Image = ResizeImage(ByteCount);
  if (ByteCount > 0) std::memcpy(Image, Data, static_cast<std::size_t>(ByteCount));
}

// Replaces the whole image with a count and the units after it, written
// straight into the stream.
void TORVContainedValue::WriteCounted(int32_t Count, const uint8_t* Data, int32_t ByteCount) {
  uint8_t* Image = ResizeImage(kCountSize + ByteCount);
  std::memcpy(Image, &Count, kCountSize);
  if (ByteCount > 0) std::memcpy(Image + kCountSize, Data, static_cast<std::size_t>(ByteCount));
}

// A number, date or Boolean shorter than its type reads as zero.
const uint8_t* TORVContainedValue::NativeImage(int32_t Size) const {
  return FRawStream->GetSize() >= Size ? FRawStream->GetMemory() : nullptr;
}

// ---------------------------------------------------------------------------
// Writing primitives

void TORVContainedValue::SetString(const TORVString& Value) {
  if (IsFixedText()) {
    // Exactly the defined length, blank-padded or cut; never an error.
    const std::size_t Length = static_cast<std::size_t>(std::max(FLength, 0));
    const std::u16string_view Text = std::u16string_view(Value).substr(0, Length);
    EncodeText(Text, FImage);
    // A UTF-16 blank is 0x20 0x00; an ANSI blank is 0x20 in every code page.
    if (FCharacterSet == CharacterSetUnicode)
      for (std::size_t I = Text.size(); I < Length; ++I) FImage.insert(FImage.end(), {0x20, 0x00});
    FImage.resize(Length * static_cast<std::size_t>(UnitSize()), 0x20);
    WriteImage(FImage.data(), static_cast<int32_t>(FImage.size()));
    return;
  }
  if (FDataType == dtCharacter) {
    const int32_t Length = static_cast<int32_t>(Value.size());
    int32_t Count = Length;
    if (FUseDefinedLength) {
      // Trailing blanks beyond the defined length are dropped silently; any
      // other excess is an error unless truncation errors are off.
      if (FRaiseTruncationErrors && FLength != 0 && FLength < TrimmedStringLength(Value))
        RaiseTruncationError(Value, true);
      if (FLength != 0) Count = std::min(FLength, Length);
    }
    EncodeText(std::u16string_view(Value).substr(0, static_cast<std::size_t>(Count)), FImage);
    const int32_t ByteCount = static_cast<int32_t>(FImage.size());
    WriteCounted(FCharacterSet == CharacterSetUnicode ? Count : ByteCount, FImage.data(), ByteCount);
    return;
  }
  if (FDataType == dtLargeObject) {
    EncodeText(Value, FImage);
    WriteImage(FImage.data(), static_cast<int32_t>(FImage.size()));
  }
}

void TORVContainedValue::SetBytes(const TORVBytes& Value) {
  const int32_t ByteCount = static_cast<int32_t>(Value.size());
  if (IsFixedText() || IsFixedBinary()) {
    const int32_t Width = std::max(FLength, 0) * (IsFixedText() ? UnitSize() : 1);
    FImage.assign(Value.begin(), Value.begin() + std::min(ByteCount, Width));
    FImage.resize(static_cast<std::size_t>(Width), 0);
    WriteImage(FImage.data(), Width);
    return;
  }
  if (IsVarying()) {
    const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
    // UTF-16 text is whole units; an odd byte would be lost.
    if (ByteCount % Unit != 0) RaiseConversionError(BinaryToSQLStr(Value), true);
    int32_t Count = ByteCount / Unit;
    if (FUseDefinedLength && FLength != 0 && FLength < Count) {
      if (FRaiseTruncationErrors) RaiseTruncationError(BinaryToSQLStr(Value), true);
      Count = FLength;
    }
    WriteCounted(Count, Value.data(), Count * Unit);
    return;
  }
  if (FDataType == dtLargeObject) WriteImage(Value.data(), ByteCount);
}

void TORVContainedValue::SetBlob(TORVStream* Stream, int32_t Count) {
  const int64_t Position = FRawStream->GetPosition();
  FRawStream->SetSize(Count);
  if (Stream != nullptr) {
    // Count bytes from Stream's position, or all of Stream when Count is 0;
    // the contents are what actually arrived.
    const int32_t Read = FRawStream->LoadFromStream(*Stream, Count);
    FRawStream->SetSize(Read);
  }
  FRawStream->SetPosition(Position);
}

}  // namespace orv
