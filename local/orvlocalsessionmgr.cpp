#include "local/orvlocalsessionmgr.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <ctime>
#include <mutex>
#include <stdexcept>

#include "base/orverrors.h"
#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtable.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvlog.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvuser.h"
#include "catalog/orvwordgen.h"
#include "core/orvcommon.h"
#include "core/orvcompressmgr.h"
#include "core/orvdatetime.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "local/orvevalcontext.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocaleval.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

// Log function codes of the session's own events.
constexpr int32_t LoginFunctionCode = 3;
constexpr int32_t LogoutFunctionCode = 4;

constexpr char16_t PathSeparator = u'/';

void AddSeparator(TORVString& Path) {
  if (!Path.empty() && Path.back() != PathSeparator) Path += PathSeparator;
}

// The buffer sort of the table files takes its pivots from the process's
// pseudo-random generator, seeded once for the local engine.
void SeedRandomOnce() {
  static std::once_flag Seeded;
  std::call_once(Seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
}


}  // namespace

// ---------------------------------------------------------------------------
// Support classes

void TORVLocalSessionEngineManagerSettings::CheckNotOpened(const TORVString& Operation) {
  if (FSessionManager->GetOpened()) OpenError(Operation);
}

TORVConfigLockManager::TORVConfigLockManager(TORVConfig* Config, TORVLocalSessionManager* SessionManager,
                                             TORVFileManager* FileManager)
    : TORVLockManager(Config, FileManager), FSessionManager(SessionManager) {}

TORVString TORVConfigLockManager::GetFullFileName() { return FSessionManager->GetConfigFileName(GetFileName()); }

TORVConfigManager::TORVConfigManager(TORVConfig* Config, TORVLocalSessionManager* SessionManager,
                                     TORVFileManager* FileManager, TORVLockManager* LockManager)
    : TORVConfigObjectManager(Config, LockManager, FileManager), FSessionManager(SessionManager) {}

TORVString TORVConfigManager::GetFullFileName() { return FSessionManager->GetConfigFileName(GetFileName()); }

TORVString TORVConfigManager::GetFullBackupCopyFileName() {
  return FSessionManager->GetConfigFileName(GetBackupCopyFileName());
}

const TORVDigest& TORVConfigManager::GetMasterSignatureDigest() {
  return FSessionManager->GetSettings().GetSignatureDigest();
}

bool TORVConfigManager::ValidateMasterSignatureDigest(const TORVDigest& Digest) {
  return FSessionManager->GetSettings().ValidateSignature(Digest);
}

const TORVDigest& TORVConfigManager::GetMasterPasswordDigest() {
  return FSessionManager->GetSettings().GetEncryptionPasswordDigest();
}

TORVLocalLogManager::TORVLocalLogManager(TORVLog* Log, TORVLocalSessionManager* SessionManager,
                                         TORVFileManager* FileManager, TORVLockManager* LockManager)
    : TORVLogManager(Log, LockManager, FileManager), FSessionManager(SessionManager) {}

TORVString TORVLocalLogManager::GetFullFileName() { return FSessionManager->GetConfigFileName(GetFileName()); }

// ---------------------------------------------------------------------------
// Life

TORVLocalSessionManager::TORVLocalSessionManager(TORVEngineManager* EngineManagerToUse, bool AcquireLock,
                                                 bool CreateConfigInformation)
    : TORVEngineSessionManager(EngineManagerToUse, AcquireLock),
      FSettings(std::make_unique<TORVLocalSessionEngineManagerSettings>(EngineManagerToUse, this)),
      FDatabaseManagers(std::make_unique<TORVHandleObjects>(TORVDatabaseManager::MaximumHandles, false)),
      FCreateConfigInformation(CreateConfigInformation) {
  SeedRandomOnce();
  FSettings->Assign(&EngineManagerToUse->GetSettings());
}

TORVLocalSessionManager::~TORVLocalSessionManager() { CloseForFree(); }

