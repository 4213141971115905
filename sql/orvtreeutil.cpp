#include "sql/orvtreeutil.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "sql/orvtokenslots.h"

namespace orv {

namespace {

inline constexpr int32_t BooleanDataType = 4;

bool HasArgumentChildren(const TORVExprToken* Token) {
  return Token->FTokenType == ttEXTBINARY || Token->FTokenType == ttFUNCREF || Token->FTokenType == ttROWVALUE;
}

// The pending nodes of a walk: the first ones in place, more on the heap.
// The predicates ask at most nodes of a condition, and usually a few, so a
// walk seldom allocates. Invariant: FMore holds items only while FLocal is
// full, and they were all pushed after FLocal's, so popping FMore first
// keeps the order last in, first out.
class TNodeStack {
 public:
  explicit TNodeStack(const TORVExprToken* First) { push_back(First); }
  bool empty() const { return FCount == 0 && FMore.empty(); }
  void push_back(const TORVExprToken* Token) {
    if (FMore.empty() && FCount < LocalSize) {
      FLocal[FCount++] = Token;
    } else {
      FMore.push_back(Token);
    }
  }
  const TORVExprToken* back() const { return FMore.empty() ? FLocal[FCount - 1] : FMore.back(); }
  void pop_back() {
    if (FMore.empty()) {
      --FCount;
    } else {
      FMore.pop_back();
    }
  }

