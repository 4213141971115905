#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverrors.h"
#include "core/orvbitmap.h"
#include "core/orvparam.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalvalue.h"
#include "sql/orvtokenslots.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaltest.h"
#include "tests/support/orvstubdbmgr.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::LocalEvalTest;

// A database whose Close counts and may raise.
class TFakeDatabase : public TStubDatabaseManager<TORVLocalDatabaseManager> {
 public:
  void Close(bool ForceClose) override {
    ++Closes;
    TStubDatabaseManager::Close(ForceClose);
    if (RaiseOnClose) throw EORVException(ORV_FILE_MANAGER_ERROR.Code, u"close failed");
  }

  int32_t Closes = 0;
  bool RaiseOnClose = false;
};

TEST_F(LocalEvalTest, ChangesInsideANewContextStayInTheCopy) {
  TFakeDatabase Own;
  TFakeDatabase Other;
  TORVEvaluatorContext Caller;
  Caller.SetDatabaseManager(&Own);
  Caller.FOperationType = toUpdateRow;
  bool Notified = false;
  Caller.FOnNotification = [&](TORVExprToken*, const EORVException*) { Notified = true; };
  {
    TORVContextScope Outer(Evaluator, Caller);
    TORVEvaluatorContext* Copy = Evaluator.GetContext();
    ASSERT_NE(Copy, &Caller);
    EXPECT_EQ(Copy->FDatabaseManager, &Own);
    EXPECT_EQ(Copy->FOperationType, toUpdateRow);
    // The events come along.
    Evaluator.Notify(nullptr, nullptr);
    EXPECT_TRUE(Notified);
    Copy->FAborted = true;
    const EORVException Raised(ORV_FILTER_ERROR.Code, u"raised");
    Copy->SetCurException(&Raised);
    Copy->SetCurrentDatabaseManager(&Other);
    {
      // A nested call starts from the outer copy and leaves it alone.
      TORVContextScope Inner(Evaluator, *Copy);
      EXPECT_TRUE(Evaluator.GetContext()->FAborted);
      ASSERT_NE(Evaluator.GetContext()->GetCurException(), nullptr);
      EXPECT_EQ(Evaluator.GetContext()->GetCurException()->ErrorMsg(), u"raised");
      Evaluator.GetContext()->FAborted = false;
    }
    EXPECT_EQ(Evaluator.GetContext(), Copy);
    EXPECT_TRUE(Copy->FAborted);
  }
  EXPECT_EQ(Evaluator.GetContext(), nullptr);
  EXPECT_FALSE(Caller.FAborted);
  EXPECT_EQ(Caller.GetCurException(), nullptr);
  EXPECT_EQ(Caller.FCurrentDatabaseManager, &Own);
}

TEST_F(LocalEvalTest, TheCurrentExceptionIsTheContextsOwnCopy) {
  TORVEvaluatorContext Context;
  {
    const EORVException Caught(ORV_FILTER_ERROR.Code, u"first");
    Context.SetCurException(&Caught);
  }
  TORVEvaluatorContext Copy;
  Copy.Assign(Context);
  Context.SetCurException(nullptr);
  ASSERT_NE(Copy.GetCurException(), nullptr);
  EXPECT_EQ(Copy.GetCurException()->ErrorCode(), ORV_FILTER_ERROR.Code);
  EXPECT_EQ(Copy.GetCurException()->ErrorMsg(), u"first");
}

TEST_F(LocalEvalTest, TheScopeRestoresTheContextWhenTheEvaluationRaises) {
  TORVEvaluatorContext Outer;
  TORVContextScope Scope(Evaluator, Outer);
  TORVEvaluatorContext* Current = Evaluator.GetContext();
  EXPECT_THROW(
      {
        TORVContextScope Inner(Evaluator, *Current);
        throw EORVException(ORV_FILTER_ERROR.Code, u"evaluation failed");
      },
      EORVException);
  EXPECT_EQ(Evaluator.GetContext(), Current);
  // A restore that does not match the innermost NewContext is refused.
  EXPECT_THROW(Evaluator.RestoreContext(&Outer), std::logic_error);
  Evaluator.NewContext(Outer);
  EXPECT_NE(Evaluator.GetContext(), Current);
  Evaluator.RestoreContext(Current);
  EXPECT_EQ(Evaluator.GetContext(), Current);
}

