#include "local/orvlocaldbmgr.h"

#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvschema.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "core/orvfilepath.h"
#include "eval/orvtablemgr.h"
#include "local/orvevalcontext.h"
#include "local/orvlocaleval.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginesettings.h"

namespace orv {


// ---------------------------------------------------------------------------
// Lock and catalog files

TORVDatabaseLockManager::TORVDatabaseLockManager(TORVDatabaseContainer* Database,
                                                 TORVLocalDatabaseManager* DatabaseManager,
                                                 TORVFileManager* FileManager)
    : TORVLockManager(Database, FileManager), FDatabaseManager(DatabaseManager) {}

TORVString TORVDatabaseLockManager::GetFullFileName() { return FDatabaseManager->GetFullFileName(GetFileName()); }

TORVCatalogManager::TORVCatalogManager(TORVCatalog* Catalog, TORVLocalDatabaseManager* DatabaseManager,
                                       TORVFileManager* FileManager, TORVLockManager* LockManager)
    : TORVConfigObjectManager(Catalog, LockManager, FileManager), FDatabaseManager(DatabaseManager), FCatalog(Catalog) {}

TORVString TORVCatalogManager::GetFullFileName() { return FDatabaseManager->GetFullFileName(GetFileName()); }

TORVString TORVCatalogManager::GetFullBackupCopyFileName() {
  return IncludeTrailingBackslash(FDatabaseManager->GetFullPath()) + GetBackupCopyFileName();
}

const TORVDigest& TORVCatalogManager::GetMasterSignatureDigest() {
  return FDatabaseManager->GetLocalSessionManager()->GetSettings().GetSignatureDigest();
}

bool TORVCatalogManager::ValidateMasterSignatureDigest(const TORVDigest& Digest) {
  return FDatabaseManager->GetLocalSessionManager()->GetSettings().ValidateSignature(Digest);
}

bool TORVCatalogManager::GetMasterEncrypted() { return FDatabaseManager->GetDatabase()->GetEncryptedCatalog(); }

const TORVDigest& TORVCatalogManager::GetMasterPasswordDigest() {
  return FDatabaseManager->GetLocalSessionManager()->GetSettings().GetEncryptionPasswordDigest();
}

void TORVCatalogManager::ConfigObjectCreated() {
  TORVDatabaseContainer* Database = FDatabaseManager->GetDatabase();
  if (Database->GetInMemory() || Database->GetSystemObject() || Database->GetTemporary() ||
      FDatabaseManager->GetCreatingPath())
    return;
  FDatabaseManager->LogEvent(
      1, TORVLocalDatabaseManager::OpenFunctionCode, 0,
      FormatString(u"The database catalog file %s was not present on disk and was automatically created",
                   {GetFullFileName()}));
}

// ---------------------------------------------------------------------------
// Life

TORVLocalDatabaseManager::TORVLocalDatabaseManager(TORVDatabaseContainer* DatabaseToManage,
                                                   TORVFileManager* FileManagerToUse,
                                                   TORVLocalSessionManager* SessionManagerToUse,
                                                   bool CreateSchemaInformation)
    : FSessionManager(SessionManagerToUse),
      FDatabase(DatabaseToManage),
      FFileManager(FileManagerToUse),
      FCreateSchemaInformation(CreateSchemaInformation) {
  auto Catalog = std::make_unique<TORVCatalog>(FDatabase->GetConfig());
  Catalog->SetName(FDatabase->GetName());
  Catalog->SetSystemObject(FDatabase->GetSystemObject());
  Catalog->SetTemporary(FDatabase->GetTemporary());
  FCatalog = Catalog.get();
  FDatabase->SetCatalog(std::move(Catalog));

  const TORVEngineManagerSettings& Settings = FSessionManager->GetSettings();
  FLockManager = std::make_unique<TORVDatabaseLockManager>(FDatabase, this, FFileManager);
  FLockManager->SetFileName(Settings.GetCatalogName() + Settings.GetLockExtension());
  if (!Settings.GetConfigMemory() || Settings.GetConfigMemorySessionIsolation())
    FLockManager->SetSessionLockSlot(FSessionManager->GetLockManager()->GetSessionLockSlot());

  FCatalogManager = std::make_unique<TORVCatalogManager>(FCatalog, this, FFileManager, FLockManager.get());
  FCatalogManager->Initialize();
  FCatalogManager->SetFileName(Settings.GetCatalogName() + Settings.GetCatalogExtension());
  FCatalogManager->SetBackupCopyFileName(FCatalogManager->GetFileName() + Settings.GetCopyExtension());
  // A catalog written at version 0 would make its routines parse as an
  // older catalog's when read back.
  FCatalogManager->SetOnSaveConfigObject(
      [this](TORVConfigObject*) { FCatalog->SetVersion(EngineCatalogVersion); });

  FTableManagers = std::make_unique<TORVTableManagers>(this);
  FViewManagers = std::make_unique<TORVViewManagers>(this);
  FRoutineManagers = std::make_unique<TORVRoutineManagers>(this);
}

TORVLocalDatabaseManager::~TORVLocalDatabaseManager() {
  if (FDatabase == nullptr) return;
  try {
    Close(true);
  } catch (...) {
    // Close logged the failure (function 34); a destructor cannot pass it on.
  }
  // Routines and views before the tables they use.
  for (TORVSchemaObjectManagers* Managers :
       std::initializer_list<TORVSchemaObjectManagers*>{FRoutineManagers.get(), FViewManagers.get(),
                                                        FTableManagers.get()}) {
    try {
      Managers->FreeAll();
    } catch (...) {
    }
  }
  FRoutineManagers.reset();
  FViewManagers.reset();
  FTableManagers.reset();
  FCatalogManager.reset();
  FLockManager.reset();
  FCatalog = nullptr;
  FDatabase->SetCatalog(nullptr);
}

TORVString TORVLocalDatabaseManager::GetFullPath() {
  const TORVString& Path = FDatabase->GetPath();
  if (!IsRelativePath(Path)) return Path;
  return IncludeTrailingBackslash(FSessionManager->GetSettings().GetConfigPath()) + Path;
}

TORVString TORVLocalDatabaseManager::GetFullFileName(const TORVString& FileName) {
  TORVString Result;
  if (FFileManager->GetVirtualOnly()) {
    if (FDatabase->GetSessionIsolation()) Result = FSessionManager->GetSessionFolder();
    Result += FDatabase->GetName();
  } else {
    Result = GetFullPath();
  }
  return IncludeTrailingBackslash(Result) + FileName;
}

void TORVLocalDatabaseManager::LockDatabase(TORVLockType DatabaseLockType) {
  if (DatabaseLockType == ltNone) return;
  FLockManager->LockObject(FDatabase, DatabaseLockType, -1);
}

void TORVLocalDatabaseManager::UnlockDatabase(TORVLockType DatabaseLockType) {
  if (DatabaseLockType == ltNone) return;
  FLockManager->UnlockObject(FDatabase, DatabaseLockType);
}

void TORVLocalDatabaseManager::Open(TORVLockType DatabaseLockType) {
  const TORVString FullPath = GetFullPath();
  if (!FFileManager->GetVirtualOnly() && !FFileManager->PathExists(FullPath)) {
    if (!FFileManager->CreatePath(FullPath)) PathError(FullPath);
    if (!FDatabase->GetSystemObject() && !FDatabase->GetTemporary())
      LogEvent(1, OpenFunctionCode, 0,
               FormatString(u"The database path %s was not present on disk and was automatically created",
                            {FullPath}));
    FCreatingPath = true;
  }
  struct TCreatingPathReset {
    bool& Flag;
    ~TCreatingPathReset() { Flag = false; }
  } CreatingPathReset{FCreatingPath};

  if (DatabaseLockType == ltExclusive) ClearCachedManagers(true);
  FLockManager->Open();
  try {
    FCatalogManager->Open();
  } catch (...) {
    if (FUseCount == 0) UndoAfterFailure([this] { FLockManager->Close(); });
    throw;
  }
  try {
    LockDatabase(DatabaseLockType);
    if (!GetOpened()) {
      try {
        if (!FDatabase->GetReadOnly()) FDatabase->SetReadOnly(FCatalog->GetReadOnly());
        if (FCreateSchemaInformation) CreateInformationSchema();
        TORVDatabaseManager::Open(DatabaseLockType);
      } catch (...) {
        UndoAfterFailure([&] { UnlockDatabase(DatabaseLockType); });
        throw;
      }
    }
  } catch (...) {
    if (FUseCount == 0) CloseFiles(false);
    throw;
  }
  ++FUseCount;
}

void TORVLocalDatabaseManager::CloseFiles(bool UnlockFirst) {
  TORVFirstFailure Steps;
  if (UnlockFirst && FLockManager->GetOpened()) {
    const bool Exclusive = FDatabase->GetLockState().Contains(lsExclusiveLocked);
    Steps.Run([&] { UnlockDatabase(Exclusive ? ltExclusive : ltShared); });
  }
  Steps.Run([this] { FCatalogManager->Close(); });
  if (FFileManager->GetVirtualOnly() && FDatabase->GetSessionIsolation())
    Steps.Run([this] { FLockManager->Drop(); });
  else
    Steps.Run([this] { FLockManager->Close(); });
  FUseCount = 0;
  const TORVEngineManagerSettings& Settings = FSessionManager->GetSettings();
  if (Settings.GetConfigMemory() && !Settings.GetConfigMemorySessionIsolation()) FLockManager->SetSessionLockSlot(0);
  Steps.Rethrow();
}

void TORVLocalDatabaseManager::Close(bool ForceClose) {
  if (FClosing || !GetOpened()) return;
  if (FUseCount > 0) --FUseCount;
  if (FResetting || (!ForceClose && FUseCount > 0)) return;
  FClosing = true;
  struct TClosingReset {
    bool& Flag;
    ~TClosingReset() { Flag = false; }
  } ClosingReset{FClosing};
  try {
    std::exception_ptr First;
    try {
      if (GetInTransaction()) Rollback();
      Reset();
      FRoutineManagers->CloseAll();
      FViewManagers->CloseAll();
      FTableManagers->CloseAll();
    } catch (...) {
      First = std::current_exception();
    }
    for (const std::function<void()>& Step : std::initializer_list<std::function<void()>>{
             [this] { ClearCachedManagers(false); }, [this, ForceClose] { TORVDatabaseManager::Close(ForceClose); },
             [this] { DropAllTemporaryViews(); }, [this] { DropAllTemporaryTables(); }}) {
      try {
        Step();
      } catch (...) {
        if (!First) First = std::current_exception();
      }
    }
    try {
      CloseFiles(true);
    } catch (...) {
      if (!First) First = std::current_exception();
    }
    if (First) std::rethrow_exception(First);
  } catch (const std::exception& E) {
    FSessionManager->HandleException(E, CloseFunctionCode);
    throw;
  }
}

// ---------------------------------------------------------------------------
// Guards and errors

void TORVLocalDatabaseManager::NotOpenError(const TORVString& Detail) {
  RaiseError(ORV_NOT_OPEN_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(), Detail});
}