void TORVLocalSessionManager::BeforeDestruction() {
  CloseForFree();
  TORVEngineSessionManager::BeforeDestruction();
}

void TORVLocalSessionManager::CloseForFree() noexcept {
  if (!GetOpened()) return;
  WhileUnwinding([this] { Logout(); });
  WhileUnwinding([this] { InternalClose(); });
  TORVSessionManager::Close();
  UnInitialize();
}

void TORVLocalSessionManager::Open(const TORVString& SessionProcessName, const TORVString& SessionName,
                                   const TORVString& SessionDescription) {
  if (GetOpened()) return;
  Initialize();
  TORVEngineSessionManager::Open(SessionProcessName, SessionName, SessionDescription);
  FSessionFolder.clear();
  for (const TORVString& Part : {SessionProcessName, IntToString(GetHandle()), SessionName}) {
    FSessionFolder += Part;
    if (Part.empty() || Part.back() != PathSeparator) FSessionFolder += PathSeparator;
  }
  try {
    InternalOpen();
  } catch (...) {
    WhileUnwinding([this] { InternalClose(); });
    TORVSessionManager::Close();
    UnInitialize();
    throw;
  }
}

void TORVLocalSessionManager::Close() {
  if (!GetOpened()) return;
  Logout();
  try {
    InternalClose();
  } catch (...) {
    TORVSessionManager::Close();
    UnInitialize();
    throw;
  }
  TORVSessionManager::Close();
  UnInitialize();
}

void TORVLocalSessionManager::Initialize() {
  if (FInitialized) return;
  try {
    CheckConfigPath();
    FEvaluator = std::make_unique<TORVLocalExprEvaluator>(FSettings->GetCharacterSet());
    FContext = std::make_unique<TORVEvaluatorContext>();
    FContext->FOnProgress = [this](int32_t PercentDone, bool& Continue) { DoJobProgress(PercentDone, Continue); };
    FContext->FOnStatusMessage = [this](const TORVString& Msg, bool UserStatus) {
      DoJobStatusMessage(Msg, UserStatus);
    };
    FContext->FOnLogMessage = [this](const TORVString& Msg) { DoJobLogMessage(Msg); };
    FCompressionManager = std::make_unique<TORVCompressionManager>();
    FParser = std::make_unique<TORVExprParser>();
    FValidater = std::make_unique<TORVExprValidater>();
    FBuilder = std::make_unique<TORVExprBuilder>();

    FConfig = std::make_unique<TORVConfig>();
    FConfig->SetName(FSettings->GetConfigName());
    FConfig->SetCharacterSet(FSettings->GetCharacterSet());
    FConfig->SetPath(FSettings->GetConfigPath());
    FConfig->SetCacheModuleLibraries(FSettings->GetCacheModuleLibraries());
    FConfig->SetParser(FParser.get());
    FConfig->SetValidater(FValidater.get());
    FConfig->SetBuilder(FBuilder.get());
    FConfig->SetOnGetCollationName([this](int32_t ID) { return GetCollationName(ID); });
    FConfig->SetOnObjectRemoved([this](TORVConfigObject* ConfigObject) { ObjectRemoved(ConfigObject); });
    FConfig->SetOnBeginReadCatalog([this](TORVDatabaseContainer* Database) { BeginReadCatalog(Database); });
    FConfig->SetOnEndReadCatalog([this](TORVDatabaseContainer* Database) { EndReadCatalog(Database); });
    FConfig->SetOnBeginUpdateCatalog([this](TORVDatabaseContainer* Database) { BeginUpdateCatalog(Database); });
    FConfig->SetOnCancelUpdateCatalog(
        [this](TORVDatabaseContainer* Database, const std::exception* /*Error*/) { CancelUpdateCatalog(Database); });
    FConfig->SetOnEndUpdateCatalog([this](TORVDatabaseContainer* Database) { EndUpdateCatalog(Database); });

    FConfigFileManager = GetEngineManager()->GetConfigFileManager(FSettings->GetConfigMemory());
    LoadConfigDataTypes();
    LoadConfigCollations();

    const TORVString& Name = FSettings->GetConfigName();
    FLockManager = CreateConfigLockManager();
    FLockManager->SetFileName(Name + FSettings->GetLockExtension());

    FConfigManager = std::make_unique<TORVConfigManager>(FConfig.get(), this, FConfigFileManager, FLockManager.get());
    FConfigManager->Initialize();
    const TORVString ConfigFileName = Name + FSettings->GetConfigExtension();
    FConfigManager->SetFileName(ConfigFileName);
    FConfigManager->SetBackupCopyFileName(ConfigFileName + FSettings->GetCopyExtension());
    FConfigManager->SetOnSaveConfigObject([this](TORVConfigObject* ConfigObject) { SaveConfig(ConfigObject); });

    FLog = std::make_unique<TORVLog>(FConfig.get());
    FLogManager = std::make_unique<TORVLocalLogManager>(FLog.get(), this, FConfigFileManager, FLockManager.get());
    FLogManager->SetFileName(Name + FSettings->GetLogExtension());
    FLogManager->SetMaximumFileSize(FSettings->GetMaximumLogFileSize());

    FEvent = std::make_unique<TORVLogEvent>(FLogManager.get());

    FBackupsStore.clear();
    FFilesStore.clear();
    FUpdatesStore.clear();
    FMigrator.clear();
    FInformationCollation.clear();
    FInformationCollationID = 0;
    FInitialized = true;
  } catch (...) {
    UnInitialize();
    throw;
  }
}

