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
  int32_t Capacity = BlockOffset(Value, FObjectExpandCount);
  if (Capacity <= FObjectCapacity) return;
  auto Locks = std::make_unique<std::atomic<TORVReadWriteLock*>[]>(static_cast<size_t>(Capacity));
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  for (int32_t I = 0; I < FObjectCapacity; ++I) Locks[I] = FObjectLocks[I].load();
  for (int32_t I = FObjectCapacity; I < Capacity; ++I) Locks[I] = nullptr;
  FObjectLocks = std::move(Locks);
  FObjects.resize(static_cast<size_t>(Capacity), nullptr);
  FObjectCapacity = Capacity;
}

void TORVHandleObjects::SetNumObjects(int32_t Value) {
  if (Value > FNumObjects) FNumObjects = Value;
}

void TORVHandleObjects::PutObject(int32_t Handle, TORVHandleObject* Value) {
  SetObjectCapacity(Handle + 1);
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  FObjects[static_cast<size_t>(Handle)] = Value;
  SetNumObjects(Handle + 1);
}

void TORVHandleObjects::AddObject(TORVHandleObject* Value, bool AcquireLock) {
  int32_t Handle = 0;
  // A full table and a new object that cannot be locked are plain engine
  // exceptions without an error code; callers that face a client translate
  // them into their own errors.
  if (!FHandles.NextBitClear(Handle)) {
    throw EORVBaseException(
        FormatString(u"Handle objects container capacity (%s) exceeded", {IntToString(FMaximumSize)}));
  }
  PutObject(Handle, Value);
  FHandles.SetBit(Handle);
  Value->SetHandle(Handle);
  if (AcquireLock && FLockableObjects && !LockObject(Value, NewObjectLockWait))
    throw EORVBaseException(FormatString(u"Cannot lock new handle object (%s)", {IntToString(Handle)}));
}

void TORVHandleObjects::SetObject(TORVHandleObject* Value) {
  int32_t Handle = Value->GetHandle();
  if (!ValidHandle(Handle)) return;
  PutObject(Handle, Value);
  FHandles.SetBit(Handle);
}

void TORVHandleObjects::ClearObject(TORVHandleObject* Value) {
  int32_t Handle = Value->GetHandle();
  // A handle given to another object since must stay with it.
  if (!HoldsObject(Value, Handle)) return;
  FHandles.ClearBit(Handle);
  PutObject(Handle, nullptr);
}

bool TORVHandleObjects::RemoveObject(TORVHandleObject* Value, bool ReleaseLock) {
  int32_t Handle = Value->GetHandle();
  if (!FHandles.BitSet(Handle) || !HoldsObject(Value, Handle)) {
    Value->SetHandle(0);
    return false;
  }
  FHandles.ClearBit(Handle);
  PutObject(Handle, nullptr);
  if (ReleaseLock && FLockableObjects && !FFreeing) {
    if (TORVReadWriteLock* Lock = FObjectLocks[Handle].load()) Lock->LeaveWrite();
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
  int32_t Next = std::max(Handle, 0);
  while (FHandles.NextBitSet(Next)) {
    if (TORVHandleObject* Found = FindObject(Next)) {
      Handle = Next;
      HandleObject = Found;
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
  } Freeing(FFreeing);
  int32_t Handle = 0;
  while (FHandles.NextBitSet(Handle)) {
    TORVHandleObject* Object = Handle < FNumObjects ? FObjects[static_cast<size_t>(Handle)] : nullptr;
    // The handle is free before the object goes, so that a destructor that
    // unregisters itself finds nothing left to do.
    FHandles.ClearBit(Handle);
    PutObject(Handle, nullptr);
    delete Object;
  }
}

TORVReadWriteLock* TORVHandleObjects::ObjectLock(const TORVHandleObject* Value, bool Create) {
  if (!FLockableObjects) return nullptr;
  int32_t Handle = Value->GetHandle();
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (!HoldsObject(Value, Handle)) return nullptr;
  TORVReadWriteLock* Lock = FObjectLocks[Handle].load();
  if (Lock == nullptr && Create) {
    Lock = new TORVReadWriteLock();
    FObjectLocks[Handle] = Lock;
  }
  return Lock;
}

bool TORVHandleObjects::LockObject(TORVHandleObject* Value, uint32_t WaitTimeout) {
  // Locks live as long as the table, so the wait needs no section.
  TORVReadWriteLock* Lock = ObjectLock(Value, true);
  return Lock != nullptr && Lock->EnterWrite(WaitTimeout);
}

bool TORVHandleObjects::UnlockObject(TORVHandleObject* Value) {
  TORVReadWriteLock* Lock = ObjectLock(Value, false);
  return Lock != nullptr && Lock->LeaveWrite();
}

void TORVHandleObjects::FreeObjectLocks() {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  for (int32_t I = 0; I < FObjectCapacity; ++I) delete FObjectLocks[I].exchange(nullptr);
}

}  // namespace orv
