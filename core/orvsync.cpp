#include "core/orvsync.h"

#include <chrono>

namespace orv {

namespace {

// Waits until Ready() holds or Timeout ms have passed (ORVInfiniteWait: no
// limit); the result is Ready() at the end.
template <typename TReady>
bool WaitUntilReady(std::condition_variable& Condition, std::unique_lock<std::mutex>& Lock, uint32_t Timeout,
                    TReady Ready) {
  if (Timeout == ORVInfiniteWait) {
    Condition.wait(Lock, Ready);
    return true;
  }
  return Condition.wait_for(Lock, std::chrono::milliseconds(Timeout), Ready);
}

}  // namespace

void TORVEvent::Signal() {
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    FSignalled = true;
  }
  FCondition.notify_one();
}

int32_t TORVEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock<std::mutex> Lock(FMutex);
  if (!WaitUntilReady(FCondition, Lock, Timeout, [this] { return FSignalled; })) return 0;
  FSignalled = false;
  return 1;
}

TORVSemaphore::TORVSemaphore(int32_t AInitialCount, int32_t AMaxCount)
    : FCount(AInitialCount), FMaxCount(AMaxCount) {}

bool TORVSemaphore::Release() {
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (FCount >= FMaxCount) return false;
    ++FCount;
  }
  FCondition.notify_one();
  return true;
}

int32_t TORVSemaphore::WaitFor(uint32_t Timeout) {
  std::unique_lock<std::mutex> Lock(FMutex);
  if (!WaitUntilReady(FCondition, Lock, Timeout, [this] { return FCount > 0; })) return 0;
  --FCount;
  return 1;
}

bool TORVReadWriteLock::EnterRead(uint32_t WaitTimeout) {
  std::unique_lock<std::mutex> Lock(FMutex);
  if (!WaitUntilReady(FCondition, Lock, WaitTimeout, [this] { return !FWriting; })) return false;
  ++FReaderCount;
  return true;
}

bool TORVReadWriteLock::LeaveRead() {
  bool Wake = false;
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    // An unmatched leave must not push the count below zero and lock
    // writers out for good.
    if (FReaderCount > 0 && --FReaderCount == 0) Wake = true;
  }
  if (Wake) FCondition.notify_all();
  return true;
}

bool TORVReadWriteLock::EnterWrite(uint32_t WaitTimeout) {
  std::unique_lock<std::mutex> Lock(FMutex);
  if (!WaitUntilReady(FCondition, Lock, WaitTimeout, [this] { return !FWriting && FReaderCount == 0; })) return false;
  FWriting = true;
  return true;
}

bool TORVReadWriteLock::LeaveWrite() {
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    FWriting = false;
  }
  FCondition.notify_all();
  return true;
}

int32_t TORVReadWriteLock::GetReaderCount() {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FReaderCount;
}

bool TORVReadWriteLock::IsEntered() {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FReaderCount > 0 || FWriting;
}

}  // namespace orv
