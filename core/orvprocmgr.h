// The prepared procedure call as the engine's users see it.
#pragma once

#include "core/orvpreparedmgr.h"

namespace orv {

class TORVProcedureManager : public TORVPreparedManager {};

}  // namespace orv
