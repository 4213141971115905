#include "eval/orvschemaobjmgr.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvlockable.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtable.h"
#include "core/orvsessionmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvlockmgr.h"

namespace orv {

namespace {

[[noreturn]] void NoTableServices() { throw std::logic_error("the database owner opens no base table"); }

}  // namespace

TORVFileManager* TORVSchemaObjectOwner::GetFileManagerForSchema(const TORVString&) { NoTableServices(); }
TORVSchemaObjectManagers& TORVSchemaObjectOwner::GetTableManagers() { NoTableServices(); }
TORVEngineManagerSettings& TORVSchemaObjectOwner::GetSessionSettings() { NoTableServices(); }
TORVCompressionManager& TORVSchemaObjectOwner::GetCompressionManager() { NoTableServices(); }
int32_t TORVSchemaObjectOwner::GetSessionHandle() { NoTableServices(); }
TORVString TORVSchemaObjectOwner::GetDatabaseName() { NoTableServices(); }
TORVString TORVSchemaObjectOwner::GetDatabaseFullPath() { NoTableServices(); }
bool TORVSchemaObjectOwner::GetDatabaseSessionIsolation() { NoTableServices(); }
void TORVSchemaObjectOwner::LogEvent(int32_t, int32_t, int32_t, const TORVString&) { NoTableServices(); }
void TORVSchemaObjectOwner::BackupError(const TORVString&) { NoTableServices(); }
void TORVSchemaObjectOwner::RestoreError(const TORVString&) { NoTableServices(); }
void TORVSchemaObjectOwner::EvaluateRow(TORVRowValues&, TORVExprToken*, TORVValue&) { NoTableServices(); }

TORVSchemaObjectManager::TORVSchemaObjectManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                 TORVPrivilegedSchemaObject* SchemaObjectToManage)
    : FDatabaseManager(OwnerDatabaseManager), FSchemaObject(SchemaObjectToManage) {}

TORVSessionManager& TORVSchemaObjectManager::GetSessionManager() const {
  return FDatabaseManager->GetSessionManager();
}

void TORVSchemaObjectManager::BeforeDestroy() {
  FKeepOpen = false;
  Close(true, true, true);
}

bool TORVSchemaObjectManager::LockObject(TORVLockType LockType) {
  if (LockType == ltNone) return false;
  if (LockType == ltExclusive && FKeepOpen && FUseCount == 0 &&
      FSchemaObject->GetLockState().Contains(lsSharedLocked))
    UnlockObject(ltShared);
  return FDatabaseManager->GetLockManager().LockObject(FSchemaObject, LockType, -1);
}

void TORVSchemaObjectManager::UnlockObject(TORVLockType LockType) {
  if (LockType != ltNone) FDatabaseManager->GetLockManager().UnlockObject(FSchemaObject, LockType);
}

void TORVSchemaObjectManager::UnlockAfterFailure(TORVLockType LockType) {
  if (LockType != ltNone) FDatabaseManager->GetLockManager().UnlockAfterFailure(FSchemaObject, LockType);
}

void TORVSchemaObjectManager::Initialize() {
  try {
    InternalInitialize();
    FInitialized = true;
  } catch (...) {
    FInitialized = false;
    UndoAfterFailure([this] { InternalReset(); });
    throw;
  }
}

void TORVSchemaObjectManager::Open(bool OpenReferenced) {
  if (!FOpening) {
    TORVFlagScope Opening(FOpening);
    if (!FOpened) {
      try {
        FKeepOpen = GetKeepOpen();
        InternalOpen();
        FOpened = true;
        Initialize();
      } catch (...) {
        FOpened = false;
        UndoAfterFailure([this] { InternalClose(); });
        throw;
      }
    } else if (FUseCount == 0) {
      if (!FSchemaObject->GetObjectState().Contains(osInTransaction)) {
        InternalReopen();
        FKeepOpen = FKeepOpen && !FSchemaObject->GetLockState().Contains(lsExclusiveLocked);
      }
      if (!FInitialized) Initialize();
    }
    if (OpenReferenced) {
      InternalOpenReferenced();
      ++FRefOpenCount;
    }
  }
  if (FOpened && FInitialized) ++FUseCount;
}

