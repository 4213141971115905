// Join and condition normalisation: once a query's names are bound, each
// join starts at the latest earlier table its condition needs, conditions
// that concern one table move from WHERE and from inner-join ON lists into
// that table's own conditions clause, joins left without conditions become
// cross joins, and every list of conditions folds into one AND chain, so
// that query execution can read the FROM clause table by table.
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

int32_t CountOf(const TORVExprToken* Clause) { return Clause == nullptr ? 0 : Clause->GetNumArguments(); }

bool IsAndOr(const TORVExprToken* Token) {
  return Token->FTokenType == ttBINARY && (Token->FTokenOperator == toAND || Token->FTokenOperator == toOR);
}

bool IsComparison(const TORVExprToken* Token) {
  return Token->FTokenType == ttBINARY && IsComparisonOperator(Token->FTokenOperator);
}

bool IsFromTable(const TORVExprToken* Query, const TORVExprToken* Table) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    if (From->GetArgument(I) == Table) return true;
  }
  return false;
}

// Frees an AND or OR node whose operands have gone elsewhere.
void FreeNodeOnly(TORVExprToken* Node) {
  Node->SetLeftToken(nullptr);
  Node->SetRightToken(nullptr);
  delete Node;
}

// The AND node Node, one of whose operands has left it, becomes the
// remaining operand in place (keeping its own place in the tree); the
// remaining operand's node is freed.
void TakeOverOperand(TORVExprToken* Node, TORVExprToken* Remaining) {
  TORVExprToken* Parent = Node->FUpperToken;
  Node->SetLeftToken(nullptr);
  Node->SetRightToken(nullptr);
  Node->Assign(Remaining, true);
  Node->FUpperToken = Parent;
  Node->FAssignedToken = nullptr;
  Remaining->SetLeftToken(nullptr);
  Remaining->SetRightToken(nullptr);
  for (int32_t I = 0; I < Remaining->GetNumArguments(); ++I) Remaining->SetArgument(I, nullptr);
  delete Remaining;
}

// Treats a split AND node after its operands have been reduced: True when
// both have left (the node is freed), False otherwise.
bool SettleSplit(TORVExprToken* Node, bool LeftMoved, bool RightMoved) {
  TORVExprToken* Left = Node->GetLeftToken();
  TORVExprToken* Right = Node->GetRightToken();
  if (LeftMoved && RightMoved) {
    FreeNodeOnly(Node);
    return true;
  }
  if (LeftMoved) {
    TakeOverOperand(Node, Right);
  } else if (RightMoved) {
    TakeOverOperand(Node, Left);
  }
  return false;
}

}  // namespace

TORVExprToken* TORVExprValidater::GetOptimalDriverTable(TORVExprToken* Query, TORVExprToken* Join) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr || Join->FTargetToken == nullptr) return nullptr;
  for (int32_t I = From->GetNumArguments() - 1; I >= 0; --I) {
    TORVExprToken* Table = From->GetArgument(I);
    if (Table->FPosition < Join->FTargetToken->FPosition && JoinDependsUponTable(Join, Table)) return Table;
  }
  return nullptr;
}

void TORVExprValidater::PushJoins(TORVExprToken* Query, TORVExprToken* Table) {
  TORVExprToken* Joins = SlotOf(Table, TableRefJoinsSlot);
  for (int32_t I = CountOf(Joins) - 1; I >= 0; --I) {
    TORVExprToken* Join = Joins->GetArgument(I);
    if (Join->FTokenOperator == toCROSSJOIN) continue;
    TORVExprToken* Driver = GetOptimalDriverTable(Query, Join);
    TORVExprToken* DriverJoins = SlotOf(Driver, TableRefJoinsSlot);
    if (DriverJoins == nullptr) continue;
    Joins->DeleteArgument(I);
    DriverJoins->InsertArgument(GetJoinPosition(Driver, Join), Join);
  }
}

