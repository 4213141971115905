#include "sql/orvvalidater.h"

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
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using namespace orv::test;

TEST(ValidaterCorpus, ValidatedExpressionsGiveTheirTypedTreesOrErrors) { EXPECT_GT(RunSqlCorpusValidate(), 0); }

// Whatever the parser accepts, validation types or refuses with the SQL
// error, never with anything else.
TEST(ValidaterCorpus, EveryParsedExpressionOfTheCorpusValidatesOrRaisesTheSqlError) {
  int32_t Count = 0;
  for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
    if (Case.Kind != "expr" && Case.Kind != "build") continue;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    for (bool Filter : {false, true}) {
      std::vector<std::string> Options = Case.Options;
      if (Filter) Options.push_back("filter");
      EXPECT_FALSE(ValidateForCorpus(Case.Sql, Options).empty());
      ++Count;
    }
  }
  EXPECT_GT(Count, 0);
}

// Expressions over the validate corpus's catalog, compiled by hand so that
// a test can reach into the tree between parse and validation.
class ValidaterTest : public ::testing::Test {
 protected:
  ValidaterTest() {
    AddValidateCorpusCatalog(Catalog);
    Expr.OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Unlock();
    };
    Expr.OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      if (BeforeValidate) BeforeValidate(Self);
      if (ParseOnly) return;
      if (WhereOnly) {
        // Queries have validators of their own; their conditions are
        // expressions.
        Validater.ValidateNextToken(SlotOf(SlotOf(Self.FTokens, QueryWhereSlot), ClauseValueSlot));
      } else {
        Validater.Validate();
      }
    };
  }

  // Compiles Sql parsed under Options (as a whole query when it starts with
  // SELECT); "" when it validates, else the error as the corpus writes it.
  std::string Compile(const std::string& Sql, TORVParseOptions Options = TORVParseOptions{}) {
    const bool Query = Sql.starts_with("SELECT");
    WhereOnly = Query;
    Expr.OnParse = [Options, Query](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      if (!Query) return ParseExprWithOptions(Parser, Self, Options);
      TORVParseOptions QueryOptions = Options;
      QueryOptions.Include(poAllowQueries);
      QueryOptions.Include(poAllowTableQualifier);
      QueryOptions.Include(poAllowAllColumns);
      return ParseQueryWithOptions(Parser, Self, QueryOptions);
    };
    Expr.SetExpression(Utf8ToString(Sql));
    try {
      Expr.Compile();
      return "";
    } catch (const EORVException& E) {
      EXPECT_FALSE(Expr.GetCompiled());
      return CorpusErrorText(E, "expression");
    }
  }

  TORVExprToken* Where() { return SlotOf(SlotOf(Expr.FTokens, QueryWhereSlot), ClauseValueSlot); }
  TORVExprToken* Parameters() { return SlotOf(Expr.FTokens, QueryParametersSlot); }

  TORVFakeCatalog Catalog;
  TORVFakeCatalogExpr Expr{&Catalog, u"Main"};
  TORVExprValidater Validater;
  std::function<void(TORVFakeCatalogExpr&)> BeforeValidate;
  bool WhereOnly = false;
  bool ParseOnly = false;
};

TEST(ValidaterTypeLiterals, OneTwoAndManyLiteralsJoinWithOrAndACommaBeforeIt) {
  EXPECT_EQ(TORVExprValidater::GetTypeLiterals(TORVTypeCodeSet{dtBoolean}, AllSubTypeSet()), u"Boolean expression");
  EXPECT_EQ(TORVExprValidater::GetTypeLiterals(TORVTypeCodeSet{dtFloat, dtDecimal}, AllSubTypeSet()),
            u"Float or Decimal expression");
  EXPECT_EQ(TORVExprValidater::GetTypeLiterals(IntegerTypeSet(), AllSubTypeSet()),
            u"SmallInt, Integer, or BigInt expression");
  // Members in the fixed order, not the order of the codes.
  EXPECT_EQ(TORVExprValidater::GetTypeLiterals(TORVTypeCodeSet{dtUnknown, dtCharacter}, CharacterSubTypeSet()),
            u"NULL, Char, GUID, or VarChar expression");
  EXPECT_EQ(TORVExprValidater::GetTokenTypeLiterals({ttCONST}), u"constant value expression");
  EXPECT_EQ(TORVExprValidater::GetTokenTypeLiterals({ttARRAYREF, ttARRAYELEMENTREF, ttVARIABLEREF}),
            u"array variable name, array variable element name, or variable name expression");
}

TEST(ValidaterTypeSets, CodesOutsideTheSetsRangeAreNeverMembers) {
  EXPECT_TRUE(TypeSetContains(AllSubTypeSet(), 255));
  EXPECT_FALSE(TypeSetContains(AllSubTypeSet(), 256));
  EXPECT_FALSE(TypeSetContains(AllSubTypeSet(), -1));
  EXPECT_FALSE(TypeSetContains(AllTypeSet(), dtUnknown));
}

