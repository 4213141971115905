// Indexes of tables, views and cursors: the key columns of each index and
// the index list of a table.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvalterstate.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVColumn;
class TORVColumns;
class TORVConstraint;
class TORVExprToken;
class TORVIndex;
class TORVVirtualTable;
class TORVWordGenerator;
class TORVWordList;

// Index types; persisted.
inline constexpr int32_t itIndex = 0;
inline constexpr int32_t itPrimaryKey = 1;
inline constexpr int32_t itForeignKey = 2;
inline constexpr int32_t itUnique = 3;
inline constexpr int32_t itTextIndex = 4;

// The case-insensitive flag of a collation.
inline constexpr int32_t CollationCaseInsensitiveFlag = 1 << 20;

// A text index keeps words of 1 .. 1024 characters; 30 unless told.
inline constexpr int32_t MinTextWordLength = 1;
inline constexpr int32_t MaxTextWordLength = 1024;
inline constexpr int32_t DefaultTextWordLength = 30;

// Streams name a text index's word generator from this version on; older
// ones give its ID.
inline constexpr TORVCurrency WordGeneratorNameVersion = TORVCurrency::FromScaled(20300);

// One key column of an index, in key order. It has no name of its own: its
// name is its source column's. While FDefaultCollation holds, the
// collation follows the source column's (case-insensitive in a text
// index); an explicit collation stays until the column stops being
// character.
class TORVIndexColumn : public TORVCatalogObject {
 public:
  TORVString GetTypeName() const override;
  TORVString GetName() const override;
  bool HasName(std::u16string_view Name) const override { return SameString(GetName(), Name); }
  bool GetNameRequired() const override { return false; }
  // Also the source column's ID, the collation and the direction.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Other key columns: with CompareID the same source column ID, else
  // source columns of the same name; then collation, its default flag and
  // direction.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void ResetReferences() override;
  // In a text index the column must be character or CLOB, elsewhere no
  // large object.
  void Validate() override;
  // Source column ID, collation, its default flag and direction after the
  // header; the checksum form has the source column's name and the
  // collation.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  TORVConfigObject* GetDependencyParentObject() override;

  // The cached column, else the column with the source ID, looked up in the
  // columns of the index list that holds the index (ORV_NOT_FOUND_ERROR when missing).
  virtual TORVColumn* GetSourceColumn();
  virtual void BlobColumnError();
  virtual void NonCharColumnError();

  // A new ID takes the column's collation (character and CLOB columns,
  // case-insensitive in a text index) as the default collation.
  void SetSourceColumn(TORVColumn* Value);
  int32_t GetSourceColumnID() const { return FSourceColumnID; }
  void SetSourceColumnID(int32_t Value) { FSourceColumnID = Value; }
  int32_t GetCollation() const { return FCollation; }
  // Only for a character or CLOB source column.
  void SetCollation(int32_t Value);
  bool GetDefaultCollation() const { return FDefaultCollation; }
  bool GetDescending() const { return FDescending; }
  void SetDescending(bool Value);
  // When ColumnToReset is the source column and its type or collation
  // changed: a column no longer character drops the collation, one still
  // character takes its current collation while the default holds.
  void ResetCollation(TORVColumn* ColumnToReset);
  // The key column's text of a CREATE INDEX statement.
  TORVString GetSQL();

 protected:
  // The index that holds this key column; nil outside an index.
  TORVIndex* OwnerIndex() const;

  TORVColumn* FSourceColumn = nullptr;
  int32_t FSourceColumnID = 0;
  int32_t FCollation = 0;
  bool FDefaultCollation = false;
  bool FDescending = false;
};

// The key columns of one index. A column may appear twice. The key size and
// the page size an index page needs to hold at least four keys follow
// every change of the members, every load and every validation.
class TORVIndexColumns : public TORVCatalogObjects {
 public:
  TORVIndexColumns() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;
  bool CheckForDuplicate(TORVConfigObject* /*NewObject*/, TORVConfigObject* /*Member*/) const override { return false; }
  TORVString GetCreateSQLSeparator() const override { return u", "; }
  void ObjectsChanged() override;
  // Also the key size and the required page size.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void Load(TORVMemoryStream& Stream) override;
  void Validate() override;

