#include "core/orvvalue.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/orvcontainedvalue.h"
#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

struct TType {
  int32_t DataType;
  int32_t SubType = 0;
  int32_t Length = 0;
  int32_t Scale = 0;
};

constexpr TType tNone{dtUnknown};
constexpr TType tVarChar{dtCharacter};
constexpr TType tChar5{dtCharacter, stChar, 5};
constexpr TType tVarByte{dtBytes};
constexpr TType tByte1{dtBytes, stByte, 1};
constexpr TType tByte2{dtBytes, stByte, 2};
constexpr TType tByte4{dtBytes, stByte, 4};
constexpr TType tByte8{dtBytes, stByte, 8};
constexpr TType tBlob{dtLargeObject, stBlob};
constexpr TType tClob{dtLargeObject, stClob};
constexpr TType tBoolean{dtBoolean};
constexpr TType tSmallInt{dtSmallInt};
constexpr TType tInteger{dtInteger};
constexpr TType tBigInt{dtBigInt};
constexpr TType tFloat{dtFloat};
constexpr TType tDecimal2{dtDecimal, 0, 0, 2};
constexpr TType tDecimal4{dtDecimal, 0, 0, 4};
constexpr TType tDate{dtDate};
constexpr TType tTime{dtTime};
constexpr TType tTimeStamp{dtTimeStamp};
constexpr TType tYear{dtYearMonthInterval, stYear};
constexpr TType tMonth{dtYearMonthInterval, stMonth};
constexpr TType tYearToMonth{dtYearMonthInterval, stYearToMonth};
constexpr TType tHour{dtDayTimeInterval, stHour};
constexpr TType tDay{dtDayTimeInterval, stDay};
constexpr TType tDayToMSecond{dtDayTimeInterval, stDayToMSecond};

std::unique_ptr<TORVContainedValue> MakeValue(const TType& Type, int32_t CharacterSet = 1) {
  auto value = std::make_unique<TORVContainedValue>(CharacterSet);
  value->SetDataType(Type.DataType);
  value->SetSubType(Type.SubType);
  value->SetLength(Type.Length);
  value->SetScale(Type.Scale);
  return value;
}

TORVString Ascii(const std::string& Text) { return TORVString(Text.begin(), Text.end()); }

TORVString Text(int64_t Value) { return Ascii(std::to_string(Value)); }
TORVString Text(int32_t Value) { return Text(static_cast<int64_t>(Value)); }
TORVString Text(int16_t Value) { return Text(static_cast<int64_t>(Value)); }
TORVString Text(bool Value) { return Value ? u"T" : u"F"; }
TORVString Text(TORVCurrency Value) { return Text(Value.Scaled()); }
TORVString Text(double Value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), Value);
  return Ascii(std::string(buffer, result.ptr));
}
TORVString Text(const TORVString& Value) { return Value; }
TORVString Text(const TORVBytes& Value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string result;
  for (uint8_t b : Value) {
    result += digits[b >> 4];
    result += digits[b & 15];
  }
  return Ascii(result);
}

std::string Utf8(const TORVString& Value) { return std::string(Value.begin(), Value.end()); }

// The stream record of a value: its NULL flag and image, as hexadecimal.
TORVString Record(TORVValue& Value) {
  TORVMemoryStream stream(Value.GetCharacterSet());
  Value.Save(stream);
  return Text(TORVBytes(stream.GetMemory(), stream.GetMemory() + stream.GetSize()));
}

enum TOutcome { oValue, oConversion, oRange, oTruncation };

struct TMatrixCase {
  const char* Name;
  TType Type;
  std::function<void(TORVValue&)> Arrange;
  std::function<TORVString(TORVValue&)> Act;
  TOutcome Outcome;
  TORVString Expected;  // the result, or the error's detail text
};

#define GET(expr) [](TORVValue& v) { return Text(v.expr); }
#define SET(stmt)           \
  [](TORVValue& v) {        \
    v.stmt;                 \
    return v.GetAsString(); \
  }
#define ARRANGE(stmt) [](TORVValue& v) { v.stmt; }
const auto kNothing = [](TORVValue&) {};

const char16_t* DetailOf(TOutcome Outcome) {
  switch (Outcome) {
    case oConversion:
      return u"A conversion error occurred with the value";
    case oRange:
      return u"out of the range of permissible values";
    case oTruncation:
      return u"would result in truncation";
    default:
      return u"";
  }
}

