// The constraints of a base table: primary, unique and foreign keys and
// check constraints, their constrained columns, the referenced columns and
// key of a foreign key, and the reverse links a referenced key keeps to the
// foreign keys that point at it.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvalterstate.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvcolumnref.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvroutine.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVBaseTable;
class TORVColumn;
class TORVConstraint;
class TORVIndex;
class TORVSchema;

// Constraint types; persisted.
inline constexpr int32_t ctPrimaryKey = 1;
inline constexpr int32_t ctForeignKey = 2;
inline constexpr int32_t ctUnique = 3;
inline constexpr int32_t ctCheck = 4;

// Referential actions of a foreign key; persisted. Only No Action and
// Restrict are enforced; the others are kept for their text.
inline constexpr int32_t caNoAction = 0;
inline constexpr int32_t caCascade = 1;
inline constexpr int32_t caSetNull = 2;
inline constexpr int32_t caSetDefault = 3;
inline constexpr int32_t caRestrict = 4;

// The name and column of the hidden primary key every base table has until
// a primary key of its own replaces it.
inline constexpr char16_t SystemPrimaryKeyName[] = u"__PrimaryKey";

// One constrained column, in key order.
class TORVConstraintColumn : public TORVColumnReference {
 public:
  TORVString GetTypeName() const override { return u"constraint column"; }
  // A large-object column cannot be constrained.
  void Validate() override;

  [[noreturn]] virtual void BlobColumnError();

  // The owning table's column with the ID.
  TORVColumn* GetColumn() { return ResolveColumn(); }
  void SetColumn(TORVColumn* Value) { StoreColumn(Value); }
  int32_t GetColumnID() const { return FColumnID; }

 protected:
  TORVVirtualTable* ReferencedTable() const override;
};

class TORVConstraintColumns : public TORVColumnReferences<TORVConstraintColumn> {
 public:
  TORVConstraintColumn* GetConstraintColumn(int32_t Index) const { return GetMember(Index); }
};

// One referenced column of a foreign key, paired by position with the
// constraint column of the same index.
class TORVTargetTableColumn : public TORVColumnReference {
 public:
  TORVString GetTypeName() const override { return u"constraint column"; }
  // Only the constrained columns make the key depend on a column.
  void AddDependenciesToObject(TORVConfigObject* /*Obj*/) override {}

  // The target table's column with the ID.
  TORVColumn* GetTargetColumn() { return ResolveColumn(); }
  void SetTargetColumn(TORVColumn* Value) { StoreColumn(Value); }
  int32_t GetTargetColumnID() const { return FColumnID; }

 protected:
  TORVVirtualTable* ReferencedTable() const override;
};

class TORVTargetTableColumns : public TORVColumnReferences<TORVTargetTableColumn> {
 public:
  TORVTargetTableColumn* GetTargetTableColumn(int32_t Index) const { return GetMember(Index); }
};

// A reverse link of a primary or unique key: the table and the foreign key
// of that table that reference the key.
class TORVSourceConstraint : public TORVCatalogObject {
 public:
  TORVString GetTypeName() const override { return u"source constraint"; }
  bool GetNameRequired() const override { return false; }
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  // The schema of the table that owns the referenced key.
  TORVSchema* GetSourceSchema() const;
  // By ID among the schema's tables; a table under maintenance gives its
  // working copy among the temporary tables.
  TORVBaseTable* GetSourceTable();
  void SetSourceTable(TORVBaseTable* Value);
  int32_t GetSourceTableID() const { return FSourceTableID; }
  void SetSourceTableID(int32_t Value);
  TORVConstraint* GetSourceTableConstraint();
  void SetSourceTableConstraint(TORVConstraint* Value);
  int32_t GetSourceTableConstraintID() const { return FSourceTableConstraintID; }
  // A link made before its table had an ID points at Value.
  void CheckSourceTable(int32_t Value);

 protected:
  TORVConstraint* OwnerConstraint() const;

