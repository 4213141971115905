// Function validators and data types beyond what the validate corpus can
// state: dynamic parameters (which need a query to be declared in), trees the
// parser never builds, and the catalog's temporary parameter copies.
#include <gtest/gtest.h>

#include <string>

#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using namespace orv::test;

// The WHERE condition of a query over the validate corpus's catalog,
// validated as a condition, with its "?" declared in the query's parameter
// list; or a tree written out, validated as an expression over Customer.
class FunctionValidaterTest : public ::testing::Test {
 protected:
  FunctionValidaterTest() {
    AddValidateCorpusCatalog(Catalog);
    Catalog.AddDatabase(u"Other");
    Catalog.AddRoutine(u"Other", u"Twice", false, {TORVFakeCatalog::Column(u"n", dtBigInt)}).Result =
        TORVFakeCatalog::Column(u"Result", dtBigInt);
    Expr.OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      if (FQuery) {
        Validater.ValidateNextToken(Where());
      } else {
        Validater.Validate();
      }
    };
    Expr.OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Unlock();
    };
  }

  // "" when the WHERE condition of Sql validates, else the error as the
  // corpus writes it.
  std::string CompileWhere(const std::string& Sql) {
    FQuery = true;
    Expr.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseQueryWithOptions(Parser, Self,
                                   TORVParseOptions{poAllowQueries, poAllowParameters, poAllowTableQualifier});
    };
    return Compile(Utf8ToString(Sql));
  }

  // The same for a tree as DumpTokens writes it.
  std::string CompileTree(const TORVString& Tree) {
    FQuery = false;
    Expr.OnParse = nullptr;
    return Compile(Tree);
  }

  std::string Compile(const TORVString& Text) {
    Expr.SetExpression(Text);
    try {
      Expr.Compile();
      return "";
    } catch (const EORVException& E) {
      return CorpusErrorText(E, "filter expression");
    }
  }

  TORVExprToken* Where() { return SlotOf(SlotOf(Expr.FTokens, QueryWhereSlot), ClauseValueSlot); }
  // The declared parameters as DumpTokens writes them.
  std::string Parameters() { return DumpTokens(SlotOf(Expr.FTokens, QueryParametersSlot)); }

  TORVFakeCatalog Catalog;
  TORVFakeFilterExpr Expr{&Catalog, u"Main", u"Customer"};
  TORVExprValidater Validater;
  bool FQuery = false;
};

// One parameter declaration of the given type, as DumpTokens writes it.
std::string Declared(int Number, int DataType) {
  return "(DYNPARAM :op INPUT :name \"Parameter" + std::to_string(Number) + "\" :type " + std::to_string(DataType) +
         ")";
}

TEST_F(FunctionValidaterTest, ParametersTakeTheTypeTheirFunctionExpects) {
  struct TCase {
    const char* Condition;
    int DataType;
  };
  const TCase Cases[] = {
      {"UPPER(?) = Name", dtCharacter},
      {"LEFT(Name, ?) = 'a'", dtInteger},
      {"ABS(?) > 1", dtFloat},
      {"EXTRACT(YEAR FROM ?) = 1", dtTimeStamp},
      {"IF(? THEN 1 ELSE 2) = 1", dtBoolean},
      {"CASE WHEN ? THEN 1 END = 1", dtBoolean},
      // Candidate results: from the first typed one.
      {"COALESCE(?, Big) = 1", dtBigInt},
      {"IFNULL(Name THEN ? ELSE Rate) = 1", dtFloat},
      // A user-defined function's parameter.
      {"Greet('a', ?) = 'b'", dtSmallInt},
      {"RAND(?) = 1", dtInteger},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Condition);
    ASSERT_EQ(CompileWhere(std::string("SELECT ID FROM Customer WHERE ") + Case.Condition), "");
    EXPECT_EQ(Parameters(), "(CLAUSE " + Declared(1, Case.DataType) + ")");
  }
  // A character parameter has no length of its own, whatever the length of
  // the text beside it.
  ASSERT_EQ(CompileWhere("SELECT ID FROM Customer WHERE CONCAT(?, Title) = 'a'"), "");
  EXPECT_EQ(Where()->GetLeftToken()->FLength, 20);
}

