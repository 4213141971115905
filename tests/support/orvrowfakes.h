// Row values, navigators and cursors over memory, for the tests of the row
// and cursor interfaces: large objects live in a map, computed columns are
// evaluated by a test-supplied function, and rows are plain buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursor.h"
#include "catalog/orvrowvalues.h"
#include "core/orvnavigator.h"

namespace orv {

// Makes a column in Columns (through its GetNewObject, so that the list's
// character set sizes it), types it and adds it. ID is the column's ID
// (stored columns have one above 0).
TORVColumn* AddTestColumn(TORVColumns& Columns, const TORVString& Name, int32_t DataType, int32_t SubType = 0,
                          int32_t Length = 0, int32_t ID = 0);

// A computed column of that type.
TORVColumn* AddComputedColumn(TORVColumns& Columns, const TORVString& Name, int32_t DataType, int32_t ID = 0);

// The columns Integer, VarChar(10), BLOB and SmallInt (IDs 1 to 4), whose
// slots lie at 17, 22, 45 and 54 in a Unicode list.
void AddLayoutColumns(TORVColumns& Columns);

// The bytes of a stream or of a slot range.
TORVBytes StreamBytes(const TORVMemoryStream& Stream);
TORVBytes BufferSlice(const TORVMemoryStream& Stream, int32_t Offset, int32_t Count);

// Row values whose large objects are kept in BlobStore by block number and
// whose computed columns run Evaluator.
class TFakeRowValues : public TORVRowValues {
 public:
  TFakeRowValues(int32_t CharacterSet, TORVColumns* Columns, bool CreateComputed);

  void ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  void Evaluate(TORVExprToken* Tokens, TORVValue& Value) override;

  std::function<void(TORVRowValues& Row, TORVValue& Value)> Evaluator;
  // Told the tree each evaluation is given.
  std::function<void(TORVExprToken* Tokens)> OnTokens;
  std::map<int32_t, TORVBytes> BlobStore;
  int32_t Evaluations = 0;
  int32_t BlobReads = 0;
  int32_t NextBlock = 1;
};

// A row buffer and its values over a column list.
struct TTestRow {
  TTestRow(int32_t CharacterSet, TORVColumns& Columns, bool CreateComputed = true);
  std::unique_ptr<TORVMemoryStream> Buffer;
  std::unique_ptr<TFakeRowValues> Values;
};

// Rows 1 .. Valid.size(); RowValid answers from Valid, and StopAt makes
// RowValid set StopScan on that row (in StopDirection).
class TFakeNavigator : public TORVNavigator {
 public:
  explicit TFakeNavigator(std::vector<bool> Valid) : FValid(std::move(Valid)) {}

  int32_t GetRowCount() override { return static_cast<int32_t>(FValid.size()); }
  void ClearActiveRow() override { Current = 0; ++Clears; }
  bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) override;
  int32_t GetRowNumber() override { return Current; }
  int32_t Search(TORVValues&, int32_t, bool, bool&) override { return 0; }
  bool GotoNumber(int32_t NewNumber, int32_t, bool&) override;
  void GotoSequenceNumber(int32_t, bool&) override {}
  bool Next(bool& FoundChanges) override;
  bool Prior(bool& FoundChanges) override;

  int32_t Current = 0;
  int32_t Clears = 0;
  int32_t ValidCalls = 0;
  int32_t StopAt = 0;
  // The direction StopAt applies to; 0 for both.
  int32_t StopDirection = 0;
  // Next or Prior onto this row reports changes.
  int32_t ChangesAt = 0;

 private:
  std::vector<bool> FValid;
};

// A cursor over a list of rows held as their records; only what the base
// class calls does anything.
class TFakeCursor : public TORVCursor {
 public:
  explicit TFakeCursor(int32_t CharacterSet, bool ReadOnly = false);

  // Rows are made with CreateRow, filled by the test and appended.
  void AppendRow(TORVCursorRow& Row);

