#include "local/orvlocaldbmgr.h"

#include <exception>
#include <memory>

#include "base/orverrors.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "eval/orvtablemgr.h"
#include "local/orvlocalsessionmgr.h"

namespace orv {

namespace {

bool Listed(TORVTemporaryTables& Tables, const TORVBaseTable* Table) {
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index)
    if (Tables.GetTable(Index) == Table) return true;
  return false;
}

void ClearBatchFields(TORVBaseTable& Table) {
  Table.SetBatchOffset(0);
  Table.SetBatchSize(0);
  Table.SetBatchPos(0);
  Table.SetBatchTimeStamp(0);
  Table.SetBatchOperation(false);
}

}  // namespace

TORVBaseTable* TORVLocalDatabaseManager::FindTemporaryTable(const TORVString& Name) const {
  if (FCatalog == nullptr) return nullptr;
  TORVTemporaryTables& Tables = FCatalog->GetDefaultSchema()->GetTemporaryTables();
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) {
    TORVBaseTable* Table = Tables.GetTable(Index);
    if (!Table->GetMaintenance() && Table->HasName(Name)) return Table;
  }
  return nullptr;
}

TORVBaseTable* TORVLocalDatabaseManager::BeginCreateTemporaryTable(const TORVString& TableName, bool SessionScope) {
  TORVTemporaryTables& Tables = FCatalog->GetDefaultSchema()->GetTemporaryTables();
  if (SessionScope) {
    const TORVString Detail = FormatString(u"CREATE TEMPORARY TABLE %s", {TableName});
    CheckOpened(Detail);
    CheckNotReadOnly(Detail);
    if (!FSessionManager->SystemUser(nullptr)) FDatabase->CheckSystemObject();
  }
  std::unique_ptr<TORVBaseTable> Table(
      static_cast<TORVBaseTable*>(Tables.GetNewObject(FSessionManager->GetCurrentUser())));
  if (SessionScope)
    Table->SetTemporaryForSession(true);
  else
    Table->SetTemporary(true);
  // Another session, thread or process of the same database draws from
  // another prefix, so that no two temporary tables share their files.
  TORVEnvironment& Env = Environment();
  Table->SetInternalName(Tables.GetUniqueInternalName(
      Env.GetComputerName() + IntToString(Env.GetProcessID()) + IntToString(Env.GetThreadID()) +
      IntToString(static_cast<int64_t>(Env.GetTickCount())) + FDatabase->GetName()));
  if (TableName.empty())
    Table->SetName(Table->GetInternalName());
  else
    Table->SetName(SessionScope ? TableName : Tables.GetUniqueName(TableName));
  Table->GrantDefaultPrivileges();
  if (SessionScope) FSessionManager->CreateStatus(0, Table.get());
  return Table.release();
}

void TORVLocalDatabaseManager::EndCreateTemporaryTable(TORVBaseTable* NewTable) {
  FCatalog->GetDefaultSchema()->GetTemporaryTables().Add(NewTable);
  if (NewTable->GetTemporaryForSession()) FSessionManager->CreateStatus(2, NewTable);
}

void TORVLocalDatabaseManager::CancelCreateTemporaryTable(TORVBaseTable* NewTable) {
  if (NewTable == nullptr) return;
  if (NewTable->GetTemporaryForSession()) FSessionManager->CreateStatus(1, NewTable);
  if (!Listed(FCatalog->GetDefaultSchema()->GetTemporaryTables(), NewTable)) delete NewTable;
}

void TORVLocalDatabaseManager::RemoveTemporaryTable(TORVBaseTable*& ExistingTable) {
  if (ExistingTable == nullptr) return;
  std::unique_ptr<TORVBaseTable> Table(ExistingTable);
  ExistingTable = nullptr;
  // A manager left behind would point at the freed table.
  FTableManagers->Remove(Table.get());
  FCatalog->GetDefaultSchema()->GetTemporaryTables().Remove(Table.get());
}

void TORVLocalDatabaseManager::DropAllTemporaryTables() {
  TORVTemporaryTables& Tables = FCatalog->GetDefaultSchema()->GetTemporaryTables();
  TORVFirstFailure Steps;
  for (int32_t Index = Tables.GetCount() - 1; Index >= 0; --Index) {
    std::unique_ptr<TORVBaseTable> Table(Tables.GetTable(Index));
    Steps.Run([&] {
      auto* Manager = static_cast<TORVTableManager*>(FTableManagers->Get(Table.get(), true));
      const bool Locked = Manager->LockObject(ltExclusive);
      try {
        Manager->Drop(false);
        Manager->DropBackupCopy(true, true, true, true);
      } catch (...) {
        if (Locked) Manager->UnlockAfterFailure(ltExclusive);
        throw;
      }
      if (Locked) Manager->UnlockObject(ltExclusive);
    });
    Steps.Run([&] { FTableManagers->Remove(Table.get()); });
    Tables.Delete(Index);
  }
  Steps.Rethrow();
}

void TORVLocalDatabaseManager::ListTables(TORVReferencedTables& Tables, const TORVStringsArray& TableNames) {
  TORVSchema* Schema = FCatalog->GetDefaultSchema();
  Tables.Clear();
  if (TableNames.empty()) {
    for (int32_t Index = 0; Index < Schema->GetBaseTables().GetCount(); ++Index)
      Tables.Add(Schema->GetBaseTables().GetTable(Index));
    return;
  }
  for (const TORVString& Name : TableNames)
    Tables.Add(FCatalog->FindTable(Schema, Name, FSessionManager->GetCurrentUser(), true, false));
}

void TORVLocalDatabaseManager::SetupBatchTables(const TORVStringsArray& TableNames) {
  TORVReferencedTables& Tables = FCatalog->GetDefaultSchema()->GetBatchTables();
  try {
    ListTables(Tables, TableNames);
    Tables.SortByID();
    Tables.RemoveDuplicates();
  } catch (...) {
    Tables.Clear();
    throw;
  }
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) ClearBatchFields(*Tables.GetTable(Index));
}

void TORVLocalDatabaseManager::ClearBatchTables() {
  TORVReferencedTables& Tables = FCatalog->GetDefaultSchema()->GetBatchTables();
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) ClearBatchFields(*Tables.GetTable(Index));
  Tables.Clear();
}

void TORVLocalDatabaseManager::ClearCachedManagers(bool /*FreeManagers*/) {}

void TORVLocalDatabaseManager::CreateInformationSchema() {}

void TORVLocalDatabaseManager::DropAllTemporaryViews() {}

}  // namespace orv
