// Random text through the SQL scanner and the user-format readers: nothing
// may crash, hang, raise where it must not, or read past the text. Each text
// lives in a heap block of exactly its length, so that the sanitizers catch
// any read beyond it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string_view>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvdatetime.h"
#include "core/orvformat.h"
#include "core/orvsqlscan.h"

namespace orv {
namespace {

// A text of exactly its length on the heap.
class TExactText {
 public:
  explicit TExactText(std::size_t Length) : FUnits(new char16_t[Length]), FLength(Length) {}
  char16_t& operator[](std::size_t I) { return FUnits[I]; }
  std::u16string_view View() const { return {FUnits.get(), FLength}; }

 private:
  std::unique_ptr<char16_t[]> FUnits;
  std::size_t FLength;
};

// Random text, mostly from Alphabet (the characters the reader under test
// reacts to) and otherwise any code unit, lone surrogates included.
class TRandomText {
 public:
  explicit TRandomText(uint32_t Seed) : FRandom(Seed) {}

  TExactText Next(std::u16string_view Alphabet, std::size_t MaxLength) {
    TExactText Text(Pick(MaxLength + 1));
    for (std::size_t I = 0; I < Text.View().size(); ++I) {
      Text[I] = Pick(4) != 0 ? Alphabet[Pick(Alphabet.size())] : static_cast<char16_t>(Pick(0x10000));
    }
    return Text;
  }

  // A mask of each of Letters once, in any order and either case, with
  // 0 to 2 characters of Delimiters around each run, sometimes an extra run;
  // runs mostly have a length that their letter allows, so that many masks
  // compile.
  TExactText NextMask(TORVString Letters, std::u16string_view Delimiters) {
    std::shuffle(Letters.begin(), Letters.end(), FRandom);
    if (Pick(4) == 0) Letters += Letters[Pick(Letters.size())];
    TORVString Mask;
    for (char16_t Letter : Letters) {
      for (std::size_t Count = Pick(3); Count > 0; --Count) Mask += Delimiters[Pick(Delimiters.size())];
      Mask.append(RunLength(Letter), Pick(4) == 0 ? static_cast<char16_t>(Letter - u'a' + u'A') : Letter);
    }
    TExactText Text(Mask.size());
    std::copy(Mask.begin(), Mask.end(), &Text[0]);
    return Text;
  }

  std::size_t Pick(std::size_t Count) { return std::uniform_int_distribution<std::size_t>(0, Count - 1)(FRandom); }

 private:
  std::size_t RunLength(char16_t Letter) {
    if (Pick(8) == 0) return 1 + Pick(5);
    switch (Letter) {
      case u'y': return Pick(2) == 0 ? 2 : 4;
      case u'z': return Pick(2) == 0 ? 1 : 3;
      case u'n': return 1;
      default: return 1 + Pick(2);
    }
  }

