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

namespace {

constexpr int32_t kCountSize = 4;

}  // namespace

TORVContainedValue::TORVContainedValue(int32_t CharacterSetToUse) : TORVContainedValue(CharacterSetToUse, false) {}

TORVContainedValue::TORVContainedValue(int32_t CharacterSetToUse, bool UseDefinedLength)
    : TORVValue(CharacterSetToUse),
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
  int32_t size = GetSizeForDataType(FCharacterSet, FDataType, FLength);
  if (FDataType == dtLargeObject) size = 0;
  if (IsVarying()) size += kCountSize;
  FRawStream->SetSize(size);
}

void TORVContainedValue::SetDataType(int32_t Value) {
  if (Value == FDataType) return;
  const int32_t oldLength = FLength;
  int32_t size = static_cast<int32_t>(FRawStream->GetSize());
  AssignDataType(FCharacterSet, Value, FDataType, FSubType, FLength, size, FScale, FCollation);
  UpdateCodePage();
  ResizeForType(oldLength);
}

void TORVContainedValue::SetSubType(int32_t Value) {
  if (Value == FSubType) return;
  const int32_t oldLength = FLength;
  int32_t size = static_cast<int32_t>(FRawStream->GetSize());
  AssignSubType(FCharacterSet, FDataType, Value, FSubType, FLength, size, FScale, FCollation);
  UpdateCodePage();
  ResizeForType(oldLength);
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
  int32_t size = static_cast<int32_t>(FRawStream->GetSize());
  AssignLength(FCharacterSet, FDataType, FSubType, Value, FLength, size, false);
  // Room for the count and the defined length; the contents of a large
  // object are its value and are not padded out to the defined length.
  if (FDataType != dtLargeObject && FRawStream->GetSize() < size) FRawStream->SetSize(size);
}

int32_t TORVContainedValue::GetSize() { return static_cast<int32_t>(FRawStream->GetSize()); }

void TORVContainedValue::SetSize(int32_t Value) { FRawStream->SetSize(Value); }

