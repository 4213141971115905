#include "core/orvdatetime.h"

#include <cmath>
#include <iterator>
#include <limits>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "platform/orvplatformclock.h"
#include "base/orvutf8.h"

namespace orv {

namespace {

// 128-bit intermediates keep products and sums of 64-bit values exact.
__extension__ typedef __int128 TInt128;
__extension__ typedef unsigned __int128 TUInt128;

constexpr int32_t DaysPer400Years = 146097;
constexpr int32_t DaysPer100Years = 36524;
constexpr int32_t DaysPer4Years = 1461;
constexpr int32_t MaxYear = 100000;

// Days before the first of each month, indexed by [leap year][month - 1].
constexpr std::array<std::array<int32_t, 12>, 2> DaysBeforeMonth = {{
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
}};

int64_t FloorDiv(int64_t A, int64_t B) {
  int64_t q = A / B;
  if ((A % B != 0) && ((A < 0) != (B < 0))) --q;
  return q;
}

int64_t FloorMod(int64_t A, int64_t B) {
  int64_t r = A % B;
  if (r != 0 && ((r < 0) != (B < 0))) r += B;
  return r;
}

int32_t SaturateInt32(int64_t Value) {
  if (Value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (Value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(Value);
}

// A remainder is zero whatever the sign, so plain % serves any year.
bool IsLeapYear64(int64_t Year) { return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0; }

int32_t MonthLength(int64_t Year, int32_t Month) {
  return DayTable[IsLeapYear64(Year) ? 1 : 0][Month - 1];
}

// Day number of Year-Month-Day for any year (proleptic, year 0 and before
// included); Month must lie in 1..12, Day may lie outside its month.
int64_t CivilToDayNumber(int64_t Year, int32_t Month, int64_t Day) {
  const int64_t y = Year - 1;
  return y * 365 + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) +
         DaysBeforeMonth[IsLeapYear64(Year) ? 1 : 0][Month - 1] + Day;
}

// The inverse of CivilToDayNumber, for any day number.
void DayNumberToCivil(int64_t DayNumber, int64_t& Year, int32_t& Month, int32_t& Day) {
  int64_t n = DayNumber - 1;
  const int64_t cycles = FloorDiv(n, DaysPer400Years);
  n -= cycles * DaysPer400Years;
  Year = 1 + cycles * 400;
  int64_t k = n / DaysPer100Years;
  if (k == 4) k = 3;
  n -= k * DaysPer100Years;
  Year += 100 * k;
  k = n / DaysPer4Years;
  n -= k * DaysPer4Years;
  Year += 4 * k;
  k = n / 365;
  if (k == 4) k = 3;
  n -= k * 365;
  Year += k;
  const auto& lengths = DayTable[IsLeapYear64(Year) ? 1 : 0];
  Month = 1;
  while (n >= lengths[Month - 1]) {
    n -= lengths[Month - 1];
    ++Month;
  }
  Day = static_cast<int32_t>(n) + 1;
}

// Value in decimal, its digits zero-padded to Width after any sign.
TORVString Digits(TInt128 Value, size_t Width = 0) {
  // Through unsigned so that the most negative value has a magnitude too.
  TUInt128 magnitude = Value < 0 ? 0 - static_cast<TUInt128>(Value) : static_cast<TUInt128>(Value);
  char16_t buffer[48];
  char16_t* first = std::end(buffer);
  do {
    *--first = static_cast<char16_t>(u'0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  TORVString text;
  if (Value < 0) text += u'-';
  const size_t count = static_cast<size_t>(std::end(buffer) - first);
  if (count < Width) text.append(Width - count, u'0');
  text.append(first, std::end(buffer));
  return text;
}

// The fields of a date that may lie outside the valid range, in the SQL
// form, so that an error can name the value that could not be made.
TORVString DateFieldsText(int64_t Year, int32_t Month, int32_t Day) {
  return Digits(Year, 4) + u"-" + Digits(Month, 2) + u"-" + Digits(Day, 2);
}

TORVString DayNumberText(int64_t DayNumber) {
  int64_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  DayNumberToCivil(DayNumber, year, month, day);
  return DateFieldsText(year, month, day);
}

TORVString TimeOfDayText(int64_t Time) {
  return TimeToSQLStr(static_cast<int32_t>(FloorMod(Time, MSecsPerDay)), true);
}

TORVString TimeStampText(int64_t TimeStamp) {
  return DayNumberText(FloorDiv(TimeStamp, MSecsPerDay)) + u" " +
         TimeOfDayText(FloorMod(TimeStamp, MSecsPerDay));
}

[[noreturn]] void RaiseRangeError(const TORVString& ValueText, TORVDataTypeCode DataType,
                                  TORVSubTypeCode SubType) {
  const TORVString detail =
      FormatString(u"The value %s is out of the range of permissible values for the %s type",
                   {ValueText, DataTypeToString(DataType, SubType)});
  RaiseError(ORV_VALUE_ERROR, {u"value", ValueText, detail});
}

void CheckDate(int32_t Date) {
  if (Date < 1 || Date > MaxDate) RaiseRangeError(DayNumberText(Date), dtDate, stNone);
}

bool ValidTimeStamp(int64_t TimeStamp) {
  return TimeStamp >= MSecsPerDay && TimeStamp < (static_cast<int64_t>(MaxDate) + 1) * MSecsPerDay;
}

void CheckTimeStamp(int64_t TimeStamp) {
  if (!ValidTimeStamp(TimeStamp)) RaiseRangeError(TimeStampText(TimeStamp), dtTimeStamp, stNone);
}

// Months first, so that every month length is looked up for a real month;
// then days below 1 borrow and days beyond the month carry or clamp. Day
// arithmetic goes through day numbers, which is what repeated borrowing and
// carrying month by month comes to.
TORVParsedDate NormalizeDate(int64_t Year, int64_t Month, int64_t Day, bool Clamp) {
  int64_t year = Year + FloorDiv(Month - 1, 12);
  int32_t month = static_cast<int32_t>(FloorMod(Month - 1, 12)) + 1;
  int32_t day = 0;
  const int32_t length = MonthLength(year, month);
  if (Day < 1 || (Day > length && !Clamp)) {
    DayNumberToCivil(CivilToDayNumber(year, month, 1) + Day - 1, year, month, day);
  } else {
    day = static_cast<int32_t>(Day > length ? length : Day);
  }
  return {SaturateInt32(year), month, day};
}

int64_t TotalMSeconds(const TORVParsedTime& Time) {
  return Time.Hour * MSecsPerHour + Time.Minute * MSecsPerMinute + Time.Second * MSecsPerSecond + Time.MSecond;
}

// Adds Years and Months (already signed by the caller) to a valid date,
// clamping the day to the new month's length.
int32_t AddMonths(int32_t Date, int64_t Years, int64_t Months, int64_t TimeOfDay, bool IsTimeStamp) {
  const TORVParsedDate d = ParseDate(Date);
  const int64_t months = static_cast<int64_t>(d.Month) - 1 + Months;
  const int64_t year = d.Year + Years + FloorDiv(months, 12);
  const int32_t month = static_cast<int32_t>(FloorMod(months, 12)) + 1;
  if (year < 1 || year > MaxYear) {
    // Name the day as it would have come out, clamped like a valid one.
    const int32_t length = MonthLength(year, month);
    TORVString text = DateFieldsText(year, month, d.Day > length ? length : d.Day);
    if (IsTimeStamp) {
      RaiseRangeError(text + u" " + TimeOfDayText(TimeOfDay), dtTimeStamp, stNone);
    }
    RaiseRangeError(text, dtDate, stNone);
  }
  int32_t result = 0;
  MakeDate(TORVParsedDate{static_cast<int32_t>(year), month, d.Day}, result, true);
  return result;
}

int32_t AddYearMonthToDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType, int64_t Sign) {
  CheckDate(Date);
  const TORVParsedYearMonthInterval i = ParseYearMonthInterval(Interval, SubType);
  return AddMonths(Date, Sign * i.Years, Sign * i.Months, 0, false);
}

int64_t AddYearMonthToTimeStamp(int64_t TimeStamp, int32_t Interval, TORVSubTypeCode SubType,
                                int64_t Sign) {
  CheckTimeStamp(TimeStamp);
  const TORVParsedYearMonthInterval i = ParseYearMonthInterval(Interval, SubType);
  const int32_t time = TimeFromTimeStamp(TimeStamp);
  const int32_t date = AddMonths(DateFromTimeStamp(TimeStamp), Sign * i.Years, Sign * i.Months, time, true);
  return DateToTimeStamp(date, false) + time;
}

// The interval cut to its subtype's fields; never overflows, since the
// fields' sum is no larger in magnitude than the interval.
int64_t RestrictDayTimeInterval(int64_t Interval, TORVSubTypeCode SubType) {
  int64_t result = 0;
  MakeDayTimeInterval(ParseDayTimeInterval(Interval, SubType), result);
  return result;
}

int32_t AddDayTimeToTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType, int64_t Sign) {
  // The days of the interval play no part; each field is first reduced to
  // less than a day so that the sum cannot overflow.
  const TORVParsedDayTimeInterval i = ParseDayTimeInterval(Interval, SubType);
  const int64_t offset = FloorMod(i.Hours, 24) * MSecsPerHour + FloorMod(i.Minutes, 1440) * MSecsPerMinute +
                         FloorMod(i.Seconds, 86400) * MSecsPerSecond + FloorMod(i.MSeconds, MSecsPerDay);
  return static_cast<int32_t>(FloorMod(static_cast<int64_t>(Time) + Sign * offset, MSecsPerDay));
}

int64_t AddDayTimeToTimeStamp(int64_t TimeStamp, int64_t Interval, TORVSubTypeCode SubType, bool Subtract) {
  CheckTimeStamp(TimeStamp);
  const int64_t offset = RestrictDayTimeInterval(Interval, SubType);
  const TInt128 result = Subtract ? static_cast<TInt128>(TimeStamp) - offset
                                   : static_cast<TInt128>(TimeStamp) + offset;
  // The result is within 2^64 of a valid time stamp, so its day fits 64 bits.
  const TInt128 day128 = (result >= 0 ? result : result - (MSecsPerDay - 1)) / MSecsPerDay;
  const int64_t day = static_cast<int64_t>(day128);
  if (day < 1 || day > MaxDate) {
    const int64_t time = static_cast<int64_t>(result - day128 * MSecsPerDay);
    RaiseRangeError(DayNumberText(day) + u" " + TimeOfDayText(time), dtTimeStamp, stNone);
  }
  return static_cast<int64_t>(result);
}

// The single field that multiplying and dividing scale, with its unit in
// the interval's integer; 0 for multi-field and invalid subtypes.
int64_t DayTimeFieldUnit(TORVSubTypeCode SubType) {
  switch (SubType) {
    case stDay: return MSecsPerDay;
    case stHour: return MSecsPerHour;
    case stMinute: return MSecsPerMinute;
    case stSecond: return MSecsPerSecond;
    case stMSecond: return 1;
    default: return 0;
  }
}

// Multiplies or divides the single field of an interval whose integer T
// counts Unit per field step.
template <typename T>
T ScaleField(int64_t Operand, bool Divide, T Interval, int64_t Unit, TORVDataTypeCode DataType,
             TORVSubTypeCode SubType) {
  const int64_t field = Interval / Unit;
  if (Divide && Operand == 0) RaiseRangeError(Digits(field) + u" / 0", DataType, SubType);
  const TInt128 value = Divide ? static_cast<TInt128>(field) / Operand : static_cast<TInt128>(field) * Operand;
  const TInt128 scaled = value * Unit;
  if (scaled < std::numeric_limits<T>::min() || scaled > std::numeric_limits<T>::max()) {
    RaiseRangeError(Digits(scaled), DataType, SubType);
  }
  return static_cast<T>(scaled);
}

int32_t ScaleYearMonthInterval(int64_t Operand, bool Divide, int32_t Interval, TORVSubTypeCode SubType) {
  if (SubType != stMonth && SubType != stYear) {
    int32_t result = 0;
    MakeYearMonthInterval(ParseYearMonthInterval(Interval, SubType), result);
    return result;
  }
  return ScaleField(Operand, Divide, Interval, SubType == stYear ? 12 : 1, dtYearMonthInterval, SubType);
}

int64_t ScaleDayTimeInterval(int64_t Operand, bool Divide, int64_t Interval, TORVSubTypeCode SubType) {
  const int64_t unit = DayTimeFieldUnit(SubType);
  if (unit == 0) return RestrictDayTimeInterval(Interval, SubType);
  return ScaleField(Operand, Divide, Interval, unit, dtDayTimeInterval, SubType);
}

}  // namespace

bool IsLeapYear(int32_t Year) { return IsLeapYear64(Year); }

int32_t DaysInMonth(int32_t Year, int32_t Month) {
  if (Month < 1 || Month > 12) return 0;
  return MonthLength(Year, Month);
}

int64_t DateToTimeStamp(int32_t Date, bool EndOfDay) {
  if (EndOfDay) return (static_cast<int64_t>(Date) + 1) * MSecsPerDay - 1;
  return static_cast<int64_t>(Date) * MSecsPerDay;
}

int64_t TimeToTimeStamp(int32_t Time) { return Time; }

int32_t DateFromTimeStamp(int64_t TimeStamp) { return SaturateInt32(TimeStamp / MSecsPerDay); }

int32_t TimeFromTimeStamp(int64_t TimeStamp) { return static_cast<int32_t>(TimeStamp % MSecsPerDay); }

int32_t DateToMonths(int32_t Date) {
  const TORVParsedDate d = ParseDate(Date);
  return d.Year * 12 + d.Month - 1;
}

TORVParsedDate ParseDate(int32_t Date) {
  if (Date <= 0) return {};
  // Day numbers whose 400-year cycle lies wholly beyond the last valid year
  // decode as the last valid day.
  if ((Date / DaysPer400Years) * 400 > MaxYear) Date = MaxDate;
  int32_t n = Date - 1;
  TORVParsedDate result;
  result.Year = 1 + (n / DaysPer400Years) * 400;
  n %= DaysPer400Years;
  int32_t k = n / DaysPer100Years;
  if (k == 4) k = 3;
  n -= k * DaysPer100Years;
  result.Year += 100 * k + 4 * (n / DaysPer4Years);
  n %= DaysPer4Years;
  k = n / 365;
  if (k == 4) k = 3;
  n -= k * 365;
  result.Year += k;
  const auto& before = DaysBeforeMonth[IsLeapYear(result.Year) ? 1 : 0];
  result.Month = 12;
  while (n < before[result.Month - 1]) --result.Month;
  result.Day = n - before[result.Month - 1] + 1;
  return result;
}

TORVParsedTime ParseTime(int32_t Time) {
  TORVParsedTime t;
  t.Hour = (Time / 60000) / 60;
  t.Minute = (Time / 60000) % 60;
  t.Second = (Time % 60000) / 1000;
  t.MSecond = (Time % 60000) % 1000;
  return t;
}

TORVParsedTimeStamp ParseTimeStamp(int64_t TimeStamp) {
  return {ParseDate(DateFromTimeStamp(TimeStamp)), ParseTime(TimeFromTimeStamp(TimeStamp))};
}

TORVParsedYearMonthInterval ParseYearMonthInterval(int32_t Interval, TORVSubTypeCode SubType) {
  switch (SubType) {
    case stMonth: return {0, Interval};
    case stYear: return {Interval / 12, 0};
    case stYearToMonth: return {Interval / 12, Interval % 12};
    default: return {};
  }
}

TORVParsedDayTimeInterval ParseDayTimeInterval(int64_t Interval, TORVSubTypeCode SubType) {
  TORVParsedDayTimeInterval result;
  if (!IsValidDayTimeSubType(SubType)) return result;
  // Fields from the largest down, each with its unit and the unit of the
  // next larger field (whose remainder it takes unless it leads).
  struct Field {
    TORVSubTypeCode Bit;
    int64_t Unit;
    int64_t Larger;
    int64_t TORVParsedDayTimeInterval::*Member;
  };
  static constexpr Field fields[] = {
      {stDay, MSecsPerDay, 0, &TORVParsedDayTimeInterval::Days},
      {stHour, MSecsPerHour, MSecsPerDay, &TORVParsedDayTimeInterval::Hours},
      {stMinute, MSecsPerMinute, MSecsPerHour, &TORVParsedDayTimeInterval::Minutes},
      {stSecond, MSecsPerSecond, MSecsPerMinute, &TORVParsedDayTimeInterval::Seconds},
      {stMSecond, 1, MSecsPerSecond, &TORVParsedDayTimeInterval::MSeconds},
  };
  bool leading = true;
  for (const Field& f : fields) {
    if ((SubType & f.Bit) == 0) continue;
    result.*f.Member = leading ? Interval / f.Unit : (Interval % f.Larger) / f.Unit;
    leading = false;
  }
  return result;
}

bool MakeDate(const TORVParsedDate& ParsedDate, int32_t& Date, bool Clamp) {
  Date = 0;
  const TORVParsedDate& d = ParsedDate;
  if (d.Day <= 0 || d.Month <= 0 || d.Year <= 0 || d.Year > MaxYear || d.Month > 12) return false;
  const int32_t leap = IsLeapYear(d.Year) ? 1 : 0;
  int32_t day = d.Day;
  if (day > DayTable[leap][d.Month - 1]) {
    if (!Clamp) return false;
    day = DayTable[leap][d.Month - 1];
  }
  const int32_t y = d.Year - 1;
  Date = y * 365 + y / 4 - y / 100 + y / 400 + DaysBeforeMonth[leap][d.Month - 1] + day;
  return true;
}

bool MakeTime(const TORVParsedTime& ParsedTime, int32_t& Time) {
  Time = 0;
  const TORVParsedTime& t = ParsedTime;
  if (t.Hour < 0 || t.Hour >= 24 || t.Minute < 0 || t.Minute >= 60 || t.Second < 0 || t.Second >= 60 ||
      t.MSecond < 0 || t.MSecond >= 1000) {
    return false;
  }
  Time = t.Hour * 3600000 + t.Minute * 60000 + t.Second * 1000 + t.MSecond;
  return true;
}

bool MakeTimeStamp(const TORVParsedTimeStamp& ParsedTimeStamp, int64_t& TimeStamp, bool Clamp) {
  TimeStamp = 0;
  int32_t date = 0;
  int32_t time = 0;
  if (!MakeDate(ParsedTimeStamp.ParsedDate, date, Clamp) || !MakeTime(ParsedTimeStamp.ParsedTime, time)) {
    return false;
  }
  TimeStamp = static_cast<int64_t>(date) * MSecsPerDay + time;
  return true;
}

bool MakeYearMonthInterval(const TORVParsedYearMonthInterval& Parsed, int32_t& Interval) {
  Interval = 0;
  const int64_t months = static_cast<int64_t>(Parsed.Years) * 12 + Parsed.Months;
  if (months < std::numeric_limits<int32_t>::min() || months > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  Interval = static_cast<int32_t>(months);
  return true;
}

bool MakeDayTimeInterval(const TORVParsedDayTimeInterval& Parsed, int64_t& Interval) {
  Interval = 0;
  const TInt128 ms = static_cast<TInt128>(Parsed.Days) * MSecsPerDay +
                      static_cast<TInt128>(Parsed.Hours) * MSecsPerHour +
                      static_cast<TInt128>(Parsed.Minutes) * MSecsPerMinute +
                      static_cast<TInt128>(Parsed.Seconds) * MSecsPerSecond + Parsed.MSeconds;
  if (ms < std::numeric_limits<int64_t>::min() || ms > std::numeric_limits<int64_t>::max()) return false;
  Interval = static_cast<int64_t>(ms);
  return true;
}

void AdjustParsedDate(TORVParsedDate& ParsedDate, bool Clamp) {
  ParsedDate = NormalizeDate(ParsedDate.Year, ParsedDate.Month, ParsedDate.Day, Clamp);
}

void AdjustParsedTime(TORVParsedTime& ParsedTime) {
  const int64_t total = TotalMSeconds(ParsedTime);
  const int64_t rest = FloorMod(total, MSecsPerHour);
  ParsedTime = {SaturateInt32(FloorDiv(total, MSecsPerHour)), static_cast<int32_t>(rest / MSecsPerMinute),
                static_cast<int32_t>(rest % MSecsPerMinute / MSecsPerSecond),
                static_cast<int32_t>(rest % MSecsPerSecond)};
}

void AdjustParsedTimeStamp(TORVParsedTimeStamp& ParsedTimeStamp, bool Clamp) {
  const int64_t total = TotalMSeconds(ParsedTimeStamp.ParsedTime);
  // Whole days that the time borrows from or carries into the date.
  const int64_t days = FloorDiv(total, MSecsPerDay);
  ParsedTimeStamp.ParsedTime = ParseTime(static_cast<int32_t>(FloorMod(total, MSecsPerDay)));
  // Days carried from the hours always move into the following months; only
  // a day that was already beyond its month is clamped.
  const TORVParsedDate& d = ParsedTimeStamp.ParsedDate;
  ParsedTimeStamp.ParsedDate = NormalizeDate(d.Year, d.Month, int64_t{d.Day} + days, Clamp && days <= 0);
}

int32_t AddYearMonthIntervalToDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType) {
  return AddYearMonthToDate(Date, Interval, SubType, 1);
}

int64_t AddYearMonthIntervalToTimeStamp(int64_t TimeStamp, int32_t Interval, TORVSubTypeCode SubType) {
  return AddYearMonthToTimeStamp(TimeStamp, Interval, SubType, 1);
}

int32_t AddDayTimeIntervalToTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType) {
  return AddDayTimeToTime(Time, Interval, SubType, 1);
}

int64_t AddDayTimeIntervalToTimeStamp(int64_t TimeStamp, int64_t Interval, TORVSubTypeCode SubType) {
  return AddDayTimeToTimeStamp(TimeStamp, Interval, SubType, false);
}

int32_t SubtractYearMonthIntervalFromDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType) {
  return AddYearMonthToDate(Date, Interval, SubType, -1);
}

