// The WHERE-condition optimizer of a compiled filter condition.
#include "core/orvstrings.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

bool IsAndOr(const TORVExprToken* Token) {
  return Token != nullptr && Token->FTokenType == ttBINARY &&
         (Token->FTokenOperator == toAND || Token->FTokenOperator == toOR);
}

bool IsAnd(const TORVExprToken* Token) {
  return Token != nullptr && Token->FTokenType == ttBINARY && Token->FTokenOperator == toAND;
}

bool NoColumnsFrom(const TORVExprToken* Token, int32_t First, int32_t Last) {
  for (int32_t I = First; I <= Last && I < Token->GetNumArguments(); ++I) {
    if (ContainsColumns(Token->GetArgument(I))) return false;
  }
  return true;
}

}  // namespace

int64_t TORVCompiledExpr::ScanCost(int64_t Count) { return Count * static_cast<int64_t>(GetRowSize()); }

void TORVCompiledExpr::DemoteToScan(TORVExprToken* Token, int32_t Count) {
  Token->FLastOptimizeType = Token->FOptimizeType;
  Token->FOptimizeType = 0;
  GetRowTableName(Token->FOptimizeName);
  Token->FOptimizeHintName.clear();
  Token->FOptimizeCount = Count;
  Token->FOptimizeCost = ScanCost(Count);
}

void TORVCompiledExpr::Optimize() {
  if (!FCompiled || FTokens == nullptr) return;
  SetOptimizeType(FTokens);
  if (Rewrite(FTokens)) SetOptimizeType(FTokens);
  RewriteScans(FTokens);
}

void TORVCompiledExpr::SetOptimizeType(TORVExprToken* Token) {
  Token->FOptimizeType = 0;
  GetRowTableName(Token->FOptimizeName);
  Token->FOptimizeNumber = -1;
  if (FCostOptimization) {
    Token->FOptimizeCount = GetRowCount();
    Token->FOptimizeCost = ScanCost(GetRowCount());
  }
  if (!ContainsColumns(Token)) {
    SetOptimization(Token);
    return;
  }
  switch (Token->FTokenType) {
    case ttBINARY: {
      TORVExprToken* Left = Token->GetLeftToken();
      TORVExprToken* Right = Token->GetRightToken();
      if (IsAndOr(Token)) {
        SetOptimizeType(Left);
        SetOptimizeType(Right);
        SetOptimizeName(Token);
        Token->FOptimizeType =
            Token->FTokenOperator == toAND
                ? EvaluateAndOptimizeTypes(Left->FOptimizeType, Right->FOptimizeType)
                : EvaluateOrOptimizeTypes(Left->FOptimizeType, IsTextSearchToken(Left), Right->FOptimizeType,
                                          IsTextSearchToken(Right));
        if (FCostOptimization && Token->FOptimizeType == 2) {
          Token->FOptimizeCount = Left->FOptimizeCount + Right->FOptimizeCount;
          Token->FOptimizeCost = Left->FOptimizeCost + Right->FOptimizeCost;
        }
      } else if (IsComparisonOperator(Token->FTokenOperator) && ContainsAllColumnReferences(Left) &&
                 !ContainsColumns(Right)) {
        SetOptimization(Token);
        CheckIndexThreshhold(Token);
      }
      return;
    }
    case ttEXTBINARY: {
      if (Token->GetNumArguments() == 0 || !ContainsAllColumnReferences(Token->GetArgument(0))) return;
      const int32_t Last = Token->GetNumArguments() - 1;
      bool Served = false;
      bool TextSearch = false;
      switch (Token->FTokenOperator) {
        case toBETWEEN:
        case toNOTBETWEEN:
          Served = NoColumnsFrom(Token, 1, 2);
          break;
        case toIN:
        case toNOTIN:
          Served = NoColumnsFrom(Token, 1, Last);
          break;
        case toISNULL:
        case toISNOTNULL:
          Served = true;
          break;
        case toLIKE:
        case toNOTLIKE:
          Served = NoColumnsFrom(Token, 1, 1);
          break;
        case toCONTAINS:
        case toCONTAINSANY:
        case toNOTCONTAINS:
        case toNOTCONTAINSANY:
          TextSearch = NoColumnsFrom(Token, 1, 1);
          break;
        default:
          break;
      }
      if (Served || TextSearch) SetOptimization(Token);
      // A text search is always served by its index, however many rows.
      if (Served) CheckIndexThreshhold(Token);
      return;
    }
    case ttFUNCREF:
    case ttROWVALUE:
    case ttUNARY:
      SetOptimization(Token);
      return;
    default:
      return;
  }
}

void TORVCompiledExpr::CheckIndexThreshhold(TORVExprToken* Token) {
  if (!FCostOptimization || Token->FOptimizeType != 2) return;
  if (static_cast<double>(Token->FOptimizeCount) > static_cast<double>(GetRowCount()) * FNoIndexThreshhold) {
    DemoteToScan(Token, GetRowCount());
    Token->FOptimizeNumber = -1;
  }
}

