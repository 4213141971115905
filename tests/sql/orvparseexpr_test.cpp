#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvconsts.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::DumpTokens;

// A parser bound to Text with its first token read. The tree it parses is
// freed with the fixture.
struct TExprFixture {
  explicit TExprFixture(const std::string& Text) {
    Expr.SetExpression(Utf8ToString(Text));
    Parser.Initialize(&Expr);
  }
  ~TExprFixture() { FreeTokens(Tree); }
  TORVCompiledExpr Expr;
  TORVExprParser Parser;
  TORVExprToken* Tree = nullptr;
};

std::string ErrorOf(const std::string& Text, TORVParseOptions Options = {}) {
  return test::ParseForCorpus(Text, Options, [](TORVExprParser& P, TORVParseOptions O) { return P.ParseExpr(O); });
}

TEST(ExprGrammar, CorpusExpressionsGiveTheirTreesOrErrors) {
  int32_t Cases = test::RunSqlCorpus("expr", TORVParseOptions{},
                                     [](TORVExprParser& P, TORVParseOptions O) { return P.ParseExpr(O); });
  EXPECT_GT(Cases, 0);
}

// Operator nodes sit at the first token after their operator, a unary minus
// after its operand, constants and references at their first token.
TEST(ExprGrammar, NodesCarryThePositionsOfTheirTokens) {
  TExprFixture F("a +\n  b * -c OR NOT x");
  F.Tree = F.Parser.ParseExpr(TORVParseOptions{});
  const TORVExprToken* Or = F.Tree;
  ASSERT_EQ(Or->FTokenOperator, toOR);
  EXPECT_EQ(Or->FLine, 2);
  EXPECT_EQ(Or->FCol, 13);
  const TORVExprToken* Not = Or->GetRightToken();
  EXPECT_EQ(Not->FTokenOperator, toNOT);
  EXPECT_EQ(Not->FCol, 17);
  EXPECT_EQ(Not->GetLeftToken()->FCol, 17);
  const TORVExprToken* Add = Or->GetLeftToken();
  ASSERT_EQ(Add->FTokenOperator, toADD);
  EXPECT_EQ(Add->FLine, 2);
  EXPECT_EQ(Add->FCol, 3);
  EXPECT_EQ(Add->GetLeftToken()->FLine, 1);
  EXPECT_EQ(Add->GetLeftToken()->FCol, 1);
  const TORVExprToken* Mul = Add->GetRightToken();
  EXPECT_EQ(Mul->FCol, 7);
  EXPECT_EQ(Mul->FExprPos, 11);
  const TORVExprToken* Negate = Mul->GetRightToken();
  ASSERT_EQ(Negate->FTokenOperator, toNEGATE);
  EXPECT_EQ(Negate->FCol, 10);  // at OR, the token after its operand
  EXPECT_EQ(Negate->GetLeftToken()->FCol, 8);
  // Every child knows its parent.
  EXPECT_EQ(Negate->FUpperToken, Mul);
  EXPECT_EQ(Mul->FUpperToken, Add);
  EXPECT_EQ(Add->FUpperToken, Or);
}

TEST(ExprGrammar, TenThousandTermsJoinedByOrParseAndFree) {
  std::string Text;
  for (int32_t I = 0; I < 10000; ++I) {
    if (I > 0) Text += " OR ";
    Text += "c" + std::to_string(I) + " = " + std::to_string(I);
  }
  TExprFixture F(Text);
  F.Tree = F.Parser.ParseExpr(TORVParseOptions{});
  int32_t Depth = 0;
  const TORVExprToken* Node = F.Tree;
  while (Node->FTokenOperator == toOR) {
    ++Depth;
    Node = Node->GetLeftToken();
  }
  EXPECT_EQ(Depth, 9999);
  EXPECT_EQ(Node->GetLeftToken()->FName, u"c0");
  EXPECT_EQ(F.Tree->GetRightToken()->GetLeftToken()->FName, u"c9999");
}

