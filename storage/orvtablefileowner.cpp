#include "storage/orvtablefileowner.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvsessionmgr.h"

namespace orv {

void TORVTableFileOwner::ValidateError(const TORVString& Msg) {
  RaiseError(ORV_METADATA_ERROR, {FTable->GetTypeName(), FTable->GetName(), Msg});
}

void TORVTableFileOwner::WriteFlagError() {
  RaiseError(ORV_METADATA_ERROR, {FTable->GetTypeName(), FTable->GetName(),
                                  u"A write operation did not complete and a repair is required"});
}

void TORVTableFileOwner::RowDeletedError() {
  RaiseError(ORV_ROW_DELETED_ERROR, {FTable->GetTypeName(), FTable->GetName()});
}

void TORVTableFileOwner::VerifyStatus(const TORVString& Detail) {
  GetSessionManager().StatusMessage(
      FormatString(u"%s the %s %s...", {u"Verifying", FTable->GetTypeName(), FTable->GetName() + u" - " + Detail}),
      false);
}

TORVColumns& TORVTableFileOwner::GetColumns() const { return FTable->GetColumns(); }

int32_t TORVTableFileOwner::GetColumnCount() const { return FTable->GetColumnCount(); }

bool TORVTableFileOwner::GetColumnIdentity(int32_t Index) const {
  return FTable->GetColumnIdentity(Index);
}

int32_t TORVTableFileOwner::GetColumnSeedValue(int32_t Index) const {
  return FTable->GetColumnSeedValue(Index);
}

int32_t TORVTableFileOwner::GetColumnIncrementValue(int32_t Index) const {
  return FTable->GetColumnIncrementValue(Index);
}

int32_t TORVTableFileOwner::GetColumnRowOffset(int32_t Index) const {
  return FTable->GetColumnRowOffset(Index);
}

int32_t TORVTableFileOwner::GetColumnOldPosition(int32_t Index) const {
  return FTable->GetColumnOldPosition(Index);
}

bool TORVTableFileOwner::GetColumnAlterRestartIdentity(int32_t Index) const {
  return FTable->GetColumnAlterRestartIdentity(Index);
}

int32_t TORVTableFileOwner::GetRowsetRowSize() const { return FTable->GetRowsetRowSize(); }

bool TORVTableFileOwner::GetSystemTable() const { return FTable->GetSystemObject(); }

int32_t TORVTableFileOwner::GetMaxRowBufferSize() const { return FTable->GetMaxRowBufferSize(); }

int32_t TORVTableFileOwner::GetBlobBlockSize() const { return FTable->GetBlobBlockSize(); }

int32_t TORVTableFileOwner::GetMaxBlobBufferSize() const { return FTable->GetMaxBlobBufferSize(); }

TORVIndexes& TORVTableFileOwner::GetIndexes() const { return FTable->GetIndexes(); }

int32_t TORVTableFileOwner::GetIndexCount() const { return FTable->GetIndexes().GetCount(); }

int32_t TORVTableFileOwner::GetIndexPageSize() const { return FTable->GetIndexPageSize(); }

int32_t TORVTableFileOwner::GetMaxIndexBufferSize() const { return FTable->GetMaxIndexBufferSize(); }

int32_t TORVTableFileOwner::GetPublishBlockSize() const { return FTable->GetPublishBlockSize(); }

int32_t TORVTableFileOwner::GetMaxPublishBufferSize() const { return FTable->GetMaxPublishBufferSize(); }

}  // namespace orv
