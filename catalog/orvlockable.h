// Objects that sessions lock against each other, and where each kind of
// lock lies in a lock file. The lock managers turn these answers into
// byte-range locks; the classes of the model give the positions.
#pragma once

#include <cstdint>

#include "base/orverrors.h"
#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "core/orvlocktype.h"

namespace orv {

enum TORVLockState : uint8_t {
  lsSharedLocked,
  lsExclusiveLocked,
  lsReadLocked,
  lsWriteLocked,
  lsTransactionLocked
};
using TORVLockStates = TORVSet<TORVLockState, 8>;

// "none", "shared", "exclusive", "read", "write", "transaction".
TORVString LockTypeName(TORVLockType LockType);

// FLockState records what this process holds on the object and
// FTransactionLockCount how deeply transaction locks nest (never below 0).
// Neither has a lock of its own: only the session that owns the object
// changes them, after its lock manager took or released the file lock.
class TORVLockableConfigObject : public TORVConfigObject {
 public:
  // First byte, byte count and in-process lock index of the object's range
  // for LockType; 0, 0 and -1 for a type the object is not locked with.
  virtual int32_t GetLockSpaceOffset(TORVLockType LockType);
  virtual int32_t GetLockSpaceRange(TORVLockType LockType);
  virtual int32_t GetLockIndex(TORVLockType LockType);
  // Milliseconds a lock request waits when the caller names no wait.
  virtual int32_t GetLockTimeout(TORVLockType LockType);
  virtual void Lock(TORVLockType LockType);
  virtual void Unlock(TORVLockType LockType);
  // Raise the lock and unlock errors (ORV_LOCK_ERROR, ORV_UNLOCK_ERROR).
  virtual void LockError(TORVLockType LockType);
  virtual void UnlockError(TORVLockType LockType);
  virtual void IncTransactionLockCount();
  virtual void DecTransactionLockCount();

  const TORVLockStates& GetLockState() const { return FLockState; }
  int32_t GetTransactionLockCount() const { return FTransactionLockCount; }

 protected:
  // The long form names the parent, when it has both a type and a name.
  [[noreturn]] void RaiseLockingError(const TORVErrorDef& InParent, const TORVErrorDef& Alone,
                                      TORVLockType LockType);

  TORVLockStates FLockState;
  int32_t FTransactionLockCount = 0;
};

}  // namespace orv
