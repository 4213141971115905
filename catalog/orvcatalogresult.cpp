// How a SELECT is answered: live on its source table or through a static
// result table, and the layout of the result tables and their ordering
// indexes.
#include "catalog/orvcatalog.h"

#include <algorithm>
#include <memory>

#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvstrings.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

// Slots of a select item and of a GROUP BY or ORDER BY item.
constexpr int32_t ItemExpressionSlot = 0;
constexpr int32_t ItemCollateSlot = 1;
constexpr int32_t ItemDirectionSlot = 2;

int32_t CountOf(const TORVExprToken* Clause) { return Clause != nullptr ? Clause->GetNumArguments() : 0; }

TORVExprToken* FirstFromTable(TORVExprToken* QueryToken) {
  TORVExprToken* From = SlotOf(QueryToken, QueryFromSlot);
  return CountOf(From) > 0 ? From->GetArgument(0) : nullptr;
}

TORVTokenOperator OperatorOf(const TORVExprToken* Token) { return Token != nullptr ? Token->FTokenOperator : toNONE; }

// The select item whose expression is a plain column reference that Item
// names: the item itself, or the one a sort item refers to; nil for any
// other shape.
TORVExprToken* ColumnItem(TORVExprToken* Item) {
  if (Item == nullptr) return nullptr;
  TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
  if (Item->FTokenType == ttSELECTCOLUMN)
    return Expression != nullptr && Expression->FTokenType == ttCOLUMNREF ? Item : nullptr;
  if (Expression == nullptr || Expression->FTokenType != ttSELECTCOLUMNREF) return nullptr;
  TORVExprToken* Selected = Expression->FSourceToken;
  if (Selected == nullptr || Selected->FTokenType != ttSELECTCOLUMN) return nullptr;
  TORVExprToken* Reference = SlotOf(Selected, ItemExpressionSlot);
  return Reference != nullptr && Reference->FTokenType == ttCOLUMNREF ? Selected : nullptr;
}

// The collation an explicit COLLATE on Item names; false without one.
bool ExplicitCollation(const TORVExprToken* Item, int32_t& Collation) {
  const TORVExprToken* Collate = SlotOf(Item, ItemCollateSlot);
  if (Collate == nullptr) return false;
  const TORVExprToken* Reference = SlotOf(Collate, 0);
  Collation = Reference != nullptr ? Reference->FCollation : Collate->FCollation;
  return true;
}

bool Descending(const TORVExprToken* Item) { return OperatorOf(SlotOf(Item, ItemDirectionSlot)) == toDESC; }

// The column a view or result column stands for in the table the rows come
// from; a column without origin stands for itself.
TORVColumn* BaseColumnOf(TORVColumn* Column) { return Column; }

// The indexes of a table-like object; nil for one without indexes.
TORVIndexes* IndexesOf(TORVVirtualTable* Table) {
  auto* BaseTable = dynamic_cast<TORVBaseTable*>(Table);
  return BaseTable != nullptr ? &BaseTable->GetIndexes() : nullptr;
}

int32_t IndexCount(TORVIndexes* Indexes) { return Indexes != nullptr ? Indexes->GetCount() : 0; }

// The updateable view Table is, compiled, so that its query can be read;
// nil for a table or a view that gives no live result.
TORVView* UpdateableView(TORVVirtualTable* Table) {
  auto* View = dynamic_cast<TORVView*>(Table);
  if (View == nullptr) return nullptr;
  View->Compile();
  return View->GetUpdateable() ? View : nullptr;
}

// The catalog a table reference reads: its database's when it names one.
TORVCatalog* CatalogForTableRef(TORVCatalog* Catalog, TORVConfig* Config, TORVExprToken* TableRef) {
  if (TableRef->FDatabaseName.empty()) return Catalog;
  auto* Database = static_cast<TORVDatabaseContainer*>(Config->GetDatabases().FindByName(TableRef->FDatabaseName, true));
  if (Database->GetCatalog() == nullptr) Database->CatalogReadError();
  return Database->GetCatalog();
}

// Appends a key column on ColumnsToUse's column at Position to Index.
TORVIndexColumn* AddKeyColumn(TORVIndex* Index, TORVColumns* ColumnsToUse, int32_t Position, bool Descending) {
  TORVIndexColumns& Keys = *Index->GetIndexColumns();
  std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
  Key->SetSourceColumn(ColumnsToUse->GetColumn(Position));
  Key->SetDescending(Descending);
  Keys.Add(Key.get());
  return Key.release();
}

}  // namespace

