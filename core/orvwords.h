// Word lists, text-index words and stop words, and the identifier and
// single-character checks of the tokenizer and name validation.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVWord : public TORVBaseObject {
 public:
  explicit TORVWord(const TORVString& Value) { SetValue(Value); }

  const TORVString& GetValue() const { return FValue; }
  // Stores the word and recomputes both wildcard flags.
  void SetValue(const TORVString& Value);
  // A "*" somewhere other than at the end.
  bool GetContainsWildCard() const { return FContainsWildCard; }
  // The last character is "*".
  bool GetContainsEndingWildCard() const { return FContainsEndingWildCard; }

 private:
  TORVString FValue;
  bool FContainsWildCard = false;
  bool FContainsEndingWildCard = false;
};

// Words sorted ascending and unique under the list's collation.
class TORVWordList : public TORVBaseObject {
 public:
  explicit TORVWordList(int32_t CollationToUse) : FCollation(CollationToUse) {}

  int32_t GetCollation() const { return FCollation; }
  int32_t GetNumWords() const { return static_cast<int32_t>(FWords.size()); }
  // Index must lie in 0 .. NumWords - 1 (std::out_of_range otherwise).
  const TORVWord& GetWords(int32_t Index) const;
  // Places a value directly; Sort restores the order afterwards.
  void SetWords(int32_t Index, const TORVString& Value);

  // Inserts Value at its sorted place unless an equal word is present.
  void Add(const TORVString& Value);
  void Remove(const TORVString& Value);
  // With PartialLength > 0 only that many leading characters of each side
  // are compared (a prefix search).
  bool Search(const TORVString& Value, int32_t PartialLength) const;
  // The words of this list that CompareWordList does not hold.
  std::unique_ptr<TORVWordList> Difference(const TORVWordList& CompareWordList) const;
  void Sort();
  bool ContainsWildcardWords() const;
  bool ContainsEndingWildcardWords() const;
  TORVString ConvertToString(std::u16string_view Separator) const;
  void ConvertFromString(const TORVString& Value, std::u16string_view Separator);

 private:
  // Binary search: true with the word's index, or false with the index of
  // the first word that sorts after Value.
  bool Find(std::u16string_view Value, int32_t PartialLength, std::size_t& Index) const;
  void CheckIndex(int32_t Index) const;

  int32_t FCollation;
  std::vector<std::unique_ptr<TORVWord>> FWords;
};

// The next word of Text from Position (1-based), or an empty text when none
// is left; Position ends past the word's terminating separator. Letters (of
// any script) make up words; digits are dropped from them; everything else
// separates words. Outside search mode words shorter than three characters
// and stop words are skipped; in search mode "*" marks a wildcard word,
// which is returned as it stands.
TORVString GetNextTextIndexWord(int32_t Collation, std::u16string_view Text, int32_t& Position, bool SearchMode);
bool IsStopWord(int32_t Collation, std::u16string_view Word);
// The 144 stop words, upper case, in ascending order.
const std::vector<std::u16string_view>& StopWords();

bool ValidIdentifier(std::u16string_view S);
bool ValidSecurityIdentifier(std::u16string_view S);
TORVString MakeValidIdentifier(std::u16string_view S);

bool IsAlpha(char16_t Value);
bool IsNumeric(char16_t Value);
bool IsAlphaNumeric(char16_t Value);
bool IsNonPrintable(char16_t Value);
bool IsLineFeed(char16_t Value);
bool IsSign(char16_t Value);
bool IsExponent(char16_t Value);

}  // namespace orv
