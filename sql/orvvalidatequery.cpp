// Validation of whole queries: the FROM tables and their joins, the select
// list with its names and types, INTO, WHERE, GROUP BY, HAVING, ORDER BY,
// the queries merged by UNION, EXCEPT and INTERSECT, and the rewriting that
// makes every aggregate and every grouped or ordered expression a select
// column that query execution computes once per row or group.
#include <vector>

#include "base/orverror.h"
#include "core/orvcommon.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "core/orvwords.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

inline constexpr int32_t MaxGroupByColumns = 256;
inline constexpr int32_t MaxOrderByColumns = 256;
// Character and bytes select columns of unknown length get this length;
// longer than the maximum they are large objects.
inline constexpr int32_t DefaultSelectColumnLength = 60;
inline constexpr int32_t MaxSelectColumnLength = 1024;
// The name the row identifier takes in a result; no select column may have
// it.
constexpr std::u16string_view RowIDColumnName = u"__RowID";

int32_t CountOf(const TORVExprToken* Clause) { return Clause == nullptr ? 0 : Clause->GetNumArguments(); }

bool IsMerged(const TORVExprToken* Query) {
  const TORVExprToken* Merge = SlotOf(Query, QueryMergeWordSlot);
  return Merge != nullptr && Merge->FTokenOperator != toNONE;
}

bool IsStarColumn(const TORVExprToken* Token) {
  return Token != nullptr && Token->FTokenType == ttCOLUMNREF && Token->FName == u"*";
}

const TORVString& EffectiveTableName(const TORVExprToken* Table) {
  return Table->FCorrelationName.empty() ? Table->FName : Table->FCorrelationName;
}

// The name an aggregate gives its select column ("SUM of Amount").
TORVString AggregateColumnPrefix(TORVTokenOperator Operator) {
  switch (Operator) {
    case toAVG:
      return u"AVG of";
    case toCOUNT:
      return u"COUNT of";
    case toLIST:
      return u"LIST of";
    case toMAX:
      return u"MAX of";
    case toMIN:
      return u"MIN of";
    case toRUNSUM:
      return u"RUNSUM of";
    case toSTDDEV:
      return u"STDDEV of";
    case toSUM:
      return u"SUM of";
    case toSUMSQUARE:
      return u"SUM SQUARES of";
    default:
      return u"";
  }
}

TORVString DefaultSelectColumnName(const TORVExprToken* Expression) {
  if (Expression == nullptr) return u"Expression";
  if (Expression->FTokenType == ttCOLUMNREF) return Expression->FName;
  if (Expression->FTokenType != ttFUNCREF || !IsAggregateOperator(Expression->FTokenOperator)) return u"Expression";
  const TORVExprToken* Argument = SlotOf(Expression, AggregateArgumentSlot);
  TORVString Suffix = u"Expression";
  if (IsStarColumn(Argument)) {
    Suffix = u"ALL";
  } else if (Argument != nullptr && Argument->FTokenType == ttCOLUMNREF) {
    Suffix = Argument->FName;
  }
  return AggregateColumnPrefix(Expression->FTokenOperator) + u" " + Suffix;
}

// What the aggregate checks need of a select list.
struct TSelectAggregates {
  bool HasAggregates = false;
  bool HasColumns = false;
  // The first column reference of the last expression that has columns but
  // no aggregate.
  TORVExprToken* Column = nullptr;
};

TSelectAggregates ScanSelectAggregates(const TORVExprToken* Select) {
  TSelectAggregates Result;
  for (int32_t I = 0; I < CountOf(Select); ++I) {
    TORVExprToken* Expression = SlotOf(Select->GetArgument(I), ItemExpressionSlot);
    if (ContainsAggregates(Expression)) {
      Result.HasAggregates = true;
    } else if (ContainsColumns(Expression)) {
      Result.HasColumns = true;
      Result.Column = GetColumnToken(Expression, nullptr);
    }
  }
  return Result;
}

