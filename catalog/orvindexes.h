// Indexes of tables, views and cursors: the key columns of each index and
// the index list of a table.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"

namespace orv {

class TORVColumn;
class TORVColumns;
class TORVIndex;

// Index types; persisted.
inline constexpr int32_t itIndex = 0;
inline constexpr int32_t itPrimaryKey = 1;
inline constexpr int32_t itForeignKey = 2;
inline constexpr int32_t itUnique = 3;
inline constexpr int32_t itTextIndex = 4;

// The case-insensitive flag of a collation.
inline constexpr int32_t CollationCaseInsensitiveFlag = 1 << 20;

// One key column of an index, in key order. It has no name of its own: its
// name is its source column's.
class TORVIndexColumn : public TORVCatalogObject {
 public:
  TORVString GetTypeName() const override;
  TORVString GetName() const override;
  bool GetNameRequired() const override { return false; }
  // Also the source column's ID, the collation and the direction.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void ResetReferences() override;

  // The cached column, else the column with the source ID, looked up in the
  // columns of the index list that holds the index (ORV_NOT_FOUND_ERROR when missing).
  virtual TORVColumn* GetSourceColumn();
  // A new ID takes the column's collation (character and CLOB columns,
  // case-insensitive in a text index) as the default collation.
  void SetSourceColumn(TORVColumn* Value);
  int32_t GetSourceColumnID() const { return FSourceColumnID; }
  int32_t GetCollation() const { return FCollation; }
  // Only for a character or CLOB source column.
  void SetCollation(int32_t Value);
  bool GetDefaultCollation() const { return FDefaultCollation; }
  bool GetDescending() const { return FDescending; }
  void SetDescending(bool Value);

 protected:
  // The index that holds this key column; nil outside an index.
  TORVIndex* OwnerIndex() const;

  TORVColumn* FSourceColumn = nullptr;
  int32_t FSourceColumnID = 0;
  int32_t FCollation = 0;
  bool FDefaultCollation = false;
  bool FDescending = false;
};

class TORVIndexColumns : public TORVCatalogObjects {
 public:
  TORVIndexColumns() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;

  TORVIndexColumn* GetIndexColumn(int32_t Index) const;
  // Bytes a page needs to hold four keys of the key columns.
  int32_t GetRequiredPageSize();
};

class TORVIndex : public TORVCatalogObject {
 public:
  TORVIndex();
  ~TORVIndex() override;

  TORVString GetTypeName() const override;
  // Also the type, the unique-keys flag, the text word length and the key
  // columns.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void ResetReferences() override;

  int32_t GetIndexType() const { return FIndexType; }
  // A primary key keeps unique keys.
  void SetIndexType(int32_t Value);
  bool GetUniqueKeys() const { return FUniqueKeys; }
  int32_t GetTextWordLength() const { return FTextWordLength; }
  void SetTextWordLength(int32_t Value) { FTextWordLength = Value; }
  TORVIndexColumns* GetIndexColumns() const { return FIndexColumns.get(); }
  // Set by the index file's verification when the index must be rebuilt
  // from the rows before it is used again.
  bool GetRequiresRebuild() const { return FRequiresRebuild; }
  void SetRequiresRebuild(bool Value) { FRequiresRebuild = Value; }

 private:
  int32_t FIndexType = itIndex;
  bool FUniqueKeys = false;
  std::unique_ptr<TORVIndexColumns> FIndexColumns;
  int32_t FTextWordLength = 30;
  bool FRequiresRebuild = false;
};

class TORVIndexes : public TORVCatalogObjects {
 public:
  TORVIndexes() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;
  // The column list in which the key columns' source columns are found;
  // nil here, the lists of tables, views and cursors supply it.
  virtual TORVColumns* GetColumns() { return nullptr; }

  TORVIndex* GetIndex(int32_t Index) const;
  // The position of the first index of that type, -1 when there is none.
  int32_t GetIndexNumberForType(int32_t IndexType) const;
};

}  // namespace orv