TORVVirtualTable* TORVCatalog::GetLiveSourceTable(TORVExprToken* QueryToken, bool FollowViews) {
  TORVCatalog* Catalog = this;
  TORVExprToken* Query = QueryToken;
  for (;;) {
    TORVExprToken* TableRef = FirstFromTable(Query);
    if (TableRef == nullptr) return nullptr;
    Catalog = CatalogForTableRef(Catalog, FConfig, TableRef);
    TORVVirtualTable* Table = Catalog->FindVirtualTable(Catalog->GetTokenSchema(TableRef, true), TableRef->FName,
                                                        nullptr, true, true);
    TORVView* View = FollowViews ? UpdateableView(Table) : nullptr;
    if (View == nullptr) return Table;
    Query = View->GetDefinition().FTokens;
  }
}

bool TORVCatalog::IndexColumnsMatch(TORVExprToken* /*QueryToken*/, TORVColumns* Columns, TORVExprToken* Tokens,
                                    TORVIndex* Index) {
  TORVIndexColumns* IndexColumns = Index->GetIndexColumns();
  for (int32_t K = 0; K < CountOf(Tokens); ++K) {
    TORVExprToken* Item = Tokens->GetArgument(K);
    TORVExprToken* Selected = ColumnItem(Item);
    if (Selected == nullptr) return false;
    TORVExprToken* Reference = SlotOf(Selected, ItemExpressionSlot);
    TORVColumn* Column = BaseColumnOf(static_cast<TORVColumn*>(Columns->FindByName(Reference->FName, true)));
    if (K >= IndexColumns->GetCount()) return false;
    TORVIndexColumn* Key = IndexColumns->GetIndexColumn(K);
    if (!SameString(Key->GetSourceColumn()->GetName(), Column->GetName())) return false;
    int32_t Collation = 0;
    const bool Collated = ExplicitCollation(Item, Collation);
    if (Collated && Collation != Key->GetCollation()) return false;
    if (Descending(Item) != Key->GetDescending()) return false;
    if (!Collated && Column->GetCollation() != Key->GetCollation()) return false;
  }
  return true;
}

bool TORVCatalog::ReturnsLiveResult(TORVExprToken* QueryToken, int32_t& LiveIndex) {
  LiveIndex = -1;
  TORVVirtualTable* Source = GetLiveSourceTable(QueryToken, true);
  if (Source == nullptr) return false;
  TORVVirtualTable* Direct = GetLiveSourceTable(QueryToken, false);
  TORVIndexes* Indexes = IndexesOf(Source);
  TORVExprToken* Select = SlotOf(QueryToken, QuerySelectSlot);

  bool Live = OperatorOf(SlotOf(QueryToken, QueryMergeWordSlot)) == toNONE &&
              CountOf(SlotOf(QueryToken, QueryFromSlot)) == 1 && SlotOf(QueryToken, QueryGroupBySlot) == nullptr &&
              SlotOf(QueryToken, QueryMergedQuerySlot) == nullptr;
  const TORVExprToken* Upper = QueryToken->FUpperToken;
  if (Live && (QueryToken->FTokenOperator == toCORRELATED || QueryToken->FTokenOperator == toUNCORRELATED) &&
      (OperatorOf(Upper) == toIN || OperatorOf(Upper) == toNOTIN)) {
    const TORVExprToken* First = SlotOf(SlotOf(Select, 0), ItemExpressionSlot);
    Live = First != nullptr && First->FTokenType == ttCOLUMNREF;
  }
  if (Live && OperatorOf(Select) == toDISTINCT) {
    // Distinct rows come from a cursor only when a primary key on exactly
    // the selected columns keeps them apart.
    for (int32_t Number = 0; Number < IndexCount(Indexes) && LiveIndex == -1; ++Number) {
      TORVIndex* Index = Indexes->GetIndex(Number);
      if (Index->GetIndexType() == itPrimaryKey && Index->GetIndexColumns()->GetCount() == CountOf(Select) &&
          IndexColumnsMatch(QueryToken, &Direct->GetColumns(), Select, Index))
        LiveIndex = Number;
    }
    Live = LiveIndex != -1;
  }
  for (int32_t Item = 0; Live && Item < CountOf(Select); ++Item) {
    const TORVExprToken* Expression = SlotOf(Select->GetArgument(Item), ItemExpressionSlot);
    if (ContainsAggregates(Expression) || ContainsCorrelatedColumns(Expression)) Live = false;
  }
  if (Live && ContainsCorrelatedQueries(SlotOf(SlotOf(QueryToken, QueryWhereSlot), 0))) Live = false;
  if (!Live) return false;

  if (TORVExprToken* OrderBy = SlotOf(QueryToken, QueryOrderBySlot)) {
    LiveIndex = -1;
    for (int32_t Number = 0; Number < IndexCount(Indexes); ++Number) {
      TORVIndex* Index = Indexes->GetIndex(Number);
      if (Index->GetIndexType() != itTextIndex &&
          IndexColumnsMatch(QueryToken, &Direct->GetColumns(), OrderBy, Index)) {
        LiveIndex = Number;
        return true;
      }
    }
    return false;
  }
  if (LiveIndex == -1) {
    const int32_t Key = Indexes != nullptr ? Indexes->GetIndexNumberForType(itPrimaryKey) : -1;
    LiveIndex = Key != -1 ? Key : 0;
  }
  return true;
}

