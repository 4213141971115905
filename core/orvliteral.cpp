#include "core/orvliteral.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "base/orverrors.h"
#include "core/orvcollation.h"
#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

__extension__ typedef __int128 TInt128;

constexpr char16_t HexDigits[] = u"0123456789ABCDEF";

// How a text fared: of the wrong form, of the right form but not
// convertible (out of range), or converted.
enum TORVTextResult : uint8_t { trMalformed, trFailed, trOk };

[[noreturn]] void RaiseConversionError(std::u16string_view S) {
  const TORVString Value(S);
  const TORVString Detail = FormatString(ORV_VALUE_CONVERSION_DETAIL, {Value});
  RaiseError(ORV_VALUE_ERROR, {u"value", Value, Detail});
}

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }

int32_t HexValue(char16_t C) {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  return -1;
}

bool AllDigits(std::u16string_view S) {
  for (char16_t C : S) {
    if (!IsDigit(C)) return false;
  }
  return true;
}

// Narrows text already known to be 7-bit.
std::string Narrow(std::u16string_view S) {
  std::string Text;
  Text.reserve(S.size());
  for (char16_t C : S) Text.push_back(C < 0x80 ? static_cast<char>(C) : '?');
  return Text;
}

void AppendAscii(TORVString& Text, std::string_view S) { Text.append(S.begin(), S.end()); }

// Appends Value in decimal, zero-padded on the left to Width characters the
// way PadInteger pads, without building the digits as a string of their own.
void AppendInteger(TORVString& Text, int64_t Value, size_t Width = 0) {
  char Buffer[24];
  const char* End = std::to_chars(Buffer, Buffer + sizeof Buffer, Value).ptr;
  const size_t Count = static_cast<size_t>(End - Buffer);
  if (Count < Width) Text.append(Width - Count, u'0');
  AppendAscii(Text, std::string_view(Buffer, Count));
}

// Upper is upper case already; the same length rules out the trailing blanks
// that SameString ignores.
bool EqualsUpper(std::u16string_view S, std::u16string_view Upper) {
  return S.size() == Upper.size() && SameString(S, Upper);
}

// A magnitude with its sign, through unsigned so that the most negative
// value has a magnitude too.
int64_t SignedValue(bool Negative, uint64_t Magnitude) {
  return Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
}

// The engine's decimal separator read as ".", in place.
void ToDecimalPoint(TORVString& Text, char16_t Separator) { std::replace(Text.begin(), Text.end(), Separator, u'.'); }

// Digits (no sign) into a magnitude, failing beyond Limit.
bool DigitsToMagnitude(std::u16string_view Digits, uint64_t Limit, uint64_t& Magnitude) {
  Magnitude = 0;
  for (char16_t C : Digits) {
    const uint64_t Digit = static_cast<uint64_t>(C - u'0');
    if (Magnitude > (Limit - Digit) / 10) return false;
    Magnitude = Magnitude * 10 + Digit;
  }
  return true;
}

// An optional "-" followed by digits only.
TORVTextResult ReadLargeInt(std::u16string_view S, int64_t& Value) {
  Value = 0;
  if (S.empty()) return trMalformed;
  const bool Negative = S[0] == u'-';
  const std::u16string_view Digits = Negative ? S.substr(1) : S;
  if (Digits.empty() || !AllDigits(Digits)) return trMalformed;
  const uint64_t Limit = Negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t Magnitude = 0;
  if (!DigitsToMagnitude(Digits, Limit, Magnitude)) return trFailed;
  Value = SignedValue(Negative, Magnitude);
  return trOk;
}

