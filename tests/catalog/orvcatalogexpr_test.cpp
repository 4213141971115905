#include "catalog/orvcatalogexpr.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvschema.h"
#include "core/orvenv.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

// A configuration with its compiler, the database Main whose catalog holds
// t (a INTEGER, b VARCHAR(10)), and the database Other with a catalog of its
// own; reads of other catalogs are counted.
class CatalogExprTest : public ::testing::Test, protected test::TCompilingCatalogs {
 protected:
  CatalogExprTest() {
    Table = test::NewTableT(*Catalog);
    Config->SetOnBeginReadCatalog([this](TORVDatabaseContainer*) { ++Begins; });
    Config->SetOnEndReadCatalog([this](TORVDatabaseContainer*) { ++Ends; });
  }

  // A computed column of t (named x and Integer unless said) whose
  // expression is Text.
  std::unique_ptr<TORVComputedColumnExpr> ComputedX(const TORVString& Text, const TORVString& Name = u"x",
                                                    int32_t DataType = dtInteger, int32_t Length = 0) {
    TORVColumn* X = AddTestColumn(Table->GetColumns(), Name, DataType, 0, Length);
    auto Expr = std::make_unique<TORVComputedColumnExpr>(X);
    Expr->SetCatalog(Catalog);
    Expr->SetExpression(Text);
    return Expr;
  }

  std::unique_ptr<TORVCatalogExpr> Plain(const TORVString& Text, TORVUser* User = nullptr) {
    auto Expr = std::make_unique<TORVCatalogExpr>(Table);
    Expr->SetCatalog(Catalog);
    Expr->SetEffectiveUser(User);
    Expr->SetExpression(Text);
    return Expr;
  }

  TORVBaseTable* Table = nullptr;
  int32_t Begins = 0;
  int32_t Ends = 0;
};

TEST_F(CatalogExprTest, ColumnExpressionBindsBareNamesToItsOwnTable) {
  auto Expr = ComputedX(u"a + 1");
  Expr->Compile();
  ASSERT_TRUE(Expr->GetCompiled());
  TORVExprToken* A = Expr->FTokens->GetLeftToken();
  ASSERT_EQ(A->FTokenType, ttCOLUMNREF);
  EXPECT_EQ(A->FPosition, 1);
  EXPECT_EQ(A->FDataType, dtInteger);

  auto OnB = ComputedX(u"b", u"x2", dtCharacter, 10);
  OnB->Compile();
  EXPECT_EQ(OnB->FTokens->FPosition, 2);
  EXPECT_EQ(OnB->FTokens->FDataType, dtCharacter);
  EXPECT_EQ(OnB->FTokens->FLength, 10);
}

TEST_F(CatalogExprTest, MissingColumnIsAnErrorAtTheTokenNamingTheExpressionKind) {
  auto Expr = ComputedX(u"1 + c");
  EXPECT_EQ(test::ErrorOf([&] { Expr->Compile(); }),
            "700 An error was found in the x computed column expression at line 1 and column 5 (The column c does "
            "not exist in the table t)");
  EXPECT_FALSE(Expr->GetCompiled());
}

TEST_F(CatalogExprTest, TablesTheEffectiveUserMayNotSeeDoNotExist) {
  TORVUser* Reader = test::NewUser(*Config, u"Reader");
  Table->RevokeAllPrivileges(Config->GetPublicRole());
  auto Expr = Plain(u"1", Reader);
  TORVExprToken Ref;
  Ref.FTokenType = ttTABLEREF;
  Ref.FName = u"t";
  Ref.FLine = 1;
  Ref.FCol = 15;
  EXPECT_EQ(test::ErrorOf([&] { Expr->BindReference(&Ref, ttTABLEREF, true); }),
            "700 An error was found in the expression at line 1 and column 15 (The table t does not exist in the "
            "schema Default)");
  // Without an effective user nothing is hidden.
  Expr->SetEffectiveUser(nullptr);
  Expr->BindReference(&Ref, ttTABLEREF, true);

  Table->GrantPrivilege(Config->GetSystemUser(), Config->GetPublicRole(), PrivilegeSelect);
  Expr->SetEffectiveUser(Reader);
  Expr->BindReference(&Ref, ttTABLEREF, true);
  TORVExprToken Column;
  Column.FTokenType = ttCOLUMNREF;
  Column.FName = u"A";
  EXPECT_TRUE(Expr->ColumnExists(&Ref, &Column));
  Column.FName = u"c";
  EXPECT_FALSE(Expr->ColumnExists(&Ref, &Column));
}

