#include "core/orvthread.h"

#include <chrono>
#include <string>
#include <system_error>

#include "base/orverror.h"
#include "core/orvliteral.h"
#include "base/orvutf8.h"
#include "platform/orvplatformlog.h"
#include "platform/orvplatformthread.h"

namespace orv {

namespace {

std::mutex ErrorLogMutex;
TORVThreadErrorLogEvent ErrorLog;

// Kernel scheduling weights for the priorities; Linux counts the other way
// round from the priority scale.
int32_t NiceValue(TORVThreadPriority Priority) {
  switch (Priority) {
    case tpIdle:
      return 19;
    case tpLowest:
      return 10;
    case tpLower:
      return 5;
    case tpNormal:
      return 0;
    case tpHigher:
      return -5;
    case tpHighest:
      return -10;
    case tpTimeCritical:
      return -20;
  }
  return 0;
}

}  // namespace

TORVThreadErrorLogEvent SetThreadErrorLog(TORVThreadErrorLogEvent Value) {
  std::lock_guard<std::mutex> Lock(ErrorLogMutex);
  std::swap(ErrorLog, Value);
  return Value;
}

void LogThreadError(const TORVString& Msg) {
  TORVThreadErrorLogEvent Log;
  {
    std::lock_guard<std::mutex> Lock(ErrorLogMutex);
    Log = ErrorLog;
  }
  if (Log) {
    try {
      Log(Msg);
      return;
    } catch (...) {
      // A failing log must not end the thread that reports; fall back below.
    }
  }
  PlatformLogFallback(Msg);
}

TORVString ExceptionText(const std::exception_ptr& Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const EORVBaseException& E) {
    return E.Message();
  } catch (const std::exception& E) {
    return Utf8ToString(E.what());
  } catch (...) {
    return u"Unknown exception";
  }
}

// ---------------------------------------------------------------------------
// TORVThreadMessageQueue

TORVThreadMessageQueue::~TORVThreadMessageQueue() { Reset(); }

void TORVThreadMessageQueue::Enqueue(const TORVThreadMessage& Value) {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  if (FPosition + FCount >= FCapacity && FPosition > 0) {
    // The head has moved on while the queue never emptied: move the waiting
    // messages to the front instead of growing, so that a queue that never
    // drains keeps an array as large as its longest backlog.
    for (int32_t I = 0; I < FCount; ++I) FMessages[I] = std::move(FMessages[FPosition + I]);
    for (int32_t I = FCount; I < FPosition + FCount; ++I) FMessages[I] = TORVThreadMessage();
    FPosition = 0;
  }
  int32_t Needed = BlockOffset(FPosition + FCount + 1, GetExpandCount());
  if (Needed > FCapacity) {
    FMessages.resize(static_cast<size_t>(Needed));
    FCapacity = Needed;
  }
  FMessages[FPosition + FCount] = Value;
  ++FCount;
}

bool TORVThreadMessageQueue::Dequeue(TORVThreadMessage& Value) {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  if (FCount < 1) return false;
  Value = std::move(FMessages[FPosition]);
  FMessages[FPosition] = TORVThreadMessage();
  --FCount;
  if (FCount == 0)
    FPosition = 0;
  else
    ++FPosition;
  return true;
}

void TORVThreadMessageQueue::Reset() {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  for (auto& Message : FMessages) Message = TORVThreadMessage();
  FCount = 0;
  FPosition = 0;
}

int32_t TORVThreadMessageQueue::GetCount() {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  return FCount;
}

int32_t TORVThreadMessageQueue::GetCapacity() {
  std::lock_guard<TORVCriticalSection> Lock(FLockSection);
  return FCapacity;
}

// ---------------------------------------------------------------------------
// TORVThread

TORVThread::TORVThread(TORVThreadPriority ThreadPriority) : FPriority(ThreadPriority) {}

TORVThread::~TORVThread() {
  if (!FThread.joinable()) return;
  if (IsCurrentThread()) {
    // A thread that frees itself at its end: nobody joins it.
    FThread.detach();
    return;
  }
  // Owners normally stop the thread before a descendant's fields go; this
  // is the last resort for the base part.
  if (!FFinished) TORVThread::Terminate();
  std::lock_guard<std::mutex> Join(FJoinMutex);
  if (FThread.joinable()) FThread.join();
}

void TORVThread::AfterConstruction() { Start(); }

void TORVThread::BeforeDestruction() {
  if (!FStarted || IsCurrentThread()) return;
  if (!FFinished) Terminate();
  WaitFor();
}

bool TORVThread::IsCurrentThread() const { return FThread.get_id() == std::this_thread::get_id(); }