  int32_t GetActiveIndex() override { return FActive; }
  void SetActiveIndex(int32_t Value) override;
  bool GetBOF() override { return FRows.empty() || FCurrent < 0; }
  bool GetEOF() override { return FRows.empty() || FCurrent >= static_cast<int32_t>(FRows.size()); }
  int32_t GetRowNumber() override;
  int32_t GetRowCount() override { return static_cast<int32_t>(FRows.size()); }
  int32_t GetTotalRowCount() override { return GetRowCount(); }
  void InternalGetCurrentRow(TORVCursorRow& Row) override;
  void InternalNext() override;
  void InternalPrior() override;
  void GetCurrentRow(TORVCursorRow& Row, bool) override { InternalGetCurrentRow(Row); }
  void Evaluate(TORVExprToken*, TORVRowValues& RowValues, TORVValue& Value) override;
  void ReadBlobStream(int32_t, int32_t, TORVMemoryStream&, bool) override {}
  void WriteBlobStream(int32_t, int32_t&, TORVMemoryStream&, int32_t, int32_t&) override {}

  // Position: 0-based row index, -1 before the first, Count after the last.
  void MoveTo(int32_t Index) { FCurrent = Index; }
  int32_t GetPositionIndex() const { return FCurrent; }
  std::function<void(TORVRowValues& Row, TORVValue& Value)> Evaluator;

  // Everything else a test does not reach.
  bool GetRangeInEffect() override { return false; }
  TORVKeyValues* GetRangeStartValues() override { return nullptr; }
  TORVKeyValues* GetRangeEndValues() override { return nullptr; }
  bool GetFiltersInEffect() override { return false; }
  double GetFilterExecutionTime() override { return 0; }
  void SetRowNumber(int32_t) override {}
  TORVString GetCollationName(int32_t) override { return {}; }
  void First() override { FCurrent = 0; }
  void Next() override { InternalNext(); }
  void Prior() override { InternalPrior(); }
  void Last() override { FCurrent = static_cast<int32_t>(FRows.size()) - 1; }
  bool Refresh() override { return false; }
  bool Insert(TORVCursorRow&) override { return false; }
  bool Update(TORVCursorRow&) override { return false; }
  bool Delete(TORVCursorRow&) override { return false; }
  void Cancel(TORVCursorRow&) override {}
  void Flush() override {}
  bool SetToBookmark(TORVKeyValues&) override { return false; }
  void SetToSequenceNumber(int32_t) override {}
  void SetToRowValues(TORVRowValues&) override {}
  bool Locate(TORVMappedCursorColumns&, TORVValues&, int32_t, bool) override { return false; }
  bool Find(TORVKeyValues&, bool, bool) override { return false; }
  void SetRange(TORVKeyValues&, TORVKeyValues&) override {}
  void CancelRange() override {}
  void SetSequenceRange(int32_t, int32_t) override {}
  void CancelSequenceRange() override {}
  int32_t CreateFilter(const TORVString&, bool, bool, bool) override { return 0; }
  void DropFilter(int32_t) override {}
  void ActivateFilter(int32_t) override {}
  void DeactivateFilter(int32_t) override {}
  void LoadFromStream(TORVStream&, int32_t) override {}
  void SaveToStream(TORVStream&, bool) override {}
  void Import(const TORVString&, const TORVString&, const std::vector<TORVString>&, int32_t, int32_t, char16_t,
              char16_t, const TORVString&, const TORVString&, const TORVString&, const TORVString&, char16_t,
              const TORVString&, const TORVString&, bool, int32_t) override {}
  void Export(const TORVString&, const TORVString&, const std::vector<TORVString>&, int32_t, int32_t, char16_t,
              char16_t, const TORVString&, const TORVString&, const TORVString&, const TORVString&, char16_t,
              const TORVString&, const TORVString&, bool, int32_t) override {}
  void Copy(TORVCursor&) override {}
  void Empty(bool) override {}
  std::unique_ptr<TORVCursor> StartCachedUpdates() override { return nullptr; }
  void ApplyCachedUpdates(TORVApplyUpdatesOptions) override {}
  void CancelCachedUpdates() override {}

 private:
  std::vector<std::unique_ptr<TORVMemoryStream>> FRows;
  int32_t FCurrent = -1;
  int32_t FActive = -1;
};

}  // namespace orv
