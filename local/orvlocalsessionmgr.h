// The session manager of a local session: it logs in, opens databases and
// runs every statement of its session in this process, through one
// evaluator of its own (local/orvlocaleval.h). Beside it, the three
// managers of the configuration files that a session owns, and the
// session's own copy of the engine settings.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvdigest.h"
#include "core/orvlocktype.h"
#include "storage/orvenginemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvlockmgr.h"
#include "storage/orvlogmgr.h"
#include "storage/orvobjmgr.h"

namespace orv {

class TORVCompressionManager;
class TORVConfig;
class TORVConfigObject;
class TORVDatabaseContainer;
class TORVHandleObjects;
class TORVLocalDatabaseManager;
class TORVEvaluatorContext;
class TORVExprBuilder;
class TORVExprParser;
class TORVExprValidater;
class TORVLocalExprEvaluator;
class TORVLocalSessionManager;
class TORVLog;
class TORVPrivilegedConfigObject;
class TORVUser;

// The engine settings as one session sees them: copied from the engine at
// creation, changeable until the session opens.
class TORVLocalSessionEngineManagerSettings : public TORVEngineManagerSettings {
 public:
  TORVLocalSessionEngineManagerSettings(TORVEngineManager* EngineManager, TORVLocalSessionManager* SessionManager)
      : TORVEngineManagerSettings(EngineManager), FSessionManager(SessionManager) {}

  void CheckNotOpened(const TORVString& Operation) override;

 private:
  TORVLocalSessionManager* FSessionManager;
};

// The configuration's lock file as one session holds it; the session's
// slot stays here between a close and the next open.
class TORVConfigLockManager : public TORVLockManager {
 public:
  // Configuration, log, 4096 users, 4096 jobs, 4096 stores, 1024 modules.
  static constexpr int32_t ConfigLockIndexes = 13316;

  TORVConfigLockManager(TORVConfig* Config, TORVLocalSessionManager* SessionManager, TORVFileManager* FileManager);

  TORVString GetFullFileName() override;
  int32_t GetSessionLockSlot() override { return FSessionLockSlot; }
  void SetSessionLockSlot(int32_t Value) override { FSessionLockSlot = Value; }
  int32_t GetTotalLockIndexes() override { return ConfigLockIndexes; }

 protected:
  TORVLocalSessionManager* FSessionManager;

 private:
  int32_t FSessionLockSlot = 0;
};

// The configuration file. It is always encrypted, with the digests of the
// session's settings.
class TORVConfigManager : public TORVConfigObjectManager {
 public:
  TORVConfigManager(TORVConfig* Config, TORVLocalSessionManager* SessionManager, TORVFileManager* FileManager,
                    TORVLockManager* LockManager);

  TORVString GetFullFileName() override;
  TORVString GetFullBackupCopyFileName() override;
  const TORVDigest& GetMasterSignatureDigest() override;
  bool ValidateMasterSignatureDigest(const TORVDigest& Digest) override;
  bool GetMasterEncrypted() override { return true; }
  const TORVDigest& GetMasterPasswordDigest() override;

 private:
  TORVLocalSessionManager* FSessionManager;
};

class TORVLocalLogManager : public TORVLogManager {
 public:
  TORVLocalLogManager(TORVLog* Log, TORVLocalSessionManager* SessionManager, TORVFileManager* FileManager,
                      TORVLockManager* LockManager);

  TORVString GetFullFileName() override;

 private:
  TORVLocalSessionManager* FSessionManager;
};

// A local session.
//
// Life: construct through CreateSessionManager and free through
// FreeSessionManager. Open initializes the working objects (evaluator,
// compilers, configuration tree, the three file managers, the log event)
// and opens the lock, configuration and log files; Close logs out, closes
// them and frees the working objects. A failed Open leaves the session
// closed and uninitialized. Freeing an open session closes it first, while
// it is still registered (its file names carry its handle), and never
// raises.
//
// Users: FCurrentUser is the effective user (nil when logged out).
// PushCurrentUser saves it on FCurrentUsers before work that runs as
// System; GetCurrentUserName answers the bottom of that stack while it is
// not empty, so the log header and the session's user name stay the user
// who logged in. Pushes and pops pair through TORVCurrentUserScope.
//
// A logged-in session holds a shared lock on its user in the
// configuration lock file: DROP USER and RENAME USER need the user's
// exclusive lock and so fail while anyone is logged in as that user.
//
// One thread uses a session at a time (the engine's session lock); there
// are no locks of its own here.
class TORVLocalSessionManager : public TORVEngineSessionManager {
 public:
  // The product type of the log header: the engine type from its fourth
  // character on.
  static constexpr char16_t EngineTypeString[] = u"ORVQUANDRIX";
  static constexpr int32_t MaximumLoginAttempts = 3;

