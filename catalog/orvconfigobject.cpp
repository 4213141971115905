#include "catalog/orvconfigobject.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <typeinfo>
#include <utility>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "catalog/orvconfig.h"
#include "core/orvformat.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"

namespace orv {

namespace {

// The smallest record a member can have in a collection stream: its ID and
// the hidden and read-only flags.
constexpr int32_t MinMemberRecordSize = 6;
constexpr int32_t ChecksumBlockSize = 16384;
constexpr int32_t CapacityStep = 8;

bool HasParentNames(const TORVConfigObject& Object) {
  return !Object.GetParentTypeName().empty() && !Object.GetParentName().empty();
}

}  // namespace

int32_t GetNextUniqueNumber() {
  static std::atomic<int32_t> Counter{0};
  return LockedWrapIncInteger(Counter, 1);
}

TORVString TrimCatalogExpression(const TORVString& Text) { return RTrimString(RTrimString(Text, u' '), u"\r\n"); }

TORVString DescriptionLines(const TORVString& Description, const TORVString& Attributes) {
  TORVString Result;
  if (!Description.empty()) Result += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(Description), u'\'');
  if (!Attributes.empty()) Result += u"\r\nATTRIBUTES " + QuotedString(TrimCatalogExpression(Attributes), u'\'');
  return Result;
}

// ---------------------------------------------------------------------------
// TORVConfigObject

TORVConfigObject::TORVConfigObject(TORVConfig* OwnerConfig) : FConfig(OwnerConfig) {}

TORVConfigObject::~TORVConfigObject() = default;

EORVException TORVConfigObject::NamedError(const TORVErrorDef& InParent, const TORVErrorDef& Alone,
                                           const TORVString& Name, const std::vector<TORVString>& Trailing,
                                           int32_t Line, int32_t Column) const {
  std::vector<TORVString> Args{GetTypeName(), Name};
  const bool Long = HasParentNames(*this);
  if (Long) {
    Args.push_back(GetParentTypeName());
    Args.push_back(GetParentName());
  }
  Args.insert(Args.end(), Trailing.begin(), Trailing.end());
  return MakeError(Long ? InParent : Alone, Args, Line, Column);
}

void ValidateErrorReturned() { throw std::logic_error("ValidateError returned"); }

void TORVConfigObject::ValidateError(const TORVString& Msg, int32_t Line, int32_t Column) {
  throw NamedError(ORV_METADATA_IN_ERROR, ORV_METADATA_ERROR, FName, {Msg}, Line, Column);
}

int32_t TORVConfigObject::GetConfigCharacterSet() {
  return FConfig != nullptr ? FConfig->GetConfigCharacterSet() : -1;
}

TORVCurrency TORVConfigObject::GetConfigVersion() {
  return FConfig != nullptr ? FConfig->GetConfigVersion() : TORVCurrency();
}

bool TORVConfigObject::GetModified() const { return FConfig != nullptr && FConfig->GetModified(); }

void TORVConfigObject::SetModified(bool Value) {
  if (FConfig == nullptr || FParent == nullptr || FSystemObject || FTemporary || FTemporaryForSession) return;
  FConfig->SetModified(Value);
}

void TORVConfigObject::InvalidNameError(const TORVString& Name) {
  throw NamedError(ORV_IDENTIFIER_IN_ERROR, ORV_IDENTIFIER_ERROR, Name, {});
}

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

void TORVConfigObject::SystemObjectError() {
  throw NamedError(ORV_SYSTEM_OBJECT_IN_ERROR, ORV_SYSTEM_OBJECT_ERROR, FName, {});
}

void TORVConfigObject::ResetReferences() {
  if (FDependencies != nullptr) FDependencies->Clear();
  FDependenciesSet = false;
}

bool TORVConfigObject::GetHasDependencies() const {
  return FDependencies != nullptr && FDependencies->GetCount() > 0;
}

bool TORVConfigObject::GetHasMutualDependencies() {
  UpdateDependencies();
  if (FDependencies == nullptr) return false;
  for (int32_t Index = 0; Index < FDependencies->GetCount(); ++Index) {
    TORVConfigObject* Dependent = FDependencies->GetObjects(Index);
    if (Dependent->GetDependencyParentObject()->DependencyExists(this, false)) return true;
  }
  return false;
}

TORVSelectedConfigObjects* TORVConfigObject::GetDependencies() {
  if (FDependencies == nullptr) {
    FDependencies = std::make_unique<TORVSelectedConfigObjects>();
    FDependencies->SetParent(this);
  }
  return FDependencies.get();
}

