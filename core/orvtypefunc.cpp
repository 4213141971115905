#include "core/orvtypefunc.h"

#include <limits>

#include "base/orverrors.h"
#include "core/orvcharset.h"
#include "core/orvcollation.h"
#include "core/orvliteral.h"

namespace orv {

namespace {

// One row per interval subtype: its qualifier in display case and in SQL
// case, and its ODBC description.
struct TORVIntervalInfo {
  TORVDataTypeCode DataType;
  TORVSubTypeCode SubType;
  const char16_t* Name;
  const char16_t* SQLName;
  int16_t ConciseType;
  int16_t SubTypeCode;
  int32_t ColumnSize;
  int32_t DecimalDigits;
};

constexpr TORVIntervalInfo IntervalInfos[] = {
    {dtYearMonthInterval, stYear, u"Year", u"YEAR", 101, 1, 10, 0},
    {dtYearMonthInterval, stMonth, u"Month", u"MONTH", 102, 2, 10, 0},
    {dtYearMonthInterval, stYearToMonth, u"Year To Month", u"YEAR TO MONTH", 107, 7, 14, 0},
    {dtDayTimeInterval, stDay, u"Day", u"DAY", 103, 3, 20, 0},
    {dtDayTimeInterval, stDayToHour, u"Day To Hour", u"DAY TO HOUR", 108, 8, 22, 0},
    {dtDayTimeInterval, stDayToMinute, u"Day To Minute", u"DAY TO MINUTE", 109, 9, 24, 0},
    {dtDayTimeInterval, stDayToSecond, u"Day To Second", u"DAY TO SECOND", 110, 10, 26, 3},
    {dtDayTimeInterval, stDayToMSecond, u"Day To MSecond", u"DAY TO MSECOND", 110, 10, 26, 3},
    {dtDayTimeInterval, stHour, u"Hour", u"HOUR", 104, 4, 20, 0},
    {dtDayTimeInterval, stHourToMinute, u"Hour To Minute", u"HOUR TO MINUTE", 111, 11, 22, 0},
    {dtDayTimeInterval, stHourToSecond, u"Hour To Second", u"HOUR TO SECOND", 112, 12, 24, 3},
    {dtDayTimeInterval, stHourToMSecond, u"Hour To MSecond", u"HOUR TO MSECOND", 112, 12, 24, 3},
    {dtDayTimeInterval, stMinute, u"Minute", u"MINUTE", 105, 5, 20, 0},
    {dtDayTimeInterval, stMinuteToSecond, u"Minute To Second", u"MINUTE TO SECOND", 113, 13, 22, 3},
    {dtDayTimeInterval, stMinuteToMSecond, u"Minute To MSecond", u"MINUTE TO MSECOND", 113, 13, 22, 3},
    {dtDayTimeInterval, stSecond, u"Second", u"SECOND", 106, 6, 20, 0},
    {dtDayTimeInterval, stSecondToMSecond, u"Second To MSecond", u"SECOND TO MSECOND", 106, 6, 20, 0},
    {dtDayTimeInterval, stMSecond, u"MSecond", u"MSECOND", 106, 6, 20, 0},
};

const TORVIntervalInfo* FindInterval(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  for (const TORVIntervalInfo& Info : IntervalInfos) {
    if (Info.DataType == DataType && Info.SubType == SubType) return &Info;
  }
  return nullptr;
}

const TORVIntervalInfo* FindIntervalByConciseType(int16_t ConciseType) {
  for (const TORVIntervalInfo& Info : IntervalInfos) {
    if (Info.ConciseType == ConciseType) return &Info;
  }
  return nullptr;
}

int32_t LengthOr(int32_t Length, int32_t Default) { return Length == 0 ? Default : Length; }

int32_t SaturateSize(int64_t Size) {
  return Size > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                    : static_cast<int32_t>(Size);
}

TORVString WithLength(const char16_t* Name, int32_t Length) {
  if (Length == 0) return Name;
  return TORVString(Name) + u"(" + IntToString(Length) + u")";
}

}  // namespace

bool IsValidYearMonthSubType(TORVSubTypeCode SubType) {
  return FindInterval(dtYearMonthInterval, SubType) != nullptr;
}

bool IsValidDayTimeSubType(TORVSubTypeCode SubType) {
  return FindInterval(dtDayTimeInterval, SubType) != nullptr;
}

void AssignDataType(int32_t CharacterSet, TORVDataTypeCode NewDataType, TORVDataTypeCode& DataType,
                    TORVSubTypeCode& SubType, int32_t& Length, int32_t& Size, int32_t& Scale,
                    int32_t& Collation) {
  DataType = NewDataType;
  switch (NewDataType) {
    case dtCharacter:
      if (SubType != stChar && SubType != stGUID) SubType = stVarChar;
      Scale = 0;
      return;
    case dtBytes:
      if (SubType != stByte && SubType != stGUID) SubType = stVarByte;
      Scale = 0;
      Collation = 0;
      return;
    case dtLargeObject:
      if (SubType != stClob) {
        SubType = stBlob;
        Collation = 0;
      }
      Length = 0;
      Size = 0;
      Scale = 0;
      return;
    default:
      // An unknown type is stored and nothing more.
      if (NewDataType < dtBoolean || NewDataType > dtDayTimeInterval) return;
      // Fixed-size types: only an interval keeps a subtype, its own.
      if (FindInterval(NewDataType, SubType) == nullptr) SubType = stNone;
      Length = 0;
      Size = GetSizeForDataType(CharacterSet, NewDataType, 0);
      Scale = 0;
      Collation = 0;
      return;
  }
}

void AssignSubType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode NewSubType,
                   TORVSubTypeCode& SubType, int32_t& Length, int32_t& Size, int32_t& /*Scale*/,
                   int32_t& Collation) {
  switch (DataType) {
    case dtCharacter:
    case dtBytes:
      if (NewSubType != stVarChar && NewSubType != stChar && NewSubType != stGUID) return;
      SubType = NewSubType;
      if (NewSubType == stGUID) {
        // The registry text of a GUID in braces, or its 16 bytes.
        Length = DataType == dtCharacter ? 38 : 16;
        Size = DataType == dtCharacter ? Length * CharSize(CharacterSet) : Length;
      }
      return;
    case dtLargeObject:
      if (NewSubType == stClob) {
        SubType = stClob;
      } else if (NewSubType == stBlob) {
        SubType = stBlob;
        Collation = 0;
      }
      return;
    case dtYearMonthInterval:
    case dtDayTimeInterval:
      if (FindInterval(DataType, NewSubType) != nullptr) SubType = NewSubType;
      return;
    default:
      SubType = stNone;
      return;
  }
}

