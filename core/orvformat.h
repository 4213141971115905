// Dates, times, time stamps, numbers and Booleans in formats that the user
// states (CAST with format arguments, delimited-text import and export): a
// mask such as mm/dd/yyyy or hh:mm:ss.zzz n is compiled once into a format
// record and then applied to many values. The values themselves are read and
// written by the date-time and literal routines; this file only maps their
// fields to and from the mask.
//
// Only compiling a mask raises (ORV_FORMAT_ERROR). Readers return False for
// text that does not fit and never raise; writers cannot fail.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/orvtype.h"

namespace orv {

// A compiled date mask. FormatString is the mask with each component
// replaced by a marker, "%" and the component's upper-case letter (%Y, %M,
// %D); the N-th marker stands for Components[N]. A literal "%" stays as it
// is: a "%" is a marker only when a marker letter follows it, and a marker
// letter of the mask is always a component, never a literal.
struct TORVDateFormat {
  // Upper case, in mask order: YYYY, YY, MM, M, DD or D.
  std::array<TORVString, 3> Components;
  TORVString FormatString;
  // The mask holds a character that is not a component letter; without one,
  // a reader takes exactly as many digits as a component has letters.
  bool ContainsDelimiters = false;
};

// A compiled time mask: components HH or H, MM or M, SS or S, ZZZ or Z and N
// (the AM/PM marker), markers %H, %M, %S, %Z, %N. The first two components
// are always present, the rest may be empty.
struct TORVTimeFormat {
  std::array<TORVString, 5> Components;
  TORVString FormatString;
  TORVString AM;
  TORVString PM;
  bool ContainsDelimiters = false;
};

// Compile a mask; a mask whose components do not make a date (time) raises
// ORV_FORMAT_ERROR naming the mask and what is wrong with it.
TORVDateFormat GetDateFormat(std::u16string_view Mask);
TORVTimeFormat GetTimeFormat(std::u16string_view Mask, std::u16string_view AMText, std::u16string_view PMText);
[[noreturn]] void FormatError(std::u16string_view Mask, std::u16string_view Detail);

// Years are written with at least four digits and two-digit years with two,
// so that a mask without delimiters reads back what it wrote.
TORVString DateToFormattedStr(int32_t Date, const TORVDateFormat& DateFormat);
// With an N component the hour is on a 12-hour clock: 0 is 12 AM, 12 is 12 PM.
TORVString TimeToFormattedStr(int32_t Time, const TORVTimeFormat& TimeFormat);
// The date, one blank, the time.
TORVString TimeStampToFormattedStr(int64_t TimeStamp, const TORVDateFormat& DateFormat,
                                   const TORVTimeFormat& TimeFormat);
TORVString FloatToFormattedStr(double Value, char16_t DecimalSeparator);
TORVString DecimalToFormattedStr(TORVCurrency Value, char16_t DecimalSeparator);
TORVString BooleanToFormattedStr(bool Value, std::u16string_view TrueText, std::u16string_view FalseText);

// A two-digit year (YY) lies in the hundred years that begin fifty years
// before CurrentYear: in 2026, 76 is 1976 and 75 is 2075. The overloads
// without CurrentYear take the local year from the clock when the mask has
// a two-digit year. Text after the last component is ignored.
bool FormattedStrToDate(std::u16string_view S, const TORVDateFormat& DateFormat, int32_t& Date);
bool FormattedStrToDate(std::u16string_view S, const TORVDateFormat& DateFormat, int32_t& Date,
                        int32_t CurrentYear);
// The N component matches the AM or PM text (any case).
bool FormattedStrToTime(std::u16string_view S, const TORVTimeFormat& TimeFormat, int32_t& Time);
// The date, one blank, the time. The date's text ends at the first blank
// that is not one of the date mask's own, so a mask such as dd mm yyyy
// reads back what TimeStampToFormattedStr wrote.
bool FormattedStrToTimeStamp(std::u16string_view S, const TORVDateFormat& DateFormat,
                             const TORVTimeFormat& TimeFormat, int64_t& TimeStamp);
bool FormattedStrToTimeStamp(std::u16string_view S, const TORVDateFormat& DateFormat,
                             const TORVTimeFormat& TimeFormat, int64_t& TimeStamp, int32_t CurrentYear);
// Only DecimalSeparator marks the decimals: a text that also holds the
// engine's own separator (".") under another DecimalSeparator fails rather
// than be read with the wrong point. Floats are trimmed and take "NAN",
// "INF", "+INF" and "-INF"; decimals are not trimmed. On failure Value is 0.
bool FormattedStrToFloat(std::u16string_view S, char16_t DecimalSeparator, double& Value);
bool FormattedStrToDecimal(std::u16string_view S, char16_t DecimalSeparator, TORVCurrency& Value);
// TrueText or FalseText in any case; on other text Value is left untouched.
bool FormattedStrToBoolean(std::u16string_view S, std::u16string_view TrueText, std::u16string_view FalseText,
                           bool& Value);

}  // namespace orv
