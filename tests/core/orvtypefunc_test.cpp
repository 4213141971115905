#include "core/orvtypefunc.h"

#include <gtest/gtest.h>

#include "base/orvutf8.h"

namespace orv {
namespace {

TEST(TypeTexts, EveryTypeHasItsNamesLiteralsAndODBCCodes) {
  struct Case {
    TORVDataTypeCode DataType;
    TORVSubTypeCode SubType;
    int32_t Length;
    int32_t Scale;
    const char16_t* Display;
    const char16_t* SQL;
    int16_t ConciseAnsi;     // ODBC 3
    int16_t ConciseUnicode;  // ODBC 3
    int16_t ConciseOdbc2;    // ANSI
    int16_t SQLType;         // ANSI
    int16_t SubCode;
    const char16_t* Prefix;
    const char16_t* Suffix;
  } cases[] = {
      {dtUnknown, 0, 0, 0, u"Unknown", u"", 0, 0, 0, 0, 0, u"", u""},
      {dtCharacter, stVarChar, 30, 0, u"VarChar", u"VARCHAR(30)", 12, -9, 12, 12, 0, u"'", u"'"},
      {dtCharacter, stVarChar, 0, 0, u"VarChar", u"VARCHAR", 12, -9, 12, 12, 0, u"'", u"'"},
      {dtCharacter, stChar, 10, 0, u"Char", u"CHAR(10)", 1, -8, 1, 1, 0, u"'", u"'"},
      {dtCharacter, stGUID, 38, 0, u"GUID", u"GUID", 12, -9, 12, 12, 0, u"'", u"'"},
      {dtCharacter, 5, 7, 0, u"Unknown", u"VARCHAR(7)", 12, -9, 12, 12, 0, u"'", u"'"},
      {dtBytes, stVarByte, 8, 0, u"VarByte", u"VARBYTE(8)", -3, -3, -3, -3, 0, u"X'", u"'"},
      {dtBytes, stByte, 0, 0, u"Byte", u"BYTE", -2, -2, -2, -2, 0, u"X'", u"'"},
      {dtBytes, stGUID, 16, 0, u"GUID", u"GUID", -3, -3, -3, -3, 0, u"X'", u"'"},
      {dtLargeObject, stBlob, 0, 0, u"BLOB", u"BLOB", -4, -4, -4, -4, 0, u"X'", u"'"},
      {dtLargeObject, stClob, 0, 0, u"CLOB", u"CLOB", -1, -10, -1, -1, 0, u"'", u"'"},
      {dtLargeObject, 7, 0, 0, u"Unknown", u"BLOB", 0, 0, 0, 0, 0, u"", u""},
      {dtBoolean, 0, 0, 0, u"Boolean", u"BOOLEAN", -7, -7, -7, -7, 0, u"", u""},
      {dtSmallInt, 0, 0, 0, u"SmallInt", u"SMALLINT", 5, 5, 5, 5, 0, u"", u""},
      {dtInteger, 0, 0, 0, u"Integer", u"INTEGER", 4, 4, 4, 4, 0, u"", u""},
      {dtBigInt, 0, 0, 0, u"BigInt", u"BIGINT", -5, -5, -5, -5, 0, u"", u""},
      {dtFloat, 0, 0, 0, u"Float", u"FLOAT", 8, 8, 8, 8, 0, u"", u""},
      {dtDecimal, 0, 0, 0, u"Decimal", u"DECIMAL", 3, 3, 3, 3, 0, u"", u""},
      {dtDecimal, 0, 0, 2, u"Decimal", u"DECIMAL(19,2)", 3, 3, 3, 3, 0, u"", u""},
      {dtDate, 0, 0, 0, u"Date", u"DATE", 91, 91, 9, 9, 1, u"DATE '", u"'"},
      {dtTime, 0, 0, 0, u"Time", u"TIME", 92, 92, 10, 9, 2, u"TIME '", u"'"},
      {dtTimeStamp, 0, 0, 0, u"Timestamp", u"TIMESTAMP", 93, 93, 11, 9, 3, u"TIMESTAMP '", u"'"},
      {dtYearMonthInterval, stYear, 0, 0, u"Interval Year", u"INTERVAL YEAR", 101, 101, 101, 10, 1,
       u"INTERVAL '", u"' YEAR"},
      {dtYearMonthInterval, stMonth, 0, 0, u"Interval Month", u"INTERVAL MONTH", 102, 102, 102, 10, 2,
       u"INTERVAL '", u"' MONTH"},
      {dtYearMonthInterval, stYearToMonth, 0, 0, u"Interval Year To Month", u"INTERVAL YEAR TO MONTH", 107, 107,
       107, 10, 7, u"INTERVAL '", u"' YEAR TO MONTH"},
      {dtYearMonthInterval, stDay, 0, 0, u"Unknown", u"", 0, 0, 0, 10, 0, u"INTERVAL '", u""},
      {dtDayTimeInterval, stDay, 0, 0, u"Interval Day", u"INTERVAL DAY", 103, 103, 103, 10, 3, u"INTERVAL '",
       u"' DAY"},
      {dtDayTimeInterval, stDayToHour, 0, 0, u"Interval Day To Hour", u"INTERVAL DAY TO HOUR", 108, 108, 108, 10, 8,
       u"INTERVAL '", u"' DAY TO HOUR"},
      {dtDayTimeInterval, stDayToMinute, 0, 0, u"Interval Day To Minute", u"INTERVAL DAY TO MINUTE", 109, 109, 109,
       10, 9, u"INTERVAL '", u"' DAY TO MINUTE"},
      {dtDayTimeInterval, stDayToSecond, 0, 0, u"Interval Day To Second", u"INTERVAL DAY TO SECOND", 110, 110, 110,
       10, 10, u"INTERVAL '", u"' DAY TO SECOND"},
      {dtDayTimeInterval, stDayToMSecond, 0, 0, u"Interval Day To MSecond", u"INTERVAL DAY TO MSECOND", 110, 110,
       110, 10, 10, u"INTERVAL '", u"' DAY TO MSECOND"},
      {dtDayTimeInterval, stHour, 0, 0, u"Interval Hour", u"INTERVAL HOUR", 104, 104, 104, 10, 4, u"INTERVAL '",
       u"' HOUR"},
      {dtDayTimeInterval, stHourToMinute, 0, 0, u"Interval Hour To Minute", u"INTERVAL HOUR TO MINUTE", 111, 111,
       111, 10, 11, u"INTERVAL '", u"' HOUR TO MINUTE"},
      {dtDayTimeInterval, stHourToSecond, 0, 0, u"Interval Hour To Second", u"INTERVAL HOUR TO SECOND", 112, 112,
       112, 10, 12, u"INTERVAL '", u"' HOUR TO SECOND"},
      {dtDayTimeInterval, stHourToMSecond, 0, 0, u"Interval Hour To MSecond", u"INTERVAL HOUR TO MSECOND", 112, 112,
       112, 10, 12, u"INTERVAL '", u"' HOUR TO MSECOND"},
      {dtDayTimeInterval, stMinute, 0, 0, u"Interval Minute", u"INTERVAL MINUTE", 105, 105, 105, 10, 5,
       u"INTERVAL '", u"' MINUTE"},
      {dtDayTimeInterval, stMinuteToSecond, 0, 0, u"Interval Minute To Second", u"INTERVAL MINUTE TO SECOND", 113,
       113, 113, 10, 13, u"INTERVAL '", u"' MINUTE TO SECOND"},
      {dtDayTimeInterval, stMinuteToMSecond, 0, 0, u"Interval Minute To MSecond", u"INTERVAL MINUTE TO MSECOND", 113,
       113, 113, 10, 13, u"INTERVAL '", u"' MINUTE TO MSECOND"},
      {dtDayTimeInterval, stSecond, 0, 0, u"Interval Second", u"INTERVAL SECOND", 106, 106, 106, 10, 6,
       u"INTERVAL '", u"' SECOND"},
      {dtDayTimeInterval, stSecondToMSecond, 0, 0, u"Interval Second To MSecond", u"INTERVAL SECOND TO MSECOND", 106,
       106, 106, 10, 6, u"INTERVAL '", u"' SECOND TO MSECOND"},
      {dtDayTimeInterval, stMSecond, 0, 0, u"Interval MSecond", u"INTERVAL MSECOND", 106, 106, 106, 10, 6,
       u"INTERVAL '", u"' MSECOND"},
      {dtDayTimeInterval, 40, 0, 0, u"Unknown", u"", 0, 0, 0, 10, 0, u"INTERVAL '", u""},
      {dtDayTimeInterval, stYear, 0, 0, u"Unknown", u"", 0, 0, 0, 10, 0, u"INTERVAL '", u""},
      {15, 0, 0, 0, u"Unknown", u"", 0, 0, 0, 0, 0, u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.DataType << "/" << c.SubType);
    EXPECT_EQ(DataTypeToString(c.DataType, c.SubType), c.Display);
    EXPECT_EQ(DataTypeToSQLString(c.DataType, c.SubType, c.Length, c.Scale), c.SQL);
    EXPECT_EQ(DataTypeToConciseType(0, c.DataType, c.SubType, 3), c.ConciseAnsi);
    EXPECT_EQ(DataTypeToConciseType(1, c.DataType, c.SubType, 3), c.ConciseUnicode);
    EXPECT_EQ(DataTypeToConciseType(0, c.DataType, c.SubType, 2), c.ConciseOdbc2);
    EXPECT_EQ(DataTypeToSQLType(0, c.DataType, c.SubType), c.SQLType);
    EXPECT_EQ(DataTypeToSubTypeCode(c.DataType, c.SubType), c.SubCode);
    EXPECT_EQ(DataTypeLiteralPrefix(c.DataType, c.SubType), c.Prefix);
    EXPECT_EQ(DataTypeLiteralSuffix(c.DataType, c.SubType), c.Suffix);
    const TORVString sql = c.SQL;
    const bool interval = c.DataType == dtYearMonthInterval || c.DataType == dtDayTimeInterval;
    EXPECT_EQ(IntervalTypeToSQLString(c.DataType, c.SubType), interval && !sql.empty() ? sql.substr(9) : u"");
  }
  // Character types and CLOBs of an unknown character set have no ODBC type.
  EXPECT_EQ(DataTypeToConciseType(2, dtCharacter, stChar, 3), 0);
  EXPECT_EQ(DataTypeToSQLType(2, dtLargeObject, stClob), 0);
  EXPECT_EQ(DataTypeToSQLType(2, dtLargeObject, stBlob), -4);
}

TEST(TypeTexts, OnlyContiguousIntervalFieldRunsAreValid) {
  int valid = 0;
  for (TORVSubTypeCode subType = 0; subType < 256; ++subType) {
    if (IsValidDayTimeSubType(subType)) ++valid;
    EXPECT_EQ(IsValidYearMonthSubType(subType), subType == 2 || subType == 4 || subType == 6) << subType;
  }
  EXPECT_EQ(valid, 15);
  EXPECT_TRUE(IsValidDayTimeSubType(stSecondToMSecond));
  EXPECT_FALSE(IsValidDayTimeSubType(stDay | stMinute));
  EXPECT_FALSE(IsValidDayTimeSubType(stDayToMSecond | 4));
}

TEST(TypeTexts, CreateParamsRadixAndIntervalPrecision) {
  EXPECT_EQ(DataTypeCreateParams(dtCharacter, stChar), u"length");
  EXPECT_EQ(DataTypeCreateParams(dtBytes, stVarByte), u"length");
  EXPECT_EQ(DataTypeCreateParams(dtCharacter, stGUID), u"");
  EXPECT_EQ(DataTypeCreateParams(dtFloat, 0), u"precision");
  EXPECT_EQ(DataTypeCreateParams(dtDecimal, 0), u"precision;scale");
  EXPECT_EQ(DataTypeCreateParams(dtInteger, 0), u"");
  for (TORVDataTypeCode type : {dtSmallInt, dtInteger, dtBigInt, dtDecimal}) EXPECT_EQ(DataTypeRadix(type, 0), 10);
  EXPECT_EQ(DataTypeRadix(dtFloat, 0), 2);
  EXPECT_EQ(DataTypeRadix(dtDate, 0), 0);
  EXPECT_EQ(DataTypeIntervalPrecision(dtYearMonthInterval, stYear), 10);
  EXPECT_EQ(DataTypeIntervalPrecision(dtDayTimeInterval, stDay), 20);
  EXPECT_EQ(DataTypeIntervalPrecision(dtTimeStamp, 0), 0);
}

TEST(TypeTexts, ConciseTypeColumnSizesDigitsAndOctets) {
  struct Case {
    int16_t Concise;
    int32_t Length;
    int32_t Scale;
    int32_t Size;
    int32_t Digits;
    int32_t Octets;
  } cases[] = {
      {12, 30, 0, 30, 0, 30},          {1, 0, 0, 1024, 0, 1024},          {-9, 30, 0, 30, 0, 60},
      {-8, 0, 0, 1024, 0, 2048},       {-3, 16, 0, 16, 0, 16},            {-2, 0, 0, 1024, 0, 1024},
      {-1, 0, 0, 2147483647, 0, 2147483647}, {-10, 0, 0, 2147483647, 0, 1073741823},
      {-4, 0, 0, 2147483647, 0, 2147483647}, {-7, 0, 0, 1, 0, 1},         {-6, 0, 0, 3, 0, 1},
      {-28, 0, 0, 3, 0, 1},            {5, 0, 0, 5, 0, 2},                {-17, 0, 0, 5, 0, 2},
      {4, 0, 0, 10, 0, 4},             {-18, 0, 0, 10, 0, 4},             {-5, 0, 0, 20, 0, 20},
      {-27, 0, 0, 20, 0, 20},          {7, 0, 0, 8, 0, 4},                {8, 0, 0, 16, 0, 8},
      {3, 0, 2, 20, 2, 21},            {2, 0, 4, 20, 4, 21},              {91, 0, 0, 10, 0, 6},
      {9, 0, 0, 10, 0, 6},             {92, 0, 0, 12, 3, 6},              {93, 0, 0, 23, 3, 16},
      {11, 0, 0, 23, 3, 16},           {101, 0, 0, 10, 0, 34},            {107, 0, 0, 14, 0, 34},
      {110, 0, 0, 26, 3, 34},          {112, 0, 0, 24, 3, 34},            {113, 0, 0, 22, 3, 34},
      {106, 0, 0, 20, 0, 34},          {111, 0, 0, 22, 0, 34},            {114, 0, 0, 0, 0, 0},
      {0, 5, 5, 0, 0, 0},              {-9, 2000000000, 0, 2000000000, 0, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Concise);
    EXPECT_EQ(GetConciseTypeColumnSize(c.Concise, c.Length), c.Size);
    EXPECT_EQ(GetConciseTypeDecimalDigits(c.Concise, c.Scale), c.Digits);
    EXPECT_EQ(GetConciseTypeOctetLength(c.Concise, c.Length), c.Octets);
  }
}

struct TypeFields {
  TORVDataTypeCode DataType = dtUnknown;
  TORVSubTypeCode SubType = 0;
  int32_t Length = 0;
  int32_t Size = 0;
  int32_t Scale = 0;
  int32_t Collation = 0;
  bool operator==(const TypeFields&) const = default;
};

TypeFields AfterAssignDataType(TypeFields F, TORVDataTypeCode NewDataType) {
  AssignDataType(1, NewDataType, F.DataType, F.SubType, F.Length, F.Size, F.Scale, F.Collation);
  return F;
}

TEST(TypeModel, AssignDataTypeResetsWhatTheNewTypeCannotCarry) {
  const TypeFields varchar{dtCharacter, stVarChar, 30, 32, 0, 1033};
  EXPECT_EQ(AfterAssignDataType(varchar, dtBoolean), (TypeFields{dtBoolean, 0, 0, 1, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, dtDate), (TypeFields{dtDate, 0, 0, 4, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, dtTimeStamp), (TypeFields{dtTimeStamp, 0, 0, 8, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, dtBytes), (TypeFields{dtBytes, stVarByte, 30, 32, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, dtLargeObject), (TypeFields{dtLargeObject, stBlob, 0, 0, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, dtYearMonthInterval), (TypeFields{dtYearMonthInterval, 0, 0, 4, 0, 0}));
  EXPECT_EQ(AfterAssignDataType(varchar, 99), (TypeFields{99, stVarChar, 30, 32, 0, 1033}));

  const TypeFields bytes{dtBytes, stByte, 16, 16, 0, 0};
  EXPECT_EQ(AfterAssignDataType(bytes, dtCharacter), (TypeFields{dtCharacter, stChar, 16, 16, 0, 0}));
  const TypeFields clob{dtLargeObject, stClob, 0, 0, 0, 1031};
  EXPECT_EQ(AfterAssignDataType(clob, dtLargeObject), clob);
  const TypeFields decimal{dtDecimal, 0, 0, 8, 2, 0};
  EXPECT_EQ(AfterAssignDataType(decimal, dtCharacter), (TypeFields{dtCharacter, stVarChar, 0, 8, 0, 0}));
  const TypeFields interval{dtDayTimeInterval, stDayToSecond, 0, 8, 0, 0};
  EXPECT_EQ(AfterAssignDataType(interval, dtDayTimeInterval), interval);
  EXPECT_EQ(AfterAssignDataType(interval, dtYearMonthInterval), (TypeFields{dtYearMonthInterval, 0, 0, 4, 0, 0}));
}

TEST(TypeModel, AssignSubTypeStoresOnlySubtypesValidForTheType) {
  struct Case {
    int32_t CharacterSet;
    TypeFields Before;
    TORVSubTypeCode NewSubType;
    TypeFields After;
  } cases[] = {
      {1, {dtCharacter, stVarChar, 30, 64, 0, 1033}, stGUID, {dtCharacter, stGUID, 38, 76, 0, 1033}},
      {0, {dtCharacter, stVarChar, 30, 32, 0, 1033}, stGUID, {dtCharacter, stGUID, 38, 38, 0, 1033}},
      {1, {dtCharacter, stVarChar, 30, 64, 0, 1033}, 77, {dtCharacter, stVarChar, 30, 64, 0, 1033}},
      {1, {dtCharacter, stVarChar, 30, 64, 0, 1033}, stChar, {dtCharacter, stChar, 30, 64, 0, 1033}},
      {1, {dtBytes, stVarByte, 30, 34, 0, 0}, stGUID, {dtBytes, stGUID, 16, 16, 0, 0}},
      {1, {dtBytes, stVarByte, 30, 34, 0, 0}, stClob, {dtBytes, stVarByte, 30, 34, 0, 0}},
      {1, {dtLargeObject, stClob, 0, 0, 0, 1031}, stBlob, {dtLargeObject, stBlob, 0, 0, 0, 0}},
      {1, {dtLargeObject, stBlob, 0, 0, 0, 0}, stClob, {dtLargeObject, stClob, 0, 0, 0, 0}},
      {1, {dtLargeObject, stClob, 0, 0, 0, 1031}, stChar, {dtLargeObject, stClob, 0, 0, 0, 1031}},
      {1, {dtDayTimeInterval, stDay, 0, 8, 0, 0}, stHourToSecond, {dtDayTimeInterval, stHourToSecond, 0, 8, 0, 0}},
      {1, {dtDayTimeInterval, stDay, 0, 8, 0, 0}, 40, {dtDayTimeInterval, stDay, 0, 8, 0, 0}},
      {1, {dtYearMonthInterval, stYear, 0, 4, 0, 0}, stDay, {dtYearMonthInterval, stYear, 0, 4, 0, 0}},
      {1, {dtDecimal, 0, 0, 8, 2, 0}, 6, {dtDecimal, 0, 0, 8, 2, 0}},
  };
  for (const Case& c : cases) {
    TypeFields f = c.Before;
    AssignSubType(c.CharacterSet, f.DataType, c.NewSubType, f.SubType, f.Length, f.Size, f.Scale, f.Collation);
    EXPECT_EQ(f, c.After) << c.Before.DataType << " " << c.NewSubType;
  }
}

TEST(TypeModel, AssignLengthAddsTheLengthPrefixOfVariableLengthData) {
  struct Case {
    int32_t CharacterSet;
    TORVDataTypeCode DataType;
    TORVSubTypeCode SubType;
    bool TwoBytePrefix;
    int32_t Length;
    int32_t Size;
  } cases[] = {
      {0, dtCharacter, stVarChar, true, 20, 22},   // a column in a row buffer
      {0, dtCharacter, stVarChar, false, 20, 24},  // a value
      {1, dtCharacter, stVarChar, true, 20, 42},
      {0, dtCharacter, stChar, true, 20, 20},
      {1, dtCharacter, stChar, false, 20, 40},
      {1, dtBytes, stVarByte, true, 20, 22},
      {1, dtBytes, stByte, false, 20, 20},
      {1, dtLargeObject, stClob, true, 20, 40},
      {1, dtLargeObject, stBlob, true, 20, 20},
      {1, dtCharacter, stVarChar, false, 2000000000, 2147483647},
  };
  for (const Case& c : cases) {
    int32_t length = 0;
    int32_t size = -1;
    AssignLength(c.CharacterSet, c.DataType, c.SubType, c.Length, length, size, c.TwoBytePrefix);
    EXPECT_EQ(length, c.Length);
    EXPECT_EQ(size, c.Size) << c.DataType << "/" << c.SubType << " " << c.TwoBytePrefix;
  }
  int32_t length = 5;
  int32_t size = 4;
  AssignLength(1, dtInteger, 0, 20, length, size, true);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(size, 4);
}

TEST(TypeModel, StorageSizeByType) {
  struct Case {
    int32_t CharacterSet;
    TORVDataTypeCode DataType;
    int32_t Length;
    int32_t Size;
  } cases[] = {
      {0, dtCharacter, 10, 10}, {1, dtCharacter, 10, 20}, {2, dtCharacter, 10, 0}, {1, dtBytes, 10, 10},
      {1, dtLargeObject, 10, 10}, {1, dtBoolean, 10, 1},  {1, dtSmallInt, 0, 2},   {1, dtInteger, 0, 4},
      {1, dtBigInt, 0, 8},      {1, dtFloat, 0, 8},       {1, dtDecimal, 0, 8},    {1, dtDate, 0, 4},
      {1, dtTime, 0, 4},        {1, dtTimeStamp, 0, 8},   {1, dtYearMonthInterval, 0, 4},
      {1, dtDayTimeInterval, 0, 8}, {1, dtUnknown, 10, 0}, {1, 15, 10, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetSizeForDataType(c.CharacterSet, c.DataType, c.Length), c.Size) << c.DataType;
  }
}

TEST(TypeModel, CollationAndScaleFollowTheType) {
  int32_t collation = 5;
  AssignCollation(dtCharacter, stChar, 1033, collation);
  EXPECT_EQ(collation, 1033);
  AssignCollation(dtLargeObject, stClob, 1031, collation);
  EXPECT_EQ(collation, 1031);
  AssignCollation(dtLargeObject, stBlob, 1031, collation);
  EXPECT_EQ(collation, 0);
  collation = 5;
  AssignCollation(dtInteger, 0, 1031, collation);
  EXPECT_EQ(collation, 0);

  int32_t scale = 2;
  AssignScale(dtDecimal, 0, 5, scale);
  EXPECT_EQ(scale, 2);
  AssignScale(dtDecimal, 0, -1, scale);
  EXPECT_EQ(scale, 2);
  AssignScale(dtDecimal, 0, 4, scale);
  EXPECT_EQ(scale, 4);
  AssignScale(dtFloat, 0, 2, scale);
  EXPECT_EQ(scale, 0);
}

}  // namespace
}  // namespace orv