// Whether a value of a type passes the assignment sets of a target type.
bool Assignable(int32_t TargetType, int32_t TargetSubType, int32_t ValueType, int32_t ValueSubType) {
  TORVExprToken Value;
  Value.FDataType = ValueType;
  Value.FSubType = ValueSubType;
  TORVTypeCodeSet Types;
  TORVTypeCodeSet SubTypes;
  TORVExprValidater::GetCompatibleTypeInfo(&Value, TargetType, TargetSubType, Types, SubTypes);
  return TypeSetContains(Types, ValueType) && TypeSetContains(SubTypes, ValueSubType);
}

TEST(ValidaterAssignment, TargetsAcceptTheirCompatibleValues) {
  struct TCase {
    int32_t TargetType, TargetSubType, ValueType, ValueSubType;
    bool Accepted;
  };
  const TCase Cases[] = {
      {dtYearMonthInterval, stYearToMonth, dtYearMonthInterval, stMonth, true},
      {dtDayTimeInterval, stDayToHour, dtDayTimeInterval, stHour, false},
      {dtDayTimeInterval, stDayToHour, dtDayTimeInterval, stDayToSecond, true},
      {dtDayTimeInterval, stMinuteToSecond, dtDayTimeInterval, stMinute, true},
      {dtDayTimeInterval, stHour, dtInteger, stNone, true},
      {dtDayTimeInterval, stHour, dtDayTimeInterval, stMinute, false},
      {dtCharacter, stChar, dtLargeObject, stClob, true},
      {dtCharacter, stVarChar, dtLargeObject, stBlob, false},
      {dtLargeObject, stClob, dtLargeObject, stBlob, false},
      {dtLargeObject, stBlob, dtBytes, stByte, true},
      {dtLargeObject, stClob, dtInteger, stNone, false},
      {dtLargeObject, stClob, dtUnknown, stNone, true},
      {dtTimeStamp, stNone, dtDate, stNone, true},
      {dtDate, stNone, dtTimeStamp, stNone, false},
      {dtBoolean, stNone, dtSmallInt, stNone, true},
      {dtInteger, stNone, dtDayTimeInterval, stDay, true},
      {dtInteger, stNone, dtDayTimeInterval, stDayToHour, false},
      {dtFloat, stNone, dtBoolean, stNone, false},
      {dtUnknown, stNone, dtInteger, stNone, false},
      {dtUnknown, stNone, dtUnknown, stNone, false},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(Assignable(Case.TargetType, Case.TargetSubType, Case.ValueType, Case.ValueSubType), Case.Accepted)
        << StringToUtf8(DataTypeToString(Case.ValueType, Case.ValueSubType)) << " to "
        << StringToUtf8(DataTypeToString(Case.TargetType, Case.TargetSubType));
  }
}

// Value becomes a column V of the type, as the checks see it.
void MakeColumnV(TORVExprToken& Value, int32_t DataType, int32_t SubType) {
  Value.FTokenType = ttCOLUMNREF;
  Value.FName = u"V";
  Value.FDataType = DataType;
  Value.FSubType = SubType;
}

