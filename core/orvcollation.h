// Character classes, case maps and collated comparison: every comparison of
// text in the engine (values, keys, names, LIKE, file-name patterns, word
// lists) goes through these routines.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

// A set of character codes. Code c is in the set when it was added; codes at
// or beyond the current size (256 to start with) are not members.
class TORVCharSet : public TORVBaseObject {
 public:
  TORVCharSet();

  void AddChar(char16_t Value);
  // Nothing when ToValue < FromValue.
  void AddCharRange(char16_t FromValue, char16_t ToValue);
  void RemoveChar(char16_t Value);
  bool CharInSet(uint8_t Value) const { return Test(Value); }
  bool CharInSet(char16_t Value) const { return Test(Value); }
  // Every member in ascending code order.
  TORVString GetAsString() const;

 private:
  bool Test(uint32_t Code) const {
    return Code < FBitCount && ((FBits[Code >> 6] >> (Code & 63)) & 1u) != 0;
  }

  std::vector<uint64_t> FBits;
  uint32_t FBitCount;
};

// The engine's fixed character classes (built on first use, read-only after).
const TORVCharSet& DateFormatChars();
const TORVCharSet& TimeFormatChars();
const TORVCharSet& AMPMChars();
const TORVCharSet& NonPrintableChars();
const TORVCharSet& IdentifierChars();
const TORVCharSet& SecurityIdentifierChars();
const TORVCharSet& AlphaChars();
const TORVCharSet& LowerChars();
const TORVCharSet& UpperChars();
const TORVCharSet& HexChars();
const TORVCharSet& NumericChars();
const TORVCharSet& IncludeChars();
const TORVCharSet& SpaceChars();
const TORVCharSet& LineFeedChars();
const TORVCharSet& QuoteChars();
const TORVCharSet& ExponentChars();
const TORVCharSet& SignChars();
const TORVCharSet& FormatChars();
const TORVCharSet& CommaTextChars();
const TORVCharSet& TagChars();

// Case maps. The 8-bit maps work on Windows-1252 codes (138 and 154 are a
// pair). The 16-bit maps are the simple Unicode case mappings of every UTF-16
// code unit (surrogates map to themselves); text outside the basic plane is
// mapped by code point where the routines below meet a surrogate pair.
const uint8_t* AnsiLowerCharMap();
const uint8_t* AnsiUpperCharMap();
const char16_t* UnicodeLowerCharMap();
const char16_t* UnicodeUpperCharMap();
inline const char16_t* LowerCharMap() { return UnicodeLowerCharMap(); }
inline const char16_t* UpperCharMap() { return UnicodeUpperCharMap(); }

// Decimal separators of the number conversions. The engine's number format
// is fixed, so both are always ".".
inline std::atomic<char16_t> CurrencyDecimalChar{u'.'};
inline std::atomic<char16_t> NumberDecimalChar{u'.'};
void SetDecimalSeparator();

// Comparisons give -1, 0 or 1 (-1 when the first text sorts first). With
// PartialLength > 0 only that many leading characters count; with 0 trailing
// blanks are ignored. A collation whose locale is not known compares
// ordinally, so that every pair of texts still has one consistent order.
int32_t CompareStrings(int32_t Collation, const uint8_t* S1, int32_t S1Length, const uint8_t* S2,
                       int32_t S2Length, int32_t PartialLength, bool CaseInsensitive);
int32_t CompareStrings(int32_t Collation, const char16_t* S1, int32_t S1Length, const char16_t* S2,
                       int32_t S2Length, int32_t PartialLength, bool CaseInsensitive);
int32_t CompareStrings(int32_t Collation, std::u16string_view S1, std::u16string_view S2,
                       int32_t PartialLength, bool CaseInsensitive);
int32_t CompareStringsOrdinal(const uint8_t* S1, int32_t S1Length, const uint8_t* S2, int32_t S2Length,
                              int32_t PartialLength, bool CaseInsensitive);
int32_t CompareStringsOrdinal(const char16_t* S1, int32_t S1Length, const char16_t* S2, int32_t S2Length,
                              int32_t PartialLength, bool CaseInsensitive);
int32_t CompareStringsOrdinal(std::u16string_view S1, std::u16string_view S2, int32_t PartialLength,
                              bool CaseInsensitive);

// Case mapping; the result always has the length of S.
TORVString UpperString(int32_t Collation, std::u16string_view S);
TORVString LowerString(int32_t Collation, std::u16string_view S);
TORVString UpperStringOrdinal(std::u16string_view S);
TORVString LowerStringOrdinal(std::u16string_view S);

// SQL LIKE. An EscapeChar of 0 means no escape character; an empty pattern
// matches nothing.
bool LikeString(int32_t Collation, std::u16string_view Value, std::u16string_view Pattern, char16_t EscapeChar,
                char16_t SingleWildcard, char16_t MultiWildcard);
// File-name style match with "*" as the only wildcard.
bool MatchString(std::u16string_view Value, std::u16string_view Pattern, char16_t EscapeChar,
                 bool CaseSensitive);
// Whether S ends in an unescaped run of WildCard with no WildCard before it,
// so that a LIKE on it is a prefix search.
bool EndsWithWildCard(std::u16string_view S, char16_t WildCard, char16_t EscapeChar);
// Cuts the trailing wildcards off S, leaving the literal prefix (escapes
// resolved); returns its length, or 0 with S unchanged when S does not end
// with WildCard.
int32_t GetEndingWildCardLength(TORVString& S, char16_t WildCard, char16_t EscapeChar);

// Splits a collation name into its base and the _CI, _AI, _KI, _WI options.
void ParseCollation(const TORVString& Name, TORVString& BaseName, bool& CaseInsensitive, bool& AccentInsensitive,
                    bool& KanaInsensitive, bool& WidthInsensitive);

}  // namespace orv
