// The SQL keyword lists: the words that start a built-in function, a
// statement and a control statement of the procedural language, each with
// the operator it stands for. Every list is sorted in the order of
// CompareString (upper-cased ordinal, trailing blanks ignored), so that a
// word is found by binary search.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "sql/orvexprtoken.h"

namespace orv {

struct TORVKeyword {
  std::u16string_view Word;
  TORVTokenOperator Operator;
};

inline constexpr int32_t FunctionKeywordCount = 92;
inline constexpr int32_t StatementKeywordCount = 32;
inline constexpr int32_t ControlKeywordCount = 28;

// Three of the function words (BITCLEAR, BITSET, BITTEST) stand for toNONE:
// they are found, but yield no operator, so they parse as names.
extern const std::array<TORVKeyword, FunctionKeywordCount> FunctionKeywords;
extern const std::array<TORVKeyword, StatementKeywordCount> StatementKeywords;
extern const std::array<TORVKeyword, ControlKeywordCount> ControlKeywords;

// Index of Word in a sorted keyword list (case-insensitive, trailing blanks
// ignored), or -1 when it is not there.
int32_t FindKeyword(std::span<const TORVKeyword> Keywords, std::u16string_view Word);

}  // namespace orv