bool ReadInteger(std::u16string_view S, bool AllowNegative, int32_t& Value) {
  Value = 0;
  int64_t Wide = 0;
  if (ReadLargeInt(S, Wide) != trOk) return false;
  if ((Wide < 0 && !AllowNegative) || Wide < std::numeric_limits<int32_t>::min() ||
      Wide > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  Value = static_cast<int32_t>(Wide);
  return true;
}

// A part of a date or time: leading zeros dropped, then an integer; an empty
// part counts 0 when EmptyIsZero.
bool ReadPart(std::u16string_view Part, bool AllowNegative, bool EmptyIsZero, int32_t& Value) {
  Value = 0;
  if (Part.empty()) return EmptyIsZero;
  return ReadInteger(TrimInteger(Part), AllowNegative, Value);
}

// Milliseconds written as a fraction of a second: ".5" is 500 ms, ".005" is
// 5 ms; more than three digits cannot be held.
bool ReadMilliseconds(std::u16string_view Part, int32_t& Value) {
  Value = 0;
  if (Part.size() > 3 || !AllDigits(Part)) return false;
  for (size_t I = 0; I < 3; ++I) Value = Value * 10 + (I < Part.size() ? Part[I] - u'0' : 0);
  return true;
}

// Splits at the first Separator: Head gets the text before it, S the rest.
bool SplitAt(std::u16string_view& S, char16_t Separator, std::u16string_view& Head) {
  const size_t At = S.find(Separator);
  if (At == std::u16string_view::npos) return false;
  Head = S.substr(0, At);
  S.remove_prefix(At + 1);
  return true;
}

// Like SplitAt, but without the separator all of S is the head.
std::u16string_view TakeUntil(std::u16string_view& S, char16_t Separator) {
  std::u16string_view Head;
  if (!SplitAt(S, Separator, Head)) {
    Head = S;
    S = {};
  }
  return Head;
}

// Whether a float text that is out of the double range is so because it is
// too small: its decimal magnitude (integer digits, or minus the zeros after
// the point, plus the exponent) is below 1.
bool IsTinyFloatText(std::u16string_view S) {
  const size_t E = S.find_first_of(u"eE");
  std::u16string_view Mantissa = S.substr(0, E);
  if (!Mantissa.empty() && Mantissa[0] == u'-') Mantissa.remove_prefix(1);
  const size_t Point = Mantissa.find(u'.');
  std::u16string_view Whole = Mantissa.substr(0, Point);
  while (!Whole.empty() && Whole[0] == u'0') Whole.remove_prefix(1);
  int64_t Magnitude = static_cast<int64_t>(Whole.size());
  if (Magnitude == 0 && Point != std::u16string_view::npos) {
    const std::u16string_view Fraction = Mantissa.substr(Point + 1);
    const size_t First = Fraction.find_first_not_of(u'0');
    Magnitude = -static_cast<int64_t>(First == std::u16string_view::npos ? Fraction.size() : First);
  }
  if (E != std::u16string_view::npos) {
    std::u16string_view Exponent = S.substr(E + 1);
    bool Negative = false;
    if (!Exponent.empty() && (Exponent[0] == u'-' || Exponent[0] == u'+')) {
      Negative = Exponent[0] == u'-';
      Exponent.remove_prefix(1);
    }
    int64_t Value = 0;
    for (char16_t C : Exponent) Value = std::min<int64_t>(Value * 10 + (C - u'0'), 1000000000);
    Magnitude += Negative ? -Value : Value;
  }
  return Magnitude <= 0;
}

TORVTextResult ReadFloat(std::u16string_view Text, double& Value) {
  Value = 0;
  const TORVString S = TrimString(Text);
  if (EqualsUpper(S, u"NAN")) {
    Value = std::numeric_limits<double>::quiet_NaN();
    return trOk;
  }
  if (EqualsUpper(S, u"INF") || EqualsUpper(S, u"+INF") || EqualsUpper(S, u"-INF")) {
    Value = S[0] == u'-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return trOk;
  }
  if (S.empty()) return trMalformed;
  bool Point = false;
  bool Exponent = false;
  bool ExponentSign = false;
  for (size_t I = 0; I < S.size(); ++I) {
    const char16_t C = S[I];
    if (IsDigit(C) || (C == u'-' && I == 0)) continue;
    if (C == u'.' && !Point) {
      Point = true;
    } else if ((C == u'E' || C == u'e') && !Exponent) {
      Exponent = true;
    } else if ((C == u'+' || C == u'-') && Exponent && !ExponentSign) {
      ExponentSign = true;
    } else {
      return trMalformed;
    }
  }
  const std::string Narrowed = Narrow(S);
  double Parsed = 0;
  const auto [End, Error] = std::from_chars(Narrowed.data(), Narrowed.data() + Narrowed.size(), Parsed);
  if (End != Narrowed.data() + Narrowed.size()) return trFailed;
  if (Error == std::errc::result_out_of_range) {
    // Too small to hold reads as zero; too large to hold is an error.
    if (!IsTinyFloatText(S)) return trFailed;
    Parsed = 0;
  } else if (Error != std::errc()) {
    return trFailed;
  }
  Value = Parsed;
  return trOk;
}

// Sign, digits and at most one ".", exact to four decimals (half away from
// zero beyond them).
TORVTextResult ReadDecimal(std::u16string_view S, TORVCurrency& Value) {
  Value = TORVCurrency();
  size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == u'-' || S[I] == u'+')) Negative = S[I++] == u'-';
  const size_t Point = S.find(u'.', I);
  const std::u16string_view Whole = S.substr(I, Point == std::u16string_view::npos ? std::u16string_view::npos : Point - I);
  const std::u16string_view Fraction =
      Point == std::u16string_view::npos ? std::u16string_view() : S.substr(Point + 1);
  if (!AllDigits(Whole) || !AllDigits(Fraction)) return trMalformed;
  if (Whole.empty() && Fraction.empty()) return trFailed;
  uint64_t Magnitude = 0;
  if (!DigitsToMagnitude(Whole, uint64_t{1} << 63, Magnitude)) return trFailed;
  TInt128 Scaled = static_cast<TInt128>(Magnitude) * TORVCurrency::Scale;
  int64_t Unit = TORVCurrency::Scale / 10;
  for (size_t K = 0; K < Fraction.size() && K < 4; ++K, Unit /= 10) Scaled += (Fraction[K] - u'0') * Unit;
  if (Fraction.size() > 4 && Fraction[4] >= u'5') Scaled += 1;
  if (Negative) Scaled = -Scaled;
  if (Scaled > std::numeric_limits<int64_t>::max() || Scaled < std::numeric_limits<int64_t>::min()) {
    return trFailed;
  }
  Value = TORVCurrency::FromScaled(static_cast<int64_t>(Scaled));
  return trOk;
}

