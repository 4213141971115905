#include "core/orvformat.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "base/orverrors.h"
#include "core/orvcollation.h"
#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"

namespace orv {

namespace {

constexpr char16_t MarkerChar = u'%';

// The lengths a component of one letter may have (bit N set: N letters
// allowed) and the detail raised for any other length.
struct TORVComponentRule {
  char16_t Letter;
  uint32_t Lengths;
  const char16_t* InvalidDetail;
};

// A YYY year passes no rule: it could be neither written nor read back.
constexpr TORVComponentRule DateRules[] = {
    {u'Y', (1u << 2) | (1u << 4), u"Invalid year (y) component"},
    {u'M', (1u << 1) | (1u << 2), u"Invalid month (m) component"},
    {u'D', (1u << 1) | (1u << 2), u"Invalid day (d) component"},
};

constexpr TORVComponentRule TimeRules[] = {
    {u'H', (1u << 1) | (1u << 2), u"Invalid hour (h) component"},
    {u'M', (1u << 1) | (1u << 2), u"Invalid minute (m) component"},
    {u'S', (1u << 1) | (1u << 2), u"Invalid second (s) component"},
    {u'Z', (1u << 1) | (1u << 3), u"Invalid millisecond (z) component"},
    {u'N', 1u << 1, u"Invalid 12-hour (a) component"},
};

// What tells the two kinds of mask apart while compiling.
struct TORVMaskKind {
  const TORVCharSet& Letters;
  const char16_t* TooManyDetail;
  const char16_t* MissingDetail;
  std::size_t Required;
  const TORVComponentRule* Rules;
  std::size_t RuleCount;
};

bool IsMarkerLetter(const TORVComponentRule* Rules, std::size_t RuleCount, char16_t Letter) {
  return std::any_of(Rules, Rules + RuleCount, [Letter](const TORVComponentRule& Rule) { return Rule.Letter == Letter; });
}

// Splits Mask into runs of one component letter (a change of letter, or of
// its case, starts a new run) and the literal characters between them.
template <std::size_t N>
void CompileMask(std::u16string_view Mask, const TORVMaskKind& Kind, std::array<TORVString, N>& Components,
                 TORVString& FormatString, bool& ContainsDelimiters) {
  std::size_t Count = 0;
  std::size_t RunStart = std::u16string_view::npos;
  const auto CloseRun = [&](std::size_t RunEnd) {
    if (RunStart == std::u16string_view::npos) return;
    if (Count == N) FormatError(Mask, Kind.TooManyDetail);
    Components[Count] = UpperStringOrdinal(Mask.substr(RunStart, RunEnd - RunStart));
    FormatString += MarkerChar;
    FormatString += Components[Count][0];
    ++Count;
    RunStart = std::u16string_view::npos;
  };
  for (std::size_t I = 0; I < Mask.size(); ++I) {
    const char16_t C = Mask[I];
    if (!Kind.Letters.CharInSet(C)) {
      CloseRun(I);
      FormatString += C;
      ContainsDelimiters = true;
    } else if (RunStart == std::u16string_view::npos || Mask[RunStart] != C) {
      CloseRun(I);
      RunStart = I;
    }
  }
  CloseRun(Mask.size());
  if (Count < Kind.Required) FormatError(Mask, Kind.MissingDetail);
  for (std::size_t I = 0; I < Count; ++I) {
    const TORVString& Component = Components[I];
    for (std::size_t R = 0; R < Kind.RuleCount; ++R) {
      const TORVComponentRule& Rule = Kind.Rules[R];
      if (Rule.Letter != Component[0]) continue;
      if (Component.size() >= 32 || (Rule.Lengths & (1u << Component.size())) == 0) {
        FormatError(Mask, Rule.InvalidDetail);
      }
    }
  }
}

// The component that the marker at FormatString[I] stands for, or null when
// the "%" there is a literal one. Index counts the markers passed so far.
// A record built by hand may hold more markers than components; those stay
// literal text.
template <std::size_t N>
const TORVString* MarkerAt(const TORVString& FormatString, std::size_t I, const std::array<TORVString, N>& Components,
                           std::size_t Index, const TORVComponentRule* Rules, std::size_t RuleCount) {
  if (FormatString[I] != MarkerChar || I + 1 >= FormatString.size()) return nullptr;
  if (!IsMarkerLetter(Rules, RuleCount, FormatString[I + 1]) || Index >= N) return nullptr;
  const TORVString& Component = Components[Index];
  return Component.empty() || Component[0] != FormatString[I + 1] ? nullptr : &Component;
}

// FormatString with every marker replaced by Value(component); a component
// that Value gives no text for leaves its marker as it is.
template <std::size_t N, typename TValue>
TORVString WriteMarkers(const TORVString& FormatString, const std::array<TORVString, N>& Components,
                        const TORVComponentRule* Rules, std::size_t RuleCount, TValue Value) {
  TORVString Text;
  std::size_t Index = 0;
  for (std::size_t I = 0; I < FormatString.size(); ++I) {
    const TORVString* Component = MarkerAt(FormatString, I, Components, Index, Rules, RuleCount);
    if (Component == nullptr) {
      Text += FormatString[I];
      continue;
    }
    ++Index;
    if (!Value(*Component, Text)) Text.append(FormatString, I, 2);
    ++I;
  }
  return Text;
}

TORVString PaddedInteger(int32_t Value, std::size_t Width) {
  return PadInteger(IntToString(Value), static_cast<int32_t>(Width));
}

// The digits at Position (all of them, or at most MaxDigits) as a
// non-negative integer; false when there is no digit or the number does not
// fit.
bool ReadDigits(std::u16string_view S, std::size_t& Position, std::size_t MaxDigits, int32_t& Value) {
  const std::size_t Start = Position;
  while (Position < S.size() && Position - Start < MaxDigits && IsNumeric(S[Position])) ++Position;
  const std::u16string_view Digits = S.substr(Start, Position - Start);
  if (Digits.empty() || !IsAnInteger(Digits, false)) return false;
  Value = StringToInt(Digits);
  return true;
}

// The walk shared by the date and time readers: the literal characters of
// FormatString must match the text; at each marker ReadComponent reads the
// component's value from the text. It ends when either is used up.
template <std::size_t N, typename TRead>
bool ReadMarkers(std::u16string_view S, const TORVString& FormatString, const std::array<TORVString, N>& Components,
                 const TORVComponentRule* Rules, std::size_t RuleCount, TRead ReadComponent) {
  std::size_t Position = 0;
  std::size_t Index = 0;
  for (std::size_t I = 0; I < FormatString.size() && Position < S.size(); ++I) {
    const TORVString* Component = MarkerAt(FormatString, I, Components, Index, Rules, RuleCount);
    if (Component == nullptr) {
      if (S[Position++] != FormatString[I]) return false;
      continue;
    }
    ++Index;
    ++I;
    if (!ReadComponent(*Component, Position)) return false;
  }
  return true;
}

bool HasTwoDigitYear(const TORVDateFormat& DateFormat) {
  return std::find(DateFormat.Components.begin(), DateFormat.Components.end(), u"YY") !=
         DateFormat.Components.end();
}

int32_t CurrentYearFor(const TORVDateFormat& DateFormat) { return HasTwoDigitYear(DateFormat) ? GetCurrentYear() : 0; }

// Whether S has Text at Position, in any case.
bool HasTextAt(std::u16string_view S, std::size_t Position, const TORVString& Text) {
  return S.size() - Position >= Text.size() &&
         UpperStringOrdinal(S.substr(Position, Text.size())) == UpperStringOrdinal(Text);
}

// The engine's own separator standing in for DecimalSeparator; false when the
// text uses the engine's separator while DecimalSeparator is another one.
bool ToEngineSeparator(TORVString& Text, char16_t DecimalSeparator, char16_t EngineSeparator) {
  if (DecimalSeparator == EngineSeparator) return true;
  if (Text.find(EngineSeparator) != TORVString::npos) return false;
  std::replace(Text.begin(), Text.end(), DecimalSeparator, EngineSeparator);
  return true;
}

}  // namespace

void FormatError(std::u16string_view Mask, std::u16string_view Detail) {
  RaiseError(ORV_FORMAT_ERROR, {TORVString(Mask), TORVString(Detail)});
}

TORVDateFormat GetDateFormat(std::u16string_view Mask) {
  static const TORVMaskKind Kind{DateFormatChars(), u"Too many date components",
                                 u"Missing year (y), month (m), or day (d) component", 3, DateRules,
                                 std::size(DateRules)};
  TORVDateFormat Format;
  CompileMask(Mask, Kind, Format.Components, Format.FormatString, Format.ContainsDelimiters);
  return Format;
}

TORVTimeFormat GetTimeFormat(std::u16string_view Mask, std::u16string_view AMText, std::u16string_view PMText) {
  static const TORVMaskKind Kind{TimeFormatChars(), u"Too many time components",
                                 u"Missing hour (h) or minute (m) component", 2, TimeRules, std::size(TimeRules)};
  TORVTimeFormat Format;
  CompileMask(Mask, Kind, Format.Components, Format.FormatString, Format.ContainsDelimiters);
  Format.AM = AMText;
  Format.PM = PMText;
  return Format;
}

TORVString DateToFormattedStr(int32_t Date, const TORVDateFormat& DateFormat) {
  const TORVParsedDate Parsed = ParseDate(Date);
  return WriteMarkers(DateFormat.FormatString, DateFormat.Components, DateRules, std::size(DateRules),
                      [&Parsed](const TORVString& Component, TORVString& Text) {
                        if (Component == u"YYYY") {
                          Text += PaddedInteger(Parsed.Year, 4);
                        } else if (Component == u"YY") {
                          Text += PaddedInteger(Parsed.Year % 100, 2);
                        } else if (Component == u"MM" || Component == u"M") {
                          Text += PaddedInteger(Parsed.Month, Component.size());
                        } else if (Component == u"DD" || Component == u"D") {
                          Text += PaddedInteger(Parsed.Day, Component.size());
                        } else {
                          return false;
                        }
                        return true;
                      });
}

TORVString TimeToFormattedStr(int32_t Time, const TORVTimeFormat& TimeFormat) {
  TORVParsedTime Parsed = ParseTime(Time);
  const bool TwelveHour = std::find(TimeFormat.Components.begin(), TimeFormat.Components.end(), u"N") !=
                          TimeFormat.Components.end();
  const bool PM = Parsed.Hour >= 12;
  if (TwelveHour) {
    if (PM) Parsed.Hour -= 12;
    if (Parsed.Hour == 0) Parsed.Hour = 12;
  }
  return WriteMarkers(TimeFormat.FormatString, TimeFormat.Components, TimeRules, std::size(TimeRules),
                      [&](const TORVString& Component, TORVString& Text) {
                        // HH pads to 2 and ZZZ to 3: a component pads to its letters.
                        switch (Component[0]) {
                          case u'H': Text += PaddedInteger(Parsed.Hour, Component.size()); break;
                          case u'M': Text += PaddedInteger(Parsed.Minute, Component.size()); break;
                          case u'S': Text += PaddedInteger(Parsed.Second, Component.size()); break;
                          case u'Z': Text += PaddedInteger(Parsed.MSecond, Component.size()); break;
                          case u'N': Text += PM ? TimeFormat.PM : TimeFormat.AM; break;
                          default: return false;
                        }
                        return true;
                      });
}

TORVString TimeStampToFormattedStr(int64_t TimeStamp, const TORVDateFormat& DateFormat,
                                   const TORVTimeFormat& TimeFormat) {
  return DateToFormattedStr(DateFromTimeStamp(TimeStamp), DateFormat) + u' ' +
         TimeToFormattedStr(TimeFromTimeStamp(TimeStamp), TimeFormat);
}

TORVString FloatToFormattedStr(double Value, char16_t DecimalSeparator) {
  TORVString Text = FloatToString(Value);
  std::replace(Text.begin(), Text.end(), NumberDecimalChar.load(), DecimalSeparator);
  return Text;
}

TORVString DecimalToFormattedStr(TORVCurrency Value, char16_t DecimalSeparator) {
  TORVString Text = DecimalToString(Value);
  std::replace(Text.begin(), Text.end(), CurrencyDecimalChar.load(), DecimalSeparator);
  return Text;
}

TORVString BooleanToFormattedStr(bool Value, std::u16string_view TrueText, std::u16string_view FalseText) {
  return TORVString(Value ? TrueText : FalseText);
}

bool FormattedStrToDate(std::u16string_view S, const TORVDateFormat& DateFormat, int32_t& Date) {
  return FormattedStrToDate(S, DateFormat, Date, CurrentYearFor(DateFormat));
}

bool FormattedStrToDate(std::u16string_view S, const TORVDateFormat& DateFormat, int32_t& Date,
                        int32_t CurrentYear) {
  Date = 0;
  TORVParsedDate Parsed;
  const bool Read = ReadMarkers(
      S, DateFormat.FormatString, DateFormat.Components, DateRules, std::size(DateRules),
      [&](const TORVString& Component, std::size_t& Position) {
        int32_t Value = 0;
        const std::size_t MaxDigits = DateFormat.ContainsDelimiters ? S.size() : Component.size();
        if (!ReadDigits(S, Position, MaxDigits, Value)) return false;
        if (Component == u"YYYY") {
          Parsed.Year = Value;
        } else if (Component == u"YY") {
          // More than two digits are no two-digit year.
          if (Value > 99) return false;
          const int32_t WindowStart = CurrentYear - 50;
          Parsed.Year = WindowStart / 100 * 100 + Value;
          if (Parsed.Year < WindowStart) Parsed.Year += 100;
        } else if (Component[0] == u'M') {
          Parsed.Month = Value;
        } else if (Component[0] == u'D') {
          Parsed.Day = Value;
        }
        return true;
      });
  return Read && MakeDate(Parsed, Date, false);
}

bool FormattedStrToTime(std::u16string_view S, const TORVTimeFormat& TimeFormat, int32_t& Time) {
  Time = 0;
  TORVParsedTime Parsed;
  bool AM = false;
  bool PM = false;
  const bool Read = ReadMarkers(
      S, TimeFormat.FormatString, TimeFormat.Components, TimeRules, std::size(TimeRules),
      [&](const TORVString& Component, std::size_t& Position) {
        if (Component[0] == u'N') {
          // The longer text wins when the text begins with both.
          const bool HasAM = HasTextAt(S, Position, TimeFormat.AM);
          const bool HasPM = HasTextAt(S, Position, TimeFormat.PM);
          PM = HasPM && (!HasAM || TimeFormat.PM.size() > TimeFormat.AM.size());
          AM = HasAM && !PM;
          Position += AM ? TimeFormat.AM.size() : (PM ? TimeFormat.PM.size() : 0);
          return AM || PM;
        }
        int32_t Value = 0;
        const std::size_t MaxDigits = TimeFormat.ContainsDelimiters ? S.size() : Component.size();
        if (!ReadDigits(S, Position, MaxDigits, Value)) return false;
        switch (Component[0]) {
          case u'H': Parsed.Hour = Value; break;
          case u'M': Parsed.Minute = Value; break;
          case u'S': Parsed.Second = Value; break;
          case u'Z': Parsed.MSecond = Value; break;
          default: break;
        }
        return true;
      });
  if (!Read) return false;
  // The marker may come before the hour in the mask, so the hour is moved
  // only once everything is read.
  if (AM && Parsed.Hour == 12) Parsed.Hour = 0;
  if (PM && Parsed.Hour < 12) Parsed.Hour += 12;
  return MakeTime(Parsed, Time);
}

bool FormattedStrToTimeStamp(std::u16string_view S, const TORVDateFormat& DateFormat,
                             const TORVTimeFormat& TimeFormat, int64_t& TimeStamp) {
  return FormattedStrToTimeStamp(S, DateFormat, TimeFormat, TimeStamp, CurrentYearFor(DateFormat));
}

bool FormattedStrToTimeStamp(std::u16string_view S, const TORVDateFormat& DateFormat,
                             const TORVTimeFormat& TimeFormat, int64_t& TimeStamp, int32_t CurrentYear) {
  TimeStamp = 0;
  // The date ends at the first blank that is not one of the date mask's own.
  std::size_t Blank = std::u16string_view::npos;
  for (std::ptrdiff_t Skip = std::count(DateFormat.FormatString.begin(), DateFormat.FormatString.end(), u' ');
       Skip >= 0; --Skip) {
    Blank = S.find(u' ', Blank == std::u16string_view::npos ? 0 : Blank + 1);
    if (Blank == std::u16string_view::npos) return false;
  }
  int32_t Date = 0;
  int32_t Time = 0;
  if (!FormattedStrToDate(S.substr(0, Blank), DateFormat, Date, CurrentYear) ||
      !FormattedStrToTime(S.substr(Blank + 1), TimeFormat, Time)) {
    return false;
  }
  TimeStamp = DateToTimeStamp(Date, false) + Time;
  return true;
}

bool FormattedStrToFloat(std::u16string_view S, char16_t DecimalSeparator, double& Value) {
  Value = 0;
  SetDecimalSeparator();
  TORVString Text = TrimString(S);
  return ToEngineSeparator(Text, DecimalSeparator, NumberDecimalChar.load()) && TryStringToFloat(Text, Value);
}

bool FormattedStrToDecimal(std::u16string_view S, char16_t DecimalSeparator, TORVCurrency& Value) {
  Value = TORVCurrency();
  SetDecimalSeparator();
  TORVString Text(S);
  return ToEngineSeparator(Text, DecimalSeparator, CurrencyDecimalChar.load()) && TryStringToDecimal(Text, Value);
}

bool FormattedStrToBoolean(std::u16string_view S, std::u16string_view TrueText, std::u16string_view FalseText,
                           bool& Value) {
  const TORVString Upper = UpperStringOrdinal(S);
  if (Upper == UpperStringOrdinal(TrueText)) {
    Value = true;
  } else if (Upper == UpperStringOrdinal(FalseText)) {
    Value = false;
  } else {
    return false;
  }
  return true;
}

}  // namespace orv
