// Text index upkeep of the table manager: a text index holds one key
// (word, row ID) per distinct word of a row's text, so a row operation
// inserts, deletes or swaps the keys of the words that differ. The word
// lists are owned here and freed on every path.
#include <memory>

#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvvalue.h"
#include "core/orvwords.h"
#include "eval/orvtablemgr.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"

namespace orv {

namespace {

TORVString TextOf(TORVValue* Value) { return Value->GetNull() ? TORVString() : Value->GetAsString(); }

}  // namespace

bool TORVTableManager::IsTextIndex(int32_t IndexNumber) const {
  return FTable->GetIndexes().GetIndex(IndexNumber)->GetIndexType() == itTextIndex;
}

std::unique_ptr<TORVWordList> TORVTableManager::GetWordList(TORVRowValues& RowValues, int32_t IndexNumber) {
  TORVIndex* Index = FTable->GetIndexes().GetIndex(IndexNumber);
  TORVColumn* Source = Index->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumn();
  TORVString Text = TextOf(RowValues.GetItems(Source->GetPosition()));
  if (TORVColumn* FilterType = Index->GetTextFilterTypeColumn(); FilterType != nullptr) {
    TORVString Filtered;
    Index->FilterText(TextOf(RowValues.GetItems(FilterType->GetPosition())), Text, Filtered);
    Text = std::move(Filtered);
  }
  return Index->BuildWordList(Text, false);
}

template <typename TVisit>
void TORVTableManager::ForEachTextKey(const TORVWordList& Words, int32_t RowID, int32_t IndexNumber, TVisit Visit) {
  TORVIndexKeyValues& Keys = GetKeyValues(IndexNumber);
  for (int32_t Word = 0; Word < Words.GetNumWords(); ++Word) {
    Keys.GetItems(0)->SetAsString(Words.GetWords(Word).GetValue());
    Keys.SetRowID(RowID);
    if (!Visit(Keys)) return;
  }
}

void TORVTableManager::InsertNewTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  const std::unique_ptr<TORVWordList> Words = GetWordList(RowValues, IndexNumber);
  TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
  ForEachTextKey(*Words, RowValues.GetItems(0)->GetAsInteger(), IndexNumber, [&](TORVIndexKeyValues& Keys) {
    Navigator.Insert(Keys, RowNumber);
    return true;
  });
}

void TORVTableManager::DeleteExistingTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  const std::unique_ptr<TORVWordList> Words = GetWordList(RowValues, IndexNumber);
  TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
  ForEachTextKey(*Words, RowValues.GetItems(0)->GetAsInteger(), IndexNumber, [&](TORVIndexKeyValues& Keys) {
    Navigator.Delete(Keys, RowNumber);
    return true;
  });
}

void TORVTableManager::UpdateExistingTextKeys(TORVRowValues& RowValues, int32_t RowNumber, int32_t IndexNumber) {
  // The filter type alone changes no word: only the text column counts.
  TORVColumn* Source = FTable->GetIndexes().GetIndex(IndexNumber)->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumn();
  if (!RowValues.GetRowValue(Source->GetPosition())->GetModified()) return;
  TORVRowValues& Stored = StoredRowValues();
  const std::unique_ptr<TORVWordList> OldWords = GetWordList(Stored, IndexNumber);
  const std::unique_ptr<TORVWordList> NewWords = GetWordList(RowValues, IndexNumber);
  const std::unique_ptr<TORVWordList> Gone = OldWords->Difference(*NewWords);
  const std::unique_ptr<TORVWordList> Added = NewWords->Difference(*OldWords);
  TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
  ForEachTextKey(*Gone, Stored.GetItems(0)->GetAsInteger(), IndexNumber, [&](TORVIndexKeyValues& Keys) {
    Navigator.Delete(Keys, RowNumber);
    return true;
  });
  ForEachTextKey(*Added, RowValues.GetItems(0)->GetAsInteger(), IndexNumber, [&](TORVIndexKeyValues& Keys) {
    Navigator.Insert(Keys, RowNumber);
    return true;
  });
}

bool TORVTableManager::VerifyExistingTextKeys(TORVRowValues& RowValues, int32_t ExistingNumber, int32_t IndexNumber) {
  try {
    const std::unique_ptr<TORVWordList> Words = GetWordList(RowValues, IndexNumber);
    TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
    bool Present = true;
    ForEachTextKey(*Words, RowValues.GetItems(0)->GetAsInteger(), IndexNumber, [&](TORVIndexKeyValues& Keys) {
      Present = Navigator.Verify(Keys, ExistingNumber);
      return Present;
    });
    return Present;
  } catch (...) {
    // A row whose words cannot be had counts as one whose keys are missing.
    return false;
  }
}

}  // namespace orv
