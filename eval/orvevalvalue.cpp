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

int32_t TORVRowValueValue::Compare(TORVValue& ValueToCompare, int32_t /*PartialLength*/, bool CaseInsensitive,
                                   int32_t /*CompareCollation*/) {
  auto* Other = dynamic_cast<TORVRowValueValue*>(&ValueToCompare);
  const int32_t Count = FToken->GetNumArguments();
  if (Other == nullptr || Count == 0) return -1;
  for (int32_t I = 0; I < Count && I < Other->FToken->GetNumArguments(); ++I) {
    TORVExprToken* Element = FToken->GetArgument(I);
    TORVExprToken* OtherElement = Other->FToken->GetArgument(I);
    // The compiler pairs rows of equal size; an element never evaluated
    // cannot be compared.
    if (Element == nullptr || OtherElement == nullptr || Element->FValue == nullptr || OtherElement->FValue == nullptr) {
      return -1;
    }
    const int32_t Order = Element->FValue->Compare(*OtherElement->FValue, FToken->FPartialLength, CaseInsensitive,
                                                   Element->FCollation);
    if (Order != 0) return Order;
  }
  return 0;
}

TORVInValues::TORVInValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, false) {}

TORVInContainedValue::TORVInContainedValue(int32_t CharacterSetToUse, TORVExprToken* Token)
    : TORVContainedValue(CharacterSetToUse), FToken(Token), FValues(std::make_unique<TORVInValues>(CharacterSetToUse)) {
  if (Token->GetNumArguments() > 1) FValues->SetCapacity(Token->GetNumArguments() - 1);
}

TORVInContainedValue::~TORVInContainedValue() = default;

void TORVInContainedValue::AddValue(TORVValue* Value) { FValues->Add(Value); }

void TORVInContainedValue::ClearValues() { FValues->DeleteAll(); }

int32_t TORVInContainedValue::SearchCollation() const {
  TORVExprToken* Tested = FToken->GetNumArguments() > 0 ? FToken->GetArgument(0) : nullptr;
  return Tested != nullptr ? Tested->FCollation : 0;
}

void TORVInContainedValue::SortValues() { FValues->Sort(SearchCollation()); }

bool TORVInContainedValue::FindValue(TORVValue& Value) {
  int32_t Index = 0;
  return FValues->FindValue(Value, SearchCollation(), Index) == 0;
}

void TORVInContainedValue::KeepParameterValues() {
  FParameterCopies.clear();
  for (int32_t I = 1; I < FToken->GetNumArguments(); ++I) {
    TORVExprToken* Item = FToken->GetArgument(I);
    if (Item == nullptr || Item->FTokenType != ttDYNPARAMREF || Item->FValue == nullptr) continue;
    TORVValue& Current = *Item->FValue;
    auto Copy = std::make_unique<TORVContainedValue>(GetCharacterSet());
    Copy->SetDataType(Current.GetDataType());
    Copy->SetSubType(Current.GetSubType());
    Copy->SetLength(Current.GetLength());
    Copy->SetScale(Current.GetScale());
    Copy->SetCollation(Current.GetCollation());
    Copy->SetRaiseTruncationErrors(false);
    Copy->Assign(Current);
    FParameterCopies.push_back(std::move(Copy));
  }
}

bool TORVInContainedValue::ParameterValuesChanged() {
  std::size_t Next = 0;
  for (int32_t I = 1; I < FToken->GetNumArguments(); ++I) {
    TORVExprToken* Item = FToken->GetArgument(I);
    if (Item == nullptr || Item->FTokenType != ttDYNPARAMREF) continue;
    if (Item->FValue == nullptr || Next >= FParameterCopies.size()) return true;
    TORVValue& Current = *Item->FValue;
    TORVContainedValue& Copy = *FParameterCopies[Next++];
    if (Current.GetNull() != Copy.GetNull()) return true;
    if (!Current.GetNull() && Copy.Compare(Current, 0, false, Current.GetCollation()) != 0) return true;
  }
  return false;
}

}  // namespace orv
