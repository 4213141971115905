#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::DumpTokens;
using test::ReadTokens;

std::string Built(const TORVExprToken* Token) { return StringToUtf8(test::BuildForCorpus(Token)); }

// A new tree owned by the caller.
TORVExprToken* ParseText(const TORVString& Text, TORVParseOptions Options) {
  TORVCompiledExpr Expr;
  Expr.SetExpression(Text);
  TORVExprParser Parser;
  Parser.Initialize(&Expr);
  return Parser.ParseExpr(Options);
}

TEST(SqlBuilder, CorpusBuildCasesGiveTheirText) { EXPECT_GT(test::RunSqlCorpusBuild(), 0); }

TEST(SqlBuilder, EveryCorpusTreeRoundTripsThroughItsBuiltText) { EXPECT_GT(test::RoundTripSqlCorpus(), 0); }

// Stored definitions and shown plans are built from validated trees: the
// text must compile again to the same typed tree and build to itself.
TEST(SqlBuilder, EveryValidatedCorpusTreeCompilesAgainFromItsBuiltText) {
  EXPECT_GT(test::CompiledRoundTripSqlCorpus(), 0);
}

// Validation adds what the user did not write (the supporting aggregates of
// AVG, RUNSUM and STDDEV; the order in which an IN list's sub-query is
// searched), and names may hold either quote: the text built from the
// validated tree holds only what the grammar takes, and compiles again.
TEST(SqlBuilder, ValidatedTreesBuildOnlyWhatTheUserWrote) {
  struct TCase {
    const char* Kind;
    std::vector<std::string> Options;
    const char* Sql;
    const char* Built;
  };
  const TCase Cases[] = {
      {"statement", {}, R"(SELECT "a''''b" AS ab, "c""d" AS cd FROM "it''s" WHERE "it''s"."a''''b" > "c""d")",
       R"(SELECT ALL "a''''b" AS "ab", "c""d" AS "cd" FROM "it''s" WHERE "it''s"."a''''b" > "c""d")"},
      {"statement", {}, "SELECT AVG(a), COUNT(*), COUNT(DISTINCT b), STDDEV(x), RUNSUM(a) FROM t",
       R"(SELECT ALL AVG("a") AS "AVG of a", COUNT(*) AS "COUNT of ALL", COUNT(DISTINCT "b") AS "COUNT of b", )"
       R"(STDDEV("x") AS "STDDEV of x", RUNSUM("a") AS "RUNSUM of a" FROM "t")"},
      {"statement", {}, "SELECT LIST(b), LIST(DISTINCT ORDERED b USING ';') FROM t GROUP BY a",
       R"(SELECT ALL LIST("b") AS "LIST of b", LIST(DISTINCT ORDERED "b", ';') AS "LIST of b1" FROM "t" GROUP BY "a")"},
      {"statement", {}, "SELECT a FROM t UNION SELECT a FROM t WHERE a IN (SELECT x FROM t)",
       R"(SELECT ALL "a" AS "a" FROM "t" UNION SELECT ALL "a" AS "a" FROM "t" WHERE "a" IN (SELECT ALL "x" AS "x" FROM "t"))"},
      {"statement", {}, "DELETE FROM t WHERE a NOT IN (SELECT x FROM t WHERE b = 'it''s')",
       R"( DELETE FROM "t" WHERE "a" NOT IN (SELECT ALL "x" AS "x" FROM "t" WHERE "b" = 'it''s'))"},
      {"validate", {"AllowQueries"}, "ID IN (SELECT CustID FROM Orders ORDER BY CustID DESC)",
       R"("ID" IN (SELECT ALL "CustID" AS "CustID" FROM "Orders" ORDER BY "CustID" DESC))"},
      {"validate", {"AllowQueries"}, "ID IN (SELECT CustID FROM Orders)",
       R"("ID" IN (SELECT ALL "CustID" AS "CustID" FROM "Orders"))"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    test::TORVSqlCorpusCase Corpus;
    Corpus.Kind = Case.Kind;
    Corpus.Options = Case.Options;
    const test::TORVCompileFunc Compile = test::CorpusCompileFunc(test::CorpusCompileOfCase(Corpus));
    try {
      test::TORVCompiledText First = Compile(Utf8ToString(Case.Sql));
      EXPECT_EQ(StringToUtf8(First.Built), Case.Built);
      EXPECT_TRUE(test::CompiledRoundTrips(First, Compile));
    } catch (const std::exception& Error) {
      ADD_FAILURE() << Error.what();
    }
  }
}

// Trees that the optimizer or the validater make carry no parentheses:
// the builder adds those the grammar needs, writes names with their quotes
// doubled, and the text parses back to the same tree.
TEST(SqlBuilder, TreesWithoutParenthesesComeBackAsTheSameTree) {
  struct TCase {
    const char* Tree;
    const char* Text;
  };
  const TCase Cases[] = {
      {"(BINARY :op AND :type 4 (BINARY :op OR :type 4 (COLUMNREF :name \"a\" nil nil) (COLUMNREF :name \"b\" nil nil))"
       " (COLUMNREF :name \"c\" nil nil))",
       "(\"a\" OR \"b\") AND \"c\""},
      {"(BINARY :op OR :type 4 (COLUMNREF :name \"a\" nil nil)"
       " (BINARY :op OR :type 4 (COLUMNREF :name \"b\" nil nil) (COLUMNREF :name \"c\" nil nil)))",
       "\"a\" OR (\"b\" OR \"c\")"},
      {"(BINARY :op SUB (COLUMNREF :name \"a\" nil nil) (BINARY :op SUB (COLUMNREF :name \"b\" nil nil) "
       "(COLUMNREF :name \"c\" nil nil)))",
       "\"a\" - (\"b\" - \"c\")"},
      {"(BINARY :op MUL (BINARY :op ADD (COLUMNREF :name \"a\" nil nil) (CONST :text \"1\" :type 6))"
       " (UNARY :op NEGATE (BINARY :op ADD (COLUMNREF :name \"b\" nil nil) (CONST :text \"-2\" :type 6))))",
       "(\"a\" + 1) * - (\"b\" + -2)"},
      {"(UNARY :op NOT :type 4 (BINARY :op AND :type 4 (COLUMNREF :name \"a\" nil nil) (COLUMNREF :name \"b\" nil nil)))",
       "NOT (\"a\" AND \"b\")"},
      {"(BINARY :op EQ :type 4 (BINARY :op LT :type 4 (COLUMNREF :name \"a\" nil nil) (CONST :text \"1\" :type 6))"
       " (CONST :text \"TRUE\" :type 4))",
       "(\"a\" < 1) = TRUE"},
      {"(EXTBINARY :op LIKE :type 4 (BINARY :op ADD (COLUMNREF :name \"a\" nil nil) (COLUMNREF :name \"b\" nil nil))"
       " (BINARY :op ADD :type 1 (CONST :text \"x\" :type 1 :len 1) (CONST :text \"%\" :type 1 :len 1)))",
       "\"a\" + \"b\" LIKE ('x' + '%')"},
      {"(BINARY :op SUBINTERVAL :type 14 :subtype 128 (COLUMNREF :name \"d1\" nil nil) (COLUMNREF :name \"d2\" nil nil))",
       "(\"d1\" - \"d2\") DAY"},
      {"(FUNCREF :op ROUND (COLUMNREF :name \"x\" nil nil) (CONST :text \"-2\" :type 6))", "ROUND(\"x\", (-2))"},
      {"(FUNCREF :op TRIMBOTH :type 1 (BINARY :op ADD :type 1 (CONST :text \"a\" :type 1 :len 1)"
       " (CONST :text \"b\" :type 1 :len 1)) (COLUMNREF :name \"s\" nil nil))",
       "TRIM(BOTH ('a' + 'b'), \"s\")"},
      {"(COLUMNREF :name \"say \\\"hi\\\"\" :source \"my \\\"t\\\"\" nil nil)", "\"my \"\"t\"\"\".\"say \"\"hi\"\"\""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Tree);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(Case.Tree)));
    const std::string Text = Built(Tree.Get());
    EXPECT_EQ(Text, Case.Text);
    TORVPartialTree Again(ParseText(Utf8ToString(Text), TORVParseOptions{poAllowTableQualifier}));
    EXPECT_TRUE(CompareTokens(Tree.Get(), Again.Get())) << DumpTokens(Again.Get());
  }
}

