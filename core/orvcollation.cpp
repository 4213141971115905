#include "core/orvcollation.h"

#include <algorithm>
#include <array>
#include <memory>

#include "core/orvenv.h"
#include "core/orvstrings.h"
#include "platform/orvplatformcodepage.h"
#include "platform/orvplatformlocale.h"

namespace orv {

// ---------------------------------------------------------------------------
// Character sets

TORVCharSet::TORVCharSet() : FBits(4, 0), FBitCount(256) {}

void TORVCharSet::AddChar(char16_t Value) {
  const uint32_t Code = Value;
  if (Code >= FBitCount) {
    FBitCount = (Code / 256 + 1) * 256;
    FBits.resize(FBitCount / 64, 0);
  }
  FBits[Code >> 6] |= uint64_t{1} << (Code & 63);
}

void TORVCharSet::AddCharRange(char16_t FromValue, char16_t ToValue) {
  if (ToValue < FromValue) return;
  for (uint32_t C = FromValue; C <= ToValue; ++C) AddChar(static_cast<char16_t>(C));
}

void TORVCharSet::RemoveChar(char16_t Value) {
  const uint32_t Code = Value;
  if (Code < FBitCount) FBits[Code >> 6] &= ~(uint64_t{1} << (Code & 63));
}

TORVString TORVCharSet::GetAsString() const {
  TORVString Result;
  for (uint32_t C = 0; C < FBitCount; ++C)
    if (Test(C)) Result.push_back(static_cast<char16_t>(C));
  return Result;
}

namespace {

void AddChars(TORVCharSet& Set, std::u16string_view Chars) {
  for (char16_t C : Chars) Set.AddChar(C);
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
    for (char16_t C = 0; C < 256; ++C)
      if (!Numeric.CharInSet(C) && !Include.CharInSet(C)) Space.AddChar(C);
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
  static const TCharClasses Classes;
  return Classes;
}

struct TCaseMaps {
  std::array<uint8_t, 256> AnsiLower{}, AnsiUpper{};
  std::array<char16_t, 65536> UnicodeLower{}, UnicodeUpper{};