void AssignLength(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t NewLength,
                  int32_t& Length, int32_t& Size, bool TwoByteLengthPrefix) {
  int64_t Computed = 0;
  switch (DataType) {
    case dtCharacter:
    case dtBytes:
      Computed = static_cast<int64_t>(NewLength) * (DataType == dtCharacter ? CharSize(CharacterSet) : 1);
      if (SubType == stVarChar) Computed += TwoByteLengthPrefix ? 2 : 4;
      break;
    case dtLargeObject:
      Computed = static_cast<int64_t>(NewLength) * (SubType == stClob ? CharSize(CharacterSet) : 1);
      break;
    default:
      Length = 0;
      return;
  }
  Length = NewLength;
  Size = SaturateSize(Computed);
}

void AssignCollation(TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t NewCollation,
                     int32_t& Collation) {
  const bool Collated = DataType == dtCharacter || (DataType == dtLargeObject && SubType == stClob);
  Collation = Collated ? NewCollation : 0;
}

void AssignScale(TORVDataTypeCode DataType, TORVSubTypeCode /*SubType*/, int32_t NewScale, int32_t& Scale) {
  if (DataType != dtDecimal) {
    Scale = 0;
  } else if (NewScale >= 0 && NewScale <= 4) {
    Scale = NewScale;
  }
}

int32_t GetSizeForDataType(int32_t CharacterSet, TORVDataTypeCode DataType, int32_t Length) {
  switch (DataType) {
    case dtCharacter: return SaturateSize(static_cast<int64_t>(Length) * CharSize(CharacterSet));
    case dtBytes:
    case dtLargeObject: return Length;
    case dtBoolean: return 1;
    case dtSmallInt: return 2;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval: return 4;
    case dtBigInt:
    case dtFloat:
    case dtDecimal:
    case dtTimeStamp:
    case dtDayTimeInterval: return 8;
    default: return 0;
  }
}

