#include "core/orvdatetime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

int32_t D(int32_t Year, int32_t Month, int32_t Day) {
  int32_t date = 0;
  EXPECT_TRUE(MakeDate({Year, Month, Day}, date, false)) << Year << "-" << Month << "-" << Day;
  return date;
}

int32_t T(int32_t Hour, int32_t Minute, int32_t Second = 0, int32_t MSecond = 0) {
  int32_t time = 0;
  EXPECT_TRUE(MakeTime({Hour, Minute, Second, MSecond}, time));
  return time;
}

int64_t TS(int32_t Year, int32_t Month, int32_t Day, int32_t Hour, int32_t Minute, int32_t Second = 0,
           int32_t MSecond = 0) {
  return DateToTimeStamp(D(Year, Month, Day), false) + T(Hour, Minute, Second, MSecond);
}

// Runs Action and returns the range error it must raise.
template <typename F>
EORVException ExpectRangeError(F Action) {
  try {
    Action();
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 1011);
    return e;
  }
  ADD_FAILURE() << "no range error raised";
  return EORVException(0, u"");
}

TEST(DateTime, ParseDateAndMakeDateAgreeOverTheWholeRange) {
  // Every valid day decodes to the calendar day after the previous one, and
  // encodes back to its own number.
  TORVParsedDate expected{1, 1, 1};
  int32_t leap = 0;
  for (int32_t date = 1; date <= MaxDate; ++date) {
    const TORVParsedDate p = ParseDate(date);
    int32_t back = 0;
    if (!(p == expected) || !MakeDate(p, back, false) || back != date) {
      FAIL() << "day " << date << " decodes to " << p.Year << "-" << p.Month << "-" << p.Day;
    }
    if (++expected.Day > DayTable[leap][expected.Month - 1]) {
      expected.Day = 1;
      if (++expected.Month > 12) {
        expected.Month = 1;
        leap = IsLeapYear(++expected.Year) ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(expected, (TORVParsedDate{100001, 1, 1}));
}

TEST(DateTime, ParseDateOfKnownDaysAndOutOfRangeNumbers) {
  EXPECT_EQ(ParseDate(1), (TORVParsedDate{1, 1, 1}));
  EXPECT_EQ(ParseDate(719163), (TORVParsedDate{1970, 1, 1}));
  EXPECT_EQ(ParseDate(738945), (TORVParsedDate{2024, 2, 29}));
  EXPECT_EQ(ParseDate(0), TORVParsedDate{});
  EXPECT_EQ(ParseDate(-5), TORVParsedDate{});
  // Day numbers whose 400-year cycle lies beyond the last year decode as
  // the last valid day; those just past it decode as their own fields.
  EXPECT_EQ(ParseDate(36670347), (TORVParsedDate{100000, 12, 31}));
  EXPECT_EQ(ParseDate(std::numeric_limits<int32_t>::max()), (TORVParsedDate{100000, 12, 31}));
  EXPECT_EQ(ParseDate(MaxDate + 1), (TORVParsedDate{100001, 1, 1}));
}

TEST(DateTime, MakeDateValidatesFieldsAndClampsOnlyWhenAsked) {
  struct Case {
    TORVParsedDate Fields;
    bool Clamp;
    bool Ok;
    int32_t Date;
  } cases[] = {
      {{1, 1, 1}, false, true, 1},
      {{100000, 12, 31}, false, true, MaxDate},
      {{100001, 1, 1}, false, false, 0},
      {{2023, 2, 29}, false, false, 0},
      {{2023, 2, 29}, true, true, 738579},  // 2023-02-28
      {{2024, 2, 29}, false, true, 738945},
      {{1900, 2, 29}, false, false, 0},
      {{2000, 2, 29}, false, true, 730179},
      {{2024, 13, 1}, true, false, 0},
      {{2024, 0, 1}, true, false, 0},
      {{2024, 1, 0}, true, false, 0},
      {{0, 1, 1}, true, false, 0},
      {{-1, 1, 1}, true, false, 0},
  };
  for (const Case& c : cases) {
    int32_t date = -1;
    EXPECT_EQ(MakeDate(c.Fields, date, c.Clamp), c.Ok) << c.Fields.Year << "-" << c.Fields.Month;
    EXPECT_EQ(date, c.Date) << c.Fields.Year << "-" << c.Fields.Month << "-" << c.Fields.Day;
  }
}

TEST(DateTime, TimeFieldsSplitAndBuildWithinTheDay) {
  EXPECT_EQ(ParseTime(T(13, 45, 10, 250)), (TORVParsedTime{13, 45, 10, 250}));
  EXPECT_EQ(ParseTime(86399999), (TORVParsedTime{23, 59, 59, 999}));
  int32_t time = -1;
  EXPECT_FALSE(MakeTime({24, 0, 0, 0}, time));
  EXPECT_EQ(time, 0);
  EXPECT_FALSE(MakeTime({10, 60, 0, 0}, time));
  EXPECT_FALSE(MakeTime({10, 0, 0, 1000}, time));
  EXPECT_FALSE(MakeTime({-1, 0, 0, 0}, time));

  int64_t stamp = -1;
  EXPECT_TRUE(MakeTimeStamp({{2024, 2, 30}, {1, 2, 3, 4}}, stamp, true));
  EXPECT_EQ(stamp, TS(2024, 2, 29, 1, 2, 3, 4));
  EXPECT_FALSE(MakeTimeStamp({{2024, 2, 30}, {1, 2, 3, 4}}, stamp, false));
  EXPECT_EQ(stamp, 0);
  EXPECT_EQ(ParseTimeStamp(TS(2024, 5, 6, 13, 45, 10, 250)),
            (TORVParsedTimeStamp{{2024, 5, 6}, {13, 45, 10, 250}}));
}

TEST(DateTime, StoredFormConversionsWidenBeforeMultiplying) {
  const int32_t date = D(2024, 5, 6);
  EXPECT_EQ(DateToTimeStamp(date, false), int64_t{date} * 86400000);
  EXPECT_EQ(DateToTimeStamp(date, true), DateToTimeStamp(date + 1, false) - 1);
  EXPECT_EQ(DateToTimeStamp(MaxDate, true), int64_t{MaxDate + 1} * 86400000 - 1);
  EXPECT_EQ(DateFromTimeStamp(TS(2024, 5, 6, 23, 59, 59, 999)), date);
  EXPECT_EQ(TimeFromTimeStamp(TS(2024, 5, 6, 23, 59, 59, 999)), 86399999);
  EXPECT_EQ(DateToMonths(date), 2024 * 12 + 4);
}

TEST(DateTime, AdjustBorrowsAndCarriesBetweenFields) {
  struct DateCase {
    TORVParsedDate In;
    bool Clamp;
    TORVParsedDate Out;
  } dates[] = {
      {{2024, 3, 0}, false, {2024, 2, 29}},
      {{2024, 1, -30}, false, {2023, 12, 1}},
      {{2024, 14, 31}, false, {2025, 3, 3}},   // February 2025 has 28 days
      {{2024, 14, 31}, true, {2025, 2, 28}},
      {{2024, -1, 15}, true, {2023, 11, 15}},
      {{2024, 0, 0}, false, {2023, 11, 30}},
      {{2024, 12, 400}, false, {2026, 1, 4}},
  };
  for (const DateCase& c : dates) {
    TORVParsedDate d = c.In;
    AdjustParsedDate(d, c.Clamp);
    EXPECT_EQ(d, c.Out) << c.In.Year << "-" << c.In.Month << "-" << c.In.Day;
  }

  TORVParsedTime t{0, 59, 59, 1500};
  AdjustParsedTime(t);
  EXPECT_EQ(t, (TORVParsedTime{1, 0, 0, 500}));
  t = {1, -90, 0, -1};
  AdjustParsedTime(t);
  EXPECT_EQ(t, (TORVParsedTime{-1, 29, 59, 999}));  // the hour stays out of range

  TORVParsedTimeStamp s{{2024, 12, 31}, {23, 59, 59, 1000}};
  AdjustParsedTimeStamp(s, true);
  EXPECT_EQ(s, (TORVParsedTimeStamp{{2025, 1, 1}, {0, 0, 0, 0}}));
  s = {{2024, 3, 1}, {-1, 0, 0, 0}};
  AdjustParsedTimeStamp(s, false);
  EXPECT_EQ(s, (TORVParsedTimeStamp{{2024, 2, 29}, {23, 0, 0, 0}}));
  s = {{2024, 2, 31}, {10, 0, 0, 0}};
  AdjustParsedTimeStamp(s, true);
  EXPECT_EQ(s, (TORVParsedTimeStamp{{2024, 2, 29}, {10, 0, 0, 0}}));
  s = {{2024, 2, 31}, {10, 0, 0, 0}};
  AdjustParsedTimeStamp(s, false);
  EXPECT_EQ(s, (TORVParsedTimeStamp{{2024, 3, 2}, {10, 0, 0, 0}}));
}

TEST(DateTime, IntervalsSplitIntoTheirSubtypeFields) {
  struct YMCase {
    int32_t Interval;
    TORVSubTypeCode SubType;
    TORVParsedYearMonthInterval Fields;
  } ym[] = {
      {14, stMonth, {0, 14}},      {14, stYear, {1, 0}},        {14, stYearToMonth, {1, 2}},
      {-14, stYearToMonth, {-1, -2}}, {-14, stYear, {-1, 0}},   {14, 5, {0, 0}},
  };
  for (const YMCase& c : ym) EXPECT_EQ(ParseYearMonthInterval(c.Interval, c.SubType), c.Fields) << c.SubType;

  struct DTCase {
    int64_t Interval;
    TORVSubTypeCode SubType;
    TORVParsedDayTimeInterval Fields;
  } dt[] = {
      {93784005, stDayToMSecond, {1, 2, 3, 4, 5}},
      {93784005, stDayToSecond, {1, 2, 3, 4, 0}},
      {93784005, stDay, {1, 0, 0, 0, 0}},
      {93784005, stHourToMinute, {0, 26, 3, 0, 0}},
      {-90000, stMinuteToSecond, {0, 0, -1, -30, 0}},
      {-1800000, stHourToMinute, {0, 0, -30, 0, 0}},
      {4005, stSecondToMSecond, {0, 0, 0, 4, 5}},
      {4005, stMSecond, {0, 0, 0, 0, 4005}},
      {180000000, stHour, {0, 50, 0, 0, 0}},
      {93784005, 40, {}},  // not a contiguous run of fields
      // A leading day count beyond 32 bits stays exact.
      {std::numeric_limits<int64_t>::max(), stDay, {106751991167, 0, 0, 0, 0}},
  };
  for (const DTCase& c : dt) {
    EXPECT_EQ(ParseDayTimeInterval(c.Interval, c.SubType), c.Fields) << c.Interval << " " << c.SubType;
  }

  int64_t interval = 0;
  EXPECT_TRUE(MakeDayTimeInterval({1, 2, 3, 4, 5}, interval));
  EXPECT_EQ(interval, 93784005);
  EXPECT_FALSE(MakeDayTimeInterval({std::numeric_limits<int64_t>::max(), 0, 0, 0, 0}, interval));
  EXPECT_EQ(interval, 0);
  int32_t months = 0;
  EXPECT_TRUE(MakeYearMonthInterval({-1, -2}, months));
  EXPECT_EQ(months, -14);
  EXPECT_FALSE(MakeYearMonthInterval({std::numeric_limits<int32_t>::max(), 0}, months));
}

TEST(DateTime, YearMonthArithmeticClampsToTheMonthEnd) {
  struct Case {
    int32_t From;
    int32_t Interval;
    TORVSubTypeCode SubType;
    bool Subtract;
    int32_t To;
  } cases[] = {
      {D(2024, 1, 31), 1, stMonth, false, D(2024, 2, 29)},
      {D(2023, 1, 31), 1, stMonth, false, D(2023, 2, 28)},
      {D(2024, 2, 29), 12, stMonth, false, D(2025, 2, 28)},
      {D(2024, 2, 29), 12, stYear, false, D(2025, 2, 28)},
      {D(2024, 5, 31), 14, stYear, false, D(2025, 5, 31)},  // Year drops the 2 months
      {D(2024, 5, 31), 14, stYearToMonth, false, D(2025, 7, 31)},
      {D(2024, 3, 31), 1, stMonth, true, D(2024, 2, 29)},
      {D(2024, 1, 15), 13, stMonth, true, D(2022, 12, 15)},
      {D(2024, 1, 15), -13, stYearToMonth, false, D(2022, 12, 15)},
      {D(2024, 1, 15), 7, 99, false, D(2024, 1, 15)},  // an invalid subtype has no fields
  };
  for (const Case& c : cases) {
    const int32_t to = c.Subtract ? SubtractYearMonthIntervalFromDate(c.From, c.Interval, c.SubType)
                                  : AddYearMonthIntervalToDate(c.From, c.Interval, c.SubType);
    EXPECT_EQ(to, c.To) << c.From << " " << c.Interval << " " << c.SubType;
  }
  EXPECT_EQ(AddYearMonthIntervalToTimeStamp(TS(2024, 1, 31, 13, 45, 10, 250), 1, stMonth),
            TS(2024, 2, 29, 13, 45, 10, 250));
  EXPECT_EQ(SubtractYearMonthIntervalFromTimeStamp(TS(2024, 3, 31, 0, 0, 0, 1), 1, stMonth),
            TS(2024, 2, 29, 0, 0, 0, 1));
}

TEST(DateTime, DayTimeArithmeticOnTimeStampsCarriesIntoTheDate) {
  EXPECT_EQ(AddDayTimeIntervalToTimeStamp(TS(2024, 12, 31, 23, 0), 93600000, stDayToHour),
            TS(2025, 1, 2, 1, 0));
  EXPECT_EQ(SubtractDayTimeIntervalFromTimeStamp(TS(2025, 1, 2, 1, 0), 93600000, stDayToHour),
            TS(2024, 12, 31, 23, 0));
  // Fields outside the subtype do not take part.
  EXPECT_EQ(AddDayTimeIntervalToTimeStamp(TS(2024, 2, 28, 12, 0), 93784005, stDay), TS(2024, 2, 29, 12, 0));
  EXPECT_EQ(AddDayTimeIntervalToTimeStamp(TS(2024, 2, 28, 12, 0), -1, stMSecond),
            TS(2024, 2, 28, 11, 59, 59, 999));
}

TEST(DateTime, TimeArithmeticWrapsAroundMidnight) {
  struct Case {
    int32_t From;
    int64_t Interval;
    TORVSubTypeCode SubType;
    bool Subtract;
    int32_t To;
  } cases[] = {
      {T(23, 0), 7200000, stHour, false, T(1, 0)},
      {T(0, 30), 3600000, stHour, true, T(23, 30)},
      {T(10, 0), 93600000, stDayToHour, false, T(12, 0)},  // the day is ignored
      {T(10, 0), 93600000, stHour, false, T(12, 0)},       // 26 hours
      {T(10, 0), -90000, stMinuteToSecond, false, T(9, 58, 30)},
      {T(0, 0), std::numeric_limits<int64_t>::min(), stMSecond, false, 60424192},
      {T(23, 59, 59, 999), 1, stMSecond, false, 0},
  };
  for (const Case& c : cases) {
    const int32_t to = c.Subtract ? SubtractDayTimeIntervalFromTime(c.From, c.Interval, c.SubType)
                                  : AddDayTimeIntervalToTime(c.From, c.Interval, c.SubType);
    EXPECT_EQ(to, c.To) << c.From << " " << c.Interval;
  }
}

TEST(DateTime, ResultsOutsideTheValidDatesRaiseTheRangeError) {
  EORVException e = ExpectRangeError([] { AddYearMonthIntervalToDate(D(100000, 12, 31), 1, stMonth); });
  EXPECT_NE(e.ErrorMsg().find(u"100001-01-31"), TORVString::npos) << StringToUtf8(e.ErrorMsg());
  EXPECT_NE(e.ErrorMsg().find(u"Date type"), TORVString::npos);

  e = ExpectRangeError([] { SubtractYearMonthIntervalFromDate(D(1, 3, 31), 3, stMonth); });
  EXPECT_NE(e.ErrorMsg().find(u"0000-12-31"), TORVString::npos) << StringToUtf8(e.ErrorMsg());

  e = ExpectRangeError([] { SubtractDayTimeIntervalFromTimeStamp(TS(1, 1, 1, 0, 30), 3600000, stHour); });
  EXPECT_NE(e.ErrorMsg().find(u"0000-12-31 23:30"), TORVString::npos) << StringToUtf8(e.ErrorMsg());
  EXPECT_NE(e.ErrorMsg().find(u"Timestamp type"), TORVString::npos);

  e = ExpectRangeError([] { AddYearMonthIntervalToTimeStamp(TS(100000, 12, 31, 8, 0), 12, stYear); });
  EXPECT_NE(e.ErrorMsg().find(u"100001-12-31 08:00"), TORVString::npos) << StringToUtf8(e.ErrorMsg());

  ExpectRangeError([] {
    AddDayTimeIntervalToTimeStamp(TS(2024, 1, 1, 0, 0), std::numeric_limits<int64_t>::max(), stMSecond);
  });
  // A date of 0 holds no date; arithmetic on it is refused, not answered with 0.
  ExpectRangeError([] { AddYearMonthIntervalToDate(0, 1, stMonth); });
  ExpectRangeError([] { AddDayTimeIntervalToTimeStamp(TimeToTimeStamp(T(10, 0)), 1, stMSecond); });
  EXPECT_NO_THROW(AddYearMonthIntervalToDate(D(100000, 11, 30), 1, stMonth));
}

TEST(DateTime, DifferencesKeepOnlyTheSubtypeFields) {
  EXPECT_EQ(SubtractDateFromDateAsYearMonthInterval(D(2024, 3, 1), D(2024, 2, 29), stMonth), 1);
  EXPECT_EQ(SubtractDateFromDateAsYearMonthInterval(D(2024, 3, 1), D(2024, 2, 29), stYear), 0);
  EXPECT_EQ(SubtractDateFromDateAsYearMonthInterval(D(2022, 1, 1), D(2024, 3, 1), stYear), -24);
  EXPECT_EQ(SubtractDateFromDateAsYearMonthInterval(D(2022, 1, 1), D(2024, 3, 1), stYearToMonth), -26);
  EXPECT_EQ(SubtractDateFromDateAsDayTimeInterval(D(2024, 3, 1), D(2024, 2, 28), stDay), 2 * MSecsPerDay);
  EXPECT_EQ(SubtractDateFromDateAsDayTimeInterval(D(1, 1, 1), D(100000, 12, 31), stDay),
            -int64_t{MaxDate - 1} * MSecsPerDay);
  EXPECT_EQ(SubtractTimeFromTimeAsDayTimeInterval(T(10, 30, 15, 5), T(9, 0), stHourToMinute),
            90 * MSecsPerMinute);
  EXPECT_EQ(SubtractTimeStampFromTimeStampAsDayTimeInterval(TS(2024, 1, 2, 1, 0), TS(2024, 1, 1, 0, 0, 0, 1),
                                                            stHour),
            24 * MSecsPerHour);
}

TEST(DateTime, MultiplyAndDivideScaleSingleFieldIntervalsOnly) {
  EXPECT_EQ(MultiplyYearMonthInterval(3, 14, stYearToMonth), 14);
  EXPECT_EQ(MultiplyYearMonthInterval(3, 14, stMonth), 42);
  EXPECT_EQ(MultiplyYearMonthInterval(3, 14, stYear), 36);
  EXPECT_EQ(DivideYearMonthInterval(4, -14, stMonth), -3);
  EXPECT_EQ(DivideYearMonthInterval(2, 36, stYear), 12);
  EXPECT_EQ(MultiplyDayTimeInterval(2, 93784005, stDayToMSecond), 93784005);
  EXPECT_EQ(MultiplyDayTimeInterval(-2, 3 * MSecsPerDay, stDay), -6 * MSecsPerDay);
  EXPECT_EQ(DivideDayTimeInterval(2, -7 * MSecsPerHour, stHour), -3 * MSecsPerHour);
  EXPECT_EQ(DivideDayTimeInterval(1000, 4005, stMSecond), 4);

  ExpectRangeError([] { MultiplyYearMonthInterval(1000, 1000000000, stMonth); });
  ExpectRangeError([] { MultiplyYearMonthInterval(2, 1200000000, stYear); });
  ExpectRangeError([] { MultiplyDayTimeInterval(int64_t{1} << 40, MSecsPerDay * 1000, stDay); });
  ExpectRangeError([] { DivideDayTimeInterval(-1, std::numeric_limits<int64_t>::min(), stMSecond); });
  ExpectRangeError([] { DivideYearMonthInterval(0, 5, stMonth); });
  ExpectRangeError([] { DivideDayTimeInterval(0, 5, stMSecond); });
}

TEST(DateTime, IsoWeeksAndDays) {
  EXPECT_EQ(ISOWeekNumber(D(2021, 1, 3)), 53);
  EXPECT_EQ(ISOWeekNumber(D(2021, 1, 4)), 1);
  EXPECT_EQ(ISOWeekNumber(D(2024, 12, 30)), 1);  // week 1 of 2025
  EXPECT_EQ(ISOWeekNumber(D(2020, 12, 31)), 53);
  EXPECT_EQ(ISOWeekNumber(D(2024, 5, 6)), 19);
  EXPECT_EQ(ISODayOfWeek(D(2024, 1, 1)), 1);
  EXPECT_EQ(ISODayOfWeek(1), 1);
  EXPECT_EQ(ISODayOfWeek(D(2024, 5, 5)), 7);
  // Day numbers outside the valid range still give a weekday 1..7.
  EXPECT_EQ(ISODayOfWeek(0), 7);
  EXPECT_EQ(ISODayOfWeek(INT32_MIN), 5);
  EXPECT_EQ(ISODayOfYear(D(2024, 12, 31)), 366);
  EXPECT_EQ(ISODayOfYear(D(2023, 1, 1)), 1);
  EXPECT_EQ(ISOBeginOfYear(2021), D(2021, 1, 4));
  EXPECT_EQ(ISOBeginOfYear(2025), D(2024, 12, 30));
  EXPECT_EQ(ISOBeginOfYear(1), 1);

  // Over two centuries the week number changes only on Mondays, by one or
  // back to week 1.
  int32_t previous = ISOWeekNumber(D(1999, 12, 31));
  for (int32_t date = D(2000, 1, 1); date <= D(2200, 12, 31); ++date) {
    const int32_t week = ISOWeekNumber(date);
    if (ISODayOfWeek(date) != 1) {
      ASSERT_EQ(week, previous) << date;
    } else {
      ASSERT_TRUE(week == previous + 1 || (week == 1 && (previous == 52 || previous == 53))) << date;
    }
    previous = week;
  }
}

TEST(DateTime, WeekdayOfMonthForSchedules) {
  struct Case {
    int32_t Date;
    int32_t Which;
    int32_t DayOfWeek;
    bool Result;
  } cases[] = {
      {D(2024, 5, 6), 1, 1, true},   {D(2024, 5, 13), 1, 1, false}, {D(2024, 5, 13), 2, 1, true},
      {D(2024, 5, 27), 4, 1, true},  {D(2024, 5, 27), 5, 1, true},  {D(2024, 5, 20), 5, 1, false},
      {D(2024, 5, 1), 1, 3, true},   {D(2024, 5, 31), 5, 5, true},  {D(2024, 5, 6), 6, 1, false},
      {D(2024, 5, 6), 1, 8, false},  {D(2024, 5, 6), 0, 1, false},  {D(2024, 2, 29), 5, 4, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsDayofMonth(c.Date, c.Which, c.DayOfWeek), c.Result) << c.Date << " " << c.Which;
  }
  EXPECT_EQ(LastDayOfMonth(D(2024, 2, 10)), D(2024, 2, 29));
  EXPECT_EQ(LastDayOfMonth(D(2024, 12, 1)), D(2024, 12, 31));
  EXPECT_EQ(LastDayOfMonth(D(100000, 12, 5)), MaxDate);
}

TEST(DateTime, SmallCalendarHelpers) {
  const int64_t t = TS(2024, 5, 6, 10, 0);
  EXPECT_EQ(GetSecondsBetween(t, t + 1999), 1);
  EXPECT_EQ(GetSecondsBetween(t + 1999, t), -1);

  int32_t time = T(10, 0, 5, 123);
  SetMilliSeconds(time, 7);
  EXPECT_EQ(time, T(10, 0, 5, 7));
  SetMilliSeconds(time, 1000);
  EXPECT_EQ(time, 0);

  EXPECT_EQ(TextTimeInterval(3640), u"1 Hour, 0 Minutes, 40 Seconds ");
  EXPECT_EQ(TextTimeInterval(0), u"");
  EXPECT_EQ(TextTimeInterval(1), u"1 Second ");
  EXPECT_EQ(TextTimeInterval(2678400 + 604800 * 2 + 60),
            u"1 Month, 2  Weeks, 0 Days, 0 Hours, 1 Minute, 0 Seconds ");
}

TEST(DateTime, NativeDateTimeConversions) {
  EXPECT_EQ(NativeDateTimeToTimeStamp(0.0), DateToTimeStamp(NativeDateDelta, false));
  EXPECT_EQ(NativeDateTimeToTimeStamp(45418.5), TS(2024, 5, 6, 12, 0));
  // Negative values count days back but keep the time of day forward.
  EXPECT_EQ(NativeDateTimeToTimeStamp(-1.25), TS(1899, 12, 29, 6, 0));
  EXPECT_EQ(NativeDateTimeToTimeStamp(-0.75), TS(1899, 12, 30, 18, 0));
  EXPECT_EQ(NativeDateToDate(45418.999), D(2024, 5, 6));
  EXPECT_EQ(NativeTimeToTime(0.25), T(6, 0));

  EXPECT_DOUBLE_EQ(TimeStampToNativeDateTime(TS(2024, 5, 6, 12, 0)), 45418.5);
  EXPECT_DOUBLE_EQ(TimeStampToNativeDateTime(TS(1899, 12, 29, 6, 0)), -1.25);
  EXPECT_DOUBLE_EQ(TimeToNativeTime(T(18, 0)), 0.75);
  EXPECT_DOUBLE_EQ(DateToNativeDate(D(1900, 1, 1)), 2.0);
  for (int64_t stamp : {TS(1, 1, 1, 0, 0, 0, 1), TS(1899, 12, 1, 23, 59, 59, 999), TS(2024, 5, 6, 13, 45, 10, 250),
                        TS(9999, 12, 31, 23, 59, 59, 999)}) {
    EXPECT_EQ(NativeDateTimeToTimeStamp(TimeStampToNativeDateTime(stamp)), stamp);
  }

  ExpectRangeError([] { NativeDateTimeToTimeStamp(std::nan("")); });
  ExpectRangeError([] { NativeDateTimeToTimeStamp(1e300); });
  ExpectRangeError([] { NativeDateTimeToTimeStamp(-693595.0); });
}

TEST(DateTime, CurrentTimeStampFollowsTheSystemClock) {
  using namespace std::chrono;
  const int64_t unixMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const int64_t expected = int64_t{719163} * MSecsPerDay + unixMs;
  EXPECT_NEAR(static_cast<double>(CurrentTimeStamp(true)), static_cast<double>(expected), 5000.0);
  EXPECT_EQ(DateFromTimeStamp(CurrentTimeStamp(true)), CurrentDate(true));
  EXPECT_GE(GetCurrentYear(), 2024);
  const int32_t local = CurrentTime(false);
  EXPECT_TRUE(local >= 0 && local < MSecsPerDay);
}

}  // namespace
}  // namespace orv
