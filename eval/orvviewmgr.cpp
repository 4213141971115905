#include "eval/orvviewmgr.h"

#include <exception>
#include <stdexcept>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcursor.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "eval/orvqueryexecvalue.h"
#include "sql/orvexprtoken.h"

namespace orv {

namespace {

// Token, then its left operand, right operand and arguments, depth first;
// Visit sees every node once.
template <typename TVisit>
void WalkTokens(TORVExprToken* Token, TVisit&& Visit) {
  std::vector<TORVExprToken*> Pending;
  if (Token != nullptr) Pending.push_back(Token);
  while (!Pending.empty()) {
    TORVExprToken* Current = Pending.back();
    Pending.pop_back();
    Visit(Current);
    // Pushed in reverse so that they come off in order.
    for (int32_t I = Current->GetNumArguments() - 1; I >= 0; --I) {
      if (TORVExprToken* Argument = Current->GetArgument(I)) Pending.push_back(Argument);
    }
    if (TORVExprToken* Right = Current->GetRightToken()) Pending.push_back(Right);
    if (TORVExprToken* Left = Current->GetLeftToken()) Pending.push_back(Left);
  }
}

TORVQueryExecutionValue* ExecutionValueOf(TORVExprToken* Token) {
  if (Token->FTokenType != ttQUERY && Token->FTokenType != ttTABLEREF) return nullptr;
  return dynamic_cast<TORVQueryExecutionValue*>(Token->FValue.get());
}

}  // namespace

TORVViewManager::TORVViewManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVView* ViewToManage)
    : TORVVirtualTableManager(OwnerDatabaseManager, ViewToManage), FView(ViewToManage) {}

TORVViewManager::~TORVViewManager() = default;

void TORVViewManager::InternalOpen() {
  TORVSchemaObjectOwner& Session = *FDatabaseManager;
  TORVSystemUserScope AsSystem(Session);
  // A derived table only derives its columns here.
  FView->Compile();
  TORVManagerContextScope Context(Session);
  FQueryManager = Session.CreateViewQueryManager(*this);
  FQueryManager->FWantLiveResult = true;
  FQueryManager->FWantConstrained = FView->GetWithCheck();
}

void TORVViewManager::InternalInitialize() {
  TORVVirtualTableManager::InternalInitialize();
  TORVSchemaObjectOwner& Session = *FDatabaseManager;
  TORVSystemUserScope AsSystem(Session);
  TORVManagerContextScope Context(Session);
  TORVViewQueryManager& Query = QueryManager(u"INITIALIZE");
  Query.Prepare();
  Query.OpenResultTableManager(true);
  SetBaseTableManager();
}

void TORVViewManager::SetBaseTableManager() {
  TORVVirtualTableManager* Current = FQueryManager != nullptr ? FQueryManager->GetResultTableManager() : nullptr;
  // A view over a view: follow each inner view to its own result.
  while (auto* Inner = dynamic_cast<TORVViewManager*>(Current)) {
    if (Inner == this) throw std::logic_error("a view whose result is itself");
    Current = Inner->FQueryManager != nullptr ? Inner->FQueryManager->GetResultTableManager() : nullptr;
  }
  FBaseTableManager = Current;
}

void TORVViewManager::InternalReset() {
  FBaseTableManager = nullptr;
  if (FQueryManager != nullptr) {
    FQueryManager->CloseResultTableManager();
    // A derived table (a temporary view) has its query state reset by the
    // statement that owns it.
    if (!FView->GetTemporary()) {
      FQueryManager->Reset();
      TORVExprToken* Tokens = FView->GetDefinition().FTokens;
      ResetQueryExecution(Tokens);
      TORVSchemaObjectOwner& Session = *FDatabaseManager;
      TORVManagerContextScope Context(Session);
      Session.GetEvaluator().Reset(Tokens);
    }
  }
  TORVVirtualTableManager::InternalReset();
}

void TORVViewManager::InternalClose() {
  FQueryManager.reset();
  FView->Decompile();
}

std::unique_ptr<TORVCursor> TORVViewManager::CreateCursor(const TORVString& CursorName, bool OpenReadOnly,
                                                          bool /*OpenExclusive*/, bool Indexed) {
  TORVSchemaObjectOwner& Session = *FDatabaseManager;
  TORVViewQueryManager& Query = QueryManager(u"CREATE CURSOR");
  TORVSystemUserScope AsSystem(Session);
  TORVManagerContextScope Context(Session);
  InitializeQueryExecution(FView->GetDefinition().FTokens);
  return Query.Execute(true, CursorName, OpenReadOnly, Indexed, false);
}

void TORVViewManager::InitializeQueryExecution(TORVExprToken* Token) {
  WalkTokens(Token, [](TORVExprToken* Current) {
    if (TORVQueryExecutionValue* Value = ExecutionValueOf(Current)) {
      Value->Initialize();
    } else if (Current->FTokenType == ttFUNCREF && Current->FTokenOperator == toRUNSUM && Current->FValue != nullptr) {
      Current->FValue->SetAsNull(true);
    }
  });
}