TEST_F(LocalEvalTest, ResettingTheDatabaseSwitchesBackEvenWhenClosingRaises) {
  TFakeDatabase Own;
  TFakeDatabase Used;
  TORVEvaluatorContext Context;
  Context.SetDatabaseManager(&Own);
  Context.SetCurrentDatabaseManager(&Used);
  Used.RaiseOnClose = true;
  EXPECT_THROW(Context.ResetDatabaseManager(), EORVException);
  EXPECT_EQ(Context.FCurrentDatabaseManager, &Own);
  EXPECT_EQ(Used.Closes, 1);
  // The context's own database is never closed by a reset.
  Context.ResetDatabaseManager();
  EXPECT_EQ(Own.Closes, 0);
}

TEST_F(LocalEvalTest, SubQueriesAndRoutineCallsArePreparedOnceAtInitialize) {
  TORVExprToken* Call = Node(ttFUNCREF, toUDF, dtInteger);
  Call->FName = u"F";
  TORVExprToken* Exists = Node(ttFUNCREF, toEXISTS, dtBoolean);
  TORVExprToken* Query = Node(ttQUERY);
  Exists->AddArgument(Query);
  TORVExprToken* Root = Node(ttBINARY, toAND, dtBoolean);
  Root->SetLeftToken(Call);
  Root->SetRightToken(Exists);
  Evaluator.Initialize(Root);
  for (int32_t I = 0; I < 1000; ++I) {
    Evaluator.Evaluate(Call);
    Evaluator.Evaluate(Exists);
  }
  EXPECT_EQ(Evaluator.RoutinePrepares, 1);
  EXPECT_EQ(Evaluator.QueryPrepares, 1);
  EXPECT_EQ(dynamic_cast<test::TFakeRoutineValue&>(*Call->FValue).PreparedName, u"F");

  // A derived table's query is left to its table reference's cursor.
  TORVExprToken* Table = Node(ttTABLEREF);
  TORVExprToken* Derived = Node(ttQUERY);
  Table->AddArgument(Derived);
  Evaluator.Initialize(Table);
  EXPECT_EQ(Evaluator.QueryPrepares, 1);
  Evaluator.Reset(Root);
}

TEST_F(LocalEvalTest, TheValueFactoryBindsEachNodeTypeToItsClass) {
  TORVExprToken* Variable = Declare(ttVARIABLE, u"v", dtInteger);
  TORVExprToken* Param = Node(ttPARAM, toOUTPUT, dtInteger);
  TORVExprToken* Union = Node(ttQUERY);
  Union->SetNumArguments(QueryMergeWordSlot + 1);
  Union->SetArgument(QueryMergeWordSlot, Node(ttCLAUSE, toUNION));
  struct TCase {
    TORVExprToken* Token;
    bool (*Is)(TORVValue*);
  };
  const TCase Cases[] = {
      {Variable, [](TORVValue* V) { return dynamic_cast<TORVVariableValue*>(V) != nullptr; }},
      {Ref(ttVARIABLEREF, Variable),
       [](TORVValue* V) { return dynamic_cast<TORVVariableReferenceValue*>(V) != nullptr; }},
      {Param,
       [](TORVValue* V) {
         auto* P = dynamic_cast<TORVRoutineParamValue*>(V);
         return P != nullptr && P->GetParamType() == ptOutput;
       }},
      {Node(ttFUNCREF, toSUM, dtInteger),
       [](TORVValue* V) { return dynamic_cast<TORVAggregateFunctionReferenceValue*>(V) != nullptr; }},
      {Node(ttFUNCREF, toRUNSUM, dtInteger),
       [](TORVValue* V) { return dynamic_cast<TORVLocalReferenceValue*>(V) == nullptr; }},
      {Node(ttFUNCREF, toABS, dtInteger),
       [](TORVValue* V) { return dynamic_cast<TORVContainedValue*>(V) != nullptr; }},
      {Node(ttQUERY), [](TORVValue* V) { return dynamic_cast<TORVQueryValue*>(V) != nullptr; }},
      {Union, [](TORVValue* V) { return dynamic_cast<TORVQueryManagerValue*>(V) != nullptr; }},
      {Node(ttROWVARIABLE), [](TORVValue* V) { return dynamic_cast<TORVRowVariableValue*>(V) != nullptr; }},
      {Node(ttDYNPARAM, toINPUT),
       [](TORVValue* V) { return dynamic_cast<TORVDynamicParamValue*>(V) != nullptr; }},
  };
  for (const TCase& Case : Cases) {
    Evaluator.GetValue(Case.Token);
    EXPECT_TRUE(Case.Is(Case.Token->FValue.get())) << int(Case.Token->FTokenType);
  }
  // Until query execution provides its values, binding them is refused.
  TORVLocalExprEvaluator Plain(CharacterSetUnicode);
  for (TORVTokenType Type : {ttTABLEREF, ttQUERY, ttSTATEMENT, ttPROCREF}) {
    TORVExprToken* Token = Node(Type);
    EXPECT_EQ(ErrorOf([&] { Plain.GetValue(Token); }).substr(0, 4), "900 ") << int(Type);
    EXPECT_EQ(Token->FValue, nullptr);
  }
}

