// The predicates BETWEEN, IN, LIKE, IS NULL and CONTAINS, and the
// conditional functions CASE, IIF, IFNULL, NULLIF and COALESCE. Every
// comparison made here follows the collation of the first operand's node;
// case-insensitivity comes from that collation alone.
#include <vector>

#include "core/orvcollation.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "eval/orvevalvalue.h"

namespace orv {

namespace {

// Argument Index, or nil when the node has no such argument (an optional
// operand left out).
TORVExprToken* PredicateArgument(const TORVExprToken* Token, int32_t Index) {
  return Index < Token->GetNumArguments() ? Token->GetArgument(Index) : nullptr;
}

int32_t CompareWithFirst(const TORVExprToken* Token, const TORVExprToken* First, const TORVExprToken* Other) {
  return First->FValue->Compare(*Other->FValue, Token->FPartialLength, false, First->FCollation);
}

// The escape character of a LIKE: the first character of the escape text.
// An empty or NULL text has no first character, so it means no escape
// character rather than reading one that is not there.
char16_t LikeEscapeChar(TORVExprToken* Escape) {
  if (Escape == nullptr || Escape->FValue->GetNull()) return 0;
  const TORVString Text = Escape->FValue->GetAsString();
  return Text.empty() ? char16_t{0} : Text[0];
}

}  // namespace

bool TORVExprEvaluator::TestBetween(TORVExprToken* Token, bool& Result) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (Tested->FValue->GetAnyNull()) {
    // The bounds are not evaluated at all.
    Token->FValue->SetAsNull(true);
    return false;
  }
  TORVExprToken* Low = Token->GetArgument(1);
  TORVExprToken* High = Token->GetArgument(2);
  EvaluateNextToken(Low);
  EvaluateNextToken(High);
  if (Low->FValue->GetAnyNull() || High->FValue->GetAnyNull()) {
    Token->FValue->SetAsNull(true);
    return false;
  }
  // Bounds given the wrong way round are not swapped: the range is empty.
  Result = CompareWithFirst(Token, Tested, Low) >= 0 && CompareWithFirst(Token, Tested, High) <= 0;
  return true;
}

void TORVExprEvaluator::EvaluateBETWEEN(TORVExprToken* Token) {
  bool Result = false;
  if (TestBetween(Token, Result)) Token->FValue->SetAsBoolean(Result);
}

void TORVExprEvaluator::EvaluateNOTBETWEEN(TORVExprToken* Token) {
  bool Result = false;
  if (TestBetween(Token, Result)) Token->FValue->SetAsBoolean(!Result);
}

bool TORVExprEvaluator::TestInList(TORVExprToken* Token, bool& Result) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (Tested->FValue->GetAnyNull()) {
    Token->FValue->SetAsNull(true);
    return false;
  }
  Result = false;
  if (Token->GetNumArguments() < 2) return true;
  TORVExprToken* First = Token->GetArgument(1);
  if (First != nullptr && First->FTokenType == ttQUERY) {
    EvaluateNextToken(First);
    EvaluateInQuery(Tested, Token->FPartialLength, Token, First);
    // The sub-query's routine sets the answer, NULL included.
    if (Token->FValue->GetNull()) return false;
    Result = Token->FValue->GetAsBoolean();
    return true;
  }
  auto* Sorted = dynamic_cast<TORVInContainedValue*>(Token->FValue.get());
  if (Sorted != nullptr) {
    // Parameters are bound before each execution; evaluating them again
    // lets a changed value be seen. Constants never change, so only the
    // parameter items are visited per row.
    const std::vector<TORVExprToken*>& Parameters = Sorted->GetParameterItems();
    for (TORVExprToken* Item : Parameters) EvaluateNextToken(Item);
    const bool HasParameters = !Parameters.empty();
    // A list whose items are all NULL stays empty and is tried again.
    if (Sorted->GetNumValues() == 0 || (HasParameters && Sorted->ParameterValuesChanged())) {
      Sorted->ClearValues();
      for (int32_t I = 1; I < Token->GetNumArguments(); ++I) {
        TORVExprToken* Item = Token->GetArgument(I);
        if (Item == nullptr) continue;
        EvaluateNextToken(Item);
        if (!Item->FValue->GetAnyNull()) Sorted->AddValue(Item->FValue.get());
      }
      Sorted->SortValues();
      Sorted->KeepParameterValues();
    }
    Result = Sorted->GetNumValues() > 0 && Sorted->FindValue(*Tested->FValue);
    return true;
  }
  // Items are evaluated only until one matches.
  for (int32_t I = 1; I < Token->GetNumArguments() && !Result; ++I) {
    TORVExprToken* Item = Token->GetArgument(I);
    if (Item == nullptr) continue;
    EvaluateNextToken(Item);
    Result = !Item->FValue->GetAnyNull() && CompareWithFirst(Token, Tested, Item) == 0;
  }
  return true;
}