void TORVLocalSessionManager::UnInitialize() noexcept {
  FreeDatabaseManagers();
  FEvent.reset();
  FLogManager.reset();
  FLog.reset();
  FConfigManager.reset();
  FLockManager.reset();
  FConfig.reset();
  FBuilder.reset();
  FValidater.reset();
  FParser.reset();
  FCompressionManager.reset();
  FContext.reset();
  FEvaluator.reset();
  FConfigFileManager = nullptr;
  FCurrentUser = nullptr;
  FNumCurrentUsers = 0;
  FInitialized = false;
}

void TORVLocalSessionManager::InternalOpen() {
  FLockManager->Open();
  FConfigManager->Open();
  FLogManager->Open();
  // Private to this session whatever the configuration is: the engine
  // keeps it in its memory files, under the session's folder.
  TORVDatabaseContainer* ConfigDatabase = FConfig->GetConfigDatabase();
  ConfigDatabase->SetPath(FSessionFolder + ConfigDatabase->GetName());
  OpenConfigDatabase();
}

void TORVLocalSessionManager::InternalClose() {
  // The databases' lock slots are the configuration's: they go first.
  WhileUnwinding([this] { CloseDatabaseManagers(); });
  WhileUnwinding([this] { CloseConfigDatabase(); });
  WhileUnwinding([this] { DropConfigDatabase(); });
  FreeDatabaseManagers();
  if (FConfig) {
    FConfig->GetTextFilters().CloseModules();
    FConfig->GetWordGenerators().CloseModules();
    FConfig->UnloadAllModules();
  }
  CloseFiles();
}

void TORVLocalSessionManager::CloseFiles() {
  if (FSettings->GetConfigMemory() && FSettings->GetConfigMemorySessionIsolation()) {
    // The files are this session's alone.
    FConfigManager->Drop();
    FLogManager->Drop();
    FLockManager->Drop();
  } else {
    FConfigManager->Close();
    FLogManager->Close();
    FLockManager->Close();
  }
}

TORVString TORVLocalSessionManager::GetConfigFileName(const TORVString& FileName) {
  if (!FSettings->GetConfigMemory()) {
    TORVString Path = FSettings->GetConfigPath();
    AddSeparator(Path);
    return Path + FileName;
  }
  if (FSettings->GetConfigMemorySessionIsolation()) return FSessionFolder + FileName;
  return FileName;
}

