#include "core/orvreferencevalue.h"

#include <stdexcept>

namespace orv {

TORVReferenceValue::TORVReferenceValue(int32_t CharacterSetToUse) : TORVValue(CharacterSetToUse) {}

TORVValue& TORVReferenceValue::Target() {
  TORVValue* Value = GetValue();
  // A reference is given its value before use: none is a broken internal
  // contract.
  if (Value == nullptr) throw std::logic_error("reference value refers to no value");
  return *Value;
}

bool TORVReferenceValue::GetNull() { return Target().GetNull(); }
void TORVReferenceValue::SetNull(bool Value) { Target().SetNull(Value); }
int32_t TORVReferenceValue::GetSize() { return Target().GetSize(); }
void TORVReferenceValue::SetSize(int32_t Value) { Target().SetSize(Value); }
int32_t TORVReferenceValue::GetLength() { return Target().GetLength(); }
void TORVReferenceValue::SetLength(int32_t Value) { Target().SetLength(Value); }
TORVMemoryStream* TORVReferenceValue::GetBlob() { return Target().GetBlob(); }

void TORVReferenceValue::GetString(TORVString& Value) { Target().GetString(Value); }
void TORVReferenceValue::GetAnsiString(TORVAnsiString& Value) { Target().GetAnsiString(Value); }
void TORVReferenceValue::GetUnicodeString(TORVString& Value) { Target().GetUnicodeString(Value); }
const uint8_t* TORVReferenceValue::GetRawAnsiString(int32_t& Length) { return Target().GetRawAnsiString(Length); }
const char16_t* TORVReferenceValue::GetRawUnicodeString(int32_t& Length) {
  return Target().GetRawUnicodeString(Length);
}
void TORVReferenceValue::GetBytes(TORVBytes& Value) { Target().GetBytes(Value); }
const uint8_t* TORVReferenceValue::GetRawBytes(int32_t& Length) { return Target().GetRawBytes(Length); }
bool TORVReferenceValue::GetBoolean() { return Target().GetBoolean(); }
int16_t TORVReferenceValue::GetSmallInt() { return Target().GetSmallInt(); }
int32_t TORVReferenceValue::GetInteger() { return Target().GetInteger(); }
int64_t TORVReferenceValue::GetLargeInt() { return Target().GetLargeInt(); }
TORVCurrency TORVReferenceValue::GetCurrency() { return Target().GetCurrency(); }
double TORVReferenceValue::GetDouble() { return Target().GetDouble(); }
void TORVReferenceValue::SetString(const TORVString& Value) { Target().SetString(Value); }
void TORVReferenceValue::SetAnsiString(const TORVAnsiString& Value) { Target().SetAnsiString(Value); }
void TORVReferenceValue::SetUnicodeString(const TORVString& Value) { Target().SetUnicodeString(Value); }
void TORVReferenceValue::SetBytes(const TORVBytes& Value) { Target().SetBytes(Value); }
void TORVReferenceValue::SetBlob(TORVStream* Stream, int32_t Count) { Target().SetBlob(Stream, Count); }
void TORVReferenceValue::SetBoolean(bool Value) { Target().SetBoolean(Value); }
void TORVReferenceValue::SetSmallInt(int16_t Value) { Target().SetSmallInt(Value); }
void TORVReferenceValue::SetInteger(int32_t Value) { Target().SetInteger(Value); }
void TORVReferenceValue::SetLargeInt(int64_t Value) { Target().SetLargeInt(Value); }
void TORVReferenceValue::SetCurrency(TORVCurrency Value) { Target().SetCurrency(Value); }
void TORVReferenceValue::SetDouble(double Value) { Target().SetDouble(Value); }

}  // namespace orv
