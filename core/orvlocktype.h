// The kinds of lock the engine takes on databases, stores and their objects.
#pragma once

#include <cstdint>

namespace orv {

// Ordinals are persisted and sent between client and server.
enum TORVLockType : uint8_t { ltNone, ltShared, ltExclusive, ltRead, ltWrite, ltTransaction };

}  // namespace orv
