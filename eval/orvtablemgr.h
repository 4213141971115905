// The manager of one base table of a local database for one session: its
// four files (rows, indexes, large objects, published updates), the
// navigators and key buffers over them, the change check against other
// sessions, row maintenance with its key upkeep, row locks with retries,
// transactions and batches over the files, and the physical write.
//
// Design notes:
// 1. The table file set is rows and indexes always, large objects only
//    with BLOB columns and published updates only for a published table;
//    every operation on the files visits that set in that order.
// 2. Object locks of the table: ltRead while headers are read or compared,
//    ltTransaction over a whole row operation, a batch, file creation and
//    emptying, ltWrite around the physical write. Each is taken through a
//    scope guard that gives back only a lock its call took, and always a
//    transaction lock, which the lock manager counts even when held.
// 3. A row operation that fails after its first change to the files leaves
//    them unwritable as they stand: outside a transaction every file
//    cancels its write (re-reads its header and drops pending buffers), so
//    that no later write can flush a row without its keys; inside one the
//    table remembers the failure and Commit raises it, so that only a
//    rollback ends the transaction. A table held exclusively defers its
//    writes, so its files are written as they stand and marked for repair
//    instead (MarkForRepair).
// 4. Row lock lists: FRowLocks holds the rows this session's cursors and
//    statements locked; FTransactionRowLocks the rows kept locked until the
//    transaction ends; FConstraintRowLocks parent rows of constraint
//    checks. A table the session holds exclusively takes no row locks.
//
// A manager belongs to one session and is used by one thread at a time;
// other sessions and processes are held off by the object locks of the
// lock manager and the row locks of the rows file.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvrowlocks.h"
#include "core/orvstream.h"
#include "eval/orvvirtualtablemgr.h"
#include "storage/orvtablefileowner.h"

namespace orv {

class EORVException;
class TORVBaseTable;
class TORVBlobManager;
class TORVConfigObject;
class TORVConstraint;
class TORVFileStream;
class TORVIndexKeyValues;
class TORVIndexManager;
class TORVIndexNavigator;
class TORVPublishedUpdatesManager;
class TORVRowsetManager;
class TORVRowsetNavigator;
class TORVRowsetRow;
class TORVSparseBitmap;
class TORVTableFileManager;
class TORVWordList;

class TORVTableManager : public TORVVirtualTableManager, public TORVTableFileOwner {
 public:
  // Refresh results.
  static constexpr int32_t RefreshUnchanged = 0;
  static constexpr int32_t RefreshDeleted = 1;
  static constexpr int32_t RefreshModified = 3;
  static constexpr int32_t RefreshDifferentRow = 5;
  // The row operation kinds of the constraint checks.
  static constexpr int32_t toInsertRow = 0;
  static constexpr int32_t toUpdateRow = 1;
  static constexpr int32_t toDeleteRow = 2;
  static constexpr int32_t toVerifyRow = 4;

  TORVTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVBaseTable* TableToManage);
  ~TORVTableManager() override;

  // A table temporary for the session takes its files with it.
  void BeforeDestroy() override;

  bool GetKeepOpen() override;
  void InternalOpen() override;
  void InternalReopen() override;
  void InternalInitialize() override;
  void InternalReset() override;
  void InternalClose() override;

