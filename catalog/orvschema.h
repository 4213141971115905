// Schemas: the named groups of a catalog's tables, views and routines, and
// the collections the name lookups of the catalog walk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvselection.h"
#include "catalog/orvtable.h"

namespace orv {

class TORVFunction;
class TORVFunctions;
class TORVProcedure;
class TORVProcedures;
class TORVReferencedTables;
class TORVRoutines;
class TORVSchema;

class TORVView;

// The query of a view; its owner is the view. Compiling it derives the
// view's columns.
class TORVViewDefinition : public TORVCatalogQuery {
 public:
  explicit TORVViewDefinition(TORVView* Owner);

  // The view's name and "view".
  TORVString GetTypeName() const override;
  // A derived table's tree belongs to its statement.
  bool GetOwnsTokens() const override;
  void ExpressionCompiled() override;
  void ExpressionDecompiled() override;
  void TableFound(TORVExprToken* Token) override;
  void FunctionFound(TORVExprToken* Token) override;

 protected:
  TORVView* FView;
};

// A view of a schema, or (temporary) the derived table of a statement. Its
// columns are derived from its query and stored with it, so that the
// catalog describes the view without compiling it. It is updateable
// exactly when its query is answered live on one base table; only a
// read-only view takes indexes.
class TORVView : public TORVVirtualTable {
 public:
  explicit TORVView(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr,
                    TORVCatalog* OwnerCatalog = nullptr);
  ~TORVView() override;

  // "derived table" when temporary, else "view".
  TORVString GetTypeName() const override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // After the table's fields: the query text, WITH CHECK OPTION and the
  // updateable flag.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  void Compile() override;
  void Decompile() override;
  void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  int32_t GetMemorySize() override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;

  // An updateable view refuses indexes (IndexableError).
  void CheckIndexable() override;
  [[noreturn]] virtual void IndexableError();

  // "VIEW", the quoted name, " AS" and the query; with IncludeExtensions
  // the WITH CHECK OPTION, description, version and attributes lines.
  TORVString GetSQL(bool IncludeExtensions);
  void GetExtensionsAlterSQL(TORVView* NewView, TORVString& SQL);
  void SetupExpressionReferences();
  void ClearExpressionReferences();
  // After a compile: the columns, updateable flag and origin positions
  // follow the query; stored columns that still fit it are kept.
  void DeriveColumns();
  // Copies the view's indexes onto ResultTable, the result table of a
  // read-only view.
  void CreateResultTableIndexes(TORVBaseTable* ResultTable);
  void TableFound(TORVExprToken* Token);
  void FunctionFound(TORVExprToken* Token);

  TORVViewDefinition& GetDefinition() const { return *FDefinition; }
  bool GetWithCheck() const { return FWithCheck; }
  void SetWithCheck(bool Value);
  bool GetUpdateable() const { return FUpdateable; }
  void SetUpdateable(bool Value);
  TORVSelectedConfigObjects& GetReferencedTables() const { return *FReferencedTables; }
  TORVSelectedConfigObjects& GetReferencedFunctions() const { return *FReferencedFunctions; }
 protected:
  // A derived table: its tree belongs to the statement that holds it.
  bool IsDerived() const { return FTemporary; }
  // The selection that lists Obj's kind (tables and views, or functions);
  // nil for any other object.
  TORVSelectedConfigObjects* ReferencesOfKind(TORVConfigObject* Obj) const;
  // The stored columns and updateable flag still describe Query.
  bool ColumnsFit(TORVExprToken* Query, bool Live);

  std::unique_ptr<TORVViewDefinition> FDefinition;
  bool FWithCheck = false;
  bool FUpdateable = false;
  std::unique_ptr<TORVSelectedConfigObjects> FReferencedTables;
  std::unique_ptr<TORVSelectedConfigObjects> FReferencedFunctions;
  TORVString FAlterSQL;
};

// Runs Check unless Checking is set, with Checking set meanwhile: two
// collections that share a name space ask each other once, not back.
void CheckDuplicatesOnce(bool& Checking, const std::function<void()>& Check);
// Asks each of the schema's tables, temporary tables, views and derived
// tables other than List to check NewObject's name; List's parent is the
// schema (nothing happens outside one).
void CheckSchemaTableNames(TORVConfigObjects* List, TORVConfigObject* NewObject);

// The common base of a schema's tables and its views: a new member needs
// room in the schema's table and view list first, and that list follows
// every change.
class TORVTableAndViewObjects : public TORVPrivilegedCatalogObjects {
 public:
  using TORVPrivilegedCatalogObjects::TORVPrivilegedCatalogObjects;

