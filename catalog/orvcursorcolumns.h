// The column and index descriptions of a cursor: the columns as the
// cursor's user sees them, selections of them, the key columns that make a
// bookmark and the cursor's indexes.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"

namespace orv {

class TORVCursor;
class TORVMemoryStream;

// A column as the cursor's user sees it: a name, description and read-only
// flag over an underlying column of the cursor's Columns.
class TORVCursorColumn : public TORVCatalogObject {
 public:
  TORVString GetTypeName() const override;
  // Also the source column's ID from another cursor column.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // False also for two cursor columns over different source columns.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void ResetReferences() override;
  // The object record, then the 4-byte source column ID.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  // Found by ID in the owning cursor's Columns on first use (ORV_NOT_FOUND_ERROR when
  // missing) and cached.
  TORVColumn* GetSourceColumn();
  void SetSourceColumn(TORVColumn* Column);
  int32_t GetSourceColumnID() const { return FSourceColumnID; }

 private:
  int32_t FSourceColumnID = 0;
  TORVColumn* FSourceColumn = nullptr;
};

class TORVCursorColumns : public TORVCatalogObjects {
 public:
  explicit TORVCursorColumns(TORVCursor* Cursor) : TORVCursorColumns(Cursor, true) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;

  // 0-based; raises std::out_of_range outside the list.
  TORVCursorColumn* GetCursorColumn(int32_t Index) const;
  TORVCursor* GetCursor() const { return FCursor; }

 protected:
  TORVCursorColumns(TORVCursor* Cursor, bool OwnsObjects);

  TORVCursor* FCursor;
};

// A selection of the cursor's cursor columns.
class TORVMappedCursorColumns : public TORVCursorColumns {
 public:
  explicit TORVMappedCursorColumns(TORVCursor* Cursor) : TORVCursorColumns(Cursor, false) {}

  // A 4-byte count, then each column's 4-byte position in the cursor's
  // CursorColumns.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  // Refuses (ORV_CORRUPT_ERROR) a count or position that the cursor's columns do not have.
  void Load(TORVMemoryStream& Stream) override;
};

// A selection of underlying columns.
class TORVMappedColumns : public TORVColumns {
 public:
  TORVMappedColumns() : TORVColumns(false) {}

  // From mapped cursor columns: their source columns in order.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
};

// A key column of a bookmark; its source column is found by ID in the
// column list of the bookmark columns.
class TORVBookmarkColumn : public TORVIndexColumn {
 public:
  TORVString GetTypeName() const override;
  // Also takes another key column's source column.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  TORVColumn* GetSourceColumn() override;
};

class TORVBookmarkColumns : public TORVIndexColumns {
 public:
  explicit TORVBookmarkColumns(TORVColumns* Columns) : FColumns(Columns) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;
  TORVColumns* GetColumns() const { return FColumns; }

 private:
  TORVColumns* FColumns;
};

// The cursor's indexes; their key columns are found in the cursor's Columns.
class TORVCursorIndexes : public TORVIndexes {
 public:
  explicit TORVCursorIndexes(TORVCursor* Cursor) : FCursor(Cursor) {}

  TORVColumns* GetColumns() override;
  TORVCursor* GetCursor() const { return FCursor; }

 private:
  TORVCursor* FCursor;
};

}  // namespace orv
