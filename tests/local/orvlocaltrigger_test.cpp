#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "catalog/orvtable.h"
#include "catalog/orvtrigger.h"
#include "core/orvenv.h"
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
  TORVTrigger* Add(int32_t Time, int32_t Type, const TORVString& Body, const TORVString& Condition) {
    std::unique_ptr<TORVTrigger> Trigger(static_cast<TORVTrigger*>(T->GetTriggers().GetNewObject()));
    Trigger->SetName(u"tr");
    Trigger->SetActionTime(Time);
    Trigger->SetActionType(Type);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"tr\"\r\n" + Body);
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

TEST_F(LocalTriggerEvaluation, RoutineBodiesRaiseTheStatementErrorWhileTheyCannotRun) {
  TORVTrigger* Trigger = Add(taAfter, tyInsert, u"BEGIN END", TORVString());
  TORVTriggerContextScope Scope(Evaluator, TORVTriggerContextSettings{});
  EXPECT_EQ(ErrorOf([&] { Evaluator.EvaluateRoutine(Trigger->GetDefinition()->FTokens); }).substr(0, 4), "900 ");
}

}  // namespace
}  // namespace orv