int64_t SubtractYearMonthIntervalFromTimeStamp(int64_t TimeStamp, int32_t Interval, TORVSubTypeCode SubType) {
  return AddYearMonthToTimeStamp(TimeStamp, Interval, SubType, -1);
}

int32_t SubtractDayTimeIntervalFromTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType) {
  return AddDayTimeToTime(Time, Interval, SubType, -1);
}

int64_t SubtractDayTimeIntervalFromTimeStamp(int64_t TimeStamp, int64_t Interval, TORVSubTypeCode SubType) {
  return AddDayTimeToTimeStamp(TimeStamp, Interval, SubType, true);
}

int64_t SubtractDateFromDateAsDayTimeInterval(int32_t Date1, int32_t Date2, TORVSubTypeCode SubType) {
  return RestrictDayTimeInterval((static_cast<int64_t>(Date1) - Date2) * MSecsPerDay, SubType);
}

int32_t SubtractDateFromDateAsYearMonthInterval(int32_t Date1, int32_t Date2, TORVSubTypeCode SubType) {
  int32_t result = 0;
  MakeYearMonthInterval(ParseYearMonthInterval(DateToMonths(Date1) - DateToMonths(Date2), SubType), result);
  return result;
}

int64_t SubtractTimeFromTimeAsDayTimeInterval(int32_t Time1, int32_t Time2, TORVSubTypeCode SubType) {
  return RestrictDayTimeInterval(static_cast<int64_t>(Time1) - Time2, SubType);
}

