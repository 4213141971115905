// Session-style use of a lockable handle table from many threads: locks are
// taken and released without the owner's lock while the owner registers and
// removes other objects, growing the table. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/orvhandle.h"

namespace orv {
namespace {

TEST(HandleObjectsStress, ObjectLocksExcludeWhileTableGrows) {
  TORVHandleObjects table(4096, true);
  constexpr int Stable = 8;
  std::vector<std::unique_ptr<TORVHandleObject>> stable;
  for (int i = 0; i < Stable; ++i) {
    stable.push_back(std::make_unique<TORVHandleObject>());
    table.AddObject(stable.back().get(), false);
  }
  std::vector<int64_t> counters(Stable, 0);  // each guarded by its object's lock
  std::atomic<bool> failed{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 2000; ++i) {
        int index = (i * 7 + w) % Stable;
        TORVHandleObject* object = stable[static_cast<size_t>(index)].get();
        if (!table.LockObject(object, ORVInfiniteWait)) {
          failed = true;
          return;
        }
        ++counters[static_cast<size_t>(index)];
        if (!table.UnlockObject(object)) failed = true;
      }
    });
  }
  // The owner's own work, serialised on this one thread.
  std::vector<std::unique_ptr<TORVHandleObject>> churn;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 1000; ++i) {
      churn.push_back(std::make_unique<TORVHandleObject>());
      table.AddObject(churn.back().get(), true);
    }
    for (auto& object : churn) EXPECT_TRUE(table.RemoveObject(object.get(), true));
    churn.clear();
  }
  for (auto& worker : workers) worker.join();
  EXPECT_FALSE(failed);
  int64_t total = 0;
  for (int64_t count : counters) total += count;
  EXPECT_EQ(total, 3 * 2000);
  for (auto& object : stable) EXPECT_TRUE(table.RemoveObject(object.get(), false));
}

}  // namespace
}  // namespace orv
