#include "core/orvcommon.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/orvplatformtime.h"

namespace orv {
namespace {

// An object that writes its name into a shared log when it is freed.
class Tracked : public TORVBaseObject {
 public:
  Tracked(std::string Name, std::vector<std::string>& Log) : FName(std::move(Name)), FLog(Log) {}
  ~Tracked() override { FLog.push_back(FName); }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
  std::vector<std::string>& FLog;
};

std::string NameOf(TORVBaseObject* Object) {
  return Object == nullptr ? "nil" : static_cast<Tracked*>(Object)->Name();
}

class Containers : public ::testing::Test {
 protected:
  Tracked* Make(const std::string& Name) { return new Tracked(Name, FFreed); }

  static std::vector<std::string> Names(const TORVObjectList& List) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < List.GetCount(); ++i) names.push_back(NameOf(List.GetObject(i)));
    return names;
  }

  std::vector<std::string> FFreed;
};

using Strings = std::vector<std::string>;

// --- free routines ---

TEST(CommonRoutines, BlockOffsetRoundsUpToWholeBlocks) {
  struct Case {
    int32_t value, block, expected;
  } cases[] = {{0, 256, 0}, {1, 256, 256}, {256, 256, 256}, {257, 32, 288}, {33, 32, 64}, {64, 64, 64}};
  for (const auto& c : cases) EXPECT_EQ(BlockOffset(c.value, c.block), c.expected) << c.value << "/" << c.block;
}

TEST(CommonRoutines, BlockOffsetRefusesBadBlockAndOverflow) {
  EXPECT_THROW(BlockOffset(5, 0), std::invalid_argument);
  EXPECT_THROW(BlockOffset(INT32_MAX, 256), std::overflow_error);
  EXPECT_EQ(BlockOffset(INT32_MAX - 127, 128), INT32_MAX - 127);
}

TEST(CommonRoutines, CalculateCRC32IsComplementOfStandardCrcOfUtf16LE) {
  EXPECT_EQ(CalculateCRC32(u""), 0xFFFFFFFFu);
  EXPECT_EQ(CalculateCRC32(u"abc"), 0x526A854Fu);
  // The high byte of each code unit takes part.
  EXPECT_NE(CalculateCRC32(u"\u0100"), CalculateCRC32(u"\u0001"));
}

TEST(CommonRoutines, CompareBytesIsUnsignedLexicographic) {
  struct Case {
    TORVBytes a, b;
    int32_t expected;
  } cases[] = {
      {{0x61, 0x62}, {0x61, 0x62, 0x63}, -1},
      {{0x61, 0x62, 0x63}, {0x61, 0x62}, 1},
      {{}, {}, 0},
      {{0x80}, {0x7F}, 1},
      {{0x7F, 0xFF}, {0x80}, -1},
      {{1, 2, 3}, {1, 2, 3}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareBytes(c.a, c.b), c.expected);
    EXPECT_EQ(CompareBytes(c.a.data(), ByteLength(c.a), c.b.data(), ByteLength(c.b)), c.expected);
  }
}

TEST(CommonRoutines, MoveAndClearBytesStayInsideTheArray) {
  TORVBytes source{1, 2, 3, 4};
  TORVBytes dest(4, 9);
  MoveBytes(source, 1, dest, 2, 2);
  EXPECT_EQ(dest, (TORVBytes{9, 9, 2, 3}));
  EXPECT_THROW(MoveBytes(source, 3, dest, 0, 2), std::out_of_range);
  EXPECT_THROW(MoveBytes(source, 0, dest, 3, 2), std::out_of_range);
  EXPECT_THROW(MoveBytes(source, -1, dest, 0, 1), std::out_of_range);
  TORVBytes empty;
  MoveBytes(source, 0, empty, 0, 4);  // an empty destination takes nothing
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(dest, (TORVBytes{9, 9, 2, 3}));

  ClearBytes(dest, 1, 2);
  EXPECT_EQ(dest, (TORVBytes{9, 0, 0, 3}));
  EXPECT_THROW(ClearBytes(dest, 3, 2), std::out_of_range);

  TORVWords words{1, 2, 3};
  ClearWords(words, 1, 2);
  EXPECT_EQ(words, (TORVWords{1, 0, 0}));
  EXPECT_THROW(ClearWords(words, 0, 4), std::out_of_range);
  TORVLongWords longs{5, 6, 7};
  ClearTORVLongWords(longs, 0, 1);
  EXPECT_EQ(longs, (TORVLongWords{0, 6, 7}));
  EXPECT_THROW(ClearTORVLongWords(longs, 2, 2), std::out_of_range);
}

