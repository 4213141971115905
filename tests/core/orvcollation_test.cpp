#include "core/orvcollation.h"


#include <gtest/gtest.h>

#include "core/orvenv.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

constexpr int32_t CI = 1 << 20, AI = 1 << 21, KI = 1 << 22, WI = 1 << 23;
constexpr int32_t ENU = 1033, DEU = 1031, DEP = 66567, JPN = 1041;

int32_t Compare(int32_t Collation, std::u16string_view A, std::u16string_view B, int32_t Partial = 0) {
  return CompareStrings(Collation, A, B, Partial, false);
}

TEST(Collation, OrdinalComparisonLengthsAndTrailingBlanks) {
  EXPECT_EQ(Compare(0, u"abc  ", u"abc"), 0);
  EXPECT_EQ(Compare(0, u"abc  ", u"abc", 5), 1);
  EXPECT_EQ(Compare(0, u"ab", u"abc"), -1);
  EXPECT_EQ(Compare(0, u"abc", u"abd", 2), 0);
  EXPECT_EQ(Compare(0, u"ab", u"abc", 2), 0);
  EXPECT_EQ(Compare(0, u"ab", u"abc", 3), -1);
  EXPECT_EQ(Compare(0, u"B", u"a"), -1);  // code order
  EXPECT_EQ(Compare(0, u"a\t", u"a"), 1);  // only blanks are trailing blanks
  EXPECT_EQ(Compare(0, u"", u"   "), 0);
}

TEST(Collation, OrdinalCaseMapsWorkOnTheirCharacterSet) {
  // No expansion of the sharp s.
  EXPECT_NE(CompareStringsOrdinal(u"Straße", u"STRASSE", 0, true), 0);
  // 8-bit text is Windows-1252: codes 138 and 154 are a case pair.
  const uint8_t s1[] = {138, 'a'}, s2[] = {154, 'A'};
  EXPECT_EQ(CompareStringsOrdinal(s1, 2, s2, 2, 0, true), 0);
  EXPECT_NE(CompareStringsOrdinal(s1, 2, s2, 2, 0, false), 0);
  EXPECT_EQ(AnsiUpperCharMap()[255], 159);
  EXPECT_EQ(AnsiLowerCharMap()[192], 224);
  EXPECT_EQ(AnsiUpperCharMap()[247], 247);
  // 16-bit text is Unicode: U+0160/U+0161 are the pair, U+00FF's capital is U+0178.
  EXPECT_EQ(CompareStringsOrdinal(u"\u0160", u"\u0161", 0, true), 0);
  EXPECT_EQ(UpperCharMap()[0xFF], 0x178);
  EXPECT_EQ(UpperCharMap()[0x9A], 0x9A);
  EXPECT_EQ(LowerCharMap()[0x178], 0xFF);
  EXPECT_EQ(UpperStringOrdinal(u"ÿaéß"), u"ŸAÉß");
  EXPECT_EQ(LowerStringOrdinal(u"ΣΑΣ"), u"σασ");
  // Letters outside the basic plane map by code point.
  EXPECT_EQ(UpperStringOrdinal(u"\U00010428"), u"\U00010400");
  EXPECT_EQ(CompareStringsOrdinal(u"x\U00010428", u"X\U00010400", 0, true), 0);
  EXPECT_EQ(UpperStringOrdinal(u"\xD801z"), u"\xD801Z");  // a lone surrogate stays
}

TEST(Collation, OrdinalCollationOptionBits) {
  EXPECT_EQ(Compare(CI, u"abc", u"ABC"), 0);
  EXPECT_NE(Compare(AI, u"abc", u"ABC"), 0);
  EXPECT_NE(Compare(AI, u"resume", u"résumé"), 0);
  EXPECT_EQ(CompareStrings(0, u"abc", u"ABC", 0, true), 0);
}

