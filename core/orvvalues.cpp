#include "core/orvvalues.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"

namespace orv {

namespace {

constexpr int32_t kCapacityStep = 8;
// Error raised for a list record that cannot be read in step.

}  // namespace

bool IsTextCompareValue(const TORVValue& Value) {
  return Value.GetDataType() == dtCharacter ||
         (Value.GetDataType() == dtLargeObject && Value.GetSubType() == stClob);
}

int32_t CompareListMember(TORVValue& Value, TORVValue& Other, bool Last, int32_t PartialLength, bool CaseInsensitive,
                          int32_t Collation) {
  if (IsTextCompareValue(Value)) return Value.Compare(Other, Last ? PartialLength : 0, CaseInsensitive, Collation);
  return Value.Compare(Other, 0, false, 0);
}

TORVValues::TORVValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, true) {}

TORVValues::TORVValues(int32_t CharacterSetToUse, bool OwnsValues)
    : FCharacterSet(CharacterSetToUse), FOwnsValues(OwnsValues) {}

TORVValues::~TORVValues() {
  if (FOwnsValues) FreeRange(0, FCount);
}

// Frees the owned values of positions From .. To - 1, last first, clearing
// each slot before its value goes so that no slot ever dangles.
void TORVValues::FreeRange(int32_t From, int32_t To) {
  for (int32_t I = To - 1; I >= From; --I) {
    TORVValue* Value = FItems[I];
    FItems[I] = nullptr;
    delete Value;
  }
}

void TORVValues::CheckIndex(int32_t Index) const {
  // Indexes come from the engine's own code, never unchecked from input:
  // one outside the list is a broken internal contract.
  if (Index < 0 || Index >= FCount)
    throw std::out_of_range("value list index " + std::to_string(Index) + " outside 0.." +
                            std::to_string(FCount - 1));
}

void TORVValues::CorruptStreamError(const TORVString& Detail) {
  RaiseError(ORV_CORRUPT_ERROR, {u"value list", u"record", Detail});
}

TORVValue* TORVValues::CreateValueObject(int32_t /*Index*/) { return nullptr; }

void TORVValues::SetCapacity(int32_t Value) {
  const int32_t Capacity = BlockOffset(std::max(Value, 0), kCapacityStep);
  if (Capacity == FCapacity) return;
  if (Capacity < FCount) {
    if (FOwnsValues) FreeRange(Capacity, FCount);
    FCount = Capacity;
  }
  FItems.resize(static_cast<size_t>(Capacity), nullptr);
  FCapacity = Capacity;
}

TORVValue* TORVValues::GetItems(int32_t Index) const {
  CheckIndex(Index);
  return FItems[Index];
}

void TORVValues::SetItems(int32_t Index, TORVValue* Value) {
  CheckIndex(Index);
  FItems[Index] = Value;
}

void TORVValues::SetCount(int32_t Value) {
  // A negative count is a broken internal contract.
  if (Value < 0) throw std::out_of_range("value list count " + std::to_string(Value) + " is negative");
  if (Value > FCapacity) SetCapacity(Value);
  FCount = Value;
}

void TORVValues::Add(TORVValue* Value) {
  if (FCount == FCapacity) SetCapacity(FCapacity + 1);
  FItems[FCount] = Value;
  ++FCount;
}

void TORVValues::Insert(int32_t InsertPos, TORVValue* Value) {
  // Indexes come from the engine's own code, never unchecked from input:
  // one outside the list is a broken internal contract.
  if (InsertPos < 0 || InsertPos > FCount)
    throw std::out_of_range("value list insert position " + std::to_string(InsertPos) + " outside 0.." +
                            std::to_string(FCount));
  if (FCount == FCapacity) SetCapacity(FCapacity + 1);
  std::move_backward(FItems.begin() + InsertPos, FItems.begin() + FCount, FItems.begin() + FCount + 1);
  FItems[InsertPos] = Value;
  ++FCount;
}

void TORVValues::Delete(int32_t DeletePos) {
  if (FCount == 0) return;
  CheckIndex(DeletePos);
  std::move(FItems.begin() + DeletePos + 1, FItems.begin() + FCount, FItems.begin() + DeletePos);
  FItems[FCount - 1] = nullptr;
  --FCount;
}

void TORVValues::DeleteAll() {
  std::fill(FItems.begin(), FItems.end(), nullptr);
  FCount = 0;
}

void TORVValues::Clear() {
  for (int32_t I = 0; I < FCount; ++I)
    if (FItems[I] != nullptr) FItems[I]->SetAsNull(true);
}

