// The prepared script as the engine's users see it, with its debugger.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvparam.h"

namespace orv {

class TORVCursor;
class TORVStringsList;

// What the script debugger tells about one variable. VariableType: -1 none,
// 0 simple, 1 array, 2 row, 3 cursor, 4 statement.
struct TORVVariableData {
  TORVString Name;
  int32_t VariableType = -1;
  int32_t Line = 0;
  int32_t Column = 0;
  TORVString DataType;
  int32_t Count = 0;
  TORVString Value;
};

// Construct, then call AfterConstruction() once: it makes the parameter
// list through the implementation's CreateParamValues.
class TORVScriptManager : public TORVHandleObject {
 public:
  TORVScriptManager() = default;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVParamValues> CreateParamValues() = 0;
  virtual uint32_t GetElapsedTime() = 0;
  // The result cursor, or nil.
  virtual TORVCursor* Execute() = 0;
  virtual bool SetBreakpoint(int32_t LineNumber) = 0;
  virtual bool BreakpointSet(int32_t LineNumber) = 0;
  virtual bool RemoveBreakpoint(int32_t LineNumber) = 0;
  virtual void Debug() = 0;
  virtual TORVCursor* GetDebugCursor() = 0;
  virtual void Pause() = 0;
  virtual void StepOver() = 0;
  virtual void StepInto() = 0;
  virtual void Resume() = 0;
  virtual void Stop() = 0;
  virtual void GetVariableNames(TORVStringsList& VariableNames) = 0;
  virtual TORVVariableData GetVariableData(const TORVString& VariableName) = 0;

  TORVParamValues* GetParamValues() const { return FParamValues.get(); }
  bool GetWantProgress() const { return FWantProgress; }
  void SetWantProgress(bool Value) { FWantProgress = Value; }
  bool GetWantStatusMessages() const { return FWantStatusMessages; }
  void SetWantStatusMessages(bool Value) { FWantStatusMessages = Value; }
  bool GetWantLogMessages() const { return FWantLogMessages; }
  void SetWantLogMessages(bool Value) { FWantLogMessages = Value; }
  bool GetWantDebug() const { return FWantDebug; }
  void SetWantDebug(bool Value) { FWantDebug = Value; }
  bool GetWantDebugExceptions() const { return FWantDebugExceptions; }
  void SetWantDebugExceptions(bool Value) { FWantDebugExceptions = Value; }

 private:
  std::unique_ptr<TORVParamValues> FParamValues;
  bool FWantProgress = false;
  bool FWantStatusMessages = false;
  bool FWantLogMessages = false;
  bool FWantDebug = false;
  bool FWantDebugExceptions = false;
};

}  // namespace orv
