// The engine's typed SQL value: its type description, NULL state, the
// conversions between SQL types, comparison, assignment and persistence.
//
// TORVValue implements everything on top of a small set of abstract storage
// primitives that read and write the native image of the value without
// conversion; subclasses decide where that image lives (their own memory
// stream, another value, a slot in a row buffer), so that every conversion
// works in place wherever the value is stored.
#pragma once

#include <cstdint>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVStream;
class TORVMemoryStream;

class TORVValue : public TORVBaseObject {
 public:
  // Stores the character set of the value's text (CharacterSetAnsi or
  // CharacterSetUnicode), nothing else; the type is set afterwards through
  // the virtual setters.
  explicit TORVValue(int32_t CharacterSetToUse);
  ~TORVValue() override = default;

  // The three errors every refused conversion ends in. Subclasses override
  // them to name themselves (a parameter, a column) instead of "value".
  [[noreturn]] virtual void TruncationError(const TORVString& Value, bool IncludeValue);
  [[noreturn]] virtual void RangeError(const TORVString& Value, bool IncludeValue);
  [[noreturn]] virtual void ConversionError(const TORVString& Value, bool IncludeValue);

  // Type description. At this level the setters only store the number (the
  // collation also derives the code page); storage subclasses keep length,
  // size and collation consistent.
  virtual void SetDataType(int32_t Value);
  virtual void SetSubType(int32_t Value);
  virtual void SetScale(int32_t Value);
  virtual void SetCollation(int32_t Value);

  // Storage primitives. The NULL flag belongs to the storage; SetNull sets
  // the flag only.
  virtual bool GetNull() = 0;
  virtual void SetNull(bool Value) = 0;
  // True when any part of a value made of several parts is NULL.
  virtual bool GetAnyNull();
  virtual int32_t GetSize() = 0;
  virtual void SetSize(int32_t Value) = 0;
  // Characters or bytes of a string, bytes or large-object value.
  virtual int32_t GetLength() = 0;
  virtual void SetLength(int32_t Value) = 0;
  // The contents of a large-object value.
  virtual TORVMemoryStream* GetBlob() = 0;

  // Read or write the native image without conversion. The Raw forms return
  // a pointer that stays valid until the value is next changed or read
  // through another Raw form; Length receives the count of units.
  virtual void GetString(TORVString& Value) = 0;
  virtual void GetAnsiString(TORVAnsiString& Value) = 0;
  virtual void GetUnicodeString(TORVString& Value) = 0;
  virtual const uint8_t* GetRawAnsiString(int32_t& Length) = 0;
  virtual const char16_t* GetRawUnicodeString(int32_t& Length) = 0;
  virtual void GetBytes(TORVBytes& Value) = 0;
  virtual const uint8_t* GetRawBytes(int32_t& Length) = 0;
  virtual bool GetBoolean() = 0;
  virtual int16_t GetSmallInt() = 0;
  virtual int32_t GetInteger() = 0;
  virtual int64_t GetLargeInt() = 0;
  virtual TORVCurrency GetCurrency() = 0;
  virtual double GetDouble() = 0;
  virtual void SetString(const TORVString& Value) = 0;
  virtual void SetAnsiString(const TORVAnsiString& Value) = 0;
  virtual void SetUnicodeString(const TORVString& Value) = 0;
  virtual void SetBytes(const TORVBytes& Value) = 0;
  // Count bytes from Stream's position, or the whole of Stream from its
  // beginning when Count is 0; a nil Stream only sizes the contents.
  virtual void SetBlob(TORVStream* Stream, int32_t Count) = 0;
  virtual void SetBoolean(bool Value) = 0;
  virtual void SetSmallInt(int16_t Value) = 0;
  virtual void SetInteger(int32_t Value) = 0;
  virtual void SetLargeInt(int64_t Value) = 0;
  virtual void SetCurrency(TORVCurrency Value) = 0;
  virtual void SetDouble(double Value) = 0;

  virtual int32_t GetMemorySize();

