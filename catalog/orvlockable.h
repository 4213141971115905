// Objects that sessions lock against each other, and where each kind of
// lock lies in a lock file. The lock managers turn these answers into
// byte-range locks; the classes of the model give the positions.
#pragma once

#include <cstdint>
#include <span>

#include "base/orverrors.h"
#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "core/orvlocktype.h"

namespace orv {

// Configuration streams carry an object's attributes from this version on.
inline constexpr TORVCurrency AttributesVersion = TORVCurrency::FromScaled(20400);

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

// The classes that take locks in a lock file, each one row group of the
// lock-space layout. The configuration's file holds the root, the event
// log, users, jobs, stores and modules; a database's file holds the
// database, its catalog, tables (views included) and routines.
enum TORVLockSpaceKind : uint8_t {
  lkNone,
  lkConfiguration,
  lkEventLog,
  lkUser,
  lkJob,
  lkStore,
  lkModule,
  lkDatabase,
  lkCatalog,
  lkTable,
  lkRoutine
};

// Where one kind of lock lies: the first byte and the byte count in the
// lock file, and the in-process lock index used under exclusive file
// access. A kind that does not take a lock type answers {0, 0, -1}.
struct TORVLockSpace {
  int32_t Offset = 0;
  int32_t Range = 0;
  int32_t Index = -1;
  bool operator==(const TORVLockSpace&) const = default;
};

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
struct TORVLockSpaceRow {
  TORVLockSpaceKind Kind;
  TORVLockType First;
  TORVLockType Second;
  int32_t Offset;
  int32_t OffsetStep;
  int32_t Range;
  int32_t Index;
  int32_t IndexStep;
};

// The layout, row group by row group.
std::span<const TORVLockSpaceRow> GetLockSpaceLayout();

// Asserts (ORV_ASSERT, test build) what the lock managers rely on in
// Layout: every lock lies above the session bytes (below 0x1000); the
// database's read/write and transaction ranges cover those of every table
// slot and take table slot 1's indexes; apart from that no two locks of one
// file share a byte or an in-process index, for every slot in range.
// FindLockSpace checks the engine's layout once a process.
void CheckLockSpaceLayout(std::span<const TORVLockSpaceRow> Layout);

// The number of lock slots of Kind: 4096, 1024 for modules, 0 for the
// kinds that have one range each.
int32_t LockSlotCount(TORVLockSpaceKind Kind);

// The lock of LockType on an object of Kind with lock slot Slot (ignored by
// kinds without slots). False when Slot lies outside 1 .. LockSlotCount:
// such a slot would name bytes of another object's range.
bool FindLockSpace(TORVLockSpaceKind Kind, TORVLockType LockType, int32_t Slot, TORVLockSpace& Space);

// FLockState records what this process holds on the object and
// FTransactionLockCount how deeply transaction locks nest (never below 0).
// Neither has a lock of its own: only the session that owns the object
// changes them, after its lock manager took or released the file lock.
class TORVLockableConfigObject : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  // Authorizations, privileged objects and jobs keep an ATTRIBUTES text.
  virtual bool GetUseAttributes() const { return false; }
  // The row group of the layout the object's locks take, and its slot;
  // lkNone (the default) takes no file locks of its own.
  virtual TORVLockSpaceKind GetLockSpaceKind() const { return lkNone; }
  virtual int32_t GetLockSlot() const { return 0; }
  // First byte, byte count and in-process lock index of the object's range
  // for LockType, from the layout; 0, 0 and -1 for a type the object is not
  // locked with. A slot outside its kind's slots raises LockError.
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
  const TORVString& GetAttributes() const { return FAttributes; }
  // Stores Value and marks the object modified when it differs exactly.
  void SetAttributes(const TORVString& Value);

  // Also the attributes, when FromObject is lockable.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Also the attributes by SameString, when both are lockable.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // The attributes follow the base fields for a class that uses them (not
  // in the checksum form); streams before version 2.04 hold none.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;

 protected:
  TORVLockSpace LockSpaceFor(TORVLockType LockType);

  // The long form names the parent, when it has both a type and a name.
  [[noreturn]] void RaiseLockingError(const TORVErrorDef& InParent, const TORVErrorDef& Alone,
                                      TORVLockType LockType);

  TORVString FAttributes;
  TORVLockStates FLockState;
  int32_t FTransactionLockCount = 0;
};

}  // namespace orv