void TORVThread::CheckThreadError(int32_t ErrorCode) {
  if (ErrorCode == 0) return;
  TORVString Text = Utf8ToString(std::system_category().message(ErrorCode));
  // Operating-system thread failures are plain engine exceptions: they have
  // no error code of their own.
  throw EORVBaseException(FormatString(u"Thread error: %s (%s)", {Text, IntToString(ErrorCode)}));
}

void TORVThread::Start() {
  std::unique_lock<std::mutex> Lock(FStateMutex);
  if (FStarted) return;
  try {
    FThread = std::thread(&TORVThread::ThreadProc, this);
  } catch (const std::system_error& E) {
    Lock.unlock();
    CheckThreadError(E.code().value() != 0 ? E.code().value() : -1);
  }
  FThreadHandle = FThread.native_handle();
  // The new thread names itself and applies its priority, then waits here
  // until it is released, as if it had been created suspended.
  FStateCondition.wait(Lock, [this] { return FThreadID != 0; });
  FStarted = true;
  FResumed = true;
  FStateCondition.notify_all();
}

void TORVThread::ThreadProc(TORVThread* Self) {
  {
    std::unique_lock<std::mutex> Lock(Self->FStateMutex);
    Self->FThreadID = GetCurrentThreadID();
    // A normal thread keeps the weight it inherits from its creator.
    if (Self->FPriority != tpNormal) SetThreadNiceValue(Self->FThreadID, NiceValue(Self->FPriority));
    Self->FStateCondition.notify_all();
    Self->FStateCondition.wait(Lock, [Self] { return Self->FResumed; });
  }
  if (!Self->FTerminated) {
    try {
      Self->Execute();
    } catch (...) {
      // The creator is not there to catch it; the thread ends normally.
      LogThreadError(FormatString(u"Thread %s ended by an exception: %s",
                                  {IntToString(static_cast<int64_t>(Self->FThreadID)), ExceptionText(std::current_exception())}));
    }
  }
  bool FreeOnTerminate = Self->FFreeOnTerminate;
  Self->FExitCode = Self->FReturnValue;
  try {
    Self->DoTerminate();
  } catch (...) {
    LogThreadError(FormatString(u"Thread %s termination handler failed: %s",
                                {IntToString(static_cast<int64_t>(Self->FThreadID)), ExceptionText(std::current_exception())}));
  }
  {
    std::lock_guard<std::mutex> Lock(Self->FStateMutex);
    Self->FFinished = true;
  }
  if (FreeOnTerminate) delete Self;
}

void TORVThread::DoTerminate() {
  if (FOnTerminate) FOnTerminate(this);
}

void TORVThread::Terminate() {
  FTerminated = true;
  FMessageEvent.Signal();
}

uint32_t TORVThread::WaitFor() {
  if (!FStarted) return 0;
  // A thread waiting for itself would never end.
  if (IsCurrentThread()) CheckThreadError(static_cast<int32_t>(std::errc::resource_deadlock_would_occur));
  std::lock_guard<std::mutex> Join(FJoinMutex);
  if (FThread.joinable()) {
    try {
      FThread.join();
    } catch (const std::system_error& E) {
      CheckThreadError(E.code().value() != 0 ? E.code().value() : -1);
    }
  }
  return static_cast<uint32_t>(FExitCode);
}

void TORVThread::PostMsg(const TORVThreadMessage& AMessage) {
  if (FTerminated) return;
  FMessageQueue.Enqueue(AMessage);
  FMessageEvent.Signal();
}

bool TORVThread::GetMsg(TORVThreadMessage& AMessage, uint32_t AInterval) {
  AMessage.Thread = nullptr;
  AMessage.ID = 0;
  AMessage.Data = 0;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point Start = Clock::now();
  for (;;) {
    if (FTerminated) return false;
    // Messages already queued are taken at once: one signal may stand for
    // several posts.
    if (FMessageQueue.Dequeue(AMessage)) return true;
    uint32_t Wait = AInterval;
    if (AInterval != ORVInfiniteWait) {
      auto Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
      Wait = Elapsed >= AInterval ? 0 : AInterval - static_cast<uint32_t>(Elapsed);
    }
    if (FMessageEvent.WaitFor(Wait) == 0) return false;
  }
}

void TORVThread::SetPriority(TORVThreadPriority Value) {
  FPriority = Value;
  SetThreadPriority();
}

void TORVThread::SetThreadPriority() {
  // Under the state lock the thread cannot finish, so its number still names
  // it and no other thread.
  std::lock_guard<std::mutex> Lock(FStateMutex);
  if (FStarted && !FFinished) SetThreadNiceValue(FThreadID, NiceValue(FPriority));
}

