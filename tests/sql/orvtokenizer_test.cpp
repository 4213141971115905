#include "sql/orvtokenizer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

// A tokenizer that raises its syntax errors directly, as the expression
// would (code 700 with the line and column), without the expression's
// surrounding text.
class TTestTokenizer : public TORVExprTokenizer {
 public:
  [[noreturn]] void ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) override {
    throw EORVException(700, Message, Line, Column);
  }

  // Binds to Text and reads the first token.
  void Start(const TORVString& Text) {
    FOwned = Text;
    InitializeText(FOwned);
    NextToken();
  }

  int32_t LiteralStackCapacity() const { return static_cast<int32_t>(FLiteralStack.size()); }

 private:
  TORVString FOwned;
};

std::string Utf8(const TORVString& S) { return StringToUtf8(S); }

// "code'literal'=value@line:col", one per token, or "error message@line:col".
std::string Describe(TTestTokenizer& Tokenizer, const TORVString& Text) {
  std::string result;
  try {
    Tokenizer.Start(Text);
    while (Tokenizer.GetToken() != tkEndOfText) {
      if (!result.empty()) result += ' ';
      result += std::to_string(Tokenizer.GetToken()) + "'" + Utf8(Tokenizer.GetTokenAsLiteral()) + "'";
      const TORVString value = Tokenizer.GetTokenAsString();
      if (value != Tokenizer.GetTokenAsLiteral()) result += "=" + Utf8(value);
      result += "@" + std::to_string(Tokenizer.GetTokenLine()) + ":" + std::to_string(Tokenizer.GetCol());
      Tokenizer.NextToken();
    }
    result += (result.empty() ? "" : " ") + std::string("end@") + std::to_string(Tokenizer.GetTokenLine()) + ":" +
              std::to_string(Tokenizer.GetCol());
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 700);
    return "error " + Utf8(e.ErrorMsg()) + "@" + std::to_string(e.ErrorLine()) + ":" + std::to_string(e.ErrorColumn());
  }
  return result;
}

struct TTokenCase {
  const char16_t* Text;
  const char* Expected;
};

TEST(ExprTokenizer, TokensOfTextWithLinesAndColumns) {
  const TTokenCase cases[] = {
      // Comments end at the line break; blanks and comments separate tokens.
      {u"a--c\n+ b", "1'a'@1:1 43'+'@2:1 1'b'@2:3 end@2:3"},
      {u"a/* x */b -- tail", "1'a'@1:1 1'b'@1:9 end@1:17"},
      {u"a /* one\n two */ b", "1'a'@1:1 1'b'@2:9 end@2:9"},
      {u"/**/", "end@1:4"},
      // CR LF, CR and LF each count as one line, also inside a string.
      {u"a\r\nb\rc\nd", "1'a'@1:1 1'b'@2:1 1'c'@3:1 1'd'@4:1 end@4:1"},
      {u"'x\r\ny' z", "3''x\r\ny''=x\r\ny@1:1 1'z'@2:4 end@2:4"},
      // Strings and quoted identifiers undo their doubled quotes.
      {u"'It''s'", "3''It''s''=It's@1:1 end@1:7"},
      {u"\"a\"\"b\"", "4'\"a\"\"b\"'=a\"b@1:1 end@1:6"},
      {u"\"a''b\"", "4'\"a''b\"'=a'b@1:1 end@1:6"},
      {u"''", "3''''=@1:1 end@1:2"},
      // Byte strings start at the X in either case.
      {u"X'0A1B'", "8'X'0A1B''=0A1B@1:1 end@1:7"},
      {u"= x''", "61'='@1:1 8'x'''=@1:3 end@1:5"},
      {u"XY X", "1'XY'@1:1 1'X'@1:4 end@1:4"},
      {u"#65 #", "5'#65'@1:1 5'#'@1:5 end@1:5"},
      // Numbers.
      {u"12", "6'12'@1:1 end@1:2"},
      {u"12.5 12e3 1E+5 .5 2e-3", "7'12.5'@1:1 7'12e3'@1:6 7'1E+5'@1:11 7'.5'@1:16 7'2e-3'@1:19 end@1:22"},
      {u"12abc", "6'12'@1:1 1'abc'@1:3 end@1:5"},
      {u"1.2.3", "7'1.2.3'@1:1 end@1:5"},
      {u"1-2", "6'1'@1:1 45'-'@1:2 6'2'@1:3 end@1:3"},
      {u".5.5", "7'.5'@1:1 7'.5'@1:3 end@1:4"},
      {u"a.b", "1'a'@1:1 46'.'@1:2 1'b'@1:3 end@1:3"},
      // Identifiers take letters, "_" and digits; other characters stand alone.
      {u"_a1 b_2", "1'_a1'@1:1 1'b_2'@1:5 end@1:7"},
      {u"a!$b", "1'a'@1:1 33'!'@1:2 36'$'@1:3 1'b'@1:4 end@1:4"},
      {u"(?, *);", "40'('@1:1 63'?'@1:2 44','@1:3 42'*'@1:5 41')'@1:6 59';'@1:7 end@1:7"},
      // The end of the text: the last character's column, 1 on a new line.
      {u"0123456789", "6'0123456789'@1:1 end@1:10"},
      {u"a\n", "1'a'@1:1 end@2:1"},
      {u"", "end@1:1"},
      // Control characters are blanks.
      {u"a\x01\x08\tb", "1'a'@1:1 1'b'@1:5 end@1:5"},
      // Unterminated tokens and comments.
      {u"SELECT 'abc", "error Missing '@1:11"},
      {u"SELECT \"abc\nFROM t", "error Missing \"@1:12"},
      {u"\"abc", "error Missing \"@1:4"},
      {u"/* never closed", "error Missing /@1:15"},
      {u"a /* x\n y *", "error Missing /@2:4"},
      {u"SELECT X'0A", "error Missing '@1:11"},
      {u"'ab\ncd", "error Missing '@2:2"},
  };
  for (const auto& c : cases) {
    TTestTokenizer tokenizer;
    EXPECT_EQ(Describe(tokenizer, c.Text), c.Expected) << Utf8(c.Text);
  }
}