int32_t TORVContainedValue::GetLength() {
  if (IsFixedText() || IsFixedBinary()) return FLength;
  if (IsVarying()) return ReadCount();
  if (FDataType == dtLargeObject) {
    const int32_t size = static_cast<int32_t>(FRawStream->GetSize());
    return FSubType == stClob ? size / UnitSize() : size;
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
  const int64_t size = FRawStream->GetSize();
  if (size < kCountSize) return 0;
  int32_t count = 0;
  std::memcpy(&count, FRawStream->GetMemory(), kCountSize);
  const int32_t unit = FDataType == dtCharacter ? UnitSize() : 1;
  const int64_t room = (size - kCountSize) / unit;
  return static_cast<int32_t>(std::clamp<int64_t>(count, 0, room));
}

// The characters of a text value or the bytes of a bytes value, as stored.
void TORVContainedValue::ImageRange(const uint8_t*& Data, int32_t& ByteCount) const {
  const uint8_t* memory = FRawStream->GetMemory();
  const int32_t size = static_cast<int32_t>(FRawStream->GetSize());
  Data = memory;
  if (IsVarying()) {
    const int32_t unit = FDataType == dtCharacter ? UnitSize() : 1;
    ByteCount = ReadCount() * unit;
    Data = ByteCount > 0 ? memory + kCountSize : memory;
  } else if (IsFixedText()) {
    ByteCount = std::min(size, FLength * UnitSize());
  } else if (IsFixedBinary()) {
    ByteCount = std::min(size, FLength);
  } else {
    ByteCount = size;
  }
  if (Data == nullptr) ByteCount = 0;
}

void TORVContainedValue::EncodeText(std::u16string_view Text, TORVBytes& Bytes) const {
  if (FCharacterSet == CharacterSetUnicode) {
    Bytes.resize(Text.size() * 2);
    if (!Text.empty()) std::memcpy(Bytes.data(), Text.data(), Bytes.size());
    return;
  }
  const TORVAnsiString ansi = MapStringToAnsi(Text, FCodePage);
  Bytes.assign(ansi.begin(), ansi.end());
}

void TORVContainedValue::DecodeText(const uint8_t* Data, int32_t ByteCount, TORVString& Text) const {
  if (FCharacterSet == CharacterSetUnicode) {
    Text.resize(static_cast<std::size_t>(ByteCount / 2));
    if (!Text.empty()) std::memcpy(Text.data(), Data, Text.size() * 2);
    return;
  }
  Text = MapStringToUnicode(std::string_view(reinterpret_cast<const char*>(Data), static_cast<std::size_t>(ByteCount)),
                            FCodePage);
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
  uint8_t* image = ResizeImage(ByteCount);
  if (ByteCount > 0) std::memcpy(image, Data, static_cast<std::size_t>(ByteCount));
}

// Replaces the whole image with a count and the units after it, written
// straight into the stream.
void TORVContainedValue::WriteCounted(int32_t Count, const uint8_t* Data, int32_t ByteCount) {
  uint8_t* image = ResizeImage(kCountSize + ByteCount);
  std::memcpy(image, &Count, kCountSize);
  if (ByteCount > 0) std::memcpy(image + kCountSize, Data, static_cast<std::size_t>(ByteCount));
}

template <typename T>
T TORVContainedValue::ReadNative() const {
  T result{};
  if (FRawStream->GetSize() >= static_cast<int64_t>(sizeof(T)))
    std::memcpy(&result, FRawStream->GetMemory(), sizeof(T));
  return result;
}

template <typename T>
void TORVContainedValue::WriteNative(T Value) {
  uint8_t image[sizeof(T)];
  std::memcpy(image, &Value, sizeof(T));
  WriteImage(image, sizeof(T));
}

// ---------------------------------------------------------------------------
// Reading primitives

void TORVContainedValue::GetString(TORVString& Value) {
  Value.clear();
  if (FDataType != dtCharacter && FDataType != dtLargeObject) return;
  const uint8_t* data = nullptr;
  int32_t byteCount = 0;
  ImageRange(data, byteCount);
  DecodeText(data, byteCount, Value);
}

void TORVContainedValue::GetUnicodeString(TORVString& Value) { GetString(Value); }

void TORVContainedValue::GetAnsiString(TORVAnsiString& Value) {
  Value.clear();
  if (FDataType != dtCharacter && FDataType != dtLargeObject) return;
  if (FCharacterSet == CharacterSetUnicode) {
    GetString(FRawUnicode);
    Value = MapStringToAnsi(FRawUnicode, FCodePage);
    return;
  }
  const uint8_t* data = nullptr;
  int32_t byteCount = 0;
  ImageRange(data, byteCount);
  Value.assign(reinterpret_cast<const char*>(data), static_cast<std::size_t>(byteCount));
}

const uint8_t* TORVContainedValue::GetRawAnsiString(int32_t& Length) {
  if (FCharacterSet != CharacterSetUnicode) {
    const uint8_t* data = nullptr;
    ImageRange(data, Length);
    if (FDataType != dtCharacter && FDataType != dtLargeObject) Length = 0;
    return data;
  }
  GetAnsiString(FRawAnsi);
  Length = static_cast<int32_t>(FRawAnsi.size());
  return reinterpret_cast<const uint8_t*>(FRawAnsi.data());
}

// UTF-16 units are copied out of the byte image rather than aliased, so that
// no unit is read through a pointer of another type.
const char16_t* TORVContainedValue::GetRawUnicodeString(int32_t& Length) {
  GetString(FRawUnicode);
  Length = static_cast<int32_t>(FRawUnicode.size());
  return FRawUnicode.data();
}

void TORVContainedValue::GetBytes(TORVBytes& Value) {
  const uint8_t* data = nullptr;
  int32_t byteCount = 0;
  ImageRange(data, byteCount);
  Value.assign(data, data + byteCount);
}

const uint8_t* TORVContainedValue::GetRawBytes(int32_t& Length) {
  const uint8_t* data = nullptr;
  ImageRange(data, Length);
  return data;
}

bool TORVContainedValue::GetBoolean() { return ReadNative<uint8_t>() != 0; }

int16_t TORVContainedValue::GetSmallInt() { return ReadNative<int16_t>(); }

int32_t TORVContainedValue::GetInteger() { return ReadNative<int32_t>(); }

int64_t TORVContainedValue::GetLargeInt() { return ReadNative<int64_t>(); }

TORVCurrency TORVContainedValue::GetCurrency() { return TORVCurrency::FromScaled(ReadNative<int64_t>()); }

double TORVContainedValue::GetDouble() { return ReadNative<double>(); }

// ---------------------------------------------------------------------------
// Writing primitives

void TORVContainedValue::SetString(const TORVString& Value) {
  if (IsFixedText()) {
    // Exactly the defined length, blank-padded or cut; never an error.
    const std::size_t length = static_cast<std::size_t>(std::max(FLength, 0));
    const std::u16string_view text = std::u16string_view(Value).substr(0, length);
    EncodeText(text, FImage);
    // A UTF-16 blank is 0x20 0x00; an ANSI blank is 0x20 in every code page.
    if (FCharacterSet == CharacterSetUnicode)
      for (std::size_t i = text.size(); i < length; ++i) FImage.insert(FImage.end(), {0x20, 0x00});
    FImage.resize(length * static_cast<std::size_t>(UnitSize()), 0x20);
    WriteImage(FImage.data(), static_cast<int32_t>(FImage.size()));
    return;
  }
  if (FDataType == dtCharacter) {
    const int32_t length = static_cast<int32_t>(Value.size());
    int32_t count = length;
    if (FUseDefinedLength) {
      // Trailing blanks beyond the defined length are dropped silently; any
      // other excess is an error unless truncation errors are off.
      if (FRaiseTruncationErrors && FLength != 0 && FLength < TrimmedStringLength(Value))
        RaiseTruncationError(Value, true);
      if (FLength != 0) count = std::min(FLength, length);
    }
    EncodeText(std::u16string_view(Value).substr(0, static_cast<std::size_t>(count)), FImage);
    const int32_t byteCount = static_cast<int32_t>(FImage.size());
    WriteCounted(FCharacterSet == CharacterSetUnicode ? count : byteCount, FImage.data(), byteCount);
    return;
  }
  if (FDataType == dtLargeObject) {
    EncodeText(Value, FImage);
    WriteImage(FImage.data(), static_cast<int32_t>(FImage.size()));
  }
}

void TORVContainedValue::SetUnicodeString(const TORVString& Value) { SetString(Value); }

void TORVContainedValue::SetAnsiString(const TORVAnsiString& Value) {
  // The text is in the value's code page; the length rules count characters.
  SetString(MapStringToUnicode(Value, FCodePage));
}

void TORVContainedValue::SetBytes(const TORVBytes& Value) {
  const int32_t byteCount = static_cast<int32_t>(Value.size());
  if (IsFixedText() || IsFixedBinary()) {
    const int32_t width = std::max(FLength, 0) * (IsFixedText() ? UnitSize() : 1);
    FImage.assign(Value.begin(), Value.begin() + std::min(byteCount, width));
    FImage.resize(static_cast<std::size_t>(width), 0);
    WriteImage(FImage.data(), width);
    return;
  }
  if (IsVarying()) {
    const int32_t unit = FDataType == dtCharacter ? UnitSize() : 1;
    // UTF-16 text is whole units; an odd byte would be lost.
    if (byteCount % unit != 0) RaiseConversionError(BinaryToSQLStr(Value), true);
    int32_t count = byteCount / unit;
    if (FUseDefinedLength && FLength != 0 && FLength < count) {
      if (FRaiseTruncationErrors) RaiseTruncationError(BinaryToSQLStr(Value), true);
      count = FLength;
    }
    WriteCounted(count, Value.data(), count * unit);
    return;
  }
  if (FDataType == dtLargeObject) WriteImage(Value.data(), byteCount);
}

void TORVContainedValue::SetBlob(TORVStream* Stream, int32_t Count) {
  const int64_t position = FRawStream->GetPosition();
  FRawStream->SetSize(Count);
  if (Stream != nullptr) {
    // Count bytes from Stream's position, or all of Stream when Count is 0;
    // the contents are what actually arrived.
    const int32_t read = FRawStream->LoadFromStream(*Stream, Count);
    FRawStream->SetSize(read);
  }
  FRawStream->SetPosition(position);
}

void TORVContainedValue::SetBoolean(bool Value) { WriteNative<uint8_t>(Value ? 1 : 0); }

void TORVContainedValue::SetSmallInt(int16_t Value) { WriteNative(Value); }

void TORVContainedValue::SetInteger(int32_t Value) { WriteNative(Value); }

void TORVContainedValue::SetLargeInt(int64_t Value) { WriteNative(Value); }

void TORVContainedValue::SetCurrency(TORVCurrency Value) { WriteNative(Value.Scaled()); }

void TORVContainedValue::SetDouble(double Value) { WriteNative(Value); }

}  // namespace orv