TORVLocalDatabaseManager* TORVLocalSessionManager::GetDatabaseManager(TORVDatabaseContainer* Database) {
  if (Database->GetManagerHandle() != 0) {
    auto* Found = static_cast<TORVLocalDatabaseManager*>(FDatabaseManagers->FindObject(Database->GetManagerHandle()));
    if (Found != nullptr && Found->GetDatabase() == Database) return Found;
  }
  auto Manager = std::make_unique<TORVLocalDatabaseManager>(
      Database, GetEngineManager()->GetFileManagerForDatabase(Database->GetInMemory(), Database->GetName()), this,
      !SameString(Database->GetName(), CursorCacheDatabaseName));
  FDatabaseManagers->AddObject(Manager.get(), false);
  Database->SetManagerHandle(Manager->GetHandle());
  return Manager.release();
}

void TORVLocalSessionManager::RemoveDatabaseManager(TORVDatabaseContainer* Database) {
  if (Database->GetManagerHandle() == 0) return;
  TORVHandleObject* Found = FDatabaseManagers->FindObject(Database->GetManagerHandle());
  Database->SetManagerHandle(0);
  if (Found == nullptr) return;
  if (Found == FConfigDatabaseManager) FConfigDatabaseManager = nullptr;
  FDatabaseManagers->RemoveObject(Found, false);
  delete Found;
}

void TORVLocalSessionManager::ObjectRemoved(TORVConfigObject* ConfigObject) {
  if (auto* Database = dynamic_cast<TORVDatabaseContainer*>(ConfigObject)) {
    RemoveDatabaseManager(Database);
    return;
  }
  // Only tables have managers in this session yet; a view's or routine's
  // handle would name another list's manager.
  auto* SchemaObject = dynamic_cast<TORVBaseTable*>(ConfigObject);
  if (SchemaObject == nullptr || SchemaObject->GetManagerHandle() == 0) return;
  TORVCatalog* Catalog = SchemaObject->GetCatalog();
  TORVDatabaseContainer* Database = Catalog != nullptr ? Catalog->GetDatabase() : nullptr;
  if (Database == nullptr) return;
  GetDatabaseManager(Database)->GetTableManagers().Remove(SchemaObject);
}

void TORVLocalSessionManager::ResetDatabaseManagers() {
  for (void (TORVLocalDatabaseManager::*Pass)() :
       {&TORVLocalDatabaseManager::Reset, &TORVLocalDatabaseManager::ResetCursors}) {
    int32_t Handle = 0;
    TORVHandleObject* Manager = nullptr;
    while (FDatabaseManagers->NextObject(Handle, Manager)) (static_cast<TORVLocalDatabaseManager*>(Manager)->*Pass)();
  }
}

void TORVLocalSessionManager::OpenConfigDatabase() {
  FConfigDatabaseManager = GetDatabaseManager(FConfig->GetConfigDatabase());
  FConfigDatabaseManager->Open(ltShared);
}

void TORVLocalSessionManager::CloseConfigDatabase() {
  if (FConfigDatabaseManager != nullptr) FConfigDatabaseManager->Close(true);
}

void TORVLocalSessionManager::DropConfigDatabase() {
  if (FConfigDatabaseManager == nullptr) return;
  TORVCurrentUserScope System(*this);
  SetCurrentUser(FConfig->GetSystemUser());
  FConfigDatabaseManager->Drop(false);
}

void TORVLocalSessionManager::BeginReadCatalog(TORVDatabaseContainer* Database) {
  BeginCatalogWork(Database, &TORVConfigObjectManager::BeginRead);
}

void TORVLocalSessionManager::EndReadCatalog(TORVDatabaseContainer* Database) {
  EndCatalogWork(Database, &TORVConfigObjectManager::EndRead);
}