TEST(ExprGrammar, NestingIsBoundedWithAnErrorInsteadOfACrash) {
  auto Nested = [](int32_t Depth, const std::string& Open, const std::string& Inner, const std::string& Close) {
    std::string Text;
    for (int32_t I = 0; I < Depth; ++I) Text += Open;
    Text += Inner;
    for (int32_t I = 0; I < Depth; ++I) Text += Close;
    return Text;
  };
  // Each parenthesis is one level, and so is the innermost value.
  EXPECT_EQ(ErrorOf(Nested(MaxParseNestingDepth - 1, "(", "1", ")")).substr(0, 6), "(CONST");
  std::string TooDeep = ErrorOf(Nested(MaxParseNestingDepth, "(", "1", ")"));
  EXPECT_EQ(TooDeep, "!1:" + std::to_string(MaxParseNestingDepth + 1) +
                         " Invalid expression 1 found, nesting deeper than " + std::to_string(MaxParseNestingDepth) +
                         " levels not allowed");
  // Far deeper texts stop at the same limit.
  EXPECT_NE(ErrorOf(Nested(200000, "(", "1", ")")).find("nesting deeper than"), std::string::npos);
  EXPECT_NE(ErrorOf(Nested(50000, "f(", "1", ")")).find("nesting deeper than"), std::string::npos);
  EXPECT_NE(ErrorOf(Nested(50000, "a[", "1", "]")).find("nesting deeper than"), std::string::npos);
  EXPECT_NE(ErrorOf(Nested(50000, "(SELECT ", "1", ")"), TORVParseOptions{poAllowQueries}).find("nesting deeper than"),
            std::string::npos);
}

// A parser that shows its function dispatch table.
class TDispatchParser : public TORVExprParser {
 public:
  bool HasGrammar(TORVTokenOperator Operator) const { return FFunctionsTable[Operator - toABORTED] != nullptr; }
};

// Every function word with an operator reaches its own grammar, so where a
// value is expected it never reads as a user-defined call or a column; the
// three words without an operator stay names.
TEST(ExprGrammar, EveryFunctionWordReachesItsGrammar) {
  TDispatchParser Dispatch;
  const TORVParseOptions All{poAllowAggregates, poAllowExceptionHandling, poAllowQueries, poAllowTableQualifier};
  int32_t Registered = 0;
  for (const TORVKeyword& Keyword : FunctionKeywords) {
    const std::string Word = StringToUtf8(TORVString(Keyword.Word));
    SCOPED_TRACE(Word);
    if (Keyword.Operator == toNONE) {
      EXPECT_EQ(ErrorOf(Word + "(x)"), "(FUNCREF :op UDF :name \"" + Word + "\" (COLUMNREF :name \"x\" nil nil))");
      continue;
    }
    ++Registered;
    EXPECT_TRUE(Dispatch.HasGrammar(Keyword.Operator));
    // Whatever the word makes of "(x)", it is not a call of a function
    // named like it.
    const std::string Result = ErrorOf(Word + "(x)", All);
    EXPECT_EQ(Result.find("UDF"), std::string::npos) << Result;
    EXPECT_FALSE(Result.starts_with("(COLUMNREF")) << Result;
  }
  EXPECT_EQ(Registered, FunctionKeywordCount - 3);
  // A quoted word is a name.
  EXPECT_EQ(ErrorOf("\"MAX\""), "(COLUMNREF :name \"MAX\" nil nil)");
}

