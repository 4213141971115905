// Token trees as S-expressions, for golden trees in tests, and the reader
// that turns such text back into a tree (the fake parser of the compiled
// expression tests).
//
//   tree  := "nil" | "(" KIND { attr } { child } ")"
//   attr  := ":op" OPERATOR | ":text" STR | ":name" STR | ":source" STR
//          | ":db" STR | ":alias" STR | ":id" INT | ":type" INT
//          | ":subtype" INT | ":len" INT | ":scale" INT | ":coll" INT
//          | ":partial" INT | ":paren" | ":hidden"
//          | ":left" tree | ":right" tree
//
// KIND and OPERATOR are the enumeration names without their tt / to
// prefix. The children of a BINARY node are its left and right operands,
// of a UNARY node its operand; every other node lists its argument slots
// ("nil" for an empty slot) and writes operands, if it has any, with :left
// and :right. Attributes with their default value are left out. Links,
// positions and optimizer fields are not part of the text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/orvtype.h"
#include "sql/orvexprtoken.h"

namespace orv::test {

std::string DumpTokens(const TORVExprToken* Token);

// Kind and operator names as written by DumpTokens.
std::string TokenTypeName(TORVTokenType Type);
std::string TokenOperatorName(TORVTokenOperator Operator);

// Called with a message, line and column (from 1) for malformed text; it is
// expected to raise. When it returns, ReadTokens raises ORV_SQL_ERROR itself.
using TORVTreeReadError = std::function<void(const TORVString& Message, int32_t Line, int32_t Column)>;

// Reads a tree written as above; every node gets the line, column and
// character position (from 1) of its "(" in FLine, FCol and FExprPos.
// Nothing read is kept when the text is malformed. Empty text gives nil.
TORVExprToken* ReadTokens(const TORVString& Text, const TORVTreeReadError& Error = nullptr);

}  // namespace orv::test
