#include "catalog/orvdatabase.h"

#include <memory>

#include "base/orverrors.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

namespace {

constexpr char16_t CatalogReadMsg[] = u"The catalog was not read properly";

}  // namespace

TORVDatabaseContainer::TORVDatabaseContainer(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObject(OwnerConfig) {
  ReplacePrivileges(std::make_unique<TORVDatabasePrivileges>(OwnerConfig));
}

TORVDatabaseContainer::TORVDatabaseContainer(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVPrivilegedConfigObject(OwnerConfig, OwnerUser), FMaxSessionCount(4096) {
  ReplacePrivileges(std::make_unique<TORVDatabasePrivileges>(OwnerConfig));
}

TORVString TORVDatabaseContainer::GetTypeName() const { return u"database"; }

void TORVDatabaseContainer::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeSelect);
  for (int32_t Number = PrivilegeCreate; Number <= PrivilegeRestore; ++Number)
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVDatabaseContainer::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  GrantPrivilege(EffectiveUser, GrantTo, PrivilegeSelect);
}

void TORVDatabaseContainer::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVPrivilegedConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVDatabaseContainer*>(FromObject);
  if (From == nullptr) return;
  FPath = From->FPath;
  FInMemory = From->FInMemory;
  FEncryptedCatalog = From->FEncryptedCatalog;
  FMaxSessionCount = From->FMaxSessionCount;
  FDefaultCollation = From->FDefaultCollation;
}

void TORVDatabaseContainer::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVPrivilegedConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FPath);
  Stream.WriteBoolean(FInMemory);
  Stream.WriteBoolean(FEncryptedCatalog);
  Stream.WriteInteger(FMaxSessionCount);
  Stream.WriteInteger(FDefaultCollation);
}

void TORVDatabaseContainer::Load(TORVMemoryStream& Stream) {
  TORVPrivilegedConfigObject::Load(Stream);
  const TORVCurrency Version = GetConfigVersion();
  FPath.clear();
  Stream.ReadString(FPath);
  FInMemory = Stream.ReadBoolean();
  FEncryptedCatalog = Version > EncryptedCatalogVersion ? Stream.ReadBoolean() : false;
  FMaxSessionCount = Stream.ReadInteger();
  FDefaultCollation = Version >= AttributesVersion ? Stream.ReadInteger() : 0;
}

int32_t TORVDatabaseContainer::GetMemorySize() { return TORVPrivilegedConfigObject::GetMemorySize() + StringSize(FPath); }

void TORVDatabaseContainer::CatalogReadError() { ValidateError(CatalogReadMsg, 0, 0); }

void TORVDatabaseContainer::SetPath(const TORVString& Value) {
  if (Value == FPath) return;
  FPath = Value;
  SetModified(true);
}

void TORVDatabaseContainer::SetInMemory(bool Value) {
  if (Value == FInMemory) return;
  FInMemory = Value;
  SetModified(true);
}

void TORVDatabaseContainer::SetEncryptedCatalog(bool Value) {
  if (Value == FEncryptedCatalog) return;
  FEncryptedCatalog = Value;
  SetModified(true);
}

void TORVDatabaseContainer::SetDefaultCollation(int32_t Value) {
  if (Value == FDefaultCollation) return;
  FDefaultCollation = Value;
  SetModified(true);
}

void TORVDatabaseContainer::SetMaxSessionCount(int32_t Value) {
  if (Value == FMaxSessionCount) return;
  FMaxSessionCount = Value;
  SetModified(true);
}

TORVString TORVDatabaseContainers::GetTypeName() const { return u"database"; }

}  // namespace orv
