#include "exec/orvlocalcursor.h"

#include <algorithm>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvdbmgr.h"
#include "core/orvhandle.h"
#include "core/orvlocktype.h"
#include "core/orvrowlocks.h"
#include "core/orvsessionmgr.h"
#include "core/orvtypefunc.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvviewmgr.h"
#include "eval/orvvirtualtablemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexmgr.h"

namespace orv {

namespace {

// The stored row lent by the rows file goes back however the reader ends.
class TLentRow {
 public:
  TLentRow(TORVRowsetManager& Manager, TORVRowsetRow* Row) : FManager(Manager), FRow(Row) {}
  ~TLentRow() {
    if (FRow != nullptr) FManager.PutRow(FRow);
  }
  TLentRow(const TLentRow&) = delete;
  TLentRow& operator=(const TLentRow&) = delete;

 private:
  TORVRowsetManager& FManager;
  TORVRowsetRow* FRow;
};

int32_t CharacterSetOf(TORVVirtualTableManager* Manager) {
  if (Manager == nullptr) throw std::logic_error("a local cursor without a table manager");
  return Manager->RowsetManager()->GetSettings().GetCharacterSet();
}

}  // namespace

// ------------------------------------------------------ rowset navigator

TORVCursorRowsetNavigator::TORVCursorRowsetNavigator(TORVLocalCursor* OwnerCursor, TORVRowsetManager* RowsetManager)
    : TORVRowsetNavigator(RowsetManager), FCursor(OwnerCursor), FRowsets(RowsetManager) {}

int32_t TORVCursorRowsetNavigator::GetRowCount() { return FCursor->GetRowCount(); }

bool TORVCursorRowsetNavigator::RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) {
  if (!TORVRowsetNavigator::RowValid(RowNumber, Direction, StopScan)) return false;
  return FCursor->RowValid(RowNumber);
}

bool TORVCursorRowsetNavigator::FilterWalk() const { return FCursor->GetFiltersInEffect(); }

int32_t TORVCursorRowsetNavigator::BitLimit() const {
  return std::min(FCursor->GetFilterBitmap().GetBitCount(), FRowsets->GetLastNumber());
}

int32_t TORVCursorRowsetNavigator::GetReadAhead(int32_t StartingRowNumber, int32_t Direction,
                                                int32_t MaxReadAhead) {
  if (!FilterWalk()) return FCursor->GetReadAhead(StartingRowNumber, Direction, MaxReadAhead);
  if (Direction == 0) return 1;
  const TORVSparseBitmap& Bits = FCursor->GetFilterBitmap();
  return Direction == NavigateForward ? Bits.NextBitsSet(StartingRowNumber, MaxReadAhead)
                                      : Bits.PriorBitsSet(StartingRowNumber, MaxReadAhead);
}

bool TORVCursorRowsetNavigator::ReadBitRow(int32_t Number, int32_t Direction, bool& FoundChanges) {
  const int32_t ReadAhead = GetReadAhead(Number, Direction, FRowsets->GetMaxReadAheadBufferCount());
  TORVRowsetRow* Row = FRowsets->GetRow(Number, ReadAhead > 1, Direction, ReadAhead, FoundChanges);
  if (Row == nullptr) return false;
  TLentRow Lent(*FRowsets, Row);
  if (Row->GetStatus() == TORVRowsetRow::StatusDeleted) return false;
  SetRow(Row);
  return true;
}

int32_t TORVCursorRowsetNavigator::SeekBit(int32_t Start, bool Forward, bool& FoundChanges) {
  const TORVSparseBitmap& Bits = FCursor->GetFilterBitmap();
  const int32_t Limit = BitLimit();
  int32_t Number = Start;
  while (Forward ? Bits.NextBitSet(Number) : Bits.PriorBitSet(Number)) {
    if (Number < 1) return 0;
    if (Number > Limit) {
      if (Forward) return 0;
      continue;
    }
    if (ReadBitRow(Number, Forward ? NavigateForward : NavigateBackward, FoundChanges)) return Number;
    if (FoundChanges) return 0;
  }
  return 0;
}

bool TORVCursorRowsetNavigator::NoRow() {
  ClearActiveRow();
  FBOF = true;
  FEOF = true;
  return false;
}

bool TORVCursorRowsetNavigator::Stand(bool AtBOF, bool AtEOF, bool Result) {
  FBOF = AtBOF;
  FEOF = AtEOF;
  return Result;
}

bool TORVCursorRowsetNavigator::First(bool& FoundChanges) {
  if (!FilterWalk()) return TORVRowsetNavigator::First(FoundChanges);
  FoundChanges = false;
  if (SeekBit(0, true, FoundChanges) != 0) return Stand(true, false, true);
  return FoundChanges ? false : NoRow();
}

bool TORVCursorRowsetNavigator::Last(bool& FoundChanges) {
  if (!FilterWalk()) return TORVRowsetNavigator::Last(FoundChanges);
  FoundChanges = false;
  if (SeekBit(BitLimit() + 1, false, FoundChanges) != 0) return Stand(false, true, true);
  return FoundChanges ? false : NoRow();
}

// At the end of the bits the current row stays, with EOF (Next) or BOF
// (Prior) set; a walk that had no row finds none.
bool TORVCursorRowsetNavigator::Next(bool& FoundChanges) {
  if (!FilterWalk()) return TORVRowsetNavigator::Next(FoundChanges);
  FoundChanges = false;
  const int32_t Current = GetRowNumber();
  if (SeekBit(Current, true, FoundChanges) != 0) return Stand(false, false, true);
  if (FoundChanges) return false;
  if (Current == 0) return NoRow();
  return Stand(false, true, false);
}

