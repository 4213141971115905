// The test tools that later compiler tests build on: the tree reader and
// dumper, the round-trip check, and the fake catalog and filter expressions.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "base/orvutf8.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqlroundtrip.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using namespace orv::test;

struct TTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTree = std::unique_ptr<TORVExprToken, TTreeDeleter>;

TEST(SqlTreeDump, ReadAndDumpAreInverse) {
  const char* const Texts[] = {
      "(BINARY :op OR (COLUMNREF :name \"a\" :source \"t\") (CONST :text \"it\\\"s\" :type 1 :len 4))",
      "(UNARY :op NOT (EXTBINARY :op ISNULL (COLUMNREF :name \"b\")))",
      "(FUNCREF :op SUBSTRING :id 3 nil (CONST :paren) nil)",
      "(SELECTCOLUMN :text \"x\" :alias \"y\" :hidden :left (CONST) (CONST :coll 1048576 :partial 2))",
      "(QUERY :op CORRELATED (CLAUSE :op UNION) (TABLEREF :name \"t\" :db \"d\" :subtype 130 :scale 2))",
  };
  for (const char* Text : Texts) {
    TTree Tree(ReadTokens(Utf8ToString(Text)));
    EXPECT_EQ(DumpTokens(Tree.get()), Text);
  }
  EXPECT_EQ(DumpTokens(nullptr), "nil");
  EXPECT_EQ(ReadTokens(u"  "), nullptr);
}

TEST(SqlTreeDump, ReaderRecordsPositionsAndRejectsMalformedText) {
  TTree Tree(ReadTokens(u"(CLAUSE\n  (CONST))"));
  ASSERT_NE(Tree, nullptr);
  TORVExprToken* Child = Tree->GetArgument(0);
  EXPECT_EQ(Tree->FLine, 1);
  EXPECT_EQ(Tree->FCol, 1);
  EXPECT_EQ(Child->FLine, 2);
  EXPECT_EQ(Child->FCol, 3);
  EXPECT_EQ(Child->FExprPos, 11);
  EXPECT_EQ(Child->FUpperToken, Tree.get());

  // Every failure frees what was read (the sanitizer checks).
  for (const char16_t* Bad : {u"(", u"(CLAUSE (CONST)", u"(NOSUCH)", u"(CONST :op NOSUCH)", u"(CONST :text x)",
                              u"(CONST :len 99999999999)", u"(BINARY (CONST) (CONST) (CONST))",
                              u"(CONST) (CONST)", u"(CLAUSE :left (CONST) :left (CONST))"}) {
    EXPECT_THROW(ReadTokens(Bad), EORVException) << StringToUtf8(Bad);
  }
}

TEST(SqlRoundTrip, PassesForTheFakeParserAndReportsADifference) {
  TORVParseFunc Parse = [](const TORVString& Text) { return ReadTokens(Text); };
  TORVBuildFunc Build = [](const TORVExprToken* Token) { return Utf8ToString(DumpTokens(Token)); };
  EXPECT_TRUE(RoundTrips(u"(BINARY :op AND (CONST :text \"1\") (FUNCREF :op ABS nil (CONST)))", Parse, Build));

  TORVBuildFunc Lossy = [](const TORVExprToken*) { return TORVString(u"(CONST)"); };
  ::testing::AssertionResult Lost = RoundTrips(u"(CONST :text \"1\")", Parse, Lossy);
  EXPECT_FALSE(Lost);
  EXPECT_NE(std::string(Lost.message()).find("trees differ"), std::string::npos);
  EXPECT_FALSE(RoundTrips(u"(", Parse, Build));
}

class FakeCatalogExprTest : public ::testing::Test {
 protected:
  FakeCatalogExprTest() {
    Catalog.AddDatabase(u"Main");
    Catalog.AddDatabase(u"Other");
    TORVFakeTable& Orders = Catalog.AddTable(
        u"Main", u"Orders",
        {TORVFakeCatalog::Column(u"ID", dtInteger), TORVFakeCatalog::Column(u"Note", dtCharacter, 40, 0, 1033)});
    Orders.TextIndexes.push_back({u"Note", 1033});
    Catalog.AddTable(u"Main", u"Scratch", {TORVFakeCatalog::Column(u"Kept", dtInteger)});
    TORVFakeTable& Temp = Catalog.AddTable(u"Main", u"Scratch", {TORVFakeCatalog::Column(u"Kept", dtBoolean)});
    Temp.Temporary = true;
    Catalog.AddTable(u"Other", u"Remote", {TORVFakeCatalog::Column(u"R", dtDate)});
    Catalog.AddRoutine(u"Main", u"Tax", false,
                       {TORVFakeCatalog::Column(u"Amount", dtDecimal, 19, 2), TORVFakeCatalog::Column(u"Rate", dtFloat)});
    Catalog.AddRoutine(u"Main", u"Purge", true, {TORVFakeCatalog::Column(u"Before", dtDate)});
    Catalog.Collations.push_back({u"DEU_CI", 1031 | (1 << 20)});
  }

