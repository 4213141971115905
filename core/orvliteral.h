// Typed values as text and back: the SQL text forms that the engine writes
// into SQL, catalogs, plans and messages (locale-independent: "." as decimal
// point, dates year-month-day, a 24-hour clock unless asked otherwise), with
// strict readers, and the plain number conversions used for display.
//
// Readers return True on success and False on text of the wrong form, and
// clear their output first. Text of the right form that still cannot be
// converted (a digit string beyond 64 bits, a lone "-" as a number) raises
// the conversion error (ORV_VALUE_ERROR). The Is... tests never raise.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/orvtype.h"
#include "core/orvtypefunc.h"

namespace orv {

// Number conversions of the engine's number format.
TORVString IntToString(int32_t Value);
TORVString IntToString(int64_t Value);
// Two upper-case hexadecimal digits.
TORVString ByteToHexString(uint8_t Value);
// Eight upper-case hexadecimal digits (two's complement for negatives).
TORVString IntToHexString(int32_t Value);
// No thousands separators and no trailing zeros: 12.5, 12, -0.0001.
TORVString DecimalToString(TORVCurrency Value);
// The shortest text that reads back to the same double, in fixed notation
// when the magnitude is at least 0.00001 with at most 15 integer digits, else
// as mantissa "E" exponent: 1.5, 0.0001, 1E20, 1.25E-10; "NAN", "INF", "-INF".
TORVString FloatToString(double Value);
// A size with its unit: 1023B, 1.5KB, 2MB (rounded half away from zero to two
// decimals).
TORVString BytesToString(int64_t Value);

// Conversions that raise the conversion error (ORV_VALUE_ERROR) on bad text.
// "True"/"False" (any case) or an integer (0 is False).
bool StringToBool(std::u16string_view S);
// Decimal digits with an optional sign, or hexadecimal after "$" or "0x".
int32_t StringToInt(std::u16string_view S);
int64_t StringToLargeInt(std::u16string_view S);
// Digits with an optional sign and decimal point, rounded half away from zero
// to four decimals.
TORVCurrency StringToDecimal(std::u16string_view S);
double StringToFloat(std::u16string_view S);
// The same conversions reporting bad text by returning False (Value then 0)
// instead of raising.
bool TryStringToDecimal(std::u16string_view S, TORVCurrency& Value);
bool TryStringToFloat(std::u16string_view S, double& Value);
// The byte that S ("$FF", "0xFF", "255") denotes.
uint8_t HexStringToByte(std::u16string_view S);

// SQL text forms.
TORVString DateToSQLStr(int32_t Date);
bool SQLStrToDate(std::u16string_view S, int32_t& Date);
TORVString TimeToSQLStr(int32_t Time, bool TwentyFourHour);
bool SQLStrToTime(std::u16string_view S, int32_t& Time);
TORVString TimeStampToSQLStr(int64_t TimeStamp, bool TwentyFourHour);
bool SQLStrToTimeStamp(std::u16string_view S, int64_t& TimeStamp);
// Negative intervals keep their sign even when their leading field is 0
// (-30 minutes as Hour To Minute is -0:30), so that the text reads back.
TORVString YearMonthIntervalToSQLStr(int32_t Interval, TORVSubTypeCode SubType);
bool SQLStrToYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType, int32_t& Interval);
TORVString DayTimeIntervalToSQLStr(int64_t Interval, TORVSubTypeCode SubType);
bool SQLStrToDayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType, int64_t& Interval);
// Two upper-case hexadecimal digits per byte, no prefix.
TORVString BinaryToSQLStr(const TORVBytes& Bytes);
bool SQLStrToBinary(std::u16string_view S, TORVBytes& Bytes);
// Optional "-", then digits only.
bool SQLStrToLargeInt(std::u16string_view S, int64_t& Value);
// "#" and a character code 0..65535.
bool SQLStrToUnsignedChar(std::u16string_view S, char16_t& Value);
TORVString BooleanToSQLStr(bool Value);
// "TRUE" or "FALSE" in any case; on other text Value is left untouched.
bool SQLStrToBoolean(std::u16string_view S, bool& Value);
TORVString FloatToSQLStr(double Value);
bool SQLStrToFloat(std::u16string_view S, double& Value);
// At least Scale decimals: 12 with Scale 2 is 12.00.
TORVString DecimalToSQLStr(TORVCurrency Value, int32_t Scale);
bool SQLStrToDecimal(std::u16string_view S, TORVCurrency& Value);

// True exactly when the matching reader accepts S.
bool IsAnInteger(std::u16string_view S, bool AllowNegative);
bool IsALargeInt(std::u16string_view S);
// An optional "#", then a code 0..65535.
bool IsAnUnsignedChar(std::u16string_view S);
bool IsAFloat(std::u16string_view S);
bool IsADate(std::u16string_view S);
bool IsATime(std::u16string_view S);
bool IsATimeStamp(std::u16string_view S);
bool IsAYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType);
bool IsADayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType);

}  // namespace orv
