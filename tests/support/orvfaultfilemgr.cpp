#include "tests/support/orvfaultfilemgr.h"

#include <algorithm>

namespace orv::test {

void TFaultPlan::FailNext(TFaultKind Kind, int32_t N, TFaultMode Mode, int32_t TornBytes) {
  std::lock_guard<std::mutex> Guard(FMutex);
  FFailAt[Kind] = FCounts[Kind] + N;
  FModes[Kind] = Mode;
  if (Kind == fkWrite) FTornBytes = TornBytes;
}

int32_t TFaultPlan::TornCount(int32_t Count) {
  std::lock_guard<std::mutex> Guard(FMutex);
  if (FTornBytes < 0) return Count > 1 ? Count / 2 : 0;
  return std::min(FTornBytes, Count);
}

void TFaultPlan::Clear() {
  std::lock_guard<std::mutex> Guard(FMutex);
  for (int32_t& FailAt : FFailAt) FailAt = 0;
}

int32_t TFaultPlan::GetCount(TFaultKind Kind) {
  std::lock_guard<std::mutex> Guard(FMutex);
  return FCounts[Kind];
}

bool TFaultPlan::Hit(TFaultKind Kind, TFaultMode& Mode) {
  std::lock_guard<std::mutex> Guard(FMutex);
  ++FCounts[Kind];
  if (FFailAt[Kind] == 0) return false;
  if (FModes[Kind] == fmSticky) {
    Mode = fmFail;
    return FCounts[Kind] >= FFailAt[Kind];
  }
  if (FCounts[Kind] != FFailAt[Kind]) return false;
  FFailAt[Kind] = 0;
  Mode = FModes[Kind];
  return true;
}

std::unique_ptr<TFaultOSFileManager> NewSharedOSFileManager() {
  auto Files = std::make_unique<TFaultOSFileManager>();
  Files->SetExclusiveFileAccess(false);
  Files->Initialize();
  return Files;
}

}  // namespace orv::test