 private:
  static constexpr int32_t LocalSize = 64;
  const TORVExprToken* FLocal[LocalSize];
  int32_t FCount = 0;
  std::vector<const TORVExprToken*> FMore;
};

// The children the expression walks follow, in operand order.
template <typename TStack>
void PushChildrenReversed(const TORVExprToken* Token, TStack& Stack) {
  if (Token->FTokenType == ttBINARY) {
    if (Token->GetRightToken() != nullptr) Stack.push_back(Token->GetRightToken());
    if (Token->GetLeftToken() != nullptr) Stack.push_back(Token->GetLeftToken());
  } else if (Token->FTokenType == ttUNARY) {
    if (Token->GetLeftToken() != nullptr) Stack.push_back(Token->GetLeftToken());
  } else if (HasArgumentChildren(Token)) {
    for (int32_t I = Token->GetNumArguments() - 1; I >= 0; --I) {
      if (Token->GetArgument(I) != nullptr) Stack.push_back(Token->GetArgument(I));
    }
  }
}

// The shared walk of the expression predicates: True at the first node the
// predicate accepts; a node it accepts is not entered. The validater and
// the optimizer ask these at many nodes of a condition, so the walk takes
// the predicate as it is and keeps its stack in place.
template <typename TPredicate>
bool AnyInExpression(const TORVExprToken* Token, TPredicate Predicate) {
  if (Token == nullptr) return false;
  TNodeStack Stack(Token);
  while (!Stack.empty()) {
    const TORVExprToken* Next = Stack.back();
    Stack.pop_back();
    if (Predicate(Next)) return true;
    PushChildrenReversed(Next, Stack);
  }
  return false;
}

bool IsExtensionClause(const TORVExprToken* Query, TORVTokenOperator Operator) {
  for (int32_t I = QueryExtensionSlot; I < Query->GetNumArguments(); ++I) {
    const TORVExprToken* Clause = Query->GetArgument(I);
    if (Clause != nullptr && Clause->FTokenOperator == Operator) return true;
  }
  return false;
}

bool LiesBefore(const TORVExprToken* A, const TORVExprToken* B) {
  return A->FLine < B->FLine || (A->FLine == B->FLine && A->FCol < B->FCol);
}


// A template, not a std::function: the validater asks for the query or
// block around every name it binds, so the walk up is on its main road.
template <typename TPredicate>
TORVExprToken* NearestAncestor(TORVExprToken* Token, TPredicate Predicate) {
  for (TORVExprToken* Next = Token; Next != nullptr; Next = Next->FUpperToken) {
    if (Predicate(Next)) return Next;
  }
  return nullptr;
}

}  // namespace

bool IsAggregateOperator(TORVTokenOperator Operator) {
  switch (Operator) {
    case toAVG:
    case toCOUNT:
    case toLIST:
    case toMAX:
    case toMIN:
    case toRUNSUM:
    case toSTDDEV:
    case toSUM:
    case toSUMSQUARE:
      return true;
    default:
      return false;
  }
}

bool IsComparisonOperator(TORVTokenOperator Operator) {
  return Operator == toEQ || Operator == toGE || Operator == toGT || Operator == toLE || Operator == toLT ||
         Operator == toNE;
}

bool IsTextSearchToken(const TORVExprToken* Token) {
  if (Token == nullptr) return false;
  const TORVTokenOperator Operator = Token->FTokenOperator;
  return Operator == toCONTAINS || Operator == toCONTAINSANY || Operator == toNOTCONTAINS ||
         Operator == toNOTCONTAINSANY;
}

TORVExprToken* CreateBinaryToken(TORVTokenOperator Operator, TORVExprToken* Left, TORVExprToken* Right) {
  auto* Result = new TORVExprToken();
  Result->FTokenType = ttBINARY;
  Result->FTokenOperator = Operator;
  Result->SetDataType(BooleanDataType);
  Result->SetLeftToken(Left);
  Result->SetRightToken(Right);
  return Result;
}

void ReverseBinaryOperator(TORVExprToken* Token) {
  switch (Token->FTokenOperator) {
    case toGE:
      Token->FTokenOperator = toLE;
      break;
    case toGT:
      Token->FTokenOperator = toLT;
      break;
    case toLE:
      Token->FTokenOperator = toGE;
      break;
    case toLT:
      Token->FTokenOperator = toGT;
      break;
    default:
      break;
  }
}

void ReverseBinaryTokens(TORVExprToken* Token) {
  TORVExprToken* Left = Token->GetLeftToken();
  Token->SetLeftToken(Token->GetRightToken());
  Token->SetRightToken(Left);
}

void ReverseBinaryTokenOperator(TORVExprToken* Token) {
  ReverseBinaryOperator(Token);
  ReverseBinaryTokens(Token);
}

namespace {

// Replaces Token's operator by its partner in Pairs, either way round.
template <std::size_t N>
void ExchangeOperator(TORVExprToken* Token, const TORVTokenOperator (&Pairs)[N][2]) {
  for (const auto& Pair : Pairs) {
    if (Token->FTokenOperator == Pair[0]) {
      Token->FTokenOperator = Pair[1];
      return;
    }
    if (Token->FTokenOperator == Pair[1]) {
      Token->FTokenOperator = Pair[0];
      return;
    }
  }
}

}  // namespace

void FlipBinaryOperator(TORVExprToken* Token) {
  static constexpr TORVTokenOperator Pairs[][2] = {{toEQ, toNE}, {toGE, toLT}, {toGT, toLE}, {toAND, toOR}};
  ExchangeOperator(Token, Pairs);
}

void FlipExtBinaryOperator(TORVExprToken* Token) {
  static constexpr TORVTokenOperator Pairs[][2] = {{toBETWEEN, toNOTBETWEEN},   {toCONTAINS, toNOTCONTAINS},
                                                   {toCONTAINSANY, toNOTCONTAINSANY}, {toIN, toNOTIN},
                                                   {toISNULL, toISNOTNULL},    {toLIKE, toNOTLIKE}};
  ExchangeOperator(Token, Pairs);
}

void SwitchTokens(TORVExprToken* Token1, TORVExprToken* Token2) {
  TORVExprToken* Parent1 = Token1->FUpperToken;
  TORVExprToken* Parent2 = Token2->FUpperToken;
  const bool Left1 = Parent1->GetLeftToken() == Token1;
  const bool Left2 = Parent2->GetLeftToken() == Token2;
  if (Left1) {
    Parent1->SetLeftToken(Token2);
  } else {
    Parent1->SetRightToken(Token2);
  }
  if (Left2) {
    Parent2->SetLeftToken(Token1);
  } else {
    Parent2->SetRightToken(Token1);
  }
}

TORVExprToken* RemoveNots(TORVExprToken* Token, bool Negate) {
  if (Token == nullptr) return nullptr;
  switch (Token->FTokenType) {
    case ttBINARY:
      if (Token->FTokenOperator == toAND || Token->FTokenOperator == toOR) {
        Token->SetLeftToken(RemoveNots(Token->GetLeftToken(), Negate));
        Token->SetRightToken(RemoveNots(Token->GetRightToken(), Negate));
        if (Negate) FlipBinaryOperator(Token);
        return Token;
      }
      if (!Negate || IsComparisonOperator(Token->FTokenOperator)) {
        if (Negate) FlipBinaryOperator(Token);
        return Token;
      }
      break;
    case ttEXTBINARY:
      if (Negate) FlipExtBinaryOperator(Token);
      return Token;
    case ttUNARY: {
      TORVExprToken* Operand = Token->GetLeftToken();
      Token->SetLeftToken(nullptr);
      TORVExprToken* Parent = Token->FUpperToken;
      TORVExprToken* Result = RemoveNots(Operand, Token->FTokenOperator == toNOT ? !Negate : false);
      if (Result != nullptr) {
        Result->FUpperToken = Parent;
        // Its parentheses served the operator that is gone; the builder
        // writes those the new place needs.
        Result->FParentheses = false;
      }
      FreeTokens(Token);
      return Result;
    }
    default:
      break;
  }
  if (!Negate) return Token;
  // Nothing below can take the negation: it stays as a NOT node.
  auto* Not = new TORVExprToken();
  Not->FTokenType = ttUNARY;
  Not->FTokenOperator = toNOT;
  Not->SetDataType(BooleanDataType);
  Not->AssignPos(Token);
  Not->FUpperToken = Token->FUpperToken;
  Not->SetLeftToken(Token);
  return Not;
}

bool ContainsFunctions(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) {
    return T->FTokenType == ttFUNCREF && T->FTokenOperator == toUDF;
  });
}

