#include "catalog/orvlockable.h"

#include <algorithm>
#include <vector>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

// The state bit of each lock type after ltNone, in type order.
TORVLockState StateOf(TORVLockType LockType) { return static_cast<TORVLockState>(LockType - ltShared); }

bool HasState(TORVLockType LockType) { return LockType >= ltShared && LockType <= ltTransaction; }

}  // namespace

TORVString LockTypeName(TORVLockType LockType) {
  switch (LockType) {
    case ltShared:
      return u"shared";
    case ltExclusive:
      return u"exclusive";
    case ltRead:
      return u"read";
    case ltWrite:
      return u"write";
    case ltTransaction:
      return u"transaction";
    case ltNone:
      break;
  }
  return u"none";
}

namespace {

constexpr int32_t SlotBytes = 4096;

constexpr TORVLockSpaceRow LockSpaceLayout[] = {
    {lkConfiguration, ltRead, ltWrite, 0x1001, 0, 4096, 1, 0},
    {lkConfiguration, ltTransaction, ltTransaction, 0x1000, 0, 1, 0, 0},
    {lkEventLog, ltRead, ltWrite, 0x2002, 0, 4096, 3, 0},
    {lkEventLog, ltTransaction, ltTransaction, 0x2001, 0, 1, 2, 0},
    {lkUser, ltShared, ltExclusive, 0x3002, SlotBytes, 4096, 4, 1},
    {lkJob, ltShared, ltExclusive, 0x1003002, SlotBytes, 4096, 0x1004, 1},
    {lkStore, ltShared, ltExclusive, 0x2003002, SlotBytes, 4096, 0x2004, 1},
    {lkModule, ltShared, ltExclusive, 0x3003002, SlotBytes, 4096, 0x3004, 1},
    {lkDatabase, ltShared, ltExclusive, 0x1000, 0, 4096, 0, 0},
    {lkDatabase, ltRead, ltWrite, 0x1004001, 0, 0x1000000, 0x2003, 0},
    {lkDatabase, ltTransaction, ltTransaction, 0x1003001, 0, 4096, 0x1003, 0},
    {lkCatalog, ltRead, ltWrite, 0x2001, 0, 4096, 2, 0},
    {lkCatalog, ltTransaction, ltTransaction, 0x2000, 0, 1, 1, 0},
    {lkTable, ltShared, ltExclusive, 0x3001, SlotBytes, 4096, 3, 1},
    {lkTable, ltRead, ltWrite, 0x1004001, SlotBytes, 4096, 0x2003, 1},
    {lkTable, ltTransaction, ltTransaction, 0x1003001, 1, 1, 0x1003, 1},
    {lkRoutine, ltShared, ltExclusive, 0x2004001, SlotBytes, 4096, 0x3003, 1},
};

}  // namespace

int32_t LockSlotCount(TORVLockSpaceKind Kind) {
  switch (Kind) {
    case lkUser:
    case lkJob:
    case lkStore:
    case lkTable:
    case lkRoutine:
      return 4096;
    case lkModule:
      return 1024;
    default:
      return 0;
  }
}

bool FindLockSpace(TORVLockSpaceKind Kind, TORVLockType LockType, int32_t Slot, TORVLockSpace& Space) {
  Space = TORVLockSpace{};
  const int32_t Slots = LockSlotCount(Kind);
  if (Slots > 0 && (Slot < 1 || Slot > Slots)) return false;
  if constexpr (ORV_ASSERTIONS_ACTIVE) {
    // Once a process: the layout is a constant.
    static const bool Checked = (CheckLockSpaceLayout(GetLockSpaceLayout()), true);
    (void)Checked;
  }
  for (const TORVLockSpaceRow& Row : LockSpaceLayout) {
    if (Row.Kind != Kind || (LockType != Row.First && LockType != Row.Second)) continue;
    const int32_t Step = Slots > 0 ? Slot - 1 : 0;
    Space = {Row.Offset + Step * Row.OffsetStep, Row.Range, Row.Index + Step * Row.IndexStep};
    break;
  }
  return true;
}

std::span<const TORVLockSpaceRow> GetLockSpaceLayout() { return LockSpaceLayout; }

namespace {

// One lock of the layout: a row group at one slot.
struct TLockPlace {
  int64_t Begin;
  int64_t End;
  int32_t Index;
};

bool InDatabaseFile(TORVLockSpaceKind Kind) { return Kind >= lkDatabase; }

// The database's read/write and transaction rows, which cover the tables'.
bool IsCovering(const TORVLockSpaceRow& Row) { return Row.Kind == lkDatabase && Row.First != ltShared; }

// The place of Row at Slot (1 for kinds without slots).
TLockPlace PlaceOf(const TORVLockSpaceRow& Row, int32_t Slot) {
  const int64_t Begin = Row.Offset + static_cast<int64_t>(Slot - 1) * Row.OffsetStep;
  return {Begin, Begin + Row.Range, Row.Index + (Slot - 1) * Row.IndexStep};
}

}  // namespace

