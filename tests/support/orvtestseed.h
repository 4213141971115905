#pragma once

#include <cstdint>
#include <cstdlib>

namespace orv::test {

// Random tests run a fixed seed, so that a run repeats; ORV_TEST_SEED gives
// another, to explore further or to repeat a seed a failure printed.
inline uint32_t TestSeed(uint32_t Default) {
  const char* Given = std::getenv("ORV_TEST_SEED");
  return Given != nullptr ? static_cast<uint32_t>(std::strtoul(Given, nullptr, 10)) : Default;
}

}  // namespace orv::test