// Where standard SQL puts a keyword between two arguments a comma does as
// well, and both give the same tree.
TEST(ExprGrammar, KeywordAndCommaFormsOfAFunctionGiveEqualTrees) {
  const char* const Pairs[][2] = {
      {"SUBSTRING(s FROM 2 FOR 3)", "SUBSTRING(s, 2, 3)"},
      {"SUBSTR(s FROM 2)", "SUBSTRING(s, 2)"},
      {"IF(a > 1 THEN 'y' ELSE 'n')", "IF(a > 1, 'y', 'n')"},
      {"IFNULL(a THEN b ELSE c)", "IFNULL(a, b, c)"},
      {"LEFT(s FOR 2)", "LEFT(s, 2)"},
      {"RIGHT(s FOR 2)", "RIGHT(s, 2)"},
      {"REPEAT(s FOR 2)", "REPEAT(s, 2)"},
      {"CONCAT(s WITH t)", "CONCAT(s, t)"},
      {"REPLACE(s WITH t IN u)", "REPLACE(s, t, u)"},
      {"POS(s IN t)", "POSITION(s, t)"},
      {"OCCURS(s IN t)", "OCCURS(s, t)"},
      {"CAST(s AS INTEGER)", "CAST(s, INT)"},
      {"TRIM(LEADING 'x' FROM s)", "TRIM(LEADING 'x', s)"},
      {"ALLTRIM(s)", "TRIM(BOTH ' ' FROM s)"},
      {"EXTRACT(DAY FROM d)", "EXTRACT(DAY, d)"},
      {"ROUND(x TO 2)", "ROUND(x, 2)"},
      {"TRUNC(x TO 2)", "TRUNCATE(x, 2)"},
      {"POWER(x TO 2)", "POWER(x, 2)"},
      {"QUOTEDSTR(s USING '!')", "QUOTEDSTR(s, '!')"},
      {"CEIL(x) + LN(x)", "CEILING(x) + LOG(x)"},
      {"LCASE(s) || UCASE(s) || CHAR_LENGTH(s)", "LOWER(s) || UPPER(s) || LENGTH(s)"},
  };
  for (const auto& Pair : Pairs) {
    SCOPED_TRACE(Pair[0]);
    TExprFixture Keyword(Pair[0]);
    Keyword.Tree = Keyword.Parser.ParseExpr(TORVParseOptions{});
    TExprFixture Comma(Pair[1]);
    Comma.Tree = Comma.Parser.ParseExpr(TORVParseOptions{});
    EXPECT_TRUE(CompareTokens(Keyword.Tree, Comma.Tree)) << DumpTokens(Keyword.Tree) << "\n" << DumpTokens(Comma.Tree);
  }
}

// Each WHEN of a simple CASE repeats its operand, so nested CASEs multiply:
// the copies one parse may make are bounded, and the parse is refused
// instead of growing without end.
TEST(ExprGrammar, NestedSimpleCaseOperandsCannotGrowWithoutBound) {
  std::string Whens;
  for (int32_t I = 0; I < 10; ++I) Whens += " WHEN " + std::to_string(I) + " THEN " + std::to_string(I);
  std::string Text = "x";
  for (int32_t Depth = 0; Depth < 8; ++Depth) Text = "CASE " + Text + Whens + " END";
  EXPECT_NE(ErrorOf(Text).find("CASE operand repeated beyond " + std::to_string(MaxCaseOperandCopies) +
                               " nodes not allowed"),
            std::string::npos);

  // A few levels stay well inside the bound and keep their copies.
  std::string Small = "x";
  for (int32_t Depth = 0; Depth < 2; ++Depth) Small = "CASE " + Small + Whens + " END";
  TExprFixture F(Small);
  F.Tree = F.Parser.ParseExpr(TORVParseOptions{});
  const TORVExprToken* Conditions = F.Tree->GetArgument(0);
  ASSERT_EQ(Conditions->GetNumArguments(), 11);
  EXPECT_EQ(Conditions->GetArgument(9)->GetLeftToken()->FTokenOperator, toICASE);
}

TEST(ExprGrammar, QualifiedColumnOfARemoteExpressionDropsItsQualifier) {
  struct TRemoteExpr : TORVCompiledExpr {
    bool IsRemoteColumn() override { return true; }
  };
  TRemoteExpr Expr;
  Expr.SetExpression(u"t.a + 1");
  TORVExprParser Parser;
  Parser.Initialize(&Expr);
  TORVExprToken* Tree = Parser.ParseExpr(TORVParseOptions{});
  EXPECT_EQ(DumpTokens(Tree), "(BINARY :op ADD (COLUMNREF :name \"a\" nil nil) (CONST :text \"1\" :type 6))");
  FreeTokens(Tree);
}

