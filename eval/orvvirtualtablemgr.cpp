#include "eval/orvvirtualtablemgr.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvtable.h"

namespace orv {

TORVVirtualTableManager::TORVVirtualTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                 TORVVirtualTable* VirtualTableToManage)
    : TORVSchemaObjectManager(OwnerDatabaseManager, VirtualTableToManage), FVirtualTable(VirtualTableToManage) {}

namespace {

[[noreturn]] void RowError(const TORVErrorDef& Def, TORVVirtualTable* Table) {
  RaiseError(Def, {Table->GetTypeName(), Table->GetName()});
}

}  // namespace

void TORVVirtualTableManager::RowLockError() { RowError(ORV_ROW_LOCK_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowUnlockError() { RowError(ORV_ROW_UNLOCK_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowDeletedError() { RowError(ORV_ROW_DELETED_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowModifiedError() { RowError(ORV_ROW_MODIFIED_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowCorruptError() { RowError(ORV_ROW_CORRUPT_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowVisibilityError() { RowError(ORV_ROW_VISIBILITY_ERROR, FVirtualTable); }

void TORVVirtualTableManager::ReadOnlyError(const TORVString& Operation) {
  RaiseError(ORV_READ_ONLY_ERROR, {FVirtualTable->GetTypeName(), FVirtualTable->GetName(), Operation});
}

void TORVVirtualTableManager::CheckNotReadOnly(const TORVString& Operation) {
  if (FVirtualTable->GetReadOnly() && !FVirtualTable->GetSystemObject()) ReadOnlyError(Operation);
}

}  // namespace orv
