// The database manager of a local session: an open database whose files
// this process reads and writes itself. It owns the database's lock file
// and catalog file managers and the managers of the tables, views and
// routines the session opened, and it is the owner those managers call.
// The evaluator reads its catalog to find the tables that column
// references belong to.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvdbmgr.h"
#include "core/orvdigest.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvviewmgr.h"
#include "storage/orvlockmgr.h"
#include "storage/orvobjmgr.h"

namespace orv {

class TORVAuthorization;
class TORVBaseTable;
class TORVCatalog;
class TORVDatabaseContainer;
class TORVEvaluatorContext;
class TORVLocalDatabaseManager;
class TORVLocalExprEvaluator;
class TORVLocalSessionManager;
class TORVSchema;
class TORVPrivilegedConfigObject;
class TORVReferencedTables;
class TORVTableManager;

// Runs steps that must each be tried whatever the others did, and keeps
// the first failure to pass on once they are done.
class TORVFirstFailure {
 public:
  template <typename TStep>
  void Run(TStep Step) {
    try {
      Step();
    } catch (...) {
      if (!FFirst) FFirst = std::current_exception();
    }
  }
  void Rethrow() const {
    if (FFirst) std::rethrow_exception(FFirst);
  }

 private:
  std::exception_ptr FFirst;
};

// The database's lock file. Its session slot is the session's slot in the
// configuration lock file, except when the configuration lives in memory
// without isolation: every session of the process then shares one
// configuration slot, so the database finds its own slot when it opens and
// forgets it when it closes.
class TORVDatabaseLockManager : public TORVLockManager {
 public:
  // Sessions 0..4095, 4096 tables, 4096 views, 4096 routines, the catalog
  // and its two ranges.
  static constexpr int32_t DatabaseLockIndexes = 16387;

  TORVDatabaseLockManager(TORVDatabaseContainer* Database, TORVLocalDatabaseManager* DatabaseManager,
                          TORVFileManager* FileManager);

  TORVString GetFullFileName() override;
  int32_t GetSessionLockSlot() override { return FSessionLockSlot; }
  void SetSessionLockSlot(int32_t Value) override { FSessionLockSlot = Value; }
  int32_t GetTotalLockIndexes() override { return DatabaseLockIndexes; }

 private:
  TORVLocalDatabaseManager* FDatabaseManager;
  int32_t FSessionLockSlot = 0;
};

// The catalog file, encrypted when the database says so, with the digests
// of the session's settings.
class TORVCatalogManager : public TORVConfigObjectManager {
 public:
  TORVCatalogManager(TORVCatalog* Catalog, TORVLocalDatabaseManager* DatabaseManager, TORVFileManager* FileManager,
                     TORVLockManager* LockManager);

  TORVString GetFullFileName() override;
  TORVString GetFullBackupCopyFileName() override;
  const TORVDigest& GetMasterSignatureDigest() override;
  bool ValidateMasterSignatureDigest(const TORVDigest& Digest) override;
  bool GetMasterEncrypted() override;
  const TORVDigest& GetMasterPasswordDigest() override;
  // Warns that the catalog file was missing, unless the database is new
  // to this open (its folder was just made) or never lives on disk.
  void ConfigObjectCreated() override;

  TORVCatalog* GetCatalog() const { return FCatalog; }

 private:
  TORVLocalDatabaseManager* FDatabaseManager;
  TORVCatalog* FCatalog;
};

// Life: created closed by the session (GetDatabaseManager), which owns it.
// Open counts its callers: each Open takes the database lock once more and
// each Close gives one back; the files close when the count reaches 0 or
// on a forced close. FClosing makes a Close reached from inside Close do
// nothing; FResetting makes a Close reached from Reset only count.
//
// The catalog is made here and handed to the database container, which
// owns it while this manager lives; FCatalog points at it.
//
// One thread uses the manager at a time (its session's); other sessions
// and processes are held off by the locks of the database's lock file.
class TORVLocalDatabaseManager : public TORVDatabaseManager, public TORVSchemaObjectOwner {
 public:
  // Log function codes of the database's events.
  static constexpr int32_t OpenFunctionCode = 33;
  static constexpr int32_t CloseFunctionCode = 34;
  static constexpr int32_t StartTransactionFunctionCode = 40;
  static constexpr int32_t CommitFunctionCode = 41;
  static constexpr int32_t RollbackFunctionCode = 42;
  static constexpr int32_t OpenTableFunctionCode = 123;