TEST_F(ValidaterTest, CastsFollowTheCastMatrix) {
  struct TCase {
    int32_t ValueType, ValueSubType, TargetType, TargetSubType;
    const char* Error;  // "" when the cast is allowed
  };
  const TCase Cases[] = {
      {dtLargeObject, stClob, dtInteger, stNone,
       "Expected Char, VarChar, Byte, VarByte, Boolean, SmallInt, Integer, BigInt, Float, Decimal, Interval Year, "
       "Interval Month, Interval Day, Interval Hour, Interval Minute, Interval Second, or Interval MSecond "
       "expression but instead found \"V\""},
      {dtCharacter, stGUID, dtDate, stNone, "Expected Char, VarChar, Byte, VarByte, Date, or Timestamp expression "
                                            "but instead found \"V\""},
      {dtCharacter, stGUID, dtCharacter, stVarChar, ""},
      {dtLargeObject, stBlob, dtBytes, stVarByte, ""},
      {dtYearMonthInterval, stMonth, dtInteger, stNone, ""},
      {dtDayTimeInterval, stDayToHour, dtBigInt, stNone,
       "Expected Char, VarChar, Byte, VarByte, Boolean, SmallInt, Integer, BigInt, Float, Decimal, Interval Year, "
       "Interval Month, Interval Day, Interval Hour, Interval Minute, Interval Second, or Interval MSecond "
       "expression but instead found \"V\""},
      {dtInteger, stNone, dtDayTimeInterval, stSecond, ""},
      {dtInteger, stNone, dtDayTimeInterval, stDayToSecond,
       "Expected Char, VarChar, Byte, VarByte, Interval Day, Interval Day To Hour, Interval Day To Minute, Interval "
       "Day To Second, Interval Day To MSecond, Interval Hour, Interval Hour To Minute, Interval Hour To Second, "
       "Interval Hour To MSecond, Interval Minute, Interval Minute To Second, Interval Minute To MSecond, Interval "
       "Second, Interval Second To MSecond, or Interval MSecond expression but instead found \"V\""},
      {dtTime, stNone, dtDate, stNone, "Expected Char, VarChar, Byte, VarByte, Date, or Timestamp expression but "
                                       "instead found \"V\""},
      {dtTimeStamp, stNone, dtTime, stNone, ""},
      {dtUnknown, stNone, dtCharacter, stVarChar,
       "Expected Char, GUID, VarChar, Byte, GUID, VarByte, CLOB, BLOB, Boolean, SmallInt, Integer, BigInt, Float, "
       "Decimal, Date, Time, Timestamp, Interval Year, Interval Year To Month, Interval Month, Interval Day, "
       "Interval Day To Hour, Interval Day To Minute, Interval Day To Second, Interval Day To MSecond, Interval "
       "Hour, Interval Hour To Minute, Interval Hour To Second, Interval Hour To MSecond, Interval Minute, Interval "
       "Minute To Second, Interval Minute To MSecond, Interval Second, Interval Second To MSecond, or Interval "
       "MSecond expression but instead found \"V\""},
  };
  for (const TCase& Case : Cases) {
    TORVExprToken Value;
    MakeColumnV(Value, Case.ValueType, Case.ValueSubType);
    TORVExprToken Target;
    Target.FTokenType = ttDATATYPE;
    Target.FDataType = Case.TargetType;
    Target.FSubType = Case.TargetSubType;
    Validater.Initialize(&Expr);
    std::string Error = ErrorOf([&] { Validater.CheckCastTypes(&Value, &Target); });
    std::string Expected = *Case.Error == 0 ? "no error"
                                            : "700 An error was found in the expression at line 0 and column 0 (" +
                                                  std::string(Case.Error) + ")";
    EXPECT_EQ(Error, Expected) << StringToUtf8(DataTypeToString(Case.ValueType, Case.ValueSubType)) << " to "
                               << StringToUtf8(DataTypeToString(Case.TargetType, Case.TargetSubType));
  }
}

TEST_F(ValidaterTest, CategoryChecksAcceptTheirTypes) {
  using TCheck = void (TORVExprValidater::*)(TORVExprToken*);
  struct TCase {
    TCheck Check;
    int32_t DataType, SubType;
    const char* Error;  // "" when accepted
  };
  const TCase Cases[] = {
      {&TORVExprValidater::CheckStringTypes, dtCharacter, stGUID, ""},
      {&TORVExprValidater::CheckStringTypes, dtLargeObject, stClob, ""},
      {&TORVExprValidater::CheckStringTypes, dtLargeObject, stBlob, "Expected CLOB expression"},
      {&TORVExprValidater::CheckStringTypes, dtInteger, stNone, "Expected Char, GUID, or VarChar expression"},
      {&TORVExprValidater::CheckStringBlobTypes, dtLargeObject, stClob, ""},
      {&TORVExprValidater::CheckStringBlobTypes, dtLargeObject, stBlob,
       "Expected Char, GUID, VarChar, or CLOB expression"},
      {&TORVExprValidater::CheckNonBlobTypes, dtLargeObject, stClob, "Invalid expression"},
      {&TORVExprValidater::CheckNonBlobTypes, dtBytes, stByte, ""},
      {&TORVExprValidater::CheckBooleanTypes, dtBigInt, stNone, ""},
      {&TORVExprValidater::CheckBooleanTypes, dtFloat, stNone,
       "Expected Boolean, SmallInt, Integer, or BigInt expression"},
      {&TORVExprValidater::CheckNumericTypes, dtDayTimeInterval, stDay,
       "Expected SmallInt, Integer, BigInt, Float, or Decimal expression"},
      {&TORVExprValidater::CheckNumericIntervalTypes, dtDayTimeInterval, stDayToHour, ""},
      {&TORVExprValidater::CheckNumericDateTimeIntervalTypes, dtTime, stNone, ""},
      {&TORVExprValidater::CheckNumericDateTimeIntervalTypes, dtBoolean, stNone, "Expected SmallInt"},
      {&TORVExprValidater::CheckIntegerTypes, dtDecimal, stNone, "Expected SmallInt, Integer, or BigInt expression"},
      {&TORVExprValidater::CheckDateTypes, dtTimeStamp, stNone, "Expected Date expression"},
      {&TORVExprValidater::CheckTimeTypes, dtTime, stNone, ""},
  };
  for (const TCase& Case : Cases) {
    TORVExprToken Value;
    MakeColumnV(Value, Case.DataType, Case.SubType);
    Validater.Initialize(&Expr);
    std::string Error = ErrorOf([&] { (Validater.*Case.Check)(&Value); });
    SCOPED_TRACE(StringToUtf8(DataTypeToString(Case.DataType, Case.SubType)));
    if (*Case.Error == 0) {
      EXPECT_EQ(Error, "no error");
    } else {
      EXPECT_NE(Error.find(std::string("(") + Case.Error), std::string::npos) << Error;
    }
  }
}