void TORVConfigObject::DependencyError(TORVConfigObject* Obj, const TORVString& OperationName) {
  const bool ObjectHas = HasParentNames(*this);
  const bool DependentHas = HasParentNames(*Obj);
  std::vector<TORVString> Args{GetTypeName(), FName};
  if (ObjectHas) {
    Args.push_back(GetParentTypeName());
    Args.push_back(GetParentName());
  }
  Args.push_back(OperationName);
  Args.push_back(Obj->GetTypeName());
  Args.push_back(Obj->GetName());
  if (DependentHas) {
    Args.push_back(Obj->GetParentTypeName());
    Args.push_back(Obj->GetParentName());
  }
  if (ObjectHas && DependentHas) RaiseError(ORV_DEPENDENCY_BOTH_IN_ERROR, Args);
  if (ObjectHas) RaiseError(ORV_DEPENDENCY_OBJECT_IN_ERROR, Args);
  if (DependentHas) RaiseError(ORV_DEPENDENCY_DEPENDENT_IN_ERROR, Args);
  RaiseError(ORV_DEPENDENCY_ERROR, Args);
}

bool TORVConfigObject::IsDependentObject(TORVConfigObject* Obj) {
  if (Obj == this) return true;
  TORVConfigObject* Parent = GetDependencyParentObject();
  return Parent != this && Parent == Obj;
}

void TORVConfigObject::AddObjects(TORVConfigObjects& List) {
  if (FHidden) return;
  FDependencyOrder = 0;
  List.Add(this);
}

void TORVConfigObject::AssignID() {
  if (FConfig != nullptr && FID == 0) FID = FConfig->GetNextID();
}

int32_t TORVConfigObject::GetMemorySize() {
  int32_t Size = static_cast<int32_t>(sizeof(TORVConfigObject)) + StringSize(FName) + StringSize(FInternalName) +
                 StringSize(FDescription);
  if (FDependencies != nullptr) Size += FDependencies->GetMemorySize();
  return Size;
}

bool TORVConfigObject::IsValidIdentifier(const TORVString& Name) { return ValidIdentifier(Name); }

void TORVConfigObject::ValidateName(const TORVString& Name) {
  if (GetNameRequired() && Name.empty()) InvalidNameError(Name);
  if (Name.empty() || !GetNameValidation()) return;
  if (!IsValidIdentifier(Name)) InvalidNameError(Name);
  if (!FTemporary && StringLength(Name) > MaxIdentifierLength) InvalidNameError(Name);
}

void TORVConfigObject::ResetID() {
  const int32_t OldID = FID;
  FID = 0;
  AssignID();
  const int32_t NewID = FID;
  FID = OldID;
  try {
    ResetDependencies(NewID);
  } catch (...) {
    FID = NewID;
    throw;
  }
  FID = NewID;
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
  return (!CompareID || FID == ObjectToCompare->FID) && SameString(GetName(), ObjectToCompare->GetName()) &&
         FDescription == ObjectToCompare->FDescription;
}

bool TORVConfigObject::Same(TORVConfigObject* ObjectToCompare) {
  return typeid(*this) == typeid(*ObjectToCompare) && SameString(GetName(), ObjectToCompare->GetName());
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
    FInternalName = FName;
    Stream.ReadString(FDescription);
  }
  FHidden = Stream.ReadBoolean();
  FReadOnly = Stream.ReadBoolean();
  ResetReferences();
  FLoaded = true;
}

void TORVConfigObject::CheckSystemObject() {
  if (FSystemObject) SystemObjectError();
}

void TORVConfigObject::UpdateDependencies() {
  if (FDependenciesSet || FProcessingDependencies) return;
  TORVFlagScope Processing(FProcessingDependencies);
  SetDependencies();
  if (GetHasDependencies()) {
    FDependencies->SortByID();
    FDependencies->RemoveDuplicates();
  }
  FDependenciesSet = true;
}

void TORVConfigObject::CheckDependencies(const TORVString& OperationName) {
  UpdateDependencies();
  if (GetHasDependencies()) DependencyError(FDependencies->GetObjects(0), OperationName);
}

void TORVConfigObject::AlterDependencies(const TORVString& NewName) {
  if (FProcessingDependencies) return;
  TORVFlagScope Processing(FProcessingDependencies);
  RenameDependencies(NewName);
}

void TORVConfigObject::DropDependencies() {
  if (FProcessingDependencies) return;
  TORVFlagScope Processing(FProcessingDependencies);
  DeleteDependencies();
  FDependenciesSet = false;
}

