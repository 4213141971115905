#include "catalog/orvconfigobject.h"

#include <stdexcept>

#include "base/orverrors.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVConfigObject

TORVString TORVConfigObject::GetTypeName() const { return u"object"; }

TORVString TORVConfigObject::GetParentName() const {
  if (FParent == nullptr) return TORVString();
  if (dynamic_cast<const TORVConfigObjects*>(FParent) != nullptr) return FParent->GetParentName();
  return FParent->GetName();
}

TORVString TORVConfigObject::GetParentTypeName() const {
  if (FParent == nullptr) return TORVString();
  if (dynamic_cast<const TORVConfigObjects*>(FParent) != nullptr) return FParent->GetParentTypeName();
  return FParent->GetTypeName();
}

void TORVConfigObject::SetName(const TORVString& Value) {
  if (Value == FName) return;
  FName = RTrimString(Value, u' ');
  SetModified(true);
}

void TORVConfigObject::SetDescription(const TORVString& Value) {
  if (Value == FDescription) return;
  FDescription = Value;
  SetModified(true);
}

void TORVConfigObject::Assign(TORVConfigObject* FromObject, bool /*CopyReferences*/) {
  FPosition = FromObject->FPosition;
  FID = FromObject->FID;
  FName = FromObject->FName;
  FDescription = FromObject->FDescription;
  FHidden = FromObject->FHidden;
  FReadOnly = FromObject->FReadOnly;
  SetModified(true);
  ResetReferences();
}

bool TORVConfigObject::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  return SameString(GetName(), ObjectToCompare->GetName()) && FDescription == ObjectToCompare->FDescription &&
         (!CompareID || FID == ObjectToCompare->FID);
}

void TORVConfigObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  if (!CRCOnly) Stream.WriteInteger(FID);
  if (GetNameRequired()) {
    Stream.WriteString(FName);
    if (!CRCOnly) Stream.WriteString(FDescription);
  }
  Stream.WriteBoolean(FHidden);
  if (!CRCOnly) Stream.WriteBoolean(FReadOnly);
}

void TORVConfigObject::Load(TORVMemoryStream& Stream) {
  FID = Stream.ReadInteger();
  if (GetNameRequired()) {
    Stream.ReadString(FName);
    Stream.ReadString(FDescription);
  }
  FHidden = Stream.ReadBoolean();
  FReadOnly = Stream.ReadBoolean();
  ResetReferences();
  FLoaded = true;
}

// ---------------------------------------------------------------------------
// TORVConfigObjects

TORVConfigObjects::~TORVConfigObjects() {
  if (FOwnsObjects)
    for (auto It = FObjects.rbegin(); It != FObjects.rend(); ++It) delete *It;
}

TORVString TORVConfigObjects::GetTypeName() const { return u"object"; }

void TORVConfigObjects::RaiseNotFound(const TORVString& Name) {
  const TORVString ParentType = GetParentTypeName();
  const TORVString Parent = GetParentName();
  if (!ParentType.empty() && !Parent.empty()) RaiseError(ORV_NOT_FOUND_IN_ERROR, {GetTypeName(), Name, ParentType, Parent});
  RaiseError(ORV_NOT_FOUND_ERROR, {GetTypeName(), Name});
}

void TORVConfigObjects::ObjectIDNotFoundError(int32_t ID) { RaiseNotFound(IntToString(ID)); }

void TORVConfigObjects::ObjectNameNotFoundError(const TORVString& Name) { RaiseNotFound(Name); }

TORVConfigObject* TORVConfigObjects::FindByID(int32_t SearchID, bool RaiseException) {
  for (TORVConfigObject* Object : FObjects)
    if (Object != nullptr && Object->GetID() == SearchID) return Object;
  if (RaiseException) ObjectIDNotFoundError(SearchID);
  return nullptr;
}

TORVConfigObject* TORVConfigObjects::FindByName(const TORVString& SearchName, bool RaiseException) {
  for (TORVConfigObject* Object : FObjects)
    if (Object != nullptr && SameString(Object->GetName(), SearchName)) return Object;
  if (RaiseException) ObjectNameNotFoundError(SearchName);
  return nullptr;
}

TORVConfigObject* TORVConfigObjects::GetNewObject() {
  TORVConfigObject* Object = CreateObject();
  if (Object != nullptr) Object->SetParent(this);
  return Object;
}

void TORVConfigObjects::Renumber(int32_t From) {
  for (int32_t Index = From; Index < GetCount(); ++Index) FObjects[static_cast<size_t>(Index)]->SetPosition(Index);
}

void TORVConfigObjects::Add(TORVConfigObject* NewObject) {
  if (FOwnsObjects) {
    NewObject->SetParent(this);
    NewObject->SetPosition(GetCount());
  }
  FObjects.push_back(NewObject);
  ObjectsChanged();
}

void TORVConfigObjects::Delete(int32_t DeletePos) {
  GetObjects(DeletePos);
  FObjects.erase(FObjects.begin() + DeletePos);
  if (FOwnsObjects) Renumber(DeletePos);
  ObjectsChanged();
}

void TORVConfigObjects::Clear() {
  if (FOwnsObjects) {
    // Last first; each entry leaves the list before it is freed.
    while (!FObjects.empty()) {
      TORVConfigObject* Object = FObjects.back();
      FObjects.pop_back();
      delete Object;
    }
  }
  FObjects.clear();
  ObjectsChanged();
}

void TORVConfigObjects::SetCount(int32_t Value) {
  if (Value < 0) throw std::out_of_range("TORVConfigObjects::SetCount");
  while (GetCount() > Value) {
    TORVConfigObject* Object = FObjects.back();
    FObjects.pop_back();
    if (FOwnsObjects) delete Object;
  }
  while (GetCount() < Value) {
    if (!FOwnsObjects) {
      FObjects.push_back(nullptr);
      continue;
    }
    TORVConfigObject* Object = GetNewObject();
    if (Object == nullptr) throw std::logic_error("TORVConfigObjects::SetCount: the collection makes no members");
    Object->SetPosition(GetCount());
    FObjects.push_back(Object);
  }
}

TORVConfigObject* TORVConfigObjects::GetObjects(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) throw std::out_of_range("TORVConfigObjects::GetObjects");
  return FObjects[static_cast<size_t>(Index)];
}

void TORVConfigObjects::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  auto* From = dynamic_cast<TORVConfigObjects*>(FromObject);
  if (From == nullptr || From == this) return;
  SetCount(From->GetCount());
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    if (FOwnsObjects)
      FObjects[static_cast<size_t>(Index)]->Assign(From->FObjects[static_cast<size_t>(Index)], CopyReferences);
    else
      FObjects[static_cast<size_t>(Index)] = From->FObjects[static_cast<size_t>(Index)];
  }
  if (FOwnsObjects) Renumber(0);
  ObjectsChanged();
}

bool TORVConfigObjects::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  auto* Other = dynamic_cast<TORVConfigObjects*>(ObjectToCompare);
  if (Other == nullptr || Other->GetCount() != GetCount()) return false;
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    TORVConfigObject* Mine = FObjects[static_cast<size_t>(Index)];
    TORVConfigObject* Theirs = Other->FObjects[static_cast<size_t>(Index)];
    if (FOwnsObjects ? !Mine->Compare(Theirs, CompareID) : Mine != Theirs) return false;
  }
  return true;
}

void TORVConfigObjects::ResetReferences() {
  if (!FOwnsObjects) return;
  for (TORVConfigObject* Object : FObjects) Object->ResetReferences();
}

}  // namespace orv