TEST(SqlBuilder, ConstantsAreWrittenInTheirTypesForm) {
  struct TCase {
    const char16_t* Value;
    int32_t DataType;
    int32_t SubType;
    const char* Text;
  };
  const TCase Cases[] = {
      {u"It's", dtCharacter, stVarChar, "'It''s'"},
      {u"a'b", dtLargeObject, stClob, "'a''b'"},
      {u"0A1B", dtBytes, stVarByte, "X'0A1B'"},
      {u"0A", dtLargeObject, stBlob, "X'0A'"},
      {u"2024-01-31", dtDate, 0, "DATE '2024-01-31'"},
      {u"13:45", dtTime, 0, "TIME '13:45'"},
      {u"2024-01-31 13:45", dtTimeStamp, 0, "TIMESTAMP '2024-01-31 13:45'"},
      {u"1-6", dtYearMonthInterval, stYearToMonth, "INTERVAL '1-6' YEAR TO MONTH"},
      {u"1 2", dtDayTimeInterval, stDayToHour, "INTERVAL '1 2' DAY TO HOUR"},
      {u"1", dtDayTimeInterval, 3, "INTERVAL '1'"},
      {u"-12.5", dtFloat, 0, "-12.5"},
      {u"TRUE", dtBoolean, 0, "TRUE"},
      {u"NULL", dtUnknown, 0, "NULL"},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(StringToUtf8(TORVExprBuilder::FormattedConstant(Case.Value, Case.DataType, Case.SubType)), Case.Text);
  }
}