  TCaseMaps() {
    const TORVCharSet& Upper = CharClasses().Upper;
    const TORVCharSet& Lower = CharClasses().Lower;
    for (int C = 0; C < 256; ++C) {
      const auto Code = static_cast<uint8_t>(C);
      AnsiLower[C] = Upper.CharInSet(Code) ? static_cast<uint8_t>(C + 32) : Code;
      AnsiUpper[C] = Lower.CharInSet(Code) ? static_cast<uint8_t>(C - 32) : Code;
    }
    AnsiLower[138] = 154;
    AnsiLower[140] = 156;
    AnsiLower[142] = 158;
    AnsiLower[159] = 255;
    AnsiUpper[154] = 138;
    AnsiUpper[156] = 140;
    AnsiUpper[158] = 142;
    AnsiUpper[255] = 159;
    for (uint32_t C = 0; C < 65536; ++C) {
      const bool Surrogate = IsSurrogate(C);
      UnicodeLower[C] = static_cast<char16_t>(Surrogate ? C : PlatformLowerCodePoint(C));
      UnicodeUpper[C] = static_cast<char16_t>(Surrogate ? C : PlatformUpperCodePoint(C));
    }
  }
};

const TCaseMaps& CaseMaps() {
  static const auto Maps = std::make_unique<TCaseMaps>();
  return *Maps;
}

// Unit I of S case-mapped: through the table, or, inside a surrogate pair,
// the matching unit of the mapped code point. Simple mappings keep a code
// point in its plane, so a mapped text has the length of the original.
inline char16_t MappedUnit(const char16_t* S, int32_t Length, int32_t I, const char16_t* Map, bool Upper) {
  const char16_t C = S[I];
  if (!IsSurrogate(C)) return Map[C];
  uint32_t Cp;
  bool Low;
  if (IsHighSurrogate(C) && I + 1 < Length && IsLowSurrogate(S[I + 1])) {
    Cp = SurrogatePairCodePoint(C, S[I + 1]);
    Low = false;
  } else if (IsLowSurrogate(C) && I > 0 && IsHighSurrogate(S[I - 1])) {
    Cp = SurrogatePairCodePoint(S[I - 1], C);
    Low = true;
  } else {
    return C;
  }
  const uint32_t M = Upper ? PlatformUpperCodePoint(Cp) : PlatformLowerCodePoint(Cp);
  if (M <= 0xFFFF) return C;
  return Low ? LowSurrogateOf(M) : HighSurrogateOf(M);
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
  uint32_t Flags = 0;
  if (CaseInsensitive) Flags |= pcfIgnoreCase;
  if (GetLocaleFlag(Collation, CollationAccentInsensitiveBit)) Flags |= pcfIgnoreNonSpace;
  if (GetLocaleFlag(Collation, CollationKanaInsensitiveBit)) Flags |= pcfIgnoreKanaType;
  if (GetLocaleFlag(Collation, CollationWidthInsensitiveBit)) Flags |= pcfIgnoreWidth;
  return Flags;
}

TORVString MapOrdinal(std::u16string_view S, bool Upper) {
  const char16_t* Map = Upper ? CaseMaps().UnicodeUpper.data() : CaseMaps().UnicodeLower.data();
  TORVString Result(S.size(), u'\0');
  const auto Length = static_cast<int32_t>(S.size());
  for (int32_t I = 0; I < Length; ++I) Result[static_cast<std::size_t>(I)] = MappedUnit(S.data(), Length, I, Map, Upper);
  return Result;
}

TORVString MapCase(int32_t Collation, std::u16string_view S, bool Upper) {
  int32_t Locale = Collation;
  ClearLocaleFlags(Locale);
  if (Locale != 0) {
    TORVString Result(S);
    if (PlatformMapCase(Locale, Upper, Result)) return Result;
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
  const int32_t N = OrdinalLengths(S1, S1Length, S2, S2Length, PartialLength);
  const uint8_t* Map = CaseInsensitive ? CaseMaps().AnsiUpper.data() : nullptr;
  for (int32_t I = 0; I < N; ++I) {
    const uint8_t C1 = Map != nullptr ? Map[S1[I]] : S1[I];
    const uint8_t C2 = Map != nullptr ? Map[S2[I]] : S2[I];
    if (C1 != C2) return C1 > C2 ? 1 : -1;
  }
  return FinishOrdinal(N, S1Length, S2Length, PartialLength);
}

int32_t CompareStringsOrdinal(const char16_t* S1, int32_t S1Length, const char16_t* S2, int32_t S2Length,
                              int32_t PartialLength, bool CaseInsensitive) {
  const int32_t N = OrdinalLengths(S1, S1Length, S2, S2Length, PartialLength);
  if (CaseInsensitive) {
    const char16_t* Map = CaseMaps().UnicodeUpper.data();
    for (int32_t I = 0; I < N; ++I) {
      const char16_t C1 = MappedUnit(S1, S1Length, I, Map, true);
      const char16_t C2 = MappedUnit(S2, S2Length, I, Map, true);
      if (C1 != C2) return C1 > C2 ? 1 : -1;
    }
  } else {
    for (int32_t I = 0; I < N; ++I)
      if (S1[I] != S2[I]) return S1[I] > S2[I] ? 1 : -1;
  }
  return FinishOrdinal(N, S1Length, S2Length, PartialLength);
}

int32_t CompareStringsOrdinal(std::u16string_view S1, std::u16string_view S2, int32_t PartialLength,
                              bool CaseInsensitive) {
  return CompareStringsOrdinal(S1.data(), static_cast<int32_t>(S1.size()), S2.data(),
                               static_cast<int32_t>(S2.size()), PartialLength, CaseInsensitive);
}

int32_t CompareStrings(int32_t Collation, const char16_t* S1, int32_t S1Length, const char16_t* S2,
                       int32_t S2Length, int32_t PartialLength, bool CaseInsensitive) {
  if (GetLocaleFlag(Collation, CollationCaseInsensitiveBit)) CaseInsensitive = true;
  int32_t Locale = Collation;
  ClearLocaleFlags(Locale);
  if (Locale != 0) {
    int32_t Length1 = S1Length, Length2 = S2Length;
    CollatedLengths(S1, Length1, S2, Length2, PartialLength);
    int32_t Result = 0;
    if (PlatformCompareStrings(Locale, PlatformFlags(Collation, CaseInsensitive),
                               std::u16string_view(S1, static_cast<std::size_t>(Length1)),
                               std::u16string_view(S2, static_cast<std::size_t>(Length2)), Result))
      return Result;
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
  int32_t Locale = Collation;
  ClearLocaleFlags(Locale);
  if (Locale != 0 && PlatformLocaleKnown(Locale)) {
    int32_t Length1 = S1Length, Length2 = S2Length;
    CollatedLengths(S1, Length1, S2, Length2, PartialLength);
    // 8-bit text is in the code page of the collation's locale.
    const int32_t CodePage = Environment().LocaleToCodePage(Locale);
    const TORVString Text1 = MapStringToUnicode(
        std::string_view(reinterpret_cast<const char*>(S1), static_cast<std::size_t>(Length1)), CodePage);
    const TORVString Text2 = MapStringToUnicode(
        std::string_view(reinterpret_cast<const char*>(S2), static_cast<std::size_t>(Length2)), CodePage);
    int32_t Result = 0;
    if (PlatformCompareStrings(Locale, PlatformFlags(Collation, CaseInsensitive), Text1, Text2, Result))
      return Result;
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
  const std::size_t ValueLength = Value.size(), PatternLength = Pattern.size();
  if (PatternLength == 0) return false;
  const bool HasEscape = EscapeChar != 0;
  // The one backtracking point: the last multi-character wildcard seen, and
  // the value position from which it absorbs one more character.
  bool Saved = false;
  std::size_t SavedValue = 0, SavedPattern = 0;
  std::size_t V = 0, P = 0;
  for (;;) {
    bool Failed = false;
    while (P < PatternLength) {
      const char16_t C = Pattern[P];
      if (C == MultiWildcard) {
        if (P + 1 == PatternLength) return true;
        if (Pattern[P + 1] == MultiWildcard) {
          ++P;
          continue;
        }
      }
      if (C == SingleWildcard && P + 1 == PatternLength && V < ValueLength) {
        if (V + 1 == ValueLength) return true;
        Failed = true;
        break;
      }
      if (V >= ValueLength) {
        Failed = true;
        break;
      }
      if (HasEscape && C == EscapeChar && P + 1 < PatternLength) {
        if (CompareStrings(Collation, Pattern.data() + P + 1, 1, Value.data() + V, 1, 0, false) != 0) {
          Failed = true;
          break;
        }
        P += 2;
        ++V;
        if (V == ValueLength && P == PatternLength) return true;
        continue;
      }
      if (C == MultiWildcard) {
        Saved = true;
        SavedValue = V + 1;
        SavedPattern = P;
        ++P;
        continue;
      }
      if (C == SingleWildcard) {
        ++P;
        ++V;
        continue;
      }
      // A literal run up to the next wildcard or escape character; a
      // trailing escape character with nothing to escape is a literal.
      std::size_t End = P + 1;
      while (End < PatternLength && Pattern[End] != SingleWildcard && Pattern[End] != MultiWildcard &&
             !(HasEscape && Pattern[End] == EscapeChar))
        ++End;
      const std::size_t Run = End - P;
      const std::size_t Compared = std::min(Run, ValueLength - V);
      if (CompareStrings(Collation, Pattern.data() + P, static_cast<int32_t>(Run), Value.data() + V,
                         static_cast<int32_t>(Compared), 0, false) != 0) {
        Failed = true;
        break;
      }
      P += Run;
      V += Compared;
      if (V == ValueLength && P == PatternLength) return true;
    }
    if (!Failed && V == ValueLength) return true;
    if (!Saved) return false;
    // Resume at the wildcard, which saves the next point itself.
    Saved = false;
    V = SavedValue;
    P = SavedPattern;
  }
}

bool MatchString(std::u16string_view Value, std::u16string_view Pattern, char16_t EscapeChar, bool CaseSensitive) {
  const std::size_t ValueLength = Value.size(), PatternLength = Pattern.size();
  if (PatternLength == 0) return false;
  const bool HasEscape = EscapeChar != 0;
  auto Same = [&](std::size_t P, std::size_t V) {
    const std::u16string_view A = Pattern.substr(P, 1), B = Value.substr(V, 1);
    return (CaseSensitive ? CompareStringSensitive(A, B) : CompareString(A, B)) == 0;
  };
  bool Saved = false;
  std::size_t SavedValue = 0, SavedPattern = 0;
  std::size_t V = 0, P = 0;
  for (;;) {
    bool Failed = false;
    while (P < PatternLength) {
      const char16_t C = Pattern[P];
      if (C == u'*') {
        if (P + 1 == PatternLength) return true;
        if (Pattern[P + 1] == u'*') {
          ++P;
          continue;
        }
      }
      if (V >= ValueLength) {
        Failed = true;
        break;
      }
      if (HasEscape && C == EscapeChar && P + 1 < PatternLength) {
        if (!Same(P + 1, V)) {
          Failed = true;
          break;
        }
        P += 2;
        ++V;
        continue;
      }
      if (C == u'*') {
        Saved = true;
        SavedValue = V + 1;
        SavedPattern = P;
        ++P;
        continue;
      }
      if (!Same(P, V)) {
        Failed = true;
        break;
      }
      ++P;
      ++V;
    }
    if (!Failed && V == ValueLength) return true;
    if (!Saved) return false;
    Saved = false;
    V = SavedValue;
    P = SavedPattern;
  }
}

bool EndsWithWildCard(std::u16string_view S, char16_t WildCard, char16_t EscapeChar) {
  if (S.empty() || S.back() != WildCard) return false;
  std::size_t I = S.size();
  while (I > 0 && S[I - 1] == WildCard) --I;
  if (I == 0) return true;
  if (EscapeChar != 0 && S[I - 1] == EscapeChar) return false;
  return S.substr(0, I).find(WildCard) == std::u16string_view::npos;
}

int32_t GetEndingWildCardLength(TORVString& S, char16_t WildCard, char16_t EscapeChar) {
  if (S.empty() || S.back() != WildCard) return 0;
  const bool HasEscape = EscapeChar != 0;
  // Walk left over the trailing wildcards; escaped ones stay as literals.
  TORVString Tail;
  std::size_t I = S.size();
  while (I > 0 && S[I - 1] == WildCard) {
    if (HasEscape && I >= 2 && S[I - 2] == EscapeChar) {
      Tail.insert(Tail.begin(), WildCard);
      I -= 2;
    } else {
      --I;
    }
  }
  TORVString Prefix;
  Prefix.reserve(I + Tail.size());
  for (std::size_t K = 0; K < I; ++K) {
    if (HasEscape && S[K] == EscapeChar && K + 1 < I) ++K;
    Prefix.push_back(S[K]);
  }
  Prefix += Tail;
  S = std::move(Prefix);
  return static_cast<int32_t>(S.size());
}

// ---------------------------------------------------------------------------
// Names

void ParseCollation(const TORVString& Name, TORVString& BaseName, bool& CaseInsensitive, bool& AccentInsensitive,
                    bool& KanaInsensitive, bool& WidthInsensitive) {
  BaseName = Name;
  auto Take = [&BaseName](const char16_t* Suffix) {
    if (UpperStringOrdinal(BaseName).find(Suffix) == TORVString::npos) return false;
    BaseName = ReplaceString(BaseName, Suffix, u"", true);
    return true;
  };
  CaseInsensitive = Take(u"_CI");
  AccentInsensitive = Take(u"_AI");
  KanaInsensitive = Take(u"_KI");
  WidthInsensitive = Take(u"_WI");
}

}  // namespace orv
