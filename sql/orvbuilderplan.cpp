// The plan lines that follow each optimised condition in a plan.
#include <string_view>

#include "base/orverror.h"
#include "core/orvcommon.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "sql/orvbuilder.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

constexpr std::u16string_view PartialLengthText = u"Partial length match on %s char(s)";
constexpr std::u16string_view RowScanText = u"Row scan (%s)";
constexpr std::u16string_view RowScanEliminatedText =
    u"Row scan with one or more index scans eliminated due to cost (%s)";
constexpr std::u16string_view IndexScanText = u"Index scan (%s)";
constexpr std::u16string_view RowCostText = u": %s rows, %s estimated cost";
constexpr std::u16string_view KeyCostText = u": %s keys, %s estimated cost";
constexpr std::u16string_view HintText =
    u"Hint: Create index(es) (%s) on column(s) %s for possible better performance";

bool IsAndOrToken(const TORVExprToken* Token) {
  return Token->FTokenType == ttBINARY && (Token->FTokenOperator == toAND || Token->FTokenOperator == toOR);
}

}  // namespace

void TORVExprBuilder::BuildConditionPlan(const TORVExprToken* Token) {
  TORVValueGuard<bool> LineBreaks(FIncludeLineBreaks, true);
  const bool AndOr = IsAndOrToken(Token);
  if (AndOr && Token->FOptimizeName.empty()) {
    BuildExpr(Token->GetLeftToken());
    NewLine();
    NewLine();
    Write(Token->FTokenOperator == toAND ? u"AND" : u"OR");
    NewLine();
    NewLine();
    BuildExpr(Token->GetRightToken());
    return;
  }
  {
    // The text of the condition as a whole; its parts have no plan of their
    // own.
    TORVValueGuard<bool> NoPlan(FIncludePlan, false);
    if (Token->FTokenType == ttBINARY) {
      BuildBinary(Token);
    } else {
      BuildExtBinary(Token);
    }
  }
  if (Token->FTokenType == ttBINARY && !AndOr && !IsComparisonOperator(Token->FTokenOperator)) return;
  // A condition that was never optimised has no plan, and no blank lines
  // stand for one.
  if (!ContainsColumns(Token) || Token->FOptimizeName.empty()) return;
  NewLine();
  NewLine();
  BuildTokenPlan(Token);
}

void TORVExprBuilder::BuildTokenPlan(const TORVExprToken* Token) {
  if (!ContainsColumns(Token) || Token->FOptimizeName.empty()) return;
  if (Token->FPartialLength > 0) {
    Write(FormatString(TORVString(PartialLengthText), {IntToString(Token->FPartialLength)}));
    Write(u" ");
  }
  std::u16string_view Scan;
  std::u16string_view Costs;
  if (Token->FOptimizeType == 0) {
    Scan = Token->FLastOptimizeType != 0 ? RowScanEliminatedText : RowScanText;
    Costs = RowCostText;
  } else if (Token->FOptimizeType == 2) {
    Scan = IndexScanText;
    Costs = KeyCostText;
  }
  if (!Scan.empty()) {
    Write(FormatString(TORVString(Scan), {Token->FOptimizeName}));
    if (FIncludePlanCosts) {
      Write(FormatString(TORVString(Costs),
                         {IntToString(Token->FOptimizeCount), BytesToString(Token->FOptimizeCost)}));
    }
  }
  const TORVExprToken* Left = Token->GetLeftToken();
  const TORVExprToken* Right = Token->GetRightToken();
  if (!IsAndOrToken(Token) || (Left->FOptimizeType == Right->FOptimizeType &&
                               SameString(Left->FOptimizeName, Right->FOptimizeName))) {
    BuildPlanHint(Token);
  } else {
    BuildPlanHint(Left);
    BuildPlanHint(Right);
  }
}

void TORVExprBuilder::BuildPlanHint(const TORVExprToken* Token) {
  if (Token->FOptimizeType != 0 || Token->FOptimizeHintName.empty()) return;
  NewLine();
  NewLine();
  Write(FormatString(TORVString(HintText), {Token->FOptimizeName, Token->FOptimizeHintName}));
}

}  // namespace orv
