#include "catalog/orvprivilege.h"

#include <array>
#include <memory>

#include "catalog/orvcatalogobject.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvjob.h"
#include "catalog/orvstore.h"
#include "catalog/orvuser.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"

namespace orv {

namespace {

constexpr const char16_t* PrivilegeNames[] = {u"Select", u"Insert", u"Update",  u"Delete",  u"Create",  u"Alter",
                                              u"Drop",   u"Maintain", u"Backup", u"Restore", u"Execute", u"All"};

uint64_t RoleGenerationOf(TORVConfig* Config) { return Config != nullptr ? Config->GetRoleGeneration() : 0; }

// The configuration's lists that can name an authorization, in the order
// the dependency walks visit them.
std::array<TORVConfigObjects*, 5> AuthorizationReferrers(TORVConfig& Config) {
  return {&Config.GetUsers(), &Config.GetRoles(), &Config.GetDatabases(), &Config.GetJobs(), &Config.GetStores()};
}

}  // namespace

bool PrivilegeSet(int32_t Set, int32_t Number) {
  return ((static_cast<uint32_t>(Set) >> (static_cast<uint32_t>(Number) & 31u)) & 1u) != 0;
}

void SetPrivilege(int32_t& Set, int32_t Number) {
  Set = static_cast<int32_t>(static_cast<uint32_t>(Set) | (1u << (static_cast<uint32_t>(Number) & 31u)));
}

TORVString GetPrivilegeName(int32_t Number) {
  if (Number < PrivilegeSelect || Number > PrivilegeAll) return TORVString();
  return PrivilegeNames[Number];
}

int32_t GetPrivilegeNumber(const TORVString& Name) {
  for (int32_t Number = PrivilegeSelect; Number <= PrivilegeAll; ++Number)
    if (SameString(Name, PrivilegeNames[Number])) return Number;
  return -1;
}

// ------------------------------------------------------- authorizations

TORVString TORVAuthorization::GetTypeName() const { return u"authorization"; }

bool TORVAuthorization::IsValidIdentifier(const TORVString& Name) { return ValidSecurityIdentifier(Name); }

void TORVAuthorization::SetDependencies() {
  if (FConfig == nullptr) return;
  for (TORVConfigObjects* List : AuthorizationReferrers(*FConfig)) List->AddDependenciesToObject(this);
}

void TORVAuthorization::RenameDependencies(const TORVString& NewName) {
  if (FConfig == nullptr) return;
  FConfig->AdvanceRoleGeneration();
  for (TORVConfigObjects* List : AuthorizationReferrers(*FConfig)) List->RenameDependenciesToObject(this, NewName);
}

void TORVAuthorization::DeleteDependencies() {
  if (FConfig == nullptr) return;
  FConfig->AdvanceRoleGeneration();
  for (TORVConfigObjects* List : AuthorizationReferrers(*FConfig)) List->DeleteDependenciesToObject(this);
}

TORVString TORVAuthorizations::GetTypeName() const { return u"authorization"; }

const TORVConfigObjectsClass& AuthorizationsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVAuthorizations(Config); },
                                            u"Authorizations", &Description};
  return Class;
}

const TORVTableDescription& PrivilegesTableDescription() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableText(u"Privilege", 15, true), TableText(u"GrantedTo", 80, true),
       TableText(u"Grantor", 80, true)},
      {{u"Name", {1}}, {u"GrantedTo", {3}}}};
  return Description;
}

// ----------------------------------------------------------- privileges

TORVString TORVPrivilege::GetTypeName() const { return u"privilege"; }

void TORVPrivilege::CheckReferences() {
  const uint64_t Generation = RoleGenerationOf(FConfig);
  if (Generation == FReferenceGeneration) return;
  FGrantedTo = nullptr;
  FGrantor = nullptr;
  FReferenceGeneration = Generation;
}

void TORVPrivilege::ResetReferences() {
  TORVConfigObject::ResetReferences();
  FGrantedTo = nullptr;
  FGrantor = nullptr;
}

void TORVPrivilege::SetNumber(int32_t Value) {
  if (Value == FNumber) return;
  FNumber = Value;
  SetModified(true);
}

