#include "catalog/orvdatatype.h"

#include <memory>

#include "core/orvenv.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

struct TDataTypeEntry {
  const char16_t* Name;
  TORVDataTypeCode DataType;
  TORVSubTypeCode SubType;
  const char16_t* Description;
};

// The order is what the DataTypes table lists.
constexpr TDataTypeEntry DataTypeEntries[] = {
    {u"Char", dtCharacter, stChar, u"Fixed-length character type"},
    {u"VarChar", dtCharacter, stVarChar, u"Variable-length character type"},
    {u"GUID", dtCharacter, stGUID, u"GUID type"},
    {u"Byte", dtBytes, stByte, u"Fixed-length binary type"},
    {u"VarByte", dtBytes, stVarByte, u"Variable-length binary type"},
    {u"BLOB", dtLargeObject, stBlob, u"Large variable-length binary object type"},
    {u"CLOB", dtLargeObject, stClob, u"Large variable-length character object type"},
    {u"Boolean", dtBoolean, stNone, u"Boolean type"},
    {u"SmallInt", dtSmallInt, stNone, u"Signed 16-bit integer type"},
    {u"Integer", dtInteger, stNone, u"Signed 32-bit integer type"},
    {u"BigInt", dtBigInt, stNone, u"Signed 64-bit integer type"},
    {u"Float", dtFloat, stNone, u"Double-precision floating point type"},
    {u"Decimal", dtDecimal, stNone, u"Fixed-point numeric type with a maximum scale of 4"},
    {u"Date", dtDate, stNone, u"Date type"},
    {u"Time", dtTime, stNone, u"Time type"},
    {u"Timestamp", dtTimeStamp, stNone, u"Date and time type"},
    {u"Interval Year", dtYearMonthInterval, stYear, u"Interval between two dates in years"},
    {u"Interval Year To Month", dtYearMonthInterval, stYearToMonth, u"Interval between two dates in years and months"},
    {u"Interval Month", dtYearMonthInterval, stMonth, u"Interval between two dates in months"},
    {u"Interval Day", dtDayTimeInterval, stDay, u"Interval between two dates in days"},
    {u"Interval Day To Hour", dtDayTimeInterval, stDayToHour, u"Interval between two dates in days and hours"},
    {u"Interval Day To Minute", dtDayTimeInterval, stDayToMinute,
     u"Interval between two dates in days, hours, and minutes"},
    {u"Interval Day To Second", dtDayTimeInterval, stDayToSecond,
     u"Interval between two dates in days, hours, minutes, and seconds"},
    {u"Interval Day To MSecond", dtDayTimeInterval, stDayToMSecond,
     u"Interval between two dates in days, hours, minutes, seconds, and milliseconds"},
    {u"Interval Hour", dtDayTimeInterval, stHour, u"Interval between two dates and/or times in hours"},
    {u"Interval Hour To Minute", dtDayTimeInterval, stHourToMinute,
     u"Interval between two dates and/or times in hours and minutes"},
    {u"Interval Hour To Second", dtDayTimeInterval, stHourToSecond,
     u"Interval between two dates and/or times in hours, minutes, and seconds"},
    {u"Interval Hour To MSecond", dtDayTimeInterval, stHourToMSecond,
     u"Interval between two dates and/or times in hours, minutes, seconds, and milliseconds"},
    {u"Interval Minute", dtDayTimeInterval, stMinute, u"Interval between two dates and/or times in minutes"},
    {u"Interval Minute To Second", dtDayTimeInterval, stMinuteToSecond,
     u"Interval between two dates and/or times in minutes and seconds"},
    {u"Interval Minute To MSecond", dtDayTimeInterval, stMinuteToMSecond,
     u"Interval between two dates and/or times in minutes, seconds, and milliseconds"},
    {u"Interval Second", dtDayTimeInterval, stSecond, u"Interval between two dates and/or times in seconds"},
    {u"Interval Second To MSecond", dtDayTimeInterval, stSecondToMSecond,
     u"Interval between two dates and/or times in seconds and milliseconds"},
    {u"Interval MSecond", dtDayTimeInterval, stMSecond, u"Interval between two dates and/or times in milliseconds"},
};

