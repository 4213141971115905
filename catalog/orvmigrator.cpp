#include "catalog/orvmigrator.h"

#include <stdexcept>

#include "catalog/orvconfig.h"
#include "core/orvparam.h"
#include "core/orvstrings.h"

namespace orv {

TORVMigrator::TORVMigrator(TORVConfig* OwnerConfig)
    : TORVModuleObject(OwnerConfig),
      FParamValues(std::make_unique<TORVParamValues>(OwnerConfig != nullptr ? OwnerConfig->GetCharacterSet()
                                                                            : CharacterSetUnicode)) {}

TORVMigrator::~TORVMigrator() = default;

TORVString TORVMigrator::GetTypeName() const { return u"migrator"; }

TORVString TORVMigrator::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                      bool /*Restricted*/) {
  return u"CREATE MIGRATOR " + QuotedModuleName(FName) + ModuleLines();
}

TORVString TORVMigrator::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP MIGRATOR " + QuotedModuleName(FName);
}

TORVModule& TORVMigrator::OpenedModule() {
  if (FModuleHandle == 0 || FModule == nullptr) throw std::logic_error("migrator request before OpenModule");
  return *FModule;
}

void TORVMigrator::GetParams() {
  // The list follows the configuration's character set at each request.
  if (FParamValues->GetCharacterSet() != GetConfigCharacterSet())
    FParamValues = std::make_unique<TORVParamValues>(GetConfigCharacterSet());
  OpenedModule().CallGetParams(FModuleHandle, *FParamValues);
}

void TORVMigrator::SetParams() { OpenedModule().CallSetParams(FModuleHandle, *FParamValues); }

void TORVMigrator::GetObjectNames(TORVStringsList& ObjectNames) {
  ObjectNames.Clear();
  OpenedModule().CallGetObjectNames(FModuleHandle, ObjectNames);
}

void TORVMigrator::GetCreateObjectStatement(const TORVString& ObjectName, const TORVString& ObjectType,
                                            bool PostCreate, TORVString& CreateObjectStatement) {
  CreateObjectStatement =
      OpenedModule().CallGetCreateObjectStatement(FModuleHandle, ObjectName, ObjectType, PostCreate);
}

void TORVMigrator::GetTableNames(TORVStringsList& TableNames) {
  TableNames.Clear();
  OpenedModule().CallGetTableNames(FModuleHandle, TableNames);
}

void TORVMigrator::GetCreateTableStatement(const TORVString& TableName, TORVString& CreateTableStatement) {
  CreateTableStatement = OpenedModule().CallGetCreateTableStatement(FModuleHandle, TableName);
}

void TORVMigrator::GetIndexNames(const TORVString& TableName, TORVStringsList& IndexNames) {
  OpenedModule().CallGetIndexNames(FModuleHandle, TableName, IndexNames);
}

void TORVMigrator::GetCreateIndexStatement(const TORVString& TableName, const TORVString& IndexName,
                                           TORVString& CreateIndexStatement) {
  CreateIndexStatement = OpenedModule().CallGetCreateIndexStatement(FModuleHandle, TableName, IndexName);
}

void TORVMigrator::GetTriggerNames(const TORVString& TableName, TORVStringsList& TriggerNames) {
  OpenedModule().CallGetTriggerNames(FModuleHandle, TableName, TriggerNames);
}

void TORVMigrator::GetCreateTriggerStatement(const TORVString& TableName, const TORVString& TriggerName,
                                             TORVString& CreateTriggerStatement) {
  CreateTriggerStatement = OpenedModule().CallGetCreateTriggerStatement(FModuleHandle, TableName, TriggerName);
}

void TORVMigrator::GetViewNames(TORVStringsList& ViewNames) {
  ViewNames.Clear();
  OpenedModule().CallGetViewNames(FModuleHandle, ViewNames);
}

void TORVMigrator::GetCreateViewStatement(const TORVString& ViewName, TORVString& CreateViewStatement) {
  CreateViewStatement = OpenedModule().CallGetCreateViewStatement(FModuleHandle, ViewName);
}

void TORVMigrator::GetFunctionNames(TORVStringsList& FunctionNames) {
  FunctionNames.Clear();
  OpenedModule().CallGetFunctionNames(FModuleHandle, FunctionNames);
}

void TORVMigrator::GetCreateFunctionStatement(const TORVString& FunctionName, TORVString& CreateFunctionStatement) {
  CreateFunctionStatement = OpenedModule().CallGetCreateFunctionStatement(FModuleHandle, FunctionName);
}

void TORVMigrator::GetProcedureNames(TORVStringsList& ProcedureNames) {
  ProcedureNames.Clear();
  OpenedModule().CallGetProcedureNames(FModuleHandle, ProcedureNames);
}

void TORVMigrator::GetCreateProcedureStatement(const TORVString& ProcedureName,
                                               TORVString& CreateProcedureStatement) {
  CreateProcedureStatement = OpenedModule().CallGetCreateProcedureStatement(FModuleHandle, ProcedureName);
}

void TORVMigrator::GetRowsToInsert(const TORVString& TableName, int32_t& RowsToInsert) {
  RowsToInsert = OpenedModule().CallGetRowsToInsert(FModuleHandle, TableName);
}

void TORVMigrator::GetInsertStatement(const TORVString& TableName, TORVString& InsertStatement) {
  InsertStatement = OpenedModule().CallGetInsertStatement(FModuleHandle, TableName);
}

void TORVMigrator::GetInsertParamStatement(const TORVString& TableName, TORVString& InsertStatement) {
  InsertStatement = OpenedModule().CallGetInsertParamStatement(FModuleHandle, TableName);
}

void TORVMigrator::GetInsertParams(const TORVString& TableName, TORVParamValues& InsertParamValues) {
  OpenedModule().CallGetInsertParams(FModuleHandle, TableName, InsertParamValues);
}

TORVString TORVMigrators::GetTypeName() const { return u"migrator"; }

const TORVConfigObjectsClass& MigratorsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigrators(Config); },
                                            u"Migrators", &ModuleUsersTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& MigratorParamsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableText(u"Mode", 15, true), TableText(u"Type", 30, true),
       TableText(u"Collation", 80, true), TableColumn(u"Length", dtInteger), TableColumn(u"Precision", dtInteger),
       TableColumn(u"Scale", dtInteger), TableText(u"DefaultValue", 60, false), TableColumn(u"OrdinalPos", dtInteger)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigratorParams(Config); },
                                            u"MigratorParams", &Description};
  return Class;
}

namespace {

const TORVTableDescription& NamesTableDescription() {
  static const TORVTableDescription Description{{TableText(u"Name", 80, true)}, {{u"Name", {1}}}};
  return Description;
}

}  // namespace

const TORVConfigObjectsClass& MigratorTablesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigratorTables(Config); },
                                            u"MigratorTables", &NamesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& MigratorViewsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigratorViews(Config); },
                                            u"MigratorViews", &NamesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& MigratorFunctionsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigratorFunctions(Config); },
                                            u"MigratorFunctions", &NamesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& MigratorProceduresClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVMigratorProcedures(Config); },
                                            u"MigratorProcedures", &NamesTableDescription()};
  return Class;
}

}  // namespace orv
