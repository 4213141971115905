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
  const TORVString value(S);
  const TORVString detail = FormatString(u"A conversion error occurred with the value %s", {value});
  RaiseError(ORV_VALUE_ERROR, {u"value", value, detail});
}

bool IsDigit(char16_t C) { return C >= u'0' && C <= u'9'; }

int32_t HexValue(char16_t C) {
  if (C >= u'0' && C <= u'9') return C - u'0';
  if (C >= u'A' && C <= u'F') return C - u'A' + 10;
  if (C >= u'a' && C <= u'f') return C - u'a' + 10;
  return -1;
}

bool AllDigits(std::u16string_view S) {
  for (char16_t c : S) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// Narrows text already known to be 7-bit.
std::string Narrow(std::u16string_view S) {
  std::string text;
  text.reserve(S.size());
  for (char16_t c : S) text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return text;
}

void AppendAscii(TORVString& Text, std::string_view S) { Text.append(S.begin(), S.end()); }

// Appends Value in decimal, zero-padded on the left to Width characters the
// way PadInteger pads, without building the digits as a string of their own.
void AppendInteger(TORVString& Text, int64_t Value, size_t Width = 0) {
  char buffer[24];
  const char* end = std::to_chars(buffer, buffer + sizeof buffer, Value).ptr;
  const size_t count = static_cast<size_t>(end - buffer);
  if (count < Width) Text.append(Width - count, u'0');
  AppendAscii(Text, std::string_view(buffer, count));
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
  for (char16_t c : Digits) {
    const uint64_t digit = static_cast<uint64_t>(c - u'0');
    if (Magnitude > (Limit - digit) / 10) return false;
    Magnitude = Magnitude * 10 + digit;
  }
  return true;
}

// An optional "-" followed by digits only.
TORVTextResult ReadLargeInt(std::u16string_view S, int64_t& Value) {
  Value = 0;
  if (S.empty()) return trMalformed;
  const bool negative = S[0] == u'-';
  const std::u16string_view digits = negative ? S.substr(1) : S;
  if (digits.empty() || !AllDigits(digits)) return trMalformed;
  const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  if (!DigitsToMagnitude(digits, limit, magnitude)) return trFailed;
  Value = SignedValue(negative, magnitude);
  return trOk;
}

bool ReadInteger(std::u16string_view S, bool AllowNegative, int32_t& Value) {
  Value = 0;
  int64_t value = 0;
  if (ReadLargeInt(S, value) != trOk) return false;
  if ((value < 0 && !AllowNegative) || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  Value = static_cast<int32_t>(value);
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
  for (size_t i = 0; i < 3; ++i) Value = Value * 10 + (i < Part.size() ? Part[i] - u'0' : 0);
  return true;
}

// Splits at the first Separator: Head gets the text before it, S the rest.
bool SplitAt(std::u16string_view& S, char16_t Separator, std::u16string_view& Head) {
  const size_t at = S.find(Separator);
  if (at == std::u16string_view::npos) return false;
  Head = S.substr(0, at);
  S.remove_prefix(at + 1);
  return true;
}

// Like SplitAt, but without the separator all of S is the head.
std::u16string_view TakeUntil(std::u16string_view& S, char16_t Separator) {
  std::u16string_view head;
  if (!SplitAt(S, Separator, head)) {
    head = S;
    S = {};
  }
  return head;
}

// Whether a float text that is out of the double range is so because it is
// too small: its decimal magnitude (integer digits, or minus the zeros after
// the point, plus the exponent) is below 1.
bool IsTinyFloatText(std::u16string_view S) {
  const size_t e = S.find_first_of(u"eE");
  std::u16string_view mantissa = S.substr(0, e);
  if (!mantissa.empty() && mantissa[0] == u'-') mantissa.remove_prefix(1);
  const size_t point = mantissa.find(u'.');
  std::u16string_view whole = mantissa.substr(0, point);
  while (!whole.empty() && whole[0] == u'0') whole.remove_prefix(1);
  int64_t magnitude = static_cast<int64_t>(whole.size());
  if (magnitude == 0 && point != std::u16string_view::npos) {
    const std::u16string_view fraction = mantissa.substr(point + 1);
    const size_t first = fraction.find_first_not_of(u'0');
    magnitude = -static_cast<int64_t>(first == std::u16string_view::npos ? fraction.size() : first);
  }
  if (e != std::u16string_view::npos) {
    std::u16string_view exponent = S.substr(e + 1);
    bool negative = false;
    if (!exponent.empty() && (exponent[0] == u'-' || exponent[0] == u'+')) {
      negative = exponent[0] == u'-';
      exponent.remove_prefix(1);
    }
    int64_t value = 0;
    for (char16_t c : exponent) value = std::min<int64_t>(value * 10 + (c - u'0'), 1000000000);
    magnitude += negative ? -value : value;
  }
  return magnitude <= 0;
}

TORVTextResult ReadFloat(std::u16string_view Text, double& Value) {
  Value = 0;
  const TORVString s = TrimString(Text);
  if (EqualsUpper(s, u"NAN")) {
    Value = std::numeric_limits<double>::quiet_NaN();
    return trOk;
  }
  if (EqualsUpper(s, u"INF") || EqualsUpper(s, u"+INF") || EqualsUpper(s, u"-INF")) {
    Value = s[0] == u'-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return trOk;
  }
  if (s.empty()) return trMalformed;
  bool point = false;
  bool exponent = false;
  bool exponentSign = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (IsDigit(c) || (c == u'-' && i == 0)) continue;
    if (c == u'.' && !point) {
      point = true;
    } else if ((c == u'E' || c == u'e') && !exponent) {
      exponent = true;
    } else if ((c == u'+' || c == u'-') && exponent && !exponentSign) {
      exponentSign = true;
    } else {
      return trMalformed;
    }
  }
  const std::string text = Narrow(s);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return trFailed;
  if (error == std::errc::result_out_of_range) {
    // Too small to hold reads as zero; too large to hold is an error.
    if (!IsTinyFloatText(s)) return trFailed;
    value = 0;
  } else if (error != std::errc()) {
    return trFailed;
  }
  Value = value;
  return trOk;
}

// Sign, digits and at most one ".", exact to four decimals (half away from
// zero beyond them).
TORVTextResult ReadDecimal(std::u16string_view S, TORVCurrency& Value) {
  Value = TORVCurrency();
  size_t i = 0;
  bool negative = false;
  if (i < S.size() && (S[i] == u'-' || S[i] == u'+')) negative = S[i++] == u'-';
  const size_t point = S.find(u'.', i);
  const std::u16string_view whole = S.substr(i, point == std::u16string_view::npos ? std::u16string_view::npos : point - i);
  const std::u16string_view fraction =
      point == std::u16string_view::npos ? std::u16string_view() : S.substr(point + 1);
  if (!AllDigits(whole) || !AllDigits(fraction)) return trMalformed;
  if (whole.empty() && fraction.empty()) return trFailed;
  uint64_t magnitude = 0;
  if (!DigitsToMagnitude(whole, uint64_t{1} << 63, magnitude)) return trFailed;
  TInt128 scaled = static_cast<TInt128>(magnitude) * TORVCurrency::Scale;
  int64_t unit = TORVCurrency::Scale / 10;
  for (size_t k = 0; k < fraction.size() && k < 4; ++k, unit /= 10) scaled += (fraction[k] - u'0') * unit;
  if (fraction.size() > 4 && fraction[4] >= u'5') scaled += 1;
  if (negative) scaled = -scaled;
  if (scaled > std::numeric_limits<int64_t>::max() || scaled < std::numeric_limits<int64_t>::min()) {
    return trFailed;
  }
  Value = TORVCurrency::FromScaled(static_cast<int64_t>(scaled));
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
  bool hex = false;
  if (!S.empty() && S[0] == u'$') {
    hex = true;
    S.remove_prefix(1);
  } else if (S.size() >= 2 && S[0] == u'0' && (S[1] == u'x' || S[1] == u'X')) {
    hex = true;
    S.remove_prefix(2);
  }
  if (S.empty()) return false;
  if (!hex) return AllDigits(S) && DigitsToMagnitude(S, Limit, Magnitude);
  for (char16_t c : S) {
    const int32_t digit = HexValue(c);
    if (digit < 0 || Magnitude > (Limit - static_cast<uint64_t>(digit)) / 16) return false;
    Magnitude = Magnitude * 16 + static_cast<uint64_t>(digit);
  }
  return true;
}

// The platform integer reader for a signed type whose largest value is Max.
int64_t StringToSigned(std::u16string_view S, uint64_t Max) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ReadPlatformInteger(S, Max + 1, negative, magnitude) || (!negative && magnitude > Max)) {
    RaiseConversionError(S);
  }
  return SignedValue(negative, magnitude);
}