// Every data type against the As properties: what a getter returns, what a
// setter stores, and which error a refused conversion raises. A refused
// setter must leave the value exactly as it was, NULL state included.
TEST(ValueConversion, MatrixOfTypesAndAsProperties) {
  const std::vector<TMatrixCase> cases = {
      // character
      {"text as Integer", tVarChar, ARRANGE(SetAsString(u"12")), GET(GetAsInteger()), oValue, u"12"},
      {"text beyond SmallInt", tVarChar, ARRANGE(SetAsString(u"32768")), GET(GetAsSmallInt()), oRange,
       u"The value is out of the range of permissible values for the VarChar type"},
      {"text not a number", tVarChar, ARRANGE(SetAsString(u"abc")), GET(GetAsInteger()), oConversion,
       u"A conversion error occurred with the value"},
      {"text as Boolean", tVarChar, ARRANGE(SetAsString(u"true")), GET(GetAsBoolean()), oValue, u"T"},
      {"text as Float", tVarChar, ARRANGE(SetAsString(u"1.5e-3")), GET(GetAsDouble()), oValue, u"0.0015"},
      {"text as Decimal", tVarChar, ARRANGE(SetAsString(u"12.345")), GET(GetAsCurrency()), oValue, u"123450"},
      {"text as Date", tVarChar, ARRANGE(SetAsString(u"0001-01-02")), GET(GetAsDate()), oValue, u"2"},
      {"text as bytes", tVarChar, ARRANGE(SetAsString(u"AB")), GET(GetAsBytes()), oValue, u"41004200"},
      {"text as day-time", tVarChar, ARRANGE(SetAsString(u"1 2:03:04.005")), GET(GetAsDayTimeInterval()), oValue,
       u"93784005"},
      {"Char pads", tChar5, ARRANGE(SetAsString(u"ab")), GET(GetAsString()), oValue, u"ab   "},
      {"CLOB as Integer", tClob, ARRANGE(SetAsString(u"-7")), GET(GetAsInteger()), oValue, u"-7"},
      // bytes
      {"bytes as text", tVarByte, ARRANGE(SetAsBytes({0x01, 0xAB})), GET(GetAsString()), oValue, u"01AB"},
      {"Byte(4) as Integer", tByte4, ARRANGE(SetAsBytes({1, 2, 0, 0})), GET(GetAsInteger()), oValue, u"513"},
      {"VarByte as Integer", tVarByte, ARRANGE(SetAsBytes({1, 2, 0, 0})), GET(GetAsInteger()), oConversion,
       u"A conversion error occurred with the value"},
      {"Byte(2) as Integer", tByte2, ARRANGE(SetAsBytes({1, 2})), GET(GetAsInteger()), oConversion, u""},
      {"Byte(8) as Float", tByte8, ARRANGE(SetAsDouble(2.5)), GET(GetAsDouble()), oValue, u"2.5"},
      {"Byte(1) as Boolean", tByte1, ARRANGE(SetAsBytes({2})), GET(GetAsBoolean()), oValue, u"T"},
      {"text into bytes", tVarByte, SET(SetAsString(u"01AB")), GET(GetAsBytes()), oValue, u"01AB"},
      {"odd hex into bytes", tVarByte, ARRANGE(SetAsString(u"1AB")), GET(GetAsBytes()), oConversion,
       u"A conversion error occurred with the value 1AB"},
      {"Integer into Byte(4)", tByte4, ARRANGE(SetAsInteger(0x01020304)), GET(GetAsBytes()), oValue, u"04030201"},
      {"Integer into VarByte", tVarByte, ARRANGE(SetAsInteger(5)), GET(GetAsBytes()), oConversion, u"5"},
      {"BLOB as text", tBlob, ARRANGE(SetAsBytes({0xFF})), GET(GetAsString()), oValue, u"FF"},
      {"BLOB as Integer", tBlob, ARRANGE(SetAsBytes({1, 0, 0, 0})), GET(GetAsInteger()), oConversion, u""},
      {"Boolean into BLOB", tBlob, ARRANGE(SetAsBoolean(true)), GET(GetAsBytes()), oConversion, u"TRUE"},
      // Boolean
      {"Boolean as text", tBoolean, ARRANGE(SetAsBoolean(true)), GET(GetAsString()), oValue, u"TRUE"},
      {"Boolean as Float", tBoolean, ARRANGE(SetAsBoolean(true)), GET(GetAsDouble()), oValue, u"1"},
      {"Boolean as Date", tBoolean, ARRANGE(SetAsBoolean(true)), GET(GetAsDate()), oConversion, u""},
      {"0.5 into Boolean", tBoolean, ARRANGE(SetAsDouble(0.5)), GET(GetAsBoolean()), oValue, u"T"},
      {"-0.5 into Boolean", tBoolean, ARRANGE(SetAsDouble(-0.5)), GET(GetAsBoolean()), oValue, u"T"},
      {"0 into Boolean", tBoolean, ARRANGE(SetAsDouble(0.0)), GET(GetAsBoolean()), oValue, u"F"},
      {"-3 into Boolean", tBoolean, ARRANGE(SetAsInteger(-3)), GET(GetAsBoolean()), oValue, u"T"},
      {"NaN into Boolean", tBoolean, ARRANGE(SetAsDouble(std::numeric_limits<double>::quiet_NaN())),
       GET(GetAsBoolean()), oValue, u"T"},
      {"bytes into Boolean", tBoolean, ARRANGE(SetAsBytes({0x10})), GET(GetAsBoolean()), oValue, u"T"},
      // SmallInt
      {"40000 into SmallInt", tSmallInt, SET(SetAsInteger(40000)), GET(GetAsSmallInt()), oRange,
       u"The value 40000 is out of the range of permissible values for the SmallInt type"},
      {"32767 into SmallInt", tSmallInt, ARRANGE(SetAsInteger(32767)), GET(GetAsSmallInt()), oValue, u"32767"},
      {"-32768 into SmallInt", tSmallInt, ARRANGE(SetAsInteger(-32768)), GET(GetAsSmallInt()), oValue, u"-32768"},
      {"text 32768 into SmallInt", tSmallInt, ARRANGE(SetAsString(u"32768")), GET(GetAsSmallInt()), oRange,
       u"The value 32768 is out of the range of permissible values for the SmallInt type"},
      {"text abc into SmallInt", tSmallInt, ARRANGE(SetAsString(u"abc")), GET(GetAsSmallInt()), oConversion,
       u"A conversion error occurred with the value abc"},
      {"SmallInt as Decimal", tSmallInt, ARRANGE(SetAsSmallInt(-5)), GET(GetAsCurrency()), oValue, u"-50000"},
      {"SmallInt as Boolean", tSmallInt, ARRANGE(SetAsSmallInt(-5)), GET(GetAsBoolean()), oValue, u"T"},
      // Integer
      {"-2.7 into Integer", tInteger, ARRANGE(SetAsDouble(-2.7)), GET(GetAsInteger()), oValue, u"-2"},
      {"Integer beyond SmallInt", tInteger, ARRANGE(SetAsInteger(40000)), GET(GetAsSmallInt()), oRange,
       u"The value is out of the range of permissible values for the Integer type"},
      {"huge text into Integer", tInteger, ARRANGE(SetAsString(u"99999999999999999999")), GET(GetAsInteger()),
       oConversion, u"99999999999999999999"},
      {"Decimal into Integer", tInteger, ARRANGE(SetAsCurrency(TORVCurrency::FromScaled(-29999))), GET(GetAsInteger()),
       oValue, u"-2"},
      {"bytes into Integer", tInteger, ARRANGE(SetAsBytes({5, 0, 0, 0, 9})), GET(GetAsInteger()), oValue, u"5"},
      {"short bytes into Integer", tInteger, ARRANGE(SetAsBytes({5, 0})), GET(GetAsInteger()), oConversion, u"0500"},
      {"Integer as months", tInteger, ARRANGE(SetAsInteger(14)), GET(GetAsYearMonthInterval()), oValue, u"14"},
      {"Integer as days", tInteger, ARRANGE(SetAsInteger(2)), GET(GetAsDayTimeInterval()), oValue, u"172800000"},
      {"Integer as Date", tInteger, ARRANGE(SetAsInteger(2)), GET(GetAsDate()), oConversion, u""},
      // BigInt
      {"BigInt beyond Integer", tBigInt, ARRANGE(SetAsLargeInt(int64_t{1} << 40)), GET(GetAsInteger()), oRange,
       u"BigInt"},
      {"BigInt as Float", tBigInt, ARRANGE(SetAsLargeInt(int64_t{1} << 40)), GET(GetAsDouble()), oValue,
       u"1099511627776"},
      {"huge Float into BigInt", tBigInt, ARRANGE(SetAsDouble(1e300)), GET(GetAsLargeInt()), oRange, u"1E300"},
      {"NaN into BigInt", tBigInt, ARRANGE(SetAsDouble(std::numeric_limits<double>::quiet_NaN())), GET(GetAsLargeInt()),
       oConversion, u"NAN"},
      // Float
      {"Float as Integer", tFloat, ARRANGE(SetAsDouble(-2.7)), GET(GetAsInteger()), oValue, u"-2"},
      {"Float as Decimal", tFloat, ARRANGE(SetAsDouble(1.23456)), GET(GetAsCurrency()), oValue, u"12346"},
      {"negative Float as Decimal", tFloat, ARRANGE(SetAsDouble(-1.23454)), GET(GetAsCurrency()), oValue, u"-12345"},
      {"NaN as Integer", tFloat, ARRANGE(SetAsDouble(std::numeric_limits<double>::quiet_NaN())), GET(GetAsInteger()),
       oConversion, u""},
      {"huge Float as BigInt", tFloat, ARRANGE(SetAsDouble(1e300)), GET(GetAsLargeInt()), oRange, u"Float"},
      {"Float as text", tFloat, ARRANGE(SetAsDouble(1.5)), GET(GetAsString()), oValue, u"1.5"},
      // Decimal
      {"Decimal as Integer", tDecimal4, ARRANGE(SetAsString(u"12.3456")), GET(GetAsInteger()), oValue, u"12"},
      {"Decimal as Float", tDecimal4, ARRANGE(SetAsString(u"12.3456")), GET(GetAsDouble()), oValue, u"12.3456"},
      {"Decimal as text", tDecimal4, ARRANGE(SetAsString(u"12.3456")), GET(GetAsString()), oValue, u"12.3456"},
      {"Decimal rounds to scale", tDecimal2, ARRANGE(SetAsCurrency(TORVCurrency::FromScaled(12346))),
       GET(GetAsString()), oValue, u"1.23"},
      {"Float rounds to scale", tDecimal2, ARRANGE(SetAsDouble(-1.2351)), GET(GetAsString()), oValue, u"-1.24"},
      {"text rounds to scale", tDecimal2, ARRANGE(SetAsString(u"2.345")), GET(GetAsString()), oValue, u"2.35"},
      {"BigInt beyond Decimal", tDecimal4, ARRANGE(SetAsLargeInt(std::numeric_limits<int64_t>::max())),
       GET(GetAsString()), oRange, u"Decimal"},
      // Date and time
      {"Date as Integer", tDate, ARRANGE(SetAsString(u"0001-01-05")), GET(GetAsInteger()), oValue, u"5"},
      {"Date as SmallInt", tDate, ARRANGE(SetAsInteger(5)), GET(GetAsSmallInt()), oConversion, u""},
      {"Date as Timestamp", tDate, ARRANGE(SetAsInteger(2)), GET(GetAsTimeStamp()), oValue, u"172800000"},
      {"-1 into Date", tDate, ARRANGE(SetAsInteger(-1)), GET(GetAsInteger()), oConversion,
       u"A conversion error occurred with the value -1"},
      {"0 into Date", tDate, ARRANGE(SetAsInteger(0)), GET(GetAsInteger()), oValue, u"0"},
      {"BigInt into Date", tDate, ARRANGE(SetAsLargeInt(5)), GET(GetAsInteger()), oConversion, u"5"},
      {"Time as Integer", tTime, ARRANGE(SetAsString(u"01:00")), GET(GetAsInteger()), oValue, u"3600000"},
      {"Time as text", tTime, ARRANGE(SetAsInteger(3600000)), GET(GetAsString()), oValue, u"01:00"},
      {"-1 into Time", tTime, ARRANGE(SetAsInteger(-1)), GET(GetAsInteger()), oConversion, u"-1"},
      {"Time as SmallInt", tTime, ARRANGE(SetAsInteger(5)), GET(GetAsSmallInt()), oConversion, u""},
      {"Timestamp as BigInt", tTimeStamp, ARRANGE(SetAsLargeInt(86400001)), GET(GetAsLargeInt()), oValue, u"86400001"},
      {"Timestamp as Integer", tTimeStamp, ARRANGE(SetAsLargeInt(86400001)), GET(GetAsInteger()), oConversion, u""},
      {"Timestamp as Date", tTimeStamp, ARRANGE(SetAsLargeInt(86400001)), GET(GetAsDate()), oValue, u"1"},
      {"Timestamp as Time", tTimeStamp, ARRANGE(SetAsLargeInt(86400001)), GET(GetAsTime()), oValue, u"1"},
      {"-1 into Timestamp", tTimeStamp, ARRANGE(SetAsLargeInt(-1)), GET(GetAsLargeInt()), oConversion, u"-1"},
      {"date-time into Date", tDate, ARRANGE(SetAsDateTime(2.5)), GET(GetAsString()), oValue, u"1900-01-01"},
      {"Timestamp as date-time", tTimeStamp, ARRANGE(SetAsString(u"1900-01-01 12:00")), GET(GetAsDateTime()), oValue,
       u"2.5"},
      {"NaN date-time", tTimeStamp, ARRANGE(SetAsDateTime(std::numeric_limits<double>::quiet_NaN())),
       GET(GetAsDateTime()), oConversion, u"NAN"},
      {"Date into Timestamp", tTimeStamp, ARRANGE(SetAsDate(3)), GET(GetAsLargeInt()), oValue, u"259200000"},
      // Intervals
      {"Year interval as SmallInt", tYear, ARRANGE(SetAsYearMonthInterval(30)), GET(GetAsSmallInt()), oValue, u"2"},
      {"Year To Month as SmallInt", tYearToMonth, ARRANGE(SetAsYearMonthInterval(30)), GET(GetAsSmallInt()),
       oConversion, u""},
      {"Integer into Year", tYear, ARRANGE(SetAsInteger(2)), GET(GetAsYearMonthInterval()), oValue, u"24"},
      {"Integer into Year To Month", tYearToMonth, ARRANGE(SetAsInteger(2)), GET(GetAsYearMonthInterval()), oConversion,
       u"A conversion error occurred with the value"},
      {"BigInt beyond months", tMonth, ARRANGE(SetAsLargeInt(int64_t{1} << 40)), GET(GetAsYearMonthInterval()), oRange,
       u"1099511627776"},
      {"Integer into Hour", tHour, ARRANGE(SetAsInteger(3)), GET(GetAsDayTimeInterval()), oValue, u"10800000"},
      {"Hour as Integer", tHour, ARRANGE(SetAsDayTimeInterval(10800000)), GET(GetAsInteger()), oValue, u"3"},
      {"BigInt beyond 32-bit days", tDay, ARRANGE(SetAsLargeInt(int64_t{1} << 32)), GET(GetAsDayTimeInterval()), oRange,
       u"4294967296"},
      {"Day To MSecond as text", tDayToMSecond, ARRANGE(SetAsDayTimeInterval(93784005)), GET(GetAsString()), oValue,
       u"1 2:03:04.005"},
      {"Date into interval", tHour, ARRANGE(SetAsDate(1)), GET(GetAsDayTimeInterval()), oConversion, u""},
      // no type
      {"type 0 as text", tNone, kNothing, GET(GetAsString()), oConversion, u""},
      {"text into type 0", tNone, ARRANGE(SetAsString(u"x")), GET(GetAsString()), oConversion, u"x"},
  };
  for (const TMatrixCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto value = MakeValue(c.Type);
    bool nullBefore = value->GetNull();
    TORVString recordBefore = Record(*value);
    try {
      c.Arrange(*value);
      nullBefore = value->GetNull();
      recordBefore = Record(*value);
      const TORVString result = c.Act(*value);
      EXPECT_EQ(c.Outcome, oValue) << "no error, result " << Utf8(result);
      if (c.Outcome == oValue) {
        EXPECT_EQ(Utf8(result), Utf8(c.Expected));
      }
    } catch (const EORVException& e) {
      ASSERT_NE(c.Outcome, oValue) << Utf8(e.ErrorMsg());
      EXPECT_EQ(e.ErrorCode(), 1011);
      EXPECT_NE(e.ErrorMsg().find(DetailOf(c.Outcome)), TORVString::npos) << Utf8(e.ErrorMsg());
      EXPECT_NE(e.ErrorMsg().find(c.Expected), TORVString::npos) << Utf8(e.ErrorMsg());
      // Whatever raised (a setter or a getter), the value is as it was
      // before that call, NULL state included.
      EXPECT_EQ(value->GetNull(), nullBefore);
      EXPECT_EQ(Utf8(Record(*value)), Utf8(recordBefore));
    }
  }
}

