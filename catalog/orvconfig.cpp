#include "catalog/orvconfig.h"

#include <memory>

#include "base/orverrors.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvjob.h"
#include "catalog/orvmigrator.h"
#include "catalog/orvmodule.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvstore.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvuser.h"
#include "catalog/orvwordgen.h"
#include "core/orvbitmap.h"
#include "core/orvmath.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

constexpr int32_t UserSlotCount = 4096;
constexpr int32_t ModuleSlotCount = 1024;

}  // namespace

TORVConfig::TORVConfig() : TORVLockableConfigObject(nullptr) {
  FID = 1;
  FDataTypes = std::make_unique<TORVDataTypes>(this);
  FCollations = std::make_unique<TORVCollations>(this);
  FModules = std::make_unique<TORVModules>(this);
  FTextFilters = std::make_unique<TORVTextFilters>(this);
  FWordGenerators = std::make_unique<TORVWordGenerators>(this);
  FMigrators = std::make_unique<TORVMigrators>(this);
  FAuthorizations = std::make_unique<TORVAuthorizations>(this);
  FUsers = std::make_unique<TORVUsers>(this);
  FRoles = std::make_unique<TORVRoles>(this);
  FDatabases = std::make_unique<TORVDatabaseContainers>(this);
  FJobs = std::make_unique<TORVJobs>(this);
  FStores = std::make_unique<TORVStores>(this);
  for (TORVConfigObject* List :
       std::initializer_list<TORVConfigObject*>{FDataTypes.get(), FCollations.get(), FModules.get(),
                                                FTextFilters.get(), FWordGenerators.get(), FMigrators.get(),
                                                FAuthorizations.get(), FUsers.get(), FRoles.get(),
                                                FDatabases.get(), FJobs.get(), FStores.get()})
    List->SetParent(this);
  CreateDefaultWordGenerator();
  CreateSystemUser();
  CreateAdminRole();
  CreatePublicRole();
  CreateAdminUser();
  CreateConfigDatabase();
  CreateCacheDatabase();
  CreateTemporaryStore();
}

TORVConfig::~TORVConfig() {
  FStores.reset();
  FJobs.reset();
  FDatabases.reset();
  FRoles.reset();
  FUsers.reset();
  FAuthorizations.reset();
  FMigrators.reset();
  FWordGenerators.reset();
  FTextFilters.reset();
  FModules.reset();
  FCollations.reset();
  FDataTypes.reset();
}

TORVString TORVConfig::GetTypeName() const { return u"configuration"; }

// ------------------------------------------------------- built-in objects

void TORVConfig::CreateDefaultWordGenerator() {
  auto Generator = std::make_unique<TORVWordGenerator>(this);
  Generator->SetName(u"Default");
  Generator->SetDescription(u"Default Word Generator");
  Generator->SetSystemObject(true);
  FWordGenerators->Add(Generator.get());
  FDefaultWordGenerator = Generator.release();
}

void TORVConfig::CreateSystemUser() {
  auto User = std::make_unique<TORVUser>(this);
  User->SetName(u"System");
  User->SetDescription(u"System User");
  User->SetSystemObject(true);
  User->SetLockSlot(GetNewUserLockSlot());
  FUsers->Add(User.get());
  FSystemUser = User.release();
}

void TORVConfig::CreateAdminRole() {
  auto Role = std::make_unique<TORVRole>(this);
  Role->SetName(u"Administrators");
  Role->SetDescription(u"Administrators Role");
  Role->SetSystemObject(true);
  FRoles->Add(Role.get());
  FAdminRole = Role.release();
}

void TORVConfig::CreatePublicRole() {
  auto Role = std::make_unique<TORVRole>(this);
  Role->SetName(u"Public");
  Role->SetDescription(u"Public Role");
  Role->SetSystemObject(true);
  FRoles->Add(Role.get());
  FPublicRole = Role.release();
}

