#include "core/orvwords.h"

#include <gtest/gtest.h>

#include "core/orvcollation.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

constexpr int32_t CI = 1 << 20;
constexpr int32_t ENU = 1033;

std::vector<TORVString> Words(int32_t Collation, std::u16string_view Text, bool SearchMode = false) {
  std::vector<TORVString> words;
  int32_t position = 1;
  for (;;) {
    TORVString word = GetNextTextIndexWord(Collation, Text, position, SearchMode);
    if (word.empty()) break;
    words.push_back(word);
  }
  EXPECT_EQ(position, static_cast<int32_t>(Text.size()) + 1);
  return words;
}

using W = std::vector<TORVString>;

TEST(TextIndexWords, SplitsTextAndSkipsShortAndStopWords) {
  const std::u16string_view text = u"The quick, brown fox; 1984 a-b";
  EXPECT_EQ(Words(0, text), (W{u"The", u"quick", u"brown", u"fox"}));
  EXPECT_EQ(Words(CI, text), (W{u"quick", u"brown", u"fox"}));
  EXPECT_EQ(Words(ENU | CI, text), (W{u"quick", u"brown", u"fox"}));
  EXPECT_EQ(Words(0, u"abc123def"), (W{u"abcdef"}));
  EXPECT_EQ(Words(0, u""), W{});
  EXPECT_EQ(Words(0, u" ;; "), W{});
}

TEST(TextIndexWords, PositionEndsPastTheSeparator) {
  int32_t position = 1;
  EXPECT_EQ(GetNextTextIndexWord(0, u"alpha beta", position, false), u"alpha");
  EXPECT_EQ(position, 7);
  EXPECT_EQ(GetNextTextIndexWord(0, u"alpha beta", position, false), u"beta");
  EXPECT_EQ(position, 11);
  EXPECT_EQ(GetNextTextIndexWord(0, u"alpha beta", position, false), u"");
}

TEST(TextIndexWords, SearchModeKeepsWildcardWords) {
  EXPECT_EQ(Words(0, u"da*", true), (W{u"da*"}));
  EXPECT_EQ(Words(0, u"da", true), W{});
  EXPECT_EQ(Words(CI, u"the* data", true), (W{u"the*", u"data"}));
  EXPECT_EQ(Words(0, u"da*", false), W{});  // outside search mode "*" separates
}

TEST(TextIndexWords, LettersOfEveryScriptMakeWords) {
  EXPECT_EQ(Words(0, u"\u015Ctono \u0142\u00F3d\u017A \u4E2D\u6587\u5B57 caf\u0065\u0301s"),
            (W{u"\u015Ctono", u"\u0142\u00F3d\u017A", u"\u4E2D\u6587\u5B57", u"caf\u0065\u0301s"}));
  EXPECT_EQ(Words(0, u"\u0160koda\u2019s \U00010400\U00010401\U00010402"),
            (W{u"\u0160koda", u"\U00010400\U00010401\U00010402"}));
}

TEST(StopWords, AllAreRecognised) {
  ASSERT_EQ(StopWords().size(), 144u);
  // Lithuanian sorts Y with I and Czech sorts CH after H: the list is out of
  // order under them, and must still be searched correctly.
  const int32_t lithuanian = 1063, czech = 1029;
  for (std::u16string_view word : StopWords()) {
    EXPECT_TRUE(IsStopWord(0, word)) << StringToUtf8(word);
    for (int32_t collation : {ENU | CI, lithuanian | CI, czech | CI})
      EXPECT_TRUE(IsStopWord(collation, LowerStringOrdinal(word))) << collation << " " << StringToUtf8(word);
    EXPECT_FALSE(IsStopWord(lithuanian, TORVString(word) + u"Q")) << StringToUtf8(word);
  }
  EXPECT_TRUE(IsStopWord(0, u"HERS"));
  EXPECT_FALSE(IsStopWord(0, u"hers"));
  EXPECT_TRUE(IsStopWord(CI, u"hers"));
  EXPECT_TRUE(IsStopWord(ENU | CI, u"Hers"));
  EXPECT_FALSE(IsStopWord(ENU, u"Hers"));
  EXPECT_FALSE(IsStopWord(CI, u"HERSELF"));
  EXPECT_FALSE(IsStopWord(0, u""));
}

