// The cursor a local session opens over one table manager (a base table, a
// view or a query's result table): rows in physical order through a filter
// bitmap, change detection against other sessions, row locks by the
// session's protocol, editing, and the failure log of every operation.
//
// Design notes:
// 1. The rowset navigator's current row is the cursor's row. Every
//    positioning step runs in a refresh-and-retry loop: when the storage
//    layer reports that another session changed the files while it read,
//    the cursor refreshes (InternalRefresh) and runs the step again. The
//    loop has no round limit: a refresh re-reads the headers under the
//    table's read lock, so the next round sees a settled file.
// 2. Every operation that reads rows ends by giving back the table's read
//    lock, normally or by an exception; RunOperation is the one place that
//    does so, and it also hands a failure to the session's log under the
//    operation's function code.
// 3. The filter bitmap counts only while filters are in effect (an active
//    filter or a static cursor). A static cursor marks every slot it saw
//    when it turned static, deleted slots included, so the bitmap walk
//    passes over slots that read as deleted.
// 4. Row locks: explicit locks (LockRow) are recorded in FRowLocks and live
//    until UnlockRow or UnlockAllRows; the edit lock of the pessimistic
//    protocol (GetCurrentRow with LockIt) is recorded in FEditLocks and
//    ends with Update, Delete or Cancel. An explicit lock is never released
//    by the end of an edit.
// 5. Reset runs once and runs every step even when one fails, raising the
//    first failure at the end: a cursor never leaves its table manager open,
//    its row locks held or its navigators allocated.
// 6. A cursor of a database manager is registered in two handle tables, the
//    session's and the database's, under one handle: the session's table
//    gives it out, and as every cursor of the session's databases takes its
//    handle there, the same slot of the database's table is free. The
//    database's table owns the cursor (closing the database frees it); the
//    session's only names it for remote requests. Destroy and the
//    destructor take it out of both before anything else.
//
// A cursor belongs to one session and is used by one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcursor.h"
#include "core/orvbitmap.h"
#include "core/orvlocktype.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvvirtualtablemgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"

namespace orv {

class TORVLocalCursor;
class TORVVirtualTable;
class TORVViewManager;

// Physical order restricted to the cursor's valid rows; with filters in
// effect the walk visits only the rows whose bits are set.
class TORVCursorRowsetNavigator : public TORVRowsetNavigator {
 public:
  TORVCursorRowsetNavigator(TORVLocalCursor* OwnerCursor, TORVRowsetManager* RowsetManager);

  int32_t GetRowCount() override;
  // The storage check (a deleted slot is never valid), then the cursor's.
  bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) override;
  int32_t GetReadAhead(int32_t StartingRowNumber, int32_t Direction, int32_t MaxReadAhead) override;
  int32_t Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive, bool& FoundChanges) override;
  // A number below 1 leaves no row (BOF and EOF True, False); otherwise
  // the nearest valid row from NewNumber, forward first for direction 0.
  bool GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) override;
  // The NewSequenceNumber-th valid row in physical order; below 1 the
  // first, beyond the count the last with EOF True.
  void GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) override;
  bool First(bool& FoundChanges) override;
  bool Next(bool& FoundChanges) override;
  bool Prior(bool& FoundChanges) override;
  bool Last(bool& FoundChanges) override;

  TORVLocalCursor* GetCursor() const { return FCursor; }

 private:
  bool FilterWalk() const;
  // No current row, BOF and EOF True; False.
  bool NoRow();
  bool Stand(bool AtBOF, bool AtEOF, bool Result);
  // The live row of set bit Number becomes current; False when the slot
  // reads as deleted or FoundChanges.
  bool ReadBitRow(int32_t Number, int32_t Direction, bool& FoundChanges);
  // The first set bit from Start upward (downward) whose row is live; 0
  // when none.
  int32_t SeekBit(int32_t Start, bool Forward, bool& FoundChanges);
  int32_t BitLimit() const;

  TORVLocalCursor* FCursor;
  TORVRowsetManager* FRowsets;
};