TEST(ValueConversion, ErrorMessagesNameTheValueAndItsCurrentText) {
  auto value = MakeValue(tSmallInt);
  value->SetAsSmallInt(7);
  try {
    value->SetAsInteger(40000);
    FAIL() << "no error";
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 1011);
    EXPECT_EQ(Utf8(e.ErrorMsg()),
              "An error occurred with the value 7 (The value 40000 is out of the range of permissible values for "
              "the SmallInt type)");
  }
  try {
    value->GetAsDate();
    FAIL() << "no error";
  } catch (const EORVException& e) {
    EXPECT_EQ(Utf8(e.ErrorMsg()), "An error occurred with the value 7 (A conversion error occurred with the value)");
  }
  EXPECT_EQ(value->GetAsSmallInt(), 7);
}

TEST(ValueConversion, RefusedSetterKeepsValueAndNullState) {
  auto value = MakeValue(tInteger);
  value->SetAsInteger(5);
  EXPECT_THROW(value->SetAsString(u"1x"), EORVException);
  EXPECT_FALSE(value->GetNull());
  EXPECT_EQ(value->GetAsInteger(), 5);

  auto nullValue = MakeValue(tSmallInt);
  EXPECT_THROW(nullValue->SetAsLargeInt(1 << 20), EORVException);
  EXPECT_THROW(nullValue->SetAsDouble(std::nan("")), EORVException);
  EXPECT_TRUE(nullValue->GetNull());
}

