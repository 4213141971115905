#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
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

// A parser with one function grammar registered, as the built-in function
// grammars register theirs.
class TMaxParser : public TORVExprParser {
 public:
  TMaxParser() { FFunctionsTable[toMAX - toABORTED] = static_cast<TORVParseMethod>(&TMaxParser::ParseMAX); }

 private:
  TORVExprToken* ParseMAX(TORVParseOptions ParseOptions) {
    TORVPartialTree Node(GetNewExprToken(ttFUNCREF, toMAX));
    NextToken();
    ErrorIfNotSkipToken(u'(');
    Node->AddArgument(ParseOr(ParseOptions));
    ErrorIfNotSkipToken(u')');
    return Node.Release();
  }
};

TEST(ExprGrammar, FunctionWordsGoToTheirGrammarAndOtherwiseReadAsNames) {
  struct TCase {
    const char* Text;
    const char* Expected;
  };
  const TCase Cases[] = {
      {"Max(x) + 1", "(BINARY :op ADD (FUNCREF :op MAX (COLUMNREF :name \"x\" nil nil)) (CONST :text \"1\" :type 6))"},
      // A word without a registered grammar is a user-defined function.
      {"min(x)", "(FUNCREF :op UDF :name \"min\" (COLUMNREF :name \"x\" nil nil))"},
      // A word the keyword list maps to no operator is a name.
      {"bitset", "(COLUMNREF :name \"bitset\" nil nil)"},
      {"\"MAX\"", "(COLUMNREF :name \"MAX\" nil nil)"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    TORVCompiledExpr Expr;
    Expr.SetExpression(Utf8ToString(Case.Text));
    TMaxParser Parser;
    Parser.Initialize(&Expr);
    TORVExprToken* Tree = Parser.ParseExpr(TORVParseOptions{});
    EXPECT_EQ(DumpTokens(Tree), Case.Expected);
    FreeTokens(Tree);
  }
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