TORVAuthorization* TORVPrivilege::GetGrantedTo() {
  CheckReferences();
  if (FGrantedTo == nullptr && FConfig != nullptr)
    FGrantedTo = static_cast<TORVAuthorization*>(FConfig->GetAuthorizations().FindByName(FGrantedToName, false));
  return FGrantedTo;
}

void TORVPrivilege::SetGrantedTo(TORVAuthorization* Value) {
  CheckReferences();
  FGrantedTo = Value;
  if (Value == nullptr || SameString(Value->GetName(), FGrantedToName)) return;
  FGrantedToName = Value->GetName();
  SetModified(true);
}

void TORVPrivilege::SetGrantedToName(const TORVString& Value) {
  FGrantedTo = nullptr;
  if (Value == FGrantedToName) return;
  FGrantedToName = Value;
  SetModified(true);
}

TORVUser* TORVPrivilege::GetGrantor() {
  CheckReferences();
  if (FGrantor == nullptr && FConfig != nullptr) {
    FGrantor = static_cast<TORVUser*>(FConfig->GetUsers().FindByName(FGrantorName, false));
    if (FGrantor == nullptr) FGrantor = FConfig->GetSystemUser();
  }
  return FGrantor;
}

void TORVPrivilege::SetGrantor(TORVUser* Value) {
  CheckReferences();
  FGrantor = Value;
  if (Value == nullptr || SameString(Value->GetName(), FGrantorName)) return;
  FGrantorName = Value->GetName();
  SetModified(true);
}

void TORVPrivilege::SetGrantorName(const TORVString& Value) {
  FGrantor = nullptr;
  if (Value == FGrantorName) return;
  FGrantorName = Value;
  SetModified(true);
}

void TORVPrivilege::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVPrivilege*>(FromObject);
  if (From == nullptr) return;
  FNumber = From->FNumber;
  FGrantedToName = From->FGrantedToName;
  FGrantorName = From->FGrantorName;
}

bool TORVPrivilege::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVConfigObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVPrivilege*>(ObjectToCompare);
  return Other != nullptr && FNumber == Other->FNumber && SameString(FGrantedToName, Other->FGrantedToName) &&
         SameString(FGrantorName, Other->FGrantorName);
}

void TORVPrivilege::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FNumber);
  Stream.WriteString(FGrantedToName);
  Stream.WriteString(FGrantorName);
}

void TORVPrivilege::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FNumber = Stream.ReadInteger();
  FGrantedToName.clear();
  Stream.ReadString(FGrantedToName);
  FGrantorName.clear();
  Stream.ReadString(FGrantorName);
  FGrantedTo = nullptr;
  FGrantor = nullptr;
}

int32_t TORVPrivilege::GetMemorySize() {
  return TORVConfigObject::GetMemorySize() + StringSize(FGrantedToName) + StringSize(FGrantorName);
}

void TORVPrivilege::AssignID() {
  TORVCatalog* Catalog = CatalogOf(this);
  if (Catalog == nullptr) {
    TORVConfigObject::AssignID();
    return;
  }
  if (FID == 0) FID = CatalogNextID(Catalog);
}

void TORVPrivilege::SetModified(bool Value) {
  TORVCatalog* Catalog = CatalogOf(this);
  if (Catalog == nullptr) {
    TORVConfigObject::SetModified(Value);
    return;
  }
  if (FParent == nullptr || FSystemObject || FTemporary || FTemporaryForSession) return;
  CatalogSetModified(Catalog, Value);
}

TORVString TORVPrivileges::GetTypeName() const { return u"privilege"; }

bool TORVPrivileges::CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const {
  auto* New = static_cast<TORVPrivilege*>(NewObject);
  auto* Old = static_cast<TORVPrivilege*>(Member);
  return New->GetNumber() == Old->GetNumber() && SameString(New->GetGrantedToName(), Old->GetGrantedToName());
}

bool TORVPrivileges::GetModified() const { return FParent != nullptr && FParent->GetModified(); }

void TORVPrivileges::SetModified(bool Value) {
  if (FParent != nullptr) FParent->SetModified(Value);
}

// ---------------------------------------------------- privileged objects

TORVPrivilegedConfigObject::TORVPrivilegedConfigObject(TORVConfig* OwnerConfig)
    : TORVLockableConfigObject(OwnerConfig),
      FOwnerName(SystemUserName()),
      FPrivileges(std::make_unique<TORVPrivileges>(OwnerConfig)) {
  FPrivileges->SetParent(this);
}

