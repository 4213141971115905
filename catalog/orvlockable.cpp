#include "catalog/orvlockable.h"

#include "base/orverrors.h"

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

int32_t TORVLockableConfigObject::GetLockSpaceOffset(TORVLockType /*LockType*/) { return 0; }

int32_t TORVLockableConfigObject::GetLockSpaceRange(TORVLockType /*LockType*/) { return 0; }

int32_t TORVLockableConfigObject::GetLockIndex(TORVLockType /*LockType*/) { return -1; }

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