  TORVFakeCatalog Catalog;
};

TEST_F(FakeCatalogExprTest, BindsTablesColumnsCollationsAndRoutinesThroughTheCallbacks) {
  TORVFakeCatalogExpr Expr(&Catalog, u"Main");
  TTree Table(ReadTokens(u"(TABLEREF :name \"orders\")"));
  Expr.BindReference(Table.get(), ttTABLEREF, false);
  TTree Column(ReadTokens(u"(COLUMNREF :name \"note\")"));
  Column->FSourceToken = Table.get();
  Expr.BindReference(Column.get(), ttCOLUMNREF, false);
  EXPECT_EQ(Column->FDataType, dtCharacter);
  EXPECT_EQ(Column->FLength, 40);
  EXPECT_EQ(Column->FPosition, 1);
  EXPECT_TRUE(Expr.TextIndexExists(Column.get()));
  EXPECT_TRUE(Expr.ColumnExists(Table.get(), Column.get()));

  // A temporary table hides the permanent one of the same name, unless
  // temporary objects are left out.
  TTree ScratchTable(ReadTokens(u"(TABLEREF :name \"Scratch\")"));
  TTree Kept(ReadTokens(u"(COLUMNREF :name \"Kept\")"));
  Kept->FSourceToken = ScratchTable.get();
  Expr.BindReference(Kept.get(), ttCOLUMNREF, false);
  EXPECT_EQ(Kept->FDataType, dtInteger);
  Expr.BindReference(Kept.get(), ttCOLUMNREF, true);
  EXPECT_EQ(Kept->FDataType, dtBoolean);

  TTree Collation(ReadTokens(u"(COLLATIONREF :name \"deu_ci\")"));
  Expr.BindReference(Collation.get(), ttCOLLATIONREF, true);
  EXPECT_EQ(Collation->FCollation, 1031 | (1 << 20));

  TTree Call(ReadTokens(u"(PROCREF :name \"Purge\")"));
  Expr.BindReference(Call.get(), ttPROCREF, true);
  EXPECT_EQ(Expr.Found, (std::vector<TORVString>{u"table orders", u"column note", u"column Kept", u"column Kept", u"procedure Purge"}));

  TTree Param(Expr.GetFunctionParamToken(u"TAX", 0));
  ASSERT_NE(Param, nullptr);
  EXPECT_EQ(Param->FDataType, dtDecimal);
  EXPECT_EQ(Param->FScale, 2);
  EXPECT_EQ(Expr.GetFunctionParamToken(u"Tax", 2), nullptr);
  EXPECT_EQ(Expr.GetFunctionParamToken(u"Purge", 0), nullptr);
  TTree ProcParam(Expr.GetProcedureParamToken(u"Purge", 0));
  ASSERT_NE(ProcParam, nullptr);
  EXPECT_EQ(ProcParam->FDataType, dtDate);
}

TEST_F(FakeCatalogExprTest, MissingNamesRaiseTheExpressionErrorAtTheToken) {
  TORVFakeCatalogExpr Expr(&Catalog, u"Main");
  Expr.SetTypeName(u"view");
  TTree Table(ReadTokens(u"\n\n   (TABLEREF :name \"Nowhere\")"));
  try {
    Expr.BindReference(Table.get(), ttTABLEREF, true);
    FAIL() << "bound a missing table";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), 700);
    EXPECT_EQ(Error.ErrorMsg(),
              u"An error was found in the view at line 3 and column 4 (The table Nowhere does not exist)");
  }
  EXPECT_FALSE(Expr.ColumnExists(Table.get(), Table.get()));
}

