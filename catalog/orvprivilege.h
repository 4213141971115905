// Privileges: their numbering, the privileges granted on an object, the
// objects that carry them (with an owner, a cached effective set and the
// state bits the table managers set), and the authorizations (users and
// roles) that privileges are granted to.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVUser;

// Privilege numbers. 0 .. 10 are granted and stored; All is a name only.
inline constexpr int32_t PrivilegeSelect = 0;
inline constexpr int32_t PrivilegeInsert = 1;
inline constexpr int32_t PrivilegeUpdate = 2;
inline constexpr int32_t PrivilegeDelete = 3;
inline constexpr int32_t PrivilegeCreate = 4;
inline constexpr int32_t PrivilegeAlter = 5;
inline constexpr int32_t PrivilegeDrop = 6;
inline constexpr int32_t PrivilegeMaintain = 7;
inline constexpr int32_t PrivilegeBackup = 8;
inline constexpr int32_t PrivilegeRestore = 9;
inline constexpr int32_t PrivilegeExecute = 10;
inline constexpr int32_t PrivilegeAll = 11;

// Configuration streams store owners by name from this version on, by user
// ID before it.
inline constexpr TORVCurrency OwnerNameVersion = TORVCurrency::FromScaled(20000);

// A privilege set is an Int32 whose bit n (n modulo 32) stands for
// privilege n.
bool PrivilegeSet(int32_t Set, int32_t Number);
void SetPrivilege(int32_t& Set, int32_t Number);
// "Select" .. "All" for 0 .. 11; empty otherwise.
TORVString GetPrivilegeName(int32_t Number);
// The number 0 .. 11 whose name equals Name by SameString; -1 when none.
int32_t GetPrivilegeNumber(const TORVString& Name);

enum TORVObjectState : uint8_t { osInTransaction, osInBatchUpdate, osInRepair, osUpdatingCheckSum };
using TORVObjectStates = TORVSet<TORVObjectState, 8>;

// A user or a role. Renaming or dropping one reaches every object that can
// name it: users (their role grants), roles, databases, jobs and stores.
class TORVAuthorization : public TORVLockableConfigObject {
 public:
  using TORVLockableConfigObject::TORVLockableConfigObject;

  TORVString GetTypeName() const override;
  bool GetUseAttributes() const override { return true; }
  bool IsValidIdentifier(const TORVString& Name) override;
  // A rename or a drop also ends every effective set that counted this
  // authorization (the configuration's role generation advances).
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  void DeleteDependencies() override;
};

// The configuration's list of every user followed by every role; it owns
// none of them and is rebuilt when either list changes.
class TORVAuthorizations : public TORVConfigObjects {
 public:
  explicit TORVAuthorizations(TORVConfig* OwnerConfig) : TORVConfigObjects(false, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVAuthorization* GetAuthorization(int32_t Index) const {
    return static_cast<TORVAuthorization*>(GetObjects(Index));
  }
};

// One privilege granted to a user or role by a user. The names are what is
// stored; the references are looked up from them on first use and looked
// up again once the configuration's users or roles have changed, so that a
// reference never outlives the object it points to.
class TORVPrivilege : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  TORVString GetName() const override { return GetPrivilegeName(FNumber); }
  bool HasName(std::u16string_view Name) const override { return SameString(GetName(), Name); }
  // Under a catalog object the privilege is stored in the catalog file:
  // its ID comes from the catalog's counter, and a change marks the
  // catalog modified, never the configuration.
  void AssignID() override;
  void SetModified(bool Value) override;
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // Number, granted-to name and grantor name after the base record, in the
  // checksum form too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;

  int32_t GetNumber() const { return FNumber; }
  void SetNumber(int32_t Value);
  // The authorization of the granted-to name; nil when there is none.
  TORVAuthorization* GetGrantedTo();
  void SetGrantedTo(TORVAuthorization* Value);
  const TORVString& GetGrantedToName() const { return FGrantedToName; }
  void SetGrantedToName(const TORVString& Value);
  // The user of the grantor name, else the System user.
  TORVUser* GetGrantor();
  void SetGrantor(TORVUser* Value);
  const TORVString& GetGrantorName() const { return FGrantorName; }
  void SetGrantorName(const TORVString& Value);

