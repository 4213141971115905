// The prepared procedure call as the engine's users see it.
#pragma once

#include <cstdint>
#include <memory>

#include "core/orvcommon.h"
#include "core/orvparam.h"

namespace orv {

class TORVCursor;

// Construct, then call AfterConstruction() once: it makes the parameter
// list through the implementation's CreateParamValues.
class TORVProcedureManager : public TORVHandleObject {
 public:
  TORVProcedureManager() = default;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVParamValues> CreateParamValues() = 0;
  virtual uint32_t GetElapsedTime() = 0;
  // The result cursor, or nil.
  virtual TORVCursor* Execute() = 0;

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