  // A manager over no database and no files, that never opens: what the
  // evaluator sees of a database whose catalog a caller attached itself.
  TORVLocalDatabaseManager() = default;
  TORVLocalDatabaseManager(TORVDatabaseContainer* DatabaseToManage, TORVFileManager* FileManagerToUse,
                           TORVLocalSessionManager* SessionManagerToUse, bool CreateSchemaInformation);
  // Close(True); a failure there was logged by Close and ends here.
  ~TORVLocalDatabaseManager() override;

  void Open(TORVLockType DatabaseLockType) override;
  void Close(bool ForceClose) override;
  TORVStatementManager* PrepareStatement(const TORVString& StatementToPrepare) override;
  TORVProcedureManager* PrepareProcedure(const TORVString& ProcedureToPrepare) override;
  TORVScriptManager* PrepareScript(const TORVString& ScriptToPrepare) override;
  void FreeStatementManager(TORVStatementManager*& StatementManager) override;
  void FreeProcedureManager(TORVProcedureManager*& ProcedureManager) override;
  void FreeScriptManager(TORVScriptManager*& ScriptManager) override;
  void StartTransaction(const TORVStringsArray& TableNames, int32_t LockTimeout) override;
  void Commit(bool Flush, bool KeepLocks) override;
  void Rollback() override;

  // Opening tables, views and routines. The schema is the default one for
  // an empty name. A table is looked up among the session's temporary
  // tables and views first, so that one of them hides a stored object of
  // the same name; only objects the current user may see are found.
  TORVSchema* GetSchema(const TORVString& SchemaName);
  // The table's or view's manager, opened (exclusive or shared) and
  // checked for changes other sessions made; a failed check closes it.
  TORVVirtualTableManager* OpenTableManager(const TORVString& SchemaName, const TORVString& TableName,
                                            bool OpenExclusive);
  // A cursor over the table in its primary-key order (none without a
  // primary key), registered in the database's cursor table, which owns
  // it; freeing the cursor closes the manager. A cursor that cannot be
  // made leaves the manager closed.
  TORVCursor* OpenTable(const TORVString& SchemaName, const TORVString& TableName, bool OpenReadOnly,
                        bool OpenExclusive) override;
  // The same without an active index and never exclusive, for queries and
  // imports.
  TORVCursor* OpenQueryTable(const TORVString& SchemaName, const TORVString& TableName, bool OpenReadOnly);
  // The procedure's or function's manager, opened shared; the caller
  // closes it. Callers open the database first (a prepare checks it).
  TORVRoutineManager* OpenRoutine(const TORVString& SchemaName, const TORVString& RoutineName);
  TORVViewManagers& GetViewManagers() { return *FViewManagers; }
  TORVRoutineManagers& GetRoutineManagers() { return *FRoutineManagers; }
  // Give back what the database's prepared scripts, procedures and
  // statements (Reset) or its cursors that read through views
  // (ResetCursors) built for their last run; a Close reached from either
  // only counts.
  void Reset();
  void ResetCursors();

  [[noreturn]] virtual void NotOpenError(const TORVString& Detail);
  [[noreturn]] virtual void ReadOnlyError(const TORVString& Detail);
  [[noreturn]] virtual void PathError(const TORVString& Detail);
  [[noreturn]] virtual void TransactionError(const TORVString& Text);
  [[noreturn]] virtual void InTransactionError(const TORVString& Detail);
  [[noreturn]] virtual void NotInTransactionError(const TORVString& Detail);

  // No effect for ltNone.
  void LockDatabase(TORVLockType DatabaseLockType);
  void UnlockDatabase(TORVLockType DatabaseLockType);

  void CheckOpened(const TORVString& Detail);
  void CheckNotReadOnly(const TORVString& Detail);
  void CheckNotInTransaction(const TORVString& Detail);
  void CheckInTransaction(const TORVString& Detail);
  bool GetInTransaction() const;

  // The database's path, under ConfigPath when relative.
  TORVString GetFullPath();
  // FileName in the database's folder, as the lock and catalog files are
  // named: in memory under the database's name (and with session
  // isolation under the session's folder), else under the full path.
  TORVString GetFullFileName(const TORVString& FileName);
  // 0 when the catalog cannot be read, the folder is missing included;
  // these never raise.
  TORVCurrency GetCatalogVersion();
  int32_t GetCatalogCharacterSet();

