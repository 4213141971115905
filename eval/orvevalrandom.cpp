#include "eval/orvevalrandom.h"

namespace orv {

double TORVRandomGenerator::NextFraction() {
  std::lock_guard<std::mutex> Guard(FMutex);
  // 53 random bits scaled by 2^-53: never 1, as the standard library's
  // canonical generation can give after rounding.
  return static_cast<double>(FEngine() >> 11) * 0x1.0p-53;
}

int64_t TORVRandomGenerator::NextBelow(int64_t Range) {
  if (Range <= 1) return 0;
  std::uniform_int_distribution<int64_t> Distribution(0, Range - 1);
  std::lock_guard<std::mutex> Guard(FMutex);
  return Distribution(FEngine);
}

TORVRandomGenerator& TORVRandomGenerator::Instance() {
  // The initialization of a local static is itself thread-safe: the seed
  // is taken once.
  static TORVRandomGenerator Generator(std::random_device{}());
  return Generator;
}

}  // namespace orv
