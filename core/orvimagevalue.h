// The typed reading and writing primitives of a value whose native image is
// bytes it can point at (its own stream, a column's slot in a row buffer, a
// key slot in an index page), written once for every such storage.
//
// TStorage, the class that derives from this one, tells only where the
// bytes are:
//   void ImageRun(const uint8_t*& Data, int32_t& ByteCount)
//       the stored characters or bytes of a text, bytes or large-object value
//   const uint8_t* NativeImage(int32_t Size)
//       the Size bytes of a number, date or Boolean; nil when the storage
//       holds fewer, which reads as zero
//   void WriteNativeImage(const uint8_t* Image, int32_t Size)
//       stores the Size bytes of such an image
// and writes text and bytes itself (SetString, SetBytes), since length,
// padding and truncation rules differ by storage. The calls to the storage
// are resolved at compile time: on the row path a read costs what a
// hand-written one did.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/orvtype.h"
#include "core/orvvalue.h"
#include "platform/orvplatformcodepage.h"

namespace orv {

template <typename TBase, typename TStorage>
class TORVImageValue : public TBase {
 public:
  using TBase::TBase;

  void GetString(TORVString& Value) override {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    Storage().ImageRun(Data, ByteCount);
    this->ImageText(Data, ByteCount, Value);
  }
  void GetAnsiString(TORVAnsiString& Value) override {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    Storage().ImageRun(Data, ByteCount);
    this->ImageAnsiText(Data, ByteCount, Value);
  }
  void GetUnicodeString(TORVString& Value) override { this->GetString(Value); }
  // Under ANSI a pointer into the storage itself: no copy.
  const uint8_t* GetRawAnsiString(int32_t& Length) override {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    Storage().ImageRun(Data, ByteCount);
    return this->ImageRawAnsiText(Data, ByteCount, Length);
  }
  // UTF-16 units in a buffer may lie at any byte offset, so they are read
  // into the value's reused scratch string rather than through a misaligned
  // pointer.
  const char16_t* GetRawUnicodeString(int32_t& Length) override {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    Storage().ImageRun(Data, ByteCount);
    return this->ImageRawUnicodeText(Data, ByteCount, Length);
  }
  void GetBytes(TORVBytes& Value) override {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    Storage().ImageRun(Data, ByteCount);
    Value.assign(Data, Data + ByteCount);
  }
  const uint8_t* GetRawBytes(int32_t& Length) override {
    const uint8_t* Data = nullptr;
    Length = 0;
    Storage().ImageRun(Data, Length);
    return Data;
  }
  bool GetBoolean() override { return ReadNative<uint8_t>() != 0; }
  int16_t GetSmallInt() override { return ReadNative<int16_t>(); }
  int32_t GetInteger() override { return ReadNative<int32_t>(); }
  int64_t GetLargeInt() override { return ReadNative<int64_t>(); }
  TORVCurrency GetCurrency() override { return TORVCurrency::FromScaled(ReadNative<int64_t>()); }
  double GetDouble() override { return ReadNative<double>(); }

  // The text is in the value's code page; the length rules count characters.
  void SetAnsiString(const TORVAnsiString& Value) override {
    this->SetString(MapStringToUnicode(Value, this->FCodePage));
  }
  void SetUnicodeString(const TORVString& Value) override { this->SetString(Value); }
  void SetBoolean(bool Value) override { WriteNative<uint8_t>(Value ? 1 : 0); }
  void SetSmallInt(int16_t Value) override { WriteNative(Value); }
  void SetInteger(int32_t Value) override { WriteNative(Value); }
  void SetLargeInt(int64_t Value) override { WriteNative(Value); }
  void SetCurrency(TORVCurrency Value) override { WriteNative(Value.Scaled()); }
  void SetDouble(double Value) override { WriteNative(Value); }

 private:
  TStorage& Storage() { return static_cast<TStorage&>(*this); }

  template <typename T>
  T ReadNative() {
    T Result{};
    if (const uint8_t* Image = Storage().NativeImage(static_cast<int32_t>(sizeof(T))))
      std::memcpy(&Result, Image, sizeof(T));
    return Result;
  }

  template <typename T>
  void WriteNative(T Value) {
    uint8_t Image[sizeof(T)];
    std::memcpy(Image, &Value, sizeof(T));
    Storage().WriteNativeImage(Image, static_cast<int32_t>(sizeof(T)));
  }
};

}  // namespace orv