void TORVCatalog::BuildResultIndex(TORVColumns* ColumnsToUse, TORVIndex* IndexToUse, TORVExprToken* TokensToUse,
                                   int32_t MaxColumns) {
  const int32_t Count = std::min(CountOf(TokensToUse), MaxColumns);
  for (int32_t Number = 0; Number < Count; ++Number) {
    TORVExprToken* Item = TokensToUse->GetArgument(Number);
    if (Item == nullptr || Item->FHidden) continue;
    const TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
    int32_t Position = -1;
    if (Item->FTokenType == ttSELECTCOLUMN)
      Position = Item->FPosition;
    else if (Expression != nullptr && Expression->FTokenType == ttSELECTCOLUMNREF &&
             Expression->FSourceToken != nullptr)
      Position = Expression->FSourceToken->FPosition;
    // A key column needs a column to read its key from.
    if (Position < 0) continue;
    TORVIndexColumn* Key = AddKeyColumn(IndexToUse, ColumnsToUse, Position + 1, Descending(Item));
    if (int32_t Collation = 0; ExplicitCollation(Item, Collation)) Key->SetCollation(Collation);
  }
}

void TORVCatalog::BuildDefaultResultIndex(TORVExprToken* QueryToken, TORVColumns* ColumnsToUse, TORVIndex* IndexToUse,
                                          TORVExprToken* TokensToUse) {
  TORVIndexes* Indexes = IndexesOf(GetLiveSourceTable(QueryToken, true));
  TORVIndex* Key = nullptr;
  if (IndexCount(Indexes) > 0) {
    const int32_t Primary = Indexes->GetIndexNumberForType(itPrimaryKey);
    Key = Indexes->GetIndex(Primary != -1 ? Primary : 0);
  }
  const TORVExprToken* First = FirstFromTable(QueryToken);
  bool Added = false;
  for (int32_t Number = 0; Key != nullptr && Number < CountOf(TokensToUse); ++Number) {
    TORVExprToken* Item = TokensToUse->GetArgument(Number);
    const TORVExprToken* Reference = SlotOf(Item, ItemExpressionSlot);
    if (Item->FHidden || Reference == nullptr || Reference->FTokenType != ttCOLUMNREF ||
        Reference->FSourceToken != First)
      continue;
    TORVIndexColumns& KeyColumns = *Key->GetIndexColumns();
    for (int32_t K = 0; K < KeyColumns.GetCount(); ++K) {
      TORVIndexColumn* KeyColumn = KeyColumns.GetIndexColumn(K);
      if (!SameString(KeyColumn->GetSourceColumn()->GetName(), Reference->FName)) continue;
      AddKeyColumn(IndexToUse, ColumnsToUse, Number + 1, KeyColumn->GetDescending());
      Added = true;
      break;
    }
  }
  if (!Added) AddKeyColumn(IndexToUse, ColumnsToUse, 0, false);
}

}  // namespace orv