void TORVLocalSessionManager::BeginUpdateCatalog(TORVDatabaseContainer* Database) {
  BeginCatalogWork(Database, &TORVConfigObjectManager::BeginUpdate);
  FUpdatingCatalogs.push_back(Database);
}

void TORVLocalSessionManager::CancelUpdateCatalog(TORVDatabaseContainer* Database) {
  if (!EndCatalogUpdate(Database)) return;
  EndCatalogWork(Database, &TORVConfigObjectManager::CancelUpdate);
}

void TORVLocalSessionManager::EndUpdateCatalog(TORVDatabaseContainer* Database) {
  if (!EndCatalogUpdate(Database)) return;
  EndCatalogWork(Database, &TORVConfigObjectManager::EndUpdate);
}

bool TORVLocalSessionManager::EndCatalogUpdate(TORVDatabaseContainer* Database) {
  auto Found = std::find(FUpdatingCatalogs.rbegin(), FUpdatingCatalogs.rend(), Database);
  if (Found == FUpdatingCatalogs.rend()) return false;
  FUpdatingCatalogs.erase(std::next(Found).base());
  return true;
}

void TORVLocalSessionManager::BeginCatalogWork(TORVDatabaseContainer* Database,
                                               void (TORVConfigObjectManager::*Work)()) {
  TORVLocalDatabaseManager* Manager = GetDatabaseManager(Database);
  Manager->Open(ltShared);
  try {
    (Manager->GetCatalogManager()->*Work)();
  } catch (...) {
    UndoAfterFailure([Manager] { Manager->Close(false); });
    throw;
  }
}

void TORVLocalSessionManager::EndCatalogWork(TORVDatabaseContainer* Database,
                                             void (TORVConfigObjectManager::*Work)()) {
  TORVLocalDatabaseManager* Manager = GetDatabaseManager(Database);
  try {
    (Manager->GetCatalogManager()->*Work)();
  } catch (...) {
    UndoAfterFailure([Manager] { Manager->Close(false); });
    throw;
  }
  Manager->Close(false);
}

void TORVLocalSessionManager::CloseDatabaseManagers() {
  std::exception_ptr First;
  int32_t Handle = 0;
  TORVHandleObject* Manager = nullptr;
  while (FDatabaseManagers->NextObject(Handle, Manager)) {
    try {
      static_cast<TORVLocalDatabaseManager*>(Manager)->Close(true);
    } catch (...) {
      if (!First) First = std::current_exception();
    }
  }
  if (First) std::rethrow_exception(First);
}

void TORVLocalSessionManager::FreeDatabaseManagers() noexcept {
  FConfigDatabaseManager = nullptr;
  int32_t Handle = 0;
  TORVHandleObject* Manager = nullptr;
  while (FDatabaseManagers->NextObject(Handle, Manager)) {
    auto* DatabaseManager = static_cast<TORVLocalDatabaseManager*>(Manager);
    DatabaseManager->GetDatabase()->SetManagerHandle(0);
    FDatabaseManagers->RemoveObject(Manager, false);
    delete DatabaseManager;
  }
}

int32_t TORVLocalSessionManager::GetDatabaseManagerCount() const {
  int32_t Count = 0;
  int32_t Handle = 0;
  TORVHandleObject* Manager = nullptr;
  while (FDatabaseManagers->NextObject(Handle, Manager)) ++Count;
  return Count;
}

std::unique_ptr<TORVConfigLockManager> TORVLocalSessionManager::CreateConfigLockManager() {
  return std::make_unique<TORVConfigLockManager>(FConfig.get(), this, FConfigFileManager);
}

void TORVLocalSessionManager::SaveConfig(TORVConfigObject* /*ConfigObject*/) {
  FConfig->SetVersion(GetEngineManager()->GetCatalogVersion());
}

void TORVLocalSessionManager::LoadConfigDataTypes() { orv::LoadConfigDataTypes(FConfig->GetDataTypes()); }

void TORVLocalSessionManager::LoadConfigCollations() {
  orv::LoadConfigCollations(FConfig->GetCollations(), FSettings->GetCharacterSet(), Environment());
}