bool TORVCursorRowsetNavigator::Prior(bool& FoundChanges) {
  if (!FilterWalk()) return TORVRowsetNavigator::Prior(FoundChanges);
  FoundChanges = false;
  const int32_t Current = GetRowNumber();
  if (SeekBit(Current == 0 ? BitLimit() + 1 : Current, false, FoundChanges) != 0) return Stand(false, false, true);
  if (FoundChanges) return false;
  if (Current == 0) return NoRow();
  return Stand(true, false, false);
}

int32_t TORVCursorRowsetNavigator::Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                          bool& FoundChanges) {
  if (!FilterWalk()) return TORVRowsetNavigator::Search(SearchValues, PartialLength, CaseInsensitive, FoundChanges);
  FoundChanges = false;
  int32_t Number = SeekBit(0, true, FoundChanges);
  if (Number == 0) {
    if (!FoundChanges) NoRow();
    return 1;
  }
  while (Number != 0) {
    if (GetRowValues().Compare(SearchValues, PartialLength, CaseInsensitive) == 0) {
      FBOF = false;
      FEOF = false;
      return 0;
    }
    const int32_t Examined = Number;
    Number = SeekBit(Examined, true, FoundChanges);
    if (FoundChanges) return 1;
    if (Number == 0) {
      // The last row examined stays current.
      FBOF = false;
      FEOF = true;
    }
  }
  return 1;
}

bool TORVCursorRowsetNavigator::GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) {
  FoundChanges = false;
  if (NewNumber < 1) return NoRow();
  if (!TORVRowsetNavigator::GotoNumber(NewNumber, Direction, FoundChanges)) return false;
  ValidatePosition(Direction == 0 ? NavigateForward : Direction, FoundChanges);
  return !FoundChanges && GetRowNumber() != 0;
}

void TORVCursorRowsetNavigator::GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) {
  if (!First(FoundChanges)) {
    if (FoundChanges || GetRowNumber() == 0) return;
  }
  for (int32_t Sequence = 1; Sequence < NewSequenceNumber; ++Sequence) {
    if (Next(FoundChanges)) continue;
    // Past the count: the last valid row, EOF set by Next.
    return;
  }
}

// ------------------------------------------------------- index navigator

TORVCursorIndexNavigator::TORVCursorIndexNavigator(TORVLocalCursor* OwnerCursor, int32_t Number,
                                                   TORVIndexManager* IndexManager)
    : TORVIndexNavigator(IndexManager, Number), FCursor(OwnerCursor) {}

TORVCursorIndexNavigator::~TORVCursorIndexNavigator() = default;

int32_t TORVCursorIndexNavigator::GetRowCount() { return FCursor->GetRowCount(); }

bool TORVCursorIndexNavigator::RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) {
  if (!TORVIndexNavigator::RowValid(RowNumber, Direction, StopScan)) return false;
  return FCursor->RowValid(RowNumber);
}

bool TORVCursorIndexNavigator::GetRangeInEffect() { return FCursor->GetRangeInEffect(); }

TORVKeyValues* TORVCursorIndexNavigator::GetRangeStartKeyValues() { return FCursor->GetRangeStartValues(); }

TORVKeyValues* TORVCursorIndexNavigator::GetRangeEndKeyValues() { return FCursor->GetRangeEndValues(); }

int32_t TORVCursorIndexNavigator::CheckRange(TORVValues& KeyValues) {
  if (!FCursor->GetRangeInEffect() || FCursor->GetActiveIndex() != GetIndexNumber()) return 0;
  TORVKeyValues* Start = FCursor->GetRangeStartValues();
  TORVKeyValues* End = FCursor->GetRangeEndValues();
  if (Start != nullptr && Start->Compare(KeyValues, 0, false) > 0) return -1;
  if (End != nullptr && End->Compare(KeyValues, 0, false) < 0) return 1;
  return 0;
}

int32_t TORVCursorIndexNavigator::CheckRestrictedKey(TORVValues& KeyValues) {
  if (!FRestrictedKey) return 0;
  if (KeyValues.GetCount() == 0) return 1;
  // The partial length applies to the last restricted value.
  return KeyValues.Compare(*FRestrictedKeyValues, FRestrictedPartialLength, FRestrictedCaseInsensitive);
}

void TORVCursorIndexNavigator::SetRestrictedKey(TORVValues& SearchValues, int32_t PartialLength,
                                                bool CaseInsensitive) {
  // A buffer holds as many values as its last assignment gave it: a
  // search over more columns needs a fresh one.
  if (FRestrictedKeyValues == nullptr || FRestrictedKeyValues->GetCount() < SearchValues.GetCount())
    FRestrictedKeyValues = std::make_unique<TORVContainedIndexKeyValues>(FCursor->GetCharacterSet(), GetIndex());
  FRestrictedKeyValues->Assign(SearchValues);
  FRestrictedPartialLength = PartialLength;
  FRestrictedCaseInsensitive = CaseInsensitive;
  FRestrictedKey = true;
}

void TORVCursorIndexNavigator::ClearRestrictedKey() {
  FRestrictedKey = false;
  FRestrictedPartialLength = 0;
  FRestrictedCaseInsensitive = false;
}

// ---------------------------------------------------------------- cursor