void AddCollation(TORVCollations& Collations, int32_t ID, const TORVString& Name, const TORVString& Description) {
  std::unique_ptr<TORVConfigObject> Collation(Collations.GetNewObject());
  Collation->SetID(ID);
  Collation->SetName(Name);
  Collation->SetDescription(Description);
  Collations.Add(Collation.get());
  Collation.release();
}

}  // namespace

TORVString TORVDataType::GetTypeName() const { return u"data type"; }

int32_t TORVDataType::GetBinarySize() { return GetSizeForDataType(GetConfigCharacterSet(), FDataType, 0); }

TORVString TORVDataTypes::GetTypeName() const { return u"data type"; }

TORVString TORVCollation::GetTypeName() const { return u"collation"; }

TORVString TORVCollations::GetTypeName() const { return u"collation"; }

void LoadConfigDataTypes(TORVDataTypes& DataTypes) {
  for (const TDataTypeEntry& Entry : DataTypeEntries) {
    std::unique_ptr<TORVDataType> DataType(static_cast<TORVDataType*>(DataTypes.GetNewObject()));
    DataType->SetName(Entry.Name);
    DataType->SetDescription(Entry.Description);
    DataType->SetDataType(Entry.DataType);
    DataType->SetSubType(Entry.SubType);
    DataTypes.Add(DataType.get());
    DataType.release();
  }
}

void LoadConfigCollations(TORVCollations& Collations, int32_t CharacterSet, const TORVEnvironment& Environment) {
  if (CharacterSet == CharacterSetUnicode)
    AddCollation(Collations, 0, u"UNI", u"Unicode (Binary)");
  else
    AddCollation(Collations, 0, u"ANSI", u"ANSI (Binary)");
  for (int32_t Index = 0; Index < Environment.GetNumLocales(); ++Index) {
    const TORVLocale& Locale = Environment.GetLocales(Index);
    if (Collations.FindByName(Locale.GetShortName(), false) != nullptr) continue;
    AddCollation(Collations, Locale.GetID(), Locale.GetShortName(), Locale.GetName());
  }
}

// ----------------------------------------------------- information tables

const TORVConfigObjectsClass& DataTypesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableColumn(u"BinarySize", dtInteger)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVDataTypes(Config); },
                                            u"DataTypes", &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCTypesClass() {
  static const TORVTableDescription Description{
      {TableText(u"TYPE_NAME", 80, true), TableColumn(u"DATA_TYPE", dtSmallInt),
       TableColumn(u"COLUMN_SIZE", dtInteger), TableText(u"LITERAL_PREFIX", 30, false),
       TableText(u"LITERAL_SUFFIX", 30, false), TableText(u"CREATE_PARAMS", 30, false),
       TableColumn(u"NULLABLE", dtSmallInt), TableColumn(u"CASE_SENSITIVE", dtSmallInt),
       TableColumn(u"SEARCHABLE", dtSmallInt), TableColumn(u"UNSIGNED_ATTRIBUTE", dtSmallInt),
       TableColumn(u"FIXED_PREC_SCALE", dtSmallInt), TableColumn(u"AUTO_UNIQUE_VALUE", dtSmallInt),
       TableText(u"LOCAL_TYPE_NAME", 80, true), TableColumn(u"MINIMUM_SCALE", dtSmallInt),
       TableColumn(u"MAXIMUM_SCALE", dtSmallInt), TableColumn(u"SQL_DATA_TYPE", dtSmallInt),
       TableColumn(u"SQL_DATETIME_SUB", dtSmallInt), TableColumn(u"NUM_PREC_RADIX", dtSmallInt),
       TableColumn(u"INTERVAL_PRECISION", dtSmallInt), TableClob(u"REMARKS", false)},
      {{u"ODBC", {2}}, {u"TYPE_NAME", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCTypes(Config); },
                                            u"SQLTypes", &Description};
  return Class;
}

const TORVConfigObjectsClass& CollationsClass() {
  static const TORVTableDescription Description{{TableText(u"Name", 80, true), TableClob(u"Description", false)},
                                                {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVCollations(Config); },
                                            u"Collations", &Description};
  return Class;
}

}  // namespace orv
