#include "catalog/orvcursor.h"

#include <algorithm>
#include <stdexcept>

#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "catalog/orvindexes.h"
#include "core/orvrowlocks.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

namespace orv {

TORVCursor::TORVCursor(const TORVString& CursorName, int32_t CharacterSetToUse, bool OpenReadOnly, bool OpenExclusive)
    : FName(CursorName), FCharacterSet(CharacterSetToUse), FReadOnly(OpenReadOnly), FExclusive(OpenExclusive) {
  FColumns = std::make_unique<TORVColumns>();
  FColumns->SetCatalogCharacterSet(CharacterSetToUse);
  FCursorColumns = std::make_unique<TORVCursorColumns>(this);
  FBookmarkColumns = std::make_unique<TORVBookmarkColumns>(FColumns.get());
  FBookmarkColumns->SetCatalogCharacterSet(CharacterSetToUse);
  FIndexes = std::make_unique<TORVCursorIndexes>(this);
  FIndexes->SetCatalogCharacterSet(CharacterSetToUse);
  FRowLocks = std::make_unique<TORVRowLocks>();
  FValidateColumns = std::make_unique<TORVMappedColumns>();
}

// Everything that refers to the columns goes before them.
TORVCursor::~TORVCursor() {
  FValidateRow.reset();
  FValidateColumns.reset();
  FRowLocks.reset();
  FIndexes.reset();
  FBookmarkColumns.reset();
  FCursorColumns.reset();
  FColumns.reset();
}

int32_t TORVCursor::GetActiveIndex() { return -1; }

TORVIndex* TORVCursor::ActiveIndex() {
  const int32_t Active = GetActiveIndex();
  return Active >= 0 && Active < FIndexes->GetCount() ? FIndexes->GetIndex(Active) : nullptr;
}

void TORVCursor::SetActiveIndex(int32_t Value) {
  if (Value == GetActiveIndex() || Value < 0 || Value >= FIndexes->GetCount()) return;
  TORVIndex* Index = FIndexes->GetIndex(Value);
  FBookmarkColumns->Assign(Index->GetIndexColumns(), true);
  FBookmarkRowID = Index->GetIndexType() != itPrimaryKey;
  FActiveIndexName = Index->GetName();
  if (FFilterRow != nullptr) FFilterRow->ResetBookmarkValues();
}

void TORVCursor::UpdateError() {
  RaiseError(ORV_CURSOR_ERROR, {FName, u"An attempt was made to update a read-only cursor"});
}

bool TORVCursor::GetBOF() { return FBOF; }

bool TORVCursor::GetEOF() { return FEOF; }

void TORVCursor::FilterError(const TORVString& Msg) { RaiseError(ORV_FILTER_ERROR, {Msg}); }

bool TORVCursor::GetRowLocked() { return FRowLocks->Find(GetRowNumber()); }

void TORVCursor::LockRow(TORVCursorRow& RowToLock, int32_t /*RetryCount*/, int32_t /*WaitTime*/) {
  FRowLocks->Add(this, RowToLock.GetNumber(), true);
}

void TORVCursor::UnlockRow(TORVCursorRow& RowToUnlock) { FRowLocks->Remove(RowToUnlock.GetNumber()); }

void TORVCursor::UnlockAllRows() { FRowLocks->RemoveAll(); }

std::unique_ptr<TORVCursorRow> TORVCursor::CreateRow(bool CreateComputedColumns) {
  return std::make_unique<TORVCursorRow>(this, CreateComputedColumns);
}

void TORVCursor::InitializeRow(TORVCursorRow& NewRow) { NewRow.Initialize(); }

void TORVCursor::CloneCurrentRow(TORVCursorRow& NewRow) {
  GetCurrentRow(NewRow, false);
  NewRow.SetNumber(0);
  NewRow.SetUpdateCounter(0);
  TORVCursorRowValues& Values = *NewRow.GetValues();
  if (Values.GetCount() > 0) Values.GetItems(0)->SetAsInteger(0);
  Values.LoadBlobStreams();
  Values.SetModified(true);
}

void TORVCursor::PopulateKey(TORVCursorRow& Row, int32_t ColumnCount) {
  TORVCursorKeyValues& Key = *Row.GetKeyValues();
  Key.DeleteAll();
  TORVIndex* Index = ActiveIndex();
  if (Index == nullptr) return;
  TORVIndexColumns& Columns = *Index->GetIndexColumns();
  const int32_t Count = ColumnCount == -1 ? Columns.GetCount() : std::clamp(ColumnCount, 0, Columns.GetCount());
  for (int32_t Position = 0; Position < Count; ++Position)
    Key.Add(Row.GetValues()->GetItems(Columns.GetIndexColumn(Position)->GetSourceColumn()->GetPosition()));
}

void TORVCursor::CheckUpdateable() {
  if (FReadOnly) UpdateError();
}

bool TORVCursor::CheckFilterRowEvent() {
  bool Accept = true;
  if (FOnFilterRow) FOnFilterRow(Accept);
  return Accept;
}

void TORVCursor::ValidatePosition() {
  FBOF = GetBOF();
  FEOF = GetEOF();
}

bool TORVCursor::ValidateRowValues(TORVMappedCursorColumns& Columns, TORVValues& Values, int32_t PartialLength,
                                   bool CaseInsensitive) {
  if (FBOF && FEOF) return false;
  FValidateColumns->Assign(&Columns, false);
  if (FValidateRow == nullptr) FValidateRow = CreateRow(true);
  InternalGetCurrentRow(*FValidateRow);
  return FValidateRow->GetValues()->Compare(Values, PartialLength, CaseInsensitive, *FValidateColumns) == 0;
}

int32_t TORVCursor::GetPartialLength(TORVKeyValues& KeyValues) {
  TORVIndex* Index = ActiveIndex();
  if (KeyValues.GetCount() == 0 || Index == nullptr) return 0;
  const int32_t Last = KeyValues.GetCount() - 1;
  TORVIndexColumns& Columns = *Index->GetIndexColumns();
  if (Last >= Columns.GetCount() || Columns.GetIndexColumn(Last)->GetSourceColumn()->GetDataType() != dtCharacter)
    return 0;
  return static_cast<int32_t>(KeyValues.GetItems(Last)->GetAsString().size());
}

// One scan of ValidateFilteredPosition: True when the handler accepted a
// row; Result turns False once the scan moved.
bool TORVCursor::FilterScan(bool Forward, bool& Result) {
  if (FFilterRow == nullptr) throw std::logic_error("a filter-row handler without a filter row");
  while (Forward ? !FEOF : !FBOF) {
    InternalGetCurrentRow(*FFilterRow);
    if (CheckFilterRowEvent()) return true;
    if (Forward) {
      InternalNext();
      FEOF = GetEOF();
    } else {
      InternalPrior();
      FBOF = GetBOF();
    }
    Result = false;
  }
  return false;
}

bool TORVCursor::ValidateFilteredPosition(int32_t Direction) {
  ValidatePosition();
  if (!FOnFilterRow || GetRowCount() < 1) return true;
  const bool Forward = Direction <= 1;
  bool Result = true;
  if (FilterScan(Forward, Result)) return Result;
  FilterScan(!Forward, Result);
  return Result;
}

void TORVCursor::MapDefaultTableColumns() {
  for (int32_t Index = 0; Index < FColumns->GetCount(); ++Index) {
    TORVColumn* Column = FColumns->GetColumn(Index);
    if (Column->GetHidden()) continue;
    std::unique_ptr<TORVCursorColumn> CursorColumn(static_cast<TORVCursorColumn*>(FCursorColumns->GetNewObject()));
    CursorColumn->SetSourceColumn(Column);
    CursorColumn->SetName(Column->GetName());
    CursorColumn->SetDescription(Column->GetDescription());
    CursorColumn->SetReadOnly(Column->GetReadOnly());
    FCursorColumns->Add(CursorColumn.get());
    CursorColumn.release();
  }
}

void TORVCursor::SetActiveIndexName(const TORVString& Value) {
  // An empty name with no index active still selects the default index.
  if (SameString(Value, FActiveIndexName) && (!Value.empty() || GetActiveIndex() != -1)) return;
  int32_t Found;
  if (!Value.empty()) {
    Found = FIndexes->FindByName(Value, true)->GetPosition();
  } else {
    Found = FIndexes->GetIndexNumberForType(itPrimaryKey);
    if (Found == -1) Found = FIndexes->GetIndexNumberForType(itIndex);
  }
  if (Found != -1) SetActiveIndex(Found);
}

std::unique_ptr<TORVMappedCursorColumns> TORVCursor::GetColumnsForNames(const TORVString& ColumnNames) {
  auto Result = std::make_unique<TORVMappedCursorColumns>(this);
  TORVString Rest = ColumnNames;
  while (!Rest.empty()) {
    const TORVString Name = LTrimString(Extract(Rest, u";"), u' ');
    Result->Add(FCursorColumns->FindByName(Name, true));
  }
  return Result;
}

std::unique_ptr<TORVMappedCursorColumns> TORVCursor::GetColumnsForNames(const std::vector<TORVString>& ColumnNames) {
  auto Result = std::make_unique<TORVMappedCursorColumns>(this);
  for (const TORVString& Name : ColumnNames) Result->Add(FCursorColumns->FindByName(LTrimString(Name, u' '), true));
  return Result;
}

std::unique_ptr<TORVMappedCursorColumns> TORVCursor::GetColumnsForIndex(int32_t IndexNumber) {
  auto Result = std::make_unique<TORVMappedCursorColumns>(this);
  const int32_t Number = IndexNumber == -1 ? GetActiveIndex() : IndexNumber;
  if (Number < 0 || Number >= FIndexes->GetCount()) return Result;
  TORVIndexColumns& Columns = *FIndexes->GetIndex(Number)->GetIndexColumns();
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index)
    Result->Add(FCursorColumns->FindByName(Columns.GetIndexColumn(Index)->GetSourceColumn()->GetName(), true));
  return Result;
}

std::unique_ptr<TORVMappedCursorColumns> TORVCursor::GetColumnsForActiveIndex() { return GetColumnsForIndex(-1); }

TORVIndex* TORVCursor::GetIndexForColumns(TORVMappedCursorColumns& Columns, bool CaseInsensitive) {
  for (int32_t Number = 0; Number < FIndexes->GetCount(); ++Number) {
    TORVIndex* Index = FIndexes->GetIndex(Number);
    TORVIndexColumns& Keys = *Index->GetIndexColumns();
    if (Index->GetIndexType() == itTextIndex || Keys.GetCount() < Columns.GetCount()) continue;
    bool Matches = true;
    for (int32_t Position = 0; Matches && Position < Columns.GetCount(); ++Position) {
      TORVIndexColumn* Key = Keys.GetIndexColumn(Position);
      TORVColumn* Source = Key->GetSourceColumn();
      Matches = Source->GetID() == Columns.GetCursorColumn(Position)->GetSourceColumn()->GetID() &&
                (Source->GetDataType() != dtCharacter ||
                 ((Key->GetCollation() & CollationCaseInsensitiveFlag) != 0) == CaseInsensitive);
    }
    if (Matches) return Index;
  }
  return nullptr;
}

}  // namespace orv