TEST_F(FunctionValidaterTest, ParametersWithoutATypeToTakeAreRefusedOrLeftUntyped) {
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE COALESCE(?, ?, NULL) = 1"),
            "!1:40 Invalid expression ? found, dynamic parameter type cannot be inferred");
  // IFNULL's tested value may be anything, so its parameter stays untyped.
  EXPECT_EQ(
      CompileWhere("SELECT ID FROM Customer WHERE SUBSTRING(Name, 1, ?) = 'a' AND LENGTH(?) > IFNULL(?, 1, 2)"), "");
  EXPECT_EQ(Parameters(), "(CLAUSE " + Declared(1, dtInteger) + " " + Declared(2, dtCharacter) +
                              " (DYNPARAM :op INPUT :name \"Parameter3\"))");
  // A cast does not type the value it converts, so the comparison beside it
  // cannot either.
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE CAST(? AS INTEGER) = 1"), "");
  EXPECT_EQ(Parameters(), "(CLAUSE (DYNPARAM :op INPUT :name \"Parameter1\"))");
  // The quote character of a parameter is checked when its value is known.
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE QUOTEDSTR(Name, ?) = 'a'"), "");
  EXPECT_EQ(Parameters(), "(CLAUSE " + Declared(1, dtCharacter) + ")");
}

TEST_F(FunctionValidaterTest, FunctionsTheParserNeverBuildsAreStillChecked) {
  // SUMSQUARE is not written in SQL; aggregates that the engine derives use
  // it.
  EXPECT_EQ(CompileTree(u"(FUNCREF :op SUMSQUARE (COLUMNREF :name \"Name\" nil nil))"), "");
  EXPECT_EQ(Expr.FTokens->FDataType, dtFloat);
  EXPECT_EQ(CompileTree(u"(FUNCREF :op SUMSQUARE (ROWVALUE (CONST :text \"1\" :type 6)))"),
            "!1:24 Invalid expression (1) found, row values not allowed");
  // A function word without a validator keeps the type its parser gave it.
  EXPECT_EQ(CompileTree(u"(FUNCREF :op CURDATE :type 10)"), "");
  EXPECT_EQ(Expr.FTokens->FDataType, dtDate);
}

TEST_F(FunctionValidaterTest, AFunctionOfAnotherDatabaseIsReadThereAndItsParameterCopiesFreed) {
  // Twice of Other returns a BigInt, Main's an Integer.
  EXPECT_EQ(CompileTree(u"(FUNCREF :op UDF :name \"Twice\" :db \"Other\" (COLUMNREF :name \"Big\" nil nil))"), "");
  EXPECT_EQ(Expr.FTokens->FDataType, dtBigInt);
  EXPECT_EQ(Expr.BeginReadCount, 1);
  EXPECT_EQ(CompileTree(u"(FUNCREF :op UDF :name \"Twice\" (COLUMNREF :name \"Born\" nil nil))"),
            "!1:32 Expected NULL, SmallInt, Integer, BigInt, Float, Decimal, Interval Year, Interval Month, Interval "
            "Day, Interval Hour, Interval Minute, Interval Second, or Interval MSecond expression but instead found "
            "\"Born\"");
}

TEST_F(FunctionValidaterTest, DataTypesOutsideTheKnownCodesAreRefused) {
  Validater.Initialize(&Expr);
  for (int32_t Code : {dtUnknown, dtDayTimeInterval + 1, 255}) {
    TORVExprToken DataType;
    DataType.FTokenType = ttDATATYPE;
    DataType.FTokenConstant = u"X";
    DataType.FDataType = Code;
    EXPECT_EQ(ErrorOf([&] { Validater.ValidateDataType(&DataType); }),
              "700 An error was found in the filter expression at line 0 and column 0 (Invalid expression X found, "
              "an invalid or unknown data type was specified)")
        << Code;
  }
  Validater.SetExpr(nullptr);
}

TEST_F(FunctionValidaterTest, LengthsStopAtTheLargestLength) {
  // The largest length itself is a length; one more is not, however it is
  // reached.
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE CAST(Name AS VARCHAR(2147483647)) = 'a'"), "");
  EXPECT_EQ(Where()->GetLeftToken()->FLength, 2147483647);
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE CAST(Name AS VARCHAR(2147483648)) = 'a'"),
            "!1:52 Invalid expression 2147483648 found, an invalid length was specified");
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE REPEAT(Name, 214748365) = 'a'"),
            "!1:44 Invalid expression 214748365 found, an invalid length was specified");
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE REPEAT(Name, 9223372036854775807) = 'a'"),
            "!1:44 Invalid expression 9223372036854775807 found, an invalid length was specified");
  // An empty text repeated any number of times stays empty.
  EXPECT_EQ(CompileWhere("SELECT ID FROM Customer WHERE REPEAT('', 9223372036854775807) = 'a'"), "");
  EXPECT_EQ(Where()->GetLeftToken()->FLength, 0);
}

}  // namespace
}  // namespace orv