TEST(ValueConversion, TimeIntoTimestampTakesTodaysDate) {
  auto value = MakeValue(tTimeStamp);
  const int32_t before = CurrentDate(false);
  value->SetAsTime(3600000);
  const int32_t after = CurrentDate(false);
  const int64_t stamp = value->GetAsTimeStamp();
  EXPECT_EQ(TimeFromTimeStamp(stamp), 3600000);
  EXPECT_GE(DateFromTimeStamp(stamp), before);
  EXPECT_LE(DateFromTimeStamp(stamp), after);
}

TEST(ValueConversion, IntervalsOfAGivenSubtype) {
  auto months = MakeValue(tYearToMonth);
  months->SetAsYearMonthInterval(30);
  EXPECT_EQ(months->GetYearMonthInterval(stYear), 24);  // whole years only
  EXPECT_EQ(months->GetYearMonthInterval(stMonth), 30);

  auto number = MakeValue(tInteger);
  number->SetAsInteger(3);
  EXPECT_EQ(number->GetYearMonthInterval(stYear), 36);
  EXPECT_EQ(number->GetDayTimeInterval(stMinute), 180000);
  EXPECT_THROW(number->GetDayTimeInterval(stDayToHour), EORVException);

  number->SetDayTimeInterval(2 * MSecsPerDay + 5 * MSecsPerHour, stDay);
  EXPECT_EQ(number->GetAsInteger(), 2);
  number->SetYearMonthInterval(30, stYear);
  EXPECT_EQ(number->GetAsInteger(), 2);

  auto text = MakeValue(tVarChar);
  text->SetDayTimeInterval(-90 * MSecsPerMinute, stHourToMinute);
  EXPECT_EQ(Utf8(text->GetAsString()), "-1:30");
  EXPECT_EQ(text->GetDayTimeInterval(stHourToMinute), -90 * MSecsPerMinute);

  auto bytes = MakeValue(tVarByte);
  bytes->SetYearMonthInterval(-2, stMonth);
  EXPECT_EQ(Utf8(Text(bytes->GetAsBytes())), "FEFFFFFF");
}

TEST(ValueConversion, AnsiAndUnicodeTextForms) {
  auto ansi = MakeValue(tVarChar, 0);
  ansi->SetAsAnsiString("caf\xE9");
  EXPECT_EQ(ansi->GetAsUnicodeString(), u"caf\u00E9");
  EXPECT_EQ(ansi->GetAsAnsiString(), "caf\xE9");

  auto number = MakeValue(tInteger, 0);
  number->SetAsAnsiString("42");
  EXPECT_EQ(number->GetAsAnsiString(), "42");
  EXPECT_EQ(number->GetAsUnicodeString(), u"42");
}

TEST(ValueNullState, NullClearsStorageAndSettersMakeNonNull) {
  auto value = MakeValue(tInteger);
  EXPECT_TRUE(value->GetNull());
  value->SetAsInteger(5);
  EXPECT_FALSE(value->GetNull());
  EXPECT_FALSE(value->GetEmpty());
  value->SetAsNull(true);
  EXPECT_TRUE(value->GetNull());
  EXPECT_TRUE(value->GetEmpty());  // the cleared storage holds 0
  value->SetAsNull(false);
  EXPECT_FALSE(value->GetNull());
  EXPECT_EQ(value->GetAsInteger(), 0);

  auto text = MakeValue(tChar5);
  text->SetAsString(u"abc");
  text->SetAsNull(true);
  text->SetAsNull(false);
  EXPECT_EQ(text->GetAsString(), u"     ");

  auto none = MakeValue(tNone);
  EXPECT_FALSE(none->GetEmpty());
}

