// Lock files: one hidden file beside each configuration and database whose
// byte ranges sessions lock, in this and other processes, to register
// themselves and to lock configuration and catalog objects.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"
#include "core/orvcommon.h"
#include "storage/orvfilemgr.h"

namespace orv {

// The lock file of one lockable object (the configuration or a database).
// Each session owns one manager. Every session holds one byte below 4096 of
// the file (its slot); a shared or read lock is the session's byte inside
// the object's range, an exclusive, write or transaction lock the whole
// range. When one process owns every file (exclusive file access) the same
// ranges are locked in memory instead, as reader/writer locks over byte
// ranges, so that a database's ranges still cover its tables' ranges.
//
// A request that meets a lock waits up to its timeout: it is woken at once
// when a lock manager of this process releases a lock, and otherwise tries
// again after a sleep that grows from 1 to 10 ms (other processes cannot
// wake it). A timeout of 0 still tries once.
//
// The manager has no lock of its own: only its session's thread uses it.
class TORVLockManager : public TORVBaseObject {
 public:
  TORVLockManager(TORVLockableConfigObject* ConfigObjectToManage, TORVFileManager* FileManagerToUse);
  // Gives back the session's slot or count and closes the file, without
  // the hooks of subclasses (gone by then); a failure is not reported.
  ~TORVLockManager() override;

  virtual TORVString GetFullFileName();
  // The session's slot, 1 to MaxSessionCount, or 0 before it has one. The
  // owner keeps it between a close and the next open.
  virtual int32_t GetSessionLockSlot() = 0;
  virtual void SetSessionLockSlot(int32_t Value) = 0;
  // Whether the session has been counted under exclusive file access.
  virtual bool GetSessionChecked();
  virtual void SetSessionChecked(bool Value);
  virtual int32_t GetTotalLockIndexes() = 0;
  virtual void MaxSessionError(int32_t Count);
  virtual int32_t MaxSessionCount();
  virtual int32_t SpecialSessionCount();
  virtual void FindSessionLockSlot();
  virtual void ReleaseSessionLockSlot();
  virtual void FindSession();
  virtual void ReleaseSession();
  virtual void SetupSession();
  virtual void ResetSession();
  virtual void InternalOpen();
  virtual void InternalClose();
  // WaitTimeout in milliseconds; -1 takes the object's timeout for LockType.
  // True when the lock is held, or when nothing needs locking.
  virtual bool ReadLock(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout);
  virtual bool ReadUnlock(TORVLockableConfigObject* Obj, TORVLockType LockType);
  virtual bool WriteLock(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout);
  virtual bool WriteUnlock(TORVLockableConfigObject* Obj, TORVLockType LockType);

  // Opens or creates the file and registers the session.
  void Open();
  void Close();
  // Closes and deletes the file; failures are ignored, since another
  // session may still hold it.
  void Drop();

  // True only when a new lock was taken; False when the object's state
  // already covers the request. A lock that cannot be had raises the
  // object's lock error.
  bool LockObject(TORVLockableConfigObject* ObjectToLock, TORVLockType LockType, int32_t LockTimeout = -1);
  void UnlockObject(TORVLockableConfigObject* ObjectToUnlock, TORVLockType UnlockType);
  // UnlockObject while another failure is on its way: a failure to unlock
  // is not reported over it.
  void UnlockAfterFailure(TORVLockableConfigObject* ObjectToUnlock, TORVLockType UnlockType);

  const TORVString& GetFileName() const { return FFileName; }
  // Ignored while open.
  void SetFileName(const TORVString& Value);
  bool GetOpened() const { return FOpened; }
  TORVLockableConfigObject* GetConfigObject() const { return FConfigObject; }
  TORVFileManager* GetFileManager() const { return FFileManager; }

 protected:
  // Lock or unlock the session byte of Slot.
  bool SessionLock(int32_t Slot);
  bool SessionUnlock(int32_t Slot);
  // The lock file is not touched: the managed object is read-only or
  // temporary, or there is no file.
  bool FileUnused();
  bool Exclusive();

  TORVLockableConfigObject* FConfigObject;
  TORVFileManager* FFileManager;
  TORVString FFileName = u"orv.lock";
  std::unique_ptr<TORVFileStream> FFileStream;
  bool FOpened = false;
  bool FSessionChecked = false;

 private:
  bool IsUnlockedFor(TORVLockableConfigObject* Obj);
  // The range and wait of a request; raises for a type the object has no
  // range for.
  void RangeOf(TORVLockableConfigObject* Obj, TORVLockType LockType, int64_t& Offset, int64_t& Range);
  int32_t TimeoutFor(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout);
  bool LockFileRange(int64_t Offset, int64_t Range, bool Shared, int32_t WaitTimeout);
  // A shared lock takes the session's byte of the range, or shares the
  // range in memory; any other takes the whole range.
  bool LockObjectRange(TORVLockableConfigObject* Obj, TORVLockType LockType, int32_t WaitTimeout, bool Shared);
  bool UnlockObjectRange(TORVLockableConfigObject* Obj, TORVLockType LockType, bool Shared);
  bool UnlockFileRange(int64_t Offset, int64_t Range, bool Shared);

  // The file object whose in-memory range locks this manager uses under
  // exclusive file access; 0 when it uses none.
  uint64_t FRangeLockFile = 0;
  // What this manager itself holds of the file: the slot whose byte it
  // locked, and whether it raised the session count.
  int32_t FHeldSlot = 0;
  bool FCounted = false;
};

// Holds a lock taken through LockObject for a scope. Release gives it back
// and reports a failure; a scope left by an exception gives it back without
// reporting, so that the first failure is the one that passes on. A
// transaction lock is always given back, since LockObject counted it even
// when it took nothing new.
class TORVObjectLock {
 public:
  TORVObjectLock(TORVLockManager& Manager, TORVLockableConfigObject* Obj, TORVLockType LockType,
                 int32_t LockTimeout = -1);
  ~TORVObjectLock();
  TORVObjectLock(const TORVObjectLock&) = delete;
  TORVObjectLock& operator=(const TORVObjectLock&) = delete;

  void Release();

 private:
  TORVLockManager& FManager;
  TORVLockableConfigObject* FObject;
  TORVLockType FLockType;
  bool FHeld;
};

}  // namespace orv