void TORVConfig::CreateAdminUser() {
  auto User = std::make_unique<TORVUser>(this);
  User->SetName(u"Administrator");
  User->SetDescription(u"Administrator User");
  User->SetPassword(u"PlumeHaven");
  User->SetLockSlot(GetNewUserLockSlot());
  FUsers->Add(User.get());
  FAdminUser = User.release();
  FAdminUser->GrantRole(FSystemUser, FAdminRole);
}

void TORVConfig::CreateConfigDatabase() {
  auto Database = std::make_unique<TORVDatabaseContainer>(this, FSystemUser);
  Database->SetName(u"Configuration");
  Database->SetDescription(u"Configuration Database");
  Database->SetSystemObject(true);
  Database->SetReadOnly(true);
  Database->SetSessionIsolation(true);
  FDatabases->Add(Database.get());
  FConfigDatabase = Database.release();
  FConfigDatabase->GrantDefaultPrivileges();
  FConfigDatabase->GrantPrivilege(FSystemUser, FPublicRole, PrivilegeSelect);
}

void TORVConfig::CreateCacheDatabase() {
  auto Database = std::make_unique<TORVDatabaseContainer>(this, FSystemUser);
  Database->SetName(u"__Cursor__Cache");
  Database->SetDescription(u"Cached Cursors Database");
  Database->SetSystemObject(true);
  Database->SetSessionIsolation(true);
  FDatabases->Add(Database.get());
  FCacheDatabase = Database.release();
  FCacheDatabase->GrantDefaultPrivileges();
  FCacheDatabase->GrantAllPrivileges(FSystemUser, FPublicRole);
}

void TORVConfig::CreateTemporaryStore() {
  auto Store = std::make_unique<TORVStore>(this, FSystemUser);
  Store->SetName(u"__Temp_Files");
  Store->SetDescription(u"Temporary Files Store");
  Store->SetSystemObject(true);
  Store->SetTemporary(true);
  FStores->Add(Store.get());
  FTemporaryStore = Store.release();
  FTemporaryStore->GrantDefaultPrivileges();
}

// ------------------------------------------------------------ IDs, slots

int32_t TORVConfig::GetNextID() {
  WrapIncInteger(FLastID, 1);
  FModified = true;
  return FLastID;
}

void TORVConfig::SetVersion(TORVCurrency Value) {
  if (Value == FVersion) return;
  FVersion = Value;
  FModified = true;
}

int32_t TORVConfig::GetNewLockSlot(TORVConfigObjects& Members, int32_t SlotCount) {
  TORVBitmap Used;
  Used.SetBitCount(SlotCount);
  for (int32_t Index = 0; Index < Members.GetCount(); ++Index) {
    const int32_t Slot = static_cast<TORVLockableConfigObject*>(Members.GetObjects(Index))->GetLockSlot();
    if (Slot > 0) Used.SetBit(Slot);
  }
  int32_t Slot = 0;
  return Used.NextBitClear(Slot) ? Slot : 0;
}

int32_t TORVConfig::GetNewUserLockSlot() { return GetNewLockSlot(*FUsers, UserSlotCount); }

int32_t TORVConfig::GetNewJobLockSlot() { return GetNewLockSlot(*FJobs, UserSlotCount); }

int32_t TORVConfig::GetNewStoreLockSlot() { return GetNewLockSlot(*FStores, UserSlotCount); }

int32_t TORVConfig::GetNewModuleLockSlot() { return GetNewLockSlot(*FModules, ModuleSlotCount); }

void TORVConfig::UnloadAllModules() {
  for (int32_t I = 0; I < FModules->GetCount(); ++I) {
    TORVModule* Module = FModules->GetModule(I);
    if (Module->GetModuleInstance() != 0 || Module->GetModuleInstanceCount() > 0) Module->UnloadModuleInstance(true);
  }
}