// Optional blanks, a sign, then decimal digits or hexadecimal after "$" or
// "0x"; the magnitude limited to Limit.
bool ReadPlatformInteger(std::u16string_view S, uint64_t Limit, bool& Negative, uint64_t& Magnitude) {
  Negative = false;
  Magnitude = 0;
  while (!S.empty() && S.front() == u' ') S.remove_prefix(1);
  while (!S.empty() && S.back() == u' ') S.remove_suffix(1);
  if (!S.empty() && (S[0] == u'-' || S[0] == u'+')) {
    Negative = S[0] == u'-';
    S.remove_prefix(1);
  }
  bool Hex = false;
  if (!S.empty() && S[0] == u'$') {
    Hex = true;
    S.remove_prefix(1);
  } else if (S.size() >= 2 && S[0] == u'0' && (S[1] == u'x' || S[1] == u'X')) {
    Hex = true;
    S.remove_prefix(2);
  }
  if (S.empty()) return false;
  if (!Hex) return AllDigits(S) && DigitsToMagnitude(S, Limit, Magnitude);
  for (char16_t C : S) {
    const int32_t Digit = HexValue(C);
    if (Digit < 0 || Magnitude > (Limit - static_cast<uint64_t>(Digit)) / 16) return false;
    Magnitude = Magnitude * 16 + static_cast<uint64_t>(Digit);
  }
  return true;
}

// The platform integer reader for a signed type whose largest value is Max.
int64_t StringToSigned(std::u16string_view S, uint64_t Max) {
  bool Negative = false;
  uint64_t Magnitude = 0;
  if (!ReadPlatformInteger(S, Max + 1, Negative, Magnitude) || (!Negative && Magnitude > Max)) {
    RaiseConversionError(S);
  }
  return SignedValue(Negative, Magnitude);
}

void AppendDate(TORVString& Text, int32_t Date) {
  const TORVParsedDate D = ParseDate(Date);
  AppendInteger(Text, D.Year, 4);
  Text += u'-';
  AppendInteger(Text, D.Month, 2);
  Text += u'-';
  AppendInteger(Text, D.Day, 2);
}

