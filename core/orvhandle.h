// The handle table: gives engine objects their integer handles and,
// optionally, one lock each.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/orvbitmap.h"
#include "core/orvcommon.h"
#include "core/orvsync.h"

namespace orv {

// Handles 1 .. MaximumSize, given out lowest first. The table frees the
// objects still registered when FreeObjects runs or the table is freed.
//
// The owner serialises AddObject, SetObject, ClearObject, RemoveObject and
// the lookups with a lock of its own. LockObject and UnlockObject may run
// at any time from any thread: the slot and lock arrays they read change
// only under the table's lock section. A per-handle lock, once created,
// lives as long as the table and serves every object that gets the handle.
class TORVHandleObjects : public TORVBaseObject {
 public:
  TORVHandleObjects(int32_t MaximumSize, bool ObjectsAreLockable);
  ~TORVHandleObjects() override;

  // Registers Value under the lowest free handle and stores it in Value's
  // Handle. Raises "Handle objects container capacity (%s) exceeded" when
  // every handle is in use. With AcquireLock (lockable tables) the object's
  // lock is taken with a 1 ms wait; failing that raises "Cannot lock new
  // handle object (%s)", and the object stays registered.
  void AddObject(TORVHandleObject* Value, bool AcquireLock);
  // Registers Value under the handle it already carries (when valid),
  // replacing without freeing whatever was there.
  void SetObject(TORVHandleObject* Value);
  // Frees the handle of Value without freeing Value, which keeps its Handle.
  // Nothing happens when the slot holds another object.
  void ClearObject(TORVHandleObject* Value);
  // Frees the handle of Value (releasing its lock with ReleaseLock) and sets
  // its Handle to 0. False, with Handle 0 and the table unchanged, when
  // Value is not registered under its handle.
  bool RemoveObject(TORVHandleObject* Value, bool ReleaseLock);

  bool ObjectExists(int32_t Handle) const;
  // The object registered under Handle; nil when none.
  TORVHandleObject* FindObject(int32_t Handle) const;
  // The next handle in use above Handle (start with 0) and its object.
  // False and nil at the end, with Handle unchanged.
  bool NextObject(int32_t& Handle, TORVHandleObject*& HandleObject) const;
  // Frees every registered object in ascending handle order; their handles
  // become free.
  void FreeObjects();

  // Takes the write side of Value's lock within WaitTimeout ms. False when
  // the table is not lockable, when Value is not the object registered under
  // its handle, or on time-out.
  bool LockObject(TORVHandleObject* Value, uint32_t WaitTimeout);
  // Releases Value's lock; False when the table is not lockable or Value is
  // not the object registered under its handle.
  bool UnlockObject(TORVHandleObject* Value);

  int32_t GetNumObjects() const { return FNumObjects; }
  int32_t GetMaximumSize() const { return FMaximumSize; }
  bool GetLockableObjects() const { return FLockableObjects; }

 private:
  bool ValidHandle(int32_t Handle) const { return Handle >= 1 && Handle <= FMaximumSize; }
  bool HoldsObject(const TORVHandleObject* Value, int32_t Handle) const;
  void PutObject(int32_t Handle, TORVHandleObject* Value);
  void SetNumObjects(int32_t Value);
  void SetObjectCapacity(int32_t Value);
  // The lock of the object registered under Value's handle, made when
  // missing with Create; nil when the table is not lockable, Value is not
  // registered or (without Create) has no lock yet.
  TORVReadWriteLock* ObjectLock(const TORVHandleObject* Value, bool Create);
  void FreeObjectLocks();

  int32_t FMaximumSize;
  TORVBitmap FHandles;
  bool FLockableObjects;
  bool FFreeing = false;
  std::vector<TORVHandleObject*> FObjects;
  TORVCriticalSection FLockSection;
  std::unique_ptr<std::atomic<TORVReadWriteLock*>[]> FObjectLocks;
  int32_t FNumObjects = 0;
  int32_t FObjectExpandCount;
  int32_t FObjectCapacity = 0;
};

}  // namespace orv