void TORVValues::Assign(TORVValues& FromValues) {
  if (&FromValues == this) return;
  if (FOwnsValues) {
    const int32_t Count = std::min(FCount, FromValues.FCount);
    for (int32_t I = 0; I < Count; ++I) FItems[I]->Assign(*FromValues.FItems[I]);
    return;
  }
  SetCapacity(FromValues.FCount);
  // A list longer than FromValues would be left with empty entries inside
  // its count; it ends up as long as FromValues instead.
  FCount = std::min(FCount, FromValues.FCount);
  std::copy(FromValues.FItems.begin(), FromValues.FItems.begin() + FCount, FItems.begin());
  std::fill(FItems.begin() + FCount, FItems.end(), nullptr);
}

int32_t TORVValues::Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) {
  const int32_t Count = std::min(FCount, ValuesToCompare.FCount);
  const int32_t Last = ValuesToCompare.FCount - 1;
  for (int32_t I = 0; I < Count; ++I) {
    TORVValue& Value = *FItems[I];
    const int32_t Result = CompareListMember(Value, *ValuesToCompare.FItems[I], I == Last, PartialLength,
                                             CaseInsensitive, Value.GetCollation());
    if (Result != 0) return Result;
  }
  return 0;
}

int32_t TORVValues::FindValue(TORVValue& Value, int32_t FindCollation, int32_t& ValueIndex) {
  ValueIndex = 0;
  int32_t Result = 1;
  int32_t Low = 0;
  int32_t High = FCount - 1;
  while (Low <= High) {
    ValueIndex = Low + (High - Low) / 2;
    Result = FItems[ValueIndex]->Compare(Value, 0, false, FindCollation);
    if (Result < 0)
      Low = ValueIndex + 1;
    else if (Result > 0)
      High = ValueIndex - 1;
    else
      break;
  }
  if (Result < 0 && ValueIndex < FCount) ++ValueIndex;
  return Result;
}

void TORVValues::Sort(int32_t SortCollation) {
  if (FCount > 1) QuickSort(0, FCount - 1, SortCollation);
}

// Partitions around the middle entry, recursing on the left part and
// looping on the right one. The scans are bounded by the segment, and a
// segment that a comparison inconsistent with itself (an entry that does
// not compare equal to itself) cannot split ends the sort of that segment
// rather than looping for ever.
void TORVValues::QuickSort(int32_t Low, int32_t High, int32_t SortCollation) {
  while (Low < High) {
    int32_t I = Low;
    int32_t J = High;
    TORVValue* Pivot = FItems[Low + (High - Low) / 2];
    do {
      while (I <= High && FItems[I]->Compare(*Pivot, 0, false, SortCollation) < 0) ++I;
      while (J >= Low && FItems[J]->Compare(*Pivot, 0, false, SortCollation) > 0) --J;
      if (I <= J) {
        std::swap(FItems[I], FItems[J]);
        ++I;
        --J;
      }
    } while (I <= J);
    if ((I > High && J == High) || (J < Low && I == Low)) return;
    if (Low < J) QuickSort(Low, J, SortCollation);
    Low = I;
  }
}

void TORVValues::Save(TORVMemoryStream& Stream) {
  // A list is filled before it is saved: an empty entry is a broken internal
  // contract.
  for (int32_t I = 0; I < FCount; ++I)
    if (FItems[I] == nullptr)
      throw std::logic_error("value list entry " + std::to_string(I) + " is empty and cannot be saved");
  Stream.WriteInteger(FCount);
  for (int32_t I = 0; I < FCount; ++I) FItems[I]->Save(Stream);
}

void TORVValues::Load(TORVMemoryStream& Stream) {
  if (Stream.GetAvailable() < 4) CorruptStreamError(u"the count of values is missing");
  const int32_t Count = Stream.ReadInteger();
  // Every value record takes at least its NULL flag.
  if (Count < 0 || Count > Stream.GetAvailable())
    CorruptStreamError(FormatString(u"%s values cannot follow in %s bytes",
                                    {IntToString(Count), IntToString(Stream.GetAvailable())}));
  if (!FOwnsValues) {
    // A list that does not own its values cannot make the missing ones, and
    // skipping their records would read the rest of the stream out of step.
    for (int32_t I = 0; I < Count; ++I)
      if (I >= FCount || FItems[I] == nullptr)
        CorruptStreamError(FormatString(u"%s values for a list that refers to %s",
                                        {IntToString(Count), IntToString(std::min(I, FCount))}));
  }
  SetCapacity(Count);
  if (Count < FCount) {
    if (FOwnsValues)
      FreeRange(Count, FCount);
    else
      std::fill(FItems.begin() + Count, FItems.begin() + FCount, nullptr);
  }
  FCount = Count;
  for (int32_t I = 0; I < Count; ++I) {
    if (FItems[I] == nullptr) {
      FItems[I] = CreateValueObject(I);
      if (FItems[I] == nullptr) {
        // The list keeps the values loaded so far and no empty entries.
        FreeRange(I + 1, Count);
        FCount = I;
        CorruptStreamError(FormatString(u"no value can be made for position %s", {IntToString(I)}));
      }
    }
    FItems[I]->Load(Stream);
  }
}

}  // namespace orv
