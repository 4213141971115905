// Checks of internal invariants. ORV_ASSERT is active in builds without
// NDEBUG (the test build) and compiles to nothing in Release, where its
// condition is not even evaluated. A failed check is a broken internal
// contract, not bad input: it raises std::logic_error naming the condition
// and its place. Checks that input needs are never left to ORV_ASSERT.
#pragma once

namespace orv {

[[noreturn]] void AssertionFailed(const char* Condition, const char* File, int Line);

}  // namespace orv

#ifdef NDEBUG
#define ORV_ASSERTIONS_ACTIVE 0
// sizeof keeps the names in the condition used without evaluating them.
#define ORV_ASSERT(Condition) static_cast<void>(sizeof((Condition) ? 1 : 0))
#else
#define ORV_ASSERTIONS_ACTIVE 1
#define ORV_ASSERT(Condition) \
  ((Condition) ? static_cast<void>(0) : ::orv::AssertionFailed(#Condition, __FILE__, __LINE__))
#endif
