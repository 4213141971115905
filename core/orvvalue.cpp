// Type description, NULL state and the conversions of every As property.
#include "core/orvvalue.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/orverrors.h"
#include "core/orvdatetime.h"
#include "core/orvenv.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "platform/orvplatformcodepage.h"

namespace orv {

static_assert(std::endian::native == std::endian::little, "value images are little-endian byte copies");

namespace {

constexpr int64_t kScale = TORVCurrency::Scale;
constexpr int64_t kMSecsPerDay = 86400000;

bool InSmallIntRange(int64_t Value) {
  return Value >= std::numeric_limits<int16_t>::min() && Value <= std::numeric_limits<int16_t>::max();
}

bool InIntegerRange(int64_t Value) {
  return Value >= std::numeric_limits<int32_t>::min() && Value <= std::numeric_limits<int32_t>::max();
}

template <typename T>
TORVBytes ImageBytes(T Value) {
  TORVBytes Result(sizeof(T));
  std::memcpy(Result.data(), &Value, sizeof(T));
  return Result;
}

template <typename T>
T ImageFrom(const TORVBytes& Bytes) {
  T Result;
  std::memcpy(&Result, Bytes.data(), sizeof(T));
  return Result;
}

// Where a whole number came from: its width is the Byte(n) image it takes.
enum TORVWholeSource : int32_t { esSmallInt = 2, esInteger = 4, esLargeInt = 8 };

// Runs a text reader. Text of the right form that still cannot be converted
// (a digit string beyond 64 bits) makes the reader raise; the value reports
// it as its own conversion error, naming itself as every other refused
// conversion does.
template <typename TReader>
bool Reads(TReader&& Reader) {
  try {
    return Reader();
  } catch (const EORVException&) {
    return false;
  }
}

// Multiplies and reports whether the product fits.
bool MulFits(int64_t A, int64_t B, int64_t& Result) { return !__builtin_mul_overflow(A, B, &Result); }

// Milliseconds in one unit of a single-field day-time interval; 0 for any
// other subtype.
int64_t DayTimeUnit(int32_t SubType) {
  switch (SubType) {
    case stMSecond:
      return 1;
    case stSecond:
      return 1000;
    case stMinute:
      return 60000;
    case stHour:
      return 3600000;
    case stDay:
      return kMSecsPerDay;
    default:
      return 0;
  }
}

// Readers of text as an interval of a given subtype.
auto YearMonthReader(int32_t SubType) {
  return [SubType](std::u16string_view S, int32_t& Interval) { return SQLStrToYearMonthInterval(S, SubType, Interval); };
}

auto DayTimeReader(int32_t SubType) {
  return [SubType](std::u16string_view S, int64_t& Interval) { return SQLStrToDayTimeInterval(S, SubType, Interval); };
}

}  // namespace

TORVValue::TORVValue(int32_t CharacterSetToUse) : FCharacterSet(CharacterSetToUse) {}

// ---------------------------------------------------------------------------
// Errors

void TORVValue::RaiseValueError(const TORVString& ObjectName, const TORVString& Detail) {
  RaiseError(ORV_VALUE_ERROR, {u"value", ObjectName, Detail});
}

TORVString TORVValue::CurrentText() {
  // Type 0 has no text; asking for it would raise a conversion error in the
  // middle of building another error.
  if (FDataType == dtUnknown) return TORVString();
  return GetAsString();
}

TORVString TORVValue::TruncationDetail(const TORVString& Value, bool IncludeValue) {
  if (IncludeValue) return FormatString(ORV_VALUE_TRUNCATION_DETAIL, {Value});
  return ORV_TRUNCATION_DETAIL;
}

TORVString TORVValue::RangeDetail(const TORVString& Value, bool IncludeValue) const {
  const TORVString TypeName = DataTypeToString(FDataType, FSubType);
  if (IncludeValue) return FormatString(ORV_VALUE_RANGE_DETAIL, {Value, TypeName});
  return FormatString(ORV_TYPE_RANGE_DETAIL, {TypeName});
}

TORVString TORVValue::ConversionDetail(const TORVString& Value, bool IncludeValue) {
  if (IncludeValue) return FormatString(ORV_VALUE_CONVERSION_DETAIL, {Value});
  return ORV_CONVERSION_DETAIL;
}

// A value names itself by its current text when the error quotes the
// refused value, else by the refused value.
void TORVValue::TruncationError(const TORVString& Value, bool IncludeValue) {
  RaiseValueError(IncludeValue ? CurrentText() : Value, TruncationDetail(Value, IncludeValue));
}

void TORVValue::RangeError(const TORVString& Value, bool IncludeValue) {
  RaiseValueError(IncludeValue ? CurrentText() : Value, RangeDetail(Value, IncludeValue));
}

void TORVValue::ConversionError(const TORVString& Value, bool IncludeValue) {
  RaiseValueError(Value, ConversionDetail(Value, IncludeValue));
}

void TORVValue::RaiseTruncationError(const TORVString& Value, bool IncludeValue) {
  TruncationError(Value, IncludeValue);
  TORVValue::TruncationError(Value, IncludeValue);
}

void TORVValue::RaiseRangeError(const TORVString& Value, bool IncludeValue) {
  RangeError(Value, IncludeValue);
  TORVValue::RangeError(Value, IncludeValue);
}

void TORVValue::RaiseConversionError(const TORVString& Value, bool IncludeValue) {
  ConversionError(Value, IncludeValue);
  TORVValue::ConversionError(Value, IncludeValue);
}

TORVString TORVValue::ErrorText() {
  if (IsStringType()) {
    TORVString Text;
    GetString(Text);
    return Text;
  }
  return CurrentText();
}

void TORVValue::GetterConversionError() { RaiseConversionError(ErrorText(), false); }

void TORVValue::GetterRangeError() { RaiseRangeError(ErrorText(), false); }

// ---------------------------------------------------------------------------
// Type description

void TORVValue::SetDataType(int32_t Value) { FDataType = Value; }

void TORVValue::SetSubType(int32_t Value) { FSubType = Value; }

void TORVValue::SetScale(int32_t Value) { FScale = Value; }

void TORVValue::SetCollation(int32_t Value) {
  FCollation = Value;
  UpdateCodePage();
}

bool TORVValue::IsTextImage() const { return FDataType == dtCharacter || FDataType == dtLargeObject; }

void TORVValue::ImageText(const uint8_t* Data, int32_t ByteCount, TORVString& Value) const {
  Value.clear();
  if (!IsTextImage() || Data == nullptr || ByteCount <= 0) return;
  if (FCharacterSet == CharacterSetUnicode) {
    Value.resize(static_cast<std::size_t>(ByteCount / 2));
    if (!Value.empty()) std::memcpy(Value.data(), Data, Value.size() * 2);
    return;
  }
  Value = MapStringToUnicode(
      std::string_view(reinterpret_cast<const char*>(Data), static_cast<std::size_t>(ByteCount)), FCodePage);
}

void TORVValue::ImageAnsiText(const uint8_t* Data, int32_t ByteCount, TORVAnsiString& Value) {
  Value.clear();
  if (!IsTextImage() || Data == nullptr || ByteCount <= 0) return;
  if (FCharacterSet == CharacterSetUnicode) {
    ImageText(Data, ByteCount, FRawUnicode);
    Value = MapStringToAnsi(FRawUnicode, FCodePage);
    return;
  }
  Value.assign(reinterpret_cast<const char*>(Data), static_cast<std::size_t>(ByteCount));
}

// Under ANSI the stored run itself; under Unicode a converted copy.
const uint8_t* TORVValue::ImageRawAnsiText(const uint8_t* Data, int32_t ByteCount, int32_t& Length) {
  if (FCharacterSet != CharacterSetUnicode) {
    Length = IsTextImage() ? ByteCount : 0;
    return Data;
  }
  ImageAnsiText(Data, ByteCount, FRawAnsi);
  Length = static_cast<int32_t>(FRawAnsi.size());
  return reinterpret_cast<const uint8_t*>(FRawAnsi.data());
}

// UTF-16 units are copied out of the byte run rather than aliased, so that
// no unit is read through a pointer of another type.
const char16_t* TORVValue::ImageRawUnicodeText(const uint8_t* Data, int32_t ByteCount, int32_t& Length) {
  ImageText(Data, ByteCount, FRawUnicode);
  Length = static_cast<int32_t>(FRawUnicode.size());
  return FRawUnicode.data();
}

void TORVValue::UpdateCodePage() {
  int32_t Locale = FCollation;
  ClearLocaleFlags(Locale);
  FCodePage = Environment().LocaleToCodePage(Locale);
}

bool TORVValue::GetAnyNull() { return GetNull(); }

int32_t TORVValue::GetMemorySize() {
  return static_cast<int32_t>(sizeof(TORVValue)) + StringSize(FString1) + StringSize(FString2);
}

bool TORVValue::IsStringType() const {
  return FDataType == dtCharacter || (FDataType == dtLargeObject && FSubType == stClob);
}

bool TORVValue::IsBytesType() const { return FDataType == dtBytes; }

bool TORVValue::IsBlobType() const { return FDataType == dtLargeObject && FSubType != stClob; }

bool TORVValue::IsLargeObject() const { return FDataType == dtLargeObject; }

bool TORVValue::IsExactNumber() const {
  return FDataType == dtSmallInt || FDataType == dtInteger || FDataType == dtBigInt;
}

bool TORVValue::IsNumber() const { return IsExactNumber() || FDataType == dtFloat || FDataType == dtDecimal; }

// A bytes value stands in for another type's native image only when it is a
// fixed Byte(n) of exactly that image's width.
bool TORVValue::IsFixedBytes(int32_t Count) {
  return FDataType == dtBytes && FSubType == stByte && GetLength() == Count;
}

void TORVValue::ReadFixedBytes(void* Dest, int32_t Count) {
  int32_t Length = 0;
  const uint8_t* Raw = GetRawBytes(Length);
  if (Raw == nullptr || Length < Count) GetterConversionError();
  std::memcpy(Dest, Raw, static_cast<std::size_t>(Count));
}

template <typename T>
T TORVValue::ReadFixedImage() {
  if (!IsFixedBytes(sizeof(T))) GetterConversionError();
  T Image{};
  ReadFixedBytes(&Image, sizeof(T));
  return Image;
}

// The first Count bytes of Source (little-endian, so a narrower image of a
// wider number) into a Byte(Count) value. Text() gives the text of what was
// set, for the error only: setters build no text unless they need it.
template <typename TText>
void TORVValue::StoreFixedImage(const void* Source, int32_t Count, TText&& Text) {
  if (!IsFixedBytes(Count)) RaiseConversionError(Text(), true);
  FBytes2.resize(static_cast<std::size_t>(Count));
  std::memcpy(FBytes2.data(), Source, static_cast<std::size_t>(Count));
  SetBytes(FBytes2);
}

// Text read by Reader(Text, Result); text it refuses is a conversion error
// that names the text.
template <typename T, typename TReader>
T TORVValue::ParseText(const TORVString& Text, bool IncludeValue, TReader&& Reader) {
  T Parsed{};
  if (!Reads([&] { return Reader(Text, Parsed); })) RaiseConversionError(Text, IncludeValue);
  return Parsed;
}

// A getter's reading of the value's own text.
template <typename T, typename TReader>
T TORVValue::ParseStoredText(TReader&& Reader) {
  GetString(FString1);
  return ParseText<T>(FString1, false, Reader);
}

// A text value takes the text of whatever is set, and a setter is then
// done; Text() is built only here.
template <typename TText>
bool TORVValue::StoredAsText(TText&& Text) {
  if (!IsStringType()) return false;
  SetString(Text());
  FinishSet();
  return true;
}

// A whole number into a SmallInt, Integer or BigInt value; beyond the
// type's range it is refused with Text().
template <typename TText>
void TORVValue::StoreExactWhole(int64_t Value, TText&& Text) {
  if (FDataType == dtSmallInt) {
    if (!InSmallIntRange(Value)) RaiseRangeError(Text(), true);
    SetSmallInt(static_cast<int16_t>(Value));
  } else if (FDataType == dtInteger) {
    if (!InIntegerRange(Value)) RaiseRangeError(Text(), true);
    SetInteger(static_cast<int32_t>(Value));
  } else {
    SetLargeInt(Value);
  }
}

// Every setter has converted (and may have raised) before it stores; only a
// stored value leaves the NULL state.
void TORVValue::FinishSet() { SetNull(false); }

// ---------------------------------------------------------------------------
// NULL state, Clear and Empty

void TORVValue::SetAsNull(bool Value) {
  if (GetNull() == Value) return;
  if (Value) Clear();
  SetNull(Value);
}

void TORVValue::Clear() {
  if (IsStringType()) {
    SetString(TORVString());
    return;
  }
  switch (FDataType) {
    case dtBytes:
    case dtLargeObject:
      SetBytes(TORVBytes());
      break;
    case dtBoolean:
      SetBoolean(false);
      break;
    case dtSmallInt:
      SetSmallInt(0);
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      SetInteger(0);
      break;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
      SetLargeInt(0);
      break;
    case dtFloat:
      SetDouble(0.0);
      break;
    case dtDecimal:
      SetCurrency(TORVCurrency());
      break;
    default:
      break;
  }
}

bool TORVValue::GetEmpty() {
  if (IsStringType()) return GetLength() == 0;
  switch (FDataType) {
    case dtBytes:
    case dtLargeObject:
      return GetLength() == 0;
    case dtBoolean:
      return !GetBoolean();
    case dtSmallInt:
      return GetSmallInt() == 0;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      return GetInteger() == 0;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
      return GetLargeInt() == 0;
    case dtFloat:
      return GetDouble() == 0.0;
    case dtDecimal:
      return GetCurrency().Scaled() == 0;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Getters

TORVString TORVValue::GetAsString() {
  if (IsStringType()) {
    TORVString Text;
    GetString(Text);
    return Text;
  }
  switch (FDataType) {
    case dtBytes:
    case dtLargeObject:
      GetBytes(FBytes1);
      return BinaryToSQLStr(FBytes1);
    case dtBoolean:
      return BooleanToSQLStr(GetBoolean());
    case dtSmallInt:
      return IntToString(static_cast<int32_t>(GetSmallInt()));
    case dtInteger:
      return IntToString(GetInteger());
    case dtBigInt:
      return IntToString(GetLargeInt());
    case dtFloat:
      return FloatToSQLStr(GetDouble());
    case dtDecimal:
      return DecimalToSQLStr(GetCurrency(), 0);
    case dtDate:
      return DateToSQLStr(GetInteger());
    case dtTime:
      return TimeToSQLStr(GetInteger(), true);
    case dtTimeStamp:
      return TimeStampToSQLStr(GetLargeInt(), true);
    case dtYearMonthInterval:
      return YearMonthIntervalToSQLStr(GetInteger(), FSubType);
    case dtDayTimeInterval:
      return DayTimeIntervalToSQLStr(GetLargeInt(), FSubType);
    default:
      RaiseConversionError(TORVString(), false);
  }
}

TORVAnsiString TORVValue::GetAsAnsiString() {
  if (IsStringType()) {
    TORVAnsiString Text;
    GetAnsiString(Text);
    return Text;
  }
  return MapStringToAnsi(GetAsString(), 0);
}

TORVString TORVValue::GetAsUnicodeString() {
  if (IsStringType()) {
    TORVString Text;
    GetUnicodeString(Text);
    return Text;
  }
  return GetAsString();
}

TORVBytes TORVValue::GetAsBytes() {
  TORVBytes Result;
  if (IsStringType() || IsBytesType() || IsLargeObject()) {
    GetBytes(Result);
    return Result;
  }
  switch (FDataType) {
    case dtBoolean:
      return TORVBytes{static_cast<uint8_t>(GetBoolean() ? 1 : 0)};
    case dtSmallInt:
      return ImageBytes(GetSmallInt());
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      return ImageBytes(GetInteger());
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
      return ImageBytes(GetLargeInt());
    case dtFloat:
      return ImageBytes(GetDouble());
    case dtDecimal:
      return ImageBytes(GetCurrency().Scaled());
    default:
      GetterConversionError();
  }
}

TORVMemoryStream* TORVValue::GetAsBlob() {
  if (!IsLargeObject()) GetterConversionError();
  return GetBlob();
}

bool TORVValue::GetAsBoolean() {
  if (IsStringType()) return ParseStoredText<bool>(SQLStrToBoolean);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<uint8_t>() != 0;
    case dtBoolean:
      return GetBoolean();
    case dtSmallInt:
      return GetSmallInt() != 0;
    case dtInteger:
      return GetInteger() != 0;
    case dtBigInt:
      return GetLargeInt() != 0;
    case dtFloat:
      return GetDouble() != 0.0;
    case dtDecimal:
      return GetCurrency().Scaled() != 0;
    default:
      GetterConversionError();
  }
}

int16_t TORVValue::CheckSmallIntForGet(int64_t Value) {
  if (!InSmallIntRange(Value)) GetterRangeError();
  return static_cast<int16_t>(Value);
}

int32_t TORVValue::CheckIntegerForGet(int64_t Value) {
  if (!InIntegerRange(Value)) GetterRangeError();
  return static_cast<int32_t>(Value);
}

// A Float read as a whole number drops its fraction toward zero; NaN has no
// such number and an infinite or huge value has none in range.
int64_t TORVValue::FloatToLargeIntForGet(double Value) {
  if (std::isnan(Value)) GetterConversionError();
  const double Truncated = std::trunc(Value);
  if (!InInt64Range(Truncated)) GetterRangeError();
  return static_cast<int64_t>(Truncated);
}

int64_t TORVValue::FloatToScaledForGet(double Value) {
  if (std::isnan(Value)) GetterConversionError();
  // The default rounding mode rounds ties to even.
  const double Scaled = std::nearbyint(Value * static_cast<double>(kScale));
  if (!InInt64Range(Scaled)) GetterRangeError();
  return static_cast<int64_t>(Scaled);
}

// The count of the single field of a year-month interval.
int64_t TORVValue::YearMonthOrdinal() {
  const TORVParsedYearMonthInterval Parsed = ParseYearMonthInterval(GetInteger(), FSubType);
  if (FSubType == stMonth) return Parsed.Months;
  if (FSubType == stYear) return Parsed.Years;
  GetterConversionError();
}

// The count of the single field of a day-time interval.
int64_t TORVValue::DayTimeOrdinal() {
  const TORVParsedDayTimeInterval Parsed = ParseDayTimeInterval(GetLargeInt(), FSubType);
  switch (FSubType) {
    case stDay:
      return Parsed.Days;
    case stHour:
      return Parsed.Hours;
    case stMinute:
      return Parsed.Minutes;
    case stSecond:
      return Parsed.Seconds;
    case stMSecond:
      return Parsed.MSeconds;
    default:
      GetterConversionError();
  }
}

int16_t TORVValue::GetAsSmallInt() {
  if (IsStringType()) return CheckSmallIntForGet(ParseStoredText<int64_t>(SQLStrToLargeInt));
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int16_t>();
    case dtBoolean:
      return GetBoolean() ? 1 : 0;
    case dtSmallInt:
      return GetSmallInt();
    case dtInteger:
      return CheckSmallIntForGet(GetInteger());
    case dtBigInt:
      return CheckSmallIntForGet(GetLargeInt());
    case dtFloat:
      return CheckSmallIntForGet(FloatToLargeIntForGet(GetDouble()));
    case dtDecimal:
      return CheckSmallIntForGet(GetCurrency().Scaled() / kScale);
    case dtYearMonthInterval:
      return CheckSmallIntForGet(YearMonthOrdinal());
    case dtDayTimeInterval:
      return CheckSmallIntForGet(DayTimeOrdinal());
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetAsInteger() {
  if (IsStringType()) return CheckIntegerForGet(ParseStoredText<int64_t>(SQLStrToLargeInt));
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int32_t>();
    case dtBoolean:
      return GetBoolean() ? 1 : 0;
    case dtSmallInt:
      return GetSmallInt();
    case dtInteger:
    case dtDate:
    case dtTime:
      return GetInteger();
    case dtBigInt:
      return CheckIntegerForGet(GetLargeInt());
    case dtFloat:
      return CheckIntegerForGet(FloatToLargeIntForGet(GetDouble()));
    case dtDecimal:
      return CheckIntegerForGet(GetCurrency().Scaled() / kScale);
    case dtYearMonthInterval:
      return CheckIntegerForGet(YearMonthOrdinal());
    case dtDayTimeInterval:
      return CheckIntegerForGet(DayTimeOrdinal());
    default:
      GetterConversionError();
  }
}

int64_t TORVValue::GetAsLargeInt() {
  if (IsStringType()) return ParseStoredText<int64_t>(SQLStrToLargeInt);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int64_t>();
    case dtBoolean:
      return GetBoolean() ? 1 : 0;
    case dtSmallInt:
      return GetSmallInt();
    case dtInteger:
      return GetInteger();
    case dtBigInt:
    case dtTimeStamp:
      return GetLargeInt();
    case dtFloat:
      return FloatToLargeIntForGet(GetDouble());
    case dtDecimal:
      return GetCurrency().Scaled() / kScale;
    case dtYearMonthInterval:
      return YearMonthOrdinal();
    case dtDayTimeInterval:
      return DayTimeOrdinal();
    default:
      GetterConversionError();
  }
}

TORVCurrency TORVValue::GetAsCurrency() {
  if (IsStringType()) return ParseStoredText<TORVCurrency>(SQLStrToDecimal);
  switch (FDataType) {
    case dtBytes:
      return TORVCurrency::FromScaled(ReadFixedImage<int64_t>());
    case dtBoolean:
      return TORVCurrency::FromInt(GetBoolean() ? 1 : 0);
    case dtSmallInt:
      return TORVCurrency::FromInt(GetSmallInt());
    case dtInteger:
      return TORVCurrency::FromInt(GetInteger());
    case dtBigInt: {
      int64_t Scaled = 0;
      if (!MulFits(GetLargeInt(), kScale, Scaled)) GetterRangeError();
      return TORVCurrency::FromScaled(Scaled);
    }
    case dtFloat:
      return TORVCurrency::FromScaled(FloatToScaledForGet(GetDouble()));
    case dtDecimal:
      return GetCurrency();
    default:
      GetterConversionError();
  }
}

double TORVValue::GetAsDouble() {
  if (IsStringType()) return ParseStoredText<double>(SQLStrToFloat);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<double>();
    case dtBoolean:
      return GetBoolean() ? 1.0 : 0.0;
    case dtSmallInt:
      return GetSmallInt();
    case dtInteger:
      return GetInteger();
    case dtBigInt:
      return static_cast<double>(GetLargeInt());
    case dtFloat:
      return GetDouble();
    case dtDecimal:
      return static_cast<double>(GetCurrency().Scaled()) / static_cast<double>(kScale);
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetAsDate() {
  if (IsStringType()) return ParseStoredText<int32_t>(SQLStrToDate);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int32_t>();
    case dtDate:
      return GetInteger();
    case dtTimeStamp:
      return DateFromTimeStamp(GetLargeInt());
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetAsTime() {
  if (IsStringType()) return ParseStoredText<int32_t>(SQLStrToTime);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int32_t>();
    case dtTime:
      return GetInteger();
    case dtTimeStamp:
      return TimeFromTimeStamp(GetLargeInt());
    default:
      GetterConversionError();
  }
}

int64_t TORVValue::GetAsTimeStamp() {
  if (IsStringType()) return ParseStoredText<int64_t>(SQLStrToTimeStamp);
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int64_t>();
    case dtDate:
      return DateToTimeStamp(GetInteger(), false);
    case dtTime:
      return GetInteger();
    case dtTimeStamp:
      return GetLargeInt();
    default:
      GetterConversionError();
  }
}

double TORVValue::GetAsDateTime() {
  switch (FDataType) {
    case dtDate:
      return DateToNativeDate(GetInteger());
    case dtTime:
      return TimeToNativeTime(GetInteger());
    case dtTimeStamp:
      return TimeStampToNativeDateTime(GetLargeInt());
    default:
      if (IsStringType() || FDataType == dtBytes) return TimeStampToNativeDateTime(GetAsTimeStamp());
      GetterConversionError();
  }
}

int32_t TORVValue::GetAsYearMonthInterval() {
  if (IsStringType()) return ParseStoredText<int32_t>(YearMonthReader(stYearToMonth));
  if (IsNumber()) return GetAsInteger();
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int32_t>();
    case dtYearMonthInterval:
      return GetInteger();
    default:
      GetterConversionError();
  }
}

