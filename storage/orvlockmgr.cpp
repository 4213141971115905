#include "storage/orvlockmgr.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "base/orverrors.h"
#include "core/orvliteral.h"

namespace orv {

namespace {

using TClock = std::chrono::steady_clock;

// The lock managers of this process share one place to wait: any release
// wakes every waiter, which then tries again.
//
// Under exclusive file access it also keeps the in-memory range locks of
// each lock file (by file serial). Invariants, all under FMutex: holds of
// one file never overlap where either is exclusive; a file's table exists
// only while at least one lock manager has the file open (FUsers > 0);
// FGeneration grows with every release.
class TProcessLocks {
 public:
  static TProcessLocks& Instance() {
    static TProcessLocks Locks;
    return Locks;
  }

  void AddUser(uint64_t File) {
    std::lock_guard<std::mutex> Guard(FMutex);
    ++FTables[File].Users;
  }

  // The last user gone, what it still held is dropped with the table, as
  // closing a file drops the byte locks taken through it.
  void RemoveUser(uint64_t File) {
    std::lock_guard<std::mutex> Guard(FMutex);
    auto Found = FTables.find(File);
    if (Found == FTables.end()) return;
    if (--Found->second.Users <= 0) FTables.erase(Found);
    Released();
  }

  bool Acquire(uint64_t File, int64_t First, int64_t Last, bool Exclusive, TClock::time_point Deadline) {
    std::unique_lock<std::mutex> Guard(FMutex);
    TTable& Table = FTables[File];
    THold Wanted{First, Last, Exclusive};
    if (!FReleased.wait_until(Guard, Deadline, [&] { return !Conflicts(Table, Wanted); })) return false;
    Table.Holds.push_back(Wanted);
    return true;
  }

  bool Release(uint64_t File, int64_t First, int64_t Last, bool Exclusive) {
    std::lock_guard<std::mutex> Guard(FMutex);
    auto Found = FTables.find(File);
    if (Found == FTables.end()) return false;
    auto& Holds = Found->second.Holds;
    auto Hold = std::find_if(Holds.begin(), Holds.end(), [&](const THold& Item) {
      return Item.First == First && Item.Last == Last && Item.Exclusive == Exclusive;
    });
    if (Hold == Holds.end()) return false;
    Holds.erase(Hold);
    Released();
    return true;
  }

  uint64_t GetGeneration() {
    std::lock_guard<std::mutex> Guard(FMutex);
    return FGeneration;
  }

  void NotifyReleased() {
    std::lock_guard<std::mutex> Guard(FMutex);
    Released();
  }

  // Returns when a release came after Seen, or at Until.
  void WaitForRelease(uint64_t Seen, TClock::time_point Until) {
    std::unique_lock<std::mutex> Guard(FMutex);
    FReleased.wait_until(Guard, Until, [&] { return FGeneration != Seen; });
  }

 private:
  struct THold {
    int64_t First;
    int64_t Last;
    bool Exclusive;
  };
  struct TTable {
    int32_t Users = 0;
    std::vector<THold> Holds;
  };

  static bool Conflicts(const TTable& Table, const THold& Wanted) {
    return std::any_of(Table.Holds.begin(), Table.Holds.end(), [&](const THold& Held) {
      return Held.First <= Wanted.Last && Wanted.First <= Held.Last && (Held.Exclusive || Wanted.Exclusive);
    });
  }

  void Released() {
    ++FGeneration;
    FReleased.notify_all();
  }

