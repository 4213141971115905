#include "core/orvcollation.h"

#include <algorithm>
#include <array>
#include <memory>
#include <random>

#include "core/orvenv.h"
#include "core/orvstrings.h"
#include "platform/orvplatformcodepage.h"
#include "platform/orvplatformlocale.h"

namespace orv {

// ---------------------------------------------------------------------------
// Character sets

TORVCharSet::TORVCharSet() : FBits(4, 0), FBitCount(256) {}

void TORVCharSet::AddChar(char16_t Value) {
  const uint32_t code = Value;
  if (code >= FBitCount) {
    FBitCount = (code / 256 + 1) * 256;
    FBits.resize(FBitCount / 64, 0);
  }
  FBits[code >> 6] |= uint64_t{1} << (code & 63);
}

void TORVCharSet::AddCharRange(char16_t FromValue, char16_t ToValue) {
  if (ToValue < FromValue) return;
  for (uint32_t c = FromValue; c <= ToValue; ++c) AddChar(static_cast<char16_t>(c));
}

void TORVCharSet::RemoveChar(char16_t Value) {
  const uint32_t code = Value;
  if (code < FBitCount) FBits[code >> 6] &= ~(uint64_t{1} << (code & 63));
}

TORVString TORVCharSet::GetAsString() const {
  TORVString result;
  for (uint32_t c = 0; c < FBitCount; ++c)
    if (Test(c)) result.push_back(static_cast<char16_t>(c));
  return result;
}

namespace {

void AddChars(TORVCharSet& Set, std::u16string_view Chars) {
  for (char16_t c : Chars) Set.AddChar(c);
}

// Windows-1252 letters above 127.
void AddL1(TORVCharSet& Set) {
  AddChars(Set, u"\u0083\u008A\u008C\u008E\u009A\u009C\u009E\u009F");
  Set.AddCharRange(192, 214);
  Set.AddCharRange(216, 246);
  Set.AddCharRange(248, 255);
}

void AddLetters(TORVCharSet& Set) {
  Set.AddCharRange(u'A', u'Z');
  Set.AddCharRange(u'a', u'z');
}

struct TCharClasses {
  TORVCharSet DateFormat, TimeFormat, AMPM, NonPrintable, Identifier, SecurityIdentifier, Alpha, Lower, Upper,
      Hex, Numeric, Include, Space, LineFeed, Quote, Exponent, Sign, Format, CommaText, Tag;

  TCharClasses() {
    AddChars(DateFormat, u"dDmMyY");
    AddChars(TimeFormat, u"hHmMsSzZnN");
    AddChars(AMPM, u"aAmMpP");
    NonPrintable.AddCharRange(0, 32);
    AddChars(Identifier, u" _-()#");
    AddLetters(Identifier);
    Identifier.AddCharRange(u'0', u'9');
    AddL1(Identifier);
    AddChars(SecurityIdentifier, u" ._-()");
    AddLetters(SecurityIdentifier);
    SecurityIdentifier.AddCharRange(u'0', u'9');
    AddL1(SecurityIdentifier);
    AddChars(Alpha, u"_");
    AddLetters(Alpha);
    AddL1(Alpha);
    Lower.AddCharRange(u'a', u'z');
    Lower.AddCharRange(224, 246);
    Lower.AddCharRange(248, 254);
    Upper.AddCharRange(u'A', u'Z');
    Upper.AddCharRange(192, 214);
    Upper.AddCharRange(216, 222);
    Hex.AddCharRange(u'0', u'9');
    Hex.AddCharRange(u'A', u'F');
    Hex.AddCharRange(u'a', u'f');
    Numeric.AddCharRange(u'0', u'9');
    AddLetters(Include);
    AddL1(Include);
    // Every code below 256 that is neither a digit nor a letter.
    for (char16_t c = 0; c < 256; ++c)
      if (!Numeric.CharInSet(c) && !Include.CharInSet(c)) Space.AddChar(c);
    AddChars(LineFeed, u"\n\r");
    AddChars(Quote, u"\"'");
    AddChars(Exponent, u"Ee");
    AddChars(Sign, u"+-");
    AddChars(Format, u"sS");
    CommaText.AddCharRange(0, 32);
    CommaText.AddChar(u',');
    AddChars(Tag, u"<>/");
  }
};

const TCharClasses& CharClasses() {
  static const TCharClasses classes;
  return classes;
}

struct TCaseMaps {
  std::array<uint8_t, 256> AnsiLower{}, AnsiUpper{};
  std::array<char16_t, 65536> UnicodeLower{}, UnicodeUpper{};

