#include "core/orvstrings.h"

#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/orvcollation.h"
#include "core/orvstream.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

TORVString Joined(const TORVStringsList& List) {
  TORVString result;
  for (int32_t i = 0; i < List.GetCount(); ++i) result += u"[" + List.GetStrings(i) + u"]";
  return result;
}

TEST(StringsList, CommaTextRoundTripsAndReadsEmptyItems) {
  TORVStringsList list;
  list.Add(u"a");
  list.Add(u"b\"c");
  list.Add(u"x, y");
  list.Add(u"");
  const TORVString text = list.GetCommaText();
  EXPECT_EQ(text, u"\"a\",\"b\"\"c\",\"x, y\",\"\"");
  TORVStringsList back;
  back.SetCommaText(text);
  EXPECT_EQ(Joined(back), u"[a][b\"c][x, y][]");

  back.SetCommaText(u"a,,b");
  EXPECT_EQ(Joined(back), u"[a][][b]");
  back.SetCommaText(u"a,b,");
  EXPECT_EQ(Joined(back), u"[a][b]");
  back.SetCommaText(u"\"a\"b,c");  // text after a closing quote starts the next item
  EXPECT_EQ(Joined(back), u"[a][b][c]");
  back.SetCommaText(u"\"open");
  EXPECT_EQ(Joined(back), u"[open]");
  back.SetCommaText(u"");
  EXPECT_EQ(back.GetCount(), 0);
  EXPECT_EQ(back.GetCommaText(), u"");
}

TEST(StringsList, NamesAndValues) {
  TORVStringsList list;
  list.SetCommaText(u"Name=x,Other=y=z,plain");
  EXPECT_EQ(list.GetValue(u"NAME"), u"x");
  EXPECT_EQ(list.GetValue(u"other"), u"y=z");
  EXPECT_EQ(list.GetValue(u"plain"), u"");
  EXPECT_EQ(list.GetName(2), u"");
  EXPECT_EQ(list.GetValueFromIndex(1), u"y=z");
  list.SetValue(u"NAME", u"new");
  EXPECT_EQ(list.GetStrings(0), u"Name=new");
  list.SetValue(u"missing", u"v");
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.IndexOf(u"PLAIN  "), 2);
  EXPECT_TRUE(list.Remove(u"plain"));
  EXPECT_FALSE(list.Remove(u"plain"));
  EXPECT_EQ(list.GetText(), u"Name=new\r\nOther=y=z");
  EXPECT_THROW(list.Delete(5), std::out_of_range);
  EXPECT_THROW(list.GetStrings(-1), std::out_of_range);
}

TEST(StringsList, CommaStringQuotesOnlyWhenNeeded) {
  TORVStringsList list;
  EXPECT_EQ(list.GetCommaString(u"abc"), u"abc");
  EXPECT_EQ(list.GetCommaString(u"a b"), u"\"a b\"");
  EXPECT_EQ(list.GetCommaString(u"a\"b"), u"\"a\"\"b\"");
  EXPECT_EQ(list.GetCommaString(u"a,b"), u"\"a,b\"");
}

TEST(StringsList, SavesAndLoadsThroughAStream) {
  TORVStringsList list;
  list.SetCommaText(u"one,two,\u00E9t\u00E9");
  TORVMemoryStream stream(1);
  list.Save(stream);
  stream.SetPosition(0);
  TORVStringsList back;
  back.Add(u"old");
  back.Load(stream);
  EXPECT_EQ(Joined(back), u"[one][two][\u00E9t\u00E9]");

  // A count larger than the strings present gives the strings present.
  TORVMemoryStream bad(1);
  bad.WriteInteger(1000000000);
  bad.WriteString(u"only");
  bad.SetPosition(0);
  back.Load(bad);
  EXPECT_EQ(Joined(back), u"[only]");

  TORVMemoryStream scratch(-1);
  scratch.WriteInteger(5);
  scratch.WriteInteger(3);
  scratch.SetPosition(0);
  back.Load(scratch);
  EXPECT_EQ(back.GetCount(), 0);
}

TEST(StringsList, ArrayTextJoinsTheFirstCountStringsWithLineBreaks) {
  EXPECT_EQ(StringsArrayToString({u"a", u"b", u"c"}, 2), u"a\r\nb");
  EXPECT_EQ(StringsArrayToString({u"a"}, 5), u"a");
  EXPECT_EQ(StringsArrayToString({u"a"}, -1), u"");
}