TEST(ValueNullState, EmptyFollowsTheImageNotTheFlag) {
  struct {
    TType Type;
    std::function<void(TORVValue&)> Store;
    bool Empty;
  } cases[] = {
      {tVarChar, ARRANGE(SetAsString(u"")), true},    {tVarChar, ARRANGE(SetAsString(u" ")), false},
      {tVarByte, ARRANGE(SetAsBytes({})), true},      {tBoolean, ARRANGE(SetAsBoolean(false)), true},
      {tFloat, ARRANGE(SetAsDouble(0.0)), true},      {tFloat, ARRANGE(SetAsDouble(-0.5)), false},
      {tDecimal4, ARRANGE(SetAsInteger(0)), true},    {tTimeStamp, ARRANGE(SetAsLargeInt(0)), true},
      {tDay, ARRANGE(SetAsDayTimeInterval(0)), true}, {tDate, ARRANGE(SetAsInteger(1)), false},
  };
  for (auto& c : cases) {
    auto value = MakeValue(c.Type);
    c.Store(*value);
    EXPECT_EQ(value->GetEmpty(), c.Empty) << c.Type.DataType;
  }
}

// ---------------------------------------------------------------------------
// Comparison

std::unique_ptr<TORVContainedValue> Integer(int32_t Value) {
  auto v = MakeValue(tInteger);
  v->SetAsInteger(Value);
  return v;
}

std::unique_ptr<TORVContainedValue> Float(double Value) {
  auto v = MakeValue(tFloat);
  v->SetAsDouble(Value);
  return v;
}

std::unique_ptr<TORVContainedValue> Str(const TORVString& Value, int32_t CharacterSet = 1) {
  auto v = MakeValue(tVarChar, CharacterSet);
  v->SetAsString(Value);
  return v;
}

int32_t Cmp(TORVValue& A, TORVValue& B, int32_t PartialLength = 0) { return A.Compare(B, PartialLength, false, 0); }

TEST(ValueCompare, NullSortsFirstAndEqualsNull) {
  auto null1 = MakeValue(tInteger);
  auto null2 = MakeValue(tVarChar);
  auto five = Integer(5);
  EXPECT_EQ(Cmp(*null1, *null2), 0);
  EXPECT_EQ(Cmp(*null1, *five), -1);
  EXPECT_EQ(Cmp(*five, *null1), 1);
}

TEST(ValueCompare, NumbersOfDifferentTypesCompareByValue) {
  auto five = Integer(5);
  auto fiveFloat = Float(5.0);
  auto fiveDecimal = MakeValue(tDecimal4);
  fiveDecimal->SetAsString(u"5.0000");
  auto fiveAndABit = MakeValue(tDecimal4);
  fiveAndABit->SetAsString(u"5.0001");
  auto bigFive = MakeValue(tBigInt);
  bigFive->SetAsLargeInt(5);
  EXPECT_EQ(Cmp(*five, *fiveFloat), 0);
  EXPECT_EQ(Cmp(*five, *fiveDecimal), 0);
  EXPECT_EQ(Cmp(*fiveDecimal, *five), 0);
  EXPECT_EQ(Cmp(*five, *fiveAndABit), -1);
  EXPECT_EQ(Cmp(*fiveAndABit, *five), 1);
  EXPECT_EQ(Cmp(*five, *bigFive), 0);

  // Exact even where the scaled image of the whole number would overflow.
  auto huge = MakeValue(tBigInt);
  huge->SetAsLargeInt(std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Cmp(*huge, *fiveDecimal), 1);
  EXPECT_EQ(Cmp(*fiveDecimal, *huge), -1);
}

TEST(ValueCompare, TextAgainstNumberComparesTexts) {
  auto ten = Str(u"10");
  auto nine = Integer(9);
  EXPECT_EQ(Cmp(*ten, *nine), -1);  // "10" sorts before "9"
  EXPECT_EQ(Cmp(*nine, *ten), 1);   // and the Integer sees the mirror
  auto five = Integer(5);
  auto fiveText = Str(u"5");
  EXPECT_EQ(Cmp(*five, *fiveText), 0);
}

TEST(ValueCompare, TimestampAgainstDateComparesTheDate) {
  auto noon = MakeValue(tTimeStamp);
  noon->SetAsString(u"2024-01-01 12:00");
  auto midnight = MakeValue(tTimeStamp);
  midnight->SetAsString(u"2024-01-01");
  auto date = MakeValue(tDate);
  date->SetAsString(u"2024-01-01");
  EXPECT_EQ(Cmp(*noon, *date), 0);
  EXPECT_EQ(Cmp(*date, *noon), 0);
  EXPECT_EQ(Cmp(*noon, *midnight), 1);

  auto time = MakeValue(tTime);
  time->SetAsString(u"12:00");
  EXPECT_EQ(Cmp(*time, *noon), 0);
  EXPECT_EQ(Cmp(*noon, *time), 0);
}

TEST(ValueCompare, BooleansAndFloats) {
  auto no = MakeValue(tBoolean);
  no->SetAsBoolean(false);
  auto yes = MakeValue(tBoolean);
  yes->SetAsBoolean(true);
  EXPECT_EQ(Cmp(*no, *yes), -1);
  EXPECT_EQ(Cmp(*yes, *no), 1);
  // Against a number a Boolean counts as 0 or 1.
  auto two = Integer(2);
  auto one = Integer(1);
  EXPECT_EQ(Cmp(*yes, *two), -1);
  EXPECT_EQ(Cmp(*two, *yes), 1);
  EXPECT_EQ(Cmp(*yes, *one), 0);
  EXPECT_EQ(Cmp(*no, *one), -1);

  auto nan = Float(std::numeric_limits<double>::quiet_NaN());
  auto nan2 = Float(std::numeric_limits<double>::quiet_NaN());
  auto inf = Float(std::numeric_limits<double>::infinity());
  EXPECT_EQ(Cmp(*nan, *inf), 1);
  EXPECT_EQ(Cmp(*inf, *nan), -1);
  EXPECT_EQ(Cmp(*nan, *nan2), 0);
  EXPECT_EQ(Cmp(*two, *nan), -1);
  EXPECT_EQ(Cmp(*nan, *two), 1);
}

TEST(ValueCompare, TextRules) {
  for (int32_t characterSet : {0, 1}) {
    SCOPED_TRACE(characterSet);
    auto abc = Str(u"abc", characterSet);
    auto abcBlanks = Str(u"abc  ", characterSet);
    auto abd = Str(u"abd", characterSet);
    auto upper = Str(u"ABC", characterSet);
    EXPECT_EQ(Cmp(*abc, *abcBlanks), 0);
    EXPECT_EQ(Cmp(*abc, *abcBlanks, 5), -1);
    EXPECT_EQ(Cmp(*abc, *abd), -1);
    EXPECT_EQ(Cmp(*abc, *abd, 2), 0);
    EXPECT_NE(Cmp(*abc, *upper), 0);
    EXPECT_EQ(abc->Compare(*upper, 0, true, 0), 0);
  }
}

// An ANSI and a Unicode text agree on their order from either side, also
// where the code page orders a character differently from UTF-16 (the euro
// sign is 0x80 in code page 1252, U+20AC in UTF-16).
TEST(ValueCompare, TextsOfDifferentCharacterSetsAreAntisymmetric) {
  auto euro = Str(u"\u20AC", 0);
  auto eAcute = Str(u"\u00E9", 1);
  const int32_t ab = Cmp(*euro, *eAcute);
  EXPECT_EQ(ab, 1);
  EXPECT_EQ(Cmp(*eAcute, *euro), -ab);
}

