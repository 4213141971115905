// Columns of tables, views, query results and cursors, and the column list
// that lays out the row buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"

namespace orv {

class TORVComputedColumnExpr;
class TORVSelectedColumns;

// The row header that precedes the column slots of a row buffer; its bytes
// belong to the rows file.
inline constexpr int32_t RowHeaderSize = 17;

// The slot a column takes in a row buffer: 9 bytes for a large object (the
// present flag, the first block number and the size), otherwise the present
// flag and Size bytes. A computed column takes none.
class TORVColumn : public TORVCatalogObject {
 public:
  TORVColumn();
  ~TORVColumn() override;

  TORVString GetTypeName() const override;
  // Also the type, the value source flags with their expressions, the
  // compression and the referencing columns.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;

  // The type setters normalise as the type rules say, with the character
  // set of the collection that holds the column, so a column is made with
  // the collection's GetNewObject and typed before it is added (Size
  // follows the length, with the 2-byte count of VarChar and VarByte).
  void SetDataType(int32_t Value);
  void SetSubType(int32_t Value);
  void SetLength(int32_t Value);
  void SetScale(int32_t Value);
  void SetCollation(int32_t Value);
  // A computed column gets its expression and becomes read-only; it stops
  // being generated. Generated is the mirror image.
  void SetComputed(bool Value);
  void SetGenerated(bool Value);
  void SetIdentity(bool Value) { FIdentity = Value; }
  // An identity column counts from its seed in steps of its increment.
  void SetSeedValue(int32_t Value) { FSeedValue = Value; }
  void SetIncrementValue(int32_t Value) { FIncrementValue = Value; }
  void SetBlobCompression(int32_t Value) { FBlobCompression = Value; }
  // Live only during an ALTER TABLE, never stored: the column's position
  // before it (-1 for a column that is new or must be recomputed), and
  // whether its identity sequence starts over.
  int32_t GetOldPosition() const { return FOldPosition; }
  void SetOldPosition(int32_t Value) { FOldPosition = Value; }
  bool GetAlterRestartIdentity() const { return FAlterRestartIdentity; }
  void SetAlterRestartIdentity(bool Value) { FAlterRestartIdentity = Value; }

  int32_t GetRowOffset() const { return FRowOffset; }
  void SetRowOffset(int32_t Value) { FRowOffset = Value; }
  int32_t GetDataType() const { return FDataType; }
  int32_t GetSubType() const { return FSubType; }
  int32_t GetLength() const { return FLength; }
  int32_t GetSize() const { return FSize; }
  int32_t GetScale() const { return FScale; }
  int32_t GetCollation() const { return FCollation; }
  bool GetComputed() const { return FComputed; }
  bool GetGenerated() const { return FGenerated; }
  bool GetIdentity() const { return FIdentity; }
  int32_t GetSeedValue() const { return FSeedValue; }
  int32_t GetIncrementValue() const { return FIncrementValue; }
  int32_t GetBlobCompression() const { return FBlobCompression; }
  // Nil unless the column is computed.
  TORVComputedColumnExpr* GetComputeExpr() const { return FComputeExpr.get(); }
  // The bytes the column takes in a row buffer and in an index key.
  int32_t GetRowsetSize() const;
  int32_t GetIndexSize() const { return FSize + 1; }
  // The computed or generated columns of the same table that read this one.
  bool GetHasReferencingColumns() const;
  TORVSelectedColumns* GetReferencingColumns();

 private:
  int32_t CharacterSet();

  int32_t FRowOffset = 0;
  int32_t FDataType = 0;
  int32_t FSubType = 0;
  int32_t FLength = 0;
  int32_t FSize = 0;
  int32_t FScale = 0;
  int32_t FCollation = 0;
  bool FGenerated = false;
  bool FIdentity = false;
  int32_t FSeedValue = 0;
  int32_t FIncrementValue = 1;
  bool FComputed = false;
  std::unique_ptr<TORVComputedColumnExpr> FComputeExpr;
  std::unique_ptr<TORVSelectedColumns> FReferencingColumns;
  int32_t FBlobCompression = 0;
  int32_t FOldPosition = -1;
  bool FAlterRestartIdentity = false;
};

// Row layout of an owning list, recomputed after every change of its
// members: the first slot at offset 17 (after the row header), each
// column's RowOffset the sum of 17 and the slots before it, a computed
// column at the offset of the next slot, and RowsetRowSize 17 plus all
// slots. A non-owning list lays out nothing: its columns belong to, and are
// laid out by, another list.
class TORVColumns : public TORVCatalogObjects {
 public:
  TORVColumns();
  ~TORVColumns() override;

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;
  void ObjectsChanged() override;

  // Lays the row out again; owners that change a member's type after adding
  // it call this.
  void SetupColumnInformation();
  TORVColumn* GetColumn(int32_t Index) const;
  int32_t GetRowsetRowSize() const { return FRowsetRowSize; }
  bool GetHasBlobColumns() const;
  // The large-object columns in column order (kept by the list).
  TORVSelectedColumns* GetBlobColumns();

 protected:
  explicit TORVColumns(bool OwnsObjects);

 private:
  std::unique_ptr<TORVSelectedColumns> FBlobColumns;
  int32_t FRowsetRowSize = RowHeaderSize;
};

// A non-owning list of columns of other lists.
class TORVSelectedColumns : public TORVCatalogObjects {
 public:
  TORVSelectedColumns() : TORVCatalogObjects(false) {}

  TORVString GetTypeName() const override;
  TORVColumn* GetColumn(int32_t Index) const;
};

}  // namespace orv