int64_t SubtractTimeStampFromTimeStampAsDayTimeInterval(int64_t TimeStamp1, int64_t TimeStamp2,
                                                        TORVSubTypeCode SubType) {
  int64_t difference = 0;
  if (__builtin_sub_overflow(TimeStamp1, TimeStamp2, &difference)) {
    RaiseRangeError(Digits(static_cast<TInt128>(TimeStamp1) - TimeStamp2), dtDayTimeInterval, SubType);
  }
  return RestrictDayTimeInterval(difference, SubType);
}

int32_t MultiplyYearMonthInterval(int64_t Factor, int32_t Interval, TORVSubTypeCode SubType) {
  return ScaleYearMonthInterval(Factor, false, Interval, SubType);
}

int64_t MultiplyDayTimeInterval(int64_t Factor, int64_t Interval, TORVSubTypeCode SubType) {
  return ScaleDayTimeInterval(Factor, false, Interval, SubType);
}

int32_t DivideYearMonthInterval(int64_t Divisor, int32_t Interval, TORVSubTypeCode SubType) {
  return ScaleYearMonthInterval(Divisor, true, Interval, SubType);
}

int64_t DivideDayTimeInterval(int64_t Divisor, int64_t Interval, TORVSubTypeCode SubType) {
  return ScaleDayTimeInterval(Divisor, true, Interval, SubType);
}