bool TORVConfigObject::DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) {
  UpdateDependencies();
  if (FProcessingDependencies) return false;
  TORVFlagScope Processing(FProcessingDependencies);
  if (FDependencies == nullptr) return false;
  for (int32_t Index = 0; Index < FDependencies->GetCount(); ++Index) {
    TORVConfigObject* Dependent = FDependencies->GetObjects(Index);
    if (OrderedOnly && Dependent->FDependencyOrder != 0) continue;
    if (Dependent->IsDependentObject(SourceObject)) return true;
  }
  return false;
}

void TORVConfigObject::SetID(int32_t Value) {
  if (Value == FID) return;
  FID = Value;
  SetModified(true);
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

uint32_t TORVConfigObject::GetCRC32() {
  TORVMemoryStream Stream(GetConfigCharacterSet());
  Stream.SetBlockSize(ChecksumBlockSize);
  Save(Stream, true);
  return Stream.CalculateCRC32(0);
}

int32_t TORVConfigObject::PeekID(TORVMemoryStream& Stream) {
  const int64_t Position = Stream.GetPosition();
  const int32_t Result = Stream.ReadInteger();
  Stream.SetPosition(Position);
  return Result;
}

void TORVConfigObject::CheckEngineVersion(TORVCurrency Version) {
  if (Version > EngineCatalogVersion) ValidateError(ORV_NEWER_ENGINE_MSG, 0, 0);
}

// ---------------------------------------------------------------------------
// TORVConfigObjects

TORVConfigObjects::TORVConfigObjects(bool OwnsObjects, TORVConfig* OwnerConfig)
    : TORVConfigObject(OwnerConfig), FOwnsObjects(OwnsObjects) {}

TORVConfigObjects::~TORVConfigObjects() {
  if (FOwnsObjects) FreeObjects();
}

void TORVConfigObjects::SetSystemObject(bool Value) {
  TORVConfigObject::SetSystemObject(Value);
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->SetSystemObject(Value);
}

void TORVConfigObjects::SetTemporary(bool Value) {
  TORVConfigObject::SetTemporary(Value);
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->SetTemporary(Value);
}

void TORVConfigObjects::SetTemporaryForSession(bool Value) {
  TORVConfigObject::SetTemporaryForSession(Value);
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->SetTemporaryForSession(Value);
}

TORVString TORVConfigObjects::GetTypeName() const { return u"object"; }

TORVString TORVConfigObjects::GetParentName() const {
  return FParent != nullptr ? FParent->GetName() : TORVString();
}

void TORVConfigObjects::ResetID() {
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->ResetID();
}

void TORVConfigObjects::Reset() {
  TORVConfigObject::Reset();
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->Reset();
}

void TORVConfigObjects::ResetReferences() {
  TORVConfigObject::ResetReferences();
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->ResetReferences();
}

void TORVConfigObjects::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  auto* From = dynamic_cast<TORVConfigObjects*>(FromObject);
  if (From == nullptr || From == this) return;
  SetCount(From->GetCount());
  for (int32_t Index = 0; Index < FCount; ++Index) {
    if (FOwnsObjects)
      GetObjects(Index)->Assign(From->GetObjects(Index), CopyReferences);
    else
      FObjects[static_cast<size_t>(Index)] = From->GetObjects(Index);
  }
  if (FOwnsObjects) ResetPositions(0);
  ObjectsChanged();
}

bool TORVConfigObjects::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  auto* Other = dynamic_cast<TORVConfigObjects*>(ObjectToCompare);
  if (Other == nullptr || Other->GetCount() != FCount) return false;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Mine = GetObjects(Index);
    TORVConfigObject* Theirs = Other->GetObjects(Index);
    if (FOwnsObjects ? !Mine->Compare(Theirs, CompareID) : Mine != Theirs) return false;
  }
  return true;
}

void TORVConfigObjects::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  if (!FOwnsObjects) return;
  int32_t Stored = 0;
  for (int32_t Index = 0; Index < FCount; ++Index)
    if (!GetObjects(Index)->GetSystemObject()) ++Stored;
  Stream.WriteInteger(Stored);
  if (Stored == 0) return;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    if (!Object->GetSystemObject()) Object->Save(Stream, CRCOnly);
  }
}