TEST(WordList, KeepsWordsSortedAndUniqueUnderItsCollation) {
  TORVWordList ordinal(0);
  for (const char16_t* w : {u"DOG", u"cat", u"Dog", u"DOG"}) ordinal.Add(w);
  EXPECT_EQ(ordinal.ConvertToString(u","), u"DOG,Dog,cat");
  TORVWordList insensitive(CI);
  for (const char16_t* w : {u"DOG", u"cat", u"Dog"}) insensitive.Add(w);
  EXPECT_EQ(insensitive.ConvertToString(u","), u"cat,DOG");
  TORVWordList linguistic(ENU);
  for (const char16_t* w : {u"DOG", u"cat", u"Dog", u"apple"}) linguistic.Add(w);
  EXPECT_EQ(linguistic.ConvertToString(u","), u"apple,cat,Dog,DOG");

  ordinal.Remove(u"Dog");
  ordinal.Remove(u"missing");
  EXPECT_EQ(ordinal.ConvertToString(u","), u"DOG,cat");
}

TEST(WordList, SearchDifferenceAndConversion) {
  TORVWordList list(0);
  list.Add(u"database");
  EXPECT_TRUE(list.Search(u"data", 4));
  EXPECT_FALSE(list.Search(u"data", 0));
  EXPECT_FALSE(TORVWordList(0).Search(u"x", 0));

  TORVWordList a(0), b(0);
  a.ConvertFromString(u"pear|apple", u"|");
  b.ConvertFromString(u"plum|pear", u"|");
  std::unique_ptr<TORVWordList> diff = a.Difference(b);
  EXPECT_EQ(diff->ConvertToString(u" "), u"apple");
  EXPECT_EQ(diff->GetCollation(), 0);
  EXPECT_EQ(a.GetNumWords(), 2);
}

TEST(WordList, WildcardFlagsAndResorting) {
  TORVWord word(u"ab*c");
  EXPECT_TRUE(word.GetContainsWildCard());
  EXPECT_FALSE(word.GetContainsEndingWildCard());
  word.SetValue(u"abc*");
  EXPECT_FALSE(word.GetContainsWildCard());
  EXPECT_TRUE(word.GetContainsEndingWildCard());
  word.SetValue(u"*ab*");
  EXPECT_TRUE(word.GetContainsWildCard() && word.GetContainsEndingWildCard());

  TORVWordList list(0);
  list.ConvertFromString(u"b c d*", u" ");
  EXPECT_TRUE(list.ContainsEndingWildcardWords());
  EXPECT_FALSE(list.ContainsWildcardWords());
  list.SetWords(0, u"z*y");
  EXPECT_TRUE(list.ContainsWildcardWords());
  list.Sort();
  EXPECT_EQ(list.ConvertToString(u" "), u"c d* z*y");
  EXPECT_THROW(list.GetWords(3), std::out_of_range);
}

TEST(Identifiers, ValidityAndRepair) {
  EXPECT_FALSE(ValidIdentifier(u""));
  EXPECT_FALSE(ValidIdentifier(u"1abc"));
  EXPECT_FALSE(ValidIdentifier(u"a b?"));
  EXPECT_TRUE(ValidIdentifier(u"_a b-(c)#1"));
  EXPECT_TRUE(ValidSecurityIdentifier(u"john.smith"));
  EXPECT_FALSE(ValidSecurityIdentifier(u"a#b"));
  EXPECT_EQ(MakeValidIdentifier(u"1a.b"), u"_a_b");
  EXPECT_TRUE(IsAlpha(u'_'));
  EXPECT_TRUE(IsAlpha(u'\u00E9'));
  EXPECT_FALSE(IsAlpha(u'1'));
  EXPECT_TRUE(IsNumeric(u'1'));
  EXPECT_TRUE(IsAlphaNumeric(u'z'));
  EXPECT_TRUE(IsNonPrintable(u' '));
  EXPECT_FALSE(IsNonPrintable(u'!'));
  EXPECT_TRUE(IsLineFeed(u'\r'));
  EXPECT_TRUE(IsSign(u'-'));
  EXPECT_TRUE(IsExponent(u'e'));
  EXPECT_FALSE(IsExponent(u'x'));
}

}  // namespace
}  // namespace orv
