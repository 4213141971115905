// Token trees made in one thread and freed in another, while threads come
// and go. Nodes come from a per-thread cache of freed nodes; under
// ThreadSanitizer (label "tsan") the cache is in use, so a node handed out
// twice, a cache shared between threads or a node freed after its thread's
// cache is gone shows as a race, a wrong tree or a crash.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sql/orvexprtoken.h"

namespace orv {
namespace {

// A function node with Width constants named after Seed and their place.
TORVExprToken* MakeWideTree(int32_t Seed, int32_t Width) {
  auto* Root = new TORVExprToken();
  Root->FTokenType = ttFUNCREF;
  Root->FTokenID = Seed;
  for (int32_t I = 0; I < Width; ++I) {
    auto* Item = new TORVExprToken();
    Item->FTokenType = ttCONST;
    Item->FTokenConstant = std::u16string(u"item ") + char16_t(u'a' + I % 26) + u" of a long enough constant";
    Item->FTokenID = Seed * 1000 + I;
    Root->AddArgument(Item);
  }
  return Root;
}

// Whether Tree is what MakeWideTree(Tree's seed, Width) made.
bool WideTreeIntact(const TORVExprToken* Tree, int32_t Width) {
  if (Tree->FTokenType != ttFUNCREF || Tree->GetNumArguments() != Width) return false;
  for (int32_t I = 0; I < Width; ++I) {
    const TORVExprToken* Item = Tree->GetArgument(I);
    if (Item == nullptr || Item->FUpperToken != Tree || Item->FTokenType != ttCONST ||
        Item->FTokenID != Tree->FTokenID * 1000 + I ||
        Item->FTokenConstant != std::u16string(u"item ") + char16_t(u'a' + I % 26) + u" of a long enough constant")
      return false;
  }
  return true;
}

struct TStressTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TStressTree = std::unique_ptr<TORVExprToken, TStressTreeDeleter>;

// Freed when its thread ends; made before the thread's first node, so that
// it outlives that thread's cache of nodes.
thread_local std::vector<TStressTree> KeptUntilThreadEnd;

TEST(ExprTokenStress, TreesMadeInOneThreadAreFreedInAnotherAndAtThreadEnd) {
  constexpr int32_t Threads = 4;
  constexpr int32_t Rounds = 3;
  constexpr int32_t TreesPerThread = 300;
  constexpr int32_t Width = 20;
  std::mutex Lock;
  std::vector<TStressTree> Handed;  // guarded by Lock
  std::atomic<int32_t> Broken{0};
  for (int32_t Round = 0; Round < Rounds; ++Round) {
    std::vector<std::thread> Workers;
    for (int32_t T = 0; T < Threads; ++T) {
      Workers.emplace_back([&, T, Round] {
        KeptUntilThreadEnd.clear();
        const int32_t Base = (Round * Threads + T) * TreesPerThread;
        for (int32_t I = 0; I < TreesPerThread; ++I) {
          TStressTree Tree(MakeWideTree(Base + I, Width));
          if (!WideTreeIntact(Tree.get(), Width)) ++Broken;
          switch (I % 3) {
            case 0:
              break;  // freed here, into this thread's cache
            case 1: {
              // Freed by whichever thread takes it next, into that one's cache.
              std::lock_guard<std::mutex> Guard(Lock);
              Handed.push_back(std::move(Tree));
              if (Handed.size() > 8) {
                TStressTree Other = std::move(Handed.front());
                Handed.erase(Handed.begin());
                if (!WideTreeIntact(Other.get(), Width)) ++Broken;
              }
              break;
            }
            default:
              KeptUntilThreadEnd.push_back(std::move(Tree));
              break;
          }
        }
        for (const TStressTree& Tree : KeptUntilThreadEnd)
          if (!WideTreeIntact(Tree.get(), Width)) ++Broken;
      });
    }
    for (std::thread& Worker : Workers) Worker.join();
  }
  for (const TStressTree& Tree : Handed) EXPECT_TRUE(WideTreeIntact(Tree.get(), Width));
  Handed.clear();
  EXPECT_EQ(Broken.load(), 0);
}

}  // namespace
}  // namespace orv