bool ContainsColumns(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) { return T->FTokenType == ttCOLUMNREF; });
}

bool ContainsAllColumnReferences(const TORVExprToken* Token) {
  if (Token == nullptr) return false;
  if (Token->FTokenType == ttCOLUMNREF) return true;
  if (Token->FTokenType != ttROWVALUE) return false;
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    const TORVExprToken* Member = Token->GetArgument(I);
    if (Member == nullptr || Member->FTokenType != ttCOLUMNREF) return false;
  }
  return true;
}

bool ContainsCorrelatedColumns(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) {
    if (T->FTokenType != ttCOLUMNREF || T->FSourceToken == nullptr) return false;
    const TORVExprToken* Query = GetParentQueryToken(const_cast<TORVExprToken*>(T));
    const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
    if (From == nullptr || From->GetNumArguments() == 0) return false;
    return T->FSourceToken != From->GetArgument(0);
  });
}

bool ContainsSelectColumns(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) { return T->FTokenType == ttSELECTCOLUMNREF; });
}

bool ContainsAggregates(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) {
    return T->FTokenType == ttFUNCREF && IsAggregateOperator(T->FTokenOperator);
  });
}

bool ContainsQueries(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) { return T->FTokenType == ttQUERY; });
}

bool ContainsCorrelatedQueries(const TORVExprToken* Token) {
  return AnyInExpression(Token, [](const TORVExprToken* T) {
    return T->FTokenType == ttQUERY && T->FTokenOperator == toCORRELATED;
  });
}

bool ContainsInputParams(const TORVExprToken* Token) {
  if (Token == nullptr) return false;
  std::vector<const TORVExprToken*> Stack{Token};
  auto Push = [&Stack](const TORVExprToken* T) {
    if (T != nullptr) Stack.push_back(T);
  };
  auto PushItems = [&Push](const TORVExprToken* Clause) {
    if (Clause == nullptr) return;
    for (int32_t I = 0; I < Clause->GetNumArguments(); ++I) Push(Clause->GetArgument(I));
  };
  while (!Stack.empty()) {
    const TORVExprToken* Next = Stack.back();
    Stack.pop_back();
    if (Next->FTokenType == ttDYNPARAMREF) {
      const TORVExprToken* Param = Next->FSourceToken;
      if (Param != nullptr && (Param->FTokenOperator == toINPUT || Param->FTokenOperator == toINPUTOUTPUT))
        return true;
    } else if (Next->FTokenType == ttJOIN) {
      Push(SlotOf(Next, JoinConditionSlot));
    } else if (Next->FTokenType == ttQUERY) {
      if (const TORVExprToken* Columns = SlotOf(Next, QuerySelectSlot)) {
        for (int32_t I = 0; I < Columns->GetNumArguments(); ++I)
          Push(SlotOf(Columns->GetArgument(I), ItemExpressionSlot));
      }
      if (const TORVExprToken* From = SlotOf(Next, QueryFromSlot)) {
        for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
          const TORVExprToken* Table = From->GetArgument(I);
          if (Table == nullptr) continue;
          if (Table->FTokenOperator == toDERIVED) Push(SlotOf(Table, TableRefQuerySlot));
          PushItems(SlotOf(Table, TableRefConditionsSlot));
          PushItems(SlotOf(Table, TableRefJoinsSlot));
        }
      }
      PushItems(SlotOf(Next, QueryWhereSlot));
      Push(SlotOf(Next, QueryHavingSlot));
      for (int32_t I = QueryExtensionSlot; I < Next->GetNumArguments(); ++I) {
        const TORVExprToken* Clause = Next->GetArgument(I);
        if (Clause == nullptr || Clause->FTokenOperator != toRANGE) continue;
        Push(SlotOf(Clause, RangeFirstSlot));
        Push(SlotOf(Clause, RangeLastSlot));
      }
    } else {
      PushChildrenReversed(Next, Stack);
    }
  }
  return false;
}