bool TORVConfig::IsAdministrator(TORVUser* EffectiveUser) {
  if (EffectiveUser == nullptr) return false;
  return EffectiveUser == FSystemUser || EffectiveUser->HasBeenGrantedRole(FAdminRole);
}

void TORVConfig::RefreshAuthorizations() {
  // Built while the lists are made and torn down: either may not exist.
  if (FAuthorizations == nullptr) return;
  FAuthorizations->Clear();
  bool AdminFound = false;
  if (FUsers != nullptr)
    for (int32_t Index = 0; Index < FUsers->GetCount(); ++Index) {
      TORVUser* User = FUsers->GetUser(Index);
      AdminFound = AdminFound || User == FAdminUser;
      FAuthorizations->Add(User);
    }
  if (!AdminFound) FAdminUser = nullptr;
  if (FRoles != nullptr)
    for (int32_t Index = 0; Index < FRoles->GetCount(); ++Index) FAuthorizations->Add(FRoles->GetRole(Index));
}

// ------------------------------------------------------ object overrides

void TORVConfig::Validate() {
  TORVLockableConfigObject::Validate();
  FUsers->Validate();
  FRoles->Validate();
  FDatabases->Validate();
  FJobs->Validate();
  FStores->Validate();
  FModules->Validate();
}

void TORVConfig::Reset() {
  TORVLockableConfigObject::Reset();
  FTextFilters->Reset();
  FWordGenerators->Reset();
  FUsers->Reset();
  FRoles->Reset();
  FDatabases->Reset();
  FJobs->Reset();
  FStores->Reset();
  FModules->Reset();
}

void TORVConfig::ResetReferences() {
  TORVLockableConfigObject::ResetReferences();
  AdvanceRoleGeneration();
  // Called by the base constructor's callers too: the lists may not exist.
  if (FStores == nullptr) return;
  for (TORVConfigObjects* List : std::initializer_list<TORVConfigObjects*>{
           FTextFilters.get(), FWordGenerators.get(), FMigrators.get(), FUsers.get(), FRoles.get(),
           FDatabases.get(), FJobs.get(), FStores.get(), FModules.get()})
    List->ResetReferences();
}

void TORVConfig::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVConfig*>(FromObject);
  if (From == nullptr) return;
  FVersion = From->FVersion;
  FLastID = From->FLastID;
}

int32_t TORVConfig::GetMemorySize() {
  int32_t Size = TORVLockableConfigObject::GetMemorySize() + StringSize(FPath);
  for (TORVConfigObjects* List : std::initializer_list<TORVConfigObjects*>{
           FDataTypes.get(), FCollations.get(), FModules.get(), FTextFilters.get(), FWordGenerators.get(),
           FMigrators.get(), FAuthorizations.get(), FUsers.get(), FRoles.get(), FDatabases.get(), FJobs.get(),
           FStores.get()})
    Size += List->GetMemorySize();
  return Size;
}

int32_t TORVConfig::GetMemoryCount() {
  int32_t Count = 1;
  for (TORVConfigObjects* List : std::initializer_list<TORVConfigObjects*>{
           FDataTypes.get(), FCollations.get(), FModules.get(), FTextFilters.get(), FWordGenerators.get(),
           FMigrators.get(), FAuthorizations.get(), FUsers.get(), FRoles.get(), FDatabases.get(), FJobs.get(),
           FStores.get()})
    Count += List->GetCount();
  return Count;
}

void TORVConfig::CheckInvariants() const {
  TORVLockableConfigObject::CheckInvariants();
  CheckListInvariants({FDataTypes.get(), FCollations.get(), FModules.get(), FTextFilters.get(), FWordGenerators.get(),
                       FMigrators.get(), FAuthorizations.get(), FUsers.get(), FRoles.get(), FDatabases.get(),
                       FJobs.get(), FStores.get()});
}

// ---------------------------------------------------------------- stream

