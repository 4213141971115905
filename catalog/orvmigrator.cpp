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

}  // namespace orv
