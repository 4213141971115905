#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using namespace orv::test;

// Whole queries over small tables, validated as a view's or a cursor's
// query is: the root of the expression is the query.
class QueryValidationTest : public ::testing::Test {
 protected:
  QueryValidationTest() {
    Catalog.AddDatabase(u"Main");
    Catalog.AddDatabase(u"Other");
    const auto Int = [](const TORVString& Name) { return TORVFakeCatalog::Column(Name, dtInteger); };
    Catalog.AddTable(u"Main", u"t", {Int(u"a"), Int(u"b"), Int(u"x"), Int(u"y")});
    Catalog.AddTable(u"Main", u"t1", {Int(u"a"), Int(u"b")});
    TORVColumnDescriptor Notes = TORVFakeCatalog::Column(u"n", dtLargeObject);
    Notes.SubType = stClob;
    Catalog.AddTable(u"Main", u"t2", {Int(u"a"), Notes});
    Catalog.AddTable(u"Main", u"a", {Int(u"x"), Int(u"y"), Int(u"z")});
    Catalog.AddTable(u"Main", u"b", {Int(u"x"), Int(u"y")});
    Catalog.AddTable(u"Main", u"c", {Int(u"x"), Int(u"k")});
    TORVColumnDescriptor Long = TORVFakeCatalog::Column(u"Long", dtCharacter, 2000);
    Long.SubType = stVarChar;
    Catalog.AddTable(u"Main", u"w", {Long});
    Catalog.AddTable(u"Other", u"u", {Int(u"a"), Int(u"b")});
    Expr.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      TORVParseOptions Options{poAllowQueries,        poAllowTableQualifier, poAllowAllColumns,
                               poAllowAggregates,     poAllowParameters,     poAllowSchemaQualifier,
                               poAllowQueryParameters, poAllowInto};
      return ParseQueryWithOptions(Parser, Self, Options);
    };
    Expr.OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Validate();
    };
    Expr.OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Unlock();
    };
  }

  // "" when Sql validates, else the error as the corpus writes it. Every
  // catalog read begun has been ended once the expression is unlocked, as
  // its owner does when it lets the expression go (and the compile does on
  // failure).
  std::string Compile(const std::string& Sql) {
    Expr.SetExpression(Utf8ToString(Sql));
    Expr.BeginReadCount = 0;
    Expr.EndReadCount = 0;
    try {
      Expr.Compile();
      if (Expr.FTokens != nullptr) Expr.FTokens->CheckInvariants();
      Expr.Unlock();
      EXPECT_EQ(Expr.BeginReadCount, Expr.EndReadCount) << Sql;
      return "";
    } catch (const EORVException& E) {
      EXPECT_FALSE(Expr.GetCompiled());
      EXPECT_EQ(Expr.BeginReadCount, Expr.EndReadCount) << Sql;
      return CorpusErrorText(E, "expression");
    }
  }

  TORVExprToken* Query() const { return Expr.FTokens; }
  TORVExprToken* Select() const { return SlotOf(Expr.FTokens, QuerySelectSlot); }
  TORVExprToken* FromTable(int32_t Index) const { return SlotOf(SlotOf(Expr.FTokens, QueryFromSlot), Index); }
  TORVString Built(TORVExprToken* Token) { return Expr.Build(Token, false, false, false); }
  // The names of the select columns, hidden ones marked with "~".
  std::string ColumnNames(const TORVExprToken* Query) const {
    std::string Result;
    const TORVExprToken* Columns = SlotOf(Query, QuerySelectSlot);
    for (int32_t I = 0; I < Columns->GetNumArguments(); ++I) {
      if (!Result.empty()) Result += ", ";
      if (Columns->GetArgument(I)->FHidden) Result += "~";
      Result += StringToUtf8(Columns->GetArgument(I)->FCorrelationName);
    }
    return Result;
  }

  TORVFakeCatalog Catalog;
  TORVFakeCatalogExpr Expr{&Catalog, u"Main"};
  TORVExprValidater Validater;
};

