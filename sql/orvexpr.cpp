#include "sql/orvexpr.h"

namespace orv {

TORVExpr::~TORVExpr() { TORVExpr::Clear(); }

TORVString TORVExpr::GetTypeName() const { return u"expression"; }

bool TORVExpr::GetOwnsTokens() const { return true; }

void TORVExpr::ExpressionError(const TORVString& /*Message*/, int32_t /*Line*/, int32_t /*Column*/) {}

void TORVExpr::SetTokens(TORVExprToken* Value) {
  Clear();
  FTokens = GetOwnsTokens() ? CopyTokens(Value) : Value;
}

int32_t TORVExpr::GetMemorySize() {
  int64_t Total = static_cast<int64_t>(sizeof(TORVExpr));
  if (GetOwnsTokens() && FTokens != nullptr) Total += FTokens->GetMemorySize();
  return Total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Total);
}

void TORVExpr::Clear() {
  if (GetOwnsTokens()) {
    FreeTokens(FTokens);
  } else {
    FTokens = nullptr;
  }
}

void TORVExpr::Assign(TORVExpr* FromExpr, bool CopyReferences) {
  if (CopyReferences) SetTokens(FromExpr->FTokens);
}

bool TORVExpr::Compare(TORVExpr* ExprToCompare) { return CompareTokens(FTokens, ExprToCompare->FTokens); }

void TORVExpr::Save(TORVMemoryStream& /*Stream*/) {}

void TORVExpr::Load(TORVMemoryStream& /*Stream*/) {}

}  // namespace orv