TEST(Collation, LocaleCollationsWithIndependentOptions) {
  EXPECT_EQ(Compare(ENU, u"a", u"B"), -1);
  EXPECT_EQ(Compare(ENU, u"abc  ", u"abc"), 0);
  EXPECT_EQ(Compare(ENU, u"abc  ", u"abc", 5), 1);
  EXPECT_NE(Compare(ENU, u"abc", u"ABC"), 0);
  EXPECT_EQ(Compare(ENU | CI, u"abc", u"ABC"), 0);
  EXPECT_EQ(CompareStrings(ENU, u"abc", u"ABC", 0, true), 0);
  EXPECT_NE(Compare(ENU, u"resume", u"résumé"), 0);
  EXPECT_EQ(Compare(ENU | AI, u"resume", u"résumé"), 0);
  EXPECT_NE(Compare(ENU | AI, u"Resume", u"résumé"), 0);
  EXPECT_EQ(Compare(ENU | CI | AI, u"RESUME", u"résumé"), 0);
  EXPECT_NE(Compare(JPN, u"\u30AB", u"\u304B"), 0);  // katakana / hiragana KA
  EXPECT_EQ(Compare(JPN | KI, u"\u30AB", u"\u304B"), 0);
  EXPECT_NE(Compare(ENU | CI, u"\uFF21\uFF22", u"ab"), 0);  // full-width letters
  EXPECT_EQ(Compare(ENU | WI, u"\uFF21\uFF22", u"AB"), 0);
  EXPECT_EQ(Compare(ENU | CI | WI, u"\uFF21\uFF22", u"ab"), 0);
  EXPECT_EQ(Compare(JPN | WI, u"\uFF76", u"\u30AB"), 0);  // half-width KA
  // Canonically equivalent texts are equal.
  EXPECT_EQ(Compare(ENU, u"e\u0301", u"\u00E9"), 0);
  // The phone-book sort reads u-umlaut as "ue".
  EXPECT_EQ(Compare(DEU, u"Müller", u"Muff"), 1);
  EXPECT_EQ(Compare(DEP, u"Müller", u"Muff"), -1);
}

TEST(Collation, UnknownLocaleComparesOrdinally) {
  const int32_t unknown = 0x7777;
  EXPECT_EQ(Compare(unknown, u"B", u"a"), -1);
  EXPECT_EQ(Compare(unknown, u"a", u"B"), 1);
  EXPECT_EQ(Compare(unknown, u"x", u"x"), 0);
  EXPECT_EQ(Compare(unknown | CI, u"abc", u"ABC"), 0);
  EXPECT_EQ(UpperString(unknown, u"ÿa"), u"ŸA");
  const uint8_t a[] = {'a'}, b[] = {'B'};
  EXPECT_EQ(CompareStrings(unknown, a, 1, b, 1, 0, false), 1);
  EXPECT_EQ(CompareStrings(unknown, b, 1, a, 1, 0, false), -1);
}

TEST(Collation, EightBitTextUnderALocaleUsesItsCodePage) {
  const uint8_t accented[] = {'r', 0xE9, 's', 'u', 'm', 0xE9, ' ', ' '};  // Windows-1252
  const uint8_t plain[] = {'R', 'E', 'S', 'U', 'M', 'E'};
  EXPECT_EQ(CompareStrings(ENU | CI | AI, accented, 8, plain, 6, 0, false), 0);
  EXPECT_NE(CompareStrings(ENU | CI, accented, 8, plain, 6, 0, false), 0);
  const uint8_t ab[] = {'a'}, bb[] = {'B'};
  EXPECT_EQ(CompareStrings(ENU, ab, 1, bb, 1, 0, false), -1);
  EXPECT_EQ(CompareStrings(0, ab, 1, bb, 1, 0, false), 1);
}

TEST(Collation, CaseMappingUnderACollation) {
  EXPECT_EQ(UpperString(0, u"straße ÿ"), u"STRAßE Ÿ");
  EXPECT_EQ(UpperString(ENU | CI, u"straße"), u"STRAßE");
  EXPECT_EQ(UpperString(1055, u"istanbul"), u"\u0130STANBUL");  // Turkish
  EXPECT_EQ(LowerString(1055, u"I"), u"\u0131");
  EXPECT_EQ(LowerString(ENU, u"ÀB"), u"àb");
}

