// Engine threads with a small message queue, the interval timer served by a
// thread of its own, and the locked containers that own threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/orvcommon.h"
#include "core/orvsync.h"

namespace orv {

enum TORVThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

class TORVThread;

// A message between threads, copied by value. The meaning of ID and Data is
// the users' own.
struct TORVThreadMessage {
  TORVThread* Thread = nullptr;  // the sender, or the thread to answer
  int32_t ID = 0;
  TORVString Name;
  std::intptr_t Data = 0;  // an object reference or a small integer
};

// Where failures go that no caller can receive: a thread body or a timer
// handler that raised. The engine installs its log here; while nothing is
// installed the text goes to standard error.
using TORVThreadErrorLogEvent = std::function<void(const TORVString& Msg)>;

// Installs Value (empty: standard error) and returns the previous handler.
TORVThreadErrorLogEvent SetThreadErrorLog(TORVThreadErrorLogEvent Value);
void LogThreadError(const TORVString& Msg);
// The text of an exception caught with catch (...).
TORVString ExceptionText(const std::exception_ptr& Error);

// The message queue of one thread. Every operation takes the queue's lock;
// Lock/Unlock let a caller group several.
class TORVThreadMessageQueue : public TORVHandleObject {
 public:
  TORVThreadMessageQueue() = default;
  ~TORVThreadMessageQueue() override;

  virtual int32_t GetExpandCount() const { return 32; }

  void Enqueue(const TORVThreadMessage& Value);
  // False when empty; otherwise the oldest message, which leaves the queue.
  bool Dequeue(TORVThreadMessage& Value);
  void Reset();
  void Lock() { FLockSection.Enter(); }
  void Unlock() { FLockSection.Leave(); }

  int32_t GetCount();
  int32_t GetCapacity();

 private:
  int32_t FPosition = 0;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
  std::vector<TORVThreadMessage> FMessages;
  TORVCriticalSection FLockSection;
};

// Base of every thread of the engine. Construction does not start the thread:
// the creator calls AfterConstruction() once the object is complete (StartThread
// does both), so that Execute never sees a half-built object. Before a
// descendant's destructor runs the thread must have ended: owners free threads
// through BeforeDestruction() (TORVThreadPtr, the thread containers and the
// timer do), which terminates and waits for a running thread.
class TORVThread : public TORVHandleObject {
 public:
  explicit TORVThread(TORVThreadPriority ThreadPriority);
  ~TORVThread() override;

  // Starts the thread; raises "Thread error: %s (%s)" when the system refuses.
  virtual void AfterConstruction();
  // Terminates a running thread and waits for its end.
  virtual void BeforeDestruction();

  // Asks the thread to stop and wakes a GetMsg in progress; does not wait.
  virtual void Terminate();
  // Waits without limit for the thread's end and returns its exit code; 0 for
  // a thread that never started.
  uint32_t WaitFor();
  // Queues a copy and wakes the thread; ignored once terminated.
  void PostMsg(const TORVThreadMessage& AMessage);
  // Called by the thread itself. Takes the oldest queued message, waiting up
  // to AInterval ms (ORVInfiniteWait: no limit) for one to be posted. False on
  // time-out or once terminated. Thread, ID and Data of AMessage are cleared
  // first; Name keeps its text unless a message is taken.
  bool GetMsg(TORVThreadMessage& AMessage, uint32_t AInterval);

  TORVThreadPriority GetPriority() const { return FPriority; }
  void SetPriority(TORVThreadPriority Value);
  bool GetFreeOnTerminate() const { return FFreeOnTerminate; }
  // A thread that frees itself must not be freed by anyone else; set it
  // before AfterConstruction.
  void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
  const TORVNotifyEvent& GetOnTerminate() const { return FOnTerminate; }
  // Runs in the thread as it ends; set it before AfterConstruction.
  void SetOnTerminate(TORVNotifyEvent Value) { FOnTerminate = std::move(Value); }

  std::thread::native_handle_type GetThreadHandle() const { return FThreadHandle; }
  uint32_t GetThreadID() const { return FThreadID; }
  bool GetTerminated() const { return FTerminated; }
  bool GetStarted() const { return FStarted; }
  bool GetFinished() const { return FFinished; }
  int32_t GetReturnValue() const { return FReturnValue; }

 protected:
  // The thread's body.
  virtual void Execute() = 0;
  // Calls OnTerminate in the ending thread.
  virtual void DoTerminate();
  // Raises the thread error for a non-zero system error code.
  static void CheckThreadError(int32_t ErrorCode);
  void Start();
  // Applies the stored priority to the running thread (best effort).
  void SetThreadPriority();
  void SetReturnValue(int32_t Value) { FReturnValue = Value; }

