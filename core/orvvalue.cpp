// Type description, NULL state and the conversions of every As property.
#include "core/orvvalue.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/orvdatetime.h"
#include "core/orvenv.h"
#include "core/orverror.h"
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

// 2^63 as a double: the first value beyond the 64-bit range.
constexpr double kTwoPow63 = 9223372036854775808.0;

bool InSmallIntRange(int64_t Value) {
  return Value >= std::numeric_limits<int16_t>::min() && Value <= std::numeric_limits<int16_t>::max();
}

bool InIntegerRange(int64_t Value) {
  return Value >= std::numeric_limits<int32_t>::min() && Value <= std::numeric_limits<int32_t>::max();
}

bool InLargeIntRange(double Value) { return Value >= -kTwoPow63 && Value < kTwoPow63; }

template <typename T>
TORVBytes ImageBytes(T Value) {
  TORVBytes result(sizeof(T));
  std::memcpy(result.data(), &Value, sizeof(T));
  return result;
}

template <typename T>
T ImageFrom(const TORVBytes& Bytes) {
  T result;
  std::memcpy(&result, Bytes.data(), sizeof(T));
  return result;
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

}  // namespace

TORVValue::TORVValue(int32_t CharacterSetToUse) : FCharacterSet(CharacterSetToUse) {}

// ---------------------------------------------------------------------------
// Errors

void TORVValue::RaiseValueError(const TORVString& ObjectName, const TORVString& Detail) {
  throw EORVException(ORV_VALUE_ERROR,
                      FormatString(u"An error occurred with the %s %s (%s)", {u"value", ObjectName, Detail}));
}

TORVString TORVValue::CurrentText() {
  // Type 0 has no text; asking for it would raise a conversion error in the
  // middle of building another error.
  if (FDataType == dtUnknown) return TORVString();
  return GetAsString();
}

void TORVValue::TruncationError(const TORVString& Value, bool IncludeValue) {
  if (IncludeValue) RaiseValueError(CurrentText(), FormatString(u"The value %s would result in truncation", {Value}));
  RaiseValueError(Value, u"The value would result in truncation");
}

void TORVValue::RangeError(const TORVString& Value, bool IncludeValue) {
  const TORVString typeName = DataTypeToString(FDataType, FSubType);
  if (IncludeValue)
    RaiseValueError(
        CurrentText(),
        FormatString(u"The value %s is out of the range of permissible values for the %s type", {Value, typeName}));
  RaiseValueError(Value,
                  FormatString(u"The value is out of the range of permissible values for the %s type", {typeName}));
}

void TORVValue::ConversionError(const TORVString& Value, bool IncludeValue) {
  if (IncludeValue) RaiseValueError(Value, FormatString(u"A conversion error occurred with the value %s", {Value}));
  RaiseValueError(Value, u"A conversion error occurred with the value");
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
    TORVString text;
    GetString(text);
    return text;
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

void TORVValue::UpdateCodePage() {
  int32_t locale = FCollation;
  ClearLocaleFlags(locale);
  FCodePage = Environment().LocaleToCodePage(locale);
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
  int32_t length = 0;
  const uint8_t* raw = GetRawBytes(length);
  if (raw == nullptr || length < Count) GetterConversionError();
  std::memcpy(Dest, raw, static_cast<std::size_t>(Count));
}

void TORVValue::StoreFixedBytes(const void* Source, int32_t Count) {
  FBytes2.resize(static_cast<std::size_t>(Count));
  std::memcpy(FBytes2.data(), Source, static_cast<std::size_t>(Count));
  SetBytes(FBytes2);
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
    TORVString text;
    GetString(text);
    return text;
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
    TORVAnsiString text;
    GetAnsiString(text);
    return text;
  }
  return MapStringToAnsi(GetAsString(), 0);
}

TORVString TORVValue::GetAsUnicodeString() {
  if (IsStringType()) {
    TORVString text;
    GetUnicodeString(text);
    return text;
  }
  return GetAsString();
}

