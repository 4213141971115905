// Stores: named folders for backups, update files and other files, local
// or on another server reached as a client, with the privileges granted on
// them.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvtabledesc.h"

namespace orv {

// Configuration streams carry stores from this version on.
inline constexpr TORVCurrency StoresVersion = TORVCurrency::FromScaled(20000);

class TORVStorePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

// Store types.
inline constexpr int32_t LocalStoreType = 1;
inline constexpr int32_t RemoteStoreType = 2;

// A store's settings are read by the store manager alone: the object keeps
// them, streams them and writes them as CREATE STORE text. Passwords and
// the signature compare exactly, as the remote server compares them; names
// and addresses ignoring case.
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
  // With Restricted every location and credential literal is empty and the
  // port 0; the clauses written stay the same.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // Each setter marks the store modified only when the value changes.
  int32_t GetStoreType() const { return FType; }
  void SetStoreType(int32_t Value);
  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value);
  bool GetInMemory() const { return FInMemory; }
  void SetInMemory(bool Value);
  bool GetSessionIsolation() const { return FSessionIsolation; }
  void SetSessionIsolation(bool Value) { FSessionIsolation = Value; }
  const TORVString& GetAddress() const { return FAddress; }
  void SetAddress(const TORVString& Value);
  const TORVString& GetHostName() const { return FHostName; }
  void SetHostName(const TORVString& Value);
  int32_t GetPort() const { return FPort; }
  void SetPort(int32_t Value);
  const TORVString& GetService() const { return FService; }
  void SetService(const TORVString& Value);
  const TORVString& GetSignature() const { return FSignature; }
  void SetSignature(const TORVString& Value);
  bool GetEncrypted() const { return FEncrypted; }
  void SetEncrypted(bool Value);
  const TORVString& GetEncryptionPassword() const { return FEncryptionPassword; }
  void SetEncryptionPassword(const TORVString& Value);
  int32_t GetCompression() const { return FCompression; }
  void SetCompression(int32_t Value);
  int32_t GetTimeout() const { return FTimeout; }
  void SetTimeout(int32_t Value);
  bool GetPing() const { return FPing; }
  void SetPing(bool Value);
  int32_t GetPingInterval() const { return FPingInterval; }
  void SetPingInterval(int32_t Value);
  const TORVString& GetUserName() const { return FUserName; }
  void SetUserName(const TORVString& Value);
  const TORVString& GetPassword() const { return FPassword; }
  void SetPassword(const TORVString& Value);
  const TORVString& GetRemoteStore() const { return FRemoteStore; }
  void SetRemoteStore(const TORVString& Value);
  void SetLockSlot(int32_t Value);

 private:
  int32_t FType = 0;
  TORVString FPath;
  bool FInMemory = false;
  bool FSessionIsolation = false;
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

// Describes the "Files" table: the files of the session's files store.
class TORVStoreFiles : public TORVPrivilegedConfigObjects {
 public:
  explicit TORVStoreFiles(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObjects(true, OwnerConfig) {}
};

// The information tables "Stores", "StorePrivileges" and "Files".
const TORVConfigObjectsClass& StoresClass();
const TORVConfigObjectsClass& StorePrivilegesClass();
const TORVConfigObjectsClass& StoreFilesClass();

}  // namespace orv