bool ContainsMultipleTables(const TORVExprToken* Query) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  return From != nullptr && From->GetNumArguments() > 1;
}

bool ContainsWhereClause(const TORVExprToken* Query) {
  if (SlotOf(Query, QueryWhereSlot) != nullptr) return true;
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr) return false;
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    const TORVExprToken* Conditions = SlotOf(From->GetArgument(I), TableRefConditionsSlot);
    if (Conditions != nullptr && Conditions->GetNumArguments() > 0) return true;
  }
  return false;
}

bool ContainsNoJoinOptimizeClause(const TORVExprToken* Query) { return IsExtensionClause(Query, toNOJOINOPTIMIZE); }

bool ContainsJoinOptimizeCostsClause(const TORVExprToken* Query) {
  return IsExtensionClause(Query, toJOINOPTIMIZECOSTS);
}

bool ContainsJoinIndexThreshholdClause(const TORVExprToken* Query) {
  return IsExtensionClause(Query, toJOININDEXTHRESHHOLD);
}

double GetJoinIndexThreshhold(const TORVExprToken* Query) {
  for (int32_t I = QueryExtensionSlot; I < Query->GetNumArguments(); ++I) {
    const TORVExprToken* Clause = Query->GetArgument(I);
    if (Clause == nullptr || Clause->FTokenOperator != toJOININDEXTHRESHHOLD) continue;
    const TORVExprToken* Value = SlotOf(Clause, ClauseValueSlot);
    return Value == nullptr ? 0.0 : StringToInt(Value->FTokenConstant) / 100.0;
  }
  return 0.0;
}

TORVExprToken* GetLeftMostToken(TORVExprToken* Token) {
  // Among the operands reached through binary and unary nodes, the earliest;
  // of equal positions the last one in operand order, as a comparison of
  // left against right that prefers the left only when strictly earlier.
  TORVExprToken* Result = nullptr;
  std::vector<TORVExprToken*> Stack{Token};
  while (!Stack.empty()) {
    TORVExprToken* Next = Stack.back();
    Stack.pop_back();
    if (Next == nullptr) continue;
    if (Next->FTokenType == ttBINARY) {
      Stack.push_back(Next->GetRightToken());
      Stack.push_back(Next->GetLeftToken());
    } else if (Next->FTokenType == ttUNARY) {
      Stack.push_back(Next->GetLeftToken());
    } else if (Result == nullptr || !LiesBefore(Result, Next)) {
      Result = Next;
    }
  }
  return Result;
}

TORVExprToken* GetParentQueryToken(TORVExprToken* Token) {
  return NearestAncestor(Token, [](const TORVExprToken* T) { return T->FTokenType == ttQUERY; });
}

TORVExprToken* GetMergeParentQueryToken(TORVExprToken* Token) {
  return NearestAncestor(Token, [](const TORVExprToken* T) {
    const TORVExprToken* Merge = SlotOf(T, QueryMergeWordSlot);
    return T->FTokenType == ttQUERY && (Merge == nullptr || Merge->FTokenOperator == toNONE);
  });
}

TORVExprToken* GetOuterQueryToken(TORVExprToken* Token) {
  TORVExprToken* Last = nullptr;
  for (TORVExprToken* Query = GetParentQueryToken(Token); Query != nullptr;
       Query = GetParentQueryToken(Query->FUpperToken)) {
    Last = Query;
    const TORVExprToken* Merge = SlotOf(Query, QueryMergeWordSlot);
    const bool Unmerged = Merge == nullptr || Merge->FTokenOperator == toNONE;
    const bool Derived = Query->FUpperToken != nullptr && Query->FUpperToken->FTokenOperator == toDERIVED;
    if (Query->FTokenOperator == toNONE && Unmerged && !Derived) return Query;
  }
  return Last;
}