TEST(ValueCompare, BytesByContentThenLength) {
  auto shorter = MakeValue(tVarByte);
  shorter->SetAsBytes({1, 2});
  auto longer = MakeValue(tVarByte);
  longer->SetAsBytes({1, 2, 3});
  auto high = MakeValue(tBlob);
  high->SetAsBytes({0x80});
  EXPECT_EQ(Cmp(*shorter, *longer), -1);
  EXPECT_EQ(Cmp(*longer, *shorter), 1);
  EXPECT_EQ(Cmp(*high, *longer), 1);
  EXPECT_EQ(Cmp(*longer, *high), -1);
}

// A pool of values of every type; every pair must compare as a consistent
// order: b.Compare(a) is -a.Compare(b), or both raise.
TEST(ValueCompare, EveryPairIsAntisymmetric) {
  std::vector<std::unique_ptr<TORVContainedValue>> pool;
  auto add = [&](const TType& type, const std::function<void(TORVValue&)>& store) {
    pool.push_back(MakeValue(type));
    store(*pool.back());
  };
  add(tInteger, kNothing);  // NULL
  add(tVarChar, ARRANGE(SetAsString(u"10")));
  add(tVarChar, ARRANGE(SetAsString(u"abc")));
  add(tVarChar, ARRANGE(SetAsString(u"TRUE")));
  add(tVarChar, ARRANGE(SetAsString(u"2024-01-01")));
  add(tClob, ARRANGE(SetAsString(u"5")));
  add(tVarByte, ARRANGE(SetAsBytes({5, 0, 0, 0})));
  add(tByte4, ARRANGE(SetAsBytes({9, 0, 0, 0})));
  add(tBlob, ARRANGE(SetAsBytes({0x35})));
  add(tBoolean, ARRANGE(SetAsBoolean(true)));
  add(tBoolean, ARRANGE(SetAsBoolean(false)));
  add(tSmallInt, ARRANGE(SetAsSmallInt(5)));
  add(tInteger, ARRANGE(SetAsInteger(10)));
  add(tInteger, ARRANGE(SetAsInteger(0)));
  add(tBigInt, ARRANGE(SetAsLargeInt(std::numeric_limits<int64_t>::min())));
  add(tFloat, ARRANGE(SetAsDouble(5.00001)));
  add(tFloat, ARRANGE(SetAsDouble(std::numeric_limits<double>::quiet_NaN())));
  add(tFloat, ARRANGE(SetAsDouble(-std::numeric_limits<double>::infinity())));
  add(tDecimal4, ARRANGE(SetAsString(u"5.0001")));
  add(tDecimal2, ARRANGE(SetAsString(u"-3.5")));
  add(tDate, ARRANGE(SetAsString(u"2024-01-01")));
  add(tTime, ARRANGE(SetAsString(u"12:00")));
  add(tTimeStamp, ARRANGE(SetAsString(u"2024-01-01 12:00")));
  add(tYear, ARRANGE(SetAsYearMonthInterval(24)));
  add(tMonth, ARRANGE(SetAsYearMonthInterval(5)));
  add(tHour, ARRANGE(SetAsDayTimeInterval(MSecsPerHour)));
  add(tDayToMSecond, ARRANGE(SetAsDayTimeInterval(5)));
  add(tNone, kNothing);

  auto compare = [](TORVValue& a, TORVValue& b) -> std::optional<int32_t> {
    try {
      return a.Compare(b, 0, false, 0);
    } catch (const EORVException&) {
      return std::nullopt;
    }
  };
  for (std::size_t i = 0; i < pool.size(); ++i) {
    EXPECT_EQ(compare(*pool[i], *pool[i]), 0) << i;
    for (std::size_t j = 0; j < pool.size(); ++j) {
      const auto ab = compare(*pool[i], *pool[j]);
      const auto ba = compare(*pool[j], *pool[i]);
      ASSERT_EQ(ab.has_value(), ba.has_value()) << i << " vs " << j;
      if (ab) {
        EXPECT_EQ(*ab, -*ba) << i << " vs " << j;
      }
    }
  }
}

// Numbers and Booleans of every type must form one order that an index can
// keep: equal to equal is equal, and below stays below, whatever the types.
TEST(ValueCompare, NumbersAndBooleansOrderTransitively) {
  constexpr int64_t kTwoPow53 = int64_t{1} << 53;
  std::vector<std::unique_ptr<TORVContainedValue>> pool;
  auto add = [&](const TType& type, const std::function<void(TORVValue&)>& store) {
    pool.push_back(MakeValue(type));
    store(*pool.back());
  };
  add(tBoolean, ARRANGE(SetAsBoolean(false)));
  add(tBoolean, ARRANGE(SetAsBoolean(true)));
  add(tSmallInt, ARRANGE(SetAsSmallInt(1)));
  add(tInteger, ARRANGE(SetAsInteger(2)));
  add(tInteger, ARRANGE(SetAsInteger(3)));
  add(tDecimal4, ARRANGE(SetAsString(u"2.5")));
  add(tFloat, ARRANGE(SetAsDouble(2.5)));
  add(tFloat, ARRANGE(SetAsDouble(-0.5)));
  add(tBigInt, ARRANGE(SetAsLargeInt(kTwoPow53)));
  add(tBigInt, ARRANGE(SetAsLargeInt(kTwoPow53 + 1)));
  add(tFloat, ARRANGE(SetAsDouble(static_cast<double>(kTwoPow53))));
  add(tBigInt, ARRANGE(SetAsLargeInt(std::numeric_limits<int64_t>::max())));
  add(tFloat, ARRANGE(SetAsDouble(9223372036854775808.0)));
  add(tFloat, ARRANGE(SetAsDouble(std::numeric_limits<double>::quiet_NaN())));

  const std::size_t n = pool.size();
  std::vector<std::vector<int32_t>> order(n, std::vector<int32_t>(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) order[i][j] = Cmp(*pool[i], *pool[j]);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t k = 0; k < n; ++k) {
        if (order[i][j] > 0 || order[j][k] > 0) continue;
        const int32_t expected = order[i][j] < 0 || order[j][k] < 0 ? -1 : 0;
        EXPECT_EQ(order[i][k], expected) << i << " vs " << j << " vs " << k;
      }
  // The double nearest 2^53 + 1 is 2^53 itself, and only that BigInt equals it.
  EXPECT_EQ(Cmp(*pool[10], *pool[8]), 0);
  EXPECT_EQ(Cmp(*pool[10], *pool[9]), -1);
  EXPECT_EQ(Cmp(*pool[9], *pool[10]), 1);
}

// ---------------------------------------------------------------------------
// Assignment

