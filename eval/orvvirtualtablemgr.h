// The manager of a table-like schema object (a base table or a view): the
// storage interface that cursors, statements and system-table fillers use
// on any such object, the row errors every storage implementation raises,
// and the read-only check of the row operations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtriggereval.h"

namespace orv {

class TORVBlobManager;
class TORVColumns;
class TORVCursor;
class TORVIndexManager;
class TORVIndexes;
class TORVMemoryStream;
class TORVPublishedUpdatesManager;
class TORVRowValues;
class TORVRowsetManager;
class TORVRowsetRow;
class TORVRowsetRowValues;
class TORVTrigger;
class TORVVirtualTable;
class TORVVirtualTableManager;

// The old row of one running row operation that has a stored row: what
// triggers see as OldRow. FTriggerRow is the owner's cached row, borrowed
// only while Initialize copies from it.
class TORVTriggerState : public TORVBaseObject {
 public:
  explicit TORVTriggerState(TORVVirtualTableManager* Owner);
  ~TORVTriggerState() override;

  // Copies from the stored row ExistingRowNumber only the columns that some
  // trigger reads through OldRow or lists in its OF list (a computed column
  // through the columns it reads); every other old value stays empty.
  void Initialize(int32_t ExistingRowNumber);

  TORVVirtualTableManager* GetVirtualTableManager() const { return FVirtualTableManager; }
  TORVRowsetRowValues* GetOldRowValues() const { return FOldRowValues.get(); }

 private:
  // The copy itself, from the borrowed row.
  void CopyOldRow();

  TORVVirtualTableManager* FVirtualTableManager;
  std::unique_ptr<TORVRowsetRow> FOldRow;
  std::unique_ptr<TORVRowsetRowValues> FOldRowValues;
  TORVRowsetRow* FTriggerRow = nullptr;
  std::unique_ptr<TORVRowsetRowValues> FTriggerRowValues;
};

class TORVVirtualTableManager : public TORVSchemaObjectManager {
 public:
  TORVVirtualTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVVirtualTable* VirtualTableToManage);
  ~TORVVirtualTableManager() override;

  // A cursor over the object, read-only also when the object is.
  virtual std::unique_ptr<TORVCursor> CreateCursor(const TORVString& CursorName, bool OpenReadOnly,
                                                   bool OpenExclusive, bool Indexed);

  // The object's files, and what the files answer about it.
  virtual TORVRowsetManager* RowsetManager() = 0;
  virtual TORVIndexManager* IndexManager() = 0;
  virtual TORVBlobManager* BlobManager() = 0;
  virtual TORVPublishedUpdatesManager* PublishedUpdatesManager() = 0;
  virtual int32_t GetRowCount() = 0;
  virtual int32_t GetPhysicalRowCount() = 0;
  virtual int32_t GetRowSize() = 0;
  virtual int32_t GetUpdateCounter() = 0;
  virtual int32_t GetBatchSize() = 0;
  virtual bool GetEncrypted() = 0;
  virtual TORVColumns& GetColumns() const = 0;
  virtual TORVIndexes& GetIndexes() const = 0;

  // Prepare (give back) the compiled WHEN conditions and bodies of the
  // object's triggers; nothing for an object in maintenance.
  virtual void InitializeTriggers();
  virtual void ResetTriggers();

  // Each raises its error naming the object's type ("table", "temporary
  // table", "view") and name.
  [[noreturn]] virtual void RowLockError();
  [[noreturn]] virtual void RowUnlockError();
  [[noreturn]] virtual void RowDeletedError();
  [[noreturn]] virtual void RowModifiedError();
  [[noreturn]] virtual void RowCorruptError();
  [[noreturn]] virtual void RowVisibilityError();
  // Operation is "INSERT", "UPDATE", "DELETE" or the caller's text.
  [[noreturn]] virtual void ReadOnlyError(const TORVString& Operation);