  TORVBaseTable* FSourceTable = nullptr;
  int32_t FSourceTableID = 0;
  TORVConstraint* FSourceTableConstraint = nullptr;
  int32_t FSourceTableConstraintID = 0;
};

class TORVSourceConstraints : public TORVCatalogObjects {
 public:
  TORVSourceConstraints() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override { return u"source constraint"; }
  TORVConfigObject* CreateObject() override { return new TORVSourceConstraint(); }
  bool CheckForDuplicate(TORVConfigObject* /*NewObject*/, TORVConfigObject* /*Member*/) const override { return false; }
  // Also drops the links whose foreign key is gone or no longer targets the
  // owning key. The catalog's modified flag is left as it was: the key is
  // validated while a statement adds it, and the statement's own changes
  // must still be written.
  void Validate() override;

  TORVSourceConstraint* GetSourceConstraint(int32_t Index) const {
    return static_cast<TORVSourceConstraint*>(FObjects[Index]);
  }
};

// The expression of a check constraint; a bare column name means a column
// of the owning table.
class TORVCheckExpr : public TORVCatalogExpr {
 public:
  explicit TORVCheckExpr(TORVConstraint* Constraint);

  TORVString GetTypeName() const override;
  TORVVirtualTable* DefaultTable() override;
  void DefaultSchemaName(TORVExprToken* Token, TORVString& Name) override;
  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;
  void ExpressionCompiled() override;
  void ExpressionDecompiled() override;
  void ColumnFound(TORVExprToken* Token) override;
  void FunctionFound(TORVExprToken* Token) override;

 private:
  TORVConstraint* FConstraint;
};

// A key, foreign key or check constraint. The sub-objects a type needs are
// made when the type is set; those of an earlier type stay until Assign,
// Load or destruction. Links to the enforcing index, the target table and
// the target key are looked up by ID on first use and forgotten by
// ResetReferences.
class TORVConstraint : public TORVCatalogObject {
 public:
  TORVConstraint();
  ~TORVConstraint() override;