TORVLocalCursor::TORVLocalCursor(TORVVirtualTableManager* TableManagerToUse, const TORVString& CursorName,
                                 bool OpenReadOnly, bool OpenExclusive)
    : TORVCursor(CursorName, CharacterSetOf(TableManagerToUse), OpenReadOnly, OpenExclusive),
      FDatabaseManager(TableManagerToUse->GetDatabaseManager()),
      FTableManager(TableManagerToUse) {
  FColumns->Assign(&FTableManager->GetColumns(), true);
  FIndexes->Assign(&FTableManager->GetIndexes(), true);
  FRowsetNavigator = std::make_unique<TORVCursorRowsetNavigator>(this, FTableManager->RowsetManager());
  if (TORVIndexManager* Indexes = FTableManager->IndexManager(); Indexes != nullptr)
    for (int32_t Number = 0; Number < FIndexes->GetCount(); ++Number)
      FIndexNavigators.push_back(std::make_unique<TORVCursorIndexNavigator>(this, Number, Indexes));
  for (int32_t Number = 0; Number < FIndexes->GetCount(); ++Number)
    FKeyValues.push_back(std::make_unique<TORVContainedIndexKeyValues>(FCharacterSet, FIndexes->GetIndex(Number)));
  NewFilterLayer();
  FUpdateCounter = FTableManager->GetUpdateCounter();
  // Last, so that a constructor that fails leaves no table naming a
  // cursor that never was.
  Register();
}

TORVLocalCursor::~TORVLocalCursor() {
  Unregister();
  if (FReset) return;
  try {
    Reset();
  } catch (const std::exception& Exception) {
    LogFailure(Exception, fcFree);
  }
}

namespace {

// The cursor table of the database manager that owns Owner's objects; nil
// for an owner that is no database manager.
TORVHandleObjects* DatabaseCursors(TORVSchemaObjectOwner* Owner) {
  auto* Database = dynamic_cast<TORVDatabaseManager*>(Owner);
  return Database != nullptr ? &Database->GetCursors() : nullptr;
}

}  // namespace

void TORVLocalCursor::Register() {
  TORVHandleObjects* Cursors = DatabaseCursors(FDatabaseManager);
  if (Cursors == nullptr) return;
  TORVHandleObjects& SessionCursors = FDatabaseManager->GetSessionManager().GetCursors();
  SessionCursors.AddObject(this, false);
  if (Cursors->ObjectExists(GetHandle())) {
    SessionCursors.RemoveObject(this, false);
    throw std::logic_error("a database's cursor holds a handle its session did not give out");
  }
  Cursors->SetObject(this);
  FRegistered = true;
}

void TORVLocalCursor::Unregister() noexcept {
  if (!FRegistered) return;
  FRegistered = false;
  // The database's table first: it keeps the handle, which the session's
  // then frees.
  DatabaseCursors(FDatabaseManager)->ClearObject(this);
  FDatabaseManager->GetSessionManager().GetCursors().RemoveObject(this, false);
}

void TORVLocalCursor::Destroy() {
  Unregister();
  try {
    Reset();
  } catch (const std::exception& Exception) {
    LogFailure(Exception, fcFree);
    throw;
  }
}

void TORVLocalCursor::LogFailure(const std::exception& Exception, int32_t FunctionCode) {
  if (FDatabaseManager == nullptr || FunctionCode == 0) return;
  try {
    FDatabaseManager->HandleException(Exception, FunctionCode);
  } catch (...) {
    // The failure being logged is the one that passes on.
  }
}

void TORVLocalCursor::CheckNotReset() const {
  if (FReset || FTableManager == nullptr)
    RaiseError(ORV_CURSOR_ERROR, {FName, ORV_CURSOR_CLOSED_DETAIL});
}

void TORVLocalCursor::MissingOperationError(const TORVString& Operation) {
  RaiseError(ORV_CURSOR_ERROR, {FName, FormatString(ORV_CURSOR_OPERATION_MISSING_DETAIL, {Operation})});
}

// ------------------------------------------------------- state answers

bool TORVLocalCursor::GetBOF() { return FRowsetNavigator == nullptr || FRowsetNavigator->GetBoF(); }

bool TORVLocalCursor::GetEOF() { return FRowsetNavigator == nullptr || FRowsetNavigator->GetEoF(); }

int32_t TORVLocalCursor::GetRowNumber() {
  return FRowsetNavigator == nullptr ? 0 : FRowsetNavigator->GetRowNumber();
}

int32_t TORVLocalCursor::GetRowCount() {
  if (GetFiltersInEffect()) return FFilterRowCount;
  return FTableManager == nullptr ? 0 : FTableManager->GetRowCount();
}

int32_t TORVLocalCursor::GetTotalRowCount() { return FTableManager == nullptr ? 0 : FTableManager->GetRowCount(); }

int32_t TORVLocalCursor::GetReadAhead(int32_t /*StartingRowNumber*/, int32_t /*Direction*/, int32_t MaxReadAhead) {
  return MaxReadAhead;
}

TORVCursorIndexNavigator* TORVLocalCursor::GetIndexNavigator(int32_t IndexNumber) const {
  if (IndexNumber < 0 || IndexNumber >= static_cast<int32_t>(FIndexNavigators.size())) return nullptr;
  return FIndexNavigators[static_cast<size_t>(IndexNumber)].get();
}

TORVVirtualTable* TORVLocalCursor::GetTable() const {
  return FTableManager == nullptr ? nullptr : FTableManager->GetVirtualTable();
}

TORVVirtualTable* TORVLocalCursor::GetControllerTable() const {
  if (FNumViewManagers > 0) return FViewManagers[static_cast<size_t>(FNumViewManagers - 1)]->GetView();
  return GetTable();
}

// ------------------------------------------------------ filters (hooks)

