// The prepared statement as the engine's users see it; the local engine
// runs it on the database files, the remote one sends each call to a server.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvparam.h"

namespace orv {

class TORVCursor;

// Construct, then call AfterConstruction() once: it makes the parameter
// list through the implementation's CreateParamValues.
class TORVStatementManager : public TORVHandleObject {
 public:
  TORVStatementManager() = default;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVParamValues> CreateParamValues() = 0;
  virtual bool GetLiveResult() = 0;
  virtual TORVString GetExecutionPlan() = 0;
  virtual int32_t GetAffectedRowCount() = 0;
  virtual uint32_t GetElapsedTime() = 0;
  virtual bool GetStmtResult() = 0;
  // The result cursor, or nil for a statement without rows. The cursor
  // belongs to the database manager's cursor table.
  virtual TORVCursor* Execute() = 0;

  TORVParamValues* GetParamValues() const { return FParamValues.get(); }
  bool GetWantLiveResult() const { return FWantLiveResult; }
  void SetWantLiveResult(bool Value) { FWantLiveResult = Value; }
  bool GetWantConstrained() const { return FWantConstrained; }
  void SetWantConstrained(bool Value) { FWantConstrained = Value; }
  bool GetWantExecutionPlan() const { return FWantExecutionPlan; }
  void SetWantExecutionPlan(bool Value) { FWantExecutionPlan = Value; }
  bool GetWantProgress() const { return FWantProgress; }
  void SetWantProgress(bool Value) { FWantProgress = Value; }
  bool GetWantStatusMessages() const { return FWantStatusMessages; }
  void SetWantStatusMessages(bool Value) { FWantStatusMessages = Value; }
  bool GetWantLogMessages() const { return FWantLogMessages; }
  void SetWantLogMessages(bool Value) { FWantLogMessages = Value; }

 private:
  std::unique_ptr<TORVParamValues> FParamValues;
  bool FWantLiveResult = true;
  bool FWantConstrained = false;
  bool FWantExecutionPlan = false;
  bool FWantProgress = false;
  bool FWantStatusMessages = false;
  bool FWantLogMessages = false;
};

}  // namespace orv