TORVPrivilegedConfigObject::TORVPrivilegedConfigObject(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVLockableConfigObject(OwnerConfig),
      FOwner(OwnerUser),
      FPrivileges(std::make_unique<TORVPrivileges>(OwnerConfig)) {
  if (OwnerUser != nullptr) FOwnerName = OwnerUser->GetName();
  if (FOwnerName.empty()) {
    FOwner = nullptr;
    FOwnerName = SystemUserName();
  }
  FOwnerGeneration = RoleGenerationOf(OwnerConfig);
  FPrivileges->SetParent(this);
}

TORVPrivilegedConfigObject::~TORVPrivilegedConfigObject() = default;

TORVUser* TORVPrivilegedConfigObject::SystemUser() const {
  return FConfig != nullptr ? FConfig->GetSystemUser() : nullptr;
}

TORVString TORVPrivilegedConfigObject::SystemUserName() const {
  TORVUser* System = SystemUser();
  return System != nullptr ? System->GetName() : TORVString();
}

void TORVPrivilegedConfigObject::ReplacePrivileges(std::unique_ptr<TORVPrivileges> Privileges) {
  Privileges->SetParent(this);
  Privileges->SetSystemObject(FSystemObject);
  Privileges->SetTemporary(FTemporary);
  Privileges->SetTemporaryForSession(FTemporaryForSession);
  FPrivileges = std::move(Privileges);
}

TORVString TORVPrivilegedConfigObject::GetTypeName() const { return u"privileged object"; }

void TORVPrivilegedConfigObject::SetSystemObject(bool Value) {
  TORVLockableConfigObject::SetSystemObject(Value);
  FPrivileges->SetSystemObject(Value);
}

void TORVPrivilegedConfigObject::SetTemporary(bool Value) {
  TORVLockableConfigObject::SetTemporary(Value);
  FPrivileges->SetTemporary(Value);
}

void TORVPrivilegedConfigObject::SetTemporaryForSession(bool Value) {
  TORVLockableConfigObject::SetTemporaryForSession(Value);
  FPrivileges->SetTemporaryForSession(Value);
}

void TORVPrivilegedConfigObject::ResetReferences() {
  TORVLockableConfigObject::ResetReferences();
  ClearEffectivePrivileges();
  FOwner = nullptr;
  FPrivileges->ResetReferences();
}

void TORVPrivilegedConfigObject::Reset() {
  TORVLockableConfigObject::Reset();
  FPrivileges->Reset();
}

void TORVPrivilegedConfigObject::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVPrivilegedConfigObject*>(FromObject);
  if (From == nullptr) return;
  FOwnerName = From->FOwnerName;
  FOwner = nullptr;
  FPrivileges->Assign(From->FPrivileges.get(), CopyReferences);
}

void TORVPrivilegedConfigObject::Validate() {
  TORVLockableConfigObject::Validate();
  FPrivileges->Validate();
}

int32_t TORVPrivilegedConfigObject::GetMemorySize() {
  return TORVLockableConfigObject::GetMemorySize() + StringSize(FOwnerName) + FPrivileges->GetMemorySize();
}

int32_t TORVPrivilegedConfigObject::GetMemoryCount() { return 1 + FPrivileges->GetCount(); }

void TORVPrivilegedConfigObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVLockableConfigObject::Save(Stream, CRCOnly);
  if (CRCOnly) return;
  if (GetConfigVersion() < OwnerNameVersion) {
    TORVUser* Owner = GetOwner();
    Stream.WriteInteger(Owner != nullptr ? Owner->GetID() : FOwnerID);
  } else {
    if (FOwnerName.empty()) {
      TORVUser* Owner = GetOwner();
      if (Owner != nullptr) FOwnerName = Owner->GetName();
    }
    Stream.WriteString(FOwnerName);
  }
  FPrivileges->Save(Stream, CRCOnly);
}

void TORVPrivilegedConfigObject::CheckInvariants() const {
  TORVLockableConfigObject::CheckInvariants();
  CheckListInvariants({FPrivileges.get()});
}

