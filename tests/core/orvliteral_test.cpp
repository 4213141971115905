#include "core/orvliteral.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

std::string U8(const TORVString& S) { return StringToUtf8(S); }

int32_t D(int32_t Year, int32_t Month, int32_t Day) {
  int32_t date = 0;
  EXPECT_TRUE(MakeDate({Year, Month, Day}, date, false));
  return date;
}

int32_t T(int32_t Hour, int32_t Minute, int32_t Second = 0, int32_t MSecond = 0) {
  int32_t time = 0;
  EXPECT_TRUE(MakeTime({Hour, Minute, Second, MSecond}, time));
  return time;
}

TORVCurrency Curr(int64_t Scaled) { return TORVCurrency::FromScaled(Scaled); }

template <typename F>
void ExpectConversionError(F Action) {
  try {
    Action();
    ADD_FAILURE() << "no conversion error raised";
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 1011);
  }
}

TEST(SQLLiterals, DatesAndTimesAreWrittenInTheirSQLForms) {
  EXPECT_EQ(DateToSQLStr(1), u"0001-01-01");
  EXPECT_EQ(DateToSQLStr(D(2024, 5, 6)), u"2024-05-06");
  EXPECT_EQ(DateToSQLStr(MaxDate), u"100000-12-31");

  struct Case {
    int32_t Time;
    const char16_t* TwentyFour;
    const char16_t* Twelve;
  } cases[] = {
      {T(13, 5), u"13:05", u"01:05 PM"},
      {T(0, 0, 7), u"00:00:07", u"12:00:07 AM"},
      {T(10, 0, 0, 1), u"10:00:00.001", u"10:00:00.001 AM"},
      {T(12, 30), u"12:30", u"12:30 PM"},
      {T(0, 30), u"00:30", u"12:30 AM"},
      {T(23, 59, 59, 999), u"23:59:59.999", u"11:59:59.999 PM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeToSQLStr(c.Time, true), c.TwentyFour);
    EXPECT_EQ(TimeToSQLStr(c.Time, false), c.Twelve);
    int32_t back = -1;
    EXPECT_TRUE(SQLStrToTime(TimeToSQLStr(c.Time, false), back));
    EXPECT_EQ(back, c.Time) << U8(c.Twelve);
  }
  const int64_t stamp = DateToTimeStamp(D(2024, 5, 6), false) + T(13, 45, 10, 250);
  EXPECT_EQ(TimeStampToSQLStr(stamp, true), u"2024-05-06 13:45:10.250");
  EXPECT_EQ(TimeStampToSQLStr(stamp, false), u"2024-05-06 01:45:10.250 PM");
}

TEST(SQLLiterals, DateReaderAcceptsExactlyRealCalendarDays) {
  struct Case {
    const char16_t* Text;
    int32_t Date;  // 0: rejected
  } cases[] = {
      {u"2024-05-06", D(2024, 5, 6)},  {u"2024-5-6", D(2024, 5, 6)},   {u"  2024-05-06 ", D(2024, 5, 6)},
      {u"0001-01-01", 1},              {u"100000-12-31", MaxDate},      {u"2024-02-29", D(2024, 2, 29)},
      {u"2023-02-29", 0},              {u"2024-02-30", 0},              {u"2024/05/06", 0},
      {u"2024-05", 0},                 {u"100001-01-01", 0},            {u"0000-01-01", 0},
      {u"2024-13-01", 0},              {u"2024-05-06-07", 0},           {u"2024- 5-06", 0},
      {u"", 0},                        {u"abcd-ef-gh", 0},              {u"-2024-05-06", 0},
      {u"2024-05-06 10:00", 0},
  };
  for (const Case& c : cases) {
    int32_t date = -1;
    EXPECT_EQ(SQLStrToDate(c.Text, date), c.Date != 0) << U8(c.Text);
    EXPECT_EQ(date, c.Date) << U8(c.Text);
    EXPECT_EQ(IsADate(c.Text), c.Date != 0) << U8(c.Text);
  }
}

TEST(SQLLiterals, TimeReaderAcceptsTwentyFourAndTwelveHourForms) {
  struct Case {
    const char16_t* Text;
    bool Ok;
    int32_t Time;
  } cases[] = {
      {u"1:5", true, T(1, 5)},
      {u"01:05:07", true, T(1, 5, 7)},
      {u"01:05:07.250", true, T(1, 5, 7, 250)},
      {u"01:05:07.25", true, T(1, 5, 7, 250)},  // a fraction of a second
      {u"01:05:07.5", true, T(1, 5, 7, 500)},
      {u"01:05:07.005", true, T(1, 5, 7, 5)},
      {u"12:30 AM", true, T(0, 30)},
      {u"12:30 pm", true, T(12, 30)},
      {u"1:30 PM", true, T(13, 30)},
      {u"11:59:59.999 pm", true, T(23, 59, 59, 999)},
      {u" 23:59 ", true, T(23, 59)},
      {u"00:00", true, 0},
      {u"24:00", false, 0},
      {u"10:61", false, 0},
      {u"10:00:60", false, 0},
      {u"10:00 XM", false, 0},
      {u"13:00 PM", false, 0},
      {u"10:00:00.1234", false, 0},
      {u"10:00:00.-5", false, 0},
      {u"10", false, 0},
      {u"", false, 0},
      {u"a:b", false, 0},
      {u"10:00AM", false, 0},
  };
  for (const Case& c : cases) {
    int32_t time = -1;
    EXPECT_EQ(SQLStrToTime(c.Text, time), c.Ok) << U8(c.Text);
    EXPECT_EQ(time, c.Time) << U8(c.Text);
    EXPECT_EQ(IsATime(c.Text), c.Ok) << U8(c.Text);
  }
}

TEST(SQLLiterals, TimeStampReaderNeedsADateAndTakesAnOptionalTime) {
  int64_t stamp = -1;
  EXPECT_TRUE(SQLStrToTimeStamp(u"2024-05-06", stamp));
  EXPECT_EQ(stamp, DateToTimeStamp(D(2024, 5, 6), false));
  EXPECT_TRUE(SQLStrToTimeStamp(u" 2024-05-06 13:45:10.250 ", stamp));
  EXPECT_EQ(stamp, DateToTimeStamp(D(2024, 5, 6), false) + T(13, 45, 10, 250));
  EXPECT_TRUE(SQLStrToTimeStamp(u"2024-05-06 01:45 PM", stamp));
  EXPECT_EQ(stamp, DateToTimeStamp(D(2024, 5, 6), false) + T(13, 45));
  EXPECT_TRUE(SQLStrToTimeStamp(u"100000-12-31 23:59:59.999", stamp));
  EXPECT_EQ(stamp, DateToTimeStamp(MaxDate, true));
  for (const char16_t* bad : {u"", u"  ", u"2024-02-30 10:00", u"2024-05-06 25:00", u"10:00", u"2024-05-06 x"}) {
    EXPECT_FALSE(SQLStrToTimeStamp(bad, stamp)) << U8(bad);
    EXPECT_EQ(stamp, 0);
    EXPECT_FALSE(IsATimeStamp(bad));
  }
}

TEST(SQLLiterals, YearMonthIntervalsWriteAndReadWithTheirSign) {
  struct Case {
    int32_t Interval;
    TORVSubTypeCode SubType;
    const char16_t* Text;
  } cases[] = {
      {-14, stYearToMonth, u"-1-02"}, {14, stYearToMonth, u"1-02"}, {-6, stYearToMonth, u"-0-06"},
      {0, stYearToMonth, u"0-00"},    {14, stMonth, u"14"},         {-14, stMonth, u"-14"},
      {24, stYear, u"2"},             {-36, stYear, u"-3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(YearMonthIntervalToSQLStr(c.Interval, c.SubType), c.Text);
    int32_t back = -1;
    EXPECT_TRUE(SQLStrToYearMonthInterval(c.Text, c.SubType, back)) << U8(c.Text);
    EXPECT_EQ(back, c.Interval) << U8(c.Text);
  }
  EXPECT_EQ(YearMonthIntervalToSQLStr(14, stYear), u"1");  // the months are dropped
  EXPECT_EQ(YearMonthIntervalToSQLStr(14, stDay), u"");

  int32_t interval = -1;
  EXPECT_TRUE(SQLStrToYearMonthInterval(u" 1-2 ", stYearToMonth, interval));
  EXPECT_EQ(interval, 14);
  for (const char16_t* bad : {u"1--2", u"1", u"--1-02", u"1-", u"-", u"1-x", u"", u"1-2-3"}) {
    EXPECT_FALSE(SQLStrToYearMonthInterval(bad, stYearToMonth, interval)) << U8(bad);
    EXPECT_FALSE(IsAYearMonthInterval(bad, stYearToMonth)) << U8(bad);
  }
  EXPECT_FALSE(SQLStrToYearMonthInterval(u"1-02", stMonth, interval));
  EXPECT_FALSE(SQLStrToYearMonthInterval(u"5", stDay, interval));
  EXPECT_FALSE(SQLStrToYearMonthInterval(u"2147483647", stYear, interval));  // months beyond 32 bits
}

TEST(SQLLiterals, DayTimeIntervalsWriteAndReadEverySubtype) {
  struct Case {
    int64_t Interval;
    TORVSubTypeCode SubType;
    const char16_t* Text;
  } cases[] = {
      {93784005, stDayToMSecond, u"1 2:03:04.005"},
      {-93784005, stDayToMSecond, u"-1 2:03:04.005"},
      {93784000, stDayToSecond, u"1 2:03:04"},
      {93780000, stDayToMinute, u"1 2:03"},
      {93600000, stDayToHour, u"1 2"},
      {86400000, stDay, u"1"},
      {93784000, stHourToSecond, u"26:03:04"},
      {-5400000, stHourToMinute, u"-1:30"},
      {-1800000, stHourToMinute, u"-0:30"},
      {-1800000, stHourToMSecond, u"-0:30:00.000"},
      {184005, stMinuteToMSecond, u"3:04.005"},
      {-4005, stMinuteToMSecond, u"-0:04.005"},
      {4005, stSecondToMSecond, u"4.005"},
      {-5, stSecondToMSecond, u"-0.005"},
      {4005, stMSecond, u"4005"},
      {-38675311015, stMSecond, u"-38675311015"},
      {-93600000, stHour, u"-26"},
      {0, stHourToMinute, u"0:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DayTimeIntervalToSQLStr(c.Interval, c.SubType), c.Text);
    int64_t back = -1;
    EXPECT_TRUE(SQLStrToDayTimeInterval(c.Text, c.SubType, back)) << U8(c.Text);
    EXPECT_EQ(back, c.Interval) << U8(c.Text);
    EXPECT_TRUE(IsADayTimeInterval(c.Text, c.SubType));
  }
  EXPECT_EQ(DayTimeIntervalToSQLStr(93784005, 40), u"");

  // Every subtype reads back what it writes, over a spread of values.
  std::mt19937_64 random(7);
  for (TORVSubTypeCode subType = 8; subType <= 248; subType += 8) {
    if (!IsValidDayTimeSubType(subType)) continue;
    for (int i = 0; i < 200; ++i) {
      const int64_t value = static_cast<int64_t>(random() % 400000000000) - 200000000000;
      int64_t restricted = 0;
      MakeDayTimeInterval(ParseDayTimeInterval(value, subType), restricted);
      int64_t back = -1;
      const TORVString text = DayTimeIntervalToSQLStr(value, subType);
      ASSERT_TRUE(SQLStrToDayTimeInterval(text, subType, back)) << U8(text) << " " << subType;
      ASSERT_EQ(back, restricted) << U8(text) << " " << subType;
    }
  }
}

TEST(SQLLiterals, DayTimeIntervalReaderRejectsOtherLayouts) {
  int64_t interval = -1;
  EXPECT_TRUE(SQLStrToDayTimeInterval(u" 1 02:03 ", stDayToMinute, interval));
  EXPECT_EQ(interval, 93780000);
  EXPECT_TRUE(SQLStrToDayTimeInterval(u"3:04.5", stMinuteToMSecond, interval));
  EXPECT_EQ(interval, 184500);
  struct Case {
    const char16_t* Text;
    TORVSubTypeCode SubType;
  } bad[] = {
      {u"1 2:03", stDayToSecond}, {u"1:02", stDayToMinute},   {u"1 -2:03", stDayToMinute},
      {u"1 2:x3", stDayToMinute}, {u"", stDay},               {u"1 2:03:04.", stDayToMSecond},
      {u"4.0005", stSecondToMSecond}, {u"1 2", stYear},       {u"+1", stDay},
      {u"1 2:03", 40},            {u"99999999999999999999", stMSecond},
      {u"9999999999999", stHour},  // beyond 64-bit milliseconds
  };
  for (const Case& c : bad) {
    EXPECT_FALSE(SQLStrToDayTimeInterval(c.Text, c.SubType, interval)) << U8(c.Text);
    EXPECT_EQ(interval, 0);
    EXPECT_FALSE(IsADayTimeInterval(c.Text, c.SubType)) << U8(c.Text);
  }
}

TEST(SQLLiterals, BinaryIsUpperCaseHexadecimal) {
  EXPECT_EQ(BinaryToSQLStr({0x0A, 0xFF, 0x00}), u"0AFF00");
  EXPECT_EQ(BinaryToSQLStr({}), u"");
  TORVBytes bytes{1};
  EXPECT_TRUE(SQLStrToBinary(u"0aFF", bytes));
  EXPECT_EQ(bytes, (TORVBytes{10, 255}));
  EXPECT_TRUE(SQLStrToBinary(u"", bytes));
  EXPECT_TRUE(bytes.empty());
  for (const char16_t* bad : {u"ABC", u"GG", u"0x0A", u" 0A"}) {
    bytes = {1};
    EXPECT_FALSE(SQLStrToBinary(bad, bytes)) << U8(bad);
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(SQLLiterals, IntegerReadersAndTests) {
  struct Case {
    const char16_t* Text;
    bool LargeInt;
    bool Integer;
    bool NonNegative;
    int64_t Value;
  } cases[] = {
      {u"0", true, true, true, 0},
      {u"-1", true, true, false, -1},
      {u"007", true, true, true, 7},
      {u"2147483647", true, true, true, 2147483647},
      {u"2147483648", true, false, false, 2147483648},
      {u"-2147483648", true, true, false, -2147483648},
      {u"-2147483649", true, false, false, -2147483649},
      {u"9223372036854775807", true, false, false, std::numeric_limits<int64_t>::max()},
      {u"-9223372036854775808", true, false, false, std::numeric_limits<int64_t>::min()},
      {u"+5", false, false, false, 0},
      {u"5 ", false, false, false, 0},
      {u" 5", false, false, false, 0},
      {u"-", false, false, false, 0},
      {u"", false, false, false, 0},
      {u"1.0", false, false, false, 0},
      {u"--1", false, false, false, 0},
  };
  for (const Case& c : cases) {
    int64_t value = -1;
    EXPECT_EQ(SQLStrToLargeInt(c.Text, value), c.LargeInt) << U8(c.Text);
    EXPECT_EQ(value, c.Value) << U8(c.Text);
    EXPECT_EQ(IsALargeInt(c.Text), c.LargeInt) << U8(c.Text);
    EXPECT_EQ(IsAnInteger(c.Text, true), c.Integer) << U8(c.Text);
    EXPECT_EQ(IsAnInteger(c.Text, false), c.NonNegative) << U8(c.Text);
  }
  // Digits beyond 64 bits have the right form but cannot be converted.
  int64_t value = 0;
  ExpectConversionError([&] { SQLStrToLargeInt(u"9223372036854775808", value); });
  ExpectConversionError([&] { SQLStrToLargeInt(u"-99999999999999999999", value); });
  EXPECT_FALSE(IsALargeInt(u"9223372036854775808"));
  EXPECT_FALSE(IsAnInteger(u"99999999999999999999", true));
}

TEST(SQLLiterals, CharacterCodes) {
  char16_t c = 1;
  EXPECT_TRUE(SQLStrToUnsignedChar(u"#13", c));
  EXPECT_EQ(c, 13);
  EXPECT_TRUE(SQLStrToUnsignedChar(u"#65535", c));
  EXPECT_EQ(c, 65535);
  EXPECT_FALSE(SQLStrToUnsignedChar(u"13", c));
  EXPECT_FALSE(SQLStrToUnsignedChar(u"#65536", c));
  EXPECT_EQ(c, 0);
  EXPECT_FALSE(SQLStrToUnsignedChar(u"#", c));
  EXPECT_TRUE(IsAnUnsignedChar(u"#65535"));
  EXPECT_TRUE(IsAnUnsignedChar(u"65"));
  EXPECT_FALSE(IsAnUnsignedChar(u"#65536"));
  EXPECT_FALSE(IsAnUnsignedChar(u"#-1"));
  EXPECT_FALSE(IsAnUnsignedChar(u"#99999999999999999999"));
}

TEST(SQLLiterals, Booleans) {
  EXPECT_EQ(BooleanToSQLStr(true), u"TRUE");
  EXPECT_EQ(BooleanToSQLStr(false), u"FALSE");
  bool value = false;
  EXPECT_TRUE(SQLStrToBoolean(u"true", value));
  EXPECT_TRUE(value);
  EXPECT_TRUE(SQLStrToBoolean(u"False", value));
  EXPECT_FALSE(value);
  value = true;
  EXPECT_FALSE(SQLStrToBoolean(u"yes", value));
  EXPECT_FALSE(SQLStrToBoolean(u" TRUE", value));
  EXPECT_TRUE(value);  // left untouched
}

TEST(SQLLiterals, FloatsAreWrittenInTheGeneralForm) {
  struct Case {
    double Value;
    const char16_t* Text;
  } cases[] = {
      {1.5, u"1.5"},
      {0.0001, u"0.0001"},
      {0.00001, u"0.00001"},
      {0.0000099, u"9.9E-6"},
      {1e20, u"1E20"},
      {1.25e-10, u"1.25E-10"},
      {-1.25e-10, u"-1.25E-10"},
      {123456789012345.0, u"123456789012345"},
      {1e15, u"1E15"},
      {1234567890123456.0, u"1.234567890123456E15"},
      {100.0, u"100"},
      {-2.5, u"-2.5"},
      {0.1, u"0.1"},
      {1.0 / 3.0, u"0.3333333333333333"},
      {0.0, u"0"},
      {-0.0, u"-0"},
      {std::numeric_limits<double>::max(), u"1.7976931348623157E308"},
      {std::numeric_limits<double>::denorm_min(), u"5E-324"},
      {std::numeric_limits<double>::quiet_NaN(), u"NAN"},
      {std::numeric_limits<double>::infinity(), u"INF"},
      {-std::numeric_limits<double>::infinity(), u"-INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToSQLStr(c.Value), c.Text);
    EXPECT_EQ(FloatToString(c.Value), c.Text);
  }
}

TEST(SQLLiterals, FloatTextReadsBackToTheSameDouble) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (std::isnan(value)) continue;
    const TORVString text = FloatToSQLStr(value);
    double back = 0;
    ASSERT_TRUE(SQLStrToFloat(text, back)) << U8(text);
    ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(value)) << U8(text);
  }
}

TEST(SQLLiterals, FloatReaderChecksItsCharacters) {
  struct Case {
    const char16_t* Text;
    double Value;
  } good[] = {
      {u"1.5e-3", 0.0015}, {u"1.5E+3", 1500}, {u"-2", -2}, {u" 1.5 ", 1.5}, {u".5", 0.5},
      {u"+INF", std::numeric_limits<double>::infinity()},  {u"-inf", -std::numeric_limits<double>::infinity()},
      {u"1e-400", 0},
  };
  for (const Case& c : good) {
    double value = -1;
    EXPECT_TRUE(SQLStrToFloat(c.Text, value)) << U8(c.Text);
    EXPECT_EQ(value, c.Value) << U8(c.Text);
    EXPECT_TRUE(IsAFloat(c.Text));
  }
  double value = -1;
  EXPECT_TRUE(SQLStrToFloat(u"nan", value));
  EXPECT_TRUE(std::isnan(value));
  for (const char16_t* bad : {u"1.5.5", u"1e5e5", u"+5", u"1,5", u"", u"abc", u"1e5+-", u"--1", u"1 5"}) {
    value = -1;
    EXPECT_FALSE(SQLStrToFloat(bad, value)) << U8(bad);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(IsAFloat(bad)) << U8(bad);
  }
  // The right characters in a form that is no number, or beyond the range.
  for (const char16_t* failing : {u"-", u".", u"e5", u"1e400", u"1e5.5"}) {
    ExpectConversionError([&] { SQLStrToFloat(failing, value); });
    EXPECT_FALSE(IsAFloat(failing)) << U8(failing);
  }
}

TEST(SQLLiterals, NumberTextIgnoresTheProcessLocale) {
  // The engine's number format is fixed; a process locale with a decimal
  // comma (where one is installed) must not leak into SQL text.
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) break;
  }
  EXPECT_EQ(FloatToSQLStr(1.5), u"1.5");
  EXPECT_EQ(FloatToString(1.5), u"1.5");
  EXPECT_EQ(DecimalToSQLStr(Curr(15000), 2), u"1.50");
  double value = 0;
  EXPECT_TRUE(SQLStrToFloat(u"1.5", value));
  EXPECT_EQ(value, 1.5);
  EXPECT_FALSE(IsAFloat(u"1,5"));
  std::setlocale(LC_ALL, previous.c_str());
}

TEST(SQLLiterals, DecimalsWriteAtLeastTheirScale) {
  EXPECT_EQ(DecimalToSQLStr(Curr(120000), 2), u"12.00");
  EXPECT_EQ(DecimalToSQLStr(Curr(123450), 2), u"12.345");
  EXPECT_EQ(DecimalToSQLStr(Curr(123450), 0), u"12.345");
  EXPECT_EQ(DecimalToSQLStr(Curr(-5000), 1), u"-0.5");
  EXPECT_EQ(DecimalToSQLStr(Curr(0), 4), u"0.0000");
  EXPECT_EQ(DecimalToString(Curr(125000)), u"12.5");
  EXPECT_EQ(DecimalToString(Curr(120000)), u"12");
  EXPECT_EQ(DecimalToString(Curr(-1)), u"-0.0001");
  EXPECT_EQ(DecimalToString(Curr(std::numeric_limits<int64_t>::min())), u"-922337203685477.5808");

  struct Case {
    const char16_t* Text;
    int64_t Scaled;
  } good[] = {
      {u"12.34", 123400},      {u"-12", -120000},      {u"12.34565", 123457}, {u"-1.00005", -10001},
      {u"1.00004", 10000},     {u"0.5", 5000},         {u".5", 5000},         {u"5.", 50000},
      {u"922337203685477.5807", std::numeric_limits<int64_t>::max()},
  };
  for (const Case& c : good) {
    TORVCurrency value = Curr(-1);
    EXPECT_TRUE(SQLStrToDecimal(c.Text, value)) << U8(c.Text);
    EXPECT_EQ(value.Scaled(), c.Scaled) << U8(c.Text);
  }
  for (const char16_t* bad : {u"1e5", u" 1", u"1.2.3", u"+1", u"", u"1,5", u"1-"}) {
    TORVCurrency value = Curr(-1);
    EXPECT_FALSE(SQLStrToDecimal(bad, value)) << U8(bad);
    EXPECT_EQ(value.Scaled(), 0);
  }
  TORVCurrency value;
  for (const char16_t* failing : {u"-", u".", u"922337203685478", u"99999999999999999999"}) {
    ExpectConversionError([&] { SQLStrToDecimal(failing, value); });
  }
}

TEST(SQLLiterals, DisplayNumberConversions) {
  EXPECT_EQ(IntToString(int32_t{-42}), u"-42");
  EXPECT_EQ(IntToString(std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(ByteToHexString(0x0A), u"0A");
  EXPECT_EQ(IntToHexString(255), u"000000FF");
  EXPECT_EQ(IntToHexString(-1), u"FFFFFFFF");

  struct SizeCase {
    int64_t Bytes;
    const char16_t* Text;
  } sizes[] = {
      {0, u"0B"},
      {1023, u"1023B"},
      {1024, u"1KB"},
      {1536, u"1.5KB"},
      {1029, u"1KB"},           // 1.0048... rounds to 1.00
      {1030, u"1.01KB"},        // 1.0058... rounds up
      {1048576 + 524288, u"1.5MB"},
      {int64_t{5} << 30, u"5GB"},
      {int64_t{3} << 40, u"3TB"},
      {std::numeric_limits<int64_t>::max(), u"8388608TB"},
  };
  for (const SizeCase& c : sizes) EXPECT_EQ(BytesToString(c.Bytes), c.Text) << c.Bytes;
}

TEST(SQLLiterals, PlatformConversionsRaiseOnBadText) {
  EXPECT_EQ(StringToInt(u"42"), 42);
  EXPECT_EQ(StringToInt(u"-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StringToInt(u"$FF"), 255);
  EXPECT_EQ(StringToInt(u"0x10"), 16);
  EXPECT_EQ(StringToInt(u"+7"), 7);
  EXPECT_EQ(StringToLargeInt(u"-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_TRUE(StringToBool(u"True"));
  EXPECT_FALSE(StringToBool(u"false"));
  EXPECT_FALSE(StringToBool(u"0"));
  EXPECT_TRUE(StringToBool(u"-1"));
  EXPECT_EQ(StringToDecimal(u"12.5").Scaled(), 125000);
  EXPECT_EQ(StringToFloat(u"1.5"), 1.5);
  EXPECT_EQ(StringToFloat(u"+2.5e1"), 25.0);
  EXPECT_EQ(HexStringToByte(u"$FF"), 255);
  EXPECT_EQ(HexStringToByte(u"0x0a"), 10);

  ExpectConversionError([] { StringToInt(u"abc"); });
  ExpectConversionError([] { StringToInt(u"2147483648"); });
  ExpectConversionError([] { StringToInt(u""); });
  ExpectConversionError([] { StringToLargeInt(u"9223372036854775808"); });
  ExpectConversionError([] { StringToBool(u"yes"); });
  ExpectConversionError([] { StringToDecimal(u"1e5"); });
  ExpectConversionError([] { StringToFloat(u"x"); });
  ExpectConversionError([] { HexStringToByte(u"0x1FF"); });
  try {
    StringToInt(u"abc");
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorMsg(), u"An error occurred with the value abc (A conversion error occurred with the value abc)");
  }
}

TEST(SQLLiterals, TestsNeverRaiseOnMalformedText) {
  const char16_t* texts[] = {u"",   u"-",  u".",  u"#",     u"1e99999",  u"e",  u"-.",   u"1e5.5",
                             u"1 : :", u"--", u"\t", u"\xFFFF", u"-99999999999999999999-1", u"1 1:1:1.1111"};
  for (const char16_t* text : texts) {
    EXPECT_NO_THROW({
      EXPECT_FALSE(IsAnInteger(text, true));
      EXPECT_FALSE(IsALargeInt(text));
      EXPECT_FALSE(IsAnUnsignedChar(text));
      EXPECT_FALSE(IsAFloat(text));
      EXPECT_FALSE(IsADate(text));
      EXPECT_FALSE(IsATime(text));
      EXPECT_FALSE(IsATimeStamp(text));
      EXPECT_FALSE(IsAYearMonthInterval(text, stYearToMonth));
      for (TORVSubTypeCode subType : {stDayToMSecond, stHourToMinute, stMSecond}) {
        EXPECT_FALSE(IsADayTimeInterval(text, subType));
      }
    }) << U8(text);
  }
}

}  // namespace
}  // namespace orv
