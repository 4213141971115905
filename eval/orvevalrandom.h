// The random numbers of RAND: one generator for the whole process, seeded
// once, drawn from by every session's thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

namespace orv {

// Every draw holds FMutex: the engine's state changes at each draw, and
// sessions run on threads of their own.
class TORVRandomGenerator {
 public:
  explicit TORVRandomGenerator(uint64_t Seed) : FEngine(Seed) {}

  // A real number in [0, 1).
  double NextFraction();
  // A whole number in [0, Range - 1]; 0 when Range is 1 or less.
  int64_t NextBelow(int64_t Range);

  // The process's generator, seeded from the system's entropy source the
  // first time it is asked for.
  static TORVRandomGenerator& Instance();

 private:
  std::mutex FMutex;
  std::mt19937_64 FEngine;  // guarded by FMutex
};

}  // namespace orv
