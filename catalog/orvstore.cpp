#include "catalog/orvstore.h"

#include <memory>

#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

TORVStore::TORVStore(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObject(OwnerConfig) {
  ReplacePrivileges(std::make_unique<TORVStorePrivileges>(OwnerConfig));
}

TORVStore::TORVStore(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVPrivilegedConfigObject(OwnerConfig, OwnerUser),
      FAddress(u"127.0.0.1"),
      FPort(12010),
      FSignature(u"kiln_marigold"),
      FEncryptionPassword(u"brindlewort"),
      FCompression(6),
      FTimeout(180),
      FPing(true),
      FPingInterval(30) {
  ReplacePrivileges(std::make_unique<TORVStorePrivileges>(OwnerConfig));
}

TORVString TORVStore::GetTypeName() const { return u"store"; }

void TORVStore::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Number : {PrivilegeSelect, PrivilegeCreate, PrivilegeAlter, PrivilegeDrop})
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVStore::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  if (!FSystemObject) GrantPrivilege(EffectiveUser, GrantTo, PrivilegeSelect);
}

void TORVStore::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVPrivilegedConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVStore*>(FromObject);
  if (From == nullptr) return;
  const int32_t LockSlot = FLockSlot;
  FType = From->FType;
  FPath = From->FPath;
  FInMemory = From->FInMemory;
  FAddress = From->FAddress;
  FHostName = From->FHostName;
  FPort = From->FPort;
  FService = From->FService;
  FSignature = From->FSignature;
  FEncrypted = From->FEncrypted;
  FEncryptionPassword = From->FEncryptionPassword;
  FCompression = From->FCompression;
  FTimeout = From->FTimeout;
  FPing = From->FPing;
  FPingInterval = From->FPingInterval;
  FUserName = From->FUserName;
  FPassword = From->FPassword;
  FRemoteStore = From->FRemoteStore;
  FLockSlot = LockSlot;
}

void TORVStore::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVPrivilegedConfigObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FType);
  Stream.WriteString(FPath);
  Stream.WriteBoolean(FInMemory);
  Stream.WriteString(FAddress);
  Stream.WriteString(FHostName);
  Stream.WriteInteger(FPort);
  Stream.WriteString(FService);
  Stream.WriteString(FSignature);
  Stream.WriteBoolean(FEncrypted);
  Stream.WriteString(FEncryptionPassword);
  Stream.WriteInteger(FCompression);
  Stream.WriteInteger(FTimeout);
  Stream.WriteBoolean(FPing);
  Stream.WriteInteger(FPingInterval);
  Stream.WriteString(FUserName);
  Stream.WriteString(FPassword);
  Stream.WriteString(FRemoteStore);
  Stream.WriteInteger(FLockSlot);
}

void TORVStore::Load(TORVMemoryStream& Stream) {
  TORVPrivilegedConfigObject::Load(Stream);
  auto ReadText = [&Stream](TORVString& Value) {
    Value.clear();
    Stream.ReadString(Value);
  };
  FType = Stream.ReadInteger();
  ReadText(FPath);
  FInMemory = Stream.ReadBoolean();
  ReadText(FAddress);
  ReadText(FHostName);
  FPort = Stream.ReadInteger();
  ReadText(FService);
  ReadText(FSignature);
  FEncrypted = Stream.ReadBoolean();
  ReadText(FEncryptionPassword);
  FCompression = Stream.ReadInteger();
  FTimeout = Stream.ReadInteger();
  FPing = Stream.ReadBoolean();
  FPingInterval = Stream.ReadInteger();
  ReadText(FUserName);
  ReadText(FPassword);
  ReadText(FRemoteStore);
  FLockSlot = Stream.ReadInteger();
}

int32_t TORVStore::GetMemorySize() { return TORVPrivilegedConfigObject::GetMemorySize() + StringSize(FPath); }

void TORVStore::SetStoreType(int32_t Value) {
  if (Value == FType) return;
  FType = Value;
  SetModified(true);
}

void TORVStore::SetPath(const TORVString& Value) {
  if (Value == FPath) return;
  FPath = Value;
  SetModified(true);
}

void TORVStore::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

TORVString TORVStores::GetTypeName() const { return u"store"; }

}  // namespace orv