  TORVIndexColumn* GetIndexColumn(int32_t Index) const;
  // A text index: the word length in characters of the catalog's character
  // set plus 3; otherwise the key columns' index sizes added up.
  void CalculateKeySize();
  // Four keys of KeySize + 10 bytes and 11 bytes of page header, rounded up
  // to a multiple of 8.
  void CalculateRequiredPageSize();
  void SetupKeyInformation();
  int32_t GetKeySize() const { return FKeySize; }
  // Lets a rebuild set the key size; the required page size follows.
  void SetKeySize(int32_t Value);
  int32_t GetRequiredPageSize() const { return FRequiredPageSize; }

 private:
  TORVIndex* OwnerIndex() const;

  int32_t FKeySize = 0;
  int32_t FRequiredPageSize = 0;
};

// A normal index, a text index or the index of a key constraint. Links to
// the owner constraint, the filter type column and the word generator are
// looked up on first use and forgotten by ResetReferences; the word
// generator is named by ID in streams before 2.03 and by name after.
class TORVIndex : public TORVCatalogObject {
 public:
  TORVIndex();
  ~TORVIndex() override;

  TORVString GetTypeName() const override;
  void SetHidden(bool Value) override;
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void Reset() override;
  void ResetReferences() override;
  // Also type (with the unique-keys flag it implies), key columns, owner
  // constraint, text settings and word generator.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // Key columns, key and page sizes against the table's index page size,
  // and a text index's settings; the first failure raises
  // ORV_METADATA_ERROR.
  void Validate() override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // ORV_SYSTEM_OBJECT_ERROR for the index of a constraint: it is altered
  // and dropped with its constraint.
  void CheckSystemObject() override;
  int32_t GetConfigCharacterSet() override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;
  // Empty for the index of a constraint, which its constraint creates.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  void SetDependencies() override;
  TORVConfigObject* GetDependencyParentObject() override;
  void AddObjects(TORVConfigObjects& List) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;

  virtual void MinTextWordLengthError();
  virtual void MaxTextWordLengthError();
  virtual void TextFilterTypeColumnError();

  int32_t GetIndexType() const { return FIndexType; }
  void SetIndexType(int32_t Value);
  // A primary key keeps one entry per key; set with the type and again by
  // Validate.
  bool GetUniqueKeys() const { return FUniqueKeys; }
  int32_t GetTextWordLength() const { return FTextWordLength; }
  void SetTextWordLength(int32_t Value);
  TORVIndexColumns* GetIndexColumns() const { return FIndexColumns.get(); }
  // The constraint the index enforces (types 1 to 3): nil for a view's
  // index, and while the table is a maintenance copy for one it no longer
  // has; otherwise a missing constraint raises ORV_NOT_FOUND_ERROR.
  TORVConstraint* GetOwnerConstraint();
  int32_t GetOwnerConstraintID() const { return FOwnerConstraintID; }
  void SetOwnerConstraint(TORVConstraint* Value);
  void SetOwnerConstraintID(int32_t Value);
  // Nil when there is none; a missing column raises ORV_NOT_FOUND_ERROR.
  TORVColumn* GetTextFilterTypeColumn();
  int32_t GetTextFilterTypeColumnID() const { return FTextFilterTypeColumnID; }
  void SetTextFilterTypeColumn(TORVColumn* Value);
  // The recorded generator, else the configuration's "Default"; never
  // raises.
  TORVWordGenerator* GetWordGenerator();
  void SetWordGenerator(TORVWordGenerator* Value);
  int32_t GetWordGeneratorID() const { return FWordGeneratorID; }
  const TORVString& GetWordGeneratorName() const { return FWordGeneratorName; }
  // The indexes query execution builds on a result table.
  bool GetResultSetIndex() const;
  // The text filter the configuration registered for FilterType converts
  // the text; without one the text passes unchanged.
  void FilterText(const TORVString& FilterType, const TORVString& TextToFilter, TORVString& FilteredText);
  // The words of Value under the collation of key column 0, each cut to
  // the word length, each once.
  std::unique_ptr<TORVWordList> BuildWordList(const TORVString& Value, bool SearchWords);
  // Passed on to every key column.
  void ResetCollation(TORVColumn* ColumnToReset);
  // {asIndexAltered}, with asRebuildIndex when the key columns or a text
  // index's word settings differ from OldIndex's.
  TORVAlterStates GetAlterState(TORVIndex* OldIndex);
  // "INDEX" or "TEXT INDEX", name, table and key columns; with Extensions
  // also the description and the text settings.
  TORVString GetSQL(bool Extensions);
  bool GetAltered() const { return FAltered; }
  void SetAltered(bool Value) { FAltered = Value; }
  const TORVAlterStates& GetAlterStateFlags() const { return FAlterState; }
  void SetAlterStateFlags(const TORVAlterStates& Value) { FAlterState = Value; }
  // Set by the index file's verification when the index must be rebuilt
  // from the rows before it is used again.
  bool GetRequiresRebuild() const { return FRequiresRebuild; }
  void SetRequiresRebuild(bool Value) { FRequiresRebuild = Value; }