// Key order of one index, bounded by the cursor's range and by a
// restricted key while Locate searches.
class TORVCursorIndexNavigator : public TORVIndexNavigator {
 public:
  TORVCursorIndexNavigator(TORVLocalCursor* OwnerCursor, int32_t Number, TORVIndexManager* IndexManager);
  ~TORVCursorIndexNavigator() override;

  int32_t GetRowCount() override;
  bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) override;
  bool GetRangeInEffect() override;
  TORVKeyValues* GetRangeStartKeyValues() override;
  TORVKeyValues* GetRangeEndKeyValues() override;
  int32_t CheckRange(TORVValues& KeyValues) override;
  bool GetRestrictedKey() override { return FRestrictedKey; }
  int32_t CheckRestrictedKey(TORVValues& KeyValues) override;

  void SetRestrictedKey(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive);
  void ClearRestrictedKey();

 private:
  TORVLocalCursor* FCursor;
  bool FRestrictedKey = false;
  int32_t FRestrictedPartialLength = 0;
  bool FRestrictedCaseInsensitive = false;
  std::unique_ptr<TORVContainedIndexKeyValues> FRestrictedKeyValues;
};

class TORVLocalCursor : public TORVCursor {
 public:
  // Views inside views: at most this many view managers per cursor.
  static constexpr int32_t MaxViewManagers = 6;

  // The function codes under which failures are logged.
  static constexpr int32_t fcRefresh = 180;
  static constexpr int32_t fcFlush = 181;
  static constexpr int32_t fcCopy = 182;
  static constexpr int32_t fcEmpty = 183;
  static constexpr int32_t fcFree = 184;
  static constexpr int32_t fcReadBlob = 190;
  static constexpr int32_t fcWriteBlob = 191;
  static constexpr int32_t fcFirst = 210;
  static constexpr int32_t fcLast = 211;
  static constexpr int32_t fcNext = 212;
  static constexpr int32_t fcPrior = 213;
  static constexpr int32_t fcSetToSequenceNumber = 214;
  static constexpr int32_t fcSetRowNumber = 215;
  static constexpr int32_t fcLocate = 218;
  static constexpr int32_t fcLockRow = 230;
  static constexpr int32_t fcUnlockRow = 231;
  static constexpr int32_t fcUnlockAllRows = 232;
  static constexpr int32_t fcInitializeRow = 233;
  static constexpr int32_t fcGetCurrentRow = 234;
  static constexpr int32_t fcInsert = 235;
  static constexpr int32_t fcUpdate = 236;
  static constexpr int32_t fcDelete = 237;
  static constexpr int32_t fcCancel = 238;
  static constexpr int32_t fcStartCachedUpdates = 242;
  static constexpr int32_t fcApplyCachedUpdates = 243;
  static constexpr int32_t fcCancelCachedUpdates = 244;

  // The cursor takes over one use of TableManagerToUse, which the caller
  // opened for it: Reset closes it.
  TORVLocalCursor(TORVVirtualTableManager* TableManagerToUse, const TORVString& CursorName, bool OpenReadOnly,
                  bool OpenExclusive);
  // Unregisters and resets a cursor not yet reset; a failure is logged,
  // never raised.
  ~TORVLocalCursor() override;

  // How the owner frees the cursor: unregistered, then Reset, a failure
  // logged under "Free Cursor" and raised.
  void Destroy();