int64_t TORVValue::GetAsDayTimeInterval() {
  if (IsStringType()) return ParseStoredText<int64_t>(DayTimeReader(stDayToMSecond));
  // A plain number counts days.
  if (IsNumber()) return static_cast<int64_t>(GetAsInteger()) * kMSecsPerDay;
  switch (FDataType) {
    case dtBytes:
      return ReadFixedImage<int64_t>();
    case dtDayTimeInterval:
      return GetLargeInt();
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetYearMonthInterval(int32_t YearMonthIntervalType) {
  if (IsStringType()) return ParseStoredText<int32_t>(YearMonthReader(YearMonthIntervalType));
  if (IsNumber()) {
    const int64_t Count = GetAsInteger();
    int64_t Months = 0;
    if (YearMonthIntervalType == stMonth) return static_cast<int32_t>(Count);
    if (YearMonthIntervalType != stYear) GetterConversionError();
    if (!MulFits(Count, 12, Months) || !InIntegerRange(Months)) GetterRangeError();
    return static_cast<int32_t>(Months);
  }
  int32_t Image = 0;
  if (FDataType == dtYearMonthInterval) {
    Image = GetInteger();
  } else if (IsFixedBytes(4) || (IsBlobType() && GetLength() == 4)) {
    ReadFixedBytes(&Image, 4);
  } else {
    GetterConversionError();
  }
  // Only the fields of the asked subtype survive: as Year, the months below a
  // whole year are dropped.
  int32_t Result = 0;
  if (!MakeYearMonthInterval(ParseYearMonthInterval(Image, YearMonthIntervalType), Result)) GetterRangeError();
  return Result;
}

int64_t TORVValue::GetDayTimeInterval(int32_t DayTimeIntervalType) {
  if (IsStringType()) return ParseStoredText<int64_t>(DayTimeReader(DayTimeIntervalType));
  if (IsNumber()) {
    if (DayTimeIntervalType == stDay) return static_cast<int64_t>(GetAsInteger()) * kMSecsPerDay;
    const int64_t Unit = DayTimeUnit(DayTimeIntervalType);
    if (Unit == 0) GetterConversionError();
    int64_t Result = 0;
    if (!MulFits(GetAsLargeInt(), Unit, Result)) GetterRangeError();
    return Result;
  }
  const int64_t Image = FDataType == dtDayTimeInterval ? GetLargeInt() : ReadFixedImage<int64_t>();
  int64_t Result = 0;
  if (!MakeDayTimeInterval(ParseDayTimeInterval(Image, DayTimeIntervalType), Result)) GetterRangeError();
  return Result;
}

// ---------------------------------------------------------------------------
// Setters
//
// Each setter builds the text of what it sets only when it needs it: to
// store it in a text value or to name it in an error.

void TORVValue::SetAsString(const TORVString& Value) {
  const auto Text = [&]() -> const TORVString& { return Value; };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
    case dtLargeObject:
      SetBytes(ParseText<TORVBytes>(Value, true, SQLStrToBinary));
      break;
    case dtBoolean:
      SetBoolean(ParseText<bool>(Value, true, SQLStrToBoolean));
      break;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      StoreExactWhole(ParseText<int64_t>(Value, true, SQLStrToLargeInt), Text);
      break;
    case dtFloat:
      SetDouble(ParseText<double>(Value, true, SQLStrToFloat));
      break;
    case dtDecimal:
      SetCurrency(RoundCurr(ParseText<TORVCurrency>(Value, true, SQLStrToDecimal), FScale));
      break;
    case dtDate:
      SetInteger(ParseText<int32_t>(Value, true, SQLStrToDate));
      break;
    case dtTime:
      SetInteger(ParseText<int32_t>(Value, true, SQLStrToTime));
      break;
    case dtTimeStamp:
      SetLargeInt(ParseText<int64_t>(Value, true, SQLStrToTimeStamp));
      break;
    case dtYearMonthInterval:
      SetInteger(ParseText<int32_t>(Value, true, YearMonthReader(FSubType)));
      break;
    case dtDayTimeInterval:
      SetLargeInt(ParseText<int64_t>(Value, true, DayTimeReader(FSubType)));
      break;
    default:
      RaiseConversionError(Value, true);
  }
  FinishSet();
}

void TORVValue::SetAsAnsiString(const TORVAnsiString& Value) {
  if (IsStringType()) {
    SetAnsiString(Value);
    FinishSet();
    return;
  }
  SetAsString(MapStringToUnicode(Value, 0));
}

void TORVValue::SetAsUnicodeString(const TORVString& Value) {
  if (IsStringType()) {
    SetUnicodeString(Value);
    FinishSet();
    return;
  }
  SetAsString(Value);
}

void TORVValue::SetAsBytes(const TORVBytes& Value) {
  if (IsStringType() || IsBytesType() || IsLargeObject()) {
    SetBytes(Value);
    FinishSet();
    return;
  }
  // Other types take the first bytes of the array as their native image;
  // an array shorter than the image is refused rather than read beyond.
  int32_t Width = 0;
  switch (FDataType) {
    case dtBoolean:
      Width = 1;
      break;
    case dtSmallInt:
      Width = 2;
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      Width = 4;
      break;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
    case dtFloat:
    case dtDecimal:
      Width = 8;
      break;
    default:
      break;
  }
  if (Width == 0 || static_cast<int32_t>(Value.size()) < Width) RaiseConversionError(BinaryToSQLStr(Value), true);
  switch (Width) {
    case 1:
      SetBoolean(Value[0] != 0);
      break;
    case 2:
      SetSmallInt(ImageFrom<int16_t>(Value));
      break;
    case 4:
      SetInteger(ImageFrom<int32_t>(Value));
      break;
    default:
      if (FDataType == dtFloat)
        SetDouble(ImageFrom<double>(Value));
      else if (FDataType == dtDecimal)
        SetCurrency(RoundCurr(TORVCurrency::FromScaled(ImageFrom<int64_t>(Value)), FScale));
      else
        SetLargeInt(ImageFrom<int64_t>(Value));
      break;
  }
  FinishSet();
}

void TORVValue::SetAsBlob(TORVStream* Stream) {
  if (!IsLargeObject()) RaiseConversionError(CurrentText(), true);
  SetBlob(Stream, 0);
  FinishSet();
}

void TORVValue::SetAsBoolean(bool Value) {
  const auto Text = [Value] { return BooleanToSQLStr(Value); };
  if (StoredAsText(Text)) return;
  const int32_t Number = Value ? 1 : 0;
  switch (FDataType) {
    case dtBytes: {
      const uint8_t Image = static_cast<uint8_t>(Number);
      StoreFixedImage(&Image, 1, Text);
      break;
    }
    case dtBoolean:
      SetBoolean(Value);
      break;
    case dtSmallInt:
      SetSmallInt(static_cast<int16_t>(Number));
      break;
    case dtInteger:
      SetInteger(Number);
      break;
    case dtBigInt:
      SetLargeInt(Number);
      break;
    case dtFloat:
      SetDouble(Number);
      break;
    case dtDecimal:
      SetCurrency(TORVCurrency::FromInt(Number));
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::StoreYearMonthOrdinal(int64_t Value) {
  int64_t Months = 0;
  if (FSubType == stMonth) {
    Months = Value;
  } else if (FSubType == stYear) {
    if (!MulFits(Value, 12, Months)) RaiseRangeError(IntToString(Value), true);
  } else {
    RaiseConversionError(CurrentText(), false);
  }
  if (!InIntegerRange(Months)) RaiseRangeError(IntToString(Value), true);
  SetInteger(static_cast<int32_t>(Months));
}

void TORVValue::StoreDayTimeOrdinal(int64_t Value) {
  const int64_t Unit = DayTimeUnit(FSubType);
  if (Unit == 0) RaiseConversionError(CurrentText(), false);
  // The day field is 32-bit: a larger count must not wrap into another
  // number of days.
  if (FSubType == stDay && !InIntegerRange(Value)) RaiseRangeError(IntToString(Value), true);
  int64_t Milliseconds = 0;
  if (!MulFits(Value, Unit, Milliseconds)) RaiseRangeError(IntToString(Value), true);
  SetLargeInt(Milliseconds);
}

// Stores a whole number that arrived as a SmallInt (Width 2), an Integer (4)
// or a BigInt (8): the width is the Byte(n) image it takes and decides which
// date, time and interval stores accept it.
void TORVValue::StoreWhole(int64_t Value, int32_t Width) {
  const auto Text = [Value] { return IntToString(Value); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, Width, Text);
      break;
    case dtBoolean:
      SetBoolean(Value != 0);
      break;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      StoreExactWhole(Value, Text);
      break;
    case dtFloat:
      SetDouble(static_cast<double>(Value));
      break;
    case dtDecimal: {
      int64_t Scaled = 0;
      if (!MulFits(Value, kScale, Scaled)) RaiseRangeError(Text(), true);
      SetCurrency(TORVCurrency::FromScaled(Scaled));
      break;
    }
    case dtDate:
    case dtTime:
      if (Width != esInteger || Value < 0) RaiseConversionError(Text(), true);
      SetInteger(static_cast<int32_t>(Value));
      break;
    case dtTimeStamp:
      if (Width != esLargeInt || Value < 0) RaiseConversionError(Text(), true);
      SetLargeInt(Value);
      break;
    case dtYearMonthInterval:
      if (Width == esLargeInt && !InIntegerRange(Value)) RaiseRangeError(Text(), true);
      StoreYearMonthOrdinal(Value);
      break;
    case dtDayTimeInterval:
      StoreDayTimeOrdinal(Value);
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsSmallInt(int16_t Value) { StoreWhole(Value, esSmallInt); }

void TORVValue::SetAsInteger(int32_t Value) { StoreWhole(Value, esInteger); }

void TORVValue::SetAsLargeInt(int64_t Value) { StoreWhole(Value, esLargeInt); }

void TORVValue::SetAsCurrency(TORVCurrency Value) {
  const auto Text = [Value] { return DecimalToSQLStr(Value, 0); };
  if (StoredAsText(Text)) return;
  // Whole-number targets drop the fraction toward zero.
  const int64_t Whole = Value.Scaled() / kScale;
  switch (FDataType) {
    case dtBytes: {
      const int64_t Scaled = Value.Scaled();
      StoreFixedImage(&Scaled, 8, Text);
      break;
    }
    case dtBoolean:
      SetBoolean(Value.Scaled() != 0);
      break;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      StoreExactWhole(Whole, [Whole] { return IntToString(Whole); });
      break;
    case dtFloat:
      SetDouble(static_cast<double>(Value.Scaled()) / static_cast<double>(kScale));
      break;
    case dtDecimal:
      SetCurrency(RoundCurr(Value, FScale));
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsDouble(double Value) {
  const auto Text = [Value] { return FloatToSQLStr(Value); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 8, Text);
      break;
    case dtBoolean:
      // Non-zero is True, as for every other number; NaN is not zero.
      SetBoolean(Value != 0.0);
      break;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt: {
      if (std::isnan(Value)) RaiseConversionError(Text(), true);
      const double Truncated = std::trunc(Value);
      if (!InInt64Range(Truncated)) RaiseRangeError(Text(), true);
      const int64_t Whole = static_cast<int64_t>(Truncated);
      StoreExactWhole(Whole, [Whole] { return IntToString(Whole); });
      break;
    }
    case dtFloat:
      SetDouble(Value);
      break;
    case dtDecimal: {
      if (std::isnan(Value)) RaiseConversionError(Text(), true);
      const double Scaled =
          std::nearbyint(static_cast<double>(RoundFloat(Value, FScale)) * static_cast<double>(kScale));
      if (!InInt64Range(Scaled)) RaiseRangeError(Text(), true);
      SetCurrency(TORVCurrency::FromScaled(static_cast<int64_t>(Scaled)));
      break;
    }
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsDate(int32_t Value) {
  const auto Text = [Value] { return DateToSQLStr(Value); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 4, Text);
      break;
    case dtDate:
      SetInteger(Value);
      break;
    case dtTimeStamp:
      SetLargeInt(DateToTimeStamp(Value, false));
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsTime(int32_t Value) {
  const auto Text = [Value] { return TimeToSQLStr(Value, true); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 4, Text);
      break;
    case dtTime:
      SetInteger(Value);
      break;
    case dtTimeStamp:
      // A time alone becomes that time of today's local date.
      SetLargeInt(DateToTimeStamp(CurrentDate(false), false) + Value);
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsTimeStamp(int64_t Value) {
  const auto Text = [Value] { return TimeStampToSQLStr(Value, true); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 8, Text);
      break;
    case dtDate:
      SetInteger(DateFromTimeStamp(Value));
      break;
    case dtTime:
      SetInteger(TimeFromTimeStamp(Value));
      break;
    case dtTimeStamp:
      SetLargeInt(Value);
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsDateTime(double Value) {
  // A date-time that is not finite or lies beyond the valid dates has no
  // time stamp; the value refuses it as its own conversion error.
  int64_t TimeStamp = 0;
  if (!Reads([&] {
        TimeStamp = NativeDateTimeToTimeStamp(Value);
        return true;
      }))
    RaiseConversionError(FloatToSQLStr(Value), true);
  SetAsTimeStamp(TimeStamp);
}

void TORVValue::SetAsYearMonthInterval(int32_t Value) {
  const auto Text = [Value] { return YearMonthIntervalToSQLStr(Value, stYearToMonth); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 4, Text);
      break;
    case dtYearMonthInterval:
      SetInteger(Value);
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetAsDayTimeInterval(int64_t Value) {
  const auto Text = [Value] { return DayTimeIntervalToSQLStr(Value, stDayToMSecond); };
  if (StoredAsText(Text)) return;
  switch (FDataType) {
    case dtBytes:
      StoreFixedImage(&Value, 8, Text);
      break;
    case dtDayTimeInterval:
      SetLargeInt(Value);
      break;
    default:
      RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetYearMonthInterval(int32_t Value, int32_t YearMonthIntervalType) {
  const auto Text = [=] { return YearMonthIntervalToSQLStr(Value, YearMonthIntervalType); };
  if (StoredAsText(Text)) return;
  if (IsNumber()) {
    const TORVParsedYearMonthInterval Parsed = ParseYearMonthInterval(Value, YearMonthIntervalType);
    if (YearMonthIntervalType == stMonth)
      SetAsInteger(Parsed.Months);
    else if (YearMonthIntervalType == stYear)
      SetAsInteger(Parsed.Years);
    else
      RaiseConversionError(Text(), true);
    return;
  }
  if (FDataType == dtBytes || IsBlobType()) {
    // The 32-bit image, unchanged, whatever the bytes' subtype.
    SetBytes(ImageBytes(Value));
  } else if (FDataType == dtYearMonthInterval) {
    SetInteger(Value);
  } else {
    RaiseConversionError(Text(), true);
  }
  FinishSet();
}

void TORVValue::SetDayTimeInterval(int64_t Value, int32_t DayTimeIntervalType) {
  const auto Text = [=] { return DayTimeIntervalToSQLStr(Value, DayTimeIntervalType); };
  if (StoredAsText(Text)) return;
  if (IsNumber()) {
    const TORVParsedDayTimeInterval Parsed = ParseDayTimeInterval(Value, DayTimeIntervalType);
    switch (DayTimeIntervalType) {
      case stMSecond:
        SetAsLargeInt(Parsed.MSeconds);
        break;
      case stSecond:
        SetAsLargeInt(Parsed.Seconds);
        break;
      case stMinute:
        SetAsLargeInt(Parsed.Minutes);
        break;
      case stHour:
        SetAsLargeInt(Parsed.Hours);
        break;
      case stDay:
        if (!InIntegerRange(Parsed.Days)) RaiseRangeError(Text(), true);
        SetAsInteger(static_cast<int32_t>(Parsed.Days));
        break;
      default:
        RaiseConversionError(Text(), true);
    }
    return;
  }
  if (FDataType == dtBytes || IsBlobType()) {
    SetBytes(ImageBytes(Value));
  } else if (FDataType == dtDayTimeInterval) {
    SetLargeInt(Value);
  } else {
    RaiseConversionError(Text(), true);
  }
  FinishSet();
}

}  // namespace orv