class Parameters : public LocalEvalTest {
 protected:
  TORVParamValue* AddParam(TORVParamType Type, int32_t DataType) {
    TORVParamValue* Param = Params.CreateNew();
    Param->SetParamType(Type);
    Param->SetDataType(DataType);
    return Param;
  }
  TORVExprToken* Call(std::vector<TORVExprToken*> Arguments) {
    TORVExprToken* Token = Node(ttPROCREF);
    for (TORVExprToken* Argument : Arguments) Token->AddArgument(Argument);
    Evaluator.EvaluateParams(Token);
    return Token;
  }

  TORVParamValues Params{CharacterSetUnicode};
};

TEST_F(Parameters, ParametersBeyondTheArgumentsBecomeNull) {
  TORVParamValue* First = AddParam(ptInput, dtInteger);
  TORVParamValue* Second = AddParam(ptInput, dtInteger);
  TORVParamValue* Third = AddParam(ptOutput, dtInteger);
  Second->SetAsInteger(5);
  Third->SetAsInteger(6);
  Evaluator.AssignInputParams(Call({IntConst(1)}), Params);
  EXPECT_EQ(First->GetAsInteger(), 1);
  EXPECT_TRUE(Second->GetNull());
  EXPECT_TRUE(Third->GetNull());
}

TEST_F(Parameters, UntypedParametersAndArgumentsTakeTheOtherSidesType) {
  TORVParamValue* In = AddParam(ptInput, dtUnknown);
  TORVParamValue* Out = AddParam(ptOutput, dtCharacter);
  TORVParamValue* Result = AddParam(ptResult, dtInteger);
  TORVExprToken* Text = Node(ttCONST, toNONE, dtCharacter, stVarChar, 5);
  Text->FTokenConstant = u"hello";
  TORVExprToken* OutTarget = Node(ttVARIABLE);  // untyped
  TORVExprToken* ResultTarget = Node(ttVARIABLE, toNONE, dtInteger);
  TORVExprToken* Token = Call({Text, OutTarget, ResultTarget});
  // An output parameter is left alone on the way in.
  Out->SetAsString(u"kept");
  Evaluator.AssignInputParams(Token, Params);
  EXPECT_EQ(In->GetDataType(), dtCharacter);
  EXPECT_EQ(In->GetAsString(), u"hello");
  EXPECT_EQ(Out->GetAsString(), u"kept");

  Out->SetAsString(u"out");
  Result->SetAsInteger(12);
  In->SetAsString(u"later");
  Evaluator.AssignOutputParams(Token, Params);
  EXPECT_EQ(OutTarget->FValue->GetDataType(), dtCharacter);
  EXPECT_EQ(OutTarget->FValue->GetAsString(), u"out");
  EXPECT_EQ(ResultTarget->FValue->GetAsInteger(), 12);
  // An input argument is never written back.
  EXPECT_EQ(Text->FValue->GetAsString(), u"hello");
}

