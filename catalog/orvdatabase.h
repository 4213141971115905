// The configuration's record of each database: where its files are,
// whether it lives in memory, its catalog's encryption, default collation
// and session limit, its owner and the privileges granted on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvprivilege.h"

namespace orv {

class TORVCatalog;

// Configuration streams carry EncryptedCatalog above this version and
// DefaultCollation from AttributesVersion (2.04) on.
inline constexpr TORVCurrency EncryptedCatalogVersion = TORVCurrency::FromScaled(10600);

class TORVDatabasePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

// Messages about databases use the short forms: a database names no
// parent. While the database is open the container owns its catalog;
// locks, transactions and the dependency walks of authorizations reach
// into the catalog's Default schema (the container is locked first and
// released last).
class TORVDatabaseContainer : public TORVPrivilegedConfigObject {
 public:
  // As loaded from a stream: owner System, every other field from the
  // stream.
  explicit TORVDatabaseContainer(TORVConfig* OwnerConfig = nullptr);
  // A new database: 4096 sessions, binary collation.
  TORVDatabaseContainer(TORVConfig* OwnerConfig, TORVUser* OwnerUser);
  ~TORVDatabaseContainer() override;

  TORVString GetTypeName() const override;
  TORVString GetParentName() const override { return TORVString(); }
  TORVString GetParentTypeName() const override { return TORVString(); }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkDatabase; }
  // Select, Create, Alter, Drop, Maintain, Backup and Restore; Select.
  void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  // The privileged copy, then path, in-memory and encrypted-catalog flags,
  // session limit and default collation.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Path, InMemory, EncryptedCatalog (read above 1.06), MaxSessionCount,
  // DefaultCollation (read from 2.04), in the checksum form too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // Also the attached catalog's.
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  // CREATE DATABASE with IN MEMORY or the PATH (an empty one when
  // Restricted), the catalog encryption, description and attributes.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  // The container, then the Default schema of the attached catalog;
  // releasing goes the other way. A schema that refuses leaves the
  // container as it was.
  void Lock(TORVLockType LockType) override;
  void Unlock(TORVLockType LockType) override;
  void IncTransactionLockCount() override;
  void DecTransactionLockCount() override;
  void StartTransaction() override;
  void EndTransaction() override;
  // For an authorization: the privileged hook, then the user objects of
  // the Default schema, between the root's begin- and end-read events. No
  // catalog attached is CatalogReadError; the end-read event runs anyway.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  // The same between the begin- and end-update events. A failure cancels
  // the update and is handed to the cancel event instead of stopping the
  // rename or drop of the authorization.
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;

  // ORV_METADATA_ERROR: the catalog was not read properly.
  virtual void CatalogReadError();

  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value);
  bool GetInMemory() const { return FInMemory; }
  void SetInMemory(bool Value);
  bool GetEncryptedCatalog() const { return FEncryptedCatalog; }
  void SetEncryptedCatalog(bool Value);
  int32_t GetDefaultCollation() const { return FDefaultCollation; }
  void SetDefaultCollation(int32_t Value);
  int32_t GetMaxSessionCount() const { return FMaxSessionCount; }
  void SetMaxSessionCount(int32_t Value);
  // The catalog attached by the database manager that opened the
  // database; nil while none is read. SetCatalog frees the catalog held
  // before and adopts Value as its parent; ReleaseCatalog hands the
  // catalog back to the caller and leaves none attached.
  TORVCatalog* GetCatalog() const { return FCatalog.get(); }
  void SetCatalog(std::unique_ptr<TORVCatalog> Value);
  std::unique_ptr<TORVCatalog> ReleaseCatalog();
  bool GetSessionIsolation() const { return FSessionIsolation; }
  void SetSessionIsolation(bool Value) { FSessionIsolation = Value; }

 private:
  TORVString FPath;
  bool FInMemory = false;
  bool FEncryptedCatalog = false;
  int32_t FDefaultCollation = 0;
  int32_t FMaxSessionCount = 0;
  bool FSessionIsolation = false;
  std::unique_ptr<TORVCatalog> FCatalog;

  // Runs Walk on the Default schema's user objects between the update
  // events; see RenameDependenciesToObject.
  void UpdateCatalog(const std::function<void(TORVConfigObjects&)>& Walk);
};

class TORVDatabaseContainers : public TORVPrivilegedConfigObjects {
 public:
  explicit TORVDatabaseContainers(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVString GetParentName() const override { return TORVString(); }
  TORVString GetParentTypeName() const override { return TORVString(); }
  TORVConfigObject* CreateObject() override { return new TORVDatabaseContainer(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override {
    return new TORVDatabaseContainer(FConfig, OwnerUser);
  }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TORVDatabaseContainer* GetDatabase(int32_t Index) const {
    return static_cast<TORVDatabaseContainer*>(GetObjects(Index));
  }
};

// The information tables of the databases and of the privileges granted on
// them.
const TORVConfigObjectsClass& DatabasesClass();
const TORVConfigObjectsClass& DatabasePrivilegesClass();

}  // namespace orv