TEST(CommonRoutines, CopyArrayHandlesOverlapAndClearArrayScalesByElementSize) {
  int32_t values[6] = {1, 2, 3, 4, 5, 6};
  CopyArray(values, 0, values, 1, 4, sizeof(int32_t));  // overlapping move up
  EXPECT_EQ(std::vector<int32_t>(values, values + 6), (std::vector<int32_t>{1, 1, 2, 3, 4, 6}));
  CopyArray(values, 2, values, 0, 3, sizeof(int32_t));  // overlapping move down
  EXPECT_EQ(std::vector<int32_t>(values, values + 6), (std::vector<int32_t>{2, 3, 4, 3, 4, 6}));
  ClearArray(values, 4, 2, sizeof(int32_t));
  ClearArray(values, 0, 0, sizeof(int32_t));
  EXPECT_EQ(std::vector<int32_t>(values, values + 6), (std::vector<int32_t>{2, 3, 4, 3, 0, 0}));
}

TEST(CommonRoutines, FreeAndNilClearsVariableBeforeFreeing) {
  std::vector<std::string> log;
  Tracked* object = new Tracked("a", log);
  FreeAndNil(object);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(log, Strings{"a"});
  FreeAndNil(object);  // nil is a no-op
  FreeAndNilObject(object);
  EXPECT_EQ(log.size(), 1u);
}

TEST(CommonRoutines, LockedCompareExchangeReturnsPriorValue) {
  std::atomic<int32_t> value{5};
  EXPECT_EQ(LockedCompareExchange(value, 9, 4), 5);  // comparand differs: unchanged
  EXPECT_EQ(value.load(), 5);
  EXPECT_EQ(LockedCompareExchange(value, 9, 5), 5);
  EXPECT_EQ(value.load(), 9);
}

TEST(CommonRoutines, LockedIncrementAndDecrementAreAtomic) {
  std::atomic<int32_t> value{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&value] {
      for (int i = 0; i < 10000; ++i) LockedIncrement(value);
      for (int i = 0; i < 5000; ++i) LockedDecrement(value);
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(value.load(), 4 * 5000);
}

// --- spin counters ---

class SpinCounters : public ::testing::Test {
 protected:
  void TearDown() override { ResetTickCountForTest(); }
};

TEST_F(SpinCounters, ReadersShareAndWriterExcludes) {
  std::atomic<int32_t> counter{0};
  EXPECT_TRUE(ReadLock(counter, 0));
  EXPECT_TRUE(ReadLock(counter, 0));
  EXPECT_EQ(counter.load(), 2);
  EXPECT_FALSE(WriteLock(counter, 0));
  EXPECT_TRUE(ReadUnlock(counter));
  EXPECT_TRUE(ReadUnlock(counter));
  EXPECT_FALSE(ReadUnlock(counter));  // on 0
  EXPECT_EQ(counter.load(), 0);
  EXPECT_TRUE(WriteLock(counter, 0));  // a zero timeout still tries once
  EXPECT_EQ(counter.load(), -1);
  EXPECT_FALSE(ReadLock(counter, 0));
  EXPECT_FALSE(ReadUnlock(counter));
  EXPECT_EQ(counter.load(), -1);
  EXPECT_TRUE(WriteUnlock(counter));
  EXPECT_EQ(counter.load(), 0);
}

TEST_F(SpinCounters, WriteUnlockWithoutWriterLeavesCounterAlone) {
  for (int32_t value : {0, 1, 3}) {
    std::atomic<int32_t> counter{value};
    EXPECT_FALSE(WriteUnlock(counter));
    EXPECT_EQ(counter.load(), value);
  }
}

TEST_F(SpinCounters, TimedWaitGivesUpAfterTimeoutAcrossTickWrap) {
  std::atomic<int32_t> counter{-1};
  SetTickCountForTest(0xFFFFFFFFu - 3);  // the wait spans the 2^32 wrap
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadLock(counter, 30));
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(29));
  counter = 1;
  SetTickCountForTest(0xFFFFFFFFu - 3);
  EXPECT_FALSE(WriteLock(counter, 30));
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(58));
  EXPECT_EQ(counter.load(), 1);
}