int32_t CurrentDate(bool UTC) {
  const TORVClockFields c = GetClockFields(UTC);
  int32_t date = 0;
  MakeDate({c.Year, c.Month, c.Day}, date, false);
  return date;
}

int32_t CurrentTime(bool UTC) {
  const TORVClockFields c = GetClockFields(UTC);
  int32_t time = 0;
  MakeTime({c.Hour, c.Minute, c.Second, c.MSecond}, time);
  return time;
}

int64_t CurrentTimeStamp(bool UTC) {
  const TORVClockFields c = GetClockFields(UTC);
  int64_t stamp = 0;
  MakeTimeStamp({{c.Year, c.Month, c.Day}, {c.Hour, c.Minute, c.Second, c.MSecond}}, stamp, false);
  return stamp;
}

int32_t GetCurrentYear() { return ParseDate(CurrentDate(false)).Year; }

int64_t NativeDateTimeToTimeStamp(double DateTime) {
  // Days from 1899-12-30 that still give a valid date, with a day to spare
  // on each side for the time of day.
  constexpr double Limit = (static_cast<double>(MaxDate) + 1) * MSecsPerDay;
  const double ms = std::nearbyint(DateTime * static_cast<double>(MSecsPerDay));
  if (!std::isfinite(ms) || std::fabs(ms) > Limit) {
    RaiseRangeError(Utf8ToString(std::to_string(DateTime)), dtTimeStamp, stNone);
  }
  const int64_t total = static_cast<int64_t>(ms);
  // A negative value counts its days back from 1899-12-30 while its fraction
  // is still the time of day forward from midnight.
  const int64_t date = NativeDateDelta + total / MSecsPerDay;
  const int64_t time = (total < 0 ? -total : total) % MSecsPerDay;
  if (date < 1 || date > MaxDate) RaiseRangeError(DayNumberText(date), dtTimeStamp, stNone);
  return date * MSecsPerDay + time;
}

