// Routines compiled from their text by the parser and validater, run by
// the session's evaluator in a context of the fixture's. Calls of stored
// routines run the compiled routine of that name again, saving its
// parameters and result as the procedure managers will, so that recursion
// works; declared statements are the fakes of orvlocaltest.h.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "local/orvlocaleval.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/local/orvlocaltest.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"

namespace orv::test {

class TRoutineTestEvaluator;

// A call of a compiled routine of the fixture: the parameters and the
// result are pushed, the arguments copied in, the body run, and OUT
// parameters and the result copied back.
class TCompiledRoutineValue : public TORVRoutineValue {
 public:
  TCompiledRoutineValue(TRoutineTestEvaluator* Evaluator, TORVExprToken* Token);
  void Prepare(const TORVString&) override {}
  void Execute(TORVExprToken* ParamsToken) override;

 private:
  TRoutineTestEvaluator* FOwner;
};

// A declared statement whose EXECUTE or OPEN opens the test's cursor,
// after running what the test gives it (a statement's own effect).
class TOpeningStatementValue : public TFakeStatementValue {
 public:
  TOpeningStatementValue(TORVExprEvaluator* Evaluator, TORVExprToken* Token, TORVCursor* Cursor,
                         std::function<void()> Effect)
      : TFakeStatementValue(Evaluator, Token), FCursor(Cursor), FEffect(std::move(Effect)) {}
  void Execute(TORVExprToken*, int32_t, int32_t) override {
    if (FEffect) FEffect();
    FreeResultCursor(true);
    FResultCursor = FCursor;
    if (FCursor != nullptr) FCursor->First();
  }

 private:
  TORVCursor* FCursor;
  std::function<void()> FEffect;
};

class TRoutineTestEvaluator : public TTestLocalEvaluator {
 public:
  // The compiled routines by name.
  std::map<TORVString, TORVExprToken*> Routines;
  // What OPEN and EXECUTE open.
  TORVCursor* CursorToOpen = nullptr;
  // What EXECUTE and OPEN do before that.
  std::function<void()> OnExecute;

 protected:
  std::unique_ptr<TORVValue> CreateStatementValue(TORVExprToken* Token) override {
    return std::make_unique<TOpeningStatementValue>(this, Token, CursorToOpen, OnExecute);
  }
  std::unique_ptr<TORVValue> CreateRoutineValue(TORVExprToken* Token) override {
    return std::make_unique<TCompiledRoutineValue>(this, Token);
  }
};

inline TCompiledRoutineValue::TCompiledRoutineValue(TRoutineTestEvaluator* Evaluator, TORVExprToken* Token)
    : TORVRoutineValue(Evaluator, Token), FOwner(Evaluator) {}

inline void TCompiledRoutineValue::Execute(TORVExprToken* ParamsToken) {
  TORVExprToken* Routine = FOwner->Routines.at(ParamsToken->FName);
  TORVExprToken* Params = SlotOf(Routine, RoutineParamsSlot);
  TORVExprToken* Returns = SlotOf(Routine, RoutineReturnsSlot);
  TORVExprToken* Result = Returns != nullptr ? SlotOf(Returns, FirstItemSlot) : nullptr;
  std::vector<TORVExprToken*> Saved;
  for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) Saved.push_back(Params->GetArgument(I));
  if (Result != nullptr) Saved.push_back(Result);
  for (TORVExprToken* Token : Saved) {
    FOwner->PushValue(Token);
    FOwner->GetValue(Token);
  }
  auto PopAll = [&] {
    for (auto It = Saved.rbegin(); It != Saved.rend(); ++It) FOwner->PopValue(*It);
  };
  try {
    for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
      TORVExprToken* Argument = ParamsToken->GetArgument(I);
      if (Argument != nullptr) Params->GetArgument(I)->FValue->Assign(*Argument->FValue);
    }
    FOwner->EvaluateRoutine(Routine);
    FOwner->EvaluateReturnCursor(SlotOf(Routine, RoutineResultCursorSlot), false);
    for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
      TORVExprToken* Argument = ParamsToken->GetArgument(I);
      if (Argument != nullptr && Argument->FTokenType == ttVARIABLEREF) {
        Argument->FValue->Assign(*Params->GetArgument(I)->FValue);
      }
    }
    if (Result != nullptr) Assign(*Result->FValue);
  } catch (...) {
    PopAll();
    throw;
  }
  PopAll();
}

