#include "core/orvprogress.h"

#include "core/orvenv.h"

namespace orv {

void TORVProgress::AfterConstruction() { FProgressInfo = CreateProgressInfo(); }

std::unique_ptr<TORVProgressInfo> TORVProgress::CreateProgressInfo() { return std::make_unique<TORVProgressInfo>(); }

uint32_t TORVProgress::GetTickCount() const { return Environment().GetTickCount(); }

void TORVProgress::Start() {
  ++FUseCount;
  if (FUseCount == 1) {
    const uint32_t Now = GetTickCount();
    FStartTicks = Now;
    FStartIntervalTicks = Now;
    FAbortStartIntervalTicks = Now;
    FEndTicks = 0;
    FFinished = false;
    FProgressInfo->Start();
    DoProgress();
  } else {
    DoAbortCheck();
  }
}

bool TORVProgress::CheckInterval() {
  const uint32_t Now = GetTickCount();
  if (FUseCount == 1) {
    FEndIntervalTicks = Now;
    if (TORVEnvironment::CalcElapsedTime(FStartIntervalTicks, FEndIntervalTicks) < FInterval) return true;
    FStartIntervalTicks = Now;
    return DoProgress();
  }
  FAbortEndIntervalTicks = Now;
  if (TORVEnvironment::CalcElapsedTime(FAbortStartIntervalTicks, FAbortEndIntervalTicks) < FInterval) return true;
  FAbortStartIntervalTicks = Now;
  return DoAbortCheck();
}

bool TORVProgress::UpdateProgress() { return FUseCount == 1 ? DoProgress() : DoAbortCheck(); }

void TORVProgress::Finish() {
  if (FUseCount == 0) return;
  --FUseCount;
  if (FUseCount == 0) {
    FEndTicks = GetTickCount();
    FFinished = true;
    FProgressInfo->Finish();
    DoProgress();
  } else {
    DoAbortCheck();
  }
}

uint32_t TORVProgress::GetTotalTime() const {
  if (FUseCount > 0 || !FFinished) return 0;
  return TORVEnvironment::CalcElapsedTime(FStartTicks, FEndTicks);
}

void TORVProgress::Status(const TORVString& StatusMsg, bool UserStatus) {
  if (FUseCount == 0 || (UserStatus && FUseCount == 1)) DoStatus(StatusMsg);
}

void TORVProgress::Log(const TORVString& LogMsg) { DoLog(LogMsg); }

}  // namespace orv
