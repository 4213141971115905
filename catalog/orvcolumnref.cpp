#include "catalog/orvcolumnref.h"

#include "catalog/orvcolumns.h"
#include "catalog/orvselection.h"
#include "catalog/orvtable.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "sql/orvbuilder.h"

namespace orv {

TORVConfigObject* TORVColumnReference::OwnerObject() const {
  return FParent != nullptr ? FParent->GetParent() : nullptr;
}

TORVString TORVColumnReference::GetName() const {
  TORVColumn* Column = const_cast<TORVColumnReference*>(this)->ResolveColumn();
  return Column != nullptr ? Column->GetName() : TORVString();
}

void TORVColumnReference::ValidateError(const TORVString& Msg, int32_t Line, int32_t Column) {
  throw NamedError(ORV_METADATA_IN_ERROR, ORV_METADATA_ERROR, GetName(), {Msg}, Line, Column);
}

void TORVColumnReference::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FColumn = nullptr;
}

TORVColumn* TORVColumnReference::ResolveColumn() {
  if (FColumn != nullptr) return FColumn;
  TORVVirtualTable* Table = ReferencedTable();
  if (Table != nullptr) FColumn = static_cast<TORVColumn*>(Table->GetColumns().FindByID(FColumnID, true));
  return FColumn;
}

void TORVColumnReference::StoreColumn(TORVColumn* Value) {
  FColumn = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FColumnID) return;
  FColumnID = ID;
  SetModified(true);
}

void TORVColumnReference::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVColumnReference*>(FromObject);
  if (From == nullptr || From == this) return;
  FColumnID = From->FColumnID;
}

bool TORVColumnReference::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  auto* Other = dynamic_cast<TORVColumnReference*>(ObjectToCompare);
  if (Other == nullptr) return false;
  if (CompareID) return FColumnID == Other->FColumnID;
  return SameString(GetName(), Other->GetName());
}

TORVString TORVColumnReference::GetCreateSQL(bool, bool, bool) { return QuotedName(GetName()); }

void TORVColumnReference::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FColumnID);
}

void TORVColumnReference::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FColumnID = Stream.ReadInteger();
}

void TORVColumnReference::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVConfigObject* Owner = OwnerObject();
  if (Owner != nullptr && dynamic_cast<TORVColumn*>(Obj) != nullptr && Obj->GetID() == FColumnID)
    Obj->GetDependencies()->Add(Owner);
}

void TORVColumnReference::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  if (dynamic_cast<TORVColumn*>(Obj) == nullptr || Obj->GetID() != FColumnID) return;
  FColumnID = NewID;
  FColumn = nullptr;
  SetModified(true);
}

void SortUniqueByID(TORVConfigObjects& List) {
  List.Sort([](TORVConfigObject* A, TORVConfigObject* B) {
    return A->GetID() < B->GetID() ? -1 : (A->GetID() > B->GetID() ? 1 : 0);
  });
  for (int32_t I = List.GetCount() - 1; I > 0; --I)
    if (List.GetObjects(I)->GetID() == List.GetObjects(I - 1)->GetID()) List.Delete(I);
}

}  // namespace orv
