// Users, roles and the roles granted to users. Users and roles share one
// name space: no user carries a role's name and no role a user's.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVRole;
class TORVUserRoles;

// Configuration streams carry a user's PasswordChanged from this version on.
inline constexpr TORVCurrency PasswordChangedVersion = TORVCurrency::FromScaled(20400);

class TORVUser : public TORVAuthorization {
 public:
  explicit TORVUser(TORVConfig* OwnerConfig = nullptr);
  ~TORVUser() override;

  TORVString GetTypeName() const override;
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkUser; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  // Also the role grants' references.
  void ResetReferences() override;
  // The lockable copy, then password, its change stamp, the disabled flag,
  // the session limit and the role grants; never the lock slot.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Password, PasswordChanged (read from 2.04), Disabled, LockSlot,
  // MaxSessionCount and the role grants, in the checksum form too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  // The real password is never written: "<Password>" stands for it.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // Never for the System user or a disabled one; the password compares
  // case-sensitively with trailing blanks ignored.
  virtual bool Login(const TORVString& LoginPassword);

  const TORVString& GetPassword() const { return FPassword; }
  // ORV_METADATA_ERROR for an empty password; a password that differs in
  // any character is stored with the current local time stamp.
  void SetPassword(const TORVString& Value);
  int64_t GetPasswordChanged() const { return FPasswordChanged; }
  bool GetDisabled() const { return FDisabled; }
  void SetDisabled(bool Value);
  void SetLockSlot(int32_t Value);
  int32_t GetMaxSessionCount() const { return FMaxSessionCount; }
  void SetMaxSessionCount(int32_t Value);
  TORVUserRoles& GetUserRoles() const { return *FUserRoles; }
  // A grant of a role of Role's name.
  bool HasBeenGrantedRole(TORVRole* Role);
  // Nothing when the role is already granted; a change of roles ends the
  // effective sets computed before it.
  void GrantRole(TORVUser* EffectiveUser, TORVRole* RoleToGrant);
  void RevokeRole(TORVRole* RoleToRevoke);

 private:
  int32_t FindRoleGrant(TORVRole* Role);

  TORVString FPassword;
  int64_t FPasswordChanged = 0;
  bool FDisabled = false;
  int32_t FLockSlot = 0;
  int32_t FMaxSessionCount = 4096;
  std::unique_ptr<TORVUserRoles> FUserRoles;
};

class TORVRole : public TORVAuthorization {
 public:
  using TORVAuthorization::TORVAuthorization;

  TORVString GetTypeName() const override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
};

// One role granted to one user; its list belongs to the user. The role is
// stored by ID, the grantor by name.
class TORVUserRole : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  // The granted role's name; empty while the role cannot be found.
  TORVString GetName() const override;
  bool HasName(std::u16string_view Name) const override { return SameString(GetName(), Name); }
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // RoleID and grantor name after the base record, in the checksum form too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;
  int32_t GetMemorySize() override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // The role with the stored ID, which must exist (ORV_NOT_FOUND_ERROR).
  TORVRole* GetRole();
  void SetRole(TORVRole* Value);
  int32_t GetRoleID() const { return FRoleID; }
  // The user of the grantor name, else the System user.
  TORVUser* GetGrantor();
  void SetGrantor(TORVUser* Value);
  const TORVString& GetGrantorName() const { return FGrantorName; }
  // The user who holds the grant; nil outside a user.
  TORVUser* GetGrantedTo() const;

 private:
  TORVRole* FindRole() const;

  TORVRole* FRole = nullptr;
  int32_t FRoleID = 0;
  TORVUser* FGrantor = nullptr;
  TORVString FGrantorName;
};

// Users and roles share one name space. Adding a user checks the users
// and then the roles for the name; adding a role the roles and then the
// users. FCheckingDuplicates stops the second list from calling back. Any
// change of the members makes the configuration rebuild its
// authorizations.
class TORVAuthorizationObjects : public TORVConfigObjects {
 public:
  explicit TORVAuthorizationObjects(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  void CheckForDuplicateObject(TORVConfigObject* NewObject) override;
  void CheckRename(TORVConfigObject* ObjectToRename, const TORVString& NewName) override;
  void ObjectsChanged() override;

 protected:
  // The list whose names this one must not take; nil without a
  // configuration.
  virtual TORVConfigObjects* GetOtherList() const = 0;

 private:
  bool FCheckingDuplicates = false;
};

class TORVUsers : public TORVAuthorizationObjects {
 public:
  using TORVAuthorizationObjects::TORVAuthorizationObjects;

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVUser(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TORVUser* GetUser(int32_t Index) const { return static_cast<TORVUser*>(GetObjects(Index)); }

 protected:
  TORVConfigObjects* GetOtherList() const override;
};

class TORVRoles : public TORVAuthorizationObjects {
 public:
  using TORVAuthorizationObjects::TORVAuthorizationObjects;

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVRole(FConfig); }

  TORVRole* GetRole(int32_t Index) const { return static_cast<TORVRole*>(GetObjects(Index)); }

 protected:
  TORVConfigObjects* GetOtherList() const override;
};

class TORVUserRoles : public TORVConfigObjects {
 public:
  explicit TORVUserRoles(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVUserRole(FConfig); }
  // The same role ID.
  bool CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const override;

  TORVUserRole* GetUserRole(int32_t Index) const { return static_cast<TORVUserRole*>(GetObjects(Index)); }
};

// The information tables "Users", "Roles" and "UserRoles".
const TORVConfigObjectsClass& UsersClass();
const TORVConfigObjectsClass& RolesClass();
const TORVConfigObjectsClass& UserRolesClass();

}  // namespace orv
