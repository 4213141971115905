// The database a table-manager benchmark's session sees: one session on a
// lock file in the benchmark's folder, single-byte text, no triggers,
// views or routines, no privileges to check and no log; a default
// column's value is "default".
#pragma once

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchtable.h"
#include "core/orvcompressmgr.h"
#include "core/orvvalue.h"
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
// the session and its settings; the default column's value comes from
// EvaluateRow.
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
  void EvaluateRow(TORVRowValues&, TORVExprToken*, TORVValue& Value) override { Value.SetAsString(u"default"); }
  // No view or routine is opened.
  TORVExprEvaluator& GetEvaluator() override { std::abort(); }
  void NewContext() override { std::abort(); }
  void RestoreContext() override { std::abort(); }
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager&) override { std::abort(); }

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
