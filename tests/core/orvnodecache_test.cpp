#include "core/orvnodecache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

TEST(NodeCache, HandsBackTheLastBlockPutAndFreesPastItsLimit) {
  TORVNodeCache Cache(48, 2);
  void* A = Cache.Get();
  void* B = Cache.Get();
  void* C = Cache.Get();
  EXPECT_EQ(Cache.GetCount(), 0);
  Cache.Put(A);
  Cache.Put(B);
  Cache.Put(C);  // past the limit: back to the heap
  EXPECT_EQ(Cache.GetCount(), 2);
  EXPECT_EQ(Cache.Get(), B);
  EXPECT_EQ(Cache.Get(), A);
  EXPECT_EQ(Cache.GetCount(), 0);
  Cache.Put(nullptr);
  EXPECT_EQ(Cache.GetCount(), 0);
  Cache.Put(A);
  Cache.Put(B);
  // The two kept blocks are the cache's to free when it goes.
}

TEST(NodeCache, RefusesBlocksTooSmallToLink) {
  EXPECT_THROW(TORVNodeCache(sizeof(void*) - 1, 8), std::logic_error);
}

// Random gets and puts against a model of the blocks in use: a block is
// never handed out twice, a whole block is writable (the sanitizers catch
// a short one), what a block held before it was cached does not matter, and
// the count is what the model keeps.
TEST(NodeCache, RandomUseAgainstModel) {
  const uint32_t Seed = test::TestSeed(4021);
  SCOPED_TRACE(testing::Message() << "seed " << Seed);
  std::mt19937 Random(Seed);
  constexpr std::size_t BlockSize = 40;
  constexpr int32_t MaxBlocks = 16;
  TORVNodeCache Cache(BlockSize, MaxBlocks);
  std::vector<void*> InUse;
  std::set<void*> Outstanding;
  int32_t Kept = 0;
  for (int32_t Step = 0; Step < 5000; ++Step) {
    if (InUse.empty() || Random() % 3 != 0) {
      void* Block = Cache.Get();
      ASSERT_TRUE(Outstanding.insert(Block).second) << "step " << Step;
      std::memset(Block, Step & 0xFF, BlockSize);
      InUse.push_back(Block);
      if (Kept > 0) --Kept;
    } else {
      const std::size_t Index = Random() % InUse.size();
      void* Block = InUse[Index];
      InUse[Index] = InUse.back();
      InUse.pop_back();
      Outstanding.erase(Block);
      Cache.Put(Block);
      if (Kept < MaxBlocks) ++Kept;
    }
    ASSERT_EQ(Cache.GetCount(), Kept) << "step " << Step;
  }
  for (void* Block : InUse) Cache.Put(Block);
}

// A cache of another thread frees what it kept when that thread ends, and a
// block it handed out may be put back here.
TEST(NodeCache, BlocksMoveBetweenThreadsCaches) {
  TORVNodeCache Cache(64, 4);
  std::vector<void*> FromThread;
  std::thread Worker([&FromThread] {
    TORVNodeCache Local(64, 4);
    for (int32_t I = 0; I < 6; ++I) FromThread.push_back(Local.Get());
    Local.Put(FromThread.back());
    FromThread.pop_back();
  });
  Worker.join();
  for (void* Block : FromThread) Cache.Put(Block);
  EXPECT_EQ(Cache.GetCount(), 4);
}

}  // namespace
}  // namespace orv
