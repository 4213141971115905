// Many threads at once through the thread, queue and lock primitives. These
// also run under ThreadSanitizer (label "tsan"), which reports any data race
// the primitives let through.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "core/orvsync.h"
#include "core/orvthread.h"

namespace orv {
namespace {

constexpr uint32_t LongWait = 60000;

class TBodyThread : public TORVThread {
 public:
  explicit TBodyThread(std::function<void(TBodyThread&)> Body) : TORVThread(tpNormal), FBody(std::move(Body)) {}

 protected:
  void Execute() override { FBody(*this); }

 private:
  std::function<void(TBodyThread&)> FBody;
};

TEST(ThreadStress, BurstsOfPostsFromManyThreadsAreAllDeliveredInOrder) {
  constexpr int Producers = 4;
  constexpr int PerProducer = 2000;
  std::vector<int> lastSeen(Producers, -1);
  int received = 0;
  bool ordered = true;
  auto consumer = StartThread<TBodyThread>([&](TBodyThread& self) {
    TORVThreadMessage message;
    while (received < Producers * PerProducer && self.GetMsg(message, LongWait)) {
      if (message.Data != lastSeen[message.ID] + 1) ordered = false;
      lastSeen[message.ID] = static_cast<int>(message.Data);
      ++received;
    }
  });
  std::vector<std::thread> producers;
  for (int p = 0; p < Producers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < PerProducer; ++i) {
        TORVThreadMessage message;
        message.ID = p;
        message.Data = i;
        message.Name = u"burst";
        consumer->PostMsg(message);
      }
    });
  }
  for (auto& producer : producers) producer.join();
  consumer->WaitFor();
  EXPECT_EQ(received, Producers * PerProducer);
  EXPECT_TRUE(ordered);
}

TEST(ThreadStress, LocksKeepSharedCountersConsistent) {
  TORVCriticalSection section;
  TORVReadWriteLock rwLock;
  TORVReadWriteSpinLock spinLock;
  int64_t sectionCount = 0, rwValue = 0, spinValue = 0;  // plain: the locks guard them
  std::atomic<bool> torn{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 1000; ++i) {
        {
          std::lock_guard<TORVCriticalSection> lock(section);
          std::lock_guard<TORVCriticalSection> again(section);
          ++sectionCount;
        }
        if ((i + t) % 4 == 0) {
          rwLock.EnterWrite(ORVInfiniteWait);
          rwValue += 2;
          rwLock.LeaveWrite();
          spinLock.BeginWrite();
          spinValue += 2;
          spinLock.EndWrite();
        } else {
          rwLock.EnterRead(ORVInfiniteWait);
          if (rwValue % 2 != 0) torn = true;
          rwLock.LeaveRead();
          spinLock.BeginRead();
          if (spinValue % 2 != 0) torn = true;
          spinLock.EndRead();
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(sectionCount, 4000);
  EXPECT_EQ(rwValue, 2000);
  EXPECT_EQ(spinValue, 2000);
  EXPECT_FALSE(torn);
}

TEST(ThreadStress, ReadLocksHandedBetweenThreads) {
  // Readers enter on one thread and leave on another, as sessions do when a
  // request moves between server threads.
  TORVReadWriteLock lock;
  std::atomic<int> writes{0};
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i) {
      ASSERT_TRUE(lock.EnterWrite(LongWait));
      ++writes;
      lock.LeaveWrite();
    }
  });
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(lock.EnterRead(LongWait));
    std::thread leaver([&] { lock.LeaveRead(); });
    leaver.join();
  }
  writer.join();
  EXPECT_EQ(writes, 200);
  EXPECT_EQ(lock.GetReaderCount(), 0);
}

TEST(ThreadStress, ThreadListAddsAndRemovesFromManyThreads) {
  TORVThreadList list;
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        auto thread = StartThread<TBodyThread>([&](TBodyThread& self) {
          TORVThreadMessage message;
          while (self.GetMsg(message, LongWait)) {
          }
          ++finished;
        });
        TORVThread* raw = thread.release();
        list.Add(raw);
        EXPECT_TRUE(list.Remove(raw));
      }
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_LE(finished, 40);  // a thread terminated before its body never runs it
}

TEST(ThreadStress, TimerRestartedWhileFiring) {
  std::atomic<int> firings{0};
  TORVEvent fired;
  TORVThreadTimer timer;
  timer.SetInterval(1);
  timer.SetOnTimer([&](TORVBaseObject*) {
    ++firings;
    fired.Signal();
  });
  timer.SetEnabled(true);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(fired.WaitFor(LongWait), 1);
    timer.SetInterval(1 + static_cast<uint32_t>(i % 2));
  }
  timer.SetEnabled(false);
  EXPECT_GE(firings, 20);
}

}  // namespace
}  // namespace orv