bool TORVLocalCursor::RowValid(int32_t RowNumber) {
  if (!GetFiltersInEffect()) return true;
  if (RowNumber < 1 || RowNumber > FFilterBitmap.GetBitCount()) return false;
  return FFilterBitmap.BitSet(RowNumber);
}

bool TORVLocalCursor::CheckRow(TORVRowValues& /*RowValues*/) {
  // No layer holds a query or user filter yet.
  return true;
}

int32_t TORVLocalCursor::NewFilterLayer() { return ++FFilterLayer; }

void TORVLocalCursor::BuildFilter() {
  // With no active filter in any layer only a static cursor's marks count.
  FActiveFilters = false;
  if (!FStatic) FFilterRowCount = 0;
}

void TORVLocalCursor::RefreshFilters() { BuildFilter(); }

void TORVLocalCursor::ValidateRow(int32_t /*RowNumber*/, uint8_t /*Status*/, TORVRowValues& /*RowValues*/) {
  if (FStatic) return;
  FFilterBitmap.SetBitCount(FTableManager->GetPhysicalRowCount());
  BuildFilter();
}

void TORVLocalCursor::SetStatic(bool Value) {
  FStatic = Value;
  if (!Value || FActiveFilters) return;
  const int32_t Count = FTableManager->GetPhysicalRowCount();
  FFilterBitmap.SetBitCount(Count);
  FFilterBitmap.SetBits();
  FFilterRowCount = Count;
}

bool TORVLocalCursor::CheckForChanges() { return FTableManager->GetUpdateCounter() != FUpdateCounter; }

bool TORVLocalCursor::InternalRefresh(bool Force) {
  if (FStatic) return false;
  // The change check re-reads the headers another session may have
  // written; it holds the read lock until the operation gives it back.
  FTableManager->CheckForChanges(false);
  if (!Force && !CheckForChanges()) return false;
  FUpdateCounter = FTableManager->GetUpdateCounter();
  RefreshFilters();
  return true;
}

// ---------------------------------------------------------- key buffers

namespace {

bool KeyCarriesRowID(int32_t IndexType) {
  return IndexType == itIndex || IndexType == itForeignKey || IndexType == itUnique;
}

}  // namespace

TORVIndexKeyValues* TORVLocalCursor::GetKeyValues(int32_t IndexNumber) {
  const int32_t Number = IndexNumber == -1 ? GetActiveIndex() : IndexNumber;
  if (Number < 0 || Number >= static_cast<int32_t>(FKeyValues.size())) return nullptr;
  return FKeyValues[static_cast<size_t>(Number)].get();
}

void TORVLocalCursor::SetKeyValues(TORVRowValues& RowValues, int32_t IndexNumber) {
  TORVIndexKeyValues* Keys = GetKeyValues(IndexNumber);
  if (Keys == nullptr) return;
  TORVIndex& Index = *Keys->GetOwnerIndex();
  TORVIndexColumns& Columns = *Index.GetIndexColumns();
  for (int32_t Position = 0; Position < Columns.GetCount() && Position < Keys->GetCount(); ++Position)
    Keys->GetItems(Position)->Assign(
        *RowValues.GetItems(Columns.GetIndexColumn(Position)->GetSourceColumn()->GetPosition()));
  Keys->SetRowID(KeyCarriesRowID(Index.GetIndexType()) ? RowValues.GetItems(0)->GetAsInteger() : 0);
}

void TORVLocalCursor::AssignKeyValues(TORVKeyValues& KeyValues, int32_t IndexNumber) {
  TORVIndexKeyValues* Keys = GetKeyValues(IndexNumber);
  if (Keys == nullptr) return;
  for (int32_t Position = 0; Position < Keys->GetCount() && Position < KeyValues.GetCount(); ++Position)
    KeyValues.GetItems(Position)->Assign(*Keys->GetItems(Position));
  KeyValues.SetRowID(KeyCarriesRowID(Keys->GetOwnerIndex()->GetIndexType()) ? Keys->GetRowID() : 0);
}

// ---------------------------------------------------------- positioning

void TORVLocalCursor::RepositionRow(int32_t RowNumber, int32_t Direction, bool& FoundChanges) {
  FRowsetNavigator->GotoNumber(RowNumber, Direction, FoundChanges);
  if (FoundChanges) InternalRefresh(false);
}

void TORVLocalCursor::RepositionActiveRow() {
  const int32_t Number = GetRowNumber();
  RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->GotoNumber(Number, 0, FoundChanges); });
}

void TORVLocalCursor::First() {
  RunOperation(fcFirst, [&] {
    InternalRefresh(false);
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->First(FoundChanges); });
  });
  ValidateFilteredPosition(NavigateForward);
}

void TORVLocalCursor::Last() {
  RunOperation(fcLast, [&] {
    InternalRefresh(false);
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->Last(FoundChanges); });
  });
  ValidateFilteredPosition(NavigateBackward);
}

void TORVLocalCursor::InternalNext() {
  RunOperation(fcNext, [&] {
    if (InternalRefresh(false)) RepositionActiveRow();
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->Next(FoundChanges); });
  });
}

void TORVLocalCursor::InternalPrior() {
  RunOperation(fcPrior, [&] {
    if (InternalRefresh(false)) RepositionActiveRow();
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->Prior(FoundChanges); });
  });
}

void TORVLocalCursor::Next() {
  InternalNext();
  ValidateFilteredPosition(NavigateForward);
}

void TORVLocalCursor::Prior() {
  InternalPrior();
  ValidateFilteredPosition(NavigateBackward);
}

void TORVLocalCursor::SetRowNumber(int32_t Value) {
  RunOperation(fcSetRowNumber, [&] {
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->GotoNumber(Value, NavigateForward, FoundChanges); });
  });
  ValidateFilteredPosition(0);
}

