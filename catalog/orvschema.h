// Schemas: the named groups of a catalog's tables, views and routines, and
// the collections the name lookups of the catalog walk.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvtable.h"

namespace orv {

class TORVFunction;
class TORVFunctions;
class TORVProcedure;
class TORVProcedures;
class TORVRoutines;

// A view of a schema; its columns are those its definition yields.
class TORVView : public TORVVirtualTable {
 public:
  using TORVVirtualTable::TORVVirtualTable;

  TORVString GetTypeName() const override { return u"view"; }
};

// The schema collections: privileged, so that a lookup with an effective
// user treats what the user may not see as missing.
class TORVSchemaObjects : public TORVCatalogBound<TORVPrivilegedConfigObjects> {
 public:
  explicit TORVSchemaObjects(TORVConfig* OwnerConfig, bool OwnsObjects = true)
      : TORVCatalogBound<TORVPrivilegedConfigObjects>(OwnsObjects, OwnerConfig) {}
};

class TORVBaseTables : public TORVSchemaObjects {
 public:
  using TORVSchemaObjects::TORVSchemaObjects;

  TORVString GetTypeName() const override { return u"table"; }
  TORVConfigObject* CreateObject() override { return new TORVBaseTable(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVBaseTable(FConfig, OwnerUser); }
  TORVBaseTable* GetTable(int32_t Index) const { return static_cast<TORVBaseTable*>(GetObjects(Index)); }
};

class TORVViews : public TORVSchemaObjects {
 public:
  using TORVSchemaObjects::TORVSchemaObjects;

  TORVString GetTypeName() const override { return u"view"; }
  TORVConfigObject* CreateObject() override { return new TORVView(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVView(FConfig, OwnerUser); }
  TORVView* GetView(int32_t Index) const { return static_cast<TORVView*>(GetObjects(Index)); }
};

// Streams its base fields, then its base tables, views, procedures and
// functions. Temporary tables and the temporary views of derived tables
// live only in memory; FRoutines lists the procedures and functions (not
// owned) and is rebuilt whenever either collection changes.
class TORVSchema : public TORVCatalogBound<TORVPrivilegedConfigObject> {
 public:
  explicit TORVSchema(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr);
  ~TORVSchema() override;

  TORVString GetTypeName() const override { return u"schema"; }
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
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  TORVBaseTables& GetBaseTables() const { return *FBaseTables; }
  TORVBaseTables& GetTemporaryTables() const { return *FTemporaryTables; }
  TORVViews& GetViews() const { return *FViews; }
  TORVViews& GetTemporaryViews() const { return *FTemporaryViews; }
  TORVRoutines& GetRoutines() const { return *FRoutines; }
  TORVProcedures& GetProcedures() const { return *FProcedures; }
  TORVFunctions& GetFunctions() const { return *FFunctions; }
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
  std::unique_ptr<TORVBaseTables> FBaseTables;
  std::unique_ptr<TORVBaseTables> FTemporaryTables;
  std::unique_ptr<TORVViews> FViews;
  std::unique_ptr<TORVViews> FTemporaryViews;
  std::unique_ptr<TORVRoutines> FRoutines;
  std::unique_ptr<TORVProcedures> FProcedures;
  std::unique_ptr<TORVFunctions> FFunctions;
};

class TORVSchemas : public TORVSchemaObjects {
 public:
  using TORVSchemaObjects::TORVSchemaObjects;

  TORVString GetTypeName() const override { return u"schema"; }
  TORVConfigObject* CreateObject() override { return new TORVSchema(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVSchema(FConfig, OwnerUser); }
  TORVSchema* GetSchema(int32_t Index) const { return static_cast<TORVSchema*>(GetObjects(Index)); }
};

}  // namespace orv