TORVBytes TORVValue::GetAsBytes() {
  TORVBytes result;
  if (IsStringType() || IsBytesType() || IsLargeObject()) {
    GetBytes(result);
    return result;
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
  if (IsStringType()) {
    GetString(FString1);
    bool result = false;
    if (!Reads([&] { return SQLStrToBoolean(FString1, result); })) RaiseConversionError(FString1, false);
    return result;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(1)) GetterConversionError();
      uint8_t image = 0;
      ReadFixedBytes(&image, 1);
      return image != 0;
    }
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
  const double truncated = std::trunc(Value);
  if (!InLargeIntRange(truncated)) GetterRangeError();
  return static_cast<int64_t>(truncated);
}

int64_t TORVValue::FloatToScaledForGet(double Value) {
  if (std::isnan(Value)) GetterConversionError();
  // The default rounding mode rounds ties to even.
  const double scaled = std::nearbyint(Value * static_cast<double>(kScale));
  if (!InLargeIntRange(scaled)) GetterRangeError();
  return static_cast<int64_t>(scaled);
}

// The count of the single field of a year-month interval.
int64_t TORVValue::YearMonthOrdinal() {
  const TORVParsedYearMonthInterval parsed = ParseYearMonthInterval(GetInteger(), FSubType);
  if (FSubType == stMonth) return parsed.Months;
  if (FSubType == stYear) return parsed.Years;
  GetterConversionError();
}

// The count of the single field of a day-time interval.
int64_t TORVValue::DayTimeOrdinal() {
  const TORVParsedDayTimeInterval parsed = ParseDayTimeInterval(GetLargeInt(), FSubType);
  switch (FSubType) {
    case stDay:
      return parsed.Days;
    case stHour:
      return parsed.Hours;
    case stMinute:
      return parsed.Minutes;
    case stSecond:
      return parsed.Seconds;
    case stMSecond:
      return parsed.MSeconds;
    default:
      GetterConversionError();
  }
}

