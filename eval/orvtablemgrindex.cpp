// The index changes of a table manager: creating, altering and dropping an
// index with the index file's backup copy to fall back on, and building an
// index's keys from the stored rows.
#include <memory>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvsessionmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvindexpage.h"
#include "storage/orvrowsfile.h"

namespace orv {

TORVIndexManager& TORVTableManager::OpenIndexFile(const TORVString& Operation) {
  if (!GetOpened() || !FIndexManager)
    RaiseError(ORV_NOT_OPEN_ERROR, {FTable->GetTypeName(), FTable->GetName(), Operation});
  return *FIndexManager;
}

int32_t TORVTableManager::CalculateIndexSpace(int32_t IndexNumber) {
  return OpenIndexFile(u"CalculateIndexSpace").CalculateSpace(IndexNumber);
}

int32_t TORVTableManager::CalculateIndexSlackSpace(int32_t IndexNumber) {
  return OpenIndexFile(u"CalculateIndexSlackSpace").CalculateSlackSpace(IndexNumber);
}

int32_t TORVTableManager::CalculateIndexInternalPages(int32_t IndexNumber) {
  return OpenIndexFile(u"CalculateIndexInternalPages").CalculateInternalPages(IndexNumber);
}

TORVString TORVTableManager::DumpIndex(int32_t IndexNumber, bool RowIDs) {
  return OpenIndexFile(u"DumpIndex").DumpIndex(IndexNumber, RowIDs);
}

void TORVTableManager::CreateIndexBackupCopy() { FIndexManager->CreateBackupCopy(false); }

void TORVTableManager::RestoreIndexBackupCopy() {
  FIndexManager->RestoreBackupCopy(false);
  // The cache still holds the pages and header of the change just taken
  // back; a later write of them would undo the restore.
  FIndexManager->DropCache();
  FIndexManager->DropBackupCopy();
  ClearModified();
}

void TORVTableManager::DropIndexBackupCopy() {
  FIndexManager->DropBackupCopy();
  ClearModified();
}

void TORVTableManager::DropIndexChanges() noexcept {
  // Rows a duplicate removal marked deleted go with the index they were
  // removed for.
  if (!InTransaction() && !ExclusivelyLocked()) UndoAfterFailure([this] { FRowsetManager->CancelWrite(); });
  UndoAfterFailure([this] { RestoreIndexBackupCopy(); });
}

bool TORVTableManager::CreateIndex(int32_t IndexNumber, bool CreateEmpty) {
  CreateIndexBackupCopy();
  bool Result = false;
  try {
    AddIndexNavigator(IndexNumber);
    AddKeyValues(IndexNumber);
    FIndexManager->CreateIndex(IndexNumber);
    Result = CreateEmpty || BuildIndex(IndexNumber, false);
  } catch (...) {
    UndoAfterFailure([&] {
      ClearKeyValues(IndexNumber);
      ClearIndexNavigator(IndexNumber);
    });
    DropIndexChanges();
    throw;
  }
  if (Result) {
    SetModified();
  } else {
    ClearKeyValues(IndexNumber);
    ClearIndexNavigator(IndexNumber);
    DropIndexChanges();
  }
  return Result;
}

void TORVTableManager::BeginAlterIndex(int32_t IndexNumber) {
  CreateIndexBackupCopy();
  try {
    FIndexManager->AlterIndex(IndexNumber);
    ClearKeyValues(IndexNumber);
    ClearIndexNavigator(IndexNumber);
    SetModified();
  } catch (...) {
    DropIndexChanges();
    throw;
  }
}

bool TORVTableManager::EndAlterIndex(int32_t IndexNumber, bool RemoveDuplicateRows) {
  bool Result = false;
  try {
    ClearKeyValues(IndexNumber);
    ClearIndexNavigator(IndexNumber);
    AddIndexNavigator(IndexNumber);
    AddKeyValues(IndexNumber);
    Result = BuildIndex(IndexNumber, RemoveDuplicateRows);
  } catch (...) {
    DropIndexChanges();
    throw;
  }
  if (Result)
    SetModified();
  else
    DropIndexChanges();
  return Result;
}

void TORVTableManager::CancelAlterIndex(int32_t /*IndexNumber*/) { RestoreIndexBackupCopy(); }

bool TORVTableManager::DropIndex(int32_t IndexNumber, bool CreateBackup) {
  if (CreateBackup) CreateIndexBackupCopy();
  bool Result = false;
  try {
    Result = FIndexManager->DropIndex(IndexNumber);
  } catch (...) {
    if (CreateBackup) DropIndexChanges();
    throw;
  }
  if (Result) {
    DeleteKeyValues(IndexNumber);
    DeleteIndexNavigator(IndexNumber);
    SetModified();
  } else if (CreateBackup) {
    DropIndexChanges();
  }
  return Result;
}

bool TORVTableManager::BuildIndex(int32_t IndexNumber, bool RemoveDuplicateRows) {
  TORVSessionManager& Session = GetSessionManager();
  Session.StartProgress();
  struct TProgressEnd {
    TORVSessionManager& Session;
    ~TProgressEnd() { UndoAfterFailure([this] { Session.EndProgress(); }); }
  } ProgressEnd{Session};
  std::unique_ptr<TORVRowsetRow> Row = CreateNewRow();
  TORVRowsetRowValues Values(FRowsetManager.get(), GetSessionSettings().GetCharacterSet());
  Values.SetRow(Row.get());
  const int32_t LastNumber = FRowsetManager->GetLastNumber();
  bool Continue = true;
  for (int32_t RowNumber = 1; RowNumber <= LastNumber && Continue; ++RowNumber) {
    TORVRowsetRow* Stored = GetRow(RowNumber, 1);
    const bool Live = Stored->GetStatus() != TORVRowsetRow::StatusDeleted;
    if (Live) Row->Assign(*Stored);
    PutRow(Stored);
    if (Live) {
      try {
        InsertNewKey(Values, RowNumber, IndexNumber);
      } catch (const EORVDuplicateKeyException&) {
        if (!RemoveDuplicateRows) throw;
        // The later duplicate goes as a delete would take it, with its keys
        // in the table's other indexes, so that every index still walks
        // the rows a scan finds.
        ForEachIndex([&](int32_t Other) {
          if (Other != IndexNumber) DeleteExistingKey(Values, RowNumber, Other);
        });
        int32_t UpdateCounter = 0;
        FRowsetNavigator->Delete(Values, RowNumber, UpdateCounter);
        FIndexBuildDeletedRows = true;
      }
    }
    Continue = Session.CheckProgressInterval(static_cast<int32_t>(static_cast<int64_t>(RowNumber) * 100 / LastNumber));
  }
  return Continue;
}

}  // namespace orv