TEST_F(CatalogExprTest, OtherDatabasesAreReadBetweenOneBeginAndOneEnd) {
  auto Expr = Plain(u"1");
  TORVExprToken Remote;
  Remote.FDatabaseName = u"Other";
  Expr->BeginReadTokenCatalog(&Remote);
  EXPECT_TRUE(Remote.FDatabaseOpen);
  Expr->EndReadTokenCatalog(&Remote);
  Expr->EndReadTokenCatalog(&Remote);
  EXPECT_EQ(Begins, 1);
  EXPECT_EQ(Ends, 1);
  EXPECT_EQ(Expr->GetCatalogForToken(&Remote), Other);

  TORVExprToken Own;
  Own.FDatabaseName = u"Main";
  Expr->BeginReadTokenCatalog(&Own);
  EXPECT_FALSE(Own.FDatabaseOpen);
  EXPECT_EQ(Begins, 1);

  // USE of the current database reads nothing but marks the token.
  TORVExprToken Use;
  Use.FName = u"Main";
  Expr->UseDatabase(&Use);
  EXPECT_EQ(Begins, 1);
  EXPECT_TRUE(Use.FDatabaseOpen);
  Use.FName = u"Other";
  Expr->UseDatabase(&Use);
  EXPECT_EQ(Begins, 2);
  EXPECT_EQ(Expr->GetCatalog(), Other);
  Expr->UnlockDatabase(&Use);
  Expr->UseDatabase(nullptr);
  EXPECT_EQ(Expr->GetCatalog(), Catalog);
}

TEST_F(CatalogExprTest, DatabaseWithoutCatalogIsAnErrorAtTheToken) {
  test::NewDatabase(*Config, u"Closed", Config->GetSystemUser());
  auto Expr = Plain(u"1");
  TORVExprToken Token;
  Token.FDatabaseName = u"Closed";
  Token.FLine = 2;
  Token.FCol = 7;
  EXPECT_EQ(test::ErrorOf([&] { Expr->GetCatalogForToken(&Token); }),
            "700 An error was found in the expression at line 2 and column 7 (The catalog was not read properly)");
  TORVExprToken Use;
  Use.FName = u"Closed";
  Use.FLine = 3;
  Use.FCol = 5;
  const std::string Error = test::ErrorOf([&] { Expr->UseDatabase(&Use); });
  EXPECT_EQ(Error.substr(0, 61), "700 An error was found in the expression at line 3 and column");
  EXPECT_NE(Error.find("The catalog was not read properly"), std::string::npos) << Error;
  Token.FDatabaseName = u"Missing";
  EXPECT_EQ(test::ErrorOf([&] { Expr->BeginReadTokenCatalog(&Token); }),
            "700 An error was found in the expression at line 2 and column 7 (The database Missing does not exist)");
}

TEST_F(CatalogExprTest, CollationNamesCarryTheirIgnoreFlags) {
  auto Expr = Plain(u"1");
  TORVExprToken Collation;
  Collation.FName = u"ENU_CI";
  Expr->BindReference(&Collation, ttCOLLATIONREF, true);
  EXPECT_EQ(Collation.FCollation & 0xFFFF, 1033);
  EXPECT_TRUE(Collation.GetIgnoreCase());
  EXPECT_FALSE(Collation.GetIgnoreAccent());
  Collation.FName = u"NOSUCH_CI";
  EXPECT_EQ(test::ErrorOf([&] { Expr->BindReference(&Collation, ttCOLLATIONREF, true); }).substr(0, 4), "700 ");
}