TEST(ExprTokenizer, ByteStringTokenStartsAtTheX) {
  TTestTokenizer t;
  t.Start(u"= X'0A' , 1");
  t.NextToken();
  EXPECT_EQ(t.GetToken(), tkBytes);
  EXPECT_EQ(t.GetTokenPos(), 3);
  t.MarkLiteral();
  t.NextToken();
  EXPECT_EQ(t.GetLiteralString(), u"X'0A' ");
}

TEST(ExprTokenizer, ErrorsAtMultiLineTokenReportTheTokensOwnLine) {
  TTestTokenizer t;
  t.Start(u"SELECT 'a\r\nb' c");
  t.NextToken();
  ASSERT_EQ(t.GetToken(), tkString);
  try {
    t.ExpectedExpression(u"FROM");
    FAIL();
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorMsg(), u"Expected FROM but instead found 'a\r\nb'");
    EXPECT_EQ(e.ErrorLine(), 1);
    EXPECT_EQ(e.ErrorColumn(), 8);
  }
}

TEST(ExprTokenizer, ErrorRoutinesNameTheTokenOrWhatIsMissing) {
  struct TCase {
    const char16_t* Text;
    int Skip;  // tokens consumed before the check
    const char* Expected;
  };
  auto expectedToken = [](TTestTokenizer& t) { t.ErrorIfNotSkipToken(u'('); };
  auto expectedWord = [](TTestTokenizer& t) { t.ErrorIfNotSkipSymbol(u"FROM"); };
  auto invalid = [](TTestTokenizer& t) { t.InvalidExpr(u"aggregate functions not allowed"); };
  auto run = [](const char16_t* text, int skip, auto check) -> std::string {
    TTestTokenizer t;
    t.Start(text);
    for (int i = 0; i < skip; ++i) t.NextToken();
    try {
      check(t);
    } catch (const EORVException& e) {
      return Utf8(e.ErrorMsg()) + "@" + std::to_string(e.ErrorLine()) + ":" + std::to_string(e.ErrorColumn());
    }
    return "no error";
  };
  EXPECT_EQ(run(u"f x", 1, expectedToken), "Expected ( but instead found x@1:3");
  EXPECT_EQ(run(u"f  ", 1, expectedToken), "Missing (@1:3");
  EXPECT_EQ(run(u"f (", 1, expectedToken), "no error");
  EXPECT_EQ(run(u"SELECT a\n  WHERE", 2, expectedWord), "Expected FROM but instead found WHERE@2:3");
  EXPECT_EQ(run(u"SELECT a", 2, expectedWord), "Missing FROM@1:8");
  EXPECT_EQ(run(u"SELECT \"from\"", 1, expectedWord), "Expected FROM but instead found \"from\"@1:8");
  EXPECT_EQ(run(u"SELECT from", 1, expectedWord), "no error");
  EXPECT_EQ(run(u"SELECT SUM(x)", 1, invalid), "Invalid expression SUM found, aggregate functions not allowed@1:8");

  TORVString list;
  TORVExprTokenizer::AddExpected(list, u"ROW");
  TORVExprTokenizer::AddExpected(list, u"PUBLISH");
  EXPECT_EQ(list, u"ROW, PUBLISH");
}

TEST(ExprTokenizer, QuotedWordIsNeverAKeyword) {
  TTestTokenizer t;
  t.Start(u"\"SELECT\" select");
  EXPECT_TRUE(t.TokenIsSymbol());
  EXPECT_FALSE(t.CheckSymbol(u"SELECT"));
  EXPECT_FALSE(t.SkipSymbol(u"SELECT"));
  EXPECT_EQ(t.GetTokenAsString(), u"SELECT");
  t.NextToken();
  EXPECT_TRUE(t.CheckSymbol(u"SELECT"));
  EXPECT_TRUE(t.CheckSymbol(u"Select  "));
  EXPECT_FALSE(t.CheckSymbol(u"SELECTED"));
  EXPECT_TRUE(t.SkipSymbol(u"SELECT"));
  EXPECT_TRUE(t.CheckToken(tkEndOfText));
}