TORVExprToken* GetColumnToken(TORVExprToken* Token, const TORVExprToken* After) {
  const TORVExprToken* Found = nullptr;
  AnyInExpression(Token, [&](const TORVExprToken* T) {
    if (T->FTokenType != ttCOLUMNREF || (After != nullptr && !LiesBefore(After, T))) return false;
    Found = T;
    return true;
  });
  return const_cast<TORVExprToken*>(Found);
}

std::vector<TORVExprToken*> ColumnsOf(TORVExprToken* Token) {
  // Each GetColumnToken after the last one found restarts the walk and
  // takes the first reference lying after it. No reference walked before
  // the last one found lies after it (it would have been found first), so
  // one walk keeping each reference that lies after the last one kept finds
  // the same ones.
  std::vector<TORVExprToken*> Result;
  AnyInExpression(Token, [&Result](const TORVExprToken* T) {
    if (T->FTokenType == ttCOLUMNREF && (Result.empty() || LiesBefore(Result.back(), T)))
      Result.push_back(const_cast<TORVExprToken*>(T));
    return false;
  });
  return Result;
}

namespace {

// Whether a column of Token's operands or arguments that an operator
// combines with one of another of its operands are bound to two tables of
// Query, checked at every node as ReferencesMultipleTables does. It holds
// where the column references, walked in operand order, lie in the text in
// that order too (as a parsed condition's do): then the references of every
// node are all of its walk, and one pass from the leaves up, carrying at
// most two of the tables each sub-tree's references are bound to, decides
// what comparing every pair at every node would.
class TMultipleTablesCheck {
 public:
  explicit TMultipleTablesCheck(const TORVExprToken* Query) : FQuery(Query) {}

  // The tables of Query that the references under Token are bound to, at
  // most two; Found is set when some node combines two of them.
  struct TTables {
    const TORVExprToken* First = nullptr;
    const TORVExprToken* Second = nullptr;
    bool Columns = false;

    void Add(const TTables& Other) {
      Columns = Columns || Other.Columns;
      for (const TORVExprToken* Table : {Other.First, Other.Second}) {
        if (Table == nullptr || Table == First || Second != nullptr) continue;
        if (First == nullptr) {
          First = Table;
        } else {
          Second = Table;
        }
      }
    }
    // Whether a reference here and one in Other are bound to two tables.
    bool Combines(const TTables& Other) const {
      return First != nullptr && Other.First != nullptr &&
             (Second != nullptr || Other.Second != nullptr || First != Other.First);
    }
  };

  TTables Visit(const TORVExprToken* Token) {
    TTables Result;
    if (Token == nullptr || Found) return Result;
    if (Token->FTokenType == ttCOLUMNREF) {
      Result.Columns = true;
      if (Token->FSourceToken != nullptr && InQuery(Token->FSourceToken)) Result.First = Token->FSourceToken;
      return Result;
    }
    if (Token->FTokenType == ttBINARY) {
      const TTables Left = Visit(Token->GetLeftToken());
      const TTables Right = Visit(Token->GetRightToken());
      if (!IsComparisonOperator(Token->FTokenOperator) && Left.Combines(Right)) Found = true;
      Result = Left;
      Result.Add(Right);
      return Result;
    }
    if (Token->FTokenType == ttUNARY) return Visit(Token->GetLeftToken());
    if (!HasArgumentChildren(Token)) return Result;
    TTables Reference;
    TTables Later;
    for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
      const TTables Argument = Visit(Token->GetArgument(I));
      if (!Reference.Columns) {
        Reference = Argument;
      } else {
        Later.Add(Argument);
      }
      Result.Add(Argument);
    }
    if (Reference.Combines(Later)) Found = true;
    return Result;
  }

  bool Found = false;

 private:
  bool InQuery(const TORVExprToken* Table) {
    if (Table != FLastTable) {
      FLastTable = Table;
      FLastInQuery = GetParentQueryToken(const_cast<TORVExprToken*>(Table)) == FQuery;
    }
    return FLastInQuery;
  }

  const TORVExprToken* FQuery;
  const TORVExprToken* FLastTable = nullptr;
  bool FLastInQuery = false;
};

// Whether the column references under Token lie in the text in the order
// they are walked in, each after the one before.
bool ColumnsInTextOrder(const TORVExprToken* Token) {
  const TORVExprToken* Last = nullptr;
  return !AnyInExpression(Token, [&Last](const TORVExprToken* T) {
    if (T->FTokenType != ttCOLUMNREF) return false;
    if (Last != nullptr && !LiesBefore(Last, T)) return true;
    Last = T;
    return false;
  });
}

