// How a SELECT is answered: live on its source table or through a static
// result table, and the layout of the result tables and their ordering
// indexes.
#include "catalog/orvcatalog.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvorigin.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

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
  const TORVExprToken* Reference = SlotOf(Collate, CollateNameSlot);
  Collation = Reference != nullptr ? Reference->FCollation : Collate->FCollation;
  return true;
}

bool Descending(const TORVExprToken* Item) { return OperatorOf(SlotOf(Item, ItemDirectionSlot)) == toDESC; }

// The column a view or result column stands for in the table the rows come
// from; a column without origin stands for itself.
TORVColumn* BaseColumnOf(TORVColumn* Column) { return Column != nullptr ? Column->GetBaseColumn() : nullptr; }

TORVIndexes* IndexesOf(TORVVirtualTable* Table) { return Table != nullptr ? &Table->GetIndexes() : nullptr; }

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

// How many GROUP BY or ORDER BY items, and how many DISTINCT columns, an
// ordering index of a result table takes.
constexpr int32_t MaxSortColumns = 256;
constexpr int32_t MaxDistinctColumns = 128;
constexpr char16_t DefaultSchemaName[] = u"Default";

// A set operation whose rows must come out distinct on the select list;
// UNION ALL keeps duplicates and needs no index.
bool IsDistinctMergeInput(TORVTokenOperator Operator) {
  return Operator == toUNION || Operator == toEXCEPT || Operator == toEXCEPTALL || Operator == toINTERSECT ||
         Operator == toINTERSECTALL;
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
    const TORVExprToken* First = SlotOf(SlotOf(Select, FirstItemSlot), ItemExpressionSlot);
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
  if (Live && ContainsCorrelatedQueries(SlotOf(SlotOf(QueryToken, QueryWhereSlot), ClauseValueSlot))) Live = false;
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

bool TORVCatalog::TextIndexExists(TORVExprToken* Token, TORVUser* EffectiveUser, TORVVirtualTable* DefaultTable,
                                  const TORVString& DefaultSchemaName, const TORVString& DefaultTableName) {
  TORVVirtualTable* Table =
      GetVirtualTableForColumn(Token, EffectiveUser, DefaultTable, DefaultSchemaName, DefaultTableName, true);
  TORVColumn* Column = nullptr;
  if (auto* View = dynamic_cast<TORVView*>(Table)) {
    if (UpdateableView(View) != nullptr)
      Column = BaseColumnOf(static_cast<TORVColumn*>(View->GetColumns().FindByName(Token->FName, true)));
  } else {
    Column = static_cast<TORVColumn*>(Table->GetColumns().FindByName(Token->FName, true));
  }
  if (Column == nullptr) return false;
  // The column's list belongs to the table that stores it.
  auto* Owner = dynamic_cast<TORVVirtualTable*>(Column->GetParent() != nullptr ? Column->GetParent()->GetParent()
                                                                                 : nullptr);
  // A view may rename the column: the index names the stored one.
  return Owner != nullptr && Owner->GetIndexes().GetTextIndexNumberForColumn(Column->GetName(), Token->FCollation) != -1;
}

bool TORVCatalog::ReturnsFunctionResult(TORVExprToken* QueryToken) {
  TORVExprToken* Select = SlotOf(QueryToken, QuerySelectSlot);
  if (CountOf(Select) != 1 || CountOf(SlotOf(QueryToken, QueryFromSlot)) != 1) return false;
  TORVExprToken* Call = SlotOf(Select->GetArgument(0), ItemExpressionSlot);
  if (Call == nullptr || Call->FTokenType != ttFUNCREF) return false;
  TORVExprToken* Argument = SlotOf(Call, FunctionFirstArgumentSlot);
  if (Argument == nullptr || Argument->FTokenType != ttCOLUMNREF) return false;
  bool Answered = false;
  if (Call->FTokenOperator == toCOUNT) {
    Answered = Argument->FName == u"*";
  } else if (Call->FTokenOperator == toMAX || Call->FTokenOperator == toMIN) {
    TORVIndexes* Indexes = IndexesOf(GetLiveSourceTable(QueryToken, true));
    Answered = Indexes != nullptr && Indexes->GetIndexNumberForToken(Argument) != -1;
  }
  return Answered && !ContainsCorrelatedQueries(SlotOf(SlotOf(QueryToken, QueryWhereSlot), ClauseValueSlot));
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

void TORVCatalog::BuildResultTable(TORVExprToken* QueryToken, TORVVirtualTable* TableToUse, bool IncludePrimaryKey,
                                   bool IncludeColumnOrigins) {
  TableToUse->CreateSystemColumns();
  TORVColumns& Columns = TableToUse->GetColumns();
  TORVExprToken* Select = SlotOf(QueryToken, QuerySelectSlot);
  const TORVExprToken* First = FirstFromTable(QueryToken);
  for (int32_t Number = 0; Number < CountOf(Select); ++Number) {
    const TORVExprToken* Item = Select->GetArgument(Number);
    const TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
    const bool Reference = Expression != nullptr && Expression->FTokenType == ttCOLUMNREF;
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    Column->SetName(Item->FCorrelationName);
    if (Reference) Column->SetDescription(Expression->FCorrelationDescription);
    Column->SetTypeLike(Item->FDataType, Item->FSubType, Item->FLength, Item->FScale, Item->FCollation);
    Column->SetHidden(Item->FHidden);
    const bool Origin = IncludeColumnOrigins && Reference;
    if (Origin) {
      const TORVExprToken* Table = Expression->FSourceToken != nullptr ? Expression->FSourceToken : First;
      Column->SetOrigin(BuildOrigin(Table->FDatabaseName, Table->FSourceName, Table->FName, Expression->FName,
                                    DefaultSchemaName));
    }
    Columns.Add(Column.get());
    TORVColumn* Added = Column.release();
    if (Origin) Added->SetOriginConstraintInfo(TableToUse);
  }

  const bool MergedDistinct = IsDistinctMergeInput(OperatorOf(SlotOf(QueryToken, QueryMergeWordSlot))) ||
                              IsDistinctMergeInput(OperatorOf(SlotOf(SlotOf(QueryToken, QueryMergedQuerySlot),
                                                                     QueryMergeWordSlot)));
  TORVExprToken* OrderBy = SlotOf(QueryToken, QueryOrderBySlot);
  auto AddIndex = [&](const TORVString& Name, const std::function<void(TORVIndex*)>& Keys) {
    TORVIndexes& Indexes = TableToUse->GetIndexes();
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Indexes.GetNewObject()));
    Index->SetName(Name);
    Index->SetHidden(true);
    Index->SetIndexType(itIndex);
    Keys(Index.get());
    // An index without key columns orders nothing.
    if (Index->GetIndexColumns()->GetCount() == 0) return;
    if (auto* BaseTable = dynamic_cast<TORVBaseTable*>(TableToUse)) BaseTable->CheckPageSize(Index.get());
    Indexes.Add(Index.get());
    Index.release();
  };
  auto FromList = [&](TORVExprToken* Tokens, int32_t MaxColumns) {
    return [&, Tokens, MaxColumns](TORVIndex* Index) { BuildResultIndex(&Columns, Index, Tokens, MaxColumns); };
  };
  if (TORVExprToken* GroupBy = SlotOf(QueryToken, QueryGroupBySlot)) {
    AddIndex(u"__GroupBy", FromList(GroupBy, MaxSortColumns));
    if (OrderBy != nullptr) AddIndex(u"__OrderBy", FromList(OrderBy, MaxSortColumns));
    if (MergedDistinct) AddIndex(u"__Distinct", FromList(Select, MaxDistinctColumns));
  } else {
    if (OperatorOf(Select) == toDISTINCT || MergedDistinct)
      AddIndex(u"__Distinct", FromList(Select, MaxDistinctColumns));
    if (OrderBy != nullptr)
      AddIndex(u"__OrderBy", FromList(OrderBy, MaxSortColumns));
    else
      AddIndex(u"__OrderBy",
               [&](TORVIndex* Index) { BuildDefaultResultIndex(QueryToken, &Columns, Index, Select); });
  }
  if (auto* BaseTable = dynamic_cast<TORVBaseTable*>(TableToUse); BaseTable != nullptr && IncludePrimaryKey)
    BaseTable->CheckForPrimaryKeyConstraint();
  TableToUse->Validate();
}