// ---------------------------------------------------------------------------
// Session interface

int32_t TORVLocalSessionManager::GetCharacterSet() { return FSettings->GetCharacterSet(); }

uint32_t TORVLocalSessionManager::GetProgressTickCount() { return Environment().GetTickCount(); }

uint32_t TORVLocalSessionManager::CalcElapsedTime(uint32_t BeginTicks, uint32_t EndTicks) {
  return TORVEnvironment::CalcElapsedTime(BeginTicks, EndTicks);
}

TORVString TORVLocalSessionManager::GetCollationName(int32_t ID) {
  return Environment().GetCollationName(ID, GetCharacterSet());
}

TORVDatabaseManager* TORVLocalSessionManager::OpenDatabase(const TORVString& DatabaseName,
                                                          TORVLockType /*DatabaseLockType*/) {
  CheckLoggedIn(FormatString(u"OPEN DATABASE %s", {DatabaseName}));
  // The session keeps no database managers yet, so no database opens.
  RaiseError(ORV_NOT_FOUND_ERROR, {u"database", DatabaseName});
}

TORVStoreManager* TORVLocalSessionManager::OpenStore(const TORVString& StoreName, TORVLockType /*StoreLockType*/,
                                                     bool /*LocalOnly*/) {
  CheckLoggedIn(FormatString(u"OPEN STORE %s", {StoreName}));
  RaiseError(ORV_NOT_FOUND_ERROR, {u"store", StoreName});
}

void TORVLocalSessionManager::FreeCachedStatementManagers(const TORVString& /*DatabaseName*/) {}

void TORVLocalSessionManager::FreeCachedProcedureManagers(const TORVString& /*DatabaseName*/) {}

bool TORVLocalSessionManager::IncludeInScans() { return !GetEngineManager()->IsServerEngineManager(); }

void TORVLocalSessionManager::DisconnectServerSession(int32_t /*SessionID*/) {}

void TORVLocalSessionManager::RemoveServerSession(int32_t /*SessionID*/) {}

void TORVLocalSessionManager::ResetServerSessionStatistics(int32_t /*SessionID*/) {}

void TORVLocalSessionManager::DoJobProgress(int32_t PercentDone, bool& Continue) {
  Continue = SetProgress(PercentDone);
}

void TORVLocalSessionManager::DoJobStatusMessage(const TORVString& Msg, bool UserStatus) {
  StatusMessage(Msg, UserStatus);
}

void TORVLocalSessionManager::DoJobLogMessage(const TORVString& Msg) { LogMessage(Msg); }

// ---------------------------------------------------------------------------
// Login and users

bool TORVLocalSessionManager::GetLoggedIn() { return FCurrentUser != nullptr; }

void TORVLocalSessionManager::ClearLogin() {
  FCurrentUser = nullptr;
  FCurrentUserID = 0;
  FCurrentUserName.clear();
}

void TORVLocalSessionManager::Login(const TORVString& UserName, const TORVString& Password) {
  TORVUser* Locked = nullptr;
  try {
    TORVObjectReadScope ReadScope(*FConfigManager);
    TORVString User = UserName;
    TORVString Pass = Password;
    bool Credentials = !User.empty() && !Pass.empty();
    bool Continue = true;
    int32_t Failures = 0;
    while (!GetLoggedIn()) {
      if (!Credentials) Credentials = DoLogin(User, Pass, Continue);
      if (!Credentials) LoginError(ORV_LOGIN_INCORRECT_MSG);
      if (!Continue) LoginError(ORV_LOGIN_ABORTED_MSG);
      auto* Found = static_cast<TORVUser*>(FConfig->GetUsers().FindByName(User, false));
      FCurrentUser = Found;
      if (Found != nullptr && Found->Login(Pass)) {
        FCurrentUserID = Found->GetID();
        FCurrentUserName = Found->GetName();
        if (FLockManager->LockObject(Found, ltShared, -1)) Locked = Found;
        LogEvent(LogCategoryInformation, LoginFunctionCode, 0, TORVString());
        break;
      }
      ClearLogin();
      User.clear();
      Pass.clear();
      Credentials = false;
      if (++Failures >= MaximumLoginAttempts) LoginError(ORV_LOGIN_ATTEMPTS_MSG);
    }
  } catch (const std::exception& E) {
    // A login that fails at any point, its shared user lock included,
    // leaves nobody logged in.
    if (Locked != nullptr) FLockManager->UnlockAfterFailure(Locked, ltShared);
    ClearLogin();
    HandleException(E, LoginFunctionCode);
    throw;
  }
}