TEST_F(LocalEvalTest, PushAndPopSwapADeclarationsValueUnderItsReferences) {
  TORVExprToken* V = Declare(ttVARIABLE, u"v", dtInteger);
  TORVExprToken* R = Ref(ttVARIABLEREF, V);
  Evaluator.GetValue(R);
  R->FValue->SetAsInteger(1);
  Evaluator.PushValue(V);
  EXPECT_EQ(V->FValue, nullptr);
  // The reference made before the push reads the inner declaration.
  EXPECT_EQ(Text(R), "NULL");
  R->FValue->SetAsInteger(2);
  Evaluator.PushValue(V);
  R->FValue->SetAsInteger(3);
  EXPECT_EQ(Text(R), "3");
  EXPECT_EQ(Evaluator.GetValueStackCount(), 2);
  Evaluator.PopValue(V);
  EXPECT_EQ(Text(R), "2");
  Evaluator.PopValue(V);
  EXPECT_EQ(Text(R), "1");
  EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
  // An empty stack leaves the value alone.
  Evaluator.PopValue(V);
  EXPECT_EQ(Text(R), "1");

  // A node that had no value gets none back.
  TORVExprToken* W = Declare(ttVARIABLE, u"w", dtInteger);
  Evaluator.PushValue(W);
  Evaluator.GetValue(W);
  Evaluator.PopValue(W);
  EXPECT_EQ(W->FValue, nullptr);
}

// (0 = 1) AND (0 = :p) with bitmaps cached on each condition and the AND.
class Bitmaps : public LocalEvalTest {
 protected:
  Bitmaps() {
    Param = Node(ttDYNPARAM, toINPUT, dtInteger);
    ParamRef = Ref(ttDYNPARAMREF, Param);
    WithParam = Node(ttBINARY, toEQ, dtBoolean);
    WithParam->SetLeftToken(IntConst(0));
    WithParam->SetRightToken(ParamRef);
    Constant = Node(ttBINARY, toEQ, dtBoolean);
    Constant->SetLeftToken(IntConst(0));
    Constant->SetRightToken(IntConst(1));
    Root = Node(ttBINARY, toAND, dtBoolean);
    // A changed left operand would force the right one's bitmaps out too:
    // the parameter's condition comes second.
    Root->SetLeftToken(Constant);
    Root->SetRightToken(WithParam);
    Evaluator.Initialize(Root);
  }
  void SetParam(int32_t Value) { ParamRef->FValue->SetAsInteger(Value); }
  void CacheBitmaps() {
    for (TORVExprToken* Token : {Root, WithParam, Constant}) Token->CheckBitmap();
  }
  std::vector<bool> Cached() {
    return {Root->FBitmap != nullptr, WithParam->FBitmap != nullptr, Constant->FBitmap != nullptr};
  }

  TORVExprToken* Param;
  TORVExprToken* ParamRef;
  TORVExprToken* WithParam;
  TORVExprToken* Constant;
  TORVExprToken* Root;
};

TEST_F(Bitmaps, TheSameParameterValueKeepsTheCachedBitmaps) {
  SetParam(5);
  Evaluator.UpdateBitmapValues(Root, false);
  CacheBitmaps();
  Evaluator.UpdateBitmapValues(Root, false);
  EXPECT_EQ(Cached(), (std::vector<bool>{true, true, true}));
  SetParam(5);
  Evaluator.UpdateBitmapValues(Root, false);
  EXPECT_EQ(Cached(), (std::vector<bool>{true, true, true}));
}

TEST_F(Bitmaps, ANewValueFreesTheConditionsBitmapAndEveryEnclosingOne) {
  SetParam(5);
  Evaluator.UpdateBitmapValues(Root, false);
  CacheBitmaps();
  SetParam(6);
  Evaluator.UpdateBitmapValues(Root, false);
  EXPECT_EQ(Cached(), (std::vector<bool>{false, false, true}));
  // A NULL is a change, and NULL again is none.
  CacheBitmaps();
  ParamRef->FValue->SetAsNull(true);
  Evaluator.UpdateBitmapValues(Root, false);
  EXPECT_EQ(Cached(), (std::vector<bool>{false, false, true}));
  CacheBitmaps();
  Evaluator.UpdateBitmapValues(Root, false);
  EXPECT_EQ(Cached(), (std::vector<bool>{true, true, true}));
  // Force frees every bitmap.
  Evaluator.UpdateBitmapValues(Root, true);
  EXPECT_EQ(Cached(), (std::vector<bool>{false, false, false}));
}