void TORVPrivilegedConfigObject::Load(TORVMemoryStream& Stream) {
  TORVLockableConfigObject::Load(Stream);
  FOwner = nullptr;
  FOwnerName.clear();
  if (GetConfigVersion() < OwnerNameVersion) {
    FOwnerID = Stream.ReadInteger();
    // The users come before databases, jobs and stores in the stream.
    GetOwner();
  } else {
    Stream.ReadString(FOwnerName);
  }
  FPrivileges->Load(Stream);
  ClearEffectivePrivileges();
}

void TORVPrivilegedConfigObject::CheckDynamicCreation() {
  if (FDynamicCreation && !FDynamicallyCreated) DynamicallyCreate();
}

TORVUser* TORVPrivilegedConfigObject::GetOwner() {
  const uint64_t Generation = RoleGenerationOf(FConfig);
  if (FOwner != nullptr && FOwnerGeneration == Generation) return FOwner;
  FOwner = nullptr;
  if (FConfig == nullptr) return nullptr;
  if (!FOwnerName.empty()) {
    FOwner = static_cast<TORVUser*>(FConfig->GetUsers().FindByName(FOwnerName, false));
    if (FOwner == nullptr) {
      FOwner = FConfig->GetSystemUser();
      FOwnerName = SystemUserName();
    }
  } else {
    FOwner = static_cast<TORVUser*>(FConfig->GetUsers().FindByID(FOwnerID, true));
    FOwnerName = FOwner->GetName();
  }
  FOwnerGeneration = Generation;
  return FOwner;
}

void TORVPrivilegedConfigObject::SetOwner(TORVUser* Value) {
  FOwner = Value;
  FOwnerGeneration = RoleGenerationOf(FConfig);
  if (Value == nullptr || SameString(Value->GetName(), FOwnerName)) return;
  FOwnerName = Value->GetName();
  SetModified(true);
}

void TORVPrivilegedConfigObject::RemoveOwner(TORVUser* OwnerToRemove) {
  if (!SameString(FOwnerName, OwnerToRemove->GetName())) return;
  FOwner = SystemUser();
  FOwnerGeneration = RoleGenerationOf(FConfig);
  FOwnerName = SystemUserName();
}

void TORVPrivilegedConfigObject::UpdateOwner(TORVUser* OwnerToUpdate, const TORVString& NewName) {
  if (!SameString(FOwnerName, OwnerToUpdate->GetName())) return;
  FOwnerName = NewName;
  ResetReferences();
}

void TORVPrivilegedConfigObject::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Number = PrivilegeSelect; Number <= PrivilegeExecute; ++Number)
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVPrivilegedConfigObject::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Number = PrivilegeSelect; Number <= PrivilegeDelete; ++Number)
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVPrivilegedConfigObject::GrantDefaultPrivileges() {
  if (FConfig == nullptr) return;
  TORVUser* System = FConfig->GetSystemUser();
  TORVRole* Administrators = FConfig->GetAdminRole();
  if (FSystemObject) {
    GrantAllPrivileges(System, System);
    GrantRestrictedPrivileges(System, Administrators);
  } else {
    TORVUser* Owner = GetOwner();
    if (Owner != System) GrantAllPrivileges(System, System);
    GrantAllPrivileges(System, Administrators);
    GrantAllPrivileges(System, Owner);
  }
  GrantRestrictedPrivileges(System, FConfig->GetPublicRole());
}

void TORVPrivilegedConfigObject::GrantOwnerPrivileges() {
  GrantAllPrivileges(FConfig != nullptr ? FConfig->GetSystemUser() : nullptr, GetOwner());
}

bool TORVPrivilegedConfigObject::FindPrivilege(TORVAuthorization* GrantTo, int32_t Number, int32_t& Index) {
  for (Index = 0; Index < FPrivileges->GetCount(); ++Index) {
    TORVPrivilege* Privilege = FPrivileges->GetPrivilege(Index);
    if (Privilege->GetNumber() == Number && SameString(Privilege->GetGrantedToName(), GrantTo->GetName()))
      return true;
  }
  Index = -1;
  return false;
}

void TORVPrivilegedConfigObject::GrantPrivilege(TORVUser* EffectiveUser, TORVAuthorization* GrantTo,
                                                int32_t PrivilegeToGrant) {
  if (GrantTo == nullptr) return;
  int32_t Index = 0;
  if (FindPrivilege(GrantTo, PrivilegeToGrant, Index)) return;
  std::unique_ptr<TORVPrivilege> Privilege(static_cast<TORVPrivilege*>(FPrivileges->GetNewObject()));
  Privilege->SetNumber(PrivilegeToGrant);
  Privilege->SetGrantedTo(GrantTo);
  Privilege->SetGrantor(EffectiveUser);
  FPrivileges->Add(Privilege.get());
  Privilege.release();
  ClearEffectivePrivileges();
}