TEST_F(SpinCounters, WaitingWriterGetsCounterWhenReaderLeaves) {
  std::atomic<int32_t> counter{0};
  ASSERT_TRUE(ReadLock(counter, 0));
  std::thread reader([&counter] {
    Sleep(20);
    ReadUnlock(counter);
  });
  EXPECT_TRUE(WriteLock(counter, 0xFFFFFFFFu));
  reader.join();
  EXPECT_EQ(counter.load(), -1);
}

TEST_F(SpinCounters, WritersExcludeEachOtherUnderContention) {
  std::atomic<int32_t> counter{0};
  std::atomic<int32_t> inside{0};
  std::atomic<bool> overlap{false};
  int64_t total = 0;  // guarded by the spin counter
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        if (i % 2 == 0) {
          ASSERT_TRUE(WriteLock(counter, 0xFFFFFFFFu));
          if (inside.fetch_add(1) != 0) overlap = true;
          ++total;
          inside.fetch_sub(1);
          ASSERT_TRUE(WriteUnlock(counter));
        } else {
          ASSERT_TRUE(ReadLock(counter, 0xFFFFFFFFu));
          if (inside.load() != 0) overlap = true;
          ASSERT_TRUE(ReadUnlock(counter));
        }
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(total, 4 * 1000);
  EXPECT_EQ(counter.load(), 0);
}

// --- object list ---

TEST_F(Containers, ListInsertDeleteAndRemoveKeepOrder) {
  struct Case {
    const char* what;
    void (*apply)(TORVObjectList&, TORVBaseObject*);
    Strings expected;
  } cases[] = {
      {"insert at 0", [](TORVObjectList& l, TORVBaseObject* x) { l.Insert(0, x); }, {"X", "P", "Q", "R", "S"}},
      {"insert at 2", [](TORVObjectList& l, TORVBaseObject* x) { l.Insert(2, x); }, {"P", "Q", "X", "R", "S"}},
      {"insert at end", [](TORVObjectList& l, TORVBaseObject* x) { l.Insert(4, x); }, {"P", "Q", "R", "S", "X"}},
      {"delete 1", [](TORVObjectList& l, TORVBaseObject*) { l.Delete(1, false); }, {"P", "R", "S"}},
      {"delete last", [](TORVObjectList& l, TORVBaseObject*) { l.Delete(3, false); }, {"P", "Q", "R"}},
      {"remove absent",
       [](TORVObjectList& l, TORVBaseObject* x) { EXPECT_FALSE(l.Remove(x, true)); },
       {"P", "Q", "R", "S"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> log;
    Tracked x("X", log);
    TORVObjectList list(false);
    std::vector<std::unique_ptr<Tracked>> items;
    for (const char* name : {"P", "Q", "R", "S"}) {
      items.push_back(std::make_unique<Tracked>(name, log));
      list.Add(items.back().get());
    }
    c.apply(list, &x);
    EXPECT_EQ(Names(list), c.expected) << c.what;
    EXPECT_TRUE(log.empty()) << c.what;  // a list that does not own frees nothing
  }
}

TEST_F(Containers, ListFindGivesFirstSlotOrMinusOne) {
  TORVObjectList list(false);
  Tracked a("a", FFreed), b("b", FFreed), c("c", FFreed);
  list.Add(&a);
  list.Add(&b);
  list.Add(&a);
  EXPECT_EQ(list.Find(&a), 0);
  EXPECT_EQ(list.Find(&b), 1);
  EXPECT_EQ(list.Find(&c), -1);
  EXPECT_TRUE(list.Remove(&a, false));
  EXPECT_EQ(Names(list), (Strings{"b", "a"}));
}

TEST_F(Containers, OwningListFreesOnDeleteRemoveClearAndDestroy) {
  {
    TORVObjectList list(true);
    for (const char* name : {"a", "b", "c", "d", "e"}) list.Add(Make(name));
    list.Delete(0, true);
    EXPECT_EQ(FFreed, Strings{"a"});
    TORVBaseObject* kept = list.GetObject(0);
    list.Delete(0, false);  // taken out without freeing
    EXPECT_EQ(FFreed, Strings{"a"});
    delete kept;
    EXPECT_TRUE(list.Remove(list.GetObject(0), true));
    EXPECT_EQ(FFreed, (Strings{"a", "b", "c"}));
    list.Clear();  // last entry first
    EXPECT_EQ(FFreed, (Strings{"a", "b", "c", "e", "d"}));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCapacity(), 256);  // slots stay allocated
    for (const char* name : {"x", "y"}) list.Add(Make(name));
  }
  EXPECT_EQ(FFreed, (Strings{"a", "b", "c", "e", "d", "y", "x"}));
}

TEST_F(Containers, ListChecksIndexAgainstCount) {
  TORVObjectList list(true);
  list.Add(Make("a"));
  list.Add(Make("b"));
  list.Clear();
  // The slots remain allocated, but no stale entry can be read back.
  EXPECT_THROW(list.GetObject(0), std::out_of_range);
  list.Add(Make("c"));
  EXPECT_EQ(NameOf(list.GetObject(0)), "c");
  for (int32_t bad : {-1, 1, 255, 256}) {
    EXPECT_THROW(list.GetObject(bad), std::out_of_range) << bad;
    EXPECT_THROW(list.SetObject(bad, nullptr), std::out_of_range) << bad;
    EXPECT_THROW(list.Delete(bad, true), std::out_of_range) << bad;
  }
  EXPECT_THROW(list.Insert(2, nullptr), std::out_of_range);
  EXPECT_THROW(list.Insert(-1, nullptr), std::out_of_range);
  EXPECT_EQ(list.GetCount(), 1);
}

TEST_F(Containers, ListGrowsInBlocksOf256) {
  TORVObjectList list(false);
  EXPECT_EQ(list.GetCapacity(), 0);
  for (int i = 0; i < 257; ++i) list.Add(nullptr);
  EXPECT_EQ(list.GetCapacity(), 512);
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 512);
}

