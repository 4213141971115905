#include <gtest/gtest.h>

#include <string>

#include "base/orvutf8.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "core/orvliteral.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"

namespace orv {
namespace {

using namespace orv::test;

// A filter over 100 rows of 100 bytes whose index threshold is twice the
// table: the optimizer's numbers are then easy to follow.
class OptimizerTest : public ::testing::Test {
 protected:
  OptimizerTest() {
    Catalog.AddDatabase(u"Main");
    Filter.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, TORVParseOptions{poAllowContains});
    };
    Filter.RowSize = 100;
    Filter.RowCount = 100;
    Filter.FCostOptimization = true;
  }

  void Optimize(const std::string& Sql) {
    Filter.SetExpression(Utf8ToString(Sql));
    Filter.Compile();
    Filter.Normalize(false, false);
    Filter.Optimize();
  }
  std::string Text() { return StringToUtf8(Filter.Build(nullptr, false, false, false)); }
  // Level, count, cost and access path of a node.
  static std::string Annotation(const TORVExprToken* Token) {
    return std::to_string(Token->FOptimizeType) + " " + std::to_string(Token->FOptimizeCount) + " " +
           std::to_string(Token->FOptimizeCost) + " " + StringToUtf8(Token->FOptimizeName);
  }
  TORVExprToken* Root() { return Filter.FTokens; }

  TORVFakeCatalog Catalog;
  TORVFakeFilterExpr Filter{&Catalog, u"Main", u"Customer"};
};

TEST_F(OptimizerTest, AnIndexThatWouldVisitTooManyRowsBecomesAScan) {
  Filter.Indexes.push_back({u"A", u"IdxA", 3, 201, 201});
  Optimize("A = 1");
  EXPECT_EQ(Annotation(Root()), "0 100 10000 Customer");
  EXPECT_EQ(Root()->FLastOptimizeType, 2);
  EXPECT_EQ(Root()->FOptimizeNumber, -1);

  Filter.Indexes[0].Count = 200;
  Optimize("A = 1");
  EXPECT_EQ(Annotation(Root()), "2 200 201 Customer.IdxA");
  EXPECT_EQ(Root()->FOptimizeNumber, 3);
}

TEST_F(OptimizerTest, TheDearerSideOfAnAndScansTheRowsOfTheCheaperOne) {
  Filter.Indexes.push_back({u"A", u"IdxA", 1, 10, 50});
  Filter.Indexes.push_back({u"B", u"IdxB", 2, 100, 5000});
  for (const char* Sql : {"A = 1 AND B = 2", "B = 2 AND A = 1", "2 = B AND NOT A <> 1"}) {
    Optimize(Sql);
    EXPECT_EQ(Text(), "\"A\" = 1 AND \"B\" = 2") << Sql;
    EXPECT_EQ(Annotation(Root()), "1 10 1050 ") << Sql;
    EXPECT_EQ(Annotation(Root()->GetLeftToken()), "2 10 50 Customer.IdxA") << Sql;
    EXPECT_EQ(Annotation(Root()->GetRightToken()), "0 10 1000 Customer") << Sql;
    EXPECT_EQ(Root()->GetRightToken()->FLastOptimizeType, 2) << Sql;
  }

  // A scan of the cheaper side's rows that costs more keeps both indexes.
  Filter.Indexes[1].Cost = 900;
  Optimize("B = 2 AND A = 1");
  EXPECT_EQ(Text(), "\"A\" = 1 AND \"B\" = 2");
  EXPECT_EQ(Annotation(Root()), "2 110 950 ");
  EXPECT_EQ(Annotation(Root()->GetRightToken()), "2 100 900 Customer.IdxB");
}

TEST_F(OptimizerTest, TheCheapestConditionOfAnAndChainMovesToTheFront) {
  Filter.Indexes.push_back({u"C", u"IdxC", 1, 5, 5});
  Optimize("A = 1 AND (B = 2 AND C = 3)");
  EXPECT_EQ(Text(), "\"C\" = 3 AND (\"A\" = 1 AND \"B\" = 2)");
  EXPECT_EQ(Root()->GetLeftToken()->FOptimizeName, u"Customer.IdxC");
}

TEST_F(OptimizerTest, WithoutCostsOnlyLevelsCount) {
  Filter.FCostOptimization = false;
  Filter.Indexes.push_back({u"A", u"IdxA", 1});
  Optimize("B = 2 AND A = 1");
  EXPECT_EQ(Text(), "\"A\" = 1 AND \"B\" = 2");
  EXPECT_EQ(Annotation(Root()), "1 0 0 ");
  EXPECT_EQ(Annotation(Root()->GetLeftToken()), "2 0 0 Customer.IdxA");
  EXPECT_EQ(Annotation(Root()->GetRightToken()), "0 0 0 Customer");

  Optimize("A = 1 AND A = 2");
  EXPECT_EQ(Annotation(Root()), "2 0 0 Customer.IdxA");
}