void TORVPrivilegedConfigObject::RevokePrivilege(TORVAuthorization* WasGrantedTo, int32_t PrivilegeToRevoke) {
  int32_t Index = 0;
  if (!FindPrivilege(WasGrantedTo, PrivilegeToRevoke, Index)) return;
  std::unique_ptr<TORVConfigObject> Privilege(FPrivileges->GetObjects(Index));
  FPrivileges->Delete(Index);
  ClearEffectivePrivileges();
}

void TORVPrivilegedConfigObject::RevokeAllPrivileges(TORVAuthorization* WasGrantedTo) {
  for (int32_t Number = PrivilegeSelect; Number <= PrivilegeExecute; ++Number)
    RevokePrivilege(WasGrantedTo, Number);
}

void TORVPrivilegedConfigObject::ClearEffectivePrivileges() {
  FEffectiveUserID = 0;
  FEffectivePrivileges = 0;
  FEffectivePrivilegesSet = false;
}

int32_t TORVPrivilegedConfigObject::SetEffectivePrivileges(TORVUser* User) {
  if (User == nullptr) return 0;
  const uint64_t Generation = RoleGenerationOf(FConfig);
  if (FEffectivePrivilegesSet && FEffectiveUserID == User->GetID() && FEffectiveGeneration == Generation)
    return FEffectivePrivileges;
  int32_t Set = 0;
  for (int32_t Index = 0; Index < FPrivileges->GetCount(); ++Index) {
    TORVPrivilege* Privilege = FPrivileges->GetPrivilege(Index);
    TORVAuthorization* GrantedTo = Privilege->GetGrantedTo();
    if (GrantedTo == nullptr) continue;
    bool Counts = false;
    if (auto* Role = dynamic_cast<TORVRole*>(GrantedTo))
      Counts = User->HasBeenGrantedRole(Role);
    else
      Counts = dynamic_cast<TORVUser*>(GrantedTo) != nullptr && GrantedTo->GetID() == User->GetID();
    if (Counts) SetPrivilege(Set, Privilege->GetNumber());
  }
  // Valid only once the walk is whole: a walk that raised leaves no cache.
  FEffectivePrivileges = Set;
  FEffectiveUserID = User->GetID();
  FEffectiveGeneration = Generation;
  FEffectivePrivilegesSet = true;
  return Set;
}

bool TORVPrivilegedConfigObject::CheckPrivilege(TORVUser* EffectiveUser, int32_t PrivilegeToCheck) {
  if (PrivilegeToCheck < PrivilegeSelect || PrivilegeToCheck > PrivilegeExecute) return false;
  return PrivilegeSet(SetEffectivePrivileges(EffectiveUser), PrivilegeToCheck);
}

bool TORVPrivilegedConfigObject::ObjectVisible(TORVUser* EffectiveUser) {
  CheckDynamicCreation();
  const int32_t Set = SetEffectivePrivileges(EffectiveUser);
  return PrivilegeSet(Set, PrivilegeSelect) || PrivilegeSet(Set, PrivilegeExecute);
}

void TORVPrivilegedConfigObject::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVLockableConfigObject::AddDependenciesToObject(Obj);
  auto* Authorization = dynamic_cast<TORVAuthorization*>(Obj);
  if (Authorization == nullptr) return;
  const TORVString& Name = Authorization->GetName();
  if (SameString(FOwnerName, Name)) Authorization->GetDependencies()->Add(this);
  for (int32_t Index = 0; Index < FPrivileges->GetCount(); ++Index) {
    TORVPrivilege* Privilege = FPrivileges->GetPrivilege(Index);
    if (SameString(Privilege->GetGrantedToName(), Name) || SameString(Privilege->GetGrantorName(), Name))
      Authorization->GetDependencies()->Add(this);
  }
}