TEST_F(ValidaterTest, DynamicParametersTakeTheTypeBesideThemAndAreDeclaredInTextOrder) {
  const TORVParseOptions Params{poAllowParameters};
  ASSERT_EQ(Compile("SELECT ID FROM Customer WHERE ? = ID AND Name = ? AND Born < ?", Params), "");
  ASSERT_EQ(DumpTokens(Parameters()),
            "(CLAUSE (DYNPARAM :op INPUT :name \"Parameter1\" :type 6) (DYNPARAM :op INPUT :name \"Parameter2\" "
            ":type 1) (DYNPARAM :op INPUT :name \"Parameter3\" :type 10))");
  for (int32_t I = 0; I < 3; ++I) EXPECT_EQ(Parameters()->GetArgument(I)->FPosition, I);
  // The references take their declarations' types; a character parameter
  // has no length of its own.
  EXPECT_EQ(DumpTokens(Where()->GetLeftToken()),
            "(BINARY :op AND :type 4 (BINARY :op EQ :type 4 (DYNPARAMREF :type 6) (COLUMNREF :name \"ID\" :type 6 "
            "nil nil)) (BINARY :op EQ :type 4 (COLUMNREF :name \"Name\" :type 1 :len 10 nil nil) (DYNPARAMREF "
            ":type 1)))");
  EXPECT_EQ(Where()->GetRightToken()->GetRightToken()->FSourceToken, Parameters()->GetArgument(2));
}

TEST_F(ValidaterTest, DynamicParametersWithoutATypeBesideThemAreRefused) {
  const TORVParseOptions Params{poAllowParameters};
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ? = ?", Params),
            "!1:31 Invalid expression ? found, dynamic parameter type cannot be inferred");
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE -? = 1", Params),
            "!1:32 Invalid expression ? found, dynamic parameter type cannot be inferred");
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ? IN (?, ?)", Params),
            "!1:31 Invalid expression ? found, dynamic parameter type cannot be inferred");
  // MOD gives its parameters no type, so they fail its operand sets.
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ? MOD 2 = 1", Params),
            "!1:31 Expected SmallInt, Integer, BigInt, Interval Year, Interval Month, Interval Day, Interval Hour, "
            "Interval Minute, Interval Second, or Interval MSecond expression but instead found ?");
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE Name LIKE ? AND ? LIKE 'a%'", Params), "");
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ? LIKE ?", Params),
            "!1:31 Invalid expression ? found, dynamic parameter type cannot be inferred");
}

TEST_F(ValidaterTest, ParametersOfAListTakeTheTypeOfItsFirstTypedMember) {
  const TORVParseOptions Params{poAllowParameters};
  ASSERT_EQ(Compile("SELECT ID FROM Customer WHERE ? IN (?, Big) AND NOT ?", Params), "");
  EXPECT_EQ(DumpTokens(Parameters()),
            "(CLAUSE (DYNPARAM :op INPUT :name \"Parameter1\" :type 7) (DYNPARAM :op INPUT :name \"Parameter2\" "
            ":type 7) (DYNPARAM :op INPUT :name \"Parameter3\" :type 4))");
}

TEST_F(ValidaterTest, AQualifiedColumnIsFoundInTheEnclosingQueryWhichBecomesCorrelated) {
  // Sub-queries have validators of their own: the reference is bound by
  // hand.
  ParseOnly = true;
  ASSERT_EQ(Compile("SELECT ID FROM Customer c WHERE ID IN (SELECT ID FROM Customer WHERE c.Name = 'x')"), "");
  TORVExprToken* Inner = Where()->GetArgument(1);
  TORVExprToken* Reference = SlotOf(SlotOf(Inner, QueryWhereSlot), ClauseValueSlot)->GetLeftToken();
  Validater.Initialize(&Expr);
  Validater.SetColumnSourceToken(Reference);
  EXPECT_EQ(Reference->FSourceToken, SlotOf(SlotOf(Expr.FTokens, QueryFromSlot), FirstItemSlot));
  EXPECT_EQ(Inner->FTokenOperator, toCORRELATED);
}

