// What a table manager in a benchmark reaches of its database: a session
// on the folder's lock file, settings in single-byte text, no triggers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchtable.h"
#include "core/orvcompressmgr.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtriggereval.h"
#include "storage/orvenginesettings.h"
#include "tests/storage/orvlocktestobjects.h"

namespace orv::bench {

// The table has no triggers: nothing of a trigger is ever run.
class TNoTriggers : public TORVTriggerEvaluator {
 public:
  void InitializeCompiled(TORVExprToken*) override {}
  void ResetCompiled(TORVExprToken*) override {}
  TORVEvaluatorContext* NewTriggerContext(const TORVTriggerContextSettings&) override { std::abort(); }
  void RestoreContext(TORVEvaluatorContext*) override { std::abort(); }
  bool GetContextAborted() override { std::abort(); }
  bool GetContextRetryAfterException() override { std::abort(); }
  void BindRowVariables(TORVTrigger&, TORVRowValues*, TORVRowValues*) override { std::abort(); }
  void ReleaseRowVariables(TORVTrigger&) override { std::abort(); }
  bool EvaluateCondition(TORVExprToken*) override { std::abort(); }
  void EvaluateRoutine(TORVExprToken*) override { std::abort(); }
};

// The database of one session: a lock manager on the folder's lock file,
// the session and its settings, and the table managers when a constraint
// reaches another table. EvaluateRow answers RowEvaluator's value, by
// default the text of a default column.
class TBenchDatabase : public TORVSchemaObjectOwner {
 public:
  TBenchDatabase(TORVFileManager* Files, const std::filesystem::path& Folder)
      : FFiles(Files),
        FFolder(Utf8ToString(Folder.string())),
        FDatabase(test::NewDatabase(u"Bench")),
        FLockManager(std::make_unique<test::TTestLockManager>(FDatabase.get(), Files,
                                                              Utf8ToString((Folder / "bench.lock").string()))) {
    FSettings.SetCharacterSet(CharacterSetAnsi);
    FLockManager->Open();
  }
  ~TBenchDatabase() override { FLockManager->Close(); }

  TORVLockManager& GetLockManager() override { return *FLockManager; }
  TORVSessionManager& GetSessionManager() override { return FSession; }
  void CheckPrivilege(TORVPrivilegedSchemaObject*, int32_t, const TORVString&) override {}
  TORVTriggerEvaluator& GetTriggerEvaluator() override { return FTriggers; }
  void HandleException(const std::exception&, int32_t) override {}
  void PushCurrentUser() override {}
  void SetCurrentUser(TORVUser*) override {}
  void PopCurrentUser() override {}
  TORVUser* GetSystemUser() override { return nullptr; }
  // No views, routines or evaluator contexts in a table benchmark.
  TORVExprEvaluator& GetEvaluator() override { std::abort(); }
  void NewContext() override { std::abort(); }
  void RestoreContext() override {}
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager&) override { std::abort(); }
  TORVFileManager* GetFileManagerForSchema(const TORVString&) override { return FFiles; }
  TORVEngineManagerSettings& GetSessionSettings() override { return FSettings; }
  TORVCompressionManager& GetCompressionManager() override { return FCompression; }
  int32_t GetSessionHandle() override { return 1; }
  TORVString GetDatabaseName() override { return u"Bench"; }
  TORVString GetDatabaseFullPath() override { return FFolder; }
  bool GetDatabaseSessionIsolation() override { return false; }
  void LogEvent(int32_t, int32_t, int32_t, const TORVString&) override {}
  void BackupError(const TORVString&) override { std::abort(); }
  void RestoreError(const TORVString&) override { std::abort(); }
  void EvaluateRow(TORVRowValues& Values, TORVExprToken*, TORVValue& Value) override { RowEvaluator(Values, Value); }
  TORVSchemaObjectManagers& GetTableManagers() override {
    if (TableManagers == nullptr) std::abort();
    return *TableManagers;
  }

  std::function<void(TORVRowValues&, TORVValue&)> RowEvaluator = [](TORVRowValues&, TORVValue& Value) {
    Value.SetAsString(u"default");
  };
  TORVSchemaObjectManagers* TableManagers = nullptr;

 private:
  TORVFileManager* FFiles;
  TORVString FFolder;
  std::unique_ptr<test::TLockObject> FDatabase;
  std::unique_ptr<test::TTestLockManager> FLockManager;
  TBenchSession FSession;
  TORVEngineManagerSettings FSettings{nullptr};
  TORVCompressionManager FCompression;
  TNoTriggers FTriggers;
};

}  // namespace orv::bench