TEST(ValueAssign, NullSourceMakesTargetNullAndCleared) {
  auto target = MakeValue(tVarChar);
  target->SetAsString(u"abc");
  auto source = MakeValue(tInteger);
  target->Assign(*source);
  EXPECT_TRUE(target->GetNull());
  EXPECT_EQ(target->GetLength(), 0);
}

TEST(ValueAssign, ConvertsToTheTargetType) {
  auto decimal = MakeValue(tDecimal4);
  decimal->SetAsString(u"1.2346");
  auto rounded = MakeValue(tDecimal2);
  rounded->Assign(*decimal);
  EXPECT_EQ(Utf8(rounded->GetAsString()), "1.23");

  auto twelve = Str(u"12");
  auto number = MakeValue(tInteger);
  number->Assign(*twelve);
  EXPECT_EQ(number->GetAsInteger(), 12);

  auto bad = Str(u"1x");
  EXPECT_THROW(number->Assign(*bad), EORVException);
  EXPECT_EQ(number->GetAsInteger(), 12);

  auto fresh = MakeValue(tInteger);
  EXPECT_THROW(fresh->Assign(*bad), EORVException);
  EXPECT_TRUE(fresh->GetNull());

  auto money = MakeValue(tFloat);
  money->Assign(*decimal);
  EXPECT_DOUBLE_EQ(money->GetAsDouble(), 1.2346);

  auto month = MakeValue(tMonth);
  auto years = MakeValue(tYear);
  years->SetAsYearMonthInterval(36);
  month->Assign(*years);
  EXPECT_EQ(month->GetAsYearMonthInterval(), 36);
}

TEST(ValueAssign, TextIntoBytesStoresTheCharacters) {
  auto text = Str(u"AB", 0);
  auto bytes = MakeValue(tVarByte, 0);
  bytes->SetAsBytes({9, 9, 9});
  bytes->Assign(*text);
  EXPECT_EQ(Utf8(Text(bytes->GetAsBytes())), "4142");
  auto blob = MakeValue(tBlob, 0);
  blob->Assign(*text);
  EXPECT_EQ(Utf8(Text(blob->GetAsBytes())), "4142");
}

TEST(ValueAssign, LargeObjects) {
  auto clob = MakeValue(tClob);
  clob->SetAsString(u"hello");
  auto blob = MakeValue(tBlob);
  blob->Assign(*clob);
  EXPECT_EQ(blob->GetLength(), 10);
  auto text = MakeValue(tVarChar);
  text->Assign(*clob);
  EXPECT_EQ(text->GetAsString(), u"hello");
  auto number = MakeValue(tInteger);
  EXPECT_THROW(number->Assign(*blob), EORVException);
  EXPECT_THROW(number->SetAsBlob(blob->GetAsBlob()), EORVException);
  EXPECT_THROW(number->GetAsBlob(), EORVException);
  EXPECT_TRUE(number->GetNull());
}

// ---------------------------------------------------------------------------
// Stream record

TEST(ValuePersistence, GoldenRecords) {
  for (int32_t characterSet : {0, 1}) {
    SCOPED_TRACE(characterSet);
    auto nullInteger = MakeValue(tInteger, characterSet);
    EXPECT_EQ(Utf8(Record(*nullInteger)), "01");
    auto seven = MakeValue(tInteger, characterSet);
    seven->SetAsInteger(7);
    EXPECT_EQ(Utf8(Record(*seven)), "0007000000");
    auto minusOne = MakeValue(tSmallInt, characterSet);
    minusOne->SetAsSmallInt(-1);
    EXPECT_EQ(Utf8(Record(*minusOne)), "00FFFF");
    auto empty = MakeValue(tVarChar, characterSet);
    empty->SetAsString(u"");
    EXPECT_EQ(Utf8(Record(*empty)), "0000000000");
  }
  auto ab = Str(u"ab", 1);
  EXPECT_EQ(Utf8(Record(*ab)), "000200000061006200");
  auto abAnsi = Str(u"ab", 0);
  EXPECT_EQ(Utf8(Record(*abAnsi)), "00020000006162");
  auto blob = MakeValue(tBlob);
  blob->SetAsBytes({0xAA});
  EXPECT_EQ(Utf8(Record(*blob)), "0001000000AA");
}

TEST(ValuePersistence, EmptyLargeObjectLoadsAsNonNullAndReadsOnlyItsSize) {
  TORVMemoryStream stream(1);
  stream.WriteBoolean(false);
  stream.WriteInteger(0);
  stream.WriteInteger(12345);  // the next record's data
  stream.SetPosition(0);
  auto blob = MakeValue(tBlob);
  blob->Load(stream);
  EXPECT_FALSE(blob->GetNull());
  EXPECT_EQ(blob->GetLength(), 0);
  EXPECT_EQ(stream.GetPosition(), 5);
}