TEST(StringsList, AssignCopiesItems) {
  TORVStringsList a, b;
  a.SetCommaText(u"x,y");
  b.Assign(a);
  b.Assign(b);
  EXPECT_EQ(Joined(b), u"[x][y]");
  std::vector<TORVString> out{u"junk"};
  b.AssignTo(out);
  EXPECT_EQ(out, (std::vector<TORVString>{u"x", u"y"}));
}

// SameString answers as the case-insensitive ordinal comparison does, also
// where a difference sits next to a surrogate or inside a pair.
TEST(StringRoutines, SameStringAgreesWithTheOrdinalComparison) {
  const std::u16string Alphabet = u"aAzZ\u00e4\u00c4\u03c3\u03a3 _1\xD801\xDC00\xDC28\xD800";
  const uint32_t Seed = std::random_device{}();
  std::mt19937 Random(Seed);
  std::uniform_int_distribution<std::size_t> Pick(0, Alphabet.size() - 1);
  std::uniform_int_distribution<int> Length(0, 4);
  auto RandomText = [&] {
    std::u16string Text;
    for (int I = Length(Random); I > 0; --I) Text += Alphabet[Pick(Random)];
    return Text;
  };
  for (int Round = 0; Round < 20000; ++Round) {
    const std::u16string S1 = RandomText();
    // Half the pairs are the same text with one unit changed, so equal
    // lengths and near misses are common.
    std::u16string S2 = S1;
    if (Round % 2 == 0 || S2.empty()) S2 = RandomText();
    else S2[Pick(Random) % S2.size()] = Alphabet[Pick(Random)];
    ASSERT_EQ(SameString(S1, S2), CompareStringsOrdinal(S1, S2, 0, true) == 0) << "seed " << Seed << " round " << Round;
  }
}

TEST(StringRoutines, ComparisonsIgnoreTrailingBlanks) {
  EXPECT_TRUE(SameString(u"Table1  ", u"TABLE1"));
  EXPECT_FALSE(SameStringSensitive(u"Table1", u"TABLE1"));
  EXPECT_TRUE(SameStringSensitive(u"abc ", u"abc"));
  EXPECT_EQ(CompareString(u"abc", u"ABD"), -1);
  EXPECT_EQ(CompareStringSensitive(u"abc", u"ABD"), 1);
  EXPECT_EQ(CompareString(u"ab", u"AB "), 0);
  EXPECT_EQ(TrimmedStringLength(u"ab  "), 2);
  EXPECT_EQ(StringPos(u"b", u"abcb"), 2);
  EXPECT_EQ(RPos(u"b", u"abcb"), 4);
  EXPECT_EQ(StringPos(u"x", u"abc"), 0);
  EXPECT_EQ(StringPos(u"", u"abc"), 0);
}

TEST(StringRoutines, QuotingAndLiterals) {
  EXPECT_EQ(QuotedString(u"it's", u'\''), u"'it''s'");
  EXPECT_EQ(ExpandQuotes(u'"', u"a\"b"), u"a\"\"b");
  EXPECT_EQ(ConvertQuotes(u'"', u"a\"\"b\"\"\"\"c"), u"a\"b\"\"c");
  EXPECT_EQ(ConvertQuotes(u'\'', u"'''x'"), u"''x'");
  EXPECT_EQ(ConvertToLiteral(u"ab\tc"), u"'ab'+#9+'c'");
  EXPECT_EQ(ConvertToLiteral(u"it's"), u"'it''s'");
  EXPECT_EQ(ConvertToLiteral(u"a\r\nb"), u"'a\r\nb'");
  EXPECT_EQ(ConvertToLiteral(std::u16string_view(u"\0", 1)), u"''+#0+''");
  EXPECT_EQ(EscapeXMLString(u"<a href=\"x\">&'</a>"), u"&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;");
  EXPECT_EQ(UnEscapeXMLString(u"a&lt;b"), u"a<b");
  EXPECT_EQ(UnEscapeXMLString(u"a&b"), u"a&b");
  EXPECT_EQ(UnEscapeXMLString(u"&amp;lt;"), u"&lt;");  // replaced text is not scanned again
  EXPECT_EQ(UnEscapeXMLString(u"&quot"), u"\"");
  EXPECT_EQ(UnEscapeXMLString(EscapeXMLString(u"\"'<>&x")), u"\"'<>&x");
}

