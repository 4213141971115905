// Cost of text comparison: ordinal (exact and through the case map), LIKE,
// and a locale collation with and without its insensitivity options, so that
// the price of an index key comparison under each collation can be seen.
// The "allocs" counter gives the heap allocations per comparison, which
// should be 0: ordinal comparison and LIKE work in place, and insensitive
// locale comparison reuses its folding buffers once they have grown.
#include <benchmark/benchmark.h>


#include "core/orvcollation.h"
#include "base/orvtype.h"
#include "bench/orvbenchalloc.h"
#include "core/orvwords.h"

namespace {

using namespace orv;
using orv::bench::GAllocations;

// Allocations per iteration of the loop that ran since Start.
void CountAllocations(benchmark::State& state, int64_t Start) {
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(GAllocations.load() - Start), benchmark::Counter::kAvgIterations);
}

const TORVString KLeft = u"Customer reference number 000123456 (North-East region)";
const TORVString KRight = u"CUSTOMER REFERENCE NUMBER 000123456 (NORTH-EAST REGION)";

void BM_CompareOrdinal(benchmark::State& state) {
  const bool caseInsensitive = state.range(0) != 0;
  const int64_t Start = GAllocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(CompareStrings(0, KLeft, KRight, 0, caseInsensitive));
  CountAllocations(state, Start);
}
BENCHMARK(BM_CompareOrdinal)->Arg(0)->Arg(1);

void BM_CompareLocale(benchmark::State& state) {
  const int32_t collation = static_cast<int32_t>(state.range(0));
  // The folding buffers grow on the first comparisons only.
  for (int I = 0; I < 4; ++I) benchmark::DoNotOptimize(CompareStrings(collation, KLeft, KRight, 0, false));
  const int64_t Start = GAllocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(CompareStrings(collation, KLeft, KRight, 0, false));
  CountAllocations(state, Start);
}
// ENU, ENU_CI, ENU_CI_AI
BENCHMARK(BM_CompareLocale)->Arg(1033)->Arg(1033 | (1 << 20))->Arg(1033 | (3 << 20));

void BM_Like(benchmark::State& state) {
  const int32_t collation = static_cast<int32_t>(state.range(0));
  const int64_t Start = GAllocations.load();
  for (auto _ : state)
    benchmark::DoNotOptimize(LikeString(collation, KLeft, u"%number%456%region_", u'\\', u'_', u'%'));
  CountAllocations(state, Start);
}
BENCHMARK(BM_Like)->Arg(0)->Arg(1 << 20)->Arg(1033 | (1 << 20));

void BM_TextIndexWords(benchmark::State& state) {
  const int32_t collation = static_cast<int32_t>(state.range(0));
  const TORVString text = u"The quick brown fox jumps over the lazy dog because it was there, and then it ran away";
  for (auto _ : state) {
    int32_t position = 1;
    int count = 0;
    while (!GetNextTextIndexWord(collation, text, position, false).empty()) ++count;
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_TextIndexWords)->Arg(0)->Arg(1033 | (1 << 20));

}  // namespace
