#include "core/orvthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

// Generous: only a broken implementation ever waits this long.
constexpr uint32_t LongWait = 30000;

// A thread whose body is given by the test.
class TFuncThread : public TORVThread {
 public:
  using TBody = std::function<void(TFuncThread&)>;

  explicit TFuncThread(TBody Body, TORVThreadPriority Priority = tpNormal)
      : TORVThread(Priority), FBody(std::move(Body)) {}

  void Return(int32_t Value) { SetReturnValue(Value); }

 protected:
  void Execute() override { FBody(*this); }

 private:
  TBody FBody;
};

// Collects what threads report to the error log for the life of a test.
class TErrorLogCapture {
 public:
  TErrorLogCapture() {
    FPrevious = SetThreadErrorLog([this](const TORVString& Msg) {
      std::lock_guard<std::mutex> lock(FMutex);
      FMessages.push_back(Msg);
    });
  }
  ~TErrorLogCapture() { SetThreadErrorLog(FPrevious); }

  std::vector<TORVString> Messages() {
    std::lock_guard<std::mutex> lock(FMutex);
    return FMessages;
  }

 private:
  TORVThreadErrorLogEvent FPrevious;
  std::mutex FMutex;
  std::vector<TORVString> FMessages;
};

bool Contains(const TORVString& Text, const TORVString& Part) { return Text.find(Part) != TORVString::npos; }

TEST(ThreadMessageQueue, KeepsOrderAndBoundedArrayWhenNeverDrained) {
  TORVThreadMessageQueue queue;
  TORVThreadMessage message;
  message.ID = 0;
  queue.Enqueue(message);
  // One message always stays behind: the queue never becomes empty.
  for (int32_t i = 1; i <= 10000; ++i) {
    message.ID = i;
    message.Name = u"m";
    queue.Enqueue(message);
    TORVThreadMessage out;
    ASSERT_TRUE(queue.Dequeue(out));
    ASSERT_EQ(out.ID, i - 1);
  }
  EXPECT_EQ(queue.GetCount(), 1);
  EXPECT_EQ(queue.GetCapacity(), 32);
  queue.Reset();
  TORVThreadMessage out;
  EXPECT_FALSE(queue.Dequeue(out));
  EXPECT_EQ(queue.GetCount(), 0);
}

TEST(ThreadMessageQueue, GrowsInStepsOf32ForABacklog) {
  TORVThreadMessageQueue queue;
  for (int32_t i = 0; i < 33; ++i) {
    TORVThreadMessage message;
    message.ID = i;
    queue.Enqueue(message);
  }
  EXPECT_EQ(queue.GetCapacity(), 64);
  for (int32_t i = 0; i < 33; ++i) {
    TORVThreadMessage out;
    ASSERT_TRUE(queue.Dequeue(out));
    EXPECT_EQ(out.ID, i);
  }
}

TEST(Thread, ExceptionInExecuteStillRunsOnTerminateAndIsLogged) {
  TErrorLogCapture log;
  TORVEvent terminated;
  std::thread::id bodyThread, terminateThread;
  auto thread = std::make_unique<TFuncThread>([&](TFuncThread& self) {
    bodyThread = std::this_thread::get_id();
    self.Return(7);
    throw EORVException(100, u"body failed");
  });
  thread->SetOnTerminate([&](TORVBaseObject* Sender) {
    EXPECT_EQ(Sender, thread.get());
    terminateThread = std::this_thread::get_id();
    terminated.Signal();
  });
  thread->AfterConstruction();
  EXPECT_EQ(thread->WaitFor(), 7u);
  EXPECT_EQ(terminated.WaitFor(0), 1);
  EXPECT_EQ(bodyThread, terminateThread) << "OnTerminate runs in the ending thread";
  EXPECT_TRUE(thread->GetFinished());
  auto messages = log.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(Contains(messages[0], u"body failed")) << StringToUtf8(messages[0]);
}

TEST(Thread, WaitForOnFinishedThreadReturnsExitCodeEachTime) {
  auto thread = StartThread<TFuncThread>([](TFuncThread& self) { self.Return(-2); });
  EXPECT_EQ(thread->WaitFor(), 0xFFFFFFFEu);
  EXPECT_TRUE(thread->GetFinished());
  EXPECT_EQ(thread->WaitFor(), 0xFFFFFFFEu);
  EXPECT_NE(thread->GetThreadID(), 0u);
}

TEST(Thread, NeverStartedThreadWaitsForNothing) {
  TFuncThread thread([](TFuncThread&) { FAIL() << "never started"; });
  EXPECT_EQ(thread.WaitFor(), 0u);
  EXPECT_FALSE(thread.GetStarted());
}

TEST(Thread, TerminatedBeforeStartSkipsExecuteButRunsOnTerminate) {
  std::atomic<bool> executed{false}, terminated{false};
  auto thread = std::make_unique<TFuncThread>([&](TFuncThread&) { executed = true; });
  thread->SetOnTerminate([&](TORVBaseObject*) { terminated = true; });
  thread->Terminate();
  thread->AfterConstruction();
  thread->WaitFor();
  EXPECT_FALSE(executed);
  EXPECT_TRUE(terminated);
}