void TORVPrivilegedConfigObject::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVLockableConfigObject::RenameDependenciesToObject(Obj, NewName);
  auto* Authorization = dynamic_cast<TORVAuthorization*>(Obj);
  if (Authorization == nullptr) return;
  const TORVString Name = Authorization->GetName();
  if (SameString(FOwnerName, Name)) {
    FOwnerName = NewName;
    FOwner = nullptr;
    SetModified(true);
  }
  for (int32_t Index = 0; Index < FPrivileges->GetCount(); ++Index) {
    TORVPrivilege* Privilege = FPrivileges->GetPrivilege(Index);
    if (SameString(Privilege->GetGrantedToName(), Name)) Privilege->SetGrantedToName(NewName);
    if (SameString(Privilege->GetGrantorName(), Name)) Privilege->SetGrantorName(NewName);
  }
  ClearEffectivePrivileges();
}

void TORVPrivilegedConfigObject::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  TORVLockableConfigObject::DeleteDependenciesToObject(Obj);
  auto* Authorization = dynamic_cast<TORVAuthorization*>(Obj);
  if (Authorization == nullptr) return;
  const TORVString Name = Authorization->GetName();
  const TORVString System = SystemUserName();
  if (SameString(FOwnerName, Name)) {
    FOwnerName = System;
    FOwner = nullptr;
    SetModified(true);
  }
  for (int32_t Index = FPrivileges->GetCount() - 1; Index >= 0; --Index) {
    TORVPrivilege* Privilege = FPrivileges->GetPrivilege(Index);
    if (SameString(Privilege->GetGrantedToName(), Name)) {
      std::unique_ptr<TORVConfigObject> Freed(Privilege);
      FPrivileges->Delete(Index);
    } else if (SameString(Privilege->GetGrantorName(), Name)) {
      Privilege->SetGrantorName(System);
    }
  }
  ClearEffectivePrivileges();
}

// ------------------------------------------------ privileged collections

TORVConfigObject* TORVPrivilegedConfigObjects::GetNewObject(TORVUser* OwnerUser) {
  TORVConfigObject* Object = CreateObject(OwnerUser);
  if (Object == nullptr) return nullptr;
  Object->SetParent(this);
  Object->SetSystemObject(FSystemObject);
  Object->SetTemporary(FTemporary);
  Object->SetTemporaryForSession(FTemporaryForSession);
  return Object;
}

TORVPrivilegedConfigObject* TORVPrivilegedConfigObjects::Found(TORVConfigObject* Object, TORVUser* EffectiveUser,
                                                               bool RaiseException, bool& Hidden) {
  Hidden = false;
  if (Object == nullptr) return nullptr;
  auto* Privileged = static_cast<TORVPrivilegedConfigObject*>(Object);
  Privileged->CheckDynamicCreation();
  Hidden = EffectiveUser != nullptr && RaiseException && !Privileged->ObjectVisible(EffectiveUser);
  return Privileged;
}

TORVPrivilegedConfigObject* TORVPrivilegedConfigObjects::FindByID(int32_t SearchID, TORVUser* EffectiveUser,
                                                                  bool RaiseException) {
  bool Hidden = false;
  TORVPrivilegedConfigObject* Object =
      Found(TORVConfigObjects::FindByID(SearchID, RaiseException), EffectiveUser, RaiseException, Hidden);
  if (Hidden) ObjectIDNotFoundError(SearchID);
  return Object;
}

TORVPrivilegedConfigObject* TORVPrivilegedConfigObjects::FindByName(const TORVString& SearchName,
                                                                    TORVUser* EffectiveUser, bool RaiseException) {
  bool Hidden = false;
  TORVPrivilegedConfigObject* Object =
      Found(TORVConfigObjects::FindByName(SearchName, RaiseException), EffectiveUser, RaiseException, Hidden);
  if (Hidden) ObjectNameNotFoundError(SearchName);
  return Object;
}

TORVPrivilegedConfigObject* TORVPrivilegedConfigObjects::FindByInternalName(const TORVString& SearchName,
                                                                            TORVUser* EffectiveUser,
                                                                            bool RaiseException) {
  bool Hidden = false;
  TORVPrivilegedConfigObject* Object = Found(TORVConfigObjects::FindByInternalName(SearchName, RaiseException),
                                             EffectiveUser, RaiseException, Hidden);
  if (Hidden) ObjectNameNotFoundError(SearchName);
  return Object;
}

}  // namespace orv