void TORVLocalDatabaseManager::ReadOnlyError(const TORVString& Detail) {
  RaiseError(ORV_READ_ONLY_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(), Detail});
}

void TORVLocalDatabaseManager::PathError(const TORVString& Detail) {
  RaiseError(ORV_PATH_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(), Detail});
}

void TORVLocalDatabaseManager::TransactionError(const TORVString& Text) { RaiseError(ORV_TRANSACTION_ERROR, {Text}); }

void TORVLocalDatabaseManager::InTransactionError(const TORVString& Detail) {
  RaiseError(ORV_TRANSACTION_ERROR, {FormatString(ORV_IN_TRANSACTION_MSG, {FDatabase->GetTypeName(), FDatabase->GetName(), Detail})});
}

void TORVLocalDatabaseManager::NotInTransactionError(const TORVString& Detail) {
  RaiseError(ORV_TRANSACTION_ERROR,
             {FormatString(ORV_NOT_IN_TRANSACTION_MSG, {FDatabase->GetTypeName(), FDatabase->GetName(), Detail})});
}

void TORVLocalDatabaseManager::NotAvailableError(const TORVString& Operation) {
  RaiseError(ORV_METADATA_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(),
                                  FormatString(ORV_NOT_AVAILABLE_DETAIL, {Operation})});
}