 private:
  // The table or view whose index list holds the index; nil outside one.
  TORVVirtualTable* OwnerTable() const;
  TORVColumns* OwnerColumns() const;
  bool WordGeneratorByName();
  // Words are split and filtered under the collation of the first key column.
  int32_t TextCollation() const;

  int32_t FIndexType = itIndex;
  bool FUniqueKeys = false;
  std::unique_ptr<TORVIndexColumns> FIndexColumns;
  TORVConstraint* FOwnerConstraint = nullptr;
  int32_t FOwnerConstraintID = 0;
  int32_t FTextWordLength = DefaultTextWordLength;
  int32_t FTextFilterTypeColumnID = 0;
  TORVColumn* FTextFilterTypeColumn = nullptr;
  int32_t FWordGeneratorID = 0;
  TORVString FWordGeneratorName;
  TORVWordGenerator* FWordGenerator = nullptr;
  bool FAltered = false;
  TORVAlterStates FAlterState;
  bool FRequiresRebuild = false;
  TORVString FAlterSQL;
};

// The indexes of one table, view or cursor, in creation order.
class TORVIndexes : public TORVCatalogObjects {
 public:
  TORVIndexes() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override;
  int32_t MaximumObjectsAllowed() const override { return 512; }
  // The column list in which the key columns' source columns are found:
  // the owning table's or view's; cursors supply theirs.
  virtual TORVColumns* GetColumns();

  TORVIndex* GetIndex(int32_t Index) const;
  // The position of the first index of that type, -1 when there is none.
  int32_t GetIndexNumberForType(int32_t IndexType) const;
  // The index (not a text index) that serves a condition on a column or a
  // row of columns: the one with the smallest key, the first of equals;
  // -1 when none serves.
  int32_t GetIndexNumberForToken(TORVExprToken* Token);
  // The first text index over the column or row of columns; -1 when none.
  int32_t GetTextIndexNumberForToken(TORVExprToken* Token);
  // The first text index whose first key is ColumnName of this table under
  // Collation; -1 when none. A column reached through a view that renames
  // it is looked up by its name here, not by the view's.
  int32_t GetTextIndexNumberForColumn(const TORVString& ColumnName, int32_t Collation);
};

// Only describes the ODBC statistics information table.
class TORVODBCStatistics : public TORVIndexes {};

// The information tables of indexes and their key columns.
const TORVConfigObjectsClass& IndexColumnsClass();
// The form of a table of key columns, whose first column names the table
// or view that owns the index.
TORVTableDescription IndexColumnsTableDescription(const char16_t* OwnerColumn);
const TORVConfigObjectsClass& IndexesClass();
const TORVConfigObjectsClass& ODBCStatisticsClass();

}  // namespace orv
