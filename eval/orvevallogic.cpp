// Three-valued logic and the comparison operators.
#include "core/orvvalue.h"
#include "eval/orveval.h"

namespace orv {

void TORVExprEvaluator::EvaluateAND(TORVExprToken* Token) {
  TORVValue& Result = *Token->FValue;
  TORVExprToken* Left = Token->GetLeftToken();
  EvaluateNextToken(Left);
  TORVValue& LeftValue = *Left->FValue;
  if (!LeftValue.GetNull() && !LeftValue.GetAsBoolean()) {
    // False decides: the right operand, and whatever it would do, is skipped.
    Result.SetAsBoolean(false);
    return;
  }
  TORVExprToken* Right = Token->GetRightToken();
  EvaluateNextToken(Right);
  TORVValue& RightValue = *Right->FValue;
  if (RightValue.GetNull()) {
    Result.SetAsNull(true);
  } else if (LeftValue.GetNull()) {
    // NULL AND FALSE is False, NULL AND TRUE unknown.
    if (RightValue.GetAsBoolean()) {
      Result.SetAsNull(true);
    } else {
      Result.SetAsBoolean(false);
    }
  } else {
    Result.SetAsBoolean(RightValue.GetAsBoolean());
  }
}

void TORVExprEvaluator::EvaluateOR(TORVExprToken* Token) {
  TORVValue& Result = *Token->FValue;
  TORVExprToken* Left = Token->GetLeftToken();
  EvaluateNextToken(Left);
  TORVValue& LeftValue = *Left->FValue;
  if (!LeftValue.GetNull() && LeftValue.GetAsBoolean()) {
    Result.SetAsBoolean(true);
    return;
  }
  TORVExprToken* Right = Token->GetRightToken();
  EvaluateNextToken(Right);
  TORVValue& RightValue = *Right->FValue;
  if (!RightValue.GetNull() && RightValue.GetAsBoolean()) {
    Result.SetAsBoolean(true);
  } else if (LeftValue.GetNull() || RightValue.GetNull()) {
    Result.SetAsNull(true);
  } else {
    Result.SetAsBoolean(false);
  }
}

void TORVExprEvaluator::EvaluateNOT(TORVExprToken* Token) {
  TORVExprToken* Operand = Token->GetLeftToken();
  EvaluateNextToken(Operand);
  if (Operand->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
  } else {
    Token->FValue->SetAsBoolean(!Operand->FValue->GetAsBoolean());
  }
}

int32_t TORVExprEvaluator::CompareOperands(TORVExprToken* Token, bool& AnyNull) {
  AnyNull = EvaluateOperands(Token, true);
  if (AnyNull) return 0;
  TORVExprToken* Left = Token->GetLeftToken();
  return Left->FValue->Compare(*Token->GetRightToken()->FValue, Token->FPartialLength, false, Left->FCollation);
}

void TORVExprEvaluator::EvaluateEQ(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order == 0);
}

void TORVExprEvaluator::EvaluateNE(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order != 0);
}

void TORVExprEvaluator::EvaluateLT(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order < 0);
}

void TORVExprEvaluator::EvaluateLE(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order <= 0);
}

void TORVExprEvaluator::EvaluateGT(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order > 0);
}

void TORVExprEvaluator::EvaluateGE(TORVExprToken* Token) {
  bool AnyNull = false;
  const int32_t Order = CompareOperands(Token, AnyNull);
  if (!AnyNull) Token->FValue->SetAsBoolean(Order >= 0);
}

}  // namespace orv
