// The prepared statement as the engine's users see it; the local engine
// runs it on the database files, the remote one sends each call to a server.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvpreparedmgr.h"

namespace orv {

class TORVStatementManager : public TORVPreparedManager {
 public:
  virtual bool GetLiveResult() = 0;
  virtual TORVString GetExecutionPlan() = 0;
  virtual int32_t GetAffectedRowCount() = 0;
  virtual bool GetStmtResult() = 0;

  bool GetWantLiveResult() const { return FWantLiveResult; }
  void SetWantLiveResult(bool Value) { FWantLiveResult = Value; }
  bool GetWantConstrained() const { return FWantConstrained; }
  void SetWantConstrained(bool Value) { FWantConstrained = Value; }
  bool GetWantExecutionPlan() const { return FWantExecutionPlan; }
  void SetWantExecutionPlan(bool Value) { FWantExecutionPlan = Value; }

 private:
  bool FWantLiveResult = true;
  bool FWantConstrained = false;
  bool FWantExecutionPlan = false;
};

}  // namespace orv