void TORVCatalog::BuildLiveResultTable(TORVExprToken* QueryToken, TORVVirtualTable* TableToUse) {
  TableToUse->CreateSystemColumns();
  TORVColumns& Columns = TableToUse->GetColumns();
  TORVVirtualTable* Source = GetLiveSourceTable(QueryToken, false);
  TORVExprToken* Select = SlotOf(QueryToken, QuerySelectSlot);
  for (int32_t Number = 0; Number < CountOf(Select); ++Number) {
    const TORVExprToken* Item = Select->GetArgument(Number);
    const TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    Column->SetName(Item->FCorrelationName);
    TORVColumn* SourceColumn = nullptr;
    if (Source == nullptr || Expression == nullptr || Expression->FTokenType != ttCOLUMNREF) {
      Column->SetTypeLike(Item->FDataType, Item->FSubType, Item->FLength, Item->FScale, Item->FCollation);
    } else {
      SourceColumn = static_cast<TORVColumn*>(Source->GetColumns().FindByName(Expression->FName, true));
      if (SourceColumn->GetHidden()) continue;
      Column->SetDescription(SourceColumn->GetDescription());
      Column->SetTypeLike(SourceColumn->GetDataType(), SourceColumn->GetSubType(), SourceColumn->GetLength(),
                          SourceColumn->GetScale(), SourceColumn->GetCollation());
      TORVSchema* SourceSchema = Source->GetSchema();
      TORVString Origin = Source->GetName() + u"." + SourceColumn->GetName();
      TORVCatalog* Home = TableToUse->GetCatalog() != nullptr ? TableToUse->GetCatalog() : this;
      TORVCatalog* SourceCatalog = Source->GetCatalog();
      // A source in another database is named with its database, or the
      // origin would lead to a table of the same name in this one.
      if (SourceCatalog != nullptr && SourceCatalog != Home && SourceCatalog->GetDatabase() != nullptr)
        Origin = BuildOrigin(SourceCatalog->GetDatabase()->GetName(), SourceSchema->GetName(), Source->GetName(),
                             SourceColumn->GetName(), TORVString());
      else if (SourceSchema != Home->GetDefaultSchema())
        Origin = SourceSchema->GetName() + u"." + Origin;
      Column->SetOrigin(Origin);
    }
    Columns.Add(Column.get());
    TORVColumn* Added = Column.release();
    if (SourceColumn != nullptr) Added->SetOriginConstraintInfo(TableToUse);
  }
  TableToUse->Validate();
}