// Names of references are quoted and qualified; variables, parameters and
// cursors are written bare.
TEST(SqlBuilder, NamesAreQuotedAndQualifiedOrWrittenBare) {
  TORVPartialTree Column(ReadTokens(u"(COLUMNREF :name \"c\" :source \"s\" :db \"d\" nil nil)"));
  EXPECT_EQ(Built(Column.Get()), "\"d\".\"s\".\"c\"");
  TORVPartialTree Variable(ReadTokens(u"(VARIABLEREF :name \"v\")"));
  EXPECT_EQ(Built(Variable.Get()), "v");
  // Unless the grammar would read the bare word as something else.
  for (const char16_t* Name : {u"my var", u"Null", u"pi", u"Select", u"1a"}) {
    EXPECT_EQ(BareName(Name), QuotedName(Name));
  }
  TORVPartialTree Table(ReadTokens(u"(TABLEREF :name \"t\" :alias \"x\" nil (CLAUSE) (CLAUSE))"));
  EXPECT_EQ(Built(Table.Get()), "\"t\" AS \"x\"");
}

// The catalog's build text starts from an empty builder and leaves it
// empty; a parameter without a bound value is a question mark.
TEST(SqlBuilder, CatalogBuildTextStartsAndEndsWithAnEmptyBuilder) {
  TORVPartialTree Param(ReadTokens(u"(DYNPARAMREF :type 6)"));
  TORVExprBuilder Builder;
  Builder.BuildExpr(Param.Get());
  Builder.SetIncludeLineBreaks(true);
  EXPECT_EQ(BuildExprText(Builder, Param.Get(), false, false, true), u"?");
  EXPECT_TRUE(Builder.GetExpressionLiteral().empty());
  EXPECT_FALSE(Builder.GetIncludeLineBreaks());
  EXPECT_EQ(Builder.GetIndentationLevel(), -1);
  EXPECT_TRUE(Builder.GetIncludeParameterValues());
}