// ReferencesMultipleTables pair by pair, node by node, for references out
// of text order.
bool ReferencesMultipleTablesPairwise(TORVExprToken* Token, const TORVExprToken* Query) {
  if (Token == nullptr) return false;
  if (Token->FTokenType == ttBINARY) {
    TORVExprToken* Left = Token->GetLeftToken();
    TORVExprToken* Right = Token->GetRightToken();
    if (ReferencesMultipleTablesPairwise(Left, Query) || ReferencesMultipleTablesPairwise(Right, Query)) return true;
    if (IsComparisonOperator(Token->FTokenOperator) || !ContainsColumns(Left) || !ContainsColumns(Right))
      return false;
    for (TORVExprToken* A : ColumnsOf(Left)) {
      for (TORVExprToken* B : ColumnsOf(Right)) {
        if (A->FSourceToken != nullptr && B->FSourceToken != nullptr && A->FSourceToken != B->FSourceToken &&
            GetParentQueryToken(A->FSourceToken) == Query &&
            GetParentQueryToken(B->FSourceToken) == Query)
          return true;
      }
    }
    return false;
  }
  if (Token->FTokenType == ttUNARY) return ReferencesMultipleTablesPairwise(Token->GetLeftToken(), Query);
  if (!HasArgumentChildren(Token)) return false;
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    if (ReferencesMultipleTablesPairwise(Token->GetArgument(I), Query)) return true;
  }
  int32_t First = 0;
  while (First < Token->GetNumArguments() && !ContainsColumns(Token->GetArgument(First))) ++First;
  if (First >= Token->GetNumArguments()) return false;
  const std::vector<TORVExprToken*> Reference = ColumnsOf(Token->GetArgument(First));
  for (int32_t I = First + 1; I < Token->GetNumArguments(); ++I) {
    for (TORVExprToken* B : ColumnsOf(Token->GetArgument(I))) {
      for (TORVExprToken* A : Reference) {
        if (A->FSourceToken != nullptr && B->FSourceToken != nullptr && A->FSourceToken != B->FSourceToken &&
            GetParentQueryToken(A->FSourceToken) == Query &&
            GetParentQueryToken(B->FSourceToken) == Query)
          return true;
      }
    }
  }
  return false;
}

}  // namespace

bool ReferencesMultipleTables(TORVExprToken* Token) {
  if (Token == nullptr) return false;
  const TORVExprToken* Query = GetParentQueryToken(Token);
  if (!ColumnsInTextOrder(Token)) return ReferencesMultipleTablesPairwise(Token, Query);
  TMultipleTablesCheck Check(Query);
  Check.Visit(Token);
  return Check.Found;
}

// ---------------------------------------------------------------------------
// Join lists

namespace {

TORVExprToken* JoinsOf(const TORVExprToken* TableToken) { return SlotOf(TableToken, TableRefJoinsSlot); }

int32_t CountOf(const TORVExprToken* Clause) { return Clause == nullptr ? 0 : Clause->GetNumArguments(); }

bool IsOuterJoin(const TORVExprToken* Join) {
  return Join->FTokenOperator == toLEFTOUTERJOIN || Join->FTokenOperator == toRIGHTOUTERJOIN;
}

bool AnyColumnBoundTo(TORVExprToken* Token, const TORVExprToken* TableToken) {
  for (const TORVExprToken* Column : ColumnsOf(Token)) {
    if (Column->FSourceToken == TableToken) return true;
  }
  return false;
}

// The index of the first join of TableToken's list that targets Target.
int32_t FindJoinTo(const TORVExprToken* TableToken, const TORVExprToken* Target) {
  const TORVExprToken* Joins = JoinsOf(TableToken);
  for (int32_t I = 0; I < CountOf(Joins); ++I) {
    const TORVExprToken* Join = Joins->GetArgument(I);
    if (Join != nullptr && Join->FTargetToken == Target) return I;
  }
  return -1;
}

// Depth bounds the walk back along the joins that lead to a table: a
// chain never holds more joins than the query has tables, so a longer one
// can only be a cycle, which ends the walk instead of recursing forever.
bool FlipJoinsTo(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken, bool KeepPosition,
                 int32_t Depth) {
  TORVExprToken* Parent = GetParentTableToken(Query, JoinOperator, TableToken);
  if (Parent == nullptr) Parent = GetParentTableToken(Query, toCROSSJOIN, TableToken);
  if (Parent == nullptr || Depth > CountOf(SlotOf(Query, QueryFromSlot))) return false;
  FlipJoinsTo(Query, JoinOperator, Parent, false, Depth + 1);
  TORVExprToken* ParentJoins = JoinsOf(Parent);
  TORVExprToken* TableJoins = JoinsOf(TableToken);
  const int32_t Index = FindJoinTo(Parent, TableToken);
  if (Index < 0 || TableJoins == nullptr) return false;
  const int32_t Count = CountOf(ParentJoins);
  TORVExprToken* Join = ParentJoins->GetArgument(Index);
  ParentJoins->DeleteArgument(Index);
  if (Join->FTokenOperator == toRIGHTOUTERJOIN) Join->FTokenOperator = toLEFTOUTERJOIN;
  Join->FTargetToken = Parent;
  for (int32_t I = 0; I < Join->GetNumArguments(); ++I) FlipJoinTokens(Join->GetArgument(I));
  int32_t Position = KeepPosition ? Join->FPosition : GetJoinPosition(TableToken, Join);
  Position = std::clamp(Position, 0, TableJoins->GetNumArguments());
  TableJoins->InsertArgument(Position, Join);
  FlipTables(Query, Parent, TableToken, Count > 1);
  if (Count > 1) {
    for (int32_t I = 0; I < TableJoins->GetNumArguments(); ++I) {
      TORVExprToken* Target = TableJoins->GetArgument(I)->FTargetToken;
      if (Target != nullptr && Target != Parent) FlipTables(Query, Parent, Target, true);
    }
  }
  return true;
}

}  // namespace

