// Cost of predicting a job's next run: a job whose schedule matches early
// against one that never matches (no weekday flagged) over a ten-year date
// window, which walks the window one day at a time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfig.h"
#include "catalog/orvjob.h"
#include "core/orvdatetime.h"

namespace {

using namespace orv;

struct TJobSetup {
  std::unique_ptr<TORVConfig> Config = std::make_unique<TORVConfig>();
  std::unique_ptr<TORVJob> Job;

  explicit TJobSetup(bool AnyDay) {
    Config->SetName(u"ORVConfig");
    Config->SetCharacterSet(CharacterSetUnicode);
    Job = std::make_unique<TORVJob>(Config.get());
    int32_t Start = 0;
    int32_t End = 0;
    MakeDate({2026, 1, 1}, Start, false);
    MakeDate({2035, 12, 31}, End, false);
    Job->SetRunType(jrWeekly);
    Job->SetStartDate(Start);
    Job->SetEndDate(End);
    Job->SetStartTime(static_cast<int32_t>(8 * MSecsPerHour));
    Job->SetEndTime(static_cast<int32_t>(17 * MSecsPerHour));
    Job->SetDays(7, AnyDay);
    const int64_t Now = Start * MSecsPerDay + 10 * MSecsPerHour;
    Job->SetClock([Now] { return Now; });
  }
};

void BM_NextRunMatchingWithinAWeek(benchmark::State& state) {
  TJobSetup Setup(true);
  for (auto _ : state) benchmark::DoNotOptimize(Setup.Job->GetNextRun());
}
BENCHMARK(BM_NextRunMatchingWithinAWeek);

void BM_NextRunNeverMatchingOverTenYears(benchmark::State& state) {
  TJobSetup Setup(false);
  for (auto _ : state) benchmark::DoNotOptimize(Setup.Job->GetNextRun());
}
BENCHMARK(BM_NextRunNeverMatchingOverTenYears);

}  // namespace
