// CONTAINS and CONTAINS ANY: the search text and the column's value are
// both broken into words by the text index over the column's base column,
// so that the same word generator, filters and stop words apply to both.
#include <memory>

#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvcollation.h"
#include "core/orvwords.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"

namespace orv {

namespace {

constexpr char16_t WordWildCard = u'*';

// Whether Word matches a word of ColumnWords: as a LIKE pattern when the
// search has a wildcard inside a word, else whole, or as a prefix when it
// ends in the wildcard.
bool WordMatches(const TORVWordList& ColumnWords, const TORVWord& Word, bool Patterns, int32_t Collation) {
  if (Patterns) {
    for (int32_t I = 0; I < ColumnWords.GetNumWords(); ++I) {
      if (LikeString(Collation, ColumnWords.GetWords(I).GetValue(), Word.GetValue(), 0, 0, WordWildCard)) return true;
    }
    return false;
  }
  TORVString Prefix = Word.GetValue();
  const int32_t PartialLength = GetEndingWildCardLength(Prefix, WordWildCard, 0);
  return ColumnWords.Search(Prefix, PartialLength);
}

}  // namespace

bool TORVLocalExprEvaluator::SearchText(TORVExprToken* Column, TORVExprToken* SearchText, bool AnyWord) {
  TORVVirtualTable* Table = GetTableRef(Column);
  auto* Named = static_cast<TORVColumn*>(Table->GetColumns().FindByName(Column->FName, true));
  // A view's column leads to the column its base table stores, under that
  // column's own name.
  TORVColumn* Base = Named->GetBaseColumn();
  auto* Owner = dynamic_cast<TORVBaseTable*>(Base->GetParent() != nullptr ? Base->GetParent()->GetParent() : nullptr);
  if (Owner == nullptr) return false;
  TORVIndexes& Indexes = Owner->GetIndexes();
  const int32_t Number = Indexes.GetTextIndexNumberForColumn(Base->GetName(), Column->FCollation);
  if (Number == -1) return false;
  TORVIndex& Index = *Indexes.GetIndex(Number);
  const std::unique_ptr<TORVWordList> SearchWords = Index.BuildWordList(SearchText->FValue->GetAsString(), true);
  if (SearchWords == nullptr || SearchWords->GetNumWords() == 0) return false;
  const std::unique_ptr<TORVWordList> ColumnWords = Index.BuildWordList(Column->FValue->GetAsString(), false);
  const bool Patterns = SearchWords->ContainsWildcardWords();
  const int32_t Collation = Index.GetIndexColumns()->GetIndexColumn(0)->GetCollation();
  for (int32_t I = 0; I < SearchWords->GetNumWords(); ++I) {
    const bool Found = WordMatches(*ColumnWords, SearchWords->GetWords(I), Patterns, Collation);
    if (AnyWord && Found) return true;
    if (!AnyWord && !Found) return false;
  }
  return !AnyWord;
}

void TORVLocalExprEvaluator::EvaluateContainsText(TORVExprToken* Column, TORVExprToken* SearchText,
                                                  TORVExprToken* Token) {
  Token->FValue->SetAsBoolean(this->SearchText(Column, SearchText, false));
}

void TORVLocalExprEvaluator::EvaluateContainsAnyText(TORVExprToken* Column, TORVExprToken* SearchText,
                                                     TORVExprToken* Token) {
  Token->FValue->SetAsBoolean(this->SearchText(Column, SearchText, true));
}

}  // namespace orv