void TORVExprEvaluator::EvaluateIN(TORVExprToken* Token) {
  bool Result = false;
  if (TestInList(Token, Result)) Token->FValue->SetAsBoolean(Result);
}

void TORVExprEvaluator::EvaluateNOTIN(TORVExprToken* Token) {
  // The sorted list leaves out NULL items: an empty one means every item
  // was NULL, which answers False.
  auto* Sorted = dynamic_cast<TORVInContainedValue*>(Token->FValue.get());
  if (Sorted != nullptr && Token->GetNumArguments() >= 2) {
    bool Found = false;
    if (TestInList(Token, Found)) Token->FValue->SetAsBoolean(!Found && Sorted->GetNumValues() > 0);
    return;
  }
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (Tested->FValue->GetAnyNull()) {
    Token->FValue->SetAsNull(true);
    return;
  }
  if (Token->GetNumArguments() < 2) {
    Token->FValue->SetAsBoolean(true);
    return;
  }
  TORVExprToken* First = Token->GetArgument(1);
  if (First != nullptr && First->FTokenType == ttQUERY) {
    EvaluateNextToken(First);
    EvaluateInQuery(Tested, Token->FPartialLength, Token, First);
    if (!Token->FValue->GetNull()) Token->FValue->SetAsBoolean(!Token->FValue->GetAsBoolean());
    return;
  }
  // Every item is evaluated: a list of nothing but NULLs answers False.
  bool AllNull = true;
  bool Found = false;
  for (int32_t I = 1; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Item = Token->GetArgument(I);
    if (Item == nullptr) continue;
    EvaluateNextToken(Item);
    if (Item->FValue->GetAnyNull()) continue;
    AllNull = false;
    Found = Found || CompareWithFirst(Token, Tested, Item) == 0;
  }
  Token->FValue->SetAsBoolean(!AllNull && !Found);
}

bool TORVExprEvaluator::TestLike(TORVExprToken* Token, bool& Result) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (Tested->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return false;
  }
  TORVExprToken* Pattern = Token->GetArgument(1);
  EvaluateNextToken(Pattern);
  TORVExprToken* Escape = PredicateArgument(Token, 2);
  if (Escape != nullptr) EvaluateNextToken(Escape);
  if (Pattern->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return false;
  }
  Result = LikeString(Tested->FCollation, Tested->FValue->GetAsString(), Pattern->FValue->GetAsString(),
                      LikeEscapeChar(Escape), u'_', u'%');
  return true;
}

void TORVExprEvaluator::EvaluateLIKE(TORVExprToken* Token) {
  bool Result = false;
  if (TestLike(Token, Result)) Token->FValue->SetAsBoolean(Result);
}

void TORVExprEvaluator::EvaluateNOTLIKE(TORVExprToken* Token) {
  bool Result = false;
  if (TestLike(Token, Result)) Token->FValue->SetAsBoolean(!Result);
}

bool TORVExprEvaluator::TestContains(TORVExprToken* Token, bool AnyWord, bool& Result) {
  TORVExprToken* Column = Token->GetArgument(0);
  EvaluateNextToken(Column);
  if (Column->FValue->GetNull()) {
    // The search text is not evaluated at all.
    Token->FValue->SetAsNull(true);
    return false;
  }
  TORVExprToken* SearchText = Token->GetArgument(1);
  EvaluateNextToken(SearchText);
  if (AnyWord) {
    EvaluateContainsAnyText(Column, SearchText, Token);
  } else {
    EvaluateContainsText(Column, SearchText, Token);
  }
  // The search sets the answer, NULL included.
  if (Token->FValue->GetNull()) return false;
  Result = Token->FValue->GetAsBoolean();
  return true;
}