// Aggregates are typed by the function validators; without them an
// aggregate inside an operator cannot be checked.
TEST_F(QueryValidationTest, RulesOnAggregatesGroupingAndMergingReportTheOffendingNode) {
  struct TCase {
    const char* Sql;
    const char* Error;
  };
  const TCase Cases[] = {
      {"SELECT a, SUM(b) FROM t",
       "!1:8 Invalid expression \"a\" found, GROUP BY clause required for any column references"},
      {"SELECT * FROM t a, t a",
       "!1:20 Invalid expression \"t\" AS \"a\" found, duplicate table or table correlation name found"},
      {"SELECT * FROM t, t", "!1:18 Invalid expression \"t\" found, duplicate table or table correlation name found"},
      {"SELECT a, b FROM t1 UNION SELECT a FROM t2",
       "!1:34 Invalid expression \"a\" found, column counts do not match"},
      {"SELECT a FROM t HAVING a > 1",
       "!1:24 Invalid expression \"a\" > 1 found, GROUP BY clause required for any column references"},
      {"SELECT SUM(b) FROM t ORDER BY 1", "!1:31 Invalid expression 1 found, ORDER BY clause not allowed"},
      // b passes the HAVING rule and becomes a hidden column, which the
      // last aggregate check refuses.
      {"SELECT SUM(a) FROM t HAVING b > 1",
       "!1:29 Invalid expression \"b\" found, GROUP BY clause required for any column references"},
      {"SELECT NULL FROM t",
       "!1:8 Invalid expression NULL found, a constant NULL value is not allowed as a SELECT expression"},
      {"SELECT n FROM t2 UNION SELECT n FROM t2",
       "!1:31 Invalid expression \"n\" found, BLOB expressions not allowed"},
      {"SELECT n FROM t2 UNION ALL SELECT n FROM t2", ""},
      {"SELECT a FROM t1 UNION SELECT a FROM t2 ORDER BY a", ""},
      {"SELECT * FROM a RIGHT OUTER JOIN b ON a.x = b.x INNER JOIN c ON a.x = c.x", ""},
      {"SELECT * FROM a INNER JOIN b ON b.x = c.x, c",
       "!1:33 Invalid expression \"b\".\"x\" = \"c\".\"x\" found, this expression refers to a table or column that is "
       "not in scope yet"},
  };
  for (const TCase& Case : Cases) EXPECT_EQ(Compile(Case.Sql), Case.Error) << Case.Sql;
}

TEST_F(QueryValidationTest, SelectColumnsAreNamedUniquelyAfterTheirExpressions) {
  ASSERT_EQ(Compile("SELECT 1, 1, a, a FROM t"), "");
  EXPECT_EQ(ColumnNames(Query()), "Expression, Expression1, a, a1");
  ASSERT_EQ(Compile("SELECT COUNT(*), MAX(b), SUM(a + 1) FROM t"), "");
  EXPECT_EQ(ColumnNames(Query()), "COUNT of ALL, MAX of b, SUM of Expression");
  ASSERT_EQ(Compile("SELECT a AS x, b AS X FROM t"), "");
  EXPECT_EQ(ColumnNames(Query()), "x, X1");
}

TEST_F(QueryValidationTest, StarsExpandToTheColumnsOfEveryOrOneTable) {
  ASSERT_EQ(Compile("SELECT * FROM a, b"), "");
  EXPECT_EQ(ColumnNames(Query()), "x, y, z, x1, y1");
  ASSERT_EQ(Compile("SELECT b.* FROM a, b"), "");
  EXPECT_EQ(ColumnNames(Query()), "x, y");
  EXPECT_EQ(Compile("SELECT *"), "!1:8 Invalid expression * found, FROM clause required for any column references");
}

