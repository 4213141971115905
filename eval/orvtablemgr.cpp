#include "eval/orvtablemgr.h"

#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvlockable.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "core/orvsessionmgr.h"
#include "storage/orvblobfile.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvpublishfile.h"
#include "storage/orvrowsfile.h"

namespace orv {

namespace {

// The schema whose file manager keeps the table's files.
TORVString SchemaNameOf(TORVBaseTable* Table) {
  for (TORVConfigObject* Object = Table->GetParent(); Object != nullptr; Object = Object->GetParent())
    if (auto* Schema = dynamic_cast<TORVSchema*>(Object)) return Schema->GetName();
  return TORVString();
}

// The parent-row locks of a row operation's constraint checks are given
// back whether the operation succeeds or fails.
class TConstraintUnlock {
 public:
  explicit TConstraintUnlock(TORVTableManager& Manager) : FManager(Manager) {}
  ~TConstraintUnlock() {
    if (FArmed) UndoAfterFailure([this] { FManager.UnlockConstraints(); });
  }
  // The operation succeeded: an unlock failure now is its failure.
  void Release() {
    FArmed = false;
    FManager.UnlockConstraints();
  }
  TConstraintUnlock(const TConstraintUnlock&) = delete;
  TConstraintUnlock& operator=(const TConstraintUnlock&) = delete;

 private:
  TORVTableManager& FManager;
  bool FArmed = true;
};

}  // namespace

// An object lock of the table held for a scope: given back at Release, or
// at the end of the scope after a failure. Only a lock this guard took is
// given back; a transaction lock always counts as taken, since the lock
// manager counted it even when it was already held (inside a transaction),
// and only the matching release lowers that count again.
class TORVTableManager::TObjectLock {
 public:
  TObjectLock(TORVTableManager& Manager, TORVLockType LockType)
      : FManager(Manager),
        FLockType(LockType),
        FTaken(Manager.LockObject(LockType) || LockType == ltTransaction) {}
  ~TObjectLock() {
    if (FTaken) FManager.UnlockAfterFailure(FLockType);
  }
  TObjectLock(const TObjectLock&) = delete;
  TObjectLock& operator=(const TObjectLock&) = delete;

  // The lock stays held past the scope; True when this guard took it.
  bool Keep() {
    const bool Taken = FTaken;
    FTaken = false;
    return Taken;
  }

  void Release() {
    if (!FTaken) return;
    FTaken = false;
    FManager.UnlockObject(FLockType);
  }

 private:
  TORVTableManager& FManager;
  TORVLockType FLockType;
  bool FTaken;
};

TORVTableManager::TORVTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVBaseTable* TableToManage)
    : TORVVirtualTableManager(OwnerDatabaseManager, TableToManage),
      TORVTableFileOwner(TableToManage, OwnerDatabaseManager->GetFileManagerForSchema(SchemaNameOf(TableToManage))),
      FTable(TableToManage) {}

TORVTableManager::~TORVTableManager() = default;

void TORVTableManager::BeforeDestroy() {
  TORVVirtualTableManager::BeforeDestroy();
  FreeTableFiles();
  if (FTable->GetTemporaryForSession()) Drop(false);
}

bool TORVTableManager::GetKeepOpen() {
  return FDatabaseManager->GetSessionManager().GetKeepTablesOpen() && !FTable->GetTemporary() &&
         !ExclusivelyLocked();
}

// ------------------------------------------------------------------ the files

bool TORVTableManager::HasBlobFile() const { return FTable->GetColumns().GetHasBlobColumns(); }
bool TORVTableManager::HasPublishedFile() const { return FTable->GetIsPublished(); }
bool TORVTableManager::InTransaction() const { return FTable->GetObjectState().Contains(osInTransaction); }
bool TORVTableManager::InBatchUpdate() const { return FTable->GetObjectState().Contains(osInBatchUpdate); }
bool TORVTableManager::ExclusivelyLocked() const { return FTable->GetLockState().Contains(lsExclusiveLocked); }

std::vector<TORVTableFileManager*> TORVTableManager::TableFiles() const {
  std::vector<TORVTableFileManager*> Files;
  if (FRowsetManager) Files.push_back(FRowsetManager.get());
  if (FIndexManager) Files.push_back(FIndexManager.get());
  if (FBlobManager && HasBlobFile()) Files.push_back(FBlobManager.get());
  if (FPublishedUpdatesManager && HasPublishedFile()) Files.push_back(FPublishedUpdatesManager.get());
  return Files;
}

void TORVTableManager::CreateTableFiles() {
  FRowsetManager = std::make_unique<TORVRowsetManager>(this);
  FIndexManager = std::make_unique<TORVIndexManager>(this);
  if (HasBlobFile()) FBlobManager = std::make_unique<TORVBlobManager>(this);
  if (HasPublishedFile()) FPublishedUpdatesManager = std::make_unique<TORVPublishedUpdatesManager>(this);
}

void TORVTableManager::FreeTableFiles() {
  FIndexNavigators.clear();
  FKeyValues.clear();
  FRowsetNavigator.reset();
  FPublishedUpdatesManager.reset();
  FBlobManager.reset();
  FIndexManager.reset();
  FRowsetManager.reset();
}

bool TORVTableManager::GetExists() {
  if (FTable->GetTemporary()) return false;
  for (TORVTableFileManager* File : TableFiles())
    if (!File->GetFileExists()) return false;
  return true;
}

void TORVTableManager::OpenTableFiles() {
  for (TORVTableFileManager* File : TableFiles()) File->Initialize();
  if (GetExists()) {
    TObjectLock Read(*this, ltRead);
    for (TORVTableFileManager* File : TableFiles()) File->Open();
    Read.Release();
    return;
  }
  TObjectLock Transaction(*this, ltTransaction);
  if (GetExists()) {
    for (TORVTableFileManager* File : TableFiles()) File->Open();
  } else {
    TObjectLock Write(*this, ltWrite);
    // A file this call made and could not finish is deleted again, so that
    // the next open makes it anew instead of finding it at 0 bytes.
    std::vector<TORVTableFileManager*> Created;
    try {
      for (TORVTableFileManager* File : TableFiles()) {
        const bool Existed = !FTable->GetTemporary() && File->GetFileExists();
        if (!Existed) Created.push_back(File);
        File->CreateAndOpen();
      }
    } catch (...) {
      for (TORVTableFileManager* File : Created)
        UndoAfterFailure([File] {
          File->Close();
          File->Drop();
        });
      throw;
    }
    Write.Release();
  }
  Transaction.Release();
}

void TORVTableManager::CreateNavigators() {
  FRowsetNavigator = std::make_unique<TORVRowsetNavigator>(FRowsetManager.get());
  FIndexNavigators.clear();
  for (int32_t Number = 0; Number < FTable->GetIndexes().GetCount(); ++Number) AddIndexNavigator(Number);
}