TEST_F(OptimizerTest, AnOrIsIndexServedOnlyWhenBothSidesAreOrASideIsATextSearch) {
  Filter.Indexes.push_back({u"A", u"IdxA", 1});
  Filter.Indexes.push_back({u"Note", u"Words", 2});
  Optimize("A = 1 OR B = 2");
  EXPECT_EQ(Root()->FOptimizeType, 0);
  EXPECT_EQ(Root()->FOptimizeName, u"");
  Optimize("Note CONTAINS 'x' OR B = 2");
  EXPECT_EQ(Root()->FOptimizeType, 1);
  Optimize("A = 1 OR A = 2");
  EXPECT_EQ(Annotation(Root()), "2 20 20 Customer.IdxA");
  // A text search keeps its index however many rows it finds.
  Filter.Indexes[1].Count = 1000;
  Optimize("Note CONTAINS 'x'");
  EXPECT_EQ(Root()->FOptimizeType, 2);
}

TEST_F(OptimizerTest, HintsOfScannedConditionsAreMerged) {
  Optimize("B = 2 AND C = 3");
  EXPECT_EQ(Root()->FOptimizeType, 0);
  EXPECT_EQ(Root()->FOptimizeName, u"Customer");
  // Equal costs and levels put the second first.
  EXPECT_EQ(Root()->FOptimizeHintName, u"C,B");
  Optimize("B = 2 AND B = 3");
  EXPECT_EQ(Root()->FOptimizeHintName, u"B");
}

TEST_F(OptimizerTest, CompareCostsPicksByLevelOnEqualCostsAndTheSecondOnATie) {
  TORVExprToken A;
  TORVExprToken B;
  A.FOptimizeCost = B.FOptimizeCost = 7;
  A.FOptimizeType = 2;
  EXPECT_EQ(Filter.CompareCosts(&A, &B), &A);
  B.FOptimizeType = 2;
  EXPECT_EQ(Filter.CompareCosts(&A, &B), &B);
  A.FOptimizeCost = 6;
  EXPECT_EQ(Filter.CompareCosts(&A, &B), &A);
  Filter.FCostOptimization = false;
  EXPECT_EQ(Filter.CompareCosts(&A, &B), &B);
}

TEST_F(OptimizerTest, AConstantConditionIsLeftToTheFilter) {
  Optimize("1 = 1");
  EXPECT_EQ(Annotation(Root()), "0 100 10000 Customer");
  EXPECT_EQ(Root()->FOptimizeHintName, u"");
}

// "index:COLUMN:NAME:COUNT:COST" as a fake index.
bool ReadIndexOption(const std::string& Option, TORVFakeFilterExpr::TIndex& Index) {
  std::vector<std::string> Parts;
  std::size_t Start = 0;
  for (std::size_t Colon = Option.find(':'); Colon != std::string::npos; Colon = Option.find(':', Start)) {
    Parts.push_back(Option.substr(Start, Colon - Start));
    Start = Colon + 1;
  }
  Parts.push_back(Option.substr(Start));
  if (Parts.size() != 5 || Parts[0] != "index") return false;
  Index.Column = Utf8ToString(Parts[1]);
  Index.Name = Utf8ToString(Parts[2]);
  Index.Count = StringToInt(Utf8ToString(Parts[3]));
  Index.Cost = StringToLargeInt(Utf8ToString(Parts[4]));
  return true;
}

TEST(OptimizerCorpus, OptimizedConditionsGiveTheirPlans) {
  int32_t Count = 0;
  for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
    if (Case.Kind != "optimize") continue;
    ++Count;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    TORVFakeCatalog Catalog;
    Catalog.AddDatabase(u"Main");
    TORVFakeFilterExpr Filter(&Catalog, u"Main", u"Customer");
    Filter.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, TORVParseOptions{poAllowContains});
    };
    Filter.RowSize = 100;
    Filter.RowCount = 100;
    for (const std::string& Option : Case.Options) {
      TORVFakeFilterExpr::TIndex Index;
      if (Option == "costs") {
        Filter.FCostOptimization = true;
      } else if (ReadIndexOption(Option, Index)) {
        Filter.Indexes.push_back(Index);
      } else {
        ADD_FAILURE() << "unknown option " << Option;
      }
    }
    Filter.SetExpression(Utf8ToString(Case.Sql));
    Filter.Compile();
    Filter.Normalize(false, false);
    Filter.Optimize();
    std::string Plan = StringToUtf8(Filter.GetPlan());
    for (std::size_t At = Plan.find('\r'); At != std::string::npos; At = Plan.find('\r', At)) Plan.erase(At, 1);
    EXPECT_EQ(Plan, Case.ExpectedText);
  }
  EXPECT_GT(Count, 0);
}

}  // namespace
}  // namespace orv