TEST_F(CatalogExprTest, RoutineRenameKeepsOrAddsTheQuotes) {
  struct TCase {
    const char16_t* Text;
    const char16_t* NewName;
    const char16_t* Expected;
  };
  const TCase Cases[] = {
      {u"PROCEDURE \"P\" (IN a INTEGER)\r\nBEGIN\r\nEND", u"Q", u"PROCEDURE \"Q\" (IN a INTEGER)\r\nBEGIN\r\nEND"},
      {u"PROCEDURE P (IN a INTEGER)\r\nBEGIN\r\nEND", u"Q", u"PROCEDURE Q (IN a INTEGER)\r\nBEGIN\r\nEND"},
      {u"PROCEDURE P ()\r\nBEGIN\r\nEND", u"My Proc", u"PROCEDURE \"My Proc\" ()\r\nBEGIN\r\nEND"},
      {u"FUNCTION \"F\" () RETURNS INTEGER", u"It\"s", u"FUNCTION \"It\"\"s\" () RETURNS INTEGER"},
  };
  for (const TCase& Case : Cases) {
    TORVCatalogRoutine Routine(nullptr);
    Routine.SetExpression(Case.Text);
    Routine.Rename(Case.NewName);
    EXPECT_EQ(Routine.GetExpression(), Case.Expected);
  }
}

TEST_F(CatalogExprTest, ChangedTextMarksTheCatalogModifiedUnlessTheOwnerIsTemporary) {
  auto Expr = ComputedX(u"a");
  Catalog->SetModified(false);
  Expr->SetExpression(u"a + 2");
  EXPECT_TRUE(Catalog->GetModified());

  TORVTemporaryTables& Temporary = Catalog->GetDefaultSchema()->GetTemporaryTables();
  std::unique_ptr<TORVBaseTable> Scratch(static_cast<TORVBaseTable*>(Temporary.GetNewObject()));
  Scratch->SetName(u"Scratch");
  Temporary.Add(Scratch.get());
  TORVBaseTable* Added = Scratch.release();
  TORVColumn* Y = AddTestColumn(Added->GetColumns(), u"y", dtInteger);
  Y->SetTemporary(true);
  TORVComputedColumnExpr OnTemporary(Y);
  OnTemporary.SetCatalog(Catalog);
  Catalog->SetModified(false);
  OnTemporary.SetExpression(u"y + 1");
  EXPECT_FALSE(Catalog->GetModified());
}

TEST_F(CatalogExprTest, CatalogWithCompiledExpressionsIsFreedCleanly) {
  // The sanitizer checks that freeing the catalog leaves nothing behind.
  auto Expr = ComputedX(u"a + b");
  EXPECT_ANY_THROW(Expr->Compile());  // Integer plus VarChar is refused
  auto Good = ComputedX(u"a * 2", u"x2");
  Good->Compile();
  Good.reset();
  Expr.reset();
  Catalog->GetDatabase()->SetCatalog(nullptr);
  Catalog = nullptr;
  SUCCEED();
}

TEST_F(CatalogExprTest, ResultTestsReadTheClausesOfAParsedQuery) {
  struct TCase {
    const char16_t* Text;
    const char* Expected;  // NoTable Params Grouped Ordered Distinct Merged MergedInput Ranged
  };
  const TCase Cases[] = {
      {u"SELECT 1", "10000000"},
      {u"SELECT a INTO x FROM t", "01000000"},
      {u"SELECT a FROM t GROUP BY a", "00100000"},
      {u"SELECT DISTINCT a FROM t ORDER BY a", "00011000"},
      {u"SELECT a FROM t UNION SELECT a FROM t", "00001100"},
      {u"SELECT a FROM t UNION ALL SELECT a FROM t", "00000100"},
      {u"SELECT a FROM t RANGE 1 TO 10", "00000001"},
  };
  for (const TCase& Case : Cases) {
    auto Expr = Plain(Case.Text);
    TORVExprToken* Query =
        ParseQueryWithOptions(Parser, *Expr, {poAllowSchemaQualifier, poAllowTableQualifier, poAllowInto});
    std::string Got;
    for (bool Answer : {TORVCatalog::ReturnsNoTableResult(Query), TORVCatalog::ReturnsParamsResult(Query),
                        TORVCatalog::ReturnsGroupedResult(Query), TORVCatalog::ReturnsOrderedResult(Query),
                        TORVCatalog::ReturnsDistinctResult(Query), TORVCatalog::ReturnsMergedResult(Query),
                        TORVCatalog::ReturnsMergedInputResult(Query),
                        TORVCatalog::ReturnsRangedResult(Query)})
      Got += Answer ? '1' : '0';
    EXPECT_EQ(Got, Case.Expected) << "case " << (&Case - Cases);
    // The query after the set operation is fed by it.
    if (TORVExprToken* Merged = Query->GetArgument(QueryMergedQuerySlot)) {
      EXPECT_TRUE(TORVCatalog::ReturnsMergedInputResult(Merged));
    }
    FreeTokens(Query);
  }
}