void RaiseValueRangeError(const TORVString& ValueText, TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  RaiseError(ORV_VALUE_ERROR,
             {u"value", ValueText, FormatString(ORV_VALUE_RANGE_DETAIL, {ValueText, DataTypeToString(DataType, SubType)})});
}

TORVString DataTypeToString(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtCharacter:
      if (SubType == stVarChar) return u"VarChar";
      if (SubType == stChar) return u"Char";
      if (SubType == stGUID) return u"GUID";
      return u"Unknown";
    case dtBytes:
      if (SubType == stVarByte) return u"VarByte";
      if (SubType == stByte) return u"Byte";
      if (SubType == stGUID) return u"GUID";
      return u"Unknown";
    case dtLargeObject:
      if (SubType == stBlob) return u"BLOB";
      if (SubType == stClob) return u"CLOB";
      return u"Unknown";
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
      return Info == nullptr ? TORVString(u"Unknown") : TORVString(u"Interval ") + Info->Name;
    }
    default:
      break;
  }
  if (SubType != stNone) return u"Unknown";
  switch (DataType) {
    case dtBoolean: return u"Boolean";
    case dtSmallInt: return u"SmallInt";
    case dtInteger: return u"Integer";
    case dtBigInt: return u"BigInt";
    case dtFloat: return u"Float";
    case dtDecimal: return u"Decimal";
    case dtDate: return u"Date";
    case dtTime: return u"Time";
    case dtTimeStamp: return u"Timestamp";
    default: return u"Unknown";
  }
}

TORVString DataTypeToSQLString(TORVDataTypeCode DataType, TORVSubTypeCode SubType, int32_t Length,
                               int32_t Scale) {
  switch (DataType) {
    case dtCharacter:
      if (SubType == stGUID) return u"GUID";
      return WithLength(SubType == stChar ? u"CHAR" : u"VARCHAR", Length);
    case dtBytes:
      if (SubType == stGUID) return u"GUID";
      return WithLength(SubType == stByte ? u"BYTE" : u"VARBYTE", Length);
    case dtLargeObject: return SubType == stClob ? u"CLOB" : u"BLOB";
    case dtBoolean: return u"BOOLEAN";
    case dtSmallInt: return u"SMALLINT";
    case dtInteger: return u"INTEGER";
    case dtBigInt: return u"BIGINT";
    case dtFloat: return u"FLOAT";
    case dtDecimal:
      if (Scale == 0) return u"DECIMAL";
      return u"DECIMAL(19," + IntToString(Scale) + u")";
    case dtDate: return u"DATE";
    case dtTime: return u"TIME";
    case dtTimeStamp: return u"TIMESTAMP";
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
      return Info == nullptr ? TORVString() : TORVString(u"INTERVAL ") + Info->SQLName;
    }
    default: return {};
  }
}

TORVString IntervalTypeToSQLString(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
  return Info == nullptr ? TORVString() : TORVString(Info->SQLName);
}

int16_t DataTypeToSubTypeCode(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtDate: return 1;
    case dtTime: return 2;
    case dtTimeStamp: return 3;
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
      return Info == nullptr ? 0 : Info->SubTypeCode;
    }
    default: return 0;
  }
}

int16_t DataTypeToConciseType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType,
                              int32_t ODBCVersion) {
  switch (DataType) {
    case dtCharacter:
      if (CharacterSet == CharacterSetAnsi) return SubType == stChar ? 1 : 12;
      if (CharacterSet == CharacterSetUnicode) return SubType == stChar ? -8 : -9;
      return 0;
    case dtBytes: return SubType == stByte ? -2 : -3;
    case dtLargeObject:
      if (SubType == stBlob) return -4;
      if (SubType != stClob) return 0;
      if (CharacterSet == CharacterSetAnsi) return -1;
      if (CharacterSet == CharacterSetUnicode) return -10;
      return 0;
    case dtBoolean: return -7;
    case dtSmallInt: return 5;
    case dtInteger: return 4;
    case dtBigInt: return -5;
    case dtFloat: return 8;
    case dtDecimal: return 3;
    case dtDate: return ODBCVersion == 2 ? 9 : 91;
    case dtTime: return ODBCVersion == 2 ? 10 : 92;
    case dtTimeStamp: return ODBCVersion == 2 ? 11 : 93;
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
      return Info == nullptr ? 0 : Info->ConciseType;
    }
    default: return 0;
  }
}