void TORVThreadDeleter::operator()(TORVThread* Thread) const {
  if (Thread == nullptr) return;
  try {
    Thread->BeforeDestruction();
  } catch (...) {
    LogThreadError(ExceptionText(std::current_exception()));
  }
  delete Thread;
}

// ---------------------------------------------------------------------------
// Timer

TORVTimerThread::TORVTimerThread(TORVThreadTimer* ATimer, uint32_t IntervalToUse)
    : TORVThread(tpLower), FTimer(ATimer), FInterval(IntervalToUse) {}

void TORVTimerThread::Terminate() {
  TORVThread::Terminate();
  FEvent.Signal();
}

void TORVTimerThread::Stop() { Terminate(); }

void TORVTimerThread::Execute() {
  while (!GetTerminated()) {
    if (FEvent.WaitFor(FInterval) != 0) break;
    if (GetTerminated()) break;
    try {
      FTimer->FireTimer();
    } catch (...) {
      // Later firings depend on the thread going on (background flushing).
      LogThreadError(FormatString(u"Timer handler failed: %s", {ExceptionText(std::current_exception())}));
    }
  }
}

TORVThreadTimer::~TORVThreadTimer() {
  FEnabled = false;
  StopTimerThread();
}

void TORVThreadTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TORVThreadTimer::SetInterval(uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TORVThreadTimer::SetOnTimer(TORVNotifyEvent Value) {
  // The running thread reads the handler, so it stops before the handler
  // changes.
  StopTimerThread();
  FOnTimer = std::move(Value);
  StartTimerThread();
}

void TORVThreadTimer::StopTimerThread() {
  if (!FThread) return;
  FThread->Stop();
  FThread.reset();  // waits for the thread's end, then frees it
}

void TORVThreadTimer::StartTimerThread() {
  if (FInterval != 0 && FEnabled && FOnTimer) FThread = StartThread<TORVTimerThread>(this, FInterval);
}

void TORVThreadTimer::UpdateTimer() {
  StopTimerThread();
  StartTimerThread();
}

void TORVThreadTimer::FireTimer() {
  if (FOnTimer) FOnTimer(this);
}

// ---------------------------------------------------------------------------
// Thread containers

namespace {

// Stops a thread its container owns, so that freeing it cannot race its body.
void StopOwnedThread(TORVThread* Thread) {
  Thread->SetFreeOnTerminate(false);
  Thread->Terminate();
  Thread->WaitFor();
}

// A destructor's Clear: a thread that fails to stop is logged, not raised.
template <typename TContainer>
void ClearOrLog(TContainer& Container) {
  try {
    Container.Clear();
  } catch (...) {
    LogThreadError(ExceptionText(std::current_exception()));
  }
}

}  // namespace

TORVThreadList::~TORVThreadList() { ClearOrLog(*this); }

void TORVThreadList::Add(TORVThread* Value) {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  FList.Add(Value);
}

void TORVThreadList::Insert(int32_t Index, TORVThread* Value) {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  FList.Insert(Index, Value);
}

bool TORVThreadList::Remove(TORVThread* Value) {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  if (!FList.Remove(Value, false)) return false;
  std::unique_ptr<TORVThread> Owned(Value);  // freed also when stopping raised
  StopOwnedThread(Value);
  return true;
}

void TORVThreadList::Clear() {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  while (FList.GetCount() > 0) {
    int32_t Last = FList.GetCount() - 1;
    std::unique_ptr<TORVThread> Thread(static_cast<TORVThread*>(FList.GetObject(Last)));
    FList.Delete(Last, false);  // freed also when stopping raised
    StopOwnedThread(Thread.get());
  }
}

TORVThread* TORVThreadList::GetThread(int32_t Index) {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  return static_cast<TORVThread*>(FList.GetObject(Index));
}

int32_t TORVThreadList::GetCount() {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  return FList.GetCount();
}

TORVThreadStack::~TORVThreadStack() { ClearOrLog(*this); }

void TORVThreadStack::Push(TORVThread* Value) {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  FStack.Push(Value);
}

TORVThread* TORVThreadStack::Pop() {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  return static_cast<TORVThread*>(FStack.Pop());
}

void TORVThreadStack::Clear() {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  while (TORVBaseObject* Popped = FStack.Pop()) {
    std::unique_ptr<TORVThread> Thread(static_cast<TORVThread*>(Popped));
    StopOwnedThread(Thread.get());
  }
}

int32_t TORVThreadStack::GetCount() {
  std::lock_guard<TORVCriticalSection> Lock(FSection);
  return FStack.GetCount();
}

}  // namespace orv