TEST(ExprGrammar, DataTypesGiveTheirTypesAndSlots) {
  struct TCase {
    const char* Text;
    bool LengthRequired;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"BOOLEAN", false, "(DATATYPE :text \"BOOLEAN\" :type 4)"},
      {"bool", false, "(DATATYPE :text \"bool\" :type 4)"},
      {"SMALLINT", false, "(DATATYPE :text \"SMALLINT\" :type 5)"},
      {"INT", false, "(DATATYPE :text \"INT\" :type 6)"},
      {"BIGINT", false, "(DATATYPE :text \"BIGINT\" :type 7)"},
      {"DECIMAL", false, "(DATATYPE :text \"DECIMAL\" :type 9 nil nil)"},
      {"NUMERIC(10)", false, "(DATATYPE :text \"NUMERIC\" :type 9 :paren (CONST :text \"10\" :type 6))"},
      {"DECIMAL(10, 2)", false,
       "(DATATYPE :text \"DECIMAL\" :type 9 :paren (CONST :text \"10\" :type 6) (CONST :text \"2\" :type 6))"},
      {"FLOAT", false, "(DATATYPE :text \"FLOAT\" :type 8)"},
      {"FLOAT(5)", false, "(DATATYPE :text \"FLOAT\" :type 8 :paren (CONST :text \"5\" :type 6))"},
      {"DOUBLE PRECISION", false, "(DATATYPE :text \"DOUBLE\" :type 8)"},
      {"DOUBLE", false, "!1:6 Missing PRECISION"},
      {"CHAR", false, "(DATATYPE :text \"CHAR\" :type 1 :subtype 130 (CONST :text \"1\" :type 6) nil)"},
      {"CHARACTER(20) COLLATE DEU_CI", false,
       "(DATATYPE :text \"CHARACTER\" :type 1 :subtype 130 :paren (CONST :text \"20\" :type 6) "
       "(COLLATIONREF :name \"DEU_CI\"))"},
      {"VARCHAR", false, "(DATATYPE :text \"VARCHAR\" :type 1 nil nil)"},
      {"VARCHAR", true, "!1:7 Missing ("},
      {"CHAR VARYING COLLATE ENU", true, "!1:14 Expected ( but instead found COLLATE"},
      {"CHARACTER VARYING(30)", true, "(DATATYPE :text \"CHARACTER\" :type 1 :paren (CONST :text \"30\" :type 6) nil)"},
      {"CHARACTER LARGE OBJECT", false, "(DATATYPE :text \"CHARACTER\" :type 3 :subtype 150 nil nil)"},
      {"CHARACTER LARGE", false, "!1:15 Missing OBJECT"},
      {"CLOB COLLATE ENU", false, "(DATATYPE :text \"CLOB\" :type 3 :subtype 150 nil (COLLATIONREF :name \"ENU\"))"},
      {"GUID", true, "(DATATYPE :text \"GUID\" :type 1 :subtype 140 :len 38 nil nil)"},
      {"BYTE", false, "(DATATYPE :text \"BYTE\" :type 2 :subtype 130 (CONST :text \"1\" :type 6))"},
      {"BYTE VARYING(16)", false, "(DATATYPE :text \"BYTE\" :type 2 :paren (CONST :text \"16\" :type 6))"},
      {"VARBYTE", false, "(DATATYPE :text \"VARBYTE\" :type 2 nil)"},
      {"BINARY LARGE OBJECT", false, "(DATATYPE :text \"BINARY\" :type 3)"},
      {"BINARY OBJECT", false, "!1:8 Expected LARGE but instead found OBJECT"},
      {"BLOB", false, "(DATATYPE :text \"BLOB\" :type 3)"},
      {"DATE", false, "(DATATYPE :text \"DATE\" :type 10)"},
      {"TIME", false, "(DATATYPE :text \"TIME\" :type 11)"},
      {"TIMESTAMP", false, "(DATATYPE :text \"TIMESTAMP\" :type 12)"},
      {"INTERVAL HOUR TO MSECOND", false, "(DATATYPE :text \"INTERVAL\" :type 14 :subtype 120)"},
      {"INTERVAL MONTH", false, "(DATATYPE :text \"INTERVAL\" :type 13 :subtype 2)"},
      {"INTERVAL", false, "!1:8 Missing YEAR, MONTH, DAY, HOUR, MINUTE, SECOND, MSECOND"},
      {"INTERVAL MINUTE TO HOUR", false, "!1:20 Expected SECOND, MSECOND but instead found HOUR"},
      {"WIDGET", false, "!1:1 Expected data type but instead found WIDGET"},
      {"\"INTEGER\"", false, "!1:1 Expected data type but instead found \"INTEGER\""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    std::string Result =
        test::ParseForCorpus(Case.Text, TORVParseOptions{}, [&](TORVExprParser& P, TORVParseOptions O) {
          TORVPartialTree Type(P.GetNewExprToken(ttDATATYPE, toNONE));
          EXPECT_TRUE(P.ParseDataType(Type.Get(), O, Case.LengthRequired, false));
          if (!P.CheckToken(tkEndOfText)) P.ExpectedExpression(u"end of expression");
          return Type.Release();
        });
    EXPECT_EQ(Result, Case.Expected);
  }
}

