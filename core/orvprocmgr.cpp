#include "core/orvprocmgr.h"

namespace orv {

void TORVProcedureManager::AfterConstruction() { FParamValues = CreateParamValues(); }

}  // namespace orv
