// The session manager of a local session: it logs in, opens databases and
// runs every statement of its session in this process, through one
// evaluator of its own (local/orvlocaleval.h).
#pragma once

#include "storage/orvenginemgr.h"

namespace orv {

class TORVLocalSessionManager : public TORVEngineSessionManager {
 public:
  using TORVEngineSessionManager::TORVEngineSessionManager;
};

}  // namespace orv
