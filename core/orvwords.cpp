#include "core/orvwords.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <stdexcept>

#include "core/orvcollation.h"
#include "core/orvenv.h"
#include "core/orvstrings.h"
#include "platform/orvplatformlocale.h"

namespace orv {

// ---------------------------------------------------------------------------
// Words and word lists

void TORVWord::SetValue(const TORVString& Value) {
  FValue = Value;
  FContainsEndingWildCard = !Value.empty() && Value.back() == u'*';
  const std::size_t First = Value.find(u'*');
  FContainsWildCard = First != TORVString::npos && First + 1 < Value.size();
}

void TORVWordList::CheckIndex(int32_t Index) const {
  // Indexes come from the engine's own code, never unchecked from input:
  // one outside the list is a broken internal contract.
  if (Index < 0 || Index >= GetNumWords()) throw std::out_of_range("word list index out of range");
}

const TORVWord& TORVWordList::GetWords(int32_t Index) const {
  CheckIndex(Index);
  return *FWords[static_cast<std::size_t>(Index)];
}

void TORVWordList::SetWords(int32_t Index, const TORVString& Value) {
  CheckIndex(Index);
  FWords[static_cast<std::size_t>(Index)]->SetValue(Value);
}

bool TORVWordList::Find(std::u16string_view Value, int32_t PartialLength, std::size_t& Index) const {
  std::size_t Low = 0, High = FWords.size();
  while (Low < High) {
    const std::size_t Middle = Low + (High - Low) / 2;
    const int32_t C = CompareStrings(FCollation, FWords[Middle]->GetValue(), Value, PartialLength, false);
    if (C == 0) {
      Index = Middle;
      return true;
    }
    if (C < 0)
      Low = Middle + 1;
    else
      High = Middle;
  }
  Index = Low;
  return false;
}

void TORVWordList::Add(const TORVString& Value) {
  std::size_t Index;
  if (Find(Value, 0, Index)) return;
  const int32_t Needed = GetNumWords() + 1;
  if (static_cast<std::size_t>(Needed) > FWords.capacity())
    FWords.reserve(static_cast<std::size_t>(BlockOffset(Needed, 64)));
  FWords.insert(FWords.begin() + static_cast<std::ptrdiff_t>(Index), std::make_unique<TORVWord>(Value));
}

void TORVWordList::Remove(const TORVString& Value) {
  std::size_t Index;
  if (Find(Value, 0, Index)) FWords.erase(FWords.begin() + static_cast<std::ptrdiff_t>(Index));
}

bool TORVWordList::Search(const TORVString& Value, int32_t PartialLength) const {
  std::size_t Index;
  return Find(Value, PartialLength, Index);
}

std::unique_ptr<TORVWordList> TORVWordList::Difference(const TORVWordList& CompareWordList) const {
  auto Result = std::make_unique<TORVWordList>(FCollation);
  for (const auto& Word : FWords) {
    std::size_t Index;
    if (!CompareWordList.Find(Word->GetValue(), 0, Index)) Result->Add(Word->GetValue());
  }
  return Result;
}

void TORVWordList::Sort() {
  std::sort(FWords.begin(), FWords.end(), [this](const auto& A, const auto& B) {
    return CompareStrings(FCollation, A->GetValue(), B->GetValue(), 0, false) < 0;
  });
}

bool TORVWordList::ContainsWildcardWords() const {
  return std::any_of(FWords.begin(), FWords.end(), [](const auto& W) { return W->GetContainsWildCard(); });
}

bool TORVWordList::ContainsEndingWildcardWords() const {
  return std::any_of(FWords.begin(), FWords.end(), [](const auto& W) { return W->GetContainsEndingWildCard(); });
}

TORVString TORVWordList::ConvertToString(std::u16string_view Separator) const {
  TORVString Result;
  for (std::size_t I = 0; I < FWords.size(); ++I) {
    if (I > 0) Result += Separator;
    Result += FWords[I]->GetValue();
  }
  return Result;
}

void TORVWordList::ConvertFromString(const TORVString& Value, std::u16string_view Separator) {
  TORVString Rest = Value;
  while (!Rest.empty()) Add(Extract(Rest, Separator));
}

// ---------------------------------------------------------------------------
// Text-index words

namespace {

constexpr std::u16string_view KStopWords[] = {
    u"ABOUT",     u"ABOVE",      u"AFAIK",     u"ALL",       u"ALONG",     u"ALSO",      u"ALTHOUGH",
    u"AND",       u"ARE",        u"ARENT",     u"BECAUSE",   u"BEEN",      u"BTW",       u"BUT",
    u"CAN",       u"CANNOT",     u"CANT",      u"COULD",     u"COULDNT",   u"DID",       u"DIDNT",
    u"DOES",      u"DOESNT",     u"DUH",       u"EITHER",    u"ETC",       u"EVEN",      u"EVER",
    u"FOR",       u"FROM",       u"FURTHERMORE", u"FYI",     u"GET",       u"GETS",      u"GOT",
    u"GOTTEN",    u"HAD",        u"HADNT",     u"HARDLY",    u"HAS",       u"HASNT",     u"HAVING",
    u"HENCE",     u"HER",        u"HERE",      u"HEREBY",    u"HEREIN",    u"HEREOF",    u"HEREON",
    u"HERETO",    u"HEREWITH",   u"HERS",      u"HIM",       u"HIS",       u"HOW",       u"HOWEVER",
    u"IMHO",      u"IMO",        u"INTO",      u"ISNT",      u"ITS",       u"LOL",       u"MINE",
    u"NOR",       u"NOT",        u"ONTO",      u"OTHER",     u"OTOH",      u"OUR",       u"OURS",
    u"OUT",       u"OVER",       u"REALLY",    u"ROTFL",     u"SAID",      u"SAME",      u"SHE",
    u"SHOULD",    u"SHOULDNT",   u"SINCE",     u"SOMEWHAT",  u"SUCH",      u"THAN",      u"THAT",
    u"THATLL",    u"THATS",      u"THE",       u"THEIR",     u"THEIRS",    u"THEM",      u"THEN",
    u"THERE",     u"THEREBY",    u"THEREFORE", u"THEREFROM", u"THEREIN",   u"THEREOF",   u"THEREON",
    u"THERETO",   u"THEREWITH",  u"THESE",     u"THEY",      u"THEYLL",    u"THEYRE",    u"THIS",
    u"THOSE",     u"THROUGH",    u"THROUGHOUT", u"THUS",     u"TIA",       u"TOO",       u"UNDER",
    u"UNTIL",     u"UNTO",       u"UPON",      u"VERY",      u"WAS",       u"WASNT",     u"WERE",
    u"WERENT",    u"WHAT",       u"WHEN",      u"WHERE",     u"WHEREBY",   u"WHEREIN",   u"WHETHER",
    u"WHICH",     u"WHILE",      u"WHO",       u"WHOM",      u"WHOS",      u"WHOSE",     u"WHY",
    u"WITH",      u"WITHIN",     u"WITHOUT",   u"WONT",      u"WOULD",     u"WOULDNT",   u"YOU",
    u"YOULL",     u"YOUR",       u"YOURE",     u"YOURS"};

static_assert(std::size(KStopWords) == 144);
static_assert(std::is_sorted(std::begin(KStopWords), std::end(KStopWords)));

// Decodes the code point at I and the number of units it takes.
inline uint32_t CodePointAt(std::u16string_view Text, std::size_t I, std::size_t& Units) {
  const char16_t C = Text[I];
  if (IsHighSurrogate(C) && I + 1 < Text.size() && IsLowSurrogate(Text[I + 1])) {
    Units = 2;
    return SurrogatePairCodePoint(C, Text[I + 1]);
  }
  Units = 1;
  return C;
}

}  // namespace

const std::vector<std::u16string_view>& StopWords() {
  static const std::vector<std::u16string_view> Words(std::begin(KStopWords), std::end(KStopWords));
  return Words;
}

namespace {

// The stop words in the order of a locale collation, which may differ from
// code order (digraphs, letters sorted apart). Built once per collation and
// never changed afterwards, so a returned list stays valid.
const std::vector<std::u16string_view>& StopWordsSortedFor(int32_t Collation) {
  static std::mutex Lock;
  static std::unordered_map<int32_t, std::unique_ptr<std::vector<std::u16string_view>>> Lists;
  std::lock_guard<std::mutex> Guard(Lock);
  auto& List = Lists[Collation];
  if (!List) {
    List = std::make_unique<std::vector<std::u16string_view>>(std::begin(KStopWords), std::end(KStopWords));
    std::sort(List->begin(), List->end(), [Collation](std::u16string_view A, std::u16string_view B) {
      return CompareStrings(Collation, A, B, 0, false) < 0;
    });
  }
  return *List;
}

template <typename TIterator>
bool FindStopWord(int32_t Collation, TIterator Begin, TIterator End, std::u16string_view Word) {
  const TIterator It = std::lower_bound(Begin, End, Word, [Collation](std::u16string_view Stop, std::u16string_view W) {
    return CompareStrings(Collation, Stop, W, 0, false) < 0;
  });
  return It != End && CompareStrings(Collation, *It, Word, 0, false) == 0;
}

}  // namespace

bool IsStopWord(int32_t Collation, std::u16string_view Word) {
  int32_t Locale = Collation;
  ClearLocaleFlags(Locale);
  // Code order, with or without the case map, is the order of the list.
  if (Locale == 0 || !PlatformLocaleKnown(Locale))
    return FindStopWord(Collation, std::begin(KStopWords), std::end(KStopWords), Word);
  const std::vector<std::u16string_view>& Sorted = StopWordsSortedFor(Collation);
  return FindStopWord(Collation, Sorted.begin(), Sorted.end(), Word);
}

TORVString GetNextTextIndexWord(int32_t Collation, std::u16string_view Text, int32_t& Position, bool SearchMode) {
  TORVString Word;
  bool Wildcard = false;
  std::size_t I = Position > 1 ? static_cast<std::size_t>(Position) - 1 : 0;
  // Decides at the end of a collected word whether it is returned.
  auto Keep = [&]() {
    if (Word.empty()) return false;
    if (SearchMode && Wildcard) return true;
    if (Word.size() >= 3 && !IsStopWord(Collation, Word)) return true;
    Word.clear();
    Wildcard = false;
    return false;
  };
  while (I < Text.size()) {
    std::size_t Units;
    const uint32_t Cp = CodePointAt(Text, I, Units);
    if (SearchMode && Cp == u'*') {
      Word.push_back(u'*');
      Wildcard = true;
    } else if (PlatformIsLetter(Cp) || PlatformIsMark(Cp)) {
      Word.append(Text.substr(I, Units));
    } else if (!PlatformIsDigit(Cp)) {
      I += Units;
      if (Keep()) {
        Position = static_cast<int32_t>(I) + 1;
        return Word;
      }
      continue;
    }
    I += Units;
  }
  Position = static_cast<int32_t>(Text.size()) + 1;
  return Keep() ? Word : TORVString();
}

// ---------------------------------------------------------------------------
// Identifiers and character checks

namespace {

// A letter or "_" first, then only characters of Rest.
bool ValidName(std::u16string_view S, const TORVCharSet& Rest) {
  if (S.empty() || !AlphaChars().CharInSet(S[0])) return false;
  return std::all_of(S.begin() + 1, S.end(), [&Rest](char16_t C) { return Rest.CharInSet(C); });
}

}  // namespace

bool ValidIdentifier(std::u16string_view S) { return ValidName(S, IdentifierChars()); }

bool ValidSecurityIdentifier(std::u16string_view S) { return ValidName(S, SecurityIdentifierChars()); }

TORVString MakeValidIdentifier(std::u16string_view S) {
  TORVString Result(S);
  for (std::size_t I = 0; I < Result.size(); ++I) {
    const TORVCharSet& Chars = I == 0 ? AlphaChars() : IdentifierChars();
    if (!Chars.CharInSet(Result[I])) Result[I] = u'_';
  }
  return Result;
}

bool IsAlpha(char16_t Value) { return AlphaChars().CharInSet(Value); }
bool IsNumeric(char16_t Value) { return NumericChars().CharInSet(Value); }
bool IsAlphaNumeric(char16_t Value) { return IsAlpha(Value) || IsNumeric(Value); }
bool IsNonPrintable(char16_t Value) { return NonPrintableChars().CharInSet(Value); }
bool IsLineFeed(char16_t Value) { return Value == 10 || Value == 13; }
bool IsSign(char16_t Value) { return Value == u'+' || Value == u'-'; }
bool IsExponent(char16_t Value) { return Value == u'E' || Value == u'e'; }

}  // namespace orv