void TORVLocalCursor::SetToSequenceNumber(int32_t Value) {
  RunOperation(fcSetToSequenceNumber, [&] {
    InternalRefresh(false);
    // The loop ends on a settled position; repositioning on it again would
    // lose the EOF that a number beyond the count sets.
    RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->GotoSequenceNumber(Value, FoundChanges); });
  });
  ValidateFilteredPosition(0);
}

void TORVLocalCursor::SetToRowValues(TORVRowValues& Values) {
  RunOperation(0, [&] {
    InternalRefresh(false);
    int32_t Found = 0;
    RetryUntilSettled([&](bool& FoundChanges) {
      FRowsetNavigator->Search(Values, 0, false, FoundChanges);
      Found = FRowsetNavigator->GetRowNumber();
    });
    bool FoundChanges = false;
    RepositionRow(Found, 0, FoundChanges);
  });
  ValidateFilteredPosition(0);
}

bool TORVLocalCursor::Refresh() {
  const bool Result = RunOperation(fcRefresh, [&] {
    const bool TableChanged = FTableManager->CheckForChanges(true);
    if (!TableChanged && !CheckForChanges()) return false;
    InternalRefresh(true);
    RepositionActiveRow();
    return true;
  });
  ValidateFilteredPosition(0);
  return Result;
}

bool TORVLocalCursor::SetToBookmark(TORVKeyValues& /*BookmarkValues*/) {
  ValidateFilteredPosition(0);
  return false;
}

bool TORVLocalCursor::Find(TORVKeyValues& /*Values*/, bool /*NearestMatch*/, bool /*CaseInsensitive*/) {
  ValidateFilteredPosition(0);
  return false;
}

void TORVLocalCursor::SetRange(TORVKeyValues& /*StartValues*/, TORVKeyValues& /*EndValues*/) {
  ValidateFilteredPosition(0);
}

void TORVLocalCursor::CancelRange() { ValidateFilteredPosition(0); }

void TORVLocalCursor::SetSequenceRange(int32_t /*StartSeqNumber*/, int32_t /*EndSeqNumber*/) {
  ValidateFilteredPosition(0);
}

void TORVLocalCursor::CancelSequenceRange() { ValidateFilteredPosition(0); }

void TORVLocalCursor::Copy(TORVCursor& /*DestinationCursor*/) { ValidateFilteredPosition(0); }

bool TORVLocalCursor::Locate(TORVMappedCursorColumns& ColumnsToSearch, TORVValues& ColumnValues,
                             int32_t PartialLength, bool CaseInsensitive) {
  int32_t MovedFrom = 0;
  const bool Found = RunOperation(fcLocate, [&] {
    bool Result = false;
    TORVIndex* Index = GetIndexForColumns(ColumnsToSearch, CaseInsensitive);
    TORVCursorIndexNavigator* Navigator = Index == nullptr ? nullptr : GetIndexNavigator(Index->GetPosition());
    if (Navigator != nullptr) {
      InternalRefresh(false);
      for (bool FoundChanges = true; FoundChanges;) {
        FoundChanges = false;
        Navigator->SetRestrictedKey(ColumnValues, PartialLength, CaseInsensitive);
        int32_t Answer = 1;
        try {
          Answer = Navigator->Search(ColumnValues, PartialLength, CaseInsensitive, FoundChanges);
        } catch (...) {
          Navigator->ClearRestrictedKey();
          throw;
        }
        Navigator->ClearRestrictedKey();
        if (FoundChanges) {
          InternalRefresh(false);
          continue;
        }
        Result = Answer == 0;
        RepositionRow(Navigator->GetRowNumber(), 0, FoundChanges);
      }
    } else {
      InternalRefresh(false);
      RetryUntilSettled([&](bool& FoundChanges) { FRowsetNavigator->First(FoundChanges); });
      while (GetRowNumber() != 0) {
        ValidatePosition();
        if (ValidateRowValues(ColumnsToSearch, ColumnValues, PartialLength, CaseInsensitive)) {
          Result = true;
          break;
        }
        bool Moved = false;
        RetryUntilSettled([&](bool& FoundChanges) { Moved = FRowsetNavigator->Next(FoundChanges); });
        if (!Moved) break;
      }
    }
    RepositionActiveRow();
    MovedFrom = GetRowNumber();
    return Result;
  });
  if (Found) {
    ValidateFilteredPosition(0);
    return ValidateRowValues(ColumnsToSearch, ColumnValues, PartialLength, CaseInsensitive);
  }
  ValidateFilteredPosition(0);
  if (GetRowNumber() != MovedFrom) return ValidateRowValues(ColumnsToSearch, ColumnValues, PartialLength, CaseInsensitive);
  return false;
}

// -------------------------------------------------------------- reading

void TORVLocalCursor::InternalGetCurrentRow(TORVCursorRow& Row) {
  CheckNotReset();
  TORVRowsetRow& Current = FRowsetNavigator->GetRow();
  if (Current.GetNumber() == 0) {
    Row.Initialize();
    Row.SetNumber(0);
    Row.SetStatus(0);
    Row.SetVersion(0);
    Row.SetUpdateCounter(0);
    Row.SetInternalCounter(0);
  } else {
    Row.SetNumber(Current.GetNumber());
    Row.SetStatus(Current.GetStatus());
    Row.SetVersion(Current.GetVersion());
    Row.SetUpdateCounter(Current.GetUpdateCounter());
    Row.SetInternalCounter(Current.GetInternalCounter());
    Row.GetValues()->Assign(FRowsetNavigator->GetRowValues());
  }
  PrepareRow(Row);
}