// A destructor that looks into its owning list must find only live entries.
class SelfRemoving : public TORVBaseObject {
 public:
  SelfRemoving(TORVObjectList& List, std::vector<int32_t>& Seen) : FList(List), FSeen(Seen) {}
  ~SelfRemoving() override {
    FSeen.push_back(FList.GetCount());
    EXPECT_FALSE(FList.Remove(this, false));
  }

 private:
  TORVObjectList& FList;
  std::vector<int32_t>& FSeen;
};

TEST_F(Containers, OwnedObjectLeavesListBeforeItIsFreed) {
  std::vector<int32_t> seen;
  {
    TORVObjectList list(true);
    for (int i = 0; i < 3; ++i) list.Add(new SelfRemoving(list, seen));
    list.Delete(1, true);
    EXPECT_EQ(list.GetCount(), 2);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 1, 0}));
}

// --- stack and queue ---

TEST_F(Containers, StackPopsInReverseAndArrayFirstLiesDeepest) {
  TORVObjectStack stack;
  EXPECT_EQ(stack.Pop(), nullptr);
  EXPECT_EQ(stack.Peek(), nullptr);
  stack.Push(Make("P"));
  stack.Push(TORVObjectsArray{Make("Q"), Make("R")});
  EXPECT_EQ(NameOf(stack.Peek()), "R");
  EXPECT_EQ(stack.GetCount(), 3);
  Strings popped;
  while (TORVBaseObject* object = stack.Pop()) {
    popped.push_back(NameOf(object));
    delete object;
  }
  EXPECT_EQ(popped, (Strings{"R", "Q", "P"}));
  EXPECT_EQ(stack.Pop(), nullptr);
}

TEST_F(Containers, StackFreesRemainingObjectsFromTheTop) {
  {
    TORVObjectStack stack;
    for (const char* name : {"a", "b", "c"}) stack.Push(Make(name));
  }
  EXPECT_EQ(FFreed, (Strings{"c", "b", "a"}));
}