int16_t TORVValue::GetAsSmallInt() {
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToLargeInt(FString1, parsed); })) RaiseConversionError(FString1, false);
    if (!InSmallIntRange(parsed)) RaiseRangeError(FString1, false);
    return static_cast<int16_t>(parsed);
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(2)) GetterConversionError();
      int16_t image = 0;
      ReadFixedBytes(&image, 2);
      return image;
    }
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
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToLargeInt(FString1, parsed); })) RaiseConversionError(FString1, false);
    if (!InIntegerRange(parsed)) RaiseRangeError(FString1, false);
    return static_cast<int32_t>(parsed);
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(4)) GetterConversionError();
      int32_t image = 0;
      ReadFixedBytes(&image, 4);
      return image;
    }
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
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToLargeInt(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(8)) GetterConversionError();
      int64_t image = 0;
      ReadFixedBytes(&image, 8);
      return image;
    }
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
  if (IsStringType()) {
    GetString(FString1);
    TORVCurrency parsed;
    if (!Reads([&] { return SQLStrToDecimal(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  int64_t scaled = 0;
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(8)) GetterConversionError();
      ReadFixedBytes(&scaled, 8);
      return TORVCurrency::FromScaled(scaled);
    case dtBoolean:
      return TORVCurrency::FromInt(GetBoolean() ? 1 : 0);
    case dtSmallInt:
      return TORVCurrency::FromInt(GetSmallInt());
    case dtInteger:
      return TORVCurrency::FromInt(GetInteger());
    case dtBigInt:
      if (!MulFits(GetLargeInt(), kScale, scaled)) GetterRangeError();
      return TORVCurrency::FromScaled(scaled);
    case dtFloat:
      return TORVCurrency::FromScaled(FloatToScaledForGet(GetDouble()));
    case dtDecimal:
      return GetCurrency();
    default:
      GetterConversionError();
  }
}

double TORVValue::GetAsDouble() {
  if (IsStringType()) {
    GetString(FString1);
    double parsed = 0.0;
    if (!Reads([&] { return SQLStrToFloat(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(8)) GetterConversionError();
      double image = 0.0;
      ReadFixedBytes(&image, 8);
      return image;
    }
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
  if (IsStringType()) {
    GetString(FString1);
    int32_t parsed = 0;
    if (!Reads([&] { return SQLStrToDate(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(4)) GetterConversionError();
      int32_t image = 0;
      ReadFixedBytes(&image, 4);
      return image;
    }
    case dtDate:
      return GetInteger();
    case dtTimeStamp:
      return DateFromTimeStamp(GetLargeInt());
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetAsTime() {
  if (IsStringType()) {
    GetString(FString1);
    int32_t parsed = 0;
    if (!Reads([&] { return SQLStrToTime(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(4)) GetterConversionError();
      int32_t image = 0;
      ReadFixedBytes(&image, 4);
      return image;
    }
    case dtTime:
      return GetInteger();
    case dtTimeStamp:
      return TimeFromTimeStamp(GetLargeInt());
    default:
      GetterConversionError();
  }
}

int64_t TORVValue::GetAsTimeStamp() {
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToTimeStamp(FString1, parsed); })) RaiseConversionError(FString1, false);
    return parsed;
  }
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(8)) GetterConversionError();
      int64_t image = 0;
      ReadFixedBytes(&image, 8);
      return image;
    }
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
  if (IsStringType()) {
    GetString(FString1);
    int32_t parsed = 0;
    if (!Reads([&] { return SQLStrToYearMonthInterval(FString1, stYearToMonth, parsed); }))
      RaiseConversionError(FString1, false);
    return parsed;
  }
  if (IsNumber()) return GetAsInteger();
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(4)) GetterConversionError();
      int32_t image = 0;
      ReadFixedBytes(&image, 4);
      return image;
    }
    case dtYearMonthInterval:
      return GetInteger();
    default:
      GetterConversionError();
  }
}

int64_t TORVValue::GetAsDayTimeInterval() {
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToDayTimeInterval(FString1, stDayToMSecond, parsed); }))
      RaiseConversionError(FString1, false);
    return parsed;
  }
  // A plain number counts days.
  if (IsNumber()) return static_cast<int64_t>(GetAsInteger()) * kMSecsPerDay;
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(8)) GetterConversionError();
      int64_t image = 0;
      ReadFixedBytes(&image, 8);
      return image;
    }
    case dtDayTimeInterval:
      return GetLargeInt();
    default:
      GetterConversionError();
  }
}

int32_t TORVValue::GetYearMonthInterval(int32_t YearMonthIntervalType) {
  if (IsStringType()) {
    GetString(FString1);
    int32_t parsed = 0;
    if (!Reads([&] { return SQLStrToYearMonthInterval(FString1, YearMonthIntervalType, parsed); }))
      RaiseConversionError(FString1, false);
    return parsed;
  }
  if (IsNumber()) {
    const int64_t count = GetAsInteger();
    int64_t months = 0;
    if (YearMonthIntervalType == stMonth) return static_cast<int32_t>(count);
    if (YearMonthIntervalType != stYear) GetterConversionError();
    if (!MulFits(count, 12, months) || !InIntegerRange(months)) GetterRangeError();
    return static_cast<int32_t>(months);
  }
  int32_t image = 0;
  if (FDataType == dtYearMonthInterval) {
    image = GetInteger();
  } else if (IsFixedBytes(4) || (IsBlobType() && GetLength() == 4)) {
    ReadFixedBytes(&image, 4);
  } else {
    GetterConversionError();
  }
  // Only the fields of the asked subtype survive: as Year, the months below a
  // whole year are dropped.
  int32_t result = 0;
  if (!MakeYearMonthInterval(ParseYearMonthInterval(image, YearMonthIntervalType), result)) GetterRangeError();
  return result;
}

