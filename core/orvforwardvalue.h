// The storage primitives of a value that stores nothing itself and passes
// every read and write on to another value, written once for every such
// value (a reference to another value, a computed column's result).
//
// TForward, the class that derives from this one, names the other value:
//   TORVValue& ReadTarget()    the value every read reaches
//   TORVValue* WriteTarget()   the value every write reaches; nil drops the
//                              write
// The calls to it are resolved at compile time, so that forwarding costs one
// call to the target as before.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvvalue.h"

namespace orv {

template <typename TBase, typename TForward>
class TORVForwardValue : public TBase {
 public:
  using TBase::TBase;

  bool GetNull() override { return Read().GetNull(); }
  void SetNull(bool Value) override {
    if (TORVValue* Target = Write()) Target->SetNull(Value);
  }
  int32_t GetSize() override { return Read().GetSize(); }
  void SetSize(int32_t Value) override {
    if (TORVValue* Target = Write()) Target->SetSize(Value);
  }
  int32_t GetLength() override { return Read().GetLength(); }
  void SetLength(int32_t Value) override {
    if (TORVValue* Target = Write()) Target->SetLength(Value);
  }
  TORVMemoryStream* GetBlob() override { return Read().GetBlob(); }

  void GetString(TORVString& Value) override { Read().GetString(Value); }
  void GetAnsiString(TORVAnsiString& Value) override { Read().GetAnsiString(Value); }
  void GetUnicodeString(TORVString& Value) override { Read().GetUnicodeString(Value); }
  const uint8_t* GetRawAnsiString(int32_t& Length) override { return Read().GetRawAnsiString(Length); }
  const char16_t* GetRawUnicodeString(int32_t& Length) override { return Read().GetRawUnicodeString(Length); }
  void GetBytes(TORVBytes& Value) override { Read().GetBytes(Value); }
  const uint8_t* GetRawBytes(int32_t& Length) override { return Read().GetRawBytes(Length); }
  bool GetBoolean() override { return Read().GetBoolean(); }
  int16_t GetSmallInt() override { return Read().GetSmallInt(); }
  int32_t GetInteger() override { return Read().GetInteger(); }
  int64_t GetLargeInt() override { return Read().GetLargeInt(); }
  TORVCurrency GetCurrency() override { return Read().GetCurrency(); }
  double GetDouble() override { return Read().GetDouble(); }
  void SetString(const TORVString& Value) override {
    if (TORVValue* Target = Write()) Target->SetString(Value);
  }
  void SetAnsiString(const TORVAnsiString& Value) override {
    if (TORVValue* Target = Write()) Target->SetAnsiString(Value);
  }
  void SetUnicodeString(const TORVString& Value) override {
    if (TORVValue* Target = Write()) Target->SetUnicodeString(Value);
  }
  void SetBytes(const TORVBytes& Value) override {
    if (TORVValue* Target = Write()) Target->SetBytes(Value);
  }
  void SetBlob(TORVStream* Stream, int32_t Count) override {
    if (TORVValue* Target = Write()) Target->SetBlob(Stream, Count);
  }
  void SetBoolean(bool Value) override {
    if (TORVValue* Target = Write()) Target->SetBoolean(Value);
  }
  void SetSmallInt(int16_t Value) override {
    if (TORVValue* Target = Write()) Target->SetSmallInt(Value);
  }
  void SetInteger(int32_t Value) override {
    if (TORVValue* Target = Write()) Target->SetInteger(Value);
  }
  void SetLargeInt(int64_t Value) override {
    if (TORVValue* Target = Write()) Target->SetLargeInt(Value);
  }
  void SetCurrency(TORVCurrency Value) override {
    if (TORVValue* Target = Write()) Target->SetCurrency(Value);
  }
  void SetDouble(double Value) override {
    if (TORVValue* Target = Write()) Target->SetDouble(Value);
  }

 private:
  TORVValue& Read() { return static_cast<TForward&>(*this).ReadTarget(); }
  TORVValue* Write() { return static_cast<TForward&>(*this).WriteTarget(); }
};

}  // namespace orv
