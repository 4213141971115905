// A database as one session's managers see it: its own catalog (each open
// database holds one), the real lock manager on the database's lock file in
// a shared folder, a session, and the owner the schema object managers
// call. Several sessions on one folder stand for several processes or
// threads opening the same database.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvprivilege.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "eval/orvschemaobjmgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvfilemgr.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/storage/orvtabletestfiles.h"

namespace orv::test {

struct TCheckedPrivilege {
  TORVPrivilegedSchemaObject* Object;
  int32_t Privilege;
  TORVString StatementText;
};

class TTestDatabase : public TORVSchemaObjectOwner {
 public:
  // Files is shared by every session of the folder; LockFileName is the
  // database's lock file in it.
  TTestDatabase(TORVFileManager* Files, const TORVString& LockFileName)
      : FFiles(Files),
        FDatabase(NewDatabase(u"Main")),
        FLockManager(std::make_unique<TTestLockManager>(FDatabase.get(), Files, LockFileName)) {
    FLockManager->Open();
  }
  ~TTestDatabase() override { FLockManager->Close(); }

  // A table of the catalog with its own lock slot.
  TORVBaseTable* AddTable(const TORVString& Name, int32_t LockSlot) {
    TORVBaseTable* Table = NewTable(*FCatalog.Catalog, Name);
    Table->SetLockSlot(LockSlot);
    return Table;
  }

  TORVBaseTable* AddTemporaryTable(const TORVString& Name) {
    TORVTemporaryTables& Tables = FCatalog.Catalog->GetDefaultSchema()->GetTemporaryTables();
    std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject(nullptr)));
    Table->SetName(Name);
    Tables.Add(Table.get());
    return Table.release();
  }

  TORVLockManager& GetLockManager() override { return *FLockManager; }
  TORVSessionManager& GetSessionManager() override { return FSession; }
  void CheckPrivilege(TORVPrivilegedSchemaObject* Object, int32_t Privilege,
                      const TORVString& StatementText) override {
    CheckedPrivileges.push_back({Object, Privilege, StatementText});
  }

  std::vector<TCheckedPrivilege> CheckedPrivileges;

  // What a base table's manager reaches: the folder's files, the session's
  // settings and compression, and the evaluator through Evaluator.
  TORVFileManager* GetFileManagerForSchema(const TORVString& /*SchemaName*/) override { return FFiles; }
  TORVEngineManagerSettings& GetSessionSettings() override { return FSettings; }
  TORVCompressionManager& GetCompressionManager() override { return FCompression; }
  int32_t GetSessionHandle() override { return 1; }
  TORVString GetDatabaseName() override { return u"Main"; }
  TORVString GetDatabaseFullPath() override { return DatabaseFolder; }
  bool GetDatabaseSessionIsolation() override { return false; }
  void LogEvent(int32_t Category, int32_t FunctionCode, int32_t /*ErrorCode*/,
                const TORVString& Description) override {
    Events.push_back({Category, FunctionCode, Description});
  }
  void BackupError(const TORVString& Msg) override { RaiseError(ORV_BACKUP_ERROR, {u"database", u"Main", Msg}); }
  void RestoreError(const TORVString& Msg) override { RaiseError(ORV_RESTORE_ERROR, {u"database", u"Main", Msg}); }
  void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) override {
    if (Evaluator) Evaluator(Values, Tokens, Value);
  }
  TTableSession& Session() { return FSession; }

  TORVString DatabaseFolder;
  std::vector<TLoggedEvent> Events;
  std::function<void(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value)> Evaluator;

 private:
  TORVFileManager* FFiles;
  TORVEngineManagerSettings FSettings{nullptr};
  TORVCompressionManager FCompression;
  TCompilingCatalog FCatalog;
  TTableSession FSession;
  std::unique_ptr<TLockObject> FDatabase;
  std::unique_ptr<TTestLockManager> FLockManager;
};

}  // namespace orv::test