  void Add(TORVConfigObject* NewObject) override;
  void Insert(int32_t InsertPos, TORVConfigObject* NewObject) override;
  void ObjectsChanged() override;
};

// A schema's tables. A new table's name is checked against the tables and
// then against the schema's temporary tables, views and derived tables.
class TORVBaseTables : public TORVTableAndViewObjects {
 public:
  using TORVTableAndViewObjects::TORVTableAndViewObjects;

  TORVString GetTypeName() const override { return u"table"; }
  TORVConfigObject* CreateObject() override { return new TORVBaseTable(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVBaseTable(FConfig, OwnerUser); }
  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  TORVBaseTable* GetTable(int32_t Index) const { return static_cast<TORVBaseTable*>(GetObjects(Index)); }
  // A new publish ID for every published member, so that a restored
  // database is not taken for the one it was copied from.
  void ResetPublishIDs();

 protected:
  bool FCheckingDuplicates = false;
};

// The temporary tables of a schema's sessions and the working copies that
// ALTER and its kind rebuild a table in. They live only in memory, so no
// change marks the catalog modified, and they take no room in the
// schema's table and view list. A working copy keeps its table's name and
// is exempt from the name check; any other member shares the name space
// of the schema's tables, views and derived tables.
class TORVTemporaryTables : public TORVPrivilegedCatalogObjects {
 public:
  using TORVPrivilegedCatalogObjects::TORVPrivilegedCatalogObjects;

  TORVString GetTypeName() const override { return u"temporary table"; }
  void SetModified(bool /*Value*/) override {}
  TORVConfigObject* CreateObject() override { return new TORVBaseTable(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVBaseTable(FConfig, OwnerUser); }
  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  // A working copy is no duplicate of anything, as CheckForDuplicateObject
  // lets it in.
  bool CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const override;
  TORVBaseTable* GetTable(int32_t Index) const { return static_cast<TORVBaseTable*>(GetObjects(Index)); }

 protected:
  bool FCheckingDuplicates = false;
};

// A schema's views. A new view's name is checked against the views and
// then against the schema's tables, temporary tables and derived tables:
// they share one name space.
class TORVViews : public TORVTableAndViewObjects {
 public:
  using TORVTableAndViewObjects::TORVTableAndViewObjects;

  TORVString GetTypeName() const override { return u"view"; }
  TORVConfigObject* CreateObject() override { return new TORVView(FConfig, nullptr, GetCatalog()); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override {
    return new TORVView(FConfig, OwnerUser, GetCatalog());
  }
  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  TORVView* GetView(int32_t Index) const { return static_cast<TORVView*>(GetObjects(Index)); }

 protected:
  bool FCheckingDuplicates = false;
};

// The derived tables of the statements running on a schema: never saved,
// so their changes mark nothing, and a duplicate is reported without the
// schema.
class TORVTemporaryViews : public TORVViews {
 public:
  using TORVViews::TORVViews;

  TORVString GetTypeName() const override { return u"derived table"; }
  void SetModified(bool /*Value*/) override {}
  [[noreturn]] void DuplicateObjectError(TORVConfigObject* Member) override;
};

// The objects of a schema that scripts and comparisons walk: its base
// tables, views, functions and procedures, in that order.
class TORVSchemaObjects : public TORVSelectedConfigObjects {
 public:
  TORVSchemaObjects(TORVConfig* OwnerConfig, TORVSchema* OwnerSchema)
      : TORVSelectedConfigObjects(OwnerConfig), FSchema(OwnerSchema) {}

  void SelectObjects() override;
  // A new, empty member of the schema's collection of Object's kind, owned
  // by Object's owner and not yet added; nil for any other object.
  TORVConfigObject* CopyObject(TORVConfigObject* Object) override;

 private:
  TORVSchema* FSchema;
};

class TORVSchemaDifference : public TORVConfigObjectsDifference {};

// Only describe the information tables of views' columns, indexes, index
// columns and privileges.
class TORVViewColumns : public TORVColumns {};

class TORVViewIndexes : public TORVIndexes {};

class TORVViewIndexColumns : public TORVIndexes {};

class TORVViewPrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

// Streams its base fields, then its base tables, views, procedures and
// functions. Temporary tables and the temporary views of derived tables
// live only in memory; FRoutines lists the procedures and functions (not
// owned) and is rebuilt whenever either collection changes, FVirtualTables
// the tables and then the views (at most 4096, checked before a table or
// view is added). FBatchTables and FTransactionTables refer to the tables
// of a running batch update or transaction: write and transaction locks
// and the transaction count reach them after the schema, and are released
// from them first.
class TORVSchema : public TORVCatalogBound<TORVPrivilegedConfigObject> {
 public:
  explicit TORVSchema(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr);
  ~TORVSchema() override;