void TORVConfigObjects::Load(TORVMemoryStream& Stream) {
  if (FOwnsObjects) {
    const int32_t Count = Stream.ReadInteger();
    // Checked before anything is made: a count the stream cannot hold would
    // otherwise allocate that many members.
    if (Count < 0 || Count > MaximumObjectsAllowed() || Count > Stream.GetAvailable() / MinMemberRecordSize)
      ValidateError(FormatString(ORV_STREAM_COUNT_MSG, {IntToString(Count)}), 0, 0);
    if (Count > 0 && FCount == 0)
      LoadIntoEmpty(Stream, Count);
    else
      ReloadByID(Stream, Count);
    // Members are found by ID, on the next reload and by whatever refers to
    // them: a stream that gives two members one ID is damaged.
    if (const int32_t ID = FindStoredIDTwice(); ID != 0)
      ValidateError(FormatString(ORV_STREAM_ID_TWICE_MSG, {IntToString(ID)}), 0, 0);
    if constexpr (ORV_ASSERTIONS_ACTIVE) CheckOwnInvariants();
  }
  ObjectsChanged();
}

void TORVConfigObjects::LoadIntoEmpty(TORVMemoryStream& Stream, int32_t Count) {
  AdjustCount(Count);
  for (int32_t Index = 0; Index < Count; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    Object->Load(Stream);
    Object->SetPosition(Index);
  }
}

void TORVConfigObjects::ReloadByID(TORVMemoryStream& Stream, int32_t Count) {
  int32_t First = 0;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    Object->SetLoaded(false);
    if (Object->GetSystemObject()) First = Index + 1;
  }
  for (int32_t Loaded = 0; Loaded < Count; ++Loaded) {
    const int32_t Position = First + Loaded;
    const int32_t ID = PeekID(Stream);
    std::unique_ptr<TORVConfigObject> Made;
    TORVConfigObject* Object = nullptr;
    for (int32_t Index = Position; Index < FCount; ++Index) {
      if (GetObjects(Index)->GetID() != ID) continue;
      Object = GetObjects(Index);
      DeleteObject(Index);
      break;
    }
    if (Object == nullptr) {
      Made.reset(GetNewObject());
      if (Made == nullptr) throw std::logic_error("TORVConfigObjects::Load: the collection makes no members");
      Object = Made.get();
    }
    Object->SetPosition(Position);
    InsertObject(Position, Object);
    Made.release();
    Object->Load(Stream);
  }
  for (int32_t Index = FCount - 1; Index >= 0; --Index) {
    TORVConfigObject* Object = GetObjects(Index);
    if (Object->GetLoaded() || Object->GetSystemObject()) continue;
    if (FConfig != nullptr) FConfig->DoObjectRemoved(Object);
    DeleteObject(Index);
    delete Object;
  }
  ResetPositions(0);
}

void TORVConfigObjects::Validate() {
  TORVConfigObject::Validate();
  if (!FOwnsObjects) return;
  // A collection filled up to its limit by Add must stay loadable: only a
  // count past the limit is refused.
  if (FCount > MaximumObjectsAllowed()) TooManyObjectsError();
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->Validate();
}

void TORVConfigObjects::Compile() {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->Compile();
}

void TORVConfigObjects::Decompile() {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->Decompile();
}

bool TORVConfigObjects::DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) {
  for (int32_t Index = 0; Index < FCount; ++Index)
    if (GetObjects(Index)->DependencyExists(SourceObject, OrderedOnly)) return true;
  return false;
}

void TORVConfigObjects::AddObjects(TORVConfigObjects& List) {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->AddObjects(List);
}

void TORVConfigObjects::AddDependenciesToObject(TORVConfigObject* Obj) {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Member = GetObjects(Index);
    if (Member != Obj) Member->AddDependenciesToObject(Obj);
  }
}

void TORVConfigObjects::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->ResetDependenciesToObject(Obj, NewID);
}

void TORVConfigObjects::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->RenameDependenciesToObject(Obj, NewName);
}

void TORVConfigObjects::DeleteDependenciesToObject(TORVConfigObject* Obj) {
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->DeleteDependenciesToObject(Obj);
}

int32_t TORVConfigObjects::GetMemorySize() {
  int32_t Size = TORVConfigObject::GetMemorySize() + 4 * GetCapacity();
  if (FOwnsObjects)
    for (int32_t Index = 0; Index < FCount; ++Index) Size += GetObjects(Index)->GetMemorySize();
  return Size;
}

int32_t TORVConfigObjects::GetMemoryCount() {
  int32_t Count = 1;
  if (FOwnsObjects) {
    Count += FCount;
    for (int32_t Index = 0; Index < FCount; ++Index) Count += GetObjects(Index)->GetMemoryCount();
  }
  return Count;
}

TORVString TORVConfigObjects::GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly,
                                           bool Restricted) {
  TORVString Result;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    if (Object->GetHidden()) continue;
    const TORVString Text = Object->GetCreateSQL(IncludeDependentObjects, DependentObjectsOnly, Restricted);
    if (Text.empty()) continue;
    if (!Result.empty()) Result += GetCreateSQLSeparator();
    Result += Text;
  }
  return Result;
}