void TORVSchemaObjectManager::FinishClose(bool UnlockAfterClose, bool Failing) {
  FUseCount = 0;
  FOpened = false;
  if (!UnlockAfterClose) return;
  TORVLockType LockType = FSchemaObject->GetLockState().Contains(lsExclusiveLocked) ? ltExclusive : ltShared;
  if (Failing)
    UnlockAfterFailure(LockType);
  else
    UnlockObject(LockType);
}

void TORVSchemaObjectManager::Close(bool ForceClose, bool CloseReferenced, bool UnlockAfterClose) {
  if (!FOpened) return;
  if (FUseCount > 0) --FUseCount;
  if (FClosing) return;
  TORVFlagScope Closing(FClosing);
  if (CloseReferenced && FRefOpenCount > 0) {
    --FRefOpenCount;
    InternalCloseReferenced();
  }
  if (ForceClose || FUseCount == 0) {
    FInitialized = false;
    InternalReset();
  }
  if (ForceClose || (FUseCount == 0 && !FKeepOpen)) {
    try {
      InternalClose();
    } catch (...) {
      FinishClose(UnlockAfterClose, true);
      throw;
    }
    FinishClose(UnlockAfterClose, false);
  }
}

void TORVSchemaObjectManager::CheckPrivilege(int32_t Privilege, const TORVString& StatementText) {
  FDatabaseManager->CheckPrivilege(FSchemaObject, Privilege, StatementText);
}

bool TORVSchemaObjectManager::DoProgress(int32_t PercentDone) { return GetSessionManager().SetProgress(PercentDone); }

void TORVSchemaObjectManager::DoStatusMessage(const TORVString& Text, bool UserStatus) {
  GetSessionManager().StatusMessage(Text, UserStatus);
}

void TORVSchemaObjectManager::DoLogMessage(const TORVString& Text) { GetSessionManager().LogMessage(Text); }

TORVSchemaObjectManagers::TORVSchemaObjectManagers(TORVSchemaObjectOwner* OwnerDatabaseManager)
    : FDatabaseManager(OwnerDatabaseManager) {}

TORVSchemaObjectManagers::~TORVSchemaObjectManagers() {
  // FreeAll is the owner's to call, since closing can fail; what is left
  // is freed without closing.
  if (FManagers) FManagers->FreeObjects();
}

TORVHandleObjects& TORVSchemaObjectManagers::Managers() {
  if (!FManagers) FManagers = std::make_unique<TORVHandleObjects>(GetMaximumCapacity(), false);
  return *FManagers;
}

int32_t TORVSchemaObjectManagers::GetCount() {
  int32_t Count = 0;
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (NextManager(Handle, Manager)) ++Count;
  return Count;
}

TORVSchemaObjectManager* TORVSchemaObjectManagers::Get(TORVPrivilegedSchemaObject* SchemaObject,
                                                       bool /*CreateIfNotFound*/) {
  if (SchemaObject->GetManagerHandle() != 0) {
    auto* Found = static_cast<TORVSchemaObjectManager*>(Managers().FindObject(SchemaObject->GetManagerHandle()));
    // A handle left behind by an earlier collection may name another
    // object's manager now.
    if (Found != nullptr && Found->GetSchemaObject() == SchemaObject) return Found;
  }
  std::unique_ptr<TORVSchemaObjectManager> Manager = CreateNew(FDatabaseManager, SchemaObject);
  Managers().AddObject(Manager.get(), false);
  SchemaObject->SetManagerHandle(Manager->GetHandle());
  return Manager.release();
}