TEST(SqlBuilder, QueryClausesStartOnNewLinesWhenAskedTo) {
  TORVPartialTree Query(ParseText(u"SELECT a, b AS x FROM t WHERE a = 1", TORVParseOptions{poAllowQueries}));
  TORVExprBuilder Builder;
  Builder.SetIncludeLineBreaks(true);
  Builder.SetIndentationLevel(0);
  Builder.BuildQuery(Query.Get(), false);
  EXPECT_EQ(StringToUtf8(Builder.GetExpressionLiteral()),
            "SELECT ALL\r\n   \"a\",\r\n   \"b\" AS \"x\"\r\n   FROM \"t\"\r\n   WHERE \"a\" = 1");
  // Text accumulates until cleared.
  Builder.BuildExpr(Query->GetArgument(QuerySelectSlot)->GetArgument(0)->GetArgument(0));
  EXPECT_TRUE(StringToUtf8(Builder.GetExpressionLiteral()).ends_with("= 1\"a\""));
  Builder.ClearExpr();
  EXPECT_TRUE(Builder.GetExpressionLiteral().empty());
}

// Hidden select columns are left out; the conditions pushed down to FROM
// tables join those of the WHERE clause in one WHERE.
TEST(SqlBuilder, HiddenColumnsAreLeftOutAndPushedConditionsJoinTheWhere) {
  TORVPartialTree Query(ParseText(u"SELECT a, b FROM t, u WHERE c = 3", TORVParseOptions{poAllowQueries}));
  Query->GetArgument(QuerySelectSlot)->GetArgument(1)->FHidden = true;
  TORVExprToken* From = Query->GetArgument(QueryFromSlot);
  TORVExprToken* TConditions = From->GetArgument(0)->GetArgument(TableRefConditionsSlot);
  TConditions->AddArgument(
      ReadTokens(u"(BINARY :op EQ :type 4 (COLUMNREF :name \"a\" nil nil) (CONST :text \"1\" :type 6))"));
  TORVExprToken* UConditions = From->GetArgument(1)->GetArgument(TableRefConditionsSlot);
  UConditions->AddArgument(
      ReadTokens(u"(BINARY :op OR :type 4 (COLUMNREF :name \"b\" nil nil) (COLUMNREF :name \"d\" nil nil))"));
  EXPECT_EQ(Built(Query.Get()),
            "SELECT ALL \"a\" FROM \"t\", \"u\" WHERE \"a\" = 1 AND (\"b\" OR \"d\") AND \"c\" = 3");
}

// A definition's text is asked for by name: the statement text of a
// CREATE TABLE tree is empty.
TEST(SqlBuilder, StatementsOtherThanQueriesWriteNothing) {
  TORVPartialTree Create(ReadTokens(u"(DYNSTATEMENT :op CREATE :id 10 (TABLE :name \"t\"))"));
  TORVExprBuilder Builder;
  EXPECT_EQ(BuildExprText(Builder, Create.Get(), false, false, false), u"");
  Builder.BuildDefinition(Create.Get());
  EXPECT_EQ(Builder.GetExpressionLiteral(), u"CREATE TABLE \"t\" ()");
  TORVPartialTree Expression(ReadTokens(u"(CONST :text \"1\" :type 6)"));
  EXPECT_EQ(Built(Expression.Get()), "1");
}

// A long chain of operators is written without deep recursion.
TEST(SqlBuilder, LongOperatorChainIsWrittenWhole) {
  std::string Text = "a0";
  for (int32_t I = 1; I < 20000; ++I) Text += " OR a" + std::to_string(I);
  TORVPartialTree Tree(ParseText(Utf8ToString(Text), TORVParseOptions{}));
  std::string Expected = "\"a0\"";
  for (int32_t I = 1; I < 20000; ++I) Expected += " OR \"a" + std::to_string(I) + "\"";
  EXPECT_EQ(Built(Tree.Get()), Expected);
}

}  // namespace
}  // namespace orv
