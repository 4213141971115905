// The configuration's record of each database: where its files are,
// whether it lives in memory, its catalog's encryption, default collation
// and session limit, its owner and the privileges granted on it.
#pragma once

#include <cstdint>

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
// parent.
class TORVDatabaseContainer : public TORVPrivilegedConfigObject {
 public:
  // As loaded from a stream: owner System, every other field from the
  // stream.
  explicit TORVDatabaseContainer(TORVConfig* OwnerConfig = nullptr);
  // A new database: 4096 sessions, binary collation.
  TORVDatabaseContainer(TORVConfig* OwnerConfig, TORVUser* OwnerUser);

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
  int32_t GetMemorySize() override;

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
  // database; nil while none is read. Not owned.
  TORVCatalog* GetCatalog() const { return FCatalog; }
  void SetCatalog(TORVCatalog* Value) { FCatalog = Value; }
  bool GetSessionIsolation() const { return FSessionIsolation; }
  void SetSessionIsolation(bool Value) { FSessionIsolation = Value; }

 private:
  TORVString FPath;
  bool FInMemory = false;
  bool FEncryptedCatalog = false;
  int32_t FDefaultCollation = 0;
  int32_t FMaxSessionCount = 0;
  bool FSessionIsolation = false;
  TORVCatalog* FCatalog = nullptr;
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

}  // namespace orv
