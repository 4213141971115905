// The database manager of a local session: an open database whose files
// this process reads and writes itself. The evaluator reads its catalog to
// find the tables that column references belong to.
#pragma once

#include "core/orvdbmgr.h"

namespace orv {

class TORVCatalog;
class TORVLocalSessionManager;

// Neither link is owned: the catalog belongs to the database container,
// the session manager owns this manager.
class TORVLocalDatabaseManager : public TORVDatabaseManager {
 public:
  TORVLocalDatabaseManager() = default;

  TORVLocalSessionManager* FSessionManager = nullptr;
  TORVCatalog* FCatalog = nullptr;
};

}  // namespace orv
