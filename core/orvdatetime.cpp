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
  int64_t Q = A / B;
  if ((A % B != 0) && ((A < 0) != (B < 0))) --Q;
  return Q;
}

int64_t FloorMod(int64_t A, int64_t B) {
  int64_t R = A % B;
  if (R != 0 && ((R < 0) != (B < 0))) R += B;
  return R;
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
  const int64_t Y = Year - 1;
  return Y * 365 + FloorDiv(Y, 4) - FloorDiv(Y, 100) + FloorDiv(Y, 400) +
         DaysBeforeMonth[IsLeapYear64(Year) ? 1 : 0][Month - 1] + Day;
}

// The inverse of CivilToDayNumber, for any day number.
void DayNumberToCivil(int64_t DayNumber, int64_t& Year, int32_t& Month, int32_t& Day) {
  int64_t N = DayNumber - 1;
  const int64_t Cycles = FloorDiv(N, DaysPer400Years);
  N -= Cycles * DaysPer400Years;
  Year = 1 + Cycles * 400;
  int64_t K = N / DaysPer100Years;
  if (K == 4) K = 3;
  N -= K * DaysPer100Years;
  Year += 100 * K;
  K = N / DaysPer4Years;
  N -= K * DaysPer4Years;
  Year += 4 * K;
  K = N / 365;
  if (K == 4) K = 3;
  N -= K * 365;
  Year += K;
  const auto& Lengths = DayTable[IsLeapYear64(Year) ? 1 : 0];
  Month = 1;
  while (N >= Lengths[Month - 1]) {
    N -= Lengths[Month - 1];
    ++Month;
  }
  Day = static_cast<int32_t>(N) + 1;
}

// Value in decimal, its digits zero-padded to Width after any sign.
TORVString Digits(TInt128 Value, size_t Width = 0) {
  // Through unsigned so that the most negative value has a magnitude too.
  TUInt128 Magnitude = Value < 0 ? 0 - static_cast<TUInt128>(Value) : static_cast<TUInt128>(Value);
  char16_t Buffer[48];
  char16_t* First = std::end(Buffer);
  do {
    *--First = static_cast<char16_t>(u'0' + static_cast<int>(Magnitude % 10));
    Magnitude /= 10;
  } while (Magnitude != 0);
  TORVString Text;
  if (Value < 0) Text += u'-';
  const size_t Count = static_cast<size_t>(std::end(Buffer) - First);
  if (Count < Width) Text.append(Width - Count, u'0');
  Text.append(First, std::end(Buffer));
  return Text;
}

// The fields of a date that may lie outside the valid range, in the SQL
// form, so that an error can name the value that could not be made.
TORVString DateFieldsText(int64_t Year, int32_t Month, int32_t Day) {
  return Digits(Year, 4) + u"-" + Digits(Month, 2) + u"-" + Digits(Day, 2);
}

TORVString DayNumberText(int64_t DayNumber) {
  int64_t Year = 0;
  int32_t Month = 0;
  int32_t Day = 0;
  DayNumberToCivil(DayNumber, Year, Month, Day);
  return DateFieldsText(Year, Month, Day);
}

TORVString TimeOfDayText(int64_t Time) {
  return TimeToSQLStr(static_cast<int32_t>(FloorMod(Time, MSecsPerDay)), true);
}

TORVString TimeStampText(int64_t TimeStamp) {
  return DayNumberText(FloorDiv(TimeStamp, MSecsPerDay)) + u" " +
         TimeOfDayText(FloorMod(TimeStamp, MSecsPerDay));
}

void CheckDate(int32_t Date) {
  if (Date < 1 || Date > MaxDate) RaiseValueRangeError(DayNumberText(Date), dtDate, stNone);
}

bool ValidTimeStamp(int64_t TimeStamp) {
  return TimeStamp >= MSecsPerDay && TimeStamp < (static_cast<int64_t>(MaxDate) + 1) * MSecsPerDay;
}

void CheckTimeStamp(int64_t TimeStamp) {
  if (!ValidTimeStamp(TimeStamp)) RaiseValueRangeError(TimeStampText(TimeStamp), dtTimeStamp, stNone);
}