int64_t TORVValue::GetDayTimeInterval(int32_t DayTimeIntervalType) {
  if (IsStringType()) {
    GetString(FString1);
    int64_t parsed = 0;
    if (!Reads([&] { return SQLStrToDayTimeInterval(FString1, DayTimeIntervalType, parsed); }))
      RaiseConversionError(FString1, false);
    return parsed;
  }
  if (IsNumber()) {
    int64_t unit = 0;
    switch (DayTimeIntervalType) {
      case stMSecond:
        unit = 1;
        break;
      case stSecond:
        unit = 1000;
        break;
      case stMinute:
        unit = 60000;
        break;
      case stHour:
        unit = 3600000;
        break;
      case stDay:
        return static_cast<int64_t>(GetAsInteger()) * kMSecsPerDay;
      default:
        GetterConversionError();
    }
    int64_t result = 0;
    if (!MulFits(GetAsLargeInt(), unit, result)) GetterRangeError();
    return result;
  }
  int64_t image = 0;
  if (FDataType == dtDayTimeInterval) {
    image = GetLargeInt();
  } else if (IsFixedBytes(8)) {
    ReadFixedBytes(&image, 8);
  } else {
    GetterConversionError();
  }
  int64_t result = 0;
  if (!MakeDayTimeInterval(ParseDayTimeInterval(image, DayTimeIntervalType), result)) GetterRangeError();
  return result;
}

// ---------------------------------------------------------------------------
// Setters

void TORVValue::SetAsString(const TORVString& Value) {
  if (IsStringType()) {
    SetString(Value);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
    case dtLargeObject: {
      TORVBytes bytes;
      if (!Reads([&] { return SQLStrToBinary(Value, bytes); })) RaiseConversionError(Value, true);
      SetBytes(bytes);
      break;
    }
    case dtBoolean: {
      bool parsed = false;
      if (!Reads([&] { return SQLStrToBoolean(Value, parsed); })) RaiseConversionError(Value, true);
      SetBoolean(parsed);
      break;
    }
    case dtSmallInt:
    case dtInteger:
    case dtBigInt: {
      int64_t parsed = 0;
      if (!Reads([&] { return SQLStrToLargeInt(Value, parsed); })) RaiseConversionError(Value, true);
      if (FDataType == dtSmallInt) {
        if (!InSmallIntRange(parsed)) RaiseRangeError(Value, true);
        SetSmallInt(static_cast<int16_t>(parsed));
      } else if (FDataType == dtInteger) {
        if (!InIntegerRange(parsed)) RaiseRangeError(Value, true);
        SetInteger(static_cast<int32_t>(parsed));
      } else {
        SetLargeInt(parsed);
      }
      break;
    }
    case dtFloat: {
      double parsed = 0.0;
      if (!Reads([&] { return SQLStrToFloat(Value, parsed); })) RaiseConversionError(Value, true);
      SetDouble(parsed);
      break;
    }
    case dtDecimal: {
      TORVCurrency parsed;
      if (!Reads([&] { return SQLStrToDecimal(Value, parsed); })) RaiseConversionError(Value, true);
      SetCurrency(RoundCurr(parsed, FScale));
      break;
    }
    case dtDate:
    case dtTime: {
      int32_t parsed = 0;
      const bool ok = FDataType == dtDate ? Reads([&] { return SQLStrToDate(Value, parsed); })
                                          : Reads([&] { return SQLStrToTime(Value, parsed); });
      if (!ok) RaiseConversionError(Value, true);
      SetInteger(parsed);
      break;
    }
    case dtTimeStamp: {
      int64_t parsed = 0;
      if (!Reads([&] { return SQLStrToTimeStamp(Value, parsed); })) RaiseConversionError(Value, true);
      SetLargeInt(parsed);
      break;
    }
    case dtYearMonthInterval: {
      int32_t parsed = 0;
      if (!Reads([&] { return SQLStrToYearMonthInterval(Value, FSubType, parsed); })) RaiseConversionError(Value, true);
      SetInteger(parsed);
      break;
    }
    case dtDayTimeInterval: {
      int64_t parsed = 0;
      if (!Reads([&] { return SQLStrToDayTimeInterval(Value, FSubType, parsed); })) RaiseConversionError(Value, true);
      SetLargeInt(parsed);
      break;
    }
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
  int32_t width = 0;
  switch (FDataType) {
    case dtBoolean:
      width = 1;
      break;
    case dtSmallInt:
      width = 2;
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      width = 4;
      break;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
    case dtFloat:
    case dtDecimal:
      width = 8;
      break;
    default:
      break;
  }
  if (width == 0 || static_cast<int32_t>(Value.size()) < width) RaiseConversionError(BinaryToSQLStr(Value), true);
  switch (width) {
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
  if (IsStringType()) {
    SetString(BooleanToSQLStr(Value));
    FinishSet();
    return;
  }
  const int32_t number = Value ? 1 : 0;
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(1)) RaiseConversionError(BooleanToSQLStr(Value), true);
      const uint8_t image = static_cast<uint8_t>(number);
      StoreFixedBytes(&image, 1);
      break;
    }
    case dtBoolean:
      SetBoolean(Value);
      break;
    case dtSmallInt:
      SetSmallInt(static_cast<int16_t>(number));
      break;
    case dtInteger:
      SetInteger(number);
      break;
    case dtBigInt:
      SetLargeInt(number);
      break;
    case dtFloat:
      SetDouble(number);
      break;
    case dtDecimal:
      SetCurrency(TORVCurrency::FromInt(number));
      break;
    default:
      RaiseConversionError(BooleanToSQLStr(Value), true);
  }
  FinishSet();
}