int32_t NativeDateToDate(double DateTime) { return DateFromTimeStamp(NativeDateTimeToTimeStamp(DateTime)); }

int32_t NativeTimeToTime(double DateTime) { return TimeFromTimeStamp(NativeDateTimeToTimeStamp(DateTime)); }

double TimeStampToNativeDateTime(int64_t TimeStamp) {
  int64_t date = DateFromTimeStamp(TimeStamp);
  const int64_t time = TimeFromTimeStamp(TimeStamp);
  if (date == 0) date = NativeDateDelta;
  const double days = static_cast<double>(date - NativeDateDelta);
  const double fraction = static_cast<double>(time) / static_cast<double>(MSecsPerDay);
  return days < 0 ? days - fraction : days + fraction;
}

double DateToNativeDate(int32_t Date) { return TimeStampToNativeDateTime(DateToTimeStamp(Date, false)); }

double TimeToNativeTime(int32_t Time) { return TimeStampToNativeDateTime(TimeToTimeStamp(Time)); }

void SetMilliSeconds(int32_t& Time, int32_t MSeconds) {
  TORVParsedTime t = ParseTime(Time);
  t.MSecond = MSeconds;
  MakeTime(t, Time);
}

int64_t GetSecondsBetween(int64_t TimeStamp1, int64_t TimeStamp2) {
  return static_cast<int64_t>((static_cast<TInt128>(TimeStamp2) - TimeStamp1) / 1000);
}