void TORVLocalCursor::PrepareRow(TORVCursorRow& Row) {
  if (Row.GetNumber() == 0) return;
  bool Generated = false;
  for (int32_t Index = 0; !Generated && Index < FColumns->GetCount(); ++Index)
    Generated = FColumns->GetColumn(Index)->GetGenerated() && FColumns->GetColumn(Index)->GetID() < 0;
  if (Generated) SetGeneratedRowValues(*Row.GetValues());
}

void TORVLocalCursor::SetGeneratedRowValues(TORVRowValues& RowValues) {
  for (int32_t Index = 0; Index < FColumns->GetCount(); ++Index) {
    TORVColumn* Column = FColumns->GetColumn(Index);
    if (!Column->GetGenerated() || Column->GetID() >= 0) continue;
    TORVValue& Value = *RowValues.GetItems(Index);
    try {
      FDatabaseManager->EvaluateRow(RowValues, Column->GetGenerateExpr()->FTokens, Value);
    } catch (const EORVException&) {
      // A failing generation leaves the column NULL; the row still reads.
      Value.Clear();
    }
  }
}

void TORVLocalCursor::GetCurrentRow(TORVCursorRow& CurrentRow, bool LockIt) {
  RunOperation(fcGetCurrentRow, [&] {
    InternalGetCurrentRow(CurrentRow);
    if (!LockIt) return;
    if (FTableManager->GetSessionManager().GetRowLockProtocol() == rpPessimistic)
      InternalLockRow(CurrentRow, false);
    else
      RefreshRow(CurrentRow, true, false);
    if (InternalRefresh(false)) RepositionActiveRow();
    CheckRowVisibility(CurrentRow);
  });
  if (LockIt)
    ValidatePosition();
  else
    ValidateFilteredPosition(0);
}

void TORVLocalCursor::RefreshRow(TORVCursorRow& RowToRefresh, bool SkipRowModifiedCheck,
                                 bool ForceRowModifiedCheck) {
  FTableManager->Refresh(RowToRefresh.GetNumber(), RowToRefresh.GetVersion(), RowToRefresh.GetUpdateCounter(),
                         RowToRefresh.GetValues()->GetItems(0)->GetAsInteger(), SkipRowModifiedCheck,
                         ForceRowModifiedCheck);
}

void TORVLocalCursor::CheckRowVisibility(TORVCursorRow& Row) {
  const int32_t Kept = Row.GetNumber();
  InternalGetCurrentRow(Row);
  if (Kept != Row.GetNumber()) FEditLocks.ClearBit(Kept, false);
  FTableManager->CheckLockVisibility(Kept, Row.GetNumber());
}

void TORVLocalCursor::InitializeRow(TORVCursorRow& NewRow) {
  RunOperation(fcInitializeRow, [&] {
    TORVCursor::InitializeRow(NewRow);
    FTableManager->SetDefaults(*NewRow.GetValues());
  });
}

void TORVLocalCursor::ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                                     bool Decompress) {
  RunOperation(fcReadBlob, [&] { FTableManager->ReadBlobStream(RowVersion, BlockNumber, BlobStream, Decompress); });
}

void TORVLocalCursor::WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                      int32_t BlobCompression, int32_t& CompressedSize) {
  RunOperation(fcWriteBlob, [&] {
    FTableManager->WriteBlobStream(RowVersion, BlockNumber, BlobStream, BlobCompression, CompressedSize);
  });
}

void TORVLocalCursor::Evaluate(TORVExprToken* Tokens, TORVRowValues& RowValues, TORVValue& Value) {
  FDatabaseManager->EvaluateRow(RowValues, Tokens, Value);
}

TORVString TORVLocalCursor::GetCollationName(int32_t ID) {
  return FDatabaseManager->GetSessionManager().GetCollationName(ID);
}

// ------------------------------------------------------------ row locks

void TORVLocalCursor::InternalLockRow(TORVCursorRow& Row, bool Keep) {
  const int32_t Number = Row.GetNumber();
  if (FRowLocks->Find(Number)) return;
  const bool Took = FTableManager->LockAndRefresh(this, Number, Row.GetVersion(), Row.GetUpdateCounter(),
                                                  Row.GetValues()->GetItems(0)->GetAsInteger(), false, false, !Keep);
  if (Keep) {
    // An edit lock on the row becomes the explicit lock.
    FEditLocks.ClearBit(Number, false);
    FRowLocks->Add(this, Number, false);
  } else if (Took) {
    FEditLocks.SetBit(Number);
  }
}

void TORVLocalCursor::InternalUnlockRow(TORVCursorRow& Row, bool Explicit) {
  const int32_t Number = Row.GetNumber();
  if (Explicit) {
    if (!FRowLocks->Find(Number)) return;
    FRowLocks->Remove(Number);
    FTableManager->Unlock(Number);
    return;
  }
  // An explicit lock outlives the edit.
  if (FRowLocks->Find(Number) || !FEditLocks.BitSet(Number)) return;
  FEditLocks.ClearBit(Number, false);
  FTableManager->Unlock(Number);
}

void TORVLocalCursor::LockRow(TORVCursorRow& RowToLock, int32_t /*RetryCount*/, int32_t /*WaitTime*/) {
  RunOperation(fcLockRow, [&] { InternalLockRow(RowToLock, true); });
}

void TORVLocalCursor::UnlockRow(TORVCursorRow& RowToUnlock) {
  RunOperation(fcUnlockRow, [&] { InternalUnlockRow(RowToUnlock, true); });
}