// Months first, so that every month length is looked up for a real month;
// then days below 1 borrow and days beyond the month carry or clamp. Day
// arithmetic goes through day numbers, which is what repeated borrowing and
// carrying month by month comes to.
TORVParsedDate NormalizeDate(int64_t Year, int64_t Month, int64_t Day, bool Clamp) {
  int64_t NewYear = Year + FloorDiv(Month - 1, 12);
  int32_t NewMonth = static_cast<int32_t>(FloorMod(Month - 1, 12)) + 1;
  int32_t NewDay = 0;
  const int32_t Length = MonthLength(NewYear, NewMonth);
  if (Day < 1 || (Day > Length && !Clamp)) {
    DayNumberToCivil(CivilToDayNumber(NewYear, NewMonth, 1) + Day - 1, NewYear, NewMonth, NewDay);
  } else {
    NewDay = static_cast<int32_t>(Day > Length ? Length : Day);
  }
  return {SaturateInt32(NewYear), NewMonth, NewDay};
}

int64_t TotalMSeconds(const TORVParsedTime& Time) {
  return Time.Hour * MSecsPerHour + Time.Minute * MSecsPerMinute + Time.Second * MSecsPerSecond + Time.MSecond;
}

// Adds Years and Months (already signed by the caller) to a valid date,
// clamping the day to the new month's length.
int32_t AddMonths(int32_t Date, int64_t Years, int64_t Months, int64_t TimeOfDay, bool IsTimeStamp) {
  const TORVParsedDate D = ParseDate(Date);
  const int64_t MonthIndex = static_cast<int64_t>(D.Month) - 1 + Months;
  const int64_t NewYear = D.Year + Years + FloorDiv(MonthIndex, 12);
  const int32_t NewMonth = static_cast<int32_t>(FloorMod(MonthIndex, 12)) + 1;
  if (NewYear < 1 || NewYear > MaxYear) {
    // Name the day as it would have come out, clamped like a valid one.
    const int32_t Length = MonthLength(NewYear, NewMonth);
    TORVString Text = DateFieldsText(NewYear, NewMonth, D.Day > Length ? Length : D.Day);
    if (IsTimeStamp) {
      RaiseValueRangeError(Text + u" " + TimeOfDayText(TimeOfDay), dtTimeStamp, stNone);
    }
    RaiseValueRangeError(Text, dtDate, stNone);
  }
  int32_t Result = 0;
  MakeDate(TORVParsedDate{static_cast<int32_t>(NewYear), NewMonth, D.Day}, Result, true);
  return Result;
}

int32_t AddYearMonthToDate(int32_t Date, int32_t Interval, TORVSubTypeCode SubType, int64_t Sign) {
  CheckDate(Date);
  const TORVParsedYearMonthInterval I = ParseYearMonthInterval(Interval, SubType);
  return AddMonths(Date, Sign * I.Years, Sign * I.Months, 0, false);
}

int64_t AddYearMonthToTimeStamp(int64_t TimeStamp, int32_t Interval, TORVSubTypeCode SubType,
                                int64_t Sign) {
  CheckTimeStamp(TimeStamp);
  const TORVParsedYearMonthInterval I = ParseYearMonthInterval(Interval, SubType);
  const int32_t Time = TimeFromTimeStamp(TimeStamp);
  const int32_t Date = AddMonths(DateFromTimeStamp(TimeStamp), Sign * I.Years, Sign * I.Months, Time, true);
  return DateToTimeStamp(Date, false) + Time;
}

// The interval cut to its subtype's fields; never overflows, since the
// fields' sum is no larger in magnitude than the interval.
int64_t RestrictDayTimeInterval(int64_t Interval, TORVSubTypeCode SubType) {
  int64_t Result = 0;
  MakeDayTimeInterval(ParseDayTimeInterval(Interval, SubType), Result);
  return Result;
}

int32_t AddDayTimeToTime(int32_t Time, int64_t Interval, TORVSubTypeCode SubType, int64_t Sign) {
  // The days of the interval play no part; each field is first reduced to
  // less than a day so that the sum cannot overflow.
  const TORVParsedDayTimeInterval I = ParseDayTimeInterval(Interval, SubType);
  const int64_t Offset = FloorMod(I.Hours, 24) * MSecsPerHour + FloorMod(I.Minutes, 1440) * MSecsPerMinute +
                         FloorMod(I.Seconds, 86400) * MSecsPerSecond + FloorMod(I.MSeconds, MSecsPerDay);
  return static_cast<int32_t>(FloorMod(static_cast<int64_t>(Time) + Sign * Offset, MSecsPerDay));
}

