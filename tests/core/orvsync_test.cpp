#include "core/orvsync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

int64_t ElapsedMs(Clock::time_point Start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
}

TEST(CriticalSection, OwnerEntersAgainAndOthersAreKeptOut) {
  TORVCriticalSection section;
  int64_t total = 0;
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      section.Enter();
      section.Enter();  // re-entry by the holder must not deadlock
      ++total;
      section.Leave();
      ++total;
      section.Leave();
    }
  };
  std::thread other(work);
  work();
  other.join();
  EXPECT_EQ(total, 8000);
}

TEST(Event, AutoResetsAndDoesNotCountSignals) {
  TORVEvent event;
  EXPECT_EQ(event.WaitFor(0), 0) << "created not signalled";
  event.Signal();
  event.Signal();
  EXPECT_EQ(event.WaitFor(0), 1);
  EXPECT_EQ(event.WaitFor(0), 0) << "two signals before one wait count once";
  EXPECT_EQ(event.WaitFor(10), 0);
}

TEST(Event, SignalFromAnotherThreadWakesUnlimitedWait) {
  TORVEvent go, back;
  std::thread other([&] {
    EXPECT_EQ(go.WaitFor(ORVInfiniteWait), 1);
    back.Signal();
  });
  go.Signal();
  EXPECT_EQ(back.WaitFor(ORVInfiniteWait), 1);
  other.join();
}

TEST(Semaphore, CountsUnitsUpToItsMaximum) {
  TORVSemaphore semaphore(1, 2);
  EXPECT_EQ(semaphore.WaitFor(0), 1);
  EXPECT_EQ(semaphore.WaitFor(0), 0);
  EXPECT_TRUE(semaphore.Release());
  EXPECT_TRUE(semaphore.Release());
  EXPECT_FALSE(semaphore.Release()) << "the count stays at its maximum";
  EXPECT_EQ(semaphore.WaitFor(0), 1);
  EXPECT_EQ(semaphore.WaitFor(0), 1);
  EXPECT_EQ(semaphore.WaitFor(5), 0);
}

TEST(Semaphore, UnitTakenByOneThreadIsReleasedByAnother) {
  TORVSemaphore semaphore(1, 1);
  ASSERT_EQ(semaphore.WaitFor(0), 1);
  std::thread other([&] { EXPECT_TRUE(semaphore.Release()); });
  EXPECT_EQ(semaphore.WaitFor(ORVInfiniteWait), 1);
  other.join();
}

TEST(ReadWriteLock, ReaderTimesOutWhileWriterHoldsAndLeavesNoCount) {
  TORVReadWriteLock lock;
  ASSERT_TRUE(lock.EnterWrite(0));
  auto start = Clock::now();
  EXPECT_FALSE(lock.EnterRead(50));
  int64_t elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 45);
  EXPECT_LT(elapsed, 10000);
  EXPECT_EQ(lock.GetReaderCount(), 0);
  EXPECT_TRUE(lock.LeaveWrite());
  EXPECT_TRUE(lock.EnterRead(0));
  EXPECT_EQ(lock.GetReaderCount(), 1);
  EXPECT_TRUE(lock.LeaveRead());
}

TEST(ReadWriteLock, ReadersShareAndKeepWritersOut) {
  TORVReadWriteLock lock;
  ASSERT_TRUE(lock.EnterRead(0));
  ASSERT_TRUE(lock.EnterRead(0));
  EXPECT_EQ(lock.GetReaderCount(), 2);
  EXPECT_FALSE(lock.EnterWrite(0));
  lock.LeaveRead();
  EXPECT_FALSE(lock.EnterWrite(0)) << "one reader is still inside";
  lock.LeaveRead();
  EXPECT_TRUE(lock.EnterWrite(0));
  EXPECT_FALSE(lock.EnterWrite(10)) << "the write side is not re-entrant";
  EXPECT_FALSE(lock.EnterRead(0));
  lock.LeaveWrite();
}

TEST(ReadWriteLock, UnmatchedLeaveReadDoesNotLockWritersOut) {
  TORVReadWriteLock lock;
  EXPECT_TRUE(lock.LeaveRead());
  EXPECT_EQ(lock.GetReaderCount(), 0);
  EXPECT_TRUE(lock.EnterWrite(0));
  lock.LeaveWrite();
}

TEST(ReadWriteLock, ReadLockReleasedByAnotherThreadLetsWriterIn) {
  TORVReadWriteLock lock;
  ASSERT_TRUE(lock.EnterRead(0));
  std::atomic<bool> written{false};
  std::thread writer([&] {
    EXPECT_TRUE(lock.EnterWrite(ORVInfiniteWait));
    written = true;
    lock.LeaveWrite();
  });
  std::thread releaser([&] { EXPECT_TRUE(lock.LeaveRead()); });
  releaser.join();
  writer.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(lock.GetReaderCount(), 0);
}

TEST(ReadWriteLock, WriteLockReleasedByAnotherThreadLetsReaderIn) {
  TORVReadWriteLock lock;
  ASSERT_TRUE(lock.EnterWrite(0));
  std::thread reader([&] {
    EXPECT_TRUE(lock.EnterRead(ORVInfiniteWait));
    lock.LeaveRead();
  });
  std::thread releaser([&] { lock.LeaveWrite(); });
  releaser.join();
  reader.join();
  EXPECT_TRUE(lock.EnterWrite(0));
  lock.LeaveWrite();
}

TEST(ReadWriteLock, WritersExcludeEachOtherAndReaders) {
  TORVReadWriteLock lock;
  int64_t value = 0;  // guarded by the lock only
  std::atomic<bool> torn{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        if ((i + t) % 3 == 0) {
          ASSERT_TRUE(lock.EnterWrite(ORVInfiniteWait));
          value += 1;
          value += 1;
          lock.LeaveWrite();
        } else {
          ASSERT_TRUE(lock.EnterRead(ORVInfiniteWait));
          if (value % 2 != 0) torn = true;
          lock.LeaveRead();
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(torn);
  EXPECT_EQ(lock.GetReaderCount(), 0);
}

}  // namespace
}  // namespace orv
