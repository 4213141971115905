// Migrators: the modules that read another database's metadata and rows for
// MIGRATE DATABASE. A migrator forwards each request to its module in the
// configuration's character set and turns the answers into the engine's
// texts, name lists and parameter lists.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvmodule.h"

namespace orv {

class TORVParamValues;
class TORVStringsList;

// The caller opens the migrator before its requests and closes it after
// them; while open it holds one load reference on its module and one
// working context. The parameter values live only in memory.
class TORVMigrator : public TORVModuleObject {
 public:
  explicit TORVMigrator(TORVConfig* OwnerConfig = nullptr);
  ~TORVMigrator() override;

  TORVString GetTypeName() const override;
  int32_t GetModuleKind() const override { return ModuleTypeMigrator; }
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // The module's parameters, their types and current values; an empty
  // answer leaves the list empty.
  void GetParams();
  // The list, with its type information, in one call.
  void SetParams();
  // Name=Type items.
  void GetObjectNames(TORVStringsList& ObjectNames);
  void GetCreateObjectStatement(const TORVString& ObjectName, const TORVString& ObjectType, bool PostCreate,
                                TORVString& CreateObjectStatement);
  void GetTableNames(TORVStringsList& TableNames);
  void GetCreateTableStatement(const TORVString& TableName, TORVString& CreateTableStatement);
  void GetIndexNames(const TORVString& TableName, TORVStringsList& IndexNames);
  void GetCreateIndexStatement(const TORVString& TableName, const TORVString& IndexName,
                               TORVString& CreateIndexStatement);
  void GetTriggerNames(const TORVString& TableName, TORVStringsList& TriggerNames);
  void GetCreateTriggerStatement(const TORVString& TableName, const TORVString& TriggerName,
                                 TORVString& CreateTriggerStatement);
  void GetViewNames(TORVStringsList& ViewNames);
  void GetCreateViewStatement(const TORVString& ViewName, TORVString& CreateViewStatement);
  void GetFunctionNames(TORVStringsList& FunctionNames);
  void GetCreateFunctionStatement(const TORVString& FunctionName, TORVString& CreateFunctionStatement);
  void GetProcedureNames(TORVStringsList& ProcedureNames);
  void GetCreateProcedureStatement(const TORVString& ProcedureName, TORVString& CreateProcedureStatement);
  void GetRowsToInsert(const TORVString& TableName, int32_t& RowsToInsert);
  // The next row's INSERT statement; empty when no row is left.
  void GetInsertStatement(const TORVString& TableName, TORVString& InsertStatement);
  void GetInsertParamStatement(const TORVString& TableName, TORVString& InsertStatement);
  // The next row's values; an empty answer empties the list.
  void GetInsertParams(const TORVString& TableName, TORVParamValues& InsertParamValues);

  TORVParamValues& GetParamValues() const { return *FParamValues; }

 private:
  // The open module; std::logic_error when the caller did not open it.
  TORVModule& OpenedModule();

  std::unique_ptr<TORVParamValues> FParamValues;
};

class TORVMigrators : public TORVConfigObjects {
 public:
  explicit TORVMigrators(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVMigrator(FConfig); }

  TORVMigrator* GetMigrator(int32_t Index) const { return static_cast<TORVMigrator*>(GetObjects(Index)); }
};

// Collections that hold no members: each only names and describes the
// table that shows what the session's current migrator offers.
class TORVMigratorParams : public TORVConfigObjects {
 public:
  explicit TORVMigratorParams(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVMigratorTables : public TORVConfigObjects {
 public:
  explicit TORVMigratorTables(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVMigratorViews : public TORVConfigObjects {
 public:
  explicit TORVMigratorViews(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVMigratorFunctions : public TORVConfigObjects {
 public:
  explicit TORVMigratorFunctions(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVMigratorProcedures : public TORVConfigObjects {
 public:
  explicit TORVMigratorProcedures(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

// The "Migrators", "MigratorParams", "MigratorTables", "MigratorViews",
// "MigratorFunctions" and "MigratorProcedures" tables.
const TORVConfigObjectsClass& MigratorsClass();
const TORVConfigObjectsClass& MigratorParamsClass();
const TORVConfigObjectsClass& MigratorTablesClass();
const TORVConfigObjectsClass& MigratorViewsClass();
const TORVConfigObjectsClass& MigratorFunctionsClass();
const TORVConfigObjectsClass& MigratorProceduresClass();

}  // namespace orv