void TORVLocalDatabaseManager::CheckOpened(const TORVString& Detail) {
  if (!GetOpened()) NotOpenError(Detail);
}

void TORVLocalDatabaseManager::CheckNotReadOnly(const TORVString& Detail) {
  if (FDatabase->GetReadOnly()) ReadOnlyError(Detail);
}

void TORVLocalDatabaseManager::CheckNotInTransaction(const TORVString& Detail) {
  if (GetInTransaction()) InTransactionError(Detail);
}

void TORVLocalDatabaseManager::CheckInTransaction(const TORVString& Detail) {
  if (!GetInTransaction()) NotInTransactionError(Detail);
}

bool TORVLocalDatabaseManager::GetInTransaction() const {
  return FDatabase->GetObjectState().Contains(osInTransaction);
}

// ---------------------------------------------------------------------------
// Catalog version and character set

template <typename TRead>
auto TORVLocalDatabaseManager::ReadCatalogFile(TRead Read) -> decltype(Read()) {
  using TResult = decltype(Read());
  try {
    if (GetOpened()) {
      TORVObjectReadScope Scope(*FCatalogManager);
      return Read();
    }
    // Asking makes no folder and no file.
    if (!FFileManager->GetVirtualOnly() &&
        (!FFileManager->PathExists(GetFullPath()) ||
         !FFileManager->FileExists(FCatalogManager->GetFullFileName(), TORVFileOptions{foLockable})))
      return TResult();
    FLockManager->Open();
    TResult Result;
    try {
      FCatalogManager->Open();
      Result = Read();
    } catch (...) {
      UndoAfterFailure([this] { FCatalogManager->Close(); });
      UndoAfterFailure([this] { FLockManager->Close(); });
      throw;
    }
    FCatalogManager->Close();
    FLockManager->Close();
    return Result;
  } catch (...) {
    return TResult();
  }
}

