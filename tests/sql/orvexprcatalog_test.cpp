#include "sql/orvexprcatalog.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "core/orvtypefunc.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::DumpTokens;
using test::ReadTokens;
using test::TORVFakeCatalog;

struct TTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTree = std::unique_ptr<TORVExprToken, TTreeDeleter>;

TORVColumnDescriptor HiddenColumn(const TORVString& Name) {
  TORVColumnDescriptor Column = TORVFakeCatalog::Column(Name, dtInteger);
  Column.Hidden = true;
  return Column;
}

// SELECT a, *, b FROM t x, u
class ExpandSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Query.reset(ReadTokens(
        u"(QUERY (CLAUSE) (CLAUSE)"
        u" (CLAUSE :op ALL (SELECTCOLUMN :text \"a\" (COLUMNREF :name \"a\"))"
        u"   (SELECTCOLUMN :text \"*\" (COLUMNREF :name \"*\" nil nil))"
        u"   (SELECTCOLUMN :text \"b\" (COLUMNREF :name \"b\")))"
        u" nil nil nil"
        u" (CLAUSE (TABLEREF :name \"t\" :alias \"x\" nil (CLAUSE) (CLAUSE))"
        u"         (TABLEREF :name \"u\" :db \"Other\" nil (CLAUSE) (CLAUSE)))"
        u" nil nil nil nil nil)"));
    Select = Query->GetArgument(QuerySelectSlot);
    T = Query->GetArgument(QueryFromSlot)->GetArgument(0);
    U = Query->GetArgument(QueryFromSlot)->GetArgument(1);
    std::vector<TORVColumnDescriptor> TColumns{TORVFakeCatalog::Column(u"id", dtInteger), HiddenColumn(u"__RowID"),
                                               TORVFakeCatalog::Column(u"name", dtCharacter, 30, 0, 1033)};
    std::vector<TORVColumnDescriptor> UColumns{TORVFakeCatalog::Column(u"amount", dtDecimal, 19, 2)};
    for (size_t I = 0; I < TColumns.size(); ++I) TColumns[I].Position = static_cast<int32_t>(I);
    Columns = [TColumns, UColumns, this](TORVExprToken* Table) {
      if (Table == T) return TColumns;
      if (Table == U) return UColumns;
      throw EORVException(700, u"unknown table");
    };
  }

  std::vector<std::string> SelectNames() const {
    std::vector<std::string> Names;
    for (int32_t I = 0; I < Select->GetNumArguments(); ++I) {
      Names.push_back(StringToUtf8(Select->GetArgument(I)->FTokenConstant));
    }
    return Names;
  }

  TTree Query;
  TORVExprToken* Select = nullptr;
  TORVExprToken* T = nullptr;
  TORVExprToken* U = nullptr;
  TORVTableColumnsFunc Columns;
};

TEST_F(ExpandSelectTest, BareStarBecomesTheVisibleColumnsOfEveryFromTable) {
  int32_t Position = 1;
  ExpandSelectColumns(Query.get(), nullptr, Position, Select->GetArgument(1), Columns);
  EXPECT_EQ(Position, 4);
  EXPECT_EQ(SelectNames(), (std::vector<std::string>{"a", "id", "name", "amount", "b"}));

  TORVExprToken* Name = Select->GetArgument(2);
  EXPECT_EQ(Name->FUpperToken, Select);
  EXPECT_EQ(Name->FPosition, 2);
  TORVExprToken* NameRef = Name->GetArgument(0);
  EXPECT_EQ(DumpTokens(NameRef), "(COLUMNREF :name \"name\" :source \"x\" :type 1 :len 30 :coll 1033 nil nil)");
  EXPECT_EQ(NameRef->FSourceToken, T);
  EXPECT_EQ(NameRef->FPosition, 2);
  EXPECT_EQ(NameRef->FCorrelationDescription, u"name column");
  EXPECT_EQ(Name->FDataType, dtCharacter);

  // Without an alias the qualifier is the table's name and database.
  TORVExprToken* AmountRef = Select->GetArgument(3)->GetArgument(0);
  EXPECT_EQ(AmountRef->FSourceName, u"u");
  EXPECT_EQ(AmountRef->FDatabaseName, u"Other");
  EXPECT_EQ(AmountRef->FSourceToken, U);
}

TEST_F(ExpandSelectTest, QualifiedStarTakesOneTableOnly) {
  int32_t Position = 1;
  ExpandSelectColumns(Query.get(), U, Position, Select->GetArgument(1), Columns);
  EXPECT_EQ(Position, 2);
  EXPECT_EQ(SelectNames(), (std::vector<std::string>{"a", "amount", "b"}));
}

TEST_F(ExpandSelectTest, AFailingLookUpLeavesTheQueryAsItWas) {
  std::string Before = DumpTokens(Query.get());
  int32_t Position = 1;
  TORVTableColumnsFunc Failing = [this](TORVExprToken* Table) {
    if (Table == U) throw EORVException(700, u"no such table");
    return Columns(Table);
  };
  EXPECT_THROW(ExpandSelectColumns(Query.get(), nullptr, Position, Select->GetArgument(1), Failing),
               EORVException);
  EXPECT_EQ(Position, 1);
  EXPECT_EQ(DumpTokens(Query.get()), Before);
  EXPECT_THROW(ExpandSelectColumns(Query.get(), nullptr, Position, Select->GetArgument(0), Columns),
               std::invalid_argument);
}