// Frees the operands and arguments of Token, leaving it childless.
void FreeChildren(TORVExprToken* Token) {
  TORVExprToken* Left = Token->GetLeftToken();
  TORVExprToken* Right = Token->GetRightToken();
  Token->SetLeftToken(nullptr);
  Token->SetRightToken(nullptr);
  FreeTokens(Left);
  FreeTokens(Right);
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    Token->SetArgument(I, nullptr);
    FreeTokens(Argument);
  }
  Token->SetNumArguments(0);
}

// The visible select columns of a select clause, in order.
std::vector<TORVExprToken*> VisibleColumns(const TORVExprToken* Select) {
  std::vector<TORVExprToken*> Result;
  for (int32_t I = 0; I < CountOf(Select); ++I) {
    TORVExprToken* Column = Select->GetArgument(I);
    if (Column != nullptr && !Column->FHidden) Result.push_back(Column);
  }
  return Result;
}

}  // namespace

// ---------------------------------------------------------------------------
// The query

void TORVExprValidater::ValidateQuery(TORVExprToken* Query, bool IncludeTemporary) {
  // Dynamic parameters are declared in the order of the text although the
  // FROM clause is validated before the select list: the FROM clause's
  // declarations go in from P0 on, the select list's and INTO's in front
  // of them, and the later clauses' after both.
  TORVExprToken* Outer = GetOuterQueryToken(Query);
  if (Outer == nullptr) Outer = Query;
  TORVExprToken* Params = SlotOf(Outer, QueryParametersSlot);
  int32_t P0 = 0;
  if (Params != nullptr) {
    if (Params->FPosition == -1) Params->FPosition = 0;
    P0 = Params->FPosition;
  }

  if (Query->FUpperToken != nullptr && Query->FTokenOperator == toNONE && !IsMerged(Query) &&
      Query->FUpperToken->FTokenOperator != toDERIVED)
    Query->FTokenOperator = toUNCORRELATED;

  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From != nullptr) {
    if (From->GetNumArguments() == 0) ExpectedExpression(Query, u"table name");
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      TORVExprToken* Table = From->GetArgument(I);
      Table->FPosition = I;
      if (Table->FTokenOperator == toDERIVED) ValidateQuery(SlotOf(Table, TableRefQuerySlot), true);
      BeginReadTokenCatalog(Table);
      BindReference(Table, ttTABLEREF, IncludeTemporary);
      TableFound(Table);
    }
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      TORVExprToken* Joins = SlotOf(From->GetArgument(I), TableRefJoinsSlot);
      TORVValueGuard<bool> Transform(FTransformBooleans, true);
      for (int32_t J = 0; J < CountOf(Joins); ++J) {
        TORVExprToken* Join = Joins->GetArgument(J);
        Join->FPosition = J;
        if (Join->FTokenOperator == toCROSSJOIN || SlotOf(Join, JoinConditionSlot) == nullptr) continue;
        TORVExprToken* Condition = Join->GetArgument(JoinConditionSlot);
        ValidateNextToken(Condition);
        Condition = Join->GetArgument(JoinConditionSlot);
        CheckBooleanTypes(Condition);
        Join->SetArgument(JoinConditionSlot, RemoveNots(Condition, false));
      }
    }
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      TORVExprToken* Table = From->GetArgument(I);
      CheckForDuplicateTableCorrelationName(Query, Table);
      if (!Table->FCorrelationName.empty() && !ValidIdentifier(Table->FCorrelationName))
        InvalidToken(Table, u"invalid correlation name");
    }
    for (int32_t I = From->GetNumArguments() - 1; I >= 0; --I) PushJoins(Query, From->GetArgument(I));
    // Only left outer joins remain; the tables are reordered as the joins
    // are turned around, so the joins are listed first.
    std::vector<TORVExprToken*> Joins;
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      const TORVExprToken* List = SlotOf(From->GetArgument(I), TableRefJoinsSlot);
      for (int32_t J = CountOf(List) - 1; J >= 0; --J) Joins.push_back(List->GetArgument(J));
    }
    for (TORVExprToken* Join : Joins) {
      if (Join->FTokenOperator == toCROSSJOIN) continue;
      if (Join->FTokenOperator == toRIGHTOUTERJOIN) FlipJoins(Query, toRIGHTOUTERJOIN, Join->FTargetToken, false);
      if (!ValidateTablePositions(Query))
        InvalidToken(SlotOf(Join, JoinConditionSlot) != nullptr ? Join->GetArgument(JoinConditionSlot) : Join,
                     u"this expression refers to a table or column that is not in scope yet");
    }
    // A table reached by two joins is reached through one of them turned
    // around; every flip removes a second join to a table, so the flips
    // end.
    int32_t JoinCount = static_cast<int32_t>(Joins.size());
    std::vector<TORVExprToken*> TableOrder;
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) TableOrder.push_back(From->GetArgument(I));
    for (TORVExprToken* Table : TableOrder) {
      for (int32_t Flips = 0; Flips <= JoinCount; ++Flips) {
        const TORVExprToken* List = SlotOf(Table, TableRefJoinsSlot);
        TORVExprToken* Target = nullptr;
        for (int32_t J = 0; J < CountOf(List) && Target == nullptr; ++J) {
          const TORVExprToken* Join = List->GetArgument(J);
          if (TargetOfJoin(Query, Join, Join->FTargetToken)) Target = Join->FTargetToken;
        }
        if (Target == nullptr || !FlipJoins(Query, toINNERJOIN, Target, false)) break;
      }
    }
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      const TORVExprToken* List = SlotOf(From->GetArgument(I), TableRefJoinsSlot);
      for (int32_t J = 0; J < CountOf(List); ++J) {
        const TORVExprToken* Join = List->GetArgument(J);
        if (TargetOfJoin(Query, Join, Join->FTargetToken))
          InvalidToken(Join->FTargetToken, u"this table is the target of multiple join conditions");
      }
    }
    SetTablePositions(Query, true);
  }
  const int32_t FromParams = Params != nullptr ? Params->FPosition - P0 : 0;
  if (Params != nullptr) Params->FPosition = P0;

  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  if (CountOf(Select) == 0) ExpectedExpression(Select != nullptr ? Select : Query, u"column expression");
  for (int32_t I = 0; I < Select->GetNumArguments();) {
    TORVExprToken* Column = Select->GetArgument(I);
    Column->FPosition = I;
    ValidateNextToken(SlotOf(Column, ItemExpressionSlot));
    TORVExprToken* Expression = SlotOf(Column, ItemExpressionSlot);
    if (!IsStarColumn(Expression)) {
      if (Expression != nullptr && (Expression->FDataType == dtCharacter || Expression->FDataType == dtBytes)) {
        if (Expression->FLength == 0) {
          Expression->FLength = DefaultSelectColumnLength;
        } else if (Expression->FLength > MaxSelectColumnLength) {
          Expression->FSubType = Expression->FDataType == dtCharacter ? stClob : stBlob;
          Expression->FDataType = dtLargeObject;
          Expression->FLength = 0;
        }
      }
      ++I;
      continue;
    }
    if (From == nullptr) InvalidToken(Expression, u"FROM clause required for any column references");
    ExpandAllSelectColumns(Query, Expression->FSourceName.empty() ? nullptr : Expression->FSourceToken, I, Column);
  }
  for (int32_t I = 0; I < Select->GetNumArguments(); ++I) ValidateSelectColumn(Query, Select->GetArgument(I));
  TORVExprToken* GroupBy = SlotOf(Query, QueryGroupBySlot);
  auto CheckAggregates = [&]() {
    const TSelectAggregates Found = ScanSelectAggregates(Select);
    if (Found.HasColumns && From == nullptr)
      InvalidToken(Found.Column, u"FROM clause required for any column references");
    if (Found.HasAggregates && Found.HasColumns && GroupBy == nullptr)
      InvalidToken(Found.Column, u"GROUP BY clause required for any column references");
    return Found;
  };
  const TSelectAggregates Listed = CheckAggregates();
  if (Select->GetNumArguments() == 1) Query->AssignType(Select->GetArgument(0));

  if (TORVExprToken* Into = SlotOf(Query, QueryIntoSlot)) {
    // Reported at the first target: the list itself has no text to quote.
    if (Into->GetNumArguments() != Select->GetNumArguments())
      InvalidToken(SlotOf(Into, FirstItemSlot) != nullptr ? Into->GetArgument(0) : Into,
                   u"the number of SELECT column must match the number of INTO clause parameters");
    TORVValueGuard<TORVTokenOperator> Direction(FParamOperator, toOUTPUT);
    for (int32_t I = 0; I < Into->GetNumArguments(); ++I) {
      TORVExprToken* Item = Into->GetArgument(I);
      ValidateNextToken(Item);
      CheckTokenType(Item, {ttDYNPARAMREF});
      if (Item->FSourceToken != nullptr) {
        Item->FSourceToken->AssignType(Select->GetArgument(I));
        Item->AssignType(Item->FSourceToken);
      }
    }
  }
  if (Params != nullptr) Params->FPosition += FromParams;

  if (TORVExprToken* Where = SlotOf(Query, QueryWhereSlot)) {
    TORVValueGuard<bool> Transform(FTransformBooleans, true);
    for (int32_t I = 0; I < Where->GetNumArguments(); ++I) {
      ValidateNextToken(Where->GetArgument(I));
      CheckBooleanTypes(Where->GetArgument(I));
      Where->SetArgument(I, RemoveNots(Where->GetArgument(I), false));
    }
  }
  if (SlotOf(Query, QueryWhereSlot) != nullptr) ReduceWhere(Query);
  ReduceJoins(Query);
  ConsolidateWhere(Query);

  if (IsMerged(Query)) {
    TORVExprToken* First = GetMergeParentQueryToken(Query);
    TORVExprToken* OrderBy = SlotOf(First, QueryOrderBySlot);
    for (int32_t I = 0; I < CountOf(OrderBy); ++I) {
      if (TORVExprToken* Item = SlotOf(OrderBy->GetArgument(I), ItemExpressionSlot))
        SetSelectColumnSourceToken(Query, Item, true, false, true);
    }
  }

  if (GroupBy != nullptr) {
    if (GroupBy->GetNumArguments() > MaxGroupByColumns)
      InvalidToken(SlotOf(GroupBy->GetArgument(0), ItemExpressionSlot),
                   FormatString(u"the maximum number of GROUP BY columns (%s) exceeded",
                                {IntToString(MaxGroupByColumns)}));
    for (int32_t I = 0; I < GroupBy->GetNumArguments(); ++I) {
      TORVExprToken* Item = GroupBy->GetArgument(I);
      ValidateColumnOptions(Item);
      TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
      if (Expression == nullptr) continue;
      if (ContainsAggregates(Expression))
        InvalidToken(Expression, u"aggregate functions not allowed in the GROUP BY clause");
      SetSelectColumnSourceToken(Query, Expression, false, false, true);
    }
  }

  if (TORVExprToken* Having = SlotOf(Query, QueryHavingSlot)) {
    if (!Listed.HasAggregates && Listed.HasColumns && GroupBy == nullptr)
      InvalidToken(Having, u"GROUP BY clause required for any column references");
    ReduceSelectColumn(Query, Having, true, true);
    ValidateNextToken(Having);
    CheckBooleanTypes(Having);
  }

  if (TORVExprToken* Merged = SlotOf(Query, QueryMergedQuerySlot)) {
    ValidateQuery(Merged, true);
    TORVExprToken* MergedSelect = SlotOf(Merged, QuerySelectSlot);
    if (GetSelectColumnCount(MergedSelect) != GetSelectColumnCount(Select))
      InvalidToken(SlotOf(MergedSelect, FirstItemSlot) != nullptr ? MergedSelect->GetArgument(0) : Merged,
                   u"column counts do not match");
    const TORVExprToken* MergeWord = SlotOf(Merged, QueryMergeWordSlot);
    const TORVTokenOperator Merge = MergeWord != nullptr ? MergeWord->FTokenOperator : toNONE;
    const bool Distinct = Merge == toUNION || Merge == toEXCEPT || Merge == toINTERSECT;
    const std::vector<TORVExprToken*> Mine = VisibleColumns(Select);
    const std::vector<TORVExprToken*> Theirs = VisibleColumns(MergedSelect);
    for (size_t I = 0; I < Mine.size(); ++I) {
      CheckArgumentTypes(Theirs[I], Mine[I]);
      if (Distinct) {
        CheckNonBlobTypes(Theirs[I]);
        CheckNonBlobTypes(Mine[I]);
      }
      CheckTypePromotion(Mine[I], Theirs[I]);
      if (Select->FTokenOperator == toDISTINCT) CheckNonBlobTypes(Mine[I]);
    }
  }

  TORVExprToken* OrderBy = SlotOf(Query, QueryOrderBySlot);
  const TORVExprToken* Parent = Query->FUpperToken;
  if (Query->FTokenOperator != toNONE && Parent != nullptr &&
      (Parent->FTokenOperator == toIN || Parent->FTokenOperator == toNOTIN) && OrderBy == nullptr &&
      (!Listed.HasAggregates || Listed.HasColumns)) {
    // An IN list read from a sub-query is searched in order. The order is
    // hidden: built text leaves it out, as the user did.
    OrderBy = new TORVExprToken();
    OrderBy->FTokenType = ttCLAUSE;
    OrderBy->FHidden = true;
    Query->SetArgument(QueryOrderBySlot, OrderBy);
    for (TORVExprToken* Column : VisibleColumns(Select)) {
      auto* Item = new TORVExprToken();
      Item->FTokenType = ttSELECTCOLUMNREF;
      Item->AssignPos(Column);
      OrderBy->AddArgument(Item);
      auto* Ref = new TORVExprToken();
      Ref->FTokenType = ttCOLUMNREF;
      Ref->FName = Column->FCorrelationName;
      Ref->AssignPos(Column);
      Item->AddArgument(Ref);
      Item->AddArgument(nullptr);
      Item->AddArgument(nullptr);
      Ref->AddArgument(nullptr);
      Ref->AddArgument(nullptr);
    }
  }
  if (CountOf(OrderBy) > 0) {
    const TSelectAggregates Found = ScanSelectAggregates(Select);
    if (Found.HasAggregates && !Found.HasColumns && GroupBy == nullptr)
      InvalidToken(SlotOf(OrderBy->GetArgument(0), ItemExpressionSlot), u"ORDER BY clause not allowed");
    if (OrderBy->GetNumArguments() > MaxOrderByColumns)
      InvalidToken(SlotOf(OrderBy->GetArgument(0), ItemExpressionSlot),
                   FormatString(u"the maximum number of ORDER BY columns (%s) exceeded",
                                {IntToString(MaxOrderByColumns)}));
    for (int32_t I = 0; I < OrderBy->GetNumArguments(); ++I) {
      TORVExprToken* Item = OrderBy->GetArgument(I);
      ValidateColumnOptions(Item);
      if (TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot)) SetSelectColumnSourceToken(Query, Expression, false, false, true);
    }
  }

  CheckAggregates();
  for (int32_t I = 0; I < Select->GetNumArguments(); ++I) {
    TORVExprToken* Expression = SlotOf(Select->GetArgument(I), ItemExpressionSlot);
    const bool Aggregates = ContainsAggregates(Expression);
    ReduceSelectColumn(Query, Expression, Aggregates, Aggregates);
  }

  for (int32_t I = QueryExtensionSlot; I < Query->GetNumArguments(); ++I) {
    TORVExprToken* Clause = Query->GetArgument(I);
    if (Clause == nullptr) continue;
    if (Clause->FTokenOperator == toJOININDEXTHRESHHOLD) {
      TORVExprToken* Value = SlotOf(Clause, ClauseValueSlot);
      if (Value == nullptr) continue;
      ValidateNextToken(Value);
      CheckTokenType(Value, {ttCONST});
      CheckIntegerTypes(Value);
    } else if (Clause->FTokenOperator == toRANGE) {
      for (int32_t B = 0; B < 2; ++B) {
        TORVExprToken* Bound = SlotOf(Clause, B);
        if (Bound == nullptr) continue;
        ValidateNextToken(Bound);
        CheckTokenType(Bound, {ttCONST, ttDYNPARAMREF});
        if (Bound->FTokenType == ttDYNPARAMREF) SetDynamicParamType(Bound, dtInteger, stNone);
        CheckIntegerTypes(Bound);
      }
    }
  }
}