  // The default values of a new row; none here.
  virtual void SetDefaults(TORVRowValues& RowValues);
  // The storage steps of Insert, Update and Delete, which fire no trigger.
  virtual void InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                         int32_t& NewRowUpdateCounter, bool KeepExistingValues) = 0;
  virtual void UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                         int32_t& ExistingRowUpdateCounter) = 0;
  virtual void DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                         int32_t& ExistingRowUpdateCounter) = 0;

  // True when another session changed the object since this one last
  // looked.
  virtual bool CheckForChanges(bool ManualRefresh) = 0;
  virtual void BeginBatchUpdate() = 0;
  virtual void FlushBatchUpdate() = 0;
  virtual void EndBatchUpdate() = 0;
  virtual void AbortBatchUpdate() = 0;
  virtual void Flush() = 0;
  // Re-read row RowNumber, raising the row errors when it changed since
  // the caller cached it.
  virtual void Refresh(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
                       bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) = 0;
  // Refresh under a row lock held for RowOwner; True when this call took
  // the lock.
  virtual bool LockAndRefresh(TORVBaseObject* RowOwner, int32_t RowNumber, int32_t RowVersion,
                              int32_t RowUpdateCounter, int32_t RowID, bool SkipRowModifiedCheck,
                              bool ForceRowModifiedCheck, bool KeepTransactionLock) = 0;
  virtual void CheckLockVisibility(int32_t LockedRowNumber, int32_t RowNumber) = 0;
  virtual void Unlock(int32_t RowNumber) = 0;
  virtual void UnlockAll(TORVBaseObject* LockOwner) = 0;

  // A private row buffer; and a stored row, lent until PutRow gives it
  // back.
  virtual std::unique_ptr<TORVRowsetRow> CreateNewRow() = 0;
  virtual TORVRowsetRow* GetRow(int32_t RowNumber, int32_t Direction) = 0;
  virtual void PutRow(TORVRowsetRow* Row) = 0;

  virtual bool CreateIndex(int32_t IndexNumber, bool CreateEmpty) = 0;
  virtual void BeginAlterIndex(int32_t IndexNumber) = 0;
  virtual bool EndAlterIndex(int32_t IndexNumber, bool RemoveDuplicateRows) = 0;
  virtual void CancelAlterIndex(int32_t IndexNumber) = 0;
  virtual bool DropIndex(int32_t IndexNumber, bool CreateBackup) = 0;
  // True here: nothing to empty.
  virtual bool Empty(bool IgnoreConstraints);

  virtual void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                              bool Decompress) = 0;
  virtual void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                               int32_t BlobCompression, int32_t& CompressedSize) = 0;
  virtual void ReadPublishedUpdatesStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream,
                                          bool Decompress) = 0;
  virtual void WritePublishedUpdatesStream(TORVMemoryStream& PublishedUpdatesStream,
                                           int32_t PublishedUpdatesCompression) = 0;

  // A system object is never refused.
  void CheckNotReadOnly(const TORVString& Operation);

  // The row operations with their checks, row locks and triggers. True
  // when the storage step was performed. An engine error on the way goes
  // to the operation's ERROR triggers, which may swallow it, abort, or ask
  // for a retry; a retry after a storage step that succeeded runs only the
  // AFTER triggers again, so that the row is never stored twice.
  bool Insert(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
              int32_t& NewRowUpdateCounter, bool KeepExistingValues);
  bool Update(TORVBaseObject* ExistingRowOwner, TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
              int32_t ExistingRowVersion, int32_t& ExistingRowUpdateCounter);
  bool Delete(TORVBaseObject* ExistingRowOwner, TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
              int32_t ExistingRowVersion, int32_t& ExistingRowUpdateCounter);

  // Kind selects the Insert (0), Update (1), Delete (2) or Load (3) list
  // of the action time. The lists run as the system user. BEFORE and AFTER
  // lists stop at the first trigger that aborts; the ERROR list stops at
  // one that aborts or asks for a retry and answers whether any fired.
  void ExecuteBeforeTriggers(TORVRowValues* OldRowValues, TORVRowValues* NewRowValues, bool& Aborted,
                             TORVTableOperation Operation, int32_t Kind);
  void ExecuteAfterTriggers(TORVRowValues* OldRowValues, TORVRowValues* NewRowValues, bool& Aborted,
                            TORVTableOperation Operation, int32_t Kind);
  bool ExecuteErrorTriggers(const EORVException& Exception, TORVRowValues* OldRowValues, bool& Aborted,
                            bool& Retry, TORVTableOperation Operation, int32_t Kind, TORVRowValues* NewRowValues);
  // True when Trigger fired. A failure escaping it is logged as an
  // "Execute Trigger" error event and passes on.
  bool ExecuteTrigger(TORVTrigger& Trigger, TORVTableOperation Operation, bool& Aborted, bool& Retry,
                      const EORVException* Exception, TORVRowValues* NewRowValues, TORVRowValues* OldRowValues);

  TORVVirtualTable* GetVirtualTable() const { return FVirtualTable; }
  // The old row of the row operation in progress; nil outside one and
  // when the object has no triggers.
  TORVTriggerState* GetTriggerState() const { return FTriggerState.get(); }

  // The function code of trigger failures in the session's error log.
  static constexpr int32_t ExecuteTriggerFunctionCode = 153;

 protected:
  // Only for an object with triggers: the old row of row ExistingRowNumber
  // becomes the current trigger state, the outer one is kept.
  void PushTriggerState(int32_t ExistingRowNumber);
  void PopTriggerState() noexcept;

 private:
  class TTriggerStateScope;

  // The BEFORE (ListTime 0) or AFTER (1) list of Kind, up to the first
  // trigger that aborts.
  void ExecuteUntilAborted(int32_t ListTime, TORVRowValues* OldRowValues, TORVRowValues* NewRowValues,
                           bool& Aborted, TORVTableOperation Operation, int32_t Kind);
  // The retry loop of BEFORE triggers, StorageStep and AFTER triggers.
  bool RunRowOperation(int32_t Kind, TORVRowValues* OldRowValues, TORVRowValues* NewRowValues,
                       const std::function<void()>& StorageStep);
  // RunRowOperation with the old row of ExistingRowNumber as the trigger
  // state; the state is popped and a lock this operation took (Locked)
  // released on every path.
  bool RunOnStoredRow(int32_t Kind, int32_t ExistingRowNumber, bool Locked, TORVRowValues* NewRowValues,
                      const std::function<void()>& StorageStep);

 protected:

  TORVVirtualTable* FVirtualTable;
  // The states of outer row operations on the object still running
  // (nested through triggers) lie in FTriggerStates, nil ones included.
  std::unique_ptr<TORVTriggerState> FTriggerState;
  TORVObjectStack FTriggerStates;
};

}  // namespace orv
