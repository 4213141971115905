#include "catalog/orvlockable.h"

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

// One row group of the layout: the lock types it covers (a pair such as
// shared/exclusive, or one type twice), and for slot s the first byte
// Offset + (s - 1) x OffsetStep over Range bytes with in-process index
// Index + (s - 1) x IndexStep. Kinds without slots have steps of 0.
//
// The configuration's file: bytes below 0x1000 are the session slots; the
// root, then the event log, then 4096 users, jobs and stores and 1024
// modules, each slot a 4096-byte range. A database's file: the database's
// own shared/exclusive range, the catalog, 4096 tables' shared/exclusive
// ranges, their transaction bytes, their read/write ranges, then 4096
// routines. The database's transaction and read/write ranges are the
// union of every table's: a database-level lock meets any table's lock of
// the same kind, and under exclusive access the database's indices are
// table slot 1's.
struct TLockSpaceRow {
  TORVLockSpaceKind Kind;
  TORVLockType First;
  TORVLockType Second;
  int32_t Offset;
  int32_t OffsetStep;
  int32_t Range;
  int32_t Index;
  int32_t IndexStep;
};

constexpr int32_t SlotBytes = 4096;

constexpr TLockSpaceRow LockSpaceLayout[] = {
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
  for (const TLockSpaceRow& Row : LockSpaceLayout) {
    if (Row.Kind != Kind || (LockType != Row.First && LockType != Row.Second)) continue;
    const int32_t Step = Slots > 0 ? Slot - 1 : 0;
    Space = {Row.Offset + Step * Row.OffsetStep, Row.Range, Row.Index + Step * Row.IndexStep};
    break;
  }
  return true;
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