  std::mt19937 FRandom;
};

constexpr std::u16string_view SQLAlphabet = u"ab:;'\"-/*{}()\r\n \t_1\U0001F600";
constexpr int32_t Rounds = 3000;

// Calls Next until the text is used up; each call must move on.
template <typename TNext>
void ScanAll(std::u16string_view SQL, TNext Next) {
  int32_t Position = 1;
  const auto End = static_cast<int32_t>(SQL.size()) + 1;
  while (Position < End) {
    const int32_t Before = Position;
    Next(SQL, Position);
    ASSERT_GT(Position, Before) << "no progress";
    ASSERT_LE(Position, End);
  }
}

TEST(TextReadersFuzz, TheScannerEndsWithinAnyText) {
  TRandomText Random(20261210);
  for (int32_t Round = 0; Round < Rounds; ++Round) {
    const TExactText Text = Random.Next(SQLAlphabet, 48);
    const std::u16string_view SQL = Text.View();
    ScanAll(SQL, NextSQLKeyword);
    ScanAll(SQL, NextSQLToken);
    ScanAll(SQL, [](std::u16string_view S, int32_t& P) { return NextSQLStatement(S, P); });
    int32_t Position = 1;
    int32_t Names = 0;
    ParseSQL(SQL, Position, [&Names](const TORVString&) { ++Names; }, smPlain, u';', Random.Pick(2) != 0);
    EXPECT_EQ(Position, static_cast<int32_t>(SQL.size()) + 1);
    EXPECT_GE(SQLStatementType(SQL), 0);
  }
}

constexpr std::u16string_view MaskAlphabet = u"dmyhszndmyDMYHSZN%/:. -";
constexpr std::u16string_view ValueAlphabet = u"0123456789/:. -%aApPmM,";

// Whether a compiled mask reads back exactly what it writes: delimiters
// between all markers, each of the Required letters once, nothing else
// twice, and no two-digit year.
template <typename TFormat>
bool ReadsBack(const TFormat& Format, std::u16string_view Required) {
  if (!Format.ContainsDelimiters) return false;
  for (std::size_t I = 0; I + 2 < Format.FormatString.size(); ++I) {
    if (Format.FormatString[I] == u'%' && Format.FormatString[I + 2] == u'%') return false;
  }
  TORVString Letters;
  for (const TORVString& Component : Format.Components) {
    if (Component == u"YY") return false;
    if (Component.empty()) continue;
    if (Letters.find(Component[0]) != TORVString::npos) return false;
    Letters += Component[0];
  }
  for (char16_t Letter : Required) {
    if (Letters.find(Letter) == TORVString::npos) return false;
  }
  return true;
}

TEST(TextReadersFuzz, FormatReadersRefuseOrReadAnyText) {
  TRandomText Random(1400);
  const TORVDateFormat FixedDate = GetDateFormat(u"dd.mm.yyyy");
  const TORVTimeFormat FixedTime = GetTimeFormat(u"hh:mm:ss.zzz n", u"AM", u"PM");
  for (int32_t Round = 0; Round < Rounds; ++Round) {
    const TExactText Mask = Round % 3 == 0   ? Random.Next(MaskAlphabet, 16)
                            : Round % 3 == 1 ? Random.NextMask(u"dmy", u"%/:. -hn")
                                             : Random.NextMask(u"hmszn", u"%/:. -dy");
    const TExactText Text = Random.Next(ValueAlphabet, 24);
    TORVDateFormat DateFormat = FixedDate;
    TORVTimeFormat TimeFormat = FixedTime;
    bool CompiledDate = false;
    bool CompiledTime = false;
    try {
      DateFormat = GetDateFormat(Mask.View());
      CompiledDate = true;
    } catch (const EORVException& E) {
      ASSERT_EQ(E.ErrorCode(), 1400);
    }
    try {
      TimeFormat = GetTimeFormat(Mask.View(), u"AM", u"PM");
      CompiledTime = true;
    } catch (const EORVException& E) {
      ASSERT_EQ(E.ErrorCode(), 1400);
    }

    int32_t Date = 0;
    int32_t Time = 0;
    int64_t TimeStamp = 0;
    double Float = 0;
    TORVCurrency Decimal;
    bool Boolean = false;
    FormattedStrToDate(Text.View(), DateFormat, Date, 2026);
    FormattedStrToTime(Text.View(), TimeFormat, Time);
    FormattedStrToTimeStamp(Text.View(), DateFormat, TimeFormat, TimeStamp, 2026);
    FormattedStrToFloat(Text.View(), u',', Float);
    FormattedStrToDecimal(Text.View(), u',', Decimal);
    FormattedStrToBoolean(Text.View(), u"am", u"pm", Boolean);

    // What a mask writes, it reads back.
    const auto AnyDate = static_cast<int32_t>(1 + Random.Pick(MaxDate));
    const auto AnyTime = static_cast<int32_t>(Random.Pick(MSecsPerDay));
    if (CompiledDate && ReadsBack(DateFormat, u"YMD")) {
      int32_t Back = 0;
      EXPECT_TRUE(FormattedStrToDate(DateToFormattedStr(AnyDate, DateFormat), DateFormat, Back, 2026));
      EXPECT_EQ(Back, AnyDate) << StringToUtf8(Mask.View());
    }
    if (CompiledTime && ReadsBack(TimeFormat, u"HMSZ")) {
      int32_t Back = 0;
      EXPECT_TRUE(FormattedStrToTime(TimeToFormattedStr(AnyTime, TimeFormat), TimeFormat, Back));
      EXPECT_EQ(Back, AnyTime) << StringToUtf8(Mask.View());
    }
  }
}

}  // namespace
}  // namespace orv