TORVExprToken* GetParentTableToken(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken) {
  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    const TORVExprToken* Joins = JoinsOf(Table);
    for (int32_t J = 0; J < CountOf(Joins); ++J) {
      const TORVExprToken* Join = Joins->GetArgument(J);
      if (Join != nullptr && Join->FTokenOperator == JoinOperator && Join->FTargetToken == TableToken) return Table;
    }
  }
  return nullptr;
}

void SetTablePositions(TORVExprToken* Query, bool IncludeJoins) {
  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    Table->FPosition = I;
    if (!IncludeJoins) continue;
    TORVExprToken* Joins = JoinsOf(Table);
    for (int32_t J = 0; J < CountOf(Joins); ++J) Joins->GetArgument(J)->FPosition = J;
  }
}

bool ExpressionDependsUponTable(TORVExprToken* Expression, const TORVExprToken* TableToken) {
  if (Expression == nullptr) return false;
  switch (Expression->FTokenType) {
    case ttBINARY:
      if (Expression->FTokenOperator == toAND || Expression->FTokenOperator == toOR) {
        return ExpressionDependsUponTable(Expression->GetLeftToken(), TableToken) ||
               ExpressionDependsUponTable(Expression->GetRightToken(), TableToken);
      }
      if (!IsComparisonOperator(Expression->FTokenOperator)) return false;
      return AnyColumnBoundTo(Expression->GetLeftToken(), TableToken) ||
             AnyColumnBoundTo(Expression->GetRightToken(), TableToken);
    case ttEXTBINARY:
    case ttFUNCREF:
    case ttROWVALUE:
      return AnyColumnBoundTo(Expression, TableToken);
    case ttUNARY:
      return ExpressionDependsUponTable(Expression->GetLeftToken(), TableToken);
    default:
      return false;
  }
}

bool JoinDependsUponTable(TORVExprToken* Join, const TORVExprToken* TableToken) {
  for (int32_t I = 0; I < Join->GetNumArguments(); ++I) {
    if (ExpressionDependsUponTable(Join->GetArgument(I), TableToken)) return true;
  }
  return false;
}

int32_t GetJoinPosition(TORVExprToken* TableToken, TORVExprToken* Join) {
  const TORVExprToken* Joins = JoinsOf(TableToken);
  int32_t FirstOuter = -1;
  for (int32_t I = CountOf(Joins) - 1; I >= 0; --I) {
    const TORVExprToken* Entry = Joins->GetArgument(I);
    if (Entry->FTargetToken != nullptr && JoinDependsUponTable(Join, Entry->FTargetToken)) return I + 1;
    if (Join->FTokenOperator == toINNERJOIN && IsOuterJoin(Entry)) FirstOuter = I;
  }
  return FirstOuter < 0 ? 0 : FirstOuter;
}