TEST_F(QueryValidationTest, AveragesCarryHiddenSumAndCountColumnsAndGroupedItemsBindToColumns) {
  ASSERT_EQ(Compile("SELECT AVG(x) FROM t GROUP BY y"), "");
  EXPECT_EQ(ColumnNames(Query()), "AVG of x, ~y, ~SUM of x, ~COUNT of x");
  const TORVExprToken* Average = SlotOf(Select()->GetArgument(0), ItemExpressionSlot);
  ASSERT_EQ(Average->GetNumArguments(), 3);
  EXPECT_EQ(Average->GetArgument(1)->FTokenType, ttSELECTCOLUMNREF);
  EXPECT_EQ(Average->GetArgument(1)->FSourceToken, Select()->GetArgument(2));
  EXPECT_EQ(Average->GetArgument(2)->FSourceToken, Select()->GetArgument(3));
  const TORVExprToken* Grouped = SlotOf(SlotOf(Query(), QueryGroupBySlot)->GetArgument(0), ItemExpressionSlot);
  EXPECT_EQ(Grouped->FTokenType, ttSELECTCOLUMNREF);
  EXPECT_EQ(Grouped->FSourceToken, Select()->GetArgument(1));
}

// Aggregates inside a larger expression become hidden columns of their own.
TEST_F(QueryValidationTest, AggregatesInsideExpressionsBecomeHiddenColumnsOfTheirOwn) {
  ASSERT_EQ(Compile("SELECT SUM(x) / COUNT(x), y FROM t GROUP BY y"), "");
  EXPECT_EQ(ColumnNames(Query()), "Expression, y, ~SUM of x, ~COUNT of x");
  const TORVExprToken* Ratio = SlotOf(Select()->GetArgument(0), ItemExpressionSlot);
  EXPECT_EQ(Ratio->GetLeftToken()->FSourceToken, Select()->GetArgument(2));
  EXPECT_EQ(Ratio->GetRightToken()->FSourceToken, Select()->GetArgument(3));
  EXPECT_EQ(SlotOf(SlotOf(Query(), QueryGroupBySlot)->GetArgument(0), ItemExpressionSlot)->FSourceToken,
            Select()->GetArgument(1));
}

TEST_F(QueryValidationTest, GroupAndOrderListsAreLimitedTo256Items) {
  auto Grouped = [](int32_t Count) {
    std::string Sql = "SELECT a FROM t GROUP BY a";
    for (int32_t I = 1; I < Count; ++I) Sql += ", a + " + std::to_string(I);
    return Sql;
  };
  EXPECT_EQ(Compile(Grouped(256)), "");
  EXPECT_EQ(Compile(Grouped(257)),
            "!1:26 Invalid expression \"a\" found, the maximum number of GROUP BY columns (256) exceeded");
}

TEST_F(QueryValidationTest, AnInListSubQueryIsOrderedByItsColumnsUnlessItIsOneAggregateRow) {
  ASSERT_EQ(Compile("SELECT a FROM t WHERE a IN (SELECT b FROM t1)"), "");
  const TORVExprToken* Inner = SlotOf(SlotOf(FromTable(0), TableRefConditionsSlot)->GetArgument(0), RightOperandSlot);
  ASSERT_EQ(Inner->FTokenType, ttQUERY);
  const TORVExprToken* OrderBy = SlotOf(Inner, QueryOrderBySlot);
  ASSERT_NE(OrderBy, nullptr);
  ASSERT_EQ(OrderBy->GetNumArguments(), 1);
  EXPECT_EQ(SlotOf(OrderBy->GetArgument(0), ItemExpressionSlot)->FSourceToken,
            SlotOf(Inner, QuerySelectSlot)->GetArgument(0));
  ASSERT_EQ(Compile("SELECT a FROM t WHERE a IN (SELECT MAX(b) FROM t1)"), "");
  Inner = SlotOf(SlotOf(FromTable(0), TableRefConditionsSlot)->GetArgument(0), RightOperandSlot);
  EXPECT_EQ(SlotOf(Inner, QueryOrderBySlot), nullptr);
}

