// The prepared script as the engine's users see it, with its debugger.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvpreparedmgr.h"

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

class TORVScriptManager : public TORVPreparedManager {
 public:
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

  bool GetWantDebug() const { return FWantDebug; }
  void SetWantDebug(bool Value) { FWantDebug = Value; }
  bool GetWantDebugExceptions() const { return FWantDebugExceptions; }
  void SetWantDebugExceptions(bool Value) { FWantDebugExceptions = Value; }

 private:
  bool FWantDebug = false;
  bool FWantDebugExceptions = false;
};

}  // namespace orv