TEST_F(FakeCatalogExprTest, CountsCatalogReadsOfOtherDatabases) {
  TORVFakeCatalogExpr Expr(&Catalog, u"Main");
  TTree Local(ReadTokens(u"(TABLEREF :name \"Orders\" :db \"main\")"));
  TTree Remote(ReadTokens(u"(TABLEREF :name \"Remote\" :db \"Other\")"));
  Expr.BeginReadTokenCatalog(Local.get());
  Expr.BeginReadTokenCatalog(Remote.get());
  EXPECT_EQ(Expr.BeginReadCount, 1);
  EXPECT_FALSE(Local->FDatabaseOpen);
  EXPECT_TRUE(Remote->FDatabaseOpen);
  Expr.BindReference(Remote.get(), ttTABLEREF, true);
  Expr.EndReadTokenCatalog(Local.get());
  Expr.EndReadTokenCatalog(Remote.get());
  Expr.EndReadTokenCatalog(Remote.get());
  EXPECT_EQ(Expr.EndReadCount, 1);
  EXPECT_FALSE(Remote->FDatabaseOpen);

  TTree Use(ReadTokens(u"(DATABASE :name \"Other\")"));
  Expr.UseDatabase(Use.get());
  EXPECT_EQ(Expr.GetCurrentDatabase(), u"Other");
  EXPECT_EQ(Expr.BeginReadCount, 2);
  Expr.UnlockDatabase(Use.get());
  Expr.UseDatabase(nullptr);
  EXPECT_EQ(Expr.GetCurrentDatabase(), u"Main");
  EXPECT_EQ(Expr.EndReadCount, 2);
}

TEST_F(FakeCatalogExprTest, BuildWritesSqlThatParsesBackToTheSameTree) {
  TORVFakeCatalogExpr Expr(&Catalog, u"Main");
  Expr.SetExpression(u"(BINARY :op EQ :type 4 (COLUMNREF :name \"ID\" nil nil) (CONST :text \"5\" :type 6))");
  Expr.Compile();
  EXPECT_EQ(Expr.Build(nullptr, false, false, false), u"\"ID\" = 5");
  EXPECT_EQ(Expr.Build(Expr.FTokens->GetRightToken(), false, false, false), u"5");
  EXPECT_EQ(Expr.GetPlan(), u"\"ID\" = 5");

  // A fake that parses SQL, as the catalog's expressions do.
  TORVParseFunc Parse = [this](const TORVString& Source) {
    TORVFakeCatalogExpr Sql(&Catalog, u"Main");
    Sql.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, TORVParseOptions{poAllowSchemaQualifier, poAllowTableQualifier});
    };
    Sql.SetExpression(Source);
    return Sql.Parse();
  };
  TORVBuildFunc Build = [&Expr](const TORVExprToken* Token) {
    return Expr.Build(const_cast<TORVExprToken*>(Token), false, false, false);
  };
  EXPECT_TRUE(RoundTrips(u"Orders.ID = 5 AND NOT (Note LIKE 'x%' OR UPPER(Note) = 'Y')", Parse, Build));
}

TEST_F(FakeCatalogExprTest, FilterBindsItsTableAndChoosesIndexes) {
  TORVFakeFilterExpr Filter(&Catalog, u"Main", u"Orders");
  EXPECT_EQ(Filter.GetTypeName(), u"filter expression");
  Filter.RowSize = 64;
  Filter.RowCount = 1000;
  Filter.Indexes.push_back({u"ID", u"PK", 0});
  TORVString Name;
  Filter.GetRowTableName(Name);
  EXPECT_EQ(Name, u"Orders");
  EXPECT_EQ(Filter.GetRowSize(), 64);
  EXPECT_EQ(Filter.GetRowCount(), 1000);

  Filter.SetExpression(
      u"(BINARY :op AND (BINARY :op EQ (COLUMNREF :name \"id\") (CONST :text \"5\"))"
      u" (EXTBINARY :op LIKE (COLUMNREF :name \"Note\") (CONST :text \"x%\")))");
  Filter.OnValidate = [](TORVFakeCatalogExpr& Self) {
    TORVExprToken* Root = Self.FTokens;
    Self.BindReference(Root->GetLeftToken()->GetLeftToken(), ttCOLUMNREF, false);
    Self.BindReference(Root->GetRightToken()->GetArgument(0), ttCOLUMNREF, false);
  };
  Filter.Compile();
  TORVExprToken* Eq = Filter.FTokens->GetLeftToken();
  TORVExprToken* Like = Filter.FTokens->GetRightToken();
  EXPECT_EQ(Eq->GetLeftToken()->FDataType, dtInteger);

  Filter.FCostOptimization = true;
  Filter.SetOptimization(Eq);
  EXPECT_EQ(Eq->FOptimizeType, 2);
  EXPECT_EQ(Eq->FOptimizeName, u"Orders.PK");
  EXPECT_EQ(Eq->FOptimizeNumber, 0);
  EXPECT_EQ(Eq->FOptimizeCount, 100);
  Filter.SetOptimization(Like);
  EXPECT_EQ(Like->FOptimizeType, 0);
  EXPECT_EQ(Like->FOptimizeName, u"Orders");
  EXPECT_EQ(Like->FOptimizeHintName, u"Note");

  // A changed condition is only decompiled.
  Filter.SetExpression(u"(CONST)");
  EXPECT_FALSE(Filter.GetCompiled());
}

}  // namespace
}  // namespace orv
