// The slot header states the layout, so it alone may read a slot by its
// number: the check passes it.
#pragma once

#include <cstdint>

#include "sql/orvtreeutil.h"

namespace orv {

inline constexpr int32_t ItemExpressionSlot = 0;
inline constexpr int32_t LikeEscapeSlot = 2;
inline constexpr int32_t QueryWhereSlot = 7;

inline TORVExprToken* LikeEscape(const TORVExprToken* Like) { return SlotOf(Like, 2); }

}  // namespace orv