TEST_F(ValidaterTest, AColumnOfAMergedQueryIsSoughtInTheFirstQueryOfItsChain) {
  ParseOnly = true;
  ASSERT_EQ(Compile("SELECT ID FROM Customer UNION SELECT OrderID FROM Orders WHERE Name = 'x' AND CustID = 1"), "");
  TORVExprToken* Merged = SlotOf(Expr.FTokens, QueryMergedQuerySlot);
  TORVExprToken* Condition = SlotOf(SlotOf(Merged, QueryWhereSlot), ClauseValueSlot);
  Validater.Initialize(&Expr);
  for (TORVExprToken* Comparison : {Condition->GetLeftToken(), Condition->GetRightToken()}) {
    Validater.SetColumnSourceToken(Comparison->GetLeftToken());
  }
  EXPECT_EQ(Condition->GetLeftToken()->GetLeftToken()->FSourceToken,
            SlotOf(SlotOf(Expr.FTokens, QueryFromSlot), FirstItemSlot));
  EXPECT_EQ(Condition->GetRightToken()->GetLeftToken()->FSourceToken,
            SlotOf(SlotOf(Merged, QueryFromSlot), FirstItemSlot));
  // Neither query is correlated by it.
  EXPECT_EQ(Merged->FTokenOperator, toNONE);
  EXPECT_EQ(Expr.FTokens->FTokenOperator, toNONE);
}

TEST_F(ValidaterTest, ADerivedTableDoesNotSeeTheQueriesAroundIt) {
  ASSERT_EQ(Compile("SELECT ID FROM Customer c WHERE ID = 1"), "");
  TORVPartialTree Tree(ReadTokens(
      u"(QUERY (CLAUSE) (CLAUSE) (CLAUSE) nil nil nil"
      u" (CLAUSE (TABLEREF :name \"Customer\" :alias \"c\""
      u"   (TABLEREF :op DERIVED (QUERY (CLAUSE) (CLAUSE) (CLAUSE) nil nil nil"
      u"     (CLAUSE (TABLEREF :name \"Customer\" nil (CLAUSE) (CLAUSE)))"
      u"     (CLAUSE (COLUMNREF :name \"ID\" :source \"c\" nil nil)) nil nil nil nil))"
      u"   (CLAUSE) (CLAUSE)))"
      u" nil nil nil nil nil)"));
  TORVExprToken* Derived = SlotOf(SlotOf(SlotOf(Tree.Get(), QueryFromSlot), FirstItemSlot), TableRefQuerySlot);
  TORVExprToken* Reference = SlotOf(SlotOf(SlotOf(Derived, TableRefQuerySlot), QueryWhereSlot), ClauseValueSlot);
  ASSERT_EQ(Reference->FName, u"ID");
  Validater.Initialize(&Expr);
  EXPECT_EQ(ErrorOf([&] { Validater.SetColumnSourceToken(Reference); }),
            "700 An error was found in the expression at line 1 and column " + std::to_string(Reference->FCol) +
                " (Expected column name expression but instead found \"c\".\"ID\")");
  EXPECT_EQ(Reference->FSourceToken, nullptr);
}

TEST_F(ValidaterTest, ATableNameQualifiesOnlyWhenNoCorrelationNameMatches) {
  ASSERT_EQ(Compile("SELECT ID FROM Customer u WHERE Customer.ID = 1 AND u.Name = 'x'"), "");
  TORVExprToken* Table = SlotOf(SlotOf(Expr.FTokens, QueryFromSlot), FirstItemSlot);
  EXPECT_EQ(Where()->GetLeftToken()->GetLeftToken()->FSourceToken, Table);
  EXPECT_EQ(Where()->GetRightToken()->GetLeftToken()->FSourceToken, Table);
  EXPECT_EQ(Compile("SELECT ID FROM Customer u WHERE x.ID = 1"),
            "!1:33 Expected column name expression but instead found \"x\".\"ID\"");
}

TEST_F(ValidaterTest, AnUnknownColumnIsReportedByTheCatalogForTheFirstTableOrAsANameOutsideQueries) {
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE Nope = 1"), "!1:31 The column Nope does not exist");
  // An expression with no table to fall back on.
  EXPECT_EQ(Compile("Nope + 1"),
            "!1:1 Expected array variable name, array variable element name, or variable name expression but "
            "instead found \"Nope\"");
}

TEST_F(ValidaterTest, AFailedValidationFreesWhatItBuiltAndLeavesTheExpressionUncompiled) {
  const TORVParseOptions Params{poAllowParameters};
  // A parameter declared and a Boolean rewritten before the failure.
  BeforeValidate = [this](TORVFakeCatalogExpr&) { Validater.SetTransformBooleans(true); };
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ID = ? AND Active AND Nope = 1", Params),
            "!1:53 The column Nope does not exist");
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.UnlockCount, 1);
  // The next compile starts again from the text.
  BeforeValidate = nullptr;
  EXPECT_EQ(Compile("SELECT ID FROM Customer WHERE ID = ?", Params), "");
  EXPECT_EQ(Expr.ParseCount, 2);
  EXPECT_EQ(Parameters()->GetNumArguments(), 1);
}