struct LikeCase {
  int32_t Collation;
  const char16_t* Value;
  const char16_t* Pattern;
  bool Matches;
};

TEST(Collation, LikeMatchesWildcardsEscapesAndCollations) {
  const LikeCase cases[] = {
      {0, u"abc", u"a%", true},      {0, u"abc", u"%c", true},       {0, u"abc", u"a_c", true},
      {0, u"abc", u"%%", true},      {0, u"abc", u"%", true},        {0, u"ab", u"abc", false},
      {0, u"ab", u"ab_", false},     {0, u"a%c", u"a\\%c", true},    {0, u"abc", u"a\\%c", false},
      {0, u"", u"", false},          {0, u"", u"%", true},           {0, u"c", u"%_", true},
      {0, u"abc", u"%_", true},      {0, u"", u"%_", false},         {0, u"abc", u"ABC", false},
      {CI, u"abc", u"A%C", true},    {ENU | CI, u"Abc", u"a_C", true}, {ENU, u"Abc", u"a_C", false},
      {ENU | CI | AI, u"Résumé", u"res%", true},
      {0, u"abc", u"abc  ", true},   {0, u"abc  ", u"abc", false},    {0, u"ab", u"a%b%", true},
      {0, u"abcbd", u"a%b_", true},  {0, u"mississippi", u"%iss%pi", true},
      {0, u"mississippi", u"m%s%s%z", false}, {0, u"a_b", u"a\\_b", true}, {0, u"axb", u"a\\_b", false},
      {0, u"a\\", u"a\\", true},     {0, u"ab", u"a\\", false},     {0, u"xyz", u"x%%%z", true},
      {0, u"abc", u"_%_", true},     {0, u"a", u"_%_", false},
  };
  for (const LikeCase& c : cases)
    EXPECT_EQ(LikeString(c.Collation, c.Value, c.Pattern, u'\\', u'_', u'%'), c.Matches)
        << StringToUtf8(c.Value) << " LIKE " << StringToUtf8(c.Pattern);
  // Escape character 0 means there is none.
  const std::u16string_view withNull(u"a\0b", 3);
  EXPECT_TRUE(LikeString(0, withNull, withNull, 0, u'_', u'%'));
  EXPECT_FALSE(LikeString(0, u"a%c", u"a\\%c", 0, u'_', u'%'));
  EXPECT_TRUE(LikeString(0, u"a\\xc", u"a\\%c", 0, u'_', u'%'));
}

// The folding buffers are reused from one comparison to the next: a text
// longer than they keep is compared right, and the next comparison still
// sees its own texts. (bench/bench_collation.cpp counts their allocations.)
TEST(Collation, InsensitiveLocaleComparisonOfTextsLongerThanItsBuffers) {
  const int32_t collation = ENU | CI | AI | WI;
  const std::u16string value = u"Résumé of the \uFF21\uFF22 quick brown fox";
  const std::u16string other = u"RESUME OF THE ab QUICK BROWN FOX";
  const std::u16string longValue = std::u16string(5000, u'x') + u"é";
  EXPECT_EQ(Compare(collation, longValue, std::u16string(5000, u'X') + u"E"), 0);
  EXPECT_EQ(Compare(collation, longValue, std::u16string(5000, u'X') + u"F"), -1);
  EXPECT_EQ(Compare(collation, value, other), 0);
  EXPECT_EQ(Compare(collation, u"abd", u"ABC"), 1);
}

TEST(Collation, MatchStringIsAFileNameMatch) {
  EXPECT_TRUE(MatchString(u"log.txt", u"*.TXT", 0, false));
  EXPECT_FALSE(MatchString(u"log.txt", u"*.TXT", 0, true));
  EXPECT_TRUE(MatchString(u"ab*", u"ab\\*", u'\\', true));
  EXPECT_FALSE(MatchString(u"abc", u"ab\\*", u'\\', true));
  EXPECT_TRUE(MatchString(u"192.168.0.12", u"192.168.*", 0, true));
  EXPECT_TRUE(MatchString(u"a.b.c", u"*.*.c", 0, true));
  EXPECT_FALSE(MatchString(u"abc", u"", 0, true));
  EXPECT_FALSE(MatchString(u"abc", u"a*d", 0, true));
  EXPECT_TRUE(MatchString(u"abc", u"**", 0, true));
  EXPECT_FALSE(MatchString(u"", u"a", 0, true));
}