TORVString TORVConfigObjects::GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) {
  TORVString Result;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    if (Object->GetHidden()) continue;
    const TORVString Text = Object->GetDropSQL(IncludeDependentObjects, DependentObjectsOnly);
    if (Text.empty()) continue;
    if (!Result.empty()) Result += GetCreateSQLSeparator();
    Result += Text;
  }
  return Result;
}

void TORVConfigObjects::CheckForDuplicateObject(TORVConfigObject* NewObject) {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Member = GetObjects(Index);
    if (CheckForDuplicate(NewObject, Member)) DuplicateObjectError(Member);
  }
}

bool TORVConfigObjects::CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const {
  return SameString(NewObject->GetName(), Member->GetName());
}

void TORVConfigObjects::DuplicateObjectError(TORVConfigObject* Member) {
  std::vector<TORVString> Args{Member->GetTypeName(), Member->GetName()};
  if (HasParentNames(*this)) {
    Args.push_back(GetParentTypeName());
    Args.push_back(GetParentName());
    RaiseError(ORV_EXISTS_IN_ERROR, Args);
  }
  RaiseError(ORV_EXISTS_ERROR, Args);
}

void TORVConfigObjects::RaiseNotFound(const TORVString& Name) {
  throw NamedError(ORV_NOT_FOUND_IN_ERROR, ORV_NOT_FOUND_ERROR, Name, {});
}

void TORVConfigObjects::ObjectIDNotFoundError(int32_t ID) { RaiseNotFound(IntToString(ID)); }

void TORVConfigObjects::ObjectNameNotFoundError(const TORVString& Name) { RaiseNotFound(Name); }

void TORVConfigObjects::TooManyObjectsError() {
  const TORVString Maximum = IntToString(MaximumObjectsAllowed());
  if (HasParentNames(*this))
    RaiseError(ORV_MAXIMUM_IN_ERROR, {GetTypeName(), GetParentTypeName(), GetParentName(), Maximum});
  RaiseError(ORV_MAXIMUM_ERROR, {GetTypeName(), Maximum});
}

template <typename TMatch>
TORVConfigObject* TORVConfigObjects::FindFirst(TMatch Match) const {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Object = GetObjects(Index);
    if (Object != nullptr && Match(*Object)) return Object;
  }
  return nullptr;
}

TORVConfigObject* TORVConfigObjects::FindByID(int32_t SearchID, bool RaiseException) {
  TORVConfigObject* Found = FindFirst([&](const TORVConfigObject& Object) { return Object.GetID() == SearchID; });
  if (Found == nullptr && RaiseException) ObjectIDNotFoundError(SearchID);
  return Found;
}

TORVConfigObject* TORVConfigObjects::FindByName(const TORVString& SearchName, bool RaiseException) {
  TORVConfigObject* Found =
      FindFirst([&](const TORVConfigObject& Object) { return Object.HasName(SearchName); });
  if (Found == nullptr && RaiseException) ObjectNameNotFoundError(SearchName);
  return Found;
}

TORVConfigObject* TORVConfigObjects::FindByInternalName(const TORVString& SearchName, bool RaiseException) {
  TORVConfigObject* Found =
      FindFirst([&](const TORVConfigObject& Object) { return SameString(Object.GetInternalName(), SearchName); });
  if (Found == nullptr && RaiseException) ObjectNameNotFoundError(SearchName);
  return Found;
}

void TORVConfigObjects::Clear() {
  if (FOwnsObjects) {
    FreeObjects();
    SetModified(true);
  } else {
    for (int32_t Index = 0; Index < FCount; ++Index) FObjects[static_cast<size_t>(Index)] = nullptr;
    FCount = 0;
  }
  if constexpr (ORV_ASSERTIONS_ACTIVE) CheckMembers();
  ObjectsChanged();
}

TORVConfigObject* TORVConfigObjects::GetNewObject() {
  TORVConfigObject* Object = CreateObject();
  if (Object == nullptr) return nullptr;
  Object->SetParent(this);
  Object->SetSystemObject(FSystemObject);
  Object->SetTemporary(FTemporary);
  Object->SetTemporaryForSession(FTemporaryForSession);
  return Object;
}