void TORVCompiledExpr::SetOptimizeName(TORVExprToken* Token) {
  const TORVExprToken* Left = Token->GetLeftToken();
  const TORVExprToken* Right = Token->GetRightToken();
  if (Left->FOptimizeType != Right->FOptimizeType || !SameString(Left->FOptimizeName, Right->FOptimizeName)) {
    Token->FOptimizeName.clear();
    return;
  }
  if (Left->FLastOptimizeType != 0) {
    Token->FLastOptimizeType = Left->FLastOptimizeType;
  } else if (Right->FLastOptimizeType != 0) {
    Token->FLastOptimizeType = Right->FLastOptimizeType;
  }
  Token->FOptimizeName = Left->FOptimizeName;
  const TORVString& LeftHint = Left->FOptimizeHintName;
  const TORVString& RightHint = Right->FOptimizeHintName;
  if (SameString(LeftHint, RightHint) || RightHint.empty()) {
    Token->FOptimizeHintName = LeftHint;
  } else if (LeftHint.empty()) {
    Token->FOptimizeHintName = RightHint;
  } else {
    Token->FOptimizeHintName = LeftHint + u"," + RightHint;
  }
}

TORVExprToken* TORVCompiledExpr::CompareCosts(TORVExprToken* Token1, TORVExprToken* Token2) {
  if (FCostOptimization && Token1->FOptimizeCost != Token2->FOptimizeCost)
    return Token1->FOptimizeCost < Token2->FOptimizeCost ? Token1 : Token2;
  return Token1->FOptimizeType > Token2->FOptimizeType ? Token1 : Token2;
}

TORVExprToken* TORVCompiledExpr::GetSmallestCost(TORVExprToken* Token) {
  if (!IsAnd(Token)) return Token;
  Token->GetLeftToken()->FLevel = Token->FLevel + 1;
  Token->GetRightToken()->FLevel = Token->FLevel + 1;
  return CompareCosts(GetSmallestCost(Token->GetLeftToken()), GetSmallestCost(Token->GetRightToken()));
}

bool TORVCompiledExpr::Rewrite(TORVExprToken* Token) {
  Token->FLevel = 1;
  if (!IsAnd(Token)) return false;
  Token->GetLeftToken()->FLevel = 2;
  Token->GetRightToken()->FLevel = 2;
  TORVExprToken* Left = GetSmallestCost(Token->GetLeftToken());
  TORVExprToken* Right = GetSmallestCost(Token->GetRightToken());
  TORVExprToken* Cheapest = CompareCosts(Left, Right);
  bool Changed = false;
  if (Cheapest == Left && Left->FLevel > Right->FLevel) {
    SwitchTokens(Left, Right);
    ReverseBinaryTokens(Token);
    Changed = true;
  } else if (Cheapest == Right) {
    Changed = true;
    if (Right->FLevel > Left->FLevel) {
      SwitchTokens(Left, Right);
    } else {
      ReverseBinaryTokens(Token);
    }
  }
  const bool LeftChanged = Rewrite(Token->GetLeftToken());
  const bool RightChanged = Rewrite(Token->GetRightToken());
  return Changed || LeftChanged || RightChanged;
}

void TORVCompiledExpr::RewriteScans(TORVExprToken* Token) {
  if (!IsAndOr(Token) || !ContainsColumns(Token)) return;
  RewriteScans(Token->GetLeftToken());
  RewriteScans(Token->GetRightToken());
  if (!FCostOptimization) return;
  TORVExprToken* Left = Token->GetLeftToken();
  TORVExprToken* Right = Token->GetRightToken();
  if (Token->FTokenOperator == toOR) {
    Token->FOptimizeCost = Left->FOptimizeCost + Right->FOptimizeCost;
    Token->FOptimizeType = EvaluateOrOptimizeTypes(Left->FOptimizeType, IsTextSearchToken(Left),
                                                   Right->FOptimizeType, IsTextSearchToken(Right));
    SetOptimizeName(Token);
    return;
  }
  if (IsTextSearchToken(Left) || IsTextSearchToken(Right) || Left->FOptimizeCost == Right->FOptimizeCost) {
    Token->FOptimizeCost = Left->FOptimizeCost + Right->FOptimizeCost;
    Token->FOptimizeType = EvaluateAndOptimizeTypes(Left->FOptimizeType, Right->FOptimizeType);
    SetOptimizeName(Token);
    return;
  }
  // The dearer side may be cheaper to evaluate over the rows the cheaper
  // side yields than through its own index.
  const bool LeftCheaper = Left->FOptimizeCost < Right->FOptimizeCost;
  TORVExprToken* Cheaper = LeftCheaper ? Left : Right;
  TORVExprToken* Dearer = LeftCheaper ? Right : Left;
  if (ScanCost(Cheaper->FOptimizeCount) >= Dearer->FOptimizeCost) return;
  DemoteToScan(Dearer, Cheaper->FOptimizeCount);
  Token->FOptimizeCount = Cheaper->FOptimizeCount;
  Token->FOptimizeCost = Cheaper->FOptimizeCost + Dearer->FOptimizeCost;
  Token->FOptimizeType = EvaluateAndOptimizeTypes(Cheaper->FOptimizeType, 0);
  if (!LeftCheaper) ReverseBinaryTokens(Token);
  SetOptimizeName(Token);
}

}  // namespace orv