TEST(Collation, EndingWildcards) {
  struct {
    const char16_t* S;
    bool Ends;
  } cases[] = {{u"abc%", true},  {u"abc%%", true},  {u"a%b%%", false}, {u"%a%%", false},
               {u"abc\\%", false}, {u"abc\\%%", false}, {u"%", true},     {u"", false}, {u"abc", false}};
  for (const auto& c : cases) EXPECT_EQ(EndsWithWildCard(c.S, u'%', u'\\'), c.Ends) << StringToUtf8(c.S);

  TORVString s = u"abc\\%%";
  EXPECT_EQ(GetEndingWildCardLength(s, u'%', u'\\'), 4);
  EXPECT_EQ(s, u"abc%");
  s = u"a\\_b%%";
  EXPECT_EQ(GetEndingWildCardLength(s, u'%', u'\\'), 3);
  EXPECT_EQ(s, u"a_b");
  s = u"abc";
  EXPECT_EQ(GetEndingWildCardLength(s, u'%', u'\\'), 0);
  EXPECT_EQ(s, u"abc");
  s = u"%";
  EXPECT_EQ(GetEndingWildCardLength(s, u'%', u'\\'), 0);
  EXPECT_EQ(s, u"");
}

TEST(Collation, ParseCollationRemovesEverySuffixOccurrence) {
  TORVString base;
  bool ci, ai, ki, wi;
  ParseCollation(u"enu_ci_ai", base, ci, ai, ki, wi);
  EXPECT_EQ(base, u"enu");
  EXPECT_TRUE(ci && ai);
  EXPECT_FALSE(ki || wi);
  ParseCollation(u"JPN_WI_KI_Ci", base, ci, ai, ki, wi);
  EXPECT_EQ(base, u"JPN");
  EXPECT_TRUE(ci && ki && wi);
  EXPECT_FALSE(ai);
  ParseCollation(u"UNI", base, ci, ai, ki, wi);
  EXPECT_EQ(base, u"UNI");
  EXPECT_FALSE(ci || ai || ki || wi);
}

TEST(Collation, CharacterClasses) {
  EXPECT_TRUE(SpaceChars().CharInSet(char16_t{'-'}));
  EXPECT_FALSE(SpaceChars().CharInSet(char16_t{'a'}));
  EXPECT_FALSE(SpaceChars().CharInSet(uint8_t{138}));
  EXPECT_TRUE(SpaceChars().CharInSet(uint8_t{215}));
  EXPECT_FALSE(SpaceChars().CharInSet(char16_t{0x100}));
  // SpaceChars is the complement of digits and letters within 0..255.
  for (int c = 0; c < 256; ++c) {
    const auto code = static_cast<uint8_t>(c);
    EXPECT_NE(SpaceChars().CharInSet(code), NumericChars().CharInSet(code) || IncludeChars().CharInSet(code)) << c;
  }
  EXPECT_EQ(HexChars().GetAsString(), u"0123456789ABCDEFabcdef");
  EXPECT_EQ(TagChars().GetAsString(), u"/<>");
  TORVCharSet set;
  set.AddCharRange(u'c', u'a');
  EXPECT_EQ(set.GetAsString(), u"");
  set.AddChar(0x4E2D);
  set.AddChar(u'x');
  EXPECT_TRUE(set.CharInSet(char16_t{0x4E2D}));
  set.RemoveChar(u'x');
  set.RemoveChar(0xFFFF);
  EXPECT_EQ(set.GetAsString(), u"\u4E2D");
}

}  // namespace
}  // namespace orv
