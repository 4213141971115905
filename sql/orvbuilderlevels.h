// The binding strengths that the builder's writers share, so that an
// operand is written in parentheses exactly where the grammar needs them.
#pragma once

#include <cstdint>

#include "sql/orvexprtoken.h"

namespace orv {

// How tightly a construct binds, from the loosest to a single value, as the
// levels of the expression grammar read them. An operand that binds more
// loosely than its place needs is written in parentheses.
inline constexpr int32_t LevelQuery = 0;  // a query not in parentheses
inline constexpr int32_t LevelOr = 1;
inline constexpr int32_t LevelAnd = 2;
inline constexpr int32_t LevelNot = 3;
inline constexpr int32_t LevelComparison = 4;
inline constexpr int32_t LevelAdditive = 5;
inline constexpr int32_t LevelMultiplicative = 6;
inline constexpr int32_t LevelUnary = 7;
inline constexpr int32_t LevelValue = 8;

// The operand of a simple CASE (CASE x WHEN 1 ...), kept as a copy on the
// left of each untyped equality of Options; nil when the CASE is searched.
const TORVExprToken* SimpleCaseOperand(const TORVExprToken* Options);

}  // namespace orv