TEST_F(Containers, QueueDequeuesInOrderAndResetsWhenEmpty) {
  TORVObjectQueue queue;
  EXPECT_EQ(queue.Dequeue(), nullptr);
  queue.Enqueue(Make("P"));
  queue.Enqueue(TORVObjectsArray{Make("Q"), Make("R")});
  Strings got;
  for (int i = 0; i < 3; ++i) {
    TORVBaseObject* object = queue.Dequeue();
    got.push_back(NameOf(object));
    delete object;
  }
  EXPECT_EQ(got, (Strings{"P", "Q", "R"}));
  EXPECT_EQ(queue.Dequeue(), nullptr);
  EXPECT_EQ(queue.GetCount(), 0);
}

TEST_F(Containers, QueueDequeueAllPassesObjectsInOrder) {
  TORVObjectQueue queue;
  EXPECT_TRUE(queue.DequeueAll().empty());
  for (const char* name : {"a", "b", "c"}) queue.Enqueue(Make(name));
  delete queue.Dequeue();
  TORVObjectsArray all = queue.DequeueAll();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(NameOf(all[0]), "b");
  EXPECT_EQ(NameOf(all[1]), "c");
  EXPECT_EQ(queue.GetCount(), 0);
  for (TORVBaseObject* object : all) delete object;
  EXPECT_EQ(FFreed, (Strings{"a", "b", "c"}));
}

TEST_F(Containers, QueueThatNeverDrainsKeepsBoundedArray) {
  TORVObjectQueue queue;
  queue.Enqueue(Make("first"));
  for (int i = 0; i < 1000; ++i) {
    queue.Enqueue(Make(std::to_string(i)));
    delete queue.Dequeue();
    ASSERT_EQ(queue.GetCount(), 1);
  }
  EXPECT_EQ(queue.GetCapacity(), 32);
  TORVBaseObject* last = queue.Dequeue();
  EXPECT_EQ(NameOf(last), "999");
  delete last;
}

TEST_F(Containers, QueueFreesQueuedObjectsFromLastToHead) {
  {
    TORVObjectQueue queue;
    for (const char* name : {"a", "b", "c", "d"}) queue.Enqueue(Make(name));
    delete queue.Dequeue();
  }
  EXPECT_EQ(FFreed, (Strings{"a", "d", "c", "b"}));
}

TEST_F(Containers, QueueGrowsInBlocksOf32AndKeepsOrderAcrossGrowth) {
  TORVObjectQueue queue;
  for (int i = 0; i < 40; ++i) queue.Enqueue(Make(std::to_string(i)));
  EXPECT_EQ(queue.GetCapacity(), 64);
  for (int i = 0; i < 40; ++i) {
    TORVBaseObject* object = queue.Dequeue();
    EXPECT_EQ(NameOf(object), std::to_string(i));
    delete object;
  }
}

// --- object cache ---

class ObjectCache : public Containers {};

TEST_F(ObjectCache, GetHandsOutIdleMatchOnlyOnce) {
  TORVObjectCache cache(4);
  Tracked* x = Make("X");
  cache.Add(7, x);
  EXPECT_EQ(cache.Get(7), nullptr);  // in use since Add
  cache.Put(x);
  EXPECT_EQ(cache.Get(7), x);
  EXPECT_EQ(cache.Get(7), nullptr);
  EXPECT_EQ(cache.Get(8), nullptr);
  cache.Put(x);
  cache.Put(x);  // use count never goes below 0
  EXPECT_EQ(cache.Get(7), x);
  cache.Put(nullptr);
  cache.Clear(true);
  EXPECT_TRUE(FFreed.empty());  // x was in use and no handler is set
  delete x;
}

TEST_F(ObjectCache, FullCacheReusesLeastRecentlyUsedIdleEntry) {
  TORVObjectCache cache(2);
  Tracked* x = Make("X");
  Tracked* y = Make("Y");
  Tracked* z = Make("Z");
  cache.Add(1, x);
  cache.Add(2, y);
  cache.Put(x);
  cache.Add(3, z);
  EXPECT_EQ(FFreed, Strings{"X"});
  EXPECT_EQ(cache.GetCount(), 2);
  EXPECT_EQ(cache.Get(1), nullptr);
  cache.Put(y);
  cache.Put(z);
  cache.Clear(true);
  // The reused entry keeps its place, and entries are visited last to first.
  EXPECT_EQ(FFreed, (Strings{"X", "Y", "Z"}));
}