  bool GetRangeInEffect() override { return false; }
  TORVKeyValues* GetRangeStartValues() override { return nullptr; }
  TORVKeyValues* GetRangeEndValues() override { return nullptr; }
  bool GetBOF() override;
  bool GetEOF() override;
  bool GetFiltersInEffect() override { return FStatic || FActiveFilters; }
  double GetFilterExecutionTime() override { return FUserFilterExecutionTime; }
  // A physical row number; 0 without a row.
  int32_t GetRowNumber() override;
  void SetRowNumber(int32_t Value) override;
  int32_t GetRowCount() override;
  int32_t GetTotalRowCount() override;
  void InternalGetCurrentRow(TORVCursorRow& Row) override;
  void InternalNext() override;
  void InternalPrior() override;
  void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                      bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  void Evaluate(TORVExprToken* Tokens, TORVRowValues& RowValues, TORVValue& Value) override;
  TORVString GetCollationName(int32_t ID) override;
  void First() override;
  void Next() override;
  void Prior() override;
  void Last() override;
  bool Refresh() override;
  void LockRow(TORVCursorRow& RowToLock, int32_t RetryCount, int32_t WaitTime) override;
  void UnlockRow(TORVCursorRow& RowToUnlock) override;
  // Every recorded row and then the table manager's locks of this cursor
  // are tried before the first failure is raised.
  void UnlockAllRows() override;
  void InitializeRow(TORVCursorRow& NewRow) override;
  void GetCurrentRow(TORVCursorRow& CurrentRow, bool LockIt) override;
  bool Insert(TORVCursorRow& NewRow) override;
  bool Update(TORVCursorRow& ExistingRow) override;
  bool Delete(TORVCursorRow& ExistingRow) override;
  void Cancel(TORVCursorRow& ExistingRow) override;
  void Flush() override;
  bool SetToBookmark(TORVKeyValues& BookmarkValues) override;
  void SetToSequenceNumber(int32_t Value) override;
  void SetToRowValues(TORVRowValues& Values) override;
  bool Locate(TORVMappedCursorColumns& ColumnsToSearch, TORVValues& ColumnValues, int32_t PartialLength,
              bool CaseInsensitive) override;
  bool Find(TORVKeyValues& Values, bool NearestMatch, bool CaseInsensitive) override;
  void SetRange(TORVKeyValues& StartValues, TORVKeyValues& EndValues) override;
  void CancelRange() override;
  void SetSequenceRange(int32_t StartSeqNumber, int32_t EndSeqNumber) override;
  void CancelSequenceRange() override;
  int32_t CreateFilter(const TORVString& FilterExpression, bool CaseInsensitiveMatch, bool NoPartialMatch,
                       bool OptimizationCosts) override;
  void DropFilter(int32_t FilterHandle) override;
  void ActivateFilter(int32_t FilterHandle) override;
  void DeactivateFilter(int32_t FilterHandle) override;
  void LoadFromStream(TORVStream& SourceStream, int32_t BytesToLoad) override;
  void SaveToStream(TORVStream& DestinationStream, bool WriteSize) override;
  void Import(const TORVString& ImportFile, const TORVString& StoreName,
              const std::vector<TORVString>& ColumnsToImport, int32_t Format, int32_t Encoding,
              char16_t DelimiterChar, char16_t QuoteChar, const TORVString& DateFormatStr,
              const TORVString& TimeFormatStr, const TORVString& AMStr, const TORVString& PMStr,
              char16_t DecimalChar, const TORVString& TrueStr, const TORVString& FalseStr, bool UseHeaders,
              int32_t MaxRows) override;
  void Export(const TORVString& ExportFile, const TORVString& StoreName,
              const std::vector<TORVString>& ColumnsToExport, int32_t Format, int32_t Encoding,
              char16_t DelimiterChar, char16_t QuoteChar, const TORVString& DateFormatStr,
              const TORVString& TimeFormatStr, const TORVString& AMStr, const TORVString& PMStr,
              char16_t DecimalChar, const TORVString& TrueStr, const TORVString& FalseStr, bool IncludeHeaders,
              int32_t MaxRows) override;
  void Copy(TORVCursor& DestinationCursor) override;
  void Empty(bool IgnoreConstraints) override;
  std::unique_ptr<TORVCursor> StartCachedUpdates() override;
  void ApplyCachedUpdates(TORVApplyUpdatesOptions ApplyOptions) override;
  void CancelCachedUpdates() override;

