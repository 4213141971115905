// What a local database hands out to use its objects: schemas, table and
// view managers, cursors over them and routine managers, and the reset of
// what its prepared managers and cursors built.
#include <exception>
#include <memory>

#include "base/orverrors.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcursor.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvcommon.h"
#include "core/orvpreparedmgr.h"
#include "eval/orvtablemgr.h"
#include "eval/orvviewmgr.h"
#include "exec/orvlocalcursor.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"

namespace orv {

TORVSchema* TORVLocalDatabaseManager::GetSchema(const TORVString& SchemaName) {
  if (SchemaName.empty()) return FCatalog->GetDefaultSchema();
  return static_cast<TORVSchema*>(FCatalog->GetSchemas().FindByName(SchemaName, true));
}

TORVVirtualTableManager* TORVLocalDatabaseManager::OpenTableManager(const TORVString& SchemaName,
                                                                    const TORVString& TableName,
                                                                    bool OpenExclusive) {
  CheckOpened(FormatString(u"OPEN TABLE %s", {TableName}));
  TORVObjectReadScope Read(*FCatalogManager);
  TORVSchema* Schema = GetSchema(SchemaName);
  // The temporary tables and views come first: the catalog's lookup asks
  // them before the stored tables and views.
  TORVVirtualTable* Object =
      FCatalog->FindVirtualTable(Schema, TableName, FSessionManager->GetCurrentUser(), true, true);
  const TORVLockType LockType = OpenExclusive ? ltExclusive : ltShared;

  TORVSchemaObjectManager* Opened = nullptr;
  bool CheckChanges = true;
  if (auto* Table = dynamic_cast<TORVBaseTable*>(Object)) {
    if (!Table->GetReadOnly()) Table->SetReadOnly(FDatabase->GetReadOnly());
    // A maintenance copy is this session's alone: no other session can
    // reach it, so it takes no lock.
    Opened = FTableManagers->Open(Table, Table->GetMaintenance() ? ltNone : LockType);
  } else {
    auto* View = static_cast<TORVView*>(Object);
    Opened = FViewManagers->Open(View, LockType);
    CheckChanges = !View->GetTemporary();
  }
  auto* Manager = static_cast<TORVVirtualTableManager*>(Opened);
  if (CheckChanges) {
    try {
      // The check leaves the object read-locked for the caller.
      Manager->CheckForChanges(false);
      Manager->UnlockObject(ltRead);
    } catch (...) {
      UndoAfterFailure([Manager] { Manager->Close(false, true, true); });
      throw;
    }
  }
  return Manager;
}

TORVCursor* TORVLocalDatabaseManager::OpenTableCursor(const TORVString& SchemaName, const TORVString& TableName,
                                                      bool OpenReadOnly, bool OpenExclusive, bool Indexed) {
  try {
    TORVVirtualTableManager* Manager = OpenTableManager(SchemaName, TableName, OpenExclusive);
    std::unique_ptr<TORVCursor> Cursor;
    try {
      Cursor = Manager->CreateCursor(TableName, OpenReadOnly, OpenExclusive, Indexed);
      // A cursor that did not register itself is registered here, so that
      // the cursor table owns every cursor handed out.
      if (GetCursors().FindObject(Cursor->GetHandle()) != Cursor.get()) GetCursors().AddObject(Cursor.get(), false);
    } catch (...) {
      Cursor.reset();
      UndoAfterFailure([Manager] { Manager->Close(false, true, true); });
      throw;
    }
    return Cursor.release();
  } catch (const std::exception& E) {
    FSessionManager->HandleException(E, OpenTableFunctionCode);
    throw;
  }
}

std::unique_ptr<TORVCursor> TORVLocalDatabaseManager::CreateLocalCursor(TORVVirtualTableManager& Manager,
                                                                      const TORVString& CursorName,
                                                                      bool OpenReadOnly, bool OpenExclusive,
                                                                      bool Indexed) {
  if (Indexed) return nullptr;
  return std::make_unique<TORVLocalCursor>(&Manager, CursorName, OpenReadOnly, OpenExclusive);
}

TORVCursor* TORVLocalDatabaseManager::OpenTable(const TORVString& SchemaName, const TORVString& TableName,
                                                bool OpenReadOnly, bool OpenExclusive) {
  return OpenTableCursor(SchemaName, TableName, OpenReadOnly, OpenExclusive, true);
}

TORVCursor* TORVLocalDatabaseManager::OpenQueryTable(const TORVString& SchemaName, const TORVString& TableName,
                                                     bool OpenReadOnly) {
  return OpenTableCursor(SchemaName, TableName, OpenReadOnly, false, false);
}

TORVRoutineManager* TORVLocalDatabaseManager::OpenRoutine(const TORVString& SchemaName,
                                                          const TORVString& RoutineName) {
  TORVObjectReadScope Read(*FCatalogManager);
  TORVSchema* Schema = GetSchema(SchemaName);
  TORVUser* User = FSessionManager->GetCurrentUser();
  TORVRoutine* Routine = Schema->FindProcedure(RoutineName, User, false);
  if (Routine == nullptr) Routine = Schema->FindFunction(RoutineName, User, false);
  if (Routine == nullptr) Schema->GetRoutines().ObjectNameNotFoundError(RoutineName);
  return static_cast<TORVRoutineManager*>(FRoutineManagers->Open(Routine, ltShared));
}

// ---------------------------------------------------------------------------
// Reset

template <typename TWork>
void TORVLocalDatabaseManager::WhileResetting(TWork Work) {
  // A reset run from within a reset (a prepared manager closing its
  // database) does nothing more.
  if (FResetting) return;
  TORVFlagScope Resetting(FResetting);
  Work();
}

void TORVLocalDatabaseManager::Reset() {
  WhileResetting([this] {
    for (TORVHandleObjects* List : {&GetScriptManagers(), &GetProcedureManagers(), &GetStatementManagers()}) {
      int32_t Handle = 0;
      TORVHandleObject* Object = nullptr;
      while (List->NextObject(Handle, Object)) static_cast<TORVPreparedManager*>(Object)->Reset();
    }
  });
}

void TORVLocalDatabaseManager::ResetCursors() {
  WhileResetting([this] {
    int32_t Handle = 0;
    TORVHandleObject* Object = nullptr;
    while (GetCursors().NextObject(Handle, Object)) {
      auto* Cursor = static_cast<TORVCursor*>(Object);
      if (Cursor->GetReadsThroughViews()) Cursor->Reset();
    }
  });
}

}  // namespace orv