  std::mutex FMutex;
  std::condition_variable FReleased;
  uint64_t FGeneration = 0;
  std::unordered_map<uint64_t, TTable> FTables;
};

// The objects' error routines raise; these make sure nothing that follows
// a failure runs as if it had succeeded.
[[noreturn]] void RaiseLockError(TORVLockableConfigObject* Obj, TORVLockType LockType) {
  Obj->LockError(LockType);
  throw std::logic_error("LockError returned without raising");
}

[[noreturn]] void RaiseUnlockError(TORVLockableConfigObject* Obj, TORVLockType LockType) {
  Obj->UnlockError(LockType);
  throw std::logic_error("UnlockError returned without raising");
}

constexpr auto FirstRetryDelay = std::chrono::milliseconds(1);
constexpr auto LastRetryDelay = std::chrono::milliseconds(10);

}  // namespace

TORVLockManager::TORVLockManager(TORVLockableConfigObject* ConfigObjectToManage, TORVFileManager* FileManagerToUse)
    : FConfigObject(ConfigObjectToManage), FFileManager(FileManagerToUse) {}

TORVLockManager::~TORVLockManager() {
  try {
    if (FOpened) {
      FOpened = false;
      if (FHeldSlot > 0) SessionUnlock(FHeldSlot);
      if (FCounted) FFileStream->ExclusiveDecSessionCount();
    }
    TORVLockManager::InternalClose();
  } catch (...) {
    // A destructor cannot report; owners that must know call Close first.
  }
}

TORVString TORVLockManager::GetFullFileName() { return FFileName; }

bool TORVLockManager::GetSessionChecked() { return FSessionChecked; }

void TORVLockManager::SetSessionChecked(bool Value) { FSessionChecked = Value; }

void TORVLockManager::MaxSessionError(int32_t Count) { RaiseError(ORV_MAX_SESSIONS_ERROR, {IntToString(Count)}); }

int32_t TORVLockManager::MaxSessionCount() { return 4096; }

int32_t TORVLockManager::SpecialSessionCount() { return 0; }

void TORVLockManager::SetFileName(const TORVString& Value) {
  if (!FOpened) FFileName = Value;
}

bool TORVLockManager::FileUnused() {
  return FConfigObject->GetReadOnly() || FConfigObject->GetTemporary() || !FFileStream;
}

bool TORVLockManager::Exclusive() { return FFileManager->GetExclusiveFileAccess(); }

bool TORVLockManager::SessionLock(int32_t Slot) {
  if (FileUnused()) return true;
  if (!FFileStream->LockRegion(Slot - 1, 1)) return false;
  FHeldSlot = Slot;
  return true;
}

bool TORVLockManager::SessionUnlock(int32_t Slot) {
  if (FileUnused()) return true;
  bool Result = FFileStream->UnlockRegion(Slot - 1, 1);
  if (Result) {
    if (Slot == FHeldSlot) FHeldSlot = 0;
    TProcessLocks::Instance().NotifyReleased();
  }
  return Result;
}

void TORVLockManager::FindSessionLockSlot() {
  int32_t Count = MaxSessionCount() - SpecialSessionCount();
  if (Count < 1) MaxSessionError(Count);
  for (int32_t Slot = 1; Slot <= Count; ++Slot) {
    if (SessionLock(Slot)) {
      SetSessionLockSlot(Slot);
      return;
    }
  }
  MaxSessionError(Count);
}

void TORVLockManager::ReleaseSessionLockSlot() {
  int32_t Slot = GetSessionLockSlot();
  if (Slot > 0) SessionUnlock(Slot);
}

void TORVLockManager::FindSession() {
  int32_t Count = MaxSessionCount() - SpecialSessionCount();
  if (Count < 1) MaxSessionError(Count);
  if (!FileUnused()) {
    if (FFileStream->ExclusiveIncSessionCount() > Count) {
      FFileStream->ExclusiveDecSessionCount();
      MaxSessionError(Count);
    }
    FCounted = true;
  }
  SetSessionChecked(true);
}

void TORVLockManager::ReleaseSession() {
  if (!FCounted) return;
  FCounted = false;
  FFileStream->ExclusiveDecSessionCount();
}

void TORVLockManager::SetupSession() {
  if (Exclusive()) {
    if (!GetSessionChecked()) {
      FindSession();
    } else if (!FileUnused()) {
      FFileStream->ExclusiveIncSessionCount();
      FCounted = true;
    }
    return;
  }
  // The slot kept from an earlier open may have been taken meanwhile by a
  // session that started while this one was closed: never share it.
  int32_t Slot = GetSessionLockSlot();
  if (Slot > 0 && SessionLock(Slot)) return;
  FindSessionLockSlot();
}

void TORVLockManager::ResetSession() {
  if (Exclusive()) {
    ReleaseSession();
  } else {
    ReleaseSessionLockSlot();
  }
}

void TORVLockManager::InternalOpen() {
  if (FConfigObject->GetTemporary()) return;
  const TORVFileOptions Options{foHidden};
  TORVString Name = GetFullFileName();
  if (FFileManager->FileExists(Name, Options)) {
    FFileStream = FFileManager->OpenFile(Name, Options);
    if (!FConfigObject->GetReadOnly() && FFileStream->GetOptions().Contains(foReadOnly))
      FConfigObject->SetReadOnly(true);
  } else {
    try {
      FFileStream = FFileManager->CreateFile(Name, Options);
    } catch (const EORVBaseException&) {
      // Without a lock file nothing can be locked: the object is used
      // read-only, which needs no locks.
      FConfigObject->SetReadOnly(true);
      return;
    }
  }
  if (Exclusive()) {
    FFileStream->ExclusiveSetReadWriteLockCount(GetTotalLockIndexes());
    FRangeLockFile = FFileStream->GetFileObject()->GetSerial();
    TProcessLocks::Instance().AddUser(FRangeLockFile);
  }
}

void TORVLockManager::InternalClose() {
  if (FRangeLockFile != 0) {
    TProcessLocks::Instance().RemoveUser(FRangeLockFile);
    FRangeLockFile = 0;
  }
  std::unique_ptr<TORVFileStream> Stream = std::move(FFileStream);
  if (Stream) Stream->Close();
}

void TORVLockManager::Open() {
  if (FOpened) return;
  InternalOpen();
  try {
    SetupSession();
  } catch (...) {
    InternalClose();
    throw;
  }
  FOpened = true;
}

void TORVLockManager::Close() {
  if (!FOpened) return;
  FOpened = false;
  try {
    ResetSession();
  } catch (...) {
    InternalClose();
    throw;
  }
  InternalClose();
}

void TORVLockManager::Drop() {
  if (FConfigObject->GetTemporary()) return;
  try {
    Close();
    FFileManager->DeleteFile(GetFullFileName());
  } catch (const EORVBaseException&) {
    // Another session or process may still have the file open.
  }
}

bool TORVLockManager::IsUnlockedFor(TORVLockableConfigObject* Obj) {
  return FConfigObject->GetReadOnly() || FConfigObject->GetTemporary() || Obj->GetTemporary() ||
         Obj->GetTemporaryForSession();
}

void TORVLockManager::RangeOf(TORVLockableConfigObject* Obj, TORVLockType LockType, int64_t& Offset,
                              int64_t& Range) {
  Offset = Obj->GetLockSpaceOffset(LockType);
  Range = Obj->GetLockSpaceRange(LockType);
  if (Range < 1 || Offset < 0) throw std::logic_error("the object has no lock range for this lock type");
  if (!FFileStream) throw std::logic_error("the lock manager is not open");
}

int32_t TORVLockManager::TimeoutFor(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout) {
  if (WaitTimeout == -1) WaitTimeout = Obj->GetLockTimeout(LockType);
  return std::max(WaitTimeout, 0);
}

bool TORVLockManager::LockFileRange(int64_t Offset, int64_t Range, bool Shared, int32_t WaitTimeout) {
  TProcessLocks& Locks = TProcessLocks::Instance();
  const TClock::time_point Deadline = TClock::now() + std::chrono::milliseconds(WaitTimeout);
  if (Exclusive()) return Locks.Acquire(FRangeLockFile, Offset, Offset + Range - 1, !Shared, Deadline);
  int64_t First = Shared ? Offset + GetSessionLockSlot() - 1 : Offset;
  int64_t Length = Shared ? 1 : Range;
  auto Delay = FirstRetryDelay;
  for (;;) {
    // Read before the attempt, so that a release between the attempt and
    // the wait still wakes the wait.
    uint64_t Seen = Locks.GetGeneration();
    if (FFileStream->LockRegion(First, Length)) return true;
    TClock::time_point Now = TClock::now();
    if (Now >= Deadline) return false;
    Locks.WaitForRelease(Seen, std::min(Deadline, Now + Delay));
    Delay = std::min(Delay * 2, LastRetryDelay);
  }
}

bool TORVLockManager::UnlockFileRange(int64_t Offset, int64_t Range, bool Shared) {
  TProcessLocks& Locks = TProcessLocks::Instance();
  if (Exclusive()) return Locks.Release(FRangeLockFile, Offset, Offset + Range - 1, !Shared);
  bool Result = Shared ? FFileStream->UnlockRegion(Offset + GetSessionLockSlot() - 1, 1)
                       : FFileStream->UnlockRegion(Offset, Range);
  if (Result) Locks.NotifyReleased();
  return Result;
}

bool TORVLockManager::LockObjectRange(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout,
                                      bool Shared) {
  if (IsUnlockedFor(Obj)) return true;
  int64_t Offset = 0;
  int64_t Range = 0;
  RangeOf(Obj, LockType, Offset, Range);
  return LockFileRange(Offset, Range, Shared, TimeoutFor(Obj, LockType, WaitTimeout));
}

bool TORVLockManager::UnlockObjectRange(TORVLockableConfigObject* Obj, TORVLockType LockType, bool Shared) {
  if (IsUnlockedFor(Obj)) return true;
  int64_t Offset = 0;
  int64_t Range = 0;
  RangeOf(Obj, LockType, Offset, Range);
  return UnlockFileRange(Offset, Range, Shared);
}

bool TORVLockManager::ReadLock(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout) {
  return LockObjectRange(Obj, LockType, WaitTimeout, true);
}

bool TORVLockManager::ReadUnlock(TORVLockableConfigObject* Obj, TORVLockType LockType) {
  return UnlockObjectRange(Obj, LockType, true);
}

bool TORVLockManager::WriteLock(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout) {
  return LockObjectRange(Obj, LockType, WaitTimeout, false);
}

bool TORVLockManager::WriteUnlock(TORVLockableConfigObject* Obj, TORVLockType LockType) {
  return UnlockObjectRange(Obj, LockType, false);
}

void TORVLockManager::UnlockAfterFailure(TORVLockableConfigObject* ObjectToUnlock, TORVLockType UnlockType) {
  try {
    UnlockObject(ObjectToUnlock, UnlockType);
  } catch (const EORVBaseException&) {
    // The failure that led here is the one reported.
  }
}

bool TORVLockManager::LockObject(TORVLockableConfigObject* ObjectToLock, TORVLockType LockType,
                                 int32_t LockTimeout) {
  const TORVLockStates& State = ObjectToLock->GetLockState();
  const bool ReadOnly = ObjectToLock->GetReadOnly();
  const bool ExclusiveHeld = State.Contains(lsExclusiveLocked);
  switch (LockType) {
    case ltShared:
      if (State.Contains(lsSharedLocked)) return false;
      if (ExclusiveHeld || !ReadLock(ObjectToLock, LockType, LockTimeout)) RaiseLockError(ObjectToLock, LockType);
      break;
    case ltExclusive:
      if (ExclusiveHeld || State.Contains(lsSharedLocked) || !WriteLock(ObjectToLock, LockType, LockTimeout))
        RaiseLockError(ObjectToLock, LockType);
      break;
    case ltRead:
      if (ReadOnly || ExclusiveHeld || State.Contains(lsReadLocked) || State.Contains(lsWriteLocked) ||
          State.Contains(lsTransactionLocked))
        return false;
      if (!ReadLock(ObjectToLock, LockType, LockTimeout)) RaiseLockError(ObjectToLock, LockType);
      break;
    case ltWrite:
      if (ReadOnly || ExclusiveHeld || State.Contains(lsWriteLocked)) return false;
      // Writing is only ever part of a transaction; without one the caller
      // would go on to write unprotected.
      if (ObjectToLock->GetTransactionLockCount() < 1 || !WriteLock(ObjectToLock, LockType, LockTimeout))
        RaiseLockError(ObjectToLock, LockType);
      break;
    case ltTransaction:
      if (ReadOnly || ExclusiveHeld) return false;
      ObjectToLock->IncTransactionLockCount();
      if (State.Contains(lsTransactionLocked)) return false;
      if (!WriteLock(ObjectToLock, LockType, LockTimeout)) {
        ObjectToLock->DecTransactionLockCount();
        RaiseLockError(ObjectToLock, LockType);
      }
      break;
    case ltNone:
      return false;
  }
  ObjectToLock->Lock(LockType);
  return true;
}

void TORVLockManager::UnlockObject(TORVLockableConfigObject* ObjectToUnlock, TORVLockType UnlockType) {
  const TORVLockStates& State = ObjectToUnlock->GetLockState();
  const bool ReadOnly = ObjectToUnlock->GetReadOnly();
  const bool ExclusiveHeld = State.Contains(lsExclusiveLocked);
  switch (UnlockType) {
    case ltShared:
      if (!State.Contains(lsSharedLocked)) return;
      if (!ReadUnlock(ObjectToUnlock, UnlockType)) RaiseUnlockError(ObjectToUnlock, UnlockType);
      break;
    case ltExclusive:
      if (!ExclusiveHeld) return;
      if (!WriteUnlock(ObjectToUnlock, UnlockType)) RaiseUnlockError(ObjectToUnlock, UnlockType);
      break;
    case ltRead:
      if (ReadOnly || ExclusiveHeld || !State.Contains(lsReadLocked)) return;
      if (!ReadUnlock(ObjectToUnlock, UnlockType)) RaiseUnlockError(ObjectToUnlock, UnlockType);
      break;
    case ltWrite:
      if (ReadOnly || ExclusiveHeld || !State.Contains(lsWriteLocked)) return;
      if (!WriteUnlock(ObjectToUnlock, UnlockType)) RaiseUnlockError(ObjectToUnlock, UnlockType);
      break;
    case ltTransaction:
      if (ReadOnly || ExclusiveHeld) return;
      // Only the outermost release frees the range.
      if (State.Contains(lsTransactionLocked) && ObjectToUnlock->GetTransactionLockCount() == 1) {
        if (!WriteUnlock(ObjectToUnlock, UnlockType)) RaiseUnlockError(ObjectToUnlock, UnlockType);
        ObjectToUnlock->Unlock(UnlockType);
      }
      ObjectToUnlock->DecTransactionLockCount();
      return;
    case ltNone:
      return;
  }
  ObjectToUnlock->Unlock(UnlockType);
}

TORVObjectLock::TORVObjectLock(TORVLockManager& Manager, TORVLockableConfigObject* Obj, TORVLockType LockType,
                               int32_t LockTimeout)
    : FManager(Manager), FObject(Obj), FLockType(LockType) {
  FHeld = FManager.LockObject(FObject, FLockType, LockTimeout) || FLockType == ltTransaction;
}

TORVObjectLock::~TORVObjectLock() {
  if (!FHeld) return;
  try {
    Release();
  } catch (...) {
    // Leaving by an exception already: that one is reported.
  }
}

void TORVObjectLock::Release() {
  if (!FHeld) return;
  FHeld = false;
  FManager.UnlockObject(FObject, FLockType);
}

}  // namespace orv