bool TORVExprValidater::ContainsJoins(TORVExprToken* Condition) {
  if (Condition == nullptr) return false;
  if (IsAndOr(Condition))
    return ContainsJoins(Condition->GetLeftToken()) || ContainsJoins(Condition->GetRightToken());
  if (Condition->FTokenType == ttUNARY) return ContainsJoins(Condition->GetLeftToken());
  if (!IsComparison(Condition)) return false;
  TORVExprToken* Left = Condition->GetLeftToken();
  TORVExprToken* Right = Condition->GetRightToken();
  if (!ContainsColumns(Left) || !ContainsColumns(Right)) return false;
  const std::vector<TORVExprToken*> RightColumns = ColumnsOf(Right);
  for (TORVExprToken* A : ColumnsOf(Left)) {
    for (TORVExprToken* B : RightColumns) {
      if (A->FSourceToken != nullptr && B->FSourceToken != nullptr && A->FSourceToken != B->FSourceToken &&
          GetParentQueryToken(A->FSourceToken) == GetParentQueryToken(B->FSourceToken))
        return true;
    }
  }
  return false;
}

void TORVExprValidater::ReduceWhere(TORVExprToken* Query) {
  TORVExprToken* Where = SlotOf(Query, QueryWhereSlot);
  for (int32_t I = 0; I < CountOf(Where);) {
    if (ReduceNextWhereToken(Query, Where->GetArgument(I))) {
      Where->DeleteArgument(I);
    } else {
      ++I;
    }
  }
}

bool TORVExprValidater::ReduceNextWhereToken(TORVExprToken* Query, TORVExprToken* Condition) {
  if (!ContainsColumns(Condition) && !ContainsCorrelatedQueries(Condition))
    return AddWhereTableToken(Query, Condition, nullptr);
  if (IsAndOr(Condition)) {
    if (!ContainsJoins(Condition) && !ContainsCorrelatedQueries(Condition) && !ReferencesMultipleTables(Condition))
      return AddWhereTableToken(Query, Condition, nullptr);
    if (Condition->FTokenOperator == toOR) return false;
    const bool LeftMoved = ReduceNextWhereToken(Query, Condition->GetLeftToken());
    const bool RightMoved = ReduceNextWhereToken(Query, Condition->GetRightToken());
    return SettleSplit(Condition, LeftMoved, RightMoved);
  }
  if (IsComparison(Condition)) {
    if (!ContainsColumns(Condition->GetLeftToken()) && ContainsColumns(Condition->GetRightToken()))
      ReverseBinaryTokenOperator(Condition);
    if (ContainsJoins(Condition)) return false;
  } else if (Condition->FTokenType != ttEXTBINARY && Condition->FTokenType != ttFUNCREF &&
             Condition->FTokenType != ttROWVALUE) {
    return false;
  }
  if (ContainsCorrelatedQueries(Condition) || ReferencesMultipleTables(Condition)) return false;
  return AddWhereTableToken(Query, Condition, nullptr);
}

void TORVExprValidater::ReduceJoins(TORVExprToken* Query) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    const TORVExprToken* Joins = SlotOf(Table, TableRefJoinsSlot);
    for (int32_t J = 0; J < CountOf(Joins);) {
      TORVExprToken* Join = Joins->GetArgument(J);
      if (Join->FTokenOperator != toCROSSJOIN && ReduceJoin(Query, Table, Join)) continue;
      ++J;
    }
  }
}

bool TORVExprValidater::ReduceJoin(TORVExprToken* Query, TORVExprToken* Table, TORVExprToken* Join) {
  for (int32_t I = 0; I < Join->GetNumArguments();) {
    TORVExprToken* Condition = Join->GetArgument(I);
    if (Condition != nullptr && ReduceNextJoinToken(Query, Table, Join, Condition, false)) {
      Join->DeleteArgument(I);
    } else {
      ++I;
    }
  }
  for (int32_t I = 0; I < Join->GetNumArguments(); ++I) {
    if (Join->GetArgument(I) != nullptr) return false;
  }
  TORVExprToken* Joins = SlotOf(Table, TableRefJoinsSlot);
  if (CountOf(Joins) > 1) {
    for (int32_t I = 0; I < Joins->GetNumArguments(); ++I) {
      if (Joins->GetArgument(I) != Join) continue;
      Joins->DeleteArgument(I);
      FreeTokens(Join);
      return true;
    }
  }
  Join->SetNumArguments(0);
  Join->FTokenOperator = toCROSSJOIN;
  return false;
}

