#include "storage/orvtablemgr.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvsessionmgr.h"

namespace orv {

void TORVTableManager::ValidateError(const TORVString& Msg) {
  RaiseError(ORV_METADATA_ERROR, {FTable->GetTypeName(), FTable->GetName(), Msg});
}

void TORVTableManager::WriteFlagError() {
  RaiseError(ORV_METADATA_ERROR, {FTable->GetTypeName(), FTable->GetName(),
                                  u"A write operation did not complete and a repair is required"});
}

void TORVTableManager::RowDeletedError() {
  RaiseError(ORV_ROW_DELETED_ERROR, {FTable->GetTypeName(), FTable->GetName()});
}

void TORVTableManager::VerifyStatus(const TORVString& Detail) {
  GetSessionManager().StatusMessage(
      FormatString(u"%s the %s %s...", {u"Verifying", FTable->GetTypeName(), FTable->GetName() + u" - " + Detail}),
      false);
}

TORVColumns& TORVTableManager::GetColumns() const { return FTable->GetColumns(); }

int32_t TORVTableManager::GetColumnCount() const { return FTable->GetColumnCount(); }

bool TORVTableManager::GetColumnIdentity(int32_t Index) const {
  return FTable->GetColumnIdentity(Index);
}

int32_t TORVTableManager::GetColumnSeedValue(int32_t Index) const {
  return FTable->GetColumnSeedValue(Index);
}

int32_t TORVTableManager::GetColumnIncrementValue(int32_t Index) const {
  return FTable->GetColumnIncrementValue(Index);
}

int32_t TORVTableManager::GetColumnRowOffset(int32_t Index) const {
  return FTable->GetColumnRowOffset(Index);
}

int32_t TORVTableManager::GetColumnOldPosition(int32_t Index) const {
  return FTable->GetColumnOldPosition(Index);
}

bool TORVTableManager::GetColumnAlterRestartIdentity(int32_t Index) const {
  return FTable->GetColumnAlterRestartIdentity(Index);
}

int32_t TORVTableManager::GetRowsetRowSize() const { return FTable->GetRowsetRowSize(); }

bool TORVTableManager::GetSystemTable() const { return FTable->GetSystemObject(); }

int32_t TORVTableManager::GetMaxRowBufferSize() const { return FTable->GetMaxRowBufferSize(); }

int32_t TORVTableManager::GetBlobBlockSize() const { return FTable->GetBlobBlockSize(); }

int32_t TORVTableManager::GetMaxBlobBufferSize() const { return FTable->GetMaxBlobBufferSize(); }

TORVIndexes& TORVTableManager::GetIndexes() const { return FTable->GetIndexes(); }

int32_t TORVTableManager::GetIndexCount() const { return FTable->GetIndexes().GetCount(); }

int32_t TORVTableManager::GetIndexPageSize() const { return FTable->GetIndexPageSize(); }

int32_t TORVTableManager::GetMaxIndexBufferSize() const { return FTable->GetMaxIndexBufferSize(); }

int32_t TORVTableManager::GetPublishBlockSize() const { return FTable->GetPublishBlockSize(); }

int32_t TORVTableManager::GetMaxPublishBufferSize() const { return FTable->GetMaxPublishBufferSize(); }

}  // namespace orv
