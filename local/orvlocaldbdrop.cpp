#include "local/orvlocaldbmgr.h"

#include <exception>
#include <memory>
#include <stdexcept>

#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvcursor.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvfilepath.h"
#include "eval/orvtablemgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginesettings.h"

namespace orv {

// ---------------------------------------------------------------------------
// Drop and rename

void TORVLocalDatabaseManager::OpenFilesExclusive() {
  FLockManager->Open();
  try {
    FCatalogManager->Open();
    LockDatabase(ltExclusive);
  } catch (...) {
    UndoAfterFailure([this] { CloseFiles(false); });
    throw;
  }
}

void TORVLocalDatabaseManager::DropTableFiles(TORVBaseTable* Table) {
  auto* Manager = static_cast<TORVTableManager*>(FTableManagers->Get(Table, true));
  Manager->Drop(false);
  // The table manager drops quietly; a file still there is deleted once
  // more so that its own failure, with the system's reason, stops the drop
  // while the catalog still lists every table not yet gone.
  const TORVEngineManagerSettings& Settings = FSessionManager->GetSettings();
  std::vector<TORVString> Extensions{Settings.GetRowExtension(), Settings.GetIndexExtension()};
  if (Table->GetColumns().GetHasBlobColumns()) Extensions.push_back(Settings.GetBlobExtension());
  if (Table->GetIsPublished()) Extensions.push_back(Settings.GetPublishExtension());
  for (const TORVString& Extension : Extensions) {
    const TORVString FileName = GetFullFileName(Table->GetInternalName() + Extension);
    if (FFileManager->FileExists(FileName, TORVFileOptions())) FFileManager->DeleteFile(FileName);
  }
}

void TORVLocalDatabaseManager::DropSchemaObjects() {
  TORVSchema* Schema = FCatalog->GetDefaultSchema();
  TORVBaseTables& Tables = Schema->GetBaseTables();
  for (int32_t Index = Tables.GetCount() - 1; Index >= 0; --Index) {
    TORVBaseTable* Table = Tables.GetTable(Index);
    DropTableFiles(Table);
    std::unique_ptr<TORVBaseTable> Dropped(Table);
    Tables.Remove(Table);
    FTableManagers->Remove(Table);
  }
  for (TORVConfigObjects* List : std::initializer_list<TORVConfigObjects*>{
           &Schema->GetViews(), &Schema->GetProcedures(), &Schema->GetFunctions()}) {
    for (int32_t Index = List->GetCount() - 1; Index >= 0; --Index) {
      std::unique_ptr<TORVConfigObject> Dropped(List->GetObjects(Index));
      List->Remove(Dropped.get());
    }
  }
}

void TORVLocalDatabaseManager::Drop(bool KeepContents) {
  const TORVString FullPath = GetFullPath();
  if (KeepContents || !FFileManager->PathExists(FullPath)) return;
  ClearCachedManagers(true);
  OpenFilesExclusive();
  try {
    DropSchemaObjects();
  } catch (...) {
    // The catalog, the lock file and the folder stay, so that what was not
    // dropped can still be reached.
    UndoAfterFailure([this] { CloseFiles(true); });
    throw;
  }
  TORVFirstFailure Steps;
  Steps.Run([this] { UnlockDatabase(ltExclusive); });
  Steps.Run([this] {
    FCatalogManager->Drop();
    // Dropping keeps a copy of the catalog, which would hold the folder.
    FCatalogManager->DropBackupCopy();
  });
  Steps.Run([this] { FLockManager->Drop(); });
  FUseCount = 0;
  // Never recursive: a file the database did not make keeps its folder.
  if (!FFileManager->GetVirtualOnly()) FFileManager->DeletePath(FullPath);
  Steps.Rethrow();
}

void TORVLocalDatabaseManager::Rename(const TORVString& NewName) {
  if (!FFileManager->PathExists(GetFullPath())) return;
  ClearCachedManagers(true);
  OpenFilesExclusive();
  try {
    FDatabase->SetName(NewName);
  } catch (...) {
    UndoAfterFailure([this] { CloseFiles(true); });
    throw;
  }
  CloseFiles(true);
}

// ---------------------------------------------------------------------------
// Grants

TORVPrivilegedConfigObject* TORVLocalDatabaseManager::FindGrantObject(const TORVString& ObjectName,
                                                                      int32_t ObjectType) {
  TORVSchema* Schema = FCatalog->GetDefaultSchema();
  TORVConfigObjects* List = nullptr;
  switch (ObjectType) {
    case 0: List = &Schema->GetBaseTables(); break;
    case 1: List = &Schema->GetViews(); break;
    case 2: List = &Schema->GetProcedures(); break;
    case 3: List = &Schema->GetFunctions(); break;
    default: throw std::logic_error("grant on an object type other than 0 .. 3");
  }
  return static_cast<TORVPrivilegedConfigObject*>(List->FindByName(ObjectName, true));
}

void TORVLocalDatabaseManager::ChangePrivilege(const TORVString& StatementText, const TORVString& AuthorizationName,
                                               const TORVString& ObjectName, int32_t ObjectType,
                                               const TORVString& PrivilegeName, bool Grant,
                                               const std::function<void(TORVPrivilegedConfigObject&,
                                                                        TORVAuthorization&)>& Change) {
  CheckOpened(StatementText);
  FSessionManager->CheckAdministrator(StatementText);
  CheckNotReadOnly(StatementText);
  TORVConfig* Config = FSessionManager->GetConfig();
  TORVObjectReadScope ConfigRead(*FSessionManager->GetConfigManager());
  FCatalogManager->BeginUpdate();
  try {
    auto* Authorization =
        static_cast<TORVAuthorization*>(Config->GetAuthorizations().FindByName(AuthorizationName, true));
    TORVPrivilegedConfigObject* Object = FindGrantObject(ObjectName, ObjectType);
    auto Status = [&](int32_t State) {
      if (Grant)
        FSessionManager->GrantPrivilegeStatus(State, Object, PrivilegeName);
      else
        FSessionManager->RevokePrivilegeStatus(State, Object, PrivilegeName);
    };
    Status(0);
    try {
      if (!FSessionManager->SystemUser(nullptr)) Object->CheckSystemObject();
      Change(*Object, *Authorization);
      FCatalogManager->EndUpdate();
      Status(2);
    } catch (...) {
      UndoAfterFailure([&] { Status(1); });
      throw;
    }
  } catch (...) {
    UndoAfterFailure([this] { FCatalogManager->CancelUpdate(); });
    throw;
  }
}

void TORVLocalDatabaseManager::GrantPrivilege(const TORVString& AuthorizationName, const TORVString& ObjectName,
                                              int32_t ObjectType, int32_t PrivilegeToGrant) {
  const TORVString PrivilegeName = GetPrivilegeName(PrivilegeToGrant);
  ChangePrivilege(FormatString(u"GRANT %s ON %s TO %s", {PrivilegeName, ObjectName, AuthorizationName}),
                  AuthorizationName, ObjectName, ObjectType, PrivilegeName, true,
                  [this, PrivilegeToGrant](TORVPrivilegedConfigObject& Object, TORVAuthorization& To) {
                    if (PrivilegeToGrant == PrivilegeAll)
                      Object.GrantAllPrivileges(FSessionManager->GetCurrentUser(), &To);
                    else
                      Object.GrantPrivilege(FSessionManager->GetCurrentUser(), &To, PrivilegeToGrant);
                  });
}

void TORVLocalDatabaseManager::RevokePrivilege(const TORVString& AuthorizationName, const TORVString& ObjectName,
                                               int32_t ObjectType, int32_t PrivilegeToRevoke) {
  const TORVString PrivilegeName = GetPrivilegeName(PrivilegeToRevoke);
  ChangePrivilege(FormatString(u"REVOKE %s ON %s FROM %s", {PrivilegeName, ObjectName, AuthorizationName}),
                  AuthorizationName, ObjectName, ObjectType, PrivilegeName, false,
                  [PrivilegeToRevoke](TORVPrivilegedConfigObject& Object, TORVAuthorization& From) {
                    if (PrivilegeToRevoke == PrivilegeAll)
                      Object.RevokeAllPrivileges(&From);
                    else
                      Object.RevokePrivilege(&From, PrivilegeToRevoke);
                  });
}

// ---------------------------------------------------------------------------
// Trace

TORVString TORVLocalDatabaseManager::GetTraceData() {
  TORVString Result;
  auto Append = [&Result](const TORVString& Item) {
    if (!Result.empty()) Result += u"\r\n\r\n";
    Result += Item;
  };
  Append(u"Database Objects");
  int32_t Handle = 0;
  TORVHandleObject* Object = nullptr;
  while (GetCursors().NextObject(Handle, Object))
    Append(u"Cursor: " + static_cast<TORVCursor*>(Object)->GetName());
  Append(u"Temporary Views/Tables");
  if (FCatalog == nullptr) return Result;
  TORVSchema* Schema = FCatalog->GetDefaultSchema();
  TORVViews& Views = Schema->GetTemporaryViews();
  for (int32_t Index = 0; Index < Views.GetCount(); ++Index)
    Append(u"View: " + Views.GetView(Index)->GetDefinition().GetExpression());
  TORVTemporaryTables& Tables = Schema->GetTemporaryTables();
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) Append(u"Table: " + Tables.GetTable(Index)->GetName());
  return Result;
}

}  // namespace orv
