// A value that stores nothing itself: every storage operation reaches the
// value that its subclass names, while the type description (data type,
// subtype, scale, collation) is its own and drives the conversions.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvvalue.h"

namespace orv {

class TORVReferenceValue : public TORVValue {
 public:
  explicit TORVReferenceValue(int32_t CharacterSetToUse);

  // The value this one stands for; never nil while the value is used.
  virtual TORVValue* GetValue() = 0;

  bool GetNull() override;
  void SetNull(bool Value) override;
  int32_t GetSize() override;
  void SetSize(int32_t Value) override;
  int32_t GetLength() override;
  void SetLength(int32_t Value) override;
  TORVMemoryStream* GetBlob() override;

  void GetString(TORVString& Value) override;
  void GetAnsiString(TORVAnsiString& Value) override;
  void GetUnicodeString(TORVString& Value) override;
  const uint8_t* GetRawAnsiString(int32_t& Length) override;
  const char16_t* GetRawUnicodeString(int32_t& Length) override;
  void GetBytes(TORVBytes& Value) override;
  const uint8_t* GetRawBytes(int32_t& Length) override;
  bool GetBoolean() override;
  int16_t GetSmallInt() override;
  int32_t GetInteger() override;
  int64_t GetLargeInt() override;
  TORVCurrency GetCurrency() override;
  double GetDouble() override;
  void SetString(const TORVString& Value) override;
  void SetAnsiString(const TORVAnsiString& Value) override;
  void SetUnicodeString(const TORVString& Value) override;
  void SetBytes(const TORVBytes& Value) override;
  void SetBlob(TORVStream* Stream, int32_t Count) override;
  void SetBoolean(bool Value) override;
  void SetSmallInt(int16_t Value) override;
  void SetInteger(int32_t Value) override;
  void SetLargeInt(int64_t Value) override;
  void SetCurrency(TORVCurrency Value) override;
  void SetDouble(double Value) override;

 private:
  TORVValue& Target();
};

}  // namespace orv
