#include "core/orvkeyvalues.h"

#include <algorithm>

#include "core/orvstream.h"
#include "core/orvvalue.h"

namespace orv {

TORVKeyValues::TORVKeyValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, false) {}

TORVKeyValues::TORVKeyValues(int32_t CharacterSetToUse, bool OwnsValues) : TORVValues(CharacterSetToUse, OwnsValues) {}

void TORVKeyValues::Assign(TORVValues& FromValues) {
  TORVValues::Assign(FromValues);
  if (auto* fromKey = dynamic_cast<TORVKeyValues*>(&FromValues); fromKey != nullptr && fromKey != this)
    SetRowID(fromKey->GetRowID());
}

int32_t TORVKeyValues::Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) {
  if (FCount == 0 || ValuesToCompare.GetCount() == 0) return -1;
  const int32_t count = std::min(FCount, ValuesToCompare.GetCount());
  const int32_t last = ValuesToCompare.GetCount() - 1;
  for (int32_t i = 0; i < count; ++i) {
    TORVValue& value = *FItems[i];
    TORVValue& other = *ValuesToCompare.GetItems(i);
    int32_t result;
    if (IsTextCompareValue(value))
      result = value.Compare(other, i == last ? PartialLength : 0, CaseInsensitive, GetColumnCollation(i));
    else
      result = value.Compare(other, 0, false, 0);
    if (result != 0) return GetColumnDescending(i) ? -result : result;
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