int64_t AddDayTimeToTimeStamp(int64_t TimeStamp, int64_t Interval, TORVSubTypeCode SubType, bool Subtract) {
  CheckTimeStamp(TimeStamp);
  const int64_t Offset = RestrictDayTimeInterval(Interval, SubType);
  const TInt128 Result = Subtract ? static_cast<TInt128>(TimeStamp) - Offset
                                   : static_cast<TInt128>(TimeStamp) + Offset;
  // The result is within 2^64 of a valid time stamp, so its day fits 64 bits.
  const TInt128 Day128 = (Result >= 0 ? Result : Result - (MSecsPerDay - 1)) / MSecsPerDay;
  const int64_t Day = static_cast<int64_t>(Day128);
  if (Day < 1 || Day > MaxDate) {
    const int64_t Time = static_cast<int64_t>(Result - Day128 * MSecsPerDay);
    RaiseValueRangeError(DayNumberText(Day) + u" " + TimeOfDayText(Time), dtTimeStamp, stNone);
  }
  return static_cast<int64_t>(Result);
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
  const int64_t Field = Interval / Unit;
  if (Divide && Operand == 0) RaiseValueRangeError(Digits(Field) + u" / 0", DataType, SubType);
  const TInt128 Value = Divide ? static_cast<TInt128>(Field) / Operand : static_cast<TInt128>(Field) * Operand;
  const TInt128 Scaled = Value * Unit;
  if (Scaled < std::numeric_limits<T>::min() || Scaled > std::numeric_limits<T>::max()) {
    RaiseValueRangeError(Digits(Scaled), DataType, SubType);
  }
  return static_cast<T>(Scaled);
}

int32_t ScaleYearMonthInterval(int64_t Operand, bool Divide, int32_t Interval, TORVSubTypeCode SubType) {
  if (SubType != stMonth && SubType != stYear) {
    int32_t Result = 0;
    MakeYearMonthInterval(ParseYearMonthInterval(Interval, SubType), Result);
    return Result;
  }
  return ScaleField(Operand, Divide, Interval, SubType == stYear ? 12 : 1, dtYearMonthInterval, SubType);
}

int64_t ScaleDayTimeInterval(int64_t Operand, bool Divide, int64_t Interval, TORVSubTypeCode SubType) {
  const int64_t Unit = DayTimeFieldUnit(SubType);
  if (Unit == 0) return RestrictDayTimeInterval(Interval, SubType);
  return ScaleField(Operand, Divide, Interval, Unit, dtDayTimeInterval, SubType);
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
  const TORVParsedDate D = ParseDate(Date);
  return D.Year * 12 + D.Month - 1;
}

TORVParsedDate ParseDate(int32_t Date) {
  if (Date <= 0) return {};
  // Day numbers whose 400-year cycle lies wholly beyond the last valid year
  // decode as the last valid day.
  if ((Date / DaysPer400Years) * 400 > MaxYear) Date = MaxDate;
  int32_t N = Date - 1;
  TORVParsedDate Result;
  Result.Year = 1 + (N / DaysPer400Years) * 400;
  N %= DaysPer400Years;
  int32_t K = N / DaysPer100Years;
  if (K == 4) K = 3;
  N -= K * DaysPer100Years;
  Result.Year += 100 * K + 4 * (N / DaysPer4Years);
  N %= DaysPer4Years;
  K = N / 365;
  if (K == 4) K = 3;
  N -= K * 365;
  Result.Year += K;
  const auto& Before = DaysBeforeMonth[IsLeapYear(Result.Year) ? 1 : 0];
  Result.Month = 12;
  while (N < Before[Result.Month - 1]) --Result.Month;
  Result.Day = N - Before[Result.Month - 1] + 1;
  return Result;
}