void TORVExprValidater::UnlockQuery(TORVExprToken* Query) {
  if (Query == nullptr) return;
  const TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  for (int32_t I = 0; I < CountOf(Select); ++I) UnlockNextToken(SlotOf(Select->GetArgument(I), ItemExpressionSlot));
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  for (int32_t I = 0; I < CountOf(From); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    const TORVExprToken* Conditions = SlotOf(Table, TableRefConditionsSlot);
    for (int32_t C = 0; C < CountOf(Conditions); ++C) UnlockNextToken(Conditions->GetArgument(C));
    const TORVExprToken* Joins = SlotOf(Table, TableRefJoinsSlot);
    for (int32_t J = 0; J < CountOf(Joins); ++J) {
      const TORVExprToken* Join = Joins->GetArgument(J);
      for (int32_t C = 0; C < CountOf(Join); ++C) UnlockNextToken(Join->GetArgument(C));
    }
    if (Table->FTokenOperator == toDERIVED) UnlockQuery(SlotOf(Table, TableRefQuerySlot));
    EndReadTokenCatalog(Table);
  }
  const TORVExprToken* Where = SlotOf(Query, QueryWhereSlot);
  for (int32_t I = 0; I < CountOf(Where); ++I) UnlockNextToken(Where->GetArgument(I));
  // A validation that failed part-way may have left validated expressions
  // in the clauses that are bound to select columns only later.
  for (int32_t Slot : {QueryGroupBySlot, QueryOrderBySlot}) {
    const TORVExprToken* Items = SlotOf(Query, Slot);
    for (int32_t I = 0; I < CountOf(Items); ++I) UnlockNextToken(SlotOf(Items->GetArgument(I), ItemExpressionSlot));
  }
  UnlockNextToken(SlotOf(Query, QueryHavingSlot));
  UnlockQuery(SlotOf(Query, QueryMergedQuerySlot));
}