 private:
  static void ThreadProc(TORVThread* Self);
  bool IsCurrentThread() const;

  std::thread FThread;
  std::thread::native_handle_type FThreadHandle{};
  std::atomic<uint32_t> FThreadID{0};
  std::atomic<TORVThreadPriority> FPriority;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FFinished{false};
  std::atomic<int32_t> FReturnValue{0};
  int32_t FExitCode = 0;  // fixed before the thread ends
  TORVNotifyEvent FOnTerminate;
  TORVThreadMessageQueue FMessageQueue;
  TORVEvent FMessageEvent;
  // Start-up handshake and the end of the thread, against SetPriority.
  std::mutex FStateMutex;
  std::condition_variable FStateCondition;
  bool FResumed = false;
  std::mutex FJoinMutex;  // one joiner at a time
};

// Frees a thread after stopping it, so that its descendant's fields outlive
// its body.
struct TORVThreadDeleter {
  void operator()(TORVThread* Thread) const;
};

template <typename T>
using TORVThreadPtr = std::unique_ptr<T, TORVThreadDeleter>;

// Creates a thread of class T and starts it.
template <typename T, typename... TArgs>
TORVThreadPtr<T> StartThread(TArgs&&... Args) {
  TORVThreadPtr<T> Thread(new T(std::forward<TArgs>(Args)...));
  Thread->AfterConstruction();
  return Thread;
}

class TORVThreadTimer;

// The thread of a TORVThreadTimer: fires the timer every FInterval ms until
// stopped. The next interval starts when the handler returns.
class TORVTimerThread : public TORVThread {
 public:
  TORVTimerThread(TORVThreadTimer* ATimer, uint32_t IntervalToUse);

  // Terminate also wakes the wait between two firings.
  void Terminate() override;
  void Stop();

 protected:
  void Execute() override;

 private:
  TORVEvent FEvent;  // the stop signal
  TORVThreadTimer* FTimer;
  uint32_t FInterval;
};

// An interval timer whose handler runs in a thread of its own. It runs while
// it is enabled, has a non-zero interval and a handler; changing any of these
// restarts its thread. A handler that raises is logged (LogThreadError) and
// the timer goes on. The setters belong to the owner's thread, never to the
// handler.
class TORVThreadTimer : public TORVBaseObject {
 public:
  TORVThreadTimer() = default;
  ~TORVThreadTimer() override;

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  uint32_t GetInterval() const { return FInterval; }
  void SetInterval(uint32_t Value);
  const TORVNotifyEvent& GetOnTimer() const { return FOnTimer; }
  void SetOnTimer(TORVNotifyEvent Value);
  // True while a timer thread exists.
  bool GetRunning() const { return FThread != nullptr; }

 private:
  friend class TORVTimerThread;

  void StopTimerThread();
  void StartTimerThread();
  void UpdateTimer();
  void FireTimer();

  uint32_t FInterval = 1000;
  TORVThreadPtr<TORVTimerThread> FThread;
  TORVNotifyEvent FOnTimer;
  bool FEnabled = false;
};

// A locked list that owns threads. Clear, Remove and destruction terminate
// each thread, wait for it and free it, holding the list's lock throughout: a
// thread being removed must not need this list to finish.
class TORVThreadList : public TORVBaseObject {
 public:
  TORVThreadList() = default;
  ~TORVThreadList() override;

  void Lock() { FSection.Enter(); }
  void Unlock() { FSection.Leave(); }
  void Add(TORVThread* Value);
  void Insert(int32_t Index, TORVThread* Value);
  // False when Value is not in the list; otherwise it is stopped and freed.
  bool Remove(TORVThread* Value);
  void Clear();
  TORVThread* GetThread(int32_t Index);
  int32_t GetCount();

 private:
  TORVCriticalSection FSection;
  TORVObjectList FList{true};
};

// A locked pool of idle threads, which it owns until popped.
class TORVThreadStack : public TORVBaseObject {
 public:
  TORVThreadStack() = default;
  ~TORVThreadStack() override;

  void Lock() { FSection.Enter(); }
  void Unlock() { FSection.Leave(); }
  void Push(TORVThread* Value);
  // The most recently pushed thread, now the caller's; nil when empty.
  TORVThread* Pop();
  void Clear();
  int32_t GetCount();

 private:
  TORVCriticalSection FSection;
  TORVObjectStack FStack;
};

}  // namespace orv