void AppendTime(TORVString& Text, int32_t Time, bool TwentyFourHour) {
  TORVParsedTime T = ParseTime(Time);
  const bool Pm = T.Hour > 11;
  if (!TwentyFourHour) {
    if (Pm) T.Hour -= 12;
    if (T.Hour == 0) T.Hour = 12;
  }
  AppendInteger(Text, T.Hour, 2);
  Text += u':';
  AppendInteger(Text, T.Minute, 2);
  if (T.Second != 0 || T.MSecond != 0) {
    Text += u':';
    AppendInteger(Text, T.Second, 2);
  }
  if (T.MSecond != 0) {
    Text += u'.';
    AppendInteger(Text, T.MSecond, 3);
  }
  if (!TwentyFourHour) Text += Pm ? u" PM" : u" AM";
}

bool ReadDate(std::u16string_view S, int32_t& Date) {
  Date = 0;
  const TORVString Text = TrimString(S);
  std::u16string_view Rest = Text;
  std::u16string_view Year;
  std::u16string_view Month;
  if (!SplitAt(Rest, u'-', Year) || !SplitAt(Rest, u'-', Month)) return false;
  TORVParsedDate D;
  if (!ReadPart(Year, true, false, D.Year) || !ReadPart(Month, true, false, D.Month) ||
      !ReadPart(Rest, true, false, D.Day)) {
    return false;
  }
  return MakeDate(D, Date, false);
}

bool ReadTime(std::u16string_view S, int32_t& Time) {
  Time = 0;
  const TORVString Text = TrimString(S);
  std::u16string_view Rest = Text;
  std::u16string_view Hour;
  std::u16string_view Minute;
  std::u16string_view Second;
  std::u16string_view Msecond;
  if (!SplitAt(Rest, u':', Hour)) return false;
  if (Rest.find(u':') == std::u16string_view::npos) {
    Minute = TakeUntil(Rest, u' ');
  } else {
    SplitAt(Rest, u':', Minute);
    if (Rest.find(u'.') != std::u16string_view::npos) {
      SplitAt(Rest, u'.', Second);
      Msecond = TakeUntil(Rest, u' ');
    } else {
      Second = TakeUntil(Rest, u' ');
    }
  }
  const bool Am = EqualsUpper(Rest, u"AM");
  const bool Pm = EqualsUpper(Rest, u"PM");
  if (!Rest.empty() && !Am && !Pm) return false;
  TORVParsedTime T;
  if (!ReadPart(Hour, true, true, T.Hour) || !ReadPart(Minute, true, true, T.Minute) ||
      !ReadPart(Second, true, true, T.Second) || !ReadMilliseconds(Msecond, T.MSecond)) {
    return false;
  }
  if (Am && T.Hour == 12) T.Hour = 0;
  if (Pm && T.Hour != 12) T.Hour += 12;
  return MakeTime(T, Time);
}

bool ReadTimeStamp(std::u16string_view S, int64_t& TimeStamp) {
  TimeStamp = 0;
  const TORVString Text = TrimString(S);
  std::u16string_view Rest = Text;
  const std::u16string_view DatePart = TakeUntil(Rest, u' ');
  int32_t Date = 0;
  int32_t Time = 0;
  if (DatePart.empty() || !ReadDate(DatePart, Date)) return false;
  if (!Rest.empty() && !ReadTime(Rest, Time)) return false;
  TimeStamp = DateToTimeStamp(Date, false) + Time;
  return true;
}

bool ReadYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType, int32_t& Interval) {
  Interval = 0;
  const TORVString Text = TrimString(S);
  int32_t Value = 0;
  switch (SubType) {
    case stMonth: return ReadInteger(Text, true, Value) && MakeYearMonthInterval({0, Value}, Interval);
    case stYear: return ReadInteger(Text, true, Value) && MakeYearMonthInterval({Value, 0}, Interval);
    case stYearToMonth: break;
    default: return false;
  }
  // The sign belongs to the whole interval, so "-0-06" is minus six months.
  std::u16string_view Rest = Text;
  const bool Negative = !Rest.empty() && Rest[0] == u'-';
  if (Negative) Rest.remove_prefix(1);
  std::u16string_view Years;
  if (!SplitAt(Rest, u'-', Years)) return false;
  TORVParsedYearMonthInterval Parsed;
  const TORVString SignedYears = (Negative ? TORVString(u"-") : TORVString()) + TORVString(Years);
  if (!ReadInteger(SignedYears, true, Parsed.Years) || !ReadInteger(TrimInteger(Rest), false, Parsed.Months)) {
    return false;
  }
  if (Negative) Parsed.Months = -Parsed.Months;
  return MakeYearMonthInterval(Parsed, Interval);
}