TORVCurrency TORVLocalDatabaseManager::GetCatalogVersion() {
  return ReadCatalogFile([this] { return FCatalog->GetVersion(); });
}

int32_t TORVLocalDatabaseManager::GetCatalogCharacterSet() {
  return ReadCatalogFile([this] { return FCatalogManager->GetCharacterSet(); });
}

// ---------------------------------------------------------------------------
// What this build cannot do yet

TORVStatementManager* TORVLocalDatabaseManager::PrepareStatement(const TORVString& /*StatementToPrepare*/) {
  NotAvailableError(u"PREPARE STATEMENT");
}

TORVProcedureManager* TORVLocalDatabaseManager::PrepareProcedure(const TORVString& /*ProcedureToPrepare*/) {
  NotAvailableError(u"PREPARE PROCEDURE");
}

TORVScriptManager* TORVLocalDatabaseManager::PrepareScript(const TORVString& /*ScriptToPrepare*/) {
  NotAvailableError(u"PREPARE SCRIPT");
}

void TORVLocalDatabaseManager::FreeStatementManager(TORVStatementManager*& StatementManager) {
  if (StatementManager != nullptr) NotAvailableError(u"FREE STATEMENT");
}

void TORVLocalDatabaseManager::FreeProcedureManager(TORVProcedureManager*& ProcedureManager) {
  if (ProcedureManager != nullptr) NotAvailableError(u"FREE PROCEDURE");
}

void TORVLocalDatabaseManager::FreeScriptManager(TORVScriptManager*& ScriptManager) {
  if (ScriptManager != nullptr) NotAvailableError(u"FREE SCRIPT");
}

// ---------------------------------------------------------------------------
// Transactions

namespace {

// A table manager's commit flushes by the session's FlushWrites alone: a
// commit asked to flush sets it for its duration, and the setting comes
// back on every path.
class TFlushWritesScope {
 public:
  TFlushWritesScope(TORVSessionManager& Session, bool Flush) : FSession(Session), FSaved(Session.GetFlushWrites()) {
    if (Flush) FSession.SetFlushWrites(true);
  }
  ~TFlushWritesScope() { FSession.SetFlushWrites(FSaved); }
  TFlushWritesScope(const TFlushWritesScope&) = delete;
  TFlushWritesScope& operator=(const TFlushWritesScope&) = delete;

 private:
  TORVSessionManager& FSession;
  bool FSaved;
};

}  // namespace

void TORVLocalDatabaseManager::LockTransactionTables(TORVLockType LockType, int32_t LockTimeout) {
  TORVSchema* Schema = FCatalog->GetDefaultSchema();
  TORVReferencedTables& Tables = Schema->GetTransactionTables();
  // One lock on the database covers every table, but only where the lock
  // file is shared: in memory the database's range does not cover them.
  if (!FFileManager->GetExclusiveFileAccess() && Tables.GetCount() == Schema->GetBaseTables().GetCount()) {
    FLockManager->LockObject(FDatabase, LockType, LockTimeout);
    return;
  }
  // Ascending lock slots in every session: no two wait on each other.
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) {
    try {
      FLockManager->LockObject(Tables.GetTable(Index), LockType, LockTimeout);
    } catch (...) {
      for (int32_t Undo = Index - 1; Undo >= 0; --Undo)
        FLockManager->UnlockAfterFailure(Tables.GetTable(Undo), LockType);
      throw;
    }
  }
}

