#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvtable.h"
#include "catalog/orvtrigger.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "eval/orvtriggereval.h"
#include "local/orvlocaleval.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

using test::ErrorOf;

// The session's evaluator running the compiled trees of triggers of
// t (a INTEGER, b VARCHAR(10)).
class LocalTriggerEvaluation : public ::testing::Test, protected test::TCompilingCatalog {
 protected:
  LocalTriggerEvaluation() : T(test::NewTableT(*Catalog)), Evaluator(CharacterSetUnicode) {}
  ~LocalTriggerEvaluation() override {
    for (TORVExprToken* Tree : FPrepared) Evaluator.ResetCompiled(Tree);
  }

  // A compiled trigger of t whose trees the evaluator has prepared.
  TORVTrigger* Add(int32_t Time, int32_t Type, const TORVString& Body, const TORVString& Condition,
                   const TORVString& Name = u"tr") {
    std::unique_ptr<TORVTrigger> Trigger(static_cast<TORVTrigger*>(T->GetTriggers().GetNewObject()));
    Trigger->SetName(Name);
    Trigger->SetActionTime(Time);
    Trigger->SetActionType(Type);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"" + Name + u"\"\r\n" + Body);
    Trigger->GetConditionExpr()->SetExpression(Condition);
    T->GetTriggers().Add(Trigger.get());
    TORVTrigger* Placed = Trigger.release();
    Placed->Compile();
    for (TORVExprToken* Tree : {Placed->GetConditionExpr()->FTokens, Placed->GetDefinition()->FTokens}) {
      Evaluator.InitializeCompiled(Tree);
      FPrepared.push_back(Tree);
    }
    return Placed;
  }

  TORVBaseTable* T;
  TORVLocalExprEvaluator Evaluator;

 private:
  std::vector<TORVExprToken*> FPrepared;
};

TEST_F(LocalTriggerEvaluation, TheWhenConditionReadsTheRowsBoundToTheRoutinesRowVariables) {
  TORVTrigger* Trigger = Add(taBefore, tyUpdate, u"BEGIN END", u"NewRow.a > OldRow.a");
  TORVExprToken* Condition = Trigger->GetConditionExpr()->FTokens;
  TTestRow Old(CharacterSetUnicode, T->GetColumns()), New(CharacterSetUnicode, T->GetColumns());
  Old.Values->GetItems(1)->SetAsInteger(5);
  TORVTriggerContextSettings Settings;
  Settings.CurrentTable = T;
  Settings.OperationType = toUpdateRow;
  TORVTriggerContextScope Scope(Evaluator, Settings);
  Evaluator.BindRowVariables(*Trigger, Old.Values.get(), New.Values.get());
  const struct {
    const char* Name;
    std::function<void(TORVValue&)> SetNew;
    bool Fires;
  } Cases[] = {
      {"greater", [](TORVValue& A) { A.SetAsInteger(7); }, true},
      {"smaller", [](TORVValue& A) { A.SetAsInteger(3); }, false},
      {"NULL is not true", [](TORVValue& A) { A.SetNull(true); }, false},
  };
  for (const auto& Case : Cases) {
    Case.SetNew(*New.Values->GetItems(1));
    EXPECT_EQ(Evaluator.EvaluateCondition(Condition), Case.Fires) << Case.Name;
  }
  // Released, the rows are no longer reachable through the trigger.
  Evaluator.ReleaseRowVariables(*Trigger);
  EXPECT_EQ(ErrorOf([&] { Evaluator.EvaluateCondition(Condition); }).substr(0, 5), "1011 ");
}

TEST_F(LocalTriggerEvaluation, ATriggersContextCarriesItsOperationAndStartsWithoutStatementFlags) {
  TTestRow Current(CharacterSetUnicode, T->GetColumns());
  TORVEvaluatorContext Outer;
  Outer.FAborted = true;
  Outer.FRetryAfterException = true;
  Outer.FCurrentRowValues = Current.Values.get();
  TORVContextScope OuterScope(Evaluator, Outer);
  TORVEvaluatorContext* OuterCopy = Evaluator.GetContext();

  const EORVException Failure(1300, u"failed");
  TORVTriggerContextSettings Settings;
  Settings.CurrentTable = T;
  Settings.LoadingUpdates = true;
  Settings.OperationType = toDeleteRow;
  Settings.CurException = &Failure;
  {
    TORVTriggerContextScope Scope(Evaluator, Settings);
    TORVEvaluatorContext* Context = Evaluator.GetContext();
    ASSERT_NE(Context, OuterCopy);
    EXPECT_EQ(Context->FCurrentTable, T);
    EXPECT_TRUE(Context->FLoadingUpdates);
    EXPECT_EQ(Context->FOperationType, toDeleteRow);
    ASSERT_NE(Context->GetCurException(), nullptr);
    EXPECT_EQ(Context->GetCurException()->ErrorCode(), 1300);
    // What the outer context had besides the flags carries over.
    EXPECT_EQ(Context->FCurrentRowValues, Current.Values.get());
    EXPECT_FALSE(Evaluator.GetContextAborted());
    EXPECT_FALSE(Evaluator.GetContextRetryAfterException());
    Context->FAborted = true;
    Context->FRetryAfterException = true;
    EXPECT_TRUE(Evaluator.GetContextAborted());
    EXPECT_TRUE(Evaluator.GetContextRetryAfterException());
  }
  EXPECT_EQ(Evaluator.GetContext(), OuterCopy);
  EXPECT_EQ(OuterCopy->GetCurException(), nullptr);
}

// Trigger bodies run for real: what they set is what trigger execution
// reads afterwards.
TEST_F(LocalTriggerEvaluation, TriggerBodiesSetTheFlagsAndRowsTriggerExecutionReads) {
  const struct {
    const char* Name;
    int32_t Time;
    const char16_t* Body;
    bool Aborted;
    bool Retry;
    const char* NewB;
  } Cases[] = {
      {"ABORT sets the flag and the next statement still runs", taBefore,
       u"BEGIN ABORT; SET NewRow.b = 'after'; END", true, false, "after"},
      {"RETRY of an ERROR trigger asks for the operation again", taError,
       u"BEGIN SET NewRow.b = 'fixed'; RETRY; SET NewRow.b = 'skipped'; END", false, true, "fixed"},
      {"a plain body sets neither flag", taBefore, u"BEGIN SET NewRow.b = 'plain'; END", false, false, "plain"},
  };
  int32_t Number = 0;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TORVTrigger* Trigger = Add(Case.Time, tyInsert, Case.Body, TORVString(), u"tr" + IntToString(++Number));
    TTestRow New(CharacterSetUnicode, T->GetColumns());
    TORVTriggerContextSettings Settings;
    Settings.CurrentTable = T;
    Settings.OperationType = toInsertRow;
    TORVTriggerContextScope Scope(Evaluator, Settings);
    Evaluator.BindRowVariables(*Trigger, nullptr, New.Values.get());
    ASSERT_EQ(ErrorOf([&] { Evaluator.EvaluateRoutine(Trigger->GetDefinition()->FTokens); }), "no error");
    EXPECT_EQ(Evaluator.GetContextAborted(), Case.Aborted);
    EXPECT_EQ(Evaluator.GetContextRetryAfterException(), Case.Retry);
    EXPECT_EQ(StringToUtf8(New.Values->GetItems(2)->GetAsString()), Case.NewB);
    Evaluator.ReleaseRowVariables(*Trigger);
  }
}

}  // namespace
}  // namespace orv
