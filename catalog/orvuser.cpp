#include "catalog/orvuser.h"

#include <memory>

#include "base/orverrors.h"
#include "catalog/orvconfig.h"
#include "core/orvdatetime.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

TORVString Quoted(const TORVString& Text) { return QuotedString(Text, u'"'); }

void AdvanceRoleGeneration(TORVConfig* Config) {
  if (Config != nullptr) Config->AdvanceRoleGeneration();
}

}  // namespace

// ----------------------------------------------------------------- users

TORVUser::TORVUser(TORVConfig* OwnerConfig)
    : TORVAuthorization(OwnerConfig), FUserRoles(std::make_unique<TORVUserRoles>(OwnerConfig)) {
  FUserRoles->SetParent(this);
}

TORVUser::~TORVUser() = default;

TORVString TORVUser::GetTypeName() const { return u"user"; }

void TORVUser::SetSystemObject(bool Value) {
  TORVAuthorization::SetSystemObject(Value);
  FUserRoles->SetSystemObject(Value);
}

void TORVUser::SetTemporary(bool Value) {
  TORVAuthorization::SetTemporary(Value);
  FUserRoles->SetTemporary(Value);
}

void TORVUser::SetTemporaryForSession(bool Value) {
  TORVAuthorization::SetTemporaryForSession(Value);
  FUserRoles->SetTemporaryForSession(Value);
}

void TORVUser::ResetReferences() {
  TORVAuthorization::ResetReferences();
  FUserRoles->ResetReferences();
}

void TORVUser::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVAuthorization::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVUser*>(FromObject);
  if (From == nullptr) return;
  FPassword = From->FPassword;
  FPasswordChanged = From->FPasswordChanged;
  FDisabled = From->FDisabled;
  FMaxSessionCount = From->FMaxSessionCount;
  FUserRoles->Assign(From->FUserRoles.get(), CopyReferences);
  AdvanceRoleGeneration(FConfig);
}

void TORVUser::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVAuthorization::Save(Stream, CRCOnly);
  Stream.WriteString(FPassword);
  Stream.WriteLargeInt(FPasswordChanged);
  Stream.WriteBoolean(FDisabled);
  Stream.WriteInteger(FLockSlot);
  Stream.WriteInteger(FMaxSessionCount);
  FUserRoles->Save(Stream, CRCOnly);
}

void TORVUser::Load(TORVMemoryStream& Stream) {
  TORVAuthorization::Load(Stream);
  FPassword.clear();
  Stream.ReadString(FPassword);
  FPasswordChanged = GetConfigVersion() >= PasswordChangedVersion ? Stream.ReadLargeInt() : 0;
  FDisabled = Stream.ReadBoolean();
  FLockSlot = Stream.ReadInteger();
  FMaxSessionCount = Stream.ReadInteger();
  FUserRoles->Load(Stream);
  AdvanceRoleGeneration(FConfig);
}

void TORVUser::AddDependenciesToObject(TORVConfigObject* Obj) { FUserRoles->AddDependenciesToObject(Obj); }

void TORVUser::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  FUserRoles->RenameDependenciesToObject(Obj, NewName);
}

void TORVUser::DeleteDependenciesToObject(TORVConfigObject* Obj) { FUserRoles->DeleteDependenciesToObject(Obj); }

int32_t TORVUser::GetMemorySize() {
  return TORVAuthorization::GetMemorySize() + StringSize(FPassword) + FUserRoles->GetMemorySize();
}

int32_t TORVUser::GetMemoryCount() { return 1 + FUserRoles->GetCount(); }

TORVString TORVUser::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                  bool /*Restricted*/) {
  return u"CREATE USER " + Quoted(FName) + u"\r\nPASSWORD " + QuotedString(u"<Password>", u'\'') +
         DescriptionLines(FDescription, FAttributes);
}

void TORVUser::CheckInvariants() const {
  TORVAuthorization::CheckInvariants();
  CheckListInvariants({FUserRoles.get()});
}

TORVString TORVUser::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP USER " + Quoted(FName);
}

bool TORVUser::Login(const TORVString& LoginPassword) {
  if (FConfig != nullptr && FConfig->GetSystemUser() == this) return false;
  return !FDisabled && SameStringSensitive(LoginPassword, FPassword);
}

void TORVUser::SetPassword(const TORVString& Value) {
  if (Value.empty()) ValidateError(ORV_BLANK_PASSWORD_MSG, 0, 0);
  if (Value == FPassword) return;
  FPassword = Value;
  FPasswordChanged = CurrentTimeStamp(false);
  SetModified(true);
}

void TORVUser::SetDisabled(bool Value) {
  if (Value == FDisabled) return;
  FDisabled = Value;
  SetModified(true);
}