void AppendDate(TORVString& Text, int32_t Date) {
  const TORVParsedDate d = ParseDate(Date);
  AppendInteger(Text, d.Year, 4);
  Text += u'-';
  AppendInteger(Text, d.Month, 2);
  Text += u'-';
  AppendInteger(Text, d.Day, 2);
}

void AppendTime(TORVString& Text, int32_t Time, bool TwentyFourHour) {
  TORVParsedTime t = ParseTime(Time);
  const bool pm = t.Hour > 11;
  if (!TwentyFourHour) {
    if (pm) t.Hour -= 12;
    if (t.Hour == 0) t.Hour = 12;
  }
  AppendInteger(Text, t.Hour, 2);
  Text += u':';
  AppendInteger(Text, t.Minute, 2);
  if (t.Second != 0 || t.MSecond != 0) {
    Text += u':';
    AppendInteger(Text, t.Second, 2);
  }
  if (t.MSecond != 0) {
    Text += u'.';
    AppendInteger(Text, t.MSecond, 3);
  }
  if (!TwentyFourHour) Text += pm ? u" PM" : u" AM";
}

bool ReadDate(std::u16string_view S, int32_t& Date) {
  Date = 0;
  const TORVString text = TrimString(S);
  std::u16string_view rest = text;
  std::u16string_view year;
  std::u16string_view month;
  if (!SplitAt(rest, u'-', year) || !SplitAt(rest, u'-', month)) return false;
  TORVParsedDate d;
  if (!ReadPart(year, true, false, d.Year) || !ReadPart(month, true, false, d.Month) ||
      !ReadPart(rest, true, false, d.Day)) {
    return false;
  }
  return MakeDate(d, Date, false);
}