void TORVTableManager::CreateAllKeyValues() {
  FKeyValues.clear();
  for (int32_t Number = 0; Number < FTable->GetIndexes().GetCount(); ++Number) AddKeyValues(Number);
}

void TORVTableManager::InternalOpen() {
  FTable->Compile();
  CreateTableFiles();
  FRowLocks = std::make_unique<TORVRowLocks>();
  FTransactionRowLocks = std::make_unique<TORVRowLocks>();
  FConstraintRowLocks = std::make_unique<TORVRowLocks>();
  FBlobCompressStream = std::make_unique<TORVMemoryStream>(GetSessionSettings().GetCharacterSet());
  try {
    OpenTableFiles();
    CreateNavigators();
    CreateAllKeyValues();
    StartTransaction(false);
  } catch (...) {
    UndoAfterFailure([this] {
      for (TORVTableFileManager* File : TableFiles()) File->Close();
    });
    FreeTableFiles();
    FTable->Decompile();
    throw;
  }
}

void TORVTableManager::InternalReopen() {
  if (InTransaction()) return;
  TObjectLock Read(*this, ltRead);
  for (TORVTableFileManager* File : TableFiles()) File->Reopen();
  Read.Release();
}

void TORVTableManager::InternalInitialize() {
  // Default and generated values are evaluated through the database's
  // EvaluateRow, which prepares each tree as it runs it.
  if (InvolvesConstraintTables()) FTable->SetupConstraintTables();
  InitializeTriggers();
}

void TORVTableManager::InternalReset() {
  ResetTriggers();
  // The list is made again at the next open, after any change of the
  // constraints in between.
  if (InvolvesConstraintTables()) FTable->ResetConstraintTables();
}

// ------------------------------------------- the tables foreign keys involve

bool TORVTableManager::InvolvesConstraintTables() const {
  return !FTable->GetMaintenance() && !FTable->GetBatchOperation();
}

std::vector<TORVTableManager*> TORVTableManager::ReferencedManagers(bool CreateManagers) {
  std::vector<TORVTableManager*> Managers;
  if (!InvolvesConstraintTables() || !FTable->GetHasConstraintTables()) return Managers;
  TORVReferencedTables& Tables = FTable->GetConstraintTables();
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) {
    TORVBaseTable* Table = Tables.GetTable(Index);
    // This table is the one being opened or closed; a table in
    // maintenance is being rebuilt and its checks are delayed.
    if (Table == FTable || Table->GetMaintenance()) continue;
    // Closing never makes a manager only to close it.
    if (!CreateManagers && Table->GetManagerHandle() == 0) continue;
    Managers.push_back(&GetConstraintTableManager(Table));
  }
  return Managers;
}

void TORVTableManager::OpenReferencedManager(TORVTableManager& Manager) {
  TORVBaseTable* Table = Manager.GetTable();
  // A table whose constraint is being altered is held alone while the
  // constraint is checked against its rows.
  const TORVLockType LockType = Table->GetAlteringConstraint() ? ltExclusive : ltShared;
  bool TakeLock = !Manager.GetOpening();
  if (LockType == ltExclusive && Manager.GetUseCount() > 0 && Table->GetLockState().Contains(lsExclusiveLocked))
    TakeLock = false;
  const bool Locked = TakeLock && Manager.LockObject(LockType);
  try {
    Manager.Open(false);
  } catch (...) {
    if (Locked) Manager.UnlockAfterFailure(LockType);
    throw;
  }
}

void TORVTableManager::InternalOpenReferenced() {
  if (!InvolvesConstraintTables()) return;
  TORVSystemUserScope SystemUser(*FDatabaseManager);
  const std::vector<TORVTableManager*> Managers = ReferencedManagers(true);
  size_t Reached = 0;
  try {
    for (; Reached < Managers.size(); ++Reached) OpenReferencedManager(*Managers[Reached]);
  } catch (...) {
    // The failed manager is closed with the ones before it: a kept-open
    // manager whose reopen failed must not stay half opened.
    if (Reached > 0)
      for (size_t Index = Reached + 1; Index-- > 0;)
        UndoAfterFailure([&] { Managers[Index]->Close(false, false, true); });
    throw;
  }
}

void TORVTableManager::InternalCloseReferenced() {
  if (!InvolvesConstraintTables()) return;
  const std::vector<TORVTableManager*> Managers = ReferencedManagers(false);
  std::exception_ptr Failure;
  for (size_t Index = Managers.size(); Index-- > 0;) {
    try {
      Managers[Index]->Close(false, false, true);
    } catch (...) {
      if (!Failure) Failure = std::current_exception();
    }
  }
  if (Failure) std::rethrow_exception(Failure);
}

void TORVTableManager::InternalClose() {
  FTable->Decompile();
  std::exception_ptr Failure;
  try {
    UnlockAll(nullptr);
  } catch (...) {
    Failure = std::current_exception();
  }
  for (TORVTableFileManager* File : TableFiles()) {
    try {
      File->Close();
    } catch (...) {
      if (!Failure) Failure = std::current_exception();
    }
  }
  FRepairRequired = false;
  FBlobCompressStream.reset();
  FConstraintRowLocks.reset();
  FTransactionRowLocks.reset();
  FRowLocks.reset();
  FreeTableFiles();
  if (Failure) std::rethrow_exception(Failure);
}

// ------------------------------------------------------- the owner of files

TORVSessionManager& TORVTableManager::GetSessionManager() { return FDatabaseManager->GetSessionManager(); }
TORVEngineManagerSettings& TORVTableManager::GetSessionSettings() { return FDatabaseManager->GetSessionSettings(); }
TORVCompressionManager& TORVTableManager::GetCompressionManager() {
  return FDatabaseManager->GetCompressionManager();
}
int32_t TORVTableManager::GetSessionHandle() { return FDatabaseManager->GetSessionHandle(); }
TORVString TORVTableManager::GetDatabaseName() { return FDatabaseManager->GetDatabaseName(); }
TORVString TORVTableManager::GetDatabaseFullPath() { return FDatabaseManager->GetDatabaseFullPath(); }
bool TORVTableManager::GetDatabaseSessionIsolation() { return FDatabaseManager->GetDatabaseSessionIsolation(); }
bool TORVTableManager::GetInInformationSchema() { return false; }
void TORVTableManager::LogEvent(int32_t Category, int32_t FunctionCode, int32_t ErrorCode,
                                const TORVString& Description) {
  FDatabaseManager->LogEvent(Category, FunctionCode, ErrorCode, Description);
}
void TORVTableManager::BackupError(const TORVString& Msg) { FDatabaseManager->BackupError(Msg); }
void TORVTableManager::RestoreError(const TORVString& Msg) { FDatabaseManager->RestoreError(Msg); }
int32_t TORVTableManager::GetBlobVersion(int32_t BlockNumber) {
  return FBlobManager ? FBlobManager->GetChainVersion(BlockNumber) : -1;
}
void TORVTableManager::EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) {
  FDatabaseManager->EvaluateRow(Values, Tokens, Value);
}
int32_t TORVTableManager::GetRowsetLastNumber() { return FRowsetManager ? FRowsetManager->GetLastNumber() : 0; }
void TORVTableManager::RowDeletedError() { TORVVirtualTableManager::RowDeletedError(); }