void FlipJoinTokens(TORVExprToken* Expression) {
  if (Expression == nullptr) return;
  if (Expression->FTokenType == ttBINARY) {
    if (IsComparisonOperator(Expression->FTokenOperator)) {
      ReverseBinaryTokenOperator(Expression);
      return;
    }
    FlipJoinTokens(Expression->GetLeftToken());
    FlipJoinTokens(Expression->GetRightToken());
  } else if (Expression->FTokenType == ttUNARY) {
    FlipJoinTokens(Expression->GetLeftToken());
  }
}

bool TargetOfJoin(TORVExprToken* Query, const TORVExprToken* Join, const TORVExprToken* TableToken) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    const TORVExprToken* Joins = JoinsOf(From->GetArgument(I));
    for (int32_t J = 0; J < CountOf(Joins); ++J) {
      const TORVExprToken* Other = Joins->GetArgument(J);
      if (Other != Join && Other->FTargetToken == TableToken) return true;
    }
  }
  return false;
}

bool TargetOfInnerJoin(TORVExprToken* Query, const TORVExprToken* TableToken) {
  return GetParentTableToken(Query, toINNERJOIN, const_cast<TORVExprToken*>(TableToken)) != nullptr;
}

bool TargetOfOuterJoin(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken) {
  // Inner joins lead backwards along a chain of distinct tables; the count
  // stops a malformed cycle.
  TORVExprToken* Current = TableToken;
  for (int32_t Steps = CountOf(SlotOf(Query, QueryFromSlot)); Current != nullptr && Steps >= 0; --Steps) {
    if (GetParentTableToken(Query, JoinOperator, Current) != nullptr) return true;
    Current = GetParentTableToken(Query, toINNERJOIN, Current);
  }
  return false;
}

bool FlipJoins(TORVExprToken* Query, TORVTokenOperator JoinOperator, TORVExprToken* TableToken, bool KeepPosition) {
  return FlipJoinsTo(Query, JoinOperator, TableToken, KeepPosition, 0);
}

void FlipTables(TORVExprToken* Query, TORVExprToken* Table1, TORVExprToken* Table2, bool Move) {
  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr) return;
  const int32_t Position1 = Table1->FPosition;
  const int32_t Position2 = Table2->FPosition;
  const int32_t Count = From->GetNumArguments();
  if (Position1 < 0 || Position1 >= Count || Position2 < 0 || Position2 >= Count ||
      From->GetArgument(Position1) != Table1 || From->GetArgument(Position2) != Table2)
    throw std::logic_error("FlipTables: table positions out of date");
  if (Move) {
    From->DeleteArgument(Position2);
    From->InsertArgument(Position1, Table2);
  } else {
    From->SetArgument(Position1, Table2);
    From->SetArgument(Position2, Table1);
  }
  SetTablePositions(Query, false);
}

bool ValidateTableJoinPosition(TORVExprToken* Query, TORVExprToken* TableToken, TORVExprToken* Join) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr) return true;
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    if (Table->FPosition <= TableToken->FPosition || Table == Join->FTargetToken) continue;
    if (JoinDependsUponTable(Join, Table)) return false;
  }
  return true;
}

bool ValidateTablePositions(TORVExprToken* Query) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr) return true;
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    const TORVExprToken* Joins = JoinsOf(Table);
    for (int32_t J = 0; J < CountOf(Joins); ++J) {
      TORVExprToken* Join = Joins->GetArgument(J);
      if (Join->FTokenOperator == toCROSSJOIN) continue;
      if (!ValidateTableJoinPosition(Query, Table, Join)) return false;
    }
  }
  return true;
}

TORVExprToken* GetParentRoutineToken(TORVExprToken* Token) {
  return NearestAncestor(Token, [](const TORVExprToken* T) {
    return T->FTokenType == ttFUNCTION || T->FTokenType == ttPROCEDURE || T->FTokenType == ttSCRIPT;
  });
}

TORVExprToken* GetParentBlockToken(TORVExprToken* Token) {
  return NearestAncestor(Token, [](const TORVExprToken* T) { return T->FTokenType == ttBLOCK; });
}

int32_t EvaluateAndOptimizeTypes(int32_t Type1, int32_t Type2) { return Type1 == Type2 ? Type1 : 1; }

int32_t EvaluateOrOptimizeTypes(int32_t Type1, bool IsTextSearch1, int32_t Type2, bool IsTextSearch2) {
  if (Type1 == Type2) return Type1;
  if ((Type1 == 2 && IsTextSearch1) || (Type2 == 2 && IsTextSearch2)) return 1;
  return 0;
}

}  // namespace orv