 private:
  void CheckReferences();

  int32_t FNumber = 0;
  TORVAuthorization* FGrantedTo = nullptr;
  TORVString FGrantedToName;
  TORVUser* FGrantor = nullptr;
  TORVString FGrantorName;
  uint64_t FReferenceGeneration = 0;
};

// The privileges granted on one object; they mark that object modified.
class TORVPrivileges : public TORVConfigObjects {
 public:
  explicit TORVPrivileges(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVPrivilege(FConfig); }
  // The same number granted to the same name.
  bool CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const override;
  bool GetModified() const override;
  void SetModified(bool Value) override;

  TORVPrivilege* GetPrivilege(int32_t Index) const { return static_cast<TORVPrivilege*>(GetObjects(Index)); }
};

// An object users may be allowed or refused to use. The effective set is
// a cache for one user at a time: it answers for the same user ID while
// the configuration's role generation is unchanged and nothing was granted
// or revoked on the object since. The owner has no implicit rights.
class TORVPrivilegedConfigObject : public TORVLockableConfigObject {
 public:
  // Owned by the configuration's System user.
  explicit TORVPrivilegedConfigObject(TORVConfig* OwnerConfig = nullptr);
  // Owned by OwnerUser (the System user when that leaves no name).
  TORVPrivilegedConfigObject(TORVConfig* OwnerConfig, TORVUser* OwnerUser);
  ~TORVPrivilegedConfigObject() override;

  TORVString GetTypeName() const override;
  bool GetUseAttributes() const override { return true; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void ResetReferences() override;
  void Reset() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void Validate() override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  // Owner (ID before 2.00, name from 2.00) and the privileges after the
  // lockable record; nothing of it in the checksum form.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // For an authorization A: the owner and the privileges that name A.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;

  virtual void DynamicallyCreate() { FDynamicallyCreated = true; }
  // Privileges 0 .. 10, and Select, Insert, Update and Delete; families
  // grant what makes sense on them.
  virtual void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo);
  virtual void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo);
  virtual void StartTransaction() { FObjectState.Include(osInTransaction); }
  virtual void EndTransaction() { FObjectState.Exclude(osInTransaction); }
  virtual void StartBatchUpdate() { FObjectState.Include(osInBatchUpdate); }
  virtual void EndBatchUpdate() { FObjectState.Exclude(osInBatchUpdate); }
  virtual void StartRepair() { FObjectState.Include(osInRepair); }
  virtual void EndRepair() { FObjectState.Exclude(osInRepair); }
  virtual void StartUpdatingCheckSum() { FObjectState.Include(osUpdatingCheckSum); }
  virtual void EndUpdatingCheckSum() { FObjectState.Exclude(osUpdatingCheckSum); }

  void CheckDynamicCreation();
  // The user named by the owner name (the System user when there is none
  // of that name); from a pre-2.00 stream the user with the owner ID, which
  // must exist (ORV_NOT_FOUND_ERROR).
  TORVUser* GetOwner();
  void SetOwner(TORVUser* Value);
  const TORVString& GetOwnerName() const { return FOwnerName; }
  // The owner becomes System when it is OwnerToRemove, without marking the
  // object modified.
  void RemoveOwner(TORVUser* OwnerToRemove);
  void UpdateOwner(TORVUser* OwnerToUpdate, const TORVString& NewName);
  // Granted by System: a system object gives System all privileges and
  // Administrators the restricted ones; any other object gives all to
  // System (unless System owns it), to Administrators and to the owner;
  // both give Public the restricted ones.
  void GrantDefaultPrivileges();
  void GrantOwnerPrivileges();
  // Nothing when GrantTo's name already holds the privilege.
  void GrantPrivilege(TORVUser* EffectiveUser, TORVAuthorization* GrantTo, int32_t PrivilegeToGrant);
  void RevokePrivilege(TORVAuthorization* WasGrantedTo, int32_t PrivilegeToRevoke);
  void RevokeAllPrivileges(TORVAuthorization* WasGrantedTo);
  // The index of the privilege Number granted to GrantTo's name; false
  // when there is none.
  bool FindPrivilege(TORVAuthorization* GrantTo, int32_t Number, int32_t& Index);
  // Select or Execute in the user's effective set.
  bool ObjectVisible(TORVUser* EffectiveUser);
  bool CheckPrivilege(TORVUser* EffectiveUser, int32_t PrivilegeToCheck);
  // The user's effective set: privileges granted to the user or to a role
  // the user holds.
  int32_t SetEffectivePrivileges(TORVUser* User);
  void ClearEffectivePrivileges();

  bool GetDynamicCreation() const { return FDynamicCreation; }
  void SetDynamicCreation(bool Value) { FDynamicCreation = Value; }
  TORVPrivileges& GetPrivileges() const { return *FPrivileges; }
  int32_t GetEffectivePrivileges() const { return FEffectivePrivileges; }
  const TORVObjectStates& GetObjectState() const { return FObjectState; }
  int32_t GetManagerHandle() const { return FManagerHandle; }
  void SetManagerHandle(int32_t Value) { FManagerHandle = Value; }

 protected:
  // Families whose privileges list their own table make their list here;
  // only before anything is granted.
  void ReplacePrivileges(std::unique_ptr<TORVPrivileges> Privileges);
  TORVUser* SystemUser() const;
  TORVString SystemUserName() const;

  bool FDynamicCreation = false;
  bool FDynamicallyCreated = false;
  TORVUser* FOwner = nullptr;
  int32_t FOwnerID = 0;
  TORVString FOwnerName;
  std::unique_ptr<TORVPrivileges> FPrivileges;
  int32_t FEffectiveUserID = 0;
  bool FEffectivePrivilegesSet = false;
  int32_t FEffectivePrivileges = 0;
  uint64_t FEffectiveGeneration = 0;
  uint64_t FOwnerGeneration = 0;
  TORVObjectStates FObjectState;
  int32_t FManagerHandle = 0;
};