// A merged query's columns widen the first query's: the result holds the
// values of both.
TEST_F(QueryValidationTest, MergedQueriesWidenTheFirstQuerysColumns) {
  ASSERT_EQ(Compile("SELECT a FROM t1 UNION ALL SELECT CAST(a AS BIGINT) FROM t"), "");
  EXPECT_EQ(SlotOf(Select(), FirstItemSlot)->FDataType, dtBigInt);
  // A character column too long for a result row is a CLOB, and so is the
  // short one it is merged with.
  ASSERT_EQ(Compile("SELECT 'ab' FROM t1 UNION ALL SELECT Long FROM w"), "");
  EXPECT_EQ(SlotOf(Select(), FirstItemSlot)->FDataType, dtLargeObject);
  EXPECT_EQ(SlotOf(Select(), FirstItemSlot)->FSubType, stClob);
}

TEST_F(QueryValidationTest, ParametersAreListedInTheOrderOfTheText) {
  // The derived table is validated first, the select list next, WHERE
  // last; the list follows the text.
  ASSERT_EQ(Compile("SELECT (SELECT b FROM t1 WHERE a = ?) FROM (SELECT x FROM t WHERE y = ?) d WHERE d.x = ?"), "");
  EXPECT_EQ(DumpTokens(SlotOf(Query(), QueryParametersSlot)),
            "(CLAUSE (DYNPARAM :op INPUT :name \"Parameter2\" :type 6) (DYNPARAM :op INPUT :name \"Parameter1\" "
            ":type 6) (DYNPARAM :op INPUT :name \"Parameter3\" :type 6))");
}

TEST_F(QueryValidationTest, CorrelatedSubQueriesBindOutwardButDerivedTablesDoNot) {
  // Two levels down, a.z is found in the outermost query: both enclosing
  // sub-queries are correlated, and a condition with a correlated
  // sub-query stays in WHERE.
  ASSERT_EQ(Compile("SELECT * FROM a WHERE a.x IN (SELECT b.x FROM b WHERE b.y IN "
                    "(SELECT c.x FROM c WHERE c.k = a.z))"),
            "");
  const TORVExprToken* In = SlotOf(SlotOf(Query(), QueryWhereSlot), ClauseValueSlot);
  ASSERT_NE(In, nullptr);
  const TORVExprToken* Middle = SlotOf(In, RightOperandSlot);
  ASSERT_EQ(Middle->FTokenType, ttQUERY);
  EXPECT_EQ(Middle->FTokenOperator, toCORRELATED);
  const TORVExprToken* Inner = SlotOf(SlotOf(Middle, QueryWhereSlot), ClauseValueSlot);
  ASSERT_NE(Inner, nullptr);
  ASSERT_EQ(SlotOf(Inner, RightOperandSlot)->FTokenType, ttQUERY);
  EXPECT_EQ(SlotOf(Inner, RightOperandSlot)->FTokenOperator, toCORRELATED);
  // c.k = a.z concerns one table of its own query.
  const TORVExprToken* Innermost = SlotOf(Inner, RightOperandSlot);
  const TORVExprToken* Comparison =
      SlotOf(SlotOf(SlotOf(SlotOf(Innermost, QueryFromSlot), FirstItemSlot), TableRefConditionsSlot), FirstItemSlot);
  ASSERT_NE(Comparison, nullptr);
  EXPECT_EQ(Comparison->GetRightToken()->FSourceToken, FromTable(0));
  EXPECT_EQ(Compile("SELECT * FROM a, (SELECT a.x FROM b) d"),
            "!1:26 Expected column name expression but instead found \"a\".\"x\"");
}

TEST_F(QueryValidationTest, ARightOuterJoinBecomesALeftOuterJoinFromTheOtherTable) {
  ASSERT_EQ(Compile("SELECT * FROM a RIGHT OUTER JOIN b ON a.x = b.x"), "");
  EXPECT_EQ(FromTable(0)->FName, u"b");
  EXPECT_EQ(FromTable(1)->FName, u"a");
  const TORVExprToken* Join = SlotOf(SlotOf(FromTable(0), TableRefJoinsSlot), FirstItemSlot);
  EXPECT_EQ(Join->FTokenOperator, toLEFTOUTERJOIN);
  EXPECT_EQ(Join->FTargetToken, FromTable(1));
  EXPECT_EQ(Built(Join->GetArgument(0)), u"\"b\".\"x\" = \"a\".\"x\"");
}