void TORVLocalDatabaseManager::UnlockTransactionTables(TORVLockType LockType) {
  if (HoldsDatabaseTransactionLock()) {
    FLockManager->UnlockObject(FDatabase, LockType);
    return;
  }
  TORVReferencedTables& Tables = FCatalog->GetDefaultSchema()->GetTransactionTables();
  for (int32_t Index = Tables.GetCount() - 1; Index >= 0; --Index)
    FLockManager->UnlockObject(Tables.GetTable(Index), LockType);
}

bool TORVLocalDatabaseManager::HoldsDatabaseTransactionLock() const {
  return FDatabase->GetLockState().Contains(lsTransactionLocked);
}

void TORVLocalDatabaseManager::ForEachTableManager(const std::function<void(TORVTableManager&)>& Work) {
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (FTableManagers->NextManager(Handle, Manager))
    if (auto* Table = dynamic_cast<TORVTableManager*>(Manager)) Work(*Table);
}

void TORVLocalDatabaseManager::EndTransactionTables() {
  std::exception_ptr First;
  for (const std::function<void()>& Step : std::initializer_list<std::function<void()>>{
           [this] { FDatabase->EndTransaction(); }, [this] { UnlockTransactionTables(ltTransaction); },
           [this] { FTableManagers->CloseAllUnused(); }}) {
    try {
      Step();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  FCatalog->GetDefaultSchema()->GetTransactionTables().Clear();
  if (First) std::rethrow_exception(First);
}

void TORVLocalDatabaseManager::StartTransaction(const TORVStringsArray& TableNames, int32_t LockTimeout) {
  const TORVString Detail = FormatString(u"START TRANSACTION ON %s", {FDatabase->GetName()});
  try {
    CheckOpened(Detail);
    CheckNotInTransaction(Detail);
    TORVSchema* Schema = FCatalog->GetDefaultSchema();
    TORVReferencedTables& Tables = Schema->GetTransactionTables();
    try {
      {
        TORVObjectReadScope Read(*FCatalogManager);
        ListTables(Tables, TableNames);
        Tables.SortByLockSlot();
        Tables.RemoveDuplicates();
      }
      LockTransactionTables(ltTransaction, LockTimeout);
      try {
        FDatabase->StartTransaction();
        ForEachTableManager([](TORVTableManager& Manager) { Manager.StartTransaction(false); });
      } catch (...) {
        UndoAfterFailure([this] { FDatabase->EndTransaction(); });
        UndoAfterFailure([this] { UnlockTransactionTables(ltTransaction); });
        throw;
      }
    } catch (...) {
      Tables.Clear();
      throw;
    }
  } catch (const std::exception& E) {
    FSessionManager->HandleException(E, StartTransactionFunctionCode);
    throw;
  }
}

void TORVLocalDatabaseManager::Commit(bool Flush, bool KeepLocks) {
  const TORVString Detail = FormatString(u"COMMIT ON %s", {FDatabase->GetName()});
  try {
    CheckOpened(Detail);
    CheckInTransaction(Detail);
    LockTransactionTables(ltWrite, -1);
    try {
      TFlushWritesScope Flushing(*FSessionManager, Flush);
      ForEachTableManager([Flush](TORVTableManager& Manager) { Manager.Commit(Flush); });
    } catch (...) {
      UndoAfterFailure([this] { UnlockTransactionTables(ltWrite); });
      throw;
    }
    UnlockTransactionTables(ltWrite);
    if (!KeepLocks) EndTransactionTables();
  } catch (const std::exception& E) {
    FSessionManager->HandleException(E, CommitFunctionCode);
    throw;
  }
}

void TORVLocalDatabaseManager::Rollback() {
  const TORVString Detail = FormatString(u"ROLLBACK ON %s", {FDatabase->GetName()});
  try {
    CheckOpened(Detail);
    CheckInTransaction(Detail);
    try {
      ForEachTableManager([](TORVTableManager& Manager) { Manager.Rollback(); });
    } catch (...) {
      UndoAfterFailure([this] { EndTransactionTables(); });
      throw;
    }
    EndTransactionTables();
  } catch (const std::exception& E) {
    FSessionManager->HandleException(E, RollbackFunctionCode);
    throw;
  }
}

// ---------------------------------------------------------------------------
// The owner of the schema object managers

TORVLockManager& TORVLocalDatabaseManager::GetLockManager() { return *FLockManager; }

TORVSessionManager& TORVLocalDatabaseManager::GetSessionManager() { return *FSessionManager; }

void TORVLocalDatabaseManager::CheckPrivilege(TORVPrivilegedSchemaObject* Object, int32_t Privilege,
                                              const TORVString& StatementText) {
  FSessionManager->CheckPrivilege(Object, Privilege, StatementText);
}

TORVFileManager* TORVLocalDatabaseManager::GetFileManagerForSchema(const TORVString& /*SchemaName*/) {
  return FFileManager;
}

TORVEngineManagerSettings& TORVLocalDatabaseManager::GetSessionSettings() { return FSessionManager->GetSettings(); }

TORVCompressionManager& TORVLocalDatabaseManager::GetCompressionManager() {
  TORVCompressionManager* Manager = FSessionManager->GetCompressionManager();
  if (Manager == nullptr) throw std::logic_error("compression reached outside an open session");
  return *Manager;
}

int32_t TORVLocalDatabaseManager::GetSessionHandle() { return FSessionManager->GetHandle(); }

TORVString TORVLocalDatabaseManager::GetDatabaseName() { return FDatabase->GetName(); }

TORVString TORVLocalDatabaseManager::GetDatabaseFullPath() { return GetFullPath(); }

bool TORVLocalDatabaseManager::GetDatabaseSessionIsolation() { return FDatabase->GetSessionIsolation(); }

void TORVLocalDatabaseManager::LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode,
                                        const TORVString& Description) {
  FSessionManager->LogEvent(Category, FunctionCode, ErrorCode, Description);
}

void TORVLocalDatabaseManager::BackupError(const TORVString& Msg) {
  RaiseError(ORV_BACKUP_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(), Msg});
}