bool TORVTableManager::CheckForChanges(bool /*ManualRefresh*/) {
  // Configuration and information-schema tables are refilled by their
  // loaders, which this table manager does not drive.
  if (!LockObject(ltRead)) return false;
  bool Changed = false;
  try {
    if (FRowsetManager->CheckForChanges()) Changed = true;
    if (FIndexManager->CheckForChanges()) Changed = true;
    if (FBlobManager && HasBlobFile() && FBlobManager->CheckForChanges()) Changed = true;
  } catch (...) {
    UnlockAfterFailure(ltRead);
    throw;
  }
  return Changed;
}

// ---------------------------------------------------------------- accessors

int32_t TORVTableManager::GetRowCount() { return FRowsetManager->GetRowCount(); }
int32_t TORVTableManager::GetPhysicalRowCount() { return FRowsetManager->GetLastNumber(); }
int32_t TORVTableManager::GetRowSize() { return FRowsetManager->GetBufferSize(); }
int32_t TORVTableManager::GetUpdateCounter() {
  int32_t Result = FRowsetManager->GetUpdateCounter() + FIndexManager->GetUpdateCounter();
  if (FBlobManager && HasBlobFile()) Result += FBlobManager->GetUpdateCounter();
  return Result;
}
int32_t TORVTableManager::GetBatchSize() { return FRowsetManager->GetMaxBufferCount(); }
bool TORVTableManager::GetEncrypted() { return FTable->GetEncrypted(); }
TORVColumns& TORVTableManager::GetColumns() const { return FTable->GetColumns(); }
TORVIndexes& TORVTableManager::GetIndexes() const { return FTable->GetIndexes(); }

int64_t TORVTableManager::GetSize(bool IncludePublishedUpdates) {
  int64_t Size = 0;
  for (TORVTableFileManager* File : TableFiles()) {
    if (File == FPublishedUpdatesManager.get() && !IncludePublishedUpdates) continue;
    if (File->GetFileStream() != nullptr) Size += File->GetFileStream()->GetSize();
  }
  return Size;
}

void TORVTableManager::SetModified() {
  for (TORVTableFileManager* File : TableFiles()) File->SetModified(true);
}

void TORVTableManager::ClearModified() {
  for (TORVTableFileManager* File : TableFiles()) File->SetModified(false);
}

// ------------------------------------------------- navigators and key buffers

TORVIndexNavigator& TORVTableManager::GetIndexNavigator(int32_t IndexNumber) const {
  return *FIndexNavigators.at(static_cast<size_t>(IndexNumber));
}

TORVIndexKeyValues& TORVTableManager::GetKeyValues(int32_t IndexNumber) const {
  return *FKeyValues.at(static_cast<size_t>(IndexNumber));
}

void TORVTableManager::AddIndexNavigator(int32_t Number) {
  FIndexNavigators.resize(static_cast<size_t>(FTable->GetIndexes().GetCount()));
  FIndexNavigators.at(static_cast<size_t>(Number)) = std::make_unique<TORVIndexNavigator>(FIndexManager.get(), Number);
}

void TORVTableManager::ClearIndexNavigator(int32_t Number) { FIndexNavigators.at(static_cast<size_t>(Number)).reset(); }

void TORVTableManager::DeleteIndexNavigator(int32_t Number) {
  FIndexNavigators.erase(FIndexNavigators.begin() + Number);
  for (size_t Index = static_cast<size_t>(Number); Index < FIndexNavigators.size(); ++Index)
    if (FIndexNavigators[Index]) FIndexNavigators[Index]->SetIndexNumber(static_cast<int32_t>(Index));
}

void TORVTableManager::AddKeyValues(int32_t Number) {
  FKeyValues.resize(static_cast<size_t>(FTable->GetIndexes().GetCount()));
  TORVIndex* Index = FTable->GetIndexes().GetIndex(Number);
  auto Keys = Index->GetIndexType() == itTextIndex
                  ? std::make_unique<TORVContainedIndexKeyValues>(GetSessionSettings().GetCharacterSet(), Index)
                  : std::make_unique<TORVIndexKeyValues>(GetSessionSettings().GetCharacterSet(), Index);
  Keys->SetCapacity(Index->GetIndexColumns()->GetCount());
  FKeyValues.at(static_cast<size_t>(Number)) = std::move(Keys);
}

void TORVTableManager::ClearKeyValues(int32_t Number) { FKeyValues.at(static_cast<size_t>(Number)).reset(); }

void TORVTableManager::DeleteKeyValues(int32_t Number) { FKeyValues.erase(FKeyValues.begin() + Number); }

// --------------------------------------------------------------------- rows

void TORVTableManager::LogRowValues(int32_t /*RowNumber*/, TORVRowValues& /*RowValues*/, int32_t /*Operation*/) {
  RaiseError(ORV_UPDATE_ERROR, {FTable->GetTypeName(), FTable->GetName(), u"published updates cannot be logged yet"});
}

void TORVTableManager::StartWriting() {
  if (InTransaction()) return;
  for (TORVTableFileManager* File : TableFiles()) File->StartWriting();
}

void TORVTableManager::CancelWrites() noexcept {
  for (TORVTableFileManager* File : TableFiles()) UndoAfterFailure([File] { File->CancelWrite(); });
}

template <typename TChange>
void TORVTableManager::ChangeFiles(TChange Change) {
  FFilesChanged = false;
  try {
    Change();
  } catch (...) {
    if (InTransaction()) {
      if (!FTransactionFailure) FTransactionFailure = std::current_exception();
    } else if (!ExclusivelyLocked()) {
      CancelWrites();
    } else if (FFilesChanged) {
      MarkForRepair();
    }
    throw;
  }
}

void TORVTableManager::MarkForRepair() noexcept {
  FRepairRequired = true;
  // What the earlier operations changed goes down with the failed one's
  // part, so that a repair finds every row they reported done; a file
  // whose write fails keeps its Writing flag by itself.
  for (TORVTableFileManager* File : TableFiles()) UndoAfterFailure([File] { File->Write(false); });
  for (TORVTableFileManager* File : TableFiles()) {
    try {
      File->SetModified(true);
      File->RaiseWritingFlag();
      // Nothing is left to write: closing must not put a clean header
      // over the flag.
      File->SetModified(false);
    } catch (...) {
      // The file stays failed and modified, so its next write, at the
      // latest when it closes, puts the flag down with its header.
    }
  }
}

void TORVTableManager::RefuseIfRepairRequired() {
  if (FRepairRequired) WriteFlagError();
}

