// Columns of tables, views, query results and cursors, and the column list
// that lays out the row buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvalterstate.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvtabledesc.h"
#include "catalog/orvtypedobject.h"

namespace orv {

class TORVComputedColumnExpr;
class TORVDefaultColumnExpr;
class TORVExprBuilder;
class TORVExprParser;
class TORVExprToken;
class TORVExprValidater;
class TORVGeneratedColumnExpr;
class TORVSelectedColumns;
class TORVVirtualTable;

// The row header that precedes the column slots of a row buffer; its bytes
// belong to the rows file.
inline constexpr int32_t RowHeaderSize = 17;
// The longest character or byte column, and the largest Decimal scale.
inline constexpr int32_t MaxColumnLength = 1024;
inline constexpr int32_t MaxColumnScale = 4;
// Collation bits that a column's collation carries above the locale.
inline constexpr int32_t CollationIgnoreCaseBit = 1 << 20;
inline constexpr int32_t CollationIgnoreAccentBit = 1 << 21;
inline constexpr int32_t CollationIgnoreKanaBit = 1 << 22;
inline constexpr int32_t CollationIgnoreWidthBit = 1 << 23;
// Catalog streams carry Generated with its expression above 1.00, the
// origin flags from 1.07, the NOT NULL error code and message from 2.04.
inline constexpr TORVCurrency ColumnGeneratedVersion = TORVCurrency::FromScaled(10000);
inline constexpr TORVCurrency ColumnOriginFlagsVersion = TORVCurrency::FromScaled(10700);
inline constexpr TORVCurrency ColumnErrorCodeVersion = TORVCurrency::FromScaled(20400);

// The slot a column takes in a row buffer: 9 bytes for a large object (the
// present flag, the first block number and the size), otherwise the present
// flag and Size bytes. A computed column takes none.
//
// The value source: generated (an expression on every write) and computed
// (an expression on every read) exclude each other and make the column
// read-only; each expression object exists exactly while its flag is set,
// with its reference lists. The referenced lists hold columns of the same
// collection (and functions) sorted by ID without duplicates once compiled.
class TORVColumn : public TORVTypedCatalogObject {
 public:
  TORVColumn();
  ~TORVColumn() override;

  TORVString GetTypeName() const override;
  // Also the type, the value source flags with their expressions and
  // lists, the compression, the origin and the referencing columns.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Definitions equal: type, NOT NULL rule, value source with the texts
  // of its expressions (trailing blanks and case ignored) and compression;
  // origin and positions are not compared.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // The name, then the type, length, scale, compression and identity rules
  // in order; the first failure raises the metadata error.
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  // "__RowID" is the system's.
  void CheckSystemObject() override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  // The quoted name and the definition.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  // Action 0 ADD COLUMN, 1 ALTER COLUMN to Target's definition (nothing
  // when the definitions are equal), 2 DROP COLUMN.
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  void SetHidden(bool Value) override;
  void SetReadOnly(bool Value) override;
  // The tables and views of the Default schema are the referrers.
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  // Through the compiled expressions' reference lists: a column or stored
  // function the column's expressions read gains this column as dependent,
  // follows a new ID, or is renamed inside the expression texts.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;

  // The definition after the name: type, collation, compression, value
  // source, NOT NULL with its error, and the description when asked.
  TORVString GetSQL(bool IncludeDescription);
  // What ALTER TABLE must do to turn OldColumn into this column: rebuild
  // rows for a changed storage form (type, length, size, scale, subtype,
  // generated or computed source, compression), check rows for a new NOT
  // NULL; a change that reaches the column's keys and indexes marks them.
  // Also decides FOldPosition.
  TORVAlterStates GetAlterState(TORVColumn* OldColumn);

  virtual void InvalidColumnTypeError();
  virtual void MinColumnLengthError();
  virtual void MaxColumnLengthError();
  virtual void MinColumnScaleError();
  virtual void MaxColumnScaleError();
  virtual void InvalidIdentityTypeError();
  virtual void InvalidIdentityDefaultError();
  virtual void InvalidIdentityRestartError();
  virtual void InvalidBlobCompressionError();
  virtual void InvalidGeneratedTypeError();
  virtual void InvalidGeneratedDefaultError();

