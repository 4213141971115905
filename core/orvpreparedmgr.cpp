#include "core/orvpreparedmgr.h"

namespace orv {

void TORVPreparedManager::AfterConstruction() { FParamValues = CreateParamValues(); }

}  // namespace orv
