// A database as one session's managers see it: its own catalog (each open
// database holds one), the real lock manager on the database's lock file in
// a shared folder, a session, and the owner the schema object managers
// call. Several sessions on one folder stand for several processes or
// threads opening the same database.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "eval/orvschemaobjmgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvfilemgr.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/eval/orvscriptedtriggereval.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/storage/orvtabletestfiles.h"

namespace orv::test {

struct TCheckedPrivilege {
  TORVPrivilegedSchemaObject* Object;
  int32_t Privilege;
  TORVString StatementText;
};

struct THandledException {
  int32_t FunctionCode;
  std::string Text;
};

// Counts the progress brackets that are open.
class TProgressCountingSession : public TTableSession {
 public:
  void StartProgress() override {
    TTableSession::StartProgress();
    ++ProgressDepth;
  }
  void EndProgress() override {
    --ProgressDepth;
    TTableSession::EndProgress();
  }
  int32_t ProgressDepth = 0;
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

  TORVTriggerEvaluator& GetTriggerEvaluator() override { return Evaluator; }
  void HandleException(const std::exception& Exception, int32_t FunctionCode) override {
    Handled.push_back({FunctionCode, Exception.what()});
  }
  void PushCurrentUser() override { UserStack.push_back(CurrentUser); }
  void SetCurrentUser(TORVUser* User) override { CurrentUser = User; }
  void PopCurrentUser() override {
    if (UserStack.empty()) return;
    CurrentUser = UserStack.back();
    UserStack.pop_back();
  }
  TORVUser* GetSystemUser() override { return FCatalog.Config->GetSystemUser(); }
  // Views and routines are tested with an owner of their own.
  TORVExprEvaluator& GetEvaluator() override { throw std::logic_error("no evaluator in this fixture"); }
  void NewContext() override { throw std::logic_error("no evaluator in this fixture"); }
  void RestoreContext() override {}
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager&) override {
    throw std::logic_error("no query execution in this fixture");
  }

  TCompilingCatalog& Catalog() { return FCatalog; }
  TProgressCountingSession& Session() { return FSession; }

  std::vector<TCheckedPrivilege> CheckedPrivileges;
  // Trigger runs and storage steps in their order.
  std::vector<std::string> Log;
  TScriptedTriggerEvaluator Evaluator{Log};
  std::vector<THandledException> Handled;
  // The session's user: nil stands for the user who logged in.
  TORVUser* CurrentUser = nullptr;
  std::vector<TORVUser*> UserStack;

  // What a base table's manager reaches: the folder's files, the session's
  // settings and compression, and a row's evaluation through RowEvaluator.
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
  TORVSchemaObjectManagers& GetTableManagers() override {
    if (TableManagers == nullptr) throw std::logic_error("the test database has no table managers");
    return *TableManagers;
  }
  void EvaluateRow(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value) override {
    if (RowEvaluator) RowEvaluator(Values, Tokens, Value);
  }

  TORVString DatabaseFolder;
  std::vector<TLoggedEvent> Events;
  std::function<void(TORVRowValues& Values, TORVExprToken* Tokens, TORVValue& Value)> RowEvaluator;
  TORVSchemaObjectManagers* TableManagers = nullptr;

 private:
  TORVFileManager* FFiles;
  TORVEngineManagerSettings FSettings{nullptr};
  TORVCompressionManager FCompression;
  TCompilingCatalog FCatalog;
  TProgressCountingSession FSession;
  std::unique_ptr<TLockObject> FDatabase;
  std::unique_ptr<TTestLockManager> FLockManager;
};

}  // namespace orv::test