TEST(Thread, GetMsgHandsOutEveryQueuedMessageThenTimesOut) {
  TORVEvent go;
  std::vector<int32_t> received;
  bool last = true;
  auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
    go.WaitFor(ORVInfiniteWait);
    TORVThreadMessage message;
    // Both posts came before the first wait: the one signal stands for both.
    while (self.GetMsg(message, 0)) received.push_back(message.ID);
    last = self.GetMsg(message, 20);
  });
  for (int32_t id : {1, 2}) {
    TORVThreadMessage message;
    message.ID = id;
    thread->PostMsg(message);
  }
  go.Signal();
  thread->WaitFor();
  EXPECT_EQ(received, (std::vector<int32_t>{1, 2}));
  EXPECT_FALSE(last);
}

TEST(Thread, GetMsgCopiesMessageAndClearsFieldsWhenNothingCame) {
  TORVEvent go;
  TORVThreadMessage got, none;
  bool gotResult = false, noneResult = true;
  auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
    go.WaitFor(ORVInfiniteWait);
    gotResult = self.GetMsg(got, LongWait);
    none.Thread = &self;
    none.ID = 9;
    none.Data = 9;
    none.Name = u"kept";
    noneResult = self.GetMsg(none, 0);
  });
  TORVThreadMessage message;
  message.Thread = thread.get();
  message.ID = 100;
  message.Name = u"run";
  message.Data = 42;
  thread->PostMsg(message);
  go.Signal();
  thread->WaitFor();
  EXPECT_TRUE(gotResult);
  EXPECT_EQ(got.Thread, thread.get());
  EXPECT_EQ(got.ID, 100);
  EXPECT_EQ(got.Name, u"run");
  EXPECT_EQ(got.Data, 42);
  EXPECT_FALSE(noneResult);
  EXPECT_EQ(none.Thread, nullptr);
  EXPECT_EQ(none.ID, 0);
  EXPECT_EQ(none.Data, 0);
  EXPECT_EQ(none.Name, u"kept");
}

TEST(Thread, GetMsgOnTerminatedThreadReturnsFalseAndKeepsName) {
  TORVEvent running, go;
  bool result = true;
  TORVThreadMessage message;
  auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
    running.Signal();
    go.WaitFor(ORVInfiniteWait);
    message.Name = u"kept";
    message.ID = 5;
    result = self.GetMsg(message, LongWait);
  });
  ASSERT_EQ(running.WaitFor(LongWait), 1);  // a thread terminated before its body never runs it
  TORVThreadMessage posted;
  posted.ID = 1;
  thread->PostMsg(posted);
  thread->Terminate();
  TORVThreadMessage ignored;
  ignored.ID = 2;
  thread->PostMsg(ignored);  // ignored once terminated
  go.Signal();
  thread->WaitFor();
  EXPECT_FALSE(result);
  EXPECT_EQ(message.Name, u"kept");
  EXPECT_EQ(message.ID, 0);
}

TEST(Thread, TerminateWakesUnlimitedGetMsg) {
  TORVEvent waiting;
  auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
    TORVThreadMessage message;
    waiting.Signal();
    while (self.GetMsg(message, ORVInfiniteWait)) {
    }
  });
  ASSERT_EQ(waiting.WaitFor(LongWait), 1);
  thread->Terminate();
  thread->WaitFor();
  EXPECT_TRUE(thread->GetFinished());
}

TEST(Thread, DeleterStopsRunningThreadBeforeFreeingIt) {
  std::atomic<bool> ended{false};
  TORVEvent running;
  {
    auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
      running.Signal();
      TORVThreadMessage message;
      while (!self.GetTerminated()) self.GetMsg(message, ORVInfiniteWait);
      ended = true;
    });
    ASSERT_EQ(running.WaitFor(LongWait), 1);
  }
  EXPECT_TRUE(ended);
}

TEST(Thread, FreeOnTerminateThreadFreesItself) {
  TORVEvent freed;
  class TSelfFreeing : public TFuncThread {
   public:
    TSelfFreeing(TORVEvent& Freed) : TFuncThread([](TFuncThread&) {}), FFreed(Freed) {}
    ~TSelfFreeing() override { FFreed.Signal(); }

   private:
    TORVEvent& FFreed;
  };
  auto* thread = new TSelfFreeing(freed);
  thread->SetFreeOnTerminate(true);
  thread->AfterConstruction();
  EXPECT_EQ(freed.WaitFor(LongWait), 1);
}

TEST(Thread, EveryPriorityStartsAndSettingItIsBestEffort) {
  for (TORVThreadPriority priority : {tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical}) {
    TORVEvent go;
    auto thread = StartThread<TFuncThread>(
        [&](TFuncThread& self) {
          go.WaitFor(ORVInfiniteWait);
          self.Return(1);
        },
        priority);
    EXPECT_EQ(thread->GetPriority(), priority);
    thread->SetPriority(tpLower);
    EXPECT_EQ(thread->GetPriority(), tpLower);
    go.Signal();
    EXPECT_EQ(thread->WaitFor(), 1u) << static_cast<int>(priority);
  }
}