TEST_F(QueryValidationTest, SingleTableConditionsMoveToTheirTableUnlessAnOuterJoinNeedsThem) {
  ASSERT_EQ(Compile("SELECT * FROM a JOIN b ON a.x = b.x AND b.y = 5"), "");
  const TORVExprToken* Join = SlotOf(SlotOf(FromTable(0), TableRefJoinsSlot), FirstItemSlot);
  EXPECT_EQ(Built(Join->GetArgument(0)), u"\"a\".\"x\" = \"b\".\"x\"");
  EXPECT_EQ(Built(SlotOf(FromTable(1), TableRefConditionsSlot)->GetArgument(0)), u"\"b\".\"y\" = 5");

  ASSERT_EQ(Compile("SELECT * FROM a LEFT OUTER JOIN b ON a.x = b.x AND b.y = 5"), "");
  Join = SlotOf(SlotOf(FromTable(0), TableRefJoinsSlot), FirstItemSlot);
  EXPECT_EQ(Built(Join->GetArgument(0)), u"\"a\".\"x\" = \"b\".\"x\" AND \"b\".\"y\" = 5");
  EXPECT_EQ(SlotOf(FromTable(1), TableRefConditionsSlot)->GetNumArguments(), 0);

  // On the target of an outer join a WHERE condition stays.
  ASSERT_EQ(Compile("SELECT * FROM a LEFT OUTER JOIN b ON a.x = b.x WHERE b.y = 5 AND 5 = a.y"), "");
  EXPECT_EQ(Built(SlotOf(SlotOf(Query(), QueryWhereSlot), ClauseValueSlot)), u"\"b\".\"y\" = 5");
  EXPECT_EQ(Built(SlotOf(FromTable(0), TableRefConditionsSlot)->GetArgument(0)), u"\"a\".\"y\" = 5");
}

TEST_F(QueryValidationTest, JoinsLeftWithoutConditionsBecomeCrossJoinsOrGo) {
  ASSERT_EQ(Compile("SELECT * FROM a JOIN b ON b.y = 5"), "");
  const TORVExprToken* Joins = SlotOf(FromTable(0), TableRefJoinsSlot);
  ASSERT_EQ(Joins->GetNumArguments(), 1);
  EXPECT_EQ(Joins->GetArgument(0)->FTokenOperator, toCROSSJOIN);
  EXPECT_EQ(Joins->GetArgument(0)->GetNumArguments(), 0);
}

TEST_F(QueryValidationTest, JoinsStartAtTheLatestTableTheirConditionNeeds) {
  ASSERT_EQ(Compile("SELECT * FROM a, b INNER JOIN c ON a.x = c.x"), "");
  const TORVExprToken* Joins = SlotOf(FromTable(0), TableRefJoinsSlot);
  ASSERT_EQ(Joins->GetNumArguments(), 2);
  EXPECT_EQ(Joins->GetArgument(0)->FTokenOperator, toINNERJOIN);
  EXPECT_EQ(Joins->GetArgument(0)->FTargetToken->FName, u"c");
  EXPECT_EQ(Joins->GetArgument(1)->FTokenOperator, toCROSSJOIN);
  EXPECT_EQ(SlotOf(FromTable(1), TableRefJoinsSlot)->GetNumArguments(), 0);
}

