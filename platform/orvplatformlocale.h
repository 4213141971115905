// Locales and linguistic text services: the fixed table of locale IDs that
// collations are built on, collated comparison and case mapping under a
// locale, and the Unicode character classes and simple case maps that the
// engine's own tables are built from.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/orvtype.h"

namespace orv {

// One locale of the fixed table. IDs and short names are stored inside
// collation IDs and collation names of existing files: rows may be added at
// the end of the table, but no row may ever change or move.
struct TORVPlatformLocale {
  int32_t ID;                  // Windows-style locale ID (language ID; sort ID 0)
  const char16_t* ShortName;   // three-letter abbreviated language name
  const char16_t* Name;        // full language name
  int32_t CodePage;            // default ANSI code page; 0 for Unicode-only locales
  const char* CollatorName;    // the collator that orders text under it
};

// The locales in the order the environment lists them.
std::span<const TORVPlatformLocale> PlatformLocales();

// Comparison options, matching the collation option bits.
enum TORVPlatformCompareFlag : uint32_t {
  pcfIgnoreCase = 1,
  pcfIgnoreNonSpace = 2,
  pcfIgnoreKanaType = 4,
  pcfIgnoreWidth = 8,
};

// The table row or alternative sort of LocaleID (language ID plus sort ID,
// no option bits); nullptr when there is none.
const TORVPlatformLocale* PlatformFindLocale(int32_t LocaleID);

// True when LocaleID (language ID plus sort ID, no option bits) has a
// collator: a table locale or one of its alternative sorts.
bool PlatformLocaleKnown(int32_t LocaleID);

// Compares two UTF-16 texts under a locale as a string sort: -1, 0 or 1.
// Returns false (and leaves Result alone) when the locale is unknown.
bool PlatformCompareStrings(int32_t LocaleID, uint32_t Flags, std::u16string_view S1,
                            std::u16string_view S2, int32_t& Result);

// Upper- or lower-cases Value in place under a locale (linguistic casing,
// e.g. the dotted capital I of Turkish), one code point for one, so that the
// length never changes. Returns false, leaving Value alone, for an unknown
// locale.
bool PlatformMapCase(int32_t LocaleID, bool Upper, TORVString& Value);

// Simple (one-for-one) Unicode case mappings of a code point.
uint32_t PlatformUpperCodePoint(uint32_t CodePoint);
uint32_t PlatformLowerCodePoint(uint32_t CodePoint);

// Unicode character classes: letters (any letter category), combining marks
// (accents written after their letter) and decimal digits.
bool PlatformIsLetter(uint32_t CodePoint);
bool PlatformIsMark(uint32_t CodePoint);
bool PlatformIsDigit(uint32_t CodePoint);

}  // namespace orv