void TORVTableManager::WriteChanges() {
  TObjectLock WriteLock(*this, ltWrite);
  if (!ExclusivelyLocked()) Write(FDatabaseManager->GetSessionManager().GetFlushWrites());
  WriteLock.Release();
}

TORVRowValues& TORVTableManager::StoredRowValues() const { return FRowsetNavigator->GetRowValues(); }

void TORVTableManager::InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                                 int32_t& NewRowUpdateCounter, bool KeepExistingValues) {
  RefuseIfRepairRequired();
  TObjectLock Transaction(*this, ltTransaction);
  StartWriting();
  NewRowVersion = FRowsetManager->GetLastVersion();
  if (!KeepExistingValues) NewRowValues.GetItems(0)->SetAsInteger(FRowsetManager->GetLastRowID());
  SetIdentity(NewRowValues);
  SetGenerated(NewRowValues, true);
  SetDefaults(NewRowValues);
  CheckConstraints(NewRowValues, NewRowNumber, toInsertRow, false);
  TConstraintUnlock Unlock(*this);
  ChangeFiles([&] {
    if (!KeepExistingValues && HasPublishedFile()) LogRowValues(0, NewRowValues, toInsertRow);
    FFilesChanged = true;
    FRowsetNavigator->Insert(NewRowVersion, NewRowValues, NewRowNumber, NewRowUpdateCounter);
    ForEachIndex([&](int32_t Index) { InsertNewKey(NewRowValues, NewRowNumber, Index); });
    NewRowValues.SetModified(false);
    TObjectLock WriteLock(*this, ltWrite);
    if (!ExclusivelyLocked()) Write(FDatabaseManager->GetSessionManager().GetFlushWrites());
    if (InTransaction()) LockRowForTransaction(NewRowNumber);
    WriteLock.Release();
  });
  Unlock.Release();
  Transaction.Release();
}

void TORVTableManager::UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
                                 int32_t /*ExistingRowVersion*/, int32_t& ExistingRowUpdateCounter) {
  RefuseIfRepairRequired();
  TObjectLock Transaction(*this, ltTransaction);
  StartWriting();
  SetGenerated(ExistingRowValues, false);
  CheckConstraints(ExistingRowValues, ExistingRowNumber, toUpdateRow, false);
  TConstraintUnlock Unlock(*this);
  ChangeFiles([&] {
    if (HasPublishedFile() && RowValuesModified(ExistingRowValues))
      LogRowValues(ExistingRowNumber, ExistingRowValues, toUpdateRow);
    FFilesChanged = true;
    ForEachIndex([&](int32_t Index) { UpdateExistingKey(ExistingRowValues, ExistingRowNumber, Index); });
    FRowsetNavigator->Update(ExistingRowValues, ExistingRowNumber, ExistingRowUpdateCounter);
    ExistingRowValues.SetModified(false);
    WriteChanges();
  });
  Unlock.Release();
  Transaction.Release();
}

void TORVTableManager::DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
                                 int32_t /*ExistingRowVersion*/, int32_t& ExistingRowUpdateCounter) {
  RefuseIfRepairRequired();
  TObjectLock Transaction(*this, ltTransaction);
  StartWriting();
  CheckConstraints(ExistingRowValues, ExistingRowNumber, toDeleteRow, false);
  TConstraintUnlock Unlock(*this);
  ChangeFiles([&] {
    if (HasPublishedFile()) LogRowValues(ExistingRowNumber, ExistingRowValues, toDeleteRow);
    FFilesChanged = true;
    ForEachIndex([&](int32_t Index) { DeleteExistingKey(ExistingRowValues, ExistingRowNumber, Index); });
    FRowsetNavigator->Delete(ExistingRowValues, ExistingRowNumber, ExistingRowUpdateCounter);
    ExistingRowValues.SetModified(false);
    WriteChanges();
  });
  Unlock.Release();
  Transaction.Release();
}

bool TORVTableManager::Empty(bool IgnoreConstraints) {
  if (!IgnoreConstraints)
    RaiseError(ORV_UPDATE_ERROR,
               {FTable->GetTypeName(), FTable->GetName(), u"constraints cannot be checked before emptying yet"});
  RefuseIfRepairRequired();
  TObjectLock Transaction(*this, ltTransaction);
  ChangeFiles([&] {
    FFilesChanged = true;
    for (TORVTableFileManager* File : TableFiles()) File->Empty();
    WriteChanges();
  });
  Transaction.Release();
  return true;
}

void TORVTableManager::SetIdentity(TORVRowValues& RowValues) {
  TORVColumns& Columns = FTable->GetColumns();
  if (!Columns.GetHasIdentityColumns() || (FTable->GetCached() && FTable->GetLoadingCache())) return;
  TORVSelectedColumns* Identities = Columns.GetIdentityColumns();
  for (int32_t Index = 0; Index < Identities->GetCount(); ++Index) {
    TORVColumn* Column = Identities->GetColumn(Index);
    TORVValue* Value = RowValues.GetItems(Column->GetPosition());
    if (Column->GetDefaultIdentity() && !Value->GetNull()) continue;
    if (FTable->GetMaintenance() &&
        !(FTable->GetAlterStates().Contains(asRebuildRows) && Column->GetOldPosition() == -1))
      continue;
    Column->SetLastValue(FRowsetManager->GetLastValue(Column->GetPosition()));
    Value->SetAsInteger(Column->GetLastValue());
  }
}

void TORVTableManager::SetGenerated(TORVRowValues& RowValues, bool All) {
  TORVColumns& Columns = FTable->GetColumns();
  if (!FTable->GetGeneratedEnabled() || !Columns.GetHasGeneratedColumns()) return;
  TORVSelectedColumns* Generated = Columns.GetGeneratedColumns();
  for (int32_t Index = 0; Index < Generated->GetCount(); ++Index) {
    TORVColumn* Column = Generated->GetColumn(Index);
    if (FTable->GetMaintenance() &&
        !(FTable->GetAlterStates().Contains(asRebuildRows) && Column->GetOldPosition() == -1))
      continue;
    TORVRowValue* Value = RowValues.GetRowValue(Column->GetPosition());
    const bool UsesFunctions = Column->GetReferencedFunctions() != nullptr &&
                               Column->GetReferencedFunctions()->GetCount() > 0;
    if (!(All || UsesFunctions || Value->GetModified())) continue;
    FDatabaseManager->EvaluateRow(RowValues, Column->GetGenerateExpr()->FTokens, *Value);
  }
}

void TORVTableManager::SetDefaults(TORVRowValues& RowValues) {
  TORVColumns& Columns = FTable->GetColumns();
  if (FTable->GetCached() || !FTable->GetDefaultsEnabled() || !Columns.GetHasDefaultColumns()) return;
  TORVSelectedColumns* Defaults = Columns.GetDefaultColumns();
  for (int32_t Index = 0; Index < Defaults->GetCount(); ++Index) {
    TORVColumn* Column = Defaults->GetColumn(Index);
    if (FTable->GetMaintenance() &&
        !(FTable->GetAlterStates().Contains(asRebuildRows) && Column->GetOldPosition() == -1))
      continue;
    TORVValue* Value = RowValues.GetItems(Column->GetPosition());
    if (!Value->GetNull()) continue;
    FDatabaseManager->EvaluateRow(RowValues, Column->GetDefaultExpr()->FTokens, *Value);
  }
}