void TORVLocalSessionManager::Logout() {
  if (!GetLoggedIn()) return;
  try {
    FLockManager->UnlockObject(FCurrentUser, ltShared);
    // Without its lock the user is logged out, even when the event below
    // cannot be written; the event still names the user.
    FCurrentUser = nullptr;
    LogEvent(LogCategoryInformation, LogoutFunctionCode, 0, TORVString());
  } catch (const std::exception& E) {
    HandleException(E, LogoutFunctionCode);
    throw;
  }
}

TORVString TORVLocalSessionManager::GetCurrentUserName() {
  if (FNumCurrentUsers > 0) {
    TORVUser* Bottom = FCurrentUsers[0];
    return Bottom != nullptr ? Bottom->GetName() : TORVString();
  }
  return GetEffectiveUserName();
}

TORVString TORVLocalSessionManager::GetEffectiveUserName() {
  return FCurrentUser != nullptr ? FCurrentUser->GetName() : TORVString();
}

void TORVLocalSessionManager::PushCurrentUser() {
  if (static_cast<int32_t>(FCurrentUsers.size()) <= FNumCurrentUsers) FCurrentUsers.resize(FNumCurrentUsers + 1);
  FCurrentUsers[FNumCurrentUsers++] = FCurrentUser;
  FCurrentUserName = GetCurrentUserName();
}

void TORVLocalSessionManager::PopCurrentUser() {
  if (FNumCurrentUsers == 0) return;
  FCurrentUser = FCurrentUsers[--FNumCurrentUsers];
  FCurrentUsers[FNumCurrentUsers] = nullptr;
  FCurrentUserName = GetCurrentUserName();
}

TORVUser* TORVLocalSessionManager::GetLastCurrentUser() {
  return FNumCurrentUsers > 0 ? FCurrentUsers[FNumCurrentUsers - 1] : nullptr;
}

void TORVLocalSessionManager::SetCurrentUser(TORVUser* User) {
  FCurrentUser = User;
  FCurrentUserName = GetCurrentUserName();
}

bool TORVLocalSessionManager::SystemUser(TORVUser* User) {
  TORVUser* Check = User != nullptr ? User : FCurrentUser;
  return Check != nullptr && FConfig != nullptr && Check == FConfig->GetSystemUser();
}

bool TORVLocalSessionManager::AdministratorUser(TORVUser* EffectiveUser) {
  TORVUser* Check = EffectiveUser != nullptr ? EffectiveUser : FCurrentUser;
  return Check != nullptr && FConfig != nullptr && FConfig->IsAdministrator(Check);
}

// ---------------------------------------------------------------------------
// Guards

void TORVLocalSessionManager::LoginError(const TORVString& Reason) { RaiseError(ORV_LOGIN_ERROR, {Reason}); }

void TORVLocalSessionManager::NotLoggedInError(const TORVString& Text) {
  RaiseError(ORV_NOT_LOGGED_IN_ERROR, {Text});
}

void TORVLocalSessionManager::ConfigPathError(const TORVString& Text) { RaiseError(ORV_CONFIG_PATH_ERROR, {Text}); }

void TORVLocalSessionManager::AdministratorError(const TORVString& Text) {
  RaiseError(ORV_ADMINISTRATOR_ERROR, {Text});
}

