// The configuration root: the object every configuration object belongs to.
// It owns the lists of the server-wide objects and creates the built-in
// ones, hands out object IDs and lock slots, holds the modified flag that
// every object of the configuration marks, the stream version and
// character set, and the events through which the model calls back into
// its session. Its Save and Load are the configuration stream.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"

namespace orv {

class TORVAuthorizations;
class TORVCollations;
class TORVDatabaseContainer;
class TORVDatabaseContainers;
class TORVDataTypes;
class TORVExprBuilder;
class TORVExprParser;
class TORVExprValidater;
class TORVJobs;
class TORVMigrators;
class TORVModule;
class TORVModules;
class TORVRole;
class TORVRoles;
class TORVStore;
class TORVStores;
class TORVTextFilters;
class TORVUser;
class TORVUsers;
class TORVWordGenerator;
class TORVWordGenerators;

using TORVConfigObjectEvent = std::function<void(TORVConfigObject* ConfigObject)>;
using TORVDatabaseEvent = std::function<void(TORVDatabaseContainer* Database)>;
// Error is the failure that made the update give up; nil when the caller
// cancelled for another reason.
using TORVCancelUpdateCatalogEvent = std::function<void(TORVDatabaseContainer* Database, const std::exception* Error)>;
using TORVModuleEvent = std::function<void(TORVModule* Module)>;
using TORVModuleLoadErrorEvent = std::function<void(TORVModule* Module, const std::exception& LoadException)>;
using TORVModuleCallbackEvent =
    std::function<void(TORVModule* Module, int32_t ID, intptr_t Data, int32_t& DataSize)>;
using TORVCollationNameEvent = std::function<TORVString(int32_t Collation)>;

// Configuration streams carry migrators above this version.
inline constexpr TORVCurrency MigratorsVersion = TORVCurrency::FromScaled(10200);

// One session reads and changes the root and its lists at a time, under
// the configuration's read, write and transaction locks; GetNextID and the
// lock-slot functions rely on that. The built-in-object fields point into
// the lists, which own them; FAdminUser is nil once the Administrator is
// no longer a member of the users.
//
// FRoleGeneration advances whenever what a user's effective privileges
// depend on may have changed (role grants, users or roles added, removed or
// renamed, a load): an effective set computed under another generation is
// not used again.
class TORVConfig : public TORVLockableConfigObject {
 public:
  // ID 1; creates the lists and the built-in objects (the first ID handed
  // out is 3).
  TORVConfig();
  ~TORVConfig() override;

  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  bool GetNameValidation() const override { return false; }
  int32_t GetConfigCharacterSet() override { return FCharacterSet; }
  TORVCurrency GetConfigVersion() override { return FVersion; }
  bool GetModified() const override { return FModified; }
  void SetModified(bool Value) override { FModified = Value; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkConfiguration; }
  // The name check, then users, roles, databases, jobs, stores and modules.
  void Validate() override;
  void Reset() override;
  void ResetReferences() override;
  // The lockable copy, then from another root the version and the last ID;
  // each root keeps its own lists.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  // Version, LastID and the lists; clears the modified flag. Refused
  // (ORV_METADATA_ERROR) while a failed load has left the lists partly
  // refreshed.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  // A version newer than this engine's is refused before anything after
  // it is read; lists the version does not hold keep their members.
  void Load(TORVMemoryStream& Stream) override;

  // The last ID + 1 (1 after 2147483647); marks the configuration modified.
  int32_t GetNextID();
  int32_t GetLastID() const { return FLastID; }
  TORVCurrency GetVersion() const { return FVersion; }
  // A different version marks the configuration modified.
  void SetVersion(TORVCurrency Value);
  int32_t GetCharacterSet() const { return FCharacterSet; }
  void SetCharacterSet(int32_t Value) { FCharacterSet = Value; }
  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value) { FPath = Value; }
  bool GetCacheModuleLibraries() const { return FCacheModuleLibraries; }
  void SetCacheModuleLibraries(bool Value) { FCacheModuleLibraries = Value; }
  TORVExprParser* GetParser() const { return FParser; }
  void SetParser(TORVExprParser* Value) { FParser = Value; }
  TORVExprValidater* GetValidater() const { return FValidater; }
  void SetValidater(TORVExprValidater* Value) { FValidater = Value; }
  TORVExprBuilder* GetBuilder() const { return FBuilder; }
  void SetBuilder(TORVExprBuilder* Value) { FBuilder = Value; }