void TORVConfigObjects::PrepareObject(TORVConfigObject* NewObject) {
  CheckMaximumObjects();
  CheckForDuplicateObject(NewObject);
  NewObject->SetParent(this);
  if (FSystemObject && !NewObject->GetSystemObject()) NewObject->SetSystemObject(true);
  if (FTemporary && !NewObject->GetTemporary()) NewObject->SetTemporary(true);
  if (!NewObject->GetTemporary())
    NewObject->AssignID();
  else if (NewObject->GetID() == 0)
    NewObject->SetID(WrapIncInteger(FLastLocalID, 1));
  NewObject->Validate();
}

void TORVConfigObjects::AfterObjectAdded(TORVConfigObject* NewObject) {
  if constexpr (ORV_ASSERTIONS_ACTIVE) {
    CheckMembers();
    CheckUnique(NewObject);
  }
  if (!NewObject->GetSystemObject() && !NewObject->GetTemporary()) SetModified(true);
  ObjectsChanged();
}

void TORVConfigObjects::Add(TORVConfigObject* NewObject) {
  if (!FOwnsObjects) {
    InsertObject(FCount, NewObject);
    ObjectsChanged();
    return;
  }
  PrepareObject(NewObject);
  NewObject->SetPosition(FCount);
  InsertObject(FCount, NewObject);
  AfterObjectAdded(NewObject);
}

void TORVConfigObjects::Insert(int32_t InsertPos, TORVConfigObject* NewObject) {
  if (InsertPos < 0 || InsertPos > FCount) throw std::out_of_range("TORVConfigObjects::Insert");
  if (!FOwnsObjects) {
    InsertObject(InsertPos, NewObject);
    ObjectsChanged();
    return;
  }
  PrepareObject(NewObject);
  InsertObject(InsertPos, NewObject);
  ResetPositions(InsertPos);
  AfterObjectAdded(NewObject);
}

void TORVConfigObjects::CheckRename(TORVConfigObject* ObjectToRename, const TORVString& NewName) {
  // The renamed member's own rules: a user must stay a valid security
  // identifier, or the next load would refuse it.
  ObjectToRename->ValidateName(NewName);
  if (!FOwnsObjects) return;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Member = GetObjects(Index);
    if (Member != ObjectToRename && SameString(Member->GetName(), NewName)) DuplicateObjectError(Member);
  }
}

void TORVConfigObjects::Delete(int32_t DeletePos) {
  DeleteObject(DeletePos);
  if (FOwnsObjects) {
    ResetPositions(DeletePos);
    SetModified(true);
  }
  if constexpr (ORV_ASSERTIONS_ACTIVE) CheckMembers();
  ObjectsChanged();
}

void TORVConfigObjects::CheckMaximumObjects() {
  if (FCount >= MaximumObjectsAllowed()) TooManyObjectsError();
}

void TORVConfigObjects::Remove(TORVConfigObject* ObjectToRemove) {
  if (FOwnsObjects) {
    const int32_t Position = ObjectToRemove->GetPosition();
    if (GetObjects(Position) != ObjectToRemove) throw std::logic_error("TORVConfigObjects::Remove: not a member");
    Delete(Position);
    ObjectToRemove->SetRemoved(true);
    return;
  }
  for (int32_t Index = FCount - 1; Index >= 0; --Index) {
    if (FObjects[static_cast<size_t>(Index)] != ObjectToRemove) continue;
    Delete(Index);
    return;
  }
}

TORVString TORVConfigObjects::GetUniqueName(const TORVString& Prefix) {
  for (int32_t Number = 1; Number < 2147483647; ++Number) {
    const TORVString Candidate = Prefix + IntToString(Number);
    if (FindByName(Candidate, false) == nullptr) return Candidate;
  }
  throw std::logic_error("TORVConfigObjects::GetUniqueName: no number left");
}

TORVString TORVConfigObjects::GetUniqueInternalName(const TORVString& Prefix) {
  TORVString Candidate;
  do {
    Candidate = MakeValidIdentifier(Prefix + IntToString(GetNextUniqueNumber()));
  } while (FindByInternalName(Candidate, false) != nullptr);
  return Candidate;
}

void TORVConfigObjects::Sort(const std::function<int32_t(TORVConfigObject*, TORVConfigObject*)>& CompareFunction) {
  if (FCount > 1) QuickSort(0, FCount - 1, CompareFunction);
}

void TORVConfigObjects::QuickSort(int32_t Low, int32_t High,
                                  const std::function<int32_t(TORVConfigObject*, TORVConfigObject*)>& CompareFunction) {
  while (Low < High) {
    int32_t I = Low;
    int32_t J = High;
    TORVConfigObject* Pivot = FObjects[static_cast<size_t>(Low + (High - Low) / 2)];
    while (I <= J) {
      while (CompareFunction(FObjects[static_cast<size_t>(I)], Pivot) < 0) ++I;
      while (CompareFunction(FObjects[static_cast<size_t>(J)], Pivot) > 0) --J;
      if (I <= J) {
        std::swap(FObjects[static_cast<size_t>(I)], FObjects[static_cast<size_t>(J)]);
        ++I;
        --J;
      }
    }
    if (Low < J) QuickSort(Low, J, CompareFunction);
    Low = I;
  }
}