TEST_F(CatalogExprTest, OnlyAggregatesWithoutPlainColumnsGiveASingleRow) {
  struct TCase {
    const char16_t* Text;
    bool Expected;
  };
  const TCase Cases[] = {
      {u"SELECT COUNT(*) FROM t", true},
      {u"SELECT 1, MAX(a) FROM t", true},
      {u"SELECT a, COUNT(*) FROM t", false},
      {u"SELECT a FROM t", false},
  };
  for (const TCase& Case : Cases) {
    auto Expr = Plain(Case.Text);
    TORVExprToken* Query =
        ParseQueryWithOptions(Parser, *Expr, {poAllowSchemaQualifier, poAllowTableQualifier, poAllowAggregates});
    EXPECT_EQ(TORVCatalog::ReturnsSingleRowResult(Query), Case.Expected) << "case " << (&Case - Cases);
    FreeTokens(Query);
  }
}

// Whole statements through the real compiler: the columns bind at their
// positions in the table, "__RowID" being 0.
TEST_F(CatalogExprTest, SelectBindsColumnsAtTheirPositions) {
  TORVCatalogStatement Statement(Table);
  Statement.SetCatalog(Catalog);
  Statement.SetExpression(u"SELECT a, b FROM t");
  Statement.Compile();
  ASSERT_TRUE(Statement.GetCompiled());
  const TORVExprToken* Select = SlotOf(Statement.FTokens, QuerySelectSlot);
  ASSERT_NE(Select, nullptr);
  ASSERT_EQ(Select->GetNumArguments(), 2);
  const TORVExprToken* A = SlotOf(Select->GetArgument(0), ItemExpressionSlot);
  const TORVExprToken* B = SlotOf(Select->GetArgument(1), ItemExpressionSlot);
  EXPECT_EQ(A->FPosition, 1);
  EXPECT_EQ(A->FDataType, dtInteger);
  EXPECT_EQ(B->FPosition, 2);
  EXPECT_EQ(B->FDataType, dtCharacter);
  EXPECT_EQ(B->FLength, 10);
}

TEST_F(CatalogExprTest, SelectOfAMissingColumnNamesTheStatement) {
  TORVCatalogStatement Statement(Table);
  Statement.SetCatalog(Catalog);
  Statement.SetExpression(u"SELECT c FROM t");
  EXPECT_EQ(test::ErrorOf([&] { Statement.Compile(); }),
            "700 An error was found in the statement at line 1 and column 8 (The column c does not exist in the "
            "table t)");
}

TEST_F(CatalogExprTest, SelectStarExpandsToTheVisibleColumns) {
  TORVCatalogStatement Statement(Table);
  Statement.SetCatalog(Catalog);
  Statement.SetExpression(u"SELECT * FROM t");
  Statement.Compile();
  EXPECT_EQ(Statement.Build(nullptr, false, false, false), u"SELECT ALL \"t\".\"a\" AS \"a\", \"t\".\"b\" AS \"b\" FROM \"t\"");
}