  TORVString GetTypeName() const override { return u"schema"; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void Reset() override;
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // A transaction table that refuses its lock leaves the schema and the
  // tables before it unlocked again.
  void Lock(TORVLockType LockType) override;
  void Unlock(TORVLockType LockType) override;
  void IncTransactionLockCount() override;
  void DecTransactionLockCount() override;
  void StartTransaction() override;
  void EndTransaction() override;

  // Every base table, then every view; the limit is checked after the
  // refill (a loaded schema may hold exactly 4096).
  void RefreshVirtualTables();
  // ORV_MAXIMUM_ERROR when no further table or view fits; nothing changes.
  void CheckVirtualTableRoom();
  TORVVirtualTables& GetVirtualTables() const { return *FVirtualTables; }
  TORVReferencedTables& GetBatchTables() const { return *FBatchTables; }
  TORVReferencedTables& GetTransactionTables() const { return *FTransactionTables; }
  TORVBaseTables& GetBaseTables() const { return *FBaseTables; }
  TORVTemporaryTables& GetTemporaryTables() const { return *FTemporaryTables; }
  TORVViews& GetViews() const { return *FViews; }
  TORVViews& GetTemporaryViews() const { return *FTemporaryViews; }
  TORVRoutines& GetRoutines() const { return *FRoutines; }
  TORVProcedures& GetProcedures() const { return *FProcedures; }
  TORVFunctions& GetFunctions() const { return *FFunctions; }
  // The selection forgets its members whenever the schema forgets its
  // references, so that it is built afresh.
  TORVSchemaObjects& GetSchemaObjects() const { return *FSchemaObjects; }
  TORVSchemaDifference& GetSchemaDifference() const { return *FSchemaDifference; }
  // Every function, then every procedure.
  void RefreshRoutines();
  // The collections of objects users create and own (tables, views and
  // routines), in the order the dependency walks visit them.
  std::vector<TORVConfigObjects*> GetUserObjectLists() const;

  // The base table of that name; nil, or with RaiseException the
  // not-found error.
  TORVBaseTable* FindBaseTable(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException);
  // The table or view of that name (tables first); nil, or with
  // RaiseException the not-found error of the tables.
  TORVVirtualTable* FindVirtualTable(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException);
  TORVProcedure* FindProcedure(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException);
  TORVFunction* FindFunction(const TORVString& Name, TORVUser* EffectiveUser, bool RaiseException);

 private:
  std::unique_ptr<TORVVirtualTables> FVirtualTables;
  std::unique_ptr<TORVBaseTables> FBaseTables;
  std::unique_ptr<TORVTemporaryTables> FTemporaryTables;
  std::unique_ptr<TORVReferencedTables> FBatchTables;
  std::unique_ptr<TORVReferencedTables> FTransactionTables;
  std::unique_ptr<TORVViews> FViews;
  std::unique_ptr<TORVViews> FTemporaryViews;
  std::unique_ptr<TORVRoutines> FRoutines;
  std::unique_ptr<TORVProcedures> FProcedures;
  std::unique_ptr<TORVFunctions> FFunctions;
  // After the collections: the difference's copies belong to them until
  // it frees them.
  std::unique_ptr<TORVSchemaObjects> FSchemaObjects;
  std::unique_ptr<TORVSchemaDifference> FSchemaDifference;
};

class TORVSchemas : public TORVPrivilegedCatalogObjects {
 public:
  using TORVPrivilegedCatalogObjects::TORVPrivilegedCatalogObjects;

  TORVString GetTypeName() const override { return u"schema"; }
  TORVConfigObject* CreateObject() override { return new TORVSchema(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVSchema(FConfig, OwnerUser); }
  TORVSchema* GetSchema(int32_t Index) const { return static_cast<TORVSchema*>(GetObjects(Index)); }
};

const TORVConfigObjectsClass& SchemasClass();
// "SchemaObjects" and "SchemaDifference", described as every selection and
// difference is.
const TORVConfigObjectsClass& SchemaObjectsClass();
const TORVConfigObjectsClass& SchemaDifferenceClass();
const TORVConfigObjectsClass& ViewsClass();
const TORVConfigObjectsClass& ViewColumnsClass();
const TORVConfigObjectsClass& ViewIndexesClass();
const TORVConfigObjectsClass& ViewIndexColumnsClass();
const TORVConfigObjectsClass& ViewPrivilegesClass();
const TORVConfigObjectsClass& TemporaryViewsClass();

}  // namespace orv