void TORVUser::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

void TORVUser::SetMaxSessionCount(int32_t Value) {
  if (Value == FMaxSessionCount) return;
  FMaxSessionCount = Value;
  SetModified(true);
}

int32_t TORVUser::FindRoleGrant(TORVRole* Role) {
  // A grant names its role by ID, so within one configuration the same ID
  // is the same name; a role of another configuration is matched by name.
  const bool SameConfig = Role->GetConfig() == FConfig && FConfig != nullptr;
  for (int32_t Index = 0; Index < FUserRoles->GetCount(); ++Index) {
    TORVUserRole* Grant = FUserRoles->GetUserRole(Index);
    if (SameConfig ? Grant->GetRoleID() == Role->GetID() : SameString(Grant->GetName(), Role->GetName()))
      return Index;
  }
  return -1;
}

bool TORVUser::HasBeenGrantedRole(TORVRole* Role) { return Role != nullptr && FindRoleGrant(Role) >= 0; }

void TORVUser::GrantRole(TORVUser* EffectiveUser, TORVRole* RoleToGrant) {
  if (RoleToGrant == nullptr || HasBeenGrantedRole(RoleToGrant)) return;
  std::unique_ptr<TORVUserRole> Grant(static_cast<TORVUserRole*>(FUserRoles->GetNewObject()));
  Grant->SetRole(RoleToGrant);
  Grant->SetGrantor(EffectiveUser);
  FUserRoles->Add(Grant.get());
  Grant.release();
  AdvanceRoleGeneration(FConfig);
}

void TORVUser::RevokeRole(TORVRole* RoleToRevoke) {
  if (RoleToRevoke == nullptr) return;
  const int32_t Index = FindRoleGrant(RoleToRevoke);
  if (Index < 0) return;
  std::unique_ptr<TORVConfigObject> Grant(FUserRoles->GetObjects(Index));
  FUserRoles->Delete(Index);
  AdvanceRoleGeneration(FConfig);
}

// ----------------------------------------------------------------- roles

TORVString TORVRole::GetTypeName() const { return u"role"; }

TORVString TORVRole::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                  bool /*Restricted*/) {
  return u"CREATE ROLE " + Quoted(FName) + DescriptionLines(FDescription, FAttributes);
}

TORVString TORVRole::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP ROLE " + Quoted(FName);
}

// ----------------------------------------------------------- role grants

TORVString TORVUserRole::GetTypeName() const { return u"granted role"; }

TORVRole* TORVUserRole::FindRole() const {
  if (FRole != nullptr) return FRole;
  if (FConfig == nullptr) return nullptr;
  return static_cast<TORVRole*>(FConfig->GetRoles().FindByID(FRoleID, false));
}

TORVString TORVUserRole::GetName() const {
  TORVRole* Role = FindRole();
  return Role != nullptr ? Role->GetName() : TORVString();
}

TORVRole* TORVUserRole::GetRole() {
  if (FRole == nullptr && FConfig != nullptr)
    FRole = static_cast<TORVRole*>(FConfig->GetRoles().FindByID(FRoleID, true));
  return FRole;
}

void TORVUserRole::SetRole(TORVRole* Value) {
  FRole = Value;
  if (Value == nullptr || Value->GetID() == FRoleID) return;
  FRoleID = Value->GetID();
  SetModified(true);
}

TORVUser* TORVUserRole::GetGrantor() {
  if (FGrantor == nullptr && FConfig != nullptr) {
    FGrantor = static_cast<TORVUser*>(FConfig->GetUsers().FindByName(FGrantorName, false));
    if (FGrantor == nullptr) FGrantor = FConfig->GetSystemUser();
  }
  return FGrantor;
}

void TORVUserRole::SetGrantor(TORVUser* Value) {
  FGrantor = Value;
  if (Value == nullptr || SameString(Value->GetName(), FGrantorName)) return;
  FGrantorName = Value->GetName();
  SetModified(true);
}

TORVUser* TORVUserRole::GetGrantedTo() const {
  return FParent != nullptr ? dynamic_cast<TORVUser*>(FParent->GetParent()) : nullptr;
}

void TORVUserRole::ResetReferences() {
  TORVConfigObject::ResetReferences();
  FRole = nullptr;
  FGrantor = nullptr;
}

void TORVUserRole::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVUserRole*>(FromObject);
  if (From == nullptr) return;
  FRoleID = From->FRoleID;
  FGrantorName = From->FGrantorName;
}

void TORVUserRole::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FRoleID);
  Stream.WriteString(FGrantorName);
}