  // Takes the type of a value (a select item, a described column): a zero
  // length or scale leaves the type's own.
  void SetTypeLike(int32_t DataType, int32_t SubType, int32_t Length, int32_t Scale, int32_t Collation);
  void SetIgnoreCase(bool Value) { SetCollationBit(CollationIgnoreCaseBit, Value); }
  void SetIgnoreAccent(bool Value) { SetCollationBit(CollationIgnoreAccentBit, Value); }
  void SetIgnoreKana(bool Value) { SetCollationBit(CollationIgnoreKanaBit, Value); }
  void SetIgnoreWidth(bool Value) { SetCollationBit(CollationIgnoreWidthBit, Value); }
  bool GetIgnoreCase() const { return (FCollation & CollationIgnoreCaseBit) != 0; }
  bool GetIgnoreAccent() const { return (FCollation & CollationIgnoreAccentBit) != 0; }
  bool GetIgnoreKana() const { return (FCollation & CollationIgnoreKanaBit) != 0; }
  bool GetIgnoreWidth() const { return (FCollation & CollationIgnoreWidthBit) != 0; }
  void SetRequired(bool Value);
  void SetErrorCode(int32_t Value);
  void SetErrorMessage(const TORVString& Value);
  // A computed column gets its expression and becomes read-only; it stops
  // being generated. Generated is the mirror image.
  void SetComputed(bool Value);
  void SetGenerated(bool Value);
  void SetDefaulted(bool Value);
  void SetIdentity(bool Value);
  void SetDefaultIdentity(bool Value);
  // An identity column counts from its seed in steps of its increment.
  void SetSeedValue(int32_t Value);
  void SetIncrementValue(int32_t Value);
  void SetBlobCompression(int32_t Value);
  // Kept when it differs other than in case.
  void SetOrigin(const TORVString& Value);
  void SetOriginUnique(bool Value) { FOriginUnique = Value; }
  void SetOriginKey(bool Value) { FOriginKey = Value; }
  int32_t GetOriginPosition() const { return FOriginPosition; }
  void SetOriginPosition(int32_t Value) { FOriginPosition = Value; }
  // Live only during an ALTER TABLE, never stored: the column's position
  // before it (-1 for a column that is new or must be recomputed), and
  // whether its identity sequence starts over (identity columns only).
  int32_t GetOldPosition() const { return FOldPosition; }
  void SetOldPosition(int32_t Value) { FOldPosition = Value; }
  bool GetAlterRestartIdentity() const { return FAlterRestartIdentity; }
  void SetAlterRestartIdentity(bool Value);
  int32_t GetLastValue() const { return FLastValue; }
  void SetLastValue(int32_t Value) { FLastValue = Value; }

  int32_t GetRowOffset() const { return FRowOffset; }
  void SetRowOffset(int32_t Value) { FRowOffset = Value; }
  bool GetRequired() const { return FRequired; }
  int32_t GetErrorCode() const { return FErrorCode; }
  const TORVString& GetErrorMessage() const { return FErrorMessage; }
  bool GetComputed() const { return FComputed; }
  bool GetGenerated() const { return FGenerated; }
  bool GetDefaulted() const { return FDefaulted; }
  bool GetIdentity() const { return FIdentity; }
  bool GetDefaultIdentity() const { return FDefaultIdentity; }
  int32_t GetSeedValue() const { return FSeedValue; }
  int32_t GetIncrementValue() const { return FIncrementValue; }
  int32_t GetBlobCompression() const { return FBlobCompression; }
  const TORVString& GetOrigin() const { return FOrigin; }
  bool GetOriginUnique() const { return FOriginUnique; }
  bool GetOriginKey() const { return FOriginKey; }
  // Nil unless the column is computed, generated or defaulted.
  TORVComputedColumnExpr* GetComputeExpr() const { return FComputeExpr.get(); }
  TORVGeneratedColumnExpr* GetGenerateExpr() const { return FGenerateExpr.get(); }
  TORVDefaultColumnExpr* GetDefaultExpr() const { return FDefaultExpr.get(); }
  // The bytes the column takes in a row buffer and in an index key.
  int32_t GetRowsetSize() const;
  int32_t GetIndexSize() const { return FSize + 1; }
  // The computed or generated columns of the same table that read this one.
  bool GetHasReferencingColumns() const;
  TORVSelectedColumns* GetReferencingColumns();
  // What the generated or computed expression reads and calls; nil unless
  // the column is generated or computed.
  TORVSelectedColumns* GetReferencedColumns() const { return FReferencedColumns.get(); }
  TORVSelectedConfigObjects* GetReferencedFunctions() const { return FReferencedFunctions.get(); }
  bool GetReferencesFunctions() const { return FReferencesFunctions; }
  // What the default expression reads and calls; nil unless defaulted.
  TORVSelectedColumns* GetReferencedDefaultColumns() const { return FReferencedDefaultColumns.get(); }
  TORVSelectedConfigObjects* GetReferencedDefaultFunctions() const { return FReferencedDefaultFunctions.get(); }