TEST(ExprTokenizer, PeekRestoresPositionEvenWhenTheNextTokenRaises) {
  TTestTokenizer t;
  t.Start(u"a\n  b 'never closed");
  t.NextToken();  // b on line 2
  const auto snapshot = [&t] {
    return std::vector<int32_t>{t.GetToken(), t.GetTokenPos(), t.GetPos(), t.GetTokenLine(), t.GetLine(), t.GetCol()};
  };
  const auto before = snapshot();
  EXPECT_THROW(t.PeekSymbol(u"x"), EORVException);
  EXPECT_EQ(snapshot(), before);
  EXPECT_THROW(t.PeekToken(tkString), EORVException);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(t.GetTokenAsLiteral(), u"b");

  TTestTokenizer u;
  u.Start(u"a\nb ( c");
  u.SavePosition();
  EXPECT_TRUE(u.PeekSymbol(u"B"));
  EXPECT_FALSE(u.PeekToken(u'('));
  EXPECT_EQ(u.GetTokenAsLiteral(), u"a");
  // A look-ahead leaves a saved position alone.
  u.NextToken();
  u.NextToken();
  u.RestorePosition();
  EXPECT_EQ(u.GetTokenAsLiteral(), u"a");
  EXPECT_EQ(u.GetLine(), 1);
  u.NextToken();
  EXPECT_EQ(u.GetTokenLine(), 2);
}

TEST(ExprTokenizer, LiteralMarksNestAndGrowTheStack) {
  TTestTokenizer t;
  t.Start(u"a + (b * c) /* note */ d");
  t.MarkLiteral();  // at a
  t.NextToken();    // +
  t.NextToken();    // (
  t.NextToken();    // b
  t.MarkLiteral();
  while (!t.CheckToken(u')')) t.NextToken();
  EXPECT_EQ(t.GetLiteralString(), u"b * c");
  t.NextToken();  // d
  EXPECT_EQ(t.GetLiteralString(), u"a + (b * c) /* note */ ");

  // Forty nested marks outgrow the initial sixteen entries and unwind in
  // order.
  TORVString text;
  for (int i = 0; i < 40; ++i) text += u"( ";
  TTestTokenizer deep;
  deep.Start(text);
  EXPECT_EQ(deep.LiteralStackCapacity(), 16);
  for (int i = 0; i < 40; ++i) {
    deep.MarkLiteral();
    deep.NextToken();
  }
  EXPECT_EQ(deep.LiteralStackCapacity(), 48);
  for (int i = 39; i >= 0; --i) EXPECT_EQ(deep.GetLiteralString().size(), static_cast<std::size_t>(80 - 2 * i));
  // An unpaired call cuts text without reading below the stack.
  EXPECT_NO_THROW(deep.GetLiteralString());
}

// Random text never makes the tokenizer crash, hang or read outside the
// text: each text is held in a buffer of exactly its size, and every token
// must advance.
TEST(ExprTokenizer, RandomTextNeverCrashesOrHangs) {
  static const char16_t interesting[] = {u'\'', u'"', u'X', u'x', u'#', u'0', u'9', u'.', u'e', u'E', u'+',
                                         u'-',  u'/', u'*', u'\r', u'\n', u' ', u'a', u'_', u'\0', 0xD800, 0xFFFF};
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t length = random() % 48;
    // Exactly the text's size, so that a read past its end is caught.
    auto buffer = std::make_unique<char16_t[]>(length == 0 ? 1 : length);
    for (std::size_t i = 0; i < length; ++i)
      buffer[i] = random() % 4 == 0 ? static_cast<char16_t>(random() % 0x10000)
                                    : interesting[random() % std::size(interesting)];
    TTestTokenizer t;
    try {
      t.InitializeText(std::u16string_view(buffer.get(), length));
      t.NextToken();
      for (std::size_t steps = 0; t.GetToken() != tkEndOfText; ++steps) {
        ASSERT_LE(steps, length) << "no progress";
        const int32_t pos = t.GetPos();
        ASSERT_GE(t.GetCol(), 1);
        (void)t.GetTokenAsString();
        if (steps % 2 == 0) (void)t.PeekSymbol(u"a");
        ASSERT_EQ(t.GetPos(), pos);
        t.NextToken();
        ASSERT_TRUE(t.GetPos() > pos || t.GetToken() == tkEndOfText);
      }
    } catch (const EORVException& e) {
      EXPECT_GE(e.ErrorLine(), 1);
      EXPECT_GE(e.ErrorColumn(), 1);
      EXPECT_LE(e.ErrorColumn(), static_cast<int32_t>(length) + 1);
    }
  }
}

}  // namespace
}  // namespace orv
