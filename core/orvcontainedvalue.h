// The value that owns its storage: a memory stream holding the native image.
// It is the value of constants, variables, parameters, search keys and
// computed results.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/orvtype.h"
#include "core/orvimagevalue.h"
#include "core/orvvalue.h"

namespace orv {

class TORVContainedValue;
class TORVMemoryStream;

// Made once, beside the storage it reads.
extern template class TORVImageValue<TORVValue, TORVContainedValue>;

// Layout of the image, always from position 0 (little-endian; characters are
// UTF-16 units under the Unicode character set, bytes of the value's code
// page under ANSI):
//   VarChar       4-byte count of units, then the units
//   Char, GUID    exactly the defined length in characters, blank-padded
//   VarByte       4-byte byte count, then the bytes
//   Byte, GUID    exactly the defined length in bytes, zero-padded
//   BLOB, CLOB    the whole stream is the content (a CLOB's units, no count)
//   other types   the native image (1, 2, 4 or 8 bytes)
class TORVContainedValue : public TORVImageValue<TORVValue, TORVContainedValue> {
 public:
  // NULL, without a type; the defined length does not limit the value.
  explicit TORVContainedValue(int32_t CharacterSetToUse);
  ~TORVContainedValue() override;

  void SetDataType(int32_t Value) override;
  void SetSubType(int32_t Value) override;
  void SetScale(int32_t Value) override;
  void SetCollation(int32_t Value) override;

  bool GetNull() override { return FNull; }
  void SetNull(bool Value) override { FNull = Value; }
  int32_t GetSize() override;
  void SetSize(int32_t Value) override;
  int32_t GetLength() override;
  void SetLength(int32_t Value) override;
  // The stream itself: a large object is read and written through it.
  TORVMemoryStream* GetBlob() override { return FRawStream.get(); }

  void SetString(const TORVString& Value) override;
  void SetBytes(const TORVBytes& Value) override;
  void SetBlob(TORVStream* Stream, int32_t Count) override;

  int32_t GetMemorySize() override;

  bool GetUseDefinedLength() const { return FUseDefinedLength; }
  // The length that limits a VarChar or VarByte value; 0 when none does.
  int32_t GetDefinedLength() const { return FUseDefinedLength ? FLength : 0; }
  bool GetRaiseTruncationErrors() const { return FRaiseTruncationErrors; }
  // When False, text or bytes beyond the defined length are cut silently.
  void SetRaiseTruncationErrors(bool Value) { FRaiseTruncationErrors = Value; }

 protected:
  // UseDefinedLength: whether the defined length limits VarChar and VarByte
  // values (parameters and the values of computed columns).
  TORVContainedValue(int32_t CharacterSetToUse, bool UseDefinedLength);

 private:
  friend class TORVImageValue<TORVValue, TORVContainedValue>;

  int32_t UnitSize() const;
  bool IsVarying() const;
  bool IsFixedText() const;
  bool IsFixedBinary() const;
  int32_t ReadCount() const;
  void ImageRun(const uint8_t*& Data, int32_t& ByteCount) const;
  void EncodeText(std::u16string_view Text, TORVBytes& Bytes) const;
  uint8_t* ResizeImage(int32_t ByteCount);
  void WriteImage(const uint8_t* Data, int32_t ByteCount);
  void WriteCounted(int32_t Count, const uint8_t* Data, int32_t ByteCount);
  void ResizeForType(int32_t OldLength);
  const uint8_t* NativeImage(int32_t Size) const;
  void WriteNativeImage(const uint8_t* Image, int32_t Size) { WriteImage(Image, Size); }

  bool FNull = true;
  bool FUseDefinedLength;
  int32_t FLength = 0;
  bool FRaiseTruncationErrors = true;
  std::unique_ptr<TORVMemoryStream> FRawStream;
  // Scratch for the text images being written.
  TORVBytes FImage;
};

}  // namespace orv