bool TORVExprValidater::ReduceNextJoinToken(TORVExprToken* Query, TORVExprToken* Table, TORVExprToken* Join,
                                            TORVExprToken* Condition, bool InOr) {
  if (IsAndOr(Condition)) {
    const bool Several = ReferencesMultipleTables(Condition);
    if (Condition->FTokenOperator == toOR && Several) return false;
    TORVExprToken* Left = Condition->GetLeftToken();
    TORVExprToken* Right = Condition->GetRightToken();
    if (!InOr && !Several && !ContainsJoins(Left) && !ContainsJoins(Right))
      return AddWhereTableToken(Query, Condition, Join);
    const bool Inner = InOr || Condition->FTokenOperator == toOR;
    const bool LeftMoved = ReduceNextJoinToken(Query, Table, Join, Left, Inner);
    const bool RightMoved = ReduceNextJoinToken(Query, Table, Join, Right, Inner);
    return SettleSplit(Condition, LeftMoved, RightMoved);
  }
  if (IsComparison(Condition)) {
    const bool LeftColumns = ContainsColumns(Condition->GetLeftToken());
    const bool RightColumns = ContainsColumns(Condition->GetRightToken());
    if (LeftColumns == RightColumns) return false;
    if (RightColumns) ReverseBinaryTokenOperator(Condition);
  } else if (Condition->FTokenType != ttEXTBINARY && Condition->FTokenType != ttROWVALUE) {
    return false;
  }
  if (InOr || ReferencesMultipleTables(Condition)) return false;
  return AddWhereTableToken(Query, Condition, Join);
}

bool TORVExprValidater::AddWhereTableToken(TORVExprToken* Query, TORVExprToken* Condition, TORVExprToken* Join) {
  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (CountOf(From) == 0) return false;
  TORVExprToken* Table = nullptr;
  for (TORVExprToken* Column = GetColumnToken(Condition, nullptr); Column != nullptr && Table == nullptr;
       Column = GetColumnToken(Condition, Column)) {
    if (IsFromTable(Query, Column->FSourceToken)) Table = Column->FSourceToken;
  }
  if (Table == nullptr) Table = From->GetArgument(0);
  const bool FromInnerJoin = Join != nullptr && Join->FTokenOperator == toINNERJOIN;
  TORVExprToken* Target = nullptr;
  if (TargetOfOuterJoin(Query, toLEFTOUTERJOIN, Table)) {
    if (!FromInnerJoin) return false;
    Target = SlotOf(Query, QueryWhereSlot);
    if (Target == nullptr) {
      Target = new TORVExprToken();
      Target->FTokenType = ttCLAUSE;
      Query->SetArgument(QueryWhereSlot, Target);
    }
  } else {
    if (Join != nullptr && !FromInnerJoin) return false;
    Target = SlotOf(Table, TableRefConditionsSlot);
    if (Target == nullptr) {
      Target = new TORVExprToken();
      Target->FTokenType = ttCLAUSE;
      Table->SetArgument(TableRefConditionsSlot, Target);
    }
  }
  Target->AddArgument(Condition);
  return true;
}

void TORVExprValidater::ConsolidateWhere(TORVExprToken* Query) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) ConsolidateTokens(SlotOf(From->GetArgument(I), TableRefConditionsSlot));
  ConsolidateTokens(SlotOf(Query, QueryWhereSlot));
}

void TORVExprValidater::ConsolidateTokens(TORVExprToken* Clause) {
  while (CountOf(Clause) > 1) {
    TORVExprToken* First = Clause->GetArgument(0);
    TORVExprToken* Second = Clause->GetArgument(1);
    // An OR that meets an AND it was not written beside would bind looser
    // in the built text: it keeps its meaning in parentheses.
    for (TORVExprToken* Operand : {First, Second}) {
      if (Operand->FTokenType == ttBINARY && Operand->FTokenOperator == toOR) Operand->FParentheses = true;
    }
    Clause->DeleteArgument(1);
    Clause->DeleteArgument(0);
    Clause->InsertArgument(0, CreateBinaryToken(toAND, First, Second));
  }
}

}  // namespace orv
