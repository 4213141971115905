#include "core/orvscriptmgr.h"

namespace orv {

void TORVScriptManager::AfterConstruction() { FParamValues = CreateParamValues(); }

}  // namespace orv