TORVParsedTime ParseTime(int32_t Time) {
  TORVParsedTime T;
  T.Hour = (Time / 60000) / 60;
  T.Minute = (Time / 60000) % 60;
  T.Second = (Time % 60000) / 1000;
  T.MSecond = (Time % 60000) % 1000;
  return T;
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
  TORVParsedDayTimeInterval Result;
  if (!IsValidDayTimeSubType(SubType)) return Result;
  // Fields from the largest down, each with its unit and the unit of the
  // next larger field (whose remainder it takes unless it leads).
  struct Field {
    TORVSubTypeCode Bit;
    int64_t Unit;
    int64_t Larger;
    int64_t TORVParsedDayTimeInterval::*Member;
  };
  static constexpr Field Fields[] = {
      {stDay, MSecsPerDay, 0, &TORVParsedDayTimeInterval::Days},
      {stHour, MSecsPerHour, MSecsPerDay, &TORVParsedDayTimeInterval::Hours},
      {stMinute, MSecsPerMinute, MSecsPerHour, &TORVParsedDayTimeInterval::Minutes},
      {stSecond, MSecsPerSecond, MSecsPerMinute, &TORVParsedDayTimeInterval::Seconds},
      {stMSecond, 1, MSecsPerSecond, &TORVParsedDayTimeInterval::MSeconds},
  };
  bool Leading = true;
  for (const Field& F : Fields) {
    if ((SubType & F.Bit) == 0) continue;
    Result.*F.Member = Leading ? Interval / F.Unit : (Interval % F.Larger) / F.Unit;
    Leading = false;
  }
  return Result;
}

bool MakeDate(const TORVParsedDate& ParsedDate, int32_t& Date, bool Clamp) {
  Date = 0;
  const TORVParsedDate& D = ParsedDate;
  if (D.Day <= 0 || D.Month <= 0 || D.Year <= 0 || D.Year > MaxYear || D.Month > 12) return false;
  const int32_t Leap = IsLeapYear(D.Year) ? 1 : 0;
  int32_t Day = D.Day;
  if (Day > DayTable[Leap][D.Month - 1]) {
    if (!Clamp) return false;
    Day = DayTable[Leap][D.Month - 1];
  }
  const int32_t Y = D.Year - 1;
  Date = Y * 365 + Y / 4 - Y / 100 + Y / 400 + DaysBeforeMonth[Leap][D.Month - 1] + Day;
  return true;
}

bool MakeTime(const TORVParsedTime& ParsedTime, int32_t& Time) {
  Time = 0;
  const TORVParsedTime& T = ParsedTime;
  if (T.Hour < 0 || T.Hour >= 24 || T.Minute < 0 || T.Minute >= 60 || T.Second < 0 || T.Second >= 60 ||
      T.MSecond < 0 || T.MSecond >= 1000) {
    return false;
  }
  Time = T.Hour * 3600000 + T.Minute * 60000 + T.Second * 1000 + T.MSecond;
  return true;
}

bool MakeTimeStamp(const TORVParsedTimeStamp& ParsedTimeStamp, int64_t& TimeStamp, bool Clamp) {
  TimeStamp = 0;
  int32_t Date = 0;
  int32_t Time = 0;
  if (!MakeDate(ParsedTimeStamp.ParsedDate, Date, Clamp) || !MakeTime(ParsedTimeStamp.ParsedTime, Time)) {
    return false;
  }
  TimeStamp = static_cast<int64_t>(Date) * MSecsPerDay + Time;
  return true;
}