void TORVConfigObjects::SetCount(int32_t Value) {
  if (Value < 0) throw std::out_of_range("TORVConfigObjects::SetCount");
  if (Value == FCount) return;
  AdjustCount(Value);
  if constexpr (ORV_ASSERTIONS_ACTIVE) CheckMembers();
  if (FOwnsObjects) SetModified(true);
}

TORVConfigObject* TORVConfigObjects::GetObjects(int32_t Index) const {
  if (Index < 0 || Index >= FCount) throw std::out_of_range("TORVConfigObjects::GetObjects");
  return FObjects[static_cast<size_t>(Index)];
}

void TORVConfigObjects::ResetPositions(int32_t From) {
  for (int32_t Index = From; Index < FCount; ++Index) FObjects[static_cast<size_t>(Index)]->SetPosition(Index);
}

void TORVConfigObjects::SetCapacity(int32_t Count) {
  if (Count <= GetCapacity()) return;
  FObjects.resize(static_cast<size_t>(BlockOffset(Count, CapacityStep)), nullptr);
}

void TORVConfigObjects::InsertObject(int32_t Index, TORVConfigObject* Object) {
  SetCapacity(FCount + 1);
  for (int32_t Slot = FCount; Slot > Index; --Slot)
    FObjects[static_cast<size_t>(Slot)] = FObjects[static_cast<size_t>(Slot - 1)];
  FObjects[static_cast<size_t>(Index)] = Object;
  ++FCount;
}

void TORVConfigObjects::DeleteObject(int32_t Index) {
  if (Index < 0 || Index >= FCount) throw std::out_of_range("TORVConfigObjects::Delete");
  for (int32_t Slot = Index; Slot < FCount - 1; ++Slot)
    FObjects[static_cast<size_t>(Slot)] = FObjects[static_cast<size_t>(Slot + 1)];
  --FCount;
  FObjects[static_cast<size_t>(FCount)] = nullptr;
}

void TORVConfigObjects::FreeObjects() {
  // Last first; each member leaves the list before it is freed.
  while (FCount > 0) {
    --FCount;
    TORVConfigObject* Object = FObjects[static_cast<size_t>(FCount)];
    FObjects[static_cast<size_t>(FCount)] = nullptr;
    delete Object;
  }
}

void TORVConfigObjects::AdjustCount(int32_t Value) {
  while (FCount > Value) {
    --FCount;
    TORVConfigObject* Object = FObjects[static_cast<size_t>(FCount)];
    FObjects[static_cast<size_t>(FCount)] = nullptr;
    if (FOwnsObjects) delete Object;
  }
  SetCapacity(Value);
  while (FCount < Value) {
    if (FOwnsObjects) {
      TORVConfigObject* Object = GetNewObject();
      if (Object == nullptr) throw std::logic_error("TORVConfigObjects::SetCount: the collection makes no members");
      Object->SetPosition(FCount);
      FObjects[static_cast<size_t>(FCount)] = Object;
    }
    ++FCount;
  }
}

void CheckListInvariants(std::initializer_list<const TORVConfigObject*> Lists) {
  for (const TORVConfigObject* List : Lists)
    if (List != nullptr) List->CheckInvariants();
}

void TORVConfigObjects::CheckInvariants() const {
  CheckOwnInvariants();
  if (!FOwnsObjects) return;
  for (int32_t Index = 0; Index < FCount; ++Index) GetObjects(Index)->CheckInvariants();
}

void TORVConfigObjects::CheckOwnInvariants() const {
  CheckMembers();
  ORV_ASSERT(FindStoredIDTwice() == 0);
}

void TORVConfigObjects::CheckMembers() const {
  ORV_ASSERT(FCount >= 0 && FCount <= GetCapacity());
  ORV_ASSERT(GetCapacity() % CapacityStep == 0);
  for (int32_t Index = FCount; Index < GetCapacity(); ++Index) ORV_ASSERT(FObjects[static_cast<size_t>(Index)] == nullptr);
  if (!FOwnsObjects) return;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    const TORVConfigObject* Member = FObjects[static_cast<size_t>(Index)];
    ORV_ASSERT(Member != nullptr);
    ORV_ASSERT(Member->GetPosition() == Index);
    ORV_ASSERT(Member->GetParent() == this);
    ORV_ASSERT(!FSystemObject || Member->GetSystemObject());
    ORV_ASSERT(!FTemporary || Member->GetTemporary());
  }
}