TEST(ExprGrammar, OptionalDataTypeLeavesAnUnknownWordUnread) {
  TExprFixture F("WIDGET(5)");
  TORVPartialTree Type(F.Parser.GetNewExprToken(ttDATATYPE, toNONE));
  EXPECT_FALSE(F.Parser.ParseDataType(Type.Get(), TORVParseOptions{}, false, true));
  EXPECT_TRUE(F.Parser.CheckSymbol(u"WIDGET"));
  EXPECT_EQ(Type->FDataType, 0);
  EXPECT_EQ(Type->GetNumArguments(), 0);
}

TEST(ExprGrammar, FormattingClausesFillFourSlots) {
  struct TCase {
    const char* Text;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"", "(FUNCREF nil nil nil nil)"},
      {"DATE FORMAT 'yyyy-mm-dd' TIME FORMAT 'hh:mm' AM LITERAL 'a' PM LITERAL 'p' DECIMAL CHAR ',' "
       "BOOLEAN TRUE LITERAL 'Y' FALSE LITERAL 'N'",
       "(FUNCREF (CONST :text \"yyyy-mm-dd\" :type 1 :len 10) "
       "(CONST :text \"hh:mm\" :type 1 :len 5 (CONST :text \"a\" :type 1 :len 1) (CONST :text \"p\" :type 1 :len 1)) "
       "(CONST :text \",\" :type 1 :len 1) "
       "(CLAUSE (CONST :text \"Y\" :type 1 :len 1) (CONST :text \"N\" :type 1 :len 1)))"},
      {"TIME FORMAT 'hh' DECIMAL CHAR '.'",
       "(FUNCREF nil (CONST :text \"hh\" :type 1 :len 2 nil nil) (CONST :text \".\" :type 1 :len 1) nil)"},
      {"DATE 'x'", "!1:6 Expected FORMAT but instead found 'x'"},
      {"TIME FORMAT 'h' AM LITERAL 'a' LITERAL 'p'", "!1:32 Expected PM but instead found LITERAL"},
      {"BOOLEAN FALSE LITERAL 'N'", "!1:9 Expected TRUE but instead found FALSE"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    std::string Result = test::ParseForCorpus(Case.Text, TORVParseOptions{}, [](TORVExprParser& P, TORVParseOptions) {
      TORVPartialTree Node(P.GetNewExprToken(ttFUNCREF, toNONE));
      P.ParseFormatting(Node.Get());
      if (!P.CheckToken(tkEndOfText)) P.ExpectedExpression(u"end of expression");
      return Node.Release();
    });
    EXPECT_EQ(Result, Case.Expected);
  }
}

TEST(ExprGrammar, ProcedureReferencesTakeOptionalArguments) {
  struct TCase {
    const char* Text;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"p", "(PROCREF :name \"p\")"},
      {"p()", "(PROCREF :name \"p\")"},
      {"\"My Proc\"(1, a)", "(PROCREF :name \"My Proc\" (CONST :text \"1\" :type 6) (COLUMNREF :name \"a\" nil nil))"},
      {"p(1", "!1:3 Missing )"},
      {"5", "!1:1 Expected procedure name but instead found 5"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    std::string Result = test::ParseForCorpus(Case.Text, TORVParseOptions{}, [](TORVExprParser& P, TORVParseOptions O) {
      TORVPartialTree Node(P.ParseProcRef(O));
      if (!P.CheckToken(tkEndOfText)) P.ExpectedExpression(u"end of expression");
      return Node.Release();
    });
    EXPECT_EQ(Result, Case.Expected);
  }
}

}  // namespace
}  // namespace orv