  // TORVSchemaObjectOwner.
  TORVLockManager& GetLockManager() override;
  TORVSessionManager& GetSessionManager() override;
  void CheckPrivilege(TORVPrivilegedSchemaObject* Object, int32_t Privilege,
                      const TORVString& StatementText) override;
  TORVFileManager* GetFileManagerForSchema(const TORVString& SchemaName) override;
  TORVEngineManagerSettings& GetSessionSettings() override;
  TORVCompressionManager& GetCompressionManager() override;
  int32_t GetSessionHandle() override;
  TORVString GetDatabaseName() override;
  TORVString GetDatabaseFullPath() override;
  bool GetDatabaseSessionIsolation() override;
  void LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode, const TORVString& Description) override;
  void BackupError(const TORVString& Msg) override;
  void RestoreError(const TORVString& Msg) override;
  void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) override;
  TORVTriggerEvaluator& GetTriggerEvaluator() override;
  void HandleException(const std::exception& Exception, int32_t FunctionCode) override;
  void PushCurrentUser() override;
  void SetCurrentUser(TORVUser* User) override;
  void PopCurrentUser() override;
  TORVUser* GetSystemUser() override;
  TORVExprEvaluator& GetEvaluator() override;
  void NewContext() override;
  void RestoreContext() override;
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager& Manager) override;
  // A plain local cursor, registered with this database and its session;
  // none of the indexed kind yet.
  std::unique_ptr<TORVCursor> CreateLocalCursor(TORVVirtualTableManager& Manager, const TORVString& CursorName,
                                                bool OpenReadOnly, bool OpenExclusive, bool Indexed) override;

  // Dropping and renaming the database, grants and the trace
  // (orvlocaldbdrop.cpp).

  // Deletes the database's files: every table's, then the catalog file,
  // the lock file and the folder, which is removed only once nothing else
  // is left in it. Table files that cannot be deleted stop the drop there
  // with the catalog file, the lock file and the folder kept, so that the
  // database still opens and the drop can be tried again. Nothing with
  // KeepContents or without the folder.
  virtual void Drop(bool KeepContents);
  // Renames the database object once no other session has it open; no
  // file carries the database's name, so none is renamed.
  virtual void Rename(const TORVString& NewName);
  // ObjectType: 0 table, 1 view, 2 procedure, 3 function. Privilege: 0
  // Select .. 10 Execute, 11 every privilege. Only the catalog changes.
  void GrantPrivilege(const TORVString& AuthorizationName, const TORVString& ObjectName, int32_t ObjectType,
                      int32_t PrivilegeToGrant);
  void RevokePrivilege(const TORVString& AuthorizationName, const TORVString& ObjectName, int32_t ObjectType,
                       int32_t PrivilegeToRevoke);
  // The session trace's view of the database: its cursors, then its
  // temporary views and tables, items apart by an empty line.
  TORVString GetTraceData();

  // Temporary and batch tables (orvlocaldbtemp.cpp). The temporary tables
  // live in this manager's catalog only, so they are this session's alone.

  // The temporary table of that name, which hides a stored table of the
  // same name; nil when there is none. Working copies of tables being
  // altered keep their table's name and are never found here.
  TORVBaseTable* FindTemporaryTable(const TORVString& Name) const;
  // A new temporary table, not yet listed: SessionScope for CREATE
  // TEMPORARY TABLE (named TableName), else an internal one named
  // TableName with the smallest number no temporary table has. Its files
  // are named after an internal name unique to this process, thread and
  // moment, so that sessions never share them.
  TORVBaseTable* BeginCreateTemporaryTable(const TORVString& TableName, bool SessionScope);
  void EndCreateTemporaryTable(TORVBaseTable* NewTable);
  // Frees NewTable unless EndCreateTemporaryTable listed it.
  void CancelCreateTemporaryTable(TORVBaseTable* NewTable);
  // Unlists and frees the table with its manager; nothing for nil.
  void RemoveTemporaryTable(TORVBaseTable*& ExistingTable);
  // Drops every temporary table with its files, last first; the first
  // failure passes on once every table is gone.
  void DropAllTemporaryTables();
  // The named tables visible to the current user (every table when none is
  // named), in object ID order, each with its batch position cleared.
  void SetupBatchTables(const TORVStringsArray& TableNames);
  void ClearBatchTables();

  // Where the statement caches, the information schema and the derived
  // tables' views take part in the database's life; until those exist
  // there is nothing for these to do.
  void ClearCachedManagers(bool FreeManagers);
  void CreateInformationSchema();
  void DropAllTemporaryViews();

  TORVLocalSessionManager* GetLocalSessionManager() const { return FSessionManager; }
  TORVDatabaseContainer* GetDatabase() const { return FDatabase; }
  TORVCatalog* GetCatalog() const { return FCatalog; }
  TORVDatabaseLockManager* GetDatabaseLockManager() const { return FLockManager.get(); }
  TORVCatalogManager* GetCatalogManager() const { return FCatalogManager.get(); }
  TORVFileManager* GetFileManager() const { return FFileManager; }
  TORVTableManagers& GetTableManagers() override { return *FTableManagers; }
  int32_t GetUseCount() const { return FUseCount; }
  bool GetCreateSchemaInformation() const { return FCreateSchemaInformation; }
  // Set while Open makes the database's folder, so that the catalog file
  // it then creates is not reported missing as well.
  bool GetCreatingPath() const { return FCreatingPath; }

  TORVLocalSessionManager* FSessionManager = nullptr;
  TORVCatalog* FCatalog = nullptr;

 private:
  // What the session cannot yet give this database.
  [[noreturn]] void NotAvailableError(const TORVString& Operation);
  TORVLocalExprEvaluator& GetEvaluatorOfSession();
  // The transaction tables in ascending lock slot, or the database object
  // alone when it stands for every table; a failure gives back what this
  // call took.
  void LockTransactionTables(TORVLockType LockType, int32_t LockTimeout);
  void UnlockTransactionTables(TORVLockType LockType);
  bool HoldsDatabaseTransactionLock() const;
  void ForEachTableManager(const std::function<void(TORVTableManager&)>& Work);
  // Ends the marks, gives back the transaction locks, closes the unused
  // table managers and empties the list, each whatever the others did.
  void EndTransactionTables();
  // Read's answer under the catalog's read lock, opening the files for the
  // call when the database is closed; the empty answer on any failure.
  template <typename TRead>
  auto ReadCatalogFile(TRead Read) -> decltype(Read());
  // The files and locks Open took, given back in order whatever fails.
  void CloseFiles(bool UnlockFirst);
  // OpenTable and OpenQueryTable: the manager's cursor, registered; a
  // cursor that cannot be made closes the manager again.
  TORVCursor* OpenTableCursor(const TORVString& SchemaName, const TORVString& TableName, bool OpenReadOnly,
                              bool OpenExclusive, bool Indexed);
  // Work under the FResetting guard.
  template <typename TWork>
  void WhileResetting(TWork Work);

  // Tables emptied, then filled with the tables named (visible to the
  // current user; a missing one raises) or every table when none is.
  void ListTables(TORVReferencedTables& Tables, const TORVStringsArray& TableNames);
  // Opens the lock and catalog files and locks the database exclusively;
  // a failure gives back what the call took.
  void OpenFilesExclusive();
  // Raises when a file of Table is still there after its manager dropped
  // them.
  void DropTableFiles(TORVBaseTable* Table);
  // Tables with their files, then views and routines, last first.
  void DropSchemaObjects();
  TORVPrivilegedConfigObject* FindGrantObject(const TORVString& ObjectName, int32_t ObjectType);
  // The checks, locks, catalog update and status messages around Change.
  void ChangePrivilege(const TORVString& StatementText, const TORVString& AuthorizationName,
                       const TORVString& ObjectName, int32_t ObjectType, const TORVString& PrivilegeName, bool Grant,
                       const std::function<void(TORVPrivilegedConfigObject&, TORVAuthorization&)>& Change);

  TORVDatabaseContainer* FDatabase = nullptr;
  TORVFileManager* FFileManager = nullptr;
  bool FCreateSchemaInformation = false;
  int32_t FUseCount = 0;
  bool FClosing = false;
  bool FResetting = false;
  bool FCreatingPath = false;
  std::unique_ptr<TORVDatabaseLockManager> FLockManager;
  std::unique_ptr<TORVCatalogManager> FCatalogManager;
  std::unique_ptr<TORVTableManagers> FTableManagers;
  std::unique_ptr<TORVViewManagers> FViewManagers;
  std::unique_ptr<TORVRoutineManagers> FRoutineManagers;
  // The contexts NewContext replaced, innermost last.
  std::vector<TORVEvaluatorContext*> FSavedContexts;
};

}  // namespace orv
