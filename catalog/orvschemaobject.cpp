#include "catalog/orvschemaobject.h"

#include "catalog/orvschema.h"
#include "core/orvstream.h"

namespace orv {

TORVPrivilegedSchemaObject::TORVPrivilegedSchemaObject(TORVConfig* OwnerConfig)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig) {}

TORVPrivilegedSchemaObject::TORVPrivilegedSchemaObject(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig, OwnerUser) {}

TORVSchema* TORVPrivilegedSchemaObject::GetSchema() const {
  return FParent != nullptr ? dynamic_cast<TORVSchema*>(FParent->GetParent()) : nullptr;
}

void TORVPrivilegedSchemaObject::SetUserVersion(TORVCurrency Value) {
  if (Value == FUserVersion) return;
  FUserVersion = Value;
  SetModified(true);
}

void TORVPrivilegedSchemaObject::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVPrivilegedSchemaObject*>(FromObject)) FUserVersion = From->FUserVersion;
}

bool TORVPrivilegedSchemaObject::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogBound<TORVPrivilegedConfigObject>::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVPrivilegedSchemaObject*>(ObjectToCompare);
  return Other == nullptr || Other->FUserVersion == FUserVersion;
}

void TORVPrivilegedSchemaObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Save(Stream, CRCOnly);
  Stream.WriteCurrency(FUserVersion);
}

void TORVPrivilegedSchemaObject::Load(TORVMemoryStream& Stream) {
  TORVCatalogBound<TORVPrivilegedConfigObject>::Load(Stream);
  if (GetConfigVersion() >= SchemaObjectVersionVersion) FUserVersion = Stream.ReadCurrency();
}

}  // namespace orv