  // The lowest slot 1 .. 4096 (modules: 1 .. 1024) that no member holds;
  // 0 when every slot is taken.
  int32_t GetNewUserLockSlot();
  int32_t GetNewJobLockSlot();
  int32_t GetNewStoreLockSlot();
  int32_t GetNewModuleLockSlot();
  // The System user and every user granted the Administrators role.
  bool IsAdministrator(TORVUser* EffectiveUser);
  // Every user, then every role, in list order.
  void RefreshAuthorizations();
  // Frees every module's library, whatever references remain.
  void UnloadAllModules();
  uint64_t GetRoleGeneration() const { return FRoleGeneration; }
  void AdvanceRoleGeneration() { ++FRoleGeneration; }
  // False after a load failed part-way, until a load succeeds.
  bool GetLoadComplete() const { return FLoadComplete; }

  TORVWordGenerator* GetDefaultWordGenerator() const { return FDefaultWordGenerator; }
  TORVUser* GetSystemUser() const { return FSystemUser; }
  TORVUser* GetAdminUser() const { return FAdminUser; }
  TORVRole* GetAdminRole() const { return FAdminRole; }
  TORVRole* GetPublicRole() const { return FPublicRole; }
  TORVDatabaseContainer* GetConfigDatabase() const { return FConfigDatabase; }
  TORVDatabaseContainer* GetCacheDatabase() const { return FCacheDatabase; }
  TORVStore* GetTemporaryStore() const { return FTemporaryStore; }
  TORVUsers& GetUsers() const { return *FUsers; }
  TORVRoles& GetRoles() const { return *FRoles; }
  TORVDataTypes& GetDataTypes() const { return *FDataTypes; }
  TORVCollations& GetCollations() const { return *FCollations; }
  TORVModules& GetModules() const { return *FModules; }
  TORVTextFilters& GetTextFilters() const { return *FTextFilters; }
  TORVWordGenerators& GetWordGenerators() const { return *FWordGenerators; }
  TORVMigrators& GetMigrators() const { return *FMigrators; }
  TORVAuthorizations& GetAuthorizations() const { return *FAuthorizations; }
  TORVDatabaseContainers& GetDatabases() const { return *FDatabases; }
  TORVJobs& GetJobs() const { return *FJobs; }
  TORVStores& GetStores() const { return *FStores; }

  // Called by collection loads for each member the stream no longer holds,
  // before it is freed.
  void SetOnObjectRemoved(TORVConfigObjectEvent Value) { FOnObjectRemoved = std::move(Value); }
  void SetOnBeginReadCatalog(TORVDatabaseEvent Value) { FOnBeginReadCatalog = std::move(Value); }
  void SetOnEndReadCatalog(TORVDatabaseEvent Value) { FOnEndReadCatalog = std::move(Value); }
  void SetOnBeginUpdateCatalog(TORVDatabaseEvent Value) { FOnBeginUpdateCatalog = std::move(Value); }
  void SetOnCancelUpdateCatalog(TORVCancelUpdateCatalogEvent Value) { FOnCancelUpdateCatalog = std::move(Value); }
  void SetOnEndUpdateCatalog(TORVDatabaseEvent Value) { FOnEndUpdateCatalog = std::move(Value); }
  void SetOnModuleLoad(TORVModuleEvent Value) { FOnModuleLoad = std::move(Value); }
  void SetOnModuleUnload(TORVModuleEvent Value) { FOnModuleUnload = std::move(Value); }
  void SetOnModuleLoadError(TORVModuleLoadErrorEvent Value) { FOnModuleLoadError = std::move(Value); }
  void SetOnModuleCallback(TORVModuleCallbackEvent Value) { FOnModuleCallback = std::move(Value); }
  void SetOnGetCollationName(TORVCollationNameEvent Value) { FOnGetCollationName = std::move(Value); }
  void SetOnGetInformationCollationName(TORVCollationNameEvent Value) {
    FOnGetInformationCollationName = std::move(Value);
  }
  const TORVCollationNameEvent& GetOnGetCollationName() const { return FOnGetCollationName; }