TEST(ExpandInsertColumns, AppendsOneBoundReferencePerColumnInOrder) {
  TTree Table(ReadTokens(u"(TABLEREF :name \"t\")"));
  TTree List(ReadTokens(u"(CLAUSE)"));
  std::vector<TORVColumnDescriptor> Columns{TORVFakeCatalog::Column(u"id", dtInteger), HiddenColumn(u"h"),
                                            TORVFakeCatalog::Column(u"v", dtCharacter, 10)};
  ExpandInsertColumns(Table.get(), List.get(), Columns);
  EXPECT_EQ(DumpTokens(List.get()),
            "(CLAUSE (COLUMNREF :name \"id\" :type 6 nil nil) (COLUMNREF :name \"h\" :type 6 nil nil)"
            " (COLUMNREF :name \"v\" :type 1 :len 10 nil nil))");
  EXPECT_EQ(List->GetArgument(1)->FSourceToken, Table.get());
}

TEST(AssignColumnToToken, AViewColumnTakesItsOriginPositionAndName) {
  TORVColumnDescriptor Column = TORVFakeCatalog::Column(u"Total", dtDecimal, 19, 4);
  Column.Position = 1;
  TORVExprToken Plain;
  AssignColumnToToken(&Plain, Column);
  EXPECT_EQ(Plain.FPosition, 1);
  EXPECT_EQ(Plain.FOriginName, u"");
  EXPECT_EQ(Plain.FScale, 4);

  Column.OriginName = u"Amount";
  Column.OriginPosition = 6;
  TORVExprToken ViewColumn;
  AssignColumnToToken(&ViewColumn, Column);
  EXPECT_EQ(ViewColumn.FPosition, 6);
  EXPECT_EQ(ViewColumn.FOriginName, u"Amount");
}

TEST(MakeParamToken, TypesANewParameterOrGivesNilOutsideTheList) {
  std::vector<TORVColumnDescriptor> Params{TORVFakeCatalog::Column(u"p1", dtInteger),
                                           TORVFakeCatalog::Column(u"p2", dtCharacter, 20, 0, 1033)};
  Params[1].Position = 1;
  EXPECT_EQ(MakeParamToken(Params, -1), nullptr);
  EXPECT_EQ(MakeParamToken(Params, 2), nullptr);
  TTree Param(MakeParamToken(Params, 1));
  ASSERT_NE(Param, nullptr);
  EXPECT_EQ(DumpTokens(Param.get()), "(PARAM :name \"p2\" :type 1 :len 20 :coll 1033)");
  EXPECT_EQ(Param->FPosition, 1);
}

TEST(RunValidation, UnlocksOnlyWhenValidationFailsAndKeepsItsError) {
  int32_t Unlocks = 0;
  RunValidation([] {}, [&Unlocks] { ++Unlocks; });
  EXPECT_EQ(Unlocks, 0);

  try {
    RunValidation([] { throw EORVException(700, u"validation"); },
                  [&Unlocks] {
                    ++Unlocks;
                    throw EORVException(300, u"unlock");
                  });
    FAIL() << "no error";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), 700);
    EXPECT_EQ(Error.ErrorMsg(), u"validation");
  }
  EXPECT_EQ(Unlocks, 1);
}

// An expression whose Parse is the shared half with the options a catalog
// expression uses, over a real parser.
class TQualifiedExpr : public TORVCompiledExpr {
 public:
  TQualifiedExpr(TORVExprParser& Parser, TORVParseOptions Options) : FParser(Parser), FOptions(Options) {}
  TORVExprToken* Parse() override { return ParseExprWithOptions(FParser, *this, FOptions); }

 private:
  TORVExprParser& FParser;
  TORVParseOptions FOptions;
};

TEST(ParseWithOptions, CompilesThroughTheRealParserUnderTheCallersOptions) {
  TORVExprParser Parser;
  struct Case {
    const char* text;
    bool allowQualifiers;
    bool compiles;
    const char* error;
  } cases[] = {
      {"t.a + 1", true, true, ""},
      {"t.a + 1", false, false, "line 1 and column 2 (Invalid expression . found, table qualifier not allowed)"},
      {"a +", true, false, "line 1 and column 3 (Missing expression)"},
  };
  for (const auto& c : cases) {
    TORVParseOptions Options;
    if (c.allowQualifiers) Options = {poAllowSchemaQualifier, poAllowTableQualifier};
    TQualifiedExpr Expr(Parser, Options);
    Expr.SetExpression(Utf8ToString(c.text));
    if (c.compiles) {
      Expr.Compile();
      EXPECT_TRUE(Expr.GetCompiled()) << c.text;
      EXPECT_NE(Expr.FTokens, nullptr) << c.text;
      continue;
    }
    try {
      Expr.Compile();
      ADD_FAILURE() << c.text << " compiled";
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), 700) << c.text;
      EXPECT_NE(StringToUtf8(E.ErrorMsg()).find(c.error), std::string::npos) << StringToUtf8(E.ErrorMsg());
    }
    EXPECT_FALSE(Expr.GetCompiled()) << c.text;
    EXPECT_EQ(Expr.FTokens, nullptr) << c.text;
  }
}

TEST(ParseWithOptions, QueryTextParsesAsOneQuery) {
  TORVExprParser Parser;
  class TViewExpr : public TORVCompiledExpr {
   public:
    explicit TViewExpr(TORVExprParser& P) : FParser(P) {}
    TORVExprToken* Parse() override { return ParseQueryWithOptions(FParser, *this, TORVParseOptions{}); }
    TORVExprParser& FParser;
  } View(Parser);
  View.SetExpression(u"SELECT a FROM t WHERE b > 1");
  View.Compile();
  ASSERT_NE(View.FTokens, nullptr);
  EXPECT_EQ(View.FTokens->FTokenType, ttQUERY);
}

}  // namespace
}  // namespace orv