TEST(StringRoutines, CaseAndReplacing) {
  EXPECT_EQ(UpperCaseString(u"abcÿ"), u"ABCŸ");
  EXPECT_EQ(ProperCaseString(u"hello big-world"), u"Hello Big-World");
  TORVString builder;
  AppendString(u"a", builder, u", ");
  AppendString(u"", builder, u", ");
  AppendString(u"b", builder, u", ");
  EXPECT_EQ(builder, u"a, , b");
  EXPECT_EQ(ReplaceString(u"aAbA", u"a", u"x", false), u"xAbA");
  EXPECT_EQ(ReplaceString(u"aAbA", u"a", u"x", true), u"xxbx");
  EXPECT_EQ(ReplaceString(u"aaa", u"a", u"aa", false), u"aaaaaa");
  EXPECT_EQ(ReplaceString(u"abc", u"", u"x", false), u"abc");
  EXPECT_EQ(ReplaceWord(u"select x from t", u"x", 8, u"a, b"), u"select a, b from t");
}

TEST(StringRoutines, PaddingAndTrimming) {
  EXPECT_EQ(PadL(u"abcdef", 3, u' '), u"abc");
  EXPECT_EQ(PadL(u"ab", 4, u'*'), u"**ab");
  EXPECT_EQ(PadInteger(u"7", 3), u"007");
  EXPECT_EQ(PadInteger(u"12345", 3), u"12345");
  EXPECT_EQ(PadDecimal(u"12", 2, u'.'), u"12.00");
  EXPECT_EQ(PadDecimal(u"1.5", 3, u'.'), u"1.500");
  EXPECT_EQ(PadDecimal(u"1.2345", 2, u'.'), u"1.2345");
  EXPECT_EQ(RCopy(u"abcdef", 2), u"ef");
  EXPECT_EQ(RCopy(u"ab", 5), u"ab");
  EXPECT_EQ(LTrimString(u"xxabc", u'x'), u"abc");
  EXPECT_EQ(LTrimString(u"xxx", u'x'), u"");
  EXPECT_EQ(RTrimString(u"abcabab", u"ab"), u"abc");
  EXPECT_EQ(AllTrimString(u"--a--", u'-'), u"a");
  EXPECT_EQ(AllTrimString(u"ababcab", u"ab"), u"c");
  EXPECT_EQ(LTrimString(u"abc", u""), u"abc");
  EXPECT_EQ(TrimString(u" \r\na\r\n "), u"a");
  EXPECT_EQ(TrimString(u"\r\n a"), u" a");
  EXPECT_EQ(TrimInteger(u"000"), u"0");
  EXPECT_EQ(TrimInteger(u"0012"), u"12");
  EXPECT_EQ(Replicate(u"ab", 3), u"ababab");
  EXPECT_EQ(Replicate(u"ab", -1), u"");
}

TEST(StringRoutines, CountingAndExtracting) {
  EXPECT_EQ(Occurs(u"aa", u"aaaa"), 2);
  EXPECT_EQ(Occurs(u"aa", u"aaa"), 1);
  EXPECT_EQ(Occurs(u"", u"aaa"), 0);
  TORVString s = u"a.b.c";
  EXPECT_EQ(Extract(s, u"."), u"a");
  EXPECT_EQ(s, u"b.c");
  s = u"abc";
  EXPECT_EQ(Extract(s, u"."), u"abc");
  EXPECT_EQ(s, u"");
}

TEST(StringRoutines, WrapBreaksAtTheLastBreakCharacterOfTheLine) {
  // 100 characters: words of nine letters, each followed by a blank.
  TORVString line;
  while (line.size() < 100) line += u"abcdefghi ";
  const TORVString wrapped = WrapString(line, u"\r\n", u" ,", 80, false);
  // The blank at position 79 (the last among the first 81) gives way.
  EXPECT_EQ(wrapped.substr(0, 81), line.substr(0, 79) + u"\r\n");
  EXPECT_EQ(wrapped.substr(81), line.substr(80));
  EXPECT_EQ(wrapped.size(), line.size() + 1);

  TORVString commas;
  while (commas.size() < 100) commas += u"abcdefghi,";
  const TORVString wrappedCommas = WrapString(commas, u"\r\n", u" ,", 80, false);
  EXPECT_EQ(wrappedCommas.substr(0, 81), commas.substr(0, 79) + u"\r\n");

  // Without break characters only a forced break splits the line.
  const TORVString solid(30, u'x');
  EXPECT_EQ(WrapString(solid, u"|", u" ", 10, false), solid);
  EXPECT_EQ(WrapString(solid, u"|", u" ", 10, true),
            u"xxxxxxxxxxx|xxxxxxxxxx|xxxxxxxxx");
  // Line feeds restart the count.
  EXPECT_EQ(WrapString(u"aaaa\naaaa", u"|", u" ", 5, true), u"aaaa\naaaa");
}

}  // namespace
}  // namespace orv