TEST_F(ObjectCache, RecentUseProtectsEntryFromReuse) {
  TORVObjectCache cache(2);
  Tracked* a = Make("A");
  Tracked* b = Make("B");
  cache.Add(1, a);
  cache.Add(2, b);
  cache.Put(a);
  cache.Put(b);
  EXPECT_EQ(cache.Get(1), a);  // A becomes most recently used
  cache.Put(a);
  Tracked* c = Make("C");
  cache.Add(3, c);
  EXPECT_EQ(FFreed, Strings{"B"});
  EXPECT_EQ(cache.Get(1), a);
  cache.Put(a);
  cache.Clear(false);
  EXPECT_EQ(cache.GetCount(), 0);
  EXPECT_EQ(FFreed, Strings{"B"});  // without freeing the objects are the caller's
  delete a;
  delete c;
}

TEST_F(ObjectCache, EveryEntryInUseGrowsBeyondPreferredSize) {
  TORVObjectCache cache(2);
  Tracked* x = Make("X");
  Tracked* y = Make("Y");
  Tracked* z = Make("Z");
  cache.Add(1, x);
  cache.Add(2, y);
  cache.Add(3, z);
  EXPECT_EQ(cache.GetCount(), 3);
  EXPECT_TRUE(FFreed.empty());
  for (Tracked* t : {x, y, z}) cache.Put(t);
  cache.Clear(true);
  EXPECT_EQ(FFreed, (Strings{"Z", "Y", "X"}));
}

TEST_F(ObjectCache, ReAddingTheSameIdleObjectDoesNotFreeIt) {
  TORVObjectCache cache(1);
  Tracked* x = Make("X");
  cache.Add(1, x);
  cache.Put(x);
  cache.Add(2, x);
  EXPECT_TRUE(FFreed.empty());
  cache.Put(x);
  EXPECT_EQ(cache.Get(2), x);
  cache.Put(x);
  cache.Clear(true);
  EXPECT_EQ(FFreed, Strings{"X"});
}

TEST_F(ObjectCache, ClearPassesObjectsInUseToOnRemoveAndIgnoresNestedClear) {
  TORVObjectCache cache(3);
  Tracked* busy = Make("busy");
  Tracked* idle = Make("idle");
  cache.Add(1, busy);
  cache.Add(2, idle);
  cache.Put(idle);
  Strings removed;
  cache.SetOnRemove([&](TORVBaseObject* object) {
    removed.push_back(NameOf(object));
    cache.Clear(true);  // re-entrant: ignored
    delete object;
  });
  cache.Clear(true);
  EXPECT_EQ(removed, Strings{"busy"});
  EXPECT_EQ(FFreed, (Strings{"idle", "busy"}));
  EXPECT_EQ(cache.GetCount(), 0);
  // The cache works normally after clearing.
  cache.Add(3, Make("again"));
  EXPECT_EQ(cache.GetCount(), 1);
  cache.Clear(true);
  EXPECT_EQ(removed, (Strings{"busy", "again"}));
}

TEST_F(ObjectCache, ClearResetsAfterHandlerRaisesAndLeavesNoFreedObjectBehind) {
  TORVObjectCache cache(3);
  Tracked* first = Make("first");
  Tracked* busy = Make("busy");
  Tracked* last = Make("last");
  cache.Add(1, first);
  cache.Add(2, busy);
  cache.Add(3, last);
  cache.Put(first);
  cache.Put(last);
  cache.SetOnRemove([](TORVBaseObject*) { throw std::runtime_error("handler failed"); });
  EXPECT_THROW(cache.Clear(true), std::runtime_error);
  EXPECT_EQ(FFreed, Strings{"last"});
  EXPECT_EQ(cache.GetCount(), 1);  // "first" is still cached, intact
  cache.SetOnRemove(nullptr);
  cache.Clear(true);  // not blocked by the failed call
  EXPECT_EQ(FFreed, (Strings{"last", "first"}));
  EXPECT_EQ(cache.GetCount(), 0);
  delete busy;
}

}  // namespace
}  // namespace orv
