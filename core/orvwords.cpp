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
  const std::size_t first = Value.find(u'*');
  FContainsWildCard = first != TORVString::npos && first + 1 < Value.size();
}

void TORVWordList::CheckIndex(int32_t Index) const {
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
  std::size_t low = 0, high = FWords.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int32_t c = CompareStrings(FCollation, FWords[middle]->GetValue(), Value, PartialLength, false);
    if (c == 0) {
      Index = middle;
      return true;
    }
    if (c < 0)
      low = middle + 1;
    else
      high = middle;
  }
  Index = low;
  return false;
}

void TORVWordList::Add(const TORVString& Value) {
  std::size_t index;
  if (Find(Value, 0, index)) return;
  const int32_t needed = GetNumWords() + 1;
  if (static_cast<std::size_t>(needed) > FWords.capacity())
    FWords.reserve(static_cast<std::size_t>(BlockOffset(needed, 64)));
  FWords.insert(FWords.begin() + static_cast<std::ptrdiff_t>(index), std::make_unique<TORVWord>(Value));
}

void TORVWordList::Remove(const TORVString& Value) {
  std::size_t index;
  if (Find(Value, 0, index)) FWords.erase(FWords.begin() + static_cast<std::ptrdiff_t>(index));
}

bool TORVWordList::Search(const TORVString& Value, int32_t PartialLength) const {
  std::size_t index;
  return Find(Value, PartialLength, index);
}

std::unique_ptr<TORVWordList> TORVWordList::Difference(const TORVWordList& CompareWordList) const {
  auto result = std::make_unique<TORVWordList>(FCollation);
  for (const auto& word : FWords) {
    std::size_t index;
    if (!CompareWordList.Find(word->GetValue(), 0, index)) result->Add(word->GetValue());
  }
  return result;
}

void TORVWordList::Sort() {
  std::sort(FWords.begin(), FWords.end(), [this](const auto& a, const auto& b) {
    return CompareStrings(FCollation, a->GetValue(), b->GetValue(), 0, false) < 0;
  });
}

bool TORVWordList::ContainsWildcardWords() const {
  return std::any_of(FWords.begin(), FWords.end(), [](const auto& w) { return w->GetContainsWildCard(); });
}

bool TORVWordList::ContainsEndingWildcardWords() const {
  return std::any_of(FWords.begin(), FWords.end(), [](const auto& w) { return w->GetContainsEndingWildCard(); });
}

TORVString TORVWordList::ConvertToString(std::u16string_view Separator) const {
  TORVString result;
  for (std::size_t i = 0; i < FWords.size(); ++i) {
    if (i > 0) result += Separator;
    result += FWords[i]->GetValue();
  }
  return result;
}

void TORVWordList::ConvertFromString(const TORVString& Value, std::u16string_view Separator) {
  TORVString rest = Value;
  while (!rest.empty()) Add(Extract(rest, Separator));
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
  const char16_t c = Text[I];
  if (IsHighSurrogate(c) && I + 1 < Text.size() && IsLowSurrogate(Text[I + 1])) {
    Units = 2;
    return SurrogatePairCodePoint(c, Text[I + 1]);
  }
  Units = 1;
  return c;
}

}  // namespace

const std::vector<std::u16string_view>& StopWords() {
  static const std::vector<std::u16string_view> words(std::begin(KStopWords), std::end(KStopWords));
  return words;
}

namespace {

// The stop words in the order of a locale collation, which may differ from
// code order (digraphs, letters sorted apart). Built once per collation and
// never changed afterwards, so a returned list stays valid.
const std::vector<std::u16string_view>& StopWordsSortedFor(int32_t Collation) {
  static std::mutex lock;
  static std::unordered_map<int32_t, std::unique_ptr<std::vector<std::u16string_view>>> lists;
  std::lock_guard<std::mutex> guard(lock);
  auto& list = lists[Collation];
  if (!list) {
    list = std::make_unique<std::vector<std::u16string_view>>(std::begin(KStopWords), std::end(KStopWords));
    std::sort(list->begin(), list->end(), [Collation](std::u16string_view a, std::u16string_view b) {
      return CompareStrings(Collation, a, b, 0, false) < 0;
    });
  }
  return *list;
}

template <typename TIterator>
bool FindStopWord(int32_t Collation, TIterator Begin, TIterator End, std::u16string_view Word) {
  const TIterator it = std::lower_bound(Begin, End, Word, [Collation](std::u16string_view stop, std::u16string_view w) {
    return CompareStrings(Collation, stop, w, 0, false) < 0;
  });
  return it != End && CompareStrings(Collation, *it, Word, 0, false) == 0;
}

}  // namespace

