// A database manager whose operations do nothing, over any database manager
// class (the engine's base, a local session's): tests derive from it to
// watch the one operation they care about.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvdbmgr.h"

namespace orv {

template <typename TBase = TORVDatabaseManager>
class TStubDatabaseManager : public TBase {
 public:
  TORVCursor* OpenTable(const TORVString&, const TORVString&, bool, bool) override { return nullptr; }
  TORVStatementManager* PrepareStatement(const TORVString&) override { return nullptr; }
  TORVProcedureManager* PrepareProcedure(const TORVString&) override { return nullptr; }
  TORVScriptManager* PrepareScript(const TORVString&) override { return nullptr; }
  void FreeStatementManager(TORVStatementManager*&) override {}
  void FreeProcedureManager(TORVProcedureManager*&) override {}
  void FreeScriptManager(TORVScriptManager*&) override {}
  void StartTransaction(const TORVStringsArray&, int32_t) override {}
  void Commit(bool, bool) override {}
  void Rollback() override {}
};

}  // namespace orv