void TORVValue::StoreYearMonthOrdinal(int64_t Value, const TORVString& Text) {
  int64_t months = 0;
  if (FSubType == stMonth) {
    months = Value;
  } else if (FSubType == stYear) {
    if (!MulFits(Value, 12, months)) RaiseRangeError(Text, true);
  } else {
    RaiseConversionError(CurrentText(), false);
  }
  if (!InIntegerRange(months)) RaiseRangeError(Text, true);
  SetInteger(static_cast<int32_t>(months));
}

void TORVValue::StoreDayTimeOrdinal(int64_t Value, const TORVString& Text) {
  int64_t unit = 0;
  switch (FSubType) {
    case stMSecond:
      unit = 1;
      break;
    case stSecond:
      unit = 1000;
      break;
    case stMinute:
      unit = 60000;
      break;
    case stHour:
      unit = 3600000;
      break;
    case stDay:
      // The day field is 32-bit: a larger count must not wrap into another
      // number of days.
      if (!InIntegerRange(Value)) RaiseRangeError(Text, true);
      unit = kMSecsPerDay;
      break;
    default:
      RaiseConversionError(CurrentText(), false);
  }
  int64_t milliseconds = 0;
  if (!MulFits(Value, unit, milliseconds)) RaiseRangeError(Text, true);
  SetLargeInt(milliseconds);
}

// Stores a whole number that arrived as a SmallInt (Width 2), an Integer (4)
// or a BigInt (8): the width is the Byte(n) image it takes and decides which
// date, time and interval stores accept it.
void TORVValue::StoreWhole(int64_t Value, int32_t Width) {
  const TORVString text = IntToString(Value);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(Width)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, Width);
      break;
    case dtBoolean:
      SetBoolean(Value != 0);
      break;
    case dtSmallInt:
      if (!InSmallIntRange(Value)) RaiseRangeError(text, true);
      SetSmallInt(static_cast<int16_t>(Value));
      break;
    case dtInteger:
      if (!InIntegerRange(Value)) RaiseRangeError(text, true);
      SetInteger(static_cast<int32_t>(Value));
      break;
    case dtBigInt:
      SetLargeInt(Value);
      break;
    case dtFloat:
      SetDouble(static_cast<double>(Value));
      break;
    case dtDecimal: {
      int64_t scaled = 0;
      if (!MulFits(Value, kScale, scaled)) RaiseRangeError(text, true);
      SetCurrency(TORVCurrency::FromScaled(scaled));
      break;
    }
    case dtDate:
    case dtTime:
      if (Width != esInteger) RaiseConversionError(text, true);
      if (Value < 0) RaiseConversionError(text, true);
      SetInteger(static_cast<int32_t>(Value));
      break;
    case dtTimeStamp:
      if (Width != esLargeInt) RaiseConversionError(text, true);
      if (Value < 0) RaiseConversionError(text, true);
      SetLargeInt(Value);
      break;
    case dtYearMonthInterval:
      if (Width == esLargeInt && !InIntegerRange(Value)) RaiseRangeError(text, true);
      StoreYearMonthOrdinal(Value, text);
      break;
    case dtDayTimeInterval:
      StoreDayTimeOrdinal(Value, text);
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsSmallInt(int16_t Value) { StoreWhole(Value, esSmallInt); }