TORVSchemaObjectManager* TORVSchemaObjectManagers::Open(TORVPrivilegedSchemaObject* SchemaObject,
                                                        TORVLockType LockType) {
  TORVSchemaObjectManager* Manager = Get(SchemaObject, true);
  try {
    if (Manager->GetOpening()) {
      Manager->Open(true);
    } else {
      // Only a lock this call took is given back: the object's state may
      // already have covered the request for another user of the manager.
      bool Locked = Manager->LockObject(LockType);
      try {
        Manager->Open(true);
      } catch (...) {
        if (Locked) Manager->UnlockAfterFailure(LockType);
        throw;
      }
    }
  } catch (...) {
    if (Manager->GetUseCount() == 0) UndoAfterFailure([&] { Remove(SchemaObject); });
    throw;
  }
  return Manager;
}

void TORVSchemaObjectManagers::Destroy(TORVSchemaObjectManager* Manager) {
  std::unique_ptr<TORVSchemaObjectManager> Owned(Manager);
  Manager->GetSchemaObject()->SetManagerHandle(0);
  Managers().RemoveObject(Manager, false);
  Manager->BeforeDestroy();
}

void TORVSchemaObjectManagers::Remove(TORVPrivilegedSchemaObject* SchemaObject) {
  int32_t Handle = SchemaObject->GetManagerHandle();
  if (Handle == 0) return;
  auto* Manager = static_cast<TORVSchemaObjectManager*>(Managers().FindObject(Handle));
  SchemaObject->SetManagerHandle(0);
  if (Manager != nullptr && Manager->GetSchemaObject() == SchemaObject) Destroy(Manager);
}

bool TORVSchemaObjectManagers::NextManager(int32_t& Handle, TORVSchemaObjectManager*& Manager) {
  TORVHandleObject* Object = nullptr;
  bool Found = Managers().NextObject(Handle, Object);
  Manager = static_cast<TORVSchemaObjectManager*>(Object);
  return Found;
}

void TORVSchemaObjectManagers::CloseAllUnused() {
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (NextManager(Handle, Manager))
    if (Manager->GetUseCount() == 0) Manager->Close(false, true, true);
}

void TORVSchemaObjectManagers::CloseAll() {
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (NextManager(Handle, Manager)) {
    Manager->SetKeepOpen(false);
    Manager->Close(false, true, true);
  }
}

void TORVSchemaObjectManagers::RemoveAllUnused() {
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (NextManager(Handle, Manager))
    if (!Manager->GetOpened()) Destroy(Manager);
}

void TORVSchemaObjectManagers::FreeAll() {
  std::exception_ptr First;
  int32_t Handle = 0;
  TORVSchemaObjectManager* Manager = nullptr;
  while (NextManager(Handle, Manager)) {
    try {
      Destroy(Manager);
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  if (First) std::rethrow_exception(First);
}

std::unique_ptr<TORVSchemaObjectManager> TORVTableManagers::CreateNew(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                                      TORVPrivilegedSchemaObject* SchemaObject) {
  auto* Table = dynamic_cast<TORVBaseTable*>(SchemaObject);
  if (Table != nullptr && Table->GetResultSet())
    return CreateQueryResultTableManager(OwnerDatabaseManager, SchemaObject);
  return CreateTableManager(OwnerDatabaseManager, SchemaObject);
}

namespace {

[[noreturn]] void NoManagerKindError(TORVPrivilegedSchemaObject* SchemaObject, const TORVString& Kind) {
  RaiseError(ORV_METADATA_ERROR, {SchemaObject->GetTypeName(), SchemaObject->GetName(),
                                  FormatString(ORV_NO_MANAGER_KIND_DETAIL, {Kind})});
}

}  // namespace

std::unique_ptr<TORVSchemaObjectManager> TORVTableManagers::CreateTableManager(TORVSchemaObjectOwner* Owner,
                                                                               TORVPrivilegedSchemaObject* SchemaObject) {
  return std::make_unique<TORVTableManager>(Owner, static_cast<TORVBaseTable*>(SchemaObject));
}

std::unique_ptr<TORVSchemaObjectManager> TORVTableManagers::CreateQueryResultTableManager(
    TORVSchemaObjectOwner*, TORVPrivilegedSchemaObject* SchemaObject) {
  NoManagerKindError(SchemaObject, u"query result table");
}

}  // namespace orv
