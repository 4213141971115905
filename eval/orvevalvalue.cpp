#include "eval/orvevalvalue.h"

namespace orv {

TORVCastContainedValue::TORVCastContainedValue(int32_t CharacterSetToUse)
    : TORVContainedValue(CharacterSetToUse, true) {}

TORVRowValueValue::TORVRowValueValue(int32_t CharacterSetToUse, TORVExprToken* Token)
    : TORVContainedValue(CharacterSetToUse), FToken(Token) {}

bool TORVRowValueValue::GetAnyNull() {
  if (GetNull()) return true;
  for (int32_t I = 0; I < FToken->GetNumArguments(); ++I) {
    TORVExprToken* Element = FToken->GetArgument(I);
    // An element not evaluated yet has no value to offer.
    if (Element == nullptr || Element->FValue == nullptr || Element->FValue->GetAnyNull()) return true;
  }
  return false;
}

TORVInValues::TORVInValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, false) {}

TORVInContainedValue::TORVInContainedValue(int32_t CharacterSetToUse, TORVExprToken* Token)
    : TORVContainedValue(CharacterSetToUse), FToken(Token), FValues(std::make_unique<TORVInValues>(CharacterSetToUse)) {
  if (Token->GetNumArguments() > 1) FValues->SetCapacity(Token->GetNumArguments() - 1);
}

TORVInContainedValue::~TORVInContainedValue() = default;

void TORVInContainedValue::AddValue(TORVValue* Value) { FValues->Add(Value); }

int32_t TORVInContainedValue::SearchCollation() const {
  TORVExprToken* Tested = FToken->GetNumArguments() > 0 ? FToken->GetArgument(0) : nullptr;
  return Tested != nullptr ? Tested->FCollation : 0;
}

void TORVInContainedValue::SortValues() { FValues->Sort(SearchCollation()); }

bool TORVInContainedValue::FindValue(TORVValue& Value) {
  int32_t Index = 0;
  return FValues->FindValue(Value, SearchCollation(), Index) == 0;
}

}  // namespace orv
