#include "core/orvstmtmgr.h"

namespace orv {

void TORVStatementManager::AfterConstruction() { FParamValues = CreateParamValues(); }

}  // namespace orv