TEST_F(ValidaterTest, UnlockEndsTheCatalogReadsOfUserFunctionCalls) {
  // The default parse reads the tree as written.
  Expr.OnParse = nullptr;
  WhereOnly = false;
  // F begins its read of Other and fails to bind; G is never reached.
  Expr.SetExpression(
      u"(BINARY :op AND (BINARY :op EQ (FUNCREF :op UDF :name \"F\" :db \"Other\" (FUNCREF :op UDF :name \"G\" "
      u":db \"Other\")) (CONST :text \"1\" :type 6)) (COLUMNREF :name \"Nope\" nil nil))");
  EXPECT_NE(ErrorOf([&] { Expr.Compile(); }), "no error");
  EXPECT_EQ(Expr.BeginReadCount, 1);
  EXPECT_EQ(Expr.EndReadCount, 1);
  EXPECT_EQ(Expr.UnlockCount, 1);
}

TEST_F(ValidaterTest, ALongChainOfConditionsValidatesWithoutDeepRecursion) {
  std::string Sql = "ID = 0";
  for (int32_t I = 1; I < 10000; ++I) Sql += " OR ID = " + std::to_string(I);
  BeforeValidate = [this](TORVFakeCatalogExpr&) {
    Validater.SetTransformBooleans(true);
    Validater.SetRequiredDataType(dtBoolean);
  };
  Expr.SetTypeName(u"expression");
  TORVFakeFilterExpr Filter(&Catalog, u"Main", u"Customer");
  Filter.OnParse = [](TORVFakeCatalogExpr& Self) {
    TORVExprParser Parser;
    return ParseExprWithOptions(Parser, Self, TORVParseOptions{});
  };
  Filter.OnValidate = Expr.OnValidate;
  Filter.OnUnlock = Expr.OnUnlock;
  Filter.SetExpression(Utf8ToString(Sql));
  EXPECT_EQ(ErrorOf([&] { Filter.Compile(); }), "no error");
  EXPECT_EQ(Filter.FTokens->FDataType, dtBoolean);
  Filter.SetExpression(Utf8ToString(Sql + " OR Nope = 1"));
  EXPECT_NE(ErrorOf([&] { Filter.Compile(); }), "no error");
  EXPECT_EQ(Filter.UnlockCount, 1);
}

TEST_F(ValidaterTest, SeveralCandidateResultsTakeTheModelsTypeWidenedByEachOther) {
  struct TCase {
    const char16_t* Call;  // validated arguments, from index 0
    const char* Result;
  };
  const TCase Cases[] = {
      {u"(CONST :text \"NULL\") (COLUMNREF :name \"Small\" :type 5 nil nil)"
       u" (CONST :text \"1.5\" :type 9 :scale 1)",
       "(FUNCREF :op COALESCE :type 9 :scale 1"},
      {u"(COLUMNREF :name \"Code\" :type 1 :subtype 130 :len 5 nil nil)"
       u" (COLUMNREF :name \"Name\" :type 1 :len 20 nil nil)",
       "(FUNCREF :op COALESCE :type 1 :len 20"},
      {u"(COLUMNREF :name \"Data\" :type 2 :len 4 nil nil) (COLUMNREF :name \"Photo\" :type 3 nil nil)",
       "(FUNCREF :op COALESCE :type 3"},
      {u"(CONST :text \"1.5\" :type 9 :scale 1) (CONST :text \"2.25\" :type 9 :scale 2)"
       u" (CONST :text \"2\" :type 6)",
       "(FUNCREF :op COALESCE :type 9 :scale 2"},
      {u"(DYNPARAMREF) (COLUMNREF :name \"Big\" :type 7 nil nil)",
       "(FUNCREF :op COALESCE :type 7 (DYNPARAMREF :type 7)"},
      {u"(CONST :text \"NULL\") (CONST :text \"NULL\")",
       "Invalid expression NULL found, at least one of the result expressions must be non-NULL"},
      {u"(CONST :text \"NULL\") (DYNPARAMREF)",
       "Invalid expression ? found, dynamic parameter type cannot be inferred"},
      {u"(COLUMNREF :name \"Small\" :type 5 nil nil) (CONST :text \"a\" :type 1 :len 1)",
       "Expected NULL, SmallInt, Integer, BigInt, Float, Decimal, Interval Year, Interval Month, Interval Day, "
       "Interval Hour, Interval Minute, Interval Second, or Interval MSecond expression but instead found 'a'"},
  };
  for (const TCase& Case : Cases) {
    TORVPartialTree Call(ReadTokens(u"(FUNCREF :op COALESCE " + TORVString(Case.Call) + u")"));
    Validater.Initialize(&Expr);
    std::string Error = ErrorOf([&] { Validater.ValidateMultipleExpressions(0, Call.Get()); });
    std::string Result = Error == "no error" ? DumpTokens(Call.Get()) : Error;
    EXPECT_NE(Result.find(Case.Result), std::string::npos) << Result;
  }
}