  // The column of a base table this view or result column comes from,
  // following the origins across tables, views and databases; a column
  // without origin is its own. A walk longer than the catalog has tables
  // and views is a loop in the stored origins and raises the metadata
  // error instead of hanging.
  TORVColumn* GetBaseColumn();
  // Whether the base column this column comes from is in its table's
  // primary key or in a unique constraint (the first such constraint
  // decides); both flags are cleared for a column without a base table.
  void SetOriginConstraintInfo(TORVVirtualTable* TableToUse);

  // What the compiling expressions report.
  void ColumnFound(TORVExprToken* Token);
  void FunctionFound(TORVExprToken* Token);
  void DefaultColumnFound(TORVExprToken* Token);
  void DefaultFunctionFound(TORVExprToken* Token);
  void SetupExpressionReferences();
  void ClearExpressionReferences();
  void SetupDefaultExpressionReferences();
  void ClearDefaultExpressionReferences();

 private:
  void SetCollationBit(int32_t Bit, bool Value);
  // The collection's column at Token's position, other than this one.
  TORVColumn* FoundColumn(TORVExprToken* Token);
  void FoundFunction(TORVExprToken* Token, TORVSelectedConfigObjects& Functions);
  void MakeExpressionLists();
  void FreeExpressionLists();
  void MakeDefaultLists();
  void FreeDefaultLists();

  int32_t FRowOffset = 0;
  bool FRequired = false;
  int32_t FErrorCode = 0;
  TORVString FErrorMessage;
  bool FGenerated = false;
  std::unique_ptr<TORVGeneratedColumnExpr> FGenerateExpr;
  bool FIdentity = false;
  bool FDefaultIdentity = false;
  int32_t FSeedValue = 0;
  int32_t FIncrementValue = 1;
  bool FComputed = false;
  std::unique_ptr<TORVComputedColumnExpr> FComputeExpr;
  std::unique_ptr<TORVSelectedColumns> FReferencedColumns;
  std::unique_ptr<TORVSelectedColumns> FReferencingColumns;
  bool FReferencesFunctions = false;
  std::unique_ptr<TORVSelectedConfigObjects> FReferencedFunctions;
  bool FDefaulted = false;
  std::unique_ptr<TORVDefaultColumnExpr> FDefaultExpr;
  std::unique_ptr<TORVSelectedColumns> FReferencedDefaultColumns;
  std::unique_ptr<TORVSelectedConfigObjects> FReferencedDefaultFunctions;
  int32_t FBlobCompression = 0;
  TORVString FOrigin;
  bool FOriginUnique = false;
  bool FOriginKey = false;
  int32_t FOriginPosition = 0;
  int32_t FOldPosition = -1;
  bool FAlterRestartIdentity = false;
  int32_t FLastValue = 0;
  TORVString FAlterSQL;
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
  // A derived table's columns name the table as the query wrote it.
  TORVString GetParentName() const override;
  TORVConfigObject* CreateObject() override;
  void ObjectsChanged() override;
  int32_t MaximumObjectsAllowed() const override { return 2048; }
  // Each also lays the row out again.
  void Validate() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void Load(TORVMemoryStream& Stream) override;
  // Also links every read column to the generated and computed columns
  // that read it.
  void Compile() override;

