// Pacing of progress reports and abort checks for long operations that may
// nest: the outermost operation reports its percentage, nested ones only
// ask whether to go on.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "core/orvcommon.h"

namespace orv {

class TORVProgressInfo : public TORVBaseObject {
 public:
  virtual void Start() { FPercentDone = 0; }
  virtual void Finish() { FPercentDone = 100; }

  int32_t GetPercentDone() const { return FPercentDone; }
  void SetPercentDone(int32_t Value) { FPercentDone = Value; }

 private:
  int32_t FPercentDone = 0;
};

// A nesting counter with two rate-limited channels: DoProgress for the
// outermost operation (depth 1) and DoAbortCheck for nested ones or when no
// operation runs. Every report returns the handler's Continue; false asks the
// running operation to stop. Used by one thread at a time.
//
// Construct, then call AfterConstruction() once: it makes ProgressInfo
// through the virtual CreateProgressInfo.
class TORVProgress : public TORVBaseObject {
 public:
  TORVProgress() = default;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVProgressInfo> CreateProgressInfo();
  virtual bool DoProgress() = 0;
  virtual bool DoAbortCheck() = 0;
  virtual void DoStatus(const TORVString& Msg) = 0;
  virtual void DoLog(const TORVString& Msg) = 0;
  // The outermost start resets the percentage and reports 0 %; a nested
  // start only checks for an abort.
  virtual void Start();
  // Reports only when Interval ms have passed since the last report of the
  // channel; true without reporting before that.
  virtual bool CheckInterval();
  // Reports at once, whatever the interval.
  virtual bool UpdateProgress();
  // Nothing when no operation runs; the outermost finish reports 100 %.
  virtual void Finish();
  // Status reaches DoStatus only when no operation runs, or for a user
  // status of the outermost operation.
  virtual void Status(const TORVString& StatusMsg, bool UserStatus);
  virtual void Log(const TORVString& LogMsg);

  uint32_t GetInterval() const { return FInterval; }
  void SetInterval(uint32_t Value) { FInterval = Value; }
  int32_t GetUseCount() const { return FUseCount; }
  // Milliseconds of the last finished outermost operation; 0 while one runs
  // and before the first one finished.
  uint32_t GetTotalTime() const;
  TORVProgressInfo* GetProgressInfo() const { return FProgressInfo.get(); }

 protected:
  virtual uint32_t GetTickCount() const;

 private:
  uint32_t FInterval = 1000;
  int32_t FUseCount = 0;
  uint32_t FStartTicks = 0;
  uint32_t FStartIntervalTicks = 0;
  uint32_t FEndIntervalTicks = 0;
  uint32_t FAbortStartIntervalTicks = 0;
  uint32_t FAbortEndIntervalTicks = 0;
  uint32_t FEndTicks = 0;
  bool FFinished = false;
  std::unique_ptr<TORVProgressInfo> FProgressInfo;
};

}  // namespace orv