  TORVLocalSessionManager(TORVEngineManager* EngineManagerToUse, bool AcquireLock, bool CreateConfigInformation);
  ~TORVLocalSessionManager() override;

  // Closes the session, dropping any failure, then leaves the engine.
  void BeforeDestruction() override;

  // Slot order of the virtuals this class introduces.
  virtual void AssignLogEvent();
  [[noreturn]] virtual void LoginError(const TORVString& Reason);
  [[noreturn]] virtual void NotLoggedInError(const TORVString& Text);
  virtual bool GetLoggedIn();
  virtual void CheckLoggedIn(const TORVString& Text);
  [[noreturn]] virtual void ConfigPathError(const TORVString& Text);
  virtual std::unique_ptr<TORVConfigLockManager> CreateConfigLockManager();
  virtual void CheckConfigPath();
  [[noreturn]] virtual void AdministratorError(const TORVString& Text);
  [[noreturn]] virtual void ReadOnlyError(const TORVString& Text);
  [[noreturn]] virtual void PrivilegeError(const TORVString& Text);
  // The statements on other server sessions; outside the server they do
  // nothing.
  virtual void DisconnectServerSession(int32_t SessionID);
  virtual void RemoveServerSession(int32_t SessionID);
  virtual void ResetServerSessionStatistics(int32_t SessionID);
  virtual void InternalOpen();
  virtual void InternalClose();

  int32_t GetCharacterSet() override;
  TORVString GetCurrentUserName() override;
  uint32_t GetProgressTickCount() override;
  uint32_t CalcElapsedTime(uint32_t BeginTicks, uint32_t EndTicks) override;
  TORVString GetCollationName(int32_t ID) override;
  // Nothing when open. Initialize, the base Open, then InternalOpen; a
  // failure undoes all three and passes on.
  void Open(const TORVString& SessionProcessName, const TORVString& SessionName,
            const TORVString& SessionDescription) override;
  // Nothing when closed. A failing Logout leaves the session open;
  // otherwise the files close and the working objects go, whatever fails.
  void Close() override;
  // Holds the configuration's read lock throughout. Any failure leaves the
  // session logged out and is logged (function 3) before it passes on.
  void Login(const TORVString& UserName, const TORVString& Password) override;
  // Nothing when logged out. A failure is logged (function 4) and leaves
  // the user logged in.
  void Logout() override;
  TORVDatabaseManager* OpenDatabase(const TORVString& DatabaseName, TORVLockType DatabaseLockType) override;
  TORVStoreManager* OpenStore(const TORVString& StoreName, TORVLockType StoreLockType, bool LocalOnly) override;
  void FreeCachedStatementManagers(const TORVString& DatabaseName) override;
  void FreeCachedProcedureManagers(const TORVString& DatabaseName) override;
  // True unless the engine is the server's.
  bool IncludeInScans() override;

  // The name of the effective user; empty when there is none.
  TORVString GetEffectiveUserName();
  void PushCurrentUser();
  // Nothing on an empty stack.
  void PopCurrentUser();
  // The user on whose behalf System work runs; nil on an empty stack.
  TORVUser* GetLastCurrentUser();
  void SetCurrentUser(TORVUser* User);
  // User, or the effective user when User is nil.
  bool SystemUser(TORVUser* User);
  bool AdministratorUser(TORVUser* EffectiveUser);

