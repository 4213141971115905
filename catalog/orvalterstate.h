// What an ALTER decided for a table and its parts: the catalog objects
// record it, the restructuring of the table files acts on it. The ordinals
// are fixed: a set is kept as the bits of its members.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

enum TORVAlterState : uint8_t {
  asRebuild,
  asRebuildAll,
  asRebuildRows,
  asRebuildIndexes,
  asRebuildAllIndexes,
  asRebuildUpdates,
  asIdentityColumnsAltered,
  asColumnsAltered,
  asColumnAdded,
  asColumnAltered,
  asColumnDropped,
  asIndexesAltered,
  asIndexesDropped,
  asConstraintsAltered,
  asKeyConstraintAdded,
  asKeyConstraintAltered,
  asKeyConstraintDropped,
  asCheckConstraintAdded,
  asCheckConstraintAltered,
  asCheckConstraintDropped,
  asIndexAltered,
  asRebuildIndex
};
using TORVAlterStates = TORVSet<TORVAlterState, 32>;

}  // namespace orv