// The fields of a day-time subtype from the leading one down: the separator
// written before each (unless it leads) and the digits it is padded to.
struct TORVDayTimeField {
  TORVSubTypeCode Bit;
  char16_t Separator;
  size_t Width;
  int64_t TORVParsedDayTimeInterval::*Member;
};
constexpr TORVDayTimeField DayTimeFields[] = {
    {stDay, 0, 0, &TORVParsedDayTimeInterval::Days},
    {stHour, u' ', 0, &TORVParsedDayTimeInterval::Hours},
    {stMinute, u':', 2, &TORVParsedDayTimeInterval::Minutes},
    {stSecond, u':', 2, &TORVParsedDayTimeInterval::Seconds},
    {stMSecond, u'.', 3, &TORVParsedDayTimeInterval::MSeconds},
};

bool ReadDayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType, int64_t& Interval) {
  Interval = 0;
  if (!IsValidDayTimeSubType(SubType)) return false;
  const TORVDayTimeField* Fields[5];
  size_t Count = 0;
  for (const TORVDayTimeField& Field : DayTimeFields) {
    if ((SubType & Field.Bit) != 0) Fields[Count++] = &Field;
  }
  const TORVString Text = TrimString(S);
  std::u16string_view Rest = Text;
  TORVParsedDayTimeInterval Parsed;
  // The sign belongs to the whole interval, so "-0:30" is minus 30 minutes.
  bool Negative = false;
  for (size_t I = 0; I < Count; ++I) {
    std::u16string_view Part = Rest;
    if (I + 1 < Count && !SplitAt(Rest, Fields[I + 1]->Separator, Part)) return false;
    int64_t& Field = Parsed.*Fields[I]->Member;
    int32_t Value = 0;
    if (I == 0) {
      // The leading field is unbounded: a millisecond interval of a month
      // still has to read back.
      Negative = !Part.empty() && Part[0] == u'-';
      if (ReadLargeInt(Part, Field) != trOk) return false;
      continue;
    } else if (Fields[I]->Bit == stMSecond) {
      if (Part.empty() || !ReadMilliseconds(Part, Value)) return false;
    } else if (!ReadInteger(TrimInteger(Part), false, Value)) {
      return false;
    }
    Field = Negative ? -int64_t{Value} : Value;
  }
  return MakeDayTimeInterval(Parsed, Interval);
}

}  // namespace

TORVString IntToString(int32_t Value) { return IntToString(int64_t{Value}); }

TORVString IntToString(int64_t Value) {
  TORVString Text;
  AppendInteger(Text, Value);
  return Text;
}

TORVString ByteToHexString(uint8_t Value) {
  return TORVString{HexDigits[Value >> 4], HexDigits[Value & 15]};
}

TORVString IntToHexString(int32_t Value) {
  const uint32_t Bits = static_cast<uint32_t>(Value);
  TORVString Text(8, u'0');
  for (int I = 0; I < 8; ++I) Text[7 - I] = HexDigits[(Bits >> (4 * I)) & 15];
  return Text;
}

TORVString DecimalToString(TORVCurrency Value) {
  const int64_t Scaled = Value.Scaled();
  // Through unsigned so that the most negative value has a magnitude too.
  const uint64_t Magnitude = Scaled < 0 ? 0 - static_cast<uint64_t>(Scaled) : static_cast<uint64_t>(Scaled);
  TORVString Text;
  if (Scaled < 0) Text += u'-';
  AppendInteger(Text, static_cast<int64_t>(Magnitude / TORVCurrency::Scale));
  const uint64_t Fraction = Magnitude % TORVCurrency::Scale;
  if (Fraction != 0) {
    Text += CurrencyDecimalChar.load();
    AppendInteger(Text, static_cast<int64_t>(Fraction), 4);
    while (Text.back() == u'0') Text.pop_back();
  }
  return Text;
}