  void CheckAdministrator(const TORVString& Text);
  void CheckNotReadOnly(const TORVString& Text);
  // PrivilegeToCheck: 0 Select .. 10 Execute.
  void CheckPrivilege(TORVPrivilegedConfigObject* Object, int32_t PrivilegeToCheck, const TORVString& Text);

  // Categories 0 information, 1 warning, 2 error. Codes 1008 and 1010 are
  // always warnings; a category outside the LogCategories setting is
  // dropped.
  void LogEvent(int32_t EventCategory, int32_t EventFunctionCode, int32_t EventErrorCode,
                const TORVString& EventDescription);
  // Logs Exception as an error event; the caller raises it again. A
  // failure to write the event is dropped, so that the caller's error is
  // the one that passes on.
  void HandleException(const std::exception& Exception, int32_t EventFunctionCode) noexcept;

  void LoadConfigDataTypes();
  void LoadConfigCollations();

  // Status messages: status 0 the operation starts, 1 it did not
  // complete, 2 it completed; any other status sends nothing.
  void CreateStatus(int32_t Status, TORVConfigObject* Object);
  void AlterStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Detail);
  void DropStatus(int32_t Status, TORVConfigObject* Object);
  void RenameStatus(int32_t Status, TORVConfigObject* Object);
  void EmptyStatus(int32_t Status, TORVConfigObject* Table);
  void VerifyStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Detail);
  void OptimizeStatus(int32_t Status, TORVConfigObject* Table);
  void ImportStatus(int32_t Status, TORVConfigObject* Table);
  void ExportStatus(int32_t Status, TORVConfigObject* Table);
  void BackupStatus(int32_t Status, TORVConfigObject* Database);
  void RestoreStatus(int32_t Status, TORVConfigObject* Database);
  void MigrateStatus(int32_t Status, TORVConfigObject* Database);
  void PublishStatus(int32_t Status, TORVConfigObject* Database);
  void UnpublishStatus(int32_t Status, TORVConfigObject* Database);
  void SaveUpdatesStatus(int32_t Status, TORVConfigObject* Database);
  void LoadUpdatesStatus(int32_t Status, TORVConfigObject* Database);
  void CompareStatus(int32_t Status, TORVConfigObject* Database, TORVConfigObject* TargetDatabase);
  void CopyFileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName);
  void RenameFileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName);
  void DeleteFileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName);
  void GrantPrivilegeStatus(int32_t Status, TORVConfigObject* Object, const TORVString& PrivilegeName);
  void RevokePrivilegeStatus(int32_t Status, TORVConfigObject* Object, const TORVString& PrivilegeName);
  // The role is named first.
  void GrantRoleStatus(int32_t Status, TORVConfigObject* User, TORVConfigObject* Role);
  void RevokeRoleStatus(int32_t Status, TORVConfigObject* User, TORVConfigObject* Role);
  void SetStatus(const TORVString& What);
  void ResetStatus(TORVConfigObject* Object);
  void EnableStatus(TORVConfigObject* Object);
  void DisableStatus(TORVConfigObject* Object);
  void EnableTableStatus(TORVConfigObject* Object, const TORVString& What);
  void DisableTableStatus(TORVConfigObject* Object, const TORVString& What);
  // ElapsedTime in milliseconds, shown in seconds.
  void ExecuteStatus(int32_t Status, TORVConfigObject* Statement, int32_t AffectedRows, bool ShowRows,
                     uint32_t ElapsedTime, bool ShowTime);
  static TORVString RepairResult(bool Fixed);

  TORVLocalSessionEngineManagerSettings& GetSettings() const { return *FSettings; }
  bool GetInitialized() const { return FInitialized; }
  bool GetCreateConfigInformation() const { return FCreateConfigInformation; }
  TORVConfig* GetConfig() const { return FConfig.get(); }
  TORVConfigLockManager* GetLockManager() const { return FLockManager.get(); }
  TORVConfigManager* GetConfigManager() const { return FConfigManager.get(); }
  TORVFileManager* GetConfigFileManager() const { return FConfigFileManager; }
  TORVLogManager* GetLogManager() const { return FLogManager.get(); }
  TORVCompressionManager* GetCompressionManager() const { return FCompressionManager.get(); }
  TORVLocalExprEvaluator* GetEvaluator() const { return FEvaluator.get(); }
  TORVEvaluatorContext* GetContext() const { return FContext.get(); }
  TORVUser* GetCurrentUser() const { return FCurrentUser; }
  int32_t GetCurrentUserID() const { return FCurrentUserID; }
  const TORVString& GetBackupsStore() const { return FBackupsStore; }
  const TORVString& GetFilesStore() const { return FFilesStore; }
  const TORVString& GetUpdatesStore() const { return FUpdatesStore; }
  const TORVString& GetMigrator() const { return FMigrator; }
  const TORVString& GetInformationCollation() const { return FInformationCollation; }
  int32_t GetInformationCollationID() const { return FInformationCollationID; }

  // FileName as the configuration files of this session are named: under
  // the configuration path on disk; in memory with session isolation under
  // "<process>/<handle>/<session>/"; else bare.
  TORVString GetConfigFileName(const TORVString& FileName);
  // The manager of Database in this session, made closed on first use and
  // kept until the database is removed or the session closes.
  TORVLocalDatabaseManager* GetDatabaseManager(TORVDatabaseContainer* Database);
  // Frees Database's manager, if it has one.
  void RemoveDatabaseManager(TORVDatabaseContainer* Database);
  // The configuration's removal event: a removed database frees its
  // manager, a removed table leaves its database's table managers.
  void ObjectRemoved(TORVConfigObject* ConfigObject);
  // Every database's Reset, then, in a second pass over the list, every
  // database's ResetCursors.
  void ResetDatabaseManagers();
  // Close(True) on every database manager; the first failure passes on
  // once every one was closed.
  void CloseDatabaseManagers();
  void FreeDatabaseManagers() noexcept;
  int32_t GetDatabaseManagerCount() const;

  // "<process>/<handle>/<session>/", fixed at Open.
  const TORVString& GetSessionFolder() const { return FSessionFolder; }

  // The session's own "Configuration" database, in memory under the
  // session's folder: opened shared by Open, closed and dropped by Close.
  void OpenConfigDatabase();
  // Close(True) on it; nothing when it has no manager.
  void CloseConfigDatabase();
  // Drops its files as the System user; nothing when it has no manager.
  void DropConfigDatabase();
  TORVLocalDatabaseManager* GetConfigDatabaseManager() const { return FConfigDatabaseManager; }

  // The configuration's catalog events, through which renaming, dropping
  // and finding the dependencies of a user or role reach every database's
  // catalog: each Begin opens the database (shared) and takes the catalog
  // file's read or update lock; each end gives the lock back and closes
  // the database again, whatever the other step did.
  void BeginReadCatalog(TORVDatabaseContainer* Database);
  void EndReadCatalog(TORVDatabaseContainer* Database);
  void BeginUpdateCatalog(TORVDatabaseContainer* Database);
  void CancelUpdateCatalog(TORVDatabaseContainer* Database);
  void EndUpdateCatalog(TORVDatabaseContainer* Database);

 protected:
  void Initialize();
  void UnInitialize() noexcept;
  // The configuration manager's save hook.
  void SaveConfig(TORVConfigObject* ConfigObject);
  void DoJobProgress(int32_t PercentDone, bool& Continue);
  void DoJobStatusMessage(const TORVString& Msg, bool UserStatus);
  void DoJobLogMessage(const TORVString& Msg);

 private:
  // Clears the effective user and the logged-in ID and name.
  void ClearLogin();
  // Close for a session being freed: never raises, and closes the files
  // even when Logout fails.
  void CloseForFree() noexcept;
  void CloseFiles();
  // One state of a plain-family status message.
  void PlainStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Verb, const TORVString& Noun,
                   const TORVString& Participle, const TORVString& Detail = TORVString());
  // The state of the file messages and of the "on the" messages.
  void FileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName, const TORVString& Verb,
                  const TORVString& Noun, const TORVString& Participle);
  void OnStatus(int32_t Status, const TORVString& Verb, const TORVString& Noun, const TORVString& Participle,
                const TORVString& TypeName, const TORVString& Name, const TORVString& OnTypeName,
                const TORVString& OnName);
  void SingleStatus(const TORVString& TypeName, const TORVString& Name, const TORVString& Participle);
  void SendStatus(const TORVString& Format, const std::vector<TORVString>& Args);
  // Open(ltShared) on Database, then Work on its catalog manager; a failing
  // Work closes the database again.
  void BeginCatalogWork(TORVDatabaseContainer* Database, void (TORVConfigObjectManager::*Work)());
  // Work on Database's catalog manager, then Close(False) on the database
  // however Work ended; the first failure passes on.
  void EndCatalogWork(TORVDatabaseContainer* Database, void (TORVConfigObjectManager::*Work)());
  // Forgets Database's latest begun update; false when none was begun.
  bool EndCatalogUpdate(TORVDatabaseContainer* Database);

  bool FInitialized = false;
  std::unique_ptr<TORVLocalSessionEngineManagerSettings> FSettings;
  // Owns the database managers; each database container keeps the handle
  // of its manager here.
  std::unique_ptr<TORVHandleObjects> FDatabaseManagers;
  // One of FDatabaseManagers, not owned here.
  TORVLocalDatabaseManager* FConfigDatabaseManager = nullptr;
  // The databases whose catalog update BeginUpdateCatalog began: the
  // configuration cancels an update also when its beginning failed, and
  // only a begun one has a lock and an open to give back.
  std::vector<TORVDatabaseContainer*> FUpdatingCatalogs;
  bool FCreateConfigInformation;
  // The session folder of in-memory isolated files, fixed at Open so that
  // the files keep their names once the session has left the engine.
  TORVString FSessionFolder;
  std::unique_ptr<TORVLocalExprEvaluator> FEvaluator;
  std::unique_ptr<TORVEvaluatorContext> FContext;
  std::unique_ptr<TORVCompressionManager> FCompressionManager;
  std::unique_ptr<TORVExprParser> FParser;
  std::unique_ptr<TORVExprValidater> FValidater;
  std::unique_ptr<TORVExprBuilder> FBuilder;
  std::unique_ptr<TORVConfig> FConfig;
  TORVFileManager* FConfigFileManager = nullptr;
  std::unique_ptr<TORVConfigLockManager> FLockManager;
  std::unique_ptr<TORVConfigManager> FConfigManager;
  std::unique_ptr<TORVLog> FLog;
  std::unique_ptr<TORVLocalLogManager> FLogManager;
  std::unique_ptr<TORVLogEvent> FEvent;
  int32_t FCurrentUserID = 0;
  TORVString FCurrentUserName;
  TORVUser* FCurrentUser = nullptr;
  int32_t FNumCurrentUsers = 0;
  // Grows by one entry when full and never shrinks.
  std::vector<TORVUser*> FCurrentUsers;
  TORVString FBackupsStore;
  TORVString FFilesStore;
  TORVString FUpdatesStore;
  TORVString FMigrator;
  TORVString FInformationCollation;
  int32_t FInformationCollationID = 0;
};

// The read lock of a configuration or catalog file for a scope.
class TORVObjectReadScope {
 public:
  explicit TORVObjectReadScope(TORVConfigObjectManager& Manager) : FManager(Manager) { FManager.BeginRead(); }
  ~TORVObjectReadScope() {
    WhileUnwinding([this] { FManager.EndRead(); });
  }
  TORVObjectReadScope(const TORVObjectReadScope&) = delete;
  TORVObjectReadScope& operator=(const TORVObjectReadScope&) = delete;

 private:
  TORVConfigObjectManager& FManager;
};

// Pushes the session's effective user now and pops it however the scope
// is left.
class TORVCurrentUserScope {
 public:
  explicit TORVCurrentUserScope(TORVLocalSessionManager& Session) : FSession(Session) { FSession.PushCurrentUser(); }
  ~TORVCurrentUserScope() { FSession.PopCurrentUser(); }
  TORVCurrentUserScope(const TORVCurrentUserScope&) = delete;
  TORVCurrentUserScope& operator=(const TORVCurrentUserScope&) = delete;

 private:
  TORVLocalSessionManager& FSession;
};

}  // namespace orv