// A collection of privileged objects; lookups can hide what the effective
// user may not see.
class TORVPrivilegedConfigObjects : public TORVConfigObjects {
 public:
  using TORVConfigObjects::TORVConfigObjects;
  using TORVConfigObjects::CreateObject;
  using TORVConfigObjects::FindByID;
  using TORVConfigObjects::FindByInternalName;
  using TORVConfigObjects::FindByName;
  using TORVConfigObjects::GetNewObject;

  // A new member owned by OwnerUser; nil for collections that make none.
  virtual TORVConfigObject* CreateObject(TORVUser* /*OwnerUser*/) { return nullptr; }
  TORVConfigObject* GetNewObject(TORVUser* OwnerUser);
  // The inherited search; a found object builds its definition first.
  // With EffectiveUser and RaiseException, an object the user may not see
  // raises the not-found error as if it did not exist. Without
  // RaiseException an unknown ID answers nil.
  TORVPrivilegedConfigObject* FindByID(int32_t SearchID, TORVUser* EffectiveUser, bool RaiseException);
  TORVPrivilegedConfigObject* FindByName(const TORVString& SearchName, TORVUser* EffectiveUser,
                                         bool RaiseException);
  TORVPrivilegedConfigObject* FindByInternalName(const TORVString& SearchName, TORVUser* EffectiveUser,
                                                 bool RaiseException);

 private:
  // Object after it built its definition; Hidden when the lookup must
  // report it as not existing.
  static TORVPrivilegedConfigObject* Found(TORVConfigObject* Object, TORVUser* EffectiveUser, bool RaiseException,
                                           bool& Hidden);
};

// The information table of the authorizations: "Authorizations".
const TORVConfigObjectsClass& AuthorizationsClass();

// The one form of every information table that lists the privileges
// granted on objects of a kind (databases, stores, tables, views,
// procedures, functions): the object's name, the privilege's name, the
// holder and the grantor.
const TORVTableDescription& PrivilegesTableDescription();

}  // namespace orv