void TORVExprValidater::CheckForDuplicateTableCorrelationName(TORVExprToken* Query, TORVExprToken* Table) {
  const TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  const TORVString& Name = EffectiveTableName(Table);
  for (int32_t I = 0; I < CountOf(From) && From->GetArgument(I) != Table; ++I) {
    if (SameString(EffectiveTableName(From->GetArgument(I)), Name))
      InvalidToken(Table, u"duplicate table or table correlation name found");
  }
}

// ---------------------------------------------------------------------------
// Select columns

void TORVExprValidater::AssignSelectColumnCorrelationName(TORVExprToken* Column) {
  if (Column->FCorrelationName.empty()) Column->FCorrelationName = DefaultSelectColumnName(SlotOf(Column, ItemExpressionSlot));
  const TORVExprToken* Select = Column->FUpperToken;
  const int32_t Count = CountOf(Select);
  const TORVString Base = Column->FCorrelationName;
  // Each column is checked against every column before it, so the names of
  // other lengths are passed over before the case-insensitive comparison.
  auto Taken = [&](const TORVString& Name) {
    if (SameString(Name, RowIDColumnName)) return true;
    const bool NameEndsInBlank = !Name.empty() && Name.back() == u' ';
    for (int32_t I = 0; I < Count; ++I) {
      const TORVExprToken* Other = Select->GetArgument(I);
      if (Other == Column) break;
      const TORVString& OtherName = Other->FCorrelationName;
      if (OtherName.size() != Name.size() && !NameEndsInBlank && (OtherName.empty() || OtherName.back() != u' '))
        continue;
      if (SameString(OtherName, Name)) return true;
    }
    return false;
  };
  for (int32_t Counter = 1; Taken(Column->FCorrelationName); ++Counter)
    Column->FCorrelationName = Base + IntToString(Counter);
  if (!ValidIdentifier(Column->FCorrelationName)) InvalidToken(Column, u"invalid correlation name");
}

