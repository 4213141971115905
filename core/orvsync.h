// Locks and wait objects shared by every thread of the engine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/orvcommon.h"

namespace orv {

// A wait of this many milliseconds has no time limit.
constexpr uint32_t ORVInfiniteWait = 0xFFFFFFFF;

// A lock that the thread holding it may enter again; each Enter needs its
// Leave. lock()/unlock() let std::lock_guard hold it for a scope.
class TORVCriticalSection : public TORVBaseObject {
 public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex FMutex;
};

// An auto-reset event, created not signalled: one wait consumes one signal,
// and signals given while nobody waits do not add up.
class TORVEvent : public TORVBaseObject {
 public:
  void Signal();
  // 1 when the event was signalled within Timeout milliseconds, 0 otherwise.
  int32_t WaitFor(uint32_t Timeout);

 private:
  std::mutex FMutex;
  std::condition_variable FCondition;
  bool FSignalled = false;
};

// A counting semaphore with a ceiling. Units have no owner: any thread may
// release a unit that another thread took.
class TORVSemaphore : public TORVBaseObject {
 public:
  TORVSemaphore(int32_t AInitialCount, int32_t AMaxCount);

  // Adds one unit; False (and no change) when the count is at its maximum.
  bool Release();
  // 1 when a unit was taken within Timeout milliseconds, 0 otherwise.
  int32_t WaitFor(uint32_t Timeout);

 private:
  std::mutex FMutex;
  std::condition_variable FCondition;
  int32_t FCount;
  int32_t FMaxCount;
};

// Many readers or one writer. Readers are preferred: while readers overlap a
// writer keeps waiting. Nothing is tied to the thread that entered, so the
// last reader to leave, or the thread leaving the write side, may be another
// thread than the one that entered. Not re-entrant: a writer that enters
// again waits for itself until its timeout.
class TORVReadWriteLock : public TORVBaseObject {
 public:
  bool EnterRead(uint32_t WaitTimeout);
  bool LeaveRead();
  bool EnterWrite(uint32_t WaitTimeout);
  bool LeaveWrite();

  int32_t GetReaderCount();
  // True while some thread holds either side. The lock has no owner, so
  // this cannot tell whether the calling thread is the holder; it serves
  // checks that a routine runs under the lock at all.
  bool IsEntered();

 private:
  std::mutex FMutex;
  std::condition_variable FCondition;
  int32_t FReaderCount = 0;
  bool FWriting = false;
};

// Hold one side of a TORVReadWriteLock for a scope, waiting without limit.
class TORVReadLocked {
 public:
  explicit TORVReadLocked(TORVReadWriteLock& Lock) : FLock(Lock) { FLock.EnterRead(ORVInfiniteWait); }
  ~TORVReadLocked() { FLock.LeaveRead(); }
  TORVReadLocked(const TORVReadLocked&) = delete;
  TORVReadLocked& operator=(const TORVReadLocked&) = delete;

 private:
  TORVReadWriteLock& FLock;
};

class TORVWriteLocked {
 public:
  explicit TORVWriteLocked(TORVReadWriteLock& Lock) : FLock(Lock) { FLock.EnterWrite(ORVInfiniteWait); }
  ~TORVWriteLocked() { FLock.LeaveWrite(); }
  TORVWriteLocked(const TORVWriteLocked&) = delete;
  TORVWriteLocked& operator=(const TORVWriteLocked&) = delete;

 private:
  TORVReadWriteLock& FLock;
};

// A reader/writer lock over a spin counter (0 free, n > 0 readers, -1 a
// writer) for short holds: waiting yields the processor instead of sleeping
// on a system object. No time limit.
class TORVReadWriteSpinLock : public TORVBaseObject {
 public:
  void BeginRead() { ReadLock(FValue, ORVInfiniteWait); }
  void EndRead() { ReadUnlock(FValue); }
  void BeginWrite() { WriteLock(FValue, ORVInfiniteWait); }
  void EndWrite() { WriteUnlock(FValue); }

 private:
  std::atomic<int32_t> FValue{0};
};

}  // namespace orv