bool ReadTime(std::u16string_view S, int32_t& Time) {
  Time = 0;
  const TORVString text = TrimString(S);
  std::u16string_view rest = text;
  std::u16string_view hour;
  std::u16string_view minute;
  std::u16string_view second;
  std::u16string_view msecond;
  if (!SplitAt(rest, u':', hour)) return false;
  if (rest.find(u':') == std::u16string_view::npos) {
    minute = TakeUntil(rest, u' ');
  } else {
    SplitAt(rest, u':', minute);
    if (rest.find(u'.') != std::u16string_view::npos) {
      SplitAt(rest, u'.', second);
      msecond = TakeUntil(rest, u' ');
    } else {
      second = TakeUntil(rest, u' ');
    }
  }
  const bool am = EqualsUpper(rest, u"AM");
  const bool pm = EqualsUpper(rest, u"PM");
  if (!rest.empty() && !am && !pm) return false;
  TORVParsedTime t;
  if (!ReadPart(hour, true, true, t.Hour) || !ReadPart(minute, true, true, t.Minute) ||
      !ReadPart(second, true, true, t.Second) || !ReadMilliseconds(msecond, t.MSecond)) {
    return false;
  }
  if (am && t.Hour == 12) t.Hour = 0;
  if (pm && t.Hour != 12) t.Hour += 12;
  return MakeTime(t, Time);
}

