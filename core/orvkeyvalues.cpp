#include "core/orvkeyvalues.h"

#include <algorithm>

#include "core/orvstream.h"
#include "core/orvvalue.h"

namespace orv {

TORVKeyValues::TORVKeyValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, false) {}

TORVKeyValues::TORVKeyValues(int32_t CharacterSetToUse, bool OwnsValues) : TORVValues(CharacterSetToUse, OwnsValues) {}

void TORVKeyValues::Assign(TORVValues& FromValues) {
  TORVValues::Assign(FromValues);
  if (auto* FromKey = dynamic_cast<TORVKeyValues*>(&FromValues); FromKey != nullptr && FromKey != this)
    SetRowID(FromKey->GetRowID());
}

int32_t TORVKeyValues::Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) {
  if (FCount == 0 || ValuesToCompare.GetCount() == 0) return -1;
  const int32_t Count = std::min(FCount, ValuesToCompare.GetCount());
  const int32_t Last = ValuesToCompare.GetCount() - 1;
  for (int32_t I = 0; I < Count; ++I) {
    TORVValue& Value = *FItems[I];
    TORVValue& Other = *ValuesToCompare.GetItems(I);
    const int32_t Result =
        CompareListMember(Value, Other, I == Last, PartialLength, CaseInsensitive, GetColumnCollation(I));
    if (Result != 0) return GetColumnDescending(I) ? -Result : Result;
  }
  return 0;
}

void TORVKeyValues::Save(TORVMemoryStream& Stream) {
  TORVValues::Save(Stream);
  Stream.WriteInteger(GetRowID());
}

void TORVKeyValues::Load(TORVMemoryStream& Stream) {
  TORVValues::Load(Stream);
  if (Stream.GetAvailable() < 4) CorruptStreamError(u"the row ID is missing");
  SetRowID(Stream.ReadInteger());
}

}  // namespace orv