// Every statement the evaluator has no routine for is refused with the
// statement error naming it; nothing is called.
TEST_F(LocalEvalTest, EmptyDispatchEntriesRaiseTheStatementError) {
  for (TORVTokenOperator Operator :
       {toCOMMIT, toDECLARE, toEXECUTEIMMEDIATE, toLOGEVENT, toRETURN, toROLLBACK, toSETCACHE, toSETLOGMSG,
        toSETPROGRESS, toSETSTATUSMSG, toSTARTTRANS, toUSEDB}) {
    TORVExprToken* Token = Node(ttCONTROL, Operator);
    const std::string Error = ErrorOf([&] { Evaluator.DispatchControl(Token); });
    EXPECT_EQ(Error.substr(0, 4), "900 ") << Operator;
    EXPECT_NE(Error.find("statement cannot be run"), std::string::npos) << Error;
  }
  struct TCase {
    TORVTokenType Type;
    TORVTokenOperator Operator;
    int32_t Kind;
    const char* Detail;
  };
  const TCase Cases[] = {
      {ttCONTROL, toDECLARE, 0, "(The DECLARE statement cannot be run)"},
      {ttCONTROL, toRETURN, 0, "(The RETURN statement cannot be run)"},
      {ttCONTROL, toUSEDB, 0, "(The USE statement cannot be run)"},
      {ttSTATEMENT, toDELETE, 0, "(The DELETE statement cannot be run)"},
      {ttSTATEMENT, toGRANT, 0, "(The GRANT statement cannot be run)"},
      {ttSTATEMENT, toINSERT, 0, "(The INSERT statement cannot be run)"},
      {ttSTATEMENT, toREVOKE, 0, "(The REVOKE statement cannot be run)"},
      {ttSTATEMENT, toSELECT, 0, "(The SELECT statement cannot be run)"},
      {ttSTATEMENT, toUPDATE, 0, "(The UPDATE statement cannot be run)"},
      {ttSTATEMENT, toVERIFYTABLE, 0, "(The VERIFY TABLE statement cannot be run)"},
      {ttSTATEMENT, toADD, 0, "(The 1 statement cannot be run)"},
      {ttCONTROL, toALTER, 0, "(The 209 statement cannot be run)"},
      {ttSTATEMENT, toCREATE, 2, "(The CREATE statement cannot be run for the object kind 2)"},
      {ttSTATEMENT, toCREATE, 200, "(The CREATE statement cannot be run for the object kind 200)"},
      {ttSTATEMENT, toDROP, 0, "(The DROP statement cannot be run for the object kind 0)"},
      {ttSTATEMENT, toDROP, -1, "(The DROP statement cannot be run for the object kind -1)"},
      {ttSTATEMENT, toALTER, 10, "(The ALTER statement cannot be run for the object kind 10)"},
      {ttSTATEMENT, toSETDYN, 26, "(The SET statement cannot be run for the object kind 26)"},
  };
  for (const TCase& Case : Cases) {
    TORVExprToken* Token = Node(Case.Type, Case.Operator);
    Token->FTokenID = Case.Kind;
    Token->FLine = 3;
    Token->FCol = 7;
    const std::string Error = ErrorOf([&] {
      if (Case.Type == ttCONTROL) {
        Evaluator.DispatchControl(Token);
      } else {
        Evaluator.DispatchStatement(Token);
      }
    });
    EXPECT_EQ(Error, std::string("900 An error occurred with the statement at line 3 and column 7 ") + Case.Detail);
  }
  // Every kind of every DDL verb, while their routines are missing.
  for (TORVTokenOperator Verb : {toCREATE, toALTER, toDROP, toRENAME, toENABLE, toDISABLE, toRESET, toSETDYN}) {
    for (int32_t Kind = 1; Kind <= TORVLocalExprEvaluator::ObjectKindCount; ++Kind) {
      TORVExprToken* Token = Node(ttSTATEMENT, Verb);
      Token->FTokenID = Kind;
      const std::string Error = ErrorOf([&] { Evaluator.DispatchStatement(Token); });
      EXPECT_NE(Error.find("for the object kind " + std::to_string(Kind) + ")"), std::string::npos) << Error;
    }
  }
}