void TORVLocalSessionManager::ReadOnlyError(const TORVString& Text) {
  RaiseError(ORV_READ_ONLY_ERROR, {u"configuration", FSettings->GetConfigName(), Text});
}

void TORVLocalSessionManager::PrivilegeError(const TORVString& Text) { RaiseError(ORV_PRIVILEGE_ERROR, {Text}); }

void TORVLocalSessionManager::CheckLoggedIn(const TORVString& Text) {
  if (!GetLoggedIn()) NotLoggedInError(Text);
}

void TORVLocalSessionManager::CheckConfigPath() {
  if (!FSettings->GetConfigMemory() && FSettings->GetConfigPath().empty()) ConfigPathError(ORV_CONFIG_PATH_EMPTY_MSG);
}

void TORVLocalSessionManager::CheckAdministrator(const TORVString& Text) {
  if (FCurrentUser == nullptr || !FConfig->IsAdministrator(FCurrentUser)) AdministratorError(Text);
}

void TORVLocalSessionManager::CheckNotReadOnly(const TORVString& Text) {
  if (FConfig != nullptr && FConfig->GetReadOnly()) ReadOnlyError(Text);
}

void TORVLocalSessionManager::CheckPrivilege(TORVPrivilegedConfigObject* Object, int32_t PrivilegeToCheck,
                                             const TORVString& Text) {
  if (!Object->CheckPrivilege(FCurrentUser, PrivilegeToCheck)) PrivilegeError(Text);
}

// ---------------------------------------------------------------------------
// Log events

void TORVLocalSessionManager::LogEvent(int32_t EventCategory, int32_t EventFunctionCode, int32_t EventErrorCode,
                                       const TORVString& EventDescription) {
  if (EventErrorCode == ORV_ROW_MODIFIED_ERROR.Code || EventErrorCode == ORV_ROW_VISIBILITY_ERROR.Code)
    EventCategory = LogCategoryWarning;
  if (EventCategory < 0 || EventCategory > LogCategoryError ||
      !CategorySet(FSettings->GetLogCategories(), EventCategory))
    return;
  if (FEvent == nullptr) throw std::logic_error("A log event needs an open session");
  FEvent->SetCategory(EventCategory);
  FEvent->SetFunctionCode(EventFunctionCode);
  FEvent->SetErrorCode(EventErrorCode);
  FEvent->SetDescription(EventDescription);
  FEvent->SetDateTime(CurrentTimeStamp(false));
  AssignLogEvent();
  FLogManager->LogEvent(*FEvent);
}

void TORVLocalSessionManager::AssignLogEvent() {
  TORVEngineManager* Engine = GetEngineManager();
  FEvent->SetVersion(Engine->GetVersion());
  FEvent->SetBuild(Engine->GetBuildNumber());
  FEvent->SetProductType(TORVString(EngineTypeString).substr(3));
  FEvent->SetUserName(FCurrentUserName);
  FEvent->SetProcessName(GetProcessName());
  FEvent->SetThreadID(Environment().GetThreadID());
  FEvent->SetSessionID(GetHandle());
  FEvent->SetSessionName(GetName());
  FEvent->SetSessionDescription(GetDescription());
}

void TORVLocalSessionManager::HandleException(const std::exception& Exception, int32_t EventFunctionCode) noexcept {
  WhileUnwinding([&] {
    if (FEvent == nullptr) return;
    if (const auto* Engine = dynamic_cast<const EORVException*>(&Exception)) {
      if (Engine->ErrorCode() == ORV_ROW_LOCK_ERROR.Code) return;
      LogEvent(LogCategoryError, EventFunctionCode, Engine->ErrorCode(), Engine->ErrorMsg());
    } else {
      LogEvent(LogCategoryError, EventFunctionCode, ORV_FOREIGN_ERROR_CODE, Utf8ToString(Exception.what()));
    }
  });
}

}  // namespace orv