TORVString FloatToString(double Value) {
  if (std::isnan(Value)) return u"NAN";
  if (std::isinf(Value)) return Value < 0 ? u"-INF" : u"INF";
  TORVString Text;
  if (std::signbit(Value)) Text += u'-';
  if (Value == 0) {
    Text += u'0';
    return Text;
  }
  // The shortest digits that read back to the same double ("d.ddde+x"), and
  // their exponent.
  char Scientific[32];
  const char* End =
      std::to_chars(Scientific, Scientific + sizeof Scientific, std::fabs(Value), std::chars_format::scientific).ptr;
  const char* E = std::find(static_cast<const char*>(Scientific), End, 'e');
  char Buffer[24];
  size_t Count = 0;
  for (const char* C = Scientific; C != E; ++C) {
    if (*C != '.') Buffer[Count++] = *C;
  }
  const std::string_view Digits(Buffer, Count);
  int32_t Exponent = 0;
  std::from_chars(E + 2, End, Exponent);
  if (E[1] == '-') Exponent = -Exponent;
  const char16_t Point = NumberDecimalChar.load();
  if (Exponent >= -5 && Exponent <= 14) {
    if (Exponent < 0) {
      Text += u'0';
      Text += Point;
      Text.append(static_cast<size_t>(-Exponent - 1), u'0');
      AppendAscii(Text, Digits);
    } else {
      const size_t Whole = static_cast<size_t>(Exponent) + 1;
      if (Digits.size() <= Whole) {
        AppendAscii(Text, Digits);
        Text.append(Whole - Digits.size(), u'0');
      } else {
        AppendAscii(Text, Digits.substr(0, Whole));
        Text += Point;
        AppendAscii(Text, Digits.substr(Whole));
      }
    }
  } else {
    AppendAscii(Text, Digits.substr(0, 1));
    if (Digits.size() > 1) {
      Text += Point;
      AppendAscii(Text, Digits.substr(1));
    }
    Text += u'E';
    AppendInteger(Text, Exponent);
  }
  return Text;
}

TORVString BytesToString(int64_t Value) {
  if (Value < 1024) return IntToString(Value) + u"B";
  struct Unit {
    int64_t Limit;
    int64_t Divisor;
    const char16_t* Name;
  };
  static constexpr Unit Units[] = {
      {int64_t{1} << 20, int64_t{1} << 10, u"KB"},
      {int64_t{1} << 30, int64_t{1} << 20, u"MB"},
      {int64_t{1} << 40, int64_t{1} << 30, u"GB"},
      {std::numeric_limits<int64_t>::max(), int64_t{1} << 40, u"TB"},
  };
  const Unit* Chosen = &Units[3];
  for (const Unit& Candidate : Units) {
    if (Value < Candidate.Limit) {
      Chosen = &Candidate;
      break;
    }
  }
  // Hundredths of the unit, rounded half away from zero (the value is
  // positive here), computed exactly.
  const TInt128 Hundredths = (static_cast<TInt128>(Value) * 200 / Chosen->Divisor + 1) / 2;
  return DecimalToString(TORVCurrency::FromScaled(static_cast<int64_t>(Hundredths * 100))) + Chosen->Name;
}

bool StringToBool(std::u16string_view S) {
  if (EqualsUpper(S, u"TRUE")) return true;
  if (EqualsUpper(S, u"FALSE")) return false;
  return StringToLargeInt(S) != 0;
}

int32_t StringToInt(std::u16string_view S) {
  return static_cast<int32_t>(StringToSigned(S, std::numeric_limits<int32_t>::max()));
}

int64_t StringToLargeInt(std::u16string_view S) { return StringToSigned(S, std::numeric_limits<int64_t>::max()); }

TORVCurrency StringToDecimal(std::u16string_view S) {
  TORVCurrency Value;
  if (!TryStringToDecimal(S, Value)) RaiseConversionError(S);
  return Value;
}

double StringToFloat(std::u16string_view S) {
  double Value = 0;
  if (!TryStringToFloat(S, Value)) RaiseConversionError(S);
  return Value;
}