std::unique_ptr<TORVRowsetRow> TORVTableManager::CreateNewRow() { return FRowsetManager->CreateNewRow(); }

TORVRowsetRow* TORVTableManager::GetRow(int32_t RowNumber, int32_t Direction) {
  if (Direction == 0) return FRowsetManager->GetRow(RowNumber);
  return FRowsetManager->GetRow(RowNumber, true, Direction, FRowsetManager->GetMaxReadAheadBufferCount());
}

void TORVTableManager::PutRow(TORVRowsetRow* Row) { FRowsetManager->PutRow(Row); }

bool TORVTableManager::GetRowByNumber(int32_t RowNumber, TORVRowsetRow& Row) {
  if (RowNumber < 1 || RowNumber > FRowsetManager->GetLastNumber()) return false;
  TORVRowsetRow* Stored = GetRow(RowNumber, 0);
  struct TPut {
    TORVTableManager* Manager;
    TORVRowsetRow* Row;
    ~TPut() { Manager->PutRow(Row); }
  } Put{this, Stored};
  Row.Assign(*Stored);
  return true;
}

void TORVTableManager::GotoRowNumber(int32_t RowNumber) {
  bool FoundChanges = false;
  if (!FRowsetNavigator->GotoNumber(RowNumber, 0, FoundChanges) && FoundChanges)
    FRowsetNavigator->GotoNumber(RowNumber, 0, FoundChanges);
}

bool TORVTableManager::GetRowForFirstKey(TORVRowsetRow& Row, int32_t IndexNumber) {
  bool FoundChanges = false;
  if (!GetIndexNavigator(IndexNumber).First(FoundChanges)) return false;
  GetRowForCurrentKey(Row, IndexNumber);
  return true;
}

bool TORVTableManager::GetRowForNextKey(TORVRowsetRow& Row, int32_t IndexNumber) {
  bool FoundChanges = false;
  if (!GetIndexNavigator(IndexNumber).Next(FoundChanges)) return false;
  GetRowForCurrentKey(Row, IndexNumber);
  return true;
}

void TORVTableManager::GetRowForCurrentKey(TORVRowsetRow& Row, int32_t IndexNumber) {
  GetRowByNumber(GetIndexNavigator(IndexNumber).GetRowNumber(), Row);
}

bool TORVTableManager::GetRowForKey(TORVRowsetRow& Row, TORVRowValues& RowValues, bool LoadRow,
                                    int32_t IndexNumber) {
  SetKeyValues(RowValues, IndexNumber, false);
  TORVIndexKeyValues& Keys = GetKeyValues(IndexNumber);
  bool FoundChanges = false;
  TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
  int32_t Found = Navigator.Search(Keys, 0, false, FoundChanges);
  if (FoundChanges) Found = Navigator.Search(Keys, 0, false, FoundChanges);
  if (Found != 0) return false;
  if (LoadRow) GetRowForCurrentKey(Row, IndexNumber);
  return true;
}

// --------------------------------------------------------------------- keys

void TORVTableManager::SetKeyValues(TORVRowValues& RowValues, int32_t IndexNumber, bool SetRowID) {
  TORVIndexKeyValues& Keys = GetKeyValues(IndexNumber);
  TORVIndex* Index = FTable->GetIndexes().GetIndex(IndexNumber);
  Keys.DeleteAll();
  TORVIndexColumns& Columns = *Index->GetIndexColumns();
  for (int32_t Position = 0; Position < Columns.GetCount(); ++Position)
    Keys.Add(RowValues.GetItems(Columns.GetIndexColumn(Position)->GetSourceColumn()->GetPosition()));
  const int32_t Type = Index->GetIndexType();
  const bool CarriesRowID = Type == itIndex || Type == itForeignKey || Type == itUnique;
  Keys.SetRowID(SetRowID && CarriesRowID ? RowValues.GetItems(0)->GetAsInteger() : 0);
}

bool TORVTableManager::AllKeyValuesNull(int32_t IndexNumber) {
  TORVIndexKeyValues& Keys = GetKeyValues(IndexNumber);
  for (int32_t Index = 0; Index < Keys.GetCount(); ++Index)
    if (!Keys.GetItems(Index)->GetNull()) return false;
  return true;
}

bool TORVTableManager::KeyValuesNull(int32_t IndexNumber) {
  TORVIndexKeyValues& Keys = GetKeyValues(IndexNumber);
  for (int32_t Index = 0; Index < Keys.GetCount(); ++Index)
    if (Keys.GetItems(Index)->GetNull()) return true;
  return false;
}

bool TORVTableManager::KeyValuesModified(TORVRowValues& RowValues, int32_t IndexNumber) {
  TORVIndexColumns& Columns = *FTable->GetIndexes().GetIndex(IndexNumber)->GetIndexColumns();
  TORVRowValues& Stored = StoredRowValues();
  for (int32_t Position = 0; Position < Columns.GetCount(); ++Position) {
    TORVIndexColumn* Column = Columns.GetIndexColumn(Position);
    const int32_t Source = Column->GetSourceColumn()->GetPosition();
    TORVRowValue* Value = RowValues.GetRowValue(Source);
    if (Value->GetModified() && Value->Compare(*Stored.GetItems(Source), 0, false, Column->GetCollation()) != 0)
      return true;
  }
  return false;
}

bool TORVTableManager::RowValuesModified(TORVRowValues& RowValues) {
  TORVRowValues& Stored = StoredRowValues();
  for (int32_t Index = 0; Index < RowValues.GetCount(); ++Index) {
    TORVRowValue* Value = RowValues.GetRowValue(Index);
    if (Value->GetModified() && Value->Compare(*Stored.GetItems(Index), 0, false, Value->GetCollation()) != 0)
      return true;
  }
  return false;
}

void TORVTableManager::InsertNewKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  if (IsTextIndex(IndexNumber)) return InsertNewTextKeys(RowValues, RowNumber, IndexNumber);
  SetKeyValues(RowValues, IndexNumber, true);
  GetIndexNavigator(IndexNumber).Insert(GetKeyValues(IndexNumber), RowNumber);
}

void TORVTableManager::DeleteExistingKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  if (IsTextIndex(IndexNumber)) return DeleteExistingTextKeys(RowValues, RowNumber, IndexNumber);
  SetKeyValues(RowValues, IndexNumber, true);
  GetIndexNavigator(IndexNumber).Delete(GetKeyValues(IndexNumber), RowNumber);
}