void TORVValue::SetAsInteger(int32_t Value) { StoreWhole(Value, esInteger); }

void TORVValue::SetAsLargeInt(int64_t Value) { StoreWhole(Value, esLargeInt); }

void TORVValue::SetAsCurrency(TORVCurrency Value) {
  const TORVString text = DecimalToSQLStr(Value, 0);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  // Whole-number targets drop the fraction toward zero.
  const int64_t whole = Value.Scaled() / kScale;
  switch (FDataType) {
    case dtBytes: {
      if (!IsFixedBytes(8)) RaiseConversionError(text, true);
      const int64_t scaled = Value.Scaled();
      StoreFixedBytes(&scaled, 8);
      break;
    }
    case dtBoolean:
      SetBoolean(Value.Scaled() != 0);
      break;
    case dtSmallInt:
      if (!InSmallIntRange(whole)) RaiseRangeError(IntToString(whole), true);
      SetSmallInt(static_cast<int16_t>(whole));
      break;
    case dtInteger:
      if (!InIntegerRange(whole)) RaiseRangeError(IntToString(whole), true);
      SetInteger(static_cast<int32_t>(whole));
      break;
    case dtBigInt:
      SetLargeInt(whole);
      break;
    case dtFloat:
      SetDouble(static_cast<double>(Value.Scaled()) / static_cast<double>(kScale));
      break;
    case dtDecimal:
      SetCurrency(RoundCurr(Value, FScale));
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsDouble(double Value) {
  const TORVString text = FloatToSQLStr(Value);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(8)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 8);
      break;
    case dtBoolean:
      // Non-zero is True, as for every other number; NaN is not zero.
      SetBoolean(Value != 0.0);
      break;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt: {
      if (std::isnan(Value)) RaiseConversionError(text, true);
      const double truncated = std::trunc(Value);
      if (!InLargeIntRange(truncated)) RaiseRangeError(text, true);
      const int64_t whole = static_cast<int64_t>(truncated);
      if (FDataType == dtSmallInt) {
        if (!InSmallIntRange(whole)) RaiseRangeError(IntToString(whole), true);
        SetSmallInt(static_cast<int16_t>(whole));
      } else if (FDataType == dtInteger) {
        if (!InIntegerRange(whole)) RaiseRangeError(IntToString(whole), true);
        SetInteger(static_cast<int32_t>(whole));
      } else {
        SetLargeInt(whole);
      }
      break;
    }
    case dtFloat:
      SetDouble(Value);
      break;
    case dtDecimal: {
      if (std::isnan(Value)) RaiseConversionError(text, true);
      const double scaled =
          std::nearbyint(static_cast<double>(RoundFloat(Value, FScale)) * static_cast<double>(kScale));
      if (!InLargeIntRange(scaled)) RaiseRangeError(text, true);
      SetCurrency(TORVCurrency::FromScaled(static_cast<int64_t>(scaled)));
      break;
    }
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsDate(int32_t Value) {
  const TORVString text = DateToSQLStr(Value);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(4)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 4);
      break;
    case dtDate:
      SetInteger(Value);
      break;
    case dtTimeStamp:
      SetLargeInt(DateToTimeStamp(Value, false));
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsTime(int32_t Value) {
  const TORVString text = TimeToSQLStr(Value, true);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(4)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 4);
      break;
    case dtTime:
      SetInteger(Value);
      break;
    case dtTimeStamp:
      // A time alone becomes that time of today's local date.
      SetLargeInt(DateToTimeStamp(CurrentDate(false), false) + Value);
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsTimeStamp(int64_t Value) {
  const TORVString text = TimeStampToSQLStr(Value, true);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(8)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 8);
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
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsDateTime(double Value) {
  // A date-time that is not finite or lies beyond the valid dates has no
  // time stamp; the value refuses it as its own conversion error.
  int64_t timeStamp = 0;
  if (!Reads([&] {
        timeStamp = NativeDateTimeToTimeStamp(Value);
        return true;
      }))
    RaiseConversionError(FloatToSQLStr(Value), true);
  SetAsTimeStamp(timeStamp);
}

void TORVValue::SetAsYearMonthInterval(int32_t Value) {
  const TORVString text = YearMonthIntervalToSQLStr(Value, stYearToMonth);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(4)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 4);
      break;
    case dtYearMonthInterval:
      SetInteger(Value);
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetAsDayTimeInterval(int64_t Value) {
  const TORVString text = DayTimeIntervalToSQLStr(Value, stDayToMSecond);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  switch (FDataType) {
    case dtBytes:
      if (!IsFixedBytes(8)) RaiseConversionError(text, true);
      StoreFixedBytes(&Value, 8);
      break;
    case dtDayTimeInterval:
      SetLargeInt(Value);
      break;
    default:
      RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetYearMonthInterval(int32_t Value, int32_t YearMonthIntervalType) {
  const TORVString text = YearMonthIntervalToSQLStr(Value, YearMonthIntervalType);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  if (IsNumber()) {
    const TORVParsedYearMonthInterval parsed = ParseYearMonthInterval(Value, YearMonthIntervalType);
    if (YearMonthIntervalType == stMonth)
      SetAsInteger(parsed.Months);
    else if (YearMonthIntervalType == stYear)
      SetAsInteger(parsed.Years);
    else
      RaiseConversionError(text, true);
    return;
  }
  if (FDataType == dtBytes || IsBlobType()) {
    // The 32-bit image, unchanged, whatever the bytes' subtype.
    SetBytes(ImageBytes(Value));
  } else if (FDataType == dtYearMonthInterval) {
    SetInteger(Value);
  } else {
    RaiseConversionError(text, true);
  }
  FinishSet();
}

void TORVValue::SetDayTimeInterval(int64_t Value, int32_t DayTimeIntervalType) {
  const TORVString text = DayTimeIntervalToSQLStr(Value, DayTimeIntervalType);
  if (IsStringType()) {
    SetString(text);
    FinishSet();
    return;
  }
  if (IsNumber()) {
    const TORVParsedDayTimeInterval parsed = ParseDayTimeInterval(Value, DayTimeIntervalType);
    switch (DayTimeIntervalType) {
      case stMSecond:
        SetAsLargeInt(parsed.MSeconds);
        break;
      case stSecond:
        SetAsLargeInt(parsed.Seconds);
        break;
      case stMinute:
        SetAsLargeInt(parsed.Minutes);
        break;
      case stHour:
        SetAsLargeInt(parsed.Hours);
        break;
      case stDay:
        if (!InIntegerRange(parsed.Days)) RaiseRangeError(text, true);
        SetAsInteger(static_cast<int32_t>(parsed.Days));
        break;
      default:
        RaiseConversionError(text, true);
    }
    return;
  }
  if (FDataType == dtBytes || IsBlobType()) {
    SetBytes(ImageBytes(Value));
  } else if (FDataType == dtDayTimeInterval) {
    SetLargeInt(Value);
  } else {
    RaiseConversionError(text, true);
  }
  FinishSet();
}

}  // namespace orv
