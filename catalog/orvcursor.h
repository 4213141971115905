// The interface of an open table or query result as sessions and clients
// see it. The local cursor implements it over table and result files, the
// remote cursor by requests to a server; this class keeps the descriptions
// both share (columns, indexes, bookmark columns), the row locks and the
// filter-row handler, and implements what both do alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"

namespace orv {

class TORVBookmarkColumns;
class TORVColumns;
class TORVCursorColumns;
class TORVCursorIndexes;
class TORVCursorRow;
class TORVExprToken;
class TORVIndex;
class TORVKeyValues;
class TORVMappedColumns;
class TORVMappedCursorColumns;
class TORVMemoryStream;
class TORVRowLocks;
class TORVRowValues;
class TORVStream;
class TORVValue;
class TORVValues;

// Called for rows while filtering; Accept starts True, so a handler that
// leaves it alone accepts the row.
using TORVFilterRowEvent = std::function<void(bool& Accept)>;

enum TORVApplyUpdatesOption : uint8_t { aoMergeDuplicateInserts, aoIgnoreMissingUpdates, aoInsertMissingUpdates };
using TORVApplyUpdatesOptions = TORVSet<TORVApplyUpdatesOption, 8>;

// A cursor and its rows are used by one thread at a time (the session that
// owns them); the class takes no locks. The cached BOF and EOF are
// meaningful after ValidatePosition or ValidateFilteredPosition; GetBOF and
// GetEOF of an implementation are authoritative.
class TORVCursor : public TORVHandleObject {
 public:
  TORVCursor(const TORVString& CursorName, int32_t CharacterSetToUse, bool OpenReadOnly, bool OpenExclusive);
  ~TORVCursor() override;