  TCaseMaps() {
    const TORVCharSet& upper = CharClasses().Upper;
    const TORVCharSet& lower = CharClasses().Lower;
    for (int c = 0; c < 256; ++c) {
      const auto code = static_cast<uint8_t>(c);
      AnsiLower[c] = upper.CharInSet(code) ? static_cast<uint8_t>(c + 32) : code;
      AnsiUpper[c] = lower.CharInSet(code) ? static_cast<uint8_t>(c - 32) : code;
    }
    AnsiLower[138] = 154;
    AnsiLower[140] = 156;
    AnsiLower[142] = 158;
    AnsiLower[159] = 255;
    AnsiUpper[154] = 138;
    AnsiUpper[156] = 140;
    AnsiUpper[158] = 142;
    AnsiUpper[255] = 159;
    for (uint32_t c = 0; c < 65536; ++c) {
      const bool surrogate = IsSurrogate(c);
      UnicodeLower[c] = static_cast<char16_t>(surrogate ? c : PlatformLowerCodePoint(c));
      UnicodeUpper[c] = static_cast<char16_t>(surrogate ? c : PlatformUpperCodePoint(c));
    }
  }
};

const TCaseMaps& CaseMaps() {
  static const auto maps = std::make_unique<TCaseMaps>();
  return *maps;
}

// Unit I of S case-mapped: through the table, or, inside a surrogate pair,
// the matching unit of the mapped code point. Simple mappings keep a code
// point in its plane, so a mapped text has the length of the original.
inline char16_t MappedUnit(const char16_t* S, int32_t Length, int32_t I, const char16_t* Map, bool Upper) {
  const char16_t c = S[I];
  if (!IsSurrogate(c)) return Map[c];
  uint32_t cp;
  bool low;
  if (IsHighSurrogate(c) && I + 1 < Length && IsLowSurrogate(S[I + 1])) {
    cp = SurrogatePairCodePoint(c, S[I + 1]);
    low = false;
  } else if (IsLowSurrogate(c) && I > 0 && IsHighSurrogate(S[I - 1])) {
    cp = SurrogatePairCodePoint(S[I - 1], c);
    low = true;
  } else {
    return c;
  }
  const uint32_t m = Upper ? PlatformUpperCodePoint(cp) : PlatformLowerCodePoint(cp);
  if (m <= 0xFFFF) return c;
  return low ? LowSurrogateOf(m) : HighSurrogateOf(m);
}

// The lengths an ordinal comparison looks at: trailing blanks dropped
// without a partial length; the count of leading units compared.
template <typename TChar>
int32_t OrdinalLengths(const TChar* S1, int32_t& Length1, const TChar* S2, int32_t& Length2,
                       int32_t PartialLength) {
  if (PartialLength <= 0) {
    Length1 = TrimmedStringLength(S1, Length1);
    Length2 = TrimmedStringLength(S2, Length2);
    return std::min(Length1, Length2);
  }
  return std::min({Length1, Length2, PartialLength});
}

// The result once the first N units compared equal.
int32_t FinishOrdinal(int32_t N, int32_t Length1, int32_t Length2, int32_t PartialLength) {
  if (PartialLength > 0 && N >= PartialLength) return 0;
  return Length1 > Length2 ? 1 : (Length1 < Length2 ? -1 : 0);
}

// The lengths a collated comparison looks at: the partial length, or the
// texts without trailing blanks.
template <typename TChar>
void CollatedLengths(const TChar* S1, int32_t& Length1, const TChar* S2, int32_t& Length2, int32_t PartialLength) {
  if (PartialLength > 0) {
    Length1 = std::min(Length1, PartialLength);
    Length2 = std::min(Length2, PartialLength);
  } else {
    Length1 = TrimmedStringLength(S1, Length1);
    Length2 = TrimmedStringLength(S2, Length2);
  }
}

uint32_t PlatformFlags(int32_t Collation, bool CaseInsensitive) {
  uint32_t flags = 0;
  if (CaseInsensitive) flags |= pcfIgnoreCase;
  if (GetLocaleFlag(Collation, CollationAccentInsensitiveBit)) flags |= pcfIgnoreNonSpace;
  if (GetLocaleFlag(Collation, CollationKanaInsensitiveBit)) flags |= pcfIgnoreKanaType;
  if (GetLocaleFlag(Collation, CollationWidthInsensitiveBit)) flags |= pcfIgnoreWidth;
  return flags;
}

TORVString MapOrdinal(std::u16string_view S, bool Upper) {
  const char16_t* map = Upper ? CaseMaps().UnicodeUpper.data() : CaseMaps().UnicodeLower.data();
  TORVString result(S.size(), u'\0');
  const auto length = static_cast<int32_t>(S.size());
  for (int32_t i = 0; i < length; ++i) result[static_cast<std::size_t>(i)] = MappedUnit(S.data(), length, i, map, Upper);
  return result;
}

TORVString MapCase(int32_t Collation, std::u16string_view S, bool Upper) {
  int32_t locale = Collation;
  ClearLocaleFlags(locale);
  if (locale != 0) {
    TORVString result(S);
    if (PlatformMapCase(locale, Upper, result)) return result;
  }
  return MapOrdinal(S, Upper);
}

}  // namespace

const TORVCharSet& DateFormatChars() { return CharClasses().DateFormat; }
const TORVCharSet& TimeFormatChars() { return CharClasses().TimeFormat; }
const TORVCharSet& AMPMChars() { return CharClasses().AMPM; }
const TORVCharSet& NonPrintableChars() { return CharClasses().NonPrintable; }
const TORVCharSet& IdentifierChars() { return CharClasses().Identifier; }
const TORVCharSet& SecurityIdentifierChars() { return CharClasses().SecurityIdentifier; }
const TORVCharSet& AlphaChars() { return CharClasses().Alpha; }
const TORVCharSet& LowerChars() { return CharClasses().Lower; }
const TORVCharSet& UpperChars() { return CharClasses().Upper; }
const TORVCharSet& HexChars() { return CharClasses().Hex; }
const TORVCharSet& NumericChars() { return CharClasses().Numeric; }
const TORVCharSet& IncludeChars() { return CharClasses().Include; }
const TORVCharSet& SpaceChars() { return CharClasses().Space; }
const TORVCharSet& LineFeedChars() { return CharClasses().LineFeed; }
const TORVCharSet& QuoteChars() { return CharClasses().Quote; }
const TORVCharSet& ExponentChars() { return CharClasses().Exponent; }
const TORVCharSet& SignChars() { return CharClasses().Sign; }
const TORVCharSet& FormatChars() { return CharClasses().Format; }
const TORVCharSet& CommaTextChars() { return CharClasses().CommaText; }
const TORVCharSet& TagChars() { return CharClasses().Tag; }

const uint8_t* AnsiLowerCharMap() { return CaseMaps().AnsiLower.data(); }
const uint8_t* AnsiUpperCharMap() { return CaseMaps().AnsiUpper.data(); }
const char16_t* UnicodeLowerCharMap() { return CaseMaps().UnicodeLower.data(); }
const char16_t* UnicodeUpperCharMap() { return CaseMaps().UnicodeUpper.data(); }

void SetDecimalSeparator() {
  CurrencyDecimalChar.store(u'.', std::memory_order_relaxed);
  NumberDecimalChar.store(u'.', std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Comparison

int32_t CompareStringsOrdinal(const uint8_t* S1, int32_t S1Length, const uint8_t* S2, int32_t S2Length,
                              int32_t PartialLength, bool CaseInsensitive) {
  const int32_t n = OrdinalLengths(S1, S1Length, S2, S2Length, PartialLength);
  const uint8_t* map = CaseInsensitive ? CaseMaps().AnsiUpper.data() : nullptr;
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t c1 = map != nullptr ? map[S1[i]] : S1[i];
    const uint8_t c2 = map != nullptr ? map[S2[i]] : S2[i];
    if (c1 != c2) return c1 > c2 ? 1 : -1;
  }
  return FinishOrdinal(n, S1Length, S2Length, PartialLength);
}

int32_t CompareStringsOrdinal(const char16_t* S1, int32_t S1Length, const char16_t* S2, int32_t S2Length,
                              int32_t PartialLength, bool CaseInsensitive) {
  const int32_t n = OrdinalLengths(S1, S1Length, S2, S2Length, PartialLength);
  if (CaseInsensitive) {
    const char16_t* map = CaseMaps().UnicodeUpper.data();
    for (int32_t i = 0; i < n; ++i) {
      const char16_t c1 = MappedUnit(S1, S1Length, i, map, true);
      const char16_t c2 = MappedUnit(S2, S2Length, i, map, true);
      if (c1 != c2) return c1 > c2 ? 1 : -1;
    }
  } else {
    for (int32_t i = 0; i < n; ++i)
      if (S1[i] != S2[i]) return S1[i] > S2[i] ? 1 : -1;
  }
  return FinishOrdinal(n, S1Length, S2Length, PartialLength);
}

int32_t CompareStringsOrdinal(std::u16string_view S1, std::u16string_view S2, int32_t PartialLength,
                              bool CaseInsensitive) {
  return CompareStringsOrdinal(S1.data(), static_cast<int32_t>(S1.size()), S2.data(),
                               static_cast<int32_t>(S2.size()), PartialLength, CaseInsensitive);
}

int32_t CompareStrings(int32_t Collation, const char16_t* S1, int32_t S1Length, const char16_t* S2,
                       int32_t S2Length, int32_t PartialLength, bool CaseInsensitive) {
  if (GetLocaleFlag(Collation, CollationCaseInsensitiveBit)) CaseInsensitive = true;
  int32_t locale = Collation;
  ClearLocaleFlags(locale);
  if (locale != 0) {
    int32_t length1 = S1Length, length2 = S2Length;
    CollatedLengths(S1, length1, S2, length2, PartialLength);
    int32_t result = 0;
    if (PlatformCompareStrings(locale, PlatformFlags(Collation, CaseInsensitive),
                               std::u16string_view(S1, static_cast<std::size_t>(length1)),
                               std::u16string_view(S2, static_cast<std::size_t>(length2)), result))
      return result;
  }
  return CompareStringsOrdinal(S1, S1Length, S2, S2Length, PartialLength, CaseInsensitive);
}

int32_t CompareStrings(int32_t Collation, std::u16string_view S1, std::u16string_view S2, int32_t PartialLength,
                       bool CaseInsensitive) {
  return CompareStrings(Collation, S1.data(), static_cast<int32_t>(S1.size()), S2.data(),
                        static_cast<int32_t>(S2.size()), PartialLength, CaseInsensitive);
}

int32_t CompareStrings(int32_t Collation, const uint8_t* S1, int32_t S1Length, const uint8_t* S2,
                       int32_t S2Length, int32_t PartialLength, bool CaseInsensitive) {
  if (GetLocaleFlag(Collation, CollationCaseInsensitiveBit)) CaseInsensitive = true;
  int32_t locale = Collation;
  ClearLocaleFlags(locale);
  if (locale != 0 && PlatformLocaleKnown(locale)) {
    int32_t length1 = S1Length, length2 = S2Length;
    CollatedLengths(S1, length1, S2, length2, PartialLength);
    // 8-bit text is in the code page of the collation's locale.
    const int32_t codePage = Environment().LocaleToCodePage(locale);
    const TORVString text1 = MapStringToUnicode(
        std::string_view(reinterpret_cast<const char*>(S1), static_cast<std::size_t>(length1)), codePage);
    const TORVString text2 = MapStringToUnicode(
        std::string_view(reinterpret_cast<const char*>(S2), static_cast<std::size_t>(length2)), codePage);
    int32_t result = 0;
    if (PlatformCompareStrings(locale, PlatformFlags(Collation, CaseInsensitive), text1, text2, result))
      return result;
  }
  return CompareStringsOrdinal(S1, S1Length, S2, S2Length, PartialLength, CaseInsensitive);
}

TORVString UpperString(int32_t Collation, std::u16string_view S) { return MapCase(Collation, S, true); }
TORVString LowerString(int32_t Collation, std::u16string_view S) { return MapCase(Collation, S, false); }
TORVString UpperStringOrdinal(std::u16string_view S) { return MapOrdinal(S, true); }
TORVString LowerStringOrdinal(std::u16string_view S) { return MapOrdinal(S, false); }

// ---------------------------------------------------------------------------
// Pattern matching

bool LikeString(int32_t Collation, std::u16string_view Value, std::u16string_view Pattern, char16_t EscapeChar,
                char16_t SingleWildcard, char16_t MultiWildcard) {
  const std::size_t valueLength = Value.size(), patternLength = Pattern.size();
  if (patternLength == 0) return false;
  const bool hasEscape = EscapeChar != 0;
  // The one backtracking point: the last multi-character wildcard seen, and
  // the value position from which it absorbs one more character.
  bool saved = false;
  std::size_t savedValue = 0, savedPattern = 0;
  std::size_t v = 0, p = 0;
  for (;;) {
    bool failed = false;
    while (p < patternLength) {
      const char16_t c = Pattern[p];
      if (c == MultiWildcard) {
        if (p + 1 == patternLength) return true;
        if (Pattern[p + 1] == MultiWildcard) {
          ++p;
          continue;
        }
      }
      if (c == SingleWildcard && p + 1 == patternLength && v < valueLength) {
        if (v + 1 == valueLength) return true;
        failed = true;
        break;
      }
      if (v >= valueLength) {
        failed = true;
        break;
      }
      if (hasEscape && c == EscapeChar && p + 1 < patternLength) {
        if (CompareStrings(Collation, Pattern.data() + p + 1, 1, Value.data() + v, 1, 0, false) != 0) {
          failed = true;
          break;
        }
        p += 2;
        ++v;
        if (v == valueLength && p == patternLength) return true;
        continue;
      }
      if (c == MultiWildcard) {
        saved = true;
        savedValue = v + 1;
        savedPattern = p;
        ++p;
        continue;
      }
      if (c == SingleWildcard) {
        ++p;
        ++v;
        continue;
      }
      // A literal run up to the next wildcard or escape character; a
      // trailing escape character with nothing to escape is a literal.
      std::size_t end = p + 1;
      while (end < patternLength && Pattern[end] != SingleWildcard && Pattern[end] != MultiWildcard &&
             !(hasEscape && Pattern[end] == EscapeChar))
        ++end;
      const std::size_t run = end - p;
      const std::size_t compared = std::min(run, valueLength - v);
      if (CompareStrings(Collation, Pattern.data() + p, static_cast<int32_t>(run), Value.data() + v,
                         static_cast<int32_t>(compared), 0, false) != 0) {
        failed = true;
        break;
      }
      p += run;
      v += compared;
      if (v == valueLength && p == patternLength) return true;
    }
    if (!failed && v == valueLength) return true;
    if (!saved) return false;
    // Resume at the wildcard, which saves the next point itself.
    saved = false;
    v = savedValue;
    p = savedPattern;
  }
}

bool MatchString(std::u16string_view Value, std::u16string_view Pattern, char16_t EscapeChar, bool CaseSensitive) {
  const std::size_t valueLength = Value.size(), patternLength = Pattern.size();
  if (patternLength == 0) return false;
  const bool hasEscape = EscapeChar != 0;
  auto same = [&](std::size_t P, std::size_t V) {
    const std::u16string_view a = Pattern.substr(P, 1), b = Value.substr(V, 1);
    return (CaseSensitive ? CompareStringSensitive(a, b) : CompareString(a, b)) == 0;
  };
  bool saved = false;
  std::size_t savedValue = 0, savedPattern = 0;
  std::size_t v = 0, p = 0;
  for (;;) {
    bool failed = false;
    while (p < patternLength) {
      const char16_t c = Pattern[p];
      if (c == u'*') {
        if (p + 1 == patternLength) return true;
        if (Pattern[p + 1] == u'*') {
          ++p;
          continue;
        }
      }
      if (v >= valueLength) {
        failed = true;
        break;
      }
      if (hasEscape && c == EscapeChar && p + 1 < patternLength) {
        if (!same(p + 1, v)) {
          failed = true;
          break;
        }
        p += 2;
        ++v;
        continue;
      }
      if (c == u'*') {
        saved = true;
        savedValue = v + 1;
        savedPattern = p;
        ++p;
        continue;
      }
      if (!same(p, v)) {
        failed = true;
        break;
      }
      ++p;
      ++v;
    }
    if (!failed && v == valueLength) return true;
    if (!saved) return false;
    saved = false;
    v = savedValue;
    p = savedPattern;
  }
}

bool EndsWithWildCard(std::u16string_view S, char16_t WildCard, char16_t EscapeChar) {
  if (S.empty() || S.back() != WildCard) return false;
  std::size_t i = S.size();
  while (i > 0 && S[i - 1] == WildCard) --i;
  if (i == 0) return true;
  if (EscapeChar != 0 && S[i - 1] == EscapeChar) return false;
  return S.substr(0, i).find(WildCard) == std::u16string_view::npos;
}

int32_t GetEndingWildCardLength(TORVString& S, char16_t WildCard, char16_t EscapeChar) {
  if (S.empty() || S.back() != WildCard) return 0;
  const bool hasEscape = EscapeChar != 0;
  // Walk left over the trailing wildcards; escaped ones stay as literals.
  TORVString tail;
  std::size_t i = S.size();
  while (i > 0 && S[i - 1] == WildCard) {
    if (hasEscape && i >= 2 && S[i - 2] == EscapeChar) {
      tail.insert(tail.begin(), WildCard);
      i -= 2;
    } else {
      --i;
    }
  }
  TORVString prefix;
  prefix.reserve(i + tail.size());
  for (std::size_t k = 0; k < i; ++k) {
    if (hasEscape && S[k] == EscapeChar && k + 1 < i) ++k;
    prefix.push_back(S[k]);
  }
  prefix += tail;
  S = std::move(prefix);
  return static_cast<int32_t>(S.size());
}

// ---------------------------------------------------------------------------
// Names

void ParseCollation(const TORVString& Name, TORVString& BaseName, bool& CaseInsensitive, bool& AccentInsensitive,
                    bool& KanaInsensitive, bool& WidthInsensitive) {
  BaseName = Name;
  auto take = [&BaseName](const char16_t* Suffix) {
    if (UpperStringOrdinal(BaseName).find(Suffix) == TORVString::npos) return false;
    BaseName = ReplaceString(BaseName, Suffix, u"", true);
    return true;
  };
  CaseInsensitive = take(u"_CI");
  AccentInsensitive = take(u"_AI");
  KanaInsensitive = take(u"_KI");
  WidthInsensitive = take(u"_WI");
}

TORVString BuildOrigin(const TORVString& Database, const TORVString& Schema, const TORVString& Table,
                       const TORVString& Column, const TORVString& DefaultSchema) {
  TORVString result;
  if (!Database.empty()) {
    result = Database + u"." + (Schema.empty() ? DefaultSchema : Schema) + u".";
  } else if (!Schema.empty() && !SameString(Schema, DefaultSchema)) {
    result = Schema + u".";
  }
  return result + Table + u"." + Column;
}

void ParseOrigin(const TORVString& Origin, TORVString& Database, TORVString& Schema, TORVString& Table,
                 TORVString& Column) {
  std::vector<TORVString> parts;
  std::size_t start = 0;
  while (parts.size() < 4) {
    const std::size_t dot = Origin.find(u'.', start);
    parts.push_back(Origin.substr(start, dot == TORVString::npos ? TORVString::npos : dot - start));
    if (dot == TORVString::npos) break;
    start = dot + 1;
  }
  TORVString* outputs[4] = {&Database, &Schema, &Table, &Column};
  for (TORVString* output : outputs) output->clear();
  const std::size_t first = 4 - parts.size();
  for (std::size_t k = 0; k < parts.size(); ++k) *outputs[first + k] = parts[k];
}

// ---------------------------------------------------------------------------
// Small routines

TORVString GUIDAsString() {
  static thread_local std::mt19937_64 generator{[] {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device();
  }()};
  uint8_t bytes[16];
  for (int k = 0; k < 16; k += 8) {
    uint64_t r = generator();
    for (int b = 0; b < 8; ++b) bytes[k + b] = static_cast<uint8_t>(r >> (8 * b));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant 1
  static constexpr char16_t digits[] = u"0123456789ABCDEF";
  TORVString result = u"{";
  for (int k = 0; k < 16; ++k) {
    if (k == 4 || k == 6 || k == 8 || k == 10) result.push_back(u'-');
    result.push_back(digits[bytes[k] >> 4]);
    result.push_back(digits[bytes[k] & 15]);
  }
  result.push_back(u'}');
  return result;
}

TORVString CharSetToString(int32_t CharacterSet) {
  switch (CharacterSet) {
    case 0:
      return u"ANSI";
    case 1:
      return u"Unicode";
    default:
      return u"Unknown";
  }
}

int32_t CharSize(int32_t CharacterSet) {
  return CharacterSet == CharacterSetAnsi ? 1 : (CharacterSet == CharacterSetUnicode ? 2 : 0);
}

TORVString StringsArrayToString(const std::vector<TORVString>& Strings, int32_t Count) {
  TORVString result;
  const auto n = std::min<std::size_t>(Strings.size(), static_cast<std::size_t>(std::max(Count, 0)));
  for (std::size_t k = 0; k < n; ++k) {
    if (k > 0) result += u"\r\n";
    result += Strings[k];
  }
  return result;
}

bool ContainsUnicodePreamble(const TORVBytes& Bytes) {
  return Bytes.size() >= 2 && Bytes[0] == 0xFF && Bytes[1] == 0xFE;
}

bool ContainsUnicodeChars(const TORVBytes& Bytes) {
  return Bytes.size() >= 2 && (Bytes[0] == 0 || Bytes[1] == 0);
}

}  // namespace orv
