// What prepared statements, procedures and scripts have in common: the
// parameter list the implementation makes, the wish for progress, status
// and log messages while running, the elapsed time and Execute.
#pragma once

#include <cstdint>
#include <memory>

#include "core/orvcommon.h"
#include "core/orvparam.h"

namespace orv {

class TORVCursor;

// Construct, then call AfterConstruction() once: it makes the parameter
// list through the implementation's CreateParamValues.
class TORVPreparedManager : public TORVHandleObject {
 public:
  TORVPreparedManager() = default;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVParamValues> CreateParamValues() = 0;
  // Milliseconds of the last execution.
  virtual uint32_t GetElapsedTime() = 0;
  // The result cursor, or nil when there is none. The cursor belongs to
  // the database manager's cursor table.
  virtual TORVCursor* Execute() = 0;
  // Gives back what the last run built when the session resets its
  // databases; the manager stays prepared.
  virtual void Reset() {}

  TORVParamValues* GetParamValues() const { return FParamValues.get(); }
  bool GetWantProgress() const { return FWantProgress; }
  void SetWantProgress(bool Value) { FWantProgress = Value; }
  bool GetWantStatusMessages() const { return FWantStatusMessages; }
  void SetWantStatusMessages(bool Value) { FWantStatusMessages = Value; }
  bool GetWantLogMessages() const { return FWantLogMessages; }
  void SetWantLogMessages(bool Value) { FWantLogMessages = Value; }

 private:
  std::unique_ptr<TORVParamValues> FParamValues;
  bool FWantProgress = false;
  bool FWantStatusMessages = false;
  bool FWantLogMessages = false;
};

}  // namespace orv