TEST(ValuePersistence, ShortRecordIsRefusedAndChangesNothing) {
  struct {
    TType Type;
    TORVBytes Bytes;
  } cases[] = {
      {tInteger, {0x00, 0x07, 0x00}},
      {tVarChar, {0x00, 0x05, 0x00, 0x00, 0x00, 0x61, 0x00}},
      {tBlob, {0x00, 0x10, 0x00, 0x00, 0x00, 0x01}},
      {tVarByte, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
      {tBoolean, {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Type.DataType);
    TORVMemoryStream stream(1);
    if (!c.Bytes.empty()) stream.Write(c.Bytes.data(), static_cast<int32_t>(c.Bytes.size()));
    stream.SetPosition(0);
    auto value = MakeValue(c.Type);
    EXPECT_THROW(value->Load(stream), EORVException);
    EXPECT_TRUE(value->GetNull());
  }
}

TEST(ValuePersistence, DecimalLoadsRoundedToItsScale) {
  TORVMemoryStream stream(1);
  stream.WriteBoolean(false);
  stream.WriteCurrency(TORVCurrency::FromScaled(12346));
  stream.SetPosition(0);
  auto value = MakeValue(tDecimal2);
  value->Load(stream);
  EXPECT_EQ(value->GetAsCurrency().Scaled(), 12300);
}

// ---------------------------------------------------------------------------
// Record-buffer field slot

TORVString Slot(TORVValue& Value, bool VCLFormat, int32_t Size = 64) {
  std::vector<uint8_t> buffer(static_cast<std::size_t>(Size), 0xCC);
  EXPECT_TRUE(Value.SaveRaw(buffer.data(), Size, VCLFormat));
  while (!buffer.empty() && buffer.back() == 0xCC) buffer.pop_back();
  return Text(TORVBytes(buffer.begin(), buffer.end()));
}

TEST(ValueRawSlot, NullAndNilBuffers) {
  auto value = MakeValue(tInteger);
  uint8_t buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_FALSE(value->SaveRaw(buffer, 4, false));
  EXPECT_EQ(buffer[0], 0xCC);
  value->SetAsInteger(3);
  EXPECT_TRUE(value->SaveRaw(nullptr, 0, false));
  value->LoadRaw(nullptr, 0, false);
  EXPECT_TRUE(value->GetNull());
}

TEST(ValueRawSlot, Layouts) {
  auto yes = MakeValue(tBoolean);
  yes->SetAsBoolean(true);
  EXPECT_EQ(Utf8(Slot(*yes, true)), "FFFF");
  EXPECT_EQ(Utf8(Slot(*yes, false)), "01");

  auto emptyBytes = MakeValue(tVarByte);
  emptyBytes->SetAsBytes({});
  EXPECT_EQ(Utf8(Slot(*emptyBytes, false)), "0000");
  auto bytes = MakeValue(tVarByte);
  bytes->SetAsBytes({0xAB, 0xCD});
  EXPECT_EQ(Utf8(Slot(*bytes, false)), "0200ABCD");

  auto ansi = Str(u"ab", 0);
  EXPECT_EQ(Utf8(Slot(*ansi, false)), "616200");
  auto wide = Str(u"ab", 1);
  EXPECT_EQ(Utf8(Slot(*wide, false)), "610062000000");

  auto decimal = MakeValue(tDecimal2);
  decimal->SetAsString(u"-12.34");
  EXPECT_EQ(Utf8(Slot(*decimal, false)), "F81DFEFFFFFFFFFF");
  // Precision 32, negative with 2 places, then 32 digits ending in 1234.
  EXPECT_EQ(Utf8(Slot(*decimal, true)), "2082" + std::string(28, '0') + "1234" + std::string(32, '0'));

  auto stamp = MakeValue(tTimeStamp);
  stamp->SetAsLargeInt(1000);
  EXPECT_EQ(Utf8(Slot(*stamp, false)), "E803000000000000");
  EXPECT_EQ(Utf8(Slot(*stamp, true)), "0000000000408F40");

  auto blob = MakeValue(tBlob);
  blob->SetAsBytes({1});
  EXPECT_EQ(Utf8(Slot(*blob, false)), "");
}

TEST(ValueRawSlot, SaveThenLoadGivesTheValueBack) {
  struct {
    TType Type;
    std::function<void(TORVValue&)> Store;
  } cases[] = {
      {tVarChar, ARRANGE(SetAsString(u"h\u00E9llo"))}, {tChar5, ARRANGE(SetAsString(u"ab"))},
      {tVarByte, ARRANGE(SetAsBytes({1, 0, 2}))},      {tByte4, ARRANGE(SetAsBytes({1, 2, 3, 4}))},
      {tBoolean, ARRANGE(SetAsBoolean(true))},         {tSmallInt, ARRANGE(SetAsSmallInt(-2))},
      {tInteger, ARRANGE(SetAsInteger(-70000))},       {tBigInt, ARRANGE(SetAsLargeInt(-(int64_t{1} << 40)))},
      {tFloat, ARRANGE(SetAsDouble(-0.125))},          {tDecimal2, ARRANGE(SetAsString(u"-99999.99"))},
      {tDecimal4, ARRANGE(SetAsString(u"0.0001"))},    {tDate, ARRANGE(SetAsString(u"2024-02-29"))},
      {tTime, ARRANGE(SetAsString(u"23:59:59.999"))},  {tTimeStamp, ARRANGE(SetAsString(u"2024-02-29 01:02"))},
      {tYear, ARRANGE(SetAsYearMonthInterval(-24))},   {tDayToMSecond, ARRANGE(SetAsDayTimeInterval(-93784005))},
  };
  for (int32_t characterSet : {0, 1}) {
    for (bool vcl : {false, true}) {
      for (auto& c : cases) {
        SCOPED_TRACE(c.Type.DataType);
        auto source = MakeValue(c.Type, characterSet);
        c.Store(*source);
        uint8_t buffer[64];
        ASSERT_TRUE(source->SaveRaw(buffer, sizeof(buffer), vcl));
        auto target = MakeValue(c.Type, characterSet);
        target->LoadRaw(buffer, sizeof(buffer), vcl);
        EXPECT_FALSE(target->GetNull());
        EXPECT_EQ(Utf8(Record(*target)), Utf8(Record(*source)));
      }
    }
  }
}

TEST(ValueRawSlot, BadSlotsAreRefused) {
  auto decimal = MakeValue(tDecimal2);
  uint8_t bcd[34] = {};
  bcd[0] = 32;
  bcd[1] = 2;
  bcd[2] = 0xA0;  // not a decimal digit
  EXPECT_THROW(decimal->LoadRaw(bcd, sizeof(bcd), true), EORVException);
  bcd[0] = 0;  // no precision
  bcd[2] = 0;
  EXPECT_THROW(decimal->LoadRaw(bcd, sizeof(bcd), true), EORVException);
  EXPECT_TRUE(decimal->GetNull());

  auto bytes = MakeValue(tVarByte);
  const uint8_t slot[3] = {0x10, 0x00, 0x01};  // claims 16 bytes, holds 1
  EXPECT_THROW(bytes->LoadRaw(slot, sizeof(slot), false), EORVException);

  auto text = Str(u"abcdef", 1);
  uint8_t small[8];
  EXPECT_THROW(text->SaveRaw(small, sizeof(small), false), EORVException);

  // A text without terminator ends at the end of its slot.
  const uint8_t unterminated[3] = {'x', 'y', 'z'};
  auto ansi = MakeValue(tVarChar, 0);
  ansi->LoadRaw(unterminated, 2, false);
  EXPECT_EQ(ansi->GetAsString(), u"xy");
}

TEST(ValueRawSlot, BcdWithMorePlacesRoundsHalfAwayFromZero) {
  // 1.23455 with precision 6 and 5 places: digits 1 2 3 4 5 5.
  uint8_t bcd[34] = {};
  bcd[0] = 6;
  bcd[1] = 0x80 | 5;
  bcd[2] = 0x12;
  bcd[3] = 0x34;
  bcd[4] = 0x55;
  auto decimal = MakeValue(tDecimal4);
  decimal->LoadRaw(bcd, sizeof(bcd), true);
  EXPECT_EQ(decimal->GetAsCurrency().Scaled(), -12346);
}

// Rounding to the scale can carry a decimal past its range: the value
// refuses it with its range error, as any other value out of range.
TEST(Value, DecimalRoundedPastItsRangeRaisesTheRangeError) {
  auto Decimal = MakeValue(TType{dtDecimal, 0, 0, 0});
  try {
    Decimal->SetAsCurrency(TORVCurrency::FromScaled(std::numeric_limits<int64_t>::max()));
    FAIL() << "rounding past the range must raise";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), ORV_VALUE_ERROR.Code);
    EXPECT_NE(E.ErrorMsg().find(u"is out of the range of permissible values"), TORVString::npos);
  }
}

}  // namespace
}  // namespace orv