TEST_F(QueryValidationTest, WhereConditionsSplitAndFoldIntoParenthesisedAndChains) {
  ASSERT_EQ(Compile("SELECT * FROM a, b WHERE a.x = 1 AND a.y = b.y AND (a.z = 2 OR a.y = 3)"), "");
  EXPECT_EQ(Built(SlotOf(SlotOf(Query(), QueryWhereSlot), ClauseValueSlot)), u"\"a\".\"y\" = \"b\".\"y\"");
  EXPECT_EQ(Built(SlotOf(FromTable(0), TableRefConditionsSlot)->GetArgument(0)),
            u"\"a\".\"x\" = 1 AND (\"a\".\"z\" = 2 OR \"a\".\"y\" = 3)");
  ASSERT_EQ(Compile("SELECT * FROM a, b WHERE a.x = 1 OR b.y = 2"), "");
  EXPECT_EQ(Built(SlotOf(SlotOf(Query(), QueryWhereSlot), ClauseValueSlot)), u"\"a\".\"x\" = 1 OR \"b\".\"y\" = 2");
  ASSERT_EQ(Compile("SELECT * FROM a, b WHERE b.x = 1 OR b.y = 2 AND 1 = 1"), "");
  EXPECT_EQ(Built(SlotOf(FromTable(1), TableRefConditionsSlot)->GetArgument(0)),
            u"\"b\".\"x\" = 1 OR \"b\".\"y\" = 2 AND 1 = 1");
}

TEST_F(QueryValidationTest, CatalogReadsOfOtherDatabasesEndWhenTheQueryIsReleased) {
  const char* Cases[] = {
      "SELECT a FROM Other.u",
      "SELECT a FROM t WHERE a IN (SELECT a FROM Other.u)",
      "SELECT (SELECT a FROM Other.u) FROM t",
      "SELECT a FROM t GROUP BY a HAVING a IN (SELECT a FROM Other.u)",
      "SELECT a FROM t UNION SELECT a FROM Other.u",
      // Failing after the reads began.
      "SELECT a FROM t1 WHERE a IN (SELECT a FROM Other.u) UNION SELECT a, b FROM t",
      "SELECT a FROM Other.u HAVING a > 1",
  };
  for (const char* Sql : Cases) {
    Compile(Sql);
    EXPECT_GT(Expr.BeginReadCount, 0) << Sql;
  }
}

TEST_F(QueryValidationTest, MovedAndFoldedConditionsKeepTheirMeaningInBuiltText) {
  // The OR written without parentheses meets the AND of the folded list.
  ASSERT_EQ(Compile("SELECT a.x FROM a JOIN b ON a.x = b.x AND b.x = 2 WHERE b.y = 5 OR b.x = 1"), "");
  EXPECT_EQ(StringToUtf8(Built(Query())),
            "SELECT ALL \"a\".\"x\" AS \"x\" FROM \"a\" INNER JOIN \"b\" ON \"a\".\"x\" = \"b\".\"x\" "
            "WHERE (\"b\".\"y\" = 5 OR \"b\".\"x\" = 1) AND \"b\".\"x\" = 2");
}

TEST_F(QueryValidationTest, CharacterColumnsOfNoLengthGet60AndOverlongOnesBecomeLargeObjects) {
  ASSERT_EQ(Compile("SELECT '', Long FROM w"), "");
  EXPECT_EQ(Select()->GetArgument(0)->FLength, 60);
  EXPECT_EQ(Select()->GetArgument(1)->FDataType, dtLargeObject);
  EXPECT_EQ(Select()->GetArgument(1)->FSubType, stClob);
}

TEST_F(QueryValidationTest, IntoParametersTakeTheTypesOfTheSelectColumns) {
  ASSERT_EQ(Compile("SELECT a, Long INTO ?, ? FROM t, w"), "");
  EXPECT_EQ(DumpTokens(SlotOf(Query(), QueryParametersSlot)),
            "(CLAUSE (DYNPARAM :op OUTPUT :name \"Parameter1\" :type 6) (DYNPARAM :op OUTPUT :name \"Parameter2\" "
            ":type 3 :subtype 150))");
  EXPECT_EQ(Compile("SELECT a, b INTO ? FROM t"),
            "!1:18 Invalid expression ? found, the number of SELECT column must match the number of INTO clause "
            "parameters");
}

}  // namespace
}  // namespace orv