void TORVExprValidater::ValidateSelectColumn(TORVExprToken* Query, TORVExprToken* Column) {
  AssignSelectColumnCorrelationName(Column);
  TORVExprToken* Expression = SlotOf(Column, ItemExpressionSlot);
  if (Expression == nullptr) return;
  CheckNullConstantTokenType(Expression);
  const TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  if (Select != nullptr && Select->FTokenOperator == toDISTINCT) CheckNonBlobTypes(Expression);
  Column->AssignType(Expression);
  Column->AssignPos(Expression);
}

TORVExprToken* TORVExprValidater::AddSelectColumn(TORVExprToken* Query, TORVExprToken* Expression) {
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  auto* Column = new TORVExprToken();
  Column->FTokenType = ttSELECTCOLUMN;
  Column->FHidden = true;
  Column->FPosition = Select->GetNumArguments();
  Column->AssignPos(Expression);
  Select->AddArgument(Column);
  Column->AddArgument(CopyTokens(Expression));
  ValidateNextToken(Column->GetArgument(0));
  ValidateSelectColumn(Query, Column);
  return Column;
}

void TORVExprValidater::SetSelectColumnSourceToken(TORVExprToken* Query, TORVExprToken* Expression, bool OnlyFind,
                                                   bool NoBlobCheck, bool ByName) {
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  if (ByName && Expression->FTokenType == ttCOLUMNREF && Expression->FSourceName.empty()) {
    for (int32_t I = 0; I < CountOf(Select); ++I) {
      TORVExprToken* Column = Select->GetArgument(I);
      if (!SameString(Column->FCorrelationName, Expression->FName)) continue;
      if (!OnlyFind) AssignSelectColumnSourceToken(Expression, Column, NoBlobCheck);
      return;
    }
  }
  // Validated once: a second validation would declare its dynamic
  // parameters again and begin its catalog reads twice.
  if (ByName) ValidateNextToken(Expression);
  for (int32_t I = 0; I < CountOf(Select); ++I) {
    TORVExprToken* Column = Select->GetArgument(I);
    if (!CompareSelectExpression(Expression, SlotOf(Column, ItemExpressionSlot))) continue;
    if (!OnlyFind) AssignSelectColumnSourceToken(Expression, Column, NoBlobCheck);
    return;
  }
  AssignSelectColumnSourceToken(Expression, AddSelectColumn(Query, Expression), NoBlobCheck);
}

