// RAND from many sessions at once: every thread draws from the one
// process-wide generator through an evaluator of its own. Also run under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "sql/orvparser.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

TEST(EvalRandomStress, ThreadsDrawFromTheSharedGeneratorAtOnce) {
  constexpr int32_t Threads = 8;
  constexpr int32_t Draws = 2000;
  std::atomic<int32_t> OutOfRange{0};
  std::atomic<int32_t> Ready{0};
  std::vector<std::thread> Workers;
  for (int32_t T = 0; T < Threads; ++T) {
    Workers.emplace_back([&] {
      // A session's own trees and evaluator; only the generator is shared.
      TORVPartialTree Fraction(test::ReadTokens(u"(FUNCREF :op RAND :type 8)"));
      TORVPartialTree Whole(test::ReadTokens(u"(FUNCREF :op RAND :type 8 (CONST :text \"7\" :type 6))"));
      TORVExprEvaluator Evaluator(CharacterSetUnicode);
      Evaluator.Initialize(Fraction.Get());
      Evaluator.Initialize(Whole.Get());
      ++Ready;
      while (Ready.load() < Threads) std::this_thread::yield();
      for (int32_t I = 0; I < Draws; ++I) {
        Evaluator.Evaluate(Fraction.Get());
        Evaluator.Evaluate(Whole.Get());
        const double F = Fraction->FValue->GetAsDouble();
        const double W = Whole->FValue->GetAsDouble();
        if (F < 0 || F >= 1 || W < 0 || W > 6 || W != static_cast<double>(static_cast<int32_t>(W))) ++OutOfRange;
      }
      Evaluator.Reset(Fraction.Get());
      Evaluator.Reset(Whole.Get());
    });
  }
  for (std::thread& Worker : Workers) Worker.join();
  EXPECT_EQ(OutOfRange.load(), 0);
}

}  // namespace
}  // namespace orv
