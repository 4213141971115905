#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvtypefunc.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "tests/catalog/orvcatalogroot.h"

namespace orv {
namespace {

// The database Main holds t (a INTEGER, b VARCHAR(10), c INTEGER) with the
// indexes ix_b (b), pk (a, the primary key), ix_a_desc (a descending) and
// tx_b (a text index on b), and u (x INTEGER) without indexes; the
// database Other holds a u of its own. SELECTs compile through the real
// compiler.
class CatalogResultTest : public ::testing::Test, protected test::TCompilingCatalogs {
 protected:
  CatalogResultTest() {
    Table = test::NewTableT(*Catalog);
    AddTestColumn(Table->GetColumns(), u"c", dtInteger);
    test::AddTestIndex(Table, u"ix_b", itIndex, {u"b"});
    test::AddTestIndex(Table, u"pk", itPrimaryKey, {u"a"});
    test::AddTestIndex(Table, u"ix_a_desc", itIndex, {u"a"}, {true});
    test::AddTestIndex(Table, u"tx_b", itTextIndex, {u"b"});
    U = test::NewTable(*Catalog, u"u");
    AddTestColumn(U->GetColumns(), u"x", dtInteger);
    OtherU = test::NewTable(*Other, u"u");
    AddTestColumn(OtherU->GetColumns(), u"x", dtInteger);
  }

  // The compiled query of Text; the statement lives as long as the test.
  TORVExprToken* Compile(const TORVString& Text) {
    Statements.push_back(std::make_unique<TORVCatalogStatement>(Table));
    TORVCatalogStatement& Statement = *Statements.back();
    Statement.SetCatalog(Catalog);
    Statement.SetExpression(Text);
    Statement.Compile();
    return Statement.FTokens;
  }

