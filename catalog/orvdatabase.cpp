#include "catalog/orvdatabase.h"

#include <memory>

#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvschema.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

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

TORVDatabaseContainer::~TORVDatabaseContainer() = default;

TORVString TORVDatabaseContainer::GetTypeName() const { return u"database"; }

void TORVDatabaseContainer::SetCatalog(std::unique_ptr<TORVCatalog> Value) {
  FCatalog = std::move(Value);
  if (FCatalog != nullptr) FCatalog->SetParent(this);
}

std::unique_ptr<TORVCatalog> TORVDatabaseContainer::ReleaseCatalog() {
  if (FCatalog != nullptr) FCatalog->SetParent(nullptr);
  return std::move(FCatalog);
}

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

int32_t TORVDatabaseContainer::GetMemorySize() {
  return TORVPrivilegedConfigObject::GetMemorySize() + StringSize(FPath) +
         (FCatalog != nullptr ? FCatalog->GetMemorySize() : 0);
}

int32_t TORVDatabaseContainer::GetMemoryCount() {
  return TORVPrivilegedConfigObject::GetMemoryCount() + (FCatalog != nullptr ? FCatalog->GetMemoryCount() : 0);
}

void TORVDatabaseContainer::CheckInvariants() const {
  TORVPrivilegedConfigObject::CheckInvariants();
  if (FCatalog != nullptr) FCatalog->CheckInvariants();
}

TORVString TORVDatabaseContainer::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                               bool Restricted) {
  TORVString Result = u"CREATE DATABASE " + QuotedString(FName, u'"') + u"\r\n";
  if (FInMemory)
    Result += u"IN MEMORY";
  else
    Result += u"PATH " + QuotedString(Restricted ? TORVString() : FPath, u'\'');
  Result += FEncryptedCatalog ? u"\r\nENCRYPTED CATALOG" : u"\r\nUNENCRYPTED CATALOG";
  return Result + DescriptionLines(FDescription, FAttributes);
}

TORVString TORVDatabaseContainer::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP DATABASE " + QuotedString(FName, u'"');
}

void TORVDatabaseContainer::Lock(TORVLockType LockType) {
  TORVPrivilegedConfigObject::Lock(LockType);
  if (FCatalog == nullptr) return;
  try {
    FCatalog->GetDefaultSchema()->Lock(LockType);
  } catch (...) {
    TORVPrivilegedConfigObject::Unlock(LockType);
    throw;
  }
}

void TORVDatabaseContainer::Unlock(TORVLockType LockType) {
  if (FCatalog != nullptr) FCatalog->GetDefaultSchema()->Unlock(LockType);
  TORVPrivilegedConfigObject::Unlock(LockType);
}

void TORVDatabaseContainer::IncTransactionLockCount() {
  TORVPrivilegedConfigObject::IncTransactionLockCount();
  if (FCatalog != nullptr) FCatalog->GetDefaultSchema()->IncTransactionLockCount();
}

void TORVDatabaseContainer::DecTransactionLockCount() {
  if (FCatalog != nullptr) FCatalog->GetDefaultSchema()->DecTransactionLockCount();
  TORVPrivilegedConfigObject::DecTransactionLockCount();
}

void TORVDatabaseContainer::StartTransaction() {
  TORVPrivilegedConfigObject::StartTransaction();
  if (FCatalog != nullptr) FCatalog->GetDefaultSchema()->StartTransaction();
}

void TORVDatabaseContainer::EndTransaction() {
  if (FCatalog != nullptr) FCatalog->GetDefaultSchema()->EndTransaction();
  TORVPrivilegedConfigObject::EndTransaction();
}

void TORVDatabaseContainer::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVPrivilegedConfigObject::AddDependenciesToObject(Obj);
  if (FConfig == nullptr || dynamic_cast<TORVAuthorization*>(Obj) == nullptr) return;
  FConfig->DoBeginReadCatalog(this);
  try {
    if (FCatalog == nullptr) CatalogReadError();
    for (TORVConfigObjects* List : FCatalog->GetDefaultSchema()->GetUserObjectLists())
      List->AddDependenciesToObject(Obj);
  } catch (...) {
    FConfig->DoEndReadCatalog(this);
    throw;
  }
  FConfig->DoEndReadCatalog(this);
}

void TORVDatabaseContainer::UpdateCatalog(const std::function<void(TORVConfigObjects&)>& Walk) {
  if (FConfig == nullptr) return;
  try {
    FConfig->DoBeginUpdateCatalog(this);
    if (FCatalog == nullptr) CatalogReadError();
    for (TORVConfigObjects* List : FCatalog->GetDefaultSchema()->GetUserObjectLists()) Walk(*List);
    FConfig->DoEndUpdateCatalog(this);
  } catch (const std::exception& E) {
    // The authorization is renamed or dropped in the configuration whatever
    // a database's catalog says; the session reports the database it could
    // not update.
    FConfig->DoCancelUpdateCatalog(this, &E);
  }
}

void TORVDatabaseContainer::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVPrivilegedConfigObject::RenameDependenciesToObject(Obj, NewName);
  if (dynamic_cast<TORVAuthorization*>(Obj) == nullptr) return;
  UpdateCatalog([Obj, &NewName](TORVConfigObjects& List) { List.RenameDependenciesToObject(Obj, NewName); });
}

void TORVDatabaseContainer::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  TORVPrivilegedConfigObject::DeleteDependenciesToObject(Obj);
  if (dynamic_cast<TORVAuthorization*>(Obj) == nullptr) return;
  UpdateCatalog([Obj](TORVConfigObjects& List) { List.DeleteDependenciesToObject(Obj); });
}

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

const TORVConfigObjectsClass& DatabasesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableText(u"Path", 255, true), TableColumn(u"InMemory", dtBoolean), TableColumn(u"EncryptedCatalog", dtBoolean),
       TableText(u"DefaultCollation", 80, true), TableText(u"CatalogCharacterSet", 30, true),
       TableColumn(u"CatalogVersion", dtDecimal, 2), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVDatabaseContainers(Config); },
                                            u"Databases", &Description};
  return Class;
}

const TORVConfigObjectsClass& DatabasePrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVDatabasePrivileges(Config); },
                                            u"DatabasePrivileges", &PrivilegesTableDescription()};
  return Class;
}

}  // namespace orv