TEST(Thread, WaitForItselfRaisesThreadError) {
  TORVString text;
  auto thread = StartThread<TFuncThread>([&](TFuncThread& self) {
    try {
      self.WaitFor();
    } catch (const EORVBaseException& e) {
      text = e.Message();
    }
  });
  thread->WaitFor();
  EXPECT_EQ(text.rfind(u"Thread error: ", 0), 0u) << StringToUtf8(text);
}

// A thread that runs until terminated and says when it was freed.
class TLoopThread : public TORVThread {
 public:
  TLoopThread(std::atomic<int>& Freed) : TORVThread(tpNormal), FFreed(Freed) {}
  ~TLoopThread() override {
    EXPECT_TRUE(GetFinished());
    ++FFreed;
  }

 protected:
  void Execute() override {
    TORVThreadMessage message;
    while (!GetTerminated()) GetMsg(message, ORVInfiniteWait);
  }

 private:
  std::atomic<int>& FFreed;
};

TEST(ThreadList, RemoveAndClearStopAndFreeTheirThreads) {
  std::atomic<int> freed{0};
  auto list = std::make_unique<TORVThreadList>();
  std::vector<TORVThread*> threads;
  for (int i = 0; i < 3; ++i) {
    threads.push_back(StartThread<TLoopThread>(freed).release());
    list->Add(threads.back());
  }
  threads[1]->SetFreeOnTerminate(true);  // the list overrides it
  EXPECT_EQ(list->GetCount(), 3);
  EXPECT_EQ(list->GetThread(1), threads[1]);

  EXPECT_TRUE(list->Remove(threads[0]));
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_FALSE(list->Remove(threads[0]));

  list->Clear();
  EXPECT_EQ(freed, 3);
  EXPECT_EQ(list->GetCount(), 0);

  list->Insert(0, StartThread<TLoopThread>(freed).release());
  list.reset();
  EXPECT_EQ(freed, 4);
}

TEST(ThreadStack, PopsLastPushedAndStopsTheRestWhenFreed) {
  std::atomic<int> freed{0};
  auto stack = std::make_unique<TORVThreadStack>();
  TORVThread* first = StartThread<TLoopThread>(freed).release();
  TORVThread* second = StartThread<TLoopThread>(freed).release();
  stack->Push(first);
  stack->Push(second);
  EXPECT_EQ(stack->GetCount(), 2);
  TORVThreadPtr<TORVThread> popped(stack->Pop());
  EXPECT_EQ(popped.get(), second);
  popped.reset();
  EXPECT_EQ(freed, 1);
  stack.reset();
  EXPECT_EQ(freed, 2);
  TORVThreadStack empty;
  EXPECT_EQ(empty.Pop(), nullptr);
}

TEST(ThreadTimer, RunsNoThreadWithoutIntervalHandlerOrEnabled) {
  TORVThreadTimer timer;
  EXPECT_EQ(timer.GetInterval(), 1000u);
  EXPECT_FALSE(timer.GetEnabled());
  timer.SetOnTimer([](TORVBaseObject*) {});
  EXPECT_FALSE(timer.GetRunning()) << "not enabled";
  timer.SetInterval(0);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.GetRunning()) << "interval 0";
  timer.SetOnTimer(nullptr);
  timer.SetInterval(5);
  EXPECT_FALSE(timer.GetRunning()) << "no handler";
  timer.SetOnTimer([](TORVBaseObject*) {});
  EXPECT_TRUE(timer.GetRunning());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.GetRunning());
}

TEST(ThreadTimer, HandlerThatRaisesIsLoggedAndTimerKeepsFiring) {
  TErrorLogCapture log;
  std::atomic<int> firings{0};
  TORVEvent enough;
  TORVThreadTimer timer;
  timer.SetInterval(1);
  timer.SetOnTimer([&](TORVBaseObject* Sender) {
    EXPECT_EQ(Sender, &timer);
    int n = ++firings;
    if (n == 3) enough.Signal();
    if (n <= 2) throw std::runtime_error("flush failed");
  });
  timer.SetEnabled(true);
  ASSERT_EQ(enough.WaitFor(LongWait), 1);
  timer.SetEnabled(false);
  int stopped = firings;
  EXPECT_GE(stopped, 3);
  auto messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(Contains(messages[0], u"flush failed")) << StringToUtf8(messages[0]);
  EXPECT_EQ(firings, stopped) << "a disabled timer fires no more";
}

TEST(ThreadTimer, FreeingTimerStopsItsThreadPromptly) {
  std::atomic<int> firings{0};
  {
    TORVThreadTimer timer;
    timer.SetInterval(LongWait);
    timer.SetOnTimer([&](TORVBaseObject*) { ++firings; });
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.GetRunning());
  }
  EXPECT_EQ(firings, 0);
}

}  // namespace
}  // namespace orv