  // Writes the type's empty image (empty text, no bytes, False, 0).
  virtual void Clear();
  // Copies FromValue's NULL state and value, converting to this value's type.
  virtual void Assign(TORVValue& FromValue);
  // -1, 0 or 1. NULL sorts first; PartialLength, CaseInsensitive and
  // CompareCollation apply to text only. The order is consistent:
  // a.Compare(b) = -b.Compare(a) for every pair of values.
  virtual int32_t Compare(TORVValue& ValueToCompare, int32_t PartialLength, bool CaseInsensitive,
                          int32_t CompareCollation);
  // The value's stream record: a NULL flag, then the native image. The
  // record carries no type: the reader holds a value of the same type.
  virtual void Save(TORVMemoryStream& Stream);
  virtual void Load(TORVMemoryStream& Stream);
  // The value as a field slot of a data-access record buffer of BufferSize
  // bytes. SaveRaw returns whether the value is not NULL and writes only
  // then, and only when Buffer is not nil; VCLFormat selects the data-access
  // layer's own layout of Boolean, Decimal and Timestamp. LoadRaw with a nil
  // Buffer makes the value NULL.
  virtual bool SaveRaw(uint8_t* Buffer, int32_t BufferSize, bool VCLFormat);
  virtual void LoadRaw(const uint8_t* Buffer, int32_t BufferSize, bool VCLFormat);

  // As properties: getters read whatever the storage holds (callers test
  // GetNull first); a setter converts first and only then stores and makes
  // the value non-NULL, so a refused conversion changes nothing.
  TORVString GetAsString();
  void SetAsString(const TORVString& Value);
  TORVAnsiString GetAsAnsiString();
  void SetAsAnsiString(const TORVAnsiString& Value);
  TORVString GetAsUnicodeString();
  void SetAsUnicodeString(const TORVString& Value);
  TORVBytes GetAsBytes();
  void SetAsBytes(const TORVBytes& Value);
  TORVMemoryStream* GetAsBlob();
  // The whole of Stream, from its beginning, into a large-object value.
  void SetAsBlob(TORVStream* Stream);
  bool GetAsBoolean();
  void SetAsBoolean(bool Value);
  int16_t GetAsSmallInt();
  void SetAsSmallInt(int16_t Value);
  int32_t GetAsInteger();
  void SetAsInteger(int32_t Value);
  int64_t GetAsLargeInt();
  void SetAsLargeInt(int64_t Value);
  TORVCurrency GetAsCurrency();
  void SetAsCurrency(TORVCurrency Value);
  double GetAsDouble();
  void SetAsDouble(double Value);
  int32_t GetAsDate();
  void SetAsDate(int32_t Value);
  int32_t GetAsTime();
  void SetAsTime(int32_t Value);
  int64_t GetAsTimeStamp();
  void SetAsTimeStamp(int64_t Value);
  // The platform date-time: days since 1899-12-30, the time as the fraction.
  double GetAsDateTime();
  void SetAsDateTime(double Value);
  int32_t GetAsYearMonthInterval();
  void SetAsYearMonthInterval(int32_t Value);
  int64_t GetAsDayTimeInterval();
  void SetAsDayTimeInterval(int64_t Value);

  // Conversions to and from intervals of a given subtype.
  int32_t GetYearMonthInterval(int32_t YearMonthIntervalType);
  int64_t GetDayTimeInterval(int32_t DayTimeIntervalType);
  void SetYearMonthInterval(int32_t Value, int32_t YearMonthIntervalType);
  void SetDayTimeInterval(int64_t Value, int32_t DayTimeIntervalType);

  // Making a value NULL clears its storage first; making it non-NULL keeps
  // what the storage holds.
  void SetAsNull(bool Value);
  // True when the stored image is the type's zero; the NULL flag plays no
  // part, and type 0 is never empty.
  bool GetEmpty();

  int32_t GetDataType() const { return FDataType; }
  int32_t GetSubType() const { return FSubType; }
  int32_t GetScale() const { return FScale; }
  int32_t GetCollation() const { return FCollation; }
  int32_t GetCharacterSet() const { return FCharacterSet; }
  int32_t GetCodePage() const { return FCodePage; }