// PROCEDURE P(p BIGINT, x VARCHAR) with a block that declares a variable x,
// an array a, a cursor c FOR a statement s and a statement t; the names to
// bind are the arguments of the block's statement clause.
TEST_F(ValidaterTest, NamesInsideABlockBindToDeclarationsThenToRoutineParameters) {
  TORVPartialTree Routine(ReadTokens(
      u"(PROCEDURE :name \"P\" (CLAUSE (PARAM :name \"p\" :type 7) (PARAM :name \"x\" :type 1 :len 9)) nil nil nil nil"
      u" (BLOCK :op NAMED"
      u"  (BLOCKCLAUSE (CONTROL :op DECLARE (CLAUSE (VARIABLE :name \"x\" :type 6)))"
      u"   (CONTROL :op DECLARE (CLAUSE (ARRAY :name \"a\" :type 8)))"
      u"   (CONTROL :op DECLARE (CLAUSE (CURSOR :name \"c\" nil (STATEMENT :name \"s\"))))"
      u"   (CONTROL :op DECLARE (CLAUSE (STATEMENT :name \"t\"))))"
      u"  (BLOCKCLAUSE (CLAUSE"
      u"   (COLUMNREF :name \"X\" nil nil) (COLUMNREF :name \"p\" nil nil)"
      u"   (COLUMNREF :name \"a\" (CLAUSE (CONST :text \"1\" :type 6)) nil) (COLUMNREF :name \"a\" nil nil)"
      u"   (COLUMNREF :name \"x\" (CLAUSE (CONST :text \"1\" :type 6)) nil)"
      u"   (CURSORREF :name \"c\") (STATEMENTREF :name \"s\") (STATEMENTREF :name \"t\")"
      u"   (VARIABLEREF :name \"p\")"
      u"   (VARIABLEREF :name \"zz\") (PARAMREF :name \"zz\") (CURSORREF :name \"s\") (STATEMENTREF :name \"c\")))"
      u"  nil nil))"));
  TORVExprToken* Block = Routine->GetArgument(5);
  TORVExprToken* Names = Block->GetArgument(1)->GetArgument(0);
  Validater.Initialize(&Expr);
  auto Bound = [&](int32_t Index) {
    TORVExprToken* Ref = Names->GetArgument(Index);
    std::string Error = ErrorOf([&] { Validater.ValidateNextToken(Ref); });
    if (Error != "no error") return Error;
    const std::string Source = Ref->FSourceToken == nullptr ? "unbound" : StringToUtf8(Ref->FSourceToken->FName);
    return TokenTypeName(Ref->FTokenType) + " " + Source + " " + std::to_string(Ref->FDataType);
  };
  EXPECT_EQ(Bound(0), "VARIABLEREF x 6");  // the variable hides the parameter
  EXPECT_EQ(Bound(1), "PARAMREF p 7");
  EXPECT_EQ(Bound(2), "ARRAYELEMENTREF a 8");
  EXPECT_EQ(Bound(3), "ARRAYREF a 8");
  EXPECT_EQ(Bound(4), "PARAMREF x 1");  // with an index only an array matches
  EXPECT_EQ(Bound(5), "CURSORREF c 0");
  EXPECT_EQ(Bound(6), "STATEMENTREF s 0");
  EXPECT_EQ(Bound(7), "STATEMENTREF t 0");
  EXPECT_EQ(Bound(8), "PARAMREF p 7");
  const std::string At = "700 An error was found in the expression at line 1 and column ";
  EXPECT_EQ(Bound(9), At + std::to_string(Names->GetArgument(9)->FCol) +
                          " (Invalid expression zz found, the referenced variable does not exist)");
  EXPECT_EQ(Bound(10), At + std::to_string(Names->GetArgument(10)->FCol) +
                           " (Invalid expression zz found, the referenced parameter does not exist)");
  EXPECT_EQ(Bound(11), At + std::to_string(Names->GetArgument(11)->FCol) +
                           " (Invalid expression s found, the referenced cursor does not exist)");
  EXPECT_EQ(Bound(12), At + std::to_string(Names->GetArgument(12)->FCol) +
                           " (Invalid expression c found, the referenced statement does not exist)");
}