void TORVLocalCursor::UnlockAllRows() {
  RunOperation(fcUnlockAllRows, [&] {
    std::exception_ptr First;
    auto Attempt = [&](auto Step) {
      try {
        Step();
      } catch (...) {
        if (!First) First = std::current_exception();
      }
    };
    for (int32_t Number = 0; FRowLocks->FindNext(Number);) {
      FRowLocks->Remove(Number);
      Attempt([&] { FTableManager->Unlock(Number); });
    }
    for (int32_t Number = 0; FEditLocks.NextBitSet(Number) && Number <= FEditLocks.GetBitCount();)
      FEditLocks.ClearBit(Number, false);
    Attempt([&] { FTableManager->UnlockAll(this); });
    if (First) std::rethrow_exception(First);
  });
}

// -------------------------------------------------------------- editing

void TORVLocalCursor::CheckConstrained(TORVRowValues& RowValues) {
  if (FConstrained && !CheckRow(RowValues)) ConstrainedError();
}

bool TORVLocalCursor::Insert(TORVCursorRow& NewRow) {
  const bool Result = RunOperation(fcInsert, [&] { return RepositionedOnFailure([&] {
    CheckUpdateable();
    TORVCursorRowValues& Values = *NewRow.GetValues();
    CheckConstrained(Values);
    int32_t Number = 0;
    int32_t Version = 0;
    int32_t Counter = 0;
    if (!FTableManager->Insert(Values, Number, Version, Counter, false)) return false;
    FUpdateCounter = FTableManager->GetUpdateCounter();
    NewRow.SetNumber(Number);
    NewRow.SetStatus(TORVRowsetRow::StatusLive);
    NewRow.SetVersion(Version);
    NewRow.SetUpdateCounter(Counter);
    ValidateRow(Number, TORVRowsetRow::StatusLive, Values);
    bool FoundChanges = false;
    RepositionRow(Number, 0, FoundChanges);
    if (FoundChanges) RepositionActiveRow();
    return true;
  }); });
  ValidateFilteredPosition(0);
  return Result;
}

bool TORVLocalCursor::Update(TORVCursorRow& ExistingRow) {
  const bool Result = RunOperation(fcUpdate, [&] { return RepositionedOnFailure([&] {
    CheckUpdateable();
    TORVCursorRowValues& Values = *ExistingRow.GetValues();
    CheckConstrained(Values);
    int32_t Counter = ExistingRow.GetUpdateCounter();
    bool Updated = false;
    try {
      Updated = FTableManager->Update(this, Values, ExistingRow.GetNumber(), ExistingRow.GetVersion(), Counter);
    } catch (...) {
      if (FTableManager->GetSessionManager().GetRowLockProtocol() == rpPessimistic)
        UndoAfterFailure([&] { InternalUnlockRow(ExistingRow, false); });
      throw;
    }
    if (FTableManager->GetSessionManager().GetRowLockProtocol() == rpPessimistic)
      InternalUnlockRow(ExistingRow, false);
    if (!Updated) return false;
    FUpdateCounter = FTableManager->GetUpdateCounter();
    ExistingRow.SetUpdateCounter(Counter);
    ValidateRow(ExistingRow.GetNumber(), ExistingRow.GetStatus(), Values);
    RepositionActiveRow();
    return true;
  }); });
  ValidateFilteredPosition(0);
  return Result;
}

bool TORVLocalCursor::Delete(TORVCursorRow& ExistingRow) {
  const bool Result = RunOperation(fcDelete, [&] { return RepositionedOnFailure([&] {
    CheckUpdateable();
    TORVCursorRowValues& Values = *ExistingRow.GetValues();
    int32_t Counter = ExistingRow.GetUpdateCounter();
    bool Deleted = false;
    // The row's locks end with the delete, also when it fails: the
    // explicit one and an edit lock this cursor took for it.
    auto ReleaseLocks = [&] {
      InternalUnlockRow(ExistingRow, true);
      InternalUnlockRow(ExistingRow, false);
    };
    try {
      Deleted = FTableManager->Delete(this, Values, ExistingRow.GetNumber(), ExistingRow.GetVersion(), Counter);
    } catch (...) {
      UndoAfterFailure(ReleaseLocks);
      throw;
    }
    ReleaseLocks();
    if (!Deleted) return false;
    FUpdateCounter = FTableManager->GetUpdateCounter();
    ExistingRow.SetStatus(TORVRowsetRow::StatusDeleted);
    ExistingRow.SetUpdateCounter(Counter);
    ValidateRow(ExistingRow.GetNumber(), TORVRowsetRow::StatusDeleted, Values);
    RepositionActiveRow();
    return true;
  }); });
  ValidateFilteredPosition(0);
  return Result;
}

void TORVLocalCursor::Cancel(TORVCursorRow& ExistingRow) {
  RunOperation(fcCancel, [&] {
    if (FTableManager->GetSessionManager().GetRowLockProtocol() == rpPessimistic)
      InternalUnlockRow(ExistingRow, false);
    ExistingRow.GetValues()->SetModified(false);
  });
}

void TORVLocalCursor::Flush() {
  RunOperation(fcFlush, [&] { FTableManager->Flush(); });
}

void TORVLocalCursor::Empty(bool IgnoreConstraints) {
  RunOperation(fcEmpty, [&] {
    CheckUpdateable();
    FTableManager->Empty(IgnoreConstraints);
    FUpdateCounter = FTableManager->GetUpdateCounter();
    ValidateRow(0, TORVRowsetRow::StatusDeleted, FRowsetNavigator->GetRowValues());
    RepositionActiveRow();
  });
  ValidateFilteredPosition(0);
}

