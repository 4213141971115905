#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenslots.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

const TORVParseOptions QueryOptions{poAllowQueries, poAllowTableQualifier};

using test::ParseWholeQuery;

std::string ErrorOf(const std::string& Text, TORVParseOptions Options = QueryOptions) {
  return test::ParseForCorpus(Text, Options, ParseWholeQuery);
}

struct TQueryFixture {
  explicit TQueryFixture(const std::string& Text, TORVParseOptions Options = QueryOptions) {
    Expr.SetExpression(Utf8ToString(Text));
    Parser.Initialize(&Expr);
    Tree = ParseWholeQuery(Parser, Options);
  }
  ~TQueryFixture() { FreeTokens(Tree); }
  TORVCompiledExpr Expr;
  TORVExprParser Parser;
  TORVExprToken* Tree = nullptr;
};

TEST(QueryGrammar, CorpusQueriesGiveTheirTreesOrErrors) {
  int32_t Cases = test::RunSqlCorpus("query", QueryOptions, ParseWholeQuery);
  EXPECT_GT(Cases, 0);
}

// The join nodes point at the tables they join; the FROM clause lists the
// tables in the order written.
TEST(QueryGrammar, JoinsTargetTheirTablesAndCommasCrossJoinGroups) {
  TQueryFixture F("SELECT * FROM a JOIN b ON TRUE, c LEFT JOIN d ON TRUE, e");
  const TORVExprToken* From = F.Tree->GetArgument(QueryFromSlot);
  ASSERT_EQ(From->GetNumArguments(), 5);
  const TORVExprToken* A = From->GetArgument(0);
  const TORVExprToken* B = From->GetArgument(1);
  const TORVExprToken* C = From->GetArgument(2);
  const TORVExprToken* D = From->GetArgument(3);
  const TORVExprToken* E = From->GetArgument(4);
  EXPECT_EQ(A->FName, u"a");
  EXPECT_EQ(E->FName, u"e");
  const TORVExprToken* AJoins = A->GetArgument(TableRefJoinsSlot);
  ASSERT_EQ(AJoins->GetNumArguments(), 2);
  EXPECT_EQ(AJoins->GetArgument(0)->FTokenOperator, toINNERJOIN);
  EXPECT_EQ(AJoins->GetArgument(0)->FTargetToken, B);
  EXPECT_EQ(AJoins->GetArgument(1)->FTokenOperator, toCROSSJOIN);
  EXPECT_EQ(AJoins->GetArgument(1)->FTargetToken, C);
  EXPECT_EQ(B->GetArgument(TableRefJoinsSlot)->GetNumArguments(), 0);
  const TORVExprToken* CJoins = C->GetArgument(TableRefJoinsSlot);
  ASSERT_EQ(CJoins->GetNumArguments(), 2);
  EXPECT_EQ(CJoins->GetArgument(0)->FTokenOperator, toLEFTOUTERJOIN);
  EXPECT_EQ(CJoins->GetArgument(0)->FTargetToken, D);
  EXPECT_EQ(CJoins->GetArgument(1)->FTokenOperator, toCROSSJOIN);
  EXPECT_EQ(CJoins->GetArgument(1)->FTargetToken, E);
  EXPECT_EQ(D->GetArgument(TableRefJoinsSlot)->GetNumArguments(), 0);
  // Every node of the FROM clause knows its parent.
  EXPECT_EQ(A->FUpperToken, From);
  EXPECT_EQ(AJoins->GetArgument(0)->FUpperToken, AJoins);
  EXPECT_EQ(From->FUpperToken, F.Tree);
}

TEST(QueryGrammar, NodesCarryThePositionsOfTheirFirstTokens) {
  TQueryFixture F("SELECT a,\n  (SELECT b FROM u) FROM t x\n  JOIN v ON TRUE");
  // A query node is made once its SELECT has been read: it stands at the
  // first select item.
  EXPECT_EQ(F.Tree->FLine, 1);
  EXPECT_EQ(F.Tree->FCol, 8);
  const TORVExprToken* Select = F.Tree->GetArgument(QuerySelectSlot);
  const TORVExprToken* Second = Select->GetArgument(1);
  EXPECT_EQ(Second->FLine, 2);
  EXPECT_EQ(Second->FCol, 3);
  EXPECT_EQ(Second->FTokenConstant, u"(SELECT b FROM u) ");
  const TORVExprToken* SubQuery = Second->GetArgument(0);
  EXPECT_EQ(SubQuery->FTokenType, ttQUERY);
  EXPECT_EQ(SubQuery->FCol, 11);
  EXPECT_TRUE(SubQuery->FParentheses);
  const TORVExprToken* Table = F.Tree->GetArgument(QueryFromSlot)->GetArgument(0);
  EXPECT_EQ(Table->FCol, 26);
  const TORVExprToken* Join = Table->GetArgument(TableRefJoinsSlot)->GetArgument(0);
  EXPECT_EQ(Join->FLine, 3);
  EXPECT_EQ(Join->FCol, 3);

  TQueryFixture Short("TABLE\n  t");
  EXPECT_EQ(Short.Tree->FLine, 2);
  EXPECT_EQ(Short.Tree->FCol, 3);
}

// A select item's text runs up to the next token, so blanks and comments
// before it belong to the item.
TEST(QueryGrammar, SelectItemTextKeepsCommentsBeforeTheNextToken) {
  TQueryFixture F("SELECT a /* first */ , b -- second\nFROM t");
  const TORVExprToken* Select = F.Tree->GetArgument(QuerySelectSlot);
  EXPECT_EQ(Select->GetArgument(0)->FTokenConstant, u"a /* first */ ");
  EXPECT_EQ(Select->GetArgument(1)->FTokenConstant, u"b -- second\n");
}

TEST(QueryGrammar, DeepQueriesStopAtTheNestingLimit) {
  std::string Derived;
  for (int32_t I = 0; I < 5000; ++I) Derived += "SELECT * FROM (";
  Derived += "SELECT 1";
  for (int32_t I = 0; I < 5000; ++I) Derived += ") x";
  EXPECT_NE(ErrorOf(Derived).find("nesting deeper than"), std::string::npos);

  // A merge chain recurses once per merged query: a few hundred are fine.
  std::string Chain = "SELECT 0 FROM t";
  for (int32_t I = 1; I < 300; ++I) Chain += " UNION SELECT " + std::to_string(I) + " FROM t";
  TQueryFixture F(Chain);
  int32_t Merged = 0;
  for (const TORVExprToken* Q = F.Tree->GetArgument(QueryMergedQuerySlot); Q != nullptr;
       Q = Q->GetArgument(QueryMergedQuerySlot)) ++Merged;
  EXPECT_EQ(Merged, 299);

  std::string Long = "SELECT 0";
  for (int32_t I = 1; I < 20000; ++I) Long += " UNION SELECT 1";
  EXPECT_NE(ErrorOf(Long).find("nesting deeper than"), std::string::npos);
}

}  // namespace
}  // namespace orv
