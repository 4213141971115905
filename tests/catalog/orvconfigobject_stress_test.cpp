#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "catalog/orvconfigobject.h"

namespace orv {
namespace {

// Sessions draw unique numbers for internal names at the same time; no two
// draws may give the same number.
TEST(UniqueNumberStress, ConcurrentDrawsNeverRepeat) {
  constexpr int32_t Threads = 4;
  constexpr int32_t Draws = 5000;
  std::vector<std::vector<int32_t>> Drawn(Threads);
  std::vector<std::thread> Workers;
  for (int32_t Thread = 0; Thread < Threads; ++Thread)
    Workers.emplace_back([&Drawn, Thread] {
      for (int32_t Draw = 0; Draw < Draws; ++Draw) Drawn[static_cast<size_t>(Thread)].push_back(GetNextUniqueNumber());
    });
  for (std::thread& Worker : Workers) Worker.join();
  std::vector<int32_t> All;
  for (const std::vector<int32_t>& Numbers : Drawn) {
    EXPECT_TRUE(std::is_sorted(Numbers.begin(), Numbers.end()));
    All.insert(All.end(), Numbers.begin(), Numbers.end());
  }
  std::sort(All.begin(), All.end());
  EXPECT_EQ(std::adjacent_find(All.begin(), All.end()), All.end());
}

}  // namespace
}  // namespace orv