void TORVTableManager::UpdateExistingKey(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  if (IsTextIndex(IndexNumber)) return UpdateExistingTextKeys(RowValues, RowNumber, IndexNumber);
  if (!KeyValuesModified(RowValues, IndexNumber)) return;
  DeleteExistingKey(StoredRowValues(), FRowsetNavigator->GetRowNumber(), IndexNumber);
  InsertNewKey(RowValues, RowNumber, IndexNumber);
}

bool TORVTableManager::VerifyExistingKey(TORVRowValues& RowValues, int32_t ExistingNumber, int32_t IndexNumber) {
  if (IsTextIndex(IndexNumber)) return VerifyExistingTextKeys(RowValues, ExistingNumber, IndexNumber);
  SetKeyValues(RowValues, IndexNumber, true);
  return GetIndexNavigator(IndexNumber).Verify(GetKeyValues(IndexNumber), ExistingNumber);
}

// --------------------------------------------------------------------- BLOBs

void TORVTableManager::ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                                      bool Decompress) {
  if (!HasBlobFile()) return;
  // The read began under the read lock of the caller's change check; it
  // is given back also when the read fails, since a leaked read lock holds
  // off every other session's writes.
  try {
    if (Decompress) {
      FBlobCompressStream->Truncate();
      FBlobManager->ReadStream(RowVersion, BlockNumber, *FBlobCompressStream);
      if (FBlobCompressStream->GetSize() > 0) {
        BlobStream.Truncate();
        FBlobCompressStream->SetPosition(0);
        GetCompressionManager().Decompress(*FBlobCompressStream, BlobStream, INT32_MAX);
      }
      FBlobCompressStream->Truncate();
    } else {
      FBlobManager->ReadStream(RowVersion, BlockNumber, BlobStream);
    }
  } catch (...) {
    FBlobCompressStream->Truncate();
    UnlockAfterFailure(ltRead);
    throw;
  }
  UnlockObject(ltRead);
}

void TORVTableManager::WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                       int32_t BlobCompression, int32_t& CompressedSize) {
  if (!HasBlobFile()) return;
  if (BlobStream.GetSize() > 0 && BlobCompression > 0) {
    FBlobCompressStream->Truncate();
    BlobStream.SetPosition(0);
    TORVCompressionManager& Compression = GetCompressionManager();
    const int32_t Level = Compression.GetCompressionLevel();
    Compression.SetCompressionLevel(BlobCompression);
    try {
      Compression.Compress(BlobStream, *FBlobCompressStream);
    } catch (...) {
      Compression.SetCompressionLevel(Level);
      throw;
    }
    Compression.SetCompressionLevel(Level);
    FBlobManager->WriteStream(RowVersion, BlockNumber, *FBlobCompressStream);
    CompressedSize = static_cast<int32_t>(FBlobCompressStream->GetSize());
    FBlobCompressStream->Truncate();
  } else if (BlobStream.GetSize() > 0 || BlockNumber != 0) {
    FBlobManager->WriteStream(RowVersion, BlockNumber, BlobStream);
    CompressedSize = static_cast<int32_t>(BlobStream.GetSize());
  }
}

void TORVTableManager::ReadPublishedUpdatesStream(int32_t& /*BlockNumber*/, TORVMemoryStream& /*Stream*/,
                                                  bool /*Decompress*/) {
  RaiseError(ORV_UPDATE_ERROR, {FTable->GetTypeName(), FTable->GetName(), u"published updates cannot be read yet"});
}

void TORVTableManager::WritePublishedUpdatesStream(TORVMemoryStream& /*Stream*/, int32_t /*Compression*/) {
  RaiseError(ORV_UPDATE_ERROR, {FTable->GetTypeName(), FTable->GetName(), u"published updates cannot be logged yet"});
}

// ---------------------------------------------------------------- row locks

bool TORVTableManager::LockRow(TORVBaseObject* LockOwner, int32_t RowNumber, bool KeepTransaction) {
  if (ExclusivelyLocked()) return true;
  TORVRowLock* Existing = nullptr;
  if (InTransaction() && FTransactionRowLocks->Find(RowNumber, Existing)) {
    FTransactionRowLocks->Delete(RowNumber);
    FRowLocks->Add(LockOwner, RowNumber, KeepTransaction || Existing->GetKeepTransaction());
    delete Existing;
    return true;
  }
  TORVSessionManager& Session = FDatabaseManager->GetSessionManager();
  int32_t Refusals = 0;
  while (!FRowsetManager->LockRow(RowNumber)) {
    ++Refusals;
    std::this_thread::sleep_for(std::chrono::milliseconds(Session.GetRowLockWait()));
    if (Refusals > Session.GetRowLockRetries()) return false;
  }
  FRowLocks->Add(LockOwner, RowNumber, KeepTransaction);
  return true;
}

bool TORVTableManager::UnlockRow(int32_t RowNumber) {
  if (ExclusivelyLocked()) return true;
  TORVRowLock* Lock = nullptr;
  if (!FRowLocks->Find(RowNumber, Lock)) return false;
  if (InTransaction() && Lock->GetKeepTransaction()) {
    FRowLocks->Remove(RowNumber);
    FTransactionRowLocks->Add(LockIdentity(), RowNumber, true);
    return true;
  }
  const bool Unlocked = FRowsetManager->UnlockRow(RowNumber);
  FRowLocks->Remove(RowNumber);
  return Unlocked;
}

bool TORVTableManager::UnlockAllRows(TORVBaseObject* LockOwner) {
  if (ExclusivelyLocked() || !FRowLocks) return true;
  int32_t RowNumber = 0;
  TORVRowLock* Lock = nullptr;
  while (FRowLocks->FindNext(RowNumber, Lock)) {
    if (LockOwner != nullptr && Lock->GetOwner() != LockOwner) continue;
    if (InTransaction() && Lock->GetKeepTransaction()) {
      FRowLocks->Remove(RowNumber);
      FTransactionRowLocks->Add(LockIdentity(), RowNumber, true);
      continue;
    }
    const bool Unlocked = FRowsetManager->UnlockRow(RowNumber);
    FRowLocks->Remove(RowNumber);
    if (!Unlocked) return false;
  }
  return true;
}

bool TORVTableManager::UnlockAllTransactionRows() {
  if (ExclusivelyLocked() || !FTransactionRowLocks) return true;
  int32_t RowNumber = 0;
  while (FTransactionRowLocks->FindNext(RowNumber)) {
    const bool Unlocked = FRowsetManager->UnlockRow(RowNumber);
    FTransactionRowLocks->Remove(RowNumber);
    if (!Unlocked) return false;
  }
  return true;
}

bool TORVTableManager::RowLocked(int32_t RowNumber, bool IncludeTransactionLocks) {
  return FRowLocks->Find(RowNumber) ||
         (IncludeTransactionLocks && InTransaction() && FTransactionRowLocks->Find(RowNumber));
}