  // Lays the row out again and rebuilds the lists of large-object,
  // required, generated, identity, computed and defaulted columns; owners
  // that change a member's type after adding it call this.
  void SetupColumnInformation();
  void SetupReferencingColumns();
  TORVColumn* GetColumn(int32_t Index) const;
  int32_t GetRowsetRowSize() const { return FRowsetRowSize; }
  // The derived lists in column order, made on first use.
  bool GetHasBlobColumns() const { return HasMembers(FBlobColumns); }
  bool GetHasRequiredColumns() const { return HasMembers(FRequiredColumns); }
  bool GetHasGeneratedColumns() const { return HasMembers(FGeneratedColumns); }
  bool GetHasIdentityColumns() const { return HasMembers(FIdentityColumns); }
  bool GetHasComputedColumns() const { return HasMembers(FComputedColumns); }
  bool GetHasDefaultColumns() const { return HasMembers(FDefaultColumns); }
  TORVSelectedColumns* GetBlobColumns() { return Derived(FBlobColumns); }
  TORVSelectedColumns* GetRequiredColumns() { return Derived(FRequiredColumns); }
  TORVSelectedColumns* GetGeneratedColumns() { return Derived(FGeneratedColumns); }
  TORVSelectedColumns* GetIdentityColumns() { return Derived(FIdentityColumns); }
  TORVSelectedColumns* GetComputedColumns() { return Derived(FComputedColumns); }
  TORVSelectedColumns* GetDefaultColumns() { return Derived(FDefaultColumns); }
  // The compiler a list outside any catalog (a client cursor's) compiles
  // its column expressions with; not owned.
  TORVExprParser* GetParser() const { return FParser; }
  void SetParser(TORVExprParser* Value) { FParser = Value; }
  TORVExprValidater* GetValidater() const { return FValidater; }
  void SetValidater(TORVExprValidater* Value) { FValidater = Value; }
  TORVExprBuilder* GetBuilder() const { return FBuilder; }
  void SetBuilder(TORVExprBuilder* Value) { FBuilder = Value; }

 protected:
  explicit TORVColumns(bool OwnsObjects);

 private:
  static bool HasMembers(const std::unique_ptr<TORVSelectedColumns>& List);
  TORVSelectedColumns* Derived(std::unique_ptr<TORVSelectedColumns>& List);

  std::unique_ptr<TORVSelectedColumns> FBlobColumns;
  std::unique_ptr<TORVSelectedColumns> FRequiredColumns;
  std::unique_ptr<TORVSelectedColumns> FGeneratedColumns;
  std::unique_ptr<TORVSelectedColumns> FIdentityColumns;
  std::unique_ptr<TORVSelectedColumns> FComputedColumns;
  std::unique_ptr<TORVSelectedColumns> FDefaultColumns;
  int32_t FRowsetRowSize = RowHeaderSize;
  TORVExprParser* FParser = nullptr;
  TORVExprValidater* FValidater = nullptr;
  TORVExprBuilder* FBuilder = nullptr;
};

// A non-owning list of columns of other lists.
class TORVSelectedColumns : public TORVSelectedConfigObjects {
 public:
  TORVSelectedColumns() = default;

  TORVString GetTypeName() const override;
  TORVColumn* GetColumn(int32_t Index) const;
};

// Only describe the ODBC column information tables; the database manager
// fills the first and leaves the other two empty.
class TORVODBCColumns : public TORVCatalogObjects {
 public:
  TORVODBCColumns() : TORVCatalogObjects(true) {}
};

class TORVODBCSpecialColumns : public TORVCatalogObjects {
 public:
  TORVODBCSpecialColumns() : TORVCatalogObjects(true) {}
};

class TORVODBCColumnPrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

const TORVConfigObjectsClass& TableColumnsClass();
const TORVConfigObjectsClass& ODBCColumnsClass();
const TORVConfigObjectsClass& ODBCSpecialColumnsClass();
const TORVConfigObjectsClass& ODBCColumnPrivilegesClass();

}  // namespace orv