bool IsStopWord(int32_t Collation, std::u16string_view Word) {
  int32_t locale = Collation;
  ClearLocaleFlags(locale);
  // Code order, with or without the case map, is the order of the list.
  if (locale == 0 || !PlatformLocaleKnown(locale))
    return FindStopWord(Collation, std::begin(KStopWords), std::end(KStopWords), Word);
  const std::vector<std::u16string_view>& sorted = StopWordsSortedFor(Collation);
  return FindStopWord(Collation, sorted.begin(), sorted.end(), Word);
}

TORVString GetNextTextIndexWord(int32_t Collation, std::u16string_view Text, int32_t& Position, bool SearchMode) {
  TORVString word;
  bool wildcard = false;
  std::size_t i = Position > 1 ? static_cast<std::size_t>(Position) - 1 : 0;
  // Decides at the end of a collected word whether it is returned.
  auto keep = [&]() {
    if (word.empty()) return false;
    if (SearchMode && wildcard) return true;
    if (word.size() >= 3 && !IsStopWord(Collation, word)) return true;
    word.clear();
    wildcard = false;
    return false;
  };
  while (i < Text.size()) {
    std::size_t units;
    const uint32_t cp = CodePointAt(Text, i, units);
    if (SearchMode && cp == u'*') {
      word.push_back(u'*');
      wildcard = true;
    } else if (PlatformIsLetter(cp) || PlatformIsMark(cp)) {
      word.append(Text.substr(i, units));
    } else if (!PlatformIsDigit(cp)) {
      i += units;
      if (keep()) {
        Position = static_cast<int32_t>(i) + 1;
        return word;
      }
      continue;
    }
    i += units;
  }
  Position = static_cast<int32_t>(Text.size()) + 1;
  return keep() ? word : TORVString();
}

// ---------------------------------------------------------------------------
// Identifiers and character checks

namespace {

// A letter or "_" first, then only characters of Rest.
bool ValidName(std::u16string_view S, const TORVCharSet& Rest) {
  if (S.empty() || !AlphaChars().CharInSet(S[0])) return false;
  return std::all_of(S.begin() + 1, S.end(), [&Rest](char16_t c) { return Rest.CharInSet(c); });
}

}  // namespace

bool ValidIdentifier(std::u16string_view S) { return ValidName(S, IdentifierChars()); }

bool ValidSecurityIdentifier(std::u16string_view S) { return ValidName(S, SecurityIdentifierChars()); }

TORVString MakeValidIdentifier(std::u16string_view S) {
  TORVString result(S);
  for (std::size_t i = 0; i < result.size(); ++i) {
    const TORVCharSet& chars = i == 0 ? AlphaChars() : IdentifierChars();
    if (!chars.CharInSet(result[i])) result[i] = u'_';
  }
  return result;
}

bool IsAlpha(char16_t Value) { return AlphaChars().CharInSet(Value); }
bool IsNumeric(char16_t Value) { return NumericChars().CharInSet(Value); }
bool IsAlphaNumeric(char16_t Value) { return IsAlpha(Value) || IsNumeric(Value); }
bool IsNonPrintable(char16_t Value) { return NonPrintableChars().CharInSet(Value); }
bool IsLineFeed(char16_t Value) { return Value == 10 || Value == 13; }
bool IsSign(char16_t Value) { return Value == u'+' || Value == u'-'; }
bool IsExponent(char16_t Value) { return Value == u'E' || Value == u'e'; }

}  // namespace orv