  // What the table's files reach through the database and session.
  TORVSessionManager& GetSessionManager() override;
  TORVEngineManagerSettings& GetSessionSettings() override;
  TORVCompressionManager& GetCompressionManager() override;
  int32_t GetSessionHandle() override;
  TORVString GetDatabaseName() override;
  TORVString GetDatabaseFullPath() override;
  bool GetDatabaseSessionIsolation() override;
  bool GetInInformationSchema() override;
  void LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode, const TORVString& Description) override;
  void BackupError(const TORVString& Msg) override;
  void RestoreError(const TORVString& Msg) override;
  int32_t GetBlobVersion(int32_t BlockNumber) override;
  void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) override;
  int32_t GetRowsetLastNumber() override;
  [[noreturn]] void RowDeletedError() override;

  // True when another session changed the table since this one last
  // looked. The read lock stays held for the caller, who gives it back
  // (UnlockObject(ltRead)) when its read is done; a second call under that
  // lock answers False without reading a header.
  bool CheckForChanges(bool ManualRefresh) override;

  TORVRowsetManager* RowsetManager() override { return FRowsetManager.get(); }
  TORVIndexManager* IndexManager() override { return FIndexManager.get(); }
  TORVBlobManager* BlobManager() override { return FBlobManager.get(); }
  TORVPublishedUpdatesManager* PublishedUpdatesManager() override { return FPublishedUpdatesManager.get(); }
  int32_t GetRowCount() override;
  int32_t GetPhysicalRowCount() override;
  int32_t GetRowSize() override;
  int32_t GetUpdateCounter() override;
  int32_t GetBatchSize() override;
  bool GetEncrypted() override;
  TORVColumns& GetColumns() const override;
  TORVIndexes& GetIndexes() const override;
  // Every file of the set exists; a temporary table's files count as
  // missing.
  bool GetExists();
  int64_t GetSize(bool IncludePublishedUpdates);
  void SetModified();
  void ClearModified();
  TORVBaseTable* GetTable() const { return FTable; }

  // Navigators and key buffers, one per index at the index's position.
  TORVRowsetNavigator& GetRowsetNavigator() const { return *FRowsetNavigator; }
  TORVIndexNavigator& GetIndexNavigator(int32_t IndexNumber) const;
  TORVIndexKeyValues& GetKeyValues(int32_t IndexNumber) const;
  void AddIndexNavigator(int32_t Number);
  void ClearIndexNavigator(int32_t Number);
  void DeleteIndexNavigator(int32_t Number);
  void AddKeyValues(int32_t Number);
  void ClearKeyValues(int32_t Number);
  void DeleteKeyValues(int32_t Number);

  // Row maintenance. The rows navigator must stand on the stored row for
  // an update or a delete (a refresh puts it there).
  void InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                 int32_t& NewRowUpdateCounter, bool KeepExistingValues) override;
  void UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                 int32_t& ExistingRowUpdateCounter) override;
  void DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                 int32_t& ExistingRowUpdateCounter) override;
  bool Empty(bool IgnoreConstraints) override;
  void SetIdentity(TORVRowValues& RowValues);
  void SetGenerated(TORVRowValues& RowValues, bool All);
  void SetDefaults(TORVRowValues& RowValues) override;
  // Required columns, then every constraint in table order; a failure
  // gives back the parent-row locks taken so far. TableLevel (the
  // table-wide passes) skips the key and check constraints.
  void CheckConstraints(TORVRowValues& RowValues, int32_t RowNumber, int32_t Operation, bool TableLevel);
  // Each foreign key's parent table gives back the rows it locked for this
  // table's checks (inside a transaction they move to its transaction
  // locks).
  void UnlockConstraints();
  // The rows this manager locked for other tables' foreign keys.
  bool UnlockAllConstraintRows();
  // The published-updates log; refused until it is built.
  void LogRowValues(int32_t RowNumber, TORVRowValues& RowValues, int32_t Operation);

  std::unique_ptr<TORVRowsetRow> CreateNewRow() override;
  // Held until PutRow; Direction 0 reads the single row, any other reads
  // ahead in that direction.
  TORVRowsetRow* GetRow(int32_t RowNumber, int32_t Direction) override;
  void PutRow(TORVRowsetRow* Row) override;
  bool GetRowByNumber(int32_t RowNumber, TORVRowsetRow& Row);
  void GotoRowNumber(int32_t RowNumber);
  bool GetRowForFirstKey(TORVRowsetRow& Row, int32_t IndexNumber);
  bool GetRowForNextKey(TORVRowsetRow& Row, int32_t IndexNumber);
  void GetRowForCurrentKey(TORVRowsetRow& Row, int32_t IndexNumber);
  // True only on an exact match of every index column.
  bool GetRowForKey(TORVRowsetRow& Row, TORVRowValues& RowValues, bool LoadRow, int32_t IndexNumber);

  void SetKeyValues(TORVRowValues& RowValues, int32_t IndexNumber, bool SetRowID);
  bool AllKeyValuesNull(int32_t IndexNumber);
  bool KeyValuesNull(int32_t IndexNumber);
  bool KeyValuesModified(TORVRowValues& RowValues, int32_t IndexNumber);
  bool RowValuesModified(TORVRowValues& RowValues);
  void InsertNewKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  void UpdateExistingKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  void DeleteExistingKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  bool VerifyExistingKey(TORVRowValues& RowValues, int32_t ExistingNumber, int32_t IndexNumber);
  // A text index keeps one key (word, row ID) per distinct word of the
  // row's text, filtered by the row's filter type when the index has one;
  // the key calls above turn to these for a text index.
  std::unique_ptr<TORVWordList> GetWordList(TORVRowValues& RowValues, int32_t IndexNumber);
  void InsertNewTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  void UpdateExistingTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  void DeleteExistingTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber);
  // False also when the words cannot be had.
  bool VerifyExistingTextKeys(TORVRowValues& RowValues, int32_t ExistingNumber, int32_t IndexNumber);

  void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                      bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  // The published-updates log; refused until it is built.
  void ReadPublishedUpdatesStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream,
                                  bool Decompress) override;
  void WritePublishedUpdatesStream(TORVMemoryStream& PublishedUpdatesStream,
                                   int32_t PublishedUpdatesCompression) override;

  // Row locks.
  bool LockRow(TORVBaseObject* LockOwner, int32_t RowNumber, bool KeepTransaction);
  bool UnlockRow(int32_t RowNumber);
  bool UnlockAllRows(TORVBaseObject* LockOwner);
  bool UnlockAllTransactionRows();
  bool RowLocked(int32_t RowNumber, bool IncludeTransactionLocks);
  void LockRowForTransaction(int32_t RowNumber);
  int32_t RefreshRow(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
                     bool SkipRowModifiedCheck, bool ForceRowModifiedCheck);
  void Refresh(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
               bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) override;
  // True when it took a new lock.
  bool LockAndRefresh(TORVBaseObject* RowOwner, int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter,
                      int32_t RowID, bool SkipRowModifiedCheck, bool ForceRowModifiedCheck,
                      bool KeepTransactionLock) override;
  void CheckLockVisibility(int32_t LockedRowNumber, int32_t RowNumber) override;
  void Unlock(int32_t RowNumber) override;
  void UnlockAll(TORVBaseObject* LockOwner) override;

  // Batches, transactions and the physical write.
  virtual void BeginBatchRead();
  void BeginBatchUpdate() override;
  void FlushBatchUpdate() override;
  void EndBatchUpdate() override;
  void AbortBatchUpdate() override;
  void Flush() override;
  virtual void Write(bool FlushAfterWrite);
  virtual void StartTransaction(bool RequireOpen);
  virtual void Commit(bool FlushAfterCommit);
  virtual void Rollback();
  void StartWriting();

  // Indexes. A refused or failed change puts the index file's backup copy
  // back through the open file managers, dropping their stale cache.
  bool CreateIndex(int32_t IndexNumber, bool CreateEmpty) override;
  void BeginAlterIndex(int32_t IndexNumber) override;
  bool EndAlterIndex(int32_t IndexNumber, bool RemoveDuplicateRows) override;
  void CancelAlterIndex(int32_t IndexNumber) override;
  bool DropIndex(int32_t IndexNumber, bool CreateBackup) override;
  // Keys for every live row; a key the index refuses is reported (False
  // or the error), except that with RemoveDuplicateRows a row whose key
  // duplicates an earlier one is marked deleted.
  bool BuildIndex(int32_t IndexNumber, bool RemoveDuplicateRows);
  void CreateIndexBackupCopy();
  void RestoreIndexBackupCopy();
  void DropIndexBackupCopy();
  bool GetIndexBuildDeletedRows() const { return FIndexBuildDeletedRows; }

  // File operations on a table that need not be open; errors of Drop and
  // DropBackupCopy are ignored.
  virtual void Rename(const TORVString& NewName, bool RenameRows, bool RenameIndexes, bool RenameBlobs,
                      bool RenameUpdates);
  virtual void Drop(bool ForceAll);
  // Without UseRename the open file managers copy their files.
  virtual void CreateBackupCopy(bool UseRename, bool BackupRows, bool BackupIndexes, bool BackupBlobs,
                                bool BackupUpdates, bool ForceAll);
  virtual void RestoreBackupCopy(bool UseRename, bool RestoreRows, bool RestoreIndexes, bool RestoreBlobs,
                                 bool RestoreUpdates);
  virtual void DropBackupCopy(bool DropRows, bool DropIndexes, bool DropBlobs, bool DropUpdates);

  // The table's part of a database backup: its files in the order rows,
  // index, BLOB, published updates (the backup file format), each stopping
  // the run at a False progress answer. Without BackupUpdates a published
  // table's updates section is written empty. Restore reads the same order,
  // drops a BLOB or published-updates file the table no longer has, and
  // gives an empty restored updates file a fresh header.
  virtual bool Backup(TORVFileStream& TargetFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                      int32_t BackupCompression, bool BackupUpdates);
  virtual bool Restore(TORVFileStream& SourceFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                       int32_t BackupCompression);

  // ---- The tables foreign keys involve, header copies, index statistics.
  // Opening with OpenReferenced opens, as the configuration's system user,
  // every other table this table's foreign keys refer to or are referred
  // to by (a table in maintenance is skipped); a failure closes again
  // those this call opened. Closing with CloseReferenced closes them in
  // the reverse order.
  void InternalOpenReferenced() override;
  void InternalCloseReferenced() override;
  // Every table file takes over the header of the same file of
  // TableManager (a restructured table continues the old one's counters).
  void CopyHeaders(TORVTableManager& TableManager);
  // The index file's figures and text of one index.
  int32_t CalculateIndexSpace(int32_t IndexNumber);
  int32_t CalculateIndexSlackSpace(int32_t IndexNumber);
  int32_t CalculateIndexInternalPages(int32_t IndexNumber);
  TORVString DumpIndex(int32_t IndexNumber, bool RowIDs);

  // Verification and repair of the table (orvtablemgrverify.cpp). Verify
  // checks the files, then (unless StructureOnly) every row: string
  // lengths, BLOB references, constraints and index keys. Each finding is
  // logged and sets FoundErrors; with RepairErrors the rows are fixed and
  // every index found wrong is rebuilt. False when the run was cancelled
  // or a repair step could not complete.
  virtual bool Verify(bool& FoundErrors, bool RepairErrors, bool StructureOnly);
  // Rows, then (while the answers are True) index, BLOB and published
  // updates files.
  bool VerifyTableFileManagers(bool& FoundErrors, bool RepairErrors);
  // A finding about the table, or about CatalogObject (a column or an
  // index) of it, ending "Fixed" or "Not Fixed".
  void LogVerifyMessage(const TORVString& Message, TORVConfigObject* CatalogObject, bool Fixed);
  // The primary key's buffer from RowValues, so that findings name the row.
  void SetRowKeyValues(TORVRowValues& RowValues);

 private:
  class TObjectLock;
  struct TFileSet;

  // Calls Act for each file asked for, in the order of the file set: the
  // open managers, or (Fresh) a set made for the call.
  template <typename TAct>
  void ForFiles(bool Fresh, bool Rows, bool Indexes, bool Blobs, bool Updates, TAct Act);

  // The files of the set, in order, skipping those the table lacks.
  std::vector<TORVTableFileManager*> TableFiles() const;
  bool HasBlobFile() const;
  bool HasPublishedFile() const;
  bool InTransaction() const;
  bool InBatchUpdate() const;
  bool ExclusivelyLocked() const;
  void CreateTableFiles();
  void OpenTableFiles();
  void FreeTableFiles();
  void CreateNavigators();
  void CreateAllKeyValues();
  // Cancels the writes of every file, also when a file's cancel fails.
  void CancelWrites() noexcept;
  // Runs Change (a row operation's changes to the files and its write);
  // a failure after the first change is handled as note 3 says.
  template <typename TChange>
  void ChangeFiles(TChange Change);
  void RaiseWritingFlags();
  // Visit(IndexNumber) for each index with its key buffer and navigator.
  template <typename TVisit>
  void ForEachIndex(TVisit Visit);
  // The physical write of a row operation, under ltWrite.
  void WriteChanges();
  bool IsTextIndex(int32_t IndexNumber) const;
  // Visit(Keys) for each word's key with RowID until it answers False.
  template <typename TVisit>
  void ForEachTextKey(const TORVWordList& Words, int32_t RowID, int32_t IndexNumber, TVisit Visit);
  // The constraint checks; their bodies are in orvtablemgrcheck.cpp.
  void CheckConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber, int32_t Operation,
                       bool TableLevel);
  void CheckKeyConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber,
                          int32_t Operation);
  void CheckReferringKeys(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber,
                          int32_t Operation, int32_t IndexNumber);
  void CheckForeignKey(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t Operation, bool TableLevel);
  void CheckCheckConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues);
  bool SearchConstraintKey(TORVIndexKeyValues& KeyValues, int32_t IndexNumber, int32_t ExcludeRowNumber);
  // SearchConstraintKey in another table's manager, after its change
  // check; its read lock is given back. A manager not open fails 402.
  bool SearchUnderChangeCheck(TORVIndexKeyValues& KeyValues, int32_t IndexNumber);
  bool CompareConstraintKey(TORVIndexKeyValues& KeyValues, int32_t IndexNumber);
  bool LockConstraintRow(int32_t IndexNumber);
  TORVTableManager& GetConstraintTableManager(TORVBaseTable* Table);
  void ReleaseBatchTransactionLock();
  // Drops the files asked for through a set made for the call, ignoring
  // their errors (a file may be missing).
  void DropFiles(bool Rows, bool Indexes, bool Blobs, bool Updates);
  // Takes back a failed or refused index change: the index file from its
  // backup copy, and the rows a duplicate removal deleted.
  void DropIndexChanges() noexcept;
  // The verification passes; their bodies are in orvtablemgrverify.cpp.
  bool VerifyRowContents(bool& FoundErrors, bool RepairErrors);
  void VerifyRowStrings(TORVRowValues& Values, const TORVString& RowKey, bool& FoundErrors, bool RepairErrors);
  void VerifyRowBlobs(TORVRowValues& Values, TORVSparseBitmap& BlobBlocks, const TORVString& RowKey,
                      bool& FoundErrors, bool RepairErrors);
  void VerifyRowConstraints(TORVRowValues& Values, int32_t RowNumber, const TORVString& RowKey, bool& FoundErrors,
                            bool RepairErrors);
  // Adds the keys it found to ExpectedKeys, by index.
  void VerifyRowKeys(TORVRowValues& Values, int32_t RowNumber, const TORVString& RowKey, bool& FoundErrors,
                     bool RepairErrors, std::vector<int64_t>& ExpectedKeys);
  // Flags an index that holds more keys than the live rows gave it.
  void VerifyKeyCounts(const std::vector<int64_t>& ExpectedKeys, bool& FoundErrors, bool RepairErrors);
  bool HasIndexBuffers(int32_t IndexNumber) const;
  bool IsConstraintViolation(const EORVException& Error) const;
  int32_t PrimaryKeyIndexNumber() const;
  bool IndexFlaggedForRebuild(int32_t IndexNumber) const;
  void FlagIndexesForRebuild();
  void FlagIndexesWithoutRoot();
  // Rebuilds every flagged index; a rebuild that raises empties the index
  // file and starts over with every index, once.
  bool RebuildFlaggedIndexes();
  bool RebuildIndexesOnce();

  // This manager as the owner of the row locks it takes itself.
  TORVBaseObject* LockIdentity() { return static_cast<TORVVirtualTableManager*>(this); }
  // The stored row's values when the rows navigator stands on it.
  TORVRowValues& StoredRowValues() const;

  // ---- The tables foreign keys involve.
  // Neither a table in maintenance nor one in a batch operation opens or
  // lists them.
  bool InvolvesConstraintTables() const;
  // The manager of each other table of the constraint-table list that is
  // opened and closed along with this one, in list order; with
  // CreateManagers clear a table without a registered manager is left out.
  std::vector<TORVTableManager*> ReferencedManagers(bool CreateManagers);
  void OpenReferencedManager(TORVTableManager& Manager);
  // The index file of an open manager; Operation names the call in the
  // error a closed one raises.
  TORVIndexManager& OpenIndexFile(const TORVString& Operation);

  // ---- A row operation that fails half-way on an exclusively held table.
  // Such a table writes its files only when a cache fills or it closes,
  // so the failed operation's part cannot be dropped without the earlier
  // operations' changes: every change is written, every file is left
  // showing Writing (a repair is required), and the row changes of this
  // manager are refused (100) until it closes, since their writes would
  // clear the flag.
  void MarkForRepair() noexcept;
  void RefuseIfRepairRequired();
  // Set by a row operation right before its first change to the files.
  bool FFilesChanged = false;
  bool FRepairRequired = false;

  TORVBaseTable* FTable;
  std::unique_ptr<TORVRowsetManager> FRowsetManager;
  std::unique_ptr<TORVIndexManager> FIndexManager;
  std::unique_ptr<TORVBlobManager> FBlobManager;
  std::unique_ptr<TORVPublishedUpdatesManager> FPublishedUpdatesManager;
  std::unique_ptr<TORVRowsetNavigator> FRowsetNavigator;
  std::vector<std::unique_ptr<TORVIndexNavigator>> FIndexNavigators;
  std::vector<std::unique_ptr<TORVIndexKeyValues>> FKeyValues;
  std::unique_ptr<TORVRowLocks> FRowLocks;
  std::unique_ptr<TORVRowLocks> FTransactionRowLocks;
  std::unique_ptr<TORVRowLocks> FConstraintRowLocks;
  std::unique_ptr<TORVMemoryStream> FBlobCompressStream;
  bool FConstraintsDeletedRows = false;
  bool FIndexBuildDeletedRows = false;
  // The failure that left the running transaction able only to roll back.
  std::exception_ptr FTransactionFailure;
  // The batch in progress took the transaction lock it gives back.
  bool FBatchTransactionLock = false;
};

template <typename TVisit>
void TORVTableManager::ForEachIndex(TVisit Visit) {
  // An index being altered has no key buffer until it is built again.
  for (int32_t Index = 0; Index < static_cast<int32_t>(FKeyValues.size()); ++Index)
    if (FKeyValues[static_cast<size_t>(Index)] && FIndexNavigators[static_cast<size_t>(Index)]) Visit(Index);
}

}  // namespace orv
