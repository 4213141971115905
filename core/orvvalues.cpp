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

TORVValues::TORVValues(int32_t CharacterSetToUse) : TORVValues(CharacterSetToUse, true) {}

TORVValues::TORVValues(int32_t CharacterSetToUse, bool OwnsValues)
    : FCharacterSet(CharacterSetToUse), FOwnsValues(OwnsValues) {}

TORVValues::~TORVValues() {
  if (FOwnsValues) FreeRange(0, FCount);
}

// Frees the owned values of positions From .. To - 1, last first, clearing
// each slot before its value goes so that no slot ever dangles.
void TORVValues::FreeRange(int32_t From, int32_t To) {
  for (int32_t i = To - 1; i >= From; --i) {
    TORVValue* value = FItems[i];
    FItems[i] = nullptr;
    delete value;
  }
}

void TORVValues::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= FCount)
    throw std::out_of_range("value list index " + std::to_string(Index) + " outside 0.." +
                            std::to_string(FCount - 1));
}

void TORVValues::CorruptStreamError(const TORVString& Detail) {
  RaiseError(ORV_CORRUPT_ERROR, {u"value list", u"record", Detail});
}

TORVValue* TORVValues::CreateValueObject(int32_t /*Index*/) { return nullptr; }

void TORVValues::SetCapacity(int32_t Value) {
  const int32_t capacity = BlockOffset(std::max(Value, 0), kCapacityStep);
  if (capacity == FCapacity) return;
  if (capacity < FCount) {
    if (FOwnsValues) FreeRange(capacity, FCount);
    FCount = capacity;
  }
  FItems.resize(static_cast<size_t>(capacity), nullptr);
  FCapacity = capacity;
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
  for (int32_t i = 0; i < FCount; ++i)
    if (FItems[i] != nullptr) FItems[i]->SetAsNull(true);
}

void TORVValues::Assign(TORVValues& FromValues) {
  if (&FromValues == this) return;
  if (FOwnsValues) {
    const int32_t count = std::min(FCount, FromValues.FCount);
    for (int32_t i = 0; i < count; ++i) FItems[i]->Assign(*FromValues.FItems[i]);
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
  const int32_t count = std::min(FCount, ValuesToCompare.FCount);
  const int32_t last = ValuesToCompare.FCount - 1;
  for (int32_t i = 0; i < count; ++i) {
    TORVValue& value = *FItems[i];
    int32_t result;
    if (IsTextCompareValue(value))
      result = value.Compare(*ValuesToCompare.FItems[i], i == last ? PartialLength : 0, CaseInsensitive,
                             value.GetCollation());
    else
      result = value.Compare(*ValuesToCompare.FItems[i], 0, false, 0);
    if (result != 0) return result;
  }
  return 0;
}

int32_t TORVValues::FindValue(TORVValue& Value, int32_t FindCollation, int32_t& ValueIndex) {
  ValueIndex = 0;
  int32_t result = 1;
  int32_t low = 0;
  int32_t high = FCount - 1;
  while (low <= high) {
    ValueIndex = low + (high - low) / 2;
    result = FItems[ValueIndex]->Compare(Value, 0, false, FindCollation);
    if (result < 0)
      low = ValueIndex + 1;
    else if (result > 0)
      high = ValueIndex - 1;
    else
      break;
  }
  if (result < 0 && ValueIndex < FCount) ++ValueIndex;
  return result;
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
    int32_t i = Low;
    int32_t j = High;
    TORVValue* pivot = FItems[Low + (High - Low) / 2];
    do {
      while (i <= High && FItems[i]->Compare(*pivot, 0, false, SortCollation) < 0) ++i;
      while (j >= Low && FItems[j]->Compare(*pivot, 0, false, SortCollation) > 0) --j;
      if (i <= j) {
        std::swap(FItems[i], FItems[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if ((i > High && j == High) || (j < Low && i == Low)) return;
    if (Low < j) QuickSort(Low, j, SortCollation);
    Low = i;
  }
}

void TORVValues::Save(TORVMemoryStream& Stream) {
  for (int32_t i = 0; i < FCount; ++i)
    if (FItems[i] == nullptr)
      throw std::logic_error("value list entry " + std::to_string(i) + " is empty and cannot be saved");
  Stream.WriteInteger(FCount);
  for (int32_t i = 0; i < FCount; ++i) FItems[i]->Save(Stream);
}

void TORVValues::Load(TORVMemoryStream& Stream) {
  if (Stream.GetAvailable() < 4) CorruptStreamError(u"the count of values is missing");
  const int32_t count = Stream.ReadInteger();
  // Every value record takes at least its NULL flag.
  if (count < 0 || count > Stream.GetAvailable())
    CorruptStreamError(FormatString(u"%s values cannot follow in %s bytes",
                                    {IntToString(count), IntToString(Stream.GetAvailable())}));
  if (!FOwnsValues) {
    // A list that does not own its values cannot make the missing ones, and
    // skipping their records would read the rest of the stream out of step.
    for (int32_t i = 0; i < count; ++i)
      if (i >= FCount || FItems[i] == nullptr)
        CorruptStreamError(FormatString(u"%s values for a list that refers to %s",
                                        {IntToString(count), IntToString(std::min(i, FCount))}));
  }
  SetCapacity(count);
  if (count < FCount) {
    if (FOwnsValues)
      FreeRange(count, FCount);
    else
      std::fill(FItems.begin() + count, FItems.begin() + FCount, nullptr);
  }
  FCount = count;
  for (int32_t i = 0; i < count; ++i) {
    if (FItems[i] == nullptr) {
      FItems[i] = CreateValueObject(i);
      if (FItems[i] == nullptr) {
        // The list keeps the values loaded so far and no empty entries.
        FreeRange(i + 1, count);
        FCount = i;
        CorruptStreamError(FormatString(u"no value can be made for position %s", {IntToString(i)}));
      }
    }
    FItems[i]->Load(Stream);
  }
}

}  // namespace orv