  // With filters in effect, whether RowNumber's bit is set (False beyond
  // the bitmap); always True without.
  virtual bool RowValid(int32_t RowNumber);
  // Whether RowValues pass the filters of every layer; True without any.
  virtual bool CheckRow(TORVRowValues& RowValues);
  // Whether the cursor's rows may have changed since the filters were
  // last brought up to date.
  virtual bool CheckForChanges();
  // Generated columns of a read row.
  virtual void PrepareRow(TORVCursorRow& Row);
  // The rowset navigator stands again on the current row number, or on
  // the nearest valid row after it, else before it.
  virtual void RepositionActiveRow();
  virtual void RepositionRow(int32_t RowNumber, int32_t Direction, bool& FoundChanges);
  virtual int32_t GetReadAhead(int32_t StartingRowNumber, int32_t Direction, int32_t MaxReadAhead);
  // The filter bitmap and FFilterRowCount from the active filters of every
  // layer.
  virtual void BuildFilter();
  // Every filter re-evaluated against the table, then BuildFilter.
  virtual void RefreshFilters();
  [[noreturn]] virtual void ViewNestingError(const TORVString& ViewName);
  [[noreturn]] virtual void ConstrainedError();
  [[noreturn]] virtual void LocateError(const TORVString& Message);
  // Once: later calls do nothing. Every step runs; the first failure is
  // raised at the end.
  void Reset() override;
  bool GetReadsThroughViews() override { return FNumViewManagers > 0; }
  // Ranges exist only in key order.
  virtual bool CheckRangeFilter() { return false; }
  virtual void LoadCachedUpdates(TORVStream& SourceStream, int32_t UpdatesSize, int32_t LoadOptions);

  // True when the filters were rebuilt; never for a static cursor.
  bool InternalRefresh(bool Force);
  // Keep: an explicit lock recorded in the cursor's list; otherwise the
  // edit lock of the pessimistic protocol, kept by the table manager until
  // a transaction ends.
  void InternalLockRow(TORVCursorRow& Row, bool Keep);
  void InternalUnlockRow(TORVCursorRow& Row, bool Explicit);
  void RefreshRow(TORVCursorRow& RowToRefresh, bool SkipRowModifiedCheck, bool ForceRowModifiedCheck);
  void CheckRowVisibility(TORVCursorRow& Row);
  void SetGeneratedRowValues(TORVRowValues& RowValues);
  // Refuses (1009) a row that fails the filters of a constrained cursor.
  void CheckConstrained(TORVRowValues& RowValues);
  // The filter bits of an edited row; nothing for a static cursor.
  void ValidateRow(int32_t RowNumber, uint8_t Status, TORVRowValues& RowValues);
  int32_t NewFilterLayer();

  // The key buffer of index IndexNumber (-1: the active index); nil
  // without such an index.
  TORVIndexKeyValues* GetKeyValues(int32_t IndexNumber);
  // The buffer takes RowValues' values of the index columns, in index
  // order, and the row ID (column 0) for a plain, foreign-key or unique
  // index; 0 for a primary key or a text index.
  void SetKeyValues(TORVRowValues& RowValues, int32_t IndexNumber);
  // KeyValues take the buffer's values and the row ID by the same rule.
  void AssignKeyValues(TORVKeyValues& KeyValues, int32_t IndexNumber);

  // Batches of edits; the read-only check comes first.
  void BeginUpdate();
  void FlushUpdate();
  void EndUpdate();
  void AbortUpdate();

  // Nothing for none; 902 for one more than MaxViewManagers.
  void AddViewManager(TORVViewManager* ViewManager);
  void CloseViewManagers();
  // The view of the last view manager, or the cursor's own table.
  TORVVirtualTable* GetControllerTable() const;
  TORVVirtualTable* GetTable() const;
  TORVVirtualTableManager* GetTableManager() const { return FTableManager; }
  TORVSchemaObjectOwner* GetDatabaseManager() const { return FDatabaseManager; }
  int32_t GetNumViewManagers() const { return FNumViewManagers; }