void TORVCatalog::AssignViewOriginPositions(TORVView* View, int32_t& Position) {
  if (View == nullptr || !View->GetUpdateable()) return;
  TORVExprToken* Query = View->GetDefinition().FTokens;
  TORVExprToken* TableRef = FirstFromTable(Query);
  if (TableRef == nullptr) return;
  TORVCatalog* Catalog = CatalogForTableRef(this, FConfig, TableRef);
  TORVVirtualTable* Table =
      Catalog->FindVirtualTable(Catalog->GetTokenSchema(TableRef, true), TableRef->FName, nullptr, true, true);
  auto* Inner = dynamic_cast<TORVView*>(Table);
  if (Inner != nullptr) Inner->Compile();
  if (Inner != nullptr && Inner->GetUpdateable())
    Catalog->AssignViewOriginPositions(Inner, Position);
  else
    Position = Table->GetColumns().GetCount();
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  for (int32_t Number = 0; Number < CountOf(Select); ++Number) {
    const TORVExprToken* Item = Select->GetArgument(Number);
    const TORVExprToken* Expression = SlotOf(Item, ItemExpressionSlot);
    if (Item->FHidden || (Expression != nullptr && Expression->FTokenType == ttCOLUMNREF)) continue;
    View->GetColumns().GetColumn(Number + 1)->SetOriginPosition(Position++);
  }
}

void TORVCatalog::BuildUpdatesTable(TORVBaseTable* TableToUse) {
  TableToUse->CreateSystemColumns();
  TableToUse->CreateSystemConstraint(false);
  struct TUpdatesColumn {
    const char16_t* Name;
    int32_t DataType;
    int32_t SubType;
    int32_t Length;
    bool CaseInsensitive;
  };
  static constexpr TUpdatesColumn UpdatesColumns[] = {
      {u"TableName", dtCharacter, stVarChar, 80, true},     {u"UpdateType", dtCharacter, stVarChar, 15, true},
      {u"UpdateTimeStamp", dtTimeStamp, stNone, 0, false},  {u"Manifest", dtLargeObject, stClob, 0, true},
      {u"KeyData", dtLargeObject, stClob, 0, true},         {u"RowData", dtLargeObject, stClob, 0, true},
  };
  TORVColumns& Columns = TableToUse->GetColumns();
  for (const TUpdatesColumn& Definition : UpdatesColumns) {
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    Column->SetName(Definition.Name);
    Column->SetTypeLike(Definition.DataType, Definition.SubType, Definition.Length, 0, 0);
    if (Definition.CaseInsensitive) Column->SetCollation(Column->GetCollation() | CollationCaseInsensitiveFlag);
    Columns.Add(Column.get());
    Column.release();
  }
  TORVIndexes& Indexes = TableToUse->GetIndexes();
  for (int32_t Position = 1; Position <= 3; ++Position) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Indexes.GetNewObject()));
    Index->SetName(Columns.GetColumn(Position)->GetName());
    AddKeyColumn(Index.get(), &Columns, Position, false);
    Indexes.Add(Index.get());
    Index.release();
  }
}

}  // namespace orv
