// Stores: named folders for backups, update files and other files, local
// or on another server reached as a client, with the privileges granted on
// them.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvprivilege.h"

namespace orv {

// Configuration streams carry stores from this version on.
inline constexpr TORVCurrency StoresVersion = TORVCurrency::FromScaled(20000);

class TORVStorePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

class TORVStore : public TORVPrivilegedConfigObject {
 public:
  // As loaded from a stream: owner System and no defaults.
  explicit TORVStore(TORVConfig* OwnerConfig = nullptr);
  // A new store with the defaults of a remote connection.
  TORVStore(TORVConfig* OwnerConfig, TORVUser* OwnerUser);

  TORVString GetTypeName() const override;
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkStore; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  // Select, Create, Alter and Drop; Select unless a system store.
  void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  // The privileged copy, then every stored field but the lock slot.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // The store's settings after the privileged record, in the checksum form
  // too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;

  // 1 local, 2 remote.
  int32_t GetStoreType() const { return FType; }
  void SetStoreType(int32_t Value);
  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value);
  const TORVString& GetAddress() const { return FAddress; }
  int32_t GetPort() const { return FPort; }
  void SetLockSlot(int32_t Value);

 private:
  int32_t FType = 0;
  TORVString FPath;
  bool FInMemory = false;
  TORVString FAddress;
  TORVString FHostName;
  int32_t FPort = 0;
  TORVString FService;
  TORVString FSignature;
  bool FEncrypted = false;
  TORVString FEncryptionPassword;
  int32_t FCompression = 0;
  int32_t FTimeout = 0;
  bool FPing = false;
  int32_t FPingInterval = 0;
  TORVString FUserName;
  TORVString FPassword;
  TORVString FRemoteStore;
  int32_t FLockSlot = 0;
};

class TORVStores : public TORVPrivilegedConfigObjects {
 public:
  explicit TORVStores(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVStore(FConfig); }
  TORVConfigObject* CreateObject(TORVUser* OwnerUser) override { return new TORVStore(FConfig, OwnerUser); }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TORVStore* GetStore(int32_t Index) const { return static_cast<TORVStore*>(GetObjects(Index)); }
};

}  // namespace orv