  // Each calls its event when one is assigned.
  void DoObjectRemoved(TORVConfigObject* ConfigObject);
  void DoBeginReadCatalog(TORVDatabaseContainer* Database);
  void DoEndReadCatalog(TORVDatabaseContainer* Database);
  void DoBeginUpdateCatalog(TORVDatabaseContainer* Database);
  void DoCancelUpdateCatalog(TORVDatabaseContainer* Database, const std::exception* Error = nullptr);
  void DoEndUpdateCatalog(TORVDatabaseContainer* Database);
  void DoModuleLoad(TORVModule* Module);
  void DoModuleLoadError(TORVModule* Module, const std::exception& LoadException);
  void DoModuleCallback(TORVModule* Module, int32_t ID, intptr_t Data, int32_t& DataSize);
  void DoModuleUnload(TORVModule* Module);
  // Empty text without an event.
  TORVString DoGetInformationCollationName(int32_t Collation);

 private:
  void CreateDefaultWordGenerator();
  void CreateSystemUser();
  void CreateAdminRole();
  void CreatePublicRole();
  void CreateAdminUser();
  void CreateConfigDatabase();
  void CreateCacheDatabase();
  void CreateTemporaryStore();
  // The lowest clear slot of 1 .. SlotCount among the members' slots.
  int32_t GetNewLockSlot(TORVConfigObjects& Members, int32_t SlotCount);
  void LoadLists(TORVMemoryStream& Stream);

  int32_t FLastID = 2;
  TORVCurrency FVersion;
  int32_t FCharacterSet = CharacterSetAnsi;
  TORVString FPath;
  bool FCacheModuleLibraries = false;
  TORVWordGenerator* FDefaultWordGenerator = nullptr;
  TORVUser* FSystemUser = nullptr;
  TORVUser* FAdminUser = nullptr;
  TORVRole* FAdminRole = nullptr;
  TORVRole* FPublicRole = nullptr;
  TORVDatabaseContainer* FConfigDatabase = nullptr;
  TORVDatabaseContainer* FCacheDatabase = nullptr;
  TORVStore* FTemporaryStore = nullptr;
  std::unique_ptr<TORVDataTypes> FDataTypes;
  std::unique_ptr<TORVCollations> FCollations;
  std::unique_ptr<TORVModules> FModules;
  std::unique_ptr<TORVTextFilters> FTextFilters;
  std::unique_ptr<TORVWordGenerators> FWordGenerators;
  std::unique_ptr<TORVMigrators> FMigrators;
  std::unique_ptr<TORVAuthorizations> FAuthorizations;
  std::unique_ptr<TORVUsers> FUsers;
  std::unique_ptr<TORVRoles> FRoles;
  std::unique_ptr<TORVDatabaseContainers> FDatabases;
  std::unique_ptr<TORVJobs> FJobs;
  std::unique_ptr<TORVStores> FStores;
  TORVExprParser* FParser = nullptr;
  TORVExprValidater* FValidater = nullptr;
  TORVExprBuilder* FBuilder = nullptr;
  TORVConfigObjectEvent FOnObjectRemoved;
  TORVDatabaseEvent FOnBeginReadCatalog;
  TORVDatabaseEvent FOnEndReadCatalog;
  TORVDatabaseEvent FOnBeginUpdateCatalog;
  TORVCancelUpdateCatalogEvent FOnCancelUpdateCatalog;
  TORVDatabaseEvent FOnEndUpdateCatalog;
  TORVModuleEvent FOnModuleLoad;
  TORVModuleEvent FOnModuleUnload;
  TORVModuleLoadErrorEvent FOnModuleLoadError;
  TORVModuleCallbackEvent FOnModuleCallback;
  TORVCollationNameEvent FOnGetCollationName;
  TORVCollationNameEvent FOnGetInformationCollationName;
  uint64_t FRoleGeneration = 1;
  bool FLoadComplete = true;
  bool FModified = false;
};

}  // namespace orv
