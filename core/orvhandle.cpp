#include "core/orvhandle.h"

#include <algorithm>
#include <mutex>

#include "base/orverror.h"
#include "core/orvliteral.h"

namespace orv {

namespace {

// Waited for when a new object's lock is taken for its creator.
constexpr uint32_t NewObjectLockWait = 1;

}  // namespace

TORVHandleObjects::TORVHandleObjects(int32_t MaximumSize, bool ObjectsAreLockable)
    : FMaximumSize(std::max(MaximumSize, 0)),
      FLockableObjects(ObjectsAreLockable),
      FObjectExpandCount(std::max(MaximumSize / 16, 1)) {
  FHandles.SetBitCount(FMaximumSize);
}

TORVHandleObjects::~TORVHandleObjects() {
  FreeObjects();
  FreeObjectLocks();
}

bool TORVHandleObjects::HoldsObject(const TORVHandleObject* Value, int32_t Handle) const {
  return ValidHandle(Handle) && Handle < FNumObjects && FObjects[static_cast<size_t>(Handle)] == Value;
}

void TORVHandleObjects::SetObjectCapacity(int32_t Value) {
  int32_t capacity = BlockOffset(Value, FObjectExpandCount);
  if (capacity <= FObjectCapacity) return;
  auto locks = std::make_unique<std::atomic<TORVReadWriteLock*>[]>(static_cast<size_t>(capacity));
  std::lock_guard<TORVCriticalSection> lock(FLockSection);
  for (int32_t i = 0; i < FObjectCapacity; ++i) locks[i] = FObjectLocks[i].load();
  for (int32_t i = FObjectCapacity; i < capacity; ++i) locks[i] = nullptr;
  FObjectLocks = std::move(locks);
  FObjects.resize(static_cast<size_t>(capacity), nullptr);
  FObjectCapacity = capacity;
}

void TORVHandleObjects::SetNumObjects(int32_t Value) {
  if (Value > FNumObjects) FNumObjects = Value;
}

void TORVHandleObjects::PutObject(int32_t Handle, TORVHandleObject* Value) {
  SetObjectCapacity(Handle + 1);
  std::lock_guard<TORVCriticalSection> lock(FLockSection);
  FObjects[static_cast<size_t>(Handle)] = Value;
  SetNumObjects(Handle + 1);
}

void TORVHandleObjects::AddObject(TORVHandleObject* Value, bool AcquireLock) {
  int32_t handle = 0;
  if (!FHandles.NextBitClear(handle)) {
    throw EORVBaseException(
        FormatString(u"Handle objects container capacity (%s) exceeded", {IntToString(FMaximumSize)}));
  }
  PutObject(handle, Value);
  FHandles.SetBit(handle);
  Value->SetHandle(handle);
  if (AcquireLock && FLockableObjects && !LockObject(Value, NewObjectLockWait))
    throw EORVBaseException(FormatString(u"Cannot lock new handle object (%s)", {IntToString(handle)}));
}

void TORVHandleObjects::SetObject(TORVHandleObject* Value) {
  int32_t handle = Value->GetHandle();
  if (!ValidHandle(handle)) return;
  PutObject(handle, Value);
  FHandles.SetBit(handle);
}

void TORVHandleObjects::ClearObject(TORVHandleObject* Value) {
  int32_t handle = Value->GetHandle();
  // A handle given to another object since must stay with it.
  if (!HoldsObject(Value, handle)) return;
  FHandles.ClearBit(handle);
  PutObject(handle, nullptr);
}

bool TORVHandleObjects::RemoveObject(TORVHandleObject* Value, bool ReleaseLock) {
  int32_t handle = Value->GetHandle();
  if (!FHandles.BitSet(handle) || !HoldsObject(Value, handle)) {
    Value->SetHandle(0);
    return false;
  }
  FHandles.ClearBit(handle);
  PutObject(handle, nullptr);
  if (ReleaseLock && FLockableObjects && !FFreeing) {
    if (TORVReadWriteLock* lock = FObjectLocks[handle].load()) lock->LeaveWrite();
  }
  Value->SetHandle(0);
  return true;
}

bool TORVHandleObjects::ObjectExists(int32_t Handle) const { return FHandles.BitSet(Handle); }

TORVHandleObject* TORVHandleObjects::FindObject(int32_t Handle) const {
  if (!FHandles.BitSet(Handle) || Handle >= FNumObjects) return nullptr;
  return FObjects[static_cast<size_t>(Handle)];
}

bool TORVHandleObjects::NextObject(int32_t& Handle, TORVHandleObject*& HandleObject) const {
  int32_t next = std::max(Handle, 0);
  while (FHandles.NextBitSet(next)) {
    if (TORVHandleObject* found = FindObject(next)) {
      Handle = next;
      HandleObject = found;
      return true;
    }
  }
  HandleObject = nullptr;
  return false;
}

void TORVHandleObjects::FreeObjects() {
  struct TFreeingFlag {
    bool& Flag;
    explicit TFreeingFlag(bool& AFlag) : Flag(AFlag) { Flag = true; }
    ~TFreeingFlag() { Flag = false; }
  } freeing(FFreeing);
  int32_t handle = 0;
  while (FHandles.NextBitSet(handle)) {
    TORVHandleObject* object = handle < FNumObjects ? FObjects[static_cast<size_t>(handle)] : nullptr;
    // The handle is free before the object goes, so that a destructor that
    // unregisters itself finds nothing left to do.
    FHandles.ClearBit(handle);
    PutObject(handle, nullptr);
    delete object;
  }
}

TORVReadWriteLock* TORVHandleObjects::ObjectLock(const TORVHandleObject* Value, bool Create) {
  if (!FLockableObjects) return nullptr;
  int32_t handle = Value->GetHandle();
  std::lock_guard<TORVCriticalSection> lock(FLockSection);
  if (!HoldsObject(Value, handle)) return nullptr;
  TORVReadWriteLock* objectLock = FObjectLocks[handle].load();
  if (objectLock == nullptr && Create) {
    objectLock = new TORVReadWriteLock();
    FObjectLocks[handle] = objectLock;
  }
  return objectLock;
}

bool TORVHandleObjects::LockObject(TORVHandleObject* Value, uint32_t WaitTimeout) {
  // Locks live as long as the table, so the wait needs no section.
  TORVReadWriteLock* objectLock = ObjectLock(Value, true);
  return objectLock != nullptr && objectLock->EnterWrite(WaitTimeout);
}

bool TORVHandleObjects::UnlockObject(TORVHandleObject* Value) {
  TORVReadWriteLock* objectLock = ObjectLock(Value, false);
  return objectLock != nullptr && objectLock->LeaveWrite();
}

void TORVHandleObjects::FreeObjectLocks() {
  std::lock_guard<TORVCriticalSection> lock(FLockSection);
  for (int32_t i = 0; i < FObjectCapacity; ++i) delete FObjectLocks[i].exchange(nullptr);
}

}  // namespace orv