// A routine whose outer block "outer" holds a loop "lp", whose body holds
// jumps and a block "inner" with jumps of its own; one more jump stands
// outside every block.
TEST_F(ValidaterTest, JumpsBindToTheirLoopOrBlock) {
  TORVPartialTree Routine(ReadTokens(
      u"(PROCEDURE :name \"P\" (CLAUSE) nil nil nil (CONTROL :op LEAVE)"
      u" (BLOCK :op NAMED :name \"outer\" (BLOCKCLAUSE) (BLOCKCLAUSE"
      u"  (CONTROL :op LOOP :name \"lp\" (BLOCK (BLOCKCLAUSE) (BLOCKCLAUSE"
      u"   (CONTROL :op LEAVE) (CONTROL :op ITERATE) (CONTROL :op LEAVE :name \"OUTER\")"
      u"   (CONTROL :op ITERATE :name \"outer\") (CONTROL :op RETRY) (CONTROL :op LEAVE :name \"nope\")"
      u"   (BLOCK :op NAMED :name \"inner\" (BLOCKCLAUSE) (BLOCKCLAUSE"
      u"    (CONTROL :op LEAVE) (CONTROL :op ITERATE) (CONTROL :op ITERATE :name \"lp\")) nil nil)) nil nil)))"
      u" nil nil))"));
  TORVExprToken* Outer = Routine->GetArgument(5);
  TORVExprToken* Loop = Outer->GetArgument(1)->GetArgument(0);
  TORVExprToken* Body = Loop->GetArgument(0)->GetArgument(1);
  TORVExprToken* Inner = Body->GetArgument(6);
  TORVExprToken* InnerBody = Inner->GetArgument(1);
  Validater.Initialize(&Expr);
  auto Target = [&](TORVExprToken* Jump) {
    std::string Error = ErrorOf([&] { Validater.SetJumpSourceToken(Jump); });
    if (Error != "no error") return Error.substr(Error.find('(') + 1);
    return Jump->FSourceToken == Loop ? std::string("loop") : StringToUtf8(Jump->FSourceToken->FName);
  };
  EXPECT_EQ(Target(Body->GetArgument(0)), "loop");
  EXPECT_EQ(Target(Body->GetArgument(1)), "loop");
  EXPECT_EQ(Target(Body->GetArgument(2)), "outer");
  EXPECT_EQ(Target(Body->GetArgument(3)), "Invalid expression ITERATE \"outer\" found, ITERATE not allowed in "
                                           "non-looping statement block)");
  EXPECT_EQ(Target(Body->GetArgument(4)), "outer");
  EXPECT_EQ(Target(Body->GetArgument(5)),
            "Invalid expression LEAVE \"nope\" found, the referenced label does not exist)");
  EXPECT_EQ(Target(InnerBody->GetArgument(0)), "inner");
  EXPECT_EQ(Target(InnerBody->GetArgument(1)), "Invalid expression ITERATE found, ITERATE not allowed in "
                                               "non-looping statement block)");
  EXPECT_EQ(Target(InnerBody->GetArgument(2)), "loop");
  EXPECT_EQ(Target(Routine->GetArgument(4)), "Invalid expression LEAVE found, ITERATE or LEAVE not allowed outside "
                                             "of block)");
}

// An expression that compiles another one whenever a column is bound, as a
// view is compiled while a statement that uses it is validated.
class TNestingExpr : public TORVFakeFilterExpr {
 public:
  using TORVFakeFilterExpr::TORVFakeFilterExpr;
  void ColumnFound(TORVExprToken* Token) override {
    TORVFakeFilterExpr::ColumnFound(Token);
    if (Inner != nullptr) Inner->Compile();
    if (Validater != nullptr) SeenAfterInner = Validater->GetExpr();
  }
  TORVCompiledExpr* Inner = nullptr;
  TORVExprValidater* Validater = nullptr;
  TORVCompiledExpr* SeenAfterInner = nullptr;
};

TEST_F(ValidaterTest, AValidationInsideAnotherRestoresTheOuterExpression) {
  TORVFakeCatalogExpr Inner(&Catalog, u"Main");
  TNestingExpr Outer(&Catalog, u"Main", u"Customer");
  for (TORVFakeCatalogExpr* Each : std::vector<TORVFakeCatalogExpr*>{&Inner, &Outer}) {
    Each->OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, TORVParseOptions{});
    };
    Each->OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Validate();
    };
  }
  Outer.Inner = &Inner;
  Outer.Validater = &Validater;
  Inner.SetExpression(u"1 + 2");
  Outer.SetExpression(u"ID + Small");
  Outer.Compile();
  EXPECT_EQ(Outer.SeenAfterInner, &Outer);
  EXPECT_EQ(Outer.FTokens->FDataType, dtInteger);
  EXPECT_EQ(Inner.FTokens->FDataType, dtInteger);
  EXPECT_EQ(Validater.GetExpr(), nullptr);
}

}  // namespace
}  // namespace orv