void TORVConfig::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  if (!FLoadComplete) ValidateError(ORV_CONFIG_NOT_READ_MSG, 0, 0);
  Stream.WriteCurrency(FVersion);
  Stream.WriteInteger(FLastID);
  FTextFilters->Save(Stream, CRCOnly);
  FWordGenerators->Save(Stream, CRCOnly);
  FMigrators->Save(Stream, CRCOnly);
  FUsers->Save(Stream, CRCOnly);
  FRoles->Save(Stream, CRCOnly);
  FDatabases->Save(Stream, CRCOnly);
  FJobs->Save(Stream, CRCOnly);
  FStores->Save(Stream, CRCOnly);
  FModules->Save(Stream, CRCOnly);
  FModified = false;
}

void TORVConfig::LoadLists(TORVMemoryStream& Stream) {
  FLastID = Stream.ReadInteger();
  FTextFilters->Load(Stream);
  FWordGenerators->Load(Stream);
  if (FVersion > MigratorsVersion) FMigrators->Load(Stream);
  FUsers->Load(Stream);
  FRoles->Load(Stream);
  FDatabases->Load(Stream);
  FJobs->Load(Stream);
  if (FVersion >= StoresVersion) FStores->Load(Stream);
  if (FVersion >= ModulesVersion) FModules->Load(Stream);
}

void TORVConfig::Load(TORVMemoryStream& Stream) {
  FVersion = Stream.ReadCurrency();
  CheckEngineVersion(FVersion);
  FLoadComplete = false;
  try {
    LoadLists(Stream);
  } catch (...) {
    // Members already freed or replaced must not stay referenced.
    ResetReferences();
    throw;
  }
  ResetReferences();
  FLoadComplete = true;
  FModified = false;
}

// ---------------------------------------------------------------- events

void TORVConfig::DoObjectRemoved(TORVConfigObject* ConfigObject) {
  // The Administrator is stored, so another session may have dropped it.
  if (ConfigObject == FAdminUser) FAdminUser = nullptr;
  if (FOnObjectRemoved) FOnObjectRemoved(ConfigObject);
}

void TORVConfig::DoBeginReadCatalog(TORVDatabaseContainer* Database) {
  if (FOnBeginReadCatalog) FOnBeginReadCatalog(Database);
}

void TORVConfig::DoEndReadCatalog(TORVDatabaseContainer* Database) {
  if (FOnEndReadCatalog) FOnEndReadCatalog(Database);
}

void TORVConfig::DoBeginUpdateCatalog(TORVDatabaseContainer* Database) {
  if (FOnBeginUpdateCatalog) FOnBeginUpdateCatalog(Database);
}

void TORVConfig::DoCancelUpdateCatalog(TORVDatabaseContainer* Database, const std::exception* Error) {
  if (FOnCancelUpdateCatalog) FOnCancelUpdateCatalog(Database, Error);
}

void TORVConfig::DoEndUpdateCatalog(TORVDatabaseContainer* Database) {
  if (FOnEndUpdateCatalog) FOnEndUpdateCatalog(Database);
}

void TORVConfig::DoModuleLoad(TORVModule* Module) {
  if (FOnModuleLoad) FOnModuleLoad(Module);
}

void TORVConfig::DoModuleLoadError(TORVModule* Module, const std::exception& LoadException) {
  if (FOnModuleLoadError) FOnModuleLoadError(Module, LoadException);
}

void TORVConfig::DoModuleCallback(TORVModule* Module, int32_t ID, intptr_t Data, int32_t& DataSize) {
  if (FOnModuleCallback) FOnModuleCallback(Module, ID, Data, DataSize);
}

void TORVConfig::DoModuleUnload(TORVModule* Module) {
  if (FOnModuleUnload) FOnModuleUnload(Module);
}

TORVString TORVConfig::DoGetInformationCollationName(int32_t Collation) {
  return FOnGetInformationCollationName ? FOnGetInformationCollationName(Collation) : TORVString();
}

}  // namespace orv