  bool GetStatic() const { return FStatic; }
  // On while no filter is active: every slot of the table is marked.
  void SetStatic(bool Value);
  bool GetConstrained() const { return FConstrained; }
  void SetConstrained(bool Value) { FConstrained = Value; }
  bool GetActiveFilters() const { return FActiveFilters; }
  const TORVSparseBitmap& GetFilterBitmap() const { return FFilterBitmap; }
  int32_t GetFilterRowCount() const { return FFilterRowCount; }
  int32_t GetFilterLayer() const { return FFilterLayer; }
  int32_t GetUpdateCounter() const { return FUpdateCounter; }
  bool GetIsReset() const { return FReset; }
  bool GetSynchronized() const { return FSynchronized; }
  void SetSynchronized(bool Value) { FSynchronized = Value; }
  TORVCursorRowsetNavigator* GetRowsetNavigator() const { return FRowsetNavigator.get(); }
  // nil after Reset or outside the index list.
  TORVCursorIndexNavigator* GetIndexNavigator(int32_t IndexNumber) const;

 protected:
  // Runs Body as one cursor operation: a failure goes to the session's log
  // under FunctionCode (none for 0) and passes on, and the table's read
  // lock is given back however Body ends.
  template <typename TBody>
  auto RunOperation(int32_t FunctionCode, TBody Body) -> decltype(Body());
  // Step(FoundChanges) until a round finds no change, refreshing between
  // rounds.
  template <typename TStep>
  void RetryUntilSettled(TStep Step);
  // Change's answer; when it fails the cursor is repositioned before the
  // failure passes on.
  template <typename TChange>
  bool RepositionedOnFailure(TChange Change);
  void CheckNotReset() const;
  // Registration in the session's and the database's cursor tables; none
  // when the table manager's owner is no database manager.
  void Register();
  void Unregister() noexcept;
  void LogFailure(const std::exception& Exception, int32_t FunctionCode);
  [[noreturn]] void MissingOperationError(const TORVString& Operation);

  TORVSchemaObjectOwner* FDatabaseManager;
  TORVVirtualTableManager* FTableManager;
  int32_t FFilterLayer = 0;
  int32_t FFilterRowCount = 0;
  TORVSparseBitmap FFilterBitmap;
  bool FActiveFilters = false;
  double FUserFilterExecutionTime = 0;
  std::unique_ptr<TORVCursorRowsetNavigator> FRowsetNavigator;
  std::vector<std::unique_ptr<TORVCursorIndexNavigator>> FIndexNavigators;
  // One key buffer per index, by index number.
  std::vector<std::unique_ptr<TORVContainedIndexKeyValues>> FKeyValues;
  int32_t FUpdateCounter = 0;
  int32_t FNumViewManagers = 0;
  std::array<TORVViewManager*, MaxViewManagers> FViewManagers{};
  bool FConstrained = false;
  bool FStatic = false;
  bool FReset = false;
  bool FResetting = false;
  bool FSynchronized = false;
  bool FRegistered = false;
  // Rows under the pessimistic edit lock this cursor took.
  TORVSparseBitmap FEditLocks;
};

template <typename TBody>
auto TORVLocalCursor::RunOperation(int32_t FunctionCode, TBody Body) -> decltype(Body()) {
  CheckNotReset();
  try {
    if constexpr (std::is_void_v<decltype(Body())>) {
      Body();
      FTableManager->UnlockObject(ltRead);
    } else {
      auto Result = Body();
      FTableManager->UnlockObject(ltRead);
      return Result;
    }
  } catch (const std::exception& Exception) {
    FTableManager->UnlockAfterFailure(ltRead);
    LogFailure(Exception, FunctionCode);
    throw;
  }
}

template <typename TStep>
void TORVLocalCursor::RetryUntilSettled(TStep Step) {
  for (bool FoundChanges = true; FoundChanges;) {
    FoundChanges = false;
    Step(FoundChanges);
    if (FoundChanges) InternalRefresh(false);
  }
}

template <typename TChange>
bool TORVLocalCursor::RepositionedOnFailure(TChange Change) {
  try {
    return Change();
  } catch (...) {
    // A failed write may leave the current slot deleted or reread: the
    // cursor stands where a fresh cursor would.
    UndoAfterFailure([&] {
      InternalRefresh(false);
      RepositionActiveRow();
    });
    throw;
  }
}

}  // namespace orv