void TORVTableManager::LockRowForTransaction(int32_t RowNumber) {
  if (FTransactionRowLocks->Find(RowNumber)) return;
  if (!LockRow(LockIdentity(), RowNumber, true)) RowLockError();
  UnlockRow(RowNumber);
}

int32_t TORVTableManager::RefreshRow(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
                                     bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) {
  const bool Taken = CheckForChanges(false);
  struct TReadUnlock {
    TORVTableManager* Manager;
    bool Taken;
    ~TReadUnlock() {
      if (Taken) UndoAfterFailure([this] { Manager->UnlockObject(ltRead); });
    }
  } Unlock{this, Taken || FTable->GetLockState().Contains(lsReadLocked)};
  (void)Unlock;
  bool FoundChanges = false;
  if (!FRowsetNavigator->GotoNumber(RowNumber, 0, FoundChanges)) return RefreshDeleted;
  TORVRowsetRow& Row = FRowsetNavigator->GetRow();
  if (Row.GetRowID() != RowID) return RefreshDifferentRow;
  if (Row.GetStatus() == TORVRowsetRow::StatusDeleted || Row.GetVersion() != RowVersion) return RefreshDeleted;
  if (!SkipRowModifiedCheck &&
      (ForceRowModifiedCheck || FDatabaseManager->GetSessionManager().GetDetectRowChanges()) &&
      Row.GetUpdateCounter() != RowUpdateCounter)
    return RefreshModified;
  return RefreshUnchanged;
}

void TORVTableManager::Refresh(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
                               bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) {
  const int32_t Result =
      RefreshRow(RowNumber, RowVersion, RowUpdateCounter, RowID, SkipRowModifiedCheck, ForceRowModifiedCheck);
  if (Result == RefreshDeleted) RowDeletedError();
  if (Result == RefreshModified) RowModifiedError();
  if (Result == RefreshDifferentRow) RowCorruptError();
}

bool TORVTableManager::LockAndRefresh(TORVBaseObject* RowOwner, int32_t RowNumber, int32_t RowVersion,
                                      int32_t RowUpdateCounter, int32_t RowID, bool SkipRowModifiedCheck,
                                      bool ForceRowModifiedCheck, bool KeepTransactionLock) {
  TORVRowLock* Lock = nullptr;
  if (FRowLocks->Find(RowNumber, Lock)) {
    if (Lock->GetOwner() != RowOwner) RowLockError();
    return false;
  }
  if (!LockRow(RowOwner, RowNumber, KeepTransactionLock)) RowLockError();
  int32_t Result = RefreshUnchanged;
  try {
    Result = RefreshRow(RowNumber, RowVersion, RowUpdateCounter, RowID, SkipRowModifiedCheck, ForceRowModifiedCheck);
  } catch (...) {
    UndoAfterFailure([&] { UnlockRow(RowNumber); });
    throw;
  }
  if (Result != RefreshUnchanged) {
    // The row is given back for good: a refused row keeps no transaction lock.
    if (FRowLocks->Find(RowNumber, Lock)) Lock->SetKeepTransaction(false);
    UnlockRow(RowNumber);
    if (Result == RefreshDeleted) RowDeletedError();
    if (Result == RefreshModified) RowModifiedError();
    RowCorruptError();
  }
  return true;
}

void TORVTableManager::CheckLockVisibility(int32_t LockedRowNumber, int32_t RowNumber) {
  if (LockedRowNumber == RowNumber) return;
  UnlockRow(LockedRowNumber);
  RowVisibilityError();
}

void TORVTableManager::Unlock(int32_t RowNumber) {
  if (!UnlockRow(RowNumber)) RowUnlockError();
}

void TORVTableManager::UnlockAll(TORVBaseObject* LockOwner) {
  if (!FRowLocks) return;
  bool Result = true;
  if (InTransaction()) {
    if (LockOwner == nullptr) Result = UnlockAllTransactionRows();
    if (Result) Result = UnlockAllRows(LockOwner);
  } else {
    Result = UnlockAllRows(LockOwner);
  }
  if (!Result) RowUnlockError();
}

// ------------------------------------------------- batches and transactions

void TORVTableManager::BeginBatchRead() {
  for (TORVTableFileManager* File : TableFiles()) File->CheckForChanges();
}

void TORVTableManager::Write(bool FlushAfterWrite) {
  if (InTransaction()) {
    for (TORVTableFileManager* File : TableFiles()) File->IncUpdateCounter();
    return;
  }
  try {
    RaiseWritingFlags();
    for (TORVTableFileManager* File : TableFiles()) File->Write(FlushAfterWrite);
  } catch (...) {
    CancelWrites();
    throw;
  }
}

void TORVTableManager::RaiseWritingFlags() {
  // A row and its keys lie in different files: the files written first
  // must not look complete while a later one failed.
  const std::vector<TORVTableFileManager*> Files = TableFiles();
  if (Files.size() > 1)
    for (TORVTableFileManager* File : Files) File->RaiseWritingFlag();
}

void TORVTableManager::Flush() { Write(true); }

void TORVTableManager::StartTransaction(bool RequireOpen) {
  if ((RequireOpen && !FOpened) || !InTransaction() || InBatchUpdate()) return;
  SaveKeepOpen();
  try {
    for (TORVTableFileManager* File : TableFiles()) File->StartTransaction();
  } catch (...) {
    for (TORVTableFileManager* File : TableFiles()) UndoAfterFailure([File] { File->Rollback(); });
    RestoreKeepOpen();
    throw;
  }
  FTransactionFailure = nullptr;
  FKeepOpen = true;
}

void TORVTableManager::Commit(bool /*FlushAfterCommit*/) {
  if (!FOpened || !InTransaction() || InBatchUpdate()) return;
  // A row operation that failed half-way left changes no commit may keep.
  if (FTransactionFailure) std::rethrow_exception(FTransactionFailure);
  const bool FlushWrites = FDatabaseManager->GetSessionManager().GetFlushWrites();
  RaiseWritingFlags();
  for (TORVTableFileManager* File : TableFiles()) File->Commit(FlushWrites, false);
  UnlockAll(nullptr);
  RestoreKeepOpen();
}

void TORVTableManager::Rollback() {
  if (!FOpened || !InTransaction() || InBatchUpdate()) return;
  for (TORVTableFileManager* File : TableFiles()) File->Rollback();
  FTransactionFailure = nullptr;
  UnlockAll(nullptr);
  RestoreKeepOpen();
}

void TORVTableManager::BeginBatchUpdate() {
  if (InTransaction()) return;
  SaveKeepOpen();
  TObjectLock Transaction(*this, ltTransaction);
  FTable->StartBatchUpdate();
  FTable->StartTransaction();
  try {
    for (TORVTableFileManager* File : TableFiles()) File->StartTransaction();
  } catch (...) {
    for (TORVTableFileManager* File : TableFiles()) UndoAfterFailure([File] { File->Rollback(); });
    RestoreKeepOpen();
    FTable->EndTransaction();
    FTable->EndBatchUpdate();
    throw;
  }
  // The transaction lock stays held until the batch ends.
  FBatchTransactionLock = Transaction.Keep();
  FTransactionFailure = nullptr;
  FKeepOpen = true;
}