void TORVViewManager::ResetQueryExecution(TORVExprToken* Token) {
  WalkTokens(Token, [](TORVExprToken* Current) {
    if (TORVQueryExecutionValue* Value = ExecutionValueOf(Current)) Value->Reset();
  });
}

void TORVViewManager::NotOpenError(const char16_t* Operation) const {
  throw MakeError(ORV_NOT_OPEN_ERROR, {FView->GetTypeName(), FView->GetName(), Operation});
}

TORVVirtualTableManager& TORVViewManager::Base(const char16_t* Operation) const {
  if (FBaseTableManager == nullptr) NotOpenError(Operation);
  return *FBaseTableManager;
}

TORVViewQueryManager& TORVViewManager::QueryManager(const char16_t* Operation) const {
  if (FQueryManager == nullptr) NotOpenError(Operation);
  return *FQueryManager;
}

TORVRowsetManager* TORVViewManager::RowsetManager() { return Base(u"RowsetManager").RowsetManager(); }
TORVIndexManager* TORVViewManager::IndexManager() { return Base(u"IndexManager").IndexManager(); }
TORVBlobManager* TORVViewManager::BlobManager() { return Base(u"BlobManager").BlobManager(); }
TORVPublishedUpdatesManager* TORVViewManager::PublishedUpdatesManager() {
  return Base(u"PublishedUpdatesManager").PublishedUpdatesManager();
}
int32_t TORVViewManager::GetRowCount() { return Base(u"GetRowCount").GetRowCount(); }
int32_t TORVViewManager::GetPhysicalRowCount() { return Base(u"GetPhysicalRowCount").GetPhysicalRowCount(); }
int32_t TORVViewManager::GetRowSize() { return Base(u"GetRowSize").GetRowSize(); }
int32_t TORVViewManager::GetUpdateCounter() { return Base(u"GetUpdateCounter").GetUpdateCounter(); }
int32_t TORVViewManager::GetBatchSize() { return Base(u"GetBatchSize").GetBatchSize(); }
bool TORVViewManager::GetEncrypted() { return Base(u"GetEncrypted").GetEncrypted(); }

TORVColumns& TORVViewManager::GetColumns() const { return Base(u"GetColumns").GetVirtualTable()->GetColumns(); }
TORVIndexes& TORVViewManager::GetIndexes() const { return Base(u"GetIndexes").GetVirtualTable()->GetIndexes(); }

void TORVViewManager::InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                                int32_t& NewRowUpdateCounter, bool KeepExistingValues) {
  Base(u"InsertRow").InsertRow(NewRowValues, NewRowNumber, NewRowVersion, NewRowUpdateCounter, KeepExistingValues);
}

void TORVViewManager::UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
                                int32_t ExistingRowVersion, int32_t& ExistingRowUpdateCounter) {
  Base(u"UpdateRow").UpdateRow(ExistingRowValues, ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter);
}

void TORVViewManager::DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber,
                                int32_t ExistingRowVersion, int32_t& ExistingRowUpdateCounter) {
  Base(u"DeleteRow").DeleteRow(ExistingRowValues, ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter);
}

bool TORVViewManager::CheckForChanges(bool ManualRefresh) {
  return Base(u"CheckForChanges").CheckForChanges(ManualRefresh);
}
void TORVViewManager::BeginBatchUpdate() { Base(u"BeginBatchUpdate").BeginBatchUpdate(); }
void TORVViewManager::FlushBatchUpdate() { Base(u"FlushBatchUpdate").FlushBatchUpdate(); }
void TORVViewManager::EndBatchUpdate() { Base(u"EndBatchUpdate").EndBatchUpdate(); }
void TORVViewManager::AbortBatchUpdate() { Base(u"AbortBatchUpdate").AbortBatchUpdate(); }
void TORVViewManager::Flush() { Base(u"Flush").Flush(); }

void TORVViewManager::Refresh(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
                              bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) {
  Base(u"Refresh").Refresh(RowNumber, RowVersion, RowUpdateCounter, RowID, SkipRowModifiedCheck,
                           ForceRowModifiedCheck);
}

bool TORVViewManager::LockAndRefresh(TORVBaseObject* RowOwner, int32_t RowNumber, int32_t RowVersion,
                                     int32_t RowUpdateCounter, int32_t RowID, bool SkipRowModifiedCheck,
                                     bool ForceRowModifiedCheck, bool KeepTransactionLock) {
  return Base(u"LockAndRefresh")
      .LockAndRefresh(RowOwner, RowNumber, RowVersion, RowUpdateCounter, RowID, SkipRowModifiedCheck,
                      ForceRowModifiedCheck, KeepTransactionLock);
}

