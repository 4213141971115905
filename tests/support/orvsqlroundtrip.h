// The round-trip checks of the SQL compiler: parse a text, build text from
// the tree, parse that text again, and require both trees to be equal; and
// the same through validation, as stored definitions and shown plans rely on.
#pragma once

#include <functional>
#include <memory>

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

struct TORVTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TORVTree = std::unique_ptr<TORVExprToken, TORVTreeDeleter>;

// What compiling a text (parse, then validate) gives: the text built from
// its validated tree, and a copy of that tree.
struct TORVCompiledText {
  TORVString Built;
  TORVTree Tree;
};

// Compiles a text as its owner does, or raises.
using TORVCompileFunc = std::function<TORVCompiledText(const TORVString& Text)>;

// Success when the built text of a compiled text compiles again to a
// validated tree equal by CompareTokens (stored spellings and parentheses
// the builder adds may differ), whose built text is the same; otherwise a
// message with both texts and both trees. Built text must never hold what
// validation added and the grammar refuses.
::testing::AssertionResult CompiledRoundTrips(const TORVCompiledText& First, const TORVCompileFunc& Compile);

}  // namespace orv::test