  TORVBaseTable* Table = nullptr;
  TORVBaseTable* U = nullptr;
  TORVBaseTable* OtherU = nullptr;
  std::vector<std::unique_ptr<TORVCatalogStatement>> Statements;
};

// Result columns for the select list of Query: "__RowID", then one column
// per item typed like it.
std::unique_ptr<TORVColumns> ResultColumns(TORVExprToken* Query) {
  auto Columns = std::make_unique<TORVColumns>();
  AddTestColumn(*Columns, u"__RowID", dtInteger)->SetHidden(true);
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  for (int32_t I = 0; I < Select->GetNumArguments(); ++I) {
    const TORVExprToken* Item = Select->GetArgument(I);
    AddTestColumn(*Columns, Item->FCorrelationName, Item->FDataType, Item->FSubType, Item->FLength);
  }
  return Columns;
}

// Each key column of Index as its source column's name, "desc" after a
// descending one.
std::string KeysOf(TORVIndex& Index) {
  std::string Result;
  TORVIndexColumns& Keys = *Index.GetIndexColumns();
  for (int32_t I = 0; I < Keys.GetCount(); ++I) {
    if (!Result.empty()) Result += ",";
    for (char16_t C : Keys.GetIndexColumn(I)->GetSourceColumn()->GetName()) Result += static_cast<char>(C);
    if (Keys.GetIndexColumn(I)->GetDescending()) Result += " desc";
  }
  return Result;
}

// The first query below Token (Token itself left out), in operand order.
TORVExprToken* FirstSubQuery(TORVExprToken* Token) {
  std::vector<TORVExprToken*> Stack;
  auto PushChildren = [&Stack](TORVExprToken* T) {
    for (int32_t I = T->GetNumArguments() - 1; I >= 0; --I)
      if (T->GetArgument(I) != nullptr) Stack.push_back(T->GetArgument(I));
    if (T->GetRightToken() != nullptr) Stack.push_back(T->GetRightToken());
    if (T->GetLeftToken() != nullptr) Stack.push_back(T->GetLeftToken());
  };
  PushChildren(Token);
  while (!Stack.empty()) {
    TORVExprToken* T = Stack.back();
    Stack.pop_back();
    if (T->FTokenType == ttQUERY) return T;
    PushChildren(T);
  }
  return nullptr;
}

TEST_F(CatalogResultTest, LiveSourceIsTheFirstFromTableOfItsDatabase) {
  EXPECT_EQ(Catalog->GetLiveSourceTable(Compile(u"SELECT a FROM t"), true), Table);
  EXPECT_EQ(Catalog->GetLiveSourceTable(Compile(u"SELECT x FROM u, t"), false), U);
  EXPECT_EQ(Catalog->GetLiveSourceTable(Compile(u"SELECT x FROM Other.u"), true), OtherU);
  EXPECT_EQ(Catalog->GetLiveSourceTable(Compile(u"SELECT 1"), true), nullptr);
}

TEST_F(CatalogResultTest, LiveResultNeedsOneTableAndAnIndexForItsOrder) {
  struct TCase {
    const char16_t* Text;
    bool Live;
    int32_t LiveIndex;
  };
  const TCase Cases[] = {
      // Unordered: the primary key, else the first index.
      {u"SELECT a, b FROM t", true, 1},
      {u"SELECT x FROM u", true, 0},
      {u"SELECT a + c, b FROM t WHERE c > 1", true, 1},
      // Ordered: the first index that is not a text index and matches.
      {u"SELECT a FROM t ORDER BY b", true, 0},
      {u"SELECT a FROM t ORDER BY a", true, 1},
      {u"SELECT a FROM t ORDER BY a ASC", true, 1},
      {u"SELECT a FROM t ORDER BY a DESC", true, 2},
      {u"SELECT a, b FROM t ORDER BY a, b", false, -1},
      {u"SELECT c FROM t ORDER BY c", false, -1},
      {u"SELECT b FROM t ORDER BY b COLLATE \"ENU\"", false, -1},
      {u"SELECT a + 1 AS n FROM t ORDER BY n", false, -1},
      // DISTINCT only through a primary key on exactly the selected columns.
      {u"SELECT DISTINCT a FROM t", true, 1},
      {u"SELECT DISTINCT a FROM t ORDER BY a DESC", true, 2},
      {u"SELECT DISTINCT b FROM t", false, -1},
      {u"SELECT DISTINCT a, b FROM t", false, -1},
      // Grouping, aggregates, joins, set operations and correlation.
      {u"SELECT a FROM t GROUP BY a", false, -1},
      {u"SELECT COUNT(*) FROM t", false, -1},
      {u"SELECT a FROM t, u", false, -1},
      {u"SELECT a FROM t UNION SELECT x FROM u", false, -1},
      {u"SELECT a FROM t WHERE EXISTS (SELECT x FROM u WHERE u.x = t.a)", false, -1},
      {u"SELECT a FROM t WHERE a IN (SELECT x FROM u)", true, 1},
      {u"SELECT 1", false, -1},
  };
  for (const TCase& Case : Cases) {
    int32_t LiveIndex = 99;
    EXPECT_EQ(Catalog->ReturnsLiveResult(Compile(Case.Text), LiveIndex), Case.Live) << "case " << (&Case - Cases);
    if (Case.Live) {
      EXPECT_EQ(LiveIndex, Case.LiveIndex) << "case " << (&Case - Cases);
    }
  }
}

TEST_F(CatalogResultTest, SubQueryOfAnInListIsLiveOnlyOnAPlainColumn) {
  // The list is searched in the order of its column, so x needs an index.
  int32_t LiveIndex = -1;
  EXPECT_FALSE(Catalog->ReturnsLiveResult(FirstSubQuery(Compile(u"SELECT a FROM t WHERE a IN (SELECT x FROM u)")),
                                          LiveIndex));
  test::AddTestIndex(U, u"ix_x", itIndex, {u"x"});
  TORVExprToken* Plain = FirstSubQuery(Compile(u"SELECT a FROM t WHERE a IN (SELECT x FROM u)"));
  ASSERT_NE(Plain, nullptr);
  EXPECT_TRUE(Catalog->ReturnsLiveResult(Plain, LiveIndex));
  EXPECT_EQ(LiveIndex, 0);
  TORVExprToken* Computed = FirstSubQuery(Compile(u"SELECT a FROM t WHERE a NOT IN (SELECT x + 1 FROM u)"));
  ASSERT_NE(Computed, nullptr);
  EXPECT_FALSE(Catalog->ReturnsLiveResult(Computed, LiveIndex));
  // A correlated column of the outer table keeps the sub-query static.
  TORVExprToken* Correlated = FirstSubQuery(Compile(u"SELECT a FROM t WHERE EXISTS (SELECT t.a FROM u)"));
  ASSERT_NE(Correlated, nullptr);
  EXPECT_FALSE(Catalog->ReturnsLiveResult(Correlated, LiveIndex));
}

TEST_F(CatalogResultTest, IndexMatchesALeadingRunOfItsColumns) {
  TORVIndex* Pair = test::AddTestIndex(Table, u"ix_b_a", itIndex, {u"b", u"a"}, {false, true});
  TORVExprToken* Query = Compile(u"SELECT b, a FROM t ORDER BY b, a DESC");
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  TORVExprToken* OrderBy = SlotOf(Query, QueryOrderBySlot);
  EXPECT_TRUE(Catalog->IndexColumnsMatch(Query, &Table->GetColumns(), OrderBy, Pair));
  // The select list has no directions, so the descending a does not match.
  EXPECT_FALSE(Catalog->IndexColumnsMatch(Query, &Table->GetColumns(), Select, Pair));
  TORVExprToken* Shorter = Compile(u"SELECT b FROM t ORDER BY b");
  EXPECT_TRUE(Catalog->IndexColumnsMatch(Shorter, &Table->GetColumns(), SlotOf(Shorter, QueryOrderBySlot), Pair));
  int32_t LiveIndex = -1;
  EXPECT_TRUE(Catalog->ReturnsLiveResult(Query, LiveIndex));
  EXPECT_EQ(LiveIndex, 4);
}

TEST_F(CatalogResultTest, ResultIndexKeysFollowTheSortItemsUpToTheLimit) {
  TORVExprToken* Query = Compile(u"SELECT b, a FROM t ORDER BY a DESC, b COLLATE \"ENU_CI\"");
  auto Columns = ResultColumns(Query);
  TORVExprToken* OrderBy = SlotOf(Query, QueryOrderBySlot);
  TORVIndex Index;
  Catalog->BuildResultIndex(Columns.get(), &Index, OrderBy, 256);
  EXPECT_EQ(KeysOf(Index), "a desc,b");
  EXPECT_EQ(Index.GetIndexColumns()->GetIndexColumn(1)->GetCollation(), 1033 | CollationCaseInsensitiveFlag);
  TORVIndex Limited;
  Catalog->BuildResultIndex(Columns.get(), &Limited, OrderBy, 1);
  EXPECT_EQ(KeysOf(Limited), "a desc");
  TORVIndex FromSelect;
  Catalog->BuildResultIndex(Columns.get(), &FromSelect, SlotOf(Query, QuerySelectSlot), 128);
  EXPECT_EQ(KeysOf(FromSelect), "b,a");
}

TEST_F(CatalogResultTest, DefaultResultOrderIsTheSelectedKeyElseTheRowID) {
  test::AddTestIndex(U, u"ix_x", itIndex, {u"x"}, {true});
  struct TCase {
    const char16_t* Text;
    const char* Keys;
  };
  const TCase Cases[] = {
      {u"SELECT b, a FROM t", "a"},            // the primary key pk on a
      {u"SELECT a, b, a AS a2 FROM t", "a,a2"},  // every selected key column, in select order
      {u"SELECT b, c FROM t", "__RowID"},      // no key column selected
      {u"SELECT x FROM u", "x desc"},          // no primary key: the first index
      {u"SELECT x FROM u, t", "x desc"},       // only the first FROM table counts
      {u"SELECT a FROM u, t", "__RowID"},
      {u"SELECT 1 AS one", "__RowID"},
  };
  for (const TCase& Case : Cases) {
    TORVExprToken* Query = Compile(Case.Text);
    auto Columns = ResultColumns(Query);
    TORVIndex Index;
    Catalog->BuildDefaultResultIndex(Query, Columns.get(), &Index, SlotOf(Query, QuerySelectSlot));
    EXPECT_EQ(KeysOf(Index), Case.Keys) << "case " << (&Case - Cases);
  }
}

}  // namespace
}  // namespace orv