bool ReadTimeStamp(std::u16string_view S, int64_t& TimeStamp) {
  TimeStamp = 0;
  const TORVString text = TrimString(S);
  std::u16string_view rest = text;
  const std::u16string_view datePart = TakeUntil(rest, u' ');
  int32_t date = 0;
  int32_t time = 0;
  if (datePart.empty() || !ReadDate(datePart, date)) return false;
  if (!rest.empty() && !ReadTime(rest, time)) return false;
  TimeStamp = DateToTimeStamp(date, false) + time;
  return true;
}

bool ReadYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType, int32_t& Interval) {
  Interval = 0;
  const TORVString text = TrimString(S);
  int32_t value = 0;
  switch (SubType) {
    case stMonth: return ReadInteger(text, true, value) && MakeYearMonthInterval({0, value}, Interval);
    case stYear: return ReadInteger(text, true, value) && MakeYearMonthInterval({value, 0}, Interval);
    case stYearToMonth: break;
    default: return false;
  }
  // The sign belongs to the whole interval, so "-0-06" is minus six months.
  std::u16string_view rest = text;
  const bool negative = !rest.empty() && rest[0] == u'-';
  if (negative) rest.remove_prefix(1);
  std::u16string_view years;
  if (!SplitAt(rest, u'-', years)) return false;
  TORVParsedYearMonthInterval parsed;
  const TORVString signedYears = (negative ? TORVString(u"-") : TORVString()) + TORVString(years);
  if (!ReadInteger(signedYears, true, parsed.Years) || !ReadInteger(TrimInteger(rest), false, parsed.Months)) {
    return false;
  }
  if (negative) parsed.Months = -parsed.Months;
  return MakeYearMonthInterval(parsed, Interval);
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
  const TORVDayTimeField* fields[5];
  size_t count = 0;
  for (const TORVDayTimeField& field : DayTimeFields) {
    if ((SubType & field.Bit) != 0) fields[count++] = &field;
  }
  const TORVString text = TrimString(S);
  std::u16string_view rest = text;
  TORVParsedDayTimeInterval parsed;
  // The sign belongs to the whole interval, so "-0:30" is minus 30 minutes.
  bool negative = false;
  for (size_t i = 0; i < count; ++i) {
    std::u16string_view part = rest;
    if (i + 1 < count && !SplitAt(rest, fields[i + 1]->Separator, part)) return false;
    int64_t& field = parsed.*fields[i]->Member;
    int32_t value = 0;
    if (i == 0) {
      // The leading field is unbounded: a millisecond interval of a month
      // still has to read back.
      negative = !part.empty() && part[0] == u'-';
      if (ReadLargeInt(part, field) != trOk) return false;
      continue;
    } else if (fields[i]->Bit == stMSecond) {
      if (part.empty() || !ReadMilliseconds(part, value)) return false;
    } else if (!ReadInteger(TrimInteger(part), false, value)) {
      return false;
    }
    field = negative ? -int64_t{value} : value;
  }
  return MakeDayTimeInterval(parsed, Interval);
}

}  // namespace

TORVString IntToString(int32_t Value) { return IntToString(int64_t{Value}); }

TORVString IntToString(int64_t Value) {
  TORVString text;
  AppendInteger(text, Value);
  return text;
}

TORVString ByteToHexString(uint8_t Value) {
  return TORVString{HexDigits[Value >> 4], HexDigits[Value & 15]};
}