  // -1 here: no active index.
  virtual int32_t GetActiveIndex();
  // Whether the rows come through one or more views; such cursors give
  // back their table and views (Reset) when the session resets its
  // databases. None here.
  virtual bool GetReadsThroughViews() { return false; }
  virtual void Reset() {}
  // Ignored for the current index and outside the index list; otherwise the
  // bookmark columns become the index's columns.
  virtual void SetActiveIndex(int32_t Value);
  virtual bool GetRangeInEffect() = 0;
  virtual TORVKeyValues* GetRangeStartValues() = 0;
  virtual TORVKeyValues* GetRangeEndValues() = 0;
  // Error 1000: the cursor is read-only.
  [[noreturn]] virtual void UpdateError();
  // The cached flags here.
  virtual bool GetBOF();
  virtual bool GetEOF();
  // Error 1001 with Msg.
  [[noreturn]] virtual void FilterError(const TORVString& Msg);
  virtual bool GetFiltersInEffect() = 0;
  virtual double GetFilterExecutionTime() = 0;
  virtual int32_t GetRowNumber() = 0;
  virtual void SetRowNumber(int32_t Value) = 0;
  // True when RowLocks holds the current row number.
  virtual bool GetRowLocked();
  // Rows visible through range and filters, and all rows.
  virtual int32_t GetRowCount() = 0;
  virtual int32_t GetTotalRowCount() = 0;
  // Copy the current row, or move one row, without the filter-row handler.
  virtual void InternalGetCurrentRow(TORVCursorRow& Row) = 0;
  virtual void InternalNext() = 0;
  virtual void InternalPrior() = 0;
  // The large object that starts at BlockNumber as stored for RowVersion.
  virtual void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                              bool Decompress) = 0;
  virtual void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                               int32_t BlobCompression, int32_t& CompressedSize) = 0;
  // A computed column's expression over RowValues into Value.
  virtual void Evaluate(TORVExprToken* Tokens, TORVRowValues& RowValues, TORVValue& Value) = 0;
  virtual TORVString GetCollationName(int32_t ID) = 0;
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual void Prior() = 0;
  virtual void Last() = 0;
  virtual bool Refresh() = 0;
  // Records the row in RowLocks with this cursor as owner, kept for the
  // transaction; implementations that lock for real override it.
  virtual void LockRow(TORVCursorRow& RowToLock, int32_t RetryCount, int32_t WaitTime);
  virtual void UnlockRow(TORVCursorRow& RowToUnlock);
  virtual void UnlockAllRows();
  // A new row of this cursor; the caller owns it.
  virtual std::unique_ptr<TORVCursorRow> CreateRow(bool CreateComputedColumns);
  // Every value NULL.
  virtual void InitializeRow(TORVCursorRow& NewRow);
  virtual void GetCurrentRow(TORVCursorRow& CurrentRow, bool LockIt) = 0;
  // The current row made ready to be inserted as a copy: number, update
  // counter and row ID 0, large objects loaded, every value modified.
  virtual void CloneCurrentRow(TORVCursorRow& NewRow);
  virtual bool Insert(TORVCursorRow& NewRow) = 0;
  virtual bool Update(TORVCursorRow& ExistingRow) = 0;
  virtual bool Delete(TORVCursorRow& ExistingRow) = 0;
  virtual void Cancel(TORVCursorRow& ExistingRow) = 0;
  virtual void Flush() = 0;
  virtual bool SetToBookmark(TORVKeyValues& BookmarkValues) = 0;
  virtual void SetToSequenceNumber(int32_t Value) = 0;
  virtual void SetToRowValues(TORVRowValues& Values) = 0;
  virtual bool Locate(TORVMappedCursorColumns& ColumnsToSearch, TORVValues& ColumnValues, int32_t PartialLength,
                      bool CaseInsensitive) = 0;
  // Row's key values become references to Row's values of the first
  // ColumnCount columns of the active index (all for -1).
  virtual void PopulateKey(TORVCursorRow& Row, int32_t ColumnCount);
  virtual bool Find(TORVKeyValues& Values, bool NearestMatch, bool CaseInsensitive) = 0;
  virtual void SetRange(TORVKeyValues& StartValues, TORVKeyValues& EndValues) = 0;
  virtual void CancelRange() = 0;
  virtual void SetSequenceRange(int32_t StartSeqNumber, int32_t EndSeqNumber) = 0;
  virtual void CancelSequenceRange() = 0;
  // Returns the filter's handle.
  virtual int32_t CreateFilter(const TORVString& FilterExpression, bool CaseInsensitiveMatch, bool NoPartialMatch,
                               bool OptimizationCosts) = 0;
  virtual void DropFilter(int32_t FilterHandle) = 0;
  virtual void ActivateFilter(int32_t FilterHandle) = 0;
  virtual void DeactivateFilter(int32_t FilterHandle) = 0;
  virtual void LoadFromStream(TORVStream& SourceStream, int32_t BytesToLoad) = 0;
  virtual void SaveToStream(TORVStream& DestinationStream, bool WriteSize) = 0;
  virtual void Import(const TORVString& ImportFile, const TORVString& StoreName,
                      const std::vector<TORVString>& ColumnsToImport, int32_t Format, int32_t Encoding,
                      char16_t DelimiterChar, char16_t QuoteChar, const TORVString& DateFormatStr,
                      const TORVString& TimeFormatStr, const TORVString& AMStr, const TORVString& PMStr,
                      char16_t DecimalChar, const TORVString& TrueStr, const TORVString& FalseStr, bool UseHeaders,
                      int32_t MaxRows) = 0;
  virtual void Export(const TORVString& ExportFile, const TORVString& StoreName,
                      const std::vector<TORVString>& ColumnsToExport, int32_t Format, int32_t Encoding,
                      char16_t DelimiterChar, char16_t QuoteChar, const TORVString& DateFormatStr,
                      const TORVString& TimeFormatStr, const TORVString& AMStr, const TORVString& PMStr,
                      char16_t DecimalChar, const TORVString& TrueStr, const TORVString& FalseStr,
                      bool IncludeHeaders, int32_t MaxRows) = 0;
  virtual void Copy(TORVCursor& DestinationCursor) = 0;
  virtual void Empty(bool IgnoreConstraints) = 0;
  // A cursor that caches this one's updates; the caller owns it.
  virtual std::unique_ptr<TORVCursor> StartCachedUpdates() = 0;
  virtual void ApplyCachedUpdates(TORVApplyUpdatesOptions ApplyOptions) = 0;
  virtual void CancelCachedUpdates() = 0;

  // UpdateError for a read-only cursor.
  void CheckUpdateable();
  // The handler's verdict on FilterRow (True without a handler).
  bool CheckFilterRowEvent();
  // Refreshes the cached BOF and EOF.
  void ValidatePosition();
  // True when the current row's values of Columns' source columns equal
  // Values; False without a current row.
  bool ValidateRowValues(TORVMappedCursorColumns& Columns, TORVValues& Values, int32_t PartialLength,
                         bool CaseInsensitive);
  // The length of the last key value's text when the active index's column
  // at that position is a character column; 0 otherwise.
  int32_t GetPartialLength(TORVKeyValues& KeyValues);
  // Moves to the nearest row the filter-row handler accepts, first in
  // Direction; True only when the starting row was accepted.
  bool ValidateFilteredPosition(int32_t Direction);
  // A cursor column for every visible column of Columns.
  void MapDefaultTableColumns();
  const TORVString& GetActiveIndexName() const { return FActiveIndexName; }
  // An empty name selects the primary key, else the first plain index; an
  // unknown name raises ORV_NOT_FOUND_ERROR.
  void SetActiveIndexName(const TORVString& Value);
  // New selections that the caller owns. Names are separated by ";" and
  // leading blanks ignored; an unknown name raises ORV_NOT_FOUND_ERROR.
  std::unique_ptr<TORVMappedCursorColumns> GetColumnsForNames(const TORVString& ColumnNames);
  std::unique_ptr<TORVMappedCursorColumns> GetColumnsForNames(const std::vector<TORVString>& ColumnNames);
  // The cursor column of each key column of index IndexNumber (-1: the
  // active index; empty without one).
  std::unique_ptr<TORVMappedCursorColumns> GetColumnsForIndex(int32_t IndexNumber);
  std::unique_ptr<TORVMappedCursorColumns> GetColumnsForActiveIndex();
  // The first index, not a text index, that starts with Columns' source
  // columns in order (character key columns with the case-insensitive flag
  // equal to CaseInsensitive); nil when none does.
  TORVIndex* GetIndexForColumns(TORVMappedCursorColumns& Columns, bool CaseInsensitive);

  const TORVString& GetName() const { return FName; }
  int32_t GetCharacterSet() const { return FCharacterSet; }
  bool GetReadOnly() const { return FReadOnly; }
  bool GetExclusive() const { return FExclusive; }
  int32_t GetRowsToRead() const { return FRowsToRead; }
  void SetRowsToRead(int32_t Value) { FRowsToRead = Value; }
  TORVColumns* GetColumns() const { return FColumns.get(); }
  TORVCursorColumns* GetCursorColumns() const { return FCursorColumns.get(); }
  TORVBookmarkColumns* GetBookmarkColumns() const { return FBookmarkColumns.get(); }
  bool GetBookmarkRowID() const { return FBookmarkRowID; }
  TORVCursorIndexes* GetIndexes() const { return FIndexes.get(); }
  TORVRowLocks* GetRowLocks() const { return FRowLocks.get(); }
  // The cached flags.
  bool GetBoF() const { return FBOF; }
  bool GetEoF() const { return FEOF; }
  TORVCursorRow* GetFilterRow() const { return FFilterRow; }
  void SetFilterRow(TORVCursorRow* Value) { FFilterRow = Value; }
  const TORVFilterRowEvent& GetOnFilterRow() const { return FOnFilterRow; }
  void SetOnFilterRow(TORVFilterRowEvent Value) { FOnFilterRow = std::move(Value); }

 protected:
  TORVString FName;
  int32_t FCharacterSet;
  bool FReadOnly;
  bool FExclusive;
  bool FBOF = false;
  bool FEOF = false;
  int32_t FRowsToRead = 1;
  TORVString FActiveIndexName;
  std::unique_ptr<TORVColumns> FColumns;
  std::unique_ptr<TORVCursorColumns> FCursorColumns;
  std::unique_ptr<TORVBookmarkColumns> FBookmarkColumns;
  bool FBookmarkRowID = false;
  std::unique_ptr<TORVCursorIndexes> FIndexes;
  std::unique_ptr<TORVRowLocks> FRowLocks;
  TORVFilterRowEvent FOnFilterRow;
  TORVCursorRow* FFilterRow = nullptr;
  std::unique_ptr<TORVMappedColumns> FValidateColumns;
  std::unique_ptr<TORVCursorRow> FValidateRow;

 private:
  // The active index, nil without one.
  TORVIndex* ActiveIndex();
  bool FilterScan(bool Forward, bool& Result);
};

}  // namespace orv