 protected:
  // Derives the code page from the collation already stored.
  void UpdateCodePage();
  // Raise through the virtual error operations, so that a subclass names
  // itself; should an override return, the value's own error is raised.
  [[noreturn]] void RaiseTruncationError(const TORVString& Value, bool IncludeValue);
  [[noreturn]] void RaiseRangeError(const TORVString& Value, bool IncludeValue);
  [[noreturn]] void RaiseConversionError(const TORVString& Value, bool IncludeValue);
  // The current value as text for error messages; empty for type 0.
  TORVString CurrentText();
  // The reading primitives of a storage that holds text as a run of bytes
  // (UTF-16LE units under the Unicode character set, bytes of the code page
  // under ANSI): Data and ByteCount are the stored run. The text forms are
  // empty unless the value is character or large-object data.
  void ImageText(const uint8_t* Data, int32_t ByteCount, TORVString& Value) const;
  void ImageAnsiText(const uint8_t* Data, int32_t ByteCount, TORVAnsiString& Value);
  const uint8_t* ImageRawAnsiText(const uint8_t* Data, int32_t ByteCount, int32_t& Length);
  const char16_t* ImageRawUnicodeText(const uint8_t* Data, int32_t ByteCount, int32_t& Length);
  // The details of the three errors, whichever object a subclass names.
  static TORVString TruncationDetail(const TORVString& Value, bool IncludeValue);
  TORVString RangeDetail(const TORVString& Value, bool IncludeValue) const;
  static TORVString ConversionDetail(const TORVString& Value, bool IncludeValue);

  int32_t FCharacterSet;
  int32_t FDataType = 0;
  int32_t FSubType = 0;
  int32_t FScale = 0;
  int32_t FCollation = 0;
  int32_t FCodePage = 0;
  // Scratch space that conversions and comparisons reuse; no state between
  // calls.
  TORVString FString1;
  TORVString FString2;
  TORVBytes FBytes1;
  TORVBytes FBytes2;
  // Copies behind the Raw text forms when the stored run is in the other
  // encoding.
  TORVAnsiString FRawAnsi;
  TORVString FRawUnicode;

 private:
  bool IsStringType() const;
  bool IsTextImage() const;
  bool IsBytesType() const;
  bool IsBlobType() const;
  bool IsLargeObject() const;
  bool IsExactNumber() const;
  bool IsNumber() const;
  int32_t CompareKind() const;
  bool IsFixedBytes(int32_t Count);
  void ReadFixedBytes(void* Dest, int32_t Count);
  template <typename T>
  T ReadFixedImage();
  template <typename TText>
  void StoreFixedImage(const void* Source, int32_t Count, TText&& Text);
  template <typename T, typename TReader>
  T ParseText(const TORVString& Text, bool IncludeValue, TReader&& Reader);
  template <typename T, typename TReader>
  T ParseStoredText(TReader&& Reader);
  template <typename TText>
  bool StoredAsText(TText&& Text);
  template <typename TText>
  void StoreExactWhole(int64_t Value, TText&& Text);
  void FinishSet();
  [[noreturn]] void RaiseValueError(const TORVString& ObjectName, const TORVString& Detail);
  TORVString ErrorText();
  [[noreturn]] void GetterConversionError();
  [[noreturn]] void GetterRangeError();
  int16_t CheckSmallIntForGet(int64_t Value);
  int32_t CheckIntegerForGet(int64_t Value);
  int64_t FloatToLargeIntForGet(double Value);
  int64_t FloatToScaledForGet(double Value);
  int64_t YearMonthOrdinal();
  int64_t DayTimeOrdinal();
  void StoreYearMonthOrdinal(int64_t Value);
  void StoreDayTimeOrdinal(int64_t Value);
  void StoreWhole(int64_t Value, int32_t Width);
  int32_t CompareSameType(TORVValue& B, int32_t PartialLength, bool CaseInsensitive, int32_t CompareCollation);
  int32_t CompareCross(TORVValue& B, int32_t PartialLength, bool CaseInsensitive, int32_t CompareCollation);
  void NeedBytes(TORVMemoryStream& Stream, int64_t Count);
  void NeedCountedRun(TORVMemoryStream& Stream, int32_t UnitSize);
  void AssignSameType(TORVValue& FromValue);
  void AssignCross(TORVValue& FromValue);
};

}  // namespace orv
