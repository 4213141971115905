#include "core/orvdbmgr.h"

namespace orv {

TORVDatabaseManager::TORVDatabaseManager()
    : FCursors(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FStatementManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FProcedureManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FScriptManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)) {}

TORVDatabaseManager::~TORVDatabaseManager() {
  // A script may refer to procedures and statements, and they to cursors.
  FScriptManagers.reset();
  FProcedureManagers.reset();
  FStatementManagers.reset();
  FCursors.reset();
}

void TORVDatabaseManager::Open(TORVLockType /*DatabaseLockType*/) { FOpened = true; }

void TORVDatabaseManager::Close(bool /*ForceClose*/) {
  FOpened = false;
  FScriptManagers->FreeObjects();
  FProcedureManagers->FreeObjects();
  FStatementManagers->FreeObjects();
  FCursors->FreeObjects();
}

}  // namespace orv