void TORVConfigObjects::CheckUnique(TORVConfigObject* Member) const {
  if (!FOwnsObjects) return;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Other = FObjects[static_cast<size_t>(Index)];
    if (Other == Member) continue;
    ORV_ASSERT(Member->GetID() == 0 || Member->GetID() != Other->GetID());
    ORV_ASSERT(!CheckForDuplicate(Member, Other));
  }
}

int32_t TORVConfigObjects::FindStoredIDTwice() const {
  if (!FOwnsObjects) return 0;
  std::vector<int32_t> IDs;
  IDs.reserve(static_cast<size_t>(FCount));
  for (int32_t Index = 0; Index < FCount; ++Index)
    if (const int32_t ID = FObjects[static_cast<size_t>(Index)]->GetID(); ID != 0) IDs.push_back(ID);
  std::sort(IDs.begin(), IDs.end());
  const auto Twice = std::adjacent_find(IDs.begin(), IDs.end());
  return Twice != IDs.end() ? *Twice : 0;
}

// ---------------------------------------------------------------------------
// TORVSelectedConfigObjects

void TORVSelectedConfigObjects::SortByID() {
  Sort([](TORVConfigObject* A, TORVConfigObject* B) {
    return A->GetID() < B->GetID() ? -1 : (A->GetID() > B->GetID() ? 1 : 0);
  });
}

void TORVSelectedConfigObjects::RemoveDuplicates() {
  for (int32_t Index = FCount - 1; Index >= 1; --Index)
    if (GetObjects(Index)->GetID() == GetObjects(Index - 1)->GetID()) Delete(Index);
}

void TORVSelectedConfigObjects::Clear() {
  TORVConfigObjects::Clear();
  FBuilt = false;
}

void TORVSelectedConfigObjects::AddDependenciesToObject(TORVConfigObject* Obj) {
  if (FParent == nullptr) return;
  for (int32_t Index = 0; Index < FCount; ++Index)
    if (GetObjects(Index)->GetID() == Obj->GetID()) Obj->GetDependencies()->Add(FParent);
}

void TORVSelectedConfigObjects::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVConfigObject* Member = GetObjects(Index);
    if (Member->GetID() != Obj->GetID()) continue;
    // Obj itself takes the new ID from ResetID once every referrer has been
    // told; changing it now would hide it from the referrers told later,
    // which still look for the old ID.
    if (Member == Obj) return;
    Member->SetID(NewID);
    SortByID();
    return;
  }
}

void TORVSelectedConfigObjects::SortByName() {
  Sort([](TORVConfigObject* A, TORVConfigObject* B) { return CompareString(A->GetName(), B->GetName()); });
}

void TORVSelectedConfigObjects::SortByDependencyOrder() {
  Sort([](TORVConfigObject* A, TORVConfigObject* B) {
    return A->GetDependencyOrder() < B->GetDependencyOrder() ? -1
                                                              : (A->GetDependencyOrder() > B->GetDependencyOrder() ? 1 : 0);
  });
}

void TORVSelectedConfigObjects::SetDependencyOrder() {
  int32_t Ordered = 0;
  while (Ordered < FCount) {
    const int32_t Before = Ordered;
    for (int32_t J = 0; J < FCount; ++J) {
      TORVConfigObject* Object = GetObjects(J);
      if (Object->GetDependencyOrder() != 0) continue;
      bool Blocked = false;
      for (int32_t K = 0; K < FCount; ++K) {
        TORVConfigObject* Other = GetObjects(K);
        if (K == J || Other->GetDependencyOrder() != 0) continue;
        // Object still needs Other, unless they need each other.
        if (Other->DependencyExists(Object, true)) {
          Blocked = !Object->DependencyExists(Other, true);
          break;
        }
      }
      if (!Blocked) Object->SetDependencyOrder(++Ordered);
    }
    // A pass that ordered nothing met a cycle: the rest in list order.
    if (Ordered == Before)
      for (int32_t J = 0; J < FCount; ++J)
        if (GetObjects(J)->GetDependencyOrder() == 0) GetObjects(J)->SetDependencyOrder(++Ordered);
  }
}

void TORVSelectedConfigObjects::Build() {
  if (FBuilt) return;
  Clear();
  SelectObjects();
  SortByID();
  SetDependencyOrder();
  SortByDependencyOrder();
  FBuilt = true;
}

}  // namespace orv