void TORVExprEvaluator::EvaluateCONTAINS(TORVExprToken* Token) {
  bool Result = false;
  TestContains(Token, false, Result);
}

void TORVExprEvaluator::EvaluateCONTAINSANY(TORVExprToken* Token) {
  bool Result = false;
  TestContains(Token, true, Result);
}

void TORVExprEvaluator::EvaluateNOTCONTAINS(TORVExprToken* Token) {
  bool Result = false;
  if (TestContains(Token, false, Result)) Token->FValue->SetAsBoolean(!Result);
}

void TORVExprEvaluator::EvaluateNOTCONTAINSANY(TORVExprToken* Token) {
  bool Result = false;
  if (TestContains(Token, true, Result)) Token->FValue->SetAsBoolean(!Result);
}

void TORVExprEvaluator::EvaluateISNULL(TORVExprToken* Token) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (TORVExprToken* Second = PredicateArgument(Token, 1)) EvaluateNextToken(Second);
  // A row value is NULL only when every element is.
  Token->FValue->SetAsBoolean(Tested->FValue->GetNull());
}

void TORVExprEvaluator::EvaluateISNOTNULL(TORVExprToken* Token) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  if (TORVExprToken* Second = PredicateArgument(Token, 1)) EvaluateNextToken(Second);
  // A row value with any NULL element is not "not null" either.
  Token->FValue->SetAsBoolean(!Tested->FValue->GetAnyNull());
}

namespace {

void AssignFrom(TORVExprToken* Token, const TORVExprToken* Source) {
  if (Source->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
  } else {
    Token->FValue->Assign(*Source->FValue);
  }
}

}  // namespace

void TORVExprEvaluator::TakeResult(TORVExprToken* Token, TORVExprToken* Source) {
  EvaluateNextToken(Source);
  AssignFrom(Token, Source);
}

void TORVExprEvaluator::EvaluateICASE(TORVExprToken* Token) {
  TORVExprToken* Options = Token->GetArgument(0);
  TORVExprToken* Results = Token->GetArgument(1);
  for (int32_t I = 0; I < Options->GetNumArguments() && I < Results->GetNumArguments(); ++I) {
    TORVExprToken* Option = Options->GetArgument(I);
    if (Option->FTokenOperator != toDEFAULT) {
      EvaluateNextToken(Option);
      // A NULL condition is not a match.
      if (Option->FValue->GetNull() || !Option->FValue->GetAsBoolean()) continue;
    }
    // Later options and results are never evaluated.
    TakeResult(Token, Results->GetArgument(I));
    return;
  }
  // The compiler always ends the options with the default; a stored tree
  // without one matches nothing.
  Token->FValue->SetAsNull(true);
}

void TORVExprEvaluator::EvaluateIIF(TORVExprToken* Token) {
  TORVExprToken* Condition = Token->GetArgument(0);
  EvaluateNextToken(Condition);
  const bool Chosen = !Condition->FValue->GetNull() && Condition->FValue->GetAsBoolean();
  TakeResult(Token, Token->GetArgument(Chosen ? 1 : 2));
}

void TORVExprEvaluator::EvaluateIFNULL(TORVExprToken* Token) {
  TORVExprToken* Tested = Token->GetArgument(0);
  EvaluateNextToken(Tested);
  TakeResult(Token, Token->GetArgument(Tested->FValue->GetNull() ? 1 : 2));
}

void TORVExprEvaluator::EvaluateNULLIF(TORVExprToken* Token) {
  TORVExprToken* First = Token->GetArgument(0);
  TORVExprToken* Second = Token->GetArgument(1);
  EvaluateNextToken(First);
  EvaluateNextToken(Second);
  if (!First->FValue->GetAnyNull() && !Second->FValue->GetAnyNull() && CompareWithFirst(Token, First, Second) == 0) {
    Token->FValue->SetAsNull(true);
  } else {
    AssignFrom(Token, First);
  }
}

void TORVExprEvaluator::EvaluateCOALESCE(TORVExprToken* Token) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (Argument == nullptr) continue;
    EvaluateNextToken(Argument);
    if (!Argument->FValue->GetNull()) {
      AssignFrom(Token, Argument);
      return;
    }
  }
  Token->FValue->SetAsNull(true);
}

}  // namespace orv
