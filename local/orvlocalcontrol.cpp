// The local evaluator's control statements: the notifying entry points,
// conditions, loops with ITERATE and LEAVE, assignment, ABORT and CALL.
#include "base/orverror.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

void TORVLocalExprEvaluator::EvaluateExpression(TORVExprToken* Token) {
  Notify(Token, nullptr);
  if (Stopped()) return;
  try {
    EvaluateNextToken(Token);
  } catch (const EORVException& E) {
    Notify(Token, &E);
    throw;
  }
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateControl(TORVExprToken* Token) {
  switch (Token->FTokenOperator) {
    case toIF:
    case toCASE:
    case toWHILE:
      // They notify for each condition they evaluate.
      return DispatchControl(Token);
    default:
      break;
  }
  Notify(Token, nullptr);
  if (Stopped()) return nullptr;
  try {
    return DispatchControl(Token);
  } catch (const EORVException& E) {
    Notify(Token, &E);
    throw;
  }
}

bool TORVLocalExprEvaluator::ConditionHolds(TORVExprToken* Condition) {
  TORVValue* Value = Condition->FValue.get();
  return Value != nullptr && !Value->GetNull() && Value->GetAsBoolean();
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateABORT(TORVExprToken* /*Token*/) {
  CurrentContext().FAborted = true;
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateCALL(TORVExprToken* Token) {
  EvaluateProcRef(SlotOf(Token, CallProcedureSlot));
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateIF(TORVExprToken* Token) {
  TORVExprToken* Conditions = SlotOf(Token, IfConditionsSlot);
  TORVExprToken* Lists = SlotOf(Token, IfListsSlot);
  for (int32_t I = 0; I < Conditions->GetNumArguments(); ++I) {
    TORVExprToken* Condition = Conditions->GetArgument(I);
    if (Condition == nullptr) return EvaluateBlock(Lists->GetArgument(I));
    EvaluateExpression(Condition);
    if (Stopped()) return nullptr;
    if (ConditionHolds(Condition)) return EvaluateBlock(Lists->GetArgument(I));
  }
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateFOR(TORVExprToken* /*Token*/) { return nullptr; }

namespace {

// What a loop does with the result of one pass of its body: True when the
// loop ends, answering Answer (a transfer aimed further out, or nil for a
// LEAVE naming the loop); False to go on (nothing, or an ITERATE naming it).
bool LoopEnds(TORVExprToken* Loop, TORVExprToken* Result, TORVExprToken*& Answer) {
  if (Result == nullptr) return false;
  if (Result->FSourceToken != Loop) {
    Answer = Result;
    return true;
  }
  Answer = nullptr;
  return Result->FTokenOperator != toITERATE;
}

}  // namespace

TORVExprToken* TORVLocalExprEvaluator::EvaluateLOOP(TORVExprToken* Token) {
  TORVExprToken* Body = SlotOf(Token, LoopListSlot);
  TORVExprToken* Answer = nullptr;
  for (;;) {
    TORVExprToken* Result = EvaluateBlock(Body);
    if (Stopped()) return Result;
    if (LoopEnds(Token, Result, Answer)) return Answer;
  }
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateWHILE(TORVExprToken* Token) {
  TORVExprToken* Condition = SlotOf(Token, WhileConditionSlot);
  TORVExprToken* Body = SlotOf(Token, WhileListSlot);
  TORVExprToken* Answer = nullptr;
  for (;;) {
    EvaluateExpression(Condition);
    if (Stopped() || !ConditionHolds(Condition)) return nullptr;
    TORVExprToken* Result = EvaluateBlock(Body);
    if (Stopped()) return Result;
    if (LoopEnds(Token, Result, Answer)) return Answer;
  }
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateREPEAT(TORVExprToken* Token) {
  TORVExprToken* Body = SlotOf(Token, RepeatListSlot);
  TORVExprToken* Condition = SlotOf(Token, RepeatConditionSlot);
  TORVExprToken* Answer = nullptr;
  for (;;) {
    TORVExprToken* Result = EvaluateBlock(Body);
    if (Stopped()) return Result;
    if (LoopEnds(Token, Result, Answer)) return Answer;
    EvaluateExpression(Condition);
    if (Stopped()) return nullptr;
    if (ConditionHolds(Condition)) return nullptr;
  }
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateSET(TORVExprToken* Token) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Item = Token->GetArgument(I);
    if (Item == nullptr) continue;
    EvaluateNextToken(Item->GetLeftToken());
    EvaluateNextToken(Item->GetRightToken());
    Item->GetLeftToken()->FValue->Assign(*Item->GetRightToken()->FValue);
  }
  return nullptr;
}

}  // namespace orv