TORVString TextTimeInterval(int64_t Seconds) {
  static constexpr int64_t units[] = {2678400, 604800, 86400, 3600, 60, 1};
  static constexpr const char16_t* labels[] = {u"Month", u" Week", u"Day", u"Hour", u"Minute", u"Second"};
  TORVString text;
  int64_t rest = Seconds;
  bool started = false;
  for (int i = 0; i < 6; ++i) {
    const int64_t count = rest / units[i];
    rest %= units[i];
    if (count != 0) started = true;
    if (!started) continue;
    text += Digits(count, 0) + u" " + labels[i];
    if (count != 1) text += u"s";
    if (i < 5) text += u",";
    text += u" ";
  }
  return text;
}

int32_t LastDayOfMonth(int32_t Date) {
  const TORVParsedDate d = ParseDate(Date);
  if (d.Year == 0) return 0;
  const int64_t next = d.Month == 12 ? CivilToDayNumber(static_cast<int64_t>(d.Year) + 1, 1, 1)
                                     : CivilToDayNumber(d.Year, d.Month + 1, 1);
  return static_cast<int32_t>(next - 1);
}

bool IsDayofMonth(int32_t Date, int32_t Which, int32_t DayOfWeek) {
  if (Date < 1 || Date > MaxDate || DayOfWeek < 1 || DayOfWeek > 7) return false;
  const int32_t first = Date - ParseDate(Date).Day + 1;
  const int32_t last = LastDayOfMonth(Date);
  if (Which >= 1 && Which <= 4) {
    const int32_t firstMatch = first + (DayOfWeek - ISODayOfWeek(first) + 7) % 7;
    return firstMatch + 7 * (Which - 1) == Date;
  }
  if (Which == 5) return last - (ISODayOfWeek(last) - DayOfWeek + 7) % 7 == Date;
  return false;
}

