// Operating-system thread identity and scheduling priority.
#pragma once

#include <cstdint>

namespace orv {

// The operating system's number for the calling thread (never 0).
uint32_t GetCurrentThreadID();

// Gives the thread ThreadID the scheduling weight Nice (-20 most favoured to
// 19 least, as the kernel counts it). Best effort: raising a thread above its
// current weight needs a privilege the server usually lacks, and a refusal is
// not an error for the engine. False when the system refused.
bool SetThreadNiceValue(uint32_t ThreadID, int32_t Nice);

}  // namespace orv