void TORVExprValidater::AssignSelectColumnSourceToken(TORVExprToken* Expression, TORVExprToken* Column,
                                                      bool NoBlobCheck) {
  // What the expression held may have begun catalog reads (a sub-query on
  // another database); they end before it is freed.
  UnlockNextToken(Expression);
  FreeChildren(Expression);
  Expression->FTokenType = ttSELECTCOLUMNREF;
  Expression->FTokenOperator = toNONE;
  Expression->FTokenConstant.clear();
  Expression->FSourceName.clear();
  Expression->FSourceToken = Column;
  Expression->AssignType(Column);
  if (!NoBlobCheck) CheckNonBlobTypes(Expression);
}

bool TORVExprValidater::CompareSelectExpression(const TORVExprToken* A, const TORVExprToken* B) {
  if (A == nullptr || B == nullptr || A->FTokenType != B->FTokenType || A->FTokenOperator != B->FTokenOperator)
    return false;
  switch (A->FTokenType) {
    case ttARRAYREF:
    case ttARRAYELEMENTREF:
    case ttPARAMREF:
    case ttDYNPARAMREF:
    case ttSELECTCOLUMNREF:
    case ttVARIABLEREF:
      return A->FSourceToken == B->FSourceToken;
    case ttCOLUMNREF:
    case ttROWCOLUMNREF:
      return A->FSourceToken == B->FSourceToken && SameString(A->FName, B->FName);
    case ttCONST:
      return SameString(A->FTokenConstant, B->FTokenConstant);
    case ttBINARY:
      return CompareSelectExpression(A->GetLeftToken(), B->GetLeftToken()) &&
             CompareSelectExpression(A->GetRightToken(), B->GetRightToken());
    case ttUNARY:
      return CompareSelectExpression(A->GetLeftToken(), B->GetLeftToken());
    case ttEXTBINARY:
    case ttFUNCREF:
    case ttROWVALUE:
      if (A->FTokenOperator == toUDF && !SameString(A->FName, B->FName)) return false;
      if (A->GetNumArguments() != B->GetNumArguments()) return false;
      for (int32_t I = 0; I < A->GetNumArguments(); ++I) {
        if (A->GetArgument(I) != nullptr && !CompareSelectExpression(A->GetArgument(I), B->GetArgument(I)))
          return false;
      }
      return true;
    case ttQUERY:
      return false;
    default:
      return true;
  }
}

