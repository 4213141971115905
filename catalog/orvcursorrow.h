// The row object that moves between a cursor and its users, with its value
// lists and its stream record, and the key and column value lists that a
// cursor keeps apart from any row.
#pragma once

#include <cstdint>
#include <memory>

#include "catalog/orvrowvalues.h"
#include "core/orvcommon.h"
#include "core/orvkeyvalues.h"
#include "core/orvvalues.h"

namespace orv {

class TORVColumns;
class TORVCursor;
class TORVCursorColumns;
class TORVCursorRow;
class TORVExprToken;
class TORVMemoryStream;

// A cursor row's values over the row's buffer; large objects and computed
// columns are served by the cursor.
class TORVCursorRowValues : public TORVRowValues {
 public:
  TORVCursorRowValues(TORVCursorRow* OwnerRow, TORVColumns* ColumnsToUse, bool CreateComputed);

  // Through the cursor, with the row's version.
  void ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  void Evaluate(TORVExprToken* Tokens, TORVValue& Value) override;

  TORVCursorRow* GetCursorRow() const { return FCursorRow; }

 private:
  TORVCursorRow* FCursorRow;
};

// References to a row's values that make the key of the cursor's active
// index; collation and direction are the index's.
class TORVCursorKeyValues : public TORVKeyValues {
 public:
  explicit TORVCursorKeyValues(TORVCursorRow* OwnerRow);

  int32_t GetColumnCollation(int32_t Index) override;
  bool GetColumnDescending(int32_t Index) override;
  // The row's first value (the row ID) for index types 0, 2 and 3; 0 for a
  // primary key and a text index, and without an active index.
  int32_t GetRowID() override;
  void SetRowID(int32_t /*Value*/) override {}

  TORVCursorRow* GetCursorRow() const { return FCursorRow; }

 protected:
  TORVCursorRow* FCursorRow;
};

// References to a row's values of the bookmark columns.
class TORVBookmarkValues : public TORVCursorKeyValues {
 public:
  using TORVCursorKeyValues::TORVCursorKeyValues;
};

// Own values, one per column of the cursor's active index (at creation).
class TORVContainedCursorKeyValues : public TORVKeyValues {
 public:
  explicit TORVContainedCursorKeyValues(TORVCursor* OwnerCursor);

  int32_t GetColumnCollation(int32_t Index) override;
  bool GetColumnDescending(int32_t Index) override;
  int32_t GetRowID() override { return FRowID; }
  void SetRowID(int32_t Value) override { FRowID = Value; }

 protected:
  TORVCursor* FCursor;
  int32_t FRowID = 0;
};

// A bookmark held apart from any row.
class TORVContainedBookmarkValues : public TORVContainedCursorKeyValues {
 public:
  using TORVContainedCursorKeyValues::TORVContainedCursorKeyValues;
};

// Own values, one per cursor column, typed like each source column.
class TORVContainedCursorColumnValues : public TORVValues {
 public:
  explicit TORVContainedCursorColumnValues(TORVCursorColumns* OwnerCursorColumns);

  TORVCursorColumns* GetCursorColumns() const { return FCursorColumns; }

 private:
  TORVCursorColumns* FCursorColumns;
};

// Cursor row record (little-endian): number (4 bytes), status (1), version
// (4), update counter (4), internal counter (4), the row-values record (the
// buffer from offset 17, then with StreamModified one flag byte per column),
// and with StreamBlobs a 4-byte count n of modified large-object columns and
// n entries of a 4-byte column position, a 4-byte size s and s bytes.
//
// The first value (column 0) holds the row ID. The status and counters
// belong to the cursor implementations; the row only carries them.
class TORVCursorRow : public TORVBaseObject {
 public:
  // A zero-filled buffer of the cursor's RowsetRowSize bytes with its
  // values, the bookmark values of the cursor's bookmark columns and an
  // empty key.
  TORVCursorRow(TORVCursor* Owner, bool CreateComputedColumns);
  ~TORVCursorRow() override;

  // The bookmark values refer again to this row's values of the cursor's
  // bookmark columns.
  void ResetBookmarkValues();
  // Number, status, version and counters, then the values (buffer from
  // offset 17).
  void Assign(TORVCursorRow& FromRow);
  // Number, status, version, counters and values all equal.
  bool Compare(TORVCursorRow& RowToCompare);
  // Every value NULL.
  void Initialize();
  void Save(TORVMemoryStream& Stream) { Save(Stream, false, false); }
  void Load(TORVMemoryStream& Stream) { Load(Stream, false, false); }
  void Save(TORVMemoryStream& Stream, bool StreamModified, bool StreamBlobs);
  // Refuses (ORV_CORRUPT_ERROR) a record that is short or whose large-object entries name
  // a position or size the row cannot take.
  void Load(TORVMemoryStream& Stream, bool StreamModified, bool StreamBlobs);

  TORVCursor* GetCursor() const { return FCursor; }
  TORVMemoryStream* GetBufferStream() const { return FBufferStream.get(); }
  int32_t GetNumber() const { return FNumber; }
  void SetNumber(int32_t Value) { FNumber = Value; }
  uint8_t GetStatus() const { return FStatus; }
  void SetStatus(uint8_t Value) { FStatus = Value; }
  int32_t GetVersion() const { return FVersion; }
  void SetVersion(int32_t Value) { FVersion = Value; }
  int32_t GetUpdateCounter() const { return FUpdateCounter; }
  void SetUpdateCounter(int32_t Value) { FUpdateCounter = Value; }
  int32_t GetInternalCounter() const { return FInternalCounter; }
  void SetInternalCounter(int32_t Value) { FInternalCounter = Value; }
  TORVCursorRowValues* GetValues() const { return FValues.get(); }
  TORVBookmarkValues* GetBookmarkValues() const { return FBookmarkValues.get(); }
  TORVCursorKeyValues* GetKeyValues() const { return FKeyValues.get(); }

 private:
  [[noreturn]] void CorruptRecordError(const TORVString& Detail);

  TORVCursor* FCursor;
  std::unique_ptr<TORVMemoryStream> FBufferStream;
  int32_t FNumber = 0;
  uint8_t FStatus = 0;
  int32_t FVersion = 0;
  int32_t FUpdateCounter = 0;
  int32_t FInternalCounter = 0;
  std::unique_ptr<TORVCursorRowValues> FValues;
  std::unique_ptr<TORVBookmarkValues> FBookmarkValues;
  std::unique_ptr<TORVCursorKeyValues> FKeyValues;
};

}  // namespace orv
