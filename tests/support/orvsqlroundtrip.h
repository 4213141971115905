// The round-trip check of the SQL compiler: parse a text, build text from
// the tree, parse that text again, and require both trees to be equal.
#pragma once

#include <functional>

#include <gtest/gtest.h>

#include "base/orvtype.h"
#include "sql/orvexprtoken.h"

namespace orv::test {

// Returns a new tree owned by the caller, or raises.
using TORVParseFunc = std::function<TORVExprToken*(const TORVString& Text)>;
// The text of a tree.
using TORVBuildFunc = std::function<TORVString(const TORVExprToken* Token)>;

// Success when Text parses, its built text parses again, and the two trees
// are equal by CompareTokens; otherwise a message with the texts and both
// trees as S-expressions. Every tree made is freed.
::testing::AssertionResult RoundTrips(const TORVString& Text, const TORVParseFunc& Parse,
                                      const TORVBuildFunc& Build);

}  // namespace orv::test