void TORVUserRole::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FRoleID = Stream.ReadInteger();
  FGrantorName.clear();
  Stream.ReadString(FGrantorName);
  FRole = nullptr;
  FGrantor = nullptr;
}

void TORVUserRole::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVUser* Holder = GetGrantedTo();
  if (Holder == nullptr) return;
  const bool GrantsRole = dynamic_cast<TORVRole*>(Obj) != nullptr && Obj->GetID() == FRoleID;
  const bool Granted = dynamic_cast<TORVUser*>(Obj) != nullptr && SameString(Obj->GetName(), FGrantorName);
  if (GrantsRole || Granted) Obj->GetDependencies()->Add(Holder);
}

void TORVUserRole::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  if (dynamic_cast<TORVUser*>(Obj) == nullptr || !SameString(Obj->GetName(), FGrantorName)) return;
  FGrantorName = NewName;
  FGrantor = nullptr;
  SetModified(true);
}

void TORVUserRole::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  if (dynamic_cast<TORVUser*>(Obj) == nullptr || !SameString(Obj->GetName(), FGrantorName)) return;
  TORVUser* System = FConfig != nullptr ? FConfig->GetSystemUser() : nullptr;
  FGrantorName = System != nullptr ? System->GetName() : TORVString();
  FGrantor = nullptr;
  SetModified(true);
}

int32_t TORVUserRole::GetMemorySize() { return TORVConfigObject::GetMemorySize() + StringSize(FGrantorName); }

TORVString TORVUserRole::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                      bool /*Restricted*/) {
  TORVUser* Holder = GetGrantedTo();
  return u"GRANT " + Quoted(GetName()) + u" TO " + Quoted(Holder != nullptr ? Holder->GetName() : TORVString());
}

TORVString TORVUserRole::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  TORVUser* Holder = GetGrantedTo();
  return u"REVOKE " + Quoted(GetName()) + u" FROM " + Quoted(Holder != nullptr ? Holder->GetName() : TORVString());
}

// ----------------------------------------------------------------- lists

namespace {

// Runs Check unless Flag is set, with Flag set for its duration, so that
// the other list's call back returns at once.
template <typename TCheck>
void CheckingOnce(bool& Flag, TCheck Check) {
  if (Flag) return;
  Flag = true;
  try {
    Check();
  } catch (...) {
    Flag = false;
    throw;
  }
  Flag = false;
}

}  // namespace

void TORVAuthorizationObjects::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  CheckingOnce(FCheckingDuplicates, [&] {
    TORVConfigObjects::CheckForDuplicateObject(NewObject);
    if (TORVConfigObjects* Other = GetOtherList()) Other->CheckForDuplicateObject(NewObject);
  });
}

void TORVAuthorizationObjects::CheckRename(TORVConfigObject* ObjectToRename, const TORVString& NewName) {
  TORVConfigObjects::CheckRename(ObjectToRename, NewName);
  TORVConfigObjects* Other = GetOtherList();
  if (Other == nullptr) return;
  TORVConfigObject* Member = Other->FindByName(NewName, false);
  if (Member != nullptr && Member != ObjectToRename) Other->DuplicateObjectError(Member);
}

void TORVAuthorizationObjects::ObjectsChanged() {
  if (FConfig == nullptr) return;
  FConfig->AdvanceRoleGeneration();
  FConfig->RefreshAuthorizations();
}

TORVString TORVUsers::GetTypeName() const { return u"user"; }

TORVConfigObjects* TORVUsers::GetOtherList() const { return FConfig != nullptr ? &FConfig->GetRoles() : nullptr; }

TORVString TORVRoles::GetTypeName() const { return u"role"; }

TORVConfigObjects* TORVRoles::GetOtherList() const { return FConfig != nullptr ? &FConfig->GetUsers() : nullptr; }

TORVString TORVUserRoles::GetTypeName() const { return u"granted role"; }

bool TORVUserRoles::CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const {
  return static_cast<TORVUserRole*>(NewObject)->GetRoleID() == static_cast<TORVUserRole*>(Member)->GetRoleID();
}

// ----------------------------------------------------- information tables

const TORVConfigObjectsClass& UsersClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableText(u"Password", 80, false), TableColumn(u"PasswordLastChanged", dtTimeStamp),
       TableClob(u"Description", false), TableClob(u"Attributes", false), TableClob(u"CreateSQL", true),
       TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVUsers(Config); }, u"Users",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& RolesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVRoles(Config); }, u"Roles",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& UserRolesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableText(u"GrantedTo", 80, true), TableText(u"Grantor", 80, true),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}, {u"GrantedTo", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVUserRoles(Config); },
                                            u"UserRoles", &Description};
  return Class;
}

}  // namespace orv