void TORVExprValidater::ReduceSelectColumn(TORVExprToken* Query, TORVExprToken* Expression, bool InAggregate,
                                           bool BindColumns) {
  if (Expression == nullptr) return;
  switch (Expression->FTokenType) {
    case ttBINARY:
    case ttUNARY:
      ReduceSelectColumn(Query, Expression->GetLeftToken(), InAggregate, BindColumns);
      ReduceSelectColumn(Query, Expression->GetRightToken(), InAggregate, BindColumns);
      return;
    case ttEXTBINARY:
    case ttROWVALUE:
      for (int32_t I = 0; I < Expression->GetNumArguments(); ++I)
        ReduceSelectColumn(Query, Expression->GetArgument(I), InAggregate, BindColumns);
      return;
    case ttCOLUMNREF:
      if (BindColumns) SetSelectColumnSourceToken(Query, Expression, false, true, true);
      return;
    case ttQUERY:
      if (InAggregate) SetSelectColumnSourceToken(Query, Expression, false, true, false);
      return;
    case ttFUNCREF:
      break;
    default:
      return;
  }
  if (!IsAggregateOperator(Expression->FTokenOperator)) {
    for (int32_t I = 0; I < Expression->GetNumArguments(); ++I)
      ReduceSelectColumn(Query, Expression->GetArgument(I), InAggregate, BindColumns);
    return;
  }
  if (ContainsAggregates(SlotOf(Expression, AggregateArgumentSlot)))
    InvalidToken(Expression, u"nested aggregate functions not allowed");
  const TORVExprToken* Parent = Expression->FUpperToken;
  if (Parent == nullptr || Parent->FTokenType != ttSELECTCOLUMN) {
    SetSelectColumnSourceToken(Query, Expression, false, true, false);
    return;
  }
  // The supporting aggregates of AVG, RUNSUM and STDDEV, each a hidden
  // column of its own.
  std::vector<TORVTokenOperator> Supports;
  switch (Expression->FTokenOperator) {
    case toAVG:
      Supports = {toSUM, toCOUNT};
      break;
    case toRUNSUM:
      Supports = {toSUM};
      break;
    case toSTDDEV:
      Supports = {toSUM, toSUMSQUARE, toCOUNT};
      break;
    default:
      return;
  }
  if (Expression->GetNumArguments() != 1) return;  // already supported
  std::vector<TORVExprToken*> Copies;
  for (TORVTokenOperator Support : Supports) {
    TORVExprToken* Copy = CopyTokens(Expression);
    Copy->FTokenOperator = Support;
    Expression->AddArgument(Copy);
    Copies.push_back(Copy);
  }
  for (TORVExprToken* Copy : Copies) SetSelectColumnSourceToken(Query, Copy, false, true, false);
}

}  // namespace orv