TORVString IntToHexString(int32_t Value) {
  const uint32_t bits = static_cast<uint32_t>(Value);
  TORVString text(8, u'0');
  for (int i = 0; i < 8; ++i) text[7 - i] = HexDigits[(bits >> (4 * i)) & 15];
  return text;
}

TORVString DecimalToString(TORVCurrency Value) {
  const int64_t scaled = Value.Scaled();
  // Through unsigned so that the most negative value has a magnitude too.
  const uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  TORVString text;
  if (scaled < 0) text += u'-';
  AppendInteger(text, static_cast<int64_t>(magnitude / TORVCurrency::Scale));
  const uint64_t fraction = magnitude % TORVCurrency::Scale;
  if (fraction != 0) {
    text += CurrencyDecimalChar.load();
    AppendInteger(text, static_cast<int64_t>(fraction), 4);
    while (text.back() == u'0') text.pop_back();
  }
  return text;
}

TORVString FloatToString(double Value) {
  if (std::isnan(Value)) return u"NAN";
  if (std::isinf(Value)) return Value < 0 ? u"-INF" : u"INF";
  TORVString text;
  if (std::signbit(Value)) text += u'-';
  if (Value == 0) {
    text += u'0';
    return text;
  }
  // The shortest digits that read back to the same double ("d.ddde+x"), and
  // their exponent.
  char scientific[32];
  const char* end =
      std::to_chars(scientific, scientific + sizeof scientific, std::fabs(Value), std::chars_format::scientific).ptr;
  const char* e = std::find(static_cast<const char*>(scientific), end, 'e');
  char buffer[24];
  size_t count = 0;
  for (const char* c = scientific; c != e; ++c) {
    if (*c != '.') buffer[count++] = *c;
  }
  const std::string_view digits(buffer, count);
  int32_t exponent = 0;
  std::from_chars(e + 2, end, exponent);
  if (e[1] == '-') exponent = -exponent;
  const char16_t point = NumberDecimalChar.load();
  if (exponent >= -5 && exponent <= 14) {
    if (exponent < 0) {
      text += u'0';
      text += point;
      text.append(static_cast<size_t>(-exponent - 1), u'0');
      AppendAscii(text, digits);
    } else {
      const size_t whole = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        AppendAscii(text, digits);
        text.append(whole - digits.size(), u'0');
      } else {
        AppendAscii(text, digits.substr(0, whole));
        text += point;
        AppendAscii(text, digits.substr(whole));
      }
    }
  } else {
    AppendAscii(text, digits.substr(0, 1));
    if (digits.size() > 1) {
      text += point;
      AppendAscii(text, digits.substr(1));
    }
    text += u'E';
    AppendInteger(text, exponent);
  }
  return text;
}

TORVString BytesToString(int64_t Value) {
  if (Value < 1024) return IntToString(Value) + u"B";
  struct Unit {
    int64_t Limit;
    int64_t Divisor;
    const char16_t* Name;
  };
  static constexpr Unit units[] = {
      {int64_t{1} << 20, int64_t{1} << 10, u"KB"},
      {int64_t{1} << 30, int64_t{1} << 20, u"MB"},
      {int64_t{1} << 40, int64_t{1} << 30, u"GB"},
      {std::numeric_limits<int64_t>::max(), int64_t{1} << 40, u"TB"},
  };
  const Unit* unit = &units[3];
  for (const Unit& u : units) {
    if (Value < u.Limit) {
      unit = &u;
      break;
    }
  }
  // Hundredths of the unit, rounded half away from zero (the value is
  // positive here), computed exactly.
  const TInt128 hundredths = (static_cast<TInt128>(Value) * 200 / unit->Divisor + 1) / 2;
  return DecimalToString(TORVCurrency::FromScaled(static_cast<int64_t>(hundredths * 100))) + unit->Name;
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
  TORVCurrency value;
  const char16_t separator = CurrencyDecimalChar.load();
  TORVTextResult result;
  if (separator == u'.') {
    result = ReadDecimal(S, value);
  } else {
    TORVString text(S);
    ToDecimalPoint(text, separator);
    result = ReadDecimal(text, value);
  }
  if (result != trOk) RaiseConversionError(S);
  return value;
}

