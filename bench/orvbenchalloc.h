// Counts the heap allocations of a benchmark program: it replaces the
// global operator new and delete, so exactly one source file of a program
// includes it (each bench/*.cpp is a program of its own).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace orv::bench {

// Allocations made through operator new since the program started.
inline std::atomic<int64_t> GAllocations{0};

}  // namespace orv::bench

// GCC cannot see that the replaced new and delete pair up through malloc
// and free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t Size) {
  orv::bench::GAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* Memory = std::malloc(Size == 0 ? 1 : Size)) return Memory;
  throw std::bad_alloc();
}

void operator delete(void* Memory) noexcept { std::free(Memory); }
void operator delete(void* Memory, std::size_t) noexcept { std::free(Memory); }
