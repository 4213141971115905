// Dates, times, time stamps and intervals kept as plain integers, and the
// calendar work on them.
//
//   Date       int32  day number, 1 = 0001-01-01 (proleptic Gregorian); 0 = no date
//   Time       int32  milliseconds since midnight, 0 .. 86,399,999
//   TimeStamp  int64  Date x 86,400,000 + Time
//   year-month interval  int32  signed months
//   day-time interval    int64  signed milliseconds
//
// Interval arithmetic takes the interval's subtype (core/orvtypefunc.h),
// which decides the fields that take part.
#pragma once

#include <array>
#include <cstdint>

#include "base/orvtype.h"
#include "core/orvtypefunc.h"

namespace orv {

inline constexpr int64_t MSecsPerDay = 86400000;
inline constexpr int64_t MSecsPerHour = 3600000;
inline constexpr int64_t MSecsPerMinute = 60000;
inline constexpr int64_t MSecsPerSecond = 1000;
// 100000-12-31, the last valid day.
inline constexpr int32_t MaxDate = 36524250;
// 1899-12-30, day 0 of the platform date-time type.
inline constexpr int32_t NativeDateDelta = 693594;

// Fields are signed and may lie out of range before normalisation.
struct TORVParsedDate {
  int32_t Year = 0;
  int32_t Month = 0;
  int32_t Day = 0;
  bool operator==(const TORVParsedDate&) const = default;
};

struct TORVParsedTime {
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;
  int32_t MSecond = 0;
  bool operator==(const TORVParsedTime&) const = default;
};

struct TORVParsedTimeStamp {
  TORVParsedDate ParsedDate;
  TORVParsedTime ParsedTime;
  bool operator==(const TORVParsedTimeStamp&) const = default;
};

struct TORVParsedYearMonthInterval {
  int32_t Years = 0;
  int32_t Months = 0;
  bool operator==(const TORVParsedYearMonthInterval&) const = default;
};

// Days is 64-bit: a leading Day field of a 64-bit millisecond interval can
// exceed 32 bits, and truncating it would change the interval.
struct TORVParsedDayTimeInterval {
  int64_t Days = 0;
  int64_t Hours = 0;
  int64_t Minutes = 0;
  int64_t Seconds = 0;
  int64_t MSeconds = 0;
  bool operator==(const TORVParsedDayTimeInterval&) const = default;
};

// Days per month, indexed by [leap year][month - 1].
using TORVDayTable = std::array<std::array<int32_t, 12>, 2>;
inline constexpr TORVDayTable DayTable = {{
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
}};

bool IsLeapYear(int32_t Year);
// Length of Month (1..12) in Year.
int32_t DaysInMonth(int32_t Year, int32_t Month);

// Conversions between the stored forms.
int64_t DateToTimeStamp(int32_t Date, bool EndOfDay);
int64_t TimeToTimeStamp(int32_t Time);
int32_t DateFromTimeStamp(int64_t TimeStamp);
int32_t TimeFromTimeStamp(int64_t TimeStamp);
int32_t DateToMonths(int32_t Date);

// Splitting into fields. A date of 0 or less gives 0/0/0; a day number far
// beyond the last valid day decodes as that day.
TORVParsedDate ParseDate(int32_t Date);
TORVParsedTime ParseTime(int32_t Time);
TORVParsedTimeStamp ParseTimeStamp(int64_t TimeStamp);
TORVParsedYearMonthInterval ParseYearMonthInterval(int32_t Interval, TORVSubTypeCode SubType);
TORVParsedDayTimeInterval ParseDayTimeInterval(int64_t Interval, TORVSubTypeCode SubType);

// Building from fields. Each clears its output first and returns False when
// the fields do not make a valid value; with Clamp a day beyond the month's
// length is taken as its last day. The interval builders fail only when the
// result does not fit its integer.
bool MakeDate(const TORVParsedDate& ParsedDate, int32_t& Date, bool Clamp);
bool MakeTime(const TORVParsedTime& ParsedTime, int32_t& Time);
bool MakeTimeStamp(const TORVParsedTimeStamp& ParsedTimeStamp, int64_t& TimeStamp, bool Clamp);
bool MakeYearMonthInterval(const TORVParsedYearMonthInterval& Parsed, int32_t& Interval);
bool MakeDayTimeInterval(const TORVParsedDayTimeInterval& Parsed, int64_t& Interval);

// Normalisation after field arithmetic: borrows and carries between fields.
// The hour of a time is left unbounded (MakeTime rejects it); a time stamp
// carries whole days into its date.
void AdjustParsedDate(TORVParsedDate& ParsedDate, bool Clamp);
void AdjustParsedTime(TORVParsedTime& ParsedTime);
void AdjustParsedTimeStamp(TORVParsedTimeStamp& ParsedTimeStamp, bool Clamp);

// Interval arithmetic. Year-month arithmetic clamps to the month's last day
// (2024-01-31 + 1 month = 2024-02-29). A time wraps modulo 24 hours and
// ignores the interval's days. A date or time stamp (given or resulting)
// outside 0001-01-01 .. 100000-12-31 raises the range error (ORV_VALUE_ERROR).
int32_t AddYearMonthIntervalToDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType);
int64_t AddYearMonthIntervalToTimeStamp(int64_t TimeStamp, int32_t Interval, TORVSubTypeCode SubType);
int32_t AddDayTimeIntervalToTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType);
int64_t AddDayTimeIntervalToTimeStamp(int64_t TimeStamp, int64_t Interval, TORVSubTypeCode SubType);
int32_t SubtractYearMonthIntervalFromDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType);
int64_t SubtractYearMonthIntervalFromTimeStamp(int64_t TimeStamp, int32_t Interval,
                                               TORVSubTypeCode SubType);
int32_t SubtractDayTimeIntervalFromTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType);
int64_t SubtractDayTimeIntervalFromTimeStamp(int64_t TimeStamp, int64_t Interval,
                                             TORVSubTypeCode SubType);

// Differences, first minus second, cut to the subtype's fields.
int64_t SubtractDateFromDateAsDayTimeInterval(int32_t Date1, int32_t Date2, TORVSubTypeCode SubType);
int32_t SubtractDateFromDateAsYearMonthInterval(int32_t Date1, int32_t Date2, TORVSubTypeCode SubType);
int64_t SubtractTimeFromTimeAsDayTimeInterval(int32_t Time1, int32_t Time2, TORVSubTypeCode SubType);
int64_t SubtractTimeStampFromTimeStampAsDayTimeInterval(int64_t TimeStamp1, int64_t TimeStamp2,
                                                        TORVSubTypeCode SubType);

// Only single-field intervals are scaled; multi-field ones come back as they
// are. Division truncates toward zero. A result that does not fit the
// interval's integer, or a divisor of 0, raises the range error (ORV_VALUE_ERROR).
int32_t MultiplyYearMonthInterval(int64_t Factor, int32_t Interval, TORVSubTypeCode SubType);
int64_t MultiplyDayTimeInterval(int64_t Factor, int64_t Interval, TORVSubTypeCode SubType);
int32_t DivideYearMonthInterval(int64_t Divisor, int32_t Interval, TORVSubTypeCode SubType);
int64_t DivideDayTimeInterval(int64_t Divisor, int64_t Interval, TORVSubTypeCode SubType);

// The system clock in UTC or local time, to the millisecond.
int32_t CurrentDate(bool UTC);
int32_t CurrentTime(bool UTC);
int64_t CurrentTimeStamp(bool UTC);
// The local year.
int32_t GetCurrentYear();

// The platform date-time type: a double counting days from 1899-12-30 with
// the time of day as its fraction (negative values keep a positive time).
// A value that is not finite or lies beyond the valid dates raises ORV_VALUE_ERROR.
int64_t NativeDateTimeToTimeStamp(double DateTime);
int32_t NativeDateToDate(double DateTime);
int32_t NativeTimeToTime(double DateTime);
// A time stamp whose day is 0 converts as a time on 1899-12-30.
double TimeStampToNativeDateTime(int64_t TimeStamp);
double DateToNativeDate(int32_t Date);
double TimeToNativeTime(int32_t Time);

// Replaces the milliseconds of Time; an MSeconds outside 0..999 makes it 0.
void SetMilliSeconds(int32_t& Time, int32_t MSeconds);
// Whole seconds from the first to the second, truncated toward zero.
int64_t GetSecondsBetween(int64_t TimeStamp1, int64_t TimeStamp2);
// A readable duration such as "1 Hour, 0 Minutes, 40 Seconds ".
TORVString TextTimeInterval(int64_t Seconds);

int32_t LastDayOfMonth(int32_t Date);
// Which: 1..4 the first to fourth, 5 the last; DayOfWeek: 1 Monday .. 7 Sunday.
bool IsDayofMonth(int32_t Date, int32_t Which, int32_t DayOfWeek);
int32_t ISODayOfWeek(int32_t Date);
int32_t ISODayOfYear(int32_t Date);
int32_t ISOBeginOfYear(int32_t Year);
int32_t ISOWeekNumber(int32_t Date);

}  // namespace orv