double StringToFloat(std::u16string_view S) {
  TORVString text = TrimString(S);
  ToDecimalPoint(text, NumberDecimalChar.load());
  if (!text.empty() && text[0] == u'+' && text.size() > 1 && text[1] != u'-') text.erase(0, 1);
  double value = 0;
  if (ReadFloat(text, value) != trOk) RaiseConversionError(S);
  return value;
}

uint8_t HexStringToByte(std::u16string_view S) {
  bool negative = false;
  uint64_t magnitude = 0;
  if (!ReadPlatformInteger(S, 255, negative, magnitude) || (negative && magnitude != 0)) RaiseConversionError(S);
  return static_cast<uint8_t>(magnitude);
}

TORVString DateToSQLStr(int32_t Date) {
  TORVString text;
  AppendDate(text, Date);
  return text;
}

bool SQLStrToDate(std::u16string_view S, int32_t& Date) { return ReadDate(S, Date); }

TORVString TimeToSQLStr(int32_t Time, bool TwentyFourHour) {
  TORVString text;
  AppendTime(text, Time, TwentyFourHour);
  return text;
}

bool SQLStrToTime(std::u16string_view S, int32_t& Time) { return ReadTime(S, Time); }

TORVString TimeStampToSQLStr(int64_t TimeStamp, bool TwentyFourHour) {
  TORVString text;
  AppendDate(text, DateFromTimeStamp(TimeStamp));
  text += u' ';
  AppendTime(text, TimeFromTimeStamp(TimeStamp), TwentyFourHour);
  return text;
}

bool SQLStrToTimeStamp(std::u16string_view S, int64_t& TimeStamp) { return ReadTimeStamp(S, TimeStamp); }

TORVString YearMonthIntervalToSQLStr(int32_t Interval, TORVSubTypeCode SubType) {
  const TORVParsedYearMonthInterval i = ParseYearMonthInterval(Interval, SubType);
  switch (SubType) {
    case stMonth: return IntToString(i.Months);
    case stYear: return IntToString(i.Years);
    case stYearToMonth: {
      TORVString text;
      if (i.Years == 0 && i.Months < 0) text += u'-';
      AppendInteger(text, i.Years);
      text += u'-';
      AppendInteger(text, std::abs(i.Months), 2);
      return text;
    }
    default: return {};
  }
}

bool SQLStrToYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType, int32_t& Interval) {
  return ReadYearMonthInterval(S, SubType, Interval);
}

TORVString DayTimeIntervalToSQLStr(int64_t Interval, TORVSubTypeCode SubType) {
  if (!IsValidDayTimeSubType(SubType)) return {};
  const TORVParsedDayTimeInterval parsed = ParseDayTimeInterval(Interval, SubType);
  TORVString text;
  bool negative = false;
  bool leading = true;
  for (const TORVDayTimeField& field : DayTimeFields) {
    if ((SubType & field.Bit) == 0) continue;
    const int64_t value = parsed.*field.Member;
    if (value < 0) negative = true;
    if (leading) {
      AppendInteger(text, value);
      leading = false;
      continue;
    }
    // Later fields are less than their larger unit, so their magnitude is safe.
    text += field.Separator;
    AppendInteger(text, value < 0 ? -value : value, field.Width);
  }
  // A negative interval whose leading field is 0 still needs its sign.
  if (negative && text[0] != u'-') text.insert(text.begin(), u'-');
  return text;
}

bool SQLStrToDayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType, int64_t& Interval) {
  return ReadDayTimeInterval(S, SubType, Interval);
}

TORVString BinaryToSQLStr(const TORVBytes& Bytes) {
  TORVString text;
  text.reserve(Bytes.size() * 2);
  for (uint8_t b : Bytes) {
    text += HexDigits[b >> 4];
    text += HexDigits[b & 15];
  }
  return text;
}