// Every text of the SQL corpus compiled through the real catalog, as a
// statement and as an expression, over Main's t (a, b, x) and s (x, y) and
// Other's t (a, c): a compile that refuses its text has ended every catalog
// read it began, freed every derived table it made a temporary view of and
// left the expression uncompiled, and one that succeeds does the same once
// unlocked and decompiled.
class CorpusRefusalTest : public ::testing::Test, protected test::TCompilingCatalogs {
 protected:
  CorpusRefusalTest() {
    TORVBaseTable* T = test::NewTableT(*Catalog);
    AddTestColumn(T->GetColumns(), u"x", dtInteger);
    TORVBaseTable* S = test::NewTable(*Catalog, u"s");
    AddTestColumn(S->GetColumns(), u"x", dtInteger);
    AddTestColumn(S->GetColumns(), u"y", dtInteger);
    TORVBaseTable* OtherT = test::NewTable(*Other, u"t");
    AddTestColumn(OtherT->GetColumns(), u"a", dtInteger);
    AddTestColumn(OtherT->GetColumns(), u"c", dtDate);
    Parent = T;
    Config->SetOnBeginReadCatalog([this](TORVDatabaseContainer* Database) {
      test::OpenCatalog(Database);
      ++Reads[Database];
      ++Taken;
    });
    Config->SetOnEndReadCatalog([this](TORVDatabaseContainer* Database) { --Reads[Database]; });
    for (TORVCatalog* Each : {Catalog, Other}) {
      Each->SetOnAddTemporaryView([this](TORVView*) { ++Taken; });
      Each->SetOnRemoveTemporaryView([Each](TORVView*& View) {
        Each->GetDefaultSchema()->GetTemporaryViews().Remove(View);
        delete View;
        View = nullptr;
      });
    }
  }

  // Compiles Expr; True when it refused. Whichever way it ends, once the
  // expression lets go nothing it took is still held.
  bool CompileAndRelease(TORVCatalogExpr& Expr) {
    bool Refused = false;
    try {
      Expr.Compile();
    } catch (const EORVException& E) {
      Refused = true;
      EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code) << E.what();
      EXPECT_FALSE(Expr.GetCompiled());
      EXPECT_EQ(Expr.FTokens, nullptr);
    }
    if (!Refused) {
      // The owner of a compiled expression unlocks it before letting go.
      Expr.Unlock();
      Expr.Decompile();
    }
    for (const auto& [Database, Count] : Reads) EXPECT_EQ(Count, 0) << StringToUtf8(Database->GetName());
    for (TORVCatalog* Each : {Catalog, Other})
      EXPECT_EQ(Each->GetDefaultSchema()->GetTemporaryViews().GetCount(), 0);
    return Refused;
  }

  TORVBaseTable* Parent = nullptr;
  std::map<TORVDatabaseContainer*, int32_t> Reads;
  // Catalog reads begun and derived tables made, over all compiles.
  int32_t Taken = 0;
};

// Refusals that come late: after other catalogs were read and derived
// tables made, beside those the corpus holds.
const char16_t* const LateRefusals[] = {
    u"SELECT z FROM (SELECT a FROM t) d",
    u"SELECT d.a FROM (SELECT a FROM t) d, (SELECT b FROM t) e WHERE e.b = 1 AND d.q = 2",
    u"SELECT a FROM Other.t WHERE c = 'x' + 1",
    u"SELECT o.a FROM Other.t o INNER JOIN (SELECT x FROM s) d ON d.x = o.a WHERE o.c > TRUE",
    u"INSERT INTO Other.t (a, c) SELECT y, z FROM (SELECT y FROM s) d",
};

TEST_F(CorpusRefusalTest, ARefusedCompileEndsItsCatalogReadsAndFreesItsDerivedTables) {
  std::vector<std::string> Texts;
  for (const test::TORVSqlCorpusCase& Case : test::ReadSqlCorpus())
    if (Case.Kind != "optimize") Texts.push_back(Case.Sql);
  const std::size_t CorpusCount = Texts.size();
  for (const char16_t* Text : LateRefusals) Texts.push_back(StringToUtf8(Text));
  int32_t Refused = 0;
  for (std::size_t I = 0; I < Texts.size(); ++I) {
    SCOPED_TRACE(Texts[I]);
    TORVCatalogStatement Statement(Parent);
    TORVCatalogExpr Expression(Parent);
    for (TORVCatalogExpr* Expr : {static_cast<TORVCatalogExpr*>(&Statement), &Expression}) {
      Expr->SetCatalog(Catalog);
      Expr->SetExpression(Utf8ToString(Texts[I]));
      const int32_t TakenBefore = Taken;
      const bool WasRefused = CompileAndRelease(*Expr);
      if (WasRefused) ++Refused;
      if (I >= CorpusCount && Expr == &Statement) {
        EXPECT_TRUE(WasRefused);
        EXPECT_GT(Taken, TakenBefore);
      }
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(Refused, 0);
}

}  // namespace
}  // namespace orv