bool TryStringToDecimal(std::u16string_view S, TORVCurrency& Value) {
  const char16_t Separator = CurrencyDecimalChar.load();
  if (Separator == u'.') return ReadDecimal(S, Value) == trOk;
  TORVString Text(S);
  ToDecimalPoint(Text, Separator);
  return ReadDecimal(Text, Value) == trOk;
}

bool TryStringToFloat(std::u16string_view S, double& Value) {
  TORVString Text = TrimString(S);
  ToDecimalPoint(Text, NumberDecimalChar.load());
  if (!Text.empty() && Text[0] == u'+' && Text.size() > 1 && Text[1] != u'-') Text.erase(0, 1);
  return ReadFloat(Text, Value) == trOk;
}

uint8_t HexStringToByte(std::u16string_view S) {
  bool Negative = false;
  uint64_t Magnitude = 0;
  if (!ReadPlatformInteger(S, 255, Negative, Magnitude) || (Negative && Magnitude != 0)) RaiseConversionError(S);
  return static_cast<uint8_t>(Magnitude);
}

TORVString DateToSQLStr(int32_t Date) {
  TORVString Text;
  AppendDate(Text, Date);
  return Text;
}

bool SQLStrToDate(std::u16string_view S, int32_t& Date) { return ReadDate(S, Date); }

TORVString TimeToSQLStr(int32_t Time, bool TwentyFourHour) {
  TORVString Text;
  AppendTime(Text, Time, TwentyFourHour);
  return Text;
}

bool SQLStrToTime(std::u16string_view S, int32_t& Time) { return ReadTime(S, Time); }

TORVString TimeStampToSQLStr(int64_t TimeStamp, bool TwentyFourHour) {
  TORVString Text;
  AppendDate(Text, DateFromTimeStamp(TimeStamp));
  Text += u' ';
  AppendTime(Text, TimeFromTimeStamp(TimeStamp), TwentyFourHour);
  return Text;
}

bool SQLStrToTimeStamp(std::u16string_view S, int64_t& TimeStamp) { return ReadTimeStamp(S, TimeStamp); }

TORVString YearMonthIntervalToSQLStr(int32_t Interval, TORVSubTypeCode SubType) {
  const TORVParsedYearMonthInterval I = ParseYearMonthInterval(Interval, SubType);
  switch (SubType) {
    case stMonth: return IntToString(I.Months);
    case stYear: return IntToString(I.Years);
    case stYearToMonth: {
      TORVString Text;
      if (I.Years == 0 && I.Months < 0) Text += u'-';
      AppendInteger(Text, I.Years);
      Text += u'-';
      AppendInteger(Text, std::abs(I.Months), 2);
      return Text;
    }
    default: return {};
  }
}

bool SQLStrToYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType, int32_t& Interval) {
  return ReadYearMonthInterval(S, SubType, Interval);
}

TORVString DayTimeIntervalToSQLStr(int64_t Interval, TORVSubTypeCode SubType) {
  if (!IsValidDayTimeSubType(SubType)) return {};
  const TORVParsedDayTimeInterval Parsed = ParseDayTimeInterval(Interval, SubType);
  TORVString Text;
  bool Negative = false;
  bool Leading = true;
  for (const TORVDayTimeField& Field : DayTimeFields) {
    if ((SubType & Field.Bit) == 0) continue;
    const int64_t Value = Parsed.*Field.Member;
    if (Value < 0) Negative = true;
    if (Leading) {
      AppendInteger(Text, Value);
      Leading = false;
      continue;
    }
    // Later fields are less than their larger unit, so their magnitude is safe.
    Text += Field.Separator;
    AppendInteger(Text, Value < 0 ? -Value : Value, Field.Width);
  }
  // A negative interval whose leading field is 0 still needs its sign.
  if (Negative && Text[0] != u'-') Text.insert(Text.begin(), u'-');
  return Text;
}

bool SQLStrToDayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType, int64_t& Interval) {
  return ReadDayTimeInterval(S, SubType, Interval);
}

TORVString BinaryToSQLStr(const TORVBytes& Bytes) {
  TORVString Text;
  Text.reserve(Bytes.size() * 2);
  for (uint8_t B : Bytes) {
    Text += HexDigits[B >> 4];
    Text += HexDigits[B & 15];
  }
  return Text;
}