bool SQLStrToBinary(std::u16string_view S, TORVBytes& Bytes) {
  Bytes.clear();
  if (S.size() % 2 != 0) return false;
  Bytes.resize(S.size() / 2);
  for (size_t i = 0; i < Bytes.size(); ++i) {
    const int32_t high = HexValue(S[2 * i]);
    const int32_t low = HexValue(S[2 * i + 1]);
    if (high < 0 || low < 0) {
      Bytes.clear();
      return false;
    }
    Bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool SQLStrToLargeInt(std::u16string_view S, int64_t& Value) {
  const TORVTextResult result = ReadLargeInt(S, Value);
  if (result == trFailed) RaiseConversionError(S);
  return result == trOk;
}

bool SQLStrToUnsignedChar(std::u16string_view S, char16_t& Value) {
  Value = 0;
  if (S.empty() || S[0] != u'#') return false;
  int64_t code = 0;
  if (!SQLStrToLargeInt(S.substr(1), code) || code < 0 || code > 0xFFFF) return false;
  Value = static_cast<char16_t>(code);
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
  TORVString text = FloatToString(Value);
  ToDecimalPoint(text, NumberDecimalChar.load());
  return text;
}

bool SQLStrToFloat(std::u16string_view S, double& Value) {
  const TORVTextResult result = ReadFloat(S, Value);
  if (result == trFailed) RaiseConversionError(S);
  return result == trOk;
}

TORVString DecimalToSQLStr(TORVCurrency Value, int32_t Scale) {
  SetDecimalSeparator();
  TORVString text = DecimalToString(Value);
  ToDecimalPoint(text, CurrencyDecimalChar.load());
  if (Scale != 0) text = PadDecimal(text, Scale, u'.');
  return text;
}

bool SQLStrToDecimal(std::u16string_view S, TORVCurrency& Value) {
  Value = TORVCurrency();
  SetDecimalSeparator();
  if (S.empty()) return false;
  bool point = false;
  for (size_t i = 0; i < S.size(); ++i) {
    if (IsDigit(S[i]) || (S[i] == u'-' && i == 0)) continue;
    if (S[i] != u'.' || point) return false;
    point = true;
  }
  if (ReadDecimal(S, Value) != trOk) RaiseConversionError(S);
  return true;
}

bool IsAnInteger(std::u16string_view S, bool AllowNegative) {
  int32_t value = 0;
  return ReadInteger(S, AllowNegative, value);
}

bool IsALargeInt(std::u16string_view S) {
  int64_t value = 0;
  return ReadLargeInt(S, value) == trOk;
}

bool IsAnUnsignedChar(std::u16string_view S) {
  if (!S.empty() && S[0] == u'#') S.remove_prefix(1);
  int64_t code = 0;
  return ReadLargeInt(S, code) == trOk && code >= 0 && code <= 0xFFFF;
}

bool IsAFloat(std::u16string_view S) {
  double value = 0;
  return ReadFloat(S, value) == trOk;
}

bool IsADate(std::u16string_view S) {
  int32_t date = 0;
  return ReadDate(S, date);
}

bool IsATime(std::u16string_view S) {
  int32_t time = 0;
  return ReadTime(S, time);
}

bool IsATimeStamp(std::u16string_view S) {
  int64_t stamp = 0;
  return ReadTimeStamp(S, stamp);
}

bool IsAYearMonthInterval(std::u16string_view S, TORVSubTypeCode SubType) {
  int32_t interval = 0;
  return ReadYearMonthInterval(S, SubType, interval);
}

bool IsADayTimeInterval(std::u16string_view S, TORVSubTypeCode SubType) {
  int64_t interval = 0;
  return ReadDayTimeInterval(S, SubType, interval);
}

}  // namespace orv