void TORVViewManager::CheckLockVisibility(int32_t LockedRowNumber, int32_t RowNumber) {
  Base(u"CheckLockVisibility").CheckLockVisibility(LockedRowNumber, RowNumber);
}
void TORVViewManager::Unlock(int32_t RowNumber) { Base(u"Unlock").Unlock(RowNumber); }
void TORVViewManager::UnlockAll(TORVBaseObject* LockOwner) { Base(u"UnlockAll").UnlockAll(LockOwner); }
std::unique_ptr<TORVRowsetRow> TORVViewManager::CreateNewRow() { return Base(u"CreateNewRow").CreateNewRow(); }
TORVRowsetRow* TORVViewManager::GetRow(int32_t RowNumber, int32_t Direction) {
  return Base(u"GetRow").GetRow(RowNumber, Direction);
}
void TORVViewManager::PutRow(TORVRowsetRow* Row) { Base(u"PutRow").PutRow(Row); }
bool TORVViewManager::CreateIndex(int32_t IndexNumber, bool CreateEmpty) {
  return Base(u"CreateIndex").CreateIndex(IndexNumber, CreateEmpty);
}
void TORVViewManager::BeginAlterIndex(int32_t IndexNumber) { Base(u"BeginAlterIndex").BeginAlterIndex(IndexNumber); }
bool TORVViewManager::EndAlterIndex(int32_t IndexNumber, bool RemoveDuplicateRows) {
  return Base(u"EndAlterIndex").EndAlterIndex(IndexNumber, RemoveDuplicateRows);
}
void TORVViewManager::CancelAlterIndex(int32_t IndexNumber) {
  Base(u"CancelAlterIndex").CancelAlterIndex(IndexNumber);
}
bool TORVViewManager::DropIndex(int32_t IndexNumber, bool CreateBackup) {
  return Base(u"DropIndex").DropIndex(IndexNumber, CreateBackup);
}

bool TORVViewManager::Empty(bool IgnoreConstraints) {
  TORVVirtualTableManager& Target = Base(u"Empty");
  TORVVirtualTableManager::Empty(IgnoreConstraints);
  return Target.Empty(IgnoreConstraints);
}

void TORVViewManager::ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                                     bool Decompress) {
  Base(u"ReadBlobStream").ReadBlobStream(RowVersion, BlockNumber, BlobStream, Decompress);
}

void TORVViewManager::WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                      int32_t BlobCompression, int32_t& CompressedSize) {
  Base(u"WriteBlobStream").WriteBlobStream(RowVersion, BlockNumber, BlobStream, BlobCompression, CompressedSize);
}

void TORVViewManager::ReadPublishedUpdatesStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream,
                                                 bool Decompress) {
  Base(u"ReadPublishedUpdatesStream").ReadPublishedUpdatesStream(BlockNumber, PublishedUpdatesStream, Decompress);
}

void TORVViewManager::WritePublishedUpdatesStream(TORVMemoryStream& PublishedUpdatesStream,
                                                  int32_t PublishedUpdatesCompression) {
  Base(u"WritePublishedUpdatesStream").WritePublishedUpdatesStream(PublishedUpdatesStream, PublishedUpdatesCompression);
}

TORVRoutineManager::TORVRoutineManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVRoutine* RoutineToManage)
    : TORVSchemaObjectManager(OwnerDatabaseManager, RoutineToManage), FRoutine(RoutineToManage) {}

void TORVRoutineManager::InternalOpen() {
  TORVSystemUserScope AsSystem(*FDatabaseManager);
  FRoutine->Compile();
  if (FRoutine->GetImplementationType() == riExternal) FRoutine->OpenModule();
}

void TORVRoutineManager::InternalInitialize() {
  TORVSchemaObjectManager::InternalInitialize();
  if (FRoutine->GetImplementationType() != riSQL) return;
  TORVSchemaObjectOwner& Session = *FDatabaseManager;
  TORVSystemUserScope AsSystem(Session);
  TORVManagerContextScope Context(Session);
  Session.GetEvaluator().Initialize(FRoutine->GetDefinition().FTokens);
}

void TORVRoutineManager::InternalReset() {
  if (FRoutine->GetImplementationType() == riSQL) {
    TORVSchemaObjectOwner& Session = *FDatabaseManager;
    TORVManagerContextScope Context(Session);
    Session.GetEvaluator().Reset(FRoutine->GetDefinition().FTokens);
  }
  TORVSchemaObjectManager::InternalReset();
}

void TORVRoutineManager::InternalClose() {
  // Closing a routine never fails: what goes wrong is logged instead, and
  // a module that failed to close still leaves the routine decompiled.
  TORVSchemaObjectOwner& Session = *FDatabaseManager;
  try {
    if (FRoutine->GetImplementationType() == riExternal) FRoutine->CloseModule();
  } catch (const std::exception& Exception) {
    Session.HandleException(Exception, CloseFunctionCode);
  }
  try {
    FRoutine->Decompile();
  } catch (const std::exception& Exception) {
    Session.HandleException(Exception, CloseFunctionCode);
  }
}

}  // namespace orv