void TORVLocalCursor::BeginUpdate() {
  RunOperation(0, [&] {
    CheckUpdateable();
    FTableManager->BeginBatchUpdate();
    InternalRefresh(false);
  });
}

void TORVLocalCursor::FlushUpdate() { FTableManager->FlushBatchUpdate(); }

void TORVLocalCursor::EndUpdate() { FTableManager->EndBatchUpdate(); }

void TORVLocalCursor::AbortUpdate() {
  RunOperation(0, [&] {
    FTableManager->AbortBatchUpdate();
    InternalRefresh(false);
  });
}

// ----------------------------------------------------- errors and views

void TORVLocalCursor::ViewNestingError(const TORVString& ViewName) {
  RaiseError(ORV_VIEW_ERROR,
             {ViewName, FormatString(ORV_VIEW_NESTING_DETAIL, {IntToString(MaxViewManagers)})});
}

void TORVLocalCursor::ConstrainedError() { RaiseError(ORV_CONSTRAINED_CURSOR_ERROR, {}); }

void TORVLocalCursor::LocateError(const TORVString& Message) { RaiseError(ORV_LOCATE_ERROR, {Message}); }

void TORVLocalCursor::AddViewManager(TORVViewManager* ViewManager) {
  if (ViewManager == nullptr) return;
  if (FNumViewManagers >= MaxViewManagers) ViewNestingError(ViewManager->GetView()->GetName());
  FViewManagers[static_cast<size_t>(FNumViewManagers++)] = ViewManager;
}

void TORVLocalCursor::CloseViewManagers() {
  std::exception_ptr First;
  for (int32_t Index = 0; Index < FNumViewManagers; ++Index) {
    try {
      FViewManagers[static_cast<size_t>(Index)]->Close(false, true, true);
    } catch (...) {
      if (!First) First = std::current_exception();
    }
    FViewManagers[static_cast<size_t>(Index)] = nullptr;
  }
  FNumViewManagers = 0;
  if (First) std::rethrow_exception(First);
}

// ---------------------------------------------------------------- reset

void TORVLocalCursor::Reset() {
  if (FReset || FResetting) return;
  FResetting = true;
  std::exception_ptr First;
  auto Step = [&](auto Body) {
    try {
      Body();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  };
  Step([&] {
    if (FTableManager != nullptr) UnlockAllRows();
  });
  Step([&] {
    FFilterBitmap.ClearBits();
    FFilterBitmap.SetBitCount(0);
    FActiveFilters = false;
    FFilterRowCount = 0;
  });
  FIndexNavigators.clear();
  for (auto& Keys : FKeyValues) Keys->Clear();
  FKeyValues.clear();
  FRowsetNavigator.reset();
  Step([&] { CloseViewManagers(); });
  Step([&] {
    if (FTableManager != nullptr) FTableManager->Close(false, true, true);
  });
  FTableManager = nullptr;
  FReset = true;
  FResetting = false;
  if (First) std::rethrow_exception(First);
}

// ------------------------------------------- operations built elsewhere

int32_t TORVLocalCursor::CreateFilter(const TORVString& /*FilterExpression*/, bool /*CaseInsensitiveMatch*/,
                                      bool /*NoPartialMatch*/, bool /*OptimizationCosts*/) {
  MissingOperationError(u"CreateFilter");
}

void TORVLocalCursor::DropFilter(int32_t /*FilterHandle*/) { MissingOperationError(u"DropFilter"); }

void TORVLocalCursor::ActivateFilter(int32_t /*FilterHandle*/) { MissingOperationError(u"ActivateFilter"); }

void TORVLocalCursor::DeactivateFilter(int32_t /*FilterHandle*/) { MissingOperationError(u"DeactivateFilter"); }

void TORVLocalCursor::LoadFromStream(TORVStream& /*SourceStream*/, int32_t /*BytesToLoad*/) {
  CheckUpdateable();
  MissingOperationError(u"LoadFromStream");
}

void TORVLocalCursor::SaveToStream(TORVStream& /*DestinationStream*/, bool /*WriteSize*/) {
  MissingOperationError(u"SaveToStream");
}

void TORVLocalCursor::Import(const TORVString&, const TORVString&, const std::vector<TORVString>&, int32_t, int32_t,
                             char16_t, char16_t, const TORVString&, const TORVString&, const TORVString&,
                             const TORVString&, char16_t, const TORVString&, const TORVString&, bool, int32_t) {
  CheckUpdateable();
  MissingOperationError(u"Import");
}

void TORVLocalCursor::Export(const TORVString&, const TORVString&, const std::vector<TORVString>&, int32_t, int32_t,
                             char16_t, char16_t, const TORVString&, const TORVString&, const TORVString&,
                             const TORVString&, char16_t, const TORVString&, const TORVString&, bool, int32_t) {
  MissingOperationError(u"Export");
}

std::unique_ptr<TORVCursor> TORVLocalCursor::StartCachedUpdates() { MissingOperationError(u"StartCachedUpdates"); }

void TORVLocalCursor::ApplyCachedUpdates(TORVApplyUpdatesOptions /*ApplyOptions*/) {
  MissingOperationError(u"ApplyCachedUpdates");
}

void TORVLocalCursor::CancelCachedUpdates() { MissingOperationError(u"CancelCachedUpdates"); }

void TORVLocalCursor::LoadCachedUpdates(TORVStream& /*SourceStream*/, int32_t /*UpdatesSize*/,
                                        int32_t /*LoadOptions*/) {
  MissingOperationError(u"LoadCachedUpdates");
}

}  // namespace orv