void CheckLockSpaceLayout(std::span<const TORVLockSpaceRow> Layout) {
  for (const bool DatabaseFile : {false, true}) {
    std::vector<TLockPlace> Places;
    for (const TORVLockSpaceRow& Row : Layout) {
      if (InDatabaseFile(Row.Kind) != DatabaseFile) continue;
      ORV_ASSERT(Row.Range > 0 && Row.Offset >= 0x1000);
      const int32_t Slots = std::max(1, LockSlotCount(Row.Kind));
      ORV_ASSERT((Slots == 1) == (Row.OffsetStep == 0 && Row.IndexStep == 0));
      if (IsCovering(Row)) {
        // Every table lock of the same kind lies inside, and under exclusive
        // access the database's index is table slot 1's.
        for (const TORVLockSpaceRow& Table : Layout) {
          if (Table.Kind != lkTable || Table.First != Row.First) continue;
          ORV_ASSERT(PlaceOf(Table, 1).Index == Row.Index);
          ORV_ASSERT(PlaceOf(Table, 1).Begin >= Row.Offset);
          ORV_ASSERT(PlaceOf(Table, LockSlotCount(lkTable)).End <= int64_t{Row.Offset} + Row.Range);
        }
        continue;
      }
      for (int32_t Slot = 1; Slot <= Slots; ++Slot) Places.push_back(PlaceOf(Row, Slot));
    }
    // Apart from that covering, no two locks of one file share a byte or an
    // in-process index.
    std::sort(Places.begin(), Places.end(), [](const TLockPlace& A, const TLockPlace& B) { return A.Begin < B.Begin; });
    for (size_t At = 1; At < Places.size(); ++At) ORV_ASSERT(Places[At - 1].End <= Places[At].Begin);
    std::vector<int32_t> Indexes;
    for (const TLockPlace& Place : Places) Indexes.push_back(Place.Index);
    std::sort(Indexes.begin(), Indexes.end());
    ORV_ASSERT(std::adjacent_find(Indexes.begin(), Indexes.end()) == Indexes.end());
    ORV_ASSERT(Indexes.empty() || Indexes.front() >= 0);
  }
}

TORVLockSpace TORVLockableConfigObject::LockSpaceFor(TORVLockType LockType) {
  TORVLockSpace Space;
  if (!FindLockSpace(GetLockSpaceKind(), LockType, GetLockSlot(), Space)) LockError(LockType);
  return Space;
}

int32_t TORVLockableConfigObject::GetLockSpaceOffset(TORVLockType LockType) { return LockSpaceFor(LockType).Offset; }

int32_t TORVLockableConfigObject::GetLockSpaceRange(TORVLockType LockType) { return LockSpaceFor(LockType).Range; }

int32_t TORVLockableConfigObject::GetLockIndex(TORVLockType LockType) { return LockSpaceFor(LockType).Index; }

void TORVLockableConfigObject::SetAttributes(const TORVString& Value) {
  if (Value == FAttributes) return;
  FAttributes = Value;
  SetModified(true);
}

void TORVLockableConfigObject::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVLockableConfigObject*>(FromObject)) FAttributes = From->FAttributes;
}

bool TORVLockableConfigObject::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVConfigObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVLockableConfigObject*>(ObjectToCompare);
  return Other == nullptr || SameString(FAttributes, Other->FAttributes);
}

void TORVLockableConfigObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  if (GetUseAttributes() && !CRCOnly) Stream.WriteString(FAttributes);
}

void TORVLockableConfigObject::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FAttributes.clear();
  if (GetUseAttributes() && GetConfigVersion() >= AttributesVersion) Stream.ReadString(FAttributes);
}

int32_t TORVLockableConfigObject::GetMemorySize() { return TORVConfigObject::GetMemorySize() + StringSize(FAttributes); }

int32_t TORVLockableConfigObject::GetLockTimeout(TORVLockType LockType) {
  switch (LockType) {
    case ltShared:
    case ltExclusive:
      return 1000;
    case ltRead:
    case ltWrite:
    case ltTransaction:
      return 90000;
    case ltNone:
      break;
  }
  return 0;
}

void TORVLockableConfigObject::Lock(TORVLockType LockType) {
  if (HasState(LockType)) FLockState.Include(StateOf(LockType));
}

void TORVLockableConfigObject::Unlock(TORVLockType LockType) {
  if (HasState(LockType)) FLockState.Exclude(StateOf(LockType));
}

void TORVLockableConfigObject::RaiseLockingError(const TORVErrorDef& InParent, const TORVErrorDef& Alone,
                                                 TORVLockType LockType) {
  throw NamedError(InParent, Alone, GetName(), {LockTypeName(LockType)});
}

void TORVLockableConfigObject::LockError(TORVLockType LockType) {
  RaiseLockingError(ORV_LOCK_IN_ERROR, ORV_LOCK_ERROR, LockType);
}

void TORVLockableConfigObject::UnlockError(TORVLockType LockType) {
  RaiseLockingError(ORV_UNLOCK_IN_ERROR, ORV_UNLOCK_ERROR, LockType);
}

void TORVLockableConfigObject::IncTransactionLockCount() { ++FTransactionLockCount; }

void TORVLockableConfigObject::DecTransactionLockCount() {
  if (FTransactionLockCount > 0) --FTransactionLockCount;
}

}  // namespace orv