// Floored, so that a day number out of range still names a weekday instead
// of overflowing or going negative.
int32_t ISODayOfWeek(int32_t Date) { return static_cast<int32_t>(FloorMod(int64_t{Date} - 1, 7) + 1); }

int32_t ISODayOfYear(int32_t Date) {
  return static_cast<int32_t>(Date - CivilToDayNumber(ParseDate(Date).Year, 1, 1) + 1);
}

int32_t ISOBeginOfYear(int32_t Year) {
  const int64_t january1 = CivilToDayNumber(Year, 1, 1);
  const int64_t weekday = FloorMod(january1 - 1, 7) + 1;
  int64_t monday = january1 + (8 - weekday) % 7;
  if (monday > january1 + 3) monday -= 7;
  return SaturateInt32(monday);
}

int32_t ISOWeekNumber(int32_t Date) {
  const int32_t year = ParseDate(Date).Year;
  const int32_t begin = ISOBeginOfYear(year);
  const int32_t next = ISOBeginOfYear(year + 1);
  int32_t start = begin;
  if (Date >= next) {
    start = next;
  } else if (Date < begin) {
    start = ISOBeginOfYear(year - 1);
  }
  const int32_t f = Date - start + 1;
  return f / 7 + (f % 7 != 0 ? 1 : 0);
}

}  // namespace orv
