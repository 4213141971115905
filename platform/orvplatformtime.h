// The millisecond tick counter, sleeping and yielding the processor.
#pragma once

#include <cstdint>

namespace orv {

// Milliseconds from a fixed point of the monotonic clock, wrapping after 2^32
// like the counters of other platforms. Only differences of two readings,
// taken modulo 2^32, carry meaning.
uint32_t GetTickCount();

// Suspends the calling thread for Value milliseconds; 0 gives up the rest of
// the time slice.
void Sleep(uint32_t Value);

// Gives up the rest of the calling thread's time slice.
void YieldThread();

// Test hooks: make GetTickCount read Value now and count on from there (so a
// test can place the 2^32 wrap inside a wait), and return to the true reading.
// They affect the whole process.
void SetTickCountForTest(uint32_t Value);
void ResetTickCountForTest();

}  // namespace orv