bool MakeYearMonthInterval(const TORVParsedYearMonthInterval& Parsed, int32_t& Interval) {
  Interval = 0;
  const int64_t Months = static_cast<int64_t>(Parsed.Years) * 12 + Parsed.Months;
  if (Months < std::numeric_limits<int32_t>::min() || Months > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  Interval = static_cast<int32_t>(Months);
  return true;
}

bool MakeDayTimeInterval(const TORVParsedDayTimeInterval& Parsed, int64_t& Interval) {
  Interval = 0;
  const TInt128 Ms = static_cast<TInt128>(Parsed.Days) * MSecsPerDay +
                      static_cast<TInt128>(Parsed.Hours) * MSecsPerHour +
                      static_cast<TInt128>(Parsed.Minutes) * MSecsPerMinute +
                      static_cast<TInt128>(Parsed.Seconds) * MSecsPerSecond + Parsed.MSeconds;
  if (Ms < std::numeric_limits<int64_t>::min() || Ms > std::numeric_limits<int64_t>::max()) return false;
  Interval = static_cast<int64_t>(Ms);
  return true;
}

void AdjustParsedDate(TORVParsedDate& ParsedDate, bool Clamp) {
  ParsedDate = NormalizeDate(ParsedDate.Year, ParsedDate.Month, ParsedDate.Day, Clamp);
}

void AdjustParsedTime(TORVParsedTime& ParsedTime) {
  const int64_t Total = TotalMSeconds(ParsedTime);
  const int64_t Rest = FloorMod(Total, MSecsPerHour);
  ParsedTime = {SaturateInt32(FloorDiv(Total, MSecsPerHour)), static_cast<int32_t>(Rest / MSecsPerMinute),
                static_cast<int32_t>(Rest % MSecsPerMinute / MSecsPerSecond),
                static_cast<int32_t>(Rest % MSecsPerSecond)};
}

void AdjustParsedTimeStamp(TORVParsedTimeStamp& ParsedTimeStamp, bool Clamp) {
  const int64_t Total = TotalMSeconds(ParsedTimeStamp.ParsedTime);
  // Whole days that the time borrows from or carries into the date.
  const int64_t Days = FloorDiv(Total, MSecsPerDay);
  ParsedTimeStamp.ParsedTime = ParseTime(static_cast<int32_t>(FloorMod(Total, MSecsPerDay)));
  // Days carried from the hours always move into the following months; only
  // a day that was already beyond its month is clamped.
  const TORVParsedDate& D = ParsedTimeStamp.ParsedDate;
  ParsedTimeStamp.ParsedDate = NormalizeDate(D.Year, D.Month, int64_t{D.Day} + Days, Clamp && Days <= 0);
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
  int32_t Result = 0;
  MakeYearMonthInterval(ParseYearMonthInterval(DateToMonths(Date1) - DateToMonths(Date2), SubType), Result);
  return Result;
}

int64_t SubtractTimeFromTimeAsDayTimeInterval(int32_t Time1, int32_t Time2, TORVSubTypeCode SubType) {
  return RestrictDayTimeInterval(static_cast<int64_t>(Time1) - Time2, SubType);
}

int64_t SubtractTimeStampFromTimeStampAsDayTimeInterval(int64_t TimeStamp1, int64_t TimeStamp2,
                                                        TORVSubTypeCode SubType) {
  int64_t Difference = 0;
  if (__builtin_sub_overflow(TimeStamp1, TimeStamp2, &Difference)) {
    RaiseValueRangeError(Digits(static_cast<TInt128>(TimeStamp1) - TimeStamp2), dtDayTimeInterval, SubType);
  }
  return RestrictDayTimeInterval(Difference, SubType);
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
  const TORVClockFields C = GetClockFields(UTC);
  int32_t Date = 0;
  MakeDate({C.Year, C.Month, C.Day}, Date, false);
  return Date;
}

int32_t CurrentTime(bool UTC) {
  const TORVClockFields C = GetClockFields(UTC);
  int32_t Time = 0;
  MakeTime({C.Hour, C.Minute, C.Second, C.MSecond}, Time);
  return Time;
}

int64_t CurrentTimeStamp(bool UTC) {
  const TORVClockFields C = GetClockFields(UTC);
  int64_t Stamp = 0;
  MakeTimeStamp({{C.Year, C.Month, C.Day}, {C.Hour, C.Minute, C.Second, C.MSecond}}, Stamp, false);
  return Stamp;
}

int32_t GetCurrentYear() { return ParseDate(CurrentDate(false)).Year; }

int64_t NativeDateTimeToTimeStamp(double DateTime) {
  // Days from 1899-12-30 that still give a valid date, with a day to spare
  // on each side for the time of day.
  constexpr double Limit = (static_cast<double>(MaxDate) + 1) * MSecsPerDay;
  const double Ms = std::nearbyint(DateTime * static_cast<double>(MSecsPerDay));
  if (!std::isfinite(Ms) || std::fabs(Ms) > Limit) {
    RaiseValueRangeError(Utf8ToString(std::to_string(DateTime)), dtTimeStamp, stNone);
  }
  const int64_t Total = static_cast<int64_t>(Ms);
  // A negative value counts its days back from 1899-12-30 while its fraction
  // is still the time of day forward from midnight.
  const int64_t Date = NativeDateDelta + Total / MSecsPerDay;
  const int64_t Time = (Total < 0 ? -Total : Total) % MSecsPerDay;
  if (Date < 1 || Date > MaxDate) RaiseValueRangeError(DayNumberText(Date), dtTimeStamp, stNone);
  return Date * MSecsPerDay + Time;
}

int32_t NativeDateToDate(double DateTime) { return DateFromTimeStamp(NativeDateTimeToTimeStamp(DateTime)); }

int32_t NativeTimeToTime(double DateTime) { return TimeFromTimeStamp(NativeDateTimeToTimeStamp(DateTime)); }

double TimeStampToNativeDateTime(int64_t TimeStamp) {
  int64_t Date = DateFromTimeStamp(TimeStamp);
  const int64_t Time = TimeFromTimeStamp(TimeStamp);
  if (Date == 0) Date = NativeDateDelta;
  const double Days = static_cast<double>(Date - NativeDateDelta);
  const double Fraction = static_cast<double>(Time) / static_cast<double>(MSecsPerDay);
  return Days < 0 ? Days - Fraction : Days + Fraction;
}

double DateToNativeDate(int32_t Date) { return TimeStampToNativeDateTime(DateToTimeStamp(Date, false)); }

double TimeToNativeTime(int32_t Time) { return TimeStampToNativeDateTime(TimeToTimeStamp(Time)); }

void SetMilliSeconds(int32_t& Time, int32_t MSeconds) {
  TORVParsedTime T = ParseTime(Time);
  T.MSecond = MSeconds;
  MakeTime(T, Time);
}

int64_t GetSecondsBetween(int64_t TimeStamp1, int64_t TimeStamp2) {
  return static_cast<int64_t>((static_cast<TInt128>(TimeStamp2) - TimeStamp1) / 1000);
}

TORVString TextTimeInterval(int64_t Seconds) {
  static constexpr int64_t Units[] = {2678400, 604800, 86400, 3600, 60, 1};
  static constexpr const char16_t* Labels[] = {u"Month", u" Week", u"Day", u"Hour", u"Minute", u"Second"};
  TORVString Text;
  int64_t Rest = Seconds;
  bool Started = false;
  for (int I = 0; I < 6; ++I) {
    const int64_t Count = Rest / Units[I];
    Rest %= Units[I];
    if (Count != 0) Started = true;
    if (!Started) continue;
    Text += Digits(Count, 0) + u" " + Labels[I];
    if (Count != 1) Text += u"s";
    if (I < 5) Text += u",";
    Text += u" ";
  }
  return Text;
}

int32_t LastDayOfMonth(int32_t Date) {
  const TORVParsedDate D = ParseDate(Date);
  if (D.Year == 0) return 0;
  const int64_t Next = D.Month == 12 ? CivilToDayNumber(static_cast<int64_t>(D.Year) + 1, 1, 1)
                                     : CivilToDayNumber(D.Year, D.Month + 1, 1);
  return static_cast<int32_t>(Next - 1);
}

bool IsDayofMonth(int32_t Date, int32_t Which, int32_t DayOfWeek) {
  if (Date < 1 || Date > MaxDate || DayOfWeek < 1 || DayOfWeek > 7) return false;
  const int32_t First = Date - ParseDate(Date).Day + 1;
  const int32_t Last = LastDayOfMonth(Date);
  if (Which >= 1 && Which <= 4) {
    const int32_t FirstMatch = First + (DayOfWeek - ISODayOfWeek(First) + 7) % 7;
    return FirstMatch + 7 * (Which - 1) == Date;
  }
  if (Which == 5) return Last - (ISODayOfWeek(Last) - DayOfWeek + 7) % 7 == Date;
  return false;
}

// Floored, so that a day number out of range still names a weekday instead
// of overflowing or going negative.
int32_t ISODayOfWeek(int32_t Date) { return static_cast<int32_t>(FloorMod(int64_t{Date} - 1, 7) + 1); }

int32_t ISODayOfYear(int32_t Date) {
  return static_cast<int32_t>(Date - CivilToDayNumber(ParseDate(Date).Year, 1, 1) + 1);
}

int32_t ISOBeginOfYear(int32_t Year) {
  const int64_t January1 = CivilToDayNumber(Year, 1, 1);
  const int64_t Weekday = FloorMod(January1 - 1, 7) + 1;
  int64_t Monday = January1 + (8 - Weekday) % 7;
  if (Monday > January1 + 3) Monday -= 7;
  return SaturateInt32(Monday);
}

int32_t ISOWeekNumber(int32_t Date) {
  const int32_t Year = ParseDate(Date).Year;
  const int32_t Begin = ISOBeginOfYear(Year);
  const int32_t Next = ISOBeginOfYear(Year + 1);
  int32_t Start = Begin;
  if (Date >= Next) {
    Start = Next;
  } else if (Date < Begin) {
    Start = ISOBeginOfYear(Year - 1);
  }
  const int32_t F = Date - Start + 1;
  return F / 7 + (F % 7 != 0 ? 1 : 0);
}

}  // namespace orv
