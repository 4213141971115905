// The data type model: type and subtype codes, the rules that keep a type's
// subtype, length, size, scale and collation consistent, the type texts and
// the ODBC description of each type.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

// Data type codes; persisted in catalogs, rows and messages, so never renumber.
using TORVDataTypeCode = int32_t;
inline constexpr TORVDataTypeCode dtUnknown = 0;
inline constexpr TORVDataTypeCode dtCharacter = 1;
inline constexpr TORVDataTypeCode dtBytes = 2;
inline constexpr TORVDataTypeCode dtLargeObject = 3;
inline constexpr TORVDataTypeCode dtBoolean = 4;
inline constexpr TORVDataTypeCode dtSmallInt = 5;
inline constexpr TORVDataTypeCode dtInteger = 6;
inline constexpr TORVDataTypeCode dtBigInt = 7;
inline constexpr TORVDataTypeCode dtFloat = 8;
inline constexpr TORVDataTypeCode dtDecimal = 9;
inline constexpr TORVDataTypeCode dtDate = 10;
inline constexpr TORVDataTypeCode dtTime = 11;
inline constexpr TORVDataTypeCode dtTimeStamp = 12;
inline constexpr TORVDataTypeCode dtYearMonthInterval = 13;
inline constexpr TORVDataTypeCode dtDayTimeInterval = 14;

// Subtype codes. Character, byte and large-object subtypes share 0 for their
// variable-length (or binary) form.
using TORVSubTypeCode = int32_t;
inline constexpr TORVSubTypeCode stNone = 0;
inline constexpr TORVSubTypeCode stVarChar = 0;
inline constexpr TORVSubTypeCode stVarByte = 0;
inline constexpr TORVSubTypeCode stBlob = 0;
inline constexpr TORVSubTypeCode stChar = 130;
inline constexpr TORVSubTypeCode stByte = 130;
inline constexpr TORVSubTypeCode stGUID = 140;
inline constexpr TORVSubTypeCode stClob = 150;

// Interval subtypes are bit sets of the fields they hold; only contiguous runs
// of fields are valid.
inline constexpr TORVSubTypeCode stMonth = 2;
inline constexpr TORVSubTypeCode stYear = 4;
inline constexpr TORVSubTypeCode stYearToMonth = 6;
inline constexpr TORVSubTypeCode stMSecond = 8;
inline constexpr TORVSubTypeCode stSecond = 16;
inline constexpr TORVSubTypeCode stSecondToMSecond = 24;
inline constexpr TORVSubTypeCode stMinute = 32;
inline constexpr TORVSubTypeCode stMinuteToSecond = 48;
inline constexpr TORVSubTypeCode stMinuteToMSecond = 56;
inline constexpr TORVSubTypeCode stHour = 64;
inline constexpr TORVSubTypeCode stHourToMinute = 96;
inline constexpr TORVSubTypeCode stHourToSecond = 112;
inline constexpr TORVSubTypeCode stHourToMSecond = 120;
inline constexpr TORVSubTypeCode stDay = 128;
inline constexpr TORVSubTypeCode stDayToHour = 192;
inline constexpr TORVSubTypeCode stDayToMinute = 224;
inline constexpr TORVSubTypeCode stDayToSecond = 240;
inline constexpr TORVSubTypeCode stDayToMSecond = 248;

bool IsValidYearMonthSubType(TORVSubTypeCode SubType);
bool IsValidDayTimeSubType(TORVSubTypeCode SubType);

// Normalisation: the callers' setters call these only when the new value
// differs from the current one. CharacterSet is CharacterSetAnsi (one byte
// per character) or CharacterSetUnicode (two bytes per character).

// Stores the type and resets what the type cannot carry (a fixed-size type
// gets its size, a large object loses its length).
void AssignDataType(int32_t CharacterSet, TORVDataTypeCode NewDataType, TORVDataTypeCode& DataType,
                    TORVSubTypeCode& SubType, int32_t& Length, int32_t& Size, int32_t& Scale,
                    int32_t& Collation);
// Stores a subtype valid for the type (a GUID also fixes the length and
// size); other values are ignored. Scale never changes.
void AssignSubType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode NewSubType,
                   TORVSubTypeCode& SubType, int32_t& Length, int32_t& Size, int32_t& Scale, int32_t& Collation);
// Stores the length and the storage size it takes. Variable-length character
// and byte data carry a length prefix: 2 bytes in a row buffer
// (TwoByteLengthPrefix), 4 in a value's stream.
void AssignLength(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t NewLength,
                  int32_t& Length, int32_t& Size, bool TwoByteLengthPrefix);
void AssignCollation(TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t NewCollation,
                     int32_t& Collation);
void AssignScale(TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t NewScale, int32_t& Scale);

// Storage size of a type of that length; 0 for an unknown type.
int32_t GetSizeForDataType(int32_t CharacterSet, TORVDataTypeCode DataType, int32_t Length);

// Display name for messages and system information ("VarChar", "Interval Day
// To Second"); "Unknown" for an unknown type or a subtype invalid for it.
TORVString DataTypeToString(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
// The value error (ORV_VALUE_ERROR) for a value, shown as ValueText, that
// lies outside the range of the type.
[[noreturn]] void RaiseValueRangeError(const TORVString& ValueText, TORVDataTypeCode DataType,
                                       TORVSubTypeCode SubType);
// The type as written in DDL, upper case (VARCHAR(30), DECIMAL(19,2),
// INTERVAL DAY TO MSECOND); empty for an unknown type or interval subtype.
TORVString DataTypeToSQLString(TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t Length,
                               int32_t Scale);
// The interval qualifier alone ("DAY TO SECOND"); empty for anything else.
TORVString IntervalTypeToSQLString(TORVDataTypeCode DataType, TORVSubTypeCode SubType);

// ODBC type information (SQLSMALLINT codes of the ODBC standard). Date,
// time and time stamp are 9, 10, 11 under ODBC 2 and 91, 92, 93 otherwise.
int16_t DataTypeToConciseType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType,
                              int32_t ODBCVersion);
int16_t DataTypeToSQLType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType);
int16_t DataTypeToSubTypeCode(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
int32_t GetConciseTypeColumnSize(int16_t ConciseType, int32_t Length);
int32_t GetConciseTypeDecimalDigits(int16_t ConciseType, int32_t Scale);
int32_t GetConciseTypeOctetLength(int16_t ConciseType, int32_t Length);
TORVString DataTypeLiteralPrefix(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
TORVString DataTypeLiteralSuffix(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
TORVString DataTypeCreateParams(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
int16_t DataTypeRadix(TORVDataTypeCode DataType, TORVSubTypeCode SubType);
int16_t DataTypeIntervalPrecision(TORVDataTypeCode DataType, TORVSubTypeCode SubType);

}  // namespace orv
