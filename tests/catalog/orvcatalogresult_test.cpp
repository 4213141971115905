#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
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

TEST_F(CatalogResultTest, LiveSourceFollowsUpdateableViewsToTheirTable) {
  // v reads t and w reads v; both carry the columns their query gives.
  auto AddView = [this](const TORVString& Name, const TORVString& Query) {
    TORVViews& Views = Catalog->GetDefaultSchema()->GetViews();
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
    View->SetName(Name);
    View->GetDefinition().SetExpression(Query);
    Views.Add(View.get());
    AddTestColumn(View->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
    AddTestColumn(View->GetColumns(), u"a", dtInteger);
    return View.release();
  };
  TORVView* V = AddView(u"v", u"SELECT a FROM t");
  TORVView* W = AddView(u"w", u"SELECT a FROM v");
  TORVExprToken* Query = Compile(u"SELECT a FROM w");
  // Compiling derived both views: each gives a live result.
  EXPECT_TRUE(W->GetUpdateable());
  EXPECT_TRUE(V->GetUpdateable());
  EXPECT_EQ(Catalog->GetLiveSourceTable(Query, true), Table);
  EXPECT_EQ(Catalog->GetLiveSourceTable(Query, false), W);
  // A grouped w is read-only: the chain stops at it.
  W->GetDefinition().SetExpression(u"SELECT a FROM v GROUP BY a");
  Query = Compile(u"SELECT a FROM w");
  EXPECT_FALSE(W->GetUpdateable());
  EXPECT_EQ(Catalog->GetLiveSourceTable(Query, true), W);
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

TEST_F(CatalogResultTest, CountOfRowsAndIndexedMaxOrMinAreFunctionResults) {
  struct TCase {
    const char16_t* Text;
    bool Expected;
  };
  const TCase Cases[] = {
      {u"SELECT COUNT(*) FROM t", true},
      {u"SELECT COUNT(*) FROM t WHERE a > 1", true},
      {u"SELECT MAX(a) FROM t", true},
      {u"SELECT MIN(b) FROM t", true},
      {u"SELECT MAX(c) FROM t", false},  // c leads no index
      {u"SELECT COUNT(a) FROM t", false},
      {u"SELECT COUNT(*) FROM t, u", false},
      {u"SELECT COUNT(*), MAX(a) FROM t", false},
      {u"SELECT COUNT(*) FROM t WHERE EXISTS (SELECT x FROM u WHERE u.x = t.a)", false},
  };
  for (const TCase& Case : Cases)
    EXPECT_EQ(Catalog->ReturnsFunctionResult(Compile(Case.Text)), Case.Expected) << "case " << (&Case - Cases);
}

TEST_F(CatalogResultTest, TextIndexIsFoundForTheColumnOfItsTable) {
  TORVExprToken Column;
  Column.FTokenType = ttCOLUMNREF;
  Column.FName = u"b";
  EXPECT_TRUE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
  Column.FName = u"a";
  EXPECT_FALSE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
  // A qualified column is looked up in the table it names.
  Column.FName = u"x";
  Column.FSourceName = u"u";
  EXPECT_FALSE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
  // A read-only view stores nothing, so none of its columns has one.
  TORVViews& Views = Catalog->GetDefaultSchema()->GetViews();
  std::unique_ptr<TORVView> View(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
  View->SetName(u"v");
  View->GetDefinition().SetExpression(u"SELECT b FROM t GROUP BY b");
  AddTestColumn(View->GetColumns(), u"b", dtCharacter, stVarChar, 10);
  Views.Add(View.release());
  Column.FName = u"b";
  Column.FSourceName = u"v";
  EXPECT_FALSE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
}

TEST_F(CatalogResultTest, ColumnsOfAnUpdateableViewStandForTheirBaseColumns) {
  // v (x, s) reads t: x is t's b, s is computed and placed after t's columns.
  TORVViews& Views = Catalog->GetDefaultSchema()->GetViews();
  std::unique_ptr<TORVView> Made(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
  Made->SetName(u"v");
  Made->GetDefinition().SetExpression(u"SELECT b AS x, a + 1 AS s, b FROM t");
  AddTestColumn(Made->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
  AddTestColumn(Made->GetColumns(), u"x", dtCharacter, stVarChar, 10)->SetOrigin(u"t.b");
  AddTestColumn(Made->GetColumns(), u"s", dtInteger)->SetOriginPosition(4);
  AddTestColumn(Made->GetColumns(), u"b", dtCharacter, stVarChar, 10)->SetOrigin(u"t.b");
  Views.Add(Made.get());
  TORVView* View = Made.release();
  View->SetUpdateable(true);

  auto Items = [this](const TORVString& Text) {
    TORVExprToken* Select = SlotOf(Compile(Text), QuerySelectSlot);
    return std::make_pair(Select->GetArgument(0)->GetArgument(0), Select->GetArgument(1)->GetArgument(0));
  };
  auto [X, S] = Items(u"SELECT x, s FROM v");
  EXPECT_EQ(X->FOriginName, u"b");
  EXPECT_EQ(X->FPosition, 1);
  EXPECT_EQ(S->FPosition, 4);
  // The text index on t's b serves v's b.
  TORVExprToken Column;
  Column.FTokenType = ttCOLUMNREF;
  Column.FName = u"b";
  Column.FSourceName = u"v";
  Column.FCollation = static_cast<TORVColumn*>(Table->GetColumns().FindByName(u"b", true))->GetCollation();
  EXPECT_TRUE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
  // So does it serve x, which renames that column.
  Column.FName = u"x";
  EXPECT_TRUE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
  Column.FName = u"b";

  // A view that gives no live result has columns of its own.
  View->SetUpdateable(false);
  auto [Own, Computed] = Items(u"SELECT x, s FROM v");
  EXPECT_EQ(Own->FOriginName, u"");
  EXPECT_EQ(Computed->FPosition, 4);
  EXPECT_FALSE(Catalog->TextIndexExists(&Column, nullptr, Table, u"", u""));
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

// An empty base table of the Default schema for a result to be defined in.
TORVBaseTable* EmptyTable(TORVCatalog& Catalog, const TORVString& Name) {
  TORVBaseTables& Tables = Catalog.GetDefaultSchema()->GetBaseTables();
  std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject(nullptr)));
  Table->SetName(Name);
  Tables.Add(Table.get());
  return Table.release();
}

std::string Narrow(const TORVString& Text) {
  std::string Result;
  for (char16_t C : Text) Result += static_cast<char>(C);
  return Result;
}

// The column names of Table, hidden ones in brackets.
std::string ColumnsOf(TORVVirtualTable& Table) {
  std::string Result;
  for (int32_t I = 0; I < Table.GetColumns().GetCount(); ++I) {
    TORVColumn* Column = Table.GetColumns().GetColumn(I);
    if (!Result.empty()) Result += ",";
    Result += Column->GetHidden() ? "[" + Narrow(Column->GetName()) + "]" : Narrow(Column->GetName());
  }
  return Result;
}

// Each index of Table as name(keys), hidden ones in brackets.
std::string IndexesOf(TORVVirtualTable& Table) {
  std::string Result;
  for (int32_t I = 0; I < Table.GetIndexes().GetCount(); ++I) {
    TORVIndex* Index = Table.GetIndexes().GetIndex(I);
    if (!Result.empty()) Result += ";";
    const std::string Name = Narrow(Index->GetName()) + "(" + KeysOf(*Index) + ")";
    Result += Index->GetHidden() ? "[" + Name + "]" : Name;
  }
  return Result;
}

TEST_F(CatalogResultTest, ResultTableHasTheRowIDTheItemsAndTheOrderingIndexesItsClausesAsk) {
  struct TCase {
    const char16_t* Text;
    bool IncludePrimaryKey;
    const char* Columns;
    const char* Indexes;
  };
  const TCase Cases[] = {
      {u"SELECT a, b FROM t GROUP BY a", false, "[__RowID],a,b", "[__GroupBy(a)]"},
      {u"SELECT a, b FROM t GROUP BY a, b ORDER BY b DESC", false, "[__RowID],a,b",
       "[__GroupBy(a,b)];[__OrderBy(b desc)]"},
      {u"SELECT DISTINCT b, a FROM t", false, "[__RowID],b,a", "[__Distinct(b,a)];[__OrderBy(a)]"},
      {u"SELECT b, c FROM t ORDER BY c DESC, b", false, "[__RowID],b,c", "[__OrderBy(c desc,b)]"},
      // Without ORDER BY the rows keep the source key's order, else their own.
      {u"SELECT b, c FROM t", false, "[__RowID],b,c", "[__OrderBy(__RowID)]"},
      {u"SELECT a + 1 AS s FROM t", true, "[__RowID],s", "[__OrderBy(__RowID)];[__PrimaryKey(__RowID)]"},
      {u"SELECT a FROM t UNION SELECT x FROM u", false, "[__RowID],a", "[__Distinct(a)];[__OrderBy(a)]"},
      {u"SELECT a FROM t UNION ALL SELECT x FROM u", false, "[__RowID],a", "[__OrderBy(a)]"},
  };
  for (const TCase& Case : Cases) {
    TORVBaseTable* Result = EmptyTable(*Catalog, u"r" + std::u16string(1, static_cast<char16_t>(u'0' + (&Case - Cases))));
    Catalog->BuildResultTable(Compile(Case.Text), Result, Case.IncludePrimaryKey, false);
    EXPECT_EQ(ColumnsOf(*Result), Case.Columns) << "case " << (&Case - Cases);
    EXPECT_EQ(IndexesOf(*Result), Case.Indexes) << "case " << (&Case - Cases);
  }
}

TEST_F(CatalogResultTest, ResultColumnsTakeTheItemsTypesAndOnlyColumnItemsAnOrigin) {
  Table->GetColumns().GetColumn(2)->SetDescription(u"the b");
  TORVBaseTable* Result = EmptyTable(*Catalog, u"r");
  Catalog->BuildResultTable(Compile(u"SELECT b AS bb, a + 1 AS s, x FROM t, Other.u"), Result, false, true);
  TORVColumns& Columns = Result->GetColumns();
  ASSERT_EQ(ColumnsOf(*Result), "[__RowID],bb,s,x");
  EXPECT_EQ(Columns.GetColumn(1)->GetDataType(), dtCharacter);
  EXPECT_EQ(Columns.GetColumn(1)->GetLength(), 10);
  EXPECT_EQ(Narrow(Columns.GetColumn(1)->GetOrigin()), "t.b");
  EXPECT_EQ(Narrow(Columns.GetColumn(1)->GetDescription()), "the b");
  EXPECT_EQ(Columns.GetColumn(2)->GetDataType(), dtInteger);
  EXPECT_EQ(Narrow(Columns.GetColumn(2)->GetOrigin()), "");
  EXPECT_EQ(Narrow(Columns.GetColumn(3)->GetOrigin()), "Other.Default.u.x");

  TORVBaseTable* Plain = EmptyTable(*Catalog, u"r2");
  Catalog->BuildResultTable(Compile(u"SELECT b FROM t"), Plain, false, false);
  EXPECT_EQ(Narrow(Plain->GetColumns().GetColumn(1)->GetOrigin()), "");
}

TEST_F(CatalogResultTest, LiveResultTakesSourceColumnsForColumnItemsAndTypedColumnsForOthers) {
  Table->GetColumns().GetColumn(2)->SetDescription(u"the b");
  TORVBaseTable* Result = EmptyTable(*Catalog, u"r");
  Catalog->BuildLiveResultTable(Compile(u"SELECT b AS bb, a * 2 AS s FROM t ORDER BY bb"), Result);
  TORVColumns& Columns = Result->GetColumns();
  ASSERT_EQ(ColumnsOf(*Result), "[__RowID],bb,s");
  EXPECT_EQ(Columns.GetColumn(1)->GetDataType(), dtCharacter);
  EXPECT_EQ(Columns.GetColumn(1)->GetLength(), 10);
  EXPECT_EQ(Narrow(Columns.GetColumn(1)->GetDescription()), "the b");
  EXPECT_EQ(Narrow(Columns.GetColumn(1)->GetOrigin()), "t.b");
  EXPECT_EQ(Narrow(Columns.GetColumn(2)->GetOrigin()), "");
  EXPECT_EQ(Columns.GetColumn(2)->GetDataType(), dtInteger);
  // A live result orders through the source's indexes.
  EXPECT_EQ(IndexesOf(*Result), "");
}

TEST_F(CatalogResultTest, UpdatesTableHasTheSixColumnsAndAnIndexOnEachOfTheFirstThree) {
  TORVBaseTable* Updates = EmptyTable(*Catalog, u"updates");
  Catalog->BuildUpdatesTable(Updates);
  EXPECT_EQ(ColumnsOf(*Updates), "[__RowID],TableName,UpdateType,UpdateTimeStamp,Manifest,KeyData,RowData");
  EXPECT_EQ(IndexesOf(*Updates),
            "[__PrimaryKey(__RowID)];TableName(TableName);UpdateType(UpdateType);UpdateTimeStamp(UpdateTimeStamp)");
  TORVColumns& Columns = Updates->GetColumns();
  struct TCase {
    int32_t DataType;
    int32_t SubType;
    int32_t Length;
    bool CaseInsensitive;
  };
  const TCase Cases[] = {{dtCharacter, stVarChar, 80, true}, {dtCharacter, stVarChar, 15, true},
                         {dtTimeStamp, stNone, 0, false},    {dtLargeObject, stClob, 0, true},
                         {dtLargeObject, stClob, 0, true},   {dtLargeObject, stClob, 0, true}};
  for (int32_t I = 0; I < 6; ++I) {
    TORVColumn* Column = Columns.GetColumn(I + 1);
    EXPECT_EQ(Column->GetDataType(), Cases[I].DataType) << I;
    EXPECT_EQ(Column->GetSubType(), Cases[I].SubType) << I;
    if (Cases[I].Length != 0) {
      EXPECT_EQ(Column->GetLength(), Cases[I].Length) << I;
    }
    EXPECT_EQ((Column->GetCollation() & CollationCaseInsensitiveFlag) != 0, Cases[I].CaseInsensitive) << I;
  }
}

TEST_F(CatalogResultTest, ComputedViewColumnsArePlacedAfterAllColumnsOfTheBaseTable) {
  // v (a, s, b) reads t (__RowID, a, b, c); w (s, d) reads v.
  auto AddView = [this](const TORVString& Name, const TORVString& Query,
                        std::initializer_list<const char16_t*> Columns) {
    TORVViews& Views = Catalog->GetDefaultSchema()->GetViews();
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
    View->SetName(Name);
    View->GetDefinition().SetExpression(Query);
    Views.Add(View.get());
    AddTestColumn(View->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
    for (const char16_t* Column : Columns) AddTestColumn(View->GetColumns(), Column, dtInteger);
    View->SetUpdateable(true);
    View->Compile();
    return View.release();
  };
  TORVView* V = AddView(u"v", u"SELECT a, a + 1 AS s, b FROM t", {u"a", u"s", u"b"});
  TORVView* W = AddView(u"w", u"SELECT s, a * 2 AS d FROM v", {u"s", u"d"});
  int32_t Position = 0;
  Catalog->AssignViewOriginPositions(W, Position);
  EXPECT_EQ(Position, 6);
  EXPECT_EQ(V->GetColumns().GetColumn(2)->GetOriginPosition(), 4);
  EXPECT_EQ(W->GetColumns().GetColumn(2)->GetOriginPosition(), 5);

  // Over a view that is not updateable the count restarts at its columns.
  V->SetUpdateable(false);
  Position = 0;
  Catalog->AssignViewOriginPositions(W, Position);
  EXPECT_EQ(Position, 5);
  EXPECT_EQ(W->GetColumns().GetColumn(2)->GetOriginPosition(), 4);

  // A view that gives no live result is left as it is.
  TORVView* Static = AddView(u"x", u"SELECT a + 1 AS s FROM t", {u"s"});
  Static->SetUpdateable(false);
  const int32_t Untouched = Static->GetColumns().GetColumn(1)->GetOriginPosition();
  Position = 7;
  Catalog->AssignViewOriginPositions(Static, Position);
  EXPECT_EQ(Position, 7);
  EXPECT_EQ(Static->GetColumns().GetColumn(1)->GetOriginPosition(), Untouched);
}

TEST_F(CatalogResultTest, ResultColumnsKnowWhetherTheirBaseColumnIsKeyOrUnique) {
  auto Constrain = [this](const TORVString& Name, int32_t Type, const TORVString& ColumnName) {
    std::unique_ptr<TORVConstraint> Constraint(static_cast<TORVConstraint*>(Table->GetConstraints().GetNewObject()));
    Constraint->SetName(Name);
    Constraint->SetConstraintType(Type);
    auto* Member = static_cast<TORVConstraintColumn*>(Constraint->GetConstraintColumns()->GetNewObject());
    Member->SetColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(ColumnName, true)));
    Constraint->GetConstraintColumns()->Add(Member);
    Table->GetConstraints().Add(Constraint.get());
    Constraint.release();
  };
  Constrain(u"uq_b", ctUnique, u"b");
  Constrain(u"pk_a", ctPrimaryKey, u"a");
  TORVExprToken* Query = Compile(u"SELECT a, b, c, a + 1 AS s FROM t");
  TORVBaseTable* Static = EmptyTable(*Catalog, u"r");
  Catalog->BuildResultTable(Query, Static, false, true);
  TORVBaseTable* Live = EmptyTable(*Catalog, u"l");
  Catalog->BuildLiveResultTable(Query, Live);
  for (TORVBaseTable* Result : {Static, Live}) {
    TORVColumns& Columns = Result->GetColumns();
    ASSERT_EQ(ColumnsOf(*Result), "[__RowID],a,b,c,s");
    EXPECT_TRUE(Columns.GetColumn(1)->GetOriginKey());
    EXPECT_FALSE(Columns.GetColumn(1)->GetOriginUnique());
    EXPECT_TRUE(Columns.GetColumn(2)->GetOriginUnique());
    EXPECT_FALSE(Columns.GetColumn(2)->GetOriginKey());
    EXPECT_FALSE(Columns.GetColumn(3)->GetOriginKey() || Columns.GetColumn(3)->GetOriginUnique());
    EXPECT_FALSE(Columns.GetColumn(4)->GetOriginKey() || Columns.GetColumn(4)->GetOriginUnique());
  }
}

}  // namespace
}  // namespace orv