// Compiles routines of the validate corpus's catalog (with the routines a
// test adds) and runs them in the fixture's context.
class RoutineTest : public ::testing::Test {
 protected:
  RoutineTest() {
    AddCatalogRoutines();
    Context.FEvaluationState = esRun;
  }
  ~RoutineTest() override {
    for (auto It = FCompiled.rbegin(); It != FCompiled.rend(); ++It) Evaluator.Reset((*It)->FTokens);
  }

  // Every routine the tests call by name, as the catalog knows them.
  void AddCatalogRoutines() {
    auto Int = [](const TORVString& Name) { return TORVFakeCatalog::Column(Name, dtInteger); };
    Catalog.AddDatabase(u"Main");
    Catalog.AddRoutine(u"Main", u"f", false, {Int(u"n")}).Result = Int(u"Result");
    Catalog.AddRoutine(u"Main", u"g", false, {}).Result = Int(u"Result");
    Catalog.AddRoutine(u"Main", u"p", true, {Int(u"n"), Int(u"r")});
  }

  enum TKind { kFunction, kProcedure, kScript };

  // The compiled routine, prepared by the evaluator; a failed compile
  // fails the test.
  TORVExprToken* Compile(const std::string& Sql, TKind Kind = kFunction, bool ErrorTrigger = false) {
    auto Expr = std::make_unique<TORVFakeCatalogExpr>(&Catalog, u"Main");
    TORVParseOptions Options{poCheckEndRoutine, poAllowExceptionHandling};
    if (Kind != kFunction) Options.Include(poAllowCursorReturn);
    if (ErrorTrigger) Options.Include(poAllowRetry);
    Expr->OnParse = [Kind, Options](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      Parser.Initialize(&Self);
      switch (Kind) {
        case kFunction:
          return Parser.ParseFunctionRoutine(Options);
        case kProcedure:
          return Parser.ParseProcedureRoutine(Options);
        default:
          return Parser.ParseScriptRoutine(Options);
      }
    };
    Expr->OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Validate();
    };
    Expr->OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Unlock();
    };
    Expr->SetExpression(Utf8ToString(Sql));
    try {
      Expr->Compile();
    } catch (const EORVException& E) {
      ADD_FAILURE() << Sql << ": " << E.what();
      return nullptr;
    }
    TORVExprToken* Tree = Expr->FTokens;
    Evaluator.Initialize(Tree);
    Evaluator.Routines[Tree->FName] = Tree;
    FCompiled.push_back(std::move(Expr));
    return Tree;
  }

  // Runs a routine in the fixture's context.
  void Run(TORVExprToken* Routine) {
    TORVContextScope Scope(Evaluator, Context);
    Evaluator.EvaluateRoutine(Routine);
    Aborted = Evaluator.GetContext()->FAborted;
    Retry = Evaluator.GetContext()->FRetryAfterException;
  }

  // A function's result as text ("NULL" for NULL, "unassigned" when it
  // has no value), or its error as ErrorOf writes it.
  std::string Result(const std::string& Sql) {
    TORVExprToken* Routine = Compile(Sql);
    if (Routine == nullptr) return "not compiled";
    std::string Error = ErrorOf([&] { Run(Routine); });
    if (Error != "no error") return Error;
    TORVExprToken* Value = SlotOf(SlotOf(Routine, RoutineReturnsSlot), FirstItemSlot);
    if (Value->FValue == nullptr) return "unassigned";
    if (Value->FValue->GetNull()) return "NULL";
    return StringToUtf8(Value->FValue->GetAsString());
  }

  TORVFakeCatalog Catalog;
  TORVExprValidater Validater;
  TRoutineTestEvaluator Evaluator;
  TORVEvaluatorContext Context;
  bool Aborted = false;
  bool Retry = false;

 private:
  std::vector<std::unique_ptr<TORVFakeCatalogExpr>> FCompiled;
};

}  // namespace orv::test
