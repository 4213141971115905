#include "platform/orvplatformtime.h"

#include <sched.h>
#include <time.h>

#include <atomic>
#include <cerrno>

namespace orv {

namespace {

// Added (modulo 2^32) to every reading; only tests change it.
std::atomic<uint32_t> GTickOffset{0};

uint32_t RawTickCount() {
  timespec ts{};
  // CLOCK_MONOTONIC cannot fail with a valid clock id and buffer.
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace

uint32_t GetTickCount() { return RawTickCount() + GTickOffset.load(std::memory_order_relaxed); }

void Sleep(uint32_t Value) {
  if (Value == 0) {
    sched_yield();
    return;
  }
  timespec request{static_cast<time_t>(Value / 1000u), static_cast<long>(Value % 1000u) * 1000000L};
  timespec remaining{};
  // A signal handler may cut the sleep short; sleep out the rest.
  while (nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
}

void YieldThread() { sched_yield(); }

void SetTickCountForTest(uint32_t Value) {
  GTickOffset.store(Value - RawTickCount(), std::memory_order_relaxed);
}

void ResetTickCountForTest() { GTickOffset.store(0, std::memory_order_relaxed); }

}  // namespace orv
