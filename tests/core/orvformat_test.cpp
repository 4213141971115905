#include "core/orvformat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"

namespace orv {
namespace {

std::string U8(std::u16string_view S) { return StringToUtf8(S); }

// The year the two-digit-year cases are read in.
constexpr int32_t TestYear = 2026;

enum TCaseKind : uint8_t { ckDate, ckTime, ckTimeStamp, ckFloat, ckDecimal, ckBoolean };

enum TCaseAction : uint8_t {
  // Formatted is "components|FormatString|delimiters" of the compiled mask.
  caCompile,
  // Compiling raises 1400 with Formatted as the detail.
  caRaise,
  // The value SQLForm written with the format gives Formatted.
  caWrite,
  // Formatted read with the format gives SQLForm; a null SQLForm: reading fails.
  caRead,
  // caWrite and caRead.
  caBoth,
};

// Format is the mask for dates and times (a time mask may be followed by
// "|AM text|PM text"; AM and PM otherwise), "date mask|time mask" for time
// stamps, the decimal separator for numbers and "true text|false text" for
// Booleans. Values are given in their SQL text forms.
struct TFormatCase {
  TCaseKind Kind;
  TCaseAction Action;
  const char16_t* Format;
  const char16_t* Formatted;
  const char16_t* SQLForm;
};

constexpr TFormatCase FormatCases[] = {
    // Compiling masks.
    {ckDate, caCompile, u"mm/dd/yyyy", u"MM,DD,YYYY|%M/%D/%Y|1", nullptr},
    {ckDate, caCompile, u"yyyymmdd", u"YYYY,MM,DD|%Y%M%D|0", nullptr},
    {ckDate, caCompile, u"dd/mm/yyyy h", u"DD,MM,YYYY|%D/%M/%Y h|1", nullptr},
    {ckDate, caCompile, u"Ddmm", u"D,D,MM|%D%D%M|0", nullptr},
    {ckDate, caCompile, u"%dd-mm-yyyy", u"DD,MM,YYYY|%%D-%M-%Y|1", nullptr},
    {ckTime, caCompile, u"hh:mm:ss.zzz n", u"HH,MM,SS,ZZZ,N|%H:%M:%S.%Z %N|1", nullptr},
    {ckTime, caCompile, u"HMS", u"H,M,S,,|%H%M%S|0", nullptr},
    {ckDate, caRaise, u"dd/mm", u"Missing year (y), month (m), or day (d) component", nullptr},
    {ckDate, caRaise, u"dd/mm/yyyy dd", u"Too many date components", nullptr},
    {ckDate, caRaise, u"yyyyy/mm/dd", u"Invalid year (y) component", nullptr},
    {ckDate, caRaise, u"y/mm/dd", u"Invalid year (y) component", nullptr},
    // Three year letters could be neither written nor read.
    {ckDate, caRaise, u"yyy/mm/dd", u"Invalid year (y) component", nullptr},
    {ckDate, caRaise, u"dd/mmm/yyyy", u"Invalid month (m) component", nullptr},
    {ckDate, caRaise, u"ddd/mm/yyyy", u"Invalid day (d) component", nullptr},
    {ckTime, caRaise, u"h", u"Missing hour (h) or minute (m) component", nullptr},
    {ckTime, caRaise, u"hh:mm:ss.zzz n n", u"Too many time components", nullptr},
    {ckTime, caRaise, u"hhh:mm", u"Invalid hour (h) component", nullptr},
    {ckTime, caRaise, u"hh:mmm", u"Invalid minute (m) component", nullptr},
    {ckTime, caRaise, u"hh:mm:sss", u"Invalid second (s) component", nullptr},
    {ckTime, caRaise, u"hh:mm:ss.zz", u"Invalid millisecond (z) component", nullptr},
    {ckTime, caRaise, u"hh:mm nn", u"Invalid 12-hour (a) component", nullptr},

    // Dates.
    {ckDate, caWrite, u"d/m/yy", u"6/5/24", u"2024-05-06"},
    {ckDate, caBoth, u"dd.mm.yyyy", u"06.05.2024", u"2024-05-06"},
    {ckDate, caBoth, u"yyyymmdd", u"20240506", u"2024-05-06"},
    {ckDate, caBoth, u"%dd-mm-yyyy", u"%06-05-2024", u"2024-05-06"},
    // Four year digits at least, so that a mask without delimiters reads back.
    {ckDate, caBoth, u"yyyymmdd", u"09990102", u"0999-01-02"},
    {ckDate, caWrite, u"dd/mm/yy", u"02/01/05", u"2005-01-02"},
    {ckDate, caBoth, u"yyyy-mm-dd", u"100000-12-31", u"100000-12-31"},
    {ckDate, caRead, u"yyyy-mm-dd", u"2024-5-6", u"2024-05-06"},
    {ckDate, caRead, u"yyyy-mm-dd", u"2024-05-06 and more", u"2024-05-06"},
    {ckDate, caRead, u"yyyy-mm-dd", u"2024/05/06", nullptr},
    {ckDate, caRead, u"yyyy-mm-dd", u"2024-02-30", nullptr},
    {ckDate, caRead, u"yyyy-mm-dd", u"2024-05", nullptr},
    {ckDate, caRead, u"yyyy-mm-dd", u"99999999999999999999-01-01", nullptr},
    {ckDate, caRead, u"dd.mm.yy", u"01.01.75", u"2075-01-01"},
    {ckDate, caRead, u"dd.mm.yy", u"01.01.76", u"1976-01-01"},
    {ckDate, caRead, u"ddmmyy", u"01017599", u"2075-01-01"},
    // A four-digit year is no two-digit year.
    {ckDate, caRead, u"dd.mm.yy", u"01.01.2024", nullptr},

    // Times.
    {ckTime, caWrite, u"hh:mm n", u"12:05 AM", u"00:05"},
    {ckTime, caWrite, u"hh:mm n", u"12:30 PM", u"12:30"},
    {ckTime, caWrite, u"hh:mm n", u"03:00 PM", u"15:00"},
    {ckTime, caBoth, u"h:m:s.z", u"9:5:3.7", u"09:05:03.007"},
    {ckTime, caBoth, u"hh:mm:ss.zzz", u"09:05:03.007", u"09:05:03.007"},
    {ckTime, caBoth, u"hhmmss", u"134501", u"13:45:01"},
    {ckTime, caRead, u"hh:mm n", u"12:10 am", u"00:10"},
    {ckTime, caRead, u"hh:mm n", u"12:10 pm", u"12:10"},
    {ckTime, caRead, u"hh:mm n", u"01:10 PM", u"13:10"},
    {ckTime, caRead, u"hh:mm n", u"12:10 xm", nullptr},
    {ckTime, caRead, u"hh:mm n", u"10:00", u"10:00"},
    {ckTime, caRead, u"hh:mm", u"24:00", nullptr},
    {ckTime, caRead, u"hh:mm", u"10:61", nullptr},
    // The marker may come before the hour it moves.
    {ckTime, caBoth, u"n hh:mm", u"PM 01:10", u"13:10"},
    // AM and PM texts of any letters read back.
    {ckTime, caBoth, u"hh:mm n|vorm.|nachm.", u"03:00 nachm.", u"15:00"},
    {ckTime, caRead, u"hh:mm n|vorm.|nachm.", u"03:00 NACHM.", u"15:00"},
    {ckTime, caRead, u"hh:mm n|vorm.|nachm.", u"03:00 PM", nullptr},

    // Time stamps.
    {ckTimeStamp, caBoth, u"yyyy-mm-dd|hh:mm:ss", u"2024-05-06 13:45:10", u"2024-05-06 13:45:10"},
    {ckTimeStamp, caBoth, u"mm/dd/yyyy|hh:mm n", u"05/06/2024 01:45 PM", u"2024-05-06 13:45"},
    // The date mask's own blanks belong to the date.
    {ckTimeStamp, caBoth, u"dd mm yyyy|hh:mm", u"06 05 2024 13:45", u"2024-05-06 13:45"},
    {ckTimeStamp, caRead, u"yyyy-mm-dd|hh:mm", u"2024-05-06", nullptr},
    {ckTimeStamp, caRead, u"yyyy-mm-dd|hh:mm", u"2024-05-06 25:00", nullptr},

    // Numbers with a decimal separator.
    {ckFloat, caBoth, u",", u"1,5", u"1.5"},
    {ckFloat, caRead, u",", u" 1,5e3 ", u"1500"},
    {ckFloat, caRead, u",", u"nan", u"NAN"},
    {ckFloat, caRead, u",", u"+Inf", u"INF"},
    {ckFloat, caRead, u",", u"-INF", u"-INF"},
    {ckFloat, caRead, u",", u"1,5,5", nullptr},
    {ckFloat, caRead, u",", u"abc", nullptr},
    {ckFloat, caRead, u".", u"2.25", u"2.25"},
    // Under "," a "." marks no decimals; reading it as one would give the
    // wrong number.
    {ckFloat, caRead, u",", u"1.5", nullptr},
    {ckDecimal, caBoth, u",", u"1234,5", u"1234.5"},
    {ckDecimal, caWrite, u",", u"-12", u"-12"},
    {ckDecimal, caRead, u",", u"1.234,5", nullptr},
    {ckDecimal, caRead, u",", u"1.5", nullptr},
    {ckDecimal, caRead, u",", u" 1,5", nullptr},
    {ckDecimal, caRead, u".", u"-0.00005", u"-0.0001"},
    {ckDecimal, caRead, u".", u"99999999999999999999", nullptr},

    // Booleans.
    {ckBoolean, caBoth, u"Yes|No", u"Yes", u"TRUE"},
    {ckBoolean, caBoth, u"Yes|No", u"No", u"FALSE"},
    {ckBoolean, caRead, u"Yes|No", u"nO", u"FALSE"},
    {ckBoolean, caRead, u"Yes|No", u"No ", nullptr},
    {ckBoolean, caRead, u"Yes|No", u"maybe", nullptr},
};

std::vector<TORVString> Split(std::u16string_view S) {
  std::vector<TORVString> Parts;
  TORVString Rest(S);
  do {
    Parts.push_back(Extract(Rest, u"|"));
  } while (!Rest.empty());
  return Parts;
}

TORVTimeFormat TimeFormatOf(std::u16string_view Format) {
  const std::vector<TORVString> Parts = Split(Format);
  return GetTimeFormat(Parts[0], Parts.size() > 1 ? Parts[1] : u"AM", Parts.size() > 2 ? Parts[2] : u"PM");
}

// The compiled mask as "components|FormatString|delimiters".
template <typename TFormat>
TORVString Described(const TFormat& Format) {
  TORVString Text;
  for (std::size_t I = 0; I < Format.Components.size(); ++I) {
    if (I > 0) Text += u',';
    Text += Format.Components[I];
  }
  return Text + u"|" + Format.FormatString + (Format.ContainsDelimiters ? u"|1" : u"|0");
}

TORVString Compile(const TFormatCase& Case) {
  return Case.Kind == ckDate ? Described(GetDateFormat(Case.Format)) : Described(TimeFormatOf(Case.Format));
}

// The value of an SQL form written with the case's format.
TORVString Write(const TFormatCase& Case) {
  const std::vector<TORVString> Parts = Split(Case.Format);
  const std::u16string_view Value = Case.SQLForm;
  int32_t Date = 0;
  int32_t Time = 0;
  int64_t TimeStamp = 0;
  TORVCurrency Decimal;
  double Float = 0;
  bool Boolean = false;
  switch (Case.Kind) {
    case ckDate:
      EXPECT_TRUE(SQLStrToDate(Value, Date));
      return DateToFormattedStr(Date, GetDateFormat(Case.Format));
    case ckTime:
      EXPECT_TRUE(SQLStrToTime(Value, Time));
      return TimeToFormattedStr(Time, TimeFormatOf(Case.Format));
    case ckTimeStamp:
      EXPECT_TRUE(SQLStrToTimeStamp(Value, TimeStamp));
      return TimeStampToFormattedStr(TimeStamp, GetDateFormat(Parts[0]), TimeFormatOf(Parts[1]));
    case ckFloat:
      EXPECT_TRUE(SQLStrToFloat(Value, Float));
      return FloatToFormattedStr(Float, Case.Format[0]);
    case ckDecimal:
      EXPECT_TRUE(SQLStrToDecimal(Value, Decimal));
      return DecimalToFormattedStr(Decimal, Case.Format[0]);
    case ckBoolean:
      EXPECT_TRUE(SQLStrToBoolean(Value, Boolean));
      return BooleanToFormattedStr(Boolean, Parts[0], Parts[1]);
  }
  return {};
}

// The SQL form of the case's text read with its format; "(fails)" when the
// reader refuses it.
TORVString Read(const TFormatCase& Case) {
  const std::vector<TORVString> Parts = Split(Case.Format);
  const std::u16string_view Text = Case.Formatted;
  int32_t Date = 0;
  int32_t Time = 0;
  int64_t TimeStamp = 0;
  TORVCurrency Decimal;
  double Float = 0;
  bool Boolean = false;
  switch (Case.Kind) {
    case ckDate:
      if (!FormattedStrToDate(Text, GetDateFormat(Case.Format), Date, TestYear)) return u"(fails)";
      return DateToSQLStr(Date);
    case ckTime:
      if (!FormattedStrToTime(Text, TimeFormatOf(Case.Format), Time)) return u"(fails)";
      return TimeToSQLStr(Time, true);
    case ckTimeStamp:
      if (!FormattedStrToTimeStamp(Text, GetDateFormat(Parts[0]), TimeFormatOf(Parts[1]), TimeStamp, TestYear)) {
        return u"(fails)";
      }
      return TimeStampToSQLStr(TimeStamp, true);
    case ckFloat:
      if (!FormattedStrToFloat(Text, Case.Format[0], Float)) return u"(fails)";
      return FloatToSQLStr(Float);
    case ckDecimal:
      if (!FormattedStrToDecimal(Text, Case.Format[0], Decimal)) {
        EXPECT_EQ(Decimal, TORVCurrency());
        return u"(fails)";
      }
      return DecimalToSQLStr(Decimal, 0);
    case ckBoolean:
      if (!FormattedStrToBoolean(Text, Parts[0], Parts[1], Boolean)) return u"(fails)";
      return BooleanToSQLStr(Boolean);
  }
  return {};
}

TEST(UserFormats, MasksCompileWriteAndReadAsTheTableSays) {
  for (const TFormatCase& Case : FormatCases) {
    SCOPED_TRACE(U8(Case.Format) + " / " + U8(Case.Formatted));
    switch (Case.Action) {
      case caCompile:
        EXPECT_EQ(U8(Compile(Case)), U8(Case.Formatted));
        break;
      case caRaise:
        try {
          Compile(Case);
          ADD_FAILURE() << "no format error";
        } catch (const EORVException& E) {
          EXPECT_EQ(E.ErrorCode(), 1400);
          const TORVString Mask = Split(Case.Format)[0];
          EXPECT_EQ(U8(E.ErrorMsg()), U8(u"Error in the format string " + Mask + u" (" + Case.Formatted + u")"));
        }
        break;
      case caWrite:
      case caRead:
      case caBoth:
        if (Case.Action != caRead) {
          EXPECT_EQ(U8(Write(Case)), U8(Case.Formatted));
        }
        if (Case.Action != caWrite) {
          EXPECT_EQ(U8(Read(Case)), U8(Case.SQLForm ? Case.SQLForm : u"(fails)"));
        }
        break;
    }
  }
}

TEST(UserFormats, TwoDigitYearsWithoutAGivenYearFollowTheClock) {
  const int32_t Year = GetCurrentYear();
  const TORVDateFormat Format = GetDateFormat(u"dd.mm.yy");
  int32_t Date = 0;
  ASSERT_TRUE(FormattedStrToDate(u"01.01." + PadInteger(IntToString(Year % 100), 2), Format, Date));
  EXPECT_EQ(ParseDate(Date).Year, Year);
}

TEST(UserFormats, ARefusedBooleanLeavesTheValueAlone) {
  bool Value = true;
  EXPECT_FALSE(FormattedStrToBoolean(u"maybe", u"Yes", u"No", Value));
  EXPECT_TRUE(Value);
}

// A record filled by hand may hold markers that name no component; they are
// written as they stand and read as literal text, never past the components.
TEST(UserFormats, MarkersWithoutAComponentStayText) {
  TORVDateFormat Format = GetDateFormat(u"yyyy-mm-dd");
  Format.FormatString += u"/%D/%Y";
  int32_t Date = 0;
  ASSERT_TRUE(SQLStrToDate(u"2024-05-06", Date));
  EXPECT_EQ(U8(DateToFormattedStr(Date, Format)), "2024-05-06/%D/%Y");
  int32_t Back = 0;
  EXPECT_TRUE(FormattedStrToDate(u"2024-05-06/%D/%Y", Format, Back, TestYear));
  EXPECT_EQ(Back, Date);
  EXPECT_FALSE(FormattedStrToDate(u"2024-05-06/06/2024", Format, Back, TestYear));
}

}  // namespace
}  // namespace orv