void TORVLocalDatabaseManager::RestoreError(const TORVString& Msg) {
  RaiseError(ORV_RESTORE_ERROR, {FDatabase->GetTypeName(), FDatabase->GetName(), Msg});
}

void TORVLocalDatabaseManager::EvaluateRow(TORVRowValues& /*Values*/, TORVExprToken* /*Tokens*/,
                                           TORVValue& /*Value*/) {
  NotAvailableError(u"EVALUATE ROW");
}

TORVTriggerEvaluator& TORVLocalDatabaseManager::GetTriggerEvaluator() {
  return static_cast<TORVTriggerEvaluator&>(GetEvaluatorOfSession());
}

void TORVLocalDatabaseManager::HandleException(const std::exception& Exception, int32_t FunctionCode) {
  FSessionManager->HandleException(Exception, FunctionCode);
}

void TORVLocalDatabaseManager::PushCurrentUser() { FSessionManager->PushCurrentUser(); }

void TORVLocalDatabaseManager::SetCurrentUser(TORVUser* User) { FSessionManager->SetCurrentUser(User); }

void TORVLocalDatabaseManager::PopCurrentUser() { FSessionManager->PopCurrentUser(); }

TORVUser* TORVLocalDatabaseManager::GetSystemUser() { return FSessionManager->GetConfig()->GetSystemUser(); }

TORVLocalExprEvaluator& TORVLocalDatabaseManager::GetEvaluatorOfSession() {
  TORVLocalExprEvaluator* Evaluator = FSessionManager->GetEvaluator();
  if (Evaluator == nullptr) throw std::logic_error("evaluator reached outside an open session");
  return *Evaluator;
}

TORVExprEvaluator& TORVLocalDatabaseManager::GetEvaluator() { return GetEvaluatorOfSession(); }

void TORVLocalDatabaseManager::NewContext() {
  TORVLocalExprEvaluator& Evaluator = GetEvaluatorOfSession();
  const TORVEvaluatorContext* Current = Evaluator.GetContext();
  if (Current == nullptr) Current = FSessionManager->GetContext();
  if (Current == nullptr) throw std::logic_error("context reached outside an open session");
  FSavedContexts.push_back(Evaluator.NewContext(*Current));
}

void TORVLocalDatabaseManager::RestoreContext() {
  if (FSavedContexts.empty()) throw std::logic_error("RestoreContext without its NewContext");
  TORVEvaluatorContext* Saved = FSavedContexts.back();
  FSavedContexts.pop_back();
  GetEvaluatorOfSession().RestoreContext(Saved);
}

std::unique_ptr<TORVViewQueryManager> TORVLocalDatabaseManager::CreateViewQueryManager(TORVViewManager& /*Manager*/) {
  NotAvailableError(u"OPEN VIEW");
}

}  // namespace orv