int16_t DataTypeToSQLType(int32_t CharacterSet, TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtDate:
    case dtTime:
    case dtTimeStamp: return 9;
    case dtYearMonthInterval:
    case dtDayTimeInterval: return 10;
    default: return DataTypeToConciseType(CharacterSet, DataType, SubType, 3);
  }
}

int32_t GetConciseTypeColumnSize(int16_t ConciseType, int32_t Length) {
  switch (ConciseType) {
    case 1: case 12: case -8: case -9: case -2: case -3: return LengthOr(Length, 1024);
    case -1: case -4: case -10: return 2147483647;
    case -7: return 1;
    case -6: case -26: case -28: return 3;
    case 5: case -15: case -17: return 5;
    case 4: case -16: case -18: return 10;
    case -5: case -25: case -27: return 20;
    case 7: return 8;
    case 6: case 8: return 16;
    case 2: case 3: return 20;
    case 9: case 91: return 10;
    case 10: case 92: return 12;
    case 11: case 93: return 23;
    default: {
      const TORVIntervalInfo* Info = FindIntervalByConciseType(ConciseType);
      return Info == nullptr ? 0 : Info->ColumnSize;
    }
  }
}

int32_t GetConciseTypeDecimalDigits(int16_t ConciseType, int32_t Scale) {
  switch (ConciseType) {
    case 2: case 3: return Scale;
    case 10: case 92: case 11: case 93: return 3;
    default: {
      const TORVIntervalInfo* Info = FindIntervalByConciseType(ConciseType);
      return Info == nullptr ? 0 : Info->DecimalDigits;
    }
  }
}

int32_t GetConciseTypeOctetLength(int16_t ConciseType, int32_t Length) {
  switch (ConciseType) {
    case 1: case 12: case -2: case -3: return LengthOr(Length, 1024);
    case -8: case -9: return Length == 0 ? 2048 : SaturateSize(static_cast<int64_t>(Length) * 2);
    case -1: case -4: return 2147483647;
    case -10: return 1073741823;
    case -7: return 1;
    case -6: case -26: case -28: return 1;
    case 5: case -15: case -17: return 2;
    case 4: case -16: case -18: return 4;
    case -5: case -25: case -27: return 20;
    case 7: return 4;
    case 6: case 8: return 8;
    case 2: case 3: return 21;
    case 9: case 91: return 6;
    case 10: case 92: return 6;
    case 11: case 93: return 16;
    default: return FindIntervalByConciseType(ConciseType) == nullptr ? 0 : 34;
  }
}

TORVString DataTypeLiteralPrefix(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtCharacter: return u"'";
    case dtBytes: return u"X'";
    case dtLargeObject:
      if (SubType == stBlob) return u"X'";
      if (SubType == stClob) return u"'";
      return {};
    case dtDate: return u"DATE '";
    case dtTime: return u"TIME '";
    case dtTimeStamp: return u"TIMESTAMP '";
    case dtYearMonthInterval:
    case dtDayTimeInterval: return u"INTERVAL '";
    default: return {};
  }
}

TORVString DataTypeLiteralSuffix(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtCharacter:
    case dtBytes:
    case dtDate:
    case dtTime:
    case dtTimeStamp: return u"'";
    case dtLargeObject: return SubType == stBlob || SubType == stClob ? TORVString(u"'") : TORVString();
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const TORVIntervalInfo* Info = FindInterval(DataType, SubType);
      return Info == nullptr ? TORVString() : TORVString(u"' ") + Info->SQLName;
    }
    default: return {};
  }
}

TORVString DataTypeCreateParams(TORVDataTypeCode DataType, TORVSubTypeCode SubType) {
  switch (DataType) {
    case dtCharacter:
    case dtBytes: return SubType == stGUID ? TORVString() : TORVString(u"length");
    case dtFloat: return u"precision";
    case dtDecimal: return u"precision;scale";
    default: return {};
  }
}

int16_t DataTypeRadix(TORVDataTypeCode DataType, TORVSubTypeCode /*SubType*/) {
  switch (DataType) {
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
    case dtDecimal: return 10;
    case dtFloat: return 2;
    default: return 0;
  }
}

int16_t DataTypeIntervalPrecision(TORVDataTypeCode DataType, TORVSubTypeCode /*SubType*/) {
  if (DataType == dtYearMonthInterval) return 10;
  if (DataType == dtDayTimeInterval) return 20;
  return 0;
}

}  // namespace orv
