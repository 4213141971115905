#include "storage/orvtablemgr.h"

#include "base/orverrors.h"
#include "catalog/orvtable.h"

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

}  // namespace orv