void TORVTableManager::FlushBatchUpdate() {
  if (!InBatchUpdate()) return;
  if (FTransactionFailure) std::rethrow_exception(FTransactionFailure);
  TObjectLock WriteLock(*this, ltWrite);
  const bool FlushWrites = FDatabaseManager->GetSessionManager().GetFlushWrites();
  RaiseWritingFlags();
  for (TORVTableFileManager* File : TableFiles()) {
    File->Write(FlushWrites);
    File->AdjustBuffers(true);
  }
  WriteLock.Release();
  UnlockAll(nullptr);
}

void TORVTableManager::EndBatchUpdate() {
  if (!InBatchUpdate()) return;
  if (FTransactionFailure) std::rethrow_exception(FTransactionFailure);
  TObjectLock WriteLock(*this, ltWrite);
  const bool FlushWrites = FDatabaseManager->GetSessionManager().GetFlushWrites();
  RaiseWritingFlags();
  for (TORVTableFileManager* File : TableFiles()) File->Commit(FlushWrites, true);
  WriteLock.Release();
  ReleaseBatchTransactionLock();
  UnlockAll(nullptr);
  RestoreKeepOpen();
  FTable->EndTransaction();
  FTable->EndBatchUpdate();
}

void TORVTableManager::ReleaseBatchTransactionLock() {
  if (!FBatchTransactionLock) return;
  FBatchTransactionLock = false;
  UnlockObject(ltTransaction);
}

void TORVTableManager::AbortBatchUpdate() {
  if (!InBatchUpdate()) return;
  for (TORVTableFileManager* File : TableFiles()) File->Rollback();
  FTransactionFailure = nullptr;
  UnlockAll(nullptr);
  RestoreKeepOpen();
  FTable->EndTransaction();
  FTable->EndBatchUpdate();
  ReleaseBatchTransactionLock();
}

// ---------------------------------------------------------- file operations

// A fresh set of file managers for a table that need not be open.
struct TORVTableManager::TFileSet {
  explicit TFileSet(TORVTableManager* Owner, bool WithBlobs, bool WithUpdates)
      : Rows(std::make_unique<TORVRowsetManager>(Owner)), Indexes(std::make_unique<TORVIndexManager>(Owner)) {
    if (WithBlobs) Blobs = std::make_unique<TORVBlobManager>(Owner);
    if (WithUpdates) Updates = std::make_unique<TORVPublishedUpdatesManager>(Owner);
  }
  std::unique_ptr<TORVRowsetManager> Rows;
  std::unique_ptr<TORVIndexManager> Indexes;
  std::unique_ptr<TORVBlobManager> Blobs;
  std::unique_ptr<TORVPublishedUpdatesManager> Updates;
};

void TORVTableManager::CopyHeaders(TORVTableManager& TableManager) {
  for (TORVTableManager* Manager : {this, &TableManager})
    if (!Manager->GetOpened())
      RaiseError(ORV_NOT_OPEN_ERROR, {Manager->FTable->GetTypeName(), Manager->FTable->GetName(), u"CopyHeaders"});
  const std::pair<TORVTableFileManager*, TORVTableFileManager*> Pairs[] = {
      {FRowsetManager.get(), TableManager.FRowsetManager.get()},
      {FIndexManager.get(), TableManager.FIndexManager.get()},
      {FBlobManager.get(), TableManager.FBlobManager.get()},
      {FPublishedUpdatesManager.get(), TableManager.FPublishedUpdatesManager.get()},
  };
  // A file only one of the two tables has keeps its own header.
  for (const auto& [Target, Source] : Pairs)
    if (Target != nullptr && Source != nullptr) Target->CopyHeader(*Source);
}

void TORVTableManager::Rename(const TORVString& NewName, bool RenameRows, bool RenameIndexes, bool RenameBlobs,
                              bool RenameUpdates) {
  ForFiles(true, RenameRows, RenameIndexes, RenameBlobs && HasBlobFile(), RenameUpdates && HasPublishedFile(),
           [&NewName](TORVTableFileManager& File) { File.Rename(NewName); });
}

template <typename TAct>
void TORVTableManager::ForFiles(bool Fresh, bool Rows, bool Indexes, bool Blobs, bool Updates, TAct Act) {
  std::unique_ptr<TFileSet> Made;
  TORVTableFileManager* Files[4] = {FRowsetManager.get(), FIndexManager.get(), FBlobManager.get(),
                                    FPublishedUpdatesManager.get()};
  if (Fresh) {
    Made = std::make_unique<TFileSet>(this, Blobs, Updates);
    Files[0] = Made->Rows.get();
    Files[1] = Made->Indexes.get();
    Files[2] = Made->Blobs.get();
    Files[3] = Made->Updates.get();
  }
  const bool Asked[4] = {Rows, Indexes, Blobs, Updates};
  for (int32_t Index = 0; Index < 4; ++Index) {
    TORVTableFileManager* File = Files[Index];
    if (!Asked[Index] || File == nullptr) continue;
    if (Fresh) File->Initialize();
    Act(*File);
  }
}

void TORVTableManager::CreateBackupCopy(bool UseRename, bool BackupRows, bool BackupIndexes, bool BackupBlobs,
                                        bool BackupUpdates, bool ForceAll) {
  ForFiles(UseRename, BackupRows, BackupIndexes, BackupBlobs && (ForceAll || HasBlobFile()),
           BackupUpdates && (ForceAll || HasPublishedFile()),
           [UseRename](TORVTableFileManager& File) { File.CreateBackupCopy(UseRename); });
}

void TORVTableManager::RestoreBackupCopy(bool UseRename, bool RestoreRows, bool RestoreIndexes, bool RestoreBlobs,
                                         bool RestoreUpdates) {
  ForFiles(UseRename, RestoreRows, RestoreIndexes, RestoreBlobs && HasBlobFile(),
           RestoreUpdates && HasPublishedFile(), [UseRename](TORVTableFileManager& File) {
             File.RestoreBackupCopy(UseRename);
             // An open file put back under its cache reads itself again.
             if (!UseRename) File.DropCache();
           });
}

void TORVTableManager::DropBackupCopy(bool DropRows, bool DropIndexes, bool DropBlobs, bool DropUpdates) {
  UndoAfterFailure([&] {
    ForFiles(!FOpened, DropRows, DropIndexes, DropBlobs && HasBlobFile(), DropUpdates && HasPublishedFile(),
             [](TORVTableFileManager& File) { UndoAfterFailure([&File] { File.DropBackupCopy(); }); });
  });
}

void TORVTableManager::Drop(bool ForceAll) {
  UndoAfterFailure([&] { DropFiles(true, true, ForceAll || HasBlobFile(), ForceAll || HasPublishedFile()); });
}

}  // namespace orv
