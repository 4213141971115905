#include "eval/orvevalvalue.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "core/orvmath.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

bool IsWholeType(int32_t DataType) {
  return DataType == dtSmallInt || DataType == dtInteger || DataType == dtBigInt;
}

}  // namespace

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
  // The tree does not change while its values live: Reset frees them
  // before a recompile.
  for (int32_t I = 1; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Item = Token->GetArgument(I);
    if (Item != nullptr && Item->FTokenType == ttDYNPARAMREF) FParameterItems.push_back(Item);
  }
}

TORVInContainedValue::~TORVInContainedValue() = default;

void TORVInContainedValue::AddValue(TORVValue* Value) { FValues->Add(Value); }

void TORVInContainedValue::ClearValues() {
  FValues->DeleteAll();
  FKeys.clear();
  FKeyUnit = kuNone;
}

int32_t TORVInContainedValue::SearchCollation() const {
  TORVExprToken* Tested = FToken->GetNumArguments() > 0 ? FToken->GetArgument(0) : nullptr;
  return Tested != nullptr ? Tested->FCollation : 0;
}

void TORVInContainedValue::SortValues() {
  FValues->Sort(SearchCollation());
  BuildKeys();
}

void TORVInContainedValue::BuildKeys() {
  FKeys.clear();
  FKeyUnit = kuNone;
  const int32_t Count = FValues->GetCount();
  if (Count == 0) return;
  bool AnyWhole = false;
  bool AnyDecimal = false;
  bool AnyFloat = false;
  for (int32_t I = 0; I < Count; ++I) {
    const int32_t DataType = FValues->GetItems(I)->GetDataType();
    if (IsWholeType(DataType)) {
      AnyWhole = true;
    } else if (DataType == dtDecimal) {
      AnyDecimal = true;
    } else if (DataType == dtFloat) {
      AnyFloat = true;
    } else {
      return;
    }
  }
  // Compare reads a decimal beside a Float as a double, rounded: no key
  // orders such a mixture as it does.
  if (AnyFloat && (AnyWhole || AnyDecimal)) return;
  const TORVInKeyUnit Unit = AnyFloat ? kuFloat : (AnyDecimal ? kuScaled : kuWhole);
  FKeys.reserve(static_cast<std::size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) {
    TORVValue& Item = *FValues->GetItems(I);
    int64_t Key = 0;
    if (Unit == kuFloat) {
      Key = FloatKey(Item.GetDouble());
    } else if (Item.GetDataType() == dtDecimal) {
      Key = Item.GetCurrency().Scaled();
    } else if (Unit == kuWhole) {
      Key = Item.GetAsLargeInt();
    } else if (__builtin_mul_overflow(Item.GetAsLargeInt(), TORVCurrency::Scale, &Key)) {
      // A whole number beyond the decimal range in a list with decimals:
      // rare enough to leave to the general search.
      FKeys.clear();
      return;
    }
    FKeys.push_back(Key);
  }
  std::sort(FKeys.begin(), FKeys.end());
  FKeyUnit = Unit;
}

// Compare's order of doubles as one of 64-bit integers: the IEEE image read
// as sign and magnitude, both zeros at 0, and every NaN equal to every other
// and above every number.
int64_t TORVInContainedValue::FloatKey(double Value) {
  if (std::isnan(Value)) return INT64_MAX;
  const int64_t Bits = std::bit_cast<int64_t>(Value);
  return Bits >= 0 ? Bits : -(Bits & INT64_MAX);
}

// Every key lies in the 64-bit range, so a tested number whose key would
// lie beyond it, or that has no image in the keys' unit, equals no item.
// A whole number W equals a decimal of scaled image S exactly when
// W x 10,000 = S, and a double exactly when both are the same number: so
// Compare orders those pairs. A decimal against a Float is read as a
// double, as Compare reads it.
TORVInContainedValue::TORVInKeyProbe TORVInContainedValue::KeyOf(TORVValue& Value, int64_t& Key) {
  const int32_t DataType = Value.GetDataType();
  const bool Whole = IsWholeType(DataType);
  if (!Whole && DataType != dtDecimal && DataType != dtFloat) return kpGeneral;
  if (DataType == dtFloat && FKeyUnit == kuScaled) return kpGeneral;
  if (Value.GetNull()) return kpGeneral;
  if (Whole) {
    const int64_t Number = Value.GetAsLargeInt();
    switch (FKeyUnit) {
      case kuWhole:
        Key = Number;
        return kpKey;
      case kuScaled:
        return __builtin_mul_overflow(Number, TORVCurrency::Scale, &Key) ? kpNoMatch : kpKey;
      default: {
        const double Image = static_cast<double>(Number);
        if (Image >= TwoPow63 || static_cast<int64_t>(Image) != Number) return kpNoMatch;
        Key = FloatKey(Image);
        return kpKey;
      }
    }
  }
  if (DataType == dtDecimal) {
    const int64_t Scaled = Value.GetCurrency().Scaled();
    switch (FKeyUnit) {
      case kuScaled:
        Key = Scaled;
        return kpKey;
      case kuWhole:
        if (Scaled % TORVCurrency::Scale != 0) return kpNoMatch;
        Key = Scaled / TORVCurrency::Scale;
        return kpKey;
      default:
        Key = FloatKey(Value.GetAsDouble());
        return kpKey;
    }
  }
  const double Number = Value.GetDouble();
  if (FKeyUnit == kuFloat) {
    Key = FloatKey(Number);
    return kpKey;
  }
  // Against whole keys; NaN is outside the range.
  if (!InInt64Range(Number) || std::trunc(Number) != Number) return kpNoMatch;
  Key = static_cast<int64_t>(Number);
  return kpKey;
}

bool TORVInContainedValue::FindValue(TORVValue& Value) {
  if (FKeyUnit != kuNone) {
    int64_t Key = 0;
    switch (KeyOf(Value, Key)) {
      case kpNoMatch:
        return false;
      case kpKey: {
        // The last key not above Key, found without a branch per step.
        const int64_t* Base = FKeys.data();
        std::size_t Count = FKeys.size();
        while (Count > 1) {
          const std::size_t Half = Count / 2;
          Base = Base[Half] <= Key ? Base + Half : Base;
          Count -= Half;
        }
        return *Base == Key;
      }
      case kpGeneral:
        break;
    }
  }
  int32_t Index = 0;
  return FValues->FindValue(Value, SearchCollation(), Index) == 0;
}

void TORVInContainedValue::KeepParameterValues() {
  FParameterCopies.clear();
  for (TORVExprToken* Item : FParameterItems) {
    if (Item->FValue == nullptr) continue;
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
  for (TORVExprToken* Item : FParameterItems) {
    if (Item->FValue == nullptr || Next >= FParameterCopies.size()) return true;
    TORVValue& Current = *Item->FValue;
    TORVContainedValue& Copy = *FParameterCopies[Next++];
    if (Current.GetNull() != Copy.GetNull()) return true;
    // A value of another type can compare equal to the copy and still
    // sort, or make keys, differently.
    if (Current.GetDataType() != Copy.GetDataType()) return true;
    if (!Current.GetNull() && Copy.Compare(Current, 0, false, Current.GetCollation()) != 0) return true;
  }
  return false;
}

}  // namespace orv