  TORVString GetTypeName() const override { return u"constraint"; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void SetHidden(bool Value) override;
  void Reset() override;
  void ResetReferences() override;
  void Validate() override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // Two primary keys are always the same object.
  bool Same(TORVConfigObject* ObjectToCompare) override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void Compile() override;
  void Decompile() override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  void SetDependencies() override;
  TORVConfigObject* GetDependencyParentObject() override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;

  // What ALTER CONSTRAINT from OldConstraint to this definition implies;
  // sets Altered.
  TORVAlterStates GetAlterState(TORVConstraint* OldConstraint);

  [[noreturn]] virtual void ConstraintTypeError();
  [[noreturn]] virtual void ConstraintActionError();

  // The type text of the table (upper-cased, the clause), or with the flag
  // the description too.
  TORVString GetSQL(bool IncludeDescription);

  int32_t GetConstraintType() const { return FConstraintType; }
  void SetConstraintType(int32_t Value);
  void CheckConstraintTypeAlter(int32_t NewConstraintType);
  TORVString GetConstraintTypeName() const;
  TORVString GetCreateConstraintTypeName() const;
  static TORVString GetCreateActionName(int32_t Action);

  // The base table that owns the constraint; nil outside one.
  TORVBaseTable* GetOwnerTable() const;
  TORVSchema* GetTargetSchema() const;
  TORVConstraintColumns* GetConstraintColumns() const { return FConstraintColumns.get(); }
  TORVIndex* GetEnforcingIndex();
  void SetEnforcingIndex(TORVIndex* Value);
  int32_t GetEnforcingIndexID() const { return FEnforcingIndexID; }
  bool GetEnforcingIndexSet() const { return FEnforcingIndexID != 0; }
  TORVBaseTable* GetTargetTable();
  void SetTargetTable(TORVBaseTable* Value);
  int32_t GetTargetTableID() const { return FTargetTableID; }
  // A foreign key made before its table had an ID references its own table.
  void CheckTargetTable(int32_t Value);
  TORVTargetTableColumns* GetTargetTableColumns() const { return FTargetTableColumns.get(); }
  TORVConstraint* GetTargetTableConstraint();
  void SetTargetTableConstraint(TORVConstraint* Value);
  int32_t GetTargetTableConstraintID() const { return FTargetTableConstraintID; }
  TORVSourceConstraints* GetSourceConstraints() const { return FSourceConstraints.get(); }
  // Frees the first link to Value; the ID-not-found error when none.
  void RemoveSourceConstraint(TORVConstraint* Value);
  int32_t GetUpdateAction() const { return FUpdateAction; }
  void SetUpdateAction(int32_t Value);
  int32_t GetDeleteAction() const { return FDeleteAction; }
  void SetDeleteAction(int32_t Value);
  TORVCheckExpr* GetCheckExpr() const { return FCheckExpr.get(); }
  TORVSelectedColumns* GetReferencedCheckColumns() const { return FReferencedCheckColumns.get(); }
  TORVSelectedFunctions* GetReferencedCheckFunctions() const { return FReferencedCheckFunctions.get(); }
  int32_t GetErrorCode() const { return FErrorCode; }
  void SetErrorCode(int32_t Value);
  const TORVString& GetErrorMessage() const { return FErrorMessage; }
  void SetErrorMessage(const TORVString& Value);
  bool GetAltered() const { return FAltered; }
  void SetAltered(bool Value) { FAltered = Value; }

 private:
  // Frees what Type does not use (the constraint columns survive between
  // the key types) and makes what it needs.
  void AdjustSubObjects(int32_t Type, bool FreeUnused);
  void PassFlag(void (TORVConfigObject::*Setter)(bool), bool Value);

  int32_t FConstraintType = 0;
  std::unique_ptr<TORVConstraintColumns> FConstraintColumns;
  TORVIndex* FEnforcingIndex = nullptr;
  int32_t FEnforcingIndexID = 0;
  TORVBaseTable* FTargetTable = nullptr;
  int32_t FTargetTableID = 0;
  std::unique_ptr<TORVTargetTableColumns> FTargetTableColumns;
  TORVConstraint* FTargetTableConstraint = nullptr;
  int32_t FTargetTableConstraintID = 0;
  std::unique_ptr<TORVSourceConstraints> FSourceConstraints;
  int32_t FUpdateAction = caNoAction;
  int32_t FDeleteAction = caNoAction;
  std::unique_ptr<TORVCheckExpr> FCheckExpr;
  std::unique_ptr<TORVSelectedColumns> FReferencedCheckColumns;
  std::unique_ptr<TORVSelectedFunctions> FReferencedCheckFunctions;
  int32_t FErrorCode = 0;
  TORVString FErrorMessage;
  bool FAltered = false;
  TORVString FAlterSQL;
};

// The constraints of one base table, in creation order. A table has at
// most one primary key, whatever its name.
class TORVConstraints : public TORVCatalogObjects {
 public:
  TORVConstraints() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override { return u"constraint"; }
  TORVConfigObject* CreateObject() override { return new TORVConstraint(); }
  bool CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const override;

  TORVConstraint* GetConstraint(int32_t Index) const { return static_cast<TORVConstraint*>(FObjects[Index]); }
};

// The constraint lists behind the ODBC catalog tables of keys.
class TORVODBCPrimaryKeys : public TORVConstraints {};
class TORVODBCForeignKeys : public TORVConstraints {};

// The information tables: "Constraints", "ConstraintColumns",
// "SQLPrimaryKeys" and "SQLForeignKeys".
const TORVConfigObjectsClass& ConstraintsClass();
const TORVConfigObjectsClass& ConstraintColumnsClass();
const TORVConfigObjectsClass& ODBCPrimaryKeysClass();
const TORVConfigObjectsClass& ODBCForeignKeysClass();

}  // namespace orv