TEST_F(LocalEvalTest, AUseStatementRunsAtInitialize) {
  TORVExprToken* Use = Node(ttCONTROL, toUSEDB);
  EXPECT_EQ(ErrorOf([&] { Evaluator.Initialize(Use); }).substr(0, 4), "900 ");
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST_F(LocalEvalTest, AColumnsTableIsTheCurrentTableOrTheOneItsSourceNames) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  TORVBaseTable* T = test::NewTableT(Catalog);
  TFakeDatabase Database;
  Database.FCatalog = &Catalog;
  TORVEvaluatorContext Context;
  Context.SetDatabaseManager(&Database);
  Context.FCurrentTable = test::NewTable(Catalog, u"current");
  TORVContextScope Scope(Evaluator, Context);

  TORVExprToken* Unbound = Node(ttCOLUMNREF);
  EXPECT_EQ(Evaluator.GetTableRef(Unbound), Context.FCurrentTable);

  TORVExprToken* Table = Node(ttTABLEREF);
  Table->FName = u"T";
  TORVExprToken* Column = Node(ttCOLUMNREF);
  Column->FSourceToken = Table;
  EXPECT_EQ(Evaluator.GetTableRef(Column), static_cast<TORVVirtualTable*>(T));
  Table->FName = u"missing";
  EXPECT_EQ(ErrorOf([&] { Evaluator.GetTableRef(Column); }).substr(0, 4), "401 ");
  Table->FName = u"T";
  Table->FSourceName = u"NoSuchSchema";
  EXPECT_EQ(ErrorOf([&] { Evaluator.GetTableRef(Column); }).substr(0, 4), "401 ");
}

TEST_F(LocalEvalTest, AnAggregateKeepsOneValueSetPerResultRowAndEmptiesItForANewGroup) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddTestColumn(Columns, u"__Row", dtInteger);
  AddTestColumn(Columns, u"Total", dtInteger);
  TTestRow Result(CharacterSetUnicode, Columns);
  Result.Values->CreateValueObjects();
  TORVExprToken* Select = Node(ttSELECTCOLUMN, toNONE, dtInteger);
  Select->FPosition = 0;
  TORVExprToken* Count = Node(ttFUNCREF, toCOUNT, dtInteger);
  Select->AddArgument(Count);
  TORVEvaluatorContext Context;
  Context.FResultRowValues = Result.Values.get();
  TORVContextScope Scope(Evaluator, Context);
  Evaluator.GetValue(Count);
  auto& Aggregate = dynamic_cast<TORVAggregateFunctionReferenceValue&>(*Count->FValue);

  TORVContainedValue Value(CharacterSetUnicode);
  Value.SetDataType(dtInteger);
  // The accumulator is the result row's item after the select column.
  Count->FValue->SetAsInteger(1);
  EXPECT_EQ(Result.Values->GetItems(1)->GetAsInteger(), 1);
  for (int32_t Item : {4, 2, 4}) {
    Value.SetAsInteger(Item);
    Aggregate.AddValue(1, Value, true);
  }
  Value.SetAsInteger(9);
  Aggregate.AddValue(2, Value, true);
  EXPECT_EQ(Aggregate.GetValuesAsString(1, u";"), u"2;4");
  EXPECT_EQ(Aggregate.GetValuesAsString(2, u";"), u"9");
  // A NULL accumulator is a new group on a reused row number.
  Count->FValue->SetAsNull(true);
  Value.SetAsInteger(5);
  EXPECT_TRUE(Aggregate.AddValue(1, Value, true));
  EXPECT_EQ(Aggregate.GetValuesAsString(1, u";"), u"5");
}

}  // namespace
}  // namespace orv