bool SQLStrToBinary(std::u16string_view S, TORVBytes& Bytes) {
  Bytes.clear();
  if (S.size() % 2 != 0) return false;
  Bytes.resize(S.size() / 2);
  for (size_t I = 0; I < Bytes.size(); ++I) {
    const int32_t High = HexValue(S[2 * I]);
    const int32_t Low = HexValue(S[2 * I + 1]);
    if (High < 0 || Low < 0) {
      Bytes.clear();
      return false;
    }
    Bytes[I] = static_cast<uint8_t>(High * 16 + Low);
  }
  return true;
}

bool SQLStrToLargeInt(std::u16string_view S, int64_t& Value) {
  const TORVTextResult Result = ReadLargeInt(S, Value);
  if (Result == trFailed) RaiseConversionError(S);
  return Result == trOk;
}

bool SQLStrToUnsignedChar(std::u16string_view S, char16_t& Value) {
  Value = 0;
  if (S.empty() || S[0] != u'#') return false;
  int64_t Code = 0;
  if (!SQLStrToLargeInt(S.substr(1), Code) || Code < 0 || Code > 0xFFFF) return false;
  Value = static_cast<char16_t>(Code);
  return true;
}

TORVString BooleanToSQLStr(bool Value) { return Value ? u"TRUE" : u"FALSE"; }

bool SQLStrToBoolean(std::u16string_view S, bool& Value) {
  if (EqualsUpper(S, u"TRUE")) {
    Value = true;
  } else if (EqualsUpper(S, u"FALSE")) {
    Value = false;
  } else {
    return false;
  }
  return true;
}

TORVString FloatToSQLStr(double Value) {
  SetDecimalSeparator();
  TORVString Text = FloatToString(Value);
  ToDecimalPoint(Text, NumberDecimalChar.load());
  return Text;
}

bool SQLStrToFloat(std::u16string_view S, double& Value) {
  const TORVTextResult Result = ReadFloat(S, Value);
  if (Result == trFailed) RaiseConversionError(S);
  return Result == trOk;
}

TORVString DecimalToSQLStr(TORVCurrency Value, int32_t Scale) {
  SetDecimalSeparator();
  TORVString Text = DecimalToString(Value);
  ToDecimalPoint(Text, CurrencyDecimalChar.load());
  if (Scale != 0) Text = PadDecimal(Text, Scale, u'.');
  return Text;
}

bool SQLStrToDecimal(std::u16string_view S, TORVCurrency& Value) {
  Value = TORVCurrency();
  SetDecimalSeparator();
  if (S.empty()) return false;
  bool Point = false;
  for (size_t I = 0; I < S.size(); ++I) {
    if (IsDigit(S[I]) || (S[I] == u'-' && I == 0)) continue;
    if (S[I] != u'.' || Point) return false;
    Point = true;
  }
  if (ReadDecimal(S, Value) != trOk) RaiseConversionError(S);
  return true;
}

bool IsAnInteger(std::u16string_view S, bool AllowNegative) {
  int32_t Value = 0;
  return ReadInteger(S, AllowNegative, Value);
}

bool IsALargeInt(std::u16string_view S) {
  int64_t Value = 0;
  return ReadLargeInt(S, Value) == trOk;
}

bool IsAnUnsignedChar(std::u16string_view S) {
  if (!S.empty() && S[0] == u'#') S.remove_prefix(1);
  int64_t Code = 0;
  return ReadLargeInt(S, Code) == trOk && Code >= 0 && Code <= 0xFFFF;
}

bool IsAFloat(std::u16string_view S) {
  double Value = 0;
  return ReadFloat(S, Value) == trOk;
}

bool IsADate(std::u16string_view S) {
  int32_t Date = 0;
  return ReadDate(S, Date);
}

bool IsATime(std::u16string_view S) {
  int32_t Time = 0;
  return ReadTime(S, Time);
}

bool IsATimeStamp(std::u16string_view S) {
  int64_t Stamp = 0;
  return ReadTimeStamp(S, Stamp);
}

bool IsAYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType) {
  int32_t Interval = 0;
  return ReadYearMonthInterval(S, SubType, Interval);
}

bool IsADayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType) {
  int64_t Interval = 0;
  return ReadDayTimeInterval(S, SubType, Interval);
}

}  // namespace orv
